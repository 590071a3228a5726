// Fault injection and pacing: what the host receives when the reader is told to misbehave.

#include <gtest/gtest.h>

#include "sim_test_support.h"

namespace quarn::sim {
namespace {

using testing::Bench;

const Bytes kGetPower = {0xAA, 0x02, 0x01, 0x55};
const Bytes kGetPowerReply = {0xAA, 0x05, 0x01, 0x00, 0x1A, 0x1A, 0x55};

TEST(SimFaults, SilenceWithholdsOnlyTheChosenCodesAndOnlyUpToTheLimit) {
  FaultSettings faults;
  faults.silent = true;
  faults.codes = {0x01};
  faults.limit = 2;
  Bench bench({}, faults);
  EXPECT_TRUE(bench.Wire(kGetPower).empty());
  EXPECT_EQ(bench.Command(0x07).data.size(), 9u);  // another code is answered
  EXPECT_TRUE(bench.Wire(kGetPower).empty());
  EXPECT_EQ(bench.Wire(kGetPower), kGetPowerReply);  // the limit is used up
}

TEST(SimFaults, DelayHoldsTheReplyBackAndANewCommandCancelsIt) {
  FaultSettings faults;
  faults.delayMs = 50;
  Bench bench({}, faults);
  EXPECT_TRUE(bench.Wire(kGetPower).empty());
  EXPECT_EQ(bench.reader.NextEventUs(), bench.nowUs + 50000);
  bench.nowUs += 50000;
  EXPECT_EQ(bench.reader.TakeOutput(bench.nowUs), kGetPowerReply);
  // The host gave up and sent the next command: the late reply never comes.
  bench.Wire(kGetPower);
  bench.nowUs += 10000;
  bench.Wire({0xAA});
  EXPECT_TRUE(bench.Wait(100).empty());
}

TEST(SimFaults, NoiseComesBeforeTheFrameAndNeverContainsTheHead) {
  FaultSettings faults;
  faults.noiseBytes = 200;
  Bench bench({}, faults);
  const Bytes out = bench.Wire(kGetPower);
  ASSERT_EQ(out.size(), 200u + kGetPowerReply.size());
  EXPECT_EQ(std::count(out.begin(), out.begin() + 200, 0xAA), 0);
  EXPECT_EQ(Bytes(out.begin() + 200, out.end()), kGetPowerReply);
}

TEST(SimFaults, CorruptionAndDropsDamageEveryFrame) {
  FaultSettings corrupt;
  corrupt.corruptRate = 1.0;
  Bench corrupted({}, corrupt);
  const Bytes damaged = corrupted.Wire(kGetPower);
  ASSERT_EQ(damaged.size(), kGetPowerReply.size());
  for (size_t i = 0; i < damaged.size(); ++i) EXPECT_NE(damaged[i], kGetPowerReply[i]) << i;

  FaultSettings drop;
  drop.dropRate = 1.0;
  Bench dropped({}, drop);
  EXPECT_TRUE(dropped.Wire(kGetPower).empty());
}

TEST(SimFaults, BaudRatePaceSpendsTheWireTimeOfEachByte) {
  FaultSettings faults;
  faults.baud = 9600;  // 10 bits a byte: 1042 microseconds
  Bench bench({}, faults);
  EXPECT_EQ(bench.Wire(kGetPower), Bytes{0xAA});
  bench.nowUs += 1041;
  EXPECT_TRUE(bench.reader.TakeOutput(bench.nowUs).empty());
  bench.nowUs += 1;
  EXPECT_EQ(bench.reader.TakeOutput(bench.nowUs), Bytes{0x05});
  bench.nowUs += 5 * 1042;
  EXPECT_EQ(bench.reader.TakeOutput(bench.nowUs), (Bytes{0x01, 0x00, 0x1A, 0x1A, 0x55}));
}

TEST(SimFaults, UndecodableFramesAreCountedAndGetNoReply) {
  Bench bench;
  EXPECT_TRUE(bench.Wire({0xAA, 0x04, 0x81, 0x00, 0x00, 0x55}).empty());
  EXPECT_EQ(bench.reader.rejectedFrames(), 1u);
  EXPECT_EQ(bench.Wire(kGetPower), kGetPowerReply);
}

TEST(SimFaults, TraceNamesEveryFrameBothWays) {
  Bench bench;
  std::vector<std::string> lines;
  bench.reader.SetTraceSink([&](const TraceEvent& event) { lines.push_back(FormatTrace(event)); });
  bench.Wire({0xAA, 0x04, 0x81, 0xAF, 0x9D, 0x55});
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find("-> 0x81 GetPower crc: AA 04 81 AF 9D 55"), std::string::npos) << lines[0];
  EXPECT_NE(lines[1].find("<- 0x81 GetPower crc: AA 07 81 00 1A 1A"), std::string::npos) << lines[1];
}

}  // namespace
}  // namespace quarn::sim
