// Jellyfish, young jellies, eggs and the jelly mother's fight.
#include "game/creatures/jellyfish.h"

#include <cmath>
#include <numbers>

#include "engine/core/frame.h"
#include "engine/core/matrix.h"
#include "engine/world/anim.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "engine/world/world.h"
#include "game/creatures/ambient.h"
#include "game/creatures/animkeys.h"
#include "game/creatures/creatures.h"
#include "game/creatures/creaturemath.h"
#include "game/effects/explosions.h"
#include "game/missions/missionflow.h"
#include "game/missions/missionhelpers.h"
#include "game/objects/camera.h"
#include "game/objects/clumpdata.h"
#include "game/objects/dynamics.h"
#include "game/objects/levels.h"
#include "game/objects/objectsounds.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"
#include "game/player/playercraft.h"
#include "shell/cdaudio.h"
#include "shell/gamestate.h"

namespace {

constexpr int32_t kJellyfish = 59;
constexpr int32_t kYoungJelly = 60;
constexpr int32_t kEgg = 61;
constexpr int32_t kLesserJelly = 185;
constexpr int32_t kMother = 368;
constexpr int32_t kOpening = 369;
constexpr int32_t kPod = 370;
constexpr int32_t kWaypointType = 55;
constexpr TvV3d kWorldUp{0.0f, 1.0f, 0.0f};
constexpr TvV3d kWorldX{1.0f, 0.0f, 0.0f};

MV2JellyMotherState g_mother;
// The callbacks the jellyfish models had before the swim callbacks replaced them.
TpAnimSequenceCallBack g_savedSwim[2];

uint32_t Now() {
    return MV2GameClock();
}
void Sound(const TvV3d& at, float radius, const char* name, int32_t b = 0) {
    MV2PlaySoundAt(&at, radius, MV2CreatureSound(name), 0, 1, b);
}
void Explode(const TvV3d& at, float size, uint32_t kind, uint32_t flags) {
    const float p[3] = {at.x, at.y, at.z};
    MV2CreateExplosion(p, size, 0.0f, nullptr, kind, flags);
}
TvV3d ToWorld(const TvMatrix* m, const TvV3d& p) {
    TvV3d out;
    TvV3dTransformPoints(&out, &p, 1, m);
    return out;
}
TvV3d Turned(const TvMatrix* m, const TvV3d& v) {
    TvV3d out;
    TvV3dTransformVectors(&out, &v, 1, m);
    return out;
}
void AnimStep(MV2Object* object, float amount) {
    if (object->clump) MV2AddAnimTime(object->clump, amount);
}
float TypeAnimStep(MV2Object* object) {
    return MV2FrameStep() * MV2TypeAnimRate(object);
}
MV2Object* PlayerSub() {
    MV2Object* sub = MV2GetPlayerSub();
    return sub && sub->matrix ? sub : nullptr;
}
int32_t KeyCount(TpGeometry* g) {
    int32_t n = 0;
    while (n < 4096 && TpAnimSequenceGeometryGetKey(g, n))
        ++n;
    return n;
}
TpGeometry* RootGeometry(MV2Object* object) {
    TpAtomic* root = object->clump ? MV2FindRootAtomic(object->clump) : nullptr;
    return root ? TpAtomicGetGeometry(root) : nullptr;
}

// ---------------------------------------------------------------------------------------------
// Jellyfish and lesser jellyfish

struct CategorySearch {
    MV2Object* self;
    MV2Object* found;
};

int32_t FindCraft(TpIntersection*, TpWorldSector*, TpAtomic* atomic, float, void* data) {
    auto* s = static_cast<CategorySearch*>(data);
    MV2Object* other = MV2GetClumpObject(TpAtomicGetClump(atomic));
    if (!other || other == s->self || other->aiCategory != 6 || !other->matrix) return 1;
    s->found = other;
    return 0;
}

MV2Object* SearchCraft(MV2Object* self, float radius) {
    CategorySearch s{self, nullptr};
    if (TpWorld* world = TpWorldGetCurrent())
        MV2ForAllAtomicsInSphere(world, &self->matrix->pos, radius, FindCraft, &s);
    return s.found;
}

template <typename T>
T* Record(MV2Object* object) {
    return static_cast<T*>(MV2GetAmbientExtension(object));
}

// Turns and pushes the jelly along d; false when it is gone.
bool Swim(MV2Object* jelly, TvV3d d, bool lesser) {
    TvMatrix* m = jelly->matrix;
    if (lesser) {
        MV2RotateMatrixInPlace(m, &m->up, TvV3dDot(m->right, d) * 10.0f, 2);
        MV2RotateMatrixInPlace(m, &m->right, TvV3dDot(m->at, d) * 5.0f, 2);
    } else {
        MV2RotateMatrixInPlace(m, &kWorldUp, TvV3dDot(m->right, d) * 10.0f, 1);
        MV2RotateMatrixInPlace(m, &kWorldX, TvV3dDot(m->at, d) * 5.0f, 1);
    }
    MV2ApplyBuoyancy(jelly);
    const MV2ObjectHandle handle = jelly->handle;
    if (!MV2ObjectDefaultHandler(jelly, 2, 0, 0) || !MV2ObjectHandleAlive(handle)) return false;
    const float surface = MV2GetWaterHeight(&m->pos);
    if (m->pos.y > surface) m->pos.y = surface;
    MV2SyncObjectFrame(jelly);
    return true;
}

// The chase towards d (not yet unit) while chasing, then the swim push, then the shared
// handler's update when not chasing.
intptr_t ChaseAndPush(MV2Object* jelly, MV2Object* target, TvV3d dir, bool lesser,
                      int32_t& chasing, int32_t& close, uint32_t& fleeUntil, const float& thrust) {
    TvMatrix* m = jelly->matrix;
    if (chasing && target) {
        jelly->flags |= kMV2ObjectAnimate;
        const bool spent = jelly->energy <= 0.0f;
        const float len = MV2Normalise(&dir);
        if (len < 4.0f && (lesser || TvV3dDot(m->at, dir) > 0.0f)) close = 1;
        if (len < 0.001f) dir = kWorldX;
        if (len < 2.0f) fleeUntil = Now() + 2000;
        if (int32_t(Now() - fleeUntil) < 0) dir = TvV3dScale(dir, -1.0f);
        if (!Swim(jelly, dir, lesser)) return 1;
        if (spent) chasing = 0;
    }
    const TvV3d push = TvV3dScale(m->up, thrust);
    MV2AddForce(jelly, &push);
    if (chasing) {
        MV2CheckObjectDestroyed(jelly);
        return 1;
    }
    return MV2AmbientCreatureHandler(jelly, 2, 0, 0);
}

intptr_t JellyUpdate(MV2Object* jelly, MV2JellyfishRecord* d) {
    const float seconds = MV2FrameSeconds();
    d->close = d->chasing = 0;
    d->stingCooldown -= seconds;
    d->arrivalCooldown -= seconds;
    TvMatrix* m = jelly->matrix;
    MV2Object* assigned = MV2GetObjectRef(&d->assigned);
    if (d->arrivalCooldown < 0.0f && assigned && assigned->matrix &&
        MV2TypeOf(assigned) == kWaypointType &&
        MV2ObjectDistanceSquared(jelly, assigned) < 4.0) {
        MV2ObjectSendMessage(jelly, 47, 0, reinterpret_cast<intptr_t>(assigned));
        d->arrivalCooldown = 1.0f;
    }
    MV2Object* target = nullptr;
    if (gMV2GameState.current != 12) {
        d->searchCountdown -= seconds;
        if (d->searchCountdown < 0.0f) {
            d->searchCountdown = 5.0f;
            d->found = SearchCraft(jelly, 16.0f);
            d->foundHandle = d->found ? d->found->handle : 0;
            if (d->found) {
                d->chasing = 1;
                target = d->found;
            }
        } else if (d->found && MV2ObjectHandleAlive(d->foundHandle) && d->found->matrix) {
            d->chasing = 1;
            target = d->found;
        }
    }
    if (!d->chasing && assigned && assigned->matrix) {
        d->chasing = 1;
        target = assigned;
    }
    TvV3d dir{};
    if (d->chasing && target) {
        const TvV3d to = TvV3dSub(target->matrix->pos, m->pos);
        dir = to;
        if (MV2TypeOf(target) == kMother)
            dir = d->circlingSide == 0 ? TvV3dCross(to, kWorldUp) : TvV3dCross(kWorldUp, to);
    }
    return ChaseAndPush(jelly, target, dir, false, d->chasing, d->close, d->fleeUntil, d->thrust);
}

intptr_t LesserUpdate(MV2Object* jelly, MV2LesserJellyRecord* d) {
    const float seconds = MV2FrameSeconds();
    d->close = d->chasing = 0;
    TvMatrix* m = jelly->matrix;
    MV2Object* target = nullptr;
    d->searchCountdown -= seconds;
    if (d->searchCountdown < 0.0f) {
        d->searchCountdown = 5.0f;
        if (MV2Object* found = SearchCraft(jelly, 6.0f))
            MV2SetObjectRef(&d->found, found);
        else
            MV2ClearObjectRef(&d->found);
    }
    if (MV2Object* found = MV2GetObjectRef(&d->found); found && found->matrix) {
        d->chasing = 1;
        target = found;
    }
    MV2Object* assigned = MV2GetObjectRef(&d->assigned);
    if (!d->chasing && assigned && assigned->matrix) {
        d->chasing = 1;
        target = assigned;
    }
    const TvV3d dir = target ? TvV3dSub(target->matrix->pos, m->pos) : TvV3d{};
    return ChaseAndPush(jelly, target, dir, true, d->chasing, d->close, d->fleeUntil, d->thrust);
}

void Sting(MV2Object* jelly, MV2Object* other, float amount) {
    Sound(jelly->matrix->pos, 5.0f, "GROUNDCOLLISION");
    Sound(jelly->matrix->pos, 5.0f, "METALCOLLISION");
    other->energy -= amount;
}

template <typename T>
intptr_t CreateJelly(MV2Object* jelly, intptr_t p1, intptr_t p2, int32_t kind,
                     TpAnimSequenceCallBack swim) {
    const intptr_t result = MV2AmbientCreatureHandler(jelly, 3, p1, p2);
    auto* shared = static_cast<MV2AmbientCreature*>(jelly->privateData);
    if (!result || !shared) return result;
    TpGeometry* g = RootGeometry(jelly);
    if (!g) return 0;
    jelly->aiCategory = 7;
    auto* d = reinterpret_cast<T*>(shared + 1);
    *d = T{};
    if constexpr (requires { d->circlingSide; }) d->circlingSide = int32_t((TvRandom() >> 2) & 1);
    MV2AmbientCreatureHandler(jelly, 28, 0, reinterpret_cast<intptr_t>(d));
    // The model's own callback is kept once, for each model it is installed on.
    if (TpAnimSequenceGeometryGetCallBack(g) != swim) {
        g_savedSwim[kind] = TpAnimSequenceGeometryGetCallBack(g);
        if (!TpAnimSequenceGeometrySetCallBack(g, swim)) return 0;
    }
    return result;
}

float ChainSwim(int32_t kind, TpAtomic* atomic, float position) {
    TpAnimSequenceCallBack saved = g_savedSwim[kind];
    return saved ? saved(atomic, position) : TpAnimSequenceDefaultCallBack(atomic, position);
}

// ---------------------------------------------------------------------------------------------
// Young jelly and egg

intptr_t BabyUpdate(MV2Object* baby, MV2BabyJellyData* d) {
    const float seconds = MV2FrameSeconds();
    TvMatrix* m = baby->matrix;
    if (MV2Object* target = MV2GetObjectRef(&d->target); target && target->matrix) {
        TvV3d dir = TvV3dSub(target->matrix->pos, m->pos);
        const float len = MV2Normalise(&dir);
        if (len < 2.0f && d->life > 1.0f) d->life = 1.0f;
        MV2RotateMatrixInPlace(m, &kWorldUp, TvV3dDot(m->right, dir) * seconds * 360.0f, 1);
        MV2RotateMatrixInPlace(m, &kWorldX, TvV3dDot(m->at, dir) * seconds * 360.0f, 1);
        MV2SyncObjectFrame(baby);
    }
    if (d->life < 2.0f) {
        d->life -= seconds;
        if (d->life < 0.0f) baby->energy = -1.0f;
    }
    AnimStep(baby, MV2FrameStep() * 3.0f);
    const int32_t key = MV2GetRootKey(baby);
    if (d->pulse == 0 && key == 4) {
        d->pulse = 1;
        const TvV3d push = TvV3dScale(m->up, seconds * 15.0f);
        MV2AddForce(baby, &push);
    } else if (d->pulse == 1 && key != 4) {
        d->pulse = 0;
    }
    return MV2ObjectDefaultHandler(baby, 2, 0, 0);
}

// ---------------------------------------------------------------------------------------------
// Mother, opening and pods

void YoungJelly(const TvV3d& at, MV2Object* target) {
    const float p[3] = {at.x, at.y, at.z};
    if (MV2Object* baby = MV2CreateObject(kYoungJelly, p, nullptr))
        MV2ObjectSendMessage(baby, 33, 0, reinterpret_cast<intptr_t>(target));
}

intptr_t MotherUpdate(MV2Object* mother) {
    const int32_t sound = MV2CreatureSound("JELLYMUMMOVE");
    if (g_mother.active) {
        AnimStep(mother, TypeAnimStep(mother));
        MV2StartObjectSound(mother, sound, &g_mother.sound, 0, 0);
    } else {
        MV2StopObjectSound(mother, sound, &g_mother.sound);
    }
    if (g_mother.active && !g_mother.playerNear)
        if (MV2Object* sub = PlayerSub(); sub && MV2ObjectDistanceSquared(sub, mother) < 35.0 * 35.0) {
            g_mother.playerNear = 1;
            MV2PlayCutScene(0x000DFFFF, 0x000D0001);
            MV2PlayMusicTrack(16 + int32_t(MV2RandomBits(1)));
        }
    if (!g_mother.vulnerable) return 1;
    if (mother->energy > 0.0f) {
        if (mother->energy < g_mother.lastEnergy)
            Explode(TvV3dAdd(mother->matrix->pos, TvV3dScale(mother->matrix->up, 3.0f)), 1.5f, 8, 0);
        g_mother.lastEnergy = mother->energy;
        return 1;
    }
    if (!g_mother.dying) {
        g_mother.dying = 1;
        g_mother.active = 0;
        g_mother.deathCountdown = 0.5f;
    }
    Sound(mother->matrix->pos, 30.0f, "JELLYMUMDIE");
    if (g_mother.deathCountdown <= 0.0f) {
        MV2ObjectSendMessage(mother, 4, 1, 0);
        return 1;
    }
    g_mother.deathCountdown -= MV2FrameSeconds();
    if (g_mother.deathCountdown <= 0.0f) {
        MV2SpawnLevelRecord(0x0043FFFF, 15);
        if (MV2Object* object = MV2FindObjectByScriptID(37)) MV2ObjectSendMessage(object, 4, 1, 0);
    }
    return 1;
}

TpGeometry* FirstGeometry(MV2Object* object) {
    TpAtomic* atomic = object->clump ? MV2GetFirstAtomic(object->clump) : nullptr;
    return atomic ? TpAtomicGetGeometry(atomic) : nullptr;
}

void Finale(MV2Object* opening) {
    TpGeometry* g = FirstGeometry(opening);
    TpMorphTarget* target = g ? TpGeometryGetMorphTarget(g, 0) : nullptr;
    MV2Object* scene = MV2FindObjectByScriptID(37);
    TpGeometry* sg = scene && scene->matrix ? FirstGeometry(scene) : nullptr;
    TpMorphTarget* st = sg ? TpGeometryGetMorphTarget(sg, 0) : nullptr;
    for (int32_t i = 0; i < 10; i++) {
        // A geometry without vertices gives no explosion and no piece.
        if (target && target->vertices && g->numVertices > 0) {
            const int32_t v = int32_t(uint32_t(TvRandom()) % uint32_t(g->numVertices));
            const TvV3d at = ToWorld(opening->matrix, target->vertices[v]);
            Explode(at, 1.5f, 8, 0);
            const float p[3] = {at.x, at.y, at.z};
            MV2CreateObject(111, p, nullptr);
        }
        MV2PlayCutScene(0x0038FFFF, 0);
        MV2StartCameraShake(1, 0.5f);
        if (st && st->vertices)
            for (int32_t v = 0; v < sg->numVertices; v++) {
                TvV3d at = ToWorld(scene->matrix, st->vertices[v]);
                at.y -= 0.5f;
                Explode(at, 3.0f, 4, 0x1A);
            }
    }
    MV2NotifyObjectScript(opening, 13, 0, 0);
    MV2ObjectSendMessage(opening, 4, 1, 0);
}

intptr_t OpeningUpdate(MV2Object* opening) {
    MV2Object* mother = g_mother.mother;
    if (!mother) return MV2ObjectDefaultHandler(opening, 2, 0, 0);
    if (!g_mother.active) {
        Finale(opening);
        return 1;
    }
    const float seconds = MV2FrameSeconds();
    AnimStep(opening, TypeAnimStep(opening));
    if (g_mother.open) {
        const bool before = g_mother.phase < std::numbers::pi_v<float>;
        g_mother.phase = std::min(g_mother.phase + seconds * 3.0f, std::numbers::pi_v<float>);
        MV2Object* player = MV2GetPlayerObject();
        if (before && g_mother.phase >= std::numbers::pi_v<float> && player && player->matrix) {
            TvV3d d = TvV3dSub(player->matrix->pos, opening->matrix->pos);
            d.y = 0.0f;
            MV2Normalise(&d);
            const TvV3d side = TvV3dScale(TvV3dCross(d, kWorldUp), 0.5f);
            const TvV3d centre = TvV3dAdd(opening->matrix->pos, TvV3dScale(d, 2.0f));
            YoungJelly(TvV3dAdd(centre, side), player);
            YoungJelly(TvV3dSub(centre, side), player);
        }
    } else {
        g_mother.phase = std::max(g_mother.phase - seconds * 3.0f, 0.0f);
    }
    g_mother.openingTimer -= seconds;
    if (g_mother.openingTimer < 0.0f) {
        MV2CountObjectsNear(opening, 10.0f);
        if (MV2GetNearbyObjectCount(kPod) == 0) {
            g_mother.open = !g_mother.open;
            if (!g_mother.vulnerable && g_mother.armed) {
                g_mother.vulnerable = 1;
                mother->energy = MV2InitialEnergy(mother);
            }
            Sound(opening->matrix->pos, 30.0f, "JELLYMUMSTRETCH");
        } else {
            g_mother.open = 0;
            mother->energy = MV2InitialEnergy(mother);
        }
        g_mother.lastEnergy = mother->energy;
        g_mother.openingTimer = g_mother.open ? 3.0f : 5.0f;
    }
    opening->matrix->pos =
        TvV3dAdd(mother->matrix->pos, TvV3dScale(kWorldUp, 4.0f - std::cos(g_mother.phase)));
    MV2SyncObjectFrame(opening);
    return MV2ObjectDefaultHandler(opening, 2, 0, 0);
}

MV2JellyPodData* Pod(MV2Object* object) {
    return static_cast<MV2JellyPodData*>(object->privateData);
}

// The carried jellyfish gets its own handler back.
void Release(MV2JellyPodData* d) {
    if (MV2Object* jelly = MV2GetObjectRef(&d->carried); jelly && d->carriedHandler)
        jelly->typeHandler = d->carriedHandler;
    MV2ClearObjectRef(&d->carried);
    d->carriedHandler = nullptr;
}

intptr_t PodUpdate(MV2Object* pod, MV2JellyPodData* d) {
    const float seconds = MV2FrameSeconds();
    TvMatrix* m = pod->matrix;
    if (g_mother.active) {
        AnimStep(pod, TypeAnimStep(pod));
        if (g_mother.playerNear) {
            d->breedTimer -= seconds;
            if (d->breedTimer < 0.0f) {
                MV2CountObjectsNear(pod, kMV2JellyBreedRadius);
                if (MV2GetNearbyObjectCount(kJellyfish) < kMV2JellyBreedCap) d->breedRequest = 1;
                d->breedTimer = (MV2RandomUnit() + 1.0f) * 10.0f;
            }
        }
    }
    MV2Object* jelly = MV2GetObjectRef(&d->carried);
    if (!jelly && d->carried.object) {
        // The carried jellyfish died: its handle is dropped.
        MV2ClearObjectRef(&d->carried);
        d->carriedHandler = nullptr;
    }
    if (jelly && jelly->matrix && d->mouth && d->outlet) {
        d->progress += seconds * 5.0f;
        const TvV3d path = TvV3dSub(*d->outlet, *d->mouth);
        TvMatrix* j = jelly->matrix;
        j->pos = ToWorld(m, TvV3dAdd(*d->mouth, TvV3dScale(path, d->progress)));
        j->up = MV2Unit(Turned(m, path));
        j->right = MV2Unit(TvV3dCross(j->up, j->at));
        j->at = TvV3dCross(j->right, j->up);
        if (jelly->body) jelly->body->velocity = TvV3dScale(j->up, 0.33f);
        MV2SyncObjectFrame(jelly);
    }
    MV2Object* sub = PlayerSub();
    if (sub && g_mother.active && g_mother.mother && g_mother.mother->matrix) {
        const TvV3d& mp = g_mother.mother->matrix->pos;
        TvV3d toPod{m->pos.x - mp.x, 0.0f, m->pos.z - mp.z};
        TvV3d toPlayer{sub->matrix->pos.x - mp.x, 0.0f, sub->matrix->pos.z - mp.z};
        MV2Normalise(&toPod);
        MV2Normalise(&toPlayer);
        if (TvV3dDot(toPod, toPlayer) > 0.707f) {
            TvV3d right{m->right.x, 0.0f, m->right.z};
            TvV3d aim{sub->matrix->pos.x - m->pos.x, 0.0f, sub->matrix->pos.z - m->pos.z};
            MV2Normalise(&right);
            MV2Normalise(&aim);
            MV2RotateMatrixInPlace(m, &m->up, TvV3dDot(right, aim) * seconds * 45.0f, 2);
        }
    }
    m->pos = d->restPosition;
    m->up = d->restUp;
    m->right = MV2Unit(TvV3dCross(m->up, m->at));
    m->at = TvV3dCross(m->right, m->up);
    MV2SyncObjectFrame(pod);
    const TvV3d outlet = d->outlet ? ToWorld(m, *d->outlet) : m->pos;
    if (pod->energy < 0.0f) {
        Explode(outlet, 2.0f, 8, 0);
        MV2CreateDebris(pod);
        MV2ObjectSendMessage(pod, 4, 1, 0);
        return 1;
    }
    if (pod->energy < d->lastEnergy) {
        TvV3d r;
        MV2RandomDirection(&r);
        Explode(TvV3dAdd(outlet, TvV3dScale(r, 0.5f)), 1.0f, 8, 0);
    }
    d->lastEnergy = pod->energy;
    return 1;
}

intptr_t PodCreate(MV2Object* pod, intptr_t p1, intptr_t p2) {
    if (!MV2ObjectDefaultHandler(pod, 3, p1, p2)) return 0;
    MV2JellyPodData* d = Pod(pod);
    if (!d || !pod->matrix || !pod->clump) return 0;
    *d = MV2JellyPodData{};
    d->breedTimer = MV2RandomUnit() * 10.0f;
    if (TvFrame* mouth = MV2FindFrameByTag(pod->clump, 2)) d->mouth = &TvFrameGetMatrix(mouth)->pos;
    if (TvFrame* outlet = MV2FindFrameByTag(pod->clump, 3))
        d->outlet = &TvFrameGetMatrix(outlet)->pos;
    d->lastEnergy = pod->energy;
    d->restPosition = pod->matrix->pos;
    d->restUp = pod->matrix->up;
    TpAtomic* part = MV2FindAtomicByTag(pod->clump, 1);
    TpGeometry* g = part ? TpAtomicGetGeometry(part) : nullptr;
    if (!g || !TpAnimSequenceGeometrySetCallBack(g, MV2JellyBreedCallback)) return 0;
    return 1;
}

} // namespace

