// The C++ library as an application links it, through the real POSIX backend on a pseudo-terminal, with
// the virtual reader on the other side: every family, in plain and CRC mode, and the streams' stop as
// the reader sees it.

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "quarn/quarn.h"
#include "sim/pty/pty_server.h"

namespace {

using quarn::Errc;
using quarn::MemoryBank;
using quarn::Password;
using quarn::Reader;
using quarn::TagRecord;
using Bytes = std::vector<uint8_t>;
namespace sim = quarn::sim;

const Bytes kEpcA = {0x30, 0x00, 0x11, 0x11, 0x22, 0x22, 0x33, 0x33, 0x44, 0x44, 0x55, 0x55};
const Bytes kEpcB = {0x30, 0x00, 0x99, 0x99, 0x88, 0x88, 0x77, 0x77, 0x66, 0x66, 0x55, 0x00};
constexpr uint8_t kStopCode = 0x12;

// Two tags with user memory long enough for a block write in the two-byte length form.
sim::Scenario TwoTags() {
  sim::Scenario scenario;
  for (const Bytes& epc : {kEpcA, kEpcB}) {
    sim::TagEntry entry;
    entry.contents.epc = epc;
    entry.contents.userWords = 128;
    scenario.tags.push_back(entry);
  }
  return scenario;
}

TagRecord A() { return TagRecord::FromEpc(kEpcA); }
TagRecord B() { return TagRecord::FromEpc(kEpcB); }

class CppWire : public ::testing::TestWithParam<bool> {
 protected:
  void Serve(const sim::Scenario& scenario = TwoTags()) {
    server_ = std::make_unique<sim::PtyServer>(std::make_unique<sim::VirtualReader>(scenario));
    std::string error;
    ASSERT_TRUE(server_->Open(&error)) << error;
    server_->WithReader([this](sim::VirtualReader& reader) {
      reader.SetTraceSink([this](const sim::TraceEvent& event) {
        if (event.kind != sim::TraceEvent::Kind::kCommand) return;
        std::lock_guard<std::mutex> lock(mutex_);
        commands_.push_back(static_cast<uint8_t>(event.code & 0x7F));
      });
    });
    server_->Start();
  }
  void Connect(const sim::Scenario& scenario = TwoTags()) {
    Serve(scenario);
    reader_.Open(server_->devicePath(), quarn::Baud::k115200);
    reader_.setCrcMode(GetParam());
  }
  void TearDown() override {
    reader_.Close();
    if (server_) server_->Stop();
  }

  size_t StopsSeen() {
    std::lock_guard<std::mutex> lock(mutex_);
    size_t stops = 0;
    for (uint8_t code : commands_) stops += code == kStopCode ? 1 : 0;
    return stops;
  }
  bool Streaming() {
    return server_->WithReader([](sim::VirtualReader& reader) { return reader.streaming(); });
  }

  std::unique_ptr<sim::PtyServer> server_;
  Reader reader_;
  std::mutex mutex_;
  std::vector<uint8_t> commands_;
};

TEST_P(CppWire, ReaderManagement) {
  Connect();
  EXPECT_TRUE(reader_.GetPaStatus().ok());
  reader_.SetPower(20, 22);
  EXPECT_EQ(reader_.GetPower(), 20);
  EXPECT_EQ(reader_.GetVersion().block1[0], 'Q');
  EXPECT_EQ(reader_.GetReaderUid().size(), 12u);
  const quarn::FrequencyConfig frequency = reader_.GetFrequency();
  reader_.SetFrequency(frequency);
  EXPECT_EQ(reader_.GetFrequency(), frequency);
  EXPECT_EQ(reader_.CheckAntenna(), 0x0F);
  reader_.ChooseAntenna(2);
  std::error_code ec;
  reader_.ChooseAntenna(9, ec);
  EXPECT_EQ(ec, Errc::kRefused);
  EXPECT_EQ(reader_.lastError().status, 0x01);
  reader_.ChooseAntenna(1);
  reader_.SetTransparentTransfer(true);
  reader_.SetTransparentTransfer(false);
  reader_.EnterSleepMode();
  EXPECT_EQ(reader_.GetPower(), 20);  // the command that wakes it is answered
}

TEST_P(CppWire, RegistersInBothLengthForms) {
  Connect();
  Bytes data(130);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i + 1);
  reader_.SetRegisters(0x000, data);
  EXPECT_EQ(reader_.GetRegisters(0x000, 130), data);
  EXPECT_EQ(reader_.GetRegisters(0x100, 0).size(), 256u);
  std::error_code ec;
  reader_.GetRegisters(0x1FF, 2, ec);
  EXPECT_EQ(ec, Errc::kRefused);
  EXPECT_EQ(reader_.lastError().status, 0x01);
  reader_.SetMultiAntSetting(0x05);
  EXPECT_EQ(reader_.GetMultiAntSetting(), 0x05);
  reader_.SaveRegisters();
  reader_.ResetRegisters();
  EXPECT_EQ(reader_.GetMultiAntSetting(), 0x00);
}

