#include "link/frame_crc.h"
#include "link/frame_io.h"
#include "link/serial/serial_backend.h"

namespace quarn::link {

namespace {

enum class State { kHunting, kBody, kEscape, kTail };

constexpr size_t kLengthPosition = 1;
constexpr size_t kLastLengthPosition = 2;

// One reception: the next position to fill and the body length, fixed once position 2 is stored.
class Reception {
 public:
  Reception(uint8_t* buffer, FrameKind kind) : buffer_(buffer), kind_(kind) {}

  State state() const { return state_; }

  void SeeHead() {
    buffer_[0] = kFrameHead;
    pos_ = 1;
    state_ = State::kBody;
  }

  void SeeEscape() { state_ = State::kEscape; }

  // Stores one unstuffed body byte and runs the end test. False when the frame cannot fit the buffer.
  bool Store(uint8_t value) {
    // One place must stay free for the tail.
    if (pos_ >= kFrameBufferSize - 1) return false;
    buffer_[pos_] = value;
    if (pos_ == kLastLengthPosition) {
      bodyLength_ = (buffer_[kLengthPosition] & kTwoByteLengthFlag) != 0
                        ? (buffer_[kLengthPosition] & 0x7Fu) * 128u + buffer_[kLastLengthPosition]
                        : buffer_[kLengthPosition];
      bodyLengthFixed_ = true;
      if (bodyLength_ > kMaxBodyLength) return false;
    }
    const bool last = bodyLengthFixed_ && pos_ == bodyLength_;
    ++pos_;
    state_ = last ? State::kTail : State::kBody;
    return true;
  }

  // The tail has arrived: check the CRC of a CRC-mode frame and report the frame's length.
  Outcome Complete(size_t* frameLength) {
    buffer_[pos_] = kFrameTail;
    const size_t prefix = kind_ == FrameKind::kAntenna ? kAntennaPrefixSize : 0;
    // The code follows the length field in the form the frame announces. Going by the body length instead
    // would take the second length byte of a short two-byte-form frame for its code and skip the CRC.
    const bool twoByteForm = (buffer_[kLengthPosition] & kTwoByteLengthFlag) != 0;
    const size_t codePosition = (twoByteForm ? 3 : 2) + prefix;
    const bool crcMode = codePosition <= bodyLength_ && (buffer_[codePosition] & kCrcModeCodeBit) != 0;
    if (crcMode) {
      uint8_t crc[kCrcSize];
      ComputeFrameCrc(buffer_ + 1, bodyLength_ - kCrcSize, crc);
      if (crc[0] != buffer_[bodyLength_ - 1] || crc[1] != buffer_[bodyLength_]) return Outcome::kCrcMismatch;
    }
    *frameLength = bodyLength_ + 2;
    return Outcome::kSuccess;
  }

 private:
  uint8_t* buffer_;
  FrameKind kind_;
  State state_ = State::kHunting;
  size_t pos_ = 0;
  size_t bodyLength_ = 0;
  bool bodyLengthFixed_ = false;
};

// The reception continues; every other outcome ends it. No step itself ends in "no reply": only the time
// check does.
constexpr Outcome kGoOn = Outcome::kNoReply;

// What a read that brought no byte means once the head was seen: the reply stopped, or the port went.
Outcome Missing(serial::ReadOutcome outcome) {
  switch (outcome) {
    case serial::ReadOutcome::kGone:
      return Outcome::kPortGone;
    case serial::ReadOutcome::kUnusable:
      return Outcome::kPortUnusable;
    default:
      return Outcome::kCutOff;
  }
}

Outcome Hunt(Reception& reception, serial::ReadOutcome outcome, uint8_t value) {
  // Bytes before the head, and reads that bring nothing, are dropped; but a port that is gone or no
  // port at all fails every later read at once, and waiting for the time limit would only spin.
  if (outcome == serial::ReadOutcome::kGone || outcome == serial::ReadOutcome::kUnusable) return Missing(outcome);
  if (outcome == serial::ReadOutcome::kByte && value == kFrameHead) reception.SeeHead();
  return kGoOn;
}

Outcome StoreOrRefuse(Reception& reception, uint8_t value) {
  return reception.Store(value) ? kGoOn : Outcome::kTooLong;
}

Outcome Advance(Reception& reception, serial::ReadOutcome outcome, uint8_t value, size_t* frameLength) {
  const bool gotByte = outcome == serial::ReadOutcome::kByte;
  switch (reception.state()) {
    case State::kHunting:
      return Hunt(reception, outcome, value);
    case State::kBody:
      // After the head, a read that brings nothing ends the frame as a failed read does.
      if (!gotByte) return Missing(outcome);
      if (value == kFrameTail || value == kFrameHead) return Outcome::kUnescapedHeadOrTail;
      if (value == kEscapeByte) {
        reception.SeeEscape();
        return kGoOn;
      }
      return StoreOrRefuse(reception, value);
    case State::kEscape:
      if (!gotByte) return Missing(outcome);
      if (!NeedsEscape(value)) return Outcome::kBadEscape;
      return StoreOrRefuse(reception, value);
    case State::kTail:
      if (!gotByte) return Missing(outcome);
      if (value != kFrameTail) return Outcome::kWrongTail;
      return reception.Complete(frameLength);
  }
  return Outcome::kCutOff;
}

Result Receive(PortHandle port, uint8_t* buffer, uint32_t timeLimitMs, size_t* frameLength, FrameKind kind) {
  Reception reception(buffer, kind);
  const uint32_t start = serial::TickMs(port);
  for (;;) {
    uint8_t value = 0;
    const serial::ReadOutcome outcome = serial::ReadByte(port, &value);
    const Outcome step = Advance(reception, outcome, value, frameLength);
    if (step != kGoOn) return Result{step};
    // The unsigned difference stays right when the 32-bit counter wraps.
    const uint32_t elapsed = serial::TickMs(port) - start;
    const bool hunting = reception.state() == State::kHunting;
    if (elapsed > timeLimitMs && (hunting || kind == FrameKind::kAntenna)) {
      return Result{hunting ? Outcome::kNoReply : Outcome::kCutOff};
    }
  }
}

}  // namespace

Result ReceiveFrame(PortHandle port, uint8_t* buffer, uint32_t timeLimitMs, size_t* frameLength) {
  return Receive(port, buffer, timeLimitMs, frameLength, FrameKind::kPlain);
}

Result ReceiveAntennaFrame(PortHandle port, uint8_t* buffer, uint32_t timeLimitMs, size_t* frameLength) {
  return Receive(port, buffer, timeLimitMs, frameLength, FrameKind::kAntenna);
}

}  // namespace quarn::link
