// The mouse cursor: drawn by the game as a HUD sprite over a 640 by 480 virtual screen; the
// cursor position, summed movement and clicks per button that menus and the console read.
#pragma once

#include <cstdint>

inline constexpr int32_t kMV2DefaultCursorSprite = 293;

struct MV2MouseButtonState {
    int32_t held;
    int32_t movedX, movedY; // sums of absolute movement since the press
    int32_t clickPending;
    int32_t clickX, clickY;
};

struct MV2MouseCursor {
    int32_t showCount;
    int32_t visible;
    int32_t mode; // 1 cursor mode, 0 relative mode
    int32_t x, y;
    int32_t dx, dy; // summed movement of relative mode
    int32_t sprite; // -1 until set
    int32_t frame;
    MV2MouseButtonState buttons[3];
};
extern MV2MouseCursor gMV2MouseCursor;

void MV2ShowMouseCursor();
void MV2HideMouseCursor();
int32_t MV2ResetMouseCursor();
bool MV2IsMouseCursorShown();
void MV2MouseMoved(int32_t dx, int32_t dy);
void MV2SetMouseMode(int32_t mode);
void MV2TakeMouseDelta(int32_t* dx, int32_t* dy);
void MV2MouseButton(int32_t button, int32_t pressed);
bool MV2GetMouseClick(int32_t button, int32_t* x, int32_t* y);
void MV2GetMousePosition(int32_t* x, int32_t* y);
int32_t MV2SetMouseCursor(int32_t sprite);
void MV2SetMouseCursorFrame(int32_t offset);
bool MV2IsHiddenMouseButtonDown();
void MV2DrawMouseCursor();
