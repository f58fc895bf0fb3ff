#include "game/missions/vortex.h"

#include <initializer_list>

#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "engine/core/matrix.h"
#include "game/creatures/creaturemath.h"
#include "game/missions/dirtcolumn.h"
#include "game/missions/levelobjects.h"
#include "game/missions/lightobject.h"
#include "game/objects/dynamics.h"
#include "game/objects/objectsounds.h"
#include "game/objects/utilities.h"
#include "game/player/playercraft.h"
#include "shell/gamemain.h"

namespace {

constexpr int32_t kLightType = 69;
constexpr int32_t kSound = 87;
constexpr float kReachSquared = 625.0f;
constexpr float kHarmSquared = 100.0f;
constexpr float kDarkDepth = 30.0f;

MV2VortexData* Data(MV2Object* object) {
    return object->matrix ? MV2SizedLevelData<MV2VortexData>(object) : nullptr;
}

MV2LightObjectData* LightData(MV2Object* light) {
    return MV2SizedLevelData<MV2LightObjectData>(light);
}

void MakeLight(MV2Object* vortex, MV2VortexData* d) {
    TvFrame* frame = vortex->clump ? MV2FindFrameByTag(vortex->clump, 4) : nullptr;
    if (!frame) return;
    const MV2Point3 at = MV2Point(TvFrameGetLTM(frame)->pos);
    MV2Object* light = MV2CreateObject(kLightType, at.v, nullptr);
    if (!light) return;
    if (MV2LightObjectData* l = LightData(light)) {
        l->red = 224.0f / 255.0f;
        l->green = 224.0f / 255.0f;
        l->blue = 1.0f;
        l->radius = 0.0f;
        l->glowSize = 0.1f;
        l->flags = (l->flags & ~(1u << 3)) | (1u << 2);
    }
    MV2ObjectSendMessage(light, 11, 1, 0);
    MV2SetObjectRef(&d->light, light);
}

void MakeColumn(MV2Object* vortex, MV2VortexData* d) {
    const float at[3] = {0.0f, 1.0f, 0.0f};
    MV2Object* column = MV2CreateObject(kMV2DirtColumnType, at, nullptr);
    if (!column) return;
    MV2SetObjectRef(&d->column, column);
    if (MV2DirtColumn* c = MV2GetDirtColumn(column)) {
        MV2DirtColumnSetCount(c, 33);
        MV2DirtColumnSetSizeFactor(c, 0.01f);
        MV2DirtColumnSetFallStep(c, 0.12f);
        MV2DirtColumnSetRadii(c, 0.005f, 8.0f);
    }
    const float height = 8.0f;
    MV2ObjectSendMessage(column, 79, 0, reinterpret_cast<intptr_t>(&height));
    // Stood along the vortex's axis: the column's up is the vortex's at.
    const TvMatrix* v = vortex->matrix;
    TvMatrix* m = column->matrix;
    m->right = v->right;
    m->up = v->at;
    m->at = TvV3dScale(v->up, -1.0f);
    m->pos = TvV3dAdd(v->pos, TvV3dScale(v->at, 3.0f));
    MV2ObjectMoved(column);
}

void Pull(MV2Object* vortex, MV2Object* craft) {
    const TvV3d& a = vortex->matrix->at;
    const TvV3d d = TvV3dSub(craft->matrix->pos, vortex->matrix->pos);
    const float d2 = TvV3dDot(d, d);
    if (d2 >= kReachSquared) return;
    const float step = MV2FrameStep();
    // Around the axis, and in towards the midpoint of the craft and its foot on the axis.
    const TvV3d foot = TvV3dAdd(vortex->matrix->pos, TvV3dScale(a, TvV3dDot(a, d)));
    const TvV3d in = TvV3dScale(TvV3dSub(foot, craft->matrix->pos), 0.5f);
    TvV3d direction = TvV3dAdd(MV2Unit(TvV3dCross(a, d)), MV2Unit(in));
    if (MV2Normalise(&direction) > 0.0f && craft->body) {
        const TvV3d force = TvV3dScale(direction, MV2VortexPullShare(d2) * step * 0.075f);
        MV2AddForce(craft, &force);
    }
    if (d2 >= kHarmSquared) return;
    if (TvV3dDot(a, d) >= 0.0f)
        craft->energy -= (1.0f - 0.01f * d2) * step;
    else
        craft->energy = -1.0f;
}

void Flicker(MV2Object* vortex, MV2VortexData* d) {
    MV2LightObjectData* l = LightData(MV2GetObjectRef(&d->light));
    if (!l) return;
    float z = -1.0f;
    if (gMV2MainCamera)
        if (const TvMatrix* view = TvCameraGetViewMatrix(gMV2MainCamera)) {
            TvV3d p;
            TvV3dTransformPoints(&p, &vortex->matrix->pos, 1, view);
            z = p.z;
        }
    if (z > kDarkDepth) {
        l->glowSize = 0.0f;
    } else if (z >= 0.0f) {
        const float t = (kDarkDepth - z) / kDarkDepth;
        l->glowSize = 6.0f * t;
        const uint32_t r1 = MV2RandomBits(255), r2 = MV2RandomBits(255);
        const uint32_t k = (r1 * r2) / 1024 + 128;
        const float c = float(int32_t(float(k) * t)) / 255.0f;
        l->red = l->green = l->blue = c;
    } else {
        l->glowSize = 6.0f;
    }
}

void Update(MV2Object* vortex, MV2VortexData* d) {
    MV2Object* craft = MV2GetPlayerObject();
    if (craft && craft->matrix) Pull(vortex, craft);
    Flicker(vortex, d);
    if (d->spin) {
        const TvV3d axis{0.0f, 0.0f, 1.0f};
        TvFrameRotate(d->spin, &axis, MV2FrameStep() * 2.3f, 1);
    }
    MV2StartObjectSound(vortex, kSound, &d->sound, 0, 5000);
}

void Destroy(MV2Object* vortex, MV2VortexData* d) {
    if (d->sound) MV2StopObjectSound(vortex, kSound, &d->sound);
    for (MV2ObjectRef* ref : {&d->light, &d->column})
        if (MV2Object* o = MV2GetObjectRef(ref)) MV2ObjectSendMessage(o, 4, 0, 0);
}

} // namespace

float MV2VortexPullShare(float squaredDistance) {
    if (!(squaredDistance < kReachSquared)) return 0.0f;
    const float s = 1.0f - 0.0016f * squaredDistance;
    return s * s;
}

intptr_t MV2VortexHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2VortexData));
    if (message == 3) {
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        MV2VortexData* d = Data(object);
        if (!d) return 1;
        *d = MV2VortexData{};
        MV2ObjectSendMessage(object, 0, 1, 0);
        MakeLight(object, d);
        d->spin = object->clump ? MV2FindFrameByTag(object->clump, 6) : nullptr;
        MakeColumn(object, d);
        return 1;
    }
    if (MV2VortexData* d = Data(object)) {
        if (message == 2) Update(object, d);
        if (message == 4) Destroy(object, d);
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

void MV2RegisterVortexHandler() {
    MV2SetObjectTypeHandler(kMV2VortexType, MV2VortexHandler);
}
