// Sound processing: sample-format descriptions, in-memory sample buffers, conversions between
// sample formats, lengths and channel counts, and loading and saving sound files through the
// reader/writer components chosen by file extension.
#pragma once

#include "framework/core/com.h"

#include <cstdint>

class IVkStorage;
class IVkSoundVoice;
class IVkSoundRW;

// Format word: bits 0-7 encoding (1 = linear PCM), bits 8-12 bits per sample, bit 16 signed.
constexpr uint32_t VK_SOUND_PCM = 1;
constexpr uint32_t VK_SOUND_SIGNED = 0x10000;
constexpr uint32_t VK_SOUND_U8 = 0x801;
constexpr uint32_t VK_SOUND_S16 = 0x11001;

inline uint32_t VkSoundEncoding(uint32_t format) {
    return format & 0xFF;
}
inline uint32_t VkSoundBits(uint32_t format) {
    return (format >> 8) & 0x1F;
}

// Integer property ids of formats and buffers.
constexpr uint32_t VK_SOUND_KIND = 1;
constexpr uint32_t VK_SOUND_FORMAT = 2;
constexpr uint32_t VK_SOUND_LENGTH = 3;
constexpr uint32_t VK_SOUND_CHANNELS = 4;
constexpr uint32_t VK_SOUND_FREQUENCY = 5;
constexpr uint32_t VK_SOUND_PRIORITY = 6;
constexpr uint32_t VK_SOUND_EXTRA = 7;
// Float property id: the volume.
constexpr uint32_t VK_SOUND_VOLUME = 2;

// Lock modes.
constexpr uint32_t VK_LOCK_WRITE = 1;
constexpr uint32_t VK_LOCK_READ = 2;

extern const VkGuid IID_IVkSoundFormat;
extern const VkGuid IID_IVkSoundBuffer;
extern const VkGuid IID_IVkSoundProc;
extern const VkGuid CLSID_VkSoundProc;

class IVkSoundBuffer : public IVkUnknown {
public:
    virtual uint32_t GetLength() = 0;
    virtual uint32_t GetFormat() = 0;
    virtual uint32_t GetChannels() = 0;
    virtual VkResult Lock(uint32_t mode, void** data) = 0;
    virtual VkResult Unlock() = 0;
    // A range of frames seen as a ring: the part past the end continues at frame 0. The
    // second pointer and count may be null.
    virtual VkResult LockRange(uint32_t mode, uint32_t start, uint32_t count, void** first,
                               uint32_t* firstCount, void** second, uint32_t* secondCount) = 0;
    virtual VkResult SetInt(uint32_t id, uint32_t value) = 0;
    virtual VkResult GetInt(uint32_t id, uint32_t* value) = 0;
    virtual VkResult SetFloat(uint32_t id, float value) = 0;
    virtual VkResult GetFloat(uint32_t id, float* value) = 0;
    virtual VkResult CreateVoice(IVkSoundVoice** voice) = 0;

protected:
    ~IVkSoundBuffer() = default;
};

class IVkSoundFormat : public IVkUnknown {
public:
    // Fills unset (zero) properties with defaults: one channel of 8-bit unsigned PCM,
    // 1024 frames at 22050 per second, kind 1.
    virtual VkResult Validate() = 0;
    virtual VkResult CreateBuffer(IVkSoundBuffer** buffer) = 0;
    virtual VkResult SetInt(uint32_t id, uint32_t value) = 0;
    virtual VkResult GetInt(uint32_t id, uint32_t* value) = 0;
    virtual VkResult SetFloat(uint32_t id, float value) = 0;
    virtual VkResult GetFloat(uint32_t id, float* value) = 0;
    virtual VkResult Reset() = 0;
    virtual VkResult Clone(IVkSoundFormat** format) = 0;

protected:
    ~IVkSoundFormat() = default;
};

class IVkSoundProc : public IVkUnknown {
public:
    virtual VkResult ConvertFormat(IVkSoundBuffer* dst, IVkSoundBuffer* src) = 0;
    virtual VkResult Copy(IVkSoundBuffer* dst, IVkSoundBuffer* src) = 0;
    virtual VkResult Resample(IVkSoundBuffer* dst, IVkSoundBuffer* src) = 0;
    // Sample format, length and channel count of the destination, from the source.
    virtual VkResult Convert(IVkSoundBuffer* dst, IVkSoundBuffer* src) = 0;
    virtual VkResult ExtractChannel(IVkSoundBuffer* dst, uint32_t channel, IVkSoundBuffer* src) = 0;
    virtual VkResult InsertChannel(IVkSoundBuffer* dst, uint32_t channel, IVkSoundBuffer* src) = 0;
    virtual VkResult MixToMono(IVkSoundBuffer* dst, IVkSoundBuffer* src) = 0;
    virtual VkResult CreateFormat(IVkSoundFormat** format) = 0;
    virtual VkResult Load(IVkStorage* storage, const char* name, IVkSoundFormat* format,
                          IVkSoundBuffer** buffer) = 0;
    virtual VkResult Save(IVkStorage* storage, const char* name, IVkSoundBuffer* buffer) = 0;
    virtual VkResult FindReader(IVkStorage* storage, const char* name, IVkSoundRW** reader) = 0;

protected:
    ~IVkSoundProc() = default;
};

VkResult VkCreateSoundProc(IVkUnknown* outer, IVkUnknown** out);
