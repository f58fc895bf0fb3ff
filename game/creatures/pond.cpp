// The pond creature boss, the pond skater and the rotor submarine.
#include "game/creatures/pond.h"

#include <algorithm>
#include <cmath>

#include "engine/core/frame.h"
#include "engine/core/matrix.h"
#include "engine/world/anim.h"
#include "engine/world/clump.h"
#include "game/creatures/animkeys.h"
#include "game/creatures/creaturemath.h"
#include "game/creatures/puppetboss.h"
#include "game/creatures/submarines.h"
#include "game/effects/primitives.h"
#include "game/effects/scorches.h"
#include "game/objects/dynamics.h"
#include "game/objects/levels.h"
#include "game/objects/objectsounds.h"
#include "game/objects/puppets.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"
#include "game/player/playercraft.h"
#include "game/player/weapons.h"
#include "shell/cdaudio.h"
#include "shell/gamestate.h"

namespace {

constexpr int32_t kPondyType = 243;
constexpr int32_t kSkaterType = 337;
constexpr int32_t kRotorType = 83;
constexpr int32_t kStingerType = 258;
constexpr int32_t kSpitType = 257;
constexpr int32_t kSkaterBolt = 146;
constexpr TvV3d kWorldUp{0.0f, 1.0f, 0.0f};

MV2PondState g_pond;

uint32_t Now() {
    return MV2GameClock();
}
bool Passed(uint32_t deadline) {
    return int32_t(Now() - deadline) >= 0;
}
void Sound(const TvV3d& at, float radius, const char* name, int32_t b = 0) {
    MV2PlaySoundAt(&at, radius, MV2CreatureSound(name), 0, 1, b);
}
MV2Object* Player() {
    MV2Object* player = MV2GetPlayerObject();
    return player && player->matrix ? player : nullptr;
}
void Play(const char* name, int32_t on = 1) {
    MV2PuppetBossPlay(g_pond.creature, name, on);
}
// A node's position turned by the owner's matrix and moved by its position.
TvV3d NodeWorld(const MV2Object* owner, const MV2PuppetNodeInstance* node) {
    TvV3d out;
    TvV3dTransformPoints(&out, &node->world.pos, 1, owner->matrix);
    return out;
}
MV2PuppetNodeInstance* Node(const char* name) {
    return MV2PuppetFindNode(MV2PuppetBossInstance(g_pond.creature), name);
}

// The return and look points follow their objects while those live.
const TvV3d& ReturnPoint() {
    MV2Object* o = MV2GetObjectRef(&g_pond.returnObject);
    return o && o->matrix ? o->matrix->pos : g_pond.initial;
}
const TvV3d& LookPoint() {
    MV2Object* o = MV2GetObjectRef(&g_pond.lookObject);
    return o && o->matrix ? o->matrix->pos : g_pond.initial;
}

void TurnTowards(MV2Object* creature, const TvV3d& point, float rate) {
    TvMatrix* m = creature->matrix;
    const TvV3d d = MV2Unit(TvV3dSub(point, m->pos));
    MV2RotateMatrixInPlace(m, &m->up, TvV3dDot(m->right, d) * MV2FrameStep() * rate, 2);
}

void ReleaseStinger(MV2Object* creature, MV2PuppetNodeInstance* sack) {
    if (!sack) return;
    for (MV2ObjectRef& slot : g_pond.stingers) {
        if (MV2GetObjectRef(&slot)) continue;
        const TvV3d p = NodeWorld(creature, sack);
        const float at[3] = {p.x, p.y, p.z};
        MV2Object* stinger = MV2CreateObject(kStingerType, at, nullptr);
        if (!stinger) {
            MV2ClearObjectRef(&slot);
            return;
        }
        MV2SetObjectRef(&slot, stinger);
        MV2ObjectSendMessage(stinger, 15, 1, reinterpret_cast<intptr_t>(creature));
        if (stinger->matrix) {
            stinger->matrix->right = creature->matrix->right;
            stinger->matrix->up = creature->matrix->up;
            stinger->matrix->at = creature->matrix->at;
            MV2RotateMatrixInPlace(stinger->matrix, &stinger->matrix->up, 180.0f, 2);
            MV2SyncObjectFrame(stinger);
        }
        return;
    }
}

void Spit(MV2Object* creature) {
    MV2Object* player = Player();
    MV2PuppetNodeInstance* snout = Node("NULL_snout");
    if (!player || !snout) return;
    const TvV3d p = NodeWorld(creature, snout);
    const float at[3] = {p.x, p.y, p.z};
    if (MV2Object* spit = MV2CreateObject(kSpitType, at, nullptr)) {
        MV2ObjectSendMessage(spit, 15, 0, reinterpret_cast<intptr_t>(creature));
        if (TvMatrix* m = spit->matrix) {
            m->up = MV2Unit(TvV3dSub(player->matrix->pos, p));
            m->right = MV2Unit(TvV3dCross(m->up, m->at));
            m->at = MV2Unit(TvV3dCross(m->right, m->up));
            MV2SyncObjectFrame(spit);
        }
    }
    Sound(creature->matrix->pos, 5.0f, "PONDYSPIT", 10000);
}

void EventSkate(void* user) {
    auto* creature = static_cast<MV2Object*>(user);
    if (g_pond.leftSackNode) ReleaseStinger(creature, g_pond.leftSackNode);
    if (g_pond.rightSackNode) ReleaseStinger(creature, g_pond.rightSackNode);
}
void EventEndSwipe(void*) {
    if (g_pond.state == 10) g_pond.deadline = Now();
}
void EventFire1(void* user) {
    g_pond.deadline = Now();
    Spit(static_cast<MV2Object*>(user));
}
void EventFire2(void* user) {
    if (--g_pond.shots < 0) {
        g_pond.deadline = Now();
        Play("fire", 0);
    }
    Spit(static_cast<MV2Object*>(user));
}
void ClearDeadline(void*) {
    g_pond.deadline = Now();
}
void EventScream(void* user) {
    Sound(static_cast<MV2Object*>(user)->matrix->pos, 10.0f, "PONDYATTACK", 10000);
}

const MV2PuppetCallback kEvents[8] = {
    {"cbskate", EventSkate}, {"endswipe", EventEndSwipe}, {"fire1", EventFire1},
    {"fire2", EventFire2},   {"fly", ClearDeadline},      {"push", ClearDeadline},
    {"scream", EventScream}, {"strafe", ClearDeadline},
};

MV2PuppetBossKind g_kind{"pondy", kEvents, 8, 80.0f, {}, 0};

void StepState(MV2Object* creature) {
    const uint32_t now = Now();
    const TvV3d& pos = creature->matrix->pos;
    switch (g_pond.state) {
    case 0:
        Play("dostride");
        g_pond.state = 1, g_pond.deadline = now + 10000;
        break;
    case 1: g_pond.state = 2, g_pond.deadline = now + 2000; break;
    case 2: g_pond.state = 3, g_pond.deadline = now + 3000; break;
    case 3:
        g_pond.deadline = now + 10000;
        g_pond.anchor = pos;
        if (MV2RandomBits(1)) {
            g_pond.state = 6;
            g_pond.strafe = TvV3dScale(creature->matrix->right, -1.0f);
            Play("rstrafe");
        } else {
            g_pond.state = 4;
            g_pond.strafe = creature->matrix->right;
            Play("lstrafe");
        }
        break;
    case 4: g_pond.state = 5, g_pond.deadline = now + 1000; break;
    case 5:
    case 7:
        g_pond.deadline = now + 5000;
        g_pond.volleys = 3;
        g_pond.state = 8;
        Play("lstrafe", 0);
        Play("rstrafe", 0);
        Play("fire");
        break;
    case 6: g_pond.state = 7, g_pond.deadline = now + 1000; break;
    case 8:
        if (--g_pond.volleys < 1) {
            g_pond.state = 9, g_pond.deadline = now + 10000;
            Play("dostride");
        } else {
            g_pond.deadline = now + 5000;
            Play("fire");
        }
        break;
    case 9: {
        g_pond.anchor = pos;
        float distance = 0.0f;
        if (MV2Object* player = Player()) distance = MV2Length(TvV3dSub(player->matrix->pos, pos));
        MV2PuppetNodeInstance* tip = Node("mandible_tip_left");
        g_pond.lunge = distance - (tip ? tip->world.pos.z : 5.0f);
        Play("return");
        g_pond.state = 10, g_pond.deadline = now + 1500;
        break;
    }
    case 10: g_pond.state = 11, g_pond.deadline = now + 30000, g_pond.speed = 0.0f; break;
    case 11:
        g_pond.state = 12, g_pond.deadline = now + 5000;
        Play("return", 0);
        break;
    case 12:
        if (g_pond.leftSack > 0.0f || g_pond.rightSack > 0.0f) {
            g_pond.state = 3, g_pond.deadline = now + 3000;
        } else {
            g_pond.state = 13, g_pond.deadline = now + 10000;
            Play("dotakeoff");
            Play("sit", 0);
        }
        break;
    case 13: g_pond.state = 14, g_pond.deadline = now + 8000; break;
    case 14:
        if (g_pond.body > 0.0f) {
            g_pond.volleys = 3, g_pond.shots = 5;
            g_pond.state = 15, g_pond.deadline = now + 5000;
            Play("fire");
        } else {
            g_pond.state = 16, g_pond.deadline = now + 10000;
            g_pond.corridor = 0;
            MV2SetAltThrustControl(0, 1, 1);
            MV2SpawnLevelRecord(0x011AFFFF, 19);
            Sound(pos, 5.0f, "PONDYDIE", 10000);
        }
        break;
    case 15:
        if (--g_pond.volleys > 0) {
            g_pond.shots = 5;
            g_pond.deadline = now + 5000;
            Play("fire");
        } else {
            g_pond.state = 14, g_pond.deadline = now + 8000;
        }
        break;
    case 16: MV2ObjectSendMessage(creature, 4, 1, 0); break;
    default: break;
    }
}

void Move(MV2Object* creature, MV2Object* player) {
    TvMatrix* m = creature->matrix;
    const float step = MV2FrameStep();
    const float t = float(int32_t(g_pond.deadline - Now()));
    switch (g_pond.state) {
    case 2:
        m->pos = TvV3dAdd(g_pond.anchor, TvV3dScale(m->at, g_pond.lunge * std::cos(t * 0.0007853982f)));
        break;
    case 5:
    case 7:
        m->pos = TvV3dAdd(g_pond.anchor, TvV3dScale(g_pond.strafe, 12.0f * std::cos(t * 0.0015707964f)));
        break;
    case 8:
    case 9: TurnTowards(creature, player->matrix->pos, 3.0f); break;
    case 10:
        m->pos = TvV3dAdd(g_pond.anchor, TvV3dScale(m->at, g_pond.lunge * std::cos(t * 0.0010471976f)));
        break;
    case 11: {
        TurnTowards(creature, ReturnPoint(), 3.0f);
        g_pond.speed = std::min(g_pond.speed + step * 0.01f, 0.2f);
        m->pos = TvV3dAdd(m->pos, TvV3dScale(m->at, g_pond.speed));
        const TvV3d off = TvV3dSub(ReturnPoint(), m->pos);
        if (TvV3dDot(off, off) < 10.0f) g_pond.deadline = Now();
        break;
    }
    case 12: {
        TurnTowards(creature, LookPoint(), 3.0f);
        if (g_pond.speed > 0.0f) {
            m->pos = TvV3dAdd(m->pos, TvV3dScale(m->at, g_pond.speed));
            g_pond.speed -= step * 0.01f;
        } else {
            const TvV3d off = TvV3dSub(ReturnPoint(), m->pos);
            if (MV2Length(off) < 0.02f)
                m->pos = ReturnPoint();
            else
                m->pos = TvV3dAdd(m->pos, TvV3dScale(off, 0.01f));
        }
        break;
    }
    case 14:
        if (g_pond.body <= 0.0f) {
            g_pond.deadline = Now();
            break;
        }
        g_pond.speed += player->matrix->pos.x > m->pos.x ? step * 0.004f : -step * 0.004f;
        g_pond.speed = std::clamp(g_pond.speed, -0.1f, 0.1f);
        [[fallthrough]];
    case 15:
        m->pos.x += g_pond.speed;
        if (g_pond.speed > 0.0f)
            g_pond.speed = std::max(g_pond.speed - 0.0005f, 0.0f);
        else
            g_pond.speed = std::min(g_pond.speed + 0.0005f, 0.0f);
        TurnTowards(creature, player->matrix->pos, 5.0f);
        break;
    case 16: g_pond.floatHeight += step * 0.4f; break;
    default: break;
    }
    MV2SyncObjectFrame(creature);
}

void ShootOffSacks(MV2Object* creature) {
    struct Sack {
        float* points;
        MV2PuppetNodeInstance** node;
        const char* anim;
    };
    const Sack sacks[2] = {{&g_pond.leftSack, &g_pond.leftSackNode, "lsack"},
                           {&g_pond.rightSack, &g_pond.rightSackNode, "rsack"}};
    for (const Sack& s : sacks) {
        if (*s.points > 0.0f || !*s.node) continue;
        Play(s.anim);
        const TvV3d p = NodeWorld(creature, *s.node);
        const float at[3] = {p.x, p.y, p.z};
        MV2CreateBloodCloud(at, 1.0f);
        *s.node = nullptr;
    }
}

intptr_t PondyUpdate(MV2Object* creature) {
    ShootOffSacks(creature);
    MV2PuppetBossUpdate(creature, MV2FrameSeconds());
    creature->matrix->pos.y = g_pond.floatHeight;
    MV2SyncObjectFrame(creature);
    MV2Object* player = Player();
    if (!player) return MV2ObjectDefaultHandler(creature, 2, 0, 0);
    MV2Object* centre = MV2GetObjectRef(&g_pond.corridorCentre);
    if (g_pond.corridor && centre && centre->matrix) {
        const TvV3d& c = centre->matrix->pos;
        const float h = g_pond.halfWidth;
        TvV3d& p = player->matrix->pos;
        p.z = c.z;
        if (p.x < c.x + h)
            p.x = c.x + h;
        else if (p.x > c.x - h)
            p.x = c.x - h;
        MV2SyncObjectFrame(player);
    }
    if (Passed(g_pond.deadline)) StepState(creature);
    if (g_pond.creature == creature) Move(creature, player);
    return MV2ObjectDefaultHandler(creature, 2, 0, 0);
}

intptr_t PondyCreate(MV2Object* creature, intptr_t p1, intptr_t p2) {
    if (!MV2ObjectDefaultHandler(creature, 3, p1, p2)) return 0;
    MV2PuppetBossCreate(&g_kind, creature);
    g_pond = MV2PondState{};
    g_pond.creature = creature;
    TvMatrix* m = creature->matrix;
    if (m) {
        m->pos.y = MV2GetWaterHeight(&m->pos) + 0.85f;
        MV2SyncObjectFrame(creature);
        g_pond.floatHeight = m->pos.y;
        g_pond.initial = g_pond.anchor = m->pos;
    }
    g_pond.deadline = Now() + 5000;
    g_pond.body = 333.0f;
    g_pond.leftSack = g_pond.rightSack = 50.0f;
    g_pond.leftSackNode = Node("LeftSack");
    g_pond.rightSackNode = Node("RightSack");
    MV2PlayMusicTrack(16 + int32_t(MV2RandomBits(1)));
    return 1;
}

void PartHit(intptr_t p1, intptr_t p2) {
    const float damage = float(p1) * 0.001f;
    if (g_pond.state >= 13) {
        g_pond.body -= damage;
        return;
    }
    MV2PuppetInstance* instance = MV2PuppetBossInstance(g_pond.creature);
    if (!instance) return;
    for (int32_t i = 0; i < instance->nodeCount; i++) {
        MV2PuppetNodeInstance* node = &instance->nodes[i];
        if (!node->node || node->node->id != uint32_t(p2)) continue;
        if (node == g_pond.leftSackNode) g_pond.leftSack -= damage;
        if (node == g_pond.rightSackNode) g_pond.rightSack -= damage;
    }
}

// ---------------------------------------------------------------------------------------------
// Pond skater

MV2PondSkaterData* Skater(MV2Object* object) {
    return static_cast<MV2PondSkaterData*>(object->privateData);
}

bool PlayerWithin20(MV2Object* skater, MV2PondSkaterData* d) {
    MV2Object* player = Player();
    if (!player || MV2ObjectDistanceSquared(player, skater) >= 400.0) return false;
    MV2SetObjectRef(&d->target, player);
    return true;
}

void Wander(MV2Object* skater, MV2PondSkaterData* d) {
    TvV3d dir{(float(MV2RandomBits(1023)) - 511.5f) * 0.0019550342f, 0.0f,
              (float(MV2RandomBits(1023)) - 511.5f) * 0.0019550342f};
    MV2Normalise(&dir);
    d->destination = TvV3dAdd(skater->matrix->pos, TvV3dScale(dir, 7.0f));
    d->state = 0;
    d->deadline = Now() + 5000;
}

void SkaterStep(MV2Object* skater, MV2PondSkaterData* d) {
    const uint32_t now = Now();
    switch (d->state) {
    case 0:
        if (PlayerWithin20(skater, d)) {
            d->state = 1, d->deadline = now + 8000;
            break;
        }
        [[fallthrough]];
    case 1:
        d->state = 2, d->destination = d->home, d->deadline = now + 5000;
        break;
    case 2:
        if (PlayerWithin20(skater, d)) {
            d->state = 3, d->deadline = now + 8000;
            break;
        }
        [[fallthrough]];
    default: Wander(skater, d); break;
    }
}

void SkaterSpit(MV2Object* skater, MV2PondSkaterData* d, MV2Object* target) {
    const TvMatrix* m = skater->matrix;
    const TvV3d from = TvV3dAdd(m->pos, m->at);
    if (gMV2GameState.current != 12) {
        const float at[3] = {from.x, from.y, from.z};
        if (MV2Object* bolt = MV2CreateObject(kSkaterBolt, at, nullptr)) {
            MV2ObjectSendMessage(bolt, 15, 0, reinterpret_cast<intptr_t>(skater));
            float speed = 0.02f;
            MV2ObjectSendMessage(bolt, 73, 0, reinterpret_cast<intptr_t>(&speed));
            if (TvMatrix* b = bolt->matrix) {
                b->at = MV2Unit(TvV3dSub(target->matrix->pos, from));
                b->up = kWorldUp;
                b->right = MV2Unit(TvV3dCross(b->up, b->at));
                b->up = MV2Unit(TvV3dCross(b->at, b->right));
                MV2SyncObjectFrame(bolt);
            }
        }
        Sound(m->pos, 10.0f, "PONDSKATERATTACK", 2000);
    }
    d->deadline = Now();
}

intptr_t SkaterUpdate(MV2Object* skater, MV2PondSkaterData* d) {
    TvMatrix* m = skater->matrix;
    if (skater->energy < 0.0f) {
        Sound(m->pos, 10.0f, "PONDSKATERDIE", 5000);
        const float at[3] = {m->pos.x, m->pos.y, m->pos.z};
        MV2AddScorch(at, 1.0f, 2);
        MV2ObjectSendMessage(skater, 4, 1, 0);
        return 1;
    }
    m->pos.y = d->home.y;
    if (Passed(d->deadline)) SkaterStep(skater, d);
    const float step = MV2FrameStep();
    if (d->state == 0 || d->state == 2) {
        const TvV3d dir = MV2Unit(TvV3dSub(d->destination, m->pos));
        if (MV2Length(TvV3dSub(d->destination, m->pos)) >= 0.25f) {
            if (skater->clump) MV2AddAnimTime(skater->clump, step * 0.1f);
        } else {
            d->deadline = Now();
        }
        const float side = TvV3dDot(m->right, dir);
        d->heading += step * side * 4.5f;
        if (MV2GetRootKey(skater) == 0 && skater->body)
            skater->body->velocity = TvV3dScale(m->at, 0.2f * (1.0f - std::fabs(0.4f * side)));
    } else {
        MV2Object* target = MV2GetObjectRef(&d->target);
        if (!target || !target->matrix) {
            d->deadline = Now();
            MV2ClearObjectRef(&d->target);
        } else {
            TvV3d dir = TvV3dSub(target->matrix->pos, m->pos);
            dir.y = 0.0f;
            MV2Normalise(&dir);
            const float side = TvV3dDot(m->right, dir);
            if (std::fabs(side) < 0.044f) SkaterSpit(skater, d, target);
            d->heading += step * side * 4.5f;
        }
    }
    const TvV3d pos = m->pos;
    TvMatrixRotate(m, &kWorldUp, d->heading, 0);
    m->pos = pos;
    MV2SyncObjectFrame(skater);
    return MV2ObjectDefaultHandler(skater, 2, 0, 0);
}

intptr_t SkaterCreate(MV2Object* skater, intptr_t p1, intptr_t p2) {
    if (!MV2ObjectDefaultHandler(skater, 3, p1, p2)) return 0;
    MV2PondSkaterData* d = Skater(skater);
    if (!d || !skater->matrix) return 0;
    *d = MV2PondSkaterData{};
    skater->matrix->pos.y = MV2GetWaterHeight(&skater->matrix->pos) + 0.49f;
    MV2SyncObjectFrame(skater);
    d->state = 3;
    d->home = skater->matrix->pos;
    if (!MV2InstallRootKeyCallback(skater, MV2PondSkaterStrokeCallback)) return 0;
    skater->flags &= ~kMV2ObjectAnimate;
    return 1;
}

// ---------------------------------------------------------------------------------------------
// Rotor submarine

MV2RotorSubBlock* Rotor(MV2Object* object) {
    auto* sub = static_cast<MV2SubData*>(object->privateData);
    return sub ? static_cast<MV2RotorSubBlock*>(sub->extension) : nullptr;
}

} // namespace

