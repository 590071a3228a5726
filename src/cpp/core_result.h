#pragma once
// The families' results as link::Result. The families are moving from bool to link::Result; the bool
// overload bridges the time until every one of them reports its outcome, and goes with the last bool.

#include "link/outcome.h"

namespace quarn::cpp {

inline link::Result FromCore(link::Result result) { return result; }

// A bool tells only that something failed; kNoReply is the least wrong guess.
inline link::Result FromCore(bool ok) { return ok ? link::Succeeded() : link::Failed(link::Outcome::kNoReply); }

}  // namespace quarn::cpp
