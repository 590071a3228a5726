// Stopping a stream: two sends at most, then five receives in which only the acknowledgement counts.

#include <gtest/gtest.h>

#include "fake_serial.h"
#include "quarn_api.h"

namespace {

using quarn::testing::Bytes;
using quarn::testing::FakePort;
using quarn::testing::Join;
using quarn::testing::ReplyFrame;
using quarn::testing::StuffedFrame;
using quarn::testing::WireReply;

uint8_t StopCode(int crcFlag) { return crcFlag ? 0x92 : 0x12; }

// A tag report of the inventory still running: inventory code, status 0, a PC word and a 2-word EPC.
Bytes TagReport(int crcFlag, uint8_t tag) {
  return WireReply(crcFlag ? 0x90 : 0x10, {0x00, 0x10, 0x00, 0xE2, 0x00, 0x00, tag});
}

Bytes Reports(int crcFlag, int count) {
  Bytes reports;
  for (int k = 0; k < count; ++k) reports = Join({reports, TagReport(crcFlag, static_cast<uint8_t>(k))});
  return reports;
}

TEST(StopOperation, TheAcknowledgementMustBeAmongTheFirstFiveFrames) {
  struct Case {
    int reportsBefore;
    int result;
  };
  const Case cases[] = {{0, 1}, {3, 1}, {4, 1}, {5, 0}};
  for (int crcFlag : {0, 1}) {
    for (const Case& c : cases) {
      FakePort port;
      const Bytes ack = WireReply(StopCode(crcFlag), {0x00});
      port.ReplyToNextCommand(Join({Reports(crcFlag, c.reportsBefore), ack}));
      EXPECT_EQ(UhfStopOperation(port.handle(), crcFlag), c.result) << c.reportsBefore << " crcFlag " << crcFlag;
      EXPECT_EQ(port.commands().size(), 1u);
      // A sixth frame is never read.
      EXPECT_EQ(port.pendingInput(), c.result ? 0u : ack.size()) << c.reportsBefore;
    }
  }
}

TEST(StopOperation, FramesThatFailTheChecksAreSkipped) {
  Bytes corrupt = ReplyFrame(0x92, {0x00});
  corrupt[4] ^= 0x01;  // the CRC's high byte
  const Bytes skipped = Join({WireReply(0x92, {0x80}), WireReply(0x12, {0x00}), StuffedFrame(corrupt),
                              WireReply(0x92, {0x81, 0x07})});
  FakePort port;
  port.ReplyToNextCommand(Join({skipped, WireReply(0x92, {0x01})}));
  EXPECT_EQ(UhfStopOperation(port.handle(), 1), 1);
  EXPECT_EQ(port.commands().size(), 1u);
}

TEST(StopOperation, ASilentReaderFailsAfterFiveEmptyReceives) {
  FakePort port;
  EXPECT_EQ(UhfStopOperation(port.handle(), 0), 0);
  EXPECT_EQ(port.readCalls(), 5);
  EXPECT_EQ(port.now(), 5 * FakePort::kReadTimeoutMs);
  EXPECT_EQ(port.commands().size(), 1u);
  EXPECT_EQ(port.written().size(), 4u);
}

// The first send fails at its head or its tail; the second sends the whole frame after its own purge.
TEST(StopOperation, ResendsOnceOnlyWhenTheFirstSendFails) {
  struct Case {
    int failingWrite;
    Bytes written;
  };
  const Case cases[] = {
      {1, {0xAA, 0x02, 0x12, 0x55}},
      {4, {0xAA, 0x02, 0x12, 0xAA, 0x02, 0x12, 0x55}},
  };
  for (const Case& c : cases) {
    FakePort port;
    port.FailWriteNumber(c.failingWrite);
    port.ReplyToNextCommand(WireReply(0x12, {0x00}));
    EXPECT_EQ(UhfStopOperation(port.handle(), 0), 1) << c.failingWrite;
    EXPECT_EQ(port.written(), c.written) << c.failingWrite;
    EXPECT_EQ(port.purgeCount(), 2);
  }
}

TEST(StopOperation, TwoFailedSendsEndItWithoutReceiving) {
  FakePort port;
  port.HangUp();
  EXPECT_EQ(UhfStopOperation(port.handle(), 0), 0);
  EXPECT_EQ(port.purgeCount(), 2);
  EXPECT_EQ(port.readCalls(), 0);
}

}  // namespace
