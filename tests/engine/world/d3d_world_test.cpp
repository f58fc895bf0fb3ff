// Direct3D world pipeline: atomics drawn through the default pipe on the null device, their
// colours by material and pre-light colours, morph interpolation into the instanced vertices,
// and the skip flag.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "engine/core/camera.h"
#include "engine/core/d3d/d3dpipe.h"
#include "engine/core/d3d/tristrip.h"
#include "engine/core/engine.h"
#include "engine/core/im2d.h"
#include "engine/core/memory.h"
#include "engine/core/raster.h"
#include "engine/core/resources.h"
#include "engine/world/clump.h"
#include "engine/world/d3d_world.h"
#include "engine/world/geometry.h"
#include "engine/world/light.h"
#include "engine/world/material.h"
#include "engine/world/world.h"
#include "engine/world/world_plugin.h"
#include "tests/support/world_writer.h"

namespace {

std::vector<std::vector<TvIm2DVertex>> g_triangles;
int32_t RecordIndexed(int32_t type, TvIm2DVertex* v, int32_t, uint16_t* idx, int32_t n) {
    if (type != kTvPrimitiveTriangleList) return 1;
    for (int32_t i = 0; i + 2 < n; i += 3)
        g_triangles.push_back({v[idx[i]], v[idx[i + 1]], v[idx[i + 2]]});
    return 1;
}

class D3DWorldTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(engine_.ok());
        g_triangles.clear();
        arena_.resize(1 << 16);
        TvResourcesArenaMemory = arena_.data();
        TvResourcesSetArenaSize(arena_.size());
        TV_ENGINE->deviceRecord.im2DIndexedPrimitive = RecordIndexed;
        camera_ = TvCameraCreate();
        frame_ = TvFrameCreate();
        fb_ = TvRasterCreate(200, 100, 0, kTvRasterTypeCamera);
        TvCameraSetFrame(camera_, frame_);
        TvCameraSetRaster(camera_, fb_);
        TvCameraSetNearClipPlane(camera_, 1.0f);
        TvCameraSetFarClipPlane(camera_, 100.0f);
    }
    void TearDown() override {
        DestroyWorld();
        TpD3DWorldSetLightingOff(false);
        if (atomic_) TpAtomicDestroy(atomic_);
        if (atomicFrame_) TvFrameDestroy(atomicFrame_);
        TvObjectHasFrameReleaseFrame(&camera_->object);
        TvFrameDestroy(frame_);
        TvRasterDestroy(fb_);
        TvResourcesSetArenaSize(0);
        TvResourcesArenaMemory = nullptr;
        TpD3DWorldSetSkipDrawing(false);
    }
    // An atomic 10 units in front of the camera: a triangle given in both windings (one faces
    // the camera), pre-lit, with one material; optionally a second morph target moved by `shift`.
    void MakeAtomic(TpRGBA material, float shift = 0, uint8_t flags = kTpGeometryPreLit) {
        TpGeometry* g = TpGeometryCreate(3, 2, flags);
        const TvV3d v[3] = {{-1, -1, 10}, {1, -1, 10}, {0, 1, 10}};
        std::copy(v, v + 3, TpGeometryGetMorphTarget(g, 0)->vertices);
        if (shift != 0) {
            const int32_t t = TpGeometryAddMorphTarget(g);
            for (int i = 0; i < 3; i++)
                TpGeometryGetMorphTarget(g, t)->vertices[i] = {v[i].x + shift, v[i].y, v[i].z};
        }
        const uint8_t pre[4] = {200, 100, 50, 255};
        for (int i = 0; i < 3; i++)
            std::copy(pre, pre + 4, TpGeometryGetPreLightColors(g) + 4 * i);
        const uint8_t mod[4] = {128, 255, 0, 128};
        for (int i = 0; g->modulation && i < 3; i++)
            std::copy(mod, mod + 4, g->modulation + 4 * i);
        AppendColouredMaterial(&g->materials, material);
        g->triangles[0] = {{0, 1, 2}, 0};
        g->triangles[1] = {{0, 2, 1}, 0};
        Adopt(g);
    }
    // The atomic of a finished geometry, on a frame of its own.
    void Adopt(TpGeometry* g) { atomic_ = AtomicOnOwnFrame(g, &atomicFrame_); }
    void Render() {
        ASSERT_NE(TvCameraBeginUpdate(camera_), nullptr);
        TpAtomicRender(atomic_);
        TvCameraEndUpdate(camera_);
    }
    // A one-leaf world holding the camera and an ambient light of 0.2. The leaf holds the
    // triangle of MakeAtomic, pre-lit the same, with one material of `material`.
    void MakeWorld(TpRGBA material) {
        world_ = _TpWorldInitialise(
            static_cast<TpWorld*>(TvMalloc(size_t(TpWorldRegistry.sizeOfStruct))));
        TpWorldSetFlags(world_, kTpGeometryPreLit);
        AppendColouredMaterial(&world_->materials, material);
        leaf_ = _TpWorldSectorInitialise(
            static_cast<TpWorldSector*>(TvMalloc(size_t(TpWorldSectorRegistry.sizeOfStruct))));
        leaf_->boundingBox = {{100, 100, 100}, {0, 0, 0}};
        leaf_->numVertices = 3;
        leaf_->numTriangles = 2;
        leaf_->vertices = static_cast<TvV3d*>(TvMalloc(3 * sizeof(TvV3d)));
        const TvV3d v[3] = {{-1, -1, 10}, {1, -1, 10}, {0, 1, 10}};
        std::copy(v, v + 3, leaf_->vertices);
        leaf_->preLight = static_cast<uint8_t*>(TvMalloc(12));
        const uint8_t pre[4] = {200, 100, 50, 255};
        for (int i = 0; i < 3; i++)
            std::copy(pre, pre + 4, leaf_->preLight + 4 * i);
        const TvD3DMeshTriangle tris[2] = {{{0, 1, 2}, 0, world_->materials.materials[0]},
                                           {{0, 2, 1}, 0, world_->materials.materials[0]}};
        TvD3DMeshWorldData meshWorld{};
        TvD3DMeshSource source{tris, 2, &meshWorld};
        ASSERT_EQ(TvD3DBuildMeshes(&leaf_->mesh, &source, 0), 1);
        world_->root = reinterpret_cast<TpSector*>(leaf_);
        ASSERT_TRUE(_TpWorldEnter(world_, 0));
        TpWorldAddCamera(world_, camera_);
        light_ = TpLightCreate(kTpLightAmbient);
        TpLightSetColor(light_, 0.2f, 0.2f, 0.2f, 1.0f);
        TpWorldAddLight(world_, light_);
    }
    void DestroyWorld() {
        if (!world_) return;
        if (atomic_ && TpAtomicGetWorld(atomic_)) TpWorldRemoveAtomic(world_, atomic_);
        TpWorldRemoveLight(world_, light_);
        TpLightDestroy(light_);
        TpWorldRemoveCamera(world_, camera_);
        TpWorldDestroy(world_);
        world_ = nullptr;
    }
    const TpD3DWorldInstance* Instance() {
        return atomic_->instancedData
                   ? static_cast<const TpD3DWorldInstance*>(TvResEntryData(atomic_->instancedData))
                   : nullptr;
    }
    WorldEngine engine_;
    std::vector<uint8_t> arena_;
    TvCamera* camera_ = nullptr;
    TvFrame* frame_ = nullptr;
    TvRaster* fb_ = nullptr;
    TpAtomic* atomic_ = nullptr;
    TvFrame* atomicFrame_ = nullptr;
    TpWorld* world_ = nullptr;
    TpWorldSector* leaf_ = nullptr;
    TpLight* light_ = nullptr;
};

