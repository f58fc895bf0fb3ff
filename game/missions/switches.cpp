// Switches, sockets, lifts and puzzle objects.
#include "game/missions/switches.h"

#include <cmath>
#include <initializer_list>

#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "engine/world/light.h"
#include "engine/world/world.h"
#include "game/effects/plasma.h"
#include "game/missions/lightobject.h"
#include "game/objects/camera.h"
#include "game/objects/clumpdata.h"
#include "game/objects/dynamics.h"
#include "game/objects/lighting.h"
#include "game/objects/objectupdate.h"
#include "game/objects/utilities.h"
#include "game/player/playercraft.h"
#include "shell/gamemain.h"

namespace {

MV2Object* ClumpObject(TpAtomic* atomic) {
    return MV2GetClumpObject(TpAtomicGetClump(atomic));
}

void AxesAt(MV2Object* object, const TvV3d& position) {
    TvMatrix* m = object->matrix;
    m->right = {1, 0, 0};
    m->up = {0, 1, 0};
    m->at = {0, 0, 1};
    m->pos = position;
    MV2ObjectMoved(object);
}

// ---- crystal socket ----

struct SocketVisit {
    MV2Object* socket;
    MV2CrystalSocketData* d;
    MV2Object* linked;
    int32_t fill;
};

int32_t SocketCallback(TpIntersection*, TpWorldSector*, TpAtomic* atomic, float, void* data) {
    auto* v = static_cast<SocketVisit*>(data);
    MV2Object* o = ClumpObject(atomic);
    const int32_t type = o ? MV2TypeOf(o) : 0;
    if (type < 229 || type > 231) return 1;
    const TvV3d& s = MV2ObjectPosition(v->socket);
    const TvV3d& c = MV2ObjectPosition(o);
    if (std::fabs(c.x - s.x) > 0.2f || std::fabs(c.z - s.z) > 0.2f) return 1;
    if (o == v->linked) {
        v->fill = 1;
        return 0;
    }
    const TvV3d push{MV2FrameStep(), MV2FrameStep(), 0.0f};
    MV2AddForce(o, &push);
    return 1;
}

void SocketUpdate(MV2Object* object, MV2CrystalSocketData* d) {
    MV2Object* crystal = MV2GetObjectRef(&d->crystal);
    if (d->filled) {
        if (crystal) AxesAt(crystal, MV2ObjectPosition(object));
        return;
    }
    SocketVisit visit{object, d, crystal, 0};
    MV2ForAllAtomicsInSphere(MV2World, &MV2ObjectPosition(object), 1.5f, SocketCallback, &visit);
    if (!visit.fill) return;
    d->filled = 1;
    MV2RunCallback(d->callback, object, 1);
    MV2ObjectSendMessage(crystal, 11, 1, intptr_t(&MV2ObjectPosition(object)));
    MV2PlayObjectSound(object, 1.0f, "MGHATTACH", 1000);
}

// ---- lift ----

bool RisingLift(int32_t type) {
    return type == 192 || type == 417 || type == 418;
}

void Arrive(MV2Object* object, MV2LiftData* d, float height) {
    MV2ObjectPosition(object).y = height;
    d->arrived = 1;
    MV2RunCallback(d->callback, object, 1);
    MV2PlayObjectSound(object, 1.0f, "MGHATTACH", 1000);
    MV2StopNamedSound(object, RisingLift(MV2TypeOf(object)) ? "COG2" : "DRAGSTONE", &d->sounds[0]);
    MV2StopNamedSound(object, "DRAGSTONE", &d->sounds[1]);
}

void LiftUpdate(MV2Object* object, MV2LiftData* d) {
    const float step = MV2FrameStep();
    float& y = MV2ObjectPosition(object).y;
    if (d->started && !d->arrived) {
        if (RisingLift(MV2TypeOf(object))) {
            if (y >= d->base + 15.0f) {
                Arrive(object, d, d->base + 15.0f);
            } else {
                MV2LoopNamedSound(object, "COG2", &d->sounds[0]);
                MV2LoopNamedSound(object, "DRAGSTONE", &d->sounds[1]);
                const TvV3d z{0, 0, 1};
                for (MV2ObjectRef& ref : d->cogs)
                    if (MV2Object* cog = MV2GetObjectRef(&ref))
                        if (cog->clump) TvFrameRotate(cog->clump->frame, &z, -2.0f * step, 1);
                if (y > d->base + 10.0f)
                    if (MV2Object* signal = MV2GetObjectRef(&d->signal))
                        MV2ObjectSendMessage(signal, 11, 0, 0);
                y += 0.01f * step;
            }
        } else if (y <= d->base) {
            Arrive(object, d, d->base);
        } else {
            y -= 0.01f * step;
            MV2LoopNamedSound(object, "DRAGSTONE", &d->sounds[0]);
        }
        MV2ObjectMoved(object);
    }
    MV2Object* rider = MV2GetObjectRef(&d->rider);
    TvFrame* seat = object->clump ? MV2FindFrameByTag(object->clump, 11) : nullptr;
    if (rider && seat) {
        MV2ObjectPosition(rider) = TvFrameGetLTM(seat)->pos;
        const TvV3d yAxis{0, 1, 0}, xAxis{1, 0, 0};
        MV2RotateMatrixInPlace(rider->matrix, &yAxis, 5.0f * step, 2);
        MV2RotateMatrixInPlace(rider->matrix, &xAxis, 3.0f * step, 2);
        MV2ObjectMoved(rider);
    }
}

// ---- rotator ----

void RotatorUpdate(MV2Object* object, MV2RotatorData* d) {
    if (d->speed == 0.0f) {
        d->saved = *object->matrix;
        MV2StopNamedSound(object, "COG2", &d->sound);
        return;
    }
    const float before = d->angle;
    d->angle += d->speed * MV2FrameStep();
    if (d->stopAngle != 0.0f && (before - d->stopAngle) * (d->angle - d->stopAngle) <= 0.0f) {
        d->speed = 0.0f;
        d->angle = d->stopAngle;
    }
    d->angle = std::fmod(d->angle, 360.0f);
    if (d->angle < 0.0f) d->angle += 360.0f;
    TvMatrix* m = object->matrix;
    *m = d->saved;
    if (MV2TypeOf(object) == 298) {
        const TvV3d right = d->saved.right;
        MV2RotateMatrixInPlace(m, &right, d->angle, 2);
    } else {
        const TvV3d at = d->saved.at;
        MV2RotateMatrixInPlace(m, &at, d->angle, 2);
    }
    MV2ObjectMoved(object);
    if (d->speed != 0.0f)
        MV2LoopNamedSound(object, "COG2", &d->sound);
    else
        MV2StopNamedSound(object, "COG2", &d->sound);
}

// ---- fuse holder ----

int32_t FuseCallback(TpIntersection*, TpWorldSector*, TpAtomic* atomic, float, void* data) {
    MV2Object* o = ClumpObject(atomic);
    if (!o || MV2TypeOf(o) != 181) return 1;
    *static_cast<MV2Object**>(data) = o;
    return 0;
}

void FuseUpdate(MV2Object* object, MV2FuseHolderData* d) {
    MV2Object* fuse = MV2GetObjectRef(&d->fuse);
    if (!d->fuse.object) {
        MV2ForAllAtomicsInSphere(MV2World, &MV2ObjectPosition(object), 1.5f, FuseCallback, &fuse);
        if (!fuse) return;
        MV2SetObjectRef(&d->fuse, fuse);
        for (MV2ObjectRef& ref : d->lights)
            if (MV2Object* light = MV2GetObjectRef(&ref)) MV2ObjectSendMessage(light, 11, 1, 0);
        MV2PlayObjectSound(fuse, 30.0f, "FUSEACTIVATE", 5000);
        MV2RunCallback(d->callback, object, 1);
        const TvV3d h = TvV3dScale(TvV3dSub(d->poles[1], d->poles[0]), 0.5f);
        const float plus[3] = {h.x, h.y, h.z}, minus[3] = {-h.x, -h.y, -h.z};
        d->beams[0] = MV2CreatePlasmaBeam(object, object->handle, 0.0f, minus, plus);
        d->beams[1] = MV2CreatePlasmaBeam(object, object->handle, 0.0f, plus, minus);
        for (MV2PlasmaBeam* beam : d->beams)
            if (beam) MV2ShowPlasmaBeam(beam);
        if (d->light && MV2World && !TpLightGetWorld(d->light)) TpWorldAddLight(MV2World, d->light);
        return;
    }
    if (d->light) TpLightSetFlags(d->light, MV2RandomBits(1) ? 3 : 0);
    if (fuse) {
        TvV3d& p = MV2ObjectPosition(fuse);
        p = TvV3dAdd(p, TvV3dScale(TvV3dSub(MV2ObjectPosition(object), p), 0.5f));
        const TvV3d x{1, 0, 0};
        MV2RotateMatrixInPlace(fuse->matrix, &x, float(MV2RandomBits(31)) * 0.12903225f, 1);
        MV2ObjectMoved(fuse);
    }
}

void FuseDestroy(MV2FuseHolderData* d) {
    if (d->light) {
        if (TpWorld* world = TpLightGetWorld(d->light)) TpWorldRemoveLight(world, d->light);
        TpLightSetFrame(d->light, nullptr);
        TpLightDestroy(d->light);
        d->light = nullptr;
    }
    for (MV2PlasmaBeam*& beam : d->beams)
        if (beam) MV2ReleasePlasmaBeam(&beam);
    for (MV2ObjectRef& ref : d->lights)
        if (MV2Object* light = MV2GetObjectRef(&ref)) MV2ObjectSendMessage(light, 4, 0, 0);
}

// A light object of type 69 at a point, switched off and hidden; null when it cannot be made.
MV2Object* PoleLight(const TvV3d& at) {
    const MV2Point3 p = MV2Point(at);
    MV2Object* light = MV2CreateObject(69, p.v, nullptr);
    if (!light) return nullptr;
    if (auto* l = MV2LevelData<MV2LightObjectData>(light)) {
        l->radius = 0.0f;
        l->glowSize = 0.25f;
        l->flags = (l->flags & ~kMV2LightRandomBlink) | 4u;
    }
    MV2ObjectSendMessage(light, 11, 0, 0);
    if (light->clump)
        if (TpAtomic* root = MV2FindRootAtomic(light->clump)) TpAtomicSetFlags(root, 0);
    return light;
}

// ---- scales ----

MV2ScalesData g_scales;

int32_t WeightIndex(int32_t type) {
    return type >= 315 && type <= 321 ? type - 315 : -1;
}

void ReleaseWeight(MV2ScalesData::Weight* w) {
    w->placed = 0;
    if (MV2Object* o = MV2GetObjectRef(&w->object)) {
        if (o->clump) MV2SetAllAtomicFlags(o->clump, 5);
        if (o->type) o->type->words[7] |= 1u;
    }
}

void ScalesUpdate(MV2Object* object, MV2ScalesData* d) {
    MV2Object* pans[2] = {MV2GetObjectRef(&d->pans[0]), MV2GetObjectRef(&d->pans[1])};
    for (int32_t i = 0; i < 2; i++)
        if (pans[i]) {
            MV2ObjectPosition(pans[i]) = TvFrameGetLTM(d->panFrames[i])->pos;
            MV2ObjectMoved(pans[i]);
        }
    int32_t placed = 0;
    float sum = 0.0f;
    for (int32_t i = 0; i < kMV2WeightTypes; i++)
        if (d->weights[i].placed) {
            placed++;
            sum += MV2WeightValue(315 + i);
        }
    if (placed > 3) {
        if (sum == 4.0f) {
            MV2RunCallback(d->callback, object, 1);
        } else {
            MV2RunCallback(d->callback, object, 0);
            for (MV2ScalesData::Weight& w : d->weights)
                if (w.placed) ReleaseWeight(&w);
            sum = 0.0f;
        }
    }
    d->tilt += ((sum - 4.0f) * -15.0f - d->tilt) * MV2FrameStep() * 0.02f;
    d->tilt = std::fmin(std::fmax(d->tilt, -45.0f), 45.0f);
    TvMatrix* m = object->matrix;
    const TvV3d x{1, 0, 0}, y{0, 1, 0};
    TvMatrixRotate(m, &x, d->tilt, kTvCombineReplace);
    TvMatrixRotate(m, &y, 270.0f, kTvCombinePostConcat);
    m->pos = d->home;
    MV2ObjectMoved(object);
    if (!pans[1]) return;
    for (MV2ScalesData::Weight& w : d->weights)
        if (w.placed)
            if (MV2Object* o = MV2GetObjectRef(&w.object)) {
                MV2ObjectPosition(o) = TvV3dSub(MV2ObjectPosition(pans[1]), w.offset);
                MV2ObjectMoved(o);
            }
}

// ---- lighting zone ----

bool CameraPosition(TvV3d* out) {
    if (!gMV2MainCamera || !gMV2MainCamera->object.frame) return false;
    *out = TvFrameGetLTM(gMV2MainCamera->object.frame)->pos;
    return true;
}

void ZoneBlend(MV2Object* object, MV2LightingZoneData* d, const TvV3d& from) {
    const TvV3d v = TvV3dSub(MV2ObjectPosition(object), from);
    if (TvV3dDot(v, v) >= d->reach) return;
    float s = TvV3dDot(object->matrix->at, v) * d->inverseRadius;
    s = std::fmin(std::fmax(s, -1.0f), 1.0f);
    if (d->cameraBlend && s >= 0.0f) MV2CancelCameraBlend();
    gMV2LightingZone = {object, object->handle, s};
}

void ZoneMeasure(MV2Object* object, MV2LightingZoneData* d) {
    TpAtomic* root = object->clump ? MV2FindRootAtomic(object->clump) : nullptr;
    if (root) d->radius = TpAtomicGetBoundingSphere(root)->radius;
    d->reach = 3.0f * d->radius * d->radius;
    d->inverseRadius = d->radius > 0.0f ? 1.0f / d->radius : 0.0f;
}

} // namespace

