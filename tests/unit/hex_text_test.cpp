#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "quarn_api.h"

namespace {

TEST(CharToCString, WritesTwoUppercaseDigitsPerByteAndNothingBeyond) {
  const unsigned char bytes[] = {0x00, 0xAB, 0x7F, 0xFF};
  char text[9];
  std::fill(std::begin(text), std::end(text), '#');
  UhfCharToCString(bytes, text, 4);
  EXPECT_EQ(std::string(text, 8), "00AB7FFF");
  EXPECT_EQ(text[8], '#');
}

TEST(CharToCString, WritesNothingForCountsOfZeroOrLess) {
  const unsigned char bytes[] = {0x12};
  for (int count : {0, -5}) {
    char text[2] = {'#', '#'};
    UhfCharToCString(bytes, text, count);
    EXPECT_EQ(text[0], '#') << count;
    EXPECT_EQ(text[1], '#') << count;
  }
}

TEST(CharToCString, ConvertsLongInputsWholeAndStopsExactlyAtTwiceTheCount) {
  for (int count : {128, 129, 300}) {
    std::vector<unsigned char> bytes(count);
    for (int i = 0; i < count; ++i) bytes[i] = static_cast<unsigned char>(i * 7);
    std::vector<char> text(2 * count + 1, '#');
    UhfCharToCString(bytes.data(), text.data(), count);
    EXPECT_EQ(text[2 * count], '#') << count;
    char expected[3];
    snprintf(expected, sizeof expected, "%02X", bytes[count - 1]);
    EXPECT_EQ(std::string(&text[2 * count - 2], 2), expected) << count;
  }
}

struct HexCase {
  std::string text;
  int length;
  std::vector<unsigned char> bytes;
  int result;
};

TEST(CStringToChar, ConvertsDigitsOfBothCasesAndCountsOthersAsZero) {
  const std::vector<HexCase> cases = {
      {"1a2B", 4, {0x1A, 0x2B}, 2},
      {"e2 0", 4, {0xE2, 0x00}, 2},
      {"G1", 2, {0x01}, 1},
      {"zz", 2, {0x00}, 1},
      {"12345", 5, {0x12, 0x34}, 2},
      {"AB9", 3, {0xAB}, 1},
      {std::string("\x80\x00", 2), 2, {0x00}, 1},
  };
  for (const HexCase& c : cases) {
    std::vector<unsigned char> out(c.bytes.size() + 1, 0xEE);
    EXPECT_EQ(UhfCStringToChar(c.text.data(), out.data(), c.length), c.result) << c.text;
    EXPECT_EQ(std::vector<unsigned char>(out.begin(), out.end() - 1), c.bytes) << c.text;
    EXPECT_EQ(out.back(), 0xEE) << c.text << ": wrote past length / 2";
  }
}

TEST(CStringToChar, WritesNothingForLengthsBelowTwoAndReturnsTheTruncatedHalf) {
  for (auto [length, result] : {std::pair{1, 0}, std::pair{0, 0}, std::pair{-3, -1}, std::pair{-4, -2}}) {
    unsigned char out[2] = {0xEE, 0xEE};
    EXPECT_EQ(UhfCStringToChar("12", out, length), result) << length;
    EXPECT_EQ(out[0], 0xEE) << length;
  }
}

TEST(CStringToChar, ConvertsLongTextsWholeAndStopsAtHalfTheLength) {
  for (int length : {256, 257, 600}) {
    std::string text(length, '7');
    std::vector<unsigned char> out(length / 2 + 1, 0xEE);
    EXPECT_EQ(UhfCStringToChar(text.data(), out.data(), length), length / 2);
    EXPECT_EQ(out[length / 2 - 1], 0x77) << length;
    EXPECT_EQ(out[length / 2], 0xEE) << length;
  }
}

}  // namespace
