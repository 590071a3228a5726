#pragma once
// Runs a virtual reader behind a pseudo-terminal on a background thread. The host opens the slave
// side (devicePath) like any serial port; the server reads the master side, feeds the reader and
// writes its replies back.
//
// Unplug plays a USB reader pulled out and put back: the terminal hangs up at once (the host's writes
// fail with EIO, its reads find the end of the file), and after a pause the reader comes back on a new
// terminal, with a different path, and the link moves to it.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "sim/engine/virtual_reader.h"

namespace quarn::sim {

class PtyServer {
 public:
  explicit PtyServer(std::unique_ptr<VirtualReader> reader);
  ~PtyServer();

  PtyServer(const PtyServer&) = delete;
  PtyServer& operator=(const PtyServer&) = delete;

  // Opens the pseudo-terminal in raw mode. False with a reason in *error.
  bool Open(std::string* error = nullptr);
  // A symbolic link to the device; an existing link there is replaced, any other file is refused.
  // The link follows the device through unplugs and is removed when the server is destroyed.
  bool Link(const std::string& linkPath, std::string* error = nullptr);
  // Called on the server's thread with the new device path each time the reader is plugged back in.
  void SetPlugSink(std::function<void(const std::string&)> sink) { plugSink_ = std::move(sink); }
  void Start();
  void Stop();

  // The terminal hangs up before this returns; the reader loses its streams and pending output (see
  // VirtualReader::Unplug) and is plugged back in on a new terminal pauseUs later. While unplugged, the
  // link still names the old terminal, which no longer opens.
  void Unplug(uint64_t pauseUs);
  // Waits up to timeoutUs for the reader to be plugged in; true when it is.
  bool WaitPlugged(uint64_t timeoutUs);
  bool plugged() const;

  std::string devicePath() const;
  bool running() const { return running_; }

  // Runs f on the reader under the server's lock, so tests may look at or change the model while the
  // server runs.
  template <typename F>
  decltype(auto) WithReader(F&& f) {
    std::lock_guard<std::mutex> lock(mutex_);
    return f(*reader_);
  }

 private:
  bool OpenDevice(std::string* error);
  bool PointLink(std::string* error);
  void Run();
  void ServeOnce();
  void AwaitReplug();
  void HangUp();
  void Replug();
  void Serve(uint64_t nowUs, const uint8_t* bytes, size_t count);
  void WriteOut(const Bytes& bytes);
  uint64_t NowUs() const;
  void ReleaseExclusiveUse();
  void Wake();

  std::unique_ptr<VirtualReader> reader_;
  std::mutex mutex_;  // the reader
  int master_ = -1;
  int heldSlave_ = -1;
  int retiredSlave_ = -1;  // the unplugged terminal's, kept so that the new one gets another number
  int closeWatch_ = -1;
  int wakeRead_ = -1;
  int wakeWrite_ = -1;
  std::string linkPath_;
  std::thread thread_;
  std::atomic<bool> running_{false};
  uint64_t startNs_ = 0;

  mutable std::mutex plugMutex_;  // what follows
  std::condition_variable plugChanged_;
  std::string devicePath_;
  bool plugged_ = false;
  bool unplugRequested_ = false;
  uint64_t pauseUs_ = 0;
  uint64_t replugAtUs_ = 0;
  std::function<void(const std::string&)> plugSink_;
};

}  // namespace quarn::sim
