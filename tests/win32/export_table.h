#pragma once
// The exports the DLL must carry, generated at build time from Quarn_API.def (names, ordinals, shared
// entries) and quarn_api.h (calling convention, kind of each argument).

namespace quarn::win32ring {

enum class Convention { kStdcall, kCdecl, kUndeclared };

struct DefExport {
  const char* name;
  unsigned ordinal;
  const char* sharedWith;     // the name whose entry this name also exports, or null
  Convention convention;
  const char* argumentKinds;  // one letter per argument: h port handle, p pointer, i integer; null: undeclared
};

#include "def_exports.inc"

}  // namespace quarn::win32ring
