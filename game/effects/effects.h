// Visual effects: the entry points the shell, the object system and the game modules call,
// gathered from the headers of the effect modules.
#pragma once

#include <cstdint>

#include "game/effects/arcs.h"
#include "game/effects/beams.h"
#include "game/effects/bubbles.h"
#include "game/effects/cracks.h"
#include "game/effects/explosions.h"
#include "game/effects/fireballs.h"
#include "game/effects/gravel.h"
#include "game/effects/lava.h"
#include "game/effects/plasma.h"
#include "game/effects/prelight.h"
#include "game/effects/primitives.h"
#include "game/effects/projection.h"
#include "game/effects/regrow.h"
#include "game/effects/scorches.h"
#include "game/effects/sfx.h"
#include "game/effects/shadows.h"
#include "game/effects/shafts.h"
#include "game/effects/smoke.h"
#include "game/effects/sonic.h"
#include "game/effects/sparks.h"
#include "game/effects/stars.h"
#include "game/effects/streaks.h"
#include "game/effects/sunrays.h"
#include "game/effects/tracers.h"
#include "game/effects/trails.h"
