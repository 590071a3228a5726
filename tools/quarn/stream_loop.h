#pragma once
// The loop of the streaming commands (inventory, read-all): streams of the C++ API run until the time
// is up or Ctrl-C, a stream that ends on silence is started again while time remains, and a stream
// that ends with an error (the port gone) ends the command at once with that error.

#include <functional>
#include <string>

#include "commands.h"
#include "quarn/streams.h"
#include "terminal.h"

namespace quarn::cli {

// How the streams ended: whether the reader confirmed the last stop, and why not.
struct StreamRun {
  bool stopped = true;
  std::string stopCause;
  double seconds = 0;
};

// Whether the failure is the stop's alone: the reader did not confirm it, the port still there.
bool OnlyTheStopFailed(const quarn::ErrorDetail& detail);

// start(reader, options, ec) starts one stream in its error_code form; take(item) gets each item.
// partial() is what was gathered, for the failure that ends the streams early.
template <typename Start, typename Take>
StreamRun RunStreams(Context& context, const Action& action, double seconds, Start start, Take take,
                     const std::function<Report()>& partial) {
  InterruptWatch interrupt;
  Deadline deadline(seconds);
  StreamRun run;
  quarn::Reader& reader = context.reader();
  while (!deadline.passed() && !interrupt.interrupted()) {
    quarn::StreamOptions options;
    options.duration = deadline.remaining();
    std::error_code ec;
    auto stream = start(reader, options, ec);
    if (ec) throw CallFailure(reader.lastError(), action, context.line()).WithPartial(partial());
    for (const auto& item : stream) {
      take(item);
      if (interrupt.interrupted()) break;
    }
    if (stream.running()) stream.Stop(ec);
    if (stream.endedBy() == quarn::StreamEnd::kError) {
      if (!OnlyTheStopFailed(reader.lastError()))
        throw CallFailure(reader.lastError(), action, context.line()).WithPartial(partial());
      run.stopped = false;
      run.stopCause = ShortCause(reader.lastError());
      break;
    }
    if (stream.endedBy() != quarn::StreamEnd::kSilence) break;
  }
  run.seconds = deadline.elapsed();
  return run;
}

// "warning: the reader did not confirm the stop (no answer); quarn stop stops it", or nothing.
std::string StopWarning(const StreamRun& run);

}  // namespace quarn::cli
