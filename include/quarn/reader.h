#pragma once
// The reader on its serial port. A Reader owns the open port: it opens it, closes it when destroyed,
// and runs every command of the reader over it, carrying what happened in each exchange.
//
//     quarn::Reader reader("/dev/ttyUSB0", quarn::Baud::k115200);
//     quarn::TagRecord tag = reader.InventorySingleTag();
//     std::vector<uint8_t> words = reader.ReadData(tag, quarn::MemoryBank::kUser, 0, 2);
//
// Errors. Every call has a throwing form and a form taking std::error_code& last (see quarn/error.h):
// the first throws quarn::Error, the second sets the code and throws nothing but std::bad_alloc where it
// returns owned data. Either way lastError() then holds the call's ErrorDetail: the code, the reply's
// status byte, the reader's error code (with its Gen2 meaning through Gen2ErrorMeaning), and for block
// writes the words written. After a failure the values a call returns are empty or zero, except where a
// call says otherwise (the write outcomes).
//
// Common errors, not repeated below: kNotOpen (the Reader has no port); kPortUnusable, kPortGone,
// kWriteFailed (the port); kNoReply (nothing in time; a real port waits about 3 s at least); kCutOff,
// kBadEscape, kUnescapedHeadOrTail, kWrongTail, kTooLong, kCrcMismatch (a damaged reply); kOtherCommand
// (a reply to something else, or in the other mode); kTooShort (a reply without the bytes the call
// reads); kRefused (the reader said no: lastError().status, and readerErrorCode where the reply carried
// one). Each call names what else it can fail with. Arguments are checked before anything is sent;
// kInvalidArgument names the cause in ErrorDetail::reason.
//
// Modes. Frames go in plain mode unless setCrcMode(true): then each command carries a CRC-16 and its
// code bit 7, and the reader answers in kind. The setting belongs to the Reader, not to each call.
//
// Threads. A Reader must not be used by two threads at once: the frames of two exchanges would
// interleave, and each command discards what waits in the port's input. Different Readers may be used
// on different threads at the same time; nothing is shared between them. A Reader may move between
// threads between calls.
//
// Time. Every call waits a bounded time: 800 ms for reader management, inventory, filters, SAM and
// antennas, 200 ms for register reads, 10 s for tag memory operations, 8 s for firmware data, plus the
// port's read time-out (3050 ms) when nothing arrives at all.
//
// Allocation. The exchanges allocate nothing. Calls that return std::vector (or a value holding one)
// allocate that one vector; each has a form writing into a caller buffer where a loop would otherwise
// allocate on every call (ReadDataInto, ReadMaxDataInto, GetRegistersInto), and streams reuse their
// item.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "quarn/bytes.h"
#include "quarn/config.h"
#include "quarn/error.h"
#include "quarn/filter.h"
#include "quarn/lock.h"
#include "quarn/reader_types.h"
#include "quarn/sam.h"
#include "quarn/streams.h"
#include "quarn/tag.h"
#include "quarn/write_outcome.h"

namespace quarn {

namespace detail {
struct ReaderAccess;
}

// Words read from the single tag in the field, and that tag's record.
struct SingleTagData {
  std::vector<uint8_t> data;
  TagRecord tag;
};

class QUARN_CPP_API Reader {
 public:
  // ---- The port ----

  // A Reader with no port; Open gives it one.
  Reader() noexcept = default;
  // Opens the port (as Open does); throws quarn::Error when it does not open.
  explicit Reader(const std::string& portName, Baud baud = Baud::k115200);
  ~Reader();
  Reader(Reader&& other) noexcept;
  Reader& operator=(Reader&& other) noexcept;
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;

  // Opens the named port exclusively at the baud rate, 8 data bits, no parity, one stop bit, closing
  // the port this Reader held. Names: "/dev/ttyUSB0", or "ttyUSB0" (looked up under /dev/) on Linux;
  // "COM3" on Windows. Errors: kNoSuchPort, kPermissionDenied (on Linux the user must be in the dialout
  // group: `sudo usermod -aG dialout $USER`, then log in again), kBusy (another program has it open),
  // kNotSerialPort, kBadPortName, kBadBaud, kOpenFailed.
  void Open(const std::string& portName, Baud baud = Baud::k115200);
  void Open(const std::string& portName, Baud baud, std::error_code& ec);
  // Closes the port; the Reader can be opened again. Nothing happens when it has none.
  void Close() noexcept;

