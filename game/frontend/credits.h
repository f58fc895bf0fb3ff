// The credits: the credit pages scrolling through the lower half of the view while the upper
// half cross-fades through four pictures, with music; a loop of its own on the game thread.
#pragma once

#include <cstdint>

// 1 when the credits ended by themselves, on the skip request or for a missing texture; 0 when
// the return-to-front-end request ended them (the request stays set).
int32_t MV2PlayCredits();
// One textured quad at the current depth: corners (x, y) in order, a grey vertex colour and the
// corners' (u, v), each moved 1/512 inward.
void MV2CreditsDrawQuad(const float corners[8], uint8_t grey, const float uv[8]);

// A band of a credit page: its texture (0..12), the distances a > b of its lower and upper
// edge below the scroll position and its v range.
struct MV2CreditBand {
    int32_t texture;
    float a, b;
    float vTop, vBottom;
};
inline constexpr int32_t kMV2CreditBands = 97;
extern const MV2CreditBand* const gMV2CreditBands;

// The frame step: measured ticks move it by at most 0.1 a pass, and it never exceeds 4.
float MV2CreditsFrameStep(float previous, float measured);
// Called once per pass after the controls (tests drive the clock and the requests here); may
// be null.
extern void (*gMV2CreditsPassHook)();
// The scroll position and passes of the last run, for tests.
struct MV2CreditsRun {
    float scroll;
    int32_t passes;
    int32_t picture;
    float grey;
};
extern MV2CreditsRun gMV2CreditsRun;
