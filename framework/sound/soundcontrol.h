// The sound control interface of the "Vesk SoundControl" category (one control per process
// makes the formats from which sounds are made) and the voice, the playing copy of a sound.
#pragma once

#include "framework/sound/soundproc.h"

#include <cstdint>

inline constexpr VkGuid IID_IVkSoundControl = {
    0xB6EAF161, 0x6901, 0x11D2, {0xBE, 0x85, 0x00, 0x60, 0x08, 0x51, 0x3E, 0x1D}};
inline constexpr VkGuid IID_IVkSoundVoice = {
    0xBF22B481, 0x6AA0, 0x11D2, {0xBE, 0x85, 0x00, 0x60, 0x08, 0x51, 0x3E, 0x1D}};

// A listener or voice frame: 12 floats.
constexpr uint32_t VK_SOUND_FRAME_FLOATS = 12;

class IVkSoundControl : public IVkUnknown {
public:
    // The per-frame voice manager.
    virtual VkResult Update() = 0;
    // Either pointer may be null: a frame of 12 floats, a velocity of 3.
    virtual VkResult SetListener(const float* frame, const float* velocity) = 0;
    virtual VkResult GetListener(float* frame, float* velocity) = 0;
    virtual VkResult CreateFormat(IVkSoundFormat** format) = 0;
    virtual VkResult SetChannelVolume(uint32_t channel, float volume) = 0;
    virtual VkResult GetChannelVolume(uint32_t channel, float* volume) = 0;
    virtual VkResult SetOption(uint32_t id, const uint32_t* value) = 0;
    virtual VkResult GetOption(uint32_t id, uint32_t* value) = 0;
    virtual VkResult SetListenerParam(uint32_t id, const float* value) = 0;
    virtual VkResult GetListenerParam(uint32_t id, float* value) = 0;

protected:
    ~IVkSoundControl() = default;
};

class IVkSoundVoice : public IVkUnknown {
public:
    // The sound the voice plays, without an added reference.
    virtual IVkSoundBuffer* GetOwner() = 0;
    virtual VkResult Play() = 0;
    virtual VkResult Stop() = 0;
    virtual VkResult Pause() = 0;
    virtual VkResult Rewind() = 0;
    virtual VkResult SetFrame(const float* frame, const float* velocity) = 0;
    virtual VkResult GetFrame(float* frame, float* velocity) = 0;
    // Pointer-wide: some properties pass the address of their value.
    virtual VkResult SetInt(uint32_t id, uintptr_t value) = 0;
    virtual VkResult GetInt(uint32_t id, uint32_t* value) = 0;
    virtual VkResult SetFloat(uint32_t id, float value) = 0;
    virtual VkResult GetFloat(uint32_t id, float* value) = 0;
    virtual VkResult SetPlayPosition(uint32_t frame) = 0;
    virtual VkResult GetPlayPosition(uint32_t* playFrame, uint32_t* writeFrame) = 0;

protected:
    ~IVkSoundVoice() = default;
};
