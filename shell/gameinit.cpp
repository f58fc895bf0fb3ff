#include "shell/gameinit.h"

#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "engine/core/memory.h"
#include "engine/world/light.h"
#include "engine/world/world.h"
#include "game/creatures/creatures.h"
#include "game/effects/effects.h"
#include "game/frontend/font.h"
#include "game/frontend/menus.h"
#include "game/frontend/missionmap.h"
#include "game/missions/leveldevices.h"
#include "game/missions/missions.h"
#include "game/missions/orbstation.h"
#include "game/missions/stickycharges.h"
#include "game/multiplayer/multiplayer.h"
#include "game/objects/objecttypes.h"
#include "game/objects/dynamics.h"
#include "game/objects/caustics.h"
#include "game/objects/camera.h"
#include "game/objects/utilities.h"
#include "game/frontend/screens.h"
#include "game/objects/clumpdata.h"
#include "framework/network/network.h"
#include "game/objects/levels.h"
#include "game/objects/lighting.h"
#include "game/objects/rocktunnel.h"
#include "game/objects/sky.h"
#include "game/objects/water.h"
#include "game/objects/world.h"
#include "game/player/player.h"
#include "platform/win32/machine.h"
#include "platform/win32/win32.h"
#include "platform/winmm/winmm.h"
#include "shell/controls.h"
#include "shell/errors.h"
#include "shell/events.h"
#include "game/frontend/menus.h"
#include "game/frontend/movies.h"
#include "shell/frametimer.h"
#include "shell/gamemain.h"
#include "shell/gamestate.h"
#include "shell/pack.h"
#include "shell/render.h"
#include "shell/resfile.h"
#include "shell/settings.h"
#include "shell/cdaudio.h"
#include "shell/sounds.h"
#include "shell/voices.h"

#include <cstdio>

int32_t gMV2GameType = 0;
int32_t gMV2GameInitialised = 0;
int32_t gMV2Paused = 0;
uint32_t gMV2PauseTime = 0;
MV2FarClip gMV2FarClip = {30.0f, 1.0f / 30.0f, 29.0f, 1.0f / 29.0f, 29.0f * 29.0f};

namespace {

struct InitStep {
    int32_t (*run)();
    const char* failure; // null: 0 is returned without a box
};

int32_t OpenMenuResource() {
    char name[64];
    if (MV2LanguageFolderIndex != 0 && MV2LoadMenuResourceFile(MV2MenuResourceFileName(name, sizeof name)))
        return 1;
    return MV2LoadMenuResourceFile(".\\data\\menu.mv2");
}

int32_t CreateLanguage() {
    return MV2CreateLanguage(GetUserDefaultLCID());
}

int32_t ObjectsAndBodies() {
    return MV2InitialiseObjects() && MV2InitialiseDynamics();
}

int32_t NetworkClient() {
    if (!MV2NetCreateClient()) return 0;
    MV2NetLoadIcons();
    return 1;
}

int32_t Succeed() {
    return 1;
}

} // namespace

void MV2CreateWorldLights() {
    constexpr uint8_t kDirectional = 1, kAmbient = 2, kLightFlags = 3;
    if (!gMV2AmbientLight && (gMV2AmbientLight = TpLightCreate(kAmbient))) {
        TpLightSetRadius(gMV2AmbientLight, 1.0f);
        MV2SetAmbientColour(1.0f, 1.0f, 1.0f, 1.0f);
        if (gMV2MainCamera && gMV2MainCamera->object.frame)
            TpLightSetFrame(gMV2AmbientLight, gMV2MainCamera->object.frame);
        TpLightSetFlags(gMV2AmbientLight, kLightFlags);
    }
    if (!gMV2DirectionalLight && (gMV2DirectionalLight = TpLightCreate(kDirectional))) {
        TvFrame* frame = TvFrameCreate();
        if (frame) TpLightSetFrame(gMV2DirectionalLight, frame);
        TpLightSetRadius(gMV2DirectionalLight, 1.0f);
        MV2SetAmbientColour(1.0f, 1.0f, 1.0f, 1.0f);
        TpLightSetFlags(gMV2DirectionalLight, kLightFlags);
    }
}

