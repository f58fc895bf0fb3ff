// Game events: one installed callback receives every event of the window layer and carries
// the game's requests to the platform side; the key-state table filled by key events.
#pragma once

#include <cstdint>

// Event callback: (event code, a, b, c) -> result. a and b carry addresses for some events.
using MV2EventCallback = int32_t (*)(uint32_t event, intptr_t a, intptr_t b, int32_t c);

// Event codes.
enum : uint32_t {
    MV2_EVENT_LBUTTON_DOWN = 3,
    MV2_EVENT_LBUTTON_UP = 4,
    MV2_EVENT_RBUTTON_DOWN = 5,
    MV2_EVENT_RBUTTON_UP = 6,
    MV2_EVENT_MOUSE_MOVE = 7,
    MV2_EVENT_MBUTTON_DOWN = 8,
    MV2_EVENT_MBUTTON_UP = 9,
    MV2_EVENT_KEY_DOWN = 12,
    MV2_EVENT_KEY_UP = 13,
    MV2_EVENT_JOYSTICK = 22,
    MV2_EVENT_FILE_DROPPED = 33,
    MV2_EVENT_KEYBOARD_ACQUIRED = 40,
    MV2_EVENT_INPUT_LOST = 41,
    MV2_EVENT_CENTRE_CURSOR = 150,
    MV2_EVENT_MOUSE_OFF = 151,
    MV2_EVENT_KEYBOARD_ON = 159,
    MV2_EVENT_KEYBOARD_OFF = 160,
    MV2_EVENT_RAW_KEY_DOWN = 161,
    MV2_EVENT_RAW_KEY_UP = 162,
    MV2_EVENT_OPEN_INPUT = 163,
    MV2_EVENT_CLOSE_INPUT = 164,
    MV2_EVENT_KEEP_ALIVE = 165,
    MV2_EVENT_TIMER_ON = 166,
    MV2_EVENT_TIMER_OFF = 167,
    MV2_EVENT_TIME_QUERY = 168,
    MV2_EVENT_MCI_NOTIFY = 170,
    MV2_EVENT_KEYBOARD_LAYOUT = 172,
    MV2_EVENT_FOCUS_LOST = 173,
    MV2_EVENT_FOCUS_GAINED = 174,
};

// Key-state bits.
constexpr uint8_t MV2_KEY_HELD = 1;
constexpr uint8_t MV2_KEY_PRESSED = 2;
constexpr uint8_t MV2_NO_KEY = 0xFF;

// Enable flags and the keyboard table choice; engine start clears the flags.
struct MV2EventState {
    MV2EventCallback callback;
    int32_t keyboardEvents;
    int32_t mouseEvents;
    int32_t timerQueries;
    int32_t joystickFlag;
    const uint8_t* keyboardTable;
    int32_t layout;
    uint32_t keepAliveCount;
};
extern MV2EventState gMV2Events;
extern uint8_t gMV2KeyStates[256];

// The callback that ignores every event and returns 1.
int32_t MV2IgnoreEvent(uint32_t event, intptr_t a, intptr_t b, int32_t c);
void MV2SetEventCallback(MV2EventCallback callback);
// Delivers an event to the installed callback.
int32_t MV2SendEvent(uint32_t event, intptr_t a, intptr_t b, int32_t c);

int32_t MV2PlatformRequest(uint32_t request, intptr_t a, intptr_t b, int32_t c);
int32_t MV2PlatformEventHandler(uint32_t event, intptr_t a, intptr_t b, int32_t c);

// Keyboard table of a layout slot (0-7); slots 0 and 6 share one table.
const uint8_t* MV2GetKeyboardTable(int32_t slot);
// Layout slot for a keyboard layout's language id.
int32_t MV2KeyboardLayoutForLanguage(uint16_t languageId);

int32_t MV2ResetKeyStates();
void MV2KeyPressed(uint32_t key);
void MV2KeyReleased(uint32_t key);
int32_t MV2TestKeyState(uint32_t key, uint8_t mask);
void MV2ClearKeyStateBits(uint8_t mask);
