// Cut-scene records and their paths, path events and the screen fade.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/core/matrix.h"
#include "game/creatures/subai.h"
#include "game/creatures/subaistates.h"
#include "game/missions/cutscenes.h"
#include "game/missions/missions.h"
#include "shell/frametimer.h"
#include "tests/support/cutscene_writer.h"
#include "tests/support/level_writer.h"
#include "tests/support/mission_harness.h"

namespace {

std::vector<std::pair<intptr_t, intptr_t>> g_events; // {event, value}

int32_t Listener(MV2Object*, int32_t message, intptr_t a, intptr_t b) {
    if (message == kMV2ScriptEvent) g_events.push_back({a, b});
    return 1;
}

MV2CutSceneItem ReadFirstItem(const std::vector<uint8_t>& record) {
    MV2CutSceneItem item;
    MV2CutSceneReadItem(record.data() + kMV2CutSceneRecordHead, &item);
    return item;
}

// Three keys on the line x = 2t + 1 (second derivatives 0): the spline is that line.
CutSceneSegment LinearSpline() {
    CutSceneSegment s{0, 200, 3, 1};
    for (float t : {0.0f, 100.0f, 200.0f})
        for (float v : {t, 2 * t + 1, -t, 5.0f, 0.0f, 0.0f, 0.0f})
            s.data.push_back(v);
    return s;
}

MV2SubAIData g_followerBrain;

// A craft whose command stack the test drives; every other message goes to the default handler.
intptr_t Follower(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 27) {
        *reinterpret_cast<void**>(p2) = &g_followerBrain;
        return 1;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

} // namespace

TEST(CutSceneRecord, HandWrittenBytes) {
    // Record 0x15FFFF of 52 bytes, duration 900: one camera item (kind 5) of 32 bytes whose
    // path has no segment and one event, value 7 at 300 ms.
    std::vector<uint8_t> bytes;
    for (uint32_t w : {0x15FFFFu, 52u, 0u, 1u, 900u, 0x15000u, 32u, 5u << 24, 0u, 0u, 1u, 7u, 300u})
        PutWord(bytes, w);
    ASSERT_EQ(MV2CutSceneCheckRecord(bytes.data(), bytes.size()), 1);
    const MV2CutSceneItem item = ReadFirstItem(bytes);
    EXPECT_EQ(item.id, 0x15000u);
    EXPECT_EQ(MV2CutSceneItemKind(&item), 5u);
    // The writer gives the same bytes.
    CutSceneItemDesc camera{0x15000, 0, 5};
    camera.path.events = {{7, 300}};
    EXPECT_EQ(BuildCutSceneRecord({0x15FFFF, 900, {camera}}), bytes);
    // The mining file: four records of four floats.
    const float sites[4][4] = {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}, {13, 14, 15, 16}};
    std::vector<uint8_t> mining;
    for (const auto& site : sites)
        for (float v : site)
            PutFloat(mining, v);
    EXPECT_EQ(BuildMiningFile(sites), mining);
}

TEST(CutSceneRecord, EveryBadSizeOrCountIsRefused) {
    CutSceneItemDesc camera{0x15000, 0, 5};
    const float a[3] = {0, 0, 0}, b[3] = {10, 0, 0};
    camera.path.segments = {LinearSegment(0, 100, a, b)};
    const std::vector<uint8_t> good = BuildCutSceneRecord({0x15FFFF, 100, {camera}});
    ASSERT_EQ(MV2CutSceneCheckRecord(good.data(), good.size()), 1);
    struct Case {
        const char* what;
        size_t at;
        uint32_t value;
    };
    const size_t item = kMV2CutSceneRecordHead, path = item + 16, segment = path + 8;
    const Case cases[] = {
        {"record size beyond the bytes", 4, uint32_t(good.size() + 4)},
        {"record size below its head", 4, 8},
        {"item count beyond the record", 12, 2},
        {"item size beyond the record", item + 4, 400},
        {"item size below its head", item + 4, 4},
        {"kind 7", item + 8, 7u << 24},
        {"kind 9", item + 8, 9u << 24},
        {"segment count beyond the item", path, 2},
        {"event count beyond the item", path + 4, 0x10000000},
        {"segment size beyond the item", segment, 400},
        {"segment size below its keys", segment, 20},
        {"one key", segment + 12, 1},
        {"keys beyond the segment", segment + 12, 3},
        {"end before start", segment + 4, 500},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bad = good;
        for (int i = 0; i < 4; i++)
            bad[c.at + size_t(i)] = uint8_t(c.value >> (8 * i));
        EXPECT_EQ(MV2CutSceneCheckRecord(bad.data(), bad.size()), 0) << c.what;
    }
    EXPECT_EQ(MV2CutSceneCheckRecord(good.data(), 19), 0);
}

