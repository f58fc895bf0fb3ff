#include "shell/audio.h"

#include "engine/core/engine.h"
#include "engine/core/file_interface.h"
#include "game/frontend/movies.h"
#include "platform/crt/crt.h"
#include "platform/sound/mss.h"
#include "shell/voices.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

namespace {

// Fixed-size records handed out from chunks that are kept until shut-down.
template <class T> class RecordPool {
public:
    explicit RecordPool(size_t perChunk) : perChunk_(perChunk) {}
    ~RecordPool() { Clear(); }
    T* Take() {
        if (free_.empty()) {
            T* chunk = new (std::nothrow) T[perChunk_];
            if (!chunk) return nullptr;
            chunks_.push_back(chunk);
            for (size_t i = perChunk_; i-- > 0;)
                free_.push_back(&chunk[i]);
        }
        T* record = free_.back();
        free_.pop_back();
        *record = T{};
        return record;
    }
    void Give(T* record) { free_.push_back(record); }
    void Clear() {
        for (T* chunk : chunks_)
            delete[] chunk;
        chunks_.clear();
        free_.clear();
    }

private:
    size_t perChunk_;
    std::vector<T*> chunks_;
    std::vector<T*> free_;
};

struct Stream {
    HSTREAM handle;
    int32_t open;
    uint32_t rate;
    int32_t loopCount;
    float volume;
};

struct Layer {
    bool started = false;
    bool mute = false;
    HDIGDRIVER driver = nullptr;
    HPROVIDER filter = 0;
    bool filterOpen = false;
    MV2AudioSample lowPass{}; // sentinel of the low-pass list
    float cutoffValue = 0.0f;
    float cutoffHz = 20000.3f;
    Stream stream{nullptr, 0, 0, 1, 1.0f};
    MV2BaseVolume volumes[kMV2BaseVolumeEntries]{};
    int32_t volumeCount = 0;
};

Layer g_layer;
RecordPool<MV2AudioSample> g_samples(400);
RecordPool<MV2AudioData> g_data(400);

bool Usable(const void* p) {
    return g_layer.started && p;
}

void Unlink(MV2AudioSample* s) {
    if (!s->next) return;
    s->prev->next = s->next;
    s->next->prev = s->prev;
    s->next = s->prev = nullptr;
}

void LinkLowPass(MV2AudioSample* s) {
    if (s->next) return;
    MV2AudioSample* head = &g_layer.lowPass;
    s->next = head->next;
    s->prev = head;
    head->next->prev = s;
    head->next = s;
}

// The filter and its cut-off on a playing 2-D sample, or no filter.
void ApplyFilter(MV2AudioSample* s, bool on) {
    if (!s->handle) return;
    if (on && g_layer.filterOpen) {
        AIL_set_sample_processor(s->handle, 1, g_layer.filter);
        float hz = g_layer.cutoffHz;
        AIL_set_filter_sample_preference(s->handle, kMssLowPassCutoff, &hz);
    } else {
        AIL_set_sample_processor(s->handle, 1, 0);
    }
}

// The sample file's base name, upper-cased, cut to the table's name size.
void BaseName(const char* file, char* out, size_t size) {
    const char* start = file;
    for (const char* p = file; *p; ++p)
        if (*p == '\\' || *p == '/' || *p == ':') start = p + 1;
    size_t n = 0;
    for (const char* p = start; *p && *p != '.' && n + 1 < size; ++p)
        out[n++] = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
    out[n] = 0;
}

float MasterVolume() {
    return MV2GetMasterVolume();
}

// Parses a WAV header through the platform's file access: data frames bounded by the file.
uint32_t WavFrames(FILE* f) {
    if (std::fseek(f, 0, SEEK_END) != 0) return 0;
    long end = std::ftell(f);
    if (end < 12 || std::fseek(f, 0, SEEK_SET) != 0) return 0;
    const uint64_t size = uint64_t(end);
    uint8_t head[12];
    if (std::fread(head, 1, 12, f) != 12 || std::memcmp(head, "RIFF", 4) != 0 ||
        std::memcmp(head + 8, "WAVE", 4) != 0)
        return 0;
    uint64_t at = 12;
    uint32_t align = 0;
    while (at + 8 <= size) {
        uint8_t chunk[8];
        if (std::fseek(f, long(at), SEEK_SET) != 0 || std::fread(chunk, 1, 8, f) != 8) return 0;
        uint64_t body = uint64_t(chunk[4]) | uint64_t(chunk[5]) << 8 | uint64_t(chunk[6]) << 16 |
                        uint64_t(chunk[7]) << 24;
        at += 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            uint8_t fmt[16];
            if (body < 16 || std::fread(fmt, 1, 16, f) != 16) return 0;
            align = uint32_t(fmt[12]) | uint32_t(fmt[13]) << 8;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (align == 0) return 0;
            uint64_t bytes = body < size - at ? body : size - at;
            uint64_t frames = bytes / align;
            return frames > UINT32_MAX ? UINT32_MAX : uint32_t(frames);
        }
        at += body + (body & 1);
    }
    return 0;
}

} // namespace

