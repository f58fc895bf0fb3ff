// Object sounds: looped sounds that follow their objects.
#pragma once

#include <cstdint>

// Once per frame: starts, places and stops the looped sounds of objects; 0 without a camera.
int32_t MV2UpdateObjectSounds();
// Releases every looped object sound.
void MV2StopAllObjectSounds();

struct MV2Object;
struct TvV3d;

// A looped sound kept for an object while the caller's variable says it plays; 1 when set.
int32_t MV2StartObjectSound(MV2Object* object, int32_t sound, int32_t* variable, int32_t a,
                            int32_t b);
void MV2StopObjectSound(MV2Object* object, int32_t sound, int32_t* variable);
// A one-shot sound at a position; 0 when out of the camera's hearing.
int32_t MV2PlaySoundAt(const TvV3d* position, float radius, int32_t sound, int32_t a,
                       int32_t attach, int32_t b);
