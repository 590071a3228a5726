#pragma once
// The commands of the tool, one file per group, and what they share: the run's context, the way a
// subcommand names its handler, and the checks that turn a library result into a failure.

#include <CLI/CLI.hpp>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "report.h"
#include "session.h"

namespace quarn::cli {

struct Context {
  GlobalOptions options;
  std::unique_ptr<Session> session;

  Session& reader() { return *session; }
  PortHandle port() { return session->port(); }
  int crcFlag() const { return options.crc ? 1 : 0; }
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

// How a tag command names its tag: by EPC (and PC word), or the single tag in the field when no EPC is
// given; and the access password it sends.
struct TagTarget {
  std::string epc;
  std::string pc;
  std::string password = "00000000";

  bool byEpc() const { return !epc.empty(); }
  Bytes record() const;
  std::array<uint8_t, 4> accessPassword() const;
};
void AddTagTargetOptions(CLI::App& command, TagTarget& target);
// "the tag E200..." or "the single tag": who a message is about.
std::string TagName(const TagTarget& target);

// A reader command that reports only success or failure: fails with "the reader <what>" otherwise.
void RequireReader(int result, const std::string& what);

// The failure of a tag operation, told by the error code the library hands back (0xFF: none came).
// Failures of the single-tag forms carry a hint, since a crowded field is their usual cause.
[[noreturn]] void FailTagOperation(const std::string& what, uint8_t errorCode, bool singleTag);
// The failure of a block write, with how far it got (words 0: the total is not known).
[[noreturn]] void FailBlockWrite(const std::string& what, uint8_t writeStatus, uint8_t errorCode, size_t written,
                                 size_t words, bool singleTag);

}  // namespace quarn::cli
