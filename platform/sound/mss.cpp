#include "platform/sound/mss.h"

#include "platform/crt/crt.h"
#include "platform/sound/al.h"
#include "platform/winmm/winmm.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <new>
#include <unordered_map>
#include <vector>

namespace {

// The layout of a PCM WAV file: where its sample data lies and what it holds.
struct WavInfo {
    uint32_t channels = 0;
    uint32_t bits = 0;
    uint32_t rate = 0;
    uint64_t dataOffset = 0;
    uint64_t dataBytes = 0; // whole frames, bounded by the file
};

uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

// Reads bytes at an offset of a file or an image; false when they are not all there.
class Source {
public:
    virtual bool Read(uint64_t offset, void* out, size_t bytes) = 0;
    virtual uint64_t Size() = 0;

protected:
    ~Source() = default;
};

class MemorySource final : public Source {
public:
    MemorySource(const uint8_t* data, uint64_t size) : data_(data), size_(size) {}
    bool Read(uint64_t offset, void* out, size_t bytes) override {
        if (offset > size_ || bytes > size_ - offset) return false;
        std::memcpy(out, data_ + offset, bytes);
        return true;
    }
    uint64_t Size() override { return size_; }

private:
    const uint8_t* data_;
    uint64_t size_;
};

class FileSource final : public Source {
public:
    explicit FileSource(FILE* file) : file_(file) {
        if (std::fseek(file_, 0, SEEK_END) == 0) {
            long end = std::ftell(file_);
            size_ = end < 0 ? 0 : uint64_t(end);
        }
    }
    bool Read(uint64_t offset, void* out, size_t bytes) override {
        if (offset > size_ || bytes > size_ - offset) return false;
        if (std::fseek(file_, long(offset), SEEK_SET) != 0) return false;
        return std::fread(out, 1, bytes, file_) == bytes;
    }
    uint64_t Size() override { return size_; }

private:
    FILE* file_;
    uint64_t size_ = 0;
};

// RIFF WAVE with a PCM "fmt " chunk of 8- or 16-bit samples in one or two channels, then a
// "data" chunk. Chunks of odd size are followed by a pad byte.
bool ParseWav(Source& source, WavInfo* info) {
    uint8_t head[12];
    if (!source.Read(0, head, 12) || std::memcmp(head, "RIFF", 4) != 0 ||
        std::memcmp(head + 8, "WAVE", 4) != 0)
        return false;
    uint64_t at = 12;
    bool haveFormat = false;
    uint32_t align = 0;
    const uint64_t size = source.Size();
    while (at + 8 <= size) {
        uint8_t chunk[8];
        if (!source.Read(at, chunk, 8)) return false;
        uint64_t body = Le32(chunk + 4);
        at += 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            uint8_t f[16];
            if (body < 16 || !source.Read(at, f, 16)) return false;
            if (Le16(f) != 1) return false;
            info->channels = Le16(f + 2);
            info->rate = Le32(f + 4);
            align = Le16(f + 12);
            info->bits = Le16(f + 14);
            if ((info->channels != 1 && info->channels != 2) ||
                (info->bits != 8 && info->bits != 16) || info->rate == 0 ||
                align != info->channels * info->bits / 8)
                return false;
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) return false;
            uint64_t bytes = body < size - at ? body : size - at;
            info->dataOffset = at;
            info->dataBytes = bytes - bytes % align;
            return true;
        }
        at += body + (body & 1);
    }
    return false;
}

// Library blocks from AIL_file_read: their sizes, and the samples uploaded from them.
struct Block {
    uint64_t size;
    bool parsed;
    bool playable;
    WavInfo info;
    AlSamples samples;
};

std::unordered_map<const void*, Block>& Blocks() {
    static std::unordered_map<const void*, Block> blocks;
    return blocks;
}

// The samples of a file image, uploaded on first use; null for an image that cannot play.
const AlSamples* SamplesOf(const void* image, uint32_t* rate) {
    auto found = Blocks().find(image);
    if (found == Blocks().end()) return nullptr;
    Block& b = found->second;
    if (!b.parsed) {
        b.parsed = true;
        MemorySource source(static_cast<const uint8_t*>(image), b.size);
        if (ParseWav(source, &b.info)) {
            uint32_t frames = uint32_t(b.info.dataBytes / (b.info.channels * b.info.bits / 8));
            b.playable =
                AlSamplesUpload(&b.samples, static_cast<const uint8_t*>(image) + b.info.dataOffset,
                                frames, b.info.channels, b.info.bits, b.info.rate);
        }
    }
    if (!b.playable) return nullptr;
    *rate = b.info.rate;
    return &b.samples;
}

