// The sound reader/writer interface of the "Vesk SoundRW" category, and its WAV member: RIFF
// WAVE files of 8-bit unsigned or 16-bit signed PCM.
#pragma once

#include "framework/sound/soundproc.h"
#include "framework/streams/stream.h"

extern const VkGuid IID_IVkSoundRW;
extern const VkGuid CLSID_VkSoundRWWav;

// Size of a buffer that holds any extension with its terminator.
constexpr uint32_t VK_SOUND_EXTENSION_SIZE = 16;

class IVkSoundRW : public IVkUnknown {
public:
    // Leaves the stream at the first sample byte. The format word is left as it was for a
    // sample width the format words do not name.
    virtual VkResult GetInfo(IVkStream* stream, uint32_t* length, uint32_t* format,
                             uint32_t* channels, uint32_t* frequency) = 0;
    // Sets the format's length, format word, channels and frequency and fills a new buffer.
    virtual VkResult Read(IVkStream* stream, IVkSoundFormat* format, IVkSoundBuffer** buffer) = 0;
    virtual VkResult Write(IVkStream* stream, IVkSoundBuffer* buffer) = 0;
    // A stream over the sample data: position 0 is the first sample byte.
    virtual VkResult OpenStreamReader(IVkStream* stream, IVkStream** reader) = 0;
    virtual uint32_t GetExtensionCount() = 0;
    // Copies the extension, terminated, into a buffer of VK_SOUND_EXTENSION_SIZE bytes.
    virtual VkResult GetExtension(uint32_t index, char* text) = 0;

protected:
    ~IVkSoundRW() = default;
};

VkResult VkCreateSoundRWWav(IVkUnknown* outer, IVkUnknown** out);
