#pragma once
// The processes a service test starts: mosquitto (a broker of the test's own, on free ports of
// 127.0.0.1, with a password file and TLS certificates made at test time in a folder of its own) and
// quarn watch. Each is ended, and its folder removed, when the test is done with it; nothing is left
// running.

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace quarn::watch::testing {

using Millis = std::chrono::milliseconds;

// A folder under $TMPDIR (or /tmp) that goes with the object.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  void Write(const std::string& name, const std::string& text, int mode = 0600) const;

 private:
  std::string path_;
};

class Broker {
 public:
  static constexpr const char* kUser = "site-a";
  static constexpr const char* kPassword = "correct horse";

  // persistence: the broker keeps sessions and queued messages across a restart.
  explicit Broker(bool tls = false, bool persistence = false);
  ~Broker();
  Broker(const Broker&) = delete;
  Broker& operator=(const Broker&) = delete;

  void Stop();
  void Start();  // again, on the same ports

  int port() const { return port_; }
  int tlsPort() const { return tlsPort_; }
  std::string url() const { return "mqtt://127.0.0.1:" + std::to_string(port_); }
  std::string tlsUrl() const { return "mqtts://127.0.0.1:" + std::to_string(tlsPort_); }
  std::string caFile() const { return dir_.File("ca.pem"); }
  const ScratchDir& dir() const { return dir_; }

 private:
  void MakeCertificates();
  void WriteConfig(bool persistence);

  ScratchDir dir_;
  bool tls_;
  int port_ = 0;
  int tlsPort_ = 0;
  pid_t pid_ = -1;
};

// quarn watch with the given arguments; its stdout and stderr go to files in dir. The environment
// holds the MQTT credentials only when given here.
class WatchProcess {
 public:
  WatchProcess(const ScratchDir& dir, const std::string& name, const std::vector<std::string>& args,
               const std::map<std::string, std::string>& environment = {});
  ~WatchProcess();
  WatchProcess(const WatchProcess&) = delete;
  WatchProcess& operator=(const WatchProcess&) = delete;

  void Signal(int signal);
  // The exit status (128 + the signal for one that killed it), or none when it still runs after limit.
  std::optional<int> WaitExit(Millis limit);
  bool running();
  // The whole lines written so far (a line still being written is left for the next look).
  std::vector<nlohmann::json> StdoutObjects() const;
  // The first object on stdout, so far or within limit, that match takes.
  std::optional<nlohmann::json> WaitForObject(const std::function<bool(const nlohmann::json&)>& match, Millis limit);
  std::string Stderr() const;

 private:
  std::string out_;
  std::string err_;
  pid_t pid_ = -1;
  std::optional<int> status_;
};

// The virtual reader program (quarn-sim) with the given options, behind the link dir/NAME.link, and
// tracing every frame to NAME.trace. It serves once the constructor returns.
class SimProcess {
 public:
  SimProcess(const ScratchDir& dir, const std::string& name, const std::vector<std::string>& args);
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  const std::string& link() const { return link_; }
  void Signal(int signal);
  // The device paths it printed: one at the start and one after each replug.
  std::vector<std::string> Devices() const;
  // The trace lines so far that hold every one of the words.
  std::vector<std::string> TraceLines(const std::vector<std::string>& words) const;

 private:
  std::string link_;
  std::string out_;
  std::string trace_;
  pid_t pid_ = -1;
};

// Credentials in the environment, as a service gets them from EnvironmentFile=.
std::map<std::string, std::string> BrokerCredentials(const std::string& password = Broker::kPassword);

}  // namespace quarn::watch::testing
