// A frame's bytes are written between one BeginFrameWrite and one EndFrameWrite, whatever becomes of the
// writes: the POSIX backend makes the port non-blocking for the bracket, and a bracket left open would
// leave every later read without its wait in the driver. And a port that goes away answers "gone" on the
// kind of call that finds it so.

#include <gtest/gtest.h>

#include <functional>

#include "fake_serial.h"
#include "link/frame_io.h"
#include "link/serial/serial_backend.h"

namespace quarn::link {
namespace {

using serial::ReadOutcome;
using serial::WriteOutcome;
using testing::Bytes;
using testing::FakePort;

// AA 04 81 AF 9D 55 with a body byte 0xAA: 7 unstuffed bytes, 8 on the wire.
const Bytes kFrame = {0xAA, 0x05, 0x81, 0xAA, 0xAF, 0x9D, 0x55};
constexpr int kWireBytes = 8;

TEST(FrameWriteBracket, EveryEndOfASendClosesTheOneBracketItOpened) {
  struct Case {
    const char* name;
    std::function<void(FakePort&)> fault;
    Outcome outcome;
    int bytesOnTheLine;
  };
  const Case cases[] = {
      {"all written", [](FakePort&) {}, Outcome::kSuccess, kWireBytes},
      {"the head fails", [](FakePort& p) { p.FailWriteNumber(1); }, Outcome::kWriteFailed, 0},
      {"the escape byte fails", [](FakePort& p) { p.FailWriteNumber(4); }, Outcome::kWriteFailed, 3},
      {"the tail fails", [](FakePort& p) { p.FailWriteNumber(kWireBytes); }, Outcome::kWriteFailed, kWireBytes - 1},
      {"the port goes in the body", [](FakePort& p) { p.GoneFromWriteNumber(3); }, Outcome::kPortGone, 2},
      {"the port was gone before", [](FakePort& p) { p.HangUp(); }, Outcome::kPortGone, 0},
  };
  for (const Case& c : cases) {
    FakePort port;
    c.fault(port);
    const bool sent = c.outcome == Outcome::kSuccess;
    EXPECT_EQ(SendFrame(port.handle(), kFrame.data(), kFrame.size()).outcome, c.outcome) << c.name;
    EXPECT_EQ(port.frameBrackets(), 1) << c.name;
    EXPECT_EQ(port.bracketFaults(), 0) << c.name;
    EXPECT_FALSE(port.insideFrameWrite()) << c.name;
    EXPECT_EQ(static_cast<int>(port.written().size()), c.bytesOnTheLine) << c.name;
    // The write that failed is the last one: nothing of the frame follows a failure.
    EXPECT_EQ(port.writeCalls(), sent ? kWireBytes : c.bytesOnTheLine + 1) << c.name;
  }
}

TEST(FrameWriteBracket, TheInputIsPurgedBeforeTheBracketOpens) {
  FakePort port;
  port.Deliver({0x01, 0x02});
  ASSERT_TRUE(SendFrame(port.handle(), kFrame.data(), kFrame.size()));
  EXPECT_EQ(port.purgeCount(), 1);
  EXPECT_EQ(port.pendingInput(), 0u);
}

TEST(FakePortGone, WritesAndReadsGoSeparatelyAndOnlyGoneIsReportedAsGone) {
  struct Case {
    const char* name;
    std::function<void(FakePort&)> script;
    WriteOutcome secondWrite;
    ReadOutcome secondRead;
  };
  const Case cases[] = {
      {"writes gone", [](FakePort& p) { p.GoneFromWriteNumber(1); }, WriteOutcome::kGone, ReadOutcome::kByte},
      {"reads gone", [](FakePort& p) { p.GoneFromReadNumber(1); }, WriteOutcome::kWritten, ReadOutcome::kGone},
      {"a failed write", [](FakePort& p) { p.FailWriteNumber(1); }, WriteOutcome::kFailed, ReadOutcome::kByte},
      {"a failed read", [](FakePort& p) { p.FailReadNumber(1); }, WriteOutcome::kWritten, ReadOutcome::kFailed},
      {"hung up", [](FakePort& p) { p.HangUp(); }, WriteOutcome::kGone, ReadOutcome::kGone},
  };
  for (const Case& c : cases) {
    FakePort port;
    port.Deliver({0x11, 0x22, 0x33});
    uint8_t value = 0;
    ASSERT_EQ(serial::WriteByte(port.handle(), 0x01), WriteOutcome::kWritten) << c.name;
    ASSERT_EQ(serial::ReadByte(port.handle(), &value), ReadOutcome::kByte) << c.name;
    c.script(port);
    EXPECT_EQ(serial::WriteByte(port.handle(), 0x02), c.secondWrite) << c.name;
    EXPECT_EQ(serial::ReadByte(port.handle(), &value), c.secondRead) << c.name;
    // Gone stays gone; an ordinary failure is one call's.
    const bool writesGone = c.secondWrite == WriteOutcome::kGone;
    const bool readsGone = c.secondRead == ReadOutcome::kGone;
    EXPECT_EQ(serial::WriteByte(port.handle(), 0x03) == WriteOutcome::kGone, writesGone) << c.name;
    EXPECT_EQ(serial::ReadByte(port.handle(), &value) == ReadOutcome::kGone, readsGone) << c.name;
  }
}

}  // namespace
}  // namespace quarn::link
