#include "tools/sampledata/sampledata.h"
#include "tools/sampledata/bosses.h"
#include "tools/sampledata/objects.h"
#include "tools/sampledata/player.h"
#include "tools/sampledata/hud.h"
#include "tools/sampledata/leveldevices.h"
#include "tools/sampledata/levelobjects.h"
#include "tools/sampledata/mission1.h"

#include "game/frontend/draw2d.h"
#include "game/frontend/font.h"
#include "shell/controls.h"
#include "shell/errors.h"
#include "shell/gamestate.h"
#include "shell/resfile.h"
#include "shell/savegame.h"
#include "shell/sounds.h"
#include "tests/support/controls_writer.h"
#include "tests/support/image_writer.h"
#include "tests/support/pack_writer.h"
#include "tests/support/resfile_writer.h"
#include "tests/support/sound_writer.h"
#include "tools/sampledata/levels.h"
#include "tools/sampledata/multiplayer.h"
#include "tools/sampledata/tools.h"

#include <cmath>
#include <utility>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

bool WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    out.close();
    return bool(out);
}

std::string Bytes(const std::vector<uint8_t>& v) {
    return std::string(v.begin(), v.end());
}

// A 640 by 480 picture: a vertical gradient between two colours with a ring in the middle.
std::vector<uint8_t> Picture(TvRGBA top, TvRGBA bottom, int seed) {
    return JpegFile(640, 480, 3, [=](int32_t x, int32_t y) {
        float t = float(y) / 479.0f;
        auto mix = [t](uint8_t a, uint8_t b) { return uint8_t(float(a) + (float(b) - float(a)) * t); };
        TvRGBA c = {mix(top.red, bottom.red), mix(top.green, bottom.green),
                    mix(top.blue, bottom.blue), 255};
        float dx = float(x - 320), dy = float(y - 240);
        float r = std::sqrt(dx * dx + dy * dy);
        if (std::fabs(r - float(120 + 10 * seed)) < 6.0f) c = {240, 240, 200, 255};
        return c;
    });
}

// A font page of 256 by 256: one 16 by 16 cell per character code, each a filled box; its
// mask white where the box is.
std::vector<uint8_t> FontPage(bool mask) {
    BmpDesc d;
    d.width = d.height = 256;
    d.bits = 24;
    d.data = BmpRows(256, 256, 24, [mask](int32_t x, int32_t y) -> uint32_t {
        bool ink = (x % 16) >= 2 && (x % 16) < 12 && (y % 16) >= 2 && (y % 16) < 14;
        if (mask) return ink ? 0xFFFFFF : 0;
        return ink ? 0xF0F0C8 : 0;
    });
    return BmpFile(d);
}

// Digits 0-9 in a 3 by 5 pixel font, one row of three bits per line, top line first.
constexpr uint8_t kDigits[10][5] = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 3, 1, 7}, {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 2, 2}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7},
};

// A 2-D texture page of the given table row: every sprite cell of the row a framed box in a
// colour of its own with its sprite index written in it; the mask white over the cells.
std::vector<uint8_t> SpritePage(int32_t textureRow, bool mask) {
    const int32_t size = kMV2Texture2DSize;
    std::vector<uint8_t> pixels(size_t(size * size), 0);
    for (int32_t s = 1; s < kMV2Sprite2DRows; ++s) {
        MV2SpriteCell c = MV2GetSpriteCell(s);
        if (c.textureRow != textureRow) continue;
        for (int32_t y = c.top; y < c.bottom; ++y)
            for (int32_t x = c.left; x < c.right; ++x) {
                bool frame = x == c.left || y == c.top || x == c.right - 1 || y == c.bottom - 1;
                pixels[size_t(y * size + x)] = uint8_t(frame ? 1 : 2 + s % 6);
            }
        char text[8];
        int n = std::snprintf(text, sizeof text, "%d", int(s));
        for (int i = 0; i < n; ++i)
            for (int32_t row = 0; row < 5; ++row)
                for (int32_t bit = 0; bit < 3; ++bit)
                    if (kDigits[text[i] - '0'][row] & (4 >> bit))
                        pixels[size_t((c.top + 2 + row) * size + c.left + 2 + i * 4 + bit)] = 8;
    }
    BmpDesc d;
    d.width = d.height = size;
    d.bits = 8;
    d.coloursUsed = 9;
    d.palette = {{0, 0, 0, 0},       {240, 240, 240, 0}, {40, 90, 160, 0},
                 {40, 140, 90, 0},   {150, 60, 60, 0},   {140, 120, 40, 0},
                 {90, 60, 150, 0},   {50, 130, 140, 0},  {255, 255, 200, 0}};
    if (mask) d.palette = {{0, 0, 0, 0}, {255, 255, 255, 0}, {255, 255, 255, 0},
                           {255, 255, 255, 0}, {255, 255, 255, 0}, {255, 255, 255, 0},
                           {255, 255, 255, 0}, {255, 255, 255, 0}, {255, 255, 255, 0}};
    d.data = BmpRows(size, size, 8, [&](int32_t x, int32_t y) { return pixels[size_t(y * size + x)]; });
    return BmpFile(d);
}

