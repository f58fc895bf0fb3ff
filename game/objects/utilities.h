// Game utilities: clump walkers, matrix helpers and animation time.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"

struct TpAtomic;
struct TpClump;
struct TvMatrix;

// The engine's rotation, then the previous position restored: the matrix turns about itself.
TvMatrix* MV2RotateMatrixInPlace(TvMatrix* matrix, const TvV3d* axis, float degrees,
                                 int32_t combine);
// The first atomic on the clump's root frame, else the first on the root's last child frame.
TpAtomic* MV2FindRootAtomic(TpClump* clump);
TpAtomic* MV2AtomicAddAnimTime(TpAtomic* atomic, void* time);
int32_t MV2AddAnimTime(TpClump* clump, float time);
// Takes the clump out of its world and drops every atomic's geometry; the caller destroys it.
int32_t MV2DestroyClump(TpClump* clump);
