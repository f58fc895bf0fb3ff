// The frame timer: elapsed wall-clock time turned into the frame step, in ticks of 1/30 s.
#pragma once

#include <cstdint>

struct MV2FrameTimer {
    uint32_t frameClock;    // ms, now as of the last step
    uint32_t previousClock; // ms, the frame clock before it
    uint32_t lastTime;      // ms, the timer's own last reading
    float ticks;            // smoothed ticks of the last frame, 1.0 at start
    float lastTicks;        // the value the next step compares with
    float seconds;          // ticks x 1/30
    int32_t milliseconds;   // seconds x 1000, truncated
    uint32_t updateCounter; // play, console and script-opening frames so far
};
extern MV2FrameTimer gMV2FrameTimer;

// One step of the timer; `modeChanged` sets both clocks to now first. The frame milliseconds.
int32_t MV2UpdateFrameTimer(int32_t modeChanged);
// Sets the frame clock and the previous frame clock to now.
void MV2ResetFrameClocks();
uint32_t MV2GetFrameMilliseconds();

// The per-frame update, by game mode.
void MV2UpdateGameFrame();
