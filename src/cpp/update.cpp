// The firmware update: the session's steps, and the whole sequence of this reader family.

#include "quarn/update.h"

#include <algorithm>
#include <cstring>

#include "cpp/call.h"
#include "cpp/open_failure.h"
#include "update/update_sequence.h"

namespace quarn {

using cpp::Call;

// The start opens the port itself; the Reader takes it over as soon as it is open, so that it is closed
// with the session whatever the reader answered.
void FirmwareUpdate::Begin(const std::string& portName, Baud baud, bool crcMode, std::error_code& ec) {
  reader_.setCrcMode(crcMode);
  Call call(reader_, "FirmwareUpdate::Start", ec);
  PortHandle port = QUARN_INVALID_PORT;
  serial::OpenFailure why = serial::OpenFailure::kNone;
  uint8_t status = 0;
  const link::Result result = update::UpdateInit(&port, portName.c_str(), &status, initValue_.data(),
                                                 cpp::PortOptionsOf(baud) | (crcMode ? 1u : 0u), &why);
  if (port != QUARN_INVALID_PORT) detail::ReaderAccess::Adopt(reader_, port, portName, baud);
  if (port == QUARN_INVALID_PORT && why != serial::OpenFailure::kNone) {
    cpp::RecordOpenFailure(call, portName, why);
    return;
  }
  call.Record(result);
}

FirmwareUpdate FirmwareUpdate::Start(const std::string& portName, Baud baud, bool crcMode, std::error_code& ec) {
  FirmwareUpdate session;
  session.Begin(portName, baud, crcMode, ec);
  return session;
}

FirmwareUpdate FirmwareUpdate::Start(const std::string& portName, Baud baud, bool crcMode) {
  FirmwareUpdate session;
  std::error_code ec;
  session.Begin(portName, baud, crcMode, ec);
  if (ec) throw Error(session.reader_.lastError());
  return session;
}

void FirmwareUpdate::SendRn32(const std::array<uint8_t, 4>& rn32, std::error_code& ec) {
  Call call(reader_, "FirmwareUpdate::SendRn32", ec);
  uint8_t status = 0;
  if (call.Ready()) call.Done(update::UpdateSendRn32(call.port(), rn32.data(), &status, call.crcFlag()));
}
void FirmwareUpdate::SendRn32(const std::array<uint8_t, 4>& rn32) {
  cpp::OrThrow(reader_, [&](std::error_code& ec) { SendRn32(rn32, ec); });
}

void FirmwareUpdate::SendSize(const std::array<uint8_t, 4>& size, std::error_code& ec) {
  Call call(reader_, "FirmwareUpdate::SendSize", ec);
  uint8_t status = 0;
  if (call.Ready()) call.Done(update::UpdateSendSize(call.port(), &status, size.data(), call.crcFlag()));
}
void FirmwareUpdate::SendSize(const std::array<uint8_t, 4>& size) {
  cpp::OrThrow(reader_, [&](std::error_code& ec) { SendSize(size, ec); });
}

void FirmwareUpdate::SendData(uint8_t prefix1, uint8_t prefix2, ByteView block, std::error_code& ec) {
  Call call(reader_, "FirmwareUpdate::SendData", ec);
  const size_t room = static_cast<size_t>(call.crcMode() ? update::kMaxCrcBlockLength : update::kMaxPlainBlockLength);
  if (block.size() > room) {
    call.Fail(Errc::kCommandTooLong, "a data block holds at most 2041 bytes (2039 in CRC mode)");
    return;
  }
  uint8_t status = 0;
  if (call.Ready())
    call.Done(update::UpdateSendData(call.port(), &status, prefix1, prefix2, static_cast<int>(block.size()),
                                     block.data(), call.crcFlag()));
}
void FirmwareUpdate::SendData(uint8_t prefix1, uint8_t prefix2, ByteView block) {
  cpp::OrThrow(reader_, [&](std::error_code& ec) { SendData(prefix1, prefix2, block, ec); });
}

void FirmwareUpdate::Commit(std::error_code& ec) {
  Call call(reader_, "FirmwareUpdate::Commit", ec);
  uint8_t status = 0;
  if (call.Ready()) call.Done(update::UpdateCommit(call.port(), &status, call.crcFlag()));
}
void FirmwareUpdate::Commit() {
  cpp::OrThrow(reader_, [&](std::error_code& ec) { Commit(ec); });
}

namespace {

constexpr size_t kMaxBlocks = 65536;  // the block number travels in the two prefix bytes
constexpr uint64_t kMaxImageSize = 0xFFFFFFFFu;

const char* CheckImage(ByteView image, const UpdateOptions& options) {
  if (image.empty()) return "the firmware image is empty";
  if (image.size() > kMaxImageSize) return "the image size travels as 4 bytes: at most 4294967295 bytes";
  if (options.blockSize == 0 || options.blockSize > static_cast<size_t>(update::kMaxCrcBlockLength))
    return "UpdateOptions::blockSize is 1 to 2039 bytes";
  if ((image.size() + options.blockSize - 1) / options.blockSize > kMaxBlocks)
    return "the image needs more than 65536 blocks: raise UpdateOptions::blockSize";
  return nullptr;
}

std::array<uint8_t, 4> LittleEndian(size_t value) {
  return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
          static_cast<uint8_t>(value >> 24)};
}

bool SendImage(FirmwareUpdate& session, ByteView image, size_t blockSize, const UpdateProgress& progress,
               std::error_code& ec) {
  size_t sent = 0;
  for (size_t block = 0; sent < image.size(); ++block) {
    const size_t length = std::min(blockSize, image.size() - sent);
    // The prefix bytes number the block, high byte first, from 0.
    session.SendData(static_cast<uint8_t>(block >> 8), static_cast<uint8_t>(block), ByteView(image.data() + sent, length),
                     ec);
    if (ec) return false;
    sent += length;
    if (progress) progress(sent, image.size());
  }
  return true;
}

}  // namespace

Reader UpdateFirmware(const std::string& portName, ByteView image, const UpdateOptions& options,
                      const UpdateProgress& progress, std::error_code& ec) {
  if (const char* reason = CheckImage(image, options)) {
    Reader closed;
    Call call(closed, "UpdateFirmware", ec);
    call.Invalid(reason);
    return closed;
  }
  FirmwareUpdate session = FirmwareUpdate::Start(portName, options.baud, options.crcMode, ec);
  if (!ec) session.SendRn32(session.initValue(), ec);
  if (!ec) session.SendSize(LittleEndian(image.size()), ec);
  if (!ec) SendImage(session, image, options.blockSize, progress, ec);
  if (!ec) session.Commit(ec);
  return session.Release();
}

Reader UpdateFirmware(const std::string& portName, ByteView image, const UpdateOptions& options,
                      const UpdateProgress& progress) {
  std::error_code ec;
  Reader reader = UpdateFirmware(portName, image, options, progress, ec);
  if (ec) throw Error(reader.lastError());
  return reader;
}

}  // namespace quarn
