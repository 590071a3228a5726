#include "link/reply_view.h"

namespace quarn::link {

namespace {

constexpr size_t kOneByteCodePosition = 2;

size_t PrefixSize(FrameKind kind) { return kind == FrameKind::kAntenna ? kAntennaPrefixSize : 0; }

bool ReceivedTwoByteForm(const uint8_t* frame, size_t frameLength) {
  return frameLength > 1 && (frame[1] & kTwoByteLengthFlag) != 0;
}

size_t LayoutOffset(const uint8_t* frame, size_t frameLength, ReplyLayout layout) {
  switch (layout) {
    case ReplyLayout::kOneByteForm:
      return 0;
    case ReplyLayout::kTwoByteForm:
      return 1;
    case ReplyLayout::kAsReceived:
      return ReceivedTwoByteForm(frame, frameLength) ? 1 : 0;
  }
  return 0;
}

// Where the data end depends on the frame itself: the receiver told a CRC-mode frame by bit 7 of the
// code behind the length field it announced, and the two CRC bytes stand before the tail.
size_t DataEnd(const uint8_t* frame, size_t frameLength, FrameKind kind) {
  if (frameLength < 2) return 0;
  const size_t bodyLength = frameLength - 2;
  const size_t codePosition =
      (ReceivedTwoByteForm(frame, frameLength) ? kOneByteCodePosition + 1 : kOneByteCodePosition) + PrefixSize(kind);
  const bool crcMode = codePosition <= bodyLength && (frame[codePosition] & kCrcModeCodeBit) != 0;
  const size_t tail = frameLength - 1;
  return crcMode ? (tail >= kCrcSize ? tail - kCrcSize : 0) : tail;
}

}  // namespace

ReplyView::ReplyView(const uint8_t* frame, size_t frameLength, FrameKind kind, ReplyLayout layout)
    : frame_(frame),
      frameLength_(frameLength),
      offset_(LayoutOffset(frame, frameLength, layout)),
      codePosition_(kOneByteCodePosition + PrefixSize(kind) + offset_),
      dataEnd_(DataEnd(frame, frameLength, kind)) {}

bool ReplyView::Echoes(uint8_t code) const {
  const std::optional<uint8_t> echoed = Code();
  return echoed.has_value() && *echoed == code;
}

std::optional<uint8_t> ReplyView::At(size_t position) const {
  // The CRC and the tail are part of the frame but never a field.
  if (position >= dataEnd_) return std::nullopt;
  return frame_[position];
}

std::optional<uint8_t> ReplyView::DataByte(size_t k) const {
  const uint8_t* byte = Data(k, 1);
  if (byte == nullptr) return std::nullopt;
  return *byte;
}

const uint8_t* ReplyView::Data(size_t k, size_t n) const {
  const size_t start = codePosition_ + 2;
  if (start > dataEnd_ || k > dataEnd_ - start || n > dataEnd_ - start - k) return nullptr;
  return frame_ + start + k;
}

size_t ReplyView::DataCount() const {
  const size_t start = codePosition_ + 2;
  return start > dataEnd_ ? 0 : dataEnd_ - start;
}

bool ReplyView::receivedTwoByteForm() const { return ReceivedTwoByteForm(frame_, frameLength_); }

}  // namespace quarn::link
