// The plain FFmpeg loop that the video stand-in is measured against: open a file, decode its
// video frames in order and convert each with libswscale into one buffer. For benchmarks only.
#pragma once

#include <cstdint>

// Decodes up to `frames` pictures of the movie at `path` (a real path) into `dest` (`pitch`
// bytes a row, room for the movie's height) in a VIDSURFACE format; the number converted, or
// -1 when the file does not open.
int32_t VidPlainDecodeLoop(const char* path, uint32_t frames, void* dest, uint32_t pitch,
                           uint32_t format);
