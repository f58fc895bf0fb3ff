// Mission row 36: briefing and console in level 0, the way into level 1, raiders against the
// player, two escorts and a lead craft, three lock switches and two gate switches, the
// reinforced raider against a three-minute countdown and the escape under flak.
#include "game/missions/mission36.h"

#include <initializer_list>

#include "engine/core/matrix.h"
#include "engine/world/random.h"
#include "game/creatures/subai.h"
#include "game/effects/fireballs.h"
#include "game/frontend/gameover.h"
#include "game/frontend/hud.h"
#include "game/missions/missions.h"
#include "game/missions/rowkit.h"
#include "game/missions/scriptkit.h"
#include "game/objects/levels.h"
#include "game/objects/levelswitch.h"
#include "game/player/loadout.h"
#include "game/player/playercraft.h"
#include "shell/cdaudio.h"
#include "shell/gamestate.h"

MV2Mission36State gMV2Mission36;

namespace {

constexpr int32_t kRow = 36;
constexpr int32_t kRaiderType = 56;
constexpr int32_t kEscortType = 1;
constexpr int32_t kBonusCraftType = 329;
constexpr uint32_t kBoundary = 0x01000006;
constexpr uint32_t kRouteA = 0x01060009, kRouteB = 0x0106000A, kRouteGuards = 0x01060012;

MV2Mission36State& S() {
    return gMV2Mission36;
}

int32_t Rand() {
    return TvRandom();
}

bool BonusFlag() {
    return MV2GetStrayCraftDelivered() != 0;
}

bool PlayerIsBonusCraft() {
    return MV2RowType(MV2RowPlayer()) == kBonusCraftType;
}

MV2Object* Raider(int32_t slot) {
    return MV2ScriptLive(S().raiders[slot]);
}

MV2Object* Escort(int32_t index) {
    return MV2ScriptLive(S().escorts[index]);
}

MV2Object* Lead() {
    return MV2GetMissionObjectA();
}

void Timer(int32_t event, int32_t ms) {
    MV2MissionSetTimer(kRow, event, ms);
}

void Message(uint32_t id) {
    MV2PlayMissionMessage(id);
}

void PushAttack(MV2Object* craft, MV2Object* target) {
    if (!craft || !target) return;
    MV2SubAIPushCommand(craft);
    MV2SubAISetAttack(craft, target, 1);
}

// A new craft of the type at the post with the SubAI brain.
MV2Object* MakeCraft(int32_t type, MV2Object* post) {
    MV2Object* craft = MV2CreateObject(type, &post->matrix->pos.x, nullptr);
    if (!craft) return nullptr;
    MV2ObjectSendMessage(craft, 0, 1, 0);
    MV2ObjectSendMessage(craft, 29, 0, reinterpret_cast<intptr_t>(MV2SubAIBrain));
    return craft;
}

// The craft takes the post's axes and moves to its position.
void PlaceOnPost(MV2Object* craft, MV2Object* post) {
    craft->matrix->right = post->matrix->right;
    craft->matrix->up = post->matrix->up;
    craft->matrix->at = post->matrix->at;
    TvV3d position = post->matrix->pos;
    MV2ObjectSendMessage(craft, 83, 0, reinterpret_cast<intptr_t>(&position.x));
}

// The raider's first target: escort 0, escort 1, the lead craft or the player, by r.
MV2Object* ChooseTarget(int32_t r) {
    MV2Object* player = MV2RowPlayer();
    MV2Object* lead = Lead();
    MV2Object* choice = nullptr;
    if (r == 0) choice = Escort(0);
    if (!choice && r <= 1) choice = Escort(1);
    if (!choice && r <= 2) choice = lead;
    if (!choice) choice = player;
    return choice;
}

// Attacks on a first target and, before it, a different second one drawn between the player
// and the lead craft, so the first is fought first.
void AttackChosen(MV2Object* raider) {
    MV2Object* first = ChooseTarget(Rand() & 3);
    MV2Object* second = (Rand() & 1) ? MV2RowPlayer() : Lead();
    if (second && second != first) PushAttack(raider, second);
    PushAttack(raider, first);
}

// The escorts' choice of raider: slot (r & 3) + (r & 1) + 2 when alive, else the first live
// one of slots 2..6.
MV2Object* EscortRaiderTarget() {
    const int32_t slot = (Rand() & 3) + (Rand() & 1) + 2;
    if (MV2Object* raider = Raider(slot)) return raider;
    for (int32_t i = 2; i < 7; ++i)
        if (MV2Object* raider = Raider(i)) return raider;
    return nullptr;
}

void AttackAllGuards(MV2Object* craft) {
    for (int32_t i = 2; i < 7; ++i)
        PushAttack(craft, Raider(i));
}

void OrderFriendly(MV2Object* craft, MV2Object* post, int32_t mode) {
    switch (mode) {
    case 1:
        MV2SubAIOrderGuard(craft, post, 1, 6, kMV2AnyType, 30.0f);
        PushAttack(craft, EscortRaiderTarget());
        break;
    case 2:
        MV2SubAIOrderGuard(craft, post, 1, 6, kMV2AnyType, 30.0f);
        AttackAllGuards(craft);
        break;
    case 3: MV2SubAIOrderGuard(craft, post, 1, 6, kMV2AnyType, 40.0f); break;
    case 4:
        MV2SubAIOrderGuard(craft, post, 1, kMV2AnyCategory, 228, 30.0f);
        PushAttack(craft, MV2RowFind(0x0104003F));
        break;
    default: MV2SubAIOrderLevelOff(craft); break;
    }
}

void SendId(uint32_t id, int32_t message, intptr_t p1, intptr_t p2 = 0) {
    MV2RowSend(id, message, p1, p2);
}

// Every 30 s, a hint when the player lingers at the hint area.
void HintAreaCheck() {
    const uint32_t now = MV2RowNow();
    if (now - S().lastReminderMs > 30000) {
        if (MV2RowPlayerDistanceSquared(MV2RowFind(0x01040001)) < 36.0f) {
            S().lastReminderMs = now;
            Message(1321);
        }
    }
}

// Every `period` ms since the last reminder: note the time and say it.
bool ReminderDue(uint32_t period) {
    const uint32_t now = MV2RowNow();
    if (now - S().lastReminderMs <= period) return false;
    S().lastReminderMs = now;
    return true;
}

bool PlayerBeyondBoundary() {
    MV2Object* player = MV2RowPlayer();
    MV2Object* boundary = MV2RowFind(kBoundary);
    return player && boundary && player->matrix->pos.x > boundary->matrix->pos.x;
}

// One flak burst at the point.
void Flak(const TvV3d& point) {
    const float u = float(Rand() & 1023) / 1023.0f;
    TvV3d copy = point;
    MV2CreateFlak(&copy, 4.0f + 3.0f * u, uint32_t(400 + (Rand() & 511)), 2);
}

float K() {
    return 2.5f + 2.0f * (float(Rand() & 1023) / 1023.0f);
}

void EscapeFlak(int32_t event) {
    MV2Object* ship = MV2RowFind(0x01180001);
    if (!ship) return;
    const TvMatrix& m = *ship->matrix;
    const TvV3d rear = TvV3dSub(m.pos, TvV3dScale(m.at, 3.5f));
    const TvV3d atPlusRight = TvV3dAdd(m.at, m.right);
    const TvV3d rightMinusAt = TvV3dSub(m.right, m.at);
    const TvV3d atMinusRight = TvV3dSub(m.at, m.right);
    switch (event) {
    case 271: Flak(rear); break;
    case 272:
        Flak(TvV3dAdd(rear, TvV3dScale(m.up, K())));
        Flak(TvV3dAdd(rear, TvV3dScale(rightMinusAt, K())));
        break;
    case 273:
        Flak(TvV3dSub(rear, TvV3dScale(m.up, K())));
        Flak(TvV3dAdd(rear, TvV3dScale(atMinusRight, K())));
        break;
    case 274:
        Flak(TvV3dAdd(rear, TvV3dScale(m.right, K())));
        Flak(TvV3dSub(rear, TvV3dScale(atPlusRight, K())));
        break;
    default:
        Flak(TvV3dSub(rear, TvV3dScale(m.right, K())));
        Flak(TvV3dAdd(rear, TvV3dScale(atPlusRight, K())));
        break;
    }
    Timer(event, (Rand() - 112) & 511);
}

void FlakRing() {
    MV2Object* centre = MV2RowFind(0x01060002);
    if (!centre) return;
    const TvMatrix& m = *centre->matrix;
    const TvV3d atPlusRight = TvV3dAdd(m.at, m.right);
    const TvV3d atMinusRight = TvV3dSub(m.at, m.right);
    const TvV3d dirs[8] = {m.at, TvV3dScale(m.at, -1.0f), m.right, TvV3dScale(m.right, -1.0f),
                           atPlusRight, TvV3dScale(atPlusRight, -1.0f), atMinusRight,
                           TvV3dSub(m.right, m.at)};
    for (const TvV3d& d : dirs) {
        const float s = 4.0f + 3.0f * (float(Rand() & 1023) / 1023.0f);
        Flak(TvV3dAdd(m.pos, TvV3dScale(d, s)));
    }
    Timer(276, (Rand() - 112) & 255);
}

// Level 1 reached: switches, records, callbacks and the guards of level 1.
void ArriveInLevel1() {
    MV2SetLevelGates(0x00FFFFFF, 0);
    MV2SetLevelSwitch(16, 0);
    MV2SetLevelSwitch(11, 0);
    MV2SpawnLevelRecord(0x0107FFFF, kRow);
    MV2SpawnLevelRecord(0x0106FFFF, kRow);
    const intptr_t lock = reinterpret_cast<intptr_t>(&MV2Mission36LockSwitchHit);
    const intptr_t gate = reinterpret_cast<intptr_t>(&MV2Mission36GateSwitchHit);
    SendId(0x01070001, 12, reinterpret_cast<intptr_t>(MV2RowFind(0x01070005)), lock);
    SendId(0x01070009, 12, 0);
    SendId(0x0107000A, 12, 0);
    SendId(0x01070002, 12, reinterpret_cast<intptr_t>(MV2RowFind(0x01070006)), lock);
    SendId(0x01070007, 12, 0);
    SendId(0x01070008, 12, 0);
    SendId(0x01070004, 12, 0, lock);
    SendId(0x01060007, 12, 0, gate);
    SendId(0x01060002, 12, 0, gate);
    static const uint32_t kPosts[3] = {0x01060013, 0x01060014, 0x01060015};
    if (PlayerIsBonusCraft()) {
        for (uint32_t id : {0x0104003Du, 0x0104003Eu, 0x0104003Fu, 0x01040040u, 0x01040042u,
                            0x01040041u, 0x0104004Eu})
            SendId(id, 12, 0);
        for (int32_t i = 0; i < 3; ++i)
            MV2Mission36SpawnRaider(kPosts[i], i + 1, 5, nullptr);
    } else {
        for (int32_t i = 0; i < 3; ++i)
            MV2Mission36SpawnRaider(kPosts[i], i + 1, 3, MV2RowFind(kPosts[i]));
    }
    S().lastReminderMs = MV2RowNow();
    Timer(257, 1);
    MV2AddMusicTrack(7, 0);
    MV2StartMusic();
}

void WaitForLevel1() {
    if (MV2RowLevelNumber() == 1) {
        ArriveInLevel1();
        return;
    }
    const uint32_t now = MV2RowNow();
    if (now - S().lastReminderMs > 300000) {
        S().lastReminderMs = now;
        if (S().level1Reminded) {
            MV2FriendlyFireTrigger(1316);
            return;
        }
        Message(1314);
        S().level1Reminded = 1;
    }
    Timer(256, 1000);
}

void Approach() {
    if (MV2RowLevelNumber() == 0) {
        Message(1319);
        MV2HudShowResultBanner(0);
        return;
    }
    if (MV2RowPlayerDistanceSquared(MV2RowFind(kBoundary)) >= 10000.0f) {
        HintAreaCheck();
        Timer(257, 1000);
        return;
    }
    Message(1317);
    Message(1318);
    Message(1320);
    MV2FadeMusic(0.0f, 3.0f);
    MV2MissionInstallNotify(kRow, 17);
    MV2RowCutScene(0x010AFFFF, 0);
    S().lastReminderMs = MV2RowNow();
    if (!PlayerIsBonusCraft()) Timer(267, 30000);
    Timer(258, 1);
    MV2AddMusicTrack(12, 1);
    MV2StartMusic();
}

void Crossing() {
    if (!PlayerBeyondBoundary()) {
        HintAreaCheck();
        Timer(258, 1000);
        return;
    }
    S().lastReminderMs = MV2RowNow();
    if (PlayerIsBonusCraft() && !S().bonusHintGiven) {
        S().bonusHintGiven = 1;
        Message(1324);
        Timer(268, 60000);
        Timer(259, 1);
        return;
    }
    if (S().routeState == 0) {
        S().patrolStopped = 1;
        S().routeState = kRouteGuards;
        Timer(266, 1);
    }
    Timer(259, 1);
}

void InnerArea() {
    if (!PlayerBeyondBoundary()) {
        Message(1322);
        Timer(258, 1);
        return;
    }
    if (!S().gateSwitchB) {
        if (!S().locksDone) {
            Timer(259, 1000);
            return;
        }
        Message(1325);
        S().routeState = kRouteA;
        S().patrolStopped = 1;
        Timer(268, 1);
        Timer(261, 1);
        return;
    }
    MV2MissionInstallNotify(kRow, 17);
    if (MV2RowCutScene(0x0109FFFF, 0)) {
        if (!Escort(0)) SendId(0x01090002, 4, 0);
        if (!Escort(1)) SendId(0x01090003, 4, 0);
    }
    SendId(kBoundary, 11, 1);
    SendId(0x01000004, 11, 1);
    Timer(268, 1);
    Timer(260, 1);
    Timer(264, 15000);
}

void LockReminder() {
    if (S().locksDone) {
        Message(1325);
        S().routeState = kRouteA;
        Timer(261, 1);
        return;
    }
    if (ReminderDue(300000)) {
        Message(1326);
        if (MV2Object* lead = Lead())
            for (uint32_t id : {0x01070001u, 0x01070002u, 0x01070004u})
                PushAttack(lead, MV2RowFind(id));
    }
    Timer(260, 1000);
}

void GateA() {
    if (!S().gateSwitchA) {
        if (ReminderDue(300000)) Message(1328);
        Timer(261, 1000);
        return;
    }
    S().routeState = 0;
    S().lastReminderMs = MV2RowNow();
    for (int32_t i = 0; i < 2; ++i)
        if (MV2Object* escort = Escort(i)) MV2ObjectSendMessage(escort, 4, 0, 0);
    for (int32_t i = 0; i < 7; ++i)
        if (MV2Object* raider = Raider(i)) raider->energy = -1.0f;
    if (MV2Object* lead = Lead()) MV2ObjectSendMessage(lead, 4, 0, 0);
    MV2MissionInstallNotify(kRow, 17);
    SendId(0x01060000, 12, 1);
    SendId(0x01060001, 12, 1);
    MV2RowCutScene(0x010CFFFF, 0x010C0002);
    for (uint32_t id : {1329u, 1330u, 1331u, 1332u})
        Message(id);
}

void ReinforcedRaider() {
    if (Raider(0)) {
        Timer(262, 1000);
        return;
    }
    S().escapeStarted = 1;
    MV2MissionSetCountdown(0, 0);
    Message(1333);
    SendId(0x01060010, 12, 1);
    SendId(0x01060018, 12, 1);
    MV2ResetMusic();
    MV2AddMusicTrack(21, 0);
    MV2StartMusic();
    for (int32_t t = 271; t <= 276; ++t)
        Timer(t, 250);
    MV2PlayCutSceneThen(0x0118FFFF, 0x01180001, 0x00040262, 0x003BFFFF, 0x003B0001);
    Timer(263, 1);
    MV2SetLevelGates(0x00FFFFFF, 1);
}

void WayHome() {
    if (MV2RowLevelNumber() != 0) {
        if (ReminderDue(300000)) Message(1338);
        Timer(263, 1000);
        return;
    }
    MV2LockNearestTarget();
    Message(1339);
    MV2HudShowResultBanner(1);
    MV2MissionInstallNotify(kRow, 7);
}

void Chatter() {
    if (S().locksDone) return;
    switch ((Rand() & 3) + (Rand() & 2)) {
    case 0: Message(1340); break;
    case 1: Message(1341); break;
    case 2: Message(1342); break;
    case 3: Message(1343); break;
    case 4:
        if (Escort(0)) Message(1344);
        break;
    default:
        if (Escort(1)) Message(1345);
        break;
    }
    Timer(264, 15000);
}

void Urging() {
    if (S().escapeStarted) return;
    static const uint32_t kIds[3] = {1334, 1335, 1336};
    Message(kIds[(Rand() & 1) + (Rand() & 1)]);
    Timer(265, 20000);
}

// 1 when the slot's respawn time has come: an empty slot first seen arms 10 s.
bool RespawnDue(int32_t slot) {
    uint32_t& at = S().respawnAtMs[slot];
    const uint32_t now = MV2RowNow();
    if (at == 0) {
        at = now + 10000;
        return false;
    }
    if (int32_t(now - at) < 0) return false;
    at = 0;
    return true;
}

void RaiderPatrol() {
    const uint32_t route = S().routeState;
    if (route == 0) return;
    if (route == kRouteA || route == kRouteB) {
        const int32_t slot = !Raider(0) ? 0 : !Raider(1) ? 1 : -1;
        if (slot >= 0 && RespawnDue(slot)) {
            const bool a = route == kRouteA;
            SendId(0x01060000, 12, a ? 0 : 1);
            SendId(0x01060001, 12, a ? 1 : 0);
            MV2Mission36SpawnRaider(route, slot, 0, nullptr);
            if (MV2Object* raider = Raider(slot)) {
                MV2SubAIPushCommand(raider);
                MV2SubAISetMoveDirect(raider, MV2RowFind(a ? 0x0106001C : 0x0106001D));
            }
            S().routeState = a ? kRouteB : kRouteA;
        }
    } else if (route == kRouteGuards) {
        for (int32_t i = 2; i < 7; ++i)
            if (!Raider(i)) {
                if (RespawnDue(i)) MV2Mission36SpawnRaider(kRouteGuards, i, 1, MV2RowFind(kRouteGuards));
                break;
            }
        MV2Object* friends[3] = {Lead(), Escort(0), Escort(1)};
        for (MV2Object* craft : friends) {
            if (!craft) continue;
            MV2SubAIOrderGuard(craft, nullptr, 1, 6, kMV2AnyType, 30.0f);
            AttackAllGuards(craft);
        }
    }
    Timer(266, 5000);
}

void EscortFreePatrol() {
    MV2Object* raider = Raider(0);
    if (S().patrolStopped) {
        if (raider) MV2SubAIOrderGuard(raider, nullptr, 1, 6, kMV2AnyType, 40.0f);
        return;
    }
    if (raider) {
        MV2SubAIOrderGuard(raider, nullptr, 1, 6, kMV2AnyType, 40.0f);
        MV2SubAIPushCommand(raider);
        MV2SubAISetGoTo(raider, MV2RowFind(0x0106001F), 1.0f);
        MV2SubAIPushCommand(raider);
        MV2SubAISetMoveDirect(raider, MV2RowFind(0x0106001E));
    } else {
        MV2Mission36SpawnRaider(0x0106001E, 0, 3, MV2RowFind(0x0106001F));
        if ((raider = Raider(0)) != nullptr) {
            MV2SubAIPushCommand(raider);
            MV2SubAISetMoveDirect(raider, MV2RowFind(0x0106001F));
            PushAttack(Escort(0), raider);
            PushAttack(Escort(1), raider);
            PushAttack(Lead(), raider);
        }
    }
    Timer(267, 30000);
}

void Ambush() {
    if (S().ambushDone) return;
    S().ambushDone = 1;
    Message(1325);
    if (S().routeState == 0) {
        S().patrolStopped = 1;
        S().routeState = kRouteGuards;
        Timer(266, 1);
    }
    for (int32_t i = 2; i < 7; ++i)
        if (MV2Object* raider = Raider(i)) {
            if (MV2Object* player = MV2RowPlayer()) MV2SubAIOrderAttack(raider, player, 1);
            break;
        }
    for (uint32_t id : {0x0104003Du, 0x0104003Eu, 0x0104003Fu, 0x01040040u, 0x01040042u, 0x01040041u})
        SendId(id, 12, 1);
}

void GateWatch() {
    if (S().escapeStarted) return;
    MV2Object* a = MV2RowFind(0x01060016);
    MV2Object* b = MV2RowFind(0x01060017);
    MV2Object* player = MV2RowPlayer();
    if (a && b && player && player->matrix->pos.y > a->matrix->pos.y &&
        MV2RowDistanceSquared(player, a) < MV2RowDistanceSquared(b, a)) {
        SendId(0x01060010, 12, 0);
        SendId(0x01060018, 12, 0);
        return;
    }
    Timer(270, 250);
}

void CutSceneDone(intptr_t id) {
    switch (uint32_t(id)) {
    case 0x010CFFFF:
        MV2Mission36SpawnRaider(0x010C0001, 0, 0, nullptr);
        if (MV2Object* raider = Raider(0)) raider->energy *= 2.0f;
        SendId(0x01060000, 12, 0);
        SendId(0x01060001, 12, 0);
        MV2MissionSetCountdown(kRow, 180000);
        Timer(262, 1);
        Timer(265, 20000);
        break;
    case 0x010BFFFF: Timer(269, 15000); break;
    case 0x0109FFFF:
        MV2Mission36PlaceLeadCraft(0x01090001, 2);
        if (Escort(0)) MV2Mission36SpawnEscort(0x01090002, 0, 2);
        if (Escort(1)) MV2Mission36SpawnEscort(0x01090003, 1, 2);
        for (int32_t i = 0; i < 7; ++i) {
            MV2Object* raider = Raider(i);
            if (!raider) continue;
            MV2SubAIOrderGuard(raider, nullptr, 1, 6, kMV2AnyType, 40.0f);
            MV2Object* first = ChooseTarget(Rand() & 3);
            if (!first) continue;
            MV2Object* second = (Rand() & 1) ? MV2RowPlayer() : Lead();
            if (second && second != first) PushAttack(raider, second);
            PushAttack(raider, first);
        }
        break;
    case 0x010AFFFF:
        MV2Mission36PlaceLeadCraft(0x010A0001, 4);
        MV2Mission36SpawnEscort(0x010A0002, 0, 4);
        MV2Mission36SpawnEscort(0x010A0003, 1, 4);
        break;
    default: return;
    }
    MV2MissionRemoveNotify(kRow, 17);
}

void ScriptEvent(intptr_t event, intptr_t b) {
    switch (event) {
    case 8:
        MV2MissionRemoveNotify(kRow, 8);
        Message(1313);
        MV2HudSetObjective(MV2RowFind(0x00040222));
        MV2SetLevelGates(0x01FFFFFF, 1);
        MV2PendingMission = 0;
        break;
    case 13:
        MV2SelectSub(BonusFlag() ? kBonusCraftType : 1);
        MV2MissionRemoveNotify(kRow, 13);
        break;
    case 16:
        if (b == 38) MV2StartGameOver(0);
        MV2MissionRemoveNotify(kRow, 16);
        break;
    case 7:
        MV2MissionRemoveNotify(kRow, 7);
        MV2MissionRestart(37);
        break;
    case 17: CutSceneDone(b); break;
    default: break;
    }
}

void Reset() {
    S() = {};
    S().lastReminderMs = MV2RowNow();
    for (uint32_t& at : S().respawnAtMs)
        at = 1;
    Timer(256, 1000);
    MV2PendingMission = BonusFlag() ? 53 : 51;
    MV2MissionInstallNotify(kRow, 13);
    MV2MissionInstallNotify(kRow, 8);
    MV2MissionBegin(kRow, 1);
}

} // namespace

