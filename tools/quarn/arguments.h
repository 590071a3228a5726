#pragma once
// The values a person types, turned into the values the C++ API takes: hex, banks by name, word
// addresses, passwords, EPCs as tag records, lock choices.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "quarn/lock.h"
#include "quarn/tag.h"
#include "report.h"

namespace quarn::cli {

// Hex digits with optional spaces, ':' or '-' between bytes and an optional 0x; an even digit count.
// what names the value in the error message.
Bytes ParseHex(const std::string& text, const std::string& what);

// A whole number in decimal or 0x-hex, within [low, high].
long ParseNumber(const std::string& text, long low, long high, const std::string& what);

// reserved, epc, tid, user (or 0 to 3).
int ParseBank(const std::string& text);
quarn::MemoryBank BankOf(int bank);
const char* BankName(int bank);

// The word address an EBV word pointer holds: one byte below 128, two from 128 on.
long DecodeWordPointer(const Bytes& wordPointer);

// Exactly 8 hex digits.
quarn::Password ParsePassword(const std::string& text, const std::string& what);

// A tag record (PC word then EPC) for the EPC typed in. The PC word carries the EPC's length in words;
// pcText, when not empty, gives the whole PC word instead (its length field must agree with the EPC).
Bytes TagRecordFor(const std::string& epcText, const std::string& pcText);
quarn::TagRecord TagFor(const std::string& epcText, const std::string& pcText);

// A tag record as a person reads it: PC word and EPC apart.
struct TagIdentity {
  std::string pc;
  std::string epc;
};
TagIdentity IdentifyTag(const quarn::TagRecord& tag);
Json TagJson(const quarn::TagRecord& tag);

// "user=lock" style pairs into one action for each of the five areas (kill, access, epc, tid, user);
// keep (or an area not named) leaves it unchanged.
using LockRequest = std::array<quarn::LockAction, 5>;
LockRequest ParseLockRequest(const std::vector<std::string>& pairs);
quarn::LockSettings LockSettingsOf(const LockRequest& request);
// Whether the request does what cannot be undone: a permalock or a permaunlock.
bool IsIrreversible(const LockRequest& request);
const char* LockAreaName(size_t area);
const char* LockActionName(quarn::LockAction action);

}  // namespace quarn::cli
