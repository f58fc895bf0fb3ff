// Movies: the briefing subtitles setting (0 unset, 1 off, 2 on) and the sound library's
// digital driver that movies play their sound through.
#pragma once

#include <cstdint>

void MV2SetSubtitles(int32_t setting);
int32_t MV2GetSubtitles();

struct MssDriver;
// The digital driver of the audio layer, or null when it shuts down.
void MV2MovieSetSoundSystem(MssDriver* driver);
// Resumes the sound of a paused movie.
void MV2MovieResumeSound();
// Plays a movie full screen to its end.
void MV2PlayMovie(const char* name);
// The folder movies and animations are read from.
void MV2MovieSetFolder(const char* path);
// Sets the movie rectangle from the display.
void MV2SetMovieRect();
// Starts the movie module.
int32_t MV2MovieStartup();
// Prepares the briefing texts (subtitles load per movie).
void MV2InitialiseBriefingTexts();
