#include "platform/win32/inputlog.h"

#include "platform/winmm/winmm.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr uint8_t kEmpty = 1;
constexpr uint8_t kMessage = 2;
constexpr uint8_t kState = 3;
constexpr uint8_t kData = 4;
constexpr uint32_t kMaxStateSize = 4096;
constexpr uint32_t kMaxDataCount = 1024;
constexpr uint8_t kCall = 7;
constexpr uint32_t kMaxCallSize = (1u << 20) + 64;
constexpr size_t kHeaderSize = 12;
constexpr uint16_t kFlagDrivenClock = 1;
constexpr WPARAM kOutOfStepExitCode = 3;
// A device asked after the replay ended answers "input lost" (DirectInput's code).
constexpr HRESULT kEndedResult = static_cast<HRESULT>(0x8007001E);

const char* KindName(uint8_t kind) {
    switch (kind) {
    case kEmpty: return "empty queue";
    case kMessage: return "message";
    case kState: return "device state";
    case kData: return "device data";
    case inputlog::kPoll: return "device poll";
    case inputlog::kAcquire: return "device acquire";
    case kCall: return "session call";
    default: return "end";
    }
}

struct Log {
    PlatformInputLogMode mode = kPlatformInputLive;
    // Recording (also while a script is replayed: see PlatformStartScriptedRecording).
    FILE* file = nullptr;
    bool latchClock = false; // the clock follows real time at each empty queue
    bool wasManual = false;
    uint32_t savedClock = 0;
    // Replay: the whole recording, checked at load, read through a cursor.
    std::vector<uint8_t> bytes;
    size_t cursor = 0;
    size_t eventsLeft = 0;
    bool failed = false;
    // A scripted recording: the script's clock is held back to real time from its start.
    bool paced = false;
    uint32_t scriptStart = 0, realStart = 0;
    inputlog::SerialOf serialOf = nullptr;
    inputlog::WindowOf windowOf = nullptr;
};

Log g_log;

void Put(const void* data, size_t size) {
    if (g_log.file && std::fwrite(data, 1, size, g_log.file) != size) {
        std::fprintf(stderr, "input recording: write failed, recording stopped\n");
        std::fclose(g_log.file);
        g_log.file = nullptr;
    }
}

void Put8(uint8_t v) { Put(&v, 1); }
void Put16(uint16_t v) {
    uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
    Put(b, 2);
}
void Put32(uint32_t v) {
    uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    Put(b, 4);
}
void Put64(uint64_t v) {
    Put32(uint32_t(v));
    Put32(uint32_t(v >> 32));
}

uint32_t Get32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint64_t Get64(const uint8_t* p) { return uint64_t(Get32(p)) | uint64_t(Get32(p + 4)) << 32; }

// The size of the event at `at` (kind byte included), or 0 when it is malformed or cut short.
size_t EventSize(const std::vector<uint8_t>& b, size_t at) {
    size_t left = b.size() - at;
    switch (b[at]) {
    case kEmpty: return left >= 5 ? 5 : 0;
    case kMessage: return left >= 37 ? 37 : 0;
    case kState: {
        if (left < 9) return 0;
        uint32_t size = Get32(&b[at + 5]);
        if (size > kMaxStateSize || left - 9 < size) return 0;
        return 9 + size;
    }
    case kData: {
        if (left < 9) return 0;
        uint32_t count = Get32(&b[at + 5]);
        if (count > kMaxDataCount || (left - 9) / 16 < count) return 0;
        return 9 + size_t(count) * 16;
    }
    case inputlog::kPoll:
    case inputlog::kAcquire: return left >= 5 ? 5 : 0;
    case kCall: {
        if (left < 5) return 0;
        uint32_t size = Get32(&b[at + 1]);
        if (size > kMaxCallSize || left - 5 < size) return 0;
        return 5 + size;
    }
    default: return 0;
    }
}

void CloseRecording() {
    if (g_log.file) {
        std::fclose(g_log.file);
        g_log.file = nullptr;
    }
    if (g_log.latchClock) PlatformUseManualClock(g_log.wasManual, g_log.savedClock);
    g_log.latchClock = false;
}

