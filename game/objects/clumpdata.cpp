#include "game/objects/clumpdata.h"

#include "engine/core/engine.h"
#include "engine/core/stream.h"
#include "engine/world/clump.h"
#include "engine/world/world_plugin.h"

namespace {

TvModuleGlobals g_module;
int32_t g_clumpOffset = -1;

MV2Object*& Word(void* clump, int32_t offset) {
    return *reinterpret_cast<MV2Object**>(static_cast<uint8_t*>(clump) + offset);
}

void* Open(void* instance, int32_t offset, int32_t) {
    return TvModuleOpened(g_module, instance, offset);
}

void* Close(void* instance, int32_t, int32_t) {
    return TvModuleClosed(g_module, instance);
}

void* Construct(void* clump, int32_t offset, int32_t) {
    Word(clump, offset) = nullptr;
    return clump;
}

void* Destruct(void* clump, int32_t, int32_t) {
    return clump;
}

void* Copy(void* dest, const void* src, int32_t offset, int32_t) {
    Word(dest, offset) = Word(const_cast<void*>(src), offset);
    return dest;
}

// A stored word names no object of the running game: it is skipped and the word left null.
TvStream* Read(TvStream* stream, int32_t length, void* clump, int32_t offset, int32_t) {
    Word(clump, offset) = nullptr;
    if (length < 0 || !TvStreamSkip(stream, uint32_t(length))) return nullptr;
    return stream;
}

TvStream* Write(TvStream* stream, int32_t, const void*, int32_t, int32_t) {
    const uint8_t zero[4] = {0, 0, 0, 0};
    return TvStreamWrite(stream, zero, sizeof zero);
}

int32_t Size(const void*, int32_t, int32_t) {
    return 4;
}

} // namespace

int32_t TpClumpDataPluginAttach() {
    if (TvEngineRegisterPlugin(0, kMV2ClumpDataPluginId, Open, Close) < 0) return 0;
    g_clumpOffset = TpClumpRegisterPlugin(int32_t(sizeof(MV2Object*)), kMV2ClumpDataPluginId,
                                          Construct, Destruct, Copy);
    if (g_clumpOffset < 0) return 0;
    return TpClumpRegisterPluginStream(kMV2ClumpDataPluginId, Read, Write, Size) >= 0;
}

void MV2SetClumpObject(TpClump* clump, MV2Object* object) {
    if (clump && g_clumpOffset >= 0) Word(clump, g_clumpOffset) = object;
}

MV2Object* MV2GetClumpObject(const TpClump* clump) {
    if (!clump || g_clumpOffset < 0) return nullptr;
    return Word(const_cast<TpClump*>(clump), g_clumpOffset);
}
