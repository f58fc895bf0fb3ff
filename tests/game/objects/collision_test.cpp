// Collision grid files: writing and reading back, damaged files, and the sphere query.
#include <algorithm>
#include <cstring>

#include "game/objects/collision.h"
#include "game/objects/utilities.h"
#include "engine/core/memory.h"
#include "tests/game/objects/object_fixture.h"
#include "tests/support/data_folder.h"
#include "tests/support/mesh_clump.h"

namespace {

class CollisionFileTest : public ObjectTest {
protected:
    void TearDown() override {
        for (TpClump* c : clumps_)
            TpClumpDestroy(c);
        for (void* b : blocks_)
            TvFree(b);
        MV2SetCollisionTreeOneSided(0);
        ObjectTest::TearDown();
    }
    TpClump* Keep(TpClump* c) {
        clumps_.push_back(c);
        return c;
    }
    void* KeepBlock(void* b) {
        if (b) blocks_.push_back(b);
        return b;
    }
    // Unit triangle in z = 0 facing +z.
    static MeshPart Triangle(uint32_t tag) {
        return MeshPart{{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}}, tag, {0, 0, 0}};
    }

    DataFolder folder_;
    std::vector<TpClump*> clumps_;
    std::vector<void*> blocks_;
};

void PutU32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    if (b.size() < at + 4) b.resize(at + 4);
    for (int i = 0; i < 4; i++)
        b[at + i] = uint8_t(v >> (8 * i));
}

void PutF32(std::vector<uint8_t>& b, size_t at, float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    PutU32(b, at, v);
}

// One entry (tag 7) whose grid spans -1..3 on every axis with every cell listing triangle 0.
std::vector<uint8_t> HandWrittenFile() {
    std::vector<uint8_t> b(244 + 548 + 4, 0);
    PutU32(b, 0, 1);
    PutU32(b, 4, 7);
    PutU32(b, 8, 0);
    for (int i = 0; i < 3; i++) {
        PutF32(b, 244 + 4 * i, -1.0f);
        PutF32(b, 256 + 4 * i, 3.0f);
        PutF32(b, 268 + 4 * i, 1.0f);
    }
    for (int c = 0; c < 64; c++) {
        PutU32(b, 280 + 8 * c, 1);
        PutU32(b, 284 + 8 * c, 0);
    }
    PutU32(b, 792, 0);
    return b;
}

TEST_F(CollisionFileTest, HandWrittenFileIsReadAndQueried) {
    folder_.Write("hand.col", HandWrittenFile());
    TpClump* clump = Keep(MakeMeshClump({Triangle(7)}));
    void* block = KeepBlock(MV2ReadCollisionFile(".\\hand.col", clump));
    ASSERT_NE(block, nullptr);
    TpAtomic* atomic = MV2GetFirstAtomic(clump);
    const auto* grid = static_cast<const MV2CollisionGrid*>(MV2AtomicGetCollData(atomic));
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->max[1], 3.0f);
    EXPECT_EQ(grid->cells[63].count, 1);

    // The sphere spans many cells that all list the triangle: it is reported once.
    MV2TriangleHit hits[8];
    const TvV3d centre{0.25f, 0.25f, 0.5f};
    ASSERT_EQ(MV2CollisionTreeSphereQuery(atomic, &centre, 2.0f, 8, hits), 1);
    EXPECT_EQ(hits[0].normal.z, 1.0f);
    TvV3d* vertices = TpMorphTargetGetVertices(TpGeometryGetMorphTarget(atomic->geometry, 0));
    EXPECT_EQ(hits[0].vertices[0], &vertices[0]);
    EXPECT_EQ(hits[0].vertices[2], &vertices[2]);
    // Entirely outside the grid box.
    const TvV3d far{10, 0, 0};
    EXPECT_EQ(MV2CollisionTreeSphereQuery(atomic, &far, 2.0f, 8, hits), 0);
}

