#pragma once
// A consumer of the watch's topics on the test's broker (the Paho asynchronous client, reconnecting
// by itself). With keepSession the broker keeps its subscription and its QoS 1 messages while it is
// away, across a broker restart with persistence.

#include <MQTTAsync.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "processes.h"

namespace quarn::watch::testing {

struct Received {
  std::string topic;
  nlohmann::json object;  // null when the payload is no JSON
  int qos = 0;
  bool retained = false;
};

class Subscriber {
 public:
  Subscriber(int port, std::vector<std::string> filters, bool keepSession = false);
  ~Subscriber();
  Subscriber(const Subscriber&) = delete;
  Subscriber& operator=(const Subscriber&) = delete;

  // The first message so far or within `limit` that `match` takes.
  std::optional<Received> WaitFor(const std::function<bool(const Received&)>& match, Millis limit);
  std::vector<Received> All();

 private:
  static void OnConnected(void* context, char* cause);
  static int OnMessage(void* context, char* topic, int topicLength, MQTTAsync_message* message);
  static void OnSubscribed(void* context, MQTTAsync_successData* response);

  std::vector<std::string> filters_;
  MQTTAsync client_ = nullptr;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Received> received_;
  bool subscribed_ = false;
};

}  // namespace quarn::watch::testing
