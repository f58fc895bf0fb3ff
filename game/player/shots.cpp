// Helpers the player's weapons and shots share.
#include "game/player/shots.h"

#include <cmath>
#include <cstring>

#include "engine/core/frame.h"
#include "engine/core/memory.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "engine/world/intersect.h"
#include "engine/world/world.h"
#include "game/objects/clumpdata.h"
#include "game/objects/dynamics.h"
#include "game/objects/levels.h"
#include "game/objects/objectsounds.h"
#include "game/objects/objecttypes.h"
#include "game/objects/objectupdate.h"
#include "game/objects/utilities.h"
#include "shell/errors.h"
#include "shell/frametimer.h"
#include "shell/sounds.h"

namespace {

// Names looked up so far; the callers pass string literals, so the pointer is the key.
struct NamedSound {
    const char* name;
    int32_t id;
};
NamedSound g_sounds[64];
int32_t g_soundCount = 0;
MV2ShotSoundRecorder g_recorder = nullptr;

} // namespace

float MV2ShotFrameStep() {
    return gMV2FrameTimer.ticks;
}

float MV2ShotFrameSeconds() {
    return gMV2FrameTimer.ticks / 30.0f;
}

uint32_t MV2ShotClock() {
    return gMV2FrameTimer.frameClock;
}

int32_t MV2ShotFrameMilliseconds() {
    return int32_t(MV2GetFrameMilliseconds());
}

int32_t MV2ShotSound(const char* name) {
    for (int32_t i = 0; i < g_soundCount; ++i)
        if (g_sounds[i].name == name) return g_sounds[i].id;
    const int32_t found = MV2FindSoundByName(name);
    const int32_t id = found >= 0 && found < kMV2SoundNames ? found : kMV2NoSound;
    if (g_soundCount < int32_t(sizeof g_sounds / sizeof g_sounds[0]))
        g_sounds[g_soundCount++] = {name, id};
    return id;
}

void MV2SetShotSoundRecorder(MV2ShotSoundRecorder recorder) {
    g_recorder = recorder;
}

void MV2ShotPlayIdAt(const TvV3d& at, float radius, int32_t sound, int32_t last) {
    if (sound == kMV2NoSound) return;
    if (g_recorder) g_recorder(sound);
    MV2PlaySoundAt(&at, radius, sound, 0, 0, last);
}

void MV2ShotPlayAt(const TvV3d& at, float radius, const char* name, int32_t last) {
    if (name) MV2ShotPlayIdAt(at, radius, MV2ShotSound(name), last);
}

void MV2ShotInterfaceSound(const char* name) {
    const int32_t sound = MV2ShotSound(name);
    if (g_recorder) g_recorder(sound);
    MV2PlayInterfaceSound(sound);
}

float MV2ShotLength(const TvV3d& v) {
    return std::sqrt(TvV3dDot(v, v));
}

TvV3d MV2ShotUnit(const TvV3d& v) {
    const float length = MV2ShotLength(v);
    return length > 0.0f ? TvV3dScale(v, 1.0f / length) : v;
}

float MV2ShotDistanceSquared(const TvV3d& a, const TvV3d& b) {
    const TvV3d d = TvV3dSub(a, b);
    return TvV3dDot(d, d);
}

void MV2ShotFaceAlong(TvMatrix* m, const TvV3d& at) {
    const TvV3d up{0.0f, 1.0f, 0.0f};
    const TvV3d right = TvV3dCross(up, at);
    // Straight up or down has no right vector: the frame is left as it is.
    if (TvV3dDot(right, right) <= 0.0f) return;
    m->at = at;
    m->right = MV2ShotUnit(right);
    m->up = MV2ShotUnit(TvV3dCross(at, m->right));
}

void MV2ShotTurn(TvMatrix* m, const TvV3d& axis, float degrees) {
    const TvV3d a = axis;
    MV2RotateMatrixInPlace(m, &a, degrees, 1);
}