void EndReplay(bool outOfStep, uint8_t wanted) {
    if (outOfStep) {
        uint8_t found = g_log.cursor < g_log.bytes.size() ? g_log.bytes[g_log.cursor] : 0;
        std::fprintf(stderr, "input replay: out of step at byte %zu (the game asked for %s, the "
                             "recording holds %s)\n",
                     g_log.cursor, KindName(wanted), KindName(found));
        g_log.failed = true;
    }
    g_log.mode = kPlatformInputReplayEnded;
}

// The next event's bytes (kind byte first) if it is of `kind`; else the replay ends.
const uint8_t* Next(uint8_t kind) {
    if (g_log.mode != kPlatformInputReplaying) return nullptr;
    if (g_log.cursor >= g_log.bytes.size()) {
        EndReplay(false, kind);
        return nullptr;
    }
    if (g_log.bytes[g_log.cursor] != kind) {
        EndReplay(true, kind);
        return nullptr;
    }
    const uint8_t* at = &g_log.bytes[g_log.cursor];
    const size_t size = EventSize(g_log.bytes, g_log.cursor);
    g_log.cursor += size;
    --g_log.eventsLeft;
    Put(at, size); // a scripted recording keeps what the script gave
    return at;
}

MSG QuitMessage() {
    MSG m{};
    m.message = WM_QUIT;
    m.wParam = g_log.failed ? kOutOfStepExitCode : 0;
    m.time = timeGetTime();
    return m;
}

void PutMessage(const MSG& msg) {
    Put8(kMessage);
    Put32(msg.hwnd && g_log.serialOf ? g_log.serialOf(msg.hwnd) : 0);
    Put32(msg.message);
    Put64(static_cast<uint64_t>(msg.wParam));
    Put64(static_cast<uint64_t>(msg.lParam));
    Put32(msg.time);
    Put32(static_cast<uint32_t>(msg.pt.x));
    Put32(static_cast<uint32_t>(msg.pt.y));
}

// A scripted recording whose script has ended (run out, out of step or stopped by a signal):
// the answers the game gets from then on (the quit, the devices' "input lost") are recorded
// too, so that its replay answers the same calls in the same order as the session calls
// around them.
bool ScriptEnded() {
    return g_log.file && g_log.mode == kPlatformInputReplayEnded;
}

void FlushAtExit() { CloseRecording(); }

} // namespace

bool PlatformStartInputRecording(const char* path) {
    PlatformStopInputLog();
    if (!path) return false;
    FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    g_log.file = f;
    g_log.wasManual = PlatformManualClockOn();
    g_log.savedClock = PlatformManualClockValue();
    g_log.latchClock = !g_log.wasManual;
    uint32_t start = g_log.wasManual ? g_log.savedClock : PlatformRealTime();
    if (g_log.latchClock) PlatformUseManualClock(true, start);
    static std::once_flag atExit;
    std::call_once(atExit, [] { std::atexit(FlushAtExit); });
    std::fwrite("MVIR", 1, 4, f);
    Put16(kPlatformInputLogVersion);
    Put16(g_log.latchClock ? 0 : kFlagDrivenClock);
    Put32(start);
    if (!g_log.file) return false;
    g_log.mode = kPlatformInputRecording;
    return true;
}

bool PlatformStartInputReplayFromMemory(const uint8_t* data, size_t size) {
    if (!data || size < kHeaderSize || std::memcmp(data, "MVIR", 4) != 0) return false;
    if ((data[4] | data[5] << 8) != kPlatformInputLogVersion) return false;
    std::vector<uint8_t> bytes(data + kHeaderSize, data + size);
    size_t events = 0;
    for (size_t at = 0; at < bytes.size(); ++events) {
        size_t n = EventSize(bytes, at);
        if (n == 0) return false;
        at += n;
    }
    PlatformStopInputLog();
    g_log.wasManual = PlatformManualClockOn();
    g_log.savedClock = PlatformManualClockValue();
    PlatformUseManualClock(true, Get32(data + 8));
    g_log.bytes = std::move(bytes);
    g_log.cursor = 0;
    g_log.eventsLeft = events;
    g_log.failed = false;
    g_log.mode = kPlatformInputReplaying;
    return true;
}

bool PlatformStartInputReplay(const char* path) {
    FILE* f = path ? std::fopen(path, "rb") : nullptr;
    if (!f) return false;
    std::vector<uint8_t> data;
    uint8_t chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) data.insert(data.end(), chunk, chunk + n);
    bool bad = std::ferror(f) != 0;
    std::fclose(f);
    return !bad && PlatformStartInputReplayFromMemory(data.data(), data.size());
}

