// The value types: hex text, tag records and their size rule, passwords, lock payloads, filters.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "quarn/bytes.h"
#include "quarn/filter.h"
#include "quarn/lock.h"
#include "quarn/tag.h"

namespace {

using quarn::Errc;
using Bytes = std::vector<uint8_t>;

TEST(Hex, ReadsDigitsAndSeparatorsBetweenBytes) {
  const struct {
    const char* text;
    Bytes bytes;
  } rows[] = {
      {"", {}},
      {"E200", {0xE2, 0x00}},
      {"e2 00 ff", {0xE2, 0x00, 0xFF}},
      {"E2:00-AB", {0xE2, 0x00, 0xAB}},
      {" 0A ", {0x0A}},
  };
  for (const auto& row : rows) {
    std::error_code ec;
    EXPECT_EQ(quarn::FromHex(row.text, ec), row.bytes) << row.text;
    EXPECT_FALSE(ec) << row.text;
    EXPECT_EQ(quarn::FromHex(row.text), row.bytes) << row.text;
  }
  EXPECT_EQ(quarn::ToHex(Bytes{0xE2, 0x00, 0x0A, 0xFF}), "E2000AFF");
}

// A mistyped digit must never be read as 0.
TEST(Hex, RefusesWhatIsNoHexDigitAndOddCounts) {
  for (const char* text : {"E2G0", "E20", "E 200", "0x12", "12;34"}) {
    std::error_code ec;
    EXPECT_TRUE(quarn::FromHex(text, ec).empty()) << text;
    EXPECT_EQ(ec, Errc::kInvalidArgument) << text;
    try {
      quarn::FromHex(text);
      ADD_FAILURE() << text << " was accepted";
    } catch (const quarn::Error& error) {
      EXPECT_EQ(error.errc(), Errc::kInvalidArgument);
      EXPECT_STRNE(error.detail().reason, "");
    }
  }
}

TEST(TagRecord, TakesExactlyTheSizeItsFirstByteGives) {
  const struct {
    Bytes bytes;
    bool accepted;
  } rows[] = {
      {{0x00, 0x00}, true},                                // PC word only
      {{0x07, 0x12}, true},                                // EPC-length field 0: still 2 bytes
      {{0x08, 0x00, 0xAB, 0xCD}, true},                    // one word
      {{0x30, 0x00, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, true},
      {{0x30, 0x00, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, false},  // a byte short
      {{0x08, 0x00, 0xAB, 0xCD, 0xEF}, false},             // a byte over
      {{0x00}, false},
      {{}, false},
  };
  for (const auto& row : rows) {
    std::error_code ec;
    const quarn::TagRecord record = quarn::TagRecord::FromBytes(row.bytes, ec);
    EXPECT_EQ(!ec, row.accepted) << quarn::ToHex(row.bytes);
    if (row.accepted) {
      EXPECT_EQ(record.bytes(), quarn::ByteView(row.bytes));
    }
  }
  Bytes full(64, 0x11);
  full[0] = 0xF8;  // 31 words: the largest record
  EXPECT_EQ(quarn::TagRecord::FromBytes(full).size(), 64u);
  EXPECT_EQ(quarn::TagRecord::FromBytes(full).epcWords(), 31u);
}

TEST(TagRecord, FromAnEpcBuildsThePcWordOfItsLength) {
  const quarn::TagRecord record = quarn::TagRecord::FromEpcHex("E20034120000000000000001");
  EXPECT_EQ(record.pc(), 0x3000);
  EXPECT_EQ(record.hex(), "3000E20034120000000000000001");
  EXPECT_EQ(record.epcHex(), "E20034120000000000000001");
  EXPECT_EQ(record, quarn::TagRecord::FromHex("3000 E200 3412 0000 0000 0000 0001"));
  EXPECT_EQ(quarn::TagRecord::FromEpc(Bytes{}).pc(), 0x0000);

  std::error_code ec;
  quarn::TagRecord::FromEpc(Bytes{0xE2}, ec);
  EXPECT_EQ(ec, Errc::kInvalidArgument);  // half a word
  quarn::TagRecord::FromEpc(Bytes(64, 0), ec);
  EXPECT_EQ(ec, Errc::kInvalidArgument);  // 32 words do not fit the PC word's field
  EXPECT_THROW(quarn::TagRecord::FromEpcHex("E2003"), quarn::Error);
}

TEST(TagRecord, OrdersForMapsBySizeThenBytes) {
  std::map<quarn::TagRecord, int> seen;
  seen[quarn::TagRecord::FromEpcHex("0002")]++;
  seen[quarn::TagRecord::FromEpcHex("0001")]++;
  seen[quarn::TagRecord::FromEpcHex("00010000")]++;
  seen[quarn::TagRecord::FromEpcHex("0001")]++;
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen.begin()->first.epcHex(), "0001");
  EXPECT_EQ(seen.begin()->second, 2);
  EXPECT_EQ(seen.rbegin()->first.epcHex(), "00010000");
}

TEST(Password, HighByteFirstFromANumberAndFromHex) {
  const quarn::Password fromNumber(0x12345678);
  EXPECT_EQ(fromNumber.bytes(), (std::array<uint8_t, 4>{0x12, 0x34, 0x56, 0x78}));
  EXPECT_EQ(quarn::Password::FromHex("12345678"), fromNumber);
  EXPECT_EQ(quarn::Password::FromHex("12345678").value(), 0x12345678u);
  EXPECT_EQ(quarn::Password().value(), 0u);
  for (const char* text : {"1234567", "123456789", "1234567G", "12 34 56 78"}) {
    std::error_code ec;
    EXPECT_EQ(quarn::Password::FromHex(text, ec), quarn::Password()) << text;
    EXPECT_EQ(ec, Errc::kInvalidArgument) << text;
  }
}

TEST(LockPayload, OneActionPerAreaAsTheLockCodeLaysItOut) {
  using quarn::LockAction;
  const auto all = [](LockAction action) { return quarn::LockSettings{action, action, action, action, action}; };
  const struct {
    quarn::LockSettings settings;
    std::array<uint8_t, 3> payload;
  } rows[] = {
      {all(LockAction::kUnchanged), {0x00, 0x00, 0x00}},
      {all(LockAction::kLock), {0x0F, 0xFE, 0xAA}},
      {all(LockAction::kUnlock), {0x0F, 0xFC, 0x00}},
      {all(LockAction::kPermaLock), {0x0F, 0xFF, 0xFF}},
      {all(LockAction::kPermaUnlock), {0x0F, 0xFD, 0x55}},
      {{LockAction::kUnchanged, LockAction::kUnchanged, LockAction::kLock}, {0x00, 0xC0, 0x20}},
      {{LockAction::kPermaLock, LockAction::kPermaLock}, {0x0F, 0x03, 0xC0}},
      {{LockAction::kUnchanged, LockAction::kUnchanged, LockAction::kUnchanged, LockAction::kUnchanged,
        LockAction::kLock},
       {0x00, 0x0C, 0x02}},
  };
  for (const auto& row : rows) EXPECT_EQ(quarn::LockPayload(row.settings).bytes(), row.payload);
}

TEST(Filter, WireLengthCountsThePointersBytesAndTheMaskBytesUsed) {
  const struct {
    uint32_t bitPointer;
    uint8_t maskBits;
    size_t wireLength;
  } rows[] = {
      {0x20, 0, 8}, {0x20, 1, 9}, {0x20, 8, 9}, {0x20, 12, 10}, {0x7F, 255, 40}, {0x80, 255, 41}, {16383, 16, 11},
  };
  for (const auto& row : rows) {
    quarn::Filter filter;
    filter.bitPointer = row.bitPointer;
    filter.maskBitLength = row.maskBits;
    EXPECT_EQ(filter.wireLength(), row.wireLength) << row.bitPointer << " " << int{row.maskBits};
  }
}

TEST(Filter, SetMaskNeedsTheBytesItsBitLengthUses) {
  quarn::Filter filter;
  filter.SetMask(Bytes{0x30, 0x0F, 0xFF}, 12);
  EXPECT_EQ(filter.maskBitLength, 12);
  EXPECT_EQ(filter.maskBytes(), quarn::ByteView(Bytes{0x30, 0x0F}));
  std::error_code ec;
  filter.SetMask(Bytes{0x30}, 12, ec);
  EXPECT_EQ(ec, Errc::kInvalidArgument);
  EXPECT_EQ(filter.maskBitLength, 12);  // unchanged
  EXPECT_THROW(filter.SetMask(Bytes{}, 1), quarn::Error);
}

}  // namespace

namespace {

// The five Gen2 names and the numbers they stand for, both ways; other values keep their number.
TEST(SelectTargets, NamesAndNumbersBothWays) {
  const std::pair<const char*, uint8_t> named[] = {{"s0", 0}, {"s1", 1}, {"s2", 2}, {"s3", 3}, {"sl", 4}};
  for (const auto& [name, target] : named) {
    EXPECT_EQ(quarn::SelectTargetName(target), name);
    EXPECT_EQ(quarn::ParseSelectTarget(name), target);
  }
  EXPECT_EQ(quarn::SelectTargetName(7), "7");
  EXPECT_FALSE(quarn::ParseSelectTarget("s4").has_value());
  EXPECT_FALSE(quarn::ParseSelectTarget("SL").has_value());
}

}  // namespace
