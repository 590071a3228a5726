#pragma once
// Keeps one reader reading for as long as the watch runs: connects (and after the port vanished,
// connects again with back-off), delivers every read with its time and sequence number, turns reads
// into arrive and depart events, checks a reader that has been silent for a while and restarts one that
// hangs, counts failed frames by outcome (never delivering them as reads), and reports its status
// periodically and at every change. One supervisor runs on its reader's own thread: the reader side's
// calls block for up to seconds, and one reader's trouble must not hold up another's reads.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "backoff.h"
#include "presence.h"
#include "reader_session.h"
#include "sink.h"
#include "status.h"

namespace quarn::watch {

struct SupervisorOptions {
  Millis healthAfter{30000};  // no report for this long: stop, ask the version, start again
  Millis statusEvery{10000};
  Millis poll{200};  // the longest wait for one report, so stops, events and statuses run on time
  bool deliverReads = true;
  std::optional<Millis> eventHold;  // arrive and depart events, with this hold time
  size_t maxTags = 10000;
  bool nameByUid = false;  // call the reader by its UID instead of its port
  // Lines for a person (stderr): state changes, not every attempt.
  std::function<void(const std::string&)> log;
};

class Supervisor {
 public:
  Supervisor(ReaderSettings settings, ReaderSession& session, Clock& clock, std::vector<Sink*> sinks,
             SupervisorOptions options);

  // Reads until stop is requested; then stops the stream, closes the port and delivers the last status.
  void Run(StopSignal& stop);

  const ReaderStatus& status() const { return status_; }
  const std::string& name() const { return name_; }

 private:
  void Reconnect(StopSignal& stop);
  void GoOnline(const ReaderIdentity& identity);
  void GoOffline(const std::string& cause, const std::string& lastError);
  void Step();
  void OnRead(const Arrival& arrival);
  void HealthCheck();
  void Housekeeping();
  void Shutdown();

  Millis UntilNextDue(Millis cap);
  void Deliver(MessageKind kind, const Json& object);
  void DeliverEvents(std::vector<PresenceEvent>& events);
  void DeliverStatus(bool periodic = false);
  void Log(const std::string& line);

  ReaderSettings settings_;
  ReaderSession& session_;
  Clock& clock_;
  std::vector<Sink*> sinks_;
  SupervisorOptions options_;
  std::unique_ptr<PresenceTracker> presence_;
  Backoff backoff_{kReaderBackoffFirst, kReaderBackoffCeiling};

  std::string name_;  // empty until known (a reader named by its UID, before its first connect)
  bool online_ = false;
  bool everOnline_ = false;
  std::string loggedError_;
  SteadyTime nextAttempt_{};
  SteadyTime lastLife_{};  // the last read, or the last health check passed
  SteadyTime nextStatus_{};
  SteadyTime lastStatusAt_{};
  uint64_t readsAtLastStatus_ = 0;
  uint64_t readSeq_ = 0;
  uint64_t eventSeq_ = 0;
  ReaderStatus status_;
};

}  // namespace quarn::watch
