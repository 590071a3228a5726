// Every command export against replies a faulty reader, a noisy cable or a hostile device could send.
// Whatever arrives, a call must end within its time bound, touch nothing past the caller's documented
// buffers, keep the buffers the header does not name for failure, and never report success for a reply
// it should refuse.

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "export_catalog.h"
#include "fake_serial.h"
#include "link/command_table.h"
#include "link/outcome.h"
#include "link/status_rules.h"

namespace {

using quarn::testing::Bytes;
using quarn::testing::CallBuffers;
using quarn::testing::ExportCatalog;
using quarn::testing::ExportEntry;
using quarn::testing::FakePort;
using quarn::testing::FindExport;
using quarn::testing::Join;
using quarn::testing::OnFailure;
using quarn::testing::PortlessContents;
using quarn::testing::ReplyShape;
using quarn::testing::ShapeFrame;
using quarn::testing::StatusOutcome;
using quarn::testing::StuffedFrame;
using quarn::link::Outcome;

constexpr uint8_t kCrcBit = 0x80;

// What a case must lead to.
enum class Expect {
  kNoReply,        // result 0; failure-path buffers hold their no-reply value, all others untouched
  kRefused,        // result 0; only the failure-path buffers may change
  kSucceeds,       // result 1
  kWritesNothing,  // result 1 and no buffer touched
  kEither,         // 0 or 1, as the data happen to fall; on 0 as kRefused
};

// What the export's command family must name for a case: one outcome, or a few where the data decide,
// and where the reply tells them, the status of a refusal or success and the code of another command.
struct Named {
  uint32_t outcomes = 0;  // a bit per Outcome
  std::optional<uint8_t> status = std::nullopt;
  std::optional<uint8_t> code = std::nullopt;

