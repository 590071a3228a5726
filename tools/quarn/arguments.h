#pragma once
// The values a person types, turned into the bytes the library sends: hex, banks by name, word
// addresses as EBV word pointers, passwords, EPCs as tag records, lock choices.

#include <array>
#include <cstdint>
#include <string>

#include "report.h"

namespace quarn::cli {

// Hex digits with optional spaces, ':' or '-' between bytes and an optional 0x; an even digit count.
// what names the value in the error message.
Bytes ParseHex(const std::string& text, const std::string& what);

// A whole number in decimal or 0x-hex, within [low, high].
long ParseNumber(const std::string& text, long low, long high, const std::string& what);

// reserved, epc, tid, user (or 0 to 3).
int ParseBank(const std::string& text);
const char* BankName(int bank);

// The word address as the EBV word pointer of the tag commands: one byte below 128, two from 128 on
// (up to 16383, the most a two-byte EBV holds).
Bytes EncodeWordPointer(long wordAddress);
long DecodeWordPointer(const Bytes& wordPointer);

// Four bytes from 8 hex digits.
std::array<uint8_t, 4> ParsePassword(const std::string& text, const std::string& what);

// A tag record (PC word then EPC) for the EPC typed in. The PC word carries the EPC's length in words;
// pcText, when not empty, gives the whole PC word instead (its length field must agree with the EPC).
Bytes TagRecordFor(const std::string& epcText, const std::string& pcText);
// The size of a tag record from its first byte, 2 to 64.
size_t TagRecordSize(uint8_t byte0);

// A tag record as a person reads it: PC word and EPC apart.
struct TagIdentity {
  std::string pc;
  std::string epc;
};
TagIdentity IdentifyTag(const uint8_t* record, size_t size);
Json TagJson(const uint8_t* record, size_t size);

// Lock choices by name: lock, unlock, permalock, permaunlock (and keep for no change), as LockGenCode
// numbers them.
int ParseLockChoice(const std::string& text);
// "user=lock" style pairs into the five choices of LockGenCode (kill, access, epc, tid, user).
std::array<int, 5> ParseLockRequest(const std::vector<std::string>& pairs);
const char* LockAreaName(size_t area);
const char* LockChoiceName(int choice);

}  // namespace quarn::cli
