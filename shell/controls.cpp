#include "shell/controls.h"

#include "engine/core/memory.h"
#include "engine/core/stream.h"
#include "game/frontend/menus.h"
#include "game/frontend/missionmap.h"
#include "game/player/player.h"
#include "platform/win32/files.h"
#include "platform/win32/win32.h"
#include "platform/winmm/winmm.h"
#include "shell/bytes.h"
#include "shell/cursor.h"
#include "shell/errors.h"
#include "shell/events.h"
#include "shell/gamestate.h"
#include "shell/input.h"
#include "shell/screendump.h"
#include "shell/sounds.h"
#include "shell/window.h"

#include <algorithm>
#include <cmath>
#include <cstring>

MV2Controls gMV2Controls;

namespace {

constexpr int32_t kBindingsPerChunk = 512;
constexpr int32_t kItemsPerChunk = 768;
constexpr int32_t kMaxCurves = 12;
constexpr size_t kCurveSkip = 256;

constexpr int32_t kActionConfirm = 14;
constexpr int32_t kActionCursorButton0 = 28;
constexpr int32_t kActionCursorButton1 = 29;
constexpr int32_t kActionCursorX = 30;
constexpr int32_t kActionCursorY = 31;
constexpr int32_t kActionMapScrollOn = 37;
constexpr int32_t kActionMapScrollOff = 38;
constexpr int32_t kActionDisplayFlag = 40;
constexpr int32_t kActionOwnCraft = 41;
constexpr int32_t kActionDump = 50;
constexpr int32_t kActionSkip = 51;

bool EnsureLists() {
    MV2Controls& c = gMV2Controls;
    if (!c.bindingList) c.bindingList = TvFreeListCreate(sizeof(MV2ControlBinding), kBindingsPerChunk);
    if (!c.itemList) c.itemList = TvFreeListCreate(sizeof(MV2ControlItem), kItemsPerChunk);
    return c.bindingList && c.itemList;
}

void FreeBindingChain(MV2ControlBinding* binding) {
    while (binding) {
        MV2ControlBinding* next = binding->next;
        for (MV2ControlItem* item = binding->items; item;) {
            MV2ControlItem* nextItem = item->next;
            TvFreeListFree(gMV2Controls.itemList, item);
            item = nextItem;
        }
        TvFreeListFree(gMV2Controls.bindingList, binding);
        binding = next;
    }
}

void SetCurvesToOne(float (*curves)[kMV2CurveSize]) {
    for (int32_t a = 0; a < kMV2ControlAxes; ++a)
        for (int32_t i = 0; i < kMV2CurveSize; ++i)
            curves[a][i] = 1.0f;
}

// Little-endian fields of the controls file.
bool ReadU32(TvStream* s, uint32_t* out) {
    uint8_t b[4];
    if (TvStreamRead(s, b, 4) != 4) return false;
    *out = MV2ReadU32(b);
    return true;
}
bool ReadI32(TvStream* s, int32_t* out) {
    uint32_t v;
    if (!ReadU32(s, &v)) return false;
    *out = int32_t(v);
    return true;
}
bool ReadF32(TvStream* s, float* out) {
    uint32_t v;
    if (!ReadU32(s, &v)) return false;
    std::memcpy(out, &v, 4);
    return true;
}
bool WriteU32(TvStream* s, uint32_t v) {
    uint8_t b[4];
    MV2WriteU32(b, v);
    return TvStreamWrite(s, b, 4) != nullptr;
}
bool WriteF32(TvStream* s, float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    return WriteU32(s, v);
}

// One binding and its items, appended to `tail`; false on a bad or cut record.
bool ReadBinding(TvStream* s, MV2ControlBinding*** tail) {
    int32_t action;
    float scale;
    uint32_t axisFlag;
    if (!ReadI32(s, &action) || !ReadF32(s, &scale) || !ReadU32(s, &axisFlag)) return false;
    if (action < 0 || action >= kMV2Actions) return false;
    auto* b = static_cast<MV2ControlBinding*>(TvFreeListAlloc(gMV2Controls.bindingList));
    if (!b) return false;
    *b = {};
    b->action = action;
    b->scale = scale;
    b->axisFlag = axisFlag;
    **tail = b;
    *tail = &b->next;
    if (axisFlag) {
        for (int32_t& w : b->axisWords)
            if (!ReadI32(s, &w)) return false;
        if (b->axisWords[1] < 0 || b->axisWords[1] >= kMV2ControlAxes) return false;
    }
    uint32_t count;
    if (!ReadU32(s, &count)) return false;
    MV2ControlItem** itemTail = &b->items;
    for (uint32_t i = 0; i < count; ++i) {
        int32_t words[4];
        for (int32_t& w : words)
            if (!ReadI32(s, &w)) return false;
        if (words[0] < 0 || words[0] >= kMV2InputCodes) return false;
        auto* item = static_cast<MV2ControlItem*>(TvFreeListAlloc(gMV2Controls.itemList));
        if (!item) return false;
        *item = {words[0], nullptr, words[1], words[2], words[3]};
        *itemTail = item;
        itemTail = &item->next;
        ++b->itemCount;
    }
    return true;
}

// The sections and curves of an open file, read into `sections` and `curves`.
bool ReadBody(TvStream* s, MV2ControlSection* sections, float (*curves)[kMV2CurveSize]) {
    uint32_t numSections;
    if (!ReadU32(s, &numSections)) return false;
    for (uint32_t i = 0; i < numSections; ++i) {
        uint32_t id, count;
        if (!ReadU32(s, &id) || !ReadU32(s, &count)) return false;
        if (id >= uint32_t(kMV2ControlSections)) return false;
        MV2ControlSection& section = sections[id];
        MV2ControlBinding** tail = &section.first;
        while (*tail)
            tail = &(*tail)->next;
        for (uint32_t j = 0; j < count; ++j) {
            if (!ReadBinding(s, &tail)) return false;
            ++section.count;
        }
    }
    SetCurvesToOne(curves);
    uint32_t numCurves;
    if (!ReadU32(s, &numCurves)) return false;
    for (uint32_t i = 0; i < numCurves; ++i) {
        uint32_t index;
        if (!ReadU32(s, &index) || index >= uint32_t(kMaxCurves)) return false;
        if (TvStreamSkip(s, kCurveSkip) == nullptr) return false;
        for (float& v : curves[index])
            if (!ReadF32(s, &v)) return false;
    }
    return true;
}

bool WriteBody(TvStream* s, uint32_t numSections) {
    const MV2Controls& c = gMV2Controls;
    if (!WriteU32(s, kMV2ControlsVersion) || !WriteU32(s, numSections)) return false;
    for (int32_t id = 0; id < kMV2ControlSections; ++id) {
        const MV2ControlSection& section = c.sections[id];
        if (section.count <= 0) continue;
        if (!WriteU32(s, uint32_t(id)) || !WriteU32(s, uint32_t(section.count))) return false;
        for (const MV2ControlBinding* b = section.first; b; b = b->next) {
            if (!WriteU32(s, uint32_t(b->action)) || !WriteF32(s, b->scale) ||
                !WriteU32(s, b->axisFlag))
                return false;
            if (b->axisFlag)
                for (int32_t w : b->axisWords)
                    if (!WriteU32(s, uint32_t(w))) return false;
            if (!WriteU32(s, uint32_t(b->itemCount))) return false;
            for (const MV2ControlItem* item = b->items; item; item = item->next)
                for (int32_t w : {item->code, item->wanted, item->edgeMode, item->word3})
                    if (!WriteU32(s, uint32_t(w))) return false;
        }
    }
    static const uint8_t zeros[kCurveSkip] = {};
    if (!WriteU32(s, kMaxCurves)) return false;
    for (int32_t i = 0; i < kMaxCurves; ++i) {
        if (!WriteU32(s, uint32_t(i)) || !TvStreamWrite(s, zeros, sizeof zeros)) return false;
        for (float v : c.curves[i])
            if (!WriteF32(s, v)) return false;
    }
    return true;
}

// The state of an input code now: keys from the key-state table, the rest as the event
// handler keeps them.
int32_t InputState(int32_t code) {
    if (code < 256) return gMV2KeyStates[code] & MV2_KEY_HELD;
    return gMV2Controls.state[code];
}

bool ItemHolds(const MV2ControlItem& item) {
    MV2Controls& c = gMV2Controls;
    int32_t code = item.code;
    if (code < 0 || code >= kMV2InputCodes) return false;
    int32_t now = InputState(code);
    if (now != c.previous[code]) {
        c.edge[code] |= now ? 1 : 2;
        c.previous[code] = now;
    }
    if (!c.enabled[code]) return false;
    if (item.edgeMode) return (c.edge[code] & (item.wanted ? 1 : 2)) != 0;
    return now == item.wanted;
}

bool MenuOpen() {
    return MV2MenuGetCurrentInstance() != nullptr;
}

// An axis value as a whole number of pixels: a value from a controls file's scale can be huge
// or not a number, which no conversion to int may see.
int32_t Pixels(float v) {
    if (!(v == v)) return 0;
    return int32_t(std::clamp(v, -1.0e6f, 1.0e6f));
}

void MoveCursor() {
    const MV2Action* a = gMV2Controls.actions;
    if (a[kActionCursorX].active || a[kActionCursorY].active)
        MV2MouseMoved(Pixels(a[kActionCursorX].value), Pixels(a[kActionCursorY].value));
}

void GlobalCommands() {
    MV2Controls& c = gMV2Controls;
    const MV2Action* a = c.actions;
    if (a[kActionDump].active) MV2ScreenDump(nullptr);
    if (a[kActionDisplayFlag].active) c.displayFlag = !c.displayFlag;
    if (MenuOpen()) return;
    if (a[kActionConfirm].active) MV2MenuOpenTop();
    if (a[kActionOwnCraft].active && MV2GetPlayerObject() != MV2GetPlayerSub())
        MV2TakeControlOfCraft(MV2GetPlayerSub());
    static constexpr int32_t commandActions[7] = {42, 43, 44, 45, 46, 47, 52};
    for (int32_t i = 0; i < 7; ++i) {
        if (!a[commandActions[i]].active || !c.commands[i]) continue;
        MV2ExecuteCommand(c.commands[i]);
        c.lastCommand = c.commands[i];
    }
}

void HandlerGlobal() {
    GlobalCommands();
}

void HandlerGlobalAndCursor() {
    GlobalCommands();
    MoveCursor();
}

void HandlerMap() {
    const MV2Action* a = gMV2Controls.actions;
    GlobalCommands();
    MoveCursor();
    if (!MenuOpen() && !MV2IsMouseCursorShown()) MV2ShowMouseCursor();
    if (a[kActionMapScrollOn].active) MV2MapSetFreeScroll(1);
    if (a[kActionMapScrollOff].active) MV2MapSetFreeScroll(0);
    MV2SetMouseMode(a[kActionCursorButton0].active ? 0 : 1);
    MV2MouseButton(0, a[kActionCursorButton0].active);
    MV2MouseButton(1, a[kActionCursorButton1].active);
}

// Title pictures and cut-scenes: the prompt of state 6 and the cut-scene of state 8 give way
// to the title menu.
void HandlerSequence() {
    MV2Controls& c = gMV2Controls;
    const MV2Action* a = c.actions;
    c.skipRequest = a[kActionConfirm].active || a[kActionSkip].active;
    bool gameOver = MV2GetGameOverState() != 0;
    bool leave = false;
    if (gMV2GameState.sequence == 6 && !MenuOpen() && a[kActionSkip].active && !gameOver)
        leave = true;
    if (gMV2GameState.sequence == 8 && a[kActionConfirm].active && !gameOver) leave = true;
    if (leave) MV2RequestModeAndSequence(8, 7);
}

void HandlerMenu() {
    const MV2Action* a = gMV2Controls.actions;
    MoveCursor();
    MV2MouseButton(0, a[kActionCursorButton0].active);
    MV2MouseButton(1, a[kActionCursorButton1].active);
    MV2MenuHandleInput();
}

using SectionHandler = void (*)();
constexpr SectionHandler kHandlers[kMV2ControlSections] = {
    HandlerGlobal,          HandlerMap,      HandlerGlobalAndCursor, HandlerGlobalAndCursor,
    HandlerGlobalAndCursor, HandlerGlobalAndCursor, HandlerGlobalAndCursor, HandlerSequence,
    HandlerSequence,        HandlerGlobalAndCursor, HandlerGlobalAndCursor, HandlerSequence,
    HandlerGlobal,          HandlerGlobal,   HandlerGlobal,          HandlerGlobal,
    HandlerMenu,            HandlerMenu};

bool TimePassed(uint32_t time) {
    return int32_t(timeGetTime() - time) >= 0;
}

int32_t LayoutForLanguage(uint16_t language) {
    switch (language) {
    case 1031: return 2;
    case 1033: return 7;
    case 1036: return 1;
    case 1040: return 3;
    default: return 0;
    }
}

void SetInput(int32_t code, int32_t value) {
    if (code >= 0 && code < kMV2InputCodes) gMV2Controls.state[code] = value;
}

} // namespace

