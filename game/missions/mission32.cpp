// Mission row 32: level 9. The code lock takes three button sequences, each lighting its lamps
// and speeding up the lock's machine; four timed valves set the water level when all stand
// upright at once; three light beams, steered by turning mirrors, light a column above the
// collector, whose touch ends the level with a cut-scene into level 10. A camera post follows
// the player inside a fenced area.
#include "game/missions/mission32.h"

#include "engine/core/matrix.h"
#include "engine/world/clump.h"
#include "engine/world/world.h"
#include "game/creatures/creaturemath.h"
#include "game/effects/beams.h"
#include "game/missions/machineryprops.h"
#include "game/missions/missions.h"
#include "game/missions/rowkit.h"
#include "game/missions/scriptkit.h"
#include "game/objects/camera.h"
#include "game/objects/clumpdata.h"
#include "game/objects/objectsounds.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"
#include "game/player/playercraft.h"

const int32_t kMV2Mission32Sequences[kMV2Mission32LockStages][kMV2Mission32Buttons] = {
    {0, 1, 2, -1, -1}, {4, 1, 2, 3, -1}, {0, 4, 1, 3, 2}};

MV2Mission32State gMV2Mission32;

namespace {

constexpr int32_t kRow = 32;
constexpr int32_t kMirrorType = 54, kPlayerCraftType = 84, kBeamSound = 93;

constexpr uint32_t kObjectIds[kMV2Mission32Objects] = {
    0x09000005, 0x09000003, 0x09000004, 0x09000006, 0x09000007, 0x09000008, 0x0900000C, 0x0900000B,
    0x0900000A, 0x09000009, 0x09000002, 0x0900000D, 0x0900000E, 0x0900000F, 0x09000010, 0x09000012,
    0x09000015, 0x09000014, 0x09000016, 0x0900002B, 0x0900002C, 0x0900002A, 0x09000022, 0x09000024,
    0x09000029, 0x09000023, 0x09000025, 0x09000027, 0x09000021, 0x09000020, 0x09000026, 0x09000028,
    0x0900001F, 0x0900001D, 0x0900001B, 0x0900001E, 0x0900001C, 0x0900001A, 0x09000013, 0x09000019,
    0x09000018, 0x09000017, 0x0900002D, 0x09000030, 0x0900002F, 0x09000031, 0x09000032};

constexpr uint32_t kLamps[kMV2Mission32Buttons] = {0x09000005, 0x09000003, 0x09000004, 0x09000006,
                                                    0x09000007};
constexpr uint32_t kButtons[kMV2Mission32Buttons] = {0x09000008, 0x0900000C, 0x0900000B, 0x0900000A,
                                                      0x09000009};
constexpr uint32_t kValves[kMV2Mission32Valves] = {0x0900000D, 0x0900000E, 0x0900000F, 0x09000010};
constexpr uint32_t kEmitters[kMV2Mission32Emitters] = {0x09000019, 0x09000018, 0x09000017};
constexpr uint32_t kFencePosts[4] = {0x09000037, 0x09000038, 0x09000039, 0x0900003A};
constexpr uint32_t kMachine = 0x09000002, kDoor = 0x09000012, kWaterMark = 0x09000011;
constexpr uint32_t kHiddenPart = 0x0900002E, kCollector = 0x0900002D;
constexpr uint32_t kTriggerA = 0x09000030, kPostA = 0x0900002F, kTriggerB = 0x09000031,
                   kPostB = 0x09000032;
constexpr uint32_t kCameraLinks[2][2] = {{kTriggerA, kPostA}, {kTriggerB, kPostB}}; // trigger, its post
constexpr uint32_t kIntroScene = 0x0904FFFF, kFollowScene = 0x0905FFFF, kSolvedScene = 0x0906FFFF,
                   kStageScene = 0x0907FFFF;

// Handed on by pointer, so they live as long as the program.
const float kMachineSpeeds[kMV2Mission32LockStages] = {1.0f, 2.0f, 4.0f};
const float kDoorValues[kMV2Mission32LockStages + 1] = {0.0f, 1.0f, 4.0f, 16.0f};
const int32_t kValveTimes[kMV2Mission32Valves] = {5000, 4000, 5000, 8000};
const float kValveSpeeds[kMV2Mission32Valves] = {5.0f, 10.0f, 5.0f, 10.0f};

struct FixedBeam {
    uint32_t from, to;
    float width;
    uint32_t kind;
};
constexpr FixedBeam kFixedBeams[] = {
    {0x09000019, 0x09000015, 0.5f, 5}, {0x09000018, 0x09000014, 0.5f, 5},
    {0x09000017, 0x09000016, 1.0f, 5}, {0x09000016, 0x0900001C, 1.0f, 4},
    {0x09000014, 0x09000024, 1.0f, 3}, {0x09000015, 0x09000028, 1.0f, 2}};

struct Trace {
    uint32_t start;
    TvV3d direction;
    uint32_t kind;
    uint32_t receiver;
};
constexpr Trace kTraces[kMV2Mission32Emitters] = {{0x09000024, {0, 0, 1}, 3, 0x0900002C},
                                                 {0x09000028, {-1, 0, 0}, 2, 0x0900002B},
                                                 {0x0900001C, {0, 0, -1}, 4, 0x0900002A}};

MV2Mission32State& S() {
    return gMV2Mission32;
}

MV2RowTable Table() {
    return {kObjectIds, kMV2Mission32Objects, S().objects, S().handles};
}

MV2Object* Get(uint32_t id) {
    return MV2RowTableObject(Table(), id);
}

void SendTo(uint32_t id, int32_t message, intptr_t p1, intptr_t p2) {
    if (MV2Object* object = Get(id)) MV2ObjectSendMessage(object, message, p1, p2);
}

intptr_t Pointer(const void* p) {
    return reinterpret_cast<intptr_t>(p);
}

void LampsOff() {
    for (uint32_t lamp : kLamps)
        SendTo(lamp, 11, 0, 0);
}

void PlayPending(uint32_t scene, uint32_t actor) {
    S().pendingCutScene = scene;
    MV2PlayCutScene(scene, actor);
    // A cut-scene ending before its event arrived leaves the handler installed already.
    if (!MV2MissionNotifyInstalled(kRow, 3)) MV2MissionInstallNotify(kRow, 3);
}

// Back to the start of the valves' timed turn. A turning prop keeps its hold-until time in its
// record's first word; other types keep no such record.
void RestartValves() {
    for (int32_t i = 0; i < kMV2Mission32Valves; ++i) {
        MV2Object* valve = Get(kValves[i]);
        if (!valve) continue;
        MV2ObjectSendMessage(valve, 24, kValveTimes[i], 0);
        if (MV2GetObjectTypeHandler(MV2RowType(valve)) == MV2TurningPropHandler)
            if (auto* d = MV2SizedLevelData<MV2TurningPropData>(valve)) d->until = 0;
    }
}

void ReadFence() {
    MV2Object* posts[4];
    for (int32_t i = 0; i < 4; ++i) {
        posts[i] = MV2RowFind(kFencePosts[i]);
        // A restart that finds the posts already gone keeps the fence read before.
        if (!posts[i] || !posts[i]->matrix) return;
    }
    MV2Mission32Fence& f = S().fence;
    for (int32_t i = 0; i < 4; ++i) {
        f.x[i] = posts[i]->matrix->pos.x;
        f.z[i] = posts[i]->matrix->pos.z;
        MV2ObjectSendMessage(posts[i], 4, 0, 0);
    }
    for (int32_t i = 0; i < 4; ++i) {
        f.ex[i] = f.x[(i + 1) % 4] - f.x[i];
        f.ez[i] = f.z[(i + 1) % 4] - f.z[i];
    }
    f.known = 1;
}

void Reset() {
    const MV2Mission32Fence fence = S().fence;
    S() = {};
    S().fence = fence;
    if (MV2Object* hidden = MV2RowFind(kHiddenPart); hidden && hidden->clump)
        MV2SetAllAtomicFlags(hidden->clump, 0);
    PlayPending(kIntroScene, 0x09040002);
    MV2MissionBegin(kRow, 1);
    MV2RowTable table = Table();
    MV2RowBindTable(table, &MV2Mission32SwitchHit);
    for (uint32_t lamp : kLamps) {
        SendTo(lamp, 24, 0x7FFFFFFF, 0);
        SendTo(lamp, 11, 0, 0);
    }
    SendTo(kMachine, 12, 0, Pointer(&kMachineSpeeds[0]));
    for (int32_t i = 0; i < kMV2Mission32Valves; ++i) {
        SendTo(kValves[i], 24, kValveTimes[i], 0);
        SendTo(kValves[i], 11, 0, Pointer(&kValveSpeeds[i]));
    }
    ReadFence();
    MV2MissionSetTimer(kRow, 256, 1);
    // Touch sensors keep their link from the first parameter; other types take it from the second.
    for (const auto& link : kCameraLinks) {
        MV2Object* trigger = Get(link[0]);
        if (!trigger) continue;
        MV2ObjectSendMessage(trigger, 12, 0, reinterpret_cast<intptr_t>(&MV2Mission32CameraTrigger));
        MV2Object* post = Get(link[1]);
        MV2ObjectSendMessage(trigger, 33, Pointer(post), Pointer(post));
    }
}

void CutSceneEnded() {
    MV2MissionRemoveNotify(kRow, 3);
    switch (S().pendingCutScene) {
    case kIntroScene:
        if (MV2Object* hidden = MV2RowFind(kHiddenPart); hidden && hidden->clump)
            MV2SetAllAtomicFlags(hidden->clump, 5);
        break;
    case kFollowScene: S().cameraFollow = 1; break;
    case kStageScene: SendTo(kMachine, 11, 1, 0); break;
    default: break;
    }
}

void ButtonPressed(int32_t button) {
    MV2Mission32State& s = S();
    if (s.lockStage >= kMV2Mission32LockStages) return;
    const int32_t* sequence = kMV2Mission32Sequences[s.lockStage];
    if (s.lockPosition < kMV2Mission32Buttons && sequence[s.lockPosition] == button) {
        SendTo(kLamps[button], 11, 1, 0);
        ++s.lockPosition;
        if (s.lockPosition < kMV2Mission32Buttons && sequence[s.lockPosition] >= 0) return;
        ++s.lockStage;
        if (s.lockStage < kMV2Mission32LockStages) {
            s.lockPosition = 0;
            LampsOff();
            SendTo(kMachine, 12, 0, Pointer(&kMachineSpeeds[s.lockStage]));
        }
        SendTo(kMachine, 11, 0, 0);
        PlayPending(s.lockStage < kMV2Mission32LockStages ? kStageScene : kSolvedScene, 0);
        SendTo(kDoor, 12, 1, Pointer(&kDoorValues[s.lockStage]));
        return;
    }
    for (int32_t i = 0; i < s.lockPosition; ++i)
        if (sequence[i] == button) return; // already accepted in this stage
    LampsOff();
    s.lockPosition = 0;
}

void ValveReported(int32_t index, int32_t value) {
    MV2Mission32State& s = S();
    SendTo(kValves[index], 24, 1000000, 0);
    s.valveOpened[index] = uint32_t(value);
    for (uint32_t opened : s.valveOpened)
        if (!opened) return;
    for (uint32_t id : kValves) {
        MV2Object* valve = Get(id);
        if (valve && valve->matrix && valve->matrix->at.y <= 0.9f) {
            RestartValves();
            return;
        }
    }
    if (MV2Object* mark = MV2RowFind(kWaterMark); mark && mark->matrix)
        MV2SetWaterTargetHeight(mark->matrix->pos.y);
}

// Which side of fence edge i the point lies on: positive outside.
float Side(const MV2Mission32Fence& f, int32_t i, const TvV3d& p) {
    return (p.x - f.x[i]) * f.ez[i] - (p.z - f.z[i]) * f.ex[i];
}

// The post's goal: 4 above and 6 behind the player, pulled back inside the fence towards the
// player and never below the player's top.
TvV3d FollowTarget(MV2Object* player) {
    const TvMatrix& m = *player->matrix;
    TvV3d target = TvV3dAdd(m.pos, TvV3dAdd(TvV3dScale(m.up, 4.0f), TvV3dScale(m.at, -6.0f)));
    const MV2Mission32Fence& f = S().fence;
    if (f.known)
        for (int32_t i = 0; i < 4; ++i) {
            const float outside = Side(f, i, target);
            if (outside <= 0.0f) continue;
            const float from = Side(f, i, m.pos);
            if (from <= 0.0f) {
                const float u = from / (from - outside);
                target = TvV3dAdd(m.pos, TvV3dScale(TvV3dSub(target, m.pos), u));
            } else {
                // The player is outside this edge too: the goal goes straight onto the edge.
                const float length = f.ex[i] * f.ex[i] + f.ez[i] * f.ez[i];
                if (length <= 0.0f) continue;
                target.x -= outside * f.ez[i] / length;
                target.z += outside * f.ex[i] / length;
            }
        }
    const float lowest = m.pos.y + MV2GetBoundingRadius(MV2FindRootAtomic(player->clump));
    if (target.y < lowest) target.y = lowest;
    return target;
}

void FollowCamera() {
    MV2Object* post = Get(kPostB);
    if (S().followZone) MV2ScriptCameraToPost(post);
    MV2Object* player = MV2RowPlayer();
    if (!player || !player->matrix || !post || !post->matrix) return;
    const TvV3d target = FollowTarget(player);
    TvV3d& at = post->matrix->pos;
    at = TvV3dAdd(at, TvV3dScale(TvV3dSub(target, at), 0.05f * MV2FrameStep()));
    MV2ObjectMoved(post);
}

void Tick() {
    MV2MissionSetTimer(kRow, 256, 1);
    MV2Mission32UpdateBeams();
    if (S().leaving) return; // the closing cut-scene has the camera
    if (S().cameraFollow) FollowCamera();
}

void Beam(const void* from, const void* to, float width, uint32_t kind, uint32_t flags) {
    MV2CreateBeam(from, to, width, kind, flags);
}

void Column(MV2Object* collector, uint32_t flags) {
    const TvV3d top = TvV3dAdd(collector->matrix->pos, TvV3d{0.0f, 20.0f, 0.0f});
    Beam(&collector->matrix->pos, &top, 2.5f, S().columnBeamKind, flags);
}

} // namespace

