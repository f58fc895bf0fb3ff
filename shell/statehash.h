// A hash of the game's state, for replays: two runs of the same recording must end with the
// same hash.
#pragma once

#include <cstdint>

// FNV-1a over the live objects in list order (type, position rounded to 1/64, energy rounded
// to 1/64), the current mission and the mission state block, and the network score table
// (names and frags).
uint64_t MV2GameStateHash();
// When MAROVANT_STATE_HASH names a file, writes the hash there as 16 hexadecimal digits on the
// first line, "mode M sequence S objects N mission R frags F" on the second for people reading it,
// and "types T:C ..." on the third: for each object type present (in type order) its count of
// live objects (" T:C" after "types", so a reader finds " 296:1" or misses " 452:"). Called as
// the game closes, before anything is shut down.
void MV2WriteStateHashIfAsked();
