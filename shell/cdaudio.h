// CD audio and music: a thin CD layer over the sound library's Red Book calls (through one
// table of functions), the track queue (a playlist of up to 50 tracks in random order with
// random gaps and a cross-faded switch to a special track) and the game's music control with
// timed volume fades. The program never opens the CD device, so music stays silent unless a
// drive is put behind the table and opened.
#pragma once

#include <cstdint>

struct MssRedbook;

struct MV2CdCalls {
    MssRedbook* (*open)(uint32_t which);
    void (*close)(MssRedbook* drive);
    uint32_t (*tracks)(MssRedbook* drive);
    void (*trackInfo)(MssRedbook* drive, uint32_t track, uint32_t* start, uint32_t* end);
    uint32_t (*play)(MssRedbook* drive, uint32_t start, uint32_t end);
    uint32_t (*stop)(MssRedbook* drive);
    uint32_t (*pause)(MssRedbook* drive);
    uint32_t (*resume)(MssRedbook* drive);
    uint32_t (*status)(MssRedbook* drive);
    int32_t (*setVolume)(MssRedbook* drive, int32_t volume);
    uint32_t (*clock)(); // milliseconds
};
// The sound library's calls by default.
extern MV2CdCalls gMV2CdCalls;
extern const MV2CdCalls kMV2LibraryCdCalls;

// Queue states.
inline constexpr int32_t kMV2MusicPlaying = 0;
inline constexpr int32_t kMV2MusicPaused = 1;
inline constexpr int32_t kMV2MusicGap = 2;
inline constexpr int32_t kMV2MusicSwitching = 3;
inline constexpr int32_t kMV2MusicStopped = 4;
inline constexpr int32_t kMV2MusicTracks = 50;

// CD layer (tracks 1-based). Opening is not part of the program's own path.
int32_t MV2CdOpen();
void MV2CdClose();
int32_t MV2CdIsOpen();
int32_t MV2CdPlay(int32_t track, int32_t looping);
void MV2CdStop();
void MV2CdSetVolume(float volume);
float MV2CdGetVolume();
void MV2CdPause();
void MV2CdResume();
// 1 with *finished set when the drive reports a finished track; 0 when closed.
int32_t MV2CdStatus(int32_t* finished);
void MV2CdServiceLooping();

// Queue (tracks 0-based).
void MV2MusicStop();
void MV2MusicShutdown();
int32_t MV2MusicAddTrack(int32_t track, int32_t choose);
void MV2MusicClear();
int32_t MV2MusicPlay(int32_t repeat);
int32_t MV2MusicPlayTrack(int32_t track, float delaySeconds, int32_t looping, int32_t add);
int32_t MV2MusicStopTrack();
int32_t MV2SetMusicGap(int32_t minSeconds, int32_t maxSeconds);
void MV2MusicSetVolume(float volume);
void MV2MusicPause();
void MV2MusicResume();
int32_t MV2MusicCurrentTrack();
int32_t MV2MusicState();
int32_t MV2MusicPlaylistCount();
void MV2UpdateMusic();

// Music control.
void MV2InitialiseMusic();
int32_t MV2AddMusicTrack(int32_t track, int32_t repeat);
int32_t MV2StartMusic();
void MV2ResetMusic();
void MV2SetCdVolume(int32_t percent);
int32_t MV2GetCdVolume();
void MV2PlayMusicTrack(int32_t track);
void MV2StopMusicTrack();
void MV2PauseMusic();
void MV2ResumeMusic();
void MV2FadeMusic(float target, float seconds);
void MV2UpdateMusicFade();
