#include "export_catalog.h"

#include <cstring>

#include "antenna/antenna_choice.h"
#include "antenna/multi_antenna.h"
#include "reader/frequency.h"
#include "reader/identity.h"
#include "reader/multi_ant_setting.h"
#include "reader/operating_mode.h"
#include "reader/power.h"
#include "reader/registers.h"
#include "reader/stop_operation.h"
#include "sam/psam_power.h"
#include "sam/sam_commands.h"
#include "sam/sr_info.h"
#include "sam/sr_write.h"
#include "tags/block_write.h"
#include "tags/erase_lock_kill.h"
#include "tags/inventory.h"
#include "tags/multi_tag_read.h"
#include "tags/read_memory.h"
#include "tags/select_filters.h"
#include "tags/write_memory.h"
#include "update/update_sequence.h"

namespace quarn::testing {

namespace {

namespace antenna = quarn::antenna;
namespace reader = quarn::reader;
namespace sam = quarn::sam;
namespace tags = quarn::tags;
namespace update = quarn::update;

// The crcFlag of a family call: the export's int as the unsigned value its low bits come from.
uint32_t Flag(int crcFlag) { return static_cast<uint32_t>(crcFlag); }

#if defined(__SANITIZE_ADDRESS__)
constexpr size_t kGuardSize = 0;  // the sanitizer itself fences every heap block
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr size_t kGuardSize = 0;
#else
constexpr size_t kGuardSize = 32;
#endif
#else
constexpr size_t kGuardSize = 32;
#endif

constexpr uint8_t kGuardByte = 0x3C;

// The most reply data a frame can carry after a two-byte block length: a body of 2046 bytes holds two
// length bytes, the code and the status, so 2042 data bytes, two of which give the length.
constexpr size_t kLargestAnnouncedBlock = 2040;
// The header's bound for one block of a multi-tag data frame.
constexpr size_t kLargestMultiTagBlock = 2038;
constexpr size_t kRecordBuffer = 64;

const char* const kUpdatePortName = "rely-update-port";

// Data bytes that never equal the sentinel, so a copy always shows.
Bytes Pattern(size_t count, uint8_t first) {
  Bytes bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>((first + i) % 0xC0);
  return bytes;
}

// The addressed tag: a 6-word EPC whose bytes include the values that need escaping.
const Bytes kEpcRecord = {0x30, 0x00, 0xE2, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA};
// The tag that answers in replies.
const Bytes kReplyRecord = {0x30, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C};
const Bytes kPassword = {0x11, 0x22, 0x33, 0x44};

Bytes Sentinels(size_t size) { return Bytes(size, kCallSentinel); }

// A buffer whose first bytes are prefix and the rest sentinel.
Bytes Prefixed(const Bytes& prefix, size_t size) {
  Bytes bytes = Sentinels(size);
  std::memcpy(bytes.data(), prefix.data(), prefix.size());
  return bytes;
}

Bytes IntBytes(int value) {
  Bytes bytes(sizeof(int));
  std::memcpy(bytes.data(), &value, sizeof(int));
  return bytes;
}

OutBuffer Kept(const char* name, size_t size) { return {name, size, OnFailure::kKept, std::nullopt}; }
OutBuffer Written(const char* name, size_t size, std::optional<Bytes> noReply) {
  return {name, size, OnFailure::kWritten, std::move(noReply)};
}
// The tag operations' errorCode: 0xFF after no usable reply.
OutBuffer TagErrorCode() { return Written("errorCode", 1, Bytes{0xFF}); }
// A status byte that only a reply that arrived can change.
OutBuffer ReplyStatus(const char* name = "status") { return Written(name, 1, Sentinels(1)); }

std::vector<OutBuffer> BlockWriteByEpcOuts() {
  return {TagErrorCode(), Written("writeStatus", 1, Bytes{0x80}), Written("writtenWordCount", 1, Bytes{0x00}),
          Written("newTagRecord", kRecordBuffer, Prefixed(kEpcRecord, kRecordBuffer))};
}
std::vector<OutBuffer> BlockWriteSingleOuts() {
  return {Written("tagRecord", kRecordBuffer, Sentinels(kRecordBuffer)), Kept("tagRecordLength", 1),
          Written("writeStatus", 1, Bytes{0x80}), TagErrorCode(), Written("writtenWordCount", 1, Bytes{0x00})};
}
std::vector<OutBuffer> MultiTagDataOuts() {
  return {Kept("frameStatus", 1),         Kept("dataLength", 2),
          Kept("data", kLargestMultiTagBlock), Kept("secondDataLength", 2),
          Kept("secondData", kLargestMultiTagBlock), Kept("tagRecord", kRecordBuffer),
          Kept("tagRecordLength", 1)};
}

// --- status rules, as the header states them ---
StatusOutcome Succeeds(bool ok) { return ok ? StatusOutcome::kSucceeds : StatusOutcome::kFails; }
StatusOutcome ZeroRule(uint8_t s) { return Succeeds(s == 0x00); }
StatusOutcome Bit7Clear(uint8_t s) { return Succeeds((s & 0x80) == 0); }
StatusOutcome InventoryStart(uint8_t s) { return Succeeds((s & 0x81) == 0x01); }
StatusOutcome InventoryReport(uint8_t s) { return Succeeds((s & 0x81) == 0x00); }
StatusOutcome FlagBit(uint8_t s) { return Succeeds((s & 0x01) != 0); }
StatusOutcome OneRule(uint8_t s) { return Succeeds(s == 0x01); }
StatusOutcome FilterReport(uint8_t s) { return Succeeds(s <= 0x01); }
StatusOutcome PsamPower(uint8_t s) {
  if (s == 0x00) return StatusOutcome::kWritesNothing;
  return Succeeds(s == 0x01);
}
// A data frame of a multi-tag read: 0x00 and 0x01 lay out the data differently; every other status is
// a frame of the read that is passed over.
StatusOutcome DataFrameOne(uint8_t s) {
  if (s == 0x00) return StatusOutcome::kSucceeds;
  return s == 0x01 ? StatusOutcome::kDependsOnData : StatusOutcome::kWritesNothing;
}
StatusOutcome DataFrameTwo(uint8_t s) {
  if (s == 0x01) return StatusOutcome::kSucceeds;
  return s == 0x00 ? StatusOutcome::kDependsOnData : StatusOutcome::kWritesNothing;
}

ReplyShape Plain(uint8_t code, Bytes payload) { return {code, std::move(payload), false, 0, false}; }
ReplyShape Long(uint8_t code, Bytes payload) { return {code, std::move(payload), false, 0, true}; }
ReplyShape Antenna(uint8_t antenna, uint8_t code, Bytes payload) {
  return {code, std::move(payload), true, antenna, false};
}

Bytes WithStatus(uint8_t status, std::initializer_list<Bytes> data) {
  Bytes payload{status};
  for (const Bytes& part : data) payload.insert(payload.end(), part.begin(), part.end());
  return payload;
}

// One data frame of a multi-tag read: blocks of the given lengths, then the tag's record.
Bytes DataFramePayload(uint8_t status, size_t firstLength, size_t secondLength) {
  Bytes payload{status, static_cast<uint8_t>(firstLength >> 8), static_cast<uint8_t>(firstLength)};
  payload = Join({payload, Pattern(firstLength, 0x40)});
  if (status == 0x01) {
    payload = Join({payload, {static_cast<uint8_t>(secondLength >> 8), static_cast<uint8_t>(secondLength)},
                    Pattern(secondLength, 0x60)});
  }
  return Join({payload, kReplyRecord});
}

Bytes MaxReadPayload(size_t length, bool withRecord) {
  Bytes payload = WithStatus(0x00, {{static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)},
                                    Pattern(length, 0x20)});
  return withRecord ? Join({payload, kReplyRecord}) : payload;
}

// The filter report of a record with a one-byte pointer and a 12-bit mask: 10 wire bytes.
const Bytes kFilterWire = {0x01, 0x0A, 0x04, 0x00, 0x01, 0x20, 0x0C, 0x30, 0x00, 0x00};

FilterRecord SampleFilter() {
  FilterRecord filter{};
  filter.filterIndex = 1;
  filter.recordLength = 10;
  filter.target = 4;
  filter.action = 0;
  filter.memBank = 1;
  filter.pointer[0] = 0x20;
  filter.maskBitLength = 12;
  filter.mask[0] = 0x30;
  return filter;
}

std::unique_ptr<uint8_t[]> HeapFilter() {
  const FilterRecord filter = SampleFilter();
  Bytes bytes(sizeof(FilterRecord));
  std::memcpy(bytes.data(), &filter, sizeof(FilterRecord));
  return HeapInput(bytes);
}

const FilterRecord* AsFilter(const std::unique_ptr<uint8_t[]>& bytes) {
  return reinterpret_cast<const FilterRecord*>(bytes.get());
}

// --- the rows ---

std::vector<ExportEntry> ReaderRows() {
  std::vector<ExportEntry> rows;
  rows.push_back({"UhfGetPaStatus", {Kept("status", 1)},
                  [](FakePort& p, CallBuffers& o, int crc) { return UhfGetPaStatus(p.handle(), o[0], crc); },
                  [](FakePort& p, CallBuffers& o, int crc) { return reader::GetPaStatus(p.handle(), o[0], Flag(crc)); },
                  [](bool) { return Plain(0x00, {0x00}); }, false, 800, 1, false, false, false, ZeroRule});
  rows.push_back({"UhfGetPower", {Kept("power", 1)},
                  [](FakePort& p, CallBuffers& o, int crc) { return UhfGetPower(p.handle(), o[0], crc); },
                  [](FakePort& p, CallBuffers& o, int crc) { return reader::GetPower(p.handle(), o[0], Flag(crc)); },
                  [](bool) { return Plain(0x01, {0x00, 0x1E}); }, false, 800, 1, false, false, false, Bit7Clear});
  rows.push_back({"UhfSetPower", {},
                  [](FakePort& p, CallBuffers&, int crc) { return UhfSetPower(p.handle(), 0x1E, 0x155, crc); },
                  [](FakePort& p, CallBuffers&, int crc) { return reader::SetPower(p.handle(), 0x1E, 0x155, Flag(crc)); },
                  [](bool) { return Plain(0x02, {0x00}); }, false, 800, 1, false, false, false, Bit7Clear});
  rows.push_back({"UhfGetFrequency",
                  {Kept("freq0", 1), Kept("freq1", 1), Kept("freq23", 2), Kept("freq4", 1), Kept("freq5", 1),
                   Kept("freq6", 1)},
                  [](FakePort& p, CallBuffers& o, int crc) {
                    return UhfGetFrequency(p.handle(), o[0], o[1], o[2], o[3], o[4], o[5], crc);
                  },
                  [](FakePort& p, CallBuffers& o, int crc) { return reader::GetFrequency(p.handle(), {o[0], o[1], o[2], o[3], o[4], o[5]}, Flag(crc)); },
                  [](bool) { return Plain(0x05, {0x00, 0x01, 0x02, 0x55, 0xAA, 0x05, 0x06, 0x07}); }, false, 800, 1,
                  false, false, false, Bit7Clear});
  rows.push_back({"UhfSetFrequency", {},
                  [](FakePort& p, CallBuffers&, int crc) {
                    auto freq23 = HeapInput({0x02, 0x03});
                    return UhfSetFrequency(p.handle(), 0x01, 0x02, freq23.get(), 0x04, 0x05, 0x06, crc);
                  },
                  [](FakePort& p, CallBuffers&, int crc) {
                    auto freq23 = HeapInput({0x02, 0x03});
                    return reader::SetFrequency(p.handle(), {0x01, 0x02, freq23.get(), 0x04, 0x05, 0x06}, Flag(crc));
                  },
                  [](bool) { return Plain(0x06, {0x00}); }, false, 800, 1, false, false, false, Bit7Clear});
  rows.push_back({"UhfGetRegister", {Written("errorCode", 1, Bytes{0xFF}), Kept("registerData", 4)},
                  [](FakePort& p, CallBuffers& o, int crc) { return UhfGetRegister(p.handle(), 0x10, 4, o[0], o[1], crc); },
                  [](FakePort& p, CallBuffers& o, int crc) { return reader::GetRegister(p.handle(), 0x10, 4, o[0], o[1], Flag(crc)); },
                  [](bool) { return Plain(0x30, {0x00, 0x01, 0x02, 0x03, 0x04}); }, false, 200, 1, false, false, false,
                  ZeroRule});
  rows.push_back({"UhfSetRegister", {Written("errorCode", 1, Sentinels(1))},
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto data = HeapInput({0x11, 0x55, 0xAA, 0xFF});
                    return UhfSetRegister(p.handle(), 0x20, 4, data.get(), o[0], crc);
                  },
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto data = HeapInput({0x11, 0x55, 0xAA, 0xFF});
                    return reader::SetRegister(p.handle(), 0x20, 4, data.get(), o[0], Flag(crc));
                  },
                  [](bool) { return Plain(0x31, {0x00}); }, false, 800, 1, false, false, false, ZeroRule});
  rows.push_back({"UhfResetRegister", {},
                  [](FakePort& p, CallBuffers&, int crc) { return UhfResetRegister(p.handle(), crc); },
                  [](FakePort& p, CallBuffers&, int crc) { return reader::ResetRegister(p.handle(), Flag(crc)); },
                  [](bool) { return Plain(0x32, {0x00}); }, false, 800, 1, false, false, false, ZeroRule});
  rows.push_back({"UhfSaveRegister", {},
                  [](FakePort& p, CallBuffers&, int crc) { return UhfSaveRegister(p.handle(), crc); },
                  [](FakePort& p, CallBuffers&, int crc) { return reader::SaveRegister(p.handle(), Flag(crc)); },
                  [](bool) { return Plain(0x33, {0x00}); }, false, 800, 1, false, false, false, ZeroRule});
  rows.push_back({"UhfSetMultiANT", {},
                  [](FakePort& p, CallBuffers&, int crc) {
                    auto setting = HeapInput({0x03});
                    return UhfSetMultiANT(p.handle(), setting.get(), crc);
                  },
                  [](FakePort& p, CallBuffers&, int crc) {
                    auto setting = HeapInput({0x03});
                    return reader::SetMultiAntSetting(p.handle(), setting.get(), Flag(crc));
                  },
                  [](bool) { return Plain(0x31, {0x00}); }, false, 800, 1, false, false, false, ZeroRule});
  rows.push_back({"UhfGetMultiANT", {Kept("multiAntSetting", 1)},
                  [](FakePort& p, CallBuffers& o, int crc) { return UhfGetMultiANT(p.handle(), o[0], crc); },
                  [](FakePort& p, CallBuffers& o, int crc) { return reader::GetMultiAntSetting(p.handle(), o[0], Flag(crc)); },
                  [](bool) { return Plain(0x30, {0x00, 0x03}); }, false, 200, 1, false, false, false, ZeroRule});
  rows.push_back({"UhfGetVersion", {Kept("versionBlock1", 6), Kept("versionBlock2", 3)},
                  [](FakePort& p, CallBuffers& o, int crc) { return UhfGetVersion(p.handle(), o[0], o[1], crc); },
                  [](FakePort& p, CallBuffers& o, int crc) { return reader::GetVersion(p.handle(), o[0], o[1], Flag(crc)); },
                  [](bool) { return Plain(0x07, WithStatus(0x00, {Pattern(9, 0x31)})); }, false, 800, 1, false, false,
                  false, Bit7Clear});
  rows.push_back({"UhfGetReaderUID", {Kept("readerUid", 12)},
                  [](FakePort& p, CallBuffers& o, int crc) { return UhfGetReaderUID(p.handle(), o[0], crc); },
                  [](FakePort& p, CallBuffers& o, int crc) { return reader::GetReaderUid(p.handle(), o[0], Flag(crc)); },
                  [](bool) { return Plain(0x0A, WithStatus(0x00, {Pattern(12, 0x50)})); }, false, 800, 1, false, false,
                  false, ZeroRule});
  rows.push_back({"UhfEnterSleepMode", {},
                  [](FakePort& p, CallBuffers&, int crc) { return UhfEnterSleepMode(p.handle(), crc); },
                  [](FakePort& p, CallBuffers&, int crc) { return reader::EnterSleepMode(p.handle(), Flag(crc)); },
                  [](bool) { return Plain(0x50, {0x00}); }, false, 800, 1, false, false, false, ZeroRule});
  rows.push_back({"UhfStopOperation", {},
                  [](FakePort& p, CallBuffers&, int crc) { return UhfStopOperation(p.handle(), crc); },
                  [](FakePort& p, CallBuffers&, int crc) { return reader::StopOperation(p.handle(), Flag(crc)); },
                  [](bool) { return Plain(0x12, {0x00}); }, false, 800, 5, false, false, false, Bit7Clear});
  rows.push_back({"UhfSetTransparentTransfer", {Kept("status", 1)},
                  [](FakePort& p, CallBuffers& o, int crc) { return UhfSetTransparentTransfer(p.handle(), 1, o[0], crc); },
                  [](FakePort& p, CallBuffers& o, int crc) { return reader::SetTransparentTransfer(p.handle(), 1, o[0], Flag(crc)); },
                  [](bool) { return Plain(0x0B, {0x00}); }, false, 800, 1, false, false, false, ZeroRule});
  return rows;
}

