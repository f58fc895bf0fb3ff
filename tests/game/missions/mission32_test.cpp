#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/core/frame.h"
#include "game/effects/beams.h"
#include "game/missions/machineryprops.h"
#include "game/missions/mission32.h"
#include "game/missions/missionprops.h"
#include "game/missions/missions.h"
#include "game/objects/levels.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"
#include "tests/game/missions/mission_rows_fixture.h"

namespace {

constexpr int32_t kPostType = kRowPostType, kPropType = 350, kMirrorType = 54, kValveType = 143,
                  kTriggerType = kRowSensorType;
constexpr uint32_t kMachine = 0x09000002, kDoor = 0x09000012;
const uint32_t kLamps[5] = {0x09000005, 0x09000003, 0x09000004, 0x09000006, 0x09000007};
const uint32_t kButtons[5] = {0x09000008, 0x0900000C, 0x0900000B, 0x0900000A, 0x09000009};
const uint32_t kValves[4] = {0x0900000D, 0x0900000E, 0x0900000F, 0x09000010};
const float kDiagonal = float(M_SQRT1_2);

// What the lock's lamps, machine and door were told: message 11's switch, message 12's value.
struct Sent {
    uint32_t id;
    int32_t message;
    intptr_t p1;
    float value;
};
std::vector<Sent> g_sent;

intptr_t PropHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 11 || message == 12) {
        const bool value = message == 12 && p2 && p2 != reinterpret_cast<intptr_t>(&MV2Mission32SwitchHit);
        g_sent.push_back({uint32_t(object->scriptId), message, p1, value ? *reinterpret_cast<float*>(p2) : 0.0f});
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

// A mirror whose reflection normal is its at axis.
intptr_t MirrorHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 25 && p2) *reinterpret_cast<TvV3d*>(p2) = object->matrix->at;
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

std::vector<Sent> SentTo(uint32_t id, int32_t message) {
    std::vector<Sent> out;
    for (const Sent& s : g_sent)
        if (s.id == id && s.message == message) out.push_back(s);
    return out;
}

// Whether the lamp was last switched on.
bool Lit(uint32_t lamp) {
    const std::vector<Sent> s = SentTo(lamp, 11);
    return !s.empty() && s.back().p1 == 1;
}

std::vector<MV2Beam*> Beams() {
    std::vector<MV2Beam*> out;
    for (MV2Beam* b = MV2FirstBeam(); b && b->id && out.size() < size_t(kMV2Beams); b = b->next)
        out.push_back(b);
    return out;
}

