// Entry points of multiplayer modules not built yet, each doing the least its callers need.
#include "game/multiplayer/multiplayer.h"

#include <cstdio>

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

int32_t gMV2NetBackFromGame = 0;
int32_t gMV2NetHost = 0;
static char g_address[64] = "";

// Placeholder: nothing was made.
void MV2NetDestroyClient() {}

// Placeholder: both transports are offered, so the screens can be walked.
void MV2NetGetTransports(int32_t available[2]) {
    available[0] = available[1] = 1;
}

// Placeholder: the address is only remembered.
const char* MV2NetGetAddress() {
    return g_address;
}

// Placeholder: the address is only remembered, cut to its buffer.
void MV2NetSetAddress(const char* address) {
    std::snprintf(g_address, sizeof g_address, "%s", address ? address : "");
}

// Placeholder: there is no network game to host.
int32_t MV2NetHostSession(const char*) {
    return 0;
}

// Placeholder: no session is found.
int32_t MV2NetEnumSessions(uint8_t*, int32_t) {
    return 0;
}

// Placeholder: there is no session to join.
int32_t MV2NetJoinSession(const uint8_t*) {
    return 0;
}

// Placeholder: no craft table yet; the first campaign craft.
int32_t MV2NetChosenCraftType() {
    return 0;
}

// Placeholder: no host data; the level start point stands.
int32_t MV2NetSpawnPosition(TvV3d*) {
    return 0;
}

// Placeholder: no host data; the craft keeps its direction.
int32_t MV2NetSpawnDirection(TvV3d*) {
    return 0;
}

// Placeholders: no network game yet; frags, kills and events go nowhere.
void MV2NetAddLocalFrags(int32_t) {}
void MV2NetReportKill(MV2Object*) {}
void MV2NetSendFire() {}
void MV2NetSendToolUse() {}
