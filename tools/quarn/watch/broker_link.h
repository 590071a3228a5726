#pragma once
// One reader's connection to the MQTT broker (the Paho asynchronous client): its own client, so that
// each reader's status topic can carry its own last will. Reads and events wait in a bounded queue and
// go out at QoS 1; each stays queued until the broker acknowledges it, and goes out again after a
// reconnect when the acknowledgement never came. The status is a single slot: only the latest one
// matters, and it goes out retained, before anything else, after every (re)connect. The link connects
// again with back-off when the broker goes away, on a thread of its own.

#include <MQTTAsync.h>

#include <condition_variable>
#include <functional>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "backoff.h"
#include "broker_settings.h"
#include "outbound_queue.h"

namespace quarn::watch {

class BrokerLink {
 public:
  using LogFunction = std::function<void(const std::string&)>;
  // onFatal: the broker refused this configuration (its credentials) before it ever accepted it; the
  // watch should end and say why, rather than retry a mistake for weeks.
  BrokerLink(const BrokerSettings& settings, const std::string& reader, LogFunction log,
             std::function<void(const std::string&)> onFatal);
  ~BrokerLink();
  BrokerLink(const BrokerLink&) = delete;
  BrokerLink& operator=(const BrokerLink&) = delete;

  void Deliver(const Message& message);
  // {"connected", "queued", "overflow", "sent", "lastError"}
  Json Describe();
  // Starts the last round: the queue and the latest status go out while the broker is there, for at
  // most `limit` from now. Wait() then returns when they are out or the time is up.
  void BeginFinish(Millis limit);
  void Wait();

 private:
  struct SendContext {
    BrokerLink* link;
    uint64_t id;  // the queue's id; 0 for the status
    uint64_t generation;
    uint64_t statusVersion;
  };

  void Loop();
  void StartConnect(std::unique_lock<std::mutex>& lock);
  void SendWaiting(std::unique_lock<std::mutex>& lock);
  bool Send(std::unique_lock<std::mutex>& lock, const std::string& topic, const std::string& payload, bool retained,
            uint64_t id, uint64_t statusVersion);
  void Disconnect(std::unique_lock<std::mutex>& lock);
  bool Drained() const;
  Json DescribeLocked() const;
  std::string WithDelivery(const std::string& status) const;
  void Settle(SendContext* context, bool delivered);
  void ConnectFailed(int code, const std::string& why);
  void LogOnce(const std::string& line);

  static void OnConnected(void* context, MQTTAsync_successData* response);
  static void OnConnectFailed(void* context, MQTTAsync_failureData* response);
  static void OnConnectionLost(void* context, char* cause);
  static int OnMessage(void* context, char* topic, int topicLength, MQTTAsync_message* message);
  static void OnSent(void* context, MQTTAsync_successData* response);
  static void OnSendFailed(void* context, MQTTAsync_failureData* response);
  static void OnDisconnected(void* context, MQTTAsync_successData* response);
  static void OnDisconnectFailed(void* context, MQTTAsync_failureData* response);

  BrokerSettings settings_;
  std::string reader_;
  std::string topics_[3];  // reads, events, status
  std::string will_;
  LogFunction log_;
  std::function<void(const std::string&)> onFatal_;
  MQTTAsync client_ = nullptr;

  std::mutex mutex_;
  std::condition_variable changed_;
  OutboundQueue queue_;
  std::optional<std::string> status_;
  uint64_t statusVersion_ = 0;  // of the latest status
  uint64_t statusAcknowledged_ = 0;
  bool statusOnItsWay_ = false;
  std::list<SendContext> contexts_;  // the sends the client library has not settled yet
  bool connected_ = false;
  bool connecting_ = false;
  bool everConnected_ = false;
  bool fatal_ = false;
  bool finishing_ = false;
  bool disconnected_ = false;
  uint64_t generation_ = 0;  // one per connection, so a late callback of an old one changes nothing
  uint64_t sent_ = 0;
  std::string lastError_;
  std::string loggedError_;
  Backoff backoff_{kBrokerBackoffFirst, kBrokerBackoffCeiling};
  SteadyTime nextAttempt_{};
  SteadyTime finishBy_{};
  std::thread thread_;
};

}  // namespace quarn::watch
