#include "engine/world/anim.h"

#include <bit>
#include <cmath>

#include "engine/core/bytes.h"
#include "engine/core/engine.h"
#include "engine/core/error.h"
#include "engine/core/memory.h"
#include "engine/core/stream.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "engine/world/world_plugin.h"

namespace {

TvModuleGlobals g_animModule;
int32_t g_geometryOffset = -1;
int32_t g_atomicOffset = -1;

// Bytes of one stored key: word, end target, start target, duration, next index.
constexpr uint32_t kStoredKeySize = 20;
// Next index stored for a key that has no next key.
constexpr uint32_t kNoNextKey = 0xFFFFFFFFu;

TpAnimGeometryData* GeometryData(const TpGeometry* geometry) {
    return reinterpret_cast<TpAnimGeometryData*>(
        reinterpret_cast<uint8_t*>(const_cast<TpGeometry*>(geometry)) + g_geometryOffset);
}
TpAnimAtomicData* AtomicData(TpAtomic* atomic) {
    return reinterpret_cast<TpAnimAtomicData*>(reinterpret_cast<uint8_t*>(atomic) + g_atomicOffset);
}

bool Attached() {
    return g_geometryOffset >= 0 && g_atomicOffset >= 0;
}

TpGeometry* CheckGeometry(const TpGeometry* geometry) {
    if (!geometry || !Attached()) {
        TvErrorReport(kTpAnimPluginId, E_TV_NULLP);
        return nullptr;
    }
    return const_cast<TpGeometry*>(geometry);
}

// The atomic's geometry; reports the plug-in's error when there is none.
TpGeometry* AtomicGeometry(TpAtomic* atomic) {
    TpGeometry* geometry = atomic && Attached() ? TpAtomicGetGeometry(atomic) : nullptr;
    if (!geometry) TvErrorReport(kTpAnimPluginId, E_TP_ANIMNOGEOMETRY);
    return geometry;
}

void FreeKeys(TpAnimGeometryData* data) {
    TvFree(data->keys);
    data->keys = nullptr;
    data->numKeys = 0;
}

// Loads the atomic's key and position into its morph interpolator.
void LoadInterpolator(TpAtomic* atomic) {
    const TpAnimAtomicData* data = AtomicData(atomic);
    const TpAnimKey* key = data->currentKey;
    if (!key) return;
    TpInterpolator* in = TpAtomicGetInterpolator(atomic);
    TpInterpolatorSetEndMorphTarget(in, key->endMorphTarget);
    TpInterpolatorSetStartMorphTarget(in, key->startMorphTarget);
    TpInterpolatorSetPosition(in, data->position);
    TpInterpolatorSetDuration(in, key->duration);
}

// The current key, which becomes the geometry's first key when the atomic has none of this
// geometry's keys; null when the geometry has no keys.
TpAnimKey* CurrentKey(TpAtomic* atomic, TpGeometry* geometry) {
    TpAnimAtomicData* data = AtomicData(atomic);
    if (data->geometry != geometry || !data->currentKey) {
        const TpAnimGeometryData* g = GeometryData(geometry);
        data->geometry = geometry;
        data->currentKey = g->numKeys > 0 ? g->keys : nullptr;
    }
    return data->currentKey;
}

// The keys from the current one round its loop (a key without a next key loops on itself):
// when the position holds whole laps they are removed, leaving less than one lap. True when
// laps were removed.
bool SkipWholeLaps(TpAnimAtomicData* data, int32_t numKeys) {
    if (!std::isfinite(data->position)) return false;
    const TpAnimKey* start = data->currentKey;
    double lap = 0;
    const TpAnimKey* key = start;
    for (int32_t i = 0; i < numKeys; i++) {
        lap += key->duration;
        key = key->next ? key->next : key;
        if (key == start) break;
    }
    if (key != start || !(lap > 0) || data->position < lap) return false;
    data->position = float(std::fmod(double(data->position), lap));
    return true;
}

void* Open(void* instance, int32_t offset, int32_t) {
    return TvModuleOpened(g_animModule, instance, offset);
}
void* Close(void* instance, int32_t, int32_t) {
    return TvModuleClosed(g_animModule, instance);
}

void* GeometryConstruct(void* object, int32_t offset, int32_t) {
    auto* data = reinterpret_cast<TpAnimGeometryData*>(static_cast<uint8_t*>(object) + offset);
    *data = TpAnimGeometryData{0, TpAnimSequenceDefaultCallBack, nullptr};
    return object;
}
void* GeometryDestruct(void* object, int32_t offset, int32_t) {
    FreeKeys(reinterpret_cast<TpAnimGeometryData*>(static_cast<uint8_t*>(object) + offset));
    return object;
}
// The copy gets its own keys, linked among themselves as the source's are.
void* GeometryCopy(void* dest, const void* src, int32_t offset, int32_t) {
    auto* to = reinterpret_cast<TpAnimGeometryData*>(static_cast<uint8_t*>(dest) + offset);
    const auto* from =
        reinterpret_cast<const TpAnimGeometryData*>(static_cast<const uint8_t*>(src) + offset);
    to->callBack = from->callBack;
    if (from->numKeys < 1 || !from->keys) return dest;
    auto* keys = static_cast<TpAnimKey*>(TvMalloc(sizeof(TpAnimKey) * size_t(from->numKeys)));
    if (!keys) return nullptr;
    for (int32_t i = 0; i < from->numKeys; i++) {
        keys[i] = from->keys[i];
        if (from->keys[i].next) keys[i].next = keys + (from->keys[i].next - from->keys);
    }
    FreeKeys(to);
    to->keys = keys;
    to->numKeys = from->numKeys;
    return dest;
}

TvStream* GeometryRead(TvStream* stream, int32_t length, void* object, int32_t offset, int32_t) {
    auto* data = reinterpret_cast<TpAnimGeometryData*>(static_cast<uint8_t*>(object) + offset);
    uint8_t word[4];
    if (length < 4 || TvStreamRead(stream, word, 4) != 4) {
        TvErrorCore(E_TV_ENDOFSTREAM);
        return nullptr;
    }
    const int32_t count = int32_t(TvLoadU32(word));
    if (count < 1) return stream;
    if (uint64_t(count) * kStoredKeySize > uint64_t(length) - 4) {
        TvErrorCore(E_TV_ENDOFSTREAM);
        return nullptr;
    }
    auto* keys = static_cast<TpAnimKey*>(TvCalloc(size_t(count), sizeof(TpAnimKey)));
    if (!keys) return nullptr;
    for (int32_t i = 0; i < count; i++) {
        uint8_t record[kStoredKeySize];
        if (TvStreamRead(stream, record, kStoredKeySize) != kStoredKeySize) {
            TvFree(keys);
            TvErrorCore(E_TV_ENDOFSTREAM);
            return nullptr;
        }
        const uint32_t next = TvLoadU32(record + 16);
        if (next != kNoNextKey && next >= uint32_t(count)) {
            TvFree(keys);
            TvErrorCore(E_TV_INVALIDPARAM, "Animation key names a next key out of range");
            return nullptr;
        }
        TpAnimKey& key = keys[i];
        key.word = TvLoadU32(record);
        key.endMorphTarget = uint16_t(TvLoadU32(record + 4));
        key.startMorphTarget = uint16_t(TvLoadU32(record + 8));
        key.duration = std::bit_cast<float>(TvLoadU32(record + 12));
        key.recipDuration = 1.0f / key.duration;
        key.next = next == kNoNextKey ? nullptr : keys + next;
    }
    FreeKeys(data);
    data->keys = keys;
    data->numKeys = count;
    return stream;
}

TvStream* GeometryWrite(TvStream* stream, int32_t, const void* object, int32_t offset, int32_t) {
    const auto* data =
        reinterpret_cast<const TpAnimGeometryData*>(static_cast<const uint8_t*>(object) + offset);
    uint8_t word[4];
    TvStoreU32(word, uint32_t(data->numKeys));
    if (!TvStreamWrite(stream, word, 4)) return nullptr;
    for (int32_t i = 0; i < data->numKeys; i++) {
        const TpAnimKey& key = data->keys[i];
        uint8_t record[kStoredKeySize];
        TvStoreU32(record, key.word);
        TvStoreU32(record + 4, key.endMorphTarget);
        TvStoreU32(record + 8, key.startMorphTarget);
        TvStoreU32(record + 12, std::bit_cast<uint32_t>(key.duration));
        TvStoreU32(record + 16, key.next ? uint32_t(key.next - data->keys) : kNoNextKey);
        if (!TvStreamWrite(stream, record, kStoredKeySize)) return nullptr;
    }
    return stream;
}

int32_t GeometrySize(const void* object, int32_t offset, int32_t) {
    const auto* data =
        reinterpret_cast<const TpAnimGeometryData*>(static_cast<const uint8_t*>(object) + offset);
    // The count word is written even when there are no keys.
    return (data->numKeys > 0 ? data->numKeys * int32_t(kStoredKeySize) : 0) + 4;
}

void* AtomicConstruct(void* object, int32_t offset, int32_t) {
    auto* data = reinterpret_cast<TpAnimAtomicData*>(static_cast<uint8_t*>(object) + offset);
    *data = TpAnimAtomicData{nullptr, 0.0f, nullptr};
    return object;
}
void* AtomicCopy(void* dest, const void* src, int32_t offset, int32_t) {
    auto* atomic = static_cast<TpAtomic*>(dest);
    const auto* source = static_cast<const TpAtomic*>(src);
    const auto* from =
        reinterpret_cast<const TpAnimAtomicData*>(static_cast<const uint8_t*>(src) + offset);
    auto* to = reinterpret_cast<TpAnimAtomicData*>(static_cast<uint8_t*>(dest) + offset);
    if (from->currentKey && from->geometry && from->geometry == source->geometry) {
        *to = *from;
        LoadInterpolator(atomic);
    } else {
        *to = TpAnimAtomicData{nullptr, 0.0f, nullptr};
    }
    return dest;
}

} // namespace

