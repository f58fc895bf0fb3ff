// Mission row 30: the level-5 lock gates. Three lock switches set the bubble vents of the
// locks; with all three thrown the final gate opens, and the last switch sets the stone ball
// rolling. Fixed camera posts help the player through the narrow passages.
#pragma once

#include <cstdint>

#include "game/objects/objects.h"

inline constexpr int32_t kMV2Mission30Objects = 52;

struct MV2Mission30State {
    uint32_t gateAFlag;       // switch 0x05000031
    uint32_t gateBFlag;       // switch 0x05000032
    uint32_t gateCFlag;       // switch 0x05000033
    uint32_t finalSwitchFlag; // switch 0x05000034
    MV2Object* objects[kMV2Mission30Objects];
    MV2ObjectHandle handles[kMV2Mission30Objects];
};
extern MV2Mission30State gMV2Mission30;

// The callback of row 30's bound objects.
void MV2Mission30SwitchHit(MV2Object* object, int32_t value);
// The callback of row 30's camera triggers (the touch sensors' form).
void MV2Mission30ProximityHit(MV2Object* trigger, MV2Object* other);

// The trigger's at axis dotted with (trigger position - other's position).
float MV2MissionTriggerFacing(MV2Object* trigger, MV2Object* other);
// 1 when the other object lies within half the trigger's bounding radius.
int32_t MV2MissionWithinHalfRadius(MV2Object* trigger, MV2Object* other);
