#include "sim/engine/output_queue.h"

#include <algorithm>

namespace quarn::sim {

namespace {
constexpr uint64_t kBitsPerByte = 10;
constexpr uint64_t kMicrosPerSecond = 1000000;
}  // namespace

void OutputQueue::Push(const Bytes& wire, uint64_t notBeforeUs, uint32_t baud) {
  const uint64_t byteUs = baud == 0 ? 0 : (kBitsPerByte * kMicrosPerSecond + baud - 1) / baud;
  uint64_t due = notBeforeUs;
  if (!bytes_.empty()) due = std::max(due, bytes_.back().dueUs + byteUs);
  for (uint8_t value : wire) {
    bytes_.push_back({due, value});
    due += byteUs;
  }
}

Bytes OutputQueue::TakeDue(uint64_t nowUs) {
  Bytes due;
  while (!bytes_.empty() && bytes_.front().dueUs <= nowUs) {
    due.push_back(bytes_.front().value);
    bytes_.pop_front();
  }
  return due;
}

std::optional<uint64_t> OutputQueue::NextDueUs() const {
  if (bytes_.empty()) return std::nullopt;
  return bytes_.front().dueUs;
}

}  // namespace quarn::sim
