// Reading and writing a tag's user memory by its EPC, with the C++ API.
//
//   read_write_cpp PORT [HEXWORDS [WORD]]
//
// Finds the tag in the field, reads user memory from word WORD (default 0), writes HEXWORDS (default
// CAFEF00D, two words) there and reads them back. This one uses the error_code form of each call: no
// exceptions, and the Reader's lastError() for the details (the reader's error code and its meaning).

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "quarn/quarn.h"

namespace {

bool Failed(const quarn::Reader& reader, const std::error_code& ec) {
  if (!ec) return false;
  std::cout << reader.lastError().Describe() << '\n';
  if (const auto code = reader.lastError().readerErrorCode) {
    const char* advice = quarn::Gen2ErrorAdvice(*code);
    if (advice[0] != '\0') std::cout << "hint: " << advice << '\n';
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 4) {
    std::cerr << "usage: " << argv[0] << " PORT [HEXWORDS [WORD]]\n  e.g. " << argv[0] << " /dev/ttyUSB0 CAFEF00D 0\n";
    return 2;
  }
  std::error_code ec;
  const std::vector<uint8_t> words = quarn::FromHex(argc >= 3 ? argv[2] : "CAFEF00D", ec);
  const int start = argc >= 4 ? std::atoi(argv[3]) : 0;
  if (ec || words.empty() || words.size() % 2 != 0 || start < 0) {
    std::cerr << "HEXWORDS: words of 4 hex digits; WORD: a word address from 0\n";
    return 2;
  }
  const auto wordCount = static_cast<uint8_t>(words.size() / 2);
  const quarn::WordPointer pointer(static_cast<uint32_t>(start));

  quarn::Reader reader;
  reader.Open(argv[1], quarn::Baud::k115200, ec);
  if (Failed(reader, ec)) return 1;
  const quarn::TagRecord tag = reader.InventorySingleTag(ec);
  if (Failed(reader, ec)) return 1;
  std::cout << "tag record (PC + EPC): " << tag.hex() << '\n';

  const std::vector<uint8_t> before = reader.ReadData(tag, quarn::MemoryBank::kUser, pointer, wordCount, {}, ec);
  if (Failed(reader, ec)) return 1;
  std::cout << "user @" << start << " before: " << quarn::ToHex(before) << '\n';

  reader.WriteData(tag, quarn::MemoryBank::kUser, pointer, words, {}, ec);
  if (Failed(reader, ec)) return 1;
  std::cout << "wrote " << int{wordCount} << " words to user @" << start << '\n';

  const std::vector<uint8_t> after = reader.ReadData(tag, quarn::MemoryBank::kUser, pointer, wordCount, {}, ec);
  if (Failed(reader, ec)) return 1;
  std::cout << "user @" << start << " after:  " << quarn::ToHex(after) << '\n';
  if (after != words) {
    std::cout << "read-back differs from what was written\n";
    return 1;
  }
  std::cout << "read-back matches\n";
  return 0;
}
