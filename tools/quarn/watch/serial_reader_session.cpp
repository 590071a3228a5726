#include "serial_reader_session.h"

#include <thread>

#include "outcome_names.h"
#include "reader_setup.h"
#include "session.h"

namespace quarn::watch {

namespace {

Outcome OutcomeOf(const std::error_code& error) {
  if (!error) return Outcome::Success();
  return MeansPortGone(error) ? Outcome::Gone(OutcomeName(error)) : Outcome::Failed(OutcomeName(error));
}

// A connect's failure names its step: "open: permission denied", "UID query: no reply".
Outcome StepFailed(const std::string& step, const std::error_code& error) {
  Outcome outcome = OutcomeOf(error);
  outcome.failure = step + ": " + outcome.failure;
  return outcome;
}

// A reader that does not answer may hang (a stop wakes it), and one that answers with something else
// may still stream from before (a stop ends that): either way a stop goes before the question again.
bool CallsForAStop(const std::error_code& error) {
  return error == quarn::Errc::kNoReply || error == quarn::Errc::kOtherCommand;
}

TagRead ReadOf(const quarn::TagReport& report) {
  TagRead read;
  read.pc = report.tag.pc();
  read.epc = report.tag.epc().ToVector();
  if (report.antenna) read.antenna = *report.antenna;
  return read;
}

}  // namespace

SerialReaderSession::SerialReaderSession(Clock& clock, bool needUid) : clock_(clock), needUid_(needUid) {}

Outcome SerialReaderSession::Connect(const ReaderSettings& settings, ReaderIdentity& identity) {
  Close();
  settings_ = settings;
  std::error_code error;
  reader_.Open(settings.port, cli::BaudOf(settings.baud), error);  // checked with the settings
  if (error) return StepFailed("open", error);
  reader_.setCrcMode(settings.crc);
  Outcome asked = AskUid(identity);
  if (!asked.ok()) return asked;
  std::optional<SetupFailure> refused = ApplySettings(reader_, settings);
  if (!refused) return Outcome::Success();
  Outcome outcome = OutcomeOf(refused->error);
  outcome.failure = refused->Describe();
  return outcome;
}

Outcome SerialReaderSession::AskUid(ReaderIdentity& identity) {
  std::error_code error;
  quarn::ReaderUid uid = reader_.GetReaderUid(error);
  if (CallsForAStop(error)) {
    std::error_code stopped;  // the second question tells whether it helped
    reader_.StopOperation(stopped);
    uid = reader_.GetReaderUid(error);
  }
  if (!error) {
    identity.uid = quarn::ToHex(uid);
    return Outcome::Success();
  }
  // A reader that keeps its UID to itself is read all the same when it is called by its port.
  if (error == quarn::Errc::kRefused && !needUid_) return Outcome::Success();
  return StepFailed("UID query", error);
}

Outcome SerialReaderSession::StartStream() {
  restartOwed_ = false;
  stream_.reset();
  quarn::StreamOptions options;  // ends on silence: only after a frame that was no report, see Next
  if (settings_.inventoryParam) options.startParameter = static_cast<uint8_t>(*settings_.inventoryParam);
  std::error_code error;
  stream_.emplace(settings_.multiAntenna ? reader_.InventoryForMultiAnt(options, error)
                                         : reader_.Inventory(options, error));
  if (error) {
    stream_.reset();
    return OutcomeOf(error);
  }
  skippedSeen_ = 0;
  stopSentSinceStart_ = false;
  return Outcome::Success();
}

Arrival SerialReaderSession::Next(Millis wait) {
  if (pending_.empty() && restartOwed_) {
    Outcome started = StartStream();
    if (!started.ok()) Queue(clock_.Wall(), started);
  }
  if (pending_.empty()) {
    if (!streaming()) {
      std::this_thread::sleep_for(wait);  // until the health check starts it again
      return Arrival::Nothing();
    }
    // The stream reads only once bytes wait, so a silent field holds up nothing but this wait.
    std::error_code error;
    if (reader_.WaitForInput(wait, error)) {
      TakeFrame(clock_.Wall());
    } else if (error) {
      Queue(clock_.Wall(), OutcomeOf(error));
    } else {
      return Arrival::Nothing();
    }
  }
  if (pending_.empty()) return Arrival::Nothing();
  Arrival next = std::move(pending_.front());
  pending_.pop_front();
  return next;
}

// Bytes are there, so the receive does not sit out its read time-out: it takes one frame, or a report
// after frames it skipped.
void SerialReaderSession::TakeFrame(WallTime arrived) {
  const bool got = stream_->Advance();
  const size_t skipped = stream_->skippedFrames();
  const bool skippedAny = skipped != skippedSeen_;
  // A frame passed over is counted by why: damaged, or a reply to something else.
  for (; skippedSeen_ < skipped; ++skippedSeen_) Queue(arrived, OutcomeOf(stream_->lastSkipReason()));
  if (!got) return StreamEnded(arrived);
  Arrival read;
  read.kind = Arrival::Kind::kRead;
  read.time = skippedAny ? clock_.Wall() : arrived;
  read.read = ReadOf(stream_->current());
  pending_.push_back(std::move(read));
}

// The stream ends by itself when its port is gone, or when the reader fell silent after a frame that
// was no report; then the stream has sent its stop already.
void SerialReaderSession::StreamEnded(WallTime at) {
  std::error_code error = stream_->error();
  if (stream_->endedBy() == quarn::StreamEnd::kSilence) error = quarn::Errc::kNoReply;
  stream_.reset();
  Outcome outcome = error ? OutcomeOf(error) : Outcome::Failed("stream ended");
  if (!outcome.portGone) {
    restartOwed_ = true;
    stopSentSinceStart_ = true;
  }
  Queue(at, outcome);
}

void SerialReaderSession::Queue(WallTime at, Outcome failure) {
  Arrival arrival;
  arrival.kind = Arrival::Kind::kFailure;
  arrival.time = at;
  arrival.failure = std::move(failure);
  pending_.push_back(std::move(arrival));
}

Outcome SerialReaderSession::StopStream() {
  restartOwed_ = false;
  if (!streaming()) {  // ended by itself: its stop went out then, or its port is gone
    stream_.reset();
    return Outcome::Success();
  }
  std::error_code error;
  stream_->Stop(error);
  stream_.reset();
  stopSentSinceStart_ = true;
  return OutcomeOf(error);
}

// A version query first: a reader whose stream was stopped answers at once. Only a reader that does not
// answer, and got no stop since its stream ran, gets one (a hung reader wakes on it) and the question
// again.
Outcome SerialReaderSession::Check() {
  std::error_code error;
  reader_.GetVersion(error);
  if (CallsForAStop(error) && !stopSentSinceStart_) {
    std::error_code stopped;  // the second question tells whether it helped
    reader_.StopOperation(stopped);
    stopSentSinceStart_ = true;
    reader_.GetVersion(error);
  }
  return OutcomeOf(error);
}

void SerialReaderSession::Close() {
  reader_.Close();  // first: a stream still owed its stop would send it to a reader being left
  stream_.reset();
  pending_.clear();
  skippedSeen_ = 0;
  restartOwed_ = false;
  stopSentSinceStart_ = false;
}

}  // namespace quarn::watch
