#pragma once
// Counts the checks of the Windows test program and prints every failure with what was expected.

#include <cstdarg>
#include <cstdio>

namespace quarn::win32ring {

class Report {
 public:
  // Records one check; prints the message only when it failed. Returns `passed`.
  __attribute__((format(gnu_printf, 3, 4))) bool Check(bool passed, const char* format, ...) {
    ++checks_;
    if (passed) return true;
    ++failures_;
    std::va_list arguments;
    va_start(arguments, format);
    std::printf("  FAIL ");
    std::vprintf(format, arguments);
    std::printf("\n");
    va_end(arguments);
    std::fflush(stdout);
    return false;
  }

  __attribute__((format(gnu_printf, 2, 3))) void Note(const char* format, ...) {
    std::va_list arguments;
    va_start(arguments, format);
    std::printf("  ");
    std::vprintf(format, arguments);
    std::printf("\n");
    va_end(arguments);
    std::fflush(stdout);
  }

  void BeginGroup(const char* name) {
    groupChecks_ = checks_;
    groupFailures_ = failures_;
    std::printf("[%s]\n", name);
    std::fflush(stdout);
  }

  void EndGroup() {
    std::printf("  %d checks, %d failed\n", checks_ - groupChecks_, failures_ - groupFailures_);
    std::fflush(stdout);
  }

  int checks() const { return checks_; }
  int failures() const { return failures_; }

 private:
  int checks_ = 0;
  int failures_ = 0;
  int groupChecks_ = 0;
  int groupFailures_ = 0;
};

}  // namespace quarn::win32ring
