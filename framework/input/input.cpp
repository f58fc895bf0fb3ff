#include "framework/input/input.h"

#include "framework/core/framework.h"
#include "framework/core/memory.h"
#include "framework/core/modules.h"
#include "platform/dinput/dinput.h"

#include <climits>
#include <cstring>

const VkGuid CLSID_VkIO = {
    0xFFCD08A6, 0x5790, 0x11D2, {0xAD, 0x47, 0x00, 0x60, 0x08, 0x56, 0xCC, 0x1B}};
const VkGuid IID_IVkIO = CLSID_VkIO;
const VkGuid IID_IVkInputDevice = {
    0xFFCD08A5, 0x5790, 0x11D2, {0xAD, 0x47, 0x00, 0x60, 0x08, 0x56, 0xCC, 0x1B}};
const VkGuid IID_IVkKeyboardState = {
    0xFFCD08A3, 0x5790, 0x11D2, {0xAD, 0x47, 0x00, 0x60, 0x08, 0x56, 0xCC, 0x1B}};
const VkGuid IID_IVkKeyboardEvents = {
    0xFFCD08A4, 0x5790, 0x11D2, {0xAD, 0x47, 0x00, 0x60, 0x08, 0x56, 0xCC, 0x1B}};
const VkGuid IID_IVkMouseState = {
    0x6D8E1981, 0x6EB9, 0x11D2, {0xAD, 0x47, 0x00, 0x60, 0x08, 0x56, 0xCC, 0x1B}};
const VkGuid IID_IVkMouseEvents = {
    0xFFCD08A7, 0x5790, 0x11D2, {0xAD, 0x47, 0x00, 0x60, 0x08, 0x56, 0xCC, 0x1B}};
const VkGuid IID_IVkJoystickState = {
    0xE2941F21, 0x6EC0, 0x11D2, {0xAD, 0x47, 0x00, 0x60, 0x08, 0x56, 0xCC, 0x1B}};

namespace {

constexpr uint32_t kMaxDevices = 64;
constexpr uint32_t kScanCount = 222;
constexpr DWORD kCooperation = DISCL_NONEXCLUSIVE | DISCL_BACKGROUND;
constexpr DWORD kEventBuffer = 16;

// Key code of each scan code below 222; 0xFF is no key.
const uint8_t kKeyOfScan[kScanCount] = {
    0xFF, 0x80, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x30, 0x2D, 0x3D, 0xA8, 0xA9,
    0x71, 0x77, 0x65, 0x72, 0x74, 0x79, 0x75, 0x69, 0x6F, 0x70, 0x5B, 0x5D, 0xAB, 0xAE, 0x61, 0x73,
    0x64, 0x66, 0x67, 0x68, 0x6A, 0x6B, 0x6C, 0x3B, 0x27, 0x60, 0xAC, 0x5C, 0x7A, 0x78, 0x63, 0x76,
    0x62, 0x6E, 0x6D, 0x2C, 0x2E, 0x2F, 0xAD, 0x2A, 0xB0, 0x20, 0xAA, 0x81, 0x82, 0x83, 0x84, 0x85,
    0x86, 0x87, 0x88, 0x89, 0x8A, 0xA1, 0xFF, 0x99, 0x9D, 0x9B, 0x2D, 0x9F, 0xA7, 0xA0, 0x2B, 0x9A,
    0x9E, 0x9C, 0x9F, 0xFF, 0xFF, 0xFF, 0xFF, 0x8B, 0x8C, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0x60, 0x40, 0x3A, 0x5F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xA6, 0xAF, 0xFF, 0xFF,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x2F, 0xFF, 0xFF, 0xB1, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x8F, 0x93, 0x91, 0xFF, 0x95, 0xFF, 0x96, 0xFF, 0x90,
    0x94, 0x92, 0x8D, 0x8E, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
};

uint8_t g_scanOfKey[256];

// Built once per process; a later scan code with the same key code wins.
void BuildReverseTable() {
    if (g_scanOfKey[0x61] == 0x1E) return;
    for (uint32_t s = 0; s < kScanCount; ++s)
        g_scanOfKey[kKeyOfScan[s]] = static_cast<uint8_t>(s);
    g_scanOfKey[0xFF] = 0;
}

struct DeviceEntry {
    DWORD type;
    IDirectInputDevice2A* device;
    IVkUpdatable* reader;
};

class InputIO final : public VkObject<IVkIO, IID_IVkIO> {
public:
    VkResult Initialise(HINSTANCE instance, HWND window) override {
        instance_ = instance;
        window_ = window;
        IDirectInputA* input = nullptr;
        if (DirectInputCreateA(instance, DIRECTINPUT_VERSION_500, &input, nullptr) < 0)
            return VK_E_FAIL;
        Listing listing = {this, input};
        for (DWORD type : {DIDEVTYPE_KEYBOARD, DIDEVTYPE_MOUSE, DIDEVTYPE_JOYSTICK})
            input->EnumDevices(type, Listed, &listing, DIEDFL_ATTACHEDONLY);
        input->Release();
        return VK_OK;
    }