TEST_P(CppWire, TagMemoryWithLockAndPassword) {
  Connect();
  const Password access(0x12345678);
  reader_.WriteData(A(), MemoryBank::kReserved, 2, access.bytes());
  quarn::LockSettings lock;
  lock.accessPassword = quarn::LockAction::kLock;
  lock.user = quarn::LockAction::kLock;
  std::error_code ec;
  reader_.Lock(A(), lock, Password(), ec);
  EXPECT_EQ(ec, Errc::kRefused);
  reader_.Lock(A(), lock, access);

  const Bytes words = {0xCA, 0xFE, 0xAA, 0x55};
  try {
    reader_.WriteData(A(), MemoryBank::kUser, 0, words);
    ADD_FAILURE() << "a locked bank took a write without the password";
  } catch (const quarn::Error& error) {
    EXPECT_EQ(error.errc(), Errc::kRefused);
    EXPECT_EQ(error.readerErrorCode(), 0x04);
    EXPECT_STREQ(error.gen2Meaning(), "memory locked");
  }
  reader_.WriteData(A(), MemoryBank::kUser, 0, words, access);
  EXPECT_EQ(reader_.ReadData(A(), MemoryBank::kUser, 0, 2), words);
  const Bytes tid = reader_.ReadMaxData(A(), MemoryBank::kTid, 0);
  EXPECT_EQ(tid.size(), 12u);
  EXPECT_EQ(tid[0], 0xE2);
  reader_.EraseData(A(), MemoryBank::kUser, 0, 1, access);
  EXPECT_EQ(reader_.ReadData(A(), MemoryBank::kUser, 0, 1), (Bytes{0x00, 0x00}));
}

TEST_P(CppWire, KillThenSingleTagCommandsReachTheTagLeft) {
  Connect();
  const Password kill(0x0BADF00D);
  reader_.WriteData(B(), MemoryBank::kReserved, 0, kill.bytes());
  reader_.Kill(B(), kill);
  std::error_code ec;
  reader_.ReadData(B(), MemoryBank::kUser, 0, 1, Password(), ec);
  EXPECT_EQ(ec, Errc::kRefused);
  EXPECT_EQ(reader_.InventorySingleTag(), A());
  EXPECT_EQ(reader_.EraseDataFromSingleTag(MemoryBank::kUser, 0, 1), A());
  const quarn::SingleTagData read = reader_.ReadDataFromSingleTag(MemoryBank::kUser, 0, 2);
  EXPECT_EQ(read.tag, A());
  EXPECT_EQ(read.data.size(), 4u);
  EXPECT_EQ(reader_.ReadMaxDataFromSingleTag(MemoryBank::kTid, 0).data.size(), 12u);
  EXPECT_EQ(reader_.WriteDataToSingleTag(MemoryBank::kUser, 0, Bytes{1, 2}).value(), A());
  EXPECT_EQ(reader_.LockSingleTag(quarn::LockSettings{}, Password()), A());
}

TEST_P(CppWire, BlockWritesTellWhatWasWrittenAndGiveANewEpc) {
  Connect();
  std::error_code ec;
  const quarn::WriteOutcome partial = reader_.BlockWriteData(A(), MemoryBank::kUser, 126, Bytes{1, 1, 2, 2, 3, 3, 4, 4},
                                                             Password(), ec);
  EXPECT_EQ(ec, Errc::kRefused);
  EXPECT_EQ(partial.status, quarn::WriteStatus::kFailedWithErrorCode);
  EXPECT_EQ(partial.readerErrorCode, 0x03);
  EXPECT_EQ(partial.writtenWordCount, 2);
  EXPECT_EQ(reader_.lastError().writtenWordCount, 2);

  const quarn::WriteOutcome renamed = reader_.BlockWriteEpc(A(), Bytes{0xAB, 0xCD, 0x00, 0x42});
  ASSERT_TRUE(renamed.tag.has_value());
  EXPECT_EQ(renamed.tag->hex(), "1000ABCD0042");
  EXPECT_EQ(reader_.ReadData(*renamed.tag, MemoryBank::kEpc, 2, 2), (Bytes{0xAB, 0xCD, 0x00, 0x42}));
  EXPECT_TRUE(reader_.BlockWriteData(B(), MemoryBank::kUser, 0, Bytes(200, 0x5A)).written());
  EXPECT_EQ(reader_.ReadData(B(), MemoryBank::kUser, 99, 1), (Bytes{0x5A, 0x5A}));
}

