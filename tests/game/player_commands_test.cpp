// Control hand-over, commands to the selected craft, and target groups with their sockets and
// indicator.
#include "tests/game/player_fixture.h"

#include <cmath>

#include "game/creatures/subai.h"
#include "tests/support/mesh_clump.h"

namespace {

// A craft that refuses to be taken over.
intptr_t Refusing(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 62) return 0;
    return MV2SubmarineHandler(object, message, p1, p2);
}

} // namespace

TEST_F(PlayerTest, TakeOverIsRefusedOrHandsTheBrainsAround) {
    MV2Object* player = SpawnPlayer();
    ASSERT_NE(player, nullptr);
    MV2ObjectType* type = CraftType(67);
    MV2SetObjectTypeHandler(67, Refusing);
    MV2Object* stubborn = Make(67, P(5, -10, 0));
    ASSERT_NE(stubborn, nullptr);
    EXPECT_EQ(MV2TakeControlOfCraft(stubborn), 0);
    EXPECT_EQ(MV2GetPlayerObject(), player);
    EXPECT_EQ(player->overrideHandler, &MV2PlayerHandler);

    MV2SetObjectTypeHandler(67, MV2SubmarineHandler);
    type->words[7] |= 1u << 4; // may be taken over (command 31)
    MV2Object* friendly = Make(67, P(-5, -10, 0));
    ASSERT_NE(friendly, nullptr);
    MV2ObjectSendMessage(friendly, 29, 0, reinterpret_cast<intptr_t>(&MV2SubAIBrain));
    ASSERT_EQ(friendly->overrideHandler, &MV2SubAIBrain);
    MV2SetSelectedObject(friendly);
    MV2ExecuteCommand(31);
    EXPECT_EQ(MV2GetPlayerObject(), friendly);
    EXPECT_EQ(MV2GetPlayerSub(), player);
    EXPECT_EQ(friendly->overrideHandler, &MV2PlayerHandler);
    EXPECT_EQ(player->overrideHandler, nullptr);
    EXPECT_EQ(MV2GetSelectedObject(), nullptr);

    // Handing back: the craft runs its own brain again.
    EXPECT_EQ(MV2TakeControlOfCraft(player), 1);
    EXPECT_EQ(MV2GetPlayerObject(), player);
    EXPECT_EQ(player->overrideHandler, &MV2PlayerHandler);
    EXPECT_EQ(friendly->overrideHandler, &MV2SubAIBrain);
}

TEST_F(PlayerTest, CommandsNeedASelectedCraftAndTheTakeOverFlag) {
    MV2Object* player = SpawnPlayer();
    ASSERT_NE(player, nullptr);
    CraftType(67);
    MV2Object* other = Make(67, P(5, -10, 0));
    ASSERT_NE(other, nullptr);
    MV2ExecuteCommand(35); // nothing selected: nothing happens
    EXPECT_EQ(MV2GetOrderArmed(), 0u);
    MV2SetSelectedObject(other);
    MV2ExecuteCommand(31); // the type lacks flag bit 4
    EXPECT_EQ(MV2GetPlayerObject(), player);
    EXPECT_EQ(MV2GetSelectedObject(), other);
    MV2ExecuteCommand(35);
    EXPECT_EQ(MV2GetOrderArmed(), 1u);
    MV2ExecuteCommand(42);
    EXPECT_EQ(MV2GetOrderHold(), 1u);
    MV2ExecuteCommand(36);
    EXPECT_EQ(MV2GetOrderArmed(), 0u);
    EXPECT_EQ(MV2GetOrderHold(), 0u);
    MV2ExecuteCommand(51);
    EXPECT_EQ(MV2GetCommandSite(), 2);
    EXPECT_EQ(MV2GetPendingCommand(), 0) << "a completed command clears";
}

TEST_F(PlayerTest, TargetSlotsClearWhenTheirObjectDies) {
    CraftType(67);
    MV2Object* a = Make(67, P(5, -10, 0));
    MV2SetTargetedObject(a);
    MV2SetSelectedObject(a);
    EXPECT_EQ(MV2GetTargetedObject(), a);
    MV2ObjectSendMessage(a, 4, 1, 0);
    EXPECT_EQ(MV2GetTargetedObject(), nullptr);
    EXPECT_EQ(MV2GetSelectedObject(), nullptr);
}

