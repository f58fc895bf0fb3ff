#include "game/objects/scanner.h"

#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "engine/core/matrix.h"
#include "engine/world/world.h"
#include "game/missions/missions.h"
#include "game/objects/objects.h"
#include "game/objects/objectsounds.h"
#include "game/objects/objecttypes.h"
#include "game/objects/utilities.h"
#include "game/player/player.h"
#include "game/player/tools.h"
#include "shell/frametimer.h"
#include "shell/gamemain.h"

MV2ScannerCalls gMV2ScannerCalls = {MV2GetRadarContacts, MV2PlaceTargetIndicator};

namespace {

constexpr int32_t kStartBest = 819200;
constexpr int32_t kScanTargetTypes[] = {253, 254, 256, 259, 260, 261, 263};

struct Scanner {
    uint32_t enabled = 0;
    MV2Object* target = nullptr;
    MV2Object* previous = nullptr;
    int32_t scanTime = 0;
    int32_t best = kStartBest;
    uintptr_t sound = 0;
};
Scanner g_scanner;

int32_t TypeNumber(const MV2Object* object) {
    return int32_t(object->typeWord & kMV2ObjectTypeMask);
}

bool IsScanTargetType(int32_t type) {
    for (int32_t t : kScanTargetTypes)
        if (t == type) return true;
    return false;
}

// Records the type and its scan group as known, tells the object and raises the event.
void Scanned(MV2Object* target) {
    const int32_t type = TypeNumber(target);
    MV2SetKnownType(type);
    const uint32_t group = target->type->words[28];
    for (int32_t t = 0; t < kMV2ObjectTypes; t++)
        if (MV2GetObjectType(t)->words[28] == group) MV2SetKnownType(t);
    MV2ObjectSendMessage(target, 97, 0, 0);
    MV2NotifyScripts(target, 20, type);
}

MV2Object* FindTarget(MV2Object* carrier) {
    TvFrame* origin = MV2FindFrameByTag(carrier->clump, 1);
    if (!origin) origin = carrier->clump ? carrier->clump->frame : nullptr;
    if (!origin) return nullptr;
    const TvMatrix* carrierWorld = TvFrameGetLTM(carrier->clump->frame);
    const TvV3d from = TvFrameGetLTM(origin)->pos;
    const TvV3d at = TvFrameGetLTM(origin)->at;
    TvMatrix view;
    TvMatrixInvert(&view, carrierWorld);
    float width = 1.0f, height = 1.0f;
    if (gMV2MainCamera && gMV2MainCamera->viewWindow.x > 0.0f &&
        gMV2MainCamera->viewWindow.y > 0.0f) {
        width = gMV2MainCamera->viewWindow.x;
        height = gMV2MainCamera->viewWindow.y;
    }
    MV2Object* const* entries = nullptr;
    const int32_t count = gMV2ScannerCalls.contacts(&entries);
    MV2Object* target = nullptr;
    g_scanner.best = kStartBest;
    for (int32_t i = 0; i < count; i++) {
        MV2Object* object = entries[i];
        if (!object || !object->type || !object->matrix) continue;
        if (!(object->type->words[33] & (1u << 15))) continue;
        if (IsScanTargetType(TypeNumber(object))) {
            intptr_t value = 0;
            MV2ObjectSendMessage(object, 13, 0, reinterpret_cast<intptr_t>(&value));
            if (value < 1) continue;
        }
        const TvV3d position = object->matrix->pos;
        const TvV3d d = TvV3dSub(carrierWorld->pos, position);
        if (TvV3dDot(at, d) >= 0.0f || TvV3dDot(d, d) >= kMV2ScannerRangeSquared) continue;
        TvV3d local;
        TvV3dTransformPoints(&local, &position, 1, &view);
        if (local.z == 0.0f) continue;
        const auto x = int64_t(320.0f / width * (local.x / -local.z));
        const auto y = int64_t(240.0f / height * (local.y / -local.z));
        const int64_t s = x * x + y * y;
        if (s < 1 || s >= g_scanner.best) continue;
        if (!MV2HasLineOfSight(TpWorldGetCurrent(), &from, &position, carrier, object)) continue;
        g_scanner.best = int32_t(s);
        target = object;
    }
    return target;
}

void Scan(MV2Object* carrier) {
    MV2Object* target = FindTarget(carrier);
    g_scanner.target = target;
    if (target) {
        if (target != g_scanner.previous) {
            g_scanner.previous = target;
            g_scanner.scanTime = 0;
        }
        g_scanner.scanTime += gMV2FrameTimer.milliseconds;
        bool inProgress = false;
        if (!MV2TestKnownType(TypeNumber(target))) {
            if (g_scanner.scanTime > kMV2ScanMilliseconds)
                Scanned(target);
            else
                inProgress = true;
        }
        const TvV3d position = target->matrix->pos;
        if (gMV2ScannerCalls.indicator(&position, 96, 96)) {
            if (inProgress) {
                MV2StartObjectSound(carrier, kMV2ScannerSound, &g_scanner.sound, 0, 0);
                return;
            }
        } else {
            g_scanner.previous = nullptr;
            g_scanner.scanTime = 0;
        }
    } else {
        g_scanner.previous = nullptr;
        g_scanner.scanTime = 0;
    }
    MV2StopObjectSound(carrier, kMV2ScannerSound, &g_scanner.sound);
}

bool CarriesTools(const MV2Object* object) {
    return object && object->type && (object->type->words[7] & kMV2TypeNoSpin);
}

} // namespace

int32_t MV2ScannerToolHandler(MV2Tool* tool, int32_t message, intptr_t p1, intptr_t p2) {
    auto* carrier = reinterpret_cast<MV2Object*>(p2);
    switch (message) {
    case 3:
        g_scanner.sound = 0;
        g_scanner.enabled = 1;
        return MV2DefaultToolHandler(tool, message, p1, p2);
    case 12:
        if (CarriesTools(carrier)) MV2StopObjectSound(carrier, kMV2ScannerSound, &g_scanner.sound);
        return 1;
    case 53:
        if (tool) tool->charges = -1;
        g_scanner.enabled ^= 1;
        return 1;
    case 59:
        if (p2) reinterpret_cast<int32_t*>(p2)[1] = int32_t(g_scanner.enabled);
        return 1;
    case 68:
        if (CarriesTools(carrier) && g_scanner.enabled) Scan(carrier);
        return 1;
    default: return MV2DefaultToolHandler(tool, message, p1, p2);
    }
}
