// One library call against a peer that answers at once, paired in every iteration with two baselines
// that move the same bytes over their own ptys (bare_port.h): plain one-byte writes and reads, and one
// write of the command with reads of whatever is there.

#include <benchmark/benchmark.h>

#include <time.h>

#include <chrono>
#include <functional>

#include "bare_port.h"
#include "line_figures.h"
#include "pty_line.h"
#include "quarn_api.h"

namespace quarn::bench {
namespace {

using Clock = std::chrono::steady_clock;
using Call = std::function<bool(PortHandle)>;
using testing::Bytes;
using testing::CountingRecord;
using testing::Join;
using testing::WireReply;

constexpr int kBaud115200 = 0x06;
constexpr uint8_t kCrcBit = 0x80;

double MicrosSince(Clock::time_point start) {
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

// The calling thread's CPU time: what the call itself costs, whatever the scheduler does meanwhile.
double ThreadCpuMicros() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

Bytes CountingBytes(size_t count) {
  Bytes bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(i);
  return bytes;
}

// One side of an iteration: what it runs, and the medians of its wall and CPU time.
struct Side {
  std::function<bool()> run;
  std::vector<double> wallUs;
  std::vector<double> cpuUs;

  bool Measure() {
    const double cpuStart = ThreadCpuMicros();
    const Clock::time_point start = Clock::now();
    const bool done = run();
    wallUs.push_back(MicrosSince(start));
    cpuUs.push_back(ThreadCpuMicros() - cpuStart);
    return done;
  }
};

// The median of the ratios of one iteration's times: the sides of an iteration run within a few hundred
// microseconds of each other, so each ratio compares them under the same conditions (on a shared machine
// wake-ups across CPUs come and go, and move every side's time by some 20 us at once).
double MedianRatio(const std::vector<double>& numerators, const std::vector<double>& denominators) {
  std::vector<double> ratios;
  for (size_t i = 0; i < numerators.size() && i < denominators.size(); ++i) {
    if (denominators[i] > 0) ratios.push_back(numerators[i] / denominators[i]);
  }
  return Median(ratios);
}

// All three sides answer with the same reply, each on its own pty; the baselines send exactly the bytes
// the library wrote in a first call, so the three move the same wire bytes each iteration.
void PairedExchange(benchmark::State& state, uint8_t code, const Bytes& reply, const Call& call) {
  PtyLine libraryLine;
  PtyLine eachLine;
  PtyLine bulkLine;
  for (PtyLine* line : {&libraryLine, &eachLine, &bulkLine}) line->Answer(code, reply);
  PortHandle port = QUARN_INVALID_PORT;
  if (UhfOpenPort(&port, libraryLine.path().c_str(), kBaud115200) != 1 || !call(port)) {
    state.SkipWithError("the library call failed against the answering peer");
    return;
  }
  const Bytes command = libraryLine.LastCommandWire();
  BarePort each(eachLine.path());
  BarePort bulk(bulkLine.path());
  Side library{[&] { return call(port); }, {}, {}};
  Side oneByte{[&] { return each.WriteEach(command) && each.ReadEach(reply.size()); }, {}, {}};
  Side whole{[&] { return bulk.WriteAll(command) && bulk.ReadWhatComes(reply.size()); }, {}, {}};
  Side* sides[] = {&library, &oneByte, &whole};
  size_t first = 0;
  for (auto _ : state) {
    // Each side goes first in turn, so that none always runs on the heels of another.
    bool moved = true;
    for (size_t i = 0; i < 3; ++i) moved = sides[(first + i) % 3]->Measure() && moved;
    first = (first + 1) % 3;
    if (!moved) {
      state.SkipWithError("an exchange failed");
      break;
    }
    state.SetIterationTime(library.wallUs.back() / 1e6);
  }
  UhfClosePort(&port);
  state.counters["library_us"] = Median(library.wallUs);
  state.counters["bare_us"] = Median(oneByte.wallUs);
  state.counters["bulk_us"] = Median(whole.wallUs);
  state.counters["ratio"] = MedianRatio(library.wallUs, oneByte.wallUs);
  state.counters["ratio_bulk"] = MedianRatio(library.wallUs, whole.wallUs);
  // How far one byte a call, with nothing else, is from the bulk floor: the share of the bulk ratio that
  // the design itself costs.
  state.counters["one_byte_bulk"] = MedianRatio(oneByte.wallUs, whole.wallUs);
  state.counters["library_cpu_us"] = Median(library.cpuUs);
  state.counters["bare_cpu_us"] = Median(oneByte.cpuUs);
  state.counters["bulk_cpu_us"] = Median(whole.cpuUs);
  state.counters["wire_bytes"] = static_cast<double>(command.size() + reply.size());
}

void GetPower(benchmark::State& state, int crcFlag) {
  const uint8_t code = static_cast<uint8_t>(0x01 | (crcFlag ? kCrcBit : 0));
  PairedExchange(state, code, WireReply(code, {0x00, 0x1A}), [crcFlag](PortHandle port) {
    unsigned char power = 0;
    return UhfGetPower(port, &power, crcFlag) == 1;
  });
}

// The largest fixed-count read: 255 words, a 516-byte reply in the two-byte length form.
void ReadDataByEpc255(benchmark::State& state, int crcFlag) {
  constexpr int kWordCount = 255;
  const uint8_t code = static_cast<uint8_t>(0x13 | (crcFlag ? kCrcBit : 0));
  const Bytes reply = WireReply(code, Join({{0x00}, CountingBytes(2 * kWordCount)}));
  const Bytes epc = CountingRecord(0x30);
  PairedExchange(state, code, reply, [crcFlag, epc](PortHandle port) {
    const unsigned char password[4] = {0, 0, 0, 0};
    const unsigned char wordPtr[1] = {0};
    unsigned char data[2 * kWordCount];
    unsigned char errorCode = 0;
    return UhfReadDataByEPC(port, password, 3, wordPtr, kWordCount, epc.data(), data, &errorCode, crcFlag) == 1;
  });
}

BENCHMARK_CAPTURE(GetPower, plain, 0)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(GetPower, crc, 1)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(ReadDataByEpc255, plain, 0)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(ReadDataByEpc255, crc, 1)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace quarn::bench
