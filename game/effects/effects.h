// Visual effects: the entry points the shell and the object system call.
#pragma once

#include <cstdint>

void MV2RefreshArcJitter();
void MV2ClearScreenCracks();
struct TpWorld;
// Pre-lights the landscape sectors once per level.
void MV2PrelightWorldSectors(TpWorld* world, int32_t value, int32_t mode);
void MV2RecentrePlanktum();

// Object effects used by the object system.
struct MV2Object;
struct TpAtomic;
// An explosion of a kind at a position (f32[3]); flags: 1 shock ring, 2 bubbles, 4 light,
// 8 sound, 16 debris, 64 rising debris.
void MV2CreateExplosion(const float* position, float size, float damage, MV2Object* owner,
                        uint32_t kind, uint8_t flags);
// The render callback of every atomic of a loaded object model.
int32_t MV2ObjectAtomicRender(TpAtomic* atomic);
// Sets the letterbox bar amount to 0.
void MV2ClearLetterbox();

// Start and end of the effect modules; each start returns 1, or 0 when it failed.
int32_t MV2InitialisePlanktum();
int32_t MV2InitialiseStars();
int32_t MV2InitialiseBubbles();
int32_t MV2InitialiseFireBalls();
int32_t MV2InitialiseSmoke();
int32_t MV2InitialiseTracers();
int32_t MV2InitialiseSonicDistortions();
int32_t MV2InitialiseSfx();
int32_t MV2InitialiseExplosions();
int32_t MV2InitialiseSparks();
int32_t MV2InitialiseSunMoonBeams();
int32_t MV2InitialiseSunRays();
int32_t MV2InitialiseScorches();
int32_t MV2InitialiseGravel();
void MV2ShutdownEffects(); // every effect module, in the game's shut-down order

// Ends every live effect of a pool, for the object system's mass destruction.
void MV2ResetGravel();
void MV2ResetBubbles();
void MV2ResetFireballs();
void MV2ResetSmoke();
void MV2ResetTracers();
void MV2ResetScorches();
void MV2ResetExplosions();
void MV2ResetFlak();
void MV2ResetPlasmaBeams();
void MV2ResetBeams();
void MV2ClearElectricArcs();
void MV2StopLavaBlobs();

// Sprites, stars and flares drawn by the world modules.
struct TvTexture;
struct TvV3d;
void MV2DrawSprite(TvTexture* texture, const TvV3d* position, float halfWidth, float halfHeight,
                   float brightness);
void MV2DrawSpriteFixedSize(TvTexture* texture, const TvV3d* position, float size, float brightness);
// Draws the stars with brightness m; the water fade t.
float MV2DrawStars(float brightness);
void MV2DrawLightFlare(const void* flare, const TvV3d* position);
// Level reset and start.
// Sets the blood-cloud slots free; 0 when that failed.
int32_t MV2ResetBloodClouds();
// Stores the letterbox mode word: bit 0 bars shown, bit 1 bars slide instead of jumping.
void MV2SetLetterbox(uint32_t mode);
// Sets the count of live ambient debris objects to 0; 0 when that failed.
int32_t MV2ResetAmbientDebris();
// Clears the name field of the effect-hook list head.
void MV2ClearEffectHookHeadName();

// The per-camera effect render pass, and the queued corona quads drawn in one call.
void MV2RenderEffects();
void MV2FlushCoronas();
// Advances the screen cracks by a number of steps.
void MV2AddScreenCracks(int32_t steps);
struct MV2Object;
// Effects created by craft and creatures (and MV2CreateExplosion above).
void* MV2CreateBubble(const float* position, const float* velocity, float size);
int32_t MV2CreateFlak(const void* objectOrPoint, float size, uint32_t duration, uint32_t flags);
void MV2CreateSmoke(const float* position, const float* velocity, float size, float fadeRate,
                    uint8_t alpha);
struct TvMatrix;
void MV2EmitMTrail(uintptr_t ownerKey, uint32_t ownerHandle, uint32_t part, float lifetime,
                   const TvMatrix* matrix);
// Eight random bit masks made at effect start-up; the light object's random blink reads them.
extern uint32_t MV2RandomPeriodTable[8];
// Effects of creatures and their wrecks.
// 1, also when nothing is added; 0 when no world triangle lies near.
int32_t MV2AddScorch(const float* position, float size, uint32_t flags);
int32_t MV2CreateSparks(const float* position, const float* normal, uint32_t kind);
void MV2AttachPlasmaSparks(MV2Object* object, TpAtomic* atomic);
void MV2CreateFireball(const float* position, const float* velocity, float size, MV2Object* owner,
                       float growth, uint8_t brightness);
// 1 when one of the owner's fire balls touches the sphere, with the offset to it and its distance.
int32_t MV2FireballHitTest(const float* position, float radius, MV2Object* owner, float* offset,
                           float* distance);
