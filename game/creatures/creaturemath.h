// Small vector helpers and the time bases the creature modules share.
#pragma once

#include <cmath>
#include <cstdint>

#include "engine/core/vector.h"
#include "engine/world/random.h"
#include "shell/frametimer.h"

inline float MV2FrameStep() {
    return gMV2FrameTimer.ticks;
}
inline float MV2FrameSeconds() {
    return gMV2FrameTimer.ticks / 30.0f;
}
// Game milliseconds and frame milliseconds both come from the frame timer.
inline uint32_t MV2GameClock() {
    return gMV2FrameTimer.frameClock;
}

inline float MV2Length(const TvV3d& v) {
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}
// The unit vector of v (v itself when it has no length) and its length.
inline float MV2Normalise(TvV3d* v) {
    const float length = MV2Length(*v);
    if (length > 0.0f) *v = TvV3dScale(*v, 1.0f / length);
    return length;
}
inline TvV3d MV2Unit(TvV3d v) {
    MV2Normalise(&v);
    return v;
}
// Random draws of the engine's generator.
inline uint32_t MV2RandomBits(uint32_t mask) {
    return uint32_t(TvRandom()) & mask;
}
