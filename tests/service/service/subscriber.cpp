#include "subscriber.h"

#include <unistd.h>

#include <atomic>
#include <stdexcept>

namespace quarn::watch::testing {

namespace {

std::atomic<int> subscriberCount{0};

}  // namespace

Subscriber::Subscriber(int port, std::vector<std::string> filters, bool keepSession) : filters_(std::move(filters)) {
  std::string uri = "tcp://127.0.0.1:" + std::to_string(port);
  std::string id = "test-subscriber-" + std::to_string(getpid()) + "-" + std::to_string(++subscriberCount);
  if (MQTTAsync_create(&client_, uri.c_str(), id.c_str(), MQTTCLIENT_PERSISTENCE_NONE, nullptr) != MQTTASYNC_SUCCESS)
    throw std::runtime_error("cannot make the test's subscriber");
  MQTTAsync_setCallbacks(client_, this, nullptr, OnMessage, nullptr);
  MQTTAsync_setConnected(client_, this, OnConnected);
  MQTTAsync_connectOptions options = MQTTAsync_connectOptions_initializer;
  options.cleansession = keepSession ? 0 : 1;
  options.keepAliveInterval = 10;
  options.automaticReconnect = 1;
  options.minRetryInterval = 1;
  options.maxRetryInterval = 1;
  options.username = Broker::kUser;
  options.password = Broker::kPassword;
  if (MQTTAsync_connect(client_, &options) != MQTTASYNC_SUCCESS)
    throw std::runtime_error("the test's subscriber cannot start connecting");
  std::unique_lock<std::mutex> lock(mutex_);
  if (!changed_.wait_for(lock, std::chrono::seconds(5), [this] { return subscribed_; }))
    throw std::runtime_error("the test's subscriber did not subscribe at " + uri);
}

Subscriber::~Subscriber() {
  MQTTAsync_disconnectOptions options = MQTTAsync_disconnectOptions_initializer;
  options.timeout = 200;
  MQTTAsync_disconnect(client_, &options);
  MQTTAsync_destroy(&client_);
}

std::optional<Received> Subscriber::WaitFor(const std::function<bool(const Received&)>& match, Millis limit) {
  std::unique_lock<std::mutex> lock(mutex_);
  size_t looked = 0;
  std::optional<Received> found;
  changed_.wait_for(lock, limit, [&] {
    for (; looked < received_.size() && !found; ++looked)
      if (match(received_[looked])) found = received_[looked];
    return found.has_value();
  });
  return found;
}

std::vector<Received> Subscriber::All() {
  std::lock_guard<std::mutex> lock(mutex_);
  return received_;
}

void Subscriber::OnConnected(void* context, char*) {
  auto* subscriber = static_cast<Subscriber*>(context);
  std::vector<char*> topics;
  std::vector<int> qos;
  for (auto& filter : subscriber->filters_) {
    topics.push_back(filter.data());
    qos.push_back(1);
  }
  MQTTAsync_responseOptions options = MQTTAsync_responseOptions_initializer;
  options.onSuccess = OnSubscribed;
  options.context = subscriber;
  MQTTAsync_subscribeMany(subscriber->client_, static_cast<int>(topics.size()), topics.data(), qos.data(), &options);
}

void Subscriber::OnSubscribed(void* context, MQTTAsync_successData*) {
  auto* subscriber = static_cast<Subscriber*>(context);
  std::lock_guard<std::mutex> lock(subscriber->mutex_);
  subscriber->subscribed_ = true;
  subscriber->changed_.notify_all();
}

int Subscriber::OnMessage(void* context, char* topic, int topicLength, MQTTAsync_message* message) {
  auto* subscriber = static_cast<Subscriber*>(context);
  Received received;
  received.topic = topicLength > 0 ? std::string(topic, static_cast<size_t>(topicLength)) : std::string(topic);
  std::string payload(static_cast<const char*>(message->payload), static_cast<size_t>(message->payloadlen));
  received.object = nlohmann::json::parse(payload, nullptr, false);
  if (received.object.is_discarded()) received.object = nullptr;
  received.qos = message->qos;
  received.retained = message->retained != 0;
  MQTTAsync_freeMessage(&message);
  MQTTAsync_free(topic);
  std::lock_guard<std::mutex> lock(subscriber->mutex_);
  subscriber->received_.push_back(std::move(received));
  subscriber->changed_.notify_all();
  return 1;
}

}  // namespace quarn::watch::testing
