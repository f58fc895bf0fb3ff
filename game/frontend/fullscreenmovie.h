// Subtitle files of the full-screen movies: read whole, walked forward by movie time.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr size_t kMV2SubtitleFileHead = 32;
inline constexpr size_t kMV2SubtitleEntryHead = 32;
inline constexpr size_t kMV2SubtitleTextMax = 4095;

// The loaded subtitles: the file in one buffer, its count, and the current entry.
struct MV2Subtitles {
    uint8_t* buffer;
    size_t size;
    uint32_t count;  // the file's first word
    uint32_t index;  // of the current entry; count when there is none
    size_t offset;   // of the current entry
};
extern MV2Subtitles gMV2Subtitles;

// Takes a copy of subtitle file bytes (the loader's path after reading); 0 when too short to
// hold the head or the copy cannot be made.
int32_t MV2SetMovieSubtitles(const uint8_t* bytes, size_t size);
void MV2FreeMovieSubtitles();
// Makes the first entry current.
void MV2RewindMovieSubtitles();
// The text to show at movie time `t` seconds, or null. Entries whose end has passed are left
// behind for good; an entry that does not fit the file ends the walk.
const char* MV2MovieSubtitleAt(double t);

// Called once per pass of the movie loop after the controls (tests drive the clock here);
// may be null.
extern void (*gMV2MoviePassHook)();
