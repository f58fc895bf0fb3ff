// The squid boss, its ink clouds, the ink emitter and the beacon buoy.
#include "game/creatures/squid.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "engine/core/camera.h"
#include "engine/core/im2d.h"
#include "engine/core/im3d.h"
#include "engine/core/matrix.h"
#include "engine/core/memory.h"
#include "engine/core/frame.h"
#include "game/creatures/creaturemath.h"
#include "game/creatures/puppetboss.h"
#include "game/effects/effectbase.h"
#include "game/effects/effects.h"
#include "game/missions/lightobject.h"
#include "game/missions/missionflow.h"
#include "game/missions/missionhelpers.h"
#include "game/missions/scriptevents.h"
#include "game/objects/camera.h"
#include "game/objects/dynamics.h"
#include "game/objects/objectsounds.h"
#include "game/objects/utilities.h"
#include "game/player/playercraft.h"
#include "game/player/weapons.h"
#include "shell/cdaudio.h"

namespace {

void SquidDeadNow(void*);
void SquidDying(void*);
void SquidInkEnd(void*);
void SquidInkStart(void*);
void SquidIntroHit(void*);
void SquidIntroScream(void*);
void SquidIntroWail(void*);
void SquidScream(void*);
void SquidSwipe(void*);
template <int N> void SquidTentacleKill(void*);

const MV2PuppetCallback kSquidEvents[] = {
    {"deadnow", SquidDeadNow},         {"dying", SquidDying},
    {"inkend", SquidInkEnd},           {"inkstart", SquidInkStart},
    {"introhit", SquidIntroHit},       {"introscream", SquidIntroScream},
    {"introwail", SquidIntroWail},     {"scream", SquidScream},
    {"swipe", SquidSwipe},             {"t1kill", SquidTentacleKill<1>},
    {"t2kill", SquidTentacleKill<2>},  {"t3kill", SquidTentacleKill<3>},
    {"t4kill", SquidTentacleKill<4>},
};

MV2PuppetBossKind g_kind{"squid", kSquidEvents, 13, 25.0f, {}, 0};

const MV2SquidBoil kBoils[4] = {
    {150.0f, "boil_1", nullptr, "dot1die", 0, 0.0f, 0},
    {150.0f, "boil_2", nullptr, "dot2die", 0, 0.0f, 0},
    {150.0f, "boil_3", nullptr, "dot3die", 0, 0.0f, 0},
    {150.0f, "boil_4", nullptr, "dot4die", 0, 0.0f, 0},
};

MV2SquidState g_squid{};
constexpr int32_t kStopper = 0x03080024;

MV2Object* Squid(void* user) {
    return static_cast<MV2Object*>(user);
}

void PlayAtCamera(const char* name, float radius, int32_t b = 10000) {
    TvV3d camera;
    if (MV2BossCameraPosition(&camera)) MV2BossSoundAt(camera, radius, name, b);
}

// "dot0hit" with the digit made the tentacle's number.
void PlayTentacleAnim(MV2Object* squid, const char* stem, int32_t tentacle) {
    char name[32];
    std::snprintf(name, sizeof name, "dot%d%s", tentacle + 1, stem);
    MV2PuppetBossPlay(squid, name, 1);
}

void Attack(MV2Object* squid, MV2Object* sub, float x, float y, bool pinned) {
    const int32_t t = MV2SquidTentacleFor(x, y, uint32_t(TvRandom()));
    MV2SquidBoil& boil = g_squid.boils[t];
    if (!boil.dead && !pinned) {
        PlayTentacleAnim(squid, "hit", t);
        boil.swipePending = 1;
        boil.swipeTimer = 3.0f;
    } else {
        MV2PuppetBossPlay(squid, "doink", 1);
    }
    (void)sub;
}

void HoldAndStrike(MV2Object* squid, MV2Object* sub) {
    const TvMatrix& m = *squid->matrix;
    const TvV3d rel = TvV3dSub(sub->matrix->pos, m.pos);
    TvV3d local{TvV3dDot(rel, m.right), TvV3dDot(rel, m.up), TvV3dDot(rel, m.at)};
    const float x = std::clamp(local.x, -2.0f, 2.0f);
    const float y = std::clamp(local.y, -3.0f, 1.0f);
    const bool pinned = x != local.x && y != local.y;
    local = {x, y, 13.0f};
    g_squid.attackTimer -= MV2FrameSeconds();
    if (g_squid.attackTimer <= 0.0f) {
        g_squid.attackTimer = 5.0f;
        Attack(squid, sub, x, y, pinned);
    }
    sub->matrix->pos = TvV3dAdd(m.pos, TvV3dAdd(TvV3dAdd(TvV3dScale(m.right, local.x),
                                                         TvV3dScale(m.up, local.y)),
                                                TvV3dScale(m.at, local.z)));
    MV2SyncObjectFrame(sub);
}

void Intro(MV2Object* squid) {
    g_squid.introPlayed = 1;
    MV2PuppetBossPlay(squid, "dointro", 1);
    MV2PlayCutScene(0x030CFFFF, 0x030C0001);
    MV2PlayMusicTrack((TvRandom() & 1) ? 17 : 16);
    if (MV2Object* o = MV2FindObjectByWorldID(kStopper)) MV2ObjectSendMessage(o, 12, 54, 0);
    MV2MissionInstallNotify(22, 17);
}

intptr_t Update(MV2Object* squid) {
    const float seconds = MV2FrameSeconds();
    MV2PuppetBossUpdate(squid, seconds * 0.5f);
    MV2Object* sub = MV2GetPlayerObject();
    if (sub && sub->matrix && !MV2PuppetBossFired(squid, "dodie")) {
        const TvV3d d = TvV3dSub(sub->matrix->pos, squid->matrix->pos);
        const float d2 = TvV3dDot(d, d);
        if (!g_squid.introPlayed && d2 < 900.0f) Intro(squid);
        if (d2 < 300.0f) HoldAndStrike(squid, sub);
        for (int32_t t = 0; t < 4; ++t) {
            MV2SquidBoil& boil = g_squid.boils[t];
            if (!boil.swipePending) continue;
            boil.swipeTimer -= seconds;
            if (boil.swipeTimer > 0.0f) continue;
            PlayTentacleAnim(squid, "swipe", t);
            boil.swipePending = 0;
        }
    }
    MV2UpdateInkClouds(squid);
    if (g_squid.inkOn) {
        g_squid.inkEmission -= seconds;
        TvV3d tongue;
        if (MV2PuppetBossNodePosition(squid, "tounge base", &tongue))
            for (int guard = 0; g_squid.inkEmission < 0.0f && guard < 1000; ++guard) {
                MV2EmitInkCloud(tongue, g_squid.inkDirection, 0.8f, 1.5f);
                g_squid.inkEmission += 0.04f;
            }
        g_squid.inkDuration -= seconds;
        if (g_squid.inkDuration < 0.0f) MV2PuppetBossPlay(squid, "doendink", 1);
    }
    return 1;
}

intptr_t Create(MV2Object* squid, intptr_t p1, intptr_t p2) {
    if (!MV2ObjectDefaultHandler(squid, 3, p1, p2)) return 0;
    MV2PuppetInstance* puppet = MV2PuppetBossCreate(&g_kind, squid);
    const uintptr_t sound = g_squid.inkSound;
    g_squid = MV2SquidState{};
    g_squid.inkSound = sound;
    for (int32_t t = 0; t < 4; ++t) {
        g_squid.boils[t] = kBoils[t];
        g_squid.boils[t].node = MV2PuppetFindNode(puppet, kBoils[t].nodeName);
    }
    g_squid.attackTimer = 10.0f;
    return 1;
}

void Hit(MV2Object* squid, intptr_t damage, intptr_t part) {
    const float amount = float(damage) * 0.001f;
    bool died = false;
    for (MV2SquidBoil& boil : g_squid.boils) {
        if (!boil.node || !part || boil.node->node->id != uint32_t(part) || boil.hitPoints <= 0.0f)
            continue;
        boil.hitPoints -= amount;
        TvV3d at;
        if (MV2PuppetBossNodePosition(squid, boil.nodeName, &at))
            MV2CreateExplosion(&at.x, 1.0f, 0.0f, nullptr, 8, 0);
        if (boil.hitPoints > 0.0f) continue;
        MV2PuppetBossPlay(squid, boil.deathAnimation, 1);
        boil.dead = 1;
        died = true;
    }
    if (!died) return;
    int32_t dead = 0;
    for (const MV2SquidBoil& boil : g_squid.boils)
        dead += boil.dead ? 1 : 0;
    if (dead < 4) {
        MV2PuppetBossPlay(squid, "doscream", 1);
    } else {
        MV2PuppetBossPlay(squid, "dodie", 1);
        MV2SetAltThrustControl(0, 1, 1);
    }
}

void SquidDeadNow(void* user) {
    MV2NotifyObjectScript(Squid(user), 13, 0, 0);
    if (MV2Object* o = MV2FindObjectByWorldID(kStopper)) MV2ObjectSendMessage(o, 4, 0, 0);
}

void SquidDying(void* user) {
    MV2Object* squid = Squid(user);
    TvV3d camera;
    if (!squid || !squid->matrix || !MV2BossCameraPosition(&camera)) return;
    const TvV3d d = TvV3dSub(camera, squid->matrix->pos);
    if (TvV3dDot(d, d) < 2500.0f) MV2BossSoundAt(camera, 15.0f, "SQUIDDIE", 10000);
}

void SquidInkEnd(void* user) {
    g_squid.inkOn = 0;
    if (MV2Object* squid = Squid(user))
        MV2StopObjectSound(squid, MV2CreatureSound("SQUIDINK"), &g_squid.inkSound);
}

void SquidInkStart(void* user) {
    MV2Object* squid = Squid(user);
    MV2Object* sub = MV2GetPlayerObject();
    TvV3d tongue;
    if (!squid || !sub || !sub->matrix || !MV2PuppetBossNodePosition(squid, "tounge base", &tongue))
        return;
    g_squid.inkOn = 1;
    g_squid.inkEmission = 0.0f;
    g_squid.inkDuration = 2.0f;
    g_squid.inkDirection = MV2Unit(TvV3dSub(sub->matrix->pos, tongue));
    MV2StartObjectSound(squid, MV2CreatureSound("SQUIDINK"), &g_squid.inkSound, 0, 0);
}

void SquidIntroHit(void*) {
    PlayAtCamera("EELSCREAM3", 15.0f);
    PlayAtCamera("SQUIDBASHROCK", 15.0f, 0);
    MV2StartCameraShake(1, 0.5f);
    static const int32_t kRockTypes[3] = {128, 129, 130};
    for (int32_t id = 0x03080008; id <= 0x0308000D; ++id) {
        MV2Object* o = MV2FindObjectByWorldID(id);
        if (!o || !o->matrix) continue;
        const MV2Point3 at = MV2Point(o->matrix->pos);
        for (int i = 0; i < 5; ++i)
            MV2CreateObject(kRockTypes[MV2RandomBits(0x7FFF) % 3], at.v, nullptr);
    }
}

void SquidIntroScream(void*) {
    PlayAtCamera("EELSCREAM2", 15.0f);
}

void SquidIntroWail(void*) {
    PlayAtCamera("SQUIDATTACK", 15.0f);
    g_squid.attackTimer = 10.0f;
}

void SquidScream(void*) {
    PlayAtCamera("SQUIDSCREAM", 15.0f);
}

void SquidSwipe(void* user) {
    if (MV2Object* squid = Squid(user); squid && squid->matrix)
        MV2BossSoundAt(squid->matrix->pos, 10.0f, "SQUIDSWIPE");
}

template <int N> void SquidTentacleKill(void* user) {
    MV2Object* squid = Squid(user);
    if (!squid) return;
    for (int32_t bone = 1; bone <= 7; ++bone) {
        char name[32];
        std::snprintf(name, sizeof name, "tent%d-bone0%d", N, bone);
        TvV3d at;
        if (!MV2PuppetBossNodePosition(squid, name, &at)) continue;
        const MV2Point3 p = MV2Point(at);
        if (MV2Object* piece = MV2CreateObject(118, p.v, nullptr); piece && piece->body) {
            TvV3d v, spin;
            MV2RandomDirection(&v);
            MV2RandomDirection(&spin);
            piece->body->velocity = TvV3dScale(v, 0.25f);
            piece->body->angularVelocity = TvV3dScale(spin, 0.25f);
        }
        MV2CreateExplosion(p.v, 1.5f, 0.0f, nullptr, 8, 0);
        MV2AddScorch(p.v, 3.0f, 1);
    }
}

// ---- Ink clouds ----

struct InkPool {
    TvFreeList* list = nullptr;
    MV2InkCloud active;
    MV2InkCloud spent;
    TvTexture* texture = nullptr;
    TvIm3DVertex vertices[16];
    uint16_t indices[24];
} g_ink;

void Empty(MV2InkCloud* head) {
    head->next = head->previous = head;
}

bool Linked() {
    return g_ink.active.next != nullptr;
}

void Unlink(MV2InkCloud* c) {
    c->previous->next = c->next;
    c->next->previous = c->previous;
}

void LinkAfter(MV2InkCloud* head, MV2InkCloud* c) {
    c->next = head->next;
    c->previous = head;
    head->next->previous = c;
    head->next = c;
}

void DrawBatch(int32_t quads) {
    if (quads <= 0) return;
    if (!TvIm3DTransform(g_ink.vertices, quads * 4, nullptr, kTvIm3DVertexUV)) return;
    TvIm3DRenderIndexedPrimitive(kTvPrimitiveTriangleList, g_ink.indices, quads * 6);
    TvIm3DEnd();
}

// ---- Ink emitter and buoy ----

MV2InkEmitter* EmitterOf(MV2Object* o) {
    return o && o->privateData ? static_cast<MV2InkEmitter*>(o->privateData) : nullptr;
}

intptr_t EmitterUpdate(MV2Object* emitter, MV2InkEmitter* d) {
    const float seconds = MV2FrameSeconds();
    d->phase += seconds;
    if (d->phase > 6.283f) d->phase -= 6.283f;
    MV2Object* player = MV2GetPlayerObject();
    if (!player || !emitter->matrix || MV2ObjectDistanceSquared(player, emitter) >= 100.0)
        return MV2ObjectDefaultHandler(emitter, 2, 0, 0);
    d->emission -= seconds;
    if (d->emission < 0.0f) {
        TvMatrix turned = *emitter->matrix;
        const TvV3d axis{0.0f, 1.0f, 0.0f};
        TvMatrixRotate(&turned, &axis, std::cos(d->phase) * 30.0f, 1);
        const TvV3d at = turned.at;
        for (int guard = 0; d->emission < 0.0f && guard < 1000; ++guard) {
            TvV3d r1, r2;
            MV2RandomDirection(&r1);
            MV2RandomDirection(&r2);
            MV2EmitInkCloud(TvV3dAdd(emitter->matrix->pos, TvV3dScale(r1, 0.1f)),
                            TvV3dAdd(at, TvV3dScale(r2, 0.1f)), 0.8f, 1.5f);
            d->emission += 0.1f * MV2RandomUnit() + 1e-4f;
        }
        MV2StartObjectSound(emitter, MV2CreatureSound("SQUIDINK"), &d->sound, 0, 0);
    }
    return MV2ObjectDefaultHandler(emitter, 2, 0, 0);
}

MV2BeaconBuoy* BuoyOf(MV2Object* o) {
    return o && o->privateData ? static_cast<MV2BeaconBuoy*>(o->privateData) : nullptr;
}

MV2LightObjectData* LightData(MV2Object* light) {
    return light && light->privateData ? static_cast<MV2LightObjectData*>(light->privateData)
                                       : nullptr;
}

intptr_t BuoyCreate(MV2Object* buoy, intptr_t p1, intptr_t p2) {
    if (!MV2ObjectDefaultHandler(buoy, 3, p1, p2)) return 0;
    MV2BeaconBuoy* d = BuoyOf(buoy);
    if (!d || !buoy->matrix) return 0;
    *d = MV2BeaconBuoy{};
    const TvV3d p = TvV3dAdd(buoy->matrix->pos, TvV3d{0.0f, 1.0f, 0.0f});
    const MV2Point3 at = MV2Point(p);
    MV2Object* light = MV2CreateObject(69, at.v, nullptr);
    MV2LightObjectData* l = LightData(light);
    if (!l) {
        if (light) MV2ObjectSendMessage(light, 4, 0, 0);
        return 0;
    }
    l->red = l->green = l->blue = 0.0f;
    l->radius = 0.0f;
    l->glowSize = 0.6f;
    l->flags = (l->flags & ~(1u << 3)) | (1u << 2);
    MV2ObjectSendMessage(light, 11, 1, 0);
    MV2SetObjectRef(&d->light, light);
    for (uint32_t tag = 2; tag <= 5; ++tag)
        d->lightFrames[tag - 2] = MV2FindFrameByTag(buoy->clump, tag);
    d->anchored = 1;
    d->point = buoy->matrix->pos;
    buoy->typeWord &= ~kMV2ObjectCollidesWorld;
    return 1;
}

intptr_t BuoyUpdate(MV2Object* buoy, MV2BeaconBuoy* d) {
    const uint32_t t = MV2GameClock();
    MV2Object* light = MV2GetObjectRef(&d->light);
    MV2LightObjectData* l = LightData(light);
    uint32_t slot;
    if (!d->anchored) {
        const TvV3d torque{0.0f, 0.1f, 0.0f};
        const TvV3d point = TvV3dAdd(buoy->matrix->pos, buoy->matrix->up);
        MV2AddTorque(buoy, &torque, &point);
        const float f = 1.0f - float(t & 255) / 256.0f;
        if (l) l->red = 0.25f * f, l->green = 0.25f * f, l->blue = f;
        slot = (t >> 8) & 7;
    } else {
        buoy->matrix->pos = d->point;
        if (buoy->body) buoy->body->velocity = buoy->body->angularVelocity = TvV3d{};
        MV2SyncObjectFrame(buoy);
        const float f = 1.0f - float(t & 63) / 64.0f;
        if (l) l->red = f, l->green = 0.25f * f, l->blue = 0.25f * f;
        slot = (t >> 6) & 7;
    }
    if (light && l) {
        if (slot < 4 && d->lightFrames[slot]) {
            TvV3d p = TvFrameGetLTM(d->lightFrames[slot])->pos;
            MV2ObjectSendMessage(light, 83, 0, reinterpret_cast<intptr_t>(&p.x));
        } else {
            l->red = l->green = l->blue = 0.0f;
        }
    }
    return MV2ObjectDefaultHandler(buoy, 2, 0, 0);
}

void Anchor(MV2Object* buoy, MV2BeaconBuoy* d) {
    d->anchored = 1;
    d->point = buoy->matrix->pos;
    buoy->typeWord &= ~kMV2ObjectCollidesWorld;
}

} // namespace

