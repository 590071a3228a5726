// Opening a port asks its driver for low-latency mode, so that a USB serial adapter hands over received
// bytes at once instead of after its latency timer; a driver without the setting (a pty) or one that
// refuses it still gives a working port. The ioctl calls of the backend pass through __wrap_ioctl, which
// can play a driver that knows the setting on top of a real pty.

#include <gtest/gtest.h>
#include <linux/serial.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstdarg>
#include <functional>

#include "pty_peer.h"
#include "quarn_api.h"
#include "reference_frames.h"

extern "C" int __real_ioctl(int fd, unsigned long request, ...);

namespace {

// The driver __wrap_ioctl plays for TIOCGSERIAL and TIOCSSERIAL; every other request goes to the pty.
enum class Driver {
  kNone,          // the pty's own answer: no such request
  kKnowsLatency,  // reports flags and takes a change of them
  kRefusesChange  // reports flags, refuses every change
};

struct Played {
  Driver driver = Driver::kNone;
  unsigned int flags = 0;  // what TIOCGSERIAL reports
  int gets = 0;
  int sets = 0;
  unsigned int flagsSet = 0;  // what the last TIOCSSERIAL asked for
  int otherFieldsChanged = 0;
};

Played played;

int PlaySerialRequest(unsigned long request, serial_struct* info) {
  if (request == TIOCGSERIAL) {
    ++played.gets;
    *info = serial_struct{};
    info->type = PORT_16550A;
    info->baud_base = 115200;
    info->flags = static_cast<int>(played.flags);
    return 0;
  }
  ++played.sets;
  played.flagsSet = static_cast<unsigned int>(info->flags);
  // The request must carry back what the driver reported, changed only in its flags.
  if (info->type != PORT_16550A || info->baud_base != 115200) ++played.otherFieldsChanged;
  if (played.driver == Driver::kRefusesChange) {
    errno = EPERM;
    return -1;
  }
  played.flags = played.flagsSet;
  return 0;
}

}  // namespace

extern "C" int __wrap_ioctl(int fd, unsigned long request, ...) {
  va_list arguments;
  va_start(arguments, request);
  void* argument = va_arg(arguments, void*);
  va_end(arguments);
  const bool serialRequest = request == TIOCGSERIAL || request == TIOCSSERIAL;
  if (serialRequest && played.driver != Driver::kNone) return PlaySerialRequest(request, static_cast<serial_struct*>(argument));
  if (request == TIOCGSERIAL) ++played.gets;
  if (request == TIOCSSERIAL) ++played.sets;
  return __real_ioctl(fd, request, argument);
}

namespace {

using quarn::testing::PtyPeer;
using quarn::testing::WireReply;

constexpr int kBaud115200 = 0x06;
constexpr unsigned int kOtherFlags = ASYNC_SKIP_TEST | ASYNC_SPD_HI;

struct Opener {
  const char* name;
  std::function<bool(PtyPeer&, PortHandle*)> open;
};

// Both ways a port opens: for commands, and for a firmware update.
const Opener kOpeners[] = {
    {"UhfOpenPort",
     [](PtyPeer& peer, PortHandle* port) { return UhfOpenPort(port, peer.path().c_str(), kBaud115200) == 1; }},
    {"UhfUpdateInit",
     [](PtyPeer& peer, PortHandle* port) {
       peer.ReplyInOrder({WireReply(0x53, {0x00, 0x78, 0x56, 0x34, 0x12})});
       unsigned char status = 0xEE;
       int initValue = 0;
       return UhfUpdateInit(port, peer.path().c_str(), &status, &initValue, kBaud115200) == 1;
     }},
};

TEST(LowLatency, EveryOpenAsksForItAndThePortWorksWhateverTheDriverSays) {
  struct Case {
    const char* name;
    Driver driver;
    unsigned int flagsBefore;
    int setsExpected;  // 0: nothing to change, or nothing to ask
    unsigned int flagsAfter;
  };
  const Case cases[] = {
      {"a pty has no such setting", Driver::kNone, 0, 0, 0},
      {"the driver runs slow", Driver::kKnowsLatency, kOtherFlags, 1, kOtherFlags | ASYNC_LOW_LATENCY},
      {"the driver already runs fast", Driver::kKnowsLatency, kOtherFlags | ASYNC_LOW_LATENCY, 0,
       kOtherFlags | ASYNC_LOW_LATENCY},
      {"the driver refuses the change", Driver::kRefusesChange, kOtherFlags, 1, kOtherFlags},
  };
  for (const Opener& opener : kOpeners) {
    for (const Case& c : cases) {
      const std::string what = std::string(opener.name) + ": " + c.name;
      PtyPeer peer;
      played = Played{};
      played.driver = c.driver;
      played.flags = c.flagsBefore;
      PortHandle port = QUARN_INVALID_PORT;
      ASSERT_TRUE(opener.open(peer, &port)) << what;
      EXPECT_EQ(played.gets, 1) << what;
      EXPECT_EQ(played.sets, c.setsExpected) << what;
      if (c.setsExpected > 0) {
        EXPECT_EQ(played.flagsSet, kOtherFlags | ASYNC_LOW_LATENCY) << what;
      }
      EXPECT_EQ(played.otherFieldsChanged, 0) << what;
      EXPECT_EQ(played.flags, c.flagsAfter) << what;
      // The port that opened answers.
      peer.ReplyInOrder({WireReply(0x01, {0x00, 0x1A})});
      unsigned char power = 0;
      EXPECT_EQ(UhfGetPower(port, &power, 0), 1) << what;
      EXPECT_EQ(power, 0x1A) << what;
      EXPECT_EQ(UhfClosePort(&port), 1) << what;
    }
  }
  played = Played{};
}

// A port that will not open asks nothing of a driver.
TEST(LowLatency, ARefusedOpenAsksNothing) {
  played = Played{};
  played.driver = Driver::kKnowsLatency;
  PortHandle port = QUARN_INVALID_PORT;
  EXPECT_EQ(UhfOpenPort(&port, "/dev/null", kBaud115200), 0);
  EXPECT_EQ(UhfOpenPort(&port, "/dev/ptmx", kBaud115200), 0);
  EXPECT_EQ(played.gets + played.sets, 0);
  played = Played{};
}

}  // namespace
