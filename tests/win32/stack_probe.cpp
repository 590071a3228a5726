#include "stack_probe.h"

namespace quarn::win32ring {

#if defined(__i386__)

namespace {

// Pushes `count` arguments right to left with the stack 16-byte aligned at the call, calls `function`,
// stores its EAX in *result and returns ESP after the call minus ESP at the call: the bytes the callee
// removed. The frame is rebuilt from EBP afterwards, so a callee that removes the wrong number of bytes
// cannot unbalance the caller.
__attribute__((naked)) uint32_t StackBytesRemovedByCall(void (*)(), const uint32_t*, uint32_t, uint32_t*) {
  asm volatile(R"(
    pushl %ebp
    movl  %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl  8(%ebp), %eax
    movl  12(%ebp), %edx
    movl  16(%ebp), %ecx
    leal  0(,%ecx,4), %ebx
    movl  %esp, %esi
    subl  %ebx, %esi
    andl  $-16, %esi
    addl  %ebx, %esi
    movl  %esi, %esp
1:
    testl %ecx, %ecx
    jz    2f
    pushl -4(%edx,%ecx,4)
    decl  %ecx
    jmp   1b
2:
    movl  %esp, %ebx
    call  *%eax
    movl  20(%ebp), %ecx
    movl  %eax, (%ecx)
    movl  %esp, %eax
    subl  %ebx, %eax
    leal  -12(%ebp), %esp
    popl  %edi
    popl  %esi
    popl  %ebx
    popl  %ebp
    ret
  )");
}

}  // namespace

ProbeOutcome ProbeCall(void (*function)(), const uintptr_t* arguments, size_t count) {
  const size_t used = count < kMaxProbeArguments ? count : kMaxProbeArguments;
  uint32_t words[kMaxProbeArguments] = {};
  for (size_t i = 0; i < used; ++i) words[i] = static_cast<uint32_t>(arguments[i]);
  uint32_t result = 0;
  const uint32_t removed = StackBytesRemovedByCall(function, words, static_cast<uint32_t>(used), &result);
  return {result, removed};
}

#else

// One convention on x86-64: the caller owns the argument area, so unused trailing arguments are harmless.
ProbeOutcome ProbeCall(void (*function)(), const uintptr_t* arguments, size_t count) {
  uintptr_t a[kMaxProbeArguments] = {};
  for (size_t i = 0; i < count && i < kMaxProbeArguments; ++i) a[i] = arguments[i];
  using Wide = uintptr_t (*)(uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t,
                             uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t);
  const Wide wide = reinterpret_cast<Wide>(function);
  const uintptr_t result =
      wide(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9], a[10], a[11], a[12], a[13], a[14], a[15]);
  return {result, 0};
}

#endif

}  // namespace quarn::win32ring
