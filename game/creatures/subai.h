// The SubAI brain of computer-driven craft: its record, the command stack and the command
// interface that missions, the city, drones and other brains use.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/core/vector.h"
#include "game/creatures/routes.h"
#include "game/objects/objects.h"

struct TpAtomic;
struct MV2CityDoor;

enum MV2SubAICommandCode : int32_t {
    kMV2SubAINone = 0,
    kMV2SubAIAttack = 1,
    kMV2SubAIGuard = 2,
    kMV2SubAIFetch = 3,
    kMV2SubAIGoTo = 4,
    kMV2SubAICityRoute = 5,
    kMV2SubAIFullAhead = 6,
    kMV2SubAILevelOffCode = 7,
    kMV2SubAIIdle = 8,
    kMV2SubAIDie = 9,
    kMV2SubAIDeliver = 10,
    kMV2SubAISink = 11,
    kMV2SubAIFollowActor = 12,
};

inline constexpr int32_t kMV2SubAIFrames = 5;
inline constexpr int32_t kMV2AnyCategory = 11;
inline constexpr int32_t kMV2AnyType = 461;

// One frame of the command stack; its parameters by command.
struct MV2SubAICommand {
    int32_t code;
    MV2ObjectRef target;
    float timer; // seconds
    int32_t avoidTarget;
    union {
        struct {
            int32_t phase;  // phase or mode, by command
            int32_t detail; // the next word: attack phase, guard mode, follow end index
        } common;
        struct {
            int32_t mode; // 1 direct, 5 mining site
            int32_t phase; // 0 start, 1 engage, 2 brief
            TpAtomic* rootAtomic;
            int32_t site;
            float fireCheck;
            int32_t lineClear;
            float lineCountdown;
            float briefCountdown;
            int32_t evading;
            TvV3d evadePoint;
        } attack;
        struct {
            int32_t unused;
            int32_t mode; // 1, 2 or 3
            int32_t category;
            int32_t type;
            float range;
            int32_t minusOne;
            TvV3d hover;
        } guard;
        struct {
            int32_t phase; // 0 search, 1 collect, 2 return, 3 wait, 4 approach
            int32_t unused;
            int32_t type;
            int32_t category;
            MV2ObjectRef drone;
            float wait;
            TvV3d approach;
        } fetch;
        struct {
            int32_t phase; // 1 plan, 2 follow, 3 wait, 4 direct, 5 direct kinematic
            int32_t unused;
            float arrival;
            int32_t bubbles;
        } goTo;
        struct {
            int32_t phase;
            int32_t unused;
            const MV2CityDoor* route;
            TvV3d point;
        } city;
        struct {
            TvV3d torque;
            TvV3d point;
        } die;
        struct {
            int32_t phase;
            int32_t unused;
            TvV3d offset;
            MV2ObjectRef destination;
            float countdown;
        } deliver;
        struct {
            float lag;
            int32_t endIndex;
        } follow;
    };
};

// One per craft with the brain.
struct MV2SubAIData {
    void* layeredData; // the record of a brain laid over this one
    TvV3d sightedPosition;
    float factor;
    MV2Route route;
    float wayPointRadius;
    int32_t avoiding;
    TvV3d avoidancePush;
    MV2ObjectRef obstacle;
    float avoidanceCountdown;
    int32_t passivity; // retaliates only below 10
    int32_t depth;     // 0..4
    MV2SubAICommand frames[kMV2SubAIFrames];
    uint32_t cannotDie;
    int32_t designated; // 1 while the craft is one of the two mission craft
};

// Sides: friendly when flag bit 3 is set or bit 4 is clear.
int32_t MV2IsObjectFriendly(const MV2Object* object);

int32_t MV2AssignObjectBrain(MV2Object* object);
intptr_t MV2SubAIBrain(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
// The craft's SubAI record, or null.
MV2SubAIData* MV2GetSubAIData(MV2Object* object);

void MV2SubAIOrderAttack(MV2Object* craft, MV2Object* target, int32_t mode);
void MV2SubAISetAttack(MV2Object* craft, MV2Object* target, int32_t mode);
void MV2SubAIOrderGuard(MV2Object* craft, MV2Object* target, int32_t mode, int32_t category,
                        int32_t type, float range);
void MV2SubAIOrderFetch(MV2Object* craft, MV2Object* target, int32_t category, int32_t type,
                        MV2Object* drone);
void MV2SubAIOrderGoTo(MV2Object* craft, MV2Object* target, float arrival);
void MV2SubAISetGoTo(MV2Object* craft, MV2Object* target, float arrival);
void MV2SubAIOrderMoveDirect(MV2Object* craft, MV2Object* target);
void MV2SubAISetMoveDirect(MV2Object* craft, MV2Object* target);
void MV2SubAIOrderMoveDirectKinematic(MV2Object* craft, MV2Object* target);
// Refuses a route outside 0-5.
void MV2SubAIOrderCityRoute(MV2Object* craft, int32_t route);
// Replaces the current command by a city route (0-5), keeping the frames below it.
void MV2SubAIPlaceOnCityRoute(MV2Object* craft, int32_t route);
void MV2SubAIOrderFullAhead(MV2Object* craft);
void MV2SubAIOrderLevelOff(MV2Object* craft);
void MV2SubAISetIdle(MV2Object* craft);
void MV2SubAISetDie(MV2Object* craft);
void MV2SubAIOrderDie(MV2Object* craft);
void MV2SubAISetDeliver(MV2Object* craft, MV2Object* cargo, MV2Object* destination);
void MV2SubAIOrderSink(MV2Object* craft);
void MV2SubAISetSink(MV2Object* craft);
// The current command becomes following the cut-scene actor `actorId` (created for it) at a lag
// in units, until the actor's path ends; the Order form clears the stack first.
void MV2SubAISetFollowSpline(MV2Object* craft, uint32_t actorId, float lag);
void MV2SubAIOrderFollowSpline(MV2Object* craft, uint32_t actorId, float lag);
int32_t MV2SubAIPushCommand(MV2Object* craft);
int32_t MV2SubAIPopCommand(MV2Object* craft);
MV2SubAICommand* MV2SubAIGetCommand(MV2Object* craft);
int32_t MV2SubAIFindCommand(MV2Object* craft, int32_t code);
void MV2SubAISetGoToBubbles(MV2Object* craft);
int32_t MV2SubAICommandSetTarget(MV2SubAICommand* frame, MV2Object* object);
MV2Object* MV2SubAICommandGetTarget(MV2SubAICommand* frame);
void MV2SubAICommandSetAttackTarget(MV2Object* craft, MV2SubAICommand* frame, MV2Object* target);
int32_t MV2SubAIReactToThreat(MV2Object* craft, MV2Object* other);
// Frees the free list of records (game shut-down).
void MV2ShutdownSubAI();

// Brains laid over the SubAI brain keep their record as its layered data.
struct TvFreeList;
// The record of the brain laid over the craft's SubAI brain (SubAI message 27), or null.
void* MV2GetLayeredData(MV2Object* craft);
// Message 32 of a layered brain: the SubAI brain allocates first; the list is made on first use
// (`error` in an error box when that fails); a cleared block becomes the layered data (SubAI
// message 28). Null when any step fails.
void* MV2AllocLayeredData(MV2Object* craft, TvFreeList** list, size_t size, int32_t perChunk,
                          const char* error);
// Gives a layered brain's record back to its list and clears the layered data.
void MV2FreeLayeredData(MV2Object* craft, TvFreeList* list, void* data);
