// The repair drone brain over the SubAI brain, and its status panel.
#include "game/creatures/repairdrone.h"

#include <algorithm>

#include "engine/core/frame.h"
#include "engine/core/matrix.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "game/creatures/creaturemath.h"
#include "game/creatures/subai.h"
#include "game/creatures/subaisteer.h"
#include "game/effects/effects.h"
#include "game/frontend/draw2d.h"
#include "game/frontend/font.h"
#include "game/frontend/hud.h"
#include "game/frontend/missionmap.h"
#include "game/missions/missions.h"
#include "game/objects/dynamics.h"
#include "game/objects/utilities.h"

MV2RepairDronePanel gMV2RepairDronePanel;

namespace {

TvFreeList* g_repairDrones = nullptr;
const uint8_t g_panelColour[3] = {97, 189, 255};
constexpr float kArmMin[4] = {-45.0f, -45.0f, -45.0f, -45.0f};
constexpr float kArmMax[4] = {0.0f, 45.0f, 0.0f, 45.0f};
const TvV3d kAxisX{1.0f, 0.0f, 0.0f};

uint32_t PanelColour() {
    return 0xFF000000u | uint32_t(g_panelColour[0]) << 16 | uint32_t(g_panelColour[1]) << 8 |
           g_panelColour[2];
}

// Claims the next damaged part of the nearest mining site and heads home.
void Finish(MV2Object* drone) {
    const int32_t site = MV2MiningFindNearestSite(&drone->matrix->pos, nullptr);
    MV2MiningClaimDamagedPart(site, drone);
    MV2ObjectSendMessage(drone, 82, 0, 0);
}

float RepairRate(float initialEnergy) {
    return initialEnergy < 100.0f ? 1.5f : initialEnergy < 500.0f ? 3.0f : 6.0f;
}

void MoveArms(MV2RepairDroneData* d) {
    for (int32_t i = 0; i < 4; ++i) {
        d->armAngles[i] = std::clamp(d->armAngles[i] + float(int32_t(MV2RandomBits(7)) - 3),
                                     kArmMin[i], kArmMax[i]);
        if (!d->arms[i]) continue;
        TvMatrix* m = TvFrameGetMatrix(d->arms[i]);
        const TvV3d keep = m->pos;
        TvMatrixRotate(m, &kAxisX, d->armAngles[i], kTvCombineReplace);
        m->pos = keep;
        TvFrameUpdateObjects(d->arms[i]);
    }
}

void Repair(MV2RepairDroneData* d, MV2Object* target) {
    const float initial = MV2InitialEnergy(target);
    d->supply -= 1000;
    const bool dies = target->type && (target->type->words[7] & (1u << 20));
    if (target->energy < 0.0f && !dies) target->energy = 0.0f;
    target->energy += MV2FrameSeconds() * RepairRate(initial);
    if (MV2RandomBits(15) == 15 && d->arms[3]) {
        const TvMatrix* arm = TvFrameGetLTM(d->arms[3]);
        const MV2Point3 at = MV2Point(TvV3dAdd(arm->pos, TvV3dScale(arm->at, 0.07f)));
        MV2CreateExplosion(at.v, 0.0f, 0.0f, nullptr, 3, 16);
    }
    MoveArms(d);
}

intptr_t Update(MV2Object* drone, MV2RepairDroneData* d, MV2SubAIData* ai) {
    MV2SubAICommand* frame = MV2SubAIGetCommand(drone);
    MV2Object* target = frame && frame->code == kMV2SubAIGoTo ? MV2SubAICommandGetTarget(frame)
                                                              : nullptr;
    if (!target) {
        Finish(drone);
        return 1;
    }
    const bool dummy = MV2TypeOf(target) == 42;
    if (d->repairing) {
        if (ai) MV2RouteClear(&ai->route);
        if (drone->body) drone->body->velocity = {};
        if (target->energy >= MV2InitialEnergy(target)) {
            Finish(drone);
            return 1;
        }
        Repair(d, target);
    } else {
        if ((!ai || MV2RouteIsEmpty(&ai->route)) && !dummy)
            MV2SubAIApproachPoint(drone, nullptr, target, &target->matrix->pos);
        if (MV2TypeOf(target) != 15 &&
            MV2Length(TvV3dSub(target->matrix->pos, drone->matrix->pos)) < 1.0f)
            d->repairing = 1;
    }
    const int32_t elapsed = int32_t(MV2FrameSeconds() * 1000.0f);
    if (d->supply < elapsed) {
        d->supply = 0;
        if (!dummy) Finish(drone);
    } else {
        d->supply -= elapsed;
        d->supplyFraction = float(d->supply) * 2e-7f;
    }
    return 1;
}

intptr_t Allocate(MV2Object* drone) {
    auto* d = static_cast<MV2RepairDroneData*>(
        MV2AllocLayeredData(drone, &g_repairDrones, sizeof(MV2RepairDroneData), 10,
                            "Cannot create freelist for repairdrone"));
    if (!d) return 0;
    d->supplyFraction = 1.0f;
    d->supply = 5000000;
    static constexpr uint32_t kArmTags[4] = {5, 6, 2, 3};
    if (drone->clump) {
        for (int32_t i = 0; i < 4; ++i)
            d->arms[i] = MV2FindFrameByTag(drone->clump, kArmTags[i]);
        d->tag8 = MV2FindAtomicByTag(drone->clump, 8);
    }
    MV2ObjectSendMessage(drone, 0, 1, 0);
    if (TpAtomic* root = drone->clump ? MV2FindRootAtomic(drone->clump) : nullptr) {
        if (TpGeometry* geometry = TpAtomicGetGeometry(root)) {
            const TvSphere sphere{{0.0f, 0.0f, 0.0f}, 0.3f};
            if (TpMorphTarget* target = TpGeometryGetMorphTarget(geometry, 0))
                TpMorphTargetSetBoundingSphere(target, &sphere);
        }
        TpAtomicSetFlags(root, uint8_t(root->object.object.flags | 2u));
    }
    return 1;
}

int32_t SpriteOf(int32_t status) {
    switch (status) {
    case 1: return 309;
    case 2: return 310;
    case 4: return 311;
    default: return 312;
    }
}

} // namespace

