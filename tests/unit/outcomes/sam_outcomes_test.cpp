// The SAM family's results: APDUs the case rule or the one-byte frame refuses before sending, the SAM's
// own refusal, answers that lack their status word, PSAM answers longer than their one-byte count, the
// SR information, and the SR writes reported as the block writes.

#include <gtest/gtest.h>

#include "outcome_harness.h"
#include "sam/psam_power.h"
#include "sam/sam_commands.h"
#include "sam/sr_info.h"
#include "sam/sr_write.h"

namespace quarn::outcomes {

namespace c = link::commands;

namespace {

// A case-2 APDU asking for 4 response bytes, and a case-1 header.
const uint8_t kGetChallenge[5] = {0x00, 0x84, 0x00, 0x00, 0x04};
const uint8_t kHeaderOnly[4] = {0x80, 0xCA, 0x00, 0x00};
const uint8_t kTwoBytePointer[2] = {0x81, 0x02};

sam::SrWriteRequest SrRequest(const uint8_t* wordPtr) { return {kPassword, 3, wordPtr, {0x01, 0x02, 0x03, 0x04}}; }

FamilyCall Find(const char* name) { return FindCall(SamCalls(), name); }

OutcomeCase Reply(const char* what, const char* name, bool crc, const Bytes& payload, Result expected) {
  return ReplyCase(what, Find(name), crc, payload, expected);
}

const Bytes kStatusWord = {0x90, 0x00};

std::vector<OutcomeCase> ReplyCases() {
  std::vector<OutcomeCase> lines;
  for (bool crc : {false, true}) {
    auto add = [&](const char* what, const char* name, const Bytes& payload, Result expected) {
      lines.push_back(Reply(what, name, crc, payload, expected));
    };
    const Result tooShort = Fails(Outcome::kTooShort);
    add("the response without its status word", "SetSam", WithStatus(0x00, {Counting(4, 1)}), tooShort);
    add("half the response", "SetSam", WithStatus(0x00, {Counting(2, 1)}), tooShort);
    add("the status word cut", "GetInfoSamToSrA", {0x00, 0x90}, tooShort);
    add("79 of 80 SR bytes", "GetSr", WithStatus(0x00, {Counting(79, 1)}), tooShort);
    // The SAM's refusal carries its answer; the call fails with the status, whether the answer came or not.
    add("the SAM's refusal with its answer", "SetSam", WithStatus(0x81, {Counting(4, 1), {0x6A, 0x82}}),
        RefusedWith(0x81));
    add("the SAM's refusal without its answer", "GetInfoSamToSrB", {0x81}, RefusedWith(0x81));
    add("status 0x7F passes", "GetInfoSamToSrA", WithStatus(0x7F, {kStatusWord}), Ok(0x7F));
    add("an SR read refused", "GetSr", {0x01}, RefusedWith(0x01));
    // The PSAM answer's count is one byte: 255 bytes pass, 256 cannot be told.
    add("the power switched, nothing to answer", "SetPsamPower", {0x00}, Ok(0x00));
    add("an answer of 255 bytes", "SetPsamPower", WithStatus(0x01, {Bytes(255, 0x3B)}), Ok(0x01));
    add("an answer of 256 bytes", "SetPsamPower", WithStatus(0x01, {Bytes(256, 0x3B)}), Fails(Outcome::kTooLong));
    add("the PSAM refused", "SetPsamPower", WithStatus(0x02, {Counting(4, 1)}), RefusedWith(0x02));
    // The SR writes decode their refusals as the block writes do.
    add("the first error form", "WriteSrToTagByEpc", {0x81, 0x0B, 0x00}, RefusedWith(0x81, 0x0B));
    add("the second error form", "WriteSrToTagByEpc", {0x82, 0x00}, RefusedWith(0x82));
    add("the first error form without its count", "WriteSrToTagByEpc", {0x81, 0x0B}, tooShort);
    add("the single tag's first error form", "WriteSrToTagSingle", WithStatus(0x81, {{0x0A, 0x00}, kRecord}),
        RefusedWith(0x81, 0x0A));
    add("the single tag's second error form without the record", "WriteSrToTagSingle", {0x82, 0x00}, tooShort);
  }
  return lines;
}

// Blocks the case rule refuses, or too long for the one-byte frame, and PSAM choices outside 1-2 and 0-1.
struct RefusedArgument {
  const char* what;
  Result (*run)(Sink& sink, PortHandle port, uint32_t crcFlag);
};

const RefusedArgument kArguments[] = {
    {"a three-byte APDU",
     [](Sink& s, PortHandle p, uint32_t crc) {
       return sam::SetSam(p, kGetChallenge, 3, s.bytes[0], &s.number, s.bytes[1], s.bytes[2], s.bytes[3], crc);
     }},
    {"an APDU whose Lc does not match its length",
     [](Sink& s, PortHandle p, uint32_t crc) {
       static const uint8_t apdu[7] = {0x00, 0xD6, 0x00, 0x00, 0x05, 0x01, 0x02};
       return sam::SetSam(p, apdu, 7, s.bytes[0], &s.number, s.bytes[1], s.bytes[2], s.bytes[3], crc);
     }},
    {"an APDU too long for a one-byte frame",
     [](Sink& s, PortHandle p, uint32_t crc) {
       // Case 3 with 125 data bytes: a valid block whose frame length would pass 127.
       static const uint8_t apdu[130] = {0x00, 0xD6, 0x00, 0x00, 125};
       return sam::SetSam(p, apdu, 130, s.bytes[0], &s.number, s.bytes[1], s.bytes[2], s.bytes[3], crc);
     }},
    {"an SR information APDU of two bytes",
     [](Sink& s, PortHandle p, uint32_t crc) {
       return sam::GetInfoSamToSr(p, sam::SrTarget::kSrA, kHeaderOnly, 2, s.bytes[0], s.bytes[1], s.bytes[2], crc);
     }},
    {"PSAM 3",
     [](Sink& s, PortHandle p, uint32_t crc) { return sam::SetPsamPower(p, 3, 1, s.bytes[0], s.bytes[1], crc); }},
    {"PSAM 0",
     [](Sink& s, PortHandle p, uint32_t crc) { return sam::SetPsamPower(p, 0x100, 0, s.bytes[0], s.bytes[1], crc); }},
    {"power state 2",
     [](Sink& s, PortHandle p, uint32_t crc) { return sam::SetPsamPower(p, 1, 2, s.bytes[0], s.bytes[1], crc); }},
};

}  // namespace

const std::vector<FamilyCall>& SamCalls() {
  static const std::vector<FamilyCall> calls = {
      {"SetSam", &c::kSetSam,
       [](FakePort& p, Sink& s, uint32_t crc) {
         return sam::SetSam(p.handle(), kGetChallenge, 5, s.bytes[0], &s.number, s.bytes[1], s.bytes[2], s.bytes[3],
                            crc);
       },
       WithStatus(0x00, {Counting(4, 1), kStatusWord}), Refusal{{0x80}}},
      {"GetInfoSamToSrA", &c::kGetInfoSamToSrA,
       [](FakePort& p, Sink& s, uint32_t crc) {
         return sam::GetInfoSamToSr(p.handle(), sam::SrTarget::kSrA, kHeaderOnly, 4, s.bytes[0], s.bytes[1], s.bytes[2],
                                    crc);
       },
       WithStatus(0x00, {kStatusWord}), Refusal{WithStatus(0x80, {kStatusWord})}},
      {"GetInfoSamToSrB", &c::kGetInfoSamToSrB,
       [](FakePort& p, Sink& s, uint32_t crc) {
         return sam::GetInfoSamToSr(p.handle(), sam::SrTarget::kSrB, kGetChallenge, 5, s.bytes[0], s.bytes[1],
                                    s.bytes[2], crc);
       },
       WithStatus(0x00, {kStatusWord}), Refusal{{0xC1}}},
      {"SetPsamPower", &c::kSetPsamPower,
       [](FakePort& p, Sink& s, uint32_t crc) { return sam::SetPsamPower(p.handle(), 1, 1, s.bytes[0], s.bytes[1], crc); },
       WithStatus(0x01, {Counting(8, 0x3B)}), Refusal{{0x80}}},
      {"GetSr", &c::kGetSr,
       [](FakePort& p, Sink& s, uint32_t crc) { return sam::GetSr(p.handle(), 0, s.bytes[0], s.bytes[1], crc); },
       WithStatus(0x00, {Counting(80, 0x20)}), Refusal{{0x02}}},
      {"WriteSrToTagByEpc", &c::kWriteSrToTagByEpc,
       [](FakePort& p, Sink& s, uint32_t crc) {
         return sam::WriteSrToTagByEpc(p.handle(), SrRequest(kWordPointer), kEpc.data(),
                                       {s.bytes[0], s.bytes[1], s.bytes[2]}, crc);
       },
       {0x00}, Refusal{{0x83, 0x0C, 0x00}, 0x0C}},
      {"WriteSrToTagSingle", &c::kWriteSrToTagSingle,
       [](FakePort& p, Sink& s, uint32_t crc) {
         return sam::WriteSrToTagSingle(p.handle(), SrRequest(kTwoBytePointer), s.bytes[0], s.bytes[1],
                                        {s.bytes[2], s.bytes[3], s.bytes[4]}, crc);
       },
       WithStatus(0x00, {kRecord}), Refusal{WithStatus(0x82, {{0x00}, kRecord})}},
  };
  return calls;
}

TEST(SamOutcomes, EveryCallNamesEachFaultOfThePortTheLineAndTheFrame) {
  for (const FamilyCall& call : SamCalls()) ExpectCases(LineCases(call));
}

TEST(SamOutcomes, RepliesAreJudgedByTheirRowsAndTheBytesTheCallsRead) { ExpectCases(ReplyCases()); }

TEST(SamOutcomes, ArgumentsTheCommandsCannotCarryAreRefusedBeforeSending) {
  for (const RefusedArgument& line : kArguments) {
    for (uint32_t crc : {0u, 1u}) {
      FakePort port;
      port.ReplyToNextCommand(testing::WireReply(0x43, {0x00}));
      Sink sink;
      EXPECT_TRUE(SameResult(line.run(sink, port.handle(), crc), Fails(Outcome::kInvalidArgument))) << line.what;
      EXPECT_EQ(port.writeCalls(), 0) << line.what;
    }
  }
}

TEST(SamOutcomes, TheTableCoversEveryOutcomeTheFamilyCanMeet) {
  std::vector<OutcomeCase> all;
  for (const FamilyCall& call : SamCalls()) {
    for (auto part : {LineCases(call), RowCases(call)}) all.insert(all.end(), part.begin(), part.end());
  }
  const std::vector<OutcomeCase> replies = ReplyCases();
  all.insert(all.end(), replies.begin(), replies.end());
  // kInvalidArgument is above; an APDU too long for the frame is refused as an argument, so no SAM
  // command outgrows the command buffer.
  ExpectCovered(all, {Outcome::kSuccess, Outcome::kPortUnusable, Outcome::kPortGone, Outcome::kWriteFailed,
                      Outcome::kNoReply, Outcome::kCutOff, Outcome::kBadEscape, Outcome::kUnescapedHeadOrTail,
                      Outcome::kWrongTail, Outcome::kTooLong, Outcome::kCrcMismatch, Outcome::kOtherCommand,
                      Outcome::kRefused, Outcome::kTooShort});
}

}  // namespace quarn::outcomes
