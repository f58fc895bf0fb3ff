#include "framework/cdaudio/cdaudio.h"

#include "framework/core/framework.h"
#include "framework/core/memory.h"
#include "framework/core/modules.h"
#include "framework/core/winos.h"
#include "platform/winmm/mci.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

const VkGuid CLSID_VkCdAudio = {
    0x031EA5C0, 0xB535, 0x11D2, {0xAC, 0x17, 0x08, 0x00, 0x09, 0xD7, 0xB1, 0x5C}};
const VkGuid IID_IVkCdAudio = {
    0xEF8E5480, 0xB488, 0x11D2, {0xAC, 0x17, 0x08, 0x00, 0x09, 0xD7, 0xB1, 0x5C}};

namespace {

constexpr uint32_t kWatchIntervalMs = 10000;
constexpr uint32_t kMaxLevel = 65535;
constexpr uint32_t kVolumeLines[] = {MIXERLINE_COMPACTDISC, MIXERLINE_DIGITAL, MIXERLINE_AUXILIARY,
                                     MIXERLINE_LINE, MIXERLINE_ANALOG};

class CdAudio;

// Process-wide state. The watching timer runs on its own thread, so every operation of the
// player and every timer event holds this lock.
std::recursive_mutex g_lock;
CdAudio* g_open = nullptr;
bool g_timerRunning = false;
uint32_t g_timerId = 0;
uint32_t g_timerPeriod = 0;
std::atomic<uint32_t> g_killing{0}; // the timer being killed, 0 for none
MCIERROR g_lastError = 0;
char g_errorText[128] = {};

// Sends a command and keeps the text of a failure.
MCIERROR Send(const char* command, char* reply = nullptr, uint32_t size = 0,
              HWND notify = nullptr) {
    MCIERROR error = mciSendString(command, reply, size, notify);
    if (error) {
        g_lastError = error;
        mciGetErrorString(error, g_errorText, sizeof g_errorText);
    }
    return error;
}

// A command whose reply is a number.
bool Query(const char* command, uint32_t* value) {
    char reply[64] = {};
    if (Send(command, reply, sizeof reply)) return false;
    char* end = nullptr;
    unsigned long parsed = std::strtoul(reply, &end, 10);
    if (end == reply || parsed > UINT32_MAX) return false;
    *value = static_cast<uint32_t>(parsed);
    return true;
}

VkResult PlayError(MCIERROR error) {
    return error == MCIERR_HARDWARE ? VK_E_CD_HARDWARE : VK_E_FAIL;
}

void StopTimer() {
    if (!g_timerRunning) return;
    g_killing = g_timerId;
    timeKillEvent(g_timerId); // waits for an event that is running
    g_killing = 0;
    timeEndPeriod(g_timerPeriod);
    g_timerRunning = false;
}

void WatchEvent(uint32_t, uint32_t, uintptr_t, uintptr_t, uintptr_t);

bool StartTimer() {
    TIMECAPS caps{};
    if (timeGetDevCaps(&caps, sizeof caps) != TIMERR_NOERROR) return false;
    uint32_t period = caps.wPeriodMin > 100 ? caps.wPeriodMin : 100;
    if (period > caps.wPeriodMax) period = caps.wPeriodMax;
    if (timeBeginPeriod(period) != TIMERR_NOERROR) return false;
    uint32_t id = timeSetEvent(kWatchIntervalMs, period, WatchEvent, 0, TIME_PERIODIC);
    if (!id) {
        timeEndPeriod(period);
        return false;
    }
    g_timerId = id;
    g_timerPeriod = period;
    g_timerRunning = true;
    return true;
}

class CdAudio final : public VkObject<IVkCDAudio, IID_IVkCdAudio> {
public:
    VkResult Open() {
        IVkWinOSApp* os = VkWinOSShared();
        window_ = os ? os->GetWindow() : nullptr;
        g_open = this;
        char reply[32] = {};
        MCIERROR error = Send("open cdaudio", reply, sizeof reply);
        if (error) {
            open_ = false;
            g_open = nullptr;
            return error == MCIERR_DEVICE_REFUSED ? VK_E_CD_REFUSED : VK_E_CD_NODEVICE;
        }
        device_ = static_cast<uint32_t>(std::strtoul(reply, nullptr, 10));
        open_ = true;
        if (Send("set cdaudio time format tmsf")) {
            Close();
            return VK_E_FAIL;
        }
        paused_ = false;
        if (SetTrack(0) >= 0) ready_ = true;
        return VK_OK;
    }

