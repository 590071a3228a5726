// One library call against a peer that answers at once, paired in every iteration with the baseline
// that moves the same bytes over its own pty with plain one-byte writes and reads (bare_port.h).

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

// Both sides answer with the same reply; the baseline sends exactly the bytes the library wrote in a
// first call, so the two move the same wire bytes each iteration.
void PairedExchange(benchmark::State& state, uint8_t code, const Bytes& reply, const Call& call) {
  PtyLine libraryLine;
  PtyLine bareLine;
  libraryLine.Answer(code, reply);
  bareLine.Answer(code, reply);
  PortHandle port = QUARN_INVALID_PORT;
  if (UhfOpenPort(&port, libraryLine.path().c_str(), kBaud115200) != 1 || !call(port)) {
    state.SkipWithError("the library call failed against the answering peer");
    return;
  }
  const Bytes command = libraryLine.LastCommandWire();
  BarePort bare(bareLine.path());
  std::vector<double> libraryUs;
  std::vector<double> bareUs;
  std::vector<double> libraryCpuUs;
  std::vector<double> bareCpuUs;
  bool libraryFirst = true;
  for (auto _ : state) {
    double library = 0;
    double baseline = 0;
    double libraryCpu = 0;
    double baselineCpu = 0;
    bool answered = false;
    bool moved = false;
    const auto runLibrary = [&] {
      const double cpuStart = ThreadCpuMicros();
      const Clock::time_point start = Clock::now();
      answered = call(port);
      library = MicrosSince(start);
      libraryCpu = ThreadCpuMicros() - cpuStart;
    };
    const auto runBaseline = [&] {
      const double cpuStart = ThreadCpuMicros();
      const Clock::time_point start = Clock::now();
      moved = bare.WriteEach(command) && bare.ReadEach(reply.size());
      baseline = MicrosSince(start);
      baselineCpu = ThreadCpuMicros() - cpuStart;
    };
    // Turn about, so that neither side always runs on the heels of the other.
    if (libraryFirst) {
      runLibrary();
      runBaseline();
    } else {
      runBaseline();
      runLibrary();
    }
    libraryFirst = !libraryFirst;
    if (!answered || !moved) {
      state.SkipWithError("an exchange failed");
      break;
    }
    libraryUs.push_back(library);
    bareUs.push_back(baseline);
    libraryCpuUs.push_back(libraryCpu);
    bareCpuUs.push_back(baselineCpu);
    state.SetIterationTime(library / 1e6);
  }
  UhfClosePort(&port);
  const double libraryMedian = Median(libraryUs);
  const double bareMedian = Median(bareUs);
  state.counters["library_us"] = libraryMedian;
  state.counters["bare_us"] = bareMedian;
  state.counters["ratio"] = bareMedian > 0 ? libraryMedian / bareMedian : 0;
  state.counters["library_cpu_us"] = Median(libraryCpuUs);
  state.counters["bare_cpu_us"] = Median(bareCpuUs);
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