void MV2InitialiseControls() {
    MV2Controls& c = gMV2Controls;
    MV2SetEventCallback(MV2ControlsEventHandler);
    MV2PlatformRequest(10, 0, 0, 0);
    MV2PlatformRequest(1, 0, 0, 0);
    MV2PlatformRequest(20, 0, 0, 0);
    MV2PlatformRequest(30, 0, 0, 0);
    EnsureLists();
    for (int32_t i = 0; i < kMV2ControlSections; ++i)
        c.sections[i].id = i;
    SetCurvesToOne(c.curves);
    std::memset(c.enabled, 1, sizeof c.enabled);
    c.disabledCount = 0;
    HKL layout = GetKeyboardLayout(0);
    c.layout = LayoutForLanguage(uint16_t(uintptr_t(layout) & 0xFFFF));
    MV2PlatformRequest(172, 0, 0, c.layout);
}

void MV2ShutdownControls() {
    MV2Controls& c = gMV2Controls;
    MV2PlatformRequest(11, 0, 0, 0);
    MV2PlatformRequest(2, 0, 0, 0);
    MV2PlatformRequest(21, 0, 0, 0);
    MV2PlatformRequest(31, 0, 0, 0);
    // The blocks go with their lists.
    for (MV2ControlSection& s : c.sections)
        s.count = 0, s.first = nullptr;
    if (c.bindingList) TvFreeListDestroy(c.bindingList);
    if (c.itemList) TvFreeListDestroy(c.itemList);
    c.bindingList = nullptr;
    c.itemList = nullptr;
}

