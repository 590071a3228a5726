#include "sim/model/presence.h"

#include <cmath>

#include "sim/model/scenario.h"

namespace quarn::sim {

namespace {

constexpr uint64_t kMicrosPerSecond = 1000000;
constexpr double kLongestSeconds = 1e9;

[[noreturn]] void Fail(const std::string& message) { throw ScenarioError(message); }

std::string SecondsText(uint64_t us) {
  std::string text = std::to_string(us / kMicrosPerSecond);
  const uint64_t fraction = us % kMicrosPerSecond;
  if (fraction == 0) return text;
  std::string digits = std::to_string(fraction);
  digits.insert(0, 6 - digits.size(), '0');
  while (digits.back() == '0') digits.pop_back();
  return text + "." + digits;
}

}  // namespace

uint64_t ParseSeconds(const std::string& text, const char* what) {
  double seconds = -1;
  try {
    size_t used = 0;
    seconds = std::stod(text, &used);
    if (used != text.size()) seconds = -1;
  } catch (const std::logic_error&) {
  }
  if (!(seconds >= 0 && seconds <= kLongestSeconds)) {
    Fail(std::string("bad ") + what + ": '" + text + "' (seconds, for example 2.5)");
  }
  return static_cast<uint64_t>(std::llround(seconds * static_cast<double>(kMicrosPerSecond)));
}

std::string PresenceText(const Presence& presence) {
  std::string text;
  auto add = [&text](const char* keyword, uint64_t us) {
    if (!text.empty()) text += ' ';
    text += keyword;
    text += ' ';
    text += SecondsText(us);
  };
  if (presence.periodUs != 0) {
    if (presence.firstUs != 0) add("enters", presence.firstUs);
    add("every", presence.periodUs);
    add("present", presence.presentUs);
    if (presence.untilUs) add("leaves", *presence.untilUs);
    return text;
  }
  for (const Visit& visit : presence.visits) {
    add("enters", visit.entersUs);
    if (visit.leavesUs) add("leaves", *visit.leavesUs);
  }
  return text;
}

bool Presence::At(uint64_t nowUs) const {
  if (periodUs != 0) {
    if (nowUs < firstUs || (untilUs && nowUs >= *untilUs)) return false;
    return (nowUs - firstUs) % periodUs < presentUs;
  }
  if (visits.empty()) return true;
  for (const Visit& visit : visits) {
    if (nowUs >= visit.entersUs && (!visit.leavesUs || nowUs < *visit.leavesUs)) return true;
  }
  return false;
}

bool Presence::operator==(const Presence& other) const {
  if (visits.size() != other.visits.size()) return false;
  for (size_t i = 0; i < visits.size(); ++i) {
    if (visits[i].entersUs != other.visits[i].entersUs || visits[i].leavesUs != other.visits[i].leavesUs) return false;
  }
  return periodUs == other.periodUs && presentUs == other.presentUs && firstUs == other.firstUs &&
         untilUs == other.untilUs;
}

bool PresenceBuilder::IsKeyword(const std::string& word) {
  return word == "enters" || word == "leaves" || word == "every" || word == "present";
}

void PresenceBuilder::Add(const std::string& keyword, const std::string& value) {
  if (value.empty()) Fail("'" + keyword + "' needs a time in seconds after it");
  const uint64_t us = ParseSeconds(value, keyword.c_str());
  if (keyword == "every") {
    if (everyUs_) Fail("'every' given twice");
    everyUs_ = us;
  } else if (keyword == "present") {
    if (presentUs_) Fail("'present' given twice");
    presentUs_ = us;
  } else {
    events_.push_back({keyword == "enters", us});
  }
}

Presence PresenceBuilder::Finish() const {
  if (everyUs_) return Periodic();
  if (presentUs_) Fail("'present' belongs with 'every': every 10 present 3");
  Presence presence;
  for (size_t i = 0; i < events_.size(); ++i) {
    const Event& event = events_[i];
    if (i > 0 && event.atUs <= events_[i - 1].atUs) Fail("enters and leaves times must rise");
    const bool inField = !presence.visits.empty() && !presence.visits.back().leavesUs;
    if (event.enters) {
      if (inField) Fail("'enters' twice without 'leaves' between");
      presence.visits.push_back({event.atUs, std::nullopt});
    } else if (inField) {
      presence.visits.back().leavesUs = event.atUs;
    } else if (i == 0 && event.atUs > 0) {
      // Leaving first: the tag was there from the start.
      presence.visits.push_back({0, event.atUs});
    } else {
      Fail(i == 0 ? "'leaves 0' leaves the tag never present" : "'leaves' twice without 'enters' between");
    }
  }
  return presence;
}

Presence PresenceBuilder::Periodic() const {
  if (!presentUs_) Fail("'every' needs 'present': every 10 present 3");
  if (*everyUs_ == 0 || *presentUs_ == 0 || *presentUs_ > *everyUs_) {
    Fail("a pass lasts more than 0 and at most its period: every 10 present 3");
  }
  Presence presence;
  presence.periodUs = *everyUs_;
  presence.presentUs = *presentUs_;
  bool entered = false;
  for (const Event& event : events_) {
    if (event.enters ? entered : presence.untilUs.has_value()) {
      Fail("with 'every', at most one 'enters' (the first pass) and one 'leaves' (the end of the passes)");
    }
    if (event.enters) {
      entered = true;
      presence.firstUs = event.atUs;
    } else {
      presence.untilUs = event.atUs;
    }
  }
  if (presence.untilUs && *presence.untilUs <= presence.firstUs) Fail("'leaves' must come after 'enters'");
  return presence;
}

}  // namespace quarn::sim
