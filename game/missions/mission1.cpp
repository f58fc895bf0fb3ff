// Mission row 1: the opening eruption cut-scene, the console, and a timed collecting race
// against two rival craft; every craft's carried and delivered scores show in the HUD's
// score table, and the tally after nine minutes passes the campaign on to row 2.
#include "game/missions/missionscripts.h"

#include <cmath>
#include <initializer_list>

#include "engine/core/frame.h"
#include "engine/world/random.h"
#include "game/creatures/drones.h"
#include "game/creatures/subai.h"
#include "game/effects/lava.h"
#include "game/effects/primitives.h"
#include "game/frontend/hud.h"
#include "game/frontend/missionmap.h"
#include "game/missions/city.h"
#include "game/missions/missionflow.h"
#include "game/missions/missiontimers.h"
#include "game/missions/mining.h"
#include "game/missions/scriptevents.h"
#include "game/objects/budgets.h"
#include "game/objects/camera.h"
#include "game/objects/caustics.h"
#include "game/objects/dynamics.h"
#include "game/objects/levels.h"
#include "game/objects/levelswitch.h"
#include "game/objects/objects.h"
#include "game/objects/utilities.h"
#include "game/player/geiger.h"
#include "game/player/playercraft.h"
#include "game/player/tools.h"
#include "shell/cdaudio.h"
#include "shell/gamestate.h"
#include "shell/sounds.h"

