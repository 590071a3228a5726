// The firmware update's own port opening over the real POSIX backend, and a whole update sequence.

#include <gtest/gtest.h>
#include <termios.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "pty_peer.h"
#include "quarn_api.h"
#include "reference_frames.h"

namespace {

using quarn::testing::Bytes;
using quarn::testing::PtyPeer;
using quarn::testing::WireReply;

TEST(UpdateWire, StartsAtEachBaudSelectionAndSetsThatSpeed) {
  struct Case {
    int options;
    speed_t speed;
  };
  for (const Case& c : {Case{0x00, B9600}, Case{0x02, B19200}, Case{0x04, B57600}, Case{0x06, B115200}}) {
    PtyPeer peer;
    peer.ReplyInOrder({WireReply(0x53, {0x00, 0x78, 0x56, 0x34, 0x12})});
    PortHandle port = QUARN_INVALID_PORT;
    unsigned char status = 0xEE;
    int initValue = 0;
    ASSERT_EQ(UhfUpdateInit(&port, peer.path().c_str(), &status, &initValue, c.options), 1) << c.options;
    EXPECT_EQ(status, 0x00);
    const unsigned char expected[4] = {0x78, 0x56, 0x34, 0x12};
    EXPECT_EQ(std::memcmp(&initValue, expected, 4), 0);
    termios settings{};
    ASSERT_EQ(tcgetattr(static_cast<int>(port), &settings), 0);
    EXPECT_EQ(cfgetospeed(&settings), c.speed);
    EXPECT_EQ(peer.WaitForCommands(1).at(0), (Bytes{0xAA, 0x02, 0x53, 0x55}));
    UhfClosePort(&port);
  }
}

TEST(UpdateWire, ARefusedSelectionSendsNothingAndLeavesNothingOpen) {
  PtyPeer peer;
  PortHandle port = 5;
  unsigned char status = 0xEE;
  int initValue = 0x11223344;
  EXPECT_EQ(UhfUpdateInit(&port, peer.path().c_str(), &status, &initValue, 0x08), 0);
  EXPECT_EQ(port, QUARN_INVALID_PORT);
  EXPECT_EQ(status, 0xEE);
  EXPECT_EQ(initValue, 0x11223344);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(peer.commands().empty());
  // Nothing was left holding the port: it opens at once.
  PortHandle again = QUARN_INVALID_PORT;
  EXPECT_EQ(UhfOpenPort(&again, peer.path().c_str(), 6), 1);
  UhfClosePort(&again);
}

TEST(UpdateWire, RunsACrcModeSequenceFromStartToCommit) {
  PtyPeer peer;
  peer.ReplyInOrder({WireReply(0xD3, {0x00, 1, 2, 3, 4}), WireReply(0xD4, {0x00}), WireReply(0xD6, {0x00}),
                     WireReply(0xD7, {0x00}), WireReply(0xD7, {0x00}), WireReply(0xD8, {0x00})});
  PortHandle port = QUARN_INVALID_PORT;
  unsigned char status = 0xEE;
  int initValue = 0;
  ASSERT_EQ(UhfUpdateInit(&port, peer.path().c_str(), &status, &initValue, 0x07), 1);
  const unsigned char rn32[4] = {0xAA, 0x55, 0xFF, 0x00};
  EXPECT_EQ(UhfUpdateSendRN32(port, rn32, &status, 1), 1);
  const unsigned char size[4] = {0x00, 0x00, 0x01, 0x00};
  EXPECT_EQ(UhfUpdateSendSize(port, &status, size, 1), 1);
  Bytes block(200);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i);
  EXPECT_EQ(UhfUpdateSendData(port, &status, 0, 1, 200, block.data(), 1), 1);
  EXPECT_EQ(UhfUpdateSendData(port, &status, 0, 2, 56, block.data(), 1), 1);
  EXPECT_EQ(UhfUpdateCommit(port, &status, 1), 1);
  EXPECT_EQ(status, 0x00);
  const auto commands = peer.WaitForCommands(6);
  ASSERT_EQ(commands.size(), 6u);
  EXPECT_EQ(commands[0], (Bytes{0xAA, 0x04, 0xD3, 0xD5, 0x2A, 0x55}));
  EXPECT_EQ(commands[5], (Bytes{0xAA, 0x04, 0xD8, 0x64, 0x41, 0x55}));
  // 200 data bytes take the two-byte length form: body 2 + 1 + 2 + 200 + 2 = 207 (0x81 0x4F).
  EXPECT_EQ(Bytes(commands[3].begin(), commands[3].begin() + 6), (Bytes{0xAA, 0x81, 0x4F, 0xD7, 0x00, 0x01}));
  EXPECT_EQ(commands[3].size(), 209u);
  UhfClosePort(&port);
}

}  // namespace
