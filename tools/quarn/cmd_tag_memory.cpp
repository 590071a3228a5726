// Tag memory: read, write (plain or block), erase, and a new EPC.

#include <memory>
#include <optional>

#include "arguments.h"
#include "commands.h"

namespace quarn::cli {

namespace {

constexpr size_t kMaxWriteWords = 255;

struct MemoryArgs {
  TagTarget target;
  std::string bank;
  std::string address;
  std::string count = "1";
  std::string data;
  bool block = false;
};

struct MemoryArea {
  int bank;
  long address;

  quarn::MemoryBank memoryBank() const { return BankOf(bank); }
  quarn::WordPointer pointer() const { return quarn::WordPointer(static_cast<uint32_t>(address)); }
  std::string Name() const { return std::string(BankName(bank)) + " @" + std::to_string(address); }
};

MemoryArea AreaOf(const MemoryArgs& args) {
  return {ParseBank(args.bank), ParseNumber(args.address, 0, quarn::WordPointer::kMax, "word address")};
}

// Data as 16-bit words, four hex digits apart, as tag memory is laid out.
std::string WordsText(const Bytes& data) {
  std::string text;
  for (size_t at = 0; at < data.size(); at += 2) {
    if (!text.empty()) text += ' ';
    text += HexText(&data[at], std::min<size_t>(2, data.size() - at));
  }
  return text;
}

Report MemoryReport(const MemoryArea& area, const Bytes& data, const std::optional<quarn::TagRecord>& tag) {
  Report report;
  report.data["bank"] = BankName(area.bank);
  report.data["address"] = area.address;
  report.data["words"] = data.size() / 2;
  report.data["data"] = HexText(data);
  std::vector<std::pair<std::string, std::string>> fields;
  if (tag) {
    report.data["tag"] = TagJson(*tag);
    fields.emplace_back("EPC", tag->epcHex());
  }
  fields.emplace_back(area.Name(), data.empty() ? "(no data)" : WordsText(data));
  report.text = FieldsText(fields);
  return report;
}

// Count 0 reads everything from the address to the end of the bank.
Report Read(Context& context, const MemoryArgs& args) {
  const MemoryArea area = AreaOf(args);
  const auto words = static_cast<uint8_t>(ParseNumber(args.count, 0, 255, "word count"));
  const quarn::Password password = args.target.accessPassword();
  const TagTarget& target = args.target;
  const Action action = target.Doing("read");
  if (target.byEpc()) {
    const quarn::TagRecord tag = target.record();
    const Bytes data = context.Attempt(action, [&](quarn::Reader& r) {
      return words == 0 ? r.ReadMaxData(tag, area.memoryBank(), area.pointer(), password)
                        : r.ReadData(tag, area.memoryBank(), area.pointer(), words, password);
    });
    return MemoryReport(area, data, std::nullopt);
  }
  const quarn::SingleTagData read = context.Attempt(action, [&](quarn::Reader& r) {
    return words == 0 ? r.ReadMaxDataFromSingleTag(area.memoryBank(), area.pointer(), password)
                      : r.ReadDataFromSingleTag(area.memoryBank(), area.pointer(), words, password);
  });
  return MemoryReport(area, read.data, read.tag);
}

Report Written(const MemoryArea& area, size_t words, const std::string& method,
               const std::optional<quarn::TagRecord>& tag) {
  Report report;
  report.data["bank"] = BankName(area.bank);
  report.data["address"] = area.address;
  report.data["words"] = words;
  report.data["method"] = method;
  if (tag) report.data["tag"] = TagJson(*tag);
  report.text = "wrote " + Counted(words, "word") + " to " + area.Name();
  if (tag) report.text += " of the tag " + tag->epcHex();
  report.text += "\n";
  return report;
}

// A block write that did not write every word fails with how far it got.
Report BlockWrite(Context& context, const MemoryArgs& args, const MemoryArea& area, const Bytes& data) {
  const quarn::Password password = args.target.accessPassword();
  const size_t words = data.size() / 2;
  const Action action = args.target.Doing("write", words);
  const quarn::WriteOutcome outcome = context.Attempt(action, [&](quarn::Reader& r) {
    return args.target.byEpc()
               ? r.BlockWriteData(args.target.record(), area.memoryBank(), area.pointer(), data, password)
               : r.BlockWriteDataToSingleTag(area.memoryBank(), area.pointer(), data, password);
  });
  return Written(area, words, "block", args.target.byEpc() ? std::nullopt : outcome.tag);
}

// A plain write, when the words fit its short frame; nullopt, with nothing sent, when they do not.
std::optional<Report> PlainWrite(Context& context, const MemoryArgs& args, const MemoryArea& area, const Bytes& data) {
  const quarn::Password password = args.target.accessPassword();
  quarn::Reader& reader = context.reader();
  std::error_code ec;
  std::optional<quarn::TagRecord> answered;
  if (args.target.byEpc()) {
    reader.WriteData(args.target.record(), area.memoryBank(), area.pointer(), data, password, ec);
  } else {
    answered = reader.WriteDataToSingleTag(area.memoryBank(), area.pointer(), data, password, ec);
  }
  if (ec == quarn::Errc::kInvalidArgument) return std::nullopt;
  if (ec) context.Fail(args.target.Doing("write"));
  return Written(area, data.size() / 2, "plain", answered);
}

Report Write(Context& context, const MemoryArgs& args) {
  const MemoryArea area = AreaOf(args);
  const Bytes data = ParseHex(args.data, "data");
  if (data.empty() || data.size() % 2 != 0) FailUsage("the data must be whole 16-bit words (4 hex digits each)");
  if (data.size() > 2 * kMaxWriteWords) FailUsage("one write takes at most 255 words");
  if (!args.block)
    if (std::optional<Report> written = PlainWrite(context, args, area, data)) return *written;
  return BlockWrite(context, args, area, data);
}

Report Erase(Context& context, const MemoryArgs& args) {
  const MemoryArea area = AreaOf(args);
  const auto words = static_cast<uint8_t>(ParseNumber(args.count, 1, 255, "word count"));
  const quarn::Password password = args.target.accessPassword();
  std::optional<quarn::TagRecord> answered;
  context.Attempt(args.target.Doing("erase"), [&](quarn::Reader& r) {
    if (args.target.byEpc()) {
      r.EraseData(args.target.record(), area.memoryBank(), area.pointer(), words, password);
    } else {
      answered = r.EraseDataFromSingleTag(area.memoryBank(), area.pointer(), words, password);
    }
  });
  Report report;
  report.data["bank"] = BankName(area.bank);
  report.data["address"] = area.address;
  report.data["words"] = words;
  if (answered) report.data["tag"] = TagJson(*answered);
  report.text = "erased " + Counted(words, "word") + " of " + area.Name() + "\n";
  return report;
}

struct EpcArgs {
  TagTarget target;
  std::string newEpc;
};

Report NewEpc(Context& context, const EpcArgs& args) {
  const Bytes newEpc = ParseHex(args.newEpc, "new EPC");
  if (newEpc.size() % 2 != 0 || newEpc.size() > 62) FailUsage("the new EPC must be 0 to 31 whole words");
  const quarn::Password password = args.target.accessPassword();
  // The PC word goes with the EPC: one word more than the EPC's.
  const Action action = args.target.Doing("give a new EPC to", newEpc.size() / 2 + 1);
  context.Attempt(action, [&](quarn::Reader& r) {
    return args.target.byEpc() ? r.BlockWriteEpc(args.target.record(), newEpc, password)
                               : r.BlockWriteEpcToSingleTag(newEpc, password);
  });
  const quarn::TagRecord renamed = quarn::TagRecord::FromEpc(newEpc);
  Report report;
  report.data["tag"] = TagJson(renamed);
  report.text = "the tag's EPC is now " + renamed.epcHex() + " (PC " + IdentifyTag(renamed).pc + ")\n";
  return report;
}

}  // namespace

void AddTagMemoryCommands(CLI::App& app, CommandSet& commands) {
  auto read = std::make_shared<MemoryArgs>();
  auto* readCommand =
      commands.Add(app, "read", "read words of tag memory", [read](Context& c) { return Read(c, *read); });
  readCommand->add_option("bank", read->bank, "reserved, epc, tid or user")->required();
  readCommand->add_option("address", read->address, "first word address")->required();
  readCommand->add_option("count", read->count, "words to read, 1 to 255; 0 reads to the end of the bank")
      ->capture_default_str();
  AddTagTargetOptions(*readCommand, read->target);

  auto write = std::make_shared<MemoryArgs>();
  auto* writeCommand =
      commands.Add(app, "write", "write words of tag memory", [write](Context& c) { return Write(c, *write); });
  writeCommand->add_option("bank", write->bank, "reserved, epc, tid or user")->required();
  writeCommand->add_option("address", write->address, "first word address")->required();
  writeCommand->add_option("data", write->data, "the words in hex, 4 digits each")->required();
  writeCommand->add_flag("--block", write->block, "use a block write (long data always does)");
  AddTagTargetOptions(*writeCommand, write->target);

  auto erase = std::make_shared<MemoryArgs>();
  auto* eraseCommand =
      commands.Add(app, "erase", "erase words of tag memory", [erase](Context& c) { return Erase(c, *erase); });
  eraseCommand->add_option("bank", erase->bank, "reserved, epc, tid or user")->required();
  eraseCommand->add_option("address", erase->address, "first word address")->required();
  eraseCommand->add_option("count", erase->count, "words to erase, 1 to 255")->capture_default_str();
  AddTagTargetOptions(*eraseCommand, erase->target);

  auto epc = std::make_shared<EpcArgs>();
  auto* epcCommand = commands.Add(app, "epc", "give a tag a new EPC (its PC word follows the new length)",
                                  [epc](Context& c) { return NewEpc(c, *epc); });
  epcCommand->add_option("new-epc", epc->newEpc, "the new EPC in hex, whole words")->required();
  AddTagTargetOptions(*epcCommand, epc->target);
}

}  // namespace quarn::cli