void MV2ShotSyncFrame(MV2Object* object) {
    if (object && object->clump) TvFrameUpdateObjects(object->clump->frame);
}

uint32_t MV2ShotMaterialClass(const MV2Object* object) {
    return object && object->type ? object->type->words[31] >> 30 : 0u;
}

const char* MV2ShotHitSoundName(uint32_t materialClass) {
    switch (materialClass) {
    case 0: return "WEAPONHITMETAL";
    case 2: return "WEAPONHITBIOLOGICAL";
    default: return "WEAPONHITMINERAL";
    }
}

int32_t MV2ShotMineralLevel() {
    return gMV2Level.mineralLandscape != 0;
}

const char* MV2ShotWorldHitSoundName() {
    return MV2ShotMineralLevel() ? "WEAPONHITMINERAL" : "WEAPONHITMETAL";
}

void MV2ShotShowModel(MV2Object* object, int32_t on) {
    if (!object || !object->clump) return;
    for (TpAtomic* a = MV2GetFirstAtomic(object->clump); a; a = MV2GetNextAtomic(object->clump, a)) {
        const uint8_t flags = a->object.object.flags;
        TpAtomicSetFlags(a, on ? uint8_t(flags | kTpAtomicCollisionTest | kTpAtomicRender)
                               : uint8_t(flags & ~kTpAtomicRender));
    }
}

float MV2ShotModelRadius(MV2Object* object) {
    TpAtomic* root = object && object->clump ? MV2FindRootAtomic(object->clump) : nullptr;
    return root ? MV2GetBoundingRadius(root) : 0.0f;
}

void MV2ShotSetRadius(MV2Object* object, float radius) {
    object->radius = radius;
    TpAtomic* root = object->clump ? MV2FindRootAtomic(object->clump) : nullptr;
    TpGeometry* geometry = root ? TpAtomicGetGeometry(root) : nullptr;
    TpMorphTarget* target = geometry ? TpGeometryGetMorphTarget(geometry, 0) : nullptr;
    if (!target) return;
    TvSphere sphere = *TpMorphTargetGetBoundingSphere(target);
    sphere.radius = radius;
    TpMorphTargetSetBoundingSphere(target, &sphere);
    TvFrameUpdateObjects(root->object.frame);
}

void MV2ShotCollideTouching(MV2Object* object) {
    TpWorld* world = TpWorldGetCurrent();
    TpAtomic* root = object && object->clump ? MV2FindRootAtomic(object->clump) : nullptr;
    if (!world || !root) return;
    MV2CollideAtomicWithObjects(object, world, root);
}

void* MV2ShotGunDataAlloc(TvFreeList** list, size_t size, const char* listFailure,
                          const char* allocFailure, int32_t perBlock) {
    if (!*list) {
        *list = TvFreeListCreate(size, perBlock);
        if (!*list) {
            MV2ErrorBox(listFailure);
            return nullptr;
        }
    }
    void* data = TvFreeListAlloc(*list);
    if (!data && allocFailure) MV2ErrorBox(allocFailure);
    return data;
}

void MV2ShotGunDataFree(TvFreeList* list, void** handlerData) {
    if (*handlerData && list) TvFreeListFree(list, *handlerData);
    *handlerData = nullptr;
}

int32_t MV2ShotCommonMessage(MV2Object* shot, MV2ObjectRef* owner, int32_t message, intptr_t p2,
                             intptr_t* answer) {
    *answer = 1;
    switch (message) {
    case 12:
        if (p2 && shot->body) shot->body->velocity = *reinterpret_cast<const TvV3d*>(p2);
        return 1;
    case 13:
        if (p2) *reinterpret_cast<const TvV3d**>(p2) = &shot->matrix->at;
        return 1;
    case 15:
        if (auto* o = reinterpret_cast<MV2Object*>(p2)) MV2SetObjectRef(owner, o);
        return 1;
    case 16:
        if (p2) *reinterpret_cast<MV2Object**>(p2) = MV2GetObjectRef(owner);
        return 1;
    default: return 0;
    }
}
