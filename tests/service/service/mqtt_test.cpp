// quarn watch as a service: the program with its simulated reader against a mosquitto of each test's own
// on 127.0.0.1, with a password file and certificates made at test time.

#include <gtest/gtest.h>
#include <signal.h>

#include <regex>
#include <set>
#include <thread>

#include "processes.h"
#include "subscriber.h"

namespace quarn::watch::testing {
namespace {

using namespace std::chrono_literals;

constexpr Millis kArrives{5000};  // how long a message may take to come, on a busy machine
const std::regex kIsoTime(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z)");

auto OnTopic(const std::string& topic) {
  return [topic](const Received& received) { return received.topic == topic; };
}

auto StatusOf(const std::string& topic, const std::string& state) {
  return [topic, state](const Received& received) {
    return received.topic == topic && received.object.is_object() && received.object.value("state", "") == state;
  };
}

// The status a watch publishes as it stops (a broker that went away may have published its will before).
auto StoppedStatus(const std::string& topic) {
  return [topic](const Received& received) {
    return received.topic == topic && received.object.is_object() && received.object.value("cause", "") == "stopped";
  };
}

std::optional<nlohmann::json> LastStatus(const std::vector<nlohmann::json>& objects, const std::string& reader) {
  std::optional<nlohmann::json> last;
  for (const auto& object : objects)
    if (object["event"] == "status" && object["reader"] == reader) last = object;
  return last;
}

TEST(WatchService, DeliversReadsEventsAndARetainedStatusAndSaysOfflineWhenStopped) {
  Broker broker;
  Subscriber subscriber(broker.port(), {"quarn/#"});
  ScratchDir dir;
  dir.Write("watch.json", R"({
    "readers": [{"port": "/dev/serial/by-id/usb-Quarn_Test-if00-port0"}, {"port": "/dev/ttyTEST1", "name": "dock-2"}],
    "events": {"hold": 0.3}, "statusInterval": 0.5,
    "mqtt": {"url": ")" + broker.url() + R"("}})");
  WatchProcess watch(dir, "watch", {"--config", dir.File("watch.json"), "--fake", "tags=2,rate=20,antennas=2"},
                     BrokerCredentials());

  const std::string first = "quarn/usb-Quarn_Test-if00-port0/";
  auto read = subscriber.WaitFor(OnTopic(first + "reads"), kArrives);
  ASSERT_TRUE(read) << watch.Stderr();
  EXPECT_EQ(read->qos, 1);
  const nlohmann::json& object = read->object;
  EXPECT_TRUE(std::regex_match(object["time"].get<std::string>(), kIsoTime)) << object;
  EXPECT_EQ(object["reader"], "/dev/serial/by-id/usb-Quarn_Test-if00-port0");
  EXPECT_EQ(object["event"], "read");
  EXPECT_TRUE(std::regex_match(object["epc"].get<std::string>(), std::regex("[0-9A-F]{24}"))) << object;
  EXPECT_EQ(object["pc"], "3000");
  EXPECT_TRUE(object["antenna"].is_number()) << object;
  EXPECT_TRUE(object["seq"].is_number()) << object;
  auto arrive = subscriber.WaitFor(OnTopic(first + "events"), kArrives);
  ASSERT_TRUE(arrive);
  EXPECT_EQ(arrive->qos, 1);
  EXPECT_EQ(arrive->object["event"], "arrive");
  ASSERT_TRUE(subscriber.WaitFor(OnTopic("quarn/dock-2/reads"), kArrives)) << "the second reader of the file";
  ASSERT_TRUE(subscriber.WaitFor(StatusOf(first + "status", "online"), kArrives));

  // Someone who subscribes later gets the status the broker kept.
  {
    Subscriber late(broker.port(), {first + "status"});
    auto kept = late.WaitFor(OnTopic(first + "status"), kArrives);
    ASSERT_TRUE(kept);
    EXPECT_TRUE(kept->retained);
    EXPECT_EQ(kept->object["state"], "online");
    EXPECT_TRUE(kept->object["mqtt"]["connected"].get<bool>()) << kept->object;
  }

  watch.Signal(SIGTERM);
  EXPECT_EQ(watch.WaitExit(10s), 0) << watch.Stderr();
  auto offline = subscriber.WaitFor(StatusOf(first + "status", "offline"), kArrives);
  ASSERT_TRUE(offline);
  EXPECT_EQ(offline->object["cause"], "stopped");
  Subscriber after(broker.port(), {first + "status"});
  auto kept = after.WaitFor(OnTopic(first + "status"), kArrives);
  ASSERT_TRUE(kept);
  EXPECT_EQ(kept->object["cause"], "stopped");

