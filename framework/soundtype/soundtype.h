// The "sound" dictionary type: loads a named sound file from a storage, reads the settings
// file of the same name with the extension ".ini" beside it, and makes a ready sound whose
// format and playback defaults come from those settings.
#pragma once

#include "framework/dict/dictionary.h"
#include "framework/sound/soundproc.h"
#include "framework/streams/storage.h"

#include <cstdint>

extern const VkGuid CLSID_VkDictTypeSound;
extern const VkGuid IID_IVkDictionaryType;
extern const VkGuid IID_IVkDictTypeSound;

// Room for the base directory, with its zero.
constexpr uint32_t VK_SOUNDTYPE_BASE_SIZE = 256;

// The set-up face. The sound maker is used only for its format-making operation, whose
// formats make the final sounds (a Sound Processing object, or an adapter of a sound control).
class IVkDictTypeSound : public IVkUnknown {
public:
    virtual VkResult Initialise(IVkStorage* storage, IVkSoundProc* maker) = 0;
    virtual VkResult SetBaseDirectory(const char* text) = 0;
    virtual VkResult GetBaseDirectory(char* buffer, uint32_t size) = 0;

protected:
    ~IVkDictTypeSound() = default;
};

VkResult VkCreateDictTypeSound(IVkUnknown* outer, IVkUnknown** out);