void MV2Mission36SpawnRaider(uint32_t postId, int32_t slot, int32_t mode, MV2Object* guardTarget) {
    MV2Object* post = MV2RowFind(postId);
    if (!post || slot < 0 || slot > 6) return;
    MV2Object* raider = Raider(slot);
    if (!raider) {
        raider = MakeCraft(kRaiderType, post);
        if (!raider) return;
        MV2ObjectSendMessage(raider, 21, 17, 0);
        MV2ObjectSendMessage(raider, 21, 5, 0);
        MV2ScriptKeep(S().raiders[slot], raider);
    }
    PlaceOnPost(raider, post);
    switch (mode) {
    case 0:
        if (MV2Object* player = MV2RowPlayer()) MV2SubAIOrderAttack(raider, player, 1);
        break;
    case 1:
        MV2SubAIOrderGuard(raider, guardTarget, 1, 6, kMV2AnyType, 40.0f);
        AttackChosen(raider);
        break;
    case 3: MV2SubAIOrderGuard(raider, guardTarget, 1, 6, kMV2AnyType, 20.0f); break;
    default: MV2SubAIOrderLevelOff(raider); break;
    }
}

void MV2Mission36SpawnEscort(uint32_t postId, int32_t index, int32_t mode) {
    MV2Object* post = MV2RowFind(postId);
    if (!post || index < 0 || index > 1) return;
    MV2Object* escort = Escort(index);
    if (!escort) {
        escort = MakeCraft(kEscortType, post);
        if (!escort) return;
        for (intptr_t p1 : {0, 8, 10})
            MV2ObjectSendMessage(escort, 21, p1, 0);
        MV2ScriptKeep(S().escorts[index], escort);
    }
    PlaceOnPost(escort, post);
    OrderFriendly(escort, post, mode);
}

