// The game camera: its mode (0 behind the craft, 1 cockpit view, and others).
#pragma once

#include <cstdint>

void MV2SetCameraMode(int32_t mode);
int32_t MV2GetCameraMode();