intptr_t MV2RepairDroneBrain(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 32) return Allocate(object);
    auto* d = static_cast<MV2RepairDroneData*>(MV2GetLayeredData(object));
    MV2SubAIData* ai = MV2GetSubAIData(object);
    switch (message) {
    case 2:
        if (d) Update(object, d, ai);
        break;
    case 4:
        // Passed on, so the craft and its SubAI record go too.
        MV2FreeLayeredData(object, g_repairDrones, d);
        break;
    case 12:
        if (d && p2) d->supplyFraction = *reinterpret_cast<const float*>(p2);
        return 1;
    case 13:
        if (d && p2) *reinterpret_cast<float*>(p2) = d->supplyFraction;
        return 1;
    case 19: {
        MV2SubAICommand* frame = MV2SubAIGetCommand(object);
        if (d && frame && frame->code == kMV2SubAIGoTo && p2 &&
            MV2SubAICommandGetTarget(frame) == reinterpret_cast<MV2Object*>(p2))
            d->repairing = 1;
        break;
    }
    case 33:
        if (d) d->repairing = 0;
        break;
    case 82:
        MV2SubAIOrderCityRoute(object, 3);
        if (d) {
            d->repairing = 0;
            if (d->tag8) TpAtomicSetFlags(d->tag8, 0);
        }
        return 1;
    default: break;
    }
    return MV2SubAIBrain(object, message, p1, p2) ? 1 : 0;
}

