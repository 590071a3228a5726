// read-all: the reader reads the same words from every tag it meets, for a while; a table of the tags
// with what each holds there.

#include <map>
#include <memory>

#include "arguments.h"
#include "commands.h"
#include "quarn_api.h"
#include "stream_loop.h"

namespace quarn::cli {

namespace {

constexpr uint8_t kLongForm = 0x01;  // the options byte's bit for a second area
constexpr int kNoAntenna = -1;

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
  quarn::TagRecord tag;
  int antenna = kNoAntenna;
  std::string data;
  long reads = 0;
};

// The options byte, then its option bytes: the two the request ends with in the short form; the second
// area (bank, EBV word address, word count) before them in the long form (bit 0 of the options byte).
void ApplyReadOptions(const std::string& text, quarn::MultiTagReadRequest& request) {
  Bytes options = ParseHex(text, "read options");
  if (options.empty()) FailUsage("the read options (--options) start with the options byte");
  const bool longForm = (options[0] & kLongForm) != 0;
  const size_t pointerBytes = longForm && options.size() > 2 && (options[2] & QUARN_WORD_PTR_EXTENDED) ? 2 : 1;
  const size_t wanted = longForm ? 1 + 1 + pointerBytes + 1 + 2 : 3;
  if (options.size() != wanted)
    FailUsage("read options (--options) " + text + " must be " + Counted(wanted, "byte") + " for options byte " +
              ByteText(options[0]));
  request.readOptions = options[0];
  if (longForm) {
    if (options[1] > 3) FailUsage("the second area's bank in --options is 0 to 3, not " + ByteText(options[1]));
    quarn::MemoryArea second;
    second.bank = BankOf(options[1]);
    second.start = static_cast<uint32_t>(DecodeWordPointer(Bytes(options.begin() + 2, options.begin() + 2 +
                                                                  static_cast<long>(pointerBytes))));
    second.wordCount = options[2 + pointerBytes];
    request.secondArea = second;
  }
  request.optionBytes = {options[wanted - 2], options[wanted - 1]};
}

std::string DataText(const quarn::TagData& frame) {
  std::string text = HexText(frame.data);
  if (frame.secondData) text += " " + HexText(*frame.secondData);
  return text;
}

Report MultiRead(Context& context, const MultiReadArgs& args) {
  const int bank = ParseBank(args.bank);
  quarn::MultiTagReadRequest request;
  request.password = ParsePassword(args.password, "access password (-P)");
  request.area.bank = BankOf(bank);
  request.area.start = static_cast<uint32_t>(ParseNumber(args.address, 0, 0x3FFF, "word address"));
  request.area.wordCount = static_cast<uint8_t>(ParseNumber(args.count, 1, 255, "word count"));
  ApplyReadOptions(args.options, request);

  std::map<std::pair<quarn::TagRecord, int>, size_t> index;
  std::vector<TagData> tags;
  auto start = [&](quarn::Reader& reader, const quarn::StreamOptions& options, std::error_code& ec) {
    return args.antennas ? reader.MultiTagReadForMultiAnt(request, options, ec)
                         : reader.MultiTagRead(request, options, ec);
  };
  auto take = [&](const quarn::TagData& frame) {
    const int antenna = frame.antenna ? *frame.antenna : kNoAntenna;
    auto [at, added] = index.emplace(std::make_pair(frame.tag, antenna), tags.size());
    if (added) tags.push_back({frame.tag, antenna, "", 0});
    tags[at->second].data = DataText(frame);
    ++tags[at->second].reads;
  };
  auto report = [&] {
    Report result;
    Json list = Json::array();
    std::vector<std::vector<std::string>> rows;
    for (const auto& seen : tags) {
      Json entry = TagJson(seen.tag);
      entry["data"] = seen.data;
      entry["reads"] = seen.reads;
      if (args.antennas) entry["antenna"] = seen.antenna;
      list.push_back(entry);
      std::vector<std::string> row = {seen.tag.epcHex(), seen.data, std::to_string(seen.reads)};
      if (args.antennas) row.push_back(std::to_string(seen.antenna));
      rows.push_back(row);
    }
    result.data["bank"] = BankName(bank);
    result.data["tags"] = list;
    std::vector<std::string> header = {"EPC", std::string(BankName(bank)) + " @" + args.address, "reads"};
    if (args.antennas) header.push_back("antenna");
    result.text = TableText(header, rows) + Counted(tags.size(), "tag") + "\n";
    return result;
  };
  const StreamRun run = RunStreams(context, {"run the multi-tag read"}, args.seconds, start, take, report);

  Report result = report();
  result.data["stopped"] = run.stopped;
  result.text += StopWarning(run);
  return result;
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
                   "the read options byte and its option bytes in hex, passed to the reader: 3 bytes, or with "
                   "bit 0 set 6 (7 for a word address from 128) giving a second area: bank, address, count")
      ->capture_default_str();
}

}  // namespace quarn::cli
