#include "game/missions/city.h"

#include "engine/core/frame.h"
#include "engine/world/clump.h"
#include "engine/world/light.h"
#include "game/creatures/carrier.h"
#include "game/creatures/drones.h"
#include "game/creatures/repairdrone.h"
#include "game/creatures/subai.h"
#include "game/creatures/submarines.h"
#include "game/effects/effects.h"
#include "game/frontend/hud.h"
#include "game/missions/lightobject.h"
#include "game/missions/missionflow.h"
#include "game/missions/missionhelpers.h"
#include "game/missions/mining.h"
#include "game/missions/missionscripts.h"
#include "game/missions/scriptevents.h"
#include "game/objects/levels.h"
#include "game/objects/budgets.h"
#include "game/objects/camera.h"
#include "game/objects/objectsounds.h"
#include "game/objects/sky.h"
#include "game/player/player.h"
#include "game/player/playercraft.h"
#include "game/player/tools.h"
#include "shell/errors.h"
#include "shell/gamestate.h"

MV2CityBay gMV2CityBays[kMV2CityBays] = {
    {0x20020, {}, 0x2006E, nullptr, 0x20027, {}, 1, 0}, {0x2001F, {}, 0x2006F, nullptr, 0x20028, {}, 0, 0},
    {0x2001E, {}, 0x20070, nullptr, 0x20029, {}, 1, 0}, {0x2001D, {}, 0x20071, nullptr, 0x2002A, {}, 0, 0},
    {0x2001C, {}, 0x20072, nullptr, 0x2002B, {}, 1, 0}, {0x40039, {}, 0x2006D, nullptr, 0x40038, {}, 2, 0},
};
MV2City gMV2City = {};
MV2CityBrains gMV2CityBrains = {MV2DroneBrain, MV2RepairDroneBrain, MV2CarrierBrain};

