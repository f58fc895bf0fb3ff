// OpenAL side of the sound stand-ins, shared by platform/sound and platform/dsound only: the
// device and context, sample data held in OpenAL buffers, and playing voices.
//
// A voice is a pair of sources placed hard left and hard right, so that pan and volume set
// each output channel's level exactly; a stereo sample is split into a left and a right
// buffer, a mono one feeds both sources. A positional (3-D) voice plays through its first
// source alone.
#pragma once

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>
#include <AL/efx.h>

#include <cstdint>

// Opens the shared device on first use and makes its context current; false without a device.
bool AlAcquire();
void AlRelease();

// A low-pass filter object of the EFX extension; 0 when the extension is missing.
ALuint AlCreateLowPass();
void AlSetLowPass(ALuint filter, float gainHF);
void AlDeleteFilter(ALuint filter);

struct AlSamples {
    ALuint buffers[2];
    void* maps[2];
    uint32_t channels;
    uint32_t bits;
    uint32_t frames;
    uint32_t rate;
};

// Uploads interleaved 8-bit unsigned or 16-bit signed PCM of one or two channels; the buffers
// are made on the first upload and refilled by later ones.
bool AlSamplesUpload(AlSamples* samples, const void* data, uint32_t frames, uint32_t channels,
                     uint32_t bits, uint32_t rate);
// Silent samples whose buffers stay mapped, so that AlSamplesWrite can change them while they
// play (at least one frame is made).
bool AlSamplesCreateMapped(AlSamples* samples, uint32_t frames, uint32_t channels, uint32_t bits,
                           uint32_t rate);
// Copies interleaved frames into mapped samples from frame first on (bounded by the length).
void AlSamplesWrite(AlSamples* samples, uint32_t first, const void* data, uint32_t frames);
void AlSamplesFree(AlSamples* samples);

struct AlVoice {
    ALuint sources[2];
    float gain;
    float left;
    float right;
    bool positional;
};

bool AlVoiceOpen(AlVoice* voice);
void AlVoiceClose(AlVoice* voice);
// Sets the samples to play: once (or forever when looping is set later) for repeats 1, queued
// repeats times for more. Stops the voice first.
void AlVoiceAttach(AlVoice* voice, const AlSamples* samples, uint32_t repeats);
// Clears the voice's buffers and queue.
void AlVoiceDetach(AlVoice* voice);
void AlVoiceQueue(AlVoice* voice, const AlSamples* samples);
// Unqueues the buffers the voice has finished; the count of finished queue entries.
uint32_t AlVoiceUnqueue(AlVoice* voice);
void AlVoicePlay(AlVoice* voice);
void AlVoicePause(AlVoice* voice);
void AlVoiceStop(AlVoice* voice);
void AlVoiceSetLooping(AlVoice* voice, bool looping);
bool AlVoicePlaying(const AlVoice* voice);
bool AlVoicePaused(const AlVoice* voice);
// Frames played of the attached samples (of the whole queue for queued repeats).
uint32_t AlVoiceOffset(const AlVoice* voice);
void AlVoiceSetOffset(AlVoice* voice, uint32_t frame);
// Overall gain and the levels of the left and right output channels (0..1).
void AlVoiceSetGain(AlVoice* voice, float gain, float left, float right);
void AlVoiceSetPitch(AlVoice* voice, float pitch);
void AlVoiceSetFilter(AlVoice* voice, ALuint filter);
// Switches between the hard-panned pair and one source placed in the listener's space.
void AlVoiceSetPositional(AlVoice* voice, bool positional);
void AlVoiceSet3f(AlVoice* voice, ALenum param, float x, float y, float z);
void AlVoiceSetf(AlVoice* voice, ALenum param, float value);
