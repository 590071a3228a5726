#include "reader_setup.h"

#include <algorithm>

#include "outcome_names.h"

namespace quarn::watch {

namespace {

// Select options of the reader: the first filter alone, each further one beside those before it.
constexpr uint8_t kSelectOnly = 0x00;
constexpr uint8_t kSelectAlso = 0x01;

std::optional<SetupFailure> Failed(const std::string& step, const std::error_code& error) {
  if (!error) return std::nullopt;
  return SetupFailure{step, error};
}

std::optional<SetupFailure> ApplyMultiAntenna(quarn::Reader& reader, bool multiAntenna) {
  std::error_code error;
  uint8_t current = 0, connected = 0;
  if (multiAntenna) {
    current = reader.GetMultiAntSetting(error);
    if (error) return Failed("multi-antenna setting", error);
    if (current == 0) connected = reader.CheckAntenna(error);
    if (error) return Failed("antenna check", error);
    if (current == 0 && connected == 0) return SetupFailure{"antenna check: no antenna connected", {}};
  }
  reader.SetMultiAntSetting(MultiAntennaValue(multiAntenna, current, connected), error);
  return Failed("multi-antenna setting", error);
}

std::optional<SetupFailure> ApplyPower(quarn::Reader& reader, const std::vector<int>& power) {
  if (power.empty()) return std::nullopt;
  std::error_code error;
  const auto first = static_cast<uint8_t>(power[0]);
  reader.SetPower(first, power.size() > 1 ? static_cast<uint8_t>(power[1]) : first, error);
  return Failed("RF power", error);
}

std::optional<SetupFailure> ApplyFilters(quarn::Reader& reader, const std::vector<SelectFilter>& filters) {
  bool first = true;
  for (const SelectFilter& filter : filters) {
    const std::string step = "filter " + std::to_string(filter.index);
    std::error_code error;
    reader.AddFilter(ToFilter(filter), error);
    if (error) return Failed(step, error);
    reader.SelectFilter(static_cast<uint8_t>(filter.index), first ? kSelectOnly : kSelectAlso, error);
    if (error) return Failed(step + " selection", error);
    first = false;
  }
  return std::nullopt;
}

}  // namespace

std::string SetupFailure::Describe() const { return error ? step + ": " + OutcomeName(error) : step; }

uint8_t MultiAntennaValue(bool multiAntenna, uint8_t current, uint8_t connected) {
  if (!multiAntenna) return 0;
  return current != 0 ? current : connected;
}

quarn::Filter ToFilter(const SelectFilter& filter) {
  quarn::Filter out;
  out.index = static_cast<uint8_t>(filter.index);
  out.target = static_cast<uint8_t>(filter.target);
  out.action = static_cast<uint8_t>(filter.action);
  out.bank = static_cast<MemoryBank>(filter.bank);
  out.bitPointer = static_cast<uint32_t>(filter.pointer);
  const size_t bytes = std::min(filter.mask.size(), quarn::Filter::kMaxMaskBytes);
  const int bits = std::min<int>(filter.maskBits, static_cast<int>(bytes * 8));
  std::error_code ignored;  // the bit count fits the bytes by construction
  out.SetMask(quarn::ByteView(filter.mask.data(), bytes), static_cast<uint8_t>(std::min(bits, 255)), ignored);
  out.truncate = static_cast<uint8_t>(filter.truncate);
  return out;
}

std::optional<SetupFailure> ApplySettings(quarn::Reader& reader, const ReaderSettings& settings) {
  if (auto failure = ApplyMultiAntenna(reader, settings.multiAntenna)) return failure;
  if (auto failure = ApplyPower(reader, settings.power)) return failure;
  return ApplyFilters(reader, settings.filters);
}

}  // namespace quarn::watch
