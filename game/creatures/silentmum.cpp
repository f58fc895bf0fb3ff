// The silent mum boss, its drain beam and drain weapon, the pulsating egg and the laser hook.
#include "game/creatures/silentmum.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>

#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "engine/core/im2d.h"
#include "engine/core/memory.h"
#include "engine/world/anim.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "engine/world/material.h"
#include "game/creatures/animkeys.h"
#include "game/creatures/creaturemath.h"
#include "game/creatures/mumspores.h"
#include "game/creatures/puppetboss.h"
#include "game/effects/effectbase.h"
#include "game/effects/effects.h"
#include "game/missions/cutscenes.h"
#include "game/missions/lightobject.h"
#include "game/missions/missionflow.h"
#include "game/missions/missionhelpers.h"
#include "game/objects/clumpdata.h"
#include "game/objects/dynamics.h"
#include "game/objects/objectsounds.h"
#include "game/objects/utilities.h"
#include "game/player/playercraft.h"
#include "game/player/weapons.h"
#include "shell/errors.h"
#include "shell/sounds.h"

namespace {

void DrainFire(void*);
void DrainStart(void*);
void DrainStop(void*);
void EndFire1(void*);
void EndFire2(void*);
void Fire1(void*);
void Fire2(void*);
template <int N> void TentaclePump(void*);

const MV2PuppetCallback kMumEvents[] = {
    {"drainfire", DrainFire}, {"drainstart", DrainStart}, {"drainstop", DrainStop},
    {"endfire1", EndFire1},   {"endfire2", EndFire2},     {"fire1", Fire1},
    {"fire2", Fire2},         {"t1pump", TentaclePump<1>}, {"t2pump", TentaclePump<2>},
    {"t3pump", TentaclePump<3>},
};

MV2PuppetBossKind g_kind{"silmum", kMumEvents, 10, 25.0f, {}, 0};
MV2SilentMumState g_mum{};

constexpr const char* kHook = "silent mum laser";
constexpr const char* kPodNodes[kMV2SilentMumPods] = {
    "Vulva_Mid", "Vulva_Left_1", "Vulva_Left_2", "Vulva_Left_3",
    "Vulva_Right_1", "Vulva_Right_2", "Vulva_Right_3"};
constexpr int32_t kHolderIds[3] = {0x06030007, 0x06030002, 0x06030006};
constexpr float kRayStarts[kMV2SilentMumRays] = {2.0f, 4.0f, 5.5f, 6.0f, 6.5f, 7.5f, 8.0f, 9.0f,
                                                 9.0f, 9.0f, 9.0f, 9.0f, 9.0f, 0.0f, 0.0f, 0.0f};

uint32_t Now() {
    return MV2GameClock();
}

MV2Object* Ref(MV2ObjectRef& r) {
    return MV2GetObjectRef(&r);
}

MV2Object* MakeAt(int32_t type, const TvV3d& at) {
    const MV2Point3 p = MV2Point(at);
    return MV2CreateObject(type, p.v, nullptr);
}

void Place(MV2Object* o, const TvMatrix& m) {
    if (!o || !o->matrix) return;
    const uint32_t flags = o->matrix->flags;
    *o->matrix = m;
    o->matrix->flags = flags & ~kTvMatrixIdentity;
    MV2SyncObjectFrame(o);
}

void MoveTo(MV2Object* o, const TvV3d& at) {
    if (!o || !o->matrix) return;
    o->matrix->pos = at;
    MV2SyncObjectFrame(o);
}

void Show(MV2Object* o, int32_t on) {
    if (o) MV2ObjectSendMessage(o, 63, on, 0);
}

MV2LightObjectData* Light(MV2Object* o) {
    return o && o->privateData && o->type && o->type->privateDataSize >= sizeof(MV2LightObjectData)
               ? static_cast<MV2LightObjectData*>(o->privateData)
               : nullptr;
}

MV2Pod* PodData(int32_t i) {
    MV2Object* pod = Ref(g_mum.pods[i]);
    return pod && pod->privateData ? static_cast<MV2Pod*>(pod->privateData) : nullptr;
}

bool PodDead(int32_t i) {
    MV2Pod* d = PodData(i);
    return !d || d->dead;
}

bool PodUsable(int32_t i) {
    MV2Pod* d = PodData(i);
    return d && !d->dead && !d->closeRequest;
}

void DestroyRef(MV2ObjectRef& r) {
    if (MV2Object* o = Ref(r)) MV2ObjectSendMessage(o, 4, 0, 0);
    MV2ClearObjectRef(&r);
}

int32_t Sound(const char* name) {
    return MV2CreatureSound(name);
}

// ---- Creation ----

void BuildRayBuffers() {
    for (int32_t i = 0; i < 1 + 3 * kMV2SilentMumRays; ++i) {
        TvIm3DVertex& v = g_mum.rayVertices[i];
        v = TvIm3DVertex{};
        v.red = v.green = v.blue = v.alpha = 255;
    }
    for (int32_t r = 0; r < kMV2SilentMumRays; ++r) {
        const uint16_t a = uint16_t(1 + 3 * r), b = uint16_t(a + 1), c = uint16_t(a + 2);
        const uint16_t idx[12] = {0, a, b, 0, b, a, 0, b, c, 0, c, b};
        std::copy(idx, idx + 12, &g_mum.rayIndices[12 * r]);
        if (r < 6) std::copy(idx, idx + 12, &g_mum.flashIndices[12 * r]);
    }
    for (TvIm3DVertex& v : g_mum.flashVertices)
        v = TvIm3DVertex{};
}

void CreateOrbs(MV2Object* boss) {
    for (int32_t i = 0; i < 3; ++i) {
        MV2Object* orb = MakeAt(69, boss->matrix->pos);
        if (!orb) continue;
        MV2SetObjectRef(&g_mum.orbs[i], orb);
        g_mum.orbArcs[i] = MV2CreateElectricArc(orb, nullptr, 0x31);
        if (MV2LightObjectData* l = Light(orb)) {
            l->glowSize = 1.0f;
            l->blue = 0.5f;
            l->flags |= 4;
            l->green = 0.1f;
            l->red = 0.6f;
            l->radius = 0.0f;
        }
    }
}

void CreatePods(MV2Object* boss) {
    for (int32_t i = 0; i < kMV2SilentMumPods; ++i) {
        MV2PuppetNodeInstance* node = MV2PuppetFindNode(MV2PuppetBossInstance(boss), kPodNodes[i]);
        MV2Object* pod = MakeAt(i == 0 ? 429 : 428, boss->matrix->pos);
        if (!pod) continue;
        MV2SetObjectRef(&g_mum.pods[i], pod);
        if (node)
            MV2ObjectSendMessage(pod, 12, reinterpret_cast<intptr_t>(&node->world),
                                 reinterpret_cast<intptr_t>(boss->matrix));
    }
}

void AimRays(MV2Object* boss) {
    for (int32_t i = 0; i < kMV2SilentMumRays; ++i) {
        MV2Object* o = MV2FindObjectByWorldID(0x0603000A + i);
        if (o && o->matrix) {
            MV2SetObjectRef(&g_mum.rayObjects[i], o);
            g_mum.rayDirections[i] = MV2Unit(TvV3dSub(o->matrix->pos, boss->matrix->pos));
        } else {
            MV2ClearObjectRef(&g_mum.rayObjects[i]);
            MV2RandomDirection(&g_mum.rayDirections[i]);
        }
        MV2RandomDirection(&g_mum.rayAxes[i]);
        g_mum.raySounds[i] = 0;
    }
}

intptr_t Create(MV2Object* boss, intptr_t p1, intptr_t p2) {
    if (!MV2ObjectDefaultHandler(boss, 3, p1, p2) || !boss->matrix) return 0;
    MV2PuppetBossCreate(&g_kind, boss);
    g_mum.arenaEntered = 0;
    g_mum.arenaSetUp = 0;
    CreateOrbs(boss);
    CreatePods(boss);
    g_mum.phase = kMV2MumWait;
    if (!g_mum.sunray) g_mum.sunray = MV2ReadEffectTexture("sunray", nullptr);
    if (!g_mum.explo2a) g_mum.explo2a = MV2ReadEffectTexture("explo2a", nullptr);
    BuildRayBuffers();
    AimRays(boss);
    MV2AddEffectHook(kHook, MV2SilentMumLaserUpdate, nullptr, MV2SilentMumLaserDraw);
    for (int32_t i = 0; i < 8; ++i) {
        if (g_mum.deathTextures[i]) continue;
        char name[16], mask[16];
        std::snprintf(name, sizeof name, "diz%02d", i + 1);
        std::snprintf(mask, sizeof mask, "dizm%02d", i + 1);
        g_mum.deathTextures[i] = MV2ReadEffectTexture(name, mask);
    }
    g_mum.deathTime = 0.0f;
    g_mum.deathTexture = 0;
    MV2SetObjectRef(&g_mum.boss, boss);
    g_mum.ambientChannel = 0;
    g_mum.suckSound = 0;
    MV2ClearObjectRef(&g_mum.suckObject);
    MV2ClearObjectRef(&g_mum.suckBeacon);
    return 1;
}

// ---- Update ----

void Ambient(MV2Object* boss) {
    if (!g_mum.ambientChannel) {
        // The boss's ambient sample is whatever the sound list names for it; none, no sound.
        const int32_t sound = Sound("SILMUMAMBIENT");
        g_mum.ambientSlot = sound == kMV2NoSound ? 0 : MV2GetSoundSlot(sound);
        g_mum.ambientChannel = g_mum.ambientSlot > 0 ? MV2PlaySound(g_mum.ambientSlot, 0, 1) : 0;
        if (g_mum.ambientChannel <= 0) {
            g_mum.ambientChannel = -1;
            return;
        }
        MV2SetSoundLowPass(g_mum.ambientSlot, g_mum.ambientChannel, 1);
        MV2AttachSoundSource(g_mum.ambientSlot, g_mum.ambientChannel, &boss->matrix->pos);
        return;
    }
    TvV3d camera;
    if (g_mum.ambientChannel > 0 && MV2BossCameraPosition(&camera))
        MV2PlaceSound3D(g_mum.ambientSlot, g_mum.ambientChannel, &camera, nullptr, 0, 0.0f);
}

void SetUpArena(MV2Object* boss) {
    g_mum.arenaSetUp = 1;
    for (int32_t i = 0; i < 3; ++i) {
        MV2Object* h = MV2FindObjectByWorldID(kHolderIds[i]);
        if (!h || !h->matrix) continue;
        MV2SetObjectRef(&g_mum.holders[i], h);
        g_mum.holderPositions[i] = h->matrix->pos;
    }
    if (MV2Object* h0 = Ref(g_mum.holders[0])) MV2ObjectSendMessage(h0, 63, 0, 0);
    MV2Object* arena = MV2FindObjectByWorldID(0x06030005);
    if (arena && arena->matrix) {
        MV2SetObjectRef(&g_mum.arenaFrame, arena);
        TvV3d at = TvV3dSub(arena->matrix->pos, boss->matrix->pos);
        at.y = 0.0f;
        TvMatrix m = *arena->matrix;
        m.at = MV2Unit(at);
        m.up = {0.0f, 1.0f, 0.0f};
        m.right = TvV3dCross(m.up, m.at);
        Place(arena, m);
    }
    g_mum.swingOffset = 0.0f;
    g_mum.swingRate = -1.0f;
    MV2Object* swing = MV2FindObjectByWorldID(0x06030004);
    if (swing && swing->matrix) {
        MV2SetObjectRef(&g_mum.swingFrame, swing);
        if (arena && arena->matrix) {
            TvMatrix m = *arena->matrix;
            m.pos = swing->matrix->pos;
            Place(swing, m);
        }
        if (MV2Object* c = MakeAt(42, swing->matrix->pos)) MV2SetObjectRef(&g_mum.centreBeacon, c);
    }
    TvMatrix tip;
    if (!MV2PuppetBossNodeMatrix(boss, "t3 - tip null", &tip)) return;
    if (MV2Object* light = MakeAt(69, tip.pos)) {
        MV2SetObjectRef(&g_mum.tipLight, light);
        if (MV2LightObjectData* l = Light(light)) {
            l->red = 0.1f;
            l->green = 0.4f;
            l->blue = 0.3f;
            l->radius = 0.0f;
        }
        Place(light, tip);
    }
    g_mum.suckStrength = g_mum.suckRate = 0.0f;
    const TvV3d point = TvV3dAdd(tip.pos, TvV3dScale(MV2Unit(tip.at), 19.0f));
    if (MV2Object* b = MakeAt(42, point)) MV2SetObjectRef(&g_mum.suckTargetBeacon, b);
    if (MV2Object* b = MakeAt(242, point)) {
        MV2SetObjectRef(&g_mum.suckBeacon, b);
        Show(b, 0);
    }
    for (MV2ObjectRef& ring : g_mum.streamRings)
        if (MV2Object* r = MakeAt(432, tip.pos)) {
            MV2SetObjectRef(&ring, r);
            Show(r, 0);
        }
}

void WatchHolders(MV2Object* boss) {
    static const char* kKills[3] = {"t1kill", "t2kill", "t3kill"};
    for (int32_t i = 0; i < 3; ++i) {
        if (!g_mum.holders[i].object || MV2ObjectHandleAlive(g_mum.holders[i].handle)) continue;
        MV2PuppetBossPlay(boss, kKills[i], 1);
        MV2ClearObjectRef(&g_mum.holders[i]);
        if (i < 2)
            for (int32_t p = 1 + 3 * i; p <= 3 + 3 * i; ++p)
                if (MV2Object* pod = Ref(g_mum.pods[p])) MV2ObjectSendMessage(pod, 63, 0, 0);
    }
}

float SineTable(uint32_t index) {
    return std::sin(float(index & 0x7FF) * (6.2831853f / 2048.0f));
}

// The skin breathes: the vertices the puppet poses move along their normals.
void Breathe(MV2Object* boss) {
    MV2PuppetInstance* in = MV2PuppetBossInstance(boss);
    if (!in || !in->vertices || !in->normals || !in->puppet->vertexNodeCounts) return;
    const MV2Puppet* p = in->puppet;
    const uint32_t t = Now();
    TpGeometryLock(in->geometry, kTpLockVertices);
    for (int32_t i = 0; i < p->vertexCount; ++i) {
        if (p->vertexNodeCounts[i] == 0) continue;
        const uint32_t k = uint32_t(23 * i);
        const float d = 0.25f * SineTable(((t & 0x1FFF) + (k % 17) * 481) / 4);
        in->vertices[i] = TvV3dAdd(in->vertices[i], TvV3dScale(in->normals[i], d));
    }
    for (int32_t i = 0; i < p->duplicateCount; ++i)
        in->vertices[p->vertexCount + i] = in->vertices[p->duplicates[i]];
    TpGeometryUnlock(in->geometry);
}

void OrbitLights(MV2Object* boss) {
    MV2Object* arena = Ref(g_mum.arenaFrame);
    if (!arena || !arena->matrix) return;
    static const uint32_t kOffsets[3] = {0, 4000, 2000};
    static const float kAlong[3] = {-1.0f, 0.0f, 4.0f};
    TpAtomic* root = MV2FindRootAtomic(boss->clump);
    for (int32_t i = 0; i < 3; ++i) {
        MV2Object* orb = Ref(g_mum.orbs[i]);
        if (!orb) continue;
        TvMatrix m = *arena->matrix;
        const TvV3d ownRight{1.0f, 0.0f, 0.0f};
        TvMatrixRotate(&m, &ownRight, float((kOffsets[i] + Now()) & 0x3FFF) * 0.021973997f, 1);
        const TvV3d base = TvV3dAdd(boss->matrix->pos, TvV3dScale(m.right, kAlong[i]));
        const TvV3d outer = TvV3dAdd(base, TvV3dScale(m.up, 20.0f));
        int32_t triangle = 0;
        float fraction = 0.0f;
        const bool hit = root && MV2IntersectAtomicLine(root, &outer, &base, &triangle, &fraction);
        const float d = hit ? (1.0f - fraction) * 20.0f + 0.5f : 10.0f;
        m.pos = TvV3dAdd(base, TvV3dScale(m.up, d));
        Place(orb, m);
    }
}

void Swing() {
    g_mum.swingOffset += MV2FrameSeconds() * g_mum.swingRate;
    if (g_mum.swingRate * g_mum.swingOffset > 10.0f) {
        g_mum.swingOffset = 10.0f * g_mum.swingRate;
        g_mum.swingRate = -g_mum.swingRate;
    }
    MV2Object* swing = Ref(g_mum.swingFrame);
    MV2Object* centre = Ref(g_mum.centreBeacon);
    if (!swing || !centre || !swing->matrix) return;
    const TvV3d local{g_mum.swingOffset, 0.0f, 0.0f};
    TvV3d at;
    TvV3dTransformPoints(&at, &local, 1, swing->matrix);
    MoveTo(centre, at);
}

void Confine(MV2Object* player) {
    MV2Object* arena = Ref(g_mum.arenaFrame);
    if (!g_mum.arenaEntered || !player || !player->matrix || !arena || !arena->matrix) return;
    const TvMatrix& a = *arena->matrix;
    const TvV3d rel = TvV3dSub(player->matrix->pos, a.pos);
    const TvV3d right = MV2Unit(a.right), up = MV2Unit(a.up), at = MV2Unit(a.at);
    const float x = std::clamp(TvV3dDot(rel, right), -32.0f, 32.0f);
    const float y = std::clamp(TvV3dDot(rel, up), -33.0f, 31.0f);
    MoveTo(player, TvV3dAdd(a.pos, TvV3dAdd(TvV3dScale(right, x), TvV3dScale(up, y))));
    (void)at;
}

void OpenFirstPod(int32_t from, int32_t to, int32_t spores) {
    const int32_t step = from < to ? 1 : -1;
    for (int32_t i = from; i != to + step; i += step) {
        if (!PodUsable(i)) continue;
        MV2Pod* d = PodData(i);
        d->openRequest = 1;
        d->sporesToRelease = spores;
        return;
    }
}

void SporePhase() {
    MV2Object* centre = Ref(g_mum.centreBeacon);
    MV2Object* player = MV2GetPlayerObject();
    int32_t spores = 0;
    MV2Object* nearest = nullptr;
    if (centre && centre->matrix) {
        for (MV2Object* o = MV2FirstActiveObject(); o; o = MV2NextActiveObject(o)) {
            const int32_t type = MV2TypeOf(o);
            if ((type != 353 && type != 354) || !o->matrix) continue;
            const double d2 = MV2ObjectDistanceSquared(o, centre);
            if (d2 >= 2500.0) continue;
            ++spores;
            if (type != 353) continue;
            MV2ObjectSendMessage(o, 33, 0, reinterpret_cast<intptr_t>(centre));
            if (!nearest && d2 < 400.0) nearest = o;
        }
    }
    if (spores == 0) {
        g_mum.phase = kMV2MumPodShots;
        g_mum.phaseTimer = 0.0f;
        g_mum.podOrderIndex = 0;
        return;
    }
    if (nearest && player) MV2ObjectSendMessage(nearest, 33, 0, reinterpret_cast<intptr_t>(player));
    g_mum.phaseTimer = 5.0f;
}

void PodShots() {
    while (g_mum.podOrderIndex < kMV2SilentMumPods) {
        const int32_t i = kMV2SilentMumPodOrder[g_mum.podOrderIndex++];
        if (!PodUsable(i)) continue;
        MV2Pod* d = PodData(i);
        d->closeCountdown = 5.0f;
        d->openRequest = 1;
        d->flashRequest = 1;
        g_mum.phaseTimer = 5.0f;
        return;
    }
    g_mum.phase = kMV2MumSwipes;
    g_mum.phaseTimer = 5.0f;
    g_mum.step = 0;
    g_mum.tipTimers[0] = g_mum.tipTimers[1] = 100.0f;
    g_mum.blowMode = 0;
}

void TipShot(MV2Object* boss, int32_t tip) {
    TvV3d at;
    if (!MV2PuppetBossNodePosition(boss, tip == 0 ? "t1 - tip null" : "t2 - tip null", &at))
        return;
    MV2Object* shot = MakeAt(355, at);
    if (!shot) return;
    MV2BossSoundAt(at, 40.0f, "SPOREWEAPONSHOT");
    const MV2ObjectHandle handle = shot->handle;
    MV2ObjectSendMessage(shot, 15, 0, reinterpret_cast<intptr_t>(boss));
    MV2Object* player = MV2GetPlayerObject();
    if (!player || !player->matrix || !MV2ObjectHandleAlive(handle) || !shot->matrix) return;
    TvV3d direction = MV2Unit(TvV3dSub(player->matrix->pos, at));
    MV2AimMatrix(shot->matrix, direction);
    MV2SyncObjectFrame(shot);
    MV2ObjectSendMessage(shot, 12, 0, reinterpret_cast<intptr_t>(&direction));
}

void StartSuck(MV2Object* boss, MV2Object* player) {
    g_mum.phaseTimer = 10.0f;
    g_mum.suckStrength = g_mum.suckRate = 0.0f;
    MV2PuppetBossPlay(boss, "suck", 1);
    MoveTo(Ref(g_mum.suckTargetBeacon), player->matrix->pos);
    for (MV2ObjectRef& ring : g_mum.streamRings)
        Show(Ref(ring), 1);
    g_mum.streamPhase = 0.0f;
    if (MV2Object* ring = Ref(g_mum.streamRings[5]))
        MV2StartObjectSound(ring, Sound(g_mum.blowMode ? "SILMUMSUCK" : "SILMUMBLOW"),
                            &g_mum.suckSound, 0, 0);
    g_mum.phase = kMV2MumSuck;
}

void Swipes(MV2Object* boss) {
    for (int32_t t = 0; t < 2; ++t) {
        if (g_mum.tipTimers[t] >= 100.0f) continue;
        g_mum.tipTimers[t] -= MV2FrameSeconds();
        if (g_mum.tipTimers[t] >= 0.0f) continue;
        TipShot(boss, t);
        g_mum.tipTimers[t] += 0.1f;
    }
    if (g_mum.phaseTimer > 0.0f) return;
    switch (g_mum.step) {
    case 0:
        g_mum.phaseTimer = 0.5f;
        if (PodDead(1) && PodDead(2) && PodDead(3)) {
            MV2PuppetBossPlay(boss, "t1swipe", 1);
            g_mum.blowMode = 1;
        }
        break;
    case 1:
        g_mum.phaseTimer = 0.5f;
        if (PodDead(4) && PodDead(5) && PodDead(6)) {
            MV2PuppetBossPlay(boss, "t2swipe", 1);
            g_mum.phaseTimer = 3.0f;
        } else {
            g_mum.blowMode = 0;
        }
        break;
    default: {
        MV2Object* player = MV2GetPlayerObject();
        if (!Ref(g_mum.holders[2]) && player && player->matrix) {
            StartSuck(boss, player);
        } else {
            g_mum.phase = kMV2MumOpenLeft;
            g_mum.phaseTimer = 0.0f;
        }
        break;
    }
    }
    g_mum.step++;
}

void StopSuckSound() {
    if (MV2Object* ring = Ref(g_mum.streamRings[5]))
        MV2StopObjectSound(ring, Sound(g_mum.blowMode ? "SILMUMSUCK" : "SILMUMBLOW"),
                           &g_mum.suckSound);
}

void Swallowed(MV2Object* boss, MV2Object* object) {
    MV2ObjectSendMessage(object, 4, 0, 0);
    MV2ClearObjectRef(&g_mum.suckObject);
    for (MV2ObjectRef& ring : g_mum.streamRings)
        Show(Ref(ring), 0);
    MV2PuppetBossPlay(boss, "suckend", 1);
    MV2PlayCutSceneThen(0x0606FFFF, 0x06060001, 0xFFFFFF, 0x44FFFF, 0x440001);
    MV2SetScreenFade(0);
    StopSuckSound();
    g_mum.phase = kMV2MumDying;
    g_mum.deathTime = 0.0f;
    g_mum.deathPosition = boss->matrix->pos;
}

void Suck(MV2Object* boss) {
    const float seconds = MV2FrameSeconds();
    TvMatrix tip;
    if (!MV2PuppetBossNodeMatrix(boss, "t3 - tip null", &tip)) tip = *boss->matrix;
    Place(Ref(g_mum.tipLight), tip);
    Place(Ref(g_mum.suckBeacon), tip);
    g_mum.suckStrength = std::max(g_mum.suckStrength + seconds * g_mum.suckRate, 0.0f);
    if (MV2LightObjectData* l = Light(Ref(g_mum.tipLight))) l->glowSize = g_mum.suckStrength;
    g_mum.streamPhase += (g_mum.blowMode ? -5.0f : 5.0f) * seconds;
    g_mum.streamPhase -= std::floor(g_mum.streamPhase);
    MV2Object* beacon = Ref(g_mum.suckTargetBeacon);
    const TvV3d d = beacon && beacon->matrix ? MV2Unit(TvV3dSub(beacon->matrix->pos, tip.pos))
                                             : MV2Unit(tip.at);
    for (int32_t i = 0; i < kMV2SilentMumRings; ++i) {
        MV2Object* ring = Ref(g_mum.streamRings[i]);
        if (!ring) continue;
        TvMatrix m = tip;
        m.pos = TvV3dAdd(tip.pos, TvV3dScale(d, 2.0f * (g_mum.streamPhase + float(i))));
        Place(ring, m);
        if (ring->privateData && ring->type && ring->type->privateDataSize >= sizeof(float))
            *static_cast<float*>(ring->privateData) = (float(i) + g_mum.streamPhase) * 0.5f + 2.0f;
    }
    MV2Object* player = MV2GetPlayerObject();
    if (player && player->matrix) {
        const float cosine = TvV3dDot(d, MV2Unit(TvV3dSub(player->matrix->pos, tip.pos)));
        if (cosine > 0.9f) MV2DamageObject(boss, player, nullptr, cosine * seconds, 1);
    }
    MV2Object* object = Ref(g_mum.suckObject);
    if (g_mum.suckStrength > 0.0f && object && object->matrix) {
        const TvV3d to = TvV3dSub(tip.pos, object->matrix->pos);
        if (TvV3dDot(to, to) < 4.0f) {
            Swallowed(boss, object);
            return;
        }
        const TvV3d pull = TvV3dScale(MV2Unit(to), 0.2f);
        MV2AddForce(object, &pull);
        g_mum.phaseTimer = 10.0f;
    }
    if (g_mum.phaseTimer >= 0.0f) {
        if (MV2Object* ring = Ref(g_mum.streamRings[5]))
            MV2StartObjectSound(ring, Sound(g_mum.blowMode ? "SILMUMSUCK" : "SILMUMBLOW"),
                                &g_mum.suckSound, 0, 0);
    } else {
        MV2PuppetBossPlay(boss, "suckend", 1);
        Show(Ref(g_mum.suckBeacon), 0);
        for (MV2ObjectRef& ring : g_mum.streamRings)
            Show(Ref(ring), 0);
        g_mum.phaseTimer = 10.0f;
        StopSuckSound();
    }
    if (g_mum.suckRate < 0.0f && g_mum.suckStrength <= 0.0f) {
        g_mum.phase = kMV2MumOpenLeft;
        g_mum.phaseTimer = 2.0f;
    }
}

void Die(MV2Object* boss) {
    g_mum.deathTime += MV2FrameSeconds();
    const int32_t index = MV2SilentMumDeathTextureAt(g_mum.deathTime);
    while (g_mum.deathTexture < index) {
        ++g_mum.deathTexture;
        TpAtomic* atomic = MV2GetFirstAtomic(boss->clump);
        TpGeometry* g = atomic ? TpAtomicGetGeometry(atomic) : nullptr;
        if (TpMaterial* m = g ? TpGeometryGetMaterial(g, 0) : nullptr)
            if (g_mum.deathTextures[g_mum.deathTexture])
                TpMaterialSetTexture(m, g_mum.deathTextures[g_mum.deathTexture]);
        if (g_mum.deathTexture == 4) MV2BossSoundAt(boss->matrix->pos, 40.0f, "SILMUMDIE");
    }
    TvMatrix* m = boss->matrix;
    const float scale = std::max(1.0f, (g_mum.deathTime - 8.0f) * 1.2f);
    m->right = TvV3dScale(MV2Unit(m->right), scale);
    m->up = TvV3dScale(MV2Unit(m->up), scale);
    m->at = TvV3dScale(MV2Unit(m->at), scale);
    TvV3d r;
    MV2RandomDirection(&r);
    m->pos = TvV3dAdd(g_mum.deathPosition, TvV3dScale(r, std::min(g_mum.deathTime, 1.0f) * 0.25f));
    m->flags &= ~(kTvMatrixIdentity | kTvMatrixOrthoNormal);
    MV2SyncObjectFrame(boss);
}

void Phases(MV2Object* boss) {
    MV2Object* player = MV2GetPlayerObject();
    if (g_mum.phase != kMV2MumWait && g_mum.phase != kMV2MumDying)
        g_mum.phaseTimer -= MV2FrameSeconds();
    switch (g_mum.phase) {
    case kMV2MumWait:
        if (player && player->matrix && !g_mum.arenaEntered &&
            MV2ObjectDistanceSquared(player, boss) < 1600.0) {
            g_mum.arenaEntered = 1;
            if (MV2Object* arena = Ref(g_mum.arenaFrame); arena && arena->matrix) {
                TvV3d at = arena->matrix->pos;
                MV2ObjectSendMessage(player, 83, 0, reinterpret_cast<intptr_t>(&at.x));
            }
            g_mum.phase = kMV2MumOpenLeft;
            g_mum.phaseTimer = 10.0f;
        }
        break;
    case kMV2MumOpenLeft:
        if (g_mum.phaseTimer > 0.0f) break;
        OpenFirstPod(1, 6, 1);
        g_mum.phase = kMV2MumOpenRight;
        g_mum.phaseTimer = 4.0f;
        break;
    case kMV2MumOpenRight:
        if (g_mum.phaseTimer > 0.0f) break;
        OpenFirstPod(6, 1, 2);
        g_mum.phase = kMV2MumSpores;
        g_mum.phaseTimer = 5.0f;
        break;
    case kMV2MumSpores:
        if (g_mum.phaseTimer <= 0.0f) SporePhase();
        break;
    case kMV2MumPodShots:
        if (g_mum.phaseTimer <= 0.0f) PodShots();
        break;
    case kMV2MumSwipes: Swipes(boss); break;
    case kMV2MumSuck: Suck(boss); break;
    case kMV2MumDying: Die(boss); break;
    default: break;
    }
}

intptr_t Update(MV2Object* boss) {
    Ambient(boss);
    if (!g_mum.arenaSetUp) SetUpArena(boss);
    else WatchHolders(boss);
    MV2PuppetBossUpdate(boss, MV2FrameSeconds());
    Breathe(boss);
    OrbitLights(boss);
    Swing();
    Confine(MV2GetPlayerObject());
    Phases(boss);
    return 1;
}

void Destroy(MV2Object* boss) {
    for (int32_t i = 0; i < 3; ++i) {
        if (g_mum.orbArcs[i]) MV2DestroyElectricArc(g_mum.orbArcs[i]);
        g_mum.orbArcs[i] = 0;
        DestroyRef(g_mum.orbs[i]);
    }
    MV2PuppetBossDestroy(&g_kind, boss);
    MV2RemoveEffectHook(kHook);
    MV2DestroyEffectTexture(g_mum.sunray);
    MV2DestroyEffectTexture(g_mum.explo2a);
    for (TvTexture*& t : g_mum.deathTextures)
        MV2DestroyEffectTexture(t);
    if (g_mum.ambientChannel > 0) MV2StopSound(g_mum.ambientSlot, g_mum.ambientChannel);
    g_mum.ambientChannel = 0;
    StopSuckSound();
    for (int32_t i = 0; i < kMV2SilentMumRays; ++i)
        if (MV2Object* o = Ref(g_mum.rayObjects[i]))
            MV2StopObjectSound(o, Sound("SILMUMBEAM"), &g_mum.raySounds[i]);
    MV2ClearObjectRef(&g_mum.boss);
}

MV2Object* BossOf(void* user) {
    return static_cast<MV2Object*>(user);
}

void DrainStart(void*) {
    g_mum.suckRate = 2.0f;
    Show(Ref(g_mum.suckBeacon), 1);
}

void DrainFire(void*) {
    g_mum.suckRate = 0.0f;
    MV2Object* light = Ref(g_mum.tipLight);
    if (!light || !light->matrix) return;
    MV2Object* beam = MakeAt(339, light->matrix->pos);
    if (!beam) return;
    MV2SetObjectRef(&g_mum.drainBeam, beam);
    const MV2ObjectHandle handle = beam->handle;
    MV2ObjectSendMessage(beam, 33, 0, reinterpret_cast<intptr_t>(Ref(g_mum.suckTargetBeacon)));
    if (MV2ObjectHandleAlive(handle))
        MV2ObjectSendMessage(beam, 15, 0, reinterpret_cast<intptr_t>(light));
}

void DrainStop(void*) {
    DestroyRef(g_mum.drainBeam);
    g_mum.suckRate = -2.0f;
}

void Fire1(void*) {
    g_mum.tipTimers[0] = 0.0f;
}
void Fire2(void*) {
    g_mum.tipTimers[1] = 0.0f;
}
void EndFire1(void*) {
    g_mum.tipTimers[0] = 100.0f;
}
void EndFire2(void*) {
    g_mum.tipTimers[1] = 100.0f;
}

template <int N> void TentaclePump(void* user) {
    char name[32];
    std::snprintf(name, sizeof name, "tent %d base null", N);
    TvV3d at;
    if (MV2Object* boss = BossOf(user); boss && MV2PuppetBossNodePosition(boss, name, &at))
        MV2BossSoundAt(at, 40.0f, "SILMUMTENTACLE");
}

// ---- Drain beam ----

MV2DrainBeam* BeamOf(MV2Object* o) {
    return o && o->privateData ? static_cast<MV2DrainBeam*>(o->privateData) : nullptr;
}

bool CanBeDrained(const MV2Object* o) {
    return o && o->type && (o->type->words[7] & kMV2TypeCanDie);
}

void AlignBeam(MV2Object* beam, MV2DrainBeam* d) {
    MV2Object* owner = MV2GetObjectRef(&d->owner);
    MV2Object* target = MV2GetObjectRef(&d->target);
    if (!owner || !target || !owner->matrix || !target->matrix || !beam->matrix) return;
    if (TpAtomic* root = MV2FindRootAtomic(beam->clump)) {
        TpAnimSequenceAtomicSetCurrentKey(root, 0);
        TpAnimSequenceAtomicSetPosition(root, 0.0f);
    }
    beam->matrix->pos = owner->matrix->pos;
    MV2AimMatrix(beam->matrix, MV2Unit(TvV3dSub(target->matrix->pos, owner->matrix->pos)));
    MV2SyncObjectFrame(beam);
}

intptr_t BeamCreate(MV2Object* beam, intptr_t p1, intptr_t p2) {
    if (!MV2ObjectDefaultHandler(beam, 3, p1, p2)) return 0;
    MV2DrainBeam* d = BeamOf(beam);
    if (!d || !beam->matrix) return 0;
    *d = MV2DrainBeam{};
    d->length = 0.1f;
    d->lastDrain = int32_t(Now());
    const TvV3d at = MV2Unit(beam->matrix->at);
    MV2Object* hit = MV2FindObjectOnRay(&beam->matrix->pos, 20.0f, &at, nullptr, nullptr, 0);
    MV2ObjectSendMessage(beam, 0, 1, 0);
    if (hit && hit != beam && CanBeDrained(hit)) {
        MV2SetObjectRef(&d->target, hit);
    } else if (beam->clump) {
        MV2SetAllAtomicFlags(beam->clump, 0);
    }
    return 1;
}

intptr_t BeamUpdate(MV2Object* beam, MV2DrainBeam* d) {
    MV2Object* owner = MV2GetObjectRef(&d->owner);
    MV2Object* target = MV2GetObjectRef(&d->target);
    if ((d->owner.object && !owner) || (d->target.object && !target)) {
        MV2ObjectSendMessage(beam, 4, 0, 0);
        return 1;
    }
    if (!owner || !target || !owner->matrix || !target->matrix)
        return MV2ObjectDefaultHandler(beam, 2, 0, 0);
    const TvV3d at = MV2Unit(beam->matrix->at);
    MV2Object* hit = MV2FindObjectOnRay(&beam->matrix->pos, d->length, &at, nullptr, nullptr, 0);
    if (hit && hit != beam && hit != owner && hit != target) {
        if (!CanBeDrained(hit)) {
            MV2ObjectSendMessage(beam, 4, 0, 0);
            return 1;
        }
        MV2SetObjectRef(&d->target, hit);
        target = hit;
    }
    const float distance = MV2Length(TvV3dSub(target->matrix->pos, owner->matrix->pos));
    if (distance > 20.0f) {
        MV2ObjectSendMessage(beam, 4, 0, 0);
        return 1;
    }
    if (!d->grown) {
        d->length += 10.0f * MV2FrameSeconds();
        if (d->length >= distance) {
            d->length = distance;
            d->grown = 1;
        }
    } else {
        d->length = distance;
        if (int32_t(Now()) - d->lastDrain > 500) {
            if (MV2Object* spark = MakeAt(340, beam->matrix->pos)) {
                const MV2ObjectHandle h = spark->handle;
                MV2ObjectSendMessage(spark, 15, 0, reinterpret_cast<intptr_t>(beam));
                if (MV2ObjectHandleAlive(h))
                    MV2ObjectSendMessage(spark, 12, 0, reinterpret_cast<intptr_t>(d));
            }
            const MV2Point3 start = MV2Point(target->matrix->pos);
            MV2DamageObject(owner, target, start.v, 5.0f, 0);
            if (MV2GetObjectRef(&d->owner)) owner->energy = std::min(owner->energy + 5.0f, 100.0f);
            d->lastDrain = int32_t(Now()) - 128 + ((TvRandom() & 255) >= 128 ? 1 : 0);
        }
    }
    AlignBeam(beam, d);
    return MV2ObjectDefaultHandler(beam, 2, 0, 0);
}

// ---- Drain weapon ----

TvFreeList* g_drainSlots = nullptr;

struct DrainSlot {
    MV2ObjectRef beam;
};

// ---- Egg ----

MV2PulsatingEgg* EggOf(MV2Object* o) {
    return o && o->privateData ? static_cast<MV2PulsatingEgg*>(o->privateData) : nullptr;
}

void SetEggKey(MV2Object* egg, int32_t key) {
    if (TpAtomic* root = MV2FindRootAtomic(egg->clump)) {
        TpAnimSequenceAtomicSetCurrentKey(root, key);
        TpAnimSequenceAtomicSetPosition(root, 0.0f);
    }
}

void EggOpenClose(MV2Object* egg, MV2PulsatingEgg* d, intptr_t open) {
    if (open) {
        if (d->state == 0) return;
        if (d->state == 2) SetEggKey(egg, 0);
        d->state = 1;
    } else {
        if (d->state == 2) return;
        if (d->state == 0) SetEggKey(egg, 4);
        d->state = 3;
    }
}

intptr_t EggCreate(MV2Object* egg, intptr_t p1, intptr_t p2) {
    if (!MV2ObjectDefaultHandler(egg, 3, p1, p2)) return 0;
    MV2PulsatingEgg* d = EggOf(egg);
    if (!d || !egg->matrix) return 0;
    *d = MV2PulsatingEgg{};
    if (TpAtomic* root = MV2FindRootAtomic(egg->clump)) {
        TpGeometry* g = TpAtomicGetGeometry(root);
        if (g && TpAnimSequenceGeometryGetCallBack(g) != MV2PulsatingEggKeyCallback) {
            static const uint16_t kKeys[8][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 4},
                                                 {4, 3}, {3, 2}, {2, 1}, {1, 0}};
            if (TpAnimSequenceGeometryCreateKeys(g, 8))
                for (int32_t k = 0; k < 8; ++k)
                    TpAnimSequenceGeometrySetKey(g, k, kKeys[k][1], kKeys[k][0], 1.0f);
            TpAnimSequenceGeometrySetCallBack(g, MV2PulsatingEggKeyCallback);
            if (egg->type) {
                egg->type->words[7] |= kMV2TypeAnimKeys;
            }
        }
        TpAnimSequenceAtomicSetCurrentKey(root, 0);
    }
    egg->flags &= ~kMV2ObjectAnimate;
    if (MV2Object* light = MakeAt(69, egg->matrix->pos)) {
        if (MV2LightObjectData* l = Light(light)) {
            l->red = l->green = l->blue = 0.0f;
            l->radius = 8.0f;
            l->glowSize = 0.0f;
            l->flags = (l->flags & 0xFFFFF833u) | 0x830u;
        }
        MV2ObjectSendMessage(light, 11, 1, 0);
        MV2SetObjectRef(&d->light, light);
    }
    d->pulseRate = int32_t(TvRandom() & 15) + 15;
    d->pulseOffset = uint32_t(TvRandom());
    d->state = 2;
    d->nextRelease = int32_t(Now());
    d->releasePosition = TvV3dAdd(egg->matrix->pos, TvV3dScale(egg->matrix->up, 2.25f));
    return 1;
}

