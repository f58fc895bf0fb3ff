// The SubAI brain: its record, the brain assigner, the command stack and retaliation.
#include "game/creatures/subai.h"

#include <cstring>

#include "engine/core/memory.h"
#include "game/creatures/creatures.h"
#include "game/creatures/creaturemath.h"
#include "game/creatures/carrier.h"
#include "game/creatures/drones.h"
#include "game/creatures/pirates.h"
#include "game/creatures/repairdrone.h"
#include "game/creatures/subaistates.h"
#include "game/creatures/submarines.h"
#include "game/missions/cutscenes.h"
#include "game/objects/levels.h"
#include "game/objects/utilities.h"
#include "game/player/player.h"
#include "shell/bytes.h"
#include "shell/errors.h"

namespace {

TvFreeList* g_records = nullptr;

int32_t TypeOf(const MV2Object* object) {
    return int32_t(object->typeWord & kMV2ObjectTypeMask);
}

// Straight to the type handler, never through the brain slot.
intptr_t ToType(MV2Object* craft, int32_t message, intptr_t p1, intptr_t p2) {
    return craft->typeHandler ? craft->typeHandler(craft, message, p1, p2) : 0;
}

MV2SubAICommand* Current(MV2SubAIData* data) {
    return &data->frames[data->depth];
}

// Writes the words every setter writes first.
MV2SubAICommand* Begin(MV2SubAIData* data, int32_t code) {
    MV2SubAICommand* frame = Current(data);
    frame->code = code;
    frame->timer = 0.0f;
    frame->avoidTarget = 1;
    MV2SubAICommandSetTarget(frame, nullptr);
    return frame;
}

// Pops until only frame 0 is left (each call sends message 64), then the caller writes it.
void ClearStack(MV2Object* craft) {
    while (MV2SubAIPopCommand(craft)) {
    }
}

bool Different(const MV2Object* a, const MV2Object* b) {
    return MV2IsObjectFriendly(a) != MV2IsObjectFriendly(b);
}

bool HasWeapon(MV2Object* craft) {
    auto* sub = static_cast<MV2SubData*>(craft->privateData);
    return sub && sub->weapons.first;
}

bool IsPirate(const MV2Object* craft) {
    const int32_t t = TypeOf(craft);
    return t == 56 || t == 70 || t == 397;
}

// Pushes as `MV2SubAIPushCommand` does, without its message 64; the top frame is replaced when
// the stack is full.
void PushQuiet(MV2SubAIData* data) {
    if (data->depth >= kMV2SubAIFrames - 1) return;
    ++data->depth;
    data->frames[data->depth] = data->frames[data->depth - 1];
    if (data->frames[data->depth].code == kMV2SubAIFollowActor)
        data->frames[data->depth].code = kMV2SubAINone;
}

} // namespace

int32_t MV2IsObjectFriendly(const MV2Object* object) {
    if (!object) return 0;
    return (object->flags & 8u) || !(object->flags & 16u) ? 1 : 0;
}

int32_t MV2AssignObjectBrain(MV2Object* object) {
    if (!object) return 0;
    const int32_t type = TypeOf(object);
    MV2ObjectHandler brain = nullptr;
    switch (type) {
    case 0:
    case 1:
    case 67:
    case 83: brain = MV2SubAIBrain; break;
    case 56:
    case 70:
    case 397: brain = MV2PirateBrain; break;
    default: break;
    }
    if (brain) {
        MV2ObjectSendMessage(object, 29, 0, reinterpret_cast<intptr_t>(brain));
        return 1;
    }
    if (type == 8 || type == 12 || (type >= 17 && type <= 20) || (type >= 22 && type <= 34) ||
        type == 37 || type == 38 || type == 57 || type == 58)
        object->aiCategory = 4;
    else if (type == 35 || type == 36)
        object->aiCategory = 2;
    else if (type == 353 || type == 354)
        object->aiCategory = 7;
    return 0;
}

MV2SubAIData* MV2GetSubAIData(MV2Object* object) {
    if (!object || !object->typeHandler) return nullptr;
    void* out = nullptr; // null, not the object, when nobody answers
    object->typeHandler(object, 27, 0, reinterpret_cast<intptr_t>(&out));
    return static_cast<MV2SubAIData*>(out);
}