int32_t MV2ParseBaseVolumes(const char* text, size_t size, MV2BaseVolume* table) {
    int32_t count = 0;
    size_t at = 0;
    char line[257];
    while (at < size && count < kMV2BaseVolumeEntries) {
        // A line of at most 256 characters; the rest of a longer one is dropped.
        size_t n = 0;
        while (at < size && text[at] != '\n') {
            if (n < 256) line[n++] = text[at];
            ++at;
        }
        if (at < size) ++at;
        line[n] = 0;
        if (line[0] == '#') continue;
        for (size_t i = 0; i < n; ++i)
            line[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(line[i])));
        MV2BaseVolume entry{};
        if (std::sscanf(line, "%15s %f", entry.name, &entry.volume) != 2) continue;
        table[count++] = entry;
    }
    return count;
}

int32_t MV2AudioReadBaseVolumes() {
    g_layer.volumeCount = 0;
    TvFileInterface* files = TvEngineGetFileInterface();
    void* f = files->open ? files->open(".\\SOUND\\BASEVOL.TXT", "r") : nullptr;
    if (!f) return 0;
    std::vector<char> text;
    char buffer[512];
    size_t n;
    while ((n = files->read(buffer, 1, sizeof buffer, f)) > 0)
        text.insert(text.end(), buffer, buffer + n);
    files->close(f);
    g_layer.volumeCount = MV2ParseBaseVolumes(text.data(), text.size(), g_layer.volumes);
    return g_layer.volumeCount;
}

float MV2AudioBaseVolume(const char* file) {
    if (!file) return 1.0f;
    char name[16];
    BaseName(file, name, sizeof name);
    for (int32_t i = 0; i < g_layer.volumeCount; ++i)
        if (std::strcmp(g_layer.volumes[i].name, name) == 0) return g_layer.volumes[i].volume;
    return 1.0f;
}

int32_t MV2AudioStartup(int32_t bits, int32_t rate, int32_t) {
    if (g_layer.started) return 1;
    g_layer.lowPass.next = g_layer.lowPass.prev = &g_layer.lowPass;
    if (rate == 0) rate = 22050;
    AIL_startup();
    AIL_set_preference(33, 1);
    uint16_t align = static_cast<uint16_t>(2 * bits / 8);
    MssPcmFormat format{1, 2, uint32_t(rate), uint32_t(rate) * align, align, uint16_t(bits)};
    if (AIL_waveOutOpen(&g_layer.driver, nullptr, -1, &format) != 0) {
        AIL_shutdown();
        g_layer.driver = nullptr;
        return 0;
    }
    HPROENUM next = HPROENUM_FIRST;
    HPROVIDER provider = 0;
    const char* name = nullptr;
    while (AIL_enumerate_filters(&next, &provider, &name)) {
        if (name && std::strcmp(name, kMssLowPassFilterName) == 0) {
            g_layer.filter = provider;
            g_layer.filterOpen = AIL_open_filter(provider, g_layer.driver) == 0;
            break;
        }
    }
    MV2AudioReadBaseVolumes();
    MV2MovieSetSoundSystem(g_layer.driver);
    g_layer.started = true;
    return 1;
}

