// Game main: the command line, the start-up sequence and the main loop.
#pragma once

#include <cstdint>

struct TvCamera;
struct TvRaster;
struct TvTexture;

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
    void* arena; // the resource arena's block
    struct MV2PackFile* texturePack;
    struct MV2PackFile* clumpPack;
    TvTexture* (*savedTextureRead)(const char* name, const char* maskName);
};
extern MV2MainLoop gMV2MainLoop;
// 1 when losing the window's focus stops the game (game main sets it unless headless).
extern int32_t gMV2WatchFocus;

inline constexpr uint32_t kMV2ArenaSize = 0xBF400;
inline constexpr float kMV2FarClipDistance = 30.0f;
inline constexpr int32_t kMV2ActionHelp = 18;

// Where a pass of the loops leaves the game.
enum MV2PassResult : int32_t {
    MV2_PASS_FRONT_END = 0,
    MV2_PASS_IN_GAME = 1,
    MV2_PASS_CLOSING = 2,
};

int32_t MV2GameMain();
// Reads the command line's words: "-edit", "-data"; other words are reported.
void MV2ParseCommandLine(const char* commandLine);
int32_t MV2OpenDisplay();
int32_t MV2OpenGameServices();
TvCamera* MV2CreateMainCamera();
TvCamera* MV2CreateSubCamera();
TvTexture* MV2ReadTexture(const char* name, const char* maskName);
TvRaster* MV2LoadScreenPicture(const char* name);
void MV2DrawScreenPicture(TvRaster* raster);
// Identity frame at the origin and view window 1 by 1.
void MV2SetWholeScreenView(TvCamera* camera);
// Identity frame, view window 1 by 1, cleared to black; true when the update began.
bool MV2BeginWholeScreenUpdate(TvCamera* camera);
MV2PassResult MV2FrontEndPass();
MV2PassResult MV2InGamePass();
// One showing step of the closing picture; false once it is over.
bool MV2ClosingPicturePass(TvRaster* picture, uint32_t endTime, uint32_t* key);
void MV2ClosingSequence();
// Destroys the cameras' rasters and frames and the sequence picture at the end of game main.
void MV2ReleaseDisplay();
