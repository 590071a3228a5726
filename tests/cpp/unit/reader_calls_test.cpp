// Every Reader call over the fake port: what each kind of reply becomes (a value, or the error with the
// facts the reply told), in both modes and both error forms.

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "fake_reader.h"
#include "quarn/quarn.h"

namespace {

using quarn::Errc;
using quarn::MemoryBank;
using quarn::Password;
using quarn::Reader;
using quarn::testing::Bytes;
using quarn::testing::FakeReader;
using quarn::testing::Join;

const Bytes kRecord = {0x30, 0x00, 0xE2, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA};
const Bytes kApduCase1 = {0x00, 0xA4, 0x04, 0x00};

quarn::TagRecord Tag() { return quarn::TagRecord::FromBytes(kRecord); }

Bytes Filled(size_t count, uint8_t value) { return Bytes(count, value); }

// One call with the reply that makes it succeed and one that the reader refuses, and what that refusal
// must tell. The call is written once, generically, and runs in both error forms.
struct CallRow {
  std::string name;
  uint8_t code;
  Bytes good;
  Bytes refused;
  std::optional<uint8_t> status;           // the refusal's status byte in the detail
  std::optional<uint8_t> readerErrorCode;  // and the reader's error code
  bool stream = false;                     // a stream's start: the good case owes a stop
  std::function<void(Reader&, std::error_code&)> withCode;
  std::function<void(Reader&)> throwing;
};

template <typename F>
CallRow Row(std::string name, uint8_t code, Bytes good, Bytes refused, std::optional<uint8_t> status,
            std::optional<uint8_t> readerErrorCode, F call) {
  return {std::move(name),
          code,
          std::move(good),
          std::move(refused),
          status,
          readerErrorCode,
          false,
          [call](Reader& reader, std::error_code& ec) { call(reader, ec); },
          [call](Reader& reader) { call(reader); }};
}

template <typename F>
CallRow StreamRow(std::string name, uint8_t code, F call) {
  CallRow row = Row(std::move(name), code, {0x01}, {0x00}, 0x00, std::nullopt, call);
  row.stream = true;
  return row;
}

std::vector<CallRow> Calls() {
  const Bytes tagData = {0x00, 0xCA, 0xFE, 0xF0, 0x0D};
  return {
      Row("GetPower", 0x01, {0x00, 0x1A}, {0x80}, 0x80, std::nullopt,
          [](Reader& r, auto&... ec) { r.GetPower(ec...); }),
      Row("SetPower", 0x02, {0x00}, {0x80}, 0x80, std::nullopt, [](Reader& r, auto&... ec) { r.SetPower(20, 22, ec...); }),
      Row("GetFrequency", 0x05, Join({{0x00}, Filled(7, 3)}), {0x80}, 0x80, std::nullopt,
          [](Reader& r, auto&... ec) { r.GetFrequency(ec...); }),
      Row("SetFrequency", 0x06, {0x00}, {0x81}, 0x81, std::nullopt,
          [](Reader& r, auto&... ec) { r.SetFrequency(quarn::FrequencyConfig{}, ec...); }),
      Row("GetRegisters", 0x30, {0x00, 0x05}, {0x05}, 0x05, std::nullopt,
          [](Reader& r, auto&... ec) { r.GetRegisters(0x124, 1, ec...); }),
      Row("SetRegisters", 0x31, {0x00}, {0x03}, 0x03, std::nullopt,
          [](Reader& r, auto&... ec) { r.SetRegisters(0x100, Bytes{1, 2, 3}, ec...); }),
      Row("ResetRegisters", 0x32, {0x00}, {0x01}, 0x01, std::nullopt,
          [](Reader& r, auto&... ec) { r.ResetRegisters(ec...); }),
      Row("SaveRegisters", 0x33, {0x00}, {0x01}, 0x01, std::nullopt, [](Reader& r, auto&... ec) { r.SaveRegisters(ec...); }),
      Row("GetMultiAntSetting", 0x30, {0x00, 0x03}, {0x02}, 0x02, std::nullopt,
          [](Reader& r, auto&... ec) { r.GetMultiAntSetting(ec...); }),
      Row("SetMultiAntSetting", 0x31, {0x00}, {0x02}, 0x02, std::nullopt,
          [](Reader& r, auto&... ec) { r.SetMultiAntSetting(3, ec...); }),
      Row("GetVersion", 0x07, Join({{0x00}, Filled(9, 0x51)}), {0x80}, 0x80, std::nullopt,
          [](Reader& r, auto&... ec) { r.GetVersion(ec...); }),
      Row("GetReaderUid", 0x0A, Join({{0x00}, Filled(12, 0x02)}), {0x01}, 0x01, std::nullopt,
          [](Reader& r, auto&... ec) { r.GetReaderUid(ec...); }),
      Row("EnterSleepMode", 0x50, {0x00}, {0x01}, 0x01, std::nullopt, [](Reader& r, auto&... ec) { r.EnterSleepMode(ec...); }),
      Row("SetTransparentTransfer", 0x0B, {0x00}, {0x01}, 0x01, std::nullopt,
          [](Reader& r, auto&... ec) { r.SetTransparentTransfer(true, ec...); }),
      Row("CheckAntenna", 0x03, {0x00, 0x0F}, {0x01}, 0x01, std::nullopt,
          [](Reader& r, auto&... ec) { r.CheckAntenna(ec...); }),
      Row("ChooseAntenna", 0x04, {0x00}, {0x01}, 0x01, std::nullopt, [](Reader& r, auto&... ec) { r.ChooseAntenna(2, ec...); }),
      Row("InventorySingleTag", 0x18, Join({{0x00}, kRecord}), {0x01}, 0x01, std::nullopt,
          [](Reader& r, auto&... ec) { r.InventorySingleTag(ec...); }),
      Row("ReadData", 0x13, {0x00, 0xCA, 0xFE, 0xF0, 0x0D}, {0x81, 0x04}, 0x81, 0x04,
          [](Reader& r, auto&... ec) { r.ReadData(Tag(), MemoryBank::kUser, 0, 2, Password(), ec...); }),
      Row("ReadDataFromSingleTag", 0x20, Join({tagData, kRecord}), {0x81, 0x03}, 0x81, 0x03,
          [](Reader& r, auto&... ec) { r.ReadDataFromSingleTag(MemoryBank::kUser, 0, 2, Password(), ec...); }),
      Row("ReadMaxData", 0x13, {0x00, 0x00, 0x02, 0xAB, 0xCD}, {0x81, 0x0B}, 0x81, 0x0B,
          [](Reader& r, auto&... ec) { r.ReadMaxData(Tag(), MemoryBank::kTid, 0, Password(), ec...); }),
      Row("ReadMaxDataFromSingleTag", 0x20, Join({{0x00, 0x00, 0x02, 0xAB, 0xCD}, kRecord}), {0x81, 0x0B}, 0x81, 0x0B,
          [](Reader& r, auto&... ec) { r.ReadMaxDataFromSingleTag(MemoryBank::kTid, 0, Password(), ec...); }),
      Row("WriteData", 0x14, {0x00}, {0x81, 0x04}, 0x81, 0x04,
          [](Reader& r, auto&... ec) { r.WriteData(Tag(), MemoryBank::kUser, 0, Bytes{0xCA, 0xFE}, Password(), ec...); }),
      Row("WriteDataToSingleTag", 0x21, Join({{0x00}, kRecord}), {0x81, 0x04}, 0x81, 0x04,
          [](Reader& r, auto&... ec) { r.WriteDataToSingleTag(MemoryBank::kUser, 0, Bytes{0xCA, 0xFE}, Password(), ec...); }),
      Row("BlockWriteData", 0x19, {0x00}, {0x81, 0x0B, 0x01}, 0x81, 0x0B,
          [](Reader& r, auto&... ec) { r.BlockWriteData(Tag(), MemoryBank::kUser, 0, Bytes(8, 1), Password(), ec...); }),
      Row("BlockWriteDataToSingleTag", 0x25, Join({{0x00}, kRecord}), Join({{0x81, 0x0B, 0x01}, kRecord}), 0x81, 0x0B,
          [](Reader& r, auto&... ec) { r.BlockWriteDataToSingleTag(MemoryBank::kUser, 0, Bytes(8, 1), Password(), ec...); }),
      Row("BlockWriteEpc", 0x19, {0x00}, {0x81, 0x04, 0x00}, 0x81, 0x04,
          [](Reader& r, auto&... ec) { r.BlockWriteEpc(Tag(), Bytes(12, 7), Password(), ec...); }),
      Row("BlockWriteEpcToSingleTag", 0x25, Join({{0x00}, kRecord}), Join({{0x81, 0x04, 0x00}, kRecord}), 0x81, 0x04,
          [](Reader& r, auto&... ec) { r.BlockWriteEpcToSingleTag(Bytes(12, 7), Password(), ec...); }),
      Row("EraseData", 0x15, {0x00}, {0x81, 0x04}, 0x81, 0x04,
          [](Reader& r, auto&... ec) { r.EraseData(Tag(), MemoryBank::kUser, 0, 2, Password(), ec...); }),
      Row("EraseDataFromSingleTag", 0x22, Join({{0x00}, kRecord}), {0x81, 0x04}, 0x81, 0x04,
          [](Reader& r, auto&... ec) { r.EraseDataFromSingleTag(MemoryBank::kUser, 0, 2, Password(), ec...); }),
      Row("Lock", 0x16, {0x00}, {0x81, 0x04}, 0x81, 0x04,
          [](Reader& r, auto&... ec) {
            r.Lock(Tag(), quarn::LockSettings{quarn::LockAction::kLock}, Password(0x12345678), ec...);
          }),
      Row("LockSingleTag", 0x23, Join({{0x00}, kRecord}), {0x81, 0x04}, 0x81, 0x04,
          [](Reader& r, auto&... ec) {
            r.LockSingleTag(quarn::LockSettings{quarn::LockAction::kLock}, Password(0x12345678), ec...);
          }),
      Row("Kill", 0x17, {0x00}, {0x81, 0x00}, 0x81, 0x00,
          [](Reader& r, auto&... ec) { r.Kill(Tag(), Password(0x0BADF00D), ec...); }),
      Row("KillSingleTag", 0x24, Join({{0x00}, kRecord}), {0x81, 0x00}, 0x81, 0x00,
          [](Reader& r, auto&... ec) { r.KillSingleTag(Password(0x0BADF00D), ec...); }),
      Row("AddFilter", 0x38, {0x00}, {0x02}, 0x02, std::nullopt,
          [](Reader& r, auto&... ec) { r.AddFilter(quarn::Filter{}, ec...); }),
      Row("DeleteFilter", 0x39, {0x00}, {0x02}, 0x02, std::nullopt, [](Reader& r, auto&... ec) { r.DeleteFilter(1, ec...); }),
      Row("SelectFilter", 0x3B, {0x00}, {0x02}, 0x02, std::nullopt,
          [](Reader& r, auto&... ec) { r.SelectFilter(1, 0, ec...); }),
      Row("SendApdu", 0x43, {0x00, 0x90, 0x00}, {0x83}, 0x83, std::nullopt,
          [](Reader& r, auto&... ec) { r.SendApdu(kApduCase1, ec...); }),
      Row("GetInfoSamToSr", 0x44, {0x00, 0x90, 0x00}, {0x83}, 0x83, std::nullopt,
          [](Reader& r, auto&... ec) { r.GetInfoSamToSr(quarn::SrTarget::kA, kApduCase1, ec...); }),
      Row("GetSr", 0x72, Join({{0x00}, Filled(80, 0x5A)}), {0x01}, 0x01, std::nullopt,
          [](Reader& r, auto&... ec) { r.GetSr(0, ec...); }),
      Row("SetPsamPower", 0x46, {0x00}, {0x02}, 0x02, std::nullopt,
          [](Reader& r, auto&... ec) { r.SetPsamPower(quarn::PsamSlot::k1, true, ec...); }),
      Row("WriteSrToTag", 0x70, {0x00}, {0x81, 0x04, 0x00}, 0x81, 0x04,
          [](Reader& r, auto&... ec) { r.WriteSrToTag(Tag(), MemoryBank::kUser, 0, quarn::SrParams{}, Password(), ec...); }),
      Row("WriteSrToSingleTag", 0x71, Join({{0x00}, kRecord}), Join({{0x81, 0x04, 0x00}, kRecord}), 0x81, 0x04,
          [](Reader& r, auto&... ec) { r.WriteSrToSingleTag(MemoryBank::kUser, 0, quarn::SrParams{}, Password(), ec...); }),
      StreamRow("Inventory", 0x10, [](Reader& r, auto&... ec) { r.Inventory(quarn::StreamOptions{}, ec...); }),
      StreamRow("MultiTagRead", 0x26,
                [](Reader& r, auto&... ec) { r.MultiTagRead(quarn::MultiTagReadRequest{}, quarn::StreamOptions{}, ec...); }),
      StreamRow("ListFilters", 0x3A, [](Reader& r, auto&... ec) { r.ListFilters(0, 1, quarn::StreamOptions{}, ec...); }),
  };
}

// A reply to the call in the reader's mode, and for a stream the acknowledgement of the stop it owes.
void ScriptGood(FakeReader& fake, const CallRow& row) {
  fake.Reply(row.code, row.good);
  if (row.stream && row.name != "ListFilters") fake.Reply(0x12, {0x00});
}

std::error_code RunWithCode(FakeReader& fake, const CallRow& row) {
  std::error_code ec = quarn::Errc::kOpenFailed;  // must be cleared on success
  row.withCode(fake.reader, ec);
  return ec;
}

class EveryCall : public ::testing::TestWithParam<bool> {};

TEST_P(EveryCall, SucceedsOnItsReplyAndClearsTheError) {
  for (const CallRow& row : Calls()) {
    SCOPED_TRACE(row.name);
    FakeReader fake(GetParam());
    ScriptGood(fake, row);
    EXPECT_FALSE(RunWithCode(fake, row));
    EXPECT_FALSE(fake.reader.lastError());
    ASSERT_GE(fake.CommandsSent(), 1u);
    EXPECT_EQ(fake.SentCode(0), row.code);
    // The mode is the Reader's: every command carries bit 7 in CRC mode.
    EXPECT_EQ((fake.port.commands()[0][2] & 0x80) != 0, GetParam());
  }
}

TEST_P(EveryCall, RefusalCarriesTheStatusAndTheReadersErrorCode) {
  for (const CallRow& row : Calls()) {
    SCOPED_TRACE(row.name);
    FakeReader fake(GetParam());
    fake.Reply(row.code, row.refused);
    EXPECT_EQ(RunWithCode(fake, row), Errc::kRefused);
    const quarn::ErrorDetail& detail = fake.reader.lastError();
    EXPECT_EQ(detail.status, row.status);
    EXPECT_EQ(detail.readerErrorCode, row.readerErrorCode);
    EXPECT_STRNE(detail.command, "");
  }
}

TEST_P(EveryCall, ThrowingFormThrowsWhatTheErrorCodeFormReports) {
  for (const CallRow& row : Calls()) {
    SCOPED_TRACE(row.name);
    FakeReader fake(GetParam());
    fake.Reply(row.code, row.refused);
    try {
      row.throwing(fake.reader);
      ADD_FAILURE() << "no exception";
    } catch (const quarn::Error& error) {
      EXPECT_EQ(error.code(), Errc::kRefused);
      EXPECT_EQ(error.status(), row.status);
      EXPECT_EQ(error.readerErrorCode(), row.readerErrorCode);
      EXPECT_EQ(std::string(error.detail().command), fake.reader.lastError().command);
    }
    FakeReader good(GetParam());
    ScriptGood(good, row);
    EXPECT_NO_THROW(row.throwing(good.reader));
  }
}

TEST_P(EveryCall, NamesWhatWentWrongOnTheLine) {
  for (const CallRow& row : Calls()) {
    SCOPED_TRACE(row.name);
    {
      FakeReader fake(GetParam());  // nothing answers
      EXPECT_EQ(RunWithCode(fake, row), Errc::kNoReply);
    }
    {
      FakeReader fake(GetParam());
      fake.port.HangUp();
      EXPECT_EQ(RunWithCode(fake, row), Errc::kPortGone);
    }
    {
      FakeReader fake(GetParam());
      fake.Reply(0x7E, row.good);  // a reply to a code nobody sent
      EXPECT_EQ(RunWithCode(fake, row), Errc::kOtherCommand);
      EXPECT_EQ(fake.reader.lastError().echoedCode, fake.Code(0x7E));
    }
    {
      FakeReader fake(GetParam());  // the reply in the other mode
      fake.port.ReplyToNextCommand(quarn::testing::WireReply(fake.Code(row.code) ^ 0x80, row.good));
      EXPECT_EQ(RunWithCode(fake, row), Errc::kOtherCommand);
    }
    {
      FakeReader fake(GetParam());  // cut before its tail
      Bytes wire = quarn::testing::WireReply(fake.Code(row.code), row.good);
      wire.pop_back();
      fake.port.ReplyToNextCommand(wire);
      EXPECT_EQ(RunWithCode(fake, row), Errc::kCutOff);
    }
  }
}

TEST(EveryCallInCrcMode, ReportsACrcMismatch) {
  for (const CallRow& row : Calls()) {
    SCOPED_TRACE(row.name);
    FakeReader fake(true);
    Bytes frame = quarn::testing::ReplyFrame(fake.Code(row.code), row.good);
    frame[3] ^= 0x40;  // the status byte, under the CRC
    fake.port.ReplyToNextCommand(quarn::testing::StuffedFrame(frame));
    EXPECT_EQ(RunWithCode(fake, row), Errc::kCrcMismatch);
  }
}

INSTANTIATE_TEST_SUITE_P(PlainAndCrc, EveryCall, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& mode) { return mode.param ? "Crc" : "Plain"; });

