#include "game/missions/mission10.h"

#include <cmath>
#include <cstdint>
#include <initializer_list>

#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "engine/world/random.h"
#include "game/creatures/repairdrone.h"
#include "game/creatures/subai.h"
#include "game/creatures/submarines.h"
#include "game/effects/bubbles.h"
#include "game/effects/primitives.h"
#include "game/frontend/hud.h"
#include "game/frontend/hudmessages.h"
#include "game/missions/city.h"
#include "game/missions/cutscenes.h"
#include "game/missions/friendlyfire.h"
#include "game/missions/levelobjects.h"
#include "game/missions/missionflow.h"
#include "game/missions/missionscripts.h"
#include "game/missions/missiontimers.h"
#include "game/missions/rocks.h"
#include "game/missions/routepoint.h"
#include "game/missions/scriptevents.h"
#include "game/objects/camera.h"
#include "game/objects/dynamics.h"
#include "game/objects/levels.h"
#include "game/objects/objects.h"
#include "game/player/loadout.h"
#include "game/player/playercraft.h"
#include "shell/errors.h"
#include "shell/gamemain.h"
#include "shell/gamestate.h"

MV2RescueMission gMV2Rescue = {};

namespace {

constexpr int32_t kRow = 10;
constexpr uint32_t kCutScene = 0x52FFFF, kTargetRecord = 0x6FFFF, kOverheadRecord = 0x1FFFFF;
constexpr int32_t kOverheadObject = 0x1F0002, kDestinationId = 0x20000, kStartPoint = 0x40055;

struct TargetDesc {
    int32_t scriptId, timeLimit, msPerUnit;
    uint32_t label;
};
constexpr TargetDesc kTargets[kMV2RescueTargets] = {
    {0x60000, 240000, 900, 678}, {0x60001, 480000, 3333, 725}, {0x60002, 420000, 2230, 678}};
constexpr int32_t kObjectIds[kMV2RescueObjects] = {0x60000, 0x60010, 0x60007, 0x60008, 0x60001,
                                                   0x60002, 0x6000C, 0x6000D, 0x60009};

constexpr int32_t kSetup = 256, kWatch = 257, kOverhead = 259, kSoundOff = 260, kOverheadEnd = 261,
                  kAmbush = 262, kAnnounce = 263, kTowHint = 266, kWarn = 267, kWarnOver = 270,
                  kTimeOut = 271, kFreed = 274, kClosing = 276, kNextRow = 277, kSecondLoss = 278;

constexpr uint32_t kAnnounceMessages[3] = {1022, 1023, 1024};
constexpr uint32_t kLeftMessages[3] = {1025, 1039, 1040};
constexpr uint32_t kWarnMessages[3] = {1026, 1037, 1038};
constexpr uint32_t kLostMessages[3] = {1028, 1029, 1030};
constexpr uint32_t kRescuedMessages[3] = {1033, 1034, 1035};

int32_t Now() {
    return int32_t(MV2GetGameTime());
}

bool Alive(const MV2RescueTarget& t) {
    return t.object && MV2ObjectHandleAlive(t.handle);
}

bool Done(uint32_t state) {
    return (state & (kMV2RescueRescued | kMV2RescueLost | kMV2RescueDestroyed)) != 0;
}

// The panel shows the targets as their records stand.
void ShowOnPanel(int32_t i) {
    const MV2RescueTarget& t = gMV2Rescue.targets[i];
    MV2RepairDroneEntry e{};
    e.object = {t.object, t.handle};
    e.endTime = t.deadline;
    e.divisor = t.msPerUnit;
    e.label = t.label;
    e.alarmTime = t.lastThreat;
    e.status = int32_t(t.state);
    MV2SetRepairDroneEntry(i, &e);
}

void SetState(int32_t i, uint32_t state) {
    gMV2Rescue.targets[i].state = state;
    ShowOnPanel(i);
}

MV2RescueObjectRecord& Record(int32_t i) {
    return gMV2Rescue.objects[i];
}

void ToDebris(int32_t i) {
    MV2RescueObjectRecord& r = Record(i);
    if (r.object && MV2ObjectHandleAlive(r.handle)) r.object->typeHandler = MV2RescueDebrisHandler;
    r.pinned = 0;
}

MV2Object* HeldByMagnet() {
    intptr_t held = 0;
    MV2MissionToolCommand(MV2GetPlayerSub(), 0, 34, 0, &held);
    return reinterpret_cast<MV2Object*>(held);
}

int32_t TargetOf(MV2Object* object) {
    for (int32_t i = 0; i < kMV2RescueTargets; i++)
        if (object && gMV2Rescue.targets[i].object == object) return i;
    return -1;
}

void CheckAllDecided(int32_t after) {
    if (gMV2Rescue.rescued + gMV2Rescue.lost == kMV2RescueTargets)
        MV2MissionSetTimer(kRow, kClosing, after);
}

void Rescued(int32_t i) {
    gMV2Rescue.rescued++;
    const int32_t shown = int32_t(MV2PlayMissionMessage(kRescuedMessages[i]));
    SetState(i, kMV2RescueRescued);
    CheckAllDecided(shown);
}

bool Quiet() {
    return MV2MissionHudMessagesFinished() && MV2MissionMessagesDone();
}

// A freed target heads home along the city route.
void FreeTarget(int32_t i, int32_t object, int32_t timer) {
    MV2RescueTarget& t = gMV2Rescue.targets[i];
    MV2RescueObjectRecord& r = Record(object);
    if (r.object && MV2ObjectHandleAlive(r.handle)) r.object->typeHandler = MV2SubmarineHandler;
    r.pinned = 0;
    if (t.state != kMV2RescueWaiting) return;
    MV2MissionSetTimer(kRow, timer, 1);
    SetState(i, kMV2RescueFreed);
    MV2SubAIOrderCityRoute(t.object, 3);
    gMV2Rescue.guideMode = 0;
    gMV2Rescue.guideTarget = 3;
}

void Setup() {
    MV2RescueMission& m = gMV2Rescue;
    MV2MissionBegin(kRow, 1);
    MV2MissionInstallNotify(kRow, 6);
    MV2MissionInstallNotify(kRow, 21);
    MV2SpawnLevelRecord(kTargetRecord, kRow);
    m.over = m.hintPending = 0;
    m.guideTime = 0;
    m.lost = m.rescued = 0;
    m.guideMode = 0;
    m.firstPickup = 1;
    m.guideTarget = 3;
    m.nextTowHint = Now();
    for (int32_t i = 0; i < kMV2RescueTargets; i++)
        MV2RescueSetupTarget(i, kTargets[i].scriptId, kTargets[i].timeLimit, kTargets[i].msPerUnit,
                             kTargets[i].label);
    m.displayOn = 1;
    MV2EnableRepairDroneHud();
    for (int32_t i = 0; i < kMV2RescueObjects; i++) {
        MV2RescueObjectRecord& r = m.objects[i];
        r = {};
        MV2Object* o = MV2FindObjectByScriptID(kObjectIds[i]);
        if (!o) continue;
        o->typeHandler = MV2RescueObjectHandler;
        if (o->matrix) r.saved = *o->matrix;
        r.nextCheck = Now();
        r.handle = o->handle;
        r.object = o;
        r.pinned = kObjectIds[i] != 0x60001;
    }
    m.destination = MV2FindObjectByScriptID(kDestinationId);
}

void Begin() {
    const int32_t first = int32_t(MV2PlayMissionMessage(1015));
    MV2MissionQueueMessage(kRow, 1017, MV2MissionQueueMessage(kRow, 1016, first));
    MV2MissionSetTimer(kRow, kWatch, 2000);
    MV2MissionSetTimer(11, 1001, 35000);
}

void Watch() {
    MV2RescueMission& m = gMV2Rescue;
    const int32_t now = Now();
    for (int32_t i = 0; i < kMV2RescueTargets; i++) {
        const MV2RescueTarget& t = m.targets[i];
        if ((t.state == kMV2RescueWaiting || t.state == kMV2RescueFreed) && Alive(t) && t.deadline < now)
            MV2MissionSetTimer(kRow, kTimeOut + i, 1);
    }
    if (m.guideMode == 0) {
        m.guideTime += 2000;
        m.guideTarget = 3;
        int32_t candidate = -1;
        for (int32_t i = 0; i < kMV2RescueTargets; i++)
            if (MV2RescueTargetNearPlayer(i) &&
                (candidate < 0 || m.targets[i].state == kMV2RescueWaiting))
                candidate = i;
        if (candidate >= 0) {
            MV2RescueTarget& t = m.targets[candidate];
            if (t.state == kMV2RescueWaiting && !t.announced) {
                t.announced = 1;
                MV2MissionSetTimer(kRow, kAnnounce + candidate, 1);
            } else if (t.state == kMV2RescueWaiting) {
                if (candidate == 1) {
                    m.guideTarget = 1;
                    m.guideMode = 1;
                }
            } else if (t.state == kMV2RescueLost && !t.announced) {
                t.announced = 1;
                MV2PlayMissionMessage(1088);
            }
        } else {
            bool waiting = false;
            for (const MV2RescueTarget& t : m.targets) waiting = waiting || t.state == kMV2RescueWaiting;
            if (waiting && m.guideTime == 120000) MV2PlayMissionMessage(1020);
            if (waiting && m.guideTime == 180000) MV2FriendlyFireTrigger(1021);
        }
    } else if (m.guideTarget < 3) {
        m.guideTime = 0;
        const int32_t g = int32_t(m.guideTarget);
        MV2RescueTarget& t = m.targets[g];
        if (!Alive(t) || Done(t.state)) {
            t.announced = 0;
            m.guideTarget = 3;
            m.guideMode = 0;
        } else if (t.state == kMV2RescueWaiting && !MV2RescueTargetNearPlayer(g)) {
            const bool atDropPoint = g == 1 && m.destination &&
                                     MV2ObjectDistanceSquared(t.object, m.destination) < 9.0;
            if (!atDropPoint) MV2PlayMissionMessage(kLeftMessages[g]);
            m.guideTarget = 3;
            m.guideMode = 0;
        }
    } else {
        m.guideMode = 0;
    }
    if (!m.over) MV2MissionSetTimer(kRow, kWatch, 2000);
}

void Overhead() {
    MV2SpawnLevelRecord(kOverheadRecord, kRow);
    MV2Object* mark = MV2FindObjectByScriptID(kOverheadObject);
    if (!mark || !mark->matrix) return;
    if (TvFrame* frame = gMV2MainCamera ? gMV2MainCamera->object.frame : nullptr) {
        TvMatrix* m = TvFrameGetMatrix(frame);
        const TvV3d p = mark->matrix->pos;
        m->pos = {p.x, p.y + mark->radius + 0.5f, p.z - 0.25f};
        m->right = {-1, 0, 0};
        m->up = {0, 0, -1};
        m->at = {0, -1, 0};
        TvFrameUpdateObjects(frame);
    }
    MV2SetCameraMode(5);
    MV2SetLetterbox(1);
    if (MV2Object* player = MV2GetPlayerObject()) {
        MV2ObjectSendMessage(player, 31, 0, reinterpret_cast<intptr_t>(player->overrideHandler));
        if (player->body) *player->body = MV2Body{};
    }
    MV2MissionSetTimer(kRow, kOverheadEnd, 2500);
}

void Ambush() {
    struct Leg {
        int32_t id;
        float reach;
    };
    for (const Leg& leg : {Leg{0x40290, 75.0f}, Leg{0x400FA, 60.0f}}) {
        MV2Object* goal = MV2FindObjectByScriptID(leg.id);
        TvV3d at;
        if (!goal || !goal->matrix || !MV2FindRoutePointAtDistance(&goal->matrix->pos, &leg.reach, &at))
            continue;
        MV2Object* pirate = MV2CreateObject(56, &at.x, nullptr);
        if (!pirate) continue;
        MV2ObjectSendMessage(pirate, 21, 0, 0);
        MV2SubAIOrderAttack(pirate, MV2GetPlayerSub(), 1);
        if (MV2SubAIData* ai = MV2GetSubAIData(pirate)) ai->passivity = 10;
    }
}

void Closing() {
    MV2RescueMission& m = gMV2Rescue;
    int32_t shown;
    if (m.lost == 0) {
        shown = int32_t(MV2PlayMissionMessage(1044));
        MV2AddAwardCounter(0, 1, 5);
    } else {
        shown = int32_t(MV2PlayMissionMessage(1043));
    }
    m.over = 1;
    MV2HudShowResultBanner(1);
    MV2MissionSetTimer(kRow, kNextRow, shown + 5000);
}

void Threat(MV2Object* object) {
    MV2RescueMission& m = gMV2Rescue;
    for (int32_t i = 0; i < kMV2RescueTargets; i++) {
        MV2RescueTarget& t = m.targets[i];
        if (t.state == kMV2RescueLost || t.state == kMV2RescueDestroyed || !Alive(t) || t.object != object)
            continue;
        const int32_t now = Now();
        t.deadline -= 4000;
        t.lastThreat = now;
        ShowOnPanel(i);
        if (!m.hintPending && t.deadline > now + 12000) {
            MV2MissionSetTimer(kRow, kWarn + i, 2);
            m.hintPending = 1;
        }
        return;
    }
}

void OnEvent(MV2Object* object, intptr_t event, intptr_t value) {
    MV2RescueMission& m = gMV2Rescue;
    switch (event) {
    case 13:
        MV2MissionRemoveNotify(kRow, 13);
        MV2SelectSub(67);
        MV2MissionInstallNotify(kRow, 8);
        break;
    case 8:
        MV2PendingMission = 0;
        MV2MissionRemoveNotify(kRow, 8);
        MV2SetCityActive(0);
        MV2CutSceneStart(kCutScene, 0);
        MV2SetLetterbox(1);
        gMV2GameState.requested = 12;
        MV2MissionInstallNotify(kRow, 16);
        MV2MissionInstallNotify(kRow, 3);
        break;
    case 16:
        if (value != 42) break;
        MV2MissionRemoveNotify(kRow, 16);
        MV2SetCityActive(1);
        break;
    case 3:
        MV2DestroyLevelRecordObjects(kCutScene);
        MV2MissionRemoveNotify(kRow, 3);
        MV2MissionInstallNotify(kRow, 4);
        gMV2GameState.requested = 0;
        break;
    case 4:
        MV2MissionRemoveNotify(kRow, 4);
        MV2MovePlayerToStartPoint(kStartPoint);
        if (MV2Object* sub = MV2GetPlayerSub()) {
            MV2ObjectSendMessage(sub, 29, 0, reinterpret_cast<intptr_t>(MV2SubAIBrain));
            MV2CityDispatchCraft(sub, 2, nullptr);
            MV2UpdateCamera(sub);
        }
        MV2MissionSetTimer(kRow, kSetup, 1);
        break;
    case 6:
        for (int32_t i : {0, 2})
            if (Alive(m.targets[i]) && object == m.targets[i].object) {
                Rescued(i);
                break;
            }
        break;
    case 21: {
        MV2RescueTarget& t = m.targets[1];
        if (!Alive(t) || object != t.object) break;
        MV2MissionRemoveNotify(kRow, 21);
        if (t.state != kMV2RescueLost) Rescued(1);
        break;
    }
    default: break;
    }
}

void Timer(int32_t timer) {
    MV2RescueMission& m = gMV2Rescue;
    const bool waitsForQuiet = (timer >= kAnnounce && timer <= kWarn + 2) || (timer >= kTimeOut && timer <= kFreed + 1);
    if (waitsForQuiet && !Quiet()) {
        MV2MissionSetTimer(kRow, timer, 500);
        return;
    }
    if (timer >= kAnnounce && timer < kAnnounce + 3) {
        const int32_t i = timer - kAnnounce;
        MV2RescueTarget& t = m.targets[i];
        if (t.state != kMV2RescueWaiting || !Alive(t)) return;
        MV2PlayMissionMessage(kAnnounceMessages[i]);
        m.guideTarget = uint32_t(i);
        m.guideMode = 1;
        if (i == 2) {
            MV2StartCameraShake(1, 0.25f);
            MV2MissionSetTimer(kRow, kSoundOff, 4500);
            MV2MissionSetTimer(kRow, kOverhead, 1500);
        }
        return;
    }
    if (timer >= kWarn && timer < kWarn + 3) {
        const MV2RescueTarget& t = m.targets[timer - kWarn];
        if (Alive(t) && !Done(t.state)) MV2PlayMissionMessage(kWarnMessages[timer - kWarn]);
        MV2MissionSetTimer(kRow, kWarnOver, 5000);
        return;
    }
    if (timer >= kTimeOut && timer < kTimeOut + 3) {
        const int32_t i = timer - kTimeOut;
        const MV2RescueTarget& t = m.targets[i];
        if (!(t.state & (kMV2RescueRescued | kMV2RescueDestroyed)) && Alive(t)) MV2RescueTargetLost(i, 1, 0);
        return;
    }
    if (timer == kFreed || timer == kFreed + 1) {
        const int32_t i = timer == kFreed ? 0 : 2;
        if (m.targets[i].state == kMV2RescueFreed && Alive(m.targets[i]))
            MV2PlayMissionMessage(i == 0 ? 1027 : 1042);
        return;
    }
    switch (timer) {
    case kSetup: Setup(); break;
    case kWatch:
        if (!m.over) Watch();
        break;
    case kOverhead: Overhead(); break;
    case kSoundOff: MV2StartCameraShake(0, 0.0f); break;
    case kOverheadEnd:
        MV2SetCameraMode(1);
        MV2SetLetterbox(2);
        if (MV2Object* player = MV2GetPlayerObject())
            MV2ObjectSendMessage(player, 29, 0, reinterpret_cast<intptr_t>(MV2PlayerHandler));
        break;
    case kAmbush: Ambush(); break;
    case kTowHint: {
        const MV2RescueTarget& t = m.targets[1];
        if (t.state != kMV2RescueWaiting || !Alive(t)) break;
        if (Now() > m.nextTowHint) {
            m.nextTowHint = Now() + 10000;
            MV2PlayMissionMessage(1041);
        }
        MV2HudSetObjective(m.destination);
        break;
    }
    case kWarnOver: m.hintPending = 0; break;
    case kClosing: Closing(); break;
    case kNextRow:
        MV2HideRescueTargets();
        MV2MissionRemoveNotify(kRow, 6);
        MV2MissionRestart(11);
        break;
    case kSecondLoss: MV2FriendlyFireTrigger(1032); break;
    default: break;
    }
}

} // namespace

