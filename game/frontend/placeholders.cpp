// Entry points of front-end modules not built yet, each doing the least its callers need.
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

// Placeholder: the HUD font is not built; nothing is drawn.
void MV2FontDrawTextAnchored(const char*, int32_t, int32_t, uint32_t, int32_t, int32_t) {}