float MV2JellySwimThrust(int32_t k, int32_t close, bool lesser) {
    if (k < 0 || k > 3) return 0.0f;
    if (lesser) return close ? float(k) * 0.06f : 0.0f;
    return float(k) * (close ? 0.3f : 0.1f);
}

float MV2JellySwimCallback(TpAtomic* atomic, float position) {
    const int32_t k = TpAnimSequenceAtomicGetCurrentKeyIndex(atomic);
    MV2Object* jelly = MV2AtomicObject(atomic);
    if (jelly && jelly->matrix && MV2TypeOf(jelly) == kJellyfish)
        if (auto* d = Record<MV2JellyfishRecord>(jelly)) {
            d->thrust = MV2JellySwimThrust(k, d->close, false);
            if (k == 2) Sound(jelly->matrix->pos, 1.0f, "JELLY");
        }
    return ChainSwim(0, atomic, position);
}

float MV2LesserJellySwimCallback(TpAtomic* atomic, float position) {
    const int32_t k = TpAnimSequenceAtomicGetCurrentKeyIndex(atomic);
    MV2Object* jelly = MV2AtomicObject(atomic);
    if (jelly && jelly->matrix && MV2TypeOf(jelly) == kLesserJelly)
        if (auto* d = Record<MV2LesserJellyRecord>(jelly)) {
            d->thrust = MV2JellySwimThrust(k, d->close, true);
            if (k == 2) Sound(jelly->matrix->pos, 1.0f, "JELLY");
        }
    return ChainSwim(1, atomic, position);
}

