// Animation sequences: morph-target animation of atomics. A geometry carries a table of keys,
// each naming a start and an end morph target and a duration, linked into sequences; an atomic
// carries its current key and position and loads them into its morph interpolator.
#pragma once

#include <cstdint>

struct TpAtomic;
struct TpGeometry;

inline constexpr uint32_t kTpAnimPluginId = 0x105;
// Error code of the plug-in: the atomic has no geometry.
inline constexpr uint32_t E_TP_ANIMNOGEOMETRY = 1;

struct TpAnimKey {
    uint32_t word; // cleared by TpAnimSequenceGeometrySetKey, kept as read
    uint16_t endMorphTarget;
    uint16_t startMorphTarget;
    float duration;
    float recipDuration;
    TpAnimKey* next;
};

// Decides what happens at the end of a key: returns the new position (and may change the key).
using TpAnimSequenceCallBack = float (*)(TpAtomic* atomic, float position);

// Per-geometry data.
struct TpAnimGeometryData {
    int32_t numKeys;
    TpAnimSequenceCallBack callBack;
    TpAnimKey* keys;
};

// Per-atomic data: the current key belongs to the keys of `geometry`.
struct TpAnimAtomicData {
    TpAnimKey* currentKey;
    float position;
    TpGeometry* geometry;
};

// Registers the module and the atomic and geometry extensions; 1 on success, else 0.
int32_t TpAnimPluginAttach();

TpGeometry* TpAnimSequenceGeometryCreateKeys(TpGeometry* geometry, int32_t count);
TpGeometry* TpAnimSequenceGeometrySetKey(TpGeometry* geometry, int32_t index, uint16_t endTarget,
                                         uint16_t startTarget, float duration);
TpGeometry* TpAnimSequenceGeometrySetKeyNext(TpGeometry* geometry, int32_t index, int32_t next);
TpGeometry* TpAnimSequenceGeometrySetCallBack(TpGeometry* geometry,
                                              TpAnimSequenceCallBack callBack);
TpAnimSequenceCallBack TpAnimSequenceGeometryGetCallBack(const TpGeometry* geometry);
// The key's address; null when the index is out of range.
TpAnimKey* TpAnimSequenceGeometryGetKey(const TpGeometry* geometry, int32_t index);

TpAtomic* TpAnimSequenceAtomicSetCurrentKey(TpAtomic* atomic, int32_t index);
// Index of the current key in the geometry's table; -1 when none.
int32_t TpAnimSequenceAtomicGetCurrentKeyIndex(TpAtomic* atomic);
TpAtomic* TpAnimSequenceAtomicSetPosition(TpAtomic* atomic, float position);
TpAtomic* TpAnimSequenceAtomicAddTime(TpAtomic* atomic, float delta);

// The default sequence callback: on to the next key, keeping the time left over.
float TpAnimSequenceDefaultCallBack(TpAtomic* atomic, float position);
