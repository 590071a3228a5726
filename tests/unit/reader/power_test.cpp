// What the power, PA status and frequency exports hand back, and which replies are too short for it.

#include <gtest/gtest.h>

#include <array>

#include "fake_serial.h"
#include "quarn_api.h"

namespace {

using quarn::testing::Bytes;
using quarn::testing::FakePort;
using quarn::testing::WireReply;

constexpr uint8_t kSentinel = 0xEE;

struct Frequency {
  unsigned char freq0 = kSentinel, freq1 = kSentinel, freq23[3] = {kSentinel, kSentinel, kSentinel},
                freq4 = kSentinel, freq5 = kSentinel, freq6 = kSentinel;
  int Read(PortHandle port, int crcFlag) {
    return UhfGetFrequency(port, &freq0, &freq1, freq23, &freq4, &freq5, &freq6, crcFlag);
  }
  std::array<int, 8> All() const { return {freq0, freq1, freq23[0], freq23[1], freq23[2], freq4, freq5, freq6}; }
};

TEST(PaStatus, ConfirmsSuccessWithZeroAndLeavesStatusOnFailure) {
  for (int crcFlag : {0, 1}) {
    FakePort port;
    port.ReplyToNextCommand(WireReply(crcFlag ? 0x80 : 0x00, {0x00}));
    port.ReplyToNextCommand(WireReply(crcFlag ? 0x80 : 0x00, {0x01}));
    unsigned char status = kSentinel;
    EXPECT_EQ(UhfGetPaStatus(port.handle(), &status, crcFlag), 1);
    EXPECT_EQ(status, 0x00);
    status = kSentinel;
    EXPECT_EQ(UhfGetPaStatus(port.handle(), &status, crcFlag), 0);
    EXPECT_EQ(status, kSentinel);
  }
}

TEST(Power, CopiesDataByteZeroUnderAnyStatusWithBitSevenClear) {
  for (int crcFlag : {0, 1}) {
    for (uint8_t status : {0x00, 0x01, 0x7F}) {
      FakePort port;
      port.ReplyToNextCommand(WireReply(crcFlag ? 0x81 : 0x01, {status, 0x1A, 0x99}));
      unsigned char power = kSentinel;
      EXPECT_EQ(UhfGetPower(port.handle(), &power, crcFlag), 1);
      EXPECT_EQ(power, 0x1A);
    }
  }
}

// In CRC mode the two CRC bytes follow the status: they must not be taken for data.
TEST(Power, ReplyWithoutDataFailsAndLeavesPower) {
  for (int crcFlag : {0, 1}) {
    FakePort port;
    port.ReplyToNextCommand(WireReply(crcFlag ? 0x81 : 0x01, {0x00}));
    unsigned char power = kSentinel;
    EXPECT_EQ(UhfGetPower(port.handle(), &power, crcFlag), 0) << crcFlag;
    EXPECT_EQ(power, kSentinel);
  }
}

TEST(Frequency, FillsTheSevenBytesInReplyOrderAndIgnoresExtraData) {
  for (int crcFlag : {0, 1}) {
    FakePort port;
    port.ReplyToNextCommand(WireReply(crcFlag ? 0x85 : 0x05, {0x01, 0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7}));
    Frequency f;
    EXPECT_EQ(f.Read(port.handle(), crcFlag), 1);
    EXPECT_EQ(f.All(), (std::array<int, 8>{0xB0, 0xB1, 0xB2, 0xB3, kSentinel, 0xB4, 0xB5, 0xB6}));
  }
}

TEST(Frequency, SixDataBytesAreTooFewAndNothingIsWritten) {
  for (int crcFlag : {0, 1}) {
    FakePort port;
    port.ReplyToNextCommand(WireReply(crcFlag ? 0x85 : 0x05, {0x00, 0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5}));
    Frequency f;
    EXPECT_EQ(f.Read(port.handle(), crcFlag), 0) << crcFlag;
    EXPECT_EQ(f.All(), Frequency().All());
  }
}

TEST(Frequency, AConfigurationReadAndWrittenBackGoesOutInTheOrderItArrived) {
  FakePort port;
  const Bytes config{0x55, 0xAA, 0x12, 0x34, 0xFF, 0x00, 0x07};
  Bytes reply{0x00};
  reply.insert(reply.end(), config.begin(), config.end());
  port.ReplyToNextCommand(WireReply(0x05, reply));
  port.ReplyToNextCommand(WireReply(0x06, {0x00}));
  Frequency f;
  ASSERT_EQ(f.Read(port.handle(), 0), 1);
  EXPECT_EQ(UhfSetFrequency(port.handle(), f.freq0, f.freq1, f.freq23, f.freq4, f.freq5, f.freq6, 0), 1);
  Bytes expected{0xAA, 0x09, 0x06};
  expected.insert(expected.end(), config.begin(), config.end());
  expected.push_back(0x55);
  EXPECT_EQ(port.lastCommand(), expected);
}

}  // namespace
