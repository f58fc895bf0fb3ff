// Entry points of effect modules not built yet, each doing the least its callers need.
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
