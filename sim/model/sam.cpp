#include "sim/model/sam.h"

#include <algorithm>

namespace quarn::sim {

namespace {

constexpr uint8_t kInsSelect = 0xA4;
constexpr uint8_t kInsGetChallenge = 0x84;
constexpr uint8_t kInsReadBinary = 0xB0;
constexpr uint8_t kInsGetData = 0xCA;

constexpr uint16_t kMasterFile = 0x3F00;
constexpr uint16_t kDataFile = 0x0001;
constexpr size_t kDataFileSize = 32;
constexpr size_t kMaxChallenge = 32;

// Historical bytes "QUARNSAM" behind TS, T0 (TB1 and TC1 present, eight historical bytes), TB1, TC1.
const Bytes kAtrPrefix = {0x3B, 0x68, 0x00, 0x00, 'Q', 'U', 'A', 'R', 'N', 'S', 'A', 'M'};

ApduResponse Status(uint8_t sw1, uint8_t sw2) {
  ApduResponse response;
  response.sw1 = sw1;
  response.sw2 = sw2;
  return response;
}

// The host reads SW1 and SW2 right after Le bytes, so the data always take exactly Le bytes.
ApduResponse Fitted(Bytes data, size_t le, uint8_t sw1 = 0x90, uint8_t sw2 = 0x00) {
  data.resize(le, 0);
  ApduResponse response = Status(sw1, sw2);
  response.data = std::move(data);
  return response;
}

struct ParsedApdu {
  uint8_t cla, ins, p1, p2;
  Bytes data;
  size_t le = 0;
};

std::optional<ParsedApdu> ParseApdu(const Bytes& apdu) {
  if (apdu.size() < 4) return std::nullopt;
  ParsedApdu parsed{apdu[0], apdu[1], apdu[2], apdu[3], {}, 0};
  if (apdu.size() == 4) return parsed;
  if (apdu.size() == 5) {
    parsed.le = apdu[4];
    return parsed;
  }
  const size_t lc = apdu[4];
  if (apdu.size() != lc + 5 && apdu.size() != lc + 6) return std::nullopt;
  parsed.data.assign(apdu.begin() + 5, apdu.begin() + 5 + static_cast<std::ptrdiff_t>(lc));
  if (apdu.size() == lc + 6) parsed.le = apdu.back();
  return parsed;
}

}  // namespace

Sam::Sam(uint32_t seed) : random_(seed ^ 0x5A3u) {
  for (int i = 0; i < 8; ++i) serial_.push_back(static_cast<uint8_t>(random_()));
  for (size_t i = 0; i < kDataFileSize; ++i) binaryFile_.push_back(static_cast<uint8_t>(i * 7 + 1));
}

Bytes Sam::SetPower(uint8_t slot, bool on) {
  const size_t index = slot == 2 ? 1 : 0;
  slotOn_[index] = on;
  if (on) {
    activeSlot_ = static_cast<uint8_t>(index + 1);
    selectedFile_ = kMasterFile;
    Bytes atr = kAtrPrefix;
    atr.push_back(static_cast<uint8_t>(index + 1));
    return atr;
  }
  if (activeSlot_ == index + 1) {
    const size_t other = 1 - index;
    activeSlot_ = slotOn_[other] ? static_cast<uint8_t>(other + 1) : 0;
  }
  return {};
}

ApduResponse Sam::Process(const Bytes& apdu) {
  const std::optional<ParsedApdu> parsed = ParseApdu(apdu);
  if (!parsed) return Status(0x67, 0x00);
  if (parsed->cla != 0x00) return Fitted({}, parsed->le, 0x6E, 0x00);
  switch (parsed->ins) {
    case kInsSelect: {
      ApduResponse response = Select(parsed->p1, parsed->data);
      return Fitted({}, parsed->le, response.sw1, response.sw2);
    }
    case kInsGetChallenge: return GetChallenge(parsed->le);
    case kInsReadBinary: return ReadBinary(parsed->p1, parsed->p2, parsed->le);
    case kInsGetData: return GetData(parsed->p1, parsed->p2, parsed->le);
    default: return Fitted({}, parsed->le, 0x6D, 0x00);
  }
}

ApduResponse Sam::Select(uint8_t p1, const Bytes& data) {
  // By DF name (P1 04): any application name is there; without data the master file is selected.
  if (p1 == 0x04) {
    selectedFile_ = kMasterFile;
    return Status(0x90, 0x00);
  }
  if (p1 != 0x00) return Status(0x6B, 0x00);
  if (data.empty()) {
    selectedFile_ = kMasterFile;
    return Status(0x90, 0x00);
  }
  if (data.size() != 2) return Status(0x67, 0x00);
  const uint16_t file = static_cast<uint16_t>((data[0] << 8) | data[1]);
  if (file != kMasterFile && file != kDataFile) return Status(0x6A, 0x82);
  selectedFile_ = file;
  return Status(0x90, 0x00);
}

ApduResponse Sam::GetChallenge(size_t le) {
  // Le 0 would mean 256 bytes in ISO terms; the card names the length it can give instead.
  if (le == 0 || le > kMaxChallenge) return Status(0x6C, 0x08);
  Bytes challenge;
  for (size_t i = 0; i < le; ++i) challenge.push_back(static_cast<uint8_t>(random_()));
  return Fitted(challenge, le);
}

ApduResponse Sam::ReadBinary(uint8_t p1, uint8_t p2, size_t le) {
  if (selectedFile_ != kDataFile) return Fitted({}, le, 0x69, 0x86);
  const size_t offset = (static_cast<size_t>(p1 & 0x7F) << 8) | p2;
  if (offset >= binaryFile_.size()) return Fitted({}, le, 0x6B, 0x00);
  const size_t available = binaryFile_.size() - offset;
  // The host reads Le 0 as no data at all, so the card names how many bytes there are.
  if (le == 0) return Status(0x6C, static_cast<uint8_t>(std::min<size_t>(available, 0xFF)));
  const size_t count = std::min(le, available);
  Bytes data(binaryFile_.begin() + static_cast<std::ptrdiff_t>(offset),
             binaryFile_.begin() + static_cast<std::ptrdiff_t>(offset + count));
  // Fewer bytes than asked for: end of file reached, the rest is zero-filled.
  if (le > available) return Fitted(data, le, 0x62, 0x82);
  return Fitted(data, le);
}

ApduResponse Sam::GetData(uint8_t p1, uint8_t p2, size_t le) {
  // Tag 0x0001 or 0x9F7F: the card's serial number.
  const bool serialTag = (p1 == 0x00 && p2 == 0x01) || (p1 == 0x9F && p2 == 0x7F);
  if (!serialTag) return Fitted({}, le, 0x6A, 0x88);
  if (le == 0) return Status(0x6C, static_cast<uint8_t>(serial_.size()));
  return Fitted(serial_, le);
}

void Sam::StoreInSr(int part, const Bytes& data) {
  const size_t start = part == 0 ? 0 : kSrHalf;
  for (size_t i = 0; i < kSrHalf; ++i) sr_[start + i] = i < data.size() ? data[i] : 0;
}

}  // namespace quarn::sim
