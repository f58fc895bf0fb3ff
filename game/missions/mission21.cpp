#include "game/missions/mission21.h"

#include <cstdint>
#include <initializer_list>

#include "game/creatures/puppetboss.h"
#include "game/frontend/hud.h"
#include "game/frontend/missionmap.h"
#include "game/missions/city.h"
#include "game/missions/cutscenes.h"
#include "game/missions/levelobjects.h"
#include "game/missions/missionflow.h"
#include "game/missions/missionhelpers.h"
#include "game/missions/missions.h"
#include "game/missions/missionscripts.h"
#include "game/missions/missiontimers.h"
#include "game/missions/scriptevents.h"
#include "game/objects/levels.h"
#include "game/objects/levelswitch.h"
#include "game/objects/objects.h"
#include "game/objects/objecttypes.h"
#include "game/player/loadout.h"
#include "game/player/playercraft.h"
#include "shell/cdaudio.h"

MV2Mission21State gMV2Mission21 = {};
MV2Mission22State gMV2Mission22 = {};

namespace {

// Row 21.
constexpr int32_t kRow21 = 21;
constexpr int32_t kWayPointA = 0x40246, kTargetB = 0x40264;
constexpr int32_t kLabel = 684;

// Row 22.
constexpr int32_t kRow22 = 22;
constexpr int32_t kCrawlerType = 270;
constexpr int32_t kCrawlerId = 0x3120000;
constexpr int32_t kActorMain = 0x3040000, kActorJunction = 0x3040001;

MV2Object* Find(int32_t id) {
    return MV2FindObjectByScriptID(id);
}

void Destroy(int32_t id) {
    if (MV2Object* o = Find(id)) MV2ObjectSendMessage(o, 4, 0, 0);
}

bool PlayerWithin(MV2Object* object, float range) {
    return object && MV2ObjectDistance(nullptr, object) < range;
}

bool OnLevel(uint32_t level) {
    return (MV2GetCurrentLevelId() >> 24) == level;
}

// --- Row 21 ---

void Row21LeftConsole() {
    MV2Mission21State& s = gMV2Mission21;
    MV2PendingMission = 0;
    MV2MissionRemoveNotify(kRow21, 8);
    s.wayPointA = MV2FindObjectByWorldID(kWayPointA);
    s.targetB = MV2FindObjectByWorldID(kTargetB);
    s.waiting = 1;
    s.arrived = 0;
    MV2HudSetObjective(s.targetB);
    if (s.wayPointA) MV2MapAddLabel(s.wayPointA, kLabel);
    MV2MissionSetTimer(kRow21, 256, 10000);
    MV2MissionSetTimer(kRow21, 257, 20000);
    MV2MissionSetTimer(kRow21, 258, 300000);
    MV2MissionBegin(kRow21, 1);
}

// The player has gone down past the way-point.
void Row21Descent() {
    MV2Mission21State& s = gMV2Mission21;
    MV2Object* sub = MV2GetPlayerSub();
    const bool below = sub && sub->matrix && s.wayPointA && s.wayPointA->matrix &&
                       sub->matrix->pos.y < s.wayPointA->matrix->pos.y + 15.0f;
    if (!below) {
        MV2MissionSetTimer(kRow21, 257, 1000);
        return;
    }
    s.waiting = 0;
    MV2PlayMissionMessage(1115);
    MV2MissionSetTimer(kRow21, 260, 1000);
    MV2MissionSetTimer(kRow21, 259, 120000);
}

// --- Row 22 ---

MV2Object* CrawlerAt(int32_t slot) {
    MV2Object* o = Find(kCrawlerId + slot);
    return o && MV2ObjectHandleAlive(gMV2Mission22.crawlers[slot]) && o->handle == gMV2Mission22.crawlers[slot]
               ? o
               : nullptr;
}

void RecreateActor(int32_t id) {
    Destroy(id);
    if (MV2Object* actor = MV2CutSceneStartActor(uint32_t(id), 0)) MV2ObjectSendMessage(actor, 12, 0, 0);
}

void RecreateActors(std::initializer_list<int32_t> ids) {
    for (int32_t id : ids) RecreateActor(id);
}

const float* PositionOf(MV2Object* object) {
    return object && object->matrix ? &object->matrix->pos.x : nullptr;
}

// A crawler of slot 0..3 at the position, following `lead` (message 33 with p1 `mode`).
MV2Object* MakeCrawler(int32_t slot, const float* at, MV2Object* lead, intptr_t mode = 1) {
    Destroy(kCrawlerId + slot);
    gMV2Mission22.crawlers[slot] = 0;
    if (!at) return nullptr;
    MV2Object* crawler = MV2CreateObject(kCrawlerType, at, nullptr);
    if (!crawler) return nullptr;
    MV2ObjectSendMessage(crawler, 33, mode, reinterpret_cast<intptr_t>(lead));
    MV2ObjectSendMessage(crawler, 0, 1, 0);
    MV2ObjectSendMessage(crawler, 36, kCrawlerId + slot, 0);
    gMV2Mission22.crawlers[slot] = crawler->handle;
    return crawler;
}

// A crawler following an actor from the actor's place.
MV2Object* CrawlerFollowing(int32_t slot, int32_t actorId) {
    MV2Object* actor = Find(actorId);
    return MakeCrawler(slot, PositionOf(actor), actor);
}

// A crawler parked on a way-point object, which then goes.
void CrawlerParkedAt(int32_t slot, int32_t wayPoint) {
    MakeCrawler(slot, PositionOf(Find(wayPoint)), nullptr);
    Destroy(wayPoint);
}

void Follow(int32_t slot, intptr_t mode, int32_t targetId) {
    if (MV2Object* c = CrawlerAt(slot))
        MV2ObjectSendMessage(c, 33, mode, reinterpret_cast<intptr_t>(Find(targetId)));
}

bool CrawlerNear(int32_t slot, int32_t id, float range) {
    MV2Object* c = CrawlerAt(slot);
    MV2Object* o = Find(id);
    return c && o && MV2ObjectDistance(c, o) < range;
}

void Once(int32_t index, uint32_t message) {
    if (gMV2Mission22.once[index]) return;
    gMV2Mission22.once[index] = 1;
    MV2PlayMissionMessage(message);
}

void Music(std::initializer_list<int32_t> tracks) {
    for (int32_t t : tracks) MV2AddMusicTrack(t, 0);
    MV2StartMusic();
}

void Repeat(int32_t timer) {
    MV2MissionSetTimer(kRow22, timer, 1000);
}

void PlayStage(uint32_t sequence, uint32_t actor) {
    MV2PlayCutScene(sequence, actor);
    MV2MissionInstallNotify(kRow22, 16);
    MV2MissionInstallNotify(kRow22, 17);
}

void StageSetup() {
    MV2Mission22State& s = gMV2Mission22;
    RecreateActors({0x3040000, 0x3040002, 0x3040003, 0x3040004, 0x3040005, 0x3040006, 0x3040001,
                    0x3040008, 0x3040007, 0x30A0000, 0x30B0000});
    for (int32_t id : {0x3080003, 0x3080000, 0x302002E, 0x302002D, 0x302002C, 0x302002B, 0x302001F})
        if (MV2Object* o = Find(id)) MV2MissionAttachObject(kRow22, o);
    s.stageCounter = 0;
    s.stageFlags[0] = s.stageFlags[1] = 0;
    CrawlerFollowing(0, kActorMain);
    MV2MissionSetTimer(kRow22, 264, 1000);
    MV2SetLevelSwitch(21, 0);
}

// Crawlers 2, 3 and 4 reach the junction and take its path; then on to their own stop.
struct JunctionStep {
    int32_t timer, slot, lead, next;
};
constexpr JunctionStep kJunction[] = {{278, 1, 0x3040007, 279}, {283, 2, 0x30A0000, 284}, {287, 3, 0x30B0000, 288}};

void Junction(const JunctionStep& j) {
    if (!CrawlerNear(j.slot, kActorJunction, 11.0f)) {
        Repeat(j.timer);
        return;
    }
    Destroy(j.lead);
    Follow(j.slot, 1, kActorJunction);
    MV2MissionSetTimer(kRow22, j.next, 1000);
}

void Stop(int32_t slot, int32_t wayPoint, int32_t crawler1Actor, int32_t timer) {
    if (!CrawlerNear(slot, wayPoint, 5.0f)) {
        Repeat(timer);
        return;
    }
    Follow(slot, 0, wayPoint);
    RecreateActor(kActorJunction);
    Follow(0, 1, crawler1Actor);
}

// A stage cut-scene's path event brings a crawler in at its actor.
struct Arrival {
    intptr_t value;
    int32_t marker, slot, lead, watch, timer;
};
constexpr Arrival kArrivals[] = {{43, 0x3150002, 2, 0x30A0000, 0x3150001, 283},
                                 {44, 0x3160001, 1, 0x3040007, 0x3160002, 278},
                                 {45, 0x3170002, 3, 0x30B0000, 0x3170001, 287}};

void PathEvent(intptr_t value) {
    for (const Arrival& a : kArrivals) {
        if (a.value != value) continue;
        if (MV2Object* marker = Find(a.marker)) {
            MV2Object* lead = Find(a.lead);
            const float* at = PositionOf(marker) ? PositionOf(marker) : PositionOf(lead);
            if (MV2Object* c = MakeCrawler(a.slot, at, lead))
                MV2ObjectSendMessage(c, 63, 0, reinterpret_cast<intptr_t>(Find(a.watch)));
            MV2MissionSetTimer(kRow22, a.timer, 1000);
        }
        MV2MissionRemoveNotify(kRow22, 16);
    }
}

void SequenceFinished(uint32_t id) {
    switch (id) {
    case 0x315FFFF:
    case 0x316FFFF:
    case 0x317FFFF:
        if (MV2Object* sub = MV2GetPlayerSub(); sub && sub->type) sub->energy = MV2TypeFloat(sub->type, 1);
        break;
    case 0x30CFFFF:
        MV2SetAltThrustControl(1, 1, 1);
        if (MV2Object* o = Find(0x3080000)) {
            MV2PuppetBossPlay(o, "intro4", 0);
            MV2PuppetBossPlay(o, "mshut", 1);
            MV2PuppetBossPlay(o, "awake", 1);
        }
        break;
    case 0x30FFFFF:
        if (MV2Object* o = Find(0x3080003)) MV2ObjectSendMessage(o, 12, 0, reinterpret_cast<intptr_t>(Find(0x30F0001)));
        break;
    default: break;
    }
    MV2MissionRemoveNotify(kRow22, 17);
}

void Row22Timer(int32_t timer) {
    MV2Mission22State& s = gMV2Mission22;
    switch (timer) {
    case 256:
        if (!MV2TestLevelSwitch(21)) {
            for (uint32_t& c : s.crawlers) c = 0;
            MV2MissionSetTimer(kRow22, 262, 1);
        }
        MV2MissionSetTimer(kRow22, 257, 10000);
        MV2MissionSetTimer(kRow22, 258, 11000);
        MV2MissionSetTimer(kRow22, 259, 311000);
        Music({1, 3, 4});
        MV2MissionRemoveNotify(kRow22, 15);
        MV2MissionInstallNotify(kRow22, 15);
        break;
    case 257: Once(0, 1104); break;
    case 258:
        if (PlayerWithin(Find(0x3000004), 10.0f)) Once(1, 1105);
        if (!PlayerWithin(Find(0x3000003), 25.0f)) {
            Repeat(258);
            break;
        }
        s.passedGate = 1;
        MV2MissionSetTimer(kRow22, 260, 1000);
        break;
    case 259:
        if (!s.passedGate) Once(2, 1106);
        break;
    case 260:
        if (!PlayerWithin(Find(0x3000005), 25.0f)) {
            Repeat(260);
            break;
        }
        Once(3, 1107);
        MV2MissionSetTimer(kRow22, 261, 1000);
        Music({1, 3, 5});
        break;
    case 261:
        if (PlayerWithin(Find(0x300000B), 25.0f)) s.reachedDeep = 1;
        if (MV2TestKnownType(270)) Once(4, 1108);
        if (MV2TestKnownType(267)) Once(5, 1109);
        Repeat(261);
        break;
    case 262: StageSetup(); break;
    case 264:
        if (!CrawlerNear(0, 0x3070003, 3.0f)) {
            Repeat(264);
            break;
        }
        MV2MissionSetTimer(kRow22, 265, 6000);
        MakeCrawler(1, PositionOf(Find(0x3000011)), nullptr);
        MV2MissionSetTimer(kRow22, 276, 10000);
        break;
    case 265:
        Destroy(kActorMain);
        Follow(0, 0, 0x3040002);
        break;
    case 267:
        if (!CrawlerNear(0, 0x3070005, 3.0f)) {
            Repeat(267);
            break;
        }
        MV2MissionSetTimer(kRow22, 268, 6000);
        if (const float* p = PositionOf(Find(0x300000C)))
            for (int32_t i = 0; i < 3; i++) s.remembered[i] = p[i];
        MV2MissionSetTimer(kRow22, 269, 1000);
        break;
    case 268:
        Destroy(0x3040003);
        Follow(0, 0, 0x3040004);
        break;
    case 269: {
        MV2Object* sub = MV2GetPlayerSub();
        const TvV3d r{s.remembered[0], s.remembered[1], s.remembered[2]};
        const TvV3d d = sub && sub->matrix ? TvV3dSub(sub->matrix->pos, r) : TvV3d{1e6f, 0, 0};
        if (TvV3dDot(d, d) >= 200.0f) {
            Repeat(269);
            break;
        }
        MV2PlayCutScene(0x30FFFFF, 0x30F0001);
        MV2MissionInstallNotify(kRow22, 17);
        break;
    }
    case 276: {
        MV2Object* c = CrawlerAt(1);
        if (c) MV2CountObjectsNear(c, 40.0f);
        if (c && MV2GetNearbyObjectCount(147) > 0) {
            Repeat(276);
            break;
        }
        s.stageFlags[0] = 1;
        MV2SetLevelSwitch(22, 0);
        PlayStage(0x316FFFF, 0x3160002);
        if (c) MV2ObjectSendMessage(c, 4, 0, 0);
        break;
    }
    case 279:
        if (CrawlerNear(1, 0x3070002, 5.0f)) {
            Stop(1, 0x3070002, 0x3040003, 279);
            MV2MissionSetTimer(kRow22, 267, 1000);
            MV2MissionSetTimer(kRow22, 281, 1000);
        } else {
            Repeat(279);
        }
        break;
    case 284: Stop(2, 0x3070001, 0x3040005, 284); break;
    case 288:
        if (!CrawlerNear(3, 0x3070000, 5.0f)) {
            Repeat(288);
            break;
        }
        Follow(3, 0, 0x3070000);
        Destroy(kActorJunction);
        Follow(0, 0, 0x3040006);
        break;
    case 282:
        if (MV2Object* c = CrawlerAt(2)) {
            MV2ObjectSendMessage(c, 63, 0, reinterpret_cast<intptr_t>(MV2GetPlayerObject()));
            MV2ObjectSendMessage(c, 33, 1, reinterpret_cast<intptr_t>(Find(0x30A0000)));
        }
        break;
    default:
        for (const JunctionStep& j : kJunction)
            if (j.timer == timer) Junction(j);
        break;
    }
}

} // namespace

