#include "broker_link.h"

#include <algorithm>
#include <stdexcept>

#include "status.h"

namespace quarn::watch {

namespace {

constexpr int kQos = 1;
constexpr size_t kWindow = 32;  // messages on their way at once
constexpr Millis kLoopWait{200};
constexpr Millis kPauseAfterSendFailure{200};
constexpr int kKeepAliveSeconds = 20;
constexpr int kConnectTimeoutSeconds = 5;
constexpr int kDisconnectTimeoutMs = 1000;
constexpr Millis kDisconnectWait{2000};

enum TopicIndex { kReads = 0, kEvents = 1, kStatusTopic = 2 };

int TopicIndexOf(MessageKind kind) {
  return kind == MessageKind::kRead ? kReads : kind == MessageKind::kEvent ? kEvents : kStatusTopic;
}

// The broker's refusals (CONNACK return codes) that no retry can cure: the configuration is wrong.
bool IsConfigurationRefusal(int code) { return code == 1 || code == 2 || code == 4 || code == 5; }


std::string ConnectFailureText(int code, const char* message) {
  switch (code) {
    case 1: return "the broker does not accept MQTT 3.1.1";
    case 2: return "the broker refused the client id";
    case 3: return "the broker is unavailable";
    case 4:
    case 5:
      // Brokers answer a wrong or missing password with either code.
      return std::string("the broker refused the user name or password, or the user may not connect (set ") +
             kUsernameVariable + " and " + kPasswordVariable + ", or give --mqtt-credentials FILE)";
    default: break;
  }
  std::string text = message && *message ? message : MQTTAsync_strerror(code);
  return text.empty() ? "connection failed (code " + std::to_string(code) + ")" : text;
}

Millis Until(SteadyTime due, SteadyTime now) {
  return due <= now ? Millis(0) : std::chrono::duration_cast<Millis>(due - now);
}

}  // namespace

BrokerLink::BrokerLink(const BrokerSettings& settings, const std::string& reader, LogFunction log,
                       std::function<void(const std::string&)> onFatal)
    : settings_(settings), reader_(reader), log_(std::move(log)), onFatal_(std::move(onFatal)),
      queue_(settings.queue) {
  for (MessageKind kind : {MessageKind::kRead, MessageKind::kEvent, MessageKind::kStatus})
    topics_[TopicIndexOf(kind)] = TopicFor(settings_.prefix, reader_, kind);
  will_ = Line(WillJson(reader_));
  std::string clientId = settings_.clientIdBase + "-" + TopicSafeName(reader_);
  int rc = MQTTAsync_create(&client_, settings_.address.serverUri.c_str(), clientId.c_str(),
                            MQTTCLIENT_PERSISTENCE_NONE, nullptr);
  if (rc != MQTTASYNC_SUCCESS)
    throw std::runtime_error("cannot make an MQTT client for " + settings_.url + ": " + MQTTAsync_strerror(rc));
  MQTTAsync_setCallbacks(client_, this, OnConnectionLost, OnMessage, nullptr);
  thread_ = std::thread([this] { Loop(); });
}

BrokerLink::~BrokerLink() {
  if (thread_.joinable()) {
    BeginFinish(Millis(0));
    Wait();
  }
  MQTTAsync_destroy(&client_);  // no callback comes after this
}

void BrokerLink::Deliver(const Message& message) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (message.kind == MessageKind::kStatus) {
      status_ = message.line;
      ++statusVersion_;
    } else {
      queue_.Push(message);
    }
  }
  changed_.notify_all();
}

Json BrokerLink::Describe() {
  std::lock_guard<std::mutex> lock(mutex_);
  return DescribeLocked();
}

Json BrokerLink::DescribeLocked() const {
  Json description{{"connected", connected_},
                   {"queued", queue_.depth()},
                   {"overflow", queue_.overflow()},
                   {"sent", sent_}};
  if (!connected_ && !lastError_.empty()) description["lastError"] = lastError_;
  return description;
}

void BrokerLink::BeginFinish(Millis limit) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (finishing_) return;
    finishing_ = true;
    finishBy_ = std::chrono::steady_clock::now() + limit;
  }
  changed_.notify_all();
}

void BrokerLink::Wait() {
  if (thread_.joinable()) thread_.join();
  std::lock_guard<std::mutex> lock(mutex_);
  size_t left = queue_.depth() + (statusVersion_ > statusAcknowledged_ ? 1 : 0);
  if (left > 0 && log_)
    log_("broker " + settings_.url + ": " + std::to_string(left) + " messages for " + reader_ +
         " were not delivered before the end" + (connected_ ? "" : " (the broker was away)"));
}

// A status waits in its slot while the connection comes and goes: what it says about this output is
// made true at the moment it goes out.
std::string BrokerLink::WithDelivery(const std::string& status) const {
  Json object = Json::parse(status, nullptr, false);
  if (!object.is_object()) return status;
  object["mqtt"] = DescribeLocked();
  return Line(object);
}

