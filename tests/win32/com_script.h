#pragma once
// The exchanges the Windows test program runs through the COM port, as the reader sees them: the wire
// bytes the library must send (escapes included) and the wire bytes the scripted peer answers with. The
// peer (Linux side) and the test program (Windows side) both build from this table, so a request is
// written down once. The peer answers only a request that matches byte for byte; anything else gets
// silence, which the Windows side sees as a failed export.
//
// A step whose request is empty belongs to an export that sends nothing (the reads of a stream): the
// peer sends its reply right behind the reply of the step before, in one burst, as a reader streams
// reports after acknowledging a start, and the export takes it from the port's input.

#include <cstddef>
#include <cstdint>
#include <vector>

// Byte strings that several steps use, free of bytes that need escaping so that they can stand inside
// a frame as they are. The test program takes its arguments and expected outputs from the same text.
#define QUARN_RING_PASSWORD "01 02 03 04"
// PC word 0x3000: a 6-word EPC, 14 bytes in all.
#define QUARN_RING_TAG_RECORD "30 00 E2 80 68 90 00 00 40 0A 1B 2C 3D 4E"
// PC word 0x0800: a 1-word EPC, 4 bytes.
#define QUARN_RING_SHORT_RECORD "08 00 B1 7C"
// PC word 0x1000: a 2-word EPC, 6 bytes.
#define QUARN_RING_OTHER_RECORD "10 00 11 22 33 44"

