// The snapping shell and the flowing-texture object.
#include "game/creatures/shell.h"

#include <cmath>

#include "engine/core/matrix.h"
#include "engine/world/anim.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "engine/world/world.h"
#include "game/creatures/animkeys.h"
#include "game/creatures/creatures.h"
#include "game/creatures/creaturemath.h"
#include "game/creatures/puppetboss.h"
#include "game/objects/dynamics.h"
#include "game/objects/objectsounds.h"
#include "game/objects/objectupdate.h"
#include "game/objects/utilities.h"
#include "game/player/playercraft.h"

namespace {

constexpr int32_t kShellType = 125;
constexpr int32_t kFlowType = 149;
constexpr TvV3d kWorldUp{0.0f, 1.0f, 0.0f};

float g_flowPhase;

MV2ShellData* Shell(MV2Object* object) {
    return static_cast<MV2ShellData*>(object->privateData);
}

void AnimStep(MV2Object* shell, float amount) {
    if (shell->clump) MV2AddAnimTime(shell->clump, amount);
}

void Gravity3(MV2Object* shell) {
    for (int32_t i = 0; i < 3; i++)
        MV2ApplyGravity(shell);
}

// The 18 keys of the shell's geometry, made when its model has fewer.
bool MakeKeys(MV2Object* shell) {
    TpAtomic* root = shell->clump ? MV2FindRootAtomic(shell->clump) : nullptr;
    TpGeometry* g = root ? TpAtomicGetGeometry(root) : nullptr;
    if (!g) return false;
    if (!TpAnimSequenceGeometryGetKey(g, kMV2ShellKeys - 1)) {
        if (!TpAnimSequenceGeometryCreateKeys(g, kMV2ShellKeys)) return false;
        for (int32_t k = 0; k < kMV2ShellKeys; k++)
            TpAnimSequenceGeometrySetKey(g, k, 0, 0, 1.0f);
    }
    return TpAnimSequenceGeometrySetCallBack(g, MV2SnappingShellKeyCallback) != nullptr;
}

void Restart(MV2Object* shell, MV2ShellData* d, uint32_t state) {
    d->state = state;
    MV2SetRootKey(shell, 0);
}

void ZeroSpin(MV2Object* shell) {
    if (shell->body) shell->body->angularVelocity = {0.0f, 0.0f, 0.0f};
}

// Lays the shell on the ground under it, or turns it to the facing triangles' normals.
void Align(MV2Object* shell, MV2ShellData* d, TpWorld* world) {
    TvMatrix* m = shell->matrix;
    const TvV3d half = TvV3dScale(TvV3dAdd(m->at, m->right), 0.5f);
    const TvV3d side = TvV3dScale(TvV3dSub(m->right, m->at), 0.5f);
    const TvV3d starts[3] = {TvV3dAdd(m->pos, half), TvV3dAdd(m->pos, side), TvV3dSub(m->pos, half)};
    TvV3d ground[3];
    bool all = true;
    for (int32_t i = 0; i < 3 && all; i++) {
        const TvV3d end = TvV3dSub(starts[i], m->up);
        MV2TriangleHit hit{};
        float t = 0.0f;
        if (!MV2IntersectWorldLine(world, &starts[i], &end, &hit, &t)) {
            all = false;
            break;
        }
        ground[i] = TvV3dAdd(starts[i], TvV3dScale(TvV3dSub(end, starts[i]), t));
    }
    if (all) {
        const TvV3d ahead = TvV3dAdd(m->pos, m->at);
        MV2TriangleHit hit{};
        float t = 0.0f;
        if (MV2IntersectWorldLine(world, &m->pos, &ahead, &hit, &t)) all = false;
    }
    const uint32_t now = MV2GameClock();
    if (all && int32_t(now - d->nextAlign) >= 0) {
        m->at = MV2Unit(TvV3dSub(ground[0], ground[1]));
        m->right = TvV3dSub(ground[1], ground[2]);
        m->up = MV2Unit(TvV3dCross(m->at, m->right));
        m->right = MV2Unit(TvV3dCross(m->up, m->at));
        MV2SyncObjectFrame(shell);
        return;
    }
    d->nextAlign = now + 100;
    MV2TriangleHit hits[4];
    const int32_t n = MV2GetFacingTrianglesInSphere(world, &m->pos, d->groundRadius, 4, hits);
    TvV3d up{};
    for (int32_t i = 0; i < n; i++)
        up = TvV3dAdd(up, hits[i].normal);
    if (MV2Normalise(&up) > 0.0f) {
        MV2RebuildAroundUp(m, up);
        MV2SyncObjectFrame(shell);
    }
}

void Behave(MV2Object* shell, MV2ShellData* d) {
    const float step = MV2FrameStep();
    TvMatrix* m = shell->matrix;
    TvV3d camera{};
    MV2BossCameraPosition(&camera);
    const TvV3d v = TvV3dSub(camera, m->pos);
    const float distance = MV2Length(v);
    switch (d->state) {
    case kMV2ShellSettling: {
        const TvV3d offset{0.0f, 50.0f, 0.0f};
        MV2ApplyUprightForce(shell, &offset);
        Gravity3(shell);
        return;
    }
    case kMV2ShellFacing: {
        const float a = TvV3dDot(m->at, v);
        if (std::fabs(a) > 0.1f) {
            AnimStep(shell, step * 0.2f);
            MV2RotateMatrixInPlace(m, &m->up, 10.0f * a, 1);
        }
        if (distance < 3.0f)
            Restart(shell, d, kMV2ShellSnapping);
        else if (distance > 5.0f)
            Restart(shell, d, kMV2ShellCreeping);
        break;
    }
    case kMV2ShellSnapping: AnimStep(shell, step * 0.2f); break;
    default: break;
    }
    TpWorld* world = TpWorldGetCurrent();
    MV2TriangleHit hit{};
    if (!world || MV2GetFacingTrianglesInSphere(world, &m->pos, d->groundRadius, 1, &hit) < 1) {
        Gravity3(shell);
        AnimStep(shell, step * 0.1f);
        return;
    }
    if (d->state == kMV2ShellCreeping && distance < 25.0f) {
        if (distance < 5.0f) {
            d->state = kMV2ShellFacing;
        } else {
            MV2RotateMatrixInPlace(m, &m->up, -10.0f * TvV3dDot(m->at, v), 1);
            const TvV3d push = TvV3dScale(m->at, 0.1f);
            MV2AddForce(shell, &push);
            MV2AddForce(shell, &push);
            if (shell->body) AnimStep(shell, 10.0f * TvV3dDot(shell->body->velocity, m->at));
        }
    }
    Align(shell, d, world);
    MV2SyncObjectFrame(shell);
}

intptr_t ShellCreate(MV2Object* shell, intptr_t p1, intptr_t p2) {
    if (!MV2ObjectDefaultHandler(shell, 3, p1, p2)) return 0;
    MV2ShellData* d = Shell(shell);
    if (!d || !MakeKeys(shell)) return 0;
    *d = MV2ShellData{};
    d->active = 1;
    d->groundRadius = MV2TypeRadius(shell);
    d->nextAlign = MV2GameClock();
    shell->radius = 0.6f * MV2TypeRadius(shell);
    MV2SetRootKey(shell, 0);
    return 1;
}

intptr_t ShellUpdate(MV2Object* shell, MV2ShellData* d) {
    MV2ApplyBuoyancy(shell);
    if (shell->energy <= 0.0f) {
        MV2CreateDebris(shell);
        MV2ObjectSendMessage(shell, 4, 1, 0);
        return 1;
    }
    const MV2ObjectHandle handle = shell->handle;
    const intptr_t result = MV2ObjectDefaultHandler(shell, 2, 0, 0);
    if (!MV2ObjectHandleAlive(handle) || !shell->matrix) return result;
    d->active = 1;
    Behave(shell, d);
    return result;
}

} // namespace

