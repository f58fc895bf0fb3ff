// Cut-scenes: level records whose items are actors with timed paths and one camera path,
// linear and natural-cubic-spline path segments, path events, and the full-screen fade.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/core/vector.h"

struct MV2Object;
struct TvMatrix;

inline constexpr uint32_t kMV2CutSceneRecordHead = 20; // id, size, spare, item count, duration
inline constexpr uint32_t kMV2CutSceneItemHead = 12;   // id, size, kind word
inline constexpr uint32_t kMV2CutSceneSegmentHead = 20;
inline constexpr uint32_t kMV2CutSceneCamera = 5;
inline constexpr int32_t kMV2CutSceneActors = 64;
inline constexpr size_t kMV2CutSceneModelName = 64;

// An item of a cut-scene record: its stored bytes (valid until the level unloads).
struct MV2CutSceneItem {
    uint32_t id;
    uint32_t size;
    uint32_t kindWord; // bits 0-23 type, 24-28 kind, bit 30 word 3 holds the object word
    const uint8_t* bytes;
};

inline uint32_t MV2CutSceneItemKind(const MV2CutSceneItem* item) {
    return (item->kindWord >> 24) & 0x1F;
}
inline int32_t MV2CutSceneItemType(const MV2CutSceneItem* item) {
    return int32_t(item->kindWord & 0xFFFFFF);
}

// The word at which an item kind's path list starts; 0 for kinds that cannot be played.
uint32_t MV2CutScenePathWord(uint32_t kind);

// A record's items, checked: every size, count, offset and key count lies within the record.
// 0 when anything does not.
int32_t MV2CutSceneCheckRecord(const uint8_t* bytes, size_t size);
int32_t MV2CutSceneCheckItem(const uint8_t* bytes, size_t size);
// The item at `offset` of a checked record.
void MV2CutSceneReadItem(const uint8_t* bytes, MV2CutSceneItem* out);

// One channel set of a path at time t, into 12 values (position, at, right, up); the values
// not given by a segment keep what `values` holds. 0 when the path has no segment.
int32_t MV2CutSceneEvaluatePath(const MV2CutSceneItem* item, uint32_t t, float* values,
                                int32_t* positionOnly);
// Raises script event 16 for the item's path events in (time, time + frame ms].
void MV2CutSceneRaisePathEvents(MV2Object* object, const MV2CutSceneItem* item, uint32_t time,
                                uint32_t frameMs);
// Writes evaluated values into a matrix: position plus the world corner, the three axes
// normalised (an axis of zero length keeps the matrix's own).
void MV2CutSceneApplyValues(TvMatrix* matrix, const float* values, int32_t positionOnly);

int32_t MV2CutSceneStart(uint32_t recordId, int32_t flags);
MV2Object* MV2CutSceneStartActor(uint32_t actorId, int32_t flags);
MV2Object* MV2CutSceneCreateActor(const MV2CutSceneItem* item);
// The path time (ms) of a cut-scene actor; 0 for an object that is none.
uint32_t MV2CutSceneActorTime(const MV2Object* object);
void MV2CutSceneEnd();
int32_t MV2CutSceneUpdate();
// The running record id, or -1.
int32_t MV2CutSceneRunningId();
uint32_t MV2CutSceneElapsed();
void MV2SetCutScenePlayerActor(uint32_t itemId);
void MV2ClearCutScenePlayerActor();
intptr_t MV2CutSceneActorHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
// The word cut-scene actors answer to object message 75 (whether a touch bounces them): 1 by
// default, set and cleared by the scripts.
extern int32_t gMV2CutSceneActorFlag;
void MV2SetCutSceneActorFlag(int32_t value);

// The screen fade: mode 0 off, 1 in from black, 2 out to black, 3 to white.
struct MV2ScreenFade {
    int32_t mode;
    uint8_t alpha;
    uint8_t grey;
};
extern MV2ScreenFade gMV2ScreenFade;
void MV2SetScreenFade(int32_t mode);
// The fade ramp of the camera path at an elapsed time of a record of `duration` ms.
void MV2CutSceneFadeRamp(uint32_t elapsed, uint32_t duration);
void MV2DrawScreenFade();

// What kinds 3 and 4 write into the private data of the object they create.
struct MV2CutSceneKind3Setup {
    float values[3];
    float red, green, blue, alpha;
    float fractions[3];
    uint32_t flags; // bits 0 and 1
};
struct MV2CutSceneKind4Setup {
    uint32_t words[4];
};
