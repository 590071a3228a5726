#pragma once
// Commands that cannot be undone (kill, permalock, permaunlock) go ahead only when the person says so:
// --yes, or the answer typed at the terminal.

#include <string>

namespace quarn::cli {

struct Confirmation {
  std::string deed;    // "kill the tag E200...": what cannot be undone
  std::string answer;  // what to type besides "yes" (the tag's EPC); empty: "yes" alone
  bool given = false;  // --yes
};

// Returns when the deed is confirmed. Without a terminal on stdin and without --yes, and when the answer
// typed is another, it fails with exit status 2 and nothing sent. The wait for an answer is bounded.
void Confirm(const Confirmation& confirmation);

}  // namespace quarn::cli
