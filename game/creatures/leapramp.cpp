// Leap ramp and the flight of launched craft: the craft keeps its horizontal launch velocity,
// falls under its own gravity step and gets its handler back when it is under water again.
#include "game/creatures/leapramp.h"

#include "engine/core/frame.h"
#include "engine/core/matrix.h"
#include "engine/world/clump.h"
#include "game/creatures/creaturemath.h"
#include "game/missions/missionflow.h"
#include "game/objects/dynamics.h"
#include "game/objects/levels.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"
#include "game/player/player.h"
#include "game/player/playercraft.h"

namespace {

constexpr int32_t kLaunchedType = 1;
constexpr int32_t kBurstDrive = 12;
constexpr int32_t kToolBusy = 37;
constexpr int32_t kLeapScriptRow = 19;

MV2LeapFlight g_flights[kMV2LeapFlights];

MV2LeapRamp* Ramp(MV2Object* object) {
    return static_cast<MV2LeapRamp*>(object->privateData);
}

MV2LeapFlight* FlightOf(const MV2Object* craft) {
    for (MV2LeapFlight& f : g_flights)
        if (f.craft == craft) return &f;
    return nullptr;
}

// Gives the craft its handler back and frees the slot.
void Land(MV2Object* craft, MV2LeapFlight* flight) {
    craft->overrideHandler = flight->previous;
    *flight = MV2LeapFlight{};
}

// The depth query answers how far the surface lies above the point.
float SurfaceAt(const TvV3d& point) {
    float depth = 0.0f;
    if (MV2GetWaterDepth(&point, &depth)) return point.y + depth;
    return MV2GetWaterHeight(&point);
}

void Float(MV2Object* ramp) {
    ramp->matrix->pos.y = SurfaceAt(ramp->matrix->pos);
    MV2SyncObjectFrame(ramp);
}

intptr_t Update(MV2Object* ramp, MV2LeapRamp* d) {
    if (d->slider) {
        const float t = float(MV2GameClock() & 511u) * 0.0019569471f;
        *d->slider = TvV3dAdd(d->sliderBase, TvV3dScale(d->sliderTravel, t));
    }
    Float(ramp);
    return MV2ObjectDefaultHandler(ramp, 2, 0, 0);
}

intptr_t Create(MV2Object* ramp, MV2LeapRamp* d, intptr_t p1, intptr_t p2) {
    const intptr_t result = MV2ObjectDefaultHandler(ramp, 3, p1, p2);
    if (!result) return 0;
    MV2ObjectDefaultHandler(ramp, 0, 1, 0);
    *d = MV2LeapRamp{};
    TvFrame* from = ramp->clump ? MV2FindFrameByTag(ramp->clump, 3) : nullptr;
    TvFrame* to = ramp->clump ? MV2FindFrameByTag(ramp->clump, 4) : nullptr;
    if (from && to) {
        TvMatrix* m = TvFrameGetMatrix(from);
        d->slider = &m->pos;
        d->sliderBase = m->pos;
        d->sliderTravel = TvV3dSub(TvFrameGetMatrix(to)->pos, m->pos);
        // The strip's parts hang on the model's root frame: the travel turned into the world.
        const TvMatrix* r = ramp->matrix;
        const TvV3d& t = d->sliderTravel;
        d->launchDirection = MV2Unit(TvV3dAdd(
            TvV3dAdd(TvV3dScale(r->right, t.x), TvV3dScale(r->up, t.y)), TvV3dScale(r->at, t.z)));
    }
    for (uint32_t tag : {3u, 4u})
        if (TpAtomic* atomic = ramp->clump ? MV2FindAtomicByTag(ramp->clump, tag) : nullptr)
            TpAtomicSetFlags(atomic, uint8_t(atomic->object.object.flags & ~1u));
    Float(ramp);
    return result;
}

bool BurstDriveRunning(MV2Object* craft) {
    intptr_t busy = 0;
    return MV2SendToolCommand(craft, kBurstDrive, kToolBusy, 0, &busy) && busy;
}

void Launch(MV2Object* ramp, MV2LeapRamp* d, MV2Object* craft) {
    if (!craft || MV2TypeOf(craft) != kLaunchedType || !craft->overrideHandler ||
        craft->overrideHandler == MV2LeapFlightHandler || !craft->matrix)
        return;
    const TvMatrix* m = ramp->matrix;
    TvV3d v = TvV3dScale(craft->matrix->at, -1.0f);
    v.y = 0.0f;
    v = MV2Unit(v);
    if (TvV3dDot(m->at, v) < 0.95f || TvV3dDot(d->launchDirection, v) > 0.95f) return;
    if (craft == MV2GetPlayerObject()) {
        if (!BurstDriveRunning(craft)) return;
        if (MV2Length(d->lastPlayerVelocity) < 0.3f ||
            TvV3dDot(d->launchDirection, MV2Unit(d->lastPlayerVelocity)) < 0.78f)
            return;
        if ((MV2GetCurrentLevelId() >> 24) == 1) {
            MV2CallMissionScript(kLeapScriptRow, ramp, 15, reinterpret_cast<intptr_t>(craft), 0);
            return;
        }
    }
    if (d->filter && !d->filter(ramp, craft)) return;
    MV2LeapFlight* slot = FlightOf(nullptr);
    if (!slot) return;
    const TvV3d velocity{-m->at.x * 0.8f, 0.707f * 0.8f, -m->at.z * 0.8f};
    if (craft->body) craft->body->velocity = velocity;
    slot->craft = craft;
    slot->velocityX = velocity.x;
    slot->velocityZ = velocity.z;
    slot->previous = craft->overrideHandler;
    craft->overrideHandler = MV2LeapFlightHandler;
}

intptr_t Fly(MV2Object* craft, MV2LeapFlight* flight, intptr_t p1, intptr_t p2) {
    TvMatrix* m = craft->matrix;
    if (MV2Body* body = craft->body) {
        body->velocity.x = flight->velocityX;
        body->velocity.z = flight->velocityZ;
        if (SurfaceAt(m->pos) <= m->pos.y) {
            body->velocity.y -= MV2FrameStep() * 0.03f;
            const float pitch = TvV3dDot(m->up, MV2Unit(body->velocity)) * MV2FrameStep() * -5.0f;
            MV2RotateMatrixInPlace(m, &m->right, pitch, 2);
            MV2SyncObjectFrame(craft);
        } else {
            Land(craft, flight);
        }
    } else {
        Land(craft, flight);
    }
    return MV2ObjectDefaultHandler(craft, 2, p1, p2);
}

} // namespace

