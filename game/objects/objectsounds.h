// Object sounds: looped sounds that follow their objects.
#pragma once

#include <cstdint>

// Once per frame: starts, places and stops the looped sounds of objects; 0 without a camera.
int32_t MV2UpdateObjectSounds();
// Releases every looped object sound.
void MV2StopAllObjectSounds();

struct MV2Object;
// A looped sound bound to an object while it is in range of the main camera; the caller keeps
// one sound variable per sound.
int32_t MV2StartObjectSound(MV2Object* object, int32_t sound, intptr_t* variable, int32_t a,
                            int32_t b);
void MV2StopObjectSound(MV2Object* object, int32_t sound, intptr_t* variable);
struct TvV3d;
// A one-shot sound at a position; 0 when it is 29 units or more from the main camera.
int32_t MV2PlaySoundAt(const TvV3d* position, float radius, int32_t sound, int32_t a,
                       int32_t attach, int32_t b);