namespace {

constexpr int32_t kRow = 1;

enum : int32_t {
    kEventDelivery = 0,
    kEventUnloaded = 1,
    kEventCutSceneEnd = 3,
    kEventModeLeft = 4,
    kEventSuckedUp = 5,
    kEventConsoleLeft = 8,
};

enum : int32_t {
    kTimerOpening = 256,
    kTimerFlyOverB = 257,
    kTimerCollector = 258,
    kTimerRaceStart = 260,
    kTimerLaunch = 261,
    kTimerOutOfCity = 262,
    kTimerGeiger = 263,
    kTimerIdentify = 264,
    kTimerCarrying = 266,
    kTimerHeavy = 267,
    kTimerSuckUp = 268,
    kTimerEnd = 269,
    kTimerClosing = 270,
    kTimerLastMinute = 271,
    kTimerConsole = 272,
    kTimerFlyOverA = 273,
    kTimerEruption = 274,
    kTimerLastThrow = 275,
    kTimerPulse = 276,
    kTimerRestart = 277,
    kTimerLastWarning = 278,
};

constexpr uint32_t kStartRecord = 0x1FFFF, kEruptionRecord = 0x12FFFF, kFlyOverA = 0xFFFFF,
                   kFlyOverB = 0x10FFFF;
constexpr int32_t kGauge = 0x2002C, kCollector = 0x2002F, kStartPost = 0x40056, kPulsed = 0x20029,
                  kCityExit = 0x2001E, kLaunchPoint = 0x10000, kRaceGoal = 0x10011;
constexpr int32_t kVolcano = 0x120000, kEruptionEye = 0x120002, kEruptionLook = 0x120003;
constexpr int32_t kFlyOverAEye = 0xF0011, kFlyOverALook = 0xF000B;
constexpr int32_t kFlyOverBEye = 0x100004, kFlyOverBLook = 0x100003;
constexpr int32_t kRaceEye = 0x10008, kRaceLook = 0x10003, kRaceMoveFrom = 0x10001;
constexpr int32_t kLabelObjects[3] = {0x1000D, 0x1000C, 0x10011};
constexpr int32_t kLabelTexts[3] = {325, 323, 324};
constexpr int32_t kRemovedLabels[6] = {323, 324, 325, 53, 53, 394};

constexpr int32_t kEruptionType = 149, kRockTypeA = 140, kRockTypeB = 141;
constexpr int32_t kMaxThrown = 30;
constexpr int32_t kRaceMs = 540000, kLastMinuteMs = 510000;
constexpr int32_t kIdleLimit = 61;
constexpr int32_t kFirstRival = 3, kRivals = 5;
constexpr int32_t kGeigerKind = 4, kSuckUpKind = 5, kQueryCommand = 59;

struct Mission1 {
    int32_t playerDelivered, playerCarried;
    MV2ObjectRef craft[kRivals];
    int32_t carried[kRivals], delivered[kRivals], unloads[kRivals];
    int32_t launchCounter;
    int32_t idleSeconds;
    int32_t hinted, done, spare;
    int32_t thrown;
    int32_t pulse;
    MV2Object* gauge;
    MV2Object* collector;
    MV2ObjectRef eruption;
    int32_t savedWorldCaustics, savedAtomicCaustics;
    MV2Object* labels[3];
};
Mission1 g_m;

// The world id each rival is sent to fetch from (slots 3 and 4).
int32_t FetchTarget(int32_t slot) {
    return slot == 3 ? 0x1000D : 0x1000C;
}

MV2Object* Rival(int32_t slot) {
    return MV2GetObjectRef(&g_m.craft[slot]);
}

// The slot of a rival craft, or -1.
int32_t SlotOf(const MV2Object* object) {
    if (!object) return -1;
    for (int32_t i = kFirstRival; i < kRivals; ++i)
        if (Rival(i) == object) return i;
    return -1;
}

const TvV3d* PositionOf(MV2Object* object) {
    return object && object->matrix ? &object->matrix->pos : nullptr;
}

void SetTimer(int32_t event, int32_t ms) {
    MV2MissionSetTimer(kRow, event, ms);
}

int32_t RandomMs() {
    return int32_t(uint32_t(TvRandom()) % 313u);
}

void RebuildScoreTable() {
    MV2HudAddScoreRow(0, 0, 0, 1);
    MV2HudAddScoreRow(739, g_m.playerCarried, g_m.playerDelivered, 0);
    MV2HudAddScoreRow(733, g_m.carried[3], g_m.delivered[3], 0);
    MV2HudAddScoreRow(732, g_m.carried[4], g_m.delivered[4], 0);
    MV2HudSortScoreTable(737, 738);
}

// Camera mode 6 at one object, looking at another.
void AimCamera(MV2Object* eye, MV2Object* look) {
    MV2SetCameraMode(kMV2CameraTracking);
    if (look) MV2SetCameraTarget(look);
    if (eye) MV2MoveCameraToObject(eye);
}

void AimCameraAtWorldIds(int32_t eye, int32_t look) {
    AimCamera(MV2FindObjectByWorldID(eye), MV2FindObjectByWorldID(look));
}

void RequestMode(int8_t mode) {
    gMV2GameState.requested = mode;
}

// One thrown rock of the eruption, at `at` with `velocity`; it joins the eruption's group.
MV2Object* Throw(const TvV3d& at, const TvV3d& velocity) {
    const int32_t type = (TvRandom() & 1) ? kRockTypeB : kRockTypeA;
    const float position[3] = {at.x, at.y, at.z};
    MV2Object* rock = MV2CreateObject(type, position, nullptr);
    if (!rock) return nullptr;
    if (rock->body) rock->body->velocity = velocity;
    MV2ObjectSendMessage(rock, 36, int32_t(kEruptionRecord), 0);
    return rock;
}

void OpeningCutScene() {
    MV2SetLetterbox(1);
    MV2SetCameraMode(kMV2CameraTracking);
    MV2SpawnLevelRecord(kEruptionRecord, kRow);
    AimCameraAtWorldIds(kEruptionEye, kEruptionLook);
    MV2Object* volcano = MV2FindObjectByWorldID(kVolcano);
    MV2Object* eye = MV2FindObjectByWorldID(kEruptionEye);
    if (const TvV3d* v = PositionOf(volcano)) {
        const float at[3] = {v->x, v->y, v->z};
        MV2StartLavaBlobs(at);
        // Four units beyond the volcano on the line from the camera through it.
        TvV3d dir = {0.0f, 0.0f, 0.0f};
        if (const TvV3d* e = PositionOf(eye)) {
            const TvV3d d = TvV3dSub(*v, *e);
            TvV3dNormalize(&dir, &d);
        }
        const float position[3] = {v->x + 4.0f * dir.x - 1.0f, v->y + 4.0f * dir.y, v->z + 4.0f * dir.z};
        MV2SetObjectRef(&g_m.eruption, MV2CreateObject(kEruptionType, position, nullptr));
    }
    SetTimer(kTimerFlyOverA, 8000);
    SetTimer(kTimerEruption, RandomMs());
    SetTimer(kTimerLastThrow, 3500);
    g_m.thrown = 0;
    g_m.savedWorldCaustics = MV2GetWorldCaustics();
    g_m.savedAtomicCaustics = MV2GetAtomicCaustics();
    MV2SetWorldCaustics(1);
    MV2SetAtomicCaustics(0);
    RequestMode(13);
    MV2StartCameraShake(1, 0.25f);
}

void EruptionThrow() {
    if (const TvV3d* v = PositionOf(MV2FindObjectByWorldID(kVolcano))) {
        TvV3d d;
        MV2RandomHorizontalDirection(&d);
        d.z = std::fabs(d.z);
        const TvV3d at = {v->x + d.x, v->y + d.y, v->z + d.z};
        Throw(at, {0.5f * d.x, MV2RandomUnit(), 0.5f * d.z});
    }
    if (++g_m.thrown < kMaxThrown) SetTimer(kTimerEruption, RandomMs());
}

void LastThrow() {
    const TvV3d* v = PositionOf(MV2FindObjectByWorldID(kVolcano));
    if (!v) return;
    MV2Object* rock = Throw({v->x - 0.5f, v->y, v->z}, {-0.48f, 0.38f, 0.055f});
    if (rock && rock->clump) MV2SetAllAtomicFlags(rock->clump, 4);
}

void RaceSetUp() {
    MV2MissionRemoveNotify(kRow, kEventModeLeft);
    MV2PendingMission = 0;
    MV2DestroyLevelRecordObjects(kEruptionRecord);
    MV2DestroyLevelRecordObjects(kFlyOverA);
    MV2DestroyLevelRecordObjects(kFlyOverB);
    for (int32_t i = 0; i < 3; ++i) {
        g_m.labels[i] = MV2FindObjectByWorldID(kLabelObjects[i]);
        if (g_m.labels[i]) MV2MapAddLabel(g_m.labels[i], kLabelTexts[i]);
    }
    MV2ResetSounds();
    MV2SetCameraMode(kMV2CameraTracking);
    AimCamera(MV2FindObjectByWorldID(kRaceEye), MV2FindObjectByScriptID(kRaceLook));
    if (MV2Object* from = MV2FindObjectByWorldID(kRaceMoveFrom)) MV2StartCameraMove(from, 14000);
    MV2SetWorldCaustics(g_m.savedWorldCaustics);
    MV2SetAtomicCaustics(g_m.savedAtomicCaustics);
    RequestMode(13);
    MV2MovePlayerToStartPoint(kStartPost);
    int32_t t = int32_t(MV2PlayMissionMessage(288));
    t = MV2MissionQueueMessage(kRow, 723, t);
    MV2MissionQueueMessage(kRow, 724, t);
    SetTimer(kTimerRaceStart, 500);
    g_m.pulse = 1;
    SetTimer(kTimerPulse, 500);
    RebuildScoreTable();
}

void Launch() {
    if (g_m.launchCounter < 5) {
        SetTimer(kTimerLaunch, g_m.launchCounter == 4 ? 100 : 1000);
        MV2Object* rival = MV2MissionCreateObject(0, MV2FindObjectByWorldID(kLaunchPoint), kRow);
        if (rival) {
            MV2ObjectSendMessage(rival, 29, 0, reinterpret_cast<intptr_t>(MV2SubAIBrain));
            MV2SubAIOrderFullAhead(rival);
            MV2ObjectSendMessage(rival, 21, 21, 0);
            MV2ObjectSendMessage(rival, 48, 5, 0);
            if (g_m.launchCounter == 3)
                MV2SetMissionObjectB(rival);
            else
                MV2SetMissionObjectA(rival);
        }
        MV2SetObjectRef(&g_m.craft[g_m.launchCounter], rival);
        ++g_m.launchCounter;
        return;
    }
    if (g_m.launchCounter != 5) return;
    // The player's craft is piloted out of the city.
    MV2Object* player = MV2GetPlayerObject();
    MV2Object* exit = MV2FindObjectByScriptID(kCityExit);
    if (player && exit) {
        MV2ObjectSendMessage(player, 29, 0, reinterpret_cast<intptr_t>(MV2SubAIBrain));
        // The city took the craft off the active list when it let it go: back on it, so that
        // the brain runs every frame wherever the camera looks.
        MV2ObjectSendMessage(player, 0, 1, 0);
        MV2SubAIOrderGoTo(player, exit, 0.5f);
        MV2SubAIPushCommand(player);
        MV2SubAIPlaceOnCityRoute(player, 2);
        MV2CityCraftExited(player, &gMV2CityBays[2]);
    }
    SetTimer(kTimerOutOfCity, 4000);
    ++g_m.launchCounter;
}

void OutOfCity() {
    MV2Object* sub = MV2GetPlayerSub();
    MV2Object* exit = MV2FindObjectByScriptID(kCityExit);
    if (sub && exit && MV2ObjectDistanceSquared(sub, exit) >= 2.0) {
        SetTimer(kTimerOutOfCity, 100);
        return;
    }
    RequestMode(0);
    MV2HudSetMode(0);
    g_m.pulse = 0;
    MV2ScriptPlacesPlayer = 0;
    for (int32_t slot = kFirstRival; slot < kRivals; ++slot) {
        MV2Object* rival = Rival(slot);
        if (!rival) continue;
        MV2Object* target = MV2FindObjectByWorldID(FetchTarget(slot));
        MV2SubAIOrderFetch(rival, target, 3, kMV2AnyType, MV2GetNearestDrone(target));
        if (MV2SubAIData* data = MV2GetSubAIData(rival)) data->cannotDie = 1;
    }
    MV2SetMissionObjectAState(2);
    MV2SetMissionObjectBState(2);
    MV2HudSetObjective(MV2FindObjectByWorldID(kRaceGoal));
    MV2MissionSetCountdown(kRow, kRaceMs);
    SetTimer(kTimerLastMinute, kLastMinuteMs);
    g_m.idleSeconds = 0;
    SetTimer(kTimerGeiger, 1000);
}

MV2ToolGauge QueryTool(int32_t kind) {
    MV2ToolGauge gauge = {};
    MV2MissionToolCommand(MV2GetPlayerObject(), kind, kQueryCommand, 0, &gauge);
    return gauge;
}

void GeigerSecond() {
    if (QueryTool(kGeigerKind).reading > 0.001f) {
        g_m.idleSeconds = 0;
        SetTimer(kTimerIdentify, 1000);
        return;
    }
    if (++g_m.idleSeconds >= kIdleLimit) {
        MV2PlayMissionMessage(288);
        g_m.idleSeconds = 0;
    }
    SetTimer(kTimerGeiger, 1000);
}

void IdentifySecond() {
    if (!g_m.hinted && MV2TestKnownType(88)) {
        g_m.hinted = 1;
        MV2PlayMissionMessage(317);
    }
    for (int32_t type : {88, 92, 93, 101, 102}) {
        if (MV2TestDestroyedType(type)) {
            SetTimer(kTimerCarrying, 1000);
            return;
        }
    }
    SetTimer(kTimerIdentify, 1000);
}

void ClosingMessages() {
    MV2HudAddScoreRow(0, 0, 0, 1);
    int32_t t = 0;
    if (g_m.delivered[4] <= g_m.playerDelivered)
        t += int32_t(MV2PlayMissionMessage(g_m.delivered[4] < g_m.delivered[3] ? 899 : 898));
    if (g_m.playerDelivered == 0) t += int32_t(MV2PlayMissionMessage(621));
    t += int32_t(MV2PlayMissionMessage(305));
    SetTimer(kTimerRestart, t + 4000);
}

void Timer(int32_t event) {
    switch (event) {
    case kTimerOpening: OpeningCutScene(); break;
    case kTimerEruption: EruptionThrow(); break;
    case kTimerLastThrow: LastThrow(); break;
    case kTimerFlyOverA:
        MV2SpawnLevelRecord(kFlyOverA, kRow);
        AimCameraAtWorldIds(kFlyOverAEye, kFlyOverALook);
        SetTimer(kTimerFlyOverB, 6000);
        break;
    case kTimerFlyOverB:
        MV2SpawnLevelRecord(kFlyOverB, kRow);
        AimCameraAtWorldIds(kFlyOverBEye, kFlyOverBLook);
        SetTimer(kTimerCollector, 4000);
        if (MV2Object* e = MV2GetObjectRef(&g_m.eruption)) MV2ObjectSendMessage(e, 4, 0, 0);
        MV2ClearObjectRef(&g_m.eruption);
        MV2StopLavaBlobs();
        break;
    case kTimerCollector:
        if (g_m.collector) {
            g_m.collector->energy = -0.01f;
            MV2UpdateMining();
            int32_t result = 0;
            MV2ObjectSendMessage(g_m.collector, 12, 0, reinterpret_cast<intptr_t>(&result));
        }
        SetTimer(kTimerConsole, 6000);
        break;
    case kTimerConsole:
        MV2StartCameraShake(0, 0.0f);
        MV2EnterCity();
        MV2MissionInstallNotify(kRow, kEventConsoleLeft);
        MV2PendingMission = 1;
        break;
    case kTimerRaceStart:
        if (MV2Object* p = MV2FindObjectByWorldID(kPulsed)) MV2ObjectSendMessage(p, 33, 1, 0);
        g_m.launchCounter = 3;
        SetTimer(kTimerLaunch, 1000);
        break;
    case kTimerLaunch: Launch(); break;
    case kTimerOutOfCity: OutOfCity(); break;
    case kTimerGeiger:
        if (!g_m.done) GeigerSecond();
        break;
    case kTimerIdentify: IdentifySecond(); break;
    case kTimerCarrying:
        if (g_m.done) break;
        if (g_m.playerCarried == 0) {
            SetTimer(kTimerCarrying, 1000);
            break;
        }
        SetTimer(kTimerSuckUp, 5000);
        MV2PlayMissionMessage(296);
        SetTimer(kTimerHeavy, 1000);
        break;
    case kTimerHeavy:
        if (g_m.done) break;
        if (g_m.playerCarried < 41) {
            SetTimer(kTimerHeavy, 1000);
            break;
        }
        MV2MissionQueueMessage(kRow, 299, int32_t(MV2PlayMissionMessage(297)));
        if (MV2Object* o = MV2FindObjectByWorldID(0x20000)) MV2MapAddLabel(o, 53);
        if (MV2Object* o = MV2FindObjectByWorldID(0x2006C)) MV2MapAddLabel(o, 53);
        if (MV2Object* o = MV2FindObjectByWorldID(0x2002A)) MV2MapAddLabel(o, 394);
        break;
    case kTimerSuckUp:
        if (g_m.done) break;
        if (QueryTool(kSuckUpKind).on) {
            SetTimer(kTimerSuckUp, 2000);
            break;
        }
        {
            const int32_t t = int32_t(MV2PlayMissionMessage(300));
            if (!g_m.done) MV2MissionQueueMessage(kRow, 303, t);
        }
        break;
    case kTimerLastMinute:
        MV2StartCameraShake(1, 0.5f);
        SetTimer(kTimerLastWarning, 5000);
        break;
    case kTimerLastWarning:
        MV2PlayMissionMessage(908);
        MV2StartCameraShake(0, 0.0f);
        break;
    case kTimerPulse:
        if (!g_m.pulse) break;
        if (MV2Object* p = MV2FindObjectByWorldID(kPulsed)) MV2ObjectSendMessage(p, 33, 1, 0);
        SetTimer(kTimerPulse, 500);
        break;
    case kTimerEnd:
        if (!MV2MissionMessagesDone())
            SetTimer(kTimerEnd, 1000);
        else
            SetTimer(kMV2ScriptSequenceEnd, 1000);
        break;
    case kTimerClosing: ClosingMessages(); break;
    case kTimerRestart:
        if (MV2MissionHudMessagesFinished() && MV2MissionMessagesDone()) {
            MV2HudSetObjective(nullptr);
            MV2MissionRestart(2);
        } else {
            SetTimer(kTimerRestart, 1000);
        }
        break;
    default: break;
    }
}

void Start() {
    g_m = {};
    for (int32_t e : {kEventDelivery, kEventSuckedUp, kEventUnloaded, kEventCutSceneEnd})
        MV2MissionInstallNotify(kRow, e);
    MV2SpawnLevelRecord(kStartRecord, kRow);
    g_m.gauge = MV2FindObjectByWorldID(kGauge);
    if (g_m.gauge) g_m.gauge->energy = 0.5f;
    g_m.collector = MV2FindObjectByWorldID(kCollector);
    SetTimer(kTimerOpening, 1);
    MV2Object* player = MV2GetPlayerObject();
    if (const TvV3d* post = PositionOf(MV2FindObjectByWorldID(kStartPost)); player && post) {
        TvV3d at = *post;
        MV2ObjectSendMessage(player, 83, 0, reinterpret_cast<intptr_t>(&at));
    }
    MV2MissionBegin(kRow, 1);
    MV2AddMusicTrack(5, 1);
    MV2StartMusic();
    MV2HudSetMode(1);
    MV2SelectWallSet(1);
    MV2ArmGeigerAlert(1);
    MV2ScriptPlacesPlayer = 1;
}

void Tally() {
    for (int32_t e : {kEventDelivery, kEventSuckedUp, kEventUnloaded, kEventCutSceneEnd})
        MV2MissionRemoveNotify(kRow, e);
    for (int32_t label : kRemovedLabels) MV2MapRemoveLabel(label);
    MV2HudShowResultBanner(g_m.playerDelivered > 0 ? 1 : 0);
    MV2MissionSetCountdown(0, 0);
    g_m.done = 1;
    SetTimer(kTimerClosing, 4000);
}

// A rival's unload: the first always speaks, later ones only while that rival leads.
void Unloaded(MV2Object* object) {
    if (!object) return;
    if (object == MV2GetPlayerObject()) {
        g_m.playerCarried = 0;
        return;
    }
    const int32_t slot = SlotOf(object);
    if (slot < 0) return;
    const int32_t other = slot == 3 ? 4 : 3;
    const bool leads = g_m.delivered[slot] > g_m.playerDelivered &&
                       g_m.delivered[slot] > g_m.delivered[other];
    if (slot == 3) {
        if (g_m.unloads[3] == 0)
            MV2PlayMissionMessage(914);
        else if (leads)
            MV2PlayMissionMessage(897);
    } else {
        MV2PlayMissionMessage(g_m.unloads[4] > 0 && leads ? 913 : 624);
    }
    ++g_m.unloads[slot];
}

// Events 5 (sucked up) and 0 (delivered): the type's score moves into carried, or from
// carried into delivered.
void Score(MV2Object* object, int32_t event, int32_t type) {
    if (!object) return;
    const int32_t score = MV2GetTypeClassWeight(type, 1);
    const bool delivery = event == kEventDelivery;
    int32_t* carried = nullptr;
    int32_t* delivered = nullptr;
    if (object == MV2GetPlayerObject()) {
        carried = &g_m.playerCarried;
        delivered = &g_m.playerDelivered;
    } else if (int32_t slot = SlotOf(object); slot >= 0) {
        carried = &g_m.carried[slot];
        delivered = &g_m.delivered[slot];
    }
    if (carried) {
        if (delivery) {
            *delivered += score;
            *carried -= score;
        } else {
            *carried += score;
        }
    }
    RebuildScoreTable();
}

void Event(MV2Object* object, intptr_t event, intptr_t b) {
    switch (event) {
    case kEventSuckedUp:
    case kEventDelivery: Score(object, int32_t(event), int32_t(b)); break;
    case kEventUnloaded: Unloaded(object); break;
    case kEventConsoleLeft:
        MV2MissionRemoveNotify(kRow, kEventConsoleLeft);
        MV2MissionInstallNotify(kRow, kEventModeLeft);
        break;
    case kEventModeLeft: RaceSetUp(); break;
    default: break;
    }
}

} // namespace

int32_t MV2Mission1Script(MV2Object* object, int32_t message, intptr_t a, intptr_t b) {
    switch (message) {
    case kMV2ScriptStart:
    case kMV2ScriptRestart: Start(); break;
    case kMV2ScriptSequenceEnd: Tally(); break;
    case kMV2ScriptShutdown: MV2ArmGeigerAlert(0); break;
    case kMV2ScriptEvent: Event(object, a, b); break;
    case kMV2ScriptCountdownOver: SetTimer(kTimerEnd, 100); break;
    default:
        if (message >= kMV2ScriptFirstTimer) Timer(message);
        break;
    }
    return 1;
}
