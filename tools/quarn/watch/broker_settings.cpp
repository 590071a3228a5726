#include "broker_settings.h"

#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>

#include "report.h"

namespace quarn::watch {

using cli::FailUsage;

namespace {

constexpr int kPlainPort = 1883;
constexpr int kTlsPort = 8883;

std::string Trim(const std::string& text) {
  size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

std::string Unquote(const std::string& value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

int ParsePort(const std::string& text, const std::string& url) {
  bool digits = !text.empty() && text.size() <= 5 && text.find_first_not_of("0123456789") == std::string::npos;
  int port = digits ? std::stoi(text) : 0;
  if (port < 1 || port > 65535) FailUsage("the broker URL " + url + " has no port number 1 to 65535 after its ':'");
  return port;
}

}  // namespace

BrokerAddress ParseBrokerUrl(const std::string& url) {
  const std::string plain = "mqtt://", tls = "mqtts://";
  BrokerAddress address;
  std::string rest;
  if (url.rfind(plain, 0) == 0) {
    rest = url.substr(plain.size());
  } else if (url.rfind(tls, 0) == 0) {
    rest = url.substr(tls.size());
    address.tls = true;
  } else {
    FailUsage("the broker URL " + url + " starts with neither mqtt:// nor mqtts:// (for TLS)");
  }
  while (!rest.empty() && rest.back() == '/') rest.pop_back();
  if (rest.find('@') != std::string::npos)
    FailUsage("the broker URL carries a user name or password; give them in " + std::string(kUsernameVariable) +
              " and " + kPasswordVariable + " or in a file (--mqtt-credentials), where other users cannot see them");
  if (rest.find('/') != std::string::npos) FailUsage("the broker URL " + url + " has a path; give only host and port");
  std::string host = rest;
  std::optional<std::string> portText;
  if (!rest.empty() && rest.front() == '[') {
    size_t close = rest.find(']');
    if (close == std::string::npos) FailUsage("the broker URL " + url + " opens a [v6 address] it does not close");
    host = rest.substr(0, close + 1);
    if (close + 1 < rest.size()) {
      if (rest[close + 1] != ':') FailUsage("the broker URL " + url + " has something else than :port after ]");
      portText = rest.substr(close + 2);
    }
  } else if (size_t colon = rest.find(':'); colon != std::string::npos) {
    host = rest.substr(0, colon);
    portText = rest.substr(colon + 1);
  }
  if (host.empty() || host == "[]") FailUsage("the broker URL " + url + " names no host");
  int port = portText ? ParsePort(*portText, url) : address.tls ? kTlsPort : kPlainPort;
  address.serverUri = (address.tls ? "ssl://" : "tcp://") + host + ":" + std::to_string(port);
  return address;
}

Credentials CredentialsFromText(const std::string& text, const std::string& fileName) {
  Credentials credentials;
  std::istringstream lines(text);
  std::string line;
  int number = 0;
  while (std::getline(lines, line)) {
    ++number;
    std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] == '#') continue;
    size_t equals = trimmed.find('=');
    if (equals == std::string::npos)
      FailUsage(fileName + " line " + std::to_string(number) + " is not KEY=VALUE");
    std::string key = Trim(trimmed.substr(0, equals)), value = Unquote(Trim(trimmed.substr(equals + 1)));
    if (key.rfind("export ", 0) == 0) key = Trim(key.substr(7));
    if (key == kUsernameVariable)
      credentials.username = value;
    else if (key == kPasswordVariable)
      credentials.password = value;
    else
      FailUsage(fileName + " line " + std::to_string(number) + " sets " + key + "; only " + kUsernameVariable +
                " and " + kPasswordVariable + " belong there");
  }
  if (credentials.username.empty() && !credentials.password.empty())
    FailUsage(fileName + " gives a password without a user name (" + kUsernameVariable + ")");
  return credentials;
}

Credentials CredentialsFromFile(const std::string& path) {
  std::ifstream in(path);
  if (!in) FailUsage("cannot read the credentials file " + path + " (missing, or no permission)");
  std::stringstream text;
  text << in.rdbuf();
  return CredentialsFromText(text.str(), path);
}

Credentials CredentialsFromEnvironment() {
  Credentials credentials;
  if (const char* username = std::getenv(kUsernameVariable)) credentials.username = username;
  if (const char* password = std::getenv(kPasswordVariable)) credentials.password = password;
  if (credentials.username.empty() && !credentials.password.empty())
    FailUsage(std::string(kPasswordVariable) + " is set but " + kUsernameVariable + " is not");
  return credentials;
}

std::string TopicFor(const std::string& prefix, const std::string& reader, MessageKind kind) {
  const char* leaf = kind == MessageKind::kRead ? "reads" : kind == MessageKind::kEvent ? "events" : "status";
  return prefix + "/" + TopicSafeName(reader) + "/" + leaf;
}

void CheckTopicPrefix(const std::string& prefix) {
  if (prefix.empty() || prefix.front() == '/' || prefix.back() == '/' ||
      prefix.find_first_of("+#") != std::string::npos || prefix.find('\0') != std::string::npos)
    FailUsage("the topic prefix '" + prefix + "' is not one MQTT can publish under: no + or #, no / at either end");
}

}  // namespace quarn::watch