// ---- What single calls hand back ----

TEST(ReaderCalls, PaStatusOtherThanZeroIsTheAnswerNotAnError) {
  FakeReader fake;
  fake.Reply(0x00, {0x01});
  std::error_code ec;
  const quarn::PaStatus status = fake.reader.GetPaStatus(ec);
  EXPECT_FALSE(ec);
  EXPECT_FALSE(status.ok());
  EXPECT_EQ(status.status, 0x01);

  fake.Reply(0x00, {0x00});
  EXPECT_TRUE(fake.reader.GetPaStatus().ok());
  // Silence is no proof of a sound amplifier.
  EXPECT_FALSE(fake.reader.GetPaStatus(ec).ok());
  EXPECT_EQ(ec, Errc::kNoReply);
}

TEST(ReaderCalls, ReadsHandBackTheDataAndTheAnsweringTag) {
  FakeReader fake;
  fake.Reply(0x20, Join({{0x00, 0xCA, 0xFE, 0xF0, 0x0D}, kRecord}));
  const quarn::SingleTagData read = fake.reader.ReadDataFromSingleTag(MemoryBank::kUser, 0, 2);
  EXPECT_EQ(read.data, (Bytes{0xCA, 0xFE, 0xF0, 0x0D}));
  EXPECT_EQ(read.tag, Tag());

  fake.Reply(0x13, {0x00, 0x00, 0x03, 0x01, 0x02, 0x03});
  EXPECT_EQ(fake.reader.ReadMaxData(Tag(), MemoryBank::kTid, 0), (Bytes{0x01, 0x02, 0x03}));

  // Into a caller buffer: the count, and nothing past it.
  fake.Reply(0x13, {0x00, 0xCA, 0xFE});
  Bytes buffer(4, 0xEE);
  EXPECT_EQ(fake.reader.ReadDataInto(Tag(), MemoryBank::kUser, 0, 1, Password(), buffer), 2u);
  EXPECT_EQ(buffer, (Bytes{0xCA, 0xFE, 0xEE, 0xEE}));
}

