// The multi-tag read: the start request in both modes and every optionParams form, its acknowledgement,
// and the decoding of the data frames the reader streams afterwards.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "fake_serial.h"
#include "quarn_api.h"

namespace {

using quarn::testing::Bytes;
using quarn::testing::CrcForm;
using quarn::testing::CountingRecord;
using quarn::testing::LengthPrefixed;
using quarn::testing::FakePort;
using quarn::testing::Join;
using quarn::testing::LongReplyFrame;
using quarn::testing::ReferenceCrc;
using quarn::testing::ReplyFrame;
using quarn::testing::StuffedFrame;

constexpr uint8_t kSentinel = 0xEE;

const unsigned char kPassword[4] = {0x01, 0x02, 0x03, 0x04};

Bytes Counting(size_t n, uint8_t from) {
  Bytes bytes(n);
  for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(from + i);
  return bytes;
}

// The caller's buffers, every byte a sentinel until the library writes it.
struct Outputs {
  unsigned char frameStatus = kSentinel;
  unsigned char dataLength[2] = {kSentinel, kSentinel};
  unsigned char data[2100];
  unsigned char secondDataLength[2] = {kSentinel, kSentinel};
  unsigned char secondData[2100];
  unsigned char tagRecord[80];
  unsigned char tagRecordLength = kSentinel;

  Outputs() {
    std::fill(std::begin(data), std::end(data), kSentinel);
    std::fill(std::begin(secondData), std::end(secondData), kSentinel);
    std::fill(std::begin(tagRecord), std::end(tagRecord), kSentinel);
  }

  int Get(PortHandle port) {
    return UhfGetDataFromMultiTag(port, &frameStatus, dataLength, data, secondDataLength, secondData, tagRecord,
                                  &tagRecordLength);
  }

  bool Untouched() const { return *this == Outputs(); }