bool BrokerLink::Drained() const {
  return queue_.depth() == 0 && !statusOnItsWay_ && statusVersion_ == statusAcknowledged_;
}

void BrokerLink::Loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  SteadyTime pauseUntil{};
  while (true) {
    SteadyTime now = std::chrono::steady_clock::now();
    if (finishing_ && (Drained() || fatal_ || now >= finishBy_)) break;
    if (!connected_ && !connecting_ && !fatal_ && now >= nextAttempt_) StartConnect(lock);
    if (connected_ && now >= pauseUntil) {
      uint64_t before = sent_;
      std::string errorBefore = lastError_;
      SendWaiting(lock);
      if (lastError_ != errorBefore && sent_ == before) pauseUntil = now + kPauseAfterSendFailure;
    }
    Millis wait = kLoopWait;
    if (!connected_ && !connecting_) wait = std::min(wait, Until(nextAttempt_, now));
    if (finishing_) wait = std::min(wait, Until(finishBy_, now));
    changed_.wait_for(lock, std::max(wait, Millis(1)));
  }
  Disconnect(lock);
}

void BrokerLink::StartConnect(std::unique_lock<std::mutex>& lock) {
  connecting_ = true;
  ++generation_;
  MQTTAsync_willOptions will = MQTTAsync_willOptions_initializer;
  will.topicName = topics_[kStatusTopic].c_str();
  will.message = will_.c_str();
  will.retained = 1;
  will.qos = kQos;
  MQTTAsync_SSLOptions ssl = MQTTAsync_SSLOptions_initializer;
  ssl.enableServerCertAuth = 1;
  ssl.verify = 1;  // the certificate must name the host we asked for
  if (!settings_.caFile.empty()) ssl.trustStore = settings_.caFile.c_str();
  MQTTAsync_connectOptions options = MQTTAsync_connectOptions_initializer;
  options.keepAliveInterval = kKeepAliveSeconds;
  options.cleansession = 1;  // what the broker did not acknowledge, the queue sends again
  options.maxInflight = static_cast<int>(kWindow * 2);
  options.connectTimeout = kConnectTimeoutSeconds;
  options.MQTTVersion = MQTTVERSION_3_1_1;
  options.will = &will;
  if (!settings_.credentials.username.empty()) options.username = settings_.credentials.username.c_str();
  if (!settings_.credentials.password.empty()) options.password = settings_.credentials.password.c_str();
  if (settings_.address.tls) options.ssl = &ssl;
  options.onSuccess = OnConnected;
  options.onFailure = OnConnectFailed;
  options.context = this;
  lock.unlock();
  int rc = MQTTAsync_connect(client_, &options);
  lock.lock();
  if (rc != MQTTASYNC_SUCCESS) {
    connecting_ = false;
    ConnectFailed(rc, "");
  }
}

void BrokerLink::SendWaiting(std::unique_lock<std::mutex>& lock) {
  while (connected_) {
    if (queue_.onTheirWay() + (statusOnItsWay_ ? 1 : 0) >= kWindow) return;
    if (status_ && !statusOnItsWay_ && statusVersion_ > statusAcknowledged_) {
      statusOnItsWay_ = true;
      std::string payload = WithDelivery(*status_);
      if (!Send(lock, topics_[kStatusTopic], payload, true, 0, statusVersion_)) return;
      continue;
    }
    auto next = queue_.Take();
    if (!next) return;
    if (!Send(lock, topics_[TopicIndexOf(next->second.kind)], next->second.line, false, next->first, 0)) return;
  }
}

bool BrokerLink::Send(std::unique_lock<std::mutex>& lock, const std::string& topic, const std::string& payload,
                      bool retained, uint64_t id, uint64_t statusVersion) {
  contexts_.push_back({this, id, generation_, statusVersion});
  SendContext* context = &contexts_.back();
  lock.unlock();
  MQTTAsync_message message = MQTTAsync_message_initializer;
  message.payload = const_cast<char*>(payload.data());
  message.payloadlen = static_cast<int>(payload.size());
  message.qos = kQos;
  message.retained = retained ? 1 : 0;
  MQTTAsync_responseOptions options = MQTTAsync_responseOptions_initializer;
  options.onSuccess = OnSent;
  options.onFailure = OnSendFailed;
  options.context = context;
  int rc = MQTTAsync_sendMessage(client_, topic.c_str(), &message, &options);
  lock.lock();
  if (rc == MQTTASYNC_SUCCESS) return true;
  lastError_ = MQTTAsync_strerror(rc);
  Settle(context, false);  // the library took nothing, so no callback will come
  return false;
}

void BrokerLink::Settle(SendContext* context, bool delivered) {
  if (context->generation == generation_) {
    if (context->id == 0) {
      statusOnItsWay_ = false;
      if (delivered) statusAcknowledged_ = std::max(statusAcknowledged_, context->statusVersion);
    } else if (delivered) {
      queue_.Acknowledge(context->id);
      ++sent_;
    } else {
      queue_.Return(context->id);
    }
  }
  contexts_.remove_if([context](const SendContext& entry) { return &entry == context; });
  changed_.notify_all();
}

