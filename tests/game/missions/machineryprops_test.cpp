// Turning props, the rolling prop that a hit holds at a quarter turn, the pressure plate's
// five-second rest, the pusher and the hidden-object handler.
#include "game/missions/machineryprops.h"

#include "tests/game/missions/levelobject_fixture.h"

namespace {

std::vector<std::pair<MV2Object*, int32_t>> g_notes;

void Note(MV2Object* prop, int32_t state) {
    g_notes.push_back({prop, state});
}

class MachineryPropTest : public LevelObjectTest {
protected:
    void SetUp() override {
        LevelObjectTest::SetUp();
        g_notes.clear();
    }
    MV2Object* Prop(int32_t t, size_t size) {
        LevelType(t, size);
        MV2Object* prop = Make(t, {1, 2, 3});
        if (prop) MV2ObjectSendMessage(prop, 12, 0, reinterpret_cast<intptr_t>(&Note));
        return prop;
    }
    static MV2TurningPropData* Turning(MV2Object* o) {
        return static_cast<MV2TurningPropData*>(o->privateData);
    }
    MV2Object* Player() {
        LevelType(1, 0);
        MV2Object* craft = Make(1, {0, 0, 5});
        MV2SetPlayerObject(craft);
        return craft;
    }
};

} // namespace

TEST_F(MachineryPropTest, TypeFiftyNotifiesOnceOnItsFirstUpdate) {
    MV2Object* prop = Prop(50, sizeof(MV2TurningPropData));
    ASSERT_NE(prop, nullptr);
    EXPECT_FLOAT_EQ(prop->energy, 100000.0f);
    Step(prop);
    Step(prop);
    EXPECT_EQ(g_notes, (std::vector<std::pair<MV2Object*, int32_t>>{{prop, 1}}));
    EXPECT_EQ(LevelSounds::Count("MGHATTACH"), 1);
}

TEST_F(MachineryPropTest, TurningPropRunsForItsDurationOrUntilStopped) {
    struct Case {
        const char* name;
        uint32_t duration;
        uint32_t clock;      // game time of the start
        int32_t updates;     // 33 ms apart
        bool stopAtTheStart; // message 11 with 0 at once
        uint32_t running;    // after the updates
    };
    for (const Case& c : {Case{"timed", 1000, 1000, 20, false, 1},
                          Case{"timed out", 1000, 1000, 40, false, 0},
                          Case{"for ever", kMV2TurnForEver, 1000, 3000, false, 1},
                          Case{"stopped at game time 0", kMV2TurnForEver, 0, 2, true, 0},
                          Case{"stopped later", 5000, 70000, 2, true, 0}}) {
        SCOPED_TRACE(c.name);
        g_notes.clear();
        gMV2FrameTimer.frameClock = c.clock;
        MV2Object* prop = Prop(398, sizeof(MV2TurningPropData));
        ASSERT_NE(prop, nullptr);
        MV2ObjectSendMessage(prop, 24, intptr_t(c.duration), 0);
        MV2ObjectSendMessage(prop, 11, 1, 0);
        if (c.stopAtTheStart) MV2ObjectSendMessage(prop, 11, 0, 0);
        const TvV3d position = Pos(prop);
        for (int32_t i = 0; i < c.updates; i++)
            Step(prop);
        EXPECT_EQ(Turning(prop)->running, c.running);
        EXPECT_EQ(g_notes.size(), c.running || c.stopAtTheStart ? 0u : 1u);
        EXPECT_FLOAT_EQ(Pos(prop).x, position.x); // it turns in place
        if (c.running) {
            EXPECT_LT(prop->matrix->right.x, 1.0f);
        }
        if (c.duration == kMV2TurnForEver && !c.stopAtTheStart) {
            MV2ObjectSendMessage(prop, 11, 0, 0);
            Step(prop);
            EXPECT_EQ(Turning(prop)->running, 0u);
            EXPECT_EQ(g_notes.size(), 1u);
        }
        MV2DestroyAllObjects();
    }
}

