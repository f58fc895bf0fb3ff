// Stand-in for the media control interface, the audio mixer and the periodic multimedia
// timers. The machine has no CD device: opening "cdaudio" fails as it did on a machine
// without a drive, and the mixer has no lines. Timers really run, on a thread of the layer.
#pragma once

#include "platform/win32/win32.h"
#include "platform/winmm/winmm.h"

#include <cstdint>

using MCIERROR = uint32_t;

// Error codes the callers tell apart.
constexpr MCIERROR MCIERR_HARDWARE = 262;
constexpr MCIERROR MCIERR_INVALID_DEVICE = 263; // no such device on this machine
constexpr MCIERROR MCIERR_DEVICE_REFUSED = 291; // the device exists but could not be opened

// Drive modes answered by "status cdaudio mode".
constexpr uint32_t MCI_MODE_NOT_READY = 524;
constexpr uint32_t MCI_MODE_STOP = 525;
constexpr uint32_t MCI_MODE_PLAY = 526;
constexpr uint32_t MCI_MODE_PAUSE = 529;
constexpr uint32_t MCI_MODE_OPEN = 530;

// Sends one command text; a reply, when there is one, is copied terminated into `reply`.
// Commands of the CD device: "open cdaudio", "close cdaudio", "set cdaudio time format
// tmsf|milliseconds", "set cdaudio door open|closed", "status cdaudio mode|number of
// tracks|current track|position", "status cdaudio type|length|position track N" (type answers
// "audio" or "other"), "play cdaudio [from N] [to N]", "seek cdaudio to N", "pause cdaudio",
// "stop cdaudio". `notify` is the window told when play ends.
MCIERROR mciSendString(const char* command, char* reply, uint32_t replySize, HWND notify);
// The text of an error, cut to the buffer and terminated; false for an unknown code.
bool mciGetErrorString(MCIERROR error, char* buffer, uint32_t size);

// Test seam: a simulated device answers every command while set (nullptr restores the
// machine without a drive).
using PlatformMciHandler = MCIERROR (*)(const char* command, char* reply, uint32_t replySize);
void PlatformSetMciHandler(PlatformMciHandler handler);

// Mixer: line component types and the volume control type.
constexpr uint32_t MIXERLINE_COMPACTDISC = 0x1005;
constexpr uint32_t MIXERLINE_DIGITAL = 0x1001;
constexpr uint32_t MIXERLINE_AUXILIARY = 0x1009;
constexpr uint32_t MIXERLINE_LINE = 0x1002;
constexpr uint32_t MIXERLINE_ANALOG = 0x100A;
constexpr uint32_t MIXERCONTROL_VOLUME = 0x50030001;
constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
constexpr MMRESULT MIXERR_INVALLINE = 1024;

using HMIXER = uint32_t;
uint32_t mixerGetNumDevs();
MMRESULT mixerOpen(HMIXER* mixer, uint32_t device);
MMRESULT mixerClose(HMIXER mixer);
// The control of the given type on the line of the given component type.
MMRESULT mixerGetLineControl(HMIXER mixer, uint32_t componentType, uint32_t controlType,
                             uint32_t* control);
MMRESULT mixerSetControlValue(HMIXER mixer, uint32_t control, uint32_t value);
MMRESULT mixerGetControlValue(HMIXER mixer, uint32_t control, uint32_t* value);

// Test seam: give the one mixer device a volume-controlled line of this component type
// (0 removes every line). The machine's mixer has none.
void PlatformMixerAddLine(uint32_t componentType);
// The value of a line's volume control, or -1 when there is no such line.
int64_t PlatformMixerLineValue(uint32_t componentType);

// Periodic multimedia timers.
struct TIMECAPS {
    uint32_t wPeriodMin;
    uint32_t wPeriodMax;
};
using LPTIMECALLBACK = void (*)(uint32_t id, uint32_t message, uintptr_t user, uintptr_t,
                                uintptr_t);
constexpr uint32_t TIME_ONESHOT = 0;
constexpr uint32_t TIME_PERIODIC = 1;
MMRESULT timeGetDevCaps(TIMECAPS* caps, uint32_t size);
// The new timer's identifier, 0 on failure. Events run on a thread of the layer.
uint32_t timeSetEvent(uint32_t delayMs, uint32_t resolution, LPTIMECALLBACK callback,
                      uintptr_t user, uint32_t flags);
// Ends a timer; an event already running finishes (before the call returns, unless the call
// comes from that event), no later one starts.
MMRESULT timeKillEvent(uint32_t id);
// Shut-down of the timers: every timer is killed and every thread of the layer joined. Also
// done when the program ends.
void PlatformStopTimers();

// Test seam (set before creating timers): while manual, timers never fire by themselves;
// PlatformFireTimers runs one event of every live timer on the calling thread (one-shot timers end
// with it).
void PlatformUseManualTimers(bool on);
void PlatformFireTimers();
// Number of live timers.
int PlatformLiveTimers();
