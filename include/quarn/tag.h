#pragma once
// The values a tag operation is made of: the tag's record (PC word and EPC), the memory bank, the word
// pointer and the 4-byte passwords.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>

#include "quarn/bytes.h"
#include "quarn/config.h"

namespace quarn {

// The EPC Gen2 memory banks, by their codes on the wire.
enum class MemoryBank : uint8_t {
  kReserved = 0,  // the kill and access passwords
  kEpc = 1,       // stored CRC, PC word, EPC
  kTid = 2,       // the tag's identification
  kUser = 3,
};

// A tag's record: its PC word (high byte first) followed by its EPC, as the reader reports a tag and as
// the ByEPC commands address one. Its size is fixed by its first byte: ((byte 0 >> 3) + 1) x 2, from 2
// (PC word only) to 64 bytes, the PC word's EPC-length field plus the PC word itself. A TagRecord always
// holds a record of the size its first byte gives; it keeps its bytes inside (no allocation).
class QUARN_CPP_API TagRecord {
 public:
  static constexpr size_t kMaxSize = 64;

  // PC word 0x0000: an empty EPC, 2 bytes.
  TagRecord() = default;

  // The size a record with this first byte has.
  static size_t SizeFor(uint8_t firstByte) noexcept;

  // A record from its bytes, PC word first. The count must be exactly SizeFor(bytes[0]); anything else is
  // Errc::kInvalidArgument (thrown as quarn::Error by the first form).
  static TagRecord FromBytes(ByteView bytes);
  static TagRecord FromBytes(ByteView bytes, std::error_code& ec);
  // The same from hex text ("3000E20034120000000000000001"), as FromHex reads it.
  static TagRecord FromHex(std::string_view text);
  static TagRecord FromHex(std::string_view text, std::error_code& ec);
  // A record for an EPC alone: the PC word gets the EPC's length in words (0 to 31) and every other PC
  // bit 0. The EPC must be a whole number of words, at most 62 bytes.
  static TagRecord FromEpc(ByteView epc);
  static TagRecord FromEpc(ByteView epc, std::error_code& ec);
  static TagRecord FromEpcHex(std::string_view text);
  static TagRecord FromEpcHex(std::string_view text, std::error_code& ec);

  // The PC word, high byte first on the wire.
  uint16_t pc() const noexcept { return static_cast<uint16_t>((bytes_[0] << 8) | bytes_[1]); }
  // The EPC's length in 16-bit words, from the PC word (0 to 31).
  size_t epcWords() const noexcept { return (size_ - 2) / 2; }
  ByteView epc() const noexcept { return ByteView(bytes_.data() + 2, size_ - 2u); }
  // The whole record, PC word first.
  ByteView bytes() const noexcept { return ByteView(bytes_.data(), size_); }
  size_t size() const noexcept { return size_; }

  std::string hex() const { return ToHex(bytes()); }
  std::string epcHex() const { return ToHex(epc()); }

  friend bool operator==(const TagRecord& a, const TagRecord& b) noexcept { return a.bytes() == b.bytes(); }
  friend bool operator!=(const TagRecord& a, const TagRecord& b) noexcept { return !(a == b); }
  // By size, then by bytes: an order for std::map and std::set.
  friend QUARN_CPP_API bool operator<(const TagRecord& a, const TagRecord& b) noexcept;

 private:
  // Bytes already known to pass the size rule.
  static TagRecord Copy(ByteView bytes) noexcept;

  std::array<uint8_t, kMaxSize> bytes_{};
  uint8_t size_ = 2;
};

// A word address in a memory bank. It travels as an EPC Gen2 EBV: one byte for 0 to 127, two bytes for
// 128 to 16383; the reader takes no longer form, so a call with a larger address fails with
// Errc::kInvalidArgument before anything is sent.
class WordPointer {
 public:
  static constexpr uint32_t kMax = 16383;

  constexpr WordPointer(uint32_t wordAddress = 0) : address_(wordAddress) {}
  constexpr uint32_t address() const { return address_; }

 private:
  uint32_t address_;
};

// A 4-byte tag password (access or kill). The bytes go to the reader in their order here; a number is
// laid out high byte first, so Password(0x12345678) and Password::FromHex("12345678") are the same.
// The default is 00000000, the password of a tag that has none set.
class QUARN_CPP_API Password {
 public:
  constexpr Password() = default;
  constexpr explicit Password(uint32_t value)
      : bytes_{static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 8),
               static_cast<uint8_t>(value)} {}
  constexpr explicit Password(const std::array<uint8_t, 4>& bytes) : bytes_(bytes) {}

  // Exactly 8 hex digits; anything else is Errc::kInvalidArgument, so a mistyped password is never
  // quietly another one.
  static Password FromHex(std::string_view text);
  static Password FromHex(std::string_view text, std::error_code& ec);

  constexpr const std::array<uint8_t, 4>& bytes() const { return bytes_; }
  constexpr uint32_t value() const {
    return (uint32_t{bytes_[0]} << 24) | (uint32_t{bytes_[1]} << 16) | (uint32_t{bytes_[2]} << 8) | bytes_[3];
  }

  friend bool operator==(const Password& a, const Password& b) { return a.bytes_ == b.bytes_; }
  friend bool operator!=(const Password& a, const Password& b) { return !(a == b); }

 private:
  std::array<uint8_t, 4> bytes_{};
};

}  // namespace quarn
