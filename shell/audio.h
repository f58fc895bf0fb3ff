// The audio layer over the sound library: sample records with their wanted volume, rate and
// pan (only changes reach the library), a base volume per sample name from BASEVOL.TXT, the
// low-pass muffle with one cut-off for every filtered sample, and one stream for speech.
// Every operation answers 0 when the layer is not started or an argument is null; under the
// mute flag it answers 1 without calling the library.
#pragma once

#include <cstddef>
#include <cstdint>

struct MssDriver;
struct MssSample;
struct Mss3DSample;

struct MV2AudioData {
    void* block; // the file as the library read it
    uint32_t references;
};

// Change bits of a sample record.
inline constexpr uint32_t kMV2AudioVolumeChanged = 1;
inline constexpr uint32_t kMV2AudioRateChanged = 2;
inline constexpr uint32_t kMV2AudioPanChanged = 4;

struct MV2AudioSample {
    MV2AudioSample* next; // low-pass list
    MV2AudioSample* prev;
    MssSample* handle;
    Mss3DSample* handle3d;
    MV2AudioData* data;
    uint32_t is3d;
    float volume;     // 0..1
    float baseVolume; // from the table, 1.0 when the name is absent
    uint32_t rate;
    uint32_t ownRate; // 22050 until the library reports the file's rate
    float pan;        // -1..1
    float position[3];
    float distances[2]; // minimum, maximum
    uint32_t lowPass;
    uint32_t changes;
};

// The base volume table: at most 300 entries of a name (15 characters) and a volume.
inline constexpr int32_t kMV2BaseVolumeEntries = 300;
struct MV2BaseVolume {
    char name[16];
    float volume;
};

int32_t MV2AudioStartup(int32_t bits, int32_t rate, int32_t pool);
void MV2AudioShutdown();
void MV2AudioSetMute(int32_t on);
MssDriver* MV2AudioDriver();

// Reads ".\SOUND\BASEVOL.TXT" through the engine file interface; the entry count.
int32_t MV2AudioReadBaseVolumes();
// The volume for a sample file name (folders and extension dropped, upper-cased); 1.0 when
// it has no entry.
float MV2AudioBaseVolume(const char* file);

MV2AudioSample* MV2AudioLoadSample(const char* file, int32_t is3d);
void MV2AudioFreeSample(MV2AudioSample* sample);
MV2AudioSample* MV2AudioCopySample(const MV2AudioSample* sample);
// Loop argument: nonzero plays until released, 0 plays once.
int32_t MV2AudioStartSample(MV2AudioSample* sample, int32_t loop);
void MV2AudioApplyParams(MV2AudioSample* sample);
// Ends and releases the library's handle.
int32_t MV2AudioReleaseSample(MV2AudioSample* sample);
int32_t MV2AudioSetVolume(MV2AudioSample* sample, float volume);
int32_t MV2AudioSetRate(MV2AudioSample* sample, uint32_t rate);
int32_t MV2AudioSetPan(MV2AudioSample* sample, float pan);
uint32_t MV2AudioOwnRate(const MV2AudioSample* sample);
int32_t MV2AudioSetLowPass(MV2AudioSample* sample, int32_t on);
// Value 0..1: cut-off Hz = 20000.3 - value x 19900; 0 takes the filter off.
int32_t MV2AudioSetCutoff(float value);
float MV2AudioCutoffHz();
int32_t MV2AudioIsPlaying(const MV2AudioSample* sample);

int32_t MV2AudioStartStreamService();
void MV2AudioStopStreamService();
// Closes the stream once it is done, or paused with a loop count that is not 0.
void MV2AudioServiceStream();
int32_t MV2AudioPlayStream(const char* file, int32_t loopCount);
int32_t MV2AudioStreamOpen();
void MV2AudioStopStream();
// 0 means the stream's own rate.
void MV2AudioSetStreamRate(uint32_t rate);
void MV2AudioSetStreamVolume(float volume);
void MV2AudioPauseStream();
void MV2AudioResumeStream();

// Bytes of a file, 0 when it cannot be opened.
int32_t MV2AudioFileSize(const char* file);
// Sample frames in a WAV file's data chunk (bounded by the file), 0 when it is not one.
uint32_t MV2AudioWavFrames(const char* file);

// Parses base volume text as BASEVOL.TXT holds it into the table; the entry count.
int32_t MV2ParseBaseVolumes(const char* text, size_t size, MV2BaseVolume* table);
