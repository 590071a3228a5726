#pragma once
// The virtual reader: a model of a reader and the tags in its field, and the protocol engine around
// it. Feed it the bytes the host sends; it answers with wire bytes, and a clock drives what it streams.
// Times are microseconds on any clock that only moves forward (a test's virtual clock, or the pty
// server's steady clock). Not thread-safe: one thread at a time (PtyServer holds a lock around it).

#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <vector>

#include "sim/codec/frame_codec.h"
#include "sim/codec/param_reader.h"
#include "sim/engine/faults.h"
#include "sim/engine/output_queue.h"
#include "sim/engine/trace.h"
#include "sim/model/filter_table.h"
#include "sim/model/registers.h"
#include "sim/model/sam.h"
#include "sim/model/scenario.h"
#include "sim/model/tag.h"
#include "sim/model/update_session.h"

namespace quarn::sim {

// Status bytes shared by many commands.
namespace status {
inline constexpr uint8_t kOk = 0x00;
inline constexpr uint8_t kStarted = 0x01;        // a streaming operation was started
inline constexpr uint8_t kRefused = 0x01;        // a zero-rule command refused its setting
inline constexpr uint8_t kTwoBlocks = 0x01;      // a multi-tag data frame with a second block
inline constexpr uint8_t kMalformed = 0x80;      // parameter bytes that do not fit the command; unknown code
inline constexpr uint8_t kErrorCode = 0x81;      // the error code follows as data byte 0
inline constexpr uint8_t kTorn = 0x82;           // a write stopped without a code; the count follows
inline constexpr uint8_t kSamUnpowered = 0x83;   // a SAM command with no PSAM slot switched on
}  // namespace status

inline constexpr size_t kVersionBlockSize = 9;
inline constexpr size_t kUidSize = 12;

class VirtualReader {
 public:
  explicit VirtualReader(const Scenario& scenario = {}, FaultSettings faults = {});

  // Bytes from the host, as they arrive at nowUs.
  void Receive(const uint8_t* bytes, size_t count, uint64_t nowUs);
  void Receive(const Bytes& bytes, uint64_t nowUs) { Receive(bytes.data(), bytes.size(), nowUs); }
  // Runs a streaming operation up to nowUs: one frame per tag and stream interval.
  void Advance(uint64_t nowUs);
  // The wire bytes due by nowUs, in order.
  Bytes TakeOutput(uint64_t nowUs);
  // When Advance or TakeOutput will next have something to do.
  std::optional<uint64_t> NextEventUs() const;

  void SetTraceSink(TraceSink sink) { trace_ = std::move(sink); }
  // Called with the saved registers whenever the host saves them (the program persists them).
  void SetSaveSink(std::function<void(const RegisterBytes&)> sink) { saveSink_ = std::move(sink); }

  // Called after each command frame the reader handled, answered or not (a state file saves here).
  void SetCommandSink(std::function<void()> sink) { commandSink_ = std::move(sink); }

  // Ends every operation and loads the saved registers, as after power-on or a firmware commit.
  void Restart();
  // The host's link is cut (the reader unplugged): streams end, pending output and a half-received
  // frame are lost, and a sleeping, transparent, hung or updating reader comes back plain. The tags,
  // the registers (working and saved) and the filters stay as they were.
  void Unplug();
  // The reader stops answering and streaming, while it stays plugged in. The first stop command
  // (0x12) it then receives wakes it without a reply, and from the next command on it answers again;
  // other commands are swallowed. With forUs set it also wakes by itself that long after it hung.
  void Hang(std::optional<uint64_t> forUs = std::nullopt);
  bool hung() const { return hung_; }
  // A line for the trace, at the reader's present time.
  void Note(const std::string& text);

  // The model, for tests and for set-up.
  std::vector<Tag>& tags() { return tags_; }
  const std::vector<Tag>& tags() const { return tags_; }
  Registers& registers() { return registers_; }
  const Registers& registers() const { return registers_; }
  FilterTable& filters() { return filters_; }
  const FilterTable& filters() const { return filters_; }
  Sam& sam() { return sam_; }
  UpdateSession& update() { return update_; }
  FaultSettings& faults() { return faults_; }
  const Bytes& version() const { return version_; }
  void SetVersion(const Bytes& version) { version_ = version; }
  uint64_t nowUs() const { return nowUs_; }
  const Bytes& uid() const { return uid_; }
  uint8_t antennaCount() const { return antennaCount_; }
  uint8_t connectedAntennas() const { return connected_; }
  bool streaming() const { return stream_.kind != StreamKind::kNone; }
  bool sleeping() const { return sleeping_; }
  bool transparent() const { return transparent_; }
  uint32_t rejectedFrames() const { return rejectedFrames_; }

 private:
  struct Command {
    uint8_t code;  // as received
    const Bytes& params;
    bool crc() const { return IsCrcCode(code); }
    uint8_t plain() const { return PlainCode(code); }
  };

  struct Participant {
    uint8_t antenna;
    Tag* tag;
  };

  struct Target {
    Tag* tag = nullptr;
    uint8_t error = 0;
  };

  // The fields every tag memory command starts with.
  struct MemoryAccess {
    Bytes password;
    uint8_t bankCode = 0;
    uint32_t pointer = 0;
    uint8_t count = 0;
  };

  struct ReadArea {
    MemoryBank bank = MemoryBank::kUser;
    uint32_t pointer = 0;
    uint8_t count = 0;
  };

