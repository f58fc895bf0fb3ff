// Geometry: creation limits, mesh building on unlock, bounding spheres, reference counts, and
// the geometry chunk reader with good and damaged input.
#include <gtest/gtest.h>

#include <memory>

#include "engine/core/d3d/tristrip.h"
#include "engine/core/error.h"
#include "engine/core/stream.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "engine/world/world_plugin.h"
#include "tests/support/engine_checks.h"
#include "tests/support/world_writer.h"

namespace {

int g_builds = 0;
int32_t CountingBuild(void* out, void* in, int32_t flags) {
    g_builds++;
    return TvD3DBuildMeshes(out, in, flags);
}

class GeometryTest : public ::testing::Test {
protected:
    void SetUp() override { Restart(); }
    void TearDown() override {
        if (stream_) TvStreamClose(stream_, nullptr);
    }
    // A fresh engine, and with it a fresh error record.
    void Restart() {
        if (stream_) TvStreamClose(stream_, nullptr);
        stream_ = nullptr;
        engine_.reset();
        engine_ = std::make_unique<WorldEngine>();
        ASSERT_TRUE(engine_->ok());
        g_builds = 0;
        TV_ENGINE->standardFunctions[23] = CountingBuild;
    }
    TpGeometry* Read(const GeometryRecord& g) {
        ChunkWriter w;
        WriteGeometry(w, g);
        return ReadBytes(w.data());
    }
    TpGeometry* ReadBytes(const std::vector<uint8_t>& bytes) {
        if (stream_) TvStreamClose(stream_, nullptr);
        bytes_ = bytes;
        stream_ = OpenReadStream(bytes_);
        if (!stream_ || !TvStreamFindChunk(stream_, TV_ID_GEOMETRY, nullptr, nullptr))
            return nullptr;
        return TpGeometryStreamRead(stream_);
    }
    std::unique_ptr<WorldEngine> engine_;
    std::vector<uint8_t> bytes_;
    TvStream* stream_ = nullptr;
};

TEST_F(GeometryTest, CreateChecksItsCounts) {
    struct Case {
        int32_t vertices, triangles;
        uint32_t error; // 0: created
    };
    const Case cases[] = {{65535, 1, 0},
                          {0, 0, 0},
                          {65536, 0, E_TP_TOOMANYVERTICES},
                          {-1, 0, E_TV_INVALIDPARAM},
                          {3, -1, E_TV_INVALIDPARAM}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.vertices);
        Restart();
        TpGeometry* g = TpGeometryCreate(c.vertices, c.triangles, kTpGeometryNormals);
        if (c.error) {
            EXPECT_EQ(g, nullptr);
            EXPECT_EQ(LastErrorCode(), c.error);
            continue;
        }
        ASSERT_NE(g, nullptr);
        EXPECT_EQ(TpGeometryGetNumMorphTargets(g), 1);
        EXPECT_EQ(g->mesh, nullptr); // created as if locked
        if (c.triangles) {
            EXPECT_EQ(g->triangles[0].material, kTpNoMaterial);
        }
        if (c.vertices) {
            TpMorphTarget* t = TpGeometryGetMorphTarget(g, 0);
            EXPECT_EQ(TpMorphTargetGetNormals(t), TpMorphTargetGetVertices(t) + c.vertices);
        }
        TpGeometryDestroy(g);
    }
}

TEST_F(GeometryTest, UnlockBuildsTheMeshOnceUntilTrianglesAreLocked) {
    TpGeometry* g = TpGeometryCreate(3, 1, 0);
    ASSERT_NE(g, nullptr);
    g->triangles[0] = {{0, 1, 2}, kTpNoMaterial};
    ASSERT_EQ(TpGeometryUnlock(g), g);
    ASSERT_EQ(TpGeometryUnlock(g), g);
    EXPECT_EQ(g_builds, 1);
    ASSERT_NE(g->mesh, nullptr);
    EXPECT_EQ(g->mesh->numTriangles, 1u);
    TpGeometryLock(g, kTpLockVertices); // the triangles stand: the mesh stays
    EXPECT_NE(g->mesh, nullptr);
    TpGeometryLock(g, kTpLockPolygons);
    EXPECT_EQ(g->mesh, nullptr);
    TpGeometryUnlock(g);
    EXPECT_EQ(g_builds, 2);
    TpGeometryDestroy(g);
}