void MV2ReflectVector(const TvV3d& d, const TvV3d& n, TvV3d* out) {
    *out = TvV3dSub(d, TvV3dScale(n, 2.0f * TvV3dDot(d, n)));
}

int32_t MV2TraceBeam(MV2Object* start, const TvV3d& direction, uint32_t kind, MV2Object* target,
                     uint32_t flags) {
    TpWorld* world = TpWorldGetCurrent();
    MV2Object* current = start;
    TvV3d d = direction;
    for (int32_t segment = 0; segment < kMV2BeamTraceSegments; ++segment) {
        if (!current || !current->matrix) return 0;
        TvV3d n{0.0f, 0.0f, 0.0f};
        MV2ObjectSendMessage(current, 25, 0, Pointer(&n));
        MV2ReflectVector(d, n, &d);
        const TvV3d from = current->matrix->pos;
        const TvV3d end = TvV3dAdd(from, TvV3dScale(d, kMV2BeamTraceReach));
        float fraction = 0.0f;
        TpAtomic* atomic = nullptr;
        if (!world || !MV2IntersectSceneLine(world, &from, &end, nullptr, &fraction, &atomic, current))
            return 0;
        MV2Object* hit = atomic && TpAtomicGetClump(atomic) ? MV2GetClumpObject(TpAtomicGetClump(atomic)) : nullptr;
        if (hit && hit->matrix && MV2RowType(hit) == kMirrorType) {
            Beam(&from, &hit->matrix->pos, 1.0f, kind, 25 | flags);
            current = hit;
            continue;
        }
        if (hit && hit->matrix) {
            Beam(&from, &hit->matrix->pos, 1.0f, kind, 27 | flags);
            if (MV2RowType(hit) == kPlayerCraftType) hit->energy -= 5.0f * MV2FrameStep();
            return hit == target ? 1 : 0;
        }
        const TvV3d point = TvV3dAdd(from, TvV3dScale(TvV3dSub(end, from), fraction));
        Beam(&from, &point, 1.0f, kind, 27 | flags);
        return 0;
    }
    return 0;
}

