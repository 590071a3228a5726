// The state that outlives the program: what is captured and restored, the file that holds it, and the
// mistakes a damaged file is refused for.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "sim/model/scenario.h"
#include "sim/state/reader_state.h"
#include "sim/state/state_file.h"
#include "sim_test_support.h"

namespace quarn::sim {
namespace {

using testing::Bench;
using testing::Concat;
using testing::kZeroPassword;
using nlohmann::json;

const Bytes kGuarded = {0xE2, 0x00, 0x34, 0x12, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01};
const Bytes kDoomed = {0x30, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02};
const Bytes kAccess = {0x12, 0x34, 0x56, 0x78};
const Bytes kKill = {0x0B, 0xAD, 0xF0, 0x0D};
Bytes RecordOf(const Bytes& epc) { return Concat({{0x30, 0x00}, epc}); }

Scenario Field() {
  Scenario scenario;
  ApplyScenarioText("tag " + ToHex(kGuarded) + " access=12345678 ant=1,2 power=5 user-words=40 every 60 present 50\n" +
                        "tag " + ToHex(kDoomed) + " kill=0BADF00D\n",
                    scenario);
  return scenario;
}

// Writes, a lock, a kill, a filter, registers and a save: every part of the state changed once.
void ChangeEverything(Bench& bench) {
  const Bytes guarded = RecordOf(kGuarded);
  ASSERT_EQ(bench.Command(0x14, Concat({kAccess, {0x03, 0x00, 0x02, 0xCA, 0xFE, 0xF0, 0x0D}, guarded})).status, 0);
  // User memory locked behind the password.
  ASSERT_EQ(bench.Command(0x16, Concat({kAccess, {0x00, 0x0C, 0x02}, guarded})).status, 0);
  ASSERT_EQ(bench.Command(0x17, Concat({kKill, RecordOf(kDoomed)})).status, 0);
  const Bytes filter = {0x02, 0x0A, 0x04, 0x00, 0x01, 0x20, 0x10, 0xE2, 0x00, 0x00};
  ASSERT_EQ(bench.Command(0x38, Concat({filter})).status, 0);
  ASSERT_EQ(bench.Command(0x3B, {0x02, 0x01}).status, 0);
  ASSERT_EQ(bench.Command(0x02, {20, 30}).status, 0);
  ASSERT_EQ(bench.Command(0x33).status, 0);
  ASSERT_EQ(bench.Command(0x31, {0x01, 0x80, 0x00, 0x02, 0xAB, 0xCD}).status, 0);
}

TEST(SimState, WhatIsRestoredBehavesAsWhatWasCaptured) {
  Bench before(Field());
  ChangeEverything(before);
  const json state = CaptureState(before.reader);

  Bench after;  // another field altogether until the state arrives
  RestoreState(json::parse(state.dump()), after.reader);
  EXPECT_EQ(CaptureState(after.reader), state);
  ASSERT_EQ(after.reader.tags().size(), 2u);
  EXPECT_TRUE(after.reader.tags()[1].killed());
  EXPECT_EQ(after.reader.tags()[0].presence(), before.reader.tags()[0].presence());
  EXPECT_EQ(after.reader.registers().saved(), before.reader.registers().saved());
  EXPECT_NE(after.reader.registers().working(), after.reader.registers().saved());

  // The restored tag keeps its memory and its lock: readable, writable only with its password.
  const Bytes guarded = RecordOf(kGuarded);
  const Bytes read = after.Command(0x13, Concat({kZeroPassword, {0x03, 0x00, 0x02}, guarded})).data;
  EXPECT_EQ(read, (Bytes{0xCA, 0xFE, 0xF0, 0x0D}));
  const Bytes write = Concat({{0x03, 0x00, 0x01, 0x00, 0x00}, guarded});
  EXPECT_EQ(after.Command(0x14, Concat({kZeroPassword, write})).data, (Bytes{0x04}));
  EXPECT_EQ(after.Command(0x14, Concat({kAccess, write})).status, 0x00);
  // The filter on EPC prefix E200 is still switched on: only the guarded tag takes part.
  EXPECT_EQ(after.Command(0x18).data, guarded);
  EXPECT_EQ(after.Command(0x01).data, (Bytes{20, 30}));
}

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quarn-sim-state-XXXXXX").string();
    path_ = mkdtemp(pattern.data()) ? pattern : "";
  }
  ~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  std::string File(const char* name) const { return path_ + "/" + name; }
  size_t Entries() const {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(path_), {}));
  }

 private:
  std::string path_;
};

struct ReaderRun {
  explicit ReaderRun(const std::string& path, const Scenario& scenario = Field())
      : bench(scenario), file(path, [this](const std::string& text) { notices.push_back(text); }) {
    restored = file.Attach(bench.reader);
    bench.reader.SetCommandSink([this] { file.SaveIfChanged(bench.reader); });
  }
  Bench bench;
  std::vector<std::string> notices;
  StateFile file;
  bool restored = false;
};

