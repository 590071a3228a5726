// Multi-antenna inventory and read: the single-antenna requests, answered in antenna reply frames whose
// marker and antenna number stand before the code.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "fake_serial.h"
#include "quarn_api.h"

namespace {

using quarn::testing::Bytes;
using quarn::testing::CrcForm;
using quarn::testing::CountingRecord;
using quarn::testing::LengthPrefixed;
using quarn::testing::FakePort;
using quarn::testing::Join;
using quarn::testing::ReferenceCrc;
using quarn::testing::ReplyFrame;
using quarn::testing::StuffedFrame;

constexpr uint8_t kSentinel = 0xEE;
constexpr uint8_t kMarker = 0xFE;

const unsigned char kPassword[4] = {0x01, 0x02, 0x03, 0x04};
const unsigned char kWordPtr[1] = {0x05};
const unsigned char kOptions[2] = {0x10, 0x20};

// An unstuffed antenna reply frame with any marker, in the one-byte length form unless asked otherwise
// or too long for it; a CRC when code has bit 7.
Bytes AntennaFrame(uint8_t marker, uint8_t antenna, uint8_t code, const Bytes& payload, bool twoByteForm = false) {
  const bool withCrc = (code & 0x80) != 0;
  const Bytes inner = Join({{marker, antenna, code}, payload});
  const size_t count = 1 + inner.size() + (withCrc ? 2 : 0);
  Bytes body;
  if (twoByteForm || count > 127) {
    const size_t n = count + 1;
    body = {static_cast<uint8_t>(0x80 | (n >> 7)), static_cast<uint8_t>(n & 0x7F)};
  } else {
    body = {static_cast<uint8_t>(count)};
  }
  body = Join({body, inner});
  if (withCrc) body = Join({body, ReferenceCrc(body)});
  return Join({{0xAA}, body, {0x55}});
}

Bytes Wire(uint8_t antenna, uint8_t code, const Bytes& payload) {
  return StuffedFrame(AntennaFrame(kMarker, antenna, code, payload));
}

bool Holds(const unsigned char* buffer, size_t size, const Bytes& expected) {
  if (!std::equal(expected.begin(), expected.end(), buffer)) return false;
  return std::all_of(buffer + expected.size(), buffer + size, [](unsigned char b) { return b == kSentinel; });
}

// --- inventory start ---

TEST(MultiAntInventoryStart, SendsTheSingleAntennaRequest) {
  struct Case {
    int hasParam;
    int param;
    Bytes plain;
  };
  const Case cases[] = {
      {0, 0x22, {0xAA, 0x02, 0x10, 0x55}},
      {1, 0x22, {0xAA, 0x03, 0x11, 0x22, 0x55}},
      {0x100, 0x22, {0xAA, 0x02, 0x10, 0x55}},
      {0x201, 0x1AB, {0xAA, 0x03, 0x11, 0xAB, 0x55}},
  };
  for (const Case& c : cases) {
    for (int crcFlag : {0, 1}) {
      FakePort port;
      UhfStartInventoryForMultiAnt(port.handle(), c.hasParam, c.param, crcFlag);
      EXPECT_EQ(port.lastCommand(), crcFlag ? CrcForm(c.plain) : c.plain) << c.hasParam << " crc " << crcFlag;
    }
  }
  FakePort port;
  UhfStartInventoryForMultiAnt(port.handle(), 0, 0, 1);
  EXPECT_EQ(port.lastCommand(), (Bytes{0xAA, 0x04, 0x90, 0xAD, 0x8D, 0x55}));
}

struct InventoryAckCase {
  const char* name;
  int crcFlag;
  Bytes frame;
  int expected;
};

const InventoryAckCase kInventoryAcks[] = {
    {"StatusBitSevenNotTested", 0, AntennaFrame(kMarker, 0x01, 0x10, {0x81}), 1},
    {"StatusOne", 0, AntennaFrame(kMarker, 0x01, 0x10, {0x01}), 1},
    {"StatusZeroRefused", 0, AntennaFrame(kMarker, 0x01, 0x10, {0x00}), 0},
    {"StatusErrorBitOnlyRefused", 0, AntennaFrame(kMarker, 0x01, 0x10, {0x80}), 0},
    {"OtherStartCodeAccepted", 0, AntennaFrame(kMarker, 0x01, 0x11, {0x01}), 1},
    {"BitFiveMasked", 0, AntennaFrame(kMarker, 0x01, 0x30, {0x01}), 1},
    {"CrcCodeToPlainCommand", 0, AntennaFrame(kMarker, 0x01, 0x90, {0x01}), 1},
    {"PlainCodeToCrcCommand", 1, AntennaFrame(kMarker, 0x01, 0x11, {0x01}), 1},
    {"CrcModeBothWays", 1, AntennaFrame(kMarker, 0x01, 0xB1, {0x01}), 1},
    {"OtherCodeRefused", 0, AntennaFrame(kMarker, 0x01, 0x12, {0x01}), 0},
    {"MarkerRefused", 0, AntennaFrame(0xFD, 0x01, 0x10, {0x01}), 0},
    {"NoStatusRefused", 0, AntennaFrame(kMarker, 0x01, 0x10, {}), 0},
    {"PlainReplyFrameRefused", 0, ReplyFrame(0x10, {0x01, 0x01}), 0},
};

class MultiAntInventoryAck : public ::testing::TestWithParam<InventoryAckCase> {};

TEST_P(MultiAntInventoryAck, NeedsMarkerInventoryCodeAndStatusBitZero) {
  const InventoryAckCase& c = GetParam();
  FakePort port;
  port.ReplyToNextCommand(StuffedFrame(c.frame));
  EXPECT_EQ(UhfStartInventoryForMultiAnt(port.handle(), 0, 0, c.crcFlag), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Replies, MultiAntInventoryAck, ::testing::ValuesIn(kInventoryAcks),
                         [](const auto& info) { return std::string(info.param.name); });

// --- tag reports ---

struct InventoryOutputs {
  unsigned char antenna = kSentinel;
  unsigned char tagRecordLength = kSentinel;
  unsigned char tagRecord[80];

  InventoryOutputs() { std::fill(std::begin(tagRecord), std::end(tagRecord), kSentinel); }

  int Read(PortHandle port) { return UhfReadInventoryFromMultiAnt(port, &antenna, &tagRecordLength, tagRecord); }

  bool Untouched() const {
    return antenna == kSentinel && tagRecordLength == kSentinel && Holds(tagRecord, sizeof tagRecord, {});
  }
};

TEST(MultiAntReport, GivesTheAntennaAndTheRecordFromByteSix) {
  for (uint8_t code : {0x10, 0x11, 0x30, 0x90, 0xB1}) {
    FakePort port;
    port.Deliver(Wire(0x02, code, Join({{0x00}, CountingRecord(0x30), {0x77}})));
    InventoryOutputs out;
    ASSERT_EQ(out.Read(port.handle()), 1) << int{code};
    EXPECT_EQ(out.antenna, 0x02);
    EXPECT_EQ(out.tagRecordLength, 14);
    EXPECT_TRUE(Holds(out.tagRecord, sizeof out.tagRecord, CountingRecord(0x30))) << int{code};
  }
}

TEST(MultiAntReport, RefusedReportsWriteNothing) {
  struct Case {
    const char* name;
    Bytes frame;
  };
  const Case cases[] = {
      {"marker", AntennaFrame(0x00, 0x02, 0x10, Join({{0x00}, CountingRecord(0x30)}))},
      {"status 0x01", AntennaFrame(kMarker, 0x02, 0x10, Join({{0x01}, CountingRecord(0x30)}))},
      {"status 0x80", AntennaFrame(kMarker, 0x02, 0x10, Join({{0x80}, CountingRecord(0x30)}))},
      {"code", AntennaFrame(kMarker, 0x02, 0x12, Join({{0x00}, CountingRecord(0x30)}))},
      {"record cut short", AntennaFrame(kMarker, 0x02, 0x10, {0x00, 0x30, 0x00, 0x01})},
      {"no record", AntennaFrame(kMarker, 0x02, 0x10, {0x00})},
      {"plain reply frame", ReplyFrame(0x10, Join({{0x00}, CountingRecord(0x30)}))},
  };
  for (const Case& c : cases) {
    FakePort port;
    port.Deliver(StuffedFrame(c.frame));
    InventoryOutputs out;
    EXPECT_EQ(out.Read(port.handle()), 0) << c.name;
    EXPECT_TRUE(out.Untouched()) << c.name;
  }
  FakePort silent;
  InventoryOutputs out;
  EXPECT_EQ(out.Read(silent.handle()), 0);
  EXPECT_TRUE(out.Untouched());
}

// The antenna receiver ends the reception at its limit in every state, not only while hunting.
TEST(MultiAntReport, AReportCompletedAfter800MsIsRefused) {
  FakePort port;
  port.Deliver(Wire(0x01, 0x10, Join({{0x00}, CountingRecord(0x00)})), 0, 900);
  InventoryOutputs out;
  EXPECT_EQ(out.Read(port.handle()), 0);
  EXPECT_TRUE(out.Untouched());
}

TEST(MultiAntInventoryStream, ReportsNameTheirAntennasOneFrameAReadAndNothingIsSent) {
  FakePort port;
  port.ReplyToNextCommand(Join({Wire(0x01, 0x10, {0x01}), Wire(0x01, 0x10, Join({{0x00}, CountingRecord(0x08)})),
                                Wire(0x02, 0x10, Join({{0x00}, CountingRecord(0x30)}))}));
  ASSERT_EQ(UhfStartInventoryForMultiAnt(port.handle(), 0, 0, 0), 1);
  const int purges = port.purgeCount();
  InventoryOutputs first;
  ASSERT_EQ(first.Read(port.handle()), 1);
  EXPECT_EQ(first.antenna, 0x01);
  EXPECT_EQ(first.tagRecordLength, 4);
  InventoryOutputs second;
  ASSERT_EQ(second.Read(port.handle()), 1);
  EXPECT_EQ(second.antenna, 0x02);
  EXPECT_EQ(second.tagRecordLength, 14);
  InventoryOutputs none;
  EXPECT_EQ(none.Read(port.handle()), 0);
  EXPECT_EQ(port.commands().size(), 1u);
  EXPECT_EQ(port.purgeCount(), purges);
}

// --- multi-antenna read start ---

TEST(MultiAntReadStart, SendsTheMultiTagRequestByteForByte) {
  const unsigned char longPtr[2] = {0x80, 0x01};
  const unsigned char longOptions[6] = {0x01, 0x85, 0x00, 0x04, 0x05, 0x06};
  for (int crcFlag : {0, 1}) {
    FakePort single;
    FakePort multi;
    UhfStartReadDataFromMultiTag(single.handle(), kPassword, 3, kWordPtr, 2, 0, kOptions, crcFlag);
    UhfStartReadDataForMultiAnt(multi.handle(), kPassword, 3, kWordPtr, 2, 0, kOptions, crcFlag);
    EXPECT_EQ(multi.lastCommand(), single.lastCommand());
    UhfStartReadDataFromMultiTag(single.handle(), kPassword, 3, longPtr, 2, 1, longOptions, crcFlag);
    UhfStartReadDataForMultiAnt(multi.handle(), kPassword, 3, longPtr, 2, 1, longOptions, crcFlag);
    EXPECT_EQ(multi.lastCommand(), single.lastCommand());
  }
  FakePort port;
  UhfStartReadDataForMultiAnt(port.handle(), kPassword, 3, kWordPtr, 2, 0, kOptions, 0);
  EXPECT_EQ(port.lastCommand(),
            (Bytes{0xAA, 0x0C, 0x26, 0x01, 0x02, 0x03, 0x04, 0x03, 0x05, 0x02, 0x00, 0x10, 0x20, 0x55}));
}

TEST(MultiAntReadStart, NeedsMarkerTheCodeSentAndStatusOne) {
  struct Case {
    const char* name;
    int crcFlag;
    Bytes frame;
    int expected;
  };
  const Case cases[] = {
      {"plain", 0, AntennaFrame(kMarker, 0x01, 0x26, {0x01}), 1},
      {"crc", 1, AntennaFrame(kMarker, 0x03, 0xA6, {0x01}), 1},
      {"status 0x00", 0, AntennaFrame(kMarker, 0x01, 0x26, {0x00}), 0},
      {"status 0x81", 0, AntennaFrame(kMarker, 0x01, 0x26, {0x81}), 0},
      {"marker", 0, AntennaFrame(0xFD, 0x01, 0x26, {0x01}), 0},
      {"crc code to plain command", 0, AntennaFrame(kMarker, 0x01, 0xA6, {0x01}), 0},
      {"plain code to crc command", 1, AntennaFrame(kMarker, 0x01, 0x26, {0x01}), 0},
      {"no status", 0, AntennaFrame(kMarker, 0x01, 0x26, {}), 0},
      {"plain reply frame", 0, ReplyFrame(0x26, {0x01}), 0},
  };
  for (const Case& c : cases) {
    FakePort port;
    port.ReplyToNextCommand(StuffedFrame(c.frame));
    EXPECT_EQ(UhfStartReadDataForMultiAnt(port.handle(), kPassword, 3, kWordPtr, 2, 0, kOptions, c.crcFlag),
              c.expected)
        << c.name;
  }
}

// 800 ms, not the 10000 ms of the single-antenna start, and the whole frame must be in by then.
TEST(MultiAntReadStart, TheAcknowledgementMustBeCompleteWithin800Ms) {
  struct Case {
    uint32_t gapMs;
    uint32_t firstDelayMs;
    int expected;
  };
  const Case cases[] = {{0, 700, 1}, {0, 900, 0}, {0, 5000, 0}, {40, 700, 0}};
  for (const Case& c : cases) {
    FakePort port;
    port.ReplyToNextCommand(Wire(0x01, 0x26, {0x01}), c.gapMs, c.firstDelayMs);
    EXPECT_EQ(UhfStartReadDataForMultiAnt(port.handle(), kPassword, 3, kWordPtr, 2, 0, kOptions, 0), c.expected)
        << c.firstDelayMs << " + " << c.gapMs << " a byte";
  }
}

// --- multi-antenna data frames ---

struct DataOutputs {
  unsigned char antenna = kSentinel;
  unsigned char frameStatus = kSentinel;
  unsigned char dataLength[2] = {kSentinel, kSentinel};
  unsigned char data[600];
  unsigned char secondDataLength[2] = {kSentinel, kSentinel};
  unsigned char secondData[600];
  unsigned char tagRecord[80];
  unsigned char tagRecordLength = kSentinel;

  DataOutputs() {
    std::fill(std::begin(data), std::end(data), kSentinel);
    std::fill(std::begin(secondData), std::end(secondData), kSentinel);
    std::fill(std::begin(tagRecord), std::end(tagRecord), kSentinel);
  }

  int Get(PortHandle port) {
    return UhfGetDataFromMultiAnt(port, &antenna, &frameStatus, dataLength, data, secondDataLength, secondData,
                                  tagRecord, &tagRecordLength);
  }

  bool Untouched() const {
    return antenna == kSentinel && frameStatus == kSentinel && tagRecordLength == kSentinel &&
           Holds(dataLength, 2, {}) && Holds(data, sizeof data, {}) && Holds(secondDataLength, 2, {}) &&
           Holds(secondData, sizeof secondData, {}) && Holds(tagRecord, sizeof tagRecord, {});
  }
};

struct Form {
  const char* name;
  uint8_t code;
  bool twoByteForm;
};

// Short CRC-mode frames never take the two-byte form; the long ones are below.
const Form kForms[] = {
    {"Plain", 0x26, false},
    {"Crc", 0xA6, false},
    {"PlainTwoByteLength", 0x26, true},
};

class MultiAntDataFrame : public ::testing::TestWithParam<Form> {
 protected:
  int Receive(const Bytes& payload, uint8_t marker = kMarker) {
    port_.Deliver(StuffedFrame(AntennaFrame(marker, 0x03, GetParam().code, payload, GetParam().twoByteForm)));
    return out_.Get(port_.handle());
  }

  FakePort port_;
  DataOutputs out_;
};

TEST_P(MultiAntDataFrame, OneBlockWithTheAntennaNumber) {
  ASSERT_EQ(Receive(Join({{0x00}, LengthPrefixed({0x11, 0x22, 0x33, 0x44}), CountingRecord(0x30)})), 1);
  EXPECT_EQ(out_.antenna, 0x03);
  EXPECT_EQ(out_.frameStatus, 0x00);
  EXPECT_TRUE(Holds(out_.dataLength, 2, {0x00, 0x04}));
  EXPECT_TRUE(Holds(out_.data, sizeof out_.data, {0x11, 0x22, 0x33, 0x44}));
  EXPECT_TRUE(Holds(out_.secondDataLength, 2, {}));
  EXPECT_TRUE(Holds(out_.secondData, sizeof out_.secondData, {}));
  EXPECT_EQ(out_.tagRecordLength, 14);
  EXPECT_TRUE(Holds(out_.tagRecord, sizeof out_.tagRecord, CountingRecord(0x30)));
}

TEST_P(MultiAntDataFrame, TwoBlocksWithTheAntennaNumber) {
  ASSERT_EQ(Receive(Join({{0x01}, LengthPrefixed({0xAA}), LengthPrefixed({0x55, 0xFF}), CountingRecord(0x08)})), 1);
  EXPECT_EQ(out_.antenna, 0x03);
  EXPECT_EQ(out_.frameStatus, 0x01);
  EXPECT_TRUE(Holds(out_.dataLength, 2, {0x00, 0x01}));
  EXPECT_TRUE(Holds(out_.data, sizeof out_.data, {0xAA}));
  EXPECT_TRUE(Holds(out_.secondDataLength, 2, {0x00, 0x02}));
  EXPECT_TRUE(Holds(out_.secondData, sizeof out_.secondData, {0x55, 0xFF}));
  EXPECT_TRUE(Holds(out_.tagRecord, sizeof out_.tagRecord, CountingRecord(0x08)));
}

TEST_P(MultiAntDataFrame, TheMarkerIsNotLookedAt) {
  ASSERT_EQ(Receive(Join({{0x00}, LengthPrefixed({}), CountingRecord(0x00)}), 0x00), 1);
  EXPECT_EQ(out_.antenna, 0x03);
  EXPECT_TRUE(Holds(out_.dataLength, 2, {0x00, 0x00}));
  EXPECT_TRUE(Holds(out_.data, sizeof out_.data, {}));
}

TEST_P(MultiAntDataFrame, OtherStatusWritesNothingNotEvenTheAntenna) {
  for (uint8_t status : {0x02, 0x81}) {
    EXPECT_EQ(Receive(Join({{status}, LengthPrefixed({0x11}), CountingRecord(0x00)})), 1) << int{status};
    EXPECT_TRUE(out_.Untouched()) << int{status};
  }
}

TEST_P(MultiAntDataFrame, FramesRunningPastTheirEndWriteNothing) {
  const Bytes payloads[] = {
      {},
      Join({{0x00}, {0x00, 0x03, 0x11}}),
      Join({{0x00}, LengthPrefixed({0x11})}),
      Join({{0x00}, LengthPrefixed({0x11}), {0x30, 0x00}}),
      Join({{0x01}, LengthPrefixed({0x11}), {0x00, 0x09, 0x22}}),
  };
  for (const Bytes& payload : payloads) {
    EXPECT_EQ(Receive(payload), 0) << ::testing::PrintToString(payload);
    EXPECT_TRUE(out_.Untouched()) << ::testing::PrintToString(payload);
  }
}

INSTANTIATE_TEST_SUITE_P(Forms, MultiAntDataFrame, ::testing::ValuesIn(kForms),
                         [](const auto& info) { return std::string(info.param.name); });

Bytes Counting(size_t n, uint8_t from) {
  Bytes bytes(n);
  for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(from + i);
  return bytes;
}

TEST(MultiAntData, LongFramesDecodeOnePositionLaterInBothModes) {
  const Bytes first = Counting(150, 0x10);
  const Bytes second = Counting(140, 0x90);
  for (uint8_t code : {0x26, 0xA6}) {
    FakePort port;
    port.Deliver(StuffedFrame(AntennaFrame(kMarker, 0x04, code, Join({{0x01}, LengthPrefixed(first), LengthPrefixed(second), CountingRecord(0x30)}))));
    DataOutputs out;
    ASSERT_EQ(out.Get(port.handle()), 1) << int{code};
    EXPECT_EQ(out.antenna, 0x04);
    EXPECT_EQ(out.frameStatus, 0x01);
    EXPECT_TRUE(Holds(out.dataLength, 2, {0x00, 0x96}));
    EXPECT_TRUE(Holds(out.data, sizeof out.data, first));
    EXPECT_TRUE(Holds(out.secondDataLength, 2, {0x00, 0x8C}));
    EXPECT_TRUE(Holds(out.secondData, sizeof out.secondData, second));
    EXPECT_TRUE(Holds(out.tagRecord, sizeof out.tagRecord, CountingRecord(0x30)));
  }
}

TEST(MultiAntData, LongFramesRunningPastTheirEndWriteNothing) {
  const Bytes block = Counting(200, 0x00);
  const Bytes payloads[] = {
      Join({{0x00}, {0x00, 0xC9}, block, CountingRecord(0x00)}),
      Join({{0x01}, LengthPrefixed(block), {0x01, 0x00}, block}),
      Join({{0x00}, LengthPrefixed(block), {0x30, 0x00}}),
  };
  for (uint8_t code : {0x26, 0xA6}) {
    for (const Bytes& payload : payloads) {
      FakePort port;
      port.Deliver(StuffedFrame(AntennaFrame(kMarker, 0x04, code, payload)));
      DataOutputs out;
      EXPECT_EQ(out.Get(port.handle()), 0) << int{code};
      EXPECT_TRUE(out.Untouched()) << int{code};
    }
  }
}

TEST(MultiAntData, RefusesOtherCodesAndFramesWithoutThePrefix) {
  const Bytes frames[] = {
      AntennaFrame(kMarker, 0x01, 0x13, Join({{0x00}, LengthPrefixed({0x11}), CountingRecord(0x00)})),
      AntennaFrame(kMarker, 0x01, 0x25, Join({{0x00}, LengthPrefixed({0x11}), CountingRecord(0x00)})),
      ReplyFrame(0x26, Join({{0x00}, LengthPrefixed({0x11}), CountingRecord(0x00)})),
  };
  for (const Bytes& frame : frames) {
    FakePort port;
    port.Deliver(StuffedFrame(frame));
    DataOutputs out;
    EXPECT_EQ(out.Get(port.handle()), 0);
    EXPECT_TRUE(out.Untouched());
  }
}

TEST(MultiAntData, WaitsUpToTheTagAccessLimit) {
  struct Case {
    uint32_t firstDelayMs;
    int expected;
  };
  for (const Case& c : {Case{9000, 1}, Case{10500, 0}}) {
    FakePort port;
    port.Deliver(Wire(0x01, 0x26, Join({{0x00}, LengthPrefixed({0x11}), CountingRecord(0x00)})), 0, c.firstDelayMs);
    DataOutputs out;
    EXPECT_EQ(out.Get(port.handle()), c.expected) << c.firstDelayMs;
  }
}

TEST(MultiAntDataStream, EachReadConsumesOneFrameAndACommandDiscardsTheRest) {
  FakePort port;
  port.ReplyToNextCommand(Join({Wire(0x01, 0x26, {0x01}), Wire(0x01, 0x26, Join({{0x00}, LengthPrefixed({0x01}), CountingRecord(0x00)})),
                                Wire(0x02, 0x26, Join({{0x00}, LengthPrefixed({0x02}), CountingRecord(0x00)})),
                                Wire(0x01, 0x26, Join({{0x00}, LengthPrefixed({0x03}), CountingRecord(0x00)}))}));
  ASSERT_EQ(UhfStartReadDataForMultiAnt(port.handle(), kPassword, 3, kWordPtr, 1, 0, kOptions, 0), 1);
  DataOutputs first;
  ASSERT_EQ(first.Get(port.handle()), 1);
  EXPECT_EQ(first.antenna, 0x01);
  EXPECT_TRUE(Holds(first.data, sizeof first.data, {0x01}));
  DataOutputs second;
  ASSERT_EQ(second.Get(port.handle()), 1);
  EXPECT_EQ(second.antenna, 0x02);
  EXPECT_TRUE(Holds(second.data, sizeof second.data, {0x02}));
  EXPECT_EQ(port.commands().size(), 1u);

  // The third frame is still waiting when the next command purges the input.
  port.ReplyToNextCommand(Wire(0x01, 0x10, {0x01}));
  ASSERT_EQ(UhfStartInventoryForMultiAnt(port.handle(), 0, 0, 0), 1);
  DataOutputs none;
  EXPECT_EQ(none.Get(port.handle()), 0);
  EXPECT_TRUE(none.Untouched());
}

}  // namespace
