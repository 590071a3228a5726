#include "quarn_runner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
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
  static int runs = 0;
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir ? dir : "/tmp") + "/quarn-cli-test-" + std::to_string(getpid()) + "-" +
         std::to_string(++runs) + "-" + name;
}

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double Seconds(const timeval& time) {
  return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

// A terminal for stdin: the master end stays here, the slave end's path goes to the child.
int OpenTerminal(std::string& slavePath) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return -1;
  slavePath = ptsname(master);
  return master;
}

}  // namespace

nlohmann::json Outcome::Json() const {
  auto parsed = nlohmann::json::parse(out, nullptr, false);
  if (parsed.is_discarded()) ADD_FAILURE() << "stdout is not JSON:\n" << out << "\nstderr:\n" << err;
  return parsed;
}

QuarnRun::QuarnRun(const std::vector<std::string>& args, const RunOptions& options)
    : outPath_(TempPath("out")), errPath_(TempPath("err")), started_(Now()) {
  std::vector<std::string> argv = {QUARN_CLI_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  std::string terminalPath;
  if (options.typed) terminal_ = OpenTerminal(terminalPath);
  child_ = fork();
  if (child_ == 0) {
    int out = open(outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    int err = open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    int in = options.typed ? open(terminalPath.c_str(), O_RDWR) : open("/dev/null", O_RDONLY);
    dup2(out, 1);
    dup2(err, 2);
    dup2(in, 0);
    if (options.port.empty())
      unsetenv("QUARN_PORT");
    else
      setenv("QUARN_PORT", options.port.c_str(), 1);
    if (options.user && (setgid(*options.user) != 0 || setuid(*options.user) != 0)) _exit(126);
    std::vector<char*> raw;
    for (auto& arg : argv) raw.push_back(arg.data());
    raw.push_back(nullptr);
    execv(raw[0], raw.data());
    _exit(127);
  }
  if (options.typed && terminal_ >= 0) {
    const std::string& text = *options.typed;
    if (write(terminal_, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
      ADD_FAILURE() << "could not type on the terminal";
  }
  if (options.interruptAfterMs > 0) {
    usleep(static_cast<useconds_t>(options.interruptAfterMs) * 1000);
    kill(child_, SIGINT);
  }
}

QuarnRun::~QuarnRun() {
  if (child_ > 0) {
    kill(child_, SIGKILL);
    waitpid(child_, nullptr, 0);
  }
  if (terminal_ >= 0) close(terminal_);
  std::remove(outPath_.c_str());
  std::remove(errPath_.c_str());
}

Outcome QuarnRun::Wait(double limitSeconds) {
  Outcome run;
  int waitStatus = 0;
  rusage usage{};
  while (wait4(child_, &waitStatus, WNOHANG, &usage) == 0) {
    if (Now() - started_ > limitSeconds) {
      ADD_FAILURE() << "quarn still ran after " << limitSeconds << " s";
      kill(child_, SIGKILL);
      wait4(child_, &waitStatus, 0, &usage);
      break;
    }
    usleep(10 * 1000);
  }
  child_ = -1;
  run.seconds = Now() - started_;
  run.cpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
  run.status = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 128 + WTERMSIG(waitStatus);
  run.out = Slurp(outPath_);
  run.err = Slurp(errPath_);
  return run;
}

Outcome RunQuarn(const std::vector<std::string>& args, const RunOptions& options) {
  return QuarnRun(args, options).Wait();
}

Outcome RunQuarn(const std::vector<std::string>& args, const std::string& port, int interruptAfterMs) {
  RunOptions options;
  options.port = port;
  options.interruptAfterMs = interruptAfterMs;
  return RunQuarn(args, options);
}

}  // namespace quarn::cli::testing
