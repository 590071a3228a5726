// Select filters: adding, deleting and selecting them in the reader's table.

#include "cpp/call.h"
#include "cpp/filter_record.h"
#include "tags/select_filters.h"

namespace quarn {

using cpp::Call;
using cpp::OrThrow;

void Reader::AddFilter(const Filter& filter, std::error_code& ec) {
  Call call(*this, "AddFilter", ec);
  FilterRecord record{};
  const char* refused = cpp::ToFilterRecord(filter, record);
  if (refused != nullptr) {
    call.Invalid(refused);
    return;
  }
  uint8_t errorCode = 0;
  if (call.Ready()) call.Done(tags::AddFilter(call.port(), &record, &errorCode, call.crcFlag()));
}
void Reader::AddFilter(const Filter& filter) {
  OrThrow(*this, [&](std::error_code& ec) { AddFilter(filter, ec); });
}

void Reader::DeleteFilter(uint8_t index, std::error_code& ec) {
  Call call(*this, "DeleteFilter", ec);
  uint8_t errorCode = 0;
  if (call.Ready()) call.Done(tags::DeleteFilterByIndex(call.port(), index, &errorCode, call.crcFlag()));
}
void Reader::DeleteFilter(uint8_t index) {
  OrThrow(*this, [&](std::error_code& ec) { DeleteFilter(index, ec); });
}

void Reader::SelectFilter(uint8_t index, uint8_t option, std::error_code& ec) {
  Call call(*this, "SelectFilter", ec);
  uint8_t errorCode = 0;
  if (call.Ready()) call.Done(tags::SelectFilterByIndex(call.port(), index, option, &errorCode, call.crcFlag()));
}
void Reader::SelectFilter(uint8_t index, uint8_t option) {
  OrThrow(*this, [&](std::error_code& ec) { SelectFilter(index, option, ec); });
}

}  // namespace quarn
