// Materials and material lists: reference counting, list growth, and the list chunk reader with
// shared entries, textures and damaged input.
#include <gtest/gtest.h>

#include "engine/core/error.h"
#include "engine/core/stream.h"
#include "engine/core/texture.h"
#include "engine/world/material.h"
#include "tests/support/engine_checks.h"
#include "tests/support/world_writer.h"

namespace {

TvTexture* MakeTexture(const char*, const char*) {
    return TvTextureCreate(nullptr);
}

class MaterialTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(engine_.ok()); }
    void TearDown() override {
        if (stream_) TvStreamClose(stream_, nullptr);
        TpMaterialListDeinitialise(&list_);
    }
    // Reads `materials` written as a list chunk into list_.
    TpMaterialList* Read(const std::vector<MaterialRecord>& materials) {
        ChunkWriter w;
        WriteMaterialList(w, materials);
        return ReadBytes(w.data());
    }
    TpMaterialList* ReadBytes(const std::vector<uint8_t>& bytes) {
        bytes_ = bytes;
        stream_ = OpenReadStream(bytes_);
        if (!stream_ || !TvStreamFindChunk(stream_, TV_ID_MATLIST, nullptr, nullptr))
            return nullptr;
        return TpMaterialListStreamRead(stream_, &list_);
    }
    WorldEngine engine_;
    std::vector<uint8_t> bytes_;
    TvStream* stream_ = nullptr;
    TpMaterialList list_{};
};

TEST_F(MaterialTest, ListGrowsByFiveAndHoldsReferences) {
    TpMaterial* m = TpMaterialCreate();
    ASSERT_NE(m, nullptr);
    const TpRGBA* c = TpMaterialGetColor(m);
    EXPECT_EQ(c->red + c->green + c->blue + c->alpha, 4 * 255);
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(TpMaterialListAppendMaterial(&list_, m), i);
    EXPECT_EQ(list_.capacity, 5);
    EXPECT_EQ(TpMaterialListAppendMaterial(&list_, m), 5);
    EXPECT_EQ(list_.capacity, 10);
    for (int i = 6; i < 10; i++)
        EXPECT_EQ(list_.materials[i], nullptr);
    EXPECT_EQ(m->refCount, 7);
    TpMaterialDestroy(m); // the list keeps it alive
    EXPECT_EQ(m->refCount, 6);
    TpMaterialListDeinitialise(&list_);
    EXPECT_EQ(list_.materials, nullptr);
    EXPECT_EQ(list_.count, 0);
}

TEST_F(MaterialTest, ReadSharesEarlierEntriesAndKeepsColours) {
    ASSERT_NE(Read({{{10, 20, 30, 40}, -1, ""}, {{}, 0, ""}, {{1, 2, 3, 255}, -1, ""}}), nullptr);
    ASSERT_EQ(list_.count, 3);
    EXPECT_EQ(list_.materials[0], list_.materials[1]);
    EXPECT_EQ(list_.materials[0]->refCount, 2); // both from the list
    EXPECT_EQ(list_.materials[2]->refCount, 1);
    EXPECT_EQ(list_.materials[0]->texture, nullptr); // textured flag 0 reads no texture
    const TpRGBA* c = TpMaterialGetColor(list_.materials[0]);
    EXPECT_EQ((std::vector<int>{c->red, c->green, c->blue, c->alpha}),
              (std::vector<int>{10, 20, 30, 40}));
    EXPECT_TRUE(TpMaterialIsTransparent(list_.materials[0]));
    EXPECT_FALSE(TpMaterialIsTransparent(list_.materials[2]));
}

TEST_F(MaterialTest, TexturedMaterialTakesTheTextureRead) {
    TvTextureReadCallBack saved = TvTextureGetReadCallBack();
    TvTextureSetReadCallBack(MakeTexture);
    ASSERT_NE(Read({{{255, 255, 255, 255}, -1, "rock"}}), nullptr);
    TvTextureSetReadCallBack(saved);
    ASSERT_EQ(list_.count, 1);
    ASSERT_NE(list_.materials[0]->texture, nullptr);
    EXPECT_EQ(list_.materials[0]->texture->refCount, 1u); // the material's reference alone
}

TEST_F(MaterialTest, DamagedListsReadNothing) {
    struct Case {
        const char* name;
        std::vector<MaterialRecord> materials;
    };
    // Entries that name themselves or a later entry have nothing to share.
    const Case cases[] = {{"self", {{{}, 0, ""}}}, {"later", {{{}, -1, ""}, {{}, 2, ""}}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Read(c.materials), nullptr);
        EXPECT_EQ(list_.count, 0);
        TvStreamClose(stream_, nullptr);
        stream_ = nullptr;
    }
    // A count larger than the struct chunk holds is refused before anything is allocated.
    ChunkWriter w;
    w.Begin(TV_ID_MATLIST).Begin(TV_ID_STRUCT).I32(1000000).I32(-1).End().End();
    EXPECT_EQ(ReadBytes(w.data()), nullptr);
    EXPECT_EQ(list_.count, 0);
}

TEST_F(MaterialTest, BadStructVersionIsRefused) {
    ChunkWriter w;
    w.Begin(TV_ID_MATLIST).Begin(TV_ID_STRUCT, 0x2FF).I32(0).End().End();
    EXPECT_EQ(ReadBytes(w.data()), nullptr);
    EXPECT_EQ(LastErrorCode(), E_TV_BADVERSION);
}

} // namespace
