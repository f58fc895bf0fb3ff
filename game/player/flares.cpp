// The flare tool and the flare object.
#include "game/player/flares.h"

#include <cmath>

#include "engine/core/frame.h"
#include "engine/world/clump.h"
#include "engine/world/light.h"
#include "game/creatures/submarines.h"
#include "game/effects/explosions.h"
#include "game/effects/trails.h"
#include "game/frontend/hud.h"
#include "game/missions/lightobject.h"
#include "game/objects/collision.h"
#include "game/objects/dynamics.h"
#include "game/objects/objectsounds.h"
#include "game/objects/objecttypes.h"
#include "engine/world/random.h"
#include "game/objects/clumpdata.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"
#include "game/player/shots.h"
#include "game/player/tools.h"

namespace {

constexpr float kLaunchSpeed[3] = {0.2f, 0.4f, 0.8f};
constexpr float kLightRadius[3] = {5.0f, 10.0f, 15.0f};
constexpr uint32_t kBurnTime = 10000;

TvFreeList* g_tools = nullptr;

MV2FlareToolData* ToolData(MV2Tool* tool) {
    return tool ? reinterpret_cast<MV2FlareToolData*>(tool->word) : nullptr;
}

MV2FlareData* Data(MV2Object* object) {
    return static_cast<MV2FlareData*>(object->privateData);
}

MV2LightObjectData* LightData(MV2Object* light) {
    return light ? static_cast<MV2LightObjectData*>(light->privateData) : nullptr;
}

// v expressed in the rows of m.
TvV3d Local(const TvMatrix* m, const TvV3d& v) {
    return {TvV3dDot(v, m->right), TvV3dDot(v, m->up), TvV3dDot(v, m->at)};
}

TvV3d World(const TvMatrix* m, const TvV3d& v) {
    return TvV3dAdd(TvV3dAdd(TvV3dScale(m->right, v.x), TvV3dScale(m->up, v.y)), TvV3dScale(m->at, v.z));
}

void SetLightColour(MV2Object* light, float r, float g, float b) {
    MV2LightObjectData* d = LightData(light);
    if (!d) return;
    d->red = r;
    d->green = g;
    d->blue = b;
    if (d->light) TpLightSetColor(d->light, r, g, b, 1.0f);
}

void Glow(MV2Object* flare, MV2FlareData* d) {
    MV2Object* light = MV2GetObjectRef(&d->light);
    if (light && light->matrix) {
        light->matrix->pos = flare->matrix->pos;
        MV2ShotSyncFrame(light);
    }
    const int32_t left = int32_t(d->burnOut - MV2ShotClock());
    const bool dim = (TvRandom() & 7) == 0;
    float r = 0.75f, g = 0.75f, b = 1.0f;
    if (left > 2000) {
        if (dim) {
            r = g = 0.5625f;
            b = 0.75f;
            float at[3];
            MV2ShotPoint(flare->matrix->pos, at);
            MV2CreateExplosion(at, 0.1f, 0.0f, nullptr, 0, kMV2ExplosionDebrisPieces);
        }
    } else {
        const float t = float(left > 0 ? left : 0) * 0.0005f;
        r = g = 0.75f * t;
        b = t;
        if (dim) {
            r *= 0.75f;
            g *= 0.75f;
            b *= 0.75f;
        }
    }
    SetLightColour(light, r, g, b);
    const int32_t bend = b != 1.0f ? int32_t((1.0f - b) * -2000.0f) : 0;
    MV2StartObjectSound(flare, MV2ShotSound("FLAREFIZZLOOP"), &d->sound, 0, bend);
}

intptr_t Update(MV2Object* flare, MV2FlareData* d, intptr_t p1, intptr_t p2) {
    if (!flare->matrix) return MV2ObjectDefaultHandler(flare, 2, p1, p2);
    Glow(flare, d);
    const uint32_t now = MV2ShotClock();
    if (int32_t(now - d->burnOut) > 0) {
        MV2ObjectSendMessage(flare, 4, 0, 0);
        return 1;
    }
    MV2Object* stuck = MV2GetObjectRef(&d->stuckTo);
    if (d->settled && !stuck && d->variant != 1) return 1;
    if (d->variant != 1 && stuck && d->stuckFrame) {
        const TvMatrix* s = TvFrameGetLTM(d->stuckFrame);
        TvMatrix* m = flare->matrix;
        m->pos = TvV3dAdd(s->pos, World(s, d->stuckOffset));
        m->right = World(s, d->stuckRows[0]);
        m->up = World(s, d->stuckRows[1]);
        m->at = World(s, d->stuckRows[2]);
        MV2ShotSyncFrame(flare);
        return 1;
    }
    const TvV3d pos = flare->matrix->pos;
    const float surface = MV2GetWaterHeight(&pos);
    if (surface < pos.y) {
        MV2ApplyGravity(flare);
        MV2ApplyGravity(flare);
    }
    const float speed = flare->body ? MV2ShotLength(flare->body->velocity) : 0.0f;
    MV2ShotSetRadius(flare, std::fmax(d->minimumRadius, 0.6f * speed));
    d->lastPosition = pos;
    if (surface > pos.y)
        MV2EmitMTrail(reinterpret_cast<uintptr_t>(flare), flare->handle, 0, 1.0f, flare->matrix);
    return MV2ObjectDefaultHandler(flare, 2, p1, p2);
}

int32_t Create(MV2Object* flare, MV2FlareData* d) {
    *d = MV2FlareData{};
    d->self = flare;
    d->burnOut = MV2ShotClock() + kBurnTime;
    d->minimumRadius = MV2ShotModelRadius(flare);
    d->lastPosition = flare->matrix ? flare->matrix->pos : TvV3d{};
    float at[3];
    MV2ShotPoint(d->lastPosition, at);
    MV2Object* light = MV2CreateObject(69, at, nullptr);
    MV2LightObjectData* ld = LightData(light);
    if (!ld) {
        if (light) MV2ObjectSendMessage(light, 4, 0, 0);
        return 0;
    }
    MV2SetObjectRef(&d->light, light);
    ld->red = ld->green = 0.75f;
    ld->blue = 1.0f;
    ld->glowSize = 0.5f;
    ld->radius = kLightRadius[d->variant];
    ld->flags = (ld->flags | (1u << 2) | (1u << 4) | (1u << 5) | (1u << 11)) & ~0x7C0u;
    MV2ObjectSendMessage(light, 11, 1, 0);
    MV2ObjectSendMessage(flare, 0, 1, 0);
    if (flare->clump) MV2SetAllAtomicFlags(flare->clump, kTpAtomicCollisionTest);
    return 1;
}

bool IsFlare(MV2Object* object) {
    return object && MV2ShotTypeOf(object) == 296;
}

intptr_t Collide(MV2Object* flare, MV2FlareData* d, MV2Object* other) {
    if (!other || other == MV2GetObjectRef(&d->owner) || IsFlare(other)) return 0;
    if (d->variant != 1 && MV2GetObjectRef(&d->stuckTo)) return 0;
    d->touched = 0;
    if (other->clump)
        for (TpAtomic* a = MV2GetFirstAtomic(other->clump); a && !d->touched;
             a = MV2GetNextAtomic(other->clump, a))
            MV2FlareTouch(a, d);
    if (!d->touched) return 0;
    if (d->variant == 1) return 1;
    if (flare->body) flare->body->velocity = {};
    return 0;
}

} // namespace

