// HUD tests: the object fixture's engine and world, the recording 2-D sink, 2-D texture pages,
// a 640 x 480 screen and a language of hand-made text records (glyphs 10 pixels wide).
#pragma once

#include "engine/core/raster.h"
#include "engine/core/texture.h"
#include "game/frontend/draw2d.h"
#include "game/frontend/hud.h"
#include "shell/enginestart.h"
#include "shell/frametimer.h"
#include "shell/gamestate.h"
#include "shell/resfile.h"
#include "tests/game/frontend_sink.h"
#include "tests/game/objects/object_fixture.h"

#include <cstring>
#include <string>

// The sink as a member of a fixture that is not itself a sink test.
struct HudSink : Sink2DTest {
    void TestBody() override {}
    using Sink2DTest::raster;
    using Sink2DTest::recorded;
    using Sink2DTest::SetUp;
    using Sink2DTest::TearDown;
};

class HudTest : public ObjectTest {
protected:
    static constexpr size_t kGlyphOffset = 2048, kRecords = 4096;

    void SetUp() override {
        ObjectTest::SetUp();
        sink.SetUp();
        savedResource = gMV2MenuResource;
        savedTimer = gMV2FrameTimer;
        savedDisplay = gMV2DisplayRequest;
        savedState = gMV2GameState;
        gMV2GameState = {0, 0, 0, 0};
        gMV2DisplayRequest.width = 640;
        gMV2DisplayRequest.height = 480;
        MV2Set2DScreenScale(640, 480);
        MV2Rect2D whole = {0, 0, 640, 480};
        MV2Set2DClipRect(&whole);
        page.width = page.height = kMV2Texture2DSize;
        for (MV2Texture2D& row : gMV2Texture2D) row.raster = &page;
        chunk.assign(kRecords, 0);
        for (int c = 0; c < 128; ++c) {
            uint8_t* g = &chunk[kGlyphOffset + size_t(c) * 4];
            g[0] = uint8_t((c % 16) * 16), g[1] = uint8_t((c / 16) * 16), g[2] = 10;
        }
        row.numFontPages = 1;
        row.glyphOffset = kGlyphOffset;
        glyphRaster.width = glyphRaster.height = 256;
        glyphPage.raster = &glyphRaster;
        pages[0] = &glyphPage;
        // The digits of the HUD text table.
        for (int d = 0; d < 10; ++d) AddText(558 + d, std::u16string(1, char16_t('0' + d)));
        Install();
    }
    void TearDown() override {
        for (MV2Texture2D& r : gMV2Texture2D) r.raster = nullptr;
        for (MV2TextDescriptor& d : gMV2HudText) d = {};
        gMV2MenuResource = savedResource;
        gMV2FrameTimer = savedTimer;
        gMV2DisplayRequest = savedDisplay;
        gMV2GameState = savedState;
        MV2HudSetLayoutData(nullptr, 0);
        sink.TearDown();
        ObjectTest::TearDown();
    }

    // A text record {head, speaker, units, then the speech name at the next aligned offset}.
    void AddText(uint32_t id, const std::u16string& units, uint32_t speaker = 0xFFFFFFFFu,
                 const char* speech = nullptr) {
        const size_t at = chunk.size();
        uint32_t head = uint32_t(units.size()) | 20u << 16 | (speech ? 1u << 24 : 0u);
        std::vector<uint8_t> bytes(8 + 2 * units.size());
        std::memcpy(&bytes[0], &head, 4);
        std::memcpy(&bytes[4], &speaker, 4);
        for (size_t i = 0; i < units.size(); ++i) {
            const uint16_t u = uint16_t(units[i]);
            std::memcpy(&bytes[8 + 2 * i], &u, 2);
        }
        while (bytes.size() % 4) bytes.push_back(0);
        if (speech) {
            bytes.insert(bytes.end(), speech, speech + std::strlen(speech) + 1);
            while (bytes.size() % 4) bytes.push_back(0);
        }
        chunk.insert(chunk.end(), bytes.begin(), bytes.end());
        index.push_back({id, uint32_t(at)});
    }

    // Makes the chunk the current language (call again after adding texts).
    void Install() {
        for (size_t i = 0; i < index.size(); ++i) {
            std::memcpy(&chunk[8 * i], &index[i].first, 4);
            std::memcpy(&chunk[8 * i + 4], &index[i].second, 4);
        }
        gMV2MenuResource.languages = chunk.data();
        gMV2MenuResource.dir[MV2_CHUNK_LANGUAGES].size = uint32_t(chunk.size());
        gMV2MenuResource.dir[MV2_CHUNK_LANGUAGES].count2 = uint32_t(index.size());
        gMV2MenuResource.language.textIndex = chunk.data();
        gMV2MenuResource.language.glyphTable = chunk.data() + kGlyphOffset;
        gMV2MenuResource.language.row = &row;
        gMV2MenuResource.language.fontPages = pages;
        MV2HudFillTexts();
    }

    // Takes a layout file image as the loaded layouts.
    void UseLayouts(const std::vector<uint8_t>& data) {
        uint8_t* copy = static_cast<uint8_t*>(TvMalloc(data.size()));
        std::memcpy(copy, data.data(), data.size());
        MV2HudSetLayoutData(copy, uint32_t(data.size()));
    }

    std::vector<Sink2DCall>& Calls() { return sink.recorded; }
    size_t Glyphs() const {
        size_t n = 0;
        for (const Sink2DCall& c : sink.recorded) n += c.raster == intptr_t(&glyphRaster);
        return n;
    }
    size_t Sprites() const {
        size_t n = 0;
        for (const Sink2DCall& c : sink.recorded) n += c.raster == intptr_t(&page);
        return n;
    }

    HudSink sink;
    TvRaster page = {};
    TvRaster glyphRaster = {};
    TvTexture glyphPage = {};
    TvTexture* pages[1] = {};
    MV2Language row = {};
    std::vector<uint8_t> chunk;
    std::vector<std::pair<uint32_t, uint32_t>> index;
    MV2MenuResource savedResource = {};
    MV2FrameTimer savedTimer = {};
    MV2DisplayRequest savedDisplay = {};
    MV2GameStateWord savedState = {};
};
