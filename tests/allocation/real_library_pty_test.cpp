// The shipped shared library, through its real POSIX backend, on a pseudo-terminal with the virtual
// reader behind it: each call runs with the counter armed and must make no heap call. The reader
// serves on its own thread, whose allocations the counter leaves out.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "allocation_counter.h"
#include "quarn_api.h"
#include "sim/model/scenario.h"
#include "sim/pty/pty_server.h"

namespace {

using quarn::allocation::ArmedScope;
using quarn::allocation::TallyDelta;

const unsigned char kNoPassword[4] = {0, 0, 0, 0};
const unsigned char kWrongPassword[4] = {0x11, 0x11, 0x11, 0x11};
const unsigned char kWord0[1] = {0x00};
constexpr int kTidBank = 2;
constexpr int kUserBank = 3;

// The heap calls of one library call made armed.
template <typename Call>
uint64_t HeapCallsOf(Call call) {
  const TallyDelta delta;
  const ArmedScope armed;
  call();
  return delta.heapCalls();
}

class RealLibraryOnPty : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    quarn::sim::Scenario scenario;
    scenario.tags.push_back(quarn::sim::ParseTagEntry("E20034120000000000000001 access=12345678"));
    server_ = std::make_unique<quarn::sim::PtyServer>(
        std::make_unique<quarn::sim::VirtualReader>(scenario, quarn::sim::FaultSettings{}));
    std::string error;
    ASSERT_TRUE(server_->Open(&error)) << error;
    server_->Start();
  }
  void TearDown() override { server_->Stop(); }

  std::unique_ptr<quarn::sim::PtyServer> server_;
};

TEST_P(RealLibraryOnPty, CallsOfEveryFamilyMakeNoHeapCall) {
  const int crc = GetParam();
  const std::string path = server_->devicePath();
  PortHandle port = QUARN_INVALID_PORT;
  EXPECT_EQ(HeapCallsOf([&] { ASSERT_EQ(UhfOpenPort(&port, path.c_str(), 0x06), 1); }), 0u);
  ASSERT_NE(port, QUARN_INVALID_PORT);

  unsigned char power = 0, version1[6], version2[3], errorCode = 0;
  EXPECT_EQ(HeapCallsOf([&] { EXPECT_EQ(UhfGetPower(port, &power, crc), 1); }), 0u);
  EXPECT_EQ(HeapCallsOf([&] { EXPECT_EQ(UhfGetVersion(port, version1, version2, crc), 1); }), 0u);

  unsigned char registers[512];
  EXPECT_EQ(HeapCallsOf([&] { EXPECT_EQ(UhfGetRegister(port, 0, 0, &errorCode, registers, crc), 1); }), 0u);

  unsigned char record[64], recordLength = 0;
  EXPECT_EQ(HeapCallsOf([&] { EXPECT_EQ(UhfInventorySingleTag(port, &recordLength, record, crc), 1); }), 0u);
  unsigned char tid[12];
  EXPECT_EQ(HeapCallsOf([&] {
              EXPECT_EQ(UhfReadDataByEPC(port, kNoPassword, kTidBank, kWord0, 6, record, tid, &errorCode, crc), 1);
            }),
            0u);
  // A refusal from the tag takes the error path of the reply.
  const unsigned char words[4] = {0xCA, 0xFE, 0xF0, 0x0D};
  EXPECT_EQ(HeapCallsOf([&] {
              EXPECT_EQ(UhfWriteDataByEPC(port, kWrongPassword, kUserBank, kWord0, 2, record, words, &errorCode, crc), 0);
            }),
            0u);
  EXPECT_EQ(errorCode, 0x13);

  EXPECT_EQ(HeapCallsOf([&] {
              EXPECT_EQ(UhfStartInventory(port, 0, 0, crc), 1);
              for (int i = 0; i < 3; ++i) EXPECT_EQ(UhfReadInventory(port, &recordLength, record), 1);
              EXPECT_EQ(UhfStopOperation(port, crc), 1);
            }),
            0u);
  EXPECT_EQ(HeapCallsOf([&] { EXPECT_EQ(UhfClosePort(&port), 1); }), 0u);
}

INSTANTIATE_TEST_SUITE_P(BothModes, RealLibraryOnPty, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<int>& mode) { return mode.param ? "Crc" : "Plain"; });

}  // namespace
