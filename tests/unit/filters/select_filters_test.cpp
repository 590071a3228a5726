// Select filters: the record's wire form, the short commands' frames, the errorCode rules, and the
// decoding of the report frames of a filter listing.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <functional>

#include "fake_serial.h"
#include "quarn_api.h"

namespace {

using quarn::testing::Bytes;
using quarn::testing::CrcForm;
using quarn::testing::FakePort;
using quarn::testing::Join;
using quarn::testing::ReferenceCrc;
using quarn::testing::ReplyFrame;
using quarn::testing::StuffedFrame;
using quarn::testing::WireReply;

constexpr uint8_t kSentinel = 0xEE;

// The record is the caller's own memory layout: every field a byte, in order, no padding.
static_assert(sizeof(FilterRecord) == 41, "FilterRecord is 41 bytes");
static_assert(offsetof(FilterRecord, filterIndex) == 0);
static_assert(offsetof(FilterRecord, recordLength) == 1);
static_assert(offsetof(FilterRecord, target) == 2);
static_assert(offsetof(FilterRecord, action) == 3);
static_assert(offsetof(FilterRecord, memBank) == 4);
static_assert(offsetof(FilterRecord, pointer) == 5);
static_assert(offsetof(FilterRecord, maskBitLength) == 7);
static_assert(offsetof(FilterRecord, mask) == 8);
static_assert(offsetof(FilterRecord, truncate) == 40);

FilterRecord SentinelRecord() {
  FilterRecord record;
  std::memset(&record, kSentinel, sizeof record);
  return record;
}

bool SameRecord(const FilterRecord& a, const FilterRecord& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Index 1, length 10, target 4, action 0, bank 1, pointer 0x20, 12 mask bits 30 00, truncate 0.
FilterRecord TwelveBitRecord() {
  FilterRecord record = SentinelRecord();
  record.filterIndex = 0x01;
  record.recordLength = 0x0A;
  record.target = 0x04;
  record.action = 0x00;
  record.memBank = 0x01;
  record.pointer[0] = 0x20;
  record.pointer[1] = 0x99;
  record.maskBitLength = 12;
  record.mask[0] = 0x30;
  record.mask[1] = 0x00;
  record.truncate = 0x00;
  return record;
}

// --- UhfAddFilter's request ---

TEST(AddFilterRequest, SendsOnlyTheBytesTheRecordUses) {
  const Bytes plain{0xAA, 0x0C, 0x38, 0x01, 0x0A, 0x04, 0x00, 0x01, 0x20, 0x0C, 0x30, 0x00, 0x00, 0x55};
  for (int crcFlag : {0, 1}) {
    FakePort port;
    unsigned char errorCode = kSentinel;
    const FilterRecord record = TwelveBitRecord();
    UhfAddFilter(port.handle(), &record, &errorCode, crcFlag);
    EXPECT_EQ(port.lastCommand(), crcFlag ? CrcForm(plain) : plain) << crcFlag;
  }
}

TEST(AddFilterRequest, SendsTheSecondPointerByteWhenTheFirstHasBitSeven) {
  FakePort port;
  unsigned char errorCode = kSentinel;
  FilterRecord record = TwelveBitRecord();
  record.recordLength = 0x0B;
  record.pointer[0] = 0x81;
  record.pointer[1] = 0x02;
  UhfAddFilter(port.handle(), &record, &errorCode, 0);
  EXPECT_EQ(port.lastCommand(),
            (Bytes{0xAA, 0x0D, 0x38, 0x01, 0x0B, 0x04, 0x00, 0x01, 0x81, 0x02, 0x0C, 0x30, 0x00, 0x00, 0x55}));
}

struct MaskCase {
  uint8_t maskBitLength;
  size_t maskBytes;
};

// Whole bytes and one more for a partly used last byte; the unused bits of that byte go out as they are.
TEST(AddFilterRequest, SendsCeilOfMaskBitsOverEightMaskBytesThenTruncate) {
  const MaskCase cases[] = {{0, 0}, {1, 1}, {7, 1}, {8, 1}, {9, 2}, {12, 2}, {248, 31}, {249, 32}, {255, 32}};
  for (const MaskCase& c : cases) {
    FakePort port;
    unsigned char errorCode = kSentinel;
    FilterRecord record = TwelveBitRecord();
    record.maskBitLength = c.maskBitLength;
    for (size_t i = 0; i < sizeof record.mask; ++i) record.mask[i] = static_cast<uint8_t>(0xC0 + i);
    record.truncate = 0x5A;
    UhfAddFilter(port.handle(), &record, &errorCode, 0);
    Bytes expected{0xAA, static_cast<uint8_t>(10 + c.maskBytes), 0x38, 0x01, 0x0A, 0x04, 0x00, 0x01, 0x20,
                   c.maskBitLength};
    expected.reserve(expected.size() + c.maskBytes + 2);
    expected.insert(expected.end(), record.mask, record.mask + c.maskBytes);
    expected.insert(expected.end(), {0x5A, 0x55});
    EXPECT_EQ(port.lastCommand(), expected) << int{c.maskBitLength};
  }
}

// --- the short commands' requests ---

TEST(FilterIndexRequests, SendTheLowBytesOfIndexAndOption) {
  struct Case {
    const char* name;
    std::function<int(PortHandle, unsigned char*, int)> call;
    Bytes plain;
  };
  const Case cases[] = {
      {"Delete", [](PortHandle p, unsigned char* e, int c) { return UhfDeleteFilterByIndex(p, 0x105, e, c); },
       {0xAA, 0x03, 0x39, 0x05, 0x55}},
      {"StartGet", [](PortHandle p, unsigned char* e, int c) { return UhfStartGetFilterByIndex(p, 0x102, 0x2FF, e, c); },
       {0xAA, 0x04, 0x3A, 0x02, 0xFF, 0x55}},
      {"Select", [](PortHandle p, unsigned char* e, int c) { return UhfSelectFilterByIndex(p, 3, 0x155, e, c); },
       {0xAA, 0x04, 0x3B, 0x03, 0x55, 0x55}},
  };
  for (const Case& c : cases) {
    for (int crcFlag : {0, 1}) {
      FakePort port;
      unsigned char errorCode = kSentinel;
      c.call(port.handle(), &errorCode, crcFlag);
      EXPECT_EQ(port.lastCommand(), crcFlag ? CrcForm(c.plain) : c.plain) << c.name << " crcFlag " << crcFlag;
    }
  }
}

TEST(FilterIndexRequests, DeleteOfIndexZeroOnTheWire) {
  FakePort port;
  unsigned char errorCode = kSentinel;
  UhfDeleteFilterByIndex(port.handle(), 0, &errorCode, 0);
  EXPECT_EQ(port.lastCommand(), (Bytes{0xAA, 0x03, 0x39, 0x00, 0x55}));
  UhfDeleteFilterByIndex(port.handle(), 0, &errorCode, 1);
  EXPECT_EQ(port.lastCommand(), (Bytes{0xAA, 0x05, 0xB9, 0x00, 0x7C, 0x06, 0x55}));
  // The select's option byte 0x55 goes out escaped.
  UhfSelectFilterByIndex(port.handle(), 0, 0x55, &errorCode, 0);
  const Bytes wire(port.written().end() - 7, port.written().end());
  EXPECT_EQ(wire, (Bytes{0xAA, 0x04, 0x3B, 0x00, 0xFF, 0x55, 0x55}));
}

// --- errorCode and result ---

using FilterCall = std::function<int(PortHandle, unsigned char* errorCode, int crcFlag)>;

const FilterRecord kRecord = TwelveBitRecord();

struct ErrorCase {
  const char* name;
  FilterCall call;
  uint8_t code;  // plain code; the reply echoes it with bit 7 when the case runs in CRC mode
};

const ErrorCase kCommands[] = {
    {"Add", [](PortHandle p, unsigned char* e, int c) { return UhfAddFilter(p, &kRecord, e, c); }, 0x38},
    {"Delete", [](PortHandle p, unsigned char* e, int c) { return UhfDeleteFilterByIndex(p, 1, e, c); }, 0x39},
    {"StartGet", [](PortHandle p, unsigned char* e, int c) { return UhfStartGetFilterByIndex(p, 1, 0, e, c); }, 0x3A},
    {"Select", [](PortHandle p, unsigned char* e, int c) { return UhfSelectFilterByIndex(p, 1, 0, e, c); }, 0x3B},
};

struct Outcome {
  int result;
  uint8_t errorCode;
};

Outcome Exchange(const ErrorCase& c, int crcFlag, const Bytes& wireReply) {
  FakePort port;
  if (!wireReply.empty()) port.ReplyToNextCommand(wireReply);
  unsigned char errorCode = kSentinel;
  const int result = c.call(port.handle(), &errorCode, crcFlag);
  return {result, errorCode};
}

uint8_t SuccessStatus(const ErrorCase& c) { return c.code == 0x3A ? 0x01 : 0x00; }

TEST(FilterErrorCode, SuccessReportsTheSuccessStatusItselfInBothModes) {
  for (const ErrorCase& c : kCommands) {
    for (int crcFlag : {0, 1}) {
      const uint8_t code = static_cast<uint8_t>(crcFlag ? c.code | 0x80 : c.code);
      const Outcome o = Exchange(c, crcFlag, WireReply(code, {SuccessStatus(c)}));
      EXPECT_EQ(o.result, 1) << c.name << crcFlag;
      EXPECT_EQ(o.errorCode, SuccessStatus(c)) << c.name << crcFlag;
    }
  }
}

TEST(FilterErrorCode, ARefusingStatusIsReportedAsItStands) {
  for (const ErrorCase& c : kCommands) {
    const uint8_t other = SuccessStatus(c) == 0x01 ? 0x00 : 0x01;
    for (uint8_t status : {other, uint8_t{0x05}, uint8_t{0x80}, uint8_t{0xFF}}) {
      const Outcome o = Exchange(c, 0, WireReply(c.code, {status, 0x00}));
      EXPECT_EQ(o.result, 0) << c.name << int{status};
      EXPECT_EQ(o.errorCode, status) << c.name << int{status};
    }
  }
}

// UhfAddFilter counts a reply to another command as no usable reply; the short commands report its status.
TEST(FilterErrorCode, AReplyEchoingAnotherCodeFails) {
  for (const ErrorCase& c : kCommands) {
    const bool reportsStatus = c.code != 0x38;
    const Bytes replies[] = {WireReply(0x12, {SuccessStatus(c)}), WireReply(c.code | 0x80, {SuccessStatus(c)})};
    for (const Bytes& reply : replies) {
      const Outcome o = Exchange(c, 0, reply);
      EXPECT_EQ(o.result, 0) << c.name;
      EXPECT_EQ(o.errorCode, reportsStatus ? SuccessStatus(c) : 0xFF) << c.name;
    }
    // A CRC-mode command answered in plain mode.
    const Outcome plainToCrc = Exchange(c, 1, WireReply(c.code, {0x07}));
    EXPECT_EQ(plainToCrc.result, 0) << c.name;
    EXPECT_EQ(plainToCrc.errorCode, reportsStatus ? 0x07 : 0xFF) << c.name;
  }
}

TEST(FilterErrorCode, NoUsableReplyReports0xFF) {
  for (const ErrorCase& c : kCommands) {
    EXPECT_EQ(Exchange(c, 0, {}).errorCode, 0xFF) << c.name << " silence";
    EXPECT_EQ(Exchange(c, 0, StuffedFrame({0xAA, 0x02, c.code, 0x55})).errorCode, 0xFF) << c.name << " no status";
    EXPECT_EQ(Exchange(c, 0, StuffedFrame({0xAA, 0x03, c.code, 0x00, 0x56})).errorCode, 0xFF) << c.name << " bad tail";

    FakePort port;
    port.FailWriteNumber(1);
    port.ReplyToNextCommand(WireReply(c.code, {SuccessStatus(c)}));
    unsigned char errorCode = kSentinel;
    EXPECT_EQ(c.call(port.handle(), &errorCode, 0), 0) << c.name;
    EXPECT_EQ(errorCode, 0xFF) << c.name << " send failure";
  }
}

// --- filter reports ---

struct Report {
  FakePort port;
  unsigned char frameStatus = kSentinel;
  FilterRecord filter = SentinelRecord();

  int Read(const Bytes& wire) {
    port.Deliver(wire);
    return UhfReadFilterByIndex(port.handle(), &frameStatus, &filter);
  }
};

TEST(FilterReport, DecodesAWellFormedReportAndKeepsWhatTheReportDoesNotCarry) {
  Report r;
  ASSERT_EQ(r.Read(WireReply(0x3A, {0x00, 0x01, 0x0A, 0x04, 0x00, 0x01, 0x20, 0x0C, 0x30, 0x00, 0x07})), 1);
  EXPECT_EQ(r.frameStatus, 0x00);
  FilterRecord expected = SentinelRecord();
  expected.filterIndex = 0x01;
  expected.recordLength = 0x0A;
  expected.target = 0x04;
  expected.action = 0x00;
  expected.memBank = 0x01;
  expected.pointer[0] = 0x20;
  expected.maskBitLength = 0x0C;
  expected.mask[0] = 0x30;
  expected.mask[1] = 0x00;
  expected.truncate = 0x07;
  EXPECT_TRUE(SameRecord(r.filter, expected));
}

TEST(FilterReport, DecodesTwoPointerBytesAndAFullMask) {
  Bytes mask(32);
  for (size_t i = 0; i < mask.size(); ++i) mask[i] = static_cast<uint8_t>(0xA0 + i);
  Report r;
  ASSERT_EQ(r.Read(WireReply(0xBA, Join({{0x01, 0x03, 0x29, 0x01, 0x02, 0x03, 0x81, 0x05, 0xFF}, mask, {0x09}}))), 1);
  EXPECT_EQ(r.frameStatus, 0x01);
  EXPECT_EQ(r.filter.pointer[0], 0x81);
  EXPECT_EQ(r.filter.pointer[1], 0x05);
  EXPECT_EQ(r.filter.maskBitLength, 0xFF);
  EXPECT_TRUE(std::equal(mask.begin(), mask.end(), r.filter.mask));
  EXPECT_EQ(r.filter.truncate, 0x09);
}

TEST(FilterReport, TakesTruncateFromTheByteRecordLengthMarksAsLast) {
  Report r;
  // One mask byte would put truncate at data byte 8; recordLength 11 points to data byte 10.
  ASSERT_EQ(r.Read(WireReply(0x3A, {0x00, 0x02, 0x0B, 0x00, 0x00, 0x01, 0x10, 0x08, 0xAB, 0x61, 0x62, 0x63})), 1);
  EXPECT_EQ(r.filter.mask[0], 0xAB);
  EXPECT_EQ(r.filter.mask[1], kSentinel);
  EXPECT_EQ(r.filter.truncate, 0x63);
}

TEST(FilterReport, RefusedReportsLeaveTheRecordAndReportTheirStatus) {
  struct Case {
    const char* name;
    Bytes frame;
    uint8_t frameStatus;
  };
  const Case cases[] = {
      {"status 0x02", ReplyFrame(0x3A, {0x02, 0x01, 0x0A, 0x04, 0x00, 0x01, 0x20, 0x0C, 0x30, 0x00, 0x07}), 0x02},
      {"status 0x80", ReplyFrame(0x3A, {0x80, 0x01, 0x0A, 0x04, 0x00, 0x01, 0x20, 0x0C, 0x30, 0x00, 0x07}), 0x80},
      {"length byte 8", ReplyFrame(0x3A, {0x00, 0x01, 0x08, 0x00, 0x00, 0x01}), 0x00},
      {"pointer cut off", ReplyFrame(0x3A, {0x01, 0x01, 0x08, 0x00, 0x00, 0x01, 0x81}), 0x01},
      {"no mask length", ReplyFrame(0x3A, {0x00, 0x01, 0x08, 0x00, 0x00, 0x01, 0x20}), 0x00},
      {"mask past the frame", ReplyFrame(0x3A, {0x00, 0x01, 0x29, 0x00, 0x00, 0x01, 0x20, 0xFF, 0x01, 0x02}), 0x00},
      {"truncate past the frame",
       ReplyFrame(0x3A, {0x00, 0x01, 0x20, 0x00, 0x00, 0x01, 0x20, 0x08, 0x30, 0x07}), 0x00},
      {"record length 0", ReplyFrame(0x3A, {0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x20, 0x08, 0x30, 0x07}), 0x00},
      {"wrong code", ReplyFrame(0x3B, {0x00, 0x01, 0x0A, 0x04, 0x00, 0x01, 0x20, 0x0C, 0x30, 0x00, 0x07}), 0xFF},
      {"no status", {0xAA, 0x02, 0x3A, 0x55}, 0xFF},
      {"bad CRC", {0xAA, 0x05, 0xBA, 0x00, 0x00, 0x00, 0x55}, 0xFF},
  };
  for (const Case& c : cases) {
    Report r;
    EXPECT_EQ(r.Read(StuffedFrame(c.frame)), 0) << c.name;
    EXPECT_EQ(r.frameStatus, c.frameStatus) << c.name;
    EXPECT_TRUE(SameRecord(r.filter, SentinelRecord())) << c.name;
  }
  Report silent;
  EXPECT_EQ(UhfReadFilterByIndex(silent.port.handle(), &silent.frameStatus, &silent.filter), 0);
  EXPECT_EQ(silent.frameStatus, 0xFF);
  EXPECT_TRUE(SameRecord(silent.filter, SentinelRecord()));
}

TEST(FilterListing, EachReadTakesOneReportAndSendsNothing) {
  FakePort port;
  Bytes replies = WireReply(0x3A, {0x01});
  for (uint8_t index : {1, 2, 3}) {
    replies = Join({replies, WireReply(0x3A, {0x00, index, 0x08, 0x00, 0x00, 0x01, 0x00, 0x00, index})});
  }
  port.ReplyToNextCommand(replies);
  unsigned char errorCode = kSentinel;
  ASSERT_EQ(UhfStartGetFilterByIndex(port.handle(), 0, 0, &errorCode, 0), 1);
  const int purges = port.purgeCount();
  for (uint8_t index : {1, 2, 3}) {
    unsigned char frameStatus = kSentinel;
    FilterRecord filter = SentinelRecord();
    ASSERT_EQ(UhfReadFilterByIndex(port.handle(), &frameStatus, &filter), 1) << int{index};
    EXPECT_EQ(filter.filterIndex, index);
    EXPECT_EQ(filter.truncate, index);
    EXPECT_EQ(filter.mask[0], kSentinel);
  }
  unsigned char frameStatus = kSentinel;
  FilterRecord filter = SentinelRecord();
  EXPECT_EQ(UhfReadFilterByIndex(port.handle(), &frameStatus, &filter), 0);
  EXPECT_EQ(frameStatus, 0xFF);
  EXPECT_EQ(port.commands().size(), 1u);
  EXPECT_EQ(port.purgeCount(), purges);
}

TEST(FilterListing, ACommandSentMeanwhileDiscardsTheWaitingReports) {
  FakePort port;
  port.Deliver(WireReply(0x3A, {0x00, 0x01, 0x08, 0x00, 0x00, 0x01, 0x00, 0x00, 0x01}));
  port.ReplyToNextCommand(WireReply(0x3B, {0x00}));
  unsigned char errorCode = kSentinel;
  ASSERT_EQ(UhfSelectFilterByIndex(port.handle(), 1, 0, &errorCode, 0), 1);
  unsigned char frameStatus = kSentinel;
  FilterRecord filter = SentinelRecord();
  EXPECT_EQ(UhfReadFilterByIndex(port.handle(), &frameStatus, &filter), 0);
  EXPECT_TRUE(SameRecord(filter, SentinelRecord()));
}

}  // namespace
