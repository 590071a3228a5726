#include "usage_errors.h"

namespace quarn::cli {

namespace {

constexpr const char* kRequired = " is required";
constexpr const char* kSubcommandRequired = "A subcommand is required";

// The subcommand the command line went deepest into, or app itself.
const CLI::App* Deepest(const CLI::App* app) {
  const std::vector<CLI::App*> chosen = app->get_subcommands();
  return chosen.empty() ? app : Deepest(chosen.back());
}

// "quarn filter add".
std::string CommandPath(const CLI::App* command) {
  std::string path = command->get_name();
  for (const CLI::App* parent = command->get_parent(); parent != nullptr; parent = parent->get_parent())
    path = parent->get_name() + " " + path;
  return path;
}

// "filter add: ", or nothing for the tool itself: whom a message is about.
std::string About(const CLI::App* command) {
  const std::string path = CommandPath(command);
  const size_t space = path.find(' ');
  return space == std::string::npos ? "" : path.substr(space + 1) + ": ";
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string SubcommandNames(const CLI::App* command) {
  std::string names;
  for (const CLI::App* sub : command->get_subcommands([](const CLI::App* app) { return !app->get_name().empty(); }))
    names += (names.empty() ? "" : ", ") + sub->get_name();
  return names;
}

std::string MissingCommand(const CLI::App* app, const CLI::App* command) {
  const std::vector<std::string> extra = app->remaining();
  if (command == app && !extra.empty() && extra.front().rfind('-', 0) != 0)
    return "unknown command '" + extra.front() + "'";
  return About(command) + "name a command: " + SubcommandNames(command);
}

// "kill-password is required" names a positional argument, which a person could take for an option.
std::string Missing(const CLI::App* command, const std::string& name) {
  const CLI::Option* option = command->get_option_no_throw(name);
  if (option == nullptr || !option->get_positional()) return About(command) + name + kRequired;
  return About(command) + "give the argument " + name + " (" + option->get_description() + ")";
}

}  // namespace

std::string UsageErrorText(const CLI::App* app, const CLI::Error& error) {
  const CLI::App* command = Deepest(app);
  const std::string what = error.what();
  std::string message;
  if (what == kSubcommandRequired) {
    message = MissingCommand(app, command);
  } else if (EndsWith(what, kRequired)) {
    message = Missing(command, what.substr(0, what.size() - std::string(kRequired).size()));
  } else {
    message = About(command) + what;
  }
  return "quarn: " + message + "\nquarn: see " + CommandPath(command) + " --help\n";
}

}  // namespace quarn::cli
