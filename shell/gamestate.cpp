#include "shell/gamestate.h"

#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "engine/core/raster.h"
#include "engine/core/texture.h"
#include "game/creatures/creatures.h"
#include "game/effects/effects.h"
#include "game/frontend/console.h"
#include "game/frontend/hudmessages.h"
#include "game/frontend/menus.h"
#include "game/frontend/missionmap.h"
#include "game/missions/missions.h"
#include "game/multiplayer/multiplayer.h"
#include "game/objects/camera.h"
#include "game/objects/caustics.h"
#include "game/objects/world.h"
#include "game/player/player.h"
#include "platform/winmm/winmm.h"
#include "shell/controls.h"
#include "shell/cursor.h"
#include "shell/errors.h"
#include "shell/frametimer.h"
#include "shell/gameinit.h"
#include "shell/gamemain.h"
#include "shell/settings.h"
#include "shell/cdaudio.h"
#include "shell/sounds.h"
#include "shell/voices.h"

MV2GameStateWord gMV2GameState = {0, 0, 0, -1};
MV2GameStateCompanion gMV2GameStateCompanion = {};
MV2GameStateMachine gMV2StateMachine = {0, 0, 1, nullptr, nullptr, 30.0f, 1, 1, 0, 0, 0, 0, {}};
int32_t MV2ScriptPlacesPlayer = 0;

namespace {

constexpr uint32_t kConsoleRecordA = 0x7FFFF;
constexpr uint32_t kConsoleRecordB = 0x18FFFF;
constexpr uint32_t kTitleCutScene = 0x15FFFF;
constexpr int32_t kTitleRow = 43;
constexpr int32_t kScriptEventLeaveMode = 4;
constexpr int32_t kScriptEventConsole = 7;
constexpr int32_t kScriptEventTitle = 16;
constexpr int32_t kTitleTrack = 24;
constexpr int32_t kConsoleEye = 0x70021;
constexpr int32_t kConsoleTarget = 0x70022;
constexpr int32_t kCityDoor = 2;
constexpr int32_t kMessageSetScriptId = 36;
constexpr int32_t kMessageActivate = 0;
constexpr int32_t kMessageSetBrain = 29;
const TvV2d kConsoleWindow = {0.55f, 0.55f};

// The actions of leaving mode 9, the console.
void LeaveConsole(int32_t requested) {
    MV2GameStateMachine& s = gMV2StateMachine;
    if (s.oil) {
        TvTextureDestroy(s.oil);
        s.oil = nullptr;
    }
    MV2LeaveConsoleMode();
    MV2SetFarClip(s.savedFarClip);
    MV2DestroyLevelRecordObjects(kConsoleRecordA);
    MV2DestroyLevelRecordObjects(kConsoleRecordB);
    MV2NotifyScripts(nullptr, kScriptEventLeaveMode, requested);
}

// Leave phase; false when the enter phase is skipped.
bool Leave(int32_t current, int32_t requested) {
    MV2GameStateMachine& s = gMV2StateMachine;
    switch (current) {
    case 1:
        MV2MapClose();
        MV2HideMouseCursor();
        return requested != 0;
    case 7:
        MV2DestroyAllObjects();
        MV2MissionRemoveNotify(kTitleRow, kScriptEventTitle);
        MV2CutSceneEnd();
        MV2SetWorldCaustics(s.savedWorldCaustics);
        MV2SetAtomicCaustics(s.savedAtomicCaustics);
        gMV2Settings.worldCaustics = s.savedWorldCaustics;
        gMV2Settings.atomicCaustics = s.savedAtomicCaustics;
        MV2ResetSounds();
        MV2ResetControlsSoon();
        return true;
    case 9:
        MV2ResetControlsSoon();
        if (requested != 10) LeaveConsole(requested);
        return true;
    case 10: {
        int32_t cameraReturn = s.cameraReturn;
        MV2LeaveInterfaceScreens();
        MV2ResetControlsSoon();
        if (requested != 9) LeaveConsole(requested);
        return cameraReturn != 0;
    }
    case 12:
        MV2NotifyScripts(nullptr, kScriptEventLeaveMode, requested);
        return requested != 0;
    case 13: return requested == 9;
    case 17:
        MV2CloseSaveScreen();
        MV2ResetControlsSoon();
        return true;
    default: MV2ResetControlsSoon(); return true;
    }
}

void EnterPlay() {
    MV2GameStateMachine& s = gMV2StateMachine;
    if (!s.consoleReturn && !s.cameraReturn && !MV2ScriptPlacesPlayer) {
        uint32_t top = MV2GetCurrentLevelId() >> 24;
        MV2MovePlayerToStartPoint(top != 0 || gMV2GameType == 2 ? 0x40056 : 0x40055);
        if (top == 0 && gMV2GameType == 2) {
            // A campaign start: the sub leaves the city under its own brain.
            MV2Object* sub = MV2GetPlayerSub();
            if (sub) {
                MV2ObjectSendMessage(sub, kMessageSetBrain, 0, reinterpret_cast<intptr_t>(MV2SubAIBrain));
                MV2CityDispatchCraft(sub, kCityDoor, nullptr);
            }
            MV2SetLetterbox(1);
        }
    }
    if (s.cameraReturn) MV2SetCameraMode(1);
    s.consoleReturn = s.cameraReturn = 0;
    MV2ScriptPlacesPlayer = 0;
    MV2HideMouseCursor();
}

void EnterTitleCutScene() {
    MV2GameStateMachine& s = gMV2StateMachine;
    MV2RecreateMissionTimers();
    MV2ResetLevelSwitches();
    MV2DestroyAllObjects();
    MV2ResetFrameClocks();
    MV2ResetDayClock();
    if (MV2LoadLevel(kMV2TitleLevel, 1)) {
        MV2MiningLinkSiteObjects();
        MV2ClearLetterbox();
        MV2SetLetterbox(1);
        if (MV2CutSceneStart(kTitleCutScene, 0)) {
            MV2SetScreenFade(3);
            MV2AddMusicTrack(kTitleTrack, 1);
        }
    }
    MV2BuildPathNodes();
    s.savedWorldCaustics = gMV2Settings.worldCaustics;
    s.savedAtomicCaustics = gMV2Settings.atomicCaustics;
    MV2SetWorldCaustics(0);
    MV2SetAtomicCaustics(0);
    MV2HideMouseCursor();
    MV2ResetHudMessages();
    MV2MissionInstallNotify(kTitleRow, kScriptEventTitle);
    MV2StartMusic();
}

} // namespace

