#include "game/frontend/console.h"

#include <cmath>

#include "engine/core/frame.h"
#include "engine/core/camera.h"
#include "engine/core/im2d.h"
#include "engine/world/clump.h"
#include "engine/core/vector.h"
#include "engine/world/random.h"
#include "game/creatures/submarines.h"
#include "game/frontend/draw2d.h"
#include "game/frontend/font.h"
#include "game/frontend/hud.h"
#include "game/frontend/interfacestate.h"
#include "game/frontend/menus.h"
#include "game/missions/missionflow.h"
#include "game/missions/scriptevents.h"
#include "game/objects/camera.h"
#include "game/objects/caustics.h"
#include "game/objects/objects.h"
#include "game/objects/objecttypes.h"
#include "game/objects/water.h"
#include "game/player/loadout.h"
#include "game/player/playercraft.h"
#include "game/player/weapons.h"
#include "shell/cdaudio.h"
#include "shell/controls.h"
#include "shell/cursor.h"
#include "shell/frametimer.h"
#include "shell/gamemain.h"
#include "shell/gamestate.h"
#include "shell/sounds.h"

namespace {

constexpr MV2ConsoleOption kOptions[kMV2ConsoleOptions] = {
    {280, 410, 110, 210, 786, {-1, -1}, 0}, // briefing of the pending mission
    {400, 550, 340, 460, 787, {-1, -1}, 0}, // interface screens
    {140, 300, 360, 470, 788, {-1, -1}, 0}, // back to play
};
constexpr int32_t kEye = 0x70021, kTarget = 0x70022;
constexpr int32_t kMoverType = 411;
constexpr int32_t kPathIds[2][2] = {{0x70003, 0x70004}, {0x70005, 0x70006}};
constexpr float kMoverSpeed = 0.00007f; // path fraction per ms
constexpr uint32_t kRippleInterval = 1500;
constexpr int32_t kNoInterfaceType = 84; // a craft that has no load-out screens
constexpr int32_t kEventLeft = 8;
constexpr float kDegrees = 3.14159265f / 180.0f;

uint32_t RandomRestingLimit() {
    return uint32_t(float(TvRandom() & 0x3FF) * (1.0f / 1023.0f) * 2000.0f);
}

bool Position(int32_t scriptId, TvV3d* out) {
    MV2Object* o = MV2FindObjectByScriptID(scriptId);
    if (!o || !o->matrix) return false;
    *out = o->matrix->pos;
    return true;
}

void BuildCameraMatrix(TvMatrix* m) {
    TvV3d eye, target;
    if (!Position(kEye, &eye) || !Position(kTarget, &target)) return;
    TvV3d at = TvV3dSub(target, eye);
    if (TvV3dNormalize(&at, &at) == 0.0f) return;
    TvV3d up = {0.0f, 1.0f, 0.0f};
    TvV3d right = TvV3dCross(up, at);
    up = TvV3dCross(at, right);
    TvV3dNormalize(&right, &right);
    TvV3dNormalize(&up, &up);
    m->right = right, m->up = up, m->at = at, m->pos = eye;
}

// Turns a mover to face `direction` with world up as up.
void Face(MV2Object* o, TvV3d direction) {
    TvV3d at;
    if (TvV3dNormalize(&at, &direction) == 0.0f) return;
    TvV3d up = {0.0f, 1.0f, 0.0f};
    o->matrix->at = at;
    o->matrix->up = up;
    o->matrix->right = TvV3dCross(at, up);
}

void PlaceMover(const MV2ConsoleMover& m) {
    m.object->matrix->pos = TvV3dAdd(m.start, TvV3dScale(m.path, m.fraction));
    if (m.object->clump && m.object->clump->frame) TvFrameUpdateObjects(m.object->clump->frame);
}

void StepMover(MV2ConsoleMover& m, uint32_t dt) {
    if (!m.object || !m.object->matrix) return;
    m.resting += dt;
    if (m.direction == 0 && m.resting > m.restingLimit) {
        if ((TvRandom() & 127) >= 64) {
            m.direction = -1, m.fraction = 1.0f;
            Face(m.object, TvV3dScale(m.path, -1.0f));
        } else {
            m.direction = 1, m.fraction = 0.0f;
            Face(m.object, m.path);
        }
    }
    const bool moving = m.direction != 0;
    if (m.direction > 0) m.fraction += float(dt) * kMoverSpeed;
    if (m.direction < 0) m.fraction -= float(dt) * kMoverSpeed;
    if (moving && (m.fraction >= 1.0f || m.fraction < 0.0f)) {
        m.fraction = m.fraction >= 1.0f ? 1.0f : 0.0f;
        m.direction = 0;
        m.restingLimit = RandomRestingLimit();
        m.resting = 0;
    }
    PlaceMover(m);
}

void SwayCamera(uint32_t dt) {
    MV2Console& c = gMV2Console;
    TvFrame* frame = gMV2MainCamera ? gMV2MainCamera->object.frame : nullptr;
    c.swayClock += dt;
    if (!frame || !c.camera) return;
    TvMatrix* m = TvFrameGetMatrix(frame);
    *m = *c.camera;
    const float t = float(c.swayClock);
    const TvV3d xAxis = {1.0f, 0.0f, 0.0f}, yAxis = {0.0f, 1.0f, 0.0f};
    TvMatrixRotate(m, &xAxis, std::sin(t * 0.0072f * kDegrees), kTvCombinePreConcat);
    TvMatrixRotate(m, &yAxis, 0.5f * std::sin((t + 10000.0f) * 0.018f * kDegrees),
                   kTvCombinePreConcat);
    TvFrameUpdateObjects(frame);
}

// Steps 0 -> 1 -> 2 -> 0 (or back) past disabled options; from "none" the first step lands on
// 0 (or 2). None enabled that way: -1.
int32_t Step(int32_t from, int32_t direction) {
    const MV2ConsoleOption* o = gMV2Console.options;
    int32_t at = from;
    const int32_t tries = from == kMV2ConsoleNone ? 3 : 2;
    if (from == kMV2ConsoleNone) at = direction > 0 ? 2 : 0;
    for (int32_t i = 0; i < tries; ++i) {
        at = (at + (direction > 0 ? 1 : 2)) % 3;
        if (o[at].enabled) return at;
    }
    return -1;
}

int32_t ObjectType(MV2Object* o) {
    return o ? MV2HudObjectType(o) : -1;
}

void Carry(int32_t option) {
    MV2Console& c = gMV2Console;
    if (option < 0 || option >= kMV2ConsoleOptions || !c.options[option].enabled) return;
    MV2SetMouseCursorFrame(2);
    if (option == 0) {
        gMV2GameState.requested = 11;
    } else if (option == 1) {
        gMV2GameState.requested = 10;
        MV2ResetSounds();
        MV2StopAmbientLoop(kMV2AmbientPending);
    } else {
        gMV2GameState.requested = 0;
        if (MV2Object* sub = MV2GetPlayerSub()) MV2ObjectSendMessage(sub, 11, 1, 0);
        MV2NotifyScripts(nullptr, kEventLeft, 0);
        MV2PendingMission = 0;
        MV2BriefedMission = 0;
    }
}

bool Active(int32_t action) {
    return gMV2Controls.actions[action].active != 0;
}

} // namespace

