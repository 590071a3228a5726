#pragma once
// The commands of the tool, one file per group, and what they share: the run's context, the way a
// subcommand names its handler, and the one way a failed call of the C++ API becomes the tool's failure.

#include <CLI/CLI.hpp>
#include <functional>
#include <memory>
#include <string>

#include "quarn/reader.h"
#include "reader_errors.h"
#include "report.h"
#include "session.h"

namespace quarn::cli {

struct Context {
  GlobalOptions options;
  std::unique_ptr<Session> session;

  // The Reader on the open port (opened on first use).
  quarn::Reader& reader() { return session->reader(); }
  // Where the exchanges run, for messages.
  Line line() const { return {session->portName(), session->baud(), options.crc}; }

  // The failure of the Reader's last call, told as the action that failed.
  [[noreturn]] void Fail(const Action& action) { throw CallFailure(session->reader().lastError(), action, line()); }
  [[noreturn]] void Fail(const quarn::Error& error, const Action& action) {
    throw CallFailure(error.detail(), action, line());
  }

  // Runs call(reader()), a call of the C++ API in its throwing form; its failure becomes the action's.
  template <typename F>
  decltype(auto) Attempt(const Action& action, F&& call) {
    quarn::Reader& opened = reader();
    try {
      return call(opened);
    } catch (const quarn::Error& error) {
      Fail(error, action);
    }
  }
};

using Handler = std::function<Report(Context&)>;

// Subcommands record the handler the command line chose; main runs it after parsing, so that a failure
// in it is the command's failure and not a parse error.
class CommandSet {
 public:
  CLI::App* Add(CLI::App& parent, const std::string& name, const std::string& description, Handler handler);
  const Handler& selected() const { return selected_; }

 private:
  Handler selected_;
};

void AddReaderCommands(CLI::App& app, CommandSet& commands);
void AddInventoryCommand(CLI::App& app, CommandSet& commands);
void AddTagMemoryCommands(CLI::App& app, CommandSet& commands);
void AddMultiReadCommand(CLI::App& app, CommandSet& commands);
void AddTagSecurityCommands(CLI::App& app, CommandSet& commands);
void AddFilterCommands(CLI::App& app, CommandSet& commands);
void AddAntennaCommands(CLI::App& app, CommandSet& commands);
void AddSamCommands(CLI::App& app, CommandSet& commands);
void AddUpdateCommand(CLI::App& app, CommandSet& commands);
void AddDecodeCommand(CLI::App& app, CommandSet& commands);
void AddPortsCommand(CLI::App& app, CommandSet& commands);
// In the quarn program itself, with the watch library (tools/quarn/watch).
void AddWatchCommand(CLI::App& app, CommandSet& commands);

// How a tag command names its tag: by EPC (and PC word), or the single tag in the field when no EPC is
// given; and the access password it sends.
struct TagTarget {
  std::string epc;
  std::string pc;
  std::string password = "00000000";

  bool byEpc() const { return !epc.empty(); }
  quarn::TagRecord record() const;
  quarn::Password accessPassword() const;
  // The action on this tag: "read the tag E200...", or "read the single tag in the field".
  Action Doing(const std::string& verb, size_t words = 0) const;
};
void AddTagTargetOptions(CLI::App& command, TagTarget& target);
// "the tag E200..." or "the single tag in the field": who a message is about.
std::string TagName(const TagTarget& target);

}  // namespace quarn::cli
