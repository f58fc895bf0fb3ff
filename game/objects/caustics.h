// Caustics: the animated light pattern drawn over world sectors and over the models of object
// types that ask for it, by a render callback that draws the default first.
#pragma once

#include <cstdint>

struct TpWorld;
struct TpWorldSector;
struct TpAtomic;

inline constexpr int32_t kMV2CausticFrames = 32;
inline constexpr uint32_t kMV2TypeCaustics = 0x800000; // object-type flags word 7

int32_t MV2InitialiseCaustics();
void MV2ShutdownCaustics();
void MV2SetWorldCaustics(int32_t on);
void MV2SetAtomicCaustics(int32_t on);
// What the setters were last given (0 before any call).
int32_t MV2GetWorldCaustics();
int32_t MV2GetAtomicCaustics();
// The caustic frame shown at the game clock: (clock div 32) mod 32.
int32_t MV2CausticFrame(uint32_t gameClock);
// The caustic render callbacks.
TpWorldSector* MV2RenderSectorCaustics(TpWorldSector* sector);
int32_t MV2RenderAtomicCaustics(TpAtomic* atomic);
