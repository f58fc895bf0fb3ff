// Screen cracks: cracks that creep over the cockpit glass from fixed points of the screen edges
// toward the middle while the craft takes hull damage, drawn as translucent 2-D quads.
#pragma once

#include <cstdint>

inline constexpr int32_t kMV2CrackRoots = 8;
inline constexpr int32_t kMV2CrackSegments = 56;

struct MV2CrackRect {
    float left, top, right, bottom;
};

struct MV2CrackSegment {
    const MV2CrackRect* rect; // null: not in use
    float x, y;               // virtual 640 x 480 screen
    float a, b;               // the two half-diagonal components
    int32_t stage;            // roots: 0..7
    MV2CrackSegment* next;
};

struct MV2ScreenCracks {
    MV2CrackSegment segments[kMV2CrackSegments];
    int32_t live;     // cracks below stage 7
    int32_t steps;
    int32_t count;    // segments in use
    uint32_t soundTime; // game clock ms before which no creak plays
};
extern MV2ScreenCracks gMV2ScreenCracks;

void MV2ResetScreenCracks();
void MV2AddScreenCracks(int32_t count);
void MV2DrawScreenCracks();
