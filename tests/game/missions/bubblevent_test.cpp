#include "tests/game/missions/device_fixture.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "game/missions/bubblevent.h"

namespace {

class BubbleVentTest : public DeviceTest {
protected:
    MV2Object* Vent(float parameter) {
        MV2Object* vent = Device(293, sizeof(MV2BubbleVentData));
        std::memcpy(&vent->typeWord68, &parameter, sizeof parameter);
        return vent;
    }
    static MV2BubbleVentData* Data(MV2Object* vent) {
        return static_cast<MV2BubbleVentData*>(vent->privateData);
    }
};

} // namespace

TEST_F(BubbleVentTest, ParameterDecodes) {
    struct Case {
        float parameter;
        int32_t on, off;
    } cases[] = {
        {3020.0f, 3000, 2000},
        {0.0f, 0, 0},
        {999.9f, 0, 99900},
        {std::numeric_limits<float>::quiet_NaN(), 0, 0},
        {1e30f, 2147483000, 64700}, // saturated at the largest integer
        {-5020.0f, 0, 0},
    };
    for (const Case& c : cases) {
        MV2Object* vent = Vent(c.parameter);
        Update(vent);
        EXPECT_EQ(Data(vent)->onTime, c.on) << c.parameter;
        EXPECT_EQ(Data(vent)->offTime, c.off) << c.parameter;
        EXPECT_EQ(vent->typeWord68, 0u);
        MV2ObjectSendMessage(vent, 4, 0, 0);
    }
}

TEST_F(BubbleVentTest, CycleRunsOnlyWhileThePlayerIsNear) {
    MV2Object* vent = Vent(1002.0f); // 1000 ms on, 200 ms off
    MV2Object* player = Player({0.0f, 20.0f, 0.0f});
    const uint32_t t0 = gMV2FrameTimer.frameClock;
    Update(vent);
    EXPECT_EQ(Data(vent)->on, 0u);
    player->matrix->pos = {0.0f, 9.9f, 0.0f};
    struct Step {
        uint32_t at;
        uint32_t on;
    } steps[] = {{1, 1}, {500, 1}, {1001, 1}, {1002, 0}, {1100, 0}, {1202, 0}, {1203, 1}};
    for (const Step& s : steps) {
        gMV2FrameTimer.frameClock = t0 + s.at;
        Update(vent);
        EXPECT_EQ(Data(vent)->on, s.on) << s.at;
    }
    player->matrix->pos = {0.0f, 10.0f, 0.0f}; // exactly 10 away: off, switch time reset
    Update(vent);
    EXPECT_EQ(Data(vent)->on, 0u);
    EXPECT_EQ(Data(vent)->nextSwitch, 0u);
}

TEST_F(BubbleVentTest, BuffetsOnlyAPlayerBesideAndAboveTheVent) {
    struct Case {
        TvV3d at;
        bool hit;
    } cases[] = {
        {{0.5f, 2.0f, 0.5f}, true},
        {{0.0f, 2.0f, 0.0f}, false}, // straight above: h = 0
        {{0.5f, -2.0f, 0.5f}, false}, // below
        {{1.0f, 2.0f, 1.0f}, false},  // h above 1
    };
    for (const Case& c : cases) {
        MV2Object* vent = Vent(5005.0f);
        MV2Object* player = Player(c.at);
        player->energy = 100.0f;
        Update(vent); // switches on
        Update(vent); // on: bubbles and buffet
        EXPECT_EQ(player->energy < 100.0f, c.hit) << c.at.x << " " << c.at.y;
        if (c.hit) {
            EXPECT_LT(player->body->velocity.y, 0.0f);
        }
        MV2ObjectSendMessage(vent, 4, 0, 0);
        MV2ObjectSendMessage(player, 4, 0, 0);
    }
}
