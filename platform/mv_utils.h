#pragma once
// Rectangle helpers (platform/rect.h), the processor test that picks the MMX
// pixel blend, and EndMMX. Platform-free (x86 only): the native core uses it too.
#include <cstdint>

#include "platform/rect.h"

extern bool MMXAvailable;  // ProcessorHasMMX at unit start

bool ProcessorHasCpuid();
uint32_t ProcessorSignature();     // EAX of CPUID leaf 1
uint32_t ProcessorFeatureFlags();  // EDX of CPUID leaf 1
bool ProcessorHasMMX();

// The decision behind ProcessorHasMMX, with the processor's answers supplied:
// the signature is read only when CPUID exists, the feature word only when the
// family is at least 5.
template <class Signature, class Features>
bool HasMMXFeature(bool hasCpuid, Signature signature, Features features) {
  if (!hasCpuid) return false;
  if (((signature() >> 8) & 0xF) < 5) return false;
  return (features() & (1u << 23)) != 0;
}

// Leaves the MMX state so that floating-point work may follow.
void EndMMX();

void InitializeUtils();
void FinalizeUtils();