std::vector<ExportEntry> InventoryRows() {
  std::vector<ExportEntry> rows;
  rows.push_back({"UhfStartInventory", {},
                  [](FakePort& p, CallBuffers&, int crc) { return UhfStartInventory(p.handle(), 1, 0x07, crc); },
                  [](FakePort& p, CallBuffers&, int crc) { return tags::StartInventory(p.handle(), 1, 0x07, Flag(crc)); },
                  [](bool) { return Plain(0x11, {0x01}); }, false, 800, 1, false, false, false, InventoryStart});
  rows.push_back({"UhfReadInventory", {Kept("tagRecordLength", 1), Kept("tagRecord", kRecordBuffer)},
                  [](FakePort& p, CallBuffers& o, int) { return UhfReadInventory(p.handle(), o[0], o[1]); },
                  [](FakePort& p, CallBuffers& o, int) { return tags::ReadInventory(p.handle(), o[0], o[1]); },
                  [](bool) { return Plain(0x10, WithStatus(0x00, {kReplyRecord})); }, true, 800, 1, false, true, false,
                  InventoryReport, 0});
  rows.push_back({"UhfInventorySingleTag", {Kept("tagRecordLength", 1), Kept("tagRecord", kRecordBuffer)},
                  [](FakePort& p, CallBuffers& o, int crc) { return UhfInventorySingleTag(p.handle(), o[0], o[1], crc); },
                  [](FakePort& p, CallBuffers& o, int crc) { return tags::InventorySingleTag(p.handle(), o[0], o[1], Flag(crc)); },
                  [](bool) { return Plain(0x18, WithStatus(0x00, {kReplyRecord})); }, false, 800, 1, false, false,
                  false, ZeroRule, 0});
  return rows;
}