float MV2WeightValue(int32_t type) {
    static const float kValues[kMV2WeightTypes] = {1.1f, 1.0f, 1.1f, 1.0f, 1.1f, 1.0f, 1.0f};
    const int32_t i = WeightIndex(type);
    return i < 0 ? 0.0f : kValues[i];
}

MV2ScalesData* MV2GetScales() {
    return &g_scales;
}

intptr_t MV2FloorSwitchHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2FloorSwitchData));
    auto* d = MV2LevelData<MV2FloorSwitchData>(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2: {
        if (!(object->typeWord & (1u << 21))) {
            const uint32_t now = d->bits & 1u;
            if (now != ((d->bits >> 1) & 1u)) {
                MV2RunCallback(d->callback, object, int32_t(now));
                d->bits = (d->bits & ~2u) | (now << 1);
                MV2PlayObjectSound(object, 20.0f, "FLOORSWITCH", 5000);
            }
            TvV3d at = d->home;
            if (d->bits & 2u) at.y -= 0.2f;
            MV2ObjectPosition(object) = at;
            MV2ObjectMoved(object);
        }
        const intptr_t result = MV2ObjectDefaultHandler(object, 2, p1, p2);
        d->bits &= ~1u;
        return result;
    }
    case 3: {
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        MV2ObjectSendMessage(object, 0, 1, 0);
        d->callback = nullptr;
        d->home = p2 ? *reinterpret_cast<const TvV3d*>(p2) : MV2ObjectPosition(object);
        d->bits = 0;
        object->typeWord &= ~(1u << 20);
        MV2ObjectSendMessage(object, 0, 1, 0);
        return 1;
    }
    case 12: d->callback = MV2CallbackOf(p2); break;
    case 14: {
        auto* other = reinterpret_cast<MV2Object*>(p2);
        if (other && (MV2TypeOf(other) == 286 || MV2TypeOf(other) == 306)) d->bits |= 1u;
        break;
    }
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2CrystalSocketHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2CrystalSocketData));
    auto* d = MV2LevelData<MV2CrystalSocketData>(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2: SocketUpdate(object, d); break;
    case 3:
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        *d = MV2CrystalSocketData{};
        if (object->clump) MV2SetAllAtomicFlags(object->clump, 0);
        MV2ObjectSendMessage(object, 0, 1, 0);
        return 1;
    case 12: d->callback = MV2CallbackOf(p2); return 1;
    case 13:
        if (p2) *reinterpret_cast<intptr_t*>(p2) = intptr_t(d->filled);
        return 1;
    case 33:
        if (p2) MV2SetObjectRef(&d->crystal, reinterpret_cast<MV2Object*>(p2));
        return 1;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2CrystalHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2CrystalData));
    auto* d = MV2LevelData<MV2CrystalData>(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    const bool falls = MV2TypeOf(object) != 87;
    switch (message) {
    case 2: {
        if (falls) {
            for (int32_t i = 0; i < 5; i++)
                MV2ApplyGravity(object);
            MV2LoopNamedSound(object, "CRYSTAL", &d->sound);
        }
        const intptr_t result = MV2ObjectDefaultHandler(object, 2, p1, p2);
        if (result && d->held) AxesAt(object, d->hold);
        return result;
    }
    case 3:
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        *d = MV2CrystalData{};
        d->hold = MV2ObjectPosition(object);
        d->held = 1;
        MV2ObjectSendMessage(object, 0, 1, 0);
        return 1;
    case 4: MV2StopNamedSound(object, "CRYSTAL", &d->sound); break;
    case 11:
        if (!p1) {
            d->held = 0;
        } else {
            d->held = 1;
            d->hold = p2 ? *reinterpret_cast<const TvV3d*>(p2) : MV2ObjectPosition(object);
        }
        return 1;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2LiftHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2LiftData));
    if (message == 44) return 1;
    auto* d = MV2LevelData<MV2LiftData>(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2: LiftUpdate(object, d); break;
    case 3:
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        MV2ObjectSendMessage(object, 0, 1, 0);
        *d = MV2LiftData{};
        d->base = MV2ObjectPosition(object).y;
        if (MV2TypeOf(object) == 221) {
            MV2ObjectPosition(object).y = d->base + 20.0f;
            MV2ObjectMoved(object);
        }
        return 1;
    case 4:
        MV2StopNamedSound(object, RisingLift(MV2TypeOf(object)) ? "COG2" : "DRAGSTONE",
                          &d->sounds[0]);
        MV2StopNamedSound(object, "DRAGSTONE", &d->sounds[1]);
        break;
    case 11: d->started = 1; return 1;
    case 12: d->callback = MV2CallbackOf(p2); return 1;
    case 33:
        if (auto* rider = reinterpret_cast<MV2Object*>(p2)) {
            MV2SetObjectRef(&d->rider, rider);
            rider->radius = 0.0f;
        }
        return 1;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2RotatorHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2RotatorData));
    auto* d = MV2LevelData<MV2RotatorData>(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2: RotatorUpdate(object, d); break;
    case 3:
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        *d = MV2RotatorData{};
        d->saved = *object->matrix;
        MV2ObjectSendMessage(object, 0, 1, 0);
        return 1;
    case 4: MV2StopNamedSound(object, "COG2", &d->sound); break;
    case 14:
        if (p2 && reinterpret_cast<MV2Object*>(p2) == MV2GetPlayerObject()) return 0;
        break;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2FuseHolderHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2FuseHolderData));
    auto* d = MV2LevelData<MV2FuseHolderData>(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2: FuseUpdate(object, d); break;
    case 3: {
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        *d = MV2FuseHolderData{};
        TvFrame* frames[2] = {nullptr, nullptr};
        for (int32_t i = 0; i < 2; i++) {
            frames[i] = object->clump ? MV2FindFrameByTag(object->clump, uint32_t(i + 1)) : nullptr;
            if (!frames[i]) return 0;
            d->poles[i] = TvV3dAdd(MV2ObjectPosition(object), TvFrameGetMatrix(frames[i])->pos);
            MV2SetObjectRef(&d->lights[i], PoleLight(d->poles[i]));
        }
        d->light = TpLightCreate(128);
        if (d->light) {
            TpLightSetFlags(d->light, 3);
            TpLightSetRadius(d->light, 6.0f);
            TpLightSetColor(d->light, 0.1f, 0.1f, 1.0f, 1.0f);
            TpLightSetConeAngle(d->light, 1.0f);
            TpLightSetFrame(d->light, object->clump->frame);
        }
        MV2ObjectSendMessage(object, 0, 1, 0);
        return 1;
    }
    case 4: FuseDestroy(d); break;
    case 12: d->callback = MV2CallbackOf(p2); return 1;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2ScalesHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, 0);
    MV2ScalesData* d = &g_scales;
    if (message == 3) {
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        *d = MV2ScalesData{};
        for (int32_t i = 0; i < 2; i++) {
            d->panFrames[i] =
                object->clump ? MV2FindFrameByTag(object->clump, uint32_t(i + 1)) : nullptr;
            if (!d->panFrames[i]) return 0;
        }
        const MV2Point3 at = MV2Point(MV2ObjectPosition(object));
        for (int32_t i = 0; i < 2; i++) {
            MV2Object* pan = MV2CreateObject(311 + i, at.v, nullptr);
            if (!pan) return 0;
            MV2SetObjectRef(&d->pans[i], pan);
        }
        d->home = MV2ObjectPosition(object);
        MV2SetObjectRef(&d->owner, object);
        MV2ObjectSendMessage(object, 0, 1, 0);
        return 1;
    }
    if (!MV2RefIs(d->owner, object)) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2: ScalesUpdate(object, d); break;
    case 4:
        for (MV2ObjectRef& ref : d->pans)
            if (MV2Object* pan = MV2GetObjectRef(&ref)) MV2ObjectSendMessage(pan, 4, 0, 0);
        break;
    case 12: d->callback = MV2CallbackOf(p2); return 1;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2ScalePanHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 19 && p2) {
        auto* weight = reinterpret_cast<MV2Object*>(p2);
        const int32_t i = WeightIndex(MV2TypeOf(weight));
        const MV2CollisionState* state = MV2GetCollisionState();
        TpAtomic* own = object->clump ? MV2FindAtomicByTag(object->clump, 11) : nullptr;
        if (i >= 0 && own && state && state->struck == own && !g_scales.weights[i].placed) {
            MV2PlayObjectSound(object, 1.0f, "SCALES", 1000);
            MV2ScalesData::Weight& w = g_scales.weights[i];
            w.placed = 1;
            w.offset = TvV3dSub(MV2ObjectPosition(object), MV2ObjectPosition(weight));
            MV2SetObjectRef(&w.object, weight);
            if (weight->clump) MV2SetAllAtomicFlags(weight->clump, 4);
            if (weight->type) weight->type->words[7] &= ~1u;
        }
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2WeightHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    switch (message) {
    case 2:
        if (MV2TypeOf(object) == 133)
            for (int32_t i = 0; i < 6; i++)
                MV2ApplyGravity(object);
        break;
    case 4:
        MV2RunCallback(MV2CallbackOf(intptr_t(object->privateData)), object, 1);
        break;
    case 12: object->privateData = reinterpret_cast<void*>(p2); return 1;
    case 14:
        if (p2 && WeightIndex(MV2TypeOf(reinterpret_cast<MV2Object*>(p2))) >= 0) return 0;
        break;
    case 70: return 1;
    case 96: return MV2AnswerSize(p2, 0);
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2LinkTagHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2LinkTagData));
    auto* d = MV2LevelData<MV2LinkTagData>(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 3:
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        *d = MV2LinkTagData{};
        return 1;
    case 12: d->link = p1; return 1;
    case 13:
        if (p2) *reinterpret_cast<intptr_t*>(p2) = d->link;
        return 1;
    case 14:
        if (p2 && reinterpret_cast<MV2Object*>(p2) == MV2GetObjectRef(&d->owner)) return 0;
        break;
    case 15: MV2SetObjectRef(&d->owner, reinterpret_cast<MV2Object*>(p2)); return 1;
    case 16:
        if (p2) *reinterpret_cast<MV2Object**>(p2) = MV2GetObjectRef(&d->owner);
        return 1;
    case 33:
        if (p2) d->stored = *reinterpret_cast<const intptr_t*>(p2);
        return 1;
    case 34:
        if (p2) *reinterpret_cast<intptr_t*>(p2) = d->stored;
        return 1;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2LightingZoneHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2LightingZoneData));
    auto* d = MV2LevelData<MV2LightingZoneData>(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2: {
        TvV3d camera;
        if (CameraPosition(&camera)) ZoneBlend(object, d, camera);
        break;
    }
    case 3:
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        if (object->clump) MV2SetAllAtomicFlags(object->clump, 0);
        *d = MV2LightingZoneData{};
        d->radius = 1.0f;
        d->inverseRadius = 1.0f;
        d->reach = 3.0f;
        d->factorA = d->factorB = 0.1f;
        d->colourA = {1.0f, 1.0f, 1.0f};
        d->colourB = {-1.0f, -1.0f, -1.0f};
        d->blendWithCurrent = 1;
        MV2ObjectSendMessage(object, 24, 0, 0);
        MV2ObjectSendMessage(object, 0, 1, 0);
        return 1;
    case 12: {
        TvV3d from;
        if (p2)
            from = *reinterpret_cast<const TvV3d*>(p2);
        else if (!CameraPosition(&from))
            return 1;
        ZoneBlend(object, d, from);
        return 1;
    }
    case 24: ZoneMeasure(object, d); return 1;
    case 25:
        if (p2) *reinterpret_cast<float*>(p2) = d->radius;
        return 1;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

namespace {
int32_t ShieldCallback(TpIntersection*, TpWorldSector*, TpAtomic* atomic, float, void* data) {
    MV2Object* o = ClumpObject(atomic);
    if (!o || MV2TypeOf(o) != 236) return 1;
    *static_cast<MV2Object**>(data) = o;
    return 0;
}
} // namespace

intptr_t MV2SporeShieldHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    switch (message) {
    case 3: {
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        if (object->clump) MV2SetAllAtomicFlags(object->clump, 5);
        MV2Object* boss = nullptr;
        MV2ForAllAtomicsInSphere(MV2World, &MV2ObjectPosition(object), 30.0f, ShieldCallback, &boss);
        if (boss) MV2ObjectSendMessage(boss, 33, 0, intptr_t(object));
        return 1;
    }
    case 14:
        if (p2) {
            const int32_t type = MV2TypeOf(reinterpret_cast<MV2Object*>(p2));
            if (type == 353 || type == 354) return 0;
        }
        break;
    case 96: return MV2AnswerSize(p2, 0);
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

void MV2RegisterSwitchHandlers() {
    MV2SetObjectTypeHandler(285, MV2FloorSwitchHandler);
    MV2SetObjectTypeHandler(307, MV2FloorSwitchHandler);
    MV2SetObjectTypeHandler(234, MV2CrystalSocketHandler);
    for (int32_t type : {87, 229, 230, 231})
        MV2SetObjectTypeHandler(type, MV2CrystalHandler);
    for (int32_t type : {192, 417, 418, 221})
        MV2SetObjectTypeHandler(type, MV2LiftHandler);
    MV2SetObjectTypeHandler(298, MV2RotatorHandler);
    MV2SetObjectTypeHandler(302, MV2RotatorHandler);
    MV2SetObjectTypeHandler(182, MV2FuseHolderHandler);
    MV2SetObjectTypeHandler(310, MV2ScalesHandler);
    MV2SetObjectTypeHandler(312, MV2ScalePanHandler);
    for (int32_t type : {133, 315, 316, 317, 318, 319, 320, 321})
        MV2SetObjectTypeHandler(type, MV2WeightHandler);
    MV2SetObjectTypeHandler(45, MV2LinkTagHandler);
    MV2SetObjectTypeHandler(136, MV2LightingZoneHandler);
    MV2SetObjectTypeHandler(241, MV2SporeShieldHandler);
}
