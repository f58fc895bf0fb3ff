// Mission row 14: a cargo must be lifted with the magnet and taken to a receiver, a guarded
// object found and destroyed, and a drone must reach its wait slot. Delivery and the drone's
// arrival win in either order; the cargo reporting a failure loses.
#include "engine/core/camera.h"
#include "game/frontend/hud.h"
#include "game/missions/missions.h"
#include "game/missions/scriptkit.h"
#include "game/objects/levels.h"
#include "game/objects/levelswitch.h"
#include "game/player/player.h"
#include "shell/cdaudio.h"
#include "shell/gamemain.h"

namespace {

constexpr int32_t kRow = 14;
constexpr int32_t kGuardedId = 0x40049;

struct Mission14 {
    MV2ObjectRef cargo, receiver, guarded, held;
    uint32_t releaseTime;
    int32_t atFirstSite, pickedUp, seen, seenAfterPickUp, guardedDestroyed, delivered;
    int32_t droneAttached, droneObjective, droneArrived, home, firstVisit;
};
Mission14 g_m14;
// The guarded object's own handler while the guard handler stands in for it.
MV2ObjectHandler g_savedGuardHandler = nullptr;

bool IsDrone(MV2Object* object) {
    const int32_t type = object ? MV2TypeOf(object) : 0;
    return type >= 350 && type <= 352;
}

bool ReleasedLongAgo() {
    return MV2GetGameTime() - g_m14.releaseTime >= 30000 && !MV2ScriptLive(g_m14.held);
}

void Objective(MV2Object* object) {
    MV2HudSetObjective(object);
}

intptr_t GuardHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);

void RestoreGuard() {
    MV2Object* guarded = MV2ScriptLive(g_m14.guarded);
    if (guarded && guarded->typeHandler == GuardHandler && g_savedGuardHandler)
        guarded->typeHandler = g_savedGuardHandler;
}

// Reports the guarded object's sighting and destruction, then lets its own handler run.
intptr_t GuardHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    Mission14& m = g_m14;
    MV2ObjectHandler own = g_savedGuardHandler ? g_savedGuardHandler : MV2ObjectDefaultHandler;
    if (message == 2 && !m.seenAfterPickUp && !(m.seen && !m.pickedUp) && object->matrix &&
        MV2ScriptDistanceSquared(MV2GetPlayerObject(), object) < 144.0f) {
        const TvSphere sphere{object->matrix->pos, object->radius};
        if (gMV2MainCamera && TvCameraFrustumTestSphere(gMV2MainCamera, &sphere)) {
            m.seen = 1;
            if (m.pickedUp) m.seenAfterPickUp = 1;
            MV2MissionSetTimer(kRow, 261, 1);
        }
    } else if (message == 4) {
        m.guardedDestroyed = 1;
        MV2MissionAttachObject(kRow, MV2GetPlayerSub());
        if (m.pickedUp) {
            MV2Object* cargo = MV2ScriptLive(m.cargo);
            Objective(cargo && MV2ScriptLive(m.held) == cargo ? MV2ScriptLive(m.receiver) : cargo);
            MV2PlayMissionMessage(770);
        } else {
            MV2MissionQueueMessage(kRow, 766, 2000);
        }
        object->typeHandler = own;
    }
    return own(object, message, p1, p2);
}

void SetUp() {
    Mission14& m = g_m14;
    MV2ResetMusic();
    MV2SpawnLevelRecord(0x23FFFF, kRow);
    RestoreGuard();
    m = {};
    m.firstVisit = 1;
    m.releaseTime = MV2GetGameTime();
    MV2MissionInstallNotify(kRow, 11);
    MV2MissionInstallNotify(kRow, 12);
    MV2MissionInstallNotify(kRow, 20);
    MV2Object* cargo = MV2FindObjectByScriptID(0x40281);
    MV2ScriptKeep(m.cargo, cargo);
    if (cargo) {
        MV2Object* receiver = MV2ScriptCreateAt(42, cargo);
        MV2ScriptKeep(m.receiver, receiver);
        MV2ObjectSendMessage(cargo, 94, 0, 0);
        if (const TvV3d* p = MV2ScriptPosition(MV2FindObjectByScriptID(0x230006))) MV2ScriptMoveTo(cargo, *p);
        MV2ObjectSendMessage(cargo, 33, 0, reinterpret_cast<intptr_t>(receiver));
        MV2MissionAttachObject(kRow, cargo);
    }
    MV2Object* guarded = MV2FindObjectByScriptID(kGuardedId);
    MV2ScriptKeep(m.guarded, guarded);
    // Saved only when it is not the guard already, so the guard never calls itself.
    if (guarded && guarded->typeHandler != GuardHandler) {
        g_savedGuardHandler = guarded->typeHandler;
        guarded->typeHandler = GuardHandler;
    }
    MV2SetLevelSwitch(6, 1);
    MV2MissionBegin(kRow, 1);
}

