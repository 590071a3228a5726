#pragma once
// Where and how the watch reaches its MQTT broker: the URL (mqtt:// plain, mqtts:// TLS), the CA that
// vouches for a TLS broker, the credentials (from the environment or a file, never the command line),
// the topic layout and the size of the queue that bridges the broker's absences.

#include <cstddef>
#include <string>

#include "messages.h"

namespace quarn::watch {

constexpr const char* kDefaultTopicPrefix = "quarn";
constexpr size_t kDefaultBrokerQueue = 10000;
constexpr const char* kUsernameVariable = "QUARN_MQTT_USERNAME";
constexpr const char* kPasswordVariable = "QUARN_MQTT_PASSWORD";

struct BrokerAddress {
  std::string serverUri;  // the client library's form: tcp://host:port or ssl://host:port
  bool tls = false;
};

struct Credentials {
  std::string username;
  std::string password;
};

struct BrokerSettings {
  std::string url;  // as given, for messages
  BrokerAddress address;
  std::string caFile;  // TLS: the CA to trust; empty: the system's store
  Credentials credentials;
  std::string prefix = kDefaultTopicPrefix;
  size_t queue = kDefaultBrokerQueue;
  std::string clientIdBase;  // a client per reader: this, a dash, the reader's topic name
};

// mqtt://host[:port] (1883) or mqtts://host[:port] (8883); a host may be [v6 address]. Fails (usage)
// naming what is wrong, and refuses a URL that carries a user or password.
BrokerAddress ParseBrokerUrl(const std::string& url);

// KEY=VALUE lines (QUARN_MQTT_USERNAME, QUARN_MQTT_PASSWORD; # comments, blank lines, optional
// quotes): the same file serves systemd's EnvironmentFile= and --mqtt-credentials.
Credentials CredentialsFromText(const std::string& text, const std::string& fileName);
Credentials CredentialsFromFile(const std::string& path);
Credentials CredentialsFromEnvironment();

// PREFIX/READER/reads, .../events, .../status.
std::string TopicFor(const std::string& prefix, const std::string& reader, MessageKind kind);
// Fails (usage) on a prefix that MQTT cannot publish to (wildcards, empty levels at its ends).
void CheckTopicPrefix(const std::string& prefix);

}  // namespace quarn::watch
