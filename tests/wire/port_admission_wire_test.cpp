// The real POSIX backend on what a caller may name as a port: whatever opens either is refused at once
// with the reason, or is a port on which every call ends within its time-out; a port whose device hangs
// up answers "gone" at once; a reader that takes nothing bounds a write at 550 ms.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "link/serial/serial_backend.h"
#include "pty_peer.h"
#include "quarn_api.h"
#include "raw_pty.h"

namespace {

using quarn::serial::OpenFailure;
using quarn::serial::ReadOutcome;
using quarn::serial::WriteOutcome;
using Clock = std::chrono::steady_clock;

constexpr int kBaud115200 = 0x06;

long ElapsedMs(Clock::time_point start) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

double ThreadCpuMs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// A folder of its own for the files and FIFOs the tests name as ports, removed with what it holds.
class ScratchFolder {
 public:
  ScratchFolder() {
    char pattern[] = "/tmp/quarn-port-XXXXXX";
    if (mkdtemp(pattern) != nullptr) path_ = pattern;
  }
  ~ScratchFolder() {
    for (const std::string& name : names_) unlink(name.c_str());
    if (!path_.empty()) rmdir(path_.c_str());
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  std::string File(const char* name) {
    names_.push_back(path_ + "/" + name);
    return names_.back();
  }
  bool ok() const { return !path_.empty(); }

 private:
  std::string path_;
  std::vector<std::string> names_;
};

// Opens through the backend, closing whatever opened; the reason of a refusal, or kNone.
OpenFailure OpenFailureOf(const std::string& name) {
  OpenFailure why = OpenFailure::kNone;
  const PortHandle port = quarn::serial::OpenExclusive(name.c_str(), &why);
  if (port != QUARN_INVALID_PORT) quarn::serial::Close(port);
  return port == QUARN_INVALID_PORT ? why : OpenFailure::kNone;
}

TEST(WirePortAdmission, WhatIsNotASerialPortIsRefusedAtOnce) {
  ScratchFolder scratch;
  ASSERT_TRUE(scratch.ok());
  const std::string file = scratch.File("file");
  const std::string fifo = scratch.File("fifo");
  ASSERT_EQ(close(open(file.c_str(), O_CREAT | O_WRONLY, 0600)), 0);
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // A pty master is a terminal, but reads with settings of its own that no call reaches: a read on it
  // would wait forever. The others read end-of-file at once (file, /dev/null) or block (FIFO).
  for (const std::string& name : {std::string("/dev/ptmx"), file, std::string("/dev/null"), fifo, std::string("/tmp")}) {
    const auto start = Clock::now();
    EXPECT_EQ(OpenFailureOf(name), OpenFailure::kNotSerialPort) << name;
    PortHandle port = 5;
    EXPECT_EQ(UhfOpenPort(&port, name.c_str(), kBaud115200), 0) << name;
    EXPECT_EQ(port, QUARN_INVALID_PORT) << name;
    EXPECT_LT(ElapsedMs(start), 1000) << name;
  }
}

TEST(WirePortAdmission, EachRefusalNamesItsCause) {
  quarn::testing::PtyPeer peer;
  PortHandle held = QUARN_INVALID_PORT;
  ASSERT_EQ(UhfOpenPort(&held, peer.path().c_str(), kBaud115200), 1);
  struct Case {
    std::string name;
    OpenFailure why;
  };
  const Case cases[] = {
      {"/dev/quarn-no-such-port", OpenFailure::kNoSuchPort},
      {"quarn-no-such-port", OpenFailure::kNoSuchPort},
      {"/dev/null/port", OpenFailure::kNoSuchPort},
      {"", OpenFailure::kBadName},
      {std::string(5000, 'x'), OpenFailure::kBadName},
      {peer.path(), OpenFailure::kBusy},
  };
  for (const Case& c : cases) EXPECT_EQ(OpenFailureOf(c.name), c.why) << c.name.substr(0, 40);
  UhfClosePort(&held);
  EXPECT_EQ(OpenFailureOf(peer.path()), OpenFailure::kNone) << "open again once closed";
}

// A line discipline other than the terminal's own means that another program (pppd, slattach, a GSM
// multiplexer) drives the port; its reads keep no VTIME either.
TEST(WirePortAdmission, APortDrivenThroughAnotherLineDisciplineIsBusy) {
  quarn::testing::RawPty pty;
  ASSERT_TRUE(quarn::testing::OpenRawPty(&pty));
  constexpr int kNullDiscipline = 27;  // N_NULL: takes nothing, gives nothing
  int discipline = kNullDiscipline;
  if (ioctl(pty.slaveKeeper, TIOCSETD, &discipline) != 0) {
    quarn::testing::CloseRawPty(&pty);
    GTEST_SKIP() << "this kernel has no N_NULL line discipline to put on a pty";
  }
  EXPECT_EQ(OpenFailureOf(pty.slavePath), OpenFailure::kBusy);
  quarn::testing::CloseRawPty(&pty);
}

// Run as root, the check drops to an unprivileged user in a child process, since root passes every
// permission check; without root, the pty's node is made unreadable to its owner.
TEST(WirePortAdmission, APortTheUserMayNotOpenIsRefusedForPermission) {
  quarn::testing::RawPty pty;
  ASSERT_TRUE(quarn::testing::OpenRawPty(&pty));
  ASSERT_EQ(chmod(pty.slavePath.c_str(), geteuid() == 0 ? 0600 : 0000), 0);
  constexpr int kNobody = 65534;
  constexpr int kCannotDrop = 77;
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (geteuid() == 0 && (setgid(kNobody) != 0 || setuid(kNobody) != 0)) _exit(kCannotDrop);
    _exit(OpenFailureOf(pty.slavePath) == OpenFailure::kPermissionDenied ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  quarn::testing::CloseRawPty(&pty);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == kCannotDrop) GTEST_SKIP() << "root here cannot drop to an unprivileged user";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the refusal did not name the permission";
}

// Closing the master hangs the pty up, as unplugging a USB adapter does: reads then return end-of-file
// at once and writes fail with EIO. Taking the empty reads for time-outs would make every receive spin
// through them until its time limit.
TEST(WirePortGone, AHungUpPortIsGoneAtOnceForReadsAndWrites) {
  quarn::testing::RawPty pty;
  ASSERT_TRUE(quarn::testing::OpenRawPty(&pty));
  PortHandle port = QUARN_INVALID_PORT;
  ASSERT_EQ(UhfOpenPort(&port, pty.slavePath.c_str(), kBaud115200), 1);
  quarn::testing::CloseRawPty(&pty);
  const auto start = Clock::now();
  for (int i = 0; i < 3; ++i) {
    uint8_t value = 0;
    EXPECT_EQ(quarn::serial::ReadByte(port, &value), ReadOutcome::kGone) << "read " << i;
    quarn::serial::BeginFrameWrite(port);
    EXPECT_EQ(quarn::serial::WriteByte(port, 0xAA), WriteOutcome::kGone) << "write " << i;
    quarn::serial::EndFrameWrite(port);
  }
  unsigned char power = 0;
  EXPECT_EQ(UhfGetPower(port, &power, 0), 0);
  EXPECT_LT(ElapsedMs(start), 500);
  EXPECT_EQ(UhfClosePort(&port), 1);
}

// A reader that takes nothing fills the terminal's output; the write that finds no room gives up after
// its 550 ms, sleeping meanwhile, and every write before it went straight through.
TEST(WirePortWrite, AReaderThatTakesNothingEndsAWriteAfterItsTimeOut) {
  quarn::testing::RawPty pty;
  ASSERT_TRUE(quarn::testing::OpenRawPty(&pty));
  PortHandle port = QUARN_INVALID_PORT;
  ASSERT_EQ(UhfOpenPort(&port, pty.slavePath.c_str(), kBaud115200), 1);
  constexpr long kEnough = 1L << 20;  // far more than a pty holds
  quarn::serial::BeginFrameWrite(port);
  long written = 0;
  WriteOutcome outcome = WriteOutcome::kWritten;
  long lastMs = 0;
  double lastCpuMs = 0;
  while (outcome == WriteOutcome::kWritten && written < kEnough) {
    const auto start = Clock::now();
    const double cpuStart = ThreadCpuMs();
    outcome = quarn::serial::WriteByte(port, 0x33);
    lastMs = ElapsedMs(start);
    lastCpuMs = ThreadCpuMs() - cpuStart;
    if (outcome == WriteOutcome::kWritten) ++written;
  }
  quarn::serial::EndFrameWrite(port);
  EXPECT_EQ(outcome, WriteOutcome::kTimedOut) << "after " << written << " bytes";
  EXPECT_GE(lastMs, 500);
  EXPECT_LE(lastMs, 1200);
  EXPECT_LT(lastCpuMs, 50.0);
  UhfClosePort(&port);
  quarn::testing::CloseRawPty(&pty);
}

// Reads wait in the driver only on a blocking descriptor; one left non-blocking (a frame write's bracket
// never closed) must still wait for its byte instead of reporting none at once.
TEST(WirePortRead, ADescriptorLeftNonBlockingStillWaitsForItsByte) {
  quarn::testing::RawPty pty;
  ASSERT_TRUE(quarn::testing::OpenRawPty(&pty));
  PortHandle port = QUARN_INVALID_PORT;
  ASSERT_EQ(UhfOpenPort(&port, pty.slavePath.c_str(), kBaud115200), 1);
  quarn::serial::BeginFrameWrite(port);
  std::thread reader([&pty] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const uint8_t value = 0x5A;
    EXPECT_EQ(write(pty.master, &value, 1), 1);
  });
  const auto start = Clock::now();
  uint8_t value = 0;
  EXPECT_EQ(quarn::serial::ReadByte(port, &value), ReadOutcome::kByte);
  EXPECT_EQ(value, 0x5A);
  EXPECT_GE(ElapsedMs(start), 150);
  reader.join();
  quarn::serial::EndFrameWrite(port);
  UhfClosePort(&port);
  quarn::testing::CloseRawPty(&pty);
}

}  // namespace
