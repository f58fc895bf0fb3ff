#include "shell/render.h"

#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "engine/core/im2d.h"
#include "engine/core/raster.h"
#include "game/frontend/draw2d.h"
#include "game/frontend/font.h"
#include "game/frontend/hud.h"
#include "game/frontend/missionmap.h"
#include "game/player/player.h"
#include "game/frontend/menus.h"
#include "game/frontend/movies.h"
#include "shell/cursor.h"
#include "shell/errors.h"
#include "shell/frametimer.h"
#include "shell/gamemain.h"
#include "shell/gamestate.h"
#include "shell/window.h"

#include <cmath>

MV2RenderState gMV2Render = {0.0f, 0, 1.0f, 0};

namespace {

const TvV2d kGameWindow = {0.55f, 0.55f};

void Show() {
    if (gMV2MainCamera) {
        TvCameraShowRaster(gMV2MainCamera, MV2GetWindow(), 0);
        TvCameraSetViewWindow(gMV2MainCamera, &kGameWindow);
    }
    ++gMV2Render.frames;
}

// The background picture over the whole frame; false when no update could begin.
bool BeginPictureFrame() {
    TvCamera* camera = gMV2MainCamera;
    if (!camera || !MV2BeginWholeScreenUpdate(camera)) return false;
    TvRenderStateSet(16, 1);
    TvRenderStateSet(12, 1);
    TvRenderStateSet(16, 0);
    TvRenderStateSet(12, 0);
    TvRenderStateSet(4, 0);
    MV2DrawBackgroundRaster(gMV2StateMachine.background);
    return true;
}

void EndFrame(bool drawing) {
    if (drawing) TvCameraEndUpdate(gMV2MainCamera);
    Show();
}

void LoadingFrame(int32_t steps) {
    float& p = gMV2Render.progress;
    float old = p;
    p += float(steps) * 0.015625f;
    if (p >= 1.0f)
        p = 1.0f;
    else if (old < 0.0f)
        p = 0.0f;
    bool drawing = BeginPictureFrame();
    if (drawing) {
        TvRenderStateSet(1, 0);
        float sx = 1.0f, sy = 1.0f;
        MV2GetScreenScale(&sx, &sy);
        float x0 = 327.0f * sx, x1 = (327.0f + 214.0f * p) * sx;
        float y0 = 221.0f * sy, y1 = 236.0f * sy;
        TvIm2DVertex v[4] = {};
        const float xs[4] = {x0, x1, x1, x0}, ys[4] = {y0, y0, y1, y1};
        for (int i = 0; i < 4; ++i)
            v[i] = {xs[i], ys[i], 0.05f, 20.0f, 0xFF00FF00u, 0, 0, 0};
        uint16_t indices[6] = {0, 1, 2, 0, 2, 3};
        TvIm2DRenderIndexedPrimitive(kTvPrimitiveTriangleList, v, 4, indices, 6);
    }
    EndFrame(drawing);
}

void WarningOverlay() {
    if (gMV2Messages.showing) MV2DrawMessage();
}

} // namespace

float MV2SceneBrightness(float height, float floor, float surface, float dayLight) {
    // A level whose surface lies on its floor has no depth: full brightness.
    float depth = surface - floor;
    float b = depth != 0.0f ? (height - floor) / depth * dayLight : 1.0f;
    if (!(b >= 0.2f)) b = 0.2f; // NaN too
    if (b > 1.0f) b = 1.0f;
    return b;
}

void MV2ComputeSceneLight(TvCamera*, TvRGBA* colour) {
    float b = gMV2Render.brightness;
    const float fog[3] = {0.07f, 0.31f, 0.91f};
    auto part = [](float v) { return uint8_t(int32_t(std::fmin(std::fmax(v, 0.0f), 1.0f) * 255.0f)); };
    colour->red = part(fog[0] * b) & 0xF8;
    colour->green = part(fog[1] * b) & 0xFC;
    colour->blue = part(fog[2] * b) & 0xF8;
    colour->alpha = 255;
}

void MV2RenderFrame(int32_t steps) {
    switch (gMV2GameState.sequence) {
    case 0: {
        bool drawing = BeginPictureFrame();
        if (drawing) WarningOverlay();
        EndFrame(drawing);
        return;
    }
    case 1:
    case 2:
    case 3:
    case 4: {
        static const char* const movies[4] = {"quendal", "halverno", "trevanex", "padi"};
        MV2PlayMovie(movies[gMV2GameState.sequence - 1]);
        return;
    }
    case 5: LoadingFrame(steps); return;
    case 6: {
        bool drawing = BeginPictureFrame();
        if (drawing) {
            if (!gMV2Messages.showing && gMV2StateMachine.passes % 60 < 30)
                MV2DrawTextIdWrapped(kMV2PromptTextId, 320, 370, -180, 30);
            WarningOverlay();
        }
        EndFrame(drawing);
        return;
    }
    case 7: {
        bool drawing = BeginPictureFrame();
        if (drawing) {
            MV2MenuRender();
            MV2DrawMouseCursor();
            WarningOverlay();
        }
        EndFrame(drawing);
        return;
    }
    case 9: return;
    default:
        gMV2Render.phase = (gMV2Render.phase + int32_t(MV2GetFrameMilliseconds())) % 1000;
        MV2RenderWorld();
        return;
    }
}

void MV2RenderWorld() {
    TvCamera* camera = gMV2MainCamera;
    if (!camera) return;
    TvRGBA clear = {};
    MV2ComputeSceneLight(camera, &clear);
    TvCameraClear(camera, &clear, 3);
    bool drawing = TvCameraBeginUpdate(camera) != nullptr;
    if (drawing) {
        // The HUD in play, the map in mode 1, then the HUD overlay.
        if (gMV2GameState.current == 0) {
            MV2RenderHud(MV2GetPlayerObject());
            if (MV2HudBeginDraw(1)) MV2DrawHudOverlay();
            else MV2HudEndDraw();
        } else if (gMV2GameState.current == 1) {
            MV2RenderMap();
        }
        MV2MenuRender();
        MV2DrawMouseCursor();
        WarningOverlay();
    }
    EndFrame(drawing);
}

void MV2RenderGameFrame() {
    gMV2Render.phase = (gMV2Render.phase + int32_t(MV2GetFrameMilliseconds())) % 1000;
    switch (gMV2GameState.current) {
    case 8:
    case 14: {
        if (!gMV2Messages.showing || !gMV2MainCamera) return;
        TvRGBA black = {0, 0, 0, 0};
        TvCameraClear(gMV2MainCamera, &black, 3);
        bool drawing = TvCameraBeginUpdate(gMV2MainCamera) != nullptr;
        if (drawing) {
            TvRenderStateSet(16, 1);
            TvRenderStateSet(12, 1);
            WarningOverlay();
        }
        EndFrame(drawing);
        return;
    }
    case 11: return; // briefing movies play through the front end
    default: MV2RenderWorld(); return;
    }
}
