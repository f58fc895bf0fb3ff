// Collision grid files of models.
#pragma once

struct TpClump;

// Reads a collision file and links its grids to the clump's atomics; the loaded block, or null.
void* MV2ReadCollisionFile(const char* path, TpClump* clump);
