// What the version, UID and transparent-transfer exports hand back, and when they keep the caller's bytes.

#include <gtest/gtest.h>

#include <cstring>

#include "fake_serial.h"
#include "quarn_api.h"

namespace {

using quarn::testing::Bytes;
using quarn::testing::FakePort;
using quarn::testing::WireReply;

constexpr uint8_t kSentinel = 0xEE;

Bytes Payload(uint8_t status, size_t dataCount) {
  Bytes payload{status};
  for (size_t k = 0; k < dataCount; ++k) payload.push_back(static_cast<uint8_t>(0xA0 + k));
  return payload;
}

Bytes Range(uint8_t first, size_t count) {
  Bytes bytes(count);
  for (size_t k = 0; k < count; ++k) bytes[k] = static_cast<uint8_t>(first + k);
  return bytes;
}

TEST(Version, SplitsNineBytesIntoTheTwoBlocksUnderAStatusWithBitSevenClear) {
  for (int crcFlag : {0, 1}) {
    for (uint8_t status : {0x00, 0x01}) {
      FakePort port;
      port.ReplyToNextCommand(WireReply(crcFlag ? 0x87 : 0x07, Payload(status, 10)));
      unsigned char block1[7], block2[4];
      std::memset(block1, kSentinel, sizeof block1);
      std::memset(block2, kSentinel, sizeof block2);
      EXPECT_EQ(UhfGetVersion(port.handle(), block1, block2, crcFlag), 1);
      EXPECT_EQ(Bytes(block1, block1 + 7), (Bytes{0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, kSentinel}));
      EXPECT_EQ(Bytes(block2, block2 + 4), (Bytes{0xA6, 0xA7, 0xA8, kSentinel}));
    }
  }
}

TEST(ReaderUid, CopiesTwelveBytesAndNoMore) {
  for (int crcFlag : {0, 1}) {
    FakePort port;
    port.ReplyToNextCommand(WireReply(crcFlag ? 0x8A : 0x0A, Payload(0x00, 14)));
    unsigned char uid[13];
    std::memset(uid, kSentinel, sizeof uid);
    EXPECT_EQ(UhfGetReaderUID(port.handle(), uid, crcFlag), 1);
    Bytes expected = Range(0xA0, 12);
    expected.push_back(kSentinel);
    EXPECT_EQ(Bytes(uid, uid + 13), expected);
  }
}

// One byte short of the copy: the CRC of a CRC-mode reply must not stand in for the missing data.
TEST(Identity, RepliesOneByteShortFailAndWriteNothing) {
  for (int crcFlag : {0, 1}) {
    FakePort port;
    port.ReplyToNextCommand(WireReply(crcFlag ? 0x87 : 0x07, Payload(0x00, 8)));
    port.ReplyToNextCommand(WireReply(crcFlag ? 0x8A : 0x0A, Payload(0x00, 11)));
    unsigned char buffer[12];
    std::memset(buffer, kSentinel, sizeof buffer);
    EXPECT_EQ(UhfGetVersion(port.handle(), buffer, buffer + 6, crcFlag), 0);
    EXPECT_EQ(UhfGetReaderUID(port.handle(), buffer, crcFlag), 0);
    EXPECT_EQ(Bytes(buffer, buffer + 12), Bytes(12, kSentinel));
  }
}

TEST(TransparentTransfer, SetsStatusToZeroOnlyOnSuccess) {
  struct Case {
    int enable;
    uint8_t code;
    uint8_t replyStatus;
    int result;
  };
  const Case cases[] = {{1, 0x0B, 0x00, 1}, {0, 0x1B, 0x00, 1}, {0x100, 0x1B, 0x00, 1}, {1, 0x0B, 0x01, 0},
                        {0, 0x1B, 0x01, 0}, {1, 0x1B, 0x00, 0}, {0, 0x0B, 0x00, 0}};
  for (const Case& c : cases) {
    FakePort port;
    port.ReplyToNextCommand(WireReply(c.code, {c.replyStatus}));
    unsigned char status = kSentinel;
    EXPECT_EQ(UhfSetTransparentTransfer(port.handle(), c.enable, &status, 0), c.result) << c.enable;
    EXPECT_EQ(status, c.result ? 0x00 : kSentinel) << c.enable;
  }
}

}  // namespace
