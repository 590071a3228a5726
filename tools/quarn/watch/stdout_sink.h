#pragma once
// JSON Lines on a file descriptor (stdout), written by a thread of its own: a reader that slows down
// or a pipe nobody empties must not hold up the readers' threads. Lines wait in a bounded queue; what
// overflows, and what a closed pipe refuses, is counted as dropped in every status.

#include <condition_variable>
#include <mutex>
#include <thread>

#include "outbound_queue.h"
#include "sink.h"

namespace quarn::watch {

class StdoutSink : public Sink {
 public:
  enum class Mode { kAll, kStatusOnly };
  StdoutSink(int fd, Mode mode, size_t capacity);
  ~StdoutSink() override;

  void Deliver(const Message& message) override;
  void Describe(const std::string& reader, Json& status) override;
  void Finish(Millis limit) override;

 private:
  void Loop();
  // Writes all of text unless the descriptor is closed or the sink is abandoned; false then.
  bool WriteAll(const std::string& text);

  int fd_;
  Mode mode_;
  std::mutex mutex_;
  std::condition_variable changed_;
  OutboundQueue queue_;
  uint64_t refused_ = 0;  // lines a closed descriptor did not take
  bool broken_ = false;
  bool finishing_ = false;
  bool done_ = false;
  bool abandon_ = false;
  std::thread writer_;
};

}  // namespace quarn::watch
