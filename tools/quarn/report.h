#pragma once
// What a command hands back: the same result for a person (text) and for a script (JSON), and the
// failures that end a command with a nonzero exit status.

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "quarn/bytes.h"

namespace quarn::cli {

using Bytes = std::vector<uint8_t>;
using Json = nlohmann::ordered_json;

// Exit statuses, shown in the tool's --help.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;  // the reader refused, gave no usable answer, or the port went away
constexpr int kExitUsage = 2;   // the command line or one of its values is wrong, or a confirmation was not given
constexpr int kExitPort = 3;    // the serial port would not open

struct Report {
  Json data = Json::object();
  std::string text;
  int exitStatus = kExitOk;  // a result worth printing that still counts as a failure (a faulty frame)
};

// What a failure can tell beyond its message, each part only where it is known.
struct FailureFacts {
  std::string cause;                     // a stable name for scripts: "noReply", "refused", "portGone", ...
  std::optional<int> status;             // the refusing reply's status byte
  std::optional<int> readerErrorCode;    // the error code the reader sent with its refusal
  std::optional<std::string> meaning;    // that code's Gen2 meaning
  std::optional<int> replyCode;          // the code of a reply to another command
  std::string hint;                      // what the person might do about it
};

// A failure the person should read about; exitStatus says which kind.
class Failure : public std::runtime_error {
 public:
  Failure(int exitStatus, const std::string& message, FailureFacts facts = {})
      : std::runtime_error(message), exitStatus_(exitStatus), facts_(std::move(facts)) {}
  int exitStatus() const { return exitStatus_; }
  const FailureFacts& facts() const { return facts_; }
  const std::string& hint() const { return facts_.hint; }
  // What a stream gathered before it failed, printed ahead of the failure.
  const std::optional<Report>& partial() const { return partial_; }
  Failure& WithPartial(Report partial) {
    partial_ = std::move(partial);
    return *this;
  }

 private:
  int exitStatus_;
  FailureFacts facts_;
  std::optional<Report> partial_;
};

// Shorthands for the plain kinds.
[[noreturn]] void FailUsage(const std::string& message);
[[noreturn]] void FailReader(const std::string& message, const std::string& hint = "");

// "0x0B" for 11: how byte values appear in messages.
std::string ByteText(int value);
// Uppercase hex digits, two per byte, no separators.
std::string HexText(const uint8_t* data, size_t count);
std::string HexText(quarn::ByteView data);
// "AA 02 01 55": bytes as a frame is read, one apart from the next.
std::string SpacedHex(const Bytes& data);

// "1 word", "2 words", "0 tags": a count and its noun, in the plural unless the count is one. plural
// defaults to singular + "s".
std::string Counted(size_t count, const std::string& singular, const std::string& plural = "");

// The error as a person reads it on stderr (without the "quarn: " of its first line), and as a script
// reads it on stdout.
std::string FailureText(const Failure& failure);
Json FailureJson(const Failure& failure);

// A plain text table: a header row, a rule, and rows, columns padded to their widest cell.
std::string TableText(const std::vector<std::string>& header, const std::vector<std::vector<std::string>>& rows);

// "name: value" lines, names padded so the values line up.
std::string FieldsText(const std::vector<std::pair<std::string, std::string>>& fields);

}  // namespace quarn::cli
