#include "platform/crt/cpuid.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace {

PlatformCpuidFn g_source = nullptr;

bool Hardware(uint32_t leaf, uint32_t regs[4]) {
    regs[0] = regs[1] = regs[2] = regs[3] = 0;
#if defined(__x86_64__) || defined(__i386__)
#if defined(__i386__)
    // The intrinsic answers 0 when the flags register's identification bit cannot change
    // (every 64-bit processor has the instruction).
    if (__get_cpuid_max(0, nullptr) == 0) return false;
#endif
    unsigned a = 0, b = 0, c = 0, d = 0;
    __cpuid_count(leaf, 0, a, b, c, d);
    regs[0] = a;
    regs[1] = b;
    regs[2] = c;
    regs[3] = d;
    return true;
#else
    (void)leaf;
    return false;
#endif
}

} // namespace

bool PlatformCpuid(uint32_t leaf, uint32_t regs[4]) {
    if (g_source) {
        regs[0] = regs[1] = regs[2] = regs[3] = 0;
        return g_source(leaf, regs);
    }
    return Hardware(leaf, regs);
}

void PlatformSetCpuidSource(PlatformCpuidFn source) {
    g_source = source;
}
