#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "engine/world/world.h"
#include "game/missions/missions.h"
#include "game/objects/clumpdata.h"
#include "game/objects/levels.h"
#include "game/player/playercraft.h"
#include "shell/gamestate.h"
#include "tests/game/missions/mission_rows_fixture.h"

namespace {

constexpr uint32_t kHive = 0x2A0000, kGoal = 0x40224, kSite = 0x40246, kLaunchBay = 0x2002B;
const char kRetryLine[] = "Spore attack: launch failed, trying again\n";

MissionLevel Level() {
    MissionLevel level = RowCityLevel({5});
    level.types.push_back({353, 10.0f, 0x10});
    level.objects.push_back({kSite, 5, 100, 20, 110});
    level.objects.push_back({kGoal, 5, 150, 20, 150});
    level.objects.push_back({kHive, 5, 10, 40, 180});
    return level;
}

bool Logged(const MissionHarness& h, const std::string& what, intptr_t value) {
    return MissionLogCount(h, what, value) > 0;
}

std::vector<MV2Object*> Spores() {
    std::vector<MV2Object*> spores = MissionObjectsOfType(353);
    std::erase_if(spores, [](MV2Object* o) { return o->energy <= 0; });
    return spores;
}

// The approach, the eruption and the end of its cut-scene: craft A is launched next.
void ToTheEscort(MissionHarness& h) {
    MV2MissionRestart(27);
    h.Run(14000);
    ASSERT_TRUE(Logged(h, "shown", 249));
    h.Run(20000);
    h.Notify(17, nullptr, 0x49FFFF);
}

int32_t Count(const std::string& text, const std::string& line) {
    int32_t n = 0;
    for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1))
        n++;
    return n;
}

TEST(SporeAttackTest, SporeWavesEndWhenNoneIsLeftNearAndTheLaunchIsRetried) {
    struct Case {
        const char* name;
        bool bayGone; // the launch bay is destroyed: every launch fails
    };
    for (const Case& c : {Case{"spores cleared", false}, Case{"launch fails", true}}) {
        SCOPED_TRACE(c.name);
        MissionHarness h;
        ASSERT_TRUE(h.Load(Level()));
        if (c.bayGone) h.Send(h.Find(kLaunchBay), 4, 0, 0);
        testing::internal::CaptureStderr();
        ToTheEscort(h);
        h.Run(15100);
        const std::string debug = testing::internal::GetCapturedStderr();
        MV2Object* a = MV2GetMissionObjectA();
        if (c.bayGone) {
            EXPECT_EQ(a, nullptr);
            EXPECT_EQ(Count(debug, kRetryLine), 4); // at 0, 5, 10 and 15 s
            continue;
        }
        EXPECT_EQ(Count(debug, kRetryLine), 0);
        ASSERT_NE(a, nullptr);
        // Craft A reaches the goal: the spores come.
        a->matrix->pos = h.Find(kGoal)->matrix->pos;
        h.Run(3000);
        ASSERT_TRUE(Logged(h, "shown", 1285));
        std::set<MV2ObjectHandle> seen;
        int32_t made = 0;
        for (int32_t round = 0; round < 40 && !Logged(h, "shown", 1291); round++) {
            h.Run(1000);
            for (MV2Object* s : Spores())
                if (seen.insert(s->handle).second) {
                    made++;
                    h.Notify(18, s, 0); // as the spore's creation raises it
                }
            auto live = Spores();
            if (!live.empty()) h.Kill(live.front(), MV2GetPlayerObject());
        }
        EXPECT_TRUE(Logged(h, "shown", 1291));
        // The clean-up check waits while a spore is left near the hive.
        h.Run(12000);
        EXPECT_FALSE(Logged(h, "shown", 1289));
        for (MV2Object* s : Spores()) {
            made += seen.insert(s->handle).second ? 1 : 0;
            h.Kill(s, MV2GetPlayerObject());
        }
        h.Run(6000);
        EXPECT_EQ(made, 10);
        EXPECT_TRUE(Logged(h, "shown", 1289));
        h.Run(30000);
        EXPECT_EQ(h.Log("banner").size(), 1u);
        h.Notify(7, nullptr, 0);
        EXPECT_TRUE(Logged(h, "restart", 28));
    }
}

} // namespace
