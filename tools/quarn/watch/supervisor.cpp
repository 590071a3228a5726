#include "supervisor.h"

#include <algorithm>

namespace quarn::watch {

namespace {

constexpr const char* kCauseAnotherReader = "another reader answers on this port";

Millis Until(SteadyTime due, SteadyTime now) {
  return due <= now ? Millis(0) : std::chrono::duration_cast<Millis>(due - now);
}

}  // namespace

Supervisor::Supervisor(ReaderSettings settings, ReaderSession& session, Clock& clock, std::vector<Sink*> sinks,
                       SupervisorOptions options)
    : settings_(std::move(settings)), session_(session), clock_(clock), sinks_(std::move(sinks)),
      options_(std::move(options)) {
  if (options_.eventHold) presence_ = std::make_unique<PresenceTracker>(*options_.eventHold, options_.maxTags);
  if (!options_.nameByUid) name_ = settings_.name.empty() ? settings_.port : settings_.name;
}

void Supervisor::Run(StopSignal& stop) {
  SteadyTime now = clock_.Now();
  status_.since = clock_.Wall();
  lastStatusAt_ = now;
  nextStatus_ = now + options_.statusEvery;
  nextAttempt_ = now;
  while (!stop.requested()) {
    if (online_)
      Step();
    else
      Reconnect(stop);
    Housekeeping();
  }
  Shutdown();
}

void Supervisor::Reconnect(StopSignal& stop) {
  SteadyTime now = clock_.Now();
  if (now < nextAttempt_) {
    clock_.Wait(std::max(Millis(1), UntilNextDue(Until(nextAttempt_, now))), stop);
    return;
  }
  ReaderIdentity identity;
  Outcome outcome = session_.Connect(settings_, identity);
  if (outcome.ok()) outcome = session_.StartStream();
  if (outcome.ok()) return GoOnline(identity);
  session_.Close();
  status_.lastError = outcome.failure;
  if (loggedError_ != outcome.failure) {
    Log("cannot read from " + settings_.port + ": " + outcome.failure + "; trying again");
    loggedError_ = outcome.failure;
  }
  nextAttempt_ = clock_.Now() + backoff_.Next();
}

void Supervisor::GoOnline(const ReaderIdentity& identity) {
  if (options_.nameByUid && identity.uid != name_) {
    // The old name's last words: its tags depart, and its retained status does not claim a reader
    // that is not there.
    if (!name_.empty()) {
      if (presence_) {
        std::vector<PresenceEvent> events;
        presence_->DepartAll(clock_.Wall(), events);
        DeliverEvents(events);
      }
      status_.cause = kCauseAnotherReader;
      DeliverStatus();
    }
    // Sequence numbers count per reader: the new one's start at 1, as a gap would mean lost reads.
    readSeq_ = 0;
    eventSeq_ = 0;
    name_ = identity.uid;
  }
  if (everOnline_) ++status_.reconnects;
  everOnline_ = true;
  online_ = true;
  loggedError_.clear();
  status_.lastError.clear();
  status_.since = clock_.Wall();
  lastLife_ = clock_.Now();
  if (presence_) presence_->Resume(lastLife_);
  Log(name_ + ": reading");
  DeliverStatus();
}

void Supervisor::GoOffline(const std::string& cause, const std::string& lastError) {
  session_.Close();
  online_ = false;
  if (presence_) presence_->Pause(clock_.Now());
  status_.cause = cause;
  status_.lastError = lastError;
  status_.since = clock_.Wall();
  nextAttempt_ = clock_.Now() + backoff_.Next();
  Log(name_ + ": offline (" + cause + ")");
  DeliverStatus();
}

void Supervisor::Step() {
  Arrival arrival = session_.Next(UntilNextDue(options_.poll));
  switch (arrival.kind) {
    case Arrival::Kind::kRead:
      OnRead(arrival);
      break;
    case Arrival::Kind::kFailure:
      if (arrival.failure.portGone) return GoOffline(arrival.failure.failure, arrival.failure.failure);
      ++status_.failures[arrival.failure.failure];
      break;
    case Arrival::Kind::kNothing:
      break;
  }
  if (clock_.Now() >= lastLife_ + options_.healthAfter) HealthCheck();
}

void Supervisor::OnRead(const Arrival& arrival) {
  ++status_.reads;
  backoff_.Reset();
  lastLife_ = clock_.Now();
  if (options_.deliverReads) Deliver(MessageKind::kRead, ReadJson(arrival.time, name_, ++readSeq_, arrival.read));
  if (!presence_) return;
  std::vector<PresenceEvent> events;
  presence_->Seen(arrival.read, lastLife_, arrival.time, events);
  DeliverEvents(events);
}

// A reader silent for a while may have no tag in its field, or may hang: only a question tells. A
// reader that does not answer is closed and opened again, as after a lost port.
void Supervisor::HealthCheck() {
  ++status_.healthChecks;
  Outcome stopped = session_.StopStream();
  if (stopped.portGone) return GoOffline(stopped.failure, stopped.failure);
  if (!stopped.ok()) Log(name_ + ": the reader did not confirm the stop (" + stopped.failure + "); asking its version");
  Outcome check = session_.Check();
  if (check.portGone) return GoOffline(check.failure, check.failure);
  if (!check.ok()) {
    ++status_.restarts;
    return GoOffline("no answer to the health check", check.failure);
  }
  Outcome started = session_.StartStream();
  if (started.portGone) return GoOffline(started.failure, started.failure);
  if (!started.ok()) {
    ++status_.restarts;
    return GoOffline("the stream did not start again after the health check", started.failure);
  }
  if (!stopped.ok()) Log(name_ + ": the reader answers again; reading");
  backoff_.Reset();
  lastLife_ = clock_.Now();
}

void Supervisor::Housekeeping() {
  SteadyTime now = clock_.Now();
  if (presence_) {
    std::vector<PresenceEvent> events;
    presence_->Age(now, events);
    DeliverEvents(events);
  }
  if (now >= nextStatus_) DeliverStatus(true);
}

void Supervisor::Shutdown() {
  if (online_) session_.StopStream();
  session_.Close();
  online_ = false;
  status_.cause = kCauseStopped;
  status_.lastError.clear();
  status_.since = clock_.Wall();
  DeliverStatus();
}

Millis Supervisor::UntilNextDue(Millis cap) {
  SteadyTime now = clock_.Now();
  Millis wait = std::min(cap, Until(nextStatus_, now));
  if (online_) wait = std::min(wait, Until(lastLife_ + options_.healthAfter, now));
  if (presence_)
    if (auto departure = presence_->nextDeparture()) wait = std::min(wait, Until(*departure, now));
  return wait;
}

void Supervisor::Deliver(MessageKind kind, const Json& object) {
  if (name_.empty()) return;  // named by a UID not learnt yet
  Message message{kind, name_, Line(object)};
  for (Sink* sink : sinks_) sink->Deliver(message);
}

void Supervisor::DeliverEvents(std::vector<PresenceEvent>& events) {
  for (const PresenceEvent& event : events) Deliver(MessageKind::kEvent, EventJson(name_, ++eventSeq_, event));
  events.clear();
}

// The rate is over the time since the last periodic status: a status at a change may come moments
// after another, and a rate over moments says little.
void Supervisor::DeliverStatus(bool periodic) {
  SteadyTime now = clock_.Now();
  double seconds = std::chrono::duration<double>(now - lastStatusAt_).count();
  double perSecond = seconds > 0 ? static_cast<double>(status_.reads - readsAtLastStatus_) / seconds : 0.0;
  if (periodic) {
    lastStatusAt_ = now;
    readsAtLastStatus_ = status_.reads;
    nextStatus_ = now + options_.statusEvery;
  }
  status_.online = online_;
  if (presence_) {
    status_.tagsTracked = presence_->tracked();
    status_.tagsEvicted = presence_->evicted();
  }
  if (name_.empty()) return;
  Json object = StatusJson(clock_.Wall(), name_, status_, perSecond);
  for (Sink* sink : sinks_) sink->Describe(name_, object);
  Deliver(MessageKind::kStatus, object);
}

void Supervisor::Log(const std::string& line) {
  if (options_.log) options_.log(line);
}

}  // namespace quarn::watch
