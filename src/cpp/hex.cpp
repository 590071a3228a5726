#include <string>
#include <string_view>
#include <vector>

#include "cpp/value_checks.h"
#include "quarn/bytes.h"

namespace quarn {

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool IsSeparator(char c) { return c == ' ' || c == ':' || c == '-'; }

// Separators may stand only between whole bytes, never inside one.
const char* ParseHex(std::string_view text, std::vector<uint8_t>& bytes) {
  bytes.clear();
  bytes.reserve(text.size() / 2);
  int high = -1;
  for (char c : text) {
    if (IsSeparator(c) && high < 0) continue;
    const int value = DigitValue(c);
    if (value < 0) {
      return IsSeparator(c) ? "hex text: a separator splits a byte; every byte takes two digits"
                            : "hex text: a character that is neither a hex digit (0-9, A-F) nor a separator "
                              "between bytes (space, ':' or '-')";
    }
    if (high < 0) {
      high = value;
    } else {
      bytes.push_back(static_cast<uint8_t>(high << 4 | value));
      high = -1;
    }
  }
  return high < 0 ? nullptr : "hex text: an odd number of digits; every byte takes two";
}

}  // namespace

std::string ToHex(ByteView bytes) {
  std::string text;
  text.reserve(2 * bytes.size());
  for (uint8_t byte : bytes) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0x0F];
  }
  return text;
}

std::vector<uint8_t> FromHex(std::string_view text) {
  std::vector<uint8_t> bytes;
  cpp::ThrowIfRefused("FromHex", ParseHex(text, bytes));
  return bytes;
}

std::vector<uint8_t> FromHex(std::string_view text, std::error_code& ec) {
  std::vector<uint8_t> bytes;
  if (!cpp::Accepted(ParseHex(text, bytes), ec)) bytes.clear();
  return bytes;
}

}  // namespace quarn