namespace {

constexpr int32_t kExtraIds[4] = {0x20016, 0x20015, 0x2004C, 0x2004D};
constexpr int32_t kSignIds[2] = {0x20000, 0x2006C};
constexpr int32_t kCameraPoint = 0x40055;
constexpr int32_t kDroneType = 44, kRepairDroneType = 51, kCarrierType = 103, kCargoType = 45;
constexpr int32_t kDroneBay = 2, kRepairBay = 4;
constexpr int32_t kDoorSound = 101;
constexpr uint32_t kClockBit = 512;

uint32_t g_savedHudMode = 0;

const MV2CityRecord kInitialRecord = {
    0,
    {},
    1,
    {0, 0x20014, 0x2004E, 0x20001, 0x20003, 0x20002},
    {},
    {0x5000D, 0x5000C, 0x5003B, 0x5003C},
    {},
    {0x5001B, 0x5001C, 0x5001D, 0x5001E},
    {},
    0,
    {0x20014, 0x20013},
    {},
    {0x20010, 0x2000F},
    {},
    {0x20004, 0x20005},
    {},
    0,
};

int32_t TypeOf(const MV2Object* object) {
    return int32_t(object->typeWord & kMV2ObjectTypeMask);
}

MV2Object* Live(MV2ObjectRef& ref) {
    return MV2GetObjectRef(&ref);
}

void Keep(MV2ObjectRef& ref, MV2Object* object) {
    if (object)
        MV2SetObjectRef(&ref, object);
    else
        MV2ClearObjectRef(&ref);
}

// Resolves ids to objects; false when any is missing.
bool Resolve(const int32_t* ids, MV2Object** objects, int32_t count) {
    bool all = true;
    for (int32_t i = 0; i < count; ++i) {
        objects[i] = ids[i] ? MV2FindObjectByScriptID(ids[i]) : nullptr;
        if (ids[i] && !objects[i]) all = false;
    }
    return all;
}

MV2LightObjectData* LightData(MV2Object* light) {
    if (!light || light->typeHandler != MV2LightObjectHandler) return nullptr;
    return static_cast<MV2LightObjectData*>(light->privateData);
}

void SetGlow(MV2Object* light, bool on) {
    if (MV2LightObjectData* d = LightData(light)) d->flags = on ? d->flags | kMV2LightOn : d->flags & ~kMV2LightOn;
}

void SetRadius(MV2Object* light, float radius) {
    MV2LightObjectData* d = LightData(light);
    if (d && d->light) TpLightSetRadius(d->light, radius);
}

void SetLight(MV2Object* light, bool on) {
    SetGlow(light, on);
    SetRadius(light, on ? 1.0f : 0.1f);
}

// The four light set-ups; A1..A4 and B1..B4 are the record's lights 0..3.
void SetUp(int32_t n) {
    MV2Object** a = gMV2City.record.lightsA;
    MV2Object** b = gMV2City.record.lightsB;
    switch (n) {
    case 1:
        SetLight(b[0], true), SetLight(b[3], true);
        SetGlow(a[1], false), SetRadius(a[0], 0.1f), SetGlow(a[2], false), SetRadius(a[3], 0.1f);
        break;
    case 2:
        SetLight(b[1], true), SetLight(b[2], true);
        SetGlow(a[0], false), SetRadius(a[1], 0.1f), SetGlow(a[3], false), SetRadius(a[2], 0.1f);
        break;
    case 3:
        SetLight(b[0], false), SetLight(b[3], false);
        SetGlow(a[1], true), SetRadius(a[0], 1.0f), SetGlow(a[2], true), SetRadius(a[3], 1.0f);
        break;
    default:
        SetLight(b[1], false), SetLight(b[2], false);
        SetGlow(a[0], true), SetRadius(a[1], 1.0f), SetGlow(a[3], true), SetRadius(a[2], 1.0f);
        break;
    }
}

void InitialiseCityRecord() {
    MV2CityRecord& r = gMV2City.record;
    r = kInitialRecord;
    bool all = Resolve(r.partIds, r.parts, 6);
    all = Resolve(r.lightIdsA, r.lightsA, 4) && all;
    all = Resolve(r.lightIdsB, r.lightsB, 4) && all;
    all = Resolve(r.dropPointIds, r.dropPoints, 2) && all;
    all = Resolve(r.dropDoorIds, r.dropDoors, 2) && all;
    all = Resolve(r.dropPostIds, r.dropPosts, 2) && all;
    r.recordComplete = all ? 1 : 0;
}

float DistanceSquared(MV2Object* a, MV2Object* b) {
    if (!a || !b || !a->matrix || !b->matrix) return 1e30f;
    const TvV3d d = TvV3dSub(a->matrix->pos, b->matrix->pos);
    return d.x * d.x + d.y * d.y + d.z * d.z;
}

void SendDoors(int32_t message, intptr_t p1) {
    for (MV2Object* door : gMV2City.record.dropDoors)
        if (door) MV2ObjectSendMessage(door, message, p1, 0);
}

bool IsPlayerSub(MV2Object* craft) {
    return craft && craft == MV2GetPlayerSub();
}

MV2Object* LaunchThroughBay(int32_t type, int32_t bayIndex, MV2ObjectHandler brain, MV2Object* target) {
    MV2CurrentLevelWorld current;
    MV2CityBay& bay = gMV2CityBays[bayIndex];
    MV2Object* door = Live(bay.bay);
    if (!bay.found || !door || !door->matrix) return nullptr;
    const TvV3d at = TvV3dSub(door->matrix->pos, TvV3dScale(door->matrix->at, 7.0f));
    MV2Object* craft = MV2CreateObject(type, &at.x, nullptr);
    if (!craft) return nullptr;
    MV2ObjectSendMessage(craft, 0, 1, 0);
    if (brain) MV2ObjectSendMessage(craft, 29, 0, reinterpret_cast<intptr_t>(brain));
    MV2CityDispatchCraft(craft, bayIndex, target);
    return craft;
}

} // namespace

