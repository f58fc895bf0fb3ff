// Burning wrecks, breakable wrecks and their debris pieces.
#include "game/missions/wrecks.h"

#include <cmath>
#include <initializer_list>

#include "engine/core/frame.h"
#include "engine/world/clump.h"
#include "engine/world/light.h"
#include "engine/world/world.h"
#include "game/creatures/ambient.h"
#include "game/effects/explosions.h"
#include "game/missions/levelobjects.h"
#include "game/objects/camera.h"
#include "game/objects/clumpdata.h"
#include "game/objects/dynamics.h"
#include "game/objects/utilities.h"
#include "game/player/playercraft.h"

namespace {

constexpr uint32_t kPieceLife = 45000; // ms
constexpr float kPieceEnergy = 0.3f;   // energy lost per thrown piece
constexpr int32_t kScatterMost = 64;   // objects one scatter can take away

bool Passed(uint32_t time) {
    return int32_t(MV2GameClock() - time) >= 0;
}

// Creation of every type here ends the same way.
intptr_t Created(MV2Object* object, intptr_t p1, intptr_t p2) {
    if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
    object->aiCategory = 3;
    if (object->type) object->type->words[7] &= ~0x800000u;
    return 1;
}

int32_t RandomPiece() {
    return MV2RandomBits(1) ? 91 : 90;
}

// The wreck's end: an explosion, a sound and its destruction.
void Blow(MV2Object* object, const char* sound) {
    const MV2Point3 p = MV2Point(MV2ObjectPosition(object));
    MV2CreateExplosion(p.v, object->radius, 0.0f, nullptr, 5, 30);
    MV2PlayObjectSound(object, 10.0f, sound, 5000);
    MV2ObjectSendMessage(object, 4, 0, 0);
}

void DestroyLight(MV2BurningWreckData* d) {
    if (d->light) {
        if (TpWorld* world = TpLightGetWorld(d->light)) TpWorldRemoveLight(world, d->light);
        TpLightSetFrame(d->light, nullptr);
        TpLightDestroy(d->light);
    }
    if (d->lightFrame) {
        TvFrameRemoveChild(d->lightFrame);
        TvFrameDestroy(d->lightFrame);
    }
    d->light = nullptr;
    d->lightFrame = nullptr;
}

void MakeLight(MV2Object* object, MV2BurningWreckData* d) {
    d->light = TpLightCreate(128);
    d->lightFrame = d->light && object->clump ? TvFrameCreate() : nullptr;
    TpWorld* world = MV2World ? MV2World : TpWorldGetCurrent();
    if (!d->lightFrame || !world) {
        DestroyLight(d);
        return;
    }
    TvFrameAddChild(object->clump->frame, d->lightFrame);
    TpLightSetFrame(d->light, d->lightFrame);
    TpLightSetRadius(d->light, 2.0f);
    TpLightSetColor(d->light, 1.0f, 0.66f, 0.0f, 255.0f);
    TpLightSetFlags(d->light, 3);
    TpWorldAddLight(world, d->light);
}

// The wreck burns down: a heavier wreck (type 88 only) and pieces from its vertices.
void BurnOut(MV2Object* object) {
    const TvMatrix* m = object->matrix;
    const TvV3d centre = TvV3dAdd(m->pos, TvV3dScale(m->up, 0.5f));
    if (MV2TypeOf(object) == 88) {
        MV2CreationRecord record{};
        record.matrix = m;
        const MV2Point3 at = MV2Point(centre);
        if (MV2Object* wreck = MV2CreateObject(89, at.v, &record)) {
            MV2ObjectPosition(wreck) = centre;
            MV2ObjectMoved(wreck);
            if (wreck->body) {
                wreck->body->velocity = TvV3dScale(m->up, 0.25f);
                wreck->body->angularVelocity = TvV3dScale(m->at, 0.1f);
            }
        }
    }
    const int32_t vertices = MV2RootVertexCount(object);
    for (int32_t i = 0; i < vertices; i++) {
        const uint32_t r = MV2RandomBits(127);
        if (r < 6 || (r >= 16 && r < 32))
            MV2SpawnWreckPiece(object, 91, nullptr);
        else if (r < 16)
            MV2SpawnWreckPiece(object, 98, nullptr);
    }
    Blow(object, "THORIUMSHAT2");
}

int32_t DrainCallback(TpIntersection*, TpWorldSector*, TpAtomic* atomic, float, void*) {
    MV2Object* creature = MV2GetClumpObject(TpAtomicGetClump(atomic));
    if (!creature || creature->typeHandler != MV2AmbientCreatureHandler ||
        creature->energy <= 0.0f)
        return 1;
    creature->energy -= MV2FrameSeconds();
    if (creature->energy <= 0.5f) {
        creature->energy = 0.5f;
        MV2KillAmbientCreature(creature);
    }
    return 1;
}

struct Scatter {
    MV2ObjectRef found[kScatterMost];
    int32_t count;
};

int32_t ScatterCallback(TpIntersection*, TpWorldSector*, TpAtomic* atomic, float, void* data) {
    auto* s = static_cast<Scatter*>(data);
    MV2Object* o = MV2GetClumpObject(TpAtomicGetClump(atomic));
    if (!o || MV2TypeOf(o) != 95) return 1;
    for (int32_t i = 0; i < s->count; i++)
        if (s->found[i].object == o) return 1; // another atomic of one already taken
    if (s->count == kScatterMost) return 0;
    MV2SetObjectRef(&s->found[s->count++], o);
    return 1;
}

} // namespace

