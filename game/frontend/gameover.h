// The game-over sequence: an optional sprite zoom, a delay, two bars carrying the halves of
// the "gameover" picture closing from the top and the bottom with a bounce, the return to the
// title behind them, and the bars opening again.
#pragma once

#include <cstdint>

#include "engine/core/im2d.h"
#include "game/frontend/draw2d.h"

struct TvTexture;

enum MV2GameOverState : int32_t {
    kMV2GameOverIdle = 0,
    kMV2GameOverZoom = 1,
    kMV2GameOverZoomHeld = 2,
    kMV2GameOverWaiting = 3,
    kMV2GameOverTopClosing = 4,
    kMV2GameOverTopBounce = 5,
    kMV2GameOverBottomClosing = 6,
    kMV2GameOverBothBounce = 7,
    kMV2GameOverClosed = 8,
    kMV2GameOverOpening = 9,
};

struct MV2GameOver {
    int32_t state;
    uint32_t startTime; // ms of the current state's start
    uint32_t delay;     // ms state 3 waits
    int32_t zoomSprite; // the zoom sprite is drawn in states 4 to 6
    TvTexture* texture;
    float topEdge, bottomEdge; // inner edges of the bars in display pixels
    MV2SpriteDraw sprite;
    TvIm2DVertex bar[4];
};
extern MV2GameOver gMV2GameOver;

void MV2InitialiseGameOver();
void MV2ResetGameOver();
void MV2DestroyGameOver();
void MV2StartGameOverFade();
void MV2StartGameOver(int32_t delayMs);
int32_t MV2GameOverActive();
// The state (0 when none runs).
int32_t MV2GetGameOverState();
void MV2UpdateGameOver();
void MV2RenderGameOver();
