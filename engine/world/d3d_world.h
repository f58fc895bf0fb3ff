// Direct3D world pipeline: the set-up calls the world library makes of it when its modules open.
#pragma once

#include <cstdint>

struct TvPipe;

// Fills the stages of the default atomic and sector render pipes; the pipe or null.
TvPipe* TpD3DWorldAtomicSetup(TvPipe* pipe);
TvPipe* TpD3DWorldSectorSetup(TvPipe* pipe);
// Called last by the world-objects attach; above 0 on success.
int32_t TpD3DWorldObjectsSetup();
