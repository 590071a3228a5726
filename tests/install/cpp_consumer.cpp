// An application's first program against the installed C++ API, built from the installed headers and
// linked with the installed libquarn_cpp alone: through the CMake package and through pkg-config. It
// makes calls that need no reader, and catches an exception thrown inside the library, which works only
// when the exception's type is the application's too. The exit status is the number of the first check
// that failed (0: all passed).

#include <cstdio>
#include <string>
#include <system_error>

#include "quarn/quarn.h"

namespace {

#if defined(_WIN32)
const char kMissingPort[] = "COM250";
#else
const char kMissingPort[] = "quarn-no-such-port";  // looked up under /dev/
#endif

bool OpenNamesTheMissingPort() {
  quarn::Reader reader;
  std::error_code ec;
  reader.Open(kMissingPort, quarn::Baud::k115200, ec);
  return ec == quarn::Errc::kNoSuchPort && ec == std::errc::no_such_file_or_directory && !reader.isOpen() &&
         std::string(ec.category().name()) == "quarn";
}

bool ExceptionCrossesIntoTheApplication() {
  try {
    quarn::Reader reader(kMissingPort);
  } catch (const quarn::Error& error) {
    return error.errc() == quarn::Errc::kNoSuchPort && std::string(error.detail().command) == "Open";
  }
  return false;
}

bool ReaderWithoutPortSaysSo() {
  quarn::Reader reader;
  std::error_code ec;
  reader.GetPower(ec);
  return ec == quarn::Errc::kNotOpen && reader.lastError().code == quarn::Errc::kNotOpen;
}

bool TagRecordFromEpc() {
  const quarn::TagRecord tag = quarn::TagRecord::FromEpcHex("E20034120000000000000001");
  return tag.pc() == 0x3000 && tag.hex() == "3000E20034120000000000000001";
}

bool LockPayloadBuilt() {
  quarn::LockSettings settings;
  settings.killPassword = quarn::LockAction::kLock;
  settings.accessPassword = quarn::LockAction::kUnlock;
  settings.epc = quarn::LockAction::kPermaLock;
  settings.tid = quarn::LockAction::kPermaUnlock;
  return quarn::LockPayload(settings).bytes() == std::array<uint8_t, 3>{0x0F, 0xF2, 0x34};
}

bool ValuesRefuseBadText() {
  std::error_code ec;
  quarn::Password::FromHex("1234567G", ec);
  return ec == quarn::Errc::kInvalidArgument && quarn::Password::FromHex("12345678").value() == 0x12345678u &&
         std::string(quarn::Gen2ErrorMeaning(0x04)) == "memory locked";
}

int RunChecks() {
  if (!OpenNamesTheMissingPort()) return 1;
  if (!ExceptionCrossesIntoTheApplication()) return 2;
  if (!ReaderWithoutPortSaysSo()) return 3;
  if (!TagRecordFromEpc()) return 4;
  if (!LockPayloadBuilt()) return 5;
  if (!ValuesRefuseBadText()) return 6;
  return 0;
}

}  // namespace

int main() {
  const int failed = RunChecks();
  if (failed != 0) {
    std::printf("C++ consumer: check %d failed\n", failed);
  } else {
    std::printf("C++ consumer: all checks passed\n");
  }
  return failed;
}
