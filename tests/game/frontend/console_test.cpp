// The in-sub console and the interface screens: option and focus tables, equipment fitting,
// locked and refused submarines, the status page by stage, input while a video face plays and
// the borders by screen size.
#include "engine/core/raster.h"
#include "game/frontend/console.h"
#include "game/frontend/draw2d.h"
#include "game/frontend/interfacescreens.h"
#include "game/frontend/interfacestate.h"
#include "game/missions/missionflow.h"
#include "game/player/loadout.h"
#include "game/player/tools.h"
#include "game/player/weapons.h"
#include "shell/cursor.h"
#include "tests/game/frontend_sink.h"
#include "tests/game/player_fixture.h"

namespace {

struct ConsoleSink : Sink2DTest {
    void TestBody() override {}
    using Sink2DTest::recorded;
    using Sink2DTest::SetUp;
    using Sink2DTest::TearDown;
};

class ConsoleTest : public PlayerTest {
protected:
    void SetUp() override {
        PlayerTest::SetUp();
        savedRecord = *MV2GetSubRecord(0);
        savedFlow = gMV2MissionFlow;
        MV2Set2DScreenScale(640, 480);
        gMV2MissionFlow.current = 0;
        MV2PendingMission = MV2BriefedMission = 0;
        MV2LastEquipmentLevel = 0;
        while (MV2IsMouseCursorShown()) MV2HideMouseCursor();
    }
    void TearDown() override {
        MV2LeaveInterfaceScreens();
        *MV2GetSubRecord(0) = savedRecord;
        gMV2MissionFlow = savedFlow;
        MV2PendingMission = MV2BriefedMission = 0;
        MV2Set2DScreenScale(640, 480);
        PlayerTest::TearDown();
    }

    static void Enable(int a, int b, int c) {
        MV2ConsoleOption* o = gMV2Console.options;
        o[0].enabled = uint32_t(a), o[1].enabled = uint32_t(b), o[2].enabled = uint32_t(c);
    }

    // Record 0 with one unlocked and one locked choice in each group, two tools and a weapon.
    static void ControlledRecord() {
        MV2SubRecord* r = MV2GetSubRecord(0);
        const uint32_t items[4] = {16, 12, 21, 60};
        for (int32_t k = 0; k < 4; ++k) {
            r->consoleValues[k] = 2;
            r->alternatives[k][0] = MV2LoadoutEntry(0, items[k]);
            r->alternatives[k][1] = MV2LoadoutEntry(200, 47);
        }
        r->toolCount = 2;
        r->tools[0] = MV2LoadoutEntry(0, 5);
        r->tools[1] = MV2LoadoutEntry(0, 2);
        r->weaponCount = 1;
        r->weapons[0] = MV2LoadoutEntry(0, 16);
    }

    MV2Object* EnterScreens(int32_t level = 100) {
        MV2SetEquipmentLevel(level);
        ControlledRecord();
        MV2Object* craft = SpawnPlayer();
        MV2EnterInterfaceScreens();
        return craft;
    }

    MV2SubRecord savedRecord{};
    MV2MissionFlow savedFlow{};
};

TEST_F(ConsoleTest, OptionsFollowTheMissionAndTheCraft) {
    struct Case {
        int32_t pending, briefed, row, type;
        uint32_t enabled[3];
        int32_t first;
    };
    const Case cases[] = {
        {0, 0, 0, 0, {0, 1, 1}, 1},
        {5, 0, 0, 0, {1, 0, 0}, 0},   // briefing not seen: only the briefing
        {5, 5, 0, 0, {1, 1, 1}, 0},   // after the briefing all three
        {0, 0, 0, 84, {0, 0, 1}, 2},  // no interface screens in type 84
        {0, 0, 19, 0, {0, 1, 0}, 1},  // row 19 holds any craft but type 1 at the console
        {0, 0, 19, 1, {0, 1, 1}, 1},
        {5, 0, 19, 84, {1, 0, 0}, 0}, // pending unbriefed in type 84 on row 19
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.pending << " " << c.briefed << " " << c.row << " " << c.type);
        MV2ConsoleEnableOptions(c.pending, c.briefed, c.row, c.type);
        for (int32_t i = 0; i < 3; ++i) EXPECT_EQ(gMV2Console.options[i].enabled, c.enabled[i]) << i;
        EXPECT_EQ(MV2ConsoleFirstSelection(0, c.pending, c.type), c.first);
    }
    EXPECT_EQ(MV2ConsoleFirstSelection(1, 5, 0), kMV2ConsoleNone) << "the cursor shown";
}

