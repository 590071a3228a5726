// Writing the reader's SR data into a tag: the frames of both address forms and the write outcome.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "fake_serial.h"
#include "quarn_api.h"

namespace {

using quarn::testing::Bytes;
using quarn::testing::FakePort;
using quarn::testing::Join;
using quarn::testing::ReferenceCrc;
using quarn::testing::StuffedFrame;
using quarn::testing::WireReply;

constexpr unsigned char kSentinel = 0xEE;

const Bytes kPassword{0x11, 0x22, 0x33, 0x44};
const Bytes kShortPointer{0x05};
const Bytes kLongPointer{0x81, 0x02};
const Bytes kSrParams{0xA1, 0xB2, 0xC3, 0xD4};
// PC word 0x3000: six EPC words, a 14-byte record.
const Bytes kRecord{0x30, 0x00, 0xE2, 0x00, 0x34, 0x12, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
// The record an error reply carries: PC word 0x0800, one EPC word.
const Bytes kAnsweringRecord{0x08, 0x00, 0xE2, 0x01};

struct Outputs {
  std::array<unsigned char, 256> tagRecord;
  unsigned char tagRecordLength = kSentinel;
  unsigned char errorCode = kSentinel;
  unsigned char writeStatus = kSentinel;
  unsigned char writtenWordCount = kSentinel;
  Outputs() { tagRecord.fill(kSentinel); }
  Bytes RecordBytes(size_t count) const {
    return Bytes(tagRecord.begin(), tagRecord.begin() + static_cast<long>(count));
  }
  bool RecordUntouchedFrom(size_t k) const {
    return std::all_of(tagRecord.begin() + static_cast<long>(k), tagRecord.end(),
                       [](unsigned char b) { return b == kSentinel; });
  }
};

int WriteByEpc(FakePort& port, const Bytes& wordPtr, const Bytes& epc, Outputs& out, int crcFlag) {
  return UhfWriteSRtoTagByEPC(port.handle(), kPassword.data(), 3, wordPtr.data(), kSrParams[0], epc.data(),
                              kSrParams[1], kSrParams[2], kSrParams[3], &out.errorCode, &out.writeStatus,
                              &out.writtenWordCount, crcFlag);
}

int WriteSingle(FakePort& port, const Bytes& wordPtr, Outputs& out, int crcFlag) {
  return UhfWriteSRtoTagSingle(port.handle(), kPassword.data(), 3, wordPtr.data(), kSrParams[0], kSrParams[1],
                               kSrParams[2], kSrParams[3], out.tagRecord.data(), &out.tagRecordLength, &out.errorCode,
                               &out.writeStatus, &out.writtenWordCount, crcFlag);
}

// Head, length, code, parameters, CRC when the code has bit 7, tail.
Bytes CommandFrame(uint8_t length, uint8_t code, const Bytes& parameters) {
  Bytes body = Join({{length, code}, parameters});
  if (code & 0x80) body = Join({body, ReferenceCrc(body)});
  return Join({{0xAA}, body, {0x55}});
}

TEST(WriteSrToTagSingle, FramesOfFourteenToSeventeenBytes) {
  struct Row {
    int crcFlag;
    const Bytes& wordPtr;
    uint8_t length;
    size_t frameSize;
  };
  for (const Row& row : {Row{0, kShortPointer, 0x0C, 14}, Row{1, kShortPointer, 0x0E, 16},
                         Row{0, kLongPointer, 0x0D, 15}, Row{1, kLongPointer, 0x0F, 17}}) {
    FakePort port;
    Outputs out;
    WriteSingle(port, row.wordPtr, out, row.crcFlag);
    const uint8_t code = row.crcFlag ? 0xF1 : 0x71;
    const Bytes expected = CommandFrame(row.length, code, Join({kPassword, {0x03}, row.wordPtr, kSrParams}));
    EXPECT_EQ(port.lastCommand(), expected) << int(row.length);
    EXPECT_EQ(expected.size(), row.frameSize);
  }
}

TEST(WriteSrToTagSingle, OnlyTheLowBytesOfBankAndParametersAreSent) {
  FakePort port;
  Outputs out;
  UhfWriteSRtoTagSingle(port.handle(), kPassword.data(), 0x201, kShortPointer.data(), 0x1A1, 0x2B2, 0x3C3, 0x4D4,
                        out.tagRecord.data(), &out.tagRecordLength, &out.errorCode, &out.writeStatus,
                        &out.writtenWordCount, 2);
  EXPECT_EQ(port.lastCommand(), CommandFrame(0x0C, 0x71, Join({kPassword, {0x01, 0x05}, kSrParams})));
}

TEST(WriteSrToTagByEpc, RecordFollowsTheFourSrParameters) {
  struct Row {
    int crcFlag;
    const Bytes& wordPtr;
    uint8_t length;
  };
  for (const Row& row : {Row{0, kShortPointer, 0x1A}, Row{1, kShortPointer, 0x1C}, Row{0, kLongPointer, 0x1B},
                         Row{1, kLongPointer, 0x1D}}) {
    FakePort port;
    Outputs out;
    // Bytes past the record's announced size are not sent.
    WriteByEpc(port, row.wordPtr, Join({kRecord, {0x99, 0x98}}), out, row.crcFlag);
    const uint8_t code = row.crcFlag ? 0xF0 : 0x70;
    EXPECT_EQ(port.lastCommand(),
              CommandFrame(row.length, code, Join({kPassword, {0x03}, row.wordPtr, kSrParams, kRecord})))
        << int(row.length);
  }
}

// One reply, both forms: ByEPC takes every status with bits 7 and 0 set as the first error form, the
// single-tag form 0x81 alone.
TEST(WriteSr, OutcomeTableOfBothForms) {
  struct Expect {
    int result;
    uint8_t writeStatus;
    uint8_t errorCode;
    uint8_t writtenWordCount;
  };
  struct Row {
    const char* name;
    Bytes payload;
    Expect byEpc;
    Expect single;
    Bytes singleRecord;  // what the single-tag form puts into tagRecord
  };
  const Row rows[] = {
      {"bit 7 clear", {0x00}, {1, 0x00, 0xFF, 0}, {1, 0x00, 0xFF, 0}, {}},
      {"bit 7 clear, other bits set", {0x41}, {1, 0x00, 0xFF, 0}, {1, 0x00, 0xFF, 0}, {}},
      {"0x81", Join({{0x81, 0x0B, 0x02}, kAnsweringRecord}), {0, 0x81, 0x0B, 2}, {0, 0x81, 0x0B, 2}, kAnsweringRecord},
      {"0x83", Join({{0x83, 0x0B, 0x02}, kAnsweringRecord}), {0, 0x81, 0x0B, 2}, {0, 0x80, 0xFF, 0}, {}},
      {"0xFF", Join({{0xFF, 0x0C, 0x01}, kAnsweringRecord}), {0, 0x81, 0x0C, 1}, {0, 0x80, 0xFF, 0}, {}},
      {"0x82", Join({{0x82, 0x03}, kAnsweringRecord}), {0, 0x82, 0xFF, 3}, {0, 0x82, 0xFF, 3}, kAnsweringRecord},
      {"0x80", Join({{0x80, 0x03}, kAnsweringRecord}), {0, 0x80, 0xFF, 0}, {0, 0x80, 0xFF, 0}, {}},
      {"0x84", Join({{0x84, 0x03}, kAnsweringRecord}), {0, 0x80, 0xFF, 0}, {0, 0x80, 0xFF, 0}, {}},
      {"first form without its count", {0x81, 0x0B}, {0, 0x80, 0xFF, 0}, {0, 0x80, 0xFF, 0}, {}},
      {"single-tag record cut short", {0x81, 0x0B, 0x02, 0x08, 0x00, 0xE2}, {0, 0x81, 0x0B, 2}, {0, 0x80, 0xFF, 0}, {}},
      {"second form without its count", {0x82}, {0, 0x80, 0xFF, 0}, {0, 0x80, 0xFF, 0}, {}},
  };
  for (const Row& row : rows) {
    for (int crcFlag : {0, 1}) {
      const uint8_t crcBit = crcFlag ? 0x80 : 0x00;
      {
        FakePort port;
        port.ReplyToNextCommand(WireReply(static_cast<uint8_t>(0x70 | crcBit), row.payload));
        Outputs out;
        EXPECT_EQ(WriteByEpc(port, kShortPointer, kRecord, out, crcFlag), row.byEpc.result) << row.name;
        EXPECT_EQ(out.writeStatus, row.byEpc.writeStatus) << "ByEPC " << row.name;
        EXPECT_EQ(out.errorCode, row.byEpc.errorCode) << "ByEPC " << row.name;
        EXPECT_EQ(out.writtenWordCount, row.byEpc.writtenWordCount) << "ByEPC " << row.name;
      }
      FakePort port;
      port.ReplyToNextCommand(WireReply(static_cast<uint8_t>(0x71 | crcBit), row.payload));
      Outputs out;
      EXPECT_EQ(WriteSingle(port, kShortPointer, out, crcFlag), row.single.result) << row.name;
      EXPECT_EQ(out.writeStatus, row.single.writeStatus) << "single " << row.name;
      EXPECT_EQ(out.errorCode, row.single.errorCode) << "single " << row.name;
      EXPECT_EQ(out.writtenWordCount, row.single.writtenWordCount) << "single " << row.name;
      EXPECT_EQ(out.RecordBytes(row.singleRecord.size()), row.singleRecord) << "single " << row.name;
      EXPECT_TRUE(out.RecordUntouchedFrom(row.singleRecord.size())) << "single " << row.name;
      // Success replies here carry no data, so only success writes the length: 0.
      EXPECT_EQ(out.tagRecordLength, row.single.result == 1 ? 0 : kSentinel) << "single " << row.name;
    }
  }
}

TEST(WriteSrToTagSingle, SuccessCopiesTheDataItsLengthByteCounts) {
  for (int crcFlag : {0, 1}) {
    FakePort port;
    const Bytes reply = StuffedFrame(quarn::testing::ReplyFrame(crcFlag ? 0xF1 : 0x71, Join({{0x00}, kRecord})));
    port.ReplyToNextCommand(reply);
    Outputs out;
    EXPECT_EQ(WriteSingle(port, kShortPointer, out, crcFlag), 1);
    EXPECT_EQ(out.tagRecordLength, 14);
    EXPECT_EQ(out.RecordBytes(14), kRecord);
    EXPECT_TRUE(out.RecordUntouchedFrom(14));
  }
}

// The replies are read at the one-byte form's positions: 124 data bytes are the most a success can carry.
TEST(WriteSrToTagSingle, LongestOneByteFormSuccessIsCopiedAndALongerOneIsNotRead) {
  struct Row {
    size_t dataCount;
    int result;
  };
  for (const Row& row : {Row{124, 1}, Row{125, 0}}) {
    FakePort port;
    const Bytes data(row.dataCount, 0x3C);
    port.ReplyToNextCommand(WireReply(0x71, Join({{0x00}, data})));
    Outputs out;
    EXPECT_EQ(WriteSingle(port, kShortPointer, out, 0), row.result) << row.dataCount;
    const size_t copied = row.result == 1 ? row.dataCount : 0;
    EXPECT_EQ(out.RecordBytes(copied), Bytes(copied, 0x3C));
    EXPECT_TRUE(out.RecordUntouchedFrom(copied)) << row.dataCount;
    EXPECT_EQ(out.tagRecordLength, row.result == 1 ? 124 : kSentinel);
    EXPECT_EQ(out.writeStatus, row.result == 1 ? 0x00 : 0x80);
  }
}

// A length byte below 3 (5 in CRC mode) would wrap the data count to about 255.
TEST(WriteSrToTagSingle, WrappedLengthByteIsNoUsableReply) {
  struct Row {
    int crcFlag;
    Bytes reply;
  };
  const Bytes crcShort = Join({{0x04, 0xF1}, ReferenceCrc({0x04, 0xF1})});
  for (const Row& row : {Row{0, {0xAA, 0x02, 0x71, 0x55}}, Row{1, Join({{0xAA}, crcShort, {0x55}})}}) {
    FakePort port;
    port.ReplyToNextCommand(StuffedFrame(row.reply));
    Outputs out;
    EXPECT_EQ(WriteSingle(port, kShortPointer, out, row.crcFlag), 0);
    EXPECT_EQ(out.writeStatus, 0x80);
    EXPECT_EQ(out.errorCode, 0xFF);
    EXPECT_EQ(out.writtenWordCount, 0);
    EXPECT_EQ(out.tagRecordLength, kSentinel);
    EXPECT_TRUE(out.RecordUntouchedFrom(0));
  }
}

TEST(WriteSr, NoReplyWrongCodeOrFailedSendIsNoUsableReply) {
  struct Row {
    const char* name;
    bool reply;
    uint8_t offset;  // added to the right code
    bool failSend;
  };
  for (const Row& row : {Row{"no reply", false, 0, false}, Row{"another code", true, 2, false},
                         Row{"the CRC-mode code", true, 0x80, false}, Row{"send fails", true, 0, true}}) {
    for (bool single : {false, true}) {
      FakePort port;
      const uint8_t code = static_cast<uint8_t>((single ? 0x71 : 0x70) + row.offset);
      if (row.reply) port.ReplyToNextCommand(WireReply(code, Join({{0x00}, kRecord})));
      if (row.failSend) port.FailWriteNumber(3);
      Outputs out;
      const int result =
          single ? WriteSingle(port, kShortPointer, out, 0) : WriteByEpc(port, kShortPointer, kRecord, out, 0);
      EXPECT_EQ(result, 0) << row.name;
      EXPECT_EQ(out.writeStatus, 0x80) << row.name;
      EXPECT_EQ(out.errorCode, 0xFF) << row.name;
      EXPECT_EQ(out.writtenWordCount, 0) << row.name;
      EXPECT_EQ(out.tagRecordLength, kSentinel) << row.name;
      EXPECT_TRUE(out.RecordUntouchedFrom(0)) << row.name;
    }
  }
}

}  // namespace