intptr_t EggUpdate(MV2Object* egg, MV2PulsatingEgg* d) {
    if (d->state == 1 || d->state == 3) {
        if (TpAtomic* root = MV2FindRootAtomic(egg->clump))
            TpAnimSequenceAtomicAddTime(root, 0.05f * MV2FrameStep());
    }
    if (d->state == 2 && d->sporesLeft > 0) MV2ObjectSendMessage(egg, 12, 1, 0);
    if (d->state == 0 && d->sporesLeft > 0 && int32_t(Now()) - d->nextRelease >= 0) {
        MV2Object* target = MV2GetObjectRef(&d->target);
        if (!target) target = MV2GetPlayerObject();
        if (target) {
            if (MV2Object* spore = MakeAt(354, d->releasePosition)) {
                const TvV3d push = TvV3dScale(egg->matrix->up, 1.75f);
                MV2AddForce(spore, &push);
                MV2ObjectSendMessage(spore, 33, 0, reinterpret_cast<intptr_t>(target));
            }
            if (--d->sporesLeft <= 0) MV2ObjectSendMessage(egg, 12, 0, 0);
            d->nextRelease = int32_t(Now()) + 600;
        }
    }
    if (MV2LightObjectData* l = Light(MV2GetObjectRef(&d->light))) {
        float x = MV2EggPulse(d->pulseOffset, d->pulseRate, Now());
        l->red = 1.0f - x * x;
        l->green = x;
        l->blue = 0.5f;
    }
    MV2StartObjectSound(egg, Sound("PULSATINGEGG"), &d->sound, 0, 1000);
    return MV2ObjectDefaultHandler(egg, 2, 0, 0);
}