float Clamp01(float v) {
    return v < 0.0f ? 0.0f : v > 1.0f ? 1.0f : v;
}

// 5 kHz is the reference of the EFX high-frequency gain.
float LowPassGain(float cutoff) {
    if (!(cutoff > 0.0f)) return 0.0f;
    float r = 5000.0f / cutoff;
    return 1.0f / std::sqrt(1.0f + r * r);
}

bool g_started = false;

} // namespace

struct MssDriver {
    std::vector<MssSample*> spare;
    bool filterOpen = false;
};

struct MssSample {
    MssDriver* driver = nullptr;
    AlVoice voice{};
    bool open = false;
    const AlSamples* samples = nullptr;
    uint32_t ownRate = 22050;
    uint32_t rate = 22050;
    int32_t loops = 1;
    int32_t volume = 127;
    int32_t pan = 64;
    bool filtered = false;
    ALuint filter = 0;
    float cutoff = 20000.0f;
    bool started = false;
    bool positional = false;

    void Apply() {
        float left = Clamp01(float(127 - pan) / 63.5f);
        float right = Clamp01(float(pan) / 63.5f);
        AlVoiceSetGain(&voice, Clamp01(float(volume) / 127.0f), positional ? 1.0f : left,
                       positional ? 1.0f : right);
        AlVoiceSetPitch(&voice, ownRate ? float(rate) / float(ownRate) : 1.0f);
    }
    void ApplyFilter() {
        if (filtered && !filter) filter = AlCreateLowPass();
        if (filtered && filter) {
            AlSetLowPass(filter, LowPassGain(cutoff));
            AlVoiceSetFilter(&voice, filter);
        } else {
            AlVoiceSetFilter(&voice, 0);
        }
    }
    uint32_t Status() const {
        if (AlVoicePlaying(&voice)) return SMP_PLAYING;
        if (AlVoicePaused(&voice)) return SMP_STOPPED;
        return SMP_DONE;
    }
};

struct Mss3DSample {
    MssSample sample;
};

namespace {

MssDriver* g_driver = nullptr;

MssSample* NewSample(MssDriver* driver) {
    if (!driver) return nullptr;
    MssSample* s = nullptr;
    if (!driver->spare.empty()) {
        s = driver->spare.back();
        driver->spare.pop_back();
    } else {
        s = new (std::nothrow) MssSample;
        if (!s) return nullptr;
        if (!AlVoiceOpen(&s->voice)) {
            delete s;
            return nullptr;
        }
        s->open = true;
    }
    s->driver = driver;
    AlVoiceDetach(&s->voice);
    return s;
}

void ResetSample(MssSample* s) {
    AlVoiceDetach(&s->voice);
    AlVoiceSetFilter(&s->voice, 0);
    AlVoiceSetPositional(&s->voice, false);
    s->samples = nullptr;
    s->ownRate = s->rate = 22050;
    s->loops = 1;
    s->volume = 127;
    s->pan = 64;
    s->filtered = false;
    s->cutoff = 20000.0f;
    s->started = false;
    s->positional = false;
}

void FreeSample(MssSample* s) {
    if (s->filter) AlDeleteFilter(s->filter);
    if (s->open) AlVoiceClose(&s->voice);
    delete s;
}

void StartSample(MssSample* s) {
    if (!s->samples) return;
    uint32_t repeats = s->loops <= 0 ? 1u : uint32_t(s->loops);
    AlVoiceAttach(&s->voice, s->samples, repeats);
    AlVoiceSetLooping(&s->voice, s->loops <= 0);
    s->Apply();
    s->ApplyFilter();
    AlVoicePlay(&s->voice);
    s->started = true;
}

} // namespace

int32_t AIL_startup() {
    g_started = true;
    return 1;
}

void AIL_shutdown() {
    if (g_driver) AIL_waveOutClose(g_driver);
    g_started = false;
}

int32_t AIL_set_preference(uint32_t, int32_t value) {
    return value;
}

