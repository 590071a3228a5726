#pragma once
// Runs the quarn program as a person or a script would, and hands back its exit status and output.

#include <sys/types.h>

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace quarn::cli::testing {

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
  double seconds = 0;     // from the start to the exit
  double cpuSeconds = 0;  // user and system time the program used

  // stdout parsed as JSON; a test fails on output that is none.
  nlohmann::json Json() const;
};

struct RunOptions {
  std::string port;                  // QUARN_PORT; removed from the environment when empty
  int interruptAfterMs = 0;          // above 0: Ctrl-C's signal that long after the start
  std::optional<std::string> typed;  // stdin is a terminal on which this is typed; else /dev/null
  std::optional<uid_t> user;         // run as this user (the test runs as root)
};

// quarn with argv after the program name, started now; Wait() collects it.
class QuarnRun {
 public:
  QuarnRun(const std::vector<std::string>& args, const RunOptions& options = {});
  ~QuarnRun();
  QuarnRun(const QuarnRun&) = delete;
  QuarnRun& operator=(const QuarnRun&) = delete;

  // Collects the run; one still going after limitSeconds is killed and fails the test.
  Outcome Wait(double limitSeconds = 60);

 private:
  pid_t child_ = -1;
  int terminal_ = -1;  // the master side of the terminal on stdin
  std::string outPath_, errPath_;
  double started_ = 0;
};

Outcome RunQuarn(const std::vector<std::string>& args, const RunOptions& options);
// argv after the program name; QUARN_PORT is removed from the environment unless port is given.
// interruptAfterMs above 0 sends Ctrl-C's signal that long after the start.
Outcome RunQuarn(const std::vector<std::string>& args, const std::string& port = "", int interruptAfterMs = 0);

}  // namespace quarn::cli::testing
