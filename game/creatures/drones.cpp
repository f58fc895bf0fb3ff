// The drone brain, the drone station and the pick-up of a station by a carrying craft.
#include "game/creatures/drones.h"

#include <algorithm>
#include <cmath>

#include "engine/core/frame.h"
#include "engine/world/clump.h"
#include "engine/world/world.h"
#include "game/creatures/creaturemath.h"
#include "game/creatures/subai.h"
#include "game/creatures/submarines.h"
#include "game/effects/effects.h"
#include "game/missions/missions.h"
#include "game/objects/budgets.h"
#include "game/objects/camera.h"
#include "game/objects/clumpdata.h"
#include "game/objects/dynamics.h"
#include "game/objects/objectsounds.h"
#include "game/objects/utilities.h"
#include "game/player/player.h"

namespace {

constexpr uint16_t kEmpty = 461;
const TvV3d kAxisY{0.0f, 1.0f, 0.0f};

TvFreeList* g_drones = nullptr;
// The level's two drone stations.
MV2ObjectRef g_stations[2];
// The player's camera mode kept while the player carries a station.
int32_t g_savedCameraMode = 0;
// The station whose update runs, and the last object its lift scan met.
MV2Object* g_updating = nullptr;
MV2Object* g_touching = nullptr;

MV2Drone* Station(MV2Object* object) {
    return object && MV2TypeOf(object) == 65 ? static_cast<MV2Drone*>(object->privateData) : nullptr;
}

void ZeroMotion(MV2Object* object) {
    if (object->body) {
        object->body->velocity = {};
        object->body->angularVelocity = {};
    }
}

void Place(MV2Object* object, const TvV3d& at) {
    object->matrix->pos = at;
    MV2SyncObjectFrame(object);
}

// Brain update: docking phases and the carried object.
void BrainUpdate(MV2Object* craft, MV2DroneBrainData* d) {
    MV2SubAICommand* frame = MV2SubAIGetCommand(craft);
    if (frame && frame->code == kMV2SubAIGoTo && frame->goTo.phase == 3) {
        MV2Object* target = MV2SubAICommandGetTarget(frame);
        if (target && MV2TypeOf(target) == 43 && MV2MiningDockCraft(target, craft)) {
            d->phase = 0;
            d->dock = target;
            d->held = craft->matrix->pos;
            MV2SubAISetIdle(craft);
        }
    }
    frame = MV2SubAIGetCommand(craft);
    if (frame && frame->code == kMV2SubAIIdle && d->dock && d->dock->matrix) {
        const TvV3d dock = d->dock->matrix->pos;
        switch (d->phase) {
        case 0: {
            const TvV3d target = TvV3dAdd(dock, {0.0f, 2.0f, 0.0f});
            const TvV3d e = TvV3dSub(d->held, target);
            d->held = TvV3dSub(d->held, TvV3dScale(e, 0.05f));
            if (TvV3dDot(e, e) < 0.01f) {
                d->phase = 1;
                MV2ObjectSendMessage(d->dock, 33, 1, 0);
            }
            break;
        }
        case 1: {
            MV2ObjectSendMessage(craft, 8, 0, 0);
            const float e = d->held.y - (dock.y - 2.0f);
            d->held.y -= 0.01f * e;
            if (e < 0.1f) {
                MV2ObjectSendMessage(d->dock, 33, 0, 0);
                d->phase = 4;
                MV2MiningStartLoading(d->dock);
            }
            break;
        }
        case 2: {
            const float e = (dock.y + 2.0f) - d->held.y;
            d->held.y += 0.01f * e;
            if (e < 0.1f) {
                MV2MiningReleaseSite(d->dock);
                MV2ObjectSendMessage(d->dock, 33, 0, 0);
                MV2SubAIOrderCityRoute(craft, 3);
            }
            break;
        }
        case 3:
            d->phase = 2;
            d->held = TvV3dAdd(dock, {0.0f, -2.0f, 0.0f});
            MV2ObjectSendMessage(d->dock, 33, 1, 0);
            break;
        default: break;
        }
        Place(craft, d->held);
        ZeroMotion(craft);
    }
    const float initial = MV2InitialEnergy(craft);
    if (d->cargoLevel < 0.25f || craft->energy <= 0.5f * initial)
        MV2ObjectSendMessage(craft, 39, 0, 0);
    if (MV2Object* carried = MV2GetObjectRef(&d->carried)) {
        TvMatrix* m = carried->matrix;
        const TvMatrix* c = craft->matrix;
        m->right = c->right;
        m->up = c->up;
        m->at = c->at;
        const TvV3d at = TvV3dAdd(c->pos, {0.0f, -0.4f, 0.0f});
        Place(carried, at);
        carried->previousPosition = at;
        ZeroMotion(carried);
    }
}

bool InReach(MV2Object* drone, MV2Object* object) {
    if (!object || !object->matrix) return false;
    const TvMatrix* m = drone->matrix;
    const TvV3d d = TvV3dSub(object->matrix->pos, m->pos);
    const float above = TvV3dDot(d, m->up);
    const float x = TvV3dDot(d, m->right), z = TvV3dDot(d, m->at);
    return above > -1.0f && above < 6.0f && x * x + z * z < 4.0f;
}

void RaiseOnto(MV2Object* drone, MV2Object* object, float height) {
    TvV3d& p = object->matrix->pos;
    const TvV3d& base = drone->matrix->pos;
    if (std::fabs(p.x - base.x) < 2.0f && std::fabs(p.z - base.z) < 2.0f && p.y < base.y + height) {
        p.y = base.y + height;
        MV2SyncObjectFrame(object);
    }
}

void SetLift(MV2Drone* d) {
    if (!d->lift) return;
    TvFrameGetMatrix(d->lift)->pos.y = d->liftRest + d->liftHeight;
    TvFrameUpdateObjects(d->lift);
}

void LiftSound(MV2Object* drone, MV2Drone* d, bool on) {
    const int32_t sound = MV2CreatureSound("LIFT");
    if (on)
        MV2StartObjectSound(drone, sound, &d->liftSound, uint32_t(-400), 0);
    else if (d->liftSound)
        MV2StopObjectSound(drone, sound, &d->liftSound);
}

void TurnClaws(MV2Drone* d, float degrees) {
    for (TvFrame* claw : d->claws)
        if (claw) {
            MV2RotateMatrixInPlace(TvFrameGetMatrix(claw), &kAxisY, degrees, 1);
            TvFrameUpdateObjects(claw);
        }
}

void CloseClaws(MV2Drone* d) {
    if (d->clawAngle >= 60.0f) return;
    const float turn = std::min(MV2FrameStep() * 5.0f, 60.0f - d->clawAngle);
    d->clawAngle += turn;
    TurnClaws(d, turn);
}

// The lift sinks toward its rest height; answers true on arriving.
bool SinkLift(MV2Object* drone, MV2Drone* d) {
    d->liftHeight -= MV2FrameStep() * 0.005f;
    if (d->liftHeight > 0.0f) {
        LiftSound(drone, d, true);
        SetLift(d);
        return false;
    }
    d->liftHeight = 0.0f;
    SetLift(d);
    LiftSound(drone, d, false);
    return true;
}

void TakeIn(MV2Object* drone, MV2Drone* d, MV2Object* object) {
    d->cargoIndex = (d->cargoIndex + 1) % kMV2DroneCargo;
    d->cargo[d->cargoIndex] = uint16_t(MV2TypeOf(object));
    d->cargoCount = std::min(d->cargoCount + 1, kMV2DroneCargo);
    MV2AddObjectClassWeights(object);
    // The mission's wait slots hold the object itself.
    MV2SetMissionSlotDone(reinterpret_cast<intptr_t>(object));
    MV2RaiseScriptEvent(21, object, drone);
    MV2ObjectSendMessage(object, 4, 1, 0);
}

void DestroySpawned(MV2Drone* d) {
    for (MV2ObjectRef& ref : d->spawned) {
        if (MV2Object* o = MV2GetObjectRef(&ref)) MV2ObjectSendMessage(o, 4, 1, 0);
        MV2ClearObjectRef(&ref);
    }
    d->spawnCount = 0;
}

void StationUpdate(MV2Object* drone, MV2Drone* d) {
    g_updating = drone;
    g_touching = nullptr;
    if (TpWorld* world = TpWorldGetCurrent()) {
        const TvV3d centre = drone->matrix->pos;
        MV2ForAllAtomicsInSphere(world, &centre, 2.5f, MV2DroneLiftScan, nullptr);
    }
    MV2Object* touching = g_touching;
    g_updating = g_touching = nullptr;
    if (MV2Object* player = MV2GetPlayerObject(); player && player->matrix) {
        const TvV3d& p = player->matrix->pos;
        const TvV3d& b = drone->matrix->pos;
        if (std::fabs(p.x - b.x) < 2.0f && std::fabs(p.z - b.z) < 2.0f) {
            MV2SendToolCommand(player, 0, 34, 0, nullptr);
            RaiseOnto(drone, player, 1.5f);
        }
    }
    MV2Object* held = MV2GetObjectRef(&d->held);
    if (d->state == kMV2DroneHolding) {
        if (held && InReach(drone, held)) {
            if (held != touching) d->state = kMV2DroneLowering;
        } else {
            MV2ClearObjectRef(&d->held);
            d->state = kMV2DroneOpening;
        }
    } else if (d->state == kMV2DroneWaiting && !held && touching && InReach(drone, touching)) {
        const uint32_t flag = d->mode == 1 ? 0x100u : 0x200u;
        if (touching->flags & flag) {
            MV2SetObjectRef(&d->held, touching);
            d->state = kMV2DroneClosing;
            const MV2Point3 at = MV2Point(drone->matrix->pos);
            MV2SpawnBubbles(at.v, 1.0f);
        }
    }
    held = MV2GetObjectRef(&d->held);
    const float step = MV2FrameStep();
    switch (d->state) {
    case kMV2DroneClosing:
        CloseClaws(d);
        if (d->liftHeight < 0.5f) {
            d->liftHeight = std::min(d->liftHeight + step * 0.2f, 0.5f);
            SetLift(d);
            LiftSound(drone, d, d->liftHeight < 0.5f);
        }
        if (d->clawAngle >= 60.0f) d->state = kMV2DroneHolding;
        break;
    case kMV2DroneOpening: {
        const float turn = std::min(step * 5.0f, d->clawAngle);
        d->clawAngle -= turn;
        TurnClaws(d, -turn);
        if (d->clawAngle > 0.0f) break;
        d->clawAngle = 0.0f;
        for (int32_t i = 0; i < kMV2DroneClaws; ++i)
            if (d->claws[i]) {
                *TvFrameGetMatrix(d->claws[i]) = d->clawRest[i];
                TvFrameUpdateObjects(d->claws[i]);
            }
        d->liftHeight = 0.0f;
        SetLift(d);
        LiftSound(drone, d, false);
        d->state = kMV2DroneWaiting;
        if (held && InReach(drone, held)) TakeIn(drone, d, held);
        MV2ClearObjectRef(&d->held);
        DestroySpawned(d);
        break;
    }
    case kMV2DroneLowering:
        if (held && InReach(drone, held)) {
            if (SinkLift(drone, d)) d->state = kMV2DroneOpening;
        } else {
            MV2ClearObjectRef(&d->held);
            LiftSound(drone, d, false);
            d->state = kMV2DroneOpening;
        }
        break;
    case kMV2DroneLoaded:
        CloseClaws(d);
        d->liftHeight += step * 0.005f;
        if (d->liftHeight >= 0.5f) {
            d->liftHeight = 0.5f;
            LiftSound(drone, d, false);
            d->state = kMV2DroneDelivered;
        } else {
            LiftSound(drone, d, true);
        }
        SetLift(d);
        break;
    case kMV2DroneDelivered:
        if (!held || !InReach(drone, held) || held == touching) {
            MV2ClearObjectRef(&d->held);
            d->state = kMV2DroneOpening;
        }
        break;
    case kMV2DronePickedUp:
        if (SinkLift(drone, d)) d->state = kMV2DroneOpening;
        break;
    default: break;
    }
}

// Counts (and clears) cargo entries: modes 0 and 1 of one type, 3 and 4 all; modes 1, 2 and 4
// then empty the table.
int32_t CountCargo(MV2Drone* d, intptr_t mode, int32_t type) {
    int32_t count = 0;
    for (uint16_t& entry : d->cargo) {
        if (entry == kEmpty) continue;
        const bool match = (mode == 0 || mode == 1) ? entry == type : (mode == 3 || mode == 4);
        if (match) {
            ++count;
            entry = kEmpty;
        }
    }
    if (mode == 1 || mode == 2 || mode == 4) {
        for (uint16_t& entry : d->cargo)
            entry = kEmpty;
        d->cargoCount = 0;
    }
    return count;
}

// Gives the carrier back what it had before the pick-up.
void EndPickUp(MV2Drone* d, MV2Object* carrier) {
    if (carrier == MV2GetPlayerObject()) {
        MV2ObjectSendMessage(carrier, 31, 0, 0);
        if (d->savedBrain)
            MV2ObjectSendMessage(carrier, 29, 0, reinterpret_cast<intptr_t>(d->savedBrain));
        MV2SetCameraMode(g_savedCameraMode);
        MV2SetLetterbox(0);
    } else {
        carrier->overrideHandler = d->savedBrain;
    }
    MV2ClearObjectRef(&d->carrier);
    d->savedBrain = nullptr;
}

intptr_t CarryUpdate(MV2Object* carrier, MV2Object* drone, MV2Drone* d) {
    if (d->state == kMV2DroneHolding) d->state = kMV2DronePickedUp;
    if (auto* sub = static_cast<MV2SubData*>(carrier->privateData)) sub->thrust *= 0.1f;
    const TvV3d target = TvV3dAdd(drone->matrix->pos, {0.0f, 2.5f, 0.0f});
    const TvV3d e = TvV3dSub(target, d->heldPosition);
    ZeroMotion(carrier);
    d->heldPosition = TvV3dAdd(d->heldPosition, TvV3dScale(e, MV2FrameStep() * 0.05f));
    Place(carrier, d->heldPosition);
    if (TvV3dDot(e, e) >= 0.01f) return 1;
    if (d->spawnCount >= kMV2DroneSpawns) {
        MV2SendToolCommand(carrier, 5, 39, 0, nullptr);
        EndPickUp(d, carrier);
        return 1;
    }
    d->spawnTimer -= MV2FrameSeconds();
    if (d->spawnTimer >= 0.0f) return 1;
    d->spawnTimer += 0.1f;
    intptr_t type = kEmpty;
    MV2SendToolCommand(carrier, 5, 34, d->spawnCount, &type);
    if (type != kEmpty) {
        const MV2Point3 at = MV2Point(carrier->matrix->pos);
        if (MV2Object* o = MV2CreateObject(int32_t(type), at.v, nullptr)) {
            MV2SetObjectRef(&d->spawned[d->spawnCount], o);
            MV2ObjectSendMessage(o, 24, 1, 0);
            const TvV3d force{(float(MV2RandomBits(4095)) - 2047.5f) / 16384.0f, -0.5f,
                              (float(MV2RandomBits(4095)) - 2047.5f) / 16384.0f};
            MV2AddForce(o, &force);
            const TvV3d torque = TvV3dScale(o->matrix->up, (MV2RandomUnit() - 1.0f) * 1.5f);
            const TvV3d point = TvV3dAdd(o->matrix->pos, o->matrix->at);
            MV2AddTorque(o, &torque, &point);
        }
    }
    ++d->spawnCount;
    return 1;
}

} // namespace