int32_t TpAnimPluginAttach() {
    if (TvEngineRegisterPlugin(0, kTpAnimPluginId, Open, Close) < 0) return 0;
    g_atomicOffset = TpAtomicRegisterPlugin(sizeof(TpAnimAtomicData), kTpAnimPluginId,
                                            AtomicConstruct, AtomicConstruct, AtomicCopy);
    g_geometryOffset = TpGeometryRegisterPlugin(sizeof(TpAnimGeometryData), kTpAnimPluginId,
                                                GeometryConstruct, GeometryDestruct, GeometryCopy);
    if (!Attached()) return 0;
    return TpGeometryRegisterPluginStream(kTpAnimPluginId, GeometryRead, GeometryWrite,
                                          GeometrySize) >= 0;
}

TpGeometry* TpAnimSequenceGeometryCreateKeys(TpGeometry* geometry, int32_t count) {
    if (!CheckGeometry(geometry)) return nullptr;
    TpAnimGeometryData* data = GeometryData(geometry);
    FreeKeys(data);
    if (count < 1) return geometry;
    data->keys = static_cast<TpAnimKey*>(TvCalloc(size_t(count), sizeof(TpAnimKey)));
    if (!data->keys) return nullptr;
    data->numKeys = count;
    return geometry;
}

TpGeometry* TpAnimSequenceGeometrySetKey(TpGeometry* geometry, int32_t index, uint16_t endTarget,
                                         uint16_t startTarget, float duration) {
    TpAnimKey* key = TpAnimSequenceGeometryGetKey(geometry, index);
    if (!key) return nullptr;
    const TpAnimGeometryData* data = GeometryData(geometry);
    *key = TpAnimKey{0,        endTarget,       startTarget,
                     duration, 1.0f / duration, index + 1 < data->numKeys ? key + 1 : data->keys};
    return geometry;
}

