// The reader family's results: power, amplifier, frequency, version and UID, registers, sleep,
// transparent transfer and the stop, each failure named as the exchange met it.

#include <gtest/gtest.h>

#include <memory>

#include "outcome_harness.h"
#include "reader/frequency.h"
#include "reader/identity.h"
#include "reader/multi_ant_setting.h"
#include "reader/operating_mode.h"
#include "reader/power.h"
#include "reader/registers.h"
#include "reader/stop_operation.h"

namespace quarn::outcomes {

namespace c = link::commands;

namespace {

FamilyCall Find(const char* name) { return FindCall(ReaderCalls(), name); }

OutcomeCase Reply(const char* what, const char* name, bool crc, const Bytes& payload, Result expected) {
  return ReplyCase(what, Find(name), crc, payload, expected);
}

// Replies that pass the row's checks but lack bytes the call copies.
std::vector<OutcomeCase> ShortReplyCases() {
  std::vector<OutcomeCase> lines;
  for (bool crc : {false, true}) {
    lines.push_back(Reply("status without the power", "GetPower", crc, {0x00}, Fails(Outcome::kTooShort)));
    lines.push_back(Reply("six of seven frequency bytes", "GetFrequency", crc, WithStatus(0x00, {Counting(6, 1)}),
                          Fails(Outcome::kTooShort)));
    lines.push_back(Reply("eight of nine version bytes", "GetVersion", crc, WithStatus(0x00, {Counting(8, 1)}),
                          Fails(Outcome::kTooShort)));
    lines.push_back(Reply("eleven of twelve UID bytes", "GetReaderUid", crc, WithStatus(0x00, {Counting(11, 1)}),
                          Fails(Outcome::kTooShort)));
    lines.push_back(Reply("three of four register bytes", "GetRegister", crc, WithStatus(0x00, {Counting(3, 1)}),
                          Fails(Outcome::kTooShort)));
    lines.push_back(Reply("the multi-antenna byte missing", "GetMultiAntSetting", crc, {0x00},
                          Fails(Outcome::kTooShort)));
  }
  return lines;
}

// Statuses each rule takes or refuses, with what the refusal tells.
std::vector<OutcomeCase> StatusCases() {
  std::vector<OutcomeCase> lines;
  for (bool crc : {false, true}) {
    lines.push_back(Reply("status 0x7F passes bit 7 clear", "GetPower", crc, {0x7F, 0x1E}, Ok(0x7F)));
    lines.push_back(Reply("status 0x81 carries no code here", "GetVersion", crc,
                          WithStatus(0x81, {Counting(9, 1)}), RefusedWith(0x81)));
    lines.push_back(Reply("status 0x01 fails status 0", "GetReaderUid", crc, WithStatus(0x01, {Counting(12, 1)}),
                          RefusedWith(0x01)));
    // The register commands' refusing status is the reader's code.
    lines.push_back(Reply("a register read refused with 0x80", "GetRegister", crc, {0x80}, RefusedWith(0x80, 0x80)));
    lines.push_back(Reply("a register write refused with 0x01", "SetRegister", crc, {0x01}, RefusedWith(0x01, 0x01)));
    lines.push_back(Reply("the multi-antenna write refused", "SetMultiAntSetting", crc, {0x07}, RefusedWith(0x07, 0x07)));
  }
  return lines;
}

// The stop passes over the stream it stops: tag reports use up receives, and the last one tells.
std::vector<OutcomeCase> StopCases() {
  const FamilyCall stop = Find("StopOperation");
  std::vector<OutcomeCase> lines;
  for (bool crc : {false, true}) {
    const uint8_t stopCode = static_cast<uint8_t>(crc ? 0x92 : 0x12);
    const Bytes report = testing::WireReply(static_cast<uint8_t>(crc ? 0x90 : 0x10), WithStatus(0x00, {kRecord}));
    const Bytes ack = testing::WireReply(stopCode, {0x00});
    lines.push_back({"three tag reports, then the acknowledgement", stop,
                     {testing::Join({report, report, report, ack})}, crc, Ok(0x00)});
    lines.push_back({"four tag reports, then the acknowledgement", stop,
                     {testing::Join({report, report, report, report, ack})}, crc, Ok(0x00)});
    lines.push_back({"five tag reports", stop, {testing::Join({report, report, report, report, report})}, crc,
                     Other(static_cast<uint8_t>(crc ? 0x90 : 0x10))});
    lines.push_back({"a tag report, then silence", stop, {report}, crc, Fails(Outcome::kNoReply)});
    lines.push_back({"the port gone after a tag report", stop, {report, Fault::kHangUpAtRead,
                                                                static_cast<int>(report.size()) + 1},
                     crc, Fails(Outcome::kPortGone)});
  }
  return lines;
}

struct RegisterWrite {
  int32_t count;
  bool crc;
  Outcome outcome;  // silence answers every frame that goes out
};

// The write's data fill the command buffer: 2039 bytes in plain mode and 2037 in CRC mode still go out.
const RegisterWrite kRegisterWrites[] = {
    {2039, false, Outcome::kNoReply},       {2040, false, Outcome::kCommandTooLong},
    {2037, true, Outcome::kNoReply},        {2038, true, Outcome::kCommandTooLong},
    {5000, false, Outcome::kCommandTooLong}, {0, false, Outcome::kNoReply},
    {-1, true, Outcome::kNoReply},
};

}  // namespace

const std::vector<FamilyCall>& ReaderCalls() {
  static const std::vector<FamilyCall> calls = {
      {"GetPaStatus", &c::kGetPaStatus,
       [](FakePort& p, Sink& s, uint32_t crc) { return reader::GetPaStatus(p.handle(), s.bytes[0], crc); }, {0x00},
       Refusal{{0x01}}},
      {"GetPower", &c::kGetPower,
       [](FakePort& p, Sink& s, uint32_t crc) { return reader::GetPower(p.handle(), s.bytes[0], crc); }, {0x00, 0x1E},
       Refusal{{0x80, 0x1E}}},
      {"SetPower", &c::kSetPower,
       [](FakePort& p, Sink&, uint32_t crc) { return reader::SetPower(p.handle(), 0x1E, 0x1A, crc); }, {0x00},
       Refusal{{0x80}}},
      {"GetFrequency", &c::kGetFrequency,
       [](FakePort& p, Sink& s, uint32_t crc) {
         return reader::GetFrequency(p.handle(), {s.bytes[0], s.bytes[1], s.bytes[2], s.bytes[3], s.bytes[4], s.bytes[5]},
                                     crc);
       },
       WithStatus(0x00, {Counting(7, 1)}), Refusal{{0xC0}}},
      {"SetFrequency", &c::kSetFrequency,
       [](FakePort& p, Sink&, uint32_t crc) {
         static const uint8_t freq23[2] = {0x02, 0x03};
         return reader::SetFrequency(p.handle(), {0x01, 0x02, freq23, 0x04, 0x05, 0x06}, crc);
       },
       {0x00}, Refusal{{0x80}}},
      {"GetVersion", &c::kGetVersion,
       [](FakePort& p, Sink& s, uint32_t crc) { return reader::GetVersion(p.handle(), s.bytes[0], s.bytes[1], crc); },
       WithStatus(0x00, {Counting(9, 0x31)}), Refusal{{0x80}}},
      {"GetReaderUid", &c::kGetReaderUid,
       [](FakePort& p, Sink& s, uint32_t crc) { return reader::GetReaderUid(p.handle(), s.bytes[0], crc); },
       WithStatus(0x00, {Counting(12, 0x50)}), Refusal{{0x02}}},
      {"GetRegister", &c::kGetRegister,
       [](FakePort& p, Sink& s, uint32_t crc) {
         return reader::GetRegister(p.handle(), 0x10, 4, s.bytes[0], s.bytes[1], crc);
       },
       WithStatus(0x00, {Counting(4, 1)}), Refusal{{0x05}, 0x05}},
      {"SetRegister", &c::kSetRegister,
       [](FakePort& p, Sink& s, uint32_t crc) {
         return reader::SetRegister(p.handle(), 0x20, 4, kWords, s.bytes[0], crc);
       },
       {0x00}, Refusal{{0x03}, 0x03}},
      {"ResetRegister", &c::kResetRegister,
       [](FakePort& p, Sink&, uint32_t crc) { return reader::ResetRegister(p.handle(), crc); }, {0x00},
       Refusal{{0x01}}},
      {"SaveRegister", &c::kSaveRegister,
       [](FakePort& p, Sink&, uint32_t crc) { return reader::SaveRegister(p.handle(), crc); }, {0x00},
       Refusal{{0x80}}},
      {"SetMultiAntSetting", &c::kSetRegister,
       [](FakePort& p, Sink&, uint32_t crc) {
         static const uint8_t setting[1] = {0x03};
         return reader::SetMultiAntSetting(p.handle(), setting, crc);
       },
       {0x00}, Refusal{{0x02}, 0x02}},
      {"GetMultiAntSetting", &c::kGetRegister,
       [](FakePort& p, Sink& s, uint32_t crc) { return reader::GetMultiAntSetting(p.handle(), s.bytes[0], crc); },
       {0x00, 0x03}, Refusal{{0x02}, 0x02}},
      {"EnterSleepMode", &c::kEnterSleepMode,
       [](FakePort& p, Sink&, uint32_t crc) { return reader::EnterSleepMode(p.handle(), crc); }, {0x00},
       Refusal{{0x01}}},
      {"SetTransparentTransfer on", &c::kEnterTransparentTransfer,
       [](FakePort& p, Sink& s, uint32_t crc) { return reader::SetTransparentTransfer(p.handle(), 1, s.bytes[0], crc); },
       {0x00}, Refusal{{0x01}}},
      {"SetTransparentTransfer off", &c::kLeaveTransparentTransfer,
       [](FakePort& p, Sink& s, uint32_t crc) {
         return reader::SetTransparentTransfer(p.handle(), 0x100, s.bytes[0], crc);
       },
       {0x00}, Refusal{{0x80}}},
      {"StopOperation", &c::kStopOperation,
       [](FakePort& p, Sink&, uint32_t crc) { return reader::StopOperation(p.handle(), crc); }, {0x00},
       Refusal{{0x80}}},
  };
  return calls;
}

TEST(ReaderOutcomes, EveryCallNamesEachFaultOfThePortTheLineAndTheFrame) {
  for (const FamilyCall& call : ReaderCalls()) ExpectCases(LineCases(call));
}

TEST(ReaderOutcomes, AReplyWithoutTheBytesACallCopiesIsTooShort) { ExpectCases(ShortReplyCases()); }

TEST(ReaderOutcomes, RefusalsCarryTheStatusAndTheRegisterCode) { ExpectCases(StatusCases()); }

TEST(ReaderOutcomes, TheStopReportsItsFirstUnexpectedFrameElseWhatItsLastReceiveMet) { ExpectCases(StopCases()); }

TEST(ReaderOutcomes, ARefusedStopIsReportedAsRefused) {
  const FamilyCall stop = Find("StopOperation");
  for (bool crc : {false, true}) {
    ExpectCase({"a refusal, then silence", stop, {testing::WireReply(crc ? 0x92 : 0x12, {0x80})}, crc,
                RefusedWith(0x80)});
  }
}

TEST(ReaderOutcomes, ARegisterWriteTooLongForTheCommandBufferSendsNothing) {
  auto data = std::make_unique<uint8_t[]>(5000);
  for (const RegisterWrite& write : kRegisterWrites) {
    SCOPED_TRACE(std::to_string(write.count) + (write.crc ? " bytes, CRC mode" : " bytes, plain mode"));
    FakePort port;
    uint8_t errorCode = 0x5A;
    const Result result =
        reader::SetRegister(port.handle(), 0x00, write.count, data.get(), &errorCode, write.crc ? 1 : 0);
    EXPECT_TRUE(SameResult(result, Fails(write.outcome)));
    EXPECT_EQ(port.writeCalls() == 0, write.outcome == Outcome::kCommandTooLong);
    // errorCode is 0xFF when nothing went out, and keeps its value after no reply.
    EXPECT_EQ(errorCode, write.outcome == Outcome::kCommandTooLong ? 0xFF : 0x5A);
  }
}

TEST(ReaderOutcomes, TheTableCoversEveryOutcomeTheFamilyCanMeet) {
  std::vector<OutcomeCase> all;
  for (const FamilyCall& call : ReaderCalls()) {
    for (auto part : {LineCases(call), RowCases(call)}) all.insert(all.end(), part.begin(), part.end());
  }
  for (auto part : {ShortReplyCases(), StatusCases(), StopCases()}) all.insert(all.end(), part.begin(), part.end());
  // kCommandTooLong is the register write's, above; no reader command takes an argument it refuses.
  ExpectCovered(all, {Outcome::kSuccess, Outcome::kPortUnusable, Outcome::kPortGone, Outcome::kWriteFailed,
                      Outcome::kNoReply, Outcome::kCutOff, Outcome::kBadEscape, Outcome::kUnescapedHeadOrTail,
                      Outcome::kWrongTail, Outcome::kTooLong, Outcome::kCrcMismatch, Outcome::kOtherCommand,
                      Outcome::kRefused, Outcome::kTooShort});
}

}  // namespace quarn::outcomes
