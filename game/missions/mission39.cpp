// Mission row 39: the campaign's closing cut-scenes, then the credits and the title.
#include "game/missions/missionscripts.h"

#include <initializer_list>

#include "game/frontend/credits.h"
#include "game/frontend/hudmessages.h"
#include "game/missions/cutscenes.h"
#include "game/missions/mission4.h"
#include "game/missions/missionflow.h"
#include "game/missions/missionhelpers.h"
#include "game/missions/missiontimers.h"
#include "game/missions/scriptevents.h"
#include "game/missions/scriptkit.h"
#include "game/objects/levels.h"
#include "game/objects/levelswitch.h"
#include "game/objects/objects.h"
#include "game/objects/sky.h"
#include "game/player/playercraft.h"
#include "shell/cdaudio.h"
#include "shell/gameinit.h"
#include "shell/gamemain.h"
#include "shell/gamestate.h"

namespace {

constexpr int32_t kRow = 39;
constexpr int32_t kEventLevelChanged = 15, kEventPath = 16, kEventSequenceDone = 17;
constexpr int32_t kTimerCredits = 256 + 1;
constexpr uint32_t kRecord = 0x603FFFF, kCutScene = 0x604FFFF, kActor = 0x6040001;
constexpr int32_t kArrival = 0x6000000;
constexpr int32_t kLargeSpore = 353, kSmallSpore = 354;

int32_t g_flag = 0;

void Restart() {
    g_flag = 0;
    MV2Mission4DestroyAllOfType(kLargeSpore);
    MV2Mission4DestroyAllOfType(kSmallSpore);
    MV2SpawnLevelRecord(kRecord, kRow);
    MV2PlayCutScene(kCutScene, kActor);
    MV2PlayMusicTrack(20);
    MV2MissionBegin(kRow, 0);
    for (int32_t e : {kEventSequenceDone, kEventPath, kEventLevelChanged})
        MV2MissionInstallNotify(kRow, e);
}

void PathEvent(intptr_t value) {
    switch (value) {
    case 46:
        MV2MissionRemoveNotify(kRow, kEventPath);
        MV2MissionSetTimer(kRow, kTimerCredits, 2000);
        break;
    case 54:
        MV2AddMusicTrack(25, 0);
        MV2StartMusic();
        break;
    case 55:
        for (uint32_t id : {643u, 647u, 649u}) MV2PlayMissionMessage(id);
        break;
    case 56: MV2ForAllWallSetClumps(); break;
    default: break; // the final boss's own path events; no handler takes them yet
    }
}

void Credits() {
    MV2PlayCredits();
    MV2ClearLevelState();
    gMV2MainLoop.frontEnd = 1;
    gMV2MainLoop.returnToMenu = 0;
    gMV2GameStateCompanion.requestedSequence = 7;
    MV2ShowTitleScreen();
    MV2RequestModeAndSequence(8, 7);
}

} // namespace

int32_t MV2Mission39Script(MV2Object*, int32_t message, intptr_t a, intptr_t b) {
    switch (message) {
    case kMV2ScriptStart:
        MV2ScriptTakeFrame(MV2GetPlayerSub(), MV2FindObjectByScriptID(kArrival));
        Restart();
        break;
    case kMV2ScriptRestart: Restart(); break;
    case kMV2ScriptEvent:
        if (a == kEventLevelChanged) {
            MV2MissionRemoveNotify(kRow, kEventLevelChanged);
            MV2SetTimeOfDay(2.0f);
            MV2ResetMusic();
        } else if (a == kEventPath) {
            PathEvent(b);
        } else if (a == kEventSequenceDone && uint32_t(b) == kCutScene) {
            MV2MissionRemoveNotify(kRow, kEventSequenceDone);
            MV2SetAltThrustControl(1, 1, 1);
        }
        break;
    case kTimerCredits: Credits(); break;
    default: break;
    }
    return 1;
}
