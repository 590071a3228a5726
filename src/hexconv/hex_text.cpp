#include "hexconv/hex_text.h"

namespace quarn::hexconv {

namespace {

char DigitOf(uint8_t nibble) { return static_cast<char>(nibble < 10 ? '0' + nibble : 'A' + (nibble - 10)); }

uint8_t NibbleOf(char digit) {
  if (digit >= '0' && digit <= '9') return static_cast<uint8_t>(digit - '0');
  if (digit >= 'A' && digit <= 'F') return static_cast<uint8_t>(digit - 'A' + 10);
  if (digit >= 'a' && digit <= 'f') return static_cast<uint8_t>(digit - 'a' + 10);
  return 0;
}

}  // namespace

void BytesToHexText(const uint8_t* byteData, char* hexText, int32_t byteCount) {
  for (int32_t i = 0; i < byteCount; ++i) {
    hexText[2 * i] = DigitOf(static_cast<uint8_t>(byteData[i] >> 4));
    hexText[2 * i + 1] = DigitOf(static_cast<uint8_t>(byteData[i] & 0x0F));
  }
}

int32_t HexTextToBytes(const char* hexText, uint8_t* byteData, int32_t textLength) {
  const int32_t byteCount = textLength / 2;
  for (int32_t k = 0; k < byteCount; ++k) {
    byteData[k] = static_cast<uint8_t>(NibbleOf(hexText[2 * k]) * 16 + NibbleOf(hexText[2 * k + 1]));
  }
  return byteCount;
}

}  // namespace quarn::hexconv
