// Several ports on several threads at once, each against its own virtual reader: the library keeps no
// state of its own, so no thread may see another's bytes, and every answer must be the one its own
// reader gives. Built with ThreadSanitizer this is also the test that there is nothing to race on.

#include <gtest/gtest.h>

#include <cstdio>
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

constexpr int kThreads = 4;
constexpr int kRounds = 40;
constexpr unsigned kOwnRegisters = 0x040;

struct ThreadReport {
  std::string error;  // the first thing that went wrong, empty when none
  int exchanges = 0;
};

void Fail(ThreadReport& report, const std::string& what) {
  if (report.error.empty()) report.error = what;
}

// One thread's whole life: its reader, its port, its own register contents, its answers.
void Work(int index, ThreadReport& report) {
  const unsigned char first = static_cast<unsigned char>(0x10 * (index + 1));
  SimPort sim(OneTag(first));
  if (!sim.ok()) return Fail(report, sim.error());
  const PortHandle port = sim.port();

  Bytes record;
  if (!quarn::testing::wire::SingleTag(port, 0, {}, &record) || record.size() != 14 || record[2] != first) {
    return Fail(report, "the thread's own tag did not answer");
  }
  // Register contents only this thread writes.
  Bytes own(16);
  for (size_t i = 0; i < own.size(); ++i) own[i] = static_cast<unsigned char>(first + i);
  unsigned char errorCode = 0;
  if (UhfSetRegister(port, kOwnRegisters, 16, own.data(), &errorCode, 1) != 1) return Fail(report, "register write");

  std::vector<Bytes> truth;
  for (const auto& query : Queries()) {
    Bytes answer;
    if (!query.run(port, 0, record, &answer)) return Fail(report, std::string("first ") + query.name);
    truth.push_back(answer);
  }
  for (int round = 0; round < kRounds; ++round) {
    const int crc = round % 2;
    for (size_t q = 0; q < Queries().size(); ++q) {
      Bytes answer;
      ++report.exchanges;
      if (!Queries()[q].run(port, crc, record, &answer)) return Fail(report, std::string(Queries()[q].name) + " failed");
      if (answer != truth[q]) return Fail(report, std::string(Queries()[q].name) + " read another answer");
    }
    Bytes back(16, 0);
    ++report.exchanges;
    if (UhfGetRegister(port, kOwnRegisters, 16, &errorCode, back.data(), crc) != 1 || back != own) {
      return Fail(report, "the thread's own registers came back changed");
    }
    if (round % 10 == 0) {
      // A stream on every port at once: the reports are this reader's tag and nobody else's.
      report.exchanges += 4;
      if (UhfStartInventory(port, 0, 0, crc) != 1) return Fail(report, "inventory start");
      for (int k = 0; k < 2; ++k) {
        unsigned char length = 0;
        unsigned char tag[64] = {};
        if (UhfReadInventory(port, &length, tag) != 1 || Bytes(tag, tag + length) != record) {
          return Fail(report, "an inventory report not of this reader's tag");
        }
      }
      if (UhfStopOperation(port, crc) != 1) return Fail(report, "stop");
    }
  }
}

TEST(Threads, PortsOnSeveralThreadsNeverSeeEachOthersBytes) {
  std::vector<ThreadReport> reports(kThreads);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) threads.emplace_back(Work, i, std::ref(reports[static_cast<size_t>(i)]));
  for (std::thread& thread : threads) thread.join();
  int exchanges = 0;
  for (int i = 0; i < kThreads; ++i) {
    EXPECT_EQ(reports[static_cast<size_t>(i)].error, "") << "thread " << i;
    exchanges += reports[static_cast<size_t>(i)].exchanges;
  }
  std::printf("threads: %d ports, %d exchanges\n", kThreads, exchanges);
}

}  // namespace

#else

TEST(Threads, PortsOnSeveralThreadsNeverSeeEachOthersBytes) { GTEST_SKIP() << "built without the virtual reader"; }

#endif
