// Potentially visible sets on a two-leaf world: cells found through the collision trees, the
// filter that hides sectors outside the cell's set, and stored data that does not fit.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/core/memory.h"
#include "engine/core/plugin.h"
#include "engine/core/stream.h"
#include "engine/world/pvs.h"
#include "engine/world/world.h"
#include "engine/world/world_plugin.h"
#include "tests/support/chunk_writer.h"
#include "tests/support/world_stream_writer.h"
#include "tests/support/world_writer.h"

namespace {

bool AttachPVS() {
    return TpPVSPluginAttach() == 1;
}
TpWorldSector* DrawSector(TpWorldSector* sector) {
    return sector;
}

struct Header {
    uint32_t sectors = 2, bytesPerSet = 1, bytesPerSector = 12, depth = 1, cells = 2;
};

// A 100-unit cube split on x at 50. Each leaf has one vertex on the x axis (25 and 75) and a
// collision tree whose root splits on x at that vertex, so each leaf has two cells.
class PVSTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(engine_.ok());
        world_ = _TpWorldInitialise(
            static_cast<TpWorld*>(TvMalloc(size_t(TpWorldRegistry.sizeOfStruct))));
        left_ = Leaf({50, 100, 100}, {0, 0, 0}, 25);
        right_ = Leaf({100, 100, 100}, {50, 0, 0}, 75);
        auto* plane = static_cast<TpPlaneSector*>(TvMalloc(sizeof(TpPlaneSector)));
        *plane = TpPlaneSector{0, 50, Node(left_), Node(right_), 50, 50};
        world_->root = Node(reinterpret_cast<TpWorldSector*>(plane));
        TpWorldSetSectorRenderCallBack(world_, DrawSector);
    }
    void TearDown() override { TpWorldDestroy(world_); }
    static TpSector* Node(TpWorldSector* s) { return reinterpret_cast<TpSector*>(s); }
    static TpWorldSector* Leaf(TvV3d max, TvV3d min, float x) {
        auto* leaf = _TpWorldSectorInitialise(
            static_cast<TpWorldSector*>(TvMalloc(size_t(TpWorldSectorRegistry.sizeOfStruct))));
        leaf->boundingBox = {max, min};
        leaf->numVertices = 1;
        leaf->numTriangles = 1;
        leaf->vertices = static_cast<TvV3d*>(TvMalloc(sizeof(TvV3d)));
        *leaf->vertices = {x, 50, 50};
        // Nodes 1 (split on x at vertex 0), 2 and 3 (end nodes); node 0 unused.
        const uint8_t tree[12] = {0, 0, 0, 0x80, 0, 0};
        leaf->collisionTree = TvMalloc(sizeof tree);
        std::memcpy(leaf->collisionTree, tree, sizeof tree);
        return leaf;
    }
    // Reads one extension chunk of the plug-in into `object` of `registry`.
    static bool ReadExtension(TvPluginRegistry* registry, void* object,
                              const std::vector<uint8_t>& body) {
        ChunkWriter w;
        WriteExtension(w, {{kTpPVSPluginId, body}});
        TvStream* stream = OpenReadStream(w.data());
        const bool ok = TvPluginStreamRead(registry, stream, object) != nullptr;
        TvStreamClose(stream, nullptr);
        return ok;
    }
    // Sector blocks: bit number, then the sets of cells 0 and 1; then the world header.
    void Load(const Header& h, size_t sectorBytes = 12) {
        const std::vector<uint8_t> left = {0, 0, 0, 0, 0b01, 0b11, 0, 0, 0, 0, 0, 0};
        const std::vector<uint8_t> right = {1, 0, 0, 0, 0b10, 0b11, 0, 0, 0, 0, 0, 0};
        ASSERT_TRUE(ReadExtension(&TpWorldSectorRegistry, left_,
                                  {left.begin(), left.begin() + long(sectorBytes)}));
        ASSERT_TRUE(ReadExtension(&TpWorldSectorRegistry, right_, right));
        ChunkWriter w;
        w.U32(h.sectors).U32(h.bytesPerSet).U32(h.bytesPerSector).U32(h.depth).U32(h.cells);
        ASSERT_TRUE(ReadExtension(&TpWorldRegistry, world_, w.data()));
        ASSERT_TRUE(_TpWorldEnter(world_, 0));
    }
    bool Drawn(TpWorldSector* sector) {
        return TpWorldGetSectorRenderCallBack(world_)(sector) != nullptr;
    }
    WorldEngine engine_{AttachPVS};
    TpWorld* world_ = nullptr;
    TpWorldSector* left_ = nullptr;
    TpWorldSector* right_ = nullptr;
};

