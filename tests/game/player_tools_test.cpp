// The tool system: lists, selection, use with cooldowns and charges, the command dispatch and
// its default answers.
#include "tests/game/player_fixture.h"

#include "game/frontend/hud.h"
#include "game/missions/lightobject.h"
#include "game/objects/camera.h"
#include "game/objects/objecttypes.h"

#include <cmath>
#include <cstring>
#include <tuple>

namespace {

// A handler that answers an icon and counts the commands it sees.
std::vector<int32_t> gToolCommands;
int32_t IconTool(MV2Tool* tool, int32_t command, intptr_t p1, intptr_t p2) {
    gToolCommands.push_back(command);
    if (command == 57) {
        reinterpret_cast<MV2ToolIcon*>(p2)->sprite = 40 + tool->kind;
        return 1;
    }
    return MV2DefaultToolHandler(tool, command, p1, p2);
}

class ToolTest : public PlayerTest {
protected:
    void SetUp() override {
        PlayerTest::SetUp();
        gToolCommands.clear();
        // Rows 10 and 13 answer the defaults until their modules register (other suites do).
        MV2SetToolRowHandler(10, nullptr);
        MV2SetToolRowHandler(13, nullptr);
        craft = SpawnPlayer();
        ASSERT_NE(craft, nullptr);
        craft->type->words[7] |= kMV2TypeNoSpin; // carries tools
        list = &Sub(craft)->tools;
    }
    // Frames of the tool update until `ms` have passed.
    void Run(int32_t ms) {
        for (int32_t t = 0; t < ms; t += 33) {
            MV2BroadcastToolCommand(Sub(craft), 2, 0, 0);
        }
    }
    MV2Object* craft = nullptr;
    MV2ToolList* list = nullptr;
};

} // namespace

TEST_F(ToolTest, KindsOutsideTheTableAreRefusedAndReAddingRestoresOnlyTheCharges) {
    EXPECT_EQ(MV2AddTool(list, -1, craft), 0);
    EXPECT_EQ(MV2AddTool(list, 15, craft), 0);
    EXPECT_EQ(MV2CountTools(list), 0);
    ASSERT_EQ(MV2AddTool(list, 14, craft), 1);
    MV2Tool* dart = MV2FindTool(list, 14);
    ASSERT_NE(dart, nullptr);
    EXPECT_EQ(dart->charges, 50);
    EXPECT_EQ(dart->cooldown, 500);
    dart->charges = 3;
    dart->cooldown = 120;
    dart->word = 7;
    ASSERT_EQ(MV2AddTool(list, 14, craft), 1);
    EXPECT_EQ(MV2CountTools(list), 1);
    EXPECT_EQ(dart->charges, 50);
    EXPECT_EQ(dart->cooldown, 120);
    EXPECT_EQ(dart->word, 7u);
}

TEST_F(ToolTest, ToolsKeepKindOrderAndNextSkipsToolsWithoutAnIcon) {
    MV2SetToolRowHandler(10, IconTool); // a row registered by another module
    for (int32_t kind : {13, 10, 1, 14})
        ASSERT_EQ(MV2AddTool(list, kind, craft), 1) << kind;
    std::vector<int32_t> order;
    for (MV2Tool* t = list->first; t; t = t->next)
        order.push_back(t->kind);
    EXPECT_EQ(order, (std::vector<int32_t>{1, 10, 13, 14}));
    EXPECT_EQ(list->currentKind, 14) << "a tool with an icon becomes current";
    MV2SelectNextTool(list);
    EXPECT_EQ(list->currentKind, 10) << "13 (no handler) and 1 (no icon) are passed over";
    MV2SelectNextTool(list);
    EXPECT_EQ(list->currentKind, 14);
    ASSERT_EQ(MV2RemoveTool(list, 10), 1);
    EXPECT_EQ(gToolCommands.back(), 4);
    MV2SelectNextTool(list);
    EXPECT_EQ(list->currentKind, 14) << "the only selectable tool stays current";
    MV2SetToolRowHandler(10, nullptr);
}