int32_t MV2ControlsEventHandler(uint32_t event, intptr_t a, intptr_t b, int32_t c) {
    MV2Controls& ctl = gMV2Controls;
    switch (event) {
    case MV2_EVENT_LBUTTON_DOWN:
    case MV2_EVENT_LBUTTON_UP: SetInput(kMV2MouseButtonCode, event == MV2_EVENT_LBUTTON_DOWN); return 1;
    case MV2_EVENT_RBUTTON_DOWN:
    case MV2_EVENT_RBUTTON_UP:
        SetInput(kMV2MouseButtonCode + 1, event == MV2_EVENT_RBUTTON_DOWN);
        return 1;
    case MV2_EVENT_MBUTTON_DOWN:
    case MV2_EVENT_MBUTTON_UP:
        SetInput(kMV2MouseButtonCode + 2, event == MV2_EVENT_MBUTTON_DOWN);
        return 1;
    case MV2_EVENT_MOUSE_MOVE:
        if (b) {
            const auto* pair = reinterpret_cast<const POINT*>(b);
            ctl.axes[kMV2AxisMouseX] = float(pair->x);
            ctl.axes[kMV2AxisMouseX + 1] = float(pair->y);
            ctl.axisActive[kMV2AxisMouseX] = ctl.axisActive[kMV2AxisMouseX + 1] = 1;
        }
        return 1;
    case MV2_EVENT_KEY_DOWN:
        if (c != MV2_NO_KEY) MV2KeyPressed(uint32_t(c));
        return 1;
    case MV2_EVENT_KEY_UP:
        if (c != MV2_NO_KEY) MV2KeyReleased(uint32_t(c));
        return 1;
    case MV2_EVENT_JOYSTICK: {
        if (!b || c < 1 || c > kMV2Joysticks) return 1;
        const auto* s = reinterpret_cast<const MV2JoystickState*>(b);
        if (c == 1) {
            const float values[8] = {s->x, s->y, s->z, s->rx, s->ry, s->rz, s->sliders[0],
                                     s->sliders[1]};
            for (int32_t i = 0; i < 8; ++i) {
                ctl.axes[kMV2AxisJoystickX + i] = values[i];
                ctl.axisActive[kMV2AxisJoystickX + i] = 1;
            }
        }
        int32_t first = kMV2JoystickButtonCode + kMV2JoystickButtons * (c - 1);
        for (int32_t i = 0; i < kMV2JoystickButtons; ++i)
            SetInput(first + i, (s->buttons >> i) & 1);
        return 1;
    }
    case MV2_EVENT_CENTRE_CURSOR:
    case MV2_EVENT_MOUSE_OFF:
    case MV2_EVENT_KEYBOARD_ON:
    case MV2_EVENT_KEYBOARD_OFF:
    case MV2_EVENT_OPEN_INPUT:
    case MV2_EVENT_CLOSE_INPUT:
    case MV2_EVENT_TIMER_ON:
    case MV2_EVENT_TIMER_OFF: return MV2PlatformEventHandler(event, a, b, c);
    default: return MV2PlatformRequest(event, a, b, c);
    }
}

