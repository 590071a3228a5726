#include "sim/codec/frame_codec.h"

#include "link/frame_crc.h"

namespace quarn::sim {

namespace {

constexpr uint8_t kTwoByteFlag = 0x80;

bool NeedsEscape(uint8_t value) { return value == kHead || value == kTail || value == kEscape; }

}  // namespace

uint16_t FrameCrc(const uint8_t* bytes, size_t count) {
  uint8_t out[2];
  link::ComputeFrameCrc(bytes, count, out);
  return static_cast<uint16_t>((out[0] << 8) | out[1]);
}

const char* DecodeFaultName(DecodeFault fault) {
  switch (fault) {
    case DecodeFault::kBadEscape: return "escape byte before a byte that needs none";
    case DecodeFault::kUnexpectedHead: return "head byte inside a frame";
    case DecodeFault::kUnexpectedTail: return "tail byte inside a frame";
    case DecodeFault::kBadTail: return "no tail after the body";
    case DecodeFault::kTooLong: return "length beyond 2046";
    case DecodeFault::kTooShort: return "length too short for code and CRC";
    case DecodeFault::kCrcMismatch: return "CRC mismatch";
  }
  return "?";
}

void CommandDecoder::BeginFrame() {
  frame_.assign(1, kHead);
  bodyLength_ = 0;
  state_ = State::kBody;
}

DecodeStep CommandDecoder::Feed(uint8_t byte) {
  switch (state_) {
    case State::kHunting:
      if (byte != kHead) return DecodeStep{DecodeStep::Kind::kStray, std::nullopt, {}, {}};
      BeginFrame();
      return DecodeStep{DecodeStep::Kind::kHeadSeen, std::nullopt, {}, {}};
    case State::kBody:
      if (byte == kHead) {
        DecodeStep step = Fail(DecodeFault::kUnexpectedHead);
        BeginFrame();
        return step;
      }
      if (byte == kTail) return Fail(DecodeFault::kUnexpectedTail);
      if (byte == kEscape) {
        state_ = State::kEscaped;
        return {};
      }
      return StoreBodyByte(byte);
    case State::kEscaped:
      if (!NeedsEscape(byte)) return Fail(DecodeFault::kBadEscape);
      return StoreBodyByte(byte);
    case State::kAwaitTail:
      if (byte == kTail) return Complete();
      if (byte == kHead) {
        DecodeStep step = Fail(DecodeFault::kUnexpectedHead);
        BeginFrame();
        return step;
      }
      return Fail(DecodeFault::kBadTail);
  }
  return {};
}

DecodeStep CommandDecoder::StoreBodyByte(uint8_t byte) {
  frame_.push_back(byte);
  const size_t position = frame_.size() - 1;
  state_ = State::kBody;
  if (position < 2) return {};
  if (position == 2) {
    const bool twoByte = (frame_[1] & kTwoByteFlag) != 0;
    bodyLength_ = twoByte ? static_cast<size_t>(frame_[1] & 0x7F) * 128 + frame_[2] : frame_[1];
    if (bodyLength_ > kMaxBodyLength) return Fail(DecodeFault::kTooLong);
    // The code itself must lie inside the body.
    if (bodyLength_ < (twoByte ? 3u : 2u)) return Fail(DecodeFault::kTooShort);
  }
  if (position == bodyLength_) state_ = State::kAwaitTail;
  return {};
}

DecodeStep CommandDecoder::Fail(DecodeFault fault) {
  DecodeStep step;
  step.kind = DecodeStep::Kind::kFault;
  step.fault = fault;
  step.partial = frame_;
  state_ = State::kHunting;
  return step;
}

DecodeStep CommandDecoder::Complete() {
  frame_.push_back(kTail);
  const bool twoByte = (frame_[1] & kTwoByteFlag) != 0;
  const size_t codePosition = twoByte ? 3 : 2;
  if (bodyLength_ < codePosition) return Fail(DecodeFault::kTooShort);
  DecodedFrame decoded;
  decoded.code = frame_[codePosition];
  decoded.twoByteForm = twoByte;
  size_t end = bodyLength_ + 1;  // one past the last byte before the tail
  if (decoded.crcMode()) {
    if (bodyLength_ < codePosition + 2) return Fail(DecodeFault::kTooShort);
    const uint16_t expected = FrameCrc(frame_.data() + 1, bodyLength_ - 2);
    const uint16_t received = static_cast<uint16_t>((frame_[bodyLength_ - 1] << 8) | frame_[bodyLength_]);
    if (expected != received) return Fail(DecodeFault::kCrcMismatch);
    end -= 2;
  }
  decoded.params.assign(frame_.begin() + static_cast<std::ptrdiff_t>(codePosition + 1),
                        frame_.begin() + static_cast<std::ptrdiff_t>(end));
  decoded.frame = frame_;
  state_ = State::kHunting;
  DecodeStep step;
  step.kind = DecodeStep::Kind::kFrame;
  step.frame = std::move(decoded);
  return step;
}

Bytes BuildFrame(const Bytes& body, bool crcMode, bool forceTwoByte) {
  const size_t count = 1 + body.size() + (crcMode ? 2 : 0);
  const bool twoByte = forceTwoByte || count > kMaxOneByteLength;
  Bytes frame{kHead};
  if (twoByte) {
    const size_t bodyLength = count + 1;  // counts the second length byte too
    frame.push_back(static_cast<uint8_t>(kTwoByteFlag | ((bodyLength >> 7) & 0x7F)));
    frame.push_back(static_cast<uint8_t>(bodyLength & 0x7F));
  } else {
    frame.push_back(static_cast<uint8_t>(count));
  }
  frame.insert(frame.end(), body.begin(), body.end());
  if (crcMode) {
    const uint16_t crc = FrameCrc(frame.data() + 1, frame.size() - 1);
    frame.push_back(static_cast<uint8_t>(crc >> 8));
    frame.push_back(static_cast<uint8_t>(crc & 0xFF));
  }
  frame.push_back(kTail);
  return frame;
}

Bytes BuildReplyFrame(const OutgoingReply& reply) {
  Bytes body;
  body.reserve(reply.data.size() + 4);
  if (reply.antenna) {
    body.push_back(kAntennaMarker);
    body.push_back(*reply.antenna);
  }
  body.push_back(reply.code);
  body.push_back(reply.status);
  body.insert(body.end(), reply.data.begin(), reply.data.end());
  return BuildFrame(body, IsCrcCode(reply.code), reply.forceTwoByte);
}

Bytes BuildCommandFrame(uint8_t plainCode, const Bytes& params, bool crcMode) {
  Bytes body{static_cast<uint8_t>(crcMode ? plainCode | kCrcBit : plainCode)};
  body.insert(body.end(), params.begin(), params.end());
  return BuildFrame(body, crcMode);
}

Bytes StuffFrame(const Bytes& frame) {
  Bytes wire;
  wire.reserve(frame.size() + frame.size() / 8 + 2);
  for (size_t i = 0; i < frame.size(); ++i) {
    const bool envelope = i == 0 || i + 1 == frame.size();
    if (!envelope && NeedsEscape(frame[i])) wire.push_back(kEscape);
    wire.push_back(frame[i]);
  }
  return wire;
}

size_t CodePosition(const Bytes& frame, bool antennaFrame) {
  const size_t base = frame.size() > 1 && (frame[1] & kTwoByteFlag) != 0 ? 3 : 2;
  return antennaFrame ? base + 2 : base;
}

}  // namespace quarn::sim
