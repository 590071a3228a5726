// The firmware update: its own port opening, the exact frames of each step, the data block's switch to
// the two-byte length form, and the one status rule all five share.

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>

#include "fake_serial.h"
#include "quarn_api.h"

namespace {

using quarn::testing::Bytes;
using quarn::testing::FakePort;
using quarn::testing::Join;
using quarn::testing::ReferenceCrc;
using quarn::testing::WireReply;

constexpr unsigned char kSentinel = 0xEE;
constexpr int kValueSentinel = 0x5A5A5A5A;

struct InitOutputs {
  PortHandle handle = QUARN_INVALID_PORT;
  unsigned char status = kSentinel;
  int initValue = kValueSentinel;
};

int UpdateInit(const char* name, InitOutputs& out, int portOptions) {
  return UhfUpdateInit(&out.handle, name, &out.status, &out.initValue, portOptions);
}

// --- UhfUpdateInit ---

TEST(UpdateInit, EachBaudSelectionOpensConfiguresAndStartsInTheMode) {
  struct Row {
    int portOptions;
    uint32_t baudRate;
    Bytes frame;
  };
  const Bytes plain{0xAA, 0x02, 0x53, 0x55};
  const Bytes crc{0xAA, 0x04, 0xD3, 0xD5, 0x2A, 0x55};
  const Row rows[] = {{0x00, 9600, plain},  {0x01, 9600, crc},  {0x02, 19200, plain},  {0x03, 19200, crc},
                      {0x04, 57600, plain}, {0x05, 57600, crc}, {0x06, 115200, plain}, {0x07, 115200, crc},
                      {0x10, 9600, plain},  {0x17, 115200, crc}};
  for (const Row& row : rows) {
    FakePort port;
    port.Publish("COM7");
    port.ReplyToNextCommand(WireReply(row.frame[2], {0x00, 0x78, 0x56, 0x34, 0x12}));
    InitOutputs out;
    EXPECT_EQ(UpdateInit("COM7", out, row.portOptions), 1) << row.portOptions;
    EXPECT_EQ(out.handle, port.handle());
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(port.baudRate(), row.baudRate) << row.portOptions;
    EXPECT_EQ(port.lastCommand(), row.frame) << row.portOptions;
    EXPECT_EQ(out.status, 0x00);
  }
}

TEST(UpdateInit, RefusedBaudSelectionOpensNothingAndSendsNothing) {
  for (int portOptions : {0x08, 0x09, 0x0A, 0x0C, 0x0E, 0x0F}) {
    FakePort port;
    port.Publish("COM7");
    InitOutputs out;
    out.handle = port.handle();
    EXPECT_EQ(UpdateInit("COM7", out, portOptions), 0) << portOptions;
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.configureCount(), 0);
    EXPECT_EQ(port.writeCalls(), 0);
    EXPECT_EQ(out.handle, QUARN_INVALID_PORT);
    EXPECT_EQ(out.status, kSentinel);
    EXPECT_EQ(out.initValue, kValueSentinel);
  }
}

TEST(UpdateInit, PortThatWillNotOpenLeavesTheInvalidHandle) {
  FakePort busy;
  busy.Publish("COM8");
  ASSERT_TRUE(busy.Open());  // already held
  for (const char* name : {"COM8", "COM9"}) {
    InitOutputs out;
    out.handle = busy.handle();
    EXPECT_EQ(UpdateInit(name, out, 0), 0) << name;
    EXPECT_EQ(out.handle, QUARN_INVALID_PORT) << name;
    EXPECT_EQ(out.status, kSentinel);
    EXPECT_EQ(out.initValue, kValueSentinel);
  }
  EXPECT_EQ(busy.writeCalls(), 0);
}