void MV2Mission32DrawBeams(int32_t* r1, int32_t* r2, int32_t* r3, uint32_t flags) {
    for (const FixedBeam& b : kFixedBeams) {
        MV2Object* from = Get(b.from);
        MV2Object* to = Get(b.to);
        if (from && to) Beam(from, to, b.width, b.kind, flags | 1);
    }
    int32_t* const arrived[kMV2Mission32Emitters] = {r1, r2, r3};
    MV2Object* collector = Get(kCollector);
    for (int32_t i = 0; i < kMV2Mission32Emitters; ++i) {
        const Trace& t = kTraces[i];
        MV2Object* receiver = Get(t.receiver);
        const int32_t reached = receiver ? MV2TraceBeam(Get(t.start), t.direction, t.kind, receiver, flags) : 0;
        if (arrived[i]) *arrived[i] = reached;
        if (reached && collector && collector->matrix)
            Beam(&receiver->matrix->pos, &collector->matrix->pos, 1.0f, t.kind, flags | 26);
    }
}

int32_t MV2Mission32UpdateBeams() {
    MV2Mission32State& s = S();
    if (s.leaving) return 1;
    for (int32_t i = 0; i < kMV2Mission32Emitters; ++i)
        if (MV2Object* emitter = Get(kEmitters[i])) MV2StartObjectSound(emitter, kBeamSound, &s.emitterSounds[i], 0, 0);
    int32_t a = 0, b = 0, c = 0;
    MV2Mission32DrawBeams(&a, &b, &c, 512);
    MV2Object* player = MV2RowPlayer();
    MV2Object* collector = Get(kCollector);
    if (a && b && c && player) {
        s.beamsComplete = 1;
        if (!collector || !collector->matrix) return 1;
        Column(collector, 539);
        if (MV2RowDistanceSquared(player, collector) >= 1.0f) return 1;
        s.leaving = 1;
        MV2ResetBeams();
        MV2Mission32DrawBeams(&a, &b, &c, 0);
        Column(collector, 27);
        for (int32_t i = 0; i < kMV2Mission32Emitters; ++i)
            if (MV2Object* emitter = Get(kEmitters[i])) MV2StopObjectSound(emitter, kBeamSound, &s.emitterSounds[i]);
        MV2MissionKillTimer(kRow, 256);
        MV2SetCameraMode(1);
        MV2RowClumpInWorld(collector, 0);
        MV2PlayCutSceneThen(0x0903FFFF, 0x09030001, 0x0AFFFFFF, 0x0A02FFFF, 0x0A020002);
    } else if (s.beamsComplete) {
        s.beamsComplete = 0;
        MV2ResetBeams();
    }
    return 1;
}

