// What the two receivers and the sender name, once for each receiver kind and mode: every framing fault,
// the CRC, the time limit, the port gone while hunting, mid-frame or mid-escape, an unusable port, and a
// command whose nth byte cannot be written.

#include <gtest/gtest.h>

#include <algorithm>

#include "link/command_frame.h"
#include "link/exchange.h"
#include "link/frame_format.h"
#include "link/frame_io.h"
#include "outcome_harness.h"

namespace quarn::outcomes {

namespace {

using link::FrameKind;

constexpr uint32_t kLimitMs = 800;

struct Reception {
  Result result;
  size_t length;
  uint32_t elapsedMs;
};

Reception Receive(FakePort& port, FrameKind kind) {
  uint8_t buffer[link::kFrameBufferSize];
  size_t length = 0;
  const uint32_t start = port.now();
  const Result result = kind == FrameKind::kAntenna ? link::ReceiveAntennaFrame(port.handle(), buffer, kLimitMs, &length)
                                                    : link::ReceiveFrame(port.handle(), buffer, kLimitMs, &length);
  return {result, length, port.now() - start};
}

// A good frame of each kind: a status and data bytes that need escaping.
Bytes GoodFrame(FrameKind kind, bool crc) {
  const uint8_t code = crc ? 0x81 : 0x01;
  const Bytes payload = {0x00, 0x55, 0x1E, 0xAA};
  return kind == FrameKind::kAntenna ? testing::AntennaReplyFrame(0x02, code, payload) : testing::ReplyFrame(code, payload);
}

Bytes Stuffed(const Bytes& frame) { return testing::StuffedFrame(frame); }

// The frame's wire bytes with raw bytes, unescaped, before the byte that holds unstuffed position at.
Bytes WithRaw(const Bytes& frame, size_t at, const Bytes& raw) {
  const Bytes head = Stuffed(testing::Join({Bytes(frame.begin(), frame.begin() + static_cast<long>(at)), {0x55}}));
  const Bytes rest = Stuffed(testing::Join({{0xAA}, Bytes(frame.begin() + static_cast<long>(at), frame.end())}));
  return testing::Join({Bytes(head.begin(), head.end() - 1), raw, Bytes(rest.begin() + 1, rest.end())});
}

struct FramingFault {
  const char* what;
  Bytes (*wire)(const Bytes& frame, bool crc);
  Outcome outcome;
};

const FramingFault kFramingFaults[] = {
    {"the frame itself", [](const Bytes& f, bool) { return Stuffed(f); }, Outcome::kSuccess},
    {"noise, then the frame", [](const Bytes& f, bool) { return testing::Join({{0x01, 0x55, 0xFF, 0x00}, Stuffed(f)}); },
     Outcome::kSuccess},
    {"silence", [](const Bytes&, bool) { return Bytes{}; }, Outcome::kNoReply},
    {"an escape before the code", [](const Bytes& f, bool) { return WithRaw(f, 2, {0xFF, 0x01}); }, Outcome::kBadEscape},
    {"an escape before the last body byte",
     [](const Bytes& f, bool) { return WithRaw(f, f.size() - 2, {0xFF, 0x10}); }, Outcome::kBadEscape},
    {"a bare head after the length", [](const Bytes& f, bool) { return WithRaw(f, 2, {0xAA}); },
     Outcome::kUnescapedHeadOrTail},
    {"a bare tail before the last body byte", [](const Bytes& f, bool) { return WithRaw(f, f.size() - 2, {0x55}); },
     Outcome::kUnescapedHeadOrTail},
    {"a length shorter than the header", [](const Bytes& f, bool) {
       Bytes frame = f;
       frame[1] = 0x01;
       return Stuffed(frame);
     },
     Outcome::kUnescapedHeadOrTail},
    {"a wrong tail", [](const Bytes& f, bool) {
       Bytes wire = Stuffed(f);
       wire.back() = 0xAA;
       return wire;
     },
     Outcome::kWrongTail},
    {"a length one short", [](const Bytes& f, bool) {
       Bytes frame = f;
       --frame[1];
       return Stuffed(frame);
     },
     Outcome::kWrongTail},
    {"a body length of 2047", [](const Bytes&, bool) { return Bytes{0xAA, 0x8F, 0x7F, 0x01, 0x00, 0x55}; },
     Outcome::kTooLong},
    {"the largest body length of the two-byte form",
     [](const Bytes&, bool) { return Bytes{0xAA, 0xFF, 0xFF, 0x7F, 0x01, 0x00, 0x55}; }, Outcome::kTooLong},
    {"cut before the tail", [](const Bytes& f, bool) {
       const Bytes wire = Stuffed(f);
       return Bytes(wire.begin(), wire.end() - 1);
     },
     Outcome::kCutOff},
    {"cut after an escape", [](const Bytes& f, bool) {
       const Bytes wire = Stuffed(f);
       const auto escape = std::find(wire.begin() + 1, wire.end(), 0xFF);
       return Bytes(wire.begin(), escape + 1);
     },
     Outcome::kCutOff},
    {"cut after the head", [](const Bytes&, bool) { return Bytes{0xAA}; }, Outcome::kCutOff},
    {"a flipped CRC bit", [](const Bytes& f, bool crc) {
       Bytes frame = f;
       if (crc) frame[frame.size() - 3] ^= 0x20;
       return Stuffed(frame);
     },
     Outcome::kCrcMismatch},
    {"a flipped data bit under the CRC", [](const Bytes& f, bool crc) {
       Bytes frame = f;
       if (crc) frame[frame.size() - 4] ^= 0x01;
       return Stuffed(frame);
     },
     Outcome::kCrcMismatch},
};

const char* KindName(FrameKind kind) { return kind == FrameKind::kAntenna ? "antenna frames" : "plain frames"; }

TEST(LineOutcomes, EachReceiverNamesEachFramingFault) {
  for (FrameKind kind : {FrameKind::kPlain, FrameKind::kAntenna}) {
    for (bool crc : {false, true}) {
      const Bytes frame = GoodFrame(kind, crc);
      for (const FramingFault& fault : kFramingFaults) {
        // A plain frame carries no check: its flipped bit arrives as a good frame.
        const bool noCheck = !crc && fault.outcome == Outcome::kCrcMismatch;
        const Outcome expected = noCheck ? Outcome::kSuccess : fault.outcome;
        FakePort port;
        port.Deliver(fault.wire(frame, crc));
        const Reception got = Receive(port, kind);
        EXPECT_TRUE(SameResult(got.result, Fails(expected)))
            << fault.what << ", " << KindName(kind) << (crc ? ", CRC mode" : ", plain mode");
        if (expected == Outcome::kSuccess) {
          EXPECT_EQ(got.length, frame.size()) << fault.what;
        }
      }
    }
  }
}

TEST(LineOutcomes, TheTimeLimitEndsTheHuntForBothAndTheFrameForTheAntennaReceiver) {
  for (bool crc : {false, true}) {
    for (FrameKind kind : {FrameKind::kPlain, FrameKind::kAntenna}) {
      FakePort slow;
      slow.Deliver(Stuffed(GoodFrame(kind, crc)), kLimitMs / 4 + 1);
      const Outcome slowOutcome = kind == FrameKind::kAntenna ? Outcome::kCutOff : Outcome::kSuccess;
      EXPECT_TRUE(SameResult(Receive(slow, kind).result, Fails(slowOutcome))) << KindName(kind);
      FakePort noisy;
      noisy.Deliver(Bytes(100, 0x42), kLimitMs / 50);
      EXPECT_TRUE(SameResult(Receive(noisy, kind).result, Fails(Outcome::kNoReply))) << KindName(kind);
      FakePort late;
      late.Deliver(Stuffed(GoodFrame(kind, crc)), 0, kLimitMs + FakePort::kReadTimeoutMs + 1);
      EXPECT_TRUE(SameResult(Receive(late, kind).result, Fails(Outcome::kNoReply))) << KindName(kind);
    }
  }
}

// A port that is gone or no port at all ends the reception at the read that says so, in every state.
TEST(LineOutcomes, APortGoneOrUnusableEndsTheReceptionAtOnce) {
  struct PortFault {
    const char* what;
    bool unusable;
    int readNumber;  // the read at which the port goes (counted over noise and frame)
  };
  const Bytes noise = {0x01, 0x02, 0x03};
  for (FrameKind kind : {FrameKind::kPlain, FrameKind::kAntenna}) {
    for (bool crc : {false, true}) {
      const Bytes wire = testing::Join({noise, Stuffed(GoodFrame(kind, crc))});
      const auto escape = std::find(wire.begin() + 4, wire.end(), 0xFF) - wire.begin();
      const PortFault faults[] = {
          {"gone while hunting", false, 2},
          {"gone after the head", false, 5},
          {"gone after an escape", false, static_cast<int>(escape) + 2},
          {"gone before the tail", false, static_cast<int>(wire.size())},
          {"unusable", true, 1},
      };
      for (const PortFault& fault : faults) {
        FakePort port;
        port.Deliver(wire);
        if (fault.unusable) {
          port.MakeUnusable();
        } else {
          port.HangUpAtReadNumber(fault.readNumber);
        }
        const Reception got = Receive(port, kind);
        const Outcome expected = fault.unusable ? Outcome::kPortUnusable : Outcome::kPortGone;
        EXPECT_TRUE(SameResult(got.result, Fails(expected))) << fault.what << ", " << KindName(kind);
        EXPECT_EQ(port.readCalls(), fault.unusable ? 1 : fault.readNumber) << fault.what;
        EXPECT_LT(got.elapsedMs, 10u) << fault.what;
      }
    }
  }
}

// A read that fails with the port still there is a lost byte: dropped while hunting, the end of the
// frame once it began.
TEST(LineOutcomes, AFailedReadIsDroppedWhileHuntingAndCutsAFrameOff) {
  for (FrameKind kind : {FrameKind::kPlain, FrameKind::kAntenna}) {
    const Bytes wire = Stuffed(GoodFrame(kind, true));
    FakePort hunting;
    hunting.Deliver(wire);
    hunting.FailReadNumber(1);
    EXPECT_TRUE(SameResult(Receive(hunting, kind).result, Ok(0))) << KindName(kind);
    FakePort inFrame;
    inFrame.Deliver(wire);
    inFrame.FailReadNumber(4);
    EXPECT_TRUE(SameResult(Receive(inFrame, kind).result, Fails(Outcome::kCutOff))) << KindName(kind);
  }
}

// The bytes of a command with escapes, one write each: a failure at any of them ends the send there.
TEST(LineOutcomes, AWriteFailingAtAnyByteEndsTheSendWithWhatWasWritten) {
  for (uint32_t crc : {0u, 1u}) {
    link::CommandFrame command(link::commands::kSetPower, crc);
    command.Byte(0x55).Byte(0xAA);
    ASSERT_TRUE(command.Finish());
    FakePort reference;
    ASSERT_TRUE(link::SendFrame(reference.handle(), command.bytes(), command.size()));
    const Bytes whole = reference.written();
    for (int n = 1; n <= static_cast<int>(whole.size()); ++n) {
      FakePort port;
      port.FailWriteNumber(n);
      EXPECT_TRUE(SameResult(link::SendFrame(port.handle(), command.bytes(), command.size()),
                             Fails(Outcome::kWriteFailed)))
          << "byte " << n;
      EXPECT_EQ(port.written(), Bytes(whole.begin(), whole.begin() + n - 1)) << "byte " << n;
    }
    FakePort gone;
    gone.HangUp();
    EXPECT_TRUE(SameResult(link::SendFrame(gone.handle(), command.bytes(), command.size()), Fails(Outcome::kPortGone)));
    EXPECT_EQ(gone.writeCalls(), 1);
    FakePort unusable;
    unusable.MakeUnusable();
    EXPECT_TRUE(SameResult(link::SendFrame(unusable.handle(), command.bytes(), command.size()),
                           Fails(Outcome::kPortUnusable)));
    EXPECT_EQ(unusable.writeCalls(), 1);
  }
}

// A command whose parameters do not fit the buffer, or that was never finished, is not sent at all.
TEST(LineOutcomes, ACommandThatDoesNotFitIsNotSent) {
  static const uint8_t data[2100] = {};
  for (uint32_t crc : {0u, 1u}) {
    FakePort port;
    port.ReplyToNextCommand(testing::WireReply(0x31, {0x00}));
    link::CommandFrame overflowing(link::commands::kSetRegister, crc);
    overflowing.Bytes(data, sizeof data);
    EXPECT_TRUE(SameResult(link::Exchange(port.handle(), overflowing), Fails(Outcome::kCommandTooLong)));
    link::CommandFrame unfinished(link::commands::kGetPower, crc);
    link::ReceivedFrame reply;
    EXPECT_TRUE(SameResult(link::ExchangeCommand(port.handle(), unfinished, reply), Fails(Outcome::kCommandTooLong)));
    EXPECT_EQ(port.writeCalls(), 0);
    EXPECT_EQ(port.purgeCount(), 0);
  }
}

}  // namespace

}  // namespace quarn::outcomes
