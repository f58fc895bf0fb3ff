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
void MV2ShowLetterbox(int32_t) {}

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

// Placeholders: these effects are not built; nothing is shown.
void MV2CreateExplosion(const float*, float, float, MV2Object*, uint32_t, uint8_t) {}
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
