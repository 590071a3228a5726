#include "mqtt_sink.h"

#include <unistd.h>

namespace quarn::watch {

MqttSink::MqttSink(BrokerSettings settings, BrokerLink::LogFunction log,
                   std::function<void(const std::string&)> onFatal)
    : settings_(std::move(settings)), log_(std::move(log)), onFatal_(std::move(onFatal)) {}

MqttSink::~MqttSink() { Finish(Millis(0)); }

BrokerLink& MqttSink::LinkFor(const std::string& reader) {
  auto& link = links_[reader];
  if (!link) link = std::make_unique<BrokerLink>(settings_, reader, log_, onFatal_);
  return *link;
}

void MqttSink::Deliver(const Message& message) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (finished_) return;
  LinkFor(message.reader).Deliver(message);
}

void MqttSink::Describe(const std::string& reader, Json& status) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (finished_) return;
  status["mqtt"] = LinkFor(reader).Describe();
}

void MqttSink::Finish(Millis limit) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (finished_) return;
  finished_ = true;
  // All links drain at once, within the one limit.
  for (auto& [reader, link] : links_) link->BeginFinish(limit);
  for (auto& [reader, link] : links_) link->Wait();
  links_.clear();
}

std::string ClientIdBase() {
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) != 0 || host[0] == '\0') return "quarn-watch";
  return "quarn-watch-" + TopicSafeName(host);
}

}  // namespace quarn::watch
