#include "shell/events.h"

#include "platform/win32/win32.h"
#include "platform/winmm/winmm.h"
#include "shell/input.h"
#include "shell/window.h"

#include <array>
#include <cstring>

namespace {
using KeyTable = std::array<uint8_t, 256>;

struct KeyDiff {
    uint8_t raw;
    uint8_t key;
};

KeyTable BuildBaseTable() {
    KeyTable t;
    t.fill(MV2_NO_KEY);
    static const struct {
        uint8_t code, raw;
    } special[] = {
        {0x80, 0x01}, {0x81, 0x3B}, {0x82, 0x3C}, {0x83, 0x3D}, {0x84, 0x3E}, {0x85, 0x3F},
        {0x86, 0x40}, {0x87, 0x41}, {0x88, 0x42}, {0x89, 0x43}, {0x8A, 0x44}, {0x8B, 0x57},
        {0x8C, 0x58}, {0x8D, 0xD2}, {0x8E, 0xD3}, {0x8F, 0xC7}, {0x90, 0xCF}, {0x91, 0xC9},
        {0x92, 0xD1}, {0x93, 0xC8}, {0x94, 0xD0}, {0x95, 0xCB}, {0x96, 0xCD}, {0x97, 0x52},
        {0x98, 0x53}, {0x99, 0x47}, {0x9A, 0x4F}, {0x9B, 0x49}, {0x9C, 0x51}, {0x9D, 0x48},
        {0x9E, 0x50}, {0x9F, 0x4B}, {0xA0, 0x4D}, {0xA1, 0xC5}, {0xA2, 0xB5}, {0xA3, 0x37},
        {0xA4, 0x4A}, {0xA5, 0x4E}, {0xA6, 0x9C}, {0xA7, 0x4C}, {0xA8, 0x0E}, {0xA9, 0x0F},
        {0xAA, 0x3A}, {0xAB, 0x1C}, {0xAC, 0x2A}, {0xAD, 0x36}, {0xAE, 0x1D}, {0xAF, 0x9D},
        {0xB0, 0x38}, {0xB1, 0xB8},
    };
    for (const auto& s : special) t[s.raw] = s.code;
    const char* digits = "1234567890-=";
    for (int i = 0; i < 12; ++i) t[0x02 + i] = static_cast<uint8_t>(digits[i]);
    const char* row1 = "qwertyuiop[]";
    for (int i = 0; i < 12; ++i) t[0x10 + i] = static_cast<uint8_t>(row1[i]);
    const char* row2 = "asdfghjkl;'`";
    for (int i = 0; i < 12; ++i) t[0x1E + i] = static_cast<uint8_t>(row2[i]);
    t[0x2B] = '#';
    const char* row3 = "zxcvbnm,./";
    for (int i = 0; i < 10; ++i) t[0x2C + i] = static_cast<uint8_t>(row3[i]);
    t[0x39] = ' ';
    t[0x56] = '\\';
    return t;
}

KeyTable WithDiffs(const KeyTable& base, std::initializer_list<KeyDiff> diffs) {
    KeyTable t = base;
    for (const KeyDiff& d : diffs) t[d.raw] = d.key;
    return t;
}

struct KeyTables {
    KeyTable slots[7];
    const uint8_t* bySlot[8];
    KeyTables() {
        const KeyTable base = BuildBaseTable();
        slots[0] = base;
        slots[1] = WithDiffs(base, {{0x0C, 0x29}, {0x10, 0x61}, {0x11, 0x7A}, {0x1A, 0x5E},
                                    {0x1B, 0x24}, {0x1E, 0x71}, {0x27, 0x6D}, {0x28, 0xF9},
                                    {0x29, 0xB2}, {0x2B, 0x2A}, {0x2C, 0x77}, {0x32, 0x2C},
                                    {0x33, 0x3B}, {0x34, 0x3A}, {0x35, 0x21}, {0x56, 0x3C}});
        slots[2] = WithDiffs(base, {{0x0C, 0xDF}, {0x0D, 0x27}, {0x15, 0x7A}, {0x1A, 0xFC},
                                    {0x1B, 0x2B}, {0x27, 0xF6}, {0x28, 0xE4}, {0x29, 0x5E},
                                    {0x2C, 0x79}, {0x35, 0x2D}, {0x56, 0x3C}});
        slots[3] = WithDiffs(base, {{0x0C, 0x27}, {0x0D, 0x7C}, {0x1A, 0xE8}, {0x1B, 0x2B},
                                    {0x27, 0xF2}, {0x28, 0xE0}, {0x29, 0x5C}, {0x2B, 0xF9},
                                    {0x35, 0x2D}, {0x56, 0x3C}});
        slots[4] = WithDiffs(base, {{0x0C, 0x27}, {0x0D, 0x7C}, {0x27, 0x6E}, {0x28, 0x7B},
                                    {0x29, 0x7D}, {0x2B, 0x3C}, {0x35, 0x2D}, {0x56, 0xFF}});
        slots[5] = WithDiffs(base, {{0x0D, 0x5E}, {0x1A, 0x40}, {0x1B, 0x5B}, {0x28, 0x3A},
                                    {0x29, 0x80}, {0x2B, 0x5D}});
        slots[6] = WithDiffs(base, {{0x2B, 0x5C}});
        // Slots 0 and 6 share the base table; slot 7 is the last distinct one.
        const int map[8] = {0, 1, 2, 3, 4, 5, 0, 6};
        for (int i = 0; i < 8; ++i) bySlot[i] = slots[map[i]].data();
    }
};

const KeyTables& Tables() {
    static const KeyTables tables;
    return tables;
}
} // namespace

