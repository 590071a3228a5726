#include <gtest/gtest.h>

#include "fake_serial.h"
#include "quarn_api.h"
#include "tag_access_fixtures.h"

namespace {

using namespace quarn::testing;
using namespace quarn::testing::tags;

struct StartCase {
  int hasParam;
  int param;
  int crcFlag;
  Bytes command;
};

TEST(StartInventory, SendsTheFormThatTheLowByteOfHasParamSelects) {
  const std::vector<StartCase> cases = {
      {0, 0x42, 0, {0xAA, 0x02, 0x10, 0x55}},
      {1, 0x42, 0, {0xAA, 0x03, 0x11, 0x42, 0x55}},
      {0x100, 0x42, 0, {0xAA, 0x02, 0x10, 0x55}},
      {0x201, 0x1FF, 2, {0xAA, 0x03, 0x11, 0xFF, 0x55}},
      {0, 0, 1, {0xAA, 0x04, 0x90, 0xAD, 0x8D, 0x55}},
      {1, 0x42, 3, ExpectedCommand(0x11, {0x42}, true)},
  };
  for (const StartCase& c : cases) {
    FakePort port;
    const uint8_t code = c.command[2];
    port.ReplyToNextCommand(WireReply(code, {0x01}));
    EXPECT_EQ(UhfStartInventory(port.handle(), c.hasParam, c.param, c.crcFlag), 1) << c.hasParam;
    EXPECT_EQ(port.lastCommand(), c.command) << c.hasParam;
  }
}

TEST(StartInventory, CountsAnAcknowledgementOnlyWithBit0SetAndBit7Clear) {
  const std::vector<std::pair<uint8_t, int>> cases = {
      {0x01, 1}, {0x03, 1}, {0x7F, 1}, {0x00, 0}, {0x02, 0}, {0x80, 0}, {0x81, 0}};
  for (const auto& [status, result] : cases) {
    FakePort port;
    port.ReplyToNextCommand(WireReply(0x10, {status}));
    EXPECT_EQ(UhfStartInventory(port.handle(), 0, 0, 0), result) << int(status);
  }
}

TEST(StartInventory, RefusesAnAcknowledgementOfAnotherCodeOrMode) {
  const std::vector<std::pair<int, uint8_t>> cases = {{0, 0x11}, {0, 0x90}, {1, 0x11}, {1, 0x90 | 0x01}};
  for (const auto& [crcFlag, replyCode] : cases) {
    FakePort port;
    port.ReplyToNextCommand(WireReply(replyCode, {0x01}));
    EXPECT_EQ(UhfStartInventory(port.handle(), 0, 0, crcFlag), 0) << int(replyCode);
  }
  FakePort silent;
  EXPECT_EQ(UhfStartInventory(silent.handle(), 0, 0, 0), 0);
}

struct ReportCase {
  uint8_t code;
  uint8_t status;
  bool accepted;
};

TEST(ReadInventory, AcceptsEitherStartCodeInEitherModeWithBits7And0Clear) {
  const std::vector<ReportCase> cases = {
      {0x10, 0x00, true},  {0x11, 0x00, true},  {0x30, 0x00, true},  {0x31, 0x00, true},
      {0x90, 0x00, true},  {0x91, 0x00, true},  {0xB0, 0x00, true},  {0xB1, 0x00, true},
      {0x10, 0x02, true},  {0x10, 0x7E, true},  {0x10, 0x01, false}, {0x10, 0x80, false},
      {0x10, 0x81, false}, {0x12, 0x00, false}, {0x18, 0x00, false}, {0x50, 0x00, false},
      {0x13, 0x00, false},
  };
  for (const ReportCase& c : cases) {
    FakePort port;
    port.Deliver(WireReply(c.code, Join({{c.status}, Record14()})));
    Bytes record = Sentinels(64);
    uint8_t length = kSentinel;
    EXPECT_EQ(UhfReadInventory(port.handle(), &length, record.data()), c.accepted ? 1 : 0)
        << int(c.code) << " " << int(c.status);
    if (c.accepted) {
      EXPECT_EQ(length, 14);
      EXPECT_EQ(record, WithPrefix(Record14(), 64));
    } else {
      EXPECT_EQ(length, kSentinel);
      EXPECT_EQ(record, Sentinels(64));
    }
  }
}

TEST(ReadInventory, SizesTheRecordByItsFirstByteAlone) {
  const std::vector<std::pair<uint8_t, size_t>> cases = {
      {0x30, 14}, {0x00, 2}, {0x07, 2}, {0x08, 4}, {0x37, 14}, {0xF8, 64}, {0xFF, 64}};
  for (const auto& [firstByte, size] : cases) {
    FakePort port;
    const Bytes data = Join({{firstByte}, Counting(69, 1)});
    port.Deliver(WireReply(0x10, Join({{0x00}, data})));
    Bytes record = Sentinels(80);
    uint8_t length = 0;
    ASSERT_EQ(UhfReadInventory(port.handle(), &length, record.data()), 1) << int(firstByte);
    EXPECT_EQ(length, size);
    EXPECT_EQ(record, WithPrefix(Head(data, size), 80)) << int(firstByte);
  }
}

TEST(ReadInventory, RefusesAReportShorterThanItsRecordAnnounces) {
  FakePort port;
  port.Deliver(WireReply(0x10, Join({{0x00}, Head(Record14(), 13)})));
  Bytes record = Sentinels(64);
  uint8_t length = kSentinel;
  EXPECT_EQ(UhfReadInventory(port.handle(), &length, record.data()), 0);
  EXPECT_EQ(length, kSentinel);
  EXPECT_EQ(record, Sentinels(64));
}

TEST(ReadInventory, TakesExactlyOneFrameACallAndSendsNothing) {
  FakePort port;
  port.Deliver(Join({WireReply(0x10, Join({{0x00}, Record14()})), WireReply(0x10, Join({{0x01}, Record14()})),
                     WireReply(0x90, Join({{0x00}, OtherRecord14()}))}));
  Bytes record = Sentinels(64);
  uint8_t length = 0;
  EXPECT_EQ(UhfReadInventory(port.handle(), &length, record.data()), 1);
  EXPECT_EQ(Head(record, 14), Record14());
  // The refused frame is consumed with its call, so the next call sees the tag behind it.
  EXPECT_EQ(UhfReadInventory(port.handle(), &length, record.data()), 0);
  EXPECT_EQ(UhfReadInventory(port.handle(), &length, record.data()), 1);
  EXPECT_EQ(Head(record, 14), OtherRecord14());
  EXPECT_EQ(UhfReadInventory(port.handle(), &length, record.data()), 0);
  EXPECT_TRUE(port.written().empty());
  EXPECT_EQ(port.purgeCount(), 0);
}

TEST(ReadInventory, FollowsAStartedInventoryAndLosesReportsToTheNextCommand) {
  FakePort port;
  port.ReplyToNextCommand(Join({WireReply(0x10, {0x01}), WireReply(0x10, Join({{0x00}, Record14()})),
                                WireReply(0x10, Join({{0x00}, OtherRecord14()}))}));
  const Bytes singleTag = {0x08, 0x00, 0xAB, 0xCD};
  port.ReplyToNextCommand(WireReply(0x18, Join({{0x00}, singleTag})));
  ASSERT_EQ(UhfStartInventory(port.handle(), 0, 0, 0), 1);
  Bytes record = Sentinels(64);
  uint8_t length = 0;
  EXPECT_EQ(UhfReadInventory(port.handle(), &length, record.data()), 1);
  EXPECT_EQ(Head(record, 14), Record14());
  // The single-tag inventory's send discards the report still waiting, so it reads its own reply.
  EXPECT_EQ(UhfInventorySingleTag(port.handle(), &length, record.data(), 0), 1);
  EXPECT_EQ(Head(record, 4), singleTag);
  EXPECT_EQ(UhfReadInventory(port.handle(), &length, record.data()), 0);
  EXPECT_EQ(port.purgeCount(), 2);
}

TEST(InventorySingleTag, SendsCode18AndNeedsStatusZeroExactly) {
  const std::vector<std::pair<uint8_t, int>> statuses = {{0x00, 1}, {0x01, 0}, {0x02, 0}, {0x40, 0}, {0x80, 0}};
  for (const auto& [status, result] : statuses) {
    for (int crcFlag : {0, 1}) {
      FakePort port;
      const uint8_t code = crcFlag ? 0x98 : 0x18;
      port.ReplyToNextCommand(WireReply(code, Join({{status}, Record14(), {0x77, 0x77}})));
      Bytes record = Sentinels(64);
      uint8_t length = kSentinel;
      EXPECT_EQ(UhfInventorySingleTag(port.handle(), &length, record.data(), crcFlag), result) << int(status);
      const Bytes command = crcFlag ? Bytes{0xAA, 0x04, 0x98, 0x2C, 0x85, 0x55} : Bytes{0xAA, 0x02, 0x18, 0x55};
      EXPECT_EQ(port.lastCommand(), command);
      EXPECT_EQ(length, result ? 14 : kSentinel);
      EXPECT_EQ(record, result ? WithPrefix(Record14(), 64) : Sentinels(64));
    }
  }
}

TEST(InventorySingleTag, FailsWithOutputsUntouchedWithoutAUsableReply) {
  struct Case {
    const char* name;
    Bytes reply;
  };
  const std::vector<Case> cases = {
      {"no reply", {}},
      {"other code", WireReply(0x10, Join({{0x00}, Record14()}))},
      {"CRC reply to a plain command", WireReply(0x98, Join({{0x00}, Record14()}))},
      {"record cut short", WireReply(0x18, Join({{0x00}, Head(Record14(), 12)}))},
      {"no data", WireReply(0x18, {0x00})},
  };
  for (const Case& c : cases) {
    FakePort port;
    if (!c.reply.empty()) port.ReplyToNextCommand(c.reply);
    Bytes record = Sentinels(64);
    uint8_t length = kSentinel;
    EXPECT_EQ(UhfInventorySingleTag(port.handle(), &length, record.data(), 0), 0) << c.name;
    EXPECT_EQ(length, kSentinel) << c.name;
    EXPECT_EQ(record, Sentinels(64)) << c.name;
  }
}

}  // namespace
