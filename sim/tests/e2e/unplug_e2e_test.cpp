// The reader pulled out and put back, and the hung reader, through the driver library and the real
// POSIX backend, against the public in-process reader (sim/quarn_sim.h) and the quarn-sim program.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "quarn_api.h"
#include "sim/quarn_sim.h"

namespace {

using namespace std::chrono_literals;
using Record = std::vector<unsigned char>;

constexpr int k115200 = 0x06;
const unsigned char kNoPassword[4] = {0, 0, 0, 0};
const unsigned char kPointer0[1] = {0x00};
constexpr int kUserBank = 3;
const char* const kEpcA = "300011112222333344445555";
const char* const kEpcB = "300099998888777766665500";
const Record kRecordA = {0x30, 0x00, 0x30, 0x00, 0x11, 0x11, 0x22, 0x22, 0x33, 0x33, 0x44, 0x44, 0x55, 0x55};

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quarn-sim-e2e-XXXXXX").string();
    path_ = mkdtemp(pattern.data()) ? pattern : "";
  }
  ~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  std::string File(const char* name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string LinkTarget(const std::string& link) {
  char target[PATH_MAX] = {};
  const ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
  return length > 0 ? std::string(target, static_cast<size_t>(length)) : std::string();
}

// The records an inventory reports within a bounded number of reads.
std::set<Record> InventoryRecords(PortHandle port, size_t wanted) {
  std::set<Record> records;
  if (UhfStartInventory(port, 0, 0, 0) != 1) return records;
  for (int read = 0; read < 20 && records.size() < wanted; ++read) {
    unsigned char length = 0;
    unsigned char record[64] = {};
    if (UhfReadInventory(port, &length, record) == 1) records.insert(Record(record, record + length));
  }
  UhfStopOperation(port, 0);
  return records;
}

quarn::sim::ServedReaderOptions TwoTags() {
  quarn::sim::ServedReaderOptions options;
  options.scenarioText = std::string("tag ") + kEpcA + "\ntag " + kEpcB + "\n";
  return options;
}

TEST(SimUnplugEndToEnd, TheLinkLeadsToTheReaderAgainAfterItWasPulledOut) {
  TempFolder folder;
  const std::string link = folder.File("reader");
  quarn::sim::ServedReaderOptions options = TwoTags();
  options.linkPath = link;
  std::mutex pluggedMutex;
  std::vector<std::string> pluggedPaths;
  options.plugged = [&](const std::string& path) {
    std::lock_guard<std::mutex> lock(pluggedMutex);
    pluggedPaths.push_back(path);
  };
  quarn::sim::ServedReader reader(options);
  const std::string firstPath = reader.devicePath();
  EXPECT_EQ(LinkTarget(link), firstPath);

  PortHandle port = QUARN_INVALID_PORT;
  ASSERT_EQ(UhfOpenPort(&port, link.c_str(), k115200), 1);
  const unsigned char words[2] = {0xBE, 0xEF};
  unsigned char errorCode = 0;
  ASSERT_EQ(UhfWriteDataByEPC(port, kNoPassword, kUserBank, kPointer0, 1, kRecordA.data(), words, &errorCode, 0), 1);
  ASSERT_EQ(UhfStartInventory(port, 0, 0, 0), 1);
  unsigned char length = 0;
  unsigned char record[64] = {};
  ASSERT_EQ(UhfReadInventory(port, &length, record), 1);

  reader.Unplug(1s);
  EXPECT_FALSE(reader.plugged());
  // Meanwhile the link still names the old terminal, which no longer opens.
  PortHandle meanwhile = QUARN_INVALID_PORT;
  EXPECT_EQ(UhfOpenPort(&meanwhile, link.c_str(), k115200), 0);
  UhfClosePort(&meanwhile);
  // A command cannot go out, and the stream went with the terminal.
  unsigned char version1[6] = {};
  unsigned char version2[3] = {};
  EXPECT_EQ(UhfGetVersion(port, version1, version2, 0), 0);
  EXPECT_EQ(UhfReadInventory(port, &length, record), 0);
  UhfClosePort(&port);

  ASSERT_TRUE(reader.WaitPlugged(5s));
  const std::string secondPath = reader.devicePath();
  EXPECT_NE(secondPath, firstPath);
  EXPECT_EQ(LinkTarget(link), secondPath);
  {
    std::lock_guard<std::mutex> lock(pluggedMutex);
    EXPECT_EQ(pluggedPaths, std::vector<std::string>{secondPath});
  }
  ASSERT_EQ(UhfOpenPort(&port, link.c_str(), k115200), 1);
  EXPECT_EQ(InventoryRecords(port, 2).size(), 2u);
  // The tag kept what was written before the plug was pulled.
  unsigned char back[2] = {};
  EXPECT_EQ(UhfReadDataByEPC(port, kNoPassword, kUserBank, kPointer0, 1, kRecordA.data(), back, &errorCode, 0), 1);
  EXPECT_EQ(Record(back, back + 2), (Record{0xBE, 0xEF}));
  UhfClosePort(&port);
}

// quarn-sim as a service's tests start it: SIGUSR1 pulls it out, and the new path is its next line.
class SimProgram {
 public:
  explicit SimProgram(const std::vector<std::string>& args) {
    int out[2];
    if (pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], 1);
      close(out[0]);
      std::vector<std::string> argv = {QUARN_SIM_PATH};
      argv.insert(argv.end(), args.begin(), args.end());
      std::vector<char*> raw;
      for (std::string& arg : argv) raw.push_back(arg.data());
      raw.push_back(nullptr);
      execv(raw[0], raw.data());
      _exit(127);
    }
    close(out[1]);
    out_ = out[0];
  }
  ~SimProgram() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      int status = 0;
      waitpid(pid_, &status, 0);
    }
    if (out_ >= 0) close(out_);
  }
  void Signal(int signal) const { kill(pid_, signal); }

  // The next line on its stdout, waiting up to 5 s.
  std::string NextLine() {
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (pending_.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
      pollfd entry{out_, POLLIN, 0};
      if (poll(&entry, 1, 100) <= 0) continue;
      char buffer[256];
      const ssize_t got = read(out_, buffer, sizeof buffer);
      if (got <= 0) break;
      pending_.append(buffer, static_cast<size_t>(got));
    }
    const size_t end = pending_.find('\n');
    if (end == std::string::npos) return {};
    std::string line = pending_.substr(0, end);
    pending_.erase(0, end + 1);
    return line;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string pending_;
};

