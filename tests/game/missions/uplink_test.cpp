#include "tests/game/missions/device_fixture.h"

#include "game/missions/missionflow.h"
#include "game/creatures/creaturemath.h"
#include "game/missions/uplink.h"
#include "game/player/player.h"

namespace {

MV2Object* g_held = nullptr;
std::vector<int32_t> g_states;

intptr_t Magnet(MV2Object*, int32_t kind, int32_t command, intptr_t, void* out) {
    if (kind == 0 && command == 34 && out) *static_cast<MV2Object**>(out) = g_held;
    return 1;
}

void Notify(MV2Object*, int32_t state) {
    g_states.push_back(state);
}

class UplinkTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        g_held = nullptr;
        g_states.clear();
        gMV2MissionToolCommandHook = Magnet;
        TpClump* model = TaggedType(183, sizeof(MV2UplinkData), {2, 3, 5})->model;
        uint32_t tag = 2; // the parts carry the tags of their frames
        for (TpAtomic* a = MV2GetNextAtomic(model, MV2FindRootAtomic(model)); a;
             a = MV2GetNextAtomic(model, a))
            MV2AtomicSetPartTag(a, tag++);
        const float p[3] = {2, -10, 2};
        socket_ = MV2CreateObject(183, p, nullptr);
        BodyType(52, 16);
        const float h[3] = {0, -10, 0};
        head_ = MV2CreateObject(52, h, nullptr);
    }
    void TearDown() override {
        gMV2MissionToolCommandHook = MV2SendToolCommand;
        DeviceTest::TearDown();
    }
    MV2UplinkData* Data() { return static_cast<MV2UplinkData*>(socket_->privateData); }
    MV2Object* socket_ = nullptr;
    MV2Object* head_ = nullptr;
};

} // namespace

TEST_F(UplinkTest, DockingSnapsTheHeadOnceAndReleaseCallsBack) {
    ASSERT_TRUE(socket_ && head_);
    MV2Object* sub = Player({0, -10, 5});
    MV2ObjectSendMessage(socket_, 12, 0, reinterpret_cast<intptr_t>(&Notify));
    MV2ObjectSendMessage(socket_, 19, 0, reinterpret_cast<intptr_t>(head_));
    EXPECT_EQ(Data()->docked, 1u);
    const TvV3d contact = TvFrameGetLTM(MV2FindFrameByTag(socket_->clump, 5))->pos;
    EXPECT_NEAR(head_->matrix->pos.x, contact.x, 1e-4f); // the contact frame
    EXPECT_NEAR(head_->matrix->pos.z, contact.z, 1e-4f);
    head_->matrix->pos = {0, 0, 0};
    MV2ObjectSendMessage(socket_, 14, 0, reinterpret_cast<intptr_t>(head_)); // ignored
    EXPECT_FLOAT_EQ(head_->matrix->pos.x, 0.0f);
    EXPECT_EQ(g_states, std::vector<int32_t>{1});
    MV2ObjectSendMessage(socket_, 14, 0, reinterpret_cast<intptr_t>(sub)); // not a head
    g_held = socket_;
    Update(socket_);
    EXPECT_EQ(Data()->docked, 1u);
    g_held = nullptr;
    Update(socket_);
    Update(socket_);
    EXPECT_EQ(g_states, (std::vector<int32_t>{1, 0}));
}

TEST_F(UplinkTest, RechargeStopsAtTheTypesEnergyAndTheSocketStaysPut) {
    MV2Object* sub = Player({0, -10, 5});
    sub->energy = MV2InitialEnergy(sub) - 0.7f;
    g_held = socket_;
    const TvV3d home = socket_->matrix->pos;
    socket_->matrix->pos = {9, 9, 9};
    Update(socket_);
    EXPECT_FLOAT_EQ(sub->energy, MV2InitialEnergy(sub) - 0.2f);
    Update(socket_);
    EXPECT_FLOAT_EQ(sub->energy, MV2InitialEnergy(sub));
    EXPECT_EQ(Data()->sound, 0u);
    EXPECT_FLOAT_EQ(socket_->matrix->pos.x, home.x);
    // Without a callback the touch snaps and switches but nothing is told.
    MV2ObjectSendMessage(socket_, 19, 0, reinterpret_cast<intptr_t>(head_));
    EXPECT_EQ(Data()->docked, 0u);
}