TEST(ReaderCalls, ACallerBufferTooSmallIsRefusedBeforeAnythingIsSent) {
  FakeReader fake;
  Bytes small(3);
  std::error_code ec;
  EXPECT_EQ(fake.reader.ReadDataInto(Tag(), MemoryBank::kUser, 0, 2, Password(), small, ec), 0u);
  EXPECT_EQ(ec, Errc::kInvalidArgument);
  EXPECT_EQ(fake.reader.GetRegistersInto(0x100, 0, small, ec), 0u);  // to the end: 256 bytes
  EXPECT_EQ(ec, Errc::kInvalidArgument);
  EXPECT_EQ(fake.CommandsSent(), 0u);

  // A Max read learns the size from the reply: the bytes are lost, the error says so.
  fake.Reply(0x13, {0x00, 0x00, 0x04, 1, 2, 3, 4});
  EXPECT_EQ(fake.reader.ReadMaxDataInto(Tag(), MemoryBank::kUser, 0, Password(), small, ec), 0u);
  EXPECT_EQ(ec, Errc::kInvalidArgument);
}

// Arguments the reader cannot be sent are refused by name, and nothing goes out.
TEST(ReaderCalls, InvalidArgumentsSendNothing) {
  const std::vector<std::pair<const char*, std::function<void(Reader&, std::error_code&)>>> calls = {
      {"word count 0", [](Reader& r, std::error_code& ec) { r.ReadData(Tag(), MemoryBank::kUser, 0, 0, Password(), ec); }},
      {"pointer past two EBV bytes",
       [](Reader& r, std::error_code& ec) { r.ReadData(Tag(), MemoryBank::kUser, 16384, 1, Password(), ec); }},
      {"odd word bytes",
       [](Reader& r, std::error_code& ec) { r.WriteData(Tag(), MemoryBank::kUser, 0, Bytes{1, 2, 3}, Password(), ec); }},
      {"too many words for an ordinary write",
       [](Reader& r, std::error_code& ec) { r.WriteData(Tag(), MemoryBank::kUser, 0, Bytes(2 * 53, 0), Password(), ec); }},
      {"more than 255 words",
       [](Reader& r, std::error_code& ec) { r.BlockWriteData(Tag(), MemoryBank::kUser, 0, Bytes(512, 0), Password(), ec); }},
      {"an EPC of half a word", [](Reader& r, std::error_code& ec) { r.BlockWriteEpc(Tag(), Bytes(3, 0), Password(), ec); }},
      {"an EPC of 32 words", [](Reader& r, std::error_code& ec) { r.BlockWriteEpc(Tag(), Bytes(64, 0), Password(), ec); }},
      {"an APDU of no case", [](Reader& r, std::error_code& ec) { r.SendApdu(Bytes{0x00, 0xA4, 0x04, 0x00, 0x05, 0x01, 0x02}, ec); }},
      {"an APDU too long for one frame", [](Reader& r, std::error_code& ec) {
         Bytes apdu(126, 0);
         apdu[4] = 121;  // case 3 by its length, but past the one-byte frame
         r.SendApdu(apdu, ec);
       }},
      {"a PSAM slot that is none", [](Reader& r, std::error_code& ec) { r.SetPsamPower(quarn::PsamSlot(3), true, ec); }},
      {"a filter pointer past two EBV bytes", [](Reader& r, std::error_code& ec) {
         quarn::Filter filter;
         filter.bitPointer = 20000;
         r.AddFilter(filter, ec);
       }},
  };
  for (const auto& [what, call] : calls) {
    SCOPED_TRACE(what);
    FakeReader fake;
    std::error_code ec;
    call(fake.reader, ec);
    EXPECT_EQ(ec, Errc::kInvalidArgument);
    EXPECT_STRNE(fake.reader.lastError().reason, "");
    EXPECT_EQ(fake.CommandsSent(), 0u);
  }
}

