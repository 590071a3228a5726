#pragma once
// The reader's table of select filters. Each filter is the parameter set of a Gen2 Select; the filters
// that are switched on decide, in index order, which tags take part in inventories, multi-tag reads
// and single-tag commands.

#include <cstdint>
#include <map>
#include <optional>
#include <set>

#include "sim/codec/frame_codec.h"
#include "sim/model/tag.h"

namespace quarn::sim {

struct StoredFilter {
  uint8_t index = 0;
  uint8_t target = 0;
  uint8_t action = 0;
  uint8_t memBank = 0;
  uint32_t bitPointer = 0;
  uint8_t maskBitLength = 0;
  Bytes mask;
  uint8_t truncate = 0;
  Bytes wire;  // the record as it was received, reported back unchanged

  // Whether the tag's bank holds the mask at the bit pointer. An empty mask matches every tag; a mask
  // running past the end of the bank, or a reserved-bank mask, matches none.
  bool Matches(const Tag& tag) const;
};

// Filter status bytes, reported by the host library as the error code.
namespace filter_status {
inline constexpr uint8_t kOk = 0x00;
inline constexpr uint8_t kLastReport = 0x01;
inline constexpr uint8_t kIndexOutOfRange = 0x01;
inline constexpr uint8_t kMalformed = 0x02;
inline constexpr uint8_t kNoSuchFilter = 0x03;
}  // namespace filter_status

inline constexpr size_t kFilterSlots = 16;

// The wire form: index, length, target, action, bank, EBV bit pointer, mask bit length, mask, truncate.
// Refused when the record's length byte does not count exactly its own bytes.
std::optional<StoredFilter> ParseStoredFilter(const Bytes& wire);

class FilterTable {
 public:
  uint8_t Add(const Bytes& wire);
  uint8_t Delete(uint8_t index);
  // option 0x00: only this filter is on; 0x01: switch it on beside the others; 0x02: switch it off;
  // 0xFF: switch every filter off (the index is not looked at).
  uint8_t Select(uint8_t index, uint8_t option);

  // Gen2 Select actions on the selection flag, filter by filter: 0 match on / others off, 1 match on,
  // 2 others off, 3 match toggled, 4 match off / others on, 5 match off, 6 others on, 7 others toggled.
  // With no filter switched on every tag takes part.
  bool Selects(const Tag& tag) const;

  const std::map<uint8_t, StoredFilter>& records() const { return records_; }
  const std::set<uint8_t>& active() const { return active_; }

 private:
  std::map<uint8_t, StoredFilter> records_;
  std::set<uint8_t> active_;
};

}  // namespace quarn::sim
