#pragma once
// The field of the virtual reader behind the Windows ring's COM7, as sim_field.scenario describes it:
// what the checks of the DLL test program and of the C++ test program expect. Change both files
// together. Hex text, one space between bytes.

namespace quarn::win32ring::field {

// The known tag: PC word 30 00 and its 96-bit EPC.
inline constexpr char kKnownRecord[] = "30 00 E2 00 34 12 00 00 00 00 00 00 00 01";
inline constexpr char kKnownTid[] = "E2 0F F0 01 12 AA 55 FF 00 CA FE 01";
// User words 0 to 3, with bytes that travel escaped (AA, 55, FF) and a CR.
inline constexpr char kKnownUserStart[] = "11 AA 22 55 FF 33 0D 44";
inline constexpr char kAccessPassword[] = "12 34 56 78";
inline constexpr unsigned kKnownUserWords = 160;

// The known record with its last EPC byte changed: no tag in the field answers to it.
inline constexpr char kAbsentRecord[] = "30 00 E2 00 34 12 00 00 00 00 00 00 00 02";
// Every TID the virtual reader generates starts so; the field holds one generated tag.
inline constexpr char kGeneratedTidPrefix[] = "E2 0F F0 01";

// The reader's error codes of its refusals, passed on unchanged: Gen2's own (the tag's) and the
// reader's (no tag answered, the tag refused the password).
inline constexpr unsigned char kMemoryOverrun = 0x03;
inline constexpr unsigned char kMemoryLocked = 0x04;
inline constexpr unsigned char kNoMatchingTag = 0x12;
inline constexpr unsigned char kWrongPassword = 0x13;

}  // namespace quarn::win32ring::field
