#pragma once
// Runs a virtual reader behind a pseudo-terminal on a background thread. The host opens the slave
// side (devicePath) like any serial port; the server reads the master side, feeds the reader and
// writes its replies back.

#include <atomic>
#include <cstdint>
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
  // The link is removed when the server is destroyed.
  bool Link(const std::string& linkPath, std::string* error = nullptr);
  void Start();
  void Stop();

  const std::string& devicePath() const { return devicePath_; }
  bool running() const { return running_; }

  // Runs f on the reader under the server's lock, so tests may look at or change the model while the
  // server runs.
  template <typename F>
  decltype(auto) WithReader(F&& f) {
    std::lock_guard<std::mutex> lock(mutex_);
    return f(*reader_);
  }

 private:
  void Run();
  void Serve(uint64_t nowUs, const uint8_t* bytes, size_t count);
  void WriteOut(const Bytes& bytes);
  uint64_t NowUs() const;
  void ReleaseExclusiveUse();

  std::unique_ptr<VirtualReader> reader_;
  std::mutex mutex_;
  int master_ = -1;
  int heldSlave_ = -1;
  int closeWatch_ = -1;
  int wakeRead_ = -1;
  int wakeWrite_ = -1;
  std::string devicePath_;
  std::string linkPath_;
  std::thread thread_;
  std::atomic<bool> running_{false};
  uint64_t startNs_ = 0;
};

}  // namespace quarn::sim
