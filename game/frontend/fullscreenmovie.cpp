// Full-screen movies: the movie rectangle, the subtitle file and the movie loop that keeps the
// game thread until the movie ends or is stopped.
#include "game/frontend/fullscreenmovie.h"
#include "game/frontend/hudmessages.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "engine/core/camera.h"
#include "engine/core/d3d/device.h"
#include "engine/core/engine.h"
#include "engine/core/file_interface.h"
#include "engine/core/im2d.h"
#include "engine/core/memory.h"
#include "engine/core/raster.h"
#include "game/frontend/draw2d.h"
#include "game/frontend/font.h"
#include "game/frontend/movies.h"
#include "shell/bytes.h"
#include "shell/controls.h"
#include "shell/enginestart.h"
#include "shell/errors.h"
#include "shell/gamemain.h"
#include "shell/resfile.h"
#include "shell/window.h"

MV2MovieRect gMV2MovieRect;
MV2Subtitles gMV2Subtitles;
void (*gMV2MoviePassHook)() = nullptr;

namespace {

char g_text[kMV2SubtitleTextMax + 1];
char g_path[600];

float ReadF32(const uint8_t* p) {
    const uint32_t bits = MV2ReadU32(p);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

// The entry at `offset` when its head and text lie inside the file; its text block size.
bool EntryFits(size_t offset, size_t* textBytes) {
    const MV2Subtitles& s = gMV2Subtitles;
    if (offset > s.size || s.size - offset < kMV2SubtitleEntryHead) return false;
    const uint64_t blocks = MV2ReadU32(s.buffer + offset + 20);
    if (blocks > (s.size - offset - kMV2SubtitleEntryHead) / 32) return false;
    *textBytes = size_t(blocks) * 32;
    return true;
}

// The display's width and height.
void Display(int32_t* width, int32_t* height) {
    *width = gMV2DisplayRequest.width;
    *height = gMV2DisplayRequest.height;
    if (TvCamera* camera = gMV2MainCamera) {
        if (TvRaster* r = TvCameraGetRaster(camera)) *width = r->width, *height = r->height;
    }
}

// Subtitle lines in the small HUD font, broken at spaces to `width` and at "\n"; the height.
int32_t DrawSubtitleText(const char* text, int32_t x, int32_t y, int32_t width, uint32_t colour,
                         bool draw) {
    static char line[kMV2SubtitleTextMax + 1];
    int32_t lineY = y;
    const char* p = text;
    while (*p) {
        size_t n = 0, lastSpace = 0;
        while (p[n] && p[n] != '\n') {
            line[n] = p[n];
            line[n + 1] = 0;
            if (p[n] == ' ') lastSpace = n;
            if (MV2FontGetTextWidth(line, 0) > width && lastSpace > 0) {
                n = lastSpace;
                break;
            }
            n++;
        }
        line[n] = 0;
        if (draw) MV2FontDrawText(line, x, lineY, colour, 0);
        lineY += 20;
        p += n;
        if (*p == '\n' || *p == ' ') p++;
    }
    return lineY - y;
}

} // namespace

void MV2SetMovieRect() {
    int32_t width = 640, height = 480;
    Display(&width, &height);
    bool stretch = false;
    if (IDirectDraw4* dd = TvD3DGetDirectDraw()) {
        IDirectDraw4* dd4 = nullptr;
        if (dd->QueryInterface(IID_IDirectDraw4, reinterpret_cast<void**>(&dd4)) == DD_OK && dd4) {
            DDCAPS caps = {};
            caps.dwSize = sizeof caps;
            if (dd4->GetCaps(&caps, nullptr) == DD_OK)
                stretch = (caps.dwFXCaps & DDFXCAPS_BLTSTRETCHX) && (caps.dwFXCaps & DDFXCAPS_BLTSTRETCHY);
            dd4->Release();
        }
    }
    if (stretch) gMV2MovieRect = {0, 0, width, height};
    else gMV2MovieRect = {(width - 640) / 2, (height - 480) / 2, 640, 480};
}

int32_t MV2SetMovieSubtitles(const uint8_t* bytes, size_t size) {
    MV2FreeMovieSubtitles();
    if (!bytes || size < kMV2SubtitleFileHead) return 0;
    auto* buffer = static_cast<uint8_t*>(TvMalloc(size));
    if (!buffer) {
        MV2ErrorBox("Could not allocate buffer for briefX.dat\n");
        return 0;
    }
    std::memcpy(buffer, bytes, size);
    gMV2Subtitles = {buffer, size, MV2ReadU32(buffer), 0, kMV2SubtitleFileHead};
    return 1;
}

void MV2FreeMovieSubtitles() {
    TvFree(gMV2Subtitles.buffer);
    gMV2Subtitles = {};
}

void MV2RewindMovieSubtitles() {
    gMV2Subtitles.index = 0;
    gMV2Subtitles.offset = kMV2SubtitleFileHead;
}

const char* MV2MovieSubtitleAt(double t) {
    MV2Subtitles& s = gMV2Subtitles;
    if (!s.buffer) return nullptr;
    size_t textBytes = 0;
    for (;;) {
        if (s.index >= s.count || !EntryFits(s.offset, &textBytes)) {
            s.index = s.count;
            return nullptr;
        }
        if (double(ReadF32(s.buffer + s.offset + 28)) > t) break;
        s.offset += kMV2SubtitleEntryHead + textBytes;
        s.index++;
    }
    const double start = ReadF32(s.buffer + s.offset + 24);
    if (!(start < t)) return nullptr;
    const size_t n = std::min(textBytes, kMV2SubtitleTextMax);
    const char* from = reinterpret_cast<const char*>(s.buffer + s.offset + kMV2SubtitleEntryHead);
    const size_t length = strnlen(from, n);
    std::memcpy(g_text, from, length);
    g_text[length] = 0;
    return g_text;
}

void MV2LoadMovieSubtitles(const char* name) {
    MV2FreeMovieSubtitles();
    const int32_t language = MV2LanguageFolderIndex;
    if (language >= 1 && language <= 5)
        std::snprintf(g_path, sizeof g_path, ".\\DATA\\%s\\%s.dat", MV2LanguageFolders[language], name);
    else std::snprintf(g_path, sizeof g_path, ".\\DATA\\%s.dat", name);
    TvFileInterface* files = TvEngineGetFileInterface();
    void* file = files && files->open ? files->open(g_path, "rb") : nullptr;
    if (!file) return;
    const long length = files->length ? files->length(file) : -1;
    if (length < long(kMV2SubtitleFileHead)) {
        files->close(file);
        return;
    }
    auto* buffer = static_cast<uint8_t*>(TvMalloc(size_t(length)));
    if (!buffer) {
        MV2ErrorBox("Could not allocate buffer for briefX.dat\n");
        files->close(file);
        return;
    }
    const size_t got = files->read(buffer, 1, size_t(length), file);
    files->close(file);
    if (got != size_t(length)) {
        TvFree(buffer);
        return;
    }
    gMV2Subtitles = {buffer, size_t(length), MV2ReadU32(buffer), 0, kMV2SubtitleFileHead};
}

void MV2InitialiseBriefingTexts() {}

void MV2PlayMovie(const char* name, int32_t skippable) {
    const uint32_t colour = 0xFFDCDCDCu;
    if (gMV2Window.quitSeen) return; // the program is ending: no movie opens

    if (MV2GetSubtitles()) MV2LoadMovieSubtitles(name);
    MV2RewindMovieSubtitles();
    gMV2Controls.skipRequest = 0;
    TvCamera* camera = gMV2MainCamera;
    const MV2MovieRect& r = gMV2MovieRect;
    if (!camera || !MV2MovieOpen(name, r.x, r.y, 0, r.width, r.height, camera, kMV2MovieReplace)) {
        MV2MovieClose();
        MV2FreeMovieSubtitles();
        return;
    }
    int32_t width = 640, height = 480;
    Display(&width, &height);
    const TvRGBA clear = {0, 0, 0, 0};
    for (int32_t i = 0; i < 3; i++) {
        TvCameraClear(camera, &clear, 3);
        if (TvCameraBeginUpdate(camera)) TvCameraEndUpdate(camera);
        TvCameraShowRaster(camera, MV2GetWindow(), 0);
    }
    const int32_t clearFlags = r.width == width ? 2 : 3;
    while (MV2MovieUpdate()) {
        // A quit (the window is gone) ends the movie as the return to the front end does.
        if (!MV2PumpMessages()) {
            MV2MovieStop();
            break;
        }
        if (skippable) MV2ProcessControls(11);
        if (gMV2MoviePassHook) gMV2MoviePassHook();
        const char* text = MV2MovieSubtitleAt(MV2MovieGetTime());
        if (text) TvCameraClear(camera, &clear, clearFlags);
        if (TvCameraBeginUpdate(camera)) {
            if (text) {
                const int32_t textHeight =
                    DrawSubtitleText(text, 75, height - 108, width - 150, colour, true);
                TvRenderStateSet(kTvRenderStateVertexAlphaEnable, 1);
                MV2Set2DColour(0, 0, 0, 100);
                MV2Draw2DRectAtDepth(55, height - 118, width - 55, height - 118 + textHeight,
                                     0.03f, 25.0f, 0);
            }
            MV2MovieRender();
            TvCameraEndUpdate(camera);
            TvCameraShowRaster(camera, MV2GetWindow(), 1);
        }
        if (skippable && gMV2Controls.skipRequest) MV2MovieStop();
        if (gMV2MainLoop.returnToMenu) {
            MV2MovieStop();
            break;
        }
    }
    MV2MovieClose();
    MV2FreeMovieSubtitles();
    gMV2Controls.skipRequest = 0;
}
