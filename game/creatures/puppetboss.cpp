// The shared pattern of the puppet bosses.
#include "game/creatures/puppetboss.h"

#include <cstdio>
#include <cstring>

#include "game/creatures/creaturemath.h"
#include "game/objects/objecttypes.h"
#include "game/objects/utilities.h"
#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "game/objects/objectsounds.h"
#include "game/player/weapons.h"
#include "shell/gamemain.h"

MV2PuppetInstance* MV2PuppetBossCreate(MV2PuppetBossKind* kind, MV2Object* object) {
    if (!kind || !object || !object->type) return nullptr;
    MV2ObjectType* type = object->type;
    if (!kind->set.puppet || kind->set.clump != type->model) {
        std::snprintf(kind->set.folder, sizeof kind->set.folder, ".\\clump\\%s\\", kind->folder);
        kind->set.clump = type->model;
        MV2LoadAnimSet(&kind->set, kind->events, kind->eventCount);
        type->words[7] |= kMV2TypeCollidesObjects | kMV2TypeCollisionTree | kMV2TypePuppet;
        MV2SetTypeFloat(type, 10, kind->radius);
    }
    ++kind->instances;
    object->radius = MV2TypeFloat(type, 10);
    if (object->clump) MV2SetAllAtomicFlags(object->clump, 5);
    auto* instance = MV2CreateAnimInstance(kind->set.puppet, object->clump, object);
    object->privateData = instance;
    return instance;
}

void MV2PuppetBossDestroy(MV2PuppetBossKind* kind, MV2Object* object) {
    if (!kind || !object) return;
    MV2PuppetFreeAnims(MV2PuppetBossInstance(object));
    object->privateData = nullptr;
    if (--kind->instances > 0) return;
    kind->instances = 0;
    MV2DestroyAnimSet(&kind->set);
    kind->set.clump = nullptr;
}

MV2PuppetInstance* MV2PuppetBossInstance(MV2Object* object) {
    return object ? static_cast<MV2PuppetInstance*>(object->privateData) : nullptr;
}

void MV2PuppetBossUpdate(MV2Object* object, float seconds) {
    MV2PuppetInstance* instance = MV2PuppetBossInstance(object);
    if (!instance || !object->matrix) return;
    MV2PuppetUpdate(instance, object->matrix, seconds);
    MV2PuppetBindClump(instance);
}

void MV2PuppetBossPlay(MV2Object* object, const char* name, int32_t on) {
    MV2PuppetSetStateFlag(MV2PuppetBossInstance(object), name, on);
}

int32_t MV2PuppetBossFired(MV2Object* object, const char* name) {
    const MV2PuppetInstance* instance = MV2PuppetBossInstance(object);
    if (!instance || !name) return 0;
    for (const MV2PuppetStateFlag* f = instance->flags.first; f; f = f->next)
        if (std::strncmp(f->name, name, kMV2PuppetNameSize) == 0) return f->value != 0;
    return 0;
}

int32_t MV2PuppetBossNodeMatrix(MV2Object* object, const char* name, TvMatrix* out) {
    MV2PuppetNodeInstance* node = MV2PuppetFindNode(MV2PuppetBossInstance(object), name);
    if (!node || !object->matrix || !out) return 0;
    // Worked out in full: the node's matrix flags do not always say what it holds.
    const TvMatrix& o = *object->matrix;
    auto vector = [&o](const TvV3d& v) {
        return TvV3dAdd(TvV3dAdd(TvV3dScale(o.right, v.x), TvV3dScale(o.up, v.y)),
                        TvV3dScale(o.at, v.z));
    };
    out->right = vector(node->world.right);
    out->up = vector(node->world.up);
    out->at = vector(node->world.at);
    out->pos = TvV3dAdd(o.pos, vector(node->world.pos));
    out->flags = 0;
    return 1;
}

int32_t MV2PuppetBossNodePosition(MV2Object* object, const char* name, TvV3d* out) {
    TvMatrix m;
    if (!MV2PuppetBossNodeMatrix(object, name, &m)) return 0;
    *out = m.pos;
    return 1;
}

void MV2PuppetBossPartHit(MV2Object* boss, intptr_t hit) {
    const auto* part = reinterpret_cast<const MV2PuppetPartHit*>(hit);
    if (!boss || !part || !part->striker || MV2PuppetBossFired(boss, "dodie")) return;
    MV2DamageObject(boss, part->striker, nullptr, part->speed * 30.0f, 1);
}

int32_t MV2BossCameraPosition(TvV3d* out) {
    if (!gMV2MainCamera || !gMV2MainCamera->object.frame || !out) return 0;
    *out = TvFrameGetLTM(gMV2MainCamera->object.frame)->pos;
    return 1;
}

void MV2BossSoundAt(const TvV3d& at, float radius, const char* name, int32_t b) {
    MV2PlaySoundAt(&at, radius, MV2CreatureSound(name), 0, 1, b);
}

void MV2AimMatrix(TvMatrix* m, const TvV3d& direction) {
    m->at = direction;
    TvV3d right = TvV3dCross({0.0f, 1.0f, 0.0f}, direction);
    if (MV2Normalise(&right) < 1e-6f) right = MV2Unit(TvV3dCross({1.0f, 0.0f, 0.0f}, direction));
    m->right = right;
    m->up = TvV3dCross(direction, right);
    m->flags &= ~kTvMatrixIdentity;
}
