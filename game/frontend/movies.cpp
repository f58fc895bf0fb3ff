// The movie player over the video library stand-in: open into a frame raster in the target
// camera's pixel format, one decoded frame per due update, drawn plainly or scaled.
#include "game/frontend/movies.h"

#include <string>

#include "engine/core/camera.h"
#include "engine/core/raster.h"
#include "platform/video/video.h"

namespace {

struct MoviePlayer {
    std::string folder;
    HVID movie;
    int32_t playing;
    TvRaster* frame;
    TvCamera* camera;
    uint32_t copyFormat;
    int32_t x, y;
    TvRect dest;
    int32_t scaled;
};
MoviePlayer g_player;

std::string g_path; // reused for every open

} // namespace

int32_t MV2MovieSetSoundSystem(int32_t system, void* parameter) {
    switch (system) {
    case 0: return 1;
    case 1: VidSetSoundSystem(VidOpenDirectSound, parameter); return 1;
    case 2: VidSetSoundSystem(VidOpenMss, parameter); return 1;
    default: return 0;
    }
}

void MV2MovieSetSoundSystem(MssDriver* driver) {
    if (driver) MV2MovieSetSoundSystem(2, driver);
    else VidSetSoundSystem(nullptr, nullptr);
}

void MV2MovieResumeSound() {}

void MV2MovieSetFolder(const char* prefix) {
    g_player.folder = prefix ? prefix : "";
}

int32_t MV2MovieStartup() {
    return 1;
}

void MV2MovieClose() {
    if (g_player.movie) VidClose(g_player.movie);
    g_player.movie = nullptr;
    g_player.playing = 0;
    if (g_player.frame) TvRasterDestroy(g_player.frame);
    g_player.frame = nullptr;
}

int32_t MV2MovieOpen(const char* name, int32_t x, int32_t y, int32_t, int32_t width,
                     int32_t height, TvCamera* camera, uint32_t flags) {
    g_path = g_player.folder;
    g_path += name ? name : "";
    g_path += ".bik";
    if (g_player.movie) {
        if (!(flags & kMV2MovieReplace)) return 0;
        MV2MovieClose();
    }
    TvRaster* target = camera ? TvCameraGetRaster(camera) : nullptr;
    if (!target) return 0;
    uint32_t format;
    switch (TvRasterGetFormat(target) & kTvRasterFormatPixelMask) {
    case kTvRasterFormat1555: format = VIDSURFACE555; break;
    case kTvRasterFormat565: format = VIDSURFACE565; break;
    case kTvRasterFormat8888:
    case kTvRasterFormat32: format = VIDSURFACE32; break;
    default: return 0;
    }
    HVID movie = VidOpen(g_path.c_str(), 0);
    if (!movie) return 0;
    const bool own = (width == 0 && height == 0) ||
                     (uint32_t(width) == movie->width && uint32_t(height) == movie->height);
    g_player.scaled = !own;
    g_player.x = x;
    g_player.y = y;
    g_player.dest = {0, 0, width, height};
    g_player.camera = camera;
    // A failure from here on closes the movie again, so the next open is not refused.
    g_player.frame =
        TvRasterCreate(int32_t(movie->width), int32_t(movie->height), target->depth, kTvRasterTypeNormal);
    if (!g_player.frame) {
        VidClose(movie);
        return 0;
    }
    g_player.movie = movie;
    g_player.copyFormat = format;
    VidSetSoundOnOff(movie, (flags & kMV2MovieSilent) ? 0 : 1);
    g_player.playing = 1;
    return 1;
}

int32_t MV2MovieUpdate() {
    HVID movie = g_player.movie;
    if (!g_player.playing || !movie) return 0;
    if (VidWait(movie)) return 1;
    VidDoFrame(movie);
    if (uint8_t* pixels = TvRasterLock(g_player.frame, 1)) {
        VidCopyToBuffer(movie, pixels, uint32_t(g_player.frame->stride),
                        uint32_t(g_player.frame->height), 0, 0, g_player.copyFormat);
        TvRasterUnlock(g_player.frame);
    }
    // The end: the last frame (or beyond it), and a movie without a frame count ends at once.
    if (movie->currentFrame >= movie->frames) return 0;
    VidNextFrame(movie);
    return 1;
}

void MV2MovieRender() {
    if (!g_player.movie || !g_player.camera) return;
    if (!TvRasterPushContext(TvCameraGetRaster(g_player.camera))) return;
    if (g_player.scaled) TvRasterRenderScaled(g_player.frame, &g_player.dest);
    else TvRasterRenderFast(g_player.frame, g_player.x, g_player.y);
    TvRasterPopContext();
}

double MV2MovieGetTime() {
    HVID movie = g_player.movie;
    if (!movie) return -1.0;
    if (movie->frameRate == 0) return 0.0;
    return double(movie->currentFrame) / double(movie->frameRate);
}

void MV2MovieStop() {
    g_player.playing = 0;
}

bool MV2MovieGetInfo(uint32_t* width, uint32_t* height, uint32_t* frames, uint32_t* current) {
    HVID movie = g_player.movie;
    if (!movie) return false;
    if (width) *width = movie->width;
    if (height) *height = movie->height;
    if (frames) *frames = movie->frames;
    if (current) *current = movie->currentFrame;
    return true;
}

int32_t MV2MovieIsScaled() {
    return g_player.scaled;
}

uint32_t MV2MovieCopyFormat() {
    return g_player.copyFormat;
}
