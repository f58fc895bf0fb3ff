// Intersection queries on a two-leaf world read from a chunk: lines, spheres and boxes against
// the leaves' triangles, sector walks, atomics tied to several sectors, and atomic triangles.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "engine/core/error.h"
#include "engine/core/frame.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "engine/world/intersect.h"
#include "engine/world/world.h"
#include "engine/world/world_plugin.h"
#include "tests/support/engine_checks.h"
#include "tests/support/world_stream_writer.h"

namespace {

struct Hit {
    TpWorldSector* sector;
    int32_t index;
    float distance;
    const void* object;
};

struct Hits {
    std::vector<Hit> hits;
    size_t stopAfter = 1000;
};

TpCollisionTriangle* OnTriangle(TpIntersection*, TpWorldSector* sector, TpCollisionTriangle* t,
                                float distance, void* data) {
    auto* h = static_cast<Hits*>(data);
    h->hits.push_back({sector, t->index, distance, nullptr});
    return h->hits.size() < h->stopAfter ? t : nullptr;
}
TpWorldSector* OnSector(TpIntersection*, TpWorldSector* sector, void* data) {
    static_cast<Hits*>(data)->hits.push_back({sector, 0, 0, nullptr});
    return sector;
}
TpAtomic* OnAtomic(TpIntersection*, TpWorldSector* sector, TpAtomic* atomic, float distance,
                   void* data) {
    static_cast<Hits*>(data)->hits.push_back({sector, 0, distance, atomic});
    return atomic;
}
TpCollisionTriangle* OnAtomicTriangle(TpIntersection*, TpCollisionTriangle* t, float distance,
                                      void* data) {
    static_cast<Hits*>(data)->hits.push_back({nullptr, t->index, distance, t});
    return t;
}

// A quad of two triangles facing +z on the plane z = `z` between `x0` and `x1` (y 0 to 10),
// both held at the single node of its collision tree.
LeafRecord Quad(float x0, float x1, float z) {
    LeafRecord l;
    l.vertices = {{x0, 0, z}, {x1, 0, z}, {x1, 10, z}, {x0, 10, z}};
    l.triangles = {{0, 0, 1, 2}, {0, 0, 2, 3}};
    l.collisionTree = SingleNodeTree(2);
    return l;
}

TpIntersection Line(TvV3d a, TvV3d b) {
    TpIntersection i{};
    i.t.line = {a, b};
    i.type = kTpIntersectLine;
    return i;
}
TpIntersection Sphere(TvV3d c, float r) {
    TpIntersection i{};
    i.t.sphere = {c, r};
    i.type = kTpIntersectSphere;
    return i;
}

// Split on x at 5: the left leaf's quad lies at z = 1, the right leaf's at z = 2.
TpWorld* TwoQuadWorld() {
    WorldRecord w;
    w.root = PlaneNode(0, 5, 5, 5, LeafNode(Quad(0, 5, 1)), LeafNode(Quad(5, 9, 2)));
    return ReadWorldChunk(WorldBytes(w));
}

class IntersectTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(engine_.ok());
        world_ = TwoQuadWorld();
        ASSERT_NE(world_, nullptr);
        auto* plane = reinterpret_cast<TpPlaneSector*>(world_->root);
        left_ = reinterpret_cast<TpWorldSector*>(plane->leftChild);
        right_ = reinterpret_cast<TpWorldSector*>(plane->rightChild);
    }
    void TearDown() override {
        for (TpAtomic* a : atomics_) {
            TpWorldRemoveAtomic(world_, a);
            TvFrame* f = a->object.frame;
            TpAtomicDestroy(a);
            TvFrameDestroy(f);
        }
        if (world_) TpWorldDestroy(world_);
    }
    // An atomic of radius `r` at `at` in the world; with `triangle`, its geometry holds one
    // triangle facing +z in its frame: (0,0,0), (1,0,0), (0,1,0).
    TpAtomic* AtomicAt(TvV3d at, float r, bool collision = true, bool triangle = false) {
        TvFrame* f = TvFrameCreate();
        TvFrameTranslate(f, &at, kTvCombineReplace);
        TpAtomic* a = TpAtomicCreate();
        TpGeometry* g = TpGeometryCreate(3, triangle ? 1 : 0, 0);
        TpMorphTarget* m = TpGeometryGetMorphTarget(g, 0);
        const TvSphere s{{0, 0, 0}, r};
        TpMorphTargetSetBoundingSphere(m, &s);
        if (triangle) {
            m->vertices[0] = {0, 0, 0};
            m->vertices[1] = {1, 0, 0};
            m->vertices[2] = {0, 1, 0};
            g->triangles[0] = {{0, 1, 2}, kTpNoMaterial};
        }
        TpAtomicSetGeometry(a, g, 0);
        TpGeometryDestroy(g);
        TpAtomicSetFrame(a, f);
        TpAtomicSetFlags(a, collision ? kTpAtomicCollisionTest : 0);
        TpWorldAddAtomic(world_, a);
        atomics_.push_back(a);
        TvFrameSyncDirty();
        return a;
    }

    WorldEngine engine_;
    TpWorld* world_ = nullptr;
    TpWorldSector* left_ = nullptr;
    TpWorldSector* right_ = nullptr;
    std::vector<TpAtomic*> atomics_;
};

