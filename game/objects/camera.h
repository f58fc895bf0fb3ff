// The game camera: its mode (0 behind the craft, 1 cockpit view, and others), and the main
// camera and current world that the game draws and listens through.
#pragma once

#include <cstdint>

struct TvCamera;
struct TpWorld;

// Null until made (the main camera) and while no level is loaded (the world).
extern TvCamera* MV2MainCamera;
extern TpWorld* MV2World;

void MV2SetCameraMode(int32_t mode);
int32_t MV2GetCameraMode();
struct TvMatrix;
// Copies the matrix into the main camera's frame; the next update treats the mode as changed.
void MV2SetCameraMatrix(const TvMatrix* matrix);
void MV2CancelCameraBlend();
