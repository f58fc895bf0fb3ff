// Game objects: the record, handles and weak references, creation, the send order and the
// default message handling.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/core/vector.h"

struct TpAtomic;
struct TpClump;
struct TpGeometry;
struct TvMatrix;
struct MV2Body;
struct MV2ObjectType;
struct MV2LevelRecordItem;
struct MV2Object;

using MV2ObjectHandler = intptr_t (*)(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
using MV2ObjectHandle = uint32_t;

// Handles at or above this are never alive.
inline constexpr MV2ObjectHandle kMV2MaxObjectHandle = 4000000;

// Object flags.
inline constexpr uint32_t kMV2ObjectActive = 0x001;
inline constexpr uint32_t kMV2ObjectAnimate = 0x400;
inline constexpr uint32_t kMV2ObjectMissionOwned = 0x800;
// Type word bits.
inline constexpr uint32_t kMV2ObjectTypeMask = 0xFFFF;
inline constexpr uint32_t kMV2ObjectCollidesWorld = 1u << 20;

// The active-list links point at each other's link fields.
struct MV2ActiveLink {
    MV2ActiveLink* next;
    MV2ActiveLink* prev;
};

struct MV2Object {
    MV2ObjectHandler overrideHandler; // the brain slot
    MV2ObjectHandler typeHandler;
    int32_t missionRow;
    TpClump* clump;
    MV2ObjectHandle handle;
    float energy;
    uint32_t lastUpdateFrame;
    MV2ActiveLink active;
    uint32_t flags;
    MV2Body* body;
    void* privateData;
    MV2ObjectType* type;
    void* ownedMemory; // freed with the engine's free hook at destruction
    uint8_t byte0;     // 255 at creation
    uint8_t byte1;
    uint16_t typeHigh; // the high half of type word 30
    int32_t scriptId;
    uint32_t typeWord68;
    TvV3d previousPosition;
    float radius;
    TvMatrix* matrix; // the modelling matrix of the clump's frame
    int32_t nextWorldCheck;
    int32_t nextObjectCheck;
    void* soundSlot;
    uint32_t typeWord;
    int32_t aiCategory;
    intptr_t words[4]; // for type handlers and brains
    void* cutSceneActor; // the cut-scene actor record while the object plays in one
    void* netData;       // a remote player's craft: its record in the network game, else null
};

struct MV2ObjectRef {
    MV2Object* object;
    MV2ObjectHandle handle;
};

// What a creation copies or is given; fields not used are null.
struct MV2CreationRecord {
    const TvMatrix* matrix;
    TpAtomic* atomic;
    TpClump* clump;
    MV2Object* owner;
    const float* aim;
    const MV2LevelRecordItem* item;
};

// A puppet part struck through the collision tree (message 63).
struct MV2PuppetPartHit {
    int32_t part;
    float speed;
    MV2Object* striker;
};

int32_t MV2InitialiseObjects();
void MV2SetObjectTypeHandler(int32_t type, MV2ObjectHandler handler);
MV2ObjectHandler MV2GetObjectTypeHandler(int32_t type);

MV2Object* MV2CreateObject(int32_t type, const float* position, const MV2CreationRecord* record);
// The record of the creation running messages 98 and 3; null otherwise.
const MV2CreationRecord* MV2GetCreationRecord();
intptr_t MV2ObjectSendMessage(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2ObjectDefaultHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);

int32_t MV2ObjectHandleAlive(MV2ObjectHandle handle);
int32_t MV2SetObjectRef(MV2ObjectRef* ref, MV2Object* object);
MV2Object* MV2GetObjectRef(MV2ObjectRef* ref);
void MV2ClearObjectRef(MV2ObjectRef* ref);

MV2Object* MV2FindObjectByScriptID(int32_t scriptId);
// The nearest object hit by the segment from `origin` along the unit `direction`.
MV2Object* MV2FindObjectOnRay(const TvV3d* origin, float length, const TvV3d* direction,
                              int32_t* triangle, float* distance, int32_t facing);
double MV2ObjectDistanceSquared(MV2Object* a, MV2Object* b);
void MV2DestroyAllObjects();
void MV2FreeObjectTypes();

// The first and next objects of the active list (null at its end).
MV2Object* MV2FirstActiveObject();
MV2Object* MV2NextActiveObject(MV2Object* object);

// Types destroyed in play (message 4 with p1 0) and types the player has come to know.
int32_t MV2TestDestroyedType(int32_t type);
void MV2SetDestroyedType(int32_t type);
void MV2ClearDestroyedTypes();
int32_t MV2TestKnownType(int32_t type);
void MV2SetKnownType(int32_t type);
void MV2ClearKnownTypes();

void MV2SetGeometryFullBright(TpGeometry* geometry);
void MV2SetGeometryLightable(TpGeometry* geometry);
void MV2ResetGeometryPreLight(TpGeometry* geometry);
void MV2ComputeClumpNormals(TpClump* clump);

// The per-frame clump callback; it also marks a clump as an object's.
TpClump* MV2UpdateClumpObject(TpClump* clump, void* data);
