// Reads the input as a submarine table: whatever the bytes, every indexed record lies inside
// the input, counts are clamped and names come out terminated; lookups never write.
#include "game/creatures/submarines.h"

#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    if (!MV2ParseSubDefinitions(data, size)) return 0;
    const int32_t count = MV2CountSubDefinitions();
    if (size < kMV2SubFileHeaderSize && count != 0) __builtin_trap();
    if (count > 0 && size_t(count) > (size - kMV2SubFileHeaderSize) / kMV2SubRecordSize)
        __builtin_trap();
    char name[kMV2SubNameSize + 1] = {};
    std::memcpy(name, data, size < sizeof name - 1 ? size : sizeof name - 1);
    const MV2SubDefinition* d = MV2FindSubDefinition(name);
    if (d) {
        if (std::strlen(d->name) > size_t(kMV2SubNameSize) || d->partCount > kMV2SubParts ||
            d->attachmentCount > kMV2SubAttachments || d->soundId > 215)
            __builtin_trap();
    }
    MV2FindSubDefinition("SCOUT");
    MV2FreeSubDefinitions();
    return 0;
}
