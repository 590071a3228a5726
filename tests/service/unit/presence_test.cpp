// Arrive and depart events, and the bound on what they keep over weeks.

#include "presence.h"

#include <gtest/gtest.h>

namespace quarn::watch {
namespace {

using namespace std::chrono_literals;

TagRead Tag(uint8_t n, std::optional<int> antenna = std::nullopt) { return {0x3000, {0xE2, 0x00, n}, antenna}; }

struct Clock {
  SteadyTime steady{};
  WallTime wall{};
  void Pass(Millis d) {
    steady += d;
    wall += d;
  }
};

TEST(WatchPresence, ATagArrivesOnceAndDepartsAfterTheHoldWithoutReads) {
  PresenceTracker tracker(1000ms, 100);
  Clock clock;
  std::vector<PresenceEvent> events;
  tracker.Seen(Tag(1, 3), clock.steady, clock.wall, events);
  clock.Pass(400ms);
  tracker.Seen(Tag(1, 4), clock.steady, clock.wall, events);  // read again: no second arrive
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, Presence::kArrive);
  EXPECT_EQ(events[0].antenna, 3);

  clock.Pass(999ms);
  tracker.Age(clock.steady, events);
  EXPECT_EQ(events.size(), 1u) << "departed before the hold time";
  EXPECT_EQ(tracker.nextDeparture(), clock.steady + 1ms);
  clock.Pass(1ms);
  tracker.Age(clock.steady, events);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[1].kind, Presence::kDepart);
  EXPECT_EQ(events[1].reads, 2u);
  EXPECT_EQ(events[1].antenna, 4);  // where it was read last
  EXPECT_EQ(events[1].time, events[1].lastSeen + 1000ms);
  EXPECT_FALSE(events[1].evicted);
  EXPECT_EQ(tracker.tracked(), 0u);
  EXPECT_FALSE(tracker.nextDeparture().has_value());

  tracker.Seen(Tag(1), clock.steady, clock.wall, events);  // back again: a new arrive
  EXPECT_EQ(events.back().kind, Presence::kArrive);
}

TEST(WatchPresence, AtTheBoundTheTagReadLongestAgoMakesRoomWithAnEvictedDepart) {
  PresenceTracker tracker(60000ms, 3);
  Clock clock;
  std::vector<PresenceEvent> events;
  for (uint8_t n = 1; n <= 3; ++n) {
    tracker.Seen(Tag(n), clock.steady, clock.wall, events);
    clock.Pass(10ms);
  }
  tracker.Seen(Tag(1), clock.steady, clock.wall, events);  // tag 1 is fresh again; tag 2 is now the oldest
  clock.Pass(10ms);
  events.clear();
  tracker.Seen(Tag(4), clock.steady, clock.wall, events);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].kind, Presence::kDepart);
  EXPECT_TRUE(events[0].evicted);
  EXPECT_EQ(events[0].epc, Tag(2).epc);
  EXPECT_EQ(events[1].kind, Presence::kArrive);
  EXPECT_EQ(events[1].epc, Tag(4).epc);
  EXPECT_EQ(tracker.tracked(), 3u);
  EXPECT_EQ(tracker.evicted(), 1u);
}

TEST(WatchPresence, WhileTheReaderIsAwayNoTagDepartsAndTheHoldGoesOnWhereItStopped) {
  PresenceTracker tracker(1000ms, 100);
  Clock clock;
  std::vector<PresenceEvent> events;
  tracker.Seen(Tag(1), clock.steady, clock.wall, events);
  clock.Pass(300ms);
  tracker.Seen(Tag(2), clock.steady, clock.wall, events);
  clock.Pass(100ms);
  tracker.Pause(clock.steady);  // at 400 ms: 600 ms of tag 1's hold and 900 ms of tag 2's are left
  clock.Pass(60000ms);
  tracker.Age(clock.steady, events);
  EXPECT_EQ(events.size(), 2u) << "a tag departed while nobody could read it";
  EXPECT_FALSE(tracker.nextDeparture().has_value());

  tracker.Resume(clock.steady);
  EXPECT_EQ(tracker.nextDeparture(), clock.steady + 600ms);
  clock.Pass(599ms);
  tracker.Age(clock.steady, events);
  EXPECT_EQ(events.size(), 2u);
  clock.Pass(1ms);
  tracker.Age(clock.steady, events);
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[2].epc, Tag(1).epc);
  EXPECT_EQ(events[2].lastSeen, WallTime{});
  EXPECT_EQ(events[2].time, WallTime{} + 61000ms);  // its last read, the time away, the hold

  tracker.Seen(Tag(2), clock.steady, clock.wall, events);  // read again: the time away is forgotten
  clock.Pass(1000ms);
  tracker.Age(clock.steady, events);
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[3].time, events[3].lastSeen + 1000ms);
}

TEST(WatchPresence, WhenAnotherReaderTakesThePlaceEveryTagDepartsAtOnce) {
  PresenceTracker tracker(1000ms, 100);
  Clock clock;
  std::vector<PresenceEvent> events;
  for (uint8_t n = 1; n <= 3; ++n) tracker.Seen(Tag(n), clock.steady, clock.wall, events);
  tracker.Pause(clock.steady);
  clock.Pass(5000ms);
  events.clear();
  tracker.DepartAll(clock.wall, events);
  ASSERT_EQ(events.size(), 3u);
  for (const PresenceEvent& event : events) {
    EXPECT_EQ(event.kind, Presence::kDepart);
    EXPECT_EQ(event.time, clock.wall);
    EXPECT_FALSE(event.evicted);
  }
  EXPECT_EQ(tracker.tracked(), 0u);
  tracker.Seen(Tag(1), clock.steady, clock.wall, events);  // not paused any more
  EXPECT_EQ(tracker.nextDeparture(), clock.steady + 1000ms);
}

TEST(WatchPresence, WeeksOfPassingTagsKeepNoMoreThanThosePresent) {
  PresenceTracker tracker(5000ms, 1000);
  Clock clock;
  std::vector<PresenceEvent> events;
  size_t arrives = 0, departs = 0;
  // 200000 distinct tags, one a second, each read for 3 s: at most 8 are present at once.
  for (int n = 0; n < 200000; ++n) {
    TagRead read{0x3000, {static_cast<uint8_t>(n >> 16), static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)}, {}};
    for (int again = 0; again < 3; ++again) {
      tracker.Seen(read, clock.steady, clock.wall, events);
      clock.Pass(333ms);
    }
    tracker.Age(clock.steady, events);
    for (const auto& event : events) (event.kind == Presence::kArrive ? arrives : departs)++;
    events.clear();
    EXPECT_LE(tracker.tracked(), 8u);
  }
  EXPECT_EQ(arrives, 200000u);
  EXPECT_GE(departs, 200000u - 8);
  EXPECT_EQ(tracker.evicted(), 0u);
}

}  // namespace
}  // namespace quarn::watch
