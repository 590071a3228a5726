#include <gtest/gtest.h>

#include <functional>

#include "fake_serial.h"
#include "quarn_api.h"
#include "tag_access_fixtures.h"

namespace {

using namespace quarn::testing;
using namespace quarn::testing::tags;

const Bytes kPointer0 = {0x00};
const Bytes kPointer128 = {0x81, 0x00};

// The caller's buffers of one read call, all sentinel until the library writes them.
struct ReadBuffers {
  Bytes data = Sentinels(600);
  Bytes dataLength = Sentinels(2);
  Bytes tagRecord = Sentinels(80);
  uint8_t tagRecordLength = kSentinel;
  uint8_t errorCode = 0x00;
};

struct ReadExport {
  const char* name;
  uint8_t code;  // plain mode
  std::function<int(FakePort&, const Bytes& wordPtr, int wordCount, ReadBuffers&, int crcFlag)> call;
};

// wordCount is ignored by the Max forms, which always send 0.
const std::vector<ReadExport>& ReadExports() {
  static const Bytes epc = Record14();
  static const std::vector<ReadExport> exports = {
      {"ReadDataByEPC", 0x13,
       [](FakePort& port, const Bytes& wordPtr, int wordCount, ReadBuffers& b, int crcFlag) {
         return UhfReadDataByEPC(port.handle(), kPassword.data(), 3, wordPtr.data(), wordCount, epc.data(),
                                 b.data.data(), &b.errorCode, crcFlag);
       }},
      {"ReadDataFromSingleTag", 0x20,
       [](FakePort& port, const Bytes& wordPtr, int wordCount, ReadBuffers& b, int crcFlag) {
         return UhfReadDataFromSingleTag(port.handle(), kPassword.data(), 3, wordPtr.data(), wordCount,
                                         b.data.data(), b.tagRecord.data(), &b.tagRecordLength, &b.errorCode,
                                         crcFlag);
       }},
      {"ReadMaxDataByEPC", 0x13,
       [](FakePort& port, const Bytes& wordPtr, int, ReadBuffers& b, int crcFlag) {
         return UhfReadMaxDataByEPC(port.handle(), kPassword.data(), 3, wordPtr.data(), epc.data(),
                                    b.dataLength.data(), b.data.data(), &b.errorCode, crcFlag);
       }},
      {"ReadMaxDataFromSingleTag", 0x20,
       [](FakePort& port, const Bytes& wordPtr, int, ReadBuffers& b, int crcFlag) {
         return UhfReadMaxDataFromSingleTag(port.handle(), kPassword.data(), 3, wordPtr.data(),
                                            b.dataLength.data(), b.data.data(), b.tagRecord.data(),
                                            &b.tagRecordLength, &b.errorCode, crcFlag);
       }},
  };
  return exports;
}

bool IsMax(const ReadExport& e) { return std::string(e.name).find("Max") != std::string::npos; }
bool IsSingleTag(const ReadExport& e) { return std::string(e.name).find("SingleTag") != std::string::npos; }

void ExpectUntouched(const ReadBuffers& b, const char* name) {
  EXPECT_EQ(b.data, Sentinels(600)) << name;
  EXPECT_EQ(b.dataLength, Sentinels(2)) << name;
  EXPECT_EQ(b.tagRecord, Sentinels(80)) << name;
  EXPECT_EQ(b.tagRecordLength, kSentinel) << name;
}

TEST(ReadDataByEPC, SendsPasswordBankPointerCountAndRecordInOrder) {
  FakePort port;
  ReadBuffers b;
  ReadExports()[0].call(port, kPointer0, 2, b, 0);
  const Bytes expected = Join({{0xAA, 0x17, 0x13}, kPassword, {0x03, 0x00, 0x02}, Record14(), {0x55}});
  EXPECT_EQ(port.lastCommand(), expected);
  EXPECT_EQ(port.lastCommand()[1], 23);
}

TEST(ReadDataByEPC, SendsOnlyTheRecordBytesItsFirstByteAnnounces) {
  const std::vector<std::pair<uint8_t, size_t>> cases = {{0x30, 14}, {0x00, 2}, {0x07, 2}, {0xF8, 64}};
  for (const auto& [firstByte, size] : cases) {
    FakePort port;
    const Bytes epc = Join({{firstByte}, Counting(70, 1)});
    uint8_t errorCode = 0;
    Bytes data = Sentinels(4);
    UhfReadDataByEPC(port.handle(), kPassword.data(), 1, kPointer0.data(), 2, epc.data(), data.data(), &errorCode, 0);
    EXPECT_EQ(port.lastCommand(), ExpectedCommand(0x13, Join({kPassword, {0x01, 0x00, 0x02}, Head(epc, size)}), false))
        << int(firstByte);
  }
}

struct PointerCase {
  Bytes wordPtr;
  int crcFlag;
  uint8_t singleTagLength;
};

TEST(ReadMemory, SendsOneOrTwoPointerBytesByBit7InEveryMember) {
  const std::vector<PointerCase> cases = {
      {{0x05, 0x99}, 0, 0x09}, {{0x81, 0x00}, 0, 0x0A}, {{0x05, 0x99}, 1, 0x0B}, {{0x81, 0x00}, 1, 0x0C}};
  for (const ReadExport& e : ReadExports()) {
    for (const PointerCase& c : cases) {
      FakePort port;
      ReadBuffers b;
      e.call(port, c.wordPtr, 7, b, c.crcFlag);
      const Bytes pointer = Head(c.wordPtr, (c.wordPtr[0] & 0x80) ? 2 : 1);
      const uint8_t count = IsMax(e) ? 0 : 7;
      const Bytes tail = IsSingleTag(e) ? Bytes{} : Record14();
      EXPECT_EQ(port.lastCommand(),
                ExpectedCommand(e.code, Join({kPassword, {0x03}, pointer, {count}, tail}), c.crcFlag == 1))
          << e.name;
      if (IsSingleTag(e)) EXPECT_EQ(port.lastCommand()[1], c.singleTagLength) << e.name;
    }
  }
}

TEST(ReadMemory, PinsACrcModeFrame) {
  FakePort port;
  ReadBuffers b;
  ReadExports()[1].call(port, kPointer0, 2, b, 1);
  EXPECT_EQ(port.lastCommand(),
            (Bytes{0xAA, 0x0B, 0xA0, 0x11, 0x22, 0x33, 0x44, 0x03, 0x00, 0x02, 0x6B, 0xCE, 0x55}));
}

TEST(ReadMemory, RefusesAZeroWordCountWithoutTrafficExceptInTheMaxForms) {
  for (int wordCount : {0, 0x100}) {
    for (const ReadExport& e : ReadExports()) {
      if (IsMax(e)) continue;
      FakePort port;
      ReadBuffers b;
      EXPECT_EQ(e.call(port, kPointer0, wordCount, b, 0), 0) << e.name;
      EXPECT_EQ(b.errorCode, 0xFF) << e.name;
      EXPECT_TRUE(port.written().empty()) << e.name;
      EXPECT_EQ(port.purgeCount(), 0) << e.name;
      ExpectUntouched(b, e.name);
    }
  }
}

struct FailureCase {
  const char* name;
  std::function<Bytes(uint8_t code)> reply;  // empty: no reply at all
  uint8_t errorCode;
};

TEST(ReadMemory, ReportsTheErrorCodeOnEveryFailurePathAndLeavesOutputsAlone) {
  const std::vector<FailureCase> cases = {
      {"no reply", nullptr, 0xFF},
      {"error with code", [](uint8_t code) { return WireReply(code, {0x81, 0x0B}); }, 0x0B},
      {"other status with code", [](uint8_t code) { return WireReply(code, {0xFF, 0x0C}); }, 0x0C},
      {"error without code", [](uint8_t code) { return WireReply(code, {0x80, 0x0B}); }, 0xFF},
      {"error code missing", [](uint8_t code) { return WireReply(code, {0x81}); }, 0xFF},
      {"other code", [](uint8_t code) { return WireReply(static_cast<uint8_t>(code + 1), {0x81, 0x0B}); }, 0xFF},
      {"other mode", [](uint8_t code) { return WireReply(static_cast<uint8_t>(code | 0x80), {0x00, 0, 4}); }, 0xFF},
      {"status only", [](uint8_t code) { return WireReply(code, {0x00}); }, 0xFF},
  };
  for (const ReadExport& e : ReadExports()) {
    for (const FailureCase& c : cases) {
      FakePort port;
      if (c.reply) port.ReplyToNextCommand(c.reply(e.code));
      ReadBuffers b;
      EXPECT_EQ(e.call(port, kPointer0, 2, b, 0), 0) << e.name << ": " << c.name;
      EXPECT_EQ(b.errorCode, c.errorCode) << e.name << ": " << c.name;
      ExpectUntouched(b, e.name);
    }
  }
}

TEST(ReadDataByEPC, CopiesTwiceTheWordCountAndSetsErrorCodeToFF) {
  for (int crcFlag : {0, 1}) {
    FakePort port;
    const uint8_t code = crcFlag ? 0x93 : 0x13;
    port.ReplyToNextCommand(WireReply(code, Join({{0x01}, Counting(6, 0xA0), {0x77}})));
    ReadBuffers b;
    EXPECT_EQ(ReadExports()[0].call(port, kPointer0, 3, b, crcFlag), 1);
    EXPECT_EQ(b.errorCode, 0xFF);
    EXPECT_EQ(b.data, WithPrefix(Counting(6, 0xA0), 600));
  }
}

TEST(ReadDataByEPC, FailsWhenFewerBytesArriveThanTheWordCountAsks) {
  FakePort port;
  port.ReplyToNextCommand(WireReply(0x13, Join({{0x00}, Counting(5)})));
  ReadBuffers b;
  EXPECT_EQ(ReadExports()[0].call(port, kPointer0, 3, b, 0), 0);
  EXPECT_EQ(b.errorCode, 0xFF);
  ExpectUntouched(b, "short");
}

TEST(ReadDataByEPC, ReadsATwoByteLengthReplyOnePositionFurtherOn) {
  struct Case {
    int wordCount;
    int crcFlag;
    bool forceLongForm;
  };
  for (const Case& c : std::vector<Case>{{255, 0, false}, {255, 1, false}, {2, 0, true}, {2, 1, true}}) {
    FakePort port;
    const uint8_t code = c.crcFlag ? 0x93 : 0x13;
    const Bytes words = Counting(2 * static_cast<size_t>(c.wordCount), 3);
    const Bytes payload = Join({{0x00}, words});
    port.ReplyToNextCommand(StuffedFrame(c.forceLongForm ? LongReplyFrame(code, payload) : ReplyFrame(code, payload)));
    ReadBuffers b;
    EXPECT_EQ(ReadExports()[0].call(port, kPointer0, c.wordCount, b, c.crcFlag), 1) << c.wordCount;
    EXPECT_EQ(b.data, WithPrefix(words, 600)) << c.wordCount;
  }
}

TEST(ReadDataFromSingleTag, TakesTheRecordFromBehindTheData) {
  for (bool longForm : {false, true}) {
    FakePort port;
    const Bytes words = Counting(4, 0x40);
    const Bytes payload = Join({{0x00}, words, OtherRecord14(), {0x77, 0x77}});
    port.ReplyToNextCommand(StuffedFrame(longForm ? LongReplyFrame(0x20, payload) : ReplyFrame(0x20, payload)));
    ReadBuffers b;
    EXPECT_EQ(ReadExports()[1].call(port, kPointer0, 2, b, 0), 1);
    EXPECT_EQ(b.data, WithPrefix(words, 600));
    EXPECT_EQ(b.tagRecord, WithPrefix(OtherRecord14(), 80));
    EXPECT_EQ(b.tagRecordLength, 14);
    EXPECT_EQ(b.errorCode, 0xFF);
  }
}

TEST(ReadDataFromSingleTag, FailsWithEverythingUntouchedWhenTheRecordIsCutShort) {
  for (size_t recordBytes : {0, 1, 13}) {
    FakePort port;
    port.ReplyToNextCommand(WireReply(0x20, Join({{0x00}, Counting(4), Head(OtherRecord14(), recordBytes)})));
    ReadBuffers b;
    EXPECT_EQ(ReadExports()[1].call(port, kPointer0, 2, b, 0), 0) << recordBytes;
    EXPECT_EQ(b.errorCode, 0xFF);
    ExpectUntouched(b, "cut");
  }
}

TEST(ReadMaxData, CopiesTheLengthAsSentAndThatManyBytes) {
  struct Case {
    size_t length;
    int crcFlag;
  };
  for (const Case& c : std::vector<Case>{{6, 0}, {6, 1}, {0x104, 0}, {0x104, 1}}) {
    for (size_t member : {2u, 3u}) {
      const ReadExport& e = ReadExports()[member];
      FakePort port;
      const uint8_t code = static_cast<uint8_t>(c.crcFlag ? e.code | 0x80 : e.code);
      const Bytes lengthBytes = {static_cast<uint8_t>(c.length >> 8), static_cast<uint8_t>(c.length)};
      const Bytes bytes = Counting(c.length, 9);
      port.ReplyToNextCommand(WireReply(code, Join({{0x00}, lengthBytes, bytes, OtherRecord14()})));
      ReadBuffers b;
      EXPECT_EQ(e.call(port, kPointer0, 0, b, c.crcFlag), 1) << e.name << c.length;
      EXPECT_EQ(b.dataLength, lengthBytes) << e.name;
      EXPECT_EQ(b.data, WithPrefix(bytes, 600)) << e.name;
      EXPECT_EQ(b.errorCode, 0xFF);
      if (IsSingleTag(e)) {
        EXPECT_EQ(b.tagRecord, WithPrefix(OtherRecord14(), 80)) << e.name;
        EXPECT_EQ(b.tagRecordLength, 14);
      }
    }
  }
}

TEST(ReadMaxData, WithLengthZeroLeavesDataAloneAndFindsTheRecordAtByte2) {
  for (size_t member : {2u, 3u}) {
    const ReadExport& e = ReadExports()[member];
    FakePort port;
    port.ReplyToNextCommand(WireReply(e.code, Join({{0x00}, {0x00, 0x00}, OtherRecord14()})));
    ReadBuffers b;
    EXPECT_EQ(e.call(port, kPointer0, 0, b, 0), 1) << e.name;
    EXPECT_EQ(b.dataLength, (Bytes{0x00, 0x00}));
    EXPECT_EQ(b.data, Sentinels(600));
    if (IsSingleTag(e)) EXPECT_EQ(b.tagRecord, WithPrefix(OtherRecord14(), 80));
  }
}

TEST(ReadMaxData, FailsWhenTheLengthAnnouncesMoreThanArrived) {
  struct Case {
    const char* name;
    Bytes data;
    size_t member;
  };
  const std::vector<Case> cases = {
      {"one length byte", {0x00}, 2},
      {"length past the reply", {0x00, 0x07, 1, 2, 3, 4, 5, 6}, 2},
      {"length far past the buffer", {0xFF, 0xFF, 1, 2}, 2},
      {"record missing", {0x00, 0x02, 1, 2}, 3},
      {"record cut", Join({{0x00, 0x02, 1, 2}, Head(OtherRecord14(), 10)}), 3},
  };
  for (const Case& c : cases) {
    const ReadExport& e = ReadExports()[c.member];
    FakePort port;
    port.ReplyToNextCommand(WireReply(e.code, Join({{0x00}, c.data})));
    ReadBuffers b;
    EXPECT_EQ(e.call(port, kPointer0, 0, b, 0), 0) << c.name;
    EXPECT_EQ(b.errorCode, 0xFF) << c.name;
    ExpectUntouched(b, c.name);
  }
}

}  // namespace
