#pragma once
// The exchanges the Windows test program runs through the COM port, as the reader sees them: the wire
// bytes the library must send (escapes included) and the wire bytes the scripted peer answers with. The
// peer (Linux side) and the test program (Windows side) both build from this table, so a request is
// written down once. The peer answers only a request that matches byte for byte; anything else gets
// silence, which the Windows side sees as a failed export.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quarn::win32ring {

struct ComStep {
  const char* exportName;  // the export that makes the request; its step is skipped when it is not built
  const char* request;     // hex text of the wire bytes the library must write
  const char* reply;       // hex text of the reader's answer; empty: the reader stays silent
};

inline constexpr ComStep kComScript[] = {
    // Power 0x1E in data byte 0.
    {"UhfGetPower", "AA 02 01 55", "AA 04 01 00 1E 55"},
    // The worked CRC frame; the reply's CRC D7 55 carries a byte that must arrive escaped.
    {"UhfGetPower", "AA 04 81 AF 9D 55", "AA 06 81 00 B2 D7 FF 55 55"},
    // powerParam1 0x155: only the low byte goes out, and 0x55 travels escaped.
    {"UhfSetPower", "AA 04 02 FF 55 0D 55", "AA 03 02 00 55"},
    // Data bytes a line discipline would eat or translate (CR, LF, XON, XOFF, DEL, ^C, ^D): the port
    // must be raw on the way in.
    {"UhfGetFrequency", "AA 02 05 55", "AA 0A 05 00 0D 0A 11 13 7F 03 04 55"},
    // No answer: the export must give up after the port's read time-out.
    {"UhfGetPower", "AA 02 01 55", ""},
};

inline constexpr size_t kComStepCount = sizeof kComScript / sizeof kComScript[0];

// "AA 02 01 55" -> {0xAA, 0x02, 0x01, 0x55}; characters other than hex digits separate bytes.
inline std::vector<uint8_t> ParseHexBytes(const char* text) {
  std::vector<uint8_t> bytes;
  int high = -1;
  for (const char* p = text; *p != '\0'; ++p) {
    const char c = *p;
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (digit < 0) continue;
    if (high < 0) {
      high = digit;
    } else {
      bytes.push_back(static_cast<uint8_t>(high * 16 + digit));
      high = -1;
    }
  }
  return bytes;
}

}  // namespace quarn::win32ring
