// Stand-in for the DirectInput interfaces in use: the system keyboard and mouse (always
// attached, read from SDL's keyboard and mouse state and events) and joysticks (SDL's joystick
// subsystem). Interfaces are abstract classes with QueryInterface, AddRef and Release first and
// real reference counts; only the methods in use exist. Result codes and flags keep the old
// platform's values.
#pragma once

#include "platform/com/com.h"
#include "platform/ddraw/ddraw.h"
#include "platform/win32/win32.h"

#include <cstdint>
#include <vector>

constexpr HRESULT DI_OK = 0;
constexpr HRESULT DI_NOEFFECT = 1;
constexpr HRESULT DI_PROPNOEFFECT = 1;
constexpr HRESULT DIERR_INPUTLOST = static_cast<HRESULT>(0x8007001Eu);
constexpr HRESULT DIERR_NOTACQUIRED = static_cast<HRESULT>(0x8007000Cu);
constexpr HRESULT DIERR_INVALIDPARAM = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT DIERR_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT DIERR_UNSUPPORTED = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT DIERR_DEVICENOTREG = static_cast<HRESULT>(0x80040154u);
constexpr HRESULT DIERR_NOTBUFFERED = static_cast<HRESULT>(0x80040207u);
constexpr HRESULT DIERR_ACQUIRED = static_cast<HRESULT>(0x800700AAu);
constexpr HRESULT DIERR_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT DIERR_GENERIC = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT DIERR_OTHERAPPHASPRIO = static_cast<HRESULT>(0x80070005u);
constexpr HRESULT DIERR_NOTEXCLUSIVEACQUIRED = static_cast<HRESULT>(0x80040205u);
constexpr HRESULT DIERR_NOTINITIALIZED = static_cast<HRESULT>(0x80070015u);
constexpr HRESULT DIERR_BETADIRECTINPUTVERSION = static_cast<HRESULT>(0x80070481u);
constexpr HRESULT DIERR_OLDDIRECTINPUTVERSION = static_cast<HRESULT>(0x8007047Eu);

// Force-feedback commands and the capability flag that offers them.
constexpr DWORD DISFFC_RESET = 0x01;
constexpr DWORD DISFFC_STOPALL = 0x02;
constexpr DWORD DISFFC_PAUSE = 0x04;
constexpr DWORD DISFFC_CONTINUE = 0x08;
constexpr DWORD DISFFC_SETACTUATORSON = 0x10;
constexpr DWORD DISFFC_SETACTUATORSOFF = 0x20;
constexpr DWORD DIDC_ATTACHED = 0x01;
constexpr DWORD DIDC_FORCEFEEDBACK = 0x100;

constexpr DWORD DIRECTINPUT_VERSION_500 = 0x500;

constexpr DWORD DIDEVTYPE_DEVICE = 1;
constexpr DWORD DIDEVTYPE_MOUSE = 2;
constexpr DWORD DIDEVTYPE_KEYBOARD = 3;
constexpr DWORD DIDEVTYPE_JOYSTICK = 4;
constexpr DWORD DIEDFL_ATTACHEDONLY = 1;
constexpr BOOL DIENUM_STOP = 0;
constexpr BOOL DIENUM_CONTINUE = 1;

constexpr DWORD DISCL_EXCLUSIVE = 1;
constexpr DWORD DISCL_NONEXCLUSIVE = 2;
constexpr DWORD DISCL_FOREGROUND = 4;
constexpr DWORD DISCL_BACKGROUND = 8;

// Property ids are small integers passed where a GUID reference is expected.
constexpr uintptr_t DIPROP_BUFFERSIZE = 1;
constexpr uintptr_t DIPROP_AXISMODE = 2;
constexpr uintptr_t DIPROP_RANGE = 4;
constexpr DWORD DIPH_DEVICE = 0;
constexpr DWORD DIPH_BYOFFSET = 1;
constexpr DWORD DIPROPAXISMODE_ABS = 0;
constexpr DWORD DIPROPAXISMODE_REL = 1;

constexpr DWORD DIMOFS_X = 0, DIMOFS_Y = 4, DIMOFS_Z = 8, DIMOFS_BUTTON0 = 12;
constexpr DWORD DIJOFS_X = 0, DIJOFS_Y = 4, DIJOFS_Z = 8, DIJOFS_RX = 12, DIJOFS_RY = 16,
                DIJOFS_RZ = 20, DIJOFS_SLIDER0 = 24, DIJOFS_POV0 = 32, DIJOFS_BUTTON0 = 48;

struct DIDEVICEINSTANCEA {
    DWORD dwSize;
    GUID guidInstance;
    GUID guidProduct;
    DWORD dwDevType;
    char tszInstanceName[260];
    char tszProductName[260];
    GUID guidFFDriver;
    uint16_t wUsagePage;
    uint16_t wUsage;
};

struct DIDEVICEOBJECTDATA {
    DWORD dwOfs;
    DWORD dwData;
    DWORD dwTimeStamp;
    DWORD dwSequence;
};
static_assert(sizeof(DIDEVICEOBJECTDATA) == 16);

struct DIMOUSESTATE {
    LONG lX, lY, lZ;
    uint8_t rgbButtons[4];
};
static_assert(sizeof(DIMOUSESTATE) == 16);

// The standard joystick state: 80 bytes, the start of the extended one.
struct DIJOYSTATE {
    LONG lX, lY, lZ, lRx, lRy, lRz;
    LONG rglSlider[2];
    DWORD rgdwPOV[4];
    uint8_t rgbButtons[32];
};
static_assert(sizeof(DIJOYSTATE) == 80);

