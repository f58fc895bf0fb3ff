// Global script row 41: the stray craft (type 126, script id 0x40283) on level 0, which the
// player may carry home with the magnet beside any mission. Its position survives level
// changes and saves; level switch 16 records that the job is over.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"

struct MV2Object;

struct MV2Script41 {
    int32_t enteredCity;
    int32_t positionSaved;
    int32_t delivered;
    TvV3d savedPosition;
    TvV3d savedAt;
    int32_t hintPending;
    int32_t second; // set at reset, read by nothing
    int32_t levelChange;
    int32_t handlersInstalled;
};
extern MV2Script41 gMV2Script41;

// Finds the stray craft, makes it row 41's and puts it back where it was saved; null when the
// level has none.
MV2Object* MV2GlobalScript41Attach();