void MV2Mission32SwitchHit(MV2Object* object, int32_t value) {
    if (!object) return;
    const uint32_t id = uint32_t(object->scriptId);
    for (int32_t i = 0; i < kMV2Mission32Buttons; ++i)
        if (id == kButtons[i]) {
            ButtonPressed(i);
            return;
        }
    for (int32_t i = 0; i < kMV2Mission32Valves; ++i)
        if (id == kValves[i]) {
            ValveReported(i, value);
            return;
        }
    if (id >= 0x0900001A && id <= 0x09000029) MV2Mission32UpdateBeams();
}

void MV2Mission32CameraTrigger(MV2Object* trigger, MV2Object* other) {
    MV2Object* player = MV2RowPlayer();
    if (!trigger || !trigger->matrix || !other || other != player || !player->matrix) return;
    MV2Mission32State& s = S();
    const bool zoneTrigger = uint32_t(trigger->scriptId) == kTriggerB;
    const TvV3d toTrigger = TvV3dSub(trigger->matrix->pos, player->matrix->pos);
    if (TvV3dDot(trigger->matrix->at, toTrigger) >= 0.0f) {
        if (zoneTrigger) s.followZone = 0;
        MV2SetCameraMode(1);
        return;
    }
    if (s.cameraFollow) {
        intptr_t link = 0;
        MV2ObjectSendMessage(trigger, 34, 0, Pointer(&link));
        // Only a post of this level's table is trusted as the link.
        for (uint32_t id : {kPostA, kPostB})
            if (MV2Object* post = Get(id); post && Pointer(post) == link) MV2ScriptCameraToPost(post);
    }
    if (!zoneTrigger) return;
    s.followZone = 1;
    if (!s.followIntroPlayed) {
        s.followIntroPlayed = 1;
        PlayPending(kFollowScene, 0);
    }
}

int32_t MV2Mission32Script(MV2Object*, int32_t message, intptr_t a, intptr_t) {
    switch (message) {
    case kMV2ScriptStart:
    case kMV2ScriptRestart: Reset(); break;
    case kMV2ScriptBegin: {
        static const int32_t kTracks[] = {1, 2, 5};
        MV2RowMusic(1, kTracks, 3);
        break;
    }
    case kMV2ScriptShutdown: MV2MissionKillTimer(kRow, 256); break;
    case kMV2ScriptEvent:
        if (a == 3) CutSceneEnded();
        break;
    case 256: Tick(); break;
    default: break;
    }
    return 1;
}
