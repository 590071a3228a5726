#include "processes.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace quarn::watch::testing {

namespace {

using namespace std::chrono_literals;

constexpr Millis kStartLimit{5000};
constexpr Millis kStopLimit{5000};
constexpr int kPortAttempts = 5;

struct PortTaken : std::runtime_error {
  explicit PortTaken(const std::string& log) : std::runtime_error("mosquitto found its port taken:\n" + log) {}
};

std::string Slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The first of the candidates that exists: sbin is not on every user's PATH.
std::string Program(std::initializer_list<const char*> candidates) {
  for (const char* candidate : candidates)
    if (access(candidate, X_OK) == 0) return candidate;
  throw std::runtime_error(std::string(*candidates.begin()) +
                           " is not installed; bash scripts/install-deps.sh installs mosquitto, mosquitto-clients "
                           "and openssl");
}

// Everything the child needs is made before the fork: the test process has threads (the MQTT client's),
// and after a fork only async-signal-safe calls are sure not to wait on a lock one of them held.
pid_t Spawn(const std::vector<std::string>& argv, const std::string& out, const std::string& err,
            const std::map<std::string, std::string>& environment, bool clearMqttEnvironment) {
  std::vector<std::string> variables;
  for (char** entry = environ; *entry; ++entry) {
    std::string variable = *entry;
    std::string name = variable.substr(0, variable.find('='));
    bool cleared = clearMqttEnvironment &&
                   (name == "QUARN_MQTT_USERNAME" || name == "QUARN_MQTT_PASSWORD" || name == "QUARN_PORT");
    if (!cleared && !environment.count(name)) variables.push_back(variable);
  }
  for (const auto& [name, value] : environment) variables.push_back(name + "=" + value);
  std::vector<char*> rawArgv, rawEnvironment;
  for (const auto& arg : argv) rawArgv.push_back(const_cast<char*>(arg.c_str()));
  rawArgv.push_back(nullptr);
  for (const auto& variable : variables) rawEnvironment.push_back(const_cast<char*>(variable.c_str()));
  rawEnvironment.push_back(nullptr);
  int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  int nothing = open("/dev/null", O_RDONLY | O_CLOEXEC);
  pid_t parent = getpid();
  pid_t child = fork();
  if (child == 0) {
    // A test that aborts runs no destructor: its broker and its watch end with it all the same.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    dup2(outFd, 1);
    dup2(errFd, 2);
    dup2(nothing, 0);
    execve(rawArgv[0], rawArgv.data(), rawEnvironment.data());
    _exit(127);
  }
  close(outFd);
  close(errFd);
  close(nothing);
  return child;
}

// Runs a tool to its end; its output goes to log.
void RunTool(const std::vector<std::string>& argv, const std::string& log) {
  pid_t child = Spawn(argv, log, log, {}, false);
  int status = 0;
  waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    throw std::runtime_error(argv[0] + " failed:\n" + Slurp(log));
}

std::optional<int> WaitFor(pid_t pid, Millis limit) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (true) {
    int status = 0;
    pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (done < 0 || std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(20ms);
  }
}

int FreePort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    close(fd);
    throw std::runtime_error("no free port on 127.0.0.1");
  }
  close(fd);
  return ntohs(address.sin_port);
}

bool Accepts(int port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return connected;
}

}  // namespace

ScratchDir::ScratchDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/quarn-watch-test-XXXXXX";
  if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a scratch folder " + pattern);
  path_ = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void ScratchDir::Write(const std::string& name, const std::string& text, int mode) const {
  std::string path = File(name);
  std::ofstream(path) << text;
  chmod(path.c_str(), static_cast<mode_t>(mode));
}

Broker::Broker(bool tls, bool persistence) : tls_(tls) {
  RunTool({Program({"/usr/bin/mosquitto_passwd"}), "-b", "-c", dir_.File("passwd"), kUser, kPassword},
          dir_.File("tools.log"));
  if (tls_) MakeCertificates();
  // A port is free when chosen, but another test may take it before mosquitto binds it: then mosquitto
  // ends saying so, and new ports are chosen.
  for (int attempt = 1;; ++attempt) {
    port_ = FreePort();
    if (tls_) tlsPort_ = FreePort();
    WriteConfig(persistence);
    try {
      Start();
      return;
    } catch (const PortTaken&) {
      if (attempt == kPortAttempts) throw;
    }
  }
}

