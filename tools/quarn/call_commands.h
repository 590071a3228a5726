#pragma once
// The commands each call of the C++ API sends, by the name Reader::lastError() gives the call. A reply
// in the other frame mode is then known for this command's own reply, and the message can say so.

#include <cstdint>

namespace quarn::cli {

// Whether the call sends the command with this code (bit 7 clear). False for a call not listed.
bool CallSendsCode(const char* call, uint8_t plainCode);

}  // namespace quarn::cli