TEST_F(D3DWorldTest, VertexColoursComeFromPreLightAndMaterial) {
    struct Case {
        TpRGBA material;
        uint32_t colour;
    };
    const Case cases[] = {
        {{255, 255, 255, 255}, 0xFFC86432u}, // opaque white: the pre-light colour as it is
        {{255, 128, 0, 255}, 0xFFC83200u},   // each channel scaled by the material's
        {{255, 255, 255, 64}, 0x40C86432u},  // alpha from the material
    };
    for (const Case& c : cases) {
        g_triangles.clear();
        MakeAtomic(c.material);
        Render();
        ASSERT_EQ(g_triangles.size(), 1u);
        for (const TvIm2DVertex& v : g_triangles[0])
            EXPECT_EQ(v.colour, c.colour) << std::hex << c.colour;
        TpAtomicDestroy(atomic_);
        TvFrameDestroy(atomicFrame_);
        atomic_ = nullptr;
        atomicFrame_ = nullptr;
    }
}

// A white group sharing its vertices with a coloured group drawn before it gives them back their
// plain colour (a white and blue checker floor).
TEST_F(D3DWorldTest, WhiteGroupSharingVerticesWithAColouredOneKeepsItsOwnColour) {
    TpGeometry* g = TpGeometryCreate(3, 4, kTpGeometryPreLit);
    const TvV3d v[3] = {{-1, -1, 10}, {1, -1, 10}, {0, 1, 10}};
    std::copy(v, v + 3, TpGeometryGetMorphTarget(g, 0)->vertices);
    const uint8_t pre[4] = {200, 100, 50, 255};
    for (int i = 0; i < 3; i++)
        std::copy(pre, pre + 4, TpGeometryGetPreLightColors(g) + 4 * i);
    for (TpRGBA colour : {TpRGBA{0, 0, 255, 255}, TpRGBA{255, 255, 255, 255}})
        AppendColouredMaterial(&g->materials, colour);
    // Each material's triangle in both windings, over the same three vertices.
    g->triangles[0] = {{0, 1, 2}, 0};
    g->triangles[1] = {{0, 2, 1}, 0};
    g->triangles[2] = {{0, 1, 2}, 1};
    g->triangles[3] = {{0, 2, 1}, 1};
    Adopt(g);
    Render();
    ASSERT_EQ(g_triangles.size(), 2u);
    const uint32_t expected[2] = {0xFF000032u, 0xFFC86432u}; // blue group, then white
    for (int t = 0; t < 2; t++)
        for (const TvIm2DVertex& vertex : g_triangles[size_t(t)])
            EXPECT_EQ(vertex.colour, expected[t]) << "group " << t;
}

