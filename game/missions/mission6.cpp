// Mission row 6: a carrier crosses the level along sixteen way-points with the player and
// mission craft A as escort while pirates attack in waves; at the tenth way-point it drops three
// containers that the player and two friendly craft take to three drop points. Hitting the
// carrier too often or straying from it too long loses; the end shows success when at least
// one container was delivered.
#include <cstdint>
#include <initializer_list>

#include "game/creatures/carrier.h"
#include "game/creatures/subai.h"
#include "game/effects/primitives.h"
#include "game/frontend/hud.h"
#include "game/frontend/missionmap.h"
#include "game/missions/city.h"
#include "game/missions/missions.h"
#include "game/missions/scriptkit.h"
#include "game/objects/camera.h"
#include "game/objects/levels.h"
#include "game/objects/levelswitch.h"
#include "game/objects/sky.h"
#include "game/objects/utilities.h"
#include "game/player/player.h"
#include "game/player/playercraft.h"
#include "shell/cdaudio.h"
#include "shell/cursor.h"
#include "shell/gamestate.h"

namespace {

constexpr int32_t kRow = 6;
constexpr uint32_t kRecord = 0x1EFFFF, kOpeningRecord = 0x1DFFFF;
constexpr int32_t kCarrierType = 103, kContainerType = 96, kPirateType = 56, kCraftType = 0;
constexpr int32_t kRoutePoints = 16, kPirateSlots = 3, kPirates = 9, kReplacements = 6;
constexpr int32_t kWayPointIds[kRoutePoints] = {
    0x1E0009, 0x1E0000, 0x1E0001, 0x1E0002, 0x1E0003, 0x1E0004, 0x1E0005, 0x1E0006,
    0x1E0007, 0x1E0008, 0x40226,  0x1E0023, 0x1E0024, 0x1E0025, 0x1E0026, 0x1E0027};
constexpr int32_t kDropIds[3] = {0x1E000A, 0x1E000B, 0x1E000C};
constexpr int32_t kLabel = 144;
constexpr int32_t kPass = 300;

enum : int32_t {
    kTimerEnd = 273,
    kTimerAllDead = 272,
    kTimerPass = 278,
    kTimerKeepPosition = 258,
    kTimerPirates = 284,
    kTimerPlayerContainer = 285,
    kTimerFinalWatch = 286,
};

enum Record : int32_t {
    kIntro, kAfterReminder, kPiratesNear, kPiratesClose, kClear, kDelivery1, kDelivery2, kDelivery3,
    kCarrierHurt, kCarrierTurnsBack, kCarrierLost, kRouteStop, kHomewardAllClear, kHomeward,
    kBDelivering, kAGoingHome, kFinal1, kFinal2, kFinal3, kAReminder, kAIdle, kAGuarding,
    kOtherCarrierLost, kADamaged, kRecords
};
constexpr uint32_t kRecordIds[kRecords] = {56, 57,  64,  67,   84,  1289, 653, 63, 71, 73, 640, 60,
                                           81, 81, 925, 925, 923, 1279, 136, 95, 65, 69, 79,  941};

struct Mission6 {
    MV2ObjectRef carrier;
    int32_t route;
    MV2Object* w[kRoutePoints];
    MV2ObjectRef container[3];
    int32_t released, delivered;
    MV2Object* drop[3];
    int32_t assigned[3], taken[3];
    MV2ObjectRef pirate[kPirateSlots];
    int32_t deaths;
    int32_t playerDrop, aContainer, aDrop, bContainer, bDrop;
    int32_t finished, stopped, otherCarrierLost, carrierHome, hitFlag, hits;
    int32_t awayMs, awayWarnings, cityCommandLatch, aDelivered, bDelivered, aFoundTarget;
    int32_t allDeadLatch, bSpoke, playerContainer;
    uint32_t aMayScan; // set by a flag timer
    MV2MissionMessageRecord records[kRecords];
};
Mission6 g_m6;

MV2MissionMessageRecord& R(Record r) {
    return g_m6.records[r];
}
bool Shown(Record r) {
    return R(r).shown != 0;
}
bool Done(Record r) {
    return R(r).done != 0;
}
bool HalfWay(Record r) {
    return Shown(r) && !Done(r);
}
void Show(Record r) {
    if (!Shown(r)) MV2MissionShowMessageRecord(&R(r));
}
void MarkDone(Record r) {
    R(r).shown = R(r).done = 1;
}

MV2Object* Carrier() {
    return MV2ScriptLive(g_m6.carrier);
}
MV2Object* Container(int32_t i) {
    return i >= 0 && i < 3 ? MV2ScriptLive(g_m6.container[i]) : nullptr;
}

intptr_t Ask(MV2Object* object, int32_t message) {
    return object ? MV2ObjectSendMessage(object, message, 0, 0) : 0;
}

bool OnCityRoute(MV2Object* craft) {
    const MV2SubAICommand* command = craft ? MV2SubAIGetCommand(craft) : nullptr;
    return command && command->code == kMV2SubAICityRoute;
}

void CityRoute(MV2Object* craft, int32_t route) {
    if (craft && !OnCityRoute(craft)) MV2SubAIOrderCityRoute(craft, route);
}

bool PirateNear(MV2Object* x, float range = 50.0f) {
    if (!x) return false;
    for (MV2ObjectRef& ref : g_m6.pirate)
        if (MV2Object* p = MV2ScriptLive(ref); p && MV2ScriptNear(p, x, range)) return true;
    return false;
}

// Drop points 2, 1, 0: the first unassigned one with no delivered container near it.
int32_t FreeDropPoint() {
    for (int32_t d = 2; d >= 0; --d) {
        if (g_m6.assigned[d] || !g_m6.drop[d]) continue;
        bool occupied = false;
        for (int32_t c = 0; c < 3; ++c)
            if (MV2Object* o = Container(c); o && MV2ScriptNear(o, g_m6.drop[d], 5.0f) && Ask(o, 59))
                occupied = true;
        if (!occupied) return d;
    }
    return -1;
}

int32_t FreeContainer() {
    for (int32_t c = 0; c < 3; ++c) {
        if (c == g_m6.aContainer || c == g_m6.bContainer) continue;
        MV2Object* o = Container(c);
        if (o && !Ask(o, 13) && !Ask(o, 59)) return c;
    }
    return -1;
}

int32_t LiveContainers() {
    int32_t n = 0;
    for (int32_t c = 0; c < 3; ++c)
        n += Container(c) != nullptr;
    return n;
}

void Recount() {
    int32_t n = 0;
    for (int32_t c = 0; c < 3; ++c)
        if (MV2Object* o = Container(c); o && Ask(o, 59)) n++;
    g_m6.delivered = n;
}

void SendTo(MV2Object* object, MV2Object* point) {
    if (const TvV3d* p = MV2ScriptPosition(point))
        MV2ObjectSendMessage(object, 33, 0, reinterpret_cast<intptr_t>(p));
}

MV2Object* HeldBy(MV2Object* craft) {
    intptr_t held = 0;
    MV2MissionToolCommand(craft, 0, 34, 0, &held);
    return reinterpret_cast<MV2Object*>(held);
}

void Guard(MV2Object* craft, MV2Object* target) {
    MV2SubAIOrderGuard(craft, target, 2, kMV2AnyCategory, kPirateType, 15.0f);
}

// A new pirate with its SubAI provocation count.
MV2Object* MakePirate(const TvV3d& at) {
    MV2Object* p = MV2ScriptCreateAtPoint(kPirateType, at);
    if (!p) return nullptr;
    MV2ObjectSendMessage(p, 0, 1, 0);
    MV2ObjectSendMessage(p, 21, 0, 0);
    MV2ObjectSendMessage(p, 21, 5, 0);
    MV2MissionAttachObject(kRow, p);
    if (MV2SubAIData* ai = MV2GetSubAIData(p)) ai->passivity = 2;
    return p;
}

void SetProvocation(int32_t slot, int32_t count) {
    if (MV2Object* p = MV2ScriptLive(g_m6.pirate[slot]))
        if (MV2SubAIData* ai = MV2GetSubAIData(p)) ai->passivity = count;
}

MV2Object* AttackTarget(MV2Object* pirate) {
    MV2SubAICommand* command = MV2SubAIGetCommand(pirate);
    return command && command->code == kMV2SubAIAttack ? MV2SubAICommandGetTarget(command) : nullptr;
}

bool SomePirateAttacks(MV2Object* target, int32_t except) {
    for (int32_t i = 0; i < kPirateSlots; ++i)
        if (MV2Object* p = MV2ScriptLive(g_m6.pirate[i]); i != except && p && target && AttackTarget(p) == target)
            return true;
    return false;
}

// A running delivery is dropped when the player holds the same container, or when it is
// held or delivered already.
void AbandonIfTaken(MV2Object* craft, int32_t& container, int32_t& drop) {
    if (container < 0) return;
    MV2Object* c = Container(container);
    MV2Object* held = HeldBy(craft);
    const bool same = held && held == HeldBy(MV2GetPlayerObject());
    // Held by another craft than this one, delivered, or gone.
    const bool taken = !c || Ask(c, 59) || (Ask(c, 13) && held != c);
    if (!same && !taken) return;
    MV2MissionToolCommand(craft, 0, 37, 0, nullptr);
    MV2SubAIOrderLevelOff(craft);
    if (drop >= 0) g_m6.assigned[drop] = 0;
    container = drop = -1;
}

// A free container to a free drop point; 0 when there is none.
bool StartDelivery(MV2Object* craft, int32_t& container, int32_t& drop) {
    const int32_t c = FreeContainer();
    const int32_t d = c >= 0 ? FreeDropPoint() : -1;
    if (d < 0) return false;
    container = c;
    drop = d;
    g_m6.assigned[d] = 1;
    MV2SubAIOrderLevelOff(craft);
    MV2SubAIPushCommand(craft);
    MV2SubAISetDeliver(craft, Container(c), g_m6.drop[d]);
    SendTo(Container(c), g_m6.drop[d]);
    return true;
}

void ScanForTarget(MV2Object* a, MV2Object* carrier) {
    Mission6& m = g_m6;
    const TvV3d ahead = TvV3dAdd(carrier->matrix->pos, TvV3dScale(carrier->matrix->at, 15.0f));
    for (MV2Object* o = MV2FirstActiveObject(); o; o = MV2NextActiveObject(o)) {
        if (o == a || o == carrier || !o->matrix || MV2ScriptDistanceSquaredTo(o, ahead) >= 100.0f) continue;
        const int32_t type = MV2TypeOf(o);
        if (type != 104 && type != 59 && !(o->aiCategory == 5 && MV2ScriptDistanceSquaredTo(o, ahead) < 25.0f))
            continue;
        if (MV2IntersectWorldLine(MV2World, &a->matrix->pos, &o->matrix->pos, nullptr, nullptr)) continue;
        MV2SubAIPushCommand(a);
        MV2SubAISetAttack(a, o, 1);
        m.aFoundTarget = 1;
        m.aMayScan = 0;
        MV2MissionSetFlagTimer(&m.aMayScan, 5000);
        return;
    }
}

void CraftAManager() {
    Mission6& m = g_m6;
    MV2Object* a = MV2GetMissionObjectA();
    MV2Object* carrier = Carrier();
    MV2Object* sub = MV2GetPlayerSub();
    if (!a) {
        if (FreeContainer() < 0 && m.released) return;
        MV2Object* target = carrier ? carrier : m.deaths < kPirates ? sub : nullptr;
        if (!target) return;
        a = MV2CityLaunchCraft(kCraftType, 2, sub);
        if (!a) return;
        MV2ObjectSendMessage(a, 48, 0, 0);
        MV2ObjectSendMessage(a, 21, 21, 0);
        MV2SetMissionObjectA(a);
        Guard(a, target);
        MV2SubAIPushCommand(a);
        MV2SubAIPlaceOnCityRoute(a, 2);
        return;
    }
    if (m.aMayScan) Show(kAReminder);
    if (Done(kPiratesNear) && !PirateNear(a) && m.deaths == 0) Show(kAIdle);
    if (Done(kPiratesClose)) Show(kAGuarding);
    if (m.otherCarrierLost && Done(kPiratesClose) && m.deaths < kPirates) Show(kOtherCarrierLost);
    if (OnCityRoute(a)) return;
    if (MV2ScriptEnergyFraction(a) <= 0.2f) {
        Show(kADamaged);
        MV2SubAIOrderCityRoute(a, 1);
        return;
    }
    const MV2SubAICommand* command = MV2SubAIGetCommand(a);
    if (m.aMayScan && !Shown(kAGuarding) && !Shown(kPiratesNear) && carrier && command &&
        command->code == kMV2SubAIGuard && MV2ScriptNear(a, carrier, 20.0f) && a->matrix && carrier->matrix)
        ScanForTarget(a, carrier);
    if ((Done(kHomeward) || Done(kHomewardAllClear)) && !Shown(kAGoingHome)) {
        Show(kAGoingHome);
        MV2SubAIOrderCityRoute(a, 1);
        return;
    }
    AbandonIfTaken(a, m.aContainer, m.aDrop);
    if (PirateNear(a) || PirateNear(sub) || carrier || m.aContainer >= 0 || m.delivered >= m.released) return;
    if (m.aDelivered || !StartDelivery(a, m.aContainer, m.aDrop)) CityRoute(a, 3);
}

void CraftBManager() {
    Mission6& m = g_m6;
    MV2Object* b = MV2GetMissionObjectB();
    if (!b) return;
    AbandonIfTaken(b, m.bContainer, m.bDrop);
    if (OnCityRoute(b)) return;
    if (m.delivered >= m.released || m.bContainer >= 0) return;
    if (!m.bDelivered && StartDelivery(b, m.bContainer, m.bDrop)) {
        if (!m.bSpoke && (Done(kDelivery2) || Done(kDelivery3))) {
            m.bSpoke = 1;
            Show(kBDelivering);
        }
        return;
    }
    MV2SubAIOrderCityRoute(b, 3);
}

void SetUp() {
    Mission6& m = g_m6;
    MV2MissionInstallNotify(kRow, 7);
    MV2SpawnLevelRecord(kRecord, kRow);
    m = {};
    for (int32_t i = 0; i < kRoutePoints; ++i)
        m.w[i] = MV2FindObjectByWorldID(kWayPointIds[i]);
    m.playerDrop = m.aContainer = m.aDrop = m.bContainer = m.bDrop = -1;
    for (int32_t r = 0; r < kRecords; ++r)
        MV2MissionInitMessageRecord(&m.records[r], kRecordIds[r]);
}

void Fail(uint32_t messageId) {
    g_m6.finished = g_m6.stopped = 1;
    MV2FriendlyFireTrigger(messageId);
}

// The carrier, the escort A and the player's craft take their places.
void ConvoyStart() {
    Mission6& m = g_m6;
    MV2Object* carrier = MV2ScriptCreateAt(kCarrierType, MV2FindObjectByWorldID(0x1D0003));
    if (carrier) {
        MV2ScriptKeep(m.carrier, carrier);
        MV2ObjectSendMessage(carrier, 17, 0, 0);
        m.route = 1;
        MV2ObjectSendMessage(carrier, 29, 0, reinterpret_cast<intptr_t>(MV2CarrierBrain));
        MV2SubAIOrderMoveDirect(carrier, m.w[1]);
        MV2MissionAttachObject(kRow, carrier);
        MV2MissionInstallNotify(kRow, 6);
        for (int32_t i = 0; i < 3; ++i) {
            MV2ObjectSendMessage(carrier, 38, kContainerType, 0);
            m.container[i] = {};
            m.drop[i] = MV2FindObjectByWorldID(kDropIds[i]);
        }
    }
    m.released = 0;
    MV2MissionInstallNotify(kRow, 12);
    if (MV2Object* a = MV2ScriptCreateAt(kCraftType, MV2FindObjectByWorldID(0x1D0002))) {
        MV2ObjectSendMessage(a, 48, 0, 0);
        MV2ObjectSendMessage(a, 21, 21, 0);
        MV2SetMissionObjectA(a);
        if (carrier) {
            MV2ScriptTakeFrame(a, carrier);
            Guard(a, carrier);
        }
    }
    MV2Object* start = MV2FindObjectByWorldID(0x1D0001);
    if (MV2Object* sub = MV2GetPlayerSub(); sub && start && start->matrix) {
        MV2ScriptMoveTo(sub, start->matrix->pos);
        MV2ScriptTakeFrame(sub, start);
        gMV2GameCamera.savedPlayer = *start->matrix;
    }
    if (MV2Object* player = MV2GetPlayerObject()) {
        MV2ObjectSendMessage(player, 31, 0, 0);
        MV2ObjectSendMessage(player, 29, 0, reinterpret_cast<intptr_t>(MV2PlayerHandler));
        player->typeWord |= 1u << 20;
    }
    MV2SetCameraMode(1);
    MV2DestroyLevelRecordObjects(kOpeningRecord);
    MV2MissionSetTimer(kRow, kTimerKeepPosition, 1000);
    MV2MissionSetTimer(kRow, kTimerPass, 1);
    MV2MissionSetFlagTimer(&m.aMayScan, 35000);
}

void PiratesAppear() {
    Mission6& m = g_m6;
    const TvV3d* centre = MV2ScriptPosition(m.w[9]);
    if (!centre) return;
    MV2Object* targets[kPirateSlots] = {Carrier(), MV2GetMissionObjectA(), MV2GetPlayerSub()};
    for (int32_t i = 0; i < kPirateSlots; ++i) {
        TvV3d offset;
        MV2RandomDirection(&offset);
        MV2Object* p = MakePirate(TvV3dAdd(*centre, TvV3dScale(offset, 2.0f)));
        MV2ScriptKeep(m.pirate[i], p);
        if (p && targets[i]) MV2SubAIOrderAttack(p, targets[i], 1);
    }
}

void ReplacePirate(int32_t slot) {
    Mission6& m = g_m6;
    m.pirate[slot] = {};
    if (++m.deaths > kReplacements) return;
    TvV3d at;
    float reach = 45.0f;
    bool found = false;
    for (int32_t goalId : {0x40242, 0x1E0006}) {
        const TvV3d* goal = MV2ScriptPosition(MV2FindObjectByWorldID(goalId));
        if (goal && MV2RouteMidpoint(goal, &reach, &at)) {
            found = true;
            break;
        }
    }
    if (!found) return;
    MV2Object* p = MakePirate(at);
    if (!p) return;
    MV2ScriptKeep(m.pirate[slot], p);
    MV2Object* carrier = Carrier();
    MV2Object* sub = MV2GetPlayerSub();
    MV2Object* a = MV2GetMissionObjectA();
    MV2Object* target = carrier && !SomePirateAttacks(carrier, slot) ? carrier
                        : !SomePirateAttacks(sub, slot)              ? sub
                        : a                                          ? a
                                                                     : sub;
    if (target) MV2SubAIOrderAttack(p, target, 1);
}

void ObjectDestroyed(MV2Object* object) {
    Mission6& m = g_m6;
    if (!object) return;
    if (MV2TypeOf(object) == kCarrierType) {
        for (MV2ObjectRef& ref : m.pirate)
            if (MV2Object* p = MV2ScriptLive(ref); p && AttackTarget(p) == object)
                MV2SubAIOrderAttack(p, MV2GetPlayerSub(), 1);
        return;
    }
    for (int32_t i = 0; i < kPirateSlots; ++i)
        if (m.pirate[i].object == object) ReplacePirate(i);
}

void CarrierState(MV2Object* carrier) {
    Mission6& m = g_m6;
    Show(kIntro);
    if (Done(kAReminder)) Show(kAfterReminder);
    if (PirateNear(carrier, 120.0f) && !Shown(kPiratesNear)) {
        Show(kPiratesNear);
        SetProvocation(1, 0);
        SetProvocation(2, 0);
    }
    if (Done(kPiratesNear) && PirateNear(carrier) && !Shown(kPiratesClose)) {
        Show(kPiratesClose);
        MV2AddMusicTrack(12, 1);
        MV2StartMusic();
    }
    if (!m.cityCommandLatch && OnCityRoute(carrier)) {
        m.cityCommandLatch = 1;
        Show(Shown(kCarrierTurnsBack) && m.deaths >= kPirates ? kHomewardAllClear : kHomeward);
    }
    if (HalfWay(kCarrierLost) || HalfWay(kCarrierTurnsBack) || HalfWay(kCarrierHurt)) return;
    const float fraction = MV2ScriptEnergyFraction(carrier);
    if (fraction <= 0.1f && !Shown(kCarrierLost)) {
        Show(kCarrierLost);
        if (!Shown(kRouteStop)) MarkDone(kCarrierTurnsBack);
        MarkDone(kCarrierHurt);
        MV2SubAIOrderDie(carrier);
        MV2ObjectSendMessage(carrier, 12, 0, 0);
    } else if (fraction < 0.3f && !Shown(kCarrierTurnsBack) && !Shown(kRouteStop) && m.released == 0) {
        Show(kCarrierTurnsBack);
        MarkDone(kCarrierHurt);
        MV2SubAIOrderCityRoute(carrier, 5);
    } else if (fraction < 0.7f) {
        Show(kCarrierHurt);
    }
}

void Route(MV2Object* carrier) {
    Mission6& m = g_m6;
    if (Shown(kCarrierTurnsBack) || m.route >= kRoutePoints) return;
    if (m.route < kRoutePoints && MV2ScriptNear(carrier, m.w[m.route], 5.0f)) {
        m.route++;
        if (m.route == 10) {
            MV2SubAIOrderGoTo(carrier, m.w[10], 5.0f);
            Show(kRouteStop);
        } else if (m.route == 11) {
            MV2SubAIOrderFullAhead(carrier);
            MV2ObjectSendMessage(carrier, 63, 0, 0);
        } else if (m.route == 16) {
            MV2SubAIOrderCityRoute(carrier, 5);
        } else {
            MV2SubAIOrderMoveDirect(carrier, m.w[m.route]);
        }
    }
    const MV2SubAICommand* command = MV2SubAIGetCommand(carrier);
    if (m.route == 11 && m.released == 3 && command && command->code == kMV2SubAIFullAhead)
        MV2SubAIOrderMoveDirect(carrier, m.w[11]);
}

void Leash(MV2Object* carrier) {
    Mission6& m = g_m6;
    if (m.deaths >= kPirates && (Shown(kCarrierTurnsBack) || Shown(kRouteStop))) return;
    if (MV2ScriptNear(MV2GetPlayerSub(), carrier, 30.0f) || PirateNear(carrier, 30.0f)) {
        m.awayMs = m.awayWarnings = 0;
        return;
    }
    m.awayMs += kPass;
    if (m.awayMs <= 15000) return;
    m.awayMs = 0;
    if (++m.awayWarnings >= 4)
        Fail(94);
    else
        MV2PlayMissionMessage(88);
}

void Pass() {
    Mission6& m = g_m6;
    if (m.deaths >= kPirates && !m.allDeadLatch) {
        m.allDeadLatch = 1;
        MV2MissionSetTimer(kRow, kTimerAllDead, 15000);
    }
    CraftAManager();
    CraftBManager();
    MV2Object* carrier = Carrier();
    MV2Object* sub = MV2GetPlayerSub();
    if (carrier) {
        CarrierState(carrier);
        if (Done(kCarrierTurnsBack) && m.route >= 7) carrier->energy = 0.099f * MV2InitialEnergy(carrier);
    }
    if (Shown(kPiratesClose) && !Shown(kClear) && !PirateNear(carrier) && !PirateNear(sub) &&
        !PirateNear(MV2GetMissionObjectA()) && m.route < 10 && !Shown(kCarrierTurnsBack)) {
        Show(kClear);
        MV2FadeMusic(0.0f, 3.0f);
    }
    if (m.hitFlag) {
        m.hitFlag = 0;
        if (++m.hits == 3) MV2PlayMissionMessage(927);
        if (m.hits == 11) Fail(929);
    }
    if (m.stopped) return;
    if (carrier) {
        Leash(carrier);
        if (m.stopped) return;
        Route(carrier);
    }
    if (!PirateNear(MV2GetMissionObjectA()) && !PirateNear(sub) && !PirateNear(carrier)) {
        const int32_t live = LiveContainers();
        if (Shown(kCarrierTurnsBack) && m.deaths > 0 && !Shown(kDelivery1)) {
            Show(kDelivery1);
            MV2FadeMusic(0.0f, 3.0f);
        }
        if (Done(kDelivery1) && m.delivered < live) Show(kDelivery2);
        if (Done(kRouteStop) && m.deaths > 0 && m.delivered < live) Show(kDelivery3);
        if (live > 0 && m.delivered >= live) {
            Show(kFinal1);
            if (Done(kFinal1)) Show(kFinal2);
            if (Done(kFinal2)) Show(kFinal3);
        }
    }
    MV2MissionSetTimer(kRow, kTimerPass, kPass);
}

void PlayerContainer(int32_t index) {
    Mission6& m = g_m6;
    CraftAManager();
    CraftBManager();
    MV2Object* c = Container(index);
    if (!c) return;
    m.taken[index] = 1;
    const int32_t d = FreeDropPoint();
    if (d < 0) return;
    SendTo(c, m.drop[d]);
    MV2HudSetObjective(m.drop[d]);
    m.assigned[d] = 1;
    m.playerDrop = d;
}

void Released(MV2Object* object, MV2Object* releaser) {
    Mission6& m = g_m6;
    if (!object || MV2TypeOf(object) != kContainerType) return;
    MV2ObjectSendMessage(object, 0, 1, 0);
    MV2Object* carrier = Carrier();
    if (carrier && releaser == carrier) {
        if (m.released < 3) {
            if (m.released == 0) MV2MissionSetTimer(kRow, kTimerFinalWatch, 20000);
            MV2ScriptKeep(m.container[m.released], object);
            m.released++;
        }
        MV2ObjectSendMessage(object, 33, 1, 0);
        MV2MissionAttachObject(kRow, object);
    } else if (!Ask(object, 59)) {
        if (releaser && releaser == MV2GetPlayerObject() && m.playerDrop >= 0) m.assigned[m.playerDrop] = 0;
    } else if (releaser && releaser == MV2GetMissionObjectA()) {
        MV2PlayMissionMessage(926);
        m.aDelivered = 1;
    } else if (releaser && releaser == MV2GetMissionObjectB()) {
        MV2PlayMissionMessage(922);
        m.bDelivered = 1;
    }
    Recount();
}

void HomeCraft(MV2Object* craft) {
    if (!craft) return;
    const bool held = HeldBy(craft) != nullptr;
    MV2MissionToolCommand(craft, 0, 37, 0, nullptr);
    if (held) MV2MissionToolCommand(craft, 0, 53, 0, nullptr);
    CityRoute(craft, 4);
}

void End() {
    Mission6& m = g_m6;
    MV2MapRemoveLabel(kLabel);
    HomeCraft(MV2GetMissionObjectB());
    HomeCraft(MV2GetMissionObjectA());
    MV2HudShowResultBanner(m.delivered > 0 ? 1 : 0);
    MV2SetLevelSwitch(1, 0);
    MV2ObjectiveToCity();
    MV2MissionInstallNotify(kRow, 7);
    MV2SetEquipmentLevel(4);
    m.finished = 1;
    MV2MissionRemoveNotify(kRow, 12);
    MV2MissionRemoveNotify(kRow, 2);
}

void OnEvent(MV2Object* object, int32_t event, intptr_t argument) {
    Mission6& m = g_m6;
    switch (event) {
    case 7:
        MV2MissionRemoveNotify(kRow, 7);
        if (m.finished) {
            MV2MissionRestart(7);
            m.stopped = 1;
            MV2DestroyLevelRecordObjects(kRecord);
            MV2ScriptDestroy(MV2GetMissionObjectA());
            MV2ScriptDestroy(MV2GetMissionObjectB());
            MV2ScriptDestroy(Carrier());
            break;
        }
        MV2PendingMission = 3;
        MV2SetEquipmentLevel(3);
        MV2SelectWallSet(3);
        MV2ScriptDestroy(MV2GetMissionObjectA());
        MV2ScriptDestroy(MV2GetMissionObjectB());
        MV2ScriptPlacesPlayer = 1;
        MV2MissionInstallNotify(kRow, 8);
        break;
    case 8:
        MV2MissionRemoveNotify(kRow, 8);
        MV2PendingMission = 0;
        MV2MissionBegin(kRow, 1);
        MV2SetTimeOfDay(2.0f);
        MV2SetLetterbox(1);
        if (MV2Object* o = MV2FindObjectByWorldID(0x40245)) MV2MapAddLabel(o, kLabel);
        MV2HudSetObjective(MV2FindObjectByWorldID(0x40290));
        if (MV2CutSceneStart(kOpeningRecord, 0)) {
            MV2ScriptSetCutSceneMode();
            MV2MissionInstallNotify(kRow, 3);
            if (MV2Object* o = MV2FindObjectByWorldID(0x40038)) MV2ObjectSendMessage(o, 63, 0, 0);
            MV2MissionInstallNotify(kRow, 16);
        }
        MV2ResetMouseCursor();
        MV2MissionSetTimer(kRow, kTimerPirates, 75000);
        MV2MissionInstallNotify(kRow, 2);
        break;
    case 16:
        if (argument != 30) break;
        MV2MissionRemoveNotify(kRow, 16);
        if (MV2Object* o = MV2FindObjectByWorldID(0x40038)) MV2ObjectSendMessage(o, 33, 0, 0);
        break;
    case 3:
        MV2MissionRemoveNotify(kRow, 3);
        MV2MissionInstallNotify(kRow, 4);
        MV2ScriptClearRequestedMode();
        MV2SetLetterbox(2);
        break;
    case 4:
        MV2MissionRemoveNotify(kRow, 4);
        ConvoyStart();
        break;
    case 12: Released(object, reinterpret_cast<MV2Object*>(argument)); break;
    case 2:
        if (argument == kCarrierType && Carrier() && !m.carrierHome) m.otherCarrierLost = 1;
        break;
    case 6:
        if (object && object == Carrier()) {
            m.carrierHome = 1;
            MV2MissionRemoveNotify(kRow, 6);
        }
        break;
    default: break;
    }
}

} // namespace

