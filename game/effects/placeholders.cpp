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
