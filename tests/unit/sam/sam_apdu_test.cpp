// Command APDUs to the secure access module: the case rule, the frames, and the reply rule that hands
// the SAM's answer over even when the SAM refused.

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
constexpr int kLengthSentinel = -7;

// The caller's out-parameters of UhfSetSAM, all pre-filled with sentinels.
struct SamOutputs {
  std::array<unsigned char, 260> response;
  int responseLength = kLengthSentinel;
  unsigned char sw1 = kSentinel;
  unsigned char sw2 = kSentinel;
  unsigned char status = kSentinel;
  SamOutputs() { response.fill(kSentinel); }
  bool ResponseUntouchedFrom(size_t k) const {
    return std::all_of(response.begin() + static_cast<long>(k), response.end(),
                       [](unsigned char b) { return b == kSentinel; });
  }
};

int SetSam(FakePort& port, const Bytes& apdu, int apduLength, SamOutputs& out, int crcFlag) {
  return UhfSetSAM(port.handle(), apdu.data(), apduLength, out.response.data(), &out.responseLength, &out.sw1, &out.sw2,
                   &out.status, crcFlag);
}

Bytes Sequence(size_t count, uint8_t first) {
  Bytes bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(first + i);
  return bytes;
}

// A case 3 APDU of total length L: header, Lc = L - 5, and L - 5 data bytes.
Bytes CaseThreeApdu(size_t length) {
  return Join({{0x00, 0xD6, 0x00, 0x00, static_cast<uint8_t>(length - 5)}, Bytes(length - 5, 0x3C)});
}

TEST(SetSam, HeaderOnlyApduFramesInBothModesWithoutTellingAResponseLength) {
  const Bytes apdu{0x00, 0xA4, 0x04, 0x00};
  struct Row {
    int crcFlag;
    uint8_t code;
    Bytes frame;
  };
  for (const Row& row : {Row{0, 0x43, {0xAA, 0x06, 0x43, 0x00, 0xA4, 0x04, 0x00, 0x55}},
                         Row{1, 0xC3, {0xAA, 0x08, 0xC3, 0x00, 0xA4, 0x04, 0x00, 0x8C, 0x5F, 0x55}}}) {
    FakePort port;
    port.ReplyToNextCommand(WireReply(row.code, {0x00, 0x90, 0x00}));
    SamOutputs out;
    EXPECT_EQ(SetSam(port, apdu, 4, out, row.crcFlag), 1);
    EXPECT_EQ(port.lastCommand(), row.frame);
    EXPECT_EQ(out.responseLength, kLengthSentinel);
    EXPECT_EQ(out.sw1, 0x90);
    EXPECT_EQ(out.sw2, 0x00);
    EXPECT_EQ(out.status, 0x00);
    EXPECT_TRUE(out.ResponseUntouchedFrom(0));
  }
}

// Each case of the rule: whether it is sent, and which Le it reports before sending.
TEST(SetSam, CaseRuleDecidesWhatIsSentAndWhetherResponseLengthIsTold) {
  struct Row {
    const char* name;
    Bytes apdu;
    int apduLength;
    bool sent;
    int responseLength;  // kLengthSentinel: not written
  };
  const Row rows[] = {
      {"length 0", {0x00, 0xA4, 0x04, 0x00}, 0, false, kLengthSentinel},
      {"length 3", {0x00, 0xA4, 0x04, 0x00}, 3, false, kLengthSentinel},
      {"case 1", {0x00, 0xA4, 0x04, 0x00}, 4, true, kLengthSentinel},
      {"only the low byte of the length counts", {0x00, 0xA4, 0x04, 0x00}, 0x104, true, kLengthSentinel},
      {"case 2", {0x00, 0xB0, 0x00, 0x00, 0x10}, 5, true, 16},
      {"case 2 with Le 0", {0x00, 0xB0, 0x00, 0x00, 0x00}, 5, true, 0},
      {"case 2 with Le 0xFF is a plain count", {0x00, 0xB0, 0x00, 0x00, 0xFF}, 5, true, 255},
      {"case 3: 7 = 2 + 5", {0x00, 0xD6, 0x00, 0x00, 0x02, 0x11, 0x22}, 7, true, kLengthSentinel},
      {"case 4: 7 = 1 + 6, Le last", {0x00, 0x88, 0x00, 0x00, 0x01, 0x11, 0x08}, 7, true, 8},
      {"7 bytes with Lc 5 is no case", {0x00, 0x88, 0x00, 0x00, 0x05, 0x11, 0x08}, 7, false, kLengthSentinel},
      {"6 bytes with Lc 0 is case 4", {0x00, 0x88, 0x00, 0x00, 0x00, 0x04}, 6, true, 4},
      {"6 bytes with Lc 2 is no case", {0x00, 0x88, 0x00, 0x00, 0x02, 0x04}, 6, false, kLengthSentinel},
  };
  for (const Row& row : rows) {
    FakePort port;
    SamOutputs out;
    EXPECT_EQ(SetSam(port, row.apdu, row.apduLength, out, 0), 0) << row.name;  // no reader: fails either way
    EXPECT_EQ(out.responseLength, row.responseLength) << row.name;
    EXPECT_EQ(out.status, kSentinel) << row.name;
    EXPECT_EQ(out.sw1, kSentinel) << row.name;
    if (!row.sent) {
      EXPECT_EQ(port.writeCalls(), 0) << row.name;
      continue;
    }
    const size_t length = static_cast<size_t>(row.apduLength & 0xFF);
    const Bytes apdu(row.apdu.begin(), row.apdu.begin() + static_cast<long>(length));
    EXPECT_EQ(port.lastCommand(), Join({{0xAA, static_cast<uint8_t>(length + 2), 0x43}, apdu, {0x55}})) << row.name;
  }
}

