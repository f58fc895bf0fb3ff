// Mission row 2: the player is sent out of the city to a site where the geiger counter finds a
// radiation source, back to the city for tools when told, and wins when the gauge at the site
// reads 0.75 or more while a type-75 creature lives near it. One-shot hints teach the tools.
#include "engine/world/clump.h"
#include "engine/world/world.h"
#include "game/creatures/ambient.h"
#include "game/creatures/subai.h"
#include "game/frontend/hud.h"
#include "game/frontend/missionmap.h"
#include "game/missions/missions.h"
#include "game/missions/scriptkit.h"
#include "game/objects/camera.h"
#include "game/objects/clumpdata.h"
#include "game/objects/levels.h"
#include "game/objects/utilities.h"
#include "game/player/geiger.h"
#include "game/player/player.h"
#include "game/player/playercraft.h"
#include "game/player/targetgroups.h"
#include "shell/frametimer.h"
#include "shell/gamestate.h"

namespace {

constexpr int32_t kRow = 2;
constexpr uint32_t kRecord = 0xAFFFF;
constexpr int32_t kHints = 14;
constexpr uint32_t kHintIds[kHints] = {127, 128, 130, 132, 97, 135, 112,
                                       116, 117, 108, 119, 123, 120, 702};
constexpr int32_t kMostFound = 64;

struct Mission2 {
    MV2Object* site;
    MV2Object* post;
    MV2ObjectRef waypoint;
    MV2Object* gauge;
    int32_t waitSeconds;
    int32_t previousSource, console, sourceDestroyed, cleanUp, done, triggered;
    uint32_t hintAllowed; // set again by a flag timer
    MV2MissionMessageRecord r[kHints];
};
Mission2 g_m2;

// Objects met by a sphere, each once, acted on after the walk.
struct Found {
    MV2Object* objects[kMostFound];
    int32_t count;
};

int32_t Collect(TpIntersection*, TpWorldSector*, TpAtomic* atomic, float, void* data) {
    auto* f = static_cast<Found*>(data);
    MV2Object* o = MV2GetClumpObject(TpAtomicGetClump(atomic));
    if (!o) return 1;
    for (int32_t i = 0; i < f->count; ++i)
        if (f->objects[i] == o) return 1;
    if (f->count < kMostFound) f->objects[f->count++] = o;
    return 1;
}

Found Near(MV2Object* centre, float radius) {
    Found f{};
    TpWorld* world = TpWorldGetCurrent();
    if (world && centre && centre->matrix)
        MV2ForAllAtomicsInSphere(world, &centre->matrix->pos, radius, Collect, &f);
    return f;
}

// Types 98, 90 and 91 near the site are triggered, or destroyed once the source was lost.
void TriggerPass() {
    Mission2& m = g_m2;
    const Found f = Near(m.site, 10.0f);
    for (int32_t i = 0; i < f.count; ++i) {
        MV2Object* o = f.objects[i];
        const int32_t type = MV2TypeOf(o);
        if (type != 98 && type != 90 && type != 91) continue;
        if (m.cleanUp) {
            MV2ScriptDestroy(o);
        } else {
            MV2ObjectSendMessage(o, 63, 0, 0);
            m.triggered++;
        }
    }
}

void KillCreature(MV2Object* o) {
    o->energy = 0.5f;
    MV2KillAmbientCreature(o);
}

void DecayPass() {
    const Found f = Near(g_m2.gauge, 18.0f);
    for (int32_t i = 0; i < f.count; ++i) {
        MV2Object* o = f.objects[i];
        if (o->overrideHandler != MV2AmbientCreatureHandler && o->typeHandler != MV2AmbientCreatureHandler)
            continue;
        if (o->energy <= 0.0f) continue;
        o->energy -= gMV2FrameTimer.ticks * 30.0f;
        if (o->energy <= 0.5f) KillCreature(o);
    }
}

bool Ambient(MV2Object* o) {
    return o && (o->overrideHandler == MV2AmbientCreatureHandler || o->typeHandler == MV2AmbientCreatureHandler);
}

void CullPass() {
    const Found f = Near(g_m2.gauge, 18.0f);
    for (int32_t i = 0; i < f.count; ++i) {
        MV2Object* o = f.objects[i];
        const int32_t type = MV2TypeOf(o);
        if ((type == 95 || type == 75) && !Ambient(o)) KillCreature(o);
    }
}

MV2Object* HeldObject() {
    MV2Object* held = nullptr;
    if (!MV2MissionToolCommand(MV2GetPlayerObject(), 0, 34, 0, &held)) return nullptr;
    return held;
}

bool CarriesTool(int32_t kind) {
    MV2Object* out = nullptr;
    return MV2MissionToolCommand(MV2GetPlayerSub(), kind, 34, 0, &out) != 0;
}

bool SourcePresent() {
    Mission2& m = g_m2;
    bool present = m.site && MV2ReadGeiger(m.site) > 0.01f;
    if (!present) {
        MV2Object* held = HeldObject();
        present = held && MV2TypeOf(held) == 99 && MV2ScriptNear(held, m.site, 40.0f);
    }
    if (present) m.cleanUp = 0;
    return present;
}

float Fill() {
    float fill = 0.0f;
    if (g_m2.gauge) MV2ObjectSendMessage(g_m2.gauge, 13, 0, reinterpret_cast<intptr_t>(&fill));
    return fill;
}

bool CreatureAtGauge() {
    MV2CountObjectsNear(g_m2.gauge, 15.0f);
    return g_m2.gauge && MV2GetNearbyObjectCount(75) > 0;
}

// A one-shot hint: shown once, and reminders pause for a minute.
bool Hint(int32_t n, bool condition) {
    Mission2& m = g_m2;
    if (!condition || m.r[n].shown) return false;
    MV2MissionShowMessageRecord(&m.r[n]);
    m.hintAllowed = 0;
    MV2MissionSetFlagTimer(&m.hintAllowed, 60000);
    return true;
}

void ToTheConsole() {
    MV2SetEquipmentLevel(1);
    MV2LockNearestTarget();
    MV2MissionInstallNotify(kRow, 8);
    g_m2.console = 1;
}

void SetUp() {
    Mission2& m = g_m2;
    MV2Object* site = MV2SpawnLevelRecordItem(kRecord, kRow, 0xA0003);
    MV2Object* post = MV2SpawnLevelRecordItem(kRecord, kRow, 0xA0001);
    MV2Object* waypoint = MV2SpawnLevelRecordItem(kRecord, kRow, 0xA0000);
    m = {};
    m.site = site;
    m.post = post;
    MV2ScriptKeep(m.waypoint, waypoint);
    m.gauge = MV2FindObjectByWorldID(0x40053);
    m.previousSource = 1;
    m.hintAllowed = 1;
    for (int32_t i = 0; i < kHints; ++i)
        MV2MissionInitMessageRecord(&m.r[i], kHintIds[i]);
    MV2MissionBegin(kRow, 1);
    MV2MissionSetTimer(kRow, 277, 6000);
}

void Checks() {
    Mission2& m = g_m2;
    MV2Object* sub = MV2GetPlayerSub();
    const bool source = SourcePresent();
    const bool quiet = MV2MissionMessagesDone();
    const float fill = Fill();
    Hint(0, source && MV2ScriptNear(sub, m.site, 15.0f));
    Hint(1, source && m.r[0].done && !MV2TestKnownType(99));
    Hint(2, source && !m.sourceDestroyed && m.r[0].done && MV2TestKnownType(99));
    if (Hint(3, source && !m.sourceDestroyed && m.r[2].done)) ToTheConsole();
    Hint(4, source && !m.sourceDestroyed && CarriesTool(0));
    if (m.previousSource && !source) {
        if (Hint(5, true)) m.cleanUp = 1;
    } else if (!m.previousSource && source) {
        MV2PlayMissionMessage(134);
        m.hintAllowed = 0;
        MV2MissionSetFlagTimer(&m.hintAllowed, 60000);
    }
    if (Hint(9, !source && m.r[5].done && !CarriesTool(2))) ToTheConsole();
    if (Hint(6, !source && CarriesTool(2) && quiet)) MV2MissionSetTimer(kRow, 266, 90000);
    Hint(7, !source && m.r[6].done && quiet);
    Hint(8, !source && m.r[7].done && quiet);
    if (!source && quiet && !m.r[10].shown) {
        intptr_t answer = 0;
        MV2Object* targeted = MV2GetTargetedObject();
        Hint(10, (MV2MissionToolCommand(sub, 2, 13, 95, &answer) && answer > 0) ||
                     (targeted && MV2TypeOf(targeted) == 95 && Ambient(targeted)));
    }
    const bool creature = CreatureAtGauge();
    Hint(12, !source && creature);
    Hint(11, !source && fill >= 0.75f);
    if (!m.r[13].shown) {
        if (!source) Hint(13, !m.r[11].shown && fill >= 0.25f);
    }
    if (source) {
        m.previousSource = 1;
        MV2MissionSetTimer(kRow, 278, 1000);
        return;
    }
    if (fill >= 0.75f && creature) {
        m.done = 1;
        MV2MissionSetTimer(kRow, 3, 9000);
        return;
    }
    m.previousSource = 0;
    MV2MissionSetTimer(kRow, 278, 1000);
}

void Reminder() {
    Mission2& m = g_m2;
    if (m.hintAllowed && MV2MissionMessagesDone()) {
        if (m.console) {
            MV2PlayMissionMessage(136);
        } else if (SourcePresent()) {
            MV2PlayMissionMessage(134);
        } else if (Fill() < 0.75f) {
            MV2PlayMissionMessage(121);
        } else {
            MV2Object* held = HeldObject();
            if (!CreatureAtGauge() && !(held && MV2TypeOf(held) == 75 && Ambient(held)))
                MV2PlayMissionMessage(122);
        }
    }
    MV2MissionSetTimer(kRow, 279, 60000);
}

void SendGuard(MV2Object* craft) {
    MV2SubAIOrderGuard(craft, g_m2.post, 3, kMV2AnyCategory, kMV2AnyType, 30.0f);
}

void Escort() {
    MV2Object* craft = MV2GetMissionObjectB();
    if (!craft) {
        craft = MV2CityLaunchCraft(0, 2, g_m2.post);
        if (craft) {
            // The guard order waits under the route out of the city.
            SendGuard(craft);
            MV2SubAIPushCommand(craft);
            MV2SetMissionObjectB(craft);
        } else {
            MV2MissionSetTimer(kRow, 266, 1000);
        }
    } else if (!MV2SubAIFindCommand(craft, kMV2SubAICityRoute)) {
        SendGuard(craft);
    } else {
        MV2MissionSetTimer(kRow, 266, 1000);
    }
    MV2MissionSetTimer(kRow, 271, 45000);
}

} // namespace

