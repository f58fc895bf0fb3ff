// Fixtures of the world modules (water, sky, tunnel, waterfalls, camera): object tests with a
// recorded texture reader and clumps of flat or listed geometry.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "engine/core/image.h"
#include "engine/core/raster.h"
#include "engine/core/texture.h"
#include "tests/game/objects/object_fixture.h"

// Texture reads answered with 4x4 rasters, recorded as "path|name|mask"; names in `missing`
// (as "path|name") are not found.
struct RecordedTextures {
    std::vector<std::string> reads;
    std::vector<std::string> missing;
};
inline RecordedTextures* gRecordedTextures = nullptr;

inline TvTexture* RecordedTextureRead(const char* name, const char* mask) {
    const std::string path = TvImageGetPath() ? TvImageGetPath() : "";
    RecordedTextures& r = *gRecordedTextures;
    r.reads.push_back(path + "|" + name + "|" + (mask ? mask : ""));
    for (const std::string& m : r.missing)
        if (m == path + "|" + name || m == std::string("*|") + name) return nullptr;
    TvTexture* t = TvTextureCreate(TvRasterCreate(4, 4, 0, kTvRasterTypeTexture));
    if (t) TvTextureSetName(t, name);
    return t;
}

class WorldModuleTest : public ObjectTest {
protected:
    void SetUp() override {
        ObjectTest::SetUp();
        gRecordedTextures = &textures_;
        savedRead_ = TvTextureGetReadCallBack();
        TvTextureSetReadCallBack(RecordedTextureRead);
        TvImageSetPath(".\\texture\\");
    }
    void TearDown() override {
        TvTextureSetReadCallBack(savedRead_);
        gRecordedTextures = nullptr;
        ObjectTest::TearDown();
    }

    // A clump whose one atomic has the given vertices and triangles (no material).
    static TpClump* ListedClump(const std::vector<TvV3d>& vertices,
                                const std::vector<std::array<uint16_t, 3>>& triangles) {
        TpClump* clump = TpClumpCreate();
        TvFrame* frame = TvFrameCreate();
        TpClumpSetFrame(clump, frame);
        TpGeometry* g = TpGeometryCreate(int32_t(vertices.size()), int32_t(triangles.size()),
                                         kTpGeometryTextured);
        TpMorphTarget* m = TpGeometryGetMorphTarget(g, 0);
        for (size_t i = 0; i < vertices.size(); i++)
            m->vertices[i] = vertices[i];
        for (size_t i = 0; i < triangles.size(); i++)
            g->triangles[i] = {{triangles[i][0], triangles[i][1], triangles[i][2]}, kTpNoMaterial};
        TvSphere s{};
        TpMorphTargetCalculateBoundingSphere(m, &s);
        TpMorphTargetSetBoundingSphere(m, &s);
        TpGeometryUnlock(g);
        TpAtomic* a = TpAtomicCreate();
        TpAtomicSetGeometry(a, g, 0);
        TpGeometryDestroy(g);
        TpAtomicSetFrame(a, frame);
        TpAtomicSetFlags(a, 5);
        TpClumpAddAtomic(clump, a);
        return clump;
    }

    // A flat square at height y, facing up, from -h to h in x and z.
    static TpClump* FlatClump(float y, float h) {
        return ListedClump({{-h, y, -h}, {-h, y, h}, {h, y, -h}, {h, y, h}},
                           {{0, 1, 2}, {2, 1, 3}});
    }

    RecordedTextures textures_;
    TvTextureReadCallBack savedRead_ = nullptr;
};
