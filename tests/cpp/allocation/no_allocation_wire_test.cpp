// The C++ API's exchanges and streams allocate nothing: the library as an application links it, against
// the virtual reader on a pty, with the process allocator counting this thread's heap calls (the
// reader's own thread may allocate). Only owned results (std::vector) and making a stream may allocate.

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "allocation_counter.h"
#include "quarn/quarn.h"
#include "sim/pty/pty_server.h"

namespace {

using quarn::allocation::ArmedScope;
using quarn::allocation::ThisThreadTally;
namespace sim = quarn::sim;

const std::vector<uint8_t> kEpc = {0x30, 0x00, 0x11, 0x11, 0x22, 0x22, 0x33, 0x33, 0x44, 0x44, 0x55, 0x55};

class CppNoAllocation : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    sim::Scenario scenario;
    sim::TagEntry entry;
    entry.contents.epc = kEpc;
    scenario.tags.push_back(entry);
    server_ = std::make_unique<sim::PtyServer>(std::make_unique<sim::VirtualReader>(scenario));
    std::string error;
    ASSERT_TRUE(server_->Open(&error)) << error;
    server_->Start();
    reader_.Open(server_->devicePath());
    reader_.setCrcMode(GetParam());
    tag_ = quarn::TagRecord::FromEpc(kEpc);
  }
  void TearDown() override {
    reader_.Close();
    server_->Stop();
  }

  std::unique_ptr<sim::PtyServer> server_;
  quarn::Reader reader_;
  quarn::TagRecord tag_;
};

TEST_P(CppNoAllocation, CallsSucceedingAndFailingAllocateNothing) {
  std::error_code power, version, read, refused, single, registers;
  std::array<uint8_t, 4> words{};
  std::array<uint8_t, 8> bytes{};
  const uint64_t before = ThisThreadTally().allocations;
  {
    ArmedScope armed;
    reader_.GetPower(power);
    reader_.GetVersion(version);
    reader_.ReadDataInto(tag_, quarn::MemoryBank::kUser, 0, 2, quarn::Password(), words, read);
    reader_.ReadDataInto(tag_, quarn::MemoryBank::kUser, 400, 2, quarn::Password(), words, refused);  // past the bank
    reader_.InventorySingleTag(single);
    reader_.GetRegistersInto(0x100, 8, bytes, registers);
  }
  EXPECT_EQ(ThisThreadTally().allocations, before);
  EXPECT_FALSE(power);
  EXPECT_FALSE(version);
  EXPECT_FALSE(read);
  EXPECT_EQ(refused, quarn::Errc::kRefused);
  EXPECT_FALSE(single);
  EXPECT_FALSE(registers);

  // The count sees the library's heap calls: an owned result is one.
  {
    ArmedScope armed;
    reader_.ReadData(tag_, quarn::MemoryBank::kUser, 0, 2, quarn::Password(), read);
  }
  EXPECT_GT(ThisThreadTally().allocations, before);
}

TEST_P(CppNoAllocation, AStreamReusesItsItemAndStopsWithoutAllocating) {
  quarn::StreamOptions options;
  options.maxItems = 10;
  std::error_code ec;
  auto stream = reader_.Inventory(options, ec);
  ASSERT_FALSE(ec);
  size_t items = 0;
  const uint64_t before = ThisThreadTally().allocations;
  {
    ArmedScope armed;
    for (const quarn::TagReport& report : stream) items += report.tag == tag_ ? 1 : 0;
  }
  EXPECT_EQ(ThisThreadTally().allocations, before);
  EXPECT_EQ(items, 10u);
  EXPECT_EQ(stream.endedBy(), quarn::StreamEnd::kLimit);
  EXPECT_FALSE(stream.error());
}

INSTANTIATE_TEST_SUITE_P(PlainAndCrc, CppNoAllocation, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& mode) { return mode.param ? "Crc" : "Plain"; });

}  // namespace
