// The remote players of a network game: their records, the per-frame update that moves their
// craft, replays their controls and sends them the local state, the local craft's respawn and
// the end of a game, the message ticker and the spawn points.
#pragma once

#include <cstdint>

#include "engine/core/matrix.h"
#include "engine/core/vector.h"
#include "game/objects/objects.h"

struct MV2NetRemotePlayer {
    uint32_t inUse;
    uint32_t networkId; // -1 after the player left
    MV2ObjectHandle handle;
    MV2Object* craft; // its netData points back at this record
    uint32_t toggle;  // the last value of object message 11
    char name[32];
    int32_t frags;
    uint32_t energy; // 0-255, the name tag's bar
    uint8_t sequence;
    uint8_t flags;    // the last state byte
    uint8_t powerUps; // the last craft and power-up byte
    TvV3d targetPosition;
    TvMatrix targetMatrix;
    uint32_t nameRequestTime; // ms, when the name was last asked for
    uint32_t interval;        // ms between state sends: 1000 until the name answer sets it
    uint32_t named;
    uint32_t nextSend; // ms
};
extern MV2NetRemotePlayer gMV2NetPlayers[8];

// Ticker lines: 2 is the newest.
struct MV2NetTickerLine {
    char text[256];
    uint32_t expiry; // ms
    int32_t width;   // pixels in the small HUD font
};
extern MV2NetTickerLine gMV2NetTicker[3];

MV2NetRemotePlayer* MV2NetFindRemotePlayer(uint32_t id); // in use, by id
MV2NetRemotePlayer* MV2NetFindRecordAny(uint32_t id);    // in use or not, by id
MV2NetRemotePlayer* MV2NetFirstFreeRecord();
MV2NetRemotePlayer* MV2NetFindRecordOfCraft(const MV2Object* craft);
void MV2NetClearRecords();

void MV2NetClearTicker();
// Pushes a text into the ticker for 5000 ms; its width.
int32_t MV2NetTickerPush(const char* text);
int32_t MV2NetShowMessage(int32_t line);

void MV2NetUpdate();
// Turns and moves a record's craft toward its target for a frame step (1 at 30 frames a second).
void MV2NetSmoothCraft(MV2NetRemotePlayer* record, float step);

// Calls `f` for each object of the world's clumps, in world order, until it answers false.
void MV2NetForEachWorldObject(bool (*f)(MV2Object* object, void* data), void* data);

// The host's next spawn point (else the level start; then the direction is not written), or on
// a joining machine the spawn the host sent. 1 when a direction was written.
int32_t MV2NetGetSpawnPoint(TvV3d* position, TvV3d* direction);
void MV2NetGetRandomSpawnPoint(TvV3d* position, TvV3d* direction);
// The spawn points of the loaded level are numbered 0.. in world order; their count.
int32_t MV2NetNumberSpawnPoints();