TEST_F(ConsoleTest, MovesFollowTheLayoutAndEndWhenNothingIsEnabled) {
    struct Case {
        int32_t enabled[3];
        int32_t action, from, selection, to;
    };
    const Case cases[] = {
        {{1, 1, 1}, 33, 0, 0, 1}, // down from the top
        {{1, 1, 1}, 33, 1, 1, 1}, // down from the bottom row: nothing
        {{1, 1, 1}, 33, 2, 2, 2},
        {{1, 1, 1}, 35, 1, 1, 1}, // right from the right: nothing
        {{1, 1, 1}, 35, 0, 0, 1},
        {{1, 1, 1}, 35, 2, 2, 1},
        {{1, 1, 1}, 34, 0, 0, 2},
        {{1, 1, 1}, 34, 1, 1, 2},
        {{1, 1, 1}, 34, 2, 2, 2},
        {{1, 1, 1}, 32, 1, 1, 0},
        {{1, 1, 1}, 32, 2, 2, 0},
        {{1, 1, 1}, 32, 0, 0, 0},
        {{1, 1, 1}, 33, 3, 3, 0}, // from none the refusals do not hold
        {{0, 1, 1}, 33, 3, 3, 1},
        {{0, 1, 1}, 34, 1, 1, 2},
        {{1, 0, 0}, 33, 0, 0, 0}, // only the briefing: every move stays
        {{1, 0, 0}, 35, 0, 0, 0},
        {{1, 0, 0}, 34, 0, 0, 0},
        {{0, 0, 0}, 33, 3, 3, 3}, // nothing enabled ends too
        {{0, 0, 0}, 34, 3, 3, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.action << " from " << c.from);
        Enable(c.enabled[0], c.enabled[1], c.enabled[2]);
        EXPECT_EQ(MV2ConsoleMove(c.action, c.from, c.selection), c.to);
    }
}

TEST_F(ConsoleTest, FittingAddsOnlyEntriesUnlockedSinceTheLastVisit) {
    MV2Object* craft = SpawnPlayer();
    ASSERT_NE(craft, nullptr);
    MV2SubRecord r = {};
    r.weapons[0] = MV2LoadoutEntry(10, 16);  // bullet gun, new at 10
    r.weapons[1] = MV2LoadoutEntry(0, 30);   // machine gun, had before
    r.weapons[2] = MV2LoadoutEntry(30, 12);  // not yet
    r.weapons[3] = MV2LoadoutEntry(10, 9999); // in no table: skipped
    for (uint32_t& e : r.tools) e = MV2LoadoutEntry(255, 0xFFFF);
    for (auto& g : r.alternatives) g[0] = MV2LoadoutEntry(255, 0xFFFF);
    r.tools[0] = MV2LoadoutEntry(20, 5);
    r.tools[1] = MV2LoadoutEntry(21, 2);
    MV2ConsoleFitEquipment(craft, &r, 5, 5);
    EXPECT_EQ(Sub(craft)->weapons.first, nullptr) << "an unchanged level fits nothing";
    MV2ConsoleFitEquipment(craft, &r, 5, 20);
    EXPECT_TRUE(MV2HasWeapon(&Sub(craft)->weapons, MV2WeaponSlotOfItem(16)));
    EXPECT_FALSE(MV2HasWeapon(&Sub(craft)->weapons, MV2WeaponSlotOfItem(30)));
    EXPECT_FALSE(MV2HasWeapon(&Sub(craft)->weapons, MV2WeaponSlotOfItem(12)));
    EXPECT_NE(MV2FindTool(&Sub(craft)->tools, MV2ToolKindOfItem(5)), nullptr);
    EXPECT_EQ(MV2FindTool(&Sub(craft)->tools, MV2ToolKindOfItem(2)), nullptr);
}

TEST_F(ConsoleTest, KeySelectConfirmsAndAClickAwayDoesNothing) {
    SpawnPlayer();
    MV2StartConsole();
    EXPECT_EQ(gMV2Console.selection, 1);
    MV2ShowMouseCursor();
    gMV2MouseCursor.x = 10, gMV2MouseCursor.y = 10;
    Press(28, -1.0f);
    MV2UpdateConsole();
    EXPECT_EQ(gMV2GameState.requested, 0) << "a click away from the options";
    EXPECT_EQ(gMV2Console.selection, kMV2ConsoleNone);
    gMV2MouseCursor.x = 470, gMV2MouseCursor.y = 400; // inside option 1
    MV2UpdateConsole();
    EXPECT_EQ(gMV2GameState.requested, 10);
    EXPECT_EQ(gMV2InterfaceShared.ambientChannel, kMV2AmbientPending);
    gMV2GameState.requested = 0;
    MV2HideMouseCursor();
    MV2PendingMission = MV2BriefedMission = 7;
    Press(28, 1.0f);
    gMV2Console.selection = 2;
    MV2UpdateConsole();
    EXPECT_EQ(gMV2GameState.requested, 0);
    EXPECT_EQ(MV2PendingMission, 0);
    EXPECT_EQ(MV2BriefedMission, 0);
    MV2LeaveConsoleMode();
    EXPECT_EQ(gMV2InterfaceShared.ambientChannel, kMV2AmbientNone);
}

