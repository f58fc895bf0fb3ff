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

// The client as the front-end screens drive it.
inline constexpr int32_t kMV2SessionRecordSize = 64;
inline constexpr int32_t kMV2SessionRecords = 8;
// The flag that sends the menus back to the network screens when a network game ends.
extern int32_t gMV2NetBackFromGame;
// 1 when this machine hosts, 0 when it joins.
extern int32_t gMV2NetHost;
void MV2NetDestroyClient();
// Which of the two transports (TCP/IP, IPX) the client offers: 1 each when available.
void MV2NetGetTransports(int32_t available[2]);
// The address typed for TCP/IP ("" when none).
const char* MV2NetGetAddress();
void MV2NetSetAddress(const char* address);
// Hosts a session under `name`; 1 or 0.
int32_t MV2NetHostSession(const char* name);
// Fills up to `max` session records of 64 bytes; the number found.
int32_t MV2NetEnumSessions(uint8_t* records, int32_t max);
// Joins the session of a record; 1 or 0.
int32_t MV2NetJoinSession(const uint8_t* record);

// The player's craft in a network game.
struct MV2Object;
struct TvV3d;
// The object type of the craft chosen for this player.
int32_t MV2NetChosenCraftType();
// The spawn point the host sent (else the level start point): 1 with a position.
int32_t MV2NetSpawnPosition(TvV3d* position);
// The spawn direction the host sent: 1 with a direction, 0 before the host's data arrived.
int32_t MV2NetSpawnDirection(TvV3d* direction);
// The local player's frag count changes (a suicide lowers it); a kill by a remote attacker.
void MV2NetAddLocalFrags(int32_t delta);
void MV2NetReportKill(MV2Object* attacker);
// The fire and tool-use events of the local player.
void MV2NetSendFire();
void MV2NetSendToolUse();
