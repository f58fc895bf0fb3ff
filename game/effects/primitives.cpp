#include "game/effects/primitives.h"

#include <cstring>

#include "engine/core/camera.h"
#include "engine/core/im2d.h"
#include "engine/core/im3d.h"
#include "engine/core/memory.h"
#include "engine/core/texture.h"
#include "game/effects/effectbase.h"
#include "game/effects/sfx.h"
#include "game/frontend/draw2d.h"
#include "game/objects/camera.h"
#include "game/objects/utilities.h"
#include "shell/gamemain.h"
#include "shell/render.h"

MV2BloodCloud gMV2BloodClouds[kMV2BloodClouds];
MV2Letterbox gMV2Letterbox = {0.0f, 0, 0};

namespace {

// Corner texture coordinates of every quad: (0,0), (0,1), (1,1), (1,0).
constexpr float kCornerU[4] = {0, 0, 1, 1};
constexpr float kCornerV[4] = {0, 1, 1, 0};
// The two triangles of a quad, wound toward the camera: the camera's right vector lands on the
// left of the screen, and the driver culls triangles that wind away from the viewer.
uint16_t kQuadIndices[6] = {0, 1, 2, 0, 2, 3};

TvIm3DVertex g_quad[4];
TvIm3DVertex g_coronas[kMV2MaxCoronas * 4];
uint16_t g_coronaIndices[kMV2MaxCoronas * 6];
int32_t g_coronaCount = 0;

TvFreeList* g_hookList = nullptr;
MV2EffectHook g_hookHead = {&g_hookHead, &g_hookHead, {}, nullptr, nullptr, nullptr};

void SetCornerUVs(TvIm3DVertex* quad) {
    for (int32_t c = 0; c < 4; c++) {
        quad[c].u = kCornerU[c];
        quad[c].v = kCornerV[c];
    }
}

// Corners 0 = P - R - U, 1 = P + R - U, 2 = P + R + U, 3 = P - R + U.
void WriteCorners(TvIm3DVertex* quad, const TvV3d& p, const TvV3d& r, const TvV3d& u) {
    quad[0].objVertex = TvV3dSub(TvV3dSub(p, r), u);
    quad[1].objVertex = TvV3dSub(TvV3dAdd(p, r), u);
    quad[2].objVertex = TvV3dAdd(TvV3dAdd(p, r), u);
    quad[3].objVertex = TvV3dAdd(TvV3dSub(p, r), u);
}

void Colour(TvIm3DVertex* quad, uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha) {
    for (int32_t c = 0; c < 4; c++) {
        quad[c].red = red;
        quad[c].green = green;
        quad[c].blue = blue;
        quad[c].alpha = alpha;
    }
}

// Transforms one point alone; false when the transform fails, else its camera depth.
bool ProbeDepth(const TvV3d& point, uint32_t flags, float* depth) {
    TvIm3DVertex probe = {point, 0, 0, 255, 255, 255, 255};
    if (!TvIm3DTransform(&probe, 1, nullptr, flags)) return false;
    *depth = MV2CameraDepth(gMV2EffectCamera, point);
    TvIm3DEnd();
    return true;
}

void DrawQuad() {
    if (!TvIm3DTransform(g_quad, 4, nullptr, kTvIm3DVertexUV)) return;
    TvIm3DRenderIndexedPrimitive(kTvPrimitiveTriangleList, kQuadIndices, 6);
    TvIm3DEnd();
}

void SetTexture(TvTexture* texture) {
    TvRenderStateSet(kTvRenderStateTextureRaster, intptr_t(MV2EffectRaster(texture)));
}

// The shared quad about a point, facing the effect camera, with its texture set.
void FacingQuad(TvTexture* texture, const TvV3d& p, float halfWidth, float halfHeight) {
    const TvMatrix* m = MV2EffectCameraMatrix();
    SetTexture(texture);
    WriteCorners(g_quad, p, TvV3dScale(m->right, halfWidth), TvV3dScale(m->up, halfHeight));
}

float SceneBrightness() {
    return gMV2Render.brightness;
}

// How a light's corona or flare fades in and out, one step a frame.
void StepIntensity(MV2CoronaLight* light, bool fading) {
    if (fading) {
        light->intensity *= 0.9f;
        if (light->intensity < 0.01f) light->intensity = 0.0f;
    } else if (light->intensity < 1.0f) {
        light->intensity += 0.1f;
    }
}

uint8_t LightLevel(float depth, float intensity, float part) {
    float level = (1.0f - depth * MV2EffectInverseFar()) * 255.0f * intensity;
    if (level > 255.0f) level = 255.0f;
    return MV2WrapByte(level * part);
}

void LinkHook(MV2EffectHook* hook) {
    hook->next = g_hookHead.next;
    hook->previous = &g_hookHead;
    g_hookHead.next->previous = hook;
    g_hookHead.next = hook;
}

void UnlinkHook(MV2EffectHook* hook) {
    hook->previous->next = hook->next;
    hook->next->previous = hook->previous;
}

void FreeAllHooks() {
    for (MV2EffectHook* h = g_hookHead.next; h != &g_hookHead;) {
        MV2EffectHook* next = h->next;
        if (g_hookList) TvFreeListFree(g_hookList, h);
        h = next;
    }
    g_hookHead.next = g_hookHead.previous = &g_hookHead;
}

template <MV2EffectHookFn MV2EffectHook::*Field> void WalkHooks(TvCamera* camera) {
    for (MV2EffectHook* h = g_hookHead.next; h != &g_hookHead;) {
        MV2EffectHook* next = h->next; // the hook may remove itself
        if (h->*Field) (h->*Field)(camera);
        h = next;
    }
}

} // namespace

