// The Gen2 memory commands on the model's tags: reads after writes, locks and passwords, kill, block
// writes that stop half way, new EPCs, and the single tag in the field.

#include <gtest/gtest.h>

#include "sim_test_support.h"

namespace quarn::sim {
namespace {

using testing::Bench;
using testing::Concat;
using testing::kZeroPassword;
using testing::Reply;

const Bytes kEpcA = {0x30, 0x00, 0x11, 0x11, 0x22, 0x22, 0x33, 0x33, 0x44, 0x44, 0x55, 0x55};
const Bytes kEpcB = {0x30, 0x00, 0x99, 0x99, 0x88, 0x88, 0x77, 0x77, 0x66, 0x66, 0x55, 0x00};
const Bytes kRecordA = Concat({{0x30, 0x00}, kEpcA});
const Bytes kRecordB = Concat({{0x30, 0x00}, kEpcB});
const Bytes kAccess = {0x12, 0x34, 0x56, 0x78};

constexpr uint8_t kReserved = 0, kEpc = 1, kTid = 2, kUser = 3;

Bytes Access(const Bytes& password, uint8_t bank, uint8_t pointer, uint8_t count) {
  return Concat({password, {bank, pointer, count}});
}

// Write by EPC (0x14): access fields, data, then the tag's record.
Reply WriteByEpc(Bench& bench, const Bytes& password, uint8_t bank, uint8_t pointer, const Bytes& data,
                 const Bytes& record = kRecordA, bool crc = false) {
  return bench.Command(0x14, Concat({Access(password, bank, pointer, static_cast<uint8_t>(data.size() / 2)), data, record}), crc);
}

Reply ReadByEpc(Bench& bench, const Bytes& password, uint8_t bank, uint8_t pointer, uint8_t count,
                const Bytes& record = kRecordA, bool crc = false) {
  return bench.Command(0x13, Concat({Access(password, bank, pointer, count), record}), crc);
}

// Locks byte layout: mask bits, then action bits, for one area's pair.
Bytes LockPayload(int area, bool passwordLocked, bool permanent) {
  const uint32_t mask = 3u << (8 - 2 * area);
  const uint32_t action = (passwordLocked ? 2u : 0u) << (8 - 2 * area) | (permanent ? 1u : 0u) << (8 - 2 * area);
  const uint32_t value = (mask << 10) | action;
  return {static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
}
constexpr int kLockKill = 0, kLockAccessPassword = 1, kLockUser = 4, kLockTid = 3;

void SetAccessPassword(Bench& bench) { ASSERT_EQ(WriteByEpc(bench, kZeroPassword, kReserved, 2, kAccess).status, 0x00); }

TEST(SimTagCommands, ReadAfterWriteInBothModes) {
  for (bool crc : {false, true}) {
    Bench bench(testing::TagsScenario({kEpcA}));
    const Reply written = WriteByEpc(bench, kZeroPassword, kUser, 4, {0xAA, 0x55, 0xFF, 0x01}, kRecordA, crc);
    EXPECT_EQ(written.code, crc ? 0x94 : 0x14);
    EXPECT_EQ(written.status, 0x00);
    const Reply read = ReadByEpc(bench, kZeroPassword, kUser, 3, 3, kRecordA, crc);
    EXPECT_EQ(read.status, 0x00);
    EXPECT_EQ(read.data, (Bytes{0x00, 0x00, 0xAA, 0x55, 0xFF, 0x01}));
    EXPECT_EQ(read.crcPresentAndRight, crc);
  }
}

TEST(SimTagCommands, ReadErrorsCarryTheirCodeAfterStatus81) {
  Bench bench(testing::TagsScenario({kEpcA}));
  struct Case {
    const char* what;
    Bytes params;
    uint8_t error;
  };
  const Case cases[] = {
      {"past the end of user memory", Concat({Access(kZeroPassword, kUser, 30, 3), kRecordA}), 0x03},
      {"unknown bank", Concat({Access(kZeroPassword, 4, 0, 1), kRecordA}), 0x16},
      {"no such tag", Concat({Access(kZeroPassword, kUser, 0, 1), kRecordB}), 0x12},
      {"wrong access password", Concat({Access(kAccess, kUser, 0, 1), kRecordA}), 0x13},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Reply reply = bench.Command(0x13, c.params);
    EXPECT_EQ(reply.status, 0x81);
    EXPECT_EQ(reply.data, (Bytes{c.error}));
  }
  EXPECT_EQ(bench.Command(0x13, Access(kZeroPassword, kUser, 0, 1)).status, 0x80);  // record missing
}

TEST(SimTagCommands, ReadToTheEndOfABankReportsItsLength) {
  Bench bench(testing::TagsScenario({kEpcA}));
  const Reply tid = ReadByEpc(bench, kZeroPassword, kTid, 0, 0);
  ASSERT_EQ(tid.status, 0x00);
  ASSERT_EQ(tid.data.size(), 2u + 12u);
  EXPECT_EQ(Bytes(tid.data.begin(), tid.data.begin() + 2), (Bytes{0x00, 0x0C}));
  EXPECT_EQ(Bytes(tid.data.begin() + 2, tid.data.begin() + 6), (Bytes{0xE2, 0x0F, 0xF0, 0x01}));
  // The single-tag form appends the tag's record after the data.
  const Reply single = bench.Command(0x20, Access(kZeroPassword, kUser, 28, 0));
  EXPECT_EQ(single.data, Concat({{0x00, 0x08}, Bytes(8, 0x00), kRecordA}));
  EXPECT_EQ(ReadByEpc(bench, kZeroPassword, kUser, 32, 0).data, (Bytes{0x00, 0x00}));
}

TEST(SimTagCommands, LongReadUsesTheTwoByteLengthForm) {
  Scenario scenario = testing::TagsScenario({kEpcA});
  scenario.tags[0].contents.userWords = 256;
  Bench bench(scenario);
  const Reply reply = ReadByEpc(bench, kZeroPassword, kUser, 0, 255);
  EXPECT_TRUE(reply.twoByteForm);
  EXPECT_EQ(reply.data.size(), 510u);
}

TEST(SimTagCommands, LockedBankRefusesAWriteWithoutThePassword) {
  Bench bench(testing::TagsScenario({kEpcA}));
  SetAccessPassword(bench);
  // Lock needs the secured state: without the password the tag stays open.
  EXPECT_EQ(bench.Command(0x16, Concat({kZeroPassword, LockPayload(kLockUser, true, false), kRecordA})).data,
            (Bytes{0x14}));
  EXPECT_EQ(bench.Command(0x16, Concat({kAccess, LockPayload(kLockUser, true, false), kRecordA})).status, 0x00);

  const Reply refused = WriteByEpc(bench, kZeroPassword, kUser, 0, {0x12, 0x34});
  EXPECT_EQ(refused.status, 0x81);
  EXPECT_EQ(refused.data, (Bytes{0x04}));
  EXPECT_EQ(ReadByEpc(bench, kZeroPassword, kUser, 0, 1).data, (Bytes{0x00, 0x00}));
  EXPECT_EQ(WriteByEpc(bench, kAccess, kUser, 0, {0x12, 0x34}).status, 0x00);
  EXPECT_EQ(ReadByEpc(bench, kZeroPassword, kUser, 0, 1).data, (Bytes{0x12, 0x34}));
}

TEST(SimTagCommands, PasswordsAreReadLockedAndPermanentLocksNeverChange) {
  Bench bench(testing::TagsScenario({kEpcA}));
  SetAccessPassword(bench);
  ASSERT_EQ(bench.Command(0x16, Concat({kAccess, LockPayload(kLockAccessPassword, true, false), kRecordA})).status, 0);
  EXPECT_EQ(ReadByEpc(bench, kZeroPassword, kReserved, 2, 2).data, (Bytes{0x04}));
  EXPECT_EQ(ReadByEpc(bench, kAccess, kReserved, 2, 2).data, kAccess);

  ASSERT_EQ(bench.Command(0x16, Concat({kAccess, LockPayload(kLockUser, true, true), kRecordA})).status, 0x00);
  EXPECT_EQ(WriteByEpc(bench, kAccess, kUser, 0, {0x01, 0x02}).data, (Bytes{0x04}));
  EXPECT_EQ(bench.Command(0x16, Concat({kAccess, LockPayload(kLockUser, false, false), kRecordA})).data, (Bytes{0x04}));
  // Repeating the permanent lock as it stands is no change and is accepted.
  EXPECT_EQ(bench.Command(0x16, Concat({kAccess, LockPayload(kLockUser, true, true), kRecordA})).status, 0x00);
  // The TID comes permanently locked.
  EXPECT_EQ(WriteByEpc(bench, kAccess, kTid, 0, {0x01, 0x02}).data, (Bytes{0x04}));
  EXPECT_EQ(bench.Command(0x16, Concat({kAccess, LockPayload(kLockTid, false, false), kRecordA})).data, (Bytes{0x04}));
}

TEST(SimTagCommands, KillNeedsTheRightNonzeroPasswordAndRemovesTheTag) {
  Bench bench(testing::TagsScenario({kEpcA, kEpcB}));
  const Bytes kill = {0xCA, 0xFE, 0x00, 0x01};
  EXPECT_EQ(bench.Command(0x17, Concat({kZeroPassword, kRecordA})).data, (Bytes{0x15}));  // kill password 0
  ASSERT_EQ(WriteByEpc(bench, kZeroPassword, kReserved, 0, kill).status, 0x00);
  EXPECT_EQ(bench.Command(0x17, Concat({Bytes{0xCA, 0xFE, 0x00, 0x02}, kRecordA})).data, (Bytes{0x15}));
  EXPECT_EQ(bench.Command(0x17, Concat({kill, kRecordA})).status, 0x00);
  EXPECT_EQ(ReadByEpc(bench, kZeroPassword, kUser, 0, 1).data, (Bytes{0x12}));
  // One tag is left, so single-tag commands work again and find the other one.
  EXPECT_EQ(bench.Command(0x18).data, kRecordB);
  ASSERT_EQ(bench.Command(0x21, Concat({Access(kZeroPassword, kReserved, 0, 2), kill})).status, 0x00);
  const Reply killed = bench.Command(0x24, kill);
  EXPECT_EQ(killed.status, 0x00);
  EXPECT_EQ(killed.data, kRecordB);
  EXPECT_EQ(bench.Command(0x18).data, (Bytes{0x10}));
}

TEST(SimTagCommands, BlockWriteStopsAtTheEndOfMemoryAndCountsTheWordsWritten) {
  Bench bench(testing::TagsScenario({kEpcA}));
  const Bytes data = {1, 1, 2, 2, 3, 3, 4, 4};
  const Reply byEpc = bench.Command(0x19, Concat({Access(kZeroPassword, kUser, 30, 4), data, kRecordA}));
  EXPECT_EQ(byEpc.status, 0x81);
  EXPECT_EQ(byEpc.data, (Bytes{0x03, 0x02}));
  EXPECT_EQ(ReadByEpc(bench, kZeroPassword, kUser, 30, 2).data, (Bytes{1, 1, 2, 2}));
  // The single-tag form adds the record after the count.
  const Reply single = bench.Command(0x25, Concat({Access(kZeroPassword, kUser, 31, 4), data}));
  EXPECT_EQ(single.data, Concat({{0x03, 0x01}, kRecordA}));
  const Reply full = bench.Command(0x25, Concat({Access(kZeroPassword, kUser, 0, 4), data}));
  EXPECT_EQ(full.status, 0x00);
  EXPECT_EQ(full.data, kRecordA);
}

TEST(SimTagCommands, TornBlockWriteReportsTheCountWithoutACode) {
  FaultSettings faults;
  faults.tearAfterWords = 3;
  Bench bench(testing::TagsScenario({kEpcA}), faults);
  const Reply reply = bench.Command(0x25, Concat({Access(kZeroPassword, kUser, 0, 5), Bytes(10, 0x77)}));
  EXPECT_EQ(reply.status, 0x82);
  EXPECT_EQ(reply.data, Concat({{0x03}, kRecordA}));
  EXPECT_EQ(ReadByEpc(bench, kZeroPassword, kUser, 2, 2).data, (Bytes{0x77, 0x77, 0x00, 0x00}));
}

TEST(SimTagCommands, NewEpcChangesThePcWordAndTheRecord) {
  Bench bench(testing::TagsScenario({kEpcA}));
  // New PC word for a 3-word EPC, then the EPC, from word 1 of the EPC bank.
  const Bytes newEpc = {0xAB, 0xCD, 0xEF, 0x01, 0x23, 0x45};
  const Bytes data = Concat({{0x18, 0x00}, newEpc});
  const Reply reply = bench.Command(0x19, Concat({Access(kZeroPassword, kEpc, 1, 4), data, kRecordA}));
  EXPECT_EQ(reply.status, 0x00);
  const Bytes newRecord = Concat({{0x18, 0x00}, newEpc});
  EXPECT_EQ(bench.Command(0x18).data, newRecord);
  EXPECT_EQ(ReadByEpc(bench, kZeroPassword, kUser, 0, 1).data, (Bytes{0x12}));  // old record is gone
  EXPECT_EQ(ReadByEpc(bench, kZeroPassword, kUser, 0, 1, newRecord).status, 0x00);
  // The stored CRC follows the new PC word and EPC.
  const Reply crcWord = ReadByEpc(bench, kZeroPassword, kEpc, 0, 1, newRecord);
  const uint16_t storedCrc = FrameCrc(newRecord.data(), newRecord.size());
  EXPECT_EQ(crcWord.data, (Bytes{static_cast<uint8_t>(storedCrc >> 8), static_cast<uint8_t>(storedCrc)}));
  // Erasing the PC word leaves a tag that announces no EPC at all.
  EXPECT_EQ(bench.Command(0x22, Access(kZeroPassword, kEpc, 1, 1)).data, (Bytes{0x00, 0x00}));
}

TEST(SimTagCommands, EraseIsAllOrNothing) {
  Bench bench(testing::TagsScenario({kEpcA}));
  WriteByEpc(bench, kZeroPassword, kUser, 30, {9, 9, 9, 9});
  EXPECT_EQ(bench.Command(0x15, Concat({Access(kZeroPassword, kUser, 30, 3), kRecordA})).data, (Bytes{0x03}));
  EXPECT_EQ(ReadByEpc(bench, kZeroPassword, kUser, 30, 2).data, (Bytes{9, 9, 9, 9}));
  EXPECT_EQ(bench.Command(0x15, Concat({Access(kZeroPassword, kUser, 30, 2), kRecordA})).status, 0x00);
  EXPECT_EQ(ReadByEpc(bench, kZeroPassword, kUser, 30, 2).data, (Bytes{0, 0, 0, 0}));
}

TEST(SimTagCommands, SingleTagCommandsNeedExactlyOneTag) {
  Bench none(testing::TagsScenario({}));
  none.reader.tags().clear();
  Bench two(testing::TagsScenario({kEpcA, kEpcB}));
  EXPECT_EQ(none.Command(0x18).data, (Bytes{0x10}));
  EXPECT_EQ(none.Command(0x20, Access(kZeroPassword, kUser, 0, 1)).data, (Bytes{0x10}));
  EXPECT_EQ(two.Command(0x20, Access(kZeroPassword, kUser, 0, 1)).data, (Bytes{0x11}));
  EXPECT_EQ(two.Command(0x23, Concat({kZeroPassword, LockPayload(kLockKill, true, false)})).data, (Bytes{0x11}));
  // A single-tag block write without a tag keeps its layout: code, count, an empty record.
  EXPECT_EQ(two.Command(0x25, Concat({Access(kZeroPassword, kUser, 0, 1), Bytes{1, 2}})).data,
            (Bytes{0x11, 0x00, 0x00, 0x00}));
  // Inventory of a single tag answers with the first tag of several.
  EXPECT_EQ(two.Command(0x18).data, kRecordA);
}

TEST(SimTagCommands, WritesNeedMorePowerThanReads) {
  Scenario scenario = testing::TagsScenario({kEpcA});
  scenario.tags[0].contents.minPowerDbm = 24;
  Bench bench(scenario);
  EXPECT_EQ(ReadByEpc(bench, kZeroPassword, kUser, 0, 1).status, 0x00);
  EXPECT_EQ(WriteByEpc(bench, kZeroPassword, kUser, 0, {1, 2}).data, (Bytes{0x0B}));
  bench.Command(0x02, {26, 27});
  EXPECT_EQ(WriteByEpc(bench, kZeroPassword, kUser, 0, {1, 2}).status, 0x00);
  bench.Command(0x02, {20, 27});
  EXPECT_EQ(ReadByEpc(bench, kZeroPassword, kUser, 0, 1).data, (Bytes{0x12}));  // out of reach
}

TEST(SimTagCommands, WriteToSingleTagRepliesWithItsRecord) {
  Bench bench(testing::TagsScenario({kEpcA}));
  const Reply reply = bench.Command(0x21, Concat({Access(kZeroPassword, kUser, 0, 1), Bytes{5, 6}}), true);
  EXPECT_EQ(reply.code, 0xA1);
  EXPECT_EQ(reply.data, kRecordA);
  EXPECT_EQ(bench.Command(0x21, Concat({Access(kZeroPassword, kUser, 0, 2), Bytes{5, 6}})).status, 0x80);
}

}  // namespace
}  // namespace quarn::sim
