// The tags in the field and the Gen2 memory commands on them: by PC word and EPC, or on the single
// tag in the field.

#include <algorithm>

#include "sim/engine/virtual_reader.h"
#include "sim/model/error_codes.h"

namespace quarn::sim {

namespace {

constexpr int kWriteMarginDb = 3;
constexpr size_t kPasswordSize = 4;
constexpr size_t kLockPayloadSize = 3;
constexpr size_t kMaxAntennas = 8;
// A single-tag command without a tag still carries a record where its layout has one: PC word 0.
const Bytes kEmptyRecord = {0x00, 0x00};

uint8_t CountByte(size_t count) { return static_cast<uint8_t>(std::min<size_t>(count, 0xFF)); }

}  // namespace

bool VirtualReader::MultiAntennaMode() const { return registers_.at(reg::kMultiAntenna) != 0; }

// With the multi-antenna register set, every antenna whose bit is set; else the chosen antenna.
std::vector<uint8_t> VirtualReader::ActiveAntennas() const {
  std::vector<uint8_t> antennas;
  if (!MultiAntennaMode()) {
    antennas.push_back(registers_.at(reg::kChosenAntenna));
    return antennas;
  }
  for (size_t k = 0; k < kMaxAntennas; ++k) {
    if ((registers_.at(reg::kMultiAntenna) >> k) & 1u) antennas.push_back(static_cast<uint8_t>(k + 1));
  }
  return antennas;
}

bool VirtualReader::Visible(const Tag& tag, uint8_t antenna) const {
  if (tag.killed() || !tag.PresentAt(nowUs_) || antenna < 1 || antenna > antennaCount_) return false;
  const uint8_t bit = static_cast<uint8_t>(1u << (antenna - 1));
  if ((connected_ & bit) == 0 || (tag.antennaMask() & bit) == 0) return false;
  return registers_.at(reg::kReadPower) >= tag.minPowerDbm();
}

std::vector<VirtualReader::Participant> VirtualReader::Participants(bool applyFilters) {
  std::vector<Participant> participants;
  for (uint8_t antenna : ActiveAntennas()) {
    for (Tag& tag : tags_) {
      if (!Visible(tag, antenna)) continue;
      if (applyFilters && !filters_.Selects(tag)) continue;
      participants.push_back({antenna, &tag});
    }
  }
  return participants;
}

VirtualReader::Target VirtualReader::SingleTarget() {
  std::vector<Tag*> distinct;
  for (const Participant& participant : Participants(true)) {
    if (std::find(distinct.begin(), distinct.end(), participant.tag) == distinct.end()) {
      distinct.push_back(participant.tag);
    }
  }
  if (distinct.empty()) return {nullptr, errors::kNoTag};
  if (distinct.size() > 1) return {nullptr, errors::kSeveralTags};
  return {distinct.front(), 0};
}

// The reader singles out the tag by its PC word and EPC; the select filters play no part in that.
VirtualReader::Target VirtualReader::RecordTarget(const Bytes& record) {
  for (const Participant& participant : Participants(false)) {
    if (participant.tag->Record() == record) return {participant.tag, 0};
  }
  return {nullptr, errors::kTagNotFound};
}

// A command by EPC names its tag by the record; any other wants the one tag in the field.
VirtualReader::Target VirtualReader::AddressedTag(bool byEpc, const Bytes& record) {
  return byEpc ? RecordTarget(record) : SingleTarget();
}

TagError VirtualReader::CheckWritePower(const Tag& tag) const {
  if (registers_.at(reg::kWritePower) < tag.minPowerDbm() + kWriteMarginDb) return errors::kInsufficientPower;
  return std::nullopt;
}

// What a command that changes the tag passes first: enough power to write, then the access password.
TagError VirtualReader::AdmitChange(Tag& tag, const Bytes& password, bool* secured) const {
  if (TagError error = CheckWritePower(tag)) return error;
  return tag.Authorize(password, secured);
}

size_t VirtualReader::TearLimit(uint8_t plainCode) const {
  if (faults_.tearAfterWords == 0) return SIZE_MAX;
  if (!faults_.codes.empty() && faults_.codes.count(plainCode) == 0) return SIZE_MAX;
  return faults_.tearAfterWords;
}

VirtualReader::MemoryAccess VirtualReader::ReadMemoryAccess(ParamReader& reader) {
  MemoryAccess access;
  access.password = reader.Take(kPasswordSize);
  access.bankCode = reader.Byte();
  access.pointer = reader.Ebv();
  access.count = reader.Byte();
  return access;
}

void VirtualReader::InventorySingleTag(const Command& command) {
  if (!command.params.empty()) return Malformed(command);
  // Several tags: the one that wins the arbitration answers, the first of the field.
  const std::vector<Participant> participants = Participants(true);
  if (participants.empty()) return ErrorReply(command, errors::kNoTag);
  Reply(command, status::kOk, participants.front().tag->Record());
}

void VirtualReader::ReadData(const Command& command, bool byEpc) {
  ParamReader reader(command.params);
  const MemoryAccess access = ReadMemoryAccess(reader);
  const Bytes record = byEpc ? reader.TagRecord() : Bytes{};
  if (!reader.Finish()) return Malformed(command);
  const std::optional<MemoryBank> bank = BankFromCode(access.bankCode);
  if (!bank) return ErrorReply(command, errors::kBadParameter);
  const Target target = AddressedTag(byEpc, record);
  if (!target.tag) return ErrorReply(command, target.error);
  bool secured = false;
  if (TagError error = target.tag->Authorize(access.password, &secured)) return ErrorReply(command, *error);
  Bytes words;
  if (TagError error = target.tag->Read(*bank, access.pointer, access.count, secured, &words)) {
    return ErrorReply(command, *error);
  }
  Bytes data;
  // A count of 0 reads to the end of the bank, and the reply says how many bytes that was.
  if (access.count == 0) {
    data.push_back(static_cast<uint8_t>(words.size() >> 8));
    data.push_back(static_cast<uint8_t>(words.size() & 0xFF));
  }
  data.insert(data.end(), words.begin(), words.end());
  if (!byEpc) {
    const Bytes own = target.tag->Record();
    data.insert(data.end(), own.begin(), own.end());
  }
  Reply(command, status::kOk, std::move(data));
}

void VirtualReader::WriteData(const Command& command, bool byEpc) {
  ParamReader reader(command.params);
  const MemoryAccess access = ReadMemoryAccess(reader);
  const Bytes words = reader.Take(2u * access.count);
  const Bytes record = byEpc ? reader.TagRecord() : Bytes{};
  if (!reader.Finish()) return Malformed(command);
  const std::optional<MemoryBank> bank = BankFromCode(access.bankCode);
  if (!bank) return ErrorReply(command, errors::kBadParameter);
  const Target target = AddressedTag(byEpc, record);
  if (!target.tag) return ErrorReply(command, target.error);
  bool secured = false;
  if (TagError error = AdmitChange(*target.tag, access.password, &secured)) return ErrorReply(command, *error);
  const WriteOutcome outcome = target.tag->Write(*bank, access.pointer, words, secured);
  if (outcome.error) return ErrorReply(command, *outcome.error);
  Reply(command, status::kOk, byEpc ? Bytes{} : target.tag->Record());
}

void VirtualReader::BlockWriteData(const Command& command, bool byEpc) {
  ParamReader reader(command.params);
  const MemoryAccess access = ReadMemoryAccess(reader);
  const Bytes words = reader.Take(2u * access.count);
  const Bytes record = byEpc ? reader.TagRecord() : Bytes{};
  if (!reader.Finish()) return Malformed(command);
  WriteOutcome refused;
  const std::optional<MemoryBank> bank = BankFromCode(access.bankCode);
  if (!bank) {
    refused.error = errors::kBadParameter;
    return ReplyBlockWrite(command, byEpc, nullptr, refused);
  }
  const Target target = AddressedTag(byEpc, record);
  if (!target.tag) {
    refused.error = target.error;
    return ReplyBlockWrite(command, byEpc, nullptr, refused);
  }
  bool secured = false;
  refused.error = AdmitChange(*target.tag, access.password, &secured);
  if (refused.error) return ReplyBlockWrite(command, byEpc, target.tag, refused);
  const WriteOutcome outcome = target.tag->Write(*bank, access.pointer, words, secured, TearLimit(command.plain()));
  ReplyBlockWrite(command, byEpc, target.tag, outcome);
}

// Success: nothing (by EPC) or the tag's record. Failure with a code: the code and the count of words
// written; failure without one (the tag stopped answering): the count. Single-tag replies add the
// tag's record after the write.
void VirtualReader::ReplyBlockWrite(const Command& command, bool byEpc, const Tag* tag, const WriteOutcome& outcome) {
  const Bytes record = tag ? tag->Record() : kEmptyRecord;
  Bytes data;
  uint8_t statusByte = status::kOk;
  if (outcome.error) {
    statusByte = status::kErrorCode;
    data = {*outcome.error, CountByte(outcome.wordsWritten)};
  } else if (outcome.torn) {
    statusByte = status::kTorn;
    data = {CountByte(outcome.wordsWritten)};
  }
  if (!byEpc) data.insert(data.end(), record.begin(), record.end());
  Reply(command, statusByte, std::move(data));
}

void VirtualReader::EraseData(const Command& command, bool byEpc) {
  ParamReader reader(command.params);
  const MemoryAccess access = ReadMemoryAccess(reader);
  const Bytes record = byEpc ? reader.TagRecord() : Bytes{};
  if (!reader.Finish()) return Malformed(command);
  const std::optional<MemoryBank> bank = BankFromCode(access.bankCode);
  if (!bank) return ErrorReply(command, errors::kBadParameter);
  const Target target = AddressedTag(byEpc, record);
  if (!target.tag) return ErrorReply(command, target.error);
  bool secured = false;
  if (TagError error = AdmitChange(*target.tag, access.password, &secured)) return ErrorReply(command, *error);
  if (TagError error = target.tag->Erase(*bank, access.pointer, access.count, secured)) {
    return ErrorReply(command, *error);
  }
  Reply(command, status::kOk, byEpc ? Bytes{} : target.tag->Record());
}

void VirtualReader::LockMem(const Command& command, bool byEpc) {
  ParamReader reader(command.params);
  const Bytes password = reader.Take(kPasswordSize);
  const Bytes payload = reader.Take(kLockPayloadSize);
  const Bytes record = byEpc ? reader.TagRecord() : Bytes{};
  if (!reader.Finish()) return Malformed(command);
  const Target target = AddressedTag(byEpc, record);
  if (!target.tag) return ErrorReply(command, target.error);
  bool secured = false;
  if (TagError error = AdmitChange(*target.tag, password, &secured)) return ErrorReply(command, *error);
  if (TagError error = target.tag->Lock(payload, secured)) return ErrorReply(command, *error);
  Reply(command, status::kOk, byEpc ? Bytes{} : target.tag->Record());
}

void VirtualReader::KillTag(const Command& command, bool byEpc) {
  ParamReader reader(command.params);
  const Bytes password = reader.Take(kPasswordSize);
  const Bytes record = byEpc ? reader.TagRecord() : Bytes{};
  if (!reader.Finish()) return Malformed(command);
  const Target target = AddressedTag(byEpc, record);
  if (!target.tag) return ErrorReply(command, target.error);
  if (TagError error = CheckWritePower(*target.tag)) return ErrorReply(command, *error);
  const Bytes last = target.tag->Record();
  if (TagError error = target.tag->Kill(password)) return ErrorReply(command, *error);
  Reply(command, status::kOk, byEpc ? Bytes{} : last);
}

}  // namespace quarn::sim
