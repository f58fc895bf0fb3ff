// World streaming: reads a whole world (sector tree, leaf arrays, collision trees, material list
// and plug-in data) from a world chunk into one memory block.
#pragma once

struct TpWorld;
struct TvStream;

// Reads the body of a world chunk (11); the caller has found the chunk. Null on failure, with
// nothing of the world left allocated.
TpWorld* TpWorldStreamRead(TvStream* stream);
