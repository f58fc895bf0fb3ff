// Input devices: one keyboard and the attached joysticks through DirectInput, read once per
// pass of the message pump; force-feedback commands for the joysticks.
#pragma once

#include "platform/win32/win32.h"

#include <cstdint>

class IDirectInputDevice2A;

inline constexpr int32_t kMV2InputSlots = 10; // slot 0 the keyboard, then joysticks
inline constexpr int32_t kMV2EffectSlots = 32;

// Joystick state as passed with event 22.
struct MV2JoystickState {
    float x, y, z, rx, ry, rz; // axis value x 0.001, so -1.0 to 1.0
    float sliders[2];          // raw value / 65536
    uint32_t buttons;          // bits 0-19: buttons 0-19
};

struct MV2InputDevices {
    IDirectInputDevice2A* devices[kMV2InputSlots];
    int32_t count;
    void* effects[kMV2InputSlots][kMV2EffectSlots];
    int32_t effectCounts[kMV2InputSlots];
};
extern MV2InputDevices gMV2Input;

int32_t MV2OpenInputDevices(HINSTANCE instance);
void MV2CloseInputDevices();
int32_t MV2AcquireInputDevice(int32_t slot);
int32_t MV2ReadJoystick(int32_t slot, MV2JoystickState* state);
int32_t MV2SendJoystickForceFeedback(int32_t slot, uint32_t flags);