// Level 9: the lock, the valves, three beam traces (the third over a mirror), the collector,
// the camera triggers with their posts and a fence 40..80 square. The fixed beams' ends stand
// high above the traces.
MissionLevel Level9() {
    MissionLevel level;
    level.levelId = 0x09FFFFFF;
    level.playerPosition[0] = 120, level.playerPosition[1] = 30, level.playerPosition[2] = 20;
    level.types.push_back({kPostType});
    level.types.push_back({kPropType, 100.0f, 0, 0, PropHandler});
    level.types.push_back({kMirrorType, 100.0f, 0, 0, MirrorHandler});
    level.types.push_back({kValveType, 100.0f, 0, 0, MV2TurningPropHandler, uint32_t(sizeof(MV2TurningPropData)), true});
    level.types.push_back(RowSensorType());
    for (int32_t i = 0; i < 5; ++i) {
        level.objects.push_back({kLamps[i], kPropType, 10.0f * float(i), 90, 190});
        level.objects.push_back({kButtons[i], kPostType, 10.0f * float(i), 90, 180});
    }
    level.objects.push_back({kMachine, kPropType, 60, 90, 190});
    level.objects.push_back({kDoor, kPropType, 70, 90, 190});
    for (int32_t i = 0; i < 4; ++i)
        level.objects.push_back({kValves[i], kValveType, 100.0f + 10.0f * float(i), 90, 190});
    level.objects.push_back({0x09000011, kPostType, 190, 42, 190}); // the water mark
    int32_t n = 0;
    for (uint32_t id : {0x09000019u, 0x09000018u, 0x09000017u, 0x09000015u, 0x09000014u, 0x09000016u})
        level.objects.push_back({id, kPostType, 10.0f * float(n++), 80, 10});
    // Trace 1 straight on along z; trace 2 straight on along -x; trace 3 along -z, turned to +x.
    level.objects.push_back({0x09000024, kMirrorType, 10, 10, 10, 1, 0, 0});
    level.objects.push_back({0x0900002C, kPostType, 10, 10, 30});
    level.objects.push_back({0x09000028, kMirrorType, 100, 10, 100, 0, 0, 1});
    level.objects.push_back({0x0900002B, kPostType, 80, 10, 100});
    level.objects.push_back({0x0900001C, kMirrorType, 150, 10, 150, 1, 0, 0});
    level.objects.push_back({0x0900001A, kMirrorType, 150, 10, 140, -kDiagonal, 0, -kDiagonal});
    level.objects.push_back({0x0900002A, kPostType, 170, 10, 140});
    level.objects.push_back({0x0900002D, kPostType, 180, 40, 180}); // the collector
    level.objects.push_back({0x09000030, kTriggerType, 20, 60, 60, -1, 0, 0});
    level.objects.push_back({0x0900002F, kPostType, 20, 60, 80});
    level.objects.push_back({0x09000031, kTriggerType, 60, 60, 60, -1, 0, 0});
    level.objects.push_back({0x09000032, kPostType, 60, 60, 60});
    const float corners[4][2] = {{40, 40}, {80, 40}, {80, 80}, {40, 80}};
    for (int32_t i = 0; i < 4; ++i)
        level.objects.push_back({0x09000037u + uint32_t(i), kPostType, corners[i][0], 60, corners[i][1]});
    return level;
}

class Mission32Test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(h_.ok());
        ASSERT_TRUE(h_.Load(Level9()));
        ASSERT_EQ(MV2InitialiseBeams(), 1);
        g_sent.clear();
        MV2MissionStart(32, 0);
        // The beams meet solid models only: the traces' mirrors and receivers are made solid.
        MV2CurrentLevelWorld world;
        for (uint32_t id : {0x09000024u, 0x0900002Cu, 0x09000028u, 0x0900002Bu, 0x0900001Cu, 0x0900001Au, 0x0900002Au}) {
            MV2Object* o = h_.Find(id);
            ASSERT_NE(o, nullptr);
            MV2SetAllAtomicFlags(o->clump, 5);
            const TvV3d at = o->matrix->pos;
            MV2ObjectSendMessage(o, 83, 0, reinterpret_cast<intptr_t>(&at));
        }
        TvFrameSyncDirty();
    }
    void TearDown() override {
        MV2ResetBeams();
        gMV2Level.changePending = 0;
        g_sent.clear();
    }
    void Press(int32_t button) {
        MV2CurrentLevelWorld world;
        MV2Mission32SwitchHit(h_.Find(kButtons[button]), 1);
    }
    MissionHarness h_;
};

} // namespace

TEST(Mission32ReflectTest, OutIsDMinusTwiceItsNormalPart) {
    const struct {
        TvV3d d, n, out;
    } kCases[] = {
        {{0, 0, 1}, {0, 0, 1}, {0, 0, -1}},                      // head-on
        {{1, 0, 0}, {kDiagonal, 0, -kDiagonal}, {0, 0, 1}},      // a quarter turn
        {{0, 0, 1}, {1, 0, 0}, {0, 0, 1}},                        // along the mirror
        {{1, 2, 3}, {0, 1, 0}, {1, -2, 3}},                       // only the normal part flips
        {{1, 2, 3}, {0, 0, 0}, {1, 2, 3}},                        // no normal: unchanged
        {{1, 0, 0}, {0, 2, 0}, {1, 0, 0}},                        // not unit: the formula as it stands
        {{0, 1, 0}, {0, 2, 0}, {0, -7, 0}},
    };
    for (const auto& c : kCases) {
        TvV3d out{};
        MV2ReflectVector(c.d, c.n, &out);
        EXPECT_NEAR(out.x, c.out.x, 1e-5f);
        EXPECT_NEAR(out.y, c.out.y, 1e-5f);
        EXPECT_NEAR(out.z, c.out.z, 1e-5f);
    }
}

