// The spore-attack mission of row 27: the player approaches a site, a cut-scene shows the
// eruption, then a city craft escorts to a goal while spores pour out of a hive; the mission is
// won when no spore is left near the hive, the player and the city craft.
#include <initializer_list>

#include "engine/world/clump.h"
#include "engine/world/random.h"
#include "engine/world/world.h"
#include "game/creatures/creaturemath.h"
#include "game/creatures/subai.h"
#include "game/effects/fireballs.h"
#include "game/frontend/hud.h"
#include "game/missions/levelobjects.h"
#include "game/missions/lightobject.h"
#include "game/missions/missions.h"
#include "game/objects/camera.h"
#include "game/objects/clumpdata.h"
#include "game/objects/levels.h"
#include "game/objects/levelswitch.h"
#include "game/objects/sky.h"
#include "game/objects/utilities.h"
#include "game/player/playercraft.h"
#include "platform/win32/win32.h"
#include "shell/cdaudio.h"
#include "shell/gamestate.h"

namespace {

constexpr int32_t kRow = 27;
constexpr int32_t kSpawnLimit = 10;
constexpr int32_t kHiveId = 0x2A0000, kGoalId = 0x40224, kSiteId = 0x40246;
constexpr int32_t kEruptionId = 0x490001, kEscortId = 0x490002, kBlastId = 0x40247;
constexpr uint32_t kRecord = 0x4AFFFF, kCutScene = 0x49FFFF;
constexpr int32_t kFlakTable[16] = {0x4A0017, 0x4A000C, 0x4A000D, 0x4A000E, 0x4A000F, 0x4A0010,
                                    0x4A0011, 0x4A0012, 0x4A0013, 0x4A0014, 0x4A0015, 0x4A0008,
                                    0x4A0009, 0x4A000A, 0x4A000B, 0x4A0016};

enum Timer : int32_t {
    kBegin = 256,
    kApproach = 257,
    kEruption = 258,
    kRumble = 259,
    kFlakRun = 260,
    kFlakA = 261,
    kFlakB = 262,
    kEruptionFlak = 263,
    kBlast0 = 264,
    kBlast1 = 265,
    kBlast2 = 266,
    kEscort = 267,
    kLaunch = 268,
    kToGoal = 269,
    kGoalCheck = 270,
    kArrived = 271,
    kSpawn = 272,
    kHealth = 273,
    kCleanUp = 274,
    kWon = 275,
    kBanner = 276,
};

struct SporeAttack {
    int32_t spawning;
    int32_t retreated;
    int32_t reached;
    int32_t over;
    int32_t large, small; // live spores of types 353 and 354
    int32_t spawned;
    MV2ObjectRef hive;
    MV2ObjectRef goal;
    int32_t rumble;
    MV2ObjectRef light;
    int32_t flak; // -1 off
    int32_t objectiveLock;
    uint32_t nextRetarget;
    MV2ObjectHandle target;
    int32_t music;
};
SporeAttack g_s;

uint32_t Now() {
    return gMV2DayClock.gameClock;
}

MV2Object* Find(int32_t id) {
    return MV2FindObjectByScriptID(id);
}

bool IsSpore(MV2Object* object) {
    const int32_t t = object ? MV2TypeOf(object) : -1;
    return t == 353 || t == 354;
}

// The world walk over the objects: the game objects among the current world's clumps.
MV2Object* ObjectFrom(TpWorld* world, TpClump* clump) {
    for (; clump; clump = MV2GetNextWorldClump(world, clump))
        if (TpClumpGetCallBack(clump) == MV2UpdateClumpObject)
            if (MV2Object* o = MV2GetClumpObject(clump)) return o;
    return nullptr;
}

MV2Object* FirstObject() {
    TpWorld* world = TpWorldGetCurrent();
    return world ? ObjectFrom(world, MV2GetFirstWorldClump(world)) : nullptr;
}

MV2Object* NextObject(MV2Object* object) {
    TpWorld* world = TpWorldGetCurrent();
    return world && object->clump ? ObjectFrom(world, MV2GetNextWorldClump(world, object->clump)) : nullptr;
}

float DistanceSquared(MV2Object* a, MV2Object* b) {
    const TvV3d d = TvV3dSub(a->matrix->pos, b->matrix->pos);
    return TvV3dDot(d, d);
}

void Music() {
    MV2AddMusicTrack(14, 1);
    MV2StartMusic();
}

float Random8() {
    return float(MV2RandomBits(0xFF));
}

void FlakAt(MV2Object* object, float size, uint32_t ms, uint32_t flags) {
    if (object) MV2CreateFlak(object, size, ms, flags);
}

void FlakAtPoint(TvV3d at, float size, uint32_t ms) {
    MV2CreateFlak(&at, size, ms, 2);
}

// Plays the messages one after the other; the milliseconds until the last ends.
int32_t PlayInRow(std::initializer_list<uint32_t> ids) {
    int32_t ms = -1;
    for (uint32_t id : ids)
        ms = ms < 0 ? int32_t(MV2PlayMissionMessage(id)) : MV2MissionQueueMessage(kRow, id, ms);
    return ms;
}

// Craft A turns on spore `s` when the rule allows it.
void Retarget(MV2Object* s) {
    MV2Object* a = MV2GetMissionObjectA();
    if (!a || !s) return;
    const bool allowed = (!g_s.retreated && int32_t(Now() - g_s.nextRetarget) >= 0) ||
                         !MV2ObjectHandleAlive(g_s.target);
    if (!allowed) return;
    if (MV2TypeOf(s) == 235) {
        MV2Object* owner = nullptr;
        MV2ObjectSendMessage(s, 16, 0, reinterpret_cast<intptr_t>(&owner));
        if (!owner) return;
        s = owner;
    }
    MV2SubAIOrderGuard(a, s, 1, 7, 461, 12.0f);
    if (MV2SubAIPushCommand(a)) MV2SubAISetAttack(a, s, 1);
    if (MV2SubAIPushCommand(a)) MV2SubAISetGoTo(a, s, 12.0f);
    g_s.target = s->handle;
    g_s.nextRetarget = Now() + 12000;
}

// The spore nearest craft A; spores without a target are given the nearer of the player's sub
// and craft A.
MV2Object* FindNearest() {
    MV2Object* a = MV2GetMissionObjectA();
    MV2Object* sub = MV2GetPlayerSub();
    MV2Object* nearest = nullptr;
    float best = 0.0f;
    for (MV2Object* o = FirstObject(); o; o = NextObject(o)) {
        if (!IsSpore(o) || !o->matrix) continue;
        MV2Object* target = nullptr;
        MV2ObjectSendMessage(o, 34, 0, reinterpret_cast<intptr_t>(&target));
        if (a) {
            const float d = DistanceSquared(o, a);
            if (!nearest || d < best) nearest = o, best = d;
        }
        if (target) continue;
        MV2Object* give = sub;
        if (a && (!sub || DistanceSquared(o, a) < DistanceSquared(o, sub))) give = a;
        if (give) MV2ObjectSendMessage(o, 33, 0, reinterpret_cast<intptr_t>(give));
    }
    return nearest;
}

void RetargetNearest() {
    if (MV2Object* s = FindNearest()) Retarget(s);
}

void Retreat(MV2Object* a) {
    MV2SubAIOrderCityRoute(a, 3);
    g_s.retreated = 1;
    MV2PlayMissionMessage(941);
    MV2MissionInstallNotify(kRow, 6);
}

bool BadlyHurt(MV2Object* a) {
    return a && a->energy < MV2InitialEnergy(a) * 0.1f;
}

void SpawnSpore() {
    if (!g_s.spawning) return;
    MV2Object* hive = MV2GetObjectRef(&g_s.hive);
    if (!hive) {
        hive = Find(kHiveId);
        if (!hive) return;
        MV2SetObjectRef(&g_s.hive, hive);
    }
    const MV2Point3 p = MV2Point(hive->matrix->pos);
    if (MV2Object* spore = MV2CreateObject(353, p.v, nullptr)) {
        MV2Object* a = MV2GetMissionObjectA();
        MV2Object* target = (g_s.spawned % 2 == 0 || !a) ? MV2GetPlayerSub() : a;
        if (target) MV2ObjectSendMessage(spore, 33, 0, reinterpret_cast<intptr_t>(target));
    }
    if (++g_s.spawned >= kSpawnLimit) {
        MV2PlayMissionMessage(1291);
        g_s.spawning = 0;
        MV2MissionSetTimer(kRow, kCleanUp, 1);
    }
}

bool SporesNear(MV2Object* centre, float radius) {
    if (!centre) return false;
    MV2CountObjectsNear(centre, radius);
    return MV2GetNearbyObjectCount(353) || MV2GetNearbyObjectCount(354);
}

void CleanUp() {
    if (SporesNear(MV2GetObjectRef(&g_s.hive), 20.0f) || SporesNear(MV2GetPlayerObject(), 30.0f) ||
        SporesNear(MV2GetMissionObjectA(), 20.0f)) {
        MV2MissionSetTimer(kRow, kCleanUp, 5000);
        return;
    }
    g_s.over = 1;
    MV2MissionSetTimer(kRow, kWon, int32_t(MV2PlayMissionMessage(1289)));
    for (MV2Object* o = FirstObject(); o; o = NextObject(o))
        if (IsSpore(o)) o->energy = -1.0f;
}

void Won() {
    MV2FadeMusic(0.0f, 3.0f);
    g_s.music = 0;
    MV2MissionSetTimer(kRow, kBanner, PlayInRow({1290, 1292, 1293}));
    for (int32_t event : {8, 6, 18})
        MV2MissionRemoveNotify(kRow, event);
    if (MV2Object* a = MV2GetMissionObjectA()) {
        MV2MissionDetachObject(a);
        MV2SubAIOrderCityRoute(a, 3);
    }
    MV2MissionDetachObject(MV2GetPlayerSub());
}

void Launch() {
    MV2Object* a = MV2CityLaunchCraft(1, 4, Find(0x2001C));
    if (!a) {
        MV2MissionSetTimer(kRow, kLaunch, 5000);
        OutputDebugStringA("Spore attack: launch failed, trying again\n");
        return;
    }
    MV2SetMissionObjectA(a);
    MV2ObjectSendMessage(a, 21, 21, 0);
    MV2MissionAttachObject(kRow, a);
    g_s.retreated = 0;
    MV2MissionSetTimer(kRow, kToGoal, 5000);
    g_s.nextRetarget = Now() + 4999;
}

void ToGoal() {
    MV2Object* a = MV2GetMissionObjectA();
    MV2Object* goal = MV2GetObjectRef(&g_s.goal);
    if (!a || !goal) return;
    if (g_s.reached) {
        RetargetNearest();
        return;
    }
    MV2SubAIOrderGuard(a, goal, 1, 7, 461, 20.0f);
    if (MV2SubAIPushCommand(a)) MV2SubAISetGoTo(a, goal, 10.0f);
    MV2MissionSetTimer(kRow, kGoalCheck, 2000);
}

void GoalCheck() {
    if (g_s.over || g_s.reached) return;
    MV2Object* a = MV2GetMissionObjectA();
    MV2Object* goal = MV2GetObjectRef(&g_s.goal);
    if (!a || !goal) return;
    if (DistanceSquared(a, goal) < 100.0f) {
        g_s.reached = 1;
        MV2MissionSetTimer(kRow, kArrived, 1);
        return;
    }
    MV2MissionSetTimer(kRow, kGoalCheck, 2000);
}

void EruptionLight() {
    MV2Object* at = Find(kEruptionId);
    if (!at) return;
    const MV2Point3 p = MV2Point(at->matrix->pos);
    MV2Object* light = MV2CreateObject(69, p.v, nullptr);
    if (!light) return;
    if (auto* d = MV2LevelData<MV2LightObjectData>(light)) {
        d->red = 1.0f;
        d->green = 0.9f;
        d->blue = 0.7f;
        d->radius = 8.0f;
        d->parent = at->clump ? at->clump->frame : nullptr;
    }
    MV2SetObjectRef(&g_s.light, light);
    MV2ObjectSendMessage(light, 11, 1, 0);
}

void PathEvent(intptr_t value) {
    if (value == 6) {
        g_s.flak = -1;
        FlakAt(Find(kEruptionId), 4.0f, 1200, 1);
        EruptionLight();
        MV2MissionSetTimer(kRow, kFlakA, 2400);
        MV2MissionSetTimer(kRow, kFlakB, 1400);
        MV2MissionSetTimer(kRow, kEruptionFlak, 5);
    } else if (value == 7) {
        MV2Object* blast = Find(kBlastId);
        if (MV2Object* o = Find(0x40037); o && blast) {
            TvV3d at = blast->matrix->pos;
            MV2ObjectSendMessage(o, 12, 0, reinterpret_cast<intptr_t>(&at));
        }
        g_s.rumble = 0;
        MV2MissionSetTimer(kRow, kBlast0, 600);
        MV2MissionSetTimer(kRow, kBlast1, 1200);
        MV2MissionSetTimer(kRow, kBlast2, 1800);
    } else if (value == 9) {
        FlakAt(Find(kEruptionId), 4.0f, 1200, 1);
    }
}

void CutSceneDone() {
    if (MV2Object* light = MV2GetObjectRef(&g_s.light)) MV2ObjectSendMessage(light, 4, 0, 0);
    MV2ClearObjectRef(&g_s.light);
    MV2MissionRemoveNotify(kRow, 16);
    MV2MissionRemoveNotify(kRow, 17);
    MV2StartCameraShake(0, 0.0f);
    MV2DestroyLevelRecordObjects(kRecord);
    if (MV2Object* craft = MV2RespawnScriptObject(kEscortId)) {
        MV2MissionAttachObject(kRow, craft);
        MV2ObjectSendMessage(craft, 29, 0, reinterpret_cast<intptr_t>(MV2SubAIBrain));
        MV2SubAIOrderCityRoute(craft, 2);
    }
    MV2SetLevelSwitch(10, 1);
    MV2SetCityActive(1);
    MV2MissionSetTimer(kRow, kEscort, 1);
}

void Escort() {
    MV2ClearObjectRef(&g_s.goal);
    if (MV2Object* goal = Find(kGoalId)) MV2SetObjectRef(&g_s.goal, goal);
    MV2PlayMissionMessage(257);
    MV2ClearObjectRef(&g_s.hive);
    if (MV2Object* hive = Find(kHiveId)) {
        MV2SetObjectRef(&g_s.hive, hive);
        g_s.objectiveLock = 1;
        MV2HudSetObjective(hive);
    }
    MV2MissionAttachObject(kRow, MV2GetPlayerSub());
    MV2MissionInstallNotify(kRow, 8);
    MV2MissionInstallNotify(kRow, 18);
    if (MV2GetMissionObjectA())
        MV2MissionSetTimer(kRow, kToGoal, 1);
    else
        Launch();
}

void Event(MV2Object* object, intptr_t event, intptr_t value) {
    switch (event) {
    case 6:
        if (object && object == MV2GetMissionObjectA() && !g_s.over) {
            MV2MissionSetTimer(kRow, kLaunch, 8000);
            MV2MissionRemoveNotify(kRow, 6);
        }
        break;
    case 7:
        MV2MissionRemoveNotify(kRow, 7);
        MV2MissionRestart(28);
        break;
    case 8:
        RetargetNearest();
        if (g_s.music) Music();
        break;
    case 16: PathEvent(value); break;
    case 17:
        if (uint32_t(value) == kCutScene) CutSceneDone();
        break;
    case 18:
        if (!object) break;
        MV2MissionAttachObject(kRow, object);
        if (MV2TypeOf(object) == 353) {
            g_s.large++;
            if (MV2Object* sub = MV2GetPlayerSub())
                MV2ObjectSendMessage(object, 33, 0, reinterpret_cast<intptr_t>(sub));
        } else if (MV2TypeOf(object) == 354) {
            g_s.small++;
            Retarget(object);
        }
        break;
    default: break;
    }
}

void Damaged(MV2Object* object, MV2Object* attacker) {
    if (g_s.retreated) return;
    MV2Object* a = MV2GetMissionObjectA();
    if (BadlyHurt(a)) {
        Retreat(a);
        return;
    }
    const bool spore = object && (IsSpore(object) || MV2TypeOf(object) == 235);
    if (spore && attacker && attacker == a) {
        g_s.nextRetarget = Now() + 12000;
    } else if (spore) {
        Retarget(object);
    } else if (attacker && (IsSpore(attacker) || MV2TypeOf(attacker) == 235)) {
        Retarget(attacker);
    }
}

} // namespace

