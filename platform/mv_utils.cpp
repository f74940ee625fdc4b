#include "platform/mv_utils.h"

#include <cpuid.h>

bool MMXAvailable = false;

bool ProcessorHasCpuid() {
  // CPUID exists when the ID flag (bit 21) of the flags register can be toggled.
  uintptr_t before, after;
#if defined(__i386__)
  asm volatile(
      "pushfl\n\tpopl %0\n\tmovl %0, %1\n\txorl $0x200000, %1\n\t"
      "pushl %1\n\tpopfl\n\tpushfl\n\tpopl %1\n\tpushl %0\n\tpopfl"
      : "=&r"(before), "=&r"(after)::"cc");
#elif defined(__x86_64__)
  asm volatile(
      "pushfq\n\tpopq %0\n\tmovq %0, %1\n\txorq $0x200000, %1\n\t"
      "pushq %1\n\tpopfq\n\tpushfq\n\tpopq %1\n\tpushq %0\n\tpopfq"
      : "=&r"(before), "=&r"(after)::"cc");
#else
#error "the processor test needs an x86 processor"
#endif
  return ((before ^ after) & 0x200000) != 0;
}

static void Leaf1(uint32_t& eax, uint32_t& edx) {
  uint32_t ebx, ecx;
  __cpuid(1, eax, ebx, ecx, edx);
}

uint32_t ProcessorSignature() {
  uint32_t eax, edx;
  Leaf1(eax, edx);
  return eax;
}

uint32_t ProcessorFeatureFlags() {
  uint32_t eax, edx;
  Leaf1(eax, edx);
  return edx;
}

bool ProcessorHasMMX() {
  return HasMMXFeature(ProcessorHasCpuid(), ProcessorSignature, ProcessorFeatureFlags);
}

void EndMMX() {
  if (MMXAvailable) asm volatile("emms" ::: "memory");
}

void InitializeUtils() { MMXAvailable = ProcessorHasMMX(); }

void FinalizeUtils() { MMXAvailable = false; }
