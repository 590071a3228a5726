// Streams over the fake port: what ends them, the stop they owe the reader however the loop ends, and a
// port that goes away mid-stream.

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "fake_reader.h"
#include "quarn/quarn.h"

namespace {

using quarn::Errc;
using quarn::StreamEnd;
using quarn::testing::AntennaReplyFrame;
using quarn::testing::Bytes;
using quarn::testing::FakeReader;
using quarn::testing::Join;
using quarn::testing::LengthPrefixed;
using quarn::testing::ReplyFrame;
using quarn::testing::StuffedFrame;

constexpr uint8_t kStopCode = 0x12;

// Frames as they follow one another on the wire, each stuffed on its own.
Bytes Wire(std::initializer_list<Bytes> frames) {
  Bytes wire;
  for (const Bytes& frame : frames) wire = Join({wire, StuffedFrame(frame)});
  return wire;
}

Bytes Epc(uint8_t last) { return {0x30, 0x00, 0xE2, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0, last}; }

// The start's acknowledgement and reports for each record, as the reader streams them after a start.
Bytes InventoryStream(FakeReader& fake, const std::vector<Bytes>& records) {
  Bytes wire = quarn::testing::WireReply(fake.Code(0x10), {0x01});
  for (const Bytes& record : records) wire = Join({wire, quarn::testing::WireReply(fake.Code(0x10), Join({{0x00}, record}))});
  return wire;
}

size_t StopsSent(const FakeReader& fake) {
  size_t stops = 0;
  for (size_t i = 0; i < fake.CommandsSent(); ++i) stops += fake.SentCode(i) == kStopCode ? 1 : 0;
  return stops;
}

class Streams : public ::testing::TestWithParam<bool> {};

TEST_P(Streams, InventoryEndsOnSilenceAndStopsTheReader) {
  FakeReader fake(GetParam());
  fake.port.ReplyToNextCommand(InventoryStream(fake, {Epc(1), Epc(2), Epc(3)}));
  fake.Reply(kStopCode, {0x00});
  std::vector<std::string> epcs;
  auto stream = fake.reader.Inventory();
  for (const quarn::TagReport& report : stream) {
    epcs.push_back(report.tag.epcHex());
    EXPECT_FALSE(report.antenna.has_value());
  }
  EXPECT_EQ(epcs, (std::vector<std::string>{"E20000000000000000000001", "E20000000000000000000002",
                                            "E20000000000000000000003"}));
  EXPECT_EQ(stream.endedBy(), StreamEnd::kSilence);
  EXPECT_FALSE(stream.error());
  EXPECT_EQ(stream.count(), 3u);
  EXPECT_EQ(StopsSent(fake), 1u);
  EXPECT_EQ(fake.SentCode(fake.CommandsSent() - 1), kStopCode);
}

TEST_P(Streams, BreakStopsTheReaderWhenTheLoopIsLeft) {
  FakeReader fake(GetParam());
  fake.port.ReplyToNextCommand(InventoryStream(fake, {Epc(1), Epc(2), Epc(3)}));
  fake.Reply(kStopCode, {0x00});
  for (const quarn::TagReport& report : fake.reader.Inventory()) {
    EXPECT_EQ(report.tag.epc()[11], 1);
    EXPECT_EQ(StopsSent(fake), 0u);
    break;
  }
  EXPECT_EQ(StopsSent(fake), 1u);
  EXPECT_FALSE(fake.reader.lastError());  // the stop was confirmed
}

TEST_P(Streams, ExceptionInTheLoopStopsTheReader) {
  FakeReader fake(GetParam());
  fake.port.ReplyToNextCommand(InventoryStream(fake, {Epc(1), Epc(2)}));
  fake.Reply(kStopCode, {0x00});
  EXPECT_THROW(
      {
        for (const quarn::TagReport& report : fake.reader.Inventory()) {
          (void)report;
          throw std::runtime_error("the application's own failure");
        }
      },
      std::runtime_error);
  EXPECT_EQ(StopsSent(fake), 1u);
}

// A port that is gone ends the loop with an error, in both forms, and never spins on it.
TEST_P(Streams, PortGoneEndsWithAnErrorNotSilence) {
  for (bool endOnSilence : {true, false}) {
    SCOPED_TRACE(endOnSilence);
    quarn::StreamOptions options;
    options.endOnSilence = endOnSilence;
    {
      FakeReader fake(GetParam());
      fake.port.ReplyToNextCommand(InventoryStream(fake, {Epc(1), Epc(2)}));
      std::error_code ec;
      auto stream = fake.reader.Inventory(options, ec);
      ASSERT_FALSE(ec);
      size_t items = 0;
      for (const quarn::TagReport& report : stream) {
        (void)report;
        ++items;
        fake.port.HangUp();
      }
      EXPECT_EQ(items, 1u);
      EXPECT_EQ(stream.endedBy(), StreamEnd::kError);
      EXPECT_EQ(stream.error(), Errc::kPortGone);
      EXPECT_EQ(fake.reader.lastError().code, Errc::kPortGone);
      EXPECT_LT(fake.port.readCalls(), 100);  // one failed read ends it
      EXPECT_EQ(StopsSent(fake), 0u);         // no stop can go out on a port that is gone
    }
    {
      FakeReader fake(GetParam());
      fake.port.ReplyToNextCommand(InventoryStream(fake, {Epc(1), Epc(2)}));
      try {
        for (const quarn::TagReport& report : fake.reader.Inventory(options)) {
          (void)report;
          fake.port.HangUp();
        }
        ADD_FAILURE() << "the loop ended without an error";
      } catch (const quarn::Error& error) {
        EXPECT_EQ(error.errc(), Errc::kPortGone);
      }
    }
  }
}

TEST_P(Streams, ItemLimitEndsTheStreamAndStopsTheReader) {
  FakeReader fake(GetParam());
  fake.port.ReplyToNextCommand(InventoryStream(fake, {Epc(1), Epc(2), Epc(3), Epc(4)}));
  fake.Reply(kStopCode, {0x00});
  quarn::StreamOptions options;
  options.maxItems = 2;
  auto stream = fake.reader.Inventory(options);
  size_t items = 0;
  for (const quarn::TagReport& report : stream) {
    (void)report;
    ++items;
  }
  EXPECT_EQ(items, 2u);
  EXPECT_EQ(stream.endedBy(), StreamEnd::kLimit);
  EXPECT_EQ(StopsSent(fake), 1u);
}

// Silence may be waited through; the duration then ends it, on the port's clock.
TEST_P(Streams, DurationEndsAStreamThatWaitsThroughSilence) {
  FakeReader fake(GetParam());
  fake.port.ReplyToNextCommand(InventoryStream(fake, {Epc(1)}));
  fake.Reply(kStopCode, {0x00});
  quarn::StreamOptions options;
  options.duration = std::chrono::seconds(10);
  options.endOnSilence = false;
  auto stream = fake.reader.Inventory(options);
  const uint32_t start = fake.port.now();
  size_t items = 0;
  for (const quarn::TagReport& report : stream) {
    (void)report;
    ++items;
  }
  EXPECT_EQ(items, 1u);
  EXPECT_EQ(stream.endedBy(), StreamEnd::kLimit);
  EXPECT_GE(fake.port.now() - start, 10000u);
  EXPECT_LT(fake.port.now() - start, 10000u + 2 * quarn::testing::FakePort::kReadTimeoutMs + 5 * 800u);
  EXPECT_EQ(StopsSent(fake), 1u);
}

TEST_P(Streams, FramesThatAreNoReportsAreSkipped) {
  FakeReader fake(GetParam());
  const Bytes refused = quarn::testing::WireReply(fake.Code(0x10), Join({{0x01}, Epc(9)}));  // status bit 0 set
  const Bytes other = quarn::testing::WireReply(fake.Code(0x01), {0x00, 0x1A});
  fake.port.ReplyToNextCommand(Join({InventoryStream(fake, {Epc(1)}), refused, other,
                                     quarn::testing::WireReply(fake.Code(0x10), Join({{0x00}, Epc(2)}))}));
  fake.Reply(kStopCode, {0x00});
  auto stream = fake.reader.Inventory();
  std::vector<uint8_t> seen;
  EXPECT_FALSE(stream.lastSkipReason());
  for (const quarn::TagReport& report : stream) seen.push_back(report.tag.epc()[11]);
  EXPECT_EQ(seen, (std::vector<uint8_t>{1, 2}));
  EXPECT_EQ(stream.skippedFrames(), 2u);
  EXPECT_EQ(stream.lastSkipReason(), Errc::kOtherCommand);
}

// A damaged frame is passed over, and the stream says what was wrong with it.
TEST_P(Streams, ASkippedFrameTellsWhyItWasSkipped) {
  FakeReader fake(GetParam());
  const Bytes refused = quarn::testing::WireReply(fake.Code(0x10), Join({{0x01}, Epc(9)}));
  fake.port.ReplyToNextCommand(Join({InventoryStream(fake, {Epc(1)}), refused,
                                     quarn::testing::WireReply(fake.Code(0x10), Join({{0x00}, Epc(2)}))}));
  fake.Reply(kStopCode, {0x00});
  auto stream = fake.reader.Inventory();
  for (const quarn::TagReport& report : stream) (void)report;
  EXPECT_EQ(stream.skippedFrames(), 1u);
  EXPECT_EQ(stream.lastSkipReason(), Errc::kRefused);
}

// The wait reads nothing: true when bytes are there (the frame is then taken by the stream at once),
// false after the wait in silence, and a port that hung up is an error, not a silence to wait on.
TEST_P(Streams, WaitForInputTellsBytesFromSilenceAndFromAPortGone) {
  FakeReader fake(GetParam());
  fake.port.ReplyToNextCommand(InventoryStream(fake, {Epc(1)}));
  fake.Reply(kStopCode, {0x00});
  auto stream = fake.reader.Inventory(quarn::StreamOptions{});
  std::error_code ec;
  EXPECT_TRUE(fake.reader.WaitForInput(std::chrono::milliseconds(100), ec));
  const uint32_t frameStart = fake.port.now();
  ASSERT_TRUE(stream.Advance());
  EXPECT_LT(fake.port.now() - frameStart, quarn::testing::FakePort::kReadTimeoutMs);  // no read sat it out
  EXPECT_EQ(stream.current().tag.epc()[11], 1);
  EXPECT_FALSE(ec);
  const uint32_t before = fake.port.now();
  EXPECT_FALSE(fake.reader.WaitForInput(std::chrono::milliseconds(250), ec));
  EXPECT_FALSE(ec);
  EXPECT_EQ(fake.port.now() - before, 250u);
  fake.port.HangUp();
  EXPECT_FALSE(fake.reader.WaitForInput(std::chrono::milliseconds(250), ec));
  EXPECT_EQ(ec, Errc::kPortGone);
  EXPECT_THROW(fake.reader.WaitForInput(std::chrono::milliseconds(1)), quarn::Error);
}

TEST_P(Streams, MultiAntennaInventoryNamesEachReportsAntenna) {
  FakeReader fake(GetParam());
  const uint8_t code = fake.Code(0x10);
  fake.port.ReplyToNextCommand(Wire({AntennaReplyFrame(1, code, {0x01}), AntennaReplyFrame(2, code, Join({{0x00}, Epc(1)})),
                                     AntennaReplyFrame(4, code, Join({{0x00}, Epc(2)}))}));
  fake.Reply(kStopCode, {0x00});
  std::vector<uint8_t> antennas;
  for (const quarn::TagReport& report : fake.reader.InventoryForMultiAnt()) antennas.push_back(report.antenna.value());
  EXPECT_EQ(antennas, (std::vector<uint8_t>{2, 4}));
  EXPECT_EQ(StopsSent(fake), 1u);
}

TEST_P(Streams, MultiTagReadHandsBackBothBlocksAndTheTag) {
  FakeReader fake(GetParam());
  const uint8_t code = fake.Code(0x26);
  const Bytes one = ReplyFrame(code, Join({{0x00}, LengthPrefixed({0xCA, 0xFE}), Epc(1)}));
  const Bytes notData = ReplyFrame(code, {0x02});
  const Bytes two = ReplyFrame(code, Join({{0x01}, LengthPrefixed({0x11}), LengthPrefixed({0x22, 0x33, 0x44}), Epc(2)}));
  fake.port.ReplyToNextCommand(Wire({ReplyFrame(code, {0x01}), one, notData, two}));
  fake.Reply(kStopCode, {0x00});
  quarn::MultiTagReadRequest request;
  request.area = {quarn::MemoryBank::kUser, 0, 1};
  auto stream = fake.reader.MultiTagRead(request);
  std::vector<std::string> seen;
  for (const quarn::TagData& data : stream) {
    seen.push_back(data.tag.epcHex().substr(22) + ":" + quarn::ToHex(data.data) +
                   (data.secondData ? "+" + quarn::ToHex(*data.secondData) : ""));
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"01:CAFE", "02:11+223344"}));
  EXPECT_EQ(stream.skippedFrames(), 1u);
  EXPECT_EQ(StopsSent(fake), 1u);
}