TEST(SetSam, ApduWhoseFrameLengthWouldNeedTwoBytesIsRefusedBeforeAnythingIsWritten) {
  struct Row {
    int crcFlag;
    size_t length;
    bool sent;
    uint8_t lengthByte;
  };
  for (const Row& row :
       {Row{0, 125, true, 0x7F}, Row{0, 126, false, 0}, Row{1, 123, true, 0x7F}, Row{1, 124, false, 0}}) {
    FakePort port;
    SamOutputs out;
    // Case 4 shapes tell responseLength when sent, so a refusal is seen to write nothing at all.
    Bytes apdu = CaseThreeApdu(row.length - 1);
    apdu[4] = static_cast<uint8_t>(row.length - 6);
    apdu.push_back(0x02);
    SetSam(port, apdu, static_cast<int>(row.length), out, row.crcFlag);
    if (row.sent) {
      ASSERT_EQ(port.commands().size(), 1u) << row.length;
      EXPECT_EQ(port.lastCommand()[1], row.lengthByte);
      EXPECT_EQ(out.responseLength, 2);
    } else {
      EXPECT_EQ(port.writeCalls(), 0) << row.length;
      EXPECT_EQ(out.responseLength, kLengthSentinel) << row.length;
    }
  }
}

TEST(SetSam, CopiesLeResponseBytesThenTheStatusWord) {
  const Bytes apdu{0x00, 0xB0, 0x00, 0x00, 0x10};
  FakePort port;
  port.ReplyToNextCommand(WireReply(0x43, Join({{0x00}, Sequence(16, 0x20), {0x90, 0x00, 0x77, 0x78}})));
  SamOutputs out;
  EXPECT_EQ(SetSam(port, apdu, 5, out, 0), 1);
  EXPECT_EQ(Bytes(out.response.begin(), out.response.begin() + 16), Sequence(16, 0x20));
  EXPECT_TRUE(out.ResponseUntouchedFrom(16));
  EXPECT_EQ(out.sw1, 0x90);
  EXPECT_EQ(out.sw2, 0x00);
  EXPECT_EQ(out.responseLength, 16);
  EXPECT_EQ(out.status, 0x00);
}

TEST(SetSam, LeZeroTakesTheStatusWordFromTheFirstTwoDataBytes) {
  FakePort port;
  port.ReplyToNextCommand(WireReply(0x43, {0x00, 0x6A, 0x82}));
  SamOutputs out;
  EXPECT_EQ(SetSam(port, {0x00, 0xB0, 0x00, 0x00, 0x00}, 5, out, 0), 1);
  EXPECT_EQ(out.sw1, 0x6A);
  EXPECT_EQ(out.sw2, 0x82);
  EXPECT_TRUE(out.ResponseUntouchedFrom(0));
}