void MV2AudioShutdown() {
    if (!g_layer.started) return;
    MV2AudioStopStreamService();
    if (g_layer.filterOpen) AIL_close_filter(g_layer.filter);
    AIL_shutdown();
    MV2MovieSetSoundSystem(nullptr);
    g_layer = Layer{};
    g_layer.lowPass.next = g_layer.lowPass.prev = &g_layer.lowPass;
}

void MV2AudioSetMute(int32_t on) {
    g_layer.mute = on != 0;
}

MssDriver* MV2AudioDriver() {
    return g_layer.driver;
}

MV2AudioSample* MV2AudioLoadSample(const char* file, int32_t is3d) {
    if (!Usable(file)) return nullptr;
    void* block = AIL_file_read(file, nullptr);
    if (!block) return nullptr;
    MV2AudioData* data = g_data.Take();
    MV2AudioSample* s = data ? g_samples.Take() : nullptr;
    if (!s) {
        if (data) g_data.Give(data);
        AIL_mem_free_lock(block);
        return nullptr;
    }
    *data = {block, 1};
    s->data = data;
    s->is3d = is3d ? 1 : 0;
    s->volume = 1.0f;
    s->baseVolume = MV2AudioBaseVolume(file);
    s->rate = s->ownRate = 22050;
    s->distances[0] = 1.0f;
    s->distances[1] = 100.0f;
    return s;
}

int32_t MV2AudioReleaseSample(MV2AudioSample* s) {
    if (!Usable(s)) return 0;
    if (g_layer.mute) return 1;
    if (s->handle) {
        AIL_end_sample(s->handle);
        AIL_release_sample_handle(s->handle);
        s->handle = nullptr;
    }
    if (s->handle3d) {
        AIL_end_3D_sample(s->handle3d);
        AIL_release_3D_sample_handle(s->handle3d);
        s->handle3d = nullptr;
    }
    return 1;
}

void MV2AudioFreeSample(MV2AudioSample* s) {
    if (!Usable(s)) return;
    MV2AudioReleaseSample(s);
    Unlink(s);
    if (s->data && --s->data->references == 0) {
        AIL_mem_free_lock(s->data->block);
        g_data.Give(s->data);
    }
    g_samples.Give(s);
}

MV2AudioSample* MV2AudioCopySample(const MV2AudioSample* s) {
    if (!Usable(s)) return nullptr;
    MV2AudioSample* copy = g_samples.Take();
    if (!copy) return nullptr;
    *copy = *s;
    copy->next = copy->prev = nullptr;
    copy->handle = nullptr;
    copy->handle3d = nullptr;
    ++copy->data->references;
    if (s->next) LinkLowPass(copy);
    return copy;
}

void MV2AudioApplyParams(MV2AudioSample* s) {
    if (!Usable(s) || g_layer.mute) return;
    int32_t volume = static_cast<int32_t>(s->volume * s->baseVolume * 127.0f);
    if (s->handle) {
        if (s->changes & kMV2AudioPanChanged)
            AIL_set_sample_pan(s->handle, static_cast<int32_t>((s->pan + 1.0f) * 0.5f * 127.0f));
        if (s->changes & kMV2AudioRateChanged)
            AIL_set_sample_playback_rate(s->handle, int32_t(s->rate));
        if (s->changes & kMV2AudioVolumeChanged) AIL_set_sample_volume(s->handle, volume);
    } else if (s->handle3d) {
        if (s->changes & kMV2AudioRateChanged)
            AIL_set_3D_sample_playback_rate(s->handle3d, int32_t(s->rate));
        if (s->changes & kMV2AudioVolumeChanged) AIL_set_3D_sample_volume(s->handle3d, volume);
        AIL_set_3D_position(s->handle3d, s->position[0], s->position[1], s->position[2]);
    }
    s->changes = 0;
}

