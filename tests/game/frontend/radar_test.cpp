#include "tests/game/frontend/hud_fixture.h"

#include "game/frontend/radar.h"

#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "game/objects/scanner.h"
#include "shell/gamemain.h"

#include <algorithm>
#include "tests/support/hud_writer.h"

namespace {

constexpr int32_t kBlipType = 40;

class RadarTest : public HudTest {
protected:
    void SetUp() override {
        HudTest::SetUp();
        MV2ObjectType* type = ModelType(kBlipType, 0.5f);
        type->words[32] = 3u << 28; // green blips
        type->words[7] |= 1u << 9;  // objects of the type show on the radar
        // Drawn and tested: the world's atomic queries see collision atomics only.
        TpClumpForAllAtomics(
            type->model, [](TpAtomic* a, void*) { return TpAtomicSetFlags(a, 5); }, nullptr);
        subMatrix.at = {0, 0, 1};
        subMatrix.pos = {0, 0, 0};
        sub.matrix = &subMatrix;
    }

    MV2Object* At(float x, float y, float z) {
        const float p[3] = {x, y, z};
        return MV2CreateObject(kBlipType, p, nullptr);
    }

    int32_t Shown() const { return gMV2Radar.above + gMV2Radar.below; }

    TvMatrix subMatrix = {};
    MV2Object sub = {};
};

TEST_F(RadarTest, AnObjectExactlyAtTheRangeIsNotShown) {
    MV2Object* at = At(10.0f, 0.0f, 0.0f);
    MV2Object* inside = At(0.0f, 0.0f, -9.99f);
    ASSERT_TRUE(at && inside);
    MV2RadarStartFrame(&sub, 10.0f);
    MV2RadarConsider(at);
    EXPECT_EQ(Shown(), 0);
    MV2RadarConsider(inside);
    ASSERT_EQ(Shown(), 1);
    EXPECT_EQ(gMV2Radar.blips[0].object, inside);
    EXPECT_EQ(gMV2Radar.blips[0].kind, 3);
}

TEST_F(RadarTest, NegativeRangeMirrorsTheZAxis) {
    MV2Object* object = At(2.0f, 0.0f, 5.0f);
    ASSERT_NE(object, nullptr);
    float z[2], x[2];
    const float ranges[2] = {10.0f, -10.0f};
    for (int i = 0; i < 2; ++i) {
        MV2RadarStartFrame(&sub, ranges[i]);
        MV2RadarConsider(object);
        ASSERT_EQ(Shown(), 1);
        z[i] = gMV2Radar.blips[0].z, x[i] = gMV2Radar.blips[0].x;
    }
    EXPECT_EQ(z[0], -z[1]);
    EXPECT_NE(z[0], 0.0f);
    EXPECT_EQ(x[0], x[1]);
}

TEST_F(RadarTest, ThreeHundredObjectsInRangeGiveTwoHundredFiftySixBlips) {
    std::vector<MV2Object*> objects;
    for (int i = 0; i < 300; ++i) {
        MV2Object* o = At(float(i % 17) - 8.0f, i % 2 ? 2.0f : -2.0f, float(i % 13) - 6.0f);
        ASSERT_NE(o, nullptr) << i;
        objects.push_back(o);
    }
    MV2RadarStartFrame(&sub, 50.0f);
    for (MV2Object* o : objects) MV2RadarConsider(o);
    MV2RadarFinishFrame();
    EXPECT_EQ(Shown(), kMV2RadarBlips);
    EXPECT_GT(gMV2Radar.above, 0);
    EXPECT_GT(gMV2Radar.below, 0);
    // Each part is sorted by z; the front part holds the objects at or above the sub.
    for (int i = 1; i < gMV2Radar.above; ++i) EXPECT_LE(gMV2Radar.blips[i - 1].z, gMV2Radar.blips[i].z);
    for (int i = 0; i < gMV2Radar.above; ++i) EXPECT_GE(gMV2Radar.blips[i].object->matrix->pos.y, 0.0f);
    for (int i = kMV2RadarBlips - gMV2Radar.below + 1; i < kMV2RadarBlips; ++i)
        EXPECT_LE(gMV2Radar.blips[i - 1].z, gMV2Radar.blips[i].z);
}

TEST_F(RadarTest, BlipsBelowTheSubDrawBeforeTheBackgroundAndAboveAfter) {
    // A world 40 units across with atomics of its own (not objects), the sub in its middle.
    DestroyGridWorld(grid_);
    grid_ = MakeGridWorld(16);
    TV_ENGINE->worldLibrary = grid_.world;
    subMatrix.pos = {20.0f, 5.0f, 20.0f};
    MV2Object* below = At(21.0f, 3.0f, 21.0f);
    MV2Object* above = At(19.0f, 7.0f, 21.0f);
    ASSERT_TRUE(below && above);
    TvFrameSyncDirty(); // ties the moved atomics to their sectors, as a frame's begin does
    HudLayoutBytes l;
    // Style 2, screen scale 40, tilt 30, range 10, background sprite 7, centre (100, 100).
    auto bits = [](float f) {
        uint32_t v;
        std::memcpy(&v, &f, 4);
        return v;
    };
    l.elements.push_back({1, {2, bits(40.0f), bits(30.0f), bits(10.0f), 7, 100, 100}});
    UseLayouts(HudLayoutData({l}));
    MV2HudLayout layout;
    ASSERT_EQ(MV2HudGetLayout(0, &layout), 1);
    MV2HudElement e = {};
    ASSERT_EQ(MV2HudNextElement(&layout, &e), 1);
    MV2RadarDrawElement(&sub, &layout, &e);
    ASSERT_EQ(Shown(), 2) << "the sphere query finds both objects";
    // Calls in order: the lower dot, the background quad on a sprite page, the upper dot.
    std::vector<int> order;
    for (const Sink2DCall& c : Calls()) order.push_back(c.raster == intptr_t(&page) ? 1 : 0);
    ASSERT_GE(order.size(), 3u);
    EXPECT_EQ(order.front(), 0);
    EXPECT_EQ(order.back(), 0);
    EXPECT_NE(std::find(order.begin(), order.end(), 1), order.end());
    const uint32_t green = MV2RadarBlipColour(3, 255);
    EXPECT_EQ(Calls().front().vertices[0].colour, green);
    EXPECT_EQ(Calls().back().vertices[0].colour, green);
}

TEST_F(RadarTest, ADeadTargetClearsOnTheNextUpdate) {
    MV2Object* object = At(1.0f, 0.0f, 0.0f);
    ASSERT_NE(object, nullptr);
    MV2ResetTarget();
    EXPECT_EQ(gMV2Target.type, uint32_t(kMV2NoTargetType));
    EXPECT_EQ(gMV2Target.lastWord, -1);
    gMV2Target = {uint32_t(kBlipType), object, object->handle, {0, 0}, -1};
    MV2UpdateTarget();
    EXPECT_EQ(MV2GetTarget(), object);
    MV2ObjectSendMessage(object, 4, 0, 0);
    MV2UpdateTarget();
    EXPECT_EQ(gMV2Target.type, uint32_t(kMV2NoTargetType));
    EXPECT_EQ(MV2GetTarget(), nullptr);
}

TEST_F(RadarTest, BlipColoursByKind) {
    const struct {
        int32_t kind;
        uint32_t colour;
    } cases[] = {{1, 0xFFFF0000u}, {2, 0xFFFFFF00u}, {3, 0xFF00FF00u}, {4, 0xFF0000FFu},
                 {6, 0xFF00FFFFu}, {7, 0xFFFF00FFu}, {8, 0xFFFF7F00u}, {0, 0xFFFFFFFFu},
                 {15, 0xFFFFFFFFu}};
    for (const auto& c : cases) EXPECT_EQ(MV2RadarBlipColour(c.kind, 255), c.colour) << c.kind;
}

} // namespace

