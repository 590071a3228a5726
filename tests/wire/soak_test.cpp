// A bounded soak against the virtual reader on real pseudo-terminals: many exchanges, first with noise
// before every reply, then in CRC mode with bits flipped in the replies. Noise must cost nothing; a
// corrupted reply must be reported as a failure, never as a success with wrong data.
// QUARN_SOAK_EXCHANGES sets the number of exchanges (default 20000), spread over four ports at once.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "threads_sim_port.h"

#if defined(QUARN_WIRE_HAS_SIM)

namespace {

using quarn::testing::wire::Bytes;
using quarn::testing::wire::OneTag;
using quarn::testing::wire::Queries;
using quarn::testing::wire::SimPort;

constexpr int kPorts = 4;
// Each flipped bit in a length or head byte costs one read time-out of the port (about 3 s); at this rate
// a few dozen of the corrupted replies do, over four ports at once.
constexpr double kCorruptRate = 0.0006;
constexpr size_t kNoiseBytes = 3;

struct Counts {
  long exchanges = 0;
  long disturbed = 0;          // replies the reader corrupted
  long failures = 0;           // exchanges the library reported as failed
  long failuresUndisturbed = 0;
  long readWrong = 0;          // successes whose answer differs from the clean one
  long corruptedAccepted = 0;  // corrupted replies reported as success
  std::string error;

  void Add(const Counts& other) {
    exchanges += other.exchanges;
    disturbed += other.disturbed;
    failures += other.failures;
    failuresUndisturbed += other.failuresUndisturbed;
    readWrong += other.readWrong;
    corruptedAccepted += other.corruptedAccepted;
    if (error.empty()) error = other.error;
  }
};

long SoakExchanges() {
  const char* text = std::getenv("QUARN_SOAK_EXCHANGES");
  const long value = text != nullptr ? std::atol(text) : 0;
  return value > 0 ? value : 20000;
}

// Counts the replies whose bytes the reader flipped; the note comes before the reply leaves.
void CountCorruption(SimPort& sim, std::atomic<long>& corrupted) {
  sim.server().WithReader([&corrupted](quarn::sim::VirtualReader& reader) {
    reader.SetTraceSink([&corrupted](const quarn::sim::TraceEvent& event) {
      size_t noise = 0, dropped = 0, flipped = 0;
      if (event.kind == quarn::sim::TraceEvent::Kind::kNote &&
          std::sscanf(event.note.c_str(), "fault: %zu noise, %zu dropped, %zu corrupted", &noise, &dropped, &flipped) == 3 &&
          flipped > 0) {
        corrupted.fetch_add(1);
      }
    });
  });
}

void Soak(int index, long exchanges, Counts& counts) {
  SimPort sim(OneTag(static_cast<unsigned char>(0x21 * (index + 1))));
  if (!sim.ok()) {
    counts.error = sim.error();
    return;
  }
  const PortHandle port = sim.port();
  Bytes record;
  std::vector<Bytes> truth;
  if (!quarn::testing::wire::SingleTag(port, 0, {}, &record)) {
    counts.error = "no tag";
    return;
  }
  for (const auto& query : Queries()) {
    Bytes answer;
    if (!query.run(port, 1, record, &answer)) {
      counts.error = std::string("clean ") + query.name;
      return;
    }
    truth.push_back(answer);
  }
  std::atomic<long> corrupted{0};
  CountCorruption(sim, corrupted);

  // First half: noise before every reply, both modes; nothing may fail.
  sim.server().WithReader([](quarn::sim::VirtualReader& reader) { reader.faults().noiseBytes = kNoiseBytes; });
  long n = 0;
  for (; n < exchanges / 2; ++n) {
    const size_t q = static_cast<size_t>(n) % Queries().size();
    Bytes answer;
    ++counts.exchanges;
    if (!Queries()[q].run(port, static_cast<int>(n / 8) % 2, record, &answer)) {
      ++counts.failures;
      ++counts.failuresUndisturbed;
    } else if (answer != truth[q]) {
      ++counts.readWrong;
    }
  }
  // Second half: bits flipped in the replies as well, CRC mode, where every flip must be caught.
  sim.server().WithReader([](quarn::sim::VirtualReader& reader) { reader.faults().corruptRate = kCorruptRate; });
  for (; n < exchanges; ++n) {
    const size_t q = static_cast<size_t>(n) % Queries().size();
    Bytes answer;
    const long before = corrupted.load();
    const bool ok = Queries()[q].run(port, 1, record, &answer);
    const bool disturbed = corrupted.load() != before;
    ++counts.exchanges;
    if (disturbed) ++counts.disturbed;
    if (!ok) {
      ++counts.failures;
      if (!disturbed) ++counts.failuresUndisturbed;
    } else {
      if (answer != truth[q]) ++counts.readWrong;
      if (disturbed) ++counts.corruptedAccepted;
    }
  }
}

TEST(Soak, NoiseCostsNothingAndEveryCorruptedReplyIsReportedAsAFailure) {
  const long total = SoakExchanges();
  const auto start = std::chrono::steady_clock::now();
  std::vector<Counts> counts(kPorts);
  std::vector<std::thread> threads;
  for (int i = 0; i < kPorts; ++i) threads.emplace_back(Soak, i, total / kPorts, std::ref(counts[static_cast<size_t>(i)]));
  for (std::thread& thread : threads) thread.join();
  Counts sum;
  for (const Counts& c : counts) sum.Add(c);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("soak: %ld exchanges on %d ports in %.1f s; %ld replies corrupted, %ld failures reported "
              "(%ld without a corrupted reply), %ld read wrong, %ld corrupted replies taken as success\n",
              sum.exchanges, kPorts, seconds, sum.disturbed, sum.failures, sum.failuresUndisturbed, sum.readWrong,
              sum.corruptedAccepted);
  EXPECT_EQ(sum.error, "");
  EXPECT_EQ(sum.exchanges, total / kPorts * kPorts);
  EXPECT_EQ(sum.readWrong, 0);
  EXPECT_EQ(sum.corruptedAccepted, 0);
  EXPECT_EQ(sum.failuresUndisturbed, 0) << "exchanges lost without a corrupted reply";
  EXPECT_GT(sum.disturbed, 0) << "the soak corrupted nothing";
}

}  // namespace

#else

TEST(Soak, NoiseCostsNothingAndEveryCorruptedReplyIsReportedAsAFailure) {
  GTEST_SKIP() << "built without the virtual reader";
}

#endif
