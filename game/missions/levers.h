// Levers (types 178, 179), thrown by pulling their grip with the magnet, and the push switch
// (type 180), pressed by touching its button with the player's craft; scripts hook them with a
// notification function (message 12).
#pragma once

#include <cstdint>

#include "engine/core/matrix.h"

struct MV2Object;

using MV2LeverNotify = void (*)(MV2Object* object, uint32_t value);

struct MV2LeverSwitchData {
    MV2LeverNotify notify;
    float restZ;    // push switch: the button frame's z at creation
    uint32_t state; // levers: 0 idle, 1 thrown; push switch: 0 off, nonzero on
    TvMatrix start; // the modelling matrix at creation
    uint32_t active;   // levers: gripped by the magnet's head; push switch: live
    uint32_t pullable; // levers: a pull may throw the lever
    uint32_t held;     // type 178: from a grip until the magnet lets go
    uint32_t until;    // push switch: game ms at which a timed on-state ends
    uint32_t duration; // push switch: on-time in ms, 0 = no limit
    uint32_t rearm;    // push switch: game ms before which presses are ignored
    uint32_t blinkTime;    // game ms of the next lamp flicker step
    uint32_t blinkCounter; // lamp flicker step, 0 = not flickering
};

intptr_t MV2LeverSwitchHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
void MV2RegisterLeverSwitchHandlers();