int32_t MV2InitialiseCityLogic() {
    MV2CurrentLevelWorld current;
    for (int32_t i = 0; i < kMV2CityBays; ++i) {
        MV2CityBay& b = gMV2CityBays[i];
        b.found = 0;
        MV2Object* door = MV2FindObjectByScriptID(b.doorId);
        MV2Object* bay = MV2FindObjectByScriptID(b.bayId);
        b.post = MV2FindObjectByScriptID(b.postId);
        if (!door || !bay || !b.post) {
            MV2ErrorBox("Could not find city doors");
            return 0;
        }
        if (door->matrix && bay->matrix) {
            door->matrix->pos = TvV3dAdd(bay->matrix->pos, TvV3dScale(bay->matrix->at, 3.0f));
            TvMatrixUpdate(door->matrix);
            if (door->clump) TvFrameUpdateObjects(door->clump->frame);
        }
        Keep(b.door, door);
        Keep(b.bay, bay);
        float index = float(i);
        MV2ObjectSendMessage(door, 12, 0, reinterpret_cast<intptr_t>(&index));
        MV2ObjectSendMessage(bay, 12, 0, reinterpret_cast<intptr_t>(&index));
        b.found = 1;
    }
    for (int32_t i = 0; i < 4; ++i)
        gMV2City.extras[i] = MV2FindObjectByScriptID(kExtraIds[i]);
    gMV2City.active = 1;
    InitialiseCityRecord();
    if (!gMV2City.record.recordComplete) return 1;
    for (int32_t i = 0; i < 2; ++i) {
        gMV2City.signs[i] = MV2FindObjectByScriptID(kSignIds[i]);
        if (!gMV2City.signs[i]) {
            MV2ErrorBox("Could not find drop point");
            return 0;
        }
        MV2ObjectSendMessage(gMV2City.signs[i], 12, i + 1, 0);
    }
    return 1;
}

void MV2SetCityActive(int32_t flag) {
    gMV2City.active = flag;
}

void MV2UpdateCity() {
    MV2CurrentLevelWorld current;
    MV2UpdateCityDoorState();
}

void MV2UpdateCityDoorState() {
    MV2CityRecord& r = gMV2City.record;
    const bool open = gMV2City.active && MV2GetEquipmentLevel() > 4;
    const bool bit = (gMV2DayClock.gameClock & kClockBit) != 0;
    int32_t state;
    if (!open)
        state = 2;
    else if (!r.busy)
        state = 1;
    else
        state = bit ? 4 : 3;
    if (state == r.lightState) return;
    r.lightState = state;
    static constexpr int32_t kSetUps[5][2] = {{0, 0}, {1, 2}, {3, 4}, {1, 4}, {3, 2}};
    SetUp(kSetUps[state][0]);
    SetUp(kSetUps[state][1]);
}

MV2Object* MV2CityCheckDropPoint(MV2Object* object) {
    MV2CityRecord& r = gMV2City.record;
    if (!object || !gMV2City.active || MV2GetEquipmentLevel() < 5 || r.busy) return nullptr;
    for (int32_t i = 0; i < 2; ++i) {
        if (!r.dropPoints[i] || !r.dropDoors[i]) continue;
        if (DistanceSquared(object, r.dropPoints[i]) < 36.0f) {
            MV2ObjectSendMessage(r.dropDoors[i], 33, 1, 0);
            gMV2City.lastDropPoint = i;
            return r.dropDoors[i];
        }
    }
    return nullptr;
}

void MV2CityStartDelivery(MV2Object* object, int32_t dropPointId) {
    MV2CurrentLevelWorld current;
    MV2CityRecord& r = gMV2City.record;
    if (r.busy || (dropPointId != r.dropPointIds[0] && dropPointId != r.dropPointIds[1])) return;
    r.busy = 1;
    Keep(r.delivering, object);
    MV2MissionInstallNotify(kMV2CityRow, 3);
    MV2MissionInstallNotify(kMV2CityRow, 16);
    SendDoors(24, 1);
    if (dropPointId == r.dropPointIds[0]) {
        r.firstDropPoint = 1;
        MV2PlayCutScene(0x4DFFFF, 0x4D0001);
    } else {
        MV2PlayCutScene(0x4EFFFF, 0x4E0001);
    }
}

void MV2CityReceiveCraft(MV2Object* craft, MV2Object** arriving) {
    if (!craft) return;
    if (arriving && *arriving) MV2ObjectSendMessage(*arriving, 13, 0, 0);
    if (TypeOf(craft) == kDroneType) {
        MV2Object* cargo = nullptr;
        MV2ObjectSendMessage(craft, 39, 0, reinterpret_cast<intptr_t>(&cargo));
        // A drone that brings nothing earns nothing.
        if (cargo && TypeOf(cargo) == kCargoType) {
            const int32_t cls = int32_t(MV2ObjectSendMessage(cargo, 13, 0, 0));
            float amount = 0.0f;
            MV2ObjectSendMessage(cargo, 34, 0, reinterpret_cast<intptr_t>(&amount));
            MV2AddClassCount(cls, int32_t(amount));
            MV2ObjectSendMessage(cargo, 4, 0, 0);
        }
        return;
    }
    if (craft == MV2GetPlayerObject()) {
        craft->typeWord |= kMV2InCityFlag;
        MV2EnterCity();
        return;
    }
    MV2NotifyScripts(craft, 6, 0);
    MV2ObjectSendMessage(craft, 4, 0, 0);
}

