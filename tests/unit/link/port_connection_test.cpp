// Opening and closing ports through the exports, against fake ports opened by name.

#include <gtest/gtest.h>

#include "fake_serial.h"
#include "quarn_api.h"

namespace {

using quarn::testing::FakePort;

TEST(OpenPort, SelectsTheBaudRateFromBitsOneToThree) {
  struct Case {
    int options;
    uint32_t baud;
  };
  const Case cases[] = {{0, 9600},       {1, 9600},       {0x10, 9600},   {0x11, 9600},
                        {2, 19200},      {3, 19200},      {4, 57600},     {5, 57600},
                        {6, 115200},     {7, 115200},     {0x76, 115200}};
  for (const Case& c : cases) {
    FakePort port;
    port.Publish("COM3");
    PortHandle handle = QUARN_INVALID_PORT;
    ASSERT_EQ(UhfOpenPort(&handle, "COM3", c.options), 1) << c.options;
    EXPECT_EQ(handle, port.handle());
    EXPECT_EQ(port.baudRate(), c.baud) << c.options;
    EXPECT_EQ(UhfClosePort(&handle), 1);
  }
}

TEST(OpenPort, RefusesSelectionsAboveSixWithoutOpeningAnything) {
  for (int options : {8, 9, 0x0A, 0x0C, 0x0E, 0x0F, -1}) {
    FakePort port;
    port.Publish("COM3");
    PortHandle handle = port.handle();
    EXPECT_EQ(UhfOpenPort(&handle, "COM3", options), 0) << options;
    EXPECT_EQ(handle, QUARN_INVALID_PORT) << options;
    EXPECT_FALSE(port.isOpen()) << options;
    EXPECT_EQ(port.configureCount(), 0);
  }
}

TEST(OpenPort, APortThatWillNotOpenLeavesTheInvalidHandle) {
  FakePort port;
  port.Publish("COM3");
  PortHandle first = QUARN_INVALID_PORT;
  ASSERT_EQ(UhfReaderConnect(&first, "COM3", 6), 1);
  PortHandle second = first;
  EXPECT_EQ(UhfOpenPort(&second, "COM3", 6), 0) << "the port is held exclusively";
  EXPECT_EQ(second, QUARN_INVALID_PORT);
  PortHandle missing = first;
  EXPECT_EQ(UhfOpenPort(&missing, "", 0), 0);
  EXPECT_EQ(missing, QUARN_INVALID_PORT);
  EXPECT_EQ(UhfReaderDisconnect(&first, 12345), 1);
  EXPECT_EQ(UhfOpenPort(&second, "COM3", 6), 1) << "closed ports open again";
  EXPECT_EQ(UhfClosePort(&second), 1);
}

TEST(ClosePort, ReportsSuccessEvenForAHandleClosedTwiceAndKeepsTheVariable) {
  FakePort port;
  port.Publish("COM4");
  PortHandle handle = QUARN_INVALID_PORT;
  ASSERT_EQ(UhfOpenPort(&handle, "COM4", 0), 1);
  EXPECT_EQ(UhfClosePort(&handle), 1);
  EXPECT_EQ(handle, port.handle());
  EXPECT_EQ(UhfClosePort(&handle), 1);
  EXPECT_EQ(port.closeCount(), 2);
}

}  // namespace
