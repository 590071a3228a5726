#pragma once
// The firmware update: the library frames what the caller gives and hands back what the reader answers.
// It keeps no state between the steps and does not enforce their order.

#include <cstddef>
#include <cstdint>

#include "link/outcome.h"
#include "link/serial/serial_backend.h"
#include "quarn_api.h"

namespace quarn::update {

inline constexpr size_t kInitValueSize = 4;
inline constexpr size_t kRn32Size = 4;
inline constexpr size_t kImageSizeSize = 4;

// The data bytes one frame holds beside the two prefixes: the 2048-byte command buffer less the head,
// two length bytes, the code, the prefixes, the tail and, in CRC mode, the CRC.
inline constexpr int kMaxPlainBlockLength = QUARN_MAX_UPDATE_BLOCK;
inline constexpr int kMaxCrcBlockLength = QUARN_MAX_UPDATE_BLOCK_CRC;

// Opens portName as UhfOpenPort does (a refused baud selection leaves nothing open) and asks the reader
// to start an update; bit 0 of portOptions selects CRC mode. The port stays open whatever the reader
// answers. initValue receives the reader's four bytes in the order they arrived.
// Why the port did not open goes to *why when why is not nullptr.
link::Result UpdateInit(PortHandle* portHandleOut, const char* portName, uint8_t* status, uint8_t* initValue,
                        uint32_t portOptions, serial::OpenFailure* why = nullptr);

link::Result UpdateSendRn32(PortHandle port, const uint8_t* rn32, uint8_t* status, uint32_t crcFlag);

link::Result UpdateSendSize(PortHandle port, uint8_t* status, const uint8_t* size, uint32_t crcFlag);

// A blockLength below 0 or beyond the frame's room returns before anything is sent.
link::Result UpdateSendData(PortHandle port, uint8_t* status, uint32_t prefix1, uint32_t prefix2, int blockLength,
                    const uint8_t* block, uint32_t crcFlag);

link::Result UpdateCommit(PortHandle port, uint8_t* status, uint32_t crcFlag);

}  // namespace quarn::update
