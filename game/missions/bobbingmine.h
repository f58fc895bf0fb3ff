// The bobbing mine (type 271): a mine that circles its rest position once every 12 s and
// jolts craft that run into it.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"
#include "game/objects/objects.h"

// The mine's offset from its rest position at a game time, along its right, up and at axes.
TvV3d MV2BobbingMineOffset(const TvV3d& right, const TvV3d& up, const TvV3d& at, uint32_t gameMs);
intptr_t MV2BobbingMineHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
void MV2RegisterBobbingMineHandler();