float MV2JellyBreedCallback(TpAtomic* atomic, float position) {
    TpGeometry* g = TpAtomicGetGeometry(atomic);
    const int32_t k = TpAnimSequenceAtomicGetCurrentKeyIndex(atomic);
    const TpAnimKey* key = TpAnimSequenceGeometryGetKey(g, k);
    if (!key) return 0.0f;
    const float duration = key->duration;
    MV2Object* pod = MV2AtomicObject(atomic);
    MV2JellyPodData* d = pod && MV2TypeOf(pod) == kPod ? Pod(pod) : nullptr;
    auto go = [&](int32_t next) {
        if (TpAnimSequenceGeometryGetKey(g, next)) TpAnimSequenceAtomicSetCurrentKey(atomic, next);
        return position - duration;
    };
    if (d && d->breedRequest) {
        d->breedRequest = 0;
        d->breeding = 1;
        if (pod->matrix) Sound(pod->matrix->pos, 30.0f, "JELLYMUMBIRTH");
        return go(1);
    }
    switch (k) {
    case 0: return duration - 0.001f; // idles on key 0
    case 5:
        if (d && pod->matrix && d->mouth) {
            const TvV3d at = ToWorld(pod->matrix, *d->mouth);
            const float p[3] = {at.x, at.y, at.z};
            if (MV2Object* jelly = MV2CreateObject(kJellyfish, p, nullptr)) {
                if (g_mother.mother)
                    MV2ObjectSendMessage(jelly, 33, 0, reinterpret_cast<intptr_t>(g_mother.mother));
                MV2SetObjectRef(&d->carried, jelly);
                d->carriedHandler = jelly->typeHandler;
                jelly->typeHandler = MV2ObjectDefaultHandler;
                d->progress = 0.0f;
            }
        }
        return go(6);
    case 7:
        if (d) {
            Release(d);
            d->breeding = 0;
        }
        return go(8);
    default: return go((k + 1) % std::max(KeyCount(g), 1));
    }
}

