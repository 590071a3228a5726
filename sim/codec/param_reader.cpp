#include "sim/codec/param_reader.h"

namespace quarn::sim {

uint8_t ParamReader::Byte() {
  if (failed_ || position_ >= params_.size()) {
    failed_ = true;
    return 0;
  }
  return params_[position_++];
}

uint16_t ParamReader::Word16() {
  const uint8_t high = Byte();
  const uint8_t low = Byte();
  return static_cast<uint16_t>((high << 8) | low);
}

Bytes ParamReader::Take(size_t count) {
  if (failed_ || params_.size() - position_ < count) {
    failed_ = true;
    return {};
  }
  Bytes taken(params_.begin() + static_cast<std::ptrdiff_t>(position_),
              params_.begin() + static_cast<std::ptrdiff_t>(position_ + count));
  position_ += count;
  return taken;
}

uint32_t ParamReader::Ebv() {
  const uint8_t first = Byte();
  if ((first & 0x80) == 0) return first;
  const uint8_t second = Byte();
  if ((second & 0x80) != 0) failed_ = true;
  return (static_cast<uint32_t>(first & 0x7F) << 7) | (second & 0x7Fu);
}

Bytes ParamReader::TagRecord() {
  if (failed_ || position_ >= params_.size()) {
    failed_ = true;
    return {};
  }
  return Take(TagRecordSize(params_[position_]));
}

Bytes ParamReader::Rest() { return Take(remaining()); }

}  // namespace quarn::sim