TEST(SetSam, ReplyRuleByStatusByte) {
  struct Row {
    uint8_t status;
    int result;
    uint8_t statusOut;
    bool answerCopied;
  };
  const Row rows[] = {
      {0x00, 1, 0x00, true},  {0x01, 1, 0x00, true},  {0x7F, 1, 0x00, true},  {0x81, 0, 0x81, true},
      {0x80, 0, 0x80, false}, {0x83, 0, 0x83, false}, {0xFF, 0, 0xFF, false},
  };
  for (const Row& row : rows) {
    FakePort port;
    port.ReplyToNextCommand(WireReply(0x43, {row.status, 0x31, 0x32, 0x69, 0x85}));
    SamOutputs out;
    EXPECT_EQ(SetSam(port, {0x00, 0xB0, 0x00, 0x00, 0x02}, 5, out, 0), row.result) << int(row.status);
    EXPECT_EQ(out.status, row.statusOut) << int(row.status);
    if (row.answerCopied) {
      EXPECT_EQ(out.response[0], 0x31);
      EXPECT_EQ(out.response[1], 0x32);
      EXPECT_EQ(out.sw1, 0x69);
      EXPECT_EQ(out.sw2, 0x85);
    } else {
      EXPECT_TRUE(out.ResponseUntouchedFrom(0)) << int(row.status);
      EXPECT_EQ(out.sw1, kSentinel);
      EXPECT_EQ(out.sw2, kSentinel);
    }
    EXPECT_TRUE(out.ResponseUntouchedFrom(2));
  }
}

TEST(SetSam, ReplyToAnotherCodeOrModeReportsOnlyItsStatusByte) {
  struct Row {
    int crcFlag;
    uint8_t replyCode;
  };
  for (const Row& row : {Row{0, 0x44}, Row{0, 0xC3}, Row{1, 0x43}}) {
    FakePort port;
    port.ReplyToNextCommand(WireReply(row.replyCode, {0x05, 0x90, 0x00}));
    SamOutputs out;
    EXPECT_EQ(SetSam(port, {0x00, 0xA4, 0x04, 0x00}, 4, out, row.crcFlag), 0);
    EXPECT_EQ(out.status, 0x05);
    EXPECT_EQ(out.sw1, kSentinel);
    EXPECT_EQ(out.sw2, kSentinel);
    EXPECT_EQ(port.commands().size(), 1u);
  }
}

TEST(SetSam, ReplyTooShortForLeAndTheStatusWordCopiesNothing) {
  for (uint8_t status : {0x00, 0x81}) {
    FakePort port;
    port.ReplyToNextCommand(WireReply(0x43, Join({{status}, Sequence(5, 0x20)})));  // Le 4 needs 6
    SamOutputs out;
    EXPECT_EQ(SetSam(port, {0x00, 0xB0, 0x00, 0x00, 0x04}, 5, out, 0), 0);
    EXPECT_EQ(out.status, status);
    EXPECT_TRUE(out.ResponseUntouchedFrom(0));
    EXPECT_EQ(out.sw1, kSentinel);
    EXPECT_EQ(out.sw2, kSentinel);
  }
}

// A response of Le above 122 (120 in CRC mode) comes back in the two-byte length form.
TEST(SetSam, LongResponseIsReadAtTheTwoByteFormPositions) {
  struct Row {
    int crcFlag;
    uint8_t le;
  };
  for (const Row& row : {Row{0, 123}, Row{1, 121}, Row{1, 200}, Row{0, 255}}) {
    const uint8_t code = row.crcFlag ? 0xC3 : 0x43;
    FakePort port;
    const Bytes reply = ReplyFrame(code, Join({{0x00}, Sequence(row.le, 0x01), {0x61, 0x10}}));
    ASSERT_NE(reply[1] & 0x80, 0) << int(row.le);
    port.ReplyToNextCommand(StuffedFrame(reply));
    SamOutputs out;
    EXPECT_EQ(SetSam(port, {0x00, 0xB0, 0x00, 0x00, row.le}, 5, out, row.crcFlag), 1) << int(row.le);
    EXPECT_EQ(Bytes(out.response.begin(), out.response.begin() + row.le), Sequence(row.le, 0x01));
    EXPECT_TRUE(out.ResponseUntouchedFrom(row.le));
    EXPECT_EQ(out.sw1, 0x61);
    EXPECT_EQ(out.sw2, 0x10);
  }
}

TEST(SetSam, ShortResponseSentInTheTwoByteFormIsReadThere) {
  FakePort port;
  port.ReplyToNextCommand(StuffedFrame(LongReplyFrame(0x43, {0x00, 0x41, 0x90, 0x00})));
  SamOutputs out;
  EXPECT_EQ(SetSam(port, {0x00, 0xB0, 0x00, 0x00, 0x01}, 5, out, 0), 1);
  EXPECT_EQ(out.response[0], 0x41);
  EXPECT_EQ(out.sw1, 0x90);
  EXPECT_EQ(out.sw2, 0x00);
}

