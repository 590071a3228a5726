#include "link/command_frame.h"

#include <cstring>

#include "link/frame_crc.h"

namespace quarn::link {

namespace {
constexpr size_t kTailSize = 1;
}  // namespace

CommandFrame::CommandFrame(const CommandSpec& definition, uint32_t crcFlag)
    : CommandFrame(definition, crcFlag, definition.lengthForms) {}

CommandFrame::CommandFrame(const CommandSpec& definition, uint32_t crcFlag, LengthForms forms)
    : definition_(definition), crcMode_(IsCrcMode(crcFlag)), forms_(forms) {}

uint8_t CommandFrame::code() const {
  return crcMode_ ? static_cast<uint8_t>(definition_.code | kCrcModeCodeBit) : definition_.code;
}

CommandFrame& CommandFrame::Byte(uint32_t value) {
  const uint8_t byte = static_cast<uint8_t>(value & 0xFF);
  return Bytes(&byte, 1);
}

CommandFrame& CommandFrame::Word16(uint32_t value) {
  Byte(value >> 8);
  return Byte(value);
}

CommandFrame& CommandFrame::Bytes(const uint8_t* bytes, size_t count) {
  // Finish() checks the whole frame, CRC included, against the buffer.
  const size_t room = kFrameBufferSize - kParameterStart - kTailSize;
  if (overflowed_ || count > room - parameterCount_) {
    overflowed_ = true;
    return *this;
  }
  if (count > 0) std::memcpy(buffer_ + kParameterStart + parameterCount_, bytes, count);
  parameterCount_ += count;
  return *this;
}

bool CommandFrame::Finish() {
  if (overflowed_) return false;
  const size_t checkSize = crcMode_ ? kCrcSize : 0;
  // The one-byte count: the length byte, the code, the parameters and the CRC.
  const size_t count = 2 + parameterCount_ + checkSize;
  const bool twoByteForm = forms_ == LengthForms::kTwoByteWhenLong && count > kMaxOneByteLength;
  start_ = twoByteForm ? 0 : 1;
  uint8_t* frame = buffer_ + start_;
  size_t pos = 0;
  frame[pos++] = kFrameHead;
  if (twoByteForm) {
    // The body length counts both length bytes.
    const size_t body = count + 1;
    frame[pos++] = static_cast<uint8_t>(kTwoByteLengthFlag | (body >> 7));
    frame[pos++] = static_cast<uint8_t>(body & 0x7F);
  } else {
    frame[pos++] = static_cast<uint8_t>(count & 0xFF);
  }
  frame[pos++] = code();
  pos += parameterCount_;
  if (start_ + pos + checkSize + kTailSize > kFrameBufferSize) return false;
  if (crcMode_) {
    ComputeFrameCrc(frame + 1, pos - 1, frame + pos);
    pos += kCrcSize;
  }
  frame[pos++] = kFrameTail;
  size_ = pos;
  return true;
}

}  // namespace quarn::link
