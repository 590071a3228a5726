#include "presence.h"

#include <algorithm>

namespace quarn::watch {

PresenceTracker::PresenceTracker(Millis hold, size_t maxTags) : hold_(hold), maxTags_(std::max<size_t>(maxTags, 1)) {}

PresenceEvent PresenceTracker::Depart(const Tag& tag, WallTime time, bool evicted) const {
  PresenceEvent event;
  event.kind = Presence::kDepart;
  event.time = time;
  event.pc = tag.pc;
  event.epc = tag.epc;
  event.antenna = tag.antenna;
  event.lastSeen = tag.lastSeenWall;
  event.reads = tag.reads;
  event.evicted = evicted;
  return event;
}

void PresenceTracker::DropOldest(WallTime time, bool evicted, std::vector<PresenceEvent>& events) {
  events.push_back(Depart(order_.back(), time, evicted));
  byEpc_.erase(order_.back().key);
  order_.pop_back();
}

void PresenceTracker::Seen(const TagRead& read, SteadyTime now, WallTime time, std::vector<PresenceEvent>& events) {
  std::string key(read.epc.begin(), read.epc.end());
  if (auto found = byEpc_.find(key); found != byEpc_.end()) {
    Tag& tag = *found->second;
    tag.pc = read.pc;
    tag.antenna = read.antenna;
    tag.lastSeen = now;
    tag.lastSeenWall = time;
    tag.away = Millis(0);
    ++tag.reads;
    order_.splice(order_.begin(), order_, found->second);
    return;
  }
  if (byEpc_.size() >= maxTags_) {
    DropOldest(order_.back().lastSeenWall, true, events);
    ++evicted_;
  }
  order_.push_front(Tag{key, read.pc, read.epc, read.antenna, now, time, Millis(0), 1});
  byEpc_.emplace(key, order_.begin());
  PresenceEvent arrive;
  arrive.kind = Presence::kArrive;
  arrive.time = time;
  arrive.pc = read.pc;
  arrive.epc = read.epc;
  arrive.antenna = read.antenna;
  events.push_back(arrive);
}

void PresenceTracker::Age(SteadyTime now, std::vector<PresenceEvent>& events) {
  while (!pausedAt_ && !order_.empty() && order_.back().lastSeen + hold_ <= now) {
    const Tag& oldest = order_.back();
    DropOldest(oldest.lastSeenWall + oldest.away + hold_, false, events);
  }
}

std::optional<SteadyTime> PresenceTracker::nextDeparture() const {
  if (order_.empty() || pausedAt_) return std::nullopt;
  return order_.back().lastSeen + hold_;
}

void PresenceTracker::Pause(SteadyTime now) {
  if (!pausedAt_) pausedAt_ = now;
}

// Moving every last read on by the time away keeps the order (most recently read first) as it was.
void PresenceTracker::Resume(SteadyTime now) {
  if (!pausedAt_) return;
  Millis away = std::chrono::duration_cast<Millis>(now - *pausedAt_);
  pausedAt_.reset();
  for (Tag& tag : order_) {
    tag.lastSeen += away;
    tag.away += away;
  }
}

void PresenceTracker::DepartAll(WallTime time, std::vector<PresenceEvent>& events) {
  while (!order_.empty()) DropOldest(time, false, events);
  pausedAt_.reset();
}

}  // namespace quarn::watch
