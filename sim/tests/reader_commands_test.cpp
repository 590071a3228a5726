// Reader management and registers: echoed codes and status rules in both modes, settings that stick,
// the register space with its length forms, reset and save.

#include <gtest/gtest.h>

#include "sim_test_support.h"

namespace quarn::sim {
namespace {

using testing::Bench;
using testing::Reply;

TEST(SimReaderCommands, GetPowerRepliesWithExactBytesInBothModes) {
  Bench bench;
  EXPECT_EQ(bench.Wire({0xAA, 0x02, 0x01, 0x55}), (Bytes{0xAA, 0x05, 0x01, 0x00, 0x1A, 0x1A, 0x55}));
  const Bytes crcReply = bench.Wire({0xAA, 0x04, 0x81, 0xAF, 0x9D, 0x55});
  const Bytes expected = StuffFrame(BuildFrame({0x81, 0x00, 0x1A, 0x1A}, true));
  EXPECT_EQ(crcReply, expected);
  EXPECT_EQ(crcReply[1], 0x07);
}

TEST(SimReaderCommands, EveryManagementCommandEchoesItsCodeAndMeetsItsStatusRule) {
  struct Case {
    uint8_t code;
    Bytes params;
    size_t dataBytes;
  };
  const Case cases[] = {
      {0x00, {}, 0},  {0x01, {}, 2},  {0x02, {20, 20}, 0}, {0x03, {}, 1},  {0x04, {1}, 0},
      {0x05, {}, 7},  {0x07, {}, 9},  {0x0A, {}, 12},      {0x0B, {}, 0},  {0x1B, {}, 0},
      {0x12, {}, 0},  {0x32, {}, 0},  {0x33, {}, 0},       {0x50, {}, 0},  {0x06, {1, 0x32, 0xF5, 0x1E, 0x0A, 0x0A, 0}, 0},
  };
  for (bool crc : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(::testing::Message() << "code " << int{c.code} << " crc " << crc);
      Bench bench;
      const Reply reply = bench.Command(c.code, c.params, crc);
      EXPECT_EQ(reply.code, crc ? (c.code | 0x80) : c.code);
      EXPECT_EQ(reply.status, 0x00);
      EXPECT_EQ(reply.data.size(), c.dataBytes);
      EXPECT_EQ(reply.crcPresentAndRight, crc);
    }
  }
}

TEST(SimReaderCommands, SettingsAreKeptAndRefusedOutsideTheirRange) {
  Bench bench;
  EXPECT_EQ(bench.Command(0x02, {30, 12}).status, 0x00);
  EXPECT_EQ(bench.Command(0x01).data, (Bytes{30, 12}));
  const Reply tooStrong = bench.Command(0x02, {34, 12});
  EXPECT_EQ(tooStrong.status, 0x81);
  EXPECT_EQ(tooStrong.data, (Bytes{0x16}));
  EXPECT_EQ(bench.Command(0x01).data, (Bytes{30, 12}));

  const Bytes europe = {0x01, 0x04, 0x61, 0xA8, 0x0C, 0x0A, 0x00};  // 865.0 MHz, 4 x 600 kHz
  EXPECT_EQ(bench.Command(0x06, europe).status, 0x00);
  EXPECT_EQ(bench.Command(0x05).data, europe);
  EXPECT_EQ(bench.Command(0x06, {0x01, 51, 0x61, 0xA8, 0x0C, 0x0A, 0x00}).status, 0x81);
  EXPECT_EQ(bench.Command(0x06, {0x02, 0x04, 0x61, 0xA8, 0x0C, 0x0A, 0x00}).status, 0x81);

  EXPECT_EQ(bench.Command(0x04, {4}).status, 0x00);
  EXPECT_EQ(bench.reader.registers().at(reg::kChosenAntenna), 4);
  EXPECT_EQ(bench.Command(0x04, {5}).status, 0x01);
  EXPECT_EQ(bench.Command(0x04, {0}).status, 0x01);
  EXPECT_EQ(bench.Command(0x03).data, (Bytes{0x0F}));
}

TEST(SimReaderCommands, PaFaultAndDisconnectedAntennasComeFromTheScenario) {
  Scenario scenario;
  scenario.paFault = true;
  scenario.connectedAntennas = 0x05;
  Bench bench(scenario);
  EXPECT_EQ(bench.Command(0x00).status, 0x01);
  EXPECT_EQ(bench.Command(0x03).data, (Bytes{0x05}));
  EXPECT_EQ(bench.Command(0x04, {2}).status, 0x01);
}

TEST(SimReaderCommands, MalformedAndUnknownCommandsGetStatus80) {
  Bench bench;
  EXPECT_EQ(bench.Command(0x01, {0x00}).status, 0x80);
  EXPECT_EQ(bench.Command(0x06, {1, 2, 3}).status, 0x80);
  EXPECT_EQ(bench.Command(0x7E).status, 0x80);
}

TEST(SimReaderCommands, SleepEndsWithTheNextCommandWhichIsAnswered) {
  Bench bench;
  EXPECT_EQ(bench.Command(0x50).status, 0x00);
  EXPECT_TRUE(bench.reader.sleeping());
  EXPECT_EQ(bench.Command(0x07).data.size(), 9u);
  EXPECT_FALSE(bench.reader.sleeping());
}

TEST(SimReaderCommands, TransparentTransferLoopsStrayBytesBack) {
  Bench bench;
  EXPECT_TRUE(bench.Wire({0x01, 0x02}).empty());
  bench.Command(0x0B);
  EXPECT_EQ(bench.Wire({0x01, 0x02}), (Bytes{0x01, 0x02}));
  bench.Command(0x1B);
  EXPECT_TRUE(bench.Wire({0x01, 0x02}).empty());
}

TEST(SimRegisters, ReadsTakeTheLengthFormTheHostExpects) {
  struct Case {
    uint16_t address;
    uint16_t count;
    bool crc;
    bool twoByte;
    size_t dataBytes;
    uint8_t status;
  };
  const Case cases[] = {
      {0x124, 1, false, false, 1, 0x00},   {0x000, 124, false, false, 124, 0x00},
      {0x000, 124, true, true, 124, 0x00}, {0x000, 125, false, true, 125, 0x00},
      {0x100, 0, false, true, 256, 0x00},  {0x200, 0, true, true, 0, 0x00},
      {0x000, 0, false, true, 512, 0x00},  {0x1FF, 2, false, false, 0, 0x01},
      {0x180, 200, true, true, 0, 0x01},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address * 1000 + c.count);
    Bench bench;
    const Reply reply = bench.Command(
        0x30, {static_cast<uint8_t>(c.address >> 8), static_cast<uint8_t>(c.address), static_cast<uint8_t>(c.count >> 8),
               static_cast<uint8_t>(c.count)},
        c.crc);
    EXPECT_EQ(reply.twoByteForm, c.twoByte);
    EXPECT_EQ(reply.status, c.status);
    EXPECT_EQ(reply.data.size(), c.dataBytes);
  }
}

