#pragma once
// Runs the quarn program as a person or a script would, and hands back its exit status and output.

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace quarn::cli::testing {

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;

  // stdout parsed as JSON; a test fails on output that is none.
  nlohmann::json Json() const;
};

// argv after the program name; QUARN_PORT is removed from the environment unless port is given.
// interruptAfterMs above 0 sends Ctrl-C's signal that long after the start.
Outcome RunQuarn(const std::vector<std::string>& args, const std::string& port = "", int interruptAfterMs = 0);

}  // namespace quarn::cli::testing