TEST(UpdateInit, InitValueKeepsTheOrderInWhichTheBytesArrived) {
  FakePort port;
  port.Publish("COM7");
  port.ReplyToNextCommand(WireReply(0x53, {0x00, 0x78, 0x56, 0x34, 0x12, 0x99}));
  InitOutputs out;
  ASSERT_EQ(UpdateInit("COM7", out, 0), 1);
  unsigned char memory[4];
  std::memcpy(memory, &out.initValue, sizeof memory);
  EXPECT_EQ(Bytes(memory, memory + 4), (Bytes{0x78, 0x56, 0x34, 0x12}));
  // So the same four bytes go back out when initValue is passed as rn32.
  port.ReplyToNextCommand(WireReply(0x54, {0x00}));
  unsigned char status = kSentinel;
  EXPECT_EQ(UhfUpdateSendRN32(out.handle, reinterpret_cast<const unsigned char*>(&out.initValue), &status, 0), 1);
  EXPECT_EQ(port.lastCommand(), (Bytes{0xAA, 0x06, 0x54, 0x78, 0x56, 0x34, 0x12, 0x55}));
}

TEST(UpdateInit, ReaderRefusalOrSilenceLeavesThePortOpen) {
  struct Row {
    const char* name;
    Bytes reply;
    uint8_t status;
  };
  for (const Row& row : {Row{"status 1", WireReply(0x53, {0x01, 1, 2, 3, 4}), 0x01},
                         Row{"another code", WireReply(0x54, {0x07, 1, 2, 3, 4}), 0x07}, Row{"no reply", {}, kSentinel},
                         Row{"too short for the value", WireReply(0x53, {0x00, 1, 2, 3}), kSentinel}}) {
    FakePort port;
    port.Publish("COM7");
    if (!row.reply.empty()) port.ReplyToNextCommand(row.reply);
    InitOutputs out;
    EXPECT_EQ(UpdateInit("COM7", out, 2), 0) << row.name;
    EXPECT_EQ(out.handle, port.handle()) << row.name;
    EXPECT_TRUE(port.isOpen()) << row.name;
    EXPECT_EQ(port.baudRate(), 19200u);
    EXPECT_EQ(out.status, row.status) << row.name;
    EXPECT_EQ(out.initValue, kValueSentinel) << row.name;
  }
}

// --- the frames of the other four ---

TEST(UpdateCommands, FramesInBothModes) {
  const unsigned char four[] = {0x01, 0x02, 0x03, 0x04};
  struct Row {
    const char* name;
    std::function<int(PortHandle, unsigned char*, int)> call;
    Bytes plain;
    Bytes crc;
  };
  const Row rows[] = {
      {"rn32",
       [&](PortHandle p, unsigned char* s, int c) { return UhfUpdateSendRN32(p, four, s, c); },
       {0xAA, 0x06, 0x54, 0x01, 0x02, 0x03, 0x04, 0x55},
       {0xAA, 0x08, 0xD4, 0x01, 0x02, 0x03, 0x04, 0x4F, 0x4A, 0x55}},
      {"size",
       [&](PortHandle p, unsigned char* s, int c) { return UhfUpdateSendSize(p, s, four, c); },
       {0xAA, 0x06, 0x56, 0x01, 0x02, 0x03, 0x04, 0x55},
       Join(
           {{0xAA}, {0x08, 0xD6, 0x01, 0x02, 0x03, 0x04}, ReferenceCrc({0x08, 0xD6, 0x01, 0x02, 0x03, 0x04}), {0x55}})},
      {"empty data block, prefixes by their low bytes",
       [&](PortHandle p, unsigned char* s, int c) { return UhfUpdateSendData(p, s, 0x1F3, 0x04, 0, nullptr, c); },
       {0xAA, 0x04, 0x57, 0xF3, 0x04, 0x55},
       Join({{0xAA}, {0x06, 0xD7, 0xF3, 0x04}, ReferenceCrc({0x06, 0xD7, 0xF3, 0x04}), {0x55}})},
      {"commit",
       [&](PortHandle p, unsigned char* s, int c) { return UhfUpdateCommit(p, s, c); },
       {0xAA, 0x02, 0x58, 0x55},
       {0xAA, 0x04, 0xD8, 0x64, 0x41, 0x55}},
  };
  for (const Row& row : rows) {
    FakePort port;
    unsigned char status = kSentinel;
    row.call(port.handle(), &status, 2);
    EXPECT_EQ(port.lastCommand(), row.plain) << row.name;
    row.call(port.handle(), &status, 3);
    EXPECT_EQ(port.lastCommand(), row.crc) << row.name;
  }
}

