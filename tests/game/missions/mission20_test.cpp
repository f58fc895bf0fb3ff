#include <gtest/gtest.h>

#include "game/creatures/pathnodes.h"
#include "game/frontend/hud.h"
#include "game/missions/mission20.h"
#include "game/missions/missions.h"
#include "game/objects/camera.h"
#include "game/player/player.h"
#include "tests/game/missions/mission_objects.h"
#include "tests/support/mission_harness.h"
#include "tests/support/path_record_writer.h"

namespace {

MissionLevel MiningSite() {
    MissionLevel level;
    AddCityObjects(level);
    AddMiningObjects(level);
    level.types.push_back({365});
    level.types.push_back({366});
    level.types.push_back({367});
    level.types.push_back({397});
    level.types.push_back({51}); // repair drones the damaged site calls
    level.types.push_back({1});
    level.objects.push_back({0x4C0008, 1, 60, 10, 60});
    return level;
}

// Starts the row and runs past the hand-over of the borrowed craft.
void Borrow(MissionHarness& h) {
    MV2MissionRestart(20);
    h.Run(60000, 250);
}

} // namespace

TEST(Mission20Test, StatusRowColours) {
    const struct {
        uint32_t flashEnd, now;
        float fraction;
        uint32_t colour;
    } kCases[] = {
        {1000, 1000 - 0x80, 0.9f, 0xFFFF0000u},  // flashing frame: bit 7 of the time left
        {1000, 1000 - 0x40, 0.9f, kMV2HudColour}, // the frame between flashes
        {1000, 1000 - 0x40, 0.3f, 0xFFFFFF00u},   // low energy shows yellow between flashes
        {1000, 1000, 0.5f, kMV2HudColour},        // the flash has ended; half counts as healthy
        {1000, 1500, 0.49f, 0xFFFFFF00u},
        {1000, 1000 - 0x180, 0.1f, 0xFFFF0000u},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(MV2Mission20StatusColour(c.flashEnd, c.now, c.fraction), c.colour)
            << c.flashEnd - c.now << " " << c.fraction;
}

TEST(Mission20Test, LosingTheBorrowedCraftFailsAtOnceWithTheTopDownCamera) {
    MissionHarness h;
    ASSERT_TRUE(h.Load(MiningSite()));
    Borrow(h);
    MV2Object* craft = h.Find(0x4C0008);
    ASSERT_NE(craft, nullptr);
    EXPECT_TRUE(MV2Mission20StatusShown());
    EXPECT_EQ(craft->flags & kMV2ObjectMissionOwned, kMV2ObjectMissionOwned);
    h.ClearLog();
    h.Kill(craft, nullptr);
    ASSERT_EQ(h.Log("banner").size(), 1u);
    EXPECT_EQ(h.Log("banner")[0].value, 0);
    EXPECT_EQ(MV2GetCameraMode(), 5);
    h.Run(3000, 250);
    EXPECT_FALSE(MV2Mission20StatusShown());
    // The time running out later changes nothing.
    h.Run(200000, 1000);
    EXPECT_EQ(h.Log("banner").size(), 1u);
}

TEST(Mission20Test, TheSiteEfficiencyAtTheEndDecides) {
    for (const float health : {1.0f, 0.2f}) {
        MissionHarness h;
        ASSERT_TRUE(h.Load(MiningSite()));
        Borrow(h);
        for (uint32_t id : {0x20033u, 0x20032u, 0x20037u, 0x2001Bu, 0x20036u})
            if (MV2Object* part = h.Find(id)) part->energy = 100.0f * health;
        h.Run(200000, 1000);
        ASSERT_EQ(h.Log("banner").size(), 1u) << health;
        EXPECT_EQ(h.Log("banner")[0].value, health >= 0.5f ? 1 : 0);
        EXPECT_FALSE(MV2Mission20StatusShown());
        EXPECT_FALSE(h.Log("shown").empty());
        EXPECT_EQ(h.Log("shown").back().value, 797);
    }
}

TEST(Mission20Test, PursuersComeOnlyWhileASlotIsFree) {
    MissionHarness h;
    MissionLevel level = MiningSite();
    level.objects.push_back({0x40291, 55, 200, 10, 60});
    level.objects.push_back({0x40292, 55, 200, 10, 70});
    level.types.push_back({55});
    ASSERT_TRUE(h.Load(level));
    // A line of path nodes from the borrowed craft towards both goals.
    std::vector<PathNodeSpec> nodes;
    for (uint32_t i = 0; i < 8; ++i) {
        PathNodeSpec n;
        n.id = i + 1;
        n.x = 60.0f + 20.0f * float(i);
        n.y = 10.0f;
        n.z = 60.0f;
        if (i > 0) n.links.push_back(i);
        if (i < 7) n.links.push_back(i + 2);
        nodes.push_back(n);
    }
    const std::vector<uint8_t> bytes = PathNodeRecordBytes(0x00FEFFFF, nodes);
    MV2PathGraph graph;
    ASSERT_EQ(MV2ParsePathNodeRecord(bytes.data(), bytes.size(), {}, &graph), 1);
    MV2SetPathNodeGraph(&graph);
    MV2MissionRestart(20);
    // The eight pursuer calls come between 32 s and 140 s after the last opening message.
    int32_t most = 0;
    bool killed = false, refilled = false;
    for (int32_t t = 0; t < 240; ++t) {
        h.Step(1000);
        std::vector<MV2Object*> pirates = MissionObjectsOfType(397);
        most = std::max(most, int32_t(pirates.size()));
        if (killed && pirates.size() == 3) refilled = true;
        if (!killed && pirates.size() == 3) {
            h.Send(pirates[0], 4, 0, 0); // a free slot: the next call fills it
            killed = true;
        }
    }
    EXPECT_TRUE(killed);
    EXPECT_TRUE(refilled);
    EXPECT_EQ(most, 3);
    EXPECT_EQ(MissionObjectsOfType(397).size(), 0u); // the end destroys the live pursuers
    MV2DestroyPathNodeGraph();
}
