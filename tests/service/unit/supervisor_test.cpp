// The supervisor against the fake reader on a virtual clock: hours of reconnects, health checks and
// hangs run in microseconds, and every instant is exact.

#include "supervisor.h"

#include <gtest/gtest.h>

#include "fake_reader.h"
#include "recording_sink.h"

namespace quarn::watch {
namespace {

using testing::RecordingSink;
using Kind = FakePlan::Step::Kind;
using namespace std::chrono_literals;

constexpr WallTime kWallStart{Millis(1796724930123)};  // 2026-12-08T10:15:30.123Z

ReaderSettings Dock() {
  ReaderSettings settings;
  settings.port = "/dev/serial/by-id/usb-Quarn_Reader_0001-if00-port0";
  settings.crc = true;
  settings.power = {26, 26};
  SelectFilter filter;
  filter.mask = {0xE2, 0x00};
  filter.maskBits = 16;
  settings.filters.push_back(filter);
  return settings;
}

FakePlan::Step At(Millis at, Kind kind) { return {at, kind, {}, "", ""}; }
FakePlan::Step ReadAt(Millis at, int tag, std::optional<int> antenna = std::nullopt) {
  return {at, Kind::kRead, TagRead{0x3000, FakeEpc(tag), antenna}, "", ""};
}
FakePlan::Step FailureAt(Millis at, const char* outcome) { return {at, Kind::kFailure, {}, outcome, ""}; }

FakePlan Steady(Millis period = 100ms) {
  FakePlan plan;
  plan.period = period;
  plan.tags = 1;
  return plan;
}

struct WatchRun {
  explicit WatchRun(FakePlan plan, SupervisorOptions options = {}, ReaderSettings settings = Dock())
      : clock(kWallStart), reader(std::move(plan), clock),
        supervisor(std::move(settings), reader, clock, {&sink}, std::move(options)) {}

  // Runs the supervisor until the virtual clock reaches `until`, then lets it stop.
  void For(Millis until) {
    clock.StopAt(until, stop);
    supervisor.Run(stop);
  }
  std::vector<nlohmann::json> Statuses() const { return sink.Of(MessageKind::kStatus); }

