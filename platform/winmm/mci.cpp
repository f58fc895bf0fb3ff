#include "platform/winmm/mci.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

void CopyReply(char* reply, uint32_t size, const char* text) {
    if (!reply || size == 0) return;
    size_t n = std::strlen(text);
    if (n >= size) n = size - 1;
    std::memcpy(reply, text, n);
    reply[n] = 0;
}

PlatformMciHandler g_mciHandler = nullptr;

// The machine without a CD drive: the device cannot be opened, and nothing else is open.
MCIERROR NoDrive(const char*, char* reply, uint32_t replySize) {
    CopyReply(reply, replySize, "");
    return MCIERR_INVALID_DEVICE;
}

} // namespace

MCIERROR mciSendString(const char* command, char* reply, uint32_t replySize, HWND) {
    if (!command) return MCIERR_INVALID_DEVICE;
    return (g_mciHandler ? g_mciHandler : NoDrive)(command, reply, replySize);
}

bool mciGetErrorString(MCIERROR error, char* buffer, uint32_t size) {
    const char* text = nullptr;
    switch (error) {
    case MCIERR_HARDWARE: text = "The device is not ready or has a hardware fault."; break;
    case MCIERR_INVALID_DEVICE: text = "There is no CD audio device on this machine."; break;
    case MCIERR_DEVICE_REFUSED: text = "The CD audio device is in use and cannot be opened."; break;
    default: text = nullptr;
    }
    CopyReply(buffer, size, text ? text : "Unknown media control error.");
    return text != nullptr;
}

void PlatformSetMciHandler(PlatformMciHandler handler) {
    g_mciHandler = handler;
}

// Mixer: one device whose lines the tests may add.
namespace {
std::mutex g_mixerLock;
std::map<uint32_t, uint32_t> g_lines; // component type -> volume value
int g_mixersOpen = 0;
} // namespace

uint32_t mixerGetNumDevs() {
    return 1;
}

MMRESULT mixerOpen(HMIXER* mixer, uint32_t device) {
    if (!mixer || device != 0) return MMSYSERR_BADDEVICEID;
    std::lock_guard lock(g_mixerLock);
    ++g_mixersOpen;
    *mixer = 1;
    return 0;
}

MMRESULT mixerClose(HMIXER mixer) {
    std::lock_guard lock(g_mixerLock);
    if (mixer != 1 || g_mixersOpen == 0) return MMSYSERR_BADDEVICEID;
    --g_mixersOpen;
    return 0;
}

MMRESULT mixerGetLineControl(HMIXER mixer, uint32_t componentType, uint32_t controlType,
                             uint32_t* control) {
    std::lock_guard lock(g_mixerLock);
    if (mixer != 1 || g_mixersOpen == 0) return MMSYSERR_BADDEVICEID;
    if (!control || controlType != MIXERCONTROL_VOLUME || !g_lines.count(componentType))
        return MIXERR_INVALLINE;
    *control = componentType; // one control per line: named after its line
    return 0;
}

MMRESULT mixerSetControlValue(HMIXER mixer, uint32_t control, uint32_t value) {
    std::lock_guard lock(g_mixerLock);
    if (mixer != 1 || g_mixersOpen == 0) return MMSYSERR_BADDEVICEID;
    auto it = g_lines.find(control);
    if (it == g_lines.end()) return MIXERR_INVALLINE;
    it->second = value > 65535 ? 65535 : value;
    return 0;
}

MMRESULT mixerGetControlValue(HMIXER mixer, uint32_t control, uint32_t* value) {
    std::lock_guard lock(g_mixerLock);
    if (mixer != 1 || g_mixersOpen == 0) return MMSYSERR_BADDEVICEID;
    auto it = g_lines.find(control);
    if (it == g_lines.end() || !value) return MIXERR_INVALLINE;
    *value = it->second;
    return 0;
}

void PlatformMixerAddLine(uint32_t componentType) {
    std::lock_guard lock(g_mixerLock);
    if (componentType == 0)
        g_lines.clear();
    else
        g_lines.emplace(componentType, 0);
}

int64_t PlatformMixerLineValue(uint32_t componentType) {
    std::lock_guard lock(g_mixerLock);
    auto it = g_lines.find(componentType);
    return it == g_lines.end() ? -1 : it->second;
}

