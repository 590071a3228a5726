// read-all: the reader reads the same words from every tag it meets, for a while; a table of the tags
// with what each holds there.

#include <chrono>
#include <map>
#include <memory>

#include "arguments.h"
#include "commands.h"
#include "terminal.h"

namespace quarn::cli {

namespace {

constexpr size_t kBlockBuffer = 2038;
constexpr size_t kTagRecordBuffer = 64;
constexpr uint8_t kNoDataFrame = 0xEE;  // preset: a frame of the read that carries no data leaves it

struct MultiReadArgs {
  std::string bank;
  std::string address;
  std::string count = "1";
  std::string password = "00000000";
  std::string options = "000000";
  double seconds = 1.0;
  bool antennas = false;
};

struct TagData {
  Bytes record;
  int antenna = -1;
  std::string data;
  long reads = 0;
};

// readOptions, then its option bytes: 2 in the short form, 5 or 6 in the long one (bit 0 of readOptions).
Bytes ReadOptions(const std::string& text) {
  Bytes options = ParseHex(text, "read options");
  if (options.empty()) FailUsage("the read options start with the options byte");
  size_t wanted = (options[0] & 0x01) ? (options.size() > 2 && (options[2] & 0x80) ? 7 : 6) : 3;
  if (options.size() != wanted)
    FailUsage("read options " + text + " must be " + std::to_string(wanted) + " bytes for options byte " +
              ByteText(options[0]));
  return options;
}

bool Start(Context& context, const MultiReadArgs& args, int bank, const Bytes& pointer, int words,
           const Bytes& options) {
  auto password = ParsePassword(args.password, "access password");
  auto start = args.antennas ? UhfStartReadDataForMultiAnt : UhfStartReadDataFromMultiTag;
  return start(context.port(), password.data(), bank, pointer.data(), words, options[0], options.data() + 1,
               context.crcFlag()) == 1;
}

// The next data frame: its record, its first block (and second, when it has one) and antenna.
bool NextData(Context& context, bool antennas, TagData& frame) {
  uint8_t status = kNoDataFrame, antenna = 0, recordSize = 0;
  uint8_t length[2] = {}, secondLength[2] = {};
  Bytes data(kBlockBuffer), second(kBlockBuffer);
  uint8_t record[kTagRecordBuffer];
  int result = antennas ? UhfGetDataFromMultiAnt(context.port(), &antenna, &status, length, data.data(), secondLength,
                                                 second.data(), record, &recordSize)
                        : UhfGetDataFromMultiTag(context.port(), &status, length, data.data(), secondLength,
                                                 second.data(), record, &recordSize);
  if (!result || status == kNoDataFrame) return false;
  data.resize(static_cast<size_t>(length[0]) << 8 | length[1]);
  frame.record.assign(record, record + recordSize);
  frame.antenna = antennas ? antenna : -1;
  frame.data = HexText(data);
  if (status == 0x01) {
    second.resize(static_cast<size_t>(secondLength[0]) << 8 | secondLength[1]);
    frame.data += " " + HexText(second);
  }
  return true;
}

Report MultiRead(Context& context, const MultiReadArgs& args) {
  int bank = ParseBank(args.bank);
  Bytes pointer = EncodeWordPointer(ParseNumber(args.address, 0, 0x3FFF, "word address"));
  int words = static_cast<int>(ParseNumber(args.count, 1, 255, "word count"));
  Bytes options = ReadOptions(args.options);
  if (!Start(context, args, bank, pointer, words, options))
    FailReader("the reader did not start the multi-tag read (no reply, or it refused)");

  std::map<Bytes, size_t> index;
  std::vector<TagData> tags;
  InterruptWatch interrupt;
  Deadline deadline(args.seconds);
  while (!deadline.passed() && !interrupt.interrupted()) {
    TagData frame;
    if (!NextData(context, args.antennas, frame)) continue;
    Bytes key = frame.record;
    key.push_back(static_cast<uint8_t>(frame.antenna & 0xFF));
    auto [at, added] = index.emplace(key, tags.size());
    if (added) tags.push_back(frame);
    tags[at->second].data = frame.data;
    ++tags[at->second].reads;
  }
  bool stopped = UhfStopOperation(context.port(), context.crcFlag()) == 1;

  Report report;
  Json list = Json::array();
  std::vector<std::vector<std::string>> rows;
  for (const auto& tag : tags) {
    Json entry = TagJson(tag.record.data(), tag.record.size());
    entry["data"] = tag.data;
    entry["reads"] = tag.reads;
    if (args.antennas) entry["antenna"] = tag.antenna;
    list.push_back(entry);
    std::vector<std::string> row = {entry["epc"].get<std::string>(), tag.data, std::to_string(tag.reads)};
    if (args.antennas) row.push_back(std::to_string(tag.antenna));
    rows.push_back(row);
  }
  report.data["bank"] = BankName(bank);
  report.data["tags"] = list;
  report.data["stopped"] = stopped;
  std::vector<std::string> header = {"EPC", std::string(BankName(bank)) + " @" + args.address, "reads"};
  if (args.antennas) header.push_back("antenna");
  report.text = TableText(header, rows) + std::to_string(tags.size()) + " tags\n";
  if (!stopped) report.text += "warning: the reader did not confirm the stop; try quarn stop\n";
  return report;
}

}  // namespace

void AddMultiReadCommand(CLI::App& app, CommandSet& commands) {
  auto args = std::make_shared<MultiReadArgs>();
  auto* command = commands.Add(app, "read-all", "read the same words from every tag in the field, for a while",
                               [args](Context& c) { return MultiRead(c, *args); });
  command->add_option("bank", args->bank, "reserved, epc, tid or user")->required();
  command->add_option("address", args->address, "first word address")->required();
  command->add_option("count", args->count, "words to read, 1 to 255")->capture_default_str();
  command->add_option("-P,--password", args->password, "access password, 8 hex digits")->capture_default_str();
  command->add_option("-t,--time", args->seconds, "seconds to read for; 0 reads until Ctrl-C")
      ->check(CLI::Range(0.0, 3600.0))
      ->capture_default_str();
  command->add_flag("-a,--antennas", args->antennas, "read over the antennas the multi-antenna setting names");
  command
      ->add_option("--options", args->options,
                   "the read options byte and its option bytes in hex, passed to the reader")
      ->capture_default_str();
}

}  // namespace quarn::cli
