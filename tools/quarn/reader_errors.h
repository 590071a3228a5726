#pragma once
// The one place where what the C++ API reports about a failed call becomes the tool's message: the
// cause in a person's words, with a hint at what to do, and the exit status. Every command goes
// through here, so the same fault reads the same everywhere.

#include <string>
#include <utility>

#include "quarn/error.h"
#include "report.h"

namespace quarn::cli {

// What the tool was doing: the words after "could not", and what shapes the hint.
struct Action {
  Action(std::string whatDone, std::string hint = "", size_t wordCount = 0)
      : what(std::move(whatDone)), refusalHint(std::move(hint)), words(wordCount) {}

  std::string what;          // "read the tag E200...", "set the power"
  std::string refusalHint;  // the hint for a refusal that carries no advice of its own
  size_t words = 0;          // a block write's word count, for "stopped after 3 of 4 words"; 0: none
};

// Where the exchange ran.
struct Line {
  std::string port;
  int baud = 115200;
  bool crc = false;
};

// The hint for a refused command on the single tag in the field, whose usual cause is a crowded field.
extern const char* const kSingleTagHint;

// The failure of a call on an open port.
Failure CallFailure(const quarn::ErrorDetail& detail, const Action& action, const Line& line);
// The cause alone, short: for a field of a report that goes on without it ("uid: no reply").
std::string ShortCause(const quarn::ErrorDetail& detail);
// The failure to open the port (exit status 3).
Failure OpenFailure(const quarn::ErrorDetail& detail, const std::string& port);
// Throws the open failure for what no reader can sit behind though the system may open it: a folder, and
// /dev/ptmx, which opens as a terminal but makes a new pseudo-terminal each time.
void RefuseWhatIsNoSerialPort(const std::string& port);

}  // namespace quarn::cli