// The device as a bare terminal, to send frames and see whether anything comes back.
class RawTerminal {
 public:
  explicit RawTerminal(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC)) {
    termios settings{};
    if (fd_ >= 0 && tcgetattr(fd_, &settings) == 0) {
      cfmakeraw(&settings);
      tcsetattr(fd_, TCSANOW, &settings);
    }
  }
  ~RawTerminal() {
    if (fd_ >= 0) close(fd_);
  }
  bool ok() const { return fd_ >= 0; }
  // Sends the frame and collects what arrives within waitMs.
  std::vector<unsigned char> Exchange(const std::vector<unsigned char>& frame, int waitMs) const {
    if (write(fd_, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size())) return {};
    std::vector<unsigned char> got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (std::chrono::steady_clock::now() < deadline) {
      pollfd entry{fd_, POLLIN, 0};
      if (poll(&entry, 1, 20) <= 0) continue;
      unsigned char buffer[64];
      const ssize_t count = read(fd_, buffer, sizeof buffer);
      if (count > 0) got.insert(got.end(), buffer, buffer + count);
    }
    return got;
  }

 private:
  int fd_;
};

const std::vector<unsigned char> kVersionQuery = {0xAA, 0x02, 0x07, 0x55};
const std::vector<unsigned char> kStop = {0xAA, 0x02, 0x12, 0x55};

TEST(SimUnplugEndToEnd, TheProgramHangsWhenToldAndTheFirstStopWakesItUnanswered) {
  SimProgram sim({"--tags", "1", "--hang-after", "1.5"});
  const std::string path = sim.NextLine();
  RawTerminal terminal(path);
  ASSERT_TRUE(terminal.ok()) << path;
  EXPECT_FALSE(terminal.Exchange(kVersionQuery, 100).empty());
  usleep(1500000);
  EXPECT_TRUE(terminal.Exchange(kVersionQuery, 200).empty());
  EXPECT_TRUE(terminal.Exchange(kStop, 200).empty());
  const std::vector<unsigned char> answer = terminal.Exchange(kVersionQuery, 200);
  ASSERT_GE(answer.size(), 4u);
  EXPECT_EQ(answer[2], 0x07);
  // SIGUSR2 hangs it again, on demand; the signal takes its own time to arrive.
  sim.Signal(SIGUSR2);
  bool silent = false;
  for (int attempt = 0; attempt < 10 && !silent; ++attempt) silent = terminal.Exchange(kVersionQuery, 200).empty();
  EXPECT_TRUE(silent);
}

TEST(SimUnplugEndToEnd, TheProgramPrintsTheNewPathAndMovesItsLink) {
  TempFolder folder;
  const std::string link = folder.File("reader");
  SimProgram sim({"--epc", kEpcA, "--link", link, "--replug-after", "0.2"});
  const std::string first = sim.NextLine();
  ASSERT_EQ(first.rfind("/dev/", 0), 0u) << first;
  EXPECT_EQ(LinkTarget(link), first);
  sim.Signal(SIGUSR1);
  const std::string second = sim.NextLine();
  ASSERT_EQ(second.rfind("/dev/", 0), 0u) << second;
  EXPECT_NE(second, first);
  EXPECT_EQ(LinkTarget(link), second);
  PortHandle port = QUARN_INVALID_PORT;
  ASSERT_EQ(UhfOpenPort(&port, link.c_str(), k115200), 1);
  EXPECT_EQ(InventoryRecords(port, 1), (std::set<Record>{kRecordA}));
  UhfClosePort(&port);
}

}  // namespace