TEST_P(CppWire, FiltersChangeWhichTagsAnInventoryReports) {
  Connect();
  quarn::Filter filter;
  filter.index = 3;
  filter.target = 4;
  filter.bank = MemoryBank::kEpc;
  filter.bitPointer = 0x20 + 88;  // the last byte of the EPC
  filter.SetMask(Bytes{0x00}, 8);
  reader_.AddFilter(filter);
  reader_.SelectFilter(3, 0);
  std::vector<quarn::Filter> listed;
  for (const quarn::Filter& reported : reader_.ListFilters(0, 1)) listed.push_back(reported);
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].index, 3);
  EXPECT_EQ(listed[0].bitPointer, 0x20u + 88);
  EXPECT_EQ(listed[0].maskBytes(), quarn::ByteView(Bytes{0x00}));

  quarn::StreamOptions options;
  options.maxItems = 3;
  options.startParameter = 0;
  for (const quarn::TagReport& report : reader_.Inventory(options)) EXPECT_EQ(report.tag, B());
  reader_.DeleteFilter(3);
  std::error_code ec;
  reader_.DeleteFilter(3, ec);
  EXPECT_EQ(ec, Errc::kRefused);
  EXPECT_EQ(reader_.lastError().status, 0x03);
}

TEST_P(CppWire, MultiTagReadAndMultiAntennaStreams) {
  sim::Scenario scenario = TwoTags();
  scenario.tags[0].contents.antennaMask = 0x01;
  scenario.tags[1].contents.antennaMask = 0x02;
  Connect(scenario);
  quarn::MultiTagReadRequest request;
  request.area = {MemoryBank::kTid, 0, 2};
  {
    auto stream = reader_.MultiTagRead(request);
    auto first = stream.begin();
    ASSERT_NE(first, stream.end());
    EXPECT_EQ(first->frameStatus, 0x00);
    EXPECT_EQ(first->data.size(), 4u);
    EXPECT_EQ(first->tag, A());  // only A is on antenna 1
  }
  reader_.SetMultiAntSetting(0x03);
  std::vector<uint8_t> antennas;
  quarn::StreamOptions two;
  two.maxItems = 2;
  for (const quarn::TagReport& report : reader_.InventoryForMultiAnt(two)) antennas.push_back(report.antenna.value());
  EXPECT_EQ(antennas, (std::vector<uint8_t>{1, 2}));

  request.area = {MemoryBank::kEpc, 0, 2};
  request.secondArea = quarn::MemoryArea{MemoryBank::kUser, 0, 1};
  quarn::StreamOptions one;
  one.maxItems = 1;
  for (const quarn::TagData& data : reader_.MultiTagReadForMultiAnt(request, one)) {
    EXPECT_EQ(data.antenna, 1);
    EXPECT_EQ(data.frameStatus, 0x01);
    EXPECT_EQ(data.data.size(), 4u);
    ASSERT_TRUE(data.secondData.has_value());
    EXPECT_EQ(data.secondData->size(), 2u);
  }
  EXPECT_FALSE(Streaming());
}

TEST_P(CppWire, SamAndSrWrites) {
  sim::Scenario scenario;
  scenario.generatedTags = 1;
  Connect(scenario);
  const Bytes challenge = {0x00, 0x84, 0x00, 0x00, 0x08};
  const quarn::SamResponse response = reader_.SendApdu(challenge);
  EXPECT_EQ(response.data.size(), 8u);
  EXPECT_EQ(response.statusWord.sw1, 0x90);
  EXPECT_EQ(reader_.GetInfoSamToSr(quarn::SrTarget::kA, challenge).sw1, 0x90);
  const quarn::SrInfo sr = reader_.GetSr(0);
  const Bytes answer = reader_.SetPsamPower(quarn::PsamSlot::k2, true);
  ASSERT_EQ(answer.size(), 13u);
  EXPECT_EQ(answer[0], 0x3B);
  const quarn::WriteOutcome written = reader_.WriteSrToSingleTag(MemoryBank::kUser, 0, {0, 4, 0, 0});
  EXPECT_TRUE(written.written());
  ASSERT_TRUE(written.tag.has_value());
  const quarn::SingleTagData read = reader_.ReadDataFromSingleTag(MemoryBank::kUser, 0, 4);
  EXPECT_EQ(read.data, Bytes(sr.begin(), sr.begin() + 8));
  EXPECT_TRUE(reader_.WriteSrToTag(read.tag, MemoryBank::kUser, 8, {0, 4, 0, 0}).written());
}

