// Drones: the drone brain of mining craft over the SubAI brain, and the drone station (type 65)
// with its claws and lift, its cargo table and the pick-up by a carrying craft.
#pragma once

#include <cstdint>

#include "engine/core/matrix.h"
#include "engine/core/vector.h"
#include "game/objects/objects.h"

struct TpAtomic;
struct TpIntersection;
struct TpWorldSector;
struct TvFrame;

struct MV2DroneBrainData {
    float cargoLevel;
    uint32_t initialSupply; // 5,000,000 at allocation
    MV2ObjectRef carried;
    MV2Object* dock;
    TvV3d held;
    int32_t phase; // docking 0-4
};

inline constexpr int32_t kMV2DroneClaws = 8;
inline constexpr int32_t kMV2DroneCargo = 64;
inline constexpr int32_t kMV2DroneSpawns = 40;

// Station states.
enum MV2DroneState : uint32_t {
    kMV2DroneClosing = 1,
    kMV2DroneOpening = 2,
    kMV2DroneLowering = 3,
    kMV2DroneLoaded = 4,
    kMV2DroneDelivered = 5,
    kMV2DroneHolding = 6,
    kMV2DroneWaiting = 7,
    kMV2DronePickedUp = 8,
};

struct MV2Drone {
    TvFrame* claws[kMV2DroneClaws]; // tagged 2..9
    TvMatrix clawRest[kMV2DroneClaws];
    TvFrame* lift; // tagged 10
    float liftRest;
    uintptr_t liftSound;
    uint32_t state;
    float clawAngle; // 0..60 degrees
    float liftHeight; // above the rest height
    MV2ObjectRef held;
    uint32_t mode;
    uint16_t cargo[kMV2DroneCargo]; // object types; 461 empty
    int32_t cargoIndex;
    int32_t cargoCount;
    // The pick-up.
    MV2ObjectRef carrier;
    MV2ObjectHandler savedBrain;
    MV2ObjectRef spawned[kMV2DroneSpawns];
    int32_t spawnCount;
    float spawnTimer;
    TvV3d heldPosition;
};

intptr_t MV2DroneBrain(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
int32_t MV2DronePickUp(MV2Object* drone, MV2Object* carrier);
intptr_t MV2DroneCarryHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
MV2Object* MV2GetNearestDrone(MV2Object* object);
MV2Object* MV2FindDroneInReach(MV2Object* object);
intptr_t MV2DroneHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
int32_t MV2DroneLiftScan(TpIntersection* intersection, TpWorldSector* sector, TpAtomic* atomic,
                         float distance, void* data);
void MV2RegisterDroneHandlers();
// Level reset: the drone slots and the carrier state saved for a pick-up are cleared.
void MV2ResetDrones();
void MV2ShutdownDrones();