namespace {

// A touch of another object while the jelly chases and is close: the jellyfish stings AI
// categories 6 and 9 for 5 with a second's rest, the lesser jelly category 6 only, for 2.
void Touched(MV2Object* jelly, MV2JellyfishRecord* d, MV2Object* other) {
    if (d->chasing && d->close && (other->aiCategory == 6 || other->aiCategory == 9) &&
        d->stingCooldown <= 0.0f) {
        Sting(jelly, other, 5.0f);
        d->stingCooldown = 1.0f;
    }
}

void Touched(MV2Object* jelly, MV2LesserJellyRecord* d, MV2Object* other) {
    if (d->chasing && d->close && other->aiCategory == 6) Sting(jelly, other, 2.0f);
}

// The handler the jellyfish and the lesser jelly share over their own records.
template <typename T>
intptr_t JellyHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2, int32_t kind,
                      TpAnimSequenceCallBack swim, intptr_t (*update)(MV2Object*, T*)) {
    if (message == 96) return MV2AnswerAmbientSize(object, p1, p2, sizeof(T));
    if (message == 3) return CreateJelly<T>(object, p1, p2, kind, swim);
    auto* d = object->privateData && object->matrix ? Record<T>(object) : nullptr;
    if (!d) return MV2AmbientCreatureHandler(object, message, p1, p2);
    switch (message) {
    case 2: return update(object, d);
    case 4:
        MV2AmbientCreatureHandler(object, 28, 0, 0);
        return MV2AmbientCreatureHandler(object, 4, p1, p2);
    case 14:
        if (auto* other = reinterpret_cast<MV2Object*>(p2)) Touched(object, d, other);
        break;
    case 33:
        if (auto* o = reinterpret_cast<MV2Object*>(p2)) {
            MV2SetObjectRef(&d->assigned, o);
            d->chasing = 1;
        }
        return 1;
    default: break;
    }
    return MV2AmbientCreatureHandler(object, message, p1, p2);
}

} // namespace

