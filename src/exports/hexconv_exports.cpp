#include "hexconv/hex_text.h"
#include "quarn_api.h"

extern "C" {

QUARN_API void QUARN_CDECL UhfCharToCString(const unsigned char* byteData, char* hexText, int byteCount) {
  quarn::hexconv::BytesToHexText(byteData, hexText, byteCount);
}

QUARN_API int QUARN_CDECL UhfCStringToChar(const char* hexText, unsigned char* byteData, int textLength) {
  return quarn::hexconv::HexTextToBytes(hexText, byteData, textLength);
}

}  // extern "C"