TEST_F(Mission32Test, ThreeSequencesOpenTheLockAndSpeedUpItsMachine) {
    EXPECT_EQ(SentTo(kMachine, 12).back().value, 1.0f);
    for (uint32_t lamp : kLamps)
        EXPECT_FALSE(Lit(lamp));
    const float kSpeeds[] = {2.0f, 4.0f}, kDoorValues[] = {1.0f, 4.0f, 16.0f};
    for (int32_t stage = 0; stage < 3; ++stage) {
        EXPECT_EQ(gMV2Mission32.lockStage, stage);
        for (int32_t i = 0; i < 5 && kMV2Mission32Sequences[stage][i] >= 0; ++i) {
            Press(kMV2Mission32Sequences[stage][i]);
            if (gMV2Mission32.lockStage == stage) {
                EXPECT_TRUE(Lit(kLamps[kMV2Mission32Sequences[stage][i]]));
            }
        }
        ASSERT_EQ(gMV2Mission32.lockStage, stage + 1);
        EXPECT_EQ(SentTo(kDoor, 12).back().p1, 1);
        EXPECT_EQ(SentTo(kDoor, 12).back().value, kDoorValues[stage]);
        EXPECT_EQ(SentTo(kMachine, 11).back().p1, 0);
        EXPECT_EQ(MV2MissionNotifyInstalled(32, 3), 1);
        if (stage < 2) {
            EXPECT_EQ(gMV2Mission32.pendingCutScene, 0x0907FFFFu);
            EXPECT_EQ(gMV2Mission32.lockPosition, 0);
            EXPECT_EQ(SentTo(kMachine, 12).back().value, kSpeeds[stage]);
            for (uint32_t lamp : kLamps)
                EXPECT_FALSE(Lit(lamp));
            h_.Notify(3, nullptr, 0); // the stage's cut-scene ends: the machine runs again
            EXPECT_EQ(SentTo(kMachine, 11).back().p1, 1);
        } else {
            EXPECT_EQ(gMV2Mission32.pendingCutScene, 0x0906FFFFu);
        }
    }
    // Solved: the buttons do nothing more.
    const size_t sent = g_sent.size();
    Press(0);
    EXPECT_EQ(g_sent.size(), sent);
}

TEST_F(Mission32Test, AWrongButtonClearsTheLampsButKeepsTheStage) {
    Press(0), Press(1), Press(2); // stage 0 done
    ASSERT_EQ(gMV2Mission32.lockStage, 1);
    Press(4), Press(1); // stage 1: 4, 1, 2, 3
    EXPECT_TRUE(Lit(kLamps[4]));
    EXPECT_TRUE(Lit(kLamps[1]));
    Press(1); // again: ignored
    Press(4);
    EXPECT_EQ(gMV2Mission32.lockPosition, 2);
    EXPECT_TRUE(Lit(kLamps[1]));
    Press(0); // wrong: pressed in the last stage, not this one
    EXPECT_EQ(gMV2Mission32.lockStage, 1);
    EXPECT_EQ(gMV2Mission32.lockPosition, 0);
    for (uint32_t lamp : kLamps)
        EXPECT_FALSE(Lit(lamp));
    Press(4), Press(1), Press(2), Press(3);
    EXPECT_EQ(gMV2Mission32.lockStage, 2);
}

