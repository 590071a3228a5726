#include "stream_loop.h"

#include <cstring>

namespace quarn::cli {

bool OnlyTheStopFailed(const quarn::ErrorDetail& detail) {
  using quarn::Errc;
  const auto errc = static_cast<Errc>(detail.code.value());
  const bool portLost = errc == Errc::kPortGone || errc == Errc::kWriteFailed || errc == Errc::kPortUnusable;
  return std::strcmp(detail.command, "StopOperation") == 0 && !portLost;
}

std::string StopWarning(const StreamRun& run) {
  if (run.stopped) return "";
  return "warning: the reader did not confirm the stop (" + run.stopCause + "); quarn stop stops it\n";
}

}  // namespace quarn::cli
