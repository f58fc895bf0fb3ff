#include "shell/gameinit.h"

int32_t gMV2GameType = 0;
int32_t gMV2GameInitialised = 0;
int32_t gMV2Paused = 0;
