#include <gtest/gtest.h>

#include "fake_serial.h"
#include "quarn_api.h"

namespace {

using quarn::testing::Bytes;

struct LockCase {
  int kill, access, epc, tid, user;
  Bytes payload;
};

TEST(LockGenCode, BuildsThePayloadOfEachAreasChoice) {
  const std::vector<LockCase> cases = {
      {0, 0, 0, 0, 0, {0x00, 0x00, 0x00}},
      {1, 1, 1, 1, 1, {0x0F, 0xFE, 0xAA}},
      {2, 2, 2, 2, 2, {0x0F, 0xFC, 0x00}},
      {3, 3, 3, 3, 3, {0x0F, 0xFF, 0xFF}},
      {4, 4, 4, 4, 4, {0x0F, 0xFD, 0x55}},
      {0, 0, 1, 0, 0, {0x00, 0xC0, 0x20}},
      {3, 3, 0, 0, 0, {0x0F, 0x03, 0xC0}},
      {1, 0, 0, 0, 0, {0x0C, 0x02, 0x00}},
      {0, 4, 0, 0, 0, {0x03, 0x00, 0x40}},
      {0, 0, 0, 3, 0, {0x00, 0x30, 0x0C}},
      {0, 0, 0, 0, 4, {0x00, 0x0C, 0x01}},
      {2, 0, 0, 0, 0, {0x0C, 0x00, 0x00}},
      {0x101, 0x101, 0x101, 0x101, 0x101, {0x0F, 0xFE, 0xAA}},
      {5, 0x100, 255, -1, 6, {0x00, 0x00, 0x00}},
      {5, 1, 0x100, 4, 3, {0x03, 0x3C, 0x87}},
  };
  for (const LockCase& c : cases) {
    Bytes payload = {0x99, 0x99, 0x99, 0xEE};
    unsigned char* result = LockGenCode(c.kill, c.access, c.epc, c.tid, c.user, payload.data());
    EXPECT_EQ(result, payload.data());
    EXPECT_EQ(payload, (Bytes{c.payload[0], c.payload[1], c.payload[2], 0xEE}))
        << c.kill << c.access << c.epc << c.tid << c.user;
  }
}

}  // namespace
