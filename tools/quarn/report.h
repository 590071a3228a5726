#pragma once
// What a command hands back: the same result for a person (text) and for a script (JSON), and the
// failures that end a command with a nonzero exit status.

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace quarn::cli {

using Bytes = std::vector<uint8_t>;
using Json = nlohmann::ordered_json;

// Exit statuses, shown in the tool's --help.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;  // the reader refused, or gave no usable answer
constexpr int kExitUsage = 2;   // the command line or one of its values is wrong
constexpr int kExitPort = 3;    // the serial port would not open

struct Report {
  Json data = Json::object();
  std::string text;
  int exitStatus = kExitOk;  // a result worth printing that still counts as a failure (a faulty frame)
};

// A failure the person should read about; exitStatus says which kind. readerErrorCode carries the
// reader's error code when the reader sent one with its refusal.
class Failure : public std::runtime_error {
 public:
  Failure(int exitStatus, const std::string& message, std::optional<int> readerErrorCode = std::nullopt,
          std::string hint = "")
      : std::runtime_error(message),
        exitStatus_(exitStatus),
        readerErrorCode_(readerErrorCode),
        hint_(std::move(hint)) {}
  int exitStatus() const { return exitStatus_; }
  std::optional<int> readerErrorCode() const { return readerErrorCode_; }
  // What the person might do about it; empty when there is nothing to suggest.
  const std::string& hint() const { return hint_; }

 private:
  int exitStatus_;
  std::optional<int> readerErrorCode_;
  std::string hint_;
};

// Shorthands for the three kinds.
[[noreturn]] void FailUsage(const std::string& message);
[[noreturn]] void FailReader(const std::string& message);
[[noreturn]] void FailReaderWithCode(const std::string& what, int readerErrorCode, const std::string& hint = "");

// "0x0B" for 11: how byte values appear in messages.
std::string ByteText(int value);
// Uppercase hex digits, two per byte, no separators; made by the library's own conversion.
std::string HexText(const uint8_t* data, size_t count);
std::string HexText(const Bytes& data);
// "AA 02 01 55": bytes as a frame is read, one apart from the next.
std::string SpacedHex(const Bytes& data);

// The error as a person reads it on stderr, and as a script reads it on stdout.
std::string FailureText(const Failure& failure);
Json FailureJson(const Failure& failure);

// A plain text table: a header row, a rule, and rows, columns padded to their widest cell.
std::string TableText(const std::vector<std::string>& header, const std::vector<std::vector<std::string>>& rows);

// "name: value" lines, names padded so the values line up.
std::string FieldsText(const std::vector<std::pair<std::string, std::string>>& fields);

}  // namespace quarn::cli
