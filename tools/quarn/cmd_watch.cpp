// watch: keep reading one or more readers unattended and deliver every read, timestamped, as JSON Lines
// on stdout and to an MQTT broker; with events, status, reconnects and health checks.

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <stdexcept>

#include "commands.h"
#include "watch/config.h"
#include "watch/fake_reader.h"
#include "watch/mqtt_sink.h"
#include "watch/serial_reader_session.h"
#include "watch/watch.h"

namespace quarn::cli {

namespace {

using namespace quarn::watch;

struct WatchArgs {
  std::vector<std::string> readers;
  std::string config;
  std::string nameBy = "port";
  bool antennas = false;
  std::vector<int> power;
  double eventHold = 0;
  bool noReads = false;
  long maxTags = 10000;
  double statusInterval = 10;
  double healthInterval = 30;
  std::string stdoutMode = "all";
  std::string mqtt;
  std::string mqttCa;
  std::string mqttCredentials;
  std::string mqttPrefix = kDefaultTopicPrefix;
  long mqttQueue = static_cast<long>(kDefaultBrokerQueue);
  std::string fake;
  CLI::App* command = nullptr;

  bool given(const std::string& option) const { return command->count(option) > 0; }
};

Millis SecondsOf(double seconds) { return Millis(static_cast<long long>(seconds * 1000 + 0.5)); }

// The file's settings, with what the command line says on top.
WatchConfig Configure(Context& context, const WatchArgs& args) {
  WatchConfig config = args.config.empty() ? WatchConfig{} : LoadConfig(args.config);
  for (const std::string& port : args.readers) {
    ReaderSettings reader;
    reader.port = port;
    reader.baud = context.options.baud;
    reader.crc = context.options.crc;
    reader.multiAntenna = args.antennas;
    reader.power = args.power;
    config.readers.push_back(reader);
  }
  const char* fromEnvironment = std::getenv("QUARN_PORT");
  std::string port = !context.options.port.empty() ? context.options.port : fromEnvironment ? fromEnvironment : "";
  if (config.readers.empty() && !port.empty()) {
    ReaderSettings reader;
    reader.port = port;
    reader.baud = context.options.baud;
    reader.crc = context.options.crc;
    reader.multiAntenna = args.antennas;
    reader.power = args.power;
    config.readers.push_back(reader);
  }
  SupervisorOptions& supervision = config.supervision;
  if (args.given("--name-by")) supervision.nameByUid = ParseNameBy(args.nameBy, "--name-by");
  if (args.given("--events")) supervision.eventHold = SecondsOf(args.eventHold);
  if (args.given("--no-reads")) supervision.deliverReads = false;
  if (args.given("--max-tags")) supervision.maxTags = static_cast<size_t>(args.maxTags);
  if (args.given("--status-interval")) supervision.statusEvery = SecondsOf(args.statusInterval);
  if (args.given("--health-interval")) supervision.healthAfter = SecondsOf(args.healthInterval);
  if (args.given("--stdout")) config.stdoutMode = ParseStdoutMode(args.stdoutMode, "--stdout");
  if (args.given("--mqtt")) config.mqttUrl = args.mqtt;
  if (args.given("--mqtt-ca")) config.mqttCa = args.mqttCa;
  if (args.given("--mqtt-credentials")) config.mqttCredentialsFile = args.mqttCredentials;
  if (args.given("--mqtt-prefix")) config.mqttPrefix = args.mqttPrefix;
  if (args.given("--mqtt-queue")) config.mqttQueue = static_cast<size_t>(args.mqttQueue);
  if (!supervision.deliverReads && !supervision.eventHold)
    FailUsage("--no-reads leaves nothing to deliver but the status; add --events SECONDS");
  CheckReaders(config);
  return config;
}

void WarnIfOthersCanRead(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) == 0 && (info.st_mode & S_IROTH))
    std::fprintf(stderr, "quarn watch: warning: every user of this machine can read %s; chmod o-r it\n", path.c_str());
}

std::optional<BrokerSettings> Broker(const WatchConfig& config) {
  if (config.mqttUrl.empty()) {
    if (!config.mqttCa.empty() || !config.mqttCredentialsFile.empty())
      FailUsage("--mqtt-ca and --mqtt-credentials need a broker: give --mqtt URL");
    return std::nullopt;
  }
  BrokerSettings broker;
  broker.url = config.mqttUrl;
  broker.address = ParseBrokerUrl(config.mqttUrl);
  if (!config.mqttCa.empty()) {
    if (!broker.address.tls) FailUsage("--mqtt-ca is for a TLS broker; its URL starts with mqtts://");
    if (!std::ifstream(config.mqttCa)) FailUsage("cannot read the CA file " + config.mqttCa);
    broker.caFile = config.mqttCa;
  }
  if (!config.mqttCredentialsFile.empty()) {
    broker.credentials = CredentialsFromFile(config.mqttCredentialsFile);
    WarnIfOthersCanRead(config.mqttCredentialsFile);
  } else {
    broker.credentials = CredentialsFromEnvironment();
  }
  CheckTopicPrefix(config.mqttPrefix);
  broker.prefix = config.mqttPrefix;
  broker.queue = config.mqttQueue;
  broker.clientIdBase = ClientIdBase();
  return broker;
}

