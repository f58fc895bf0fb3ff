// Mission row 16: twelve jellyfish swarm in two zones, each chasing an invisible lure the
// script moves about; the player must reach a zone within six minutes and destroy them all,
// and is then led to the second zone, where three pirates lie in wait.
#include <initializer_list>

#include "engine/world/random.h"
#include "game/creatures/subai.h"
#include "game/frontend/hud.h"
#include "game/frontend/missionmap.h"
#include "game/missions/missions.h"
#include "game/missions/routepoint.h"
#include "game/missions/scriptkit.h"
#include "game/objects/levelswitch.h"
#include "game/objects/utilities.h"
#include "game/player/player.h"
#include "shell/cdaudio.h"

namespace {

constexpr int32_t kRow = 16;
constexpr int32_t kSlots = 12;

struct Mission16Slot {
    MV2ObjectRef creature, lure;
};

struct Mission16 {
    TvV3d zoneA, zoneB;
    Mission16Slot slots[kSlots];
    int32_t live;
    int32_t elapsedMs, zoneReached, won, threats;
};
Mission16 g_m16;

TvV3d PositionOf(int32_t scriptId) {
    const TvV3d* p = MV2ScriptPosition(MV2FindObjectByScriptID(scriptId));
    return p ? *p : TvV3d{0, 0, 0};
}

void SetUp() {
    Mission16& m = g_m16;
    m = {};
    m.zoneA = PositionOf(0x40292);
    m.zoneB = PositionOf(0x40291);
    MV2MapAddLabel(MV2FindObjectByScriptID(0x40292), 140);
    MV2MapAddLabel(MV2FindObjectByScriptID(0x40291), 142);
    TvV3d spawn = PositionOf(0x4028D);
    for (int32_t i = 0; i < kSlots; ++i) {
        if (i == 6) spawn = PositionOf(0x4028E);
        MV2Object* creature = MV2ScriptCreateAtPoint(59, spawn);
        MV2Object* lure = creature ? MV2ScriptCreateAtPoint(42, spawn) : nullptr;
        if (creature && lure) {
            MV2MissionAttachObject(kRow, creature);
            MV2ScriptKeep(m.slots[i].creature, creature);
            MV2ScriptKeep(m.slots[i].lure, lure);
            MV2MissionSetTimer(kRow, 259 + i, i * 100);
            m.live++;
        } else {
            MV2ScriptDestroy(creature);
        }
        spawn.y += 0.25f;
    }
    MV2ResetMusic();
    MV2MissionSetTimer(kRow, 256, 1);
}

void MoveLure(int32_t i) {
    Mission16& m = g_m16;
    MV2Object* creature = MV2ScriptLive(m.slots[i].creature);
    MV2Object* lure = MV2ScriptLive(m.slots[i].lure);
    if (!creature || !lure) return;
    TvV3d direction;
    MV2RandomDirection(&direction);
    const TvV3d& centre = i < 6 ? m.zoneA : m.zoneB;
    const TvV3d point{centre.x + direction.x * 12.0f, centre.y + 12.0f * 0.4f * direction.y + 7.0f,
                      centre.z + direction.z * 12.0f};
    MV2ScriptMoveTo(lure, point);
    MV2ObjectSendMessage(creature, 33, 0, reinterpret_cast<intptr_t>(lure));
    MV2MissionSetTimer(kRow, 259 + i, 5000 + int32_t(uint32_t(TvRandom()) & 4095));
}

void Won() {
    Mission16& m = g_m16;
    MV2PlayMissionMessage(1242);
    MV2MapRemoveLabel(140);
    MV2MapRemoveLabel(142);
    MV2HudShowResultBanner(1);
    MV2AddMusicTrack(21, 0);
    MV2StartMusic();
    MV2LockNearestTarget();
    MV2MissionSetTimer(kRow, 271, 1000);
    m.won = 1;
}

void OnDestroyed(MV2Object* object) {
    Mission16& m = g_m16;
    if (!object) return;
    const int32_t type = MV2TypeOf(object);
    if (type == 56) {
        m.live--;
        return;
    }
    if (type != 59) return;
    for (Mission16Slot& s : m.slots) {
        if (!MV2RefIs(s.creature, object)) continue;
        MV2ScriptDestroy(MV2ScriptLive(s.lure));
        s = {};
        if (--m.live == 0) Won();
        return;
    }
}

// The pirates of the ambush, on the route towards the third zone mark.
void Ambush() {
    Mission16& m = g_m16;
    m.live = 0;
    m.threats = 0;
    MV2Object* sub = MV2GetPlayerSub();
    const TvV3d goal = PositionOf(0x40290);
    const float reach = 50.0f;
    TvV3d point;
    if (sub && MV2FindRoutePointAtDistance(&goal, &reach, &point)) {
        for (int32_t i = 0; i < 3; ++i) {
            MV2Object* pirate = MV2ScriptCreateAtPoint(56, point);
            point.y += 1.0f;
            m.slots[i] = {};
            if (!pirate) continue;
            MV2ObjectSendMessage(pirate, 21, 17, 0);
            MV2SubAIOrderAttack(pirate, sub, 1);
            MV2MissionAttachObject(kRow, pirate);
            if (MV2SubAIData* ai = MV2GetSubAIData(pirate)) ai->passivity = 10;
            MV2ScriptKeep(m.slots[i].creature, pirate);
            m.live++;
        }
    } else {
        MV2MissionSetTimer(kRow, 278, 10000);
    }
    MV2MissionSetTimer(kRow, 276, 3000);
    MV2MissionSetTimer(kRow, 277, 10000);
}

// Six threats from the player: the pirates give up and head off through three marks.
void SendPiratesOff() {
    MV2Object* guard = MV2FindObjectByScriptID(0x40291);
    for (Mission16Slot& s : g_m16.slots) {
        MV2Object* o = MV2ScriptLive(s.creature);
        if (!o) continue;
        MV2ObjectSendMessage(o, 89, 250, 0);
        MV2SubAIOrderGuard(o, guard, 3, kMV2AnyCategory, 67, 40.0f);
        for (int32_t id : {0x40291, 0x40262, 0x40290}) {
            MV2SubAIPushCommand(o);
            MV2SubAISetGoTo(o, MV2FindObjectByScriptID(id), 30.0f);
        }
    }
}

void OnTimer(int32_t timer) {
    Mission16& m = g_m16;
    MV2Object* sub = MV2GetPlayerSub();
    if (timer >= 259 && timer < 259 + kSlots) {
        MoveLure(timer - 259);
        return;
    }
    switch (timer) {
    case 256:
        if (MV2ScriptQueuesEmpty())
            MV2MissionBegin(kRow, 0);
        else
            MV2MissionSetTimer(kRow, 256, 300);
        break;
    case 257:
        if (m.zoneReached) break;
        m.elapsedMs += 2000;
        if (MV2ScriptDistanceSquaredTo(sub, m.zoneA) < 900.0f ||
            MV2ScriptDistanceSquaredTo(sub, m.zoneB) < 900.0f) {
            m.zoneReached = 1;
        } else if (m.elapsedMs == 180000) {
            MV2PlayMissionMessage(1239);
        } else if (m.elapsedMs == 360000) {
            MV2FriendlyFireTrigger(1241);
            break;
        }
        MV2MissionSetTimer(kRow, 257, 2000);
        break;
    case 271:
        if (MV2ScriptDistanceSquaredTo(MV2GetPlayerObject(), m.zoneB) < 150.0f * 150.0f) {
            MV2HudSetObjective(nullptr);
            MV2SetLevelSwitch(9, 1);
            const int32_t d = int32_t(MV2PlayMissionMessage(1307));
            MV2MissionQueueMessage(kRow, 35, d);
            MV2MissionSetTimer(kRow, 272, d);
            m.zoneReached = 0;
            MV2MissionSetTimer(kRow, 273, 60000);
        } else {
            MV2MissionSetTimer(kRow, 271, 1000);
        }
        break;
    case 272: MV2LockTarget(MV2FindObjectByScriptID(0x40291), 40.0f, 0, kRow); break;
    case 273:
    case 274:
        if (m.zoneReached) break;
        if (!MV2ScriptQueuesEmpty()) {
            MV2MissionSetTimer(kRow, timer, 500);
        } else if (timer == 273) {
            MV2PlayMissionMessage(36);
            MV2MissionSetTimer(kRow, 274, 60000);
        } else {
            MV2FriendlyFireTrigger(1241);
        }
        break;
    case 275: Ambush(); break;
    case 276: MV2PlayMissionMessage(38); break;
    case 277:
        for (Mission16Slot& s : m.slots)
            if (MV2Object* o = MV2ScriptLive(s.creature);
                o && MV2ScriptDistanceSquared(o, MV2GetPlayerObject()) > 2500.0f)
                MV2ScriptDestroy(o);
        MV2MissionSetTimer(kRow, m.live <= 0 ? 278 : 277, m.live <= 0 ? 5000 : 2000);
        break;
    case 278:
        MV2PlayMissionMessage(797);
        MV2LockNearestTarget();
        MV2MissionInstallNotify(kRow, 7);
        break;
    default: break;
    }
}

} // namespace

int32_t MV2Mission16Script(MV2Object* object, int32_t message, intptr_t a, intptr_t b) {
    Mission16& m = g_m16;
    switch (message) {
    case kMV2ScriptStart:
    case kMV2ScriptRestart: SetUp(); break;
    case kMV2ScriptBegin:
        MV2PlayMissionMessage(1239);
        MV2MissionSetTimer(kRow, 257, 500);
        break;
    case 6:
        if (object && object == MV2GetPlayerSub() &&
            reinterpret_cast<MV2Object*>(b) == MV2FindObjectByScriptID(0x40291) && b) {
            m.zoneReached = 1;
            MV2PlayMissionMessage(37);
            MV2MissionSetTimer(kRow, 275, 1000);
        }
        break;
    case 8:
        if (object && MV2TypeOf(object) == 56 && m.threats < 6 && ++m.threats == 6) SendPiratesOff();
        break;
    case 10: OnDestroyed(object); break;
    case kMV2ScriptEvent:
        if (a == 7) {
            MV2MissionRemoveNotify(kRow, 7);
            MV2MissionRestart(17);
        }
        break;
    default:
        if (message >= kMV2ScriptFirstTimer) OnTimer(message);
        break;
    }
    return 1;
}