void Win() {
    MV2DestroyLevelRecordObjects(0x23FFFF);
    MV2LockNearestTarget();
    MV2HudShowResultBanner(1);
    MV2MissionRemoveNotify(kRow, 12);
    MV2MissionRemoveNotify(kRow, 11);
    MV2MissionInstallNotify(kRow, 7);
    MV2MissionSetTimer(kRow, 270, 20000);
}

void ObjectiveReached(MV2Object* object, MV2Object* reached) {
    Mission14& m = g_m14;
    MV2Object* sub = MV2GetPlayerSub();
    if (!reached) {
        if (object && MV2ScriptLive(m.cargo) == object) {
            MV2FriendlyFireTrigger(1193);
            MV2HudShowResultBanner(0);
        }
        return;
    }
    switch (reached->scriptId) {
    case 0x40247:
        if (MV2Object* cargo = MV2ScriptLive(m.cargo)) Objective(cargo);
        break;
    case 0x4006A:
        if (m.delivered) {
            MV2MissionAttachObject(kRow, sub);
            Objective(MV2FindObjectByScriptID(0x230000));
        } else if (m.guardedDestroyed) {
            if (MV2Object* receiver = MV2ScriptLive(m.receiver)) Objective(receiver);
        } else {
            MV2LockTarget(MV2ScriptLive(m.guarded), 4.0f, 0, 0);
        }
        break;
    case 0x230000:
        if (!object || object != sub) break;
        if (m.firstVisit) {
            m.firstVisit = 0;
            MV2PlayMissionMessage(769);
        }
        if (m.pickedUp && m.delivered) {
            if (!m.droneAttached)
                MV2MissionSetTimer(kRow, 265, 500);
            else if (m.droneObjective)
                MV2MissionSetTimer(kRow, 269, 500);
            Objective(nullptr);
        } else if (m.pickedUp) {
            if (MV2Object* receiver = MV2ScriptLive(m.receiver)) Objective(receiver);
        }
        MV2MissionDetachObject(sub);
        break;
    default: break;
    }
}

void OnEvent(MV2Object* object, int32_t event, intptr_t argument) {
    Mission14& m = g_m14;
    MV2Object* sub = MV2GetPlayerSub();
    const bool bySub = sub && reinterpret_cast<MV2Object*>(argument) == sub;
    if ((event == 11 || event == 20) && IsDrone(object)) {
        if (event == 11 && !m.droneObjective && m.droneAttached) {
            if (MV2ScriptQueuesEmpty()) MV2PlayMissionMessage(1046);
            MV2LockTarget(MV2FindObjectByScriptID(0x20000), 5.0f, 0, 0);
            m.droneObjective = 1;
        }
        if (!m.droneAttached) {
            m.droneAttached = 1;
            MV2MissionRemoveNotify(kRow, 20);
            MV2PlayMissionMessage(1045);
            if (m.delivered) MV2MissionSetTimer(kRow, 268, 90000);
            MV2MissionInstallNotify(kRow, 21);
        }
        return;
    }
    switch (event) {
    case 11: {
        if (!bySub || !object) break;
        MV2ScriptKeep(m.held, object);
        if (object != MV2ScriptLive(m.cargo)) break;
        if (!m.pickedUp) {
            m.pickedUp = 1;
            MV2LockTarget(MV2FindObjectByScriptID(0x4006A), 4.0f, 0, kRow);
            MV2MissionSetTimer(kRow, 263, 60000);
        } else if (MV2Object* receiver = MV2ScriptLive(m.receiver);
                   receiver && MV2ScriptNear(receiver, sub, 30.0f)) {
            Objective(receiver);
        } else {
            Objective(MV2FindObjectByScriptID(0x230000));
            MV2MissionAttachObject(kRow, sub);
        }
        break;
    }
    case 12:
        if (!bySub) break;
        m.held = {};
        m.releaseTime = MV2GetGameTime();
        break;
    case 21:
        if (!IsDrone(object)) break;
        m.droneArrived = 1;
        MV2MissionRemoveNotify(kRow, 21);
        for (int32_t t = 350; t <= 352; ++t)
            gMV2Hud.typeSets[1][t >> 3] &= uint8_t(~(1u << (t & 7)));
        if (m.delivered) {
            MV2PlayMissionMessage(1085);
            Win();
        } else {
            MV2PlayMissionMessage(1086);
            MV2Object* cargo = MV2ScriptLive(m.cargo);
            if (m.pickedUp || MV2IsNearObjectA(sub)) {
                if (cargo) Objective(cargo);
            } else {
                MV2MissionSetTimer(kRow, 256, 1);
            }
        }
        break;
    case 7:
        m.home = 1;
        MV2MissionRemoveNotify(kRow, 7);
        MV2MissionRestart(15);
        break;
    default: break;
    }
}

