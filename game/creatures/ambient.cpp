// Ambient creatures, the species table, wreck pieces and the dying creature.
#include "game/creatures/ambient.h"

#include <algorithm>
#include <cmath>

#include "engine/core/matrix.h"
#include "engine/world/clump.h"
#include "engine/world/world.h"
#include "game/creatures/creaturemath.h"
#include "game/creatures/deathsites.h"
#include "game/creatures/pathnodes.h"
#include "game/effects/effects.h"
#include "game/effects/primitives.h"
#include "game/objects/clumpdata.h"
#include "game/objects/dynamics.h"
#include "game/objects/levels.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"

const MV2AmbientSpecies kMV2AmbientSpecies[kMV2AmbientSpeciesRows] = {
    {10, 2.0f, 45.0f, 0.04f},   {11, 2.0f, 45.0f, 0.05f},   {71, 2.0f, 45.0f, 0.04f},
    {72, 4.0f, 20.0f, 0.05f},   {73, 2.0f, 45.0f, 0.04f},   {170, 0.5f, 25.0f, 0.03f},
    {171, 0.5f, 25.0f, 0.02f},  {172, 2.5f, 25.0f, 0.03f},  {222, 4.0f, 50.0f, 0.04f},
    {223, 4.0f, 50.0f, 0.04f},  {224, 4.0f, 50.0f, 0.04f},  {225, 4.0f, 50.0f, 0.04f},
    {226, 4.0f, 50.0f, 0.04f},  {227, 4.0f, 50.0f, 0.04f},  {41, 2.0f, 45.0f, 0.03f},
    {75, 2.0f, 45.0f, 0.03f},   {95, 2.0f, 45.0f, 0.02f},   {59, 10.0f, 1000.0f, 0.03f},
    {68, 2.0f, 45.0f, 0.03f},   {137, 2.0f, 50.0f, 0.03f},  {138, 2.0f, 50.0f, 0.03f},
    {165, 2.0f, 50.0f, 0.03f},  {173, 0.7f, 25.0f, 0.03f},  {175, 0.5f, 10.0f, 0.02f},
    {185, 10.0f, 1000.0f, 0.03f}, {335, 1.0f, 10.0f, 0.04f},
};

