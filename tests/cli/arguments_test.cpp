// The tool's own reading of what a person types: each case is a value a person would type and the
// bytes the reader must then receive, or the refusal a mistyped value must get.

#include "arguments.h"

#include <gtest/gtest.h>

#include "quarn/lock.h"
#include "quarn/tag.h"

namespace quarn::cli {
namespace {

TEST(CliArguments, EbvWordPointersGiveTheirWordAddresses) {
  struct Case {
    long address;
    Bytes pointer;
  };
  const Case cases[] = {
      {0, {0x00}}, {5, {0x05}}, {127, {0x7F}}, {128, {0x81, 0x00}}, {300, {0x82, 0x2C}}, {16383, {0xFF, 0x7F}},
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeWordPointer(c.pointer), c.address) << c.address;
}

TEST(CliArguments, BanksByNameOrNumber) {
  struct Case {
    const char* text;
    int bank;
  };
  const Case cases[] = {{"reserved", 0}, {"epc", 1}, {"TID", 2}, {"user", 3}, {"3", 3}, {"0", 0}};
  for (const auto& c : cases) EXPECT_EQ(ParseBank(c.text), c.bank) << c.text;
  for (const char* wrong : {"usr", "4", "", "-1"}) EXPECT_THROW(ParseBank(wrong), Failure) << wrong;
}

TEST(CliArguments, HexAcceptsSeparatorsAndRefusesWhatIsNoHex) {
  EXPECT_EQ(ParseHex("E2 00:1a-FF", "data"), (Bytes{0xE2, 0x00, 0x1A, 0xFF}));
  EXPECT_EQ(ParseHex("0x0102", "data"), (Bytes{0x01, 0x02}));
  EXPECT_EQ(ParseHex("", "data"), Bytes{});
  for (const char* wrong : {"ABC", "12G4", "0x1", "12 3"}) {
    try {
      ParseHex(wrong, "data");
      ADD_FAILURE() << wrong << " was taken";
    } catch (const Failure& failure) {
      EXPECT_EQ(failure.exitStatus(), kExitUsage);
      EXPECT_NE(std::string(failure.what()).find(wrong), std::string::npos) << failure.what();
    }
  }
}

TEST(CliArguments, PasswordsAreExactlyFourBytes) {
  auto password = ParsePassword("12345678", "access password").bytes();
  EXPECT_EQ(Bytes(password.begin(), password.end()), (Bytes{0x12, 0x34, 0x56, 0x78}));
  EXPECT_THROW(ParsePassword("123456", "access password"), Failure);
  EXPECT_THROW(ParsePassword("1234567890", "access password"), Failure);
}

TEST(CliArguments, EpcBecomesTheTagRecordTheReaderMatches) {
  // A 6-word EPC gets a PC word with 6 in its length field: the 14-byte record of a 96-bit EPC.
  Bytes record = TagRecordFor("E20034120000000000000001", "");
  ASSERT_EQ(record.size(), 14u);
  EXPECT_EQ(record[0], 0x30);
  EXPECT_EQ(record[1], 0x00);
  EXPECT_EQ(quarn::TagRecord::SizeFor(record[0]), record.size());
  EXPECT_EQ(TagFor("E20034120000000000000001", "").epcHex(), "E20034120000000000000001");
  // A PC word given whole keeps its other bits (here the user-memory indicator).
  EXPECT_EQ(TagRecordFor("ABCD", "0C00"), (Bytes{0x0C, 0x00, 0xAB, 0xCD}));
  EXPECT_EQ(TagRecordFor("", ""), (Bytes{0x00, 0x00}));

  EXPECT_THROW(TagRecordFor("ABC", ""), Failure);                  // odd digits
  EXPECT_THROW(TagRecordFor("ABCDEF", ""), Failure);               // not whole words
  EXPECT_THROW(TagRecordFor("ABCD", "3000"), Failure);             // PC announces 6 words, EPC has 1
  EXPECT_THROW(TagRecordFor(std::string(128, 'A'), ""), Failure);  // 32 words
}

TEST(CliArguments, LockRequestsBuildTheLockPayload) {
  struct Case {
    std::vector<std::string> pairs;
    Bytes payload;
    bool irreversible;  // asks for a confirmation
  };
  const Case cases[] = {
      {{"epc=lock"}, {0x00, 0xC0, 0x20}, false},
      {{"kill=permalock", "access=permalock"}, {0x0F, 0x03, 0xC0}, true},
      {{"user=lock"}, {0x00, 0x0C, 0x02}, false},
      {{"user=unlock"}, {0x00, 0x0C, 0x00}, false},
      {{"tid=permaunlock"}, {0x00, 0x30, 0x04}, true},
      {{"kill=lock", "access=lock", "epc=lock", "tid=lock", "user=lock"}, {0x0F, 0xFE, 0xAA}, false},
      {{"USER=Lock", "epc=keep"}, {0x00, 0x0C, 0x02}, false},
      {{"user=lock", "epc=PermaLock"}, {0x00, 0xCC, 0x32}, true},
  };
  for (const auto& c : cases) {
    const LockRequest request = ParseLockRequest(c.pairs);
    auto payload = quarn::LockPayload(LockSettingsOf(request)).bytes();
    EXPECT_EQ(Bytes(payload.begin(), payload.end()), c.payload) << c.pairs[0];
    EXPECT_EQ(IsIrreversible(request), c.irreversible) << c.pairs[0];
  }
  for (const auto& wrong : std::vector<std::vector<std::string>>{{}, {"user"}, {"memory=lock"}, {"user=seal"}})
    EXPECT_THROW(ParseLockRequest(wrong), Failure);
}

TEST(CliArguments, NumbersInDecimalOrHexWithinTheirRange) {
  EXPECT_EQ(ParseNumber("0x124", 0, 511, "address"), 0x124);
  EXPECT_EQ(ParseNumber("292", 0, 511, "address"), 292);
  for (const char* wrong : {"512", "-1", "12a", "", "0x"}) EXPECT_THROW(ParseNumber(wrong, 0, 511, "address"), Failure);
}

}  // namespace
}  // namespace quarn::cli
