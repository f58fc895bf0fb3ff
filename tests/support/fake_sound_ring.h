// Test doubles of a sound control's ring for the streamed sound player: a ring of memory that
// records its LockRange calls, the voice that plays it (its play position set by hand) and
// the format that makes it. Header-only, so that fuzz targets use it too.
#pragma once

#include "framework/sound/dxsound.h"

#include <cstring>
#include <utility>
#include <vector>

// A sound control's ring, as far as the player uses it: memory, recorded LockRange calls and
// a voice whose play position the test sets.
struct FakeRing;

struct FakeVoice final : IVkSoundVoice {
    explicit FakeVoice(FakeRing* ring) : ring(ring) {}
    VkResult QueryInterface(const VkGuid&, void** out) override {
        *out = nullptr;
        return VK_E_NOINTERFACE;
    }
    uint32_t AddRef() override { return ++count; }
    uint32_t Release() override;
    IVkSoundBuffer* GetOwner() override;
    VkResult Play() override {
        playing = 1;
        ++plays;
        return VK_OK;
    }
    VkResult Stop() override {
        playing = 0;
        return VK_OK;
    }
    VkResult Pause() override { return VK_OK; }
    VkResult Rewind() override {
        position = 0;
        return VK_OK;
    }
    VkResult SetFrame(const float*, const float*) override { return VK_OK; }
    VkResult GetFrame(float*, float*) override { return VK_OK; }
    VkResult SetInt(uint32_t id, uintptr_t value) override {
        if (id == VK_SOUND_LOOP) loop = static_cast<uint32_t>(value);
        return VK_OK;
    }
    VkResult GetInt(uint32_t id, uint32_t* value) override {
        *value = id == VK_SOUND_PLAYING ? playing : 0;
        return VK_OK;
    }
    VkResult SetFloat(uint32_t, float) override { return VK_OK; }
    VkResult GetFloat(uint32_t, float*) override { return VK_OK; }
    VkResult SetPlayPosition(uint32_t frame) override {
        position = frame;
        return VK_OK;
    }
    VkResult GetPlayPosition(uint32_t* play, uint32_t* write) override {
        if (play) *play = position;
        if (write) *write = position;
        return VK_OK;
    }

    FakeRing* ring;
    uint32_t count = 1, playing = 0, plays = 0, position = 0, loop = 99;
};

struct FakeRing final : IVkSoundBuffer {
    FakeRing(uint32_t length, uint32_t format, uint32_t channels)
        : length(length), format(format), channels(channels),
          data(size_t(length) * channels * VkSoundBits(format) / 8, 0xEE) {}
    VkResult QueryInterface(const VkGuid&, void** out) override {
        *out = nullptr;
        return VK_E_NOINTERFACE;
    }
    uint32_t AddRef() override { return ++count; }
    uint32_t Release() override {
        if (--count) return count;
        delete this;
        return 0;
    }
    uint32_t GetLength() override { return length; }
    uint32_t GetFormat() override { return format; }
    uint32_t GetChannels() override { return channels; }
    VkResult Lock(uint32_t, void** p) override {
        *p = data.data();
        return VK_OK;
    }
    VkResult Unlock() override { return VK_OK; }
    // Records the range; one that leaves the ring is also marked.
    VkResult LockRange(uint32_t, uint32_t start, uint32_t n, void** first, uint32_t* firstCount,
                       void**, uint32_t*) override {
        locks.push_back({start, n});
        if (start >= length || n > length - start) {
            outside = true;
            return VK_E_FAIL;
        }
        *first = data.data() + size_t(start) * channels * VkSoundBits(format) / 8;
        *firstCount = n;
        return VK_OK;
    }
    VkResult SetInt(uint32_t, uint32_t) override { return VK_OK; }
    VkResult GetInt(uint32_t id, uint32_t* value) override {
        *value = id == VK_SOUND_LENGTH ? length : 0;
        return VK_OK;
    }
    VkResult SetFloat(uint32_t, float) override { return VK_OK; }
    VkResult GetFloat(uint32_t, float*) override { return VK_OK; }
    VkResult CreateVoice(IVkSoundVoice** out) override {
        voice = new FakeVoice(this);
        AddRef();
        *out = voice;
        return VK_OK;
    }
    int16_t Sample16(uint32_t frame) const {
        int16_t v;
        std::memcpy(&v, &data[size_t(frame) * 2], 2);
        return v;
    }

    uint32_t length, format, channels, count = 1;
    std::vector<uint8_t> data;
    std::vector<std::pair<uint32_t, uint32_t>> locks;
    FakeVoice* voice = nullptr;
    bool outside = false;
};

inline uint32_t FakeVoice::Release() {
    if (--count) return count;
    FakeRing* r = ring;
    delete this;
    r->voice = nullptr;
    r->Release();
    return 0;
}

inline IVkSoundBuffer* FakeVoice::GetOwner() {
    return ring;
}

struct FakeFormat final : IVkSoundFormat {
    VkResult QueryInterface(const VkGuid&, void** out) override {
        *out = nullptr;
        return VK_E_NOINTERFACE;
    }
    uint32_t AddRef() override { return ++count; }
    uint32_t Release() override { return --count; }
    VkResult Validate() override { return VK_OK; }
    // Rings of 8- or 16-bit samples in one to eight channels.
    VkResult CreateBuffer(IVkSoundBuffer** out) override {
        uint32_t bits = VkSoundBits(format);
        if ((bits != 8 && bits != 16) || channels == 0 || channels > 8) return VK_E_FAIL;
        last = new FakeRing(length, format, channels);
        *out = last;
        return VK_OK;
    }
    VkResult SetInt(uint32_t id, uint32_t value) override {
        if (id == VK_SOUND_FORMAT) format = value;
        if (id == VK_SOUND_CHANNELS) channels = value;
        if (id == VK_SOUND_LENGTH) length = value;
        return VK_OK;
    }
    VkResult GetInt(uint32_t, uint32_t*) override { return VK_OK; }
    VkResult SetFloat(uint32_t, float) override { return VK_OK; }
    VkResult GetFloat(uint32_t, float*) override { return VK_OK; }
    VkResult Reset() override { return VK_OK; }
    VkResult Clone(IVkSoundFormat**) override { return VK_E_FAIL; }

    uint32_t count = 1, format = 0, channels = 0, length = 1024;
    FakeRing* last = nullptr;
};