// ---- Sprites ----

void MV2DrawSprite(TvTexture* texture, const TvV3d* position, float halfWidth, float halfHeight,
                   float brightness) {
    FacingQuad(texture, *position, halfWidth, halfHeight);
    float depth = 0.0f;
    if (!ProbeDepth(g_quad[0].objVertex, 0, &depth)) return;
    const float fade = 255.0f * (1.0f - depth * MV2EffectInverseFar());
    const uint8_t grey = MV2WrapByte(fade * SceneBrightness() * brightness);
    Colour(g_quad, grey, grey, grey, 255);
    DrawQuad();
}

void MV2DrawSpriteFogged(TvTexture* texture, const TvV3d* position, float halfSize) {
    FacingQuad(texture, *position, halfSize, halfSize);
    float depth = 0.0f;
    if (!ProbeDepth(g_quad[0].objVertex, 0, &depth)) return;
    const uint8_t grey = MV2WrapByte(255.0f * (1.0f - depth * MV2EffectInverseFar()));
    Colour(g_quad, grey, grey, grey, 255);
    DrawQuad();
}

void MV2DrawSpriteTranslucent(TvTexture* texture, const TvV3d* position, float halfSize,
                              float alpha) {
    FacingQuad(texture, *position, halfSize, halfSize);
    const uint8_t grey = MV2WrapByte(SceneBrightness() * 255.0f);
    Colour(g_quad, grey, grey, grey, MV2WrapByte(alpha * 255.0f));
    DrawQuad();
}

void MV2DrawSpriteShaded(TvTexture* texture, const TvV3d* position, float halfSize,
                         float brightness) {
    FacingQuad(texture, *position, halfSize, halfSize);
    const uint8_t grey = MV2WrapByte(brightness * 255.0f);
    Colour(g_quad, grey, grey, grey, 255);
    DrawQuad();
}

void MV2DrawSpriteFixedSize(TvTexture* texture, const TvV3d* position, float size,
                            float brightness) {
    const TvMatrix* m = MV2EffectCameraMatrix();
    SetTexture(texture);
    float depth = 0.0f;
    if (!ProbeDepth(*position, kTvIm3DVertexUV, &depth)) return;
    const float half = size * 0.2f * depth;
    WriteCorners(g_quad, *position, TvV3dScale(m->right, half), TvV3dScale(m->up, half));
    const uint8_t grey = MV2WrapByte(brightness * 255.0f);
    Colour(g_quad, grey, grey, grey, 255);
    DrawQuad();
}

