// Locking a tag's user memory with its access password, and unlocking it, with the C++ API.
//
//   lock_cpp PORT ACCESSPASSWORD
//
// ACCESSPASSWORD: the tag's access password, 8 hex digits, not 00000000 (a tag whose access password is
// zero is in the secured state to everybody, so its locked memory stays writable to all).
//
// Locks user memory and the access password (an access password left readable would make the lock
// worthless), shows a write without the password refused as "memory locked", one with it passing, and
// unlocks both. LockAction::kPermaLock and kPermaUnlock can never be undone: try them on a tag you can
// spare.

#include <array>
#include <iostream>

#include "quarn/quarn.h"

namespace {

quarn::LockSettings UserMemory(quarn::LockAction action) {
  quarn::LockSettings settings;
  settings.accessPassword = action;
  settings.user = action;
  return settings;
}

void Lock(quarn::Reader& reader, const quarn::TagRecord& tag, quarn::LockAction action, const quarn::Password& password) {
  const quarn::LockPayload payload(UserMemory(action));
  std::cout << (action == quarn::LockAction::kLock ? "locking" : "unlocking")
            << " user memory and access password (lock payload " << quarn::ToHex(payload.bytes()) << ")\n";
  reader.Lock(tag, payload, password);
}

// Writes one word to user word 0; true when written, false when the tag refused it for its lock.
bool WriteWord(quarn::Reader& reader, const quarn::TagRecord& tag, uint16_t word, const quarn::Password& password) {
  const std::array<uint8_t, 2> bytes = {static_cast<uint8_t>(word >> 8), static_cast<uint8_t>(word)};
  std::cout << "writing " << quarn::ToHex(bytes) << " to user @0 " << (password == quarn::Password() ? "without" : "with")
            << " the access password: ";
  try {
    reader.WriteData(tag, quarn::MemoryBank::kUser, 0, bytes, password);
    std::cout << "written\n";
    return true;
  } catch (const quarn::Error& error) {
    if (error.readerErrorCode() != uint8_t{0x04}) throw;  // refused, but not for the lock
    std::cout << "refused, " << error.gen2Meaning() << '\n';
    return false;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: " << argv[0] << " PORT ACCESSPASSWORD\n  e.g. " << argv[0] << " /dev/ttyUSB0 12345678\n";
    return 2;
  }
  std::error_code ec;
  const quarn::Password password = quarn::Password::FromHex(argv[2], ec);
  if (ec || password == quarn::Password()) {
    std::cerr << "ACCESSPASSWORD: 8 hex digits, not 00000000\n";
    return 2;
  }
  try {
    quarn::Reader reader(argv[1]);
    const quarn::TagRecord tag = reader.InventorySingleTag();
    std::cout << "tag EPC " << tag.epcHex() << '\n';
    Lock(reader, tag, quarn::LockAction::kLock, password);
    if (WriteWord(reader, tag, 0x0BAD, quarn::Password())) {
      std::cout << "the locked memory took a write without the password\n";
      return 1;
    }
    WriteWord(reader, tag, 0x600D, password);
    Lock(reader, tag, quarn::LockAction::kUnlock, password);
    if (!WriteWord(reader, tag, 0xF00D, quarn::Password())) return 1;
    std::cout << "done: the lock held without the password and is undone\n";
    return 0;
  } catch (const quarn::Error& error) {
    std::cout << error.what() << '\n';
    return 1;
  }
}
