#include "shell/input.h"

#include "platform/dinput/dinput.h"
#include "shell/events.h"
#include "shell/window.h"

#include <cstdio>

MV2InputDevices gMV2Input;

namespace {

constexpr float kAxisScale = 0.001f;
constexpr float kSliderScale = 1.52587890625e-05f;

// Stores a device's second-generation interface in the next slot; the first is released.
void Keep(IDirectInputDeviceA* device) {
    if (gMV2Input.count < kMV2InputSlots) {
        IDirectInputDevice2A* second = nullptr;
        if (device->QueryInterface(IID_IDirectInputDevice2A, reinterpret_cast<void**>(&second)) >=
                0 &&
            second)
            gMV2Input.devices[gMV2Input.count++] = second;
    }
    device->Release();
}

void PrintAcquireFailure(HRESULT res) {
    if (res == DIERR_INPUTLOST) {
        MV2DebugPrint("Acquire -> DIERR_INPUTLOST\n");
    } else if (res == DIERR_INVALIDPARAM) {
        MV2DebugPrint("Acquire -> DIERR_INVALIDPARAM\n");
    } else if (res == DIERR_OTHERAPPHASPRIO) {
        MV2DebugPrint("Acquire -> DIERR_OTHERAPPHASPRIO\n");
    } else {
        char line[64];
        std::snprintf(line, sizeof line, "Acquire -> Dunno why (%d)", int(res));
        MV2DebugPrint(line);
    }
}

void OpenKeyboard(HINSTANCE instance) {
    IDirectInputA* input = nullptr;
    if (DirectInputCreateA(instance, 0x300, &input, nullptr) < 0) {
        MV2DebugPrint("DirectInputCreate 3.0 FAILED\n");
        return;
    }
    IDirectInputDeviceA* keyboard = nullptr;
    if (input->CreateDevice(GUID_SysKeyboard, &keyboard, nullptr) < 0 || !keyboard) {
        MV2DebugPrint("IDirectInput::CreateDevice FAILED\n");
    } else if (keyboard->SetDataFormat(&c_dfDIKeyboard) < 0) {
        MV2DebugPrint("IDirectInputDevice::SetDataFormat FAILED\n");
        keyboard->Release();
    } else if (keyboard->SetCooperativeLevel(MV2GetWindow(),
                                             DISCL_NONEXCLUSIVE | DISCL_FOREGROUND) < 0) {
        MV2DebugPrint("IDirectInputDevice::SetCooperativeLevel FAILED\n");
        keyboard->Release();
    } else {
        DIPROPDWORD size = {{sizeof size, sizeof size.diph, 0, DIPH_DEVICE}, 32};
        if (keyboard->SetProperty(DIPROP_BUFFERSIZE, &size.diph) < 0) {
            MV2DebugPrint("IDirectInputDevice::SetProperty(DIPH_DEVICE) FAILED\n");
            keyboard->Release();
        } else {
            Keep(keyboard);
        }
    }
    input->Release();
}

void PrintCreateFailure(HRESULT res) {
    MV2DebugPrint("DirectInputCreate 5.0 FAILED - no joystick support\n");
    if (res == DIERR_BETADIRECTINPUTVERSION)
        MV2DebugPrint("DIERR_BETADIRECTINPUTVERSION\n");
    else if (res == DIERR_INVALIDPARAM)
        MV2DebugPrint("DIERR_INVALIDPARAM\n");
    else if (res == DIERR_OLDDIRECTINPUTVERSION)
        MV2DebugPrint("DIERR_OLDDIRECTINPUTVERSION\n");
    else if (res == DIERR_OUTOFMEMORY)
        MV2DebugPrint("DIERR_OUTOFMEMORY\n");
}

BOOL AddJoystick(const DIDEVICEINSTANCEA* instance, void* context) {
    auto* input = static_cast<IDirectInputA*>(context);
    IDirectInputDeviceA* device = nullptr;
    if (input->CreateDevice(instance->guidInstance, &device, nullptr) < 0 || !device) {
        MV2DebugPrint("IDirectInput::CreateDevice FAILED\n");
        return DIENUM_CONTINUE;
    }
    device->SetDataFormat(&c_dfDIJoystick);
    device->SetCooperativeLevel(MV2GetWindow(), DISCL_EXCLUSIVE | DISCL_BACKGROUND);
    static const struct {
        DWORD offset;
        const char* failure;
    } axes[6] = {
        {DIJOFS_X, "IDirectInputDevice::SetProperty(DIPH_RANGE) FAILED (X-axis)\n"},
        {DIJOFS_Y, "IDirectInputDevice::SetProperty(DIPH_RANGE) FAILED (Y-axis)\n"},
        {DIJOFS_Z, "IDirectInputDevice::SetProperty(DIPH_RANGE) FAILED (Z-axis)\n"},
        {DIJOFS_RX, "IDirectInputDevice::SetProperty(DIPH_RANGE) FAILED (RX-axis)\n"},
        {DIJOFS_RY, "IDirectInputDevice::SetProperty(DIPH_RANGE) FAILED (RY-axis)\n"},
        {DIJOFS_RZ, "IDirectInputDevice::SetProperty(DIPH_RANGE) FAILED (RZ-axis)\n"},
    };
    for (const auto& axis : axes) {
        DIPROPRANGE range = {
            {sizeof range, sizeof range.diph, axis.offset, DIPH_BYOFFSET}, -1000, 1000};
        if (device->SetProperty(DIPROP_RANGE, &range.diph) < 0) MV2DebugPrint(axis.failure);
    }
    Keep(device);
    return DIENUM_CONTINUE;
}

} // namespace

