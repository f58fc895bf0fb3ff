// Entry points of world-library modules not built yet, each doing the least its callers need.
#include "engine/world/d3d_world.h"
#include "engine/world/light.h"

// Placeholder: the pipe keeps the stages TvPipeCreate gave it.
TvPipe* TpD3DWorldAtomicSetup(TvPipe* pipe) {
    return pipe;
}
// Placeholder: the pipe keeps the stages TvPipeCreate gave it.
TvPipe* TpD3DWorldSectorSetup(TvPipe* pipe) {
    return pipe;
}
// Placeholder: nothing to set up yet; reports success.
int32_t TpD3DWorldObjectsSetup() {
    return 1;
}
// Placeholder: lights nothing until the pipe's work record exists; passes the work on.
void* TpAtomicLightingStage(void* work, intptr_t) {
    return work;
}
// Placeholder: lights nothing until the pipe's work record exists; passes the work on.
void* TpWorldSectorLightingStage(void* work, intptr_t) {
    return work;
}