void PlatformStopInputLog() {
    if (g_log.mode == kPlatformInputRecording || g_log.file) CloseRecording();
    if (g_log.mode == kPlatformInputReplaying || g_log.mode == kPlatformInputReplayEnded)
        PlatformUseManualClock(g_log.wasManual, g_log.savedClock);
    g_log.bytes.clear();
    g_log.bytes.shrink_to_fit();
    g_log.cursor = g_log.eventsLeft = 0;
    g_log.paced = false;
    g_log.mode = kPlatformInputLive;
}

bool PlatformStartScriptedRecording(const char* script, const char* path) {
    if (!path || !PlatformStartInputReplay(script)) return false;
    FILE* f = std::fopen(path, "wb");
    if (!f) {
        PlatformStopInputLog();
        return false;
    }
    g_log.file = f;
    g_log.paced = true;
    g_log.scriptStart = PlatformManualClockValue();
    g_log.realStart = PlatformRealTime();
    static std::once_flag atExit;
    std::call_once(atExit, [] { std::atexit(FlushAtExit); });
    std::fwrite("MVIR", 1, 4, f);
    Put16(kPlatformInputLogVersion);
    Put16(kFlagDrivenClock);
    Put32(g_log.scriptStart);
    if (g_log.file) return true;
    PlatformStopInputLog();
    return false;
}

void PlatformEndInputReplay() {
    if (g_log.mode == kPlatformInputReplaying) EndReplay(false, 0);
}

PlatformInputLogMode PlatformInputLogState() { return g_log.mode; }

bool PlatformInputReplayFailed() { return g_log.failed; }

size_t PlatformInputReplayEventsLeft() {
    return g_log.mode == kPlatformInputReplaying ? g_log.eventsLeft : 0;
}

namespace inputlog {

void StartFromEnvironmentOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        const char* replay = std::getenv("MAROVANT_REPLAY_INPUT");
        const char* record = std::getenv("MAROVANT_RECORD_INPUT");
        if (replay && *replay && record && *record) {
            if (!PlatformStartScriptedRecording(replay, record)) {
                std::fprintf(stderr, "input recording: cannot play %s into %s\n", replay, record);
                std::exit(3);
            }
        } else if (replay && *replay) {
            if (!PlatformStartInputReplay(replay)) {
                std::fprintf(stderr, "input replay: %s is not a readable recording\n", replay);
                std::exit(3);
            }
        } else if (record && *record) {
            if (!PlatformStartInputRecording(record))
                std::fprintf(stderr, "input recording: cannot write %s\n", record);
        }
    });
}

bool Recording() { return g_log.mode == kPlatformInputRecording || g_log.file; }

bool Replaying() {
    return g_log.mode == kPlatformInputReplaying || g_log.mode == kPlatformInputReplayEnded;
}

bool ReplayingSessions() { return Replaying() && !g_log.file; }

void SetWindowMapping(SerialOf serialOf, WindowOf windowOf) {
    g_log.serialOf = serialOf;
    g_log.windowOf = windowOf;
}

void RecordMessage(const MSG* msg) {
    if (g_log.mode != kPlatformInputRecording) return;
    if (!msg) {
        if (g_log.latchClock)
            PlatformUseManualClock(true, std::max<uint32_t>(PlatformRealTime(),
                                                            PlatformManualClockValue()));
        Put8(kEmpty);
        Put32(PlatformManualClockValue());
        return;
    }
    PutMessage(*msg);
}

