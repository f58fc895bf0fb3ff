#include "shell/frametimer.h"

#include "game/creatures/creatures.h"
#include "game/frontend/console.h"
#include "game/frontend/hudmessages.h"
#include "game/frontend/menus.h"
#include "platform/winmm/winmm.h"
#include "game/effects/effects.h"
#include "game/missions/missions.h"
#include "game/objects/camera.h"
#include "game/objects/levels.h"
#include "game/objects/objectupdate.h"
#include "game/player/playercraft.h"
#include "game/multiplayer/multiplayer.h"
#include "shell/errors.h"
#include "shell/gameinit.h"
#include "shell/gamestate.h"
#include "shell/savegame.h"
#include "shell/cdaudio.h"
#include "shell/sounds.h"
#include "shell/voices.h"

#include <cmath>

MV2FrameTimer gMV2FrameTimer = {0, 0, 0, 1.0f, 0.0f, 1.0f / 30.0f, 33, 0};

namespace {
constexpr float kSecondsPerTick = 0.033333335f;
constexpr float kMaxStep = 0.1f; // ticks the value may move per frame
constexpr float kMaxTicks = 4.0f;
} // namespace

void MV2ResetFrameClocks() {
    gMV2FrameTimer.frameClock = gMV2FrameTimer.previousClock = timeGetTime();
}

int32_t MV2UpdateFrameTimer(int32_t modeChanged) {
    MV2FrameTimer& t = gMV2FrameTimer;
    uint32_t now = timeGetTime();
    if (modeChanged) t.frameClock = t.previousClock = now;
    // Time stands still in menus, except in game type 4; the ticks keep their value.
    if (MV2MenuGetCurrentInstance() && gMV2GameType != 4) {
        t.previousClock = t.frameClock;
        t.frameClock = now;
        t.milliseconds = 0;
        return 0;
    }
    uint32_t elapsed = now - t.lastTime;
    t.previousClock = t.frameClock;
    t.frameClock = now;
    t.lastTime = now;

    float measured = float(elapsed) * 0.001f * 30.0f;
    float d = measured - t.lastTicks;
    float value;
    if (std::fabs(d) <= kMaxStep)
        value = measured;
    else
        value = d > 0.0f ? t.ticks + kMaxStep : t.ticks - kMaxStep;
    if (value > kMaxTicks) value = kMaxTicks;
    t.lastTicks = value;
    t.ticks = value;
    t.seconds = value * kSecondsPerTick;
    t.milliseconds = int32_t(t.seconds * 1000.0f);
    return t.milliseconds;
}

namespace {

// The mission layer's share of the play update: mining and city on level 0, then the
// missions, then the level-change check.
void UpdateMissionLayer() {
    if (gMV2GameType == 2) {
        if ((MV2GetCurrentLevelId() >> 24) == 0) {
            MV2UpdateMining();
            MV2UpdateCity();
        }
        MV2UpdateMissions();
    }
    MV2CheckLevelChange();
}

// The reduced list while a cut-scene runs: the missions, the city and the level-change check.
void UpdateCutSceneMissionLayer() {
    if (gMV2GameType == 2) {
        MV2UpdateMissions();
        if ((MV2GetCurrentLevelId() >> 24) == 0) MV2UpdateCity();
    }
    MV2CheckLevelChange();
}

} // namespace

uint32_t MV2GetFrameMilliseconds() {
    return uint32_t(gMV2FrameTimer.milliseconds);
}

void MV2UpdateGameFrame() {
    MV2UpdateGameOver();
    if (gMV2Messages.showing && gMV2Messages.current == kMV2FatalSlot) return;
    MV2UpdateSounds();
    bool menu = MV2MenuGetCurrentInstance() != nullptr;
    if (menu && gMV2GameType != 4 && gMV2GameType != 3) {
        MV2MenuUpdate();
        MV2UpdateSaveClock();
        return;
    }
    MV2RandomiseElectricArcJitter();
    switch (gMV2GameState.current) {
    case 7:
    case 12:
        MV2CutSceneUpdate();
        UpdateCutSceneMissionLayer();
        break;
    case 13:
        // A script's opening: the camera follows the controlled object and the objects,
        // missions and city run as in a cut-scene. The frame counts as an update frame: an
        // object takes one update per counter value, so without it nothing would move.
        if (MV2Object* controlled = MV2GetPlayerObject()) MV2UpdateCamera(controlled);
        ++gMV2FrameTimer.updateCounter;
        MV2ResetVisibleObjects();
        MV2UpdateActiveObjects();
        UpdateCutSceneMissionLayer();
        break;
    case 8:
    case 11:
        MV2MenuUpdate();
        MV2UpdateSaveClock();
        return;
    case 9:
        ++gMV2FrameTimer.updateCounter;
        MV2UpdateConsole();
        MV2MenuUpdate();
        MV2UpdateSaveClock();
        return;
    case 10:
        MV2UpdateInterfaceScreens();
        MV2MenuUpdate();
        MV2UpdateSaveClock();
        return;
    case 17:
        MV2MenuUpdate();
        MV2UpdateSaveClock();
        return;
    default:
        if (gMV2Paused) {
            MV2MenuUpdate();
            MV2UpdateSaveClock();
            return;
        }
        ++gMV2FrameTimer.updateCounter;
        // The objects of the active list, then the camera follows the controlled object.
        MV2ResetVisibleObjects();
        MV2UpdateActiveObjects();
        if (MV2Object* controlled = MV2GetPlayerObject()) MV2UpdateCamera(controlled);
        if (MV2Object* controlled = MV2GetPlayerObject()) MV2UpdateSpecialMove(controlled);
        UpdateMissionLayer();
        MV2NetUpdate();
        break;
    }
    MV2UpdateInkClouds(nullptr);
    MV2UpdateEffects();
    MV2UpdateHudMessages();
    MV2MenuUpdate();
    MV2UpdateSaveClock();
}
