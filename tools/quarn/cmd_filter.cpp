// Select filters in the reader's table: add, list, delete, select.

#include <memory>

#include "arguments.h"
#include "commands.h"

namespace quarn::cli {

namespace {

constexpr uint8_t kNoReply = 0xFF;
constexpr int kMaxFilters = 256;
constexpr const char* kTargetNames[] = {"s0", "s1", "s2", "s3", "sl"};

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
  for (int target = 0; target < 5; ++target)
    if (text == kTargetNames[target]) return target;
  return static_cast<int>(ParseNumber(text, 0, 7, "select target"));
}

std::string TargetName(int target) { return target >= 0 && target < 5 ? kTargetNames[target] : std::to_string(target); }

// The refusal of a filter command: errorCode carries the reader's status byte, or 0xFF for no reply.
[[noreturn]] void FailFilter(const std::string& what, uint8_t errorCode) {
  if (errorCode == kNoReply) FailReader("the reader did not answer the " + what);
  FailReader("the reader refused the " + what + " with status " + ByteText(errorCode));
}

FilterRecord RecordOf(const AddArgs& args) {
  FilterRecord filter{};
  Bytes mask = ParseHex(args.mask, "mask");
  if (mask.size() > sizeof filter.mask) FailUsage("the mask holds at most 32 bytes");
  int maskBits = args.maskBits >= 0 ? args.maskBits : static_cast<int>(mask.size() * 8);
  if (maskBits > 255) FailUsage("a mask is at most 255 bits long");
  if (static_cast<size_t>(maskBits + 7) / 8 > mask.size())
    FailUsage("the mask has " + std::to_string(mask.size()) + " bytes, fewer than " + std::to_string(maskBits) +
              " bits need");
  Bytes pointer = EncodeWordPointer(args.pointer);  // a bit pointer takes the same EBV form
  filter.filterIndex = static_cast<uint8_t>(args.index);
  filter.recordLength = static_cast<uint8_t>(8 + (pointer.size() - 1) + static_cast<size_t>(maskBits + 7) / 8);
  filter.target = static_cast<uint8_t>(ParseTarget(args.target));
  filter.action = static_cast<uint8_t>(args.action);
  filter.memBank = static_cast<uint8_t>(ParseBank(args.bank));
  filter.pointer[0] = pointer[0];
  filter.pointer[1] = pointer.size() > 1 ? pointer[1] : 0;
  filter.maskBitLength = static_cast<uint8_t>(maskBits);
  std::copy(mask.begin(), mask.end(), filter.mask);
  filter.truncate = static_cast<uint8_t>(args.truncate);
  return filter;
}

Json FilterJson(const FilterRecord& filter) {
  size_t maskBytes = (static_cast<size_t>(filter.maskBitLength) + 7) / 8;
  Bytes pointer = {filter.pointer[0], filter.pointer[1]};
  return Json{{"index", filter.filterIndex},
              {"target", TargetName(filter.target)},
              {"action", filter.action},
              {"bank", BankName(filter.memBank)},
              {"pointer", DecodeWordPointer(pointer)},
              {"maskBits", filter.maskBitLength},
              {"mask", HexText(filter.mask, maskBytes)},
              {"truncate", filter.truncate}};
}

Report Add(Context& context, const AddArgs& args) {
  FilterRecord filter = RecordOf(args);
  uint8_t errorCode = kNoReply;
  if (!UhfAddFilter(context.port(), &filter, &errorCode, context.crcFlag())) FailFilter("filter", errorCode);
  Report report;
  report.data["filter"] = FilterJson(filter);
  report.text = "added filter " + std::to_string(args.index) + "\n";
  return report;
}

struct IndexArgs {
  int index = 0;
  int option = 0;
};

constexpr uint8_t kLastReport = 0x01;

Report List(Context& context, const IndexArgs& args) {
  uint8_t errorCode = kNoReply;
  if (!UhfStartGetFilterByIndex(context.port(), args.index, args.option, &errorCode, context.crcFlag())) {
    if (errorCode == kNoReply) FailFilter("filter listing", errorCode);
    throw Failure(kExitFailed, "the reader refused the filter listing with status " + ByteText(errorCode), std::nullopt,
                  "a reader refuses to list when it holds no filter from that index on");
  }
  Json filters = Json::array();
  std::vector<std::vector<std::string>> rows;
  for (int n = 0; n < kMaxFilters; ++n) {
    uint8_t frameStatus = kNoReply;
    FilterRecord filter{};
    // The listing ends with its last report (status 0x01), a frame that is no report, or silence.
    if (!UhfReadFilterByIndex(context.port(), &frameStatus, &filter)) break;
    Json entry = FilterJson(filter);
    filters.push_back(entry);
    rows.push_back({std::to_string(filter.filterIndex), entry["target"].get<std::string>(),
                    std::to_string(filter.action), entry["bank"].get<std::string>(),
                    std::to_string(entry["pointer"].get<long>()), std::to_string(filter.maskBitLength),
                    entry["mask"].get<std::string>(), std::to_string(filter.truncate)});
    if (frameStatus == kLastReport) break;
  }
  Report report;
  report.data["filters"] = filters;
  report.text = rows.empty()
                    ? "no filters\n"
                    : TableText({"index", "target", "action", "bank", "pointer", "bits", "mask", "truncate"}, rows);
  return report;
}

Report Delete(Context& context, const IndexArgs& args) {
  uint8_t errorCode = kNoReply;
  if (!UhfDeleteFilterByIndex(context.port(), args.index, &errorCode, context.crcFlag()))
    FailFilter("filter deletion", errorCode);
  Report report;
  report.data["deleted"] = args.index;
  report.text = "deleted filter " + std::to_string(args.index) + "\n";
  return report;
}

Report Select(Context& context, const IndexArgs& args) {
  uint8_t errorCode = kNoReply;
  if (!UhfSelectFilterByIndex(context.port(), args.index, args.option, &errorCode, context.crcFlag()))
    FailFilter("filter selection", errorCode);
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
  auto* addCommand = commands.Add(*filter, "add", "add a filter: tags whose memory matches the mask",
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
  auto* listCommand =
      commands.Add(*filter, "list", "list the filters the reader keeps", [list](Context& c) { return List(c, *list); });
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
  auto* selectCommand = commands.Add(*filter, "select", "make a filter the one in force",
                                     [select](Context& c) { return Select(c, *select); });
  selectCommand->add_option("index", select->index, "the filter's index")->required()->check(CLI::Range(0, 255));
  selectCommand
      ->add_option("--option", select->option,
                   "the selection option byte (commonly 0: only this filter, 1: this one too, 2: not this one)")
      ->check(CLI::Range(0, 255))
      ->capture_default_str();
}

}  // namespace quarn::cli
