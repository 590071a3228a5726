// Tag access and streams over the real POSIX backend: each receive-only call consumes exactly one frame
// of what the reader streams, and a command sent meanwhile discards what still waits.

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "pty_peer.h"
#include "quarn_api.h"
#include "reference_frames.h"

namespace {

using quarn::testing::AntennaReplyFrame;
using quarn::testing::Bytes;
using quarn::testing::Join;
using quarn::testing::PtyPeer;
using quarn::testing::StuffedFrame;
using quarn::testing::WireReply;

const Bytes kPassword{0x00, 0x00, 0x00, 0x00};

Bytes Record(uint8_t last) { return {0x30, 0x00, 0xE2, 0x00, 0x00, 0x17, 0x22, 0x09, 0x01, 0x23, 0x45, 0x67, 0x89, last}; }

class StreamsWire : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(UhfOpenPort(&port_, peer_.path().c_str(), 6), 1); }
  void TearDown() override { UhfClosePort(&port_); }
  // Lets streamed bytes reach the port's input before the next call.
  static void Settle() { std::this_thread::sleep_for(std::chrono::milliseconds(80)); }

  PtyPeer peer_;
  PortHandle port_ = QUARN_INVALID_PORT;
};

TEST_F(StreamsWire, InventoryReportsAreTakenOneACallAndACommandDiscardsTheRest) {
  // The acknowledgement and three reports come in one burst after the start.
  peer_.ReplyInOrder({Join({WireReply(0x10, {0x01}), WireReply(0x10, Join({{0x00}, Record(1)})),
                            WireReply(0x10, Join({{0x00}, Record(2)})), WireReply(0x10, Join({{0x00}, Record(3)}))}),
                      WireReply(0x01, {0x00, 0x1E})});
  ASSERT_EQ(UhfStartInventory(port_, 0, 0, 0), 1);
  Settle();
  for (uint8_t tag : {1, 2}) {
    unsigned char length = 0xEE;
    Bytes record(64, 0xEE);
    ASSERT_EQ(UhfReadInventory(port_, &length, record.data()), 1);
    EXPECT_EQ(length, 14);
    EXPECT_EQ(Bytes(record.begin(), record.begin() + 14), Record(tag));
    EXPECT_EQ(record[14], 0xEE);
  }
  // The third report still waits; the next command's send drops it, and its own reply comes through.
  unsigned char power = 0;
  EXPECT_EQ(UhfGetPower(port_, &power, 0), 1);
  EXPECT_EQ(power, 0x1E);
  unsigned char length = 0xEE;
  Bytes record(64, 0xEE);
  EXPECT_EQ(UhfReadInventory(port_, &length, record.data()), 0);
  EXPECT_EQ(length, 0xEE);
}

TEST_F(StreamsWire, ReadsBlockWritesAndLocksATagByItsRecord) {
  peer_.ReplyInOrder({WireReply(0x93, {0x00, 0x12, 0x34, 0x56, 0x78}), WireReply(0x19, {0x00}),
                      WireReply(0x16, {0x00})});
  const Bytes epc = Record(9);
  const unsigned char wordPtr[1] = {0x00};
  Bytes data(5, 0xEE);
  unsigned char errorCode = 0xEE;
  ASSERT_EQ(UhfReadDataByEPC(port_, kPassword.data(), 2, wordPtr, 2, epc.data(), data.data(), &errorCode, 1), 1);
  EXPECT_EQ(Bytes(data.begin(), data.begin() + 4), (Bytes{0x12, 0x34, 0x56, 0x78}));
  EXPECT_EQ(data[4], 0xEE);
  EXPECT_EQ(errorCode, 0xFF);

  const Bytes words{0xCA, 0xFE, 0xBE, 0xEF};
  unsigned char writeStatus = 0xEE, written = 0xEE;
  Bytes newRecord(64, 0xEE);
  ASSERT_EQ(UhfBlockWriteDataByEPC(port_, kPassword.data(), 3, wordPtr, 2, epc.data(), words.data(), &errorCode,
                                   &writeStatus, &written, newRecord.data(), 0),
            1);
  EXPECT_EQ(writeStatus, 0x00);
  EXPECT_EQ(Bytes(newRecord.begin(), newRecord.begin() + 14), epc);

  const unsigned char payload[3] = {0x00, 0x30, 0x20};
  ASSERT_EQ(UhfLockMemByEPC(port_, kPassword.data(), payload, epc.data(), &errorCode, 0), 1);

  const auto commands = peer_.WaitForCommands(3);
  ASSERT_EQ(commands.size(), 3u);
  EXPECT_EQ(Bytes(commands[0].begin(), commands[0].begin() + 11),
            (Bytes{0xAA, 0x19, 0x93, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x02, 0x30}));
  EXPECT_EQ(Bytes(commands[1].begin(), commands[1].begin() + 14),
            Join({{0xAA, 0x1B, 0x19}, kPassword, {0x03, 0x00, 0x02}, words}));
  EXPECT_EQ(Bytes(commands[2].begin(), commands[2].begin() + 10), Join({{0xAA, 0x17, 0x16}, kPassword, {0x00, 0x30, 0x20}}));
}

