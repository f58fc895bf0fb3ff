#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "game/frontend/gameover.h"
#include "game/missions/bobbingmine.h"
#include "game/missions/levelobjects.h"
#include "game/missions/mission29.h"
#include "game/missions/missions.h"
#include "tests/support/mission_harness.h"

namespace {

// A switch of the puzzle: word 15 of its record is its state, message 11 sets it, message 12
// takes the script's callback.
intptr_t FakeSwitch(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    auto* words = static_cast<int32_t*>(object->privateData);
    if (message == 3 && words) std::memset(words, 0, 64);
    if (message == 11 && words) words[15] = int32_t(p1);
    if (message == 12 && p2) object->words[0] = p2;
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

void Flip(MV2Object* part) {
    static_cast<int32_t*>(part->privateData)[15] = 1;
    MV2CallbackOf(part->words[0])(part, 1);
}

int32_t g_drops = 0;
intptr_t CountDrops(MV2Object*, int32_t kind, int32_t command, intptr_t, void* out) {
    if (kind == 0 && command == 34) {
        if (out) *static_cast<MV2Object**>(out) = reinterpret_cast<MV2Object*>(1);
        return 1;
    }
    if (kind == 0 && command == 53) g_drops++;
    return 0;
}

constexpr int32_t kGroup2[] = {0x2010001, 0x201000A, 0x201000B, 0x2010004, 0x2010005, 0x2010006,
                               0x2010007, 0x2010008, 0x2010009, 0x2010002, 0x2010003};

MissionLevel Wreck() {
    MissionLevel level;
    level.levelId = 0x02FFFFFF;
    level.types = {{55}, {4}, {426}, {229}, {230}, {231}, {56},
                   {450, 100.0f, 0, 0, FakeSwitch, 64}};
    for (int32_t id : kGroup2)
        level.objects.push_back({uint32_t(id), 450, 10, 5, 10});
    level.objects.push_back({0x201000E, 450, 12, 5, 10});
    level.objects.push_back({0x20D000F, 4, 30, 5, 30}); // the ship of the return visit
    return level;
}

struct ReturnFlag {
    explicit ReturnFlag(int32_t v) { MV2Level2ReturnFlag = v; }
    ~ReturnFlag() { MV2Level2ReturnFlag = 0; }
};

} // namespace

TEST(Mission29Test, CameraZoneHoldsPointsInsideItsPlanesAndHeightBand) {
    const TvV3d corners[4] = {{0, 0, 0}, {10, 0, 0}, {10, 0, 10}, {0, 0, 10}};
    const TvV3d heights[4] = {{0, 5, 0}, {10, 5, 0}, {10, 5, 10}, {0, 5, 10}};
    const TvV3d reversed[4] = {corners[3], corners[2], corners[1], corners[0]};
    MV2CameraZone zones[2];
    MV2BuildCameraZone(&zones[0], corners, heights);
    MV2BuildCameraZone(&zones[1], reversed, heights);
    const struct {
        TvV3d point;
        int32_t inside;
    } kCases[] = {{{5, 2, 5}, 1},  {{5, 6, 5}, 0},    {{5, -1, 5}, 0}, {{11, 2, 5}, 0},
                  {{5, 2, -1}, 0}, {{-0.1f, 2, 5}, 0}, {{9.9f, 4.9f, 9.9f}, 1}, {{5, 2, 10.5f}, 0}};
    for (const MV2CameraZone& zone : zones)
        for (const auto& c : kCases)
            EXPECT_EQ(MV2PointInCameraZone(&zone, c.point), c.inside)
                << c.point.x << "," << c.point.y << "," << c.point.z;
    // A wanted point outside comes back inside.
    const TvV3d clamped = MV2ClampToCameraZone(&zones[0], {5, 2, 5}, {15, 8, 5});
    EXPECT_TRUE(MV2PointInCameraZone(&zones[0], clamped));
}

TEST(Mission29Test, BobbingMineCirclesOnceIn12000Ms) {
    const TvV3d right{1, 0, 0}, up{0, 1, 0}, at{0, 0, 1};
    const struct {
        uint32_t ms;
        TvV3d offset;
    } kCases[] = {{0, {0, 0.25f, 0.25f}},    {3000, {0.25f, 0, 0}}, {6000, {0, -0.25f, -0.25f}},
                  {9000, {-0.25f, 0, 0}},    {12000, {0, 0.25f, 0.25f}}, {24000, {0, 0.25f, 0.25f}}};
    for (const auto& c : kCases) {
        const TvV3d o = MV2BobbingMineOffset(right, up, at, c.ms);
        EXPECT_NEAR(o.x, c.offset.x, 1e-3f) << c.ms;
        EXPECT_NEAR(o.y, c.offset.y, 1e-3f) << c.ms;
        EXPECT_NEAR(o.z, c.offset.z, 1e-3f) << c.ms;
    }
}

TEST(Mission29Test, AWrongMemberResetsGroupTwoAndDropsTheMagnetLoad) {
    MissionHarness h;
    ASSERT_TRUE(h.Load(Wreck())) << (h.Boxes().empty() ? "" : h.Boxes()[0]);
    gMV2MissionToolCommandHook = CountDrops;
    g_drops = 0;
    MV2MissionRestart(29);
    const struct {
        std::vector<int32_t> on;
        int32_t reset, done;
    } kCases[] = {
        {{0x2010001, 0x2010006, 0x2010007, 0x2010002}, 0, 0},             // below the count
        {{0x2010001, 0x2010006, 0x2010007, 0x2010002, 0x201000A}, 1, 0}, // a wrong member
        {{0x2010001, 0x2010006, 0x2010007, 0x2010002, 0x2010003}, 0, 1}, // the right five
    };
    MV2Object* door = h.Find(0x201000E);
    for (const auto& c : kCases) {
        g_drops = 0;
        static_cast<int32_t*>(door->privateData)[15] = 1;
        for (int32_t id : c.on)
            Flip(h.Find(uint32_t(id)));
        int32_t on = 0;
        for (int32_t id : kGroup2)
            on += static_cast<int32_t*>(h.Find(uint32_t(id))->privateData)[15];
        EXPECT_EQ(on, c.reset ? 0 : int32_t(c.on.size()));
        EXPECT_EQ(g_drops, c.reset);
        EXPECT_EQ(static_cast<int32_t*>(door->privateData)[15], c.done ? 0 : 1);
        if (c.reset == 0 && !c.done)
            for (int32_t id : kGroup2) h.Send(h.Find(uint32_t(id)), 11, 0, 0);
    }
}

TEST(Mission29Test, TheShipsDeathEndsTheGame15SecondsLater) {
    ReturnFlag flag(1);
    MissionHarness h;
    ASSERT_TRUE(h.Load(Wreck()));
    MV2MissionRestart(29);
    MV2Object* ship = h.Find(0x20D000F);
    ASSERT_NE(ship, nullptr);
    h.Kill(ship, nullptr);
    h.Run(14900, 100);
    EXPECT_FALSE(MV2GameOverActive());
    h.Run(200, 100);
    EXPECT_TRUE(MV2GameOverActive());
}

TEST(Mission29Test, TheReturnVisitRefusesTheAutosave) {
    for (const int32_t returning : {0, 1}) {
        ReturnFlag flag(returning);
        MissionHarness h;
        ASSERT_TRUE(h.Load(Wreck()));
        int32_t allow = 1;
        MV2CallMissionScript(29, nullptr, kMV2ScriptAutosaveQuery, 0, reinterpret_cast<intptr_t>(&allow));
        EXPECT_EQ(allow, returning ? 0 : 1);
    }
}
