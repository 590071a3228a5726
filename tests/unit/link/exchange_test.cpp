// The shared exchange and the reply view every export reads through.

#include <gtest/gtest.h>

#include "fake_serial.h"
#include "link/exchange.h"
#include "link/status_rules.h"

namespace quarn::link {
namespace {

using testing::Bytes;
using testing::FakePort;
using testing::WireReply;

TEST(ExchangeCommand, DiscardsWhatWaitedSendsAndReceivesTheReply) {
  FakePort port;
  port.Deliver(WireReply(0x10, {0x00, 0x30, 0x00}));  // a stale stream frame
  port.ReplyToNextCommand(WireReply(0x01, {0x00, 0x1A}));
  CommandFrame command(commands::kGetPower, 0);
  ASSERT_TRUE(command.Finish());
  ReceivedFrame reply;
  ASSERT_TRUE(ExchangeCommand(port.handle(), command, reply));
  EXPECT_EQ(port.lastCommand(), (Bytes{0xAA, 0x02, 0x01, 0x55}));
  const ReplyView view = reply.View();
  EXPECT_TRUE(view.Echoes(0x01));
  EXPECT_EQ(view.Status(), 0x00);
  EXPECT_EQ(view.DataByte(0), 0x1A);
  EXPECT_EQ(port.purgeCount(), 1);
}

TEST(ExchangeCommand, FailsWithoutReceivingWhenTheSendFails) {
  FakePort port;
  port.FailWriteNumber(2);
  CommandFrame command(commands::kGetPower, 1);
  ASSERT_TRUE(command.Finish());
  ReceivedFrame reply;
  EXPECT_FALSE(ExchangeCommand(port.handle(), command, reply));
  EXPECT_EQ(port.readCalls(), 0);
}

TEST(ExchangeCommand, RefusesAnUnfinishedFrame) {
  FakePort port;
  CommandFrame command(commands::kGetPower, 0);
  ReceivedFrame reply;
  EXPECT_FALSE(ExchangeCommand(port.handle(), command, reply));
  EXPECT_EQ(port.writeCalls(), 0);
}

TEST(ExchangeCommand, TheNoReplyPathEndsAfterOneEmptyReadWhateverTheLimit) {
  for (const CommandSpec* definition : {&commands::kGetRegister, &commands::kGetPower, &commands::kReadDataByEpc}) {
    FakePort port;
    CommandFrame command(*definition, 0);
    ASSERT_TRUE(command.Finish());
    ReceivedFrame reply;
    EXPECT_FALSE(ExchangeCommand(port.handle(), command, reply));
    const uint32_t reads = (definition->timeLimitMs / FakePort::kReadTimeoutMs) + 1;
    EXPECT_EQ(port.readCalls(), static_cast<int>(reads)) << int(definition->code);
  }
}

TEST(ExchangeCommand, UsesTheAntennaReceiverForAntennaCommands) {
  FakePort port;
  port.ReplyToNextCommand(testing::StuffedFrame(testing::AntennaReplyFrame(3, 0x90, {0x01})));
  CommandFrame command(commands::kStartInventoryForMultiAnt, 1);
  ASSERT_TRUE(command.Finish());
  ReceivedFrame reply;
  ASSERT_TRUE(ExchangeCommand(port.handle(), command, reply));
  const ReplyView view = reply.View();
  EXPECT_EQ(view.Marker(), 0xFE);
  EXPECT_EQ(view.Antenna(), 3);
  EXPECT_TRUE(view.Echoes(0x90));
  EXPECT_EQ(view.Status(), 0x01);
  EXPECT_EQ(view.DataCount(), 0u);
}

ReplyView ViewOf(const Bytes& frame, ReplyLayout layout = ReplyLayout::kOneByteForm,
                 FrameKind kind = FrameKind::kPlain) {
  return ReplyView(frame.data(), frame.size(), kind, layout);
}

TEST(ReplyView, NeverReadsPastTheReplyData) {
  const Bytes plain = testing::ReplyFrame(0x01, {0x00, 0x1A, 0x2B});
  const ReplyView view = ViewOf(plain);
  EXPECT_EQ(view.DataCount(), 2u);
  EXPECT_NE(view.Data(0, 2), nullptr);
  EXPECT_EQ(view.Data(0, 3), nullptr);
  EXPECT_EQ(view.Data(2, 1), nullptr);
  EXPECT_NE(view.Data(2, 0), nullptr);
  EXPECT_EQ(view.Data(3, 0), nullptr);
  EXPECT_EQ(view.Data(1, static_cast<size_t>(-1)), nullptr);
  EXPECT_FALSE(view.DataByte(2).has_value());
  EXPECT_FALSE(view.At(plain.size() - 1).has_value()) << "the tail is no field";
}

TEST(ReplyView, StopsTheDataBeforeTheCrc) {
  const Bytes crc = testing::ReplyFrame(0x81, {0x00, 0x1A});
  const ReplyView view = ViewOf(crc);
  EXPECT_EQ(view.DataCount(), 1u);
  EXPECT_EQ(view.DataByte(0), 0x1A);
  EXPECT_FALSE(view.DataByte(1).has_value());
}

TEST(ReplyView, AFrameWithoutStatusHasNoStatus) {
  const Bytes bare = testing::ReplyFrame(0x81, {});
  EXPECT_FALSE(ViewOf(bare).Status().has_value());
  EXPECT_TRUE(ViewOf(bare).Echoes(0x81));
  EXPECT_EQ(ViewOf(bare).DataCount(), 0u);
}

TEST(ReplyView, ReadsEachLayoutAtItsPositions) {
  Bytes payload(200, 0x33);
  payload[0] = 0x00;
  payload[1] = 0x44;
  const Bytes longFrame = testing::LongReplyFrame(0x30, payload);
  const ReplyView asReceived = ViewOf(longFrame, ReplyLayout::kAsReceived);
  EXPECT_EQ(asReceived.offset(), 1u);
  EXPECT_TRUE(asReceived.Echoes(0x30));
  EXPECT_EQ(asReceived.DataByte(0), 0x44);
  EXPECT_EQ(asReceived.DataCount(), 199u);
  EXPECT_TRUE(ViewOf(longFrame, ReplyLayout::kTwoByteForm).Echoes(0x30));
  // Read at one-byte positions, the second length byte stands where the code should be.
  EXPECT_FALSE(ViewOf(longFrame, ReplyLayout::kOneByteForm).Echoes(0x30));

  const Bytes shortFrame = testing::ReplyFrame(0x30, {0x00, 0x44});
  EXPECT_EQ(ViewOf(shortFrame, ReplyLayout::kAsReceived).offset(), 0u);
  EXPECT_FALSE(ViewOf(shortFrame, ReplyLayout::kTwoByteForm).DataByte(0).has_value());
}

TEST(StatusRules, EachRuleAtItsEdges) {
  struct Row {
    uint8_t status;
    bool zero, bit7Clear, inventoryStart, inventoryReport, bit0Set, one, errorCode;
  };
  const Row rows[] = {
      {0x00, true, true, false, true, false, false, false},
      {0x01, false, true, true, false, true, true, false},
      {0x02, false, true, false, true, false, false, false},
      {0x80, false, false, false, false, false, false, false},
      {0x81, false, false, false, false, true, false, true},
      {0x83, false, false, false, false, true, false, true},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(IsZeroStatus(r.status), r.zero) << int(r.status);
    EXPECT_EQ(HasErrorBitClear(r.status), r.bit7Clear) << int(r.status);
    EXPECT_EQ(IsInventoryStartStatus(r.status), r.inventoryStart) << int(r.status);
    EXPECT_EQ(IsInventoryReportStatus(r.status), r.inventoryReport) << int(r.status);
    EXPECT_EQ(HasFlagBitSet(r.status), r.bit0Set) << int(r.status);
    EXPECT_EQ(IsOneStatus(r.status), r.one) << int(r.status);
    EXPECT_EQ(CarriesErrorCode(r.status), r.errorCode) << int(r.status);
  }
}

}  // namespace
}  // namespace quarn::link

namespace quarn::link {
namespace {

// A reply to another command names both codes, so a caller can tell a reply in the other mode (the same
// code but for bit 7) from one to a different command.
TEST(ExchangeCommand, AnotherCommandsReplyNamesTheCodeSentBesideTheEchoedOne) {
  struct Case {
    uint32_t crcFlag;
    uint8_t echoed;
  };
  for (const Case c : {Case{0, 0x81}, Case{1, 0x01}, Case{0, 0x07}, Case{1, 0x87}}) {
    FakePort port;
    port.ReplyToNextCommand(testing::WireReply(c.echoed, {0x00, 0x1A}));
    CommandFrame command(commands::kGetPower, c.crcFlag);
    ASSERT_TRUE(command.Finish());
    ReceivedFrame reply;
    const Result result = ExchangeCommand(port.handle(), command, reply);
    EXPECT_EQ(result.outcome, Outcome::kOtherCommand);
    EXPECT_EQ(result.code, c.echoed);
    EXPECT_EQ(result.sentCode, c.crcFlag ? 0x81 : 0x01);
  }
}

}  // namespace
}  // namespace quarn::link
