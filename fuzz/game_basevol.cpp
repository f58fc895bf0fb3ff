// Reads the input as a base volume table: at most 300 entries, each name terminated within
// its 15 characters.
#include "shell/audio.h"

#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static MV2BaseVolume table[kMV2BaseVolumeEntries];
    int32_t n = MV2ParseBaseVolumes(reinterpret_cast<const char*>(data), size, table);
    if (n < 0 || n > kMV2BaseVolumeEntries) __builtin_trap();
    for (int32_t i = 0; i < n; ++i)
        if (std::strlen(table[i].name) > 15) __builtin_trap();
    return 0;
}