    void Close() {
        StopTimer();
        if (open_) Send("close cdaudio");
        open_ = ready_ = false;
        if (g_open == this) g_open = nullptr;
    }

    VkResult Play(uint32_t flags) override {
        std::lock_guard lock(g_lock);
        if (!Ready()) return VK_S_CD_NOTOPEN;
        return PlayFrom(flags, false);
    }

    VkResult Pause() override {
        std::lock_guard lock(g_lock);
        if (!Ready()) return VK_S_CD_NOTOPEN;
        StopTimer();
        if (paused_) return PlayFrom(playFlags_, false);
        uint32_t status = 0;
        VkResult res = GetStatus(&status);
        if (res < 0) return res;
        if (status & VK_CD_PLAYING) {
            if (MCIERROR error = Send("pause cdaudio")) return PlayError(error);
            paused_ = true;
        }
        return VK_OK;
    }

    VkResult Stop() override {
        std::lock_guard lock(g_lock);
        if (!Ready()) return VK_S_CD_NOTOPEN;
        StopTimer();
        MCIERROR error = Send("stop cdaudio");
        paused_ = false;
        return error ? PlayError(error) : VK_OK;
    }

    VkResult ToggleDoor() override {
        std::lock_guard lock(g_lock);
        if (!Ready()) return VK_S_CD_NOTOPEN;
        StopTimer();
        uint32_t mode = 0;
        if (!Query("status cdaudio mode", &mode)) return VK_E_FAIL;
        const char* command =
            mode == MCI_MODE_OPEN ? "set cdaudio door closed" : "set cdaudio door open";
        return Send(command) ? VK_E_FAIL : VK_OK;
    }

    uint32_t GetTrackCount() override {
        std::lock_guard lock(g_lock);
        uint32_t count = 0;
        if (!Ready() || !Query("status cdaudio number of tracks", &count)) return 0;
        return count;
    }

    VkResult SetTrack(uint32_t track) override {
        std::lock_guard lock(g_lock);
        if (!Ready()) return VK_S_CD_NOTOPEN;
        if (track >= GetTrackCount()) return VK_E_CD_BADTRACK;
        StopTimer();
        uint32_t status = 0;
        VkResult res = GetStatus(&status);
        if (res < 0 && res != VK_E_CD_NOTAUDIO) return res;
        if (Seek(track + 1)) return VK_E_FAIL;
        track_ = track;
        if (status & VK_CD_PLAYING) {
            res = PlayFrom(status, false);
            if (res < 0) return res;
        }
        return VK_OK;
    }

    uint32_t GetCurrentTrack() override {
        std::lock_guard lock(g_lock);
        uint32_t track = 0;
        if (!Ready() || !Query("status cdaudio current track", &track) || track == 0) return 0;
        return track - 1;
    }

    VkResult GetStatus(uint32_t* flags) override {
        std::lock_guard lock(g_lock);
        if (!flags) return VK_E_FAIL;
        *flags = 0;
        if (!Ready()) return VK_S_CD_NOTOPEN;
        *flags = playFlags_;
        uint32_t mode = 0;
        if (!Query("status cdaudio mode", &mode)) return VK_E_FAIL;
        switch (mode) {
        case MCI_MODE_PLAY: *flags |= VK_CD_PLAYING; break;
        case MCI_MODE_STOP: *flags |= paused_ ? VK_CD_PAUSED : VK_CD_STOPPED; break;
        case MCI_MODE_OPEN: return VK_E_CD_DOOROPEN;
        case MCI_MODE_NOT_READY: return VK_E_CD_NOTREADY;
        default: break;
        }
        char command[64];
        std::snprintf(command, sizeof command, "status cdaudio type track %u", track_ + 1);
        char reply[32] = {};
        if (Send(command, reply, sizeof reply)) return VK_E_FAIL;
        return std::strcmp(reply, "audio") == 0 ? VK_OK : VK_E_CD_NOTAUDIO;
    }

