#pragma once
// Views of bytes the caller owns, and bytes to and from hex text.
//
// ByteView is what every call takes for input bytes: a vector, a std::array or a C array turn into one
// without a copy. ByteSpan is a caller buffer a call writes into, for loops that should
// not allocate on every pass.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "quarn/config.h"
#include "quarn/error.h"

namespace quarn {

// Read-only bytes owned by someone else. It does not keep them alive: a view of a temporary is good for
// the call it is passed to, no longer.
class ByteView {
 public:
  constexpr ByteView() = default;
  constexpr ByteView(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  ByteView(const std::vector<uint8_t>& bytes) : data_(bytes.data()), size_(bytes.size()) {}
  template <size_t N>
  constexpr ByteView(const std::array<uint8_t, N>& bytes) : data_(bytes.data()), size_(N) {}
  template <size_t N>
  constexpr ByteView(const uint8_t (&bytes)[N]) : data_(bytes), size_(N) {}

  constexpr const uint8_t* data() const { return data_; }
  constexpr size_t size() const { return size_; }
  constexpr bool empty() const { return size_ == 0; }
  constexpr const uint8_t* begin() const { return data_; }
  constexpr const uint8_t* end() const { return data_ + size_; }
  constexpr uint8_t operator[](size_t i) const { return data_[i]; }

  // An owned copy.
  std::vector<uint8_t> ToVector() const { return std::vector<uint8_t>(begin(), end()); }

 private:
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

inline bool operator==(ByteView a, ByteView b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i]) return false;
  return true;
}
inline bool operator!=(ByteView a, ByteView b) { return !(a == b); }

// A caller buffer a call writes into; the call says how many bytes it wrote.
class ByteSpan {
 public:
  constexpr ByteSpan() = default;
  constexpr ByteSpan(uint8_t* data, size_t size) : data_(data), size_(size) {}
  ByteSpan(std::vector<uint8_t>& bytes) : data_(bytes.data()), size_(bytes.size()) {}
  template <size_t N>
  constexpr ByteSpan(std::array<uint8_t, N>& bytes) : data_(bytes.data()), size_(N) {}
  template <size_t N>
  constexpr ByteSpan(uint8_t (&bytes)[N]) : data_(bytes), size_(N) {}

  constexpr uint8_t* data() const { return data_; }
  constexpr size_t size() const { return size_; }

 private:
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

// Uppercase hex digits, two a byte, high nibble first: {0xE2, 0x00} gives "E200".
QUARN_CPP_API std::string ToHex(ByteView bytes);

// Hex text to bytes. Upper- and lowercase digits count; so do spaces, ':' and '-' between whole bytes
// ("E2 00", "e2:00"). Anything else, and an odd number of digits, is refused with Errc::kInvalidArgument
// (a quarn::Error from the first form, the error code from the second), never read as 0.
QUARN_CPP_API std::vector<uint8_t> FromHex(std::string_view text);
QUARN_CPP_API std::vector<uint8_t> FromHex(std::string_view text, std::error_code& ec);

}  // namespace quarn
