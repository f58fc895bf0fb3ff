// Visual effects: the entry points the shell and the object system call.
#pragma once

#include <cstdint>

void MV2RefreshArcJitter();
void MV2ClearScreenCracks();
void MV2ShowLetterbox(int32_t on);

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

struct MV2Object;
// Effects created by craft and creatures.
void MV2CreateExplosion(const float* position, float size, float damage, MV2Object* owner,
                        uint32_t kind, uint8_t flags);
void* MV2CreateBubble(const float* position, const float* velocity, float size);
int32_t MV2CreateFlak(const void* objectOrPoint, float size, uint32_t duration, uint32_t flags);
void MV2CreateSmoke(const float* position, const float* velocity, float size, float fadeRate,
                    uint8_t alpha);
struct TvMatrix;
void MV2EmitMTrail(uintptr_t ownerKey, uint32_t ownerHandle, uint32_t part, float lifetime,
                   const TvMatrix* matrix);
// Eight random bit masks made at effect start-up; the light object's random blink reads them.
extern uint32_t MV2RandomPeriodTable[8];