namespace {

constexpr int32_t kNoType = 461;
const TvV3d kUp{0.0f, 1.0f, 0.0f};

// The scan's variables, valid during one scan.
struct Scan {
    MV2Object* self;
    int32_t threat;
    float threatValue;
    float mateValue;
    MV2Object* last;
    int32_t hits;
};
Scan g_scan;
constexpr float kScanRadius = 5.0f;

MV2AmbientCreature* Record(MV2Object* object) {
    return static_cast<MV2AmbientCreature*>(object->privateData);
}

bool PullType(const MV2Object* object) {
    const int32_t t = MV2TypeOf(object);
    return t == 75 || t == 95;
}

void AnimateAtRate(MV2Object* object) {
    if (object->clump) MV2AddAnimTime(object->clump, MV2FrameStep() * MV2TypeAnimRate(object));
}

void Torque(MV2Object* object, const TvV3d& torque, const TvV3d& at) {
    MV2AddTorque(object, &torque, &at);
}

TvV3d AheadPoint(MV2Object* object, float distance) {
    return TvV3dAdd(object->matrix->pos, TvV3dScale(object->matrix->at, distance));
}

void SteeringTorque(MV2Object* object, const TvV3d& d) {
    const TvV3d v{std::clamp(d.x * 0.1f, -0.04f, 0.04f), std::clamp(d.y * 0.04f, -0.01f, 0.01f),
                  std::clamp(d.z * 0.1f, -0.04f, 0.04f)};
    Torque(object, v, AheadPoint(object, object->radius));
}

int32_t ScanAtomic(TpIntersection*, TpWorldSector*, TpAtomic* atomic, float distance, void*) {
    MV2Object* other = MV2GetClumpObject(TpAtomicGetClump(atomic));
    MV2Object* self = g_scan.self;
    if (!other || other == self) return 1;
    const float value = distance * kScanRadius;
    if (other->aiCategory > self->aiCategory) {
        if (value > g_scan.threatValue) {
            g_scan.threat = 1;
            g_scan.threatValue = value;
            g_scan.last = other;
            ++g_scan.hits;
        }
    } else if (MV2TypeOf(other) == MV2TypeOf(self) && !g_scan.threat && other < self) {
        // Mates rank by record address: a fixed order over live objects.
        g_scan.mateValue = value;
        g_scan.last = other;
        ++g_scan.hits;
    }
    return g_scan.hits < 5 ? 1 : 0;
}

void Decide(MV2Object* object, MV2AmbientCreature* d) {
    d->state = kMV2AmbientNone;
    d->nextDecision = int32_t(MV2GameClock()) + 1500 + int32_t(MV2RandomBits(1023));
    TpWorld* world = TpWorldGetCurrent();
    if (!world) return;
    MV2TriangleHit walls[8];
    const TvV3d probe = AheadPoint(object, 0.8f * object->radius);
    const int32_t n = MV2GetFacingTrianglesInSphere(world, &probe, 1.7f * object->radius, 8, walls);
    if (n > 0) {
        TvV3d sum{};
        for (int32_t i = 0; i < n; ++i)
            sum = TvV3dAdd(sum, walls[i].normal);
        d->direction = MV2Unit(sum);
        d->state = kMV2AmbientWall;
        return;
    }
    g_scan = Scan{object, 0, 0.0f, 0.0f, nullptr, 0};
    const TvV3d centre = AheadPoint(object, 3.0f);
    MV2ForAllAtomicsInSphere(world, &centre, kScanRadius, ScanAtomic, nullptr);
    const Scan scan = g_scan;
    g_scan = Scan{};
    if (scan.threat && MV2TypeOf(object) != 95) {
        d->direction = MV2Unit(TvV3dSub(object->matrix->pos, scan.last->matrix->pos));
        d->state = scan.threatValue < 4.0f ? kMV2AmbientThreatNear : kMV2AmbientThreatFar;
    } else if (scan.last) {
        d->direction = MV2Unit(TvV3dSub(scan.last->matrix->pos, object->matrix->pos));
        d->state = scan.mateValue > 4.0f ? kMV2AmbientMateFar : kMV2AmbientMateNear;
    }
}

const MV2AmbientSpecies& Species(const MV2AmbientCreature* d) {
    return kMV2AmbientSpecies[d->speciesRow < uint32_t(kMV2AmbientSpeciesRows) ? d->speciesRow : 0];
}

void Pull(MV2Object* object, MV2AmbientCreature* d, const MV2AmbientSpecies& species) {
    auto* pull = static_cast<MV2AmbientPull*>(d->extension);
    if (pull->kind == 0) {
        d->extension = nullptr;
        return;
    }
    TvMatrix* m = object->matrix;
    const TvV3d to = TvV3dSub(pull->point, m->pos);
    MV2RotateMatrixInPlace(m, &m->up, TvV3dDot(m->right, to), 1);
    float s = TvV3dDot(m->up, to);
    if (pull->kind == 2) {
        s = std::clamp(s, -0.03f, 0.03f);
        const TvV3d force = TvV3dScale(m->at, species.cruiseForce * 3.5f);
        MV2AddForce(object, &force);
        d->state = kMV2AmbientNone;
        d->nextDecision = int32_t(MV2GameClock()) + 500;
    } else {
        s = std::clamp(s, -0.015f, 0.015f);
    }
    Torque(object, TvV3dScale(m->up, s), AheadPoint(object, 1.0f));
}

void Act(MV2Object* object, MV2AmbientCreature* d, const MV2AmbientSpecies& species) {
    TvMatrix* m = object->matrix;
    switch (d->state) {
    case kMV2AmbientMateFar:
    case kMV2AmbientThreatNear: {
        AnimateAtRate(object);
        const TvV3d force = TvV3dScale(m->at, species.cruiseForce * 0.5f);
        MV2AddForce(object, &force);
        SteeringTorque(object, d->direction);
        break;
    }
    case kMV2AmbientMateNear:
    case kMV2AmbientThreatFar: SteeringTorque(object, d->direction); break;
    case kMV2AmbientWall:
        Torque(object, {0.0f, std::clamp(d->direction.y * 0.04f, -0.01f, 0.01f), 0.0f},
               AheadPoint(object, object->radius));
        Torque(object, {d->direction.x * 0.2f, 0.0f, d->direction.z * 0.2f},
               TvV3dAdd(m->pos, m->right));
        break;
    case kMV2AmbientStunned:
        AnimateAtRate(object);
        MV2RotateMatrixInPlace(m, &m->at, MV2FrameStep() * m->right.x, 1);
        break;
    case kMV2AmbientHeld: {
        const TvV3d force = TvV3dScale(m->at, species.cruiseForce);
        MV2AddForce(object, &force);
        AnimateAtRate(object);
        break;
    }
    default: break;
    }
}

void CruiseAndDepth(MV2Object* object, const MV2AmbientSpecies& species) {
    TvMatrix* m = object->matrix;
    TvV3d force = TvV3dScale(m->at, species.cruiseForce);
    const float e = m->pos.y - (MV2GetWaterHeight(&m->pos) - species.minDepth);
    if (e > 0.0f) {
        force.y = e > 5.0f ? -0.4f : -0.08f * e;
        Torque(object, {0.0f, -0.01f, 0.0f}, AheadPoint(object, object->radius));
    }
    MV2AddForce(object, &force);
    if (MV2BeyondFarClip(m->pos)) object->flags &= ~kMV2ObjectAnimate;
}

intptr_t Update(MV2Object* object, MV2AmbientCreature* d) {
    if (MV2CheckObjectDestroyed(object)) return 1;
    object->flags |= kMV2ObjectAnimate;
    const MV2AmbientSpecies& species = Species(d);
    const int32_t now = int32_t(MV2GameClock());
    if (d->stunTimer > 0.0f) {
        d->stunTimer -= MV2FrameSeconds();
        if (d->stunTimer > 0.0f) {
            d->state = kMV2AmbientStunned;
            d->nextDecision = now + 500;
        }
        return MV2ObjectDefaultHandler(object, 2, 0, 0);
    }
    const bool held = MV2GetObjectRef(&d->holder) != nullptr;
    if (held) {
        d->state = kMV2AmbientHeld;
        d->nextDecision = now + 500;
    } else {
        const TvV3d offset{0.0f, 50.0f, 0.0f};
        MV2ApplyUprightForce(object, &offset);
        if (PullType(object) && d->extension) Pull(object, d, species);
        if (d->nextDecision - now < 0) Decide(object, d);
    }
    Act(object, d, species);
    CruiseAndDepth(object, species);
    return MV2ObjectDefaultHandler(object, 2, 0, 0);
}

intptr_t Create(MV2Object* object, MV2AmbientCreature* d, intptr_t p1, intptr_t p2) {
    const intptr_t result = MV2ObjectDefaultHandler(object, 3, p1, p2);
    if (!result) return 0;
    *d = MV2AmbientCreature{};
    const uint32_t r = uint32_t(TvRandom());
    d->nextDecision = int32_t(MV2GameClock() + ((0u - 3u * r) & 15u));
    MV2RotateMatrixInPlace(object->matrix, &kUp, float(uint32_t(TvRandom())), 2);
    MV2SyncObjectFrame(object);
    for (int32_t row = 0; row < kMV2AmbientSpeciesRows; ++row)
        if (kMV2AmbientSpecies[row].type == uint32_t(MV2TypeOf(object))) {
            d->speciesRow = uint32_t(row);
            break;
        }
    object->aiCategory = 5;
    return result;
}

MV2Object* ScriptObject(int32_t id) {
    return MV2FindObjectByScriptID(id);
}

float Coordinate(MV2Object* object, int32_t axis) {
    const TvV3d& p = object->matrix->pos;
    return axis == 1 ? p.y : p.z;
}

// World 0's ambient area is bounded by three marker objects.
bool OutsideWorldZeroArea(const TvV3d& position) {
    MV2Object* top = ScriptObject(0x40170);
    if (top && top->matrix && Coordinate(top, 1) > position.y) return true;
    MV2Object* front = ScriptObject(0x40113);
    if (front && front->matrix && Coordinate(front, 2) > position.z) return true;
    MV2Object* back = ScriptObject(0x4016C);
    return back && back->matrix && Coordinate(back, 2) < position.z;
}

} // namespace