std::vector<ExportEntry> ReadRows() {
  std::vector<ExportEntry> rows;
  rows.push_back({"UhfReadDataByEPC", {Kept("data", 4), TagErrorCode()},
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto password = HeapInput(kPassword);
                    auto wordPtr = HeapInput({0x02});
                    auto epc = HeapInput(kEpcRecord);
                    return UhfReadDataByEPC(p.handle(), password.get(), 3, wordPtr.get(), 2, epc.get(), o[0], o[1], crc);
                  },
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto password = HeapInput(kPassword);
                    auto wordPtr = HeapInput({0x02});
                    auto epc = HeapInput(kEpcRecord);
                    return tags::ReadDataByEpc(p.handle(), password.get(), 3, wordPtr.get(), 2, epc.get(), o[0], o[1], Flag(crc));
                  },
                  [](bool) { return Plain(0x13, WithStatus(0x00, {Pattern(4, 0x10)})); }, false, 10000, 1, true, false,
                  false, Bit7Clear});
  rows.push_back({"UhfReadDataFromSingleTag",
                  {Kept("data", 4), Kept("tagRecord", kRecordBuffer), Kept("tagRecordLength", 1), TagErrorCode()},
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto password = HeapInput(kPassword);
                    auto wordPtr = HeapInput({0x81, 0x00});
                    return UhfReadDataFromSingleTag(p.handle(), password.get(), 3, wordPtr.get(), 2, o[0], o[1], o[2],
                                                    o[3], crc);
                  },
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto password = HeapInput(kPassword);
                    auto wordPtr = HeapInput({0x81, 0x00});
                    return tags::ReadDataFromSingleTag(p.handle(), password.get(), 3, wordPtr.get(), 2, o[0], o[1], o[2], o[3],
                                                       Flag(crc));
                  },
                  [](bool) { return Plain(0x20, WithStatus(0x00, {Pattern(4, 0x10), kReplyRecord})); }, false, 10000,
                  1, true, false, false, Bit7Clear, 4});
  rows.push_back({"UhfReadMaxDataByEPC", {Kept("dataLength", 2), Kept("data", kLargestAnnouncedBlock), TagErrorCode()},
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto password = HeapInput(kPassword);
                    auto wordPtr = HeapInput({0x00});
                    auto epc = HeapInput(kEpcRecord);
                    return UhfReadMaxDataByEPC(p.handle(), password.get(), 2, wordPtr.get(), epc.get(), o[0], o[1], o[2],
                                               crc);
                  },
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto password = HeapInput(kPassword);
                    auto wordPtr = HeapInput({0x00});
                    auto epc = HeapInput(kEpcRecord);
                    return tags::ReadMaxDataByEpc(p.handle(), password.get(), 2, wordPtr.get(), epc.get(), o[0], o[1], o[2],
                                                  Flag(crc));
                  },
                  [](bool) { return Plain(0x13, MaxReadPayload(6, false)); }, false, 10000, 1, true, false, false,
                  Bit7Clear});
  rows.push_back({"UhfReadMaxDataFromSingleTag",
                  {Kept("dataLength", 2), Kept("data", kLargestAnnouncedBlock), Kept("tagRecord", kRecordBuffer),
                   Kept("tagRecordLength", 1), TagErrorCode()},
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto password = HeapInput(kPassword);
                    auto wordPtr = HeapInput({0x00});
                    return UhfReadMaxDataFromSingleTag(p.handle(), password.get(), 2, wordPtr.get(), o[0], o[1], o[2],
                                                       o[3], o[4], crc);
                  },
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto password = HeapInput(kPassword);
                    auto wordPtr = HeapInput({0x00});
                    return tags::ReadMaxDataFromSingleTag(p.handle(), password.get(), 2, wordPtr.get(), o[0], o[1], o[2], o[3],
                                                          o[4], Flag(crc));
                  },
                  [](bool) { return Plain(0x20, MaxReadPayload(6, true)); }, false, 10000, 1, true, false, false,
                  Bit7Clear, 8});
  return rows;
}

