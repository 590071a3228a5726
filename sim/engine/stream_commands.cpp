// Streaming operations: continuous inventory and multi-tag read. After the acknowledgement the reader
// sends one frame per tag at the stream interval, in rounds over the tags taking part, until it is
// stopped (any incoming command stops it) or the number of rounds asked for has run.

#include "link/command_table.h"
#include "sim/engine/virtual_reader.h"
#include "sim/model/error_codes.h"

namespace quarn::sim {

namespace {

constexpr uint64_t kMicrosPerMs = 1000;
constexpr size_t kPasswordSize = 4;
constexpr uint8_t kLongOptionsBit = 0x01;

void AppendBlock(Bytes& data, const Bytes& block) {
  data.push_back(static_cast<uint8_t>(block.size() >> 8));
  data.push_back(static_cast<uint8_t>(block.size() & 0xFF));
  data.insert(data.end(), block.begin(), block.end());
}

}  // namespace

uint64_t VirtualReader::StreamIntervalUs() const {
  const uint8_t ms = registers_.at(reg::kStreamInterval);
  return (ms == 0 ? 1 : ms) * kMicrosPerMs;
}

void VirtualReader::StartInventory(const Command& command) {
  const size_t expected = command.plain() == link::commands::kStartInventoryWithParameter.code ? 1 : 0;
  if (command.params.size() != expected) return Malformed(command);
  Stream stream;
  stream.kind = StreamKind::kInventory;
  stream.code = command.code;
  // The parameter byte is the number of rounds; 0 (and the form without it) runs until stopped.
  stream.roundLimit = expected == 1 ? command.params[0] : 0;
  BeginStream(std::move(stream));
}

// Options bit 0 clear: two option bytes, the round count and a spare byte. Set: a second area to read
// (bank, EBV word pointer, word count), then the round count and a spare byte.
void VirtualReader::StartMultiTagRead(const Command& command) {
  ParamReader reader(command.params);
  Stream stream;
  stream.kind = StreamKind::kMultiTagRead;
  stream.code = command.code;
  stream.password = reader.Take(kPasswordSize);
  const uint8_t bankCode = reader.Byte();
  stream.first.pointer = reader.Ebv();
  stream.first.count = reader.Byte();
  const uint8_t options = reader.Byte();
  std::optional<uint8_t> secondBank;
  if (options & kLongOptionsBit) {
    secondBank = reader.Byte();
    ReadArea second;
    second.pointer = reader.Ebv();
    second.count = reader.Byte();
    stream.second = second;
  }
  stream.roundLimit = reader.Byte();
  reader.Byte();
  if (!reader.Finish()) return Malformed(command);
  const std::optional<MemoryBank> first = BankFromCode(bankCode);
  const std::optional<MemoryBank> second = secondBank ? BankFromCode(*secondBank) : first;
  if (!first || !second) return ErrorReply(command, errors::kBadParameter);
  stream.first.bank = *first;
  if (stream.second) stream.second->bank = *second;
  BeginStream(std::move(stream));
}

// The acknowledgement comes in the frame form the stream will use: an antenna reply frame from the
// first active antenna in multi-antenna mode.
void VirtualReader::BeginStream(Stream stream) {
  stream.antennaFrames = MultiAntennaMode();
  stream.nextDueUs = nowUs_ + StreamIntervalUs();
  OutgoingReply ack;
  ack.code = stream.code;
  ack.status = status::kStarted;
  if (stream.antennaFrames) {
    const std::vector<uint8_t> antennas = ActiveAntennas();
    ack.antenna = antennas.empty() ? uint8_t{1} : antennas.front();
  }
  Send(ack);
  stream_ = std::move(stream);
}

void VirtualReader::StopStream() { stream_ = Stream{}; }

// A tag that left the field since its round began is not reported; one that came is in the next round.
void VirtualReader::SkipDeparted() {
  while (stream_.next < stream_.round.size() &&
         !Visible(*stream_.round[stream_.next].tag, stream_.round[stream_.next].antenna)) {
    ++stream_.next;
  }
}

void VirtualReader::EmitNext() {
  SkipDeparted();
  if (stream_.next >= stream_.round.size()) {
    if (!stream_.round.empty()) {
      ++stream_.roundsDone;
      if (stream_.roundLimit != 0 && stream_.roundsDone >= stream_.roundLimit) {
        Note("stream finished its rounds");
        return StopStream();
      }
    }
    stream_.round = Participants(true);
    stream_.next = 0;
    if (stream_.round.empty()) return;
  }
  const Participant participant = stream_.round[stream_.next++];
  if (stream_.kind == StreamKind::kInventory) return EmitInventoryReport(participant);
  EmitMultiTagData(participant);
}

void VirtualReader::EmitInventoryReport(const Participant& participant) {
  OutgoingReply report;
  report.code = stream_.code;
  report.status = status::kOk;
  report.data = participant.tag->Record();
  if (stream_.antennaFrames) report.antenna = participant.antenna;
  Send(report);
}

// Status 0x00: one block and the record; 0x01: two blocks and the record; 0x81: the error code of
// the tag's read and its record.
void VirtualReader::EmitMultiTagData(const Participant& participant) {
  Tag& tag = *participant.tag;
  OutgoingReply frame;
  frame.code = stream_.code;
  if (stream_.antennaFrames) frame.antenna = participant.antenna;
  const Bytes record = tag.Record();
  bool secured = false;
  Bytes first;
  Bytes second;
  TagError error = tag.Authorize(stream_.password, &secured);
  if (!error) error = tag.Read(stream_.first.bank, stream_.first.pointer, stream_.first.count, secured, &first);
  if (!error && stream_.second) {
    error = tag.Read(stream_.second->bank, stream_.second->pointer, stream_.second->count, secured, &second);
  }
  if (error) {
    frame.status = status::kErrorCode;
    frame.data = {*error};
  } else {
    frame.status = stream_.second ? status::kTwoBlocks : status::kOk;
    AppendBlock(frame.data, first);
    if (stream_.second) AppendBlock(frame.data, second);
  }
  frame.data.insert(frame.data.end(), record.begin(), record.end());
  Send(frame);
}

}  // namespace quarn::sim
