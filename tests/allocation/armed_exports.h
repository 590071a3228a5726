#pragma once
// The record of the armed export calls: the generated wrappers (armed_exports.cmake) arm the counter
// around each call of an export and note, per export, how often it ran and how many heap calls it made.

#include <cstddef>
#include <cstdint>

#include "allocation_counter.h"
#include "quarn_api.h"

namespace quarn::allocation {

// The exports of the public header, in its order; an export's index in this list names it below.
extern const char* const kArmedExportNames[];
extern const size_t kArmedExportCount;

struct ExportRecord {
  uint64_t calls = 0;
  uint64_t heapCalls = 0;  // allocations and releases made while it ran
};

ExportRecord RecordOf(size_t exportIndex);
// The index of name in kArmedExportNames, or kArmedExportCount when the header declares no such export.
size_t IndexOfExport(const char* name);

// Arms the counter for one export call and adds what the call did to the export's record.
class ArmedExport {
 public:
  explicit ArmedExport(size_t exportIndex);
  ~ArmedExport();
  ArmedExport(const ArmedExport&) = delete;
  ArmedExport& operator=(const ArmedExport&) = delete;

 private:
  size_t exportIndex_;
  TallyDelta delta_;
  ArmedScope armed_;
};

}  // namespace quarn::allocation
