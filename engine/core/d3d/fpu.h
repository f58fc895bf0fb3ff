// The driver's floating-point control while a camera draws, and its matrix multiply.
#pragma once

#include "engine/core/matrix.h"

// Saves the rounding mode and sets rounding toward negative infinity (there is no precision
// control to lower on this machine).
void TvD3DFPUSetPrecision();
// Restores the rounding mode saved by TvD3DFPUSetPrecision.
void TvD3DFPURestore();
// dst = a x b over the twelve floats (rows right, up, at, position). dst may be a, not b.
// Flags and change counter are left to the caller.
void TvD3DMatrixMultiply(TvMatrix* dst, const TvMatrix* a, const TvMatrix* b);
