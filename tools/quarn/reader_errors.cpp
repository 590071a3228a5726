#include "reader_errors.h"

#include <grp.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include "command_names.h"
#include "link/frame_format.h"
#include "quarn/ports.h"

namespace quarn::cli {

const char* const kSingleTagHint =
    "without --epc the command needs exactly one tag in the field; name one with --epc (quarn inventory lists them)";

namespace {

using quarn::Errc;

constexpr const char* kNoiseHint = "noise on the line? check the cable and its plugs, keep it clear of motors and "
                                   "power lines, and try again";
constexpr const char* kPortsHint = "quarn ports lists the serial ports";
constexpr size_t kPortsNamed = 4;

// What the tool adds to the library's advice for a Gen2 code: the option that helps.
struct ToolAdvice {
  uint8_t code;
  const char* suffix;
};
constexpr ToolAdvice kToolAdvice[] = {
    {0x04, " (-P)"},
    {0x0B, " (quarn power)"},
};

// The link's own faults, each with its name for scripts and the hint a person needs.
struct LinkFault {
  Errc errc;
  const char* cause;
  const char* hint;
};
constexpr LinkFault kLinkFaults[] = {
    {Errc::kCrcMismatch, "crcMismatch", kNoiseHint},
    {Errc::kCutOff, "framing", kNoiseHint},
    {Errc::kBadEscape, "framing", kNoiseHint},
    {Errc::kUnescapedHeadOrTail, "framing", kNoiseHint},
    {Errc::kWrongTail, "framing", kNoiseHint},
    {Errc::kTooLong, "framing", kNoiseHint},
    {Errc::kTooShort, "tooShort", "noise on the line, or a reader that does not know this command"},
    {Errc::kWriteFailed, "writeFailed", "is the adapter still plugged in? quarn ports lists the serial ports"},
    {Errc::kPortUnusable, "notOpen", ""},
    {Errc::kNotOpen, "notOpen", ""},
};

Errc ErrcOf(const quarn::ErrorDetail& detail) { return static_cast<Errc>(detail.code.value()); }

std::string ModeName(bool crc) { return crc ? "CRC mode" : "plain mode"; }

std::string Gen2Advice(uint8_t code) {
  std::string advice = quarn::Gen2ErrorAdvice(code);
  if (advice.empty()) return advice;
  for (const ToolAdvice& tool : kToolAdvice)
    if (tool.code == code) advice += tool.suffix;
  return advice;
}

// "(status 0x81, reader error code 0x04)": what the refusing reply said.
std::string RefusalFacts(const quarn::ErrorDetail& detail) {
  std::string facts;
  if (detail.status) facts += "status " + ByteText(*detail.status);
  if (detail.readerErrorCode) facts += ", reader error code " + ByteText(*detail.readerErrorCode);
  return facts.empty() ? "" : " (" + facts + ")";
}

std::string Refusal(const quarn::ErrorDetail& detail, const Action& action, FailureFacts& facts) {
  facts.cause = "refused";
  if (detail.status) facts.status = *detail.status;
  if (detail.statusWord) {
    char word[8];
    std::snprintf(word, sizeof word, "%04X", static_cast<unsigned>(*detail.statusWord));
    return std::string("the SAM refused it with status word ") + word + RefusalFacts(detail);
  }
  if (!detail.readerErrorCode) {
    facts.hint = action.refusalHint;
    return "the reader refused" + RefusalFacts(detail);
  }
  const uint8_t code = *detail.readerErrorCode;
  facts.readerErrorCode = code;
  const char* meaning = quarn::Gen2ErrorMeaning(code);
  if (meaning == nullptr) {
    facts.hint = action.refusalHint;
    return "the reader refused" + RefusalFacts(detail) + "; " + ByteText(code) +
           " is the reader's own code, not a Gen2 tag error";
  }
  facts.meaning = meaning;
  facts.hint = Gen2Advice(code);
  if (facts.hint.empty()) facts.hint = action.refusalHint;
  return meaning + RefusalFacts(detail);
}

std::string OtherCommand(const quarn::ErrorDetail& detail, const Line& line, FailureFacts& facts) {
  facts.cause = "otherCommand";
  if (!detail.echoedCode) return detail.code.message();
  const uint8_t echoed = *detail.echoedCode;
  facts.replyCode = echoed;
  const CommandInfo* answered = FindCommand(echoed);
  const std::string named = std::string(answered ? answered->name : "a code no command of the reader uses") +
                            " (code " + ByteText(echoed) + ")";
  const bool replyCrc = (echoed & link::kCrcModeCodeBit) != 0;
  if (replyCrc == line.crc) {
    facts.hint = "a stream may still run from an earlier command (quarn stop ends it), or another program talks to "
                 "the reader on this port";
    return "the reply answers another command, " + named;
  }
  facts.cause = "otherMode";
  facts.hint = replyCrc ? "the reader works in CRC mode: add --crc" : "the reader works in plain mode: leave out --crc";
  const uint8_t plainCode = echoed & static_cast<uint8_t>(~link::kCrcModeCodeBit);
  const bool ownReply = detail.sentCode && (*detail.sentCode & static_cast<uint8_t>(~link::kCrcModeCodeBit)) == plainCode;
  if (ownReply)
    return "the reader answered this command in " + ModeName(replyCrc) + " (code " + ByteText(echoed) +
           "), but quarn sent it in " + ModeName(line.crc);
  return "the reply answers another command, " + named + ", and in " + ModeName(replyCrc);
}

const LinkFault* FindLinkFault(Errc errc) {
  for (const LinkFault& fault : kLinkFaults)
    if (fault.errc == errc) return &fault;
  return nullptr;
}

std::string ReasonOr(const quarn::ErrorDetail& detail) {
  return detail.reason[0] != '\0' ? std::string(detail.reason) : detail.code.message();
}

// "serial ports here: /dev/ttyUSB0, /dev/ttyUSB1", or that there is none: what a wrong name is up against.
std::string PortsPresent() {
  std::error_code error;
  const std::vector<quarn::SerialPortInfo> ports = quarn::ListSerialPorts({}, error);
  if (error) return kPortsHint;
  if (ports.empty()) return "no serial port is present: is the reader's adapter plugged in? " + std::string(kPortsHint);
  std::string names;
  for (size_t i = 0; i < ports.size() && i < kPortsNamed; ++i)
    names += (i ? ", " : "") + ports[i].stablePath();
  if (ports.size() > kPortsNamed) names += ", ...";
  return std::string(kPortsHint) + " (here: " + names + ")";
}

std::string DevicePath(const std::string& port) { return port.find('/') == std::string::npos ? "/dev/" + port : port; }

// The group that may open the device: dialout on most systems, whatever owns the device here.
std::string DeviceGroup(const std::string& port) {
  struct stat device {};
  if (stat(DevicePath(port).c_str(), &device) != 0) return "dialout";
  const group* owner = getgrgid(device.st_gid);
  return owner && device.st_gid != 0 ? owner->gr_name : "dialout";
}

}  // namespace

Failure CallFailure(const quarn::ErrorDetail& detail, const Action& action, const Line& line) {
  const Errc errc = ErrcOf(detail);
  FailureFacts facts;
  std::string what = "could not " + action.what;
  if (detail.writtenWordCount && action.words > 0)
    what += " (stopped after " + std::to_string(*detail.writtenWordCount) + " of " + Counted(action.words, "word") + ")";
  std::string cause;
  int exitStatus = kExitFailed;
  switch (errc) {
    case Errc::kNoReply:
      facts.cause = "noReply";
      facts.hint = "is the reader on, and does it run at " + std::to_string(line.baud) +
                   " baud? quarn probe finds its rate";
      cause = "the reader did not answer on " + line.port + " at " + std::to_string(line.baud) +
              " baud within the time limit";
      break;
    case Errc::kPortGone:
      facts.cause = "portGone";
      facts.hint = "plug the reader in again; quarn ports shows the port it comes back on";
      cause = "the port " + line.port + " is gone: the device hung up or was unplugged";
      break;
    case Errc::kOtherCommand:
      cause = OtherCommand(detail, line, facts);
      break;
    case Errc::kRefused:
      cause = Refusal(detail, action, facts);
      break;
    case Errc::kInvalidArgument:
    case Errc::kCommandTooLong:
      facts.cause = "usage";
      exitStatus = kExitUsage;
      cause = ReasonOr(detail);
      break;
    default:
      if (const LinkFault* fault = FindLinkFault(errc)) {
        facts.cause = fault->cause;
        facts.hint = fault->hint;
        cause = detail.code.message();
      } else {
        return OpenFailure(detail, line.port);
      }
  }
  return Failure(exitStatus, what + ": " + cause, facts);
}

std::string ShortCause(const quarn::ErrorDetail& detail) {
  const Errc errc = ErrcOf(detail);
  if (errc == Errc::kNoReply) return "no answer";
  if (errc == Errc::kRefused) return "refused" + RefusalFacts(detail);
  if (errc == Errc::kOtherCommand && detail.echoedCode) return "a reply to code " + ByteText(*detail.echoedCode);
  return detail.code.message();
}

Failure OpenFailure(const quarn::ErrorDetail& detail, const std::string& port) {
  FailureFacts facts;
  std::string cause;
  switch (ErrcOf(detail)) {
    case Errc::kNoSuchPort:
      facts.cause = "noSuchPort";
      facts.hint = PortsPresent();
      cause = "no such device";
      break;
    case Errc::kPermissionDenied:
      facts.cause = "permissionDenied";
      facts.hint = "join the group " + DeviceGroup(port) + " (sudo usermod -aG " + DeviceGroup(port) +
                   " $USER), then log out and in again";
      cause = "permission denied";
      break;
    case Errc::kBusy:
      facts.cause = "busy";
      facts.hint = "close the other program (another quarn, quarn watch, a terminal program); fuser -v " +
                   DevicePath(port) + " names it";
      cause = "it is in use by another program";
      break;
    case Errc::kNotSerialPort:
      facts.cause = "notSerialPort";
      facts.hint = std::string("name the reader's serial port; ") + kPortsHint;
      cause = "it is not a serial device";
      break;
    case Errc::kBadPortName:
      facts.cause = "badPortName";
      facts.hint = "give a path such as /dev/ttyUSB0, or a name under /dev such as ttyUSB0";
      cause = "the name is empty or too long";
      break;
    default:
      facts.cause = "openFailed";
      facts.hint = PortsPresent();
      cause = ReasonOr(detail);
  }
  return Failure(kExitPort, "cannot open the serial port " + port + ": " + cause, facts);
}

void RefuseWhatIsNoSerialPort(const std::string& port) {
  struct stat device {};
  if (stat(DevicePath(port).c_str(), &device) != 0) return;
  FailureFacts facts;
  facts.cause = "notSerialPort";
  facts.hint = std::string("name the reader's serial port; ") + kPortsHint;
  std::string cause;
  if (S_ISDIR(device.st_mode)) {
    cause = "it is a folder, not a device";
  } else if (S_ISCHR(device.st_mode) && major(device.st_rdev) == 5 && minor(device.st_rdev) == 2) {
    // The pseudo-terminal multiplexer (at /dev/ptmx and /dev/pts/ptmx).
    cause = "it is not a serial device but the pseudo-terminal multiplexer, which makes a new terminal with "
            "nothing behind it each time it is opened";
    facts.hint = "the virtual reader's port is the /dev/pts/N path quarn-sim prints; " + std::string(kPortsHint);
  } else {
    return;
  }
  throw Failure(kExitPort, "cannot open the serial port " + port + ": " + cause, facts);
}

}  // namespace quarn::cli