// A HUD font page (0 small, 1 large): every glyph of the table a block inside its rectangle;
// the mask white over the blocks.
std::vector<uint8_t> HudFontPage(bool large, bool mask) {
    const MV2Glyph* table = large ? gMV2LargeFontGlyphs : gMV2SmallFontGlyphs;
    const int32_t height = large ? 22 : 20;
    std::vector<uint8_t> ink(256 * 256, 0);
    for (int32_t i = 0; i < kMV2FontGlyphs; ++i) {
        const MV2Glyph& g = table[i];
        for (int32_t y = g.top + 3; y < g.top + height - 3 && y < 256; ++y)
            for (int32_t x = g.left + 1; x < g.right + 1 && x < 256; ++x) ink[size_t(y * 256 + x)] = 1;
    }
    BmpDesc d;
    d.width = d.height = 256;
    d.bits = 24;
    d.data = BmpRows(256, 256, 24, [&](int32_t x, int32_t y) -> uint32_t {
        bool on = ink[size_t(y * 256 + x)] != 0;
        if (mask) return on ? 0xFFFFFF : 0;
        return on ? 0xF0F0F0 : 0;
    });
    return BmpFile(d);
}

bool WriteTexturePack(const fs::path& folder) {
    std::vector<PackWriterEntry> entries;
    struct Pic {
        const char* name;
        TvRGBA top, bottom;
    } pictures[] = {
        {"codec", {10, 20, 60, 255}, {0, 0, 0, 255}},
        {"initdemo", {0, 40, 80, 255}, {0, 10, 30, 255}},
        {"title1", {0, 60, 120, 255}, {0, 0, 40, 255}},
        {"title2", {20, 80, 140, 255}, {0, 10, 50, 255}},
        {"f1demo", {40, 40, 40, 255}, {10, 10, 10, 255}},
        {"enddemo", {60, 20, 20, 255}, {0, 0, 0, 255}},
        {"gdswitch", {30, 60, 30, 255}, {0, 20, 0, 255}},
    };
    int seed = 0;
    for (const Pic& p : pictures)
        entries.push_back({std::string(p.name) + ".jpg", Bytes(Picture(p.top, p.bottom, seed++))});
    BmpDesc oil;
    oil.width = oil.height = 64;
    oil.data = BmpRows(64, 64, 24, [](int32_t x, int32_t y) { return uint32_t(0x202020 + ((x ^ y) & 31)); });
    entries.push_back({"oily.bmp", Bytes(BmpFile(oil))});
    entries.push_back({"oilym.bmp", Bytes(BmpFile(oil))});
    for (int32_t row = 0; row < kMV2Texture2DRows; ++row) {
        const MV2Texture2D& t = gMV2Texture2D[row];
        entries.push_back({std::string(t.name) + ".bmp", Bytes(SpritePage(row, false))});
        if (t.maskName && std::string(t.maskName) != t.name)
            entries.push_back({std::string(t.maskName) + ".bmp", Bytes(SpritePage(row, true))});
    }
    for (int32_t large = 0; large < 2; ++large) {
        entries.push_back({gMV2FontPages[large].name + std::string(".bmp"),
                           Bytes(HudFontPage(large != 0, false))});
        entries.push_back({gMV2FontPages[large].maskName + std::string(".bmp"),
                           Bytes(HudFontPage(large != 0, true))});
    }
    entries.push_back({"fp002.bmp", Bytes(FontPage(false))});
    entries.push_back({"fp002m.bmp", Bytes(FontPage(true))});
    SampleObjectTextures(entries);
    SampleDataAddWorldTextures(entries);
    SampleEffectTextures(entries);
    SampleEffects2Textures(entries);
    SampleDataAddMapTiles(entries);
    return WriteFile(folder / "texture.pak", BuildPack(entries));
}

