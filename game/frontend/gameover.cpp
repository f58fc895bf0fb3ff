// The game-over sequence, stepped by the frame update on the millisecond clock and drawn after
// the scene.
#include "game/frontend/gameover.h"

#include <cmath>

#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "engine/core/raster.h"
#include "engine/core/texture.h"
#include "platform/winmm/winmm.h"
#include "shell/cdaudio.h"
#include "shell/enginestart.h"
#include "shell/gameinit.h"
#include "shell/gamemain.h"
#include "shell/gamestate.h"
#include "shell/sounds.h"

MV2GameOver gMV2GameOver;

namespace {

constexpr float kPi = 3.14159265f;

float DisplayW() {
    TvRaster* fb = gMV2MainCamera ? TvCameraGetRaster(gMV2MainCamera) : nullptr;
    return float(fb ? fb->width : gMV2DisplayRequest.width);
}
float DisplayH() {
    TvRaster* fb = gMV2MainCamera ? TvCameraGetRaster(gMV2MainCamera) : nullptr;
    return float(fb ? fb->height : gMV2DisplayRequest.height);
}

void SetSprite(float angleDegrees, float scaleX, float scaleY) {
    MV2SpriteDraw& s = gMV2GameOver.sprite;
    s.scaleX = scaleX;
    s.scaleY = scaleY;
    s.cosine = std::cos(angleDegrees * kPi / 180.0f);
    s.sine = std::sin(angleDegrees * kPi / 180.0f);
}

void ResetSprite() {
    MV2SpriteDraw& s = gMV2GameOver.sprite;
    s = {};
    s.x = int32_t(DisplayW() / 2);
    s.y = int32_t(DisplayH() / 2);
    s.sprite = 308;
    s.colour0 = s.colour1 = 0xFFFFFFFFu;
    SetSprite(15.0f, 3.125f, 1.5625f);
}

void Next(int32_t state, uint32_t now) {
    gMV2GameOver.state = state;
    gMV2GameOver.startTime = now;
}

void Sound(const char* name) {
    MV2PlayInterfaceSound(MV2FindSoundByName(name));
}

// The main camera's frame moves along its up vector.
void ShakeCamera(float amount) {
    TvFrame* frame = gMV2MainCamera ? gMV2MainCamera->object.frame : nullptr;
    if (!frame) return;
    const TvV3d up = TvFrameGetMatrix(frame)->up;
    const TvV3d move = {up.x * amount, up.y * amount, up.z * amount};
    TvFrameTranslate(frame, &move, 2);
    TvFrameUpdateObjects(frame);
}

void ReturnToFrontEnd() {
    MV2ClearLevelState();
    gMV2MainLoop.frontEnd = 1;
    gMV2StateMachine.passes = 0;
    gMV2GameStateCompanion.requestedSequence = 7;
    MV2ShowTitleScreen();
    MV2RequestModeAndSequence(8, 7);
}

void DrawBar(float yOuter0, float yInner, bool top, float v0, float v1) {
    TvIm2DVertex* v = gMV2GameOver.bar;
    const uint32_t fog = MV2FogWord(0.0f);
    for (int32_t i = 0; i < 4; i++) v[i].z = 0.0f, v[i].recipZ = 50.0f, v[i].specular = fog;
    if (top) {
        v[0].y = v[2].y = yOuter0, v[1].y = v[3].y = yInner;
        v[1].v = v[3].v = v1, v[0].v = v[2].v = v0;
    } else {
        v[0].y = v[2].y = yInner, v[1].y = v[3].y = yOuter0;
        v[0].v = v[2].v = v0, v[1].v = v[3].v = v1;
    }
    TvIm2DRenderPrimitive(kTvPrimitiveTriangleStrip, v, 4);
}

// The bar vertices across the display's width.
void SetBars() {
    MV2GameOver& g = gMV2GameOver;
    const float w = DisplayW();
    const float xs[4] = {0.0f, 0.0f, w, w};
    const float us[4] = {1.0f / 1024, 1.0f / 1024, 1.0f, 1.0f};
    for (int32_t i = 0; i < 4; i++) {
        g.bar[i] = {};
        g.bar[i].x = xs[i];
        g.bar[i].u = us[i];
        g.bar[i].recipZ = 50.0f;
        g.bar[i].colour = 0xFFFFFFFFu;
    }
}

} // namespace

void MV2InitialiseGameOver() {
    MV2GameOver& g = gMV2GameOver;
    // A missing picture is not reported: the reader under the shell's (which boxes) is asked.
    TvTextureReadCallBack read = gMV2MainLoop.savedTextureRead ? gMV2MainLoop.savedTextureRead
                                                               : TvTextureGetReadCallBack();
    g.texture = read ? read("gameover", nullptr) : nullptr;
    SetBars();
    ResetSprite();
    g.topEdge = 0.0f;
    g.bottomEdge = DisplayH();
    g.zoomSprite = 0;
    g.state = kMV2GameOverIdle;
}

void MV2ResetGameOver() {
    MV2GameOver& g = gMV2GameOver;
    g.state = kMV2GameOverIdle;
    g.zoomSprite = 0;
    ResetSprite();
    SetBars();
    g.topEdge = 0.0f;
    g.bottomEdge = DisplayH();
}

void MV2DestroyGameOver() {
    if (gMV2GameOver.texture) TvTextureDestroy(gMV2GameOver.texture);
    gMV2GameOver.texture = nullptr;
}

