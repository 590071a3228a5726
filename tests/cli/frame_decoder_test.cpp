// decode takes frames apart the way a receiver reads them: known frames give their fields, and
// every fault a receiver refuses is named instead of being decoded into nonsense.

#include "frame_decoder.h"

#include <gtest/gtest.h>

namespace quarn::cli {
namespace {

std::string FieldValue(const std::vector<NamedValue>& fields, const std::string& name) {
  for (const auto& field : fields)
    if (field.name == name) return field.value;
  return "(absent)";
}

TEST(CliFrameDecoder, CrcIsTheFramesCrc16) {
  const char digits[] = "123456789";
  EXPECT_EQ(FrameCrc(reinterpret_cast<const uint8_t*>(digits), 9), 0xD64E);
  const uint8_t getPowerCrc[] = {0x04, 0x81};
  EXPECT_EQ(FrameCrc(getPowerCrc, 2), 0xAF9D);
}

TEST(CliFrameDecoder, WellFormedFramesInBothModes) {
  struct Case {
    Bytes wire;
    int code;
    bool crc;
    Bytes payload;
  };
  const Case cases[] = {
      {{0xAA, 0x02, 0x01, 0x55}, 0x01, false, {}},
      {{0xAA, 0x04, 0x81, 0xAF, 0x9D, 0x55}, 0x81, true, {}},
      {{0xAA, 0x04, 0x87, 0xCF, 0x5B, 0x55}, 0x87, true, {}},
      // SetPower 0x55 0x10: the parameter 0x55 travels escaped.
      {{0xAA, 0x04, 0x02, 0xFF, 0x55, 0x10, 0x55}, 0x02, false, {0x55, 0x10}},
      // Noise before the head is skipped and reported.
      {{0x13, 0x37, 0xAA, 0x02, 0x07, 0x55}, 0x07, false, {}},
  };
  for (const auto& c : cases) {
    DecodedFrame frame = DecodeFrame(c.wire);
    EXPECT_TRUE(frame.complete);
    EXPECT_EQ(frame.code, c.code);
    EXPECT_EQ(frame.crcMode, c.crc);
    EXPECT_EQ(frame.payload, c.payload);
    if (c.crc) {
      EXPECT_EQ(frame.crcCarried, frame.crcComputed);
    }
    EXPECT_EQ(frame.problems.size(), frame.skippedBeforeHead > 0 ? 1u : 0u);
  }
}

TEST(CliFrameDecoder, TwoByteLengthFormMovesTheCodeOnePositionOn) {
  // N = 200: 0x81 0x48, code at position 3, then positions 4 to 200 hold 197 parameter bytes.
  Bytes wire = {0xAA, 0x81, 0x48, 0x57};
  for (int i = 0; i < 197; ++i) wire.push_back(static_cast<uint8_t>(i & 0x3F));
  wire.push_back(0x55);
  DecodedFrame frame = DecodeFrame(wire);
  ASSERT_TRUE(frame.complete) << (frame.problems.empty() ? "" : frame.problems[0]);
  EXPECT_TRUE(frame.twoByteLength);
  EXPECT_EQ(frame.bodyLength, 200);
  EXPECT_EQ(frame.code, 0x57);
  EXPECT_EQ(frame.payload.size(), 197u);
}

TEST(CliFrameDecoder, AntennaFramesNameTheirAntenna) {
  // A tag report from antenna 2: marker, antenna, code 0x10, status 0, a 2-byte record.
  DecodedFrame frame = DecodeFrame({0xAA, 0x07, 0xFE, 0x02, 0x10, 0x00, 0x00, 0x00, 0x55});
  ASSERT_TRUE(frame.complete);
  EXPECT_TRUE(frame.antennaFrame);
  EXPECT_EQ(frame.antenna, 2);
  EXPECT_EQ(frame.code, 0x10);
  EXPECT_EQ(frame.payload, (Bytes{0x00, 0x00, 0x00}));
}

TEST(CliFrameDecoder, FaultsAreNamed) {
  struct Case {
    const char* what;
    Bytes wire;
    const char* problem;
  };
  const Case cases[] = {
      {"wrong CRC", {0xAA, 0x04, 0x81, 0xAF, 0x9E, 0x55}, "the CRC is AF9E, the bytes give AF9D"},
      {"wrong tail", {0xAA, 0x02, 0x01, 0x56}, "the tail is 0x56"},
      {"short", {0xAA, 0x05, 0x02, 0x10}, "ends before its tail"},
      {"bad escape", {0xAA, 0x03, 0x02, 0xFF, 0x10, 0x55}, "needs no escape"},
      {"unescaped head", {0xAA, 0x04, 0x02, 0xAA, 0x10, 0x55}, "unescaped 0xAA"},
      {"length too small", {0xAA, 0x01, 0x01, 0x55}, "too short"},
      {"no head", {0x01, 0x02}, "no head byte"},
      {"bytes after the tail", {0xAA, 0x02, 0x01, 0x55, 0x00}, "follow the tail"},
  };
  for (const auto& c : cases) {
    DecodedFrame frame = DecodeFrame(c.wire);
    ASSERT_FALSE(frame.problems.empty()) << c.what;
    bool named = false;
    for (const auto& problem : frame.problems) named = named || problem.find(c.problem) != std::string::npos;
    EXPECT_TRUE(named) << c.what << ": " << frame.problems[0];
  }
}

TEST(CliFrameDecoder, CommandParametersByField) {
  // ReadDataByEPC: password 00000000, bank user, pointer 0, 2 words, a 14-byte record.
  Bytes read = {0, 0, 0, 0, 0x03, 0x00, 0x02, 0x30, 0x00, 0xE2, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01};
  auto fields = CommandFields(0x93, read);
  EXPECT_EQ(FieldValue(fields, "bank"), "user (3)");
  EXPECT_EQ(FieldValue(fields, "word address"), "0 (00)");
  EXPECT_EQ(FieldValue(fields, "word count"), "2");
  EXPECT_EQ(FieldValue(fields, "tag"), "EPC E20000000000000000000001, PC 3000");
  EXPECT_EQ(FieldValue(fields, "extra bytes"), "(absent)");

  // WriteDataToSingleTag with a two-byte pointer (word 128) carries 2 x count data bytes.
  auto write = CommandFields(0x21, {1, 2, 3, 4, 0x03, 0x81, 0x00, 0x01, 0xBE, 0xEF});
  EXPECT_EQ(FieldValue(write, "access password"), "01020304");
  EXPECT_EQ(FieldValue(write, "word address"), "128 (8100)");
  EXPECT_EQ(FieldValue(write, "data"), "BEEF");

  // Too few bytes: the missing field says so; too many: the rest is named.
  EXPECT_EQ(FieldValue(CommandFields(0x24, {1, 2}), "kill password"), "(missing: 2 of 4 bytes)");
  EXPECT_EQ(FieldValue(CommandFields(0x04, {1, 9}), "extra bytes"), "09");
  EXPECT_EQ(FieldValue(CommandFields(0x30, {0x01, 0x24, 0x00, 0x01}), "address"), "292 (0124)");
}

TEST(CliFrameDecoder, ReplyErrorCodesCarryTheirGen2Meaning) {
  auto locked = ReplyFields({0x81, 0x04});
  EXPECT_EQ(FieldValue(locked, "status"), "0x81 (failure)");
  EXPECT_NE(FieldValue(locked, "error code").find("memory locked"), std::string::npos);
  auto noCode = ReplyFields({0x80});
  EXPECT_EQ(FieldValue(noCode, "error code"), "(absent)");
  EXPECT_EQ(FieldValue(ReplyFields({0x00, 0x12, 0x34}), "data"), "1234");
}

}  // namespace
}  // namespace quarn::cli
