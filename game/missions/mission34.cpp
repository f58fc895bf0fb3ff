// Mission rows 34 and 15. Row 34: the fight against the level-11 scarab that makes hatchers
// which release attackers; the boss recovers after pauses that grow as it weakens, and the
// object it finally drops sends the player back to level 2. Row 15: the player is sent to a
// site and wins when one mission object (type 369) is destroyed.
#include "game/missions/mission34.h"

#include <initializer_list>

#include "engine/core/frame.h"
#include "engine/core/matrix.h"
#include "engine/world/anim.h"
#include "engine/world/random.h"
#include "game/creatures/scarab.h"
#include "game/frontend/hud.h"
#include "game/missions/missions.h"
#include "game/missions/rowkit.h"
#include "game/missions/scriptkit.h"
#include "game/objects/dynamics.h"
#include "game/objects/levels.h"
#include "game/objects/levelswitch.h"
#include "game/objects/objecttypes.h"
#include "game/objects/utilities.h"
#include "game/player/loadout.h"
#include "game/player/playercraft.h"
#include "shell/cdaudio.h"

MV2Mission34State gMV2Mission34;
MV2Mission15State gMV2Mission15;

namespace {

constexpr int32_t kRow34 = 34, kRow15 = 15;
constexpr uint32_t kBossId = 0x0B000009;
constexpr int32_t kAttackerType = 375, kHatcherType = 386, kReleaseType = 389;

const uint32_t kTable34[kMV2Mission34Objects] = {0x0B000001, 0x0B000006, 0x0B000007, 0x0B000008,
                                                 0x0B000002, 0x0B000003, 0x0B000004, 0x0B000005,
                                                 0x0B00000B, 0x0B00000C, 0x0B000009, 0x0000000B,
                                                 0x0B000000};

MV2RowTable Table34() {
    return {kTable34, kMV2Mission34Objects, gMV2Mission34.objects, gMV2Mission34.handles};
}

MV2Object* Boss() {
    return MV2RowTableObject(Table34(), kBossId);
}

MV2ScarabData* BossData() {
    MV2Object* boss = Boss();
    return boss && boss->privateData ? MV2LevelData<MV2ScarabData>(boss) : nullptr;
}

int32_t BossState() {
    MV2ScarabData* d = BossData();
    return d ? d->state : -1;
}

void CreateAt(int32_t type, const TvV3d& position, MV2Object** out) {
    *out = MV2CreateObject(type, &position.x, nullptr);
    if (*out) MV2ObjectSendMessage(*out, 12, 0, reinterpret_cast<intptr_t>(&MV2Mission34SwitchHit));
}

// The boss ready again: no hatchers or attackers counted, state 2, laser off, its root
// atomic back at key 11.
void Recover() {
    if (BossState() == kMV2ScarabDying) return;
    gMV2Mission34.hatchersMade = 0;
    gMV2Mission34.attackerCount = 0;
    MV2Object* boss = Boss();
    if (!boss) return;
    MV2SetScarabState(boss, kMV2ScarabTurnBack);
    MV2SetScarabLaserEnabled(boss, 0);
    if (TpAtomic* root = MV2FindRootAtomic(boss->clump)) {
        TpAnimSequenceAtomicSetCurrentKey(root, 11);
        TpAnimSequenceAtomicSetPosition(root, 0.0f);
    }
}

bool OtherAttackerAlive(MV2Object* reporter) {
    for (const MV2ObjectRef& ref : gMV2Mission34.attackers)
        if (MV2Object* a = MV2ScriptLive(ref))
            if (a != reporter) return true;
    return false;
}

void AttackerReport(MV2Object* attacker) {
    if (OtherAttackerAlive(attacker)) return;
    MV2Object* boss = Boss();
    MV2ScarabData* d = BossData();
    if (!boss || !d) return;
    MV2SetScarabState(boss, kMV2ScarabTurnAway);
    MV2SetScarabLaserEnabled(boss, 1);
    const float initial = boss->type ? MV2TypeFloat(boss->type, 1) : 0.0f;
    const float r = initial != 0.0f ? MV2GetScarabHitPoints(boss) / initial : 0.0f;
    MV2MissionSetTimer(kRow34, MV2Mission34RecoveryTimer(r), 12000);
}

void HatcherReport(MV2Object* hatcher) {
    static const uint32_t kGoals[3] = {0x0B000006, 0x0B000007, 0x0B000008};
    MV2Object* attacker = nullptr;
    CreateAt(kAttackerType, hatcher->matrix->pos, &attacker);
    if (!attacker) return;
    MV2Mission34State& s = gMV2Mission34;
    if (MV2Object* goal = MV2RowFind(kGoals[s.attackerCount % 3])) {
        TvV3d position = goal->matrix->pos;
        MV2ObjectSendMessage(attacker, 24, 0, reinterpret_cast<intptr_t>(&position));
    }
    ++s.attackerCount;
    for (MV2ObjectRef& ref : s.attackers)
        if (!MV2ScriptLive(ref)) {
            MV2ScriptKeep(ref, attacker);
            return;
        }
    MV2ObjectSendMessage(attacker, 4, 0, 0);
}

void BossReport(MV2Object* boss, int32_t value) {
    MV2Object* player = MV2RowPlayer();
    if (!player) return;
    MV2Mission34State& s = gMV2Mission34;
    if (value == 0) {
        if (s.hatchersMade >= 3) {
            MV2SetScarabState(boss, kMV2ScarabGuard);
            return;
        }
        MV2Object* nearest = nullptr;
        float best = 10000.0f;
        for (uint32_t id : {0x0B000003u, 0x0B000004u, 0x0B000005u}) {
            MV2Object* site = MV2RowFind(id);
            const float d = site ? MV2RowDistanceSquared(player, site) : -1.0f;
            if (site && d < best) best = d, nearest = site;
        }
        if (!nearest) return;
        MV2Object* hatcher = nullptr;
        CreateAt(kHatcherType, nearest->matrix->pos, &hatcher);
        if (hatcher) ++s.hatchersMade;
        return;
    }
    TvV3d at = boss->matrix->pos;
    if (TvFrame* frame = MV2FindFrameByTag(boss->clump, 300)) at = TvFrameGetLTM(frame)->pos;
    MV2Object* released = nullptr;
    CreateAt(kReleaseType, at, &released);
    if (released) {
        const TvV3d up{0.0f, 1.0f, 0.0f};
        MV2AddForce(released, &up);
        MV2ObjectSendMessage(released, 11, 0, 0);
    }
    MV2SetAltThrustControl(0, 0, 1);
    MV2StopMusicTrack();
    MV2AddMusicTrack(21, 0);
    MV2StartMusic();
}

void Reset34() {
    MV2Mission34State& s = gMV2Mission34;
    MV2RowCutScene(0x0B01FFFF, 0x0B010002);
    MV2MissionBegin(kRow34, 1);
    MV2RowTable table = Table34();
    MV2RowBindTable(table, &MV2Mission34SwitchHit);
    MV2RowClumpInWorld(MV2RowFind(0x0B000001), 0);
    MV2MissionInstallNotify(kRow34, 3);
    for (MV2ObjectRef& ref : s.attackers)
        ref = {};
    if (MV2Object* site = MV2RowFind(0x0B000003))
        if (site->type) site->type->words[7] &= ~0x40u;
    MV2ScriptKeep(s.hiddenObject, MV2RowFind(0x0B00000A));
    MV2RowClumpInWorld(MV2ScriptLive(s.hiddenObject), 0);
    s.battleActive = 1;
}

void Reset15() {
    MV2SpawnLevelRecord(0x0000FFFF, kRow15);
    if (MV2Object* object = MV2FindObjectByWorldID(7)) MV2MissionAttachObject(kRow15, object);
    gMV2Mission15 = {};
    MV2MissionSetTimer(kRow15, 256, 1);
    MV2MissionInstallNotify(kRow15, 13);
    MV2PendingMission = 22;
}

MV2Object* Site15(int32_t i) {
    return MV2ScriptLive(gMV2Mission15.sites[i]);
}

} // namespace

