// The "quarn" error category, the exception and what a failure says to a person.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <system_error>

#include "cpp/outcome_errc.h"
#include "quarn/error.h"

namespace {

using quarn::Errc;

constexpr Errc kAllErrc[] = {
    Errc::kPortUnusable, Errc::kPortGone,     Errc::kWriteFailed,      Errc::kNoReply,
    Errc::kCutOff,       Errc::kBadEscape,    Errc::kUnescapedHeadOrTail, Errc::kWrongTail,
    Errc::kTooLong,      Errc::kCrcMismatch,  Errc::kOtherCommand,     Errc::kRefused,
    Errc::kTooShort,     Errc::kCommandTooLong, Errc::kInvalidArgument, Errc::kNotOpen,
    Errc::kNoSuchPort,   Errc::kPermissionDenied, Errc::kBusy,         Errc::kNotSerialPort,
    Errc::kBadPortName,  Errc::kBadBaud,      Errc::kOpenFailed,
};

TEST(ErrorCategory, NamesEveryValueWithItsOwnMessage) {
  std::set<std::string> messages;
  for (Errc errc : kAllErrc) {
    const std::error_code code = errc;  // is_error_code_enum makes this implicit
    EXPECT_STREQ(code.category().name(), "quarn");
    EXPECT_TRUE(code) << code.value();
    EXPECT_EQ(code.message().find("unknown"), std::string::npos) << code.value();
    messages.insert(code.message());
  }
  EXPECT_EQ(messages.size(), std::size(kAllErrc));
  EXPECT_FALSE(std::error_code(Errc::kSuccess));
}

// Every outcome of an exchange has its own value: none collapses into another or into success.
TEST(ErrorCategory, EveryExchangeOutcomeHasItsOwnValue) {
  std::set<Errc> seen;
  const int last = static_cast<int>(quarn::link::Outcome::kInvalidArgument);
  for (int value = 0; value <= last; ++value) {
    const auto outcome = static_cast<quarn::link::Outcome>(value);
    const Errc errc = quarn::cpp::ErrcOf(outcome);
    EXPECT_EQ(errc == Errc::kSuccess, outcome == quarn::link::Outcome::kSuccess) << value;
    seen.insert(errc);
  }
  EXPECT_EQ(seen.size(), static_cast<size_t>(last + 1));
}

TEST(ErrorCategory, ComparesEqualToTheGenericConditions) {
  const struct {
    Errc errc;
    std::errc generic;
  } rows[] = {
      {Errc::kNoReply, std::errc::timed_out},
      {Errc::kPermissionDenied, std::errc::permission_denied},
      {Errc::kBusy, std::errc::device_or_resource_busy},
      {Errc::kNoSuchPort, std::errc::no_such_file_or_directory},
      {Errc::kInvalidArgument, std::errc::invalid_argument},
      {Errc::kPortGone, std::errc::no_such_device},
  };
  for (const auto& row : rows) EXPECT_EQ(std::error_code(row.errc), row.generic) << static_cast<int>(row.errc);
  // The reader's refusal has no generic counterpart.
  EXPECT_NE(std::error_code(Errc::kRefused), std::errc::invalid_argument);
  EXPECT_NE(std::error_code(Errc::kRefused), std::errc::permission_denied);
}

TEST(Error, CarriesTheReplysFactsAndNamesThemInWhat) {
  quarn::ErrorDetail detail;
  detail.code = Errc::kRefused;
  detail.command = "ReadData";
  detail.status = 0x81;
  detail.readerErrorCode = 0x04;
  const quarn::Error error(detail);
  EXPECT_EQ(error.errc(), Errc::kRefused);
  EXPECT_EQ(error.code(), Errc::kRefused);
  EXPECT_EQ(error.status(), 0x81);
  EXPECT_EQ(error.readerErrorCode(), 0x04);
  EXPECT_STREQ(error.gen2Meaning(), "memory locked");
  EXPECT_STREQ(error.what(),
               "ReadData: the reader refused the command (status 0x81, reader error code 0x04: memory locked)");
  // Caught as the standard base, it is the same.
  try {
    throw error;
  } catch (const std::system_error& caught) {
    EXPECT_EQ(caught.code(), Errc::kRefused);
    EXPECT_STREQ(caught.what(), error.what());
  }
}

TEST(Error, DescribesEachKindOfFact) {
  const struct {
    quarn::ErrorDetail detail;
    const char* text;
  } rows[] = {
      {[] {
         quarn::ErrorDetail d;
         d.code = Errc::kOtherCommand;
         d.command = "GetPower";
         d.echoedCode = 0x12;
         return d;
       }(),
       "GetPower: the reply answers another command, or comes in the other mode (plain or CRC) (reply code 0x12)"},
      {[] {
         quarn::ErrorDetail d;
         d.code = Errc::kRefused;
         d.command = "BlockWriteData";
         d.status = 0x82;
         d.writtenWordCount = 3;
         return d;
       }(),
       "BlockWriteData: the reader refused the command (status 0x82, 3 words written)"},
      {[] {
         quarn::ErrorDetail d;
         d.code = Errc::kRefused;
         d.command = "SendApdu";
         d.status = 0x81;
         d.statusWord = 0x6A82;
         return d;
       }(),
       "SendApdu: the reader refused the command (status 0x81, SAM status word 6A82)"},
      {[] {
         quarn::ErrorDetail d;
         d.code = Errc::kRefused;
         d.command = "ReadData";
         d.readerErrorCode = 0x42;  // a code of the reader's own: no Gen2 meaning
         return d;
       }(),
       "ReadData: the reader refused the command (reader error code 0x42)"},
      {[] {
         quarn::ErrorDetail d;
         d.code = Errc::kPermissionDenied;
         d.command = "Open";
         d.reason = "add the user to the dialout group";
         return d;
       }(),
       "Open: permission denied to open the port: add the user to the dialout group"},
  };
  for (const auto& row : rows) EXPECT_EQ(row.detail.Describe(), row.text);
}

TEST(Gen2Errors, MeaningAndAdviceOfTheTagsCodes) {
  EXPECT_STREQ(quarn::Gen2ErrorMeaning(0x03), "memory overrun");
  EXPECT_STREQ(quarn::Gen2ErrorMeaning(0x04), "memory locked");
  EXPECT_STREQ(quarn::Gen2ErrorMeaning(0x0B), "insufficient power");
  EXPECT_STREQ(quarn::Gen2ErrorMeaning(0x0F), "non-specific error");
  EXPECT_EQ(quarn::Gen2ErrorMeaning(0x42), nullptr);
  EXPECT_NE(std::string(quarn::Gen2ErrorAdvice(0x04)).find("access password"), std::string::npos);
  EXPECT_STREQ(quarn::Gen2ErrorAdvice(0x42), "");
}

}  // namespace
