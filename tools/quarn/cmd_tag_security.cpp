// Tag security: lock memory areas and passwords, and kill a tag.

#include <memory>

#include "arguments.h"
#include "commands.h"

namespace quarn::cli {

namespace {

constexpr size_t kTagRecordBuffer = 64;

struct LockArgs {
  TagTarget target;
  std::vector<std::string> areas;
};

Report Lock(Context& context, const LockArgs& args) {
  std::array<int, 5> choices = ParseLockRequest(args.areas);
  uint8_t payload[3];
  LockGenCode(choices[0], choices[1], choices[2], choices[3], choices[4], payload);
  auto password = args.target.accessPassword();
  uint8_t errorCode = 0xFF;
  uint8_t record[kTagRecordBuffer] = {};
  if (args.target.byEpc()) {
    Bytes epc = args.target.record();
    if (!UhfLockMemByEPC(context.port(), password.data(), payload, epc.data(), &errorCode, context.crcFlag()))
      FailTagOperation("lock " + TagName(args.target), errorCode, !args.target.byEpc());
  } else if (!UhfLockMemFromSingleTag(context.port(), password.data(), payload, record, &errorCode,
                                      context.crcFlag())) {
    FailTagOperation("lock " + TagName(args.target), errorCode, !args.target.byEpc());
  }

  Report report;
  Json areas = Json::object();
  std::string done;
  for (size_t area = 0; area < choices.size(); ++area) {
    if (choices[area] == 0) continue;
    areas[LockAreaName(area)] = LockChoiceName(choices[area]);
    done += std::string(done.empty() ? "" : ", ") + LockAreaName(area) + "=" + LockChoiceName(choices[area]);
  }
  report.data["areas"] = areas;
  report.data["payload"] = HexText(payload, 3);
  if (!args.target.byEpc()) report.data["tag"] = TagJson(record, TagRecordSize(record[0]));
  report.text = "locked: " + done + " (lock payload " + HexText(payload, 3) + ")\n";
  return report;
}

struct KillArgs {
  std::string epc;
  std::string pc;
  std::string killPassword;
};

Report Kill(Context& context, const KillArgs& args) {
  auto password = ParsePassword(args.killPassword, "kill password");
  uint8_t errorCode = 0xFF;
  uint8_t record[kTagRecordBuffer] = {};
  Report report;
  if (!args.epc.empty()) {
    Bytes epc = TagRecordFor(args.epc, args.pc);
    if (!UhfKillTagByEPC(context.port(), password.data(), epc.data(), &errorCode, context.crcFlag()))
      FailTagOperation("kill the tag " + args.epc, errorCode, false);
    report.data["tag"] = TagJson(epc.data(), epc.size());
  } else {
    if (!UhfKillSingleTag(context.port(), password.data(), record, &errorCode, context.crcFlag()))
      FailTagOperation("kill the single tag in the field", errorCode, true);
    report.data["tag"] = TagJson(record, TagRecordSize(record[0]));
  }
  report.data["killed"] = true;
  report.text = "killed the tag " + report.data["tag"]["epc"].get<std::string>() + "; it will not answer again\n";
  return report;
}

}  // namespace

void AddTagSecurityCommands(CLI::App& app, CommandSet& commands) {
  auto lock = std::make_shared<LockArgs>();
  auto* lockCommand = commands.Add(app, "lock", "lock or unlock memory areas and passwords of a tag",
                                   [lock](Context& c) { return Lock(c, *lock); });
  lockCommand
      ->add_option("areas", lock->areas,
                   "AREA=CHOICE pairs; areas kill, access, epc, tid, user; choices lock, unlock, "
                   "permalock, permaunlock")
      ->required();
  AddTagTargetOptions(*lockCommand, lock->target);

  auto kill = std::make_shared<KillArgs>();
  auto* killCommand = commands.Add(app, "kill", "kill a tag for good (it never answers again)",
                                   [kill](Context& c) { return Kill(c, *kill); });
  killCommand->add_option("kill-password", kill->killPassword, "the tag's kill password, 8 hex digits")->required();
  killCommand->add_option("-e,--epc", kill->epc, "the tag's EPC in hex; without it, the single tag in the field");
  killCommand->add_option("--pc", kill->pc, "the tag's PC word in hex, when it is not the EPC length alone");
}

}  // namespace quarn::cli
