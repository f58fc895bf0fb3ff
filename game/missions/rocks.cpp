// Breakable rocks and their chunks.
#include "game/missions/rocks.h"

#include <initializer_list>

#include <algorithm>
#include <cmath>

#include "engine/core/frame.h"
#include "game/effects/bubbles.h"
#include "game/effects/streaks.h"
#include "game/effects/explosions.h"
#include "game/missions/levelobjects.h"
#include "game/objects/camera.h"
#include "game/objects/dynamics.h"
#include "game/objects/water.h"
#include "game/player/playercraft.h"
#include "shell/sounds.h"

namespace {

// The rock-impact sample slot; nothing assigns it, so no sample plays.
int32_t g_impactSample = 0;

// A new object of `type` at `position` with the rock's rows and the given motion.
MV2Object* Spawn(int32_t type, const TvMatrix* rows, const TvV3d& position, const TvV3d& velocity,
                 const TvV3d& spin) {
    const float at[3] = {position.x, position.y, position.z};
    MV2Object* o = MV2CreateObject(type, at, nullptr);
    if (!o) return nullptr;
    if (rows) {
        o->matrix->right = rows->right;
        o->matrix->up = rows->up;
        o->matrix->at = rows->at;
        MV2ObjectMoved(o);
    }
    if (o->body) {
        o->body->velocity = velocity;
        o->body->angularVelocity = spin;
    }
    return o;
}

void Explode(MV2Object* object, uint32_t kind, uint32_t flags) {
    const MV2Point3 p = MV2Point(MV2ObjectPosition(object));
    MV2CreateExplosion(p.v, object->radius, 0.0f, nullptr, kind, flags);
}

// A rock of 5, 6, 7 or 377 with no energy left: a smaller remnant and a few chunks.
void Break(MV2Object* object) {
    const int32_t type = MV2TypeOf(object);
    const TvV3d position = MV2ObjectPosition(object);
    Explode(object, 4, 30);
    if (type == 5 || type == 6) {
        const uint32_t pick = MV2RandomBits(3);
        const float r = object->radius;
        const TvV3d offset = pick == 0   ? TvV3dScale(object->matrix->at, r)
                             : pick == 1 ? TvV3d{0, 0, 0}
                                         : TvV3dScale(object->matrix->at, -r);
        const TvV3d motion = TvV3dScale(offset, 0.25f);
        Spawn(type + 1, nullptr, TvV3dAdd(position, offset), motion, motion);
    }
    const int32_t most = type == 5 ? 3 : 2;
    const int32_t vertices = MV2RootVertexCount(object);
    int32_t chunks = 0, next = 0;
    for (int32_t i = 0; i < vertices; i++) {
        if (MV2RandomBits(127) >= 16) continue;
        if (++chunks > most) break;
        TvV3d offset;
        if (!MV2RootVertexWorld(object, next++, 1, &offset)) break;
        int32_t chunk = 128 + int32_t(MV2RandomBits(3));
        if (chunk == 131) chunk = 128;
        TvV3d velocity;
        velocity.x = 0.125f - float(MV2RandomBits(255)) * 0.0009803922f;
        velocity.y = 0.125f - float(MV2RandomBits(255)) * 0.0009803922f;
        velocity.z = 0.125f - float(MV2RandomBits(255)) * 0.0009803922f;
        Spawn(chunk, nullptr, TvV3dAdd(position, offset), velocity, TvV3dScale(offset, 0.25f));
    }
    MV2ObjectSendMessage(object, 4, 0, 0);
}

// A floating rock: bubbles under water, its plain kind deeper than 4 units, or its end.
// Answers 1 when the rock is gone.
int32_t FloatingRock(MV2Object* object) {
    const TvV3d position = MV2ObjectPosition(object);
    const float surface = MV2GetWaterHeight(&position);
    if (surface > position.y) {
        const int32_t vertices = MV2RootVertexCount(object);
        const int32_t count = std::max(1, int32_t(MV2FrameSeconds() * 40.0f));
        for (int32_t i = 0; i < count && vertices > 0; i++) {
            TvV3d at;
            if (MV2RootVertexWorld(object, int32_t(MV2RandomBits(0x7FFFFFFF) % uint32_t(vertices)),
                                   0, &at)) {
                const MV2Point3 p = MV2Point(at);
                MV2CreateBubble(p.v, nullptr, 0.1f);
            }
        }
    }
    if (position.y < surface - 4.0f) {
        const TvV3d zero{0, 0, 0};
        const MV2Body* body = object->body;
        Spawn(MV2TypeOf(object) - 134, object->matrix, position, body ? body->velocity : zero,
              body ? body->angularVelocity : zero);
        MV2ObjectSendMessage(object, 4, 0, 0);
        return 1;
    }
    if (object->energy <= 0.0f) {
        Explode(object, 7, 64);
        MV2ObjectSendMessage(object, 4, 0, 0);
        return 1;
    }
    return 0;
}

} // namespace

intptr_t MV2RescueDebrisHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2RockData));
    if (message == 80) return 1;
    auto* d = MV2LevelData<MV2RockData>(object);
    const int32_t type = MV2TypeOf(object);
    switch (message) {
    case 2:
        if (type >= 128 && type <= 130) {
            if (d && int32_t(d->keepUntil - MV2GameClock()) < 0) {
                MV2ObjectSendMessage(object, 4, 0, 0);
                return 1;
            }
        } else if (type >= 139 && type <= 141) {
            if (FloatingRock(object)) return 1;
        } else if (object->energy <= 0.0f) {
            Break(object);
            return 1;
        }
        break;
    case 14:
        if (p2 && reinterpret_cast<MV2Object*>(p2) == MV2GetPlayerObject())
            MV2PlayObjectSound(object, 5.0f, "ROCKLANDCOLLISION", 0);
        break;
    case 18:
        if (p2 && g_impactSample && std::fabs(*reinterpret_cast<const float*>(p2)) > 0.1f &&
            MV2GetCameraMode() == kMV2CameraTracking)
            MV2PlaySound(g_impactSample, 0, 0);
        break;
    case 24:
        if (d) d->keepUntil = uint32_t(p2);
        break;
    case 25:
        if (d && p2) *reinterpret_cast<intptr_t*>(p2) = intptr_t(d->keepUntil);
        break;
    default: break;
    }
    const MV2ObjectHandle handle = object->handle;
    if (!MV2ObjectDefaultHandler(object, message, p1, p2)) return 0;
    if (message == 2 && MV2ObjectHandleAlive(handle)) {
        const int32_t times = MV2GetWaterHeight(&MV2ObjectPosition(object)) <
                                      MV2ObjectPosition(object).y
                                  ? 8
                                  : 4;
        for (int32_t i = 0; i < times; i++)
            MV2ApplyGravity(object);
    } else if (message == 3) {
        if (d) *d = MV2RockData{};
        MV2AttachTrail(object);
    }
    return 1;
}

void MV2RegisterRockHandlers() {
    for (int32_t type : {5, 6, 7, 128, 129, 130, 139, 140, 141, 377})
        MV2SetObjectTypeHandler(type, MV2RescueDebrisHandler);
}
