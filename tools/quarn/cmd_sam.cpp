// The reader's secure access module (APDUs, PSAM power) and its SR data (read, write to a tag).

#include <memory>

#include "arguments.h"
#include "commands.h"

namespace quarn::cli {

namespace {

constexpr size_t kSrLine = 16;
constexpr uint16_t kSamDone = 0x9000;

struct ApduArgs {
  std::string apdu;
};

Bytes ApduOf(const ApduArgs& args) {
  Bytes apdu = ParseHex(args.apdu, "APDU");
  if (apdu.size() < 4) FailUsage("an APDU has at least its 4 header bytes (CLA INS P1 P2)");
  return apdu;
}

std::string WordText(quarn::StatusWord word) { return HexText(std::array<uint8_t, 2>{word.sw1, word.sw2}); }

Report Apdu(Context& context, const ApduArgs& args) {
  const Bytes apdu = ApduOf(args);
  const quarn::SamResponse response =
      context.Attempt({"pass the APDU to the SAM"}, [&](quarn::Reader& r) { return r.SendApdu(apdu); });
  const std::string word = WordText(response.statusWord);
  Report report;
  report.data["response"] = HexText(response.data);
  report.data["sw"] = word;
  report.text = FieldsText({{"response", response.data.empty() ? "(none)" : HexText(response.data)},
                            {"status word", word + (response.statusWord.value() == kSamDone ? " (done)" : "")}});
  return report;
}

Report ApduToSr(Context& context, const ApduArgs& args, quarn::SrTarget target) {
  const Bytes apdu = ApduOf(args);
  const char* sr = target == quarn::SrTarget::kB ? "B" : "A";
  const quarn::StatusWord word = context.Attempt({std::string("pass the APDU for SR ") + sr + " to the SAM"},
                                                 [&](quarn::Reader& r) { return r.GetInfoSamToSr(target, apdu); });
  Report report;
  report.data["sw"] = WordText(word);
  report.data["sr"] = sr;
  report.text = std::string("SR ") + sr + " filled, status word " + WordText(word) + "\n";
  return report;
}

struct PowerArgs {
  int psam = 1;
  std::string state;
};

Report Power(Context& context, const PowerArgs& args) {
  const bool on = args.state == "on";
  if (!on && args.state != "off") FailUsage("sam power takes on or off, not '" + args.state + "'");
  const auto slot = static_cast<quarn::PsamSlot>(args.psam);
  const Bytes answer = context.Attempt({"switch PSAM " + std::to_string(args.psam) + " " + args.state},
                                       [&](quarn::Reader& r) { return r.SetPsamPower(slot, on); });
  Report report;
  report.data["psam"] = args.psam;
  report.data["on"] = on;
  report.data["answer"] = HexText(answer);
  report.text = "PSAM " + std::to_string(args.psam) + (on ? " on" : " off");
  if (!answer.empty()) report.text += ", answer " + HexText(answer);
  report.text += "\n";
  return report;
}

struct SrReadArgs {
  int select = 0;
};

Report SrRead(Context& context, const SrReadArgs& args) {
  const quarn::SrInfo data = context.Attempt(
      {"read the SR data"}, [&](quarn::Reader& r) { return r.GetSr(static_cast<uint8_t>(args.select)); });
  Report report;
  report.data["select"] = args.select;
  report.data["data"] = HexText(data);
  for (size_t at = 0; at < data.size(); at += kSrLine) report.text += HexText(data.data() + at, kSrLine) + "\n";
  return report;
}

struct SrWriteArgs {
  TagTarget target;
  std::string bank;
  std::string address;
  std::vector<int> params = {0, 0, 0, 0};
};

Report SrWrite(Context& context, const SrWriteArgs& args) {
  const int bank = ParseBank(args.bank);
  const long address = ParseNumber(args.address, 0, quarn::WordPointer::kMax, "word address");
  const quarn::WordPointer start(static_cast<uint32_t>(address));
  const quarn::Password password = args.target.accessPassword();
  quarn::SrParams params{};
  for (size_t i = 0; i < params.size() && i < args.params.size(); ++i) params[i] = static_cast<uint8_t>(args.params[i]);
  const quarn::WriteOutcome outcome =
      context.Attempt(args.target.Doing("write the SR data into"), [&](quarn::Reader& r) {
        return args.target.byEpc() ? r.WriteSrToTag(args.target.record(), BankOf(bank), start, params, password)
                                   : r.WriteSrToSingleTag(BankOf(bank), start, params, password);
      });
  Report report;
  report.data["bank"] = BankName(bank);
  report.data["address"] = address;
  if (!args.target.byEpc() && outcome.tag) report.data["tag"] = TagJson(*outcome.tag);
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
  for (quarn::SrTarget target : {quarn::SrTarget::kA, quarn::SrTarget::kB}) {
    const bool srB = target == quarn::SrTarget::kB;
    auto args = std::make_shared<ApduArgs>();
    auto* command = commands.Add(*sam, srB ? "srb" : "sra",
                                 std::string("send an APDU whose answer goes into SR ") + (srB ? "B" : "A"),
                                 [args, target](Context& c) { return ApduToSr(c, *args, target); });
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