namespace {
// The light leaves its world and its frame, and goes with the frame when that is its own.
void DestroyWorldLight(TpLight*& light, bool ownFrame) {
    if (!light) return;
    if (TpWorld* world = TpLightGetWorld(light)) TpWorldRemoveLight(world, light);
    TvFrame* frame = light->object.frame;
    TpLightSetFrame(light, nullptr);
    TpLightDestroy(light);
    if (ownFrame && frame) TvFrameDestroy(frame);
    light = nullptr;
}

} // namespace

void MV2DestroyWorldLights() {
    DestroyWorldLight(gMV2AmbientLight, false);
    DestroyWorldLight(gMV2DirectionalLight, true);
}

namespace {

// Steps 3 to 21 of the initialisation.
const InitStep kFirstSteps[] = {
    {MV2MissionSystemReset, "Could not open missions functionality"},
    {MV2InitialisePlanktum, "Could not initialise planktum"},
    {MV2InitialiseStars, "Could not initialise stars"},
    {OpenMenuResource, "Could not open menu resource files"},
    {CreateLanguage, "MV2CreateLanguage failed"},
    {MV2InitialiseBubbles, "Cannot initialise bubbles"},
    {MV2InitialiseFireballs, "Cannot initialise fire balls"},
    {MV2InitialiseSmoke, "Cannot initialise smoke"},
    {MV2InitialiseTracers, "Cannot initialise tracers"},
    {MV2InitialiseInkClouds, "Cannot initialise ink"},
    {MV2InitialiseSonicDistortions, "Cannot initialise sonic distortions"},
    {MV2InitialiseSFX, "Cannot initialise SFX"},
    {MV2InitialiseExplosions, "Cannot initialise explosions"},
    {MV2InitialiseSparks, "Cannot initialise sparks"},
    {MV2InitialiseSunMoonBeams, "Cannot initialise sun & moon beams"},
    {MV2InitialiseSunRays, "Cannot initialise sun rays"},
    {MV2InitialiseTimedTags, "Cannot initialise Blood"},
    {ObjectsAndBodies, nullptr},
    {NetworkClient, "Could not initialise network"},
};

const InitStep kLaterSteps[] = {
    {MV2InitialiseScorches, "Cannot initialise scorches"},
    {MV2InitialiseGravel, "Cannot initialise gravel"},
    {Succeed, "Could not create the HUD"},
};

bool Run(const InitStep& step) {
    MV2RenderFrame(1);
    if (step.run()) return true;
    if (step.failure) MV2ErrorBox(step.failure);
    return false;
}

} // namespace

void MV2StoreFarClip(float distance) {
    MV2FarClip& f = gMV2FarClip;
    f.distance = distance;
    f.inverse = distance != 0.0f ? 1.0f / distance : 0.0f;
    f.minusOne = distance - 1.0f;
    // A far clip of 1.0 would divide by zero: the derived value is taken as 0.
    f.inverseMinusOne = f.minusOne != 0.0f ? 1.0f / f.minusOne : 0.0f;
    f.minusOneSquared = f.minusOne * f.minusOne;
    if (gMV2MainCamera) TvCameraSetFarClipPlane(gMV2MainCamera, distance);
    if (gMV2SubCamera) TvCameraSetFarClipPlane(gMV2SubCamera, distance);
}

void MV2SetFarClip(float distance) {
    MV2StoreFarClip(distance);
}

int32_t MV2InitialiseGame() {
    for (int i = 0; i < 3; ++i)
        MV2RenderFrame(0);
    MV2RenderFrame(1);
    if (!MV2LoadSubDefinitions()) return 0;
    MV2RenderFrame(1);
    MV2ResetCutSceneSequence();
    MV2SetScreenFade(0);
    MV2InitialiseGameOver();
    MV2RenderFrame(1);
    for (const InitStep& step : kFirstSteps)
        if (!Run(step)) return 0;
    MV2RenderFrame(1);
    MV2CreateWorldLights();
    for (const InitStep& step : kLaterSteps)
        if (!Run(step)) return 0;
    MV2RenderFrame(1); // 26: the object types
    MV2RegisterLevelObjectHandlers();
    MV2RegisterLevelDeviceHandlers();
    MV2RegisterPlayerHandlers();
    MV2RegisterMissionObjectHandlers();
    if (!MV2InitialiseObjectTypes()) return 0;
    MV2RenderFrame(1); // 27: landscape state
    MV2RenderFrame(1);
    MV2StoreFarClip(30.0f);
    MV2ClearEffectHookHeadName();
    MV2RenderFrame(1);
    MV2RenderFrame(1);
    MV2RequestModeAndSequence(7, 8);
    gMV2GameType = 0;
    MV2RenderFrame(1);
    if (!MV2LoadSounds()) {
        MV2ErrorBox("Cannot load samples");
        return 0;
    }
    MV2RenderFrame(1);
    MV2RenderFrame(1);
    MV2RenderFrame(1);
    char name[kMV2PlayerNameSize];
    DWORD size = sizeof name;
    if (GetUserNameA(name, &size)) MV2SetPlayerName(name);
    MV2ReadAllSettings();
    gMV2GameInitialised = 1;
    return 1;
}