TEST(ReaderCalls, OrdinaryWriteTakesWhatFitsItsShortFrame) {
  // Plain mode, a one-byte pointer and a 14-byte record: 9 + 2 x 52 + 14 = 127, the one-byte form's limit.
  FakeReader fake;
  fake.Reply(0x14, {0x00});
  std::error_code ec;
  fake.reader.WriteData(Tag(), MemoryBank::kUser, 0, Bytes(2 * 53, 0), Password(), ec);
  EXPECT_EQ(ec, Errc::kInvalidArgument);
  fake.reader.WriteData(Tag(), MemoryBank::kUser, 0, Bytes(2 * 52, 0), Password(), ec);
  EXPECT_FALSE(ec);
  EXPECT_EQ(fake.port.commands().at(0)[1], 127);  // the length byte at its limit
}

TEST(ReaderCalls, WordPointerTravelsAsOneOrTwoEbvBytes) {
  const struct {
    uint32_t address;
    Bytes ebv;
  } rows[] = {{0, {0x00}}, {127, {0x7F}}, {128, {0x81, 0x00}}, {300, {0x82, 0x2C}}, {16383, {0xFF, 0x7F}}};
  for (const auto& row : rows) {
    FakeReader fake;
    fake.Reply(0x13, {0x00, 0xCA, 0xFE});
    fake.reader.ReadData(Tag(), MemoryBank::kUser, row.address, 1);
    const Bytes& sent = fake.port.commands().at(0);
    // head, length, code, 4 password bytes, bank, then the pointer
    EXPECT_EQ(Bytes(sent.begin() + 8, sent.begin() + 8 + static_cast<long>(row.ebv.size())), row.ebv) << row.address;
    EXPECT_EQ(sent[8 + row.ebv.size()], 1) << row.address;  // the word count follows
  }
}