int32_t MV2Mission34RecoveryTimer(float ratio) {
    return ratio > 0.66f ? 256 : ratio > 0.33f ? 257 : 258;
}

void MV2Mission34SwitchHit(MV2Object* object, int32_t value) {
    if (!gMV2Mission34.battleActive || !object) return;
    switch (MV2RowType(object)) {
    case kAttackerType: AttackerReport(object); return;
    case kHatcherType: HatcherReport(object); return;
    case kReleaseType:
        if (!MV2RowPlayer()) return;
        MV2Level2ReturnFlag = 1;
        MV2MissionInstallNotify(29, 16);
        MV2PlayCutSceneThen(0x0B03FFFF, 0x0B030001, 0x02FFFFFF, 0x0212FFFF, 0x02120001);
        return;
    default: break;
    }
    if (uint32_t(object->scriptId) == kBossId) BossReport(object, value);
}

int32_t MV2Mission34Script(MV2Object*, int32_t message, intptr_t a, intptr_t) {
    MV2Mission34State& s = gMV2Mission34;
    switch (message) {
    case kMV2ScriptStart:
    case kMV2ScriptRestart: Reset34(); break;
    case kMV2ScriptShutdown: s.battleActive = 0; break;
    case kMV2ScriptBegin: MV2PlayMusicTrack((TvRandom() & 1) ? 17 : 16); break;
    case kMV2ScriptEvent:
        if (a != 3) break;
        MV2MissionRemoveNotify(kRow34, 3);
        MV2RowClumpInWorld(MV2RowFind(0x0B000001), 1);
        if (MV2Object* boss = Boss()) MV2SetScarabState(boss, kMV2ScarabTurnBack);
        s.hatchersMade = 0;
        s.attackerCount = 0;
        MV2SetAltThrustControl(1, 0, 1);
        break;
    case 258:
        if (BossState() != kMV2ScarabDying) MV2MissionSetTimer(kRow34, 257, 12000);
        break;
    case 257:
        if (BossState() != kMV2ScarabDying) MV2MissionSetTimer(kRow34, 256, 12000);
        break;
    case 256: Recover(); break;
    default: break;
    }
    return 1;
}

