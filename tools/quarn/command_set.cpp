#include "arguments.h"
#include "commands.h"

namespace quarn::cli {

CLI::App* CommandSet::Add(CLI::App& parent, const std::string& name, const std::string& description, Handler handler) {
  CLI::App* command = parent.add_subcommand(name, description);
  command->callback([this, handler] { selected_ = handler; });
  return command;
}

quarn::TagRecord TagTarget::record() const { return TagFor(epc, pc); }

quarn::Password TagTarget::accessPassword() const { return ParsePassword(password, "access password (-P)"); }

Action TagTarget::Doing(const std::string& verb, size_t words) const {
  return Action(verb + " " + TagName(*this), byEpc() ? "" : kSingleTagHint, words);
}

void AddTagTargetOptions(CLI::App& command, TagTarget& target) {
  command.add_option("-e,--epc", target.epc, "the tag's EPC in hex; without it, the single tag in the field");
  command.add_option("--pc", target.pc, "the tag's PC word in hex, when it is not the EPC length alone");
  command.add_option("-P,--password", target.password, "access password, 8 hex digits")->capture_default_str();
}

std::string TagName(const TagTarget& target) {
  return target.byEpc() ? "the tag " + target.epc : "the single tag in the field";
}

}  // namespace quarn::cli
