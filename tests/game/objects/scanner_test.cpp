// The scanner tool: range, facing, line of sight and the two-second scan.
#include "game/objects/scanner.h"
#include "game/player/player.h"
#include "game/player/tools.h"
#include "tests/game/objects/object_fixture.h"
#include "tests/support/world_stream_writer.h"

namespace {

constexpr int32_t kCarrier = 20, kFish = 21, kCousin = 22, kOther = 23;

struct Radar {
    static inline std::vector<MV2Object*> entries;
    static inline int32_t placed = 1;
    static int32_t Contacts(MV2Object* const** out) {
        *out = entries.data();
        return int32_t(entries.size());
    }
    static int32_t Indicator(const TvV3d*, int32_t, int32_t) { return placed; }
    static void Set(const std::vector<MV2Object*>& objects) { entries = objects; }
};

struct Scanned {
    static inline std::vector<MV2Object*> told; // message 97
    static intptr_t Handler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
        if (message == 97) told.push_back(object);
        return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
};

// A wall at z = 8 (x and y from -2 to 2) facing the carrier at the origin.
class ScannerTest : public ObjectTest {
protected:
    void SetUp() override {
        ObjectTest::SetUp();
        world_ = MakeLeafWorld({{-2, -2, 8}, {2, -2, 8}, {2, 2, 8}, {-2, 2, 8}},
                               {{0, 0, 2, 1}, {0, 0, 3, 2}});
        ASSERT_NE(world_, nullptr);
        TV_ENGINE->worldLibrary = world_;
        saved_ = gMV2ScannerCalls;
        gMV2ScannerCalls = {Radar::Contacts, Radar::Indicator};
        Radar::placed = 1;
        Scanned::told.clear();
        MV2ObjectType* carrier = ModelType(kCarrier, 1.0f);
        carrier->words[7] |= kMV2TypeNoSpin; // carries tools
        for (int32_t t : {kFish, kCousin, kOther}) {
            MV2ObjectType* type = ModelType(t, 0.5f);
            type->words[33] = 1u << 15; // scannable
            type->words[28] = t == kOther ? 2 : 1;
            MV2SetObjectTypeHandler(t, Scanned::Handler);
        }
        carrier_ = Make(kCarrier, 0, 0, 0);
        MV2ScannerToolHandler(&tool_, 3, 0, reinterpret_cast<intptr_t>(carrier_));
        gMV2FrameTimer.milliseconds = 500;
    }
    void TearDown() override {
        Radar::entries.clear();
        gMV2ScannerCalls = saved_;
        MV2DestroyAllObjects();
        TV_ENGINE->worldLibrary = grid_.world;
        TpWorldDestroy(world_);
        ObjectTest::TearDown();
    }
    MV2Object* Make(int32_t type, float x, float y, float z) {
        const float at[3] = {x, y, z};
        MV2Object* o = MV2CreateObject(type, at, nullptr);
        TvFrameSyncDirty();
        return o;
    }
    void Frames(int32_t n) {
        for (int32_t i = 0; i < n; i++)
            MV2ScannerToolHandler(&tool_, 68, 0, reinterpret_cast<intptr_t>(carrier_));
    }

    TpWorld* world_ = nullptr;
    MV2ScannerCalls saved_{};
    MV2Tool tool_{};
    MV2Object* carrier_ = nullptr;
};

TEST_F(ScannerTest, OnlyVisibleObjectsWithinFifteenUnitsAreScanned) {
    struct Case {
        const char* what;
        TvV3d at;
        bool scanned;
    };
    const Case cases[] = {
        {"in front, 14.9 away", {4, 0.5f, 14.3f}, true},
        {"15 away", {4, 0, 14.46f}, false},
        {"behind", {0.5f, 0.5f, -5}, false},
        {"hidden by the wall", {0.5f, 0.5f, 12}, false},
        {"dead centre", {0, 0, 5}, false}, // a screen distance of 0 is not taken
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MV2ClearKnownTypes();
        Scanned::told.clear();
        MV2Object* fish = Make(kFish, c.at.x, c.at.y, c.at.z);
        Radar::Set({fish});
        Frames(5);
        EXPECT_EQ(MV2TestKnownType(kFish) != 0, c.scanned);
        EXPECT_EQ(Scanned::told.size(), c.scanned ? 1u : 0u);
        MV2ObjectSendMessage(fish, 4, 1, 0);
    }
}

TEST_F(ScannerTest, TwoSecondsOfScanningMakeTheGroupKnown) {
    MV2Object* fish = Make(kFish, 1, 0.5f, 6);
    MV2Object* other = Make(kOther, -3, 0.5f, 6.5f); // further from the view's centre
    Radar::Set({fish, other});
    Frames(4); // 2000 ms: not yet more than two seconds
    EXPECT_FALSE(MV2TestKnownType(kFish));
    Frames(1);
    EXPECT_TRUE(MV2TestKnownType(kFish));
    EXPECT_TRUE(MV2TestKnownType(kCousin)); // same scan group
    EXPECT_FALSE(MV2TestKnownType(kOther));
    EXPECT_EQ(Scanned::told, std::vector<MV2Object*>{fish});
    // A known type is still targeted but raises nothing more.
    Frames(5);
    EXPECT_EQ(Scanned::told.size(), 1u);

    // Looking from one object to another restarts the count.
    MV2ObjectSendMessage(fish, 4, 1, 0);
    Radar::Set({other});
    Frames(2);
    EXPECT_FALSE(MV2TestKnownType(kOther));
    // An indicator that cannot be placed drops the scan.
    Radar::placed = 0;
    Frames(1);
    Radar::placed = 1;
    Frames(4);
    EXPECT_FALSE(MV2TestKnownType(kOther));
    Frames(1);
    EXPECT_TRUE(MV2TestKnownType(kOther));
}

TEST_F(ScannerTest, UseTogglesTheScanner) {
    MV2Object* fish = Make(kFish, 1, 0.5f, 6);
    Radar::Set({fish});
    EXPECT_EQ(MV2ScannerToolHandler(&tool_, 53, 0, 0), 1);
    EXPECT_EQ(tool_.charges, -1);
    int32_t gauge[7] = {0, 9, 0, 0, 0, 0, 0};
    MV2ScannerToolHandler(&tool_, 59, 0, reinterpret_cast<intptr_t>(gauge));
    EXPECT_EQ(gauge[1], 0);
    Frames(10);
    EXPECT_FALSE(MV2TestKnownType(kFish));
    MV2ScannerToolHandler(&tool_, 53, 0, 0);
    Frames(10);
    EXPECT_TRUE(MV2TestKnownType(kFish));
    // Messages it does not handle get the default tool answers.
    int32_t icon[2] = {0, 0};
    EXPECT_EQ(MV2ScannerToolHandler(&tool_, 57, 0, reinterpret_cast<intptr_t>(icon)), 1);
    EXPECT_EQ(icon[0], 320);
    EXPECT_EQ(MV2ScannerToolHandler(&tool_, 99, 0, 0), 0);
}

} // namespace