std::vector<ExportEntry> WriteRows() {
  std::vector<ExportEntry> rows;
  rows.push_back({"UhfWriteDataByEPC", {TagErrorCode()},
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto password = HeapInput(kPassword);
                    auto wordPtr = HeapInput({0x02});
                    auto epc = HeapInput(kEpcRecord);
                    auto data = HeapInput({0x12, 0x34, 0x56, 0x78});
                    return UhfWriteDataByEPC(p.handle(), password.get(), 3, wordPtr.get(), 2, epc.get(), data.get(), o[0],
                                             crc);
                  },
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto password = HeapInput(kPassword);
                    auto wordPtr = HeapInput({0x02});
                    auto epc = HeapInput(kEpcRecord);
                    auto data = HeapInput({0x12, 0x34, 0x56, 0x78});
                    return tags::WriteDataByEpc(p.handle(), password.get(), 3, wordPtr.get(), 2, epc.get(), data.get(), o[0],
                                                Flag(crc));
                  },
                  [](bool) { return Plain(0x14, {0x00}); }, false, 10000, 1, false, false, false, Bit7Clear});
  rows.push_back({"UhfWriteDataToSingleTag",
                  {Kept("tagRecord", kRecordBuffer), Kept("tagRecordLength", 1), TagErrorCode()},
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto password = HeapInput(kPassword);
                    auto wordPtr = HeapInput({0x02});
                    auto data = HeapInput({0x12, 0x34, 0x56, 0x78});
                    return UhfWriteDataToSingleTag(p.handle(), password.get(), 3, wordPtr.get(), 2, data.get(), o[0],
                                                   o[1], o[2], crc);
                  },
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto password = HeapInput(kPassword);
                    auto wordPtr = HeapInput({0x02});
                    auto data = HeapInput({0x12, 0x34, 0x56, 0x78});
                    return tags::WriteDataToSingleTag(p.handle(), password.get(), 3, wordPtr.get(), 2, data.get(), o[0], o[1],
                                                      o[2], Flag(crc));
                  },
                  [](bool) { return Plain(0x21, WithStatus(0x00, {kReplyRecord})); }, false, 10000, 1, false, false,
                  false, Bit7Clear, -1, false});
  rows.push_back({"UhfBlockWriteDataByEPC", BlockWriteByEpcOuts(),
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto password = HeapInput(kPassword);
                    auto wordPtr = HeapInput({0x02});
                    auto epc = HeapInput(kEpcRecord);
                    auto data = HeapInput({0x12, 0x34, 0x56, 0x78});
                    return UhfBlockWriteDataByEPC(p.handle(), password.get(), 1, wordPtr.get(), 2, epc.get(), data.get(),
                                                  o[0], o[1], o[2], o[3], crc);
                  },
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto password = HeapInput(kPassword);
                    auto wordPtr = HeapInput({0x02});
                    auto epc = HeapInput(kEpcRecord);
                    auto data = HeapInput({0x12, 0x34, 0x56, 0x78});
                    return tags::BlockWriteDataByEpc(p.handle(), password.get(), 1, wordPtr.get(), 2, epc.get(), data.get(),
                                                     o[0], o[1], o[2], o[3], Flag(crc));
                  },
                  [](bool) { return Plain(0x19, {0x00}); }, false, 10000, 1, false, false, false, Bit7Clear});
  rows.push_back({"UhfBlockWriteDataToSingleTag", BlockWriteSingleOuts(),
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto password = HeapInput(kPassword);
                    auto wordPtr = HeapInput({0x02});
                    auto data = HeapInput({0x12, 0x34, 0x56, 0x78});
                    return UhfBlockWriteDataToSingleTag(p.handle(), password.get(), 1, wordPtr.get(), 2, data.get(), o[0],
                                                        o[1], o[2], o[3], o[4], crc);
                  },
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto password = HeapInput(kPassword);
                    auto wordPtr = HeapInput({0x02});
                    auto data = HeapInput({0x12, 0x34, 0x56, 0x78});
                    return tags::BlockWriteDataToSingleTag(p.handle(), password.get(), 1, wordPtr.get(), 2, data.get(), o[0],
                                                           o[1], o[2], o[3], o[4], Flag(crc));
                  },
                  [](bool) { return Plain(0x25, WithStatus(0x00, {kReplyRecord})); }, false, 10000, 1, false, false,
                  false, Bit7Clear, -1, false});
  rows.push_back({"UhfBlockWriteEPCByEPC", BlockWriteByEpcOuts(),
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto password = HeapInput(kPassword);
                    auto epc = HeapInput(kEpcRecord);
                    auto newEpc = HeapInput(Pattern(12, 0x70));
                    return UhfBlockWriteEPCByEPC(p.handle(), password.get(), 6, epc.get(), newEpc.get(), o[0], o[1], o[2],
                                                 o[3], crc);
                  },
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto password = HeapInput(kPassword);
                    auto epc = HeapInput(kEpcRecord);
                    auto newEpc = HeapInput(Pattern(12, 0x70));
                    return tags::BlockWriteEpcByEpc(p.handle(), password.get(), 6, epc.get(), newEpc.get(), o[0], o[1], o[2],
                                                    o[3], Flag(crc));
                  },
                  [](bool) { return Plain(0x19, {0x00}); }, false, 10000, 1, false, false, false, Bit7Clear});
  rows.push_back({"UhfBlockWriteEPCToSingleTag", BlockWriteSingleOuts(),
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto password = HeapInput(kPassword);
                    auto newEpc = HeapInput(Pattern(12, 0x70));
                    return UhfBlockWriteEPCToSingleTag(p.handle(), password.get(), 6, newEpc.get(), o[0], o[1], o[2], o[3],
                                                       o[4], crc);
                  },
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto password = HeapInput(kPassword);
                    auto newEpc = HeapInput(Pattern(12, 0x70));
                    return tags::BlockWriteEpcToSingleTag(p.handle(), password.get(), 6, newEpc.get(), o[0], o[1], o[2], o[3],
                                                          o[4], Flag(crc));
                  },
                  [](bool) { return Plain(0x25, WithStatus(0x00, {kReplyRecord})); }, false, 10000, 1, false, false,
                  false, Bit7Clear, -1, false});
  return rows;
}

