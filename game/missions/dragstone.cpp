#include "game/missions/dragstone.h"

#include "engine/core/frame.h"
#include "engine/core/matrix.h"
#include "game/creatures/creaturemath.h"
#include "game/effects/beams.h"
#include "game/missions/levelobjects.h"
#include "game/objects/objecttypes.h"
#include "game/objects/utilities.h"

MV2DragStone gMV2DragStone = {};

namespace {

constexpr int32_t kType = 62;
constexpr uint32_t kBeamTag = 10;
constexpr uint32_t kBeamKind = 4, kBeamFlags = 359;
constexpr float kBeamWidth = 0.6f;
constexpr const char* kSound = "DRAGSTONE";

void RemoveBeam() {
    if (gMV2DragStone.beam) MV2RemoveBeam(gMV2DragStone.beam);
    gMV2DragStone.beam = 0;
}

void UpdateEnds(MV2Object* object) {
    MV2DragStoneBeamEnds(object, &gMV2DragStone.ends[0], &gMV2DragStone.ends[1]);
}

void Switch(MV2Object* object, intptr_t on) {
    if (!on) {
        RemoveBeam();
        return;
    }
    if (gMV2DragStone.beam) return;
    gMV2DragStone.beam = MV2CreateBeam(&gMV2DragStone.ends[0], &gMV2DragStone.ends[1], kBeamWidth,
                                       kBeamKind, kBeamFlags);
    if (gMV2DragStone.beam) MV2SetBeamSource(gMV2DragStone.beam, object);
}

} // namespace

void MV2DragStoneBeamEnds(MV2Object* object, TvV3d* first, TvV3d* second) {
    TvFrame* frame = object && object->clump ? MV2FindFrameByTag(object->clump, kBeamTag) : nullptr;
    const TvMatrix* m = frame ? TvFrameGetLTM(frame) : nullptr;
    if (!m) return;
    *first = m->pos;
    const TvV3d reach = TvV3dSub(m->at, TvV3dScale(m->up, 1.21f));
    *second = TvV3dAdd(m->pos, TvV3dScale(reach, 8.0f));
}

intptr_t MV2DragStoneHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    MV2DragStone& s = gMV2DragStone;
    switch (message) {
    case 2:
        if (object->matrix) {
            const TvV3d yAxis = {0.0f, 1.0f, 0.0f};
            MV2RotateMatrixInPlace(object->matrix, &yAxis, MV2FrameStep() * s.speed, 1);
            MV2ObjectMoved(object);
        }
        MV2LoopNamedSound(object, kSound, &s.sound);
        UpdateEnds(object);
        break;
    case 4:
        RemoveBeam();
        MV2StopNamedSound(object, kSound, &s.sound);
        break;
    case 11: Switch(object, p1); return 1;
    case 12:
        if (p2) s.speed = *reinterpret_cast<const float*>(p2);
        return 1;
    case 96: return 0;
    case 3: {
        const intptr_t result = MV2ObjectDefaultHandler(object, message, p1, p2);
        if (!result) return 0;
        s.sound = 0;
        s.speed = 1.0f;
        s.beam = 0;
        UpdateEnds(object);
        MV2ObjectSendMessage(object, 11, 1, 0);
        return result;
    }
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

void MV2RegisterDragStoneHandler() {
    MV2SetObjectTypeHandler(kType, MV2DragStoneHandler);
}
