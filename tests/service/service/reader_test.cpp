// quarn watch with its reader side against the virtual reader program on a pseudo-terminal: the port
// that vanishes and comes back, the reader that hangs, tags that come and go, frames damaged on the
// line, the orderly stop, and the reads through a real broker.

#include <gtest/gtest.h>
#include <signal.h>

#include <map>
#include <set>
#include <thread>

#include "processes.h"
#include "subscriber.h"

namespace quarn::watch::testing {
namespace {

using namespace std::chrono_literals;
using Json = nlohmann::json;

constexpr Millis kArrives{5000};  // how long a message may take to come, on a busy machine
// A hung reader costs its health check the stop's five silent receives of about 3 s each.
constexpr Millis kHungReaderRecovers{40000};

const std::string kTagA = "E20000000000000000000AAA";
const std::string kTagB = "E20000000000000000000BBB";

auto IsRead() {
  return [](const Json& object) { return object["event"] == "read"; };
}

auto IsStatus(const std::string& state) {
  return [state](const Json& object) { return object["event"] == "status" && object["state"] == state; };
}

std::vector<Json> Events(const std::vector<Json>& objects, const std::string& event) {
  std::vector<Json> found;
  for (const auto& object : objects)
    if (object["event"] == event) found.push_back(object);
  return found;
}

Json LastStatus(const std::vector<Json>& objects) {
  std::vector<Json> statuses = Events(objects, "status");
  return statuses.empty() ? Json() : statuses.back();
}

// Stops the watch the way a service manager does and checks that it ends cleanly.
std::vector<Json> StopCleanly(WatchProcess& watch) {
  watch.Signal(SIGTERM);
  EXPECT_EQ(watch.WaitExit(25s), 0) << watch.Stderr();
  std::vector<Json> objects = watch.StdoutObjects();
  Json last = LastStatus(objects);
  EXPECT_EQ(last["state"], "offline") << last;
  EXPECT_EQ(last["cause"], "stopped") << last;
  return objects;
}

TEST(WatchReader, UnpluggedReaderIsOpenedAgainThroughItsLinkWithItsSettings) {
  ScratchDir dir;
  SimProcess sim(dir, "reader", {"--epc", kTagA, "--epc", kTagB, "--replug-after", "0.3"});
  dir.Write("watch.json", R"({"readers": [{"port": ")" + sim.link() + R"(", "power": [20, 22],
    "multiAntenna": true,
    "filters": [{"index": 0, "target": "sl", "action": 0, "bank": "epc", "pointer": 32, "mask": ")" +
                              kTagA + R"("}]}],
    "statusInterval": 0.5})");
  WatchProcess watch(dir, "watch", {"--config", dir.File("watch.json")});
  ASSERT_TRUE(watch.WaitForObject(IsRead(), kArrives)) << watch.Stderr();

  sim.Signal(SIGUSR1);
  auto offline = watch.WaitForObject(IsStatus("offline"), kArrives);
  ASSERT_TRUE(offline) << watch.Stderr();
  EXPECT_EQ((*offline)["cause"], "port gone");
  auto back = watch.WaitForObject([](const Json& o) { return o["event"] == "status" && o["reconnects"] == 1; }, 10s);
  ASSERT_TRUE(back) << watch.Stderr();
  EXPECT_EQ((*back)["state"], "online");
  const uint64_t readsBefore = (*back)["reads"].get<uint64_t>();
  ASSERT_TRUE(watch.WaitForObject([&](const Json& o) { return o["event"] == "read" && o["seq"] > readsBefore; },
                                  kArrives))
      << "no read after the reconnect";

  std::vector<Json> objects = StopCleanly(watch);
  EXPECT_EQ(sim.Devices().size(), 2u) << "the reader was plugged in again on a new terminal";
  EXPECT_EQ(LastStatus(objects)["reconnects"], 1);
  // The filter the settings hold lets tag A alone take part, over the antennas.
  for (const auto& read : Events(objects, "read")) {
    EXPECT_EQ(read["epc"], kTagA) << read;
    EXPECT_TRUE(read["antenna"].is_number()) << read;
  }
  // Every connect applied every setting.
  for (const char* command : {"SetPower", "AddFilter", "SelectFilterByIndex", "SetRegister"})
    EXPECT_EQ(sim.TraceLines({"-> ", command}).size(), 2u) << command;
}

