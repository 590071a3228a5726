#include "presence.h"

#include <algorithm>

namespace quarn::watch {

PresenceTracker::PresenceTracker(Millis hold, size_t maxTags) : hold_(hold), maxTags_(std::max<size_t>(maxTags, 1)) {}

PresenceEvent PresenceTracker::Depart(const Tag& tag, bool evicted) const {
  PresenceEvent event;
  event.kind = Presence::kDepart;
  event.time = evicted ? tag.lastSeenWall : tag.lastSeenWall + hold_;
  event.pc = tag.pc;
  event.epc = tag.epc;
  event.antenna = tag.antenna;
  event.lastSeen = tag.lastSeenWall;
  event.reads = tag.reads;
  event.evicted = evicted;
  return event;
}

void PresenceTracker::Seen(const TagRead& read, SteadyTime now, WallTime time, std::vector<PresenceEvent>& events) {
  std::string key(read.epc.begin(), read.epc.end());
  if (auto found = byEpc_.find(key); found != byEpc_.end()) {
    Tag& tag = *found->second;
    tag.pc = read.pc;
    tag.antenna = read.antenna;
    tag.lastSeen = now;
    tag.lastSeenWall = time;
    ++tag.reads;
    order_.splice(order_.begin(), order_, found->second);
    return;
  }
  if (byEpc_.size() >= maxTags_) {
    events.push_back(Depart(order_.back(), true));
    byEpc_.erase(order_.back().key);
    order_.pop_back();
    ++evicted_;
  }
  order_.push_front(Tag{key, read.pc, read.epc, read.antenna, now, time, 1});
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
  while (!order_.empty() && order_.back().lastSeen + hold_ <= now) {
    events.push_back(Depart(order_.back(), false));
    byEpc_.erase(order_.back().key);
    order_.pop_back();
  }
}

std::optional<SteadyTime> PresenceTracker::nextDeparture() const {
  if (order_.empty()) return std::nullopt;
  return order_.back().lastSeen + hold_;
}

}  // namespace quarn::watch
