#include "game/objects/modeltags.h"

#include "engine/core/engine.h"
#include "engine/core/stream.h"
#include "engine/world/clump.h"
#include "engine/world/world_plugin.h"

#include <cstring>

namespace {

struct AtomicPlugin {
    TvModuleGlobals module;
    int32_t offset = -1;
};

AtomicPlugin g_collData;
AtomicPlugin g_partTag;

template <typename T> T& Word(void* atomic, int32_t offset) {
    return *reinterpret_cast<T*>(static_cast<uint8_t*>(atomic) + offset);
}

void* OpenCollData(void* instance, int32_t offset, int32_t) {
    return TvModuleOpened(g_collData.module, instance, offset);
}
void* CloseCollData(void* instance, int32_t, int32_t) {
    return TvModuleClosed(g_collData.module, instance);
}
void* OpenPartTag(void* instance, int32_t offset, int32_t) {
    return TvModuleOpened(g_partTag.module, instance, offset);
}
void* ClosePartTag(void* instance, int32_t, int32_t) {
    return TvModuleClosed(g_partTag.module, instance);
}

void* ConstructTree(void* atomic, int32_t offset, int32_t) {
    Word<void*>(atomic, offset) = nullptr;
    return atomic;
}
void* CopyTree(void* dest, const void* src, int32_t offset, int32_t) {
    Word<void*>(dest, offset) = Word<void*>(const_cast<void*>(src), offset);
    return dest;
}
void* ConstructTag(void* atomic, int32_t offset, int32_t) {
    Word<uint32_t>(atomic, offset) = 0;
    return atomic;
}
void* CopyTag(void* dest, const void* src, int32_t offset, int32_t) {
    Word<uint32_t>(dest, offset) = Word<uint32_t>(const_cast<void*>(src), offset);
    return dest;
}
// The collision grid belongs to the type that loaded it.
void* DestructNothing(void* atomic, int32_t, int32_t) {
    return atomic;
}

// A stored tree word points into no block of the running game: skipped, the tree left null.
TvStream* ReadTree(TvStream* stream, int32_t length, void* atomic, int32_t offset, int32_t) {
    Word<void*>(atomic, offset) = nullptr;
    if (length < 0 || !TvStreamSkip(stream, uint32_t(length))) return nullptr;
    return stream;
}
TvStream* WriteTree(TvStream* stream, int32_t, const void*, int32_t, int32_t) {
    const uint8_t zero[4] = {0, 0, 0, 0};
    return TvStreamWrite(stream, zero, sizeof zero);
}

TvStream* ReadTag(TvStream* stream, int32_t length, void* atomic, int32_t offset, int32_t) {
    uint8_t b[4];
    if (length < 4 || TvStreamRead(stream, b, sizeof b) != sizeof b) return nullptr;
    Word<uint32_t>(atomic, offset) =
        uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    if (length > 4 && !TvStreamSkip(stream, uint32_t(length - 4))) return nullptr;
    return stream;
}
TvStream* WriteTag(TvStream* stream, int32_t, const void* atomic, int32_t offset, int32_t) {
    const uint32_t tag = Word<uint32_t>(const_cast<void*>(atomic), offset);
    const uint8_t b[4] = {uint8_t(tag), uint8_t(tag >> 8), uint8_t(tag >> 16), uint8_t(tag >> 24)};
    return TvStreamWrite(stream, b, sizeof b);
}

int32_t Size4(const void*, int32_t, int32_t) {
    return 4;
}

} // namespace

int32_t TpAtomicCollDataPluginAttach() {
    if (TvEngineRegisterPlugin(0, kMV2AtomicCollDataPluginId, OpenCollData, CloseCollData) < 0)
        return 0;
    g_collData.offset = TpAtomicRegisterPlugin(int32_t(sizeof(void*)), kMV2AtomicCollDataPluginId,
                                               ConstructTree, DestructNothing, CopyTree);
    if (g_collData.offset < 0) return 0;
    return TpAtomicRegisterPluginStream(kMV2AtomicCollDataPluginId, ReadTree, WriteTree, Size4) >=
           0;
}

int32_t TpAtomicDataPluginAttach() {
    if (TvEngineRegisterPlugin(0, kMV2AtomicDataPluginId, OpenPartTag, ClosePartTag) < 0) return 0;
    g_partTag.offset = TpAtomicRegisterPlugin(int32_t(sizeof(uint32_t)), kMV2AtomicDataPluginId,
                                              ConstructTag, DestructNothing, CopyTag);
    if (g_partTag.offset < 0) return 0;
    return TpAtomicRegisterPluginStream(kMV2AtomicDataPluginId, ReadTag, WriteTag, Size4) >= 0;
}

void MV2AtomicSetCollData(TpAtomic* atomic, void* tree) {
    if (atomic && g_collData.offset >= 0) Word<void*>(atomic, g_collData.offset) = tree;
}

void* MV2AtomicGetCollData(const TpAtomic* atomic) {
    if (!atomic || g_collData.offset < 0) return nullptr;
    return Word<void*>(const_cast<TpAtomic*>(atomic), g_collData.offset);
}

void MV2AtomicSetPartTag(TpAtomic* atomic, uint32_t tag) {
    if (atomic && g_partTag.offset >= 0) Word<uint32_t>(atomic, g_partTag.offset) = tag;
}

uint32_t MV2AtomicGetPartTag(const TpAtomic* atomic) {
    if (!atomic || g_partTag.offset < 0) return 0;
    return Word<uint32_t>(const_cast<TpAtomic*>(atomic), g_partTag.offset);
}
