// Antennas: the reader's antenna check, the antenna in use, and the multi-antenna setting.

#include <memory>

#include "arguments.h"
#include "commands.h"

namespace quarn::cli {

namespace {

Report Check(Context& context) {
  const uint8_t state =
      context.Attempt({"run the antenna check"}, [](quarn::Reader& r) { return r.CheckAntenna(); });
  Report report;
  report.data["antennaState"] = state;
  report.text = "antenna check: " + ByteText(state) + "\n";
  return report;
}

struct ChooseArgs {
  int antenna = 0;
};

Report Choose(Context& context, const ChooseArgs& args) {
  context.Attempt({"choose antenna " + std::to_string(args.antenna)},
                  [&](quarn::Reader& r) { r.ChooseAntenna(static_cast<uint8_t>(args.antenna)); });
  Report report;
  report.data["antenna"] = args.antenna;
  report.text = "using antenna " + std::to_string(args.antenna) + "\n";
  return report;
}

struct MultiArgs {
  std::string setting;
};

Report Multi(Context& context, const MultiArgs& args) {
  if (!args.setting.empty()) {
    auto value = static_cast<uint8_t>(ParseNumber(args.setting, 0, 255, "multi-antenna setting"));
    context.Attempt({"set the multi-antenna setting"}, [&](quarn::Reader& r) { r.SetMultiAntSetting(value); });
  }
  const uint8_t setting = context.Attempt({"read the multi-antenna setting"},
                                          [](quarn::Reader& r) { return r.GetMultiAntSetting(); });
  Report report;
  report.data["multiAntenna"] = setting;
  report.text = "multi-antenna setting: " + ByteText(setting) + "\n";
  return report;
}

}  // namespace

void AddAntennaCommands(CLI::App& app, CommandSet& commands) {
  auto* antenna = app.add_subcommand("antenna", "the reader's antenna ports");
  antenna->require_subcommand(1);
  commands.Add(*antenna, "check", "show the reader's antenna check result", Check);

  auto choose = std::make_shared<ChooseArgs>();
  auto* chooseCommand = commands.Add(*antenna, "choose", "choose the antenna to use",
                                     [choose](Context& c) { return Choose(c, *choose); });
  chooseCommand->add_option("antenna", choose->antenna, "the antenna number, as the reader counts")
      ->required()
      ->check(CLI::Range(0, 255));

  auto multi = std::make_shared<MultiArgs>();
  auto* multiCommand = commands.Add(*antenna, "multi",
                                    "show or set the multi-antenna setting (which antennas inventory --antennas uses)",
                                    [multi](Context& c) { return Multi(c, *multi); });
  multiCommand->add_option("setting", multi->setting, "the setting byte, such as 0x0F");
}

}  // namespace quarn::cli
