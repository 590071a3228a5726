// The register read and write: the length forms on both sides, the read-to-end rule, errorCode on every
// path, and the limits of the 2048-byte buffers.

#include <gtest/gtest.h>

#include <vector>

#include "fake_serial.h"
#include "quarn_api.h"

namespace {

using quarn::testing::Bytes;
using quarn::testing::FakePort;
using quarn::testing::Join;
using quarn::testing::LongReplyFrame;
using quarn::testing::ReplyFrame;
using quarn::testing::StuffedFrame;

constexpr uint8_t kSentinel = 0xEE;

Bytes Pattern(size_t count) {
  Bytes data(count);
  for (size_t i = 0; i < count; ++i) data[i] = static_cast<uint8_t>(i * 3 + 1);
  return data;
}

uint8_t ReadCode(int crcFlag) { return crcFlag ? 0xB0 : 0x30; }
uint8_t WriteCode(int crcFlag) { return crcFlag ? 0xB1 : 0x31; }

// A read whose caller buffer is one byte longer than the copy, to show where the copy stops.
struct Read {
  std::vector<unsigned char> data;
  unsigned char errorCode = kSentinel;
  int result = -1;
  Read(FakePort& port, int address, int count, size_t copy, int crcFlag) : data(copy + 1, kSentinel) {
    result = UhfGetRegister(port.handle(), address, count, &errorCode, data.data(), crcFlag);
  }
  bool Untouched() const {
    for (unsigned char b : data) {
      if (b != kSentinel) return false;
    }
    return true;
  }
  Bytes Copied(size_t n) const { return Bytes(data.begin(), data.begin() + static_cast<long>(n)); }
};

TEST(GetRegister, ReplyFormFollowsTheCountAndTheMode) {
  struct Case {
    int crcFlag;
    int count;
    bool twoByteForm;
  };
  const Case cases[] = {{0, 124, false}, {0, 125, true}, {1, 122, false}, {1, 123, true}, {1, 124, true}};
  for (const Case& c : cases) {
    const Bytes data = Pattern(static_cast<size_t>(c.count));
    const Bytes payload = Join({{0x00}, data});
    // ReplyFrame itself takes the two-byte form exactly when the reply's count exceeds 127.
    const Bytes reply = ReplyFrame(ReadCode(c.crcFlag), payload);
    ASSERT_EQ((reply[1] & 0x80) != 0, c.twoByteForm);
    FakePort port;
    port.ReplyToNextCommand(StuffedFrame(reply));
    Read read(port, 0x10, c.count, data.size(), c.crcFlag);
    EXPECT_EQ(read.result, 1) << c.count << " crcFlag " << c.crcFlag;
    EXPECT_EQ(read.errorCode, 0x00);
    EXPECT_EQ(read.Copied(data.size()), data);
    EXPECT_EQ(read.data.back(), kSentinel);
    if (!c.twoByteForm) {
      // The same data in the other form is read at the wrong positions.
      FakePort other;
      other.ReplyToNextCommand(StuffedFrame(LongReplyFrame(ReadCode(c.crcFlag), payload)));
      Read refused(other, 0x10, c.count, data.size(), c.crcFlag);
      EXPECT_EQ(refused.result, 0) << c.count;
      EXPECT_EQ(refused.errorCode, 0xFF);
      EXPECT_TRUE(refused.Untouched());
    }
  }
}

TEST(GetRegister, CountZeroCopiesTheRestOfTheRegisterSpace) {
  struct Case {
    int address;
    size_t copy;
  };
  const Case cases[] = {{0x100, 256}, {0x000, 512}, {0x1FF, 1}, {0x200, 0}, {0x3FF, 0}, {0x10100, 256}};
  for (int crcFlag : {0, 1}) {
    for (const Case& c : cases) {
      const Bytes data = Pattern(c.copy);
      FakePort port;
      port.ReplyToNextCommand(StuffedFrame(LongReplyFrame(ReadCode(crcFlag), Join({{0x00}, data}))));
      Read read(port, c.address, 0, c.copy, crcFlag);
      EXPECT_EQ(read.result, 1) << std::hex << c.address;
      EXPECT_EQ(read.errorCode, 0x00);
      EXPECT_EQ(read.Copied(c.copy), data);
      EXPECT_EQ(read.data.back(), kSentinel) << std::hex << c.address;
      EXPECT_EQ(port.lastCommand()[5], 0x00);
      EXPECT_EQ(port.lastCommand()[6], 0x00);
    }
  }
}

TEST(GetRegister, CountZeroRefusesAOneByteFormReplyEvenWhenShort) {
  for (int address : {0x1FF, 0x200}) {
    FakePort port;
    port.ReplyToNextCommand(StuffedFrame(ReplyFrame(0x30, address < 0x200 ? Bytes{0x00, 0x42} : Bytes{0x00})));
    Read read(port, address, 0, 1, 0);
    EXPECT_EQ(read.result, 0) << std::hex << address;
    EXPECT_EQ(read.errorCode, 0xFF);
    EXPECT_TRUE(read.Untouched());
  }
}

TEST(GetRegister, ARefusingStatusIsReportedWhateverTheReplyLength) {
  const Bytes replies[] = {ReplyFrame(0x30, {0x05}), ReplyFrame(0x30, Join({{0x05}, Pattern(8)}))};
  for (const Bytes& reply : replies) {
    FakePort port;
    port.ReplyToNextCommand(StuffedFrame(reply));
    Read read(port, 0x10, 4, 4, 0);
    EXPECT_EQ(read.result, 0);
    EXPECT_EQ(read.errorCode, 0x05);
    EXPECT_TRUE(read.Untouched());
  }
}

TEST(GetRegister, DataShorterThanTheCountFailsAndLongerIsCut) {
  for (int crcFlag : {0, 1}) {
    FakePort shortPort;
    shortPort.ReplyToNextCommand(StuffedFrame(ReplyFrame(ReadCode(crcFlag), Join({{0x00}, Pattern(3)}))));
    Read shortRead(shortPort, 0x10, 4, 4, crcFlag);
    EXPECT_EQ(shortRead.result, 0);
    EXPECT_EQ(shortRead.errorCode, 0xFF);
    EXPECT_TRUE(shortRead.Untouched());

    FakePort longPort;
    longPort.ReplyToNextCommand(StuffedFrame(ReplyFrame(ReadCode(crcFlag), Join({{0x00}, Pattern(6)}))));
    Read longRead(longPort, 0x10, 4, 4, crcFlag);
    EXPECT_EQ(longRead.result, 1);
    EXPECT_EQ(longRead.Copied(4), Pattern(4));
    EXPECT_EQ(longRead.data.back(), kSentinel);
  }
}

// The write's frame, built by the test's own envelope (the same rule as a reply's), and its length bytes.
TEST(SetRegister, TakesTheTwoByteFormWhenTheOneByteCountWouldExceed127) {
  struct Case {
    int crcFlag;
    int count;
    Bytes lengthField;
  };
  const Case cases[] = {
      {0, 121, {0x7F}}, {0, 122, {0x81, 0x01}}, {1, 119, {0x7F}}, {1, 120, {0x81, 0x01}}, {0, 300, {0x82, 0x33}},
  };
  for (const Case& c : cases) {
    const Bytes data = Pattern(static_cast<size_t>(c.count));
    FakePort port;
    port.ReplyToNextCommand(StuffedFrame(ReplyFrame(WriteCode(c.crcFlag), {0x00})));
    unsigned char errorCode = kSentinel;
    EXPECT_EQ(UhfSetRegister(port.handle(), 0x1A0, c.count, data.data(), &errorCode, c.crcFlag), 1) << c.count;
    EXPECT_EQ(errorCode, 0x00);
    const Bytes count{static_cast<uint8_t>(c.count >> 8), static_cast<uint8_t>(c.count)};
    const Bytes expected = ReplyFrame(WriteCode(c.crcFlag), Join({{0x01, 0xA0}, count, data}));
    EXPECT_EQ(port.lastCommand(), expected) << c.count << " crcFlag " << c.crcFlag;
    EXPECT_EQ(Bytes(expected.begin() + 1, expected.begin() + 1 + static_cast<long>(c.lengthField.size())),
              c.lengthField);
    EXPECT_EQ(expected[1 + c.lengthField.size()], WriteCode(c.crcFlag));
  }
}

TEST(SetRegister, ARefusingStatusBecomesTheErrorCode) {
  FakePort port;
  port.ReplyToNextCommand(StuffedFrame(ReplyFrame(0x31, {0x05})));
  const Bytes data = Pattern(2);
  unsigned char errorCode = kSentinel;
  EXPECT_EQ(UhfSetRegister(port.handle(), 0x10, 2, data.data(), &errorCode, 0), 0);
  EXPECT_EQ(errorCode, 0x05);
}

// The largest frame fills the command buffer exactly; one more byte is refused before anything is sent.
TEST(SetRegister, AFrameBeyondTheCommandBufferIsNeverSent) {
  const Bytes data = Pattern(70000);
  FakePort fits;
  fits.ReplyToNextCommand(StuffedFrame(ReplyFrame(0xB1, {0x00})));
  unsigned char errorCode = kSentinel;
  EXPECT_EQ(UhfSetRegister(fits.handle(), 0, 2037, data.data(), &errorCode, 1), 1);
  EXPECT_EQ(fits.lastCommand().size(), 2048u);
  for (int crcFlag : {0, 1}) {
    for (int count : {2040, 2048, 65535, 65536 + 4, 70000}) {
      FakePort port;
      errorCode = kSentinel;
      EXPECT_EQ(UhfSetRegister(port.handle(), 0, count, data.data(), &errorCode, crcFlag), 0) << count;
      EXPECT_EQ(errorCode, 0xFF) << count;
      EXPECT_TRUE(port.written().empty()) << count;
      EXPECT_EQ(port.purgeCount(), 0) << count;
    }
  }
  FakePort oneMore;
  errorCode = kSentinel;
  EXPECT_EQ(UhfSetRegister(oneMore.handle(), 0, 2038, data.data(), &errorCode, 1), 0);
  EXPECT_TRUE(oneMore.written().empty());
  FakePort plainFits;
  plainFits.ReplyToNextCommand(StuffedFrame(ReplyFrame(0x31, {0x00})));
  EXPECT_EQ(UhfSetRegister(plainFits.handle(), 0, 2039, data.data(), &errorCode, 0), 1);
  EXPECT_EQ(plainFits.lastCommand().size(), 2048u);
  FakePort plainOneMore;
  EXPECT_EQ(UhfSetRegister(plainOneMore.handle(), 0, 2040, data.data(), &errorCode, 0), 0);
  EXPECT_TRUE(plainOneMore.written().empty());
}

TEST(MultiAntSetting, ReadsAndWritesTheOneRegisterByte) {
  for (int crcFlag : {0, 1}) {
    FakePort port;
    port.ReplyToNextCommand(StuffedFrame(ReplyFrame(ReadCode(crcFlag), {0x00, 0x03, 0x77})));
    port.ReplyToNextCommand(StuffedFrame(ReplyFrame(ReadCode(crcFlag), {0x05, 0x04})));
    unsigned char setting[2] = {kSentinel, kSentinel};
    EXPECT_EQ(UhfGetMultiANT(port.handle(), setting, crcFlag), 1);
    EXPECT_EQ(setting[0], 0x03);
    EXPECT_EQ(setting[1], kSentinel);
    setting[0] = kSentinel;
    EXPECT_EQ(UhfGetMultiANT(port.handle(), setting, crcFlag), 0);
    EXPECT_EQ(setting[0], kSentinel);
  }
}

}  // namespace
