// Stand-in for the calls of the closed video library that the game's movie player makes, over
// FFmpeg. A movie is any file FFmpeg recognises by its content, whatever its name. The handle
// publishes its first words; the caller reads them directly. Frames are paced against the
// platform's millisecond clock (timeGetTime). Sound goes to a PCM source of the sound library
// stand-in's digital driver when that sound system is set; otherwise movies are silent.
#pragma once

#include <cstdint>

// Copy formats of VidCopyToBuffer.
constexpr uint32_t VIDSURFACE32 = 3;   // 32-bit 0xAARRGGBB, alpha 0xFF
constexpr uint32_t VIDSURFACE555 = 9;  // 16-bit 1555, top bit set (opaque)
constexpr uint32_t VIDSURFACE565 = 10; // 16-bit 565

struct VidMovieState;

struct VidMovie {
    uint32_t width;
    uint32_t height;
    // The container's count, else duration x rate; 0 when neither is known.
    uint32_t frames;
    // 1-based number of the frame the next VidDoFrame decodes; 1 after open.
    uint32_t currentFrame;
    uint32_t spare; // not used, always 0
    // Frames per second: the stream's average rate rounded, at least 1.
    uint32_t frameRate;
    VidMovieState* state;
};
using HVID = VidMovie*;

// A sound system's attach function, given with its parameter to VidSetSoundSystem.
using VidSoundOpenFn = int32_t (*)(void* param);
// Attaches the sound library stand-in; the parameter is its digital driver (HDIGDRIVER).
// 1, or 0 for a null driver.
int32_t VidOpenMss(void* driver);
// Movies have no DirectSound output here: 0, and movies stay silent.
int32_t VidOpenDirectSound(void* directSound);
// Chooses the sound system of movies opened from now on; 1 when it attached, else 0 (silent).
// A null function detaches.
int32_t VidSetSoundSystem(VidSoundOpenFn open, void* param);

// Opens a movie (a game file name); null when the file is missing or holds no playable video.
// No flags are defined; they are ignored.
HVID VidOpen(const char* name, uint32_t flags);
void VidClose(HVID movie);
// Sound starts on. Off drops what is queued and stays silent; 1 when the movie has sound
// output and it is now on, else 0.
int32_t VidSetSoundOnOff(HVID movie, int32_t on);
// Non-zero while the current frame is not yet due: frame k is due at the open time plus
// (k - 1) x 1000 / frameRate milliseconds.
int32_t VidWait(HVID movie);
// Decodes the current frame. When the stream ends before the count, currentFrame becomes the
// count and the last picture stays. 0 when a picture was decoded, else -1.
int32_t VidDoFrame(HVID movie);
// Writes the last decoded picture at (x, y) of a buffer of `height` rows, `pitch` bytes apart,
// in a VIDSURFACE format; the part beyond the buffer is cut. 1 when something was written.
int32_t VidCopyToBuffer(HVID movie, void* dest, uint32_t pitch, uint32_t height, uint32_t x,
                        uint32_t y, uint32_t format);
void VidNextFrame(HVID movie);