TEST(ReaderCalls, BlockWriteThatStoppedTellsTheWordsWrittenInBothForms) {
  // Three words from EPC bank word 2: the tag stopped after one, with error code 0x0B.
  FakeReader fake;
  fake.Reply(0x19, {0x81, 0x0B, 0x01});
  std::error_code ec;
  const quarn::WriteOutcome outcome =
      fake.reader.BlockWriteData(Tag(), MemoryBank::kEpc, 2, Bytes{0xA1, 0xA2, 0xB1, 0xB2, 0xC1, 0xC2}, Password(), ec);
  EXPECT_EQ(ec, Errc::kRefused);
  EXPECT_EQ(outcome.status, quarn::WriteStatus::kFailedWithErrorCode);
  EXPECT_EQ(outcome.writtenWordCount, 1);
  EXPECT_EQ(outcome.readerErrorCode, 0x0B);
  // The record the tag now answers to: bytes 2 and 3 (bank word 2) replaced by the one word written.
  Bytes expected = kRecord;
  expected[2] = 0xA1;
  expected[3] = 0xA2;
  ASSERT_TRUE(outcome.tag.has_value());
  EXPECT_EQ(outcome.tag->bytes(), quarn::ByteView(expected));

  fake.Reply(0x19, {0x82, 0x02});
  try {
    fake.reader.BlockWriteData(Tag(), MemoryBank::kUser, 0, Bytes(6, 0));
    ADD_FAILURE() << "no exception";
  } catch (const quarn::Error& error) {
    EXPECT_EQ(error.detail().writtenWordCount, 2);
    EXPECT_EQ(error.status(), 0x82);
    EXPECT_FALSE(error.readerErrorCode().has_value());
  }
}