void BrokerLink::Disconnect(std::unique_lock<std::mutex>& lock) {
  if (!connected_ && !connecting_) return;
  MQTTAsync_disconnectOptions options = MQTTAsync_disconnectOptions_initializer;
  options.timeout = kDisconnectTimeoutMs;
  options.onSuccess = OnDisconnected;
  options.onFailure = OnDisconnectFailed;
  options.context = this;
  lock.unlock();
  int rc = MQTTAsync_disconnect(client_, &options);
  lock.lock();
  if (rc == MQTTASYNC_SUCCESS) changed_.wait_for(lock, kDisconnectWait, [this] { return disconnected_; });
  connected_ = false;
}

void BrokerLink::ConnectFailed(int code, const std::string& why) {
  lastError_ = why.empty() ? ConnectFailureText(code, nullptr) : why;
  nextAttempt_ = std::chrono::steady_clock::now() + backoff_.Next();
  if (!everConnected_ && IsConfigurationRefusal(code)) {
    fatal_ = true;
    if (onFatal_) onFatal_("broker " + settings_.url + ": " + lastError_);
    return;
  }
  LogOnce("broker " + settings_.url + ": " + lastError_ + "; trying again");
}

void BrokerLink::LogOnce(const std::string& line) {
  if (line == loggedError_) return;
  loggedError_ = line;
  if (log_) log_(line);
}

void BrokerLink::OnConnected(void* context, MQTTAsync_successData*) {
  auto* link = static_cast<BrokerLink*>(context);
  std::lock_guard<std::mutex> lock(link->mutex_);
  link->connecting_ = false;
  link->connected_ = true;
  link->everConnected_ = true;
  link->queue_.ReturnAll();  // what the last connection left unacknowledged goes again
  link->statusOnItsWay_ = false;
  link->statusAcknowledged_ = 0;  // the latest status goes again, over the will the broker may have kept
  link->backoff_.Reset();
  link->lastError_.clear();
  if (!link->loggedError_.empty() && link->log_) link->log_("broker " + link->settings_.url + ": connected again");
  link->loggedError_.clear();
  link->changed_.notify_all();
}

void BrokerLink::OnConnectFailed(void* context, MQTTAsync_failureData* response) {
  auto* link = static_cast<BrokerLink*>(context);
  std::lock_guard<std::mutex> lock(link->mutex_);
  link->connecting_ = false;
  int code = response ? response->code : MQTTASYNC_FAILURE;
  std::string why = ConnectFailureText(code, response ? response->message : nullptr);
  // The client library does not say why a handshake failed; the usual causes, then.
  if (link->settings_.address.tls && code == MQTTASYNC_FAILURE)
    why += " (is the broker there, and its certificate signed by the CA given and made out to the host in the URL?)";
  link->ConnectFailed(code, why);
  link->changed_.notify_all();
}

void BrokerLink::OnConnectionLost(void* context, char*) {
  auto* link = static_cast<BrokerLink*>(context);
  std::lock_guard<std::mutex> lock(link->mutex_);
  link->connected_ = false;
  ++link->generation_;
  link->queue_.ReturnAll();
  link->statusOnItsWay_ = false;
  link->lastError_ = "connection lost";
  link->nextAttempt_ = std::chrono::steady_clock::now() + link->backoff_.Next();
  link->LogOnce("broker " + link->settings_.url + ": connection lost; reconnecting");
  link->changed_.notify_all();
}

int BrokerLink::OnMessage(void*, char* topic, int, MQTTAsync_message* message) {
  // The watch subscribes to nothing; the client library wants the callback all the same.
  MQTTAsync_freeMessage(&message);
  MQTTAsync_free(topic);
  return 1;
}

void BrokerLink::OnSent(void* context, MQTTAsync_successData*) {
  auto* send = static_cast<SendContext*>(context);
  BrokerLink* link = send->link;
  std::lock_guard<std::mutex> lock(link->mutex_);
  link->Settle(send, true);
}

void BrokerLink::OnSendFailed(void* context, MQTTAsync_failureData* response) {
  auto* send = static_cast<SendContext*>(context);
  BrokerLink* link = send->link;
  std::lock_guard<std::mutex> lock(link->mutex_);
  if (response && response->code != MQTTASYNC_OPERATION_INCOMPLETE) link->lastError_ = MQTTAsync_strerror(response->code);
  link->Settle(send, false);
}

void BrokerLink::OnDisconnected(void* context, MQTTAsync_successData*) {
  auto* link = static_cast<BrokerLink*>(context);
  std::lock_guard<std::mutex> lock(link->mutex_);
  link->disconnected_ = true;
  link->changed_.notify_all();
}

void BrokerLink::OnDisconnectFailed(void* context, MQTTAsync_failureData*) { OnDisconnected(context, nullptr); }

}  // namespace quarn::watch