struct DIDEVCAPS {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwDevType;
    DWORD dwAxes;
    DWORD dwButtons;
    DWORD dwPOVs;
    DWORD dwFFSamplePeriod;
    DWORD dwFFMinTimeResolution;
    DWORD dwFirmwareRevision;
    DWORD dwHardwareRevision;
    DWORD dwFFDriverVersion;
};

struct DIJOYSTATE2 {
    LONG lX, lY, lZ, lRx, lRy, lRz;
    LONG rglSlider[2];
    DWORD rgdwPOV[4];
    uint8_t rgbButtons[128];
    LONG lVX, lVY, lVZ, lVRx, lVRy, lVRz;
    LONG rglVSlider[2];
    LONG lAX, lAY, lAZ, lARx, lARy, lARz;
    LONG rglASlider[2];
    LONG lFX, lFY, lFZ, lFRx, lFRy, lFRz;
    LONG rglFSlider[2];
};
static_assert(sizeof(DIJOYSTATE2) == 272);

struct DIPROPHEADER {
    DWORD dwSize;
    DWORD dwHeaderSize;
    DWORD dwObj;
    DWORD dwHow;
};
struct DIPROPDWORD {
    DIPROPHEADER diph;
    DWORD dwData;
};
struct DIPROPRANGE {
    DIPROPHEADER diph;
    LONG lMin;
    LONG lMax;
};

// The layout a device's state and events are reported in; only the size is described here.
struct DIDATAFORMAT {
    DWORD dwDataSize;
    DWORD kind; // 1 keyboard, 2 mouse, 3 extended joystick
};
extern const DIDATAFORMAT c_dfDIKeyboard;
extern const DIDATAFORMAT c_dfDIMouse;
extern const DIDATAFORMAT c_dfDIJoystick;
extern const DIDATAFORMAT c_dfDIJoystick2;

extern const GUID GUID_SysKeyboard;
extern const GUID GUID_SysMouse;
extern const IID IID_IDirectInputA;
extern const IID IID_IDirectInputDevice2A;
extern const IID IID_IDirectInputDeviceA;

class IDirectInputDevice2A {
public:
    virtual HRESULT QueryInterface(REFIID iid, void** out) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual HRESULT GetProperty(uintptr_t property, DIPROPHEADER* header) = 0;
    virtual HRESULT SetProperty(uintptr_t property, const DIPROPHEADER* header) = 0;
    virtual HRESULT Acquire() = 0;
    virtual HRESULT Unacquire() = 0;
    virtual HRESULT GetDeviceState(DWORD size, void* data) = 0;
    virtual HRESULT GetDeviceData(DWORD objectSize, DIDEVICEOBJECTDATA* data, DWORD* count,
                                  DWORD flags) = 0;
    virtual HRESULT SetDataFormat(const DIDATAFORMAT* format) = 0;
    virtual HRESULT SetEventNotification(HANDLE event) = 0;
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
    virtual HRESULT Poll() = 0;
    virtual HRESULT GetCapabilities(DIDEVCAPS* caps) = 0;
    // Needs the device acquired exclusively; DIERR_UNSUPPORTED without force feedback.
    virtual HRESULT SendForceFeedbackCommand(DWORD flags) = 0;

protected:
    ~IDirectInputDevice2A() = default;
};
using IDirectInputDeviceA = IDirectInputDevice2A;

using LPDIENUMDEVICESCALLBACKA = BOOL (*)(const DIDEVICEINSTANCEA* instance, void* context);

class IDirectInputA {
public:
    virtual HRESULT QueryInterface(REFIID iid, void** out) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual HRESULT CreateDevice(const GUID& instance, IDirectInputDeviceA** out, void* outer) = 0;
    virtual HRESULT EnumDevices(DWORD devType, LPDIENUMDEVICESCALLBACKA callback, void* context,
                                DWORD flags) = 0;

protected:
    ~IDirectInputA() = default;
};

HRESULT DirectInputCreateA(HINSTANCE instance, DWORD version, IDirectInputA** out, void* outer);

// An auto-reset or manual-reset event object; the stand-in only sets and keeps it.
HANDLE DInputCreateEvent(BOOL manualReset, BOOL initialState);
BOOL DInputCloseEvent(HANDLE event);
// 1 when set (and an auto-reset event is cleared by the query).
BOOL DInputTestEvent(HANDLE event);

// Test seams: DirectInputCreateA fails while set; every acquired device loses its acquisition
// (reads then answer DIERR_INPUTLOST until acquired again).
void DInputSetCreateFailure(bool fail);
void DInputLoseAllDevices();
// Test seams: a record as the device would buffer it, handed to every acquired device of the
// type (DIDEVTYPE_KEYBOARD or DIDEVTYPE_MOUSE); a key held in the keyboard state beside SDL's.
void DInputTestPushRecord(DWORD devType, DWORD offset, DWORD data);
void DInputTestHoldKey(uint8_t scan, bool held);
// A virtual joystick (SDL's) with the given axes, buttons and hats; its index, or -1. Axis
// values are SDL's (-32768 to 32767), set on the opened joystick of that index.
int DInputTestAttachJoystick(int axes, int buttons, int hats);
void DInputTestDetachJoysticks();
bool DInputTestSetJoystick(int index, int axis, int16_t value, int button, bool pressed);
// Sets one hat (SDL_HAT_* bits) of the virtual joystick of that index.
bool DInputTestSetJoystickHat(int index, int hat, uint8_t value);
// Test seam for force feedback: while set, every joystick reports force feedback and each
// command answers `result` (after the acquisition checks); the commands sent are recorded.
void DInputTestSetForceFeedback(bool on, HRESULT result = DI_OK);
const std::vector<DWORD>& DInputTestForceFeedbackCommands();
