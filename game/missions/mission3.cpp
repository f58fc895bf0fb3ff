// Mission row 3: the cargo escort. A sick drone carries a cargo from mining site 3 to a
// destination and unloads it there; the player brings it to the city drop point with the
// magnet while a pirate craft attacks. A city drone reaching the cargo wins.
#include <cstdint>
#include <initializer_list>

#include "game/creatures/drones.h"
#include "game/creatures/subai.h"
#include "game/effects/explosions.h"
#include "game/frontend/hud.h"
#include "game/missions/missionflow.h"
#include "game/missions/missionhelpers.h"
#include "game/missions/missionscripts.h"
#include "game/missions/missiontimers.h"
#include "game/missions/mining.h"
#include "game/missions/scriptevents.h"
#include "game/objects/levels.h"
#include "game/objects/objects.h"
#include "game/objects/objecttypes.h"
#include "engine/world/random.h"
#include "game/objects/utilities.h"
#include "game/player/playercraft.h"
#include "game/player/targetgroups.h"
#include "shell/cdaudio.h"

namespace {

constexpr int32_t kRow = 3;
constexpr uint32_t kRecord = 0x8FFFF;
constexpr int32_t kDestinationId = 0x80000, kAmbushId = 0x80001, kDroneStartId = 0x80002;
constexpr int32_t kStationId = 0x2003C, kSignId = 0x20000;
constexpr int32_t kDroneType = 44, kCargoType = 45, kPirateType = 56;
constexpr int32_t kPeriod = 180; // seconds
constexpr int32_t kEnd = 3;
constexpr int32_t kWaitSite = 256, kWaitAssigned = 257, kWaitUnload = 258, kWaitPickup = 259,
                  kWaitHold = 260, kWaitDelivery = 261, kLevelOff = 262, kAttackerWatch = 263,
                  kSickDrone = 264;

struct Mission3 {
    MV2ObjectRef drone, cargo, attacker;
    MV2Object* destination;
    MV2Object* station;
    int32_t cargoTargeted;
    int32_t ambushCreated;
};
Mission3 g = {};

MV2Object* Live(MV2ObjectRef& ref) {
    return ref.object && MV2ObjectHandleAlive(ref.handle) ? ref.object : nullptr;
}

const float* PositionOf(MV2Object* object) {
    return object && object->matrix ? &object->matrix->pos.x : nullptr;
}

void ClearFlags() {
    g.cargoTargeted = 0;
    g.ambushCreated = 0;
    g.attacker = {};
}

// A new cargo registered for the drone's arrival; a cargo of an earlier run gives up its slot.
void MakeCargo(const float* at) {
    if (MV2Object* old = Live(g.cargo)) MV2MissionWaitSlotOp(intptr_t(old), kMV2WaitRemove);
    g.cargo = {};
    MV2Object* cargo = at ? MV2CreateObject(kCargoType, at, nullptr) : nullptr;
    if (!cargo) return;
    g.cargo = {cargo, cargo->handle};
    MV2ObjectSendMessage(cargo, 0, 1, 0);
    MV2MissionWaitSlotOp(intptr_t(cargo), kMV2WaitAdd);
}

MV2Object* MakeDrone(const float* at) {
    g.drone = {};
    MV2Object* drone = at ? MV2CreateObject(kDroneType, at, nullptr) : nullptr;
    if (!drone) return nullptr;
    g.drone = {drone, drone->handle};
    MV2ObjectSendMessage(drone, 29, 0, reinterpret_cast<intptr_t>(MV2DroneBrain));
    return drone;
}

// Messages 597 and 598, then the pickup watch; 598 repeats.
void BriefPickup() {
    MV2MissionSetTimer(kRow, kSickDrone, 1000);
    const int32_t first = int32_t(MV2PlayMissionMessage(597));
    const int32_t both = MV2MissionQueueMessage(kRow, 598, first);
    MV2MissionSetTimer(kRow, kWaitPickup, both + 500);
    MV2MissionSetPeriodicMessage(598, kPeriod);
}

bool CargoHeld() {
    MV2Object* cargo = Live(g.cargo);
    intptr_t held = 0;
    MV2MissionToolCommand(MV2GetPlayerObject(), 0, 34, 0, &held);
    return cargo && reinterpret_cast<MV2Object*>(held) == cargo;
}

void CreateAmbush() {
    if (g.ambushCreated) return;
    g.ambushCreated = 1;
    MV2Object* mark = MV2FindObjectByWorldID(kAmbushId);
    if (!mark || !mark->matrix) return;
    TvV3d at;
    MV2RandomDirection(&at);
    at = TvV3dAdd(at, mark->matrix->pos);
    MV2Object* pirate = MV2CreateObject(kPirateType, &at.x, nullptr);
    if (!pirate) return;
    MV2SubAIOrderAttack(pirate, MV2GetPlayerObject(), 1);
    if (MV2SubAIData* ai = MV2GetSubAIData(pirate)) ai->passivity = 2;
    MV2ObjectSendMessage(pirate, 21, 0, 0);
    g.attacker = {pirate, pirate->handle};
    MV2MissionAttachObject(kRow, pirate);
    MV2MissionSetTimer(kRow, kAttackerWatch, 1000);
}

// The cargo is gone: the mission is lost, and the city still leads on to the next row.
void CargoLost(bool objectiveOff) {
    const int32_t first = int32_t(MV2PlayMissionMessage(619));
    const int32_t both = MV2MissionQueueMessage(kRow, 676, first);
    if (MV2Object* attacker = Live(g.attacker)) MV2SubAIOrderAttack(attacker, MV2GetPlayerObject(), 1);
    if (objectiveOff) MV2HudSetObjective(nullptr);
    MV2MissionSetTimer(kRow, kEnd, both + 500);
    MV2HudShowResultBanner(0);
    MV2MissionSetPeriodicMessage(-1, 0);
}

void GoForDropPoint() {
    CreateAmbush();
    MV2HudSetObjective(MV2FindObjectByScriptID(kSignId));
}

void SickDrone() {
    MV2Object* drone = Live(g.drone);
    if (!drone || !drone->matrix || MV2ObjectDistance(nullptr, drone) >= 20.0f) return;
    TvV3d at;
    MV2RandomDirection(&at);
    at = TvV3dAdd(TvV3dScale(at, 0.3f), drone->matrix->pos);
    MV2CreateExplosion(&at.x, 0.3f, 0.0f, nullptr, 3, 16);
    const float initial = drone->type ? MV2TypeFloat(drone->type, 1) : 0.0f;
    drone->energy -= MV2RandomUnit() * initial / 30.0f;
    if (drone->energy >= 0.0f) MV2MissionSetTimer(kRow, kSickDrone, TvRandom() % 2000);
}

void Start() {
    MV2SpawnLevelRecord(kRecord, kRow);
    g.destination = MV2FindObjectByWorldID(kDestinationId);
    ClearFlags();
    MV2MissionBegin(kRow, 1);
    MakeCargo(PositionOf(g.destination));
    MV2Object* mark = MV2FindObjectByWorldID(kDroneStartId);
    if (MV2Object* drone = MakeDrone(PositionOf(mark)); drone && g.destination)
        MV2SubAIOrderGoTo(drone, g.destination, 2.0f);
    MV2HudSetObjective(Live(g.drone));
    BriefPickup();
}

void Restart() {
    MV2SpawnLevelRecord(kRecord, kRow);
    g.destination = MV2FindObjectByWorldID(kDestinationId);
    ClearFlags();
    MV2MissionBegin(kRow, 1);
    g.station = MV2FindObjectByWorldID(kStationId);
    MV2MissionSetTimer(kRow, kWaitSite, 1000);
}

// The drone fetches a new cargo from the site's station.
void LoadAtSite() {
    if (MV2MiningGetSiteState(g.station) >= 2) {
        MV2MissionSetTimer(kRow, kWaitSite, 1000);
        return;
    }
    const float* at = PositionOf(g.station);
    MakeCargo(at);
    if (MV2Object* drone = MakeDrone(at)) {
        if (MV2Object* cargo = Live(g.cargo))
            MV2ObjectSendMessage(drone, 38, 0, reinterpret_cast<intptr_t>(cargo));
        if (g.station) {
            const int32_t site = int32_t(MV2ObjectSendMessage(g.station, 55, 0, 0));
            MV2MiningAssignCraft(site, drone);
        }
    }
    MV2MissionSetTimer(kRow, kWaitAssigned, 10000);
}

void WaitUnload() {
    MV2Object* drone = Live(g.drone);
    if (drone && MV2ObjectSendMessage(drone, 54, 0, 0) == 0) drone->energy = -1.0f;
    if (!Live(g.drone)) {
        MV2HudSetObjective(Live(g.cargo));
        BriefPickup();
        return;
    }
    if (MV2ObjectDistanceSquared(drone, g.destination) >= 400.0) {
        MV2MissionSetTimer(kRow, kWaitUnload, 1000);
        return;
    }
    MV2ObjectSendMessage(drone, 39, 0, 0);
    MV2HudSetObjective(drone);
    BriefPickup();
}

void WaitPickup() {
    if (MV2Object* drone = Live(g.drone); drone && MV2ObjectDistance(nullptr, drone) < 10.0f) {
        MV2MissionSetTimer(kRow, kWaitHold, int32_t(MV2PlayMissionMessage(600)) + 500);
        MV2MissionSetPeriodicMessage(600, kPeriod);
        CreateAmbush();
    } else if (!Live(g.cargo)) {
        CargoLost(false);
    } else if (CargoHeld()) {
        GoForDropPoint();
        MV2MissionSetTimer(kRow, kWaitDelivery, int32_t(MV2PlayMissionMessage(606)) + 500);
        MV2MissionSetPeriodicMessage(606, kPeriod);
    } else {
        MV2MissionSetTimer(kRow, kWaitPickup, 1000);
    }
}

void WaitHold() {
    if (!Live(g.cargo)) {
        CargoLost(false);
    } else if (CargoHeld()) {
        GoForDropPoint();
        const int32_t wait = g.cargoTargeted ? 1000 : int32_t(MV2PlayMissionMessage(606)) + 500;
        MV2MissionSetTimer(kRow, kWaitDelivery, wait);
        MV2MissionSetPeriodicMessage(606, kPeriod);
    } else {
        if (MV2GetTargetedObject() == Live(g.cargo)) g.cargoTargeted = 1;
        CreateAmbush();
        MV2MissionSetTimer(kRow, kWaitHold, 1000);
    }
}

void WaitDelivery() {
    if (MV2Object* cargo = Live(g.cargo); cargo && MV2MissionWaitSlotOp(intptr_t(cargo), kMV2WaitQuery)) {
        const int32_t shown = int32_t(MV2PlayMissionMessage(608));
        MV2MissionQueueMessage(kRow, 917, shown);
        MV2HudSetObjective(nullptr);
        MV2MissionSetTimer(kRow, kEnd, shown + 500);
        MV2HudShowResultBanner(1);
        MV2MissionSetPeriodicMessage(-1, 0);
    } else if (!cargo) {
        CargoLost(true);
    } else {
        MV2MissionSetTimer(kRow, kWaitDelivery, 1000);
    }
}

void WatchAttacker() {
    MV2Object* attacker = Live(g.attacker);
    MV2Object* player = MV2GetPlayerObject();
    if (!attacker || !player || MV2ObjectDistanceSquared(attacker, player) >= 2500.0) {
        MV2MissionSetTimer(kRow, kAttackerWatch, 1000);
        return;
    }
    MV2MissionQueueMessage(kRow, 916, int32_t(MV2PlayMissionMessage(915)));
    MV2PlayMusicTrack(12);
}

} // namespace

