// Entry points of front-end modules not built yet, each doing the least its callers need.
#include "game/frontend/draw2d.h"
#include "game/frontend/font.h"
#include "game/frontend/menus.h"
#include "game/frontend/movies.h"
#include "game/creatures/creatures.h"
#include "game/effects/effects.h"
#include "game/frontend/hudmessages.h"
#include "game/missions/missions.h"
#include "game/objects/objectsounds.h"
#include "game/player/player.h"
#include "shell/frametimer.h"

// Placeholder: no menu is open yet.
void* MV2MenuGetCurrentInstance() {
    return nullptr;
}

// Placeholder: no menu is closing yet.
void* MV2MenuGetClosingInstance() {
    return nullptr;
}

// Placeholder: there are no menu items to receive messages.
int32_t MV2MenuSendMessage(void*, int32_t, int32_t, ...) {
    return 0;
}

static MssDriver* g_movieSound = nullptr;

// Placeholder: movies are not built; the driver is only remembered for them.
void MV2MovieSetSoundSystem(MssDriver* driver) {
    g_movieSound = driver;
}

// Placeholder: there are no menus yet; none opens.
int32_t MV2MenuOpenTop() {
    return 0;
}

// Placeholder: there are no menus to take input.
void MV2MenuHandleInput() {}

// Placeholder: no menu is open, so none closes.
void MV2MenuClose() {}

// Placeholder: no menu is open, so none steps.
void MV2MenuUpdate() {}

// Placeholder: no game-over sequence runs.
int32_t MV2GetGameOverState() {
    return 0;
}

// Placeholder: no movie plays, so no sound resumes.
void MV2MovieResumeSound() {}

// Placeholder: no game-over sequence runs.
void MV2UpdateGameOver() {}

// Placeholder: the console is not built.
void MV2EnterConsoleMode() {}

// Placeholder: the console is not built.
void MV2LeaveConsoleMode() {}

// Placeholder: the interface screens are not built.
void MV2EnterInterfaceScreens() {}

// Placeholder: the interface screens are not built.
void MV2LeaveInterfaceScreens() {}

// Placeholder: the save screen is not built.
void MV2CloseSaveScreen() {}

// Placeholder: there are no menus to draw.
void MV2MenuRender() {}

// Placeholder: movies are not built; a movie ends at once.
void MV2PlayMovie(const char*) {}

// Placeholder: movies are not built; the folder is not kept.
void MV2MovieSetFolder(const char*) {}

// Placeholder: movies are not built.
void MV2SetMovieRect() {}

// Placeholder: movies are not built; the module starts empty.
int32_t MV2MovieStartup() {
    return 1;
}

// Placeholder: the briefing texts need no preparation yet.
void MV2InitialiseBriefingTexts() {}

// Placeholder: the interface screens are not built.
void MV2UpdateInterfaceScreens() {}

// Calls of the HUD, radar and map into modules not built yet.

// Placeholder: the shell keeps no game clock yet; the frame clock stands in for it.
uint32_t MV2GetGameTime() {
    return gMV2FrameTimer.frameClock;
}

// Placeholder: no craft has a depth limit record yet; a deep one is assumed.
float MV2GetCraftDepthLimit(MV2Object*) {
    return 1000.0f;
}

// Placeholder: there is no radiation yet.
float MV2ReadGeiger(MV2Object*) {
    return 0.0f;
}

// Placeholder: the weapon system has nothing to set up yet.
int32_t MV2InitialiseWeaponSystem() {
    return 1;
}

// Placeholder: the award counters are not kept yet.
void MV2ClearAwardCounters() {}

// Placeholder: nothing is selected.
MV2Object* MV2GetSelectedObject() {
    return nullptr;
}

// Placeholder: the targeted object is not kept yet.
void MV2SetTargetedObject(MV2Object*) {}

// Placeholder: there are no tools yet.
intptr_t MV2SendToolCommand(MV2Object*, int32_t, int32_t, intptr_t, intptr_t) {
    return 0;
}

// Placeholder: there is no player sub yet.
MV2Object* MV2GetPlayerSub() {
    return nullptr;
}

// Placeholder: the weapon panels are not built.
void MV2DrawWeaponPanel(MV2Object*, const MV2HudElement*) {}

// Placeholder: the tool panels are not built.
void MV2DrawToolPanel(MV2Object*, const MV2HudElement*) {}

// Placeholder: hidden targets are never revealed yet.
int32_t MV2PlayerRevealsHiddenTargets() {
    return 0;
}

// Placeholder: there is no heat exposure yet.
float MV2GetHeat() {
    return 0.0f;
}

// Placeholder: the heat colour is plain red.
uint32_t MV2GetHeatColour() {
    return 0xFFFF0000u;
}

// Placeholder: there are no rescue targets yet.
void MV2HideRescueTargets() {}

// Placeholder: there are no rescue targets yet.
void MV2DrawRescueHudPanel() {}

// Placeholder: there are no rescue targets yet.
void MV2DrawRescueMapTargets() {}

// Placeholder: no mission countdown runs.
int32_t MV2GetMissionCountdown(uint32_t*, int32_t*) {
    return 0;
}

// Placeholder: object sounds are not built; nothing plays.
void MV2PlaySoundAt(int32_t, const TvV3d*, float, int32_t) {}

// Placeholder: there are no screen cracks yet.
void MV2AddScreenCracks(int32_t) {}
