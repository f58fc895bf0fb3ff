// The mummy boss: arms that fire palm bolts, a charge ball thrown between the palms, eye beams
// once both arms are off, and a chest protector whose hits kill it. Its timers run on the frame
// clock.
#include "game/creatures/mummy.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "engine/core/matrix.h"
#include "game/creatures/creaturemath.h"
#include "game/creatures/puppetboss.h"
#include "game/effects/effects.h"
#include "game/effects/explosions.h"
#include "game/effects/fireballs.h"
#include "game/missions/lightobject.h"
#include "game/objects/dynamics.h"
#include "game/objects/objectsounds.h"
#include "game/objects/puppets.h"
#include "game/objects/utilities.h"
#include "game/player/playercraft.h"

namespace {

constexpr int32_t kMummyType = 309;
constexpr int32_t kLightType = 69;
constexpr int32_t kBoltType = 2;
constexpr int32_t kHeartType = 314;

struct SharedWords {
    int32_t awake;
    int32_t fight;
    int32_t heartReleased;
    MV2ObjectRef heart;
};

MV2MummyState g_mummy;
SharedWords g_words;

const char* const kLightNodes[4] = {"left eye", "right eye", "left palm", "right palm"};

uint32_t Now() {
    return gMV2FrameTimer.frameClock;
}
bool Passed(uint32_t deadline) {
    return int32_t(Now() - deadline) >= 0;
}

MV2Object* Light(int32_t i) {
    return MV2GetObjectRef(&g_mummy.lights[i]);
}
MV2LightObjectData* LightData(int32_t i) {
    MV2Object* light = Light(i);
    return light ? static_cast<MV2LightObjectData*>(light->privateData) : nullptr;
}
void SetGlow(int32_t i, float size) {
    if (MV2LightObjectData* d = LightData(i)) d->glowSize = size;
}
void SwitchLight(int32_t i, int32_t on) {
    if (MV2Object* light = Light(i)) MV2ObjectSendMessage(light, 11, on, 0);
}

void Sound(const TvV3d& at, float radius, const char* name, int32_t b) {
    MV2PlaySoundAt(&at, radius, MV2CreatureSound(name), 0, 1, b);
}
void SoundAtPlayer(const char* name, int32_t b) {
    if (MV2Object* player = MV2GetPlayerObject(); player && player->matrix)
        Sound(player->matrix->pos, 1.0f, name, b);
}

void Play(const char* name) {
    MV2PuppetBossPlay(g_mummy.mummy, name, 1);
}

MV2PuppetNodeInstance* Node(MV2Object* mummy, const char* name) {
    return MV2PuppetFindNode(MV2PuppetBossInstance(mummy), name);
}

// A node's position turned by the owner's matrix and moved by its position.
TvV3d NodeWorld(const MV2Object* owner, const MV2PuppetNodeInstance* node) {
    TvV3d out;
    TvV3dTransformPoints(&out, &node->world.pos, 1, owner->matrix);
    return out;
}

MV2Object* Player() {
    MV2Object* player = MV2GetPlayerObject();
    return player && player->matrix ? player : nullptr;
}

void StopLaser() {
    if (MV2Object* player = Player())
        MV2StopObjectSound(player, MV2CreatureSound("LASER"), &g_mummy.laserSound);
}

// Energy burn, a shove and the impact sounds on the player.
void Burn(MV2Object* player, float amount) {
    player->energy -= amount;
    TvV3d push;
    MV2RandomDirection(&push);
    push = TvV3dScale(push, 0.2f);
    MV2AddForce(player, &push);
    Sound(player->matrix->pos, 1.0f, "GROUNDCOLLISION", 1000);
    Sound(player->matrix->pos, 1.0f, "METALCOLLISION", 1000);
}

void FireBolt(const char* palm) {
    MV2Object* mummy = g_mummy.mummy;
    MV2Object* player = Player();
    MV2PuppetNodeInstance* node = mummy ? Node(mummy, palm) : nullptr;
    if (!player || !node) return;
    const TvV3d p = NodeWorld(mummy, node);
    const float at[3] = {p.x, p.y, p.z};
    MV2Object* bolt = MV2CreateObject(kBoltType, at, nullptr);
    MV2PlaySoundAt(&p, 20.0f, MV2CreatureSound("MUMMYBOLT1"), 0, 1, 5000);
    if (!bolt || !bolt->matrix) return;
    TvV3d d = MV2Unit(TvV3dSub(player->matrix->pos, p));
    TvMatrix* m = bolt->matrix;
    m->right = MV2Unit(TvV3dCross({0.0f, 1.0f, 0.0f}, d));
    m->up = MV2Unit(TvV3dCross(d, m->right));
    m->at = d;
    m->pos = p;
    MV2SyncObjectFrame(bolt);
    MV2ObjectSendMessage(bolt, 12, 0, reinterpret_cast<intptr_t>(&d));
    MV2ObjectSendMessage(bolt, 15, 1, reinterpret_cast<intptr_t>(mummy));
}

void EventCharging(void*) {
    if (g_mummy.chargeEvents++ == 3) {
        Play("charged");
        SwitchLight(kMV2MummyChargeBall, 1);
    }
}
void EventLeftArmFire(void*) {
    FireBolt("left palm");
}
void EventRightArmFire(void*) {
    FireBolt("right palm");
}
void ArmFired(int32_t palm) {
    SetGlow(palm, 0.001f);
    SwitchLight(kMV2MummyLeftEye, 1);
    SwitchLight(kMV2MummyRightEye, 1);
}
void EventLeftArmFired(void*) {
    g_mummy.leftArmFiring = 0;
    ArmFired(kMV2MummyLeftPalm);
}
void EventRightArmFired(void*) {
    g_mummy.rightArmFiring = 0;
    ArmFired(kMV2MummyRightPalm);
}
void EventChargeOff(void*) {
    g_mummy.charging = 0;
    g_mummy.thrownCharge = 0;
    if (g_mummy.thrownBeam) MV2RemoveBeam(g_mummy.thrownBeam);
    g_mummy.thrownBeam = 0;
    SetGlow(kMV2MummyChargeBall, 0.0f);
    SwitchLight(kMV2MummyChargeBall, 0);
}
void EventThrowCharge(void*) {
    MV2Object* player = Player();
    if (!player) return;
    const TvV3d& c = g_mummy.chargePosition;
    g_mummy.thrownBeam = MV2CreateBeam(&c, &player->matrix->pos, 0.5f, 1, 0x1B);
    const float at[3] = {c.x, c.y, c.z};
    MV2CreateExplosion(at, 0.7f, 0.2f, nullptr, 3, 150);
    MV2PlaySoundAt(&c, 30.0f, MV2CreatureSound("MUMMYBOLT2"), 0, 1, 10000);
    g_mummy.thrownTarget = player->matrix->pos;
    g_mummy.thrownCharge = 1;
}
void EventDead(void*) {
    g_words.heartReleased = 1;
}

// Sorted by name, as the puppet loader looks them up.
const MV2PuppetCallback kEvents[8] = {
    {"charging", EventCharging},       {"leftarmfire", EventLeftArmFire},
    {"leftarmfired", EventLeftArmFired}, {"mummychargeoff", EventChargeOff},
    {"mummydead", EventDead},          {"rightarmfire", EventRightArmFire},
    {"rightarmfired", EventRightArmFired}, {"throwcharge", EventThrowCharge},
};

MV2PuppetBossKind g_kind{"mummy", kEvents, 8, 25.0f, {}, 0};

void MakeLights(MV2Object* mummy) {
    struct LightLook {
        float r, g, b, radius, glow;
    };
    const LightLook looks[5] = {{1.0f, 0.5f, 0.5f, 0.0f, 0.0f},
                           {1.0f, 0.5f, 0.5f, 0.0f, 0.0f},
                           {0.5f, 0.5f, 1.0f, 0.0f, 0.0f},
                           {0.5f, 0.5f, 1.0f, 0.0f, 0.0f},
                           {1.0f, 1.0f, 1.0f, 2.0f, 0.1f}};
    const float at[3] = {1.0f, 0.0f, 0.0f};
    (void)mummy;
    for (int32_t i = 0; i < 5; i++) {
        MV2ClearObjectRef(&g_mummy.lights[i]);
        MV2Object* light = MV2CreateObject(kLightType, at, nullptr);
        if (!light) continue;
        if (auto* d = static_cast<MV2LightObjectData*>(light->privateData)) {
            d->red = looks[i].r, d->green = looks[i].g, d->blue = looks[i].b;
            d->radius = looks[i].radius;
            d->glowSize = looks[i].glow;
            d->flags |= 1u << 2;
        }
        MV2ObjectSendMessage(light, 11, 1, 0);
        MV2SetObjectRef(&g_mummy.lights[i], light);
    }
    SwitchLight(kMV2MummyChargeBall, 0);
    SwitchLight(kMV2MummyRightEye, 1);
    SwitchLight(kMV2MummyLeftEye, 1);
}

intptr_t Create(MV2Object* object, intptr_t p1, intptr_t p2) {
    if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
    MV2PuppetInstance* instance = MV2PuppetBossCreate(&g_kind, object);
    if (g_kind.set.puppet) g_kind.set.puppet->hook = MV2MummyPoseCallback;
    if (instance) {
        MV2PuppetUpdate(instance, object->matrix, 0.1f);
        MV2PuppetBindClump(instance);
    }
    const TvV3d lock = g_mummy.lockPoint;
    auto* callback = g_mummy.deathCallback;
    g_mummy = MV2MummyState{};
    g_mummy.lockPoint = lock;
    g_mummy.deathCallback = callback;
    g_mummy.leftArmOn = g_mummy.rightArmOn = 1;
    const uint32_t now = Now();
    g_mummy.nextCharge = now + 10000;
    g_mummy.nextRightFire = now + 7000;
    g_mummy.nextLeftFire = now + 5000;
    g_words.awake = g_words.fight = g_words.heartReleased = 0;
    MV2ClearObjectRef(&g_words.heart);
    MakeLights(object);
    g_mummy.mummy = object;
    return 1;
}

void Destroy(MV2Object* object) {
    for (MV2ObjectRef& ref : g_mummy.lights) {
        if (MV2Object* light = MV2GetObjectRef(&ref)) MV2ObjectSendMessage(light, 4, 1, 0);
        MV2ClearObjectRef(&ref);
    }
    MV2PuppetBossDestroy(&g_kind, object);
    StopLaser();
    for (uint32_t& beam : g_mummy.eyeBeams) {
        if (beam) MV2RemoveBeam(beam);
        beam = 0;
    }
    if (g_mummy.mummy == object) g_mummy.mummy = nullptr;
}

void StartAttack(MV2Object* player) {
    const uint32_t now = Now();
    int32_t r = int32_t(MV2RandomBits(3));
    if (r == 0) {
        if (Passed(g_mummy.nextCharge) && g_mummy.leftArmOn && g_mummy.rightArmOn &&
            !g_mummy.leftArmFiring && !g_mummy.rightArmFiring && player) {
            SwitchLight(kMV2MummyChargeBall, 1);
            SetGlow(kMV2MummyChargeBall, 0.01f);
            g_mummy.charging = 1;
            g_mummy.nextCharge = now + (MV2RandomBits(15) + 10) * 1000;
            static const char* const kMagic[3] = {"MUMMYMAGIC1", "MUMMYMAGIC2", "MUMMYMAGIC3"};
            SoundAtPlayer(kMagic[std::min<uint32_t>(MV2RandomBits(3), 2)], 1000);
            g_mummy.chargeEvents = 0;
            Play("startcharge");
            return;
        }
        r = 1;
    }
    if (r == 1) {
        if (Passed(g_mummy.nextLeftFire) && g_mummy.leftArmOn && !g_mummy.leftArmFiring) {
            g_mummy.leftArmFiring = 1;
            g_mummy.nextLeftFire = now + (MV2RandomBits(7) + 5) * 1000;
            Play("leftarmfire");
        }
    } else if (Passed(g_mummy.nextRightFire) && g_mummy.rightArmOn && !g_mummy.rightArmFiring) {
        g_mummy.rightArmFiring = 1;
        g_mummy.nextRightFire = now + (MV2RandomBits(7) + 5) * 1000;
        Play("rightarmfire");
    }
}

void EyeBeams(MV2Object* player) {
    const uint32_t now = Now();
    if (Passed(g_mummy.nextEyeBeam)) {
        SetGlow(kMV2MummyLeftEye, 0.1f);
        SetGlow(kMV2MummyRightEye, 0.1f);
        g_mummy.nextEyeBeam = now + (MV2RandomBits(7) + 5) * 1000;
        g_mummy.eyeBeamEnd = now + 3000;
        g_mummy.beamTarget = player->matrix->pos;
    }
    if (int32_t(now - g_mummy.eyeBeamEnd) < 0) {
        const TvV3d d = TvV3dSub(player->matrix->pos, g_mummy.beamTarget);
        if (TvV3dDot(d, d) < 1.0f) Burn(player, MV2FrameStep());
        g_mummy.beamTarget = TvV3dAdd(g_mummy.beamTarget, TvV3dScale(d, MV2FrameStep() * 0.05f));
        for (int32_t eye = 0; eye < 2; eye++)
            if (MV2Object* light = Light(eye))
                g_mummy.eyeBeams[eye] =
                    MV2CreateBeam(&light->matrix->pos, &g_mummy.beamTarget, 0.1f, 2, 0x1B);
        MV2StartObjectSound(player, MV2CreatureSound("LASER"), &g_mummy.laserSound, 0, 1000);
    } else {
        StopLaser();
        if (int32_t(g_mummy.nextEyeBeam - now) < 500) {
            SetGlow(kMV2MummyLeftEye, 0.5f);
            SetGlow(kMV2MummyRightEye, 0.5f);
        }
    }
}

// The player's craft held on the mummy's plane and turned towards it.
void HoldPlayer(MV2Object* player) {
    TvMatrix* m = player->matrix;
    m->pos.x = g_mummy.lockPoint.x;
    player->previousPosition.x = g_mummy.lockPoint.x;
    bool changed = false;
    if (m->right.x < -0.7f) {
        m->right = {-1.0f, 0.0f, 1.0f};
        changed = true;
    } else if (m->right.x > 0.7f) {
        m->right = {1.0f, 0.0f, 1.0f};
        changed = true;
    }
    if (changed) {
        m->right = MV2Unit(m->right);
        m->up = MV2Unit(TvV3dCross(m->at, m->right));
        m->at = MV2Unit(TvV3dCross(m->right, m->up));
    }
    MV2SyncObjectFrame(player);
}

void PlaceLight(MV2Object* mummy, int32_t light, const TvV3d& at) {
    if (MV2Object* o = Light(light); o && o->matrix) {
        o->matrix->pos = at;
        MV2SyncObjectFrame(o);
    }
    (void)mummy;
}

void FollowNodes(MV2Object* mummy) {
    for (int32_t i = 0; i < 4; i++)
        if (MV2PuppetNodeInstance* node = Node(mummy, kLightNodes[i]))
            PlaceLight(mummy, i, NodeWorld(mummy, node));
    if (g_mummy.charging) {
        MV2PuppetNodeInstance* left = Node(mummy, "left palm");
        MV2PuppetNodeInstance* right = Node(mummy, "right palm");
        if (left && right) {
            const TvV3d a = NodeWorld(mummy, left), b = NodeWorld(mummy, right);
            g_mummy.chargePosition = TvV3dScale(TvV3dAdd(a, b), 0.5f);
            PlaceLight(mummy, kMV2MummyChargeBall, g_mummy.chargePosition);
        }
    }
    MV2Object* heart = MV2GetObjectRef(&g_words.heart);
    MV2PuppetNodeInstance* node = Node(mummy, "heart");
    if (!g_words.heartReleased && heart && heart->matrix && node) {
        TvMatrixMultiply(heart->matrix, &node->world, mummy->matrix);
        heart->matrix->pos = NodeWorld(mummy, node);
        MV2SyncObjectFrame(heart);
    }
}

intptr_t Update(MV2Object* mummy) {
    if (!g_words.awake) return MV2ObjectDefaultHandler(mummy, 2, 0, 0);
    MV2Object* player = Player();
    if (!g_mummy.movePlayed && player) {
        g_mummy.movePlayed = 1;
        Sound(player->matrix->pos, 1.0f, "MUMMYMOVE", 2000);
    }
    MV2PuppetBossUpdate(mummy, MV2FrameSeconds());
    if (!g_words.fight) return MV2ObjectDefaultHandler(mummy, 2, 0, 0);
    const float step = MV2FrameStep();
    if (g_mummy.leftArmFiring)
        if (MV2LightObjectData* d = LightData(kMV2MummyLeftPalm)) d->glowSize += step * 0.01f;
    if (g_mummy.rightArmFiring)
        if (MV2LightObjectData* d = LightData(kMV2MummyRightPalm)) d->glowSize += step * 0.01f;
    if (g_mummy.charging)
        if (MV2LightObjectData* d = LightData(kMV2MummyChargeBall))
            d->glowSize = g_mummy.chargeEvents == 3 ? 1.0f : d->glowSize + step * 0.002f;
    for (uint32_t& beam : g_mummy.eyeBeams) {
        if (beam) MV2RemoveBeam(beam);
        beam = 0;
    }
    if (!g_mummy.dead && !g_mummy.charging) {
        StartAttack(player);
        if (player && !g_mummy.leftArmOn && !g_mummy.rightArmOn) EyeBeams(player);
    }
    if (player && g_mummy.thrownCharge) {
        const TvV3d d = TvV3dSub(g_mummy.thrownTarget, player->matrix->pos);
        if (TvV3dDot(d, d) < 1.0f) Burn(player, step * 3.0f);
    }
    if (!g_mummy.dead && player) HoldPlayer(player);
    FollowNodes(mummy);
    return MV2ObjectDefaultHandler(mummy, 2, 0, 0);
}

void HitReaction() {
    if (!Passed(g_mummy.nextHitReaction)) return;
    Play("protectorhit");
    g_mummy.nextHitReaction = Now() + (MV2RandomBits(3) + 1) * 1000;
    SoundAtPlayer("MUMMYHIT", 2000);
}

void ArmHit(int32_t* hits, int32_t* on, const char* anim) {
    const int32_t before = (*hits)++;
    if (before <= 25 || g_mummy.leftArmFiring || g_mummy.rightArmFiring || g_mummy.charging)
        return;
    SoundAtPlayer("ARMOFF", 0);
    *on = 0;
    Play(anim);
    if (!g_mummy.leftArmOn && !g_mummy.rightArmOn)
        g_mummy.nextEyeBeam = Now() + (MV2RandomBits(7) + 5) * 1000;
}

void Die(MV2Object* mummy) {
    if (MV2PuppetNodeInstance* node = Node(mummy, "protector")) {
        const TvV3d p = NodeWorld(mummy, node);
        MV2CreateFlak(&p, 2.0f, 2000, 2);
    }
    const float at[3] = {0.0f, 1.0f, 0.0f};
    if (MV2Object* heart = MV2CreateObject(kHeartType, at, nullptr))
        MV2SetObjectRef(&g_words.heart, heart);
    Play("mummydead");
    g_mummy.dead = 1;
    StopLaser();
    SoundAtPlayer("MUMMYDIE", 2000);
    if (g_mummy.deathCallback) g_mummy.deathCallback(mummy, 1);
}

void PartHit(MV2Object* mummy, intptr_t part) {
    if (g_mummy.dead) return;
    MV2PuppetNodeInstance* node = nullptr;
    if (MV2PuppetInstance* instance = MV2PuppetBossInstance(mummy))
        for (int32_t i = 0; i < instance->nodeCount; i++)
            if (instance->nodes[i].node && instance->nodes[i].node->id == uint32_t(part))
                node = &instance->nodes[i];
    if (!node) return;
    const char* name = node->node->name;
    auto named = [name](const char* want) {
        for (size_t i = 0;; i++) {
            const char a = char(std::tolower(uint8_t(name[i] == '_' ? ' ' : name[i])));
            const char b = char(std::tolower(uint8_t(want[i])));
            if (a != b) return false;
            if (!a) return true;
        }
    };
    if (!g_mummy.leftArmOn && !g_mummy.rightArmOn && named("protector")) {
        HitReaction();
        if (g_mummy.protectorHits++ > 50) Die(mummy);
    } else if (g_mummy.rightArmOn && named("right hit")) {
        HitReaction();
        ArmHit(&g_mummy.rightArmHits, &g_mummy.rightArmOn, "rightarmoff");
    } else if (g_mummy.leftArmOn && named("left hit")) {
        HitReaction();
        ArmHit(&g_mummy.leftArmHits, &g_mummy.leftArmOn, "leftarmoff");
    }
}

// The puppet's yaw and pitch words take degrees x 128 scaled by 256.
int32_t AngleWord(float degrees) {
    return int32_t(degrees * 128.0f) * 256;
}

} // namespace

