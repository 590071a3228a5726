#pragma once
// Bytes to uppercase hexadecimal text and back, two digits a byte, high nibble first.

#include <cstdint>

namespace quarn::hexconv {

// Writes 2 x byteCount digits; nothing for byteCount <= 0.
void BytesToHexText(const uint8_t* byteData, char* hexText, int32_t byteCount);

// Writes textLength / 2 bytes (an odd last digit is dropped, a non-digit counts as 0) and returns
// textLength / 2 truncated toward zero; nothing is written for textLength <= 1.
int32_t HexTextToBytes(const char* hexText, uint8_t* byteData, int32_t textLength);

}  // namespace quarn::hexconv
