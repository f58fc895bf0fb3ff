// Potentially visible sets: for small cells of each world sector, the set of sectors that can be
// seen from the cell, read with the world from its extension chunks. While a world is hooked, a
// sector outside the set of the view position's cell is not drawn.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"
#include "engine/world/world.h"

inline constexpr uint32_t kTpPVSPluginId = 0x106;
// Bytes of the stored world header: five u32 words.
inline constexpr uint32_t kTpPVSHeaderSize = 20;

// Per-world data.
struct TpPVSWorldData {
    uint32_t numSectors;
    uint32_t bytesPerCellSet;
    uint32_t bytesPerSector;
    uint32_t cellDepth; // collision-tree levels walked to find a cell
    uint32_t numCells;  // also the heap index of the first cell node
    uint8_t* block;     // every sector's data; null = no visibility data
    const uint8_t* set; // current cell's set; null = none
    TpWorldSectorRenderCallBack savedRenderCallBack;
    int32_t hooked;
    TpWorldSector* viewSector;
    uint32_t trianglesConsidered;
    uint32_t trianglesDrawn;
    uint32_t cursor; // write offset into the block while reading
};

// Per-sector data: the sector's block (u32 bit number, then one set per cell). Until the world's
// header is read it is a buffer of its own, `length` bytes long.
struct TpPVSSectorData {
    uint8_t* data;
    uint32_t length;
    int32_t owned;
};

// Registers the world and sector extensions with their stream callbacks; 1 or 0.
int32_t TpPVSPluginAttach();
int32_t TpPVSWorldHasData(const TpWorld* world);
// Installs the visibility filter as the world's sector render callback (once).
TpWorld* TpPVSHook(TpWorld* world);
// Selects the set of the cell holding `position`.
TpWorld* TpPVSSetViewPosition(TpWorld* world, const TvV3d* position);
// The world's visibility data; null before the plug-in is attached.
TpPVSWorldData* TpPVSGetWorldData(const TpWorld* world);
