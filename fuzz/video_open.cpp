// Opens the input as a movie through the video stand-in and decodes and copies its first few
// frames in every copy format, with the sound system attached so the sound track is decoded
// and resampled too. The first byte chooses the input: the bytes as they are, or a small
// movie written here (MPEG-4 or MJPEG, with a tone) with the rest of the input applied as byte
// patches, so that damaged real movies are reached without seeds on disk.
#include "platform/sound/device.h"
#include "platform/sound/mss.h"
#include "platform/video/movie_writer.h"
#include "platform/video/video.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr uint32_t kMaxFrames = 6;
constexpr uint32_t kMaxPixels = 256 * 256;
constexpr const char* kName = "fuzz.bik";

std::vector<uint8_t> g_movies[2];
std::vector<uint8_t> g_input;
std::vector<uint8_t> g_pixels;

std::vector<uint8_t> ReadAll(const char* name) {
    std::vector<uint8_t> bytes;
    FILE* f = std::fopen(name, "rb");
    if (!f) return bytes;
    uint8_t buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        bytes.insert(bytes.end(), buf, buf + n);
    std::fclose(f);
    return bytes;
}

void Paint(uint32_t index, uint32_t* pixels, uint32_t width, uint32_t height) {
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            pixels[y * width + x] = 0xFF000000u | (x * 8 + index * 40) << 16 | (y * 8) << 8 | index * 50;
}

char g_folder[] = "/tmp/fuzz_video_XXXXXX";

void Finish() {
    VidSetSoundSystem(nullptr, nullptr);
    AIL_shutdown();
    std::remove(kName);
    if (chdir("/") == 0) rmdir(g_folder);
}

void Start() {
    // A folder of our own, so that the movie's game name resolves there.
    if (!mkdtemp(g_folder) || chdir(g_folder) != 0) __builtin_trap();
    std::atexit(Finish);
    VidMovieSpec movie;
    movie.width = 32;
    movie.height = 32;
    movie.frames = 4;
    movie.toneHz = 440;
    movie.toneRate = 11025;
    movie.toneChannels = 1;
    for (int i = 0; i < 2; ++i) {
        movie.codec = i ? VidMovieCodec::Mjpeg : VidMovieCodec::Mpeg4;
        if (!VidWriteMovie(kName, movie, Paint)) __builtin_trap();
        g_movies[i] = ReadAll(kName);
    }
    PlatformSoundUseLoopback(22050);
    if (AIL_startup() != 1) __builtin_trap();
    MssPcmFormat format{1, 2, 22050, 22050 * 4, 4, 16};
    HDIGDRIVER driver = nullptr;
    if (AIL_waveOutOpen(&driver, nullptr, -1, &format) != 0) __builtin_trap();
    VidSetSoundSystem(VidOpenMss, driver);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool started = false;
    if (!started) {
        Start();
        started = true;
    }
    if (size == 0) return 0;
    if (data[0] & 1) {
        g_input = g_movies[(data[0] >> 1) & 1];
        for (size_t i = 1; i + 2 < size; i += 3) {
            size_t at = (size_t(data[i]) << 8 | data[i + 1]) % g_input.size();
            g_input[at] ^= data[i + 2];
        }
        if (data[0] & 4) g_input.resize(g_input.size() * (data[0] >> 3) / 32);
    } else {
        g_input.assign(data + 1, data + size);
    }
    FILE* f = std::fopen(kName, "wb");
    if (!f) __builtin_trap();
    if (!g_input.empty()) std::fwrite(g_input.data(), 1, g_input.size(), f);
    std::fclose(f);

    HVID m = VidOpen(kName, 0);
    if (!m) return 0;
    if (uint64_t(m->width) * m->height <= kMaxPixels) {
        VidSetSoundOnOff(m, (data[0] & 8) ? 0 : 1);
        const uint32_t formats[] = {VIDSURFACE32, VIDSURFACE555, VIDSURFACE565};
        const uint32_t pitch = m->width * 4;
        g_pixels.assign(size_t(pitch) * m->height, 0);
        for (uint32_t i = 0; i < kMaxFrames; ++i) {
            VidWait(m);
            VidDoFrame(m);
            VidCopyToBuffer(m, g_pixels.data(), pitch, m->height, 0, 0, formats[i % 3]);
            if (m->currentFrame >= m->frames) break;
            VidNextFrame(m);
        }
        // A target narrower and shorter than the picture, at an offset.
        VidCopyToBuffer(m, g_pixels.data(), pitch / 2, m->height / 2, 1, 1, VIDSURFACE32);
        float mix[2 * 256];
        PlatformSoundRender(mix, 256);
    }
    VidClose(m);
    return 0;
}