    uint32_t GetTrackLength() override {
        std::lock_guard lock(g_lock);
        if (!Ready()) return 0;
        uint32_t length = 0;
        if (Send("set cdaudio time format milliseconds")) return 0;
        if (!TrackQuery("length", track_ + 1, &length)) length = 0;
        Send("set cdaudio time format tmsf");
        return length;
    }

    VkResult SetPosition(uint32_t ms) override {
        std::lock_guard lock(g_lock);
        if (!Ready()) return VK_S_CD_NOTOPEN;
        uint32_t status = 0;
        VkResult res = GetStatus(&status);
        if (res < 0) return res;
        StopTimer();
        if (Send("stop cdaudio") || Seek(track_ + 1)) return VK_E_FAIL;
        if (ms > GetTrackLength()) return VK_E_CD_BADPOSITION;
        if (Send("set cdaudio time format milliseconds")) return VK_E_FAIL;
        uint32_t start = 0;
        bool sought = TrackQuery("position", track_ + 1, &start) && !Seek(start + ms);
        Send("set cdaudio time format tmsf");
        if (!sought) return VK_E_FAIL;
        // Resume from the new position, not from the start of the track.
        if (status & VK_CD_PLAYING) return PlayFrom(status, true);
        return VK_OK;
    }

    uint32_t GetPosition() override {
        std::lock_guard lock(g_lock);
        if (!Ready()) return 0;
        if (Send("set cdaudio time format milliseconds")) return 0;
        uint32_t start = 0, now = 0;
        bool known =
            TrackQuery("position", track_ + 1, &start) && Query("status cdaudio position", &now);
        Send("set cdaudio time format tmsf");
        return known && now >= start ? now - start : 0;
    }

    VkResult SetVolume(float volume) override {
        if (!(volume >= 0.0f && volume <= 1.0f)) return VK_E_FAIL;
        std::lock_guard lock(g_lock);
        if (!Ready()) return VK_S_CD_NOTOPEN;
        uint32_t level = static_cast<uint32_t>(volume * kMaxLevel);
        return WithVolumeControl([level](HMIXER mixer, uint32_t control) {
            return mixerSetControlValue(mixer, control, level) == 0;
        });
    }

    VkResult GetVolume(float* volume) override {
        if (!volume) return VK_E_FAIL;
        std::lock_guard lock(g_lock);
        if (!Ready()) return VK_S_CD_NOTOPEN;
        uint32_t level = 0;
        VkResult res = WithVolumeControl([&level](HMIXER mixer, uint32_t control) {
            return mixerGetControlValue(mixer, control, &level) == 0;
        });
        if (res >= 0) *volume = static_cast<float>(level) / kMaxLevel;
        return res;
    }

    // A timer event: a drive that has stopped plays on, skipping tracks it cannot play.
    void Watch() {
        if (!Ready()) return;
        uint32_t mode = 0;
        if (!Query("status cdaudio mode", &mode) || mode != MCI_MODE_STOP) return;
        if (playFlags_ & VK_CD_TOEND) track_ = 0;
        uint32_t count = GetTrackCount();
        VkResult res = PlayFrom(playFlags_, false);
        // Tracks that cannot be played, data tracks included, are skipped, so a disc that starts
        // with a data track plays on from its first audio track. Bounded by the track count, so
        // a drive that fails every track does not hang here.
        while (res < 0 && track_ + 1 < count) {
            ++track_;
            res = PlayFrom(playFlags_, false);
        }
        // Nothing on the disc plays: the drive stays stopped and is no longer watched, and the
        // next Play starts at the first track.
        if (res < 0) {
            StopTimer();
            track_ = 0;
        }
    }

private:
    bool Ready() const { return open_ && ready_; }

    MCIERROR Seek(uint32_t to) {
        char command[64];
        std::snprintf(command, sizeof command, "seek cdaudio to %u", to);
        return Send(command);
    }

    bool TrackQuery(const char* what, uint32_t track, uint32_t* value) {
        char command[64];
        std::snprintf(command, sizeof command, "status cdaudio %s track %u", what, track);
        return Query(command, value);
    }

