#pragma once
// A firmware update session: init hands out a 32-bit challenge, RN32 must return it, size announces
// the image, numbered data blocks carry it, commit installs it and restarts the reader.

#include <cstdint>
#include <random>

#include "sim/codec/frame_codec.h"

namespace quarn::sim {

namespace update_status {
inline constexpr uint8_t kOk = 0x00;
inline constexpr uint8_t kOutOfOrder = 0x01;     // the command does not fit the session's phase
inline constexpr uint8_t kWrongRn32 = 0x02;      // RN32 is not the init value; the session ends
inline constexpr uint8_t kBadSize = 0x03;        // size 0 or above the image limit
inline constexpr uint8_t kWrongBlock = 0x04;     // block number is not the next one expected
inline constexpr uint8_t kTooMuchData = 0x05;    // the block runs past the announced size
inline constexpr uint8_t kIncomplete = 0x06;     // commit before the announced size arrived
inline constexpr uint8_t kMalformed = 0x07;      // parameter bytes of the wrong count
}  // namespace update_status

inline constexpr uint32_t kMaxImageSize = 256 * 1024;
// An image that starts with this tag carries the nine version bytes the reader reports after commit.
inline constexpr char kImageTag[4] = {'Q', 'F', 'W', '1'};
inline constexpr size_t kVersionSize = 9;

class UpdateSession {
 public:
  enum class Phase { kIdle, kAwaitRn32, kAwaitSize, kReceiving };

  explicit UpdateSession(uint32_t seed) : random_(seed ^ 0xF1A5u) {}

  // Starts (or restarts) a session; the init value goes out as four bytes.
  Bytes Init();
  uint8_t Rn32(const Bytes& params);
  uint8_t Size(const Bytes& params);
  uint8_t Data(uint8_t prefix1, uint8_t prefix2, const Bytes& block);
  // On success the image is installed; the caller restarts the reader.
  uint8_t Commit();
  // The session ends without installing anything (the reader lost power).
  void Abandon() {
    phase_ = Phase::kIdle;
    image_.clear();
  }

  Phase phase() const { return phase_; }
  const Bytes& installedImage() const { return installed_; }
  uint32_t commits() const { return commits_; }
  size_t received() const { return image_.size(); }

 private:
  Phase phase_ = Phase::kIdle;
  Bytes initValue_;
  uint32_t size_ = 0;
  uint16_t nextBlock_ = 0;
  Bytes image_;
  Bytes installed_;
  uint32_t commits_ = 0;
  std::mt19937 random_;
};

}  // namespace quarn::sim
