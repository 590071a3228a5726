// The stdout output on real pipes: a consumer that stops reading, or goes away, costs the readers
// nothing but counted lines, and the end of the watch never waits on it for longer than allowed.

#include "stdout_sink.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace quarn::watch {
namespace {

using namespace std::chrono_literals;

struct Pipe {
  Pipe() {
    EXPECT_EQ(pipe2(ends, O_CLOEXEC), 0);
    signal(SIGPIPE, SIG_IGN);
  }
  ~Pipe() {
    for (int end : ends)
      if (end >= 0) close(end);
  }
  std::string ReadAll() {
    std::string text;
    char buffer[4096];
    fcntl(ends[0], F_SETFL, O_NONBLOCK);
    ssize_t got;
    while ((got = read(ends[0], buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(got));
    return text;
  }
  int ends[2] = {-1, -1};
};

Message Line(MessageKind kind, const std::string& text) { return {kind, "dock", text}; }

TEST(WatchStdout, LinesComeOutInOrderAndStatusOnlyLeavesReadsOut) {
  Pipe all, statusOnly;
  {
    StdoutSink sink(all.ends[1], StdoutSink::Mode::kAll, 100);
    StdoutSink statuses(statusOnly.ends[1], StdoutSink::Mode::kStatusOnly, 100);
    for (int n = 1; n <= 3; ++n) {
      sink.Deliver(Line(MessageKind::kRead, "{\"seq\":" + std::to_string(n) + "}"));
      statuses.Deliver(Line(MessageKind::kRead, "read"));
    }
    statuses.Deliver(Line(MessageKind::kStatus, "{\"event\":\"status\"}"));
    sink.Finish(2000ms);
    statuses.Finish(2000ms);
  }
  EXPECT_EQ(all.ReadAll(), "{\"seq\":1}\n{\"seq\":2}\n{\"seq\":3}\n");
  EXPECT_EQ(statusOnly.ReadAll(), "{\"event\":\"status\"}\n");
}

TEST(WatchStdout, AStalledConsumerCostsCountedLinesAndABoundedEnd) {
  Pipe stalled;
  fcntl(stalled.ends[1], F_SETPIPE_SZ, 4096);
  StdoutSink sink(stalled.ends[1], StdoutSink::Mode::kAll, 50);
  std::string line(200, 'x');
  auto start = std::chrono::steady_clock::now();
  for (int n = 0; n < 2000; ++n) sink.Deliver(Line(MessageKind::kRead, line));  // nobody reads
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s) << "a delivery waited on the pipe";
  Json status;
  sink.Describe("dock", status);
  EXPECT_GE(status["stdout"]["dropped"].get<uint64_t>(), 2000u - 50u - 4096u / 201u - 256u);
  EXPECT_LE(status["stdout"]["queued"].get<size_t>(), 50u);
  start = std::chrono::steady_clock::now();
  sink.Finish(300ms);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms) << "the end waited on the pipe";
}

TEST(WatchStdout, AClosedConsumerIsCountedNotFatal) {
  Pipe closed;
  close(closed.ends[0]);
  closed.ends[0] = -1;
  StdoutSink sink(closed.ends[1], StdoutSink::Mode::kAll, 100);
  for (int n = 0; n < 10; ++n) sink.Deliver(Line(MessageKind::kRead, "{}"));
  sink.Finish(2000ms);  // the writer met the closed pipe
  Json status;
  sink.Describe("dock", status);
  EXPECT_EQ(status["stdout"]["dropped"], 10);
}

}  // namespace
}  // namespace quarn::watch