    // `here` plays from where the drive stands instead of the start of the track.
    VkResult PlayFrom(uint32_t flags, bool here) {
        uint32_t current = GetCurrentTrack();
        uint32_t status = 0;
        VkResult res = GetStatus(&status);
        if (res < 0) return res;
        uint32_t previous = playFlags_;
        playFlags_ = flags & 3;
        StopTimer();
        bool playing = (status & VK_CD_PLAYING) != 0;
        if (playing && !(!(previous & VK_CD_TOEND) && (playFlags_ & VK_CD_TOEND))) track_ = current;
        char command[96] = "play cdaudio";
        size_t used = std::strlen(command);
        if (!here && !(status & (VK_CD_PLAYING | VK_CD_PAUSED)))
            used += std::snprintf(command + used, sizeof command - used, " from %u", track_ + 1);
        if (!(playFlags_ & VK_CD_TOEND) && track_ + 1 < GetTrackCount())
            std::snprintf(command + used, sizeof command - used, " to %u", (track_ + 2) & 0xFF);
        if (MCIERROR error = Send(command, nullptr, 0, window_)) return PlayError(error);
        paused_ = false;
        if ((playFlags_ & VK_CD_KEEPPLAYING) && !g_timerRunning && !StartTimer()) return VK_E_FAIL;
        return VK_OK;
    }

    // Runs `use` on the volume control of the first line, in order of preference, that has one.
    template <class Use> VkResult WithVolumeControl(Use use) {
        if (mixerGetNumDevs() == 0) return VK_E_FAIL;
        HMIXER mixer = 0;
        if (mixerOpen(&mixer, 0) != 0) return VK_E_FAIL;
        bool done = false;
        for (uint32_t type : kVolumeLines) {
            uint32_t control = 0;
            if (mixerGetLineControl(mixer, type, MIXERCONTROL_VOLUME, &control) != 0) continue;
            done = use(mixer, control);
            break;
        }
        mixerClose(mixer);
        return done ? VK_OK : VK_E_FAIL;
    }

    void Destroy() override;

    bool ready_ = false;
    bool open_ = false;
    uint32_t playFlags_ = 0;
    uint32_t track_ = 0;
    bool paused_ = false;
    HWND window_ = nullptr;
    uint32_t device_ = 0;
};

// An event waits for the lock unless its timer is being killed by the lock's holder, which
// waits for the event to end.
void WatchEvent(uint32_t id, uint32_t, uintptr_t, uintptr_t, uintptr_t) {
    std::unique_lock lock(g_lock, std::defer_lock);
    while (!lock.try_lock()) {
        if (g_killing == id) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (g_open && g_timerRunning && g_timerId == id) g_open->Watch();
}

void ReleaseShared() {
    VkWinOSRelease();
    VkClose();
    VkMemRelease();
}

void CdAudio::Destroy() {
    {
        std::lock_guard lock(g_lock);
        Close();
    }
    VkMemDelete(this);
    ReleaseShared();
}

const VkComponentRecord kCdAudioRecords[] = {
    {&CLSID_VkCdAudio, 0, nullptr, 0, nullptr, VkCreateCdAudio, "Vesk - Windows Red-book CD Audio",
     "Vesk.WindowsCDAudioRedbook.5.1", "Vesk.WindowsCDAudioRedbook", nullptr},
};

} // namespace

VkResult VkCreateCdAudio(IVkUnknown* outer, IVkUnknown** out) {
    *out = nullptr;
    if (outer) return VK_E_NOAGGREGATION;
    VkResult res = VkMemAcquire();
    if (res < 0) return res;
    res = VkOpen();
    if (res < 0) {
        VkMemRelease();
        return res;
    }
    res = VkWinOSAcquire();
    if (res < 0) {
        VkClose();
        VkMemRelease();
        return res;
    }
    CdAudio* player = VkMemNew<CdAudio>();
    if (!player) {
        ReleaseShared();
        return VK_E_OUTOFMEMORY;
    }
    {
        std::lock_guard lock(g_lock);
        res = player->Open();
    }
    if (res < 0) {
        VkMemDelete(player);
        ReleaseShared();
        return res;
    }
    *out = static_cast<IVkCDAudio*>(player);
    return VK_OK;
}

VkResult VkCdAudioModuleRegister(IVkRegistry* registry) {
    return VkModule<kCdAudioRecords>::Register(registry);
}
