#include "game/missions/levelgate.h"

#include <cmath>

#include "engine/core/matrix.h"
#include "engine/world/clump.h"
#include "engine/world/world.h"
#include "game/creatures/creaturemath.h"
#include "game/frontend/gameover.h"
#include "game/missions/missionflow.h"
#include "game/missions/missionhelpers.h"
#include "game/missions/scriptevents.h"
#include "game/missions/specialmoves.h"
#include "game/objects/clumpdata.h"
#include "game/objects/dynamics.h"
#include "game/objects/levels.h"
#include "game/objects/utilities.h"
#include "game/player/player.h"
#include "game/player/playercraft.h"
#include "shell/gameinit.h"

MV2LevelGateState gMV2LevelGate;

namespace {

constexpr int32_t kGateType = 85;
constexpr uint32_t kWarningMessage = 986;
constexpr int32_t kGateEvent = 987;

struct PassageRow {
    uint8_t from, to;
    MV2GatePassage passage;
};

constexpr PassageRow kPassages[] = {
    {0, 1, {0x002FFFFF, 0x002F0001, 0x0110FFFF, 0x01100001}},
    {0, 3, {0x0048FFFF, 0x00480001, 0x0305FFFF, 0x03050001}},
    {1, 0, {0x0114FFFF, 0x01140001, 0x003BFFFF, 0x003B0001}},
    {2, 5, {0x0211FFFF, 0x02110001, 0x0505FFFF, 0x05050001}},
    {3, 0, {0x0306FFFF, 0x03060001, 0x0047FFFF, 0x00470001}},
    {3, 4, {0x0313FFFF, 0x03130001, 0x0405FFFF, 0x04050001}},
    {4, 3, {0x0419FFFF, 0x04190001, 0x0309FFFF, 0x03090001}},
    {5, 7, {0x0507FFFF, 0x05070001, 0x070AFFFF, 0x070A0002}},
    {5, 5, {0x0211FFFF, 0x02110001, 0x0505FFFF, 0x05050001}},
};

MV2LevelGateData* Data(MV2Object* object) {
    return static_cast<MV2LevelGateData*>(object->privateData);
}

// The craft a passage removes, gathered before any is destroyed.
struct Sweep {
    MV2Object* sub;
    MV2Object* found[64];
    int32_t count;
};

TpClump* Gather(TpClump* clump, void* data) {
    auto* s = static_cast<Sweep*>(data);
    MV2Object* o = MV2GetClumpObject(clump);
    if (o && o->aiCategory == 6 && MV2TypeOf(o) != 167 && o != s->sub) {
        s->found[s->count++] = o;
        if (s->count == int32_t(std::size(s->found))) return nullptr;
    }
    return clump;
}

void RemoveCraft(MV2Object* sub) {
    TpWorld* world = TpWorldGetCurrent();
    if (!world) return;
    for (;;) {
        Sweep s{sub, {}, 0};
        TpWorldForAllClumps(world, Gather, &s);
        for (int32_t i = 0; i < s.count; ++i)
            MV2ObjectSendMessage(s.found[i], 4, 0, 0);
        if (s.count < int32_t(std::size(s.found))) return;
    }
}

void StartPassage(MV2Object* player, MV2LevelGateData* d) {
    const uint32_t from = MV2GetCurrentLevelId() >> 24;
    const uint32_t to = d->destination >> 24;
    const MV2GatePassage p = MV2FindGatePassage(from, to);
    if (to == 5 && p.cutScene) MV2MissionInstallNotify(29, 16);
    RemoveCraft(MV2GetPlayerSub());
    if (MV2TypeOf(player) == 67) {
        MV2Object* carried = nullptr;
        MV2MissionToolCommand(player, 6, 13, 0, &carried);
        if (carried) MV2ObjectSendMessage(carried, 12, 1, 0);
    }
    MV2PlayCutSceneThen(p.cutScene, p.objectId, d->destination, p.arrival, p.arrivalObject);
    gMV2LevelGate.warningsOver = 1;
}

void Update(MV2Object* gate, MV2LevelGateData* d) {
    if (gMV2GameType != 2 || MV2SpecialMoveRunning()) return;
    MV2Object* player = MV2GetPlayerObject();
    if (!player || !player->matrix || !gate->matrix) return;
    MV2LevelGateState& g = gMV2LevelGate;
    const uint32_t now = MV2GameClock();
    TvV3d v = TvV3dSub(player->matrix->pos, gate->matrix->pos);
    const float d2 = TvV3dDot(v, v);
    if (d2 >= d->innerSquared) {
        if (d2 < d->outerSquared && !g.eventSent && !g.warningsOver && !MV2GameOverActive() &&
            player->overrideHandler == MV2PlayerHandler && int32_t(now - g.nextWarning) > 0) {
            MV2PlayMissionMessage(kWarningMessage);
            g.nextWarning = now + 10000;
        }
        return;
    }
    if (player != MV2GetPlayerSub()) {
        // Another craft under control cannot pass: pushed out, harder the deeper it is.
        if (player->body) {
            MV2Normalise(&v);
            const TvV3d force = TvV3dScale(v, d->innerSquared - d2);
            MV2AddForce(player, &force);
        }
        return;
    }
    if (d->outerSquared == 0.0f) {
        if (!g.warningsOver) StartPassage(player, d);
    } else if (!g.eventSent) {
        MV2TriggerGameEvent(kGateEvent);
        g.eventSent = 1;
    }
}

void SetRadius(MV2LevelGateData* d, intptr_t p1, const float* value) {
    if (!value) return;
    const float r = *value;
    if (p1 == 0) {
        if (!d->innerSet) {
            d->innerSquared = r * r;
            d->innerSet = 1;
        }
        return;
    }
    if (r <= 0.0f) {
        d->outerSquared = 0.0f; // a cleared zone reopens the passage
        return;
    }
    const float inner = d->innerSquared > 0.0f ? std::sqrt(d->innerSquared) : 0.0f;
    d->outerSquared = (inner + r) * (inner + r);
}

} // namespace

MV2GatePassage MV2FindGatePassage(uint32_t fromLevel, uint32_t toLevel) {
    for (const PassageRow& row : kPassages)
        if (row.from == fromLevel && row.to == toLevel) return row.passage;
    return {};
}

intptr_t MV2LevelGateHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    MV2LevelGateData* d = Data(object);
    switch (message) {
    case 2: {
        const intptr_t r = MV2ObjectDefaultHandler(object, message, p1, p2);
        if (d) Update(object, d);
        return r;
    }
    case 3: {
        if (!MV2ObjectDefaultHandler(object, message, p1, p2)) return 0;
        if (d) *d = {};
        if (object->clump) MV2SetAllAtomicFlags(object->clump, 0);
        gMV2LevelGate = {MV2GameClock() + 1000, 0, 0};
        return 1;
    }
    case 12:
        if (d) d->destination = uint32_t(p1);
        return 1;
    case 13:
        if (d && p2) *reinterpret_cast<uint32_t*>(p2) = d->destination;
        return 1;
    case 79:
        if (d) SetRadius(d, p1, reinterpret_cast<const float*>(p2));
        return 1;
    case 96: return MV2AnswerSize(p2, sizeof(MV2LevelGateData));
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

void MV2RegisterLevelGateHandler() {
    MV2SetObjectTypeHandler(kGateType, MV2LevelGateHandler);
}
