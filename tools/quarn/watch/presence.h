#pragma once
// Arrive and depart events of one reader: a tag arrives when it is first read, and departs once it has
// not been read for the hold time. The state is one entry per tag present, so it shrinks again as tags
// leave, and it never grows past a bound: when a new tag finds it full, the tag read longest ago is
// dropped (with a depart marked evicted, so every arrive still gets its depart) and counted.
// The hold time runs only while the reader reads: a reader that is away cannot tell a tag that left
// from one that stayed, so its tags wait, and a short unplug makes no depart and no second arrive.

#include <cstddef>
#include <list>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "messages.h"

namespace quarn::watch {

class PresenceTracker {
 public:
  PresenceTracker(Millis hold, size_t maxTags);

  // A read seen at `now`, arrived at `time`: appends an arrive for a new tag (after the evicted depart
  // that made room for it).
  void Seen(const TagRead& read, SteadyTime now, WallTime time, std::vector<PresenceEvent>& events);
  // Appends a depart for every tag not read for the hold time by `now`, oldest first.
  void Age(SteadyTime now, std::vector<PresenceEvent>& events);
  // When the next depart falls due; none while no tag is present or while paused.
  std::optional<SteadyTime> nextDeparture() const;
  // The reader went away at `now`: no tag departs until it is back.
  void Pause(SteadyTime now);
  // The reader reads again at `now`: each tag's hold goes on where it stopped.
  void Resume(SteadyTime now);
  // Another reader took this one's place: every tag departs at `time`, oldest first.
  void DepartAll(WallTime time, std::vector<PresenceEvent>& events);

  size_t tracked() const { return byEpc_.size(); }
  uint64_t evicted() const { return evicted_; }

 private:
  struct Tag {
    std::string key;
    uint16_t pc = 0;
    Bytes epc;
    std::optional<int> antenna;
    SteadyTime lastSeen{};
    WallTime lastSeenWall{};
    Millis away{0};  // the reader's time away since this tag's last read, which the hold does not count
    uint64_t reads = 0;
  };
  using Order = std::list<Tag>;  // most recently read first

  PresenceEvent Depart(const Tag& tag, WallTime time, bool evicted) const;
  void DropOldest(WallTime time, bool evicted, std::vector<PresenceEvent>& events);

  Millis hold_;
  size_t maxTags_;
  Order order_;
  std::unordered_map<std::string, Order::iterator> byEpc_;
  uint64_t evicted_ = 0;
  std::optional<SteadyTime> pausedAt_;
};

}  // namespace quarn::watch
