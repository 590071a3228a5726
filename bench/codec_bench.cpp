// What the frame codec costs the CPU, per byte: building command frames, the CRC, and sending and
// receiving through the unit ring's fake port. The fake's own bookkeeping (a deque per byte, the
// command tracker) is part of the send and receive figures, so each has a twin that moves the same
// bytes through the fake port alone; the difference is the codec's share.

#include <benchmark/benchmark.h>

#include <memory>

#include "fake_serial.h"
#include "link/command_frame.h"
#include "link/frame_crc.h"
#include "link/frame_io.h"
#include "link/serial/serial_backend.h"
#include "reference_frames.h"

namespace quarn::bench {
namespace {

using link::CommandFrame;
using link::LengthForms;
using testing::Bytes;
using testing::FakePort;

constexpr int kCrc = 1;
// The fake port remembers every byte written; a fresh one now and then keeps that memory small.
constexpr int64_t kWritesPerFakePort = 4096;

Bytes CountingBytes(size_t count) {
  Bytes bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(i);
  return bytes;
}

// Sets the per-byte cost as a counter: seconds per byte, shown with an SI prefix (n = nanoseconds).
void PerByte(benchmark::State& state, size_t bytesPerIteration) {
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytesPerIteration));
  state.counters["s_per_byte"] = benchmark::Counter(static_cast<double>(bytesPerIteration),
                                                    benchmark::Counter::kIsIterationInvariantRate |
                                                        benchmark::Counter::kInvert);
}

// A ReadDataByEPC command: password, bank, one-byte word pointer, count and a 14-byte record (21 bytes).
void BuildShortFrame(benchmark::State& state, int crcFlag) {
  const Bytes parameters = CountingBytes(21);
  size_t size = 0;
  for (auto _ : state) {
    CommandFrame frame(link::commands::kReadDataByEpc, static_cast<uint32_t>(crcFlag));
    frame.Bytes(parameters.data(), parameters.size());
    benchmark::DoNotOptimize(frame.Finish());
    size = frame.size();
    benchmark::DoNotOptimize(frame.bytes());
  }
  PerByte(state, size);
}

// A block write of 250 words: the two-byte length form.
void BuildLongFrame(benchmark::State& state, int crcFlag) {
  const Bytes parameters = CountingBytes(500);
  size_t size = 0;
  for (auto _ : state) {
    CommandFrame frame(link::commands::kBlockWriteDataByEpc, static_cast<uint32_t>(crcFlag),
                       LengthForms::kTwoByteWhenLong);
    frame.Bytes(parameters.data(), parameters.size());
    benchmark::DoNotOptimize(frame.Finish());
    size = frame.size();
    benchmark::DoNotOptimize(frame.bytes());
  }
  PerByte(state, size);
}

void Crc(benchmark::State& state) {
  const Bytes bytes = CountingBytes(static_cast<size_t>(state.range(0)));
  uint8_t crc[2];
  for (auto _ : state) {
    link::ComputeFrameCrc(bytes.data(), bytes.size(), crc);
    benchmark::DoNotOptimize(crc);
  }
  PerByte(state, bytes.size());
}

// Sending: the frame goes out escaped, one WriteByte a byte, to the fake port.
void SendThroughFake(benchmark::State& state, bool codec) {
  CommandFrame frame(link::commands::kBlockWriteDataByEpc, 0, LengthForms::kTwoByteWhenLong);
  const Bytes parameters = CountingBytes(static_cast<size_t>(state.range(0)));
  frame.Bytes(parameters.data(), parameters.size());
  frame.Finish();
  const Bytes wire = testing::StuffedFrame(Bytes(frame.bytes(), frame.bytes() + frame.size()));
  auto fake = std::make_unique<FakePort>();
  int64_t sent = 0;
  for (auto _ : state) {
    if (++sent % kWritesPerFakePort == 0) {
      state.PauseTiming();
      fake = std::make_unique<FakePort>();
      state.ResumeTiming();
    }
    if (codec) {
      benchmark::DoNotOptimize(link::SendFrame(fake->handle(), frame.bytes(), frame.size()));
    } else {
      for (uint8_t value : wire) benchmark::DoNotOptimize(serial::WriteByte(fake->handle(), value));
    }
  }
  PerByte(state, wire.size());
}

void SendFrameThroughFake(benchmark::State& state) { SendThroughFake(state, true); }
void FakeWritesAlone(benchmark::State& state) { SendThroughFake(state, false); }

// Receiving: the reply's wire bytes wait in the fake port, and ReceiveFrame hunts, un-stuffs and checks.
void ReceiveThroughFake(benchmark::State& state, bool codec) {
  const uint8_t code = state.range(1) == kCrc ? 0x93 : 0x13;
  const Bytes wire =
      testing::WireReply(code, testing::Join({{0x00}, CountingBytes(static_cast<size_t>(state.range(0)))}));
  FakePort fake;
  uint8_t buffer[link::kFrameBufferSize];
  for (auto _ : state) {
    fake.Deliver(wire);
    if (codec) {
      size_t length = 0;
      benchmark::DoNotOptimize(link::ReceiveFrame(fake.handle(), buffer, 10000, &length));
    } else {
      for (size_t i = 0; i < wire.size(); ++i) benchmark::DoNotOptimize(serial::ReadByte(fake.handle(), buffer));
    }
  }
  PerByte(state, wire.size());
}

void ReceiveFrameThroughFake(benchmark::State& state) { ReceiveThroughFake(state, true); }
void FakeReadsAlone(benchmark::State& state) { ReceiveThroughFake(state, false); }

BENCHMARK_CAPTURE(BuildShortFrame, plain, 0);
BENCHMARK_CAPTURE(BuildShortFrame, crc, kCrc);
BENCHMARK_CAPTURE(BuildLongFrame, plain, 0);
BENCHMARK_CAPTURE(BuildLongFrame, crc, kCrc);
BENCHMARK(Crc)->Arg(16)->Arg(512)->Arg(2044);
// Parameter bytes 21 (one-byte form) and 500 (two-byte form).
BENCHMARK(SendFrameThroughFake)->Arg(21)->Arg(500);
BENCHMARK(FakeWritesAlone)->Arg(21)->Arg(500);
// Reply data bytes 2 (a GetPower answer) and 510 (a 255-word read), plain and CRC form.
BENCHMARK(ReceiveFrameThroughFake)->Args({2, 0})->Args({2, kCrc})->Args({510, 0})->Args({510, kCrc});
BENCHMARK(FakeReadsAlone)->Args({2, 0})->Args({2, kCrc})->Args({510, 0})->Args({510, kCrc});

}  // namespace
}  // namespace quarn::bench
