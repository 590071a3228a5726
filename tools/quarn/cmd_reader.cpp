// Reader management: info, power, frequency, register, stop, sleep, transparent, probe.

#include <memory>

#include "arguments.h"
#include "commands.h"

namespace quarn::cli {

namespace {

constexpr int kRegisterSpace = 512;
constexpr int kFrequencyBytes = 7;

struct Frequency {
  uint8_t bytes[kFrequencyBytes];
};

bool ReadFrequency(Context& context, Frequency& frequency) {
  uint8_t* b = frequency.bytes;
  return UhfGetFrequency(context.port(), &b[0], &b[1], &b[2], &b[4], &b[5], &b[6], context.crcFlag()) == 1;
}

Report Info(Context& context) {
  PortHandle port = context.port();
  int crc = context.crcFlag();
  uint8_t version1[6], version2[3];
  if (!UhfGetVersion(port, version1, version2, crc))
    FailReader("the reader did not answer on " + context.reader().portName() + " at " +
               std::to_string(context.options.baud) + " baud (quarn probe finds its rate)");

  Report report;
  std::vector<std::pair<std::string, std::string>> fields;
  std::string version = HexText(version1, 6) + " " + HexText(version2, 3);
  report.data["version"] = version;
  fields.emplace_back("version", version);

  uint8_t uid[12];
  bool haveUid = UhfGetReaderUID(port, uid, crc) == 1;
  report.data["uid"] = haveUid ? Json(HexText(uid, 12)) : Json(nullptr);
  fields.emplace_back("uid", haveUid ? HexText(uid, 12) : "no answer");

  uint8_t power = 0;
  bool havePower = UhfGetPower(port, &power, crc) == 1;
  report.data["power"] = havePower ? Json(power) : Json(nullptr);
  fields.emplace_back("power", havePower ? std::to_string(power) : "no answer");

  Frequency frequency;
  bool haveFrequency = ReadFrequency(context, frequency);
  std::string frequencyText = haveFrequency ? HexText(frequency.bytes, kFrequencyBytes) : "";
  report.data["frequency"] = haveFrequency ? Json(frequencyText) : Json(nullptr);
  fields.emplace_back("frequency", haveFrequency ? frequencyText : "no answer");

  uint8_t paStatus = 0xFF;
  bool paOk = UhfGetPaStatus(port, &paStatus, crc) == 1;
  report.data["paStatus"] = paOk ? "ok" : "fault";
  fields.emplace_back("PA status", paOk ? "ok" : "fault (or no answer)");

  report.text = FieldsText(fields);
  return report;
}

struct PowerArgs {
  std::vector<int> values;
};

Report Power(Context& context, const PowerArgs& args) {
  Report report;
  if (!args.values.empty()) {
    int first = args.values[0];
    int second = args.values.size() > 1 ? args.values[1] : first;
    RequireReader(UhfSetPower(context.port(), first, second, context.crcFlag()), "did not take the power setting");
  }
  uint8_t power = 0;
  RequireReader(UhfGetPower(context.port(), &power, context.crcFlag()), "did not report its power");
  report.data["power"] = power;
  report.text = (args.values.empty() ? "power: " : "power set, now: ") + std::to_string(power) + "\n";
  return report;
}

struct FrequencyArgs {
  std::string bytes;
};

Report FrequencyCommand(Context& context, const FrequencyArgs& args) {
  Report report;
  if (!args.bytes.empty()) {
    Bytes value = ParseHex(args.bytes, "frequency setting");
    if (value.size() != kFrequencyBytes) FailUsage("the frequency setting is 7 bytes (14 hex digits)");
    const uint8_t freq23[2] = {value[2], value[3]};
    RequireReader(
        UhfSetFrequency(context.port(), value[0], value[1], freq23, value[4], value[5], value[6], context.crcFlag()),
        "did not take the frequency setting");
  }
  Frequency frequency;
  RequireReader(ReadFrequency(context, frequency) ? 1 : 0, "did not report its frequency setting");
  std::string text = HexText(frequency.bytes, kFrequencyBytes);
  report.data["frequency"] = text;
  Json bytes = Json::array();
  for (uint8_t b : frequency.bytes) bytes.push_back(b);
  report.data["bytes"] = bytes;
  report.text = "frequency: " + text + "\n";
  return report;
}

// Sixteen bytes a line, each line led by its register address.
std::string RegisterDump(int address, const Bytes& data) {
  std::string text;
  for (size_t at = 0; at < data.size(); at += 16) {
    char label[16];
    std::snprintf(label, sizeof label, "0x%03X:", static_cast<unsigned>(address + static_cast<int>(at)));
    text += label;
    for (size_t k = at; k < data.size() && k < at + 16; ++k) text += " " + HexText(&data[k], 1);
    text += "\n";
  }
  return text;
}

struct RegisterArgs {
  std::string address = "0";
  std::string count = "1";
  std::string data;
};

Report RegisterRead(Context& context, const RegisterArgs& args) {
  int address = static_cast<int>(ParseNumber(args.address, 0, kRegisterSpace - 1, "register address"));
  int count = static_cast<int>(ParseNumber(args.count, 0, kRegisterSpace, "register count"));
  if (count == 0) count = kRegisterSpace - address;
  if (address + count > kRegisterSpace) FailUsage("the registers end at 0x1FF");
  Bytes data(static_cast<size_t>(count));
  uint8_t errorCode = 0xFF;
  if (!UhfGetRegister(context.port(), address, count, &errorCode, data.data(), context.crcFlag())) {
    if (errorCode != 0xFF) FailReader("the reader refused the register read with status " + ByteText(errorCode));
    FailReader("the reader did not answer the register read");
  }
  Report report;
  report.data["address"] = address;
  report.data["count"] = count;
  report.data["data"] = HexText(data);
  report.text = RegisterDump(address, data);
  return report;
}

Report RegisterWrite(Context& context, const RegisterArgs& args) {
  int address = static_cast<int>(ParseNumber(args.address, 0, kRegisterSpace - 1, "register address"));
  Bytes data = ParseHex(args.data, "register data");
  if (data.empty()) FailUsage("give at least one byte to write");
  if (address + static_cast<int>(data.size()) > kRegisterSpace) FailUsage("the registers end at 0x1FF");
  uint8_t errorCode = 0xFF;
  if (!UhfSetRegister(context.port(), address, static_cast<int>(data.size()), data.data(), &errorCode,
                      context.crcFlag())) {
    if (errorCode != 0xFF) FailReader("the reader refused the register write with status " + ByteText(errorCode));
    FailReader("the reader did not answer the register write");
  }
  Report report;
  report.data["address"] = address;
  report.data["written"] = data.size();
  char where[16];
  std::snprintf(where, sizeof where, "0x%03X", static_cast<unsigned>(address));
  report.text = "wrote " + std::to_string(data.size()) + " register bytes at " + where + "\n";
  return report;
}

// A command that answers with success alone.
Report Done(int result, const std::string& refusal, const std::string& doneText, const char* key) {
  RequireReader(result, refusal);
  Report report;
  report.data[key] = true;
  report.text = doneText + "\n";
  return report;
}

struct TransparentArgs {
  std::string state;
};

Report Transparent(Context& context, const TransparentArgs& args) {
  bool on = args.state == "on";
  if (!on && args.state != "off") FailUsage("say on or off");
  uint8_t status = 0xFF;
  RequireReader(UhfSetTransparentTransfer(context.port(), on ? 1 : 0, &status, context.crcFlag()),
                "did not switch transparent transfer");
  Report report;
  report.data["transparent"] = on;
  report.text = std::string("transparent transfer ") + (on ? "on" : "off") + "\n";
  return report;
}

Report Probe(Context& context) {
  for (int baud : kBaudRates) {
    if (!context.reader().Reopen(baud))
      throw Failure(kExitPort, "cannot open the serial port " + context.reader().portName());
    uint8_t version1[6], version2[3];
    if (UhfGetVersion(context.reader().port(), version1, version2, context.crcFlag())) {
      Report report;
      report.data["baud"] = baud;
      report.data["version"] = HexText(version1, 6) + " " + HexText(version2, 3);
      report.text = "the reader answers at " + std::to_string(baud) + " baud\n";
      return report;
    }
  }
  FailReader("no reader answered on " + context.reader().portName() + " at any of 115200, 57600, 19200, 9600 baud");
}

}  // namespace

void AddReaderCommands(CLI::App& app, CommandSet& commands) {
  commands.Add(app, "info", "show the reader's version, UID, power, frequency setting and PA status", Info);

  auto power = std::make_shared<PowerArgs>();
  auto* powerCommand = commands.Add(app, "power", "show the RF power, or set it (one or two setting bytes)",
                                    [power](Context& c) { return Power(c, *power); });
  powerCommand->add_option("values", power->values, "setting bytes; with one, both bytes get it")
      ->expected(0, 2)
      ->check(CLI::Range(0, 255));

  auto frequency = std::make_shared<FrequencyArgs>();
  auto* frequencyCommand = commands.Add(app, "frequency", "show the frequency setting, or set its 7 bytes",
                                        [frequency](Context& c) { return FrequencyCommand(c, *frequency); });
  frequencyCommand->add_option("bytes", frequency->bytes, "the 7 setting bytes in hex, as shown");

  auto* registers = app.add_subcommand("register", "read and write the reader's 512 parameter registers");
  registers->require_subcommand(1);
  auto readArgs = std::make_shared<RegisterArgs>();
  auto* read = commands.Add(*registers, "read", "read register bytes (count 0: to the end)",
                            [readArgs](Context& c) { return RegisterRead(c, *readArgs); });
  read->add_option("address", readArgs->address, "first register address (0 to 0x1FF)")->required();
  read->add_option("count", readArgs->count, "number of bytes")->capture_default_str();
  auto writeArgs = std::make_shared<RegisterArgs>();
  auto* write = commands.Add(*registers, "write", "write register bytes",
                             [writeArgs](Context& c) { return RegisterWrite(c, *writeArgs); });
  write->add_option("address", writeArgs->address, "first register address (0 to 0x1FF)")->required();
  write->add_option("data", writeArgs->data, "the bytes in hex")->required();
  commands.Add(*registers, "reset", "reset the registers to the reader's defaults", [](Context& c) {
    return Done(UhfResetRegister(c.port(), c.crcFlag()), "did not reset its registers", "registers reset", "reset");
  });
  commands.Add(*registers, "save", "save the registers so they outlast a power cycle", [](Context& c) {
    return Done(UhfSaveRegister(c.port(), c.crcFlag()), "did not save its registers", "registers saved", "saved");
  });

  commands.Add(app, "stop", "stop a running inventory or multi-tag read", [](Context& c) {
    return Done(UhfStopOperation(c.port(), c.crcFlag()), "did not confirm the stop", "stopped", "stopped");
  });
  commands.Add(app, "sleep", "send the reader to sleep", [](Context& c) {
    return Done(UhfEnterSleepMode(c.port(), c.crcFlag()), "did not go to sleep", "the reader sleeps", "sleeping");
  });

  auto transparent = std::make_shared<TransparentArgs>();
  auto* transparentCommand = commands.Add(app, "transparent", "switch transparent transfer on or off",
                                          [transparent](Context& c) { return Transparent(c, *transparent); });
  transparentCommand->add_option("state", transparent->state, "on or off")->required();

  commands.Add(app, "probe", "find the baud rate the reader answers at", Probe);
}

}  // namespace quarn::cli
