#include "sim/engine/virtual_reader.h"

#include <algorithm>

#include "link/command_table.h"

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
  using namespace link::commands;
  TraceFrame(TraceEvent::Kind::kCommand, frame.frame, frame.code, false);
  const Command command{frame.code, frame.params};
  switch (command.plain()) {
    case kGetPaStatus.code: return GetPaStatus(command);
    case kGetPower.code: return GetPower(command);
    case kSetPower.code: return SetPower(command);
    case kCheckAntenna.code: return CheckAntenna(command);
    case kChooseAntenna.code: return ChooseAntenna(command);
    case kGetFrequency.code: return GetFrequency(command);
    case kSetFrequency.code: return SetFrequency(command);
    case kGetVersion.code: return GetVersion(command);
    case kGetReaderUid.code: return GetReaderUid(command);
    case kEnterTransparentTransfer.code: return SetTransparent(command, true);
    case kLeaveTransparentTransfer.code: return SetTransparent(command, false);
    case kStartInventory.code: return StartInventory(command);
    case kStartInventoryWithParameter.code: return StartInventory(command);
    case kStopOperation.code: return StopOperation(command);
    case kReadDataByEpc.code: return ReadData(command, true);
    case kWriteDataByEpc.code: return WriteData(command, true);
    case kEraseDataByEpc.code: return EraseData(command, true);
    case kLockMemByEpc.code: return LockMem(command, true);
    case kKillTagByEpc.code: return KillTag(command, true);
    case kInventorySingleTag.code: return InventorySingleTag(command);
    case kBlockWriteDataByEpc.code: return BlockWriteData(command, true);
    case kReadDataFromSingleTag.code: return ReadData(command, false);
    case kWriteDataToSingleTag.code: return WriteData(command, false);
    case kEraseDataFromSingleTag.code: return EraseData(command, false);
    case kLockMemFromSingleTag.code: return LockMem(command, false);
    case kKillSingleTag.code: return KillTag(command, false);
    case kBlockWriteDataToSingleTag.code: return BlockWriteData(command, false);
    case kStartReadDataFromMultiTag.code: return StartMultiTagRead(command);
    case kGetRegister.code: return GetRegister(command);
    case kSetRegister.code: return SetRegister(command);
    case kResetRegister.code: return ResetRegister(command);
    case kSaveRegister.code: return SaveRegister(command);
    case kAddFilter.code: return AddFilter(command);
    case kDeleteFilterByIndex.code: return DeleteFilter(command);
    case kStartGetFilterByIndex.code: return StartGetFilter(command);
    case kSelectFilterByIndex.code: return SelectFilter(command);
    case kSetSam.code: return SetSam(command);
    case kGetInfoSamToSrA.code: return SamToSr(command, 0);
    case kGetInfoSamToSrB.code: return SamToSr(command, 1);
    case kSetPsamPower.code: return SetPsamPower(command);
    case kEnterSleepMode.code: return EnterSleep(command);
    case kUpdateInit.code: return UpdateInit(command);
    case kUpdateSendRn32.code: return UpdateSendRn32(command);
    case kUpdateSendSize.code: return UpdateSendSize(command);
    case kUpdateSendData.code: return UpdateSendData(command);
    case kUpdateCommit.code: return UpdateCommit(command);
    case kWriteSrToTagByEpc.code: return WriteSrToTag(command, true);
    case kWriteSrToTagSingle.code: return WriteSrToTag(command, false);
    case kGetSr.code: return GetSr(command);
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