    uint32_t GetDeviceCount() override { return count_; }
    IVkInputDevice* GetDevice(uint32_t index) override;

    VkResult UpdateAll() override {
        for (uint32_t i = 0; i < count_; ++i)
            if (entries_[i].device && entries_[i].reader) entries_[i].reader->Update();
        return VK_OK;
    }

    DeviceEntry& Entry(uint32_t index) { return entries_[index]; }
    HWND Window() const { return window_; }
    HINSTANCE Instance() const { return instance_; }

private:
    struct Listing {
        InputIO* self;
        IDirectInputA* input;
    };

    static BOOL Listed(const DIDEVICEINSTANCEA* instance, void* context) {
        auto* listing = static_cast<Listing*>(context);
        InputIO* self = listing->self;
        if (self->count_ >= kMaxDevices) return DIENUM_STOP;
        IDirectInputDeviceA* first = nullptr;
        // Devices that cannot be made are skipped.
        if (listing->input->CreateDevice(instance->guidInstance, &first, nullptr) < 0)
            return DIENUM_CONTINUE;
        IDirectInputDevice2A* device = nullptr;
        HRESULT res =
            first->QueryInterface(IID_IDirectInputDevice2A, reinterpret_cast<void**>(&device));
        first->Release();
        if (res >= 0) self->entries_[self->count_++] = {instance->dwDevType, device, nullptr};
        return DIENUM_CONTINUE;
    }

    void Destroy() override {
        for (uint32_t i = 0; i < count_; ++i)
            if (entries_[i].device) entries_[i].device->Release();
        VkMemDestroyObject(this);
        VkClose();
    }

    uint32_t count_ = 0;
    DeviceEntry entries_[kMaxDevices] = {};
    HINSTANCE instance_ = nullptr;
    HWND window_ = nullptr;
};

// What every reader shares: its device, the table entry it occupies, the read-failure rule.
class ReaderBase : public IVkUpdatable {
public:
    ReaderBase(InputIO* owner, uint32_t index)
        : owner_(owner), index_(index), device_(owner->Entry(index).device) {
        owner_->AddRef();
    }
    virtual ~ReaderBase() {
        DeviceEntry& entry = owner_->Entry(index_);
        if (entry.reader == this) entry.reader = nullptr;
        if (event_) DInputCloseEvent(event_);
        owner_->Release();
    }
    // The reader's own interface, as handed to the caller.
    virtual IVkUnknown* Face() = 0;
    virtual VkResult SetUp() = 0;

protected:
    VkResult Prepare(const DIDATAFORMAT& format) {
        if (device_->SetDataFormat(&format) < 0) return VK_E_FAIL;
        if (device_->SetCooperativeLevel(owner_->Window(), kCooperation) < 0) return VK_E_FAIL;
        return VK_OK;
    }
    VkResult SetDword(uintptr_t property, DWORD value) {
        DIPROPDWORD p = {{sizeof p, sizeof p.diph, 0, DIPH_DEVICE}, value};
        return device_->SetProperty(property, &p.diph) < 0 ? VK_E_FAIL : VK_OK;
    }
    // Event notification and a 16-record buffer, for the event readers.
    VkResult PrepareEvents() {
        event_ = DInputCreateEvent(0, 0);
        if (!event_ || device_->SetEventNotification(event_) < 0) return VK_E_FAIL;
        return SetDword(DIPROP_BUFFERSIZE, kEventBuffer);
    }
    // A failed read; a lost device is acquired again so the next read can succeed.
    VkResult Failed(HRESULT res) {
        if (res == DIERR_INPUTLOST) device_->Acquire();
        return VK_E_FAIL;
    }
    VkResult PollDevice() {
        HRESULT res = device_->Poll();
        return res < 0 ? Failed(res) : VK_OK;
    }
    VkResult ReadState(void* state, DWORD size) {
        if (VkResult res = PollDevice(); res < 0) return res;
        HRESULT res = device_->GetDeviceState(size, state);
        return res < 0 ? Failed(res) : VK_OK;
    }
    // 1 when one record was read, 0 when none was waiting, or a failure.
    VkResult ReadRecord(DIDEVICEOBJECTDATA* record) {
        DWORD count = 1;
        HRESULT res = device_->GetDeviceData(sizeof *record, record, &count, 0);
        if (res < 0) return Failed(res);
        return count == 1 ? 1 : 0;
    }