TpGeometry* TpAnimSequenceGeometrySetKeyNext(TpGeometry* geometry, int32_t index, int32_t next) {
    TpAnimKey* key = TpAnimSequenceGeometryGetKey(geometry, index);
    TpAnimKey* following = TpAnimSequenceGeometryGetKey(geometry, next);
    if (!key || !following) return nullptr;
    key->next = following;
    return geometry;
}

TpGeometry* TpAnimSequenceGeometrySetCallBack(TpGeometry* geometry,
                                              TpAnimSequenceCallBack callBack) {
    if (!CheckGeometry(geometry)) return nullptr;
    GeometryData(geometry)->callBack = callBack;
    return geometry;
}

TpAnimSequenceCallBack TpAnimSequenceGeometryGetCallBack(const TpGeometry* geometry) {
    return CheckGeometry(geometry) ? GeometryData(geometry)->callBack : nullptr;
}

TpAnimKey* TpAnimSequenceGeometryGetKey(const TpGeometry* geometry, int32_t index) {
    if (!CheckGeometry(geometry)) return nullptr;
    const TpAnimGeometryData* data = GeometryData(geometry);
    if (index < 0 || index >= data->numKeys) return nullptr;
    return data->keys + index;
}

TpAtomic* TpAnimSequenceAtomicSetCurrentKey(TpAtomic* atomic, int32_t index) {
    TpGeometry* geometry = AtomicGeometry(atomic);
    if (!geometry) return nullptr;
    const TpAnimGeometryData* g = GeometryData(geometry);
    if (index < 0 || index >= g->numKeys) return atomic;
    TpAnimAtomicData* data = AtomicData(atomic);
    data->geometry = geometry;
    data->currentKey = g->keys + index;
    data->position = 0.0f;
    LoadInterpolator(atomic);
    return atomic;
}

