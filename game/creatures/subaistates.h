// SubAI states: the behaviour of every command code, and the cruiser.
#pragma once

#include <cstdint>

struct MV2Object;
struct MV2SubAICommand;

// Runs the command on top of the craft's stack; 0 when the city took the craft.
int32_t MV2SubAIRunCommand(MV2Object* craft);
// Picks an evade point around the frame's target when not already evading.
void MV2SubAIPickEvadePoint(MV2Object* craft, MV2SubAICommand* frame);
intptr_t MV2CruiserHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
// Level reset: the cruiser switch goes off.
void MV2ResetCruiser();
