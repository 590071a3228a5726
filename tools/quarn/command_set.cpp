#include "arguments.h"
#include "commands.h"
#include "gen2_errors.h"

namespace quarn::cli {

CLI::App* CommandSet::Add(CLI::App& parent, const std::string& name, const std::string& description, Handler handler) {
  CLI::App* command = parent.add_subcommand(name, description);
  command->callback([this, handler] { selected_ = handler; });
  return command;
}

Bytes TagTarget::record() const { return TagRecordFor(epc, pc); }

std::array<uint8_t, 4> TagTarget::accessPassword() const { return ParsePassword(password, "access password"); }

void AddTagTargetOptions(CLI::App& command, TagTarget& target) {
  command.add_option("-e,--epc", target.epc, "the tag's EPC in hex; without it, the single tag in the field");
  command.add_option("--pc", target.pc, "the tag's PC word in hex, when it is not the EPC length alone");
  command.add_option("-P,--password", target.password, "access password, 8 hex digits")->capture_default_str();
}

std::string TagName(const TagTarget& target) {
  return target.byEpc() ? "the tag " + target.epc : "the single tag in the field";
}

void RequireReader(int result, const std::string& what) {
  if (result != 1) FailReader("the reader " + what + " (no reply, or it refused)");
}

namespace {

constexpr uint8_t kNoErrorCode = 0xFF;
constexpr uint8_t kFailedWithErrorCode = 0x81;
constexpr uint8_t kFailedWithoutErrorCode = 0x82;
constexpr const char* kSingleTagHint =
    "without --epc the command needs exactly one tag in the field; name one with --epc (quarn inventory lists them)";

std::string HintFor(bool singleTag, uint8_t errorCode) {
  bool tagError = errorCode != kNoErrorCode && Gen2ErrorMeaning(errorCode).has_value();
  return singleTag && !tagError ? kSingleTagHint : "";
}

}  // namespace

void FailTagOperation(const std::string& what, uint8_t errorCode, bool singleTag) {
  std::string hint = HintFor(singleTag, errorCode);
  if (errorCode != kNoErrorCode) FailReaderWithCode("could not " + what, errorCode, hint);
  throw Failure(kExitFailed, "could not " + what + ": no tag answered, or the reader refused without an error code",
                std::nullopt, hint);
}

void FailBlockWrite(const std::string& what, uint8_t writeStatus, uint8_t errorCode, size_t written, size_t words,
                    bool singleTag) {
  std::string progress = " (stopped after " + std::to_string(written) +
                         (words > 0 ? " of " + std::to_string(words) : std::string()) + " words)";
  std::string hint = HintFor(singleTag, writeStatus == kFailedWithErrorCode ? errorCode : kNoErrorCode);
  if (writeStatus == kFailedWithErrorCode) FailReaderWithCode("could not " + what + progress, errorCode, hint);
  if (writeStatus == kFailedWithoutErrorCode)
    throw Failure(kExitFailed, "could not " + what + progress + ": the tag gave no error code", std::nullopt, hint);
  throw Failure(kExitFailed, "could not " + what + ": no usable reply from the reader", std::nullopt, hint);
}

}  // namespace quarn::cli