MV2Object* MV2Mission22Crawler(int32_t slot) {
    return slot >= 0 && slot < kMV2Mission22Crawlers ? CrawlerAt(slot) : nullptr;
}

int32_t MV2Mission21Script(MV2Object*, int32_t message, intptr_t a, intptr_t) {
    MV2Mission21State& s = gMV2Mission21;
    switch (message) {
    case kMV2ScriptStart:
    case kMV2ScriptRestart:
        MV2EnterCity();
        MV2PendingMission = 31;
        MV2MissionInstallNotify(kRow21, 13);
        break;
    case kMV2ScriptEvent:
        if (a == 13) {
            MV2SelectSub(67);
            MV2MissionRemoveNotify(kRow21, 13);
            MV2MissionInstallNotify(kRow21, 8);
        } else if (a == 8) {
            Row21LeftConsole();
        }
        break;
    case 256:
        MV2MissionQueueMessage(kRow21, 1112, int32_t(MV2PlayMissionMessage(1111)));
        MV2SetLevelGates(0x3FFFFFF, 1);
        break;
    case 257: Row21Descent(); break;
    case 258:
        if (s.waiting) MV2PlayMissionMessage(1113);
        break;
    case 259:
        if (!s.arrived) MV2PlayMissionMessage(1116);
        break;
    case 260:
        if (!OnLevel(3)) {
            MV2MissionSetTimer(kRow21, 260, 1000);
            break;
        }
        s.arrived = 1;
        MV2MissionSetTimer(kRow21, kMV2ScriptSequenceEnd, 1000);
        MV2MissionRestart(22);
        break;
    case kMV2ScriptSequenceEnd:
        MV2HudSetObjective(nullptr);
        MV2MapRemoveLabel(kLabel);
        break;
    default: break;
    }
    return 1;
}

