// Registration of the mission layer's level objects and their shared helpers.
#include "game/missions/amphibious.h"
#include "game/missions/blocks.h"
#include "game/missions/fanrocket.h"
#include "game/missions/levelobjects.h"

#include <cmath>

#include "engine/core/frame.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "game/missions/bobbingmine.h"
#include "game/missions/breakables.h"
#include "game/missions/creatureprops.h"
#include "game/missions/dragstone.h"
#include "game/missions/generator.h"
#include "game/missions/industrial.h"
#include "game/missions/machinery.h"
#include "game/missions/machineryprops.h"
#include "game/missions/mission35objects.h"
#include "game/missions/missionprops.h"
#include "game/missions/orbstation.h"
#include "game/missions/rocks.h"
#include "game/missions/stone.h"
#include "game/missions/stickycharges.h"
#include "game/missions/switches.h"
#include "game/missions/wrecks.h"
#include "game/missions/mission18.h"
#include "game/objects/camera.h"
#include "game/objects/clumpdata.h"
#include "game/objects/dynamics.h"
#include "game/objects/objectsounds.h"
#include "game/objects/utilities.h"

void MV2RegisterMissionObjectHandlers() {
    MV2RegisterRockHandlers();
    MV2RegisterStoneHandler();
    MV2RegisterBobbingMineHandler();
    MV2RegisterDragStoneHandler();
    MV2RegisterMachineryHandlers();
    MV2RegisterIndustrialHandlers();
    MV2RegisterSwitchHandlers();
    MV2RegisterBreakableHandlers();
    MV2RegisterMissionPropHandlers();
    MV2RegisterOrbStationHandlers();
    MV2RegisterGeneratorHandlers();
    MV2RegisterCreaturePropHandlers();
    MV2RegisterWreckHandlers();
    MV2RegisterStickyChargeHandlers();
    MV2RegisterMachineryPropHandlers();
    MV2RegisterFanRocketHandlers();
    MV2RegisterBlockHandlers();
    MV2RegisterAmphibiousHandlers();
    MV2RegisterMission35ObjectHandlers();
    MV2RegisterMission18Handlers();
}

void MV2PlayNamedSoundAt(const TvV3d& position, float radius, const char* name, int32_t b) {
    MV2PlaySoundAt(&position, radius, MV2CreatureSound(name), 0, 1, b);
}

void MV2LoopNamedSound(MV2Object* object, const char* name, uintptr_t* variable, int32_t b) {
    MV2StartObjectSound(object, MV2CreatureSound(name), variable, 0, b);
}

void MV2StopNamedSound(MV2Object* object, const char* name, uintptr_t* variable) {
    if (*variable) MV2StopObjectSound(object, MV2CreatureSound(name), variable);
}

float MV2HalfCosineOffset(uint32_t now, uint32_t start, uint32_t end, float rate, float travel,
                          int32_t opening, int32_t* done) {
    *done = 0;
    if (int32_t(now - end) >= 0) {
        *done = 1;
        return opening ? travel : 0.0f;
    }
    // A move whose start lies ahead holds still at its starting offset.
    const int32_t elapsed = int32_t(now - start) > 0 ? int32_t(now - start) : 0;
    const float closing = (std::cos(float(elapsed) * rate) + 1.0f) * travel * 0.5f;
    return opening ? travel - closing : closing;
}

int32_t MV2PushSpiderAway(MV2Object* object, MV2Object* other) {
    if (!other) return 0;
    const int32_t type = MV2TypeOf(other);
    if (type != 147 && type != 148) return 0;
    TvV3d v = TvV3dSub(MV2ObjectPosition(other), MV2ObjectPosition(object));
    const float length = MV2Normalise(&v);
    const float reach = object->radius + other->radius;
    if (length > 0.0f && length < reach) {
        const TvV3d force = TvV3dScale(v, (1.0f - length / reach) * 0.8f);
        MV2AddForce(other, &force);
    }
    return 1;
}

int32_t MV2IsPirateCraft(MV2Object* object) {
    if (!object) return 0;
    const int32_t type = MV2TypeOf(object);
    return type == 56 || type == 329 || type == 397;
}

namespace {
int32_t PirateCallback(TpIntersection*, TpWorldSector*, TpAtomic* atomic, float, void* data) {
    if (!MV2IsPirateCraft(MV2GetClumpObject(TpAtomicGetClump(atomic)))) return 1;
    *static_cast<int32_t*>(data) = 1;
    return 0;
}
} // namespace

int32_t MV2PirateCraftNear(const TvV3d& centre, float radius) {
    int32_t found = 0;
    MV2ForAllAtomicsInSphere(MV2World, &centre, radius, PirateCallback, &found);
    return found;
}

void MV2ObjectMoved(MV2Object* object) {
    if (object->clump) TvFrameUpdateObjects(object->clump->frame);
}

namespace {
TvV3d* RootVertices(MV2Object* object, int32_t* count) {
    *count = 0;
    TpAtomic* root = object->clump ? MV2FindRootAtomic(object->clump) : nullptr;
    TpGeometry* geometry = root ? TpAtomicGetGeometry(root) : nullptr;
    if (!geometry) return nullptr;
    TpMorphTarget* target = TpGeometryGetMorphTarget(geometry, 0);
    TvV3d* vertices = target ? TpMorphTargetGetVertices(target) : nullptr;
    if (vertices) *count = TpGeometryGetNumVertices(geometry);
    return vertices;
}
} // namespace

int32_t MV2RootVertexCount(MV2Object* object) {
    int32_t count;
    RootVertices(object, &count);
    return count;
}

int32_t MV2RootVertexWorld(MV2Object* object, int32_t index, int32_t direction, TvV3d* out) {
    int32_t count;
    TvV3d* vertices = RootVertices(object, &count);
    if (!vertices || index < 0 || index >= count) return 0;
    if (direction)
        TvV3dTransformVectors(out, &vertices[index], 1, object->matrix);
    else
        TvV3dTransformPoints(out, &vertices[index], 1, object->matrix);
    return 1;
}

void MV2SetSweptRadius(MV2Object* object, float moved, float minimum) {
    const float radius = std::fmax(0.6f * moved, minimum);
    object->radius = radius;
    if (TpAtomic* root = object->clump ? MV2FindRootAtomic(object->clump) : nullptr)
        if (TvSphere* sphere = TpAtomicGetBoundingSphere(root)) *sphere = TvSphere{{0, 0, 0}, radius};
}