void MV2ClearLevelState() {
    if (gMV2GameType == 2) {
        MV2DestroyPathNodes();
        uint8_t* block = MV2GetMissionStateBlock();
        for (size_t i = 0; i < kMV2MissionStateSize; ++i)
            block[i] = 0;
    }
    MV2SetPlayerControlState(0x80);
    MV2NetUpdate();
    MV2ResetMusic();
    MV2StopSpeech();
    MV2ShutdownMissionScripts();
    MV2DestroyAllObjects();
    // A player's craft the world no longer holds is destroyed too, with what it carries.
    MV2Object* const crafts[2] = {MV2GetPlayerObject(), MV2GetPlayerSub()};
    const MV2ObjectHandle handles[2] = {crafts[0] ? crafts[0]->handle : 0, crafts[1] ? crafts[1]->handle : 0};
    for (int i = 0; i < 2; ++i)
        if (crafts[i] && MV2ObjectHandleAlive(handles[i])) MV2ObjectSendMessage(crafts[i], 4, 0, 0);
    // The player's references die with the level, also for objects the world no longer holds.
    MV2SetPlayerObject(nullptr);
    MV2SetPlayerSub(nullptr);
    MV2ResetSounds();
    gMV2GameType = 0;
}

int32_t MV2ResetLevel(int32_t) {
    MV2ClearLevelState();
    if (!MV2ResetBloodClouds()) return 0;
    if (!MV2InitialiseCommandSystem()) {
        MV2ErrorBox("Could not initialise command system");
        return 0;
    }
    if (!MV2ResetSpecialMove()) {
        MV2ErrorBox("Could not initialise special moves");
        return 0;
    }
    MV2ResetLightingZone();
    MV2ResetOrbPool();
    MV2ResetStickyCharges();
    MV2ResetFrameClocks();
    MV2SetSelectedObject(nullptr);
    MV2SetLetterbox(0);
    MV2ResetKeyStates();
    MV2ResetCutSceneSequence();
    MV2SetScreenFade(0);
    MV2ResetGameOver();
    gMV2StateMachine.cameraReturn = gMV2StateMachine.consoleReturn = 0;
    return 1;
}

namespace {
// The logic of a campaign level, in order; each failure ends the start.
const InitStep kCampaignSteps[] = {
    {MV2MiningLoad, "Cannot initialise mining logic"},
    {MV2InitialiseCityLogic, "Cannot initialise city logic"},
    {MV2InitialiseDropPoints, "Cannot initialise droppoints"},
};
} // namespace

int32_t MV2StartLevel() {
    MV2ResetMusic();
    MV2ResetDayClock();
    MV2NetShutdown();
    // A failed reset has shown its box; no level is started on nothing.
    if (!MV2ResetLevel(0)) return 0;
    MV2ResetMissionScripts();
    // A level that does not load gives no level to start a mission on.
    if (!MV2LoadLevel(MV2GetCurrentLevelId(), 1)) return 0;
    if ((MV2GetCurrentLevelId() >> 24) == 0) {
        for (const InitStep& step : kCampaignSteps) {
            if (step.run()) continue;
            MV2ErrorBox(step.failure);
            return 0;
        }
        MV2InitialiseMissionLevel();
    }
    MV2BuildPathNodes();
    if (!MV2ResetAmbientSpawns()) MV2ErrorBox("Cannot initialise population objects");
    gMV2GameType = 2;
    MV2SetEquipmentLevel(0);
    if (!MV2SpawnPlayer()) {
        MV2ErrorBox("Cannot initialise player");
        return 0;
    }
    return 1;
}