TEST_F(GeometryTest, BoundingSphereOfVertices) {
    struct Case {
        std::vector<TvV3d> vertices;
        TvSphere expected;
    };
    const Case cases[] = {{{{3, 4, 5}}, {{3, 4, 5}, 0.0f}},
                          {{{0, 0, 0}, {2, 0, 0}}, {{1, 0, 0}, 1.001f}},
                          {{{0, 0, 0}, {2, 0, 0}, {1, 0.5f, 0}}, {{1, 0.25f, 0}, 1.03183f}}};
    for (const Case& c : cases) {
        TpGeometry* g = TpGeometryCreate(int32_t(c.vertices.size()), 0, 0);
        ASSERT_NE(g, nullptr);
        TpMorphTarget* t = TpGeometryGetMorphTarget(g, 0);
        std::copy(c.vertices.begin(), c.vertices.end(), TpMorphTargetGetVertices(t));
        TvSphere s{};
        TpMorphTargetCalculateBoundingSphere(t, &s);
        EXPECT_FLOAT_EQ(s.center.x, c.expected.center.x);
        EXPECT_FLOAT_EQ(s.center.y, c.expected.center.y);
        EXPECT_NEAR(s.radius, c.expected.radius, 1e-3f);
        TpGeometryDestroy(g);
    }
}

TEST_F(GeometryTest, DestroyLowersTheCountUntilTheLastHolder) {
    TpGeometry* g = TpGeometryCreate(3, 0, 0);
    TpAtomic* a = TpAtomicCreate();
    TpAtomic* b = TpAtomicCreate();
    TpAtomicSetGeometry(a, g, 0);
    TpAtomicSetGeometry(b, g, 0);
    TpGeometryDestroy(g); // the creator's reference
    EXPECT_EQ(g->refCount, 2);
    TpAtomicDestroy(a);
    EXPECT_EQ(g->refCount, 1);
    EXPECT_EQ(TpAtomicGetGeometry(b), g);
    TpAtomicDestroy(b);
}