TEST_F(ToolTest, AFreshToolWaitsForItsCooldownAndChargesRunOut) {
    ASSERT_EQ(MV2AddTool(list, 14, craft), 1);
    MV2Tool* dart = MV2FindTool(list, 14);
    MV2UseTool(list, craft, 0);
    EXPECT_EQ(dart->charges, 50) << "the cooldown of a fresh tool runs first";
    Run(500);
    EXPECT_EQ(dart->cooldown, 0);
    for (int32_t use = 0; use < 50; ++use) {
        MV2UseTool(list, craft, 0);
        dart->cooldown = 0;
    }
    EXPECT_EQ(dart->charges, 0);
    MV2UseTool(list, craft, 0);
    EXPECT_EQ(dart->charges, 0);
    EXPECT_EQ(dart->cooldown, 0) << "an empty tool is not used";

    // The burst drive has no cooldown; unlimited charges stay unlimited.
    ASSERT_EQ(MV2AddTool(list, 13, craft), 1);
    ASSERT_EQ(MV2AddTool(list, 12, craft), 1);
    list->currentKind = 12;
    MV2Tool* burst = MV2FindTool(list, 12);
    EXPECT_EQ(burst->cooldown, 0);
    for (int32_t use = 0; use < 3; ++use)
        MV2UseTool(list, craft, 0);
    EXPECT_EQ(burst->charges, -1);
    EXPECT_EQ(MV2GetToolRow(0)->initialCharges, 100000);
}

TEST_F(ToolTest, CommandsReachOnlyCraftWithTheToolsFlagAndDefaultsAnswer) {
    ASSERT_EQ(MV2AddTool(list, 13, craft), 1);
    intptr_t out = 0;
    EXPECT_EQ(MV2SendToolCommand(craft, 13, 37, 0, &out), 1) << "the kind exists";
    EXPECT_EQ(MV2SendToolCommand(craft, 5, 37, 0, &out), 0);
    craft->type->words[7] &= ~kMV2TypeNoSpin;
    EXPECT_EQ(MV2SendToolCommand(craft, 13, 37, 0, &out), 0) << "no tools flag";
    craft->type->words[7] |= kMV2TypeNoSpin;

    MV2Tool* tool = MV2FindTool(list, 13);
    tool->word = 9;
    EXPECT_EQ(MV2SendToolMessage(tool, 3, 0, 0), 1);
    EXPECT_EQ(tool->word, 0u);
    MV2ToolIcon icon{5, 0};
    EXPECT_EQ(MV2SendToolMessage(tool, 57, 0, reinterpret_cast<intptr_t>(&icon)), 1);
    EXPECT_EQ(icon.sprite, kMV2NoToolSprite);
    MV2ToolGauge gauge{};
    gauge.value = gauge.level = 7;
    MV2QueryTool(list, 13, &gauge);
    EXPECT_EQ(gauge.found, 1);
    EXPECT_EQ(gauge.value, 0);
    EXPECT_EQ(gauge.level, 0);
    MV2QueryTool(list, 6, &gauge);
    EXPECT_EQ(gauge.found, 0);
    MV2Tool* got = nullptr;
    EXPECT_EQ(MV2SendToolMessage(tool, 88, 0, reinterpret_cast<intptr_t>(&got)), 1);
    EXPECT_EQ(got, tool);
    EXPECT_EQ(MV2SendToolMessage(tool, 37, 0, 0), 0);
    // A null tool is the controlled craft's current one.
    list->currentKind = 13;
    got = nullptr;
    MV2SendToolMessage(nullptr, 88, 0, reinterpret_cast<intptr_t>(&got));
    EXPECT_EQ(got, tool);
}