namespace {
// Every world object gets its start message with a counter that advances for each object that
// answers (the multiplayer pickups keep theirs as network object ids); the next free id.
uint32_t SendStartMessages() {
    uint32_t counter = 1;
    if (!MV2World) return counter;
    for (TpClump* c = MV2GetFirstWorldClump(MV2World); c; c = MV2GetNextWorldClump(MV2World, c))
        if (MV2Object* o = MV2GetClumpObject(c))
            if (MV2ObjectSendMessage(o, 100, intptr_t(counter), 0)) ++counter;
    return counter;
}

// The level of a network game, its spawn points and the player's craft.
int32_t StartNetLevel(int32_t gameType) {
    // The level load keeps the objects of every load only in a network game.
    gMV2GameType = gameType;
    {
        // The menus' level goes with its objects: the load drops its world, and objects left
        // in it (pickups on their module's list among them) would outlive it.
        MV2CurrentLevelWorld current;
        MV2DestroyAllObjects();
    }
    if (!MV2LoadLevel(gMV2LevelToLoad, 1)) return 0;
    MV2NetNumberSpawnPoints();
    // The craft joins the level's world: the menus start the game between frames, when no
    // world is current.
    MV2CurrentLevelWorld current;
    if (!MV2SpawnPlayer()) {
        MV2ErrorBox("Cannot initialise player");
        return 0;
    }
    // On the active list: the brain runs every frame, whether or not the craft is drawn.
    if (MV2Object* craft = MV2GetPlayerSub()) MV2ObjectSendMessage(craft, 0, 1, 0);
    MV2SetCameraMode(1);
    const uint32_t next = SendStartMessages();
    if (gameType == 3) gMV2Net.nextObjectId = next;
    gMV2Net.running = 1;
    return 1;
}
} // namespace

int32_t MV2StartNetLevelHost() {
    if (!MV2ResetLevel(0)) return 0;
    return StartNetLevel(3);
}

int32_t MV2StartNetLevelJoin() {
    if (gMV2Net.network) gMV2Net.network->Poll();
    if (!MV2ResetLevel(0)) return 0;
    // The host's spawn message names the level: wait for it, at most 20 s.
    const uint32_t start = timeGetTime();
    while (!gMV2Net.spawnData && gMV2Net.network && timeGetTime() - start < 20000) {
        gMV2Net.network->Poll();
        if (!gMV2Net.spawnData) Sleep(1);
    }
    if (!gMV2Net.spawnData || !StartNetLevel(4)) return 0;
    MV2NetAnnounce();
    return 1;
}

void MV2ShutdownGame() {
    MV2ResetMusic();
    MV2MusicStop();
    MV2ClearLevelState();
    MV2MapClose();
    MV2MapFreeTiles(); // before the engine that made them goes; a later level load frees them
    MV2DestroyGameOver();
    MV2DestroyLanguage();
    MV2FontReleasePages();
    MV2FreeMenuResourceFile();
    {
        // No camera update makes the landscape current here: its objects, and the lights they
        // hold, go before the landscape does.
        MV2CurrentLevelWorld current;
        MV2DestroyAllObjects();
    }
    MV2ResetWater();
    MV2ShutdownRocksAndClouds();
    MV2FreeSky();
    MV2NetShutdown();
    MV2ShutdownEffects();
    MV2ShutdownInkClouds();
    MV2ShutdownCaustics();
    MV2ShutdownSounds();
    MV2DestroyLandscape();
    MV2ClearMissionNotify();
    MV2FreeObjectTypes();
    MV2ShutdownDynamics();
    MV2FreeSubDefinitions();
    MV2ShutdownControls();
    MV2UnmountAllPacks();
    gMV2GameType = 0;
    MV2DestroyWorldLights();
    if (gMV2MainLoop.arena) {
        TvFree(gMV2MainLoop.arena);
        gMV2MainLoop.arena = nullptr;
    }
}

void MV2PauseGame(int32_t paused) {
    gMV2Paused = paused;
    if (paused) {
        gMV2PauseTime = timeGetTime();
        MV2RequestSoundPause(1);
        MV2PauseMusic();
        MV2PauseSpeech();
    } else {
        MV2ResetFrameClocks();
        MV2RequestSoundPause(0);
        MV2ResumeMusic();
        MV2MovieResumeSound();
    }
}