TEST(CutScenePath, LinearSegmentsHoldTheirEnds) {
    CutSceneItemDesc actor{0x150001, 5, 0};
    const float a[3] = {0, 0, 0}, b[3] = {10, 20, 30};
    actor.path.segments = {LinearSegment(100, 200, a, b), LinearSegment(300, 300, b, a)};
    const std::vector<uint8_t> record = BuildCutSceneRecord({0x15FFFF, 400, {actor}});
    const MV2CutSceneItem item = ReadFirstItem(record);
    struct Case {
        uint32_t t;
        float x;
        int32_t found;
    };
    // Before the first start nothing applies; between segments the last one started holds
    // its end pose; a zero-length segment holds its end.
    for (const Case& c : {Case{50, -1, 0}, Case{150, 5, 1}, Case{250, 10, 1}, Case{300, 0, 1}, Case{900, 0, 1}}) {
        float values[12] = {-1, -1, -1};
        int32_t positionOnly = 0;
        EXPECT_EQ(MV2CutSceneEvaluatePath(&item, c.t, values, &positionOnly), c.found) << c.t;
        EXPECT_FLOAT_EQ(values[0], c.x) << c.t;
        if (c.found) {
            EXPECT_EQ(positionOnly, 1);
        }
    }
}

TEST(CutScenePath, ThreeKeySplineOnALineIsTheLine) {
    CutSceneItemDesc actor{0x150001, 5, 0};
    actor.path.segments = {LinearSpline()};
    const std::vector<uint8_t> record = BuildCutSceneRecord({0x15FFFF, 200, {actor}});
    const MV2CutSceneItem item = ReadFirstItem(record);
    for (uint32_t t : {0u, 37u, 100u, 150u, 200u, 260u}) {
        float values[12] = {};
        ASSERT_EQ(MV2CutSceneEvaluatePath(&item, t, values, nullptr), 1);
        const float tt = float(std::min<uint32_t>(t, 200));
        EXPECT_NEAR(values[0], 2 * tt + 1, 1e-3) << t;
        EXPECT_NEAR(values[1], -tt, 1e-3) << t;
        EXPECT_NEAR(values[2], 5.0f, 1e-4) << t;
    }
}

