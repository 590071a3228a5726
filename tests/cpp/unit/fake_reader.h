#pragma once
// A quarn::Reader on the unit ring's fake port: scripted replies, a virtual clock, and the command
// frames the Reader sent.

#include <string>

#include "fake_serial.h"
#include "quarn/reader.h"
#include "reference_frames.h"

namespace quarn::testing {

class FakeReader {
 public:
  explicit FakeReader(bool crcMode = false) : name_("fake-" + std::to_string(++count_)) {
    port.Publish(name_.c_str());
    reader.Open(name_);
    reader.setCrcMode(crcMode);
  }

  // The code as the reader echoes it in this Reader's mode.
  uint8_t Code(uint8_t plainCode) const {
    return reader.crcMode() ? static_cast<uint8_t>(plainCode | 0x80) : plainCode;
  }
  // A reply to the next command, in this Reader's mode.
  void Reply(uint8_t plainCode, const Bytes& statusAndData) {
    port.ReplyToNextCommand(WireReply(Code(plainCode), statusAndData));
  }
  // The plain code of the nth command sent (0 first).
  uint8_t SentCode(size_t n) const { return static_cast<uint8_t>(port.commands().at(n).at(2) & 0x7F); }
  size_t CommandsSent() const { return port.commands().size(); }

 private:
  std::string name_;
  static inline int count_ = 0;

 public:
  FakePort port;  // after name_, which it keeps a pointer to
  Reader reader;
};

}  // namespace quarn::testing
