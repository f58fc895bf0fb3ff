// Entry points of effect modules not built yet, each doing the least its callers need.
#include "game/effects/effects.h"
#include "game/effects/shadows.h"

static int32_t g_shadows = 1;

// Placeholder: the shadow option is only remembered.
void MV2SetShadows(int32_t mode) {
    g_shadows = mode;
}

// Placeholder: the remembered shadow option (1 by default).
int32_t MV2GetShadows() {
    return g_shadows;
}

// Placeholder: there are no electric arcs yet.
void MV2RefreshArcJitter() {}

// Placeholder: there are no screen cracks yet.
void MV2ClearScreenCracks() {}

// Placeholder: there is no letterbox yet.
void MV2ClearLetterbox() {}

// Placeholder: the effect module is not built; it starts with nothing to show.
int32_t MV2InitialisePlanktum() {
    return 1;
}

// Placeholder: the effect module is not built; it starts with nothing to show.
int32_t MV2InitialiseStars() {
    return 1;
}

// Placeholder: the effect module is not built; it starts with nothing to show.
int32_t MV2InitialiseBubbles() {
    return 1;
}

// Placeholder: the effect module is not built; it starts with nothing to show.
int32_t MV2InitialiseFireBalls() {
    return 1;
}

// Placeholder: the effect module is not built; it starts with nothing to show.
int32_t MV2InitialiseSmoke() {
    return 1;
}

// Placeholder: the effect module is not built; it starts with nothing to show.
int32_t MV2InitialiseTracers() {
    return 1;
}

// Placeholder: the effect module is not built; it starts with nothing to show.
int32_t MV2InitialiseSonicDistortions() {
    return 1;
}

// Placeholder: the effect module is not built; it starts with nothing to show.
int32_t MV2InitialiseSfx() {
    return 1;
}

// Placeholder: the effect module is not built; it starts with nothing to show.
int32_t MV2InitialiseExplosions() {
    return 1;
}

// Placeholder: the effect module is not built; it starts with nothing to show.
int32_t MV2InitialiseSparks() {
    return 1;
}

// Placeholder: the effect module is not built; it starts with nothing to show.
int32_t MV2InitialiseSunMoonBeams() {
    return 1;
}

// Placeholder: the effect module is not built; it starts with nothing to show.
int32_t MV2InitialiseSunRays() {
    return 1;
}

// Placeholder: the effect module is not built; it starts with nothing to show.
int32_t MV2InitialiseScorches() {
    return 1;
}

// Placeholder: the effect module is not built; it starts with nothing to show.
int32_t MV2InitialiseGravel() {
    return 1;
}

// Placeholder: nothing was started.
void MV2ShutdownEffects() {}
// Placeholders: the effect pools are not built; there is nothing live to end.
void MV2ResetGravel() {}
void MV2ResetBubbles() {}
void MV2ResetFireballs() {}
void MV2ResetSmoke() {}
void MV2ResetTracers() {}
void MV2ResetScorches() {}
void MV2ResetExplosions() {}
void MV2ResetFlak() {}
void MV2ResetPlasmaBeams() {}
void MV2ResetBeams() {}
void MV2ClearElectricArcs() {}
void MV2StopLavaBlobs() {}

// Placeholder: there is no pre-lighting yet; the sectors keep their colours.
void MV2PrelightWorldSectors(TpWorld*, int32_t, int32_t) {}

// Placeholder: there is no plankton field to move.
void MV2RecentrePlanktum() {}

// Placeholder: sprites are not drawn yet.
void MV2DrawSprite(TvTexture*, const TvV3d*, float, float, float) {}

// Placeholder: sprites are not drawn yet.
void MV2DrawSpriteFixedSize(TvTexture*, const TvV3d*, float, float) {}

// Placeholder: there are no stars; the fade answers that nothing shows through the water.
float MV2DrawStars(float) {
    return 1.0f;
}

// Placeholder: flares are not drawn yet.
void MV2DrawLightFlare(const void*, const TvV3d*) {}
// Placeholder: there are no blood clouds yet; the reset succeeds.
int32_t MV2ResetBloodClouds() {
    return 1;
}

// Placeholder: there is no letterbox yet; the mode is dropped.
void MV2SetLetterbox(uint32_t) {}

// Placeholder: there is no ambient debris yet; the reset succeeds.
int32_t MV2ResetAmbientDebris() {
    return 1;
}

// Placeholder: there is no effect-hook list yet.
void MV2ClearEffectHookHeadName() {}

// Placeholder: there are no effects to draw yet.
void MV2RenderEffects() {}

// Placeholder: no coronas are queued yet.
void MV2FlushCoronas() {}

void* MV2CreateBubble(const float*, const float*, float) {
    return nullptr;
}
int32_t MV2CreateFlak(const void*, float, uint32_t, uint32_t) {
    return 0;
}
void MV2CreateSmoke(const float*, const float*, float, float, uint8_t) {}
void MV2EmitMTrail(uintptr_t, uint32_t, uint32_t, float, const TvMatrix*) {}
// Placeholder: the effect start-up does not fill it yet; all zero until it does.
uint32_t MV2RandomPeriodTable[8] = {};
// Placeholders for the creature effects: nothing is drawn or added until the effects exist.
int32_t MV2AddScorch(const float*, float, uint32_t) { return 1; }
int32_t MV2CreateSparks(const float*, const float*, uint32_t) { return 0; }
void MV2AttachPlasmaSparks(MV2Object*, TpAtomic*) {}
void MV2CreateFireball(const float*, const float*, float, MV2Object*, float, uint8_t) {}
int32_t MV2FireballHitTest(const float*, float, MV2Object*, float*, float*) { return 0; }
