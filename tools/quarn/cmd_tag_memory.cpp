// Tag memory: read, write (plain or block), erase, and a new EPC.

#include <memory>

#include "arguments.h"
#include "commands.h"

namespace quarn::cli {

namespace {

constexpr size_t kTagRecordBuffer = 64;
constexpr size_t kMaxReadBytes = 65535;  // the largest byte count a read to the end of a bank can report
constexpr int kMaxOneByteLength = 127;
constexpr uint8_t kWrittenInFull = 0x00;

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
  Bytes wordPointer;
};

MemoryArea AreaOf(const MemoryArgs& args) {
  int bank = ParseBank(args.bank);
  long address = ParseNumber(args.address, 0, 0x3FFF, "word address");
  return {bank, address, EncodeWordPointer(address)};
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

Report MemoryReport(const MemoryArea& area, const Bytes& data, const uint8_t* record, size_t recordSize) {
  Report report;
  report.data["bank"] = BankName(area.bank);
  report.data["address"] = area.address;
  report.data["words"] = data.size() / 2;
  report.data["data"] = HexText(data);
  std::vector<std::pair<std::string, std::string>> fields;
  if (record) {
    report.data["tag"] = TagJson(record, recordSize);
    fields.emplace_back("EPC", IdentifyTag(record, recordSize).epc);
  }
  fields.emplace_back(std::string(BankName(area.bank)) + " @" + std::to_string(area.address),
                      data.empty() ? "(no data)" : WordsText(data));
  report.text = FieldsText(fields);
  return report;
}

Report ReadWords(Context& context, const MemoryArgs& args, const MemoryArea& area, int words) {
  auto password = args.target.accessPassword();
  Bytes data(static_cast<size_t>(words) * 2);
  uint8_t errorCode = 0xFF;
  if (args.target.byEpc()) {
    Bytes record = args.target.record();
    if (!UhfReadDataByEPC(context.port(), password.data(), area.bank, area.wordPointer.data(), words, record.data(),
                          data.data(), &errorCode, context.crcFlag()))
      FailTagOperation("read " + TagName(args.target), errorCode, !args.target.byEpc());
    return MemoryReport(area, data, nullptr, 0);
  }
  uint8_t record[kTagRecordBuffer];
  uint8_t recordSize = 0;
  if (!UhfReadDataFromSingleTag(context.port(), password.data(), area.bank, area.wordPointer.data(), words, data.data(),
                                record, &recordSize, &errorCode, context.crcFlag()))
    FailTagOperation("read " + TagName(args.target), errorCode, !args.target.byEpc());
  return MemoryReport(area, data, record, recordSize);
}

// Count 0: everything from the address to the end of the bank, with the length the reader reports.
Report ReadToEnd(Context& context, const MemoryArgs& args, const MemoryArea& area) {
  auto password = args.target.accessPassword();
  Bytes data(kMaxReadBytes);
  uint8_t length[2] = {0, 0};
  uint8_t errorCode = 0xFF;
  uint8_t record[kTagRecordBuffer];
  uint8_t recordSize = 0;
  bool byEpc = args.target.byEpc();
  int result = 0;
  if (byEpc) {
    Bytes epc = args.target.record();
    result = UhfReadMaxDataByEPC(context.port(), password.data(), area.bank, area.wordPointer.data(), epc.data(),
                                 length, data.data(), &errorCode, context.crcFlag());
  } else {
    result = UhfReadMaxDataFromSingleTag(context.port(), password.data(), area.bank, area.wordPointer.data(), length,
                                         data.data(), record, &recordSize, &errorCode, context.crcFlag());
  }
  if (!result) FailTagOperation("read " + TagName(args.target), errorCode, !args.target.byEpc());
  data.resize(static_cast<size_t>(length[0]) << 8 | length[1]);
  return MemoryReport(area, data, byEpc ? nullptr : record, recordSize);
}

Report Read(Context& context, const MemoryArgs& args) {
  MemoryArea area = AreaOf(args);
  int words = static_cast<int>(ParseNumber(args.count, 0, 255, "word count"));
  return words == 0 ? ReadToEnd(context, args, area) : ReadWords(context, args, area, words);
}

// A plain write frame has a one-byte length; longer writes go as block writes.
bool FitsPlainWrite(const MemoryArgs& args, const MemoryArea& area, size_t dataBytes, bool crc) {
  size_t parameters = 4 + 1 + area.wordPointer.size() + 1 + dataBytes;
  if (args.target.byEpc()) parameters += args.target.record().size();
  return 2 + parameters + (crc ? 2 : 0) <= kMaxOneByteLength;
}

Report Written(const MemoryArea& area, size_t words, const std::string& method, const uint8_t* record,
               size_t recordSize) {
  Report report;
  report.data["bank"] = BankName(area.bank);
  report.data["address"] = area.address;
  report.data["words"] = words;
  report.data["method"] = method;
  if (record && recordSize >= 2) report.data["tag"] = TagJson(record, recordSize);
  report.text = "wrote " + std::to_string(words) + (words == 1 ? " word" : " words") + " to " + BankName(area.bank) +
                " @" + std::to_string(area.address);
  if (record && recordSize >= 2) report.text += " of the tag " + IdentifyTag(record, recordSize).epc;
  report.text += "\n";
  return report;
}

Report BlockWrite(Context& context, const MemoryArgs& args, const MemoryArea& area, const Bytes& data) {
  auto password = args.target.accessPassword();
  int words = static_cast<int>(data.size() / 2);
  uint8_t errorCode = 0xFF, writeStatus = 0x80, written = 0;
  uint8_t record[kTagRecordBuffer] = {};
  uint8_t recordSize = 0;
  std::string what = "write " + TagName(args.target);
  if (args.target.byEpc()) {
    Bytes epc = args.target.record();
    UhfBlockWriteDataByEPC(context.port(), password.data(), area.bank, area.wordPointer.data(), words, epc.data(),
                           data.data(), &errorCode, &writeStatus, &written, record, context.crcFlag());
    if (writeStatus != kWrittenInFull)
      FailBlockWrite(what, writeStatus, errorCode, written, data.size() / 2, !args.target.byEpc());
    return Written(area, data.size() / 2, "block", nullptr, 0);
  }
  UhfBlockWriteDataToSingleTag(context.port(), password.data(), area.bank, area.wordPointer.data(), words, data.data(),
                               record, &recordSize, &writeStatus, &errorCode, &written, context.crcFlag());
  if (writeStatus != kWrittenInFull)
    FailBlockWrite(what, writeStatus, errorCode, written, data.size() / 2, !args.target.byEpc());
  return Written(area, data.size() / 2, "block", record, recordSize);
}

Report PlainWrite(Context& context, const MemoryArgs& args, const MemoryArea& area, const Bytes& data) {
  auto password = args.target.accessPassword();
  int words = static_cast<int>(data.size() / 2);
  uint8_t errorCode = 0xFF;
  if (args.target.byEpc()) {
    Bytes epc = args.target.record();
    if (!UhfWriteDataByEPC(context.port(), password.data(), area.bank, area.wordPointer.data(), words, epc.data(),
                           data.data(), &errorCode, context.crcFlag()))
      FailTagOperation("write " + TagName(args.target), errorCode, !args.target.byEpc());
    return Written(area, data.size() / 2, "plain", nullptr, 0);
  }
  uint8_t record[kTagRecordBuffer];
  uint8_t recordSize = 0;
  if (!UhfWriteDataToSingleTag(context.port(), password.data(), area.bank, area.wordPointer.data(), words, data.data(),
                               record, &recordSize, &errorCode, context.crcFlag()))
    FailTagOperation("write " + TagName(args.target), errorCode, !args.target.byEpc());
  return Written(area, data.size() / 2, "plain", record, recordSize);
}

Report Write(Context& context, const MemoryArgs& args) {
  MemoryArea area = AreaOf(args);
  Bytes data = ParseHex(args.data, "data");
  if (data.empty() || data.size() % 2 != 0) FailUsage("the data must be whole 16-bit words (4 hex digits each)");
  if (data.size() > 2 * 255) FailUsage("one write takes at most 255 words");
  bool plain = !args.block && FitsPlainWrite(args, area, data.size(), context.crcFlag() != 0);
  return plain ? PlainWrite(context, args, area, data) : BlockWrite(context, args, area, data);
}

Report Erase(Context& context, const MemoryArgs& args) {
  MemoryArea area = AreaOf(args);
  int words = static_cast<int>(ParseNumber(args.count, 1, 255, "word count"));
  auto password = args.target.accessPassword();
  uint8_t errorCode = 0xFF;
  uint8_t record[kTagRecordBuffer] = {};
  if (args.target.byEpc()) {
    Bytes epc = args.target.record();
    if (!UhfEraseDataByEPC(context.port(), password.data(), area.bank, area.wordPointer.data(), words, epc.data(),
                           &errorCode, context.crcFlag()))
      FailTagOperation("erase " + TagName(args.target), errorCode, !args.target.byEpc());
  } else if (!UhfEraseDataFromSingleTag(context.port(), password.data(), area.bank, area.wordPointer.data(), words,
                                        record, &errorCode, context.crcFlag())) {
    FailTagOperation("erase " + TagName(args.target), errorCode, !args.target.byEpc());
  }
  Report report;
  report.data["bank"] = BankName(area.bank);
  report.data["address"] = area.address;
  report.data["words"] = words;
  report.text = "erased " + std::to_string(words) + (words == 1 ? " word" : " words") + " of " + BankName(area.bank) +
                " @" + std::to_string(area.address) + "\n";
  if (!args.target.byEpc()) report.data["tag"] = TagJson(record, TagRecordSize(record[0]));
  return report;
}

struct EpcArgs {
  TagTarget target;
  std::string newEpc;
};

Report NewEpc(Context& context, const EpcArgs& args) {
  Bytes newEpc = ParseHex(args.newEpc, "new EPC");
  if (newEpc.size() % 2 != 0 || newEpc.size() > 62) FailUsage("the new EPC must be 0 to 31 whole words");
  auto password = args.target.accessPassword();
  int words = static_cast<int>(newEpc.size() / 2);
  uint8_t errorCode = 0xFF, writeStatus = 0x80, written = 0;
  uint8_t record[kTagRecordBuffer] = {};
  uint8_t recordSize = 0;
  std::string what = "give " + TagName(args.target) + " the new EPC";
  if (args.target.byEpc()) {
    Bytes epc = args.target.record();
    UhfBlockWriteEPCByEPC(context.port(), password.data(), words, epc.data(), newEpc.data(), &errorCode, &writeStatus,
                          &written, record, context.crcFlag());
    recordSize = static_cast<uint8_t>(TagRecordSize(record[0]));
  } else {
    UhfBlockWriteEPCToSingleTag(context.port(), password.data(), words, newEpc.data(), record, &recordSize,
                                &writeStatus, &errorCode, &written, context.crcFlag());
  }
  if (writeStatus != kWrittenInFull)
    FailBlockWrite(what, writeStatus, errorCode, written, newEpc.size() / 2 + 1, !args.target.byEpc());
  Report report;
  // The new identity is the PC word and EPC just written, whatever the reader echoed.
  Bytes newRecord = {static_cast<uint8_t>(words << 3), 0x00};
  newRecord.insert(newRecord.end(), newEpc.begin(), newEpc.end());
  report.data["tag"] = TagJson(newRecord.data(), newRecord.size());
  report.text = "the tag's EPC is now " + HexText(newEpc) + " (PC " + HexText(newRecord.data(), 2) + ")\n";
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