TEST_F(Mission32Test, ValveCheckWaitsForAllFourAndAnyValveNotUprightResetsAll) {
    for (bool allUpright : {false, true}) {
        MV2MissionStart(32, 0);
        gMV2Water.targetHeight = 0.0f;
        MV2CurrentLevelWorld world;
        for (int32_t i = 0; i < 4; ++i) {
            MV2Object* valve = h_.Find(kValves[i]);
            ASSERT_NE(valve, nullptr);
            const bool upright = allUpright || i != 2;
            valve->matrix->up = upright ? TvV3d{0, 0, -1} : TvV3d{0, 1, 0};
            valve->matrix->at = upright ? TvV3d{0, 1, 0} : TvV3d{0, 0.9f, 0.436f};
            static_cast<MV2TurningPropData*>(valve->privateData)->until = 123456;
        }
        for (int32_t i = 0; i < 3; ++i)
            MV2Mission32SwitchHit(h_.Find(kValves[i]), 1);
        auto* d = static_cast<MV2TurningPropData*>(h_.Find(kValves[0])->privateData);
        EXPECT_EQ(d->duration, 1000000u); // held once used
        EXPECT_EQ(d->until, 123456u);     // three reports: no check yet
        MV2Mission32SwitchHit(h_.Find(kValves[3]), 1);
        const uint32_t kTimes[] = {5000, 4000, 5000, 8000};
        for (int32_t i = 0; i < 4; ++i) {
            auto* v = static_cast<MV2TurningPropData*>(h_.Find(kValves[i])->privateData);
            EXPECT_EQ(v->duration, allUpright ? 1000000u : kTimes[i]) << i;
            EXPECT_EQ(v->until, allUpright ? 123456u : 0u) << i;
        }
        EXPECT_EQ(gMV2Water.targetHeight, allUpright ? 42.0f : 0.0f);
        // A turning valve reports 0: the check waits again.
        MV2Mission32SwitchHit(h_.Find(kValves[1]), 0);
        gMV2Water.targetHeight = 0.0f;
        MV2Mission32SwitchHit(h_.Find(kValves[3]), 1);
        EXPECT_EQ(gMV2Water.targetHeight, 0.0f);
        MV2Mission32SwitchHit(h_.Find(kValves[1]), 1);
    }
    gMV2Water.targetHeight = 0.0f;
}

TEST_F(Mission32Test, TraceEndsOnItsTargetOrDrawsNothingWithoutAHitWithinThirty) {
    const struct {
        float targetZ;
        TvV3d direction;
        int32_t arrives;
        size_t beams;
        float endY;
    } kCases[] = {
        {30, {0, 0, 1}, 1, 1, 10},  // the receiver 20 ahead
        {41.5f, {0, 0, 1}, 0, 0, 0}, // beyond 30: nothing hit, nothing drawn
    };
    for (const auto& c : kCases) {
        MV2CurrentLevelWorld world;
        MV2Object* start = h_.Find(0x09000024);
        MV2Object* target = h_.Find(0x0900002C);
        const TvV3d at{10, 10, c.targetZ};
        MV2ObjectSendMessage(target, 83, 0, reinterpret_cast<intptr_t>(&at));
        TvFrameSyncDirty();
        MV2ResetBeams();
        EXPECT_EQ(MV2TraceBeam(start, c.direction, 3, target, 0), c.arrives) << c.targetZ;
        const std::vector<MV2Beam*> beams = Beams();
        ASSERT_EQ(beams.size(), c.beams) << c.targetZ;
        if (!beams.empty()) {
            EXPECT_EQ(beams[0]->kind, 3u);
            EXPECT_NEAR(beams[0]->endPoint.y, c.endY, 1e-3f);
        }
    }
}