void MV2StartGameOverFade() {
    MV2GameOver& g = gMV2GameOver;
    if (g.state != kMV2GameOverZoom && g.state != kMV2GameOverZoomHeld)
        Next(kMV2GameOverZoom, timeGetTime());
    g.zoomSprite = 1;
    if (gMV2GameState.current == 1) gMV2GameState.requested = 0;
}

void MV2StartGameOver(int32_t delayMs) {
    MV2GameOver& g = gMV2GameOver;
    g.delay = uint32_t(delayMs > 0 ? delayMs : 0);
    if (g.state < kMV2GameOverWaiting)
        Next(delayMs > 0 ? kMV2GameOverWaiting : kMV2GameOverTopClosing, timeGetTime());
    if (gMV2GameState.current == 1) gMV2GameState.requested = 0;
    MV2ResetSounds();
    MV2AddMusicTrack(23, 0);
    MV2StartMusic();
}

int32_t MV2GameOverActive() {
    return gMV2GameOver.state != kMV2GameOverIdle ? 1 : 0;
}

int32_t MV2GetGameOverState() {
    return gMV2GameOver.state;
}

void MV2UpdateGameOver() {
    MV2GameOver& g = gMV2GameOver;
    const uint32_t now = timeGetTime();
    const uint32_t e = now - g.startTime;
    const float H = DisplayH(), half = H / 2;
    auto bounce = [&](float* p, float* a) {
        *p = 1.0f - float(e) * 0.002f;
        *a = (1.0f - *p) * 1440.0f * kPi / 180.0f;
    };
    float p = 0, a = 0;
    switch (g.state) {
    case kMV2GameOverZoom:
        if (e <= 100) {
            const float f = float(e) * 0.01f;
            SetSprite((f + 1.0f) * 15.0f, (2.0f - f) * 1.5625f, (2.0f - f) * 0.78125f);
            g.sprite.x = int32_t(DisplayW() / 2), g.sprite.y = int32_t(half);
        } else {
            SetSprite(30.0f, 1.5625f, 0.78125f);
            Sound("WEAPONHITBIOLOGICAL");
            Next(kMV2GameOverZoomHeld, now);
        }
        break;
    case kMV2GameOverWaiting:
        if (e > g.delay) Next(kMV2GameOverTopClosing, now);
        break;
    case kMV2GameOverTopClosing:
        if (e <= 150) {
            g.topEdge = float(e) * half / 150.0f;
        } else {
            g.topEdge = half;
            Sound("HITMETAL2");
            Next(kMV2GameOverTopBounce, now);
        }
        break;
    case kMV2GameOverTopBounce:
        if (e <= 500) {
            bounce(&p, &a);
            const float offset = 20.0f * p * std::sin(a);
            g.topEdge = half + offset;
            g.sprite.y = int32_t(half + offset);
            ShakeCamera(0.1f * p * std::sin(a));
        } else {
            g.sprite.y = int32_t(half);
            g.topEdge = half;
            Next(kMV2GameOverBottomClosing, now);
        }
        break;
    case kMV2GameOverBottomClosing:
        if (e <= 150) {
            g.bottomEdge = H - float(e) * half / 150.0f;
        } else {
            g.bottomEdge = half;
            Sound("HITMETAL2");
            g.zoomSprite = 0;
            Next(kMV2GameOverBothBounce, now);
        }
        break;
    case kMV2GameOverBothBounce:
        if (e <= 500) {
            bounce(&p, &a);
            g.topEdge = g.bottomEdge = half - 20.0f * p * std::sin(a);
        } else {
            g.topEdge = g.bottomEdge = half;
            Next(kMV2GameOverClosed, now);
        }
        break;
    case kMV2GameOverClosed:
        if (e <= 2000) {
            if (e > 250 && gMV2GameState.current != 7) ReturnToFrontEnd();
        } else {
            Next(kMV2GameOverOpening, now);
        }
        break;
    case kMV2GameOverOpening:
        if (e <= 500) {
            g.topEdge = half - float(e) * half * 0.002f;
            g.bottomEdge = half + float(e) * half * 0.002f;
        } else {
            Next(kMV2GameOverIdle, now);
            g.topEdge = 0.0f;
            g.bottomEdge = H;
        }
        break;
    default: break;
    }
}

void MV2RenderGameOver() {
    MV2GameOver& g = gMV2GameOver;
    if (g.state == kMV2GameOverZoom || g.state == kMV2GameOverZoomHeld) {
        MV2Draw2DSpriteRotated(&g.sprite);
        return;
    }
    if (g.state < kMV2GameOverTopClosing) return;
    if (g.state <= kMV2GameOverBottomClosing && g.zoomSprite) MV2Draw2DSpriteRotated(&g.sprite);
    TvRenderStateSet(kTvRenderStateTextureRaster,
                     reinterpret_cast<intptr_t>(g.texture ? TvTextureGetRaster(g.texture) : nullptr));
    const float H = DisplayH(), span = H / 2 + 20.0f;
    DrawBar(1.0f / 1024, g.topEdge, true, 0.5f - g.topEdge * 0.5f / span, 0.5f);
    DrawBar(H, g.bottomEdge, false, 0.5f, (H - g.bottomEdge) * 0.5f / span + 0.5f);
}
