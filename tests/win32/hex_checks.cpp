// The conversions through the DLL: the cdecl pair must convert with the caller's arguments intact, and
// write exactly the characters or bytes asked for, nothing past them.

#include <windows.h>

#include <cstring>
#include <string>

#include "quarn_api.h"
#include "ring_checks.h"

namespace quarn::win32ring {

namespace {

constexpr char kTextSentinel = '#';
constexpr unsigned char kByteSentinel = 0xEE;

struct ToTextCase {
  const char* bytes;  // input bytes, as a string of chars
  int byteCount;
  const char* text;   // the characters that must appear, no more
};

struct ToBytesCase {
  const char* text;
  int textLength;
  const char* bytes;  // the bytes that must appear, as a string of chars
  int byteCount;
  int result;
};

const ToTextCase kToText[] = {
    {"\x00\xAB\x7F\xFF", 4, "00AB7FFF"},
    {"\x5A", 0, ""},
    {"\x5A", -5, ""},
};

const ToBytesCase kToBytes[] = {
    {"1a2B", 4, "\x1A\x2B", 2, 2},
    {"e2 0", 4, "\xE2\x00", 2, 2},
    {"G1", 2, "\x01", 1, 1},
    {"12345", 5, "\x12\x34", 2, 2},
    {"1", 1, "", 0, 0},
    {"123", -3, "", 0, -1},
};

std::string Printable(const unsigned char* bytes, int count) {
  std::string text;
  char digits[4];
  for (int i = 0; i < count; ++i) {
    std::snprintf(digits, sizeof digits, "%02X ", bytes[i]);
    text += digits;
  }
  return text;
}

}  // namespace

void CheckHexConversion(HMODULE dll, Report& report) {
  const auto toText = QUARN_LOOKUP(dll, UhfCharToCString);
  const auto toBytes = QUARN_LOOKUP(dll, UhfCStringToChar);
  if (!report.Check(toText != nullptr && toBytes != nullptr, "the hex conversions are not exported")) return;

  for (const ToTextCase& c : kToText) {
    char text[64];
    std::memset(text, kTextSentinel, sizeof text);
    toText(reinterpret_cast<const unsigned char*>(c.bytes), text, c.byteCount);
    const size_t written = std::strlen(c.text);
    report.Check(std::memcmp(text, c.text, written) == 0 && text[written] == kTextSentinel,
                 "UhfCharToCString(count %d) wrote \"%.*s\", expected \"%s\" and nothing after it", c.byteCount,
                 static_cast<int>(written + 1), text, c.text);
  }

  // The full 128 bytes give 256 characters, and the character after them is left alone.
  unsigned char full[128];
  for (int i = 0; i < 128; ++i) full[i] = static_cast<unsigned char>(i * 2 + 1);
  char fullText[258];
  std::memset(fullText, kTextSentinel, sizeof fullText);
  toText(full, fullText, 128);
  report.Check(std::memcmp(fullText, "01030507", 8) == 0 && std::memcmp(fullText + 252, "FDFF", 4) == 0 &&
                   fullText[256] == kTextSentinel,
               "UhfCharToCString(count 128) must write 256 characters, 01 03 .. FD FF");

  for (const ToBytesCase& c : kToBytes) {
    unsigned char bytes[16];
    std::memset(bytes, kByteSentinel, sizeof bytes);
    const int result = toBytes(c.text, bytes, c.textLength);
    report.Check(result == c.result, "UhfCStringToChar(\"%s\", %d) returned %d, expected %d", c.text, c.textLength,
                 result, c.result);
    report.Check(std::memcmp(bytes, c.bytes, static_cast<size_t>(c.byteCount)) == 0 &&
                     bytes[c.byteCount] == kByteSentinel,
                 "UhfCStringToChar(\"%s\", %d) wrote %s", c.text, c.textLength,
                 Printable(bytes, c.byteCount + 1).c_str());
  }
}

}  // namespace quarn::win32ring