bool ReplayMessage(MSG* msg, bool allowEmpty) {
    if (g_log.mode == kPlatformInputReplaying && g_log.cursor < g_log.bytes.size() &&
        g_log.bytes[g_log.cursor] == kEmpty && allowEmpty) {
        const uint8_t* e = Next(kEmpty);
        const uint32_t clock = Get32(e + 1);
        if (g_log.paced) {
            // The script's frame time may not run ahead of the real time since its start.
            const uint32_t due = clock - g_log.scriptStart;
            while (int32_t(due - (PlatformRealTime() - g_log.realStart)) > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        PlatformUseManualClock(true, clock);
        return false;
    }
    const uint8_t* e = Next(kMessage);
    if (!e) {
        *msg = QuitMessage();
        if (ScriptEnded()) PutMessage(*msg);
        return true;
    }
    MSG m{};
    uint32_t serial = Get32(e + 1);
    m.hwnd = serial && g_log.windowOf ? g_log.windowOf(serial) : nullptr;
    m.message = Get32(e + 5);
    m.wParam = static_cast<WPARAM>(Get64(e + 9));
    m.lParam = static_cast<LPARAM>(Get64(e + 17));
    m.time = Get32(e + 25);
    m.pt.x = static_cast<int32_t>(Get32(e + 29));
    m.pt.y = static_cast<int32_t>(Get32(e + 33));
    *msg = m;
    return true;
}

void RecordState(HRESULT result, DWORD size, const void* data) {
    if (g_log.mode != kPlatformInputRecording) return;
    uint32_t n = result >= 0 && data ? std::min<uint32_t>(size, kMaxStateSize) : 0;
    Put8(kState);
    Put32(static_cast<uint32_t>(result));
    Put32(n);
    Put(data, n);
}

HRESULT ReplayState(DWORD size, void* data) {
    const uint8_t* e = Next(kState);
    if (!e) {
        if (ScriptEnded()) {
            Put8(kState);
            Put32(static_cast<uint32_t>(kEndedResult));
            Put32(0);
        }
        if (data) std::memset(data, 0, size);
        return kEndedResult;
    }
    HRESULT result = static_cast<HRESULT>(Get32(e + 1));
    uint32_t n = Get32(e + 5);
    if (data) {
        std::memset(data, 0, size);
        std::memcpy(data, e + 9, std::min<uint32_t>(n, size));
    }
    return result;
}

void RecordData(HRESULT result, DWORD count, const Datum* records) {
    if (g_log.mode != kPlatformInputRecording) return;
    uint32_t n = result >= 0 && records ? std::min<uint32_t>(count, kMaxDataCount) : 0;
    Put8(kData);
    Put32(static_cast<uint32_t>(result));
    Put32(n);
    for (uint32_t i = 0; i < n; ++i) {
        Put32(records[i].offset);
        Put32(records[i].data);
        Put32(records[i].timeStamp);
        Put32(records[i].sequence);
    }
}

HRESULT ReplayData(Datum* records, DWORD capacity, DWORD* count) {
    const uint8_t* e = Next(kData);
    if (!e) {
        if (ScriptEnded()) {
            Put8(kData);
            Put32(static_cast<uint32_t>(kEndedResult));
            Put32(0);
        }
        if (count) *count = 0;
        return kEndedResult;
    }
    HRESULT result = static_cast<HRESULT>(Get32(e + 1));
    uint32_t n = std::min<uint32_t>(Get32(e + 5), capacity);
    for (uint32_t i = 0; i < n && records; ++i) {
        const uint8_t* r = e + 9 + size_t(i) * 16;
        records[i] = Datum{Get32(r), Get32(r + 4), Get32(r + 8), Get32(r + 12)};
    }
    if (count) *count = n;
    return result;
}

void RecordResult(uint8_t kind, HRESULT result) {
    if (g_log.mode != kPlatformInputRecording) return;
    Put8(kind);
    Put32(static_cast<uint32_t>(result));
}

HRESULT ReplayResult(uint8_t kind) {
    const uint8_t* e = Next(kind);
    if (e) return static_cast<HRESULT>(Get32(e + 1));
    if (ScriptEnded()) {
        Put8(kind);
        Put32(static_cast<uint32_t>(kEndedResult));
    }
    return kEndedResult;
}

void RecordCall(const uint8_t* bytes, uint32_t size) {
    if (!Recording()) return;
    if (size > kMaxCallSize) {
        std::fprintf(stderr, "input recording: a session call of %u bytes is too large\n", size);
        size = 0;
    }
    Put8(kCall);
    Put32(size);
    Put(bytes, size);
}

void ReplayOutOfStep(const char* what) {
    if (g_log.mode != kPlatformInputReplaying) return;
    std::fprintf(stderr, "input replay: out of step before byte %zu (%s)\n", g_log.cursor, what);
    g_log.failed = true;
    g_log.mode = kPlatformInputReplayEnded;
}

const uint8_t* ReplayCall(uint32_t* size) {
    const uint8_t* e = Next(kCall);
    if (!e) return nullptr;
    *size = Get32(e + 1);
    return e + 5;
}

} // namespace inputlog