void MV2GetRepairDroneEntryState(const MV2RepairDroneEntry* entry, int32_t* number,
                                 uint32_t* colour) {
    const uint32_t panel = PanelColour();
    int32_t n = 0;
    uint32_t c = panel;
    if (entry->status == 1 || entry->status == 2) {
        const int32_t now = int32_t(MV2GameClock());
        const int32_t remaining = std::max(entry->endTime - now, 0);
        // A divisor of 0 or less shows 0.
        n = entry->divisor > 0 ? remaining / entry->divisor : 0;
        const int32_t sinceAlarm = now - entry->alarmTime;
        if (sinceAlarm >= 0 && sinceAlarm < 1000 && (uint32_t(sinceAlarm) & 255u) < 128u) {
            c = 0xFFFF0000u;
        } else if (remaining < 30001) {
            const float f = float(remaining & 1023) / 1023.0f;
            c = 0xFF000000u;
            for (int32_t shift = 0; shift < 24; shift += 8) {
                const float channel = float((panel >> shift) & 255u);
                c |= uint32_t(int32_t(channel * (1.0f - f) + 255.0f * f)) << shift;
            }
        }
    }
    if (number) *number = n;
    if (colour) *colour = c;
}

void MV2DrawRepairDroneHud() {
    if (!gMV2RepairDronePanel.shown) return;
    float sx = 1.0f, sy = 1.0f;
    MV2GetScreenScale(&sx, &sy);
    for (int32_t i = 0; i < kMV2RepairDroneEntries; ++i) {
        MV2RepairDroneEntry& e = gMV2RepairDronePanel.entries[i];
        int32_t number = 0;
        uint32_t colour = 0;
        MV2GetRepairDroneEntryState(&e, &number, &colour);
        MV2Set2DColourARGB(colour);
        MV2DrawText({540.0f * sx - 8.0f, 64.0f * sy + float(20 * i) + 10.0f}, {0.0f, 20.0f},
                    &e.label, 2, 8);
        MV2SpriteDraw q{};
        q.x = int32_t(540.0f * sx);
        q.y = int32_t(float(20 * i) + 64.0f * sy + 2.0f);
        q.sprite = SpriteOf(e.status);
        q.colour0 = q.colour1 = colour;
        q.scaleX = q.scaleY = 1.0f;
        MV2Draw2DSprite(&q);
        if (e.status == 1 || e.status == 2)
            MV2HudDrawNumber(number, int32_t(64.0f + 540.0f * sx), int32_t(64.0f * sy) + 20 * i,
                             colour, 2);
    }
}

void MV2DrawRepairDroneMapLabels() {
    if (!gMV2RepairDronePanel.shown) return;
    float sx = 1.0f, sy = 1.0f;
    MV2GetScreenScale(&sx, &sy);
    for (MV2RepairDroneEntry& e : gMV2RepairDronePanel.entries) {
        MV2Object* object = MV2GetObjectRef(&e.object);
        float x = 0.0f, y = 0.0f;
        if (!object || !MV2MapObjectToGrid(object, &x, &y)) continue;
        if (gMV2RepairDronePanel.mapMode) y += 16.0f;
        if (y <= 132.0f) continue;
        int32_t number = 0;
        uint32_t colour = 0;
        MV2GetRepairDroneEntryState(&e, &number, &colour);
        MV2Set2DColourARGB(colour);
        MV2DrawText({x * sx, y * sy + 10.0f}, {0.0f, 20.0f}, &e.label, 0, 8);
        MV2HudDrawNumber(number, int32_t(x * sx), int32_t(y * sy + 20.0f), colour, 0);
    }
}

void MV2DisableRepairDroneHud() {
    gMV2RepairDronePanel.shown = 0;
}

void MV2SetRepairDroneEntry(int32_t index, const MV2RepairDroneEntry* entry) {
    if (index < 0 || index >= kMV2RepairDroneEntries || !entry) return;
    gMV2RepairDronePanel.entries[index] = *entry;
}

void MV2EnableRepairDroneHud() {
    gMV2RepairDronePanel.shown = 1;
}

void MV2ShutdownRepairDrones() {
    if (g_repairDrones) TvFreeListDestroy(g_repairDrones);
    g_repairDrones = nullptr;
}