intptr_t MV2DroneBrain(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    auto* d = static_cast<MV2DroneBrainData*>(message == 32 ? nullptr : MV2GetLayeredData(object));
    switch (message) {
    case 2:
        if (d) BrainUpdate(object, d);
        break;
    case 4:
        MV2ObjectSendMessage(object, 39, 0, 0);
        MV2FreeLayeredData(object, g_drones, d);
        if (object->typeHandler) object->typeHandler(object, 31, 0, 0);
        break;
    case 12:
        if (d && p2) d->cargoLevel = *reinterpret_cast<const float*>(p2);
        return 1;
    case 13:
        if (d && p2) *reinterpret_cast<float*>(p2) = d->cargoLevel;
        return 1;
    case 14: {
        MV2Object* carried = d ? MV2GetObjectRef(&d->carried) : nullptr;
        return carried && reinterpret_cast<MV2Object*>(p2) == carried ? 0 : 1;
    }
    case 32:
        d = static_cast<MV2DroneBrainData*>(MV2AllocLayeredData(
            object, &g_drones, sizeof(MV2DroneBrainData), 10, "Cannot create freelist for drone"));
        if (!d) return 0;
        d->cargoLevel = 1.0f;
        d->initialSupply = 5000000;
        MV2ObjectSendMessage(object, 0, 1, 0);
        return 1;
    case 38: {
        auto* carried = reinterpret_cast<MV2Object*>(p2);
        if (!d || !carried) return 0;
        MV2SetObjectRef(&d->carried, carried);
        MV2ObjectSendMessage(carried, 15, 0, reinterpret_cast<intptr_t>(object));
        return 1;
    }
    case 39: {
        MV2Object* carried = d ? MV2GetObjectRef(&d->carried) : nullptr;
        if (p2) *reinterpret_cast<MV2Object**>(p2) = carried;
        if (!carried) return 0;
        MV2ClearObjectRef(&d->carried);
        return 1;
    }
    case 40:
        if (!d) return 1;
        MV2SubAISetIdle(object);
        d->phase = 3;
        d->dock = reinterpret_cast<MV2Object*>(p2);
        return 1;
    case 54:
        if (p2) *reinterpret_cast<MV2Object**>(p2) = d ? MV2GetObjectRef(&d->carried) : nullptr;
        return 1;
    default: break;
    }
    return MV2SubAIBrain(object, message, p1, p2) ? 1 : 0;
}

