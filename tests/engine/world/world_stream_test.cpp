// World reading: the sector tree, leaf arrays and collision trees laid out in one block, the
// world's own fields, and damaged files that must fail with nothing left allocated.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "engine/core/error.h"
#include "engine/core/memory.h"
#include "engine/core/stream.h"
#include "engine/world/world.h"
#include "engine/world/world_plugin.h"
#include "engine/world/world_stream.h"
#include "tests/support/engine_checks.h"
#include "tests/support/world_stream_writer.h"

namespace {

// A quad of two triangles on the plane z = `z` between `x0` and `x1` (y 0 to 10).
LeafRecord Quad(float x0, float x1, float z) {
    LeafRecord l;
    l.vertices = {{x0, 0, z}, {x1, 0, z}, {x1, 10, z}, {x0, 10, z}};
    l.triangles = {{0, 0, 1, 2}, {0, 0, 2, 3}};
    return l;
}

// Two leaves split on x at 5: the left quad has a collision tree and every per-vertex array.
WorldRecord TwoLeafWorld() {
    WorldRecord w;
    w.origin = {-1, -2, -3};
    w.surface = {0.25f, 0.5f, 0.75f};
    w.format = (1u << 30) | 16 | 8 | 4 | 2;
    w.materials = {MaterialRecord{}, MaterialRecord{{1, 2, 3, 4}, -1, ""}};
    LeafRecord left = Quad(0, 5, 1);
    left.normals = {0, 0, 127, 0};
    left.texCoords = {0.5f, 0.25f};
    left.collisionTree = SingleNodeTree(2);
    LeafRecord right = Quad(5, 9, 2);
    right.firstMaterial = 1;
    w.root = PlaneNode(0, 5, 5.5f, 4.5f, LeafNode(left), LeafNode(right));
    return w;
}

TpWorldSector* AsLeaf(TpSector* s) {
    return reinterpret_cast<TpWorldSector*>(s);
}

TEST(WorldStreamTest, ReadsTreeArraysAndWorldFields) {
    WorldEngine engine;
    ASSERT_TRUE(engine.ok());
    TpWorld* world = ReadWorldChunk(WorldBytes(TwoLeafWorld()));
    ASSERT_NE(world, nullptr);
    EXPECT_EQ(world->object.type, kTpWorldObjectType);
    EXPECT_EQ(world->object.privateFlags, kTpWorldSingleBlock);
    EXPECT_EQ(TpWorldGetFlags(world), 16 | 8 | 4 | 2);
    EXPECT_EQ(world->renderOrder, uint32_t(kTpWorldBackToFront));
    EXPECT_EQ(world->offset.x, 1);
    EXPECT_EQ(world->offset.z, 3);
    EXPECT_EQ(world->surfaceProps[2], 0.75f);
    EXPECT_EQ(world->materials.count, 2);
    EXPECT_EQ(world->boundingBox.inf.z, 1);
    EXPECT_EQ(world->boundingBox.sup.x, 9);
    EXPECT_EQ(world->boundingBox.sup.z, 2);

    ASSERT_GE(world->root->type, 0);
    auto* plane = reinterpret_cast<TpPlaneSector*>(world->root);
    EXPECT_EQ(plane->value, 5);
    EXPECT_EQ(plane->leftValue, 5.5f);
    EXPECT_EQ(plane->rightValue, 4.5f);
    TpWorldSector* left = AsLeaf(plane->leftChild);
    TpWorldSector* right = AsLeaf(plane->rightChild);
    ASSERT_EQ(left->type, -1);
    ASSERT_EQ(right->type, -1);
    EXPECT_EQ(left->numVertices, 4);
    EXPECT_EQ(left->numTriangles, 2);
    EXPECT_EQ(left->vertices[2].x, 5);
    EXPECT_EQ(left->vertices[2].y, 10);
    EXPECT_EQ(left->normals[2], 127);
    EXPECT_EQ(left->texCoords[0].u, 0.5f);
    EXPECT_EQ(left->triangles[1].vertex[2], 3);
    EXPECT_EQ(left->boundingBox.sup.x, 5);
    EXPECT_NE(left->preLight, nullptr);
    EXPECT_NE(left->modulation, nullptr);
    ASSERT_NE(left->collisionTree, nullptr);
    EXPECT_EQ(static_cast<uint8_t*>(left->collisionTree)[3], 2);
    EXPECT_EQ(right->collisionTree, nullptr);
    EXPECT_EQ(right->firstMaterial, 1);
    EXPECT_NE(left->mesh, nullptr);
    EXPECT_NE(right->mesh, nullptr);
    // The leaves lie inside the world's block, so they find their world.
    EXPECT_EQ(TpWorldSectorGetWorld(right), world);
    EXPECT_EQ(TpWorldDestroy(world), 1);
}

TEST(WorldStreamTest, SingleLeafRootEmptyLeafAndSharedExtents) {
    WorldEngine engine;
    ASSERT_TRUE(engine.ok());
    // A single leaf without vertices still reads its collision tree: 6 bytes kept as 8.
    WorldRecord single;
    single.root = LeafNode({});
    single.root.leaf.collisionTree = SingleNodeTree(0);
    single.root.leaf.box = std::array<float, 6>{0, 0, 0, 1, 1, 1};
    TpWorld* world = ReadWorldChunk(WorldBytes(single));
    ASSERT_NE(world, nullptr);
    ASSERT_EQ(world->root->type, -1);
    EXPECT_EQ(AsLeaf(world->root)->numVertices, 0);
    EXPECT_NE(AsLeaf(world->root)->collisionTree, nullptr);
    TpWorldDestroy(world);

    // Without separate extents both extents are the split value.
    WorldRecord shared = TwoLeafWorld();
    shared.format &= ~(1u << 30);
    world = ReadWorldChunk(WorldBytes(shared));
    ASSERT_NE(world, nullptr);
    auto* plane = reinterpret_cast<TpPlaneSector*>(world->root);
    EXPECT_EQ(plane->leftValue, 5);
    EXPECT_EQ(plane->rightValue, 5);
    TpWorldDestroy(world);
}

// A chain of split nodes 1, 2, 4, ... reaching node `last`.
std::vector<uint8_t> ChainTree(size_t last) {
    std::vector<uint8_t> tree(384, 0);
    for (size_t i = 1; i < last && 3 * i < tree.size(); i *= 2)
        tree[3 * i] = 0x80;
    return tree;
}

TEST(WorldStreamTest, DamagedWorldsFailWithTheirError) {
    struct Case {
        const char* name;
        std::function<void(WorldRecord&)> damage;
        uint32_t error;
    };
    const Case cases[] = {
        {"header reserves fewer vertices than the leaves hold",
         [](WorldRecord& w) { w.numVertices = 7; }, E_TV_INVALIDPARAM},
        {"header counts beyond the file", [](WorldRecord& w) { w.numVertices = 0x10000000; },
         E_TV_INVALIDPARAM},
        {"no leaves", [](WorldRecord& w) { w.numLeaves = 0; }, E_TV_INVALIDPARAM},
        {"plane node missing from the header", [](WorldRecord& w) { w.numPlanes = 0; },
         E_TV_INVALIDPARAM},
        {"triangle vertex past the leaf's vertices",
         [](WorldRecord& w) { w.root.children[1].leaf.triangles[0][3] = 4; }, E_TV_INVALIDPARAM},
        {"material past the world's list",
         [](WorldRecord& w) { w.root.children[1].leaf.triangles[0][0] = 1; }, E_TP_INDEXRANGE},
        {"bad split axis", [](WorldRecord& w) { w.root.axis = 12; }, E_TV_INVALIDPARAM},
        {"collision tree past the stored bytes",
         [](WorldRecord& w) {
             w.root.children[0].leaf.collisionTree = ChainTree(256);
             w.collisionBytes = 384;
         },
         E_TV_INVALIDPARAM},
        {"collision tree naming a missing triangle",
         [](WorldRecord& w) { w.root.children[0].leaf.collisionTree = SingleNodeTree(3); },
         E_TV_INVALIDPARAM},
        {"collision bytes too few for the trees", [](WorldRecord& w) { w.collisionBytes = 4; },
         E_TV_INVALIDPARAM},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WorldEngine engine;
        ASSERT_TRUE(engine.ok());
        WorldRecord w = TwoLeafWorld();
        c.damage(w);
        EXPECT_EQ(ReadWorldChunk(WorldBytes(w)), nullptr);
        EXPECT_EQ(LastErrorCode(), c.error);
    }
}

TEST(WorldStreamTest, TruncatedOrOldFilesFail) {
    const std::vector<uint8_t> whole = WorldBytes(TwoLeafWorld());
    // Cut in the header, the material list, the left leaf's arrays and the last extension.
    for (size_t cut : {size_t(40), size_t(100), whole.size() / 2, whole.size() - 4}) {
        SCOPED_TRACE(cut);
        WorldEngine engine;
        ASSERT_TRUE(engine.ok());
        EXPECT_EQ(ReadWorldChunk(std::vector<uint8_t>(whole.begin(), whole.begin() + long(cut))),
                  nullptr);
        EXPECT_NE(LastErrorCode(), E_TV_NOERROR);
    }
    WorldEngine engine;
    ASSERT_TRUE(engine.ok());
    ChunkWriter old;
    old.Begin(TV_ID_WORLD).Begin(TV_ID_STRUCT, 0x2FF).U32(1).End().End();
    EXPECT_EQ(ReadWorldChunk(old.data()), nullptr);
    EXPECT_EQ(LastErrorCode(), E_TV_BADVERSION);
}

// Sector plug-in data that owns memory: each constructor must be matched by a destructor.
int g_constructed = 0;
int g_made = 0;
int32_t g_sectorOffset = -1;
void* OwnConstruct(void* object, int32_t offset, int32_t) {
    g_constructed++;
    g_made++;
    *reinterpret_cast<void**>(static_cast<uint8_t*>(object) + offset) = TvMalloc(16);
    return object;
}
void* OwnDestruct(void* object, int32_t offset, int32_t) {
    g_constructed--;
    TvFree(*reinterpret_cast<void**>(static_cast<uint8_t*>(object) + offset));
    return object;
}
bool AttachSectorData() {
    g_sectorOffset =
        TpWorldSectorRegisterPlugin(sizeof(void*), 0xF0F0, OwnConstruct, OwnDestruct, nullptr);
    return g_sectorOffset >= 0;
}

TEST(WorldStreamTest, FailureAfterTheLeavesReleasesTheirPluginData) {
    g_constructed = g_made = 0;
    WorldEngine engine(AttachSectorData);
    ASSERT_TRUE(engine.ok());
    std::vector<uint8_t> bytes = WorldBytes(TwoLeafWorld());
    bytes[bytes.size() - 8] = 100; // the world's extension chunk claims more than there is
    EXPECT_EQ(ReadWorldChunk(bytes), nullptr);
    EXPECT_EQ(g_made, 2);
    EXPECT_EQ(g_constructed, 0);

    TpWorld* world = ReadWorldChunk(WorldBytes(TwoLeafWorld()));
    ASSERT_NE(world, nullptr);
    EXPECT_EQ(g_constructed, 2);
    TpWorldDestroy(world);
    EXPECT_EQ(g_constructed, 0);
}

} // namespace

