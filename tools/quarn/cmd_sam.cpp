// The reader's secure access module (APDUs, PSAM power) and its SR data (read, write to a tag).

#include <memory>

#include "arguments.h"
#include "commands.h"

namespace quarn::cli {

namespace {

constexpr uint8_t kUnset = 0xFF;
constexpr uint8_t kSamRefused = 0x81;
constexpr size_t kSrBytes = 80;
constexpr size_t kAnswerBuffer = 2048;
constexpr size_t kTagRecordBuffer = 64;

struct ApduArgs {
  std::string apdu;
};

Bytes ApduOf(const ApduArgs& args) {
  Bytes apdu = ParseHex(args.apdu, "APDU");
  if (apdu.size() < 4) FailUsage("an APDU has at least its 4 header bytes (CLA INS P1 P2)");
  return apdu;
}

// The APDU's failure: the SAM's own refusal comes with its status word.
[[noreturn]] void FailApdu(uint8_t status, uint8_t sw1, uint8_t sw2) {
  if (status == kSamRefused)
    FailReader("the SAM refused the APDU with status word " + HexText(&sw1, 1) + HexText(&sw2, 1));
  if (status == kUnset) FailReader("the reader did not answer the APDU (or refused its length)");
  FailReader("the reader refused the APDU with status " + ByteText(status));
}

Report Apdu(Context& context, const ApduArgs& args) {
  Bytes apdu = ApduOf(args);
  uint8_t response[256] = {};
  int responseLength = 0;
  uint8_t sw1 = 0, sw2 = 0, status = kUnset;
  if (!UhfSetSAM(context.port(), apdu.data(), static_cast<int>(apdu.size()), response, &responseLength, &sw1, &sw2,
                 &status, context.crcFlag()))
    FailApdu(status, sw1, sw2);
  std::string word = HexText(&sw1, 1) + HexText(&sw2, 1);
  Report report;
  report.data["response"] = HexText(response, static_cast<size_t>(responseLength));
  report.data["sw"] = word;
  report.text =
      FieldsText({{"response", responseLength ? HexText(response, static_cast<size_t>(responseLength)) : "(none)"},
                  {"status word", word + (word == "9000" ? " (done)" : "")}});
  return report;
}

Report ApduToSr(Context& context, const ApduArgs& args, bool srB) {
  Bytes apdu = ApduOf(args);
  uint8_t sw1 = 0, sw2 = 0, status = kUnset;
  auto send = srB ? UhfGetInfoSAMtoSRB : UhfGetInfoSAMtoSRA;
  if (!send(context.port(), apdu.data(), static_cast<int>(apdu.size()), &sw1, &sw2, &status, context.crcFlag()))
    FailApdu(status, sw1, sw2);
  std::string word = HexText(&sw1, 1) + HexText(&sw2, 1);
  Report report;
  report.data["sw"] = word;
  report.data["sr"] = srB ? "B" : "A";
  report.text = std::string("SR ") + (srB ? "B" : "A") + " filled, status word " + word + "\n";
  return report;
}

struct PowerArgs {
  int psam = 1;
  std::string state;
};

Report Power(Context& context, const PowerArgs& args) {
  bool on = args.state == "on";
  if (!on && args.state != "off") FailUsage("say on or off");
  Bytes answer(kAnswerBuffer);
  uint8_t answerLength = 0;
  RequireReader(
      UhfSetPsamPowerOnOrOff(context.port(), args.psam, on ? 1 : 0, answer.data(), &answerLength, context.crcFlag()),
      "did not switch the PSAM");
  Report report;
  report.data["psam"] = args.psam;
  report.data["on"] = on;
  report.data["answer"] = HexText(answer.data(), answerLength);
  report.text = "PSAM " + std::to_string(args.psam) + (on ? " on" : " off");
  if (answerLength) report.text += ", answer " + HexText(answer.data(), answerLength);
  report.text += "\n";
  return report;
}

struct SrReadArgs {
  int select = 0;
};

Report SrRead(Context& context, const SrReadArgs& args) {
  uint8_t data[kSrBytes];
  uint8_t status = kUnset;
  if (!UhfGetSR(context.port(), args.select, data, &status, context.crcFlag())) {
    if (status == kUnset) FailReader("the reader did not answer the SR read");
    FailReader("the reader refused the SR read with status " + ByteText(status));
  }
  Report report;
  report.data["select"] = args.select;
  report.data["data"] = HexText(data, kSrBytes);
  for (size_t at = 0; at < kSrBytes; at += 16) report.text += HexText(data + at, 16) + "\n";
  return report;
}

struct SrWriteArgs {
  TagTarget target;
  std::string bank;
  std::string address;
  std::vector<int> params = {0, 0, 0, 0};
};

Report SrWrite(Context& context, const SrWriteArgs& args) {
  int bank = ParseBank(args.bank);
  long address = ParseNumber(args.address, 0, 0x3FFF, "word address");
  Bytes pointer = EncodeWordPointer(address);
  auto password = args.target.accessPassword();
  std::vector<int> p = args.params;
  p.resize(4, 0);
  uint8_t errorCode = 0xFF, writeStatus = 0x80, written = 0;
  uint8_t record[255] = {};
  uint8_t recordLength = 0;
  if (args.target.byEpc()) {
    Bytes epc = args.target.record();
    UhfWriteSRtoTagByEPC(context.port(), password.data(), bank, pointer.data(), p[0], epc.data(), p[1], p[2], p[3],
                         &errorCode, &writeStatus, &written, context.crcFlag());
  } else {
    UhfWriteSRtoTagSingle(context.port(), password.data(), bank, pointer.data(), p[0], p[1], p[2], p[3], record,
                          &recordLength, &errorCode, &writeStatus, &written, context.crcFlag());
  }
  if (writeStatus != 0x00)
    FailBlockWrite("write the SR data into " + TagName(args.target), writeStatus, errorCode, written, 0,
                   !args.target.byEpc());
  Report report;
  report.data["bank"] = BankName(bank);
  report.data["address"] = address;
  if (recordLength >= 2) report.data["tag"] = TagJson(record, std::min<size_t>(recordLength, 64));
  report.text = std::string("wrote the SR data to ") + BankName(bank) + " @" + std::to_string(address) + "\n";
  return report;
}

}  // namespace

void AddSamCommands(CLI::App& app, CommandSet& commands) {
  auto* sam = app.add_subcommand("sam", "the reader's secure access module");
  sam->require_subcommand(1);
  auto apdu = std::make_shared<ApduArgs>();
  auto* apduCommand = commands.Add(*sam, "apdu", "send an ISO 7816-4 command APDU and show the response",
                                   [apdu](Context& c) { return Apdu(c, *apdu); });
  apduCommand->add_option("apdu", apdu->apdu, "the APDU in hex: CLA INS P1 P2 [Lc data] [Le]")->required();
  for (bool srB : {false, true}) {
    auto args = std::make_shared<ApduArgs>();
    auto* command = commands.Add(*sam, srB ? "srb" : "sra",
                                 std::string("send an APDU whose answer goes into SR ") + (srB ? "B" : "A"),
                                 [args, srB](Context& c) { return ApduToSr(c, *args, srB); });
    command->add_option("apdu", args->apdu, "the APDU in hex")->required();
  }
  auto power = std::make_shared<PowerArgs>();
  auto* powerCommand =
      commands.Add(*sam, "power", "switch a PSAM on or off", [power](Context& c) { return Power(c, *power); });
  powerCommand->add_option("psam", power->psam, "1 or 2")->required()->check(CLI::Range(1, 2));
  powerCommand->add_option("state", power->state, "on or off")->required();

  auto* sr = app.add_subcommand("sr", "the reader's SR data");
  sr->require_subcommand(1);
  auto read = std::make_shared<SrReadArgs>();
  auto* readCommand =
      commands.Add(*sr, "read", "show 80 bytes of SR data", [read](Context& c) { return SrRead(c, *read); });
  readCommand->add_option("select", read->select, "which SR data, as the reader numbers it")
      ->check(CLI::Range(0, 255))
      ->capture_default_str();
  auto write = std::make_shared<SrWriteArgs>();
  auto* writeCommand = commands.Add(*sr, "write", "write the reader's SR data into a tag",
                                    [write](Context& c) { return SrWrite(c, *write); });
  writeCommand->add_option("bank", write->bank, "reserved, epc, tid or user")->required();
  writeCommand->add_option("address", write->address, "first word address")->required();
  writeCommand->add_option("--params", write->params, "the four SR parameter bytes")
      ->expected(4)
      ->check(CLI::Range(0, 255));
  AddTagTargetOptions(*writeCommand, write->target);
}

}  // namespace quarn::cli