namespace {

// Reticle sprite words of 0, 65535 and anything past the sprite table draw nothing.
TEST_F(RadarTest, ReticleSpritesBeyondTheTableAreNone) {
    MV2HudLayout layout = {};
    layout.reticleWord = 0xFF000000u;
    const struct {
        uint32_t near, far;
        bool drawn;
    } cases[] = {{0, 65535, false}, {320, 400, false}, {0xFFFFFFFFu, 0, false}, {5, 0, true}};
    for (const auto& c : cases) {
        layout.reticleSprites[0] = c.near, layout.reticleSprites[1] = c.far;
        TvRenderStateSet(kTvRenderStateTextureRaster, 0);
        MV2RadarDrawReticle(&sub, &layout);
        EXPECT_EQ(HudSink::raster == intptr_t(&page), c.drawn) << c.near;
    }
}

} // namespace

namespace {

// The scanner's side of the radar: this frame's lockable objects are its contacts, and its
// 96 x 96 target indicator is placed only where the point projects onto the screen.
TEST_F(RadarTest, ScannerContactsAndTargetIndicator) {
    MV2GetObjectType(kBlipType)->words[33] |= 0x8000u; // lockable (and scannable)
    MV2Object* a = At(1.0f, 0.0f, 2.0f);
    MV2Object* b = At(-1.0f, 0.0f, 3.0f);
    ASSERT_TRUE(a && b);
    MV2RadarStartFrame(&sub, 10.0f);
    MV2RadarConsider(a);
    MV2RadarConsider(b);
    MV2Object* const* contacts = nullptr;
    ASSERT_EQ(MV2GetRadarContacts(&contacts), 2);
    EXPECT_EQ(contacts[0], a);
    EXPECT_EQ(contacts[1], b);

    TvCamera* camera = TvCameraCreate();
    TvFrame* frame = TvFrameCreate();
    ASSERT_TRUE(camera && frame);
    TvCameraSetFrame(camera, frame);
    const TvV2d window{0.55f, 0.55f};
    TvCameraSetViewWindow(camera, &window);
    TvCamera* saved = gMV2MainCamera;
    gMV2MainCamera = camera;
    ASSERT_EQ(MV2HudBeginDraw(1), 1);
    Calls().clear();
    const TvV3d ahead{0, 0, 10}, behind{0, 0, -10}, aside{100, 0, 1};
    EXPECT_EQ(MV2PlaceTargetIndicator(&behind, 96, 96), 0);
    EXPECT_EQ(MV2PlaceTargetIndicator(&aside, 96, 96), 0);
    EXPECT_EQ(Sprites(), 0u);
    EXPECT_EQ(MV2PlaceTargetIndicator(&ahead, 96, 96), 1);
    ASSERT_EQ(Sprites(), 1u);
    const float cx = float(MV2HudScreenWidth()) / 2.0f;
    float left = 1e9f, right = -1e9f;
    for (const TvIm2DVertex& v : Calls().back().vertices) left = std::min(left, v.x), right = std::max(right, v.x);
    EXPECT_NEAR(left, cx - 48.0f, 1.0f);
    EXPECT_NEAR(right, cx + 48.0f, 1.0f);
    MV2HudEndDraw();
    gMV2MainCamera = saved;
    TvCameraSetFrame(camera, nullptr);
    TvFrameDestroy(frame);
}

} // namespace
