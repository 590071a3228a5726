// Runs kComScript from the Windows side: each row's check, found by name among the families of checks.

#include "com_steps.h"

#include <cstdio>
#include <cstring>

namespace quarn::win32ring {

namespace {

const CheckFamily* const kFamilies[] = {&kReaderChecks, &kTagChecks, &kSamAndUpdateChecks};

// The check of that name and its number counted across all families; null when there is none.
const NamedCheck* FindCheck(const char* name, size_t* number) {
  size_t first = 0;
  for (const CheckFamily* family : kFamilies) {
    for (size_t i = 0; i < family->count; ++i) {
      if (std::strcmp(family->checks[i].name, name) != 0) continue;
      *number = first + i;
      return &family->checks[i];
    }
    first += family->count;
  }
  return nullptr;
}

// Every check must serve exactly one step, so that the table and the checks cannot drift apart unseen.
void CheckEachUsedOnce(const std::vector<int>& uses, Report& report) {
  size_t number = 0;
  for (const CheckFamily* family : kFamilies) {
    for (size_t i = 0; i < family->count; ++i, ++number) {
      report.Check(uses[number] == 1, "check %s serves %d steps of the script, not 1", family->checks[i].name,
                   uses[number]);
    }
  }
}

}  // namespace

std::string HexText(const unsigned char* bytes, size_t count) {
  std::string text;
  char digits[4];
  for (size_t i = 0; i < count; ++i) {
    std::snprintf(digits, sizeof digits, "%s%02X", i == 0 ? "" : " ", bytes[i]);
    text += digits;
  }
  return text;
}

bool CheckWritten(Report& report, const char* what, const unsigned char* buffer, size_t bufferSize,
                  const std::vector<uint8_t>& expected) {
  bool same = expected.size() <= bufferSize && std::memcmp(buffer, expected.data(), expected.size()) == 0;
  for (size_t i = expected.size(); same && i < bufferSize; ++i) same = buffer[i] == kOutSentinel;
  return report.Check(same, "%s: %s; expected %s, then %02X to the end of the %u-byte buffer", what,
                      HexText(buffer, bufferSize).c_str(), HexText(expected.data(), expected.size()).c_str(),
                      kOutSentinel, static_cast<unsigned>(bufferSize));
}

void RunScript(ScriptContext& context) {
  size_t checkCount = 0;
  for (const CheckFamily* family : kFamilies) checkCount += family->count;
  std::vector<int> uses(checkCount, 0);
  for (size_t step = 0; step < kComStepCount; ++step) {
    const ComStep& row = kComScript[step];
    size_t number = 0;
    const NamedCheck* check = FindCheck(row.check, &number);
    if (!context.report.Check(check != nullptr, "step %u: no check named %s", static_cast<unsigned>(step + 1),
                              row.check)) {
      continue;
    }
    ++uses[number];
    // The peer skips the steps of exports not built yet in the same way.
    if (GetProcAddress(context.dll, row.exportName) == nullptr) {
      context.report.Note("step %u skipped: %s is not exported", static_cast<unsigned>(step + 1), row.exportName);
      continue;
    }
    check->run(context);
  }
  CheckEachUsedOnce(uses, context.report);
  context.report.Note("%u scripted steps", static_cast<unsigned>(kComStepCount));
}

}  // namespace quarn::win32ring