int32_t AIL_waveOutOpen(HDIGDRIVER* driver, void*, int32_t, const MssPcmFormat* format) {
    if (!driver) return -1;
    *driver = nullptr;
    if (!g_started || !format || format->formatTag != 1) return -1;
    if (g_driver) return -1;
    if (!AlAcquire()) return -1;
    g_driver = new (std::nothrow) MssDriver;
    if (!g_driver) {
        AlRelease();
        return -1;
    }
    *driver = g_driver;
    return 0;
}

void AIL_waveOutClose(HDIGDRIVER driver) {
    if (!driver || driver != g_driver) return;
    for (MssSample* s : driver->spare)
        FreeSample(s);
    delete driver;
    g_driver = nullptr;
    AlRelease();
}

int32_t AIL_enumerate_filters(HPROENUM* next, HPROVIDER* provider, const char** name) {
    if (!next || !provider || !name || *next != HPROENUM_FIRST) return 0;
    *next = 1;
    *provider = 1;
    *name = kMssLowPassFilterName;
    return 1;
}

int32_t AIL_open_filter(HPROVIDER provider, HDIGDRIVER driver) {
    if (provider != 1 || !driver) return -1;
    driver->filterOpen = true;
    return 0;
}

void AIL_close_filter(HPROVIDER provider) {
    if (provider == 1 && g_driver) g_driver->filterOpen = false;
}

void* AIL_file_read(const char* name, void*) {
    if (!name) return nullptr;
    FILE* f = PlatformOpenFile(name, "rb");
    if (!f) return nullptr;
    FileSource source(f);
    uint64_t size = source.Size();
    void* block = size < (uint64_t(1) << 31) ? std::malloc(size ? size_t(size) : 1) : nullptr;
    if (block && size && !source.Read(0, block, size_t(size))) {
        std::free(block);
        block = nullptr;
    }
    std::fclose(f);
    if (block) Blocks()[block] = Block{size, false, false, WavInfo{}, AlSamples{}};
    return block;
}

int32_t AIL_file_size(const char* name) {
    if (!name) return -1;
    FILE* f = PlatformOpenFile(name, "rb");
    if (!f) return -1;
    FileSource source(f);
    uint64_t size = source.Size();
    std::fclose(f);
    return size > INT32_MAX ? INT32_MAX : int32_t(size);
}

void AIL_mem_free_lock(void* block) {
    auto found = Blocks().find(block);
    if (found == Blocks().end()) return;
    AlSamplesFree(&found->second.samples);
    Blocks().erase(found);
    std::free(block);
}

uint32_t AIL_ms_count() {
    return timeGetTime();
}

HSAMPLE AIL_allocate_sample_handle(HDIGDRIVER driver) {
    return NewSample(driver);
}

void AIL_release_sample_handle(HSAMPLE sample) {
    if (!sample) return;
    ResetSample(sample);
    if (sample->driver == g_driver && g_driver)
        g_driver->spare.push_back(sample);
    else
        FreeSample(sample);
}

void AIL_init_sample(HSAMPLE sample) {
    if (sample) ResetSample(sample);
}

int32_t AIL_set_sample_file(HSAMPLE sample, const void* image, int32_t) {
    if (!sample || !image) return 0;
    uint32_t rate = 0;
    const AlSamples* samples = SamplesOf(image, &rate);
    if (!samples) return 0;
    sample->samples = samples;
    sample->ownRate = sample->rate = rate;
    return 1;
}

int32_t AIL_sample_playback_rate(HSAMPLE sample) {
    return sample ? int32_t(sample->rate) : 0;
}

void AIL_set_sample_playback_rate(HSAMPLE sample, int32_t rate) {
    if (!sample || rate <= 0) return;
    sample->rate = uint32_t(rate);
    sample->Apply();
}

void AIL_set_sample_loop_count(HSAMPLE sample, int32_t count) {
    if (sample) sample->loops = count < 0 ? 1 : count;
}

void AIL_set_sample_volume(HSAMPLE sample, int32_t volume) {
    if (!sample) return;
    sample->volume = volume < 0 ? 0 : volume > 127 ? 127 : volume;
    sample->Apply();
}

void AIL_set_sample_pan(HSAMPLE sample, int32_t pan) {
    if (!sample) return;
    sample->pan = pan < 0 ? 0 : pan > 127 ? 127 : pan;
    sample->Apply();
}

void AIL_set_sample_processor(HSAMPLE sample, uint32_t stage, HPROVIDER provider) {
    if (!sample || stage != 1) return;
    sample->filtered = provider == 1 && g_driver && g_driver->filterOpen;
    sample->ApplyFilter();
}

