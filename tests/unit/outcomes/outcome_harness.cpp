#include "outcome_harness.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "link/frame_format.h"

namespace quarn::outcomes {

namespace commands = link::commands;

const Bytes kEpc = {0x30, 0x00, 0xE2, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA};
const Bytes kRecord = {0x30, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C};
const uint8_t kPassword[4] = {0x11, 0x22, 0x33, 0x44};
const uint8_t kWordPointer[1] = {0x02};
const uint8_t kWords[8] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0};

namespace {

size_t cases_run = 0;

class CaseCounter : public ::testing::Environment {
 public:
  void TearDown() override {
    if (cases_run > 0) std::printf("outcome tables: %zu cases\n", cases_run);
  }
};
const auto* const kCounter = ::testing::AddGlobalTestEnvironment(new CaseCounter);

std::string Describe(const Result& result) {
  char text[96];
  std::snprintf(text, sizeof(text), "%s (status 0x%02X, errorCode 0x%02X, code 0x%02X)", OutcomeName(result.outcome),
                result.status, result.errorCode, result.code);
  return text;
}

uint8_t ModeCode(uint8_t code, bool crc) {
  return static_cast<uint8_t>(crc ? code | link::kCrcModeCodeBit : code & ~link::kCrcModeCodeBit);
}

bool IsStop(const FamilyCall& call) { return call.row == &commands::kStopOperation; }

// Every body byte escaped as a reader stuffs it.
Bytes Stuff(Bytes::const_iterator first, Bytes::const_iterator last) {
  Bytes wire;
  for (auto it = first; it != last; ++it) {
    if (link::NeedsEscape(*it)) wire.push_back(link::kEscapeByte);
    wire.push_back(*it);
  }
  return wire;
}

// The frame on the wire with raw bytes, unescaped, before unstuffed position at.
Bytes WithRawBytes(const Bytes& frame, size_t at, const Bytes& raw) {
  return testing::Join({{frame.front()}, Stuff(frame.begin() + 1, frame.begin() + static_cast<long>(at)), raw,
                        Stuff(frame.begin() + static_cast<long>(at), frame.end() - 1), {frame.back()}});
}

Bytes Prefix(const Bytes& wire, size_t count) { return Bytes(wire.begin(), wire.begin() + static_cast<long>(count)); }

// Bytes that are never a head: what a line picks up besides frames.
Bytes Noise(size_t count) {
  Bytes bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>((i * 37 + 11) % 0xA0);
  return bytes;
}

// The same frame for every receive of the stop, once for any other call.
Bytes ForEveryReceive(const FamilyCall& call, const Bytes& wire) {
  if (!IsStop(call)) return wire;
  Bytes all;
  for (int i = 0; i < link::kStopReceiveAttempts; ++i) all = testing::Join({all, wire});
  return all;
}

void AddFramingCases(const FamilyCall& call, bool crc, std::vector<OutcomeCase>& lines) {
  const Bytes frame = ReplyFrameFor(call, crc, call.goodPayload);
  const Bytes wire = testing::StuffedFrame(frame);
  auto add = [&](const char* what, Scene scene, Result expected) {
    lines.push_back({what, call, std::move(scene), crc, expected});
  };
  add("an escape before an ordinary byte", {WithRawBytes(frame, 2, {0xFF, 0x00})},
      Fails(Outcome::kBadEscape));
  add("a bare head inside the body", {WithRawBytes(frame, 2, {0xAA})},
      Fails(Outcome::kUnescapedHeadOrTail));
  add("a bare tail inside the body", {WithRawBytes(frame, 2, {0x55})},
      Fails(Outcome::kUnescapedHeadOrTail));
  add("a wrong tail", {testing::Join({Prefix(wire, wire.size() - 1), {0x54}})},
      Fails(Outcome::kWrongTail));
  add("a body length of 2047", {testing::Join({{0xAA, 0x8F, 0x7F}, Bytes(60, 0x11), {0x55}})},
      Fails(Outcome::kTooLong));
  add("a body length of 16383", {testing::Join({{0xAA, 0xFF, 0xFF, 0x7F}, Bytes(60, 0x11), {0x55}})},
      Fails(Outcome::kTooLong));
  add("cut before the tail", {Prefix(wire, wire.size() - 1)}, Fails(Outcome::kCutOff));
  add("cut in the middle", {Prefix(wire, wire.size() / 2)}, Fails(Outcome::kCutOff));
  if (crc) {
    Bytes badCrc = frame;
    badCrc[badCrc.size() - 2] ^= 0x01;
    add("a wrong CRC", {testing::StuffedFrame(badCrc)}, Fails(Outcome::kCrcMismatch));
    Bytes flipped = frame;
    flipped[flipped.size() - 4] ^= 0x04;
    add("a bit flipped under the CRC", {testing::StuffedFrame(flipped)},
        Fails(Outcome::kCrcMismatch));
  }
}

void AddPortCases(const FamilyCall& call, bool crc, std::vector<OutcomeCase>& lines) {
  const Bytes wire = GoodWire(call, crc);
  const int half = static_cast<int>(wire.size() / 2);
  auto add = [&](const char* what, Scene scene, Result expected) {
    lines.push_back({what, call, std::move(scene), crc, expected});
  };
  add("silence", {}, Fails(Outcome::kNoReply));
  add("noise only", {Noise(40)}, Fails(Outcome::kNoReply));
  add("noise, then the reply", {testing::Join({Noise(25), wire})}, Ok(call.goodPayload[0]));
  add("the port gone before the call", {wire, Fault::kHangUpFirst}, Fails(Outcome::kPortGone));
  add("the port gone while hunting", {wire, Fault::kHangUpAtRead, 1}, Fails(Outcome::kPortGone));
  add("the port gone in the middle of the frame", {wire, Fault::kHangUpAtRead, half + 1}, Fails(Outcome::kPortGone));
  add("an unusable port", {wire, Fault::kUnusable}, Fails(Outcome::kPortUnusable));
  add("a failed read while hunting", {wire, Fault::kFailRead, 1}, Ok(call.goodPayload[0]));
  // The rest of the frame would come to the stop's next receive as a frame of its own.
  if (!IsStop(call)) add("a failed read in the middle of the frame", {wire, Fault::kFailRead, half + 1}, Fails(Outcome::kCutOff));
  if (ReceiveOnly(call)) return;
  int writes = 0;
  RunScene(call, {wire}, crc, &writes);
  // The stop sends a second time when the first send fails, and that one is answered.
  const Result failedWrite = IsStop(call) ? Ok(call.goodPayload[0]) : Fails(Outcome::kWriteFailed);
  add("the first byte's write failing", {wire, Fault::kFailWrite, 1}, failedWrite);
  add("a middle byte's write failing", {wire, Fault::kFailWrite, writes / 2 + 1}, failedWrite);
  add("the tail's write failing", {wire, Fault::kFailWrite, writes}, failedWrite);
}

}  // namespace