// The long form carries a second area: the options byte gets bit 0 and the area's fields come first.
TEST(MultiTagReadRequest, LongFormFollowsTheSecondArea) {
  FakeReader fake;
  fake.Reply(0x26, {0x01});
  fake.Reply(kStopCode, {0x00});
  quarn::MultiTagReadRequest request;
  request.password = quarn::Password(0x01020304);
  request.area = {quarn::MemoryBank::kTid, 0, 2};
  request.secondArea = quarn::MemoryArea{quarn::MemoryBank::kUser, 200, 4};
  request.readOptions = 0x40;
  request.optionBytes = {0x05, 0x00};
  { auto stream = fake.reader.MultiTagRead(request); }
  const Bytes& sent = fake.port.commands().at(0);
  EXPECT_EQ(Bytes(sent.begin() + 3, sent.end() - 1),
            (Bytes{0x01, 0x02, 0x03, 0x04, 0x02, 0x00, 0x02, 0x41, 0x03, 0x81, 0x48, 0x04, 0x05, 0x00}));
}

TEST_P(Streams, FilterListingEndsAfterTheLastReportWithoutAStop) {
  FakeReader fake(GetParam());
  const uint8_t code = fake.Code(0x3A);
  // index, recordLength, target, action, bank, pointer, mask bit length, mask, truncate
  const Bytes first = {0x00, 0x0A, 0x04, 0x00, 0x01, 0x20, 0x0C, 0x30, 0x00, 0x00};
  const Bytes second = {0x02, 0x0A, 0x04, 0x01, 0x01, 0x81, 0x00, 0x08, 0xE2, 0x01};
  fake.port.ReplyToNextCommand(
      Wire({ReplyFrame(code, {0x01}), ReplyFrame(code, Join({{0x00}, first})), ReplyFrame(code, Join({{0x01}, second}))}));
  auto listing = fake.reader.ListFilters(0, 1);
  std::vector<quarn::Filter> filters(listing.begin(), listing.end());
  ASSERT_EQ(filters.size(), 2u);
  EXPECT_EQ(filters[0].bitPointer, 0x20u);
  EXPECT_EQ(filters[0].maskBitLength, 12);
  EXPECT_EQ(filters[0].maskBytes(), quarn::ByteView(Bytes{0x30, 0x00}));
  EXPECT_EQ(filters[1].index, 2);
  EXPECT_EQ(filters[1].bitPointer, 128u);
  EXPECT_EQ(filters[1].truncate, 0x01);
  EXPECT_EQ(listing.endedBy(), StreamEnd::kLastReport);
  EXPECT_EQ(fake.CommandsSent(), 1u);  // the listing's start alone
}