MV2SquidState* MV2GetSquidState() {
    return &g_squid;
}

void MV2ResetSquid() {
    g_squid = MV2SquidState{};
    MV2ClearInkClouds();
}

int32_t MV2SquidTentacleFor(float x, float y, uint32_t coin) {
    if (x >= 0.0f) return y <= -1.0f ? 2 + int32_t(coin & 1) : 2;
    return y >= -1.0f ? int32_t(coin & 1) : 0;
}

intptr_t MV2SquidBossHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    switch (message) {
    case 96: return MV2AnswerSize(p2, 0);
    case 3: return Create(object, p1, p2);
    case 2: return MV2PuppetBossInstance(object) ? Update(object) : 1;
    case 4:
        MV2StopMusicTrack();
        MV2StopObjectSound(object, MV2CreatureSound("SQUIDINK"), &g_squid.inkSound);
        MV2PuppetBossDestroy(&g_kind, object);
        return MV2ObjectDefaultHandler(object, 4, p1, p2);
    case 63: MV2PuppetBossPartHit(object, p2); return 1;
    case 76: Hit(object, p1, p2); return 1;
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

int32_t MV2InitialiseInkClouds() {
    if (!g_ink.list) g_ink.list = TvFreeListCreate(sizeof(MV2InkCloud), 64);
    if (!g_ink.list) return 0;
    Empty(&g_ink.active);
    Empty(&g_ink.spent);
    if (!g_ink.texture) g_ink.texture = MV2ReadEffectTexture("ink", "inkm");
    static const float kCorner[4][2] = {{0, 1}, {1, 1}, {1, 0}, {0, 0}};
    for (int32_t q = 0; q < 4; ++q) {
        for (int32_t c = 0; c < 4; ++c) {
            TvIm3DVertex& v = g_ink.vertices[q * 4 + c];
            v = TvIm3DVertex{};
            v.u = kCorner[c][0];
            v.v = kCorner[c][1];
            v.red = v.green = v.blue = 127;
            v.alpha = 255;
        }
        static const uint16_t kQuad[6] = {0, 1, 2, 0, 2, 3};
        for (int32_t i = 0; i < 6; ++i)
            g_ink.indices[q * 6 + i] = uint16_t(q * 4 + kQuad[i]);
    }
    return 1;
}

void MV2ShutdownInkClouds() {
    if (g_ink.list) TvFreeListDestroy(g_ink.list);
    g_ink.list = nullptr;
    g_ink.active.next = g_ink.active.previous = nullptr;
    g_ink.spent.next = g_ink.spent.previous = nullptr;
    MV2DestroyEffectTexture(g_ink.texture);
}

void MV2ClearInkClouds() {
    if (!Linked()) return;
    while (g_ink.active.next != &g_ink.active) {
        MV2InkCloud* c = g_ink.active.next;
        Unlink(c);
        LinkAfter(&g_ink.spent, c);
    }
}

MV2InkCloud* MV2EmitInkCloud(const TvV3d& position, const TvV3d& velocity, float size,
                             float life) {
    if (!Linked()) return nullptr;
    MV2InkCloud* c = nullptr;
    if (g_ink.spent.next != &g_ink.spent) {
        c = g_ink.spent.next;
        Unlink(c);
    } else {
        c = static_cast<MV2InkCloud*>(TvFreeListAlloc(g_ink.list));
        if (!c) return nullptr;
    }
    c->size = size;
    c->life = life;
    c->position = position;
    c->velocity = velocity;
    LinkAfter(&g_ink.active, c);
    return c;
}

void MV2UpdateInkClouds(MV2Object* owner) {
    if (!Linked()) return;
    const float seconds = MV2FrameSeconds();
    MV2Object* sub = MV2GetPlayerObject();
    for (MV2InkCloud* c = g_ink.active.next; c != &g_ink.active;) {
        MV2InkCloud* next = c->next;
        c->life -= seconds;
        if (c->life <= 0.0f) {
            Unlink(c);
            LinkAfter(&g_ink.spent, c);
            c = next;
            continue;
        }
        TvV3d r;
        MV2RandomDirection(&r);
        c->position = TvV3dAdd(c->position, TvV3dAdd(TvV3dScale(c->velocity, seconds * 10.0f),
                                                     TvV3dScale(r, seconds)));
        c->size += seconds;
        if (sub && sub->matrix) {
            const TvV3d d = TvV3dSub(sub->matrix->pos, c->position);
            if (TvV3dDot(d, d) < 2.0f) MV2DamageObject(owner, sub, nullptr, 3.0f * seconds, 1);
        }
        c = next;
    }
}

void MV2DrawInkClouds(TvCamera* camera) {
    if (!Linked() || !camera || g_ink.active.next == &g_ink.active) return;
    const TvMatrix* m = MV2CameraMatrix(camera);
    TvRenderStateSet(kTvRenderStateTextureRaster, intptr_t(MV2EffectRaster(g_ink.texture)));
    TvRenderStateSet(kTvRenderStateVertexAlphaEnable, 1);
    TvRenderStateSet(kTvRenderStateZWriteEnable, 0);
    TvRenderStateSet(kTvRenderStateSrcBlend, 1);
    TvRenderStateSet(kTvRenderStateDestBlend, 4);
    int32_t quads = 0;
    for (const MV2InkCloud* c = g_ink.active.next; c != &g_ink.active; c = c->next) {
        const TvSphere sphere{c->position, c->size * 1.4142f};
        if (TvCameraFrustumTestSphere(camera, &sphere) == kTvSphereOutside) continue;
        const TvV3d r = TvV3dScale(m->right, c->size), u = TvV3dScale(m->up, c->size);
        TvIm3DVertex* q = &g_ink.vertices[quads * 4];
        q[0].objVertex = TvV3dSub(TvV3dSub(c->position, r), u);
        q[1].objVertex = TvV3dSub(TvV3dAdd(c->position, r), u);
        q[2].objVertex = TvV3dAdd(TvV3dAdd(c->position, r), u);
        q[3].objVertex = TvV3dAdd(TvV3dSub(c->position, r), u);
        if (++quads == 4) {
            DrawBatch(quads);
            quads = 0;
        }
    }
    DrawBatch(quads);
    TvRenderStateSet(kTvRenderStateZWriteEnable, 1);
}

const MV2InkCloud* MV2InkCloudHead() {
    return &g_ink.active;
}

int32_t MV2CountInkClouds() {
    int32_t n = 0;
    if (Linked())
        for (const MV2InkCloud* c = g_ink.active.next; c != &g_ink.active; c = c->next)
            ++n;
    return n;
}

intptr_t MV2SquidInkHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2InkEmitter));
    MV2InkEmitter* d = EmitterOf(object);
    switch (message) {
    case 3:
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        if (d) *d = MV2InkEmitter{};
        return 1;
    case 2: return d ? EmitterUpdate(object, d) : MV2ObjectDefaultHandler(object, 2, p1, p2);
    case 4:
        if (d) MV2StopObjectSound(object, MV2CreatureSound("SQUIDINK"), &d->sound);
        return MV2ObjectDefaultHandler(object, 4, p1, p2);
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

intptr_t MV2BeaconBuoyHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2BeaconBuoy));
    if (message == 3) return BuoyCreate(object, p1, p2);
    MV2BeaconBuoy* d = BuoyOf(object);
    if (!d || !object->matrix) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2: return MV2ObjectHandleAlive(object->handle) ? BuoyUpdate(object, d) : 1;
    case 4:
        if (MV2Object* light = MV2GetObjectRef(&d->light)) MV2ObjectSendMessage(light, 4, 0, 0);
        return MV2ObjectDefaultHandler(object, 4, p1, p2);
    case 18: {
        if (d->anchored || d->hold || !d->targetSet || object->matrix->up.y <= 0.985f) return 0;
        const TvV3d off = TvV3dSub(object->matrix->pos, d->point);
        if (TvV3dDot(off, off) < 16.0f) MV2ObjectSendMessage(object, 93, 0, 0);
        return 0;
    }
    case 33:
        if (auto* target = reinterpret_cast<MV2Object*>(p2); target && target->matrix) {
            d->point = target->matrix->pos;
            d->targetSet = 1;
        } else {
            d->targetSet = 0;
        }
        return 1;
    case 43: d->hold = 0; return 1;
    case 44: d->hold = 1; return 1;
    case 93: Anchor(object, d); return 1;
    case 94:
        d->anchored = 0;
        d->targetSet = 0;
        object->typeWord |= kMV2ObjectCollidesWorld;
        return 1;
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

void MV2RegisterSquidHandlers() {
    MV2SetObjectTypeHandler(266, MV2SquidBossHandler);
    MV2SetObjectTypeHandler(409, MV2SquidInkHandler);
    MV2SetObjectTypeHandler(134, MV2BeaconBuoyHandler);
}