int32_t MV2ReadControlStream(TvStream* s) {
    if (!s || !EnsureLists()) return 0;
    uint32_t version = 0;
    if (!ReadU32(s, &version) || version != kMV2ControlsVersion) {
        MV2ErrorBox("Control File out of date");
        return 0;
    }
    // Read into new lists; a bad file leaves the bindings as they were.
    MV2ControlSection sections[kMV2ControlSections] = {};
    static float curves[kMV2ControlAxes][kMV2CurveSize];
    if (!ReadBody(s, sections, curves)) {
        for (MV2ControlSection& section : sections)
            FreeBindingChain(section.first);
        return 0;
    }
    MV2Controls& c = gMV2Controls;
    for (int32_t i = 0; i < kMV2ControlSections; ++i) {
        FreeBindingChain(c.sections[i].first);
        c.sections[i] = sections[i];
        c.sections[i].id = i;
    }
    std::memcpy(c.curves, curves, sizeof curves);
    return 1;
}

int32_t MV2ReadControlFile(const char* path) {
    TvStream* s = TvStreamOpen(TV_STREAM_FILENAME, TV_STREAM_READ, path);
    if (!s) return 0;
    int32_t result = MV2ReadControlStream(s);
    TvStreamClose(s, nullptr);
    return result;
}

