#pragma once
// An output of the watch (stdout, the MQTT broker). Readers' threads hand it messages; it never makes
// them wait: what it cannot take now it queues, within a bound, and counts what overflows.

#include <string>

#include "messages.h"

namespace quarn::watch {

class Sink {
 public:
  virtual ~Sink() = default;
  // Returns at once; called from any reader's thread.
  virtual void Deliver(const Message& message) = 0;
  // Adds this output's counters for one reader (queue depth, overflow, connection) to a status object.
  virtual void Describe(const std::string& reader, Json& status) = 0;
  // Sends what still waits, for at most `limit`, and lets go; nothing is delivered after it.
  virtual void Finish(Millis limit) = 0;
};

}  // namespace quarn::watch
