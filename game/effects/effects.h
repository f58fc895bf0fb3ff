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
// Advances the screen cracks by a number of steps.
void MV2AddScreenCracks(int32_t steps);
