// Boss tests: the creature fixture with a data folder for the bosses' model folders, puppet boss
// types whose puppets are fakes with named nodes, a player's craft and frames run through the
// frame timer's fields.
#pragma once

#include <string>
#include <vector>

#include "game/creatures/creaturemath.h"
#include "game/objects/puppets.h"
#include "game/player/playercraft.h"
#include "tests/game/creatures/creature_fixture.h"
#include "tests/support/data_folder.h"
#include "tests/support/fake_puppet.h"

class BossTest : public CreatureTest {
protected:
    void SetUp() override {
        CreatureTest::SetUp();
        gMV2FrameTimer.ticks = 1.0f;
        gMV2FrameTimer.seconds = 1.0f / 30.0f;
    }
    void TearDown() override {
        MV2SetPlayerObject(nullptr);
        CreatureTest::TearDown();
    }
    // A model type whose folder ".\clump\<folder>\" holds a fake puppet with these nodes.
    MV2ObjectType* PuppetType(int32_t t, const std::string& folder,
                              const std::vector<FakePuppetNode>& nodes) {
        MV2ObjectType* type = ModelType(t, 2.0f);
        WriteFakePuppet(data_, folder, type->model, nodes);
        return type;
    }
    MV2Object* Create(int32_t t, TvV3d at = {}) {
        const float p[3] = {at.x, at.y, at.z};
        return MV2CreateObject(t, p, nullptr);
    }
    MV2Object* Player(TvV3d at) {
        MV2Object* sub = MakeSub(0, at);
        MV2SetPlayerObject(sub);
        return sub;
    }
    // One frame of `ms` milliseconds: the frame clock moves on, then the object updates.
    static void Step(MV2Object* object, uint32_t ms = 33) {
        gMV2FrameTimer.frameClock += ms;
        gMV2FrameTimer.ticks = float(ms) * 30.0f / 1000.0f;
        gMV2FrameTimer.seconds = gMV2FrameTimer.ticks / 30.0f;
        MV2ObjectSendMessage(object, 2, 0, 0);
    }
    static uint32_t NodeId(MV2Object* boss, const char* name) {
        MV2PuppetNodeInstance* n =
            MV2PuppetFindNode(static_cast<MV2PuppetInstance*>(boss->privateData), name);
        return n ? n->node->id : 0;
    }
    DataFolder data_;
};