void MV2AimConsoleCamera() {
    TvFrame* frame = gMV2MainCamera ? gMV2MainCamera->object.frame : nullptr;
    TvMatrix* m = frame ? TvFrameGetMatrix(frame) : nullptr;
    MV2Object* eye = MV2FindObjectByScriptID(kConsoleEye);
    MV2Object* target = MV2FindObjectByScriptID(kConsoleTarget);
    if (!m || !eye || !target || !eye->matrix || !target->matrix) return;
    // A target on the eye or straight above or below it gives no direction to look in: the
    // camera is left as it is rather than given a matrix without axes.
    const TvV3d toTarget = TvV3dSub(target->matrix->pos, eye->matrix->pos);
    TvV3d at, right;
    if (TvV3dNormalize(&at, &toTarget) == 0.0f) return;
    const TvV3d worldUp = {0.0f, 1.0f, 0.0f};
    const TvV3d across = TvV3dCross(worldUp, at);
    if (TvV3dNormalize(&right, &across) == 0.0f) return;
    const TvV3d up = TvV3dCross(at, right);
    m->pos = eye->matrix->pos;
    m->at = at;
    m->right = right;
    TvV3dNormalize(&m->up, &up);
    TvFrameUpdateObjects(frame);
}

namespace {

void EnterConsole(int32_t current) {
    MV2GameStateMachine& s = gMV2StateMachine;
    if (current == 9 || current == 10) return;
    if (MV2GetCurrentLevelId() >> 24) MV2LoadLevel(kMV2TitleLevel, 0);
    MV2SetCameraMode(0);
    s.savedFarClip = gMV2FarClip.distance;
    MV2SetFarClip(30.0f);
    if (!s.oil) s.oil = TvTextureRead("oily", "oilym");
    MV2ResetScreenCracks();
    MV2NotifyScripts(nullptr, kScriptEventConsole, 0);
    MV2RefillPlayerSub();
    MV2RespawnLevelRecord(kConsoleRecordA, -1);
    MV2RespawnLevelRecord(kConsoleRecordB, -1);
    MV2AimConsoleCamera();
    if (gMV2MainCamera) TvCameraSetViewWindow(gMV2MainCamera, &kConsoleWindow);
    MV2PlacePlayerSubAtAnchor(1, 1);
    MV2EnterConsoleMode();
    gMV2GameState.current = 9;
    MV2ShowMouseCursor();
    MV2StartConsole();
}

void Enter(int32_t current, int32_t requested) {
    switch (requested) {
    case 0: EnterPlay(); break;
    case 1:
    case 11:
    case 17:
    case 12:
    case 13: break;
    case 7: EnterTitleCutScene(); break;
    case 9: EnterConsole(current); break;
    case 10: MV2EnterInterfaceScreens(); break;
    case 14:
        if (!MV2StartLevel()) {
            MV2ErrorBox("Couldn't start a one player game");
            break;
        }
        MV2MissionStart(1, 1);
        break;
    default: MV2HideMouseCursor(); break;
    }
}

// Reads a sequence picture: ".\texture\" and "<name>.jpg", else "<name>.bmp".
TvRaster* SequencePicture(int8_t state) {
    switch (state) {
    case 0: return MV2LoadScreenPicture("codec");
    case 5: return MV2LoadScreenPicture("initdemo");
    case 6: return MV2LoadScreenPicture("title1");
    case 7: return MV2LoadScreenPicture("title2");
    default: return nullptr;
    }
}

} // namespace