intptr_t MV2LeapFlightHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    MV2LeapFlight* flight = FlightOf(object);
    if (!flight) {
        // A craft that lost its slot (a level reset) goes back to its type handler.
        MV2ObjectDefaultHandler(object, 31, 0, 0);
        return object->typeHandler ? object->typeHandler(object, message, p1, p2) : 0;
    }
    switch (message) {
    case 2: return Fly(object, flight, p1, p2);
    case 18: Land(object, flight); return 1;
    case 75: return 1;
    case 4: {
        // Destroyed in flight: the slot is freed before the craft's own handler sees it.
        const MV2ObjectHandler previous = flight->previous;
        Land(object, flight);
        return previous && previous(object, message, p1, p2) ? 1 : 0;
    }
    default: return flight->previous && flight->previous(object, message, p1, p2) ? 1 : 0;
    }
}

intptr_t MV2LeapRampHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2LeapRamp));
    MV2LeapRamp* d = Ramp(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2: return Update(object, d);
    case 3: return Create(object, d, p1, p2);
    case 12:
        if (p2) d->filter = reinterpret_cast<MV2LeapFilter>(p2);
        return 1;
    case 14: {
        auto* other = reinterpret_cast<MV2Object*>(p2);
        if (other && other == MV2GetPlayerObject() && other->body)
            d->lastPlayerVelocity = other->body->velocity;
        break;
    }
    case 19: Launch(object, d, reinterpret_cast<MV2Object*>(p2)); return 1;
    case 33:
        if (p2) d->userValue = p2;
        return 1;
    case 34:
        if (p2) *reinterpret_cast<intptr_t*>(p2) = d->userValue;
        return 1;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

const MV2LeapFlight* MV2GetLeapFlights() {
    return g_flights;
}

void MV2ResetLeapRamps() {
    for (MV2LeapFlight& f : g_flights)
        f = MV2LeapFlight{};
}

void MV2RegisterLeapRampHandlers() {
    MV2SetObjectTypeHandler(324, MV2LeapRampHandler);
}
