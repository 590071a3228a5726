// The counter behind the zero of no_allocation_test.cpp: it must see a heap call of every kind made
// while armed, and only those, or that zero would prove nothing.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "allocation_counter.h"
#include "armed_exports.h"
#include "export_catalog.h"
#include "paused_fake_backend.h"

extern "C" void* memalign(size_t alignment, size_t size);

namespace {

using quarn::allocation::ArmedExport;
using quarn::allocation::ArmedScope;
using quarn::allocation::IndexOfExport;
using quarn::allocation::PausedScope;
using quarn::allocation::RecordOf;
using quarn::allocation::TallyDelta;

// Blocks pass through here so that the compiler cannot drop an allocation it sees freed unused.
void* volatile sink = nullptr;
void* Keep(void* block) {
  sink = block;
  return sink;
}

struct alignas(64) Wide {
  unsigned char bytes[64];
};

struct HeapCall {
  const char* what;
  std::function<void()> run;  // one allocation, then its release
};

const std::vector<HeapCall>& HeapCallsOfEveryKind() {
  static const std::vector<HeapCall> calls = {
      {"malloc", [] { std::free(Keep(std::malloc(24))); }},
      {"calloc", [] { std::free(Keep(std::calloc(3, 8))); }},
      {"realloc of null", [] { std::free(Keep(std::realloc(nullptr, 24))); }},
      {"aligned_alloc", [] { std::free(Keep(aligned_alloc(64, 128))); }},
      {"posix_memalign",
       [] {
         void* block = nullptr;
         ASSERT_EQ(posix_memalign(&block, 64, 128), 0);
         std::free(Keep(block));
       }},
      {"memalign", [] { std::free(Keep(memalign(64, 128))); }},
      {"strdup (inside the C library)", [] { std::free(Keep(strdup("a string"))); }},
      {"new", [] { delete static_cast<int*>(Keep(new int(7))); }},
      {"new[]", [] { delete[] static_cast<int*>(Keep(new int[7])); }},
      {"nothrow new", [] { delete static_cast<int*>(Keep(new (std::nothrow) int(7))); }},
      {"aligned new", [] { delete static_cast<Wide*>(Keep(new Wide)); }},
      {"aligned new[]", [] { delete[] static_cast<Wide*>(Keep(new Wide[2])); }},
      {"a container", [] { Keep(std::vector<int>(100).data()); }},
  };
  return calls;
}

TEST(AllocationCounter, CountsEveryKindOfHeapCallWhileArmed) {
  for (const HeapCall& call : HeapCallsOfEveryKind()) {
    const TallyDelta delta;
    {
      const ArmedScope armed;
      call.run();
    }
    EXPECT_EQ(delta.allocations(), 1u) << call.what;
    EXPECT_EQ(delta.releases(), 1u) << call.what;
  }
}

TEST(AllocationCounter, ReallocGrowingABlockCounts) {
  void* block = Keep(std::malloc(8));
  const TallyDelta delta;
  {
    const ArmedScope armed;
    block = Keep(std::realloc(block, 1 << 20));
  }
  std::free(block);
  EXPECT_EQ(delta.allocations(), 1u);
}

TEST(AllocationCounter, CountsNothingDisarmedOrPaused) {
  const TallyDelta delta;
  for (const HeapCall& call : HeapCallsOfEveryKind()) call.run();
  {
    const ArmedScope armed;
    const PausedScope paused;
    for (const HeapCall& call : HeapCallsOfEveryKind()) call.run();
  }
  EXPECT_EQ(delta.heapCalls(), 0u);
}

TEST(AllocationCounter, ArmingNestsAndAPauseEnds) {
  const TallyDelta delta;
  {
    const ArmedScope outer;
    { const ArmedScope inner; }
    std::free(Keep(std::malloc(1)));  // still armed by the outer scope
    { const PausedScope paused; }
    std::free(Keep(std::malloc(1)));  // armed again after the pause
  }
  EXPECT_EQ(delta.allocations(), 2u);
}

// The virtual reader serves on a thread of its own; what it allocates is not the caller's.
TEST(AllocationCounter, CountsOnlyTheArmingThread) {
  const TallyDelta delta;
  const ArmedScope armed;
  const PausedScope paused;  // creating the thread allocates on this one
  std::thread other([] {
    for (const HeapCall& call : HeapCallsOfEveryKind()) call.run();
  });
  other.join();
  EXPECT_EQ(delta.heapCalls(), 0u);
}

TEST(AllocationCounter, AnArmedExportRecordsItsHeapCalls) {
  const size_t index = IndexOfExport("UhfGetPower");
  const auto before = RecordOf(index);
  {
    const ArmedExport armed(index);
    std::free(Keep(std::malloc(16)));
  }
  EXPECT_EQ(RecordOf(index).calls - before.calls, 1u);
  EXPECT_EQ(RecordOf(index).heapCalls - before.heapCalls, 2u);
}

// The wrappers must be in the link: a call into the library runs armed, up to the port and back.
TEST(AllocationCounter, ALibraryCallReachesThePortArmed) {
  const quarn::testing::ExportEntry* entry = quarn::testing::FindExport("UhfGetPower");
  ASSERT_NE(entry, nullptr);
  quarn::testing::FakePort port;
  quarn::testing::CallBuffers buffers(entry->outs);
  const uint64_t backendCallsBefore = quarn::allocation::ArmedBackendCalls();
  const uint64_t callsBefore = RecordOf(IndexOfExport("UhfGetPower")).calls;
  entry->call(port, buffers, 0);
  EXPECT_GT(quarn::allocation::ArmedBackendCalls(), backendCallsBefore);
  EXPECT_EQ(RecordOf(IndexOfExport("UhfGetPower")).calls, callsBefore + 1);
  EXPECT_FALSE(quarn::allocation::Counting());
}

}  // namespace