int32_t MV2OpenInputDevices(HINSTANCE instance) {
    OpenKeyboard(instance);
    // Slot 0 is the keyboard's, kept or not.
    if (gMV2Input.count < 1) gMV2Input.count = 1;
    IDirectInputA* input = nullptr;
    HRESULT res = DirectInputCreateA(instance, 0x700, &input, nullptr);
    if (res < 0) {
        PrintCreateFailure(res);
    } else {
        input->EnumDevices(DIDEVTYPE_JOYSTICK, AddJoystick, input, DIEDFL_ATTACHEDONLY);
        input->Release();
    }
    for (int32_t slot = 0; slot < gMV2Input.count; ++slot)
        MV2AcquireInputDevice(slot);
    if (gMV2Input.count > 1 && gMV2Input.devices[1]) {
        DIDEVCAPS caps = {};
        caps.dwSize = sizeof caps;
        if (gMV2Input.devices[1]->GetCapabilities(&caps) >= 0 &&
            (caps.dwFlags & DIDC_FORCEFEEDBACK)) {
            MV2SendJoystickForceFeedback(1, DISFFC_RESET);
            MV2SendJoystickForceFeedback(1, DISFFC_SETACTUATORSON);
        }
    }
    return gMV2Input.count - 1;
}

void MV2CloseInputDevices() {
    for (int32_t slot = 0; slot < kMV2InputSlots; ++slot) {
        // Effects are never created by the game; their slots are only cleared.
        for (void*& effect : gMV2Input.effects[slot])
            effect = nullptr;
        gMV2Input.effectCounts[slot] = 0;
        if (IDirectInputDevice2A* device = gMV2Input.devices[slot]) {
            device->Unacquire();
            device->Release();
            gMV2Input.devices[slot] = nullptr;
        }
    }
    gMV2Input.count = 0;
}

int32_t MV2AcquireInputDevice(int32_t slot) {
    IDirectInputDevice2A* device =
        slot >= 0 && slot < kMV2InputSlots ? gMV2Input.devices[slot] : nullptr;
    if (!device) {
        MV2DebugPrint("Acquire -> DIERR_INVALIDPARAM\n");
        return 0;
    }
    HRESULT res = device->Acquire();
    if (res >= 0) return 1;
    PrintAcquireFailure(res);
    return 0;
}

int32_t MV2ReadJoystick(int32_t slot, MV2JoystickState* state) {
    if (slot < 0 || slot >= kMV2InputSlots || !state) return 0;
    IDirectInputDevice2A* device = gMV2Input.devices[slot];
    if (!device) return 0;
    DIJOYSTATE raw = {};
    HRESULT res = device->Poll();
    if (res >= 0) res = device->GetDeviceState(sizeof raw, &raw);
    if (res >= 0) {
        state->x = float(raw.lX) * kAxisScale;
        state->y = float(raw.lY) * kAxisScale;
        state->z = float(raw.lZ) * kAxisScale;
        state->rx = float(raw.lRx) * kAxisScale;
        state->ry = float(raw.lRy) * kAxisScale;
        state->rz = float(raw.lRz) * kAxisScale;
        state->sliders[0] = float(raw.rglSlider[0]) * kSliderScale;
        state->sliders[1] = float(raw.rglSlider[1]) * kSliderScale;
        state->buttons = 0;
        for (int32_t i = 0; i < 20; ++i)
            if (raw.rgbButtons[i] & 0x80) state->buttons |= 1u << i;
        return 1;
    }
    if (res == DIERR_INPUTLOST && !MV2AcquireInputDevice(slot))
        MV2SendEvent(MV2_EVENT_INPUT_LOST, 0, 0, slot);
    return 0;
}

int32_t MV2SendJoystickForceFeedback(int32_t slot, uint32_t flags) {
    IDirectInputDevice2A* device =
        slot >= 0 && slot < kMV2InputSlots ? gMV2Input.devices[slot] : nullptr;
    if (!device) return 0;
    HRESULT res = device->SendForceFeedbackCommand(flags);
    if (res >= 0) {
        if (flags == DISFFC_RESET || flags == DISFFC_SETACTUATORSOFF)
            for (int32_t& n : gMV2Input.effectCounts)
                n = 0;
        return 1;
    }
    if (res == DIERR_INPUTLOST) {
        MV2DebugPrint("ERROR:SendForceFeedbackCommand -> DIERR_INPUTLOST\n");
    } else if (res == DIERR_NOTEXCLUSIVEACQUIRED) {
        MV2DebugPrint("ERROR:SendForceFeedbackCommand -> DIERR_NOTEXCLUSIVEACQUIRED\n");
    } else if (res == DIERR_INVALIDPARAM) {
        MV2DebugPrint("ERROR:SendForceFeedbackCommand -> DIERR_INVALIDPARAM\n");
    } else if (res == DIERR_NOTINITIALIZED) {
        MV2DebugPrint("ERROR:SendForceFeedbackCommand -> DIERR_NOTINITIALIZED\n");
    } else if (res == DIERR_UNSUPPORTED) {
        MV2DebugPrint("ERROR:SendForceFeedbackCommand -> DIERR_UNSUPPORTED\n");
    } else {
        char line[96];
        std::snprintf(line, sizeof line,
                      "ERROR:SendForceFeedbackCommand -> Unknown:%d (Joystick malfunctioning?)",
                      int(res));
        MV2DebugPrint(line);
    }
    return 0;
}
