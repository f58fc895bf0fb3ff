#include "shell/gamemain.h"

TvCamera* gMV2MainCamera = nullptr;
TvCamera* gMV2SubCamera = nullptr;
