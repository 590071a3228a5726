#pragma once
// What the outcome tables share: a family call with the command row it exercises and a good reply, the
// fake port's side of one case (reply bytes and a fault of the line), and the comparison of a Result
// field by field. Every family's test file lists its calls through this header, so one generator gives
// each of them the faults of the port, the line and the frame, and the row table walks all of them.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "export_catalog.h"
#include "fake_serial.h"
#include "link/command_table.h"
#include "link/outcome.h"
#include "quarn_api.h"

namespace quarn::outcomes {

using link::Outcome;
using link::Result;
using testing::Bytes;
using testing::FakePort;
using testing::OutcomeName;

// Room for every output a family call writes, more than any of them needs; the tables check results,
// the reliability ring checks buffers.
struct Sink {
  uint8_t bytes[8][2048] = {};
  int number = 0;
  FilterRecord filter = {};
  PortHandle handle = QUARN_INVALID_PORT;
};

using Run = Result (*)(FakePort& port, Sink& sink, uint32_t crcFlag);

// A refusal of a call's row: the reply payload (status first) and the error code it must report.
struct Refusal {
  Bytes payload;
  uint8_t errorCode = link::kNoErrorCode;
};

// One family function, called with fixed arguments, and the row of the command table it sends (or, for
// a receive-only call, takes).
struct FamilyCall {
  const char* name;
  const link::CommandSpec* row;
  Run run;
  Bytes goodPayload;  // status, then data
  std::optional<Refusal> refusal = std::nullopt;  // none where the row's status rule refuses nothing
};

bool ReceiveOnly(const FamilyCall& call);

// The unstuffed reply frame to call in a mode: the row's code (bit 7 in CRC mode), an antenna frame
// (marker 0xFE, antenna 1) for rows answered in one, and payload.
Bytes ReplyFrameFor(const FamilyCall& call, bool crc, const Bytes& payload);
Bytes ReplyFrameFor(const FamilyCall& call, bool crc, uint8_t code, const Bytes& payload);
Bytes GoodWire(const FamilyCall& call, bool crc);

// A reply payload: the status, then the parts of the data.
Bytes WithStatus(uint8_t status, std::initializer_list<Bytes> parts = {});
// count bytes counting up from first.
Bytes Counting(size_t count, uint8_t first);

// The fake port's side of one case.
enum class Fault {
  kNone,
  kHangUpFirst,    // the device is gone before the call
  kHangUpAtRead,   // the device goes away at read n
  kUnusable,       // the handle is no open port
  kFailWrite,      // write n fails
  kFailRead,       // read n fails, the device stays
};

struct Scene {
  Bytes wire;  // released by the command, or already waiting for a receive-only call
  Fault fault = Fault::kNone;
  int n = 0;
  uint32_t gapMs = 0;
};

// Runs call once on a fresh fake port set up by scene; *writes receives the count of bytes written.
Result RunScene(const FamilyCall& call, const Scene& scene, bool crc, int* writes = nullptr);

// One line of an outcome table.
struct OutcomeCase {
  std::string what;
  FamilyCall call;
  Scene scene;
  bool crc;
  Result expected;
};

// The call of that name in a family's list.
FamilyCall FindCall(const std::vector<FamilyCall>& calls, const char* name);
// A case whose reply is call's frame around payload.
OutcomeCase ReplyCase(const char* what, const FamilyCall& call, bool crc, const Bytes& payload, Result expected);

// Field by field, with the outcome named.
::testing::AssertionResult SameResult(const Result& actual, const Result& expected);

void ExpectCase(const OutcomeCase& line);
void ExpectCases(const std::vector<OutcomeCase>& lines);

// The expected results, by what the reply told.
Result Ok(uint8_t status);
Result RefusedWith(uint8_t status, uint8_t errorCode = link::kNoErrorCode);
Result Other(uint8_t code);
Result Fails(Outcome outcome);

// The faults of the port, the line and the frame, for any call and its good reply, in both modes:
// no reply, noise, each framing fault, a CRC mismatch, the port gone before the call, while hunting and
// in the middle of the frame, an unusable port, a failed read while hunting and mid-frame, and (commands
// only) a write failing at the first, a middle and the last byte of the command.
std::vector<OutcomeCase> LineCases(const FamilyCall& call);

// The reply checks of the call's row in both modes: its good reply, no reply, another command's reply
// (and, for the stop, such replies to every receive), and its refusal where the row has one.
std::vector<OutcomeCase> RowCases(const FamilyCall& call);

// Outcomes named by at least one line of the table.
std::vector<Outcome> OutcomesIn(const std::vector<OutcomeCase>& lines);
// Fails for every outcome of wanted that no line of the table expects.
void ExpectCovered(const std::vector<OutcomeCase>& lines, const std::vector<Outcome>& wanted);

// Every family's calls (each family's test file defines its own).
const std::vector<FamilyCall>& ReaderCalls();
const std::vector<FamilyCall>& TagCalls();
const std::vector<FamilyCall>& AntennaCalls();
const std::vector<FamilyCall>& UpdateCalls();
const std::vector<FamilyCall>& SamCalls();

// Inputs the calls share: a six-word EPC whose bytes need escaping, a record in replies, a password.
extern const Bytes kEpc;
extern const Bytes kRecord;
extern const uint8_t kPassword[4];
extern const uint8_t kWordPointer[1];
extern const uint8_t kWords[8];

// The port name an update call opens the fake by.
inline constexpr const char* kUpdatePortName = "outcomes-update-port";

}  // namespace quarn::outcomes