TEST_F(CollisionFileTest, WrittenFileReadsBackIntoAnotherCopy) {
    MeshPart plane = PlaneMesh(10, 10.0f, 3);
    MeshPart other = Triangle(9);
    TpClump* source = Keep(MakeMeshClump({plane, other}));
    ASSERT_EQ(MV2WriteCollisionFile(source, ".\\model.col"), 1);
    std::vector<uint8_t> bytes = folder_.Read("model.col");
    ASSERT_GE(bytes.size(), 244u + 2 * 548);
    EXPECT_EQ(bytes[0], 2);
    // Tags in the clump's atomic order.
    EXPECT_EQ(bytes[4], MV2AtomicGetPartTag(MV2GetFirstAtomic(source)));
    EXPECT_EQ(bytes[12], MV2AtomicGetPartTag(MV2GetNextAtomic(source, MV2GetFirstAtomic(source))));

    // Atomics in the other order: linking goes by tag.
    TpClump* copy = Keep(MakeMeshClump({other, plane}));
    void* block = KeepBlock(MV2ReadCollisionFile(".\\model.col", copy));
    ASSERT_NE(block, nullptr);
    TpAtomic* small = MV2FindAtomicByTag(copy, 9);
    TpAtomic* big = MV2FindAtomicByTag(copy, 3);
    ASSERT_NE(MV2AtomicGetCollData(big), nullptr);
    ASSERT_NE(MV2AtomicGetCollData(small), nullptr);

    // Every triangle is listed by the cells its box overlaps: a sphere query finds the same
    // triangles as testing them all.
    MV2TriangleHit hits[8];
    const TvV3d centre{5.05f, 5.05f, 0.1f};
    const int32_t n = MV2CollisionTreeSphereQuery(big, &centre, 0.3f, 20, hits);
    int32_t expected = 0;
    TvV3d* v = TpMorphTargetGetVertices(TpGeometryGetMorphTarget(big->geometry, 0));
    for (const auto& t : plane.triangles) {
        const TvV3d normal{0, 0, 1};
        expected += MV2SphereTouchesTriangle(&centre, 0.3f, &normal, &v[t[0]], &v[t[1]], &v[t[2]]);
    }
    EXPECT_GT(expected, 1);
    EXPECT_EQ(n, std::min(expected, 8));

    // A large sphere touches far more than 8 triangles: max 20 still answers 8.
    EXPECT_EQ(MV2CollisionTreeSphereQuery(big, &centre, 4.0f, 20, hits), 8);

    // The same block linked to a third copy.
    TpClump* third = Keep(MakeMeshClump({plane, other}));
    EXPECT_EQ(MV2LinkCollisionData(block, third), 1);
    EXPECT_EQ(MV2AtomicGetCollData(MV2FindAtomicByTag(third, 3)), MV2AtomicGetCollData(big));
    // A copy without a matching part cannot be linked.
    TpClump* stranger = Keep(MakeMeshClump({Triangle(4)}));
    EXPECT_EQ(MV2LinkCollisionData(block, stranger), 0);
    EXPECT_EQ(Boxes(), std::vector<std::string>{"Could not link collision file to clump"});
}

TEST_F(CollisionFileTest, ThirtyAtomicsWarnButWriteEveryEntry) {
    for (int32_t count : {30, 31}) {
        std::vector<MeshPart> parts;
        for (int32_t i = 0; i < count; i++) {
            MeshPart p = Triangle(uint32_t(100 + i));
            parts.push_back(p);
        }
        TpClump* clump = Keep(MakeMeshClump(parts));
        PlatformClearMessageBoxes();
        ASSERT_EQ(MV2WriteCollisionFile(clump, ".\\many.col"), 1);
        EXPECT_EQ(Boxes(),
                  std::vector<std::string>{"Too many children for hierarchical collision tree"});
        std::vector<uint8_t> bytes = folder_.Read("many.col");
        EXPECT_EQ(bytes[0], 30);
        TpClump* copy = Keep(MakeMeshClump(parts));
        ASSERT_NE(KeepBlock(MV2ReadCollisionFile(".\\many.col", copy)), nullptr);
        int32_t linked = 0;
        for (TpAtomic* a = MV2GetFirstAtomic(copy); a; a = MV2GetNextAtomic(copy, a))
            linked += MV2AtomicGetCollData(a) != nullptr;
        EXPECT_EQ(linked, 30);
    }
}