void MV2Mission36PlaceLeadCraft(uint32_t postId, int32_t mode) {
    MV2Object* post = MV2RowFind(postId);
    if (!post) return;
    MV2Object* lead = Lead();
    if (!lead) {
        lead = MakeCraft(kEscortType, post);
        if (!lead) return;
        for (intptr_t p1 : {0, 8, 10})
            MV2ObjectSendMessage(lead, 21, p1, 0);
        MV2ObjectSendMessage(lead, 29, 0, reinterpret_cast<intptr_t>(MV2SubAIBrain));
        MV2SetMissionObjectA(lead);
    }
    PlaceOnPost(lead, post);
    switch (mode) {
    case 1:
        if (Rand() & 1) MV2SubAIOrderGuard(lead, post, 1, kMV2AnyCategory, 228, 30.0f);
        else MV2SubAIOrderGuard(lead, post, 1, 6, kMV2AnyType, 30.0f);
        PushAttack(lead, EscortRaiderTarget());
        break;
    case 3: MV2SubAIOrderGuard(lead, post, 1, 6, kRaiderType, 40.0f); break;
    case 4: OrderFriendly(lead, post, 4); break;
    default: MV2SubAIOrderLevelOff(lead); break;
    }
}

void MV2Mission36LockSwitchHit(MV2Object* object, int32_t) {
    if (!object) return;
    switch (uint32_t(object->scriptId)) {
    case 0x01070001:
        S().lockSwitch1 = 1;
        SendId(0x01070009, 12, 1);
        SendId(0x0107000A, 12, 1);
        break;
    case 0x01070002:
        S().lockSwitch2 = 1;
        SendId(0x01070007, 12, 1);
        SendId(0x01070008, 12, 1);
        break;
    case 0x01070004: S().lockSwitch3 = 1; break;
    default: return;
    }
    if (!S().lockSwitch1 || !S().lockSwitch2 || !S().lockSwitch3 || S().locksDone) return;
    S().locksDone = 1;
    SendId(0x01000005, 12, 0);
    MV2SetLevelSwitch(19, 0);
    MV2RowCutScene(0x010BFFFF, 0);
    if (MV2Object* raider = Raider(0)) MV2ObjectSendMessage(raider, 4, 0, 0);
    SendId(0x01060010, 12, 1, 3000);
    SendId(0x01060018, 12, 1, 3000);
    Timer(270, 250);
}