// ---- Laser hook ----

float Lerp(const float (&table)[12], float phase) {
    const int32_t k = std::clamp(int32_t(std::floor(phase)), 0, 10);
    const float f = phase - float(k);
    return f * table[k + 1] + (1.0f - f) * table[k];
}

void FlashUpdate() {
    g_mum.flashPhase += 3.33f * MV2FrameSeconds();
    if (g_mum.flashPhase >= 10.0f) {
        g_mum.flash = 0;
        return;
    }
    static const float kA[12] = {1, 1, 1, 1, 0.9f, 0.8f, 0.5f, 0.2f, 0, 0, 0, 0};
    static const float kW[12] = {0, 0.5f, 0.9f, 1, 1, 1, 1, 0.8f, 0.6f, 0.3f, 0, 0};
    const float phase = g_mum.flashPhase;
    const float a = 90.0f * Lerp(kA, phase);
    const float b = 180.0f * phase;
    const float w = 10.0f * Lerp(kW, phase);
    const float v = 25.5f * w;
    const uint8_t red = MV2WrapByte(0.1f * v), green = MV2WrapByte(0.7f * v), blue = MV2WrapByte(v);
    TvIm3DVertex& centre = g_mum.flashVertices[0];
    centre.objVertex = g_mum.flashCentre;
    centre.red = red, centre.green = green, centre.blue = blue, centre.alpha = 127;
    static const TvV3d kPoints[3] = {{0, 0.95f, 0.05f}, {0, 1, 0}, {0, 0.95f, -0.05f}};
    static const uint8_t kAlpha[3] = {0, 56, 0};
    const TvV3d at = MV2Unit(g_mum.flashMatrix.at), up = MV2Unit(g_mum.flashMatrix.up);
    for (int32_t r = 0; r < 6; ++r) {
        TvMatrix m = g_mum.flashMatrix;
        TvMatrixRotate(&m, &at, a, 2);
        TvMatrixRotate(&m, &up, b + g_mum.rayAngles[r], 2);
        m.pos = g_mum.flashMatrix.pos;
        const float scale = w * g_mum.rayScales[r];
        m.right = TvV3dScale(m.right, scale);
        m.up = TvV3dScale(m.up, scale);
        m.at = TvV3dScale(m.at, scale);
        m.flags = 0;
        for (int32_t c = 0; c < 3; ++c) {
            TvIm3DVertex& vx = g_mum.flashVertices[1 + 3 * r + c];
            TvV3dTransformPoints(&vx.objVertex, &kPoints[c], 1, &m);
            vx.red = red, vx.green = green, vx.blue = blue, vx.alpha = kAlpha[c];
        }
    }
}

