// Reads the input as a cut-scene record: the check accepts it only when every item, path list,
// event list and segment lies inside it with its key counts; then every item's path is
// evaluated across its time without reading outside the record.
#include "game/missions/cutscenes.h"
#include "shell/bytes.h"

#include <cstdint>
#include <initializer_list>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 16)) return 0;
    if (!MV2CutSceneCheckRecord(data, size)) return 0;
    const uint32_t items = MV2ReadU32(data + 12);
    const uint8_t* p = data + kMV2CutSceneRecordHead;
    for (uint32_t i = 0; i < items; ++i) {
        MV2CutSceneItem item;
        MV2CutSceneReadItem(p, &item);
        if (item.size < kMV2CutSceneItemHead || p + item.size > data + size) __builtin_trap();
        p += item.size;
        for (uint32_t t : {0u, 1u, 500u, 1000u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
            float values[12] = {};
            int32_t positionOnly = 0;
            MV2CutSceneEvaluatePath(&item, t, values, &positionOnly);
        }
    }
    return 0;
}