  bool isOpen() const noexcept;
  const std::string& portName() const noexcept { return portName_; }
  Baud baud() const noexcept { return baud_; }

  // Waits at most `wait` for the reader to send something, and reads nothing: true when bytes wait,
  // false when the wait passed in silence. A stream's next frame, or a receive, after true takes only
  // the frame's own time, where on a silent port it sits out the read time-out (about 3 s). For a loop
  // that must do other work between a stream's frames. A port that is gone fails with kPortGone (the
  // throwing form throws), also when what it sent before has all been read.
  bool WaitForInput(std::chrono::milliseconds wait);
  bool WaitForInput(std::chrono::milliseconds wait, std::error_code& ec);

  // CRC mode for every following command (false: plain frames, the default).
  void setCrcMode(bool on) noexcept { crcMode_ = on; }
  bool crcMode() const noexcept { return crcMode_; }

  // What the last call on this Reader told: its code is empty after a success.
  const ErrorDetail& lastError() const noexcept { return lastError_; }

  // ---- Power, PA status, frequency (code 0x00, 0x01, 0x02, 0x05, 0x06) ----

  // The power amplifier's state. A status other than 0 is the reader's answer, not an error: it comes
  // back in PaStatus (ok() false) rather than as kRefused. After a failure ok() is false too.
  PaStatus GetPaStatus();
  PaStatus GetPaStatus(std::error_code& ec);
  // The RF output power byte. Any reply status with bit 7 clear is success.
  uint8_t GetPower();
  uint8_t GetPower(std::error_code& ec);
  // Sends the two power bytes in this order, unchecked: their meaning is the reader's.
  void SetPower(uint8_t powerParam1, uint8_t powerParam2);
  void SetPower(uint8_t powerParam1, uint8_t powerParam2, std::error_code& ec);
  FrequencyConfig GetFrequency();
  FrequencyConfig GetFrequency(std::error_code& ec);
  void SetFrequency(const FrequencyConfig& config);
  void SetFrequency(const FrequencyConfig& config, std::error_code& ec);

  // ---- Parameter registers (code 0x30 to 0x33) ----
  // 512 bytes, addresses 0x000 to 0x1FF. A refusal is kRefused with the reader's status byte in
  // lastError().status.

  // count bytes from address; count 0 reads to the end of the register space (nothing from 0x200 on).
  std::vector<uint8_t> GetRegisters(uint16_t address, uint16_t count);
  std::vector<uint8_t> GetRegisters(uint16_t address, uint16_t count, std::error_code& ec);
  // The same into out, which must hold the bytes the read copies (kInvalidArgument otherwise, before
  // anything is sent); returns their number.
  size_t GetRegistersInto(uint16_t address, uint16_t count, ByteSpan out);
  size_t GetRegistersInto(uint16_t address, uint16_t count, ByteSpan out, std::error_code& ec);
  // Writes the bytes from address on. At most 2039 bytes (2037 in CRC mode) fit one frame:
  // kCommandTooLong otherwise, with nothing sent.
  void SetRegisters(uint16_t address, ByteView data);
  void SetRegisters(uint16_t address, ByteView data, std::error_code& ec);
  void ResetRegisters();
  void ResetRegisters(std::error_code& ec);
  void SaveRegisters();
  void SaveRegisters(std::error_code& ec);
  // The multi-antenna setting, the register byte at 0x124 that the multi-antenna operations depend on.
  uint8_t GetMultiAntSetting();
  uint8_t GetMultiAntSetting(std::error_code& ec);
  void SetMultiAntSetting(uint8_t setting);
  void SetMultiAntSetting(uint8_t setting, std::error_code& ec);

  // ---- Version, UID, sleep, stop, transparent transfer (code 0x07, 0x0A, 0x50, 0x12, 0x0B/0x1B) ----

  Version GetVersion();
  Version GetVersion(std::error_code& ec);
  ReaderUid GetReaderUid();
  ReaderUid GetReaderUid(std::error_code& ec);
  void EnterSleepMode();
  void EnterSleepMode(std::error_code& ec);
  // Stops what the reader streams. It reads up to five frames for the acknowledgement, skipping the
  // reports still on their way. Streams send this themselves when they end.
  void StopOperation();
  void StopOperation(std::error_code& ec);
  void SetTransparentTransfer(bool on);
  void SetTransparentTransfer(bool on, std::error_code& ec);