void MV2SubAISetDesignated(MV2SubAIData* data, int32_t designated) {
    if (data) data->designated = designated;
}

intptr_t MV2SubAIBrain(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    MV2SubAIData* data = message == 32 ? nullptr : MV2GetSubAIData(object);
    switch (message) {
    case 2:
        if (data) {
            if (!MV2SubAIRunCommand(object)) return 1;
            if (data->cannotDie && object->energy <= 0.0f) object->energy = 0.01f;
        }
        return ToType(object, 2, p1, p2);
    case 4:
        if (data) {
            MV2RouteClear(&data->route);
            for (int32_t i = 0; i <= data->depth; ++i)
                if (data->frames[i].code == kMV2SubAIFollowActor)
                    if (MV2Object* actor = MV2SubAICommandGetTarget(&data->frames[i]))
                        MV2ObjectSendMessage(actor, 4, 1, 0);
            ToType(object, 28, 0, 0);
            TvFreeListFree(g_records, data);
        }
        ToType(object, 31, 0, reinterpret_cast<intptr_t>(data));
        return ToType(object, 4, p1, p2);
    case 26:
        if (p1 == 0) {
            const int32_t t = TypeOf(object);
            if (t == 0 || t == 1 || t == 67 || t == 84) {
                ToType(object, 26, 0, 0);
                return 1;
            }
        }
        return ToType(object, 26, p1, p2);
    case 27:
        if (p2) *reinterpret_cast<void**>(p2) = data ? data->layeredData : nullptr;
        return 1;
    case 28:
        if (data) data->layeredData = reinterpret_cast<void*>(p2);
        return 1;
    case 32: {
        if (!g_records) {
            g_records = TvFreeListCreate(sizeof(MV2SubAIData), 20);
            if (!g_records) {
                MV2ErrorBox("Could not create SubAI freelist");
                return 0;
            }
        }
        auto* record = static_cast<MV2SubAIData*>(TvFreeListAlloc(g_records));
        if (!record) return 0;
        std::memset(static_cast<void*>(record), 0, sizeof *record);
        record->factor = 1.0f;
        record->wayPointRadius = 5.0f;
        MV2RouteInit(&record->route);
        ToType(object, 28, 0, reinterpret_cast<intptr_t>(record));
        return 1;
    }
    case 33:
        if (data) MV2SubAICommandSetTarget(Current(data), reinterpret_cast<MV2Object*>(p2));
        return 1;
    case 34:
        if (p2)
            *reinterpret_cast<MV2Object**>(p2) = data ? MV2SubAICommandGetTarget(Current(data))
                                                      : nullptr;
        return 1;
    case 65: {
        MV2Object* player = MV2GetPlayerObject();
        if (data && player && Different(object, player) && data->passivity <= 9 &&
            HasWeapon(object))
            MV2SubAIReactToThreat(object, player);
        return 1;
    }
    case 73:
        if (data && p2) data->factor = *reinterpret_cast<const float*>(p2);
        return 1;
    case 76: {
        auto* other = reinterpret_cast<MV2Object*>(p2);
        if (data && other && Different(object, other) && data->passivity < 10 &&
            HasWeapon(object))
            MV2SubAIReactToThreat(object, other);
        return ToType(object, 76, p1, p2);
    }
    case 82:
        MV2SubAIOrderCityRoute(object, 3);
        return ToType(object, 82, p1, p2);
    case 86: return 1;
    default: return ToType(object, message, p1, p2) ? 1 : 0;
    }
}

void MV2SubAIOrderAttack(MV2Object* craft, MV2Object* target, int32_t mode) {
    if (!MV2GetSubAIData(craft)) return;
    ClearStack(craft);
    MV2SubAISetAttack(craft, target, mode);
}

void MV2SubAISetAttack(MV2Object* craft, MV2Object* target, int32_t mode) {
    MV2SubAIData* data = MV2GetSubAIData(craft);
    if (!data) return;
    MV2SubAICommand* frame = Begin(data, kMV2SubAIAttack);
    MV2SubAICommandSetAttackTarget(craft, frame, target);
    frame->timer = 100.0f;
    frame->attack.mode = mode;
    frame->attack.phase = 0;
    frame->attack.site = -1;
    frame->attack.fireCheck = 10.0f;
}

