#pragma once
// The reader's command codes by name, and how each command lays out its parameter bytes, so that a
// frame can be told apart field by field without a reader.

#include <string>
#include <vector>

namespace quarn::cli {

// The kinds of parameter field a command frame carries, in the order the command sends them.
enum class Field {
  kAccessPassword,   // 4 bytes
  kKillPassword,     // 4 bytes
  kBank,             // 1 byte
  kWordPointer,      // EBV, 1 or 2 bytes
  kWordCount,        // 1 byte
  kWords,            // 2 x the word count sent before
  kTagRecord,        // its size from its first byte
  kLockPayload,      // 3 bytes
  kRegisterAddress,  // 2 bytes, high first
  kRegisterCount,    // 2 bytes, high first
  kByte,             // 1 byte, named by the layout
  kRest,             // everything left, named by the layout
};

struct FieldLayout {
  Field kind;
  const char* name;
};

struct CommandInfo {
  int code;  // plain-mode code
  const char* name;
  std::vector<FieldLayout> parameters;
};

// The command with this plain-mode code (bit 7 ignored), or nullptr for a code the reader does not use.
const CommandInfo* FindCommand(int code);

}  // namespace quarn::cli
