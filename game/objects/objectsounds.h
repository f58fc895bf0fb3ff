// Object sounds: looped sounds that follow their objects.
#pragma once

#include <cstdint>

// Once per frame: starts, places and stops the looped sounds of objects; 0 without a camera.
int32_t MV2UpdateObjectSounds();
// Releases every looped object sound.
void MV2StopAllObjectSounds();

struct TvV3d;
// Plays a sound id at a position with a radius.
void MV2PlaySoundAt(int32_t sound, const TvV3d* position, float radius, int32_t extra);
