#include "shell/cursor.h"

#include "engine/core/im2d.h"
#include "game/frontend/draw2d.h"
#include "shell/controls.h"
#include "shell/gamestate.h"

#include <cstdlib>

MV2MouseCursor gMV2MouseCursor = {0, 0, 1, 320, 240, 0, 0, -1, 0, {}};

namespace {
constexpr int32_t kPressedLook = 2;

int32_t Clamp(int32_t v, int32_t hi) {
    return v < 0 ? 0 : v > hi ? hi : v;
}
float ScaleOrOne(float s) {
    // A scale of 0 (no display request yet) would divide by zero.
    return s != 0.0f ? s : 1.0f;
}
} // namespace

void MV2ShowMouseCursor() {
    MV2MouseCursor& m = gMV2MouseCursor;
    if (++m.showCount == 1) {
        m.mode = 1;
        m.dx = m.dy = 0;
        m.visible = 1;
    }
}

void MV2HideMouseCursor() {
    MV2MouseCursor& m = gMV2MouseCursor;
    if (m.showCount > 0 && --m.showCount == 0) m.visible = 0;
}

int32_t MV2ResetMouseCursor() {
    gMV2MouseCursor.showCount = 0;
    gMV2MouseCursor.visible = 0;
    return 0;
}

bool MV2IsMouseCursorShown() {
    return gMV2MouseCursor.visible != 0;
}

void MV2MouseMoved(int32_t dx, int32_t dy) {
    MV2MouseCursor& m = gMV2MouseCursor;
    for (MV2MouseButtonState& b : m.buttons) {
        b.movedX += std::abs(dx);
        b.movedY += std::abs(dy);
    }
    if (m.mode == 1) {
        float sx = 1.0f, sy = 1.0f;
        MV2GetScreenScale(&sx, &sy);
        m.x = Clamp(m.x + dx, int32_t(639.0f - 32.0f / ScaleOrOne(sx)));
        m.y = Clamp(m.y + dy, int32_t(479.0f - 32.0f / ScaleOrOne(sy)));
    } else if (m.mode == 0) {
        m.dx += dx;
        m.dy += dy;
    }
}

void MV2SetMouseMode(int32_t mode) {
    MV2MouseCursor& m = gMV2MouseCursor;
    if (mode == 2)
        m.mode = m.mode == 1 ? 0 : 1;
    else
        m.mode = mode;
}

void MV2TakeMouseDelta(int32_t* dx, int32_t* dy) {
    MV2MouseCursor& m = gMV2MouseCursor;
    if (dx) *dx = m.dx;
    if (dy) *dy = m.dy;
    m.dx = m.dy = 0;
}

void MV2MouseButton(int32_t button, int32_t pressed) {
    if (button < 0 || button >= 3) return;
    MV2MouseCursor& m = gMV2MouseCursor;
    MV2MouseButtonState& b = m.buttons[button];
    if (pressed && !b.held) {
        b.held = 1;
        b.movedX = b.movedY = 0;
    } else if (!pressed && b.held) {
        if (b.movedX < 2 && b.movedY < 2) {
            b.clickPending = 1;
            b.clickX = m.x;
            b.clickY = m.y;
        }
        b.held = 0;
    }
}

bool MV2GetMouseClick(int32_t button, int32_t* x, int32_t* y) {
    if (button < 0 || button >= 3) return false;
    MV2MouseButtonState& b = gMV2MouseCursor.buttons[button];
    if (!b.clickPending) return false;
    if (x) *x = b.clickX;
    if (y) *y = b.clickY;
    b.clickPending = 0;
    return true;
}

void MV2GetMousePosition(int32_t* x, int32_t* y) {
    if (x) *x = gMV2MouseCursor.x;
    if (y) *y = gMV2MouseCursor.y;
}

int32_t MV2SetMouseCursor(int32_t sprite) {
    MV2MouseCursor& m = gMV2MouseCursor;
    int32_t previous = m.sprite;
    m.sprite = sprite == -1 ? kMV2DefaultCursorSprite : sprite;
    m.frame = 0;
    return previous;
}

void MV2SetMouseCursorFrame(int32_t offset) {
    gMV2MouseCursor.frame = offset;
}

bool MV2IsHiddenMouseButtonDown() {
    if (gMV2MouseCursor.visible) return false;
    return MV2GetAction(30).active || MV2GetAction(31).active;
}

void MV2DrawMouseCursor() {
    MV2MouseCursor& m = gMV2MouseCursor;
    if (!m.visible) return;
    static constexpr int32_t saved[4] = {4, 6, 5, 12};
    intptr_t values[4] = {};
    for (int32_t i = 0; i < 4; ++i)
        TvRenderStateGet(saved[i], &values[i]);
    TvRenderStateSet(4, 0);
    TvRenderStateSet(6, 0);
    TvRenderStateSet(5, 2);
    TvRenderStateSet(12, 0);
    int32_t sprite = m.sprite + m.frame;
    bool pressed = m.buttons[0].held || m.buttons[1].held || m.buttons[2].held ||
                   MV2GetAction(28).active;
    if (pressed) sprite = m.sprite + kPressedLook;
    float sx = 1.0f, sy = 1.0f;
    MV2GetScreenScale(&sx, &sy);
    MV2SpriteDraw record = {};
    record.x = int32_t(float(m.x) * sx);
    record.y = int32_t(float(m.y) * sy);
    record.sprite = sprite;
    record.colour0 = record.colour1 = 0xFFFFFFFFu;
    record.scaleX = record.scaleY = 1.0f;
    // The sprite drawing treats mode 1 (the map) differently; the cursor is drawn as in play.
    bool map = gMV2GameState.current == 1;
    if (map) gMV2GameState.current = 0;
    MV2Draw2DSprite(&record);
    if (map) gMV2GameState.current = 1;
    for (int32_t i = 0; i < 4; ++i)
        TvRenderStateSet(saved[i], values[i]);
    TvRenderStateSet(1, 0);
}