    InputIO* owner_;
    uint32_t index_;
    IDirectInputDevice2A* device_;
    HANDLE event_ = nullptr;
};

template <class Interface, const VkGuid& Iid>
class Reader : public VkObject<Interface, Iid>, public ReaderBase {
public:
    using ReaderBase::ReaderBase;
    IVkUnknown* Face() override { return static_cast<Interface*>(this); }

private:
    void Destroy() override {
        void* block = dynamic_cast<void*>(this);
        this->~Reader();
        VkMemFree(block);
    }
};

class KeyboardState final : public Reader<IVkKeyboardState, IID_IVkKeyboardState> {
public:
    using Reader::Reader;
    VkResult SetUp() override { return Prepare(c_dfDIKeyboard); }
    uint32_t IsKeyDown(uint32_t key) override {
        uint8_t scan = key < 256 ? g_scanOfKey[key] : 0;
        return scan ? keys_[scan] >> 7 : 0;
    }
    VkResult Update() override { return ReadState(keys_, sizeof keys_); }

private:
    uint8_t keys_[256] = {};
};

class KeyboardEvents final : public Reader<IVkKeyboardEvents, IID_IVkKeyboardEvents> {
public:
    using Reader::Reader;
    VkResult SetUp() override {
        if (VkResult res = Prepare(c_dfDIKeyboard); res < 0) return res;
        return PrepareEvents();
    }
    VkResult ReadEvent(uint32_t* pressed, uint32_t* key) override {
        VkResult res = ReadRecord(&record_);
        if (res <= 0) return res;
        *key = VkInputKeyFromScan(record_.dwOfs);
        *pressed = (record_.dwData >> 7) & 1;
        return VK_OK;
    }
    VkResult Reserved() override { return VK_E_FAIL; }
    VkResult Poll() override { return PollDevice(); }
    VkResult Update() override { return Poll(); }

private:
    DIDEVICEOBJECTDATA record_ = {};
};

class MouseState final : public Reader<IVkMouseState, IID_IVkMouseState> {
public:
    using Reader::Reader;
    VkResult SetUp() override {
        if (VkResult res = Prepare(c_dfDIMouse); res < 0) return res;
        return SetDword(DIPROP_AXISMODE, DIPROPAXISMODE_ABS);
    }
    VkResult GetAxis(uint32_t axis, int32_t* value) override {
        switch (axis) {
        case 0: *value = state_.lX; return VK_OK;
        case 1: *value = state_.lY; return VK_OK;
        case 2: *value = state_.lZ; return VK_OK;
        default: return VK_E_FAIL;
        }
    }
    uint32_t GetButtons() override {
        uint32_t bits = 0;
        for (uint32_t i = 0; i < 4; ++i)
            if (state_.rgbButtons[i] & 0x80) bits |= 1u << i;
        return bits;
    }
    VkResult Update() override { return ReadState(&state_, sizeof state_); }

private:
    DIMOUSESTATE state_ = {};
};

class MouseEvents final : public Reader<IVkMouseEvents, IID_IVkMouseEvents> {
public:
    using Reader::Reader;
    VkResult SetUp() override {
        if (VkResult res = Prepare(c_dfDIMouse); res < 0) return res;
        if (VkResult res = PrepareEvents(); res < 0) return res;
        return SetDword(DIPROP_AXISMODE, DIPROPAXISMODE_REL);
    }
    VkResult ReadEvent(uint32_t* code, int32_t* value) override {
        VkResult res = ReadRecord(&record_);
        if (res <= 0) return VK_E_FAIL;
        DWORD ofs = record_.dwOfs;
        if (ofs == DIMOFS_X || ofs == DIMOFS_Y || ofs == DIMOFS_Z) {
            *code = VK_MOUSE_X + ofs / 4;
            *value = static_cast<int32_t>(record_.dwData);
            return VK_OK;
        }
        if (ofs >= DIMOFS_BUTTON0 && ofs < DIMOFS_BUTTON0 + 4) {
            *code = (record_.dwData & 0x80) ? VK_MOUSE_PRESSED : VK_MOUSE_RELEASED;
            *value = 1 << (ofs - DIMOFS_BUTTON0);
            return VK_OK;
        }
        return VK_E_FAIL;
    }
    VkResult Reserved() override { return VK_E_FAIL; }
    VkResult Poll() override { return PollDevice(); }
    VkResult Update() override { return Poll(); }

private:
    DIDEVICEOBJECTDATA record_ = {};
};

class JoystickState final : public Reader<IVkJoystickState, IID_IVkJoystickState> {
public:
    using Reader::Reader;
    VkResult SetUp() override {
        if (VkResult res = Prepare(c_dfDIJoystick2); res < 0) return res;
        if (VkResult res = SetDword(DIPROP_AXISMODE, DIPROPAXISMODE_ABS); res < 0) return res;
        for (DWORD ofs : {DIJOFS_X, DIJOFS_Y, DIJOFS_Z, DIJOFS_RX, DIJOFS_RY, DIJOFS_RZ}) {
            DIPROPRANGE range = {
                {sizeof range, sizeof range.diph, ofs, DIPH_BYOFFSET}, -10000, 10000};
            device_->SetProperty(DIPROP_RANGE, &range.diph);
        }
        return VK_OK;
    }
    VkResult GetAxis(uint32_t axis, float* value) override {
        const LONG* raw = Axis(axis);
        if (!raw) return VK_E_FAIL;
        // The range of the whole device scales the value when the device reports one.
        DIPROPRANGE range = {{sizeof range, sizeof range.diph, 0, DIPH_DEVICE}, 0, 0};
        if (device_->GetProperty(DIPROP_RANGE, &range.diph) >= 0 && range.lMin != INT_MIN &&
            range.lMax != INT_MAX && range.lMax != range.lMin) {
            *value = static_cast<float>((static_cast<double>(*raw) - range.lMin) /
                                        (static_cast<double>(range.lMax) - range.lMin));
        } else {
            *value = static_cast<float>(*raw);
        }
        return VK_OK;
    }
    uint32_t GetButtons() override {
        uint32_t bits = 0;
        for (uint32_t i = 0; i < 32; ++i)
            if (state_.rgbButtons[i] & 0x80) bits |= 1u << i;
        return bits;
    }
    VkResult Update() override { return ReadState(&state_, sizeof state_); }

private:
    // Point-of-view values are read as signed, so a centred hat is -1.
    const LONG* Axis(uint32_t code) const {
        switch (code) {
        case VK_JOY_X: return &state_.lX;
        case VK_JOY_Y: return &state_.lY;
        case VK_JOY_Z: return &state_.lZ;
        case VK_JOY_RX: return &state_.lRx;
        case VK_JOY_RY: return &state_.lRy;
        case VK_JOY_RZ: return &state_.lRz;
        case VK_JOY_SLIDER0:
        case VK_JOY_SLIDER0 + 1: return &state_.rglSlider[code - VK_JOY_SLIDER0];
        case VK_JOY_POV0:
        case VK_JOY_POV0 + 1:
        case VK_JOY_POV0 + 2:
        case VK_JOY_POV0 + 3:
            return reinterpret_cast<const LONG*>(&state_.rgdwPOV[code - VK_JOY_POV0]);
        default: return nullptr;
        }
    }