TEST_F(IntersectTest, LineHitsFrontFacesNearerSectorFirst) {
    // Down through the right quad at a third of the way, then the left one at two thirds.
    TpIntersection line = Line({8, 5, 3}, {2, 5, 0});
    Hits h;
    EXPECT_EQ(TpWorldForAllTriangleIntersections(world_, &line, OnTriangle, &h), world_);
    ASSERT_EQ(h.hits.size(), 2u);
    EXPECT_EQ(h.hits[0].sector, right_);
    EXPECT_NEAR(h.hits[0].distance, 1.0f / 3, 1e-5);
    EXPECT_EQ(h.hits[1].sector, left_);
    EXPECT_NEAR(h.hits[1].distance, 2.0f / 3, 1e-5);

    // A callback returning null ends the query.
    Hits first;
    first.stopAfter = 1;
    TpWorldForAllTriangleIntersections(world_, &line, OnTriangle, &first);
    EXPECT_EQ(first.hits.size(), 1u);

    // From behind, or stopping short of the quad, nothing is hit.
    for (TpIntersection miss : {Line({2, 5, 0}, {2, 5, 3}), Line({2, 5, 3}, {2, 5, 1.5f})}) {
        Hits none;
        TpWorldForAllTriangleIntersections(world_, &miss, OnTriangle, &none);
        EXPECT_TRUE(none.hits.empty());
    }
}

TEST_F(IntersectTest, SphereAndBoxAgainstTriangles) {
    // Half a radius above the left quad, reaching across its diagonal: both triangles.
    TpIntersection sphere = Sphere({2, 5, 1.5f}, 1);
    Hits h;
    TpWorldForAllTriangleIntersections(world_, &sphere, OnTriangle, &h);
    ASSERT_EQ(h.hits.size(), 2u);
    for (const Hit& hit : h.hits) {
        EXPECT_EQ(hit.sector, left_);
        EXPECT_NEAR(hit.distance, 0.5f, 1e-5);
    }
    Hits above;
    TpIntersection high = Sphere({2, 5, 2.5f}, 1);
    TpWorldForAllTriangleIntersections(world_, &high, OnTriangle, &above);
    EXPECT_TRUE(above.hits.empty());

    // A box around a corner of the first triangle only.
    TpIntersection box{};
    box.type = kTpIntersectBox;
    box.t.box = {{4.9f, 0.5f, 1.5f}, {4.5f, 0.1f, 0.5f}};
    Hits boxed;
    TpWorldForAllTriangleIntersections(world_, &box, OnTriangle, &boxed);
    ASSERT_EQ(boxed.hits.size(), 1u);
    EXPECT_EQ(boxed.hits[0].index, 0);
}

// One leaf holding a strip of four quads along x (x 0 to 20, y 0 to 10, at z = 1) whose
// collision tree splits on x at 10, then at 5 and at 15, each quad's two triangles held at one
// of the four end nodes: queries must walk down through the split nodes to find them.
TEST(IntersectTreeTest, LinesAndSpheresWalkThroughSplitNodes) {
    WorldEngine engine;
    ASSERT_TRUE(engine.ok());
    LeafRecord strip;
    for (int i = 0; i <= 4; i++) {
        strip.vertices.push_back({5.0f * float(i), 0, 1});  // vertex 2i
        strip.vertices.push_back({5.0f * float(i), 10, 1}); // vertex 2i + 1
    }
    for (uint8_t k = 0; k < 4; k++) {
        const uint8_t a = uint8_t(2 * k), b = uint8_t(2 * k + 2), c = uint8_t(2 * k + 3),
                      d = uint8_t(2 * k + 1);
        strip.triangles.push_back({0, a, b, c}); // triangle 2k: below the diagonal
        strip.triangles.push_back({0, a, c, d}); // triangle 2k + 1
    }
    // Nodes 1 to 7 (node 0 unused): split nodes name the vertex whose x is the split value.
    strip.collisionTree = {0, 0, 0, 0x80, 4, 0, 0x80, 2, 0, 0x80, 6, 0,
                           2, 0, 0, 2,    0, 2, 2,    0, 4, 2,    0, 6};
    WorldRecord w;
    w.root = LeafNode(strip);
    TpWorld* world = ReadWorldChunk(WorldBytes(w));
    ASSERT_NE(world, nullptr);

    auto indices = [&](TpIntersection query) {
        Hits h;
        EXPECT_EQ(TpWorldForAllTriangleIntersections(world, &query, OnTriangle, &h), world);
        std::vector<int32_t> out;
        for (const Hit& hit : h.hits)
            out.push_back(hit.index);
        std::sort(out.begin(), out.end());
        return out;
    };
    // Down across the whole strip, meeting z = 1 at x 12.67 (third quad, lower triangle).
    EXPECT_EQ(indices(Line({2, 5, 3}, {18, 5, 0})), std::vector<int32_t>{4});
    EXPECT_EQ(indices(Line({1, 5, 3}, {4, 5, 0})), std::vector<int32_t>{0});
    // Inside the third quad; across the split at 10 (both sides of the first split node).
    EXPECT_EQ(indices(Sphere({12, 5, 1.5f}, 1)), (std::vector<int32_t>{4, 5}));
    EXPECT_EQ(indices(Sphere({10, 5, 1.5f}, 1)), (std::vector<int32_t>{2, 5}));
    TpWorldDestroy(world);
}