// Modulation colours replace the material's: each channel scales the vertex colour.
TEST_F(D3DWorldTest, ModulationColoursScaleEachVertex) {
    MakeAtomic({255, 0, 0, 255}, 0, kTpGeometryPreLit | kTpGeometryModulate);
    Render();
    ASSERT_EQ(g_triangles.size(), 1u);
    for (const TvIm2DVertex& v : g_triangles[0])
        EXPECT_EQ(v.colour, 0x80646400u); // 200 x 128 / 255, 100 x 255 / 255, 0; alpha 128
}

TEST_F(D3DWorldTest, MorphTargetsBlendIntoTheInstancedVertices) {
    MakeAtomic({255, 255, 255, 255}, 4.0f);
    TpInterpolator* in = TpAtomicGetInterpolator(atomic_);
    TpInterpolatorSetStartMorphTarget(in, 0);
    TpInterpolatorSetEndMorphTarget(in, 1);
    TpInterpolatorSetDuration(in, 2.0f);
    struct Step {
        float position;
        float x0;
    };
    const Step steps[] = {{0.5f, 0.0f}, {1.0f, 1.0f}, {2.0f, 3.0f}};
    const TpD3DWorldInstance* first = nullptr;
    for (const Step& s : steps) {
        TpInterpolatorSetPosition(in, s.position);
        Render();
        const TpD3DWorldInstance* inst = Instance();
        ASSERT_NE(inst, nullptr);
        if (!first) first = inst;
        EXPECT_EQ(inst, first); // the entry is reused while the mesh and layout stay
        EXPECT_FLOAT_EQ(inst->vertices[0].position.x, s.x0) << s.position;
        EXPECT_EQ(g_triangles.size(), 1u);
        g_triangles.clear();
    }
}

// With drawing skipped (or a drawing stage of its own) the batch's colours are still finished.
TEST_F(D3DWorldTest, SkipFlagDrawsNothingButColoursTheBatch) {
    MakeAtomic({255, 128, 0, 255});
    TpD3DWorldSetSkipDrawing(true);
    Render();
    EXPECT_TRUE(g_triangles.empty());
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(TvD3DIm3D.device[i].colour, 0xFFC83200u) << i;
}

// Atomics take lights with flag bit 0 and sectors those with bit 1, unless lighting is off.
TEST_F(D3DWorldTest, LightsOfTheCurrentWorldAddToLitAtomicsAndSectors) {
    MakeWorld({255, 255, 255, 255});
    MakeAtomic({255, 255, 255, 255}, 0, kTpGeometryPreLit | kTpGeometryLight);
    TpWorldAddAtomic(world_, atomic_);
    constexpr uint32_t kLit = 0xFFFB9765u, kUnlit = 0xFFC86432u; // 200, 100, 50 (+ 51 each)
    struct Case {
        uint8_t lightFlags;
        bool lightingOff;
        uint32_t atomic, sector;
    };
    const Case cases[] = {
        {kTpLightAtomics, false, kLit, kUnlit},
        {kTpLightWorld, false, kUnlit, kLit},
        {kTpLightAtomics | kTpLightWorld, true, kUnlit, kUnlit},
    };
    for (const Case& c : cases) {
        TpLightSetFlags(light_, c.lightFlags);
        TpD3DWorldSetLightingOff(c.lightingOff);
        g_triangles.clear();
        Render();
        ASSERT_EQ(g_triangles.size(), 1u);
        EXPECT_EQ(g_triangles[0][0].colour, c.atomic) << int(c.lightFlags);
        g_triangles.clear();
        ASSERT_NE(TvCameraBeginUpdate(camera_), nullptr);
        TpWorldSectorRender(leaf_);
        TvCameraEndUpdate(camera_);
        ASSERT_EQ(g_triangles.size(), 1u);
        EXPECT_EQ(g_triangles[0][0].colour, c.sector) << int(c.lightFlags);
    }
}

TEST_F(D3DWorldTest, SectorColoursTakeTheirMaterial) {
    MakeWorld({255, 128, 0, 255});
    TpLightSetFlags(light_, 0);
    ASSERT_NE(TvCameraBeginUpdate(camera_), nullptr);
    TpWorldSectorRender(leaf_);
    TvCameraEndUpdate(camera_);
    ASSERT_EQ(g_triangles.size(), 1u);
    EXPECT_EQ(g_triangles[0][0].colour, 0xFFC83200u);
    ASSERT_NE(leaf_->instancedData, nullptr);
}

} // namespace
