// Entry points of multiplayer modules not built yet, each doing the least its callers need.
#include "game/multiplayer/multiplayer.h"

// Placeholder: the network client is not built; it is made empty.
int32_t MV2NetCreateClient() {
    return 1;
}

// Placeholder: there are no icons yet.
void MV2NetLoadIcons() {}

// Placeholder: nothing was made.
void MV2NetShutdownClient() {}

// Placeholder: no network game runs.
void MV2NetLeaveGame() {}

// Placeholder: no network game runs.
void MV2NetUpdate() {}
