// The reader beside its commands: a hang (by the clock or on demand) and what a stop does to it, and
// the cut of the host's link (unplug), on the virtual clock.

#include <gtest/gtest.h>

#include "sim_test_support.h"

namespace quarn::sim {
namespace {

using testing::Bench;
using testing::Concat;
using testing::kZeroPassword;
using testing::Reply;

const Bytes kEpc = {0x30, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01};
constexpr uint8_t kGetVersion = 0x07;
constexpr uint8_t kStop = 0x12;
constexpr uint8_t kInventory = 0x10;

FaultSettings HangAt(uint64_t atMs, uint64_t forMs = 0) {
  FaultSettings faults;
  faults.hangAtUs = atMs * 1000;
  faults.hangForUs = forMs * 1000;
  return faults;
}

// The health check of a service that reads for weeks: stop, a version query, start again. On a hung
// reader the stop goes unanswered (so the hang shows), and what follows works.
TEST(SimHang, AHungReaderIsSilentUntilAStopWhichItselfGetsNoReply) {
  Bench bench(testing::TagsScenario({kEpc}), HangAt(500));
  bench.nowUs = 0;
  ASSERT_EQ(bench.Command(kInventory).status, 0x01);
  EXPECT_FALSE(bench.Wait(500).empty());
  EXPECT_TRUE(bench.Wait(600).empty()) << "the stream goes on after the hang";
  EXPECT_TRUE(bench.reader.hung());
  EXPECT_TRUE(bench.Exchange(kGetVersion, {}).empty());
  EXPECT_TRUE(bench.Exchange(0x18, {}).empty());
  EXPECT_TRUE(bench.reader.hung()) << "only a stop wakes it";

  EXPECT_TRUE(bench.Exchange(kStop, {}).empty());
  EXPECT_FALSE(bench.reader.hung());
  EXPECT_EQ(bench.Command(kGetVersion).status, 0x00);
  EXPECT_EQ(bench.Command(kInventory).status, 0x01);
  EXPECT_EQ(bench.Wait(100).size(), 3u);
}

TEST(SimHang, ItHangsOnceAndAStopInCrcModeWakesItAsWell) {
  Bench bench(testing::TagsScenario({kEpc}), HangAt(100));
  bench.nowUs = 200000;
  EXPECT_TRUE(bench.Exchange(kGetVersion, {}, true).empty());
  EXPECT_TRUE(bench.Exchange(kStop, {}, true).empty());
  bench.Wait(10000);
  EXPECT_EQ(bench.Command(kGetVersion, {}, true).code, 0x87);
  EXPECT_FALSE(bench.reader.hung());
}

TEST(SimHang, AHangWithADurationEndsByItself) {
  Bench bench(testing::TagsScenario({kEpc}), HangAt(100, 2000));
  bench.nowUs = 0;
  bench.Wait(150);
  EXPECT_TRUE(bench.reader.hung());
  // The end of the hang is an event of the clock, so a server loop wakes for it.
  ASSERT_TRUE(bench.reader.NextEventUs().has_value());
  EXPECT_EQ(*bench.reader.NextEventUs(), 2100000u);
  bench.Wait(2000);
  EXPECT_FALSE(bench.reader.hung());
  EXPECT_EQ(bench.Command(kGetVersion).status, 0x00);
}

TEST(SimHang, AHangOnDemandDropsWhatWasAboutToLeave) {
  FaultSettings slow;
  slow.delayMs = 50;
  Bench bench(testing::TagsScenario({kEpc}), slow);
  EXPECT_TRUE(bench.Exchange(kGetVersion, {}).empty());  // its reply is due in 50 ms
  bench.reader.Hang();
  EXPECT_TRUE(bench.Wait(100).empty());
  EXPECT_FALSE(bench.reader.NextEventUs().has_value()) << "a hang without an end wakes no one";
}

TEST(SimUnplug, StreamsEndAndHalfAFrameIsLostButTagsAndRegistersStay) {
  Bench bench(testing::TagsScenario({kEpc}));
  ASSERT_EQ(bench.Command(0x02, {20, 23}).status, 0x00);  // read and write power
  const Bytes write = Concat({kZeroPassword, {0x03, 0x00, 0x01, 0xCA, 0xFE}});
  ASSERT_EQ(bench.Command(0x21, write).status, 0x00);
  ASSERT_EQ(bench.Command(kInventory).status, 0x01);
  // Half a version query is on the line when the plug is pulled.
  const Bytes query = StuffFrame(BuildCommandFrame(kGetVersion, {}, false));
  bench.Wire(Bytes(query.begin(), query.begin() + 2));
  bench.reader.Unplug();
  EXPECT_FALSE(bench.reader.streaming());
  EXPECT_TRUE(bench.Wait(200).empty());

  // The rest of the old frame is not taken for a command; a whole one is answered.
  EXPECT_TRUE(bench.Wire(Bytes(query.begin() + 2, query.end())).empty());
  EXPECT_EQ(bench.Command(0x01).data, (Bytes{20, 23}));
  const Reply read = bench.Command(0x20, Concat({kZeroPassword, {0x03, 0x00, 0x01}}));
  EXPECT_EQ(Bytes(read.data.begin(), read.data.begin() + 2), (Bytes{0xCA, 0xFE}));
}

TEST(SimUnplug, UnpluggingWakesAHungOrSleepingReader) {
  Bench bench(testing::TagsScenario({kEpc}));
  bench.reader.Hang();
  bench.reader.Unplug();
  EXPECT_FALSE(bench.reader.hung());
  EXPECT_EQ(bench.Command(kGetVersion).status, 0x00);
}

}  // namespace
}  // namespace quarn::sim
