// inventory: the tags in the field, continuously for a while (a live table of unique tags with read
// counts), as the single tag, or over the reader's antennas.

#include <chrono>
#include <map>
#include <memory>

#include "arguments.h"
#include "commands.h"
#include "stream_loop.h"

namespace quarn::cli {

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr int kNoAntenna = -1;

struct InventoryArgs {
  double seconds = 1.0;
  bool single = false;
  bool antennas = false;
  int param = -1;
};

struct SeenTag {
  quarn::TagRecord tag;
  int antenna = kNoAntenna;
  long reads = 0;
};

// Unique tags in the order they were first seen; one tag on two antennas is two rows.
class TagTally {
 public:
  void Count(const quarn::TagReport& report) {
    const int antenna = report.antenna ? *report.antenna : kNoAntenna;
    auto [at, added] = index_.emplace(std::make_pair(report.tag, antenna), tags_.size());
    if (added) tags_.push_back({report.tag, antenna, 0});
    ++tags_[at->second].reads;
    ++total_;
  }
  const std::vector<SeenTag>& tags() const { return tags_; }
  long total() const { return total_; }

 private:
  std::map<std::pair<quarn::TagRecord, int>, size_t> index_;
  std::vector<SeenTag> tags_;
  long total_ = 0;
};

std::string TallyText(const TagTally& tally, bool antennas) {
  std::vector<std::string> header = {"#", "EPC", "PC", "reads"};
  if (antennas) header.push_back("antenna");
  std::vector<std::vector<std::string>> rows;
  for (const auto& seen : tally.tags()) {
    TagIdentity identity = IdentifyTag(seen.tag);
    std::vector<std::string> row = {std::to_string(rows.size() + 1), identity.epc.empty() ? "(none)" : identity.epc,
                                    identity.pc, std::to_string(seen.reads)};
    if (antennas) row.push_back(std::to_string(seen.antenna));
    rows.push_back(row);
  }
  return TableText(header, rows);
}

Json TallyJson(const TagTally& tally, bool antennas) {
  Json tags = Json::array();
  for (const auto& seen : tally.tags()) {
    Json entry = TagJson(seen.tag);
    entry["reads"] = seen.reads;
    if (antennas) entry["antenna"] = seen.antenna;
    tags.push_back(entry);
  }
  return tags;
}

Report TallyReport(const TagTally& tally, bool antennas, double seconds) {
  Report report;
  report.data["tags"] = TallyJson(tally, antennas);
  report.data["reads"] = tally.total();
  report.data["seconds"] = seconds;
  char elapsed[32];
  std::snprintf(elapsed, sizeof elapsed, " in %.1f s\n", seconds);
  report.text = TallyText(tally, antennas) + Counted(tally.tags().size(), "tag") + ", " +
                Counted(static_cast<size_t>(tally.total()), "read") + elapsed;
  return report;
}

Report Continuous(Context& context, const InventoryArgs& args) {
  TagTally tally;
  LiveArea live(stdout);
  const bool drawLive = live.active() && !context.options.json;
  auto nextDraw = std::chrono::steady_clock::now();
  Deadline started(0);
  auto start = [&](quarn::Reader& reader, quarn::StreamOptions options, std::error_code& ec) {
    if (args.param >= 0) options.startParameter = static_cast<uint8_t>(args.param);
    return args.antennas ? reader.InventoryForMultiAnt(options, ec) : reader.Inventory(options, ec);
  };
  auto take = [&](const quarn::TagReport& report) {
    tally.Count(report);
    if (!drawLive || std::chrono::steady_clock::now() < nextDraw) return;
    live.Draw(TallyText(tally, args.antennas) + "reading... " + Counted(static_cast<size_t>(tally.total()), "read") +
              "\n");
    nextDraw = std::chrono::steady_clock::now() + kRedrawInterval;
  };
  auto partial = [&] {
    live.Clear();
    return TallyReport(tally, args.antennas, started.elapsed());
  };
  const StreamRun run = RunStreams(context, {"run the inventory"}, args.seconds, start, take, partial);
  live.Clear();

  Report report = TallyReport(tally, args.antennas, run.seconds);
  report.data["stopped"] = run.stopped;
  report.text += StopWarning(run);
  return report;
}

Report Single(Context& context) {
  const quarn::TagRecord tag = context.Attempt({"find the single tag in the field",
                                                "no single tag answered: the field holds none, or several (quarn inventory lists them)"},
                                               [](quarn::Reader& r) { return r.InventorySingleTag(); });
  Report report;
  report.data["tag"] = TagJson(tag);
  TagIdentity identity = IdentifyTag(tag);
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
