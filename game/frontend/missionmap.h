// The mission map: a chart of the level revealed cell by cell as the player travels, with the
// objects, the objective, the target and labels that mission scripts place, and its legend.
#pragma once

#include <cstddef>
#include <cstdint>

#include "shell/resfile.h"

struct MV2Object;
struct TvTexture;

inline constexpr int32_t kMV2MapColumns = 40, kMV2MapRows = 20;
inline constexpr int32_t kMV2MapTiles = 50;
inline constexpr int32_t kMV2MapLabels = 16;
inline constexpr int32_t kMV2MapPanel = 132;
inline constexpr size_t kMV2MapBaseName = 16;

// The map fields of a level's header.
struct MV2LevelMapFields {
    uint8_t flags; // bit 2: the visited-cell chart
    int32_t firstReference, secondReference; // script ids (header words 28 and 27)
    int32_t firstX, firstY, secondX, secondY; // map pixels (words 31, 32 and 29, 30)
    int32_t rotation;                         // 0..3 (word 33)
    char firstBase[kMV2MapBaseName + 1], secondBase[kMV2MapBaseName + 1];
    int32_t levelNumber;
};
// Reads the fields from a level header (words 27-33, base names at bytes 76 and 92, read with
// a bound of 16); 0 when the header is too short for them.
int32_t MV2MapReadLevelFields(const uint8_t* header, size_t size, uint8_t flags,
                              int32_t levelNumber, MV2LevelMapFields* out);

struct MV2MapLabel {
    MV2TextDescriptor text;
    float x, y, z;
    int32_t id; // -1 free
};

struct MV2LegendRow {
    uint32_t textId, key, colour, flags;
    MV2TextDescriptor text;
};
inline constexpr int32_t kMV2LegendRows = 18;

struct MV2MapState {
    MV2LevelMapFields level;
    int32_t transformSet;
    float a0, b0, a1, b1; // rotated reference positions
    float zoom, scrollX, scrollY;
    uint8_t visited[kMV2MapRows][5];
    TvTexture* tiles[2][kMV2MapTiles];
    int32_t tileSet;
    MV2MapLabel labels[kMV2MapLabels];
    MV2LegendRow legend[kMV2LegendRows];
    int32_t available, open, savedView;
    MV2Object* player;
    uint32_t playerHandle;
    float playerX, playerY, playerZ;
    int32_t freeScroll;
    uint32_t blink;
    uint32_t selectedKey, selectedMs;
    int32_t selectedTab;
    float spinCos, spinSin;
};
extern MV2MapState gMV2Map;

void MV2MapSetLevelFields(const MV2LevelMapFields* fields);
void MV2MapInitialiseTransform();
// World (x, z) to map pixels; 0 while the transform is unset.
int32_t MV2MapWorldToMap(float x, float z, float* mapX, float* mapY);
int32_t MV2MapLoadTiles();
void MV2MapFreeTiles();
void MV2MapReset();
void MV2MapClearVisited();
void MV2MapAddLabel(MV2Object* object, int32_t labelId);
void MV2MapRemoveLabel(int32_t labelId);
void MV2MapSetAvailable(int32_t flag);
void MV2MapSelectTileSet(int32_t set);
int32_t MV2MapObjectToGrid(MV2Object* object, float* x, float* y);
void MV2MapSetVisited(MV2Object* object);
// Flags the 3 x 3 cells around a cell that lie inside the grid; nothing for cell (0, 0).
void MV2MapMarkVisitedAround(int32_t column, int32_t row);
int32_t MV2MapCellVisited(int32_t column, int32_t row);
int32_t MV2SetMapMode(int32_t mode);
int32_t MV2MapOpen(MV2Object* player);
void MV2MapClose();
void MV2MapSetScrollMode(int32_t on);
void MV2MapSetFreeScroll(int32_t on);
void MV2RenderMap();
