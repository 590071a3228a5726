#pragma once
// A serial port made of scripted bytes and a virtual clock, for the unit ring. Its handle goes to the
// library like a real one; the fake backend (fake_serial.cpp) answers the library's port operations
// from it, so a three-second time-out costs microseconds.
//
// The reader side is scripted: bytes that are waiting now (Deliver), and replies that the port releases
// when the library finishes writing a command frame (ReplyToNextCommand), as a reader would answer.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <string>
#include <vector>

#include "link/serial/serial_backend.h"
#include "quarn_api.h"
#include "reference_frames.h"

namespace quarn::testing {

class FakePort {
 public:
  // The time-outs of the real port: a read that finds nothing waits this long before returning empty.
  static constexpr uint32_t kReadTimeoutMs = 3050;
  // What a read that reports failure, or finds the port gone, costs on the virtual clock: it does not
  // wait, but a receiver that went on reading would still reach its time limit.
  static constexpr uint32_t kFailedReadMs = 1;

  FakePort();
  ~FakePort();
  FakePort(const FakePort&) = delete;
  FakePort& operator=(const FakePort&) = delete;

  PortHandle handle() const;
  static FakePort* FromHandle(PortHandle port);

  // Makes the port openable by name through UhfOpenPort, once at a time, until it is destroyed.
  void Publish(const char* name);
  static FakePort* Find(const char* name);
  bool isOpen() const { return open_; }
  uint32_t baudRate() const { return baudRate_; }
  int configureCount() const { return configures_; }

  // --- the reader's side ---
  // Bytes that arrive from now on, one every gapMs, the first after firstDelayMs.
  void Deliver(const Bytes& bytes, uint32_t gapMs = 0, uint32_t firstDelayMs = 0);
  // A reply that arrives once the library has written a whole command frame: each finished command
  // releases the next reply in line. Commands beyond the scripted replies get no answer.
  void ReplyToNextCommand(const Bytes& bytes, uint32_t gapMs = 0, uint32_t firstDelayMs = 0);
  // A finished command that is answered with nothing, keeping the replies behind it in line.
  void SilenceForNextCommand();

  // --- faults ---
  // The nth call of that kind (counted from 1, from now on) reports failure.
  void FailWriteNumber(int n) { failWrite_ = writeCalls_ + n; }
  void FailReadNumber(int n) { failRead_ = readCalls_ + n; }
  // The nth backend call of any kind (purge, write, read; counted from 1, from now on) fails; a purge
  // that fails leaves the input as it was. Returns through fired() whether it happened.
  void FailCallNumber(int n) { failCall_ = calls_ + n; }
  bool faultFired() const { return faultFired_; }
  // A port whose device went away: every write and read reports it gone.
  void HangUp() { hungUp_ = true; }
  bool hungUp() const { return hungUp_; }
  // The device goes away at the nth read (counted from 1, from now on): that read and every later call
  // fail as after HangUp().
  void HangUpAtReadNumber(int n) { hangUpRead_ = readCalls_ + n; }
  // A handle that is no open port: every write and read says so.
  void MakeUnusable() { unusable_ = true; }
  bool unusable() const { return unusable_; }
  // The device goes away during an exchange: from the nth call of that kind on (counted from 1, from
  // now on) every call of that kind reports it gone, while the other kind goes on as before.
  void GoneFromWriteNumber(int n) { goneWrite_ = writeCalls_ + n; }
  void GoneFromReadNumber(int n) { goneRead_ = readCalls_ + n; }

  // --- what the library did ---
  const Bytes& written() const { return written_; }  // every byte written, escapes included
  // The command frames written so far, unstuffed, head to tail.
  const std::vector<Bytes>& commands() const { return commands_; }
  Bytes lastCommand() const { return commands_.empty() ? Bytes{} : commands_.back(); }
  int purgeCount() const { return purges_; }
  int readCalls() const { return readCalls_; }
  int inputWaits() const { return waits_; }
  int writeCalls() const { return writeCalls_; }
  int calls() const { return calls_; }
  size_t pendingInput() const { return input_.size(); }
  int closeCount() const { return closes_; }
  // Frames written between BeginFrameWrite and EndFrameWrite, and every break of that rule: a write
  // outside a bracket, a begin inside one, an end outside one.
  int frameBrackets() const { return brackets_; }
  int bracketFaults() const { return bracketFaults_; }
  bool insideFrameWrite() const { return insideBracket_; }

  // --- the clock ---
  uint32_t now() const { return now_; }
  void SetClock(uint32_t ms) { now_ = ms; }
  void AdvanceClock(uint32_t ms) { now_ += ms; }

  // --- backend operations (called from fake_serial.cpp) ---
  void Purge();
  void BeginFrame();
  void EndFrame();
  serial::WriteOutcome Write(uint8_t value);
  serial::ReadOutcome Read(uint8_t* value);
  serial::InputWait WaitForInput(uint32_t timeoutMs);
  bool Open();
  void Configure(uint32_t baudRate) {
    baudRate_ = baudRate;
    ++configures_;
  }
  bool Close();

 private:
  struct TimedByte {
    uint8_t value;
    uint32_t at;  // clock value from which it can be read
  };
  struct Reply {
    Bytes bytes;
    uint32_t gapMs;
    uint32_t firstDelayMs;
    bool silent;
  };

  bool CallFails();
  void Schedule(const Bytes& bytes, uint32_t gapMs, uint32_t firstDelayMs);
  void TrackCommand(uint8_t value);

  uint32_t now_ = 0;
  std::deque<TimedByte> input_;
  std::deque<Reply> replies_;
  Bytes written_;
  std::vector<Bytes> commands_;
  CommandUnstuffer unstuffer_;
  int purges_ = 0;
  int readCalls_ = 0;
  int waits_ = 0;
  int writeCalls_ = 0;
  int calls_ = 0;
  int failWrite_ = 0;
  int failRead_ = 0;
  int failCall_ = 0;
  bool faultFired_ = false;
  bool hungUp_ = false;
  int hangUpRead_ = 0;
  bool unusable_ = false;
  int goneWrite_ = 0;
  int goneRead_ = 0;
  int brackets_ = 0;
  int bracketFaults_ = 0;
  bool insideBracket_ = false;
  int closes_ = 0;
  bool open_ = false;
  uint32_t baudRate_ = 0;
  int configures_ = 0;
  const char* name_ = nullptr;
};

}  // namespace quarn::testing