void AIL_set_filter_sample_preference(HSAMPLE sample, const char* name, const void* value) {
    if (!sample || !name || !value || std::strcmp(name, kMssLowPassCutoff) != 0) return;
    std::memcpy(&sample->cutoff, value, sizeof(float));
    sample->ApplyFilter();
}

void AIL_start_sample(HSAMPLE sample) {
    if (sample) StartSample(sample);
}

void AIL_end_sample(HSAMPLE sample) {
    if (sample) AlVoiceStop(&sample->voice);
}

uint32_t AIL_sample_status(HSAMPLE sample) {
    return sample ? sample->Status() : SMP_FREE;
}

H3DSAMPLE AIL_allocate_3D_sample_handle(HDIGDRIVER driver) {
    if (!driver) return nullptr;
    Mss3DSample* s = new (std::nothrow) Mss3DSample;
    if (!s) return nullptr;
    if (!AlVoiceOpen(&s->sample.voice)) {
        delete s;
        return nullptr;
    }
    s->sample.open = true;
    s->sample.driver = driver;
    s->sample.positional = true;
    AlVoiceSetPositional(&s->sample.voice, true);
    return s;
}

void AIL_release_3D_sample_handle(H3DSAMPLE sample) {
    if (!sample) return;
    if (sample->sample.filter) AlDeleteFilter(sample->sample.filter);
    AlVoiceClose(&sample->sample.voice);
    delete sample;
}

int32_t AIL_set_3D_sample_file(H3DSAMPLE sample, const void* image) {
    if (!sample) return 0;
    int32_t ok = AIL_set_sample_file(&sample->sample, image, -1);
    return ok;
}

void AIL_set_3D_sample_loop_count(H3DSAMPLE sample, int32_t count) {
    if (sample) AIL_set_sample_loop_count(&sample->sample, count);
}

void AIL_set_3D_sample_float_distances(H3DSAMPLE sample, float maxDistance, float minDistance) {
    if (!sample || !(minDistance > 0.0f) || !(maxDistance >= minDistance)) return;
    AlVoiceSetf(&sample->sample.voice, AL_REFERENCE_DISTANCE, minDistance);
    AlVoiceSetf(&sample->sample.voice, AL_MAX_DISTANCE, maxDistance);
}

void AIL_set_3D_sample_playback_rate(H3DSAMPLE sample, int32_t rate) {
    if (sample) AIL_set_sample_playback_rate(&sample->sample, rate);
}

int32_t AIL_3D_sample_playback_rate(H3DSAMPLE sample) {
    return sample ? int32_t(sample->sample.rate) : 0;
}

void AIL_set_3D_sample_volume(H3DSAMPLE sample, int32_t volume) {
    if (sample) AIL_set_sample_volume(&sample->sample, volume);
}

// The library's space is left-handed like DirectSound's: z is negated for OpenAL.
void AIL_set_3D_position(H3DSAMPLE sample, float x, float y, float z) {
    if (sample) AlVoiceSet3f(&sample->sample.voice, AL_POSITION, x, y, -z);
}

void AIL_start_3D_sample(H3DSAMPLE sample) {
    if (sample) StartSample(&sample->sample);
}

void AIL_end_3D_sample(H3DSAMPLE sample) {
    if (sample) AlVoiceStop(&sample->sample.voice);
}

uint32_t AIL_3D_sample_status(H3DSAMPLE sample) {
    return sample ? sample->sample.Status() : SMP_FREE;
}

// Streams ---------------------------------------------------------------------------------

namespace {

constexpr int kStreamPieces = 4;
constexpr uint32_t kStreamPieceFrames = 8192;

} // namespace

struct MssStream {
    FILE* file = nullptr;
    WavInfo info;
    AlVoice voice{};
    AlSamples pieces[kStreamPieces]{};
    int next = 0;      // piece to fill next
    int queued = 0;    // pieces queued on the voice
    uint64_t read = 0; // data bytes read in this play
    int32_t loops = 1; // plays wanted; 0 for ever
    int32_t played = 0;
    bool exhausted = false;
    bool started = false;
    bool paused = false;
    uint32_t rate = 22050;
    int32_t volume = 127;
    std::vector<uint8_t> scratch;

