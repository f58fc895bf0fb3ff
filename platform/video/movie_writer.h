// A small movie writer for tests and the sample data: pictures painted by the caller, encoded as
// MPEG-4 part 2 or MJPEG in AVI, with an optional 16-bit PCM sine tone track.
#pragma once

#include <cstdint>
#include <functional>

enum class VidMovieCodec { Mpeg4, Mjpeg };

struct VidMovieSpec {
    uint32_t width = 64; // both even
    uint32_t height = 48;
    uint32_t rate = 15; // frames per second
    uint32_t frames = 15;
    VidMovieCodec codec = VidMovieCodec::Mpeg4;
    uint32_t toneHz = 0; // 0: no sound track
    uint32_t toneRate = 22050;
    uint32_t toneChannels = 2;
    float toneAmplitude = 0.5f; // of full scale
};

// Paints picture `index` as 0xAARRGGBB pixels, `width` to a row.
using VidFramePainter =
    std::function<void(uint32_t index, uint32_t* pixels, uint32_t width, uint32_t height)>;

// Writes the movie to a game file name; false (the file may be left partly written) when the
// movie is unusable or encoding or writing fails.
bool VidWriteMovie(const char* name, const VidMovieSpec& movie, const VidFramePainter& paint);
