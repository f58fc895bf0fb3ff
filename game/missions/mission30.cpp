// The mission script of row 30.
#include "game/missions/missionscripts.h"

// Placeholder: the script is not built yet; it answers 1 to every message.
int32_t MV2Mission30Script(MV2Object*, int32_t, intptr_t, intptr_t) {
    return 1;
}