    // Decodes the next piece of data into a free piece of the queue; false at the end.
    bool FillOne() {
        const uint32_t align = info.channels * info.bits / 8;
        for (;;) {
            if (exhausted) return false;
            uint64_t left = info.dataBytes - read;
            if (left == 0) {
                ++played;
                if (loops != 0 && played >= loops) {
                    exhausted = true;
                    return false;
                }
                read = 0;
                if (info.dataBytes == 0) {
                    exhausted = true;
                    return false;
                }
                continue;
            }
            uint64_t bytes = uint64_t(kStreamPieceFrames) * align;
            if (bytes > left) bytes = left;
            FileSource source(file);
            if (!source.Read(info.dataOffset + read, scratch.data(), size_t(bytes))) {
                exhausted = true;
                return false;
            }
            read += bytes;
            AlSamples& piece = pieces[next];
            if (!AlSamplesUpload(&piece, scratch.data(), uint32_t(bytes / align), info.channels,
                                 info.bits, info.rate)) {
                exhausted = true;
                return false;
            }
            AlVoiceQueue(&voice, &piece);
            next = (next + 1) % kStreamPieces;
            ++queued;
            return true;
        }
    }
    void Pump() {
        queued -= int(AlVoiceUnqueue(&voice));
        while (queued < kStreamPieces && FillOne()) {
        }
        // A source that ran dry before more data came is started again.
        if (started && !paused && queued > 0 && !AlVoicePlaying(&voice)) AlVoicePlay(&voice);
    }
};

HSTREAM AIL_open_stream(HDIGDRIVER driver, const char* name, int32_t) {
    if (!driver || !name) return nullptr;
    FILE* f = PlatformOpenFile(name, "rb");
    if (!f) return nullptr;
    MssStream* s = new (std::nothrow) MssStream;
    if (!s) {
        std::fclose(f);
        return nullptr;
    }
    s->file = f;
    FileSource source(f);
    if (!ParseWav(source, &s->info) || !AlVoiceOpen(&s->voice)) {
        std::fclose(f);
        delete s;
        return nullptr;
    }
    s->rate = s->info.rate;
    s->scratch.resize(size_t(kStreamPieceFrames) * s->info.channels * s->info.bits / 8);
    return s;
}

void AIL_close_stream(HSTREAM stream) {
    if (!stream) return;
    AlVoiceClose(&stream->voice);
    for (AlSamples& piece : stream->pieces)
        AlSamplesFree(&piece);
    std::fclose(stream->file);
    delete stream;
}

int32_t AIL_stream_playback_rate(HSTREAM stream) {
    return stream ? int32_t(stream->rate) : 0;
}

void AIL_set_stream_playback_rate(HSTREAM stream, int32_t rate) {
    if (!stream || rate <= 0) return;
    stream->rate = uint32_t(rate);
    AlVoiceSetPitch(&stream->voice, float(rate) / float(stream->info.rate));
}

void AIL_set_stream_loop_count(HSTREAM stream, int32_t count) {
    if (stream) stream->loops = count < 0 ? 1 : count;
}

void AIL_set_stream_volume(HSTREAM stream, int32_t volume) {
    if (!stream) return;
    stream->volume = volume < 0 ? 0 : volume > 127 ? 127 : volume;
    AlVoiceSetGain(&stream->voice, float(stream->volume) / 127.0f, 1.0f, 1.0f);
}

void AIL_start_stream(HSTREAM stream) {
    if (!stream) return;
    AlVoiceDetach(&stream->voice);
    stream->queued = 0;
    stream->read = 0;
    stream->played = 0;
    stream->exhausted = false;
    stream->paused = false;
    stream->started = true;
    AIL_set_stream_volume(stream, stream->volume);
    stream->Pump();
    AlVoicePlay(&stream->voice);
}

void AIL_pause_stream(HSTREAM stream, int32_t on) {
    if (!stream || !stream->started) return;
    stream->paused = on != 0;
    if (stream->paused)
        AlVoicePause(&stream->voice);
    else
        AlVoicePlay(&stream->voice);
}

int32_t AIL_stream_status(HSTREAM stream) {
    if (!stream) return int32_t(SMP_FREE);
    if (!stream->started) return int32_t(SMP_DONE);
    if (stream->paused) return int32_t(SMP_STOPPED);
    stream->Pump();
    if (stream->queued == 0 && stream->exhausted) return int32_t(SMP_DONE);
    return int32_t(SMP_PLAYING);
}

