#pragma once
// The status object of one reader: how its reading goes (online or why not, reads a second, reconnects,
// health checks, failed frames by outcome, tags tracked) and, added by each output, how delivery goes.
// One shape for the periodic status, the one at a change, the last one at a clean stop and the
// broker's last will, so a consumer reads them all alike.

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "messages.h"

namespace quarn::watch {

// Why a reader is offline, as the status's "cause" says it.
constexpr const char* kCauseStarting = "starting";
constexpr const char* kCauseStopped = "stopped";
constexpr const char* kCauseWatchGone = "the watch lost its connection to the broker";

struct ReaderStatus {
  bool online = false;
  std::string cause = kCauseStarting;  // offline only
  std::string lastError;  // the last outcome that kept the reader from reading, while offline
  WallTime since{};  // when online or offline began
  uint64_t reads = 0;
  uint64_t reconnects = 0;
  uint64_t healthChecks = 0;
  uint64_t restarts = 0;  // a reader that failed its health check, closed and opened again
  std::map<std::string, uint64_t> failures;  // failed frames, by outcome
  std::optional<size_t> tagsTracked;  // with events on
  uint64_t tagsEvicted = 0;
};

Json StatusJson(WallTime now, const std::string& reader, const ReaderStatus& status, double readsPerSecond);
// What the broker announces for a reader when the watch vanishes without a word.
Json WillJson(const std::string& reader);

}  // namespace quarn::watch