int32_t MV2ShellNextKey(int32_t k, bool* snap, bool* ends) {
    *snap = k == 9 || k == 12;
    *ends = k == 17;
    if (k == 6 || k == 17) return 0;
    return k >= 0 && k < 17 ? k + 1 : -1;
}

float MV2SnappingShellKeyCallback(TpAtomic* atomic, float position) {
    const int32_t k = TpAnimSequenceAtomicGetCurrentKeyIndex(atomic);
    bool snap = false, ends = false;
    const int32_t next = MV2ShellNextKey(k, &snap, &ends);
    MV2Object* shell = MV2AtomicObject(atomic);
    if (shell && shell->matrix && MV2TypeOf(shell) == kShellType) {
        if (snap) {
            MV2PlaySoundAt(&shell->matrix->pos, 5.0f, MV2CreatureSound("SNAP"), 0, 1, 1000);
            if (MV2Object* player = MV2GetPlayerObject(); player && player->matrix) {
                const TvV3d lunge =
                    TvV3dScale(MV2Unit(TvV3dSub(player->matrix->pos, shell->matrix->pos)), 0.5f);
                MV2AddForce(shell, &lunge);
            }
        }
        if (ends && shell->privateData) Shell(shell)->state = kMV2ShellCreeping;
    }
    return MV2StepAnimKey(atomic, position, next);
}