std::vector<ExportEntry> EraseLockKillRows() {
  std::vector<ExportEntry> rows;
  rows.push_back({"UhfEraseDataByEPC", {TagErrorCode()},
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto password = HeapInput(kPassword);
                    auto wordPtr = HeapInput({0x00});
                    auto epc = HeapInput(kEpcRecord);
                    return UhfEraseDataByEPC(p.handle(), password.get(), 3, wordPtr.get(), 2, epc.get(), o[0], crc);
                  },
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto password = HeapInput(kPassword);
                    auto wordPtr = HeapInput({0x00});
                    auto epc = HeapInput(kEpcRecord);
                    return tags::EraseDataByEpc(p.handle(), password.get(), 3, wordPtr.get(), 2, epc.get(), o[0], Flag(crc));
                  },
                  [](bool) { return Plain(0x15, {0x00}); }, false, 10000, 1, false, false, false, Bit7Clear});
  rows.push_back({"UhfEraseDataFromSingleTag", {Kept("tagRecord", kRecordBuffer), TagErrorCode()},
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto password = HeapInput(kPassword);
                    auto wordPtr = HeapInput({0x00});
                    return UhfEraseDataFromSingleTag(p.handle(), password.get(), 3, wordPtr.get(), 2, o[0], o[1], crc);
                  },
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto password = HeapInput(kPassword);
                    auto wordPtr = HeapInput({0x00});
                    return tags::EraseDataFromSingleTag(p.handle(), password.get(), 3, wordPtr.get(), 2, o[0], o[1], Flag(crc));
                  },
                  [](bool) { return Plain(0x22, WithStatus(0x00, {kReplyRecord})); }, false, 10000, 1, false, false,
                  false, Bit7Clear, 0});
  rows.push_back({"UhfLockMemByEPC", {TagErrorCode()},
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto password = HeapInput(kPassword);
                    auto payload = HeapInput({0x00, 0xC0, 0x20});
                    auto epc = HeapInput(kEpcRecord);
                    return UhfLockMemByEPC(p.handle(), password.get(), payload.get(), epc.get(), o[0], crc);
                  },
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto password = HeapInput(kPassword);
                    auto payload = HeapInput({0x00, 0xC0, 0x20});
                    auto epc = HeapInput(kEpcRecord);
                    return tags::LockMemByEpc(p.handle(), password.get(), payload.get(), epc.get(), o[0], Flag(crc));
                  },
                  [](bool) { return Plain(0x16, {0x00}); }, false, 10000, 1, false, false, false, Bit7Clear});
  rows.push_back({"UhfLockMemFromSingleTag", {Kept("tagRecord", kRecordBuffer), TagErrorCode()},
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto password = HeapInput(kPassword);
                    auto payload = HeapInput({0x00, 0xC0, 0x20});
                    return UhfLockMemFromSingleTag(p.handle(), password.get(), payload.get(), o[0], o[1], crc);
                  },
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto password = HeapInput(kPassword);
                    auto payload = HeapInput({0x00, 0xC0, 0x20});
                    return tags::LockMemFromSingleTag(p.handle(), password.get(), payload.get(), o[0], o[1], Flag(crc));
                  },
                  [](bool) { return Plain(0x23, WithStatus(0x00, {kReplyRecord})); }, false, 10000, 1, false, false,
                  false, Bit7Clear, 0});
  rows.push_back({"UhfKillTagByEPC", {TagErrorCode()},
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto password = HeapInput(kPassword);
                    auto epc = HeapInput(kEpcRecord);
                    return UhfKillTagByEPC(p.handle(), password.get(), epc.get(), o[0], crc);
                  },
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto password = HeapInput(kPassword);
                    auto epc = HeapInput(kEpcRecord);
                    return tags::KillTagByEpc(p.handle(), password.get(), epc.get(), o[0], Flag(crc));
                  },
                  [](bool) { return Plain(0x17, {0x00}); }, false, 10000, 1, false, false, false, Bit7Clear});
  rows.push_back({"UhfKillSingleTag", {Kept("tagRecord", kRecordBuffer), TagErrorCode()},
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto password = HeapInput(kPassword);
                    return UhfKillSingleTag(p.handle(), password.get(), o[0], o[1], crc);
                  },
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto password = HeapInput(kPassword);
                    return tags::KillSingleTag(p.handle(), password.get(), o[0], o[1], Flag(crc));
                  },
                  [](bool) { return Plain(0x24, WithStatus(0x00, {kReplyRecord})); }, false, 10000, 1, false, false,
                  false, Bit7Clear, 0});
  return rows;
}

int StartMultiTagRead(FakePort& port, int crc, bool antenna) {
  auto password = HeapInput(kPassword);
  auto wordPtr = HeapInput({0x00});
  auto options = HeapInput({0x00, 0x00});
  return antenna ? UhfStartReadDataForMultiAnt(port.handle(), password.get(), 3, wordPtr.get(), 2, 0x00, options.get(),
                                               crc)
                 : UhfStartReadDataFromMultiTag(port.handle(), password.get(), 3, wordPtr.get(), 2, 0x00,
                                                options.get(), crc);
}

link::Result StartMultiTagReadFamily(FakePort& port, int crc, bool multiAnt) {
  auto password = HeapInput(kPassword);
  auto wordPtr = HeapInput({0x00});
  auto options = HeapInput({0x00, 0x00});
  const tags::MultiTagReadRequest request{password.get(), 3, wordPtr.get(), 2, 0x00, options.get()};
  return multiAnt ? antenna::StartReadDataForMultiAnt(port.handle(), request, Flag(crc))
                  : tags::StartReadDataFromMultiTag(port.handle(), request, Flag(crc));
}

tags::DataFrameOutputs DataFrameOutputsFrom(CallBuffers& o, size_t first) {
  return {o[first], o[first + 1], o[first + 2], o[first + 3], o[first + 4], o[first + 5], o[first + 6]};
}

link::Result FamilyMultiTagData(FakePort& p, CallBuffers& o, int) {
  return tags::GetDataFromMultiTag(p.handle(), DataFrameOutputsFrom(o, 0));
}

link::Result FamilyMultiAntData(FakePort& p, CallBuffers& o, int) {
  return antenna::GetDataFromMultiAnt(p.handle(), o[0], DataFrameOutputsFrom(o, 1));
}

int GetMultiTagData(FakePort& p, CallBuffers& o, int) {
  return UhfGetDataFromMultiTag(p.handle(), o[0], o[1], o[2], o[3], o[4], o[5], o[6]);
}

int GetMultiAntData(FakePort& p, CallBuffers& o, int) {
  return UhfGetDataFromMultiAnt(p.handle(), o[0], o[1], o[2], o[3], o[4], o[5], o[6], o[7]);
}

std::vector<OutBuffer> MultiAntDataOuts() {
  std::vector<OutBuffer> outs{Kept("antenna", 1)};
  for (const OutBuffer& out : MultiTagDataOuts()) outs.push_back(out);
  return outs;
}

std::vector<ExportEntry> StreamRows() {
  std::vector<ExportEntry> rows;
  rows.push_back({"UhfStartReadDataFromMultiTag", {},
                  [](FakePort& p, CallBuffers&, int crc) { return StartMultiTagRead(p, crc, false); },
                  [](FakePort& p, CallBuffers&, int crc) { return StartMultiTagReadFamily(p, crc, false); },
                  [](bool) { return Plain(0x26, {0x01}); }, false, 10000, 1, false, false, false, OneRule});
  rows.push_back({"UhfGetDataFromMultiTag", MultiTagDataOuts(), GetMultiTagData,
                  FamilyMultiTagData,
                  [](bool) { return Plain(0x26, DataFramePayload(0x00, 4, 0)); }, true, 10000, 1, true, true, false,
                  DataFrameOne, 6});
  rows.push_back({"UhfAddFilter", {TagErrorCode()},
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto filter = HeapFilter();
                    return UhfAddFilter(p.handle(), AsFilter(filter), o[0], crc);
                  },
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto filter = HeapFilter();
                    return tags::AddFilter(p.handle(), AsFilter(filter), o[0], Flag(crc));
                  },
                  [](bool) { return Plain(0x38, {0x00}); }, false, 800, 1, false, false, false, ZeroRule});
  rows.push_back({"UhfDeleteFilterByIndex", {TagErrorCode()},
                  [](FakePort& p, CallBuffers& o, int crc) { return UhfDeleteFilterByIndex(p.handle(), 1, o[0], crc); },
                  [](FakePort& p, CallBuffers& o, int crc) { return tags::DeleteFilterByIndex(p.handle(), 1, o[0], Flag(crc)); },
                  [](bool) { return Plain(0x39, {0x00}); }, false, 800, 1, false, false, true, ZeroRule});
  rows.push_back({"UhfStartGetFilterByIndex", {TagErrorCode()},
                  [](FakePort& p, CallBuffers& o, int crc) {
                    return UhfStartGetFilterByIndex(p.handle(), 0, 0, o[0], crc);
                  },
                  [](FakePort& p, CallBuffers& o, int crc) { return tags::StartGetFilterByIndex(p.handle(), 0, 0, o[0], Flag(crc)); },
                  [](bool) { return Plain(0x3A, {0x01}); }, false, 800, 1, false, false, true, OneRule});
  rows.push_back({"UhfReadFilterByIndex",
                  {Written("frameStatus", 1, Bytes{0xFF}), Kept("filter", sizeof(FilterRecord))},
                  [](FakePort& p, CallBuffers& o, int) {
                    return UhfReadFilterByIndex(p.handle(), o[0], reinterpret_cast<FilterRecord*>(o[1]));
                  },
                  [](FakePort& p, CallBuffers& o, int) { return tags::ReadFilterByIndex(p.handle(), o[0], reinterpret_cast<FilterRecord*>(o[1])); },
                  [](bool) { return Plain(0x3A, WithStatus(0x00, {kFilterWire})); }, true, 800, 1, false, true, false,
                  FilterReport});
  rows.push_back({"UhfSelectFilterByIndex", {TagErrorCode()},
                  [](FakePort& p, CallBuffers& o, int crc) { return UhfSelectFilterByIndex(p.handle(), 1, 0, o[0], crc); },
                  [](FakePort& p, CallBuffers& o, int crc) { return tags::SelectFilterByIndex(p.handle(), 1, 0, o[0], Flag(crc)); },
                  [](bool) { return Plain(0x3B, {0x00}); }, false, 800, 1, false, false, true, ZeroRule});
  return rows;
}