int32_t MV2Mission15Script(MV2Object* object, int32_t message, intptr_t a, intptr_t) {
    MV2Mission15State& s = gMV2Mission15;
    switch (message) {
    case kMV2ScriptStart:
    case kMV2ScriptRestart: Reset15(); break;
    case kMV2ScriptEvent:
        if (a == 13) {
            MV2SelectSub(67);
            MV2MissionRemoveNotify(kRow15, 13);
            MV2MissionInstallNotify(kRow15, 8);
        } else if (a == 8) {
            MV2PendingMission = 0;
            MV2MissionRemoveNotify(kRow15, 8);
            MV2MissionInstallNotify(kRow15, 17);
            MV2SetLevelSwitch(8, 1);
            MV2ScriptKeep(s.sites[0], MV2RowFind(35));
            MV2ScriptKeep(s.sites[1], MV2RowFind(36));
            MV2HudSetObjective(Site15(0));
            MV2MissionSetTimer(kRow15, 257, 1000);
            MV2MissionSetTimer(kRow15, 258, 300000);
            MV2MissionBegin(kRow15, 1);
            MV2PlayMissionMessage(1374);
            if (MV2Object* object = MV2FindObjectByWorldID(7)) MV2ObjectSendMessage(object, 12, 0, 0);
        } else if (a == 17) {
            if (MV2Object* place = MV2FindObjectByWorldID(0x000D0002)) {
                const TvV3d at = place->matrix->pos;
                MV2CreateObject(100, &at.x, nullptr);
            }
            MV2MissionRemoveNotify(kRow15, 17);
        }
        break;
    case kMV2ScriptObjectKilled:
        if (MV2RowType(object) != 369) break;
        MV2HudSetObjective(nullptr);
        MV2MissionSetTimer(kRow15, 259, 1000);
        MV2PlayMissionMessage(1378);
        MV2HudShowResultBanner(1);
        MV2ResetMusic();
        break;
    case 257:
        if (MV2ObjectDistance(nullptr, Site15(0)) < 10.0f) {
            s.siteReached = 1;
            static const int32_t kTracks[3] = {1, 3, 4};
            MV2RowMusic(1, kTracks, 3);
        } else {
            MV2MissionSetTimer(kRow15, 257, 1000);
        }
        break;
    case 258:
        if (!s.siteReached) MV2PlayMissionMessage(1375);
        break;
    case 259:
        if (MV2ObjectDistance(nullptr, Site15(0)) < 10.0f ||
            MV2ObjectDistance(nullptr, Site15(1)) < 20.0f)
            MV2MissionRestart(16);
        else
            MV2MissionSetTimer(kRow15, 259, 1000);
        break;
    default: break;
    }
    return 1;
}