void MV2CityCraftExited(MV2Object* craft, MV2CityBay* bay) {
    if (craft && !IsPlayerSub(craft)) craft->typeWord &= ~kMV2InCityFlag;
    if (MV2Object* b = bay ? Live(bay->bay) : nullptr) MV2ObjectSendMessage(b, 33, 1, 0);
}

intptr_t MV2CityDispatchCraft(MV2Object* craft, int32_t bayIndex, MV2Object* target) {
    if (!craft || bayIndex < 0 || bayIndex >= kMV2CityBays) return 0;
    if (IsPlayerSub(craft) && craft->matrix) {
        MV2SetCameraMatrix(craft->matrix);
        MV2SetCameraMode(2);
        // The play mode is entered between frames, with no world current: the point is looked
        // for in the level's.
        MV2CurrentLevelWorld level;
        if (MV2Object* point = MV2FindObjectByScriptID(kCameraPoint)) MV2MoveCameraToObject(point);
    }
    if (target) {
        MV2SubAIOrderGoTo(craft, target, 2.0f);
        MV2SubAIOrderGoTo(craft, target, 5.0f);
    }
    MV2SubAIOrderCityRoute(craft, gMV2CityBays[bayIndex].routeKind);
    if (!IsPlayerSub(craft)) craft->typeWord &= ~kMV2InCityFlag;
    MV2Object* bay = Live(gMV2CityBays[bayIndex].bay);
    return bay ? MV2ObjectSendMessage(bay, 33, 1, 0) : 0;
}

MV2Object* MV2CityLaunchCraft(int32_t type, int32_t bay, MV2Object* target) {
    if (bay < 0 || bay >= kMV2CityBays) return nullptr;
    MV2ObjectHandler brain = type == kCarrierType ? gMV2CityBrains.carrier : MV2SubAIBrain;
    return LaunchThroughBay(type, bay, brain, target);
}

MV2Object* MV2CityLaunchDrone(int32_t site) {
    return LaunchThroughBay(kDroneType, kDroneBay, gMV2CityBrains.drone, MV2MiningGetSiteObject(site));
}

MV2Object* MV2CityLaunchRepairDrone(int32_t, MV2Object* target) {
    return LaunchThroughBay(kRepairDroneType, kRepairBay, gMV2CityBrains.repairDrone, target);
}

void MV2CityReleaseCraft(MV2Object* craft, MV2Object** object) {
    if (!craft) return;
    if (object && *object) MV2ObjectSendMessage(*object, 13, 0, 0);
    if (craft == MV2GetPlayerObject()) {
        MV2HudSetMode(g_savedHudMode);
        MV2SetCameraMode(1);
        MV2SetLetterbox(2);
        MV2ObjectSendMessage(craft, 31, 0, 0);
        MV2ObjectSendMessage(craft, 29, 0, reinterpret_cast<intptr_t>(MV2PlayerHandler));
        MV2ObjectSendMessage(craft, 1, 1, 0);
    }
    craft->typeWord |= kMV2InCityFlag;
}

void MV2EnterCity() {
    g_savedHudMode = MV2HudGetMode();
    gMV2GameState.requested = 9;
    MV2Object* player = MV2GetPlayerObject();
    if (player && player->typeHandler == MV2SubmarineHandler && player->privateData)
        MV2BroadcastToolCommand(player->privateData, 39, 0, 0);
}

int32_t MV2CityScript(MV2Object* object, int32_t message, intptr_t a, intptr_t b) {
    if (message != kMV2ScriptEvent) return 1;
    MV2CityRecord& r = gMV2City.record;
    if (a == 3) {
        MV2SetCameraMode(1);
        MV2MissionRemoveNotify(kMV2CityRow, 3);
        r.busy = 0;
    } else if (a == 16 && !object && (b == 26 || b == 28)) {
        SendDoors(24, 0);
        for (MV2Object* door : r.dropDoors)
            if (door && door->matrix) MV2PlaySoundAt(&door->matrix->pos, 20.0f, kDoorSound, 0, 0, 0);
        MV2MissionRemoveNotify(kMV2CityRow, 16);
    }
    return 1;
}