TEST(CutScenePath, CoincidentKeysKeepTheChannel) {
    CutSceneItemDesc actor{0x150001, 5, 0};
    CutSceneSegment s{0, 100, 3, 1};
    for (float t : {0.0f, 0.0f, 0.0f})
        for (float v : {t, 1.0f, 2.0f, 3.0f, 0.0f, 0.0f, 0.0f})
            s.data.push_back(v);
    actor.path.segments = {s};
    const std::vector<uint8_t> record = BuildCutSceneRecord({0x15FFFF, 100, {actor}});
    const MV2CutSceneItem item = ReadFirstItem(record);
    float values[12] = {9, 9, 9};
    testing::internal::CaptureStderr();
    MV2CutSceneEvaluatePath(&item, 50, values, nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Spline: oops\nSpline: oops\nSpline: oops\n");
    EXPECT_EQ(values[0], 9.0f);
}

TEST(CutSceneFade, RampsByMode) {
    struct Case {
        int32_t mode;
        uint32_t elapsed, duration;
        uint8_t alpha, grey;
    };
    const Case cases[] = {
        {1, 0, 10000, 255, 0},     {1, 1200, 10000, 102, 0}, {1, 2500, 10000, 0, 0},
        {2, 1000, 10000, 0, 0},    {2, 9000, 10000, 127, 0}, {2, 10000, 10000, 255, 0},
        {3, 9000, 10000, 0, 255},  {3, 9700, 10000, 127, 255}, {3, 9980, 10000, 255, 216},
    };
    for (const Case& c : cases) {
        MV2SetScreenFade(c.mode);
        MV2CutSceneFadeRamp(c.elapsed, c.duration);
        EXPECT_EQ(gMV2ScreenFade.alpha, c.alpha) << c.mode << " " << c.elapsed;
        EXPECT_EQ(gMV2ScreenFade.grey, c.grey) << c.mode << " " << c.elapsed;
    }
    MV2SetScreenFade(0);
    EXPECT_EQ(gMV2ScreenFade.mode, 0);
}

class CutSceneTest : public ::testing::Test {
protected:
    void Load(std::vector<CutSceneRecordDesc> records) {
        ASSERT_TRUE(h_.ok());
        MissionLevel level;
        AddCityObjects(level);
        level.types.push_back({5});
        level.cutScenes = std::move(records);
        ASSERT_TRUE(h_.Load(level)) << (h_.Boxes().empty() ? "" : h_.Boxes()[0]);
        g_events.clear();
        MV2SetMissionScriptForTest(5, Listener);
        MV2MissionInstallNotify(5, 3);
        MV2MissionInstallNotify(5, 16);
    }
    MissionHarness h_;
};

TEST_F(CutSceneTest, CameraPathRaisesEventsInItsWindowAndEndsOnce) {
    CutSceneItemDesc camera{0x600000, 0, 5};
    const float a[3] = {0, 0, 0}, b[3] = {100, 0, 0};
    camera.path.segments = {LinearSegment(0, 1000, a, b)};
    camera.path.events = {{1, 0}, {2, 100}, {3, 101}, {4, 1000}};
    Load({{0x60FFFF, 1000, {camera}}});
    ASSERT_EQ(MV2CutSceneStart(0x60FFFF, 0), 1);
    EXPECT_EQ(h_.Log("cutscene").size(), 1u);
    gMV2FrameTimer.milliseconds = 100;
    MV2CutSceneUpdate(); // (0, 100]: the event at 0 never comes
    EXPECT_EQ(g_events, (std::vector<std::pair<intptr_t, intptr_t>>{{16, 2}}));
    for (int i = 0; i < 9; i++)
        MV2CutSceneUpdate();
    EXPECT_EQ(g_events.size(), 3u);
    EXPECT_EQ(g_events.back(), (std::pair<intptr_t, intptr_t>{16, 4}));
    MV2CutSceneUpdate(); // elapsed 1000: not yet beyond the duration
    EXPECT_EQ(g_events.size(), 3u);
    MV2CutSceneUpdate();
    EXPECT_EQ(g_events.back(), (std::pair<intptr_t, intptr_t>{3, 0}));
    // Held: the end never comes.
    ASSERT_EQ(MV2CutSceneStart(0x60FFFF, 1), 1);
    g_events.clear();
    for (int i = 0; i < 20; i++)
        MV2CutSceneUpdate();
    for (const auto& e : g_events)
        EXPECT_NE(e.first, 3);
    gMV2FrameTimer.milliseconds = 33;
}

TEST_F(CutSceneTest, ActorsOfAFailedRecordAreNotLeftBehind) {
    CutSceneItemDesc good{0x610001, 5, 0};
    CutSceneItemDesc missingType{0x610002, 444, 0}; // no such type: creation fails
    Load({{0x61FFFF, 100, {good, missingType}}, {0x62FFFF, 100, {good}}});
    EXPECT_EQ(MV2CutSceneStart(0x61FFFF, 0), 0);
    EXPECT_EQ(h_.Find(0x610001), nullptr);
    EXPECT_EQ(MV2CutSceneStart(0x63FFFF, 0), 0); // no such record
    // A record whose item ids lie in another record's range still starts its actors.
    MV2Object* actor = MV2CutSceneStartActor(0x610001, 0);
    ASSERT_NE(actor, nullptr);
    EXPECT_EQ(actor->typeHandler, MV2CutSceneActorHandler);
    EXPECT_EQ(h_.Send(actor, 75, 0, 0), 1);
    // Destroyed, it hands its type handler back.
    const MV2ObjectHandle handle = actor->handle;
    h_.Send(actor, 4, 0, 0);
    EXPECT_FALSE(MV2ObjectHandleAlive(handle));
}

TEST_F(CutSceneTest, PlayerActorLooksLikeThePlayersSub) {
    CutSceneItemDesc stand{0x640001, 5, 0};
    Load({{0x64FFFF, 100, {stand}}});
    MV2SetCutScenePlayerActor(0x640001);
    MV2Object* actor = MV2CutSceneStartActor(0x640001, 0);
    MV2ClearCutScenePlayerActor();
    ASSERT_NE(actor, nullptr);
    EXPECT_EQ(actor->typeWord & kMV2ObjectTypeMask, h_.Player()->typeWord & kMV2ObjectTypeMask);
    EXPECT_EQ(actor->typeWord & kMV2InCityFlag, 0u);
}

TEST_F(CutSceneTest, CraftFollowsAnActorUntilItsPathEnds) {
    CutSceneItemDesc actorItem{0x660001, 5, 0};
    const float a[3] = {10, 10, 10}, b[3] = {20, 10, 10};
    actorItem.path.segments = {LinearSegment(0, 300, a, b)};
    g_followerBrain = {};
    gMV2FrameTimer.milliseconds = 33;
    MissionLevel level;
    AddCityObjects(level);
    level.types.push_back({5});
    level.types.push_back({7, 100.0f, 0, 0, Follower});
    level.objects.push_back({0x670001, 7, 100, 10, 100});
    level.cutScenes = {{0x66FFFF, 300, {actorItem}}};
    ASSERT_TRUE(h_.Load(level));
    MV2Object* craft = h_.Find(0x670001);
    ASSERT_NE(craft, nullptr);

    MV2SubAIOrderFollowSpline(craft, 0x660001, 5.0f);
    MV2SubAICommand* frame = MV2SubAIGetCommand(craft);
    ASSERT_EQ(frame->code, kMV2SubAIFollowActor);
    MV2Object* actor = MV2SubAICommandGetTarget(frame);
    ASSERT_NE(actor, nullptr);
    EXPECT_EQ(frame->follow.endIndex, 300); // the record's duration
    const MV2ObjectHandle handle = actor->handle;

    // Far behind: the actor waits.
    craft->matrix->pos = TvV3d{200, 10, 200};
    MV2SubAIRunCommand(craft);
    const uint32_t waiting = MV2CutSceneActorTime(actor);
    for (int i = 0; i < 5; i++) {
        h_.Step(33);
        MV2SubAIRunCommand(craft);
    }
    EXPECT_EQ(MV2CutSceneActorTime(actor), waiting);
    // Close by: its path runs to the end, and the order is over.
    for (int i = 0; i < 40 && MV2SubAIGetCommand(craft)->code == kMV2SubAIFollowActor; i++) {
        craft->matrix->pos = actor->matrix->pos;
        MV2SubAIRunCommand(craft);
        h_.Step(33);
    }
    EXPECT_EQ(MV2SubAIGetCommand(craft)->code, kMV2SubAINone);
    EXPECT_FALSE(MV2ObjectHandleAlive(handle)); // the finished command destroyed its actor
}