  // ---- Antennas (code 0x03, 0x04) ----

  // The reader's antenna check result, its own encoding.
  uint8_t CheckAntenna();
  uint8_t CheckAntenna(std::error_code& ec);
  void ChooseAntenna(uint8_t antenna);
  void ChooseAntenna(uint8_t antenna, std::error_code& ec);

  // ---- Inventory (code 0x10/0x11 and their reports, 0x18) ----

  // The single tag in the field, in one exchange. kRefused when no single tag answered.
  TagRecord InventorySingleTag();
  TagRecord InventorySingleTag(std::error_code& ec);
  // Starts a continuous inventory and returns its stream of tag reports (quarn/streams.h). The start
  // fails with kRefused when the reader does not acknowledge it.
  InventoryStream Inventory(const StreamOptions& options = {});
  InventoryStream Inventory(const StreamOptions& options, std::error_code& ec);
  // The same in antenna reply frames: each report names its antenna. The reader must be in
  // multi-antenna mode (SetMultiAntSetting).
  InventoryStream InventoryForMultiAnt(const StreamOptions& options = {});
  InventoryStream InventoryForMultiAnt(const StreamOptions& options, std::error_code& ec);

  // ---- Reading tag memory (code 0x13, 0x20) ----
  // By EPC: the tag whose record is tag. FromSingleTag: the single tag in the field, whose record comes
  // back. A tag's refusal is kRefused with the reader's error code (a Gen2 code such as 0x03 memory
  // overrun or 0x04 memory locked) in lastError().readerErrorCode.

  // wordCount words (1 to 255; 0 is kInvalidArgument) from start in bank.
  std::vector<uint8_t> ReadData(const TagRecord& tag, MemoryBank bank, WordPointer start, uint8_t wordCount,
                                const Password& password = Password());
  std::vector<uint8_t> ReadData(const TagRecord& tag, MemoryBank bank, WordPointer start, uint8_t wordCount,
                                const Password& password, std::error_code& ec);
  // The same into out, which must hold 2 x wordCount bytes; returns that count.
  size_t ReadDataInto(const TagRecord& tag, MemoryBank bank, WordPointer start, uint8_t wordCount,
                      const Password& password, ByteSpan out);
  size_t ReadDataInto(const TagRecord& tag, MemoryBank bank, WordPointer start, uint8_t wordCount,
                      const Password& password, ByteSpan out, std::error_code& ec);
  SingleTagData ReadDataFromSingleTag(MemoryBank bank, WordPointer start, uint8_t wordCount,
                                      const Password& password = Password());
  SingleTagData ReadDataFromSingleTag(MemoryBank bank, WordPointer start, uint8_t wordCount,
                                      const Password& password, std::error_code& ec);
  // Everything from start to the end of the bank (the reader's "word count 0").
  std::vector<uint8_t> ReadMaxData(const TagRecord& tag, MemoryBank bank, WordPointer start,
                                   const Password& password = Password());
  std::vector<uint8_t> ReadMaxData(const TagRecord& tag, MemoryBank bank, WordPointer start,
                                   const Password& password, std::error_code& ec);
  // The same into out; kInvalidArgument when out cannot hold what the tag sent (the data are then lost:
  // give room for the bank's size). Returns the byte count.
  size_t ReadMaxDataInto(const TagRecord& tag, MemoryBank bank, WordPointer start, const Password& password,
                         ByteSpan out);
  size_t ReadMaxDataInto(const TagRecord& tag, MemoryBank bank, WordPointer start, const Password& password,
                         ByteSpan out, std::error_code& ec);
  SingleTagData ReadMaxDataFromSingleTag(MemoryBank bank, WordPointer start, const Password& password = Password());
  SingleTagData ReadMaxDataFromSingleTag(MemoryBank bank, WordPointer start, const Password& password,
                                         std::error_code& ec);

  // ---- Writing tag memory (code 0x14, 0x21) ----
  // words: 2 bytes a word, high byte first, at most 255 words. The ordinary writes travel in a short
  // frame: kInvalidArgument when the words do not fit it (about 50 words by EPC, 59 to the single tag;
  // the block writes take any count).

