// Entry points of front-end modules not built yet, each doing the least its callers need.
#include "game/creatures/creatures.h"
#include "game/effects/effects.h"
#include "game/frontend/hud.h"
#include "game/frontend/hudmessages.h"
#include "shell/frametimer.h"
#include "game/missions/missions.h"
#include "game/player/player.h"
#include "game/frontend/draw2d.h"
#include "game/frontend/font.h"
#include "game/frontend/menus.h"
#include "game/frontend/movies.h"
#include "game/frontend/screens.h"










// Placeholder: hidden targets are never revealed yet.
int32_t MV2PlayerRevealsHiddenTargets() {
    return 0;
}

// Placeholder: the shell keeps no game clock yet; the frame clock stands in for it.
uint32_t MV2GetGameTime() {
    return gMV2FrameTimer.frameClock;
}
