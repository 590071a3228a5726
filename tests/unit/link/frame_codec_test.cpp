// The frame codec pinned to literal frames: CRC, length forms, stuffing on the wire.

#include <gtest/gtest.h>

#include <string>

#include "fake_serial.h"
#include "link/command_frame.h"
#include "link/exchange.h"
#include "link/frame_crc.h"
#include "link/frame_io.h"

namespace quarn::link {
namespace {

using testing::Bytes;
using testing::FakePort;

Bytes Crc(const Bytes& bytes) {
  uint8_t out[2];
  ComputeFrameCrc(bytes.data(), bytes.size(), out);
  return {out[0], out[1]};
}

Bytes Built(CommandFrame& frame) { return Bytes(frame.bytes(), frame.bytes() + frame.size()); }

TEST(FrameCrc, MatchesTheGen2CheckValueAndTheWorkedFrame) {
  const std::string digits = "123456789";
  EXPECT_EQ(Crc(Bytes(digits.begin(), digits.end())), (Bytes{0xD6, 0x4E}));
  EXPECT_EQ(Crc({0x04, 0x81}), (Bytes{0xAF, 0x9D}));
  EXPECT_EQ(Crc({}), (Bytes{0x00, 0x00}));
}

TEST(FrameCrc, AgreesWithTheReferenceOverManyInputs) {
  Bytes bytes;
  for (int i = 0; i < 300; ++i) {
    EXPECT_EQ(Crc(bytes), testing::ReferenceCrc(bytes)) << "length " << i;
    bytes.push_back(static_cast<uint8_t>(i * 37 + 11));
  }
}

TEST(CommandFrame, BuildsTheWorkedFramesInBothModes) {
  CommandFrame plain(commands::kGetPower, 0);
  ASSERT_TRUE(plain.Finish());
  EXPECT_EQ(Built(plain), (Bytes{0xAA, 0x02, 0x01, 0x55}));

  CommandFrame crc(commands::kGetPower, 1);
  ASSERT_TRUE(crc.Finish());
  EXPECT_EQ(Built(crc), (Bytes{0xAA, 0x04, 0x81, 0xAF, 0x9D, 0x55}));
  EXPECT_EQ(crc.code(), 0x81);
}

TEST(CommandFrame, OnlyBitZeroOfTheFlagSelectsCrcMode) {
  for (uint32_t flag : {2u, 0xFFFFFFFEu}) EXPECT_FALSE(CommandFrame(commands::kGetPower, flag).crcMode()) << flag;
  for (uint32_t flag : {1u, 3u, 0xFFFFFFFFu}) EXPECT_TRUE(CommandFrame(commands::kGetPower, flag).crcMode()) << flag;
}

TEST(CommandFrame, SendsOnlyTheLowByteOfIntegersAndWordsHighByteFirst) {
  CommandFrame frame(commands::kSetPower, 0);
  frame.Byte(0x155).Byte(0x1FF).Word16(0x1234);
  ASSERT_TRUE(frame.Finish());
  EXPECT_EQ(Built(frame), (Bytes{0xAA, 0x06, 0x02, 0x55, 0xFF, 0x12, 0x34, 0x55}));
}

// Builds a frame of the given parameter count and returns its length field.
Bytes LengthField(size_t parameterCount, uint32_t crcFlag) {
  CommandFrame frame(commands::kSetRegister, crcFlag, LengthForms::kTwoByteWhenLong);
  for (size_t i = 0; i < parameterCount; ++i) frame.Byte(static_cast<uint32_t>(i));
  EXPECT_TRUE(frame.Finish());
  const bool twoByte = (frame.bytes()[1] & 0x80) != 0;
  return twoByte ? Bytes{frame.bytes()[1], frame.bytes()[2]} : Bytes{frame.bytes()[1]};
}

TEST(CommandFrame, SwitchesToTheTwoByteFormAboveACountOf127) {
  struct Case {
    size_t parameters;
    uint32_t crcFlag;
    Bytes length;
  };
  const Case cases[] = {
      {125, 0, {0x7F}},        // count 127: still one byte
      {126, 0, {0x81, 0x01}},  // count 128: body 129
      {123, 1, {0x7F}},
      {124, 1, {0x81, 0x01}},
      {198, 0, {0x81, 0x49}},  // count 200 -> body 201
      {199, 0, {0x81, 0x4A}},
  };
  for (const Case& c : cases) EXPECT_EQ(LengthField(c.parameters, c.crcFlag), c.length) << c.parameters;
}

TEST(CommandFrame, TwoByteFormMovesTheCodeAndCoversBothLengthBytesWithTheCrc) {
  CommandFrame frame(commands::kSetRegister, 1, LengthForms::kTwoByteWhenLong);
  for (int i = 0; i < 130; ++i) frame.Byte(0x01);
  ASSERT_TRUE(frame.Finish());
  const Bytes built = Built(frame);
  ASSERT_EQ(built.size(), 1u + 2 + 1 + 130 + 2 + 1);
  const size_t body = (built[1] & 0x7F) * 128u + built[2];
  EXPECT_EQ(body, built.size() - 2);
  EXPECT_EQ(built[3], 0xB1);
  const Bytes covered(built.begin() + 1, built.end() - 3);
  EXPECT_EQ(Bytes(built.end() - 3, built.end() - 1), testing::ReferenceCrc(covered));
  EXPECT_EQ(built.back(), 0x55);
}

TEST(CommandFrame, OneByteOnlyFramesKeepTheLowByteOfALongCount) {
  CommandFrame frame(commands::kWriteDataByEpc, 0);
  for (int i = 0; i < 300; ++i) frame.Byte(0x01);
  ASSERT_TRUE(frame.Finish());
  EXPECT_EQ(frame.bytes()[1], (302 & 0xFF));
  EXPECT_EQ(frame.bytes()[2], 0x14);
  EXPECT_EQ(frame.size(), 304u);
}

TEST(CommandFrame, RefusesParametersThatOverflowTheCommandBuffer) {
  // Plain two-byte form: head, two length bytes, code, tail leave 2043 parameter bytes.
  CommandFrame fits(commands::kUpdateSendData, 0, LengthForms::kTwoByteWhenLong);
  for (int i = 0; i < 2043; ++i) fits.Byte(0);
  ASSERT_TRUE(fits.Finish());
  EXPECT_EQ(fits.size(), 2048u);
  EXPECT_EQ(Bytes(fits.bytes() + 1, fits.bytes() + 3), (Bytes{0x8F, 0x7E}));

  CommandFrame tooLong(commands::kUpdateSendData, 0, LengthForms::kTwoByteWhenLong);
  for (int i = 0; i < 2044; ++i) tooLong.Byte(0);
  EXPECT_FALSE(tooLong.Finish());

  CommandFrame crcTooLong(commands::kUpdateSendData, 1, LengthForms::kTwoByteWhenLong);
  for (int i = 0; i < 2042; ++i) crcTooLong.Byte(0);
  EXPECT_FALSE(crcTooLong.Finish());
}

TEST(SendFrame, EscapesEveryBodyByteThatLooksLikeHeadTailOrEscape) {
  FakePort port;
  CommandFrame frame(commands::kSetPower, 0);
  frame.Byte(0xAA).Byte(0x55).Byte(0xFF).Byte(0x00);
  ASSERT_TRUE(frame.Finish());
  ASSERT_TRUE(SendFrame(port.handle(), frame.bytes(), frame.size()));
  EXPECT_EQ(port.written(), (Bytes{0xAA, 0x06, 0x02, 0xFF, 0xAA, 0xFF, 0x55, 0xFF, 0xFF, 0x00, 0x55}));
  EXPECT_EQ(port.purgeCount(), 1);
}

TEST(SendFrame, EscapesALengthOf85AndCrcBytes) {
  FakePort port;
  CommandFrame frame(commands::kSetRegister, 0);
  for (int i = 0; i < 83; ++i) frame.Byte(0x01);
  ASSERT_TRUE(frame.Finish());
  ASSERT_TRUE(SendFrame(port.handle(), frame.bytes(), frame.size()));
  EXPECT_EQ(Bytes(port.written().begin(), port.written().begin() + 3), (Bytes{0xAA, 0xFF, 0x55}));
  EXPECT_EQ(port.lastCommand(), Built(frame));

  // Some CRC of a one-parameter frame has a byte to escape; find one and check it goes out escaped.
  for (uint32_t value = 0; value < 256; ++value) {
    CommandFrame crcFrame(commands::kSetPower, 1);
    crcFrame.Byte(value);
    ASSERT_TRUE(crcFrame.Finish());
    const Bytes built = Built(crcFrame);
    if (!(built[4] == 0xAA || built[4] == 0x55 || built[4] == 0xFF)) continue;
    FakePort crcPort;
    ASSERT_TRUE(SendFrame(crcPort.handle(), crcFrame.bytes(), crcFrame.size()));
    EXPECT_EQ(crcPort.written(), testing::StuffedFrame(built));
    EXPECT_EQ(crcPort.lastCommand(), built);
    return;
  }
  FAIL() << "no CRC byte needed escaping";
}

TEST(SendFrame, StopsAtTheFirstFailedWrite) {
  FakePort port;
  CommandFrame frame(commands::kSetPower, 0);
  frame.Byte(0x55).Byte(0x01);
  ASSERT_TRUE(frame.Finish());
  // Writes: AA, 04, 02, FF(escape), 55, 01, 55. The fifth fails.
  port.FailWriteNumber(5);
  EXPECT_FALSE(SendFrame(port.handle(), frame.bytes(), frame.size()));
  EXPECT_EQ(port.written(), (Bytes{0xAA, 0x04, 0x02, 0xFF}));
  EXPECT_EQ(port.writeCalls(), 5);
}

}  // namespace
}  // namespace quarn::link