TEST_F(ConsoleTest, LockedSubsHaveNoButtonAndCannotBeFocused) {
    EnterScreens(20);
    EXPECT_EQ(gMV2Interface.page, 0);
    EXPECT_EQ(gMV2Interface.focus, 3);
    EXPECT_FALSE(MV2InterfaceGadgetById(0, 10)->disabled);
    EXPECT_FALSE(MV2InterfaceGadgetById(0, 11)->disabled); // record 1 needs 20
    EXPECT_TRUE(MV2InterfaceGadgetById(0, 12)->disabled);  // record 2 needs 50
    EXPECT_EQ(MV2InterfaceNextEnabled(11), 16 + 10) << "past every locked sub and the hidden choices";
    MV2InterfaceSetFocus(11);
    MV2InterfaceMoveFocus(35);
    EXPECT_EQ(gMV2Interface.focus, 11);
    // Nothing is drawn for a locked sub's button.
    TvRaster icons = {};
    icons.width = icons.height = 1024;
    gMV2InterfaceShared.rasters[1] = &icons;
    ConsoleSink sink;
    sink.SetUp();
    MV2RenderInterfaceScreens();
    sink.TearDown();
    gMV2InterfaceShared.rasters[1] = nullptr;
    const MV2InterfacePanel& p = kMV2InterfacePanels[2];
    const MV2InterfaceGadget* locked = MV2InterfaceGadgetById(0, 12);
    const MV2InterfaceGadget* open = MV2InterfaceGadgetById(0, 10);
    auto drawnAt = [&](const MV2InterfaceGadget* g) {
        for (const Sink2DCall& c : sink.recorded)
            if (c.vertices.size() >= 1 && c.vertices[0].x == float(p.x + g->x) &&
                c.vertices[0].y == float(p.y + g->y))
                return true;
        return false;
    };
    EXPECT_TRUE(drawnAt(open));
    EXPECT_FALSE(drawnAt(locked));
}

TEST_F(ConsoleTest, FocusMovesFollowTheLoadoutTable) {
    EnterScreens(100);
    struct Case {
        int32_t from, action, to;
    };
    const Case cases[] = {
        {3, 35, 4},  {5, 35, 6},  {6, 35, 6},   {6, 34, 5},  {7, 34, 5},  {7, 32, 6},
        {6, 33, 7},  {3, 32, 3},  {3, 33, 10},  {10, 32, 3}, {10, 35, 11}, {13, 35, 13},
        {10, 34, 9}, {9, 32, 2},  {1, 33, 8},   {2, 33, 9},  {27, 34, 26}, {26, 34, 26},
        {26, 33, 31}, {31, 32, 26}, {31, 35, 31}, {10, 33, 26}, {8, 34, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << " action " << c.action);
        MV2InterfaceSetFocus(c.from);
        MV2InterfaceMoveFocus(c.action);
        EXPECT_EQ(gMV2Interface.focus, c.to);
    }
}

TEST_F(ConsoleTest, GroupColumnsOpenByTheirButtonAndHideLockedChoices) {
    EnterScreens(100);
    const MV2InterfaceGadget* lower = MV2InterfaceGadgetById(0, 9);
    MV2InterfaceSetFocus(9);
    MV2InterfaceSelect();
    EXPECT_EQ(gMV2Interface.openGroup, 0);
    const MV2InterfaceGadget* first = MV2InterfaceGadgetById(0, 16);
    EXPECT_FALSE(first->disabled);
    EXPECT_EQ(first->y, lower->y - 40) << "a lower button lays its column upwards";
    EXPECT_TRUE(MV2InterfaceGadgetById(0, 17)->disabled) << "a choice above the level stays hidden";
    MV2InterfaceMoveFocus(32);
    EXPECT_EQ(gMV2Interface.focus, 16);
    MV2InterfaceMoveFocus(33); // against the column at its first choice: closes it
    EXPECT_EQ(gMV2Interface.openGroup, -1);
    EXPECT_EQ(gMV2Interface.focus, 9);
    MV2InterfaceSetFocus(1);
    MV2InterfaceSelect();
    EXPECT_EQ(MV2InterfaceGadgetById(0, 16)->y, MV2InterfaceGadgetById(0, 1)->y + 40);
    MV2InterfaceMoveFocus(33);
    MV2InterfaceSelect(); // choose the first choice of group 3
    EXPECT_EQ(gMV2Interface.openGroup, -1);
    EXPECT_EQ(gMV2Interface.focus, 1);
    EXPECT_EQ(MV2GetSubRecord(0)->chosen[3], MV2LoadoutEntry(0, 60));
}

