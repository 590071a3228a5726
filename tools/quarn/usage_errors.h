#pragma once
// What a person reads when the command line is wrong: the "quarn:" prefix like every other message, the
// command it is about, and the names the command's help uses.

#include <CLI/CLI.hpp>
#include <string>

namespace quarn::cli {

// CLI11's failure message for the tool: app is the whole tool, error what the parse found.
std::string UsageErrorText(const CLI::App* app, const CLI::Error& error);

}  // namespace quarn::cli
