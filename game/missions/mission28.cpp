#include "game/missions/mission28.h"

#include <algorithm>
#include <cstring>

#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "engine/world/clump.h"
#include "game/creatures/creaturemath.h"
#include "game/creatures/submarines.h"
#include "game/creatures/turrets.h"
#include "game/effects/effects.h"
#include "game/effects/explosions.h"
#include "game/effects/primitives.h"
#include "game/effects/stars.h"
#include "game/missions/missions.h"
#include "game/objects/camera.h"
#include "game/objects/dynamics.h"
#include "game/objects/levels.h"
#include "game/objects/objectsounds.h"
#include "game/objects/objecttypes.h"
#include "game/objects/rocktunnel.h"
#include "game/objects/utilities.h"
#include "game/player/loadout.h"
#include "game/player/playercraft.h"
#include "shell/cursor.h"
#include "shell/frametimer.h"
#include "shell/gameinit.h"
#include "shell/gamemain.h"
#include "shell/gamestate.h"

MV2Mission28State gMV2Mission28 = {};

namespace {

constexpr int32_t kRow = 28;
constexpr int32_t kBriefing = 42;
constexpr uint32_t kCutScene = 0x000CFFFF;
constexpr int32_t kAnchorId = 0x0004029A;
constexpr int32_t kRigType = 4, kCraftType = 15, kAmphibiousType = 84;
constexpr int32_t kObstacleTypes[8] = {5, 235, 7, 377, 6, 377, 5, 235};
constexpr float kShaftOffset = 6.5f, kShaftFar = 36.4f;
constexpr int32_t kRunSound = 87;
constexpr int8_t kCutSceneMode = 12, kShaftMode = 15;
constexpr uint32_t kHiddenPart = 666;
constexpr uint32_t kNextLevel = 0x02FFFFFF;

MV2Mission28State& S() {
    return gMV2Mission28;
}

int32_t TypeOf(MV2Object* object) {
    return object ? MV2TypeOf(object) : -1;
}

bool IsObstacleType(int32_t type) {
    return type == 5 || type == 235 || type == 7 || type == 377 || type == 6;
}

MV2ShaftObstacle* Obstacle(MV2Object* object) {
    if (!object->privateData || !object->type ||
        object->type->privateDataSize < sizeof(MV2ShaftObstacle))
        return nullptr;
    return static_cast<MV2ShaftObstacle*>(object->privateData);
}

intptr_t PassOn(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    MV2ObjectHandler own = MV2GetObjectTypeHandler(TypeOf(object));
    if (own == MV2Mission28CraftHandler || own == MV2Mission28ObstacleHandler) own = nullptr;
    return own ? own(object, message, p1, p2) : MV2ObjectDefaultHandler(object, message, p1, p2);
}

MV2Object* Create(int32_t type, const TvV3d& at) {
    const MV2Point3 p = MV2Point(at);
    return MV2CreateObject(type, p.v, nullptr);
}

void TakeControl(MV2Object* craft) {
    MV2SetPlayerObject(craft);
    MV2SetPlayerSub(craft);
    MV2ObjectSendMessage(craft, 29, 0, reinterpret_cast<intptr_t>(MV2PlayerHandler));
}

// The game mode is 15 while the run lasts: the shaft is advanced and drawn.
void StartRun() {
    MV2Mission28State& s = S();
    MV2MissionRemoveNotify(kRow, 4);
    MV2SetFarClip(30.0f);
    gMV2GameState.current = gMV2GameState.requested = kShaftMode;
    MV2Object* anchor = MV2FindObjectByScriptID(kAnchorId);
    if (!anchor) return; // the level provides the anchor
    MV2SetObjectRef(&s.anchor, anchor);
    const TvV3d at = anchor->matrix->pos;
    MV2Object* rig = Create(kRigType, at);
    if (rig) {
        MV2SetObjectRef(&s.rig, rig);
        if (TpAtomic* part = rig->clump ? MV2FindAtomicByTag(rig->clump, kHiddenPart) : nullptr)
            TpAtomicSetFlags(part, 0);
        rig->energy = 10000.0f;
    }
    const TvV3d start = TvV3dAdd(at, TvV3d{0.0f, 0.0f, kShaftOffset});
    MV2StartRockTunnel(&start);
    MV2Object* craft = Create(kCraftType, at);
    if (!craft) return;
    MV2SetObjectRef(&s.craft, craft);
    if (auto* sub = static_cast<MV2SubData*>(craft->privateData))
        sub->rightingOffset = TvV3dScale(sub->rightingOffset, 0.8f);
    if (MV2Object* old = MV2GetPlayerObject()) MV2ObjectSendMessage(old, 4, 0, 0);
    craft->typeHandler = MV2Mission28CraftHandler;
    if (gMV2MainCamera && gMV2MainCamera->object.frame) {
        TvFrameGetMatrix(gMV2MainCamera->object.frame)->pos = at;
        TvFrameUpdateObjects(gMV2MainCamera->object.frame);
    }
    MV2RecentrePlanktum();
    TakeControl(craft);
    s.elapsed = 0;
    MV2SetCameraMode(1);
}

void EndRun(MV2Object* craft) {
    MV2Mission28State& s = S();
    gMV2GameState.requested = kCutSceneMode;
    MV2ObjectSendMessage(craft, 4, 0, 0);
    MV2ClearObjectRef(&s.craft);
    if (MV2Object* rig = MV2GetObjectRef(&s.rig)) MV2ObjectSendMessage(rig, 4, 0, 0);
    MV2SelectSub(kAmphibiousType);
    if (MV2Object* sub = Create(kAmphibiousType, TvV3d{1.0f, 0.0f, 0.0f})) {
        MV2SetPlayerObject(sub);
        MV2SetPlayerSub(sub);
        MV2EquipPlayerSub(sub);
        MV2ObjectSendMessage(sub, 29, 0, reinterpret_cast<intptr_t>(MV2PlayerHandler));
    }
    // The return flag is set once level 2's missions are behind the player.
    if (!MV2Level2ReturnFlag) {
        MV2ReportMissionOutcome(kMV2OutcomeLevelChange, intptr_t(kNextLevel));
        MV2RequestLevelChange(kNextLevel);
    } else {
        MV2MissionRestart(35);
    }
}

// The rig faces down the shaft and carries the craft's turret mount.
void HoldRig(MV2Object* craft) {
    MV2Mission28State& s = S();
    MV2Object* rig = MV2GetObjectRef(&s.rig);
    if (!rig) return;
    TvMatrix* m = rig->matrix;
    const TvV3d k{0.0f, 0.0f, 1.0f};
    m->at = k;
    m->right = MV2Unit(TvV3dCross(m->up, k));
    m->up = MV2Unit(TvV3dCross(k, m->right));
    auto* sub = static_cast<MV2SubData*>(craft->privateData);
    if (auto* mount = sub ? static_cast<MV2TurretCraftExtension*>(sub->extension) : nullptr) {
        mount->up = m->up;
        mount->home = TvV3dAdd(m->pos, TvV3dScale(m->at, kShaftOffset));
    }
    if (MV2Object* anchor = MV2GetObjectRef(&s.anchor)) m->pos = anchor->matrix->pos;
    MV2SyncObjectFrame(rig);
}

void SpawnObstacle(MV2Object* craft) {
    MV2Mission28State& s = S();
    const uint32_t now = gMV2FrameTimer.frameClock;
    if (int32_t(now - s.nextSpawn) <= 0) return;
    s.nextSpawn = now + 500 + MV2RandomBits(0x7FF);
    int32_t drawn = kObstacleTypes[MV2RandomBits(7)];
    if (s.elapsed < 25000 && (drawn == 377 || drawn == 235)) drawn = 7;
    if (s.elapsed >= 25000 && s.elapsed < 50000 && drawn == 377) drawn = 7;
    TvV3d p{float(MV2RandomBits(0x1FFF)) - 4095.5f, float(MV2RandomBits(0x1FFF)) - 4095.5f, 0.0f};
    MV2Object* obstacle = Create(drawn == 235 ? 7 : drawn, p);
    const float speed =
        drawn == 235 ? 0.1f : float(MV2RandomBits(0x1FFF)) * 3.6625566e-5f + 0.1f;
    if (!obstacle) return;
    MV2ShaftObstacle* d = Obstacle(obstacle);
    if (!d) {
        MV2ObjectSendMessage(obstacle, 4, 0, 0);
        return;
    }
    MV2Normalise(&p);
    const float r = float(MV2RandomBits(0x1FFF)) * (3.5f - obstacle->radius) * 0.00012208521f;
    TvV3d shaft{p.x * r, p.y * r, kShaftFar};
    MV2ObjectSendMessage(obstacle, 83, 0, reinterpret_cast<intptr_t>(&shaft));
    obstacle->energy = TypeOf(obstacle) == 377 ? 6.0f : 2.0f;
    *d = MV2ShaftObstacle{speed, shaft};
    obstacle->typeHandler = MV2Mission28ObstacleHandler;
    if (drawn == 235)
        if (MV2Object* rig = MV2GetObjectRef(&s.rig)) {
            if (MV2Object* piece = Create(235, TvV3dAdd(craft->matrix->pos, TvV3dScale(rig->matrix->at, kShaftFar)))) {
                MV2ObjectSendMessage(piece, 15, 0, reinterpret_cast<intptr_t>(obstacle));
                MV2ObjectSendMessage(piece, 33, 0, reinterpret_cast<intptr_t>(craft));
                MV2ObjectSendMessage(piece, 0, 1, 0);
            }
        }
    MV2ObjectSendMessage(obstacle, 0, 1, 0);
}

// The craft is kept from rolling too far across the shaft.
void Level(MV2Object* craft) {
    TvMatrix* m = craft->matrix;
    const float d = m->right.z;
    if (d < -0.7f)
        m->right = {1.0f, 0.0f, -1.0f};
    else if (d > 0.7f)
        m->right = {1.0f, 0.0f, 1.0f};
    else
        return;
    m->right = MV2Unit(m->right);
    m->up = MV2Unit(TvV3dCross(m->at, m->right));
    m->at = MV2Unit(TvV3dCross(m->right, m->up));
}

intptr_t CraftUpdate(MV2Object* craft, intptr_t p1, intptr_t p2) {
    MV2Mission28State& s = S();
    MV2StartObjectSound(craft, kRunSound, &s.sound, 0, 0);
    if (craft->energy < 0.0f) {
        if (MV2Object* rig = MV2GetObjectRef(&s.rig)) rig->energy = -1.0f;
        craft->energy = -1.0f;
    }
    s.elapsed += gMV2FrameTimer.milliseconds;
    const float speed = MV2ShaftScrollSpeed(s.elapsed);
    if (s.elapsed > kMV2ShaftRunMs) {
        EndRun(craft);
        return 1;
    }
    MV2SetRockTunnelSpeed(speed + 0.1f);
    HoldRig(craft);
    SpawnObstacle(craft);
    Level(craft);
    return PassOn(craft, 2, p1, p2) ? 1 : 0;
}

intptr_t ObstacleUpdate(MV2Object* object, MV2ShaftObstacle* d, intptr_t p1, intptr_t p2) {
    if (object->energy <= 0.0f) {
        const MV2Point3 p = MV2Point(object->matrix->pos);
        MV2CreateExplosion(p.v, object->radius, 0.0f, nullptr, 4, 30);
        MV2ObjectSendMessage(object, 4, 0, 0);
        return 1;
    }
    MV2SetCameraMode(1);
    d->shaft.z -= MV2FrameStep() * d->speed;
    TvMatrix tunnel{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, d->shaft, 0, 0};
    TvMatrix world = *object->matrix;
    const int32_t status = MV2TunnelToWorld(&world, &tunnel);
    if (status == kMV2TunnelBehind) {
        MV2ObjectSendMessage(object, 4, 0, 0);
        return 1;
    }
    TvMatrix* m = object->matrix;
    if (status == kMV2TunnelPlaced) {
        m->right = world.right;
        m->up = world.up;
        m->at = world.at;
        m->pos = world.pos;
    }
    if (object->clump) MV2SetAllAtomicFlags(object->clump, status == kMV2TunnelBeyond ? 0 : 5);
    const TvV3d axis{1.0f, 0.0f, 0.0f};
    MV2RotateMatrixInPlace(m, &axis, -(d->speed * 10.0f * MV2FrameStep()), kTvCombinePostConcat);
    MV2SyncObjectFrame(object);
    return PassOn(object, 2, p1, p2);
}

void ObstacleStruck(MV2Object* object, MV2Object* other) {
    MV2Mission28State& s = S();
    MV2Object* craft = MV2GetObjectRef(&s.craft);
    if (craft) {
        MV2PlaySoundAt(&craft->matrix->pos, 1.0f, 3, 0, 0, 1000);
        MV2PlaySoundAt(&craft->matrix->pos, 1.0f, 4, 0, 0, 1000);
    }
    object->energy = -1.0f;
    if (TypeOf(other) != kRigType || !craft) return;
    TvV3d push{float(MV2RandomBits(127)) * 0.003937008f - 0.5f,
               float(MV2RandomBits(127)) * 0.003937008f - 0.5f,
               float(MV2RandomBits(127)) * 0.003937008f - 0.5f};
    push = TvV3dScale(MV2Unit(push), 0.02f);
    if (MV2Object* anchor = MV2GetObjectRef(&s.anchor)) MV2AddTorque(craft, &push, &anchor->matrix->pos);
    craft->energy -= 0.03f * MV2InitialEnergy(craft);
}

void Event(intptr_t event) {
    switch (event) {
    case 13:
        MV2SelectSub(kAmphibiousType);
        MV2MissionRemoveNotify(kRow, 13);
        MV2MissionInstallNotify(kRow, 8);
        break;
    case 8:
        MV2MissionRemoveNotify(kRow, 8);
        MV2MissionInstallNotify(kRow, 4);
        MV2SetLetterbox(1);
        MV2ResetMouseCursor();
        if (MV2CutSceneStart(kCutScene, 0)) {
            gMV2GameState.requested = kCutSceneMode;
            MV2MissionInstallNotify(kRow, 3);
        }
        MV2SetCutSceneActorFlag(0);
        break;
    case 3:
        MV2SetCutSceneActorFlag(1);
        MV2MissionRemoveNotify(kRow, 3);
        gMV2GameState.requested = 0;
        MV2SetLetterbox(2);
        MV2MissionInstallNotify(kRow, 4);
        break;
    case 4:
        if (gMV2GameState.requested == 0) StartRun();
        break;
    default: break;
    }
}

} // namespace

