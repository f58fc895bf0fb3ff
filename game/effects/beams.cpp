#include "game/effects/beams.h"

#include <cmath>

#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "engine/core/im2d.h"
#include "engine/core/im3d.h"
#include "engine/world/clump.h"
#include "game/effects/effectbase.h"
#include "game/effects/explosions.h"
#include "game/effects/scorches.h"
#include "game/effects/sonic.h"
#include "game/objects/clumpdata.h"
#include "game/objects/objects.h"
#include "game/objects/objectsounds.h"
#include "game/objects/camera.h"
#include "game/objects/utilities.h"
#include "game/player/weapons.h"
#include "shell/gamemain.h"
#include "shell/sounds.h"

namespace {

struct Rgba {
    uint8_t r, g, b, a;
};
// Per kind: the centre line and glows, the inner band, the outer edge.
constexpr Rgba kColours[7][3] = {
    {{255, 192, 255, 255}, {255, 0, 255, 128}, {255, 0, 0, 0}},
    {{255, 255, 192, 255}, {255, 96, 0, 128}, {255, 0, 0, 0}},
    {{255, 160, 64, 255}, {255, 32, 0, 128}, {255, 0, 0, 0}},
    {{160, 255, 64, 255}, {32, 255, 0, 128}, {0, 255, 0, 0}},
    {{64, 160, 255, 255}, {0, 32, 255, 128}, {0, 0, 255, 0}},
    {{255, 255, 255, 255}, {255, 255, 255, 128}, {255, 255, 255, 0}},
    {{128, 16, 0, 255}, {128, 16, 0, 128}, {128, 16, 0, 0}},
};
// Which colour each of a row's five vertices takes.
constexpr int32_t kRowColour[5] = {2, 1, 0, 1, 2};
constexpr float kRowOffset[5] = {-1.0f, -0.4f, 0.0f, 0.4f, 1.0f};

struct State {
    MV2Beam pool[kMV2Beams];
    MV2Beam freeHead;
    MV2Beam activeHead;
    bool linked;
};
State g = {};
// The running id: never reset with the pool.
uint32_t g_nextId = 1;
// The width pulse shared by every pulsing beam.
float g_pulsePhase = 0.0f;

TvIm3DVertex g_ribbon[kMV2BeamRibbonVertices];
uint16_t g_ribbonIndices[kMV2BeamRibbonIndices];
TvIm3DVertex g_glow[kMV2BeamGlowVertices];
uint16_t g_glowIndices[kMV2BeamGlowIndices];
float g_rim[13][2]; // cos, sin of k x 2 pi / 13

void Link() {
    g.freeHead.next = g.freeHead.previous = &g.freeHead;
    g.activeHead.next = g.activeHead.previous = &g.activeHead;
    for (MV2Beam& b : g.pool) {
        b = MV2Beam{};
        MV2EffectLinkAfter(&g.freeHead, &b);
    }
    g.linked = true;
}

MV2Beam* Find(uint32_t id) {
    if (!g.linked || id == 0) return nullptr;
    for (MV2Beam* b = g.activeHead.next; b != &g.activeHead; b = b->next)
        if (b->id == id) return b;
    return nullptr;
}

bool SourceIsObject(uint32_t flags) {
    return !(flags & (kMV2BeamSourceCopy | kMV2BeamSourcePointer));
}
bool TargetIsObject(uint32_t flags) {
    return !(flags & (kMV2BeamTargetCopy | kMV2BeamTargetPointer));
}

bool EndsAlive(const MV2Beam* b) {
    if (SourceIsObject(b->flags) && !MV2ObjectHandleAlive(b->sourceHandle)) return false;
    if (TargetIsObject(b->flags) && !MV2ObjectHandleAlive(b->targetHandle)) return false;
    return true;
}

float Brightness() {
    return float((MV2EffectRandom() & 63) + 192) / 255.0f;
}

MV2Object* LiveOwner(const MV2Beam* b) {
    return b->owner && MV2ObjectHandleAlive(b->ownerHandle) ? b->owner : nullptr;
}

void MakeHitSound(MV2Beam* b) {
    const float at[3] = {b->endPoint.x, b->endPoint.y, b->endPoint.z};
    b->hitSound = MV2CreateObject(kMV2SoundSourceType, at, nullptr);
    b->hitSoundHandle = 0;
    if (!b->hitSound) return;
    MV2ObjectSendMessage(b->hitSound, 17, 0, intptr_t(&b->hitSoundHandle));
    MV2ObjectSendMessage(b->hitSound, 12, MV2EffectSound("BURNING"), 0);
}

bool HitSoundAlive(const MV2Beam* b) {
    return b->hitSound && MV2ObjectHandleAlive(b->hitSoundHandle);
}

void DestroyHitSound(MV2Beam* b) {
    if (HitSoundAlive(b)) MV2ObjectSendMessage(b->hitSound, 4, 0, 0);
    b->hitSound = nullptr;
    b->hitSoundHandle = 0;
}

// The ray from source to target; the hit atomic or null, and whether anything was hit.
bool CastRay(MV2Beam* b, TpAtomic** atomic) {
    TvV3d point;
    *atomic = nullptr;
    if (!MV2TraceLine(MV2World, b->sourcePosition, b->targetPosition, &point, nullptr, nullptr,
                      atomic, LiveOwner(b)))
        return false;
    b->endPoint = point;
    return true;
}

MV2Object* AtomicObject(TpAtomic* atomic) {
    TpClump* clump = atomic ? TpAtomicGetClump(atomic) : nullptr;
    return clump ? MV2GetClumpObject(clump) : nullptr;
}

void BeamSound(MV2Beam* b) {
    const int32_t slot = gMV2ObjectSoundCalls.soundSlot(MV2EffectSound("HUGERAY"));
    const TvV3d mid = TvV3dScale(TvV3dAdd(*b->sourcePosition, *b->targetPosition), 0.5f);
    const TvV3d camera = MV2CameraMatrix(gMV2MainCamera)->pos;
    if (MV2EffectLength(TvV3dSub(mid, camera)) < 50.0f) {
        b->soundPoint = mid;
        if (!b->soundChannel && slot) {
            b->soundChannel = gMV2ObjectSoundCalls.play(slot, 0, 1);
            if (b->soundChannel) {
                gMV2ObjectSoundCalls.lowPass(slot, b->soundChannel, 1);
                gMV2ObjectSoundCalls.attach(slot, b->soundChannel, &b->soundPoint);
            }
        }
        if (b->soundChannel && slot)
            gMV2ObjectSoundCalls.place(slot, b->soundChannel, &b->soundPoint, nullptr, 0, 5000.0f);
    } else if (b->soundChannel) {
        if (slot) gMV2ObjectSoundCalls.stop(slot, b->soundChannel);
        b->soundChannel = 0;
    }
}

// 1 for d < 0, 1 - d^3 below 1, else 0, with d the depth over the far distance.
float DepthFade(const TvV3d& point) {
    const float d = MV2CameraDepth(gMV2EffectCamera, point) * MV2EffectInverseFar();
    if (d < 0.0f) return 1.0f;
    return d < 1.0f ? 1.0f - d * d * d : 0.0f;
}

uint8_t Round(float value) {
    if (!(value > 0.0f)) return 0;
    return value >= 255.0f ? 255 : uint8_t(std::lround(value));
}

void SetColour(TvIm3DVertex& v, const Rgba& c, float alphaScale) {
    v.red = c.r;
    v.green = c.g;
    v.blue = c.b;
    v.alpha = Round(float(c.a) * alphaScale);
}

void DrawGlow(const TvV3d& position, float size, uint32_t kind, float brightness) {
    const TvMatrix* camera = MV2EffectCameraMatrix();
    const TvV3d g0 = TvV3dAdd(position,
                              TvV3dScale(MV2EffectUnit(TvV3dSub(camera->pos, position)), size));
    g_glow[0].objVertex = g0;
    for (int32_t k = 1; k < kMV2BeamGlowVertices; k++) {
        const TvV3d r = TvV3dScale(camera->right, g_rim[k - 1][0] * size);
        const TvV3d u = TvV3dScale(camera->up, g_rim[k - 1][1] * size);
        g_glow[k].objVertex = TvV3dAdd(g0, TvV3dAdd(r, u));
    }
    const Rgba& c = kColours[kind][0];
    SetColour(g_glow[0], c, DepthFade(g0) * brightness);
    for (int32_t k = 1; k < kMV2BeamGlowVertices; k++)
        SetColour(g_glow[k], c, 0.0f);
    if (!TvIm3DTransform(g_glow, kMV2BeamGlowVertices, nullptr, 0)) return;
    TvIm3DRenderIndexedPrimitive(kTvPrimitiveTriangleFan, g_glowIndices, kMV2BeamGlowIndices);
    TvIm3DEnd();
}

void DrawRibbon(const MV2Beam* b, const TvV3d& source, const TvV3d& end, const TvV3d& direction) {
    const TvV3d camera = MV2EffectCameraMatrix()->pos;
    // The side across the beam; this way round the ribbon's triangles face the camera.
    const TvV3d n = MV2EffectUnit(TvV3dCross(TvV3dSub(camera, end), TvV3dSub(camera, source)));
    float w = b->width;
    if (b->flags & kMV2BeamPulse) {
        g_pulsePhase -= MV2EffectSeconds();
        if (g_pulsePhase < 0.0f) g_pulsePhase += 1.0f;
        w = b->width * (1.0f + 0.25f * std::sin(6.28f * g_pulsePhase));
    }
    const TvV3d span = TvV3dSub(end, source);
    const uint32_t kind = b->kind;
    for (int32_t r = 0; r < 9; r++) {
        const TvV3d p = TvV3dAdd(source, TvV3dScale(span, float(r) * 0.125f));
        const float fade = DepthFade(p) * b->brightness;
        for (int32_t i = 0; i < 5; i++) {
            TvIm3DVertex& v = g_ribbon[5 * r + i];
            v.objVertex = TvV3dAdd(p, TvV3dScale(n, kRowOffset[i] * w));
            SetColour(v, kColours[kind][kRowColour[i]], fade);
        }
    }
    g_ribbon[45].objVertex = TvV3dSub(source, TvV3dScale(direction, b->width));
    g_ribbon[46].objVertex = TvV3dAdd(end, TvV3dScale(direction, b->width));
    if (!TvIm3DTransform(g_ribbon, kMV2BeamRibbonVertices, nullptr, 0)) return;
    TvIm3DRenderIndexedPrimitive(kTvPrimitiveTriangleList, g_ribbonIndices, kMV2BeamRibbonIndices);
    TvIm3DEnd();
}

} // namespace

