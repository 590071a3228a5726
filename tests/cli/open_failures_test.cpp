// A port that does not open: each cause named, with the hint that fits it, and exit status 3.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "pty_peer.h"
#include "quarn_runner.h"

namespace quarn::cli::testing {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;

struct OpenCase {
  std::string port;
  const char* cause;    // the JSON error's cause
  const char* message;  // after "cannot open the serial port PORT: "
  std::string hint;     // a part of the hint
};

void ExpectOpenFailure(const OpenCase& c, const RunOptions& options = {}) {
  std::vector<std::string> args = {"--json", "--port", c.port, "power"};
  Outcome run = RunQuarn(args, options);
  EXPECT_EQ(run.status, 3) << c.port << "\n" << run.err;
  EXPECT_NE(run.err.find("quarn: cannot open the serial port " + c.port + ": " + c.message), std::string::npos)
      << run.err;
  auto error = run.Json()["error"];
  EXPECT_EQ(error["cause"], c.cause) << error;
  EXPECT_NE(error.value("hint", "").find(c.hint), std::string::npos) << error;
  EXPECT_EQ(error["exitStatus"], 3);
}

class CliOpenFailures : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "quarn-cli-open-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  std::string folder_;
};

TEST_F(CliOpenFailures, EachCauseIsNamed) {
  const std::string file = folder_ + "/notes.txt";
  std::ofstream(file) << "not a port\n";
  const OpenCase cases[] = {
      {folder_ + "/ttyUSB9", "noSuchPort", "no such device", "quarn ports lists the serial ports"},
      {"ttyQUARN9", "noSuchPort", "no such device", "quarn ports"},
      {"/dev/null", "notSerialPort", "it is not a serial device", "name the reader's serial port"},
      {file, "notSerialPort", "it is not a serial device", "quarn ports"},
      {folder_, "notSerialPort", "it is a folder, not a device", "quarn ports"},
      {"/dev/ptmx", "notSerialPort", "it is not a serial device but the pseudo-terminal multiplexer",
       "the /dev/pts/N path quarn-sim prints"},
  };
  for (const OpenCase& c : cases) ExpectOpenFailure(c);
}

TEST_F(CliOpenFailures, APortInUseByAnotherProgram) {
  quarn::testing::PtyPeer peer;
  const int holder = open(peer.path().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
  ExpectOpenFailure({peer.path(), "busy", "it is in use by another program", "fuser -v " + peer.path()});
  close(holder);
  // Once the other program lets go, the port opens (and the silent peer is the next failure).
}

TEST_F(CliOpenFailures, APortThisUserMayNotOpen) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to run the tool as another user";
  quarn::testing::PtyPeer peer;
  ASSERT_EQ(chmod(peer.path().c_str(), 0600), 0);
  RunOptions asNobody;
  asNobody.user = kNobody;
  ExpectOpenFailure({peer.path(), "permissionDenied", "permission denied", "then log out and in again"}, asNobody);
}

}  // namespace
}  // namespace quarn::cli::testing