std::vector<ExportEntry> AntennaRows() {
  std::vector<ExportEntry> rows;
  rows.push_back({"UhfCheckANT", {Kept("antennaState", 1)},
                  [](FakePort& p, CallBuffers& o, int crc) { return UhfCheckANT(p.handle(), o[0], crc); },
                  [](FakePort& p, CallBuffers& o, int crc) { return antenna::CheckAntenna(p.handle(), o[0], Flag(crc)); },
                  [](bool) { return Plain(0x03, {0x00, 0x0F}); }, false, 800, 1, false, false, false, ZeroRule});
  rows.push_back({"UhfChooseANT", {},
                  [](FakePort& p, CallBuffers&, int crc) { return UhfChooseANT(p.handle(), 0x102, crc); },
                  [](FakePort& p, CallBuffers&, int crc) { return antenna::ChooseAntenna(p.handle(), 0x102, Flag(crc)); },
                  [](bool) { return Plain(0x04, {0x00}); }, false, 800, 1, false, false, false, ZeroRule});
  rows.push_back({"UhfStartInventoryForMultiAnt", {},
                  [](FakePort& p, CallBuffers&, int crc) { return UhfStartInventoryForMultiAnt(p.handle(), 0, 0, crc); },
                  [](FakePort& p, CallBuffers&, int crc) { return antenna::StartInventoryForMultiAnt(p.handle(), 0, 0, Flag(crc)); },
                  [](bool) { return Antenna(0x01, 0x10, {0x01}); }, false, 800, 1, false, true, false, FlagBit});
  rows.push_back({"UhfReadInventoryFromMultiAnt",
                  {Kept("antenna", 1), Kept("tagRecordLength", 1), Kept("tagRecord", kRecordBuffer)},
                  [](FakePort& p, CallBuffers& o, int) { return UhfReadInventoryFromMultiAnt(p.handle(), o[0], o[1], o[2]); },
                  [](FakePort& p, CallBuffers& o, int) { return antenna::ReadInventoryFromMultiAnt(p.handle(), o[0], o[1], o[2]); },
                  [](bool) { return Antenna(0x02, 0x10, WithStatus(0x00, {kReplyRecord})); }, true, 800, 1, false, true,
                  false, InventoryReport, 0});
  rows.push_back({"UhfStartReadDataForMultiAnt", {},
                  [](FakePort& p, CallBuffers&, int crc) { return StartMultiTagRead(p, crc, true); },
                  [](FakePort& p, CallBuffers&, int crc) { return StartMultiTagReadFamily(p, crc, true); },
                  [](bool) { return Antenna(0x01, 0x26, {0x01}); }, false, 800, 1, false, false, false, OneRule});
  rows.push_back({"UhfGetDataFromMultiAnt", MultiAntDataOuts(), GetMultiAntData,
                  FamilyMultiAntData,
                  [](bool) { return Antenna(0x03, 0x26, DataFramePayload(0x00, 4, 0)); }, true, 10000, 1, true, true,
                  false, DataFrameOne, 6});
  return rows;
}

std::vector<ExportEntry> UpdateRows() {
  std::vector<ExportEntry> rows;
  rows.push_back({"UhfUpdateInit",
                  {Written("portHandleOut", sizeof(PortHandle), std::nullopt), ReplyStatus(), Kept("initValue", sizeof(int))},
                  [](FakePort& p, CallBuffers& o, int crc) {
                    p.Publish(kUpdatePortName);
                    return UhfUpdateInit(reinterpret_cast<PortHandle*>(o[0]), kUpdatePortName, o[1], o.AsInt(2),
                                         0x06 | crc);
                  },
                  [](FakePort& p, CallBuffers& o, int crc) {
                    p.Publish(kUpdatePortName);
                    return update::UpdateInit(reinterpret_cast<PortHandle*>(o[0]), kUpdatePortName, o[1], o[2], Flag(0x06 | crc));
                  },
                  [](bool) { return Plain(0x53, {0x00, 0x78, 0x56, 0x34, 0x12}); }, false, 800, 1, false, false, true,
                  ZeroRule});
  rows.push_back({"UhfUpdateSendRN32", {ReplyStatus()},
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto rn32 = HeapInput({0x78, 0x56, 0x34, 0x12});
                    return UhfUpdateSendRN32(p.handle(), rn32.get(), o[0], crc);
                  },
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto rn32 = HeapInput({0x78, 0x56, 0x34, 0x12});
                    return update::UpdateSendRn32(p.handle(), rn32.get(), o[0], Flag(crc));
                  },
                  [](bool) { return Plain(0x54, {0x00}); }, false, 800, 1, false, false, true, ZeroRule});
  rows.push_back({"UhfUpdateSendSize", {ReplyStatus()},
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto size = HeapInput({0x00, 0x01, 0x00, 0x00});
                    return UhfUpdateSendSize(p.handle(), o[0], size.get(), crc);
                  },
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto size = HeapInput({0x00, 0x01, 0x00, 0x00});
                    return update::UpdateSendSize(p.handle(), o[0], size.get(), Flag(crc));
                  },
                  [](bool) { return Plain(0x56, {0x00}); }, false, 8000, 1, false, false, true, ZeroRule});
  rows.push_back({"UhfUpdateSendData", {ReplyStatus()},
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto block = HeapInput(Pattern(16, 0x00));
                    return UhfUpdateSendData(p.handle(), o[0], 0x01, 0x02, 16, block.get(), crc);
                  },
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto block = HeapInput(Pattern(16, 0x00));
                    return update::UpdateSendData(p.handle(), o[0], 0x01, 0x02, 16, block.get(), Flag(crc));
                  },
                  [](bool) { return Plain(0x57, {0x00}); }, false, 8000, 1, false, false, true, ZeroRule});
  rows.push_back({"UhfUpdateCommit", {ReplyStatus()},
                  [](FakePort& p, CallBuffers& o, int crc) { return UhfUpdateCommit(p.handle(), o[0], crc); },
                  [](FakePort& p, CallBuffers& o, int crc) { return update::UpdateCommit(p.handle(), o[0], Flag(crc)); },
                  [](bool) { return Plain(0x58, {0x00}); }, false, 800, 1, false, false, true, ZeroRule});
  return rows;
}

