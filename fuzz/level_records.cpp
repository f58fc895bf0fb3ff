// Level headers come from chunk 5 of the menu resource file and texture lists from the data
// folder: walk every record of any header bytes and spawn its items through a recording
// creation hook whose objects have private data of a size taken from the item's type, then read
// the same bytes as a ".LAT" list.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "engine/core/engine.h"
#include "game/objects/levels.h"
#include "game/objects/objects.h"
#include "game/objects/objecttypes.h"
#include "platform/win32/win32.h"

namespace {

MV2Object g_object;
MV2ObjectType g_type;
std::unique_ptr<uint8_t[]> g_private;
uint32_t g_sum;

MV2Object* Create(int32_t type, const float* position, const MV2CreationRecord* record) {
    if (position) g_sum += uint32_t(position[0] != 0.0f);
    if (record && record->item) g_sum += record->item->size;
    if (type % 7 == 3) return nullptr; // some creations fail
    g_object = MV2Object{};
    g_type = MV2ObjectType{};
    g_type.privateDataSize = uint32_t(type % 301);
    g_private.reset(g_type.privateDataSize ? new uint8_t[g_type.privateDataSize] : nullptr);
    g_object.privateData = g_private.get();
    g_object.type = &g_type;
    return &g_object;
}

intptr_t Send(MV2Object*, int32_t message, intptr_t p1, intptr_t) {
    g_sum += uint32_t(message) + uint32_t(p1);
    return 1;
}

TpClump* LoadModel(const char* path) {
    g_sum += uint32_t(std::strlen(path));
    return nullptr;
}

TvTexture* ReadTexture(const char* name, const char* mask) {
    g_sum += uint32_t(std::strlen(name) + std::strlen(mask));
    return nullptr;
}

MV2Object* NoPlayer() {
    return nullptr;
}

bool Start() {
    gMV2LevelCalls = {Create, Send, LoadModel, ReadTexture, NoPlayer};
    return TvEngineInit(nullptr);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = Start();
    if (!ready || size > 0xFFFFFFFFu) return 0;
    // A copy of exactly the input's size, so that a read past it is caught.
    std::unique_ptr<uint8_t[]> bytes(new uint8_t[size ? size : 1]);
    if (size) std::memcpy(bytes.get(), data, size);
    if (MV2SetLevelHeader(bytes.get(), uint32_t(size))) {
        MV2LevelRecord r;
        int32_t records = 0;
        for (int32_t ok = MV2FirstLevelRecord(&r); ok && records < 256;
             ok = MV2NextLevelRecord(&r, &r), records++) {
            MV2SpawnLevelRecord(r.id, -1);
            MV2LevelRecordItem item;
            if (MV2FirstRecordItem(&r, &item)) MV2SpawnLevelRecordItem(r.id, 2, item.id);
        }
        MV2MovePlayerToStartPoint(0x00FFFFFF);
        MV2ClearLevelHeader();
    }
    static MV2TextureList list;
    MV2ParseTextureList(bytes.get(), size, &list);
    g_private.reset();
    PlatformClearMessageBoxes();
    return 0;
}