int32_t MV2SkaterNextKey(int32_t k) {
    if (k == 4) return 0;
    return k >= 0 && k < 5 ? k + 1 : -1;
}

float MV2PondSkaterStrokeCallback(TpAtomic* atomic, float position) {
    return MV2StepAnimKey(atomic, position,
                          MV2SkaterNextKey(TpAnimSequenceAtomicGetCurrentKeyIndex(atomic)));
}

intptr_t MV2PondyHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    switch (message) {
    case 2:
        if (object != g_pond.creature || !object->matrix)
            return MV2ObjectDefaultHandler(object, 2, p1, p2);
        return PondyUpdate(object);
    case 3: return PondyCreate(object, p1, p2);
    case 4:
        MV2StopMusicTrack();
        MV2PuppetBossDestroy(&g_kind, object);
        if (g_pond.creature == object) g_pond.creature = nullptr;
        return MV2ObjectDefaultHandler(object, 4, p1, p2);
    case 12:
        if (auto* back = reinterpret_cast<MV2Object*>(p1); back && back->matrix) {
            MV2SetObjectRef(&g_pond.returnObject, back);
            if (object->matrix) g_pond.lunge = MV2Length(TvV3dSub(back->matrix->pos, object->matrix->pos));
        }
        if (auto* look = reinterpret_cast<MV2Object*>(p2); look && look->matrix)
            MV2SetObjectRef(&g_pond.lookObject, look);
        return 1;
    case 33: {
        auto* centre = reinterpret_cast<MV2Object*>(p1);
        auto* edge = reinterpret_cast<MV2Object*>(p2);
        if (!centre || !edge || !centre->matrix || !edge->matrix) return 1;
        MV2SetObjectRef(&g_pond.corridorCentre, centre);
        g_pond.halfWidth = edge->matrix->pos.x - centre->matrix->pos.x;
        g_pond.corridor = 1;
        MV2SetAltThrustControl(1, 1, 1);
        return 1;
    }
    case 63: {
        const auto* hit = reinterpret_cast<const MV2PuppetPartHit*>(p2);
        if (hit && hit->striker && hit->striker->aiCategory == 6) {
            MV2DamageObject(object, hit->striker, nullptr, hit->speed * 30.0f, 1);
            if (hit->striker->matrix) Sound(hit->striker->matrix->pos, 5.0f, "METALCOLLISION");
        }
        return 1;
    }
    case 76:
        if (object == g_pond.creature) PartHit(p1, p2);
        return 1;
    case 96: return MV2AnswerSize(p2, 0);
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

intptr_t MV2PondSkaterHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2PondSkaterData));
    if (message == 80) return 1;
    if (message == 3) return SkaterCreate(object, p1, p2);
    MV2PondSkaterData* d = Skater(object);
    if (!d || !object->matrix) return MV2ObjectDefaultHandler(object, message, p1, p2);
    if (message == 2) return SkaterUpdate(object, d);
    if (message == 19)
        if (auto* other = reinterpret_cast<MV2Object*>(p2);
            other && other->aiCategory == 6 && other->matrix) {
            Sound(object->matrix->pos, 5.0f, "GROUNDCOLLISION");
            Sound(other->matrix->pos, 5.0f, "METALCOLLISION");
            other->energy -= 1.0f;
            const TvV3d push = TvV3dScale(object->matrix->at, 0.5f);
            MV2AddForce(other, &push);
        }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2RotorSubHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    switch (message) {
    case 96:
        MV2SubmarineHandler(object, 96, p1, p2);
        if (p2) *reinterpret_cast<intptr_t*>(p2) += intptr_t(sizeof(MV2RotorSubBlock));
        return 1;
    case 3: {
        const intptr_t result = MV2SubmarineHandler(object, 3, p1, p2);
        auto* sub = static_cast<MV2SubData*>(object->privateData);
        if (!result || !sub) return result;
        auto* block = reinterpret_cast<MV2RotorSubBlock*>(sub + 1);
        *block = MV2RotorSubBlock{};
        for (int32_t i = 0; i < 4; i++)
            block->rotors[i] = object->clump ? MV2FindFrameByTag(object->clump, 300 + uint32_t(i)) : nullptr;
        block->spinning = 1;
        sub->extension = block;
        MV2ObjectSendMessage(object, 21, 0, 0);
        MV2ObjectSendMessage(object, 21, 0, 2);
        return result;
    }
    case 27:
    case 28: {
        MV2RotorSubBlock* block = Rotor(object);
        return MV2BrainWordMessage(block ? &block->brainData : nullptr, message, p2);
    }
    case 2: {
        const MV2ObjectHandle handle = object->handle;
        const intptr_t result = MV2SubmarineHandler(object, 2, p1, p2);
        MV2RotorSubBlock* block = MV2ObjectHandleAlive(handle) ? Rotor(object) : nullptr;
        if (block && block->spinning) {
            static constexpr float kRates[4] = {35.0f, 29.0f, 37.0f, 31.0f};
            for (int32_t i = 0; i < 4; i++)
                if (block->rotors[i])
                    TvFrameRotate(block->rotors[i], &kWorldUp, MV2FrameStep() * kRates[i], 1);
        }
        return result;
    }
    default: return MV2SubmarineHandler(object, message, p1, p2);
    }
}

const MV2PondState& MV2GetPondState() {
    return g_pond;
}

int32_t MV2CountPondStingers() {
    int32_t n = 0;
    for (MV2ObjectRef& slot : g_pond.stingers)
        n += MV2GetObjectRef(&slot) != nullptr;
    return n;
}

void MV2ResetPond() {
    g_pond = MV2PondState{};
}

void MV2RegisterPondHandlers() {
    MV2SetObjectTypeHandler(kPondyType, MV2PondyHandler);
    MV2SetObjectTypeHandler(kSkaterType, MV2PondSkaterHandler);
    MV2SetObjectTypeHandler(kRotorType, MV2RotorSubHandler);
}
