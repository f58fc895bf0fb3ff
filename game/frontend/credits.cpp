// The credits loop: thirteen credit pictures cut into bands scroll up under a picture that
// cross-fades through four images; it ends by itself, on the skip request or on the return to
// the front end.
#include "game/frontend/credits.h"

#include <cmath>
#include <cstdio>

#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "engine/core/im2d.h"
#include "engine/core/im3d.h"
#include "engine/core/raster.h"
#include "engine/core/texture.h"
#include "platform/winmm/winmm.h"
#include "shell/cdaudio.h"
#include "shell/controls.h"
#include "shell/errors.h"
#include "shell/gamemain.h"
#include "shell/sounds.h"
#include "shell/window.h"

void (*gMV2CreditsPassHook)() = nullptr;
MV2CreditsRun gMV2CreditsRun;

namespace {

constexpr int32_t kBandsPerTexture[13] = {6, 6, 8, 7, 9, 9, 9, 8, 4, 6, 9, 10, 6};
constexpr float kBandV = 0.06640625f; // 17/256: each band is four times as high

// The band table: bands one after another at an even step from the first to the last, each
// texture's bands taking its picture from the top; the last band is a little taller.
struct BandTable {
    MV2CreditBand bands[kMV2CreditBands];
    BandTable() {
        const float first = 0.20659722f, last = 84.72868f;
        const float step = (last - first) / float(kMV2CreditBands - 1);
        int32_t i = 0;
        for (int32_t t = 0; t < 13; t++) {
            for (int32_t j = 0; j < kBandsPerTexture[t]; j++, i++) {
                const float b = first + float(i) * step;
                bands[i] = {t, b + 4.0f * kBandV, b, float(j) * kBandV, float(j + 1) * kBandV};
            }
        }
        MV2CreditBand& end = bands[kMV2CreditBands - 1];
        end.a = 85.02556f;
        end.b = last;
        end.vBottom = end.vTop + (end.a - end.b) / 4.0f;
    }
};
const BandTable g_bands;

TvIm3DVertex g_quad[4];
float g_depth = 5.0f;

void DestroyAll(TvTexture** textures, int32_t count) {
    for (int32_t i = 0; i < count; i++)
        if (textures[i]) TvTextureDestroy(textures[i]);
}

void SetTexture(TvTexture* texture) {
    TvRenderStateSet(kTvRenderStateTextureRaster,
                     reinterpret_cast<intptr_t>(texture ? TvTextureGetRaster(texture) : nullptr));
}

bool Stopped() {
    return gMV2Messages.on[kMV2FatalSlot] || gMV2MainLoop.returnToMenu || gMV2Controls.skipRequest;
}

} // namespace

const MV2CreditBand* const gMV2CreditBands = g_bands.bands;

float MV2CreditsFrameStep(float previous, float measured) {
    float step = measured;
    if (std::fabs(measured - previous) > 0.1f) step = previous + (measured > previous ? 0.1f : -0.1f);
    return step > 4.0f ? 4.0f : step;
}

void MV2CreditsDrawQuad(const float c[8], uint8_t grey, const float uv[8]) {
    constexpr float d = 1.0f / 512;
    const float du[4] = {-d, d, d, -d}, dv[4] = {-d, -d, d, d};
    for (int32_t i = 0; i < 4; i++) {
        TvIm3DVertex& v = g_quad[i];
        v.objVertex = {c[2 * i], c[2 * i + 1], g_depth};
        v.u = uv[2 * i] + du[i];
        v.v = uv[2 * i + 1] + dv[i];
        v.red = v.green = v.blue = grey;
        v.alpha = 255;
    }
    if (!TvIm3DTransform(g_quad, 4, nullptr, kTvIm3DVertexUV)) return;
    uint16_t indices[6] = {2, 1, 0, 2, 0, 3};
    TvIm3DRenderIndexedPrimitive(kTvPrimitiveTriangleList, indices, 6);
    TvIm3DEnd();
}