int32_t MV2AudioStartSample(MV2AudioSample* s, int32_t loop) {
    if (!Usable(s)) return 0;
    if (g_layer.mute) return 1;
    // The library plays n times for count n and for ever for 0.
    int32_t count = loop ? 0 : 1;
    MV2AudioReleaseSample(s);
    if (!s->is3d) {
        s->handle = AIL_allocate_sample_handle(g_layer.driver);
        if (!s->handle) return 0;
        AIL_init_sample(s->handle);
        if (!AIL_set_sample_file(s->handle, s->data->block, -1)) {
            AIL_release_sample_handle(s->handle);
            s->handle = nullptr;
            return 0;
        }
        s->ownRate = uint32_t(AIL_sample_playback_rate(s->handle));
        AIL_set_sample_loop_count(s->handle, count);
        s->changes = kMV2AudioVolumeChanged | kMV2AudioRateChanged | kMV2AudioPanChanged;
        MV2AudioApplyParams(s);
        ApplyFilter(s, s->lowPass != 0);
        AIL_start_sample(s->handle);
        return 1;
    }
    s->handle3d = AIL_allocate_3D_sample_handle(g_layer.driver);
    if (!s->handle3d) return 0;
    if (!AIL_set_3D_sample_file(s->handle3d, s->data->block)) {
        AIL_release_3D_sample_handle(s->handle3d);
        s->handle3d = nullptr;
        return 0;
    }
    s->ownRate = uint32_t(AIL_3D_sample_playback_rate(s->handle3d));
    AIL_set_3D_sample_loop_count(s->handle3d, count);
    AIL_set_3D_sample_float_distances(s->handle3d, s->distances[1], s->distances[0]);
    s->changes = kMV2AudioVolumeChanged | kMV2AudioRateChanged;
    MV2AudioApplyParams(s);
    AIL_start_3D_sample(s->handle3d);
    return 1;
}

int32_t MV2AudioSetVolume(MV2AudioSample* s, float volume) {
    if (!Usable(s)) return 0;
    volume = volume < 0.0f ? 0.0f : volume > 1.0f ? 1.0f : volume;
    float d = volume - s->volume;
    if (d >= 0.05f || d <= -0.05f) {
        s->volume = volume;
        s->changes |= kMV2AudioVolumeChanged;
    }
    return 1;
}

int32_t MV2AudioSetRate(MV2AudioSample* s, uint32_t rate) {
    if (!Usable(s)) return 0;
    if (rate == 0) rate = s->ownRate;
    rate = rate < 1000 ? 1000 : rate > 100000 ? 100000 : rate;
    int64_t d = int64_t(rate) - int64_t(s->rate);
    if (d >= 100 || d <= -100) {
        s->rate = rate;
        s->changes |= kMV2AudioRateChanged;
    }
    return 1;
}

int32_t MV2AudioSetPan(MV2AudioSample* s, float pan) {
    if (!Usable(s)) return 0;
    pan = pan < -1.0f ? -1.0f : pan > 1.0f ? 1.0f : pan;
    float d = pan - s->pan;
    if (d >= 0.05f || d <= -0.05f) {
        s->pan = pan;
        s->changes |= kMV2AudioPanChanged;
    }
    return 1;
}

uint32_t MV2AudioOwnRate(const MV2AudioSample* s) {
    return Usable(s) ? s->ownRate : 0;
}

int32_t MV2AudioSetLowPass(MV2AudioSample* s, int32_t on) {
    if (!Usable(s)) return 0;
    s->lowPass = on ? 1 : 0;
    if (on)
        LinkLowPass(s);
    else
        Unlink(s);
    if (g_layer.mute) return 1;
    ApplyFilter(s, on != 0);
    return 1;
}

