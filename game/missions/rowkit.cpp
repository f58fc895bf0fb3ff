#include "game/missions/rowkit.h"

#include "engine/core/matrix.h"
#include "engine/world/world.h"
#include "game/frontend/hudmessages.h"
#include "game/missions/missions.h"
#include "game/objects/camera.h"
#include "game/objects/clumpdata.h"
#include "game/objects/utilities.h"
#include "game/objects/levels.h"
#include "game/player/playercraft.h"
#include "shell/cdaudio.h"

uint32_t MV2RowNow() {
    return MV2GetGameTime();
}

uint32_t MV2RowLevelNumber() {
    return MV2GetCurrentLevelId() >> 24;
}

MV2Object* MV2RowFind(uint32_t scriptId) {
    return MV2FindObjectByScriptID(int32_t(scriptId));
}

intptr_t MV2RowSend(uint32_t scriptId, int32_t message, intptr_t p1, intptr_t p2) {
    MV2Object* object = MV2RowFind(scriptId);
    return object ? MV2ObjectSendMessage(object, message, p1, p2) : 0;
}

intptr_t MV2RowSendFloat(uint32_t scriptId, int32_t message, intptr_t p1, float value) {
    return MV2RowSend(scriptId, message, p1, reinterpret_cast<intptr_t>(&value));
}

MV2Object* MV2RowPlayer() {
    return MV2GetPlayerObject();
}

float MV2RowDistanceSquared(MV2Object* a, MV2Object* b) {
    if (!a) a = MV2RowPlayer();
    if (!b) b = MV2RowPlayer();
    if (!a || !b || !a->matrix || !b->matrix) return -1.0f;
    const TvV3d d = TvV3dSub(a->matrix->pos, b->matrix->pos);
    return TvV3dDot(d, d);
}

float MV2RowPlayerDistanceSquared(MV2Object* object) {
    MV2Object* player = MV2RowPlayer();
    if (!player || !object) return 1e30f;
    return MV2RowDistanceSquared(player, object);
}

int32_t MV2RowType(const MV2Object* object) {
    return object ? int32_t(object->typeWord & kMV2ObjectTypeMask) : -1;
}

int32_t MV2RowCutScene(uint32_t recordId, uint32_t actorId) {
    return MV2PlayCutScene(recordId, actorId);
}

void MV2RowMusic(int32_t repeat, const int32_t* tracks, int32_t count) {
    for (int32_t i = 0; i < count; ++i)
        MV2AddMusicTrack(tracks[i], repeat);
    MV2StartMusic();
}

void MV2RowBindTable(MV2RowTable& table, MV2ObjectCallback callback) {
    for (int32_t i = 0; i < table.count; ++i) {
        table.handles[i] = 0;
        MV2Object* object = MV2RowFind(table.ids[i]);
        table.objects[i] = object;
        if (!object) continue;
        MV2ObjectSendMessage(object, 17, 0, reinterpret_cast<intptr_t>(&table.handles[i]));
        if (MV2RowType(object) != 42)
            MV2ObjectSendMessage(object, 12, 0, reinterpret_cast<intptr_t>(callback));
    }
}

int32_t MV2RowTableIndex(const MV2RowTable& table, uint32_t id) {
    for (int32_t i = 0; i < table.count; ++i)
        if (table.ids[i] == id) return i;
    return -1;
}

MV2Object* MV2RowTableObject(const MV2RowTable& table, uint32_t id) {
    const int32_t i = MV2RowTableIndex(table, id);
    if (i < 0 || !table.objects[i] || !MV2ObjectHandleAlive(table.handles[i])) return nullptr;
    return table.objects[i];
}

void MV2RowClumpInWorld(MV2Object* object, int32_t inWorld) {
    if (!object || !object->clump) return;
    TpWorld* world = TpClumpGetWorld(object->clump);
    if (inWorld && !world && MV2World) TpWorldAddClump(MV2World, object->clump);
    else if (!inWorld && world) TpWorldRemoveClump(world, object->clump);
}

MV2Object* MV2RowNextWorldObject(MV2Object* after) {
    if (!MV2World) return nullptr;
    TpClump* clump = after && after->clump ? MV2GetNextWorldClump(MV2World, after->clump)
                                           : MV2GetFirstWorldClump(MV2World);
    for (; clump; clump = MV2GetNextWorldClump(MV2World, clump))
        if (MV2Object* object = MV2GetClumpObject(clump)) return object;
    return nullptr;
}