MV2EventState gMV2Events = {MV2IgnoreEvent, 0, 0, 0, 0, nullptr, 0, 0};
uint8_t gMV2KeyStates[256];

int32_t MV2IgnoreEvent(uint32_t, intptr_t, intptr_t, int32_t) { return 1; }

void MV2SetEventCallback(MV2EventCallback callback) {
    gMV2Events.callback = callback ? callback : MV2IgnoreEvent;
}

int32_t MV2SendEvent(uint32_t event, intptr_t a, intptr_t b, int32_t c) {
    MV2EventCallback cb = gMV2Events.callback ? gMV2Events.callback : MV2IgnoreEvent;
    return cb(event, a, b, c);
}

const uint8_t* MV2GetKeyboardTable(int32_t slot) {
    if (slot < 0 || slot > 7) return nullptr;
    return Tables().bySlot[slot];
}

int32_t MV2KeyboardLayoutForLanguage(uint16_t languageId) {
    switch (languageId) {
    case 1031: return 2;
    case 1033: return 7;
    case 1036: return 1;
    case 1040: return 3;
    default: return 0;
    }
}

int32_t MV2PlatformRequest(uint32_t request, intptr_t a, intptr_t b, int32_t c) {
    // Each request sets or clears one enable flag (or none) and sends its platform event.
    struct Row {
        uint32_t request;
        int32_t MV2EventState::*flag;
        int32_t value;
        uint32_t event;
    };
    static const Row rows[] = {
        {1, &MV2EventState::mouseEvents, 1, MV2_EVENT_CENTRE_CURSOR},
        {2, &MV2EventState::mouseEvents, 0, MV2_EVENT_MOUSE_OFF},
        {10, &MV2EventState::keyboardEvents, 1, MV2_EVENT_KEYBOARD_ON},
        {11, &MV2EventState::keyboardEvents, 0, MV2_EVENT_KEYBOARD_OFF},
        {20, &MV2EventState::joystickFlag, 1, MV2_EVENT_OPEN_INPUT},
        {21, &MV2EventState::joystickFlag, 0, MV2_EVENT_CLOSE_INPUT},
        {30, &MV2EventState::timerQueries, 1, MV2_EVENT_TIMER_ON},
        {31, &MV2EventState::timerQueries, 0, MV2_EVENT_TIMER_OFF},
        {32, nullptr, 0, MV2_EVENT_TIME_QUERY},
    };
    for (const Row& row : rows) {
        if (row.request != request) continue;
        if (row.flag) gMV2Events.*row.flag = row.value;
        if (request == 10) MV2ResetKeyStates();
        MV2SendEvent(row.event, a, b, c);
        return 1;
    }
    return MV2PlatformEventHandler(request, a, b, c);
}

