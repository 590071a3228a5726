// The replacement allocator: forwards to glibc's own entry points (__libc_malloc and its kin, which the
// replaced names would otherwise reach) and counts on the calling thread while it is armed.
//
// The per-thread state is initial-exec TLS in the executable, which needs no allocation to reach, so the
// allocator can consult it from the first call the loader or the runtime makes.

#include "allocation_counter.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void __libc_free(void* block);
void* __libc_memalign(size_t alignment, size_t size);
void* __libc_valloc(size_t size);
void* __libc_pvalloc(size_t size);
}

namespace quarn::allocation {

namespace {

__attribute__((tls_model("initial-exec"))) thread_local int armedDepth = 0;
__attribute__((tls_model("initial-exec"))) thread_local Tally tally;

void CountAllocation(size_t size) {
  if (armedDepth <= 0) return;
  if (tally.allocations == 0) tally.firstSize = size;
  ++tally.allocations;
}

void CountRelease() {
  if (armedDepth > 0) ++tally.releases;
}

bool IsPowerOfTwo(size_t value) { return value != 0 && (value & (value - 1)) == 0; }

void* Allocate(size_t size) {
  CountAllocation(size);
  return __libc_malloc(size);
}

void* AllocateAligned(size_t alignment, size_t size) {
  CountAllocation(size);
  return __libc_memalign(alignment, size);
}

void Release(void* block) {
  CountRelease();
  __libc_free(block);
}

// operator new must not return null: it throws, after giving the new-handler its chance.
void* NewOrThrow(size_t size) {
  for (;;) {
    if (void* block = Allocate(size == 0 ? 1 : size)) return block;
    std::new_handler handler = std::get_new_handler();
    if (handler == nullptr) throw std::bad_alloc();
    handler();
  }
}

void* AlignedNewOrThrow(size_t size, std::align_val_t alignment) {
  for (;;) {
    if (void* block = AllocateAligned(static_cast<size_t>(alignment), size == 0 ? 1 : size)) return block;
    std::new_handler handler = std::get_new_handler();
    if (handler == nullptr) throw std::bad_alloc();
    handler();
  }
}

}  // namespace

Tally ThisThreadTally() { return tally; }
bool Counting() { return armedDepth > 0; }

ArmedScope::ArmedScope() { ++armedDepth; }
ArmedScope::~ArmedScope() { --armedDepth; }

PausedScope::PausedScope() : savedDepth_(armedDepth) { armedDepth = 0; }
PausedScope::~PausedScope() { armedDepth = savedDepth_; }

}  // namespace quarn::allocation

using quarn::allocation::Allocate;
using quarn::allocation::AllocateAligned;
using quarn::allocation::AlignedNewOrThrow;
using quarn::allocation::CountAllocation;
using quarn::allocation::IsPowerOfTwo;
using quarn::allocation::NewOrThrow;
using quarn::allocation::Release;

// --- the C allocator ---

extern "C" {

void* malloc(size_t size) { return Allocate(size); }

void* calloc(size_t count, size_t size) {
  CountAllocation(count * size);
  return __libc_calloc(count, size);
}

void* realloc(void* block, size_t size) {
  CountAllocation(size);
  return __libc_realloc(block, size);
}

void* reallocarray(void* block, size_t count, size_t size) {
  size_t total = 0;
  if (__builtin_mul_overflow(count, size, &total)) {
    errno = ENOMEM;
    return nullptr;
  }
  return realloc(block, total);
}

void free(void* block) { Release(block); }

void* memalign(size_t alignment, size_t size) { return AllocateAligned(alignment, size); }

void* aligned_alloc(size_t alignment, size_t size) { return AllocateAligned(alignment, size); }

int posix_memalign(void** blockOut, size_t alignment, size_t size) {
  if (!IsPowerOfTwo(alignment) || alignment % sizeof(void*) != 0) return EINVAL;
  void* block = AllocateAligned(alignment, size);
  if (block == nullptr) return ENOMEM;
  *blockOut = block;
  return 0;
}

void* valloc(size_t size) {
  CountAllocation(size);
  return __libc_valloc(size);
}

void* pvalloc(size_t size) {
  CountAllocation(size);
  return __libc_pvalloc(size);
}

}  // extern "C"

// --- every replaceable operator new and delete ---

void* operator new(size_t size) { return NewOrThrow(size); }
void* operator new[](size_t size) { return NewOrThrow(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return Allocate(size == 0 ? 1 : size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return Allocate(size == 0 ? 1 : size); }
void* operator new(size_t size, std::align_val_t alignment) { return AlignedNewOrThrow(size, alignment); }
void* operator new[](size_t size, std::align_val_t alignment) { return AlignedNewOrThrow(size, alignment); }
void* operator new(size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return AllocateAligned(static_cast<size_t>(alignment), size == 0 ? 1 : size);
}
void* operator new[](size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return AllocateAligned(static_cast<size_t>(alignment), size == 0 ? 1 : size);
}

void operator delete(void* block) noexcept { Release(block); }
void operator delete[](void* block) noexcept { Release(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { Release(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { Release(block); }
void operator delete(void* block, size_t) noexcept { Release(block); }
void operator delete[](void* block, size_t) noexcept { Release(block); }
void operator delete(void* block, std::align_val_t) noexcept { Release(block); }
void operator delete[](void* block, std::align_val_t) noexcept { Release(block); }
void operator delete(void* block, size_t, std::align_val_t) noexcept { Release(block); }
void operator delete[](void* block, size_t, std::align_val_t) noexcept { Release(block); }
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept { Release(block); }
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept { Release(block); }
