// The two receivers against scripted bytes and the virtual clock.

#include <gtest/gtest.h>

#include "fake_serial.h"
#include "link/frame_format.h"
#include "link/frame_io.h"

namespace quarn::link {
namespace {

using testing::Bytes;
using testing::FakePort;
using testing::ReplyFrame;
using testing::StuffedFrame;

enum class Receiver { kFrame, kAntenna };

struct Reception {
  bool ok;
  Bytes frame;
};

Reception Receive(FakePort& port, Receiver receiver = Receiver::kFrame, uint32_t limitMs = 800) {
  uint8_t buffer[kFrameBufferSize];
  size_t length = 0xDEAD;
  const bool ok = (receiver == Receiver::kFrame ? ReceiveFrame(port.handle(), buffer, limitMs, &length)
                                                 : ReceiveAntennaFrame(port.handle(), buffer, limitMs, &length))
                      .ok();
  if (!ok) {
    EXPECT_EQ(length, 0xDEADu) << "a failed reception reported a length";
    return {false, {}};
  }
  return {true, Bytes(buffer, buffer + length)};
}

TEST(ReceiveFrame, TakesThePlainAndTheCrcWorkedFrames) {
  for (const Bytes& frame : {Bytes{0xAA, 0x02, 0x01, 0x55}, Bytes{0xAA, 0x04, 0x81, 0xAF, 0x9D, 0x55}}) {
    FakePort port;
    port.Deliver(frame);
    const Reception got = Receive(port);
    ASSERT_TRUE(got.ok);
    EXPECT_EQ(got.frame, frame);
  }
}

TEST(ReceiveFrame, UnstuffsEveryEscapedByteIncludingLengthAndCrc) {
  // A payload with every special value, and a length of 85 that goes out as FF 55.
  Bytes payload{0x00, 0xAA, 0x55, 0xFF};
  payload.resize(83, 0x55);
  for (uint8_t code : {0x01, 0x81}) {
    const Bytes frame = ReplyFrame(code, payload);
    FakePort port;
    port.Deliver(StuffedFrame(frame));
    const Reception got = Receive(port);
    ASSERT_TRUE(got.ok) << int(code);
    EXPECT_EQ(got.frame, frame);
  }
  FakePort port;
  port.Deliver(StuffedFrame(ReplyFrame(0x01, payload)));
  EXPECT_EQ(Receive(port).frame[1], 85);
}

TEST(ReceiveFrame, SkipsNoiseBeforeTheHead) {
  FakePort port;
  const Bytes frame = ReplyFrame(0x81, {0x00, 0x1A});
  port.Deliver(testing::Join({{0x00, 0x55, 0xFF, 0x13}, StuffedFrame(frame)}));
  const Reception got = Receive(port);
  ASSERT_TRUE(got.ok);
  EXPECT_EQ(got.frame, frame);
}

TEST(ReceiveFrame, ReadsTheTwoByteFormWithItsCodeAtPositionThree) {
  Bytes payload(300, 0x42);
  payload[0] = 0x00;
  for (uint8_t code : {0x30, 0xB0}) {
    const Bytes frame = testing::LongReplyFrame(code, payload);
    FakePort port;
    port.Deliver(StuffedFrame(frame));
    const Reception got = Receive(port);
    ASSERT_TRUE(got.ok) << int(code);
    EXPECT_EQ(got.frame, frame);
    EXPECT_EQ(got.frame[3], code);
  }
}

TEST(ReceiveFrame, FixesTheLengthFromAnEscapedSecondLengthByte) {
  // Body length 0x80 * 1 + 0x55 = 213: the second length byte travels as FF 55.
  const Bytes frame = testing::LongReplyFrame(0x01, Bytes(210, 0x11));
  ASSERT_EQ(frame[2], 0x55);
  FakePort port;
  port.Deliver(StuffedFrame(frame));
  const Reception got = Receive(port);
  ASSERT_TRUE(got.ok);
  EXPECT_EQ(got.frame.size(), 215u);
}

TEST(ReceiveFrame, RefusesMalformedFrames) {
  const Bytes good = ReplyFrame(0x81, {0x00, 0x1A});
  Bytes badCrc = good;
  badCrc[4] ^= 0x01;  // data byte changed under its CRC
  Bytes badTail = StuffedFrame(good);
  badTail.back() = 0x56;
  struct Case {
    const char* what;
    Bytes wire;
    bool antennaToo = true;  // the antenna receiver finds the code two bytes on
  };
  const Case cases[] = {
      {"length byte 0 never reaches its end", {0xAA, 0x00, 0x01, 0x00, 0x55}},
      {"length byte 1 never reaches its end", {0xAA, 0x01, 0x01, 0x55}},
      {"head inside the body", {0xAA, 0x03, 0x01, 0xAA, 0x55}},
      {"escape before an ordinary byte", {0xAA, 0x03, 0x01, 0xFF, 0x12, 0x55}},
      {"wrong tail", badTail},
      {"CRC mismatch", StuffedFrame(badCrc), false},
      {"body length above 2046", {0xAA, 0x8F, 0x7F, 0x01, 0x00, 0x55}},
      {"cut before the tail", {0xAA, 0x03, 0x01, 0x00}},
  };
  for (const Case& c : cases) {
    FakePort port;
    port.Deliver(c.wire);
    EXPECT_FALSE(Receive(port).ok) << c.what;
    if (!c.antennaToo) continue;
    FakePort antennaPort;
    antennaPort.Deliver(c.wire);
    EXPECT_FALSE(Receive(antennaPort, Receiver::kAntenna).ok) << c.what;
  }
}

TEST(ReceiveFrame, ACorruptionThatClearsBitSevenOfTheCodeCountsAsPlain) {
  Bytes frame = ReplyFrame(0x81, {0x00, 0x1A});
  frame[2] = 0x01;
  FakePort port;
  port.Deliver(StuffedFrame(frame));
  const Reception got = Receive(port);
  ASSERT_TRUE(got.ok);
  EXPECT_EQ(got.frame[2], 0x01);
}

TEST(ReceiveFrame, ABodyLengthOf2046FillsTheBufferExactly) {
  const Bytes frame = testing::LongReplyFrame(0x01, Bytes(2043, 0x11));
  ASSERT_EQ(frame.size(), 2048u);
  FakePort port;
  port.Deliver(StuffedFrame(frame));
  const Reception got = Receive(port);
  ASSERT_TRUE(got.ok);
  EXPECT_EQ(got.frame, frame);
}

TEST(ReceiveFrame, GivesUpTheHuntAfterTheFirstEmptyReadPastTheLimit) {
  FakePort port;
  EXPECT_FALSE(Receive(port, Receiver::kFrame, 200).ok);
  EXPECT_EQ(port.now(), FakePort::kReadTimeoutMs);
  EXPECT_EQ(port.readCalls(), 1);
}

TEST(ReceiveFrame, NoiseThatOutlastsTheLimitEndsTheHunt) {
  FakePort port;
  port.Deliver(Bytes(100, 0x13), 10);  // a noise byte every 10 ms for a second
  EXPECT_FALSE(Receive(port, Receiver::kFrame, 800).ok);
  EXPECT_GT(port.now(), 800u);
  EXPECT_LT(port.now(), 830u);
}

TEST(ReceiveFrame, AHeadSeenInTimeKeepsASlowBodyButTheAntennaReceiverRefusesIt) {
  for (Receiver receiver : {Receiver::kFrame, Receiver::kAntenna}) {
    const Bytes frame = receiver == Receiver::kFrame ? ReplyFrame(0x10, {0x00, 0x30, 0x00})
                                                     : testing::AntennaReplyFrame(1, 0x10, {0x00, 0x30, 0x00});
    FakePort port;
    port.Deliver(StuffedFrame(frame), 300);  // one byte every 300 ms: the frame ends after 2.4 s
    const Reception got = Receive(port, receiver, 800);
    EXPECT_EQ(got.ok, receiver == Receiver::kFrame);
    if (got.ok) EXPECT_EQ(got.frame, frame);
  }
}

TEST(ReceiveFrame, AnEmptyReadAfterTheHeadEndsTheReception) {
  FakePort port;
  port.Deliver({0xAA, 0x03, 0x01});
  port.Deliver({0x00, 0x55}, 0, 4000);  // the rest comes after a whole read time-out
  EXPECT_FALSE(Receive(port, Receiver::kFrame, 10000).ok);
}

TEST(ReceiveFrame, AFailedReadEndsTheReceptionAfterTheHeadButNotWhileHunting) {
  const Bytes wire = StuffedFrame(ReplyFrame(0x01, {0x00}));
  FakePort hunting;
  hunting.FailReadNumber(1);
  hunting.Deliver(wire, 0, 10);
  EXPECT_TRUE(Receive(hunting).ok);

  FakePort body;
  body.Deliver(wire);
  body.FailReadNumber(3);
  EXPECT_FALSE(Receive(body).ok);
}

TEST(ReceiveFrame, ElapsedTimeSurvivesTheCounterWrapping) {
  FakePort port;
  port.SetClock(0xFFFFFF00u);
  port.Deliver(StuffedFrame(ReplyFrame(0x01, {0x00})), 0, 500);
  EXPECT_TRUE(Receive(port, Receiver::kFrame, 800).ok);

  FakePort late;
  late.SetClock(0xFFFFFF00u);
  EXPECT_FALSE(Receive(late, Receiver::kFrame, 800).ok);
  EXPECT_EQ(late.readCalls(), 1);
}

TEST(ReceiveFrame, LeavesTheBytesAfterAFrameForTheNextReception) {
  const Bytes first = ReplyFrame(0x10, {0x00, 0x30, 0x00});
  const Bytes second = ReplyFrame(0x10, {0x00, 0x08, 0x00});
  FakePort port;
  port.Deliver(testing::Join({StuffedFrame(first), StuffedFrame(second)}));
  EXPECT_EQ(Receive(port).frame, first);
  EXPECT_EQ(Receive(port).frame, second);
  EXPECT_EQ(port.pendingInput(), 0u);
}

TEST(ReceiveAntennaFrame, ChecksTheCrcByTheCodeBehindMarkerAndAntenna) {
  const Bytes frame = testing::AntennaReplyFrame(2, 0x90, {0x00, 0x30, 0x00});
  FakePort port;
  port.Deliver(StuffedFrame(frame));
  const Reception got = Receive(port, Receiver::kAntenna);
  ASSERT_TRUE(got.ok);
  EXPECT_EQ(got.frame, frame);

  Bytes corrupted = frame;
  corrupted[6] ^= 0x01;
  FakePort bad;
  bad.Deliver(StuffedFrame(corrupted));
  EXPECT_FALSE(Receive(bad, Receiver::kAntenna).ok);

  // The plain receiver looks for the code at position 2 (the marker, 0xFE) and checks the CRC there too.
  FakePort plainReceiver;
  plainReceiver.Deliver(StuffedFrame(corrupted));
  EXPECT_FALSE(Receive(plainReceiver, Receiver::kFrame).ok);
}

}  // namespace
}  // namespace quarn::link

namespace quarn::link {
namespace {

// A port that is gone fails every read at once; hunting on until the time limit would spin.
TEST(ReceiveFrame, AHungUpPortEndsTheReceptionAtOnce) {
  for (const uint32_t limitMs : {800u, 10000u}) {
    testing::FakePort port;
    port.HangUp();
    uint8_t buffer[kFrameBufferSize];
    size_t length = 0;
    EXPECT_EQ(ReceiveFrame(port.handle(), buffer, limitMs, &length).outcome, Outcome::kPortGone);
    EXPECT_EQ(ReceiveAntennaFrame(port.handle(), buffer, limitMs, &length).outcome, Outcome::kPortGone);
    EXPECT_EQ(port.readCalls(), 2);
  }
}

// An ordinary failed read while hunting is a dropped byte; the time check still decides.
TEST(ReceiveFrame, AFailedReadWhileHuntingIsDroppedAndTheReplyBehindItTaken) {
  testing::FakePort port;
  port.FailReadNumber(1);
  port.Deliver(testing::WireReply(0x01, {0x00, 0x1A}));
  EXPECT_TRUE(Receive(port).ok);
  EXPECT_EQ(port.readCalls(), 1 + 6);
}

}  // namespace
}  // namespace quarn::link
