// The level creatures of the mummy, jelly, scarab and pond levels and of the wider world (floats,
// arc crawlers, snapping shells, flies and maggots): their handlers registered with the creature
// types, and their per-level state cleared at the level reset.
#pragma once

void MV2RegisterLevelCreatureHandlers();
void MV2ResetLevelCreatures();
