// Object sounds: looped sounds that follow their objects, kept in a fixed table of slots and
// started, placed and stopped once per frame; one-shot sounds at positions. Both are heard only
// within 29 units of the main camera.
#pragma once

#include <cstdint>

struct MV2Object;
struct TvV3d;

inline constexpr int32_t kMV2ObjectSoundSlots = 50;
inline constexpr float kMV2SoundRangeSquared = 841.0f;

struct MV2ObjectSoundSlot {
    MV2Object* object; // null: free
    uint32_t handle;
    int32_t sound;
    int32_t voice; // the sound channel, 0 before the update starts one
    uintptr_t* variable;
    uint32_t a; // base rate
    int32_t b;  // volume bias
};

// The sound-list channel calls the slots use (replaceable by tests).
struct MV2ObjectSoundCalls {
    int32_t (*play)(int32_t slot, int32_t ignored, int32_t loop);
    void (*stop)(int32_t slot, int32_t channel);
    int32_t (*playing)(int32_t slot, int32_t channel);
    void (*attach)(int32_t slot, int32_t channel, const TvV3d* position);
    void (*lowPass)(int32_t slot, int32_t channel, int32_t on);
    void (*place)(int32_t slot, int32_t channel, const TvV3d* source, const TvV3d* velocity,
                  uint32_t baseRate, float volumeBias);
    int32_t (*soundSlot)(int32_t sound);
};
extern MV2ObjectSoundCalls gMV2ObjectSoundCalls;

// Asks for the looped sound on the object this frame; 1 when a slot holds it.
int32_t MV2StartObjectSound(MV2Object* object, int32_t sound, uintptr_t* variable, uint32_t a,
                            int32_t b);
void MV2StopObjectSound(MV2Object* object, int32_t sound, uintptr_t* variable);
// Once per frame: starts, places and stops the looped sounds of objects; 0 without a camera.
int32_t MV2UpdateObjectSounds();
// Releases every looped object sound.
int32_t MV2StopAllObjectSounds();
// A one-shot sound at a position; 0 when out of range of the main camera.
int32_t MV2PlaySoundAt(const TvV3d* position, float radius, int32_t sound, uint32_t a,
                       int32_t attach, int32_t b);
