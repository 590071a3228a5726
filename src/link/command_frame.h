#pragma once
// Builds one command frame in the 2048-byte command buffer: head, length field, code, parameter
// bytes, CRC in CRC mode, tail. Parameters are appended in wire order; Finish() lays out the rest.

#include <cstddef>
#include <cstdint>

#include "link/command_table.h"
#include "link/frame_format.h"

namespace quarn::link {

class CommandFrame {
 public:
  // The frame takes the length forms of the command's row unless forms names others.
  CommandFrame(const CommandSpec& definition, uint32_t crcFlag);
  CommandFrame(const CommandSpec& definition, uint32_t crcFlag, LengthForms forms);

  CommandFrame(const CommandFrame&) = delete;
  CommandFrame& operator=(const CommandFrame&) = delete;

  // Only the low byte of value is sent.
  CommandFrame& Byte(uint32_t value);
  CommandFrame& Bytes(const uint8_t* bytes, size_t count);
  // High byte first.
  CommandFrame& Word16(uint32_t value);

  // Writes the length field, the code, the CRC (CRC mode) and the tail. False when the parameters do not
  // fit the command buffer; such a frame must not be sent.
  bool Finish();

  // The parameter count appended so far, and whether all of it still fits the buffer.
  size_t parameterCount() const { return parameterCount_; }
  bool overflowed() const { return overflowed_; }

  const CommandSpec& definition() const { return definition_; }
  bool crcMode() const { return crcMode_; }
  // The code as it goes on the wire: bit 7 set in CRC mode.
  uint8_t code() const;
  // The finished frame, head to tail, unstuffed.
  const uint8_t* bytes() const { return buffer_ + start_; }
  size_t size() const { return size_; }

 private:
  const CommandSpec& definition_;
  bool crcMode_;
  LengthForms forms_;
  size_t parameterCount_ = 0;
  bool overflowed_ = false;
  size_t start_ = 0;
  size_t size_ = 0;
  // Parameters are gathered from kParameterStart on, the place they take in the two-byte form; the
  // one-byte form begins the frame one byte later in the buffer instead of moving them.
  static constexpr size_t kParameterStart = 4;
  uint8_t buffer_[kFrameBufferSize];
};

}  // namespace quarn::link
