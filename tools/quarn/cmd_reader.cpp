// Reader management: info, power, frequency, register, stop, sleep, transparent, probe.

#include <memory>

#include "arguments.h"
#include "commands.h"

namespace quarn::cli {

namespace {

constexpr int kRegisterSpace = 512;
constexpr int kFrequencyBytes = 7;

// A field of info that may fail without failing the rest: its value, or why it is missing.
template <typename Value, typename Text>
void InfoField(Report& report, std::vector<std::pair<std::string, std::string>>& fields, const std::string& key,
               const std::string& label, const quarn::Reader& reader, const std::error_code& ec, const Value& value,
               Text text) {
  report.data[key] = ec ? Json(nullptr) : Json(value);
  fields.emplace_back(label, ec ? ShortCause(reader.lastError()) : text(value));
}

Report Info(Context& context) {
  const quarn::Version version = context.Attempt({"get the reader's version"}, [](quarn::Reader& r) {
    return r.GetVersion();
  });
  quarn::Reader& reader = context.reader();
  Report report;
  std::vector<std::pair<std::string, std::string>> fields;
  report.data["version"] = version.hex();
  fields.emplace_back("version", version.hex());

  std::error_code ec;
  const std::string uid = HexText(reader.GetReaderUid(ec));
  InfoField(report, fields, "uid", "uid", reader, ec, uid, [](const std::string& v) { return v; });
  const uint8_t power = reader.GetPower(ec);
  InfoField(report, fields, "power", "power", reader, ec, power, [](uint8_t v) { return std::to_string(v); });
  const std::string frequency = HexText(reader.GetFrequency(ec).bytes);
  InfoField(report, fields, "frequency", "frequency", reader, ec, frequency, [](const std::string& v) { return v; });

  const quarn::PaStatus pa = reader.GetPaStatus(ec);
  const bool failed = static_cast<bool>(ec);
  report.data["paStatus"] = failed ? Json(nullptr) : Json(pa.ok() ? "ok" : "fault");
  fields.emplace_back("PA status", failed ? ShortCause(reader.lastError())
                                          : pa.ok() ? "ok" : "fault (status " + ByteText(pa.status) + ")");
  report.text = FieldsText(fields);
  return report;
}

struct PowerArgs {
  std::vector<int> values;
};

Report Power(Context& context, const PowerArgs& args) {
  Report report;
  if (!args.values.empty()) {
    auto first = static_cast<uint8_t>(args.values[0]);
    auto second = static_cast<uint8_t>(args.values.size() > 1 ? args.values[1] : args.values[0]);
    context.Attempt({"set the power"}, [&](quarn::Reader& r) { r.SetPower(first, second); });
  }
  const uint8_t power = context.Attempt({"read the power"}, [](quarn::Reader& r) { return r.GetPower(); });
  report.data["power"] = power;
  report.text = (args.values.empty() ? "power: " : "power set, now: ") + std::to_string(power) + "\n";
  return report;
}

struct FrequencyArgs {
  std::string bytes;
};

Report FrequencyCommand(Context& context, const FrequencyArgs& args) {
  if (!args.bytes.empty()) {
    Bytes value = ParseHex(args.bytes, "frequency setting");
    if (value.size() != kFrequencyBytes) FailUsage("the frequency setting is 7 bytes (14 hex digits)");
    quarn::FrequencyConfig config;
    std::copy(value.begin(), value.end(), config.bytes.begin());
    context.Attempt({"set the frequency"}, [&](quarn::Reader& r) { r.SetFrequency(config); });
  }
  const quarn::FrequencyConfig frequency =
      context.Attempt({"read the frequency setting"}, [](quarn::Reader& r) { return r.GetFrequency(); });
  const std::string text = HexText(frequency.bytes);
  Report report;
  report.data["frequency"] = text;
  report.data["bytes"] = frequency.bytes;
  report.text = "frequency: " + text + "\n";
  return report;
}

std::string RegisterAddressText(int address) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%03X", static_cast<unsigned>(address));
  return text;
}

// Sixteen bytes a line, each line led by its register address.
std::string RegisterDump(int address, const Bytes& data) {
  std::string text;
  for (size_t at = 0; at < data.size(); at += 16) {
    text += RegisterAddressText(address + static_cast<int>(at)) + ":";
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
  if (address + count > kRegisterSpace) FailUsage("the registers end at 0x1FF");
  const Bytes data = context.Attempt({"read the registers"}, [&](quarn::Reader& r) {
    return r.GetRegisters(static_cast<uint16_t>(address), static_cast<uint16_t>(count));
  });
  Report report;
  report.data["address"] = address;
  report.data["count"] = data.size();
  report.data["data"] = HexText(data);
  report.text = RegisterDump(address, data);
  return report;
}

Report RegisterWrite(Context& context, const RegisterArgs& args) {
  int address = static_cast<int>(ParseNumber(args.address, 0, kRegisterSpace - 1, "register address"));
  Bytes data = ParseHex(args.data, "register data");
  if (data.empty()) FailUsage("give at least one byte to write");
  if (address + static_cast<int>(data.size()) > kRegisterSpace) FailUsage("the registers end at 0x1FF");
  context.Attempt({"write the registers"},
                  [&](quarn::Reader& r) { r.SetRegisters(static_cast<uint16_t>(address), data); });
  Report report;
  report.data["address"] = address;
  report.data["written"] = data.size();
  report.text = "wrote " + Counted(data.size(), "register byte") + " at " + RegisterAddressText(address) + "\n";
  return report;
}

// A command that answers with success alone.
Report Done(Context& context, const std::string& what, const std::function<void(quarn::Reader&)>& call,
            const std::string& doneText, const char* key) {
  context.Attempt({what}, call);
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
  if (!on && args.state != "off") FailUsage("transparent takes on or off, not '" + args.state + "'");
  context.Attempt({"switch transparent transfer " + args.state},
                  [on](quarn::Reader& r) { r.SetTransparentTransfer(on); });
  Report report;
  report.data["transparent"] = on;
  report.text = std::string("transparent transfer ") + (on ? "on" : "off") + "\n";
  return report;
}

Report Probe(Context& context) {
  std::string lastCause;
  for (int baud : kBaudRates) {
    context.session->Reopen(baud);
    std::error_code ec;
    const quarn::Version version = context.reader().GetVersion(ec);
    if (!ec) {
      Report report;
      report.data["baud"] = baud;
      report.data["version"] = version.hex();
      report.text = "the reader answers at " + std::to_string(baud) + " baud\n";
      return report;
    }
    lastCause = ShortCause(context.reader().lastError());
  }
  FailReader("no reader answered on " + context.session->portName() +
                 " at any of 115200, 57600, 19200, 9600 baud (at 9600: " + lastCause + ")",
             "is the reader on and connected to this port? quarn ports lists the serial ports");
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
    return Done(c, "reset the registers", [](quarn::Reader& r) { r.ResetRegisters(); }, "registers reset", "reset");
  });
  commands.Add(*registers, "save", "save the registers so they outlast a power cycle", [](Context& c) {
    return Done(c, "save the registers", [](quarn::Reader& r) { r.SaveRegisters(); }, "registers saved", "saved");
  });

  commands.Add(app, "stop", "stop a running inventory or multi-tag read", [](Context& c) {
    return Done(c, "stop the reader", [](quarn::Reader& r) { r.StopOperation(); }, "stopped", "stopped");
  });
  commands.Add(app, "sleep", "send the reader to sleep", [](Context& c) {
    return Done(c, "send the reader to sleep", [](quarn::Reader& r) { r.EnterSleepMode(); }, "the reader sleeps",
                "sleeping");
  });

  auto transparent = std::make_shared<TransparentArgs>();
  auto* transparentCommand = commands.Add(app, "transparent", "switch transparent transfer on or off",
                                          [transparent](Context& c) { return Transparent(c, *transparent); });
  transparentCommand->add_option("state", transparent->state, "on or off")->required();

  commands.Add(app, "probe", "find the baud rate the reader answers at", Probe);
}

}  // namespace quarn::cli
