// The antenna family's results: the antenna check and choice in plain frames, the multi-antenna starts
// and reads in antenna reply frames, whose receiver holds the whole frame to the time limit.

#include <gtest/gtest.h>

#include "antenna/antenna_choice.h"
#include "antenna/multi_antenna.h"
#include "outcome_harness.h"

namespace quarn::outcomes {

namespace c = link::commands;

namespace {

const uint8_t kOptionParams[2] = {0x00, 0x00};
const Bytes kFourBytes = {0x10, 0x11, 0x12, 0x13};

tags::MultiTagReadRequest MultiTagRequest() { return {kPassword, 3, kWordPointer, 2, 0x00, kOptionParams}; }

FamilyCall Find(const char* name) { return FindCall(AntennaCalls(), name); }

OutcomeCase Reply(const char* what, const char* name, bool crc, const Bytes& payload, Result expected) {
  return ReplyCase(what, Find(name), crc, payload, expected);
}

std::vector<OutcomeCase> ReplyCases() {
  std::vector<OutcomeCase> lines;
  for (bool crc : {false, true}) {
    auto add = [&](const char* what, const char* name, const Bytes& payload, Result expected) {
      lines.push_back(Reply(what, name, crc, payload, expected));
    };
    add("status without the antenna state", "CheckAntenna", {0x00}, Fails(Outcome::kTooShort));
    add("half a record", "ReadInventoryFromMultiAnt", WithStatus(0x00, {{0x30, 0x00, 0x01}}), Fails(Outcome::kTooShort));
    add("the record missing", "GetDataFromMultiAnt", WithStatus(0x00, {{0x00, 0x04}, kFourBytes}),
        Fails(Outcome::kTooShort));
    add("a block past the frame", "GetDataFromMultiAnt", WithStatus(0x01, {{0x00, 0x04}, kFourBytes, {0x7F, 0xFF}}),
        Fails(Outcome::kTooShort));
    // The multi-antenna start does not look at bit 7, only at the flag.
    add("a start with bits 7 and 0 set", "StartInventoryForMultiAnt", {0x81}, Ok(0x81));
    add("a start without the flag", "StartInventoryForMultiAntWithParameter", {0x80}, RefusedWith(0x80));
    add("a multi-tag read start with status 2", "StartReadDataForMultiAnt", {0x02}, RefusedWith(0x02));
    add("a tag report with the flag", "ReadInventoryFromMultiAnt", WithStatus(0x01, {kRecord}), RefusedWith(0x01));
    add("a frame of the read that is no data frame", "GetDataFromMultiAnt", {0x07}, Ok(0x07));
    add("a check refused", "CheckAntenna", {0x01, 0x0F}, RefusedWith(0x01));
  }
  return lines;
}

// Once begun, an antenna frame must be complete within the limit; a plain frame ends by its own bytes.
std::vector<OutcomeCase> TimingCases() {
  std::vector<OutcomeCase> lines;
  for (bool crc : {false, true}) {
    for (const char* name : {"StartInventoryForMultiAnt", "ReadInventoryFromMultiAnt", "GetDataFromMultiAnt"}) {
      const FamilyCall call = Find(name);
      const uint32_t gap = call.row->timeLimitMs / 4 + 1;
      lines.push_back({"the reply trickling in past the limit", call, {GoodWire(call, crc), Fault::kNone, 0, gap}, crc,
                       Fails(Outcome::kCutOff)});
    }
    const FamilyCall check = Find("CheckAntenna");
    lines.push_back({"a plain reply trickling in past the limit", check,
                     {GoodWire(check, crc), Fault::kNone, 0, check.row->timeLimitMs / 4 + 1}, crc, Ok(0x00)});
  }
  return lines;
}

}  // namespace

const std::vector<FamilyCall>& AntennaCalls() {
  static const std::vector<FamilyCall> calls = {
      {"CheckAntenna", &c::kCheckAntenna,
       [](FakePort& p, Sink& s, uint32_t crc) { return antenna::CheckAntenna(p.handle(), s.bytes[0], crc); },
       {0x00, 0x0F}, Refusal{{0x80, 0x0F}}},
      {"ChooseAntenna", &c::kChooseAntenna,
       [](FakePort& p, Sink&, uint32_t crc) { return antenna::ChooseAntenna(p.handle(), 0x102, crc); }, {0x00},
       Refusal{{0x01}}},
      {"StartInventoryForMultiAnt", &c::kStartInventoryForMultiAnt,
       [](FakePort& p, Sink&, uint32_t crc) { return antenna::StartInventoryForMultiAnt(p.handle(), 0, 0, crc); },
       {0x01}, Refusal{{0x00}}},
      {"StartInventoryForMultiAntWithParameter", &c::kStartInventoryForMultiAntWithParameter,
       [](FakePort& p, Sink&, uint32_t crc) { return antenna::StartInventoryForMultiAnt(p.handle(), 1, 0x07, crc); },
       {0x01}, Refusal{{0x82}}},
      {"ReadInventoryFromMultiAnt", &c::kReadInventoryFromMultiAnt,
       [](FakePort& p, Sink& s, uint32_t) {
         return antenna::ReadInventoryFromMultiAnt(p.handle(), s.bytes[0], s.bytes[1], s.bytes[2]);
       },
       WithStatus(0x00, {kRecord}), Refusal{WithStatus(0x80, {kRecord})}},
      {"StartReadDataForMultiAnt", &c::kStartReadDataForMultiAnt,
       [](FakePort& p, Sink&, uint32_t crc) {
         return antenna::StartReadDataForMultiAnt(p.handle(), MultiTagRequest(), crc);
       },
       {0x01}, Refusal{{0x00}}},
      {"GetDataFromMultiAnt", &c::kGetDataFromMultiAnt,
       [](FakePort& p, Sink& s, uint32_t) {
         return antenna::GetDataFromMultiAnt(
             p.handle(), s.bytes[0], {s.bytes[1], s.bytes[2], s.bytes[3], s.bytes[4], s.bytes[5], s.bytes[6], s.bytes[7]});
       },
       WithStatus(0x00, {{0x00, 0x04}, kFourBytes, kRecord})},
  };
  return calls;
}

TEST(AntennaOutcomes, EveryCallNamesEachFaultOfThePortTheLineAndTheFrame) {
  for (const FamilyCall& call : AntennaCalls()) ExpectCases(LineCases(call));
}

TEST(AntennaOutcomes, RepliesAreJudgedByTheirRowsAndTheBytesTheCallsRead) { ExpectCases(ReplyCases()); }

TEST(AntennaOutcomes, AnAntennaFrameUnfinishedAtTheLimitIsCutOff) { ExpectCases(TimingCases()); }

TEST(AntennaOutcomes, TheTableCoversEveryOutcomeTheFamilyCanMeet) {
  std::vector<OutcomeCase> all;
  for (const FamilyCall& call : AntennaCalls()) {
    for (auto part : {LineCases(call), RowCases(call)}) all.insert(all.end(), part.begin(), part.end());
  }
  for (auto part : {ReplyCases(), TimingCases()}) all.insert(all.end(), part.begin(), part.end());
  // The antenna commands take no argument they refuse and none that can outgrow the command buffer.
  ExpectCovered(all, {Outcome::kSuccess, Outcome::kPortUnusable, Outcome::kPortGone, Outcome::kWriteFailed,
                      Outcome::kNoReply, Outcome::kCutOff, Outcome::kBadEscape, Outcome::kUnescapedHeadOrTail,
                      Outcome::kWrongTail, Outcome::kTooLong, Outcome::kCrcMismatch, Outcome::kOtherCommand,
                      Outcome::kRefused, Outcome::kTooShort});
}

}  // namespace quarn::outcomes
