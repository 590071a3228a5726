#pragma once
// Frames taken apart offline: the bytes as they travel (with escapes) back to head, length, code,
// payload, CRC and tail, with every fault a receiver would refuse named rather than hidden.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "report.h"

namespace quarn::cli {

// CRC-16 of the frames: polynomial 0x1021, preset 0xFFFF, no reflection, result inverted.
uint16_t FrameCrc(const uint8_t* data, size_t count);

struct DecodedFrame {
  Bytes frame;  // unstuffed, from the head on
  size_t skippedBeforeHead = 0;
  std::vector<std::string> problems;
  bool complete = false;  // head, the announced body, and a tail byte that is 0x55
  bool twoByteLength = false;
  int bodyLength = -1;  // N: bytes from the length field through the last byte before the tail
  bool antennaFrame = false;
  int antenna = -1;
  int code = -1;  // as sent, bit 7 included
  bool crcMode = false;
  Bytes payload;  // after the code, up to the CRC or the tail: parameters, or status and reply data
  std::optional<uint16_t> crcCarried;
  std::optional<uint16_t> crcComputed;
};

DecodedFrame DecodeFrame(const Bytes& wire);

struct NamedValue {
  std::string name;
  std::string value;
};

// A command's parameter bytes by the fields of its code; bytes the layout does not account for come
// last as "extra bytes".
std::vector<NamedValue> CommandFields(int code, const Bytes& parameters);

// A reply's status byte and data, with the tag error code and its meaning when the status carries one.
std::vector<NamedValue> ReplyFields(const Bytes& payload);

}  // namespace quarn::cli