TEST_F(CollisionFileTest, DamagedFilesAreRefused) {
    struct Case {
        const char* what;
        void (*damage)(std::vector<uint8_t>&);
    };
    const Case cases[] = {
        {"31 entries", [](std::vector<uint8_t>& b) { PutU32(b, 0, 31); }},
        {"negative count", [](std::vector<uint8_t>& b) { PutU32(b, 0, 0xFFFFFFFF); }},
        {"header cut short", [](std::vector<uint8_t>& b) { b.resize(200); }},
        {"grid past the end", [](std::vector<uint8_t>& b) { PutU32(b, 8, 8); }},
        {"grid cut short", [](std::vector<uint8_t>& b) { b.resize(244 + 500); }},
        {"unaligned grid", [](std::vector<uint8_t>& b) { PutU32(b, 8, 1); }},
        {"run past the list", [](std::vector<uint8_t>& b) { PutU32(b, 280 + 8 * 5, 2); }},
        {"negative run", [](std::vector<uint8_t>& b) { PutU32(b, 284, 0xFFFFFFFF); }},
        {"triangle index too big", [](std::vector<uint8_t>& b) { PutU32(b, 792, 1); }},
        {"no atomic of the tag", [](std::vector<uint8_t>& b) { PutU32(b, 4, 8); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> bytes = HandWrittenFile();
        c.damage(bytes);
        folder_.Write("bad.col", bytes);
        TpClump* clump = Keep(MakeMeshClump({Triangle(7)}));
        EXPECT_EQ(KeepBlock(MV2ReadCollisionFile(".\\bad.col", clump)), nullptr);
        EXPECT_EQ(MV2AtomicGetCollData(MV2GetFirstAtomic(clump)), nullptr);
    }
    TpClump* clump = Keep(MakeMeshClump({Triangle(7)}));
    EXPECT_EQ(MV2ReadCollisionFile(".\\missing.col", clump), nullptr);
}

TEST_F(CollisionFileTest, SphereTriangleTest) {
    const TvV3d a{0, 0, 0}, b{4, 0, 0}, c{0, 4, 0}, n{0, 0, 1};
    struct Case {
        TvV3d centre;
        float radius;
        int32_t oneSided;
        int32_t hit;
    };
    const Case cases[] = {
        {{1, 1, 0.5f}, 1.0f, 0, 1},      // over the face
        {{1, 1, 1.5f}, 1.0f, 0, 0},      // too far from the plane
        {{-0.5f, -0.5f, 0}, 1.0f, 0, 1}, // near a vertex
        {{2, -0.5f, 0}, 1.0f, 0, 1},     // near an edge
        {{-2, -2, 0}, 1.0f, 0, 0},       // in the plane, outside
        {{1, 1, -0.5f}, 1.0f, 0, 1},     // behind, two-sided
        {{1, 1, -0.5f}, 1.0f, 1, 0},     // behind, one-sided
        {{1, 1, 0}, 1.0f, 1, 0},         // on the plane, one-sided
    };
    for (const Case& k : cases) {
        MV2SetCollisionTreeOneSided(k.oneSided);
        EXPECT_EQ(MV2SphereTouchesTriangle(&k.centre, k.radius, &n, &a, &b, &c), k.hit)
            << k.centre.x << "," << k.centre.y << "," << k.centre.z;
    }
}

} // namespace

namespace {

TEST_F(CollisionFileTest, ClonedClumpKeepsTagsAndTree) {
    folder_.Write("hand.col", HandWrittenFile());
    TpClump* clump = Keep(MakeMeshClump({Triangle(7)}));
    ASSERT_NE(KeepBlock(MV2ReadCollisionFile(".\\hand.col", clump)), nullptr);
    TpClump* copy = Keep(TpClumpClone(clump));
    TpAtomic* a = MV2GetFirstAtomic(copy);
    EXPECT_EQ(MV2AtomicGetPartTag(a), 7u);
    EXPECT_EQ(MV2AtomicGetCollData(a), MV2AtomicGetCollData(MV2GetFirstAtomic(clump)));
    // A new atomic starts with tag 0 and no tree.
    TpAtomic* fresh = TpAtomicCreate();
    EXPECT_EQ(MV2AtomicGetPartTag(fresh), 0u);
    EXPECT_EQ(MV2AtomicGetCollData(fresh), nullptr);
    TpAtomicDestroy(fresh);
}

} // namespace
