#include <gtest/gtest.h>

#include "fake_serial.h"
#include "quarn_api.h"
#include "tag_access_fixtures.h"

namespace {

using namespace quarn::testing;
using namespace quarn::testing::tags;

const Bytes kPointer1 = {0x01};
const Bytes kPointer2 = {0x02};
const Bytes kPointer128 = {0x81, 0x00};
const Bytes kNewEpc = {0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xCA, 0xCB};

// The outputs of one block write, sentinel until written.
struct BlockOutputs {
  uint8_t errorCode = kSentinel;
  uint8_t writeStatus = kSentinel;
  uint8_t writtenWordCount = kSentinel;
  Bytes record = Sentinels(80);  // newTagRecord, or tagRecord of the single-tag form
  uint8_t tagRecordLength = kSentinel;
  int result = -1;
};

BlockOutputs BlockWriteByEpc(FakePort& port, int bank, const Bytes& wordPtr, int wordCount, const Bytes& data,
                             const Bytes& epc = Record14(), int crcFlag = 0) {
  BlockOutputs o;
  o.result = UhfBlockWriteDataByEPC(port.handle(), kPassword.data(), bank, wordPtr.data(), wordCount, epc.data(),
                                    data.data(), &o.errorCode, &o.writeStatus, &o.writtenWordCount, o.record.data(),
                                    crcFlag);
  return o;
}

BlockOutputs BlockWriteToSingleTag(FakePort& port, const Bytes& wordPtr, int wordCount, const Bytes& data,
                                   int crcFlag = 0) {
  BlockOutputs o;
  o.result = UhfBlockWriteDataToSingleTag(port.handle(), kPassword.data(), 3, wordPtr.data(), wordCount, data.data(),
                                          o.record.data(), &o.tagRecordLength, &o.writeStatus, &o.errorCode,
                                          &o.writtenWordCount, crcFlag);
  return o;
}

struct LengthCase {
  bool singleTag;
  Bytes wordPtr;
  int wordCount;
  int crcFlag;
  Bytes lengthField;
};

TEST(BlockWrite, SwitchesToTheTwoByteLengthPast127) {
  const Bytes pcOnly = {0x00, 0x00};
  const std::vector<LengthCase> cases = {
      {true, kPointer1, 59, 0, {0x7F}},        {true, kPointer128, 59, 0, {0x81, 0x01}},
      {true, kPointer1, 60, 0, {0x81, 0x02}},  {true, kPointer1, 58, 1, {0x7F}},
      {true, kPointer1, 59, 1, {0x81, 0x02}},  {false, kPointer1, 58, 0, {0x7F}},
      {false, kPointer1, 59, 0, {0x81, 0x02}}, {false, kPointer128, 255, 1, {0x84, 0x0D}},
  };
  for (const LengthCase& c : cases) {
    FakePort port;
    const Bytes data = Counting(2 * static_cast<size_t>(c.wordCount));
    if (c.singleTag) {
      BlockWriteToSingleTag(port, c.wordPtr, c.wordCount, data, c.crcFlag);
    } else {
      BlockWriteByEpc(port, 3, c.wordPtr, c.wordCount, data, pcOnly, c.crcFlag);
    }
    const Bytes params = Join({kPassword, {0x03}, c.wordPtr, {static_cast<uint8_t>(c.wordCount)}, data,
                               c.singleTag ? Bytes{} : pcOnly});
    const Bytes sent = port.lastCommand();
    EXPECT_EQ(sent, ExpectedCommand(c.singleTag ? 0x25 : 0x19, params, c.crcFlag == 1, true)) << c.wordCount;
    EXPECT_EQ(Bytes(sent.begin() + 1, sent.begin() + 1 + static_cast<long>(c.lengthField.size())), c.lengthField)
        << c.wordCount;
  }
}

TEST(BlockWrite, PinsACrcModeFrameInTheTwoByteForm) {
  FakePort port;
  BlockWriteToSingleTag(port, kPointer1, 59, Counting(118), 1);
  const Bytes sent = port.lastCommand();
  ASSERT_EQ(sent.size(), 132u);
  EXPECT_EQ(Head(sent, 4), (Bytes{0xAA, 0x81, 0x02, 0xA5}));
  EXPECT_EQ(Bytes(sent.end() - 3, sent.end()), (Bytes{0x0A, 0xB1, 0x55}));
}

TEST(BlockWriteEPCByEPC, WritesANewPcWordAndTheEpcFromWord1) {
  FakePort port;
  BlockOutputs o;
  port.ReplyToNextCommand(WireReply(0x19, {0x00}));
  o.result = UhfBlockWriteEPCByEPC(port.handle(), kPassword.data(), 6, Record14().data(), kNewEpc.data(),
                                   &o.errorCode, &o.writeStatus, &o.writtenWordCount, o.record.data(), 0);
  const Bytes expected = Join({{0xAA, 0x25, 0x19}, kPassword, {0x01, 0x01, 0x07, 0x30, 0x00}, kNewEpc, Record14(), {0x55}});
  EXPECT_EQ(port.lastCommand(), expected);
  EXPECT_EQ(o.result, 1);
  EXPECT_EQ(o.writeStatus, 0x00);
  EXPECT_EQ(o.errorCode, 0xFF);
  EXPECT_EQ(o.writtenWordCount, 0);
  EXPECT_EQ(o.record, WithPrefix(Join({{0x30, 0x00}, kNewEpc}), 80));
}

TEST(BlockWriteEPCByEPC, KeepsTheOldRecordPastTheWordsWrittenBeforeAFailure) {
  FakePort port;
  BlockOutputs o;
  port.ReplyToNextCommand(WireReply(0x19, {0x82, 0x02}));
  o.result = UhfBlockWriteEPCByEPC(port.handle(), kPassword.data(), 6, Record14().data(), kNewEpc.data(),
                                   &o.errorCode, &o.writeStatus, &o.writtenWordCount, o.record.data(), 0);
  EXPECT_EQ(o.result, 0);
  EXPECT_EQ(o.writeStatus, 0x82);
  EXPECT_EQ(o.writtenWordCount, 2);
  Bytes expected = Record14();
  std::copy(kNewEpc.begin(), kNewEpc.begin() + 2, expected.begin() + 2);
  expected[0] = 0x30;
  expected[1] = 0x00;
  EXPECT_EQ(o.record, WithPrefix(expected, 80));
}

TEST(BlockWriteEPCToSingleTag, SendsTheSameDataWithoutARecord) {
  for (int crcFlag : {0, 1}) {
    FakePort port;
    BlockOutputs o;
    port.ReplyToNextCommand(WireReply(crcFlag ? 0xA5 : 0x25, Join({{0x00}, OtherRecord14()})));
    o.result = UhfBlockWriteEPCToSingleTag(port.handle(), kPassword.data(), 0x106, kNewEpc.data(), o.record.data(),
                                           &o.tagRecordLength, &o.writeStatus, &o.errorCode, &o.writtenWordCount,
                                           crcFlag);
    EXPECT_EQ(port.lastCommand(),
              ExpectedCommand(0x25, Join({kPassword, {0x01, 0x01, 0x07, 0x30, 0x00}, kNewEpc}), crcFlag == 1));
    EXPECT_EQ(o.result, 1);
    EXPECT_EQ(o.tagRecordLength, 14);
    EXPECT_EQ(o.record, WithPrefix(OtherRecord14(), 80));
  }
}

TEST(BlockWriteEPC, GivesAnEmptyEpcAPcWordOfZero) {
  FakePort port;
  BlockOutputs o;
  UhfBlockWriteEPCToSingleTag(port.handle(), kPassword.data(), 0, nullptr, o.record.data(), &o.tagRecordLength,
                              &o.writeStatus, &o.errorCode, &o.writtenWordCount, 0);
  EXPECT_EQ(port.lastCommand(), Join({{0xAA, 0x0B, 0x25}, kPassword, {0x01, 0x01, 0x01, 0x00, 0x00, 0x55}}));
}

struct OutcomeCase {
  const char* name;
  Bytes payload;  // empty: no reply
  int result;
  uint8_t writeStatus;
  uint8_t errorCode;
  uint8_t writtenWordCount;
};

TEST(BlockWriteDataByEPC, ReportsTheOutcomeOfEveryReplyForm) {
  const std::vector<OutcomeCase> cases = {
      {"success", {0x00}, 1, 0x00, 0xFF, 0},
      {"success with bit 0", {0x01, 0x09}, 1, 0x00, 0xFF, 0},
      {"first error form", {0x81, 0x0B, 0x01}, 0, 0x81, 0x0B, 1},
      {"0x83 is the first form", {0x83, 0x0C, 0x02}, 0, 0x81, 0x0C, 2},
      {"0xFF is the first form", {0xFF, 0x0D, 0x00}, 0, 0x81, 0x0D, 0},
      {"second error form", {0x82, 0x03}, 0, 0x82, 0xFF, 3},
      {"error without form", {0x80, 0x0B, 0x01}, 0, 0x80, 0xFF, 0},
      {"0x84", {0x84, 0x0B, 0x01}, 0, 0x80, 0xFF, 0},
      {"first form without count", {0x81, 0x0B}, 0, 0x80, 0xFF, 0},
      {"second form without count", {0x82}, 0, 0x80, 0xFF, 0},
      {"no reply", {}, 0, 0x80, 0xFF, 0},
  };
  for (const OutcomeCase& c : cases) {
    for (int crcFlag : {0, 1}) {
      FakePort port;
      if (!c.payload.empty()) port.ReplyToNextCommand(WireReply(crcFlag ? 0x99 : 0x19, c.payload));
      const BlockOutputs o = BlockWriteByEpc(port, 3, kPointer2, 2, Counting(4), Record14(), crcFlag);
      EXPECT_EQ(o.result, c.result) << c.name;
      EXPECT_EQ(o.writeStatus, c.writeStatus) << c.name;
      EXPECT_EQ(o.errorCode, c.errorCode) << c.name;
      EXPECT_EQ(o.writtenWordCount, c.writtenWordCount) << c.name;
      // The user bank is not mirrored in the record: the copy of epc on every path.
      EXPECT_EQ(o.record, WithPrefix(Record14(), 80)) << c.name;
    }
  }
}

TEST(BlockWriteDataByEPC, RefusesAReplyOfAnotherCodeOrMode) {
  for (uint8_t code : {0x25, 0x99, 0x18}) {
    FakePort port;
    port.ReplyToNextCommand(WireReply(code, {0x81, 0x0B, 0x01}));
    const BlockOutputs o = BlockWriteByEpc(port, 1, kPointer2, 2, Counting(4));
    EXPECT_EQ(o.writeStatus, 0x80) << int(code);
    EXPECT_EQ(o.errorCode, 0xFF);
    EXPECT_EQ(o.record, WithPrefix(Record14(), 80));
  }
}

struct SingleOutcomeCase {
  const char* name;
  Bytes payload;
  int result;
  uint8_t writeStatus;
  uint8_t errorCode;
  uint8_t writtenWordCount;
  Bytes record;  // empty: untouched
  bool lengthWritten;
};

TEST(BlockWriteDataToSingleTag, ReportsTheOutcomeAndTheAnsweringTag) {
  const Bytes other = OtherRecord14();
  const std::vector<SingleOutcomeCase> cases = {
      {"success", Join({{0x00}, other}), 1, 0x00, 0xFF, 0, other, true},
      {"first error form", Join({{0x81, 0x0B, 0x01}, other, {0x77}}), 0, 0x81, 0x0B, 1, other, false},
      {"second error form", Join({{0x82, 0x03}, other, {0x77}}), 0, 0x82, 0xFF, 3, other, false},
      {"0x83 is no form here", Join({{0x83, 0x0B, 0x01}, other}), 0, 0x80, 0xFF, 0, {}, false},
      {"0x80", Join({{0x80, 0x0B, 0x01}, other}), 0, 0x80, 0xFF, 0, {}, false},
      {"first form, record cut", Join({{0x81, 0x0B, 0x01}, Head(other, 13)}), 0, 0x80, 0xFF, 0, {}, false},
      {"second form, record missing", {0x82, 0x03}, 0, 0x80, 0xFF, 0, {}, false},
      {"no reply", {}, 0, 0x80, 0xFF, 0, {}, false},
  };
  for (const SingleOutcomeCase& c : cases) {
    for (int crcFlag : {0, 1}) {
      FakePort port;
      if (!c.payload.empty()) port.ReplyToNextCommand(WireReply(crcFlag ? 0xA5 : 0x25, c.payload));
      const BlockOutputs o = BlockWriteToSingleTag(port, kPointer2, 2, Counting(4), crcFlag);
      EXPECT_EQ(o.result, c.result) << c.name;
      EXPECT_EQ(o.writeStatus, c.writeStatus) << c.name;
      EXPECT_EQ(o.errorCode, c.errorCode) << c.name;
      EXPECT_EQ(o.writtenWordCount, c.writtenWordCount) << c.name;
      EXPECT_EQ(o.record, c.record.empty() ? Sentinels(80) : WithPrefix(c.record, 80)) << c.name;
      EXPECT_EQ(o.tagRecordLength, c.lengthWritten ? 14 : kSentinel) << c.name;
    }
  }
}

TEST(BlockWriteDataToSingleTag, CopiesAtMost64BytesOfASuccessReply) {
  FakePort port;
  port.ReplyToNextCommand(WireReply(0x25, Join({{0x00}, Counting(70, 1)})));
  const BlockOutputs o = BlockWriteToSingleTag(port, kPointer2, 2, Counting(4));
  EXPECT_EQ(o.result, 1);
  EXPECT_EQ(o.tagRecordLength, 64);
  EXPECT_EQ(o.record, WithPrefix(Counting(64, 1), 80));
}

struct UpdateCase {
  const char* name;
  int bank;
  Bytes wordPtr;
  int wordCount;
  Bytes reply;
  // Record bytes [recordStart, recordStart + bytes) come from data bytes [dataStart, ...).
  size_t recordStart;
  size_t dataStart;
  size_t bytes;
};

TEST(BlockWriteDataByEPC, LaysTheWrittenEpcBankWordsOverTheCopyOfEpc) {
  const std::vector<UpdateCase> cases = {
      {"p 2, success", 1, kPointer2, 3, {0x00}, 2, 0, 6},
      {"p 2, one word written", 1, kPointer2, 3, {0x81, 0x0B, 0x01}, 2, 0, 2},
      {"p 2, second form", 1, kPointer2, 3, {0x82, 0x02}, 2, 0, 4},
      {"p 2, none written", 1, kPointer2, 3, {0x82, 0x00}, 0, 0, 0},
      {"p 1 rewrites the PC word", 1, kPointer1, 2, {0x00}, 0, 0, 4},
      {"p 0 skips the stored CRC", 1, {0x00}, 3, {0x00}, 0, 2, 4},
      {"p 0, CRC word alone", 1, {0x00}, 1, {0x00}, 0, 0, 0},
      {"bank 5 has the EPC bank's low bits", 5, kPointer2, 3, {0x00}, 2, 0, 6},
      {"user bank", 3, kPointer2, 3, {0x00}, 0, 0, 0},
      {"TID bank", 2, kPointer2, 3, {0x00}, 0, 0, 0},
      {"no usable reply", 1, kPointer2, 3, {0x84}, 0, 0, 0},
      {"two-byte pointer", 1, kPointer128, 3, {0x00}, 0, 0, 0},
      {"words past the record left out", 1, {0x1F}, 3, {0x00}, 60, 0, 4},
      {"pointer past the record", 1, {0x21}, 3, {0x00}, 0, 0, 0},
      {"reader's count bounded by the words sent", 1, kPointer2, 3, {0x82, 0xC8}, 2, 0, 6},
  };
  const Bytes data = Counting(6, 0xD0);
  for (const UpdateCase& c : cases) {
    FakePort port;
    port.ReplyToNextCommand(WireReply(0x19, c.reply));
    const BlockOutputs o = BlockWriteByEpc(port, c.bank, c.wordPtr, c.wordCount, data);
    Bytes expected = WithPrefix(Record14(), 80);
    std::copy(data.begin() + static_cast<long>(c.dataStart), data.begin() + static_cast<long>(c.dataStart + c.bytes),
              expected.begin() + static_cast<long>(c.recordStart));
    EXPECT_EQ(o.record, expected) << c.name;
  }
}

TEST(BlockWriteDataByEPC, UpdatesARecordInPlace) {
  FakePort port;
  port.ReplyToNextCommand(WireReply(0x19, {0x00}));
  Bytes record = WithPrefix(Record14(), 64);
  const Bytes data = {0xD0, 0xD1};
  uint8_t errorCode = 0, writeStatus = 0, written = 0;
  EXPECT_EQ(UhfBlockWriteDataByEPC(port.handle(), kPassword.data(), 1, kPointer2.data(), 1, record.data(), data.data(),
                                   &errorCode, &writeStatus, &written, record.data(), 0),
            1);
  Bytes expected = WithPrefix(Record14(), 64);
  expected[2] = 0xD0;
  expected[3] = 0xD1;
  EXPECT_EQ(record, expected);
  EXPECT_EQ(port.lastCommand(), ExpectedCommand(0x19, Join({kPassword, {0x01, 0x02, 0x01}, data, Record14()}), false));
}

}  // namespace