void MV2SubAIOrderGuard(MV2Object* craft, MV2Object* target, int32_t mode, int32_t category,
                        int32_t type, float range) {
    MV2SubAIData* data = MV2GetSubAIData(craft);
    if (!data) return;
    ClearStack(craft);
    MV2SubAICommand* frame = Begin(data, kMV2SubAIGuard);
    MV2SubAICommandSetTarget(frame, target);
    frame->timer = 100.0f;
    frame->guard.mode = mode;
    frame->guard.category = category;
    frame->guard.type = type;
    frame->guard.range = range;
    frame->guard.minusOne = -1;
}

void MV2SubAIOrderFetch(MV2Object* craft, MV2Object* target, int32_t category, int32_t type,
                        MV2Object* drone) {
    MV2SubAIData* data = MV2GetSubAIData(craft);
    if (!data) return;
    ClearStack(craft);
    MV2SubAICommand* frame = Begin(data, kMV2SubAIFetch);
    frame->avoidTarget = 0;
    MV2SubAICommandSetTarget(frame, target);
    frame->fetch.phase = 0;
    frame->fetch.type = type;
    frame->fetch.category = category;
    if (drone)
        MV2SetObjectRef(&frame->fetch.drone, drone);
    else
        MV2ClearObjectRef(&frame->fetch.drone);
}

void MV2SubAIOrderGoTo(MV2Object* craft, MV2Object* target, float arrival) {
    if (!MV2GetSubAIData(craft)) return;
    ClearStack(craft);
    MV2SubAISetGoTo(craft, target, arrival);
}

void MV2SubAISetGoTo(MV2Object* craft, MV2Object* target, float arrival) {
    MV2SubAIData* data = MV2GetSubAIData(craft);
    if (!data) return;
    MV2SubAICommand* frame = Begin(data, kMV2SubAIGoTo);
    frame->avoidTarget = 0;
    MV2SubAICommandSetTarget(frame, target);
    frame->goTo.phase = 1;
    frame->goTo.arrival = arrival;
    frame->goTo.bubbles = 0;
}

void MV2SubAIOrderMoveDirect(MV2Object* craft, MV2Object* target) {
    if (!MV2GetSubAIData(craft)) return;
    ClearStack(craft);
    MV2SubAISetMoveDirect(craft, target);
}

void MV2SubAISetMoveDirect(MV2Object* craft, MV2Object* target) {
    MV2SubAIData* data = MV2GetSubAIData(craft);
    if (!data) return;
    MV2SubAICommand* frame = Begin(data, kMV2SubAIGoTo);
    MV2SubAICommandSetTarget(frame, target);
    frame->goTo.phase = 4;
    frame->goTo.arrival = 2.0f;
}

void MV2SubAIOrderMoveDirectKinematic(MV2Object* craft, MV2Object* target) {
    MV2SubAIData* data = MV2GetSubAIData(craft);
    if (!data) return;
    ClearStack(craft);
    MV2SubAICommand* frame = Begin(data, kMV2SubAIGoTo);
    MV2SubAICommandSetTarget(frame, target);
    frame->goTo.phase = 5;
    frame->goTo.arrival = 2.0f;
}

void MV2SubAIOrderCityRoute(MV2Object* craft, int32_t route) {
    MV2SubAIData* data = MV2GetSubAIData(craft);
    if (!data || route < 0 || route > 5) return;
    ClearStack(craft);
    MV2SubAICommand* frame = Begin(data, kMV2SubAICityRoute);
    frame->city.phase = 0;
    frame->city.route = nullptr; // the city's route records are not resolved here
}

void MV2SubAIPlaceOnCityRoute(MV2Object* craft, int32_t route) {
    MV2SubAIData* data = MV2GetSubAIData(craft);
    if (!data || route < 0 || route > 5) return;
    MV2SubAICommand* frame = Begin(data, kMV2SubAICityRoute);
    frame->city.phase = 0;
    frame->city.route = nullptr;
}

void MV2SubAIOrderFullAhead(MV2Object* craft) {
    MV2SubAIData* data = MV2GetSubAIData(craft);
    if (!data) return;
    ClearStack(craft);
    Begin(data, kMV2SubAIFullAhead);
}

