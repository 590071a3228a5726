// How fast the library takes a stream that the peer writes as fast as the terminal takes it, paired in
// every iteration with the baseline's plain one-byte reads of the same bytes on its own pty, and held
// against what a 115200-baud line could carry of the same frames.

#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>

#include "bare_port.h"
#include "line_figures.h"
#include "pty_line.h"
#include "quarn_api.h"

namespace quarn::bench {
namespace {

using Clock = std::chrono::steady_clock;
using testing::Bytes;
using testing::CountingRecord;
using testing::Join;
using testing::LengthPrefixed;
using testing::WireReply;

constexpr int kBaud115200 = 0x06;
constexpr size_t kFramesPerStream = 1000;
constexpr uint8_t kStartedStatus = 0x01;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Stream {
  uint8_t startCode;
  Bytes frame;  // the wire bytes of one streamed frame
  std::function<bool(PortHandle)> start;
  std::function<bool(PortHandle)> takeOne;
};

// The peer answers each start with its acknowledgement and the whole stream behind it.
void PairedStream(benchmark::State& state, const Stream& stream) {
  const Bytes ack = WireReply(stream.startCode, {kStartedStatus});
  Bytes answer = ack;
  for (size_t i = 0; i < kFramesPerStream; ++i) answer.insert(answer.end(), stream.frame.begin(), stream.frame.end());
  PtyLine libraryLine;
  PtyLine bareLine;
  libraryLine.Answer(stream.startCode, answer);
  bareLine.Answer(stream.startCode, answer);
  PortHandle port = QUARN_INVALID_PORT;
  if (UhfOpenPort(&port, libraryLine.path().c_str(), kBaud115200) != 1) {
    state.SkipWithError("cannot open the pty");
    return;
  }
  BarePort bare(bareLine.path());
  Bytes startWire;
  std::vector<double> libraryFps;
  std::vector<double> bareFps;
  for (auto _ : state) {
    if (!stream.start(port)) {
      state.SkipWithError("the start was not acknowledged");
      break;
    }
    const Clock::time_point libraryStart = Clock::now();
    size_t taken = 0;
    while (taken < kFramesPerStream && stream.takeOne(port)) ++taken;
    const double librarySeconds = SecondsSince(libraryStart);
    if (startWire.empty()) startWire = libraryLine.LastCommandWire();
    const bool started = bare.WriteEach(startWire) && bare.ReadEach(ack.size());
    const Clock::time_point bareStart = Clock::now();
    const bool moved = started && bare.ReadEach(kFramesPerStream * stream.frame.size());
    const double bareSeconds = SecondsSince(bareStart);
    if (taken != kFramesPerStream || !moved) {
      state.SkipWithError("frames went missing");
      break;
    }
    libraryFps.push_back(kFramesPerStream / librarySeconds);
    bareFps.push_back(kFramesPerStream / bareSeconds);
    state.SetIterationTime(librarySeconds);
  }
  UhfClosePort(&port);
  const double line = LineFramesPerSecond(stream.frame.size());
  const double library = Median(libraryFps);
  const double ceiling = Median(bareFps);
  state.counters["frame_bytes"] = static_cast<double>(stream.frame.size());
  state.counters["library_fps"] = library;
  state.counters["bare_fps"] = ceiling;
  state.counters["line_fps"] = line;
  state.counters["x_line"] = library / line;
  state.counters["of_ceiling"] = ceiling > 0 ? library / ceiling : 0;
}

// Inventory reports of a tag with a 96-bit EPC: status 0x00 and the 14-byte record.
void InventoryReports(benchmark::State& state) {
  const Bytes record = CountingRecord(0x30);
  PairedStream(state, {0x10, WireReply(0x10, Join({{0x00}, record})),
                       [](PortHandle port) { return UhfStartInventory(port, 0, 0, 0) == 1; },
                       [](PortHandle port) {
                         unsigned char length = 0;
                         unsigned char tagRecord[64];
                         return UhfReadInventory(port, &length, tagRecord) == 1;
                       }});
}

// Multi-tag data frames of a 16-word read: status 0x00, one 32-byte block and the 14-byte record.
void MultiTagDataFrames(benchmark::State& state) {
  constexpr int kWordCount = 16;
  Bytes block(2 * kWordCount);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(0x20 + i);
  const Bytes record = CountingRecord(0x30);
  PairedStream(state, {0x26, WireReply(0x26, Join({{0x00}, LengthPrefixed(block), record})),
                       [](PortHandle port) {
                         const unsigned char password[4] = {0, 0, 0, 0};
                         const unsigned char wordPtr[1] = {0};
                         const unsigned char options[2] = {0, 0};
                         return UhfStartReadDataFromMultiTag(port, password, 3, wordPtr, kWordCount, 0, options,
                                                             0) == 1;
                       },
                       [](PortHandle port) {
                         unsigned char status = 0xEE;
                         unsigned char length[2];
                         unsigned char data[2038];
                         unsigned char secondLength[2];
                         unsigned char secondData[2038];
                         unsigned char tagRecord[64];
                         unsigned char recordLength = 0;
                         return UhfGetDataFromMultiTag(port, &status, length, data, secondLength, secondData, tagRecord,
                                                       &recordLength) == 1 &&
                                status == 0x00;
                       }});
}

// A stream takes tens of milliseconds; two seconds of it give enough of them for a steady median.
BENCHMARK(InventoryReports)->UseManualTime()->MinTime(2.0)->Unit(benchmark::kMillisecond);
BENCHMARK(MultiTagDataFrames)->UseManualTime()->MinTime(2.0)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quarn::bench