  // The same reads on stdout, and the last word there too.
  auto lines = watch.StdoutObjects();
  size_t reads = 0;
  for (const auto& line : lines) reads += line["event"] == "read";
  EXPECT_GT(reads, 0u);
  auto last = LastStatus(lines, "dock-2");
  ASSERT_TRUE(last);
  EXPECT_EQ((*last)["state"], "offline");
  EXPECT_EQ((*last)["cause"], "stopped");
}

TEST(WatchService, TheLastWillSaysOfflineWhenTheWatchIsKilled) {
  Broker broker;
  Subscriber subscriber(broker.port(), {"quarn/+/status"});
  ScratchDir dir;
  WatchProcess watch(dir, "watch", {"--reader", "dock", "--fake", "tags=1", "--mqtt", broker.url(), "--stdout", "none"},
                     BrokerCredentials());
  ASSERT_TRUE(subscriber.WaitFor(StatusOf("quarn/dock/status", "online"), kArrives)) << watch.Stderr();
  watch.Signal(SIGKILL);
  ASSERT_TRUE(watch.WaitExit(5s));
  auto will = subscriber.WaitFor(StatusOf("quarn/dock/status", "offline"), kArrives);
  ASSERT_TRUE(will);
  EXPECT_EQ(will->object["reader"], "dock");
  EXPECT_EQ(will->object["cause"], "the watch lost its connection to the broker");
  Subscriber after(broker.port(), {"quarn/dock/status"});
  auto kept = after.WaitFor(OnTopic("quarn/dock/status"), kArrives);
  ASSERT_TRUE(kept);
  EXPECT_TRUE(kept->retained);
  EXPECT_EQ(kept->object["state"], "offline");
}

TEST(WatchService, TheBrokerRefusesAWatchWithoutTheRightPassword) {
  Broker broker;
  Subscriber subscriber(broker.port(), {"quarn/#"});
  ScratchDir dir;
  WatchProcess without(dir, "without", {"--reader", "a", "--fake", "tags=1", "--mqtt", broker.url()});
  WatchProcess wrong(dir, "wrong", {"--reader", "b", "--fake", "tags=1", "--mqtt", broker.url()},
                     BrokerCredentials("not the password"));
  for (WatchProcess* refused : {&without, &wrong}) {
    EXPECT_EQ(refused->WaitExit(10s), 1) << refused->Stderr();
    EXPECT_NE(refused->Stderr().find("refused the user name or password"), std::string::npos) << refused->Stderr();
    EXPECT_EQ(refused->Stderr().find("not the password"), std::string::npos) << "the password shown";
  }
  EXPECT_TRUE(subscriber.All().empty());
}

TEST(WatchService, TlsWithTheSitesCaAndCredentialsFromAFile) {
  Broker broker(true);
  Subscriber subscriber(broker.port(), {"quarn/#"});
  ScratchDir dir;
  dir.Write("credentials", std::string("QUARN_MQTT_USERNAME=") + Broker::kUser + "\nQUARN_MQTT_PASSWORD=\"" +
                               Broker::kPassword + "\"\n");
  WatchProcess trusted(dir, "trusted",
                       {"--reader", "tls", "--fake", "tags=1", "--mqtt", broker.tlsUrl(), "--mqtt-ca",
                        broker.caFile(), "--mqtt-credentials", dir.File("credentials"), "--stdout", "none"});
  // Without the site's CA, the system's store does not vouch for the broker: nothing goes out.
  WatchProcess untrusted(dir, "untrusted",
                         {"--reader", "untrusted", "--fake", "tags=1", "--mqtt", broker.tlsUrl(), "--mqtt-credentials",
                          dir.File("credentials"), "--status-interval", "0.3", "--stdout", "status"});
  ASSERT_TRUE(subscriber.WaitFor(OnTopic("quarn/tls/reads"), kArrives)) << trusted.Stderr();
  std::this_thread::sleep_for(1s);
  trusted.Signal(SIGTERM);
  untrusted.Signal(SIGTERM);
  EXPECT_EQ(trusted.WaitExit(10s), 0);
  EXPECT_EQ(untrusted.WaitExit(10s), 0);
  for (const auto& received : subscriber.All()) EXPECT_EQ(received.topic.find("untrusted"), std::string::npos);
  auto status = LastStatus(untrusted.StdoutObjects(), "untrusted");
  ASSERT_TRUE(status);
  EXPECT_FALSE((*status)["mqtt"]["connected"].get<bool>());
  EXPECT_NE((*status)["mqtt"]["lastError"].get<std::string>().find("certificate"), std::string::npos) << *status;
}

std::set<long> Sequence(const std::vector<Received>& received, const std::string& topic) {
  std::set<long> seqs;
  for (const auto& message : received)
    if (message.topic == topic) seqs.insert(message.object.value("seq", 0L));
  return seqs;
}

TEST(WatchService, ReadsWaitOutABrokerRestartWithinTheQueueAndWhatOverflowsIsCounted) {
  Broker broker(false, true);
  Subscriber subscriber(broker.port(), {"quarn/+/reads", "quarn/+/status"}, true);
  ScratchDir dir;
  std::vector<std::string> common = {"--fake", "tags=3,rate=20", "--mqtt", broker.url(), "--stdout", "none"};
  std::vector<std::string> roomy = {"--reader", "roomy", "--mqtt-queue", "1000"};
  std::vector<std::string> tight = {"--reader", "tight", "--mqtt-queue", "5"};
  roomy.insert(roomy.end(), common.begin(), common.end());
  tight.insert(tight.end(), common.begin(), common.end());
  WatchProcess roomyWatch(dir, "roomy", roomy, BrokerCredentials());
  WatchProcess tightWatch(dir, "tight", tight, BrokerCredentials());
  for (const char* reader : {"roomy", "tight"})
    ASSERT_TRUE(subscriber.WaitFor(OnTopic(std::string("quarn/") + reader + "/reads"), kArrives)) << reader;

  broker.Stop();
  std::this_thread::sleep_for(2s);  // some 40 reads each, while nobody takes them
  broker.Start();
  // Reads read after the restart arrive: the queue went out before them.
  long lastBefore = 0;
  for (long seq : Sequence(subscriber.All(), "quarn/roomy/reads")) lastBefore = std::max(lastBefore, seq);
  ASSERT_TRUE(subscriber.WaitFor(
      [&](const Received& received) {
        return received.topic == "quarn/roomy/reads" && received.object.value("seq", 0L) > lastBefore + 60;
      },
      10s));
  // The broker published the watch's will as it went down; back, the watch says online again at once.
  {
    Subscriber late(broker.port(), {"quarn/roomy/status"});
    auto kept = late.WaitFor(OnTopic("quarn/roomy/status"), kArrives);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->object["state"], "online") << kept->object;
    EXPECT_TRUE(kept->object["mqtt"]["connected"].get<bool>()) << kept->object;
  }
  roomyWatch.Signal(SIGTERM);
  tightWatch.Signal(SIGTERM);
  EXPECT_EQ(roomyWatch.WaitExit(10s), 0);
  EXPECT_EQ(tightWatch.WaitExit(10s), 0);
  auto tightStopped = subscriber.WaitFor(StoppedStatus("quarn/tight/status"), kArrives);
  ASSERT_TRUE(subscriber.WaitFor(StoppedStatus("quarn/roomy/status"), kArrives));
  ASSERT_TRUE(tightStopped);

