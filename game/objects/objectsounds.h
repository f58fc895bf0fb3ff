// Object sounds: looped sounds that follow their objects.
#pragma once

#include <cstdint>

// Once per frame: starts, places and stops the looped sounds of objects; 0 without a camera.
int32_t MV2UpdateObjectSounds();
// Releases every looped object sound.
void MV2StopAllObjectSounds();
