// Reads the input as a sound list: every record's fields come out terminated and within their
// sizes, and the names are looked up among the built-in ones.
#include "shell/sounds.h"

#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    const uint32_t n = static_cast<uint32_t>(size);
    const int32_t count = MV2SoundListRecordCount(n);
    if (uint64_t(count) * kMV2SoundRecordSize > size) __builtin_trap();
    for (int32_t i = -1; i <= count; ++i) {
        MV2SoundListRecord record;
        MV2ReadSoundListRecord(data, n, i, &record);
        if (std::strlen(record.name) > 40 || std::strlen(record.file) > 16) __builtin_trap();
        MV2SoundId id = MV2FindSoundByName(record.name);
        if (id >= kMV2SoundNames) __builtin_trap();
    }
    return 0;
}
