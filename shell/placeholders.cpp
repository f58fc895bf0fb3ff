// Entry points of shell modules that are not built yet, each doing the least its callers need.
#include "shell/controls.h"
#include "shell/enginestart.h"
#include "shell/errors.h"
#include "shell/events.h"
#include "shell/frametimer.h"
#include "shell/gameinit.h"
#include "shell/gamemain.h"
#include "shell/gamestate.h"
#include "shell/input.h"
#include "shell/window.h"

// Placeholder: the engine is not started yet; start-up reports success.
int32_t MV2EngineStart(HWND, void*) { return 1; }

// Placeholder: nothing was started, so nothing stops.
void MV2EngineStop() {}

// Placeholder: the main loop only pumps window messages until the quit message is seen.
int32_t MV2GameMain() {
    while (MV2PumpMessages()) Sleep(1);
    return 0;
}

// Placeholder: no input devices are opened, so no joystick is reported.
int32_t MV2OpenInputDevices(HINSTANCE) { return 0; }

// Placeholder: nothing is open.
void MV2CloseInputDevices() {}

// Placeholder: every device slot is empty, so acquiring fails.
int32_t MV2AcquireInputDevice(int32_t) { return 0; }

// Placeholder: no joystick can be read.
int32_t MV2ReadJoystick(int32_t, MV2JoystickState*) { return 0; }

// Placeholder: the controls keep no input table yet.
void MV2ClearInputTable() {}

// Placeholder: the error screens are not built; the box is shown through the platform.
int MV2ErrorBox(const char* text) { return MessageBoxA(nullptr, text, "Marovant Error !", MB_OK); }

// Placeholder: the game-state machine is not built; the game-state word is kept here.
MV2GameStateWord gMV2GameState = {0, 0, 0};

// Placeholder: entering a mode only makes the requested mode current.
void MV2SetGameMode() { gMV2GameState.current = gMV2GameState.requested; }

// Placeholder: levels cannot be started before the object system exists.
int32_t MV2StartLevel() { return 0; }

// Placeholder: the frame timer is not built; no time passes.
uint32_t MV2GetFrameMilliseconds() { return 0; }