class TargetGroupTest : public PlayerTest {
protected:
    void SetUp() override {
        PlayerTest::SetUp();
        // The group's model: a box of half-size 1 whose faces point out.
        MV2ObjectType* group = BodyType(100, sizeof(MV2TargetGroup), 2.0f);
        TpClumpDestroy(group->model);
        MeshPart box;
        for (int32_t i = 0; i < 8; ++i)
            box.vertices.push_back({i & 1 ? 1.0f : -1.0f, i & 2 ? 1.0f : -1.0f, i & 4 ? 1.0f : -1.0f});
        const uint16_t faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                      {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
        for (const auto& f : faces) {
            box.triangles.push_back({f[0], f[1], f[2]});
            box.triangles.push_back({f[0], f[2], f[3]});
        }
        group->model = MakeMeshClump({box});
        MV2SetAllAtomicFlags(group->model, kTpAtomicCollisionTest | kTpAtomicRender);
        BodyType(395, sizeof(MV2TargetSocket), 0.2f);
        for (int32_t t : {6, 7}) { // the burst's pieces
            BodyType(t, 0, 0.2f);
            MV2SetObjectTypeHandler(t, MV2ObjectDefaultHandler);
        }
    }
    MV2Object* Group(TvV3d at) {
        MV2Object* g = Make(100, at);
        if (!g) return nullptr;
        Frame(g, 0); // the first update: no script id, stays disabled until message 12
        MV2ObjectSendMessage(g, 12, 1, 0);
        return g;
    }
    MV2Object* Socket(MV2Object* group, TvV3d at) {
        MV2Object* s = Make(395, at);
        MV2ObjectSendMessage(s, 15, 0, reinterpret_cast<intptr_t>(group));
        MV2ObjectSendMessage(group, 33, 0, reinterpret_cast<intptr_t>(s));
        return s;
    }
};

TEST_F(TargetGroupTest, SocketsOccupyTriggerAndBurstTheGroup) {
    MV2Object* group = Group(P(0, -10, 0));
    ASSERT_NE(group, nullptr);
    MV2Object* s1 = Socket(group, P(0, -10, 3));
    MV2Object* s2 = Socket(group, P(3, -10, 0));
    ASSERT_NE(s2, nullptr);
    // The socket sits on the group's surface, facing out of it.
    EXPECT_NEAR(s1->matrix->pos.z - group->matrix->pos.z, 1.0f, 1e-4);
    EXPECT_NEAR(std::fabs(s1->matrix->at.z), 1.0f, 1e-4);
    BodyType(60, 0, 0.1f);
    MV2SetObjectTypeHandler(60, MV2ObjectDefaultHandler);
    MV2Object* charge1 = Make(60, s1->matrix->pos);
    MV2Object* charge2 = Make(60, s2->matrix->pos);
    MV2Object* away = Make(60, P(20, -10, 0));
    EXPECT_EQ(MV2ObjectSendMessage(s1, 90, 0, reinterpret_cast<intptr_t>(away)), 0);
    MV2ObjectSendMessage(group, 90, 0, reinterpret_cast<intptr_t>(charge1));
    MV2ObjectSendMessage(group, 90, 0, reinterpret_cast<intptr_t>(charge2));
    Frame(group, 0);
    EXPECT_EQ(static_cast<MV2TargetGroup*>(group->privateData)->allOccupied, 1u);
    const MV2ObjectHandle handle = group->handle;
    const MV2ObjectHandle socketHandle = s1->handle;
    MV2ObjectSendMessage(group, 91, 0, reinterpret_cast<intptr_t>(charge1));
    Frame(group, 0);
    EXPECT_TRUE(MV2ObjectHandleAlive(handle)) << "one socket is still only occupied";
    MV2ObjectSendMessage(group, 91, 0, reinterpret_cast<intptr_t>(charge2));
    Frame(group, 0);
    EXPECT_FALSE(MV2ObjectHandleAlive(handle)) << "every live socket triggered: it bursts";
    EXPECT_FALSE(MV2ObjectHandleAlive(socketHandle)) << "its sockets go with it";
}
