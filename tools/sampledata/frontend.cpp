// Sample data of the front end: the game-over, options and credits pictures, the logo and
// briefing movies with a tone, the subtitle file of the first logo, and the front-end menus
// with the texts they name.
#include "tools/sampledata/sampledata.h"

#include "game/frontend/interfacescreens.h"
#include "platform/video/movie_writer.h"
#include "shell/bytes.h"
#include "shell/resfile.h"
#include "tests/support/image_writer.h"
#include "tests/support/resfile_writer.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

bool Write(const fs::path& path, const std::vector<uint8_t>& bytes) {
    return SampleDataWriteFile(path.string(), bytes);
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

// Bands of alternating brightness, one per 17 rows (a band of the credits), tinted by `seed`.
uint32_t Bands(int32_t x, int32_t y, int32_t seed) {
    const uint32_t level = (y / 17) % 2 ? 0xC0u : 0x50u;
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
                   Bmp(256, 256, [](int32_t, int32_t y) -> uint32_t { return (y / 17) % 2 ? 0xFFFFFF : 0x808080; })) && ok;
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
        VidMovieSpec movie;
        movie.width = 64;
        movie.height = 48;
        movie.rate = 15;
        movie.frames = 6;
        movie.toneHz = 440;
        movie.toneAmplitude = 0.1f;
        const uint32_t colour = m.colour;
        const std::string path = (root / "ANIMS" / (std::string(m.name) + ".bik")).string();
        ok = VidWriteMovie(path.c_str(), movie, [colour](uint32_t index, uint32_t* pixels, uint32_t width, uint32_t height) {
                 for (uint32_t y = 0; y < height; y++)
                     for (uint32_t x = 0; x < width; x++)
                         pixels[y * width + x] = x / 8 == index ? 0xFFFFFFFFu : colour;
             }) && ok;
    }
    return ok;
}

// The video faces of the seven craft records: silent, 224 x 240, a bar sweeping down over a
// colour of each craft's own.
bool WriteFaceMovies(const fs::path& root) {
    const struct {
        const char* name;
        uint32_t colour;
    } faces[] = {{"gp1vid", 0xFF305070u}, {"gp2vid", 0xFF507030u}, {"gp3vid", 0xFF703050u},
                 {"gp5vid", 0xFF706030u}, {"pirvid", 0xFF702020u}, {"silvid", 0xFF606060u},
                 {"Tankvid", 0xFF204040u}};
    bool ok = true;
    for (const auto& f : faces) {
        VidMovieSpec movie;
        movie.width = 224;
        movie.height = 240;
        movie.rate = 15;
        movie.frames = 6;
        const uint32_t colour = f.colour;
        const std::string path = (root / "ANIMS" / (std::string(f.name) + ".bik")).string();
        ok = VidWriteMovie(path.c_str(), movie, [colour](uint32_t index, uint32_t* pixels, uint32_t width, uint32_t height) {
                 for (uint32_t y = 0; y < height; y++)
                     for (uint32_t x = 0; x < width; x++)
                         pixels[y * width + x] = y / 40 == index ? 0xFFFFFFFFu : colour;
             }) && ok;
    }
    return ok;
}