TEST_P(CppWire, FirmwareUpdate) {
  Serve();
  Bytes image = {'Q', 'F', 'W', '1', 'Q', 'S', 0x02, 0x03, 0x00, 0x01, 0x19, 0x0C, 0x01};
  image.resize(2500, 0xA5);
  quarn::UpdateOptions options;
  options.crcMode = GetParam();
  size_t lastSent = 0;
  Reader updated = quarn::UpdateFirmware(server_->devicePath(), image, options, [&](size_t sent, size_t) { lastSent = sent; });
  EXPECT_EQ(lastSent, image.size());
  const quarn::Version version = updated.GetVersion();
  EXPECT_EQ(version.block1[2], 0x02);
  EXPECT_EQ(version.block2[2], 0x01);
}

// ---- The streams' stop, as the reader sees it ----

TEST_P(CppWire, BreakStopsTheReadersStream) {
  Connect();
  size_t seen = 0;
  for (const quarn::TagReport& report : reader_.Inventory()) {
    EXPECT_TRUE(report.tag == A() || report.tag == B());
    if (++seen == 3) break;
  }
  EXPECT_EQ(StopsSeen(), 1u);
  EXPECT_FALSE(Streaming());
  EXPECT_EQ(reader_.GetPower(), 26);  // the line is clean for the next command
}

TEST_P(CppWire, ExceptionStopsTheReadersStream) {
  Connect();
  quarn::MultiTagReadRequest request;
  request.area = {MemoryBank::kTid, 0, 1};
  EXPECT_THROW(
      {
        for (const quarn::TagData& data : reader_.MultiTagRead(request)) {
          if (!data.data.empty()) throw std::runtime_error("the application gives up");
        }
      },
      std::runtime_error);
  EXPECT_EQ(StopsSeen(), 1u);
  EXPECT_FALSE(Streaming());
}

// The reader unplugged mid-stream: the loop ends with kPortGone instead of waiting on silence.
TEST_P(CppWire, PortGoneEndsTheStreamWithAnError) {
  Connect();
  quarn::StreamOptions options;
  options.endOnSilence = false;
  std::error_code ec;
  auto stream = reader_.Inventory(options, ec);
  ASSERT_FALSE(ec);
  size_t items = 0;
  for (const quarn::TagReport& report : stream) {
    (void)report;
    if (++items == 1) server_.reset();
  }
  EXPECT_EQ(stream.endedBy(), quarn::StreamEnd::kError);
  EXPECT_EQ(stream.error(), Errc::kPortGone);
  EXPECT_LE(items, 64u);  // what was already on its way, no more
}

// On a real pty: the wait ends when a report arrives, ends after its own wait on a silent reader (not
// the 3-second read time-out), and reports a port whose reader went away as gone at once.
TEST_P(CppWire, WaitForInputIsBoundedByItsOwnWait) {
  Connect();
  std::error_code ec;
  EXPECT_FALSE(reader_.WaitForInput(std::chrono::milliseconds(50), ec));
  EXPECT_FALSE(ec);
  auto stream = reader_.Inventory(quarn::StreamOptions{}, ec);
  ASSERT_FALSE(ec);
  EXPECT_TRUE(reader_.WaitForInput(std::chrono::milliseconds(2000), ec));
  ASSERT_TRUE(stream.Advance());
  stream.Stop(ec);
  EXPECT_FALSE(ec);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(reader_.WaitForInput(std::chrono::milliseconds(200), ec));
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(150));
  EXPECT_LT(waited, std::chrono::milliseconds(2000));
  server_.reset();
  EXPECT_FALSE(reader_.WaitForInput(std::chrono::milliseconds(2000), ec));
  EXPECT_EQ(ec, Errc::kPortGone);
}

INSTANTIATE_TEST_SUITE_P(PlainAndCrc, CppWire, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& mode) { return mode.param ? "Crc" : "Plain"; });

}  // namespace
