// The script of mission row 35: after an opening cut-scene a craft is escorted along a path
// while drones attack in waves and a city craft helps; the player may take over. The last
// drone of the final wave wins, the escort's death loses.
#include <initializer_list>

#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "game/creatures/creaturemath.h"
#include "game/creatures/creatures.h"
#include "game/creatures/drones.h"
#include "game/creatures/subai.h"
#include "game/effects/primitives.h"
#include "game/frontend/gameover.h"
#include "game/frontend/hud.h"
#include "game/missions/missions.h"
#include "game/objects/camera.h"
#include "game/objects/levels.h"
#include "game/objects/levelswitch.h"
#include "game/objects/sky.h"
#include "game/player/commands.h"
#include "game/player/loadout.h"
#include "game/player/playercraft.h"
#include "shell/cdaudio.h"
#include "shell/gamemain.h"
#include "shell/gamestate.h"

namespace {

constexpr int32_t kRow = 35;
constexpr int32_t kEscortType = 4, kDroneType = 330, kMoverType = 42, kCityCraftType = 1;
constexpr int32_t kDroneSlots = 3, kWayPoints = 4, kMovers = 4, kCameraTargets = 5;
constexpr int32_t kWayPointIds[kWayPoints] = {0x290002, 0x290003, 0x290004, 0x290005};
constexpr int32_t kCameraTargetIds[kCameraTargets] = {0x20046, 0x20048, 0x290006, 0x290001, 0x20047};
constexpr int32_t kOpeningDrones[kDroneSlots] = {0x280003, 0x280004, 0x280007};
constexpr uint32_t kOpening = 0x28FFFF, kLevelRecord = 0x29FFFF, kPathRecord = 0x2CFFFF;
constexpr int32_t kEscortId = 0x280001, kSpawnId = 0x290000, kPathActor = 0x2C0001;
constexpr int32_t kCityTarget = 0x2001E;

enum Timer : int32_t {
    kLaunch = 256,
    kMoveMovers = 257,
    kTourPan = 258,
    kFirstWave = 259,
    kNewDrone = 260,
    kHandOver = 261,
    kWreckView = 262,
    kWreckFollow = 263,
    kLost = 264,
    kWave = 265,
    kDronesAttack = 266,
};

struct Mission35 {
    int32_t done;
    int32_t over; // the player's own sub was lost and replaced
    int32_t finished;
    int32_t escortAttacked;
    int32_t liveDrones;
    int32_t dronesCreated;
    int32_t launched;
    int32_t cameraIndex; // -1..5
    int32_t cameraTour;
    float damped; // the escort's energy, damped
    uint32_t tourStart, attackTime;
    MV2ObjectRef escort;
    MV2ObjectRef drones[kDroneSlots];
    MV2ObjectRef wayPoints[kWayPoints];
    MV2ObjectRef movers[kMovers];
    MV2ObjectRef cameraTargets[kCameraTargets];
    TvV3d spawn;
    int32_t moverCursor;
};
Mission35 g_m;

uint32_t Now() {
    return gMV2DayClock.gameClock;
}

MV2Object* Ref(MV2ObjectRef& ref) {
    return MV2GetObjectRef(&ref);
}

void Find(MV2ObjectRef& ref, int32_t scriptId) {
    MV2ClearObjectRef(&ref);
    if (MV2Object* o = MV2FindObjectByScriptID(scriptId)) MV2SetObjectRef(&ref, o);
}

TvMatrix* CameraMatrix() {
    return gMV2MainCamera && gMV2MainCamera->object.frame ? TvFrameGetMatrix(gMV2MainCamera->object.frame)
                                                          : nullptr;
}

void CameraChanged() {
    TvFrameUpdateObjects(gMV2MainCamera->object.frame);
}

// Turns the camera to look along `at` with the world's up.
void CameraLook(TvMatrix* m, const TvV3d& at) {
    m->at = MV2Unit(at);
    m->right = MV2Unit(TvV3dCross(TvV3d{0.0f, 1.0f, 0.0f}, m->at));
    m->up = MV2Unit(TvV3dCross(m->at, m->right));
}

int32_t TypeOf(MV2Object* object) {
    return object ? MV2TypeOf(object) : -1;
}

void Music(int32_t track) {
    MV2AddMusicTrack(track, 1);
    MV2StartMusic();
}

void MoveTo(MV2Object* object, TvV3d at) {
    MV2ObjectSendMessage(object, 83, 0, reinterpret_cast<intptr_t>(&at));
}

// Every live drone attacks the controlled craft; craft A takes on the first unless the escort
// was attacked.
void DronesAttack() {
    MV2Object* target = MV2GetPlayerObject();
    if (!target) return;
    bool first = true;
    for (MV2ObjectRef& slot : g_m.drones) {
        MV2Object* drone = Ref(slot);
        if (!drone) continue;
        MV2SubAIOrderAttack(drone, target, 1);
        if (first && !g_m.escortAttacked)
            if (MV2Object* a = MV2GetMissionObjectA()) MV2SubAIOrderAttack(a, drone, 1);
        first = false;
    }
}

void SpawnDrone(int32_t scriptId, int32_t slot, int32_t attack) {
    if (slot < 0) {
        for (int32_t i = 0; i < kDroneSlots && slot < 0; i++)
            if (!Ref(g_m.drones[i])) slot = i;
        if (slot < 0) return;
    }
    MV2Object* drone;
    if (scriptId == 0) {
        const MV2Point3 p = MV2Point(g_m.spawn);
        drone = MV2CreateObject(kDroneType, p.v, nullptr);
        g_m.spawn.y += 0.5f;
    } else {
        drone = MV2RespawnScriptObject(scriptId);
    }
    if (!drone) return;
    MV2ObjectSendMessage(drone, 29, 0, reinterpret_cast<intptr_t>(MV2DroneBrain));
    MV2ObjectSendMessage(drone, 21, 24, 0);
    if (g_m.dronesCreated < 6) MV2ObjectSendMessage(drone, 21, 20, 0);
    MV2SetObjectRef(&g_m.drones[slot], drone);
    MV2MissionAttachObject(kRow, drone);
    if (MV2SubAIData* ai = MV2GetSubAIData(drone)) ai->passivity = 10;
    MV2Object* target = MV2GetPlayerObject();
    if (attack && target)
        MV2SubAIOrderAttack(drone, target, 1);
    else
        MV2SubAIOrderLevelOff(drone);
    g_m.dronesCreated++;
    g_m.liveDrones++;
}

void NextCameraTarget(int32_t attack) {
    MV2Object* sub = MV2GetPlayerSub();
    if (MV2GetPlayerObject() != sub && sub) MV2TakeControlOfCraft(sub);
    MV2Object* target = nullptr;
    while (!target && ++g_m.cameraIndex < kCameraTargets)
        target = Ref(g_m.cameraTargets[g_m.cameraIndex]);
    if (!target) {
        g_m.cameraIndex = kCameraTargets; // the tour has ended
        return;
    }
    MV2TakeControlOfCraft(target);
    MV2MissionAttachObject(kRow, target);
    if (attack) DronesAttack();
    TvMatrix* m = CameraMatrix();
    if (!m || !target->matrix) return;
    m->pos = TvV3dAdd(target->matrix->pos, TvV3d{0.0f, 1.0f, 0.0f});
    CameraLook(m, TvV3d{0.0f, 0.0f, -1.0f});
    CameraChanged();
    MV2SetCameraMode(5);
    MV2SetLetterbox(1);
    g_m.tourStart = Now();
    MV2MissionSetTimer(kRow, kTourPan, 1);
}

void SetUp() {
    g_m = Mission35{};
    g_m.cameraIndex = -1;
    for (int32_t event : {17, 6, 18})
        MV2MissionInstallNotify(kRow, event);
    MV2SpawnLevelRecord(kLevelRecord, kRow);
    for (int32_t i = 0; i < kWayPoints; i++)
        Find(g_m.wayPoints[i], kWayPointIds[i]);
    for (int32_t i = 0; i < kCameraTargets; i++)
        Find(g_m.cameraTargets[i], kCameraTargetIds[i]);
    const float origin[3] = {0.0f, 0.0f, 0.0f};
    for (MV2ObjectRef& mover : g_m.movers)
        if (MV2Object* o = MV2CreateObject(kMoverType, origin, nullptr)) MV2SetObjectRef(&mover, o);
    MV2ParkObject(MV2GetPlayerSub(), nullptr, nullptr);
    NextCameraTarget(0);
    if (MV2Object* spawn = MV2FindObjectByScriptID(kSpawnId)) {
        g_m.spawn = spawn->matrix->pos;
        MV2ObjectSendMessage(spawn, 4, 0, 0);
    }
    MV2CutSceneStart(kOpening, 0);
    MV2SetLetterbox(1);
    gMV2GameState.requested = int8_t((uint8_t(gMV2GameState.requested) & ~0xF3u) | 0x0Cu);
    MV2MissionInstallNotify(kRow, 3);
    if (MV2Object* escort = MV2FindObjectByScriptID(kEscortId)) escort->typeWord &= ~kMV2ObjectCollidesWorld;
    MV2MissionBegin(kRow, 1);
    MV2SetLevelMissionFlag(1);
    MV2SelectWallSet(16);
}

void Launch() {
    if (g_m.done) return;
    MV2Object* craft = MV2CityLaunchCraft(kCityCraftType, 2, MV2FindObjectByScriptID(kCityTarget));
    if (!craft) {
        MV2MissionSetTimer(kRow, kLaunch, 2000);
        return;
    }
    MV2SetMissionObjectA(craft);
    MV2MissionAttachObject(kRow, craft);
    MV2ObjectSendMessage(craft, 21, 0, 0);
    MV2ObjectSendMessage(craft, 21, 21, 0);
    g_m.escortAttacked = 0;
    g_m.attackTime = Now();
}

void MoveMovers() {
    if (g_m.done && g_m.launched <= 0) {
        for (MV2ObjectRef& ref : g_m.movers)
            if (MV2Object* o = Ref(ref)) MV2ObjectSendMessage(o, 4, 0, 0);
        for (MV2ObjectRef& ref : g_m.wayPoints)
            if (MV2Object* o = Ref(ref)) MV2ObjectSendMessage(o, 4, 0, 0);
        return;
    }
    for (MV2ObjectRef& ref : g_m.movers) {
        MV2Object* mover = Ref(ref);
        if (!mover) continue;
        const uint32_t first = MV2RandomBits(3);
        const uint32_t r = uint32_t(TvRandom());
        const uint32_t second = (r / 3 + r + first) & 3;
        const float blend = float(MV2RandomBits(0xFFF)) / 4095.0f;
        MV2Object* a = Ref(g_m.wayPoints[first]);
        MV2Object* b = Ref(g_m.wayPoints[second]);
        if (!a || !b) continue;
        const TvV3d pa = a->matrix->pos, pb = b->matrix->pos;
        MoveTo(mover, TvV3dAdd(pa, TvV3dScale(TvV3dSub(pb, pa), blend)));
    }
    MV2MissionSetTimer(kRow, kMoveMovers, 12000);
}

void TourPan() {
    if (g_m.cameraTour || MV2GetCameraMode() != 5) return;
    if (Now() - g_m.tourStart < 3000) {
        if (TvMatrix* m = CameraMatrix()) {
            m->pos.y += MV2FrameStep() * 0.18f;
            CameraChanged();
        }
        MV2MissionSetTimer(kRow, kTourPan, 1);
        return;
    }
    if (g_m.cameraIndex < kCameraTargets) {
        MV2SetCameraMode(1);
        MV2SetLetterbox(2);
    }
}

void WreckFollow() {
    MV2Object* escort = Ref(g_m.escort);
    TvMatrix* m = CameraMatrix();
    if (MV2GetCameraMode() != 5 || !escort || !m) return;
    CameraLook(m, TvV3dSub(escort->matrix->pos, m->pos));
    CameraChanged();
    MV2MissionSetTimer(kRow, kWreckFollow, 1);
}

void WreckView() {
    MV2Object* escort = Ref(g_m.escort);
    if (!escort) return;
    if (MV2Object* craft = MV2GetPlayerObject()) {
        craft->energy = 1e8f;
        MV2ObjectSendMessage(craft, 29, 0, reinterpret_cast<intptr_t>(MV2WreckBrain));
    }
    if (TvMatrix* m = CameraMatrix()) {
        m->pos = TvV3dAdd(escort->matrix->pos, TvV3d{0.0f, 5.0f, 10.0f});
        CameraChanged();
    }
    MV2SetCameraMode(5);
    g_m.cameraTour = 1;
    WreckFollow();
}

void Finish() {
    if (g_m.finished) return;
    g_m.finished = 1;
    if (MV2Object* a = MV2GetMissionObjectA()) MV2ObjectSendMessage(a, 4, 0, 0);
    MV2MissionDetachObject(MV2GetPlayerSub());
    for (int32_t event : {6, 7, 8, 18})
        MV2MissionRemoveNotify(kRow, event);
    MV2MissionRestart(36);
}

void CraftReturned(MV2Object* object) {
    if (!object) return;
    if (object == MV2GetMissionObjectA()) MV2MissionSetTimer(kRow, kLaunch, 10000);
    if (TypeOf(object) != kEscortType || g_m.done) return;
    int32_t ms = int32_t(MV2PlayMissionMessage(1297));
    if (g_m.liveDrones > 0) ms = MV2MissionQueueMessage(kRow, 1298, ms);
    MV2MissionSetTimer(kRow, kHandOver, ms);
}

void HandOver() {
    if (g_m.over) return;
    g_m.over = 1;
    MV2DestroyLevelRecordObjects(kPathRecord);
    MV2SetLevelMissionFlag(0);
    MV2MissionDetachObject(MV2GetPlayerObject());
    if (MV2Object* sub = MV2GetPlayerSub()) {
        MV2TakeControlOfCraft(sub);
        MV2ObjectSendMessage(sub, 4, 0, 0);
    }
    MV2SelectSub(-1);
    MV2SelectSub(1);
    MV2SpawnPlayer();
    MV2SetGameMode();
    if (g_m.liveDrones <= 0) {
        g_m.done = 1;
        Finish();
        return;
    }
    MV2Object* sub = MV2GetPlayerSub();
    MV2MissionAttachObject(kRow, sub);
    MV2MissionInstallNotify(kRow, 8);
    CraftReturned(sub);
}

void OpeningEnded() {
    MV2MissionRemoveNotify(kRow, 3);
    if (MV2Object* escort = MV2RespawnScriptObject(kEscortId)) {
        MV2SetObjectRef(&g_m.escort, escort);
        g_m.damped = escort->energy;
        MV2ObjectSendMessage(escort, 29, 0, reinterpret_cast<intptr_t>(MV2SubAIBrain));
        MV2SubAIOrderCityRoute(escort, 5);
        if (MV2SubAIPushCommand(escort)) MV2SubAISetFollowSpline(escort, kPathActor, 5.0f);
        MV2MissionAttachObject(kRow, escort);
        if (MV2Object* actor = MV2FindObjectByScriptID(kPathActor)) MoveTo(escort, actor->matrix->pos);
    }
    for (int32_t i = 0; i < kDroneSlots; i++)
        SpawnDrone(kOpeningDrones[i], i, 0);
    MV2DestroyLevelRecordObjects(kOpening);
    gMV2GameState.requested = 0;
    MV2MissionInstallNotify(kRow, 4);
}

void ModeChanged() {
    MV2MissionRemoveNotify(kRow, 4);
    MV2SetCameraMode(1);
    MV2SetLetterbox(2);
    if (MV2Object* craft = MV2GetPlayerObject()) MV2UpdateCamera(craft);
    Music(15);
    MV2MissionSetTimer(kRow, kFirstWave, 1);
}

void Event(MV2Object* object, intptr_t event) {
    switch (event) {
    case 3: OpeningEnded(); break;
    case 4: ModeChanged(); break;
    case 6: CraftReturned(object); break;
    case 7:
        MV2MissionRemoveNotify(kRow, 7);
        Finish();
        break;
    case 8: MV2MissionSetTimer(kRow, kDronesAttack, 2000); break;
    case 18: {
        if (!object) break;
        g_m.moverCursor = (g_m.moverCursor + 1) & 3;
        if (MV2Object* mover = Ref(g_m.movers[g_m.moverCursor]))
            MV2ObjectSendMessage(object, 33, 1, reinterpret_cast<intptr_t>(mover));
        g_m.launched++;
        MV2MissionAttachObject(kRow, object);
        break;
    }
    default: break;
    }
}

// Object message 65 of an owned object.
void Threatened(MV2Object* object) {
    if (TypeOf(object) == kEscortType) g_m.damped = object->energy;
    MV2Object* a = MV2GetMissionObjectA();
    if (a && !g_m.escortAttacked && a->energy < MV2InitialEnergy(a) * 0.1f) {
        MV2PlayMissionMessage(1302);
        MV2SubAIOrderCityRoute(a, 3);
        g_m.escortAttacked = 1;
    }
}

// Object message 76 of an owned object: `attacker` hit it.
void Damaged(MV2Object* object, MV2Object* attacker) {
    if (!object) return;
    MV2Object* a = MV2GetMissionObjectA();
    MV2Object* controlled = MV2GetPlayerObject();
    if (TypeOf(object) != kEscortType) {
        if (!attacker) return;
        if (attacker == a) g_m.attackTime = Now();
        if (object == controlled && (attacker->flags & 0x10) && Now() - g_m.attackTime > 12000 &&
            !g_m.escortAttacked && a) {
            MV2SubAIOrderAttack(a, attacker, 1);
            g_m.attackTime = Now();
        }
        return;
    }
    if (attacker) {
        const int32_t type = TypeOf(attacker);
        if (type == kDroneType) {
            if (MV2Object* target = controlled ? controlled : a) MV2SubAIOrderAttack(attacker, target, 1);
        } else if (type == 235 || type == 353 || type == 354) {
            if (type == 235) {
                MV2Object* owner = nullptr;
                MV2ObjectSendMessage(attacker, 16, 0, reinterpret_cast<intptr_t>(&owner));
                attacker = owner;
            }
            if (attacker && controlled)
                MV2ObjectSendMessage(attacker, 33, 0, reinterpret_cast<intptr_t>(controlled));
        }
    }
    g_m.damped = (g_m.damped * 9.0f + object->energy) * 0.1f;
    object->energy = g_m.damped;
}

void Killed(MV2Object* object) {
    const int32_t type = TypeOf(object);
    if (type == kDroneType) {
        g_m.liveDrones--;
        if (!g_m.over) {
            MV2MissionSetTimer(kRow, kNewDrone, 400);
        } else if (g_m.liveDrones <= 0 && !g_m.done) {
            MV2FadeMusic(0.0f, 3.0f);
            const int32_t ms = int32_t(MV2PlayMissionMessage(1299));
            MV2MissionQueueMessage(kRow, 797, ms + 500);
            MV2LockNearestTarget();
            if (MV2Object* a = MV2GetMissionObjectA()) MV2SubAIOrderCityRoute(a, 2);
            MV2MissionInstallNotify(kRow, 7);
            MV2HudShowResultBanner(1);
            g_m.done = 1;
        }
    } else if (type == 353 || type == 354) {
        g_m.launched--;
    }
    if (!g_m.over && !g_m.cameraTour && g_m.cameraIndex >= 0 && g_m.cameraIndex < kCameraTargets &&
        object == g_m.cameraTargets[g_m.cameraIndex].object)
        NextCameraTarget(1);
}

} // namespace

