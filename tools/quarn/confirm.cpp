#include "confirm.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <optional>

#include "report.h"
#include "terminal.h"

namespace quarn::cli {

namespace {

constexpr int kAnswerWaitMs = 120 * 1000;
constexpr size_t kLongestAnswer = 256;

std::string Trimmed(std::string text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
  size_t start = 0;
  while (start < text.size() && std::isspace(static_cast<unsigned char>(text[start]))) ++start;
  return text.substr(start);
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// One line from the terminal, or nothing when none came in time.
std::optional<std::string> ReadAnswer() {
  std::string line;
  while (line.size() < kLongestAnswer) {
    pollfd entry{STDIN_FILENO, POLLIN, 0};
    if (poll(&entry, 1, kAnswerWaitMs) <= 0) return std::nullopt;
    char c = 0;
    if (read(STDIN_FILENO, &c, 1) != 1) return std::nullopt;
    if (c == '\n') return line;
    line += c;
  }
  return line;
}

}  // namespace

void Confirm(const Confirmation& confirmation) {
  if (confirmation.given) return;
  const std::string refused = "nothing was sent: " + confirmation.deed + " cannot be undone";
  if (!IsTerminal(stdin))
    FailUsage(refused + ", and without a terminal to ask on it needs --yes");
  const std::string typed = confirmation.answer.empty() ? "yes" : confirmation.answer + " (or yes)";
  std::fprintf(stderr, "quarn: %s cannot be undone. Type %s to go ahead: ", confirmation.deed.c_str(), typed.c_str());
  std::fflush(stderr);
  const std::optional<std::string> answer = ReadAnswer();
  if (!answer) {
    std::fputs("\n", stderr);
    FailUsage(refused + ", and no answer came");
  }
  const std::string given = Trimmed(*answer);
  if (SameIgnoringCase(given, "yes")) return;
  if (!confirmation.answer.empty() && SameIgnoringCase(given, confirmation.answer)) return;
  FailUsage(refused + ", and '" + given + "' is not " + typed);
}

}  // namespace quarn::cli