TEST(SimStateFile, AChangeSurvivesIntoTheNextRunAndQueriesWriteNothing) {
  TempFolder folder;
  const std::string path = folder.File("state.json");
  {
    ReaderRun first(path);
    EXPECT_FALSE(first.restored);
    first.bench.Command(0x07);
    first.bench.Command(0x18);
    EXPECT_FALSE(std::filesystem::exists(path)) << "a run that changed nothing wrote a file";
    ChangeEverything(first.bench);
    EXPECT_EQ(folder.Entries(), 1u) << "the temporary file stayed behind";
  }
  ReaderRun second(path);
  EXPECT_TRUE(second.restored);
  EXPECT_TRUE(second.notices.empty());
  EXPECT_TRUE(second.bench.reader.tags()[1].killed());
  EXPECT_EQ(second.bench.Command(0x01).data, (Bytes{20, 30}));
}

TEST(SimStateFile, AnotherScenarioStartsAfreshAndTakesTheFileOver) {
  TempFolder folder;
  const std::string path = folder.File("state.json");
  {
    ReaderRun first(path);
    ChangeEverything(first.bench);
  }
  Scenario other;
  other.seed = 5;
  {
    ReaderRun second(path, other);
    EXPECT_FALSE(second.restored);
    ASSERT_EQ(second.notices.size(), 1u);
    EXPECT_NE(second.notices[0].find("another scenario"), std::string::npos) << second.notices[0];
    EXPECT_EQ(second.bench.reader.tags().size(), 3u);
    EXPECT_EQ(second.bench.Command(0x02, {25, 25}).status, 0);
  }
  ReaderRun third(path, other);
  EXPECT_TRUE(third.restored);
  EXPECT_EQ(third.bench.Command(0x01).data, (Bytes{25, 25}));
}

TEST(SimStateFile, ADamagedFileIsRefusedWithItsCauseAndTheReaderLeftAsItWas) {
  TempFolder folder;
  const std::string path = folder.File("state.json");
  {
    ReaderRun first(path);
    ChangeEverything(first.bench);
  }
  std::ifstream in(path);
  const json good = json::parse(in);
  struct Case {
    const char* what;
    std::function<void(json&)> damage;
    const char* message;
  };
  const Case cases[] = {
      {"format", [](json& s) { s["format"] = 2; }, "another version"},
      {"tags", [](json& s) { s.erase("tags"); }, "'tags' is missing"},
      {"reserved bank", [](json& s) { s["tags"][0]["memory"]["reserved"] = "0000"; }, "reserved bank has a wrong size"},
      {"odd bank", [](json& s) { s["tags"][0]["memory"]["user"] = "CAF"; }, "odd number of hex digits"},
      {"lock", [](json& s) { s["tags"][0]["locks"]["user"] = "sealed"; }, "unknown lock state"},
      {"power", [](json& s) { s["tags"][0]["power"] = 40; }, "'power'"},
      {"presence", [](json& s) { s["tags"][0]["presence"] = "every 3"; }, "needs 'present'"},
      {"registers", [](json& s) { s["registers"]["saved"].erase(0); }, "not 512 bytes"},
      {"filter", [](json& s) { s["filters"][0]["record"] = "0203"; }, "not a filter record"},
      {"version", [](json& s) { s["version"] = "51"; }, "not 9 bytes"},
  };
  for (const Case& c : cases) {
    json damaged = good;
    c.damage(damaged);
    std::ofstream(path) << damaged.dump();
    Bench bench(Field());
    StateFile file(path, nullptr);
    try {
      file.Attach(bench.reader);
      ADD_FAILURE() << "accepted a damaged " << c.what;
    } catch (const StateError& error) {
      const std::string text = error.what();
      EXPECT_NE(text.find(c.message), std::string::npos) << c.what << ": " << text;
      EXPECT_NE(text.find("delete " + path), std::string::npos) << text;
    }
    EXPECT_FALSE(bench.reader.tags()[1].killed()) << c.what << ": the reader took part of the state";
  }
  std::ofstream(path) << "{ not json";
  Bench bench(Field());
  EXPECT_THROW(StateFile(path, nullptr).Attach(bench.reader), StateError);
}

TEST(SimStateFile, AFailedSaveIsSaidOnceAndTheReaderGoesOn) {
  ReaderRun run("/nonexistent-folder/state.json");
  EXPECT_EQ(run.bench.Command(0x02, {20, 20}).status, 0);
  EXPECT_EQ(run.bench.Command(0x02, {21, 21}).status, 0);
  ASSERT_EQ(run.notices.size(), 1u);
  EXPECT_NE(run.notices[0].find("cannot save the state to /nonexistent-folder/state.json"), std::string::npos);
}

}  // namespace
}  // namespace quarn::sim