int32_t MV2SporeAtkMissionScript(MV2Object* object, int32_t message, intptr_t a, intptr_t b) {
    MV2CurrentLevelWorld world;
    switch (message) {
    case kMV2ScriptStart:
    case kMV2ScriptRestart:
        g_s = SporeAttack{};
        g_s.spawning = 1;
        g_s.nextRetarget = Now();
        MV2SetLevelWorldSetting(41);
        MV2MissionSetTimer(kRow, kBegin, 1000);
        break;
    case kBegin:
        MV2MissionBegin(kRow, 1);
        MV2HudSetObjective(Find(kSiteId));
        MV2MissionSetTimer(kRow, kApproach, 12000);
        break;
    case kApproach: {
        MV2Object* site = Find(kSiteId);
        MV2Object* sub = MV2GetPlayerSub();
        if (site && sub && DistanceSquared(site, sub) < 10000.0f) {
            MV2HudSetObjective(nullptr);
            MV2SetCityActive(0);
            MV2MissionSetTimer(kRow, kEruption, PlayInRow({249, 250, 255}));
        } else {
            MV2MissionSetTimer(kRow, kApproach, 4000);
        }
        break;
    }
    case kEruption: {
        MV2SpawnLevelRecord(kRecord, kRow);
        MV2PlayCutScene(kCutScene, 0);
        MV2MissionInstallNotify(kRow, 16);
        MV2MissionInstallNotify(kRow, 17);
        g_s.rumble = 1;
        MV2Object* shaker = Find(0x4025A);
        if (MV2Object* to = Find(0x40268); shaker && to) {
            TvV3d at = to->matrix->pos;
            MV2ObjectSendMessage(shaker, 12, 0, reinterpret_cast<intptr_t>(&at));
        }
        g_s.flak = 0;
        MV2MissionSetTimer(kRow, kFlakRun, 100);
        [[fallthrough]];
    }
    case kRumble:
        if (g_s.rumble) {
            MV2StartCameraShake(1, Random8() / 900.0f);
            MV2MissionSetTimer(kRow, kRumble, 900 + int32_t(MV2RandomBits(0x1FF)));
        }
        break;
    case kFlakRun:
        if (g_s.flak < 0) break;
        FlakAt(Find(kFlakTable[g_s.flak]), (Random8() + 255.0f) * 0.0125f, MV2RandomBits(0x7FF) + 1024, 0);
        g_s.flak += 1 + int32_t(MV2RandomBits(3));
        if (g_s.flak > 15) g_s.flak -= 16;
        MV2MissionSetTimer(kRow, kFlakRun, 100);
        break;
    case kFlakA: FlakAt(Find(0x4A0018), 6.0f, 2600, 0); break;
    case kFlakB: FlakAt(Find(0x4A0019), 8.0f, 2200, 0); break;
    case kEruptionFlak:
        if (MV2Object* at = Find(kEruptionId)) {
            TvV3d p = at->matrix->pos;
            p.x += (float(MV2RandomBits(0x3FF)) - 511.5f) * 0.005f;
            p.y += (float(MV2RandomBits(0x3FF)) - 511.5f) * 0.005f;
            p.z += (float(MV2RandomBits(0x3FF)) - 511.5f) * 0.005f;
            const float size = float(MV2RandomBits(15) + 8) / 9.0f;
            FlakAtPoint(p, size, MV2RandomBits(0x3FF) + 1000);
            MV2MissionSetTimer(kRow, kEruptionFlak, 100);
        }
        break;
    case kBlast0:
    case kBlast1:
    case kBlast2:
        if (MV2Object* at = Find(kBlastId)) {
            static const float kDrop[3] = {0.0f, 1.0f, 3.0f}, kSize[3] = {7.0f, 5.0f, 8.0f};
            static const uint32_t kMs[3] = {2200, 3200, 6600};
            const int32_t i = message - kBlast0;
            TvV3d p = at->matrix->pos;
            p.z -= kDrop[i];
            FlakAtPoint(p, kSize[i], kMs[i]);
        }
        break;
    case kEscort: Escort(); break;
    case kLaunch: Launch(); break;
    case kToGoal: ToGoal(); break;
    case kGoalCheck: GoalCheck(); break;
    case kArrived:
        Music();
        g_s.music = 1;
        MV2PlayMissionMessage(1285);
        for (int32_t ms : {0, 800, 1600, 2400})
            MV2MissionSetTimer(kRow, kSpawn, ms);
        MV2MissionSetTimer(kRow, kHealth, 5000);
        break;
    case kSpawn: SpawnSpore(); break;
    case kHealth:
        if (g_s.over) break;
        if (MV2Object* craft = MV2GetMissionObjectA(); craft && !g_s.retreated && BadlyHurt(craft))
            Retreat(craft);
        MV2MissionSetTimer(kRow, kHealth, 2000);
        break;
    case kCleanUp: CleanUp(); break;
    case kWon: Won(); break;
    case kBanner:
        MV2HudShowResultBanner(1);
        MV2MissionInstallNotify(kRow, 7);
        MV2LockNearestTarget();
        break;
    case kMV2ScriptEvent: Event(object, a, b); break;
    case 8:
        if ((IsSpore(object) || (object && MV2TypeOf(object) == 235)) && g_s.objectiveLock) {
            g_s.objectiveLock = 0;
            MV2HudSetObjective(nullptr);
            if (!g_s.retreated && MV2GetMissionObjectA()) Retarget(object);
        }
        break;
    case 9: Damaged(object, reinterpret_cast<MV2Object*>(b)); break;
    case 10:
        if (object && MV2TypeOf(object) == 353) g_s.large--;
        if (object && MV2TypeOf(object) == 354) g_s.small--;
        if (IsSpore(object) && g_s.large + (g_s.small + 1) / 2 <= 3) SpawnSpore();
        break;
    case kMV2ScriptObjectKilled:
        if (object && MV2TypeOf(object) == 80 && b && reinterpret_cast<MV2Object*>(b) == MV2GetPlayerSub())
            MV2GameEventOnce(0);
        break;
    default: break;
    }
    return 1;
}
