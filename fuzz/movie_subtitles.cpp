// Subtitle files of the movies come from the data folder: load any bytes and walk them with
// rising and falling movie times; every text shown is terminated within its block.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "game/frontend/fullscreenmovie.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!MV2SetMovieSubtitles(data, size)) return 0;
    static const double kTimes[] = {-1.0, 0.0, 0.5, 1.0, 2.5, 1.0, 10.0, 1e6, 1e30};
    for (double t : kTimes) {
        const char* text = MV2MovieSubtitleAt(t);
        if (text && std::strlen(text) > kMV2SubtitleTextMax) __builtin_trap();
    }
    MV2RewindMovieSubtitles();
    for (int i = 0; i < 64; i++) MV2MovieSubtitleAt(i * 0.25);
    MV2FreeMovieSubtitles();
    return 0;
}
