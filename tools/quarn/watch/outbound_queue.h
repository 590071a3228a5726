#pragma once
// The messages an output holds until they are out: bounded, so an absent broker or a stalled pipe
// costs a fixed amount of memory, and honest, so what does not fit is counted rather than lost without
// a trace. A message taken for sending stays until it is acknowledged; one whose sending failed goes
// back to waiting, in its place. When the queue is full the oldest message still waiting makes room
// (the newest reads matter most once the way is clear again); messages on their way are never dropped.
// Not thread-safe: its owner holds the lock.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

#include "messages.h"

namespace quarn::watch {

class OutboundQueue {
 public:
  explicit OutboundQueue(size_t capacity);

  void Push(Message message);
  // The oldest message waiting, now marked as on its way, with the id to acknowledge it by.
  std::optional<std::pair<uint64_t, Message>> Take();
  void Acknowledge(uint64_t id);
  // A sending that failed: the message waits again.
  void Return(uint64_t id);
  // The connection went away: every message on its way waits again.
  void ReturnAll();

  size_t depth() const { return entries_.size(); }
  size_t onTheirWay() const { return sent_; }
  uint64_t overflow() const { return overflow_; }
  size_t capacity() const { return capacity_; }

 private:
  struct Entry {
    uint64_t id;
    Message message;
    bool sent;
  };
  std::deque<Entry>::iterator Find(uint64_t id);

  size_t capacity_;
  std::deque<Entry> entries_;
  size_t sent_ = 0;
  uint64_t nextId_ = 1;
  uint64_t overflow_ = 0;
};

}  // namespace quarn::watch
