#pragma once
// What one run of the watch is told: the readers and what to apply to each on every connect, the
// outputs, events, the intervals. It comes from a JSON file (--config, /etc/quarn/watch.json for the
// service) and from the command line, which wins where both say something. Every mistake fails (usage)
// naming the file, the place in it and what would be right.

#include <optional>
#include <string>
#include <vector>

#include "broker_settings.h"
#include "reader_session.h"
#include "supervisor.h"

namespace quarn::watch {

enum class StdoutMode { kAll, kStatusOnly, kNone };

struct WatchConfig {
  std::vector<ReaderSettings> readers;
  SupervisorOptions supervision;  // its log is set by the watch
  StdoutMode stdoutMode = StdoutMode::kAll;
  size_t stdoutQueue = 10000;
  // From the file's "mqtt" object; the broker is used when url is set.
  std::string mqttUrl;
  std::string mqttCa;
  std::string mqttCredentialsFile;
  std::string mqttPrefix = kDefaultTopicPrefix;
  size_t mqttQueue = kDefaultBrokerQueue;
  Millis finishLimit{3000};  // how long the outputs may take to send what waits, at the end
};

WatchConfig ParseConfigText(const std::string& text, const std::string& fileName);
WatchConfig LoadConfig(const std::string& path);

// Names shared with the command line.
StdoutMode ParseStdoutMode(const std::string& text, const std::string& where);
bool ParseNameBy(const std::string& text, const std::string& where);  // true: by UID
void CheckBaud(int baud, const std::string& where);

// Fails (usage) when there is no reader, or two readers would share a name or a topic.
void CheckReaders(const WatchConfig& config);

}  // namespace quarn::watch