TEST(ReaderCalls, BlockWriteEpcHandsBackTheNewRecord) {
  FakeReader fake;
  fake.Reply(0x19, {0x00});
  const Bytes newEpc = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  const quarn::WriteOutcome outcome = fake.reader.BlockWriteEpc(Tag(), newEpc);
  EXPECT_TRUE(outcome.written());
  ASSERT_TRUE(outcome.tag.has_value());
  EXPECT_EQ(*outcome.tag, quarn::TagRecord::FromEpc(newEpc));
}

TEST(ReaderCalls, SamRefusalStillHandsBackItsResponseAndStatusWord) {
  FakeReader fake;
  fake.Reply(0x43, {0x81, 0x11, 0x22, 0x6A, 0x82});
  std::error_code ec;
  const quarn::SamResponse response = fake.reader.SendApdu(Bytes{0x00, 0xB0, 0x00, 0x00, 0x02}, ec);
  EXPECT_EQ(ec, Errc::kRefused);
  EXPECT_EQ(response.data, (Bytes{0x11, 0x22}));
  EXPECT_EQ(response.statusWord.value(), 0x6A82);
  EXPECT_EQ(fake.reader.lastError().statusWord, 0x6A82);
}

TEST(ReaderCalls, PsamPowerHandsBackTheReadersData) {
  FakeReader fake;
  fake.Reply(0x46, {0x01, 0x3B, 0x9F});
  EXPECT_EQ(fake.reader.SetPsamPower(quarn::PsamSlot::k2, true), (Bytes{0x3B, 0x9F}));
  fake.Reply(0x46, {0x00});
  EXPECT_TRUE(fake.reader.SetPsamPower(quarn::PsamSlot::k2, false).empty());
}

