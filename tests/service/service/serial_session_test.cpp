// The watch's reader side on a pseudo-terminal against the virtual reader served in this process (which
// keeps the terminal open itself, as a second descriptor on the device): waits that end with their
// wait, reports with their arrival time, a port that hangs up, and a health check that sends no stop
// it does not need.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>

#include "clock.h"
#include "messages.h"
#include "serial_reader_session.h"
#include "sim/quarn_sim.h"

namespace quarn::watch {
namespace {

using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;

// Far below a receive's read time-out (about 3 s): a wait that took that long did not end with its own.
constexpr Millis kWaitBound{1000};

const std::string kTag = "E20000000000000000000AAA";

struct ServedField {
  explicit ServedField(const std::string& scenario) {
    sim::ServedReaderOptions options;
    options.scenarioText = scenario;
    options.trace = [this](const std::string& line) {
      if (line.find("-> 0x12 StopOperation") != std::string::npos) ++stops;
    };
    reader = std::make_unique<sim::ServedReader>(options);
    settings.port = reader->devicePath();
  }
  std::unique_ptr<sim::ServedReader> reader;
  ReaderSettings settings;
  std::atomic<int> stops{0};
};

// The first arrival that is not nothing, within limit.
Arrival NextArrival(SerialReaderSession& session, Millis limit) {
  auto deadline = Steady::now() + limit;
  while (Steady::now() < deadline) {
    Arrival arrival = session.Next(100ms);
    if (arrival.kind != Arrival::Kind::kNothing) return arrival;
  }
  return Arrival::Nothing();
}

TEST(SerialSession, AnEmptyFieldGivesNothingWithinTheWaitAndATagArrivesWithItsTime) {
  ServedField field("tags 0\ntag " + kTag + " enters 1.0\n");
  SystemClock clock;
  SerialReaderSession session(clock, true);
  ReaderIdentity identity;
  ASSERT_TRUE(session.Connect(field.settings, identity).ok());
  EXPECT_EQ(identity.uid.size(), 24u);
  ASSERT_TRUE(session.StartStream().ok());

  auto before = Steady::now();
  EXPECT_EQ(session.Next(50ms).kind, Arrival::Kind::kNothing);
  EXPECT_LT(Steady::now() - before, kWaitBound);

  WallTime asked = clock.Wall();
  Arrival read = NextArrival(session, 5s);
  ASSERT_EQ(read.kind, Arrival::Kind::kRead) << read.failure.failure;
  EXPECT_EQ(HexUpper(read.read.epc), kTag);
  EXPECT_EQ(read.read.pc, 0x3000);
  EXPECT_FALSE(read.read.antenna);
  EXPECT_GE(read.time, asked);
  EXPECT_LE(read.time, clock.Wall());
  EXPECT_TRUE(session.StopStream().ok());
  session.Close();
}

TEST(SerialSession, APortThatHangsUpIsGoneAtOnceAndOpensAgainOnceItIsBack) {
  ServedField field("tag " + kTag + "\n");
  SystemClock clock;
  SerialReaderSession session(clock, false);
  ReaderIdentity identity;
  ASSERT_TRUE(session.Connect(field.settings, identity).ok());
  ASSERT_TRUE(session.StartStream().ok());
  ASSERT_EQ(NextArrival(session, 2s).kind, Arrival::Kind::kRead);

  field.reader->Unplug(500ms);
  auto unplugged = Steady::now();
  Arrival gone = NextArrival(session, 2s);
  while (gone.kind == Arrival::Kind::kRead) gone = NextArrival(session, 2s);  // reports already on their way
  ASSERT_EQ(gone.kind, Arrival::Kind::kFailure);
  EXPECT_TRUE(gone.failure.portGone) << gone.failure.failure;
  EXPECT_EQ(gone.failure.failure, "port gone");
  EXPECT_LT(Steady::now() - unplugged, kWaitBound);
  session.Close();

  Outcome closed = session.Connect(field.settings, identity);
  EXPECT_FALSE(closed.ok());
  EXPECT_TRUE(closed.portGone) << closed.failure;
  ASSERT_TRUE(field.reader->WaitPlugged(5s));
  field.settings.port = field.reader->devicePath();
  ASSERT_TRUE(session.Connect(field.settings, identity).ok());
  ASSERT_TRUE(session.StartStream().ok());
  EXPECT_EQ(NextArrival(session, 2s).kind, Arrival::Kind::kRead);
  session.Close();
}

TEST(SerialSession, TheHealthCheckStopsTheStreamOnceAndAsksTheVersion) {
  ServedField field("tag " + kTag + "\n");
  SystemClock clock;
  SerialReaderSession session(clock, false);
  ReaderIdentity identity;
  ASSERT_TRUE(session.Connect(field.settings, identity).ok());
  ASSERT_TRUE(session.StartStream().ok());
  ASSERT_EQ(NextArrival(session, 2s).kind, Arrival::Kind::kRead);

  EXPECT_TRUE(session.StopStream().ok());
  EXPECT_TRUE(session.StopStream().ok()) << "a stream already stopped";
  EXPECT_TRUE(session.Check().ok());
  EXPECT_EQ(field.stops.load(), 1);
  ASSERT_TRUE(session.StartStream().ok());
  EXPECT_EQ(NextArrival(session, 2s).kind, Arrival::Kind::kRead);
  session.Close();
  EXPECT_EQ(field.stops.load(), 1) << "a close sends no stop";
}

}  // namespace
}  // namespace quarn::watch
