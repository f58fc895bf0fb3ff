// Random-number plug-in: an additive lagged generator over 31 words with a lag of 3, seeded once
// by the game and drawn from by every game subsystem.
#pragma once

#include <cstdint>

inline constexpr uint32_t kTvRandomModuleId = 0x10C;
inline constexpr int32_t kTvRandomTableWords = 31;

// Engine-instance data of the module.
struct TvRandomModule {
    uint32_t* table;
    uint32_t* front;
    uint32_t* rear;
    uint32_t* end;
};

// 1 when the module was registered on the engine, else 0.
int32_t TvRandomPluginAttach();
void TvRandomSeed(uint32_t seed);
// 0 .. 2^31 - 1; 0 while the module is not open.
int32_t TvRandom();
