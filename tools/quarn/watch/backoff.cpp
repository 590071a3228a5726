#include "backoff.h"

#include <algorithm>

namespace quarn::watch {

Millis Backoff::Next() {
  Millis wait = next_;
  next_ = std::min(next_ * 2, ceiling_);
  return std::min(wait, ceiling_);
}

}  // namespace quarn::watch
