// The sound list: the built-in sound names (ids 0..214, 215 for none), the sample slots loaded
// from ".\DATA\sounds.dat" with one to five channels each, and the channel calls every game
// subsystem plays, places, attaches and stops its sounds with.
#pragma once

#include <cstdint>

struct MV2SoundVoice;
struct TvV3d;

using MV2SoundId = int32_t;
inline constexpr int32_t kMV2SoundNames = 215;
inline constexpr MV2SoundId kMV2NoSound = 215;
inline constexpr int32_t kMV2SoundSlots = 300;
inline constexpr int32_t kMV2SoundChannels = 5;
inline constexpr int32_t kMV2SoundRecordSize = 64;

extern const char* const MV2SoundNames[kMV2SoundNames];

struct MV2SoundChannel {
    MV2SoundChannel* next; // looped-sounds list
    MV2SoundChannel* prev;
    MV2SoundVoice* voice;
    int32_t attached;
    const TvV3d* source;
    int32_t lowPass;
};

struct MV2SoundSlot {
    int32_t channels;
    int32_t lastChannel; // 1-based, 0 before the first
    MV2SoundChannel channel[kMV2SoundChannels];
};

// One record of the sound list, as read.
struct MV2SoundListRecord {
    char name[41];
    char file[17];
    uint32_t channels;
    uint32_t priority;
};

MV2SoundId MV2FindSoundByName(const char* name);
// The 1-based slot of a sound id, 0 for none.
int32_t MV2GetSoundSlot(MV2SoundId id);
int32_t MV2GetSoundSlotCount();
const MV2SoundSlot* MV2GetSoundSlotRecord(int32_t slot);

int32_t MV2StartSounds(int32_t bits, int32_t rate);
int32_t MV2LoadSounds();
int32_t MV2LoadSoundSample(const char* file, uint32_t channels, uint32_t priority);
int32_t MV2PlaySound(int32_t slot, int32_t ignored, int32_t loop);
void MV2StopSound(int32_t slot, int32_t channel);
// Plays a sound id at full volume, centred, at its own rate, on a free channel, and runs the
// voice manager.
void MV2PlayInterfaceSound(MV2SoundId id);
void MV2AttachSoundSource(int32_t slot, int32_t channel, const TvV3d* position);
int32_t MV2IsSoundAttachedTo(int32_t slot, int32_t channel, const TvV3d* position);
void MV2SetSoundParams(int32_t slot, int32_t channel, uint32_t rate, float volume, float pan);
void MV2SetSoundLowPass(int32_t slot, int32_t channel, int32_t on);
void MV2PlaceSound3D(int32_t slot, int32_t channel, const TvV3d* source, const TvV3d* velocity,
                     uint32_t baseRate, float volumeBias);
void MV2ResetSounds();
int32_t MV2RequestSoundPause(int32_t on);
void MV2ShutdownSounds();
void MV2SetSoundMono(int32_t on);
int32_t MV2GetSoundMono();

// Parses sound-list bytes: count = size / 64, each record's text fields copied terminated.
int32_t MV2SoundListRecordCount(uint32_t size);
void MV2ReadSoundListRecord(const uint8_t* bytes, uint32_t size, int32_t index,
                            MV2SoundListRecord* out);

// For the voice manager: the muffle of the looped sounds follows the camera mode, and a
// pending pause request is taken once.
void MV2SetLoopedSoundsLowPass(int32_t on);
int32_t MV2TakeSoundPauseRequest(int32_t* value);