intptr_t MV2JellyfishHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    return JellyHandler<MV2JellyfishRecord>(object, message, p1, p2, 0, MV2JellySwimCallback,
                                            JellyUpdate);
}

intptr_t MV2LesserJellyHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    return JellyHandler<MV2LesserJellyRecord>(object, message, p1, p2, 1,
                                              MV2LesserJellySwimCallback, LesserUpdate);
}

intptr_t MV2BabyJellyHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2BabyJellyData));
    auto* d = static_cast<MV2BabyJellyData*>(object->privateData);
    if (message == 3) {
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        d = static_cast<MV2BabyJellyData*>(object->privateData);
        if (!d) return 0;
        *d = MV2BabyJellyData{0, 2.0f, {}};
        return 1;
    }
    if (!d || !object->matrix) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2: return BabyUpdate(object, d);
    case 14:
        if (auto* other = reinterpret_cast<MV2Object*>(p2);
            other && other == MV2GetObjectRef(&d->target))
            object->energy = -1.0f;
        break;
    case 33:
        if (auto* o = reinterpret_cast<MV2Object*>(p2))
            MV2SetObjectRef(&d->target, o);
        else
            MV2ClearObjectRef(&d->target);
        return 1;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2JellyEggHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, 0);
    if (message == 3) {
        const intptr_t result = MV2ObjectDefaultHandler(object, 3, p1, p2);
        if (result) object->words[0] = intptr_t(Now()); // the laying time
        return result;
    }
    if (message == 2 && object->matrix) {
        const float age = float(Now() - uint32_t(object->words[0])) / 60000.0f;
        if (age > kMV2JellyEggMinutes) {
            const TvV3d at = object->matrix->pos;
            MV2ObjectSendMessage(object, 4, 1, 0);
            const float p[3] = {at.x, at.y, at.z};
            MV2CreateObject(kYoungJelly, p, nullptr);
            return 1;
        }
        AnimStep(object, (age * age * 0.036f + 0.05f) * MV2FrameStep());
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2JellyMotherHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    switch (message) {
    case 2: return object->matrix ? MotherUpdate(object) : 1;
    case 3: {
        const intptr_t result = MV2ObjectDefaultHandler(object, 3, p1, p2);
        if (!result) return result;
        const float phase = g_mother.phase;
        const float timer = g_mother.openingTimer;
        const int32_t armed = g_mother.armed;
        MV2Object* opening = g_mother.opening;
        g_mother = MV2JellyMotherState{};
        g_mother.opening = opening, g_mother.phase = phase, g_mother.openingTimer = timer;
        g_mother.armed = armed;
        g_mother.active = 1;
        g_mother.mother = object;
        g_mother.lastEnergy = object->energy;
        object->typeWord &= ~kMV2ObjectCollidesWorld;
        MV2ObjectSendMessage(object, 0, 1, 0);
        return result;
    }
    case 4:
        if (g_mother.mother == object) g_mother.mother = nullptr;
        MV2StopObjectSound(object, MV2CreatureSound("JELLYMUMMOVE"), &g_mother.sound);
        MV2StopMusicTrack();
        return MV2ObjectDefaultHandler(object, 4, p1, p2);
    case 96: return MV2AnswerSize(p2, 0);
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

intptr_t MV2JellyMotherBirthHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    switch (message) {
    case 2: return object->matrix ? OpeningUpdate(object) : 1;
    case 3: {
        const intptr_t result = MV2ObjectDefaultHandler(object, 3, p1, p2);
        if (!result) return result;
        g_mother.phase = 0.0f;
        g_mother.openingTimer = 0.0f;
        g_mother.armed = 0;
        g_mother.opening = object;
        return result;
    }
    case 4:
        if (g_mother.opening == object) g_mother.opening = nullptr;
        return MV2ObjectDefaultHandler(object, 4, p1, p2);
    case 12:
        g_mother.armed = 1;
        return MV2ObjectDefaultHandler(object, 12, p1, p2);
    case 96: return MV2AnswerSize(p2, 0);
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

intptr_t MV2JellyPodHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2JellyPodData));
    if (message == 3) return PodCreate(object, p1, p2);
    MV2JellyPodData* d = Pod(object);
    if (!d || !object->matrix) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2: return PodUpdate(object, d);
    case 4: Release(d); break;
    case 14: {
        auto* other = reinterpret_cast<MV2Object*>(p2);
        if (!other) break;
        const int32_t type = MV2TypeOf(other);
        if (other == MV2GetObjectRef(&d->carried) || (type >= 368 && type <= 372)) return 0;
        break;
    }
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

const MV2JellyMotherState& MV2GetJellyMotherState() {
    return g_mother;
}

void MV2ResetJellyMother() {
    g_mother = MV2JellyMotherState{};
}

void MV2RegisterJellyHandlers() {
    MV2SetObjectTypeHandler(kJellyfish, MV2JellyfishHandler);
    MV2SetObjectTypeHandler(kLesserJelly, MV2LesserJellyHandler);
    MV2SetObjectTypeHandler(kYoungJelly, MV2BabyJellyHandler);
    MV2SetObjectTypeHandler(kEgg, MV2JellyEggHandler);
    MV2SetObjectTypeHandler(kMother, MV2JellyMotherHandler);
    MV2SetObjectTypeHandler(kOpening, MV2JellyMotherBirthHandler);
    MV2SetObjectTypeHandler(kPod, MV2JellyPodHandler);
}