TEST_F(ConsoleTest, MissionRowsRestrictTheSubsAndRow36SetsTheBriefing) {
    gMV2MissionFlow.current = 15;
    EnterScreens(100);
    EXPECT_EQ(gMV2Interface.record, 0);
    MV2InterfaceSetFocus(12);
    MV2InterfaceSelect();
    EXPECT_EQ(gMV2Interface.record, 0) << "record 2 is refused in row 15";
    EXPECT_FALSE(MV2InterfaceGadgetById(0, 12)->pressed);
    MV2InterfaceSetFocus(11);
    MV2InterfaceSelect();
    EXPECT_EQ(gMV2Interface.record, 1);

    gMV2MissionFlow.current = 36;
    MV2EnterInterfaceScreens();
    MV2InterfaceSetFocus(12);
    MV2InterfaceSelect();
    EXPECT_EQ(gMV2Interface.record, 2);
    EXPECT_EQ(MV2PendingMission, 51);
    EXPECT_EQ(MV2BriefedMission, 51);
}

TEST_F(ConsoleTest, StatusBarsAndLocationFollowTheStage) {
    struct Case {
        int32_t stage, location, bars, firstText, firstValue;
    };
    const Case cases[] = {
        {0, 293, 5, 514, 50}, {1, 302, 4, 514, 50}, {16, 301, 1, 316, 100},
        {20, 318, 2, 316, 80}, {21, -1, 0, -1, 0}, {-3, -1, 5, 514, 50},
    };
    EnterScreens(0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stage);
        MV2InterfaceSetStatusBars(c.stage);
        EXPECT_EQ(MV2InterfaceLocationText(c.stage), c.location);
        EXPECT_EQ(gMV2Interface.barTexts[0], c.firstText);
        EXPECT_EQ(gMV2Interface.barValues[0], c.firstValue);
        int32_t shown = 0;
        for (const MV2InterfaceGadget* g = gMV2Interface.gadgets[2]; g->kind; ++g)
            if (g->action >= 50 && g->action <= 54 && !g->disabled) ++shown;
        EXPECT_EQ(shown, c.bars);
    }
}

TEST_F(ConsoleTest, InputWaitsWhileAVideoFacePlays) {
    EnterScreens(100);
    gMV2Interface.videoPlaying = 1;
    Press(35);
    MV2UpdateInterfaceScreens();
    EXPECT_EQ(gMV2Interface.focus, 3);
    EXPECT_EQ(gMV2Interface.videoPlaying, 0) << "the face without a movie has ended";
    MV2UpdateInterfaceScreens();
    EXPECT_EQ(gMV2Interface.focus, 4);
}

TEST_F(ConsoleTest, BordersOnlyAroundALargerScreen) {
    EnterScreens(0);
    TvRaster images[8] = {};
    for (int32_t i = 0; i < 8; ++i) {
        images[i].width = images[i].height = 1024;
        gMV2InterfaceShared.rasters[i] = &images[i];
    }
    struct Case {
        int32_t width, height;
        size_t borders;
        float backgroundX;
    };
    for (const Case& c : {Case{640, 480, 0, 0.0f}, Case{800, 600, 4, 80.0f}, Case{1024, 768, 4, 192.0f}}) {
        SCOPED_TRACE(c.width);
        MV2Set2DScreenScale(c.width, c.height);
        ConsoleSink sink;
        sink.SetUp();
        MV2RenderInterfaceScreens();
        sink.TearDown();
        ASSERT_GT(sink.recorded.size(), c.borders);
        const Sink2DCall& background = sink.recorded[c.borders];
        EXPECT_EQ(background.vertices[0].x, c.backgroundX);
        EXPECT_EQ(background.raster, reinterpret_cast<intptr_t>(&images[0]));
        for (size_t i = 0; i < c.borders; ++i)
            EXPECT_NE(sink.recorded[i].raster, reinterpret_cast<intptr_t>(&images[0]));
    }
    for (TvRaster*& r : gMV2InterfaceShared.rasters) r = nullptr;
}

} // namespace

namespace {

TEST_F(ConsoleTest, AcceptRebuildsTheCraftAndFallsBackToTheOldType) {
    MV2Object* old = EnterScreens(100);
    ASSERT_NE(old, nullptr);
    MV2InterfaceSetFocus(11); // record 1: a type this world cannot make
    MV2InterfaceSelect();
    ASSERT_EQ(gMV2Interface.record, 1);
    MV2InterfaceSetFocus(6);
    MV2InterfaceSelect();
    EXPECT_EQ(gMV2GameState.requested, 9);
    MV2Object* now = MV2GetPlayerObject();
    ASSERT_NE(now, nullptr) << "the old type is made again";
    EXPECT_EQ(MV2ShotTypeOf(now), 0);
    EXPECT_EQ(MV2GetPlayerSub(), now);
}

} // namespace
