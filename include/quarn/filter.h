#pragma once
// A select filter as the reader keeps it in its table: the parameters of an EPC Gen2 Select command
// under an index. The reader restricts which tags take part in its operations by the filters selected.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "quarn/bytes.h"
#include "quarn/config.h"
#include "quarn/tag.h"

namespace quarn {

struct QUARN_CPP_API Filter {
  static constexpr size_t kMaxMaskBytes = 32;

  uint8_t index = 0;              // the filter's place in the reader's table
  uint8_t target = 0;             // Select target, the reader's and Gen2's
  uint8_t action = 0;             // Select action
  MemoryBank bank = MemoryBank::kEpc;  // the bank the mask is compared against
  uint32_t bitPointer = 0;        // the first bit compared; an EBV on the wire, 0 to 16383
  uint8_t maskBitLength = 0;      // 0 to 255 bits
  std::array<uint8_t, kMaxMaskBytes> mask{};  // the first ceil(maskBitLength / 8) bytes are used
  uint8_t truncate = 0;           // Select truncate

  // Sets the mask to the first bits bits of bytes, which must hold at least ceil(bits / 8) bytes
  // (kInvalidArgument otherwise, the filter unchanged); bits of the last byte beyond bits are sent as
  // given.
  void SetMask(ByteView bytes, uint8_t bits);
  void SetMask(ByteView bytes, uint8_t bits, std::error_code& ec);
  // The mask bytes that go on the wire.
  ByteView maskBytes() const { return ByteView(mask.data(), (maskBitLength + 7u) / 8u); }
  // The record's length on the wire, from index through truncate (8 to 41), which the library computes
  // and sends; the C export sends what its caller put there instead.
  size_t wireLength() const;
};

// The Gen2 names of the Select targets 0 to 4: the session flags "s0" to "s3" and the selected flag
// "sl". Other values have no name: SelectTargetName gives the number, ParseSelectTarget nothing.
QUARN_CPP_API std::string SelectTargetName(uint8_t target);
QUARN_CPP_API std::optional<uint8_t> ParseSelectTarget(std::string_view name);

}  // namespace quarn
