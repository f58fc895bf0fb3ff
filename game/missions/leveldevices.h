// Registration of the level devices of the mission layer: gates, vents, currents, locators,
// props, blocks, spawners, shuttles, switches and the creatures levels place with them; and the
// level parameter word they decode.
#pragma once

#include <cstdint>

struct MV2Object;

void MV2RegisterLevelDeviceHandlers();
// The object's f32 level parameter truncated to an integer (NaN gives 0, huge values
// saturate); the parameter is cleared.
int32_t MV2TakeLevelParameter(MV2Object* object);
