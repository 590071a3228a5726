#include <algorithm>
#include <vector>

#include "cpp/value_checks.h"
#include "quarn/tag.h"
#include "tags/tag_record.h"

namespace quarn {

namespace {

constexpr size_t kMaxEpcSize = TagRecord::kMaxSize - 2;
constexpr uint8_t kEpcLengthShift = 3;  // the EPC length in words sits in the top five bits of byte 0

const char* CheckRecordBytes(ByteView bytes) {
  if (bytes.size() < 2) return "a tag record holds at least its 2-byte PC word";
  if (bytes.size() != TagRecord::SizeFor(bytes[0]))
    return "a tag record is exactly ((byte 0 >> 3) + 1) x 2 bytes long: the PC word's EPC length plus the PC "
           "word; check the PC word, or build the record from the EPC with TagRecord::FromEpc";
  return nullptr;
}

const char* CheckEpc(ByteView epc) {
  if (epc.size() % 2 != 0) return "an EPC is a whole number of 16-bit words: give an even number of bytes";
  if (epc.size() > kMaxEpcSize) return "an EPC holds at most 31 words (62 bytes)";
  return nullptr;
}

}  // namespace

TagRecord TagRecord::Copy(ByteView bytes) noexcept {
  TagRecord record;
  std::copy(bytes.begin(), bytes.end(), record.bytes_.begin());
  record.size_ = static_cast<uint8_t>(bytes.size());
  return record;
}

size_t TagRecord::SizeFor(uint8_t firstByte) noexcept { return tags::TagRecordSize(firstByte); }

TagRecord TagRecord::FromBytes(ByteView bytes) {
  cpp::ThrowIfRefused("TagRecord::FromBytes", CheckRecordBytes(bytes));
  return Copy(bytes);
}

TagRecord TagRecord::FromBytes(ByteView bytes, std::error_code& ec) {
  return cpp::Accepted(CheckRecordBytes(bytes), ec) ? Copy(bytes) : TagRecord();
}

TagRecord TagRecord::FromHex(std::string_view text) { return FromBytes(quarn::FromHex(text)); }

TagRecord TagRecord::FromHex(std::string_view text, std::error_code& ec) {
  const std::vector<uint8_t> bytes = quarn::FromHex(text, ec);
  return ec ? TagRecord() : FromBytes(bytes, ec);
}

namespace {

// The PC word carries the EPC's length and nothing else; the record then passes the size rule.
TagRecord RecordOfEpc(ByteView epc) {
  uint8_t bytes[TagRecord::kMaxSize] = {static_cast<uint8_t>((epc.size() / 2) << kEpcLengthShift), 0x00};
  std::copy(epc.begin(), epc.end(), bytes + 2);
  std::error_code ec;
  return TagRecord::FromBytes(ByteView(bytes, epc.size() + 2), ec);
}

}  // namespace

TagRecord TagRecord::FromEpc(ByteView epc) {
  cpp::ThrowIfRefused("TagRecord::FromEpc", CheckEpc(epc));
  return RecordOfEpc(epc);
}

TagRecord TagRecord::FromEpc(ByteView epc, std::error_code& ec) {
  return cpp::Accepted(CheckEpc(epc), ec) ? RecordOfEpc(epc) : TagRecord();
}

TagRecord TagRecord::FromEpcHex(std::string_view text) { return FromEpc(quarn::FromHex(text)); }

TagRecord TagRecord::FromEpcHex(std::string_view text, std::error_code& ec) {
  const std::vector<uint8_t> epc = quarn::FromHex(text, ec);
  return ec ? TagRecord() : FromEpc(epc, ec);
}

bool operator<(const TagRecord& a, const TagRecord& b) noexcept {
  if (a.size() != b.size()) return a.size() < b.size();
  return std::lexicographical_compare(a.bytes().begin(), a.bytes().end(), b.bytes().begin(), b.bytes().end());
}

namespace {

constexpr size_t kPasswordDigits = 8;

const char* ParsePassword(std::string_view text, std::array<uint8_t, 4>& bytes) {
  if (text.size() != kPasswordDigits) return "a password is exactly 8 hex digits, e.g. 12345678";
  std::error_code ec;
  const std::vector<uint8_t> parsed = quarn::FromHex(text, ec);
  if (ec || parsed.size() != bytes.size()) return "a password is exactly 8 hex digits (0-9, A-F), e.g. 12345678";
  std::copy(parsed.begin(), parsed.end(), bytes.begin());
  return nullptr;
}

}  // namespace

Password Password::FromHex(std::string_view text) {
  std::array<uint8_t, 4> bytes{};
  cpp::ThrowIfRefused("Password::FromHex", ParsePassword(text, bytes));
  return Password(bytes);
}

Password Password::FromHex(std::string_view text, std::error_code& ec) {
  std::array<uint8_t, 4> bytes{};
  return cpp::Accepted(ParsePassword(text, bytes), ec) ? Password(bytes) : Password();
}

}  // namespace quarn
