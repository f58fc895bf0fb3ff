// The leap ramp: floats on the surface and throws fast type-1 craft into a ballistic leap; up to
// three craft fly at once under the flight handler.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"
#include "game/objects/objects.h"

// Asked before a launch; 0 refuses it.
using MV2LeapFilter = int32_t (*)(MV2Object* ramp, MV2Object* craft);

struct MV2LeapRamp {
    TvV3d sliderBase;   // modelling position of the tag-3 frame at creation
    TvV3d sliderTravel; // tag-4 frame minus tag-3 frame, modelling positions
    TvV3d* slider;      // the tag-3 frame's modelling position row; null without the part
    MV2LeapFilter filter;
    intptr_t userValue;
    TvV3d launchDirection;    // world tag-4 minus tag-3, normalised
    TvV3d lastPlayerVelocity; // at the player's last collision with the ramp
};

inline constexpr int32_t kMV2LeapFlights = 3;

struct MV2LeapFlight {
    MV2Object* craft; // null = free
    float velocityX;
    float velocityZ;
    MV2ObjectHandler previous; // the craft's override handler before the leap
};

intptr_t MV2LeapRampHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2LeapFlightHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
// The flight table, for tests and the level reset.
const MV2LeapFlight* MV2GetLeapFlights();
// Level reset: every flight slot free.
void MV2ResetLeapRamps();
void MV2RegisterLeapRampHandlers();