int32_t MV2DronePickUp(MV2Object* drone, MV2Object* carrier) {
    MV2Drone* d = Station(drone);
    if (!d || !carrier || d->state != kMV2DroneWaiting) return 0;
    MV2SetObjectRef(&d->carrier, carrier);
    d->savedBrain = carrier->overrideHandler;
    DestroySpawned(d);
    d->spawnTimer = 0.1f;
    d->heldPosition = carrier->matrix->pos;
    d->state = kMV2DroneClosing;
    if (carrier == MV2GetPlayerObject()) {
        MV2ObjectSendMessage(carrier, 31, 0, 0);
        MV2ObjectSendMessage(carrier, 29, 0, reinterpret_cast<intptr_t>(MV2DroneCarryHandler));
        g_savedCameraMode = MV2GetCameraMode();
        MV2SetCameraMode(0);
        MV2SetLetterbox(3);
        TvMatrix view = *carrier->matrix;
        view.pos = TvV3dSub(view.pos, view.at);
        MV2SetCameraMatrix(&view);
    } else {
        carrier->overrideHandler = MV2DroneCarryHandler;
    }
    return 1;
}

intptr_t MV2DroneCarryHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    MV2Object* drone = nullptr;
    for (MV2ObjectRef& slot : g_stations)
        if (MV2Object* s = MV2GetObjectRef(&slot))
            if (MV2Drone* d = Station(s); d && MV2GetObjectRef(&d->carrier) == object) drone = s;
    if (message == 14 && p2 && MV2ObjectSendMessage(reinterpret_cast<MV2Object*>(p2), 70, 0, 0))
        return 0;
    const intptr_t result = object->typeHandler ? object->typeHandler(object, message, p1, p2) : 0;
    if (!result) return 0;
    if (message == 2 && drone && MV2ObjectHandleAlive(object->handle))
        CarryUpdate(object, drone, Station(drone));
    return result;
}

