#include "quarn/error.h"

#include <cstdio>
#include <string>

namespace quarn {

namespace {

struct ErrcRow {
  Errc errc;
  const char* message;
  std::errc generic;  // the portable condition it stands for; std::errc{} for none
};

constexpr ErrcRow kErrcRows[] = {
    {Errc::kSuccess, "success", std::errc{}},
    {Errc::kPortUnusable, "the port is not an open port", std::errc::bad_file_descriptor},
    {Errc::kPortGone, "the port is gone: the device hung up or was unplugged", std::errc::no_such_device},
    {Errc::kWriteFailed, "a byte of the command could not be written to the port", std::errc::io_error},
    {Errc::kNoReply, "no reply from the reader within the time limit", std::errc::timed_out},
    {Errc::kCutOff, "the reply stopped before its end", std::errc::bad_message},
    {Errc::kBadEscape, "the reply holds an escape byte before a byte that needs none", std::errc::bad_message},
    {Errc::kUnescapedHeadOrTail, "the reply holds a bare head or tail byte", std::errc::bad_message},
    {Errc::kWrongTail, "the reply does not end with the tail byte", std::errc::bad_message},
    {Errc::kTooLong, "the reply announces more bytes than a frame holds", std::errc::message_size},
    {Errc::kCrcMismatch, "the reply's CRC does not match its bytes", std::errc::bad_message},
    {Errc::kOtherCommand, "the reply answers another command, or comes in the other mode (plain or CRC)",
     std::errc::protocol_error},
    {Errc::kRefused, "the reader refused the command", std::errc{}},
    {Errc::kTooShort, "the reply lacks bytes the command reads", std::errc::bad_message},
    {Errc::kCommandTooLong, "the command does not fit one frame; nothing was sent", std::errc::message_size},
    {Errc::kInvalidArgument, "invalid argument", std::errc::invalid_argument},
    {Errc::kNotOpen, "the reader has no open port", std::errc::bad_file_descriptor},
    {Errc::kNoSuchPort, "no such port", std::errc::no_such_file_or_directory},
    {Errc::kPermissionDenied, "permission denied to open the port", std::errc::permission_denied},
    {Errc::kBusy, "the port is in use by another program", std::errc::device_or_resource_busy},
    {Errc::kNotSerialPort, "not a serial port", std::errc::inappropriate_io_control_operation},
    {Errc::kBadPortName, "the port name is empty or too long", std::errc::invalid_argument},
    {Errc::kBadBaud, "not a baud rate of the reader (9600, 19200, 57600 or 115200)", std::errc::invalid_argument},
    {Errc::kOpenFailed, "the port could not be opened", std::errc::io_error},
};

const ErrcRow* FindRow(int value) {
  for (const ErrcRow& row : kErrcRows)
    if (static_cast<int>(row.errc) == value) return &row;
  return nullptr;
}

class QuarnCategory final : public std::error_category {
 public:
  const char* name() const noexcept override { return "quarn"; }

  std::string message(int value) const override {
    const ErrcRow* row = FindRow(value);
    return row ? row->message : "unknown quarn error " + std::to_string(value);
  }

  std::error_condition default_error_condition(int value) const noexcept override {
    const ErrcRow* row = FindRow(value);
    if (row == nullptr || row->generic == std::errc{}) return std::error_condition(value, *this);
    return std::make_error_condition(row->generic);
  }
};

struct Gen2Error {
  uint8_t code;
  const char* meaning;
  const char* advice;
};

// The error codes a Gen2 tag backscatters, which readers pass on unchanged.
constexpr Gen2Error kGen2Errors[] = {
    {0x00, "other error", ""},
    {0x03, "memory overrun", "the address or word count runs past the end of the bank"},
    {0x04, "memory locked", "the area is locked or permalocked; a locked area takes the access password"},
    {0x0B, "insufficient power", "the tag lacks power for the operation; bring it closer or raise the power"},
    {0x0F, "non-specific error", ""},
};

const Gen2Error* FindGen2(uint8_t code) {
  for (const Gen2Error& error : kGen2Errors)
    if (error.code == code) return &error;
  return nullptr;
}

std::string HexByte(uint8_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", value);
  return text;
}

// What the reply told, as " (status 0x81, reader error code 0x04: memory locked)".
std::string ReplyFacts(const ErrorDetail& detail) {
  std::string facts;
  const auto add = [&facts](const std::string& fact) { facts += (facts.empty() ? "" : ", ") + fact; };
  if (detail.status) add("status " + HexByte(*detail.status));
  if (detail.readerErrorCode) {
    const char* meaning = Gen2ErrorMeaning(*detail.readerErrorCode);
    add("reader error code " + HexByte(*detail.readerErrorCode) + (meaning ? std::string(": ") + meaning : ""));
  }
  if (detail.echoedCode) add("reply code " + HexByte(*detail.echoedCode));
  if (detail.writtenWordCount) add(std::to_string(*detail.writtenWordCount) + " words written");
  if (detail.statusWord) {
    char text[24];
    std::snprintf(text, sizeof text, "SAM status word %04X", *detail.statusWord);
    add(text);
  }
  return facts.empty() ? facts : " (" + facts + ")";
}

}  // namespace

const std::error_category& ErrorCategory() noexcept {
  static const QuarnCategory category;
  return category;
}

const char* Gen2ErrorMeaning(uint8_t errorCode) noexcept {
  const Gen2Error* error = FindGen2(errorCode);
  return error ? error->meaning : nullptr;
}

const char* Gen2ErrorAdvice(uint8_t errorCode) noexcept {
  const Gen2Error* error = FindGen2(errorCode);
  return error ? error->advice : "";
}

std::string ErrorDetail::Describe() const {
  std::string text = command;
  if (!port.empty()) text += " " + port;
  if (!text.empty()) text += ": ";
  text += code ? code.message() : "success";
  if (reason[0] != '\0') text += std::string(": ") + reason;
  return text + ReplyFacts(*this);
}

Error::Error(const ErrorDetail& detail)
    : std::system_error(detail.code), detail_(detail), description_(detail.Describe()) {}

const char* Error::gen2Meaning() const noexcept {
  return detail_.readerErrorCode ? Gen2ErrorMeaning(*detail_.readerErrorCode) : nullptr;
}

}  // namespace quarn
