#include <gtest/gtest.h>

#include "fake_serial.h"
#include "quarn_api.h"
#include "tag_access_fixtures.h"

namespace {

using namespace quarn::testing;
using namespace quarn::testing::tags;

const Bytes kPointer2 = {0x02};
const Bytes kPointer128 = {0x81, 0x00};
const Bytes kWords = {0x12, 0x34, 0x56, 0x78};

int WriteByEpc(FakePort& port, const Bytes& wordPtr, int wordCount, const Bytes& data, const Bytes& epc,
               uint8_t* errorCode, int crcFlag) {
  return UhfWriteDataByEPC(port.handle(), kPassword.data(), 3, wordPtr.data(), wordCount, epc.data(), data.data(),
                           errorCode, crcFlag);
}

int WriteToSingleTag(FakePort& port, const Bytes& wordPtr, int wordCount, const Bytes& data, Bytes& tagRecord,
                     uint8_t* tagRecordLength, uint8_t* errorCode, int crcFlag) {
  return UhfWriteDataToSingleTag(port.handle(), kPassword.data(), 3, wordPtr.data(), wordCount, data.data(),
                                 tagRecord.data(), tagRecordLength, errorCode, crcFlag);
}

TEST(WriteDataByEPC, SendsTheDataBeforeTheRecord) {
  for (int crcFlag : {0, 1}) {
    for (const Bytes& wordPtr : {kPointer2, kPointer128}) {
      FakePort port;
      uint8_t errorCode = 0;
      WriteByEpc(port, wordPtr, 2, kWords, Record14(), &errorCode, crcFlag);
      EXPECT_EQ(port.lastCommand(),
                ExpectedCommand(0x14, Join({kPassword, {0x03}, wordPtr, {0x02}, kWords, Record14()}), crcFlag == 1));
      EXPECT_EQ(port.lastCommand()[1], 9 + 4 + 14 + (wordPtr.size() - 1) + 2 * crcFlag);
    }
  }
}

TEST(WriteDataByEPC, SendsAZeroWordCountWithNoData) {
  FakePort port;
  uint8_t errorCode = 0;
  const Bytes pcOnly = {0x00, 0x00, 0x99};
  port.ReplyToNextCommand(WireReply(0x14, {0x00}));
  EXPECT_EQ(WriteByEpc(port, kPointer2, 0x100, kWords, pcOnly, &errorCode, 0), 1);
  EXPECT_EQ(port.lastCommand(), Join({{0xAA, 0x0B, 0x14}, kPassword, {0x03, 0x02, 0x00, 0x00, 0x00, 0x55}}));
}

TEST(WriteDataToSingleTag, SendsOneLengthByteEvenPast127) {
  FakePort port;
  Bytes record = Sentinels(64);
  uint8_t length = 0, errorCode = 0;
  const Bytes data = Counting(120);
  WriteToSingleTag(port, kPointer2, 60, data, record, &length, &errorCode, 0);
  // 129 as one byte: the reader expects the caller to keep ordinary writes short.
  EXPECT_EQ(port.lastCommand(), Join({{0xAA, 0x81, 0x21}, kPassword, {0x03, 0x02, 60}, data, {0x55}}));
}

TEST(WriteDataToSingleTag, PinsThePlainAndCrcFrames) {
  const Bytes plain = Join({{0xAA, 0x0D, 0x21}, kPassword, {0x03, 0x02, 0x02}, kWords, {0x55}});
  const Bytes crc = Join({{0xAA, 0x0F, 0xA1}, kPassword, {0x03, 0x02, 0x02}, kWords, {0x38, 0xB0, 0x55}});
  for (int crcFlag : {0, 1}) {
    FakePort port;
    Bytes record = Sentinels(64);
    uint8_t length = 0, errorCode = 0;
    WriteToSingleTag(port, kPointer2, 2, kWords, record, &length, &errorCode, crcFlag);
    EXPECT_EQ(port.lastCommand(), crcFlag ? crc : plain);
  }
}

struct StatusCase {
  const char* name;
  Bytes payload;  // empty: no reply
  int result;
  uint8_t errorCode;
};

const std::vector<StatusCase>& WriteStatusCases() {
  static const std::vector<StatusCase> cases = {
      {"success", Join({{0x00}, OtherRecord14()}), 1, 0xFF},
      {"success with bit 0", Join({{0x01}, OtherRecord14()}), 1, 0xFF},
      {"error with code", {0x81, 0x0B}, 0, 0x0B},
      {"other error with code", {0x83, 0x0C}, 0, 0x0C},
      {"error without code", {0x80, 0x0B}, 0, 0xFF},
      {"code missing", {0x81}, 0, 0xFF},
      {"no reply", {}, 0, 0xFF},
  };
  return cases;
}

TEST(WriteData, FollowsTheBit7RuleWithErrorCodeOnEveryPathInBothForms) {
  for (const StatusCase& c : WriteStatusCases()) {
    for (int crcFlag : {0, 1}) {
      FakePort byEpc, single;
      if (!c.payload.empty()) {
        byEpc.ReplyToNextCommand(WireReply(crcFlag ? 0x94 : 0x14, c.payload));
        single.ReplyToNextCommand(WireReply(crcFlag ? 0xA1 : 0x21, c.payload));
      }
      uint8_t errorCode = 0;
      EXPECT_EQ(WriteByEpc(byEpc, kPointer2, 2, kWords, Record14(), &errorCode, crcFlag), c.result) << c.name;
      EXPECT_EQ(errorCode, c.errorCode) << c.name;
      Bytes record = Sentinels(64);
      uint8_t length = kSentinel;
      errorCode = 0;
      EXPECT_EQ(WriteToSingleTag(single, kPointer2, 2, kWords, record, &length, &errorCode, crcFlag), c.result)
          << c.name;
      EXPECT_EQ(errorCode, c.errorCode) << c.name;
      EXPECT_EQ(length, c.result ? 14 : kSentinel) << c.name;
      EXPECT_EQ(record, c.result ? WithPrefix(OtherRecord14(), 64) : Sentinels(64)) << c.name;
    }
  }
}

TEST(WriteData, RefusesARepliedCodeOfTheOtherCommandOrMode) {
  for (uint8_t replyCode : {0x15, 0x94, 0x13}) {
    FakePort port;
    port.ReplyToNextCommand(WireReply(replyCode, {0x81, 0x0B}));
    uint8_t errorCode = 0;
    EXPECT_EQ(WriteByEpc(port, kPointer2, 2, kWords, Record14(), &errorCode, 0), 0);
    EXPECT_EQ(errorCode, 0xFF) << int(replyCode);
  }
}

TEST(WriteDataToSingleTag, CountsTheReplyDataByTheLengthByteUpTo64) {
  struct Case {
    size_t dataBytes;
    int crcFlag;
    uint8_t lengthByte;
    size_t copied;
  };
  const std::vector<Case> cases = {{14, 0, 17, 14}, {14, 1, 19, 14}, {0, 0, 3, 0}, {64, 0, 67, 64}, {70, 1, 75, 64}};
  for (const Case& c : cases) {
    FakePort port;
    const uint8_t code = c.crcFlag ? 0xA1 : 0x21;
    const Bytes frame = ReplyFrame(code, Join({{0x00}, Counting(c.dataBytes, 0x30)}));
    ASSERT_EQ(frame[1], c.lengthByte);
    port.ReplyToNextCommand(StuffedFrame(frame));
    Bytes record = Sentinels(80);
    uint8_t length = kSentinel, errorCode = 0;
    EXPECT_EQ(WriteToSingleTag(port, kPointer2, 2, kWords, record, &length, &errorCode, c.crcFlag), 1);
    EXPECT_EQ(length, c.copied) << c.dataBytes;
    EXPECT_EQ(record, WithPrefix(Counting(c.copied, 0x30), 80)) << c.dataBytes;
  }
}

}  // namespace
