#include "armed_exports.h"

#include <cstdlib>
#include <cstring>

namespace quarn::allocation {

namespace {

// More room than the header has exports; a fixed table, so that keeping the record allocates nothing.
constexpr size_t kRecordCapacity = 128;
ExportRecord records[kRecordCapacity];

}  // namespace

ExportRecord RecordOf(size_t exportIndex) { return exportIndex < kRecordCapacity ? records[exportIndex] : ExportRecord{}; }

size_t IndexOfExport(const char* name) {
  for (size_t i = 0; i < kArmedExportCount; ++i) {
    if (std::strcmp(kArmedExportNames[i], name) == 0) return i;
  }
  return kArmedExportCount;
}

ArmedExport::ArmedExport(size_t exportIndex) : exportIndex_(exportIndex) {
  if (exportIndex_ >= kRecordCapacity) std::abort();
  ++records[exportIndex_].calls;
}

ArmedExport::~ArmedExport() { records[exportIndex_].heapCalls += delta_.heapCalls(); }

}  // namespace quarn::allocation
