// The update family's results: the start opens its own port (a port that will not open is unusable, a
// refused baud selection an argument it refuses), every step takes status 0 alone, and a data block
// that does not fit one frame is refused before anything is sent.

#include <gtest/gtest.h>

#include <memory>

#include "outcome_harness.h"
#include "update/update_sequence.h"

namespace quarn::outcomes {

namespace c = link::commands;

namespace {

const uint8_t kRn32[4] = {0x78, 0x56, 0x34, 0x12};
const uint8_t kImageSize[4] = {0x00, 0x01, 0x00, 0x00};

FamilyCall Find(const char* name) { return FindCall(UpdateCalls(), name); }

OutcomeCase Reply(const char* what, const char* name, bool crc, const Bytes& payload, Result expected) {
  return ReplyCase(what, Find(name), crc, payload, expected);
}

std::vector<OutcomeCase> ReplyCases() {
  std::vector<OutcomeCase> lines;
  for (bool crc : {false, true}) {
    auto add = [&](const char* what, const char* name, const Bytes& payload, Result expected) {
      lines.push_back(Reply(what, name, crc, payload, expected));
    };
    add("three of the four init bytes", "UpdateInit", {0x00, 0x78, 0x56, 0x34}, Fails(Outcome::kTooShort));
    // Status 0 alone succeeds: a status with bit 7 clear is a refusal here as well.
    add("status 0x01", "UpdateSendRn32", {0x01}, RefusedWith(0x01));
    add("status 0x7F", "UpdateSendSize", {0x7F}, RefusedWith(0x7F));
    add("status 0x80", "UpdateSendData", {0x80}, RefusedWith(0x80));
    add("status 0xFF", "UpdateCommit", {0xFF}, RefusedWith(0xFF));
    add("a refused start with its init bytes", "UpdateInit", {0x02, 0x78, 0x56, 0x34, 0x12}, RefusedWith(0x02));
  }
  return lines;
}

// A start whose port does not open, or whose baud selection is refused, sends nothing.
struct Opening {
  const char* what;
  const char* portName;
  uint32_t portOptions;
  Outcome outcome;
};

const Opening kOpenings[] = {
    {"a port of no such name", "no-such-port", 0x06, Outcome::kPortUnusable},
    {"a baud selection of 4", kUpdatePortName, 0x08, Outcome::kInvalidArgument},
    {"a baud selection of 7", kUpdatePortName, 0x0F, Outcome::kInvalidArgument},
    {"the fastest selection", kUpdatePortName, 0x07, Outcome::kNoReply},
};

struct Block {
  int length;
  bool crc;
  Outcome outcome;  // silence answers every frame that goes out
};

// The largest block fills the command buffer: 2041 bytes in plain mode, 2039 in CRC mode.
const Block kBlocks[] = {
    {-1, false, Outcome::kInvalidArgument},  {0, false, Outcome::kNoReply},
    {2041, false, Outcome::kNoReply},        {2042, false, Outcome::kInvalidArgument},
    {2039, true, Outcome::kNoReply},         {2040, true, Outcome::kInvalidArgument},
    {1 << 30, true, Outcome::kInvalidArgument},
};

}  // namespace

const std::vector<FamilyCall>& UpdateCalls() {
  static const std::vector<FamilyCall> calls = {
      {"UpdateInit", &c::kUpdateInit,
       [](FakePort& p, Sink& s, uint32_t crc) {
         p.Publish(kUpdatePortName);
         return update::UpdateInit(&s.handle, kUpdatePortName, s.bytes[0], s.bytes[1], 0x06 | crc);
       },
       {0x00, 0x78, 0x56, 0x34, 0x12}, Refusal{{0x01, 0x78, 0x56, 0x34, 0x12}}},
      {"UpdateSendRn32", &c::kUpdateSendRn32,
       [](FakePort& p, Sink& s, uint32_t crc) { return update::UpdateSendRn32(p.handle(), kRn32, s.bytes[0], crc); },
       {0x00}, Refusal{{0x01}}},
      {"UpdateSendSize", &c::kUpdateSendSize,
       [](FakePort& p, Sink& s, uint32_t crc) {
         return update::UpdateSendSize(p.handle(), s.bytes[0], kImageSize, crc);
       },
       {0x00}, Refusal{{0x02}}},
      {"UpdateSendData", &c::kUpdateSendData,
       [](FakePort& p, Sink& s, uint32_t crc) {
         return update::UpdateSendData(p.handle(), s.bytes[0], 0x01, 0x02, 8, kWords, crc);
       },
       {0x00}, Refusal{{0x03}}},
      {"UpdateCommit", &c::kUpdateCommit,
       [](FakePort& p, Sink& s, uint32_t crc) { return update::UpdateCommit(p.handle(), s.bytes[0], crc); }, {0x00},
       Refusal{{0x80}}},
  };
  return calls;
}

TEST(UpdateOutcomes, EveryCallNamesEachFaultOfThePortTheLineAndTheFrame) {
  for (const FamilyCall& call : UpdateCalls()) ExpectCases(LineCases(call));
}

TEST(UpdateOutcomes, EveryStepTakesStatusZeroAloneAndTheStartItsFourBytes) { ExpectCases(ReplyCases()); }

TEST(UpdateOutcomes, AStartThatCannotOpenItsPortSaysWhy) {
  for (const Opening& opening : kOpenings) {
    FakePort port;
    port.Publish(kUpdatePortName);
    PortHandle handle = QUARN_INVALID_PORT;
    uint8_t status = 0x5A;
    uint8_t initValue[4] = {};
    const Result result = update::UpdateInit(&handle, opening.portName, &status, initValue, opening.portOptions);
    EXPECT_TRUE(SameResult(result, Fails(opening.outcome))) << opening.what;
    EXPECT_EQ(port.writeCalls() > 0, opening.outcome == Outcome::kNoReply) << opening.what;
    EXPECT_EQ(status, 0x5A) << opening.what;
  }
}

TEST(UpdateOutcomes, ADataBlockBeyondTheFramesRoomIsRefusedBeforeSending) {
  auto block = std::make_unique<uint8_t[]>(2048);
  for (const Block& line : kBlocks) {
    SCOPED_TRACE(std::to_string(line.length) + (line.crc ? " bytes, CRC mode" : " bytes, plain mode"));
    FakePort port;
    uint8_t status = 0x5A;
    const Result result = update::UpdateSendData(port.handle(), &status, 0x01, 0x02, line.length, block.get(),
                                                 line.crc ? 1 : 0);
    EXPECT_TRUE(SameResult(result, Fails(line.outcome)));
    EXPECT_EQ(port.writeCalls() == 0, line.outcome == Outcome::kInvalidArgument);
    EXPECT_EQ(status, 0x5A);
  }
}

TEST(UpdateOutcomes, TheTableCoversEveryOutcomeTheFamilyCanMeet) {
  std::vector<OutcomeCase> all;
  for (const FamilyCall& call : UpdateCalls()) {
    for (auto part : {LineCases(call), RowCases(call)}) all.insert(all.end(), part.begin(), part.end());
  }
  const std::vector<OutcomeCase> replies = ReplyCases();
  all.insert(all.end(), replies.begin(), replies.end());
  // kInvalidArgument is the data block's and the start's, above; the block check leaves no parameters
  // that could outgrow the command buffer.
  ExpectCovered(all, {Outcome::kSuccess, Outcome::kPortUnusable, Outcome::kPortGone, Outcome::kWriteFailed,
                      Outcome::kNoReply, Outcome::kCutOff, Outcome::kBadEscape, Outcome::kUnescapedHeadOrTail,
                      Outcome::kWrongTail, Outcome::kTooLong, Outcome::kCrcMismatch, Outcome::kOtherCommand,
                      Outcome::kRefused, Outcome::kTooShort});
}

}  // namespace quarn::outcomes