  bool Allows(Outcome outcome) const { return (outcomes & Bit(outcome)) != 0; }
  Named Or(Outcome outcome) const {
    Named wider = *this;
    wider.outcomes |= Bit(outcome);
    return wider;
  }
  static uint32_t Bit(Outcome outcome) { return 1u << static_cast<unsigned>(outcome); }
};

Named Is(Outcome outcome) { return {Named::Bit(outcome)}; }
Named Succeeds(uint8_t status) { return {Named::Bit(Outcome::kSuccess), status}; }
Named RefusedWith(uint8_t status) { return {Named::Bit(Outcome::kRefused), status}; }
Named OtherCommand(uint8_t code) { return {Named::Bit(Outcome::kOtherCommand), std::nullopt, code}; }

struct HostileCase {
  std::string name;
  Bytes wire;  // what the reader sends (released by the command, or waiting for a receive-only export)
  Expect expect;
  Named named;  // what the command family says of it
  uint32_t gapMs = 0;
  int failReadNumber = 0;    // a read that fails, as when the device goes away mid-frame
  bool hangUpFirst = false;  // the device is gone before the call
};

size_t cases_tried = 0;

class CaseCounter : public ::testing::Environment {
 public:
  void TearDown() override {
    if (cases_tried > 0) std::printf("hostile replies: %zu cases over %zu catalog rows\n", cases_tried, ExportCatalog().size());
  }
};
const auto* const kCounter = ::testing::AddGlobalTestEnvironment(new CaseCounter);

// --- building replies ---

Bytes GoodFrame(const ExportEntry& entry, bool crc) { return ShapeFrame(entry.goodReply(crc), crc); }

Bytes FrameWith(const ExportEntry& entry, bool crc, const Bytes& payload) {
  ReplyShape shape = entry.goodReply(crc);
  shape.payload = payload;
  return ShapeFrame(shape, crc);
}

Bytes WireWith(const ExportEntry& entry, bool crc, const Bytes& payload) {
  return StuffedFrame(FrameWith(entry, crc, payload));
}

Bytes GoodWire(const ExportEntry& entry, bool crc) { return StuffedFrame(GoodFrame(entry, crc)); }

// The good reply framed with another code: a reply to some other command.
Bytes WireWithCode(const ExportEntry& entry, bool crc, uint8_t code) {
  ReplyShape shape = entry.goodReply(crc);
  shape.code = code;
  return StuffedFrame(ShapeFrame(shape, crc));
}

// The good reply in the mode the call did not ask for.
Bytes OtherModeWire(const ExportEntry& entry, bool crc) { return StuffedFrame(ShapeFrame(entry.goodReply(crc), !crc)); }

Bytes Noise(size_t count, uint8_t seed) {
  Bytes bytes(count);
  uint32_t state = seed * 2654435761u + 1;
  for (size_t i = 0; i < count; ++i) {
    state = state * 1103515245u + 12345u;
    uint8_t value = static_cast<uint8_t>(state >> 16);
    bytes[i] = value == 0xAA ? 0x2A : value;  // never a head, so it is noise and nothing else
  }
  return bytes;
}

// The unstuffed frame with body byte at position replaced, restuffed.
Bytes Patched(Bytes frame, size_t position, uint8_t value) {
  frame[position] = value;
  return StuffedFrame(frame);
}

// A frame whose two-byte length field ends in the byte a one-byte-form reader expects at position 2:
// such a reader sees a plausible frame whose length byte (0x80 and up) announces far more than arrived.
Bytes AliasedLengthForm(const ExportEntry& entry, bool crc) {
  const Bytes good = GoodFrame(entry, crc);
  const size_t headerBytes = good[1] & 0x80 ? 3 : 2;
  const Bytes inner(good.begin() + static_cast<long>(headerBytes), good.end() - (crc ? 3 : 1));  // code on, no CRC
  const uint8_t alias = good[headerBytes];
  const size_t needed = 2 + inner.size() + (crc ? 2 : 0);
  size_t n = alias;
  while (n < needed) n += 128;
  Bytes body = {static_cast<uint8_t>(0x80 | (n >> 7)), static_cast<uint8_t>(n & 0x7F)};
  body.insert(body.end(), inner.begin(), inner.end());
  body.resize(n - (crc ? 2 : 0), 0x11);
  if (crc) body = Join({body, quarn::testing::ReferenceCrc(body)});
  return StuffedFrame(Join({{0xAA}, body, {0x55}}));
}

// The good reply padded with data up to the largest body a frame may have (N = 2046).
Bytes LargestFrame(const ExportEntry& entry, bool crc) {
  ReplyShape shape = entry.goodReply(crc);
  const size_t fixed = 2 + 1 + (shape.antenna ? 2 : 0) + (crc ? 2 : 0);
  shape.payload.resize(2046 - fixed, 0x11);
  const Bytes frame = ShapeFrame(shape, crc);
  return frame.size() == 2048 ? StuffedFrame(frame) : Bytes{};
}

// A body length past the receive buffer: the good reply's start, then far more bytes than fit.
Bytes OversizedFrame(const ExportEntry& entry, bool crc, uint8_t high, uint8_t low) {
  const Bytes good = GoodFrame(entry, crc);
  const size_t headerBytes = good[1] & 0x80 ? 3 : 2;
  Bytes frame = {0xAA, high, low};
  frame.insert(frame.end(), good.begin() + static_cast<long>(headerBytes), good.end() - 1);
  frame.resize(2100, 0x11);
  frame.push_back(0x55);
  return StuffedFrame(frame);
}

Expect WrongCodeExpect(const ExportEntry& entry) {
  return entry.wrongCodeReportsStatus ? Expect::kRefused : Expect::kNoReply;
}

Expect FromStatus(StatusOutcome outcome) {
  switch (outcome) {
    case StatusOutcome::kFails:
      return Expect::kRefused;
    case StatusOutcome::kSucceeds:
      return Expect::kSucceeds;
    case StatusOutcome::kWritesNothing:
      return Expect::kWritesNothing;
    case StatusOutcome::kDependsOnData:
      return Expect::kEither;
  }
  return Expect::kEither;
}

// The code a reply carries in a mode.
uint8_t InMode(uint8_t code, bool crc) { return static_cast<uint8_t>(crc ? code | kCrcBit : code & ~kCrcBit); }

// What a well-formed frame may come to when its data decide: never a fault of the line or the frame.
Named JudgedByItsData(const ExportEntry& entry) {
  Named named = Is(Outcome::kSuccess).Or(Outcome::kRefused).Or(Outcome::kTooShort).Or(Outcome::kOtherCommand);
  // The PSAM answer's count is one byte: a longer answer is too long to tell.
  return entry.goodReply(false).code == quarn::link::commands::kSetPsamPower.code ? named.Or(Outcome::kTooLong) : named;
}

// The same for a frame the stop may take or pass over to hear nothing more.
Named JudgedByItsDataOrSilence(const ExportEntry& entry) {
  return entry.receives > 1 ? JudgedByItsData(entry).Or(Outcome::kNoReply) : JudgedByItsData(entry);
}

// A bare head at wire position 4 lands after the body of a five-byte frame, and as data after an escape.
Outcome HeadAtFour(const Bytes& wire) {
  return wire.size() == 5 || wire[3] == 0xFF ? Outcome::kWrongTail : Outcome::kUnescapedHeadOrTail;
}

// --- the families of malformations ---

std::vector<HostileCase> FramingCases(const ExportEntry& entry, bool crc) {
  const Bytes wire = GoodWire(entry, crc);
  const size_t half = wire.size() / 2;
  const uint8_t code = entry.goodReply(crc).code;
  const uint8_t otherCode = static_cast<uint8_t>(code ^ 0x40);
  const Named wrongCode = OtherCommand(InMode(otherCode, crc));
  const Named otherMode = entry.acceptsEitherMode ? Is(Outcome::kSuccess) : OtherCommand(InMode(code, !crc));
  std::vector<HostileCase> cases = {
      {"silence", {}, Expect::kNoReply, Is(Outcome::kNoReply)},
      {"noise only", Noise(40, 1), Expect::kNoReply, Is(Outcome::kNoReply)},
      {"noise, then the reply", Join({Noise(25, 2), wire}), Expect::kSucceeds, Is(Outcome::kSuccess)},
      {"cut before the tail", Bytes(wire.begin(), wire.end() - 1), Expect::kNoReply,
       Is(Outcome::kCutOff)},
      {"cut in the middle", Bytes(wire.begin(), wire.begin() + static_cast<long>(half)), Expect::kNoReply,
       Is(Outcome::kCutOff)},
      {"a wrong tail", Join({Bytes(wire.begin(), wire.end() - 1), {0x54}}), Expect::kNoReply,
       Is(Outcome::kWrongTail)},
      {"a head inside the body", Join({Bytes(wire.begin(), wire.begin() + 4), {0xAA}, Bytes(wire.begin() + 4, wire.end())}),
       Expect::kNoReply, Is(HeadAtFour(wire))},
      {"an escape before an ordinary byte",
       Join({Bytes(wire.begin(), wire.begin() + 3), {0xFF, 0x00}, Bytes(wire.begin() + 3, wire.end())}), Expect::kNoReply,
       Is(Outcome::kBadEscape)},
      {"a reply to another command", WireWithCode(entry, crc, static_cast<uint8_t>(entry.goodReply(crc).code ^ 0x40)),
       WrongCodeExpect(entry), wrongCode},
      {"another command's reply, then the reply", Join({WireWithCode(entry, crc, static_cast<uint8_t>(entry.goodReply(crc).code ^ 0x40)), wire}),
       entry.receives > 1 ? Expect::kSucceeds : WrongCodeExpect(entry),
       entry.receives > 1 ? Is(Outcome::kSuccess) : OtherCommand(InMode(otherCode, crc))},
      {"the other mode", OtherModeWire(entry, crc), entry.acceptsEitherMode ? Expect::kSucceeds : WrongCodeExpect(entry),
       otherMode},
      {"hangs up mid-frame", Bytes(wire.begin(), wire.begin() + static_cast<long>(half)), Expect::kNoReply,
       Is(Outcome::kCutOff), 0, static_cast<int>(half) + 1},
  };
  // A port whose device went away fails every write; receive-only exports would hunt on it until the
  // clock runs on, which the fake's does not.
  if (!entry.receiveOnly) {
    cases.push_back({"device gone before the call", wire, Expect::kNoReply, Is(Outcome::kPortGone), 0, 0, true});
  }
  return cases;
}

// Read at the other form's positions, the code is a length byte or the status: another command's reply,
// unless that byte happens to be the code.
Named ReadInTheOtherForm(const ExportEntry& entry, const Bytes& frame, size_t codePosition, bool crc) {
  if (entry.readsEitherLengthForm) return Is(Outcome::kSuccess);
  const ReplyShape shape = entry.goodReply(crc);
  const uint8_t seen = frame[codePosition + (shape.antenna ? 2 : 0)];
  if (seen == InMode(shape.code, crc)) return JudgedByItsDataOrSilence(entry);
  return OtherCommand(seen);
}

std::vector<HostileCase> LengthCases(const ExportEntry& entry, bool crc) {
  const Bytes frame = GoodFrame(entry, crc);
  const bool longGood = (frame[1] & 0x80) != 0;
  const bool readAsReceived = entry.readsEitherLengthForm && entry.shortDataFails;
  // A length below the header's never ends the body: the tail arrives inside it.
  std::vector<HostileCase> cases = {
      {"length byte 0", Patched(frame, 1, 0x00), Expect::kNoReply, Is(Outcome::kUnescapedHeadOrTail)},
      {"length byte 1", Patched(frame, 1, 0x01), Expect::kNoReply, Is(Outcome::kUnescapedHeadOrTail)},
      {"N of 2047", OversizedFrame(entry, crc, 0x8F, 0x7F), Expect::kNoReply, Is(Outcome::kTooLong)},
      {"N of 16383", OversizedFrame(entry, crc, 0xFF, 0xFF), Expect::kNoReply, Is(Outcome::kTooLong)},
      // Read as received it is an ordinary long reply with extra data, which only an export that copies
      // whatever data arrived may find too long.
      {"a two-byte length ending in the code", AliasedLengthForm(entry, crc),
       readAsReceived ? Expect::kSucceeds : Expect::kEither,
       readAsReceived ? Is(Outcome::kSuccess) : JudgedByItsDataOrSilence(entry)},
  };
  const Bytes largest = LargestFrame(entry, crc);
  if (!largest.empty()) {
    cases.push_back({"the largest frame, padded", largest, Expect::kEither, JudgedByItsDataOrSilence(entry)});
  }
  // The same payload in the other length form: read as received, or refused by fixed positions; the
  // register read expects the form its count gives and takes any other as no usable reply.
  ReplyShape shape = entry.goodReply(crc);
  const Expect fixedForm = shape.code == 0x30 ? Expect::kNoReply : Expect::kRefused;
  if (!longGood) {
    shape.twoByteForm = true;
    const Bytes longForm = ShapeFrame(shape, crc);
    cases.push_back({"the two-byte length form", StuffedFrame(longForm),
                     entry.readsEitherLengthForm ? Expect::kSucceeds : fixedForm,
                     ReadInTheOtherForm(entry, longForm, 2, crc)});
  } else if (shape.twoByteForm) {
    shape.twoByteForm = false;
    const Bytes shortForm = ShapeFrame(shape, crc);
    if ((shortForm[1] & 0x80) == 0) {
      cases.push_back({"the one-byte length form", StuffedFrame(shortForm),
                       entry.readsEitherLengthForm ? Expect::kSucceeds : fixedForm,
                       ReadInTheOtherForm(entry, shortForm, 3, crc)});
    }
  }
  return cases;
}

std::vector<HostileCase> IntegrityCases(const ExportEntry& entry, bool crc) {
  std::vector<HostileCase> cases;
  if (!crc) return cases;  // plain frames carry no check beyond their framing
  const Bytes frame = GoodFrame(entry, crc);
  const size_t crcLow = frame.size() - 2;
  const size_t lastData = frame.size() - 4;
  const Named mismatch = Is(Outcome::kCrcMismatch);
  cases.push_back({"a bad CRC", Patched(frame, crcLow, static_cast<uint8_t>(frame[crcLow] ^ 0x01)), Expect::kNoReply,
                   mismatch});
  cases.push_back({"a data bit flipped under the CRC", Patched(frame, lastData, static_cast<uint8_t>(frame[lastData] ^ 0x04)),
                   Expect::kNoReply, mismatch});
  return cases;
}

struct Overrun {
  const char* name;
  Bytes payload;
  // Most such replies lack what they announce; a few are whole refusals whose counts point too far.
  Outcome outcome = Outcome::kTooShort;
};

Bytes P(size_t count) {
  Bytes bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(0x20 + i);
  return bytes;
}

const Bytes kRecord = {0x30, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C};

std::vector<Overrun> MultiTagOverruns() {
  return {{"first block far past the frame", Join({{0x00, 0xFF, 0xFF}, P(4), kRecord})},
          {"first block swallowing the record", Join({{0x00, 0x00, 0x12}, P(4), kRecord})},
          {"first length cut", {0x00, 0x00}},
          {"second block far past the frame", Join({{0x01, 0x00, 0x04}, P(4), {0x08, 0x00}, P(2), kRecord})},
          {"second block swallowing the record", Join({{0x01, 0x00, 0x04}, P(4), {0x00, 0x10}, P(2), kRecord})},
          {"second length missing", Join({{0x01, 0x00, 0x04}, P(4)})},
          {"record missing", Join({{0x00, 0x00, 0x04}, P(4)})}};
}

std::vector<Overrun> SingleTagErrorFormOverruns() {
  return {{"first error form, record past the frame", {0x81, 0x0B, 0x01, 0xF8, 0x00}},
          {"first error form, record missing", {0x81, 0x0B, 0x01}},
          {"second error form, record past the frame", {0x82, 0x01, 0xF8}},
          {"second error form, nothing after the status", {0x82}}};
}

std::vector<Overrun> OverrunsOf(const std::string& name) {
  if (name == "UhfReadMaxDataByEPC") {
    return {{"length one past the data", Join({{0x00, 0x00, 0x07}, P(6)})},
            {"length far past the frame", Join({{0x00, 0xFF, 0xFF}, P(6)})},
            {"length of 2048", Join({{0x00, 0x08, 0x00}, P(6)})},
            {"length cut", {0x00, 0x00}}};
  }
  if (name == "UhfReadMaxDataFromSingleTag" || name == "UhfReadMaxDataFromSingleTag long") {
    return {{"length swallowing the record", Join({{0x00, 0x00, 0x14}, P(6), kRecord})},
            {"length far past the frame", Join({{0x00, 0x7F, 0xFF}, P(6), kRecord})},
            {"record missing", Join({{0x00, 0x00, 0x06}, P(6)})}};
  }
  if (name == "UhfReadDataFromSingleTag") return {{"record missing", Join({{0x00}, P(4)})}};
  if (name == "UhfGetDataFromMultiTag" || name == "UhfGetDataFromMultiAnt" ||
      name == "UhfGetDataFromMultiTag two-blocks") {
    return MultiTagOverruns();
  }
  if (name == "UhfReadFilterByIndex") {
    return {{"recordLength past the report", {0x00, 0x01, 0x29, 0x04, 0x00, 0x01, 0x20, 0x0C, 0x30, 0x00, 0x00}},
            {"recordLength 0", {0x00, 0x01, 0x00, 0x04, 0x00, 0x01, 0x20, 0x0C, 0x30, 0x00, 0x00}},
            {"mask past the report", {0x00, 0x01, 0x0A, 0x04, 0x00, 0x01, 0x20, 0xFF, 0x30, 0x00, 0x00}},
            {"pointer's second byte missing", {0x00, 0x01, 0x0A, 0x04, 0x00, 0x01, 0x80}},
            {"mask length missing", {0x00, 0x01, 0x0A, 0x04, 0x00, 0x01, 0x20}},
            {"five bytes only", {0x00, 0x01, 0x0A, 0x04, 0x00, 0x01}}};
  }
  if (name == "UhfSetPsamPowerOnOrOff") return {{"256 data bytes", Join({{0x01}, Bytes(256, 0x21)}), Outcome::kTooLong}};
  if (name == "UhfSetSAM") {
    return {{"status word missing", Join({{0x00}, P(4)})}, {"response cut", Join({{0x00}, P(2)})},
            {"refusal without its response", {0x81, 0x01}, Outcome::kRefused}};
  }
  if (name == "UhfGetInfoSAMtoSRA" || name == "UhfGetInfoSAMtoSRB") {
    return {{"refusal without its status word", {0x81}, Outcome::kRefused}};
  }
  if (name == "UhfBlockWriteDataToSingleTag" || name == "UhfBlockWriteEPCToSingleTag" || name == "UhfWriteSRtoTagSingle") {
    return SingleTagErrorFormOverruns();
  }
  if (name == "UhfBlockWriteDataByEPC" || name == "UhfBlockWriteEPCByEPC") {
    // The count the reader reports is laid over the record from the caller's data: a count beyond the
    // words sent must not read past them.
    return {{"written count above the words sent", {0x81, 0x0B, 0xFF}, Outcome::kRefused},
            {"second form, written count above the words sent", {0x82, 0xFF}, Outcome::kRefused},
            {"first error form, count missing", {0x81, 0x0B}},
            {"second error form, count missing", {0x82}}};
  }
  if (name == "UhfWriteSRtoTagByEPC") {
    return {{"first error form, count missing", {0x81, 0x0B}}, {"second error form, count missing", {0x82}}};
  }
  return {};
}

std::vector<HostileCase> ContentCases(const ExportEntry& entry, bool crc) {
  std::vector<HostileCase> cases;
  const Bytes good = entry.goodReply(crc).payload;
  const Named tooShort = Is(Outcome::kTooShort);
  cases.push_back({"no status byte", WireWith(entry, crc, {}), Expect::kRefused, tooShort});
  if (good.size() > 1) {
    const Expect shortExpect = entry.shortDataFails ? Expect::kRefused : Expect::kSucceeds;
    const Named shortNamed = entry.shortDataFails ? tooShort : Succeeds(good[0]);
    cases.push_back({"the last data byte missing", WireWith(entry, crc, Bytes(good.begin(), good.end() - 1)), shortExpect,
                     shortNamed});
    cases.push_back({"half the data", WireWith(entry, crc, Bytes(good.begin(), good.begin() + 1 + static_cast<long>((good.size() - 1) / 2))),
                     shortExpect, shortNamed});
    cases.push_back({"status only", WireWith(entry, crc, {good[0]}), shortExpect, shortNamed});
  }
  if (entry.recordAt >= 0) {
    Bytes payload = good;
    uint8_t& first = payload[1 + static_cast<size_t>(entry.recordAt)];
    first = static_cast<uint8_t>(0xF8 | (first & 0x07));
    cases.push_back({"a record announcing 64 bytes in a short frame", WireWith(entry, crc, payload), Expect::kRefused,
                     tooShort});
  }
  for (const Overrun& overrun : OverrunsOf(entry.name)) {
    const Named named = overrun.outcome == Outcome::kRefused ? RefusedWith(overrun.payload[0]) : Is(overrun.outcome);
    cases.push_back({overrun.name, WireWith(entry, crc, overrun.payload), Expect::kRefused, named});
  }
  return cases;
}

// A block or SR write by EPC decodes a refusal's error form from the bytes behind the status; a status
// alone leaves the form without them.
bool ErrorFormWithoutItsBytes(const ExportEntry& entry, const Bytes& payload) {
  const auto* row = quarn::link::FindCommand(entry.goodReply(false).code);
  const uint8_t status = payload[0];
  const bool errorForm = quarn::link::CarriesErrorCode(status) || status == 0x82;
  return row != nullptr && row->errorCodeForm == quarn::link::ErrorCodeForm::kWriteOutcome && errorForm &&
         payload.size() == 1;
}

Named NamedForStatus(const ExportEntry& entry, const Bytes& payload) {
  const uint8_t status = payload[0];
  switch (entry.statusOutcome(status)) {
    case StatusOutcome::kFails:
      return ErrorFormWithoutItsBytes(entry, payload) ? Is(Outcome::kTooShort) : RefusedWith(status);
    case StatusOutcome::kSucceeds:
    case StatusOutcome::kWritesNothing:
      return Succeeds(status);
    case StatusOutcome::kDependsOnData:
      return JudgedByItsData(entry);
  }
  return JudgedByItsData(entry);
}

std::vector<HostileCase> StatusCases(const ExportEntry& entry, bool crc) {
  std::vector<HostileCase> cases;
  for (const uint8_t status : std::vector<uint8_t>{0x00, 0x01, 0x02, 0x80, 0x81, 0x82, 0x83, 0xFF}) {
    Bytes payload = entry.goodReply(crc).payload;
    payload[0] = status;
    char name[32];
    std::snprintf(name, sizeof(name), "status 0x%02X", status);
    cases.push_back({name, WireWith(entry, crc, payload), FromStatus(entry.statusOutcome(status)),
                     NamedForStatus(entry, payload)});
  }
  return cases;
}

std::vector<HostileCase> TimingCases(const ExportEntry& entry, bool crc) {
  const Bytes wire = GoodWire(entry, crc);
  const uint32_t limit = entry.timeLimitMs;
  // Once begun, a plain reply ends by its own bytes; an antenna reply must be complete within the limit.
  const bool antenna = entry.goodReply(crc).antenna;
  const uint32_t slowGap = limit / 4 + 1;
  const uint32_t noiseGap = limit / 100 + 1;
  return {
      {"the reply trickling in past the limit", wire, antenna ? Expect::kNoReply : Expect::kSucceeds,
       antenna ? Is(Outcome::kCutOff) : Is(Outcome::kSuccess), slowGap},
      {"noise for longer than the limit", Noise(120 * static_cast<size_t>(entry.receives), 3), Expect::kNoReply,
       Is(Outcome::kNoReply), noiseGap},
      {"noise, then the reply after the limit", Join({Noise(110, 4), wire}), entry.receives > 1 ? Expect::kEither : Expect::kNoReply,
       entry.receives > 1 ? Is(Outcome::kNoReply).Or(Outcome::kSuccess) : Is(Outcome::kNoReply), noiseGap},
  };
}

using Family = std::vector<HostileCase> (*)(const ExportEntry&, bool);
struct NamedFamily {
  const char* name;
  Family build;
};
const NamedFamily kFamilies[] = {{"Framing", FramingCases},   {"Lengths", LengthCases}, {"Integrity", IntegrityCases},
                                 {"Contents", ContentCases},  {"Statuses", StatusCases}, {"Timing", TimingCases}};

// --- running one case ---

// The export and its family write the same bytes to every out-parameter.
void ExpectSameOutputs(const ExportEntry& entry, const CallBuffers& exportOut, const FakePort& exportPort,
                       const CallBuffers& familyOut, const FakePort& familyPort) {
  EXPECT_TRUE(familyOut.GuardsIntact()) << "the family wrote past a caller buffer";
  for (size_t i = 0; i < entry.outs.size(); ++i) {
    EXPECT_EQ(PortlessContents(familyOut, i, familyPort), PortlessContents(exportOut, i, exportPort))
        << entry.outs[i].name << ": the family wrote other bytes than the export";
  }
}

void CheckBuffers(const ExportEntry& entry, const CallBuffers& out, Expect expect, int result) {
  for (size_t i = 0; i < entry.outs.size(); ++i) {
    const auto& buffer = entry.outs[i];
    SCOPED_TRACE(buffer.name);
    const bool failed = result == 0;
    if (expect == Expect::kWritesNothing || (failed && buffer.onFailure == OnFailure::kKept)) {
      EXPECT_TRUE(out.Untouched(i)) << "written on a path the header keeps it for the caller";
    }
    if (failed && expect == Expect::kNoReply && buffer.onFailure == OnFailure::kWritten && buffer.noReply) {
      EXPECT_EQ(out.Contents(i), *buffer.noReply) << "not the value for no usable reply";
    }
  }
}

void Prepare(FakePort& port, const ExportEntry& entry, const HostileCase& hostile) {
  if (hostile.hangUpFirst) port.HangUp();
  if (!hostile.wire.empty()) quarn::testing::ScriptReply(port, entry, hostile.wire, hostile.gapMs);
  if (hostile.failReadNumber > 0) port.FailReadNumber(hostile.failReadNumber);
}

std::string Describe(const quarn::link::Result& result) {
  char text[80];
  std::snprintf(text, sizeof(text), "%s (status 0x%02X, code 0x%02X)", quarn::testing::OutcomeName(result.outcome),
                result.status, result.code);
  return text;
}

void CheckNamed(const quarn::link::Result& result, const Named& named) {
  EXPECT_TRUE(named.Allows(result.outcome)) << "the family names " << Describe(result);
  const bool replyTold = result.outcome == Outcome::kSuccess || result.outcome == Outcome::kRefused;
  if (named.status && replyTold) {
    EXPECT_EQ(result.status, *named.status) << Describe(result);
  }
  if (named.code && result.outcome == Outcome::kOtherCommand) {
    EXPECT_EQ(result.code, *named.code) << Describe(result);
  }
}

void RunCase(const ExportEntry& entry, const HostileCase& hostile, bool crc) {
  SCOPED_TRACE(hostile.name + (crc ? " (CRC mode)" : " (plain mode)"));
  ++cases_tried;
  FakePort port;
  Prepare(port, entry, hostile);
  CallBuffers out(entry.outs);
  const uint32_t start = port.now();
  const int result = entry.call(port, out, crc ? 1 : 0);
  const uint32_t elapsed = port.now() - start;

  EXPECT_TRUE(out.GuardsIntact()) << "a byte written past a caller buffer";
  EXPECT_LE(elapsed, quarn::testing::TimeBound(entry, hostile.wire.size(), hostile.gapMs)) << "ran past its time bound";
  ASSERT_TRUE(result == 0 || result == 1) << result;
  switch (hostile.expect) {
    case Expect::kNoReply:
    case Expect::kRefused:
      EXPECT_EQ(result, 0) << "success reported for a reply that must be refused";
      break;
    case Expect::kSucceeds:
    case Expect::kWritesNothing:
      EXPECT_EQ(result, 1);
      break;
    case Expect::kEither:
      break;
  }
  CheckBuffers(entry, out, hostile.expect, result);

  // The command family on a port scripted alike: the outcome behind the 1 or 0, the same outputs.
  FakePort familyPort;
  Prepare(familyPort, entry, hostile);
  CallBuffers familyOut(entry.outs);
  const uint32_t familyStart = familyPort.now();
  const quarn::link::Result named = entry.family(familyPort, familyOut, crc ? 1 : 0);
  EXPECT_EQ(result, named.ok() ? 1 : 0) << "the export's result is not its family's: " << Describe(named);
  ExpectSameOutputs(entry, out, port, familyOut, familyPort);
  EXPECT_EQ(familyPort.now() - familyStart, elapsed) << "the family took another time";
  EXPECT_EQ(familyPort.written(), port.written()) << "the family sent other bytes";
  CheckNamed(named, hostile.named);
}

std::vector<std::string> EntryNames() {
  std::vector<std::string> names;
  for (const ExportEntry& entry : ExportCatalog()) names.push_back(entry.name);
  return names;
}

std::string TestName(const std::string& raw) {
  std::string name;
  for (char c : raw) name += (std::isalnum(static_cast<unsigned char>(c)) != 0) ? c : '_';
  return name;
}

class HostileReply : public ::testing::TestWithParam<std::tuple<std::string, size_t>> {};

TEST_P(HostileReply, EndsInTimeWithinItsBuffersAndRefusesWhatItMust) {
  const ExportEntry* entry = FindExport(std::get<0>(GetParam()));
  ASSERT_NE(entry, nullptr);
  const NamedFamily& family = kFamilies[std::get<1>(GetParam())];
  for (bool crc : {false, true}) {
    for (const HostileCase& hostile : family.build(*entry, crc)) RunCase(*entry, hostile, crc);
  }
}

INSTANTIATE_TEST_SUITE_P(Catalog, HostileReply,
                         ::testing::Combine(::testing::ValuesIn(EntryNames()),
                                            ::testing::Range<size_t>(0, sizeof(kFamilies) / sizeof(kFamilies[0]))),
                         [](const ::testing::TestParamInfo<HostileReply::ParamType>& param) {
                           return TestName(std::get<0>(param.param)) + "_" + kFamilies[std::get<1>(param.param)].name;
                         });

// The good replies themselves: each export succeeds on its reply in both modes, sends exactly one
// command (receive-only ones none), and reads the two-byte length form and the other mode alike where
// it promises to.
class GoodReply : public ::testing::TestWithParam<std::string> {};

struct GoodRun {
  int result;
  std::vector<Bytes> outs;
  size_t commands;
  quarn::link::Result named;  // what the family said of the same reply
};

GoodRun RunWith(const ExportEntry& entry, const Bytes& wire, bool crc) {
  FakePort port;
  quarn::testing::ScriptReply(port, entry, wire);
  CallBuffers out(entry.outs);
  const int result = entry.call(port, out, crc ? 1 : 0);
  EXPECT_TRUE(out.GuardsIntact());
  GoodRun run{result, {}, port.commands().size(), {}};
  for (size_t i = 0; i < out.count(); ++i) run.outs.push_back(out.Contents(i));
  FakePort familyPort;
  quarn::testing::ScriptReply(familyPort, entry, wire);
  CallBuffers familyOut(entry.outs);
  run.named = entry.family(familyPort, familyOut, crc ? 1 : 0);
  EXPECT_EQ(result, run.named.ok() ? 1 : 0) << "the export's result is not its family's: " << Describe(run.named);
  ExpectSameOutputs(entry, out, port, familyOut, familyPort);
  EXPECT_EQ(familyPort.commands(), port.commands()) << "the family sent other commands";
  return run;
}

TEST_P(GoodReply, SucceedsInEitherFormItPromises) {
  const ExportEntry* entry = FindExport(GetParam());
  ASSERT_NE(entry, nullptr);
  for (bool crc : {false, true}) {
    SCOPED_TRACE(crc ? "CRC mode" : "plain mode");
    const GoodRun good = RunWith(*entry, GoodWire(*entry, crc), crc);
    EXPECT_EQ(good.result, 1);
    CheckNamed(good.named, Succeeds(entry->goodReply(crc).payload[0]));
    EXPECT_EQ(good.commands, entry->receiveOnly ? 0u : 1u);
    ReplyShape shape = entry->goodReply(crc);
    if (entry->readsEitherLengthForm && !shape.twoByteForm && (ShapeFrame(shape, crc)[1] & 0x80) == 0) {
      shape.twoByteForm = true;
      const GoodRun longForm = RunWith(*entry, StuffedFrame(ShapeFrame(shape, crc)), crc);
      EXPECT_EQ(longForm.result, 1) << "two-byte length form";
      EXPECT_EQ(longForm.outs, good.outs) << "the two-byte length form reads other bytes";
    }
    if (entry->acceptsEitherMode) {
      const GoodRun otherMode = RunWith(*entry, OtherModeWire(*entry, crc), crc);
      EXPECT_EQ(otherMode.result, 1) << "other mode";
      EXPECT_EQ(otherMode.outs, good.outs) << "a reply in the other mode reads other bytes";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Catalog, GoodReply, ::testing::ValuesIn(EntryNames()),
                         [](const ::testing::TestParamInfo<std::string>& param) { return TestName(param.param); });

}  // namespace