int32_t MV2WriteControlFile(const char* path) {
    uint32_t numSections = 0;
    for (const MV2ControlSection& s : gMV2Controls.sections)
        if (s.count > 0) ++numSections;
    // Nothing to write: the user's file is kept.
    if (numSections == 0) return 0;
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    TvStream* s = TvStreamOpen(TV_STREAM_FILENAME, TV_STREAM_WRITE, path);
    if (!s) {
        SetFileAttributesA(path, FILE_ATTRIBUTE_READONLY);
        return 0;
    }
    bool ok = WriteBody(s, numSections);
    ok = TvStreamClose(s, nullptr) && ok;
    SetFileAttributesA(path, FILE_ATTRIBUTE_READONLY);
    return ok ? 1 : 0;
}

void MV2ResetControls(uint32_t time) {
    MV2Controls& c = gMV2Controls;
    std::memset(c.enabled, 0, sizeof c.enabled);
    c.disabledCount = kMV2InputCodes;
    std::memset(c.actions, 0, sizeof c.actions);
    c.enableTime = time;
}

void MV2ResetControlsSoon() {
    MV2ResetControls(timeGetTime() + kMV2ControlsHoldOffMs);
}

void MV2ProcessControls(int32_t section) {
    MV2Controls& c = gMV2Controls;
    std::memset(c.actions, 0, sizeof c.actions);
    if (MenuOpen()) section = 16;
    if (c.consoleFlag) {
        section = 3;
        c.consoleShown = 0;
    }
    if (section >= 0 && section < kMV2ControlSections) {
        for (MV2ControlBinding* b = c.sections[section].first; b; b = b->next) {
            if (b->action < 0 || b->action >= kMV2Actions) continue;
            bool holds = true;
            for (MV2ControlItem* item = b->items; item && holds; item = item->next)
                holds = ItemHolds(*item);
            if (!holds) continue;
            MV2Action& a = c.actions[b->action];
            if (!b->axisFlag) {
                a.active = 1;
                a.value = b->scale;
                continue;
            }
            int32_t axis = b->axisWords[1];
            if (axis < 0 || axis >= kMV2ControlAxes || !c.axisActive[axis]) continue;
            float v = c.axes[axis];
            a.active = 1;
            a.axis = 1;
            if (axis <= 2) {
                a.value = v * b->scale;
            } else {
                float index = std::fabs(std::trunc(v * 255.0f));
                int32_t i = index >= 255.0f || std::isnan(index) ? 255 : int32_t(index);
                a.value = c.curves[axis][i] * b->scale * v;
            }
        }
    }
    if (c.disabledCount > 0 && TimePassed(c.enableTime)) {
        for (int32_t code = 0; code < kMV2InputCodes; ++code) {
            if (!c.enabled[code] && !c.edge[code] && !InputState(code)) {
                c.enabled[code] = 1;
                --c.disabledCount;
            }
        }
    }
    std::memset(c.edge, 0, sizeof c.edge);
    std::memset(c.axisActive, 0, sizeof c.axisActive);
    if (c.consoleFlag) return;
    if (section < 0 || section >= kMV2ControlSections) {
        MV2DebugPrint("ControlSectionHandler does not exist\n");
        return;
    }
    kHandlers[section]();
}

