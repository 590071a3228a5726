#pragma once
// The reader's table of select filters: adding a record, deleting, selecting and listing by index.
// errorCode here carries the reply's status byte itself, or 0xFF when no usable reply came.

#include <cstddef>
#include <cstdint>

#include "link/command_frame.h"
#include "link/reply_view.h"
#include "link/outcome.h"
#include "quarn_api.h"

namespace quarn::tags {

// Mask bytes on the wire: whole bytes, and one more for a partly used last byte; 0 to 32.
size_t MaskSize(uint8_t maskBitLength);

// The record's fields in order, without gaps: the second pointer byte only when the first has bit 7
// set, and only the mask bytes that maskBitLength uses. recordLength goes out as the caller set it.
void AppendFilterRecord(link::CommandFrame& frame, const FilterRecord& filter);

// Decodes the record of a filter report into *filter. False, with *filter untouched, when a field the
// report announces lies past the frame; the fields a report does not carry keep their contents.
bool DecodeFilterReport(const link::ReplyView& view, FilterRecord* filter);

// Success on status 0x00; a reply with a different echoed code counts as no usable reply.
link::Result AddFilter(PortHandle port, const FilterRecord* filter, uint8_t* errorCode, uint32_t crcFlag);

// The short commands succeed on status 0x00 (0x01 for the listing start) and report the status byte of
// any reply that has one, also when its echoed code differs.
link::Result DeleteFilterByIndex(PortHandle port, uint32_t filterIndex, uint8_t* errorCode, uint32_t crcFlag);
link::Result StartGetFilterByIndex(PortHandle port, uint32_t filterIndex, uint32_t filterOption, uint8_t* errorCode,
                           uint32_t crcFlag);
link::Result SelectFilterByIndex(PortHandle port, uint32_t filterIndex, uint32_t filterOption, uint8_t* errorCode,
                         uint32_t crcFlag);

// Takes the next report frame of a listing. frameStatus is 0xFF without a usable frame and the status
// byte otherwise; *filter is written only with result true.
link::Result ReadFilterByIndex(PortHandle port, uint8_t* frameStatus, FilterRecord* filter);

}  // namespace quarn::tags
