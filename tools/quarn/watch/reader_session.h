#pragma once
// The reader side of the watch, as the supervisor drives it: one ReaderSession per reader. The
// supervisor calls it from that reader's own thread only, one call at a time; a session never needs a
// lock of its own. Everything else of the watch (reconnecting, health checks, counting, output) sits
// above this interface, so any reader side that keeps the promises below plugs in.
//
// Promises of every implementation:
//  - No call waits unbounded: Connect, StopStream and Check within a few exchanges' time limits,
//    Next within its `wait` plus the time of one frame.
//  - A failure names its outcome in a few lower-case words the status can count it by ("crc
//    mismatch", "no reply", "refused", "port gone", "cannot open"), the same words every time.
//  - portGone is set when the port itself has vanished or become unusable (unplugged, closed under us):
//    only closing and opening it again can help. Every other failure leaves the port open.
//  - A failed frame is reported as a failure, never as a read.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "clock.h"

namespace quarn::watch {

using Bytes = std::vector<uint8_t>;

// One select filter the reader is to hold, in the terms of a Gen2 Select.
struct SelectFilter {
  int index = 0;
  int target = 4;  // s0..s3 are 0..3, sl is 4
  int action = 0;
  int bank = 1;  // reserved 0, epc 1, tid 2, user 3
  long pointer = 32;  // in bits
  Bytes mask;
  int maskBits = 0;
  int truncate = 0;
};

// What is applied to a reader on every connect, the first and each after a reconnect.
struct ReaderSettings {
  std::string port;  // as given: a path, or a name under /dev/
  std::string name;  // what messages call the reader; the port as given when not set
  int baud = 115200;
  bool crc = false;
  bool multiAntenna = false;
  std::vector<int> power;  // the RF power setting bytes (none: leave the reader's own)
  std::vector<SelectFilter> filters;
  std::optional<int> inventoryParam;  // the inventory parameter byte, when one is to be sent
};

// What a successful connect learnt about the reader.
struct ReaderIdentity {
  std::string uid;  // 24 uppercase hex digits
};

struct Outcome {
  std::string failure;  // empty on success
  bool portGone = false;

  bool ok() const { return failure.empty(); }
  static Outcome Success() { return {}; }
  static Outcome Failed(std::string name) { return {std::move(name), false}; }
  static Outcome Gone(std::string name = "port gone") { return {std::move(name), true}; }
};

struct TagRead {
  uint16_t pc = 0;
  Bytes epc;
  std::optional<int> antenna;  // when the frame names one (multi-antenna reports)
};

// What the stream gave within one bounded wait.
struct Arrival {
  enum class Kind { kNothing, kRead, kFailure };
  Kind kind = Kind::kNothing;
  WallTime time{};  // when the frame arrived
  TagRead read;  // kRead
  Outcome failure;  // kFailure

  static Arrival Nothing() { return {}; }
};

class ReaderSession {
 public:
  virtual ~ReaderSession() = default;
  // Opens the port and applies every setting; on success fills in what the reader told about itself.
  virtual Outcome Connect(const ReaderSettings& settings, ReaderIdentity& identity) = 0;
  // Starts the inventory stream (multi-antenna when the settings say so).
  virtual Outcome StartStream() = 0;
  // The next report, or a failed frame, or nothing within `wait`.
  virtual Arrival Next(Millis wait) = 0;
  virtual Outcome StopStream() = 0;
  // With the stream stopped: a short query (the version) that a reader in working order answers.
  virtual Outcome Check() = 0;
  // Closes the port; safe to call when it is not open.
  virtual void Close() = 0;
};

// Makes the session of one reader; called once per reader, before its thread starts.
using SessionFactory = std::function<std::unique_ptr<ReaderSession>(const ReaderSettings&)>;

}  // namespace quarn::watch