int32_t MV2Mission22Script(MV2Object* object, int32_t message, intptr_t a, intptr_t b) {
    MV2Mission22State& s = gMV2Mission22;
    switch (message) {
    case kMV2ScriptStart:
    case kMV2ScriptRestart:
        if (message == kMV2ScriptStart) MV2PlayCutScene(0x305FFFF, 0x3050001);
        MV2SetLevelGates(0xFFFFFF, 1);
        MV2MissionBegin(kRow22, 0);
        for (int32_t& o : s.once) o = 0;
        break;
    case kMV2ScriptBegin: MV2MissionSetTimer(kRow22, 256, 1); break;
    case kMV2ScriptObjectKilled: {
        const int32_t type = object ? int32_t(object->typeWord & kMV2ObjectTypeMask) : -1;
        if (type == 166 && !s.stageFlags[0]) {
            MV2SetLevelSwitch(23, 0);
            PlayStage(0x315FFFF, 0x3150001);
        } else if (type == 266) {
            MV2SetLevelSwitch(24, 0);
            PlayStage(0x317FFFF, 0x3170001);
            if (MV2Object* c = CrawlerAt(3)) MV2ObjectSendMessage(c, 4, 0, 0);
        }
        break;
    }
    case kMV2ScriptEvent:
        if (a == 16) PathEvent(b);
        if (a == 17) SequenceFinished(uint32_t(b));
        if (a == 15) {
            if (OnLevel(3)) {
                MV2MissionSetTimer(kRow22, 256, 1);
            } else {
                MV2MissionKillTimers(kRow22);
                if (OnLevel(4)) MV2MissionRemoveNotify(kRow22, 15);
                if (OnLevel(0)) MV2MissionQueueMessage(kRow22, 1132, 3000);
            }
        }
        break;
    case kMV2ScriptSequenceEnd: MV2MissionRemoveNotify(kRow22, 7); break;
    default:
        if (message >= kMV2ScriptFirstTimer) Row22Timer(message);
        break;
    }
    return 1;
}

