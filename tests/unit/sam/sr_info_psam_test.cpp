// Reading the reader's SR information and switching the PSAM's power.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "fake_serial.h"
#include "quarn_api.h"

namespace {

using quarn::testing::Bytes;
using quarn::testing::FakePort;
using quarn::testing::Join;
using quarn::testing::LongReplyFrame;
using quarn::testing::ReplyFrame;
using quarn::testing::StuffedFrame;
using quarn::testing::WireReply;

constexpr unsigned char kSentinel = 0xEE;

Bytes Sequence(size_t count, uint8_t first) {
  Bytes bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(first + i);
  return bytes;
}

template <size_t N>
bool UntouchedFrom(const std::array<unsigned char, N>& buffer, size_t k) {
  return std::all_of(buffer.begin() + static_cast<long>(k), buffer.end(),
                     [](unsigned char b) { return b == kSentinel; });
}

// --- UhfGetSR ---

struct SrOutputs {
  std::array<unsigned char, 96> srData;
  unsigned char status = kSentinel;
  SrOutputs() { srData.fill(kSentinel); }
};

int GetSr(FakePort& port, int srSelect, SrOutputs& out, int crcFlag) {
  return UhfGetSR(port.handle(), srSelect, out.srData.data(), &out.status, crcFlag);
}

TEST(GetSr, FramesTheSelectorByteInBothModes) {
  FakePort port;
  SrOutputs out;
  GetSr(port, 0, out, 1);
  EXPECT_EQ(port.lastCommand(), (Bytes{0xAA, 0x05, 0xF2, 0x00, 0xAD, 0x30, 0x55}));
  GetSr(port, 0x302, out, 0);  // only the low byte goes out
  EXPECT_EQ(port.lastCommand(), (Bytes{0xAA, 0x03, 0x72, 0x02, 0x55}));
}

TEST(GetSr, CopiesExactlyEightyBytesOfALongerReply) {
  for (int crcFlag : {0, 1}) {
    FakePort port;
    port.ReplyToNextCommand(WireReply(crcFlag ? 0xF2 : 0x72, Join({{0x00}, Sequence(90, 0x01)})));
    SrOutputs out;
    EXPECT_EQ(GetSr(port, 1, out, crcFlag), 1);
    EXPECT_EQ(Bytes(out.srData.begin(), out.srData.begin() + 80), Sequence(80, 0x01));
    EXPECT_TRUE(UntouchedFrom(out.srData, 80));
    EXPECT_EQ(out.status, 0x00);
  }
}

TEST(GetSr, ReplyWithFewerThanEightyDataBytesFailsAndWritesNothing) {
  FakePort port;
  port.ReplyToNextCommand(WireReply(0x72, Join({{0x00}, Sequence(79, 0x01)})));
  SrOutputs out;
  EXPECT_EQ(GetSr(port, 1, out, 0), 0);
  EXPECT_TRUE(UntouchedFrom(out.srData, 0));
  EXPECT_EQ(out.status, kSentinel);
}

TEST(GetSr, RefusalsReportTheByteInTheStatusPosition) {
  struct Row {
    const char* name;
    uint8_t replyCode;
    uint8_t status;
  };
  for (const Row& row : {Row{"status 1 has bit 7 clear but is not 0", 0x72, 0x01}, Row{"status 0x80", 0x72, 0x80},
                         Row{"another code", 0x73, 0x00}, Row{"the CRC-mode code", 0xF2, 0x04}}) {
    FakePort port;
    port.ReplyToNextCommand(WireReply(row.replyCode, Join({{row.status}, Sequence(80, 0x01)})));
    SrOutputs out;
    EXPECT_EQ(GetSr(port, 1, out, 0), 0) << row.name;
    EXPECT_EQ(out.status, row.status) << row.name;
    EXPECT_TRUE(UntouchedFrom(out.srData, 0)) << row.name;
  }
}

TEST(GetSr, NoReplyLeavesStatusUntouched) {
  FakePort port;
  SrOutputs out;
  EXPECT_EQ(GetSr(port, 1, out, 0), 0);
  EXPECT_EQ(out.status, kSentinel);
  EXPECT_TRUE(UntouchedFrom(out.srData, 0));
}

// --- UhfSetPsamPowerOnOrOff ---

struct PsamOutputs {
  std::array<unsigned char, 300> answer;
  unsigned char answerLength = kSentinel;
  PsamOutputs() { answer.fill(kSentinel); }
};

int SetPsam(FakePort& port, int psamSelect, int powerState, PsamOutputs& out, int crcFlag) {
  return UhfSetPsamPowerOnOrOff(port.handle(), psamSelect, powerState, out.answer.data(), &out.answerLength, crcFlag);
}

TEST(SetPsamPower, FramesSelectorAndStateInBothModes) {
  FakePort port;
  PsamOutputs out;
  SetPsam(port, 1, 1, out, 1);
  EXPECT_EQ(port.lastCommand(), (Bytes{0xAA, 0x06, 0xC6, 0x01, 0x01, 0xEB, 0xE1, 0x55}));
  SetPsam(port, 0x102, 0x100, out, 0);  // low bytes 2 and 0
  EXPECT_EQ(port.lastCommand(), (Bytes{0xAA, 0x04, 0x46, 0x02, 0x00, 0x55}));
}

TEST(SetPsamPower, SelectorOrStateOutsideItsSetReturnsAtOnce) {
  struct Row {
    int psamSelect;
    int powerState;
  };
  for (const Row& row : {Row{0, 0}, Row{3, 1}, Row{1, 2}, Row{2, 0xFF}, Row{0x100, 1}}) {
    FakePort port;
    PsamOutputs out;
    EXPECT_EQ(SetPsam(port, row.psamSelect, row.powerState, out, 0), 0);
    EXPECT_EQ(port.writeCalls(), 0) << row.psamSelect << " " << row.powerState;
  }
}

TEST(SetPsamPower, StatusZeroSucceedsWithoutWritingAnything) {
  FakePort port;
  port.ReplyToNextCommand(WireReply(0x46, {0x00, 0x11, 0x22}));
  PsamOutputs out;
  EXPECT_EQ(SetPsam(port, 1, 0, out, 0), 1);
  EXPECT_EQ(out.answerLength, kSentinel);
  EXPECT_TRUE(UntouchedFrom(out.answer, 0));
}

// The data count follows the reply's own length form and the call's mode.
TEST(SetPsamPower, StatusOneHandsOverTheDataInEitherFormAndMode) {
  struct Row {
    const char* name;
    int crcFlag;
    bool twoByteForm;
    size_t dataCount;
    Bytes lengthField;
  };
  const Row rows[] = {
      {"plain, one byte", 0, false, 7, {0x0A}},       {"CRC, one byte", 1, false, 7, {0x0C}},
      {"plain, two bytes", 0, true, 5, {0x80, 0x09}}, {"CRC, two bytes, V = 144", 1, true, 138, {0x81, 0x10}},
      {"plain, no data", 0, false, 0, {0x03}},        {"plain, 255 bytes", 0, false, 255, {0x82, 0x03}},
  };
  for (const Row& row : rows) {
    const uint8_t code = row.crcFlag ? 0xC6 : 0x46;
    const Bytes payload = Join({{0x01}, Sequence(row.dataCount, 0x01)});
    const Bytes reply = row.twoByteForm ? LongReplyFrame(code, payload) : ReplyFrame(code, payload);
    ASSERT_EQ(Bytes(reply.begin() + 1, reply.begin() + 1 + static_cast<long>(row.lengthField.size())), row.lengthField)
        << row.name;
    FakePort port;
    port.ReplyToNextCommand(StuffedFrame(reply));
    PsamOutputs out;
    EXPECT_EQ(SetPsam(port, 2, 1, out, row.crcFlag), 1) << row.name;
    EXPECT_EQ(out.answerLength, row.dataCount) << row.name;
    EXPECT_EQ(Bytes(out.answer.begin(), out.answer.begin() + static_cast<long>(row.dataCount)),
              Sequence(row.dataCount, 0x01))
        << row.name;
    EXPECT_TRUE(UntouchedFrom(out.answer, row.dataCount)) << row.name;
  }
}

// answerLength is one byte: an answer it could not report is refused rather than half-reported.
TEST(SetPsamPower, AnswerLongerThanTwoHundredFiftyFiveBytesFailsWithNothingWritten) {
  for (size_t dataCount : {256u, 296u}) {
    FakePort port;
    port.ReplyToNextCommand(WireReply(0x46, Join({{0x01}, Sequence(dataCount, 0x01)})));
    PsamOutputs out;
    EXPECT_EQ(SetPsam(port, 1, 1, out, 0), 0) << dataCount;
    EXPECT_EQ(out.answerLength, kSentinel);
    EXPECT_TRUE(UntouchedFrom(out.answer, 0));
  }
}

TEST(SetPsamPower, FailuresWriteNothing) {
  struct Row {
    const char* name;
    uint8_t code;
    uint8_t status;
  };
  for (const Row& row : {Row{"status 2", 0x46, 0x02}, Row{"status 0x81", 0x46, 0x81}, Row{"another code", 0x45, 0x01},
                         Row{"the CRC-mode code", 0xC6, 0x01}}) {
    FakePort port;
    port.ReplyToNextCommand(WireReply(row.code, {row.status, 0x11}));
    PsamOutputs out;
    EXPECT_EQ(SetPsam(port, 1, 1, out, 0), 0) << row.name;
    EXPECT_EQ(out.answerLength, kSentinel) << row.name;
    EXPECT_TRUE(UntouchedFrom(out.answer, 0)) << row.name;
  }
}

}  // namespace
