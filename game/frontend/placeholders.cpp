// Entry points of front-end modules not built yet, each doing the least its callers need.
#include "game/frontend/draw2d.h"
#include "game/frontend/font.h"
#include "game/frontend/menus.h"
#include "game/frontend/movies.h"

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

static int32_t g_subtitles = 0;

// Placeholder: the subtitles setting is only remembered.
void MV2SetSubtitles(int32_t setting) {
    g_subtitles = setting;
}

// Placeholder: the remembered subtitles setting (0, unset, by default).
int32_t MV2GetSubtitles() {
    return g_subtitles;
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

// Placeholder: there is no map yet.
void MV2MapSetFreeScroll(int32_t) {}

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

// Placeholder: the map is not built, so it is never open.
void MV2MapClose() {}

// Placeholder: there is no message ring yet.
void MV2ResetHudMessages() {}

// Placeholder: there is no message ring yet.
void MV2UpdateHudMessages() {}

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

// Placeholder: the HUD colour keeps its start value until the HUD is built.
uint32_t MV2HudColour() {
    return 0xFF61BDFFu;
}

// Placeholder: there are no mission map tiles to free.
void MV2MapFreeTiles() {}

// Placeholder: there are no mission map tiles to load.
void MV2MapLoadTiles() {}

// Placeholder: there is no map transform to set up.
void MV2MapInitialiseTransform() {}