void MV2RunLevelSwitchAction21To24(int32_t index) {
    MV2Mission22State& s = gMV2Mission22;
    switch (index) {
    case 21:
        RecreateActors({0x3040000, 0x3040003, 0x3040004, 0x3040005, 0x3040006, 0x3040001, 0x3040008,
                        0x3040007, 0x30A0000, 0x30B0000});
        CrawlerFollowing(0, kActorMain);
        for (int32_t t : {262, 264, 265}) MV2MissionKillTimer(kRow22, t);
        MV2MissionSetTimer(kRow22, 262, 1);
        for (int32_t id : {0x3080003, 0x3080000})
            if (MV2Object* o = Find(id)) MV2MissionAttachObject(kRow22, o);
        break;
    case 22:
        CrawlerFollowing(0, 0x3040003);
        for (int32_t t : {262, 264, 267}) MV2MissionKillTimer(kRow22, t);
        MV2MissionSetTimer(kRow22, 267, 1000);
        Destroy(0x3070003);
        CrawlerParkedAt(1, 0x3070002);
        for (int32_t id : {0x302002E, 0x302002D, 0x302002C, 0x302002B, 0x302001F}) Destroy(id);
        s.stageCounter = 5;
        s.stageFlags[0] = 1;
        break;
    case 23:
        MV2MissionKillTimer(kRow22, 267);
        CrawlerFollowing(0, 0x3040005);
        Destroy(0x3070005);
        CrawlerParkedAt(2, 0x3070001);
        if (MV2Object* o = Find(0x3080003)) {
            MV2PuppetBossPlay(o, "deadpose", 1);
            MV2PuppetBossPlay(o, "lookat", 0);
            MV2PuppetBossPlay(o, "dying", 1);
        }
        break;
    case 24:
        MakeCrawler(0, PositionOf(Find(kActorMain)), nullptr);
        Destroy(0x3070004);
        CrawlerParkedAt(3, 0x3070000);
        if (MV2Object* o = Find(0x3080000)) {
            MV2PuppetBossPlay(o, "intro", 0);
            for (const char* name : {"t1dead", "t2dead", "t3dead", "t4dead", "mdead", "dodie"})
                MV2PuppetBossPlay(o, name, 1);
        }
        break;
    default: break;
    }
}
