// What a site writes into /etc/quarn/watch.json and on the command line, and what a mistake there gets:
// a refusal that names the place and the fix, never a watch that quietly runs with something else.

#include "config.h"

#include <gtest/gtest.h>

#include "report.h"

namespace quarn::watch {
namespace {

using namespace std::chrono_literals;

// The usage failure's message, or "" when the text was taken.
template <typename Call>
std::string Refusal(Call call) {
  try {
    call();
  } catch (const cli::Failure& failure) {
    EXPECT_EQ(failure.exitStatus(), cli::kExitUsage);
    return failure.what();
  }
  return "";
}

TEST(WatchConfig, AFullFileGivesEachReaderItsSettings) {
  WatchConfig config = ParseConfigText(R"({
    "readers": [
      {"port": "/dev/serial/by-id/usb-A-if00-port0", "name": "dock-3", "baud": 57600, "crc": true,
       "multiAntenna": true, "power": [26, 27], "inventoryParam": 1,
       "filters": [{"index": 2, "target": "s1", "action": 4, "bank": "tid", "pointer": 16, "mask": "E280",
                    "maskBits": 12, "truncate": 0}]},
      {"port": "/dev/ttyUSB1", "power": 20}
    ],
    "reads": false, "events": {"hold": 2.5, "maxTags": 500}, "statusInterval": 60, "healthInterval": 45,
    "nameBy": "uid", "stdout": "status",
    "mqtt": {"url": "mqtts://broker.site:8883", "ca": "/etc/quarn/ca.pem", "credentials": "/etc/quarn/mqtt",
             "prefix": "site/a", "queue": 5000}
  })", "watch.json");
  ASSERT_EQ(config.readers.size(), 2u);
  const ReaderSettings& dock = config.readers[0];
  EXPECT_EQ(dock.name, "dock-3");
  EXPECT_EQ(dock.baud, 57600);
  EXPECT_TRUE(dock.crc);
  EXPECT_TRUE(dock.multiAntenna);
  EXPECT_EQ(dock.power, (std::vector<int>{26, 27}));
  EXPECT_EQ(dock.inventoryParam, 1);
  ASSERT_EQ(dock.filters.size(), 1u);
  EXPECT_EQ(dock.filters[0].index, 2);
  EXPECT_EQ(dock.filters[0].target, 1);
  EXPECT_EQ(dock.filters[0].action, 4);
  EXPECT_EQ(dock.filters[0].bank, 2);
  EXPECT_EQ(dock.filters[0].pointer, 16);
  EXPECT_EQ(dock.filters[0].mask, (Bytes{0xE2, 0x80}));
  EXPECT_EQ(dock.filters[0].maskBits, 12);
  const ReaderSettings& second = config.readers[1];
  EXPECT_EQ(second.baud, 115200);
  EXPECT_FALSE(second.crc);
  EXPECT_EQ(second.power, (std::vector<int>{20}));
  EXPECT_FALSE(config.supervision.deliverReads);
  EXPECT_EQ(config.supervision.eventHold, 2500ms);
  EXPECT_EQ(config.supervision.maxTags, 500u);
  EXPECT_EQ(config.supervision.statusEvery, 60000ms);
  EXPECT_EQ(config.supervision.healthAfter, 45000ms);
  EXPECT_TRUE(config.supervision.nameByUid);
  EXPECT_EQ(config.stdoutMode, StdoutMode::kStatusOnly);
  EXPECT_EQ(config.mqttUrl, "mqtts://broker.site:8883");
  EXPECT_EQ(config.mqttPrefix, "site/a");
  EXPECT_EQ(config.mqttQueue, 5000u);
}

TEST(WatchConfig, MistakesAreRefusedNamingThePlace) {
  struct Case {
    const char* text;
    const char* named;  // in the message
  };
  const Case cases[] = {
      {R"({"readers": [{"port": "/dev/ttyUSB0", "baud": 38400}]})", "readers[0].baud must be 9600, 19200"},
      {R"({"readers": [{"name": "x"}]})", "readers[0] needs a \"port\""},
      {R"({"readers": [{"port": "/dev/ttyUSB0", "crc": "yes"}]})", "readers[0].crc must be true or false"},
      {R"({"readers": [{"port": "/dev/ttyUSB0", "powr": 20}]})", "\"powr\", which the watch does not know"},
      {R"({"readers": [{"port": "a", "power": [1, 2, 3]}]})", "readers[0].power must be a setting byte"},
      {R"({"readers": [{"port": "a", "power": 256}]})", "readers[0].power must be a whole number from 0 to 255"},
      {R"({"readers": [{"port": "a", "filters": [{"mask": "E2", "maskBits": 12}]}]})",
       "readers[0].filters[0].mask has fewer bytes than its 12 bits need"},
      {R"({"readers": [{"port": "a", "filters": [{"mask": "XY"}]}]})", "readers[0].filters[0].mask"},
      {R"({"readers": [{"port": "a", "filters": [{"mask": "E2", "bank": "usr"}]}]})", "readers[0].filters[0].bank"},
      {R"({"readers": [{"port": "a", "filters": [{"mask": "E2", "target": "s9"}]}]})", "must be s0, s1, s2, s3, sl"},
      {R"({"events": {"maxTags": 5}})", "events needs a \"hold\""},
      {R"({"events": {"hold": 0}})", "events.hold must be a number of seconds from 0.001"},
      {R"({"statusInterval": "10"})", "statusInterval must be a number of seconds"},
      {R"({"stdout": "some"})", "stdout must be all, status or none"},
      {R"({"nameBy": "serial"})", "nameBy must be port or uid"},
      {R"({"mqtt": {"url": "mqtt://b", "password": "x"}})", "\"password\", which the watch does not know"},
      {R"({"readers": [}])", "is not valid JSON"},
      {R"([1, 2])", "must be a JSON object"},
  };
  for (const auto& c : cases) {
    std::string message = Refusal([&] { ParseConfigText(c.text, "watch.json"); });
    EXPECT_NE(message.find(c.named), std::string::npos) << c.text << "\n  gave: " << message;
    EXPECT_EQ(message.rfind("watch.json", 0), 0u) << message;
  }
}

TEST(WatchConfig, TheShippedExampleIsOneTheWatchTakes) {
  WatchConfig config = LoadConfig(QUARN_SOURCE_DIR "/packaging/systemd/watch.example.json");
  ASSERT_EQ(config.readers.size(), 1u);
  EXPECT_EQ(config.readers[0].filters.size(), 1u);
  EXPECT_FALSE(config.mqttUrl.empty());
  EXPECT_EQ(Refusal([&] { CheckReaders(config); }), "");
}

TEST(WatchConfig, ReadersMustExistAndNotShareATopic) {
  WatchConfig none;
  EXPECT_NE(Refusal([&] { CheckReaders(none); }).find("no reader to watch"), std::string::npos);
  WatchConfig twins = ParseConfigText(R"({"readers": [{"port": "/dev/a/ttyUSB0"}, {"port": "/dev/b/ttyUSB0"}]})", "w");
  EXPECT_NE(Refusal([&] { CheckReaders(twins); }).find("share the name ttyUSB0"), std::string::npos);
  WatchConfig named = ParseConfigText(
      R"({"readers": [{"port": "/dev/a/ttyUSB0", "name": "a"}, {"port": "/dev/b/ttyUSB0", "name": "b"}]})", "w");
  EXPECT_EQ(Refusal([&] { CheckReaders(named); }), "");
}

}  // namespace
}  // namespace quarn::watch
