// Mission row 5: jellyfish drift along a chain of eight way-points while an escort from the
// city waits at the gathering point; the player must descend to the last way-point near the
// craft's depth limit and return home. The escort is recalled below a fifth of its energy and
// the music follows the player's depth.
#include <initializer_list>

#include "engine/world/random.h"
#include "game/creatures/subai.h"
#include "game/frontend/hud.h"
#include "game/missions/missions.h"
#include "game/missions/scriptkit.h"
#include "game/objects/levels.h"
#include "game/objects/levelswitch.h"
#include "game/objects/objecttypes.h"
#include "game/player/player.h"
#include "game/player/playercraft.h"
#include "shell/cdaudio.h"
#include "shell/gamestate.h"

namespace {

constexpr int32_t kRow = 5;
constexpr int32_t kWayPoints = 8, kMostJellyfish = 8;
constexpr int32_t kWayPointIds[kWayPoints] = {0xB0005, 0xB000A, 0xB0009, 0xB0001,
                                               0xB0000, 0xB0003, 0xB0007, 0xB000B};

struct Mission5 {
    MV2Object* w[kWayPoints]; // W7 the gathering point, W0 the goal
    int32_t live, spawnIndex, playerSeen;
    uint32_t escortPause, timeOut; // set by flag timers
    int32_t escortKill, escortHurt, escortRecalled, escortSpoke, playerArrived, goalReached;
    int32_t home, musicOn, done, reminders, failed;
};
Mission5 g_m5;

void SpawnJellyfish(int32_t at, int32_t target) {
    Mission5& m = g_m5;
    MV2Object* jellyfish = MV2ScriptCreateAt(59, m.w[at]);
    if (!jellyfish) return;
    jellyfish->missionRow = kRow;
    jellyfish->flags |= kMV2ObjectMissionOwned;
    MV2ObjectSendMessage(jellyfish, 0, 1, 0);
    MV2ObjectSendMessage(jellyfish, 0, 16, 0);
    MV2ObjectSendMessage(jellyfish, 33, 0, reinterpret_cast<intptr_t>(m.w[target]));
    m.live++;
}

void SetUp() {
    Mission5& m = g_m5;
    MV2SpawnLevelRecord(0xBFFFF, kRow);
    MV2MissionBegin(kRow, 1);
    MV2SetLevelSwitch(0, 1);
    m = {};
    for (int32_t i = 0; i < kWayPoints; ++i)
        m.w[i] = MV2FindObjectByScriptID(kWayPointIds[i]);
    m.spawnIndex = 4;
    m.playerSeen = 1;
    for (int32_t i = 0; i < 3; ++i)
        SpawnJellyfish(7, 7);
    MV2MissionSetTimer(kRow, 256, 10000);
    MV2MissionSetTimer(kRow, 258, 1300);
    MV2MissionSetTimer(kRow, 268, 20600);
}

bool PlayerNear(MV2Object* object, float range) {
    return MV2ScriptNear(MV2GetPlayerSub(), object, range);
}

// The player at any way-point from the gathering point down to W1.
bool PlayerOnTheTrail() {
    for (int32_t i = 7; i >= 1; --i)
        if (PlayerNear(g_m5.w[i], 30.0f)) return true;
    return false;
}

// The craft's depth limit: the high half of word 29 of its type record.
int32_t DepthLimit(MV2Object* craft) {
    return craft && craft->type ? int32_t(craft->type->words[29] >> 16) : 0;
}

int32_t Depth(MV2Object* craft) {
    return craft ? int32_t(MV2GetObjectDepth(craft)) : 0;
}

void Fail() {
    g_m5.failed = 1;
    MV2FriendlyFireTrigger(0);
}

void PlayerArrived(int32_t escortTalk) {
    Mission5& m = g_m5;
    m.playerArrived = 1;
    MV2PlayMissionMessage(166);
    MV2MissionSetTimer(kRow, 264, 1000);
    MV2MissionSetTimer(kRow, 266, escortTalk);
}

void OnTimer(int32_t timer) {
    Mission5& m = g_m5;
    MV2Object* escort = MV2GetMissionObjectB();
    MV2Object* sub = MV2GetPlayerSub();
    switch (timer) {
    case 256:
        if (m.done) break;
        if (m.live < kMostJellyfish) {
            for (int32_t i = 4; i >= 0; --i) {
                if (i > m.spawnIndex || !PlayerNear(m.w[i], 20.0f)) continue;
                m.playerSeen = 1;
                m.spawnIndex = i == 0 ? 4 : i - 1;
                break;
            }
            if (m.spawnIndex >= 0) SpawnJellyfish(m.spawnIndex, m.spawnIndex + 1);
        }
        MV2MissionSetTimer(kRow, 256, 10000);
        break;
    case 258: {
        if (escort) {
            const MV2SubAICommand* command = MV2SubAIGetCommand(escort);
            if (command && command->code == kMV2SubAICityRoute) {
                MV2MissionSetTimer(kRow, 258, 1000);
                break;
            }
            MV2SubAIOrderGoTo(escort, m.w[7], 10.0f);
        } else {
            escort = MV2CityLaunchCraft(0, 2, m.w[7]);
            if (!escort) {
                MV2MissionSetTimer(kRow, 258, 1000);
                break;
            }
            MV2SetMissionObjectB(escort);
        }
        escort->energy = MV2InitialEnergy(escort);
        MV2ObjectSendMessage(escort, 21, 0, 0);
        MV2ObjectSendMessage(escort, 21, 21, 0);
        MV2ObjectSendMessage(escort, 26, 20, 0);
        MV2MissionSetTimer(kRow, 261, 10000);
        break;
    }
    case 261: {
        if (!MV2ScriptNear(escort, m.w[7], 15.0f)) {
            MV2MissionSetTimer(kRow, 261, 1000);
            break;
        }
        MV2SubAIOrderGuard(escort, m.w[7], 3, 7, kMV2AnyType, 20.0f);
        const int32_t d = int32_t(MV2PlayMissionMessage(159));
        MV2MissionSetTimer(kRow, 262, MV2MissionQueueMessage(kRow, 163, d));
        MV2MissionSetFlagTimer(&m.escortPause, 20000);
        break;
    }
    case 262:
        if (PlayerOnTheTrail()) {
            PlayerArrived(500);
            MV2MissionSetTimer(kRow, 275, 1000);
            MV2NotifyScripts(escort, 10, 5);
        } else if (m.timeOut) {
            Fail();
        } else if (!m.escortPause) {
            MV2MissionSetTimer(kRow, 262, 1000);
        } else {
            MV2PlayMissionMessage(164);
            MV2MissionSetTimer(kRow, 265, 1000);
            MV2MissionSetPeriodicMessage(150, 90);
            MV2MissionSetFlagTimer(&m.timeOut, 210000);
            MV2HudSetObjective(m.w[7]);
            MV2NotifyScripts(escort, 10, 5);
        }
        break;
    case 265:
        if (!escort) break;
        if (PlayerOnTheTrail()) {
            PlayerArrived(30000);
            MV2MissionSetPeriodicMessage(-1, 0);
            break;
        }
        if (m.timeOut && !m.failed) Fail();
        MV2MissionSetTimer(kRow, 265, 1000);
        break;
    case 264: {
        if (!escort) break;
        const float fraction = MV2ScriptEnergyFraction(escort);
        if (fraction >= 0.2f) {
            if (fraction < 0.5f) m.escortHurt = 1;
            MV2MissionSetTimer(kRow, 264, 1000);
            break;
        }
        m.escortRecalled = 1;
        MV2SubAIOrderCityRoute(escort, 3);
        if (Depth(sub) > DepthLimit(sub) - 80) break; // deep down the escort leaves quietly
        int32_t end = MV2MissionQueueMessage(kRow, 169, int32_t(MV2PlayMissionMessage(168)));
        if (!m.escortSpoke) {
            end = MV2MissionQueueMessage(kRow, 149, end);
            MV2MissionQueueMessage(kRow, 648, end);
            MV2MissionSetTimer(kRow, 272, end);
        }
        break;
    }
    case 266:
        m.escortSpoke = 1;
        if (escort && !m.escortRecalled && !m.goalReached) {
            MV2PlayMissionMessage(796);
            MV2MissionSetTimer(kRow, 272, 10);
        }
        break;
    case 272: MV2HudSetObjective(m.w[5]); break;
    case 268:
        if (PlayerNear(m.w[0], 50.0f) && Depth(sub) >= DepthLimit(sub) - 20) {
            const int32_t d = int32_t(MV2PlayMissionMessage(156));
            MV2MissionSetTimer(kRow, 3, d + 2000);
            MV2MissionSetTimer(kRow, 271, d + 10000);
            MV2MissionInstallNotify(kRow, 7);
            m.goalReached = 1;
        } else {
            MV2MissionSetTimer(kRow, 268, 1000);
        }
        break;
    case 3: {
        MV2Object* player = MV2GetPlayerObject();
        if (m.done || !player || player->overrideHandler != MV2PlayerHandler) break;
        MV2MissionSetTimer(kRow, 276, int32_t(MV2PlayMissionMessage(1330)) + 500);
        MV2HudShowResultBanner(1);
        m.done = 1;
        break;
    }
    case 276: {
        MV2Object* player = MV2GetPlayerObject();
        if (!player || player->overrideHandler != MV2PlayerHandler) break;
        MV2MissionRestart(6);
        MV2MissionSetTimer(kRow, 273, 3000);
        break;
    }
    case 273:
        if (m.live <= 0 && escort && !MV2SubAIFindCommand(escort, kMV2SubAICityRoute)) {
            MV2PlayMissionMessage(151);
            MV2SubAIOrderCityRoute(escort, 0);
            MV2MissionPurgeTimers(kRow);
        } else if (m.home) {
            MV2MissionPurgeTimers(kRow);
        } else {
            MV2MissionSetTimer(kRow, 273, 2000);
        }
        break;
    case 271:
        if (m.home) break;
        MV2PlayMissionMessage(917);
        MV2MissionSetTimer(kRow, 274, 60000);
        MV2LockNearestTarget();
        m.reminders = 0;
        break;
    case 274:
        if (m.home) break;
        if (++m.reminders < 5) {
            MV2PlayMissionMessage(797);
            MV2MissionSetTimer(kRow, 274, 60000);
        } else {
            Fail();
        }
        break;
    case 275: {
        if (m.home) break;
        if (sub && m.w[5] && PlayerNear(m.w[4], 265.0f)) {
            const float y = sub->matrix->pos.y, level = m.w[5]->matrix->pos.y;
            if (m.musicOn && y >= level + 1.0f) {
                m.musicOn = 0;
                MV2FadeMusic(0.0f, 2.0f);
            } else if (!m.musicOn && y < level - 1.0f) {
                m.musicOn = 1;
                for (int32_t track : {1, 3, 4})
                    MV2AddMusicTrack(track, 1);
                MV2StartMusic();
            }
        }
        MV2MissionSetTimer(kRow, 275, 1000);
        break;
    }
    default: break;
    }
}

} // namespace

