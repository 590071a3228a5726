// A reply may take the two-byte length form with a short body: the register read to the end of the space
// always asks for it, however few bytes remain. Its code then stands at position 3, and a CRC-mode reply
// of that form must have its CRC checked and its CRC bytes kept out of the data like any other.

#include <gtest/gtest.h>

#include "fake_serial.h"
#include "quarn_api.h"

namespace {

using quarn::testing::Bytes;
using quarn::testing::FakePort;
using quarn::testing::LongReplyFrame;
using quarn::testing::StuffedFrame;

constexpr uint8_t kSentinel = 0xC5;

// The register read from 0x1F0 to the end: 16 bytes, in CRC mode, answered in the two-byte form.
Bytes RegisterTail() {
  Bytes payload{0x00};
  for (uint8_t i = 0; i < 16; ++i) payload.push_back(static_cast<uint8_t>(0x10 + i));
  return payload;
}

int ReadTail(const Bytes& unstuffedReply, Bytes& data, uint8_t& errorCode) {
  FakePort port;
  port.ReplyToNextCommand(StuffedFrame(unstuffedReply));
  return UhfGetRegister(port.handle(), 0x1F0, 0, &errorCode, data.data(), 1);
}

TEST(ShortTwoByteForm, AGoodCrcModeReplyIsRead) {
  Bytes data(16, kSentinel);
  uint8_t errorCode = kSentinel;
  const Bytes payload = RegisterTail();
  EXPECT_EQ(ReadTail(LongReplyFrame(0xB0, payload), data, errorCode), 1);
  EXPECT_EQ(data, Bytes(payload.begin() + 1, payload.end()));
  EXPECT_EQ(errorCode, 0x00);
}

TEST(ShortTwoByteForm, ACorruptedCrcModeReplyIsRefused) {
  struct Case {
    const char* name;
    size_t position;  // in the unstuffed frame
  };
  const Bytes good = LongReplyFrame(0xB0, RegisterTail());
  const Case cases[] = {{"a data byte", 8}, {"the CRC's low byte", good.size() - 2}};
  for (const Case& c : cases) {
    Bytes corrupt = good;
    corrupt[c.position] ^= 0x01;
    Bytes data(16, kSentinel);
    uint8_t errorCode = kSentinel;
    EXPECT_EQ(ReadTail(corrupt, data, errorCode), 0) << c.name;
    EXPECT_EQ(data, Bytes(16, kSentinel)) << c.name;
    EXPECT_EQ(errorCode, 0xFF) << c.name;
  }
}

TEST(ShortTwoByteForm, TheCrcIsNeverTakenForData) {
  // One data byte short: the two CRC bytes behind the data must not make up the count.
  Bytes payload = RegisterTail();
  payload.pop_back();
  Bytes data(16, kSentinel);
  uint8_t errorCode = kSentinel;
  EXPECT_EQ(ReadTail(LongReplyFrame(0xB0, payload), data, errorCode), 0);
  EXPECT_EQ(data, Bytes(16, kSentinel));
  EXPECT_EQ(errorCode, 0xFF);
}

}  // namespace
