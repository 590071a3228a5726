// The shapes consumers rely on: times, hex, topic names, the back-off ladder.

#include <gtest/gtest.h>

#include "backoff.h"
#include "messages.h"
#include "status.h"

namespace quarn::watch {
namespace {

using namespace std::chrono_literals;

TEST(WatchMessages, TimesAreUtcIsoWithMilliseconds) {
  struct Case {
    long long millis;
    const char* text;
  };
  const Case cases[] = {
      {1796724930123, "2026-12-08T10:15:30.123Z"},
      {951782400000, "2000-02-29T00:00:00.000Z"},
      {0, "1970-01-01T00:00:00.000Z"},
      {-1, "1969-12-31T23:59:59.999Z"},
      {1796724930999, "2026-12-08T10:15:30.999Z"},
  };
  for (const auto& c : cases) EXPECT_EQ(IsoTime(WallTime(Millis(c.millis))), c.text) << c.millis;
}

TEST(WatchMessages, ReaderNamesBecomeOneTopicLevel) {
  struct Case {
    const char* name;
    const char* topic;
  };
  const Case cases[] = {
      {"/dev/serial/by-id/usb-FTDI_FT232R_A9XQ1-if00-port0", "usb-FTDI_FT232R_A9XQ1-if00-port0"},
      {"/dev/ttyUSB0", "ttyUSB0"},
      {"ttyUSB0", "ttyUSB0"},
      {"dock 3 #east+", "dock_3__east_"},
      {"/dev/ttyACM1/", "ttyACM1"},
      {"/", "reader"},
      {"", "reader"},
      {"E2801160600002080A1B2C3D", "E2801160600002080A1B2C3D"},
  };
  for (const auto& c : cases) EXPECT_EQ(TopicSafeName(c.name), c.topic) << c.name;
}

TEST(WatchMessages, EpcAndPcAreUppercaseHexAndBadBytesCannotBreakALine) {
  EXPECT_EQ(HexUpper({0x00, 0xAB, 0x0F, 0xF0}), "00AB0FF0");
  EXPECT_EQ(PcHex(0x3000), "3000");
  EXPECT_EQ(PcHex(0x0A0B), "0A0B");
  // A port name is bytes, not necessarily UTF-8; the line must stay one valid line.
  std::string line = Line(ReadJson(WallTime(Millis(0)), std::string("port\xff\n"), 1, TagRead{0x3000, {0xE2}, {}}));
  EXPECT_EQ(line.find('\n'), std::string::npos);
  EXPECT_NE(line.find("port\xef\xbf\xbd\\n"), std::string::npos) << line;
}

TEST(WatchMessages, TheWillIsAStatusThatSaysOffline) {
  Json will = WillJson("dock");
  EXPECT_EQ(will["event"], "status");
  EXPECT_EQ(will["state"], "offline");
  EXPECT_EQ(will["reader"], "dock");
}

TEST(WatchBackoff, DoublesFrom100msToItsCeilingAndStartsOverAfterReset) {
  Backoff backoff(kReaderBackoffFirst, kReaderBackoffCeiling);
  std::vector<long long> waits;
  for (int i = 0; i < 8; ++i) waits.push_back(backoff.Next().count());
  EXPECT_EQ(waits, (std::vector<long long>{100, 200, 400, 800, 1600, 3200, 5000, 5000}));
  backoff.Reset();
  EXPECT_EQ(backoff.Next(), 100ms);
  Backoff odd(300ms, 1000ms);
  EXPECT_EQ(odd.Next(), 300ms);
  EXPECT_EQ(odd.Next(), 600ms);
  EXPECT_EQ(odd.Next(), 1000ms);
}

}  // namespace
}  // namespace quarn::watch
