#include "game/missions/spawner.h"

#include "engine/core/matrix.h"
#include "game/creatures/creaturemath.h"
#include "game/missions/levelobjects.h"
#include "game/objects/utilities.h"
#include "shell/gameinit.h"
#include "shell/gamestate.h"

int32_t gMV2SpawnersEnabled = 0;

namespace {

constexpr int32_t kFrozenMode = 12;

MV2SpawnerData* Data(MV2Object* object) {
    return MV2SizedLevelData<MV2SpawnerData>(object);
}

int32_t Count(const MV2SpawnerData* d) {
    return d->count < 0 ? 0 : d->count > kMV2SpawnerSlots ? kMV2SpawnerSlots : d->count;
}

bool Missing(MV2ObjectRef& slot) {
    return !slot.object || !MV2ObjectHandleAlive(slot.handle);
}

void Fill(MV2Object* spawner, MV2SpawnerData* d, MV2ObjectRef& slot) {
    TvV3d offset;
    MV2RandomDirection(&offset);
    const MV2Point3 p = MV2Point(TvV3dAdd(spawner->matrix->pos, TvV3dScale(offset, 0.1f)));
    MV2CreationRecord record{};
    record.matrix = spawner->matrix;
    MV2Object* o = MV2CreateObject(int32_t(d->spawnType), p.v, &record);
    if (!o) {
        MV2ClearObjectRef(&slot);
        return;
    }
    slot.object = o;
    MV2ObjectSendMessage(o, 17, 0, reinterpret_cast<intptr_t>(&slot.handle));
    MV2ObjectSendMessage(o, 79, 0, reinterpret_cast<intptr_t>(&d->parameter));
}

void Spawn(MV2Object* spawner, MV2SpawnerData* d) {
    for (int32_t i = 0; i < Count(d); i++)
        Fill(spawner, d, d->slots[i]);
    d->nextTime = MV2GameClock() + d->delay;
}

bool Running() {
    if (gMV2GameState.current == kFrozenMode) return false;
    return gMV2GameType == 2 || gMV2SpawnersEnabled;
}

void Update(MV2Object* spawner, MV2SpawnerData* d) {
    if (!Running()) return;
    const uint32_t now = MV2GameClock();
    if (d->pending) {
        if (int32_t(now - d->nextTime) < 0) return;
        for (int32_t i = 0; i < Count(d); i++)
            if (Missing(d->slots[i])) Fill(spawner, d, d->slots[i]);
        d->pending = 0;
        return;
    }
    for (int32_t i = 0; i < Count(d); i++)
        if (Missing(d->slots[i])) {
            d->pending = 1;
            d->nextTime = now + d->delay;
            return;
        }
}

} // namespace

int32_t MV2SetSpawnerLevelData(MV2Object* object, uint32_t type, uint32_t delay, int32_t count,
                               uint32_t parameter) {
    if (!object || (object->typeWord & kMV2ObjectTypeMask) != kMV2SpawnerType) return 0;
    MV2SpawnerData* d = Data(object);
    if (!d) return 0;
    d->spawnType = type;
    d->delay = delay;
    d->count = count < 0 ? 0 : count > kMV2SpawnerSlots ? kMV2SpawnerSlots : count;
    d->parameter = parameter;
    return 1;
}

intptr_t MV2SpawnerHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2SpawnerData));
    MV2SpawnerData* d = Data(object);
    switch (message) {
    case 2:
        if (d && object->matrix) Update(object, d);
        break;
    case 3:
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        if (d) {
            *d = MV2SpawnerData{};
            d->pending = 1;
        }
        if (object->clump) MV2SetAllAtomicFlags(object->clump, 0);
        MV2ObjectSendMessage(object, 0, 1, 0);
        return 1;
    case 24:
        if (d && object->matrix) Spawn(object, d);
        break;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

void MV2RegisterSpawnerHandler() {
    MV2SetObjectTypeHandler(kMV2SpawnerType, MV2SpawnerHandler);
}
