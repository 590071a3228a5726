#pragma once
// Output that redraws itself while a command runs: the live inventory table and the progress bar.
// Both draw only when their stream is a terminal, so scripts and pipes see the final result alone.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

namespace quarn::cli {

bool IsTerminal(std::FILE* stream);

// While it lives, Ctrl-C asks a running stream to end (so the reader is still stopped and the table
// printed) instead of ending the program; the former handling comes back afterwards.
class InterruptWatch {
 public:
  InterruptWatch();
  ~InterruptWatch();
  InterruptWatch(const InterruptWatch&) = delete;
  InterruptWatch& operator=(const InterruptWatch&) = delete;
  bool interrupted() const;
};

// How long a stream runs: a number of seconds, or until Ctrl-C for 0.
class Deadline {
 public:
  explicit Deadline(double seconds) : start_(std::chrono::steady_clock::now()), seconds_(seconds) {}
  bool passed() const { return seconds_ > 0 && elapsed() >= seconds_; }
  double elapsed() const { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count(); }
  // The time left, at least 1 ms; 0 when the run has no end.
  std::chrono::milliseconds remaining() const {
    if (seconds_ <= 0) return std::chrono::milliseconds(0);
    const auto left = std::chrono::milliseconds(static_cast<long long>((seconds_ - elapsed()) * 1000));
    return std::max(left, std::chrono::milliseconds(1));
  }

 private:
  std::chrono::steady_clock::time_point start_;
  double seconds_;
};

// A block of lines redrawn in place.
class LiveArea {
 public:
  explicit LiveArea(std::FILE* stream);
  bool active() const { return active_; }
  void Draw(const std::string& text);
  // Removes the block, so the final output takes its place.
  void Clear();

 private:
  std::FILE* stream_;
  bool active_;
  int lines_ = 0;
};

// "[#####.....]  42%  12/28 blocks" on one line, redrawn in place.
class ProgressBar {
 public:
  ProgressBar(std::FILE* stream, std::string label);
  void Show(size_t done, size_t total, const std::string& unit);
  void Finish();

 private:
  std::FILE* stream_;
  std::string label_;
  bool active_;
};

}  // namespace quarn::cli
