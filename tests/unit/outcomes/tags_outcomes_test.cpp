// The tag family's results: inventory, reads, writes, block writes, erase, lock and kill, the multi-tag
// read and the select filters. A tag operation's refusal carries the reader's error code; a block write's
// refusal is decoded from its error form; a filter command's refusing status is the code itself.

#include <gtest/gtest.h>

#include "outcome_harness.h"
#include "tags/block_write.h"
#include "tags/erase_lock_kill.h"
#include "tags/inventory.h"
#include "tags/multi_tag_read.h"
#include "tags/read_memory.h"
#include "tags/select_filters.h"
#include "tags/write_memory.h"

namespace quarn::outcomes {

namespace c = link::commands;

namespace {

const uint8_t kLockPayload[3] = {0x00, 0xC0, 0x20};
const uint8_t kOptionParams[2] = {0x00, 0x00};
const uint8_t kNewEpc[12] = {0x70, 0x71, 0x72, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7A, 0x7B};
// The report of a filter with a one-byte pointer and a 12-bit mask.
const Bytes kFilterWire = {0x01, 0x0A, 0x04, 0x00, 0x01, 0x20, 0x0C, 0x30, 0x00, 0x00};

const Bytes kFourBytes = {0x10, 0x11, 0x12, 0x13};

tags::MultiTagReadRequest MultiTagRequest() { return {kPassword, 3, kWordPointer, 2, 0x00, kOptionParams}; }

tags::DataFrameOutputs DataOutputs(Sink& s) {
  return {s.bytes[0], s.bytes[1], s.bytes[2], s.bytes[3], s.bytes[4], s.bytes[5], s.bytes[6]};
}

FilterRecord SampleFilter() {
  FilterRecord filter{};
  filter.filterIndex = 1;
  filter.recordLength = 10;
  filter.target = 4;
  filter.memBank = 1;
  filter.pointer[0] = 0x20;
  filter.maskBitLength = 12;
  filter.mask[0] = 0x30;
  return filter;
}

FamilyCall Find(const char* name) { return FindCall(TagCalls(), name); }

OutcomeCase Reply(const char* what, const char* name, bool crc, const Bytes& payload, Result expected) {
  return ReplyCase(what, Find(name), crc, payload, expected);
}

const Result kTooShort = Fails(Outcome::kTooShort);

// Replies that pass the row's checks but lack bytes the call reads.
std::vector<OutcomeCase> ShortReplyCases() {
  std::vector<OutcomeCase> lines;
  for (bool crc : {false, true}) {
    auto add = [&](const char* what, const char* name, const Bytes& payload) {
      lines.push_back(Reply(what, name, crc, payload, kTooShort));
    };
    add("the record missing", "InventorySingleTag", {0x00});
    add("a record announcing 64 bytes", "InventorySingleTag", WithStatus(0x00, {{0xF8}, Bytes(13, 0x01)}));
    add("half a record", "ReadInventory", WithStatus(0x00, {Bytes(kRecord.begin(), kRecord.begin() + 7)}));
    add("three of four data bytes", "ReadDataByEpc", WithStatus(0x00, {{0x10, 0x11, 0x12}}));
    add("the record behind the data missing", "ReadDataFromSingleTag", WithStatus(0x00, {kFourBytes}));
    add("a length one past the data", "ReadMaxDataByEpc", WithStatus(0x00, {{0x00, 0x05}, kFourBytes}));
    add("the length cut", "ReadMaxDataByEpc", {0x00, 0x00});
    add("a length swallowing the record", "ReadMaxDataFromSingleTag",
        WithStatus(0x00, {{0x00, 0x12}, kFourBytes, kRecord}));
    add("the record missing", "EraseDataFromSingleTag", {0x00});
    add("the record missing", "LockMemFromSingleTag", {0x00});
    add("the record missing", "KillSingleTag", {0x00});
    // Error forms missing their code, their count or the single tag's record.
    add("the first error form without its code", "BlockWriteDataByEpc", {0x81});
    add("the first error form without its count", "BlockWriteDataByEpc", {0x81, 0x0B});
    add("the second error form without its count", "BlockWriteEpcByEpc", {0x82});
    add("the first error form without the record", "BlockWriteDataToSingleTag", {0x81, 0x0B, 0x01});
    add("the second error form with half a record", "BlockWriteEpcToSingleTag", {0x82, 0x01, 0x30, 0x00});
    add("the first block past the frame", "GetDataFromMultiTag", WithStatus(0x00, {{0x00, 0x40}, kFourBytes, kRecord}));
    add("the second block missing", "GetDataFromMultiTag", WithStatus(0x01, {{0x00, 0x04}, kFourBytes}));
    add("the record missing", "GetDataFromMultiTag", WithStatus(0x00, {{0x00, 0x04}, kFourBytes}));
    add("a report shorter than its fields", "ReadFilterByIndex", WithStatus(0x00, {{0x01, 0x0A, 0x04}}));
    add("a report whose mask runs past it", "ReadFilterByIndex",
        WithStatus(0x00, {{0x01, 0x0A, 0x04, 0x00, 0x01, 0x20, 0xFF, 0x30, 0x00, 0x00}}));
  }
  return lines;
}

// What a refusal tells, by the form the row gives it.
std::vector<OutcomeCase> RefusalCases() {
  std::vector<OutcomeCase> lines;
  for (bool crc : {false, true}) {
    auto add = [&](const char* what, const char* name, const Bytes& payload, Result expected) {
      lines.push_back(Reply(what, name, crc, payload, expected));
    };
    add("0x81 with the tag's code", "WriteDataByEpc", {0x81, 0x04}, RefusedWith(0x81, 0x04));
    add("0x83 with the tag's code", "KillTagByEpc", {0x83, 0x0B}, RefusedWith(0x83, 0x0B));
    add("0x81 whose code did not come", "LockMemByEpc", {0x81}, RefusedWith(0x81));
    add("0x80 carries no code", "EraseDataByEpc", {0x80, 0x04}, RefusedWith(0x80));
    add("0x82 carries no code", "ReadDataByEpc", {0x82, 0x04}, RefusedWith(0x82));
    add("0x81 refusing a read", "ReadDataFromSingleTag", {0x81, 0x0A}, RefusedWith(0x81, 0x0A));
    add("0x81 refusing a whole-bank read", "ReadMaxDataFromSingleTag", {0x81, 0x03}, RefusedWith(0x81, 0x03));
    add("the first error form by EPC", "BlockWriteDataByEpc", {0x81, 0x0B, 0x01}, RefusedWith(0x81, 0x0B));
    add("0x83 is the first error form by EPC", "BlockWriteEpcByEpc", {0x83, 0x0C, 0x00}, RefusedWith(0x83, 0x0C));
    add("the second error form", "BlockWriteDataByEpc", {0x82, 0x01}, RefusedWith(0x82));
    add("a refusal of no error form", "BlockWriteDataByEpc", {0x80}, RefusedWith(0x80));
    add("the single tag's first error form", "BlockWriteDataToSingleTag",
        WithStatus(0x81, {{0x0B, 0x01}, kRecord}), RefusedWith(0x81, 0x0B));
    add("the single tag's second error form", "BlockWriteEpcToSingleTag", WithStatus(0x82, {{0x01}, kRecord}),
        RefusedWith(0x82));
    // For the single tag only 0x81 is the first form: 0x83 tells neither code nor count.
    add("0x83 to the single tag", "BlockWriteDataToSingleTag", WithStatus(0x83, {{0x0B, 0x01}, kRecord}),
        RefusedWith(0x83));
    add("an inventory start without the flag", "StartInventory", {0x00}, RefusedWith(0x00));
    add("an inventory start with the error bit", "StartInventoryWithParameter", {0x81}, RefusedWith(0x81));
    add("a tag report with the flag", "ReadInventory", WithStatus(0x01, {kRecord}), RefusedWith(0x01));
    add("a multi-tag read start with status 0", "StartReadDataFromMultiTag", {0x00}, RefusedWith(0x00));
    // The filter commands' refusing status is the reader's code, a listing start's 0 included.
    add("a filter added refused", "AddFilter", {0x02}, RefusedWith(0x02, 0x02));
    add("a listing start refused with 0", "StartGetFilterByIndex", {0x00}, RefusedWith(0x00, 0x00));
    add("a listing ended by the reader", "ReadFilterByIndex", {0x02}, RefusedWith(0x02, 0x02));
    add("a selection refused", "SelectFilterByIndex", {0x80}, RefusedWith(0x80, 0x80));
    // Unlike the stream's reports and the multi-antenna start, the plain start takes only its own code.
    const FamilyCall start = Find("StartInventory");
    const uint8_t otherStart = static_cast<uint8_t>(crc ? 0x91 : 0x11);
    lines.push_back({"an inventory start acknowledged with the other start code", start,
                     {testing::StuffedFrame(ReplyFrameFor(start, crc, otherStart, {0x01}))}, crc, Other(otherStart)});
  }
  return lines;
}

// Replies the rows take although they are no plain success.
std::vector<OutcomeCase> AcceptedCases() {
  std::vector<OutcomeCase> lines;
  for (bool crc : {false, true}) {
    auto add = [&](const char* what, const char* name, const Bytes& payload, Result expected) {
      lines.push_back(Reply(what, name, crc, payload, expected));
    };
    add("a frame of the read that is no data frame", "GetDataFromMultiTag", {0x05}, Ok(0x05));
    add("two blocks and the record", "GetDataFromMultiTag", WithStatus(0x01, {{0x00, 0x04}, kFourBytes, {0x00, 0x02},
                                                                               {0x20, 0x21}, kRecord}),
        Ok(0x01));
    add("the last report of a listing", "ReadFilterByIndex", WithStatus(0x01, {kFilterWire}), Ok(0x01));
    add("an inventory start with bit 1 set too", "StartInventory", {0x03}, Ok(0x03));
    add("a single-tag write that names no tag", "WriteDataToSingleTag", {0x00}, Ok(0x00));
    add("a read status with bit 7 clear", "ReadDataByEpc", WithStatus(0x7E, {kFourBytes}), Ok(0x7E));
    // The stream's reports come with bit 5 of the code set too.
    const FamilyCall read = Find("ReadInventory");
    lines.push_back({"a tag report with code bit 5 set", read,
                     {testing::StuffedFrame(ReplyFrameFor(read, crc, 0x30, WithStatus(0x00, {kRecord})))}, crc,
                     Ok(0x00)});
  }
  return lines;
}

// A word count of 0 asks for the whole bank, which only the whole-bank reads can take.
std::vector<OutcomeCase> ArgumentCases() {
  FamilyCall byEpc = Find("ReadDataByEpc");
  byEpc.run = [](FakePort& p, Sink& s, uint32_t crc) {
    return tags::ReadDataByEpc(p.handle(), kPassword, 3, kWordPointer, 0x100, kEpc.data(), s.bytes[0], s.bytes[1], crc);
  };
  FamilyCall single = Find("ReadDataFromSingleTag");
  single.run = [](FakePort& p, Sink& s, uint32_t crc) {
    return tags::ReadDataFromSingleTag(p.handle(), kPassword, 3, kWordPointer, 0, s.bytes[0], s.bytes[1], s.bytes[2],
                                       s.bytes[3], crc);
  };
  std::vector<OutcomeCase> lines;
  for (bool crc : {false, true}) {
    lines.push_back({"a word count of 0", byEpc, {GoodWire(byEpc, crc)}, crc, Fails(Outcome::kInvalidArgument)});
    lines.push_back({"a word count of 0", single, {GoodWire(single, crc)}, crc, Fails(Outcome::kInvalidArgument)});
  }
  return lines;
}

}  // namespace

const std::vector<FamilyCall>& TagCalls() {
  static const std::vector<FamilyCall> calls = {
      {"StartInventory", &c::kStartInventory,
       [](FakePort& p, Sink&, uint32_t crc) { return tags::StartInventory(p.handle(), 0, 0x07, crc); }, {0x01},
       Refusal{{0x81}}},
      {"StartInventoryWithParameter", &c::kStartInventoryWithParameter,
       [](FakePort& p, Sink&, uint32_t crc) { return tags::StartInventory(p.handle(), 1, 0x07, crc); }, {0x01},
       Refusal{{0x00}}},
      {"ReadInventory", &c::kReadInventory,
       [](FakePort& p, Sink& s, uint32_t) { return tags::ReadInventory(p.handle(), s.bytes[0], s.bytes[1]); },
       WithStatus(0x00, {kRecord}), Refusal{WithStatus(0x80, {kRecord})}},
      {"InventorySingleTag", &c::kInventorySingleTag,
       [](FakePort& p, Sink& s, uint32_t crc) {
         return tags::InventorySingleTag(p.handle(), s.bytes[0], s.bytes[1], crc);
       },
       WithStatus(0x00, {kRecord}), Refusal{{0x01}}},
      {"ReadDataByEpc", &c::kReadDataByEpc,
       [](FakePort& p, Sink& s, uint32_t crc) {
         return tags::ReadDataByEpc(p.handle(), kPassword, 3, kWordPointer, 2, kEpc.data(), s.bytes[0], s.bytes[1], crc);
       },
       WithStatus(0x00, {kFourBytes}), Refusal{{0x81, 0x0B}, 0x0B}},
      {"ReadDataFromSingleTag", &c::kReadDataFromSingleTag,
       [](FakePort& p, Sink& s, uint32_t crc) {
         return tags::ReadDataFromSingleTag(p.handle(), kPassword, 3, kWordPointer, 2, s.bytes[0], s.bytes[1],
                                            s.bytes[2], s.bytes[3], crc);
       },
       WithStatus(0x00, {kFourBytes, kRecord}), Refusal{{0x81, 0x0A}, 0x0A}},
      {"ReadMaxDataByEpc", &c::kReadDataByEpc,
       [](FakePort& p, Sink& s, uint32_t crc) {
         return tags::ReadMaxDataByEpc(p.handle(), kPassword, 2, kWordPointer, kEpc.data(), s.bytes[0], s.bytes[1],
                                       s.bytes[2], crc);
       },
       WithStatus(0x00, {{0x00, 0x04}, kFourBytes}), Refusal{{0x83, 0x03}, 0x03}},
      {"ReadMaxDataFromSingleTag", &c::kReadDataFromSingleTag,
       [](FakePort& p, Sink& s, uint32_t crc) {
         return tags::ReadMaxDataFromSingleTag(p.handle(), kPassword, 2, kWordPointer, s.bytes[0], s.bytes[1],
                                               s.bytes[2], s.bytes[3], s.bytes[4], crc);
       },
       WithStatus(0x00, {{0x00, 0x04}, kFourBytes, kRecord}), Refusal{{0x80}}},
      {"WriteDataByEpc", &c::kWriteDataByEpc,
       [](FakePort& p, Sink& s, uint32_t crc) {
         return tags::WriteDataByEpc(p.handle(), kPassword, 3, kWordPointer, 2, kEpc.data(), kWords, s.bytes[0], crc);
       },
       {0x00}, Refusal{{0x81, 0x04}, 0x04}},
      {"WriteDataToSingleTag", &c::kWriteDataToSingleTag,
       [](FakePort& p, Sink& s, uint32_t crc) {
         return tags::WriteDataToSingleTag(p.handle(), kPassword, 3, kWordPointer, 2, kWords, s.bytes[0], s.bytes[1],
                                           s.bytes[2], crc);
       },
       WithStatus(0x00, {kRecord}), Refusal{{0x81, 0x04}, 0x04}},
      {"BlockWriteDataByEpc", &c::kBlockWriteDataByEpc,
       [](FakePort& p, Sink& s, uint32_t crc) {
         return tags::BlockWriteDataByEpc(p.handle(), kPassword, 1, kWordPointer, 2, kEpc.data(), kWords, s.bytes[0],
                                          s.bytes[1], s.bytes[2], s.bytes[3], crc);
       },
       {0x00}, Refusal{{0x81, 0x0B, 0x01}, 0x0B}},
      {"BlockWriteDataToSingleTag", &c::kBlockWriteDataToSingleTag,
       [](FakePort& p, Sink& s, uint32_t crc) {
         return tags::BlockWriteDataToSingleTag(p.handle(), kPassword, 1, kWordPointer, 2, kWords, s.bytes[0],
                                                s.bytes[1], s.bytes[2], s.bytes[3], s.bytes[4], crc);
       },
       WithStatus(0x00, {kRecord}), Refusal{WithStatus(0x81, {{0x0B, 0x01}, kRecord}), 0x0B}},
      {"BlockWriteEpcByEpc", &c::kBlockWriteDataByEpc,
       [](FakePort& p, Sink& s, uint32_t crc) {
         return tags::BlockWriteEpcByEpc(p.handle(), kPassword, 6, kEpc.data(), kNewEpc, s.bytes[0], s.bytes[1],
                                         s.bytes[2], s.bytes[3], crc);
       },
       {0x00}, Refusal{{0x82, 0x01}}},
      {"BlockWriteEpcToSingleTag", &c::kBlockWriteDataToSingleTag,
       [](FakePort& p, Sink& s, uint32_t crc) {
         return tags::BlockWriteEpcToSingleTag(p.handle(), kPassword, 6, kNewEpc, s.bytes[0], s.bytes[1], s.bytes[2],
                                               s.bytes[3], s.bytes[4], crc);
       },
       WithStatus(0x00, {kRecord}), Refusal{WithStatus(0x82, {{0x00}, kRecord})}},
      {"EraseDataByEpc", &c::kEraseDataByEpc,
       [](FakePort& p, Sink& s, uint32_t crc) {
         return tags::EraseDataByEpc(p.handle(), kPassword, 3, kWordPointer, 2, kEpc.data(), s.bytes[0], crc);
       },
       {0x00}, Refusal{{0x81, 0x03}, 0x03}},
      {"EraseDataFromSingleTag", &c::kEraseDataFromSingleTag,
       [](FakePort& p, Sink& s, uint32_t crc) {
         return tags::EraseDataFromSingleTag(p.handle(), kPassword, 3, kWordPointer, 2, s.bytes[0], s.bytes[1], crc);
       },
       WithStatus(0x00, {kRecord}), Refusal{{0x81, 0x03}, 0x03}},
      {"LockMemByEpc", &c::kLockMemByEpc,
       [](FakePort& p, Sink& s, uint32_t crc) {
         return tags::LockMemByEpc(p.handle(), kPassword, kLockPayload, kEpc.data(), s.bytes[0], crc);
       },
       {0x00}, Refusal{{0x81, 0x04}, 0x04}},
      {"LockMemFromSingleTag", &c::kLockMemFromSingleTag,
       [](FakePort& p, Sink& s, uint32_t crc) {
         return tags::LockMemFromSingleTag(p.handle(), kPassword, kLockPayload, s.bytes[0], s.bytes[1], crc);
       },
       WithStatus(0x00, {kRecord}), Refusal{{0xFF, 0x0B}, 0x0B}},
      {"KillTagByEpc", &c::kKillTagByEpc,
       [](FakePort& p, Sink& s, uint32_t crc) {
         return tags::KillTagByEpc(p.handle(), kPassword, kEpc.data(), s.bytes[0], crc);
       },
       {0x00}, Refusal{{0x81, 0x0B}, 0x0B}},
      {"KillSingleTag", &c::kKillSingleTag,
       [](FakePort& p, Sink& s, uint32_t crc) { return tags::KillSingleTag(p.handle(), kPassword, s.bytes[0], s.bytes[1], crc); },
       WithStatus(0x00, {kRecord}), Refusal{{0x80}}},
      {"StartReadDataFromMultiTag", &c::kStartReadDataFromMultiTag,
       [](FakePort& p, Sink&, uint32_t crc) { return tags::StartReadDataFromMultiTag(p.handle(), MultiTagRequest(), crc); },
       {0x01}, Refusal{{0x81}}},
      {"GetDataFromMultiTag", &c::kGetDataFromMultiTag,
       [](FakePort& p, Sink& s, uint32_t) { return tags::GetDataFromMultiTag(p.handle(), DataOutputs(s)); },
       WithStatus(0x00, {{0x00, 0x04}, kFourBytes, kRecord})},
      {"AddFilter", &c::kAddFilter,
       [](FakePort& p, Sink& s, uint32_t crc) {
         const FilterRecord filter = SampleFilter();
         return tags::AddFilter(p.handle(), &filter, s.bytes[0], crc);
       },
       {0x00}, Refusal{{0x03}, 0x03}},
      {"DeleteFilterByIndex", &c::kDeleteFilterByIndex,
       [](FakePort& p, Sink& s, uint32_t crc) { return tags::DeleteFilterByIndex(p.handle(), 1, s.bytes[0], crc); },
       {0x00}, Refusal{{0x04}, 0x04}},
      {"StartGetFilterByIndex", &c::kStartGetFilterByIndex,
       [](FakePort& p, Sink& s, uint32_t crc) { return tags::StartGetFilterByIndex(p.handle(), 0, 0, s.bytes[0], crc); },
       {0x01}, Refusal{{0x02}, 0x02}},
      {"ReadFilterByIndex", &c::kReadFilterByIndex,
       [](FakePort& p, Sink& s, uint32_t) { return tags::ReadFilterByIndex(p.handle(), s.bytes[0], &s.filter); },
       WithStatus(0x00, {kFilterWire}), Refusal{{0x05}, 0x05}},
      {"SelectFilterByIndex", &c::kSelectFilterByIndex,
       [](FakePort& p, Sink& s, uint32_t crc) { return tags::SelectFilterByIndex(p.handle(), 1, 0, s.bytes[0], crc); },
       {0x00}, Refusal{{0x06}, 0x06}},
  };
  return calls;
}

TEST(TagOutcomes, EveryCallNamesEachFaultOfThePortTheLineAndTheFrame) {
  for (const FamilyCall& call : TagCalls()) ExpectCases(LineCases(call));
}

TEST(TagOutcomes, AReplyWithoutTheBytesACallReadsIsTooShort) { ExpectCases(ShortReplyCases()); }

TEST(TagOutcomes, RefusalsCarryTheReadersCodeInTheRowsForm) { ExpectCases(RefusalCases()); }

TEST(TagOutcomes, RepliesTheRowsTakeSucceed) { ExpectCases(AcceptedCases()); }

TEST(TagOutcomes, AWordCountOfZeroIsRefusedBeforeAnythingIsSent) {
  for (const OutcomeCase& line : ArgumentCases()) {
    int writes = -1;
    EXPECT_TRUE(SameResult(RunScene(line.call, line.scene, line.crc, &writes), line.expected)) << line.call.name;
    EXPECT_EQ(writes, 0) << line.call.name;
  }
}

TEST(TagOutcomes, TheTableCoversEveryOutcomeTheFamilyCanMeet) {
  std::vector<OutcomeCase> all;
  for (const FamilyCall& call : TagCalls()) {
    for (auto part : {LineCases(call), RowCases(call)}) all.insert(all.end(), part.begin(), part.end());
  }
  for (auto part : {ShortReplyCases(), RefusalCases(), AcceptedCases(), ArgumentCases()}) {
    all.insert(all.end(), part.begin(), part.end());
  }
  // No tag command's parameters can outgrow the command buffer: a word count is one byte.
  ExpectCovered(all, {Outcome::kSuccess, Outcome::kPortUnusable, Outcome::kPortGone, Outcome::kWriteFailed,
                      Outcome::kNoReply, Outcome::kCutOff, Outcome::kBadEscape, Outcome::kUnescapedHeadOrTail,
                      Outcome::kWrongTail, Outcome::kTooLong, Outcome::kCrcMismatch, Outcome::kOtherCommand,
                      Outcome::kRefused, Outcome::kTooShort, Outcome::kInvalidArgument});
}

}  // namespace quarn::outcomes
