// The exact command frames of the reader-management exports, in plain and CRC mode.

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "fake_serial.h"
#include "quarn_api.h"

namespace {

using quarn::testing::Bytes;
using quarn::testing::CrcForm;
using quarn::testing::FakePort;
using quarn::testing::Join;
using quarn::testing::ReferenceCrc;

const unsigned char kFreq23[2] = {0x23, 0x32};
const unsigned char kRegisterBytes[3] = {0x0A, 0x0B, 0x0C};
const unsigned char kMultiAnt[1] = {0x03};

using Call = int (*)(PortHandle port, int crcFlag);

struct FrameCase {
  const char* name;
  Call call;
  Bytes plain;
};

unsigned char scratch[64];

const FrameCase kFrames[] = {
    {"GetPaStatus", [](PortHandle p, int c) { return UhfGetPaStatus(p, scratch, c); }, {0xAA, 0x02, 0x00, 0x55}},
    {"GetPower", [](PortHandle p, int c) { return UhfGetPower(p, scratch, c); }, {0xAA, 0x02, 0x01, 0x55}},
    {"SetPower", [](PortHandle p, int c) { return UhfSetPower(p, 0x1E, 0x07, c); },
     {0xAA, 0x04, 0x02, 0x1E, 0x07, 0x55}},
    {"GetFrequency",
     [](PortHandle p, int c) {
       return UhfGetFrequency(p, scratch, scratch + 1, scratch + 2, scratch + 4, scratch + 5, scratch + 6, c);
     },
     {0xAA, 0x02, 0x05, 0x55}},
    {"SetFrequency", [](PortHandle p, int c) { return UhfSetFrequency(p, 0x10, 0x11, kFreq23, 0x14, 0x15, 0x16, c); },
     {0xAA, 0x09, 0x06, 0x10, 0x11, 0x23, 0x32, 0x14, 0x15, 0x16, 0x55}},
    {"GetRegister", [](PortHandle p, int c) { return UhfGetRegister(p, 0x124, 1, scratch, scratch + 1, c); },
     {0xAA, 0x06, 0x30, 0x01, 0x24, 0x00, 0x01, 0x55}},
    {"SetRegister", [](PortHandle p, int c) { return UhfSetRegister(p, 0x1F0, 3, kRegisterBytes, scratch, c); },
     {0xAA, 0x09, 0x31, 0x01, 0xF0, 0x00, 0x03, 0x0A, 0x0B, 0x0C, 0x55}},
    {"SetRegisterCountZero", [](PortHandle p, int c) { return UhfSetRegister(p, 0x20, 0, kRegisterBytes, scratch, c); },
     {0xAA, 0x06, 0x31, 0x00, 0x20, 0x00, 0x00, 0x55}},
    // A negative count sends its low 16 bits and no data.
    {"SetRegisterCountNegative",
     [](PortHandle p, int c) { return UhfSetRegister(p, 0x20, -2, kRegisterBytes, scratch, c); },
     {0xAA, 0x06, 0x31, 0x00, 0x20, 0xFF, 0xFE, 0x55}},
    {"ResetRegister", [](PortHandle p, int c) { return UhfResetRegister(p, c); }, {0xAA, 0x02, 0x32, 0x55}},
    {"SaveRegister", [](PortHandle p, int c) { return UhfSaveRegister(p, c); }, {0xAA, 0x02, 0x33, 0x55}},
    {"SetMultiANT", [](PortHandle p, int c) { return UhfSetMultiANT(p, kMultiAnt, c); },
     {0xAA, 0x07, 0x31, 0x01, 0x24, 0x00, 0x01, 0x03, 0x55}},
    {"GetMultiANT", [](PortHandle p, int c) { return UhfGetMultiANT(p, scratch, c); },
     {0xAA, 0x06, 0x30, 0x01, 0x24, 0x00, 0x01, 0x55}},
    {"GetVersion", [](PortHandle p, int c) { return UhfGetVersion(p, scratch, scratch + 6, c); },
     {0xAA, 0x02, 0x07, 0x55}},
    {"GetReaderUID", [](PortHandle p, int c) { return UhfGetReaderUID(p, scratch, c); }, {0xAA, 0x02, 0x0A, 0x55}},
    {"EnterSleepMode", [](PortHandle p, int c) { return UhfEnterSleepMode(p, c); }, {0xAA, 0x02, 0x50, 0x55}},
    {"StopOperation", [](PortHandle p, int c) { return UhfStopOperation(p, c); }, {0xAA, 0x02, 0x12, 0x55}},
    {"TransparentOn", [](PortHandle p, int c) { return UhfSetTransparentTransfer(p, 1, scratch, c); },
     {0xAA, 0x02, 0x0B, 0x55}},
    {"TransparentOff", [](PortHandle p, int c) { return UhfSetTransparentTransfer(p, 0, scratch, c); },
     {0xAA, 0x02, 0x1B, 0x55}},
    // Only the low byte of an integer argument is sent.
    {"TransparentOnlyLowByte", [](PortHandle p, int c) { return UhfSetTransparentTransfer(p, 0x100, scratch, c); },
     {0xAA, 0x02, 0x1B, 0x55}},
    {"TransparentLowByteSet", [](PortHandle p, int c) { return UhfSetTransparentTransfer(p, 0x201, scratch, c); },
     {0xAA, 0x02, 0x0B, 0x55}},
    {"SetPowerOnlyLowBytes", [](PortHandle p, int c) { return UhfSetPower(p, 0x155, -1, c); },
     {0xAA, 0x04, 0x02, 0x55, 0xFF, 0x55}},
    {"SetFrequencyOnlyLowBytes",
     [](PortHandle p, int c) { return UhfSetFrequency(p, 0x101, 0x7702, kFreq23, 0x104, -0xFB, 0x1006, c); },
     {0xAA, 0x09, 0x06, 0x01, 0x02, 0x23, 0x32, 0x04, 0x05, 0x06, 0x55}},
    // Address and count travel as their low 16 bits.
    {"GetRegisterLow16", [](PortHandle p, int c) { return UhfGetRegister(p, 0x30124, 0x10002, scratch, scratch + 1, c); },
     {0xAA, 0x06, 0x30, 0x01, 0x24, 0x00, 0x02, 0x55}},
};

TEST(ManagementFrames, EachExportSendsItsFrameInPlainAndCrcMode) {
  for (const FrameCase& c : kFrames) {
    for (int crcFlag : {0, 1}) {
      FakePort port;
      c.call(port.handle(), crcFlag);
      ASSERT_EQ(port.commands().size(), 1u) << c.name << " crcFlag " << crcFlag;
      EXPECT_EQ(port.commands()[0], crcFlag ? CrcForm(c.plain) : c.plain) << c.name << " crcFlag " << crcFlag;
    }
  }
}

TEST(ManagementFrames, OnlyBitZeroOfCrcFlagSelectsTheMode) {
  for (unsigned flag : {2u, 0xFFFFFFFEu, 1u, 3u, 0xFFFFFFFFu}) {
    FakePort port;
    UhfGetPower(port.handle(), scratch, static_cast<int>(flag));
    const Bytes expected = (flag & 1) ? Bytes{0xAA, 0x04, 0x81, 0xAF, 0x9D, 0x55} : Bytes{0xAA, 0x02, 0x01, 0x55};
    EXPECT_EQ(port.lastCommand(), expected) << std::hex << flag;
  }
}

TEST(ManagementFrames, CrcModeFramesMatchTheReaderDocumentedBytes) {
  const std::pair<std::string, Bytes> literals[] = {
      {"GetPower", {0xAA, 0x04, 0x81, 0xAF, 0x9D, 0x55}},
      {"GetVersion", {0xAA, 0x04, 0x87, 0xCF, 0x5B, 0x55}},
      {"StopOperation", {0xAA, 0x04, 0x92, 0x8D, 0xCF, 0x55}},
  };
  for (const auto& [name, frame] : literals) {
    for (const FrameCase& c : kFrames) {
      if (name != c.name) continue;
      FakePort port;
      c.call(port.handle(), 1);
      EXPECT_EQ(port.lastCommand(), frame) << name;
    }
  }
}

TEST(ManagementFrames, ByteValuesOfTheFrameDelimitersAreEscapedOnTheWire) {
  FakePort port;
  UhfSetPower(port.handle(), 0x155, 0x2AA, 0);
  EXPECT_EQ(port.written(), (Bytes{0xAA, 0x04, 0x02, 0xFF, 0x55, 0xFF, 0xAA, 0x55}));
}

}  // namespace
