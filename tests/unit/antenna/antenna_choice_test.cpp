// The antenna check and choice: their frames, the check result, and the low byte of the antenna.

#include <gtest/gtest.h>

#include "fake_serial.h"
#include "quarn_api.h"

namespace {

using quarn::testing::Bytes;
using quarn::testing::FakePort;
using quarn::testing::WireReply;

constexpr uint8_t kSentinel = 0xEE;

TEST(AntennaChoice, FramesInPlainAndCrcMode) {
  struct Case {
    int (*call)(PortHandle port, int crcFlag);
    int crcFlag;
    Bytes frame;
  };
  static unsigned char state;
  const Case cases[] = {
      {[](PortHandle p, int c) { return UhfCheckANT(p, &state, c); }, 0, {0xAA, 0x02, 0x03, 0x55}},
      {[](PortHandle p, int c) { return UhfCheckANT(p, &state, c); }, 1, {0xAA, 0x04, 0x83, 0x8F, 0xDF, 0x55}},
      {[](PortHandle p, int c) { return UhfChooseANT(p, 1, c); }, 0, {0xAA, 0x03, 0x04, 0x01, 0x55}},
      {[](PortHandle p, int c) { return UhfChooseANT(p, 1, c); }, 1, {0xAA, 0x05, 0x84, 0x01, 0x1F, 0xEE, 0x55}},
      {[](PortHandle p, int c) { return UhfChooseANT(p, 0x102, c); }, 0, {0xAA, 0x03, 0x04, 0x02, 0x55}},
      {[](PortHandle p, int c) { return UhfChooseANT(p, -255, c); }, 0, {0xAA, 0x03, 0x04, 0x01, 0x55}},
  };
  for (const Case& c : cases) {
    FakePort port;
    c.call(port.handle(), c.crcFlag);
    ASSERT_EQ(port.commands().size(), 1u);
    EXPECT_EQ(port.lastCommand(), c.frame);
  }
}

TEST(AntennaChoice, CheckPassesTheReportedStateOnOnlyUnderStatusZero) {
  struct Case {
    Bytes payload;
    int result;
    uint8_t state;
  };
  const Case cases[] = {
      {{0x00, 0x0F}, 1, 0x0F},
      {{0x00, 0x00, 0x44}, 1, 0x00},
      {{0x01, 0x0F}, 0, kSentinel},
      {{0x00}, 0, kSentinel},  // no data byte to pass on
  };
  for (int crcFlag : {0, 1}) {
    for (const Case& c : cases) {
      FakePort port;
      port.ReplyToNextCommand(WireReply(crcFlag ? 0x83 : 0x03, c.payload));
      unsigned char state = kSentinel;
      EXPECT_EQ(UhfCheckANT(port.handle(), &state, crcFlag), c.result);
      EXPECT_EQ(state, c.state);
    }
  }
}

}  // namespace
