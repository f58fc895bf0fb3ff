// The bubble vent (type 293): an invisible vent that, while the player is near, streams
// bubbles on a cycle and buffets, heats and drains the player's craft.
#pragma once

#include <cstdint>

struct MV2Object;

struct MV2BubbleVentData {
    uintptr_t sound;
    uint32_t on;
    int32_t onTime; // ms; -1 before the parameter is read
    int32_t offTime;
    uint32_t nextSwitch; // frame clock, ms
};

// The on and off times a parameter gives: the thousands are seconds on, the last three digits
// tenths of a second off.
void MV2DecodeVentTimes(int32_t parameter, int32_t* onTime, int32_t* offTime);
// Sets a vent's on time, off time and next switch time (scripts that hold a vent on or off);
// 0 when the object is not a vent.
int32_t MV2SetVentCycle(MV2Object* vent, int32_t onTime, int32_t offTime, uint32_t nextSwitch);
intptr_t MV2BubbleVentHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
void MV2RegisterBubbleVentHandler();