MV2ControlBinding* MV2FindBinding(MV2ControlSection* section, int32_t action) {
    if (!section) return nullptr;
    for (MV2ControlBinding* b = section->first; b; b = b->next)
        if (b->action == action) return b;
    return nullptr;
}

MV2ControlBinding* MV2FindNextBinding(MV2ControlBinding* binding, int32_t action) {
    for (MV2ControlBinding* b = binding ? binding->next : nullptr; b; b = b->next)
        if (b->action == action) return b;
    return nullptr;
}

int32_t MV2IsKeyBindable(int32_t code) {
    if (code >= 300) return 1;
    if (code >= 97 && code <= 122 && code != 108) return 1;
    if ((code >= 141 && code <= 167) || (code >= 171 && code <= 173) || code == 175) return 1;
    static const int32_t layout1[] = {33, 36, 42, 44, 58, 59, 60, 94, 249};
    static const int32_t layout2[] = {35, 43, 44, 45, 46, 60, 228, 246, 252};
    static const int32_t layout3[] = {43, 44, 45, 46, 60, 224, 232, 242, 249};
    static const int32_t layout7[] = {39, 44, 46, 47, 59, 91, 93};
    static const int32_t other[] = {39, 44, 46, 47, 59, 91, 92, 93};
    auto in = [code](const auto& list) {
        for (int32_t v : list)
            if (v == code) return true;
        return false;
    };
    bool yes;
    switch (gMV2Controls.layout) {
    case 1: yes = in(layout1); break;
    case 2: yes = in(layout2); break;
    case 3: yes = in(layout3); break;
    case 7: yes = in(layout7); break;
    default: yes = in(other); break;
    }
    if (yes) return 1;
    MV2PlayInterfaceSound(181); // MAPNOTAVAILABLE
    return 0;
}

MV2ControlBinding* MV2AddBinding(int32_t section, int32_t action, float scale) {
    if (section < 0 || section >= kMV2ControlSections || !EnsureLists()) return nullptr;
    auto* b = static_cast<MV2ControlBinding*>(TvFreeListAlloc(gMV2Controls.bindingList));
    if (!b) return nullptr;
    *b = {};
    b->action = action;
    b->scale = scale;
    MV2ControlSection& s = gMV2Controls.sections[section];
    MV2ControlBinding** tail = &s.first;
    while (*tail)
        tail = &(*tail)->next;
    *tail = b;
    ++s.count;
    return b;
}

MV2ControlItem* MV2AddBindingItem(MV2ControlBinding* binding, int32_t code, int32_t wanted,
                                  int32_t edgeMode) {
    if (!binding || !EnsureLists()) return nullptr;
    auto* item = static_cast<MV2ControlItem*>(TvFreeListAlloc(gMV2Controls.itemList));
    if (!item) return nullptr;
    *item = {code, nullptr, wanted, edgeMode, 0};
    MV2ControlItem** tail = &binding->items;
    while (*tail)
        tail = &(*tail)->next;
    *tail = item;
    ++binding->itemCount;
    return item;
}

void MV2ClearBindings() {
    for (MV2ControlSection& s : gMV2Controls.sections) {
        FreeBindingChain(s.first);
        s.first = nullptr;
        s.count = 0;
    }
}

void MV2ClearInputTable() {
    MV2Controls& c = gMV2Controls;
    std::memset(c.state, 0, sizeof c.state);
    std::memset(c.previous, 0, sizeof c.previous);
    std::memset(c.edge, 0, sizeof c.edge);
}