MV2Console gMV2Console = {{kOptions[0], kOptions[1], kOptions[2]}, kMV2ConsoleNone, {}, -1,
                          nullptr, 0, 0, {}, 0, 0};

void MV2ConsoleEnableOptions(int32_t pending, int32_t briefed, int32_t row, int32_t subType) {
    MV2ConsoleOption* o = gMV2Console.options;
    o[0].enabled = o[1].enabled = o[2].enabled = 0;
    if (pending) {
        o[0].enabled = 1;
        if (briefed == pending) o[1].enabled = o[2].enabled = 1;
    } else {
        o[1].enabled = o[2].enabled = 1;
    }
    if (subType == kNoInterfaceType) o[1].enabled = 0;
    if (row == 19 && subType != 1) o[2].enabled = 0;
}

int32_t MV2ConsoleFirstSelection(int32_t cursorShown, int32_t pending, int32_t subType) {
    if (cursorShown) return kMV2ConsoleNone;
    if (pending) return 0;
    return subType == kNoInterfaceType ? 2 : 1;
}

int32_t MV2ConsoleMove(int32_t action, int32_t from, int32_t selection) {
    const bool none = selection == kMV2ConsoleNone;
    int32_t to = -1;
    auto refuse = [&](int32_t a, int32_t b = -2) {
        if (!none && (to == a || to == b)) to = -1;
    };
    switch (action) {
    case 33:
        if (from == 0 || from == kMV2ConsoleNone) to = Step(from, 1), refuse(0);
        break;
    case 32:
        if (from == 2) to = Step(from, 1);
        else if (from == 1 || from == kMV2ConsoleNone) to = Step(from, -1);
        refuse(1, 2);
        break;
    case 34:
        if (from == 0 || from == kMV2ConsoleNone) to = Step(from, -1), refuse(1);
        else if (from == 1) to = Step(from, 1), refuse(0);
        break;
    case 35:
        if (from == 2) to = Step(from, -1);
        else to = Step(from, 1), refuse(2, 0);
        break;
    default: break;
    }
    return to < 0 ? from : to;
}