int32_t MV2AudioSetCutoff(float value) {
    if (!g_layer.started) return 0;
    g_layer.cutoffValue = value;
    g_layer.cutoffHz = 20000.3f - value * 19900.0f;
    if (g_layer.mute) return 1;
    for (MV2AudioSample* s = g_layer.lowPass.next; s != &g_layer.lowPass; s = s->next)
        ApplyFilter(s, value != 0.0f);
    return 1;
}

float MV2AudioCutoffHz() {
    return g_layer.cutoffHz;
}

int32_t MV2AudioIsPlaying(const MV2AudioSample* s) {
    if (!Usable(s)) return 0;
    if (g_layer.mute) return 1;
    if (s->handle) return AIL_sample_status(s->handle) == SMP_PLAYING;
    if (s->handle3d) return AIL_3D_sample_status(s->handle3d) == SMP_PLAYING;
    return 0;
}

int32_t MV2AudioStartStreamService() {
    if (!g_layer.started) return 0;
    g_layer.stream.open = 1;
    return 1;
}

void MV2AudioStopStreamService() {
    if (!g_layer.started) return;
    MV2AudioStopStream();
    g_layer.stream.open = 0;
}

void MV2AudioServiceStream() {
    Stream& s = g_layer.stream;
    if (!g_layer.started || g_layer.mute || !s.handle) return;
    int32_t status = AIL_stream_status(s.handle);
    if (status == int32_t(SMP_DONE) || (status == int32_t(SMP_STOPPED) && s.loopCount != 0))
        MV2AudioStopStream();
}

int32_t MV2AudioPlayStream(const char* file, int32_t loopCount) {
    if (!Usable(file)) return 0;
    if (g_layer.mute) return 1;
    Stream& s = g_layer.stream;
    MV2AudioStopStream();
    s.handle = AIL_open_stream(g_layer.driver, file, 0);
    if (!s.handle) return 0;
    uint32_t own = uint32_t(AIL_stream_playback_rate(s.handle));
    s.loopCount = loopCount;
    AIL_set_stream_loop_count(s.handle, loopCount);
    AIL_set_stream_volume(s.handle, int32_t(MasterVolume() * s.volume * 127.0f));
    AIL_set_stream_playback_rate(s.handle, int32_t(s.rate ? s.rate : own));
    AIL_start_stream(s.handle);
    return 1;
}

int32_t MV2AudioStreamOpen() {
    return g_layer.stream.handle != nullptr;
}

void MV2AudioStopStream() {
    Stream& s = g_layer.stream;
    if (!g_layer.started || !s.handle) return;
    AIL_close_stream(s.handle);
    s.handle = nullptr;
}

void MV2AudioSetStreamRate(uint32_t rate) {
    Stream& s = g_layer.stream;
    s.rate = rate;
    if (g_layer.started && !g_layer.mute && s.handle)
        AIL_set_stream_playback_rate(s.handle,
                                     int32_t(rate ? rate : AIL_stream_playback_rate(s.handle)));
}

void MV2AudioSetStreamVolume(float volume) {
    Stream& s = g_layer.stream;
    s.volume = volume;
    if (g_layer.started && !g_layer.mute && s.handle)
        AIL_set_stream_volume(s.handle, int32_t(MasterVolume() * volume * 127.0f));
}

void MV2AudioPauseStream() {
    if (g_layer.started && !g_layer.mute && g_layer.stream.handle)
        AIL_pause_stream(g_layer.stream.handle, 1);
}

void MV2AudioResumeStream() {
    if (g_layer.started && !g_layer.mute && g_layer.stream.handle)
        AIL_pause_stream(g_layer.stream.handle, 0);
}

int32_t MV2AudioFileSize(const char* file) {
    if (!file) return 0;
    int32_t size = AIL_file_size(file);
    return size < 0 ? 0 : size;
}

uint32_t MV2AudioWavFrames(const char* file) {
    if (!file) return 0;
    FILE* f = PlatformOpenFile(file, "rb");
    if (!f) return 0;
    uint32_t frames = WavFrames(f);
    std::fclose(f);
    return frames;
}