namespace {

int32_t gPulls = 0;
int32_t gFarGoneRecord[4] = {0, 0, 0, 3};
intptr_t PulledCreature(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 27) {
        // Creatures at x beyond 54 answer a record whose fourth word is above 2.
        if (object->matrix->pos.x > 54.0f) *reinterpret_cast<void**>(p2) = gFarGoneRecord;
        return 1;
    }
    if (message == 28) {
        const auto* pull = reinterpret_cast<const MV2AttractorPullRecord*>(p2);
        if (pull && pull->mode == 2) ++gPulls;
        return 1;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

} // namespace

TEST_F(ToolTest, TheAttractorPullsAtMostTwentyAndSkipsCreaturesBusyElsewhere) {
    ModelType(95, 0.2f);
    MV2SetObjectTypeHandler(95, PulledCreature);
    // 24 within reach and three whose record says they are busy; no creature brain in the way.
    std::vector<MV2Object*> near;
    for (int32_t i = 0; i < 24; ++i) {
        near.push_back(Make(95, P(float(i % 4) - 2.0f, -10.0f + float(i / 4) * 0.5f, 2.0f)));
        near.back()->overrideHandler = nullptr;
    }
    for (int32_t i = 0; i < 3; ++i)
        Make(95, P(5.0f + float(i), -10.0f, 0.0f))->overrideHandler = nullptr;
    ASSERT_EQ(MV2AddTool(list, 2, craft), 1);
    list->currentKind = 2;
    MV2Tool* tool = MV2FindTool(list, 2);
    tool->cooldown = 0;
    MV2ToolIcon icon{};
    MV2SendToolMessage(tool, 57, 0, reinterpret_cast<intptr_t>(&icon));
    EXPECT_EQ(icon.sprite, 22);
    EXPECT_EQ(icon.colour, kMV2HudColour & 0xFFFFFFu);
    MV2UseTool(list, craft, 0);
    gPulls = 0;
    MV2BroadcastToolCommand(Sub(craft), 2, 0, 0);
    EXPECT_EQ(gPulls, 20);
    intptr_t pulled = 0;
    EXPECT_EQ(MV2SendToolCommand(craft, 2, 13, 0, &pulled), 1);
    EXPECT_EQ(pulled, 20);
    MV2ToolGauge gauge{};
    MV2QueryTool(list, 2, &gauge);
    EXPECT_EQ(gauge.on, 1);
    EXPECT_EQ(gauge.level, 255 | 256);
    MV2SendToolMessage(tool, 57, 0, reinterpret_cast<intptr_t>(&icon));
    EXPECT_EQ(icon.colour, 0xFFFF00u);

    // With fewer in reach, only the willing ones come.
    for (MV2Object* o : near)
        MV2ObjectSendMessage(o, 4, 0, 0);
    TvFrameSyncDirty();
    gPulls = 0;
    MV2BroadcastToolCommand(Sub(craft), 2, 0, 0);
    EXPECT_EQ(gPulls, 0);
    // Switched off it pulls nothing.
    tool->cooldown = 0;
    MV2UseTool(list, craft, 0);
    MV2BroadcastToolCommand(Sub(craft), 2, 0, 0);
    MV2SendToolCommand(craft, 2, 13, 0, &pulled);
    EXPECT_EQ(pulled, 0);
    EXPECT_EQ(tool->charges, -1);
}

TEST_F(ToolTest, TheSwitchToolToggles) {
    ASSERT_EQ(MV2AddTool(list, 3, craft), 1);
    MV2Tool* tool = MV2FindTool(list, 3);
    EXPECT_EQ(list->currentKind, 3);
    for (int32_t expected : {1, 0}) {
        tool->cooldown = 0;
        MV2UseTool(list, craft, 0);
        MV2ToolGauge gauge{};
        MV2QueryTool(list, 3, &gauge);
        EXPECT_EQ(gauge.on, expected);
        MV2ToolIcon icon{};
        MV2SendToolMessage(tool, 57, 0, reinterpret_cast<intptr_t>(&icon));
        EXPECT_EQ(icon.sprite, 20);
        EXPECT_EQ(icon.colour, expected ? 0xFFFF00u : kMV2HudColour & 0xFFFFFFu);
    }
}

TEST_F(ToolTest, TheBurstDriveThrustsTwoSecondsThenRechargesFour) {
    ASSERT_EQ(MV2AddTool(list, 12, craft), 1);
    MV2Tool* tool = MV2FindTool(list, 12);
    EXPECT_EQ(tool->cooldown, 0) << "usable at once";
    list->currentKind = 12;
    craft->body->velocity = {};
    MV2UseTool(list, craft, 0);
    EXPECT_EQ(Heard("BURSTDRIVE"), 1);
    intptr_t busy = 0;
    MV2SendToolCommand(craft, 12, 37, 0, &busy);
    EXPECT_EQ(busy, 1);
    MV2BroadcastToolCommand(Sub(craft), 2, 0, 0);
    EXPECT_NEAR(craft->body->velocity.z, 0.013f, 1e-6f) << "along the at vector, frame step 1";
    MV2ToolGauge gauge{};
    MV2QueryTool(list, 12, &gauge);
    EXPECT_EQ(gauge.level, 255);
    MV2UseTool(list, craft, 0);
    EXPECT_EQ(Heard("BURSTDRIVE"), 1) << "no second burst while thrusting";

    // Out of the water it gives no thrust, but the clock runs.
    craft->matrix->pos.y = 51.0f;
    craft->body->velocity = {};
    gMV2FrameTimer.frameClock += 1000;
    MV2BroadcastToolCommand(Sub(craft), 2, 0, 0);
    EXPECT_EQ(craft->body->velocity.z, 0.0f);
    MV2QueryTool(list, 12, &gauge);
    EXPECT_EQ(gauge.level, int32_t(1000.0f * 0.0005f * 255.0f));
    gMV2FrameTimer.frameClock += 1000;
    MV2BroadcastToolCommand(Sub(craft), 2, 0, 0);
    MV2SendToolCommand(craft, 12, 37, 0, &busy);
    EXPECT_EQ(busy, 0) << "recharging";
    MV2ToolIcon icon{};
    MV2SendToolMessage(tool, 57, 0, reinterpret_cast<intptr_t>(&icon));
    EXPECT_EQ(icon.sprite, 61);
    EXPECT_EQ(icon.colour, 0xFF0000u);
    gMV2FrameTimer.frameClock += 4000;
    MV2BroadcastToolCommand(Sub(craft), 2, 0, 0);
    MV2QueryTool(list, 12, &gauge);
    EXPECT_EQ(gauge.level, 255);
    MV2UseTool(list, craft, 0);
    EXPECT_EQ(Heard("BURSTDRIVE"), 2) << "ready again";
}

namespace {

class GeigerTest : public ToolTest {
protected:
    void SetUp() override {
        ToolTest::SetUp();
        ModelType(70, 1.0f);
        MV2SetObjectTypeHandler(70, MV2ObjectDefaultHandler);
        ASSERT_EQ(MV2AddTool(list, 4, craft), 1);
        tool = MV2FindTool(list, 4);
        gMV2GameCamera.mode = 0;
    }
    void TearDown() override {
        gMV2GameCamera.mode = 0;
        ToolTest::TearDown();
    }
    MV2Object* Source(TvV3d at, float strength) {
        MV2Object* o = Make(70, at);
        std::memcpy(&o->typeWord68, &strength, sizeof strength);
        return o;
    }
    MV2ToolGauge Measure() {
        MV2BroadcastToolCommand(Sub(craft), 74, 0, 0);
        MV2ToolGauge gauge{};
        MV2QueryTool(list, 4, &gauge);
        return gauge;
    }
    // The distance the sphere query reports for a source at `units` with radius 1.
    static float D(float units) {
        return units / (kMV2GeigerRadius + 1.0f) * kMV2GeigerRadius;
    }
    MV2Tool* tool = nullptr;
};

} // namespace

TEST_F(GeigerTest, NothingInRangeReadsNothingAndNeverTicks) {
    Source(P(0, -10, 40), 5.0f); // beyond 35 units
    gMV2GameCamera.mode = 1;
    const MV2ToolGauge gauge = Measure();
    EXPECT_EQ(gauge.level, 0);
    EXPECT_EQ(gauge.value, 0);
    EXPECT_EQ(gauge.reading, 0.0f);
    MV2SendToolCommand(craft, 4, 68, 0, reinterpret_cast<void*>(intptr_t(12)));
    EXPECT_EQ(Heard("GEIGER"), 0);
    EXPECT_EQ(MV2ReadGeiger(craft), 0.0f);
}

TEST_F(GeigerTest, ASourceAheadWeighsFullyAndOneToTheSideOnlyInTheTotal) {
    Source(P(0, -10, 10), 0.5f); // straight ahead: c = 1
    MV2ToolGauge gauge = Measure();
    const float d = D(10.0f);
    const float k = d * 1.1962022f + 1.0f;
    EXPECT_NEAR(gauge.reading, 0.5f / (k * k), 1e-4f);
    EXPECT_EQ(gauge.level, (int32_t(0.5f / d * 255.0f) & 255) | 256);
    MV2Object* side = Source(P(10, -10, 10), 0.5f); // 45 degrees off the axis
    gauge = Measure();
    const float kSide = D(std::sqrt(200.0f)) * 1.1962022f + 1.0f;
    EXPECT_NEAR(gauge.reading, 0.5f / (k * k) + 0.5f / (kSide * kSide), 1e-4f);
    EXPECT_EQ(gauge.level, (int32_t(0.5f / d * 255.0f) & 255) | 256) << "the side source adds nothing ahead";
    // The mission reading: s / d^2 over both.
    EXPECT_NEAR(MV2ReadGeiger(craft), 0.5f / (d * d) + 0.5f / std::pow(D(std::sqrt(200.0f)), 2.0f),
                1e-4f);
    MV2ObjectSendMessage(side, 4, 0, 0);
}

TEST_F(GeigerTest, StrongSourcesClampAndTickOnlyInTheCockpitView) {
    Source(P(0, -10, 3), 1000.0f);
    const MV2ToolGauge gauge = Measure();
    EXPECT_EQ(gauge.reading, 1.0f);
    EXPECT_EQ(gauge.value, 255);
    EXPECT_EQ(gauge.level, 255 | 256);
    for (int32_t i = 0; i < 20; ++i)
        MV2SendToolCommand(craft, 4, 68, 0, reinterpret_cast<void*>(intptr_t(12)));
    EXPECT_EQ(Heard("GEIGER"), 0) << "camera mode 0";
    gMV2GameCamera.mode = 1;
    for (int32_t i = 0; i < 20; ++i)
        MV2SendToolCommand(craft, 4, 68, 0, reinterpret_cast<void*>(intptr_t(12)));
    EXPECT_GE(Heard("GEIGER"), 18) << "a full forward reading ticks nearly every frame";
    // Using the tool switches the ticking off.
    tool->cooldown = 0;
    list->currentKind = 4;
    MV2UseTool(list, craft, 0);
    const int32_t before = Heard("GEIGER");
    for (int32_t i = 0; i < 5; ++i)
        MV2SendToolCommand(craft, 4, 68, 0, reinterpret_cast<void*>(intptr_t(12)));
    EXPECT_EQ(Heard("GEIGER"), before);
}

TEST_F(GeigerTest, ASourceAtTheCentreCountsAsOneHundredthOfAUnit) {
    MV2Object* at = Source(P(30, -10, 30), 0.25f);
    EXPECT_NEAR(MV2ReadGeiger(at), 0.25f / (0.01f * 0.01f), 1.0f);
}

TEST_F(ToolTest, TheLightsToolTogglesTheCraftsLightsAndShowsTheirState) {
    ASSERT_EQ(MV2AddTool(list, 11, craft), 1);
    MV2Tool* tool = MV2FindTool(list, 11);
    MV2ToolIcon icon{kMV2NoToolSprite, 0};
    MV2SendToolMessage(tool, 57, 0, reinterpret_cast<intptr_t>(&icon));
    EXPECT_EQ(icon.sprite, kMV2NoToolSprite) << "a craft without lights";
    EXPECT_EQ(icon.colour, kMV2HudColour & 0xFFFFFFu);
    MV2ToolGauge gauge{};
    EXPECT_EQ(MV2SendToolMessage(tool, 59, 0, reinterpret_cast<intptr_t>(&gauge)), 0);
    EXPECT_EQ(gauge.found, 0);
    EXPECT_EQ(gauge.on, 1);
    EXPECT_EQ(gauge.coloured, -22528);
}

namespace {

intptr_t FakeLight(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 11) {
        auto* d = static_cast<MV2LightObjectData*>(object->privateData);
        d->flags = (d->flags & ~1u) | uint32_t(p1 & 1);
        return 1;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

} // namespace

TEST_F(ToolTest, TheLightsToolSwitchesTheCraftsLights) {
    BodyType(71, sizeof(MV2LightObjectData), 0.2f);
    MV2SetObjectTypeHandler(71, FakeLight);
    MV2Object* light = Make(71, P(0, -10, 1));
    ASSERT_NE(light, nullptr);
    MV2SetObjectRef(&Sub(craft)->attachments[0].object, light);
    ASSERT_EQ(MV2AddTool(list, 11, craft), 1);
    MV2Tool* tool = MV2FindTool(list, 11);
    EXPECT_EQ(list->currentKind, 11);
    for (const auto& [on, sprite, colour] :
         {std::tuple{1u, 203, 0xFFFF00u}, std::tuple{0u, 202, kMV2HudColour & 0xFFFFFFu}}) {
        tool->cooldown = 0;
        MV2UseTool(list, craft, 0);
        EXPECT_EQ(static_cast<MV2LightObjectData*>(light->privateData)->flags & 1u, on);
        MV2ToolIcon icon{};
        MV2SendToolMessage(tool, 57, 0, reinterpret_cast<intptr_t>(&icon));
        EXPECT_EQ(icon.sprite, sprite);
        EXPECT_EQ(icon.colour, colour);
    }
    MV2ClearObjectRef(&Sub(craft)->attachments[0].object);
}
