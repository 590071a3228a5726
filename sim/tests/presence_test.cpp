// Tags that come and go: the presence words of a tag line, and what inventories, single-tag commands,
// access by EPC and antenna streams see as tags enter and leave on the reader's clock.

#include <gtest/gtest.h>

#include "sim/model/scenario.h"
#include "sim_test_support.h"

namespace quarn::sim {
namespace {

using testing::Bench;
using testing::Concat;
using testing::kZeroPassword;
using testing::Reply;

constexpr uint64_t kSecond = 1000000;

Presence PresenceOf(const std::string& words) { return ParseTagEntry("3000 " + words).contents.presence; }

struct Sample {
  double seconds;
  bool present;
};

TEST(SimPresence, TagLineWordsSayWhenTheTagIsInTheField) {
  struct Case {
    const char* words;
    std::vector<Sample> samples;
  };
  const Case cases[] = {
      {"", {{0, true}, {1e6, true}}},
      {"enters 2.0 leaves 5.5", {{0, false}, {1.999999, false}, {2, true}, {5.499999, true}, {5.5, false}, {60, false}}},
      {"leaves 4", {{0, true}, {3.9, true}, {4, false}}},
      {"enters 3", {{2.9, false}, {3, true}, {1e5, true}}},
      {"enters 1 leaves 2 enters 3 leaves 4 enters 10",
       {{0.5, false}, {1.5, true}, {2.5, false}, {3.5, true}, {5, false}, {10, true}, {1e4, true}}},
      {"every 10 present 3", {{0, true}, {2.999, true}, {3, false}, {9.9, false}, {10, true}, {1002.5, true}}},
      {"enters 2 every 10 present 3 leaves 25",
       {{1, false}, {2, true}, {5, false}, {12, true}, {22, true}, {24.9, true}, {25, false}, {32, false}}},
      {"every 5 present 5", {{0, true}, {4.99, true}, {5, true}, {77, true}}},
  };
  for (const Case& c : cases) {
    const Presence presence = PresenceOf(c.words);
    for (const Sample& sample : c.samples) {
      EXPECT_EQ(presence.At(static_cast<uint64_t>(sample.seconds * kSecond + 0.5)), sample.present)
          << "'" << c.words << "' at " << sample.seconds << " s";
    }
    // The words written back give the same presence (the state file keeps it this way).
    EXPECT_EQ(PresenceOf(PresenceText(presence)), presence) << c.words << " -> " << PresenceText(presence);
  }
}

TEST(SimPresence, MistakesAreNamed) {
  struct Case {
    const char* words;
    const char* message;
  };
  const Case cases[] = {
      {"enters 5 leaves 2", "must rise"},
      {"enters 1 enters 2", "'enters' twice"},
      {"leaves 1 leaves 2", "'leaves' twice"},
      {"leaves 0", "never present"},
      {"present 3", "belongs with 'every'"},
      {"every 10", "needs 'present'"},
      {"every 3 present 5", "at most its period"},
      {"every 0 present 0", "at most its period"},
      {"every 10 present 3 enters 1 enters 2", "at most one 'enters'"},
      {"enters 4 every 10 present 3 leaves 2", "after 'enters'"},
      {"enters soon", "bad enters: 'soon'"},
      {"enters -1", "bad enters"},
      {"enters", "needs a time"},
      {"arrives 2", "key=value, or enters/leaves/every/present"},
  };
  for (const Case& c : cases) {
    try {
      PresenceOf(c.words);
      ADD_FAILURE() << "accepted: " << c.words;
    } catch (const ScenarioError& error) {
      EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << c.words << ": " << error.what();
    }
  }
}

const Bytes kStays = {0x30, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01};
const Bytes kPasses = {0x30, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02};
Bytes RecordOf(const Bytes& epc) { return Concat({{0x30, 0x00}, epc}); }

// A tag that stays and one that passes between 0.2 s and 0.4 s on the reader's clock.
Scenario DockDoor(const std::string& passing = "enters 0.2 leaves 0.4") {
  Scenario scenario;
  scenario.tags.push_back(ParseTagEntry(ToHex(kStays)));
  scenario.tags.push_back(ParseTagEntry(ToHex(kPasses) + " " + passing));
  return scenario;
}

std::vector<Bytes> Records(const std::vector<Reply>& replies) {
  std::vector<Bytes> records;
  for (const Reply& reply : replies) records.push_back(reply.data);
  return records;
}

size_t Count(const std::vector<Bytes>& records, const Bytes& epc) {
  return static_cast<size_t>(std::count(records.begin(), records.end(), RecordOf(epc)));
}

TEST(SimPresence, InventoryReportsATagOnlyWhileItIsInTheField) {
  Bench bench(DockDoor());
  bench.nowUs = 0;
  ASSERT_EQ(bench.Command(0x10).status, 0x01);
  const std::vector<Bytes> before = Records(bench.Wait(190));
  const std::vector<Bytes> during = Records(bench.Wait(200));
  const std::vector<Bytes> after = Records(bench.Wait(300));
  EXPECT_GT(Count(before, kStays), 0u);
  EXPECT_EQ(Count(before, kPasses), 0u);
  EXPECT_GT(Count(during, kPasses), 0u);
  EXPECT_EQ(Count(after, kPasses), 0u);
  EXPECT_EQ(Count(after, kStays), after.size());
}

// A round is fixed when it begins; a tag that left since is passed over, not reported late.
TEST(SimPresence, ATagThatLeftDuringARoundIsNotReported) {
  Bench bench(DockDoor("leaves 0.045"));
  bench.nowUs = 0;
  bench.Command(0x10);
  // The round drawn at 30 ms holds both tags; at 60 ms the second has gone.
  EXPECT_EQ(Records(bench.Wait(70)), (std::vector<Bytes>{RecordOf(kStays), RecordOf(kStays)}));
}

TEST(SimPresence, SingleTagCommandsAndAccessByEpcSeeTheFieldOfTheMoment) {
  Scenario scenario;
  scenario.tags.push_back(ParseTagEntry(ToHex(kPasses) + " user=CAFE enters 1 leaves 2"));
  Bench bench(scenario);
  const Bytes readByEpc = Concat({kZeroPassword, {0x03, 0x00, 0x01}, RecordOf(kPasses)});
  const Bytes readSingle = Concat({kZeroPassword, {0x03, 0x00, 0x01}});
  struct Moment {
    uint64_t atUs;
    bool present;
  };
  for (const Moment moment : {Moment{500000, false}, Moment{1500000, true}, Moment{2500000, false}}) {
    bench.nowUs = moment.atUs;
    const Reply single = bench.Command(0x18);
    const Reply byEpc = bench.Command(0x13, readByEpc);
    const Reply fromSingle = bench.Command(0x20, readSingle);
    if (moment.present) {
      EXPECT_EQ(single.data, RecordOf(kPasses));
      EXPECT_EQ(byEpc.data, (Bytes{0xCA, 0xFE}));
      EXPECT_EQ(fromSingle.data, Concat({{0xCA, 0xFE}, RecordOf(kPasses)}));
    } else {
      EXPECT_EQ(single.data, (Bytes{0x10})) << moment.atUs;        // no tag
      EXPECT_EQ(byEpc.data, (Bytes{0x12})) << moment.atUs;         // no tag with that EPC
      EXPECT_EQ(fromSingle.data, (Bytes{0x10})) << moment.atUs;
    }
  }
}

TEST(SimPresence, AntennaStreamsFollowTheFieldToo) {
  Bench bench(DockDoor("every 0.5 present 0.2"));
  bench.nowUs = 0;
  ASSERT_EQ(bench.Command(0x31, {0x01, 0x24, 0x00, 0x01, 0x03}).status, 0x00);  // antennas 1 and 2 report
  std::vector<Reply> ack = bench.Exchange(0x10, {}, false, true);
  ASSERT_EQ(ack.size(), 1u);
  // 0.2 s to 0.5 s: the passing tag is away; 0.5 s to 0.7 s it is back on both antennas.
  bench.Wait(200, true);
  const std::vector<Reply> away = bench.Wait(290, true);
  const std::vector<Reply> back = bench.Wait(200, true);
  EXPECT_EQ(Count(Records(away), kPasses), 0u);
  ASSERT_FALSE(back.empty());
  std::set<uint8_t> antennas;
  for (const Reply& reply : back) {
    if (reply.data == RecordOf(kPasses)) antennas.insert(reply.antenna.value_or(0));
  }
  EXPECT_EQ(antennas, (std::set<uint8_t>{1, 2}));
}

}  // namespace
}  // namespace quarn::sim
