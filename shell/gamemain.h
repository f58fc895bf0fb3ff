// Game main: the command line, the start-up sequence and the main loop.
#pragma once

#include <cstdint>

struct TvCamera;
struct TvRaster;

extern TvCamera* gMV2MainCamera;
extern TvCamera* gMV2SubCamera;

// Flags of the main loop.
struct MV2MainLoop {
    int32_t quit;         // ends the main loop
    int32_t frontEnd;     // 1 while the front-end loop runs
    int32_t returnToMenu; // sends the in-game loop back to the front end
    int32_t editing;      // "-edit"
    int32_t dataRebuild;  // "-data"
    int32_t pictureShowing;
    int32_t dxtSupported;
};
extern MV2MainLoop gMV2MainLoop;

int32_t MV2GameMain();