MV2Object* MV2GetNearestDrone(MV2Object* object) {
    MV2Object* a = MV2GetObjectRef(&g_stations[0]);
    MV2Object* b = MV2GetObjectRef(&g_stations[1]);
    if (!a || !object) return b;
    if (!b) return a;
    return MV2ObjectDistanceSquared(object, a) < MV2ObjectDistanceSquared(object, b) ? a : b;
}

MV2Object* MV2FindDroneInReach(MV2Object* object) {
    if (!object) return nullptr;
    intptr_t able = 0;
    if (!MV2SendToolCommand(object, 5, 37, 0, &able) || !able) return nullptr;
    for (MV2ObjectRef& slot : g_stations) {
        MV2Object* s = MV2GetObjectRef(&slot);
        if (!s) continue;
        intptr_t state = 0;
        MV2ObjectSendMessage(s, 37, 0, reinterpret_cast<intptr_t>(&state));
        if (state == kMV2DroneWaiting && MV2ObjectDistanceSquared(object, s) < 70.4) return s;
    }
    return nullptr;
}

intptr_t MV2DroneHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2Drone));
    MV2Drone* d = static_cast<MV2Drone*>(object->privateData);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2:
        StationUpdate(object, d);
        return MV2ObjectDefaultHandler(object, 2, p1, p2);
    case 3: {
        const intptr_t result = MV2ObjectDefaultHandler(object, 3, p1, p2);
        *d = MV2Drone{};
        for (int32_t i = 0; i < kMV2DroneClaws; ++i) {
            d->claws[i] = object->clump ? MV2FindFrameByTag(object->clump, uint32_t(2 + i)) : nullptr;
            if (d->claws[i]) d->clawRest[i] = *TvFrameGetMatrix(d->claws[i]);
        }
        d->lift = object->clump ? MV2FindFrameByTag(object->clump, 10) : nullptr;
        d->liftRest = d->lift ? TvFrameGetMatrix(d->lift)->pos.y : 0.0f;
        for (uint16_t& entry : d->cargo)
            entry = kEmpty;
        d->state = kMV2DroneWaiting;
        for (MV2ObjectRef& slot : g_stations)
            if (!MV2GetObjectRef(&slot)) {
                MV2SetObjectRef(&slot, object);
                break;
            }
        MV2ObjectSendMessage(object, 0, 1, 0);
        return result;
    }
    case 4:
        if (MV2Object* carrier = MV2GetObjectRef(&d->carrier)) EndPickUp(d, carrier);
        LiftSound(object, d, false);
        return MV2ObjectDefaultHandler(object, 4, p1, p2);
    case 12: d->mode = uint32_t(p1); return 1;
    case 13:
        if (p2) *reinterpret_cast<intptr_t*>(p2) = intptr_t(d->liftSound);
        return 1;
    case 33: {
        auto* load = reinterpret_cast<MV2Object*>(p2);
        if (!load) return 1;
        MV2SetObjectRef(&d->held, load);
        const TvV3d on = d->lift ? TvFrameGetLTM(d->lift)->pos : object->matrix->pos;
        Place(load, TvV3dAdd(on, {0.0f, -1.0f, 0.0f}));
        d->state = kMV2DroneLoaded;
        return 1;
    }
    case 34: {
        auto* io = reinterpret_cast<intptr_t*>(p2);
        const int32_t count = CountCargo(d, p1, io ? int32_t(*io) : kEmpty);
        if (io) *io = count;
        return 1;
    }
    case 37:
        if (p2) *reinterpret_cast<intptr_t*>(p2) = d->state;
        return 1;
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

int32_t MV2DroneLiftScan(TpIntersection*, TpWorldSector*, TpAtomic* atomic, float, void*) {
    MV2Object* o = MV2GetClumpObject(TpAtomicGetClump(atomic));
    if (!o || !g_updating || o == g_updating) return 1;
    if (MV2TypeOf(o) == 96) RaiseOnto(g_updating, o, 2.0f);
    g_touching = o;
    return 1;
}

void MV2RegisterDroneHandlers() {
    MV2SetObjectTypeHandler(65, MV2DroneHandler);
}

void MV2ResetDrones() {
    for (MV2ObjectRef& slot : g_stations)
        MV2ClearObjectRef(&slot);
    g_savedCameraMode = 0;
    g_updating = g_touching = nullptr;
}

void MV2ShutdownDrones() {
    if (g_drones) TvFreeListDestroy(g_drones);
    g_drones = nullptr;
}
