#pragma once
// The EPC Gen2 tag error codes that a reader passes on after a refused tag operation.

#include <optional>
#include <string>

namespace quarn::cli {

// A person's words for the code ("memory locked"); nothing for the codes Gen2 leaves to the reader.
std::optional<std::string> Gen2ErrorMeaning(int code);
// What a person can do about it, where there is something; empty otherwise.
std::string Gen2ErrorAdvice(int code);

}  // namespace quarn::cli
