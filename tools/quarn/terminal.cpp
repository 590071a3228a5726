#include "terminal.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>

namespace quarn::cli {

bool IsTerminal(std::FILE* stream) { return isatty(fileno(stream)) == 1; }

namespace {

volatile sig_atomic_t interruptSeen = 0;
struct sigaction formerHandling;

void NoteInterrupt(int) { interruptSeen = 1; }

}  // namespace

InterruptWatch::InterruptWatch() {
  interruptSeen = 0;
  struct sigaction handling = {};
  handling.sa_handler = NoteInterrupt;
  sigemptyset(&handling.sa_mask);
  sigaction(SIGINT, &handling, &formerHandling);
}

InterruptWatch::~InterruptWatch() { sigaction(SIGINT, &formerHandling, nullptr); }

bool InterruptWatch::interrupted() const { return interruptSeen != 0; }

LiveArea::LiveArea(std::FILE* stream) : stream_(stream), active_(IsTerminal(stream)) {}

void LiveArea::Draw(const std::string& text) {
  if (!active_) return;
  Clear();
  std::fputs(text.c_str(), stream_);
  lines_ = static_cast<int>(std::count(text.begin(), text.end(), '\n'));
  std::fflush(stream_);
}

void LiveArea::Clear() {
  if (!active_ || lines_ == 0) return;
  // Up to the block's first line, then erase from there to the end of the screen.
  std::fprintf(stream_, "\033[%dF\033[J", lines_);
  lines_ = 0;
  std::fflush(stream_);
}

ProgressBar::ProgressBar(std::FILE* stream, std::string label)
    : stream_(stream), label_(std::move(label)), active_(IsTerminal(stream)) {}

void ProgressBar::Show(size_t done, size_t total, const std::string& unit) {
  if (!active_) return;
  constexpr size_t kWidth = 30;
  size_t filled = total == 0 ? kWidth : std::min(kWidth, done * kWidth / total);
  size_t percent = total == 0 ? 100 : done * 100 / total;
  std::string bar = std::string(filled, '#') + std::string(kWidth - filled, '.');
  std::fprintf(stream_, "\r%s [%s] %3zu%%  %zu/%zu %s", label_.c_str(), bar.c_str(), percent, done, total,
               unit.c_str());
  std::fflush(stream_);
}

void ProgressBar::Finish() {
  if (!active_) return;
  std::fputs("\n", stream_);
  std::fflush(stream_);
}

}  // namespace quarn::cli