void RayUpdate(TvCamera* camera) {
    const float t = g_mum.deathTime;
    TvIm3DVertex& centre = g_mum.rayVertices[0];
    centre.objVertex = g_mum.deathPosition;
    centre.red = centre.green = centre.blue = centre.alpha = 255;
    g_mum.litRays = 0;
    const TvV3d eye = MV2CameraMatrix(camera)->pos;
    for (int32_t i = 0; i < kMV2SilentMumRays; ++i) {
        if (t <= kRayStarts[i]) continue;
        const int32_t slot = g_mum.litRays++;
        if (MV2Object* o = Ref(g_mum.rayObjects[i]))
            MV2StartObjectSound(o, Sound("SILMUMBEAM"), &g_mum.raySounds[i], 0, 0);
        const float length = std::min((t - kRayStarts[i]) * 300.0f, 15.0f);
        TvV3d direction = g_mum.rayDirections[i];
        if (t > 8.5f) {
            TvMatrix turn{};
            TvMatrixSetIdentity(&turn);
            TvMatrixRotate(&turn, &g_mum.rayAxes[i], (t - 8.5f) * 8.0f, 0);
            TvV3dTransformVectors(&direction, &g_mum.rayDirections[i], 1, &turn);
        }
        const TvV3d start = g_mum.deathPosition;
        const TvV3d end = TvV3dAdd(start, TvV3dScale(direction, length));
        const TvV3d s = TvV3dScale(MV2Unit(TvV3dCross(direction, TvV3dSub(end, eye))), 0.5f);
        TvIm3DVertex* v = &g_mum.rayVertices[1 + 3 * slot];
        v[0].objVertex = TvV3dSub(end, s);
        v[1].objVertex = TvV3dAdd(start, TvV3dScale(TvV3dSub(end, start), 1.05f));
        v[2].objVertex = TvV3dAdd(end, s);
        for (int32_t c = 0; c < 3; ++c)
            v[c].red = v[c].green = v[c].blue = 255;
        v[0].alpha = v[2].alpha = 0;
        v[1].alpha = 127;
    }
}

