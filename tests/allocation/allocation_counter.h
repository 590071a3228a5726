#pragma once
// A count of the heap calls this thread makes while it is armed. The test program replaces the process
// allocator (every malloc family function and every form of operator new and delete) with one that
// forwards to glibc and counts, so that an export that allocates shows, whether it calls malloc itself
// or through a C++ container or the runtime.
//
// Only the arming thread counts, so the virtual reader's own thread and the test framework may allocate
// at will; and an armed stretch may be paused for work that belongs to the test, not to the library.

#include <cstddef>
#include <cstdint>

namespace quarn::allocation {

struct Tally {
  uint64_t allocations = 0;  // malloc, calloc, realloc, aligned allocations, operator new
  uint64_t releases = 0;     // free, operator delete
  size_t firstSize = 0;      // the size of the first allocation counted, to tell what it was
};

// What this thread has counted since it started.
Tally ThisThreadTally();

// Whether an allocation made here and now would be counted.
bool Counting();

// Counting from construction to destruction; scopes nest.
class ArmedScope {
 public:
  ArmedScope();
  ~ArmedScope();
  ArmedScope(const ArmedScope&) = delete;
  ArmedScope& operator=(const ArmedScope&) = delete;
};

// No counting inside an armed stretch, for the test's own bookkeeping (the fake port records each byte).
class PausedScope {
 public:
  PausedScope();
  ~PausedScope();
  PausedScope(const PausedScope&) = delete;
  PausedScope& operator=(const PausedScope&) = delete;

 private:
  int savedDepth_;
};

// The heap calls of one armed stretch: what was counted between construction and Delta().
class TallyDelta {
 public:
  TallyDelta() : start_(ThisThreadTally()) {}
  uint64_t allocations() const { return ThisThreadTally().allocations - start_.allocations; }
  uint64_t releases() const { return ThisThreadTally().releases - start_.releases; }
  uint64_t heapCalls() const { return allocations() + releases(); }

 private:
  Tally start_;
};

}  // namespace quarn::allocation
