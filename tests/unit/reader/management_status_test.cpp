// The reply checks shared by the reader-management and antenna-choice exports: the echoed code with
// bit 7, each export's status rule at its edges, the time limit, and outputs left alone on failure.

#include <gtest/gtest.h>

#include <cstring>

#include "fake_serial.h"
#include "quarn_api.h"

namespace {

using quarn::testing::Bytes;
using quarn::testing::FakePort;
using quarn::testing::Join;
using quarn::testing::WireReply;

constexpr uint8_t kSentinel = 0xEE;

// Every caller buffer a call may write, pre-filled so that any write shows.
struct Outputs {
  unsigned char bytes[32];
  unsigned char errorCode = kSentinel;
  Outputs() { std::memset(bytes, kSentinel, sizeof bytes); }
  bool BytesUntouched() const {
    for (unsigned char b : bytes) {
      if (b != kSentinel) return false;
    }
    return true;
  }
};

enum class Rule { kZero, kErrorBitClear };
// How errorCode reports: not at all, the read (0xFF after no usable reply), the write (untouched then).
enum class ErrorCodeUse { kNone, kRead, kWrite };

using Call = int (*)(PortHandle port, int crcFlag, Outputs& out);

struct ExportRow {
  const char* name;
  uint8_t code;
  Rule rule;
  uint32_t timeLimitMs;  // 0: the stop operation, whose receives are tested on their own
  ErrorCodeUse errorCodeUse;
  Call call;
};

const unsigned char kTwoBytes[2] = {0x01, 0x02};

const ExportRow kRows[] = {
    {"GetPaStatus", 0x00, Rule::kZero, 800, ErrorCodeUse::kNone,
     [](PortHandle p, int c, Outputs& o) { return UhfGetPaStatus(p, o.bytes, c); }},
    {"GetPower", 0x01, Rule::kErrorBitClear, 800, ErrorCodeUse::kNone,
     [](PortHandle p, int c, Outputs& o) { return UhfGetPower(p, o.bytes, c); }},
    {"SetPower", 0x02, Rule::kErrorBitClear, 800, ErrorCodeUse::kNone,
     [](PortHandle p, int c, Outputs&) { return UhfSetPower(p, 1, 2, c); }},
    {"GetFrequency", 0x05, Rule::kErrorBitClear, 800, ErrorCodeUse::kNone,
     [](PortHandle p, int c, Outputs& o) {
       return UhfGetFrequency(p, o.bytes, o.bytes + 1, o.bytes + 2, o.bytes + 4, o.bytes + 5, o.bytes + 6, c);
     }},
    {"SetFrequency", 0x06, Rule::kErrorBitClear, 800, ErrorCodeUse::kNone,
     [](PortHandle p, int c, Outputs&) { return UhfSetFrequency(p, 1, 2, kTwoBytes, 4, 5, 6, c); }},
    {"GetRegister", 0x30, Rule::kZero, 200, ErrorCodeUse::kRead,
     [](PortHandle p, int c, Outputs& o) { return UhfGetRegister(p, 0x10, 2, &o.errorCode, o.bytes, c); }},
    {"SetRegister", 0x31, Rule::kZero, 800, ErrorCodeUse::kWrite,
     [](PortHandle p, int c, Outputs& o) { return UhfSetRegister(p, 0x10, 2, kTwoBytes, &o.errorCode, c); }},
    {"ResetRegister", 0x32, Rule::kZero, 800, ErrorCodeUse::kNone,
     [](PortHandle p, int c, Outputs&) { return UhfResetRegister(p, c); }},
    {"SaveRegister", 0x33, Rule::kZero, 800, ErrorCodeUse::kNone,
     [](PortHandle p, int c, Outputs&) { return UhfSaveRegister(p, c); }},
    {"SetMultiANT", 0x31, Rule::kZero, 800, ErrorCodeUse::kNone,
     [](PortHandle p, int c, Outputs&) { return UhfSetMultiANT(p, kTwoBytes, c); }},
    {"GetMultiANT", 0x30, Rule::kZero, 200, ErrorCodeUse::kNone,
     [](PortHandle p, int c, Outputs& o) { return UhfGetMultiANT(p, o.bytes, c); }},
    {"GetVersion", 0x07, Rule::kErrorBitClear, 800, ErrorCodeUse::kNone,
     [](PortHandle p, int c, Outputs& o) { return UhfGetVersion(p, o.bytes, o.bytes + 6, c); }},
    {"GetReaderUID", 0x0A, Rule::kZero, 800, ErrorCodeUse::kNone,
     [](PortHandle p, int c, Outputs& o) { return UhfGetReaderUID(p, o.bytes, c); }},
    {"EnterSleepMode", 0x50, Rule::kZero, 800, ErrorCodeUse::kNone,
     [](PortHandle p, int c, Outputs&) { return UhfEnterSleepMode(p, c); }},
    {"StopOperation", 0x12, Rule::kErrorBitClear, 0, ErrorCodeUse::kNone,
     [](PortHandle p, int c, Outputs&) { return UhfStopOperation(p, c); }},
    {"TransparentOn", 0x0B, Rule::kZero, 800, ErrorCodeUse::kNone,
     [](PortHandle p, int c, Outputs& o) { return UhfSetTransparentTransfer(p, 1, o.bytes, c); }},
    {"TransparentOff", 0x1B, Rule::kZero, 800, ErrorCodeUse::kNone,
     [](PortHandle p, int c, Outputs& o) { return UhfSetTransparentTransfer(p, 0, o.bytes, c); }},
    {"CheckANT", 0x03, Rule::kZero, 800, ErrorCodeUse::kNone,
     [](PortHandle p, int c, Outputs& o) { return UhfCheckANT(p, o.bytes, c); }},
    {"ChooseANT", 0x04, Rule::kZero, 800, ErrorCodeUse::kNone,
     [](PortHandle p, int c, Outputs&) { return UhfChooseANT(p, 1, c); }},
};

uint8_t WireCode(uint8_t code, int crcFlag) { return crcFlag ? static_cast<uint8_t>(code | 0x80) : code; }

// Enough reply data for every export's copy.
Bytes ReplyPayload(uint8_t status) {
  Bytes payload{status};
  for (uint8_t k = 0; k < 12; ++k) payload.push_back(static_cast<uint8_t>(0x40 + k));
  return payload;
}

bool Passes(Rule rule, uint8_t status) { return rule == Rule::kZero ? status == 0 : (status & 0x80) == 0; }

TEST(ManagementStatus, EachRuleAtItsEdgesInBothModes) {
  for (const ExportRow& row : kRows) {
    for (int crcFlag : {0, 1}) {
      for (uint8_t status : {0x00, 0x01, 0x7E, 0x80, 0x81}) {
        FakePort port;
        Outputs out;
        port.ReplyToNextCommand(WireReply(WireCode(row.code, crcFlag), ReplyPayload(status)));
        const bool passes = Passes(row.rule, status);
        EXPECT_EQ(row.call(port.handle(), crcFlag, out), passes ? 1 : 0)
            << row.name << " crcFlag " << crcFlag << " status " << int(status);
        if (!passes) EXPECT_TRUE(out.BytesUntouched()) << row.name << " status " << int(status);
        const int expectedCode = row.errorCodeUse == ErrorCodeUse::kNone ? kSentinel : passes ? 0 : status;
        EXPECT_EQ(out.errorCode, expectedCode) << row.name << " status " << int(status);
      }
    }
  }
}

// A reply that is not this command's: another code, the other mode, nothing at all, a dead port.
TEST(ManagementStatus, NoUsableReplyFailsAndWritesOnlyTheReadErrorCode) {
  struct Fault {
    const char* name;
    void (*script)(FakePort& port, uint8_t wireCode);
  };
  const Fault faults[] = {
      {"other code", [](FakePort& p, uint8_t code) { p.ReplyToNextCommand(WireReply(code ^ 0x08, ReplyPayload(0))); }},
      {"other mode", [](FakePort& p, uint8_t code) { p.ReplyToNextCommand(WireReply(code ^ 0x80, ReplyPayload(0))); }},
      {"silence", [](FakePort&, uint8_t) {}},
      {"hung up", [](FakePort& p, uint8_t) { p.HangUp(); }},
      {"status only", [](FakePort& p, uint8_t code) { p.ReplyToNextCommand(WireReply(code, {})); }},
  };
  for (const ExportRow& row : kRows) {
    for (int crcFlag : {0, 1}) {
      for (const Fault& fault : faults) {
        FakePort port;
        Outputs out;
        fault.script(port, WireCode(row.code, crcFlag));
        EXPECT_EQ(row.call(port.handle(), crcFlag, out), 0) << row.name << " " << fault.name << " " << crcFlag;
        EXPECT_TRUE(out.BytesUntouched()) << row.name << " " << fault.name;
        EXPECT_EQ(out.errorCode, row.errorCodeUse == ErrorCodeUse::kRead ? 0xFF : kSentinel)
            << row.name << " " << fault.name;
      }
    }
  }
}

// Noise before the head for longer than the limit ends the hunt; a head just inside it is taken.
TEST(ManagementStatus, EachExportWaitsForItsOwnTimeLimit) {
  constexpr uint32_t kGapMs = 10;
  for (const ExportRow& row : kRows) {
    if (row.timeLimitMs == 0) continue;
    for (uint32_t noiseMs : {row.timeLimitMs - 50, row.timeLimitMs + 50}) {
      FakePort port;
      Outputs out;
      const Bytes noise(noiseMs / kGapMs, 0x00);
      port.ReplyToNextCommand(Join({noise, WireReply(row.code, ReplyPayload(0))}), kGapMs);
      EXPECT_EQ(row.call(port.handle(), 0, out), noiseMs < row.timeLimitMs ? 1 : 0) << row.name << " " << noiseMs;
    }
  }
}

TEST(ManagementStatus, EachExportMakesOneSendAndReadsOneFrame) {
  for (const ExportRow& row : kRows) {
    if (row.timeLimitMs == 0) continue;
    FakePort port;
    Outputs out;
    port.ReplyToNextCommand(Join({WireReply(row.code ^ 0x08, ReplyPayload(0)), WireReply(row.code, ReplyPayload(0))}));
    EXPECT_EQ(row.call(port.handle(), 0, out), 0) << row.name;
    EXPECT_EQ(port.commands().size(), 1u) << row.name;
    EXPECT_GT(port.pendingInput(), 0u) << row.name << " read on past the first frame";
  }
}

}  // namespace