void MV2HideRescueTargets() {
    gMV2Rescue.displayOn = 0;
    MV2DisableRepairDroneHud();
}

void MV2RescueSetupTarget(int32_t index, int32_t scriptId, int32_t timeLimit, int32_t msPerUnit,
                          uint32_t labelId) {
    MV2RescueMission& m = gMV2Rescue;
    MV2RescueTarget& t = m.targets[index];
    const int32_t now = Now();
    t = {};
    t.object = MV2FindObjectByScriptID(scriptId);
    t.deadline = now + timeLimit;
    t.lastThreat = now - 1000;
    t.msPerUnit = msPerUnit;
    t.label.id = labelId;
    MV2GetText(&t.label);
    if (!t.object) {
        // A target the level does not hold counts as lost, without a word, so that the other
        // two can still decide the mission.
        t.state = kMV2RescueDestroyed;
        m.lost++;
        ShowOnPanel(index);
        return;
    }
    t.handle = t.object->handle;
    t.state = kMV2RescueWaiting;
    MV2ObjectSendMessage(t.object, 29, 0, reinterpret_cast<intptr_t>(MV2SubAIBrain));
    if (index == 1) MV2ObjectSendMessage(t.object, 0, 256, 0);
    MV2ObjectSendMessage(t.object, 0, 128, 0);
    MV2SubAIOrderSink(t.object);
    MV2MissionAttachObject(kRow, t.object);
    ShowOnPanel(index);
}

