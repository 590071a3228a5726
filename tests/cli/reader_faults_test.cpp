// What a person reads when the reader misbehaves: scripted peers on pseudo-terminals answer the tool with
// silence, a damaged reply, a reply to another command or in the other mode, a refusal, or hang up in
// the middle of a stream. Each message must name that cause and a hint, and the exit status must say
// the reader failed.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "pty_peer.h"
#include "quarn_runner.h"
#include "reference_frames.h"

namespace quarn::cli::testing {
namespace {

using quarn::testing::Bytes;
using quarn::testing::Join;
using quarn::testing::PtyPeer;
using quarn::testing::ReplyFrame;
using quarn::testing::StuffedFrame;
using quarn::testing::WireReply;

constexpr const char* kEpc = "E20034120000000000000001";

// A reply whose CRC is one bit off.
Bytes DamagedCrc(uint8_t code, const Bytes& payload) {
  Bytes frame = ReplyFrame(code, payload);
  frame[frame.size() - 2] ^= 0x01;
  return StuffedFrame(frame);
}

// A reply whose last byte is not the tail.
Bytes WrongTail(uint8_t code, const Bytes& payload) {
  Bytes frame = ReplyFrame(code, payload);
  frame.back() = 0x77;
  return frame;
}

struct FaultCase {
  const char* name;
  std::vector<std::string> args;  // after --port
  Bytes reply;                    // the peer's answer to the command; empty: silence
  const char* cause;              // the JSON error's cause
  std::vector<std::string> message;  // parts the message holds
  const char* hint;                  // a part of the hint
};

class CliReaderFaults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(CliReaderFaults, TheMessageNamesTheCauseAndAHint) {
  const FaultCase& c = GetParam();
  PtyPeer peer;
  if (!c.reply.empty()) peer.ReplyInOrder({c.reply});
  std::vector<std::string> args = {"--port", peer.path()};
  args.insert(args.end(), c.args.begin(), c.args.end());
  Outcome text = RunQuarn(args);
  EXPECT_EQ(text.status, 1) << text.err;
  EXPECT_EQ(text.err.rfind("quarn: could not ", 0), 0u) << text.err;
  for (const std::string& part : c.message) EXPECT_NE(text.err.find(part), std::string::npos) << part << "\n" << text.err;
  if (*c.hint) {
    const size_t hint = text.err.find("\nquarn: hint: ");
    EXPECT_NE(hint, std::string::npos) << text.err;
    EXPECT_NE(text.err.find(c.hint, hint), std::string::npos) << c.hint << "\n" << text.err;
  }