int32_t MV2InitialiseBeams() {
    MV2ResetBeams();
    for (TvIm3DVertex& v : g_ribbon)
        v = TvIm3DVertex{};
    int32_t n = 0;
    for (int32_t i = 0; i < 4; i++) {
        g_ribbonIndices[n++] = 45;
        g_ribbonIndices[n++] = uint16_t(i + 1);
        g_ribbonIndices[n++] = uint16_t(i);
    }
    for (int32_t r = 0; r < 8; r++)
        for (int32_t i = 0; i < 4; i++) {
            const auto a = uint16_t(5 * r + i);
            const uint16_t tri[6] = {a, uint16_t(a + 1), uint16_t(a + 5),
                                     uint16_t(a + 5), uint16_t(a + 1), uint16_t(a + 6)};
            for (uint16_t t : tri)
                g_ribbonIndices[n++] = t;
        }
    for (int32_t i = 0; i < 4; i++) {
        g_ribbonIndices[n++] = 46;
        g_ribbonIndices[n++] = uint16_t(40 + i);
        g_ribbonIndices[n++] = uint16_t(41 + i);
    }
    for (TvIm3DVertex& v : g_glow)
        v = TvIm3DVertex{{0, 0, 0}, 0, 0, 255, 255, 255, 0};
    for (int32_t i = 0; i < 14; i++)
        g_glowIndices[i] = uint16_t(i);
    g_glowIndices[14] = 1;
    // The rim runs this way round so that the fan faces the camera.
    for (int32_t k = 0; k < 13; k++) {
        const float angle = float(k) * 6.2831855f / 13.0f;
        g_rim[k][0] = std::cos(angle);
        g_rim[k][1] = std::sin(angle);
    }
    return 1;
}