  // Within the queue, nothing was lost: every read from the first on came, however late.
  std::set<long> roomySeqs = Sequence(subscriber.All(), "quarn/roomy/reads");
  ASSERT_FALSE(roomySeqs.empty());
  EXPECT_EQ(*roomySeqs.begin(), 1);
  EXPECT_EQ(static_cast<long>(roomySeqs.size()), *roomySeqs.rbegin()) << "reads of roomy missing";
  // Past it, every read that did not come is one the status counts.
  std::set<long> tightSeqs = Sequence(subscriber.All(), "quarn/tight/reads");
  ASSERT_FALSE(tightSeqs.empty());
  long missing = *tightSeqs.rbegin() - static_cast<long>(tightSeqs.size());
  ASSERT_TRUE(tightStopped->object["mqtt"]["overflow"].is_number()) << tightStopped->object;
  long overflow = tightStopped->object["mqtt"]["overflow"].get<long>();
  EXPECT_GT(overflow, 20);
  EXPECT_EQ(missing, overflow);
}

TEST(WatchService, ASecondSignalEndsAStopThatTakesTooLong) {
  ScratchDir dir;
  WatchProcess watch(dir, "watch", {"--reader", "slow", "--fake", "tags=1,stop-ms=20000"});
  std::this_thread::sleep_for(500ms);
  watch.Signal(SIGTERM);
  EXPECT_FALSE(watch.WaitExit(500ms)) << "the reader's stop should still be running";
  watch.Signal(SIGTERM);
  EXPECT_EQ(watch.WaitExit(3s), 128 + SIGTERM);
  EXPECT_NE(watch.Stderr().find("second signal"), std::string::npos) << watch.Stderr();
}

}  // namespace
}  // namespace quarn::watch::testing
