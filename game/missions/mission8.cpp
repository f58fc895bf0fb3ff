// Mission row 8: six salvage objects lie around two sites; the player carries each to the drop
// point the script names while a friendly escort stands by and up to three pirates attack.
// Every delivery wins; three destroyed, or no site reached in twice 180 s, loses.
#include <cstdint>
#include <initializer_list>

#include "game/creatures/carrier.h"
#include "game/creatures/subai.h"
#include "game/frontend/hud.h"
#include "game/frontend/missionmap.h"
#include "game/missions/city.h"
#include "game/missions/missions.h"
#include "game/missions/routepoint.h"
#include "game/missions/scriptkit.h"
#include "game/objects/levels.h"
#include "game/objects/levelswitch.h"
#include "game/player/playercraft.h"
#include "shell/cdaudio.h"
#include "shell/gamestate.h"

namespace {

constexpr int32_t kRow = 8;
constexpr int32_t kPirateType = 56, kCarrierType = 103, kCraftType = 0;
constexpr uint32_t kRecord = 0x3FFFFF, kEscortRecord = 0x21FFFF;
constexpr int32_t kSalvage = 6, kPirateSlots = 3;
constexpr int32_t kSalvageFirst = 0x3F0000;
constexpr int32_t kSiteA = 0x40291, kSiteB = 0x40292;
constexpr int32_t kGathering = 0x40052, kHideout = 0x40264, kWayPoint = 0x40226;
constexpr int32_t kCityDock = 0x2001C, kCityPost = 0x4026D;
// Drop points by group and by the group's remaining count 1..3.
constexpr int32_t kDrops[2][3] = {{0x3F0006, 0x3F0007, 0x3F0008}, {0x3F000B, 0x3F000A, 0x3F0009}};

enum : int32_t {
    kTimerLeaveCity = 256,
    kTimerTimeLimit = 257,
    kTimerReach = 258,
    kTimerWave = 259,
    kTimerSpawnPoint = 260,
    kTimerPirate = 261,
    kTimerPiratesClose = 262,
    kTimerEscort = 263,
    kTimerLaunchEscort = 264,
    kTimerPirateWatch = 265,
    kTimerAllClear = 266,
    kTimerEnd = 267,
};

enum Group : int32_t { kNone = -1, kA = 0, kB = 1 };

struct Mission8 {
    int32_t reached, done, warned, retreat, escortFlag, waveFlag, ended;
    MV2Object* site[2];
    MV2Object* gathering;
    MV2Object* hideout;
    MV2Object* wayPoint;
    int32_t count[2];
    int32_t total;
    int32_t carried; // Group
    MV2ObjectRef carriedObject;
    MV2ObjectRef pirate[kPirateSlots];
    TvV3d spawn;
    MV2ObjectRef escortTarget;
};
Mission8 g_m8;

void Timer(int32_t timer, int32_t ms) {
    MV2MissionSetTimer(kRow, timer, ms);
}

bool IsSalvage(const MV2Object* object) {
    return object && object->scriptId >= kSalvageFirst && object->scriptId < kSalvageFirst + kSalvage;
}

bool IsCarried(MV2Object* object) {
    return g_m8.carried != kNone && MV2ScriptLive(g_m8.carriedObject) == object;
}

MV2Object* Pirate(int32_t slot) {
    return MV2ScriptLive(g_m8.pirate[slot]);
}

void SetProvocation(MV2Object* craft, int32_t count) {
    if (MV2SubAIData* ai = craft ? MV2GetSubAIData(craft) : nullptr) ai->passivity = count;
}

void PushGoTo(MV2Object* craft, MV2Object* target, float arrival) {
    if (craft && target && MV2SubAIPushCommand(craft)) MV2SubAISetGoTo(craft, target, arrival);
}

float FlatDistanceSquared(MV2Object* a, MV2Object* b) {
    const TvV3d* p = MV2ScriptPosition(a);
    const TvV3d* q = MV2ScriptPosition(b);
    if (!p || !q) return 1e10f;
    const float dx = p->x - q->x, dz = p->z - q->z;
    return dx * dx + dz * dz;
}

// The site an object lies nearer to, in x and z; ties go to site A.
Group NearerSite(MV2Object* object) {
    return FlatDistanceSquared(object, g_m8.site[kA]) <= FlatDistanceSquared(object, g_m8.site[kB]) ? kA : kB;
}

void SendToPoint(MV2Object* object, MV2Object* point) {
    if (const TvV3d* p = MV2ScriptPosition(point))
        MV2ObjectSendMessage(object, 33, 0, reinterpret_cast<intptr_t>(p));
}

void ForgetCarried() {
    g_m8.carried = kNone;
    g_m8.carriedObject = {};
}

void BothEmptied() {
    g_m8.done = 1;
    Timer(kTimerEnd, 2000);
}

void Start() {
    MV2SpawnLevelRecord(kEscortRecord, 7);
    MV2Object* craft = MV2ScriptCreateAt(kCraftType, MV2FindObjectByScriptID(kCityDock));
    if (!craft) return;
    MV2SetMissionObjectB(craft);
    if (MV2Object* post = MV2FindObjectByScriptID(0x40242)) {
        MV2SubAIOrderGuard(craft, post, 3, kMV2AnyCategory, kPirateType, 20.0f);
        PushGoTo(craft, post, 5.0f);
    }
}

void LeaveCity();

void Restart() {
    Mission8& m = g_m8;
    MV2ResetMusic();
    m = {};
    m.site[kA] = MV2FindObjectByScriptID(kSiteA);
    m.site[kB] = MV2FindObjectByScriptID(kSiteB);
    m.gathering = MV2FindObjectByScriptID(kGathering);
    m.hideout = MV2FindObjectByScriptID(kHideout);
    m.wayPoint = MV2FindObjectByScriptID(kWayPoint);
    ForgetCarried();
    MV2SpawnLevelRecord(kRecord, kRow);
    MV2SelectWallSet(4);
    for (int32_t i = 0; i < kSalvage; ++i) {
        MV2Object* o = MV2FindObjectByScriptID(kSalvageFirst + i);
        if (!o) continue;
        m.total++;
        m.count[NearerSite(o)]++;
        MV2ObjectSendMessage(o, 33, 1, 0);
        MV2MissionAttachObject(kRow, o);
    }
    if (MV2Object* post = MV2FindObjectByScriptID(0x40244)) {
        if (MV2Object* carrier = MV2MissionCreateObject(kCarrierType, post, kRow)) {
            MV2ObjectSendMessage(carrier, 29, 0, reinterpret_cast<intptr_t>(MV2CarrierBrain));
            MV2SubAIOrderCityRoute(carrier, 5);
        }
    }
    LeaveCity();
}

// Waits until the player has left the city area, then labels the sites and begins.
void LeaveCity() {
    Mission8& m = g_m8;
    MV2Object* sub = MV2GetPlayerSub();
    if (sub && MV2ScriptNear(sub, MV2FindObjectByScriptID(kCityPost), 85.0f)) {
        Timer(kTimerLeaveCity, 500);
        return;
    }
    MV2DestroyLevelRecordObjects(kEscortRecord);
    MV2MapRemoveLabel(685);
    if (m.site[kB]) MV2MapAddLabel(m.site[kB], 140);
    if (m.site[kA]) MV2MapAddLabel(m.site[kA], 142);
    if (m.site[kB]) MV2LockTarget(m.site[kB], 20.0f, 0, kRow);
    MV2MissionBegin(kRow, 1);
}

void Begin() {
    MV2PlayMissionMessage(254);
    Timer(kTimerReach, 400);
    Timer(kTimerTimeLimit, 180000);
}

void Reach() {
    Mission8& m = g_m8;
    MV2Object* sub = MV2GetPlayerSub();
    for (MV2Object* site : m.site) {
        if (site && MV2ScriptNear(sub, site, 40.0f)) {
            m.reached = 1;
            MV2PlayMissionMessage(256);
            MV2HudSetObjective(nullptr);
            return;
        }
    }
    Timer(kTimerReach, 2000);
}

void TimeLimit() {
    Mission8& m = g_m8;
    if (m.done) return;
    if (!MV2ScriptQueuesEmpty()) {
        Timer(kTimerTimeLimit, 500);
        return;
    }
    if (m.reached) return;
    if (m.warned) {
        MV2FriendlyFireTrigger(243);
        return;
    }
    m.warned = 1;
    MV2PlayMissionMessage(254);
    Timer(kTimerTimeLimit, 180000);
}

// The salvage object has been taken up: the escort and the wave come with the losses, and the
// player is sent to the drop point of the object's group.
void TakenUp(MV2Object* object) {
    Mission8& m = g_m8;
    if (MV2ObjectSendMessage(object, 59, 0, 0)) return;
    const int32_t gone = kSalvage - m.count[kA] - m.count[kB];
    if (gone > 0 && !m.escortFlag && !m.waveFlag) {
        m.escortFlag = 1;
        Timer(kTimerEscort, 1);
    } else if (m.escortFlag && gone >= 2 && !m.waveFlag) {
        m.waveFlag = 1;
        Timer(kTimerWave, 5000);
    }
    const Group group = m.count[kB] == 0 || (m.count[kA] != 0 && NearerSite(object) == kA) ? kA : kB;
    // More than three objects near one site share the last drop point.
    int32_t n = m.count[group];
    n = n < 1 ? 1 : n > 3 ? 3 : n;
    MV2Object* drop = MV2FindObjectByScriptID(kDrops[group][n - 1]);
    if (!drop) return;
    SendToPoint(object, drop);
    MV2HudSetObjective(drop);
    m.carried = group;
    MV2ScriptKeep(m.carriedObject, object);
}

// The salvage object has been let go short of its drop point: it lies free again.
int32_t LetGo(MV2Object* object, intptr_t a, intptr_t b) {
    if (MV2ObjectSendMessage(object, 59, 0, 0)) return 1;
    MV2HudSetObjective(nullptr);
    if (object->typeHandler) object->typeHandler(object, 43, a, b);
    MV2ObjectSendMessage(object, 33, 1, 0);
    ForgetCarried();
    return 0;
}

// The group an object's loss or delivery counts against: the carried group when it is the
// carried object, else the site it lies nearer to (site A also when group B is empty).
Group GroupOf(MV2Object* object) {
    Mission8& m = g_m8;
    if (IsCarried(object)) return Group(m.carried);
    return m.count[kB] == 0 || NearerSite(object) == kA ? kA : kB;
}

void Delivered(MV2Object* object) {
    Mission8& m = g_m8;
    const Group group = GroupOf(object);
    ForgetCarried();
    if (m.count[group] > 0) m.count[group]--;
    if (m.count[kA] == 0 && m.count[kB] == 0) {
        const int32_t t = MV2MissionQueueMessage(kRow, 260, 3000);
        MV2SetLevelSwitch(3, 0);
        MV2SetLevelSwitch(4, 0);
        MV2HudShowResultBanner(1);
        m.done = 1;
        Timer(kTimerEnd, t + 2000);
    } else if (m.count[group] == 0) {
        MV2LockTarget(m.site[group == kB ? kA : kB], 20.0f, 0, kRow);
    }
}

void SalvageDestroyed(MV2Object* object) {
    Mission8& m = g_m8;
    m.total--;
    if (IsCarried(object)) {
        if (m.count[m.carried] > 0) m.count[m.carried]--;
        ForgetCarried();
        MV2HudSetObjective(nullptr);
    } else if (!MV2ObjectSendMessage(object, 59, 0, 0)) {
        const Group group = GroupOf(object);
        if (m.count[group] > 0) m.count[group]--;
    }
    if (m.total < 4) MV2FriendlyFireTrigger(261);
    if (m.count[kA] == 0 && m.count[kB] == 0) BothEmptied();
}

void Wave() {
    Mission8& m = g_m8;
    if (MV2Object* sub = MV2GetPlayerSub()) MV2MissionAttachObject(kRow, sub);
    m.warned = 0;
    Timer(kTimerSpawnPoint, 1);
    Timer(kTimerPirate, 1500);
    Timer(kTimerPirate, 3000);
    Timer(kTimerPiratesClose, 4000);
}

// Pirates stop coming once they retreat or the player is home.
bool PiratesStopped() {
    return g_m8.retreat || g_m8.ended;
}

void NewPirate() {
    Mission8& m = g_m8;
    MV2Object* sub = MV2GetPlayerSub();
    if (PiratesStopped() || !sub) return;
    for (int32_t slot = 0; slot < kPirateSlots; ++slot) {
        if (Pirate(slot)) continue;
        TvV3d at = m.spawn;
        at.y += float(slot);
        MV2Object* p = MV2ScriptCreateAtPoint(kPirateType, at);
        MV2ScriptKeep(m.pirate[slot], p);
        if (!p) return;
        MV2MissionAttachObject(kRow, p);
        MV2ObjectSendMessage(p, 21, (slot & 1) ? 17 : 0, 0);
        MV2SubAIOrderAttack(p, sub, 1);
        PushGoTo(p, sub, 20.0f);
        SetProvocation(p, 10);
        return;
    }
}

void SpawnPoint() {
    Mission8& m = g_m8;
    if (PiratesStopped()) return;
    const TvV3d* goal = MV2ScriptPosition(m.gathering);
    const float reach = 51.0f;
    TvV3d at;
    if (goal && MV2FindRoutePointAtDistance(goal, &reach, &at))
        m.spawn = at;
    else if (goal)
        m.spawn = *goal;
    NewPirate();
}

void PiratesClose() {
    MV2Object* sub = MV2GetPlayerSub();
    bool close = false;
    for (int32_t slot = 0; slot < kPirateSlots; ++slot)
        if (MV2Object* p = Pirate(slot); p && MV2ScriptNear(p, sub, 30.0f)) close = true;
    if (!close) {
        Timer(kTimerPiratesClose, 2000);
        return;
    }
    for (int32_t slot = 0; slot < kPirateSlots; ++slot)
        SetProvocation(Pirate(slot), 0);
    MV2PlayMusicTrack(13);
    Timer(kTimerLaunchEscort, int32_t(MV2PlayMissionMessage(244)));
}

void Retreat() {
    Mission8& m = g_m8;
    m.retreat = 1;
    for (int32_t slot = 0; slot < kPirateSlots; ++slot) {
        MV2Object* p = Pirate(slot);
        if (!p) continue;
        MV2SubAIOrderGuard(p, m.hideout, 3, kMV2AnyCategory, kCarrierType, 20.0f);
        for (MV2Object* point : {m.gathering, m.wayPoint, m.gathering})
            PushGoTo(p, point, 40.0f);
        SetProvocation(p, 10);
        MV2ObjectSendMessage(p, 89, 200, 0);
    }
    MV2MissionQueueMessage(kRow, 252, int32_t(MV2PlayMissionMessage(246)));
}

void PirateWatch() {
    Mission8& m = g_m8;
    if (m.ended) return;
    MV2Object* player = MV2GetPlayerObject();
    MV2Object* escort = MV2GetMissionObjectB();
    MV2Object* last = nullptr;
    bool nearEscort = false;
    for (int32_t slot = 0; slot < kPirateSlots; ++slot) {
        MV2Object* p = Pirate(slot);
        if (!p) continue;
        const float d = player ? MV2ScriptDistanceSquared(p, player) : 0.0f;
        if (!m.retreat && d > 900.0f) {
            MV2SubAIOrderAttack(p, player, 1);
            SetProvocation(p, 10);
        } else if (m.retreat && d > 900.0f && MV2ScriptNear(p, m.hideout, 20.0f)) {
            MV2ScriptDestroy(p);
            continue;
        }
        if (escort && MV2ScriptDistanceSquared(p, escort) < 900.0f) nearEscort = true;
        last = p;
    }
    if (last) {
        if (escort && MV2ScriptLive(m.escortTarget) != last) {
            MV2SubAIOrderGuard(escort, last, 2, kMV2AnyCategory, kMV2AnyType, 5.0f);
            MV2ScriptKeep(m.escortTarget, last);
        }
        if (nearEscort && !m.retreat) Retreat();
    } else if (m.retreat) {
        MV2FadeMusic(0.0f, 3.0f);
        Timer(kTimerAllClear, int32_t(MV2PlayMissionMessage(245)));
        if (escort) MV2SubAIOrderCityRoute(escort, 4);
        return;
    }
    Timer(kTimerPirateWatch, 2400);
}

void LaunchEscort() {
    if (MV2GetMissionObjectB()) {
        PirateWatch();
        return;
    }
    if (MV2Object* craft = MV2CityLaunchCraft(kCraftType, 4, MV2FindObjectByScriptID(kCityDock)))
        MV2SetMissionObjectB(craft);
    Timer(kTimerLaunchEscort, 4000);
}

void EscortReacts() {
    MV2Object* escort = MV2GetMissionObjectB();
    MV2Object* post = MV2FindObjectByScriptID(0x400FA);
    if (!escort || !post) return;
    MV2SubAIOrderGuard(escort, post, 3, 6, kPirateType, 10.0f);
    PushGoTo(escort, post, 5.0f);
}

void OnEvent(int32_t event) {
    Mission8& m = g_m8;
    if (event == 7) {
        m.ended = 1;
        for (int32_t slot = 0; slot < kPirateSlots; ++slot)
            MV2ScriptDestroy(Pirate(slot));
        if (MV2Object* escort = MV2GetMissionObjectB();
            escort && MV2ScriptNear(escort, MV2FindObjectByScriptID(kCityDock), 60.0f))
            MV2ScriptDestroy(escort);
        MV2MissionRemoveNotify(kRow, 7);
        MV2MissionInstallNotify(kRow, 8);
    } else if (event == 8) {
        MV2MissionRemoveNotify(kRow, 8);
        MV2MissionRestart(9);
    }
}

} // namespace

