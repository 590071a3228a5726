#include "fake_reader.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <stdexcept>

namespace quarn::watch {

namespace {

using Kind = FakePlan::Step::Kind;

// What a reader that does not answer costs: one exchange's time limit.
constexpr Millis kNoReplyTakes{800};
constexpr uint16_t kFakePc = 0x3000;  // six EPC words

double PlanNumber(const std::string& key, const std::string& value) {
  size_t used = 0;
  double number = 0;
  try {
    number = std::stod(value, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != value.size() || !std::isfinite(number) || number < 0)
    throw std::invalid_argument("the fake reader's " + key + "=" + value + " is not a number of 0 or more");
  return number;
}

Millis Seconds(double seconds) { return Millis(static_cast<long long>(seconds * 1000)); }

}  // namespace

Bytes FakeEpc(int n) {
  Bytes epc = {0xE2, 0x00, 0x34, 0x12, 0, 0, 0, 0, 0, 0, 0, 0};
  epc[10] = static_cast<uint8_t>((n >> 8) & 0xFF);
  epc[11] = static_cast<uint8_t>(n & 0xFF);
  return epc;
}

FakePlan ParseFakePlan(const std::string& text) {
  FakePlan plan;
  plan.period = Millis(100);
  plan.tags = 3;
  double goneAt = -1, goneFor = 0;
  std::stringstream pairs(text);
  std::string pair;
  while (std::getline(pairs, pair, ',')) {
    if (pair.empty()) continue;
    auto equals = pair.find('=');
    if (equals == std::string::npos) throw std::invalid_argument("the fake reader's " + pair + " is not key=value");
    std::string key = pair.substr(0, equals), value = pair.substr(equals + 1);
    if (key == "uid") {
      plan.uid = value;
      continue;
    }
    double number = PlanNumber(key, value);
    if (key == "tags")
      plan.tags = std::max(1, static_cast<int>(number));
    else if (key == "rate")
      plan.period = number > 0 ? Millis(std::max<long long>(1, static_cast<long long>(1000 / number))) : Millis(0);
    else if (key == "antennas")
      plan.antennas = static_cast<int>(number);
    else if (key == "crc-every")
      plan.crcEvery = static_cast<int>(number);
    else if (key == "stop-ms")
      plan.stopTakes = Millis(static_cast<long long>(number));
    else if (key == "gone-at")
      goneAt = number;
    else if (key == "gone-for")
      goneFor = number;
    else
      throw std::invalid_argument("the fake reader knows no " + key + " (tags, rate, antennas, crc-every, stop-ms, "
                                  "gone-at, gone-for, uid)");
  }
  if (goneAt >= 0) {
    plan.steps.push_back({Seconds(goneAt), Kind::kPortGone, {}, "", ""});
    plan.steps.push_back({Seconds(goneAt + goneFor), Kind::kPortBack, {}, "", ""});
  }
  return plan;
}

FakeReader::FakeReader(FakePlan plan, Clock& clock) : plan_(std::move(plan)), clock_(clock), origin_(clock.Now()) {
  std::stable_sort(plan_.steps.begin(), plan_.steps.end(),
                   [](const FakePlan::Step& a, const FakePlan::Step& b) { return a.at < b.at; });
}

Millis FakeReader::Elapsed() { return std::chrono::duration_cast<Millis>(clock_.Now() - origin_); }

void FakeReader::Pass(Millis d) {
  if (d > Millis(0)) clock_.Wait(d, never_);
}

void FakeReader::CatchUp() {
  Millis now = Elapsed();
  bool delivering = open_ && streaming_ && !hung_ && portPresent_;
  while (cursor_ < plan_.steps.size() && plan_.steps[cursor_].at <= now) {
    const FakePlan::Step& step = plan_.steps[cursor_];
    bool frame = step.kind == Kind::kRead || step.kind == Kind::kFailure;
    if (frame && delivering) break;  // Next hands it over
    if (step.kind == Kind::kPortGone) portPresent_ = false;
    if (step.kind == Kind::kPortBack) portPresent_ = true;
    if (step.kind == Kind::kPortBack && !step.uid.empty()) plan_.uid = step.uid;
    if (step.kind == Kind::kHang) hung_ = true;
    if (step.kind == Kind::kRecover) hung_ = false;
    delivering = open_ && streaming_ && !hung_ && portPresent_;
    ++cursor_;
  }
  if (!delivering && plan_.period > Millis(0))
    periodicIndex_ = std::max<uint64_t>(periodicIndex_, static_cast<uint64_t>(now / plan_.period));
}

FakeReader::Source FakeReader::NextPlanned(Millis& at, Arrival& arrival) {
  Source source = Source::kNone;
  if (cursor_ < plan_.steps.size()) {
    at = plan_.steps[cursor_].at;
    source = Source::kStep;
  }
  if (plan_.period > Millis(0) && streaming_ && !hung_) {
    Millis periodic = plan_.period * static_cast<long long>(periodicIndex_ + 1);
    if (source == Source::kNone || periodic < at) {  // on a tie the step goes first
      at = periodic;
      source = Source::kPeriodic;
    }
  }
  arrival = {};
  if (source == Source::kPeriodic) {
    uint64_t n = periodicIndex_ + 1;
    if (plan_.crcEvery > 0 && n % static_cast<uint64_t>(plan_.crcEvery) == 0) {
      arrival.kind = Arrival::Kind::kFailure;
      arrival.failure = Outcome::Failed("crc mismatch");
    } else {
      arrival.kind = Arrival::Kind::kRead;
      int tag = static_cast<int>(n % static_cast<uint64_t>(plan_.tags)) + 1;
      arrival.read = {kFakePc, FakeEpc(tag), std::nullopt};
      if (plan_.antennas > 0) arrival.read.antenna = static_cast<int>(n % static_cast<uint64_t>(plan_.antennas)) + 1;
    }
  } else if (source == Source::kStep) {
    const FakePlan::Step& step = plan_.steps[cursor_];
    if (step.kind == Kind::kRead) {
      arrival.kind = Arrival::Kind::kRead;
      arrival.read = step.read;
    } else if (step.kind == Kind::kFailure) {
      arrival.kind = Arrival::Kind::kFailure;
      arrival.failure = Outcome::Failed(step.failure);
    }
  }
  return source;
}

Outcome FakeReader::Connect(const ReaderSettings& settings, ReaderIdentity& identity) {
  CatchUp();
  connectAttempts_.push_back(Elapsed());
  if (!portPresent_) return Outcome::Failed("cannot open");
  if (hung_) {
    Pass(kNoReplyTakes);
    return Outcome::Failed("no reply");
  }
  open_ = true;
  applied_.push_back(settings);
  identity.uid = plan_.uid;
  return Outcome::Success();
}

Outcome FakeReader::StartStream() {
  CatchUp();
  if (!portPresent_) return Outcome::Gone();
  if (hung_) {
    Pass(kNoReplyTakes);
    return Outcome::Failed("no reply");
  }
  streaming_ = true;
  return Outcome::Success();
}

Arrival FakeReader::Next(Millis wait) {
  Millis deadline = Elapsed() + wait;
  while (true) {
    CatchUp();
    Millis now = Elapsed();
    if (open_ && !portPresent_) {
      Arrival gone;
      gone.kind = Arrival::Kind::kFailure;
      gone.time = clock_.Wall();
      gone.failure = Outcome::Gone();
      return gone;
    }
    Millis at{0};
    Arrival arrival;
    Source source = open_ ? NextPlanned(at, arrival) : Source::kNone;
    if (source == Source::kNone || at > deadline) {
      Pass(deadline - now);
      return Arrival::Nothing();
    }
    if (at > now) {
      Pass(at - now);  // and look again: a change of state may fall due there
      continue;
    }
    // Due now: a step still here is a frame CatchUp kept for the stream.
    if (source == Source::kPeriodic)
      ++periodicIndex_;
    else
      ++cursor_;
    arrival.time = clock_.Wall();
    return arrival;
  }
}

Outcome FakeReader::StopStream() {
  CatchUp();
  if (!portPresent_) return Outcome::Gone();
  Pass(plan_.stopTakes);
  if (hung_) {
    Pass(kNoReplyTakes);
    return Outcome::Failed("no reply");
  }
  streaming_ = false;
  return Outcome::Success();
}

Outcome FakeReader::Check() {
  CatchUp();
  checks_.push_back(Elapsed());
  if (!portPresent_) return Outcome::Gone();
  if (hung_) {
    Pass(kNoReplyTakes);
    return Outcome::Failed("no reply");
  }
  return Outcome::Success();
}

void FakeReader::Close() {
  open_ = false;
  streaming_ = false;
}

}  // namespace quarn::watch