TEST(SimRegisters, WriteReadResetSaveAndRestart) {
  Bench bench;
  // 0x124 is the multi-antenna setting; written the way the host's wrapper does.
  EXPECT_EQ(bench.Wire({0xAA, 0x07, 0x31, 0x01, 0x24, 0x00, 0x01, 0x03, 0x55}),
            (Bytes{0xAA, 0x03, 0x31, 0x00, 0x55}));
  EXPECT_EQ(bench.Command(0x30, {0x01, 0x24, 0x00, 0x01}).data, (Bytes{0x03}));

  Bytes block = {0x00, 0x10, 0x00, 130};
  for (int i = 0; i < 130; ++i) block.push_back(static_cast<uint8_t>(i));
  EXPECT_EQ(bench.Command(0x31, block, true).status, 0x00);  // a two-byte-form command
  const Reply back = bench.Command(0x30, {0x00, 0x10, 0x00, 130});
  EXPECT_EQ(back.data, Bytes(block.begin() + 4, block.end()));

  EXPECT_EQ(bench.Command(0x31, {0x01, 0xFF, 0x00, 0x02, 1, 2}).status, 0x01);
  EXPECT_EQ(bench.Command(0x31, {0x00, 0x00, 0x00, 0x02, 1}).status, 0x02);

  EXPECT_EQ(bench.Command(0x33).status, 0x00);
  bench.Command(0x31, {0x01, 0x24, 0x00, 0x01, 0x0F});
  EXPECT_EQ(bench.Command(0x32).status, 0x00);
  EXPECT_EQ(bench.reader.registers().at(0x124), 0x00);  // factory value
  EXPECT_EQ(bench.reader.registers().at(0x10), 0x00);
  bench.reader.Restart();
  EXPECT_EQ(bench.reader.registers().at(0x124), 0x03);  // the saved value
  EXPECT_EQ(bench.reader.registers().at(0x10 + 5), 5);
}

TEST(SimRegisters, SaveReachesTheSaveSink) {
  Bench bench;
  std::optional<RegisterBytes> persisted;
  bench.reader.SetSaveSink([&](const RegisterBytes& saved) { persisted = saved; });
  bench.Command(0x31, {0x00, 0x00, 0x00, 0x01, 0x42});
  bench.Command(0x33);
  ASSERT_TRUE(persisted.has_value());
  EXPECT_EQ((*persisted)[0], 0x42);
}

}  // namespace
}  // namespace quarn::sim
