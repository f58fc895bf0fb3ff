// Mission row 7: from the city console the player finds the first goal, then ten escorts gather
// at a meeting point while a city craft tows a wreck; when the escorts have arrived, or all of
// them are lost and the craft is at the wreck or the second route is taken, the wreck bursts,
// the closing cut-scene plays and the campaign moves on to row 8. Reminders fail the mission
// after twice 120 s without progress.
#include <cstdint>
#include <initializer_list>

#include "engine/world/random.h"
#include "game/creatures/creatures.h"
#include "game/creatures/subai.h"
#include "game/effects/explosions.h"
#include "game/frontend/hud.h"
#include "game/frontend/missionmap.h"
#include "game/missions/city.h"
#include "game/missions/levelobjects.h"
#include "game/missions/missions.h"
#include "game/missions/scriptkit.h"
#include "game/objects/camera.h"
#include "game/objects/dynamics.h"
#include "game/objects/levels.h"
#include "game/objects/levelswitch.h"
#include "game/player/playercraft.h"
#include "shell/cdaudio.h"
#include "shell/gamestate.h"

namespace {

constexpr int32_t kRow = 7;
constexpr int32_t kCraftType = 0;
constexpr uint32_t kRecord = 0x21FFFF;
constexpr int32_t kFirstGoal = 0x40247, kMeetingPoint = 0x40268, kWreck = 0x210001;
constexpr int32_t kTowPost = 0x4026D, kCityPost = 0x4026E, kGuardPost = 0x40242;
constexpr uint32_t kEscortCutScene = 0x1CFFFF, kClosingCutScene = 0x1AFFFF;
constexpr int32_t kEscorts = 10;
constexpr int32_t kEscortIds[kEscorts] = {0x21000C, 0x210011, 0x210010, 0x210009, 0x210008,
                                         0x21000B, 0x21000D, 0x21000E, 0x21000A, 0x21000F};
constexpr int32_t kEscortGoals[2] = {0x4027F, 0x40280}; // the first five, the other five
constexpr int32_t kFailure = 985;
constexpr int32_t kEventCraftHome = 6, kEventConsoleLeft = 8, kEventPath = 16, kEventSequenceDone = 17;

enum : int32_t {
    kTimerEscortStart = 256,
    kTimerTow = 257,
    kTimerLaunchTow = 258,
    kTimerEscortCheck = 259,
    kTimerBurst = 261,
    kTimerNudge = 262,
    kTimerClosing = 263,
    kTimerGoalReminder = 264,
    kTimerGoalFail = 265,
    kTimerMeetReminder = 266,
    kTimerMeetFail = 267,
    kTimerEscortReminder = 268,
    kTimerLate = 269,
    kTimerLaunchGuard = 270,
};

struct Mission7 {
    int32_t goalReached, cutSceneStarted, craftLaunched, craftAtWreck, secondRoute, escortsArrived,
        noEscortLeft, late;
    int32_t burstArmed; // the check has armed the burst; it runs no more
    MV2ObjectRef firstGoal, meetingPoint, wreck;
    MV2ObjectRef escort[kEscorts];
};
Mission7 g_m7;

void Timer(int32_t timer, int32_t ms) {
    MV2MissionSetTimer(kRow, timer, ms);
}

MV2Object* Live(const MV2ObjectRef& ref) {
    return MV2ScriptLive(ref);
}

void PushGoTo(MV2Object* craft, MV2Object* target, float arrival) {
    if (craft && target && MV2SubAIPushCommand(craft)) MV2SubAISetGoTo(craft, target, arrival);
}

void PushCityRoute(MV2Object* craft, int32_t route) {
    if (craft && MV2SubAIPushCommand(craft)) MV2SubAIPlaceOnCityRoute(craft, route);
}

void Restart() {
    Mission7& m = g_m7;
    m = {};
    MV2ScriptKeep(m.firstGoal, MV2FindObjectByScriptID(kFirstGoal));
    MV2ScriptKeep(m.meetingPoint, MV2FindObjectByScriptID(kMeetingPoint));
    MV2MissionBegin(kRow, 1);
    MV2SpawnLevelRecord(kRecord, kRow);
    MV2SetLevelSwitch(2, 1);
    MV2ScriptKeep(m.wreck, MV2FindObjectByScriptID(kWreck));
    MV2MissionInstallNotify(kRow, kEventConsoleLeft);
}

void ConsoleLeft() {
    Mission7& m = g_m7;
    MV2MissionRemoveNotify(kRow, kEventConsoleLeft);
    const int32_t t = MV2MissionQueueMessage(kRow, 345, int32_t(MV2PlayMissionMessage(344)));
    if (MV2Object* goal = Live(m.firstGoal)) {
        MV2MapAddLabel(goal, 685);
        MV2LockTarget(goal, 7.0f, 0, kRow);
    }
    Timer(kTimerGoalReminder, t + 120000);
}

// Messages still showing or queued hold the step back.
bool Busy() {
    return !MV2ScriptQueuesEmpty();
}

void ArmCheck(int32_t ms) {
    MV2MissionKillTimer(kRow, kTimerEscortCheck); // one check loop at a time
    Timer(kTimerEscortCheck, ms);
}

bool CraftNearWreck() {
    return MV2ScriptNear(MV2GetMissionObjectB(), Live(g_m7.wreck), 8.0f);
}

void EscortCheck() {
    Mission7& m = g_m7;
    if (m.burstArmed) return;
    if (!m.noEscortLeft) {
        MV2Object* meeting = Live(m.meetingPoint);
        float d = 9999999.0f;
        bool alive = false;
        for (const MV2ObjectRef& ref : m.escort) {
            MV2Object* e = Live(ref);
            if (!e) continue;
            alive = true;
            if (meeting && MV2ScriptDistanceSquared(e, meeting) < d) d = MV2ScriptDistanceSquared(e, meeting);
        }
        if (meeting && !alive) m.noEscortLeft = 1;
        if (!m.noEscortLeft) {
            m.escortsArrived = (m.late && d < 324.0f) || (m.craftAtWreck && d < 1024.0f);
            if (!m.escortsArrived && !m.craftAtWreck && CraftNearWreck()) {
                m.craftAtWreck = 1;
                MV2PlayMissionMessage(693);
                Timer(kTimerEscortReminder, 60000);
            }
        }
    }
    // Without escorts the craft at the wreck completes the meeting, else the second route
    // is taken; each once.
    if (m.noEscortLeft && !m.escortsArrived && !m.secondRoute) {
        if (m.craftAtWreck || CraftNearWreck()) {
            m.craftAtWreck = 1;
            MV2PlayMissionMessage(695);
            m.escortsArrived = 1;
        } else {
            m.secondRoute = 1;
            MV2MissionQueueMessage(kRow, 697, int32_t(MV2PlayMissionMessage(691)));
        }
    }
    if (Busy() || (!m.escortsArrived && !m.secondRoute)) {
        ArmCheck(1810);
        return;
    }
    m.burstArmed = 1;
    MV2MissionKillTimer(kRow, kTimerEscortCheck);
    MV2PlayMissionMessage(m.secondRoute ? 698 : 696);
    Timer(kTimerBurst, 2000);
}

void EscortStart() {
    Mission7& m = g_m7;
    MV2Object* sub = MV2GetPlayerSub();
    if (!sub || !MV2ScriptNear(sub, MV2FindObjectByScriptID(kCityPost), 50.0f)) {
        Timer(kTimerEscortStart, 980);
        return;
    }
    m.cutSceneStarted = 1;
    MV2MissionQueueMessage(kRow, 349, int32_t(MV2PlayMissionMessage(348)));
    MV2MissionInstallNotify(kRow, kEventSequenceDone);
    MV2MissionInstallNotify(kRow, kEventPath);
    MV2PlayCutScene(kEscortCutScene, 0x1C0001);
    float speed = 5.0f;
    for (int32_t i = 0; i < kEscorts; ++i) {
        MV2Object* e = MV2FindObjectByScriptID(kEscortIds[i]);
        MV2ScriptKeep(m.escort[i], e);
        if (!e) continue;
        MV2ObjectSendMessage(e, 79, 0, reinterpret_cast<intptr_t>(&speed));
        if (const TvV3d* to = MV2ScriptPosition(MV2FindObjectByScriptID(kEscortGoals[i < 5 ? 0 : 1])))
            MV2ObjectSendMessage(e, 33, 0, reinterpret_cast<intptr_t>(to));
    }
    MV2HudSetObjective(nullptr);
    for (int32_t track : {1, 3, 4})
        MV2AddMusicTrack(track, 1);
    MV2StartMusic();
    EscortCheck();
}

void GoalReached() {
    Mission7& m = g_m7;
    MV2PlayMissionMessage(347);
    m.goalReached = 1;
    MV2HudSetObjective(Live(m.meetingPoint));
    Timer(kTimerMeetReminder, 120000);
    EscortStart();
}

void Tow() {
    const int32_t t = MV2MissionQueueMessage(kRow, 688, int32_t(MV2PlayMissionMessage(687)));
    if (MV2Object* craft = MV2GetMissionObjectB()) {
        if (MV2MissionToolCommand(craft, 0, 37, 0, nullptr)) MV2MissionToolCommand(craft, 0, 53, 0, nullptr);
        MV2MissionQueueMessage(kRow, 689, t);
        MV2SubAIOrderCityRoute(craft, 3);
        MV2MissionAttachObject(kRow, craft);
        MV2MissionInstallNotify(kRow, kEventCraftHome);
    } else {
        Timer(kTimerLaunchTow, t + 5000);
    }
    EscortCheck();
}

void LaunchTow() {
    Mission7& m = g_m7;
    m.craftLaunched = 1;
    MV2Object* craft = MV2CityLaunchCraft(kCraftType, 4, MV2FindObjectByScriptID(0x2001C));
    if (!craft) return;
    MV2SetMissionObjectB(craft);
    MV2SubAISetFollowSpline(craft, 0x2D0000, 4.0f);
    PushGoTo(craft, Live(m.firstGoal), 1.0f);
    PushCityRoute(craft, 4);
    MV2ObjectSendMessage(craft, 11, 0, 0);
    MV2PlayMissionMessage(690);
}

void LaunchGuard() {
    MV2Object* craft = MV2CityLaunchCraft(kCraftType, 4, MV2FindObjectByScriptID(0x2001E));
    if (!craft) return;
    MV2SetMissionObjectB(craft);
    MV2Object* post = MV2FindObjectByScriptID(kGuardPost);
    MV2SubAIOrderGuard(craft, post, 3, kMV2AnyCategory, 56, 20.0f);
    PushGoTo(craft, post, 1.0f);
    PushCityRoute(craft, 2);
}

void WreckBursts(MV2Object* wreck) {
    const TvV3d at = wreck->matrix->pos;
    MV2ObjectSendMessage(wreck, 4, 0, 0);
    constexpr float k = 1.0f / 225.0f;
    auto r = [] { return float(TvRandom() & 127); };
    for (int32_t i = 0; i < 10; ++i) {
        MV2Object* debris = MV2ScriptCreateAtPoint(i % 3 == 0 ? 6 : 7, at);
        if (!debris || !debris->body) continue;
        const float vx = (r() - 85.0f) * k, vy = (r() - 64.0f) * k, vz = (r() - 85.0f) * k;
        debris->body->velocity = {vx, vy, vz};
        const float sx = (r() - 64.0f) * k, sy = (r() - 64.0f) * k, sz = (r() - 64.0f) * k;
        debris->body->angularVelocity = {sx, sy, sz};
    }
    MV2CreateExplosion(&at.x, 3.0f, 0.0f, nullptr, 4, 14);
}

void Burst() {
    Mission7& m = g_m7;
    if (MV2Object* wreck = Live(m.wreck); wreck && wreck->matrix) {
        if (MV2ScriptNear(MV2GetPlayerSub(), wreck, 8.0f)) {
            Timer(kTimerBurst, 1000);
            return;
        }
        WreckBursts(wreck);
    }
    if (MV2Object* craft = MV2GetMissionObjectB()) {
        MV2ParkObject(craft, nullptr, nullptr);
        MV2ObjectSendMessage(craft, 11, 1, 0);
    }
    MV2PlayCutScene(kClosingCutScene, 0x1A0002);
    if (m.noEscortLeft)
        MV2MissionQueueMessage(kRow, 700, MV2MissionQueueMessage(kRow, 699, 9000));
    else
        MV2MissionQueueMessage(kRow, 700, 9000);
}

void Nudge() {
    if (MV2Object* craft = MV2GetMissionObjectB();
        craft && MV2ScriptNear(craft, MV2FindObjectByScriptID(kTowPost), 85.0f))
        MV2ObjectSendMessage(craft, 53, 0, 0);
    Timer(kTimerNudge, 1500 + int32_t(TvRandom() & 1023));
}

void Closing() {
    if (MV2Object* craft = MV2GetMissionObjectB()) {
        MV2SubAIOrderCityRoute(craft, 4);
        if (MV2SubAIPushCommand(craft)) MV2SubAISetFollowSpline(craft, 0x2E0000, 4.0f);
        MV2ObjectSendMessage(craft, 48, 7, 0);
        MV2ObjectSendMessage(craft, 52, 7, 0);
        Timer(kTimerNudge, 3000);
        MV2MissionAttachObject(kRow, craft);
        MV2MissionInstallNotify(kRow, kEventCraftHome);
    }
    MV2HudShowResultBanner(1);
    MV2FadeMusic(0.0f, 3.0f);
}

// Reminders and their failures wait while messages are showing or queued.
void Reminder(int32_t timer) {
    Mission7& m = g_m7;
    if (Busy()) {
        Timer(timer, 500);
        return;
    }
    switch (timer) {
    case kTimerGoalReminder:
        if (m.goalReached) break;
        MV2PlayMissionMessage(346);
        Timer(kTimerGoalFail, 120000);
        break;
    case kTimerGoalFail:
        if (!m.goalReached) MV2FriendlyFireTrigger(kFailure);
        break;
    case kTimerMeetReminder:
        if (m.cutSceneStarted) break;
        MV2PlayMissionMessage(692);
        Timer(kTimerMeetFail, 120000);
        break;
    case kTimerMeetFail:
        if (!m.cutSceneStarted) MV2FriendlyFireTrigger(kFailure);
        break;
    case kTimerEscortReminder:
        if (m.escortsArrived) break;
        MV2PlayMissionMessage(694);
        Timer(kTimerLate, 60000);
        break;
    default: break;
    }
}

void PathEvent(intptr_t value) {
    static constexpr int32_t kRockIds[] = {0x1C0002, 0x1C0005, 0x1C0004, 0x1C0003}; // for 11, 14, 15, 16
    int32_t rock = -1;
    switch (value) {
    case 11: rock = 0; break;
    case 12: MV2StartCameraShake(1, 100.0f); return;
    case 13: MV2StartCameraShake(1, 0.1f); return;
    case 14: rock = 1; break;
    case 15: rock = 2; break;
    case 16: rock = 3; break;
    default: return;
    }
    if (MV2Object* o = MV2FindObjectByScriptID(kRockIds[rock]); o && o->matrix)
        MV2PlayObjectSound(o, 30.0f, "ROCKLANDCOLLISION", 1000);
}

void SequenceDone(uint32_t record) {
    Mission7& m = g_m7;
    if (record == kClosingCutScene) {
        MV2MissionRemoveNotify(kRow, kEventSequenceDone);
        MV2ScriptTakeFrame(MV2GetMissionObjectB(), MV2FindObjectByScriptID(0x1A0001));
        Timer(kTimerClosing, 50);
        MV2MissionRestart(8);
    } else if (record == kEscortCutScene) {
        MV2StartCameraShake(0, 0.0f);
        MV2ScriptTakeFrame(Live(m.wreck), MV2FindObjectByScriptID(0x1C0002));
        Timer(kTimerTow, 50);
        MV2MissionRemoveNotify(kRow, kEventPath);
    }
}

void OnEvent(MV2Object* object, int32_t event, intptr_t argument) {
    Mission7& m = g_m7;
    switch (event) {
    case kEventConsoleLeft: ConsoleLeft(); break;
    case kEventCraftHome:
        if (!object || object != MV2GetMissionObjectB()) break;
        MV2MissionRemoveNotify(kRow, kEventCraftHome);
        MV2MissionDetachObject(object);
        Timer(m.escortsArrived ? kTimerLaunchGuard : kTimerLaunchTow, 1500);
        break;
    case kEventPath: PathEvent(argument); break;
    case kEventSequenceDone: SequenceDone(uint32_t(argument)); break;
    default: break;
    }
}

} // namespace

