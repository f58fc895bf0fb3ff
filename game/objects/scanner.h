// The scanner tool: while on, finds the scannable object nearest the centre of the carrier's
// view, shows it, and after two seconds of scanning makes its type (and its scan group) known.
#pragma once

#include <cstdint>

struct MV2Object;
struct MV2Tool;
struct TvV3d;

inline constexpr int32_t kMV2ScannerSound = 106;
inline constexpr float kMV2ScannerRangeSquared = 225.0f;
inline constexpr int32_t kMV2ScanMilliseconds = 2000;

// What the scanner takes from the radar: its contacts (the lockable objects of this frame's
// radar pass), and the target indicator, drawn in the HUD pass, which answers whether it could
// be placed on the screen.
struct MV2ScannerCalls {
    int32_t (*contacts)(MV2Object* const** entries);
    int32_t (*indicator)(const TvV3d* position, int32_t width, int32_t height);
};
extern MV2ScannerCalls gMV2ScannerCalls;

// The radar's side of it (the radar module provides them).
int32_t MV2GetRadarContacts(MV2Object* const** entries);
int32_t MV2PlaceTargetIndicator(const TvV3d* position, int32_t width, int32_t height);

// The tool handler of tool row 1.
int32_t MV2ScannerToolHandler(MV2Tool* tool, int32_t message, intptr_t p1, intptr_t p2);
