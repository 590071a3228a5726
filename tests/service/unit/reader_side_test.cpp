// The reader side's rules that need no reader: the names the status counts outcomes by, which outcomes
// mean the port is gone, the multi-antenna register's value, and a select filter in the C++ API's terms.

#include <gtest/gtest.h>

#include <cctype>
#include <set>

#include "outcome_names.h"
#include "quarn/error.h"
#include "reader_setup.h"

namespace quarn::watch {
namespace {

constexpr quarn::Errc kEveryErrc[] = {
    quarn::Errc::kPortUnusable,  quarn::Errc::kPortGone,        quarn::Errc::kWriteFailed,
    quarn::Errc::kNoReply,       quarn::Errc::kCutOff,          quarn::Errc::kBadEscape,
    quarn::Errc::kUnescapedHeadOrTail, quarn::Errc::kWrongTail, quarn::Errc::kTooLong,
    quarn::Errc::kCrcMismatch,   quarn::Errc::kOtherCommand,    quarn::Errc::kRefused,
    quarn::Errc::kTooShort,      quarn::Errc::kCommandTooLong,  quarn::Errc::kInvalidArgument,
    quarn::Errc::kNotOpen,       quarn::Errc::kNoSuchPort,      quarn::Errc::kPermissionDenied,
    quarn::Errc::kBusy,          quarn::Errc::kNotSerialPort,   quarn::Errc::kBadPortName,
    quarn::Errc::kBadBaud,       quarn::Errc::kOpenFailed,
};

// A status counts failures by name: each outcome needs a short one of its own, not the sentence.
TEST(ReaderSide, EveryOutcomeHasAShortLowerCaseNameOfItsOwn) {
  std::set<std::string> names;
  for (quarn::Errc errc : kEveryErrc) {
    const std::string name = OutcomeName(errc);
    EXPECT_LE(name.size(), 20u) << name;
    for (char c : name) EXPECT_TRUE(std::islower(static_cast<unsigned char>(c)) || c == ' ') << name;
    EXPECT_TRUE(names.insert(name).second) << name << " twice";
  }
  EXPECT_EQ(OutcomeName(quarn::Errc::kCrcMismatch), "crc mismatch");
  EXPECT_EQ(OutcomeName(std::make_error_code(std::errc::timed_out)),
            std::make_error_code(std::errc::timed_out).message());
}

TEST(ReaderSide, OnlyAPortThatVanishedOrIsNoLongerOpenCallsForReopening) {
  const std::set<quarn::Errc> gone = {quarn::Errc::kPortGone, quarn::Errc::kPortUnusable, quarn::Errc::kNoSuchPort,
                                      quarn::Errc::kNotOpen};
  for (quarn::Errc errc : kEveryErrc) EXPECT_EQ(MeansPortGone(errc), gone.count(errc) == 1) << OutcomeName(errc);
}

TEST(ReaderSide, TheMultiAntennaRegisterKeepsTheAntennasChosenElseTakesTheConnectedOnes) {
  struct Row {
    bool multiAntenna;
    uint8_t current, connected, expected;
  };
  for (const Row& row : {Row{false, 0x0B, 0x0F, 0x00}, Row{false, 0x00, 0x0F, 0x00}, Row{true, 0x0B, 0x0F, 0x0B},
                         Row{true, 0x00, 0x0F, 0x0F}, Row{true, 0x00, 0x05, 0x05}})
    EXPECT_EQ(MultiAntennaValue(row.multiAntenna, row.current, row.connected), row.expected)
        << row.multiAntenna << " " << int(row.current) << " " << int(row.connected);
}

TEST(ReaderSide, ASelectFilterKeepsItsFieldsAndAMaskCutToWhatTheReaderHolds) {
  SelectFilter filter;
  filter.index = 3;
  filter.target = 4;
  filter.action = 2;
  filter.bank = 2;
  filter.pointer = 200;
  filter.mask = {0xE2, 0x00, 0x34};
  filter.maskBits = 20;
  filter.truncate = 1;
  quarn::Filter out = ToFilter(filter);
  EXPECT_EQ(out.index, 3);
  EXPECT_EQ(out.target, 4);
  EXPECT_EQ(out.action, 2);
  EXPECT_EQ(out.bank, quarn::MemoryBank::kTid);
  EXPECT_EQ(out.bitPointer, 200u);
  EXPECT_EQ(out.maskBitLength, 20);
  EXPECT_EQ(out.maskBytes().ToVector(), (std::vector<uint8_t>{0xE2, 0x00, 0x34}));
  EXPECT_EQ(out.truncate, 1);

  filter.mask.assign(40, 0xAB);
  filter.maskBits = 255;
  out = ToFilter(filter);
  EXPECT_EQ(out.maskBitLength, 255);
  EXPECT_EQ(out.maskBytes().size(), quarn::Filter::kMaxMaskBytes);
}

}  // namespace
}  // namespace quarn::watch
