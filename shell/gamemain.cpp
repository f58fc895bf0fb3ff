#include "shell/gamemain.h"

TvCamera* gMV2MainCamera = nullptr;
TvCamera* gMV2SubCamera = nullptr;
MV2MainLoop gMV2MainLoop = {0, 1, 0, 0, 0, 0, 0};
