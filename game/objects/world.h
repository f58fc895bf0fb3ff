// The level and the world around it as the shell drives them: levels and their records, level
// switches and wall sets, the game's engine plug-ins and lighting, the day clock and the
// mission timers.
#pragma once

#include "game/objects/clumpdata.h"
#include "game/objects/levels.h"
#include "game/objects/levelswitch.h"
#include "game/objects/lighting.h"
#include "game/objects/modeltags.h"
#include "game/objects/objects.h"
#include "game/objects/sky.h"

#include <cstdint>

void MV2RecreateMissionTimers();

