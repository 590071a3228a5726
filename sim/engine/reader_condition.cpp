// What happens to the reader beside the commands: its clock, a hang, and the cut of its link.

#include <algorithm>

#include "sim/engine/virtual_reader.h"

namespace quarn::sim {

namespace {

constexpr uint8_t kStopCode = 0x12;

}  // namespace

// Time only moves forward; a hang due by now begins, and one whose time is up ends.
void VirtualReader::KeepTime(uint64_t nowUs) {
  nowUs_ = std::max(nowUs_, nowUs);
  if (hangScheduled_ && nowUs_ >= *faults_.hangAtUs) {
    hangScheduled_ = false;
    Hang(faults_.hangForUs != 0 ? std::optional<uint64_t>(faults_.hangForUs) : std::nullopt);
  }
  if (hung_ && hangEndsUs_ && nowUs_ >= *hangEndsUs_) WakeFromHang("woke from the hang by itself");
}

void VirtualReader::OnFrame(const DecodedFrame& frame) {
  if (hung_) {
    OnFrameWhileHung(frame);
  } else {
    Dispatch(frame);
  }
  if (commandSink_) commandSink_();
}

void VirtualReader::Hang(std::optional<uint64_t> forUs) {
  StopStream();
  output_.Clear();
  hung_ = true;
  hangEndsUs_ = forUs ? std::optional<uint64_t>(nowUs_ + *forUs) : std::nullopt;
  Note("hung: no answers and no stream until a stop command");
}

// The stop that wakes a hung reader is swallowed like the rest, so a host sees its stop time out and
// knows the reader hung; the next command is answered.
void VirtualReader::OnFrameWhileHung(const DecodedFrame& frame) {
  TraceFrame(TraceEvent::Kind::kCommand, frame.frame, frame.code, false);
  if (PlainCode(frame.code) == kStopCode) return WakeFromHang("woken by a stop command, which gets no reply");
  Note("hung: command swallowed");
}

void VirtualReader::WakeFromHang(const char* why) {
  hung_ = false;
  hangEndsUs_.reset();
  sleeping_ = false;
  transparent_ = false;
  Note(why);
}

void VirtualReader::Unplug() {
  StopStream();
  output_.Clear();
  decoder_ = CommandDecoder{};
  update_.Abandon();
  hung_ = false;
  hangEndsUs_.reset();
  sleeping_ = false;
  transparent_ = false;
  Note("unplugged");
}

}  // namespace quarn::sim
