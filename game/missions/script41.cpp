#include "game/missions/script41.h"

#include <cmath>
#include <cstring>
#include <initializer_list>

#include "engine/core/frame.h"

#include "game/frontend/missionmap.h"
#include "game/missions/levelobjects.h"
#include "game/missions/missionflow.h"
#include "game/missions/missions.h"
#include "game/missions/missionscripts.h"
#include "game/missions/missiontimers.h"
#include "game/missions/scriptevents.h"
#include "game/objects/levels.h"
#include "game/objects/levelswitch.h"
#include "game/objects/objects.h"
#include "game/player/playercraft.h"

MV2Script41 gMV2Script41 = {};

namespace {

constexpr int32_t kRow = 41;
constexpr int32_t kCraftId = 0x40283;
constexpr int32_t kCraftType = 126;
constexpr int32_t kDoneSwitch = 16;
constexpr int32_t kLabel = 53;
constexpr int32_t kSigns[2] = {0x20000, 0x2006C};
constexpr int32_t kEventIdentified = 20, kEventDroneArrived = 21, kEventLevelChangeStart = 14,
                  kEventLevelChangeDone = 15, kEventEnteredCity = 7;

bool IsCraft(const MV2Object* object) {
    return object && int32_t(object->typeWord & kMV2ObjectTypeMask) == kCraftType;
}

bool OnLevel0() {
    return (MV2GetCurrentLevelId() >> 24) == 0;
}

void RemoveCraftHandlers() {
    for (int32_t e : {kEventLevelChangeStart, kEventLevelChangeDone, kEventDroneArrived, kEventIdentified})
        MV2MissionRemoveNotify(kRow, e);
    gMV2Script41.handlersInstalled = 0;
}

// The job is over: nothing more to watch, and the switch keeps the craft away from now on.
void Finish() {
    RemoveCraftHandlers();
    MV2SetLevelSwitch(kDoneSwitch, 0);
}

void ShowHint() {
    gMV2Script41.hintPending = 0;
    MV2PlayMissionMessage(704);
}

// Puts the craft back at the saved place. A vertical saved at vector gives no right axis, so
// the craft then keeps its own orientation.
void RestorePlace(MV2Object* craft) {
    MV2Script41& s = gMV2Script41;
    if (!craft->clump || !craft->matrix) return;
    TvMatrix* m = craft->matrix;
    m->pos = s.savedPosition;
    craft->previousPosition = s.savedPosition;
    const TvV3d up{0.0f, 1.0f, 0.0f};
    const TvV3d right = TvV3dCross(up, s.savedAt);
    if (TvV3dDot(right, right) > 1e-12f) {
        m->at = s.savedAt;
        m->right = right;
        m->up = TvV3dCross(s.savedAt, right);
    }
    MV2ObjectMoved(craft);
}

} // namespace

MV2Object* MV2GlobalScript41Attach() {
    MV2Script41& s = gMV2Script41;
    MV2Object* craft = MV2FindObjectByScriptID(kCraftId);
    if (!craft) {
        s.handlersInstalled = 0;
        MV2MissionRemoveNotify(kRow, kEventDroneArrived);
        MV2MissionRemoveNotify(kRow, kEventIdentified);
        return nullptr;
    }
    MV2MissionAttachObject(kRow, craft);
    MV2ObjectSendMessage(craft, 1, 1, 0);
    if (s.positionSaved && !s.levelChange) RestorePlace(craft);
    if (!s.handlersInstalled) {
        MV2MissionInstallNotify(kRow, kEventDroneArrived);
        if (!MV2TestKnownType(kCraftType)) MV2MissionInstallNotify(kRow, kEventIdentified);
        s.handlersInstalled = 1;
    }
    return craft;
}

int32_t MV2GlobalScript41(MV2Object* object, int32_t message, intptr_t a, intptr_t b) {
    MV2Script41& s = gMV2Script41;
    switch (message) {
    case kMV2ScriptRestart:
        s.enteredCity = s.positionSaved = s.delivered = 0;
        s.hintPending = 1;
        s.second = 1;
        s.levelChange = s.handlersInstalled = 0;
        MV2MissionSetTimer(kRow, 256, 1);
        break;
    case 256:
        if (!MV2TestLevelSwitch(kDoneSwitch)) {
            MV2MissionInstallNotify(kRow, kEventLevelChangeStart);
            MV2MissionInstallNotify(kRow, kEventLevelChangeDone);
            MV2GlobalScript41Attach();
        }
        break;
    case 10: // the craft is being destroyed
        if (IsCraft(object) && !s.levelChange) Finish();
        break;
    case kMV2ScriptObjectKilled:
        if (IsCraft(object)) MV2PlayMissionMessage(709);
        break;
    case 20: // the magnet took it
        if (IsCraft(object) && b && reinterpret_cast<MV2Object*>(b) == MV2GetPlayerSub()) {
            if (s.hintPending) ShowHint();
            for (int32_t id : kSigns)
                if (MV2Object* sign = MV2FindObjectByScriptID(id)) MV2MapAddLabel(sign, kLabel);
        }
        break;
    case 21: // the magnet let go
        if (IsCraft(object) && b && reinterpret_cast<MV2Object*>(b) == MV2GetPlayerSub())
            MV2MapRemoveLabel(kLabel);
        break;
    case kMV2ScriptEvent:
        switch (a) {
        case kEventEnteredCity:
            Finish();
            MV2MissionRemoveNotify(kRow, kEventEnteredCity);
            s.enteredCity = 1;
            break;
        case kEventLevelChangeStart:
            s.levelChange = 1;
            if (OnLevel0()) {
                if (MV2Object* craft = MV2GlobalScript41Attach(); craft && craft->matrix) {
                    s.savedPosition = craft->matrix->pos;
                    s.savedAt = craft->matrix->at;
                    s.positionSaved = 1;
                }
            }
            break;
        case kEventLevelChangeDone:
            s.levelChange = 0;
            if (OnLevel0()) {
                MV2GlobalScript41Attach();
                s.hintPending = 1;
            }
            break;
        case kEventIdentified:
            if (IsCraft(object) && s.hintPending) {
                MV2MissionRemoveNotify(kRow, kEventIdentified);
                ShowHint();
            }
            break;
        case kEventDroneArrived:
            if (IsCraft(object)) {
                MV2PlayMissionMessage(708);
                s.delivered = 1;
                Finish();
                MV2MissionInstallNotify(kRow, kEventEnteredCity);
            }
            break;
        default: break;
        }
        break;
    default: break;
    }
    return 1;
}

void MV2GetScript41State(MV2Script41State* out) {
    const MV2Script41& s = gMV2Script41;
    out->counters[0] = s.positionSaved;
    out->counters[1] = s.delivered;
    const float values[6] = {s.savedPosition.x, s.savedPosition.y, s.savedPosition.z,
                             s.savedAt.x,       s.savedAt.y,       s.savedAt.z};
    std::memcpy(out->values, values, sizeof values);
}

void MV2SetScript41State(const MV2Script41State* state) {
    MV2Script41& s = gMV2Script41;
    s.delivered = state->counters[1] != 0;
    const float* v = state->values;
    s.savedPosition = {v[0], v[1], v[2]};
    s.savedAt = {v[3], v[4], v[5]};
    // A saved place that is not a number is no place: the craft stays where the level has it.
    bool finite = true;
    for (int32_t i = 0; i < 6; i++) finite = finite && std::isfinite(v[i]);
    s.positionSaved = state->counters[0] != 0 && finite;
}

int32_t MV2GetStrayCraftDelivered() {
    return gMV2Script41.delivered;
}