TEST_F(Mission32Test, ThreeArrivingBeamsLightTheColumnAndTheCollectorLeadsToLevelTen) {
    MV2CurrentLevelWorld world;
    int32_t r[3] = {};
    MV2ResetBeams();
    MV2Mission32DrawBeams(&r[0], &r[1], &r[2], 512);
    EXPECT_EQ(r[0] + r[1] + r[2], 3);
    // Six fixed beams; traces of 1, 1 and 2 segments; three receiver-to-collector beams.
    EXPECT_EQ(Beams().size(), 13u);

    // Turning the mid mirror breaks the third beam.
    MV2Object* mirror = h_.Find(0x0900001A);
    mirror->matrix->at = {0, 0, 1};
    MV2Mission32SwitchHit(mirror, 0);
    EXPECT_EQ(gMV2Mission32.beamsComplete, 0u);
    mirror->matrix->at = {-kDiagonal, 0, -kDiagonal};
    MV2Mission32SwitchHit(mirror, 0);
    EXPECT_EQ(gMV2Mission32.beamsComplete, 1u);
    EXPECT_TRUE(h_.Log("level").empty());

    const TvV3d near{180.5f, 40, 180};
    MV2ObjectSendMessage(h_.Player(), 83, 0, reinterpret_cast<intptr_t>(&near));
    MV2Mission32UpdateBeams();
    ASSERT_EQ(h_.Log("level").size(), 1u);
    EXPECT_EQ(h_.Log("level")[0].value, 0x0AFFFFFF);
    EXPECT_EQ(MV2CountMissionTimers(32, 256), 0);
    // The beams stay for the closing cut-scene; nothing runs the end twice.
    for (MV2Beam* b : Beams())
        EXPECT_EQ(b->flags & kMV2BeamOneFrame, 0u);
    MV2Mission32SwitchHit(mirror, 0);
    EXPECT_EQ(h_.Log("level").size(), 1u);
}

TEST_F(Mission32Test, CameraPostFollowsInsideTheFenceAndAboveThePlayer) {
    MV2Object* trigger = h_.Find(0x09000031);
    const struct {
        TvV3d player, at, up;
        TvV3d goal;
    } kCases[] = {
        {{45, 60, 60}, {1, 0, 0}, {0, 1, 0}, {40, 63.333f, 60}}, // behind is past the fence: pulled in
        {{60, 60, 60}, {0, 0, 1}, {0, 1, 0}, {60, 64, 54}},  // inside: 4 up, 6 behind
        {{60, 60, 60}, {0, 0, 1}, {0, -1, 0}, {60, 61, 54}}, // upside down: kept above the player
    };
    {
        MV2CurrentLevelWorld world;
        const TvV3d before{50, 60, 60}; // on the far side of the trigger's at axis
        MV2ObjectSendMessage(h_.Player(), 83, 0, reinterpret_cast<intptr_t>(&before));
        MV2Mission32CameraTrigger(trigger, h_.Player());
    }
    EXPECT_EQ(gMV2Mission32.followZone, 1u);
    EXPECT_EQ(gMV2Mission32.pendingCutScene, 0x0905FFFFu);
    EXPECT_EQ(gMV2Mission32.cameraFollow, 0u);
    h_.Notify(3, nullptr, 0);
    ASSERT_EQ(gMV2Mission32.cameraFollow, 1u);
    for (const auto& c : kCases) {
        {
            MV2CurrentLevelWorld world;
            MV2ObjectSendMessage(h_.Player(), 83, 0, reinterpret_cast<intptr_t>(&c.player));
            TvMatrix* m = h_.Player()->matrix;
            m->at = c.at, m->up = c.up;
            m->right = TvV3dCross(c.up, c.at);
        }
        MV2Object* post = h_.Find(0x09000032);
        for (int i = 0; i < 400; ++i) {
            h_.Step(33);
            const TvV3d p = post->matrix->pos;
            ASSERT_TRUE(p.x >= 40.0f - 1e-3f && p.x <= 80.0f + 1e-3f && p.z >= 40.0f - 1e-3f && p.z <= 80.0f + 1e-3f)
                << p.x << " " << p.z;
        }
        EXPECT_NEAR(post->matrix->pos.x, c.goal.x, 0.05f);
        EXPECT_NEAR(post->matrix->pos.y, c.goal.y, 0.05f);
        EXPECT_NEAR(post->matrix->pos.z, c.goal.z, 0.05f);
        EXPECT_EQ(MV2GetCameraMode(), 2);
    }
    // Leaving through the zone's trigger ends the zone.
    {
        MV2CurrentLevelWorld world;
        const TvV3d beyond{70, 60, 60};
        MV2ObjectSendMessage(h_.Player(), 83, 0, reinterpret_cast<intptr_t>(&beyond));
        MV2Mission32CameraTrigger(trigger, h_.Player());
    }
    EXPECT_EQ(gMV2Mission32.followZone, 0u);
    EXPECT_EQ(MV2GetCameraMode(), 1);
}
