// The key rules of the level creatures' animation callbacks, one table each.
#include <gtest/gtest.h>

#include "game/creatures/flies.h"
#include "game/creatures/floats.h"
#include "game/creatures/pond.h"
#include "game/creatures/scarab.h"
#include "game/creatures/shell.h"

TEST(LevelCreatureKeys, ScarabKeys) {
    struct Case {
        int32_t finished;
        int32_t state;
        int32_t laser;
        int32_t next;
        int32_t stateAfter;
        uint32_t effects;
    };
    const Case cases[] = {
        {0, 5, 0, 1, 5, 0},
        {2, 1, 0, 3, 1, kMV2ScarabKeyOpensWindow},
        {3, 1, 1, 16, 1, kMV2ScarabKeyArms},
        {8, 3, 0, 9, 3, kMV2ScarabKeyStamps},
        {10, 5, 1, 11, 0, 0}, // the laser enabled: turn away
        {10, 3, 0, 5, 3, 0},
        {10, 5, 0, 11, 5, 0}, // guarding without the laser
        {14, 1, 0, 0, 1, 0},
        {14, 3, 0, 5, 3, 0},
        {14, 2, 0, 11, 2, 0},
        {16, 1, 1, 17, 1, 0},
        {19, 1, 1, 16, 1, 0}, // keys 16-19 loop while firing
        {20, 1, 1, -1, 1, 0},
    };
    for (const Case& c : cases) {
        int32_t state = c.state;
        uint32_t effects = 99;
        EXPECT_EQ(MV2ScarabNextKey(c.finished, &state, c.laser, &effects), c.next) << c.finished;
        EXPECT_EQ(state, c.stateAfter) << c.finished;
        EXPECT_EQ(effects, c.effects) << c.finished;
    }
}

TEST(LevelCreatureKeys, ArenaFlyWings) {
    struct Case {
        int32_t finished;
        int32_t awake;
        int32_t next;
        int32_t wings; // shown wing tag, 0 none, -1 unchanged
    };
    const Case cases[] = {{0, 1, 1, -1}, {2, 1, 3, -1}, {2, 0, 0, -1}, {5, 1, 6, 4},
                          {6, 1, 5, 3},  {6, 0, 0, 0},  {8, 1, 9, -1}, {9, 1, -1, -1}};
    for (const Case& c : cases) {
        int32_t wings = 7;
        EXPECT_EQ(MV2FlyWingKey(c.finished, c.awake, &wings), c.next) << c.finished;
        EXPECT_EQ(wings, c.wings) << c.finished;
    }
}

TEST(LevelCreatureKeys, MissionFlyWingsAndMaggots) {
    struct Case {
        int32_t finished;
        int32_t next;
        int32_t show;
    };
    // After keys 0 and 1 the wings flap between keys 2 and 3; past key 9 the key plays again.
    const Case wings[] = {{0, 1, 0}, {1, 2, 0}, {2, 3, 2}, {3, 2, 1}, {8, 9, 0}, {9, -1, 0}};
    for (const Case& c : wings) {
        int32_t show = 9;
        EXPECT_EQ(MV2FlyWingNextKey(c.finished, &show), c.next) << c.finished;
        EXPECT_EQ(show, c.show) << c.finished;
    }
    // The crawl 0-3 and the lunge 4-9; key 3 falls back to 0 unless the lunge takes it to 4.
    const int32_t maggot[][2] = {{0, 1}, {2, 3}, {3, 0}, {4, 5}, {8, 9}, {9, 0}, {10, -1}};
    for (const auto& c : maggot)
        EXPECT_EQ(MV2MaggotNextKey(c[0]), c[1]) << c[0];
}

TEST(LevelCreatureKeys, ArcCrawler) {
    struct Case {
        int32_t finished;
        int32_t state;
        int32_t next;
        int32_t stateAfter;
    };
    const Case cases[] = {
        {0, 0, 1, 0},   {6, 1, 0, 1}, {6, 4, 7, 4},   {7, 4, 8, 5},  {7, 6, 8, 6},
        {7, 2, 0, 2},   {9, 6, 10, 6}, {10, 6, 8, 6}, {10, 7, 11, 7}, {11, 7, 0, 7},
        {12, 0, -1, 0},
    };
    for (const Case& c : cases) {
        int32_t state = c.state;
        EXPECT_EQ(MV2ArcCrawlerNextKey(c.finished, &state), c.next) << c.finished;
        EXPECT_EQ(state, c.stateAfter) << c.finished;
    }
}

TEST(LevelCreatureKeys, SkaterStrokeAndShell) {
    const int32_t skater[][2] = {{0, 1}, {3, 4}, {4, 0}, {5, -1}, {6, -1}};
    for (const auto& c : skater)
        EXPECT_EQ(MV2SkaterNextKey(c[0]), c[1]) << c[0];
    struct Case {
        int32_t finished;
        int32_t next;
        bool snap;
        bool ends;
    };
    const Case shell[] = {{0, 1, false, false},  {6, 0, false, false},  {7, 8, false, false},
                          {9, 10, true, false},  {12, 13, true, false}, {16, 17, false, false},
                          {17, 0, false, true},  {18, -1, false, false}};
    for (const Case& c : shell) {
        bool snap = !c.snap, ends = !c.ends;
        EXPECT_EQ(MV2ShellNextKey(c.finished, &snap, &ends), c.next) << c.finished;
        EXPECT_EQ(snap, c.snap) << c.finished;
        EXPECT_EQ(ends, c.ends) << c.finished;
    }
}