    DIJOYSTATE2 state_ = {};
};

class InputDevice final : public VkObject<IVkInputDevice, IID_IVkInputDevice> {
public:
    InputDevice(InputIO* owner, uint32_t index)
        : owner_(owner), index_(index), type_(owner->Entry(index).type),
          device_(owner->Entry(index).device), instance_(owner->Instance()),
          window_(owner->Window()) {
        owner_->AddRef();
    }

    uint32_t GetClass() override {
        switch (type_ & 0xFF) {
        case DIDEVTYPE_KEYBOARD: return 1;
        case DIDEVTYPE_MOUSE: return 2;
        case DIDEVTYPE_JOYSTICK: return 3;
        default: return 0;
        }
    }
    uint32_t GetKindFlags() override {
        switch (type_ & 0xFF) {
        case DIDEVTYPE_KEYBOARD: return 0x30;
        case DIDEVTYPE_MOUSE: return 0x10;
        case DIDEVTYPE_JOYSTICK: return 0x20;
        default: return 0;
        }
    }

    VkResult GetInterface(const VkGuid& iid, void** out) override {
        ReaderBase* reader = nullptr;
        if (iid == IID_IVkKeyboardState)
            reader = Make<KeyboardState>();
        else if (iid == IID_IVkKeyboardEvents)
            reader = Make<KeyboardEvents>();
        else if (iid == IID_IVkMouseState)
            reader = Make<MouseState>();
        else if (iid == IID_IVkMouseEvents)
            reader = Make<MouseEvents>();
        else if (iid == IID_IVkJoystickState)
            reader = Make<JoystickState>();
        else
            throw VkInputError("unknown Interface");
        if (reader->SetUp() < 0) {
            reader->Face()->Release();
            return VK_E_FAIL;
        }
        *out = reader->Face();
        owner_->Entry(index_).reader = reader;
        if (HRESULT res = device_->Acquire(); res < 0)
            throw VkInputError("can't acquire device", res);
        return VK_OK;
    }

