#pragma once
// When a tag is in the reader's field: always, in a list of visits (enters at one time, leaves at a
// later one), or in passes that repeat with a period, as cartons on a conveyor at a dock door. Times
// are microseconds on the reader's clock, counted from its start.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quarn::sim {

struct Visit {
  uint64_t entersUs = 0;
  std::optional<uint64_t> leavesUs;  // unset: stays for good
};

struct Presence {
  // Without a period: the visits, in rising order; none at all means always present.
  std::vector<Visit> visits;
  // With a period: a pass of presentUs every periodUs, the first at firstUs, none from untilUs on.
  uint64_t periodUs = 0;
  uint64_t presentUs = 0;
  uint64_t firstUs = 0;
  std::optional<uint64_t> untilUs;

  bool At(uint64_t nowUs) const;
  bool always() const { return periodUs == 0 && visits.empty(); }
  bool operator==(const Presence& other) const;
};

// Builds a presence from the words of a tag line, in order: "enters S", "leaves S", "every S",
// "present S", seconds as decimals. Without "every", enters and leaves alternate in rising time (a
// first "leaves" means present from the start); with it, one "enters" sets the first pass and one
// "leaves" the end. Throws ScenarioError naming the mistake.
class PresenceBuilder {
 public:
  // True when word is one of the four keywords; value is the number that followed it.
  static bool IsKeyword(const std::string& word);
  void Add(const std::string& keyword, const std::string& value);
  Presence Finish() const;

 private:
  Presence Periodic() const;
  struct Event {
    bool enters;
    uint64_t atUs;
  };
  std::vector<Event> events_;
  std::optional<uint64_t> everyUs_;
  std::optional<uint64_t> presentUs_;
};

// The words of a tag line that give this presence back ("enters 2 leaves 5.5"); empty for always.
std::string PresenceText(const Presence& presence);

// Seconds as a decimal, 0 to about 31 years, to microseconds. Throws ScenarioError.
uint64_t ParseSeconds(const std::string& text, const char* what);

}  // namespace quarn::sim
