#pragma once
// Updating the reader's firmware. Two faces: the session, whose steps send exactly the bytes the caller
// gives (the reader defines what they mean), and UpdateFirmware, which runs the whole sequence the way
// this reader family takes it.
//
// Do not pull the cable during an update: a reader left with half an image may need its maker's
// recovery procedure.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <system_error>
#include <utility>

#include "quarn/bytes.h"
#include "quarn/config.h"
#include "quarn/reader.h"
#include "quarn/reader_types.h"

namespace quarn {

// The steps of an update on a port of its own. Start opens the port and asks the reader to begin
// (code 0x53); then SendRn32 (0x54), SendSize (0x56), SendData (0x57) as often as the image needs, and
// Commit (0x58). The library keeps no state between the steps and checks no order: the reader does.
// Every step's refusal is kRefused with the reader's status byte in lastError().status (a nonzero
// status is a refusal even with bit 7 clear). Errors otherwise as for any Reader call.
class QUARN_CPP_API FirmwareUpdate {
 public:
  // Opens the port (errors as Reader::Open) and sends the update start. The port stays open, in the
  // session's Reader, also when the reader refuses: the error_code form returns the session anyway.
  static FirmwareUpdate Start(const std::string& portName, Baud baud, bool crcMode);
  static FirmwareUpdate Start(const std::string& portName, Baud baud, bool crcMode, std::error_code& ec);

  // The four bytes the reader answered the start with, in the order they arrived.
  const std::array<uint8_t, 4>& initValue() const { return initValue_; }

  // Sends four bytes unchanged (byte 0 first).
  void SendRn32(const std::array<uint8_t, 4>& rn32);
  void SendRn32(const std::array<uint8_t, 4>& rn32, std::error_code& ec);
  void SendSize(const std::array<uint8_t, 4>& size);
  void SendSize(const std::array<uint8_t, 4>& size, std::error_code& ec);
  // Sends the two prefix bytes and one block of the image: at most 2041 bytes (2039 in CRC mode), else
  // kCommandTooLong with nothing sent.
  void SendData(uint8_t prefix1, uint8_t prefix2, ByteView block);
  void SendData(uint8_t prefix1, uint8_t prefix2, ByteView block, std::error_code& ec);
  void Commit();
  void Commit(std::error_code& ec);

  // The port, for commands after the commit (the reader restarts; its version tells the new image) and
  // for lastError(). Closed when the session is destroyed, unless taken with Release.
  Reader& reader() { return reader_; }
  Reader Release() { return std::move(reader_); }

 private:
  FirmwareUpdate() = default;
  void Begin(const std::string& portName, Baud baud, bool crcMode, std::error_code& ec);

  Reader reader_;
  std::array<uint8_t, 4> initValue_{};
};

struct UpdateOptions {
  Baud baud = Baud::k115200;
  bool crcMode = false;
  size_t blockSize = 1024;  // image bytes per data command, 1 to 2039
};

// Called after each block with the image bytes sent so far and the image's size.
using UpdateProgress = std::function<void(size_t sent, size_t total)>;

// The whole update of this reader family: start, the start's four bytes sent back as they came, the
// image size as four bytes least significant first, the image in blocks numbered from 0 (the two prefix
// bytes: the block number, high byte first), and the commit. Returns the open Reader: the reader
// restarts with the new image, and GetVersion tells it once it answers. The image must hold 1 byte to
// 2^32 - 1 bytes and need at most 65536 blocks (kInvalidArgument otherwise); lastError() of the
// returned Reader, or the exception's detail, names the step that failed.
QUARN_CPP_API Reader UpdateFirmware(const std::string& portName, ByteView image, const UpdateOptions& options = {},
                                    const UpdateProgress& progress = {});
QUARN_CPP_API Reader UpdateFirmware(const std::string& portName, ByteView image, const UpdateOptions& options,
                                    const UpdateProgress& progress, std::error_code& ec);

}  // namespace quarn