void MV2MummyPoseCallback(MV2PuppetInstance* instance) {
    if (g_mummy.dead || !instance) return;
    auto* mummy = static_cast<MV2Object*>(instance->userData);
    MV2Object* sub = MV2GetPlayerSub();
    if (!mummy || !mummy->matrix || !sub || !sub->matrix) return;
    MV2PuppetNodeInstance* head = MV2PuppetFindNode(instance, "head");
    MV2PuppetNodeInstance* chest = MV2PuppetFindNode(instance, "chest");
    const TvMatrix* m = mummy->matrix;
    const TvV3d rel = TvV3dSub(sub->matrix->pos, m->pos);
    TvV3d t{TvV3dDot(rel, m->right), TvV3dDot(rel, m->up), TvV3dDot(rel, m->at)};
    if (head) t = TvV3dSub(t, head->world.pos);
    if (std::fabs(t.z) < 1e-6f) return;
    const float seconds = MV2FrameSeconds();
    const float yaw = std::atan2(t.x / t.z, 1.0f) * 57.3f;
    const float pitch = std::atan2(t.y / t.z, 1.0f) * 57.3f;
    g_mummy.headYaw += (yaw - g_mummy.headYaw) * seconds * 4.0f;
    g_mummy.headPitch += (pitch - g_mummy.headPitch) * seconds * 4.0f;
    if (head) {
        head->accumulators[0] = AngleWord(g_mummy.headYaw);
        head->accumulators[1] = AngleWord(-g_mummy.headPitch);
    }
    g_mummy.chestYaw += 2.0f * (yaw - g_mummy.chestYaw) * seconds;
    if (chest) chest->accumulators[0] += AngleWord(g_mummy.chestYaw);
}