TEST_F(PVSTest, OnlySectorsInTheViewCellsSetAreDrawn) {
    Load(Header{});
    ASSERT_TRUE(TpPVSWorldHasData(world_));
    TpPVSHook(world_);
    TpPVSHook(world_); // a second hook keeps the first saved callback
    struct Case {
        float x;
        uint16_t rightTriangles;
        bool left, right;
    };
    const Case cases[] = {
        {10, 1, true, false}, // left leaf, cell 0: only itself
        {40, 1, true, true},  // left leaf, cell 1
        {60, 1, false, true}, // right leaf, cell 0: only itself
        {90, 1, true, true},  // right leaf, cell 1
        {90, 0, false, true}, // a leaf without triangles uses its first set
    };
    for (const Case& c : cases) {
        right_->numTriangles = c.rightTriangles;
        const TvV3d at{c.x, 50, 50};
        TpPVSSetViewPosition(world_, &at);
        EXPECT_EQ(Drawn(left_), c.left) << c.x;
        EXPECT_EQ(Drawn(right_), c.right) << c.x;
    }
    const TpPVSWorldData* data = TpPVSGetWorldData(world_);
    EXPECT_EQ(data->trianglesConsidered, 9u);
    EXPECT_EQ(data->trianglesDrawn, 6u);
}

TEST_F(PVSTest, DataThatDoesNotFitItsHeaderIsDropped) {
    struct Case {
        const char* what;
        Header header;
        size_t leftBytes;
    };
    const Case cases[] = {
        {"bytes per sector", Header{2, 1, 16, 1, 2}, 12},
        {"short sector block", Header{}, 8},
        {"more sectors than counted", Header{1, 1, 12, 1, 2}, 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        Load(c.header, c.leftBytes);
        EXPECT_FALSE(TpPVSWorldHasData(world_));
        TpPVSHook(world_);
        EXPECT_EQ(TpWorldGetSectorRenderCallBack(world_), DrawSector);
    }
}

TEST_F(PVSTest, AWorldWithoutVisibilityDataIsNeverFiltered) {
    ASSERT_TRUE(_TpWorldEnter(world_, 0));
    EXPECT_FALSE(TpPVSWorldHasData(world_));
    TpPVSHook(world_);
    const TvV3d at{10, 50, 50};
    TpPVSSetViewPosition(world_, &at);
    EXPECT_EQ(TpWorldGetSectorRenderCallBack(world_), DrawSector);
}

// Through the world reader: each leaf's data is read before the world's header gathers it.
TEST(PVSReadTest, VisibilityDataComesWithTheWorld) {
    WorldEngine engine(AttachPVS);
    ASSERT_TRUE(engine.ok());
    LeafRecord a, b;
    a.vertices = {{10, 10, 10}, {40, 10, 10}, {10, 40, 10}};
    a.triangles = {{0, 0, 1, 2}};
    a.collisionTree = SingleNodeTree(1);
    a.box = {{0, 0, 0, 50, 100, 100}};
    a.extensions = {{kTpPVSPluginId, {0, 0, 0, 0, 0b01, 0, 0, 0, 0, 0, 0, 0}}};
    b.vertices = {{60, 10, 10}};
    b.box = {{50, 0, 0, 100, 100, 100}};
    b.extensions = {{kTpPVSPluginId, {1, 0, 0, 0, 0b10, 0, 0, 0, 0, 0, 0, 0}}};
    WorldRecord record;
    record.root = PlaneNode(0, 50, 50, 50, LeafNode(a), LeafNode(b));
    ChunkWriter header;
    header.U32(2).U32(1).U32(12).U32(0).U32(1);
    record.extensions = {{kTpPVSPluginId, header.data()}};
    TpWorld* world = ReadWorldChunk(WorldBytes(record));
    ASSERT_NE(world, nullptr);
    ASSERT_TRUE(TpPVSWorldHasData(world));
    TpWorldSetSectorRenderCallBack(world, DrawSector);
    TpPVSHook(world);
    std::vector<TpWorldSector*> leaves;
    TpWorldForAllWorldSectors(
        world,
        [](TpWorldSector* s, void* d) {
            static_cast<std::vector<TpWorldSector*>*>(d)->push_back(s);
            return s;
        },
        &leaves);
    ASSERT_EQ(leaves.size(), 2u);
    const TpWorldSectorRenderCallBack filter = TpWorldGetSectorRenderCallBack(world);
    for (float x : {25.0f, 75.0f}) {
        const TvV3d at{x, 50, 50};
        TpPVSSetViewPosition(world, &at);
        // Seen from the triangle-less right leaf, its first set holds only itself.
        EXPECT_EQ(filter(leaves[0]) != nullptr, x < 50) << x;
        EXPECT_NE(filter(leaves[1]), nullptr);
    }
    TpWorldDestroy(world);
}

} // namespace