void MV2ResetBeams() {
    Link();
}

uint32_t MV2CreateBeam(const void* source, const void* target, float width, uint32_t kind,
                       uint32_t flags) {
    if (!source || !target || !g.linked || g.freeHead.next == &g.freeHead) return 0;
    auto* sourceObject = static_cast<MV2Object*>(const_cast<void*>(source));
    auto* targetObject = static_cast<MV2Object*>(const_cast<void*>(target));
    // An object end needs a frame to follow.
    if (SourceIsObject(flags) && !sourceObject->matrix) return 0;
    if (TargetIsObject(flags) && !targetObject->matrix) return 0;
    MV2Beam* b = g.freeHead.next;
    MV2EffectUnlink(b);
    MV2EffectLinkAfter(&g.activeHead, b);
    MV2Beam* const next = b->next;
    MV2Beam* const previous = b->previous;
    *b = MV2Beam{};
    b->next = next;
    b->previous = previous;
    if (flags & kMV2BeamSourceCopy) {
        b->sourcePoint = MV2V3d(static_cast<const float*>(source));
        b->sourcePosition = &b->sourcePoint;
    } else if (flags & kMV2BeamSourcePointer) {
        b->sourcePosition = static_cast<const TvV3d*>(source);
    } else {
        b->source = b->owner = sourceObject;
        b->sourceHandle = b->ownerHandle = sourceObject->handle;
        b->sourcePosition = &sourceObject->matrix->pos;
    }
    if (flags & kMV2BeamTargetCopy) {
        b->targetPoint = MV2V3d(static_cast<const float*>(target));
        b->targetPosition = &b->targetPoint;
    } else if (flags & kMV2BeamTargetPointer) {
        b->targetPosition = static_cast<const TvV3d*>(target);
    } else {
        b->targetHandle = targetObject->handle;
        b->targetPosition = &targetObject->matrix->pos;
    }
    b->width = width;
    b->kind = kind < 7 ? kind : 0;
    b->flags = flags;
    b->endPoint = *b->targetPosition;
    TpAtomic* atomic = nullptr;
    if ((flags & kMV2BeamRay) && CastRay(b, &atomic) && (flags & kMV2BeamHitSound)) MakeHitSound(b);
    b->brightness = Brightness();
    b->soundChannel = 0;
    b->nextHitEffect = MV2EffectClock();
    if (g_nextId == 0) {
        b->id = 1;
        g_nextId = 2;
    } else {
        b->id = g_nextId++;
    }
    return b->id;
}