int32_t MV2Mission8Script(MV2Object* object, int32_t message, intptr_t a, intptr_t b) {
    Mission8& m = g_m8;
    switch (message) {
    case kMV2ScriptStart:
        Start();
        Restart();
        break;
    case kMV2ScriptRestart: Restart(); break;
    case 9: {
        MV2Object* threat = reinterpret_cast<MV2Object*>(b);
        if (object && object == MV2GetPlayerSub() && threat && MV2TypeOf(threat) == kPirateType) {
            SetProvocation(threat, 0);
            MV2SubAIOrderAttack(threat, object, 5);
        }
        break;
    }
    case 10:
        if (object && MV2TypeOf(object) == kPirateType)
            Timer(kTimerSpawnPoint, 5000);
        else if (IsSalvage(object))
            SalvageDestroyed(object);
        break;
    case kMV2ScriptEvent: OnEvent(int32_t(a)); break;
    case 18:
        if (IsSalvage(object)) Delivered(object);
        break;
    case 20:
        if (IsSalvage(object)) TakenUp(object);
        break;
    case 21:
        if (IsSalvage(object)) return LetGo(object, a, b);
        break;
    case kMV2ScriptBegin: Begin(); break;
    case kTimerLeaveCity: LeaveCity(); break;
    case kTimerTimeLimit: TimeLimit(); break;
    case kTimerReach: Reach(); break;
    case kTimerWave: Wave(); break;
    case kTimerSpawnPoint: SpawnPoint(); break;
    case kTimerPirate: NewPirate(); break;
    case kTimerPiratesClose: PiratesClose(); break;
    case kTimerEscort: EscortReacts(); break;
    case kTimerLaunchEscort: LaunchEscort(); break;
    case kTimerPirateWatch: PirateWatch(); break;
    case kTimerAllClear:
        if (m.done) break;
        if (MV2ScriptQueuesEmpty())
            MV2PlayMissionMessage(253);
        else
            Timer(kTimerAllClear, 300);
        break;
    case kTimerEnd:
        MV2LockNearestTarget();
        MV2PlayMissionMessage(797);
        MV2MissionInstallNotify(kRow, 7);
        break;
    default: break;
    }
    return 1;
}
