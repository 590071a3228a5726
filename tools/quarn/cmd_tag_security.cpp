// Tag security: lock memory areas and passwords, and kill a tag. What cannot be undone (a kill, a
// permalock or permaunlock) waits for the person's confirmation.

#include <memory>
#include <optional>

#include "arguments.h"
#include "commands.h"
#include "confirm.h"

namespace quarn::cli {

namespace {

struct LockArgs {
  TagTarget target;
  std::vector<std::string> areas;
  bool yes = false;
};

// "user=lock, epc=permalock": the areas the request changes.
std::string LockText(const LockRequest& request, Json& areas) {
  std::string text;
  for (size_t area = 0; area < request.size(); ++area) {
    if (request[area] == quarn::LockAction::kUnchanged) continue;
    areas[LockAreaName(area)] = LockActionName(request[area]);
    text += std::string(text.empty() ? "" : ", ") + LockAreaName(area) + "=" + LockActionName(request[area]);
  }
  return text;
}

Report Lock(Context& context, const LockArgs& args) {
  const LockRequest request = ParseLockRequest(args.areas);
  const quarn::LockPayload payload(LockSettingsOf(request));
  const quarn::Password password = args.target.accessPassword();
  Json areas = Json::object();
  const std::string done = LockText(request, areas);
  const std::optional<quarn::TagRecord> tag =
      args.target.byEpc() ? std::optional<quarn::TagRecord>(args.target.record()) : std::nullopt;
  if (IsIrreversible(request))
    Confirm({"the lock " + done + " on " + TagName(args.target), args.target.byEpc() ? tag->epcHex() : "", args.yes});

  std::optional<quarn::TagRecord> answered;
  context.Attempt(args.target.Doing("lock"), [&](quarn::Reader& r) {
    if (tag) {
      r.Lock(*tag, payload, password);
    } else {
      answered = r.LockSingleTag(payload, password);
    }
  });
  const std::string payloadHex = HexText(payload.bytes());
  Report report;
  report.data["areas"] = areas;
  report.data["payload"] = payloadHex;
  if (answered) report.data["tag"] = TagJson(*answered);
  report.text = "locked: " + done + " (lock payload " + payloadHex + ")\n";
  return report;
}

struct KillArgs {
  std::string epc;
  std::string pc;
  std::string killPassword;
  bool yes = false;
};

Report Kill(Context& context, const KillArgs& args) {
  const quarn::Password password = ParsePassword(args.killPassword, "kill password");
  const bool byEpc = !args.epc.empty();
  const std::optional<quarn::TagRecord> tag =
      byEpc ? std::optional<quarn::TagRecord>(TagFor(args.epc, args.pc)) : std::nullopt;
  const std::string name = byEpc ? "the tag " + args.epc : "the single tag in the field";
  Confirm({"killing " + name, byEpc ? tag->epcHex() : "", args.yes});

  Action action{"kill " + name};
  if (!byEpc) action.refusalHint = kSingleTagHint;
  const quarn::TagRecord killed = context.Attempt(action, [&](quarn::Reader& r) {
    if (!tag) return r.KillSingleTag(password);
    r.Kill(*tag, password);
    return *tag;
  });
  Report report;
  report.data["tag"] = TagJson(killed);
  report.data["killed"] = true;
  report.text = "killed the tag " + killed.epcHex() + "; it will not answer again\n";
  return report;
}

}  // namespace

void AddTagSecurityCommands(CLI::App& app, CommandSet& commands) {
  auto lock = std::make_shared<LockArgs>();
  auto* lockCommand = commands.Add(app, "lock",
                                   "lock or unlock memory areas and passwords of a tag; permalock and permaunlock "
                                   "cannot be undone and ask first",
                                   [lock](Context& c) { return Lock(c, *lock); });
  lockCommand
      ->add_option("areas", lock->areas,
                   "AREA=CHOICE pairs; areas kill, access, epc, tid, user; choices lock, unlock, "
                   "permalock, permaunlock")
      ->required();
  AddTagTargetOptions(*lockCommand, lock->target);
  lockCommand->add_flag("-y,--yes", lock->yes, "go ahead with a permalock or permaunlock without asking");

  auto kill = std::make_shared<KillArgs>();
  auto* killCommand = commands.Add(app, "kill", "kill a tag for good (it never answers again); asks first",
                                   [kill](Context& c) { return Kill(c, *kill); });
  killCommand->add_option("kill-password", kill->killPassword, "the tag's kill password, 8 hex digits")->required();
  killCommand->add_option("-e,--epc", kill->epc, "the tag's EPC in hex; without it, the single tag in the field");
  killCommand->add_option("--pc", kill->pc, "the tag's PC word in hex, when it is not the EPC length alone");
  killCommand->add_flag("-y,--yes", kill->yes, "kill without asking (for scripts: there is no terminal to ask on)");
}

}  // namespace quarn::cli
