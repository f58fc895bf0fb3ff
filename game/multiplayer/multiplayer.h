// The multiplayer game as the shell drives it.
#pragma once

#include <cstdint>

// Makes the network client; 0 when it cannot be made.
int32_t MV2NetCreateClient();
// Loads the player icons; failures are not reported.
void MV2NetLoadIcons();
void MV2NetShutdownClient();
// Leaves a running network game, if any.
void MV2NetLeaveGame();
void MV2NetUpdate();