void MV2RescueTargetLost(int32_t index, int32_t announce, int32_t delay) {
    MV2RescueMission& m = gMV2Rescue;
    MV2RescueTarget& t = m.targets[index];
    if (m.over || Done(t.state)) return;
    m.lost++;
    int32_t after = delay;
    if (announce) {
        after = MV2MissionQueueMessage(kRow, kLostMessages[index], delay);
        if (index == 1) MV2HudSetObjective(nullptr);
        MV2SubAISetSink(t.object);
        SetState(index, kMV2RescueLost);
    } else {
        SetState(index, kMV2RescueDestroyed);
    }
    if (m.over) return;
    if (m.lost == 1) {
        if (m.rescued < 2)
            MV2MissionQueueMessage(kRow, 1031, after);
        else
            MV2MissionSetTimer(kRow, kClosing, after);
    } else if (m.lost == 2) {
        MV2HudShowResultBanner(0);
        MV2MissionSetTimer(kRow, kSecondLoss, after);
    }
}

int32_t MV2RescueTargetNearPlayer(int32_t index) {
    const MV2RescueTarget& t = gMV2Rescue.targets[index];
    MV2Object* sub = MV2GetPlayerSub();
    if (!Alive(t) || !sub) return 0;
    return MV2ObjectDistanceSquared(t.object, sub) < 169.0 ? 1 : 0;
}