  if (!c.reply.empty()) peer.ReplyInOrder({c.reply});
  args.insert(args.begin(), "--json");
  Outcome json = RunQuarn(args);
  EXPECT_EQ(json.status, 1);
  auto error = json.Json()["error"];
  EXPECT_EQ(error["cause"], c.cause) << error;
  if (*c.hint) {
    EXPECT_NE(error.value("hint", "").find(c.hint), std::string::npos) << error;
  }
}

const FaultCase kFaults[] = {
    {"Silence", {"power"}, {}, "noReply",
     {"could not read the power", "the reader did not answer on /dev/", "at 115200 baud"},
     "is the reader on, and does it run at 115200 baud? quarn probe finds its rate"},
    {"CrcMismatch", {"--crc", "power"}, DamagedCrc(0x81, {0x00, 0x1A}), "crcMismatch",
     {"could not read the power", "CRC does not match"}, "noise on the line?"},
    {"WrongTail", {"power"}, WrongTail(0x01, {0x00, 0x1A}), "framing",
     {"could not read the power: the reply does not end with the tail byte"}, "noise on the line?"},
    {"AnotherCommand", {"power"}, WireReply(0x07, {0x00, 1, 2, 3, 4, 5, 6, 7, 8, 9}), "otherCommand",
     {"could not read the power: the reply answers another command, GetVersion (code 0x07)"}, "quarn stop"},
    {"ThisCommandInCrcMode", {"power"}, WireReply(0x81, {0x00, 0x1A}), "otherMode",
     {"answered this command in CRC mode (code 0x81), but quarn sent it in plain mode"}, "add --crc"},
    {"ThisCommandInPlainMode", {"--crc", "power"}, WireReply(0x01, {0x00, 0x1A}), "otherMode",
     {"answered this command in plain mode (code 0x01), but quarn sent it in CRC mode"}, "leave out --crc"},
    {"AnotherCommandInCrcMode", {"power"}, WireReply(0x87, {0x00, 1, 2, 3, 4, 5, 6, 7, 8, 9}), "otherMode",
     {"another command, GetVersion (code 0x87), and in CRC mode"}, "add --crc"},
    {"Refusal", {"power"}, WireReply(0x01, {0x81, 0x04}), "refused",
     {"could not read the power: the reader refused (status 0x81)"}, ""},
    {"TagRefusalWithItsGen2Meaning", {"read", "user", "0", "1", "--epc", kEpc}, WireReply(0x13, {0x81, 0x04}),
     "refused", {"could not read the tag E20034120000000000000001: memory locked (status 0x81, reader error code 0x04)"},
     "a locked area takes the access password (-P)"},
    {"SingleTagRefusal", {"read", "user", "0", "1"}, WireReply(0x20, {0x81, 0x42}), "refused",
     {"could not read the single tag in the field", "0x42 is the reader's own code"}, "--epc"},
};

INSTANTIATE_TEST_SUITE_P(Peers, CliReaderFaults, ::testing::ValuesIn(kFaults),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(CliReaderFault, ARefusalCarriesItsCodesForScripts) {
  PtyPeer peer;
  peer.ReplyInOrder({WireReply(0x13, {0x81, 0x04})});
  Outcome run = RunQuarn({"--json", "--port", peer.path(), "read", "user", "0", "1", "--epc", kEpc});
  auto error = run.Json()["error"];
  EXPECT_EQ(error["status"], 0x81);
  EXPECT_EQ(error["readerErrorCode"], 0x04);
  EXPECT_EQ(error["meaning"], "memory locked");
  EXPECT_EQ(error["exitStatus"], 1);
}

// The reader hangs up while a stream runs: the stream ends at once with the port gone, exit status 1,
// and the tool does not spin on the dead port meanwhile.
struct GoneCase {
  const char* name;
  std::vector<std::string> args;
  Bytes started;  // the acknowledgement of the stream's start, with what follows it
};

class CliPortGone : public ::testing::TestWithParam<GoneCase> {};

TEST_P(CliPortGone, AStreamEndsAtOnceWithThePortGone) {
  const GoneCase& c = GetParam();
  auto peer = std::make_unique<PtyPeer>();
  peer->ReplyInOrder({c.started});
  std::vector<std::string> args = {"--port", peer->path()};
  args.insert(args.end(), c.args.begin(), c.args.end());
  QuarnRun run(args);
  ASSERT_EQ(peer->WaitForCommands(1).size(), 1u);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const auto unplugged = std::chrono::steady_clock::now();
  peer.reset();
  Outcome outcome = run.Wait(20);
  const double afterUnplug = std::chrono::duration<double>(std::chrono::steady_clock::now() - unplugged).count();
  EXPECT_EQ(outcome.status, 1) << outcome.err;
  EXPECT_NE(outcome.err.find("is gone: the device hung up or was unplugged"), std::string::npos) << outcome.err;
  EXPECT_NE(outcome.err.find("quarn: hint: plug the reader in again"), std::string::npos) << outcome.err;
  EXPECT_LT(afterUnplug, 6.0);
  // Waiting is not spinning: most of the run is spent asleep.
  EXPECT_LT(outcome.cpuSeconds, 0.6 * outcome.seconds) << outcome.cpuSeconds << " s of CPU in " << outcome.seconds;
}

const GoneCase kGone[] = {
    {"Inventory", {"inventory", "--time", "0"},
     Join({WireReply(0x10, {0x01}), WireReply(0x10, {0x00, 0x30, 0x00, 0xE2, 0x00, 0x34, 0x12, 0x00, 0x00, 0x00, 0x00,
                                                     0x00, 0x00, 0x00, 0x01})})},
    {"MultiTagRead", {"read-all", "user", "0", "1", "--time", "0"}, WireReply(0x26, {0x01})},
    {"FilterListing", {"filter", "list"}, WireReply(0x3A, {0x01})},
};

INSTANTIATE_TEST_SUITE_P(Streams, CliPortGone, ::testing::ValuesIn(kGone),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(CliPortGone, TheTagsReadBeforeStayInTheOutput) {
  auto peer = std::make_unique<PtyPeer>();
  peer->ReplyInOrder({kGone[0].started});
  QuarnRun run({"--port", peer->path(), "inventory", "--time", "0"});
  ASSERT_EQ(peer->WaitForCommands(1).size(), 1u);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  peer.reset();
  Outcome outcome = run.Wait(20);
  EXPECT_EQ(outcome.status, 1);
  EXPECT_NE(outcome.out.find(kEpc), std::string::npos) << outcome.out;
  EXPECT_NE(outcome.out.find("1 tag, 1 read in"), std::string::npos) << outcome.out;
}

}  // namespace
}  // namespace quarn::cli::testing
