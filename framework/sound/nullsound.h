// The silent sound control: answers every sound-control, format, sound and voice operation
// without making a sound, so a program runs unchanged with sound off or no sound device.
#pragma once

#include "framework/sound/soundcontrol.h"

// Success that did nothing; and the failure of every access to sample data.
constexpr VkResult VK_S_NOSOUND = 0x50100;
constexpr VkResult VK_E_NOSOUND = static_cast<VkResult>(0x80050100u);

extern const VkGuid CLSID_VkNullSound;

VkResult VkCreateNullSound(IVkUnknown* outer, IVkUnknown** out);
