#include "outbound_queue.h"

#include <algorithm>

namespace quarn::watch {

OutboundQueue::OutboundQueue(size_t capacity) : capacity_(std::max<size_t>(capacity, 1)) {}

std::deque<OutboundQueue::Entry>::iterator OutboundQueue::Find(uint64_t id) {
  return std::find_if(entries_.begin(), entries_.end(), [id](const Entry& entry) { return entry.id == id; });
}

void OutboundQueue::Push(Message message) {
  if (entries_.size() >= capacity_) {
    ++overflow_;
    auto waiting = std::find_if(entries_.begin(), entries_.end(), [](const Entry& entry) { return !entry.sent; });
    if (waiting == entries_.end()) return;  // all on their way: the new one is what does not fit
    entries_.erase(waiting);
  }
  entries_.push_back({nextId_++, std::move(message), false});
}

std::optional<std::pair<uint64_t, Message>> OutboundQueue::Take() {
  auto waiting = std::find_if(entries_.begin(), entries_.end(), [](const Entry& entry) { return !entry.sent; });
  if (waiting == entries_.end()) return std::nullopt;
  waiting->sent = true;
  ++sent_;
  return std::make_pair(waiting->id, waiting->message);
}

void OutboundQueue::Acknowledge(uint64_t id) {
  auto entry = Find(id);
  if (entry == entries_.end()) return;
  if (entry->sent) --sent_;
  entries_.erase(entry);
}

void OutboundQueue::Return(uint64_t id) {
  auto entry = Find(id);
  if (entry == entries_.end() || !entry->sent) return;
  entry->sent = false;
  --sent_;
}

void OutboundQueue::ReturnAll() {
  for (Entry& entry : entries_) entry.sent = false;
  sent_ = 0;
}

}  // namespace quarn::watch