int32_t MV2PlatformEventHandler(uint32_t event, intptr_t a, intptr_t, int32_t c) {
    switch (event) {
    case MV2_EVENT_CENTRE_CURSOR: {
        RECT clip{};
        GetClipCursor(&clip);
        gMV2Window.centre.x = (clip.left + clip.right) >> 1;
        gMV2Window.centre.y = (clip.top + clip.bottom) >> 1;
        SetCursorPos(gMV2Window.centre.x, gMV2Window.centre.y);
        return 1;
    }
    case MV2_EVENT_RAW_KEY_DOWN:
    case MV2_EVENT_RAW_KEY_UP: {
        const uint8_t* table = gMV2Events.keyboardTable ? gMV2Events.keyboardTable
                                                        : MV2GetKeyboardTable(0);
        // Raw keys are one byte; anything else has no key.
        uint8_t key = (c >= 0 && c <= 0xFF) ? table[c] : MV2_NO_KEY;
        MV2SendEvent(event == MV2_EVENT_RAW_KEY_DOWN ? MV2_EVENT_KEY_DOWN : MV2_EVENT_KEY_UP, 0, 0,
                     key);
        return 1;
    }
    case MV2_EVENT_OPEN_INPUT:
        gMV2Window.joystickCount = MV2OpenInputDevices(gMV2Window.instance);
        return 1;
    case MV2_EVENT_CLOSE_INPUT:
        MV2CloseInputDevices();
        return 1;
    case MV2_EVENT_KEEP_ALIVE:
        gMV2Events.keepAliveCount = (gMV2Events.keepAliveCount + 1) % 16;
        if (gMV2Events.keepAliveCount == 0) SendMessageA(gMV2Window.window, WM_KEYDOWN, 0, 1);
        return 1;
    case MV2_EVENT_TIMER_ON:
        timeBeginPeriod(1);
        return 1;
    case MV2_EVENT_TIMER_OFF:
        timeEndPeriod(1);
        return 1;
    case MV2_EVENT_TIME_QUERY:
        if (!gMV2Events.timerQueries || a == 0) return 0;
        *reinterpret_cast<uint32_t*>(a) = timeGetTime();
        return 1;
    case MV2_EVENT_KEYBOARD_LAYOUT:
        // Unsigned compare: a negative layout number is refused like one of 8 or more.
        if (static_cast<uint32_t>(c) >= 8) return 0;
        gMV2Events.layout = c;
        gMV2Events.keyboardTable = MV2GetKeyboardTable(c);
        return 1;
    default:
        return 1;
    }
}

int32_t MV2ResetKeyStates() {
    memset(gMV2KeyStates, 0, sizeof(gMV2KeyStates));
    return 1;
}

void MV2KeyPressed(uint32_t key) {
    uint8_t& s = gMV2KeyStates[key & 0xFF];
    if (!(s & MV2_KEY_HELD)) s |= MV2_KEY_PRESSED;
    s |= MV2_KEY_HELD;
}

void MV2KeyReleased(uint32_t key) { gMV2KeyStates[key & 0xFF] &= ~MV2_KEY_HELD; }

int32_t MV2TestKeyState(uint32_t key, uint8_t mask) {
    return (gMV2KeyStates[key & 0xFF] & mask) ? 1 : 0;
}

void MV2ClearKeyStateBits(uint8_t mask) {
    for (uint8_t& s : gMV2KeyStates) s &= static_cast<uint8_t>(~mask);
}
