// Reader management over the real POSIX backend: a getter, a setter, a register read in the two-byte
// length form and a stop while the reader streams.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "pty_peer.h"
#include "quarn_api.h"
#include "reference_frames.h"

namespace {

using quarn::testing::Bytes;
using quarn::testing::LongReplyFrame;
using quarn::testing::PtyPeer;
using quarn::testing::StuffedFrame;
using quarn::testing::WireReply;

class ReaderWire : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(UhfOpenPort(&port_, peer_.path().c_str(), 6), 1); }
  void TearDown() override { UhfClosePort(&port_); }

  PtyPeer peer_;
  PortHandle port_ = QUARN_INVALID_PORT;
};

TEST_F(ReaderWire, GetsAndSetsThePowerInBothModes) {
  peer_.ReplyInOrder({WireReply(0x81, {0x00, 0x1E}), WireReply(0x02, {0x00})});
  unsigned char power = 0xEE;
  EXPECT_EQ(UhfGetPower(port_, &power, 1), 1);
  EXPECT_EQ(power, 0x1E);
  EXPECT_EQ(UhfSetPower(port_, 0x155, 0x0A, 0), 1);
  const auto commands = peer_.WaitForCommands(2);
  ASSERT_EQ(commands.size(), 2u);
  EXPECT_EQ(commands[0], (Bytes{0xAA, 0x04, 0x81, 0xAF, 0x9D, 0x55}));
  EXPECT_EQ(commands[1], (Bytes{0xAA, 0x04, 0x02, 0x55, 0x0A, 0x55}));
}

TEST_F(ReaderWire, ReadsRegistersFromATwoByteLengthReply) {
  Bytes registers(200);
  for (size_t i = 0; i < registers.size(); ++i) registers[i] = static_cast<uint8_t>(0xA0 + i);
  Bytes payload;
  payload.reserve(registers.size() + 1);
  payload.push_back(0x00);
  payload.insert(payload.end(), registers.begin(), registers.end());
  peer_.ReplyInOrder({StuffedFrame(LongReplyFrame(0xB0, payload))});
  unsigned char errorCode = 0xEE;
  Bytes out(201, 0xEE);
  ASSERT_EQ(UhfGetRegister(port_, 0x0100, 200, &errorCode, out.data(), 1), 1);
  EXPECT_EQ(errorCode, 0x00);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 200), registers);
  EXPECT_EQ(out[200], 0xEE);
  const auto commands = peer_.WaitForCommands(1);
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(Bytes(commands[0].begin(), commands[0].begin() + 7), (Bytes{0xAA, 0x08, 0xB0, 0x01, 0x00, 0x00, 0xC8}));
}

TEST_F(ReaderWire, StopsAReaderThatIsStreamingTagReports) {
  std::atomic<bool> stopped{false};
  peer_.SetResponder([&](const Bytes& command) {
    if (command.size() < 3 || command[2] != 0x12) return Bytes{};
    stopped = true;
    return WireReply(0x12, {0x00});
  });
  std::thread stream([&] {
    const Bytes report = WireReply(0x10, {0x00, 0x30, 0x00, 0xE2, 0x00, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0, 0x11, 0x22});
    while (!stopped) {
      peer_.Send(report);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(UhfStopOperation(port_, 0), 1);
  stream.join();
  EXPECT_TRUE(stopped);
}

}  // namespace
