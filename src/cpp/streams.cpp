// Streams: the loop over a reader's streaming operation, its end, and the stop it owes the reader.

#include "quarn/streams.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "cpp/call.h"
#include "cpp/outcome_errc.h"
#include "link/serial/serial_backend.h"

namespace quarn {

namespace {

uint32_t DurationMs(std::chrono::milliseconds duration) {
  const auto ms = duration.count();
  if (ms <= 0) return 0;
  return static_cast<uint32_t>(std::min<decltype(ms)>(ms, std::numeric_limits<uint32_t>::max()));
}

}  // namespace

StreamBase::StreamBase(Reader& reader, const StreamOptions& options, bool throws, bool stopsReader)
    : reader_(&reader),
      maxItems_(options.maxItems),
      durationMs_(DurationMs(options.duration)),
      endOnSilence_(options.endOnSilence),
      throws_(throws),
      stopsReader_(stopsReader) {}

StreamBase::~StreamBase() { StopQuietly(); }

StreamBase::StreamBase(StreamBase&& other) noexcept { MoveFrom(other); }

StreamBase& StreamBase::operator=(StreamBase&& other) noexcept {
  if (this != &other) {
    StopQuietly();
    MoveFrom(other);
  }
  return *this;
}

void StreamBase::MoveFrom(StreamBase& other) noexcept {
  reader_ = std::exchange(other.reader_, nullptr);
  maxItems_ = other.maxItems_;
  durationMs_ = other.durationMs_;
  endOnSilence_ = other.endOnSilence_;
  throws_ = other.throws_;
  stopsReader_ = other.stopsReader_;
  stopOwed_ = std::exchange(other.stopOwed_, false);
  begun_ = other.begun_;
  lastSeen_ = other.lastSeen_;
  startTick_ = other.startTick_;
  count_ = other.count_;
  skipped_ = other.skipped_;
  lastSkip_ = other.lastSkip_;
  endedBy_ = std::exchange(other.endedBy_, StreamEnd::kStopped);
  error_ = other.error_;
}

void StreamBase::FailStart(const ErrorDetail& detail) {
  endedBy_ = StreamEnd::kError;
  error_ = detail.code;
}

void StreamBase::MarkStarted() {
  stopOwed_ = stopsReader_;
  startTick_ = serial::TickMs(detail::ReaderAccess::Port(*reader_));
}

bool StreamBase::BeginIteration() {
  if (begun_) return running();
  begun_ = true;
  return Advance();
}

bool StreamBase::Advance() {
  if (!running()) return false;
  if (lastSeen_) return End(StreamEnd::kLastReport);
  if (maxItems_ != 0 && count_ >= maxItems_) return End(StreamEnd::kLimit);
  for (;;) {
    if (DeadlinePassed()) return End(StreamEnd::kLimit);
    ErrorDetail detail;
    switch (ReceiveNext(detail)) {
      case Step::kLastItem:
        lastSeen_ = true;
        [[fallthrough]];
      case Step::kItem:
        ++count_;
        return true;
      case Step::kSkip:
        ++skipped_;
        lastSkip_ = detail.code;
        break;
      case Step::kSilence:
        if (endOnSilence_) return End(StreamEnd::kSilence);
        break;
      case Step::kFailed:
        return Fail(detail);
    }
  }
}

bool StreamBase::DeadlinePassed() const {
  if (durationMs_ == 0) return false;
  // The port's tick wraps at 32 bits; the unsigned difference is the time elapsed.
  return serial::TickMs(detail::ReaderAccess::Port(*reader_)) - startTick_ >= durationMs_;
}

bool StreamBase::SendStop(std::error_code& ec) {
  ec.clear();
  if (!std::exchange(stopOwed_, false)) return true;
  reader_->StopOperation(ec);
  return !ec;
}

// The stream's natural end: the reader is stopped at once, and a stop it does not confirm is the
// stream's error.
bool StreamBase::End(StreamEnd reason) {
  endedBy_ = reason;
  std::error_code ec;
  if (SendStop(ec)) return false;
  endedBy_ = StreamEnd::kError;
  error_ = ec;
  if (throws_) throw Error(reader_->lastError());
  return false;
}

// The port is gone or unusable: nothing more can come, and a stop could not go out either.
bool StreamBase::Fail(const ErrorDetail& detail) {
  endedBy_ = StreamEnd::kError;
  error_ = detail.code;
  stopOwed_ = false;
  detail::ReaderAccess::LastError(*reader_) = detail;
  if (throws_) throw Error(detail);
  return false;
}

void StreamBase::Stop(std::error_code& ec) {
  ec.clear();
  if (!running()) return;
  endedBy_ = StreamEnd::kStopped;
  if (SendStop(ec)) return;
  endedBy_ = StreamEnd::kError;
  error_ = ec;
}

void StreamBase::Stop() {
  std::error_code ec;
  Stop(ec);
  if (ec) throw Error(reader_->lastError());
}

void StreamBase::StopAfterLoop() {
  if (throws_) return Stop();
  std::error_code kept;  // error() keeps it
  Stop(kept);
}

void StreamBase::StopQuietly() noexcept {
  if (reader_ == nullptr || !std::exchange(stopOwed_, false)) return;
  std::error_code ignored;  // a destructor cannot report it; Stop() can
  reader_->StopOperation(ignored);
}

}  // namespace quarn