int32_t MV2Mission7Script(MV2Object* object, int32_t message, intptr_t a, intptr_t b) {
    Mission7& m = g_m7;
    switch (message) {
    case kMV2ScriptStart:
        MV2EnterCity();
        Restart();
        break;
    case kMV2ScriptRestart: Restart(); break;
    case 6: {
        // The goal reached: as its own mapped message, or as the reach objective's report
        // (the player's craft with the goal in b).
        MV2Object* goal = Live(m.firstGoal);
        if (goal && (object == goal || reinterpret_cast<MV2Object*>(b) == goal)) GoalReached();
        break;
    }
    case kMV2ScriptEvent: OnEvent(object, int32_t(a), b); break;
    case kTimerEscortStart: EscortStart(); break;
    case kTimerTow: Tow(); break;
    case kTimerLaunchTow: LaunchTow(); break;
    case kTimerEscortCheck: EscortCheck(); break;
    case kTimerBurst: Burst(); break;
    case kTimerNudge: Nudge(); break;
    case kTimerClosing: Closing(); break;
    case kTimerGoalReminder:
    case kTimerGoalFail:
    case kTimerMeetReminder:
    case kTimerMeetFail:
    case kTimerEscortReminder: Reminder(message); break;
    case kTimerLate: m.late = 1; break;
    case kTimerLaunchGuard: LaunchGuard(); break;
    default: break;
    }
    return 1;
}