float MV2ShaftScrollSpeed(int32_t elapsed) {
    if (elapsed < 62501) return std::min(float(elapsed) * 0.00012f, 1.5f);
    return float(kMV2ShaftRunMs - elapsed) * 0.00012f;
}

intptr_t MV2Mission28CraftHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 2) return CraftUpdate(object, p1, p2);
    if (message == 4) MV2StopObjectSound(object, kRunSound, &S().sound);
    return PassOn(object, message, p1, p2) ? 1 : 0;
}

intptr_t MV2Mission28ObstacleHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    MV2ShaftObstacle* d = Obstacle(object);
    if (!d) return PassOn(object, message, p1, p2);
    switch (message) {
    case 2: return ObstacleUpdate(object, d, p1, p2);
    case 14: {
        auto* other = reinterpret_cast<MV2Object*>(p2);
        if (IsObstacleType(TypeOf(other))) return 0;
        if (TypeOf(object) != 377 && TypeOf(other) == 2) object->energy = -1.0f;
        break;
    }
    case 19: ObstacleStruck(object, reinterpret_cast<MV2Object*>(p2)); break;
    default: break;
    }
    return PassOn(object, message, p1, p2);
}

int32_t MV2Mission28Script(MV2Object*, int32_t message, intptr_t a, intptr_t) {
    MV2CurrentLevelWorld world;
    MV2Mission28State& s = S();
    switch (message) {
    case kMV2ScriptStart:
    case kMV2ScriptRestart:
        MV2EmptyHook();
        MV2MissionBegin(kRow, 1);
        s.sound = 0;
        MV2PendingMission = kBriefing;
        MV2MissionInstallNotify(kRow, 13);
        s.nextSpawn = 0;
        break;
    case kMV2ScriptEvent: Event(a); break;
    default: break;
    }
    return 1;
}