  enum class StreamKind { kNone, kInventory, kMultiTagRead };

  struct Stream {
    StreamKind kind = StreamKind::kNone;
    uint8_t code = 0;
    bool antennaFrames = false;
    uint32_t roundLimit = 0;  // 0: until stopped
    uint32_t roundsDone = 0;
    std::vector<Participant> round;
    size_t next = 0;
    uint64_t nextDueUs = 0;
    Bytes password;
    ReadArea first;
    std::optional<ReadArea> second;
  };

  // Engine (virtual_reader.cpp).
  void OnByte(uint8_t byte);
  void OnHead();
  void OnFrame(const DecodedFrame& frame);
  void Dispatch(const DecodedFrame& frame);
  void KeepTime(uint64_t nowUs);
  void OnFrameWhileHung(const DecodedFrame& frame);
  void WakeFromHang(const char* why);
  void Send(const OutgoingReply& reply);
  void Reply(const Command& command, uint8_t statusByte, Bytes data = {}, bool forceTwoByte = false);
  void ErrorReply(const Command& command, uint8_t errorCode, Bytes more = {});
  void Malformed(const Command& command) { Reply(command, status::kMalformed); }
  bool FaultHits(uint8_t plainCode);
  Bytes Disturb(const Bytes& wire);
  void TraceFrame(TraceEvent::Kind kind, const Bytes& frame, uint8_t code, bool antenna);

  // Field (tag_commands.cpp).
  bool MultiAntennaMode() const;
  std::vector<uint8_t> ActiveAntennas() const;
  bool Visible(const Tag& tag, uint8_t antenna) const;
  std::vector<Participant> Participants(bool applyFilters);
  Target SingleTarget();
  Target RecordTarget(const Bytes& record);
  Target AddressedTag(bool byEpc, const Bytes& record);
  TagError CheckWritePower(const Tag& tag) const;
  TagError AdmitChange(Tag& tag, const Bytes& password, bool* secured) const;
  size_t TearLimit(uint8_t plainCode) const;
  static MemoryAccess ReadMemoryAccess(ParamReader& reader);

  // Reader management (reader_commands.cpp).
  void GetPaStatus(const Command& command);
  void GetPower(const Command& command);
  void SetPower(const Command& command);
  void CheckAntenna(const Command& command);
  void ChooseAntenna(const Command& command);
  void GetFrequency(const Command& command);
  void SetFrequency(const Command& command);
  void GetVersion(const Command& command);
  void GetReaderUid(const Command& command);
  void SetTransparent(const Command& command, bool on);
  void StopOperation(const Command& command);
  void EnterSleep(const Command& command);
  void GetRegister(const Command& command);
  void SetRegister(const Command& command);
  void ResetRegister(const Command& command);
  void SaveRegister(const Command& command);

  // Tag memory (tag_commands.cpp).
  void InventorySingleTag(const Command& command);
  void ReadData(const Command& command, bool byEpc);
  void WriteData(const Command& command, bool byEpc);
  void BlockWriteData(const Command& command, bool byEpc);
  void EraseData(const Command& command, bool byEpc);
  void LockMem(const Command& command, bool byEpc);
  void KillTag(const Command& command, bool byEpc);
  void ReplyBlockWrite(const Command& command, bool byEpc, const Tag* tag, const WriteOutcome& outcome);

  // Streams (stream_commands.cpp).
  void StartInventory(const Command& command);
  void StartMultiTagRead(const Command& command);
  void BeginStream(Stream stream);
  void StopStream();
  void EmitNext();
  void SkipDeparted();
  void EmitInventoryReport(const Participant& participant);
  void EmitMultiTagData(const Participant& participant);
  uint64_t StreamIntervalUs() const;

  // Filters (filter_commands.cpp).
  void AddFilter(const Command& command);
  void DeleteFilter(const Command& command);
  void StartGetFilter(const Command& command);
  void SelectFilter(const Command& command);

  // SAM and SR (sam_commands.cpp).
  void SetSam(const Command& command);
  void SamToSr(const Command& command, int part);
  void SetPsamPower(const Command& command);
  void GetSr(const Command& command);
  void WriteSrToTag(const Command& command, bool byEpc);

  // Firmware update (update_commands.cpp).
  void UpdateInit(const Command& command);
  void UpdateSendRn32(const Command& command);
  void UpdateSendSize(const Command& command);
  void UpdateSendData(const Command& command);
  void UpdateCommit(const Command& command);

  std::vector<Tag> tags_;
  Registers registers_;
  FilterTable filters_;
  Sam sam_;
  UpdateSession update_;
  FaultSettings faults_;
  uint8_t antennaCount_;
  uint8_t connected_;
  bool paFault_;
  Bytes version_;
  Bytes uid_;

  CommandDecoder decoder_;
  OutputQueue output_;
  Stream stream_;
  bool sleeping_ = false;
  bool transparent_ = false;
  bool hung_ = false;
  bool hangScheduled_ = false;        // faults_.hangAtUs is still to come
  std::optional<uint64_t> hangEndsUs_;
  uint64_t nowUs_ = 0;
  uint32_t faultHits_ = 0;
  uint32_t rejectedFrames_ = 0;
  std::mt19937 random_;
  TraceSink trace_;
  std::function<void(const RegisterBytes&)> saveSink_;
  std::function<void()> commandSink_;
};

}  // namespace quarn::sim