int32_t TpAnimSequenceAtomicGetCurrentKeyIndex(TpAtomic* atomic) {
    TpGeometry* geometry = AtomicGeometry(atomic);
    if (!geometry) return -1;
    const TpAnimGeometryData* g = GeometryData(geometry);
    const TpAnimAtomicData* data = AtomicData(atomic);
    // A key of another geometry has no index in this one's table.
    if (!data->currentKey || data->geometry != geometry || g->numKeys < 1) return -1;
    return int32_t(data->currentKey - g->keys);
}

TpAtomic* TpAnimSequenceAtomicSetPosition(TpAtomic* atomic, float position) {
    TpGeometry* geometry = AtomicGeometry(atomic);
    if (!geometry) return nullptr;
    const TpAnimKey* key = CurrentKey(atomic, geometry);
    if (!key || !(position >= 0.0f && position <= key->duration)) return atomic;
    AtomicData(atomic)->position = position;
    LoadInterpolator(atomic);
    return atomic;
}

TpAtomic* TpAnimSequenceAtomicAddTime(TpAtomic* atomic, float delta) {
    TpGeometry* geometry = AtomicGeometry(atomic);
    if (!geometry) return nullptr;
    if (!CurrentKey(atomic, geometry)) return atomic;
    TpAnimAtomicData* data = AtomicData(atomic);
    const TpAnimGeometryData* g = GeometryData(geometry);
    data->position += delta;
    // Keys whose duration is not above 0, or a position too large for a duration to reduce,
    // make no progress: after more such steps than there are keys the position is held at the
    // end of the current key instead of looping for ever.
    int32_t stalled = 0, steps = 0;
    while (data->currentKey && data->position >= data->currentKey->duration) {
        // With the default callback, once the walk is inside its loop of keys (after as many
        // steps as there are keys) every lap takes the loop's total duration away: whole laps
        // go at once, so the steps taken stay within a few times the number of keys read.
        if (++steps == g->numKeys + 1 && g->callBack == TpAnimSequenceDefaultCallBack &&
            SkipWholeLaps(data, g->numKeys))
            continue;
        if (stalled > g->numKeys) {
            data->position = data->currentKey->duration > 0.0f ? data->currentKey->duration : 0.0f;
            break;
        }
        const float before = data->position;
        const float after = g->callBack ? g->callBack(atomic, before) : before;
        // The callback may have changed the atomic's key or geometry.
        if (TpAtomicGetGeometry(atomic) != geometry || data->geometry != geometry) return atomic;
        data->position = after;
        stalled = after < before ? 0 : stalled + 1;
    }
    LoadInterpolator(atomic);
    return atomic;
}

float TpAnimSequenceDefaultCallBack(TpAtomic* atomic, float position) {
    TpAnimAtomicData* data = AtomicData(atomic);
    const TpAnimKey* key = data->currentKey;
    if (!key) return position;
    // A key without a next key stays current.
    if (key->next) data->currentKey = key->next;
    const float left = position - key->duration;
    return left < 0.0f ? 0.0f : left;
}
