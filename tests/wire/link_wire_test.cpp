// The link spine over the real POSIX backend, on pseudo-terminals.

#include <gtest/gtest.h>
#include <termios.h>
#include <time.h>

#include <chrono>
#include <thread>

#include "reference_frames.h"
#include "link/exchange.h"
#include "pty_peer.h"
#include "quarn_api.h"

namespace {

using quarn::testing::Bytes;
using quarn::testing::PtyPeer;
using quarn::testing::WireReply;
using Clock = std::chrono::steady_clock;

long ElapsedMs(Clock::time_point start) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

double ThreadCpuMs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

TEST(WirePort, OpensAtEachBaudRateInRawMode) {
  struct Case {
    int options;
    speed_t speed;
  };
  for (const Case& c : {Case{0, B9600}, Case{2, B19200}, Case{4, B57600}, Case{6, B115200}}) {
    PtyPeer peer;
    PortHandle handle = QUARN_INVALID_PORT;
    ASSERT_EQ(UhfOpenPort(&handle, peer.path().c_str(), c.options), 1) << c.options;
    termios settings{};
    ASSERT_EQ(tcgetattr(static_cast<int>(handle), &settings), 0);
    EXPECT_EQ(cfgetospeed(&settings), c.speed) << c.options;
    EXPECT_EQ(cfgetispeed(&settings), c.speed) << c.options;
    EXPECT_EQ(settings.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(settings.c_cflag & (PARENB | CSTOPB), 0u);
    EXPECT_EQ(settings.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_EQ(settings.c_iflag & (IXON | IXOFF | ICRNL), 0u);
    EXPECT_EQ(UhfClosePort(&handle), 1);
  }
}

TEST(WirePort, RefusesOptionsEightAndASecondOpenAndPortsThatDoNotExist) {
  PtyPeer peer;
  PortHandle refused = 7;
  EXPECT_EQ(UhfOpenPort(&refused, peer.path().c_str(), 8), 0);
  EXPECT_EQ(refused, QUARN_INVALID_PORT);

  PortHandle first = QUARN_INVALID_PORT;
  ASSERT_EQ(UhfOpenPort(&first, peer.path().c_str(), 6), 1);
  PortHandle second = QUARN_INVALID_PORT;
  EXPECT_EQ(UhfOpenPort(&second, peer.path().c_str(), 6), 0);
  EXPECT_EQ(second, QUARN_INVALID_PORT);
  EXPECT_EQ(UhfClosePort(&first), 1);
  EXPECT_EQ(first, first);
  ASSERT_EQ(UhfOpenPort(&second, peer.path().c_str(), 6), 1) << "a closed port opens again";
  EXPECT_EQ(UhfClosePort(&second), 1);

  PortHandle missing = QUARN_INVALID_PORT;
  EXPECT_EQ(UhfOpenPort(&missing, "/dev/quarn-no-such-port", 6), 0);
  EXPECT_EQ(UhfOpenPort(&missing, "", 6), 0);
  EXPECT_EQ(missing, QUARN_INVALID_PORT);
}

TEST(WireExchange, PutsExactStuffedBytesOnTheLineAndReadsTheReply) {
  PtyPeer peer;
  peer.ReplyInOrder({WireReply(0x82, {0x00}), WireReply(0x01, {0x00, 0x55})});
  PortHandle port = QUARN_INVALID_PORT;
  ASSERT_EQ(UhfOpenPort(&port, peer.path().c_str(), 6), 1);

  quarn::link::CommandFrame setPower(quarn::link::commands::kSetPower, 1);
  setPower.Byte(0x55).Byte(0xAA);
  ASSERT_TRUE(setPower.Finish());
  quarn::link::ReceivedFrame reply;
  ASSERT_TRUE(quarn::link::ExchangeCommand(port, setPower, reply));
  EXPECT_TRUE(reply.View().Echoes(0x82));

  quarn::link::CommandFrame getPower(quarn::link::commands::kGetPower, 0);
  ASSERT_TRUE(getPower.Finish());
  ASSERT_TRUE(quarn::link::ExchangeCommand(port, getPower, reply));
  EXPECT_EQ(reply.View().DataByte(0), 0x55);

  const auto commands = peer.WaitForCommands(2);
  ASSERT_EQ(commands.size(), 2u);
  EXPECT_EQ(commands[0], Bytes(setPower.bytes(), setPower.bytes() + setPower.size()));
  EXPECT_EQ(commands[1], (Bytes{0xAA, 0x02, 0x01, 0x55}));
  UhfClosePort(&port);
}

TEST(WireExchange, ASendDiscardsWhatTheReaderStreamedBefore) {
  PtyPeer peer;
  PortHandle port = QUARN_INVALID_PORT;
  ASSERT_EQ(UhfOpenPort(&port, peer.path().c_str(), 6), 1);
  peer.Send(quarn::testing::Join({WireReply(0x01, {0x00, 0x11}), WireReply(0x01, {0x00, 0x22})}));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  peer.ReplyInOrder({WireReply(0x01, {0x00, 0x33})});
  quarn::link::CommandFrame getPower(quarn::link::commands::kGetPower, 0);
  ASSERT_TRUE(getPower.Finish());
  quarn::link::ReceivedFrame reply;
  ASSERT_TRUE(quarn::link::ExchangeCommand(port, getPower, reply));
  EXPECT_EQ(reply.View().DataByte(0), 0x33);
  UhfClosePort(&port);
}

TEST(WireExchange, NoReplyTimesOutAfterAboutThreeSeconds) {
  PtyPeer peer;
  PortHandle port = QUARN_INVALID_PORT;
  ASSERT_EQ(UhfOpenPort(&port, peer.path().c_str(), 6), 1);
  quarn::link::CommandFrame getPower(quarn::link::commands::kGetPower, 0);
  ASSERT_TRUE(getPower.Finish());
  quarn::link::ReceivedFrame reply;
  const auto start = Clock::now();
  const double cpuStart = ThreadCpuMs();
  EXPECT_FALSE(quarn::link::ExchangeCommand(port, getPower, reply));
  const double cpuMs = ThreadCpuMs() - cpuStart;
  const long elapsed = ElapsedMs(start);
  EXPECT_GE(elapsed, 2900);
  EXPECT_LE(elapsed, 3600);
  // The wait sleeps in the terminal driver: a loop that polled the port would burn most of the 3 s.
  EXPECT_LT(cpuMs, 50.0);
  UhfClosePort(&port);
}

TEST(WireExchange, ACommandOnAClosedHandleFailsAtItsFirstWrite) {
  PtyPeer peer;
  PortHandle port = QUARN_INVALID_PORT;
  ASSERT_EQ(UhfOpenPort(&port, peer.path().c_str(), 6), 1);
  UhfClosePort(&port);
  quarn::link::CommandFrame getPower(quarn::link::commands::kGetPower, 0);
  ASSERT_TRUE(getPower.Finish());
  quarn::link::ReceivedFrame reply;
  const auto start = Clock::now();
  EXPECT_FALSE(quarn::link::ExchangeCommand(port, getPower, reply));
  EXPECT_LT(ElapsedMs(start), 1000);
}

}  // namespace
