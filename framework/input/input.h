// The input component: lists the attached keyboards, mice and joysticks once, then hands out a
// device object per device, from which exactly one reader (keyboard state or events, mouse
// state or events, joystick state) is made at a time. Keys are reported in the framework's own
// key codes.
#pragma once

#include "framework/core/com.h"
#include "platform/win32/win32.h"

#include <cstdint>
#include <exception>

extern const VkGuid CLSID_VkIO;
extern const VkGuid IID_IVkIO;
extern const VkGuid IID_IVkInputDevice;
extern const VkGuid IID_IVkKeyboardState;
extern const VkGuid IID_IVkKeyboardEvents;
extern const VkGuid IID_IVkMouseState;
extern const VkGuid IID_IVkMouseEvents;
extern const VkGuid IID_IVkJoystickState;

// Raised when a device object or reader cannot be made or acquired: "new failed", "can't
// acquire device", "unknown Interface".
class VkInputError : public std::exception {
public:
    explicit VkInputError(const char* text, int32_t result = 0) : text_(text), result_(result) {}
    const char* what() const noexcept override { return text_; }
    int32_t Result() const { return result_; }

private:
    const char* text_;
    int32_t result_;
};

// Mouse event codes of IVkMouseEvents::ReadEvent.
constexpr uint32_t VK_MOUSE_X = 0x20;
constexpr uint32_t VK_MOUSE_Y = 0x21;
constexpr uint32_t VK_MOUSE_WHEEL = 0x22;
constexpr uint32_t VK_MOUSE_PRESSED = 0x23;
constexpr uint32_t VK_MOUSE_RELEASED = 0x24;

// Joystick axis codes of IVkJoystickState::GetAxis.
constexpr uint32_t VK_JOY_X = 0, VK_JOY_Y = 1, VK_JOY_Z = 2, VK_JOY_RX = 6, VK_JOY_RY = 7,
                   VK_JOY_RZ = 8, VK_JOY_SLIDER0 = 0x40, VK_JOY_POV0 = 0x80;

// The one operation the component calls on a device's current reader each frame.
class IVkUpdatable {
public:
    virtual VkResult Update() = 0;

protected:
    ~IVkUpdatable() = default;
};

class IVkInputDevice : public IVkUnknown {
public:
    // 1 keyboard, 2 mouse, 3 joystick, 0 anything else.
    virtual uint32_t GetClass() = 0;
    // 0x30 keyboard, 0x10 mouse, 0x20 joystick, 0 anything else.
    virtual uint32_t GetKindFlags() = 0;
    // Makes, sets up and acquires the reader of that id. Raises VkInputError for an unknown id,
    // a failed allocation, or a failed acquisition (the reader is in *out then).
    virtual VkResult GetInterface(const VkGuid& iid, void** out) = 0;
    virtual VkResult Unacquire() = 0;

protected:
    ~IVkInputDevice() = default;
};

class IVkIO : public IVkUnknown {
public:
    virtual VkResult Initialise(HINSTANCE instance, HWND window) = 0;
    virtual uint32_t GetDeviceCount() = 0;
    // A new device object (count 1), or null for an index past the device count.
    virtual IVkInputDevice* GetDevice(uint32_t index) = 0;
    virtual VkResult UpdateAll() = 0;

protected:
    ~IVkIO() = default;
};

class IVkKeyboardState : public IVkUnknown {
public:
    virtual uint32_t IsKeyDown(uint32_t key) = 0;
    virtual VkResult Update() = 0;

protected:
    ~IVkKeyboardState() = default;
};

class IVkKeyboardEvents : public IVkUnknown {
public:
    // 0 also when nothing was waiting (outputs untouched then).
    virtual VkResult ReadEvent(uint32_t* pressed, uint32_t* key) = 0;
    virtual VkResult Reserved() = 0;
    virtual VkResult Poll() = 0;

protected:
    ~IVkKeyboardEvents() = default;
};

class IVkMouseState : public IVkUnknown {
public:
    virtual VkResult GetAxis(uint32_t axis, int32_t* value) = 0;
    virtual uint32_t GetButtons() = 0;
    virtual VkResult Update() = 0;

protected:
    ~IVkMouseState() = default;
};

class IVkMouseEvents : public IVkUnknown {
public:
    // Fails when nothing was waiting.
    virtual VkResult ReadEvent(uint32_t* code, int32_t* value) = 0;
    virtual VkResult Reserved() = 0;
    virtual VkResult Poll() = 0;

protected:
    ~IVkMouseEvents() = default;
};

class IVkJoystickState : public IVkUnknown {
public:
    virtual VkResult GetAxis(uint32_t axis, float* value) = 0;
    virtual uint32_t GetButtons() = 0;
    virtual VkResult Update() = 0;

protected:
    ~IVkJoystickState() = default;
};

// The key code of a keyboard scan code (0xFF for none), and back (0 for none).
uint32_t VkInputKeyFromScan(uint32_t scan);
uint32_t VkInputScanFromKey(uint32_t key);

VkResult VkCreateInput(IVkUnknown* outer, IVkUnknown** out);
