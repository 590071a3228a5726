// The reader's frame codec against literal frames: what a host sends must decode, what the reader
// builds must be byte for byte the frame a host expects.

#include <gtest/gtest.h>

#include "sim/codec/frame_codec.h"
#include "sim_test_support.h"

namespace quarn::sim {
namespace {

struct LiteralCommand {
  const char* what;
  Bytes wire;
  uint8_t code;
  Bytes params;
};

// Frames as a host puts them on the wire, CRC bytes included.
const LiteralCommand kLiteralCommands[] = {
    {"get power plain", {0xAA, 0x02, 0x01, 0x55}, 0x01, {}},
    {"get power crc", {0xAA, 0x04, 0x81, 0xAF, 0x9D, 0x55}, 0x81, {}},
    {"get version crc", {0xAA, 0x04, 0x87, 0xCF, 0x5B, 0x55}, 0x87, {}},
    {"stop crc", {0xAA, 0x04, 0x92, 0x8D, 0xCF, 0x55}, 0x92, {}},
    {"check antenna crc", {0xAA, 0x04, 0x83, 0x8F, 0xDF, 0x55}, 0x83, {}},
    {"choose antenna 1 crc", {0xAA, 0x05, 0x84, 0x01, 0x1F, 0xEE, 0x55}, 0x84, {0x01}},
    {"delete filter 0 crc", {0xAA, 0x05, 0xB9, 0x00, 0x7C, 0x06, 0x55}, 0xB9, {0x00}},
    {"sam select crc", {0xAA, 0x08, 0xC3, 0x00, 0xA4, 0x04, 0x00, 0x8C, 0x5F, 0x55}, 0xC3, {0x00, 0xA4, 0x04, 0x00}},
    {"get sr crc", {0xAA, 0x05, 0xF2, 0x00, 0xAD, 0x30, 0x55}, 0xF2, {0x00}},
    {"psam power crc", {0xAA, 0x06, 0xC6, 0x01, 0x01, 0xEB, 0xE1, 0x55}, 0xC6, {0x01, 0x01}},
    {"update init crc", {0xAA, 0x04, 0xD3, 0xD5, 0x2A, 0x55}, 0xD3, {}},
    {"update commit crc", {0xAA, 0x04, 0xD8, 0x64, 0x41, 0x55}, 0xD8, {}},
    {"update rn32 crc", {0xAA, 0x08, 0xD4, 0x01, 0x02, 0x03, 0x04, 0x4F, 0x4A, 0x55}, 0xD4, {1, 2, 3, 4}},
    {"set power 0x55 stuffed", {0xAA, 0x04, 0x02, 0xFF, 0x55, 0x10, 0x55}, 0x02, {0x55, 0x10}},
};

TEST(SimFrameCodec, LiteralCommandsDecodeAndRebuild) {
  for (const LiteralCommand& literal : kLiteralCommands) {
    SCOPED_TRACE(literal.what);
    CommandDecoder decoder;
    std::optional<DecodedFrame> frame;
    for (uint8_t byte : literal.wire) {
      DecodeStep step = decoder.Feed(byte);
      ASSERT_NE(step.kind, DecodeStep::Kind::kFault);
      if (step.frame) frame = step.frame;
    }
    ASSERT_TRUE(frame.has_value());
    EXPECT_EQ(frame->code, literal.code);
    EXPECT_EQ(frame->params, literal.params);
    EXPECT_EQ(StuffFrame(BuildCommandFrame(PlainCode(literal.code), literal.params, IsCrcCode(literal.code))),
              literal.wire);
  }
}

TEST(SimFrameCodec, CrcCheckValueIsTheGen2One) {
  const Bytes digits = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(FrameCrc(digits.data(), digits.size()), 0xD64E);
}

DecodeStep FeedAll(CommandDecoder& decoder, const Bytes& wire) {
  DecodeStep last;
  for (uint8_t byte : wire) {
    DecodeStep step = decoder.Feed(byte);
    if (step.kind == DecodeStep::Kind::kFrame || step.kind == DecodeStep::Kind::kFault) last = step;
  }
  return last;
}

TEST(SimFrameCodec, BrokenCommandsAreRejectedAndTheNextOneDecodes) {
  struct Case {
    const char* what;
    Bytes wire;
    DecodeFault fault;
  };
  const Case cases[] = {
      {"crc byte changed", {0xAA, 0x04, 0x81, 0xAF, 0x9C, 0x55}, DecodeFault::kCrcMismatch},
      {"escape before a plain byte", {0xAA, 0x03, 0x04, 0xFF, 0x01, 0x55}, DecodeFault::kBadEscape},
      {"length 1", {0xAA, 0x01, 0x01, 0x55}, DecodeFault::kTooShort},
      {"tail inside the body", {0xAA, 0x05, 0x02, 0x01, 0x55}, DecodeFault::kUnexpectedTail},
      {"no tail", {0xAA, 0x02, 0x01, 0x56}, DecodeFault::kBadTail},
      {"length beyond the buffer", {0xAA, 0x90, 0x00}, DecodeFault::kTooLong},
      {"crc mode without room for the crc", {0xAA, 0x03, 0x81, 0x00, 0x55}, DecodeFault::kTooShort},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CommandDecoder decoder;
    const DecodeStep step = FeedAll(decoder, c.wire);
    ASSERT_EQ(step.kind, DecodeStep::Kind::kFault);
    EXPECT_EQ(step.fault, c.fault);
    EXPECT_EQ(FeedAll(decoder, {0xAA, 0x02, 0x07, 0x55}).kind, DecodeStep::Kind::kFrame);
  }
}

TEST(SimFrameCodec, HeadInsideABodyStartsAFreshFrame) {
  CommandDecoder decoder;
  const Bytes wire = {0xAA, 0x05, 0x02, 0xAA, 0x02, 0x07, 0x55};
  std::vector<DecodeStep::Kind> kinds;
  for (uint8_t byte : wire) kinds.push_back(decoder.Feed(byte).kind);
  EXPECT_EQ(kinds[3], DecodeStep::Kind::kFault);
  EXPECT_EQ(kinds.back(), DecodeStep::Kind::kFrame);
}

TEST(SimFrameCodec, TwoByteLengthFormBothWays) {
  // 122 register bytes in plain mode: n = 128, so N = 129 sent as 81 01 with the code at position 3.
  Bytes params = {0x00, 0x10, 0x00, 122};
  params.resize(4 + 122, 0x55);
  const Bytes frame = BuildCommandFrame(0x31, params, false);
  EXPECT_EQ(frame[1], 0x81);
  EXPECT_EQ(frame[2], 0x01);
  EXPECT_EQ(frame[3], 0x31);
  EXPECT_EQ(frame.size(), 131u);
  for (bool crc : {false, true}) {
    CommandDecoder decoder;
    const DecodeStep step = FeedAll(decoder, StuffFrame(BuildCommandFrame(0x31, params, crc)));
    ASSERT_EQ(step.kind, DecodeStep::Kind::kFrame) << crc;
    EXPECT_TRUE(step.frame->twoByteForm);
    EXPECT_EQ(step.frame->params, params);
  }
}

TEST(SimFrameCodec, ReplyLengthFormSwitchesAbove127) {
  struct Case {
    size_t dataBytes;
    bool crc;
    Bytes lengthField;
  };
  // count = length byte + code + status + data (+ CRC); the two-byte value counts itself once more.
  const Case cases[] = {
      {124, false, {0x7F}},
      {125, false, {0x81, 0x01}},
      {122, true, {0x7F}},
      {123, true, {0x81, 0x01}},
      {196, false, {0x81, 0x48}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dataBytes);
    OutgoingReply reply;
    reply.code = c.crc ? 0x93 : 0x13;
    reply.data.assign(c.dataBytes, 0x11);
    const Bytes frame = BuildReplyFrame(reply);
    EXPECT_EQ(Bytes(frame.begin() + 1, frame.begin() + 1 + static_cast<std::ptrdiff_t>(c.lengthField.size())),
              c.lengthField);
    const testing::Reply parsed = testing::ParseReply(frame);
    EXPECT_EQ(parsed.data.size(), c.dataBytes);
    EXPECT_EQ(parsed.crcPresentAndRight, c.crc);
  }
}

TEST(SimFrameCodec, AntennaReplyFrameCarriesMarkerAndNumberInsideTheCrc) {
  OutgoingReply reply;
  reply.code = 0x90;
  reply.status = 0x00;
  reply.antenna = 2;
  reply.data = {0x30, 0x00};
  const Bytes frame = BuildReplyFrame(reply);
  ASSERT_GE(frame.size(), 6u);
  EXPECT_EQ(frame[1], 0x09);  // length, marker, antenna, code, status, 2 data, 2 CRC
  EXPECT_EQ(frame[2], 0xFE);
  EXPECT_EQ(frame[3], 0x02);
  EXPECT_EQ(frame[4], 0x90);
  const testing::Reply parsed = testing::ParseReply(frame, true);
  EXPECT_TRUE(parsed.crcPresentAndRight);
  EXPECT_EQ(parsed.antenna, 2);
}

TEST(SimFrameCodec, StuffingEscapesEveryBodyByteButHeadAndTail) {
  const Bytes frame = {0xAA, 0x55, 0xAA, 0xFF, 0x01, 0x55};
  EXPECT_EQ(StuffFrame(frame), (Bytes{0xAA, 0xFF, 0x55, 0xFF, 0xAA, 0xFF, 0xFF, 0x01, 0x55}));
}

}  // namespace
}  // namespace quarn::sim
