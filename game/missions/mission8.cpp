// The mission script of row 8.
#include "game/missions/missionscripts.h"

// Placeholder: the script is not built yet; it answers 1 to every message.
int32_t MV2Mission8Script(MV2Object*, int32_t, intptr_t, intptr_t) {
    return 1;
}