// The texts the shell draws: the message slots and their buttons, the state-6 prompt.
std::vector<ResText> Texts() {
    const struct {
        uint32_t id;
        const char* text;
    } texts[] = {
        {1185, "The game could not go on."}, {1391, "Insert the disc."},
        {1387, "Leave the game?"},           {599, "Loading."},
        {601, "Please wait."},               {596, "Start the mission?"},
        {905, "Save the game?"},             {652, "The mission has failed."},
        {920, "Try again?"},                 {654, "Leave the mission?"},
        {583, "Delete the saved game?"},     {595, "Back to the title?"},
        {592, "Hull failing."},              {593, "Air low."},
        {904, "Too deep."},                  {582, "Game over."},
        {957, "Connection lost."},           {958, "No session found."},
        {979, "The host left."},             {991, "Network error."},
        {990, "Session full."},              {959, "Version differs."},
        {602, "OK"},                         {603, "Cancel"},
        {907, "Yes"},                        {900, "Continue"},
        {903, "Quit"},                       {kMV2PromptTextId, "Press space"},
    };
    std::vector<ResText> out;
    for (const auto& t : texts) {
        ResText r;
        r.id = t.id;
        r.lineHeight = kSampleLineHeight;
        for (const char* c = t.text; *c; ++c)
            r.units.push_back(*c == ' ' ? kMV2UnitGap : uint16_t(uint8_t(*c)));
        out.push_back(r);
    }
    return out;
}

bool WriteMenuResource(const fs::path& folder) {
    ResourceFile file;
    file.menus.push_back({0, {}});
    std::vector<ResGlyph> glyphs(256);
    for (int c = 0; c < 256; ++c)
        glyphs[size_t(c)] = {uint8_t((c % 16) * 16), uint8_t((c / 16) * 16), 12, 0};
    for (uint32_t id : {2057u, 1033u}) {
        ResLanguage l;
        l.languageId = id;
        l.firstFontPage = 2;
        l.numFontPages = 1;
        l.texts = Texts();
        l.glyphs = glyphs;
        file.languages.push_back(l);
    }
    file.chunk4 = {0, 0, 0, 0};
    SampleObjectTypeRecords(file.types);
    SamplePlayerTypeRecords(file.types);
    SampleEffectTypeRecords(file.types);
    SampleEffects2TypeRecords(file.types);
    SampleCreatureTypeRecords(file.types);
    SampleLevelObjectTypeRecords(file.types);
    SampleMission1TypeRecords(file.types);
    SampleLevelObjects3TypeRecords(file.types);
    SampleLevelDeviceTypeRecords(file.types);
    SampleBossTypeRecords(file.types);
    SampleMultiplayerTypeRecords(file.types);
    SampleToolTypeRecords(file.types);
    file.levels = SampleLevels();
    file.levels.push_back(SampleMultiplayerLevel());
    SampleDataAddFrontEnd(file);
    return WriteFile(folder / "DATA" / "menu.mv2", BuildResourceFile(file));
}

bool WriteSaveTexts(const fs::path& folder) {
    const char* labels[kMV2SaveTextFields] = {
        "Save",   "Load",  "Slot",   "Empty",   "Mission", "Score",    "Hull",
        "Depth",  "Saved", "Failed", "Name",    "Rank",    "Recruit",  "Pilot",
        "Captain", "Commander", "Admiral", "Legend", "Back"};
    std::vector<uint8_t> bytes(kMV2SaveTextSize, 0);
    for (size_t i = 0; i < kMV2SaveTextFields; ++i)
        std::snprintf(reinterpret_cast<char*>(&bytes[i * kMV2SaveTextFieldSize]),
                      kMV2SaveTextFieldSize, "%s", labels[i]);
    return WriteFile(folder / "DATA" / "vmulang.dat", bytes);
}

bool WriteControls(const fs::path& folder) {
    ControlsFile f;
    std::vector<ControlsFileSection> sections(kMV2ControlSections);
    for (uint32_t i = 0; i < uint32_t(kMV2ControlSections); ++i)
        sections[i].id = i;
    auto key = [&](uint32_t section, int32_t action, const char* name) {
        sections[section].bindings.push_back({action, 1.0f, false, {0, 0, 0}, {{ControlsKeyCode(name), 1, 1, 0}}});
    };
    for (uint32_t s : {0u, 1u, 2u, 4u, 5u, 6u, 9u, 10u, 12u, 13u, 14u, 15u})
        key(s, 14, "Escape");
    for (uint32_t s : {3u, 7u, 8u, 11u})
        key(s, 14, "Return");
    for (uint32_t s : {1u, 2u, 3u, 4u, 5u, 6u, 9u, 10u, 16u, 17u}) {
        sections[s].bindings.push_back({28, 1.0f, false, {0, 0, 0}, {{kMV2MouseButtonCode, 1, 0, 0}}});
        sections[s].bindings.push_back({29, 1.0f, false, {0, 0, 0}, {{kMV2MouseButtonCode + 1, 1, 0, 0}}});
        sections[s].bindings.push_back({30, 1.0f, true, {0, 0, 0}, {}});
        sections[s].bindings.push_back({31, 1.0f, true, {0, 1, 0}, {}});
    }
    for (uint32_t s : {0u, 12u, 13u, 14u, 15u}) {
        key(s, 18, "F1");
        key(s, 50, "F12");
    }
    for (uint32_t s : {0u, 3u}) {
        key(s, 34, "Left");
        key(s, 35, "Right");
    }
    // The console: the arrows move between its choices and Return takes the highlighted one.
    key(9, 28, "Return");
    key(9, 32, "Up");
    key(9, 33, "Down");
    key(9, 34, "Left");
    key(9, 35, "Right");
    // In play, steering by the mouse as the controls menu's first axis mode sets it at a middle
    // sensitivity: action 6 on axis 1, action 3 on axis 0.
    sections[0].bindings.push_back({6, 0.00007f, true, {0, 1, 0}, {}});
    sections[0].bindings.push_back({3, 0.00007f, true, {0, 0, 0}, {}});
    // In play, held: fire, forward thrust and the current tool.
    for (const auto& [action, name] : {std::pair{0, "Space"}, std::pair{2, "w"}, std::pair{1, "e"}})
        sections[0].bindings.push_back({action, 1.0f, false, {0, 0, 0}, {{ControlsKeyCode(name), 1, 0, 0}}});
    key(0, 9, "r"); // the next tool
    for (uint32_t s : {7u, 8u, 11u})
        key(s, 51, "Space");
    for (ControlsFileSection& s : sections)
        if (!s.bindings.empty()) f.sections.push_back(s);
    for (uint32_t i = 0; i < 12; ++i) {
        ControlsFileCurve c{i, {}};
        for (float& v : c.values)
            v = 1.0f;
        f.curves.push_back(c);
    }
    return WriteFile(folder / "ctrls_pc.con", WriteControlsFile(f));
}

} // namespace

