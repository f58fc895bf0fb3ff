// The multiplayer game: the network client, its messages, the remote players and the HUD.
#pragma once

#include <cstdint>

#include "game/multiplayer/netclient.h"
#include "game/multiplayer/nethud.h"
#include "game/multiplayer/netmessages.h"
#include "game/multiplayer/remoteplayers.h"

// The client as the front-end screens drive it: session names are kept 64 bytes apart.
inline constexpr int32_t kMV2SessionRecordSize = 64;
inline constexpr int32_t kMV2SessionRecords = 8;

// The local player's frag count changes by `delta` (a suicide lowers it).
void MV2NetAddLocalFrags(int32_t delta);