TEST_F(MachineryPropTest, RollingPropHitStopsAtAQuarterTurnAndResumes) {
    MV2Object* prop = Prop(143, sizeof(MV2TurningPropData));
    MV2Object* player = Player();
    ASSERT_TRUE(prop && player);
    MV2ObjectSendMessage(prop, 24, 2000, 0);
    const float speed = 7.0f;
    EXPECT_EQ(MV2ObjectSendMessage(prop, 11, 0, 0), 0); // no speed given
    MV2ObjectSendMessage(prop, 11, 0, reinterpret_cast<intptr_t>(&speed));
    for (int32_t i = 0; i < 7; i++)
        Step(prop);
    EXPECT_FLOAT_EQ(Turning(prop)->angle, 311.0f);
    EXPECT_EQ(g_notes.back().second, 0);
    EXPECT_EQ(MV2ObjectSendMessage(prop, 19, 0, 0), 0); // no one hit it
    MV2ObjectSendMessage(prop, 19, 1, reinterpret_cast<intptr_t>(player));
    EXPECT_FLOAT_EQ(Turning(prop)->angle, 270.0f);
    EXPECT_EQ(g_notes.back().second, 1);
    g_notes.clear();
    for (int32_t i = 0; i < 61; i++) // 2000 ms
        Step(prop);
    EXPECT_FLOAT_EQ(Turning(prop)->angle, 270.0f);
    EXPECT_TRUE(g_notes.empty());
    EXPECT_NEAR(prop->matrix->up.y, 0.0f, 1e-5f);
    Step(prop);
    EXPECT_FLOAT_EQ(Turning(prop)->angle, 263.0f);
    EXPECT_EQ(g_notes.size(), 1u);
}

TEST_F(MachineryPropTest, PressurePlateSinksAndRestsFiveSeconds) {
    MV2Object* plate = Prop(268, sizeof(MV2PressurePlateData));
    MV2Object* player = Player();
    ASSERT_TRUE(plate && player);
    MV2Object* other = Make(1, {0, 0, 9});
    MV2ObjectSendMessage(plate, 19, 0, reinterpret_cast<intptr_t>(other));
    EXPECT_TRUE(g_notes.empty()); // only the player's craft presses it
    MV2ObjectSendMessage(plate, 19, 0, reinterpret_cast<intptr_t>(player));
    Step(plate);
    EXPECT_FLOAT_EQ(Pos(plate).y, 1.95f);
    gMV2FrameTimer.frameClock += 4900;
    MV2ObjectSendMessage(plate, 19, 0, reinterpret_cast<intptr_t>(player));
    EXPECT_EQ(g_notes.size(), 1u);
    gMV2FrameTimer.frameClock += 200;
    Step(plate);
    EXPECT_FLOAT_EQ(Pos(plate).y, 2.0f);
    MV2ObjectSendMessage(plate, 19, 0, reinterpret_cast<intptr_t>(player));
    EXPECT_EQ(g_notes.size(), 2u);
    EXPECT_EQ(LevelSounds::Count("MGHATTACH"), 2);
}

TEST_F(MachineryPropTest, PusherHurtsThePlayerAndWithoutAmplitudeStaysPut) {
    MV2Object* pusher = Prop(279, sizeof(MV2PusherData));
    MV2Object* player = Player();
    ASSERT_TRUE(pusher && player);
    const float energy = player->energy;
    gMV2FrameTimer.ticks = 2.0f;
    MV2ObjectSendMessage(pusher, 19, 0, reinterpret_cast<intptr_t>(player));
    EXPECT_FLOAT_EQ(player->energy, energy - 2.0f);
    MV2ObjectSendMessage(pusher, 11, 1, 0);
    for (int32_t i = 0; i < 5; i++)
        Step(pusher);
    EXPECT_LE(std::fabs(Pos(pusher).x - 1.0f), 0.4f + 1e-5f);
}

TEST_F(MachineryPropTest, HiddenObjectShowsNoAtomic) {
    LevelType(60, 0, {2, 3});
    MV2SetObjectTypeHandler(60, MV2HiddenObjectHandler);
    MV2Object* o = Make(60);
    ASSERT_NE(o, nullptr);
    for (TpAtomic* a = MV2GetFirstAtomic(o->clump); a; a = MV2GetNextAtomic(o->clump, a))
        EXPECT_EQ(a->object.object.flags, 0u);
}
