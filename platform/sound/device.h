// The one sound output device shared by the DirectSound and sound-library stand-ins. It opens
// on first use and closes with its last user. Tests switch it to a loopback device, whose mix
// is made only when they ask for it.
#pragma once

#include <cstdint>

// Test seam: devices opened from now on are loopback devices mixing stereo float frames at the
// rate given (0 returns to the system's default output). Takes effect at the next open.
void PlatformSoundUseLoopback(uint32_t rate);
// Mixes frames of the open loopback device into out (interleaved left, right). False, with out
// untouched, when no loopback device is open.
bool PlatformSoundRender(float* out, uint32_t frames);
// Whether the shared device is open.
bool PlatformSoundDeviceOpen();
