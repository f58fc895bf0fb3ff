// Input devices: one keyboard and the attached joysticks.
#pragma once

#include "platform/win32/win32.h"

#include <cstdint>

// Joystick state as passed with event 22.
struct MV2JoystickState {
    float x, y, z, rx, ry, rz; // axis value x 0.001, so -1.0 to 1.0
    float sliders[2];          // raw value / 65536
    uint32_t buttons;          // bits 0-19: buttons 0-19
};

int32_t MV2OpenInputDevices(HINSTANCE instance);
void MV2CloseInputDevices();
int32_t MV2AcquireInputDevice(int32_t slot);
int32_t MV2ReadJoystick(int32_t slot, MV2JoystickState* state);