void MV2SubAIOrderLevelOff(MV2Object* craft) {
    MV2SubAIData* data = MV2GetSubAIData(craft);
    if (!data) return;
    ClearStack(craft);
    Begin(data, kMV2SubAILevelOffCode);
}

void MV2SubAISetIdle(MV2Object* craft) {
    if (MV2SubAIData* data = MV2GetSubAIData(craft)) Begin(data, kMV2SubAIIdle);
}

void MV2SubAISetDie(MV2Object* craft) {
    MV2SubAIData* data = MV2GetSubAIData(craft);
    if (!data) return;
    MV2SubAICommand* frame = Begin(data, kMV2SubAIDie);
    if (auto* sub = static_cast<MV2SubData*>(craft->privateData)) {
        sub->pitchRate = -0.03f;
        sub->rightingOffset = {};
    }
    const float sign = MV2RandomBits(1) ? 1.0f : -1.0f;
    frame->die.torque = {0.0f, 0.03f * sign, 0.0f};
    TvV3d point{5.0f * sign, 0.0f, 0.0f};
    TvV3d random;
    MV2RandomDirection(&random);
    point = TvV3dAdd(point, random);
    frame->die.point = MV2Unit(point);
    craft->typeWord &= ~kMV2ObjectCollidesWorld;
}

void MV2SubAIOrderDie(MV2Object* craft) {
    if (!MV2GetSubAIData(craft)) return;
    ClearStack(craft);
    MV2SubAISetDie(craft);
}

void MV2SubAISetDeliver(MV2Object* craft, MV2Object* cargo, MV2Object* destination) {
    MV2SubAIData* data = MV2GetSubAIData(craft);
    if (!data) return;
    MV2SubAICommand* frame = Begin(data, kMV2SubAIDeliver);
    MV2SubAICommandSetTarget(frame, cargo);
    frame->deliver.phase = 0;
    if (destination)
        MV2SetObjectRef(&frame->deliver.destination, destination);
    else
        MV2ClearObjectRef(&frame->deliver.destination);
}

void MV2SubAIOrderSink(MV2Object* craft) {
    MV2SubAIData* data = MV2GetSubAIData(craft);
    if (!data) return;
    ClearStack(craft);
    Begin(data, kMV2SubAISink);
}

void MV2SubAISetSink(MV2Object* craft) {
    if (MV2SubAIData* data = MV2GetSubAIData(craft)) Begin(data, kMV2SubAISink);
}

void MV2SubAISetFollowSpline(MV2Object* craft, uint32_t actorId, float lag) {
    MV2SubAIData* data = MV2GetSubAIData(craft);
    if (!data) return;
    MV2SubAICommand* frame = Begin(data, kMV2SubAIFollowActor);
    if (MV2Object* actor = MV2CutSceneStartActor(actorId, 0)) {
        MV2ObjectSendMessage(actor, 12, 1, 0);
        MV2SubAICommandSetTarget(frame, actor);
    }
    frame->follow.lag = lag;
    // The path ends at the duration of the record the actor belongs to.
    MV2LevelRecord record;
    frame->follow.endIndex = 0;
    if (MV2FindLevelRecord(actorId | 0xFFFF, &record) && record.size >= 20)
        frame->follow.endIndex = int32_t(MV2ReadU32(record.bytes + 16));
}

void MV2SubAIOrderFollowSpline(MV2Object* craft, uint32_t actorId, float lag) {
    if (!MV2GetSubAIData(craft)) return;
    ClearStack(craft);
    MV2SubAISetFollowSpline(craft, actorId, lag);
}

int32_t MV2SubAIPushCommand(MV2Object* craft) {
    MV2SubAIData* data = MV2GetSubAIData(craft);
    if (!data) return 0;
    ToType(craft, 64, 0, 0);
    if (data->depth >= kMV2SubAIFrames - 1) return 0;
    PushQuiet(data);
    return 1;
}

