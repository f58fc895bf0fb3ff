// The game's network messages: one buffer per type, the senders, and the callback that the
// Network component calls for every message it hands on. Only the payload travels: a field's
// payload offset is its offset in the game's message layout less the 20 bytes of the old header.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"

struct MV2Object;
struct MV2NetRemotePlayer;
struct VkNetMessage;

enum MV2NetMessageType : uint8_t {
    kMV2NetSpawn = 0,
    kMV2NetPlayerState = 1,
    kMV2NetExplosion = 2,
    kMV2NetWeaponHit = 3,
    kMV2NetToolHit = 4,
    kMV2NetNameRequest = 5,
    kMV2NetNameAnswer = 6,
    kMV2NetFrag = 7,
    kMV2NetSessionClosed = 8,
    kMV2NetObjectRemoved = 9,
    kMV2NetObjectSpawned = 10,
    kMV2NetCreateRequest = 11,
    kMV2NetTeleport = 12,
    kMV2NetFragLimit = 13,
    kMV2NetGameOver = 14,
    kMV2NetHello = 15,
    kMV2NetPlayerLeft = 16,
    kMV2NetKilled = 17,
    kMV2NetEnergy = 18,
    kMV2NetMessageTypes = 19,
};

// The kind word that marks a game message, and the answer that refuses a ninth player.
inline constexpr uint32_t kMV2NetGameKind = 32;
inline constexpr int32_t kMV2NetRefusePlayer = int32_t(0x80030000u);
// The largest payload of a game message (the teleport).
inline constexpr uint32_t kMV2NetMaxPayload = 44;
// The payload size of each type as its sender makes it (the explosion has no sender).
extern const uint8_t kMV2NetPayloadSize[kMV2NetMessageTypes];

// Craft object types by the craft choice 0-3.
extern const int32_t MV2NetRemoteCraftTypes[4];

int32_t MV2NetMessageCallBack(VkNetMessage* message);

// Stamps each buffer with the local player id, the game kind and its type.
void MV2NetStampBuffers();
// Sends a type that has no payload of its own to one player (0: to all).
void MV2NetSendSimple(uint8_t type, uint32_t to);

void MV2NetFillPlayerState();
void MV2NetSendPlayerState(uint32_t to);
void MV2NetSendWeaponHit();
void MV2NetSendToolHit();
void MV2NetSendKilled(MV2Object* killer);
uint32_t MV2NetSpawnObject(int32_t type, MV2Object* object);
void MV2NetRemoveObject(MV2Object* object);
void MV2NetRequestObject(int32_t type, const float* position);
void MV2NetSendObjectMove(MV2Object* object, const TvV3d* point);
void MV2NetAnnounce();
void MV2NetSendEnergy(MV2NetRemotePlayer* record, MV2Object* hit, float newEnergy);

// The nine orientation bytes of a matrix's right, up and at rows, and back: the rows are made
// orthonormal again; 0 (the matrix untouched) when the bytes give no usable axes.
struct TvMatrix;
void MV2NetPackOrientation(const TvMatrix* matrix, uint8_t* out);
int32_t MV2NetUnpackOrientation(const uint8_t* bytes, TvMatrix* matrix);

// The craft choice of this machine (0-3) and the object type it gives.
int32_t MV2NetLocalCraftChoice();
int32_t MV2NetChosenCraftType();
