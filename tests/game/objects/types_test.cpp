// Type records from the menu resource file, the clump loader and the per-type model set-up.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/core/texture.h"
#include "engine/core/raster.h"
#include "engine/core/stream.h"
#include "engine/world/anim.h"
#include "game/objects/collision.h"
#include "game/objects/utilities.h"
#include "shell/resfile.h"
#include "tests/game/objects/object_fixture.h"
#include "engine/core/memory.h"
#include "shell/pack.h"
#include "tests/support/data_folder.h"
#include "tests/support/pack_writer.h"
#include "tests/support/resfile_writer.h"
#include "tools/sampledata/objects.h"

namespace {

void SetWord(std::vector<uint8_t>& r, int32_t word, uint32_t v) {
    for (int i = 0; i < 4; i++)
        r[4 * word + i] = uint8_t(v >> (8 * i));
}

void SetFloat(std::vector<uint8_t>& r, int32_t word, float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    SetWord(r, word, v);
}

void SetName(std::vector<uint8_t>& r, int32_t word, const char* name, size_t bytes) {
    std::memset(&r[4 * word], 0, bytes);
    std::memcpy(&r[4 * word], name, std::min(bytes, std::strlen(name)));
}

std::vector<uint8_t> U32(uint32_t v) {
    return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}

// A cube of side 2 about the origin, 12 triangles, `morphs` targets (target i scaled by i + 1).
GeometryRecord Cube(int32_t morphs = 1) {
    GeometryRecord g;
    g.numVertices = 8;
    for (int32_t m = 0; m < morphs; m++) {
        MorphRecord r;
        const float s = float(m + 1);
        for (int i = 0; i < 8; i++)
            r.vertices.push_back({i & 1 ? s : -s, i & 2 ? s : -s, i & 4 ? s : -s});
        r.sphere = {0, 0, 0, 1.8f * s};
        g.morphs.push_back(r);
    }
    const uint16_t faces[6][4] = {{0, 1, 3, 2}, {4, 6, 7, 5}, {0, 4, 5, 1},
                                  {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 5, 7, 3}};
    for (const auto& f : faces) {
        g.triangles.push_back({f[0], f[1], f[2], 0xFFFF});
        g.triangles.push_back({f[0], f[2], f[3], 0xFFFF});
    }
    return g;
}

// A model file of one part tagged `tag` (and stored collision-data bytes that must be skipped).
std::vector<uint8_t> CubeModel(uint32_t tag, int32_t morphs = 1) {
    ChunkWriter w;
    AtomicRecord a;
    a.geometry = Cube(morphs);
    a.extension = {{kMV2AtomicDataPluginId, U32(tag)},
                   {kMV2AtomicCollDataPluginId, U32(0xDEADBEEF)}};
    WriteClump(w, {FrameAt(0, 0, 0, -1)}, {a});
    return w.data();
}

struct ShadowReads {
    static inline std::vector<std::pair<std::string, std::string>> reads;
    static TvTexture* Read(const char* name, const char* mask) {
        reads.emplace_back(name, mask ? mask : "");
        return TvTextureCreateNamed(TvRasterCreate(1, 1, 32, 0), name, mask);
    }
};

class TypesTest : public ObjectTest {
protected:
    void SetUp() override {
        ObjectTest::SetUp();
        savedRead_ = TvTextureGetReadCallBack();
        TvTextureSetReadCallBack(ShadowReads::Read);
        ShadowReads::reads.clear();
    }
    void TearDown() override {
        MV2FreeMenuResourceFile();
        TvTextureSetReadCallBack(savedRead_);
        ObjectTest::TearDown();
    }
    bool LoadTypes(const std::vector<std::vector<uint8_t>>& types) {
        ResourceFile file;
        file.types = types;
        folder_.Write("data/menu.mv2", BuildResourceFile(file));
        return MV2LoadMenuResourceFile(".\\data\\menu.mv2") == 1;
    }
    // A type whose model is CUBE (as "CUBE.X") colliding through "CUBE.COL".
    static std::vector<uint8_t> CubeType(uint32_t id, uint32_t mode = 2) {
        std::vector<uint8_t> r = TypeRecord(id);
        SetName(r, 34, "CUBE.X", 16);
        SetName(r, 42, "CUBE.COL", 16);
        SetWord(r, 33, mode << 12);
        SetFloat(r, 10, 0.5f);
        SetFloat(r, 11, 2.0f);
        return r;
    }

