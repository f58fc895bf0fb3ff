// The DirectSound sound control: formats whose buffers are DirectSound samples, the primary
// sound with the 3-D listener, capture sounds, and voices ranked once a frame so that only the
// loudest play. One control per process.
#pragma once

#include "framework/sound/soundcontrol.h"

extern const VkGuid CLSID_VkDxSoundControl;

// Sound-control format and voice property ids beyond those of sound processing.
constexpr uint32_t VK_SOUND_3D = 7;
constexpr uint32_t VK_SOUND_STATIC = 8;
constexpr uint32_t VK_SOUND_CURSOR = 9;
constexpr uint32_t VK_SOUND_BACKUP = 11;
constexpr uint32_t VK_SOUND_PLAYING = 12; // voices; the primary sound's play switch
constexpr uint32_t VK_SOUND_PAUSED = 13;
constexpr uint32_t VK_SOUND_LOOP = 14;
constexpr uint32_t VK_SOUND_CHANNEL = 15;
constexpr uint32_t VK_SOUND_SOFTWARE = 16;
constexpr uint32_t VK_SOUND_WRITE_PRIMARY = 17;
constexpr uint32_t VK_SOUND_SECTION = 18;
constexpr uint32_t VK_SOUND_SOFT_3D = 19;
constexpr uint32_t VK_SOUND_SOFT_DOPPLER = 20;

// Float property ids of samples and voices.
constexpr uint32_t VK_SOUND_OVERALL_VOLUME = 1;
constexpr uint32_t VK_SOUND_MIN_DISTANCE = 3;
constexpr uint32_t VK_SOUND_MAX_DISTANCE = 4;
constexpr uint32_t VK_SOUND_INNER_CONE = 5;
constexpr uint32_t VK_SOUND_OUTER_CONE = 6;
constexpr uint32_t VK_SOUND_CONE_OUTSIDE_VOLUME = 7;

// Format kinds.
constexpr uint32_t VK_SOUND_KIND_SAMPLE = 1;
constexpr uint32_t VK_SOUND_KIND_PRIMARY = 2;
constexpr uint32_t VK_SOUND_KIND_CAPTURE = 3;
constexpr uint32_t VK_SOUND_KIND_NONE = 4;

// Control options and listener parameters.
constexpr uint32_t VK_SOUND_OPTION_VOICE_LIMIT = 4;
constexpr uint32_t VK_SOUND_OPTION_NO_HARDWARE = 5;
constexpr uint32_t VK_SOUND_LISTENER_ROLLOFF = 1;
constexpr uint32_t VK_SOUND_LISTENER_DOPPLER = 2;
constexpr uint32_t VK_SOUND_LISTENER_DISTANCE = 3;

// DirectSound attenuation in hundredths of a decibel for a linear volume in 0..1.
int32_t VkSoundVolumeToDS(float volume);

VkResult VkCreateDxSoundControl(IVkUnknown* outer, IVkUnknown** out);
