#include <gtest/gtest.h>

#include <vector>

#include "game/missions/dayclock.h"
#include "game/missions/missions.h"
#include "game/objects/caustics.h"
#include "shell/gamestate.h"
#include "tests/game/missions/message_recorder.h"
#include "tests/support/mission_harness.h"

namespace {

TEST(DayClockScriptTest, PathEventsDriveCausticsTheEndingAndTheTwoLights) {
    MissionHarness h;
    ASSERT_TRUE(h.ok());
    MissionLevel level;
    AddCityObjects(level);
    AddMiningObjects(level);
    level.types.push_back({400, 100.0f, 0, 0, RecordingHandler});
    level.objects.push_back({0x20029, 400});
    level.objects.push_back({0x2002E, 400});
    ASSERT_TRUE(h.Load(level));
    // Play mode 7 installs the row for path events.
    MV2MissionInstallNotify(43, 16);
    struct Case {
        intptr_t value;
        std::vector<RecordedMessage> want;
    };
    const Case cases[] = {
        {34, {{0x20029, 33, 1}, {0x20029, 62, 0}}},
        {35, {{0x20029, 33, 0}}},
        {36, {{0x2002E, 33, 1}}},
        {37, {{0x2002E, 33, 0}}},
        {12, {}},
    };
    for (const Case& c : cases) {
        RecordedMessages().clear();
        h.Notify(16, nullptr, c.value);
        std::vector<RecordedMessage> got;
        for (const RecordedMessage& r : RecordedMessages())
            if (r.message == 33 || r.message == 62) got.push_back(r);
        ASSERT_EQ(got.size(), c.want.size()) << c.value;
        for (size_t i = 0; i < c.want.size(); i++) {
            EXPECT_EQ(got[i].scriptId, c.want[i].scriptId);
            EXPECT_EQ(got[i].message, c.want[i].message);
            EXPECT_EQ(got[i].p1, c.want[i].p1);
        }
    }
    gMV2DayClockCausticsOn = 0;
    h.Notify(16, nullptr, 0);
    EXPECT_EQ(gMV2DayClockCausticsOn, 1);
    MV2SetWorldCaustics(0);
    h.Notify(16, nullptr, 8);
    EXPECT_EQ(gMV2GameState.requested, 8);
    EXPECT_EQ(gMV2GameStateCompanion.requestedSequence, 7);
    gMV2GameState.requested = 0;
}

} // namespace
