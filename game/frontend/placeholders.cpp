// Entry points of front-end modules not built yet, each doing the least its callers need.
#include "game/frontend/draw2d.h"
#include "game/frontend/font.h"
#include "game/frontend/menus.h"
#include "game/frontend/movies.h"
#include "game/frontend/screens.h"

static int32_t g_subtitles = 0;

// Placeholder: the subtitles setting is only remembered.
void MV2SetSubtitles(int32_t setting) {
    g_subtitles = setting;
}

// Placeholder: the remembered subtitles setting (0, unset, by default).
int32_t MV2GetSubtitles() {
    return g_subtitles;
}

// Placeholder: there are no menus to take input.
void MV2MenuHandleInput() {}

// Placeholder: there is no map yet.
void MV2MapSetFreeScroll(int32_t) {}

// Placeholder: the console is not built.
void MV2EnterConsoleMode() {}

// Placeholder: the console is not built.
void MV2LeaveConsoleMode() {}

// Placeholder: the interface screens are not built.
void MV2EnterInterfaceScreens() {}

// Placeholder: the interface screens are not built.
void MV2LeaveInterfaceScreens() {}

// Placeholder: the map is not built, so it is never open.
void MV2MapClose() {}

// Placeholder: there is no message ring yet.
void MV2ResetHudMessages() {}

// Placeholder: there is no message ring yet.
void MV2UpdateHudMessages() {}

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

// Placeholder: the level start of a hosted network game is the shell's and not built yet.
int32_t MV2StartNetLevelHost() {
    return 0;
}

// Placeholder: the level start of a joined network game is the shell's and not built yet.
int32_t MV2StartNetLevelJoin() {
    return 0;
}
