// The player's approach to the city's doors and pull doors, and the commands that send the
// selected craft to a mining site's side parts.
#include "tests/game/player_fixture.h"

#include "game/frontend/hud.h"
#include "game/missions/city.h"
#include "game/missions/mining.h"

namespace {

struct Seen {
    MV2Object* object;
    int32_t message;
    intptr_t p1, p2;
};
std::vector<Seen> gSeen;

intptr_t Recording(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 13 || message == 33) gSeen.push_back({object, message, p1, p2});
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t RecordingSub(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 33) gSeen.push_back({object, message, p1, p2});
    return MV2SubmarineHandler(object, message, p1, p2);
}

int32_t Count(MV2Object* object, int32_t message, intptr_t p1) {
    return int32_t(std::count_if(gSeen.begin(), gSeen.end(), [&](const Seen& s) {
        return s.object == object && s.message == message && s.p1 == p1;
    }));
}

class DockTest : public PlayerTest {
protected:
    void SetUp() override {
        PlayerTest::SetUp();
        gSeen.clear();
        ModelType(70, 1.5f);
        MV2SetObjectTypeHandler(70, Recording);
        for (int32_t i = 0; i < kMV2CityBays; ++i) {
            saved_[i] = gMV2CityBays[i];
            gMV2CityBays[i] = MV2CityBay{};
        }
    }
    // The bays' fixed ids are given back for the city set-up of later suites.
    void TearDown() override {
        for (int32_t i = 0; i < kMV2CityBays; ++i)
            gMV2CityBays[i] = saved_[i];
        PlayerTest::TearDown();
    }
    MV2CityBay saved_[kMV2CityBays];
    // A door facing +z with its route kind.
    MV2Object* Door(int32_t bay, TvV3d at, int32_t kind) {
        MV2Object* door = Make(70, at);
        door->overrideHandler = nullptr; // no creature brain in the way
        MV2SetObjectRef(&gMV2CityBays[bay].door, door);
        gMV2CityBays[bay].routeKind = kind;
        return door;
    }
    static void Place(MV2Object* craft, TvV3d at) {
        craft->matrix->pos = at;
        MV2ShotSyncFrame(craft);
    }
};

} // namespace

TEST_F(DockTest, ADoorWithinSevenUnitsIsApproachedKeptOpenAndDroppedBeyondFifteen) {
    MV2Object* craft = SpawnPlayer();
    ASSERT_NE(craft, nullptr);
    MV2Object* door = Door(2, P(0, -10, 10), 1);
    Place(craft, P(0, -10, 2.5f)); // 7.5 units away: nothing yet
    Frame(craft);
    Frame(craft);
    EXPECT_EQ(Count(door, 33, 1), 0);
    Place(craft, P(0, -10, 4)); // 6 units: the approach starts, the point 3 units before it
    Frame(craft);
    Frame(craft);
    EXPECT_EQ(Count(door, 33, 1), 1) << "kept open while approaching";
    Place(craft, P(0, -10, -9)); // 16 units from the approach point (z 7)
    Frame(craft);
    EXPECT_EQ(Count(door, 33, 0), 1) << "dropped";
    gSeen.clear();
    Place(craft, P(0, -10, 4));
    Frame(craft);
    Place(craft, P(0.5f, -10, 6)); // within 2.75 of (0, -10, 7): the city takes the craft
    Frame(craft);
    EXPECT_EQ(Count(door, 13, 0), 1) << "the arriving door is told";
    EXPECT_TRUE(craft->typeWord & kMV2InCityFlag);
    EXPECT_EQ(gMV2GameState.requested, 9);
}

TEST_F(DockTest, APullDoorDrawsTheCraftAlongItsVector) {
    MV2Object* craft = SpawnPlayer();
    ASSERT_NE(craft, nullptr);
    Door(0, P(0, -10, 10), 2);
    Place(craft, P(0, -10, 9)); // inside the door's radius, behind the pull point
    craft->body->velocity = {};
    Frame(craft);
    EXPECT_GT(craft->body->velocity.z, 0.0f) << "pushed along the door's at vector";
}

TEST_F(DockTest, TheBrainRemovedEndsTheTargetPointerRun) {
    MV2Object* craft = SpawnPlayer();
    ASSERT_NE(craft, nullptr);
    gMV2Hud.scanTime = 500;
    MV2ObjectSendMessage(craft, 31, 0, 0);
    EXPECT_EQ(gMV2Hud.scanTime, 2001u);
}

TEST_F(PlayerTest, SiteSlotCommandsSendTheCraftToTheSideParts) {
    SpawnPlayer();
    CraftType(67);
    MV2SetObjectTypeHandler(67, RecordingSub);
    MV2Object* s = Make(67, P(5, -10, 0));
    ASSERT_NE(s, nullptr);
    s->overrideHandler = nullptr; // the craft's own handler sees message 33
    ModelType(70, 1.0f);
    MV2Object* part = Make(70, P(10, -10, 0));
    MV2SetObjectRef(&gMV2Mining.sites[1].parts[kMV2MiningSide0 + 2].object, part);
    MV2SetSelectedObject(s);
    MV2ExecuteCommand(50); // site 1
    gSeen.clear();
    MV2ExecuteCommand(58); // the third side part
    MV2ExecuteCommand(56); // the first holds nothing: nothing happens
    ASSERT_EQ(gSeen.size(), 1u);
    EXPECT_EQ(gSeen[0].p1, 1);
    EXPECT_EQ(gSeen[0].p2, reinterpret_cast<intptr_t>(part));
    MV2ClearObjectRef(&gMV2Mining.sites[1].parts[kMV2MiningSide0 + 2].object);
    EXPECT_EQ(MV2GetPendingCommand(), 0);
}