TEST_P(Streams, ForEachStopsWhenTheCallbackSaysSo) {
  FakeReader fake(GetParam());
  fake.port.ReplyToNextCommand(InventoryStream(fake, {Epc(1), Epc(2), Epc(3)}));
  fake.Reply(kStopCode, {0x00});
  auto stream = fake.reader.Inventory();
  const size_t handed = stream.ForEach([](const quarn::TagReport& report) { return report.tag.epc()[11] < 2; });
  EXPECT_EQ(handed, 2u);
  EXPECT_EQ(stream.endedBy(), StreamEnd::kStopped);
  EXPECT_EQ(StopsSent(fake), 1u);
}

TEST_P(Streams, RefusedStartEndsTheStreamBeforeItBegins) {
  FakeReader fake(GetParam());
  fake.Reply(0x10, {0x00});  // bit 0 clear: not started
  std::error_code ec;
  auto stream = fake.reader.Inventory({}, ec);
  EXPECT_EQ(ec, Errc::kRefused);
  EXPECT_EQ(stream.error(), Errc::kRefused);
  EXPECT_TRUE(stream.begin() == stream.end());

  fake.Reply(0x10, {0x00});
  EXPECT_THROW(fake.reader.Inventory(), quarn::Error);
  EXPECT_EQ(StopsSent(fake), 0u);
}