// The interface pictures under TEXTURE\inface: every cell of the interface screens drawn as a
// framed block of a colour of its own where the cell table places it, masks white inside the
// cells, and one stage picture per stage.
bool WriteInterfacePictures(const fs::path& root) {
    const fs::path dir = root / "TEXTURE" / "inface";
    const struct {
        const char* name;
        const char* mask;
        int32_t width, height;
    } images[8] = {{"console", nullptr, 1024, 1024}, {"icons", "iconsm", 1024, 512},
                   {"subs", nullptr, 1024, 256},     {"medals", "medalsm", 512, 64},
                   {"btop", nullptr, 640, 204},      {"bbottom", nullptr, 640, 204},
                   {"bleft", nullptr, 272, 768},     {"bright", nullptr, 272, 768}};
    // The cell of a slot under a pixel; -1 outside every cell.
    auto cellAt = [](uint32_t slot, int32_t x, int32_t y) {
        for (int32_t c = 0; c < kMV2InterfaceCells; ++c) {
            const MV2InterfaceCell& k = kMV2InterfaceCellTable[c];
            if (k.slot == slot && float(x) >= k.left && float(x) < k.right && float(y) >= k.top &&
                float(y) < k.bottom)
                return c;
        }
        return -1;
    };
    auto framed = [](int32_t c, int32_t x, int32_t y) {
        const MV2InterfaceCell* k = &kMV2InterfaceCellTable[c];
        const bool edge = float(x) < k->left + 2 || float(x) >= k->right - 2 || float(y) < k->top + 2 ||
                          float(y) >= k->bottom - 2;
        const uint32_t h = uint32_t(c) * 53u;
        return edge ? TvRGBA{230, 230, 230, 255}
                    : TvRGBA{uint8_t(40 + h % 160), uint8_t(60 + (h / 3) % 140), uint8_t(90 + (h / 7) % 130), 255};
    };
    bool ok = true;
    for (uint32_t slot = 0; slot < 8; ++slot) {
        const auto& im = images[slot];
        ok = Write(dir / (std::string(im.name) + ".jpg"), JpegFile(im.width, im.height, 3, [&](int32_t x, int32_t y) {
                 const int32_t c = cellAt(slot, x, y);
                 return c < 0 ? TvRGBA{16, 16, 24, 255} : framed(c, x, y);
             })) && ok;
        if (im.mask)
            ok = Write(dir / (std::string(im.mask) + ".jpg"), JpegFile(im.width, im.height, 3, [&](int32_t x, int32_t y) {
                     return cellAt(slot, x, y) < 0 ? TvRGBA{0, 0, 0, 255} : TvRGBA{255, 255, 255, 255};
                 })) && ok;
    }
    for (int32_t stage = 0; stage <= 21; ++stage) {
        char name[24];
        std::snprintf(name, sizeof name, "mum%02d.jpg", int(stage));
        ok = Write(dir / name, JpegFile(224, 240, 3, [stage](int32_t x, int32_t y) {
                 return TvRGBA{uint8_t(20 + stage * 10), uint8_t(40 + y / 4), uint8_t(60 + x / 4), 255};
             })) && ok;
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

// Texts of the menus: the ids the screens name, the key names and labels of our own (3000 on).
const struct {
    uint32_t id;
    const char* text;
} kTexts[] = {
    {503, "Quit the game?"}, {1424, "Searching..."}, {1440, "Could not join the game."},
    {428, "Deathmatch"}, {429, "Team game"}, {673, "Capture"}, {322, "On"}, {326, "Off"},
    {426, "Some"}, {663, "No shadows"}, {664, "Own craft"}, {665, "All craft"}, {666, "Everything"},
    {1114, "Reef"}, {1129, "Trench"}, {1139, "Caves"}, {1140, "Wreck"}, {1141, "Vents"},
    {1240, "Kelp"}, {1282, "Shelf"}, {1283, "Abyss"}, {1284, "Canyon"}, {1383, "Ridge"},
    {1384, "Dome"}, {438, "Joystick"}, {457, "Mouse"}, {458, "Left button"}, {459, "Right button"},
    {1396, "Enter"}, {1397, "F12"}, {1398, "F11"}, {1399, "F10"}, {1400, "F9"}, {1401, "F8"},
    {1402, "F7"}, {1403, "Insert"}, {1404, "Pad 8"}, {1405, "Home"}, {1406, "Pad 4"},
    {1407, "Pad 6"}, {1408, "Pad 2"}, {1409, "End"}, {1410, "Page up"}, {1411, "Page down"},
    {1412, "Shift"}, {1413, "Control"}, {1414, "Alt"}, {1415, "Delete"}, {1416, "F1"},
    {1417, "F2"}, {1418, "F3"}, {1419, "F4"}, {1420, "Up"}, {1421, "Down"}, {1422, "Left"},
    {1423, "Right"}, {1427, "Backspace"}, {1428, "F5"}, {1430, "F6"}, {1431, "Space"},
    {1433, "Tab"},
    {3000, "Marovant"}, {3001, "Play"}, {3002, "Load game"}, {3003, "Multiplayer"},
    {3004, "Options"}, {3005, "Credits"}, {3006, "Quit"}, {3007, "No"}, {3008, "Yes"},
    {3009, "Load"}, {3010, "Back"}, {3011, "Resume"}, {3012, "Controls"}, {3013, "Display"},
    {3014, "Controls file"}, {3015, "Name"}, {3016, "Start"}, {3017, "TCP/IP"}, {3018, "IPX"},
    {3019, "Host"}, {3020, "Join"}, {3021, "Chapter"}, {3022, "Mission"}, {3023, "New profile"},
    {3024, "Choose a mission"}, {3025, "Refresh"}, {3026, "Subtitles"}, {3027, "Dappling"},
    {3028, "Shadows"}, {3029, "Keep"}, {3030, "Cancel"}, {3031, "Level"}, {3032, "Players"},
    {3033, "Frag limit"}, {3034, "Session"}, {3035, "Game type"}, {3036, "Save"},
};

ResItem Label(uint32_t id, int32_t y, uint32_t text) {
    return {id, 1, 320, y, 0, 400, 40, 0, 0, {{18, text}}};
}
ResItem Button(uint32_t id, int32_t y, uint32_t text) {
    return {id, 0, 320, y, 0, 240, 28, 0, text};
}
ResItem Field(uint32_t id, int32_t y, uint32_t capacity) {
    return {id, 4, 320, y, 0, 200, 22, 0, capacity};
}
ResItem List(uint32_t id, int32_t y, uint32_t capacity, int32_t height = 100) {
    return {id, 3, 320, y, 0, 300, height, 0, 0, {{81, capacity}, {82, 1}}};
}
// A slider in step mode from `minimum` to `maximum`; its fill picture's text rectangle spans
// the middle three quarters.
ResItem Slider(uint32_t id, int32_t y, int32_t minimum, int32_t maximum, uint32_t text) {
    auto f = [](float v) {
        uint32_t u;
        std::memcpy(&u, &v, 4);
        return u;
    };
    return {id, 2, 320, y, 0, 240, 20, 0, 0xFFFFFFFFu,
            {{54, 0xFFFFFFFFu}, {59, f(0.125f)}, {60, f(0.0f)}, {61, f(0.875f)}, {62, f(1.0f)},
             {63, uint32_t(minimum)}, {64, uint32_t(maximum)}, {65, text}, {66, 1}}};
}

std::vector<ResMenu> Menus() {
    std::vector<ResMenu> menus;
    for (uint32_t id = 0; id <= 26; id++) menus.push_back({id, {Label(1, 60, 3000)}});
    auto items = [&](uint32_t menu) -> std::vector<ResItem>& { return menus[menu].items; };
    uint32_t labels[] = {3001, 3002, 3003, 3004, 3005, 3006};
    for (uint32_t i = 0; i < 6; i++) items(0).push_back(Button(2 + i, 160 + 40 * int32_t(i), labels[i]));
    items(1) = {Label(1, 120, 503), Button(2, 240, 3007), Button(3, 280, 3008)};
    items(2) = {Label(1, 60, 3002), List(2, 180, 8), Button(3, 320, 3009), Button(4, 360, 3010)};
    items(4) = {Label(1, 60, 3000), Button(2, 180, 3011), Button(3, 220, 3004), Button(4, 260, 3006)};
    for (uint32_t k = 12; k <= 21; k++) items(5).push_back(Field(k, 80 + 30 * int32_t(k - 12), 1));
    items(6).push_back(Button(2, 200, 3009));
    items(6).push_back(Button(3, 240, 3036));
    items(7) = {Label(1, 60, 3023), Label(2, 120, 3015), Field(3, 150, 16), List(4, 260, 8),
                Button(5, 380, 3016), Button(6, 420, 3010)};
    items(8) = {Label(1, 60, 3003), Button(2, 140, 3017), Field(3, 180, 3), Field(4, 210, 3),
                Field(5, 240, 3), Field(6, 270, 3), Button(7, 320, 3018), Button(8, 380, 3010)};
    items(9) = {Label(1, 60, 3003), Button(2, 180, 3019), Button(3, 220, 3020), Button(4, 280, 3010)};
    for (uint32_t i = 2; i <= 6; i++) items(10).push_back(Button(i, 100 + 40 * int32_t(i), 3021));
    const uint32_t lastItem[5] = {10, 8, 8, 9, 6};
    for (uint32_t c = 0; c < 5; c++)
        for (uint32_t i = c == 4 ? 6 : 2; i <= lastItem[c]; i++)
            items(11 + c).push_back(Button(i, 60 + 36 * int32_t(i), 3022));
    items(17) = {Label(1, 60, 3001), Button(2, 200, 3023), Button(3, 240, 3024)};
    items(20) = {Label(1, 40, 3019), Field(2, 90, 31), Field(3, 130, 5), Field(4, 170, 29),
                 List(5, 250, 11, 80), List(6, 330, 3, 60), Button(7, 400, 3016), Button(8, 440, 3010),
                 Label(9, 70, 3015), Label(10, 110, 3033), Label(11, 150, 3034), Label(12, 210, 3031),
                 Label(13, 300, 3035)};
    items(21) = {Label(1, 40, 3020), Field(2, 90, 31), List(3, 180, 8), List(4, 300, 3, 60),
                 Button(5, 370, 3020), Button(6, 410, 3025), Button(7, 450, 3010),
                 Label(8, 70, 3015), Label(9, 130, 3034), Label(10, 270, 3035), Label(11, 340, 3031)};
    items(22) = {Label(1, 60, 3004), Button(2, 180, 3012), Button(3, 220, 3013), Button(4, 260, 3014),
                 Button(5, 320, 3010)};
    items(23) = {Label(1, 60, 3013), Button(2, 160, 3026), Button(3, 200, 3027),
                 Slider(4, 260, 0, 3, 3028), Button(5, 360, 3029), Button(6, 400, 3030)};
    items(24) = {Label(1, 60, 3036), Label(2, 180, 0xFFFFFFFFu), Button(3, 300, 3008), Button(4, 340, 3007)};
    items(26) = {Label(1, 60, 3020), Label(2, 180, 0xFFFFFFFFu), Button(3, 300, 3010)};
    return menus;
}

} // namespace

void SampleDataAddFrontEnd(ResourceFile& file) {
    file.menus = Menus();
    for (ResLanguage& language : file.languages) {
        for (const auto& t : kTexts) {
            ResText r;
            r.id = t.id;
            r.lineHeight = kSampleLineHeight;
            for (const char* c = t.text; *c; ++c)
                r.units.push_back(*c == ' ' ? kMV2UnitGap : uint16_t(uint8_t(*c)));
            language.texts.push_back(r);
        }
    }
}

void SampleDataAddMapTiles(std::vector<PackWriterEntry>& entries) {
    for (int32_t i = 0; i < 50; ++i) {
        char name[24];
        std::snprintf(name, sizeof name, "%s%02d.bmp", kSampleMapTiles, i);
        const std::vector<uint8_t> bmp = Bmp(64, 64, [i](int32_t x, int32_t y) -> uint32_t {
            if (x == 0 || y == 0) return 0x80C0FF; // the cell grid
            return uint32_t(0x10 + (i % 10) * 8) << 16 | uint32_t(0x30 + (i / 10) * 16) << 8 | 0x60;
        });
        entries.push_back({name, std::string(bmp.begin(), bmp.end())});
    }
}

bool SampleDataWriteFrontEnd(const std::string& folder) {
    const fs::path root(folder);
    bool ok = WriteTextures(root);
    ok = WriteMovies(root) && ok;
    ok = WriteFaceMovies(root) && ok;
    ok = WriteInterfacePictures(root) && ok;
    ok = WriteSubtitles(root) && ok;
    return ok;
}