int32_t MV2RescueIsClear(int32_t a, int32_t b) {
    const MV2RescueObjectRecord& ra = Record(a);
    const MV2RescueObjectRecord& rb = Record(b);
    if (!rb.object || !MV2ObjectHandleAlive(rb.handle)) return 1;
    if (!ra.object || !ra.object->matrix || !rb.object->matrix) return 1;
    const TvV3d d = TvV3dSub(ra.object->matrix->pos, rb.object->matrix->pos);
    if (rb.object->matrix->pos.y <= ra.object->matrix->pos.y && TvV3dDot(d, ra.object->matrix->at) >= 0.0f)
        return 1;
    return std::sqrt(TvV3dDot(d, d)) >= ra.object->radius + rb.object->radius + 2.0f ? 1 : 0;
}

int32_t Mv2RescueGetObjectID(MV2Object* object) {
    if (object)
        for (int32_t i = 0; i < kMV2RescueObjects; i++)
            if (object->scriptId == kObjectIds[i]) return i;
    MV2ErrorBox("Unhandled object passed to Mv2RescueGetObjectID\n");
    return -1;
}

intptr_t MV2RescueObjectHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    MV2RescueMission& m = gMV2Rescue;
    int32_t i = Mv2RescueGetObjectID(object);
    // An object whose record was set up for another object (or not at all) only gets the
    // fallback handling.
    if (i >= 0 && (Record(i).object != object || !MV2ObjectHandleAlive(Record(i).handle))) i = -1;
    if (i >= 0) {
        MV2RescueObjectRecord& r = Record(i);
        switch (message) {
        case 2: {
            const int32_t now = Now();
            if (now <= r.nextCheck) break;
            r.nextCheck = now + 400 + (TvRandom() & 63);
            if (object->aiCategory == 6 && object->matrix) {
                const float still[3] = {0, 0, 0};
                MV2CreateBubble(&object->matrix->pos.x, still, 0.05f + float(TvRandom() & 255) / 2550.0f);
            }
            if (i == 0 || i == 5) {
                const int32_t target = i == 0 ? 0 : 2;
                const bool clear = i == 0 ? MV2RescueIsClear(0, 2) && MV2RescueIsClear(0, 1)
                                          : MV2RescueIsClear(5, 6) && MV2RescueIsClear(5, 8);
                if (clear && HeldByMagnet() != object) {
                    FreeTarget(target, i, i == 0 ? kFreed : kFreed + 1);
                    return 1;
                }
                if (i == 5 && !r.pinned) Record(8).pinned = 0;
            } else if (i == 1 && !MV2ObjectHandleAlive(Record(2).handle)) {
                ToDebris(1);
            }
            break;
        }
        case 4: r.pinned = 0; break;
        case 14:
        case 19: {
            auto* other = reinterpret_cast<MV2Object*>(p2);
            if (r.pinned && other && other->typeHandler == MV2RescueObjectHandler) {
                for (int32_t k = 0; k < kMV2RescueObjects; k++)
                    if (other->scriptId == kObjectIds[k] && Record(k).pinned) return 0;
            }
            break;
        }
        case 43:
            if (i == 4 && !m.over) MV2HudSetObjective(nullptr);
            break;
        case 44: {
            bool handed = false;
            if (i == 4) {
                if (m.targets[1].state == kMV2RescueWaiting) MV2MissionSetTimer(kRow, kTowHint, 1);
                if (m.firstPickup) {
                    m.firstPickup = 0;
                    MV2MissionSetTimer(kRow, kAmbush, 8000);
                }
            } else if (i == 1 || i == 2 || i == 3) {
                if (i == 2) ToDebris(1);
                Record(0).pinned = 0;
                ToDebris(i);
                handed = true;
            } else if (i == 6 || i == 7) {
                ToDebris(i);
                handed = true;
            } else if (i == 8 && !Record(6).pinned) {
                Record(5).pinned = 0;
                ToDebris(8);
                handed = true;
            }
            if (handed) MV2RescueDebrisHandler(object, message, p1, p2);
            break;
        }
        default: break;
        }
    }
    // The craft's own handling, or the default one.
    const intptr_t result = object->aiCategory == 6 ? MV2SubmarineHandler(object, message, p1, p2)
                                                    : MV2ObjectDefaultHandler(object, message, p1, p2);
    if (result == 0) return 0;
    if (message == 2 && i >= 0) {
        MV2RescueObjectRecord& r = Record(i);
        if (r.pinned && MV2ObjectHandleAlive(r.handle) && object->matrix) {
            *object->matrix = r.saved;
            MV2ObjectMoved(object);
            if (object->body) *object->body = MV2Body{};
        }
    }
    return 1;
}

int32_t MV2RescueMissionScript(MV2Object* object, int32_t message, intptr_t a, intptr_t b) {
    MV2RescueMission& m = gMV2Rescue;
    switch (message) {
    case kMV2ScriptStart:
    case kMV2ScriptRestart:
        MV2PendingMission = 4;
        MV2MissionInstallNotify(kRow, 13);
        break;
    case kMV2ScriptBegin: Begin(); break;
    case kMV2ScriptEvent: OnEvent(object, a, b); break;
    case 8: Threat(object); break;
    case 10:
        if (const int32_t i = TargetOf(object); i >= 0) MV2RescueTargetLost(i, 0, 0);
        break;
    case kMV2ScriptObjectKilled:
        if (const int32_t i = TargetOf(object);
            i >= 0 && b && reinterpret_cast<MV2Object*>(b) == MV2GetPlayerSub())
            MV2FriendlyFireTrigger(m.targets[i].state == kMV2RescueLost ? 1094 : 1036);
        break;
    default:
        if (message >= kMV2ScriptFirstTimer) Timer(message);
        break;
    }
    return 1;
}
