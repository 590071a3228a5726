#pragma once
// The MQTT output: a BrokerLink per reader, made when the reader's first message comes (a reader named
// by its UID has no topic before that).

#include <map>
#include <memory>
#include <mutex>

#include "broker_link.h"
#include "sink.h"

namespace quarn::watch {

class MqttSink : public Sink {
 public:
  MqttSink(BrokerSettings settings, BrokerLink::LogFunction log, std::function<void(const std::string&)> onFatal);
  ~MqttSink() override;

  void Deliver(const Message& message) override;
  void Describe(const std::string& reader, Json& status) override;
  void Finish(Millis limit) override;

 private:
  BrokerLink& LinkFor(const std::string& reader);

  BrokerSettings settings_;
  BrokerLink::LogFunction log_;
  std::function<void(const std::string&)> onFatal_;
  std::mutex mutex_;
  std::map<std::string, std::unique_ptr<BrokerLink>> links_;
  bool finished_ = false;
};

// quarn-watch-HOST: the start of each client id, so two sites' watches never take each other's place.
std::string ClientIdBase();

}  // namespace quarn::watch
