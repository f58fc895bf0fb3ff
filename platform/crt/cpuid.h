// The processor's identification instruction, for the CPU identification component.
#pragma once

#include <cstdint>

// Fills eax, ebx, ecx, edx of one leaf (sub-leaf 0). Returns false, with the registers zeroed,
// when the processor has no identification instruction.
bool PlatformCpuid(uint32_t leaf, uint32_t regs[4]);

// Test seam: while set, PlatformCpuid answers through this function instead of the processor.
using PlatformCpuidFn = bool (*)(uint32_t leaf, uint32_t regs[4]);
void PlatformSetCpuidSource(PlatformCpuidFn source);
