// The voice manager: every sample channel's voice, of which only the loudest 16 hold a mixer
// voice of the sound library; the effects and speech volumes; speech played as a stream; and
// the muffle whose strength follows the camera's depth below the water surface.
#pragma once

#include <cstdint>

struct MV2AudioSample;

// Voice states.
inline constexpr uint32_t kMV2VoiceStopAsked = 0;   // mixer voice not yet released
inline constexpr uint32_t kMV2VoicePausedHeld = 1;  // paused, mixer voice held
inline constexpr uint32_t kMV2VoiceStopped = 2;     // not in the active list
inline constexpr uint32_t kMV2VoicePlaying = 3;     // on a mixer voice
inline constexpr uint32_t kMV2VoiceStartAsked = 4;  // waits for a mixer voice
inline constexpr uint32_t kMV2VoicePausedFreed = 5; // paused, mixer voice released

inline constexpr int32_t kMV2VoiceLimit = 16;

struct MV2SoundVoice {
    MV2SoundVoice* next; // active list
    MV2SoundVoice* prev;
    MV2AudioSample* sample;
    uint32_t state;
    uint32_t is3d;
    uint32_t loop;
    float volume;  // 0..1
    uint32_t rate; // 0: the sample's own
    uint32_t lowPass;
    float pan; // -1..1; the loudness used for ordering for a 3-D voice
    float data3d[7];
    uint32_t priority;
};

int32_t MV2StartVoiceSystem(int32_t bits, int32_t rate, int32_t pool, int32_t limit);
void MV2StopVoiceSystem();
MV2SoundVoice* MV2CreateVoice(const char* file, int32_t is3d, int32_t ignored);
int32_t MV2CopyVoice(MV2SoundVoice* voice, MV2SoundVoice** out);
void MV2StartVoice(MV2SoundVoice* voice, int32_t loop);
void MV2StopVoice(MV2SoundVoice* voice);
void MV2SetVoiceVolume(MV2SoundVoice* voice, float volume);
void MV2SetVoiceRate(MV2SoundVoice* voice, uint32_t rate);
void MV2SetVoicePan(MV2SoundVoice* voice, float pan);
void MV2SetVoiceLowPass(MV2SoundVoice* voice, int32_t on);
// Refused (0) below 0.
int32_t MV2SetVoicePriority(MV2SoundVoice* voice, int32_t priority);
uint32_t MV2GetVoiceRate(const MV2SoundVoice* voice);
int32_t MV2IsVoiceBusy(const MV2SoundVoice* voice);
void MV2UpdateSoundVoices();
void MV2PauseAllVoices(int32_t on);
// The active voices, loudest first (after the last update); null at the end.
MV2SoundVoice* MV2FirstActiveVoice();
MV2SoundVoice* MV2NextActiveVoice(const MV2SoundVoice* voice);

void MV2SetMasterVolume(float volume);
float MV2GetMasterVolume();
void MV2SetSfxVolume(int32_t percent);
int32_t MV2GetSfxVolume();
void MV2SetSpeechVolume(int32_t percent);
int32_t MV2GetSpeechVolume();

int32_t MV2StartSpeech();
void MV2StopSpeechService();
int32_t MV2PlaySpeech(const char* name, uint32_t rate, int32_t loopCount);
void MV2StopSpeech();
void MV2PauseSpeech();
void MV2ResumeSpeech();
int32_t MV2IsSpeechPlaying();
// Seconds of a speech sample: its data frames at 22050 per second; 0 for a null name.
float MV2GetWavDuration(const char* name);

// The per-frame sound update.
void MV2UpdateSounds();
// The muffle's cut-off value for camera height y, water height w and depth reference b.
float MV2DepthFilterValue(float y, float w, float b);
// The game camera mode the muffle last followed.
void MV2RecordSoundCameraMode();
