// Movie playback: one movie at a time from a ".bik" file (any movie the video library opens)
// into an engine raster drawn over a camera's frame buffer, plainly or scaled; and the
// full-screen movies with subtitles.
#pragma once

#include <cstdint>

struct TvCamera;
struct MssDriver;

// The subtitles setting is the HUD messages' (hudmessages.h).

// 0 leaves the sound system alone; 1 the DirectSound output, 2 the Miles driver `parameter`.
// 1 or 0.
int32_t MV2MovieSetSoundSystem(int32_t system, void* parameter);
// The audio layer's form: its digital driver, or null when it shuts down (movies go silent).
void MV2MovieSetSoundSystem(MssDriver* driver);
// Movies have no pause: there is no movie sound to resume.
void MV2MovieResumeSound();
// The folder prefix put in front of every movie name.
void MV2MovieSetFolder(const char* prefix);
int32_t MV2MovieStartup();

// Flags of MV2MovieOpen.
inline constexpr uint32_t kMV2MovieReplace = 1;
inline constexpr uint32_t kMV2MovieSilent = 2;
int32_t MV2MovieOpen(const char* name, int32_t x, int32_t y, int32_t spare, int32_t width,
                     int32_t height, TvCamera* camera, uint32_t flags);
int32_t MV2MovieUpdate();
void MV2MovieRender();
double MV2MovieGetTime();
void MV2MovieStop();
void MV2MovieClose();
// The open movie's handle words (width, height, frames, current frame), for callers and tests;
// false without a movie.
bool MV2MovieGetInfo(uint32_t* width, uint32_t* height, uint32_t* frames, uint32_t* current);
// The placement: 1 when scaled into {0, 0, width, height}.
int32_t MV2MovieIsScaled();

// Full-screen movies.
struct MV2MovieRect {
    int32_t x, y, width, height;
};
extern MV2MovieRect gMV2MovieRect;
void MV2SetMovieRect();
// Plays a movie over the movie rectangle to its end, the skip request (when skippable) or the
// return-to-front-end request.
void MV2PlayMovie(const char* name, int32_t skippable = 1);
void MV2LoadMovieSubtitles(const char* name);
// Prepares the briefing texts (subtitles load per movie).
void MV2InitialiseBriefingTexts();
// The copy format chosen for the open movie (3, 9 or 10).
uint32_t MV2MovieCopyFormat();