void MV2FlareTouch(TpAtomic* atomic, MV2FlareData* d) {
    MV2Object* flare = d ? d->self : nullptr;
    if (!flare || !flare->matrix || !atomic) return;
    TvFrame* frame = atomic->object.frame;
    if (!frame) return;
    const TvMatrix* s = TvFrameGetLTM(frame);
    const TvV3d centre = Local(s, TvV3dSub(flare->matrix->pos, s->pos));
    MV2TriangleHit hit{};
    const float radius = flare->radius > 0.0f ? flare->radius : d->minimumRadius;
    if (MV2CollisionTreeSphereQuery(atomic, &centre, radius, 1, &hit) <= 0) return;
    d->touched = 1;
    MV2Object* other = MV2GetClumpObject(TpAtomicGetClump(atomic));
    MV2SetObjectRef(&d->stuckTo, other);
    if (d->variant == 1) return;
    const TvMatrix* m = flare->matrix;
    d->stuckFrame = frame;
    d->stuckOffset = centre;
    d->stuckRows[0] = Local(s, m->right);
    d->stuckRows[1] = Local(s, m->up);
    d->stuckRows[2] = Local(s, m->at);
}

intptr_t MV2FlareHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2ShotAnswerSize(p2, sizeof(MV2FlareData));
    MV2FlareData* d = Data(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 3: {
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        return Create(object, d);
    }
    case 2: return Update(object, d, p1, p2);
    case 12:
        if (p2 && object->body && object->matrix)
            object->body->velocity =
                TvV3dAdd(reinterpret_cast<const MV2Body*>(p2)->velocity,
                         TvV3dScale(object->matrix->at, kLaunchSpeed[d->variant]));
        return 1;
    case 15: {
        auto* owner = reinterpret_cast<MV2Object*>(p2);
        MV2SetObjectRef(&d->owner, owner);
        const MV2Tool* current = MV2GetCurrentTool(owner);
        const int32_t kind = current ? current->kind : -1;
        d->variant = kind == 8 ? 1 : kind == 9 ? 2 : 0;
        return 1;
    }
    case 16:
        if (p2) *reinterpret_cast<MV2Object**>(p2) = MV2GetObjectRef(&d->owner);
        return 1;
    case 14:
    case 19: return Collide(object, d, reinterpret_cast<MV2Object*>(p2));
    case 18:
        if (d->variant == 1) return 0;
        if (!d->settled && d->variant == 0) d->burnOut = MV2ShotClock() + 2000;
        d->settled = 1;
        if (object->body) object->body->velocity = {};
        return 0;
    case 4:
        MV2StopObjectSound(object, MV2ShotSound("FLAREFIZZLOOP"), &d->sound);
        if (MV2Object* light = MV2GetObjectRef(&d->light)) MV2ObjectSendMessage(light, 4, 0, 0);
        MV2ClearObjectRef(&d->light);
        return MV2ObjectDefaultHandler(object, message, p1, p2);
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

int32_t MV2FlareToolHandler(MV2Tool* tool, int32_t command, intptr_t p1, intptr_t p2) {
    MV2FlareToolData* d = ToolData(tool);
    switch (command) {
    case 3: {
        auto* made = static_cast<MV2FlareToolData*>(MV2ShotGunDataAlloc(
            &g_tools, sizeof(MV2FlareToolData), "Could not create free list for flare tool",
            "FlareTool data alloc error"));
        if (!g_tools) return 0;
        if (!made || !tool) return 1;
        *made = {0, 255.0f};
        tool->word = reinterpret_cast<uintptr_t>(made);
        return 1;
    }
    case 4:
        if (d) TvFreeListFree(g_tools, d);
        if (tool) tool->word = 0;
        return 1;
    case 2:
        if (d && d->reloading) {
            d->gauge += MV2ShotFrameSeconds() * 127.0f;
            if (d->gauge >= 255.0f) {
                d->gauge = 255.0f;
                d->reloading = 0;
            }
        }
        return 1;
    case 53:
        if (!d) return 0;
        if (d->reloading) return 1;
        d->gauge = 0.0f;
        d->reloading = 1;
        return 0;
    case 57:
        if (auto* icon = reinterpret_cast<MV2ToolIcon*>(p2))
            *icon = {tool && tool->kind == 8 ? 80 : tool && tool->kind == 9 ? 79 : 25,
                     kMV2HudColour & 0xFFFFFFu};
        return 1;
    case 59:
        if (auto* g = reinterpret_cast<MV2ToolGauge*>(p2)) {
            g->level = d ? int32_t(d->gauge) & 255 : 0;
            g->coloured = 1;
            g->colour = 0xFF000000u | (kMV2HudColour & 0xFFFFFFu);
        }
        return 1;
    default: return MV2DefaultToolHandler(tool, command, p1, p2);
    }
}
