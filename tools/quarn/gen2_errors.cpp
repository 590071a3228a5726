#include "gen2_errors.h"

namespace quarn::cli {

namespace {

struct Gen2Error {
  int code;
  const char* meaning;
  const char* advice;
};

// The error codes a Gen2 tag backscatters; readers pass them on unchanged.
constexpr Gen2Error kGen2Errors[] = {
    {0x00, "other error", ""},
    {0x03, "memory overrun", "the address or word count runs past the end of the bank"},
    {0x04, "memory locked", "the area is locked or permalocked; a locked area takes the access password (-P)"},
    {0x0B, "insufficient power", "the tag lacks power for the operation; bring it closer or raise the power"},
    {0x0F, "non-specific error", ""},
};

const Gen2Error* Find(int code) {
  for (const auto& error : kGen2Errors)
    if (error.code == code) return &error;
  return nullptr;
}

}  // namespace

std::optional<std::string> Gen2ErrorMeaning(int code) {
  if (const Gen2Error* error = Find(code)) return std::string(error->meaning);
  return std::nullopt;
}

std::string Gen2ErrorAdvice(int code) {
  const Gen2Error* error = Find(code);
  return error ? error->advice : "";
}

}  // namespace quarn::cli
