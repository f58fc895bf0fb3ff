// Geometry, clump and world chunks written out byte by byte, with every length counted by hand:
// the layouts of the files themselves, independent of the test writers. The arrays of geometry
// and leaf sectors follow their struct chunk; files whose struct chunk also covers the arrays
// read the same.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/core/stream.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "engine/world/material.h"
#include "engine/world/world.h"
#include "engine/world/world_plugin.h"
#include "tests/support/chunk_writer.h"
#include "tests/support/world_stream_writer.h"
#include "tests/support/world_writer.h"

namespace {

// Little-endian words and reals, one call per field.
struct Bytes {
    std::vector<uint8_t> b;
    Bytes& W(uint32_t v) {
        for (int i = 0; i < 4; i++)
            b.push_back(uint8_t(v >> (8 * i)));
        return *this;
    }
    Bytes& F(float f) {
        uint32_t v;
        std::memcpy(&v, &f, 4);
        return W(v);
    }
    Bytes& H(uint32_t type, uint32_t length) { return W(type).W(length).W(0x301); }
    Bytes& Raw(std::initializer_list<uint8_t> bytes) {
        b.insert(b.end(), bytes);
        return *this;
    }
    Bytes& Add(const Bytes& more) {
        b.insert(b.end(), more.b.begin(), more.b.end());
        return *this;
    }
};

// Material list of one untextured material coloured 10, 20, 30, 40: 84 bytes.
Bytes MaterialList() {
    Bytes m;
    m.H(8, 72).H(1, 8).W(1).W(0xFFFFFFFF);          // count 1; entry -1: a material follows
    m.H(7, 40).H(1, 16).W(0).Raw({10, 20, 30, 40}); // flags, colour
    m.W(0).W(0);                                    // reserved, not textured
    m.H(3, 0);                                      // material extension
    return m;
}

// A geometry chunk: 3 vertices, one triangle (vertices 0, 1, 2, material 0), one morph target
// storing its vertices, pre-light colours (flag 8). `structCoversArrays`: the struct chunk's
// length includes the arrays (28 + 12 + 8 + 24 + 36 = 108) instead of its 28-byte body.
Bytes Geometry(bool structCoversArrays) {
    Bytes g;
    g.H(15, 40 + 12 + 8 + 24 + 36 + 84 + 12);
    g.H(1, structCoversArrays ? 108 : 28);
    g.W(8).W(1).W(3).W(1).F(1).F(0.5f).F(0.25f);    // flags, triangles, vertices, targets, surface
    g.Raw({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}); // pre-light colours
    g.W(0 << 16 | 1).W(2 << 16 | 0);    // vertex 1 << 16 | vertex 2, vertex 3 | material
    g.F(1).F(0).F(0).F(1.5f).W(1).W(0); // sphere, has vertices, no normals
    g.F(0).F(0).F(0).F(2).F(0).F(0).F(0).F(2).F(0);
    g.Add(MaterialList());
    g.H(3, 0);
    return g;
}

void ExpectGeometry(TpGeometry* g) {
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->numVertices, 3);
    EXPECT_EQ(g->numTriangles, 1);
    EXPECT_EQ(g->numMorphTargets, 1);
    EXPECT_EQ(g->surfaceProps[1], 0.5f);
    EXPECT_EQ(g->preLight[11], 12);
    const TpTriangle& t = g->triangles[0];
    EXPECT_EQ(t.vertex[0], 0);
    EXPECT_EQ(t.vertex[1], 1);
    EXPECT_EQ(t.vertex[2], 2);
    EXPECT_EQ(t.material, 0);
    const TpMorphTarget& m = g->morphTargets[0];
    EXPECT_EQ(m.boundingSphere.radius, 1.5f);
    EXPECT_EQ(m.vertices[1].x, 2.0f);
    EXPECT_EQ(m.vertices[2].y, 2.0f);
    ASSERT_EQ(g->materials.count, 1);
    EXPECT_EQ(TpMaterialGetColor(g->materials.materials[0])->alpha, 40);
}

// Runs `test` for the arrays after their struct chunk and inside it.
template <typename F> void ForBothLayouts(F test) {
    for (bool inside : {false, true}) {
        SCOPED_TRACE(inside ? "struct covers the arrays" : "arrays after the struct");
        test(inside);
    }
}

class ChunkLayoutTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(engine_.ok()); }
    void TearDown() override {
        if (stream_) TvStreamClose(stream_, nullptr);
    }
    TvStream* Open(const Bytes& bytes, uint32_t type) {
        if (stream_) TvStreamClose(stream_, nullptr);
        bytes_ = bytes.b;
        stream_ = OpenReadStream(bytes_);
        return stream_ && TvStreamFindChunk(stream_, type, nullptr, nullptr) ? stream_ : nullptr;
    }
    WorldEngine engine_;
    std::vector<uint8_t> bytes_;
    TvStream* stream_ = nullptr;
};

