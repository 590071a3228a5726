#pragma once
// What every export does at the C boundary. Integer arguments arrive as int and the command families take
// the unsigned value whose low bits they send, so a negative int arrives as its two's-complement bits;
// their results, and the outcomes of their exchanges, leave as the 1 or 0 of the C interface.

#include <cstdint>

#include "link/outcome.h"

namespace quarn::exports {

constexpr uint32_t Arg(int value) { return static_cast<uint32_t>(value); }

constexpr int Result(bool succeeded) { return succeeded ? 1 : 0; }

// The C face keeps only whether the exchange succeeded; the outcome is for the C++ face.
constexpr int Result(const link::Result& outcome) { return outcome.ok() ? 1 : 0; }

}  // namespace quarn::exports