int32_t MV2BeamExists(uint32_t id) {
    return Find(id) ? 1 : 0;
}

void MV2RemoveBeam(uint32_t id) {
    if (MV2Beam* b = Find(id)) MV2FreeBeam(b);
}

void MV2SetBeamSource(uint32_t id, MV2Object* object) {
    MV2Beam* b = Find(id);
    if (!b) return;
    b->owner = object;
    if (object) b->ownerHandle = object->handle;
}

void MV2FreeBeam(MV2Beam* b) {
    if (!b) return;
    if ((b->flags & kMV2BeamSound) && b->soundChannel) {
        const int32_t slot = gMV2ObjectSoundCalls.soundSlot(MV2EffectSound("HUGERAY"));
        if (slot) gMV2ObjectSoundCalls.stop(slot, b->soundChannel);
        b->soundChannel = 0;
    }
    if ((b->flags & kMV2BeamRay) && (b->flags & kMV2BeamHitSound)) DestroyHitSound(b);
    MV2EffectUnlink(b);
    MV2EffectLinkAfter(&g.freeHead, b);
}

void MV2UpdateBeams() {
    if (!g.linked) return;
    for (MV2Beam* b = g.activeHead.next; b != &g.activeHead;) {
        MV2Beam* next = b->next;
        if ((b->flags & kMV2BeamOneFrame) || !EndsAlive(b)) {
            MV2FreeBeam(b);
            b = next;
            continue;
        }
        b->brightness = Brightness();
        if (b->flags & kMV2BeamSound) BeamSound(b);
        if (b->owner && !MV2ObjectHandleAlive(b->ownerHandle)) b->owner = nullptr;
        TpAtomic* atomic = nullptr;
        if ((b->flags & kMV2BeamRay) && CastRay(b, &atomic)) {
            MV2Object* struck = AtomicObject(atomic);
            const float at[3] = {b->endPoint.x, b->endPoint.y, b->endPoint.z};
            const uint32_t clock = MV2EffectClock();
            if (int32_t(clock - b->nextHitEffect) > 0) {
                if (atomic)
                    MV2CreateExplosion(at, 3.0f * b->width, 0.0f, b->owner, 2, 14);
                else
                    MV2AddScorch(at, 2.5f * b->width, 0);
                b->nextHitEffect = clock + 200;
            }
            if (struck)
                MV2DamageObject(LiveOwner(b), struck, at, MV2EffectSeconds() * b->width * 500.0f, 0);
            if (b->flags & kMV2BeamHitSound) {
                if (HitSoundAlive(b)) {
                    if (b->hitSound->matrix) {
                        b->hitSound->matrix->pos = b->endPoint;
                        if (b->hitSound->clump && b->hitSound->clump->frame)
                            TvFrameUpdateObjects(b->hitSound->clump->frame);
                    }
                } else {
                    MakeHitSound(b);
                }
            }
        } else {
            b->endPoint = *b->targetPosition;
            if (b->flags & kMV2BeamHitSound) DestroyHitSound(b);
        }
        b = next;
    }
}

