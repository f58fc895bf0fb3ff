// The network client: the game's side of a network game over the Network component. It makes
// the component, lists the transport services, finds, hosts, joins and leaves sessions, and keeps
// the per-session state the messages and the per-frame update share.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/core/vector.h"

class IVkNetwork;
struct TvTexture;

inline constexpr int32_t kMV2NetTextLines = 35;
inline constexpr int32_t kMV2NetTextSize = 256;
inline constexpr int32_t kMV2NetAddressSize = 256;
inline constexpr int32_t kMV2NetMaxPlayers = 8;

struct MV2NetClient {
    IVkNetwork* network; // null when no component exists
    int32_t created;
    int32_t inSession;
    int32_t serviceIndex; // the transport's service code: 1 TCP/IP, 2 IPX
    int32_t ipxAvailable;
    int32_t tcpAvailable;
    char address[kMV2NetAddressSize];
    uint32_t localId;      // this machine's transport id, the sender of every message
    uint32_t gamePlayerId; // the player made with CreatePlayer
    int32_t gamePlayer;
    int32_t spawnData;   // the host's spawn message arrived
    int32_t playerCount; // players the host admitted
    uint32_t nextObjectId;
    uint32_t hostId;
    int32_t gameOver;
    int32_t frags;
    uint8_t sequence;
    int32_t fragLimit;
    int32_t spawnCursor; // the host's next spawn point
    int32_t running;     // a network level runs
    // What the host's spawn message gave a joining machine.
    TvV3d spawnPosition;
    TvV3d spawnDirection;
    TvTexture* icons;
    int32_t textsLoaded;
    char texts[kMV2NetTextLines][kMV2NetTextSize];
};
extern MV2NetClient gMV2Net;
// 1 when this machine hosts, 0 when it joins (set by the front end).
extern int32_t gMV2NetHost;
// Sends the menus back to the network screens when a network game ends.
extern int32_t gMV2NetBackFromGame;

int32_t MV2NetCreateClient();
void MV2NetListServices();
// Fills up to `maxCount` names, `stride` bytes apart; the number of sessions visited.
int32_t MV2NetEnumSessions(char* names, int32_t maxCount, int32_t stride);
int32_t MV2NetDisconnect();
int32_t MV2NetHostSession(const char* description);
int32_t MV2NetJoinSession(int32_t index);
void MV2NetCloseSession();
void MV2NetLeaveGame();
void MV2NetDestroyClient();
void MV2NetShutdown();
int32_t MV2NetLoadIcons();
void MV2NetSetAddress(const char* text);
const char* MV2NetGetAddress();
void MV2NetReset();

// The settings file's text table: lines after the first, up to the table's size, each read as the
// engine's line read of 256 bytes gives it. The number of lines kept.
int32_t MV2NetReadTexts(void* file, char (*lines)[kMV2NetTextSize], int32_t maxLines);
// Formats a text line: each "%s" takes the next of `args` (missing ones are empty), "%%" is "%",
// every other conversion is copied as it stands; the result is cut to `size` - 1 characters.
void MV2NetFormatText(char* out, size_t size, const char* text, const char* const* args,
                      int32_t count);
