// The drag stone (type 62): a slowly turning machine that casts a beam from its tagged frame.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"
#include "game/objects/objects.h"

struct MV2DragStone {
    uint32_t beam;      // 0: none
    float speed;        // turning speed; 30 x speed degrees a second
    uintptr_t sound;    // the looped sound's variable
    TvV3d ends[2];      // the beam's end points in world space
};
extern MV2DragStone gMV2DragStone;

intptr_t MV2DragStoneHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
// The beam's end points from the frame tagged 10: that frame's position, and 8 units along its
// at vector less 1.21 times its up vector. Nothing when the frame is missing.
void MV2DragStoneBeamEnds(MV2Object* object, TvV3d* first, TvV3d* second);
void MV2RegisterDragStoneHandler();
