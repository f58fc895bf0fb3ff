#include "platform/sound/al.h"

#include "platform/sound/device.h"

#include <cstring>
#include <vector>

namespace {

struct Device {
    ALCdevice* device = nullptr;
    ALCcontext* context = nullptr;
    bool loopback = false;
    uint32_t users = 0;
};

Device g_device;
uint32_t g_loopbackRate = 0;

LPALCLOOPBACKOPENDEVICESOFT g_loopbackOpen = nullptr;
LPALCRENDERSAMPLESSOFT g_render = nullptr;

using BufferStorageFn = void(AL_APIENTRY*)(ALuint, ALenum, const ALvoid*, ALsizei, ALsizei, ALuint);
using MapBufferFn = void*(AL_APIENTRY*)(ALuint, ALsizei, ALsizei, ALuint);
using UnmapBufferFn = void(AL_APIENTRY*)(ALuint);
BufferStorageFn g_bufferStorage = nullptr;
MapBufferFn g_mapBuffer = nullptr;
UnmapBufferFn g_unmapBuffer = nullptr;
// Flags of the buffer-mapping extension.
constexpr ALuint kMapWrite = 0x02;
constexpr ALuint kMapPersistent = 0x04;

LPALGENFILTERS g_genFilters = nullptr;
LPALDELETEFILTERS g_deleteFilters = nullptr;
LPALFILTERI g_filteri = nullptr;
LPALFILTERF g_filterf = nullptr;

// Enough sources for many voices of two sources each.
constexpr ALCint kSources = 1024;

void LoadEfx() {
    g_genFilters = nullptr;
    if (!alcIsExtensionPresent(g_device.device, "ALC_EXT_EFX")) return;
    g_genFilters = reinterpret_cast<LPALGENFILTERS>(alGetProcAddress("alGenFilters"));
    g_deleteFilters = reinterpret_cast<LPALDELETEFILTERS>(alGetProcAddress("alDeleteFilters"));
    g_filteri = reinterpret_cast<LPALFILTERI>(alGetProcAddress("alFilteri"));
    g_filterf = reinterpret_cast<LPALFILTERF>(alGetProcAddress("alFilterf"));
    if (!g_deleteFilters || !g_filteri || !g_filterf) g_genFilters = nullptr;
}

bool Open() {
    ALCint attributes[16];
    int n = 0;
    if (g_loopbackRate) {
        if (!g_loopbackOpen) {
            g_loopbackOpen = reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(
                alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
            g_render = reinterpret_cast<LPALCRENDERSAMPLESSOFT>(
                alcGetProcAddress(nullptr, "alcRenderSamplesSOFT"));
        }
        if (!g_loopbackOpen || !g_render) return false;
        g_device.device = g_loopbackOpen(nullptr);
        attributes[n++] = ALC_FORMAT_CHANNELS_SOFT;
        attributes[n++] = ALC_STEREO_SOFT;
        attributes[n++] = ALC_FORMAT_TYPE_SOFT;
        attributes[n++] = ALC_FLOAT_SOFT;
        attributes[n++] = ALC_FREQUENCY;
        attributes[n++] = static_cast<ALCint>(g_loopbackRate);
        g_device.loopback = true;
    } else {
        g_device.device = alcOpenDevice(nullptr);
        g_device.loopback = false;
    }
    if (!g_device.device) return false;
    attributes[n++] = ALC_HRTF_SOFT;
    attributes[n++] = ALC_FALSE;
    attributes[n++] = ALC_MONO_SOURCES;
    attributes[n++] = kSources;
    attributes[n++] = 0;
    g_device.context = alcCreateContext(g_device.device, attributes);
    if (!g_device.context || !alcMakeContextCurrent(g_device.context)) {
        if (g_device.context) alcDestroyContext(g_device.context);
        alcCloseDevice(g_device.device);
        g_device = Device{};
        return false;
    }
    alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
    LoadEfx();
    g_bufferStorage = reinterpret_cast<BufferStorageFn>(alGetProcAddress("alBufferStorageSOFT"));
    g_mapBuffer = reinterpret_cast<MapBufferFn>(alGetProcAddress("alMapBufferSOFT"));
    g_unmapBuffer = reinterpret_cast<UnmapBufferFn>(alGetProcAddress("alUnmapBufferSOFT"));
    return true;
}

} // namespace

void PlatformSoundUseLoopback(uint32_t rate) {
    g_loopbackRate = rate;
}

bool PlatformSoundRender(float* out, uint32_t frames) {
    if (!g_device.device || !g_device.loopback) return false;
    g_render(g_device.device, out, static_cast<ALCsizei>(frames));
    return true;
}

bool PlatformSoundDeviceOpen() {
    return g_device.device != nullptr;
}

bool AlAcquire() {
    if (g_device.users == 0 && !Open()) return false;
    ++g_device.users;
    return true;
}

void AlRelease() {
    if (g_device.users == 0 || --g_device.users > 0) return;
    alcMakeContextCurrent(nullptr);
    alcDestroyContext(g_device.context);
    alcCloseDevice(g_device.device);
    g_device = Device{};
}

ALuint AlCreateLowPass() {
    if (!g_genFilters) return 0;
    ALuint filter = 0;
    g_genFilters(1, &filter);
    if (alGetError() != AL_NO_ERROR) return 0;
    g_filteri(filter, AL_FILTER_TYPE, AL_FILTER_LOWPASS);
    g_filterf(filter, AL_LOWPASS_GAIN, 1.0f);
    g_filterf(filter, AL_LOWPASS_GAINHF, 1.0f);
    return filter;
}

void AlSetLowPass(ALuint filter, float gainHF) {
    if (!filter || !g_filterf) return;
    g_filterf(filter, AL_LOWPASS_GAINHF, gainHF < 0.0f ? 0.0f : gainHF > 1.0f ? 1.0f : gainHF);
}

void AlDeleteFilter(ALuint filter) {
    if (filter && g_deleteFilters) g_deleteFilters(1, &filter);
}

bool AlSamplesUpload(AlSamples* samples, const void* data, uint32_t frames, uint32_t channels,
                     uint32_t bits, uint32_t rate) {
    if ((channels != 1 && channels != 2) || (bits != 8 && bits != 16) || rate == 0) return false;
    if (!samples->buffers[0]) {
        alGenBuffers(channels == 2 ? 2 : 1, samples->buffers);
        if (alGetError() != AL_NO_ERROR) {
            samples->buffers[0] = samples->buffers[1] = 0;
            return false;
        }
        if (channels == 1) samples->buffers[1] = samples->buffers[0];
    }
    samples->channels = channels;
    samples->bits = bits;
    samples->frames = frames;
    samples->rate = rate;
    ALenum format = bits == 8 ? AL_FORMAT_MONO8 : AL_FORMAT_MONO16;
    // OpenAL refuses empty data; one silent frame stands in.
    uint8_t silence[2] = {static_cast<uint8_t>(bits == 8 ? 0x80 : 0), 0};
    uint32_t bytesPerSample = bits / 8;
    if (frames == 0) {
        alBufferData(samples->buffers[0], format, silence, ALsizei(bytesPerSample), ALsizei(rate));
        if (channels == 2)
            alBufferData(samples->buffers[1], format, silence, ALsizei(bytesPerSample),
                         ALsizei(rate));
        return alGetError() == AL_NO_ERROR;
    }
    if (channels == 1) {
        alBufferData(samples->buffers[0], format, data, ALsizei(size_t(frames) * bytesPerSample),
                     ALsizei(rate));
        return alGetError() == AL_NO_ERROR;
    }
    // Split the interleaved frames into one buffer per side, through scratch that is kept.
    static std::vector<uint8_t> side;
    side.resize(size_t(frames) * bytesPerSample);
    const uint8_t* in = static_cast<const uint8_t*>(data);
    for (uint32_t c = 0; c < 2; ++c) {
        for (uint32_t f = 0; f < frames; ++f)
            std::memcpy(&side[size_t(f) * bytesPerSample],
                        in + (size_t(f) * 2 + c) * bytesPerSample, bytesPerSample);
        alBufferData(samples->buffers[c], format, side.data(), ALsizei(side.size()), ALsizei(rate));
    }
    return alGetError() == AL_NO_ERROR;
}

bool AlSamplesCreateMapped(AlSamples* samples, uint32_t frames, uint32_t channels, uint32_t bits,
                           uint32_t rate) {
    *samples = AlSamples{};
    if ((channels != 1 && channels != 2) || (bits != 8 && bits != 16) || rate == 0) return false;
    if (!g_bufferStorage || !g_mapBuffer || !g_unmapBuffer) return false;
    if (frames == 0) frames = 1;
    uint32_t count = channels;
    alGenBuffers(ALsizei(count), samples->buffers);
    if (alGetError() != AL_NO_ERROR) return false;
    if (count == 1) samples->buffers[1] = samples->buffers[0];
    samples->channels = channels;
    samples->bits = bits;
    samples->frames = frames;
    samples->rate = rate;
    size_t bytes = size_t(frames) * (bits / 8);
    std::vector<uint8_t> silence(bytes, bits == 8 ? 0x80 : 0);
    ALenum format = bits == 8 ? AL_FORMAT_MONO8 : AL_FORMAT_MONO16;
    for (uint32_t i = 0; i < count; ++i) {
        g_bufferStorage(samples->buffers[i], format, silence.data(), ALsizei(bytes), ALsizei(rate),
                        kMapWrite | kMapPersistent);
        samples->maps[i] =
            g_mapBuffer(samples->buffers[i], 0, ALsizei(bytes), kMapWrite | kMapPersistent);
    }
    if (count == 1) samples->maps[1] = samples->maps[0];
    if (alGetError() != AL_NO_ERROR || !samples->maps[0] || !samples->maps[1]) {
        AlSamplesFree(samples);
        return false;
    }
    return true;
}

void AlSamplesWrite(AlSamples* samples, uint32_t first, const void* data, uint32_t frames) {
    if (!samples->maps[0] || first >= samples->frames) return;
    if (frames > samples->frames - first) frames = samples->frames - first;
    uint32_t size = samples->bits / 8;
    const uint8_t* in = static_cast<const uint8_t*>(data);
    if (samples->channels == 1) {
        std::memcpy(static_cast<uint8_t*>(samples->maps[0]) + size_t(first) * size, in,
                    size_t(frames) * size);
        return;
    }
    for (uint32_t c = 0; c < 2; ++c) {
        uint8_t* out = static_cast<uint8_t*>(samples->maps[c]) + size_t(first) * size;
        for (uint32_t f = 0; f < frames; ++f)
            std::memcpy(out + size_t(f) * size, in + (size_t(f) * 2 + c) * size, size);
    }
}

void AlSamplesFree(AlSamples* samples) {
    for (int i = 0; i < 2; ++i) {
        if (samples->maps[i] && (i == 0 || samples->buffers[1] != samples->buffers[0]))
            g_unmapBuffer(samples->buffers[i]);
        samples->maps[i] = nullptr;
    }
    if (samples->buffers[0])
        alDeleteBuffers(samples->buffers[1] != samples->buffers[0] ? 2 : 1, samples->buffers);
    samples->buffers[0] = samples->buffers[1] = 0;
}

namespace {

void ApplyGain(AlVoice* voice) {
    if (voice->positional) {
        alSourcef(voice->sources[0], AL_GAIN, voice->gain);
        alSourcef(voice->sources[1], AL_GAIN, 0.0f);
    } else {
        alSourcef(voice->sources[0], AL_GAIN, voice->gain * voice->left);
        alSourcef(voice->sources[1], AL_GAIN, voice->gain * voice->right);
    }
}

void PlaceSides(AlVoice* voice) {
    // Hard left and hard right, relative to the listener and without distance fall-off.
    const float x[2] = {-1.0f, 1.0f};
    for (int i = 0; i < 2; ++i) {
        alSourcei(voice->sources[i], AL_SOURCE_RELATIVE, AL_TRUE);
        alSource3f(voice->sources[i], AL_POSITION, x[i], 0.0f, 0.0f);
        alSourcef(voice->sources[i], AL_ROLLOFF_FACTOR, 0.0f);
    }
}

} // namespace

bool AlVoiceOpen(AlVoice* voice) {
    *voice = AlVoice{};
    alGenSources(2, voice->sources);
    if (alGetError() != AL_NO_ERROR) {
        voice->sources[0] = voice->sources[1] = 0;
        return false;
    }
    voice->gain = voice->left = voice->right = 1.0f;
    PlaceSides(voice);
    ApplyGain(voice);
    return true;
}

void AlVoiceClose(AlVoice* voice) {
    if (!voice->sources[0]) return;
    alSourceStopv(2, voice->sources);
    alSourcei(voice->sources[0], AL_BUFFER, 0);
    alSourcei(voice->sources[1], AL_BUFFER, 0);
    alDeleteSources(2, voice->sources);
    voice->sources[0] = voice->sources[1] = 0;
}

void AlVoiceAttach(AlVoice* voice, const AlSamples* samples, uint32_t repeats) {
    AlVoiceDetach(voice);
    if (repeats <= 1) {
        for (int i = 0; i < 2; ++i)
            alSourcei(voice->sources[i], AL_BUFFER, ALint(samples->buffers[i]));
        return;
    }
    for (uint32_t r = 0; r < repeats; ++r)
        AlVoiceQueue(voice, samples);
}

void AlVoiceDetach(AlVoice* voice) {
    alSourceStopv(2, voice->sources);
    for (int i = 0; i < 2; ++i) {
        alSourcei(voice->sources[i], AL_LOOPING, AL_FALSE);
        alSourcei(voice->sources[i], AL_BUFFER, 0);
    }
}

void AlVoiceQueue(AlVoice* voice, const AlSamples* samples) {
    for (int i = 0; i < 2; ++i)
        alSourceQueueBuffers(voice->sources[i], 1, &samples->buffers[i]);
}

uint32_t AlVoiceUnqueue(AlVoice* voice) {
    ALint done[2] = {0, 0};
    for (int i = 0; i < 2; ++i)
        alGetSourcei(voice->sources[i], AL_BUFFERS_PROCESSED, &done[i]);
    ALint n = done[0] < done[1] ? done[0] : done[1];
    for (ALint k = 0; k < n; ++k) {
        for (int i = 0; i < 2; ++i) {
            ALuint buffer = 0;
            alSourceUnqueueBuffers(voice->sources[i], 1, &buffer);
        }
    }
    return static_cast<uint32_t>(n);
}

void AlVoicePlay(AlVoice* voice) {
    alSourcePlayv(2, voice->sources);
}

void AlVoicePause(AlVoice* voice) {
    alSourcePausev(2, voice->sources);
}

void AlVoiceStop(AlVoice* voice) {
    alSourceStopv(2, voice->sources);
}

void AlVoiceSetLooping(AlVoice* voice, bool looping) {
    for (int i = 0; i < 2; ++i)
        alSourcei(voice->sources[i], AL_LOOPING, looping ? AL_TRUE : AL_FALSE);
}

bool AlVoicePlaying(const AlVoice* voice) {
    ALint state = AL_STOPPED;
    alGetSourcei(voice->sources[0], AL_SOURCE_STATE, &state);
    return state == AL_PLAYING;
}

bool AlVoicePaused(const AlVoice* voice) {
    ALint state = AL_STOPPED;
    alGetSourcei(voice->sources[0], AL_SOURCE_STATE, &state);
    return state == AL_PAUSED;
}

uint32_t AlVoiceOffset(const AlVoice* voice) {
    ALint offset = 0;
    alGetSourcei(voice->sources[0], AL_SAMPLE_OFFSET, &offset);
    return offset < 0 ? 0u : static_cast<uint32_t>(offset);
}

void AlVoiceSetOffset(AlVoice* voice, uint32_t frame) {
    for (int i = 0; i < 2; ++i)
        alSourcei(voice->sources[i], AL_SAMPLE_OFFSET, ALint(frame));
    alGetError();
}

void AlVoiceSetGain(AlVoice* voice, float gain, float left, float right) {
    voice->gain = gain;
    voice->left = left;
    voice->right = right;
    ApplyGain(voice);
}

void AlVoiceSetPitch(AlVoice* voice, float pitch) {
    for (int i = 0; i < 2; ++i)
        alSourcef(voice->sources[i], AL_PITCH, pitch);
    alGetError();
}

void AlVoiceSetFilter(AlVoice* voice, ALuint filter) {
    for (int i = 0; i < 2; ++i)
        alSourcei(voice->sources[i], AL_DIRECT_FILTER, ALint(filter));
    alGetError();
}

void AlVoiceSetPositional(AlVoice* voice, bool positional) {
    if (voice->positional == positional) return;
    voice->positional = positional;
    if (positional) {
        alSourcei(voice->sources[0], AL_SOURCE_RELATIVE, AL_FALSE);
        alSourcef(voice->sources[0], AL_ROLLOFF_FACTOR, 1.0f);
        alSource3f(voice->sources[0], AL_POSITION, 0.0f, 0.0f, 0.0f);
    } else {
        PlaceSides(voice);
    }
    ApplyGain(voice);
}

void AlVoiceSet3f(AlVoice* voice, ALenum param, float x, float y, float z) {
    alSource3f(voice->sources[0], param, x, y, z);
    alGetError();
}

void AlVoiceSetf(AlVoice* voice, ALenum param, float value) {
    alSourcef(voice->sources[0], param, value);
    alGetError();
}
