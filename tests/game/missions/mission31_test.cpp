#include <gtest/gtest.h>

#include <initializer_list>

#include "game/missions/industrial.h"
#include "game/missions/mission31.h"
#include "game/missions/missions.h"
#include "game/objects/camera.h"
#include "game/objects/levels.h"
#include "tests/game/missions/mission_rows_fixture.h"

namespace {

constexpr int32_t kPostType = kRowPostType;
constexpr int32_t kGateType = 346;
constexpr uint32_t kLever = 0x0700003E, kFlood = 0x07000079, kDeposit = 0x0700003D;
constexpr uint32_t kParts[7] = {0x07000032, 0x07000033, 0x07000034, 0x07000035,
                                0x07000036, 0x07000037, 0x07000038};
constexpr uint32_t kPartPosts[7] = {0x0700003C, 0x0700003B, 0x0700002A, 0x07000029,
                                    0x07000028, 0x07000027, 0x07000026};
constexpr uint32_t kTriggers[15] = {0x0700003D, 0x0700007E, 0x07000075, 0x0700007D, 0x0700009E,
                                    0x0700009F, 0x070000A0, 0x070000AF, 0x070000A2, 0x0700000A,
                                    0x070000A3, 0x070000AA, 0x070000A7, 0x07000048, 0x070000B1};

// Level 7 with the parts, their posts, the lever, the deposit and its drop post, the relief
// posts, the proximity triggers, one camera post and one hall machine (a gate).
MissionLevel Level7(bool lastPartType = true) {
    MissionLevel level;
    level.levelId = 0x07FFFFFF;
    level.writeMiningFile = false;
    level.playerPosition[0] = 0, level.playerPosition[1] = 10, level.playerPosition[2] = 0;
    level.types.push_back({kPostType});
    level.types.push_back({77});
    for (int32_t type = 315; type <= (lastPartType ? 321 : 320); ++type)
        level.types.push_back({type});
    MissionType gate{kGateType};
    gate.handler = MV2GateHandler;
    gate.privateBytes = sizeof(MV2GateData);
    gate.own = true;
    level.types.push_back(gate);
    for (int32_t i = 0; i < 7; ++i) {
        level.objects.push_back({kParts[i], i < 6 || lastPartType ? 315 + i : 77, 40.0f + float(i), 10, 40});
        level.objects.push_back({kPartPosts[i], kPostType, 60.0f + float(i), 10, 60});
    }
    for (uint32_t id : {kLever, kFlood, 0x0700003Fu, 0x0700006Bu, 0x0700006Du, 0x070000A1u})
        level.objects.push_back({id, kPostType, 20, 10, float(id & 0xFF)});
    for (uint32_t id : kTriggers)
        level.objects.push_back({id, kPostType, 5, 10, 5});
    level.objects.push_back({0x0700003A, kGateType, 30, 10, 30});
    return level;
}

// The parts as loaded: the script takes their clumps out of the world, so they are kept here.
MV2Object* g_parts[7];

int32_t CountType(int32_t type) {
    MV2CurrentLevelWorld world;
    return int32_t(MissionObjectsOfType(type).size());
}

void Switch(MissionHarness& h, uint32_t id, int32_t state) {
    MV2Object* object = h.Find(id);
    ASSERT_NE(object, nullptr);
    MV2CurrentLevelWorld world;
    MV2Mission31SwitchHit(object, state);
}

void Touch(MissionHarness& h, uint32_t trigger) {
    MV2Object* object = h.Find(trigger);
    ASSERT_NE(object, nullptr);
    MV2CurrentLevelWorld world;
    MV2Mission31ProximityHit(object, h.Player());
}

// The lever at rest reassembles only a full set, and each reassembly adds two relief objects
// until there are ten.
void Reassembly(MissionHarness& h) {
    const int32_t expected[6] = {2, 4, 6, 8, 10, 10};
    for (int32_t n : expected) {
        Switch(h, kLever, 0);
        EXPECT_EQ(CountType(77), n);
    }
    const TvV3d& placed = g_parts[0]->matrix->pos;
    EXPECT_FLOAT_EQ(placed.x, 60.0f);
    EXPECT_FLOAT_EQ(placed.z, 60.0f);
}

void MissingPart(MissionHarness& h) {
    h.Send(g_parts[6], 4, 0, 0);
    h.Step(10);
    Switch(h, kLever, 0);
    EXPECT_EQ(CountType(77), 0);
    EXPECT_FLOAT_EQ(g_parts[0]->matrix->pos.x, 40.0f);
}

// A second part within 2000 ms of a delivery waits; the delivered part counts for the set.
void DepositLockout(MissionHarness& h) {
    h.Send(g_parts[6], 4, 0, 0);
    h.Step(10);
    h.SetToolAnswer(37, 1);
    h.SetToolAnswer(13, 321);
    Touch(h, kDeposit);
    EXPECT_EQ(CountType(321), 1);
    h.Step(1000);
    Touch(h, kDeposit);
    h.Step(999);
    Touch(h, kDeposit);
    EXPECT_EQ(CountType(321), 1);
    h.Step(1);
    Touch(h, kDeposit);
    EXPECT_EQ(CountType(321), 2);
    h.ClearToolAnswers();
    Switch(h, kLever, 0);
    EXPECT_EQ(CountType(77), 2);
}

// The tool's commands other than the answers: the removals (command 33) are noted.
intptr_t (*g_toolBase)(MV2Object*, int32_t, int32_t, intptr_t, void*);
int32_t g_removals;
intptr_t CountingTool(MV2Object* object, int32_t kind, int32_t command, intptr_t p, void* out) {
    g_removals += command == 33;
    return g_toolBase(object, kind, command, p, out);
}

// A part that cannot be made stays in the tool and sets no lockout.
void DepositCannotMake(MissionHarness& h) {
    g_toolBase = gMV2MissionToolCommandHook;
    g_removals = 0;
    gMV2MissionToolCommandHook = CountingTool;
    h.SetToolAnswer(37, 1);
    h.SetToolAnswer(13, 321);
    Touch(h, kDeposit);
    EXPECT_EQ(CountType(321), 0);
    EXPECT_EQ(g_removals, 0);
    h.SetToolAnswer(13, 320);
    Touch(h, kDeposit);
    EXPECT_EQ(CountType(320), 1);
    EXPECT_EQ(g_removals, 1);
    gMV2MissionToolCommandHook = g_toolBase;
}

// After the flood switch the triggers are gone and the hall's machines hold still.
void TriggersGoneAfterFlood(MissionHarness& h) {
    MV2SetCameraMode(1);
    h.Find(0x070000A2)->radius = 4.0f;
    RowMovePlayer(h, 5, 5); // within half the radius of trigger 0x070000A2
    Touch(h, 0x070000A2);
    EXPECT_EQ(MV2GetCameraMode(), 2);
    Switch(h, kFlood, 1);
    h.Step(10);
    for (uint32_t id : kTriggers)
        EXPECT_EQ(h.Find(id), nullptr) << std::hex << id;
    const MV2GateData* gate = MV2GateRecord(h.Find(0x0700003A));
    ASSERT_NE(gate, nullptr);
    EXPECT_EQ(gate->start, 0u);
    EXPECT_EQ(gate->end, 99999u);
    EXPECT_EQ(gate->rate, 0.0f);
}

} // namespace

TEST(Mission31Test, PartsDepositAndFlood) {
    const struct {
        const char* name;
        void (*run)(MissionHarness&);
        bool lastPartType = true;
    } cases[] = {
        {"reassembly adds two relief objects up to ten", Reassembly},
        {"a missing part stops the reassembly", MissingPart},
        {"the deposit locks out for 2000 ms", DepositLockout},
        {"a part that cannot be made stays in the tool", DepositCannotMake, false},
        {"the proximity triggers are gone after the flood switch", TriggersGoneAfterFlood},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MissionHarness h;
        ASSERT_TRUE(h.ok());
        ASSERT_TRUE(h.Load(Level7(c.lastPartType)));
        for (int32_t i = 0; i < 7; ++i)
            ASSERT_NE(g_parts[i] = h.Find(kParts[i]), nullptr);
        MV2MissionStart(31, 0);
        h.Step(100);
        c.run(h);
    }
}
