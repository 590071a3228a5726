#pragma once
// The reader's side of the frame format: command frames are decoded from wire bytes (un-stuffing, both
// length forms, CRC check), reply frames are built (both length forms, CRC, antenna prefix) and stuffed.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace quarn::sim {

using Bytes = std::vector<uint8_t>;

inline constexpr uint8_t kHead = 0xAA;
inline constexpr uint8_t kTail = 0x55;
inline constexpr uint8_t kEscape = 0xFF;
inline constexpr uint8_t kAntennaMarker = 0xFE;
inline constexpr uint8_t kCrcBit = 0x80;
// Head and tail around the largest body a 2048-byte buffer holds.
inline constexpr size_t kMaxBodyLength = 2046;
inline constexpr size_t kMaxOneByteLength = 127;

inline bool IsCrcCode(uint8_t code) { return (code & kCrcBit) != 0; }
inline uint8_t PlainCode(uint8_t code) { return static_cast<uint8_t>(code & 0x7F); }

// The CRC-16 of a frame, high byte first, over the bytes from the length field to the last data byte.
uint16_t FrameCrc(const uint8_t* bytes, size_t count);

struct DecodedFrame {
  Bytes frame;  // unstuffed, head to tail
  uint8_t code = 0;  // as received, bit 7 included
  bool twoByteForm = false;
  Bytes params;
  bool crcMode() const { return IsCrcCode(code); }
};

enum class DecodeFault {
  kBadEscape,       // an escape byte followed by a byte that needs no escape
  kUnexpectedHead,  // an unescaped head inside a body: the frame is given up and a new one begins
  kUnexpectedTail,  // an unescaped tail before the body was complete
  kBadTail,         // the byte after the body was not the tail
  kTooLong,         // the length field announces more than the buffer holds
  kTooShort,        // the length field leaves no room for the code (and the CRC)
  kCrcMismatch,
};

const char* DecodeFaultName(DecodeFault fault);

// What one wire byte did to the decoder.
struct DecodeStep {
  enum class Kind { kNothing, kHeadSeen, kStray, kFrame, kFault };
  Kind kind = Kind::kNothing;
  std::optional<DecodedFrame> frame;
  DecodeFault fault = DecodeFault::kBadEscape;
  Bytes partial;  // the unstuffed bytes of a frame that failed
};

class CommandDecoder {
 public:
  DecodeStep Feed(uint8_t byte);
  bool hunting() const { return state_ == State::kHunting; }

 private:
  enum class State { kHunting, kBody, kEscaped, kAwaitTail };
  DecodeStep StoreBodyByte(uint8_t byte);
  DecodeStep Fail(DecodeFault fault);
  DecodeStep Complete();
  void BeginFrame();

  State state_ = State::kHunting;
  Bytes frame_;
  size_t bodyLength_ = 0;  // N, fixed once position 2 is stored
};

// The body after the length field: the code and its parameters, or (replies) the antenna prefix, the
// code, the status and the data. The CRC is added when the code has bit 7 set. The two-byte length form
// is used when the one-byte count exceeds 127, or always when forceTwoByte is set.
Bytes BuildFrame(const Bytes& body, bool crcMode, bool forceTwoByte = false);

struct OutgoingReply {
  uint8_t code = 0;  // as echoed, bit 7 included
  uint8_t status = 0;
  Bytes data;
  std::optional<uint8_t> antenna;  // set: an antenna reply frame with the marker and this number
  bool forceTwoByte = false;
};

Bytes BuildReplyFrame(const OutgoingReply& reply);

// A command frame as a host would send it (tests and tools); two-byte form when the count exceeds 127.
Bytes BuildCommandFrame(uint8_t plainCode, const Bytes& params, bool crcMode);

// Wire bytes of an unstuffed frame: every body byte equal to the head, the tail or the escape byte is
// preceded by the escape byte; head and tail go out as they are.
Bytes StuffFrame(const Bytes& frame);

// Where the code of a built frame sits: 2, or 3 in the two-byte length form (plus 2 for antenna frames).
size_t CodePosition(const Bytes& frame, bool antennaFrame = false);

}  // namespace quarn::sim
