// Effect primitives: camera-facing sprites, the corona batch, light flares, blood clouds, the
// letterbox bars and the named effect hooks.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"

struct TvCamera;
struct TvTexture;

// The part of a corona-carrying light that the corona and flare code reads and keeps.
struct MV2CoronaLight {
    float red, green, blue; // 0..1
    float size;             // world units
    float intensity;        // 0..1, kept between frames
    uint32_t flags;
};
inline constexpr uint32_t kMV2CoronaLightOn = 0x4;
inline constexpr uint32_t kMV2CoronaShown = 0x1000;
inline constexpr uint32_t kMV2CoronaFading = 0x2000;
inline constexpr int32_t kMV2MaxCoronas = 120;

inline constexpr int32_t kMV2BloodClouds = 5;
struct MV2BloodPuff {
    float size;
    TvV3d position;
    TvV3d velocity;
};
struct MV2BloodCloud {
    uint32_t birthFrame;
    float strength;
    uint32_t active;
    TvV3d centre;
    MV2BloodPuff puffs[3];
};
extern MV2BloodCloud gMV2BloodClouds[kMV2BloodClouds];

struct MV2Letterbox {
    float amount;  // 0 hidden .. 50 fully shown
    uint32_t mode; // bit 0 bars wanted, bit 1 slide
    uint32_t spare;
};
extern MV2Letterbox gMV2Letterbox;

using MV2EffectHookFn = void (*)(TvCamera* camera);
inline constexpr int32_t kMV2EffectHookNameSize = 32;
struct MV2EffectHook {
    MV2EffectHook* next;
    MV2EffectHook* previous;
    char name[kMV2EffectHookNameSize];
    MV2EffectHookFn update;
    MV2EffectHookFn render;
    MV2EffectHookFn effectPass;
};

// Sprites about a world position, facing the effect camera.
void MV2DrawSprite(TvTexture* texture, const TvV3d* position, float halfWidth, float halfHeight,
                   float brightness);
void MV2DrawSpriteFogged(TvTexture* texture, const TvV3d* position, float halfSize);
void MV2DrawSpriteTranslucent(TvTexture* texture, const TvV3d* position, float halfSize,
                              float alpha);
void MV2DrawSpriteShaded(TvTexture* texture, const TvV3d* position, float halfSize,
                         float brightness);
void MV2DrawSpriteFixedSize(TvTexture* texture, const TvV3d* position, float size, float brightness);
void MV2DrawCorona(const TvV3d* position, float halfSize, float red, float green, float blue);
void MV2DrawLightFlare(MV2CoronaLight* light, const TvV3d* position);
void MV2QueueCorona(MV2CoronaLight* light, const TvV3d* position);
void MV2FlushCoronas();
int32_t MV2QueuedCoronas();

void MV2CreateBloodCloud(const float* position, float size);
void MV2DrawBloodClouds();
int32_t MV2ResetBloodClouds();

void MV2SetLetterbox(uint32_t mode);
void MV2SetLetterboxSpare(uint32_t value);
void MV2ClearLetterbox();
int32_t MV2IsLetterboxShown();
void MV2UpdateLetterbox();
void MV2DrawLetterbox();

void MV2InitialiseEffectPrimitives();
void MV2InitialiseEffectHooks();
// 0 when the name is listed already, 32 bytes or longer, or no entry can be had.
int32_t MV2AddEffectHook(const char* name, MV2EffectHookFn update, MV2EffectHookFn render,
                         MV2EffectHookFn effectPass);
void MV2RemoveEffectHook(const char* name);
void MV2UpdateEffectHooks(TvCamera* camera);
void MV2RenderEffectHooks(TvCamera* camera);
void MV2DrawEffectHooks(TvCamera* camera);
void MV2ClearEffectHookHeadName();
// Frees the hook entries and their free list (game shut-down).
void MV2ShutdownEffectHooks();
