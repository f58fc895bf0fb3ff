// The streamed sound player: plays long sound files without loading them whole. Each voice
// owns a ring buffer of a sound control that loops; the player refills the half of the ring
// that has just played from the file.
#pragma once

#include "framework/sound/soundcontrol.h"

class IVkStorage;

extern const VkGuid CLSID_VkStreamedSoundPlayer;
extern const VkGuid IID_IVkStreamedSoundPlayer;

class IVkStreamedSoundPlayer : public IVkUnknown {
public:
    // With a format of a sound control, or null for the category's default control.
    virtual VkResult Initialise(IVkSoundFormat* format) = 0;
    // The name is kept by pointer: the caller keeps it alive while the stream exists. The out
    // pointer must hold null.
    virtual VkResult CreateStream(IVkStorage* storage, const char* name,
                                  IVkSoundBuffer** stream) = 0;
    // Refills the rings of every playing voice; to be called at least twice per ring length.
    virtual VkResult Update() = 0;

protected:
    ~IVkStreamedSoundPlayer() = default;
};

VkResult VkCreateStreamedSoundPlayer(IVkUnknown* outer, IVkUnknown** out);
