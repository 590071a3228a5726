#pragma once
// How the C++ API reports a failure: an error code of the "quarn" category that says what went wrong,
// the details a reply told (the status byte, the reader's error code and its Gen2 meaning), and one
// exception type that carries both.
//
// Every call comes in two forms. The first throws quarn::Error. The second takes a std::error_code& as
// its last argument, as std::filesystem and Asio do: it sets the code (cleared on success) and throws
// nothing but std::bad_alloc, and only where it returns owned data. After either form,
// Reader::lastError() holds the full ErrorDetail of that call.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <type_traits>

#include "quarn/config.h"

namespace quarn {

// What went wrong. The values are stable; 0 is success, as for every error code.
enum class Errc : int {
  kSuccess = 0,

  // The exchange with the reader: what the port, the line or the reply did.
  kPortUnusable = 1,         // the handle is not an open port
  kPortGone = 2,             // the device hung up or was removed: nothing more will come
  kWriteFailed = 3,          // a byte of the command could not be written
  kNoReply = 4,              // nothing began to arrive within the time limit
  kCutOff = 5,               // the reply stopped before its tail
  kBadEscape = 6,            // an escape byte before a byte that needs none
  kUnescapedHeadOrTail = 7,  // a bare head (0xAA) or tail (0x55) inside the reply
  kWrongTail = 8,            // the byte after the reply's body is not the tail
  kTooLong = 9,              // the reply announces more than a frame holds
  kCrcMismatch = 10,         // the reply's CRC does not match its bytes
  kOtherCommand = 11,        // a reply to another command, or in the other mode (plain / CRC)
  kRefused = 12,             // the reader refused: see the status byte and the reader's error code
  kTooShort = 13,            // the reply lacks bytes the command reads
  kCommandTooLong = 14,      // the parameters do not fit one command frame; nothing was sent

  // This layer's own.
  kInvalidArgument = 100,   // an argument the call cannot send; ErrorDetail::reason names it
  kNotOpen = 101,           // the Reader has no open port (never opened, closed, or moved from)
  kNoSuchPort = 102,        // no device of that name
  kPermissionDenied = 103,  // the user may not open the port (Linux: the dialout group)
  kBusy = 104,              // another program holds the port
  kNotSerialPort = 105,     // the device opens but is not a serial port
  kBadPortName = 106,       // the name is empty or too long for a device path
  kBadBaud = 107,           // not one of the four baud rates the reader speaks
  kOpenFailed = 108,        // the system refused to open the port for another reason
};

// The "quarn" category. Its messages name each value; its default_error_condition maps the values
// with a generic counterpart (kNoReply to std::errc::timed_out, kPermissionDenied to
// std::errc::permission_denied, ...), so `ec == std::errc::timed_out` works.
QUARN_CPP_API const std::error_category& ErrorCategory() noexcept;

inline std::error_code make_error_code(Errc value) noexcept {
  return std::error_code(static_cast<int>(value), ErrorCategory());
}

// What the EPC Gen2 standard says a tag error code means ("memory locked" for 0x04), or nullptr for a
// code Gen2 leaves to the reader.
QUARN_CPP_API const char* Gen2ErrorMeaning(uint8_t errorCode) noexcept;
// What a person can do about it ("the area is locked; a locked area takes the access password"), or ""
// where there is nothing to suggest.
QUARN_CPP_API const char* Gen2ErrorAdvice(uint8_t errorCode) noexcept;

// Everything a failed call can tell. The optional fields are set only when the reply carried them.
struct QUARN_CPP_API ErrorDetail {
  std::error_code code;                        // empty after success
  const char* command = "";                    // the call, e.g. "ReadData"
  const char* reason = "";                     // for kInvalidArgument and the open failures: the cause and the fix
  std::optional<uint8_t> status;               // the refusing reply's status byte (for the register and
                                               // filter commands, the reader's code itself)
  std::optional<uint8_t> readerErrorCode;      // the error code that followed the status: the tag's
                                               // (Gen2) code of a refused tag operation
  std::optional<uint8_t> echoedCode;           // kOtherCommand: the code the reply echoed
  std::optional<uint8_t> sentCode;             // kOtherCommand: the code the call's command went out with
                                               // (the same but for bit 7: a reply in the other mode)
  std::optional<uint8_t> writtenWordCount;     // block and SR writes: words written before the failure
  std::optional<uint16_t> statusWord;          // SAM commands: SW1 (high byte) and SW2 of a refused APDU
  std::string port;                            // a failed open: the port name it was given

  explicit operator bool() const { return static_cast<bool>(code); }
  // One line for a person: the call (and the port a failed open named), what went wrong and what the
  // reply told, e.g.
  // "ReadData: the reader refused the command (status 0x81, reader error code 0x04: memory locked)",
  // "Open /dev/ttyUSB7: no such port: check the name ...".
  std::string Describe() const;
};

// The one exception the C++ API throws (besides std::bad_alloc). code() is in the "quarn" category;
// what() is ErrorDetail::Describe().
class QUARN_CPP_API Error : public std::system_error {
 public:
  explicit Error(const ErrorDetail& detail);

  const ErrorDetail& detail() const noexcept { return detail_; }
  Errc errc() const noexcept { return static_cast<Errc>(code().value()); }
  std::optional<uint8_t> status() const noexcept { return detail_.status; }
  std::optional<uint8_t> readerErrorCode() const noexcept { return detail_.readerErrorCode; }
  // The Gen2 meaning of the reader's error code, or nullptr.
  const char* gen2Meaning() const noexcept;
  const char* what() const noexcept override { return description_.what(); }

 private:
  ErrorDetail detail_;
  // Kept in a standard exception, whose copies share the text and cannot throw.
  std::runtime_error description_;
};

}  // namespace quarn

namespace std {
template <>
struct is_error_code_enum<quarn::Errc> : true_type {};
}  // namespace std
