// Lights: creation defaults, colour and grey flag, the per-type lighting functions over a batch
// of vertices, and packing of the accumulated colours.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/core/frame.h"
#include "engine/world/light.h"
#include "engine/world/world_plugin.h"
#include "tests/support/world_writer.h"

namespace {

class LightTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(engine_.ok()); }
    // Red added to one vertex at `at` with normal `n` by a light of `type` at the origin that
    // shines along +z (radius 10, cone 45 degrees).
    float Lit(uint8_t type, TvV3d at, TvV3d n, float r = 1, float g = 1, float b = 1,
              float* green = nullptr) {
        TpLight* light = TpLightCreate(type);
        TvFrame* frame = TvFrameCreate();
        TpLightSetFrame(light, frame);
        TpLightSetRadius(light, 10.0f);
        TpLightSetConeAngle(light, float(M_PI / 4));
        TpLightSetColor(light, r, g, b, 1);
        float color[1][4] = {{0, 0, 0, 0}};
        const float props[3] = {1, 1, 1};
        TpLightBatch batch{&at, &n, 1, color, nullptr, 1.0f, props};
        light->lightFn(light, &batch);
        if (green) *green = color[0][1];
        TpLightDestroy(light);
        TvFrameDestroy(frame);
        return color[0][0];
    }
    WorldEngine engine_;
};

TEST_F(LightTest, CreateAndColour) {
    TpLight* light = TpLightCreate(kTpLightSpot);
    ASSERT_NE(light, nullptr);
    EXPECT_EQ(TpLightGetType(light), kTpLightSpot);
    EXPECT_EQ(TvObjectGetFlags(light), kTpLightAtomics | kTpLightWorld);
    EXPECT_EQ(light->object.object.privateFlags, kTpLightGrey);
    EXPECT_EQ(light->counter, 1);
    EXPECT_EQ(light->lightingStamp, uint16_t(TpWorldGetLightingStamp() - 1));
    TpLightSetColor(light, 1, 0.5f, 1, 1);
    EXPECT_EQ(light->object.object.privateFlags, 0);
    TpLightSetColor(light, 0.5f, 0.5f, 0.5f, 1);
    EXPECT_EQ(light->object.object.privateFlags, kTpLightGrey);
    TpLightDestroy(light);
    light = TpLightCreate(7);
    EXPECT_EQ(light->lightFn, nullptr); // an unknown type lights nothing
    TpLightDestroy(light);
}

TEST_F(LightTest, AmountPerTypeAndPlace) {
    const float d = 5.0f;
    const float point = d * (1 / d - 1.0f / 10) * 255; // n . d = |d| for a vertex facing the light
    // The cone's edge lies where q . q = (t |d|)^2, that is 2 (1 - cos a) = t^2: a = 60 degrees
    // off the axis for t = 1.
    const TvV3d edge{2 * std::sqrt(3.0f), 0, 2};
    struct Case {
        const char* name;
        uint8_t type;
        TvV3d at, normal;
        float expected;
    };
    const Case cases[] = {
        {"ambient", kTpLightAmbient, {0, 0, 0}, {0, 0, 1}, 255},
        {"directional facing", kTpLightDirectional, {0, 0, 0}, {0, 0, -1}, 255},
        {"directional behind", kTpLightDirectional, {0, 0, 0}, {0, 0, 1}, 0},
        {"point", kTpLightPoint, {0, 0, d}, {0, 0, -1}, point},
        {"point at its radius", kTpLightPoint, {0, 0, 10}, {0, 0, -1}, 0},
        {"point back-facing", kTpLightPoint, {0, 0, d}, {0, 0, 1}, 0},
        {"spot on its axis", kTpLightSpot, {0, 0, d}, {0, 0, -1}, point},
        {"soft spot on its axis", kTpLightSoftSpot, {0, 0, d}, {0, 0, -1}, point},
        {"spot behind it", kTpLightSpot, {0, 0, -d}, {0, 0, 1}, 0},
        {"soft spot at the cone edge", kTpLightSoftSpot, edge, {-edge.x, 0, -edge.z}, 0},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(Lit(c.type, c.at, c.normal), c.expected, 0.05f) << c.name;
    // Inside the cone a spot gives the point amount and a soft spot less.
    const float spot = Lit(kTpLightSpot, {1, 0, d}, {0, 0, -1});
    const float soft = Lit(kTpLightSoftSpot, {1, 0, d}, {0, 0, -1});
    EXPECT_GT(spot, 0.0f);
    EXPECT_GT(soft, 0.0f);
    EXPECT_LT(soft, spot);
}

TEST_F(LightTest, GreyLightMatchesAColouredOneOfEqualValues) {
    float greyGreen = 0, colouredGreen = 0;
    const float grey = Lit(kTpLightPoint, {0, 0, 3}, {0, 0, -1}, 0.5f, 0.5f, 0.5f, &greyGreen);
    const float red = Lit(kTpLightPoint, {0, 0, 3}, {0, 0, -1}, 0.5f, 0.25f, 0.5f, &colouredGreen);
    EXPECT_FLOAT_EQ(grey, red);
    EXPECT_FLOAT_EQ(greyGreen, grey);
    EXPECT_FLOAT_EQ(colouredGreen, red / 2);
}

TEST_F(LightTest, BatchStartsFromPreLightAndPacksClamped) {
    const uint8_t pre[8] = {10, 20, 30, 40, 250, 0, 0, 255};
    float colors[2][4];
    TpLightBatchBegin(colors, pre, 2);
    colors[0][0] += 5.5f;
    colors[1][0] += 100; // past 255
    colors[1][1] -= 7;   // below 0
    uint32_t packed[2];
    TpLightBatchEnd(colors, packed, 2);
    EXPECT_EQ(packed[0], 0x280F141Eu);
    EXPECT_EQ(packed[1], 0xFFFF0000u);
}

} // namespace