    DataFolder folder_;
    TvTextureReadCallBack savedRead_ = nullptr;
};

intptr_t PrivateDataHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) {
        *reinterpret_cast<intptr_t*>(p2) = 24;
        return 1;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

TEST_F(TypesTest, TableIsFilledFromTheTypeRecords) {
    std::vector<uint8_t> a = TypeRecord(5, 0xAB);
    SetName(a, 38, "", 16);             // no sub-structure
    SetName(a, 46, "SHADOWMAP123", 12); // no terminator in its 12 bytes
    SetWord(a, 7, kMV2TypeModelLoaded | kMV2TypeCollidesWorld);
    SetWord(a, 32, 4u << 16);
    SetWord(a, 30, 0); // in no level group: no model at start-up
    std::vector<uint8_t> b = TypeRecord(7);
    SetName(b, 46, "ABC", 12);
    MV2SetObjectTypeHandler(5, PrivateDataHandler);
    ASSERT_TRUE(LoadTypes({a, b}));
    ASSERT_EQ(MV2InitialiseObjectTypes(), 1);

    const MV2ObjectType* t5 = MV2GetObjectType(5);
    EXPECT_EQ(t5->words[51], 5u);
    EXPECT_EQ(t5->words[2], 0xABABABABu);
    EXPECT_EQ(t5->words[7], kMV2TypeCollidesWorld); // the loaded flag is cleared
    // Stored run-time words mean nothing.
    EXPECT_EQ(t5->model, nullptr);
    EXPECT_EQ(t5->collisionData, nullptr);
    EXPECT_EQ(t5->subDefinition, nullptr);
    EXPECT_EQ(t5->words[0], 0u);
    EXPECT_EQ(t5->words[49], 0u);
    ASSERT_NE(t5->privateData, nullptr);
    EXPECT_EQ(t5->privateDataSize, 24u);
    ASSERT_NE(t5->shadowTexture, nullptr);
    EXPECT_EQ(t5->shadowTexture->filterMode, 2u);

    // Absent: all zero, and creating one asks the type handler (the default creates it).
    const MV2ObjectType* t6 = MV2GetObjectType(6);
    for (uint32_t w : t6->words)
        EXPECT_EQ(w, 0u);
    EXPECT_EQ(t6->privateData, nullptr);

    const std::vector<std::pair<std::string, std::string>> reads = {{"SHADALPH", "SHADOWMAP123"},
                                                                    {"ABCALPH", "ABC"}};
    EXPECT_EQ(ShadowReads::reads, reads);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(TypesTest, StartupFailures) {
    // A sub-structure that cannot be found stops the fill.
    std::vector<uint8_t> a = TypeRecord(5);
    SetName(a, 38, "NOSUCHSUB", 16);
    ASSERT_TRUE(LoadTypes({a}));
    EXPECT_EQ(MV2InitialiseObjectTypes(), 0);
    EXPECT_EQ(Boxes(), std::vector<std::string>{"Could not read sub structure file"});
}

TEST_F(TypesTest, ModelLoadBuildsTheCollisionFileOnce) {
    folder_.Write("CLUMP/CUBE.DFF", CubeModel(11));
    ASSERT_TRUE(LoadTypes({CubeType(5)}));
    ASSERT_EQ(MV2InitialiseObjectTypes(), 1);
    MV2ObjectType* type = MV2GetObjectType(5);
    ASSERT_EQ(MV2LoadObjectTypeModel(type), 1) << (Boxes().empty() ? "" : Boxes()[0]);
    ASSERT_NE(type->model, nullptr);
    TpAtomic* atomic = MV2GetFirstAtomic(type->model);
    // The part tag came with the model; the stored tree word was skipped.
    EXPECT_EQ(MV2AtomicGetPartTag(atomic), 11u);
    EXPECT_EQ(MV2AtomicGetCollData(atomic), static_cast<uint8_t*>(type->collisionData) + 16 + 244);
    EXPECT_EQ(atomic->object.object.flags & 5, 5);
    EXPECT_FALSE(folder_.Read("CLUMP/CUBE.COL").empty());
    EXPECT_TRUE(type->words[7] & kMV2TypeModelLoaded);
    const float extent = std::sqrt(3.0f);
    EXPECT_FLOAT_EQ(MV2TypeFloat(type, 10), 0.5f * extent);
    EXPECT_FLOAT_EQ(MV2TypeFloat(type, 11), 2.0f * extent);
    EXPECT_FLOAT_EQ(TpGeometryGetMorphTarget(atomic->geometry, 0)->boundingSphere.radius, extent);

    // Dropped and loaded again: the radius is not scaled twice and the grid is linked again.
    TpClumpDestroy(type->model);
    type->model = nullptr;
    type->words[7] &= ~kMV2TypeModelLoaded;
    ASSERT_EQ(MV2LoadObjectTypeModel(type), 1);
    EXPECT_FLOAT_EQ(MV2TypeFloat(type, 10), 0.5f * extent);
    EXPECT_NE(MV2AtomicGetCollData(MV2GetFirstAtomic(type->model)), nullptr);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(TypesTest, DamagedCollisionFileIsRebuilt) {
    folder_.Write("CLUMP/CUBE.DFF", CubeModel(11));
    folder_.Write("CLUMP/CUBE.COL", std::vector<uint8_t>(300, 0x7F));
    ASSERT_TRUE(LoadTypes({CubeType(5)}));
    ASSERT_EQ(MV2InitialiseObjectTypes(), 1);
    MV2ObjectType* type = MV2GetObjectType(5);
    ASSERT_EQ(MV2LoadObjectTypeModel(type), 1);
    EXPECT_NE(type->collisionData, nullptr);
    EXPECT_EQ(folder_.Read("CLUMP/CUBE.COL")[0], 1);
}

TEST_F(TypesTest, CollisionFileOfAPackedModelIsKeptInTheDataFolder) {
    const std::vector<uint8_t> model = CubeModel(11);
    folder_.Write("clump.pak", BuildPack({{"CUBE.DFF", std::string(model.begin(), model.end())}}));
    folder_.Write("CLUMP/readme.txt", std::string("models are packed"));
    MV2PackFile* pack = MV2MountPackFile(".\\clump.pak");
    ASSERT_NE(pack, nullptr);
    ASSERT_TRUE(LoadTypes({CubeType(5)}));
    ASSERT_EQ(MV2InitialiseObjectTypes(), 1);
    MV2ObjectType* type = MV2GetObjectType(5);
    ASSERT_EQ(MV2LoadObjectTypeModel(type), 1);
    const std::vector<uint8_t> written = folder_.Read("CLUMP/CUBE.COL");
    EXPECT_FALSE(written.empty());
    // The next run reads it from the folder.
    TvFree(type->collisionData);
    type->collisionData = nullptr;
    TpClumpDestroy(type->model);
    type->model = nullptr;
    ASSERT_EQ(MV2LoadObjectTypeModel(type), 1);
    EXPECT_NE(type->collisionData, nullptr);
    EXPECT_TRUE(Boxes().empty());
    MV2FreeObjectTypes();
    MV2UnmountPackFile(pack);
}

TEST_F(TypesTest, RootAtomicModeAndMorphCycle) {
    folder_.Write("CLUMP/CUBE.DFF", CubeModel(0, 3));
    std::vector<uint8_t> r = CubeType(5, 1);
    SetWord(r, 33, (1u << 12) | (2u << 19));
    ASSERT_TRUE(LoadTypes({r}));
    ASSERT_EQ(MV2InitialiseObjectTypes(), 1);
    MV2ObjectType* type = MV2GetObjectType(5);
    ASSERT_EQ(MV2LoadObjectTypeModel(type), 1);
    EXPECT_EQ(type->collisionData, nullptr);
    EXPECT_TRUE(folder_.Read("CLUMP/CUBE.COL").empty());
    EXPECT_TRUE(type->words[7] & kMV2TypeAnimKeys);
    EXPECT_EQ((type->words[32] >> 8) & 0xFF, 3u);
    TpAtomic* atomic = MV2GetFirstAtomic(type->model);
    EXPECT_EQ(TpAnimSequenceAtomicGetCurrentKeyIndex(atomic), 0);
    // The last key runs from the last target back to the first.
    const TpAnimKey* last = TpAnimSequenceGeometryGetKey(atomic->geometry, 2);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->next, TpAnimSequenceGeometryGetKey(atomic->geometry, 0));
    // The extent is that of the first target.
    EXPECT_FLOAT_EQ(MV2TypeFloat(type, 10), 0.5f * std::sqrt(3.0f));
}

TEST_F(TypesTest, ClumpLoadFailures) {
    ChunkWriter geometryOnly;
    WriteGeometry(geometryOnly, Cube());
    folder_.Write("CLUMP/GEOM.DFF", geometryOnly.data());
    ChunkWriter broken;
    AtomicRecord bad;
    bad.geometry = Cube();
    bad.geometry.triangles[0].v2 = 99; // no such vertex
    WriteClump(broken, {FrameAt(0, 0, 0, -1)}, {bad});
    folder_.Write("CLUMP/CUT.DFF", broken.data());
    EXPECT_EQ(MV2ClumpLoad(".\\CLUMP\\NONE.DFF"), nullptr);
    EXPECT_EQ(MV2ClumpLoad(".\\CLUMP\\GEOM.DFF"), nullptr);
    EXPECT_EQ(MV2ClumpLoad(".\\CLUMP\\CUT.DFF"), nullptr);
    const std::vector<std::string> boxes = {"Cannot open clump .\\CLUMP\\NONE.DFF\n",
                                            "Clump in wrong format .\\CLUMP\\GEOM.DFF\n",
                                            "Clump chunk error .\\CLUMP\\CUT.DFF\n"};
    EXPECT_EQ(Boxes(), boxes);
    // A type whose model is missing does not load.
    std::vector<uint8_t> r = CubeType(5);
    SetName(r, 34, "NONE", 16);
    ASSERT_TRUE(LoadTypes({r}));
    ASSERT_EQ(MV2InitialiseObjectTypes(), 1);
    PlatformClearMessageBoxes();
    EXPECT_EQ(MV2LoadObjectTypeModel(MV2GetObjectType(5)), 0);
    EXPECT_EQ(Boxes().back(), "Cannot load object sub structure file");
}

TEST_F(TypesTest, LevelGroupModelSets) {
    folder_.Write("CLUMP/CUBE.DFF", CubeModel(1));
    std::vector<uint8_t> a = CubeType(5, 0), b = CubeType(6, 0);
    SetWord(a, 30, 0x1); // group 0
    SetWord(b, 30, 0x4); // group 1
    ASSERT_TRUE(LoadTypes({a, b}));
    ASSERT_EQ(MV2InitialiseObjectTypes(), 1);
    MV2ObjectType* ta = MV2GetObjectType(5);
    MV2ObjectType* tb = MV2GetObjectType(6);
    MV2LoadLevelObjectModels(0x00000002);
    EXPECT_NE(ta->model, nullptr);
    EXPECT_EQ(tb->model, nullptr);
    TpClump* first = ta->model;
    MV2LoadLevelObjectModels(0x00FFFFFF); // same group: nothing changes
    EXPECT_EQ(ta->model, first);
    MV2LoadLevelObjectModels(0x01000000);
    EXPECT_EQ(ta->model, nullptr);
    EXPECT_FALSE(ta->words[7] & kMV2TypeModelLoaded);
    EXPECT_NE(tb->model, nullptr);
    EXPECT_EQ(MV2LevelGroupBit(0x0B000000), 0x800u);
    EXPECT_EQ(MV2LevelGroupBit(0x08000000), 0u);
}

} // namespace

namespace {

TEST_F(TypesTest, SampleTypesLoadTheirModels) {
    std::vector<PackWriterEntry> models;
    SampleObjectModels(models);
    for (const PackWriterEntry& m : models)
        folder_.Write("CLUMP/" + m.name, std::vector<uint8_t>(m.data.begin(), m.data.end()));
    std::vector<std::vector<uint8_t>> types;
    SampleObjectTypeRecords(types);
    ASSERT_TRUE(LoadTypes(types));
    ASSERT_EQ(MV2InitialiseObjectTypes(), 1);
    EXPECT_TRUE(Boxes().empty()) << Boxes()[0];
    const MV2ObjectType* prop = MV2GetObjectType(int32_t(kSampleTreePropType));
    ASSERT_NE(prop->model, nullptr);
    EXPECT_NE(prop->collisionData, nullptr);
    EXPECT_NE(MV2GetObjectType(int32_t(kSampleBallType))->model, nullptr);
    EXPECT_EQ(ShadowReads::reads.size(), 1u);
    // A ball dropped onto the prop's plate rests on it.
    MV2Object* p = MV2CreateObject(int32_t(kSampleTreePropType), nullptr, nullptr);
    const float above[3] = {-2, 0.8f, 1};
    MV2Object* ball = MV2CreateObject(int32_t(kSampleBallType), above, nullptr);
    ASSERT_NE(p, nullptr);
    ASSERT_NE(ball, nullptr);
    ASSERT_NE(ball->body, nullptr);
    TvFrameSyncDirty();
    EXPECT_TRUE(Boxes().empty());
}

} // namespace