void MV2SetGameMode() {
    int32_t current = gMV2GameState.current, requested = gMV2GameState.requested;
    if (Leave(current, requested)) Enter(current, requested);
    MV2GameStateMachine& s = gMV2StateMachine;
    if (s.pendingCutScene) {
        MV2PlayCutScene(s.pendingCutScene, s.pendingCutSceneScript);
        s.pendingCutScene = s.pendingCutSceneScript = 0;
    }
}

void MV2ShowTitleScreen() {
    MV2GameStateMachine& s = gMV2StateMachine;
    int8_t current = gMV2GameState.sequence;
    int8_t requested = gMV2GameStateCompanion.requestedSequence;
    if (current == requested) return;
    if (current == 7) MV2MenuClose();
    if (current == 0 || current == 5 || current == 6 || current == 7) {
        if (s.background) TvRasterDestroy(s.background);
        s.background = nullptr;
    }
    switch (requested) {
    case 5: MV2ResetControlsSoon(); break;
    case 6:
        MV2ResetSounds();
        MV2ResetMusic();
        MV2ResetControlsSoon();
        break;
    case 7: MV2ResetControlsSoon(); break;
    default: break;
    }
    if (requested == 0 || requested == 5 || requested == 6 || requested == 7) {
        if (s.background) TvRasterDestroy(s.background);
        s.background = SequencePicture(requested); // possibly null
    }
}

void MV2UpdateGameState() {
    MV2GameStateMachine& s = gMV2StateMachine;
    MV2UpdateGameOver();
    if (gMV2Messages.showing && gMV2Messages.current == kMV2FatalSlot) {
        MV2UpdateMessage();
        ++s.passes;
        MV2MenuUpdate();
        return;
    }
    if (!MV2MenuGetCurrentInstance()) {
        MV2RandomiseElectricArcJitter();
        switch (gMV2GameState.sequence) {
        case 0:
            if (s.passes < 2) s.startTime = timeGetTime();
            if (timeGetTime() - s.startTime > 3000) MV2RequestModeAndSequence(11, 1);
            break;
        case 1: gMV2GameStateCompanion.requestedSequence = 2; break;
        case 2: gMV2GameStateCompanion.requestedSequence = 3; break;
        case 3: gMV2GameStateCompanion.requestedSequence = 4; break;
        case 4: MV2RequestModeAndSequence(8, 5); break;
        case 5:
            if (s.initPending) {
                MV2InitialiseGame();
                s.initPending = 0;
            } else if (gMV2MainLoop.frontEnd) {
                MV2RequestModeAndSequence(7, 8);
            }
            break;
        case 6:
            if (s.passes == 0) MV2ResetSounds();
            if (s.passes == 600) MV2RequestModeAndSequence(8, 0);
            MV2UpdateSounds();
            break;
        case 7:
            MV2NetLeaveGame();
            MV2ResetMusic();
            MV2MenuOpenTop();
            break;
        case 8:
            MV2CutSceneUpdate();
            MV2UpdateSounds();
            MV2UpdateHudMessages();
            break;
        default: break;
        }
    } else if (gMV2GameState.sequence == 7) {
        MV2UpdateSounds();
    }
    ++s.passes;
    MV2MenuUpdate();
}

namespace {
MV2Object* Craft(int32_t i) {
    MV2MissionCraft& c = gMV2StateMachine.craft[i];
    return c.object && MV2ObjectHandleAlive(c.handle) ? c.object : nullptr;
}
} // namespace

MV2Object* MV2GetMissionObjectA() {
    return Craft(0);
}

MV2Object* MV2GetMissionObjectB() {
    return Craft(1);
}

namespace {
// Designates a craft: script id -65535 (A) or -65534 (B), activated, state 1.
MV2SubAIData* Designate(int32_t i, MV2Object* object) {
    MV2MissionCraft& c = gMV2StateMachine.craft[i];
    if (!object) return nullptr;
    c.object = object;
    c.handle = object->handle;
    MV2ObjectSendMessage(object, kMessageSetScriptId, int32_t(0xFFFF0001u + uint32_t(i)), 0);
    MV2ObjectSendMessage(object, kMessageActivate, 1, 0);
    c.state = 1;
    MV2SubAIData* data = MV2GetSubAIData(object);
    if (data) MV2SubAISetDesignated(data, 1);
    return data;
}
} // namespace

MV2SubAIData* MV2SetMissionObjectA(MV2Object* object) {
    return Designate(0, object);
}

MV2SubAIData* MV2SetMissionObjectB(MV2Object* object) {
    return Designate(1, object);
}

void MV2SetMissionObjectAState(int32_t state) {
    gMV2StateMachine.craft[0].state = state;
}

void MV2SetMissionObjectBState(int32_t state) {
    gMV2StateMachine.craft[1].state = state;
}
