#pragma once
// A reader that exists only as a plan on a clock: reads and failed frames at set times or at a steady
// rate, a port that vanishes and comes back, a reader that hangs and recovers, a stop that takes its
// time. On a virtual clock it lets the supervisor's tests run hours of reconnects exactly; on the real
// clock it stands in for a reader behind `quarn watch --fake`, for demonstrations and the service tests.

#include <string>
#include <vector>

#include "reader_session.h"

namespace quarn::watch {

struct FakePlan {
  struct Step {
    enum class Kind { kRead, kFailure, kPortGone, kPortBack, kHang, kRecover };
    Millis at{0};  // since the fake was made
    Kind kind = Kind::kRead;
    TagRead read;
    std::string failure;  // kFailure: the outcome's name
    std::string uid;      // kPortBack: another reader, with this UID, is behind the port now
  };
  std::vector<Step> steps;  // in the order of `at`

  // A steady stream besides: every `period`, the next of `tags` tags (on the next of `antennas`
  // antennas, when more than 0); every crcEvery-th of these frames a CRC mismatch instead. 0: none.
  Millis period{0};
  int tags = 1;
  int antennas = 0;
  int crcEvery = 0;

  Millis stopTakes{0};  // how long the reader takes to stop its stream
  std::string uid = "0123456789ABCDEF01234567";
};

// The plan of `quarn watch --fake PLAN`: comma-separated key=value pairs out of tags, rate (reads a
// second), antennas, crc-every, stop-ms, gone-at and gone-for (seconds: the port vanishes for a
// while), uid. Throws std::invalid_argument naming the pair that is wrong.
FakePlan ParseFakePlan(const std::string& text);

// The EPC the steady stream gives tag n (12 bytes, the tag's number at the end).
Bytes FakeEpc(int n);

class FakeReader : public ReaderSession {
 public:
  FakeReader(FakePlan plan, Clock& clock);

  Outcome Connect(const ReaderSettings& settings, ReaderIdentity& identity) override;
  Outcome StartStream() override;
  Arrival Next(Millis wait) override;
  Outcome StopStream() override;
  Outcome Check() override;
  void Close() override;

  // What the supervisor did, for tests: when it tried to connect, when it checked, what it applied.
  const std::vector<Millis>& connectAttempts() const { return connectAttempts_; }
  const std::vector<Millis>& checks() const { return checks_; }
  const std::vector<ReaderSettings>& applied() const { return applied_; }
  bool open() const { return open_; }

 private:
  Millis Elapsed();
  void Pass(Millis d);
  // Applies the plan's changes of state (port, hang) up to now; drops reads planned while not streaming.
  void CatchUp();
  // The time and the arrival of the next thing planned: a step of the plan, or the steady stream's frame.
  enum class Source { kNone, kStep, kPeriodic };
  Source NextPlanned(Millis& at, Arrival& arrival);

  FakePlan plan_;
  Clock& clock_;
  SteadyTime origin_;
  StopSignal never_;
  size_t cursor_ = 0;
  uint64_t periodicIndex_ = 0;
  bool portPresent_ = true;
  bool hung_ = false;
  bool open_ = false;
  bool streaming_ = false;
  std::vector<Millis> connectAttempts_;
  std::vector<Millis> checks_;
  std::vector<ReaderSettings> applied_;
};

}  // namespace quarn::watch
