// Sample data of the front end: the game-over, options and credits pictures, the logo and
// briefing movies with a tone, the subtitle file of the first logo, and the front-end menus
// with the texts they name.
#include "tools/sampledata/sampledata.h"

#include "platform/video/movie_writer.h"
#include "shell/bytes.h"
#include "tests/support/image_writer.h"
#include "tests/support/resfile_writer.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

bool Write(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    out.close();
    return bool(out);
}

// A 24-bit BMP of `width` by `height` from a pixel function giving 0xRRGGBB.
std::vector<uint8_t> Bmp(int32_t width, int32_t height,
                         const std::function<uint32_t(int32_t, int32_t)>& pixel) {
    BmpDesc d;
    d.width = width;
    d.height = height;
    d.bits = 24;
    d.data = BmpRows(width, height, 24, pixel);
    return BmpFile(d);
}

// Bands of alternating brightness, one every 16 rows, tinted by `seed`.
uint32_t Bands(int32_t x, int32_t y, int32_t seed) {
    const uint32_t level = (y / 16) % 2 ? 0xC0u : 0x50u;
    const uint32_t tint = uint32_t(seed * 37) & 0x3F;
    return (level + tint) << 16 | level << 8 | uint32_t(((x / 8) % 2) ? 0x40 : 0x80);
}

bool WriteTextures(const fs::path& root) {
    const fs::path dir = root / "TEXTURE";
    bool ok = true;
    // The game-over picture: dark above, light below, a bright middle line where bars meet.
    ok = Write(dir / "gameover.bmp", Bmp(256, 256, [](int32_t, int32_t y) -> uint32_t {
             if (y >= 126 && y < 130) return 0xFFFFFF;
             return y < 128 ? 0x602020 : 0x206060;
         })) && ok;
    for (int32_t i = 1; i <= 13; i++) {
        char name[16];
        std::snprintf(name, sizeof name, "CRED%02d", i);
        ok = Write(dir / (std::string(name) + ".bmp"),
                   Bmp(256, 256, [i](int32_t x, int32_t y) { return Bands(x, y, i); })) && ok;
        ok = Write(dir / (std::string(name) + "M.bmp"),
                   Bmp(256, 256, [](int32_t, int32_t y) -> uint32_t { return (y / 16) % 2 ? 0xFFFFFF : 0x808080; })) && ok;
    }
    ok = Write(dir / "IMAGES.bmp", Bmp(256, 256, [](int32_t x, int32_t y) -> uint32_t {
             const uint32_t colours[4] = {0x803030, 0x308030, 0x303080, 0x808030};
             return colours[y / 64] + uint32_t((x / 32) % 2 ? 0x202020 : 0);
         })) && ok;
    ok = Write(dir / "CFONT.bmp", Bmp(256, 256, [](int32_t x, int32_t y) -> uint32_t {
             return (x % 40) > 4 && (y % 40) > 4 ? 0xF0F0F0 : 0;
         })) && ok;
    ok = Write(dir / "CFONTM.bmp", Bmp(256, 256, [](int32_t x, int32_t y) -> uint32_t {
             return (x % 40) > 4 && (y % 40) > 4 ? 0xFFFFFF : 0;
         })) && ok;
    ok = Write(dir / "CLOGO.bmp", Bmp(256, 128, [](int32_t x, int32_t y) -> uint32_t {
             return uint32_t(x) << 16 | uint32_t(y * 2) << 8 | 0x80;
         })) && ok;
    ok = Write(dir / "CLOGOM.bmp", Bmp(256, 128, [](int32_t, int32_t) -> uint32_t { return 0xFFFFFF; })) && ok;
    // The picture behind the options menus in the front end.
    ok = Write(dir / "options.jpg", JpegFile(640, 480, 3, [](int32_t x, int32_t y) {
             return TvRGBA{uint8_t(20 + y / 8), uint8_t(30 + x / 16), 70, 255};
         })) && ok;
    return ok;
}

// The logo and briefing movies: a few frames of a moving bar over a colour of their own, with
// a quiet tone; small and short, so start-up stays quick.
bool WriteMovies(const fs::path& root) {
    std::error_code ec;
    fs::create_directories(root / "ANIMS", ec);
    const struct {
        const char* name;
        uint32_t colour;
    } movies[] = {{"quendal", 0xFF204080u}, {"halverno", 0xFF802040u}, {"trevanex", 0xFF208040u},
                  {"padi", 0xFF606020u},    {"brief1", 0xFF303030u}};
    bool ok = true;
    for (const auto& m : movies) {
        VidMovieSpec spec;
        spec.width = 64;
        spec.height = 48;
        spec.rate = 15;
        spec.frames = 6;
        spec.toneHz = 440;
        spec.toneAmplitude = 0.1f;
        const uint32_t colour = m.colour;
        const std::string path = (root / "ANIMS" / (std::string(m.name) + ".bik")).string();
        ok = VidWriteMovie(path.c_str(), spec, [colour](uint32_t index, uint32_t* pixels, uint32_t width, uint32_t height) {
                 for (uint32_t y = 0; y < height; y++)
                     for (uint32_t x = 0; x < width; x++)
                         pixels[y * width + x] = x / 8 == index ? 0xFFFFFFFFu : colour;
             }) && ok;
    }
    return ok;
}

// The subtitle file of the first logo: two lines while it plays.
bool WriteSubtitles(const fs::path& root) {
    std::vector<uint8_t> b(32, 0);
    const struct {
        float start, end;
        const char* text;
    } entries[] = {{0.05f, 0.2f, "Quendal presents"}, {0.2f, 0.4f, "a Marovant production"}};
    MV2WriteU32(b.data(), 2);
    for (const auto& e : entries) {
        const size_t at = b.size();
        b.resize(at + 64, 0);
        MV2WriteU32(b.data() + at + 20, 1);
        std::memcpy(b.data() + at + 24, &e.start, 4);
        std::memcpy(b.data() + at + 28, &e.end, 4);
        std::memcpy(b.data() + at + 32, e.text, std::strlen(e.text));
    }
    return Write(root / "DATA" / "quendal.dat", b);
}

} // namespace

bool SampleDataWriteFrontEnd(const std::string& folder) {
    const fs::path root(folder);
    bool ok = WriteTextures(root);
    ok = WriteMovies(root) && ok;
    ok = WriteSubtitles(root) && ok;
    return ok;
}
