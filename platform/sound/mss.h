// Stand-in for the calls of the closed sound library that the game's audio layer makes, over
// OpenAL Soft: a digital driver, 2-D samples (volume and pan 0..127, rate in Hz, loop count,
// a low-pass stage), 3-D samples, one filter provider, streams decoded from WAV files in
// pieces, whole-file reads and the Red Book CD calls. Loop counts: n plays n times, 0 plays
// for ever. Files are opened through the platform's path translation (packs are not
// searched). No CD device exists, so the Red Book calls answer as without a drive.
#pragma once

#include <cstdint>

struct MssDriver;
struct MssSample;
struct Mss3DSample;
struct MssStream;
struct MssRedbook;

using HDIGDRIVER = MssDriver*;
using HSAMPLE = MssSample*;
using H3DSAMPLE = Mss3DSample*;
using HSTREAM = MssStream*;
using HREDBOOK = MssRedbook*;
using HPROVIDER = uint32_t;
using HPROENUM = uint32_t;

constexpr HPROENUM HPROENUM_FIRST = 0;

// Sample and stream states.
constexpr uint32_t SMP_FREE = 1;
constexpr uint32_t SMP_DONE = 2;
constexpr uint32_t SMP_PLAYING = 4;
constexpr uint32_t SMP_STOPPED = 8;

// Red Book status values.
constexpr uint32_t REDBOOK_ERROR = 0;
constexpr uint32_t REDBOOK_PLAYING = 1;
constexpr uint32_t REDBOOK_PAUSED = 2;
constexpr uint32_t REDBOOK_STOPPED = 3;

// The name of the one filter the library offers, and its cut-off preference (a float, Hz).
constexpr const char* kMssLowPassFilterName = "HMI LowPass Filter";
constexpr const char* kMssLowPassCutoff = "Lowpass Cutoff";

// The output format handed to AIL_waveOutOpen.
struct MssPcmFormat {
    uint16_t formatTag;
    uint16_t channels;
    uint32_t samplesPerSec;
    uint32_t avgBytesPerSec;
    uint16_t blockAlign;
    uint16_t bitsPerSample;
};

int32_t AIL_startup();
void AIL_shutdown();
// Returns the previous value.
int32_t AIL_set_preference(uint32_t number, int32_t value);
// 0 on success with the driver in *driver.
int32_t AIL_waveOutOpen(HDIGDRIVER* driver, void* waveOut, int32_t device,
                        const MssPcmFormat* format);
void AIL_waveOutClose(HDIGDRIVER driver);
// 1 while there is a provider to report, 0 at the end.
int32_t AIL_enumerate_filters(HPROENUM* next, HPROVIDER* provider, const char** name);
// 0 on success.
int32_t AIL_open_filter(HPROVIDER provider, HDIGDRIVER driver);
void AIL_close_filter(HPROVIDER provider);

// The whole file in a block of the library's memory; null when it cannot be read.
void* AIL_file_read(const char* name, void* dest);
// Bytes, -1 when the file cannot be opened.
int32_t AIL_file_size(const char* name);
void AIL_mem_free_lock(void* block);
// Milliseconds of the library's clock (the platform's millisecond clock).
uint32_t AIL_ms_count();

HSAMPLE AIL_allocate_sample_handle(HDIGDRIVER driver);
void AIL_release_sample_handle(HSAMPLE sample);
void AIL_init_sample(HSAMPLE sample);
// A WAV file image from AIL_file_read; 1 on success, 0 for an image the library cannot play.
int32_t AIL_set_sample_file(HSAMPLE sample, const void* image, int32_t block);
int32_t AIL_sample_playback_rate(HSAMPLE sample);
void AIL_set_sample_playback_rate(HSAMPLE sample, int32_t rate);
void AIL_set_sample_loop_count(HSAMPLE sample, int32_t count);
void AIL_set_sample_volume(HSAMPLE sample, int32_t volume);
void AIL_set_sample_pan(HSAMPLE sample, int32_t pan);
// Stage 1 takes a filter provider; provider 0 removes it.
void AIL_set_sample_processor(HSAMPLE sample, uint32_t stage, HPROVIDER provider);
// The value points to a float.
void AIL_set_filter_sample_preference(HSAMPLE sample, const char* name, const void* value);
void AIL_start_sample(HSAMPLE sample);
void AIL_end_sample(HSAMPLE sample);
uint32_t AIL_sample_status(HSAMPLE sample);

