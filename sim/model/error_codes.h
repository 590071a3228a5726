#pragma once
// The error codes the virtual reader puts after a status byte 0x81. The low ones are the tags' own
// EPC Gen2 error codes; from 0x10 on they are the reader's.

#include <cstdint>

namespace quarn::sim::errors {

// EPC Gen2 tag error codes.
inline constexpr uint8_t kOtherError = 0x00;
inline constexpr uint8_t kMemoryOverrun = 0x03;
inline constexpr uint8_t kMemoryLocked = 0x04;
inline constexpr uint8_t kInsufficientPower = 0x0B;
inline constexpr uint8_t kNonSpecific = 0x0F;

// The reader's own codes.
inline constexpr uint8_t kNoTag = 0x10;             // no tag takes part (field empty, or all filtered out)
inline constexpr uint8_t kSeveralTags = 0x11;       // a single-tag command found more than one tag
inline constexpr uint8_t kTagNotFound = 0x12;       // no tag answers with the addressed PC word and EPC
inline constexpr uint8_t kWrongAccessPassword = 0x13;
inline constexpr uint8_t kNotSecured = 0x14;        // lock without the access password of a protected tag
inline constexpr uint8_t kKillRefused = 0x15;       // wrong kill password, or a tag whose kill password is 0
inline constexpr uint8_t kBadParameter = 0x16;      // a bank code, setting or SR range out of its set

const char* ErrorName(uint8_t code);

}  // namespace quarn::sim::errors
