#include "cpp/filter_record.h"

#include <algorithm>

#include "cpp/ebv.h"
#include "cpp/value_checks.h"
#include "tags/select_filters.h"

namespace quarn {

namespace {

// index, recordLength, target, action, bank, one pointer byte, maskBitLength, truncate.
constexpr size_t kFixedWireBytes = 8;

const char* CheckMask(ByteView bytes, uint8_t bits) {
  if (bytes.size() < tags::MaskSize(bits)) return "the mask bytes are fewer than its bit length needs (ceil(bits / 8))";
  return nullptr;
}

}  // namespace

void Filter::SetMask(ByteView bytes, uint8_t bits) {
  cpp::ThrowIfRefused("Filter::SetMask", CheckMask(bytes, bits));
  std::error_code ec;
  SetMask(bytes, bits, ec);
}

void Filter::SetMask(ByteView bytes, uint8_t bits, std::error_code& ec) {
  if (!cpp::Accepted(CheckMask(bytes, bits), ec)) return;
  mask.fill(0);
  std::copy(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(tags::MaskSize(bits)), mask.begin());
  maskBitLength = bits;
}

size_t Filter::wireLength() const {
  const size_t pointerExtra = bitPointer < 0x80 ? 0 : 1;
  return kFixedWireBytes + pointerExtra + tags::MaskSize(maskBitLength);
}

namespace {
constexpr const char* kSelectTargetNames[] = {"s0", "s1", "s2", "s3", "sl"};
constexpr size_t kNamedTargets = sizeof kSelectTargetNames / sizeof kSelectTargetNames[0];
}  // namespace

std::string SelectTargetName(uint8_t target) {
  return target < kNamedTargets ? kSelectTargetNames[target] : std::to_string(target);
}

std::optional<uint8_t> ParseSelectTarget(std::string_view name) {
  for (size_t target = 0; target < kNamedTargets; ++target) {
    if (name == kSelectTargetNames[target]) return static_cast<uint8_t>(target);
  }
  return std::nullopt;
}

namespace cpp {

const char* ToFilterRecord(const Filter& filter, FilterRecord& record) {
  const Ebv pointer = EncodeEbv(filter.bitPointer);
  if (pointer.size == 0) return "a filter's bit pointer goes up to 16383 (two EBV bytes)";
  record = FilterRecord{};
  record.filterIndex = filter.index;
  record.recordLength = static_cast<unsigned char>(filter.wireLength());
  record.target = filter.target;
  record.action = filter.action;
  record.memBank = static_cast<unsigned char>(filter.bank);
  record.pointer[0] = pointer.bytes[0];
  record.pointer[1] = pointer.bytes[1];
  record.maskBitLength = filter.maskBitLength;
  std::copy(filter.mask.begin(), filter.mask.end(), record.mask);
  record.truncate = filter.truncate;
  return nullptr;
}

Filter FromFilterRecord(const FilterRecord& record) {
  Filter filter;
  filter.index = record.filterIndex;
  filter.target = record.target;
  filter.action = record.action;
  filter.bank = static_cast<MemoryBank>(record.memBank);
  filter.bitPointer = DecodeEbv(record.pointer);
  filter.maskBitLength = record.maskBitLength;
  std::copy(record.mask, record.mask + Filter::kMaxMaskBytes, filter.mask.begin());
  filter.truncate = record.truncate;
  return filter;
}

}  // namespace cpp
}  // namespace quarn