int32_t MV2SubAIPopCommand(MV2Object* craft) {
    MV2SubAIData* data = MV2GetSubAIData(craft);
    if (!data) return 0;
    ToType(craft, 64, 0, 0);
    MV2SubAICommand* frame = Current(data);
    if (frame->code == kMV2SubAIFollowActor)
        if (MV2Object* actor = MV2SubAICommandGetTarget(frame)) MV2ObjectSendMessage(actor, 4, 1, 0);
    // Frame 0 stays: a finished bottom command leaves code 0 and the craft stops acting.
    frame->code = kMV2SubAINone;
    if (data->depth <= 0) return 0;
    --data->depth;
    return 1;
}

MV2SubAICommand* MV2SubAIGetCommand(MV2Object* craft) {
    MV2SubAIData* data = MV2GetSubAIData(craft);
    return data ? Current(data) : nullptr;
}

int32_t MV2SubAIFindCommand(MV2Object* craft, int32_t code) {
    MV2SubAIData* data = MV2GetSubAIData(craft);
    if (!data) return 0;
    for (int32_t level = 0; level <= data->depth; ++level)
        if (data->frames[level].code == code) return 1 + level;
    return 0;
}

void MV2SubAISetGoToBubbles(MV2Object* craft) {
    MV2SubAICommand* frame = MV2SubAIGetCommand(craft);
    if (frame && frame->code == kMV2SubAIGoTo) frame->goTo.bubbles = 1;
}

int32_t MV2SubAICommandSetTarget(MV2SubAICommand* frame, MV2Object* object) {
    if (!object) {
        MV2ClearObjectRef(&frame->target);
        return 1;
    }
    MV2SetObjectRef(&frame->target, object);
    return 0;
}

MV2Object* MV2SubAICommandGetTarget(MV2SubAICommand* frame) {
    return frame ? MV2GetObjectRef(&frame->target) : nullptr;
}

void MV2SubAICommandSetAttackTarget(MV2Object*, MV2SubAICommand* frame, MV2Object* target) {
    MV2SubAICommandSetTarget(frame, target);
    frame->attack.rootAtomic = target && target->clump ? MV2FindRootAtomic(target->clump) : nullptr;
    frame->attack.evading = 0;
}

int32_t MV2SubAIReactToThreat(MV2Object* craft, MV2Object* other) {
    MV2SubAIData* data = MV2GetSubAIData(craft);
    if (!data) return 1;
    MV2SubAICommand* frame = Current(data);
    switch (frame->code) {
    case kMV2SubAIAttack: {
        MV2Object* target = MV2SubAICommandGetTarget(frame);
        if (!target || !other) return 1;
        if (other == target) {
            MV2SubAIPickEvadePoint(craft, frame);
        } else if (IsPirate(craft) && target->aiCategory == 9) {
            MV2SubAISetAttack(craft, other, 1);
        }
        return 1;
    }
    case kMV2SubAIGoTo:
        frame->goTo.phase = 1;
        [[fallthrough]];
    case kMV2SubAIGuard:
        ToType(craft, 64, 0, 0);
        PushQuiet(data);
        MV2SubAISetAttack(craft, other, 1);
        return 1;
    default: return 1;
    }
}

void MV2ShutdownSubAI() {
    if (g_records) TvFreeListDestroy(g_records);
    g_records = nullptr;
    MV2ShutdownPirates();
    MV2ShutdownCarriers();
    MV2ShutdownDrones();
    MV2ShutdownRepairDrones();
}

void* MV2GetLayeredData(MV2Object* craft) {
    void* data = nullptr;
    MV2SubAIBrain(craft, 27, 0, reinterpret_cast<intptr_t>(&data));
    return data;
}

void* MV2AllocLayeredData(MV2Object* craft, TvFreeList** list, size_t size, int32_t perChunk,
                          const char* error) {
    if (!MV2SubAIBrain(craft, 32, 0, 0)) return nullptr;
    if (!*list) {
        *list = TvFreeListCreate(size, perChunk);
        if (!*list) {
            MV2ErrorBox(error);
            return nullptr;
        }
    }
    void* block = TvFreeListAlloc(*list);
    if (!block) return nullptr;
    std::memset(block, 0, size);
    MV2SubAIBrain(craft, 28, 0, reinterpret_cast<intptr_t>(block));
    return block;
}

void MV2FreeLayeredData(MV2Object* craft, TvFreeList* list, void* data) {
    if (!data || !list) return;
    MV2SubAIBrain(craft, 28, 0, 0);
    TvFreeListFree(list, data);
}
