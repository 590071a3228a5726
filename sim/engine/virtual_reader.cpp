#include "sim/engine/virtual_reader.h"

#include <algorithm>

namespace quarn::sim {

namespace {

constexpr uint64_t kMicrosPerMs = 1000;
// Hardware 'Q' 'S' revision 1, firmware 1.2.0; then the build date 2025-06-01.
const Bytes kFactoryVersion = {'Q', 'S', 0x01, 0x01, 0x02, 0x00, 0x19, 0x06, 0x01};

Bytes UidFromSeed(uint32_t seed) {
  std::mt19937 random(seed ^ 0x51D0u);
  Bytes uid;
  for (size_t i = 0; i < kUidSize; ++i) uid.push_back(static_cast<uint8_t>(random()));
  return uid;
}

}  // namespace

VirtualReader::VirtualReader(const Scenario& scenario, FaultSettings faults)
    : tags_(BuildTags(scenario)),
      sam_(scenario.seed),
      update_(scenario.seed),
      faults_(std::move(faults)),
      antennaCount_(scenario.antennaCount),
      connected_(scenario.EffectiveConnected()),
      paFault_(scenario.paFault),
      version_(kFactoryVersion),
      uid_(UidFromSeed(scenario.seed)),
      random_(scenario.seed ^ 0xFA17u) {
  hangScheduled_ = faults_.hangAtUs.has_value();
  if (scenario.streamIntervalMs) {
    RegisterBytes bytes = registers_.working();
    bytes[reg::kStreamInterval] = *scenario.streamIntervalMs;
    registers_.LoadSaved(bytes);
  }
}

void VirtualReader::Receive(const uint8_t* bytes, size_t count, uint64_t nowUs) {
  KeepTime(nowUs);
  for (size_t i = 0; i < count; ++i) OnByte(bytes[i]);
}

void VirtualReader::OnByte(uint8_t byte) {
  DecodeStep step = decoder_.Feed(byte);
  switch (step.kind) {
    case DecodeStep::Kind::kNothing:
      return;
    case DecodeStep::Kind::kHeadSeen:
      OnHead();
      return;
    case DecodeStep::Kind::kStray:
      // In transparent transfer the auxiliary port is a loopback: what is not a frame comes back.
      if (transparent_ && !hung_) output_.Push({byte}, nowUs_, faults_.baud);
      return;
    case DecodeStep::Kind::kFrame:
      OnFrame(*step.frame);
      return;
    case DecodeStep::Kind::kFault:
      ++rejectedFrames_;
      Note(std::string("frame dropped: ") + DecodeFaultName(step.fault) + " after " + ToHex(step.partial, " "));
      if (step.fault == DecodeFault::kUnexpectedHead) OnHead();
      return;
  }
}

// A new command begins: whatever the reader still streams or has to say is given up, as the host has
// already discarded its input before sending.
void VirtualReader::OnHead() {
  if (streaming()) {
    StopStream();
    Note("stream stopped by an incoming command");
  }
  if (!output_.empty()) Note("pending output dropped by an incoming command");
  output_.Clear();
  if (sleeping_) {
    sleeping_ = false;
    Note("woken from sleep");
  }
}

void VirtualReader::Dispatch(const DecodedFrame& frame) {
  TraceFrame(TraceEvent::Kind::kCommand, frame.frame, frame.code, false);
  const Command command{frame.code, frame.params};
  switch (command.plain()) {
    case 0x00: return GetPaStatus(command);
    case 0x01: return GetPower(command);
    case 0x02: return SetPower(command);
    case 0x03: return CheckAntenna(command);
    case 0x04: return ChooseAntenna(command);
    case 0x05: return GetFrequency(command);
    case 0x06: return SetFrequency(command);
    case 0x07: return GetVersion(command);
    case 0x0A: return GetReaderUid(command);
    case 0x0B: return SetTransparent(command, true);
    case 0x1B: return SetTransparent(command, false);
    case 0x10: return StartInventory(command);
    case 0x11: return StartInventory(command);
    case 0x12: return StopOperation(command);
    case 0x13: return ReadData(command, true);
    case 0x14: return WriteData(command, true);
    case 0x15: return EraseData(command, true);
    case 0x16: return LockMem(command, true);
    case 0x17: return KillTag(command, true);
    case 0x18: return InventorySingleTag(command);
    case 0x19: return BlockWriteData(command, true);
    case 0x20: return ReadData(command, false);
    case 0x21: return WriteData(command, false);
    case 0x22: return EraseData(command, false);
    case 0x23: return LockMem(command, false);
    case 0x24: return KillTag(command, false);
    case 0x25: return BlockWriteData(command, false);
    case 0x26: return StartMultiTagRead(command);
    case 0x30: return GetRegister(command);
    case 0x31: return SetRegister(command);
    case 0x32: return ResetRegister(command);
    case 0x33: return SaveRegister(command);
    case 0x38: return AddFilter(command);
    case 0x39: return DeleteFilter(command);
    case 0x3A: return StartGetFilter(command);
    case 0x3B: return SelectFilter(command);
    case 0x43: return SetSam(command);
    case 0x44: return SamToSr(command, 0);
    case 0x45: return SamToSr(command, 1);
    case 0x46: return SetPsamPower(command);
    case 0x50: return EnterSleep(command);
    case 0x53: return UpdateInit(command);
    case 0x54: return UpdateSendRn32(command);
    case 0x56: return UpdateSendSize(command);
    case 0x57: return UpdateSendData(command);
    case 0x58: return UpdateCommit(command);
    case 0x70: return WriteSrToTag(command, true);
    case 0x71: return WriteSrToTag(command, false);
    case 0x72: return GetSr(command);
    default: return Malformed(command);
  }
}

void VirtualReader::Reply(const Command& command, uint8_t statusByte, Bytes data, bool forceTwoByte) {
  OutgoingReply reply;
  reply.code = command.code;
  reply.status = statusByte;
  reply.data = std::move(data);
  reply.forceTwoByte = forceTwoByte;
  Send(reply);
}

void VirtualReader::ErrorReply(const Command& command, uint8_t errorCode, Bytes more) {
  Bytes data{errorCode};
  data.insert(data.end(), more.begin(), more.end());
  Reply(command, status::kErrorCode, std::move(data));
}

void VirtualReader::Send(const OutgoingReply& reply) {
  const Bytes frame = BuildReplyFrame(reply);
  TraceFrame(TraceEvent::Kind::kReply, frame, reply.code, reply.antenna.has_value());
  const bool hit = FaultHits(PlainCode(reply.code));
  if (hit && faults_.silent) {
    Note("reply withheld (silent)");
    return;
  }
  const uint64_t due = nowUs_ + (hit ? faults_.delayMs * kMicrosPerMs : 0);
  const Bytes wire = StuffFrame(frame);
  output_.Push(hit ? Disturb(wire) : wire, due, faults_.baud);
}

bool VirtualReader::FaultHits(uint8_t plainCode) {
  const FaultSettings& f = faults_;
  const bool anyFault = f.silent || f.delayMs > 0 || f.dropRate > 0 || f.corruptRate > 0 || f.noiseBytes > 0;
  if (!anyFault) return false;
  if (!f.codes.empty() && f.codes.count(plainCode) == 0) return false;
  if (f.limit != 0 && faultHits_ >= f.limit) return false;
  ++faultHits_;
  return true;
}

Bytes VirtualReader::Disturb(const Bytes& wire) {
  std::uniform_real_distribution<double> chance(0.0, 1.0);
  Bytes out;
  for (size_t i = 0; i < faults_.noiseBytes; ++i) {
    uint8_t noise = static_cast<uint8_t>(random_());
    if (noise == kHead) noise = 0x00;
    out.push_back(noise);
  }
  size_t dropped = 0;
  size_t corrupted = 0;
  for (uint8_t byte : wire) {
    if (faults_.dropRate > 0 && chance(random_) < faults_.dropRate) {
      ++dropped;
      continue;
    }
    if (faults_.corruptRate > 0 && chance(random_) < faults_.corruptRate) {
      byte = static_cast<uint8_t>(byte ^ (1u << (random_() % 8)));
      ++corrupted;
    }
    out.push_back(byte);
  }
  if (faults_.noiseBytes > 0 || dropped > 0 || corrupted > 0 || faults_.delayMs > 0) {
    Note("fault: " + std::to_string(faults_.noiseBytes) + " noise, " + std::to_string(dropped) + " dropped, " +
         std::to_string(corrupted) + " corrupted, " + std::to_string(faults_.delayMs) + " ms delay");
  }
  return out;
}

void VirtualReader::Advance(uint64_t nowUs) {
  KeepTime(nowUs);
  const uint64_t interval = StreamIntervalUs();
  while (streaming() && stream_.nextDueUs <= nowUs_) {
    // After a long pause (a slow host loop) the stream picks up its pace instead of bursting.
    if (nowUs_ - stream_.nextDueUs > 5 * interval) stream_.nextDueUs = nowUs_;
    stream_.nextDueUs += interval;
    EmitNext();
  }
}

Bytes VirtualReader::TakeOutput(uint64_t nowUs) {
  KeepTime(nowUs);
  return output_.TakeDue(nowUs_);
}

std::optional<uint64_t> VirtualReader::NextEventUs() const {
  std::optional<uint64_t> next = output_.NextDueUs();
  if (streaming() && (!next || stream_.nextDueUs < *next)) next = stream_.nextDueUs;
  // A hang that begins or ends by the clock.
  const std::optional<uint64_t> hangEvent = hung_ ? hangEndsUs_ : hangScheduled_ ? faults_.hangAtUs : std::nullopt;
  if (hangEvent && (!next || *hangEvent < *next)) next = hangEvent;
  return next;
}

// Pending output still leaves: a commit's reply goes out before the restart takes effect.
void VirtualReader::Restart() {
  StopStream();
  registers_.Restart();
  sleeping_ = false;
  transparent_ = false;
  Note("restarted");
}

void VirtualReader::Note(const std::string& text) {
  if (!trace_) return;
  TraceEvent event;
  event.kind = TraceEvent::Kind::kNote;
  event.timeUs = nowUs_;
  event.note = text;
  trace_(event);
}

void VirtualReader::TraceFrame(TraceEvent::Kind kind, const Bytes& frame, uint8_t code, bool antenna) {
  if (!trace_) return;
  TraceEvent event;
  event.kind = kind;
  event.timeUs = nowUs_;
  event.frame = frame;
  event.code = code;
  event.antennaFrame = antenna;
  trace_(event);
}

}  // namespace quarn::sim