// The sound list names every built-in sound, each with a short tone of its own pitch under
// SOUND\, plus the fallback sample and the base volume table.
bool SampleDataWriteSoundFiles(const std::string& folder) {
    fs::path root(folder);
    std::error_code ec;
    fs::create_directories(root / "SOUND", ec);
    std::vector<SoundListRecord> records;
    std::vector<BaseVolume> volumes;
    bool ok = true;
    for (int32_t i = 0; i < kMV2SoundNames; ++i) {
        char file[16];
        std::snprintf(file, sizeof file, "S%03d", i);
        records.push_back({MV2SoundNames[i], file, 1u + uint32_t(i % 3), 0});
        WavTone tone;
        tone.frames = 22050 / 5;
        tone.frequency = 220.0f * std::pow(2.0f, float(i % 36) / 12.0f);
        tone.amplitude = 0.25f;
        ok = WriteWavTone((root / "SOUND" / (std::string(file) + ".WAV")).string(), tone) && ok;
        volumes.push_back({file, 0.8f});
    }
    WavTone silence;
    silence.frames = 2205;
    silence.frequency = 0.0f;
    ok = WriteWavTone((root / "SOUND" / "null.wav").string(), silence) && ok;
    ok = WriteSoundList((root / "DATA" / "sounds.dat").string(), records) && ok;
    ok = WriteBaseVolumes((root / "SOUND" / "BASEVOL.TXT").string(), volumes) && ok;
    return ok;
}

bool SampleDataWriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    return WriteFile(path, bytes);
}

bool SampleDataWrite(const std::string& folder) {
    fs::path root(folder);
    std::error_code ec;
    fs::create_directories(root, ec);
    bool ok = WriteTexturePack(root);
    std::vector<PackWriterEntry> models;
    SampleObjectModels(models);
    SamplePlayerModels(models);
    SampleEffectModels(models);
    SampleBossModels(models);
    SampleToolModels(models);
    ok = WriteFile(root / "clump.pak", BuildPack(models)) && ok;
    ok = SampleObjectFolders(folder) && ok;
    ok = WriteMenuResource(root) && ok;
    ok = WriteSaveTexts(root) && ok;
    ok = WriteControls(root) && ok;
    ok = SampleDataWriteSoundFiles(folder) && ok;
    ok = SampleDataWriteLevels(folder) && ok;
    ok = SampleDataWriteFrontEnd(folder) && ok;
    ok = SampleDataWriteHud(folder) && ok;
    ok = SampleDataWriteCreatures(folder) && ok;
    ok = SampleDataWriteMultiplayer(folder) && ok;
    ok = SampleDataWriteTools(folder) && ok;
    return ok;
}

std::string SampleBmp(int32_t size, const SampleShade& shade) {
    BmpDesc d;
    d.width = d.height = size;
    d.data = BmpRows(size, size, 24, shade);
    const std::vector<uint8_t> bytes = BmpFile(d);
    return std::string(bytes.begin(), bytes.end());
}

uint32_t SampleRgb(float r, float g, float b) {
    auto c = [](float v) { return uint32_t(std::lround(std::fmin(std::fmax(v, 0.0f), 255.0f))); };
    return c(r) << 16 | c(g) << 8 | c(b);
}