std::vector<ExportEntry> SamRows() {
  std::vector<ExportEntry> rows;
  // A case-2 APDU asking for 4 response bytes: responseLength is written before anything is sent.
  rows.push_back({"UhfSetSAM",
                  {Written("response", 4, Sentinels(4)), Written("responseLength", sizeof(int), IntBytes(4)),
                   ReplyStatus("sw1"), ReplyStatus("sw2"), ReplyStatus()},
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto apdu = HeapInput({0x00, 0x84, 0x00, 0x00, 0x04});
                    return UhfSetSAM(p.handle(), apdu.get(), 5, o[0], o.AsInt(1), o[2], o[3], o[4], crc);
                  },
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto apdu = HeapInput({0x00, 0x84, 0x00, 0x00, 0x04});
                    return sam::SetSam(p.handle(), apdu.get(), 5, o[0], o.AsInt(1), o[2], o[3], o[4], Flag(crc));
                  },
                  [](bool) { return Plain(0x43, {0x00, 0x01, 0x02, 0x03, 0x04, 0x90, 0x00}); }, false, 800, 1, true,
                  false, true, Bit7Clear});
  rows.push_back({"UhfGetInfoSAMtoSRA", {ReplyStatus("sw1"), ReplyStatus("sw2"), ReplyStatus()},
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto apdu = HeapInput({0x80, 0xCA, 0x00, 0x00});
                    return UhfGetInfoSAMtoSRA(p.handle(), apdu.get(), 4, o[0], o[1], o[2], crc);
                  },
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto apdu = HeapInput({0x80, 0xCA, 0x00, 0x00});
                    return sam::GetInfoSamToSr(p.handle(), sam::SrTarget::kSrA, apdu.get(), 4, o[0], o[1], o[2], Flag(crc));
                  },
                  [](bool) { return Plain(0x44, {0x00, 0x90, 0x00}); }, false, 800, 1, false, false, true, Bit7Clear});
  rows.push_back({"UhfGetInfoSAMtoSRB", {ReplyStatus("sw1"), ReplyStatus("sw2"), ReplyStatus()},
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto apdu = HeapInput({0x80, 0xCA, 0x00, 0x00, 0x02});
                    return UhfGetInfoSAMtoSRB(p.handle(), apdu.get(), 5, o[0], o[1], o[2], crc);
                  },
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto apdu = HeapInput({0x80, 0xCA, 0x00, 0x00, 0x02});
                    return sam::GetInfoSamToSr(p.handle(), sam::SrTarget::kSrB, apdu.get(), 5, o[0], o[1], o[2], Flag(crc));
                  },
                  [](bool) { return Plain(0x45, {0x00, 0x90, 0x00}); }, false, 800, 1, false, false, true, Bit7Clear});
  rows.push_back({"UhfGetSR", {Kept("srData", 80), ReplyStatus()},
                  [](FakePort& p, CallBuffers& o, int crc) { return UhfGetSR(p.handle(), 0, o[0], o[1], crc); },
                  [](FakePort& p, CallBuffers& o, int crc) { return sam::GetSr(p.handle(), 0, o[0], o[1], Flag(crc)); },
                  [](bool) { return Plain(0x72, WithStatus(0x00, {Pattern(80, 0x20)})); }, false, 800, 1, false, false,
                  true, ZeroRule});
  rows.push_back({"UhfSetPsamPowerOnOrOff", {Kept("answer", 255), Kept("answerLength", 1)},
                  [](FakePort& p, CallBuffers& o, int crc) {
                    return UhfSetPsamPowerOnOrOff(p.handle(), 1, 1, o[0], o[1], crc);
                  },
                  [](FakePort& p, CallBuffers& o, int crc) { return sam::SetPsamPower(p.handle(), 1, 1, o[0], o[1], Flag(crc)); },
                  [](bool) { return Plain(0x46, WithStatus(0x01, {Pattern(8, 0x3B)})); }, false, 800, 1, true, false,
                  false, PsamPower, -1, false});
  rows.push_back({"UhfWriteSRtoTagByEPC",
                  {TagErrorCode(), Written("writeStatus", 1, Bytes{0x80}), Written("writtenWordCount", 1, Bytes{0x00})},
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto password = HeapInput(kPassword);
                    auto wordPtr = HeapInput({0x00});
                    auto epc = HeapInput(kEpcRecord);
                    return UhfWriteSRtoTagByEPC(p.handle(), password.get(), 3, wordPtr.get(), 0x01, epc.get(), 0x02, 0x03,
                                                0x04, o[0], o[1], o[2], crc);
                  },
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto password = HeapInput(kPassword);
                    auto wordPtr = HeapInput({0x00});
                    auto epc = HeapInput(kEpcRecord);
                    const sam::SrWriteRequest request{password.get(), 3, wordPtr.get(), {0x01, 0x02, 0x03, 0x04}};
                    return sam::WriteSrToTagByEpc(p.handle(), request, epc.get(), {o[0], o[1], o[2]}, Flag(crc));
                  },
                  [](bool) { return Plain(0x70, {0x00}); }, false, 10000, 1, false, false, false, Bit7Clear});
  rows.push_back({"UhfWriteSRtoTagSingle",
                  {Written("tagRecord", 255, Sentinels(255)), Kept("tagRecordLength", 1), TagErrorCode(),
                   Written("writeStatus", 1, Bytes{0x80}), Written("writtenWordCount", 1, Bytes{0x00})},
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto password = HeapInput(kPassword);
                    auto wordPtr = HeapInput({0x81, 0x02});
                    return UhfWriteSRtoTagSingle(p.handle(), password.get(), 3, wordPtr.get(), 0x01, 0x02, 0x03, 0x04,
                                                 o[0], o[1], o[2], o[3], o[4], crc);
                  },
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto password = HeapInput(kPassword);
                    auto wordPtr = HeapInput({0x81, 0x02});
                    const sam::SrWriteRequest request{password.get(), 3, wordPtr.get(), {0x01, 0x02, 0x03, 0x04}};
                    return sam::WriteSrToTagSingle(p.handle(), request, o[0], o[1], {o[2], o[3], o[4]}, Flag(crc));
                  },
                  [](bool) { return Plain(0x71, WithStatus(0x00, {kReplyRecord})); }, false, 10000, 1, false, false,
                  false, Bit7Clear, -1, false});
  return rows;
}