intptr_t MV2MummyBossHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    switch (message) {
    case 2: return Update(object);
    case 3: return Create(object, p1, p2);
    case 4:
        Destroy(object);
        return MV2ObjectDefaultHandler(object, 4, p1, p2);
    case 12:
        g_mummy.deathCallback = reinterpret_cast<void (*)(MV2Object*, int32_t)>(p2);
        return MV2ObjectDefaultHandler(object, 12, p1, p2);
    case 24:
        if (p2) g_mummy.lockPoint = *reinterpret_cast<const TvV3d*>(p2);
        return 1;
    case 76: PartHit(object, p2); return 1;
    case 96: return MV2AnswerSize(p2, 0);
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

const MV2MummyState& MV2GetMummyState() {
    return g_mummy;
}
void MV2SetMummyAwake(int32_t awake) {
    g_words.awake = awake;
}
void MV2SetMummyFight(int32_t fight) {
    g_words.fight = fight;
}
int32_t MV2GetMummyAwake() {
    return g_words.awake;
}
int32_t MV2GetMummyFight() {
    return g_words.fight;
}
int32_t MV2MummyHeartReleased() {
    return g_words.heartReleased;
}
MV2Object* MV2GetMummyHeart() {
    return MV2GetObjectRef(&g_words.heart);
}

void MV2ResetMummy() {
    g_mummy = MV2MummyState{};
    g_words = SharedWords{};
}

void MV2RegisterMummyHandlers() {
    MV2SetObjectTypeHandler(kMummyType, MV2MummyBossHandler);
}