    VkResult Unacquire() override { return device_->Unacquire() < 0 ? VK_E_FAIL : VK_OK; }

private:
    template <class T> ReaderBase* Make() {
        T* reader = VkMemNew<T>(owner_, index_);
        if (!reader) throw VkInputError("new failed");
        return reader;
    }

    void Destroy() override {
        InputIO* owner = owner_;
        VkMemDelete(this);
        owner->Release();
    }

    InputIO* owner_;
    uint32_t index_;
    DWORD type_;
    IDirectInputDevice2A* device_;
    HINSTANCE instance_;
    HWND window_;
};

IVkInputDevice* InputIO::GetDevice(uint32_t index) {
    // An index past the table has no device.
    if (index >= count_) return nullptr;
    auto* device = VkMemNew<InputDevice>(this, index);
    if (!device) throw VkInputError("new failed");
    return device;
}

const VkComponentRecord kInputRecords[] = {
    {&CLSID_VkIO, 0, nullptr, 0, nullptr, VkCreateInput, "InputOutput - Vesk", "Vesk.IO.5.1",
     "Vesk.IO", nullptr},
};

} // namespace

uint32_t VkInputKeyFromScan(uint32_t scan) {
    return scan < kScanCount ? kKeyOfScan[scan] : 0xFF;
}

uint32_t VkInputScanFromKey(uint32_t key) {
    BuildReverseTable();
    return key < 256 ? g_scanOfKey[key] : 0;
}

VkResult VkCreateInput(IVkUnknown* outer, IVkUnknown** out) {
    *out = nullptr;
    if (outer) return VK_E_NOAGGREGATION;
    InputIO* io = nullptr;
    VkResult res = VkMemCreateObject(&io);
    if (res < 0) return res;
    res = VkOpen();
    if (res < 0) {
        VkMemDestroyObject(io);
        return res;
    }
    BuildReverseTable();
    *out = io;
    return VK_OK;
}

VkResult VkInputModuleRegister(IVkRegistry* registry) {
    return VkModule<kInputRecords>::Register(registry);
}
