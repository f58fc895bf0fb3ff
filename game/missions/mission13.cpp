// Mission row 13: four pirates ambush the player at the outpost with a friendly craft beside
// it. Keeping away from the fight too long loses; the last pirate's death wins.
#include "engine/world/random.h"
#include "game/creatures/subai.h"
#include "game/frontend/hud.h"
#include "game/missions/missions.h"
#include "game/missions/scriptkit.h"
#include "game/objects/levelswitch.h"
#include "game/player/player.h"
#include "shell/cdaudio.h"
#include "shell/gamestate.h"

namespace {

constexpr int32_t kRow = 13;
constexpr uint32_t kCutScene = 0x24FFFF;
constexpr int32_t kPirates = 4;

struct Mission13 {
    MV2Object* centre;
    MV2ObjectRef pirates[kPirates];
    int32_t spawned, live;
    int32_t done, playerShot, engaged, home;
    int32_t awayMs;
};
Mission13 g_m13;

void SpawnPirate(int32_t i) {
    MV2Object* at = MV2FindObjectByScriptID(0x240003 + i);
    MV2Object* pirate = MV2ScriptCreateAt(56, at);
    if (!pirate) return;
    MV2MissionAttachObject(kRow, pirate);
    MV2ScriptKeep(g_m13.pirates[i], pirate);
    MV2ObjectSendMessage(pirate, 21, 17, 0);
    if (i & 1) MV2ObjectSendMessage(pirate, 21, 0, 0);
    MV2SubAIOrderGuard(pirate, g_m13.centre, 3, kMV2AnyCategory, 0, 30.0f);
    g_m13.spawned++;
    g_m13.live++;
}

// Keeping the player in the fight: away for 74 s of steps loses.
void Leash() {
    Mission13& m = g_m13;
    MV2Object* sub = MV2GetPlayerSub();
    m.engaged = 0;
    if (m.playerShot) {
        m.playerShot = 0;
        m.engaged = 1;
        m.awayMs = 0;
    } else {
        for (MV2ObjectRef& ref : m.pirates)
            if (MV2Object* p = MV2ScriptLive(ref); p && MV2ScriptDistanceSquared(p, sub) < 1600.0f) {
                m.engaged = 1;
                m.awayMs = 0;
            }
    }
    if (!m.engaged) {
        m.awayMs += 2000;
        if (m.awayMs == 30000) MV2PlayMissionMessage(1098);
        if (m.awayMs == 74000) {
            MV2FriendlyFireTrigger(1100);
            return;
        }
    }
    if (!m.done) MV2MissionSetTimer(kRow, 259, 2000);
}

void CommonSetUp() {
    g_m13 = {};
    g_m13.centre = MV2FindObjectByScriptID(0x40069);
    MV2MissionBegin(kRow, 1);
    MV2SelectWallSet(5);
    MV2MissionQueueMessage(kRow, 1095, 4500);
    MV2MissionInstallNotify(kRow, 17);
    MV2MissionInstallNotify(kRow, 16);
}

void OnEvent(int32_t event, intptr_t argument) {
    Mission13& m = g_m13;
    if (event == 16 && argument == 5) {
        MV2MissionRemoveNotify(kRow, 16);
        MV2MissionQueueMessage(kRow, 1096, 2000);
    } else if (event == 17 && uint32_t(argument) == kCutScene) {
        MV2MissionRemoveNotify(kRow, 17);
        if (MV2Object* craft = MV2ScriptCreateAt(67, MV2FindObjectByScriptID(0x240002))) {
            MV2SetMissionObjectA(craft);
            MV2ObjectSendMessage(craft, 21, 21, 0);
            MV2SubAIOrderGuard(craft, m.centre, 3, kMV2AnyCategory, 56, 20.0f);
        }
        for (int32_t i = 0; i < kPirates; ++i)
            SpawnPirate(i);
        MV2MissionSetTimer(kRow, 257, 1);
        MV2AddMusicTrack(12, 1);
        MV2StartMusic();
    } else if (event == 7) {
        MV2MissionRemoveNotify(kRow, 7);
        m.home = 1;
        MV2MissionRestart(14);
    }
}

void OnKilled(MV2Object* object, MV2Object* killer) {
    Mission13& m = g_m13;
    if (!object || MV2TypeOf(object) != 56) return;
    uint32_t comment = 0;
    if (killer && killer == MV2GetMissionObjectA() && MV2ScriptQueuesEmpty()) {
        const uint32_t id = uint32_t(TvRandom()) % 3 ? (uint32_t(TvRandom()) & 1 ? 1102 : 1101) : 1103;
        comment = MV2PlayMissionMessage(id);
    }
    m.live--;
    if (m.live <= 0 && m.spawned == kPirates && !m.done) {
        m.done = 1;
        MV2MissionSetTimer(kRow, 260, int32_t(comment));
    }
}

} // namespace

int32_t MV2Mission13Script(MV2Object* object, int32_t message, intptr_t a, intptr_t b) {
    Mission13& m = g_m13;
    switch (message) {
    case kMV2ScriptStart:
        MV2QueueCutScene(kCutScene, 0x240001);
        CommonSetUp();
        break;
    case kMV2ScriptRestart: CommonSetUp(); break;
    case kMV2ScriptEvent: OnEvent(int32_t(a), b); break;
    case 8:
        if (object && MV2TypeOf(object) == 56) m.playerShot = 1;
        break;
    case kMV2ScriptObjectKilled: OnKilled(object, reinterpret_cast<MV2Object*>(b)); break;
    case 257:
        MV2PlayMissionMessage(1097);
        Leash();
        break;
    case 259: Leash(); break;
    case 260: {
        MV2FadeMusic(0.0f, 3.0f);
        const uint32_t d = MV2PlayMissionMessage(1099);
        MV2HudShowResultBanner(1);
        if (MV2Object* craft = MV2GetMissionObjectA()) MV2SubAIOrderCityRoute(craft, 1);
        m.home = 0;
        MV2MissionSetTimer(kRow, 261, int32_t(d) + 2000);
        MV2MissionInstallNotify(kRow, 7);
        break;
    }
    case 261:
        if (!m.home) {
            MV2LockNearestTarget();
            MV2PlayMissionMessage(797);
        }
        break;
    default: break;
    }
    return 1;
}
