#include <gtest/gtest.h>

#include "game/frontend/hud.h"
#include "game/missions/mission20.h"
#include "game/missions/missions.h"
#include "game/objects/camera.h"
#include "game/player/player.h"
#include "tests/support/mission_harness.h"

namespace {

MissionLevel MiningSite() {
    MissionLevel level;
    AddCityObjects(level);
    AddMiningObjects(level);
    level.types.push_back({365});
    level.types.push_back({366});
    level.types.push_back({367});
    level.types.push_back({397});
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