int32_t MV2Mission35Script(MV2Object* object, int32_t message, intptr_t a, intptr_t b) {
    MV2CurrentLevelWorld world;
    switch (message) {
    case kMV2ScriptStart:
    case kMV2ScriptRestart:
        SetUp();
        Launch();
        break;
    case kLaunch: Launch(); break;
    case kMV2ScriptBegin:
        MV2MissionQueueMessage(kRow, 1295, int32_t(MV2PlayMissionMessage(1294)));
        MV2MissionSetTimer(kRow, kMoveMovers, 1);
        break;
    case kMoveMovers: MoveMovers(); break;
    case kTourPan: TourPan(); break;
    case kFirstWave: MV2MissionSetTimer(kRow, kWave, int32_t(MV2PlayMissionMessage(1296))); break;
    case kNewDrone:
        if (!g_m.over) SpawnDrone(0, -1, 1);
        break;
    case kHandOver: HandOver(); break;
    case kWreckView: WreckView(); break;
    case kWreckFollow: WreckFollow(); break;
    case kLost: MV2StartGameOver(0); break;
    case kWave:
        if (!g_m.done) MV2MissionSetTimer(kRow, kWave, 15000);
        DronesAttack();
        break;
    case kDronesAttack: DronesAttack(); break;
    case kMV2ScriptEvent: Event(object, a); break;
    case kMV2ScriptObjectKilled:
        if (TypeOf(object) == kEscortType) {
            MV2MissionDetachObject(object);
            MV2MissionSetTimer(kRow, kWreckView, 4000);
            MV2MissionSetTimer(kRow, kLost, 13000);
        }
        break;
    case 8: Threatened(object); break;
    case 9: Damaged(object, reinterpret_cast<MV2Object*>(b)); break;
    case 10: Killed(object); break;
    default: break;
    }
    return 1;
}
