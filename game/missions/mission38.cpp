#include "game/missions/mission38.h"

#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "engine/world/clump.h"
#include "engine/world/world.h"
#include "game/creatures/creaturemath.h"
#include "game/creatures/pirates.h"
#include "game/creatures/subai.h"
#include "game/effects/arcs.h"
#include "game/effects/primitives.h"
#include "game/frontend/hud.h"
#include "game/missions/missions.h"
#include "game/objects/camera.h"
#include "game/objects/clumpdata.h"
#include "game/objects/dynamics.h"
#include "game/objects/levels.h"
#include "game/objects/sky.h"
#include "game/player/playercraft.h"
#include "shell/cdaudio.h"
#include "shell/gamemain.h"

MV2Mission38State gMV2Mission38 = {};

namespace {

constexpr int32_t kRow = 38;
constexpr int32_t kStepIds[kMV2Mission38Steps] = {0x06070000, 0x06070001, 0x06070002,
                                                  0x06070003, 0x06070004, 0x06070005,
                                                  0x06070006, 0x06070008, 0x06070009};
constexpr int32_t kViewIds[kMV2Mission38Steps] = {0x06070007, 0x0607000A, 0x0607000B,
                                                  0x0607000C, 0x0607000F, 0x06070010,
                                                  0x06070011, 0x0607000D, 0};
constexpr int32_t kPairs[8][2] = {{0x06070022, 0x06070021}, {0x06070026, 0x06070025},
                                  {0x06070024, 0x06070027}, {0x06070031, 0x0607002E},
                                  {0x0607002A, 0x06070029}, {0x06070030, 0x0607002F},
                                  {0x0607002B, 0x0607002D}, {0x06070023, 0x0607002C}};
constexpr int32_t kSporePoints[6] = {0x06070018, 0x06070019, 0x0607001A,
                                     0x0607001B, 0x0607001C, 0x0607001F};
constexpr int32_t kEggs[5] = {0x06070032, 0x06070033, 0x06070034, 0x06070035, 0x06070036};
struct LinkDesc {
    int32_t from, to, travel, pause;
};
constexpr LinkDesc kLinks[kMV2Mission38Links] = {{0x06070012, 0x06070013, 3000, 1500},
                                                  {0x06070014, 0x06070015, 1500, 2200},
                                                  {0x06070016, 0x06070017, 3300, 1600}};
constexpr uint32_t kLevelRecord = 0x0607FFFF;
constexpr int32_t kLastGate = 0x0607000E;
constexpr int32_t kRunnerType = 42, kHeldCraftType = 330, kEggType = 393;

enum Timer : int32_t {
    kSparks = 256,
    kViewEnd = 257,
    kPassCheck = 258,
    kPhase1 = 259,
    kBlink = 260,
    kPhase2 = 261,
    kPhase3 = 262,
    kRelease = 263,
    kUnhold = 264,
    kPush = 265,
    kPhase4 = 266,
    kPhase5 = 267,
    kSpawn = 268,
    kSporeTimeOut = 269,
    kSporesDone = 270,
    kPhase6 = 271,
    kPhase7 = 272,
    kEggShot = 273,
    kPhase8 = 274,
    kEnd = 275,
    kKillSpores = 276,
};

MV2Mission38State& S() {
    return gMV2Mission38;
}

uint32_t Now() {
    return gMV2DayClock.gameClock;
}

void Queue(int32_t timer, int32_t ms) {
    MV2MissionSetTimer(kRow, timer, ms);
}

void Enter(int32_t phase) {
    S().phase = phase;
    S().phaseStart = Now();
}

float DistanceSquared(const TvV3d& a, const TvV3d& b) {
    const TvV3d d = TvV3dSub(a, b);
    return TvV3dDot(d, d);
}

void KillAllSpores() {
    MV2CurrentLevelWorld world;
    if (TpWorld* w = TpWorldGetCurrent()) TpWorldForAllClumps(w, MV2Mission38KillSpore, nullptr);
}

void StepView(MV2Object* step, MV2Object* view) {
    TvCamera* camera = gMV2MainCamera;
    if (!camera || !camera->object.frame) return;
    TvMatrix* m = TvFrameGetMatrix(camera->object.frame);
    m->pos = view->matrix->pos;
    m->at = MV2Unit(TvV3dSub(step->matrix->pos, view->matrix->pos));
    TvV3d up{0.0f, 1.0f, 0.0f};
    m->right = MV2Unit(TvV3dCross(up, m->at));
    m->up = MV2Unit(TvV3dCross(m->at, m->right));
    TvFrameUpdateObjects(camera->object.frame);
    MV2SetCameraMode(5);
    MV2SetLetterbox(1);
    Queue(kViewEnd, 1000);
}

void PassCheck() {
    MV2Mission38State& s = S();
    MV2Object* sub = MV2GetPlayerSub();
    MV2Object* step = MV2GetObjectRef(&s.step);
    if (!sub || !step) return;
    const float r = step->radius;
    const float d2 = DistanceSquared(step->matrix->pos, sub->matrix->pos);
    if (d2 < r * r) {
        MV2HudSetObjective(nullptr);
        const float side = TvV3dDot(step->matrix->right, TvV3dSub(step->matrix->pos, sub->matrix->pos));
        s.passed = ((side > 0.0f) == (s.passSide != 0)) ? 1 : 0;
        Queue(kPassCheck, 20);
        return;
    }
    const float limit = s.passSide ? 6.25f : r * r;
    if (s.passed && d2 > limit) {
        MV2Mission38ShowStep(s.currentStep, 0, 1, 0, 0, 0);
        if (s.nextTimer) Queue(int32_t(s.nextTimer), 1);
        return;
    }
    Queue(kPassCheck, 20);
}

void UpdateSparks() {
    MV2Mission38State& s = S();
    for (MV2SparkLink& l : s.links) {
        if (!l.arc) continue;
        MV2Object* from = MV2GetObjectRef(&l.from);
        MV2Object* to = MV2GetObjectRef(&l.to);
        MV2Object* runner = MV2GetObjectRef(&l.runner);
        if (!from || !to || !runner) {
            MV2DestroyElectricArc(l.arc);
            l.arc = 0;
            if (runner) MV2ObjectSendMessage(runner, 4, 0, 0);
            continue;
        }
        const int32_t e = int32_t(Now() - l.start);
        TvMatrix* m = runner->matrix;
        if (e < l.travel) {
            const float t = float(e) / float(l.travel);
            m->pos = TvV3dAdd(TvV3dScale(from->matrix->pos, 1.0f - t), TvV3dScale(to->matrix->pos, t));
            m->up = MV2Unit(TvV3dAdd(TvV3dScale(from->matrix->up, 1.0f - t), TvV3dScale(to->matrix->up, t)));
            m->at = MV2Unit(TvV3dCross(m->up, m->right));
            m->right = TvV3dCross(m->at, m->up);
        } else if (e < l.travel + l.pause) {
            MV2HideElectricArc(l.arc);
            continue;
        } else {
            MV2ShowElectricArc(l.arc);
            *m = *from->matrix;
            l.start = Now();
        }
        MV2SyncObjectFrame(runner);
    }
    if (s.linkCount) Queue(kSparks, 1);
}

// The releases of phase 3: the next holder opens and its craft is pushed out.
void Release() {
    MV2Mission38State& s = S();
    // The walk ends with its phase: later phases count spawns with the same index.
    if (s.phase != 3) return;
    if (!s.releases) {
        Queue(kRelease, 2000);
        return;
    }
    if (++s.index >= 8) return;
    MV2Object* craft = MV2FindObjectByScriptID(kPairs[s.index][1]);
    MV2Object* holder = MV2FindObjectByScriptID(kPairs[s.index][0]);
    if (!craft || !holder) {
        Queue(kRelease, 200);
        return;
    }
    MV2SetObjectRef(&s.held[0], craft);
    MV2ObjectSendMessage(holder, 63, 1, 0);
    s.push = TvV3dScale(holder->matrix->right, -1.5f);
    Queue(kUnhold, 1800);
    s.releases--;
}

void Push() {
    MV2Mission38State& s = S();
    MV2Object* craft = MV2GetObjectRef(&s.held[0]);
    if (!craft) {
        // A craft that died while it was pushed out ends its release.
        s.shotsLeft = 0;
        Queue(kRelease, 2000);
        return;
    }
    MV2AddForce(craft, &s.push);
    if (--s.shotsLeft > 0) {
        Queue(kPush, 200);
        return;
    }
    MV2ObjectSendMessage(craft, 29, 0, reinterpret_cast<intptr_t>(MV2PirateBrain));
    MV2ObjectSendMessage(craft, 21, 24, 0);
    if (MV2Object* sub = MV2GetPlayerSub())
        MV2SubAIOrderAttack(craft, sub, 1);
    else
        MV2SubAIOrderGuard(craft, craft, 3, 6, 328, 10.0f);
    Queue(kRelease, 2000);
}

void Unhold() {
    MV2Mission38State& s = S();
    MV2Object* craft = MV2GetObjectRef(&s.held[0]);
    if (!craft) {
        Queue(kRelease, 2000);
        return;
    }
    s.shotsLeft = 5;
    MV2ObjectSendMessage(craft, 12, 0, 0);
    Push();
}

void SpawnSpore() {
    MV2Mission38State& s = S();
    if (s.live >= 5 || s.index >= 6) return;
    if (MV2Object* point = MV2FindObjectByScriptID(kSporePoints[s.index])) {
        const MV2Point3 p = MV2Point(point->matrix->pos);
        MV2CreateObject(353, p.v, nullptr);
    }
    s.index++;
}

void EggShot() {
    MV2Mission38State& s = S();
    if (s.phase != 7) return;
    for (int32_t tries = 0; tries < 5; tries++) {
        MV2ObjectRef& egg = s.held[s.live];
        s.live = (s.live + 1) % 5;
        MV2Object* o = MV2GetObjectRef(&egg);
        if (!o) continue;
        if (s.shotsLeft <= 0) return;
        MV2ObjectSendMessage(o, 10, 3, 0);
        s.shotsLeft--;
        Queue(kEggShot, 5500);
        return;
    }
}

void EggsDone() {
    MV2Mission38ShowStep(7, 1, 0, 1, 2, kPhase8);
    KillAllSpores();
}

void SetUp() {
    MV2Mission38State& s = S();
    s = MV2Mission38State{};
    MV2SpawnLevelRecord(kLevelRecord, kRow);
    for (const auto& pair : kPairs)
        if (MV2Object* craft = MV2FindObjectByScriptID(pair[1])) MV2ObjectSendMessage(craft, 12, 1, 0);
    MV2AddMusicTrack(10, 1);
    MV2AddMusicTrack(11, 1);
    MV2StartMusic();
    s.currentStep = -1;
    MV2Mission38ShowStep(0, 1, 0, 1, 1, kPhase1);
    Enter(0);
    for (const LinkDesc& l : kLinks)
        MV2Mission38AddSparkLink(l.from, l.to, l.travel, l.pause);
    Queue(kSparks, 100);
}

void Killed(MV2Object* object) {
    MV2Mission38State& s = S();
    const int32_t type = object ? MV2TypeOf(object) : -1;
    if (s.phase == 3 && type == kHeldCraftType) {
        s.live--;
        s.releases++;
        if (s.live == 0) {
            MV2Mission38ShowStep(3, 1, 0, 1, 2, kPhase4);
            MV2StopMusicTrack();
        }
    } else if (s.phase == 5 && (type == 353 || type == 354)) {
        s.live -= type == 353 ? 2 : 1;
        SpawnSpore();
        if (s.live <= 0) Queue(kSporesDone, 1);
    } else if (s.phase == 7 && type == kEggType) {
        if (--s.index == 0) {
            EggsDone();
            Queue(kKillSpores, 1);
        }
    }
}

void Timer(int32_t message) {
    MV2Mission38State& s = S();
    switch (message) {
    case kSparks: UpdateSparks(); break;
    case kViewEnd:
        if (MV2GetCameraMode() == 5) {
            MV2SetCameraMode(1);
            MV2SetLetterbox(0);
        }
        break;
    case kPassCheck: PassCheck(); break;
    case kPhase1:
        Enter(1);
        s.blink = 0;
        MV2Mission38ShowStep(1, 1, 0, 1, 2, kPhase2);
        Queue(kBlink, 4000);
        break;
    case kBlink:
        if (s.phase != 1) break;
        MV2Mission38ShowStep(1, int32_t(s.blink), 0, 1, 0, 0);
        s.blink ^= 1;
        Queue(kBlink, 4000);
        break;
    case kPhase2:
        Enter(2);
        MV2Mission38ShowStep(2, 1, 0, 0, 1, kPhase3);
        break;
    case kPhase3:
        Enter(3);
        MV2PlayMusicTrack(15);
        MV2ClearElectricArcs();
        s.index = -1;
        s.linkCount = 0;
        s.releases = 2;
        s.live = 0;
        for (const auto& pair : kPairs)
            if (MV2Object* craft = MV2FindObjectByScriptID(pair[1])) {
                MV2MissionAttachObject(kRow, craft);
                s.live++;
            }
        // With no craft to fight the step is presented at once, not waited for forever.
        if (s.live == 0) {
            MV2Mission38ShowStep(3, 1, 0, 1, 2, kPhase4);
            MV2StopMusicTrack();
            break;
        }
        Queue(kRelease, 3000);
        break;
    case kRelease: Release(); break;
    case kUnhold: Unhold(); break;
    case kPush: Push(); break;
    case kPhase4:
        Enter(4);
        MV2Mission38ShowStep(4, 1, 0, 0, 1, kPhase5);
        break;
    case kPhase5:
        Enter(5);
        s.index = 0;
        s.live = 0;
        MV2MissionInstallNotify(kRow, 18);
        MV2PlayMusicTrack(15);
        for (int32_t ms : {1000, 4000, 7000})
            Queue(kSpawn, ms);
        Queue(kSporeTimeOut, 240000);
        break;
    case kSpawn: SpawnSpore(); break;
    case kSporeTimeOut:
        if (s.phase != 5) break;
        s.index = 6;
        KillAllSpores();
        Queue(kKillSpores, 1);
        break;
    case kKillSpores: KillAllSpores(); break;
    case kSporesDone:
        MV2MissionRemoveNotify(kRow, 18);
        MV2Mission38ShowStep(5, 1, 0, 1, 2, kPhase6);
        break;
    case kPhase6:
        Enter(6);
        MV2Mission38ShowStep(6, 1, 0, 0, 1, kPhase7);
        break;
    case kPhase7:
        Enter(7);
        s.index = s.live = 0;
        s.shotsLeft = 5;
        for (MV2ObjectRef& ref : s.held)
            MV2ClearObjectRef(&ref);
        for (int32_t id : kEggs)
            if (MV2Object* egg = MV2FindObjectByScriptID(id)) {
                MV2MissionAttachObject(kRow, egg);
                MV2SetObjectRef(&s.held[s.index++], egg);
            }
        if (s.index > 0)
            Queue(kEggShot, 1000);
        else
            EggsDone();
        break;
    case kEggShot: EggShot(); break;
    case kPhase8:
        Enter(8);
        MV2Mission38ShowStep(8, 1, 0, 0, 1, kEnd);
        if (MV2Object* gate = MV2FindObjectByScriptID(kLastGate)) MV2ObjectSendMessage(gate, 63, 1, 0);
        break;
    case kEnd: MV2MissionRestart(39); break;
    default: break;
    }
}

} // namespace