  void WriteData(const TagRecord& tag, MemoryBank bank, WordPointer start, ByteView words,
                 const Password& password = Password());
  void WriteData(const TagRecord& tag, MemoryBank bank, WordPointer start, ByteView words, const Password& password,
                 std::error_code& ec);
  // Returns the answering tag's record when the reply carried a whole one.
  std::optional<TagRecord> WriteDataToSingleTag(MemoryBank bank, WordPointer start, ByteView words,
                                                const Password& password = Password());
  std::optional<TagRecord> WriteDataToSingleTag(MemoryBank bank, WordPointer start, ByteView words,
                                                const Password& password, std::error_code& ec);

  // ---- Block writes (code 0x19, 0x25) ----
  // Any number of words up to 255 in one frame. The outcome tells how the write ended, also after a
  // failure: in the error_code form the returned WriteOutcome holds the written word count and the
  // reader's error code; the throwing form's quarn::Error holds them in its detail (writtenWordCount,
  // readerErrorCode). A write that stopped is kRefused; one without a usable reply fails as the exchange
  // did (kNoReply, ...) with WriteStatus::kNoUsableReply.

  // WriteOutcome::tag: the record the tag answers to after the write (words written to the EPC bank
  // change it).
  WriteOutcome BlockWriteData(const TagRecord& tag, MemoryBank bank, WordPointer start, ByteView words,
                              const Password& password = Password());
  WriteOutcome BlockWriteData(const TagRecord& tag, MemoryBank bank, WordPointer start, ByteView words,
                              const Password& password, std::error_code& ec);
  WriteOutcome BlockWriteDataToSingleTag(MemoryBank bank, WordPointer start, ByteView words,
                                         const Password& password = Password());
  WriteOutcome BlockWriteDataToSingleTag(MemoryBank bank, WordPointer start, ByteView words,
                                         const Password& password, std::error_code& ec);
  // Gives the tag a new EPC (0 to 62 bytes, whole words): a new PC word with the EPC's length and the
  // EPC, block-written from EPC bank word 1 on. WriteOutcome::tag is the new record after success.
  WriteOutcome BlockWriteEpc(const TagRecord& tag, ByteView newEpc, const Password& password = Password());
  WriteOutcome BlockWriteEpc(const TagRecord& tag, ByteView newEpc, const Password& password, std::error_code& ec);
  WriteOutcome BlockWriteEpcToSingleTag(ByteView newEpc, const Password& password = Password());
  WriteOutcome BlockWriteEpcToSingleTag(ByteView newEpc, const Password& password, std::error_code& ec);

  // ---- Erase, lock, kill (code 0x15, 0x16, 0x17, 0x22, 0x23, 0x24) ----
  // Refusals as for the reads: kRefused with the reader's error code. The single-tag forms return the
  // answering tag's record.

  void EraseData(const TagRecord& tag, MemoryBank bank, WordPointer start, uint8_t wordCount,
                 const Password& password = Password());
  void EraseData(const TagRecord& tag, MemoryBank bank, WordPointer start, uint8_t wordCount, const Password& password,
                 std::error_code& ec);
  TagRecord EraseDataFromSingleTag(MemoryBank bank, WordPointer start, uint8_t wordCount,
                                   const Password& password = Password());
  TagRecord EraseDataFromSingleTag(MemoryBank bank, WordPointer start, uint8_t wordCount, const Password& password,
                                   std::error_code& ec);
  // payload: a LockSettings (one action per area) or a LockPayload of 3 bytes.
  void Lock(const TagRecord& tag, const LockPayload& payload, const Password& accessPassword);
  void Lock(const TagRecord& tag, const LockPayload& payload, const Password& accessPassword, std::error_code& ec);
  TagRecord LockSingleTag(const LockPayload& payload, const Password& accessPassword);
  TagRecord LockSingleTag(const LockPayload& payload, const Password& accessPassword, std::error_code& ec);
  // Kills the tag for good. A tag whose kill password is 00000000 refuses to be killed.
  void Kill(const TagRecord& tag, const Password& killPassword);
  void Kill(const TagRecord& tag, const Password& killPassword, std::error_code& ec);
  TagRecord KillSingleTag(const Password& killPassword);
  TagRecord KillSingleTag(const Password& killPassword, std::error_code& ec);

  // ---- Multi-tag read (code 0x26 and its data frames) ----

