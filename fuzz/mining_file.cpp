// Reads the input as ".\DATA\MINING.DAT": accepted only with 64 bytes or more of finite
// values, which then stand in the four sites; anything else is refused and changes nothing.
#include "game/missions/mining.h"

#include <cmath>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    if (!MV2MiningParseFile(data, size)) return 0;
    if (size < kMV2MiningFileSize) __builtin_trap();
    for (const MV2MiningSite& s : gMV2Mining.sites)
        if (!std::isfinite(s.rate) || !std::isfinite(s.capacity) || !std::isfinite(s.stock) ||
            !std::isfinite(s.loadAmount))
            __builtin_trap();
    return 0;
}