// Red Book: no drive --------------------------------------------------------------------

HREDBOOK AIL_redbook_open(uint32_t) {
    return nullptr;
}

void AIL_redbook_close(HREDBOOK) {}

uint32_t AIL_redbook_tracks(HREDBOOK) {
    return 0;
}

void AIL_redbook_track_info(HREDBOOK, uint32_t, uint32_t* start, uint32_t* end) {
    if (start) *start = 0;
    if (end) *end = 0;
}

uint32_t AIL_redbook_play(HREDBOOK, uint32_t, uint32_t) {
    return 0;
}

uint32_t AIL_redbook_stop(HREDBOOK) {
    return 0;
}

uint32_t AIL_redbook_pause(HREDBOOK) {
    return 0;
}

uint32_t AIL_redbook_resume(HREDBOOK) {
    return 0;
}

uint32_t AIL_redbook_status(HREDBOOK) {
    return REDBOOK_ERROR;
}

int32_t AIL_redbook_set_volume(HREDBOOK, int32_t) {
    return 0;
}

// PCM source for the video stand-in -----------------------------------------------------

struct MssPcmStream {
    AlVoice voice{};
    uint32_t rate = 0;
    uint32_t channels = 0;
    std::vector<AlSamples> free;
    std::deque<AlSamples> busy; // in queue order
    std::deque<uint32_t> busyFrames;
    bool playing = false;

    void Reclaim() {
        uint32_t done = AlVoiceUnqueue(&voice);
        for (uint32_t i = 0; i < done && !busy.empty(); ++i) {
            free.push_back(busy.front());
            busy.pop_front();
            busyFrames.pop_front();
        }
    }
};

MssPcmStream* MssOpenPcmStream(HDIGDRIVER driver, uint32_t rate, uint32_t channels) {
    if (!driver || driver != g_driver || rate == 0 || (channels != 1 && channels != 2))
        return nullptr;
    MssPcmStream* s = new (std::nothrow) MssPcmStream;
    if (!s) return nullptr;
    if (!AlVoiceOpen(&s->voice)) {
        delete s;
        return nullptr;
    }
    s->rate = rate;
    s->channels = channels;
    return s;
}

bool MssPushPcm(MssPcmStream* stream, const int16_t* frames, uint32_t count) {
    if (!stream || !frames || count == 0) return false;
    stream->Reclaim();
    AlSamples piece{};
    if (!stream->free.empty()) {
        piece = stream->free.back();
        stream->free.pop_back();
    }
    if (!AlSamplesUpload(&piece, frames, count, stream->channels, 16, stream->rate)) {
        AlSamplesFree(&piece);
        return false;
    }
    AlVoiceQueue(&stream->voice, &piece);
    stream->busy.push_back(piece);
    stream->busyFrames.push_back(count);
    if (stream->playing && !AlVoicePlaying(&stream->voice)) AlVoicePlay(&stream->voice);
    return true;
}

uint32_t MssPcmQueuedFrames(MssPcmStream* stream) {
    if (!stream) return 0;
    stream->Reclaim();
    uint64_t total = 0;
    for (uint32_t f : stream->busyFrames)
        total += f;
    uint32_t played = AlVoiceOffset(&stream->voice);
    return total > played ? uint32_t(total - played) : 0;
}

void MssPlayPcm(MssPcmStream* stream) {
    if (!stream) return;
    stream->playing = true;
    AlVoicePlay(&stream->voice);
}

void MssPausePcm(MssPcmStream* stream) {
    if (!stream) return;
    stream->playing = false;
    AlVoicePause(&stream->voice);
}

void MssStopPcm(MssPcmStream* stream) {
    if (!stream) return;
    stream->playing = false;
    AlVoiceDetach(&stream->voice);
    for (AlSamples& s : stream->busy)
        stream->free.push_back(s);
    stream->busy.clear();
    stream->busyFrames.clear();
}

void MssSetPcmVolume(MssPcmStream* stream, float volume) {
    if (stream) AlVoiceSetGain(&stream->voice, Clamp01(volume), 1.0f, 1.0f);
}

void MssClosePcm(MssPcmStream* stream) {
    if (!stream) return;
    AlVoiceClose(&stream->voice);
    for (AlSamples& s : stream->free)
        AlSamplesFree(&s);
    for (AlSamples& s : stream->busy)
        AlSamplesFree(&s);
    delete stream;
}
