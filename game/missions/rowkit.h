// Small helpers that the level scripts of rows 4, 9, 11, 15, 18, 30-34, 36 and 37 share:
// finding and messaging objects by script id, distances, the game clock, the level number and
// the tables of level objects a script binds at its start. Weak references are the script
// kit's (MV2ScriptLive, MV2ScriptKeep).
#pragma once

#include <cstdint>

#include "engine/core/vector.h"
#include "game/missions/levelobjects.h"
#include "game/objects/objects.h"

// The game clock in milliseconds.
uint32_t MV2RowNow();
// The number (top byte) of the loaded level.
uint32_t MV2RowLevelNumber();
// The object with the script id, or null.
MV2Object* MV2RowFind(uint32_t scriptId);
// Sends the message to the object with the script id when it exists; 0 when it does not.
intptr_t MV2RowSend(uint32_t scriptId, int32_t message, intptr_t p1, intptr_t p2);
// Sends a value by pointer (message 12 or 24 style) to an object found by id.
intptr_t MV2RowSendFloat(uint32_t scriptId, int32_t message, intptr_t p1, float value);
// Squared distance between two objects (null: the player's object); -1 when one is missing.
float MV2RowDistanceSquared(MV2Object* a, MV2Object* b);
// Squared distance of the player's object from the object; a large value without either.
float MV2RowPlayerDistanceSquared(MV2Object* object);
// The player's object (the controlled craft).
MV2Object* MV2RowPlayer();
// The object type (low 16 bits of the type word); -1 for null.
int32_t MV2RowType(const MV2Object* object);
// Plays a cut-scene through the mission helpers (0: no actor).
int32_t MV2RowCutScene(uint32_t recordId, uint32_t actorId);
// Music tracks with repeat, then music started.
void MV2RowMusic(int32_t repeat, const int32_t* tracks, int32_t count);

// A table of level objects a script binds at its start: the object of each id and its handle
// (object message 17); every bound object not of type 42 gets the callback (message 12).
struct MV2RowTable {
    const uint32_t* ids;
    int32_t count;
    MV2Object** objects;
    MV2ObjectHandle* handles;
};
void MV2RowBindTable(MV2RowTable& table, MV2ObjectCallback callback);
// The table's live object of the id, else null.
MV2Object* MV2RowTableObject(const MV2RowTable& table, uint32_t id);
// The table index of the id, or -1.
int32_t MV2RowTableIndex(const MV2RowTable& table, uint32_t id);
// The game objects of the current world in clump order: the first after `after` (null: the
// first of all), or null.
MV2Object* MV2RowNextWorldObject(MV2Object* after);
// The clump of the object out of (0) or into (1) the current world; nothing when already so.
void MV2RowClumpInWorld(MV2Object* object, int32_t inWorld);
