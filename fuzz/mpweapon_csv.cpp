// The multiplayer weapon file is a text file of the data folder: any text parses into the six
// rows without reading past it, and the rows keep their count.
#include <cstddef>
#include <cstdint>

#include "game/player/pickups.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MV2ParseMPWeapons(reinterpret_cast<const char*>(data), size);
    for (int32_t r = 0; r < kMV2MPWeaponRows; ++r)
        if (!MV2GetMPWeaponRow(r)) __builtin_trap();
    return 0;
}