TEST(UpdateSendData, LengthFieldSwitchesToTwoBytesWhenTheValueExceeds127) {
  struct Row {
    int crcFlag;
    int blockLength;
    Bytes lengthField;
    size_t frameSize;
  };
  const Row rows[] = {
      {0, 123, {0x7F}, 129}, {0, 124, {0x81, 0x01}, 131}, {0, 2041, {0x8F, 0x7E}, 2048},
      {1, 121, {0x7F}, 129}, {1, 122, {0x81, 0x01}, 131}, {1, 2039, {0x8F, 0x7E}, 2048},
  };
  for (const Row& row : rows) {
    Bytes block(static_cast<size_t>(row.blockLength));
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i % 0x50);
    FakePort port;
    unsigned char status = kSentinel;
    UhfUpdateSendData(port.handle(), &status, 0x21, 0x22, row.blockLength, block.data(), row.crcFlag);
    const uint8_t code = row.crcFlag ? 0xD7 : 0x57;
    Bytes body = Join({row.lengthField, {code, 0x21, 0x22}, block});
    if (row.crcFlag) body = Join({body, ReferenceCrc(body)});
    const Bytes expected = Join({{0xAA}, body, {0x55}});
    EXPECT_EQ(expected.size(), row.frameSize);
    EXPECT_EQ(port.lastCommand(), expected) << row.crcFlag << " " << row.blockLength;
  }
}

TEST(UpdateSendData, BlockLengthOutsideTheFrameIsRefusedBeforeSending) {
  struct Row {
    int crcFlag;
    int blockLength;
  };
  const Bytes block(2100, 0x01);
  for (const Row& row : {Row{0, -1}, Row{0, INT_MIN}, Row{0, 2042}, Row{1, 2040}, Row{1, -1}, Row{0, INT_MAX}}) {
    FakePort port;
    unsigned char status = kSentinel;
    EXPECT_EQ(UhfUpdateSendData(port.handle(), &status, 1, 2, row.blockLength, block.data(), row.crcFlag), 0);
    EXPECT_EQ(port.writeCalls(), 0) << row.crcFlag << " " << row.blockLength;
    EXPECT_EQ(status, kSentinel);
  }
}

// --- the status rule of every step after the start ---

TEST(UpdateCommands, StatusRule) {
  const unsigned char four[] = {0x01, 0x02, 0x03, 0x04};
  const unsigned char block[] = {0x10, 0x20};
  struct Command {
    const char* name;
    uint8_t code;
    std::function<int(PortHandle, unsigned char*)> call;
  };
  const Command commands[] = {
      {"rn32", 0x54, [&](PortHandle p, unsigned char* s) { return UhfUpdateSendRN32(p, four, s, 0); }},
      {"size", 0x56, [&](PortHandle p, unsigned char* s) { return UhfUpdateSendSize(p, s, four, 0); }},
      {"data", 0x57, [&](PortHandle p, unsigned char* s) { return UhfUpdateSendData(p, s, 0, 1, 2, block, 0); }},
      {"commit", 0x58, [&](PortHandle p, unsigned char* s) { return UhfUpdateCommit(p, s, 0); }},
  };
  struct Reply {
    const char* name;
    int codeOffset;  // -1: no reply
    uint8_t status;
    int result;
    uint8_t statusOut;
  };
  const Reply replies[] = {
      {"success", 0, 0x00, 1, 0x00},
      {"bit 7 clear is still a refusal", 0, 0x01, 0, 0x01},
      {"refusal", 0, 0x83, 0, 0x83},
      {"another code", 1, 0x00, 0, 0x00},
      {"the CRC-mode code", 0x80, 0x02, 0, 0x02},
      {"no reply", -1, 0, 0, kSentinel},
  };
  for (const Command& command : commands) {
    for (const Reply& reply : replies) {
      FakePort port;
      if (reply.codeOffset >= 0) {
        port.ReplyToNextCommand(WireReply(static_cast<uint8_t>(command.code + reply.codeOffset), {reply.status}));
      }
      unsigned char status = kSentinel;
      EXPECT_EQ(command.call(port.handle(), &status), reply.result) << command.name << ": " << reply.name;
      EXPECT_EQ(status, reply.statusOut) << command.name << ": " << reply.name;
      EXPECT_EQ(port.commands().size(), 1u);
    }
  }
}

}  // namespace
