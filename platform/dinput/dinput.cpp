#include "platform/dinput/dinput.h"

#include "platform/win32/inputlog.h"

#include "platform/win32/keymap.h"
#include "platform/win32/win32_sdl.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <new>
#include <vector>

const DIDATAFORMAT c_dfDIKeyboard = {256, 1};
const DIDATAFORMAT c_dfDIMouse = {sizeof(DIMOUSESTATE), 2};
const DIDATAFORMAT c_dfDIJoystick = {sizeof(DIJOYSTATE), 4};
const DIDATAFORMAT c_dfDIJoystick2 = {sizeof(DIJOYSTATE2), 3};

const GUID GUID_SysKeyboard = {
    0x6F1D2B61, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_SysMouse = {
    0x6F1D2B60, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const IID IID_IDirectInputA = {
    0x89521360, 0xAA8A, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const IID IID_IDirectInputDeviceA = {
    0x5944E680, 0xC92E, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const IID IID_IDirectInputDevice2A = {
    0x5944E682, 0xC92E, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

namespace {

// Joystick instance GUIDs carry SDL's instance id in their first word.
const GUID kJoystickGuidBase = {
    0x00000000, 0x7A31, 0x11D2, {0x80, 0x2A, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

constexpr DWORD kKeyboardType = DIDEVTYPE_KEYBOARD | (4u << 8);
constexpr DWORD kMouseType = DIDEVTYPE_MOUSE | (2u << 8);
constexpr DWORD kJoystickType = DIDEVTYPE_JOYSTICK | (2u << 8);
constexpr int kJoyAxes = 8; // X, Y, Z, Rx, Ry, Rz and the two sliders

struct Event {
    bool manual;
    bool set;
};

bool g_createFails = false;
uint8_t g_heldKeys[256];
std::vector<int> g_virtualJoysticks;
bool g_ffSeam = false;
HRESULT g_ffResult = DI_OK;
std::vector<DWORD> g_ffCommands;

void SignalEvent(HANDLE handle) {
    if (handle) static_cast<Event*>(handle)->set = true;
}

bool SameButIdWord(const GUID& a, const GUID& b) {
    GUID c = a;
    c.Data1 = b.Data1;
    return c == b;
}

class Device;
std::vector<Device*> g_devices;

int EventWatch(void*, SDL_Event* event);

class Device final : public IDirectInputDevice2A {
public:
    Device(DWORD type, SDL_Joystick* joystick) : type_(type), joystick_(joystick) {
        for (auto& r : range_)
            r = {0, 65535};
        if (g_devices.empty()) SDL_AddEventWatch(EventWatch, nullptr);
        g_devices.push_back(this);
    }

    HRESULT QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (!(iid == IID_IUnknown || iid == IID_IDirectInputDeviceA ||
              iid == IID_IDirectInputDevice2A))
            return DIERR_NOINTERFACE;
        ++count_;
        *out = static_cast<IDirectInputDevice2A*>(this);
        return DI_OK;
    }
    ULONG AddRef() override { return ++count_; }
    ULONG Release() override {
        if (--count_ > 0) return count_;
        g_devices.erase(std::find(g_devices.begin(), g_devices.end(), this));
        if (g_devices.empty()) SDL_DelEventWatch(EventWatch, nullptr);
        if (haptic_) SDL_HapticClose(haptic_);
        if (joystick_) SDL_JoystickClose(joystick_);
        delete this;
        return 0;
    }

    HRESULT GetProperty(uintptr_t property, DIPROPHEADER* header) override {
        if (!header) return DIERR_INVALIDPARAM;
        if (property == DIPROP_BUFFERSIZE && header->dwHow == DIPH_DEVICE) {
            reinterpret_cast<DIPROPDWORD*>(header)->dwData = bufferSize_;
            return DI_OK;
        }
        if (property == DIPROP_AXISMODE && header->dwHow == DIPH_DEVICE) {
            reinterpret_cast<DIPROPDWORD*>(header)->dwData = axisMode_;
            return DI_OK;
        }
        if (property == DIPROP_RANGE) {
            // Ranges belong to single axes; the device as a whole has none.
            int axis = AxisOf(*header);
            if (axis < 0) return DIERR_UNSUPPORTED;
            auto* r = reinterpret_cast<DIPROPRANGE*>(header);
            r->lMin = range_[axis].first;
            r->lMax = range_[axis].second;
            return DI_OK;
        }
        return DIERR_UNSUPPORTED;
    }

    HRESULT SetProperty(uintptr_t property, const DIPROPHEADER* header) override {
        if (!header) return DIERR_INVALIDPARAM;
        if (acquired_) return DIERR_ACQUIRED;
        if (property == DIPROP_BUFFERSIZE && header->dwHow == DIPH_DEVICE) {
            bufferSize_ = reinterpret_cast<const DIPROPDWORD*>(header)->dwData;
            return DI_OK;
        }
        if (property == DIPROP_AXISMODE && header->dwHow == DIPH_DEVICE) {
            DWORD mode = reinterpret_cast<const DIPROPDWORD*>(header)->dwData;
            if (mode > DIPROPAXISMODE_REL) return DIERR_INVALIDPARAM;
            axisMode_ = mode;
            return DI_OK;
        }
        if (property == DIPROP_RANGE && type_ == kJoystickType) {
            auto* r = reinterpret_cast<const DIPROPRANGE*>(header);
            if (r->lMin >= r->lMax) return DIERR_INVALIDPARAM;
            if (header->dwHow == DIPH_DEVICE) {
                for (auto& each : range_)
                    each = {r->lMin, r->lMax};
                return DI_OK;
            }
            int axis = AxisOf(*header);
            if (axis < 0) return DIERR_INVALIDPARAM;
            range_[axis] = {r->lMin, r->lMax};
            return DI_OK;
        }
        return DIERR_UNSUPPORTED;
    }

    // The reads and their answers go through the input log: recorded, or replayed instead of
    // the device.
    HRESULT Acquire() override {
        inputlog::StartFromEnvironmentOnce();
        if (inputlog::Replaying()) return inputlog::ReplayResult(inputlog::kAcquire);
        HRESULT res = LiveAcquire();
        inputlog::RecordResult(inputlog::kAcquire, res);
        return res;
    }
    HRESULT Poll() override {
        inputlog::StartFromEnvironmentOnce();
        if (inputlog::Replaying()) return inputlog::ReplayResult(inputlog::kPoll);
        HRESULT res = LivePoll();
        inputlog::RecordResult(inputlog::kPoll, res);
        return res;
    }
    HRESULT GetDeviceState(DWORD size, void* data) override {
        inputlog::StartFromEnvironmentOnce();
        if (inputlog::Replaying()) {
            if (!data || !format_ || size != format_->dwDataSize) return DIERR_INVALIDPARAM;
            return inputlog::ReplayState(size, data);
        }
        HRESULT res = LiveGetDeviceState(size, data);
        inputlog::RecordState(res, size, data);
        return res;
    }
    HRESULT GetDeviceData(DWORD objectSize, DIDEVICEOBJECTDATA* data, DWORD* count,
                          DWORD) override {
        inputlog::StartFromEnvironmentOnce();
        static_assert(sizeof(inputlog::Datum) == sizeof(DIDEVICEOBJECTDATA));
        if (inputlog::Replaying()) {
            if (!count || objectSize != sizeof(DIDEVICEOBJECTDATA)) return DIERR_INVALIDPARAM;
            inputlog::Datum records[64];
            DWORD want = *count, given = 0;
            HRESULT res = inputlog::ReplayData(records, std::min<DWORD>(want, 64), &given);
            for (DWORD i = 0; i < given && data; ++i)
                data[i] = DIDEVICEOBJECTDATA{records[i].offset, records[i].data,
                                             records[i].timeStamp, records[i].sequence};
            *count = given;
            return res;
        }
        if (!inputlog::Recording()) return LiveGetDeviceData(objectSize, data, count);
        // A recorded read takes at most what one log event holds.
        if (count) *count = std::min<DWORD>(*count, 64);
        HRESULT res = LiveGetDeviceData(objectSize, data, count);
        inputlog::Datum records[64] = {};
        DWORD n = res >= 0 && count ? *count : 0;
        for (DWORD i = 0; i < n && data; ++i)
            records[i] = inputlog::Datum{data[i].dwOfs, data[i].dwData, data[i].dwTimeStamp,
                                         data[i].dwSequence};
        inputlog::RecordData(res, n, records);
        return res;
    }

    HRESULT LiveAcquire() {
        if (!format_) return DIERR_INVALIDPARAM;
        // An unplugged joystick cannot be acquired again.
        if (joystick_ && !SDL_JoystickGetAttached(joystick_)) return DIERR_INPUTLOST;
        if (acquired_ && !lost_) return S_FALSE;
        if (exclusive_ && joystick_) {
            for (Device* other : g_devices)
                if (other != this && other->exclusive_ && other->acquired_ && other->joystick_ &&
                    SDL_JoystickInstanceID(other->joystick_) == SDL_JoystickInstanceID(joystick_))
                    return DIERR_OTHERAPPHASPRIO;
        }
        acquired_ = true;
        lost_ = false;
        queue_.clear();
        return DI_OK;
    }
    HRESULT Unacquire() override {
        if (!acquired_) return DI_NOEFFECT;
        acquired_ = lost_ = false;
        return DI_OK;
    }

    HRESULT LiveGetDeviceState(DWORD size, void* data) {
        if (HRESULT res = ReadCheck(); res < 0) return res;
        if (!data || size != format_->dwDataSize) return DIERR_INVALIDPARAM;
        std::memset(data, 0, size);
        if (type_ == kKeyboardType)
            KeyboardState(static_cast<uint8_t*>(data));
        else if (type_ == kMouseType)
            MouseState(static_cast<DIMOUSESTATE*>(data));
        else {
            // The standard state is the first 80 bytes of the extended one.
            DIJOYSTATE2 full = {};
            JoystickState(&full);
            std::memcpy(data, &full, std::min<size_t>(size, sizeof full));
        }
        return DI_OK;
    }

    HRESULT LiveGetDeviceData(DWORD objectSize, DIDEVICEOBJECTDATA* data, DWORD* count) {
        if (!count || objectSize != sizeof(DIDEVICEOBJECTDATA)) return DIERR_INVALIDPARAM;
        if (HRESULT res = ReadCheck(); res < 0) return res;
        if (bufferSize_ == 0) return DIERR_NOTBUFFERED;
        DWORD n = std::min<DWORD>(*count, static_cast<DWORD>(queue_.size()));
        for (DWORD i = 0; i < n; ++i) {
            if (data) data[i] = queue_.front();
            queue_.pop_front();
        }
        *count = n;
        return DI_OK;
    }

    HRESULT SetDataFormat(const DIDATAFORMAT* format) override {
        if (!format) return DIERR_INVALIDPARAM;
        if (acquired_) return DIERR_ACQUIRED;
        format_ = format;
        return DI_OK;
    }
    HRESULT SetEventNotification(HANDLE event) override {
        if (acquired_) return DIERR_ACQUIRED;
        event_ = event;
        return DI_OK;
    }
    HRESULT SetCooperativeLevel(HWND, DWORD flags) override {
        bool excl = flags & DISCL_EXCLUSIVE, nonexcl = flags & DISCL_NONEXCLUSIVE;
        bool fg = flags & DISCL_FOREGROUND, bg = flags & DISCL_BACKGROUND;
        if (excl == nonexcl || fg == bg) return DIERR_INVALIDPARAM;
        if (acquired_) return DIERR_ACQUIRED;
        exclusive_ = excl;
        return DI_OK;
    }
    HRESULT LivePoll() {
        if (HRESULT res = ReadCheck(); res < 0) return res;
        if (!joystick_) return DI_NOEFFECT;
        SDL_JoystickUpdate();
        return DI_OK;
    }
    HRESULT GetCapabilities(DIDEVCAPS* caps) override {
        if (!caps || caps->dwSize != sizeof(DIDEVCAPS)) return DIERR_INVALIDPARAM;
        DWORD size = caps->dwSize;
        *caps = {};
        caps->dwSize = size;
        caps->dwDevType = type_;
        caps->dwFlags = DIDC_ATTACHED;
        if (joystick_) {
            if (!SDL_JoystickGetAttached(joystick_)) caps->dwFlags = 0;
            if (g_ffSeam || SDL_JoystickIsHaptic(joystick_) == 1)
                caps->dwFlags |= DIDC_FORCEFEEDBACK;
            caps->dwAxes = static_cast<DWORD>(std::max(SDL_JoystickNumAxes(joystick_), 0));
            caps->dwButtons = static_cast<DWORD>(std::max(SDL_JoystickNumButtons(joystick_), 0));
            caps->dwPOVs = static_cast<DWORD>(std::max(SDL_JoystickNumHats(joystick_), 0));
        }
        return DI_OK;
    }
    HRESULT SendForceFeedbackCommand(DWORD flags) override {
        if (!joystick_) return DIERR_UNSUPPORTED;
        if (HRESULT res = ReadCheck(); res < 0) return res == DIERR_NOTACQUIRED
                                                            ? DIERR_NOTEXCLUSIVEACQUIRED
                                                            : res;
        if (!exclusive_) return DIERR_NOTEXCLUSIVEACQUIRED;
        constexpr DWORD known = DISFFC_RESET | DISFFC_STOPALL | DISFFC_PAUSE | DISFFC_CONTINUE |
                                DISFFC_SETACTUATORSON | DISFFC_SETACTUATORSOFF;
        if (!flags || (flags & ~known)) return DIERR_INVALIDPARAM;
        if (g_ffSeam) {
            g_ffCommands.push_back(flags);
            return g_ffResult;
        }
        if (!haptic_ && SDL_JoystickIsHaptic(joystick_) == 1)
            haptic_ = SDL_HapticOpenFromJoystick(joystick_);
        if (!haptic_) return DIERR_UNSUPPORTED;
        bool ok = true;
        if (flags & (DISFFC_RESET | DISFFC_STOPALL)) ok = SDL_HapticStopAll(haptic_) == 0 && ok;
        if (flags & (DISFFC_PAUSE | DISFFC_SETACTUATORSOFF))
            ok = SDL_HapticPause(haptic_) == 0 && ok;
        if (flags & (DISFFC_CONTINUE | DISFFC_SETACTUATORSON))
            ok = SDL_HapticUnpause(haptic_) == 0 && ok;
        return ok ? DI_OK : DIERR_GENERIC;
    }

    DWORD Type() const { return type_; }
    void Push(DWORD ofs, DWORD data) { Push(ofs, data, SDL_GetTicks()); }

    void Lose() {
        if (acquired_) lost_ = true;
    }

    // Buffers one input event of this device while it is acquired.
    void Take(const SDL_Event& e) {
        if (!acquired_ || lost_) return;
        if (type_ == kKeyboardType && (e.type == SDL_KEYDOWN || e.type == SDL_KEYUP)) {
            if (e.key.repeat) return;
            Win32KeyCode code = Win32TranslateScancode(e.key.keysym.scancode);
            if (!code.scan) return;
            Push(code.scan | (code.extended ? 0x80u : 0u), e.type == SDL_KEYDOWN ? 0x80u : 0u,
                 e.key.timestamp);
        } else if (type_ == kMouseType) {
            if (e.type == SDL_MOUSEMOTION) {
                motion_[0] += e.motion.xrel;
                motion_[1] += e.motion.yrel;
                if (e.motion.xrel) Push(DIMOFS_X, e.motion.xrel, e.motion.timestamp);
                if (e.motion.yrel) Push(DIMOFS_Y, e.motion.yrel, e.motion.timestamp);
            } else if (e.type == SDL_MOUSEWHEEL) {
                int32_t z = e.wheel.y * 120;
                motion_[2] += z;
                if (z) Push(DIMOFS_Z, static_cast<DWORD>(z), e.wheel.timestamp);
            } else if (e.type == SDL_MOUSEBUTTONDOWN || e.type == SDL_MOUSEBUTTONUP) {
                int b = MouseButton(e.button.button);
                if (b >= 0)
                    Push(DIMOFS_BUTTON0 + b, e.type == SDL_MOUSEBUTTONDOWN ? 0x80u : 0u,
                         e.button.timestamp);
            }
        }
    }

private:
    HRESULT ReadCheck() {
        // A joystick that went away loses its acquisition, as on the old platform.
        if (acquired_ && joystick_ && !SDL_JoystickGetAttached(joystick_)) lost_ = true;
        if (lost_) return DIERR_INPUTLOST;
        if (!acquired_) return DIERR_NOTACQUIRED;
        return DI_OK;
    }

    void Push(DWORD ofs, DWORD data, uint32_t time) {
        if (bufferSize_ == 0 || queue_.size() >= bufferSize_) return;
        queue_.push_back({ofs, data, time, ++sequence_});
        SignalEvent(event_);
    }

    static int MouseButton(uint8_t button) {
        switch (button) {
        case SDL_BUTTON_LEFT: return 0;
        case SDL_BUTTON_RIGHT: return 1;
        case SDL_BUTTON_MIDDLE: return 2;
        case SDL_BUTTON_X1: return 3;
        default: return -1;
        }
    }

    int AxisOf(const DIPROPHEADER& header) const {
        if (type_ != kJoystickType || header.dwHow != DIPH_BYOFFSET) return -1;
        if (header.dwObj % 4 || header.dwObj >= 4 * kJoyAxes) return -1;
        return static_cast<int>(header.dwObj / 4);
    }

    void KeyboardState(uint8_t* keys) const {
        int n = 0;
        const uint8_t* down = SDL_GetKeyboardState(&n);
        for (int i = 0; i < n; ++i) {
            if (!down[i]) continue;
            Win32KeyCode code = Win32TranslateScancode(static_cast<SDL_Scancode>(i));
            if (code.scan) keys[code.scan | (code.extended ? 0x80 : 0)] = 0x80;
        }
        for (int i = 0; i < 256; ++i)
            keys[i] |= g_heldKeys[i];
    }

    void MouseState(DIMOUSESTATE* state) {
        uint32_t buttons = SDL_GetMouseState(nullptr, nullptr);
        state->lX = motion_[0];
        state->lY = motion_[1];
        state->lZ = motion_[2];
        // Relative mode reports the movement since the last read.
        if (axisMode_ == DIPROPAXISMODE_REL) motion_[0] = motion_[1] = motion_[2] = 0;
        const uint8_t sdl[4] = {SDL_BUTTON_LEFT, SDL_BUTTON_RIGHT, SDL_BUTTON_MIDDLE,
                                SDL_BUTTON_X1};
        for (int i = 0; i < 4; ++i)
            state->rgbButtons[i] = (buttons & SDL_BUTTON(sdl[i])) ? 0x80 : 0;
    }

    void JoystickState(DIJOYSTATE2* state) const {
        LONG* axes[kJoyAxes] = {&state->lX,           &state->lY,          &state->lZ,
                                &state->lRx,          &state->lRy,         &state->lRz,
                                &state->rglSlider[0], &state->rglSlider[1]};
        int count = SDL_JoystickNumAxes(joystick_);
        for (int i = 0; i < kJoyAxes; ++i) {
            int64_t raw = i < count ? SDL_JoystickGetAxis(joystick_, i) : 0;
            int64_t lo = range_[i].first, hi = range_[i].second;
            *axes[i] = static_cast<LONG>(lo + (raw + 32768) * (hi - lo) / 65535);
        }
        int hats = SDL_JoystickNumHats(joystick_);
        for (int i = 0; i < 4; ++i)
            state->rgdwPOV[i] = i < hats ? HatAngle(SDL_JoystickGetHat(joystick_, i)) : ~0u;
        int buttons = std::min(SDL_JoystickNumButtons(joystick_), 128);
        for (int i = 0; i < buttons; ++i)
            state->rgbButtons[i] = SDL_JoystickGetButton(joystick_, i) ? 0x80 : 0;
    }

    static DWORD HatAngle(uint8_t hat) {
        switch (hat) {
        case SDL_HAT_UP: return 0;
        case SDL_HAT_RIGHTUP: return 4500;
        case SDL_HAT_RIGHT: return 9000;
        case SDL_HAT_RIGHTDOWN: return 13500;
        case SDL_HAT_DOWN: return 18000;
        case SDL_HAT_LEFTDOWN: return 22500;
        case SDL_HAT_LEFT: return 27000;
        case SDL_HAT_LEFTUP: return 31500;
        default: return ~0u;
        }
    }

    ULONG count_ = 1;
    DWORD type_;
    SDL_Joystick* joystick_;
    SDL_Haptic* haptic_ = nullptr;
    bool exclusive_ = false;
    const DIDATAFORMAT* format_ = nullptr;
    bool acquired_ = false;
    bool lost_ = false;
    DWORD bufferSize_ = 0;
    DWORD axisMode_ = DIPROPAXISMODE_ABS;
    HANDLE event_ = nullptr;
    std::pair<LONG, LONG> range_[kJoyAxes];
    int32_t motion_[3] = {};
    DWORD sequence_ = 0;
    std::deque<DIDEVICEOBJECTDATA> queue_;
};

int EventWatch(void*, SDL_Event* event) {
    for (Device* device : g_devices)
        device->Take(*event);
    return 1;
}

class DirectInput final : public IDirectInputA {
public:
    HRESULT QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (!(iid == IID_IUnknown || iid == IID_IDirectInputA)) return DIERR_NOINTERFACE;
        ++count_;
        *out = static_cast<IDirectInputA*>(this);
        return DI_OK;
    }
    ULONG AddRef() override { return ++count_; }
    ULONG Release() override {
        if (--count_ > 0) return count_;
        delete this;
        return 0;
    }

    HRESULT CreateDevice(const GUID& instance, IDirectInputDeviceA** out, void* outer) override {
        if (!out) return DIERR_INVALIDPARAM;
        *out = nullptr;
        if (outer) return DIERR_NOINTERFACE;
        Device* device = nullptr;
        if (instance == GUID_SysKeyboard) {
            device = new (std::nothrow) Device(kKeyboardType, nullptr);
        } else if (instance == GUID_SysMouse) {
            device = new (std::nothrow) Device(kMouseType, nullptr);
        } else if (SameButIdWord(instance, kJoystickGuidBase)) {
            int index = JoystickIndex(static_cast<SDL_JoystickID>(instance.Data1));
            if (index < 0) return DIERR_DEVICENOTREG;
            SDL_Joystick* joystick = SDL_JoystickOpen(index);
            if (!joystick) return DIERR_DEVICENOTREG;
            device = new (std::nothrow) Device(kJoystickType, joystick);
            if (!device) SDL_JoystickClose(joystick);
        } else {
            return DIERR_DEVICENOTREG;
        }
        if (!device) return DIERR_OUTOFMEMORY;
        *out = device;
        return DI_OK;
    }

    HRESULT EnumDevices(DWORD devType, LPDIENUMDEVICESCALLBACKA callback, void* context,
                        DWORD) override {
        if (!callback || devType > DIDEVTYPE_JOYSTICK) return DIERR_INVALIDPARAM;
        // The system keyboard and mouse are always attached.
        if (devType == 0 || devType == DIDEVTYPE_KEYBOARD) {
            if (Offer(callback, context, GUID_SysKeyboard, kKeyboardType, "Keyboard") ==
                DIENUM_STOP)
                return DI_OK;
        }
        if (devType == 0 || devType == DIDEVTYPE_MOUSE) {
            if (Offer(callback, context, GUID_SysMouse, kMouseType, "Mouse") == DIENUM_STOP)
                return DI_OK;
        }
        if (devType == 0 || devType == DIDEVTYPE_JOYSTICK) {
            SDL_JoystickUpdate();
            for (int i = 0, n = SDL_NumJoysticks(); i < n; ++i) {
                GUID guid = kJoystickGuidBase;
                guid.Data1 = static_cast<uint32_t>(SDL_JoystickGetDeviceInstanceID(i));
                const char* name = SDL_JoystickNameForIndex(i);
                if (Offer(callback, context, guid, kJoystickType, name ? name : "Joystick") ==
                    DIENUM_STOP)
                    break;
            }
        }
        return DI_OK;
    }

private:
    static BOOL Offer(LPDIENUMDEVICESCALLBACKA callback, void* context, const GUID& guid,
                      DWORD type, const char* name) {
        DIDEVICEINSTANCEA instance = {};
        instance.dwSize = sizeof instance;
        instance.guidInstance = guid;
        instance.guidProduct = guid;
        instance.dwDevType = type;
        SDL_strlcpy(instance.tszInstanceName, name, sizeof instance.tszInstanceName);
        SDL_strlcpy(instance.tszProductName, name, sizeof instance.tszProductName);
        return callback(&instance, context);
    }

    static int JoystickIndex(SDL_JoystickID id) {
        for (int i = 0, n = SDL_NumJoysticks(); i < n; ++i)
            if (SDL_JoystickGetDeviceInstanceID(i) == id) return i;
        return -1;
    }

    ULONG count_ = 1;
};

} // namespace

HRESULT DirectInputCreateA(HINSTANCE, DWORD version, IDirectInputA** out, void* outer) {
    if (!out) return DIERR_INVALIDPARAM;
    *out = nullptr;
    if (outer) return DIERR_NOINTERFACE;
    if (version < 0x300 || g_createFails) return DIERR_GENERIC;
    // Joysticks are SDL's; force feedback is asked of the haptic subsystem when present.
    if (!SDL_WasInit(SDL_INIT_JOYSTICK)) {
        if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) return DIERR_GENERIC;
        SDL_InitSubSystem(SDL_INIT_HAPTIC);
    }
    auto* input = new (std::nothrow) DirectInput;
    if (!input) return DIERR_OUTOFMEMORY;
    *out = input;
    return DI_OK;
}

HANDLE DInputCreateEvent(BOOL manualReset, BOOL initialState) {
    return new (std::nothrow) Event{manualReset != 0, initialState != 0};
}

BOOL DInputCloseEvent(HANDLE event) {
    delete static_cast<Event*>(event);
    return event != nullptr;
}

BOOL DInputTestEvent(HANDLE event) {
    auto* e = static_cast<Event*>(event);
    if (!e || !e->set) return 0;
    if (!e->manual) e->set = false;
    return 1;
}

void DInputSetCreateFailure(bool fail) {
    g_createFails = fail;
}

void DInputLoseAllDevices() {
    for (Device* device : g_devices)
        device->Lose();
}

void DInputTestPushRecord(DWORD devType, DWORD offset, DWORD data) {
    for (Device* device : g_devices)
        if ((device->Type() & 0xFF) == devType) device->Push(offset, data);
}

void DInputTestHoldKey(uint8_t scan, bool held) {
    g_heldKeys[scan] = held ? 0x80 : 0;
}

int DInputTestAttachJoystick(int axes, int buttons, int hats) {
    if (!SDL_WasInit(SDL_INIT_JOYSTICK) && SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) return -1;
    int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, axes, buttons, hats);
    if (index >= 0) g_virtualJoysticks.push_back(index);
    return index;
}

void DInputTestDetachJoysticks() {
    for (auto it = g_virtualJoysticks.rbegin(); it != g_virtualJoysticks.rend(); ++it)
        SDL_JoystickDetachVirtual(*it);
    g_virtualJoysticks.clear();
}

bool DInputTestSetJoystick(int index, int axis, int16_t value, int button, bool pressed) {
    SDL_Joystick* joystick = SDL_JoystickFromInstanceID(SDL_JoystickGetDeviceInstanceID(index));
    if (!joystick) return false;
    bool ok = SDL_JoystickSetVirtualAxis(joystick, axis, value) == 0;
    ok = SDL_JoystickSetVirtualButton(joystick, button, pressed ? 1 : 0) == 0 && ok;
    SDL_JoystickUpdate();
    return ok;
}

bool DInputTestSetJoystickHat(int index, int hat, uint8_t value) {
    SDL_Joystick* joystick = SDL_JoystickFromInstanceID(SDL_JoystickGetDeviceInstanceID(index));
    if (!joystick) return false;
    bool ok = SDL_JoystickSetVirtualHat(joystick, hat, value) == 0;
    SDL_JoystickUpdate();
    return ok;
}

void DInputTestSetForceFeedback(bool on, HRESULT result) {
    g_ffSeam = on;
    g_ffResult = result;
    g_ffCommands.clear();
}

const std::vector<DWORD>& DInputTestForceFeedbackCommands() {
    return g_ffCommands;
}