intptr_t MV2SnappingShellHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2ShellData));
    if (message == 80) return 1;
    if (message == 3) return ShellCreate(object, p1, p2);
    MV2ShellData* d = Shell(object);
    if (!d || !object->matrix) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2: return ShellUpdate(object, d);
    case 14:
        if (MV2Object* player = MV2GetPlayerObject();
            player && player->matrix && reinterpret_cast<MV2Object*>(p2) == player &&
            d->state == kMV2ShellSnapping) {
            player->energy -= 10.0f;
            MV2PlaySoundAt(&player->matrix->pos, 1.0f, MV2CreatureSound("GROUNDCOLLISION"), 0, 1, 0);
            MV2PlaySoundAt(&player->matrix->pos, 1.0f, MV2CreatureSound("METALCOLLISION"), 0, 1, 0);
            d->hit = 1;
            ZeroSpin(object);
            Restart(object, d, kMV2ShellCreeping);
            object->matrix->up = kWorldUp;
            MV2RebuildAroundUp(object->matrix, kWorldUp);
            MV2SyncObjectFrame(object);
        }
        break;
    case 18:
        if (d->state == kMV2ShellSettling) {
            Restart(object, d, kMV2ShellCreeping);
            if (const TvV3d* n = MV2GetContactNormal()) MV2RebuildAroundUp(object->matrix, *n);
            MV2SyncObjectFrame(object);
            ZeroSpin(object);
        }
        break;
    case 75: return d->active;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2FlowingTextureHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    switch (message) {
    case 3: {
        const intptr_t result = MV2ObjectDefaultHandler(object, 3, p1, p2);
        if (result && object->matrix) {
            MV2RotateMatrixInPlace(object->matrix, &object->matrix->up, 120.0f, 1);
            MV2SyncObjectFrame(object);
        }
        g_flowPhase = 0.0f;
        return result;
    }
    case 2: {
        const MV2ObjectHandle handle = object->handle;
        const intptr_t result = MV2ObjectDefaultHandler(object, 2, p1, p2);
        if (!MV2ObjectHandleAlive(handle)) return result;
        g_flowPhase -= MV2FrameSeconds() * 0.1f;
        g_flowPhase -= std::floor(g_flowPhase);
        TpAtomic* root = object->clump ? MV2FindRootAtomic(object->clump) : nullptr;
        TpGeometry* g = root ? TpAtomicGetGeometry(root) : nullptr;
        TpMorphTarget* target = g ? TpGeometryGetMorphTarget(g, 0) : nullptr;
        if (target && target->vertices && g->texCoords) {
            TpGeometryLock(g, kTpLockTexCoords);
            for (int32_t i = 0; i < g->numVertices; i++) {
                const TvV3d& p = target->vertices[i];
                float v = g_flowPhase + (std::fabs(p.x) + p.y + std::fabs(p.z)) * 0.03f;
                if (v < 0.0f) v += std::ceil(-v); // whole turns added until it is 0 or above
                g->texCoords[i].v = v;
            }
            TpGeometryUnlock(g);
        }
        if (object->energy <= 0.0f) MV2ObjectSendMessage(object, 4, 1, 0);
        return result;
    }
    case 44:
    case 75: return 0;
    case 80: return 1;
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

float MV2GetFlowPhase() {
    return g_flowPhase;
}

void MV2RegisterShellHandlers() {
    MV2SetObjectTypeHandler(kShellType, MV2SnappingShellHandler);
    MV2SetObjectTypeHandler(kFlowType, MV2FlowingTextureHandler);
}