void MV2ConsoleFitEquipment(MV2Object* sub, const MV2SubRecord* r, uint32_t previous,
                            uint32_t current) {
    if (!sub || !r || previous == current) return;
    auto isNew = [&](uint32_t entry) {
        const uint32_t level = entry >> 24;
        return level > previous && level <= current;
    };
    MV2SubData* data = sub->type && sub->type->privateDataSize >= sizeof(MV2SubData)
                           ? static_cast<MV2SubData*>(sub->privateData)
                           : nullptr;
    const MV2SubDefinition* def = MV2GetSubDefinition(sub);
    auto addWeapon = [&](uint32_t entry, int32_t mount) {
        const int32_t slot = MV2WeaponSlotOfItem(entry & 0xFFFFFF);
        if (data && slot >= 0) MV2AddWeapon(&data->weapons, data, def, slot, mount, sub);
    };
    for (int32_t i = 0; i < 4; ++i)
        if (isNew(r->weapons[i])) addWeapon(r->weapons[i], r->weaponMounts[i]);
    for (int32_t k = 0; k < 4; ++k)
        if (isNew(r->alternatives[k][0])) addWeapon(r->alternatives[k][0], k);
    for (uint32_t entry : r->tools) {
        if (!isNew(entry)) continue;
        const int32_t kind = MV2ToolKindOfItem(entry & 0xFFFFFF);
        if (kind >= 0) MV2ObjectSendMessage(sub, 48, kind, 0);
    }
}

void MV2EnterConsoleMode() {
    MV2Console& c = gMV2Console;
    MV2ResetSounds();
    MV2ResetMusic();
    if (MV2Object* sub = MV2GetPlayerSub()) {
        MV2SetObjectVisible(sub, 1);
        MV2SetTag69PartVisible(sub, 0);
        MV2ObjectSendMessage(sub, 11, 0, 0);
    }
    c.savedWorldCaustics = MV2GetWorldCaustics();
    c.savedAtomicCaustics = MV2GetAtomicCaustics();
    MV2SetWorldCaustics(0);
    MV2SetAtomicCaustics(0);
    if (!c.camera) c.camera = TvMatrixCreate();
    if (c.camera) BuildCameraMatrix(c.camera);
    c.swayClock = c.rippleClock = 0;
    for (int32_t k = 0; k < 2; ++k) {
        MV2ConsoleMover& m = c.movers[k];
        m = {};
        TvV3d end = {};
        const bool path = Position(kPathIds[k][0], &m.start) && Position(kPathIds[k][1], &end);
        if (path) m.path = TvV3dSub(end, m.start);
        const float at[3] = {m.start.x, m.start.y, m.start.z};
        m.object = path ? MV2CreateObject(kMoverType, at, nullptr) : nullptr;
        m.restingLimit = RandomRestingLimit();
    }
    MV2ClearInterfaceRasters();
}

void MV2StartConsole() {
    MV2Console& c = gMV2Console;
    MV2StartAmbientLoop("DOCKINGAMBIENT");
    for (MV2ConsoleOption& o : c.options) o.enabled = 0;
    c.selection = MV2ConsoleFirstSelection(MV2IsMouseCursorShown(), MV2PendingMission,
                                           ObjectType(MV2GetPlayerSub()));
    const uint32_t level = uint32_t(MV2GetEquipmentLevel());
    MV2ConsoleFitEquipment(MV2GetPlayerSub(), MV2GetCurrentSubRecord(), MV2LastEquipmentLevel,
                           level);
    MV2LastEquipmentLevel = level;
    MV2ShownAwardSlot = 0;
}

