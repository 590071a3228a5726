// The firmware update over the fake port: the session's steps and the whole sequence.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "fake_serial.h"
#include "quarn/update.h"
#include "reference_frames.h"

namespace {

using quarn::Errc;
using quarn::testing::Bytes;
using quarn::testing::FakePort;
using quarn::testing::WireReply;

// The parameter bytes of a plain command frame: from the code's next byte, one later in the two-byte
// length form, to the tail.
Bytes Params(const Bytes& command) {
  const long first = (command[1] & 0x80) != 0 ? 4 : 3;
  return Bytes(command.begin() + first, command.end() - 1);
}

TEST(FirmwareUpdate, WholeSequenceNumbersTheBlocksAndSendsTheSizeLeastSignificantFirst) {
  FakePort port;
  port.Publish("fake-update");
  port.ReplyToNextCommand(WireReply(0x53, {0x00, 0x78, 0x56, 0x34, 0x12}));
  for (int code : {0x54, 0x56, 0x57, 0x57, 0x57, 0x58}) port.ReplyToNextCommand(WireReply(static_cast<uint8_t>(code), {0x00}));

  Bytes image(2500);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i);
  quarn::UpdateOptions options;
  options.blockSize = 1000;
  std::vector<std::pair<size_t, size_t>> progress;
  quarn::Reader reader = quarn::UpdateFirmware("fake-update", image, options,
                                               [&](size_t sent, size_t total) { progress.emplace_back(sent, total); });
  EXPECT_TRUE(reader.isOpen());
  EXPECT_EQ(port.baudRate(), 115200u);

  const std::vector<Bytes>& sent = port.commands();
  ASSERT_EQ(sent.size(), 7u);
  EXPECT_EQ(Params(sent[1]), (Bytes{0x78, 0x56, 0x34, 0x12}));  // the init value back, as it came
  EXPECT_EQ(Params(sent[2]), (Bytes{0xC4, 0x09, 0x00, 0x00}));  // 2500
  for (size_t block = 0; block < 3; ++block) {
    const Bytes params = Params(sent[3 + block]);
    EXPECT_EQ(params[0], 0x00);
    EXPECT_EQ(params[1], block);
    EXPECT_EQ(params.size(), 2 + std::min<size_t>(1000, 2500 - 1000 * block));
    EXPECT_EQ(params[2], static_cast<uint8_t>(1000 * block));
  }
  EXPECT_EQ(sent[6][2], 0x58);
  EXPECT_EQ(progress, (std::vector<std::pair<size_t, size_t>>{{1000, 2500}, {2000, 2500}, {2500, 2500}}));
}

TEST(FirmwareUpdate, ARefusedStepNamesItselfAndTheReadersStatus) {
  FakePort port;
  port.Publish("fake-update-refused");
  port.ReplyToNextCommand(WireReply(0xD3, {0x00, 1, 2, 3, 4}));
  port.ReplyToNextCommand(WireReply(0xD4, {0x02}));  // a wrong init value, by the reader's account
  quarn::UpdateOptions options;
  options.crcMode = true;
  std::error_code ec;
  quarn::Reader reader = quarn::UpdateFirmware("fake-update-refused", Bytes(10, 0), options, {}, ec);
  EXPECT_EQ(ec, Errc::kRefused);
  EXPECT_STREQ(reader.lastError().command, "FirmwareUpdate::SendRn32");
  EXPECT_EQ(reader.lastError().status, 0x02);
  EXPECT_TRUE(reader.isOpen());  // the port stays the caller's, to close or to use
  EXPECT_EQ(port.commands().size(), 2u);
}

TEST(FirmwareUpdate, StartSaysWhyThePortDidNotOpen) {
  std::error_code ec;
  quarn::FirmwareUpdate session = quarn::FirmwareUpdate::Start("no-such-fake", quarn::Baud::k9600, false, ec);
  EXPECT_EQ(ec, Errc::kNoSuchPort);
  EXPECT_FALSE(session.reader().isOpen());
}

TEST(FirmwareUpdate, SessionStepsSendTheCallersBytesUnchanged) {
  FakePort port;
  port.Publish("fake-update-steps");
  port.ReplyToNextCommand(WireReply(0x53, {0x00, 9, 8, 7, 6}));
  port.ReplyToNextCommand(WireReply(0x54, {0x00}));
  port.ReplyToNextCommand(WireReply(0x57, {0x00}));
  quarn::FirmwareUpdate session = quarn::FirmwareUpdate::Start("fake-update-steps", quarn::Baud::k19200, false);
  EXPECT_EQ(session.initValue(), (std::array<uint8_t, 4>{9, 8, 7, 6}));
  session.SendRn32({1, 2, 3, 4});
  session.SendData(0xAB, 0xCD, Bytes{});
  EXPECT_EQ(Params(port.commands()[1]), (Bytes{1, 2, 3, 4}));
  EXPECT_EQ(Params(port.commands()[2]), (Bytes{0xAB, 0xCD}));

  std::error_code ec;
  session.SendData(0, 0, Bytes(2042, 0), ec);  // one byte past a frame's room
  EXPECT_EQ(ec, Errc::kCommandTooLong);
  EXPECT_EQ(port.commands().size(), 3u);
}

TEST(FirmwareUpdate, ImagesThatCannotBeSentAreRefusedFirst) {
  std::error_code ec;
  quarn::UpdateFirmware("never-opened", Bytes{}, {}, {}, ec);
  EXPECT_EQ(ec, Errc::kInvalidArgument);
  quarn::UpdateOptions options;
  options.blockSize = 1;
  quarn::UpdateFirmware("never-opened", Bytes(65537, 0), options, {}, ec);
  EXPECT_EQ(ec, Errc::kInvalidArgument);  // more blocks than two prefix bytes can number
}

}  // namespace