int32_t MV2Mission5Script(MV2Object* object, int32_t message, intptr_t a, intptr_t b) {
    Mission5& m = g_m5;
    switch (message) {
    case kMV2ScriptStart:
    case kMV2ScriptRestart: SetUp(); break;
    case 6:
        for (int32_t i = 0; i < kWayPoints - 1; ++i)
            if (object && b && reinterpret_cast<MV2Object*>(b) == m.w[i])
                MV2ObjectSendMessage(object, 33, 0, reinterpret_cast<intptr_t>(m.w[i + 1]));
        break;
    case kMV2ScriptObjectKilled:
        if (object && MV2TypeOf(object) == 59 && b &&
            reinterpret_cast<MV2Object*>(b) == MV2GetMissionObjectB())
            m.escortKill = 1;
        break;
    case 10:
        if (!object || MV2TypeOf(object) != 59) break;
        m.live--;
        if (m.escortKill && m.playerArrived && MV2ScriptQueuesEmpty()) {
            MV2PlayMissionMessage(644 + uint32_t(TvRandom()) % 3);
            m.escortKill = 0;
        }
        break;
    case kMV2ScriptEvent:
        if (a == 7) {
            MV2MissionRemoveNotify(kRow, 7);
            m.home = 1;
            MV2ScriptDestroy(MV2GetMissionObjectB());
        }
        break;
    default:
        if (message == 3 || message >= kMV2ScriptFirstTimer) OnTimer(message);
        break;
    }
    return 1;
}
