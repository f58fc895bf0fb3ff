#include "game/missions/turrettargeting.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "engine/core/matrix.h"
#include "engine/world/clump.h"
#include "engine/world/world.h"
#include "game/creatures/creaturemath.h"
#include "game/creatures/subai.h"
#include "game/creatures/subaisteer.h"
#include "game/objects/clumpdata.h"
#include "game/objects/utilities.h"
#include "game/player/playercraft.h"
#include "shell/gameinit.h"

MV2TurretScan gMV2TurretScan;

namespace {

constexpr float kScanRange = 30.0f;
constexpr float kFireRange = 20.0f;
constexpr int32_t kTurretBaseType = 40;

void Tell(MV2Object* craft, int32_t message) {
    if (craft->typeHandler) craft->typeHandler(craft, message, 0, 0);
}

// Nothing but the target itself or a turret base lies between the craft and the target.
bool ClearLine(MV2Object* craft, MV2Object* target) {
    TpAtomic* atomic = nullptr;
    if (!MV2IntersectSceneLine(TpWorldGetCurrent(), &craft->matrix->pos, &target->matrix->pos,
                               nullptr, nullptr, &atomic, craft))
        return true;
    if (!atomic) return false; // the landscape
    MV2Object* hit = MV2GetClumpObject(TpAtomicGetClump(atomic));
    return hit == target || (hit && MV2TypeOf(hit) == kTurretBaseType);
}

int32_t ScanCallback(TpIntersection*, TpWorldSector*, TpAtomic* atomic, float distance, void*) {
    MV2TurretScan& s = gMV2TurretScan;
    if (distance >= s.bestDistance) return 1;
    MV2Object* o = MV2GetClumpObject(TpAtomicGetClump(atomic));
    if (!o || o == s.craft || !o->matrix) return 1;
    if (gMV2GameType == 3 || gMV2GameType == 4) {
        if (o != MV2GetPlayerObject()) return 1;
    } else if (o->aiCategory != 6 || MV2IsObjectFriendly(o) == MV2IsObjectFriendly(s.craft)) {
        return 1;
    }
    if (!ClearLine(s.craft, o)) return 1;
    s.best = o;
    s.bestDistance = distance;
    return 1;
}

// The direction in the craft's own space, where the turret frame hangs.
TvV3d ToCraftSpace(const MV2Object* craft, const TvV3d& v) {
    const TvMatrix* m = craft->matrix;
    return {TvV3dDot(v, m->right), TvV3dDot(v, m->up), TvV3dDot(v, m->at)};
}

} // namespace

void MV2ClearTargetRecord(MV2TurretTargetRecord* record) {
    MV2ClearObjectRef(&record->target);
    record->scanTimer = record->sightTimer = 0.0f;
    record->turretMatrix = nullptr;
}

void MV2TurretAim(MV2Object* craft, MV2TurretTargetRecord* record, const TvV3d* direction) {
    TvMatrix* t = record->turretMatrix;
    if (!t) return;
    const TvV3d d = ToCraftSpace(craft, *direction);
    const float c = std::min(1.0f, TvV3dDot(t->at, d));
    float angle = std::acos(std::max(-1.0f, c)) * 57.29578f;
    angle = std::min(angle, 60.0f * MV2FrameSeconds());
    if (angle <= 0.0f) return;
    // Raise the at axis when the direction lies above it, lower it when below.
    const bool raise = TvV3dDot(d, t->up) > 0.0f;
    TvMatrix turned = *t;
    const TvV3d right = t->right;
    MV2RotateMatrixInPlace(&turned, &right, angle, 2);
    if ((turned.at.y > t->at.y) != raise) {
        turned = *t;
        MV2RotateMatrixInPlace(&turned, &right, -angle, 2);
    }
    // The turret pitches only within its band.
    if (raise && turned.at.y > 0.9f) return;
    if (!raise && turned.at.y < -0.1f) return;
    *t = turned;
}

void MV2TurretTrackTarget(MV2Object* craft, MV2TurretTargetRecord* record) {
    if (!craft || !record || !craft->matrix) return;
    const float seconds = MV2FrameSeconds();
    record->sightTimer += seconds;
    MV2Object* target = MV2GetObjectRef(&record->target);
    if (!target || !target->matrix) {
        MV2SubAILevelOff(craft);
        record->scanTimer += seconds;
        if (record->scanTimer > 1.0f) {
            record->scanTimer = 0.0f;
            gMV2TurretScan = {craft, nullptr, FLT_MAX};
            MV2ForAllAtomicsInSphere(TpWorldGetCurrent(), &craft->matrix->pos, kScanRange,
                                     ScanCallback, nullptr);
            if (gMV2TurretScan.best) MV2SetObjectRef(&record->target, gMV2TurretScan.best);
        }
        Tell(craft, 64);
        return;
    }
    TvV3d v = TvV3dSub(target->matrix->pos, craft->matrix->pos);
    const float d = MV2Normalise(&v);
    if (d >= kScanRange) {
        MV2ClearObjectRef(&record->target);
        Tell(craft, 64);
        return;
    }
    MV2SubSteerTowards(craft, &v);
    MV2TurretAim(craft, record, &v);
    if (d >= kFireRange) {
        Tell(craft, 64);
        return;
    }
    const bool onTarget =
        record->turretMatrix && TvV3dDot(record->turretMatrix->at, ToCraftSpace(craft, v)) >= 0.7f;
    Tell(craft, onTarget ? 10 : 64);
    record->sightTimer += seconds;
    if (record->sightTimer > 0.5f) {
        record->sightTimer = 0.0f;
        if (!ClearLine(craft, target)) {
            MV2ClearObjectRef(&record->target);
            Tell(craft, 64);
        }
    }
}
