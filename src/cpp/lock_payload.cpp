#include "quarn/lock.h"
#include "tags/lock_code.h"

namespace quarn {

LockPayload::LockPayload(const LockSettings& settings) {
  tags::BuildLockPayload(static_cast<uint32_t>(settings.killPassword), static_cast<uint32_t>(settings.accessPassword),
                         static_cast<uint32_t>(settings.epc), static_cast<uint32_t>(settings.tid),
                         static_cast<uint32_t>(settings.user), bytes_.data());
}

}  // namespace quarn
