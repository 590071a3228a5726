#pragma once
// The reader's 512 parameter bytes: a working copy that every command reads and writes, a saved copy
// that survives a restart (save copies working to saved; a restart loads saved into working), and
// the factory defaults that reset restores.

#include <array>
#include <cstddef>
#include <cstdint>

namespace quarn::sim {

inline constexpr size_t kRegisterCount = 512;
using RegisterBytes = std::array<uint8_t, kRegisterCount>;

namespace reg {
inline constexpr size_t kReadPower = 0x100;       // dBm, 0 to 33
inline constexpr size_t kWritePower = 0x101;      // dBm, 0 to 33
inline constexpr size_t kFrequency = 0x108;       // seven bytes, the frequency configuration
inline constexpr size_t kStreamInterval = 0x110;  // ms between two streamed frames (0 counts as 1)
inline constexpr size_t kMultiAntenna = 0x124;    // bit k: antenna k + 1 reports; 0: one antenna only
inline constexpr size_t kChosenAntenna = 0x125;   // the antenna of single-antenna operation, 1 to 8
}  // namespace reg

inline constexpr size_t kFrequencyBytes = 7;

// Status bytes of the register commands; the host reports a nonzero one as the error code.
namespace register_status {
inline constexpr uint8_t kOk = 0x00;
inline constexpr uint8_t kOutOfRange = 0x01;  // the range runs past address 0x1FF
inline constexpr uint8_t kMalformed = 0x02;   // parameter bytes of the wrong count
}  // namespace register_status

class Registers {
 public:
  Registers();

  static RegisterBytes FactoryDefaults();

  uint8_t at(size_t address) const { return working_[address]; }
  void Set(size_t address, uint8_t value) { working_[address] = value; }

  // True when the whole range lies inside the register space.
  static bool InRange(size_t address, size_t count) {
    return address <= kRegisterCount && count <= kRegisterCount - address;
  }

  void Reset() { working_ = FactoryDefaults(); }
  void Save() { saved_ = working_; }
  void Restart() { working_ = saved_; }
  void LoadSaved(const RegisterBytes& bytes) { saved_ = bytes; working_ = bytes; }
  void SetSaved(const RegisterBytes& bytes) { saved_ = bytes; }
  void SetWorking(const RegisterBytes& bytes) { working_ = bytes; }

  const RegisterBytes& working() const { return working_; }
  const RegisterBytes& saved() const { return saved_; }

 private:
  RegisterBytes working_;
  RegisterBytes saved_;
};

}  // namespace quarn::sim
