#pragma once
// The reader side of the watch for a reader on a serial port, through the C++ API: one quarn::Reader
// opened by the port's name as given (a /dev/serial/by-id link included), the settings applied at every
// connect, and a continuous inventory (in antenna frames when the settings ask for several antennas)
// whose reports are handed over with the time they arrived.
//
// How long each call can take, the reader silent (the worst case; a reader that answers takes
// milliseconds):
//  - Next: its wait, then one frame's time once bytes came. After a damaged frame the stream reads on,
//    and a reader that then falls silent costs one receive (about 3 s) and the stream's own stop
//    (up to about 15 s: 5 receives of up to 3 s each); the stream is started again at the next call.
//  - StopStream: nothing when the stream has already ended, else the stop: up to about 15 s.
//  - Check: a version query, up to about 4 s (800 ms and the port's 3 s read time-out); when no stop
//    went out since the stream ended, and the reader does not answer, a stop (which wakes a hung
//    reader, up to about 15 s) and the query again: about 23 s in all.
//  - StartStream: one exchange, up to about 4 s.
//  - Connect: the open, the UID query (on no answer or a stream's frames instead: a stop and the query
//    again, up to about 23 s), then one or two exchanges per setting.

#include <deque>
#include <optional>

#include "quarn/reader.h"
#include "quarn/streams.h"
#include "reader_session.h"

namespace quarn::watch {

class SerialReaderSession : public ReaderSession {
 public:
  // needUid: the reader is called by its UID, so a connect that cannot learn it fails.
  SerialReaderSession(Clock& clock, bool needUid);

  Outcome Connect(const ReaderSettings& settings, ReaderIdentity& identity) override;
  Outcome StartStream() override;
  Arrival Next(Millis wait) override;
  Outcome StopStream() override;
  Outcome Check() override;
  void Close() override;

 private:
  bool streaming() const { return stream_.has_value() && stream_->running(); }
  Outcome AskUid(ReaderIdentity& identity);
  // Reads the frame that is there; queues what it gave.
  void TakeFrame(WallTime arrived);
  void StreamEnded(WallTime at);
  void Queue(WallTime at, Outcome failure);

  Clock& clock_;
  bool needUid_;
  quarn::Reader reader_;  // never moves: the stream refers to it
  std::optional<quarn::InventoryStream> stream_;
  ReaderSettings settings_;
  size_t skippedSeen_ = 0;
  // What one frame's read gave beyond the first thing handed over: failures of the frames skipped on the
  // way to a report come before the report.
  std::deque<Arrival> pending_;
  bool restartOwed_ = false;  // the stream ended by itself; Next starts it again once
  bool stopSentSinceStart_ = false;  // a stop went out since the stream last started (it wakes a hung reader)
};

}  // namespace quarn::watch