// Timers: each live timer of the automatic mode has a thread of its own that waits out its
// period and runs the callback. Killing a timer wakes its thread and joins it, so no thread
// outlives its timer; a timer that ends itself (one-shot, or killed from its own callback)
// leaves its thread to be joined by the next call, and the layer's shut-down joins them all.
namespace {

struct Timer {
    uint32_t id;
    uint32_t delayMs;
    LPTIMECALLBACK callback;
    uintptr_t user;
    bool periodic;
    bool dead = false;
    std::thread thread;
};

std::mutex g_timerLock;
std::condition_variable g_timerWake;
std::map<uint32_t, std::shared_ptr<Timer>> g_timers;
std::vector<std::thread> g_finished; // threads of timers that ended on their own thread
uint32_t g_nextTimer = 1;
bool g_manualTimers = false;

// Marks the timer dead and takes it out of the live set (under the lock). Its thread, when it
// is not the calling one, is handed back to be joined outside the lock; the calling thread's
// own is kept for a later join.
std::thread Retire(std::shared_ptr<Timer> timer) { // a copy: erasing the entry drops one
    timer->dead = true;
    g_timers.erase(timer->id);
    g_timerWake.notify_all();
    if (!timer->thread.joinable()) return {};
    if (timer->thread.get_id() == std::this_thread::get_id()) {
        g_finished.push_back(std::move(timer->thread));
        return {};
    }
    return std::move(timer->thread);
}

std::vector<std::thread> TakeFinished() {
    std::vector<std::thread> done;
    done.swap(g_finished);
    return done;
}

void JoinAll(std::vector<std::thread>& threads) {
    for (std::thread& t : threads)
        if (t.joinable()) t.join();
}

void RunTimer(std::shared_ptr<Timer> timer) {
    std::unique_lock lock(g_timerLock);
    for (;;) {
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timer->delayMs);
        if (g_timerWake.wait_until(lock, until, [&] { return timer->dead; })) return;
        lock.unlock();
        timer->callback(timer->id, 0, timer->user, 0, 0);
        lock.lock();
        if (timer->dead) return;
        if (!timer->periodic) {
            Retire(timer);
            return;
        }
    }
}

// Stops every timer and joins every thread of the layer.
void StopAllTimers() {
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(g_timerLock);
        while (!g_timers.empty()) {
            std::thread t = Retire(g_timers.begin()->second);
            if (t.joinable()) threads.push_back(std::move(t));
        }
        for (std::thread& t : TakeFinished())
            threads.push_back(std::move(t));
    }
    JoinAll(threads);
}

// Timers still running when the program ends are stopped before the state above goes.
struct TimerShutdown {
    ~TimerShutdown() { StopAllTimers(); }
} g_timerShutdown;

} // namespace

MMRESULT timeGetDevCaps(TIMECAPS* caps, uint32_t size) {
    if (!caps || size < sizeof(TIMECAPS)) return TIMERR_NOCANDO;
    caps->wPeriodMin = 1;
    caps->wPeriodMax = 1000000;
    return TIMERR_NOERROR;
}

uint32_t timeSetEvent(uint32_t delayMs, uint32_t, LPTIMECALLBACK callback, uintptr_t user,
                      uint32_t flags) {
    if (!callback || delayMs == 0) return 0;
    std::vector<std::thread> finished;
    uint32_t id = 0;
    {
        std::lock_guard lock(g_timerLock);
        finished = TakeFinished();
        id = g_nextTimer++;
        if (g_nextTimer == 0) g_nextTimer = 1;
        auto timer = std::make_shared<Timer>();
        *timer = Timer{id, delayMs, callback, user, (flags & TIME_PERIODIC) != 0, false, {}};
        g_timers.emplace(id, timer);
        // The thread starts under the lock, so it is stored before it can look at its timer.
        if (!g_manualTimers) timer->thread = std::thread(RunTimer, timer);
    }
    JoinAll(finished);
    return id;
}

MMRESULT timeKillEvent(uint32_t id) {
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(g_timerLock);
        auto it = g_timers.find(id);
        if (it == g_timers.end()) return TIMERR_NOCANDO;
        threads = TakeFinished();
        std::thread t = Retire(it->second);
        if (t.joinable()) threads.push_back(std::move(t));
    }
    // An event already running finishes first.
    JoinAll(threads);
    return TIMERR_NOERROR;
}

void PlatformStopTimers() {
    StopAllTimers();
}

void PlatformUseManualTimers(bool on) {
    std::lock_guard lock(g_timerLock);
    g_manualTimers = on;
}

void PlatformFireTimers() {
    std::vector<std::shared_ptr<Timer>> due;
    {
        std::lock_guard lock(g_timerLock);
        for (auto& [id, timer] : g_timers)
            due.push_back(timer);
    }
    for (auto& timer : due) {
        {
            std::lock_guard lock(g_timerLock);
            if (timer->dead) continue;
        }
        timer->callback(timer->id, 0, timer->user, 0, 0);
        if (!timer->periodic) {
            std::lock_guard lock(g_timerLock);
            if (!timer->dead) Retire(timer);
        }
    }
}

int PlatformLiveTimers() {
    std::lock_guard lock(g_timerLock);
    return static_cast<int>(g_timers.size());
}
