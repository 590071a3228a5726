#pragma once
// Every command export of the library as a row: how to call it on a FakePort with each caller buffer an
// exact-size heap allocation of the size the header documents, a good reply to that call, and what the
// header promises about each buffer on the failure paths. The hostile-reply table, the fault count-down
// and the reply fuzzer all walk these rows, so an export is covered by each of them once it is here.
//
// The fuzzer picks a row by its index: append new rows at the end, so that committed seeds keep
// pointing at the export they were written for.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fake_serial.h"
#include "link/outcome.h"
#include "quarn_api.h"

namespace quarn::testing {

// What every caller buffer holds before a call; no good reply carries this byte.
inline constexpr uint8_t kCallSentinel = 0xC5;

// What a buffer may do when the call fails.
enum class OnFailure {
  kKept,     // the header promises the caller's contents survive every failure
  kWritten,  // the header names it for failure paths (errorCode, writeStatus, status, ...)
};

struct OutBuffer {
  const char* name;
  size_t size;
  OnFailure onFailure = OnFailure::kKept;
  // kWritten only: its whole contents after no usable reply (silence, a frame error, a failed send);
  // nullopt where the header fixes no value. A kKept buffer keeps the sentinel there as everywhere.
  std::optional<Bytes> noReply = std::nullopt;
};

// How a reply status fares under an export's status rule, the rest of the good reply unchanged.
enum class StatusOutcome {
  kFails,           // result 0, kKept buffers untouched
  kSucceeds,        // result 1
  kWritesNothing,   // result 1 and no buffer touched (a stream frame the export passes over)
  kDependsOnData,   // the status changes how the data are read: 0 or 1, and untouched on 0
};

// The reply that answers a call: plain code, payload (status byte then data), and its frame form.
struct ReplyShape {
  uint8_t code = 0;        // the plain-mode code; CRC mode sets bit 7
  Bytes payload;           // status byte, then the reply data
  bool antenna = false;    // an antenna reply frame (marker 0xFE and antenna number before the code)
  uint8_t antennaNumber = 0;
  bool twoByteForm = false;  // sent in the two-byte length form even when short
};

// The exact-size caller buffers of one call, each pre-filled with kCallSentinel. In builds without
// AddressSanitizer a guard zone follows each buffer, so an overrun is still seen by Intact().
class CallBuffers {
 public:
  explicit CallBuffers(const std::vector<OutBuffer>& layout);
  CallBuffers(const CallBuffers&) = delete;
  CallBuffers& operator=(const CallBuffers&) = delete;

  uint8_t* operator[](size_t index) { return buffers_[index].get(); }
  int* AsInt(size_t index) { return reinterpret_cast<int*>(buffers_[index].get()); }
  size_t count() const { return sizes_.size(); }
  Bytes Contents(size_t index) const;
  bool Untouched(size_t index) const;  // still all sentinel
  bool GuardsIntact() const;           // nothing written past any buffer

 private:
  std::vector<std::unique_ptr<uint8_t[]>> buffers_;
  std::vector<size_t> sizes_;
};

// An input the export reads, as an exact-size heap copy: reading past it is an overrun too.
std::unique_ptr<uint8_t[]> HeapInput(const Bytes& bytes);

struct ExportEntry {
  std::string name;  // the export, with a word after it for a second variant of one export
  std::vector<OutBuffer> outs;
  // Runs the export once on port; crcFlag 0 or 1. Receive-only exports ignore crcFlag.
  int (*call)(FakePort& port, CallBuffers& out, int crcFlag);
  // The same call through its command family, with the same arguments and buffers: the outcome whose
  // ok() the export's 1 or 0 must be, with the same out-parameters written.
  link::Result (*family)(FakePort& port, CallBuffers& out, int crcFlag);
  // A good reply to that call in either mode (for receive-only exports: a frame in that mode's form).
  ReplyShape (*goodReply)(bool crcMode);
  bool receiveOnly = false;
  uint32_t timeLimitMs = 800;
  int receives = 1;  // receive attempts of one call (UhfStopOperation makes five)
  // Whether the reply is read at the positions its own length field gives, so that the same payload in
  // the two-byte length form is a good reply as well.
  bool readsEitherLengthForm = false;
  // Whether a reply in the other mode (bit 7 of the code flipped) still passes.
  bool acceptsEitherMode = false;
  // Whether a reply echoing another code still writes the byte in its status position to a kWritten
  // buffer (the SAM, update and three filter commands); otherwise such a reply is no usable reply.
  bool wrongCodeReportsStatus = false;
  StatusOutcome (*statusOutcome)(uint8_t status);
  // Reply data offset of a tag record that the export sizes by its first byte; -1 when none.
  int recordAt = -1;
  // Whether the good reply minus its last data byte must fail (the export copies a fixed or announced
  // amount); false for exports that copy whatever data arrived.
  bool shortDataFails = true;
};

// The catalog: one row per command export (the port, conversion and LockGenCode exports are not
// here), plus a few second variants of exports whose replies come in a long form too.
const std::vector<ExportEntry>& ExportCatalog();
const ExportEntry* FindExport(const std::string& name);

// The unstuffed frame of a reply shape in one mode; code and CRC follow the mode.
Bytes ShapeFrame(const ReplyShape& shape, bool crcMode);
// What the reader puts on the wire for it.
Bytes ShapeWire(const ReplyShape& shape, bool crcMode);

// Scripts reply bytes for one call of entry: released by the command for command exports, already
// waiting for receive-only ones.
void ScriptReply(FakePort& port, const ExportEntry& entry, const Bytes& wire, uint32_t gapMs = 0);

// A buffer's contents with the handle of port (the update start's portHandleOut) written as zeros, so
// that the outputs of calls on two ports compare.
Bytes PortlessContents(const CallBuffers& out, size_t index, const FakePort& port);

// The outcome's name as the code spells it, for messages.
const char* OutcomeName(link::Outcome outcome);

// The most virtual time one call may take when wireBytes arrive gapMs apart: each receive may run to
// its limit plus one empty read of the port, and every byte of a frame once begun may take its gap.
uint32_t TimeBound(const ExportEntry& entry, size_t wireBytes, uint32_t gapMs);

}  // namespace quarn::testing
