#include "sim/model/error_codes.h"

namespace quarn::sim::errors {

const char* ErrorName(uint8_t code) {
  switch (code) {
    case kOtherError: return "other error";
    case kMemoryOverrun: return "memory overrun";
    case kMemoryLocked: return "memory locked";
    case kInsufficientPower: return "insufficient power";
    case kNonSpecific: return "non-specific error";
    case kNoTag: return "no tag in the field";
    case kSeveralTags: return "more than one tag in the field";
    case kTagNotFound: return "addressed tag not found";
    case kWrongAccessPassword: return "wrong access password";
    case kNotSecured: return "tag not in the secured state";
    case kKillRefused: return "kill refused";
    case kBadParameter: return "bad parameter";
    default: return "unknown error";
  }
}

}  // namespace quarn::sim::errors