TEST(WatchReader, AHungReaderIsFoundByTheHealthCheckAndReadsResume) {
  ScratchDir dir;
  SimProcess sim(dir, "reader", {"--tags", "2", "--hang-after", "1"});
  WatchProcess watch(dir, "watch", {"--reader", sim.link(), "--health-interval", "0.5", "--status-interval", "1"});
  auto checked = watch.WaitForObject(
      [](const Json& o) { return o["event"] == "status" && o["healthChecks"].get<int>() >= 1; }, kHungReaderRecovers);
  ASSERT_TRUE(checked) << watch.Stderr();
  const uint64_t readsThen = (*checked)["reads"].get<uint64_t>();
  ASSERT_TRUE(watch.WaitForObject([&](const Json& o) { return o["event"] == "read" && o["seq"] > readsThen + 5; },
                                  kArrives))
      << "reads did not resume after the health check";

  Json last = LastStatus(StopCleanly(watch));
  // The stop woke the reader and the version query passed: no reconnect was needed.
  EXPECT_EQ(last["reconnects"], 0) << last;
  EXPECT_EQ(last["restarts"], 0) << last;
  EXPECT_FALSE(sim.TraceLines({"<- ", "GetVersion"}).empty());
}

TEST(WatchReader, TagsThatComeAndGoArriveAndDepart) {
  ScratchDir dir;
  dir.Write("field.txt", "tag " + kTagA + "\ntag " + kTagB + " enters 1.2 leaves 2.4\n");
  SimProcess sim(dir, "reader", {"--scenario", dir.File("field.txt")});
  WatchProcess watch(dir, "watch", {"--reader", sim.link(), "--events", "0.4"});
  auto departed = [&](const Json& o) { return o["event"] == "depart" && o["epc"] == kTagB; };
  ASSERT_TRUE(watch.WaitForObject(departed, 10s)) << watch.Stderr();

  std::vector<Json> objects = StopCleanly(watch);
  std::map<std::string, std::vector<Json>> events;
  size_t readsOfB = 0;
  std::string firstReadOfB;
  for (const auto& object : objects) {
    if (object["event"] == "arrive" || object["event"] == "depart") events[object["epc"]].push_back(object);
    if (object["event"] == "read" && object["epc"] == kTagB && readsOfB++ == 0) firstReadOfB = object["time"];
  }
  ASSERT_EQ(events[kTagA].size(), 1u) << "tag A stays in the field";
  EXPECT_EQ(events[kTagA][0]["event"], "arrive");
  ASSERT_EQ(events[kTagB].size(), 2u);
  const Json& arrive = events[kTagB][0];
  const Json& depart = events[kTagB][1];
  EXPECT_EQ(arrive["event"], "arrive");
  EXPECT_EQ(arrive["time"], firstReadOfB);
  EXPECT_GT(arrive["seq"].get<int>(), events[kTagA][0]["seq"].get<int>()) << "B entered after A was there";
  EXPECT_EQ(depart["reads"], readsOfB);
  EXPECT_FALSE(depart.value("evicted", false)) << depart;
  EXPECT_LT(depart["lastSeen"].get<std::string>(), depart["time"].get<std::string>());
}