TEST_P(Streams, StopReportsAReaderThatDoesNotConfirm) {
  FakeReader fake(GetParam());
  fake.port.ReplyToNextCommand(InventoryStream(fake, {Epc(1)}));
  auto stream = fake.reader.Inventory();
  EXPECT_EQ(stream.begin()->tag.epc()[11], 1);
  try {
    stream.Stop();  // nothing answers the stop
    ADD_FAILURE() << "no exception";
  } catch (const quarn::Error& error) {
    EXPECT_EQ(error.errc(), Errc::kNoReply);
    EXPECT_STREQ(error.detail().command, "StopOperation");
  }
  EXPECT_EQ(stream.endedBy(), StreamEnd::kError);
  std::error_code ec;
  stream.Stop(ec);  // once ended, nothing more is sent
  EXPECT_FALSE(ec);
  EXPECT_EQ(StopsSent(fake), 1u);
}

TEST_P(Streams, AMovedStreamOwesOneStop) {
  FakeReader fake(GetParam());
  fake.port.ReplyToNextCommand(InventoryStream(fake, {Epc(1)}));
  fake.Reply(kStopCode, {0x00});
  {
    auto first = fake.reader.Inventory();
    quarn::InventoryStream second(std::move(first));
    EXPECT_EQ(second.begin()->tag.epc()[11], 1);
  }
  EXPECT_EQ(StopsSent(fake), 1u);
}

INSTANTIATE_TEST_SUITE_P(PlainAndCrc, Streams, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& mode) { return mode.param ? "Crc" : "Plain"; });

}  // namespace
