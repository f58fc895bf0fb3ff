// The live heap of the engine and the framework, for long runs: with MAROVANT_HEAP_LOG=file the
// program hands the engine allocation functions that count the bytes they hold, and appends a
// line "<when> engine <bytes> framework <bytes>" to the file a minute into play ("minute") and
// as it closes ("end").
#pragma once

#include "engine/core/memory.h"

#include <cstddef>

// Allocation functions that keep each block's size in front of it and count the live bytes.
const TvMemoryFunctions* MV2CountingMemoryFunctions();
size_t MV2EngineLiveBytes();
// The counting functions when the environment asks for the heap log, else null (the default
// functions).
const TvMemoryFunctions* MV2HeapLogMemoryFunctions();
// Once an in-game frame: the first frame a minute of clock after the first logs "minute".
void MV2HeapLogFrame();
// Logs a line now when the log is asked for.
void MV2HeapLog(const char* when);