TEST(WatchReader, DamagedFramesAreCountedAndNeverDelivered) {
  ScratchDir dir;
  SimProcess sim(dir, "reader", {"--epc", kTagA, "--epc", kTagB, "--corrupt", "0.02", "--fault-codes", "10"});
  WatchProcess watch(dir, "watch", {"--crc", "--reader", sim.link(), "--status-interval", "0.3"});
  // Every frame passed over is counted by what was wrong with it.
  auto damaged = [](const Json& status) {
    size_t count = 0;
    for (const auto& [name, n] : status["failures"].items()) count += n.get<size_t>();
    return count;
  };
  auto someSkipped = [&](const Json& o) { return o["event"] == "status" && damaged(o) >= 5; };
  ASSERT_TRUE(watch.WaitForObject(someSkipped, 20s)) << watch.Stderr();

  std::vector<Json> objects = StopCleanly(watch);
  std::vector<Json> reads = Events(objects, "read");
  ASSERT_FALSE(reads.empty());
  for (const auto& read : reads) {
    EXPECT_TRUE(read["epc"] == kTagA || read["epc"] == kTagB) << read;
    EXPECT_EQ(read["pc"], "3000") << read;
  }
  Json last = LastStatus(objects);
  const size_t skipped = damaged(last);
  const std::set<std::string> frameFaults = {"crc mismatch", "bad escape", "bare head or tail", "wrong tail",
                                             "too long", "cut off", "other reply", "too short"};
  for (const auto& [name, n] : last["failures"].items()) EXPECT_TRUE(frameFaults.count(name)) << name;
  // Only the frames the reader damaged were passed over; everything the watch took came from the reader.
  EXPECT_LE(skipped, sim.TraceLines({"fault:", "corrupted"}).size());
  EXPECT_LE(reads.size() + skipped, sim.TraceLines({"<- 0x90 StartInventory"}).size());
  EXPECT_EQ(last["reconnects"], 0) << last;
}

TEST(WatchReader, ReadsAndEventsReachTheBrokerAndAStopLeavesNothingBehind) {
  Broker broker;
  Subscriber subscriber(broker.port(), {"quarn/#"});
  ScratchDir dir;
  SimProcess sim(dir, "dock", {"--tags", "2"});
  WatchProcess watch(dir, "watch", {"--reader", sim.link(), "--events", "1", "--mqtt", broker.url()},
                     BrokerCredentials());
  const std::string topics = "quarn/dock.link/";
  auto onTopic = [](const std::string& topic) { return [topic](const Received& r) { return r.topic == topic; }; };
  ASSERT_TRUE(subscriber.WaitFor(onTopic(topics + "reads"), kArrives)) << watch.Stderr();
  auto arrive = subscriber.WaitFor(onTopic(topics + "events"), kArrives);
  ASSERT_TRUE(arrive);
  EXPECT_EQ(arrive->object["event"], "arrive");
  EXPECT_EQ(arrive->object["reader"], sim.link());
  std::this_thread::sleep_for(300ms);

  std::vector<Json> objects = StopCleanly(watch);
  auto stopped = subscriber.WaitFor(
      [&](const Received& r) { return r.topic == topics + "status" && r.object.value("cause", "") == "stopped"; },
      kArrives);
  ASSERT_TRUE(stopped);
  EXPECT_EQ(stopped->object["state"], "offline");
  // Every read written to stdout reached the broker before the watch ended.
  std::set<long> atBroker;
  for (const auto& received : subscriber.All())
    if (received.topic == topics + "reads") atBroker.insert(received.object["seq"].get<long>());
  std::vector<Json> reads = Events(objects, "read");
  ASSERT_FALSE(reads.empty());
  for (const auto& read : reads) EXPECT_TRUE(atBroker.count(read["seq"].get<long>())) << read;
  // The reader was told to stop, and said so.
  auto stops = sim.TraceLines({"StopOperation"});
  ASSERT_EQ(stops.size(), 2u);
  EXPECT_NE(stops[0].find("->"), std::string::npos);
  EXPECT_NE(stops[1].find("<-"), std::string::npos);
}

}  // namespace
}  // namespace quarn::watch::testing
