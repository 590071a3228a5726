// The driver library, through the real POSIX serial backend on a pseudo-terminal, against the virtual
// reader on the other side: every export family once, in both modes where the mode matters.

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>

#include "quarn_api.h"
#include "sim/pty/pty_server.h"

namespace quarn::sim {
namespace {

constexpr int k115200 = 0x06;
const unsigned char kZero[4] = {0, 0, 0, 0};
const unsigned char kPointer0[1] = {0x00};

using Record = std::vector<unsigned char>;

const Bytes kEpcA = {0x30, 0x00, 0x11, 0x11, 0x22, 0x22, 0x33, 0x33, 0x44, 0x44, 0x55, 0x55};
const Bytes kEpcB = {0x30, 0x00, 0x99, 0x99, 0x88, 0x88, 0x77, 0x77, 0x66, 0x66, 0x55, 0x00};

// Sized up front: GCC 12 warns falsely about an insert behind a two-byte initializer list.
Record RecordOf(const Bytes& epc) {
  Record record(2 + epc.size(), 0x00);
  record[0] = 0x30;
  std::copy(epc.begin(), epc.end(), record.begin() + 2);
  return record;
}

Scenario TwoTags() {
  Scenario scenario;
  for (const Bytes& epc : {kEpcA, kEpcB}) {
    TagEntry entry;
    entry.contents.epc = epc;
    scenario.tags.push_back(entry);
  }
  return scenario;
}

class SimEndToEnd : public ::testing::Test {
 protected:
  void Serve(const Scenario& scenario, FaultSettings faults = {}) {
    server_ = std::make_unique<PtyServer>(std::make_unique<VirtualReader>(scenario, faults));
    std::string error;
    ASSERT_TRUE(server_->Open(&error)) << error;
    server_->Start();
  }
  void Connect(const Scenario& scenario = TwoTags(), FaultSettings faults = {}) {
    Serve(scenario, std::move(faults));
    ASSERT_EQ(UhfOpenPort(&port_, server_->devicePath().c_str(), k115200), 1);
  }
  void TearDown() override {
    if (port_ != QUARN_INVALID_PORT) UhfClosePort(&port_);
    if (server_) server_->Stop();
  }

