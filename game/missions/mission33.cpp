// Mission row 33: level 10's deliveries. The deposit takes two items of type 133, one at a
// time and at least four seconds apart; two switches raise three chaser flies each, and the
// sixth fly's report opens the way on; the exit switch leads into level 11 through a cut-scene.
#include "game/missions/mission33.h"

#include "engine/core/matrix.h"
#include "engine/world/world.h"
#include "game/missions/mission30.h"
#include "game/missions/missionhelpers.h"
#include "game/missions/missions.h"
#include "game/missions/rowkit.h"
#include "game/missions/scriptkit.h"
#include "game/objects/camera.h"
#include "game/objects/dynamics.h"
#include "game/objects/objectsounds.h"
#include "game/objects/utilities.h"

MV2Mission33State gMV2Mission33;

namespace {

constexpr int32_t kRow = 33;
constexpr int32_t kFlyType = 77, kItemType = 133;
constexpr int32_t kItemSlots = 40;
constexpr int32_t kDeliveryGapMs = 4000;
// The collector tool and its commands: item count, held type at an index, remove at an index.
constexpr int32_t kCollector = 5, kCountItems = 37, kHeldType = 13, kRemoveItem = 33;

const uint32_t kTable[kMV2Mission33Objects] = {
    0x0A000007, 0x0A000008, 0x0A000012, 0x0A000009, 0x0A00000A, 0x0A000006, 0x0A000005,
    0x0A000013, 0x0A000014, 0x0A000015, 0x0A000016, 0x0A000017, 0x0A000018, 0x0A000011,
    0x0A000010, 0x0A000019, 0x0A00001A, 0x0A00001B, 0x0A00001C, 0x0A00001D, 0x0A00001E,
    0x0A00000D, 0x0A00000E, 0x0A00000F, 0x0A000020, 0x0A00000B};

MV2RowTable Table() {
    return {kTable, kMV2Mission33Objects, gMV2Mission33.objects, gMV2Mission33.handles};
}

MV2Object* Live(uint32_t id) {
    return MV2RowTableObject(Table(), id);
}

// Three flies at the three posts, into slots first..first+2; each further fly only when the
// one before was made, and the callback only once all three exist.
void RaiseFlies(int32_t first, uint32_t postA, uint32_t postB, uint32_t postC) {
    MV2Mission33State& s = gMV2Mission33;
    const uint32_t posts[3] = {postA, postB, postC};
    MV2Object* made[3] = {};
    for (int32_t i = 0; i < 3; ++i) {
        MV2Object* post = MV2RowFind(posts[i]);
        made[i] = post && post->matrix ? MV2CreateObject(kFlyType, &post->matrix->pos.x, nullptr) : nullptr;
        MV2ScriptKeep(s.flies[first + i], made[i]);
        if (!made[i]) return;
    }
    for (MV2Object* fly : made)
        MV2ObjectSendMessage(fly, 12, 0, reinterpret_cast<intptr_t>(&MV2Mission33SwitchHit));
}

void ExitSwitch(MV2Object* exitSwitch) {
    MV2RowClumpInWorld(MV2RowFind(0x0A000019), 0);
    if (exitSwitch->clump && TpClumpGetWorld(exitSwitch->clump))
        MV2SetAllAtomicFlags(exitSwitch->clump, 0);
    MV2PlayCutSceneThen(0x0A01FFFF, 0x0A010002, 0x0BFFFFFF, 0x0B01FFFF, 0x0B010002);
}

intptr_t Tool(MV2Object* player, int32_t command, intptr_t parameter) {
    intptr_t out = 0;
    MV2MissionToolCommand(player, kCollector, command, parameter, &out);
    return out;
}

// The deposit takes one item of type 133 per touch, at least four seconds after the last;
// the second ends the deliveries.
void Deposit(MV2Object* player) {
    MV2Mission33State& s = gMV2Mission33;
    const uint32_t now = MV2RowNow();
    if (int32_t(now - s.deliveryReadyAtMs) <= 0 || Tool(player, kCountItems, 0) == 0) return;
    for (int32_t i = 0; i < kItemSlots; ++i) {
        if (Tool(player, kHeldType, i) != kItemType) continue;
        Tool(player, kRemoveItem, i);
        if (player->matrix) MV2PlaySoundAt(&player->matrix->pos, 20.0f, 19, 0, 0, 5000);
        s.deliveryReadyAtMs = now + kDeliveryGapMs;
        if (++s.itemsDelivered >= 2) {
            s.deliveryDone = 1;
            if (MV2Object* exitSwitch = MV2RowFind(0x0A00001B)) {
                MV2ObjectSendMessage(exitSwitch, 11, 0, 0);
                const TvV3d push{1.0f, 0.0f, 0.0f};
                MV2AddForce(exitSwitch, &push);
            }
            MV2RowCutScene(0x0A06FFFF, 0);
        }
        return;
    }
}

void Reset() {
    MV2Mission33State& s = gMV2Mission33;
    MV2RowCutScene(0x0A02FFFF, 0x0A020002);
    MV2MissionBegin(kRow, 1);
    MV2RowTable table = Table();
    MV2RowBindTable(table, &MV2Mission33SwitchHit);
    s.deliveryReadyAtMs = 0;
    s.itemsDelivered = 0;
    s.sequenceStarted = 0;
    s.type77Reports = 0;
    s.deliveryDone = 0;
    for (MV2ObjectRef& fly : s.flies)
        fly = {};
    for (uint32_t id : {0x0A000005u, 0x0A00000Du, 0x0A00000Fu, 0x0A000020u})
        MV2RowSend(id, 12, 0, reinterpret_cast<intptr_t>(&MV2Mission33ProximityHit));
    MV2RowClumpInWorld(MV2RowFind(0x0A00001A), 0);
    MV2MissionInstallNotify(kRow, 3);
}

} // namespace