Broker::~Broker() { Stop(); }

void Broker::MakeCertificates() {
  std::string openssl = Program({"/usr/bin/openssl"});
  std::string log = dir_.File("tools.log");
  const std::vector<std::string> ecKey = {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
  std::vector<std::string> ca = {openssl, "req", "-x509"};
  ca.insert(ca.end(), ecKey.begin(), ecKey.end());
  ca.insert(ca.end(), {"-keyout", dir_.File("ca.key"), "-out", dir_.File("ca.pem"), "-days", "2", "-subj",
                       "/CN=quarn test CA"});
  RunTool(ca, log);
  std::vector<std::string> request = {openssl, "req", "-new"};
  request.insert(request.end(), ecKey.begin(), ecKey.end());
  request.insert(request.end(), {"-keyout", dir_.File("server.key"), "-out", dir_.File("server.csr"), "-subj",
                                 "/CN=localhost"});
  RunTool(request, log);
  dir_.Write("server.ext", "subjectAltName=IP:127.0.0.1,DNS:localhost\n");
  RunTool({openssl, "x509", "-req", "-in", dir_.File("server.csr"), "-CA", dir_.File("ca.pem"), "-CAkey",
           dir_.File("ca.key"), "-CAcreateserial", "-days", "2", "-extfile", dir_.File("server.ext"), "-out",
           dir_.File("server.pem")},
          log);
}

void Broker::WriteConfig(bool persistence) {
  std::ostringstream config;
  config << "listener " << port_ << " 127.0.0.1\n";
  if (tls_)
    config << "listener " << tlsPort_ << " 127.0.0.1\n"
           << "cafile " << dir_.File("ca.pem") << "\n"
           << "certfile " << dir_.File("server.pem") << "\n"
           << "keyfile " << dir_.File("server.key") << "\n";
  config << "allow_anonymous false\n"
         << "password_file " << dir_.File("passwd") << "\n"
         << "persistence " << (persistence ? "true" : "false") << "\n"
         << "persistence_location " << dir_.path() << "/\n"
         << "max_queued_messages 100000\n";
  // Run as root, mosquitto would drop to a user that cannot read this folder.
  if (passwd* user = getpwuid(geteuid())) config << "user " << user->pw_name << "\n";
  dir_.Write("mosquitto.conf", config.str());
}

// mosquitto says it is running once it has bound every listener; a port that accepts is not enough,
// for another program may hold it.
void Broker::Start() {
  std::string log = dir_.File("mosquitto.log");
  size_t logStart = Slurp(log).size();  // the log of this start only: a restart appends to it
  pid_ = Spawn({Program({"/usr/sbin/mosquitto", "/usr/bin/mosquitto"}), "-c", dir_.File("mosquitto.conf")}, log,
               log, {}, false);
  auto deadline = std::chrono::steady_clock::now() + kStartLimit;
  while (true) {
    std::string said = Slurp(log).substr(logStart);
    bool exited = WaitFor(pid_, 0ms).has_value();
    if (!exited && said.find(" running") != std::string::npos &&
        Accepts(port_) && (!tls_ || Accepts(tlsPort_)))
      return;
    if (exited || std::chrono::steady_clock::now() >= deadline) {
      if (!exited) {
        kill(pid_, SIGKILL);
        WaitFor(pid_, kStopLimit);
      }
      pid_ = -1;
      if (said.find("Address already in use") != std::string::npos) throw PortTaken(said);
      throw std::runtime_error("mosquitto did not start:\n" + said);
    }
    std::this_thread::sleep_for(20ms);
  }
}

void Broker::Stop() {
  if (pid_ < 0) return;
  kill(pid_, SIGTERM);
  if (!WaitFor(pid_, kStopLimit)) {
    kill(pid_, SIGKILL);
    WaitFor(pid_, kStopLimit);
  }
  pid_ = -1;
}

WatchProcess::WatchProcess(const ScratchDir& dir, const std::string& name, const std::vector<std::string>& args,
                           const std::map<std::string, std::string>& environment)
    : out_(dir.File(name + ".out")), err_(dir.File(name + ".err")) {
  std::vector<std::string> argv = {QUARN_CLI_PATH, "watch"};
  argv.insert(argv.end(), args.begin(), args.end());
  pid_ = Spawn(argv, out_, err_, environment, true);
}

WatchProcess::~WatchProcess() {
  if (running()) {
    kill(pid_, SIGKILL);
    WaitExit(kStopLimit);
  }
}

void WatchProcess::Signal(int signal) { kill(pid_, signal); }

std::optional<int> WatchProcess::WaitExit(Millis limit) {
  if (!status_) status_ = WaitFor(pid_, limit);
  return status_;
}

bool WatchProcess::running() { return !WaitExit(0ms).has_value(); }

std::vector<nlohmann::json> WatchProcess::StdoutObjects() const {
  std::vector<nlohmann::json> objects;
  std::string text = Slurp(out_);
  text.erase(text.find_last_of('\n') + 1);  // npos + 1 is 0: no whole line yet
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    auto object = nlohmann::json::parse(line, nullptr, false);
    if (object.is_discarded()) {
      ADD_FAILURE() << "stdout holds a line that is not JSON: " << line;
      continue;
    }
    objects.push_back(object);
  }
  return objects;
}