TEST_F(ChunkLayoutTest, GeometryArraysAfterOrInsideTheStructChunk) {
    ForBothLayouts([&](bool inside) {
        TvStream* s = Open(Geometry(inside), TV_ID_GEOMETRY);
        ASSERT_NE(s, nullptr);
        TpGeometry* g = TpGeometryStreamRead(s);
        ExpectGeometry(g);
        EXPECT_EQ(TvStreamTell(s), bytes_.size());
        if (g) TpGeometryDestroy(g);
    });
}

// Clump of one frame at (4, 5, 6) and one atomic (flags 5) holding the geometry above.
Bytes Clump(bool structCoversArrays) {
    const Bytes geometry = Geometry(structCoversArrays);
    Bytes c;
    c.H(16, 16 + 96 + (24 + uint32_t(geometry.b.size()) + 12 + 12) + 12);
    c.H(1, 4).W(1);                  // one atomic
    c.H(14, 84).H(1, 60).W(1);       // frame list: one frame
    c.F(1).F(0).F(0).F(0).F(1).F(0); // right, up
    c.F(0).F(0).F(1).F(4).F(5).F(6); // at, position
    c.W(0xFFFFFFFF).W(0);            // no parent, unused word
    c.H(3, 0);                       // frame extension
    c.H(20, 24 + uint32_t(geometry.b.size()) + 12);
    c.H(1, 12).W(0).W(5).W(0); // frame index, flags, reserved
    c.Add(geometry);
    c.H(3, 0); // atomic extension
    c.H(3, 0); // clump extension
    return c;
}

TEST_F(ChunkLayoutTest, ClumpWithFrameListAtomicAndGeometry) {
    ForBothLayouts([&](bool inside) {
        TvStream* s = Open(Clump(inside), TV_ID_CLUMP);
        ASSERT_NE(s, nullptr);
        TpClump* c = TpClumpStreamRead(s);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->frame->modelling.pos.z, 6.0f);
        ASSERT_NE(c->atomics.next, &c->atomics);
        TpAtomic* a = TvContainerOf<TpAtomic>(c->atomics.next, offsetof(TpAtomic, inClump));
        EXPECT_EQ(TvObjectGetFrame(a), c->frame);
        EXPECT_EQ(TvObjectGetFlags(a), 5);
        ExpectGeometry(a->geometry);
        EXPECT_EQ(a->boundingSphere.radius, 1.5f);
        EXPECT_EQ(TvStreamTell(s), bytes_.size());
        TpClumpDestroy(c);
    });
}

// A world whose root is one leaf of 3 vertices and a triangle of material 0; the leaf's struct
// chunk holds its 44-byte body, or (`structCoversArrays`) also the 36 + 4 bytes of arrays.
Bytes World(bool structCoversArrays) {
    Bytes w;
    w.H(11, 64 + 84 + 120 + 12);
    w.H(1, 52).W(1);                    // root is a leaf
    w.F(-1).F(-2).F(-3).F(1).F(1).F(1); // origin, surface
    w.W(1).W(3).W(0).W(1).W(0).W(0);    // triangles, vertices, planes, leaves, collision, flags
    w.Add(MaterialList());
    w.H(9, 108).H(1, structCoversArrays ? 84 : 44);
    w.W(0).W(1).W(3);                               // first material, triangles, vertices
    w.F(0).F(0).F(0).F(2).F(2).F(0).W(0).W(0);      // box min, max; no tree; reserved
    w.F(0).F(0).F(0).F(2).F(0).F(0).F(0).F(2).F(0); // vertices
    w.Raw({0, 0, 1, 2});                            // material, vertices
    w.H(3, 0);                                      // sector extension
    w.H(3, 0);                                      // world extension
    return w;
}

TEST_F(ChunkLayoutTest, WorldLeafArraysAfterOrInsideTheStructChunk) {
    ForBothLayouts([&](bool inside) {
        TpWorld* world = ReadWorldChunk(World(inside).b);
        ASSERT_NE(world, nullptr);
        EXPECT_EQ(world->offset.y, 2.0f);
        ASSERT_LT(world->root->type, 0);
        auto* leaf = reinterpret_cast<TpWorldSector*>(world->root);
        EXPECT_EQ(leaf->numVertices, 3);
        EXPECT_EQ(leaf->vertices[2].y, 2.0f);
        EXPECT_EQ(leaf->triangles[0].vertex[2], 2);
        EXPECT_EQ(world->boundingBox.sup.x, 2.0f);
        TpWorldDestroy(world);
    });
}

} // namespace
