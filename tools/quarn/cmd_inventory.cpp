// inventory: the tags in the field, continuously for a while (a live table of unique tags with read
// counts), as the single tag, or over the reader's antennas.

#include <chrono>
#include <map>
#include <memory>

#include "arguments.h"
#include "commands.h"
#include "terminal.h"

namespace quarn::cli {

namespace {

constexpr size_t kTagRecordBuffer = 64;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

struct InventoryArgs {
  double seconds = 1.0;
  bool single = false;
  bool antennas = false;
  int param = -1;
};

struct SeenTag {
  Bytes record;
  int antenna = -1;
  long reads = 0;
};

// Unique tags in the order they were first seen; one tag on two antennas is two rows.
class TagTally {
 public:
  void Count(const uint8_t* record, size_t size, int antenna) {
    Bytes key(record, record + size);
    key.push_back(static_cast<uint8_t>(antenna & 0xFF));
    auto [at, added] = index_.emplace(key, tags_.size());
    if (added) tags_.push_back({Bytes(record, record + size), antenna, 0});
    ++tags_[at->second].reads;
    ++total_;
  }
  const std::vector<SeenTag>& tags() const { return tags_; }
  long total() const { return total_; }

 private:
  std::map<Bytes, size_t> index_;
  std::vector<SeenTag> tags_;
  long total_ = 0;
};

std::string TallyText(const TagTally& tally, bool antennas) {
  std::vector<std::string> header = {"#", "EPC", "PC", "reads"};
  if (antennas) header.push_back("antenna");
  std::vector<std::vector<std::string>> rows;
  for (const auto& tag : tally.tags()) {
    TagIdentity identity = IdentifyTag(tag.record.data(), tag.record.size());
    std::vector<std::string> row = {std::to_string(rows.size() + 1), identity.epc.empty() ? "(none)" : identity.epc,
                                    identity.pc, std::to_string(tag.reads)};
    if (antennas) row.push_back(std::to_string(tag.antenna));
    rows.push_back(row);
  }
  return TableText(header, rows);
}

Json TallyJson(const TagTally& tally, bool antennas) {
  Json tags = Json::array();
  for (const auto& tag : tally.tags()) {
    Json entry = TagJson(tag.record.data(), tag.record.size());
    entry["reads"] = tag.reads;
    if (antennas) entry["antenna"] = tag.antenna;
    tags.push_back(entry);
  }
  return tags;
}

bool StartInventory(Context& context, const InventoryArgs& args) {
  int hasParam = args.param >= 0 ? 1 : 0;
  int param = args.param >= 0 ? args.param : 0;
  if (args.antennas) return UhfStartInventoryForMultiAnt(context.port(), hasParam, param, context.crcFlag()) == 1;
  return UhfStartInventory(context.port(), hasParam, param, context.crcFlag()) == 1;
}

// One report from the stream, or false when the next frame was none (or none came in time).
bool NextReport(Context& context, bool antennas, uint8_t* record, uint8_t& size, int& antenna) {
  if (!antennas) return UhfReadInventory(context.port(), &size, record) == 1;
  uint8_t antennaNumber = 0;
  if (!UhfReadInventoryFromMultiAnt(context.port(), &antennaNumber, &size, record)) return false;
  antenna = antennaNumber;
  return true;
}

Report Continuous(Context& context, const InventoryArgs& args) {
  if (!StartInventory(context, args)) FailReader("the reader did not start the inventory (no reply, or it refused)");

  TagTally tally;
  LiveArea live(stdout);
  bool drawLive = live.active() && !context.options.json;
  InterruptWatch interrupt;
  Deadline deadline(args.seconds);
  auto nextDraw = std::chrono::steady_clock::now();
  while (!deadline.passed() && !interrupt.interrupted()) {
    uint8_t record[kTagRecordBuffer];
    uint8_t size = 0;
    int antenna = -1;
    if (NextReport(context, args.antennas, record, size, antenna)) tally.Count(record, size, antenna);
    if (drawLive && std::chrono::steady_clock::now() >= nextDraw) {
      live.Draw(TallyText(tally, args.antennas) + "reading... " + std::to_string(tally.total()) + " reads\n");
      nextDraw = std::chrono::steady_clock::now() + kRedrawInterval;
    }
  }
  bool stopped = UhfStopOperation(context.port(), context.crcFlag()) == 1;
  double elapsed = deadline.elapsed();
  live.Clear();

  Report report;
  report.data["tags"] = TallyJson(tally, args.antennas);
  report.data["reads"] = tally.total();
  report.data["seconds"] = elapsed;
  report.data["stopped"] = stopped;
  char summary[96];
  std::snprintf(summary, sizeof summary, "%zu tags, %ld reads in %.1f s\n", tally.tags().size(), tally.total(),
                elapsed);
  report.text = TallyText(tally, args.antennas) + summary;
  if (!stopped) report.text += "warning: the reader did not confirm the stop; try quarn stop\n";
  return report;
}

Report Single(Context& context) {
  uint8_t record[kTagRecordBuffer];
  uint8_t size = 0;
  if (!UhfInventorySingleTag(context.port(), &size, record, context.crcFlag()))
    FailReader("no single tag answered (none in the field, or the reader refused)");
  Report report;
  report.data["tag"] = TagJson(record, size);
  TagIdentity identity = IdentifyTag(record, size);
  report.text = FieldsText({{"EPC", identity.epc}, {"PC", identity.pc}});
  return report;
}

}  // namespace

void AddInventoryCommand(CLI::App& app, CommandSet& commands) {
  auto args = std::make_shared<InventoryArgs>();
  auto* command = commands.Add(app, "inventory", "list the tags in the field with their read counts",
                               [args](Context& c) { return args->single ? Single(c) : Continuous(c, *args); });
  command->add_option("-t,--time", args->seconds, "seconds to read for; 0 reads until Ctrl-C")
      ->check(CLI::Range(0.0, 3600.0))
      ->capture_default_str();
  command->add_flag("-s,--single", args->single, "ask for the single tag in the field, once");
  command->add_flag("-a,--antennas", args->antennas, "read over the antennas the multi-antenna setting names");
  command->add_option("--param", args->param, "the inventory parameter byte, passed to the reader")
      ->check(CLI::Range(0, 255));
  command->get_option("--single")->excludes("--antennas");
}

}  // namespace quarn::cli