void MV2Mission33SwitchHit(MV2Object* object, int32_t) {
    if (!object) return;
    MV2Mission33State& s = gMV2Mission33;
    switch (uint32_t(object->scriptId)) {
    case 0x0A000006:
        MV2RowSend(0x0A000008, 12, 1, 0);
        MV2RowCutScene(0x0A04FFFF, 0);
        break;
    case 0x0A000009: RaiseFlies(0, 0x0A000016, 0x0A000017, 0x0A000018); break;
    case 0x0A00000A: RaiseFlies(3, 0x0A000013, 0x0A000014, 0x0A000015); break;
    case 0x0A000010:
    case 0x0A000011:
        if (s.sequenceStarted) break;
        s.sequenceStarted = 1;
        if (MV2Object* door = Live(0x0A000008)) MV2ObjectSendMessage(door, 12, 0, 0);
        MV2RowCutScene(0x0A07FFFF, 0);
        MV2MissionInstallNotify(kRow, 16);
        break;
    case 0x0A000012: MV2RowSend(0x0A000008, 12, 1, 0); break;
    case 0x0A00001B: ExitSwitch(object); break;
    default: break;
    }
    if (MV2RowType(object) == kFlyType && ++s.type77Reports == 6) MV2RowSend(0x0A000007, 12, 1, 0);
}

void MV2Mission33ProximityHit(MV2Object* trigger, MV2Object* other) {
    if (gMV2Mission33.deliveryDone || !trigger || !other || other != MV2RowPlayer()) return;
    switch (uint32_t(trigger->scriptId)) {
    case 0x0A000005: Deposit(other); break;
    case 0x0A00000D:
        if (MV2MissionWithinHalfRadius(trigger, other))
            MV2ScriptCameraToPost(MV2RowFind(0x0A00000E), true);
        else
            MV2SetCameraMode(1);
        break;
    case 0x0A00000F:
        if (MV2MissionTriggerFacing(trigger, other) < 0.0f) {
            MV2ObjectSendMessage(trigger, 4, 0, 0);
            MV2RowCutScene(0x0A05FFFF, 0);
        }
        break;
    case 0x0A000020:
        if (MV2MissionWithinHalfRadius(trigger, other))
            MV2ScriptCameraToPost(MV2RowFind(0x0A00000B), true);
        else
            MV2SetCameraMode(1);
        break;
    default: break;
    }
}

int32_t MV2Mission33Script(MV2Object*, int32_t message, intptr_t a, intptr_t b) {
    switch (message) {
    case kMV2ScriptStart:
    case kMV2ScriptRestart: Reset(); break;
    case kMV2ScriptBegin: {
        static const int32_t kTracks[3] = {1, 2, 5};
        MV2RowMusic(1, kTracks, 3);
        break;
    }
    case kMV2ScriptEvent:
        if (a == 3) {
            MV2MissionRemoveNotify(kRow, 3);
            MV2RowClumpInWorld(MV2RowFind(0x0A00001A), 1);
        } else if (a == 16 && b == 48) {
            MV2MissionRemoveNotify(kRow, 16);
            if (MV2Object* object = Live(0x0A000012)) MV2ObjectSendMessage(object, 11, 0, 0);
        }
        break;
    default: break;
    }
    return 1;
}