void MV2DrawBeams() {
    if (!g.linked || g.activeHead.next == &g.activeHead) return;
    intptr_t fog = 0;
    TvRenderStateGet(kTvRenderStateFogEnable, &fog);
    TvRenderStateSet(kTvRenderStateShadeMode, 2);
    TvRenderStateSet(kTvRenderStateTextureRaster, 0);
    TvRenderStateSet(kTvRenderStateFogEnable, 0);
    TvRenderStateSet(kTvRenderStateVertexAlphaEnable, 1);
    TvRenderStateSet(kTvRenderStateSrcBlend, 5);
    TvRenderStateSet(kTvRenderStateDestBlend, 2);
    TvRenderStateSet(kTvRenderStateZTestEnable, 1);
    for (MV2Beam* b = g.activeHead.next; b != &g.activeHead; b = b->next) {
        if (!EndsAlive(b)) continue;
        const TvV3d source = *b->sourcePosition;
        const TvV3d end = b->endPoint;
        const TvV3d span = TvV3dSub(end, source);
        const TvV3d direction = MV2EffectUnit(span);
        const TvSphere sphere = {TvV3dScale(TvV3dAdd(source, end), 0.5f),
                                 MV2EffectLength(span) * 0.5f + b->width};
        if (gMV2EffectCamera && TvCameraFrustumTestSphere(gMV2EffectCamera, &sphere) == kTvSphereOutside)
            continue;
        DrawRibbon(b, source, end, direction);
        if (b->flags & kMV2BeamSourceGlow) DrawGlow(source, b->width, b->kind, b->brightness);
        if (b->flags & kMV2BeamEndGlow)
            DrawGlow(end, (b->flags & kMV2BeamWideEndGlow) ? 10.0f * b->width : b->width, b->kind,
                     b->brightness);
    }
    TvRenderStateSet(kTvRenderStateFogEnable, fog);
}

MV2Beam* MV2FirstBeam() {
    return g.linked && g.activeHead.next != &g.activeHead ? g.activeHead.next : nullptr;
}

const uint16_t* MV2BeamRibbonIndices() {
    return g_ribbonIndices;
}

const uint16_t* MV2BeamGlowIndices() {
    return g_glowIndices;
}
