// The SAM's APDUs, SR information and SR writes into tags, and the firmware update session.

#include <gtest/gtest.h>

#include "sim_test_support.h"

namespace quarn::sim {
namespace {

using testing::Bench;
using testing::Concat;
using testing::kZeroPassword;
using testing::Reply;

TEST(SimSam, AnswersApdusWithLeBytesThenTheStatusWord) {
  struct Case {
    const char* what;
    Bytes apdu;
    uint8_t status;
    size_t dataBytes;  // before SW1 SW2
    Bytes statusWord;
  };
  const Case cases[] = {
      {"select, header only", {0x00, 0xA4, 0x04, 0x00}, 0x00, 0, {0x90, 0x00}},
      {"select data file", {0x00, 0xA4, 0x00, 0x00, 0x02, 0x00, 0x01}, 0x00, 0, {0x90, 0x00}},
      {"select missing file", {0x00, 0xA4, 0x00, 0x00, 0x02, 0x12, 0x34}, 0x81, 0, {0x6A, 0x82}},
      {"get challenge 8", {0x00, 0x84, 0x00, 0x00, 0x08}, 0x00, 8, {0x90, 0x00}},
      {"get challenge Le 0", {0x00, 0x84, 0x00, 0x00, 0x00}, 0x81, 0, {0x6C, 0x08}},
      {"get data serial", {0x00, 0xCA, 0x00, 0x01, 0x08}, 0x00, 8, {0x90, 0x00}},
      {"unknown instruction", {0x00, 0x12, 0x00, 0x00}, 0x81, 0, {0x6D, 0x00}},
      {"unknown class", {0x80, 0x84, 0x00, 0x00, 0x04}, 0x81, 4, {0x6E, 0x00}},
      {"no valid case", {0x00, 0xA4, 0x00, 0x00, 0x05, 0x01}, 0x81, 0, {0x67, 0x00}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bench bench;
    const Reply reply = bench.Command(0x43, c.apdu);
    EXPECT_EQ(reply.status, c.status);
    ASSERT_EQ(reply.data.size(), c.dataBytes + 2);
    EXPECT_EQ(Bytes(reply.data.end() - 2, reply.data.end()), c.statusWord);
  }
}

TEST(SimSam, ReadBinaryNeedsTheDataFileSelected) {
  Bench bench;
  EXPECT_EQ(bench.Command(0x43, {0x00, 0xB0, 0x00, 0x00, 0x04}).data, (Bytes{0, 0, 0, 0, 0x69, 0x86}));
  bench.Command(0x43, {0x00, 0xA4, 0x00, 0x00, 0x02, 0x00, 0x01});
  EXPECT_EQ(bench.Command(0x43, {0x00, 0xB0, 0x00, 0x01, 0x02}).data, (Bytes{8, 15, 0x90, 0x00}));
  EXPECT_EQ(bench.Command(0x43, {0x00, 0xB0, 0x00, 0x1F, 0x02}).data, (Bytes{218, 0, 0x62, 0x82}));
}

TEST(SimSam, PsamPowerGivesTheAnswerToResetAndSwitchesTheSamOff) {
  Bench bench;
  const Reply on = bench.Command(0x46, {2, 1}, true);
  EXPECT_EQ(on.status, 0x01);
  EXPECT_EQ(on.data, (Bytes{0x3B, 0x68, 0x00, 0x00, 'Q', 'U', 'A', 'R', 'N', 'S', 'A', 'M', 0x02}));
  EXPECT_EQ(bench.Command(0x46, {2, 0}).status, 0x00);
  EXPECT_EQ(bench.Command(0x43, {0x00, 0xA4, 0x04, 0x00}).status, 0x00);  // slot 1 is still on
  EXPECT_EQ(bench.Command(0x46, {1, 0}).status, 0x00);
  const Reply off = bench.Command(0x43, {0x00, 0xA4, 0x04, 0x00});
  EXPECT_EQ(off.status, 0x83);
  EXPECT_TRUE(off.data.empty());
  EXPECT_EQ(bench.Command(0x44, {0x00, 0x84, 0x00, 0x00, 0x08}).status, 0x83);
  EXPECT_EQ(bench.Command(0x46, {3, 1}).status, 0x80);
}

TEST(SimSam, SamResponsesFillSrAndSrWritesCarryItIntoATag) {
  const Bytes epc = {0xE2, 0x00, 0x00, 0x01};
  Bench bench(testing::TagsScenario({epc}));
  const Reply toA = bench.Command(0x44, {0x00, 0xCA, 0x00, 0x01, 0x08});
  EXPECT_EQ(toA.status, 0x00);
  EXPECT_EQ(toA.data, (Bytes{0x90, 0x00}));
  const Bytes serial = Bytes(bench.reader.sam().sr().begin(), bench.reader.sam().sr().begin() + 8);
  const Reply sr = bench.Command(0x72, {0x00});
  ASSERT_EQ(sr.data.size(), 80u);
  EXPECT_EQ(Bytes(sr.data.begin(), sr.data.begin() + 8), serial);
  EXPECT_EQ(bench.Command(0x72, {0x01}).status, 0x01);

  // SR words 0 to 3 into user memory from word 2, on the single tag in the field.
  const Bytes record = Concat({{0x10, 0x00}, epc});
  const Reply written = bench.Command(0x71, Concat({kZeroPassword, {0x03, 0x02, 0x00, 0x04, 0x00, 0x00}}));
  EXPECT_EQ(written.status, 0x00);
  EXPECT_EQ(written.data, record);
  const Reply read = bench.Command(0x13, Concat({kZeroPassword, {0x03, 0x02, 0x04}, record}));
  EXPECT_EQ(read.data, serial);
  // By EPC, running past the end of user memory: code and count.
  const Reply overrun = bench.Command(0x70, Concat({kZeroPassword, {0x03, 30, 0x00, 0x04, 0x00, 0x00}, record}));
  EXPECT_EQ(overrun.status, 0x81);
  EXPECT_EQ(overrun.data, (Bytes{0x03, 0x02}));
  const Reply badRange = bench.Command(0x71, Concat({kZeroPassword, {0x03, 0x00, 38, 0x04, 0x00, 0x00}}));
  EXPECT_EQ(badRange.data, Concat({{0x16, 0x00}, record}));
}

class SimUpdate : public ::testing::Test {
 protected:
  Bytes Init() {
    const Reply reply = bench.Command(0x53);
    EXPECT_EQ(reply.status, 0x00);
    EXPECT_EQ(reply.data.size(), 4u);
    return reply.data;
  }
  uint8_t Size(uint32_t size) {
    return bench.Command(0x56, {static_cast<uint8_t>(size), static_cast<uint8_t>(size >> 8),
                                static_cast<uint8_t>(size >> 16), static_cast<uint8_t>(size >> 24)}).status;
  }
  uint8_t Block(uint16_t number, const Bytes& data, bool crc = false) {
    return bench.Command(0x57, Concat({{static_cast<uint8_t>(number >> 8), static_cast<uint8_t>(number)}, data}), crc)
        .status;
  }
  Bench bench;
};

TEST_F(SimUpdate, TaggedImageInstallsItsVersionAndRestartsTheReader) {
  bench.Command(0x31, {0x00, 0x00, 0x00, 0x01, 0x42});  // not saved: gone after the restart
  const Bytes version = {'Q', 'S', 0x01, 0x02, 0x00, 0x07, 0x19, 0x0C, 0x1F};
  Bytes image = Concat({{'Q', 'F', 'W', '1'}, version});
  image.resize(3000, 0xA5);
  EXPECT_EQ(bench.Command(0x54, Init()).status, 0x00);
  EXPECT_EQ(Size(3000), 0x00);
  EXPECT_EQ(Block(0, Bytes(image.begin(), image.begin() + 2041)), 0x00);
  EXPECT_EQ(Block(1, Bytes(image.begin() + 2041, image.end()), true), 0x00);
  EXPECT_EQ(bench.Command(0x58).status, 0x00);
  EXPECT_EQ(bench.reader.update().installedImage(), image);
  EXPECT_EQ(bench.Command(0x07).data, version);
  EXPECT_EQ(bench.reader.registers().at(0), 0x00);
}

TEST_F(SimUpdate, OutOfOrderStepsAreRefusedWithTheirStatus) {
  EXPECT_EQ(bench.Command(0x54, {1, 2, 3, 4}).status, 0x01);
  EXPECT_EQ(Size(10), 0x01);
  Bytes challenge = Init();
  challenge[0] ^= 0xFF;
  EXPECT_EQ(bench.Command(0x54, challenge).status, 0x02);
  EXPECT_EQ(bench.Command(0x54, Init()).status, 0x00);
  EXPECT_EQ(Size(0), 0x03);
  EXPECT_EQ(Size(kMaxImageSize + 1), 0x03);
  EXPECT_EQ(Size(10), 0x00);
  EXPECT_EQ(Block(1, {1, 2}), 0x04);
  EXPECT_EQ(Block(0, Bytes(11, 0)), 0x05);
  EXPECT_EQ(Block(0, Bytes(6, 0)), 0x00);
  EXPECT_EQ(bench.Command(0x58).status, 0x06);
  EXPECT_EQ(Block(1, Bytes(4, 0)), 0x00);
  EXPECT_EQ(bench.Command(0x58).status, 0x00);
  EXPECT_EQ(bench.reader.version(), (Bytes{'Q', 'S', 0x01, 0x01, 0x02, 0x00, 0x19, 0x06, 0x01}));  // untagged image
  EXPECT_EQ(bench.Command(0x58).status, 0x01);
}

}  // namespace
}  // namespace quarn::sim
