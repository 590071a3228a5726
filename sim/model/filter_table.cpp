#include "sim/model/filter_table.h"

#include "sim/codec/param_reader.h"

namespace quarn::sim {

namespace {

constexpr uint8_t kOnlyThis = 0x00;
constexpr uint8_t kSwitchOn = 0x01;
constexpr uint8_t kSwitchOff = 0x02;
constexpr uint8_t kAllOff = 0xFF;

bool BitOf(const Tag& tag, MemoryBank bank, size_t bit) {
  return ((tag.Word(bank, bit / 16) >> (15 - bit % 16)) & 1u) != 0;
}

bool MaskBit(const Bytes& mask, size_t bit) { return ((mask[bit / 8] >> (7 - bit % 8)) & 1u) != 0; }

}  // namespace

bool StoredFilter::Matches(const Tag& tag) const {
  const auto bank = BankFromCode(memBank & 0x03);
  if (!bank || *bank == MemoryBank::kReserved) return false;
  const size_t bankBits = tag.BankWords(*bank) * 16;
  if (bitPointer + maskBitLength > bankBits) return false;
  for (size_t i = 0; i < maskBitLength; ++i) {
    if (BitOf(tag, *bank, bitPointer + i) != MaskBit(mask, i)) return false;
  }
  return true;
}

std::optional<StoredFilter> ParseStoredFilter(const Bytes& wire) {
  ParamReader reader(wire);
  StoredFilter record;
  record.index = reader.Byte();
  const uint8_t recordLength = reader.Byte();
  record.target = reader.Byte();
  record.action = reader.Byte();
  record.memBank = reader.Byte();
  record.bitPointer = reader.Ebv();
  record.maskBitLength = reader.Byte();
  record.mask = reader.Take((record.maskBitLength + 7u) / 8u);
  record.truncate = reader.Byte();
  if (!reader.Finish() || recordLength != wire.size()) return std::nullopt;
  record.wire = wire;
  return record;
}

uint8_t FilterTable::Add(const Bytes& wire) {
  if (!wire.empty() && wire[0] >= kFilterSlots) return filter_status::kIndexOutOfRange;
  std::optional<StoredFilter> record = ParseStoredFilter(wire);
  if (!record) return filter_status::kMalformed;
  records_[record->index] = std::move(*record);
  return filter_status::kOk;
}

uint8_t FilterTable::Delete(uint8_t index) {
  if (index >= kFilterSlots) return filter_status::kIndexOutOfRange;
  if (records_.erase(index) == 0) return filter_status::kNoSuchFilter;
  active_.erase(index);
  return filter_status::kOk;
}

uint8_t FilterTable::Select(uint8_t index, uint8_t option) {
  if (option == kAllOff) {
    active_.clear();
    return filter_status::kOk;
  }
  if (index >= kFilterSlots) return filter_status::kIndexOutOfRange;
  if (records_.count(index) == 0) return filter_status::kNoSuchFilter;
  switch (option) {
    case kOnlyThis:
      active_ = {index};
      return filter_status::kOk;
    case kSwitchOn:
      active_.insert(index);
      return filter_status::kOk;
    case kSwitchOff:
      active_.erase(index);
      return filter_status::kOk;
    default:
      return filter_status::kMalformed;
  }
}

bool FilterTable::Selects(const Tag& tag) const {
  if (active_.empty()) return true;
  bool selected = false;
  for (uint8_t index : active_) {
    const StoredFilter& record = records_.at(index);
    const bool match = record.Matches(tag);
    switch (record.action & 0x07) {
      case 0: selected = match; break;
      case 1: if (match) selected = true; break;
      case 2: if (!match) selected = false; break;
      case 3: if (match) selected = !selected; break;
      case 4: selected = !match; break;
      case 5: if (match) selected = false; break;
      case 6: if (!match) selected = true; break;
      case 7: if (!match) selected = !selected; break;
    }
  }
  return selected;
}

}  // namespace quarn::sim
