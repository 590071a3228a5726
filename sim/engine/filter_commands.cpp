// The select filter table: add, delete, list (an acknowledgement, then one report per filter) and
// switch filters on and off.

#include "sim/engine/virtual_reader.h"

namespace quarn::sim {

namespace {
constexpr uint8_t kReportOne = 0x00;
constexpr uint8_t kReportFromIndexOn = 0x01;
}  // namespace

void VirtualReader::AddFilter(const Command& command) { Reply(command, filters_.Add(command.params)); }

void VirtualReader::DeleteFilter(const Command& command) {
  if (command.params.size() != 1) return Reply(command, filter_status::kMalformed);
  Reply(command, filters_.Delete(command.params[0]));
}

// Option 0x00 reports the filter at the index, 0x01 every filter from the index on. Each report
// carries the record as it was added; the last one has status 0x01, the others 0x00.
void VirtualReader::StartGetFilter(const Command& command) {
  if (command.params.size() != 2) return Reply(command, filter_status::kMalformed);
  const uint8_t index = command.params[0];
  const uint8_t option = command.params[1];
  if (option != kReportOne && option != kReportFromIndexOn) return Reply(command, filter_status::kMalformed);
  std::vector<const StoredFilter*> reports;
  for (const auto& [slot, record] : filters_.records()) {
    if (slot == index || (option == kReportFromIndexOn && slot > index)) reports.push_back(&record);
  }
  if (reports.empty()) return Reply(command, filter_status::kNoSuchFilter);
  Reply(command, status::kStarted);
  for (size_t i = 0; i < reports.size(); ++i) {
    const bool last = i + 1 == reports.size();
    Reply(command, last ? filter_status::kLastReport : filter_status::kOk, reports[i]->wire);
  }
}

void VirtualReader::SelectFilter(const Command& command) {
  if (command.params.size() != 2) return Reply(command, filter_status::kMalformed);
  Reply(command, filters_.Select(command.params[0], command.params[1]));
}

}  // namespace quarn::sim
