#include "shell/frametimer.h"

#include "game/frontend/menus.h"
#include "platform/winmm/winmm.h"
#include "shell/gameinit.h"

#include <cmath>

MV2FrameTimer gMV2FrameTimer = {0, 0, 0, 1.0f, 0.0f, 1.0f / 30.0f, 33, 0};

namespace {
constexpr float kSecondsPerTick = 0.033333335f;
constexpr float kMaxStep = 0.1f; // ticks the value may move per frame
constexpr float kMaxTicks = 4.0f;
} // namespace

void MV2ResetFrameClocks() {
    gMV2FrameTimer.frameClock = gMV2FrameTimer.previousClock = timeGetTime();
}

int32_t MV2UpdateFrameTimer(int32_t modeChanged) {
    MV2FrameTimer& t = gMV2FrameTimer;
    uint32_t now = timeGetTime();
    if (modeChanged) t.frameClock = t.previousClock = now;
    // Time stands still in menus, except in game type 4; the ticks keep their value.
    if (MV2MenuGetCurrentInstance() && gMV2GameType != 4) {
        t.previousClock = t.frameClock;
        t.frameClock = now;
        t.milliseconds = 0;
        return 0;
    }
    uint32_t elapsed = now - t.lastTime;
    t.previousClock = t.frameClock;
    t.frameClock = now;
    t.lastTime = now;

    float measured = float(elapsed) * 0.001f * 30.0f;
    float d = measured - t.lastTicks;
    float value;
    if (std::fabs(d) <= kMaxStep)
        value = measured;
    else
        value = d > 0.0f ? t.ticks + kMaxStep : t.ticks - kMaxStep;
    if (value > kMaxTicks) value = kMaxTicks;
    t.lastTicks = value;
    t.ticks = value;
    t.seconds = value * kSecondsPerTick;
    t.milliseconds = int32_t(t.seconds * 1000.0f);
    return t.milliseconds;
}

uint32_t MV2GetFrameMilliseconds() {
    return uint32_t(gMV2FrameTimer.milliseconds);
}
