// Recording and replay of the input the game reads: the window messages it takes from the
// queue, the input devices' answers and the millisecond clock at each empty queue (the frame
// times). A replay answers those calls from a recording instead of the devices, so a recorded
// session plays again the same way without the game knowing.
//
// File layout (little-endian): "MVIR", u16 version (1), u16 flags (bit 0: recorded on a
// driven clock), u32 clock at the start; then events, each a kind byte and its fields:
//   1 empty queue    u32 clock
//   2 message        u32 window serial (0: none), u32 message, u64 wParam, u64 lParam,
//                    u32 time, i32 x, i32 y
//   3 device state   i32 result, u32 size (at most 4096), size bytes
//   4 device data    i32 result, u32 count (at most 1024), count x {u32 offset, u32 data,
//                    u32 time stamp, u32 sequence}
//   5 device poll    i32 result
//   6 device acquire i32 result
//   7 session call   u32 size (at most 1 MiB + 64), size bytes laid out by the session service
//                    (see platform/dplay/dplay_log.h)
// A recording may end anywhere between events; a replay that runs out of events delivers
// WM_QUIT from then on. A call that finds another kind of event than its own ends the replay
// as out of step: WM_QUIT with exit code 3 from then on, and PlatformInputReplayFailed().
//
// The environment starts either mode before the game's first input: MAROVANT_RECORD_INPUT=file
// records, MAROVANT_REPLAY_INPUT=file replays (and the program ends when it fails to load), and
// both together make a scripted recording.
#pragma once

#include "platform/com/com.h"
#include "platform/win32/win32.h"

#include <cstddef>
#include <cstdint>

enum PlatformInputLogMode : int {
    kPlatformInputLive = 0,
    kPlatformInputRecording = 1,
    kPlatformInputReplaying = 2,
    kPlatformInputReplayEnded = 3,
};

inline constexpr uint16_t kPlatformInputLogVersion = 1;

// Starts recording to a new file (replaced if it exists). While recording, the millisecond
// clock moves only at an empty queue (to the real time, unless a test drives it), so the game
// sees exactly the times a replay gives it. False when the file cannot be made.
bool PlatformStartInputRecording(const char* path);
// Loads a recording and starts replaying it on the driven clock. False, and nothing changes,
// when the file cannot be read or is not a whole, valid recording.
bool PlatformStartInputReplay(const char* path);
bool PlatformStartInputReplayFromMemory(const uint8_t* data, size_t size);
// A scripted recording: replays the input recording `script` (paced so that its clock runs no
// faster than real time from its start) with the session service live, and records to `path`
// everything the game got: the script's events and the session's answers. Its recording then
// replays alone. False, and nothing runs, when the script cannot be read or the file made.
bool PlatformStartScriptedRecording(const char* script, const char* path);
// Ends a replay (or a scripted recording) as if its events had run out here.
void PlatformEndInputReplay();
// Ends either mode (a recording is flushed and closed); input is live again.
void PlatformStopInputLog();
PlatformInputLogMode PlatformInputLogState();
// True once a replay went out of step with the recording.
bool PlatformInputReplayFailed();
// Events of the loaded replay not yet used.
size_t PlatformInputReplayEventsLeft();

// For the layer's own modules: the hooks of the recorded calls.
namespace inputlog {
// Starts the mode the environment asks for, once per process.
void StartFromEnvironmentOnce();
bool Recording();
bool Replaying();
// True when session calls are answered from the replay (not in a scripted recording).
bool ReplayingSessions();
// Window serials name windows in a recording (pointers change between runs).
using SerialOf = uint32_t (*)(HWND);
using WindowOf = HWND (*)(uint32_t);
void SetWindowMapping(SerialOf serialOf, WindowOf windowOf);
// Message retrieval: records what a call got (msg null for an empty queue), or answers a call
// from the replay. `allowEmpty` is false for GetMessage, which never returns empty.
void RecordMessage(const MSG* msg);
bool ReplayMessage(MSG* msg, bool allowEmpty);
// Device calls: record their answers, or answer them from the replay.
void RecordState(HRESULT result, DWORD size, const void* data);
HRESULT ReplayState(DWORD size, void* data);
// One buffered device record, as the device data call gives it.
struct Datum {
    uint32_t offset, data, timeStamp, sequence;
};
void RecordData(HRESULT result, DWORD count, const Datum* records);
// Answers a data call of room for `capacity` records; *count gets the number given.
HRESULT ReplayData(Datum* records, DWORD capacity, DWORD* count);
void RecordResult(uint8_t kind, HRESULT result);
HRESULT ReplayResult(uint8_t kind);
// Calls of the session service: their answers as one block of bytes.
void RecordCall(const uint8_t* bytes, uint32_t size);
// The next session call's bytes and size, or null when the replay has ended or is out of step.
const uint8_t* ReplayCall(uint32_t* size);
// Ends the replay as out of step: a caller found that the event it was given is not its own.
void ReplayOutOfStep(const char* what);
inline constexpr uint8_t kPoll = 5;
inline constexpr uint8_t kAcquire = 6;
} // namespace inputlog