// --- the SR information commands: same APDU rules, only the status word comes back ---

using InfoExport = int(QUARN_CALL*)(PortHandle, const unsigned char*, int, unsigned char*, unsigned char*,
                                    unsigned char*, int);

struct InfoCommand {
  const char* name;
  InfoExport call;
  uint8_t code;
};

const InfoCommand kInfoCommands[] = {{"SR A", UhfGetInfoSAMtoSRA, 0x44}, {"SR B", UhfGetInfoSAMtoSRB, 0x45}};

TEST(GetInfoSamToSr, FramesInBothModesAndTakeTheStatusWordFromDataByteZeroWhateverLe) {
  const Bytes apdu{0x80, 0x50, 0x00, 0x00, 0x08};  // case 2 asks for 8 bytes, none are returned
  for (const InfoCommand& command : kInfoCommands) {
    for (int crcFlag : {0, 1}) {
      const uint8_t code = static_cast<uint8_t>(command.code | (crcFlag ? 0x80 : 0));
      FakePort port;
      port.ReplyToNextCommand(WireReply(code, {0x00, 0x90, 0x00}));
      unsigned char sw1 = kSentinel, sw2 = kSentinel, status = kSentinel;
      EXPECT_EQ(command.call(port.handle(), apdu.data(), 5, &sw1, &sw2, &status, crcFlag), 1) << command.name;
      const Bytes head{0xAA, static_cast<uint8_t>(crcFlag ? 9 : 7), code, 0x80, 0x50, 0x00, 0x00, 0x08};
      const Bytes sent = port.lastCommand();
      EXPECT_EQ(Bytes(sent.begin(), sent.begin() + 8), head) << command.name;
      EXPECT_EQ(sent.size(), crcFlag ? 11u : 9u);
      EXPECT_EQ(sw1, 0x90);
      EXPECT_EQ(sw2, 0x00);
      EXPECT_EQ(status, 0x00);
    }
  }
}

TEST(GetInfoSamToSr, RefusedBlocksAreNotSent) {
  for (const InfoCommand& command : kInfoCommands) {
    // Too short, no case, and a well-formed case 3 block too long for a one-byte frame length.
    for (int length : {3, 7, 126}) {
      Bytes apdu(130, 0x05);
      if (length == 126) apdu[4] = 121;
      FakePort port;
      unsigned char sw1 = kSentinel, sw2 = kSentinel, status = kSentinel;
      EXPECT_EQ(command.call(port.handle(), apdu.data(), length, &sw1, &sw2, &status, 0), 0) << command.name;
      EXPECT_EQ(port.writeCalls(), 0) << command.name << " " << length;
      EXPECT_EQ(status, kSentinel);
    }
  }
}

TEST(GetInfoSamToSr, SamRefusalStillHandsOverTheStatusWord) {
  struct Row {
    uint8_t status;
    bool swCopied;
  };
  for (const InfoCommand& command : kInfoCommands) {
    for (const Row& row : {Row{0x81, true}, Row{0x83, false}}) {
      FakePort port;
      port.ReplyToNextCommand(WireReply(command.code, {row.status, 0x6A, 0x88}));
      const Bytes apdu{0x80, 0x50, 0x00, 0x00};
      unsigned char sw1 = kSentinel, sw2 = kSentinel, status = kSentinel;
      EXPECT_EQ(command.call(port.handle(), apdu.data(), 4, &sw1, &sw2, &status, 0), 0);
      EXPECT_EQ(status, row.status);
      EXPECT_EQ(sw1, row.swCopied ? 0x6A : kSentinel) << command.name;
      EXPECT_EQ(sw2, row.swCopied ? 0x88 : kSentinel) << command.name;
    }
  }
}

TEST(GetInfoSamToSr, AnswerToTheOtherSrIsNotAccepted) {
  FakePort port;
  port.ReplyToNextCommand(WireReply(0x45, {0x00, 0x90, 0x00}));
  const Bytes apdu{0x80, 0x50, 0x00, 0x00};
  unsigned char sw1 = kSentinel, sw2 = kSentinel, status = kSentinel;
  EXPECT_EQ(UhfGetInfoSAMtoSRA(port.handle(), apdu.data(), 4, &sw1, &sw2, &status, 0), 0);
  EXPECT_EQ(status, 0x00);  // the status position of the stray reply
  EXPECT_EQ(sw1, kSentinel);
}

}  // namespace