void MV2Mission38ShowStep(int32_t step, int32_t highlight, int32_t show, int32_t objective,
                          int32_t passMode, uint32_t nextTimer) {
    MV2Mission38State& s = S();
    if (step < 0 || step >= kMV2Mission38Steps) return;
    if (step != s.currentStep) {
        s.currentStep = step;
        s.step.handle = 0;
    }
    MV2Object* object = MV2GetObjectRef(&s.step);
    if (!object) {
        object = MV2FindObjectByScriptID(kStepIds[step]);
        if (!object) return;
        MV2SetObjectRef(&s.step, object);
        if (!s.step.handle) return;
    }
    MV2ObjectSendMessage(object, 63, highlight, 0);
    if (show && kViewIds[step] && MV2GetCameraMode() == 1)
        if (MV2Object* view = MV2FindObjectByScriptID(kViewIds[step])) StepView(object, view);
    if (objective) MV2HudSetObjective(highlight == 1 ? object : nullptr);
    if (passMode) {
        Queue(kPassCheck, 500);
        s.nextTimer = nextTimer;
        s.passSide = passMode == 1 ? 1 : 0;
        s.passed = 0;
    }
}

int32_t MV2Mission38AddSparkLink(int32_t fromId, int32_t toId, int32_t travelMs, int32_t pauseMs) {
    MV2Mission38State& s = S();
    if (s.linkCount >= kMV2Mission38Links) return 0;
    MV2Object* from = MV2FindObjectByScriptID(fromId);
    MV2Object* to = MV2FindObjectByScriptID(toId);
    if (!from || !to) return 0;
    const MV2Point3 p = MV2Point(from->matrix->pos);
    MV2Object* runner = MV2CreateObject(kRunnerType, p.v, nullptr);
    if (!runner) return 0;
    MV2SparkLink& l = s.links[s.linkCount];
    l = MV2SparkLink{};
    MV2SetObjectRef(&l.from, from);
    MV2SetObjectRef(&l.to, to);
    MV2SetObjectRef(&l.runner, runner);
    l.travel = travelMs;
    l.pause = pauseMs;
    l.start = Now();
    l.arc = MV2CreateElectricArc(runner, nullptr, kMV2ArcPair | kMV2ArcFlicker);
    if (!l.arc) {
        MV2ObjectSendMessage(runner, 4, 0, 0);
        l = MV2SparkLink{};
        return 0;
    }
    s.linkCount++;
    return 1;
}

TpClump* MV2Mission38KillSpore(TpClump* clump, void*) {
    if (TpClumpGetCallBack(clump) != MV2UpdateClumpObject) return clump;
    MV2Object* object = MV2GetClumpObject(clump);
    if (!object) return clump;
    const int32_t type = MV2TypeOf(object);
    if (type == 353 || type == 354 || type == 235) object->energy = -1000.0f;
    return clump;
}

int32_t MV2Mission38Script(MV2Object* object, int32_t message, intptr_t a, intptr_t) {
    MV2CurrentLevelWorld world;
    MV2Mission38State& s = S();
    if (message == kMV2ScriptStart || message == kMV2ScriptRestart) {
        SetUp();
    } else if (message == 10) {
        Killed(object);
    } else if (message == kMV2ScriptEvent) {
        if (a == 18 && s.phase == 5 && object) {
            if (MV2Object* sub = MV2GetPlayerSub())
                MV2ObjectSendMessage(object, 33, 0, reinterpret_cast<intptr_t>(sub));
            MV2MissionAttachObject(kRow, object);
            s.live += MV2TypeOf(object) == 353 ? 2 : 1;
        }
    } else if (message >= kSparks && message <= kKillSpores) {
        Timer(message);
    }
    return 1;
}
