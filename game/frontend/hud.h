// The HUD: the layout file, its layouts by craft, HUD mode and screen width, the element draw
// loop, gauges, numbers, the clock, the result banner, the score table and depth damage.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/core/im2d.h"
#include "shell/resfile.h"

struct MV2Object;
struct TvV3d;

// The HUD colour (97, 189, 255) as opaque ARGB, and the two warning colours.
inline constexpr uint32_t kMV2HudColour = 0xFF61BDFFu;
inline constexpr uint32_t kMV2HudRed = 0xFFFF0000u;
inline constexpr uint32_t kMV2HudYellow = 0xFFFFFF00u;
uint32_t MV2HudColour();
// The HUD colour with the alpha of a colour word's top byte.
inline uint32_t MV2HudColourAlpha(uint32_t word) {
    return (word & 0xFF000000u) | (kMV2HudColour & 0x00FFFFFFu);
}

inline constexpr int32_t kMV2HudTextRows = 88;
extern MV2TextDescriptor gMV2HudText[kMV2HudTextRows];
extern const uint32_t kMV2HudTextIds[kMV2HudTextRows];
inline constexpr int32_t kMV2HudCraftTypes = 11;
extern const int32_t kMV2HudCraftTable[kMV2HudCraftTypes];

// A layout's head: the 22 words before its elements.
inline constexpr uint32_t kMV2HudLayoutHead = 88;
struct MV2HudLayout {
    uint32_t size, craft, mode, width;
    float scaleX, scaleY;
    uint32_t elementCount;
    uint32_t signSprites[3], edgeSprites[3], signSizes[3];
    uint32_t reticleSprites[2];
    uint32_t signColours[3]; // bytes red, green, blue, alpha in memory order
    uint32_t reticleWord;    // top byte: the reticle alpha
    const uint8_t* elements; // the first element
};

// An element as the draw loop reads it: {size, kind} and the words after them.
struct MV2HudElement {
    uint32_t index; // elements taken so far
    uint32_t size, kind;
    const uint8_t* words; // size - 8 bytes
    uint32_t Word(int32_t i) const;
    int32_t Int(int32_t i) const { return int32_t(Word(i)); }
};

// The loaded layout file: the N bytes after its byte count, and how many of its layouts (from
// the first) are whole and consistent.
struct MV2HudFile {
    uint8_t* data;
    uint32_t size;
    uint32_t layouts;
};
extern MV2HudFile gMV2HudFile;

// How many layouts of `data` (the bytes after the byte count) can be walked safely: the walk
// stops at the first layout with an inconsistent size, element size or gauge.
uint32_t MV2HudCountLayouts(const uint8_t* data, size_t size);
// Reads layout `index` (below the counted layouts) into `out`; 0 when out of range.
int32_t MV2HudGetLayout(uint32_t index, MV2HudLayout* out);
// The first layout for that object type, screen width and HUD mode; 0 when none matches.
int32_t MV2HudFindLayout(int32_t objectType, int32_t width, uint32_t mode, MV2HudLayout* out);
// Steps over the layout's elements: `element` starts zeroed; 0 after the last.
int32_t MV2HudNextElement(const MV2HudLayout* layout, MV2HudElement* element);
// Takes a file image (the bytes after the byte count, from the engine's allocator) as the
// layouts; frees any previous one.
void MV2HudSetLayoutData(uint8_t* data, uint32_t size);

int32_t MV2HudLoadResources();
// The steps of the load: the 88 text rows, and the layout file (0 after its message box).
void MV2HudFillTexts();
int32_t MV2HudReadLayoutFile();
void MV2HudFreeResources();
int32_t MV2CreateHud();
void MV2ResetHudState();
void MV2RenderHud(MV2Object* object);
int32_t MV2HudBeginDraw(int32_t inPlay);
void MV2DrawHudOverlay();
// Restores the render states the begin of the pass saved (the overlay ends with it too).
void MV2HudEndDraw();

void MV2HudSetObjective(MV2Object* object);
void MV2HudGetObjective(MV2Object** object, uint32_t* handle);
uint32_t MV2HudGetMode();
void MV2HudSetMode(uint32_t mode);
void MV2HudShowResultBanner(int32_t success);
void MV2HudHideResultBanner();

// The score table: 10 rows and 2 title rows.
struct MV2HudScoreRow {
    int32_t textId, value, score;
    MV2TextDescriptor text;
};
inline constexpr int32_t kMV2HudScoreRows = 10;
struct MV2HudState {
    uint32_t mode;
    MV2Object* objective;
    uint32_t objectiveHandle;
    uint32_t bannerEnd; // game clock
    int32_t bannerRow;  // 76 or 77
    MV2HudScoreRow rows[kMV2HudScoreRows + 2];
    int32_t rowCount;
    int32_t tableShown;
    uint32_t blinkTimer;
    uint32_t depthTimers[2];
    uint32_t warningPulse;
    int32_t crackLevel;
    // The identified, special and third object-type sets of 448 bits, with their counts.
    uint8_t typeSets[3][56];
    uint16_t typeCounts[3];
    uint32_t scanTime; // 0..2000 ms, the target pointer's timer
    int32_t frameRateShown;
};
extern MV2HudState gMV2Hud;
inline constexpr int32_t kMV2HudTypeSetBits = 448;
int32_t MV2HudTypeInSet(int32_t set, int32_t type);
void MV2HudAddTypeToSet(int32_t set, int32_t type);

void MV2HudAddScoreRow(int32_t textId, int32_t value, int32_t score, int32_t clear);
void MV2HudSortScoreTable(int32_t titleId1, int32_t titleId2);
void MV2HudDrawNumber(int32_t value, int32_t x, int32_t y, uint32_t colour, int32_t align);
void MV2HudDrawGauge(const MV2HudElement* element, float fraction, const uint32_t* overrideColour);
// The text row of a HUD string character ('.', '-', 'T', ':' first, else c - 46); -1 outside the table.
int32_t MV2HudCharacterRow(char c);
float MV2HudDrawGlyph(TvIm2DVertex* quad, int32_t row, float x, float vTop, float vBottom);
void MV2HudDrawClock(int32_t x, int32_t y, int32_t flag);
int32_t MV2CircleTableStep(int32_t entry, int32_t steps);
extern float gMV2CircleTable[72][2];
// The inverse of the main camera's frame, stored by the begin of a HUD pass.
struct TvMatrix;
const TvMatrix* MV2HudViewMatrix();

float MV2GetObjectDepth(MV2Object* object);
void MV2UpdateDepthDamage();
void MV2UpdateScreenCrackLevel(MV2Object* sub);
// The object's energy over its type's initial energy, 0..1 (0 when that is not above 0).
float MV2HudEnergyFraction(const MV2Object* object);
// The object's type number.
int32_t MV2HudObjectType(const MV2Object* object);
// The object's position, or null without a matrix.
const TvV3d* MV2HudObjectPosition(const MV2Object* object);
// The current screen width and height in pixels.
int32_t MV2HudScreenWidth();
int32_t MV2HudScreenHeight();