MV2Object* MV2SpawnWreckPiece(MV2Object* object, int32_t pieceType, const TvV3d* direction) {
    const int32_t vertices = MV2RootVertexCount(object);
    if (vertices <= 0) return nullptr;
    TvV3d o;
    const int32_t pick = int32_t(uint32_t(TvRandom()) % uint32_t(vertices));
    if (!MV2RootVertexWorld(object, pick, 1, &o)) return nullptr;
    const MV2Point3 at = MV2Point(TvV3dAdd(MV2ObjectPosition(object), o));
    MV2Object* piece = MV2CreateObject(pieceType, at.v, nullptr);
    if (!piece) return nullptr;
    const MV2ObjectHandle handle = piece->handle;
    MV2ObjectSendMessage(piece, 12, pieceType == 98 ? 1 : 0, 0);
    if (!MV2ObjectHandleAlive(handle)) return nullptr;
    if (direction) o = TvV3dAdd(o, TvV3dScale(*direction, 0.05f));
    if (piece->body) {
        piece->body->velocity = TvV3dScale(o, 0.25f);
        piece->body->angularVelocity = TvV3dScale(o, 0.25f);
    }
    return piece;
}

intptr_t MV2BurningWreckHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2BurningWreckData));
    if (message == 80) return 1;
    auto* d = MV2LevelData<MV2BurningWreckData>(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 3:
        if (!Created(object, p1, p2)) return 0;
        *d = MV2BurningWreckData{};
        d->energyLevel = object->energy;
        MakeLight(object, d);
        return 1;
    case 2: {
        if (object->energy < 0.0f) {
            BurnOut(object);
            return 1;
        }
        d->phase += MV2FrameSeconds() * 180.0f;
        if (d->light) {
            const float c = (MV2CosDegrees(d->phase) + 1.0f) * 0.5f;
            TpLightSetRadius(d->light, 3.0f);
            TpLightSetColor(d->light, c, 0.66f * c, 0.0f, 255.0f);
        }
        const int32_t type = MV2TypeOf(object);
        const bool throws = type != 88;
        while (d->energyLevel - object->energy >= kPieceEnergy) {
            d->energyLevel -= kPieceEnergy;
            MV2SpawnWreckPiece(object, 98, nullptr);
            if (throws) MV2SpawnWreckPiece(object, RandomPiece(), &object->matrix->up);
        }
        break;
    }
    case 4: DestroyLight(d); break;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2WreckHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2WreckPieceData));
    if (message == 80) return 1;
    const int32_t type = MV2TypeOf(object);
    switch (message) {
    case 3:
        if (!Created(object, p1, p2)) return 0;
        if (type == 99 && object->clump) {
            TvFrame* frame = MV2FindFrameByTag(object->clump, 2);
            for (TpAtomic* a = frame ? MV2GetFirstAtomic(object->clump) : nullptr; a;
                 a = MV2GetNextAtomic(object->clump, a))
                if (a->object.frame == frame) {
                    if (TpGeometry* g = TpAtomicGetGeometry(a)) MV2SetGeometryFullBright(g);
                    break;
                }
        }
        return 1;
    case 2:
        if (object->energy < 0.0f) {
            const TvV3d up{0.0f, 1.0f, 0.0f};
            const int32_t pieces = type == 89 ? 2 : 38;
            for (int32_t i = 0; i < pieces; i++)
                MV2SpawnWreckPiece(object, RandomPiece(), type == 89 ? &up : nullptr);
            Blow(object, "THORIUMSHAT1");
            return 1;
        }
        if (type == 99)
            MV2ForAllAtomicsInSphere(MV2World, &MV2ObjectPosition(object), 15.0f, DrainCallback,
                                     nullptr);
        break;
    case 14:
        if (type == 99 && p2 && reinterpret_cast<MV2Object*>(p2) == MV2GetPlayerObject())
            MV2PlayObjectSound(object, 5.0f, "ROCKLANDCOLLISION", 0);
        break;
    case 63: {
        Scatter s{};
        MV2ForAllAtomicsInSphere(MV2World, &MV2ObjectPosition(object), 15.0f, ScatterCallback,
                                 &s);
        for (int32_t i = 0; i < s.count; i++)
            if (MV2Object* o = MV2GetObjectRef(&s.found[i]))
                if (TvRandom() % 5 != 4) MV2ObjectSendMessage(o, 4, 0, 0);
        break;
    }
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2WreckPieceHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2WreckPieceData));
    if (message == 70) return 1;
    auto* d = MV2LevelData<MV2WreckPieceData>(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 3:
        if (!Created(object, p1, p2)) return 0;
        *d = MV2WreckPieceData{};
        d->expiry = MV2GameClock() + kPieceLife;
        return 1;
    case 2:
        if (Passed(d->expiry)) {
            MV2ObjectSendMessage(object, 4, 0, 0);
            return 1;
        }
        break;
    case 12: d->breaksOnImpact = uint32_t(p1); return 1;
    case 18:
        if (d->breaksOnImpact) {
            MV2ObjectSendMessage(object, 4, 0, 0);
            return 1;
        }
        break;
    case 24: d->stored = p1; return 1;
    case 84: return d->stored;
    case 63: d->expiry = MV2GameClock() + kPieceLife; return 1;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

void MV2RegisterWreckHandlers() {
    for (int32_t type : {88, 92, 93, 101, 102})
        MV2SetObjectTypeHandler(type, MV2BurningWreckHandler);
    MV2SetObjectTypeHandler(89, MV2WreckHandler);
    MV2SetObjectTypeHandler(99, MV2WreckHandler);
    for (int32_t type : {90, 91, 98})
        MV2SetObjectTypeHandler(type, MV2WreckPieceHandler);
}
