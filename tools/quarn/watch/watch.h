#pragma once
// One run of `quarn watch`: the outputs, a supervisor on its own thread per reader, the signals, and
// the orderly end: streams stopped, the last statuses delivered, the outputs given a bounded time to
// send what waits.

#include <optional>

#include "broker_settings.h"
#include "config.h"
#include "reader_session.h"

namespace quarn::watch {

// Runs until SIGINT or SIGTERM (exit status 0), or until the broker refuses the configuration before
// it ever accepted it (1, with the reason on stderr).
int RunWatch(const WatchConfig& config, const SessionFactory& factory, const std::optional<BrokerSettings>& broker);

}  // namespace quarn::watch