bool ReceiveOnly(const FamilyCall& call) { return call.row->receiveOnly; }

Bytes WithStatus(uint8_t status, std::initializer_list<Bytes> parts) {
  Bytes payload{status};
  for (const Bytes& part : parts) payload.insert(payload.end(), part.begin(), part.end());
  return payload;
}

Bytes Counting(size_t count, uint8_t first) {
  Bytes bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(first + i);
  return bytes;
}

FamilyCall FindCall(const std::vector<FamilyCall>& calls, const char* name) {
  for (const FamilyCall& call : calls) {
    if (std::string(call.name) == name) return call;
  }
  ADD_FAILURE() << "no family call " << name;
  return calls.front();
}

OutcomeCase ReplyCase(const char* what, const FamilyCall& call, bool crc, const Bytes& payload, Result expected) {
  return {what, call, {testing::StuffedFrame(ReplyFrameFor(call, crc, payload))}, crc, expected};
}

Bytes ReplyFrameFor(const FamilyCall& call, bool crc, uint8_t code, const Bytes& payload) {
  const uint8_t wireCode = ModeCode(code, crc);
  return call.row->receiver == link::FrameKind::kAntenna ? testing::AntennaReplyFrame(0x01, wireCode, payload)
                                                          : testing::ReplyFrame(wireCode, payload);
}

Bytes ReplyFrameFor(const FamilyCall& call, bool crc, const Bytes& payload) {
  return ReplyFrameFor(call, crc, call.row->code, payload);
}

Bytes GoodWire(const FamilyCall& call, bool crc) {
  return testing::StuffedFrame(ReplyFrameFor(call, crc, call.goodPayload));
}

Result RunScene(const FamilyCall& call, const Scene& scene, bool crc, int* writes) {
  FakePort port;
  switch (scene.fault) {
    case Fault::kNone:
      break;
    case Fault::kHangUpFirst:
      port.HangUp();
      break;
    case Fault::kHangUpAtRead:
      port.HangUpAtReadNumber(scene.n);
      break;
    case Fault::kUnusable:
      port.MakeUnusable();
      break;
    case Fault::kFailWrite:
      port.FailWriteNumber(scene.n);
      break;
    case Fault::kFailRead:
      port.FailReadNumber(scene.n);
      break;
  }
  if (!scene.wire.empty()) {
    if (ReceiveOnly(call)) {
      port.Deliver(scene.wire, scene.gapMs);
    } else {
      port.ReplyToNextCommand(scene.wire, scene.gapMs);
    }
  }
  auto sink = std::make_unique<Sink>();
  const Result result = call.run(port, *sink, crc ? 1u : 0u);
  if (writes != nullptr) *writes = port.writeCalls();
  return result;
}

