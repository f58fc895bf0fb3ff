// Mission row 31: the level-7 machine hall: switches, doors and machines, fixed camera views in
// narrow passages, seven machine parts delivered at a deposit and reassembled with a lever,
// and the grab by the mummy boss with its drag and the spinning, exploding wreck.
#pragma once

#include <cstdint>

#include "game/objects/objects.h"

// The callback every bound table object reports through (message 12, p2).
void MV2Mission31SwitchHit(MV2Object* object, int32_t state);
// The callback of the fifteen proximity triggers: camera posts and the part deposit.
void MV2Mission31ProximityHit(MV2Object* trigger, MV2Object* other);
// The callback of the trigger that starts the boss grab.
void MV2Mission31GrabTrigger(MV2Object* trigger, MV2Object* other);