int32_t MV2Mission6Script(MV2Object* object, int32_t message, intptr_t a, intptr_t b) {
    Mission6& m = g_m6;
    switch (message) {
    case kMV2ScriptStart:
        MV2EnterCity();
        MV2ScriptPlacesPlayer = 1;
        SetUp();
        break;
    case kMV2ScriptRestart: SetUp(); break;
    case kMV2ScriptSequenceEnd:
        MV2MissionRemoveNotify(kRow, 12);
        MV2MissionRemoveNotify(kRow, 2);
        break;
    case kMV2ScriptEvent: OnEvent(object, int32_t(a), b); break;
    case 8:
        if (object && object == Carrier()) m.hitFlag = 1;
        break;
    case 10: ObjectDestroyed(object); break;
    case 20: {
        if (m.finished || !object || reinterpret_cast<MV2Object*>(b) != MV2GetPlayerObject()) break;
        int32_t index = 3;
        for (int32_t i = 0; i < 3; ++i)
            if (object == Container(i)) index = i;
        m.playerContainer = index; // the container the next timer 285 looks at
        MV2MissionSetTimer(kRow, kTimerPlayerContainer, 1);
        break;
    }
    case kTimerKeepPosition: MV2ScriptPlacesPlayer = 0; break;
    case kTimerPirates: PiratesAppear(); break;
    case kTimerPlayerContainer: PlayerContainer(m.playerContainer); break;
    case kTimerPass:
        if (!m.stopped) Pass();
        break;
    case kTimerFinalWatch:
        if (Done(kFinal3))
            MV2MissionSetTimer(kRow, kTimerEnd, 1000);
        else
            MV2MissionSetTimer(kRow, kTimerFinalWatch, 5000);
        break;
    case kTimerAllDead:
        if (m.delivered >= m.released) break;
        if (MV2Object* craftB = MV2CityLaunchCraft(kCraftType, 2, MV2GetPlayerSub())) {
            MV2ObjectSendMessage(craftB, 48, 0, 0);
            MV2SetMissionObjectB(craftB);
        } else {
            MV2MissionSetTimer(kRow, kTimerAllDead, 1000);
        }
        break;
    case kTimerEnd: End(); break;
    default: break;
    }
    return 1;
}
