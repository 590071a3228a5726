// A continuous inventory from the virtual reader pacing its bytes at 115200 baud, 10 bit times a byte,
// with a stream interval shorter than a report's wire time, so the line is never idle. Checks that the
// library takes every report in the reader's round order (none lost, none failed) and reports the share
// of wall time the library's thread spent on the CPU meanwhile.
//
// quarn_bench_paced [--seconds S]   exit status 0 when no report was lost or failed

#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "line_figures.h"
#include "quarn_api.h"
#include "sim/pty/pty_server.h"

namespace {

using quarn::sim::Bytes;

constexpr int kBaud115200 = 0x06;
constexpr size_t kTags = 8;
constexpr uint8_t kStreamIntervalMs = 1;

double Seconds(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

size_t WireSize(const Bytes& unstuffed) {
  size_t size = unstuffed.size();
  for (size_t i = 1; i + 1 < unstuffed.size(); ++i) {
    if (unstuffed[i] == 0xAA || unstuffed[i] == 0x55 || unstuffed[i] == 0xFF) ++size;
  }
  return size;
}

// The tag's place in the field, or records.size() for a record of no tag there.
size_t IndexOf(const std::vector<Bytes>& records, const unsigned char* record, size_t length) {
  for (size_t i = 0; i < records.size(); ++i) {
    if (records[i].size() == length && std::memcmp(records[i].data(), record, length) == 0) return i;
  }
  return records.size();
}

struct Tally {
  size_t taken = 0;
  size_t lost = 0;
  size_t failed = 0;
  size_t wireBytes = 0;
};

// The reader sends one report per tag in field order, round after round: a report whose tag is not the
// next in that order means the ones in between never reached the caller.
Tally TakeReports(PortHandle port, const std::vector<Bytes>& records, double seconds) {
  Tally tally;
  size_t expected = 0;
  const double end = Seconds(CLOCK_MONOTONIC) + seconds;
  while (Seconds(CLOCK_MONOTONIC) < end) {
    unsigned char length = 0;
    unsigned char record[64];
    if (UhfReadInventory(port, &length, record) != 1) {
      ++tally.failed;
      continue;
    }
    const size_t index = IndexOf(records, record, length);
    if (index == records.size()) {
      ++tally.failed;
      continue;
    }
    tally.lost += (index + records.size() - expected) % records.size();
    expected = (index + 1) % records.size();
    ++tally.taken;
    // Status 0x00, the record, and the envelope of a one-byte-form frame.
    Bytes frame{0xAA, static_cast<uint8_t>(length + 3), 0x10, 0x00};
    frame.insert(frame.end(), record, record + length);
    frame.push_back(0x55);
    tally.wireBytes += WireSize(frame);
  }
  return tally;
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = 3.0;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::atof(argv[i + 1]);
  }
  quarn::sim::Scenario scenario;
  scenario.generatedTags = kTags;
  scenario.streamIntervalMs = kStreamIntervalMs;
  quarn::sim::FaultSettings pacing;
  pacing.baud = static_cast<uint32_t>(quarn::bench::kLineBaud);
  quarn::sim::PtyServer server(std::make_unique<quarn::sim::VirtualReader>(scenario, pacing));
  std::string error;
  if (!server.Open(&error)) {
    std::fprintf(stderr, "quarn_bench_paced: %s\n", error.c_str());
    return 2;
  }
  server.Start();
  std::vector<Bytes> records;
  server.WithReader([&](quarn::sim::VirtualReader& reader) {
    for (const quarn::sim::Tag& tag : reader.tags()) records.push_back(tag.Record());
  });
  PortHandle port = QUARN_INVALID_PORT;
  if (UhfOpenPort(&port, server.devicePath().c_str(), kBaud115200) != 1 || UhfStartInventory(port, 0, 0, 0) != 1) {
    std::fprintf(stderr, "quarn_bench_paced: the inventory did not start\n");
    return 2;
  }
  const double wallStart = Seconds(CLOCK_MONOTONIC);
  const double cpuStart = Seconds(CLOCK_THREAD_CPUTIME_ID);
  const Tally tally = TakeReports(port, records, seconds);
  const double cpu = Seconds(CLOCK_THREAD_CPUTIME_ID) - cpuStart;
  const double wall = Seconds(CLOCK_MONOTONIC) - wallStart;
  UhfStopOperation(port, 0);
  UhfClosePort(&port);
  server.Stop();

  const double taken = static_cast<double>(tally.taken);
  const double framesPerSecond = taken / wall;
  // What the line carries of frames of the average wire size taken.
  const double lineFramesPerSecond =
      tally.taken == 0 ? 0 : quarn::bench::kLineBytesPerSecond * taken / static_cast<double>(tally.wireBytes);
  const double shareOfLine = lineFramesPerSecond > 0 ? framesPerSecond / lineFramesPerSecond : 0;
  std::printf("paced 115200 baud: %zu reports in %.2f s, %.0f/s (line carries %.0f/s: %.3f of it)\n", tally.taken,
              wall, framesPerSecond, lineFramesPerSecond, shareOfLine);
  std::printf("paced 115200 baud: lost %zu, failed %zu; library thread CPU %.1f ms = %.2f %% of wall time\n",
              tally.lost, tally.failed, cpu * 1e3, 100.0 * cpu / wall);
  return tally.lost == 0 && tally.failed == 0 && tally.taken > 0 ? 0 : 1;
}
