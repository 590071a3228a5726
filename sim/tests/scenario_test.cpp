// Scenario files and the tags they put into the field.

#include <gtest/gtest.h>

#include "sim/model/scenario.h"

namespace quarn::sim {
namespace {

TEST(SimScenario, FileSetsTheFieldAndTheReader) {
  Scenario scenario;
  ApplyScenarioText(
      "# a small field\n"
      "seed 7\n"
      "antennas 2\n"
      "interval 50\n"
      "tags 1\n"
      "tag 3000AABB access=01020304 kill=0A0B0C0D ant=2 user=1122 power=10 lock=user:locked,epc:permalocked\n",
      scenario);
  EXPECT_EQ(scenario.seed, 7u);
  EXPECT_EQ(scenario.antennaCount, 2);
  EXPECT_EQ(scenario.EffectiveConnected(), 0x03);
  EXPECT_EQ(scenario.streamIntervalMs, 50);
  const std::vector<Tag> tags = BuildTags(scenario);
  ASSERT_EQ(tags.size(), 2u);
  const Tag& tag = tags[0];
  EXPECT_EQ(tag.Record(), (Bytes{0x10, 0x00, 0x30, 0x00, 0xAA, 0xBB}));
  EXPECT_EQ(tag.Word(MemoryBank::kReserved, 0), 0x0A0B);
  EXPECT_EQ(tag.Word(MemoryBank::kReserved, 3), 0x0304);
  EXPECT_EQ(tag.Word(MemoryBank::kUser, 0), 0x1122);
  EXPECT_EQ(tag.antennaMask(), 0x02);
  EXPECT_EQ(tag.minPowerDbm(), 10);
  EXPECT_EQ(tag.lock(LockArea::kUser), (LockState{true, false}));
  EXPECT_EQ(tag.lock(LockArea::kEpc), (LockState{true, true}));
  EXPECT_EQ(tags[1].Record().size(), 14u);
}

TEST(SimScenario, GeneratedTagsFollowTheSeed) {
  Scenario a;
  Scenario b;
  Scenario c;
  c.seed = 2;
  EXPECT_EQ(BuildTags(a).size(), 3u);
  EXPECT_EQ(BuildTags(a)[2].Record(), BuildTags(b)[2].Record());
  EXPECT_NE(BuildTags(a)[0].Record(), BuildTags(c)[0].Record());
  EXPECT_EQ(BuildTags(a)[0].Record()[2], 0x30);
  // Explicit tags replace the default three generated ones.
  a.tags.push_back(ParseTagEntry("E200"));
  EXPECT_EQ(BuildTags(a).size(), 1u);
}

TEST(SimScenario, ErrorsNameTheLine) {
  const char* const bad[] = {
      "seed 1\nfrobnicate 3\n", "tag 30A\n", "tag 3000 access=0102\n", "tag 3000 ant=9\n",
      "tag 3000 lock=user:sometimes\n", "antennas 0\n", "tag 3000 colour=red\n",
  };
  for (const char* text : bad) {
    Scenario scenario;
    try {
      ApplyScenarioText(text, scenario);
      ADD_FAILURE() << "accepted: " << text;
    } catch (const ScenarioError& error) {
      EXPECT_EQ(std::string(error.what()).rfind("line ", 0), 0u) << error.what();
    }
  }
}

}  // namespace
}  // namespace quarn::sim