void MV2Mission36GateSwitchHit(MV2Object* object, int32_t) {
    if (!object) return;
    if (uint32_t(object->scriptId) == 0x01060002) S().gateSwitchA = 1;
    if (uint32_t(object->scriptId) == 0x01060007) S().gateSwitchB = 1;
}

int32_t MV2Mission36Script(MV2Object*, int32_t message, intptr_t a, intptr_t b) {
    switch (message) {
    case kMV2ScriptStart:
    case kMV2ScriptRestart: Reset(); break;
    case kMV2ScriptEvent: ScriptEvent(a, b); break;
    case kMV2ScriptCountdownOver:
        MV2MissionInstallNotify(kRow, 16);
        Timer(276, 250);
        MV2RowCutScene(0x0119FFFF, 0);
        break;
    case 256: WaitForLevel1(); break;
    case 257: Approach(); break;
    case 258: Crossing(); break;
    case 259: InnerArea(); break;
    case 260: LockReminder(); break;
    case 261: GateA(); break;
    case 262: ReinforcedRaider(); break;
    case 263: WayHome(); break;
    case 264: Chatter(); break;
    case 265: Urging(); break;
    case 266: RaiderPatrol(); break;
    case 267: EscortFreePatrol(); break;
    case 268: Ambush(); break;
    case 269: Message(1327); break;
    case 270: GateWatch(); break;
    case 271: case 272: case 273: case 274: case 275: EscapeFlak(message); break;
    case 276: FlakRing(); break;
    default: break;
    }
    return 1;
}