void MV2DrawCorona(const TvV3d* position, float halfSize, float red, float green, float blue) {
    const TvMatrix* m = MV2EffectCameraMatrix();
    SetTexture(gMV2CoronaTexture);
    const TvV3d toCamera = MV2EffectUnit(TvV3dSub(m->pos, *position));
    const TvV3d centre = TvV3dAdd(*position, TvV3dScale(toCamera, 0.4f));
    WriteCorners(g_quad, centre, TvV3dScale(m->right, halfSize), TvV3dScale(m->up, halfSize));
    float depth = 0.0f;
    if (!ProbeDepth(g_quad[0].objVertex, 0, &depth)) return;
    const float fade = 255.0f * (1.0f - depth * MV2EffectInverseFar());
    Colour(g_quad, MV2WrapByte(fade * red), MV2WrapByte(fade * green), MV2WrapByte(fade * blue),
           255);
    DrawQuad();
}

// ---- Coronas and flares ----

void MV2QueueCorona(MV2CoronaLight* light, const TvV3d* position) {
    if (!light || !position) return;
    const uint32_t need = kMV2CoronaLightOn | kMV2CoronaShown;
    if ((light->flags & need) != need || g_coronaCount >= kMV2MaxCoronas) return;
    const bool fading = light->flags & kMV2CoronaFading;
    if (fading && light->intensity == 0.0f) return;
    const TvMatrix* m = MV2EffectCameraMatrix();
    const TvV3d toCamera = MV2EffectUnit(TvV3dSub(m->pos, *position));
    const TvV3d p = TvV3dAdd(*position, TvV3dScale(toCamera, light->size));
    float depth = 0.0f;
    if (ProbeDepth(p, 0, &depth)) {
        const float s = light->size * 0.2f * depth;
        TvIm3DVertex* quad = &g_coronas[g_coronaCount * 4];
        WriteCorners(quad, p, TvV3dScale(m->right, s), TvV3dScale(m->up, s));
        Colour(quad, LightLevel(depth, light->intensity, light->red),
               LightLevel(depth, light->intensity, light->green),
               LightLevel(depth, light->intensity, light->blue), 255);
        g_coronaCount++;
    }
    StepIntensity(light, fading);
}

void MV2FlushCoronas() {
    if (g_coronaCount == 0) return;
    SetTexture(gMV2CoronaTexture);
    if (TvIm3DTransform(g_coronas, g_coronaCount * 4, nullptr, kTvIm3DVertexUV)) {
        TvIm3DRenderIndexedPrimitive(kTvPrimitiveTriangleList, g_coronaIndices, g_coronaCount * 6);
        TvIm3DEnd();
    }
    g_coronaCount = 0;
}

int32_t MV2QueuedCoronas() {
    return g_coronaCount;
}

void MV2DrawLightFlare(MV2CoronaLight* light, const TvV3d* position) {
    if (!light || !position) return;
    const uint32_t need = kMV2CoronaLightOn | kMV2CoronaShown;
    if ((light->flags & need) != need) return;
    const TvMatrix* m = MV2EffectCameraMatrix();
    bool occluded = true;
    if (!(light->flags & kMV2CoronaFading))
        occluded = MV2IntersectWorldLine(MV2World, &m->pos, position, nullptr, nullptr) != 0;
    if (occluded && light->intensity == 0.0f) return;
    TvRenderStateSet(kTvRenderStateZTestEnable, 0);
    SetTexture(gMV2CoronaTexture);
    float depth = 0.0f;
    if (ProbeDepth(*position, 0, &depth)) {
        const float s = light->size * 0.2f * depth;
        WriteCorners(g_quad, *position, TvV3dScale(m->right, s), TvV3dScale(m->up, s));
        Colour(g_quad, LightLevel(depth, light->intensity, light->red),
               LightLevel(depth, light->intensity, light->green),
               LightLevel(depth, light->intensity, light->blue), 255);
        DrawQuad();
    }
    StepIntensity(light, occluded);
    TvRenderStateSet(kTvRenderStateZTestEnable, 1);
}

