#include "frame_decoder.h"

#include "arguments.h"
#include "command_names.h"
#include "link/frame_crc.h"
#include "quarn/error.h"

namespace quarn::cli {

namespace {

constexpr uint8_t kHead = 0xAA;
constexpr uint8_t kTail = 0x55;
constexpr uint8_t kEscape = 0xFF;
constexpr uint8_t kAntennaMarker = 0xFE;

bool NeedsEscape(uint8_t value) { return value == kHead || value == kTail || value == kEscape; }

// The body length N once position 2 is in: the two-byte form is told by bit 7 of position 1.
int BodyLength(const Bytes& frame) {
  if (frame[1] & 0x80) return (frame[1] & 0x7F) * 128 + frame[2];
  return frame[1];
}

// Unstuffs from the head to the tail the length announces; returns false when the bytes run out or a
// receiver would refuse them.
bool Unstuff(const Bytes& wire, size_t at, DecodedFrame& decoded) {
  Bytes& frame = decoded.frame;
  while (at < wire.size()) {
    uint8_t value = wire[at++];
    if (decoded.bodyLength >= 0 && frame.size() == static_cast<size_t>(decoded.bodyLength) + 1) {
      frame.push_back(value);
      if (value != kTail) decoded.problems.push_back("the tail is " + ByteText(value) + ", not 0x55");
      if (at < wire.size()) decoded.problems.push_back(std::to_string(wire.size() - at) + " bytes follow the tail");
      return value == kTail;
    }
    if (value == kEscape) {
      if (at == wire.size()) break;
      value = wire[at++];
      if (!NeedsEscape(value)) {
        decoded.problems.push_back("the escape at position " + std::to_string(frame.size()) + " is followed by " +
                                   ByteText(value) + ", which needs no escape");
        return false;
      }
    } else if (value == kHead || value == kTail) {
      decoded.problems.push_back("an unescaped " + ByteText(value) + " at position " + std::to_string(frame.size()) +
                                 " ends the frame early");
      return false;
    }
    frame.push_back(value);
    if (frame.size() == 3) {
      decoded.twoByteLength = (frame[1] & 0x80) != 0;
      decoded.bodyLength = BodyLength(frame);
      if (decoded.bodyLength < 2) {
        decoded.problems.push_back("the length " + std::to_string(decoded.bodyLength) + " is too short for a frame");
        return false;
      }
    }
  }
  decoded.problems.push_back("the frame ends before its tail (" + std::to_string(frame.size()) + " of " +
                             Counted(static_cast<size_t>(decoded.bodyLength + 2), "byte") + ")");
  return false;
}

// Head-relative fields of a complete frame: code (past the antenna bytes), payload and CRC.
void ReadFields(DecodedFrame& decoded) {
  const Bytes& frame = decoded.frame;
  size_t codeAt = decoded.twoByteLength ? 3 : 2;
  size_t last = static_cast<size_t>(decoded.bodyLength);
  if (codeAt > last) {
    decoded.problems.push_back("the length leaves no room for a code");
    return;
  }
  if (frame[codeAt] == kAntennaMarker && codeAt + 2 <= last) {
    decoded.antennaFrame = true;
    decoded.antenna = frame[codeAt + 1];
    codeAt += 2;
  }
  decoded.code = frame[codeAt];
  decoded.crcMode = (decoded.code & 0x80) != 0;
  size_t payloadEnd = last + 1;
  if (decoded.crcMode) {
    if (last < codeAt + 2) {
      decoded.problems.push_back("the frame is too short to hold its CRC");
      return;
    }
    decoded.crcCarried = static_cast<uint16_t>(frame[last - 1] << 8 | frame[last]);
    decoded.crcComputed = FrameCrc(&frame[1], last - 2);
    if (*decoded.crcCarried != *decoded.crcComputed)
      decoded.problems.push_back("the CRC is " + HexText(&frame[last - 1], 2) + ", the bytes give " +
                                 HexText(Bytes{static_cast<uint8_t>(*decoded.crcComputed >> 8),
                                               static_cast<uint8_t>(*decoded.crcComputed & 0xFF)}));
    payloadEnd = last - 1;
  }
  decoded.payload.assign(frame.begin() + static_cast<long>(codeAt) + 1, frame.begin() + static_cast<long>(payloadEnd));
}

std::string Hex16(const Bytes& bytes, size_t at) {
  return std::to_string(static_cast<int>(bytes[at]) << 8 | bytes[at + 1]);
}

// The width of a field at this point of the parameters, or 0 when it cannot be told.
size_t FieldWidth(Field kind, const Bytes& parameters, size_t at, int wordCount) {
  switch (kind) {
    case Field::kAccessPassword:
    case Field::kKillPassword: return 4;
    case Field::kLockPayload: return 3;
    case Field::kRegisterAddress:
    case Field::kRegisterCount: return 2;
    case Field::kBank:
    case Field::kWordCount:
    case Field::kByte: return 1;
    case Field::kWordPointer: return at < parameters.size() && (parameters[at] & 0x80) ? 2 : 1;
    case Field::kWords: return static_cast<size_t>(wordCount) * 2;
    case Field::kTagRecord: return at < parameters.size() ? quarn::TagRecord::SizeFor(parameters[at]) : 2;
    case Field::kRest: return parameters.size() - at;
    case Field::kNone: break;
  }
  return 0;
}

std::string FieldValue(Field kind, const Bytes& parameters, size_t at, size_t width) {
  Bytes bytes(parameters.begin() + static_cast<long>(at), parameters.begin() + static_cast<long>(at + width));
  switch (kind) {
    case Field::kBank: return std::string(BankName(bytes[0])) + " (" + std::to_string(bytes[0]) + ")";
    case Field::kWordCount: return std::to_string(bytes[0]);
    case Field::kWordPointer: return std::to_string(DecodeWordPointer(bytes)) + " (" + HexText(bytes) + ")";
    case Field::kRegisterAddress:
    case Field::kRegisterCount: return Hex16(bytes, 0) + " (" + HexText(bytes) + ")";
    case Field::kByte: return ByteText(bytes[0]);
    case Field::kTagRecord: {
      // The frame may end inside the record: what there is of it.
      const size_t pcBytes = std::min<size_t>(2, bytes.size());
      const std::string epc = HexText(bytes.data() + pcBytes, bytes.size() - pcBytes);
      return "EPC " + (epc.empty() ? "(none)" : epc) + ", PC " + HexText(bytes.data(), pcBytes);
    }
    default: return bytes.empty() ? "(none)" : HexText(bytes);
  }
}

}  // namespace

uint16_t FrameCrc(const uint8_t* data, size_t count) {
  uint8_t crc[2];
  link::ComputeFrameCrc(data, count, crc);
  return static_cast<uint16_t>(crc[0] << 8 | crc[1]);
}

DecodedFrame DecodeFrame(const Bytes& wire) {
  DecodedFrame decoded;
  size_t at = 0;
  while (at < wire.size() && wire[at] != kHead) ++at;
  decoded.skippedBeforeHead = at;
  if (at > 0) decoded.problems.push_back("skipped " + Counted(at, "byte") + " before the head");
  if (at == wire.size()) {
    decoded.problems.push_back("no head byte 0xAA");
    return decoded;
  }
  decoded.frame.push_back(kHead);
  decoded.complete = Unstuff(wire, at + 1, decoded);
  if (decoded.complete) ReadFields(decoded);
  return decoded;
}

std::vector<NamedValue> CommandFields(int code, const Bytes& parameters) {
  std::vector<NamedValue> fields;
  const CommandInfo* command = FindCommand(code);
  size_t at = 0;
  int wordCount = 0;
  if (command) {
    for (const ParameterField& layout : command->parameters) {
      if (layout.kind == Field::kNone) break;
      size_t width = FieldWidth(layout.kind, parameters, at, wordCount);
      if (at + width > parameters.size()) {
        fields.push_back({layout.name, "(missing: " + std::to_string(parameters.size() - at) + " of " +
                                         Counted(width, "byte") + ")"});
        return fields;
      }
      if (layout.kind == Field::kWordCount) wordCount = parameters[at];
      if (width > 0 || layout.kind == Field::kRest)
        fields.push_back({layout.name, FieldValue(layout.kind, parameters, at, width)});
      at += width;
    }
  }
  if (at < parameters.size()) {
    Bytes rest(parameters.begin() + static_cast<long>(at), parameters.end());
    fields.push_back({command ? "extra bytes" : "parameters", HexText(rest)});
  }
  return fields;
}

std::vector<NamedValue> ReplyFields(const Bytes& payload) {
  if (payload.empty()) return {{"status", "(missing)"}};
  uint8_t status = payload[0];
  std::vector<NamedValue> fields = {{"status", ByteText(status) + ((status & 0x80) ? " (failure)" : "")}};
  Bytes data(payload.begin() + 1, payload.end());
  if ((status & 0x81) == 0x81 && !data.empty()) {
    const char* meaning = quarn::Gen2ErrorMeaning(data[0]);
    fields.push_back({"error code", ByteText(data[0]) + " " + (meaning ? meaning : "(not a Gen2 code)")});
  }
  fields.push_back({"data", data.empty() ? "(none)" : HexText(data)});
  return fields;
}

}  // namespace quarn::cli
