// The queue that bridges a broker's absence: bounded, nothing dropped without being counted, nothing
// on its way ever dropped, and what was not acknowledged sent again.

#include "outbound_queue.h"

#include <gtest/gtest.h>

namespace quarn::watch {
namespace {

Message Read(int n) { return {MessageKind::kRead, "dock", std::to_string(n)}; }

std::vector<std::string> Waiting(OutboundQueue& queue) {
  std::vector<std::string> lines;
  while (auto next = queue.Take()) lines.push_back(next->second.line);
  return lines;
}

TEST(WatchOutboundQueue, WhenFullTheOldestWaitingMakesRoomAndIsCounted) {
  OutboundQueue queue(3);
  for (int n = 1; n <= 5; ++n) queue.Push(Read(n));
  EXPECT_EQ(queue.depth(), 3u);
  EXPECT_EQ(queue.overflow(), 2u);
  EXPECT_EQ(Waiting(queue), (std::vector<std::string>{"3", "4", "5"}));
}

TEST(WatchOutboundQueue, MessagesOnTheirWayAreNeverDropped) {
  OutboundQueue queue(2);
  queue.Push(Read(1));
  queue.Push(Read(2));
  auto first = queue.Take();
  auto second = queue.Take();
  queue.Push(Read(3));  // both on their way: the new one is what does not fit
  EXPECT_EQ(queue.overflow(), 1u);
  EXPECT_EQ(queue.depth(), 2u);
  queue.Acknowledge(first->first);
  queue.Push(Read(4));
  queue.Push(Read(5));  // 4 waits, 2 is on its way: 4 makes room
  EXPECT_EQ(queue.overflow(), 2u);
  queue.Acknowledge(second->first);
  EXPECT_EQ(Waiting(queue), (std::vector<std::string>{"5"}));
}

TEST(WatchOutboundQueue, WhatWasNotAcknowledgedGoesAgainInItsPlace) {
  OutboundQueue queue(10);
  for (int n = 1; n <= 4; ++n) queue.Push(Read(n));
  auto one = queue.Take();
  auto two = queue.Take();
  auto three = queue.Take();
  EXPECT_EQ(queue.onTheirWay(), 3u);
  queue.Acknowledge(two->first);
  queue.Return(one->first);  // a failed send
  queue.Return(one->first);  // twice changes nothing
  EXPECT_EQ(queue.onTheirWay(), 1u);
  queue.ReturnAll();  // the connection went away
  EXPECT_EQ(queue.onTheirWay(), 0u);
  queue.Acknowledge(two->first);  // a late acknowledgement of what is gone already
  EXPECT_EQ(Waiting(queue), (std::vector<std::string>{"1", "3", "4"}));
  queue.Acknowledge(three->first);
  EXPECT_EQ(queue.depth(), 2u);
  EXPECT_EQ(queue.overflow(), 0u);
}

}  // namespace
}  // namespace quarn::watch
