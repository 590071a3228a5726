#pragma once
// The wait between attempts to reach something that went away (a reader's port, the broker): short at
// first, so a brief glitch costs little, doubling up to a ceiling, so a long absence costs little too.

#include "clock.h"

namespace quarn::watch {

class Backoff {
 public:
  Backoff(Millis first, Millis ceiling) : first_(first), ceiling_(ceiling), next_(first) {}
  // The wait before the next attempt; each call doubles the one after, up to the ceiling.
  Millis Next();
  // After a success: the next trouble starts again from the first wait.
  void Reset() { next_ = first_; }

 private:
  Millis first_;
  Millis ceiling_;
  Millis next_;
};

// A reader's port: 100 ms doubling to 5 s.
constexpr Millis kReaderBackoffFirst{100};
constexpr Millis kReaderBackoffCeiling{5000};
// The broker: the same ladder; a broker on the site's network is usually back within seconds.
constexpr Millis kBrokerBackoffFirst{100};
constexpr Millis kBrokerBackoffCeiling{5000};

}  // namespace quarn::watch