// ---- Blood clouds ----

void MV2CreateBloodCloud(const float* at, float size) {
    const TvV3d centre = {at[0], at[1], at[2]};
    const TvV3d* position = &centre;
    MV2BloodCloud* slot = nullptr;
    for (MV2BloodCloud& c : gMV2BloodClouds)
        if (!c.active) {
            slot = &c;
            break;
        }
    const uint32_t now = MV2EffectFrame();
    if (!slot) {
        for (MV2BloodCloud& c : gMV2BloodClouds)
            if (c.birthFrame < now && (!slot || c.birthFrame < slot->birthFrame)) slot = &c;
        if (!slot) return; // every cloud was born this frame
    }
    slot->birthFrame = now;
    slot->active = 1;
    slot->centre = *position;
    slot->strength = 1.0f;
    for (MV2BloodPuff& puff : slot->puffs) {
        const uint32_t r = MV2EffectRandom();
        const float bx = float(r & 255), by = float((r >> 8) & 255), bz = float((r >> 16) & 255);
        const float k = size / 255.0f;
        puff.position = {position->x + bx * k - size, position->y + by * k - size,
                         position->z + bz * k - size};
        puff.size = bz * size / 255.0f;
        puff.velocity = TvV3dScale(MV2EffectUnit(TvV3dSub(puff.position, *position)), 0.005f);
    }
}

void MV2DrawBloodClouds() {
    for (MV2BloodCloud& c : gMV2BloodClouds) {
        if (!c.active) continue;
        for (MV2BloodPuff& puff : c.puffs) {
            MV2DrawSprite(gMV2BloodTexture, &puff.position, puff.size, puff.size,
                          c.strength);
            puff.position = TvV3dAdd(puff.position, puff.velocity);
            puff.position.y -= 0.001f;
            puff.size *= 1.05f;
        }
        c.strength *= 0.9f;
        if (c.strength < 0.01f) c.active = 0;
    }
}

int32_t MV2ResetBloodClouds() {
    for (MV2BloodCloud& c : gMV2BloodClouds)
        c.active = 0;
    return 1;
}

// ---- Letterbox ----

void MV2SetLetterbox(uint32_t mode) {
    gMV2Letterbox.mode = mode;
}

void MV2SetLetterboxSpare(uint32_t value) {
    gMV2Letterbox.spare = value;
}

void MV2ClearLetterbox() {
    gMV2Letterbox.amount = 0.0f;
}

int32_t MV2IsLetterboxShown() {
    return (gMV2Letterbox.mode & 1) || gMV2Letterbox.amount != 0.0f ? 1 : 0;
}

void MV2UpdateLetterbox() {
    MV2Letterbox& l = gMV2Letterbox;
    const bool wanted = l.mode & 1;
    if (!wanted && l.amount == 0.0f) return;
    if (l.mode & 2) {
        const float step = 2.0f * MV2EffectStep();
        if (wanted && l.amount < 50.0f) {
            l.amount += step;
            if (l.amount > 50.0f) l.amount = 50.0f;
        } else if (!wanted && l.amount > 0.0f) {
            l.amount -= step;
            if (l.amount < 0.0f) l.amount = 0.0f;
        }
    } else {
        l.amount = wanted ? 50.0f : 0.0f;
    }
    if (!gMV2MainCamera) return;
    const float w =
        MV2GetCameraMode() == kMV2CameraCockpit ? 0.55f : 0.55f + 0.25f * l.amount * 0.02f;
    const TvV2d window = {w, w};
    TvCameraSetViewWindow(gMV2MainCamera, &window);
}

