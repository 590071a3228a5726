#include "quarn_runner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace quarn::cli::testing {

namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string TempPath(const char* name) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir ? dir : "/tmp") + "/quarn-cli-test-" + std::to_string(getpid()) + "-" + name;
}

}  // namespace

nlohmann::json Outcome::Json() const {
  auto parsed = nlohmann::json::parse(out, nullptr, false);
  if (parsed.is_discarded()) ADD_FAILURE() << "stdout is not JSON:\n" << out << "\nstderr:\n" << err;
  return parsed;
}

Outcome RunQuarn(const std::vector<std::string>& args, const std::string& port, int interruptAfterMs) {
  std::string outPath = TempPath("out"), errPath = TempPath("err");
  std::vector<std::string> argv = {QUARN_CLI_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  pid_t child = fork();
  if (child == 0) {
    int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int nothing = open("/dev/null", O_RDONLY);
    dup2(out, 1);
    dup2(err, 2);
    dup2(nothing, 0);
    if (port.empty())
      unsetenv("QUARN_PORT");
    else
      setenv("QUARN_PORT", port.c_str(), 1);
    std::vector<char*> raw;
    for (auto& arg : argv) raw.push_back(arg.data());
    raw.push_back(nullptr);
    execv(raw[0], raw.data());
    _exit(127);
  }
  Outcome run;
  if (interruptAfterMs > 0) {
    usleep(static_cast<useconds_t>(interruptAfterMs) * 1000);
    kill(child, SIGINT);
  }
  int waitStatus = 0;
  waitpid(child, &waitStatus, 0);
  run.status = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 128 + WTERMSIG(waitStatus);
  run.out = Slurp(outPath);
  run.err = Slurp(errPath);
  std::remove(outPath.c_str());
  std::remove(errPath.c_str());
  return run;
}

}  // namespace quarn::cli::testing