::testing::AssertionResult SameResult(const Result& actual, const Result& expected) {
  if (actual.outcome == expected.outcome && actual.status == expected.status &&
      actual.errorCode == expected.errorCode && actual.code == expected.code) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "got " << Describe(actual) << ", expected " << Describe(expected);
}

void ExpectCase(const OutcomeCase& line) {
  ++cases_run;
  EXPECT_TRUE(SameResult(RunScene(line.call, line.scene, line.crc), line.expected))
      << line.call.name << ": " << line.what << (line.crc ? " (CRC mode)" : " (plain mode)");
}

void ExpectCases(const std::vector<OutcomeCase>& lines) {
  for (const OutcomeCase& line : lines) ExpectCase(line);
}

Result Ok(uint8_t status) {
  Result result = link::Succeeded();
  result.status = status;
  return result;
}

Result RefusedWith(uint8_t status, uint8_t errorCode) { return link::Refused(status, errorCode); }

Result Other(uint8_t code) { return link::OtherCommand(code, 0); }  // SameResult leaves sentCode out

Result Fails(Outcome outcome) { return link::Failed(outcome); }

std::vector<OutcomeCase> LineCases(const FamilyCall& call) {
  std::vector<OutcomeCase> lines;
  for (bool crc : {false, true}) {
    AddPortCases(call, crc, lines);
    AddFramingCases(call, crc, lines);
  }
  return lines;
}

std::vector<OutcomeCase> RowCases(const FamilyCall& call) {
  std::vector<OutcomeCase> lines;
  const link::CommandSpec& row = *call.row;
  for (bool crc : {false, true}) {
    auto add = [&](const char* what, const Bytes& frame, Result expected) {
      lines.push_back({what, call, {ForEveryReceive(call, testing::StuffedFrame(frame))}, crc, expected});
    };
    add("its good reply", ReplyFrameFor(call, crc, call.goodPayload), Ok(call.goodPayload[0]));
    lines.push_back({"no reply", call, {}, crc, Fails(Outcome::kNoReply)});
    const uint8_t otherCode = static_cast<uint8_t>(row.code ^ 0x40);
    add("another command's reply", ReplyFrameFor(call, crc, otherCode, call.goodPayload), Other(ModeCode(otherCode, crc)));
    const bool eitherMode = row.echoRule != link::EchoRule::kExact;
    add("a reply in the other mode", ReplyFrameFor(call, !crc, call.goodPayload),
        eitherMode ? Ok(call.goodPayload[0]) : Other(ModeCode(row.code, !crc)));
    add("a reply without its status byte", ReplyFrameFor(call, crc, {}), Fails(Outcome::kTooShort));
    if (call.refusal) {
      add("its refusal", ReplyFrameFor(call, crc, call.refusal->payload),
          RefusedWith(call.refusal->payload[0], call.refusal->errorCode));
    }
    if (row.receiver == link::FrameKind::kAntenna) {
      Bytes unmarked = ReplyFrameFor(call, crc, call.goodPayload);
      unmarked[2] = 0xFD;
      if (crc) {
        const Bytes body(unmarked.begin() + 1, unmarked.end() - 3);
        const Bytes check = testing::ReferenceCrc(body);
        std::copy(check.begin(), check.end(), unmarked.end() - 3);
      }
      add("an antenna frame with another marker", unmarked,
          row.markerChecked ? Other(ModeCode(row.code, crc)) : Ok(call.goodPayload[0]));
    }
  }
  return lines;
}

std::vector<Outcome> OutcomesIn(const std::vector<OutcomeCase>& lines) {
  std::vector<Outcome> seen;
  for (const OutcomeCase& line : lines) {
    if (std::find(seen.begin(), seen.end(), line.expected.outcome) == seen.end()) seen.push_back(line.expected.outcome);
  }
  return seen;
}

void ExpectCovered(const std::vector<OutcomeCase>& lines, const std::vector<Outcome>& wanted) {
  const std::vector<Outcome> seen = OutcomesIn(lines);
  for (Outcome outcome : wanted) {
    EXPECT_NE(std::find(seen.begin(), seen.end(), outcome), seen.end()) << "no case expects " << OutcomeName(outcome);
  }
}

}  // namespace quarn::outcomes