void MV2DrawLetterbox() {
    const uint8_t alpha = MV2WrapByte(gMV2Letterbox.amount * 0.02f * 255.0f);
    TvRenderStateSet(kTvRenderStateFogEnable, 0);
    TvRenderStateSet(kTvRenderStateZTestEnable, 0);
    intptr_t saved = 0;
    TvRenderStateGet(kTvRenderStateVertexAlphaEnable, &saved);
    TvRenderStateSet(kTvRenderStateVertexAlphaEnable, 1);
    MV2Set2DColour(0, 0, 0, alpha);
    float sx = 1.0f, sy = 1.0f;
    MV2GetScreenScale(&sx, &sy);
    const int32_t right = int32_t(640.0f * sx);
    MV2Draw2DRect(0, 0, right, int32_t(50.0f * sy), 0);
    MV2Draw2DRect(0, int32_t(430.0f * sy), right, int32_t(480.0f * sy), 0);
    TvRenderStateSet(kTvRenderStateFogEnable, 1);
    TvRenderStateSet(kTvRenderStateZWriteEnable, 1);
    TvRenderStateSet(kTvRenderStateVertexAlphaEnable, saved);
}

// ---- Start-up ----

void MV2InitialiseEffectPrimitives() {
    SetCornerUVs(g_quad);
    for (int32_t i = 0; i < kMV2MaxCoronas; i++) {
        SetCornerUVs(&g_coronas[i * 4]);
        const uint16_t b = uint16_t(i * 4);
        const uint16_t list[6] = {b, uint16_t(b + 1), uint16_t(b + 2),
                                  b, uint16_t(b + 2), uint16_t(b + 3)};
        std::memcpy(&g_coronaIndices[i * 6], list, sizeof list);
    }
    g_coronaCount = 0;
    MV2InitialiseEffectHooks();
}

// ---- Effect hooks ----

void MV2InitialiseEffectHooks() {
    // Entries still listed go back to the list first, so the purge can free their blocks.
    FreeAllHooks();
    if (!g_hookList)
        g_hookList = TvFreeListCreate(sizeof(MV2EffectHook), 16);
    else
        TvFreeListPurge(g_hookList);
}

void MV2ShutdownEffectHooks() {
    FreeAllHooks();
    if (g_hookList) TvFreeListDestroy(g_hookList);
    g_hookList = nullptr;
}

int32_t MV2AddEffectHook(const char* name, MV2EffectHookFn update, MV2EffectHookFn render,
                         MV2EffectHookFn effectPass) {
    if (!name || std::strlen(name) >= size_t(kMV2EffectHookNameSize)) return 0;
    for (MV2EffectHook* h = g_hookHead.next; h != &g_hookHead; h = h->next)
        if (std::strcmp(h->name, name) == 0) return 0;
    auto* hook = g_hookList ? static_cast<MV2EffectHook*>(TvFreeListAlloc(g_hookList)) : nullptr;
    if (!hook) return 0;
    std::memset(hook, 0, sizeof *hook);
    std::strcpy(hook->name, name);
    hook->update = update;
    hook->render = render;
    hook->effectPass = effectPass;
    LinkHook(hook);
    return 1;
}

void MV2RemoveEffectHook(const char* name) {
    if (!name) return;
    for (MV2EffectHook* h = g_hookHead.next; h != &g_hookHead; h = h->next)
        if (std::strcmp(h->name, name) == 0) {
            UnlinkHook(h);
            TvFreeListFree(g_hookList, h);
            return;
        }
}

void MV2UpdateEffectHooks(TvCamera* camera) {
    WalkHooks<&MV2EffectHook::update>(camera);
}

void MV2RenderEffectHooks(TvCamera* camera) {
    WalkHooks<&MV2EffectHook::render>(camera);
}

void MV2DrawEffectHooks(TvCamera* camera) {
    WalkHooks<&MV2EffectHook::effectPass>(camera);
}

void MV2ClearEffectHookHeadName() {
    std::memset(g_hookHead.name, 0, sizeof g_hookHead.name);
}