H3DSAMPLE AIL_allocate_3D_sample_handle(HDIGDRIVER driver);
void AIL_release_3D_sample_handle(H3DSAMPLE sample);
int32_t AIL_set_3D_sample_file(H3DSAMPLE sample, const void* image);
void AIL_set_3D_sample_loop_count(H3DSAMPLE sample, int32_t count);
void AIL_set_3D_sample_float_distances(H3DSAMPLE sample, float maxDistance, float minDistance);
void AIL_set_3D_sample_playback_rate(H3DSAMPLE sample, int32_t rate);
int32_t AIL_3D_sample_playback_rate(H3DSAMPLE sample);
void AIL_set_3D_sample_volume(H3DSAMPLE sample, int32_t volume);
void AIL_set_3D_position(H3DSAMPLE sample, float x, float y, float z);
void AIL_start_3D_sample(H3DSAMPLE sample);
void AIL_end_3D_sample(H3DSAMPLE sample);
uint32_t AIL_3D_sample_status(H3DSAMPLE sample);

// A WAV file streamed from disk in pieces; null when it cannot be opened or read.
HSTREAM AIL_open_stream(HDIGDRIVER driver, const char* name, int32_t memory);
void AIL_close_stream(HSTREAM stream);
int32_t AIL_stream_playback_rate(HSTREAM stream);
void AIL_set_stream_playback_rate(HSTREAM stream, int32_t rate);
void AIL_set_stream_loop_count(HSTREAM stream, int32_t count);
void AIL_set_stream_volume(HSTREAM stream, int32_t volume);
void AIL_start_stream(HSTREAM stream);
void AIL_pause_stream(HSTREAM stream, int32_t on);
// Also feeds the stream's queue: the game polls this once a frame.
int32_t AIL_stream_status(HSTREAM stream);

HREDBOOK AIL_redbook_open(uint32_t which);
void AIL_redbook_close(HREDBOOK redbook);
uint32_t AIL_redbook_tracks(HREDBOOK redbook);
void AIL_redbook_track_info(HREDBOOK redbook, uint32_t track, uint32_t* start, uint32_t* end);
uint32_t AIL_redbook_play(HREDBOOK redbook, uint32_t start, uint32_t end);
uint32_t AIL_redbook_stop(HREDBOOK redbook);
uint32_t AIL_redbook_pause(HREDBOOK redbook);
uint32_t AIL_redbook_resume(HREDBOOK redbook);
uint32_t AIL_redbook_status(HREDBOOK redbook);
int32_t AIL_redbook_set_volume(HREDBOOK redbook, int32_t volume);

// For the video stand-in: a source on the driver's device fed with 16-bit interleaved frames.
struct MssPcmStream;
MssPcmStream* MssOpenPcmStream(HDIGDRIVER driver, uint32_t rate, uint32_t channels);
// Queues frames (copied); false when the source cannot take them.
bool MssPushPcm(MssPcmStream* stream, const int16_t* frames, uint32_t count);
// Frames queued and not yet played.
uint32_t MssPcmQueuedFrames(MssPcmStream* stream);
void MssPlayPcm(MssPcmStream* stream);
void MssPausePcm(MssPcmStream* stream);
void MssStopPcm(MssPcmStream* stream);
void MssSetPcmVolume(MssPcmStream* stream, float volume);
void MssClosePcm(MssPcmStream* stream);