int32_t MV2Mission2Script(MV2Object* object, int32_t message, intptr_t a, intptr_t) {
    Mission2& m = g_m2;
    MV2Object* sub = MV2GetPlayerSub();
    switch (message) {
    case kMV2ScriptStart:
        if (sub) {
            MV2ObjectSendMessage(sub, 29, reinterpret_cast<intptr_t>(MV2SubAIBrain), 0);
            MV2CityDispatchCraft(sub, 2, nullptr);
        }
        MV2MissionSetTimer(kRow, 273, 1);
        SetUp();
        break;
    case kMV2ScriptRestart: SetUp(); break;
    case 273:
        MV2SetCameraMode(2);
        MV2MoveCameraToObject(MV2FindObjectByScriptID(0x40055));
        break;
    case 277:
        if (MV2ScriptNear(sub, m.site, 30.0f)) {
            MV2MissionSetTimer(kRow, 277, 3000);
        } else {
            MV2MissionSetTimer(kRow, 256, 7000);
            MV2MissionSetTimer(kRow, 276, 30000);
        }
        break;
    case 256:
        if (MV2ScriptNear(MV2ScriptLive(m.waypoint), m.site, 10.0f)) {
            const int32_t d = int32_t(MV2PlayMissionMessage(96));
            MV2MissionQueueMessage(kRow, 910, MV2MissionQueueMessage(kRow, 126, d));
            MV2HudSetObjective(m.site);
            MV2MissionSetTimer(kRow, 257, 1000);
        } else {
            MV2MissionSetTimer(kRow, 256, 2000);
        }
        break;
    case 257:
        if (MV2ScriptNear(sub, m.site, 15.0f)) {
            MV2MissionSetTimer(kRow, 278, 1000);
            MV2MissionSetTimer(kRow, 279, 60000);
            break;
        }
        if (++m.waitSeconds > 120) {
            MV2PlayMissionMessage(96);
            m.waitSeconds = 0;
        }
        CullPass();
        MV2MissionSetTimer(kRow, 257, 1000);
        break;
    case 276:
        if (m.done) break;
        m.triggered = 0;
        TriggerPass();
        if (m.triggered) DecayPass();
        MV2MissionSetTimer(kRow, 276, 30000);
        break;
    case 278:
        if (!m.done) Checks();
        break;
    case 279:
        if (!m.done) Reminder();
        break;
    case 266: Escort(); break;
    case 271:
        if (!m.r[10].shown && MV2GetMissionObjectB()) {
            MV2MissionQueueMessage(kRow, 118, int32_t(MV2PlayMissionMessage(195)));
            MV2MapAddLabel(m.post, 399);
            MV2SubAIOrderCityRoute(MV2GetMissionObjectB(), 1);
        }
        break;
    case 10:
        if (object && MV2TypeOf(object) == 99) m.sourceDestroyed = 1;
        break;
    case kMV2ScriptEvent:
        if (a == 8) {
            MV2MissionRemoveNotify(kRow, 8);
            MV2HudSetObjective(m.site);
            m.console = 0;
        }
        break;
    case 3:
        MV2HudShowResultBanner(1);
        MV2MapRemoveLabel(399);
        MV2HudSetObjective(nullptr);
        if (MV2Object* craft = MV2GetMissionObjectB()) MV2SubAIOrderCityRoute(craft, 1);
        MV2MissionPurgeTimers(kRow);
        MV2MissionRestart(3);
        break;
    default: break;
    }
    return 1;
}