std::optional<nlohmann::json> WatchProcess::WaitForObject(const std::function<bool(const nlohmann::json&)>& match,
                                                          Millis limit) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    for (const auto& object : StdoutObjects())
      if (match(object)) return object;
    if (std::chrono::steady_clock::now() >= deadline || !running()) return std::nullopt;
    std::this_thread::sleep_for(50ms);
  }
}

std::string WatchProcess::Stderr() const { return Slurp(err_); }

SimProcess::SimProcess(const ScratchDir& dir, const std::string& name, const std::vector<std::string>& args)
    : link_(dir.File(name + ".link")), out_(dir.File(name + ".out")), trace_(dir.File(name + ".trace")) {
  std::vector<std::string> argv = {QUARN_SIM_PATH, "--link", link_, "--trace"};
  argv.insert(argv.end(), args.begin(), args.end());
  pid_ = Spawn(argv, out_, trace_, {}, false);
  auto deadline = std::chrono::steady_clock::now() + kStartLimit;
  while (access(link_.c_str(), F_OK) != 0) {
    if (WaitFor(pid_, 0ms) || std::chrono::steady_clock::now() >= deadline) {
      pid_ = -1;
      throw std::runtime_error("quarn-sim did not start:\n" + Slurp(trace_));
    }
    std::this_thread::sleep_for(20ms);
  }
}

SimProcess::~SimProcess() {
  if (pid_ < 0) return;
  kill(pid_, SIGTERM);
  if (!WaitFor(pid_, kStopLimit)) {
    kill(pid_, SIGKILL);
    WaitFor(pid_, kStopLimit);
  }
}

void SimProcess::Signal(int signal) { kill(pid_, signal); }

std::vector<std::string> SimProcess::Devices() const {
  std::vector<std::string> devices;
  std::istringstream lines(Slurp(out_));
  std::string line;
  while (std::getline(lines, line))
    if (!line.empty()) devices.push_back(line);
  return devices;
}

std::vector<std::string> SimProcess::TraceLines(const std::vector<std::string>& words) const {
  std::vector<std::string> found;
  std::istringstream lines(Slurp(trace_));
  std::string line;
  while (std::getline(lines, line)) {
    bool all = true;
    for (const auto& word : words) all = all && line.find(word) != std::string::npos;
    if (all) found.push_back(line);
  }
  return found;
}

std::map<std::string, std::string> BrokerCredentials(const std::string& password) {
  return {{"QUARN_MQTT_USERNAME", Broker::kUser}, {"QUARN_MQTT_PASSWORD", password}};
}

}  // namespace quarn::watch::testing
