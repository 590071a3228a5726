// The reader's side of the COM port for the Windows ring: a pseudo-terminal whose slave path the wine
// prefix maps to COMn. It reads the command frames the library writes and answers each with the scripted
// reply of the first remaining step whose request matches byte for byte, and streams the replies of the
// receive-only steps that follow it.
//
//   win32_com_peer --link PATH [--link PATH ...]
//
// Every PATH becomes a symbolic link to the slave (e.g. $WINEPREFIX/dosdevices/com5). Prints
// "ready <slave>" once the links exist, one line per frame, and a summary on SIGTERM or SIGINT.
// Exit status 1 when a frame matched no step or bytes arrived outside a frame.

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "com_script.h"
#include "raw_pty.h"

namespace {

using quarn::win32ring::kComScript;
using quarn::win32ring::kComStepCount;
using quarn::win32ring::ParseHexBytes;

constexpr uint8_t kHead = 0xAA;
constexpr uint8_t kTail = 0x55;
constexpr uint8_t kEscape = 0xFF;

volatile sig_atomic_t stopRequested = 0;

void OnStopSignal(int) { stopRequested = 1; }

std::string HexText(const std::vector<uint8_t>& bytes) {
  std::string text;
  char digits[4];
  for (uint8_t b : bytes) {
    std::snprintf(digits, sizeof digits, "%s%02X", text.empty() ? "" : " ", b);
    text += digits;
  }
  return text;
}

// Cuts the byte stream into wire frames, head to unescaped tail; bytes outside a frame are kept apart
// so that the log shows them.
class FrameSplitter {
 public:
  // Returns true when `value` completed a frame, which is then in frame().
  bool Push(uint8_t value) {
    if (!inFrame_) {
      if (value != kHead) {
        stray_.push_back(value);
        return false;
      }
      inFrame_ = true;
      escaped_ = false;
      frame_.assign(1, value);
      return false;
    }
    frame_.push_back(value);
    if (escaped_) {
      escaped_ = false;
    } else if (value == kEscape) {
      escaped_ = true;
    } else if (value == kTail) {
      inFrame_ = false;
      return true;
    } else if (value == kHead) {
      // An unescaped head restarts the frame: what came before it was not a frame.
      frame_.pop_back();
      stray_.insert(stray_.end(), frame_.begin(), frame_.end());
      frame_.assign(1, value);
    }
    return false;
  }
  const std::vector<uint8_t>& frame() const { return frame_; }
  std::vector<uint8_t> TakeStray() {
    std::vector<uint8_t> taken;
    taken.swap(stray_);
    return taken;
  }

 private:
  bool inFrame_ = false;
  bool escaped_ = false;
  std::vector<uint8_t> frame_;
  std::vector<uint8_t> stray_;
};

class ScriptedReader {
 public:
  explicit ScriptedReader(int master) : master_(master) {
    for (const auto& step : kComScript) {
      if (!IsStreamed(step)) ++requestSteps_;
    }
  }

  // Answers with the reply of the first remaining step that sends this frame, followed by the replies of
  // the streamed steps right after it.
  void Answer(const std::vector<uint8_t>& frame) {
    for (size_t step = next_; step < kComStepCount; ++step) {
      if (IsStreamed(kComScript[step]) || ParseHexBytes(kComScript[step].request) != frame) continue;
      ++matched_;
      std::vector<uint8_t> burst = ParseHexBytes(kComScript[step].reply);
      Log(step, HexText(frame).c_str(), burst);
      for (next_ = step + 1; next_ < kComStepCount && IsStreamed(kComScript[next_]); ++next_) {
        const std::vector<uint8_t> streamed = ParseHexBytes(kComScript[next_].reply);
        Log(next_, "(streamed)", streamed);
        burst.insert(burst.end(), streamed.begin(), streamed.end());
      }
      WriteAll(burst);
      return;
    }
    ++unexpected_;
    std::printf("unexpected frame (no remaining step sends it): %s\n", HexText(frame).c_str());
    std::fflush(stdout);
  }

  int matched() const { return matched_; }
  int requestSteps() const { return requestSteps_; }
  int unexpected() const { return unexpected_; }

 private:
  static bool IsStreamed(const quarn::win32ring::ComStep& step) { return step.request[0] == '\0'; }

  static void Log(size_t step, const char* request, const std::vector<uint8_t>& reply) {
    std::printf("step %zu %s (%s): %s -> %s\n", step + 1, kComScript[step].exportName, kComScript[step].check,
                request, reply.empty() ? "(silence)" : HexText(reply).c_str());
    std::fflush(stdout);
  }

  void WriteAll(const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        std::printf("write to the pty failed: %s\n", std::strerror(errno));
        return;
      }
      done += static_cast<size_t>(n);
    }
  }

  int master_;
  size_t next_ = 0;
  int matched_ = 0;
  int requestSteps_ = 0;
  int unexpected_ = 0;
};

bool LinkTo(const std::string& target, const char* linkPath) {
  unlink(linkPath);
  if (symlink(target.c_str(), linkPath) == 0) return true;
  std::printf("cannot link %s -> %s: %s\n", linkPath, target.c_str(), std::strerror(errno));
  return false;
}

void InstallStopHandlers() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: poll must return so the loop can end
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<const char*> links;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--link") != 0) {
      std::fprintf(stderr, "usage: %s --link PATH [--link PATH ...]\n", argv[0]);
      return 2;
    }
    links.push_back(argv[i + 1]);
  }
  if (links.empty() || argc % 2 == 0) {
    std::fprintf(stderr, "usage: %s --link PATH [--link PATH ...]\n", argv[0]);
    return 2;
  }
  InstallStopHandlers();

  quarn::testing::RawPty pty;
  if (!quarn::testing::OpenRawPty(&pty)) {
    std::printf("cannot set up a pseudo-terminal: %s\n", std::strerror(errno));
    return 2;
  }
  for (const char* link : links) {
    if (!LinkTo(pty.slavePath, link)) return 2;
  }
  std::printf("ready %s\n", pty.slavePath.c_str());
  std::fflush(stdout);

  FrameSplitter splitter;
  ScriptedReader reader(pty.master);
  int strayRuns = 0;
  while (!stopRequested) {
    pollfd watch{pty.master, POLLIN, 0};
    const int ready = poll(&watch, 1, 200);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0 || (watch.revents & POLLIN) == 0) continue;
    uint8_t chunk[256];
    const ssize_t n = read(pty.master, chunk, sizeof chunk);
    if (n <= 0) continue;
    for (ssize_t i = 0; i < n; ++i) {
      if (splitter.Push(chunk[i])) reader.Answer(splitter.frame());
    }
    const std::vector<uint8_t> stray = splitter.TakeStray();
    if (!stray.empty()) {
      ++strayRuns;
      std::printf("bytes outside a frame: %s\n", HexText(stray).c_str());
      std::fflush(stdout);
    }
  }

  std::printf("%d of %d requests answered, %d unexpected frames, %d runs of bytes outside a frame\n",
              reader.matched(), reader.requestSteps(), reader.unexpected(), strayRuns);
  for (const char* link : links) unlink(link);
  quarn::testing::CloseRawPty(&pty);
  return reader.unexpected() == 0 && strayRuns == 0 ? 0 : 1;
}