  bool operator==(const Outputs& other) const {
    return frameStatus == other.frameStatus && tagRecordLength == other.tagRecordLength &&
           std::memcmp(dataLength, other.dataLength, 2) == 0 && std::memcmp(data, other.data, sizeof data) == 0 &&
           std::memcmp(secondDataLength, other.secondDataLength, 2) == 0 &&
           std::memcmp(secondData, other.secondData, sizeof secondData) == 0 &&
           std::memcmp(tagRecord, other.tagRecord, sizeof tagRecord) == 0;
  }
};

// Whether buffer holds expected and only sentinels in the rest of its size bytes.
bool Holds(const unsigned char* buffer, size_t size, const Bytes& expected) {
  if (!std::equal(expected.begin(), expected.end(), buffer)) return false;
  return std::all_of(buffer + expected.size(), buffer + size, [](unsigned char b) { return b == kSentinel; });
}

// --- the start request ---

struct RequestCase {
  const char* name;
  Bytes wordPtr;
  int readOptions;
  Bytes optionParams;
  Bytes plainFrame;
};

const RequestCase kRequests[] = {
    {"ShortFormOneBytePointer", {0x05, 0x77}, 0x00, {0x10, 0x20, 0x99},
     {0xAA, 0x0C, 0x26, 0x01, 0x02, 0x03, 0x04, 0x03, 0x05, 0x02, 0x00, 0x10, 0x20, 0x55}},
    {"ShortFormTwoBytePointer", {0x80, 0x01}, 0x00, {0x10, 0x20},
     {0xAA, 0x0D, 0x26, 0x01, 0x02, 0x03, 0x04, 0x03, 0x80, 0x01, 0x02, 0x00, 0x10, 0x20, 0x55}},
    // Only bit 0 chooses the form; the other bits go to the reader as they stand.
    {"OtherOptionBitsKeepShortForm", {0x05}, 0x0E, {0x10, 0x20, 0x30},
     {0xAA, 0x0C, 0x26, 0x01, 0x02, 0x03, 0x04, 0x03, 0x05, 0x02, 0x0E, 0x10, 0x20, 0x55}},
    {"OptionsLowByteOnly", {0x05}, 0x101, {0x10, 0x20, 0x30, 0x40, 0x50},
     {0xAA, 0x0F, 0x26, 0x01, 0x02, 0x03, 0x04, 0x03, 0x05, 0x02, 0x01, 0x10, 0x20, 0x30, 0x40, 0x50, 0x55}},
    {"OptionsHighBitsDoNotChooseTheForm", {0x05}, 0x100, {0x10, 0x20, 0x30},
     {0xAA, 0x0C, 0x26, 0x01, 0x02, 0x03, 0x04, 0x03, 0x05, 0x02, 0x00, 0x10, 0x20, 0x55}},
    {"LongFormFiveBytes", {0x05}, 0x01, {0x01, 0x7F, 0x04, 0x05, 0x06, 0x99},
     {0xAA, 0x0F, 0x26, 0x01, 0x02, 0x03, 0x04, 0x03, 0x05, 0x02, 0x01, 0x01, 0x7F, 0x04, 0x05, 0x06, 0x55}},
    {"LongFormSixBytesTwoBytePointer", {0x80, 0x01}, 0x01, {0x01, 0x85, 0x00, 0x04, 0x05, 0x06, 0x99},
     {0xAA, 0x11, 0x26, 0x01, 0x02, 0x03, 0x04, 0x03, 0x80, 0x01, 0x02, 0x01, 0x01, 0x85, 0x00, 0x04, 0x05, 0x06,
      0x55}},
};

class MultiTagStartRequest : public ::testing::TestWithParam<RequestCase> {};

TEST_P(MultiTagStartRequest, SendsPasswordBankPointerCountOptionsAndOnlyTheUsedOptionBytes) {
  const RequestCase& c = GetParam();
  for (int crcFlag : {0, 1}) {
    FakePort port;
    UhfStartReadDataFromMultiTag(port.handle(), kPassword, 0x103, c.wordPtr.data(), 0x202, c.readOptions,
                                 c.optionParams.data(), crcFlag);
    EXPECT_EQ(port.lastCommand(), crcFlag ? CrcForm(c.plainFrame) : c.plainFrame) << "crcFlag " << crcFlag;
  }
}

INSTANTIATE_TEST_SUITE_P(Forms, MultiTagStartRequest, ::testing::ValuesIn(kRequests),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MultiTagStart, PinsTheCrcOfTheShortRequest) {
  FakePort port;
  const unsigned char wordPtr[1] = {0x00};
  const unsigned char options[2] = {0x00, 0x00};
  const unsigned char password[4] = {0, 0, 0, 0};
  UhfStartReadDataFromMultiTag(port.handle(), password, 1, wordPtr, 1, 0, options, 1);
  const Bytes body{0x0E, 0xA6, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00};
  EXPECT_EQ(port.lastCommand(), Join({{0xAA}, body, ReferenceCrc(body), {0x55}}));
}

// --- the acknowledgement ---

struct AckCase {
  const char* name;
  int crcFlag;
  Bytes reply;
  int expected;
};

const AckCase kAcks[] = {
    {"StatusOne", 0, ReplyFrame(0x26, {0x01}), 1},
    {"StatusOneCrcMode", 1, ReplyFrame(0xA6, {0x01}), 1},
    {"StatusZeroRefused", 0, ReplyFrame(0x26, {0x00}), 0},
    {"StatusWithErrorBitRefused", 0, ReplyFrame(0x26, {0x81}), 0},
    {"OtherFlagBitsRefused", 0, ReplyFrame(0x26, {0x03}), 0},
    {"OtherCodeRefused", 0, ReplyFrame(0x25, {0x01}), 0},
    {"PlainReplyToCrcCommandRefused", 1, ReplyFrame(0x26, {0x01}), 0},
    {"CrcReplyToPlainCommandRefused", 0, ReplyFrame(0xA6, {0x01}), 0},
    {"NoStatusByteRefused", 0, {0xAA, 0x02, 0x26, 0x55}, 0},
    // The acknowledgement is read at the one-byte-form positions whatever its length field says.
    {"TwoByteFormNotReadShifted", 0, LongReplyFrame(0x26, {0x01}), 0},
};

class MultiTagStartAck : public ::testing::TestWithParam<AckCase> {};

TEST_P(MultiTagStartAck, AcceptsOnlyStatusOneUnderTheCodeSent) {
  const AckCase& c = GetParam();
  FakePort port;
  port.ReplyToNextCommand(StuffedFrame(c.reply));
  const unsigned char wordPtr[1] = {0x00};
  const unsigned char options[2] = {0x00, 0x00};
  EXPECT_EQ(UhfStartReadDataFromMultiTag(port.handle(), kPassword, 3, wordPtr, 2, 0, options, c.crcFlag), c.expected);
  EXPECT_EQ(port.commands().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Replies, MultiTagStartAck, ::testing::ValuesIn(kAcks),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MultiTagStart, WaitsForTheTagAccessLimitAndFailsWithoutReplyOrSend) {
  const unsigned char wordPtr[1] = {0x00};
  const unsigned char options[2] = {0x00, 0x00};
  {
    // An acknowledgement five seconds late still counts: the limit is 10000 ms.
    FakePort port;
    port.ReplyToNextCommand(StuffedFrame(ReplyFrame(0x26, {0x01})), 0, 5000);
    EXPECT_EQ(UhfStartReadDataFromMultiTag(port.handle(), kPassword, 3, wordPtr, 2, 0, options, 0), 1);
  }
  {
    FakePort port;
    EXPECT_EQ(UhfStartReadDataFromMultiTag(port.handle(), kPassword, 3, wordPtr, 2, 0, options, 0), 0);
  }
  {
    FakePort port;
    port.FailWriteNumber(1);
    port.ReplyToNextCommand(StuffedFrame(ReplyFrame(0x26, {0x01})));
    EXPECT_EQ(UhfStartReadDataFromMultiTag(port.handle(), kPassword, 3, wordPtr, 2, 0, options, 0), 0);
  }
}

// --- data frames ---

using FrameBuilder = std::function<Bytes(uint8_t code, const Bytes& payload)>;

struct Envelope {
  const char* name;
  uint8_t code;
  FrameBuilder build;
};

// A short frame may still come in the two-byte length form; the CRC-mode frames that must take it are
// the long ones below (a short CRC-mode frame in that form has its code where the receiver never looks).
const Envelope kEnvelopes[] = {
    {"Plain", 0x26, ReplyFrame},
    {"Crc", 0xA6, ReplyFrame},
    {"PlainTwoByteLength", 0x26, LongReplyFrame},
};

class MultiTagDataFrame : public ::testing::TestWithParam<Envelope> {
 protected:
  int Receive(const Bytes& payload) {
    const Envelope& e = GetParam();
    port_.Deliver(StuffedFrame(e.build(e.code, payload)));
    return out_.Get(port_.handle());
  }

  FakePort port_;
  Outputs out_;
};

TEST_P(MultiTagDataFrame, OneBlockLeavesTheSecondBlockUntouched) {
  ASSERT_EQ(Receive(Join({{0x00}, LengthPrefixed({0x11, 0x22, 0x33, 0x44}), CountingRecord(0x30), {0x99, 0x98}})), 1);
  EXPECT_EQ(out_.frameStatus, 0x00);
  EXPECT_TRUE(Holds(out_.dataLength, 2, {0x00, 0x04}));
  EXPECT_TRUE(Holds(out_.data, sizeof out_.data, {0x11, 0x22, 0x33, 0x44}));
  EXPECT_EQ(out_.tagRecordLength, 14);
  EXPECT_TRUE(Holds(out_.tagRecord, sizeof out_.tagRecord, CountingRecord(0x30)));
  EXPECT_TRUE(Holds(out_.secondDataLength, 2, {}));
  EXPECT_TRUE(Holds(out_.secondData, sizeof out_.secondData, {}));
}

TEST_P(MultiTagDataFrame, TwoBlocksThenTheRecord) {
  ASSERT_EQ(Receive(Join({{0x01}, LengthPrefixed({0xAA, 0xBB}), LengthPrefixed({0x01, 0x55, 0xFF}), CountingRecord(0x08)})), 1);
  EXPECT_EQ(out_.frameStatus, 0x01);
  EXPECT_TRUE(Holds(out_.dataLength, 2, {0x00, 0x02}));
  EXPECT_TRUE(Holds(out_.data, sizeof out_.data, {0xAA, 0xBB}));
  EXPECT_TRUE(Holds(out_.secondDataLength, 2, {0x00, 0x03}));
  EXPECT_TRUE(Holds(out_.secondData, sizeof out_.secondData, {0x01, 0x55, 0xFF}));
  EXPECT_EQ(out_.tagRecordLength, 4);
  EXPECT_TRUE(Holds(out_.tagRecord, sizeof out_.tagRecord, CountingRecord(0x08)));
}

TEST_P(MultiTagDataFrame, EmptyBlocksWriteTheirLengthsAndCopyNothing) {
  ASSERT_EQ(Receive(Join({{0x01}, LengthPrefixed({}), LengthPrefixed({}), CountingRecord(0x00)})), 1);
  EXPECT_TRUE(Holds(out_.dataLength, 2, {0x00, 0x00}));
  EXPECT_TRUE(Holds(out_.data, sizeof out_.data, {}));
  EXPECT_TRUE(Holds(out_.secondDataLength, 2, {0x00, 0x00}));
  EXPECT_TRUE(Holds(out_.secondData, sizeof out_.secondData, {}));
  EXPECT_EQ(out_.tagRecordLength, 2);
}

TEST_P(MultiTagDataFrame, LargestRecordIsCopiedWhole) {
  ASSERT_EQ(Receive(Join({{0x00}, LengthPrefixed({0x01}), CountingRecord(0xFF)})), 1);
  EXPECT_EQ(out_.tagRecordLength, 64);
  EXPECT_TRUE(Holds(out_.tagRecord, sizeof out_.tagRecord, CountingRecord(0xFF)));
}

TEST_P(MultiTagDataFrame, OtherStatusConsumesTheFrameAndWritesNothing) {
  for (uint8_t status : {0x02, 0x81, 0x80, 0x10}) {
    EXPECT_EQ(Receive(Join({{status}, LengthPrefixed({0x11, 0x22}), CountingRecord(0x30)})), 1) << int{status};
    EXPECT_TRUE(out_.Untouched()) << int{status};
    EXPECT_EQ(port_.pendingInput(), 0u);
  }
}

// Nothing is written when a length runs past the frame, so a caller never sees a partial block as whole.
TEST_P(MultiTagDataFrame, FramesRunningPastTheirEndWriteNothing) {
  const Bytes payloads[] = {
      {},                                                      // no status byte
      {0x00, 0x00},                                            // half a length field
      Join({{0x00}, {0x00, 0x05, 0x11, 0x22, 0x33, 0x44}}),    // block one byte short
      Join({{0x00}, LengthPrefixed({0x11, 0x22})}),                     // no record at all
      Join({{0x00}, LengthPrefixed({0x11, 0x22}), {0x30, 0x00, 0x01}}),  // record shorter than its first byte says
      Join({{0x01}, LengthPrefixed({0x11}), {0x00}}),                   // half a second length field
      Join({{0x01}, LengthPrefixed({0x11}), {0x01, 0x00, 0x22}}),       // second block runs past the frame
      Join({{0x01}, LengthPrefixed({0x11}), LengthPrefixed({0x22})}),            // two blocks, no record
      Join({{0x00}, {0xFF, 0xFF}, CountingRecord(0x30)}),              // a length of 65535
  };
  for (const Bytes& payload : payloads) {
    EXPECT_EQ(Receive(payload), 0) << ::testing::PrintToString(payload);
    EXPECT_TRUE(out_.Untouched()) << ::testing::PrintToString(payload);
  }
}

INSTANTIATE_TEST_SUITE_P(Envelopes, MultiTagDataFrame, ::testing::ValuesIn(kEnvelopes),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MultiTagData, LongFramesTakeTheTwoByteFormAndDecodeFromOnePositionOn) {
  FakePort port;
  Outputs out;
  const Bytes first = Counting(300, 0x00);
  const Bytes second = Counting(200, 0x80);
  port.Deliver(StuffedFrame(ReplyFrame(0xA6, Join({{0x01}, LengthPrefixed(first), LengthPrefixed(second), CountingRecord(0x30)}))));
  ASSERT_EQ(out.Get(port.handle()), 1);
  EXPECT_TRUE(Holds(out.dataLength, 2, {0x01, 0x2C}));
  EXPECT_TRUE(Holds(out.data, sizeof out.data, first));
  EXPECT_TRUE(Holds(out.secondDataLength, 2, {0x00, 0xC8}));
  EXPECT_TRUE(Holds(out.secondData, sizeof out.secondData, second));
  EXPECT_TRUE(Holds(out.tagRecord, sizeof out.tagRecord, CountingRecord(0x30)));
}

TEST(MultiTagData, LongFramesRunningPastTheirEndWriteNothing) {
  const Bytes block = Counting(200, 0x00);
  const Bytes payloads[] = {
      Join({{0x00}, {0x01, 0x2C}, block}),                              // 300 announced, 200 there
      Join({{0x00}, LengthPrefixed(block)}),                                     // no record
      Join({{0x00}, LengthPrefixed(block), {0xF8, 0x00, 0x01}}),                 // record shorter than announced
      Join({{0x01}, LengthPrefixed(block), {0x00, 0xC9}, block, CountingRecord(0x00)}),  // second block one byte short
  };
  for (uint8_t code : {0x26, 0xA6}) {
    for (const Bytes& payload : payloads) {
      FakePort port;
      Outputs out;
      port.Deliver(StuffedFrame(ReplyFrame(code, payload)));
      EXPECT_EQ(out.Get(port.handle()), 0) << int{code} << " " << payload.size();
      EXPECT_TRUE(out.Untouched()) << int{code} << " " << payload.size();
    }
  }
}

TEST(MultiTagData, TheLargestBlockAReceivedFrameCanCarry) {
  FakePort port;
  Outputs out;
  const Bytes block = Counting(2038, 0x01);
  port.Deliver(StuffedFrame(ReplyFrame(0x26, Join({{0x00}, LengthPrefixed(block), CountingRecord(0x00)}))));
  ASSERT_EQ(out.Get(port.handle()), 1);
  EXPECT_TRUE(Holds(out.data, sizeof out.data, block));
}

TEST(MultiTagData, AcceptsOnlyTheDataFrameCodeInEitherMode) {
  for (uint8_t code : {0x25, 0x06, 0x66, 0x13, 0xA7}) {
    FakePort port;
    Outputs out;
    port.Deliver(StuffedFrame(ReplyFrame(code, Join({{0x00}, LengthPrefixed({0x11}), CountingRecord(0x00)}))));
    EXPECT_EQ(out.Get(port.handle()), 0) << int{code};
    EXPECT_TRUE(out.Untouched()) << int{code};
  }
}

TEST(MultiTagData, FailsWithNothingWrittenWhenNoFrameComesOrItsCrcIsWrong) {
  {
    FakePort port;
    Outputs out;
    EXPECT_EQ(out.Get(port.handle()), 0);
    EXPECT_TRUE(out.Untouched());
  }
  {
    FakePort port;
    Outputs out;
    Bytes frame = ReplyFrame(0xA6, Join({{0x00}, LengthPrefixed({0x11}), CountingRecord(0x00)}));
    frame[5] ^= 0x01;
    port.Deliver(StuffedFrame(frame));
    EXPECT_EQ(out.Get(port.handle()), 0);
    EXPECT_TRUE(out.Untouched());
  }
}

TEST(MultiTagData, WaitsUpToTheTagAccessLimitForAFrame) {
  FakePort port;
  Outputs out;
  port.Deliver(StuffedFrame(ReplyFrame(0x26, Join({{0x00}, LengthPrefixed({0x11}), CountingRecord(0x00)}))), 0, 9000);
  EXPECT_EQ(out.Get(port.handle()), 1);
}

// --- the stream ---

TEST(MultiTagStream, EachReadConsumesExactlyOneFrameAndSendsNothing) {
  FakePort port;
  const unsigned char wordPtr[1] = {0x00};
  const unsigned char options[2] = {0x00, 0x00};
  port.ReplyToNextCommand(Join({StuffedFrame(ReplyFrame(0x26, {0x01})),
                                StuffedFrame(ReplyFrame(0x26, Join({{0x00}, LengthPrefixed({0x01}), CountingRecord(0x00)}))),
                                StuffedFrame(ReplyFrame(0x26, Join({{0x02}}))),
                                StuffedFrame(ReplyFrame(0x26, Join({{0x00}, LengthPrefixed({0x03}), CountingRecord(0x08)})))}));
  ASSERT_EQ(UhfStartReadDataFromMultiTag(port.handle(), kPassword, 3, wordPtr, 1, 0, options, 0), 1);
  const int purges = port.purgeCount();

  Outputs first;
  ASSERT_EQ(first.Get(port.handle()), 1);
  EXPECT_TRUE(Holds(first.data, sizeof first.data, {0x01}));
  Outputs refused;
  EXPECT_EQ(refused.Get(port.handle()), 1);
  EXPECT_TRUE(refused.Untouched());
  Outputs third;
  ASSERT_EQ(third.Get(port.handle()), 1);
  EXPECT_TRUE(Holds(third.data, sizeof third.data, {0x03}));
  EXPECT_EQ(third.tagRecordLength, 4);
  Outputs none;
  EXPECT_EQ(none.Get(port.handle()), 0);

  EXPECT_EQ(port.commands().size(), 1u);
  EXPECT_EQ(port.purgeCount(), purges);
}

TEST(MultiTagStream, ACommandSentMeanwhileDiscardsTheWaitingFrames) {
  FakePort port;
  const unsigned char wordPtr[1] = {0x00};
  const unsigned char options[2] = {0x00, 0x00};
  port.Deliver(Join({StuffedFrame(ReplyFrame(0x26, Join({{0x00}, LengthPrefixed({0x01}), CountingRecord(0x00)}))),
                     StuffedFrame(ReplyFrame(0x26, Join({{0x00}, LengthPrefixed({0x02}), CountingRecord(0x00)})))}));
  port.ReplyToNextCommand(StuffedFrame(ReplyFrame(0x26, {0x01})));
  ASSERT_EQ(UhfStartReadDataFromMultiTag(port.handle(), kPassword, 3, wordPtr, 1, 0, options, 0), 1);
  Outputs out;
  EXPECT_EQ(out.Get(port.handle()), 0);
  EXPECT_TRUE(out.Untouched());
}

}  // namespace