TEST(IntersectRefusalTest, RefusedQueriesReportTheirError) {
    struct Case {
        const char* name;
        TpIntersection query;
        int kind; // 0 triangles, 1 sectors, 2 atomics
        uint32_t error;
    };
    TpIntersection point{};
    point.type = kTpIntersectPoint;
    TpIntersection below{};
    below.type = kTpIntersectBox;
    below.t.box = {{3, 3, 3}, {1, -1, 1}};
    TpIntersection box = below;
    box.t.box.inf.y = 1;
    const Case cases[] = {
        {"point against triangles", point, 0, E_TP_INTERSECTIONTYPE},
        {"box reaching below zero", below, 0, E_TP_LIGHTBELOWZERO},
        {"box against sectors", box, 1, E_TP_INTERSECTIONTYPE},
        {"negative sphere radius", Sphere({1, 1, 1}, -1), 1, E_TV_INVALIDPARAM},
        {"box against atomics", box, 2, E_TP_INTERSECTIONTYPE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WorldEngine engine; // a fresh error record per case
        ASSERT_TRUE(engine.ok());
        TpWorld* world = TwoQuadWorld();
        ASSERT_NE(world, nullptr);
        TpIntersection q = c.query;
        Hits h;
        const TpWorld* result =
            c.kind == 0   ? TpWorldForAllTriangleIntersections(world, &q, OnTriangle, &h)
            : c.kind == 1 ? TpWorldForAllSectorIntersections(world, &q, OnSector, &h)
                          : TpWorldForAllAtomicIntersections(world, &q, OnAtomic, &h);
        EXPECT_EQ(result, nullptr);
        EXPECT_EQ(LastErrorCode(), c.error);
        EXPECT_TRUE(h.hits.empty());
        TpWorldDestroy(world);
    }
}

TEST_F(IntersectTest, SectorsReachedByLinePointAndSphere) {
    Hits line;
    TpIntersection across = Line({8, 5, 3}, {2, 5, 0});
    TpWorldForAllSectorIntersections(world_, &across, OnSector, &line);
    ASSERT_EQ(line.hits.size(), 2u);
    EXPECT_EQ(line.hits[0].sector, right_);
    EXPECT_EQ(line.hits[1].sector, left_);

    Hits inLeft;
    TpIntersection point{};
    point.type = kTpIntersectPoint;
    point.t.point = {1, 1, 1};
    TpWorldForAllSectorIntersections(world_, &point, OnSector, &inLeft);
    ASSERT_EQ(inLeft.hits.size(), 1u);
    EXPECT_EQ(inLeft.hits[0].sector, left_);

    Hits near;
    TpIntersection sphere = Sphere({7, 5, 1}, 1);
    TpWorldForAllSectorIntersections(world_, &sphere, OnSector, &near);
    ASSERT_EQ(near.hits.size(), 1u);
    EXPECT_EQ(near.hits[0].sector, right_);
}

TEST_F(IntersectTest, AtomicsReportedOnceWithTheirDistance) {
    TpAtomic* straddling = AtomicAt({5, 5, 5}, 1);
    AtomicAt({4, 5, 7}, 1, false); // within reach, but not a collision atomic: never reported

    // A sphere reaching both leaves meets the straddling atomic once.
    Hits h;
    TpIntersection sphere = Sphere({5, 5, 6}, 2);
    TpWorldForAllAtomicIntersections(world_, &sphere, OnAtomic, &h);
    ASSERT_EQ(h.hits.size(), 1u);
    EXPECT_EQ(h.hits[0].object, straddling);
    EXPECT_NEAR(h.hits[0].distance, 1.0f / 3, 1e-5);

    // A line starting inside the sphere, past its centre: a negative distance.
    Hits inside;
    TpIntersection line = Line({5, 5, 5.5f}, {5, 5, 9.5f});
    TpWorldForAllAtomicIntersections(world_, &line, OnAtomic, &inside);
    ASSERT_EQ(inside.hits.size(), 1u);
    EXPECT_NEAR(inside.hits[0].distance, -0.125f, 1e-5);

    // An atomic query skips the querying atomic itself.
    TpAtomic* other = AtomicAt({6, 5, 5}, 0.5f);
    Hits byAtomic;
    TpIntersection query{};
    query.type = kTpIntersectAtomic;
    query.t.atomic = other;
    TpWorldForAllAtomicIntersections(world_, &query, OnAtomic, &byAtomic);
    ASSERT_EQ(byAtomic.hits.size(), 1u);
    EXPECT_EQ(byAtomic.hits[0].object, straddling);

    // After 65536 more queries the 16-bit query stamp comes round to the one the atomics
    // keep from the last query that met them: they are met all the same.
    Hits before, after;
    TpWorldForAllAtomicIntersections(world_, &sphere, OnAtomic, &before);
    TpIntersection far = Sphere({1, 1, 20}, 0.5f);
    for (int i = 0; i < 65536; i++)
        TpWorldForAllAtomicIntersections(world_, &far, OnAtomic, &after);
    TpWorldForAllAtomicIntersections(world_, &sphere, OnAtomic, &after);
    EXPECT_EQ(before.hits.size(), 2u);
    EXPECT_EQ(after.hits.size(), 2u);
}

TEST_F(IntersectTest, AtomicTrianglesInTheAtomicsFrame) {
    TpAtomic* a = AtomicAt({3, 3, 3}, 2, true, true);
    Hits h;
    TpIntersection down = Line({3.25f, 3.25f, 4}, {3.25f, 3.25f, 2});
    EXPECT_EQ(TpAtomicForAllTriangleIntersections(a, &down, OnAtomicTriangle, &h), a);
    ASSERT_EQ(h.hits.size(), 1u);
    EXPECT_EQ(h.hits[0].index, 0);
    EXPECT_NEAR(h.hits[0].distance, 0.5f, 1e-5);

    Hits outside;
    TpIntersection beside = Line({4.25f, 4.25f, 4}, {4.25f, 4.25f, 2});
    TpAtomicForAllTriangleIntersections(a, &beside, OnAtomicTriangle, &outside);
    EXPECT_TRUE(outside.hits.empty());

    Hits touched;
    TpIntersection sphere = Sphere({3.25f, 3.25f, 3.5f}, 1);
    TpAtomicForAllTriangleIntersections(a, &sphere, OnAtomicTriangle, &touched);
    ASSERT_EQ(touched.hits.size(), 1u);
    EXPECT_NEAR(touched.hits[0].distance, 0.5f, 1e-5);

    // Halfway to a second morph target one unit higher the line meets the triangle sooner;
    // an end target past the geometry's targets leaves the start target's vertices.
    TpGeometry* g = a->geometry;
    ASSERT_EQ(TpGeometryAddMorphTarget(g), 1);
    for (int i = 0; i < 3; i++)
        g->morphTargets[1].vertices[i] = TvV3dAdd(g->morphTargets[0].vertices[i], {0, 0, 1});
    TpInterpolator* in = TpAtomicGetInterpolator(a);
    TpInterpolatorSetDuration(in, 1);
    TpInterpolatorSetPosition(in, 0.5f);
    for (auto [end, distance] : {std::pair{1, 0.25f}, std::pair{5, 0.5f}}) {
        SCOPED_TRACE(end);
        TpInterpolatorSetEndMorphTarget(in, uint16_t(end));
        Hits morphed;
        TpAtomicForAllTriangleIntersections(a, &down, OnAtomicTriangle, &morphed);
        ASSERT_EQ(morphed.hits.size(), 1u);
        EXPECT_NEAR(morphed.hits[0].distance, distance, 1e-5);
    }

    TpIntersection box{};
    box.type = kTpIntersectBox;
    EXPECT_EQ(TpAtomicForAllTriangleIntersections(a, &box, OnAtomicTriangle, &h), nullptr);
    EXPECT_EQ(LastErrorCode(), E_TP_INTERSECTIONTYPE);
}

} // namespace