  VirtualClock clock;
  StopSignal stop;
  RecordingSink sink;
  FakeReader reader;
  Supervisor supervisor;
};

std::vector<long long> Counts(const std::vector<Millis>& times) {
  std::vector<long long> counts;
  for (Millis time : times) counts.push_back(time.count());
  return counts;
}

TEST(WatchSupervisor, ReconnectsWithBackoffDoublingFrom100msTo5sAndStartsAgainAfterSuccess) {
  FakePlan plan = Steady();
  plan.steps = {At(1000ms, Kind::kPortGone), At(30000ms, Kind::kPortBack), At(40000ms, Kind::kPortGone),
                At(40500ms, Kind::kPortBack)};
  WatchRun run(plan);
  run.For(42000ms);
  // Gone at 1 s: 100, 200, 400, ... up to 5 s between attempts until the port is back at 30 s; after
  // reading again, the next loss starts from 100 ms.
  EXPECT_EQ(Counts(run.reader.connectAttempts()),
            (std::vector<long long>{0, 1100, 1300, 1700, 2500, 4100, 7300, 12300, 17300, 22300, 27300, 32300, 40100,
                                    40300, 40700}));
  EXPECT_EQ(run.supervisor.status().reconnects, 2u);
  auto statuses = run.Statuses();
  ASSERT_GE(statuses.size(), 3u);
  EXPECT_EQ(statuses[0]["state"], "online");
  // The status at the change, then the periodic ones while away: the cause stays, the last attempt's
  // outcome follows the attempts.
  EXPECT_EQ(statuses[1]["state"], "offline");
  EXPECT_EQ(statuses[1]["cause"], "port gone");
  EXPECT_EQ(statuses[1]["time"], "2026-12-08T10:15:31.123Z");
  EXPECT_EQ(statuses[2]["cause"], "port gone");
  EXPECT_EQ(statuses[2]["lastError"], "cannot open");
}

TEST(WatchSupervisor, SettingsAreAppliedOnEveryConnect) {
  FakePlan plan = Steady();
  plan.steps = {At(1000ms, Kind::kPortGone), At(1050ms, Kind::kPortBack)};
  WatchRun run(plan);
  run.For(2000ms);
  ASSERT_EQ(run.reader.applied().size(), 2u);
  for (const ReaderSettings& applied : run.reader.applied()) {
    EXPECT_EQ(applied.port, Dock().port);
    EXPECT_TRUE(applied.crc);
    EXPECT_EQ(applied.power, (std::vector<int>{26, 26}));
    ASSERT_EQ(applied.filters.size(), 1u);
    EXPECT_EQ(applied.filters[0].mask, (Bytes{0xE2, 0x00}));
  }
}

TEST(WatchSupervisor, ASilentReaderIsCheckedAndKeepsReading) {
  FakePlan plan;
  plan.steps = {ReadAt(500ms, 1), ReadAt(1000ms, 1), ReadAt(70000ms, 2)};
  SupervisorOptions options;
  options.healthAfter = 30000ms;
  WatchRun run(plan, options);
  run.For(99000ms);
  // 30 s after the last sign of life each time: the read at 70 s moves the next check to 100 s.
  EXPECT_EQ(Counts(run.reader.checks()), (std::vector<long long>{31000, 61000}));
  EXPECT_EQ(run.supervisor.status().healthChecks, 2u);
  EXPECT_EQ(run.supervisor.status().restarts, 0u);
  EXPECT_EQ(run.supervisor.status().reconnects, 0u);
  EXPECT_EQ(run.sink.Of(MessageKind::kRead).size(), 3u);  // the read at 70 s came through a restarted stream
}

TEST(WatchSupervisor, AHungReaderIsRestartedAndReadsAgainOnceItAnswers) {
  FakePlan plan = Steady();
  plan.steps = {At(5000ms, Kind::kHang), At(45000ms, Kind::kRecover)};
  SupervisorOptions options;
  options.healthAfter = 30000ms;
  WatchRun run(plan, options);
  run.For(60000ms);

  const ReaderStatus& status = run.supervisor.status();
  EXPECT_EQ(status.restarts, 1u);
  EXPECT_EQ(status.reconnects, 1u);
  bool sawRestart = false;
  for (const auto& object : run.Statuses())
    if (object["state"] == "offline" && object["cause"] == "no answer to the health check") {
      sawRestart = true;
      EXPECT_EQ(object["lastError"], "no reply");
      EXPECT_EQ(object["restarts"], 1);
    }
  EXPECT_TRUE(sawRestart);
  // While it hangs, each attempt waits longer than the one before; it reads again once it answers.
  std::vector<Millis> attempts = run.reader.connectAttempts();
  ASSERT_GE(attempts.size(), 4u);
  EXPECT_GE(attempts[1], 34900ms);  // the check after 30 s of silence, not before
  for (size_t i = 3; i < attempts.size(); ++i) EXPECT_GT(attempts[i] - attempts[i - 1], attempts[i - 1] - attempts[i - 2]);
  auto reads = run.sink.Of(MessageKind::kRead);
  ASSERT_FALSE(reads.empty());
  EXPECT_GT(reads.back()["time"].get<std::string>(), "2026-12-08T10:16:15.123Z");  // after 45 s
}

TEST(WatchSupervisor, FailedFramesAreCountedByOutcomeAndNeverDelivered) {
  FakePlan plan;
  plan.steps = {ReadAt(100ms, 1), FailureAt(200ms, "crc mismatch"), FailureAt(300ms, "crc mismatch"),
                FailureAt(350ms, "framing"), ReadAt(400ms, 2)};
  WatchRun run(plan);
  run.For(1000ms);
  auto reads = run.sink.Of(MessageKind::kRead);
  ASSERT_EQ(reads.size(), 2u);
  EXPECT_EQ(reads[0]["seq"], 1);
  EXPECT_EQ(reads[1]["seq"], 2);
  EXPECT_EQ(run.supervisor.status().reads, 2u);
  nlohmann::json last = run.Statuses().back();
  EXPECT_EQ(last["failures"], (nlohmann::json{{"crc mismatch", 2}, {"framing", 1}}));
}

TEST(WatchSupervisor, AReadCarriesTimeReaderSequenceEpcPcAndItsAntenna) {
  FakePlan plan;
  plan.steps = {ReadAt(250ms, 7, 2), ReadAt(500ms, 8)};
  WatchRun run(plan);
  run.For(600ms);
  auto reads = run.sink.Of(MessageKind::kRead);
  ASSERT_EQ(reads.size(), 2u);
  EXPECT_EQ(reads[0].dump(), nlohmann::json::parse(R"({"time":"2026-12-08T10:15:30.373Z",
      "reader":"/dev/serial/by-id/usb-Quarn_Reader_0001-if00-port0","event":"read","seq":1,
      "epc":"E20034120000000000000007","pc":"3000","antenna":2})").dump());
  EXPECT_FALSE(reads[1].contains("antenna"));  // the frame named none
  EXPECT_EQ(reads[1]["seq"], 2);
}

TEST(WatchSupervisor, StatusComesPeriodicallyWithTheRateAndALastOneWhenStopped) {
  SupervisorOptions options;
  options.statusEvery = 10000ms;
  WatchRun run(Steady(), options);
  run.For(35000ms);
  auto statuses = run.Statuses();
  // online at 0, then 10, 20 and 30 s, and the last at the stop
  ASSERT_EQ(statuses.size(), 5u);
  EXPECT_EQ(statuses[2]["time"], "2026-12-08T10:15:50.123Z");
  EXPECT_DOUBLE_EQ(statuses[2]["readsPerSecond"].get<double>(), 10.0);
  EXPECT_EQ(statuses[2]["reads"], 200);
  EXPECT_EQ(statuses[2]["recorded"].is_number(), true);  // each output adds its own counters
  EXPECT_EQ(statuses.back()["state"], "offline");
  EXPECT_EQ(statuses.back()["cause"], "stopped");
  EXPECT_FALSE(run.reader.open());  // the stream stopped and the port closed
}

TEST(WatchSupervisor, ByUidNothingIsDeliveredBeforeTheReaderHasSaidWhoItIs) {
  FakePlan plan = Steady();
  plan.uid = "E2801160600002080A1B2C3D";
  plan.steps = {At(0ms, Kind::kPortGone), At(1000ms, Kind::kPortBack)};
  SupervisorOptions options;
  options.nameByUid = true;
  options.statusEvery = 200ms;
  WatchRun run(plan, options);
  run.For(2000ms);
  ASSERT_FALSE(run.sink.entries.empty());
  for (const auto& entry : run.sink.entries) {
    EXPECT_EQ(entry.reader, "E2801160600002080A1B2C3D");
    EXPECT_EQ(entry.object["reader"], "E2801160600002080A1B2C3D");
  }
  EXPECT_EQ(run.Statuses().front()["state"], "online");
}

TEST(WatchSupervisor, EventsAloneWithDepartsAtTheLastReadPlusTheHoldTime) {
  FakePlan plan;
  plan.steps = {ReadAt(100ms, 1), ReadAt(200ms, 1), ReadAt(300ms, 2), ReadAt(2000ms, 1)};
  SupervisorOptions options;
  options.deliverReads = false;
  options.eventHold = 1000ms;
  WatchRun run(plan, options);
  run.For(5000ms);
  EXPECT_TRUE(run.sink.Of(MessageKind::kRead).empty());
  std::vector<std::string> seen;
  for (const auto& event : run.sink.Of(MessageKind::kEvent))
    seen.push_back(event["event"].get<std::string>() + " " + event["epc"].get<std::string>().substr(22) + " " +
                   event["time"].get<std::string>().substr(17) + " #" + std::to_string(event["seq"].get<int>()));
  EXPECT_EQ(seen, (std::vector<std::string>{"arrive 01 30.223Z #1", "arrive 02 30.423Z #2", "depart 01 31.323Z #3",
                                            "depart 02 31.423Z #4", "arrive 01 32.123Z #5", "depart 01 33.123Z #6"}));
  auto events = run.sink.Of(MessageKind::kEvent);
  EXPECT_EQ(events[2]["reads"], 2);
  EXPECT_EQ(events[2]["lastSeen"], "2026-12-08T10:15:30.323Z");
  EXPECT_EQ(run.Statuses().back()["tags"], (nlohmann::json{{"tracked", 0}, {"evicted", 0}}));
}

std::vector<std::string> EventLines(const RecordingSink& sink) {
  std::vector<std::string> lines;
  for (const auto& event : sink.Of(MessageKind::kEvent))
    lines.push_back(event["reader"].get<std::string>().substr(0, 4) + " " + event["event"].get<std::string>() + " " +
                    event["epc"].get<std::string>().substr(22) + " " + event["time"].get<std::string>().substr(17));
  return lines;
}

TEST(WatchSupervisor, AnUnplugMakesNoDepartForATagThatStayedAndOneForATagThatLeft) {
  FakePlan plan;
  // Tag 1 stays in the field throughout; tag 2 is read last just before the unplug and is gone after.
  plan.steps = {ReadAt(100ms, 1), ReadAt(200ms, 2), ReadAt(500ms, 1), At(600ms, Kind::kPortGone),
                At(3000ms, Kind::kPortBack)};
  for (int n = 0; n < 20; ++n) plan.steps.push_back(ReadAt(Millis(3800 + 100 * n), 1));
  SupervisorOptions options;
  options.eventHold = 1000ms;
  WatchRun run(plan, options);
  run.For(8000ms);
  // Away from 0.6 s until the back-off's attempt at 3.7 s found the port back: tag 2 had 600 ms of its
  // hold left, so it departs at 4.3 s, stamped with its last read, the 3.1 s away and the hold; tag 1
  // arrives once and departs a hold after its last read at 5.7 s.
  EXPECT_EQ(EventLines(run.sink), (std::vector<std::string>{"/dev arrive 01 30.223Z", "/dev arrive 02 30.323Z",
                                                           "/dev depart 02 34.423Z", "/dev depart 01 36.823Z"}));
  EXPECT_EQ(run.supervisor.status().reconnects, 1u);
}

TEST(WatchSupervisor, ByUidAReplacedReadersTagsDepartUnderItsNameAndTheNewOneCountsFromOne) {
  FakePlan plan;
  plan.uid = "AAAA00000000000000000001";
  FakePlan::Step back = At(2000ms, Kind::kPortBack);
  back.uid = "BBBB00000000000000000002";
  plan.steps = {ReadAt(100ms, 1), At(500ms, Kind::kPortGone), back, ReadAt(3000ms, 1)};
  SupervisorOptions options;
  options.eventHold = 1000ms;
  options.nameByUid = true;
  WatchRun run(plan, options);
  run.For(5000ms);
  // The new reader reads the same tag: an arrive of its own, not a continuation of the old reader's.
  std::vector<std::string> lines = EventLines(run.sink);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "AAAA arrive 01 30.223Z");
  EXPECT_EQ(lines[1], "AAAA depart 01 32.123Z");  // as the back-off's attempt at 2 s found the other reader
  EXPECT_EQ(lines[2], "BBBB arrive 01 33.123Z");
  EXPECT_EQ(lines[3], "BBBB depart 01 34.123Z");
  auto events = run.sink.Of(MessageKind::kEvent);
  EXPECT_EQ(events[1]["seq"], 2);
  EXPECT_EQ(events[2]["seq"], 1);  // each reader counts its own
  auto reads = run.sink.Of(MessageKind::kRead);
  ASSERT_EQ(reads.size(), 2u);
  EXPECT_EQ(reads[1]["reader"], "BBBB00000000000000000002");
  EXPECT_EQ(reads[1]["seq"], 1);
}

}  // namespace
}  // namespace quarn::watch