int32_t MV2Mission3Script(MV2Object* object, int32_t message, intptr_t a, intptr_t) {
    switch (message) {
    case kMV2ScriptStart: Start(); break;
    case kMV2ScriptRestart: Restart(); break;
    case kWaitSite: LoadAtSite(); break;
    case kWaitAssigned:
        if (MV2MiningGetSiteState(g.station) == 3) {
            MV2MissionSetTimer(kRow, kWaitAssigned, 1000);
            break;
        }
        if (MV2Object* drone = Live(g.drone); drone && g.destination)
            MV2SubAIOrderGoTo(drone, g.destination, 2.0f);
        MV2MissionSetTimer(kRow, kWaitUnload, 5000);
        break;
    case kWaitUnload: WaitUnload(); break;
    case kWaitPickup: WaitPickup(); break;
    case kWaitHold: WaitHold(); break;
    case kWaitDelivery: WaitDelivery(); break;
    case kLevelOff:
        if (MV2Object* drone = Live(g.drone)) MV2SubAIOrderLevelOff(drone);
        break;
    case kAttackerWatch: WatchAttacker(); break;
    case kSickDrone: SickDrone(); break;
    case kEnd:
        MV2LockNearestTarget();
        if (MV2Object* cargo = Live(g.cargo)) MV2MissionWaitSlotOp(intptr_t(cargo), kMV2WaitRemove);
        MV2MissionInstallNotify(kRow, 7);
        MV2MissionPurgeTimers(kRow);
        break;
    case kMV2ScriptEvent:
        if (a == 7) {
            MV2MissionRemoveNotify(kRow, 7);
            if (MV2Object* drone = Live(g.drone)) MV2ObjectSendMessage(drone, 4, 0, 0);
            MV2MissionRestart(4);
        }
        break;
    case 10: // an owned object is being destroyed
        if (object && object == Live(g.attacker)) MV2FadeMusic(0.0f, 3.0f);
        break;
    default: break;
    }
    return 1;
}