TEST_F(StreamsWire, MultiTagDataFramesAreTakenOneACall) {
  Bytes frames = WireReply(0x26, {0x01});
  for (uint8_t tag : {1, 2, 3}) {
    frames = Join({frames, WireReply(0x26, Join({{0x00, 0x00, 0x04, 0x11, 0x22, 0x33, tag}, Record(tag)}))});
  }
  peer_.ReplyInOrder({frames});
  const unsigned char wordPtr[1] = {0x00};
  const unsigned char options[2] = {0x00, 0x00};
  ASSERT_EQ(UhfStartReadDataFromMultiTag(port_, kPassword.data(), 2, wordPtr, 2, 0, options, 0), 1);
  Settle();
  for (uint8_t tag : {1, 2, 3}) {
    unsigned char frameStatus = 0xEE, dataLength[2] = {0xEE, 0xEE}, secondLength[2] = {0xEE, 0xEE};
    unsigned char recordLength = 0xEE;
    Bytes data(8, 0xEE), second(8, 0xEE), record(64, 0xEE);
    ASSERT_EQ(UhfGetDataFromMultiTag(port_, &frameStatus, dataLength, data.data(), secondLength, second.data(),
                                     record.data(), &recordLength),
              1);
    EXPECT_EQ(frameStatus, 0x00);
    EXPECT_EQ(Bytes(dataLength, dataLength + 2), (Bytes{0x00, 0x04}));
    EXPECT_EQ(Bytes(data.begin(), data.begin() + 5), (Bytes{0x11, 0x22, 0x33, tag, 0xEE}));
    EXPECT_EQ(secondLength[0], 0xEE);
    EXPECT_EQ(recordLength, 14);
    EXPECT_EQ(Bytes(record.begin(), record.begin() + 14), Record(tag));
  }
}

TEST_F(StreamsWire, AFilterListingOfThreeReports) {
  Bytes frames = WireReply(0x3A, {0x01});
  for (uint8_t index : {0, 1, 2}) {
    // index, record length 10, target, action, bank, pointer 0x20, 16 mask bits, 2 mask bytes, truncate
    frames = Join({frames, WireReply(0x3A, {0x00, index, 10, 0x04, 0x00, 0x01, 0x20, 16, 0xE2, index, 0x00})});
  }
  peer_.ReplyInOrder({frames});
  unsigned char errorCode = 0xEE;
  ASSERT_EQ(UhfStartGetFilterByIndex(port_, 0xFF, 0, &errorCode, 0), 1);
  EXPECT_EQ(errorCode, 0x01);
  Settle();
  for (uint8_t index : {0, 1, 2}) {
    unsigned char frameStatus = 0xEE;
    FilterRecord filter;
    std::memset(&filter, 0xEE, sizeof filter);
    ASSERT_EQ(UhfReadFilterByIndex(port_, &frameStatus, &filter), 1);
    EXPECT_EQ(frameStatus, 0x00);
    EXPECT_EQ(filter.filterIndex, index);
    EXPECT_EQ(filter.maskBitLength, 16);
    EXPECT_EQ(filter.mask[1], index);
    EXPECT_EQ(filter.mask[2], 0xEE);
    EXPECT_EQ(filter.truncate, 0x00);
  }
}

TEST_F(StreamsWire, MultiAntennaReportsNameTheirAntenna) {
  peer_.ReplyInOrder({Join({StuffedFrame(AntennaReplyFrame(1, 0x10, {0x01})),
                            StuffedFrame(AntennaReplyFrame(1, 0x10, Join({{0x00}, Record(1)}))),
                            StuffedFrame(AntennaReplyFrame(2, 0x10, Join({{0x00}, Record(2)})))})});
  ASSERT_EQ(UhfStartInventoryForMultiAnt(port_, 0, 0, 0), 1);
  Settle();
  for (uint8_t antenna : {1, 2}) {
    unsigned char got = 0xEE, length = 0xEE;
    Bytes record(64, 0xEE);
    ASSERT_EQ(UhfReadInventoryFromMultiAnt(port_, &got, &length, record.data()), 1);
    EXPECT_EQ(got, antenna);
    EXPECT_EQ(length, 14);
    EXPECT_EQ(Bytes(record.begin(), record.begin() + 14), Record(antenna));
  }
}

}  // namespace