void MV2UpdateConsole() {
    MV2Console& c = gMV2Console;
    const uint32_t dt = MV2GetFrameMilliseconds();
    if (gMV2InterfaceShared.ambientChannel == kMV2AmbientPending)
        MV2StartAmbientLoop("DOCKINGAMBIENT");
    MV2RefreshAmbientLoop();
    SwayCamera(dt);
    for (MV2ConsoleMover& m : c.movers) StepMover(m, dt);
    c.rippleClock += dt;
    if (c.rippleClock > kRippleInterval) {
        const TvV3d origin = {}, direction = {0.0f, 1.0f, 0.0f};
        MV2AddRipple(&origin, &direction);
        c.rippleClock = 0;
    }
    MV2SetRippleSurfaceMode(1);
    MV2UpdateRipples();
    MV2SetRippleSurfaceMode(0);
    MV2Object* sub = MV2GetPlayerSub();
    MV2ConsoleEnableOptions(MV2PendingMission, MV2BriefedMission, MV2GetCurrentMission(),
                            ObjectType(sub));
    MV2PlacePlayerSubAtAnchor(0, 0);
    if (MV2IsHiddenMouseButtonDown()) MV2ShowMouseCursor();

    int32_t candidate = c.selection;
    bool over = false;
    if (MV2IsMouseCursorShown()) {
        int32_t x = 0, y = 0;
        MV2GetMousePosition(&x, &y);
        for (int32_t i = 0; i < kMV2ConsoleOptions && !over; ++i) {
            const MV2ConsoleOption& o = c.options[i];
            if (o.enabled && o.left < x && x < o.right && o.top < y && y < o.bottom)
                candidate = i, over = true;
        }
        if (!over) candidate = kMV2ConsoleNone;
        MV2SetMouseCursorFrame(over ? 1 : 0);
    } else {
        MV2SetMouseCursorFrame(0);
    }
    const MV2Action& select = gMV2Controls.actions[28];
    if (select.active && (select.value > 0.0f || (select.value < 0.0f && over))) Carry(candidate);
    for (int32_t action : {33, 32, 34, 35}) {
        if (!Active(action)) continue;
        MV2HideMouseCursor();
        candidate = MV2ConsoleMove(action, candidate, c.selection);
        break;
    }
    if (candidate != c.selection) {
        MV2PlayNamedSound("MENU");
        c.selection = candidate;
    }
}

void MV2RenderConsole() {
    MV2Console& c = gMV2Console;
    int32_t source = 0, destination = 0;
    TvRenderStateGet(kTvRenderStateSrcBlend, &source);
    TvRenderStateGet(kTvRenderStateDestBlend, &destination);
    MV2SetRippleSurfaceMode(0);
    TvRenderStateSet(kTvRenderStateSrcBlend, 2);
    TvRenderStateSet(kTvRenderStateDestBlend, 2);
    TvRenderStateSet(kTvRenderStateZTestEnable, 1);
    if (gMV2MainCamera) MV2DrawRipples(gMV2MainCamera);
    TvRenderStateSet(kTvRenderStateSrcBlend, source);
    TvRenderStateSet(kTvRenderStateDestBlend, destination);
    if (MV2MenuGetCurrentInstance()) return;
    float sx = 1.0f, sy = 1.0f;
    MV2GetScreenScale(&sx, &sy);
    for (int32_t i = 0; i < kMV2ConsoleOptions; ++i) {
        const MV2ConsoleOption& o = c.options[i];
        if (!o.enabled) continue;
        if (c.fetchedText != int32_t(o.textId)) {
            c.text.id = o.textId;
            MV2GetText(&c.text);
            c.fetchedText = int32_t(o.textId);
        }
        if (!MV2HudBeginDraw(0)) continue;
        MV2DrawHudOverlay();
        MV2Set2DColourARGB(i == c.selection ? 0xFFFFFFFFu : 0xFF8DCFF4u);
        const float x = float((o.left + o.right) / 2) * sx;
        const float y = float(o.top) * sy + 22.0f;
        MV2DrawText({x, y}, {float(c.text.width), 22.0f}, &c.text, 0, 8);
        MV2HudEndDraw();
    }
}

void MV2LeaveConsoleMode() {
    MV2Console& c = gMV2Console;
    if (MV2Object* o = MV2GetPlayerObject()) MV2SetObjectVisible(o, 0);
    MV2ResetMouseCursor();
    if (c.camera) TvMatrixDestroy(c.camera);
    c.camera = nullptr;
    for (MV2ConsoleMover& m : c.movers) {
        if (m.object) MV2ObjectSendMessage(m.object, 4, 0, 0);
        m.object = nullptr;
    }
    MV2SetWorldCaustics(c.savedWorldCaustics);
    MV2SetAtomicCaustics(c.savedAtomicCaustics);
    MV2ResetSounds();
    MV2StopAmbientLoop(kMV2AmbientNone);
    c.fetchedText = -1;
}
