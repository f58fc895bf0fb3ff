// The lights tool: a switch for the lights of the craft that carries it.
#pragma once

#include <cstdint>

struct MV2Object;
struct MV2Tool;

int32_t MV2LightsToolHandler(MV2Tool* tool, int32_t command, intptr_t p1, intptr_t p2);
// Whether the craft carries a light object, and whether its first light is on.
bool MV2CraftHasLights(MV2Object* craft);
bool MV2CraftLightsOn(MV2Object* craft);
