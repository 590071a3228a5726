#include "fake_serial.h"

#include <cstring>
#include <map>
#include <string>

#include "link/serial/serial_backend.h"

namespace quarn::testing {

namespace {

std::map<std::string, FakePort*>& Registry() {
  static std::map<std::string, FakePort*> ports;
  return ports;
}

}  // namespace

FakePort::FakePort() = default;

FakePort::~FakePort() {
  if (name_ != nullptr) Registry().erase(name_);
}

PortHandle FakePort::handle() const {
#if defined(_WIN32)
  return const_cast<FakePort*>(this);
#else
  return reinterpret_cast<PortHandle>(this);
#endif
}

FakePort* FakePort::FromHandle(PortHandle port) {
#if defined(_WIN32)
  return static_cast<FakePort*>(port);
#else
  return reinterpret_cast<FakePort*>(port);
#endif
}

void FakePort::Publish(const char* name) {
  name_ = name;
  Registry()[name] = this;
}

FakePort* FakePort::Find(const char* name) {
  auto found = Registry().find(name);
  return found == Registry().end() ? nullptr : found->second;
}

bool FakePort::Open() {
  if (open_) return false;
  open_ = true;
  return true;
}

bool FakePort::Close() {
  ++closes_;
  const bool wasOpen = open_;
  open_ = false;
  return wasOpen;
}

void FakePort::Deliver(const Bytes& bytes, uint32_t gapMs, uint32_t firstDelayMs) {
  Schedule(bytes, gapMs, firstDelayMs);
}

void FakePort::ReplyToNextCommand(const Bytes& bytes, uint32_t gapMs, uint32_t firstDelayMs) {
  replies_.push_back({bytes, gapMs, firstDelayMs, false});
}

void FakePort::SilenceForNextCommand() { replies_.push_back({{}, 0, 0, true}); }

void FakePort::Schedule(const Bytes& bytes, uint32_t gapMs, uint32_t firstDelayMs) {
  uint32_t at = now_ + firstDelayMs;
  if (!input_.empty() && input_.back().at > at) at = input_.back().at;
  for (uint8_t value : bytes) {
    input_.push_back({value, at});
    at += gapMs;
  }
}

bool FakePort::CallFails() {
  ++calls_;
  if (calls_ == failCall_) {
    faultFired_ = true;
    return true;
  }
  return false;
}

void FakePort::TrackCommand(uint8_t value) {
  if (!unstuffer_.Take(value)) return;
  commands_.push_back(unstuffer_.frame());
  if (replies_.empty()) return;
  Reply reply = replies_.front();
  replies_.pop_front();
  if (!reply.silent) Schedule(reply.bytes, reply.gapMs, reply.firstDelayMs);
}

void FakePort::Purge() {
  ++purges_;
  if (CallFails()) return;
  // Only what has arrived is discarded; bytes still on their way come in after the purge.
  while (!input_.empty() && input_.front().at <= now_) input_.pop_front();
}

void FakePort::BeginFrame() {
  if (insideBracket_) ++bracketFaults_;
  insideBracket_ = true;
  ++brackets_;
}

void FakePort::EndFrame() {
  if (!insideBracket_) ++bracketFaults_;
  insideBracket_ = false;
}

serial::WriteOutcome FakePort::Write(uint8_t value) {
  ++writeCalls_;
  if (!insideBracket_) ++bracketFaults_;
  const bool injected = CallFails() || writeCalls_ == failWrite_;
  if (writeCalls_ == failWrite_) faultFired_ = true;
  if (unusable_) return serial::WriteOutcome::kUnusable;
  if (hungUp_ || (goneWrite_ != 0 && writeCalls_ >= goneWrite_)) return serial::WriteOutcome::kGone;
  if (injected) return serial::WriteOutcome::kFailed;
  written_.push_back(value);
  TrackCommand(value);
  return serial::WriteOutcome::kWritten;
}

serial::ReadOutcome FakePort::Read(uint8_t* value) {
  ++readCalls_;
  if (readCalls_ == hangUpRead_) hungUp_ = true;
  const bool injected = CallFails() || readCalls_ == failRead_;
  if (readCalls_ == failRead_) faultFired_ = true;
  const bool gone = hungUp_ || (goneRead_ != 0 && readCalls_ >= goneRead_);
  // A failing read still takes time, so a receiver that hunts through failures meets its time limit.
  if (unusable_ || gone || injected) {
    now_ += kFailedReadMs;
    if (unusable_) return serial::ReadOutcome::kUnusable;
    return gone ? serial::ReadOutcome::kGone : serial::ReadOutcome::kFailed;
  }
  if (!input_.empty() && input_.front().at <= now_ + kReadTimeoutMs) {
    if (input_.front().at > now_) now_ = input_.front().at;
    *value = input_.front().value;
    input_.pop_front();
    return serial::ReadOutcome::kByte;
  }
  now_ += kReadTimeoutMs;
  return serial::ReadOutcome::kNoByte;
}

serial::InputWait FakePort::WaitForInput(uint32_t timeoutMs) {
  ++waits_;
  if (unusable_) return serial::InputWait::kUnusable;
  if (!input_.empty() && input_.front().at <= now_ + timeoutMs) {
    if (input_.front().at > now_) now_ = input_.front().at;
    return serial::InputWait::kReady;
  }
  if (hungUp_) return serial::InputWait::kGone;
  now_ += timeoutMs;
  return serial::InputWait::kNothing;
}

}  // namespace quarn::testing

// --- the backend the library links against in the unit ring ---

namespace quarn::serial {

using quarn::testing::FakePort;

PortHandle OpenExclusive(const char* portName, OpenFailure* why) {
  FakePort* port = portName == nullptr ? nullptr : FakePort::Find(portName);
  const OpenFailure failure = port == nullptr ? OpenFailure::kNoSuchPort : OpenFailure::kBusy;
  if (port == nullptr || !port->Open()) {
    if (why != nullptr) *why = failure;
    return QUARN_INVALID_PORT;
  }
  return port->handle();
}

void Configure(PortHandle port, uint32_t baudRate) { FakePort::FromHandle(port)->Configure(baudRate); }

bool Close(PortHandle port) { return FakePort::FromHandle(port)->Close(); }

void PurgeInput(PortHandle port) { FakePort::FromHandle(port)->Purge(); }

void BeginFrameWrite(PortHandle port) { FakePort::FromHandle(port)->BeginFrame(); }

void EndFrameWrite(PortHandle port) { FakePort::FromHandle(port)->EndFrame(); }

WriteOutcome WriteByte(PortHandle port, uint8_t value) { return FakePort::FromHandle(port)->Write(value); }

ReadOutcome ReadByte(PortHandle port, uint8_t* value) { return FakePort::FromHandle(port)->Read(value); }

InputWait WaitForInput(PortHandle port, uint32_t timeoutMs) {
  return FakePort::FromHandle(port)->WaitForInput(timeoutMs);
}

uint32_t TickMs(PortHandle port) { return FakePort::FromHandle(port)->now(); }

}  // namespace quarn::serial