namespace quarn::win32ring {

struct ComStep {
  const char* exportName;  // the export the step calls; the step is skipped when it is not exported
  const char* check;       // the test program's check that makes the call and judges its outputs
  const char* request;     // hex text of the wire bytes the library must write; empty: it sends nothing
  const char* reply;       // hex text of the reader's answer; empty: the reader stays silent
};

// Steps run in this order; some hand state on (a stream to its reads, the update port to the update).
inline constexpr ComStep kComScript[] = {
    // ---- Reader: power and frequency ----
    // Power 0x1E in data byte 0.
    {"UhfGetPower", "GetPowerPlain", "AA 02 01 55", "AA 04 01 00 1E 55"},
    // The worked CRC frame; the reply's CRC D7 55 carries a byte that must arrive escaped.
    {"UhfGetPower", "GetPowerCrc", "AA 04 81 AF 9D 55", "AA 06 81 00 B2 D7 FF 55 55"},
    // powerParam1 0x155: only the low byte goes out, and 0x55 travels escaped.
    {"UhfSetPower", "SetPowerEscaped", "AA 04 02 FF 55 0D 55", "AA 03 02 00 55"},
    // Data bytes a line discipline would eat or translate (CR, LF, XON, XOFF, DEL, ^C, ^D): the port
    // must be raw on the way in.
    {"UhfGetFrequency", "GetFrequencyRaw", "AA 02 05 55", "AA 0A 05 00 0D 0A 11 13 7F 03 04 55"},
    // No answer: the export must give up after the port's read time-out.
    {"UhfGetPower", "GetPowerTimeOut", "AA 02 01 55", ""},

    // ---- Reader: registers ----
    // Count 0 from 0x1F8 reads the last 8 bytes, always in the two-byte length form (80 0E), CRC mode;
    // the data AA, 55 and FF arrive escaped.
    {"UhfGetRegister", "GetRegisterToEnd", "AA 08 B0 01 F8 00 00 EE D4 55",
     "AA 80 0E B0 00 11 FF AA 22 FF 55 33 FF FF 44 00 B6 27 55"},
    // Address 0x10124 goes out as its low 16 bits.
    {"UhfSetRegister", "SetRegisterOneByte", "AA 07 31 01 24 00 01 03 55", "AA 03 31 00 55"},
    // Data 55 AA FF go out escaped; the reader refuses with status 0x05, which becomes errorCode.
    {"UhfSetRegister", "SetRegisterRefused", "AA 0B B1 00 10 00 03 FF 55 FF AA FF FF C7 9B 55",
     "AA 05 B1 05 A5 0A 55"},

    // ---- Reader: identity ----
    // The worked CRC frame; status 0x01 has bit 7 clear, so it is success. Nine version bytes, two escaped.
    {"UhfGetVersion", "GetVersionCrc", "AA 04 87 CF 5B 55",
     "AA 0E 87 01 02 01 00 0A FF 55 10 01 03 FF FF F2 25 55"},
    {"UhfGetReaderUID", "GetReaderUid", "AA 02 0A 55",
     "AA 0F 0A 00 A0 A1 A2 A3 A4 A5 A6 A7 A8 A9 FF AA AB 55"},

    // ---- Antennas: check and choice ----
    {"UhfCheckANT", "CheckAnt", "AA 02 03 55", "AA 04 03 00 0F 55"},
    // The worked CRC frame for antenna 1, from the argument 0x101.
    {"UhfChooseANT", "ChooseAntCrc", "AA 05 84 01 1F EE 55", "AA 05 84 00 0F CF 55"},

    // ---- Tags: inventory, then stopping it ----
    // With the parameter byte 0x55 (escaped); the acknowledgement has status 0x01, two reports follow.
    {"UhfStartInventory", "StartInventory", "AA 03 11 FF 55 55", "AA 03 11 01 55"},
    // A plain report with a byte beyond the record, which is not part of it.
    {"UhfReadInventory", "ReadInventoryPlain", "", "AA 12 10 00 " QUARN_RING_TAG_RECORD " C4 55"},
    // A report in CRC form under code 0x91.
    {"UhfReadInventory", "ReadInventoryCrc", "", "AA 09 91 00 " QUARN_RING_SHORT_RECORD " B9 1D 55"},
    // Two more reports of the running inventory come before the acknowledgement; the stop reads past them.
    {"UhfStopOperation", "StopAfterTwoReports", "AA 02 12 55",
     "AA 11 10 00 " QUARN_RING_TAG_RECORD " 55 "
     "AA 07 10 00 " QUARN_RING_SHORT_RECORD " 55 "
     "AA 03 12 00 55"},

    // ---- Tags: reading memory ----
    // Bank 3, the two-byte word pointer 81 00, 2 words, CRC mode; the data 55 AA arrive escaped.
    {"UhfReadDataByEPC", "ReadDataByEpcCrc",
     "AA 1A 93 " QUARN_RING_PASSWORD " 03 81 00 02 " QUARN_RING_TAG_RECORD " D7 36 55",
     "AA 09 93 00 12 FF 55 FF AA 34 E2 2A 55"},

    // ---- Tags: block writing ----
    // 3 words from EPC-bank word 2; the reader wrote 1 word and then failed with error code 0x0B.
    {"UhfBlockWriteDataByEPC", "BlockWritePartial",
     "AA 1D 19 " QUARN_RING_PASSWORD " 01 02 03 C0 FF FF EE 00 11 22 " QUARN_RING_TAG_RECORD " 55",
     "AA 05 19 81 0B 01 55"},

    // ---- Tags: lock and kill ----
    // The payload 0F FE 71 is what LockGenCode(1, 4, 3, 0x102, 4) builds.
    {"UhfLockMemByEPC", "LockMemByEpcCrc",
     "AA 19 96 " QUARN_RING_PASSWORD " 0F FE 71 " QUARN_RING_TAG_RECORD " 81 1D 55", "AA 05 96 00 6A DE 55"},
    // The kill password FF 00 AA 55 goes out with three escapes; the answering tag's record comes back.
    {"UhfKillSingleTag", "KillSingleTag", "AA 06 24 FF FF 00 FF AA FF 55 55",
     "AA 09 24 00 " QUARN_RING_OTHER_RECORD " 55"},

    // ---- Tags: multi-tag read ----
    // Bank 2, pointer 00, 2 words, options 0x01: the long form, 5 option bytes; CRC mode.
    {"UhfStartReadDataFromMultiTag", "StartMultiTagReadCrc",
     "AA 11 A6 " QUARN_RING_PASSWORD " 02 00 02 01 03 00 02 10 20 42 5D 55", "AA 05 A6 01 7F 6A 55"},
    // Status 0x01: two blocks, E2 00 34 12 and AA 55 (escaped), then the tag's record.
    {"UhfGetDataFromMultiTag", "GetMultiTagData", "",
     "AA 1B 26 01 00 04 E2 00 34 12 00 02 FF AA FF 55 " QUARN_RING_TAG_RECORD " 55"},

    // ---- Tags: select filters ----
    // Pointer 20 (one byte), 12 mask bits: two mask bytes, 10 wire bytes in all.
    {"UhfAddFilter", "AddFilter", "AA 0C 38 01 0A 04 00 01 20 0C 30 0F 00 55", "AA 03 38 00 55"},
    {"UhfStartGetFilterByIndex", "StartFilterListingCrc", "AA 06 BA 01 00 56 A9 55", "AA 05 BA 01 39 74 55"},
    // A report in CRC form: pointer 81 00 (two bytes), 9 mask bits (two bytes), recordLength 11.
    {"UhfReadFilterByIndex", "ReadFilterReport", "", "AA 10 BA 00 01 0B 04 02 01 81 00 09 E2 80 01 B0 78 55"},

    // ---- Antennas: multi-antenna inventory ----
    // Antenna frames: marker FE and the antenna number before the code.
    {"UhfStartInventoryForMultiAnt", "StartMultiAntInventory", "AA 02 10 55", "AA 05 FE 01 10 01 55"},
    {"UhfReadInventoryFromMultiAnt", "ReadMultiAntFirst", "", "AA 13 FE 01 10 00 " QUARN_RING_TAG_RECORD " 55"},
    {"UhfReadInventoryFromMultiAnt", "ReadMultiAntSecond", "",
     "AA 0B FE 02 90 00 " QUARN_RING_SHORT_RECORD " 89 09 55"},

    // ---- Secure access module and SR ----
    // Case 4: 00 A4 04 00, Lc 2, 3F 00, Le 4. Status 0x01 is success; 4 response bytes (2 escaped), 90 00.
    {"UhfSetSAM", "SetSamCase4Crc", "AA 0C C3 00 A4 04 00 02 3F 00 04 72 87 55",
     "AA 0B C3 01 6F 02 FF 55 FF AA 90 00 ED 23 55"},
    // srSelect 0x55 (escaped); 80 bytes 10 13 16 .. FD (each 3 more than the one before), one escaped.
    {"UhfGetSR", "GetSr", "AA 03 72 FF 55 55",
     "AA 53 72 00 10 13 16 19 1C 1F 22 25 28 2B 2E 31 34 37 3A 3D 40 43 46 49 4C 4F 52 FF 55 58 5B 5E "
     "61 64 67 6A 6D 70 73 76 79 7C 7F 82 85 88 8B 8E 91 94 97 9A 9D A0 A3 A6 A9 AC AF B2 B5 B8 BB BE "
     "C1 C4 C7 CA CD D0 D3 D6 D9 DC DF E2 E5 E8 EB EE F1 F4 F7 FA FD 55"},
    // Bank 3, pointer 04, SR parameters 01 02 03 04, CRC mode: 16 bytes before escaping.
    {"UhfWriteSRtoTagSingle", "WriteSrSingleCrc", "AA 0E F1 " QUARN_RING_PASSWORD " 03 04 01 02 03 04 6B 95 55",
     "AA 13 F1 00 " QUARN_RING_TAG_RECORD " 7E 1C 55"},

    // ---- Firmware update, CRC mode throughout, on the port UhfUpdateInit opens ----
    // The worked frame for portOptions 0x07; the reader's value 78 56 34 12 comes back as RN32.
    {"UhfUpdateInit", "UpdateInit", "AA 04 D3 D5 2A 55", "AA 09 D3 00 78 56 34 12 9F 53 55"},
    {"UhfUpdateSendRN32", "UpdateSendRn32", "AA 08 D4 78 56 34 12 92 B3 55", "AA 05 D4 00 01 70 55"},
    {"UhfUpdateSendSize", "UpdateSendSize", "AA 08 D6 7A 00 00 00 2C 14 55", "AA 05 D6 00 67 12 55"},
    // Prefixes AA (escaped) and 01, then the 122 bytes 00 .. 79: value 129 in the two-byte form 81 01.
    {"UhfUpdateSendData", "UpdateSendData",
     "AA 81 01 D7 FF AA 01 "
     "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F "
     "20 21 22 23 24 25 26 27 28 29 2A 2B 2C 2D 2E 2F 30 31 32 33 34 35 36 37 38 39 3A 3B 3C 3D 3E 3F "
     "40 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50 51 52 53 54 FF 55 56 57 58 59 5A 5B 5C 5D 5E 5F "
     "60 61 62 63 64 65 66 67 68 69 6A 6B 6C 6D 6E 6F 70 71 72 73 74 75 76 77 78 79 "
     "B0 96 55",
     "AA 05 D7 00 54 23 55"},
    // The worked commit frame.
    {"UhfUpdateCommit", "UpdateCommit", "AA 04 D8 64 41 55", "AA 05 D8 00 44 1D 55"},
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