// ---- The port ----

TEST(ReaderPort, OpenFailuresNameTheirCause) {
  std::error_code ec;
  Reader reader;
  reader.Open("no-such-fake-port", quarn::Baud::k115200, ec);
  EXPECT_EQ(ec, Errc::kNoSuchPort);
  EXPECT_FALSE(reader.isOpen());
  EXPECT_STRNE(reader.lastError().reason, "");
  // The message names the port it could not open, so a log line alone tells which.
  EXPECT_EQ(reader.lastError().Describe().rfind("Open no-such-fake-port: no such port", 0), 0u)
      << reader.lastError().Describe();

  FakeReader holder;  // a second open of a port held is refused as busy
  Reader second;
  second.Open(holder.reader.portName(), quarn::Baud::k9600, ec);
  EXPECT_EQ(ec, Errc::kBusy);
  EXPECT_THROW(Reader(holder.reader.portName()), quarn::Error);
}

// A value outside the four rates is refused, never opened at the rate its low bits happen to select.
TEST(ReaderPort, ABaudOutsideTheFourRatesIsRefused) {
  quarn::testing::FakePort port;
  port.Publish("fake-odd-baud");
  for (const int value : {4, 7, 9, 255}) {
    std::error_code ec;
    Reader reader;
    reader.Open("fake-odd-baud", static_cast<quarn::Baud>(value), ec);
    EXPECT_EQ(ec, Errc::kBadBaud) << value;
    EXPECT_FALSE(port.isOpen()) << value;
  }
}

TEST(ReaderPort, SetsTheBaudAndClosesWhenDestroyedOrMovedOver) {
  quarn::testing::FakePort port;
  port.Publish("fake-baud");
  {
    Reader reader("fake-baud", quarn::Baud::k57600);
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(port.baudRate(), 57600u);
    Reader moved(std::move(reader));
    EXPECT_FALSE(reader.isOpen());  // NOLINT: the moved-from state is part of the contract
    EXPECT_TRUE(moved.isOpen());
    EXPECT_EQ(port.closeCount(), 0);
  }
  EXPECT_FALSE(port.isOpen());
  EXPECT_EQ(port.closeCount(), 1);
}

TEST(ReaderPort, CallsOnAReaderWithoutAPortAreNotOpen) {
  Reader reader;
  std::error_code ec;
  reader.GetPower(ec);
  EXPECT_EQ(ec, Errc::kNotOpen);
  EXPECT_THROW(reader.GetVersion(), quarn::Error);
  EXPECT_EQ(reader.lastError().code, Errc::kNotOpen);
}

}  // namespace
