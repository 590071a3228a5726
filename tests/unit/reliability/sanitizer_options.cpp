// Under AddressSanitizer the unit ring also looks for reads from stack frames that have returned: a
// pointer into a reply buffer that outlives its exchange copies stale bytes that usually still look
// right, so only the sanitizer's own stack for returned frames shows it.

extern "C" const char* __asan_default_options();
// Default visibility: the sanitizer's runtime looks the function up from outside the program.
extern "C" __attribute__((visibility("default"))) const char* __asan_default_options() {
  return "detect_stack_use_after_return=1";
}