TEST_F(GeometryTest, ReadsEveryPartAndTakesMaterialReferences) {
    GeometryRecord r;
    r.flags = kTpGeometryPreLit | kTpGeometryTextured | kTpGeometryModulate | kTpGeometryNormals;
    r.numVertices = 3;
    r.preLight = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    r.texCoords = {0, 0.5f, 1, 0.5f, 1, 1};
    r.modulation = std::vector<uint8_t>(12, 200);
    r.triangles = {{0, 1, 2, 0}, {2, 1, 0, 0xFFFF}, {0, 2, 1, 1}};
    r.morphs = {
        {{1, 2, 3, 4}, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}}},
        {{5, 6, 7, 8}, {{0, 0, 2}, {1, 0, 2}, {0, 1, 2}}, {}}};
    r.surface = {0.5f, 0.25f, 0.75f};
    r.materials = {{{255, 0, 0, 255}, -1, ""}, {{0, 255, 0, 128}, -1, ""}};
    TpGeometry* g = Read(r);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->flags, r.flags);
    EXPECT_EQ(TpGeometryGetNumTriangles(g), 3);
    EXPECT_EQ(TpGeometryGetNumMorphTargets(g), 2);
    EXPECT_EQ(TpGeometryGetPreLightColors(g)[11], 12);
    EXPECT_FLOAT_EQ(TpGeometryGetTexCoords(g)[1].u, 1.0f);
    EXPECT_EQ(g->modulation[5], 200);
    EXPECT_FLOAT_EQ(g->surfaceProps[2], 0.75f);
    const TpTriangle& t = TpGeometryGetTriangles(g)[1];
    EXPECT_EQ((std::vector<int>{t.vertex[0], t.vertex[1], t.vertex[2]}),
              (std::vector<int>{2, 1, 0}));
    TpMorphTarget* m0 = TpGeometryGetMorphTarget(g, 0);
    TpMorphTarget* m1 = TpGeometryGetMorphTarget(g, 1);
    EXPECT_FLOAT_EQ(TpMorphTargetGetBoundingSphere(m1)->radius, 8.0f);
    EXPECT_FLOAT_EQ(TpMorphTargetGetVertices(m0)[1].x, 1.0f);
    EXPECT_FLOAT_EQ(TpMorphTargetGetNormals(m0)[2].z, 1.0f);
    EXPECT_FLOAT_EQ(TpMorphTargetGetVertices(m1)[2].z, 2.0f);
    EXPECT_EQ(TpGeometryGetMorphTarget(g, 2), nullptr);

    // A triangle with index -1 has no material and holds no reference; each other one holds one.
    TpMaterial* red = TpGeometryGetMaterial(g, 0);
    TpMaterial* green = TpGeometryGetMaterial(g, 1);
    EXPECT_EQ(TpGeometryGetTriangleMaterial(g, 0), red);
    EXPECT_EQ(TpGeometryGetTriangleMaterial(g, 1), nullptr);
    EXPECT_EQ(red->refCount, 2);
    EXPECT_EQ(green->refCount, 2);
    EXPECT_EQ(TpGeometryGetMaterial(g, 2), nullptr);
    EXPECT_EQ(LastErrorCode(), E_TP_INDEXRANGE);
    // One mesh per material, the translucent one last.
    ASSERT_NE(g->mesh, nullptr);
    ASSERT_EQ(g->mesh->numMeshes, 3);
    TvD3DMesh* last = TvD3DMeshNext(g->mesh, TvD3DMeshNext(g->mesh, TvD3DMeshFirst(g->mesh)));
    EXPECT_EQ(last->material, green);

    TpMaterialAddRef(red); // a holder outside the geometry keeps it alive
    TpGeometryDestroy(g);
    EXPECT_EQ(red->refCount, 1);
    TpMaterialDestroy(red);
}

TEST_F(GeometryTest, MaterialIndexPastTheListDrawsWithoutMaterial) {
    GeometryRecord r = LineGeometry(3, 1);
    r.triangles[0].material = 7;
    r.materials = {{{1, 1, 1, 255}, -1, ""}};
    TpGeometry* g = Read(r);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(TpGeometryGetTriangleMaterial(g, 0), nullptr);
    EXPECT_EQ(TpGeometryGetMaterial(g, 0)->refCount, 1);
    EXPECT_EQ(TvD3DMeshFirst(g->mesh)->material, nullptr);
    TpGeometryDestroy(g);
}

// Every triangle holds a reference on its material: 40,000 of them on one material must not
// wrap its count, or destroying the geometry frees the material many times over.
TEST_F(GeometryTest, ManyTrianglesOnOneMaterialKeepItsCountWhole) {
    GeometryRecord r = LineGeometry(3, 40000);
    for (auto& t : r.triangles)
        t.material = 0;
    r.materials = {{{1, 2, 3, 255}, -1, ""}};
    TpGeometry* g = Read(r);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(TpGeometryGetMaterial(g, 0)->refCount, 40001);
    TpGeometryDestroy(g);
    TpMaterial* a = TpMaterialCreate();
    TpMaterial* b = TpMaterialCreate();
    ASSERT_TRUE(a && b);
    EXPECT_NE(a, b);
    TpMaterialDestroy(a);
    TpMaterialDestroy(b);
}

