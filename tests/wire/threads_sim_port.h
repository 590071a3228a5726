#pragma once
// A virtual reader on its own pseudo-terminal and the library's port opened on it, for the threads test
// and the soak. Each query is a read-only export whose answer a clean exchange establishes once, so
// that any later answer can be judged right or wrong.

#include <memory>
#include <string>
#include <vector>

#include "quarn_api.h"

#if __has_include("sim/pty/pty_server.h")
#define QUARN_WIRE_HAS_SIM 1
#include "sim/model/scenario.h"
#include "sim/pty/pty_server.h"

namespace quarn::testing::wire {

using Bytes = std::vector<unsigned char>;

inline constexpr int k115200 = 0x06;
inline const unsigned char kNoPassword[4] = {0, 0, 0, 0};
inline const unsigned char kPointer0[1] = {0x00};

// One tag in the field, so that the single-tag commands reach it.
inline sim::Scenario OneTag(unsigned char first) {
  sim::Scenario scenario;
  decltype(sim::Scenario::tags)::value_type tag;
  tag.contents.epc = {first, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0xAA, 0xFF, 0x00};
  for (size_t i = 0; i < 64; ++i) tag.contents.user.push_back(static_cast<uint8_t>(first + i));
  scenario.tags.push_back(tag);
  return scenario;
}

class SimPort {
 public:
  explicit SimPort(const sim::Scenario& scenario, sim::FaultSettings faults = {})
      : server_(std::make_unique<sim::PtyServer>(std::make_unique<sim::VirtualReader>(scenario, faults))) {
    std::string error;
    opened_ = server_->Open(&error);
    error_ = error;
    if (!opened_) return;
    server_->Start();
    opened_ = UhfOpenPort(&port_, server_->devicePath().c_str(), k115200) == 1;
    if (!opened_) error_ = "UhfOpenPort refused " + server_->devicePath();
  }
  ~SimPort() {
    if (port_ != QUARN_INVALID_PORT) UhfClosePort(&port_);
    server_->Stop();
  }
  SimPort(const SimPort&) = delete;
  SimPort& operator=(const SimPort&) = delete;

  bool ok() const { return opened_; }
  const std::string& error() const { return error_; }
  PortHandle port() const { return port_; }
  sim::PtyServer& server() { return *server_; }

 private:
  std::unique_ptr<sim::PtyServer> server_;
  PortHandle port_ = QUARN_INVALID_PORT;
  bool opened_ = false;
  std::string error_;
};

// A read-only query: true with its answer in *answer.
struct Query {
  const char* name;
  bool (*run)(PortHandle port, int crc, const Bytes& record, Bytes* answer);
};

inline bool Version(PortHandle port, int crc, const Bytes&, Bytes* answer) {
  answer->assign(9, 0);
  return UhfGetVersion(port, answer->data(), answer->data() + 6, crc) == 1;
}
inline bool Uid(PortHandle port, int crc, const Bytes&, Bytes* answer) {
  answer->assign(12, 0);
  return UhfGetReaderUID(port, answer->data(), crc) == 1;
}
inline bool Frequency(PortHandle port, int crc, const Bytes&, Bytes* answer) {
  answer->assign(7, 0);
  unsigned char* f = answer->data();
  return UhfGetFrequency(port, f, f + 1, f + 2, f + 4, f + 5, f + 6, crc) == 1;
}
inline bool ShortRegisters(PortHandle port, int crc, const Bytes&, Bytes* answer) {
  answer->assign(64, 0);
  unsigned char errorCode = 0;
  return UhfGetRegister(port, 0x000, 64, &errorCode, answer->data(), crc) == 1;
}
// Long enough for the two-byte length form.
inline bool LongRegisters(PortHandle port, int crc, const Bytes&, Bytes* answer) {
  answer->assign(200, 0);
  unsigned char errorCode = 0;
  return UhfGetRegister(port, 0x100, 200, &errorCode, answer->data(), crc) == 1;
}
inline bool UserMemory(PortHandle port, int crc, const Bytes& record, Bytes* answer) {
  answer->assign(64, 0);
  unsigned char errorCode = 0;
  return UhfReadDataByEPC(port, kNoPassword, 3, kPointer0, 32, record.data(), answer->data(), &errorCode, crc) == 1;
}
inline bool SingleTag(PortHandle port, int crc, const Bytes&, Bytes* answer) {
  unsigned char record[64] = {};
  unsigned char length = 0;
  if (UhfInventorySingleTag(port, &length, record, crc) != 1) return false;
  answer->assign(record, record + length);
  return true;
}
inline bool SrInformation(PortHandle port, int crc, const Bytes&, Bytes* answer) {
  answer->assign(80, 0);
  unsigned char status = 0;
  return UhfGetSR(port, 0, answer->data(), &status, crc) == 1;
}

inline const std::vector<Query>& Queries() {
  static const std::vector<Query> queries = {{"version", Version},          {"reader UID", Uid},
                                             {"frequency", Frequency},      {"64 registers", ShortRegisters},
                                             {"200 registers", LongRegisters}, {"user memory", UserMemory},
                                             {"single tag", SingleTag},     {"SR information", SrInformation}};
  return queries;
}

}  // namespace quarn::testing::wire
#endif