  // Starts a multi-tag read: the reader reads the request's area (and second area) from every tag it
  // meets and streams one data frame per tag. The start fails with kRefused when not acknowledged.
  MultiTagReadStream MultiTagRead(const MultiTagReadRequest& request, const StreamOptions& options = {});
  MultiTagReadStream MultiTagRead(const MultiTagReadRequest& request, const StreamOptions& options,
                                  std::error_code& ec);
  // The same in antenna reply frames (the reader in multi-antenna mode).
  MultiTagReadStream MultiTagReadForMultiAnt(const MultiTagReadRequest& request, const StreamOptions& options = {});
  MultiTagReadStream MultiTagReadForMultiAnt(const MultiTagReadRequest& request, const StreamOptions& options,
                                             std::error_code& ec);

  // ---- Select filters (code 0x38 to 0x3B) ----
  // A refusal is kRefused with the reader's status byte.

  // Sends the filter under filter.index; its wire length is computed here.
  void AddFilter(const Filter& filter);
  void AddFilter(const Filter& filter, std::error_code& ec);
  void DeleteFilter(uint8_t index);
  void DeleteFilter(uint8_t index, std::error_code& ec);
  // option: the reader's, sent uninterpreted.
  void SelectFilter(uint8_t index, uint8_t option);
  void SelectFilter(uint8_t index, uint8_t option, std::error_code& ec);
  // Asks the reader to report its filters (index and option are the reader's: the virtual reader takes
  // option 0 for the one filter at index, 1 for every filter from index on) and returns the reports.
  FilterListing ListFilters(uint8_t index, uint8_t option, const StreamOptions& options = {});
  FilterListing ListFilters(uint8_t index, uint8_t option, const StreamOptions& options, std::error_code& ec);

  // ---- Secure access module (code 0x43 to 0x46, 0x72) ----

  // Passes one short-form command APDU to the SAM: CLA INS P1 P2, then Le (case 2), or Lc and Lc data
  // bytes and an optional Le (cases 3 and 4); at most 125 bytes (123 in CRC mode). Returns the Le
  // response bytes and the status word. The SAM's refusal (reply status 0x81) is kRefused with the
  // status word in lastError().statusWord; the error_code form also returns the response.
  SamResponse SendApdu(ByteView apdu);
  SamResponse SendApdu(ByteView apdu, std::error_code& ec);
  // Passes an APDU whose information the SAM moves into the reader's SR A or SR B; returns the status
  // word alone.
  StatusWord GetInfoSamToSr(SrTarget target, ByteView apdu);
  StatusWord GetInfoSamToSr(SrTarget target, ByteView apdu, std::error_code& ec);
  // 80 bytes of the reader's SR information; srSelect is the reader's, sent unchanged.
  SrInfo GetSr(uint8_t srSelect);
  SrInfo GetSr(uint8_t srSelect, std::error_code& ec);
  // Switches a PSAM slot's power; returns the data the reader reports with its answer (often none).
  std::vector<uint8_t> SetPsamPower(PsamSlot slot, bool on);
  std::vector<uint8_t> SetPsamPower(PsamSlot slot, bool on, std::error_code& ec);

  // ---- SR writes to tags (code 0x70, 0x71) ----
  // The reader writes its SR data into the tag at start in bank. Outcome and errors as for the block
  // writes; WriteOutcome::tag is, for the single tag, the answering tag's record where the reply has one.

  WriteOutcome WriteSrToTag(const TagRecord& tag, MemoryBank bank, WordPointer start, const SrParams& params,
                            const Password& password = Password());
  WriteOutcome WriteSrToTag(const TagRecord& tag, MemoryBank bank, WordPointer start, const SrParams& params,
                            const Password& password, std::error_code& ec);
  WriteOutcome WriteSrToSingleTag(MemoryBank bank, WordPointer start, const SrParams& params,
                                  const Password& password = Password());
  WriteOutcome WriteSrToSingleTag(MemoryBank bank, WordPointer start, const SrParams& params,
                                  const Password& password, std::error_code& ec);

 private:
  friend struct detail::ReaderAccess;

  // The port handle as an integer: a file descriptor on POSIX, a HANDLE's value on Windows.
  static constexpr std::intptr_t kNoPort = -1;
  std::intptr_t port_ = kNoPort;
  std::string portName_;
  Baud baud_ = Baud::k115200;
  bool crcMode_ = false;
  ErrorDetail lastError_;
};

}  // namespace quarn
