#include "sim/model/update_session.h"

namespace quarn::sim {

Bytes UpdateSession::Init() {
  initValue_.clear();
  for (int i = 0; i < 4; ++i) initValue_.push_back(static_cast<uint8_t>(random_()));
  image_.clear();
  size_ = 0;
  nextBlock_ = 0;
  phase_ = Phase::kAwaitRn32;
  return initValue_;
}

uint8_t UpdateSession::Rn32(const Bytes& params) {
  if (params.size() != 4) return update_status::kMalformed;
  if (phase_ != Phase::kAwaitRn32) return update_status::kOutOfOrder;
  if (params != initValue_) {
    phase_ = Phase::kIdle;
    return update_status::kWrongRn32;
  }
  phase_ = Phase::kAwaitSize;
  return update_status::kOk;
}

uint8_t UpdateSession::Size(const Bytes& params) {
  if (params.size() != 4) return update_status::kMalformed;
  if (phase_ != Phase::kAwaitSize) return update_status::kOutOfOrder;
  // Least significant byte first, as a 32-bit integer lies in memory on the hosts of the library.
  const uint32_t size = static_cast<uint32_t>(params[0]) | (static_cast<uint32_t>(params[1]) << 8) |
                        (static_cast<uint32_t>(params[2]) << 16) | (static_cast<uint32_t>(params[3]) << 24);
  if (size == 0 || size > kMaxImageSize) return update_status::kBadSize;
  size_ = size;
  phase_ = Phase::kReceiving;
  return update_status::kOk;
}

uint8_t UpdateSession::Data(uint8_t prefix1, uint8_t prefix2, const Bytes& block) {
  if (phase_ != Phase::kReceiving) return update_status::kOutOfOrder;
  const uint16_t number = static_cast<uint16_t>((prefix1 << 8) | prefix2);
  if (number != nextBlock_) return update_status::kWrongBlock;
  if (block.size() > size_ - image_.size()) return update_status::kTooMuchData;
  image_.insert(image_.end(), block.begin(), block.end());
  ++nextBlock_;
  return update_status::kOk;
}

uint8_t UpdateSession::Commit() {
  if (phase_ != Phase::kReceiving) return update_status::kOutOfOrder;
  if (image_.size() != size_) return update_status::kIncomplete;
  installed_ = image_;
  ++commits_;
  phase_ = Phase::kIdle;
  return update_status::kOk;
}

}  // namespace quarn::sim