// Second variants: replies that take the two-byte length form by their size.
std::vector<ExportEntry> LongRows() {
  std::vector<ExportEntry> rows;
  rows.push_back({"UhfGetRegister to-end", {Written("errorCode", 1, Bytes{0xFF}), Kept("registerData", 16)},
                  [](FakePort& p, CallBuffers& o, int crc) { return UhfGetRegister(p.handle(), 0x1F0, 0, o[0], o[1], crc); },
                  [](FakePort& p, CallBuffers& o, int crc) { return reader::GetRegister(p.handle(), 0x1F0, 0, o[0], o[1], Flag(crc)); },
                  [](bool) { return Long(0x30, WithStatus(0x00, {Pattern(16, 0x01)})); }, false, 200, 1, false, false,
                  false, ZeroRule});
  rows.push_back({"UhfReadDataByEPC long", {Kept("data", 400), TagErrorCode()},
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto password = HeapInput(kPassword);
                    auto wordPtr = HeapInput({0x00});
                    auto epc = HeapInput(kEpcRecord);
                    return UhfReadDataByEPC(p.handle(), password.get(), 3, wordPtr.get(), 200, epc.get(), o[0], o[1], crc);
                  },
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto password = HeapInput(kPassword);
                    auto wordPtr = HeapInput({0x00});
                    auto epc = HeapInput(kEpcRecord);
                    return tags::ReadDataByEpc(p.handle(), password.get(), 3, wordPtr.get(), 200, epc.get(), o[0], o[1],
                                               Flag(crc));
                  },
                  [](bool) { return Plain(0x13, WithStatus(0x00, {Pattern(400, 0x00)})); }, false, 10000, 1, true,
                  false, false, Bit7Clear});
  rows.push_back({"UhfReadMaxDataFromSingleTag long",
                  {Kept("dataLength", 2), Kept("data", kLargestAnnouncedBlock), Kept("tagRecord", kRecordBuffer),
                   Kept("tagRecordLength", 1), TagErrorCode()},
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto password = HeapInput(kPassword);
                    auto wordPtr = HeapInput({0x00});
                    return UhfReadMaxDataFromSingleTag(p.handle(), password.get(), 2, wordPtr.get(), o[0], o[1], o[2],
                                                       o[3], o[4], crc);
                  },
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto password = HeapInput(kPassword);
                    auto wordPtr = HeapInput({0x00});
                    return tags::ReadMaxDataFromSingleTag(p.handle(), password.get(), 2, wordPtr.get(), o[0], o[1], o[2], o[3],
                                                          o[4], Flag(crc));
                  },
                  [](bool) { return Plain(0x20, MaxReadPayload(300, true)); }, false, 10000, 1, true, false, false,
                  Bit7Clear, 302});
  rows.push_back({"UhfGetDataFromMultiTag two-blocks", MultiTagDataOuts(), GetMultiTagData,
                  FamilyMultiTagData,
                  [](bool) { return Plain(0x26, DataFramePayload(0x01, 4, 2)); }, true, 10000, 1, true, true, false,
                  DataFrameTwo, 10});
  rows.push_back({"UhfGetDataFromMultiTag long", MultiTagDataOuts(), GetMultiTagData,
                  FamilyMultiTagData,
                  [](bool) { return Plain(0x26, DataFramePayload(0x01, 200, 100)); }, true, 10000, 1, true, true, false,
                  DataFrameTwo, 304});
  rows.push_back({"UhfGetDataFromMultiAnt long", MultiAntDataOuts(), GetMultiAntData,
                  FamilyMultiAntData,
                  [](bool) { return Antenna(0x04, 0x26, DataFramePayload(0x01, 150, 0)); }, true, 10000, 1, true, true,
                  false, DataFrameTwo, 154});
  rows.push_back({"UhfSetSAM long",
                  {Written("response", 200, Sentinels(200)), Written("responseLength", sizeof(int), IntBytes(200)),
                   ReplyStatus("sw1"), ReplyStatus("sw2"), ReplyStatus()},
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto apdu = HeapInput({0x00, 0xB0, 0x00, 0x00, 0xC8});
                    return UhfSetSAM(p.handle(), apdu.get(), 5, o[0], o.AsInt(1), o[2], o[3], o[4], crc);
                  },
                  [](FakePort& p, CallBuffers& o, int crc) {
                    auto apdu = HeapInput({0x00, 0xB0, 0x00, 0x00, 0xC8});
                    return sam::SetSam(p.handle(), apdu.get(), 5, o[0], o.AsInt(1), o[2], o[3], o[4], Flag(crc));
                  },
                  [](bool) { return Plain(0x43, WithStatus(0x00, {Pattern(200, 0x05), {0x90, 0x00}})); }, false, 800, 1,
                  true, false, true, Bit7Clear});
  rows.push_back({"UhfSetPsamPowerOnOrOff long", {Kept("answer", 255), Kept("answerLength", 1)},
                  [](FakePort& p, CallBuffers& o, int crc) {
                    return UhfSetPsamPowerOnOrOff(p.handle(), 2, 0, o[0], o[1], crc);
                  },
                  [](FakePort& p, CallBuffers& o, int crc) { return sam::SetPsamPower(p.handle(), 2, 0, o[0], o[1], Flag(crc)); },
                  [](bool) { return Plain(0x46, WithStatus(0x01, {Pattern(255, 0x00)})); }, false, 800, 1, true, false,
                  false, PsamPower, -1, false});
  return rows;
}

std::vector<ExportEntry> BuildCatalog() {
  std::vector<ExportEntry> rows;
  for (auto part : {ReaderRows, InventoryRows, ReadRows, WriteRows, EraseLockKillRows, StreamRows, AntennaRows,
                    UpdateRows, SamRows, LongRows}) {
    for (ExportEntry& entry : part()) rows.push_back(std::move(entry));
  }
  return rows;
}


}  // namespace

CallBuffers::CallBuffers(const std::vector<OutBuffer>& layout) {
  for (const OutBuffer& out : layout) {
    const size_t full = out.size + kGuardSize;
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[full]);
    std::memset(buffer.get(), kCallSentinel, out.size);
    std::memset(buffer.get() + out.size, kGuardByte, kGuardSize);
    buffers_.push_back(std::move(buffer));
    sizes_.push_back(out.size);
  }
}

Bytes CallBuffers::Contents(size_t index) const {
  return Bytes(buffers_[index].get(), buffers_[index].get() + sizes_[index]);
}

bool CallBuffers::Untouched(size_t index) const {
  for (size_t i = 0; i < sizes_[index]; ++i) {
    if (buffers_[index][i] != kCallSentinel) return false;
  }
  return true;
}

bool CallBuffers::GuardsIntact() const {
  for (size_t b = 0; b < buffers_.size(); ++b) {
    for (size_t i = 0; i < kGuardSize; ++i) {
      if (buffers_[b][sizes_[b] + i] != kGuardByte) return false;
    }
  }
  return true;
}

std::unique_ptr<uint8_t[]> HeapInput(const Bytes& bytes) {
  std::unique_ptr<uint8_t[]> copy(new uint8_t[bytes.empty() ? 1 : bytes.size()]);
  if (!bytes.empty()) std::memcpy(copy.get(), bytes.data(), bytes.size());
  return copy;
}

const char* OutcomeName(link::Outcome outcome) {
  switch (outcome) {
    case link::Outcome::kSuccess:
      return "kSuccess";
    case link::Outcome::kPortUnusable:
      return "kPortUnusable";
    case link::Outcome::kPortGone:
      return "kPortGone";
    case link::Outcome::kWriteFailed:
      return "kWriteFailed";
    case link::Outcome::kNoReply:
      return "kNoReply";
    case link::Outcome::kCutOff:
      return "kCutOff";
    case link::Outcome::kBadEscape:
      return "kBadEscape";
    case link::Outcome::kUnescapedHeadOrTail:
      return "kUnescapedHeadOrTail";
    case link::Outcome::kWrongTail:
      return "kWrongTail";
    case link::Outcome::kTooLong:
      return "kTooLong";
    case link::Outcome::kCrcMismatch:
      return "kCrcMismatch";
    case link::Outcome::kOtherCommand:
      return "kOtherCommand";
    case link::Outcome::kRefused:
      return "kRefused";
    case link::Outcome::kTooShort:
      return "kTooShort";
    case link::Outcome::kCommandTooLong:
      return "kCommandTooLong";
    case link::Outcome::kInvalidArgument:
      return "kInvalidArgument";
  }
  return "an outcome without a name";
}

Bytes PortlessContents(const CallBuffers& out, size_t index, const FakePort& port) {
  const PortHandle handle = port.handle();
  Bytes handleBytes(sizeof handle);
  std::memcpy(handleBytes.data(), &handle, sizeof handle);
  const Bytes contents = out.Contents(index);
  return contents == handleBytes ? Bytes(sizeof handle, 0x00) : contents;
}

const std::vector<ExportEntry>& ExportCatalog() {
  static const std::vector<ExportEntry> catalog = BuildCatalog();
  return catalog;
}

const ExportEntry* FindExport(const std::string& name) {
  for (const ExportEntry& entry : ExportCatalog()) {
    if (entry.name == name) return &entry;
  }
  return nullptr;
}

Bytes ShapeFrame(const ReplyShape& shape, bool crcMode) {
  const uint8_t code = static_cast<uint8_t>(crcMode ? shape.code | 0x80 : shape.code & 0x7F);
  const Bytes prefix = shape.antenna ? Bytes{0xFE, shape.antennaNumber, code} : Bytes{code};
  return FrameEnvelope(shape.twoByteForm, Join({prefix, shape.payload}), crcMode);
}

Bytes ShapeWire(const ReplyShape& shape, bool crcMode) { return StuffedFrame(ShapeFrame(shape, crcMode)); }

void ScriptReply(FakePort& port, const ExportEntry& entry, const Bytes& wire, uint32_t gapMs) {
  if (entry.receiveOnly) {
    port.Deliver(wire, gapMs);
  } else {
    port.ReplyToNextCommand(wire, gapMs);
  }
}

uint32_t TimeBound(const ExportEntry& entry, size_t wireBytes, uint32_t gapMs) {
  constexpr uint32_t kSlackMs = 10;
  const uint32_t perReceive = entry.timeLimitMs + FakePort::kReadTimeoutMs + gapMs;
  return static_cast<uint32_t>(entry.receives) * perReceive + static_cast<uint32_t>(wireBytes) * gapMs + kSlackMs;
}

}  // namespace quarn::testing