int32_t MV2PlayCredits() {
    MV2ResetSounds();
    TvCamera* camera = gMV2MainCamera;
    if (!camera) return 1;
    const TvV2d window = {0.55f, 0.55f};
    TvCameraSetViewWindow(camera, &window);
    TvTexture* textures[14] = {};
    for (int32_t i = 0; i < 13; i++) {
        char name[24], mask[24];
        std::snprintf(name, sizeof name, "CRED%02d", i + 1);
        std::snprintf(mask, sizeof mask, "CRED%02dM", i + 1);
        textures[i] = TvTextureRead(name, mask);
        if (!textures[i]) {
            DestroyAll(textures, i);
            return 1;
        }
    }
    textures[13] = TvTextureRead("IMAGES", nullptr);
    if (!textures[13]) {
        DestroyAll(textures, 13);
        return 1;
    }
    if (TvFrame* frame = camera->object.frame) {
        TvMatrix* m = TvFrameGetMatrix(frame);
        *m = {};
        m->right.x = m->up.y = m->at.z = 1.0f;
        m->flags = 0x20003;
        TvFrameUpdateObjects(frame);
    }
    TvRenderStateSet(kTvRenderStateShadeMode, 2);
    TvRenderStateSet(kTvRenderStateVertexAlphaEnable, 1);
    MV2SetMusicGap(0, 0);
    MV2AddMusicTrack(25, 1);
    MV2StartMusic();

    MV2CreditsRun& run = gMV2CreditsRun;
    run = {-3.0f, 0, 0, 0.0f};
    float step = 1.0f;
    int32_t fadingIn = 1;
    uint32_t holdUntil = 0, last = timeGetTime();
    const TvRGBA black = {0, 0, 0, 0};
    bool ended = false;
    while (!ended) {
        if (Stopped()) break;
        if (!MV2PumpMessages()) break; // quit: the window is gone
        MV2ProcessControls(11);
        if (gMV2CreditsPassHook) gMV2CreditsPassHook();
        MV2UpdateMusic();
        const uint32_t now = timeGetTime();
        step = MV2CreditsFrameStep(step, float(now - last) * 0.001f * 30.0f);
        last = now;
        run.passes++;
        TvCameraClear(camera, &black, 3);
        if (TvCameraBeginUpdate(camera)) {
            if (fadingIn) {
                run.grey += 4.0f * step;
                if (run.grey >= 255.0f) {
                    run.grey = 255.0f;
                    if (int32_t(now - holdUntil) > 0) fadingIn = 0;
                }
            } else {
                run.grey -= 4.0f * step;
                if (run.grey <= 0.0f) {
                    run.grey = 0.0f;
                    fadingIn = 1;
                    run.picture = (run.picture + 1) % 4;
                    holdUntil = now + 5000;
                }
            }
            g_depth = 4.99f;
            SetTexture(textures[13]);
            const float v0 = float(run.picture) * 0.25f, v1 = v0 + 0.25f;
            const float picture[8] = {-2.6f, 0.0f, 2.6f, 0.0f, 2.6f, 2.6f, -2.6f, 2.6f};
            const float pictureUv[8] = {0.0f, v1, 1.0f, v1, 1.0f, v0, 0.0f, v0};
            MV2CreditsDrawQuad(picture, uint8_t(run.grey), pictureUv);
            g_depth = 5.0f;
            int32_t current = -1;
            for (int32_t i = 0; i < kMV2CreditBands; i++) {
                const MV2CreditBand& band = gMV2CreditBands[i];
                if (run.scroll - band.a >= 0.0f) continue;
                if (band.texture != current) SetTexture(textures[band.texture]), current = band.texture;
                const float y0 = run.scroll - band.a, y1 = run.scroll - band.b;
                const float quad[8] = {-1.5f, y0, 1.5f, y0, 1.5f, y1, -1.5f, y1};
                const float uv[8] = {1.0f, band.vBottom, 0.0f, band.vBottom, 0.0f, band.vTop, 1.0f, band.vTop};
                MV2CreditsDrawQuad(quad, 255, uv);
            }
            run.scroll += 0.01f * step;
            if (run.scroll > 85.0f) {
                run.scroll = -3.0f;
                ended = true;
            }
            TvCameraEndUpdate(camera);
            TvRasterShowRaster(TvCameraGetRaster(camera), MV2GetWindow(), 0);
        }
    }
    DestroyAll(textures, 14);
    gMV2Controls.skipRequest = 0;
    TvRenderStateSet(kTvRenderStateTextureRaster, 0);
    MV2ResetMusic();
    MV2SetMusicGap(45, 60);
    return gMV2MainLoop.returnToMenu ? 0 : 1;
}