void DrawIndexed(TvIm3DVertex* vertices, int32_t count, uint16_t* indices, int32_t indexCount) {
    if (count <= 0 || indexCount <= 0) return;
    if (!TvIm3DTransform(vertices, count, nullptr, 0)) return;
    TvIm3DRenderIndexedPrimitive(kTvPrimitiveTriangleList, indices, indexCount);
    TvIm3DEnd();
}

} // namespace

MV2SilentMumState* MV2GetSilentMumState() {
    return &g_mum;
}

void MV2ResetSilentMum() {
    TvTexture* sunray = g_mum.sunray;
    TvTexture* explo = g_mum.explo2a;
    TvTexture* death[8];
    std::copy(std::begin(g_mum.deathTextures), std::end(g_mum.deathTextures), death);
    g_mum = MV2SilentMumState{};
    g_mum.sunray = sunray;
    g_mum.explo2a = explo;
    std::copy(death, death + 8, g_mum.deathTextures);
}

int32_t MV2SilentMumDeathTextureAt(float deathTime) {
    int32_t index = 0;
    for (float threshold : kMV2SilentMumDeathThresholds)
        if (deathTime > threshold) ++index;
    return index;
}

intptr_t MV2SilentMumHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    switch (message) {
    case 96: return MV2AnswerSize(p2, 0);
    case 3: return Create(object, p1, p2);
    case 2: return MV2PuppetBossInstance(object) ? Update(object) : 1;
    case 4:
        Destroy(object);
        return MV2ObjectDefaultHandler(object, 4, p1, p2);
    case 14: {
        auto* other = reinterpret_cast<MV2Object*>(p2);
        const int32_t type = other ? MV2TypeOf(other) : -1;
        if (type == 353 || type == 354 || type == 241) return 0;
        return MV2ObjectDefaultHandler(object, 14, p1, p2);
    }
    case 33:
        if (auto* o = reinterpret_cast<MV2Object*>(p2)) MV2SetObjectRef(&g_mum.suckObject, o);
        return 1;
    case 63: MV2PuppetBossPartHit(object, p2); return 1;
    case 76: return 1;
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

intptr_t MV2DrainBeamHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2DrainBeam));
    if (message == 3) return BeamCreate(object, p1, p2);
    MV2DrainBeam* d = BeamOf(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2: return BeamUpdate(object, d);
    case 15:
        if (auto* owner = reinterpret_cast<MV2Object*>(p2)) {
            MV2SetObjectRef(&d->owner, owner);
            AlignBeam(object, d);
        }
        return 1;
    case 33:
        if (auto* target = reinterpret_cast<MV2Object*>(p2)) {
            MV2SetObjectRef(&d->target, target);
            if (object->clump) MV2SetAllAtomicFlags(object->clump, 4);
        }
        return 1;
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

intptr_t MV2DrainWeaponHandler(MV2WeaponRecord* weapon, int32_t message, intptr_t p1,
                               intptr_t p2) {
    auto* slot = weapon ? static_cast<DrainSlot*>(weapon->handlerData) : nullptr;
    switch (message) {
    case 3: {
        if (!g_drainSlots) g_drainSlots = TvFreeListCreate(sizeof(DrainSlot), 5);
        if (!g_drainSlots) {
            MV2ErrorBox("Could not create free list for drain");
            return 0;
        }
        auto* s = static_cast<DrainSlot*>(TvFreeListAlloc(g_drainSlots));
        if (!s || !weapon) return 0;
        *s = DrainSlot{};
        weapon->handlerData = s;
        return MV2StandardWeaponHandler(weapon, message, p1, p2);
    }
    case 4:
        if (slot && g_drainSlots) TvFreeListFree(g_drainSlots, slot);
        if (weapon) weapon->handlerData = nullptr;
        return MV2StandardWeaponHandler(weapon, message, p1, p2);
    case 10: {
        if (!slot) return 1;
        if (MV2Object* beam = MV2GetObjectRef(&slot->beam)) {
            MV2ObjectSendMessage(beam, 4, 0, 0);
            MV2ClearObjectRef(&slot->beam);
            return 1;
        }
        const auto* record = reinterpret_cast<const MV2CreationRecord*>(p2);
        if (!record || !record->matrix) return 1;
        const MV2Point3 at = MV2Point(record->matrix->pos);
        MV2Object* beam = MV2CreateObject(weapon->row ? weapon->row->shotType : 339, at.v, record);
        if (!beam) return 1;
        MV2SetObjectRef(&slot->beam, beam);
        MV2ObjectSendMessage(beam, 15, 1, reinterpret_cast<intptr_t>(record->owner));
        return 1;
    }
    case 57: {
        const bool live = slot && MV2GetObjectRef(&slot->beam);
        if (p2) *reinterpret_cast<MV2WeaponIcon*>(p2) = {live ? 0x51 : 0, live ? 0xFFFF00u : kMV2BossHudColour};
        return 1;
    }
    default: return MV2StandardWeaponHandler(weapon, message, p1, p2);
    }
}

intptr_t MV2PulsatingEggHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2PulsatingEgg));
    if (message == 3) return EggCreate(object, p1, p2);
    MV2PulsatingEgg* d = EggOf(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2: return EggUpdate(object, d);
    case 4:
        if (MV2Object* light = MV2GetObjectRef(&d->light)) MV2ObjectSendMessage(light, 4, 0, 0);
        MV2StopObjectSound(object, Sound("PULSATINGEGG"), &d->sound);
        return MV2ObjectDefaultHandler(object, 4, p1, p2);
    case 10: d->sporesLeft += int32_t(p1); return 1;
    case 12: EggOpenClose(object, d, p1); return 1;
    case 13: return d->state == 0;
    case 33:
        if (auto* t = reinterpret_cast<MV2Object*>(p2)) MV2SetObjectRef(&d->target, t);
        else MV2ClearObjectRef(&d->target);
        return 1;
    case 64: d->sporesLeft = 0; return 1;
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

int32_t MV2EggNextKey(int32_t finished, int32_t* state) {
    switch (finished) {
    case 3:
        if (*state == 3) return 4;
        *state = 0;
        return -1;
    case 7:
        if (*state == 1) return 0;
        *state = 2;
        return -1;
    default: return finished + 1;
    }
}

float MV2PulsatingEggKeyCallback(TpAtomic* atomic, float position) {
    MV2PulsatingEgg* d = EggOf(MV2AtomicObject(atomic));
    int32_t state = d ? d->state : 2;
    const int32_t next = MV2EggNextKey(TpAnimSequenceAtomicGetCurrentKeyIndex(atomic), &state);
    if (d) d->state = state;
    // A held key stays current, a second short of its end.
    return next < 0 ? position - 1.0f : MV2StepAnimKey(atomic, position, next);
}

float MV2EggPulse(uint32_t offset, int32_t rate, uint32_t t) {
    float x = float(((offset + t) * uint32_t(rate)) & 0xFFFFu) / 32768.0f;
    if (x > 1.0f) x = 2.0f - x;
    return x;
}

void MV2SilentMumStartFlash(const TvMatrix& podMatrix) {
    for (int32_t r = 0; r < 6; ++r) {
        g_mum.rayAngles[r] = MV2RandomUnit() * 360.0f;
        g_mum.rayScales[r] = (MV2RandomUnit() + 0.5f) * 0.66f;
    }
    g_mum.flashPhase = 0.0f;
    g_mum.flashMatrix = podMatrix;
    g_mum.flash = 1;
    for (int32_t i = 0; i < 30; ++i) {
        g_mum.random1[i] = MV2RandomUnit();
        g_mum.random2[i] = MV2RandomUnit();
    }
    g_mum.flashCentre = podMatrix.pos;
}

void MV2SilentMumLaserUpdate(TvCamera* camera) {
    if (g_mum.flash) FlashUpdate();
    if (g_mum.deathTime != 0.0f) RayUpdate(camera);
}

void MV2SilentMumLaserDraw(TvCamera*) {
    TvRenderStateSet(kTvRenderStateShadeMode, 2);
    TvRenderStateSet(kTvRenderStateVertexAlphaEnable, 1);
    TvRenderStateSet(kTvRenderStateZWriteEnable, 0);
    TvRenderStateSet(kTvRenderStateZTestEnable, 0);
    TvRenderStateSet(kTvRenderStateSrcBlend, 5);
    TvRenderStateSet(kTvRenderStateDestBlend, 2);
    if (g_mum.flash) {
        const float phase = g_mum.flashPhase;
        TvRenderStateSet(kTvRenderStateTextureRaster, intptr_t(MV2EffectRaster(g_mum.sunray)));
        DrawIndexed(g_mum.flashVertices, 19, g_mum.flashIndices, 72);
        for (int32_t i = 0; i < 30; ++i) {
            const float p = phase * 0.33f + g_mum.random1[i];
            const float g = p - std::floor(p);
            const float brightness = std::sin(phase * 0.314f) * std::sin(g * 1.57f);
            TvMatrix m = g_mum.flashMatrix;
            const float turn = phase * 0.1f + g_mum.random2[i];
            const TvV3d up{0.0f, 1.0f, 0.0f};
            TvMatrixRotate(&m, &up, -(turn - std::floor(turn)) * 360.0f, 1);
            m.pos = g_mum.flashMatrix.pos;
            const TvV3d local = TvV3dScale(TvV3d{0.3f, 0.9f, 0.0f}, (1.0f - g) * 10.0f);
            TvV3d at;
            TvV3dTransformPoints(&at, &local, 1, &m);
            MV2DrawSpriteShaded(g_mum.explo2a, &at, 0.5f, brightness);
        }
        const float glow = std::sin(phase * 0.157f);
        MV2DrawSpriteShaded(gMV2Silcor2Texture, &g_mum.flashCentre, 5.0f * glow, glow);
    }
    for (int32_t i = 0; i < kMV2SilentMumPods; ++i) {
        MV2Pod* d = PodData(i);
        MV2Object* pod = Ref(g_mum.pods[i]);
        if (d && d->beam && pod && pod->matrix)
            MV2DrawSpriteShaded(gMV2Silcor2Texture, &pod->matrix->pos, 5.0f, 1.0f);
    }
    if (g_mum.deathTime != 0.0f) {
        const float t = g_mum.deathTime;
        float b = 0.0f;
        for (float start : kRayStarts)
            if (t >= start && t - start < 0.1f) b = std::max(b, (0.1f - (t - start)) * 500.0f);
        MV2DrawSpriteShaded(gMV2Silcor2Texture, &g_mum.deathPosition,
                            std::max(b, std::max(t - 3.0f, 0.0f) * 3.0f), 1.0f);
        const float second = std::max(t - 9.0f, 0.05f) * 20.0f;
        MV2DrawSpriteShaded(gMV2Silcor2Texture, &g_mum.deathPosition, second * second, 1.0f);
        TvRenderStateSet(kTvRenderStateTextureRaster, intptr_t(MV2EffectRaster(g_mum.sunray)));
        TvRenderStateSet(kTvRenderStateZTestEnable, 1);
        DrawIndexed(g_mum.rayVertices, 1 + 3 * g_mum.litRays, g_mum.rayIndices,
                    12 * g_mum.litRays);
    }
    TvRenderStateSet(kTvRenderStateZTestEnable, 1);
    TvRenderStateSet(kTvRenderStateZWriteEnable, 1);
    TvRenderStateSet(kTvRenderStateDestBlend, 6);
}

void MV2RegisterSilentMumHandlers() {
    MV2SetObjectTypeHandler(236, MV2SilentMumHandler);
    MV2SetObjectTypeHandler(339, MV2DrainBeamHandler);
    MV2SetObjectTypeHandler(393, MV2PulsatingEggHandler);
    MV2SetWeaponRowHandler(18, MV2DrainWeaponHandler);
}