void Delivered() {
    Mission14& m = g_m14;
    const int32_t d = int32_t(MV2PlayMissionMessage(772));
    Objective(nullptr);
    m.delivered = 1;
    MV2MissionDetachObject(MV2ScriptLive(m.cargo));
    if (m.droneArrived) {
        Win();
        return;
    }
    if (m.droneObjective)
        MV2MissionQueueMessage(kRow, 1087, d + 4000);
    else if (m.droneAttached)
        MV2MissionSetTimer(kRow, 268, d + 30000);
    else
        MV2MissionSetTimer(kRow, 265, d + 2000);
    MV2MissionSetTimer(kRow, 267, 60000);
}

void Reminder(int32_t timer) {
    Mission14& m = g_m14;
    if ((timer == 260 || timer == 262) && !ReleasedLongAgo()) {
        MV2MissionSetTimer(kRow, timer, 1000);
        return;
    }
    if (m.delivered) return;
    if (!MV2ScriptQueuesEmpty()) {
        MV2MissionSetTimer(kRow, timer, 250);
        return;
    }
    switch (timer) {
    case 259:
        if (!m.seen && !m.atFirstSite) {
            MV2PlayMissionMessage(763);
            MV2MissionSetTimer(kRow, 259, 120000);
        }
        break;
    case 260:
        if (!m.pickedUp) {
            MV2PlayMissionMessage(766);
            MV2MissionSetTimer(kRow, 262, 30000);
        }
        break;
    case 261:
        if (!m.guardedDestroyed) MV2PlayMissionMessage(767);
        break;
    case 262:
        if (!m.pickedUp) {
            MV2PlayMissionMessage(771);
            MV2MissionSetTimer(kRow, 262, 90000);
        }
        break;
    case 263:
        if (!m.guardedDestroyed && !m.seenAfterPickUp) {
            MV2PlayMissionMessage(768);
            MV2MissionSetTimer(kRow, 263, 90000);
        }
        break;
    default: break;
    }
}

void DroneTimer(int32_t timer) {
    Mission14& m = g_m14;
    if (!MV2ScriptQueuesEmpty()) {
        MV2MissionSetTimer(kRow, timer, 500);
        return;
    }
    switch (timer) {
    case 265:
        if (m.droneAttached) break;
        MV2PlayMissionMessage(1056);
        MV2MissionSetTimer(kRow, 266, 30000);
        break;
    case 266:
        if (!m.droneAttached) MV2PlayMissionMessage(773);
        break;
    case 267:
        if (m.droneArrived) break;
        if (ReleasedLongAgo() && !MV2IsNearObjectA(MV2GetPlayerSub())) {
            MV2LockTarget(MV2FindObjectByScriptID(0x4006A), 4.0f, 0, kRow);
            MV2PlayMissionMessage(986);
            MV2MissionSetTimer(kRow, 267, 55555);
        } else {
            MV2MissionSetTimer(kRow, 267, 4555);
        }
        break;
    case 268:
        if (m.droneObjective) break;
        MV2MissionSetTimer(kRow, 268, 120000);
        MV2PlayMissionMessage(1083);
        break;
    case 269: MV2PlayMissionMessage(1083); break;
    default: break;
    }
}

} // namespace

int32_t MV2Mission14Script(MV2Object* object, int32_t message, intptr_t a, intptr_t b) {
    Mission14& m = g_m14;
    switch (message) {
    case kMV2ScriptStart:
    case kMV2ScriptRestart: SetUp(); break;
    case kMV2ScriptShutdown: RestoreGuard(); break;
    case kMV2ScriptBegin: {
        const int32_t d = int32_t(MV2PlayMissionMessage(405));
        MV2MissionSetTimer(kRow, 256, d);
        MV2MissionQueueMessage(kRow, 761, MV2MissionQueueMessage(kRow, 760, d));
        MV2MissionSetTimer(kRow, 257, 10000);
        MV2MissionSetTimer(kRow, 259, 120000);
        break;
    }
    case 6: ObjectiveReached(object, reinterpret_cast<MV2Object*>(b)); break;
    case kMV2ScriptEvent: OnEvent(object, int32_t(a), b); break;
    case 18:
        if (object && object == MV2ScriptLive(m.cargo)) Delivered();
        break;
    case 256: MV2LockTarget(MV2FindObjectByScriptID(0x40247), 5.0f, 0, kRow); break;
    case 257:
        if (m.pickedUp) break;
        if (MV2IsNearObjectB(MV2GetPlayerSub())) {
            m.atFirstSite = 1;
            const int32_t d = int32_t(MV2PlayMissionMessage(764));
            MV2MissionQueueMessage(kRow, 762, d);
            MV2MissionSetTimer(kRow, 262, d + 30000);
            Objective(nullptr);
        } else {
            MV2MissionSetTimer(kRow, 257, 800);
        }
        break;
    case 259: case 260: case 261: case 262: case 263: Reminder(message); break;
    case 265: case 266: case 267: case 268: case 269: DroneTimer(message); break;
    case 270:
        if (m.home) break;
        MV2LockNearestTarget();
        MV2PlayMissionMessage(797);
        MV2MissionSetTimer(kRow, 270, 60000);
        break;
    default: break;
    }
    return 1;
}