intptr_t MV2AmbientCreatureHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) {
        if (p2) *reinterpret_cast<intptr_t*>(p2) = intptr_t(sizeof(MV2AmbientCreature));
        return 1;
    }
    if (message == 80) return 1;
    MV2AmbientCreature* d = Record(object);
    switch (message) {
    case 2:
        if (!d) break;
        return Update(object, d);
    case 3:
        if (!d) break;
        return Create(object, d, p1, p2);
    case 27:
        if (d && p2) *reinterpret_cast<void**>(p2) = d->extension;
        return 1;
    case 28:
        if (!d) return 1;
        if (PullType(object) && d->extension && p2) {
            const auto* current = static_cast<const MV2AmbientPull*>(d->extension);
            const auto* offered = reinterpret_cast<const MV2AmbientPull*>(p2);
            if (offered->kind <= current->kind) return 1;
        }
        d->extension = reinterpret_cast<void*>(p2);
        return 1;
    case 43:
        if (d) MV2ClearObjectRef(&d->holder);
        break;
    case 44:
        if (d) {
            if (p2)
                MV2SetObjectRef(&d->holder, reinterpret_cast<MV2Object*>(p2));
            else
                MV2ClearObjectRef(&d->holder);
        }
        break;
    case 71:
        if (d) d->stunTimer = 40.0f;
        return 1;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

void* MV2GetAmbientExtension(MV2Object* object) {
    void* extension = nullptr;
    MV2AmbientCreatureHandler(object, 27, 0, reinterpret_cast<intptr_t>(&extension));
    return extension;
}

intptr_t MV2AnswerAmbientSize(MV2Object* object, intptr_t p1, intptr_t p2, size_t extra) {
    MV2AmbientCreatureHandler(object, 96, p1, p2);
    if (p2) *reinterpret_cast<intptr_t*>(p2) += intptr_t(extra);
    return 1;
}

int32_t MV2CheckObjectDestroyed(MV2Object* object) {
    if (object->energy > 0.0f) return 0;
    MV2CreateDebris(object);
    MV2ObjectSendMessage(object, 4, 1, 0);
    return 1;
}

void MV2KillAmbientCreature(MV2Object* creature) {
    if (MV2AmbientCreature* d = Record(creature))
        d->nextDecision = int32_t(MV2GameClock() + 10000u + uint32_t(TvRandom()) % 50000u);
    creature->typeHandler = MV2AmbientCreatureDyingHandler;
    creature->flags &= ~kMV2ObjectAnimate;
    MV2ObjectSendMessage(creature, 0, 1, 0);
}

intptr_t MV2AmbientCreatureDyingHandler(MV2Object* object, int32_t message, intptr_t p1,
                                        intptr_t p2) {
    if (message == 80) return 1;
    if (message != 2) return MV2ObjectDefaultHandler(object, message, p1, p2) ? 1 : 0;
    if (MV2CheckObjectDestroyed(object)) return 1;
    MV2AmbientCreature* d = Record(object);
    if (!d || MV2Elapsed(d->nextDecision) > 0) {
        MV2ObjectSendMessage(object, 4, 1, 0);
        return 1;
    }
    TvMatrix* m = object->matrix;
    MV2RotateMatrixInPlace(m, &m->at, MV2FrameStep() * m->right.x, 1);
    MV2SyncObjectFrame(object);
    return MV2ObjectDefaultHandler(object, 2, p1, p2) ? 1 : 0;
}

int32_t MV2PickAmbientCreatureType(TvV3d* position) {
    const uint32_t world = MV2GetCurrentLevelId() >> 24;
    if (world > 2) return kNoType;
    MV2SnapToHiddenPathNode(position);
    float* axes[3] = {&position->x, &position->y, &position->z};
    for (float* v : axes)
        *v += (float(MV2RandomBits(0xFFFF)) * (1.0f / 32768.0f) - 1.0f) * 0.7f;
    if (world == 0 && OutsideWorldZeroArea(*position)) return kNoType;
    static constexpr int32_t kFirst[3] = {0, 5, 8};
    static constexpr int32_t kLast[3] = {4, 7, 13};
    const float depth = MV2GetWaterHeight(position) - position->y;
    int32_t rows[kMV2AmbientSpeciesRows];
    int32_t count = 0;
    for (int32_t row = kFirst[world]; row <= kLast[world]; ++row)
        if (kMV2AmbientSpecies[row].minDepth < depth && depth < kMV2AmbientSpecies[row].maxDepth)
            rows[count++] = row;
    if (!count) return kNoType;
    return int32_t(kMV2AmbientSpecies[rows[uint32_t(TvRandom()) % uint32_t(count)]].type);
}

int32_t MV2IsOutsideAmbientArea(const TvV3d* position) {
    if (MV2GetCurrentLevelId() >= 0x1000000u) return 0;
    return OutsideWorldZeroArea(*position) ? 1 : 0;
}

void MV2SpawnDebrisPieces(MV2Object* object, int32_t base, int32_t count, int32_t variant) {
    if (!object->matrix) return;
    const float scale = 0.1f * MV2TypeRadius(object);
    for (int32_t i = 0; i < count; ++i) {
        const int32_t type = base + (variant ? int32_t(MV2RandomBits(1)) : 0);
        const MV2Point3 at = MV2Point(object->matrix->pos);
        MV2Object* piece = MV2CreateObject(type, at.v, nullptr);
        TvV3d o;
        o.x = (float(MV2RandomBits(1023)) * (2.0f / 1023.0f) - 1.0f) * scale;
        o.y = (float(MV2RandomBits(1023)) * (2.0f / 1023.0f) - 1.0f) * scale;
        o.z = (float(MV2RandomBits(1023)) * (2.0f / 1023.0f) - 1.0f) * scale;
        object->matrix->pos = TvV3dAdd(object->matrix->pos, o);
        if (piece && piece->body) {
            piece->body->velocity = o;
            piece->body->angularVelocity = o;
        }
    }
}

void MV2CreateDebris(MV2Object* object) {
    if (!object || !object->matrix) return;
    switch (MV2TypeOf(object)) {
    case 185:
        MV2SpawnDebrisPieces(object, 113, 3, 0);
        MV2SpawnDebrisPieces(object, 114, 2, 0);
        return;
    case 59:
    case 370:
        MV2SpawnDebrisPieces(object, 112, 2, 0);
        MV2SpawnDebrisPieces(object, 111, 3, 0);
        return;
    case 60:
    case 61: MV2SpawnDebrisPieces(object, 111, 3, 0); return;
    case 271:
        MV2SpawnDebrisPieces(object, 115, 3, 0);
        MV2SpawnDebrisPieces(object, 116, 3, 0);
        return;
    case 175: return;
    case 104:
    case 147:
    case 148:
    case 186:
    case 258:
    case 396: break;
    default: {
        const TvV3d position = object->matrix->pos;
        const MV2Point3 at = MV2Point(position);
        MV2CreateBloodCloud(at.v, object->radius);
        MV2PostDeathSite(&position);
        MV2AddScorch(at.v, 1.5f * object->radius, 0);
        break;
    }
    }
    const float r = MV2TypeRadius(object);
    if (r > 1.5f) MV2SpawnDebrisPieces(object, 109, 2, 1);
    if (r > 1.0f) MV2SpawnDebrisPieces(object, 107, 2, 1);
    MV2SpawnDebrisPieces(object, 105, 3, 1);
}

intptr_t MV2DebrisHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return 0;
    if (message == 80) return 1;
    const intptr_t result = MV2ObjectDefaultHandler(object, message, p1, p2);
    if (!result) return 0;
    if (message == 3) {
        object->words[0] = intptr_t(MV2GameClock() + 5000u); // the expiry time
        if (MV2ObjectType* type = object->type) {
            const uint32_t medium = 10u << 14;
            type->words[31] = (type->words[31] & ~((0x3FFFu << 14) | 0x3FFFu)) | medium | 10u;
        }
    } else if (message == 2) {
        // The default update may already have destroyed it.
        const bool expired = MV2Elapsed(int32_t(object->words[0])) > 0;
        if (MV2ObjectHandleAlive(object->handle) && (object->energy < 0.0f || expired))
            MV2ObjectSendMessage(object, 4, 1, 0);
    }
    return result;
}

void MV2RegisterAmbientHandlers() {
    for (int32_t type : {10, 11, 41, 66, 71, 72, 73, 75, 95, 170, 171, 172, 222, 223, 224, 225,
                         226, 227, 335})
        MV2SetObjectTypeHandler(type, MV2AmbientCreatureHandler);
    for (int32_t type = 105; type <= 119; ++type)
        MV2SetObjectTypeHandler(type, MV2DebrisHandler);
}
