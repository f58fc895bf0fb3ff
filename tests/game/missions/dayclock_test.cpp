#include <gtest/gtest.h>

#include <vector>

#include "game/missions/dayclock.h"
#include "game/missions/missions.h"
#include "shell/gamestate.h"
#include "tests/support/mission_harness.h"

namespace {

struct Received {
    int32_t scriptId, message;
    intptr_t p1;
};
std::vector<Received> g_received;

intptr_t Recording(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 33 || message == 62) g_received.push_back({object->scriptId, message, p1});
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

TEST(DayClockScriptTest, PathEventsDriveCausticsTheEndingAndTheTwoLights) {
    MissionHarness h;
    ASSERT_TRUE(h.ok());
    MissionLevel level;
    level.types.push_back({400, 100.0f, 0, 0, Recording});
    level.objects.push_back({0x20029, 400});
    level.objects.push_back({0x2002E, 400});
    ASSERT_TRUE(h.Load(level));
    // Play mode 7 installs the row for path events.
    MV2MissionInstallNotify(43, 16);
    struct Case {
        intptr_t value;
        std::vector<Received> want;
    };
    const Case cases[] = {
        {34, {{0x20029, 33, 1}, {0x20029, 62, 0}}},
        {35, {{0x20029, 33, 0}}},
        {36, {{0x2002E, 33, 1}}},
        {37, {{0x2002E, 33, 0}}},
        {12, {}},
    };
    for (const Case& c : cases) {
        g_received.clear();
        h.Notify(16, nullptr, c.value);
        ASSERT_EQ(g_received.size(), c.want.size()) << c.value;
        for (size_t i = 0; i < c.want.size(); i++) {
            EXPECT_EQ(g_received[i].scriptId, c.want[i].scriptId);
            EXPECT_EQ(g_received[i].message, c.want[i].message);
            EXPECT_EQ(g_received[i].p1, c.want[i].p1);
        }
    }
    gMV2DayClockCausticsOn = 0;
    h.Notify(16, nullptr, 0);
    EXPECT_EQ(gMV2DayClockCausticsOn, 1);
    h.Notify(16, nullptr, 8);
    EXPECT_EQ(gMV2GameState.requested, 8);
    EXPECT_EQ(gMV2GameStateCompanion.requestedSequence, 7);
    gMV2GameState.requested = 0;
}

} // namespace