namespace {

// What the world's plug-in constructor saw: the material list and sector tree are read first.
int32_t g_materialsAtConstruct = -1;
bool g_rootAtConstruct = false;
int g_worldDestructs = 0;
void* WorldConstruct(void* object, int32_t, int32_t) {
    auto* world = static_cast<TpWorld*>(object);
    g_materialsAtConstruct = world->materials.count;
    g_rootAtConstruct = world->root != nullptr;
    return object;
}
void* WorldDestruct(void* object, int32_t, int32_t) {
    g_worldDestructs++;
    return object;
}
bool AttachWorldData() {
    return TpWorldRegisterPlugin(4, 0xF0F1, WorldConstruct, WorldDestruct, nullptr) >= 0;
}

TEST(WorldStreamTest, WorldPluginDataIsMadeAfterTheTree) {
    WorldEngine engine(AttachWorldData);
    ASSERT_TRUE(engine.ok());
    g_worldDestructs = 0;
    TpWorld* world = ReadWorldChunk(WorldBytes(TwoLeafWorld()));
    ASSERT_NE(world, nullptr);
    EXPECT_EQ(g_materialsAtConstruct, 2);
    EXPECT_TRUE(g_rootAtConstruct);
    TpWorldDestroy(world);
    EXPECT_EQ(g_worldDestructs, 1);

    // A tree that fails to read never made the world's data, so nothing destroys it.
    g_worldDestructs = 0;
    std::vector<uint8_t> bytes = WorldBytes(TwoLeafWorld());
    bytes.resize(bytes.size() - 100);
    EXPECT_EQ(ReadWorldChunk(bytes), nullptr);
    EXPECT_EQ(g_worldDestructs, 0);
}

} // namespace
