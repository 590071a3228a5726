// Select filters in the reader's table: add, list, delete, select.

#include <memory>

#include "arguments.h"
#include "commands.h"
#include "quarn/filter.h"

namespace quarn::cli {

namespace {

// The reader's status when it holds no filter at the index asked for (or from it on): a listing with
// nothing in it, not a fault.
constexpr uint8_t kNoFilterThere = 0x03;
constexpr const char* kSelectNote = "a filter acts only once it is selected: quarn filter select INDEX";

struct AddArgs {
  int index = 0;
  std::string target = "sl";
  int action = 0;
  std::string bank = "epc";
  long pointer = 32;
  std::string mask;
  int maskBits = -1;
  int truncate = 0;
};

int ParseTarget(const std::string& text) {
  if (const std::optional<uint8_t> named = quarn::ParseSelectTarget(text)) return *named;
  return static_cast<int>(ParseNumber(text, 0, 7, "select target (--target)"));
}

std::string TargetName(int target) { return quarn::SelectTargetName(static_cast<uint8_t>(target)); }

quarn::Filter FilterOf(const AddArgs& args) {
  Bytes mask = ParseHex(args.mask, "mask");
  if (mask.size() > quarn::Filter::kMaxMaskBytes) FailUsage("the mask holds at most 32 bytes");
  int maskBits = args.maskBits >= 0 ? args.maskBits : static_cast<int>(mask.size() * 8);
  if (maskBits > 255) FailUsage("a mask is at most 255 bits long; give fewer with --bits");
  if (static_cast<size_t>(maskBits + 7) / 8 > mask.size())
    FailUsage("the mask has " + Counted(mask.size(), "byte") + ", fewer than " + Counted(static_cast<size_t>(maskBits), "bit") +
              " (--bits) need");
  quarn::Filter filter;
  filter.index = static_cast<uint8_t>(args.index);
  filter.target = static_cast<uint8_t>(ParseTarget(args.target));
  filter.action = static_cast<uint8_t>(args.action);
  filter.bank = BankOf(ParseBank(args.bank));
  filter.bitPointer = static_cast<uint32_t>(args.pointer);
  filter.SetMask(mask, static_cast<uint8_t>(maskBits));
  filter.truncate = static_cast<uint8_t>(args.truncate);
  return filter;
}

Json FilterJson(const quarn::Filter& filter) {
  return Json{{"index", filter.index},
              {"target", TargetName(filter.target)},
              {"action", filter.action},
              {"bank", BankName(static_cast<int>(filter.bank))},
              {"pointer", filter.bitPointer},
              {"maskBits", filter.maskBitLength},
              {"mask", HexText(filter.maskBytes())},
              {"truncate", filter.truncate}};
}

Report Add(Context& context, const AddArgs& args) {
  const quarn::Filter filter = FilterOf(args);
  context.Attempt({"add filter " + std::to_string(args.index)}, [&](quarn::Reader& r) { r.AddFilter(filter); });
  Report report;
  report.data["filter"] = FilterJson(filter);
  report.data["selected"] = false;
  report.data["note"] = kSelectNote;
  report.text = "added filter " + std::to_string(args.index) + "; " + kSelectNote + "\n";
  return report;
}

struct IndexArgs {
  int index = 0;
  int option = 0;
};

bool NoFilterThere(const quarn::ErrorDetail& detail) {
  return detail.code == quarn::Errc::kRefused && detail.status == kNoFilterThere;
}

Report List(Context& context, const IndexArgs& args) {
  quarn::Reader& reader = context.reader();
  std::error_code ec;
  quarn::FilterListing listing = reader.ListFilters(static_cast<uint8_t>(args.index), static_cast<uint8_t>(args.option),
                                                    quarn::StreamOptions(), ec);
  const Action action{"list the filters"};
  const bool empty = ec && NoFilterThere(reader.lastError());
  if (ec && !empty) context.Fail(action);
  Json filters = Json::array();
  std::vector<std::vector<std::string>> rows;
  if (!empty) {
    for (const quarn::Filter& filter : listing) {
      Json entry = FilterJson(filter);
      filters.push_back(entry);
      rows.push_back({std::to_string(filter.index), entry["target"].get<std::string>(), std::to_string(filter.action),
                      entry["bank"].get<std::string>(), std::to_string(filter.bitPointer),
                      std::to_string(filter.maskBitLength), entry["mask"].get<std::string>(),
                      std::to_string(filter.truncate)});
    }
    if (listing.endedBy() == quarn::StreamEnd::kError) context.Fail(action);
  }
  Report report;
  report.data["filters"] = filters;
  report.text = rows.empty()
                    ? "no filters\n"
                    : TableText({"index", "target", "action", "bank", "pointer", "bits", "mask", "truncate"}, rows);
  return report;
}

Report Delete(Context& context, const IndexArgs& args) {
  context.Attempt({"delete filter " + std::to_string(args.index)},
                  [&](quarn::Reader& r) { r.DeleteFilter(static_cast<uint8_t>(args.index)); });
  Report report;
  report.data["deleted"] = args.index;
  report.text = "deleted filter " + std::to_string(args.index) + "\n";
  return report;
}

Report Select(Context& context, const IndexArgs& args) {
  context.Attempt({"select filter " + std::to_string(args.index)}, [&](quarn::Reader& r) {
    r.SelectFilter(static_cast<uint8_t>(args.index), static_cast<uint8_t>(args.option));
  });
  Report report;
  report.data["selected"] = args.index;
  report.text = "selected filter " + std::to_string(args.index) + "\n";
  return report;
}

}  // namespace

void AddFilterCommands(CLI::App& app, CommandSet& commands) {
  auto* filter = app.add_subcommand("filter", "keep select filters in the reader, restricting which tags take part");
  filter->require_subcommand(1);

  auto add = std::make_shared<AddArgs>();
  auto* addCommand = commands.Add(*filter, "add",
                                  "add a filter: tags whose memory matches the mask; it acts only once selected "
                                  "(quarn filter select INDEX)",
                                  [add](Context& c) { return Add(c, *add); });
  addCommand->add_option("mask", add->mask, "the mask in hex")->required();
  addCommand->add_option("-i,--index", add->index, "the filter's index in the table")
      ->check(CLI::Range(0, 255))
      ->capture_default_str();
  addCommand->add_option("--bank", add->bank, "the bank the mask is compared with")->capture_default_str();
  addCommand->add_option("--pointer", add->pointer, "the first bit compared (32: the EPC's first bit)")
      ->check(CLI::Range(0L, 16383L))
      ->capture_default_str();
  addCommand->add_option("--bits", add->maskBits, "mask length in bits (default: all the mask's bits)")
      ->check(CLI::Range(0, 255));
  addCommand->add_option("--target", add->target, "select target: s0, s1, s2, s3, sl")->capture_default_str();
  addCommand->add_option("--action", add->action, "select action, 0 to 7")
      ->check(CLI::Range(0, 7))
      ->capture_default_str();
  addCommand->add_option("--truncate", add->truncate, "select truncate, 0 or 1")
      ->check(CLI::Range(0, 1))
      ->capture_default_str();

  auto list = std::make_shared<IndexArgs>();
  list->option = 1;
  auto* listCommand = commands.Add(*filter, "list", "list the filters the reader keeps (none is an empty list)",
                                   [list](Context& c) { return List(c, *list); });
  listCommand->add_option("-i,--index", list->index, "the index to start from")->check(CLI::Range(0, 255));
  listCommand
      ->add_option("--option", list->option, "the listing option byte (commonly 0: that index only, 1: from it on)")
      ->check(CLI::Range(0, 255))
      ->capture_default_str();

  auto del = std::make_shared<IndexArgs>();
  auto* deleteCommand =
      commands.Add(*filter, "delete", "delete a filter", [del](Context& c) { return Delete(c, *del); });
  deleteCommand->add_option("index", del->index, "the filter's index")->required()->check(CLI::Range(0, 255));

  auto select = std::make_shared<IndexArgs>();
  auto* selectCommand = commands.Add(*filter, "select", "make a filter act on the tags that take part",
                                     [select](Context& c) { return Select(c, *select); });
  selectCommand->add_option("index", select->index, "the filter's index")->required()->check(CLI::Range(0, 255));
  selectCommand
      ->add_option("--option", select->option,
                   "the selection option byte (commonly 0: only this filter, 1: this one too, 2: not this one)")
      ->check(CLI::Range(0, 255))
      ->capture_default_str();
}

}  // namespace quarn::cli