// A UID for each simulated reader, from its port, so that --name-by uid tells them apart.
std::string FakeUid(const std::string& port) {
  uint64_t hash = 1469598103934665603ULL;
  for (char c : port) hash = (hash ^ static_cast<uint8_t>(c)) * 1099511628211ULL;
  Bytes uid;
  for (int i = 0; i < 12; ++i) uid.push_back(static_cast<uint8_t>(hash >> ((i % 8) * 8)) ^ static_cast<uint8_t>(i));
  return HexUpper(uid);
}

// The readers on their ports; the simulated readers of a plan (--fake) for the service tests.
SessionFactory Readers(const WatchArgs& args, const WatchConfig& config) {
  auto clock = std::make_shared<SystemClock>();
  if (args.fake.empty()) {
    const bool needUid = config.supervision.nameByUid;
    return [clock, needUid](const ReaderSettings&) -> std::unique_ptr<ReaderSession> {
      return std::make_unique<SerialReaderSession>(*clock, needUid);
    };
  }
  FakePlan plan;
  try {
    plan = ParseFakePlan(args.fake);
  } catch (const std::invalid_argument& error) {
    FailUsage(error.what());
  }
  return [plan, clock](const ReaderSettings& settings) -> std::unique_ptr<ReaderSession> {
    FakePlan own = plan;
    if (own.uid == FakePlan{}.uid) own.uid = FakeUid(settings.port);
    return std::make_unique<FakeReader>(own, *clock);
  };
}

Report Watch(Context& context, const WatchArgs& args) {
  if (context.options.json) FailUsage("quarn watch writes JSON Lines already; leave out --json");
  if (context.options.sim)
    FailUsage("quarn watch reads readers on their ports: start the virtual reader with quarn-sim --link PATH "
              "and give --reader PATH");
  WatchConfig config = Configure(context, args);
  std::optional<BrokerSettings> broker = Broker(config);
  SessionFactory factory = Readers(args, config);
  Report report;
  report.exitStatus = RunWatch(config, factory, broker);
  return report;
}

}  // namespace

void AddWatchCommand(CLI::App& app, CommandSet& commands) {
  auto args = std::make_shared<WatchArgs>();
  auto* command = commands.Add(app, "watch",
                               "read unattended: every read as JSON Lines on stdout and to an MQTT broker, "
                               "with events, status and reconnects",
                               [args](Context& c) { return Watch(c, *args); });
  args->command = command;
  command->add_option("-r,--reader", args->readers, "a reader's port (repeatable); --baud and --crc apply to it");
  command->add_option("-c,--config", args->config, "a JSON configuration file (readers, events, mqtt, ...)");
  command->add_option("--name-by", args->nameBy, "call readers by their port (as given) or by their uid")
      ->capture_default_str();
  command->add_flag("-a,--antennas", args->antennas, "read over several antennas (multi-antenna reports)");
  command->add_option("--power", args->power, "RF power setting bytes to apply on every connect (one or two)")
      ->expected(1, 2)
      ->check(CLI::Range(0, 255));
  command->add_option("-e,--events", args->eventHold,
                      "arrive and depart events; a tag departs when unread for this many seconds of reading "
                      "(time while the reader is away does not count)")
      ->check(CLI::Range(0.001, 7 * 24 * 3600.0));
  command->add_flag("--no-reads", args->noReads, "deliver events and status only, no reads");
  command->add_option("--max-tags", args->maxTags, "the most tags events keep track of per reader")
      ->check(CLI::Range(1L, 10000000L))
      ->capture_default_str();
  command->add_option("--status-interval", args->statusInterval, "seconds between status objects")
      ->check(CLI::Range(0.1, 7 * 24 * 3600.0))
      ->capture_default_str();
  command->add_option("--health-interval", args->healthInterval,
                      "seconds without a read after which the reader is asked whether it still answers")
      ->check(CLI::Range(0.1, 7 * 24 * 3600.0))
      ->capture_default_str();
  command->add_option("--stdout", args->stdoutMode, "what goes to stdout: all, status or none")
      ->capture_default_str();
  command->add_option("--mqtt", args->mqtt, "the broker: mqtt://host[:port], or mqtts://host[:port] for TLS");
  command->add_option("--mqtt-ca", args->mqttCa, "the CA file that vouches for a TLS broker");
  command->add_option("--mqtt-credentials", args->mqttCredentials,
                      "a file with QUARN_MQTT_USERNAME=... and QUARN_MQTT_PASSWORD=... lines (else the environment)");
  command->add_option("--mqtt-prefix", args->mqttPrefix, "the topics' first level: PREFIX/READER/reads|events|status")
      ->capture_default_str();
  command->add_option("--mqtt-queue", args->mqttQueue, "messages kept per reader while the broker is away")
      ->check(CLI::Range(1L, 10000000L))
      ->capture_default_str();
  command->add_option("--fake", args->fake, "simulated readers: tags=N,rate=R,...")->group("");
}

}  // namespace quarn::cli