TEST_F(GeometryTest, NormalsStoredWithoutTheNormalsFlagAreSkipped) {
    GeometryRecord r = LineGeometry(2, 0);
    r.morphs[0].normals = {{0, 0, 1}, {0, 0, 1}};
    r.morphs.push_back({{9, 9, 9, 9}, {{5, 0, 0}, {6, 0, 0}}, {}});
    TpGeometry* g = Read(r);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(TpMorphTargetGetNormals(TpGeometryGetMorphTarget(g, 0)), nullptr);
    EXPECT_FLOAT_EQ(TpMorphTargetGetVertices(TpGeometryGetMorphTarget(g, 1))[1].x, 6.0f);
    TpGeometryDestroy(g);
}

// Morph-target counts reserve nothing the chunk does not hold: more than 256 targets are
// refused, a target must have its stored vertices in the chunk before its block is made, and
// a target that stores none gets a zeroed block.
TEST_F(GeometryTest, MorphTargetsAreBoundedByTheChunk) {
    auto declared = [](int32_t targets, uint32_t hasVertices) {
        ChunkWriter w;
        w.Begin(TV_ID_GEOMETRY).Begin(TV_ID_STRUCT).U32(0).I32(0).I32(65535).I32(targets);
        w.F32(1).F32(1).F32(1).End();
        for (int32_t i = 0; i < targets; i++)
            w.F32(0).F32(0).F32(0).F32(1).U32(hasVertices).U32(0);
        return w.End().data();
    };
    EXPECT_EQ(ReadBytes(declared(3000, 0)), nullptr);
    EXPECT_EQ(LastErrorCode(), E_TV_INVALIDPARAM);
    Restart();
    EXPECT_EQ(ReadBytes(declared(256, 1)), nullptr);
    EXPECT_EQ(LastErrorCode(), E_TV_ENDOFSTREAM);

    Restart();
    GeometryRecord r = LineGeometry(3, 1);
    r.morphs.push_back({{0, 0, 0, 2}, {}, {}});
    TpGeometry* g = Read(r);
    ASSERT_NE(g, nullptr);
    ASSERT_EQ(TpGeometryGetNumMorphTargets(g), 2);
    const TvV3d* v = TpMorphTargetGetVertices(TpGeometryGetMorphTarget(g, 1));
    for (int i = 0; i < 3; i++)
        EXPECT_TRUE(v[i].x == 0 && v[i].y == 0 && v[i].z == 0) << i;
    TpGeometryDestroy(g);
}

TEST_F(GeometryTest, DamagedChunksReadNothing) {
    struct Case {
        const char* name;
        GeometryRecord record;
        uint32_t error;
    };
    GeometryRecord badVertex = LineGeometry(3, 1);
    badVertex.triangles[0].v3 = 3;
    GeometryRecord noVertices = LineGeometry(0, 0);
    noVertices.triangles = {{0, 0, 0, 0xFFFF}};
    GeometryRecord shortArrays = LineGeometry(3, 1);
    shortArrays.flags = kTpGeometryPreLit | kTpGeometryTextured | kTpGeometryModulate; // unwritten
    GeometryRecord shortMorph = LineGeometry(3, 0);
    shortMorph.morphs[0].vertices.pop_back();
    GeometryRecord badMaterial = LineGeometry(3, 1);
    badMaterial.materials = {{{}, 3, ""}};
    const Case cases[] = {{"vertex index", badVertex, E_TV_INVALIDPARAM},
                          {"triangles without vertices", noVertices, E_TV_INVALIDPARAM},
                          {"arrays past the chunk", shortArrays, E_TV_ENDOFSTREAM},
                          {"morph target past the chunk", shortMorph, E_TV_ENDOFSTREAM},
                          {"material entry", badMaterial, E_TV_INVALIDPARAM}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Restart();
        EXPECT_EQ(Read(c.record), nullptr);
        EXPECT_EQ(LastErrorCode(), c.error);
    }
    Restart();
    ChunkWriter w;
    w.Begin(TV_ID_GEOMETRY).Begin(TV_ID_STRUCT, 0x302).U32(0).End().End();
    EXPECT_EQ(ReadBytes(w.data()), nullptr);
    EXPECT_EQ(LastErrorCode(), E_TV_BADVERSION);
}

} // namespace