  std::unique_ptr<PtyServer> server_;
  PortHandle port_ = QUARN_INVALID_PORT;
};

TEST_F(SimEndToEnd, ReaderManagementInBothModes) {
  Connect();
  for (int crc : {0, 1}) {
    SCOPED_TRACE(crc);
    unsigned char status = 0x77;
    EXPECT_EQ(UhfGetPaStatus(port_, &status, crc), 1);
    EXPECT_EQ(status, 0x00);
    EXPECT_EQ(UhfSetPower(port_, 20 + crc, 22, crc), 1);
    unsigned char power = 0;
    EXPECT_EQ(UhfGetPower(port_, &power, crc), 1);
    EXPECT_EQ(power, 20 + crc);
    unsigned char block1[6] = {};
    unsigned char block2[3] = {};
    EXPECT_EQ(UhfGetVersion(port_, block1, block2, crc), 1);
    EXPECT_EQ(block1[0], 'Q');
    unsigned char uid[12] = {};
    EXPECT_EQ(UhfGetReaderUID(port_, uid, crc), 1);
    unsigned char f0, f1, f23[2], f4, f5, f6;
    EXPECT_EQ(UhfGetFrequency(port_, &f0, &f1, f23, &f4, &f5, &f6, crc), 1);
    EXPECT_EQ(UhfSetFrequency(port_, f0, f1, f23, f4, f5, f6, crc), 1);
    unsigned char antennas = 0;
    EXPECT_EQ(UhfCheckANT(port_, &antennas, crc), 1);
    EXPECT_EQ(antennas, 0x0F);
    EXPECT_EQ(UhfChooseANT(port_, 2, crc), 1);
    EXPECT_EQ(UhfChooseANT(port_, 9, crc), 0);
    EXPECT_EQ(UhfChooseANT(port_, 1, crc), 1);
    EXPECT_EQ(UhfSetTransparentTransfer(port_, 1, &status, crc), 1);
    EXPECT_EQ(UhfSetTransparentTransfer(port_, 0, &status, crc), 1);
    EXPECT_EQ(UhfEnterSleepMode(port_, crc), 1);
    EXPECT_EQ(UhfGetPower(port_, &power, crc), 1);  // the command that wakes it is answered
  }
}

TEST_F(SimEndToEnd, RegistersWithBothLengthForms) {
  Connect();
  unsigned char data[512] = {};
  unsigned char errorCode = 0x77;
  for (int i = 0; i < 130; ++i) data[i] = static_cast<unsigned char>(i + 1);
  EXPECT_EQ(UhfSetRegister(port_, 0x000, 130, data, &errorCode, 1), 1);
  unsigned char back[512] = {};
  EXPECT_EQ(UhfGetRegister(port_, 0x000, 130, &errorCode, back, 0), 1);
  EXPECT_EQ(std::memcmp(back, data, 130), 0);
  EXPECT_EQ(UhfGetRegister(port_, 0x100, 0, &errorCode, back, 1), 1);
  EXPECT_EQ(back[0], 26);  // read power at 0x100
  EXPECT_EQ(UhfGetRegister(port_, 0x1FF, 2, &errorCode, back, 0), 0);
  EXPECT_EQ(errorCode, 0x01);
  const unsigned char multi = 0x05;
  unsigned char got = 0;
  EXPECT_EQ(UhfSetMultiANT(port_, &multi, 0), 1);
  EXPECT_EQ(UhfGetMultiANT(port_, &got, 1), 1);
  EXPECT_EQ(got, 0x05);
  EXPECT_EQ(UhfSaveRegister(port_, 0), 1);
  EXPECT_EQ(UhfResetRegister(port_, 1), 1);
  EXPECT_EQ(UhfGetMultiANT(port_, &got, 0), 1);
  EXPECT_EQ(got, 0x00);
  server_->WithReader([](VirtualReader& reader) { reader.Restart(); });
  EXPECT_EQ(UhfGetMultiANT(port_, &got, 0), 1);
  EXPECT_EQ(got, 0x05);
}

TEST_F(SimEndToEnd, InventoryStreamsUntilStopOperation) {
  Connect();
  EXPECT_EQ(UhfStartInventory(port_, 0, 0, 1), 1);
  std::vector<Record> seen;
  for (int i = 0; i < 4; ++i) {
    unsigned char length = 0;
    unsigned char record[64] = {};
    ASSERT_EQ(UhfReadInventory(port_, &length, record), 1);
    seen.emplace_back(record, record + length);
  }
  EXPECT_EQ(seen, (std::vector<Record>{RecordOf(kEpcA), RecordOf(kEpcB), RecordOf(kEpcA), RecordOf(kEpcB)}));
  EXPECT_EQ(UhfStopOperation(port_, 1), 1);
  unsigned char length = 0;
  unsigned char record[64] = {};
  EXPECT_EQ(UhfReadInventory(port_, &length, record), 0);
  EXPECT_EQ(UhfInventorySingleTag(port_, &length, record, 0), 1);
  EXPECT_EQ(Record(record, record + length), RecordOf(kEpcA));
}

TEST_F(SimEndToEnd, ReadAfterWriteLockRefusalAndPassword) {
  Connect();
  const Record epc = RecordOf(kEpcA);
  unsigned char errorCode = 0;
  const unsigned char access[4] = {0x12, 0x34, 0x56, 0x78};
  const unsigned char pointer2[1] = {0x02};
  EXPECT_EQ(UhfWriteDataByEPC(port_, kZero, 0, pointer2, 2, epc.data(), access, &errorCode, 1), 1);
  EXPECT_EQ(errorCode, 0xFF);
  unsigned char payload[3];
  LockGenCode(0, 1, 0, 0, 1, payload);  // access password and user memory behind the password
  EXPECT_EQ(UhfLockMemByEPC(port_, kZero, payload, epc.data(), &errorCode, 0), 0);
  EXPECT_EQ(errorCode, 0x14);
  EXPECT_EQ(UhfLockMemByEPC(port_, access, payload, epc.data(), &errorCode, 0), 1);

  const unsigned char words[4] = {0xCA, 0xFE, 0xAA, 0x55};
  EXPECT_EQ(UhfWriteDataByEPC(port_, kZero, 3, kPointer0, 2, epc.data(), words, &errorCode, 0), 0);
  EXPECT_EQ(errorCode, 0x04);
  EXPECT_EQ(UhfWriteDataByEPC(port_, access, 3, kPointer0, 2, epc.data(), words, &errorCode, 1), 1);
  unsigned char read[4] = {};
  EXPECT_EQ(UhfReadDataByEPC(port_, kZero, 3, kPointer0, 2, epc.data(), read, &errorCode, 0), 1);
  EXPECT_EQ(std::memcmp(read, words, 4), 0);
  unsigned char length[2] = {};
  unsigned char tid[64] = {};
  EXPECT_EQ(UhfReadMaxDataByEPC(port_, kZero, 2, kPointer0, epc.data(), length, tid, &errorCode, 1), 1);
  EXPECT_EQ(length[1], 12);
  EXPECT_EQ(tid[0], 0xE2);
}

TEST_F(SimEndToEnd, KillRemovesTheTag) {
  Connect();
  const Record epc = RecordOf(kEpcB);
  const unsigned char kill[4] = {0x0B, 0xAD, 0xF0, 0x0D};
  unsigned char errorCode = 0;
  EXPECT_EQ(UhfWriteDataByEPC(port_, kZero, 0, kPointer0, 2, epc.data(), kill, &errorCode, 0), 1);
  EXPECT_EQ(UhfKillTagByEPC(port_, kill, epc.data(), &errorCode, 1), 1);
  unsigned char data[2];
  EXPECT_EQ(UhfReadDataByEPC(port_, kZero, 3, kPointer0, 1, epc.data(), data, &errorCode, 0), 0);
  EXPECT_EQ(errorCode, 0x12);
  // A is the one tag left, so single-tag commands now reach it.
  unsigned char record[64] = {};
  EXPECT_EQ(UhfEraseDataFromSingleTag(port_, kZero, 3, kPointer0, 1, record, &errorCode, 0), 1);
  EXPECT_EQ(Record(record, record + 14), RecordOf(kEpcA));
}

TEST_F(SimEndToEnd, BlockWritePartialSuccessAndNewEpc) {
  Connect();
  const Record epc = RecordOf(kEpcA);
  unsigned char errorCode = 0, writeStatus = 0, written = 0;
  unsigned char newRecord[64] = {};
  const unsigned char pointer30[1] = {30};
  const unsigned char data[8] = {1, 1, 2, 2, 3, 3, 4, 4};
  EXPECT_EQ(UhfBlockWriteDataByEPC(port_, kZero, 3, pointer30, 4, epc.data(), data, &errorCode, &writeStatus,
                                   &written, newRecord, 0),
            0);
  EXPECT_EQ(writeStatus, 0x81);
  EXPECT_EQ(errorCode, 0x03);
  EXPECT_EQ(written, 2);

  const unsigned char newEpc[4] = {0xAB, 0xCD, 0x00, 0x42};
  EXPECT_EQ(UhfBlockWriteEPCByEPC(port_, kZero, 2, epc.data(), newEpc, &errorCode, &writeStatus, &written, newRecord, 1),
            1);
  const Record expected = {0x10, 0x00, 0xAB, 0xCD, 0x00, 0x42};
  EXPECT_EQ(Record(newRecord, newRecord + 6), expected);
  unsigned char check[2];
  EXPECT_EQ(UhfReadDataByEPC(port_, kZero, 1, kPointer0, 1, expected.data(), check, &errorCode, 0), 1);
}

TEST_F(SimEndToEnd, FiltersChangeWhichTagsAnInventoryReports) {
  Connect();
  FilterRecord filter{};
  filter.filterIndex = 3;
  filter.recordLength = 9;
  filter.target = 4;
  filter.memBank = 1;
  filter.pointer[0] = 0x20 + 88;  // the last byte of the EPC
  filter.maskBitLength = 8;
  filter.mask[0] = 0x00;
  unsigned char errorCode = 0x77;
  EXPECT_EQ(UhfAddFilter(port_, &filter, &errorCode, 1), 1);
  EXPECT_EQ(UhfSelectFilterByIndex(port_, 3, 0, &errorCode, 0), 1);
  EXPECT_EQ(UhfStartGetFilterByIndex(port_, 0, 1, &errorCode, 0), 1);
  unsigned char frameStatus = 0;
  FilterRecord back{};
  EXPECT_EQ(UhfReadFilterByIndex(port_, &frameStatus, &back), 1);
  EXPECT_EQ(frameStatus, 0x01);
  EXPECT_EQ(back.filterIndex, 3);
  EXPECT_EQ(back.pointer[0], 0x20 + 88);

  EXPECT_EQ(UhfStartInventory(port_, 1, 0, 0), 1);
  for (int i = 0; i < 3; ++i) {
    unsigned char length = 0;
    unsigned char record[64] = {};
    ASSERT_EQ(UhfReadInventory(port_, &length, record), 1);
    EXPECT_EQ(Record(record, record + length), RecordOf(kEpcB));
  }
  EXPECT_EQ(UhfStopOperation(port_, 0), 1);
  EXPECT_EQ(UhfDeleteFilterByIndex(port_, 3, &errorCode, 0), 1);
  EXPECT_EQ(UhfDeleteFilterByIndex(port_, 3, &errorCode, 0), 0);
  EXPECT_EQ(errorCode, 0x03);
}

TEST_F(SimEndToEnd, MultiTagReadAndMultiAntennaReports) {
  Scenario scenario = TwoTags();
  scenario.tags[0].contents.antennaMask = 0x01;
  scenario.tags[1].contents.antennaMask = 0x02;
  Connect(scenario);
  const unsigned char options[2] = {0, 0};
  EXPECT_EQ(UhfStartReadDataFromMultiTag(port_, kZero, 2, kPointer0, 2, 0, options, 1), 1);
  unsigned char frameStatus = 0x77, length[2], data[64], length2[2], data2[64], record[64], recordLength = 0;
  ASSERT_EQ(UhfGetDataFromMultiTag(port_, &frameStatus, length, data, length2, data2, record, &recordLength), 1);
  EXPECT_EQ(frameStatus, 0x00);
  EXPECT_EQ(length[1], 4);
  EXPECT_EQ(Record(record, record + recordLength), RecordOf(kEpcA));  // only A is on antenna 1
  EXPECT_EQ(UhfStopOperation(port_, 1), 1);

  const unsigned char both = 0x03;
  EXPECT_EQ(UhfSetMultiANT(port_, &both, 0), 1);
  EXPECT_EQ(UhfStartInventoryForMultiAnt(port_, 0, 0, 1), 1);
  unsigned char antenna = 0;
  ASSERT_EQ(UhfReadInventoryFromMultiAnt(port_, &antenna, &recordLength, record), 1);
  EXPECT_EQ(antenna, 1);
  ASSERT_EQ(UhfReadInventoryFromMultiAnt(port_, &antenna, &recordLength, record), 1);
  EXPECT_EQ(antenna, 2);
  EXPECT_EQ(Record(record, record + recordLength), RecordOf(kEpcB));
  EXPECT_EQ(UhfStopOperation(port_, 1), 1);

  const unsigned char longOptions[5] = {3, 0, 1, 0, 0};  // user word 0 as the second block
  EXPECT_EQ(UhfStartReadDataForMultiAnt(port_, kZero, 1, kPointer0, 2, 1, longOptions, 0), 1);
  ASSERT_EQ(UhfGetDataFromMultiAnt(port_, &antenna, &frameStatus, length, data, length2, data2, record, &recordLength), 1);
  EXPECT_EQ(antenna, 1);
  EXPECT_EQ(frameStatus, 0x01);
  EXPECT_EQ(length[1], 4);
  EXPECT_EQ(length2[1], 2);
  EXPECT_EQ(UhfStopOperation(port_, 0), 1);
}

TEST_F(SimEndToEnd, SamSrAndSrWrite) {
  Scenario scenario;
  scenario.generatedTags = 1;
  Connect(scenario);
  const unsigned char challenge[5] = {0x00, 0x84, 0x00, 0x00, 0x08};
  unsigned char response[255] = {}, sw1 = 0, sw2 = 0, status = 0x77;
  int responseLength = 0;
  EXPECT_EQ(UhfSetSAM(port_, challenge, 5, response, &responseLength, &sw1, &sw2, &status, 1), 1);
  EXPECT_EQ(responseLength, 8);
  EXPECT_EQ(sw1, 0x90);
  EXPECT_EQ(UhfGetInfoSAMtoSRA(port_, challenge, 5, &sw1, &sw2, &status, 0), 1);
  unsigned char sr[80] = {};
  EXPECT_EQ(UhfGetSR(port_, 0, sr, &status, 1), 1);
  unsigned char answer[64] = {}, answerLength = 0;
  EXPECT_EQ(UhfSetPsamPowerOnOrOff(port_, 2, 1, answer, &answerLength, 0), 1);
  EXPECT_EQ(answerLength, 13);
  EXPECT_EQ(answer[0], 0x3B);
  unsigned char record[255] = {}, recordLength = 0, errorCode = 0, writeStatus = 0x77, written = 0x77;
  EXPECT_EQ(UhfWriteSRtoTagSingle(port_, kZero, 3, kPointer0, 0, 4, 0, 0, record, &recordLength, &errorCode,
                                  &writeStatus, &written, 1),
            1);
  EXPECT_EQ(writeStatus, 0x00);
  EXPECT_EQ(recordLength, 14);
  unsigned char data[8] = {};
  EXPECT_EQ(UhfReadDataFromSingleTag(port_, kZero, 3, kPointer0, 4, data, record, &recordLength, &errorCode, 0), 1);
  EXPECT_EQ(std::memcmp(data, sr, 8), 0);
}

TEST_F(SimEndToEnd, FirmwareUpdateSession) {
  Serve(TwoTags());
  unsigned char status = 0x77;
  int initValue = 0;
  ASSERT_EQ(UhfUpdateInit(&port_, server_->devicePath().c_str(), &status, &initValue, k115200 | 1), 1);
  EXPECT_EQ(UhfUpdateSendRN32(port_, reinterpret_cast<const unsigned char*>(&initValue), &status, 1), 1);
  Bytes image = {'Q', 'F', 'W', '1', 'Q', 'S', 0x02, 0x03, 0x00, 0x01, 0x19, 0x0C, 0x01};
  image.resize(500, 0xA5);
  const uint32_t size = static_cast<uint32_t>(image.size());
  EXPECT_EQ(UhfUpdateSendSize(port_, &status, reinterpret_cast<const unsigned char*>(&size), 0), 1);
  EXPECT_EQ(UhfUpdateSendData(port_, &status, 0, 0, 300, image.data(), 1), 1);
  EXPECT_EQ(UhfUpdateSendData(port_, &status, 0, 2, 200, image.data() + 300, 0), 0);
  EXPECT_EQ(status, 0x04);  // block 2 where block 1 was due
  EXPECT_EQ(UhfUpdateSendData(port_, &status, 0, 1, 200, image.data() + 300, 0), 1);
  EXPECT_EQ(UhfUpdateCommit(port_, &status, 1), 1);
  EXPECT_EQ(status, 0x00);
  unsigned char block1[6] = {}, block2[3] = {};
  EXPECT_EQ(UhfGetVersion(port_, block1, block2, 0), 1);
  EXPECT_EQ(block1[2], 0x02);
  EXPECT_EQ(block2[2], 0x01);
}

TEST_F(SimEndToEnd, CorruptedReplyFailsOnceAndTheNextSucceeds) {
  FaultSettings faults;
  faults.corruptRate = 1.0;
  faults.limit = 1;
  Connect(TwoTags(), faults);
  unsigned char power = 0x77;
  EXPECT_EQ(UhfGetPower(port_, &power, 1), 0);
  EXPECT_EQ(power, 0x77);
  EXPECT_EQ(UhfGetPower(port_, &power, 1), 1);
}

TEST_F(SimEndToEnd, AnotherOpenAfterCloseSucceeds) {
  Connect();
  PortHandle second = QUARN_INVALID_PORT;
  EXPECT_EQ(UhfOpenPort(&second, server_->devicePath().c_str(), k115200), 0);
  UhfClosePort(&port_);
  port_ = QUARN_INVALID_PORT;
  ASSERT_EQ(UhfOpenPort(&port_, server_->devicePath().c_str(), 0x00), 1);
  unsigned char power = 0;
  EXPECT_EQ(UhfGetPower(port_, &power, 0), 1);
}

}  // namespace
}  // namespace quarn::sim
