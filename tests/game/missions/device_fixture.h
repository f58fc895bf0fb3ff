// Level-device tests: the creature fixture with a player craft under control, the game type of
// a campaign and recorders for mission messages, game events and sounds.
#pragma once

#include <vector>

#include "game/missions/leveldevices.h"
#include "game/missions/missionflow.h"
#include "game/objects/levels.h"
#include "game/player/playercraft.h"
#include "tests/game/creatures/creature_fixture.h"

inline std::vector<std::pair<int32_t, intptr_t>> gDeviceOutcomes;

class DeviceTest : public CreatureTest {
protected:
    void SetUp() override {
        CreatureTest::SetUp();
        gDeviceOutcomes.clear();
        gMV2MissionOutcomeHook = [](int32_t outcome, intptr_t value) {
            gDeviceOutcomes.push_back({outcome, value});
        };
        MV2ClearGameEvents();
        MV2RegisterLevelDeviceHandlers();
        // A world from -30 to 30 (50 up) whose sectors hold the objects for sphere queries.
        world_ = MakeLeafWorld({{29, 29, 29}, {29, 29, 28}, {28, 29, 29}}, {{0, 0, 1, 2}});
        TV_ENGINE->worldLibrary = world_;
    }
    void TearDown() override {
        gMV2MissionOutcomeHook = nullptr;
        MV2SetPlayerObject(nullptr);
        MV2SetPlayerSub(nullptr);
        MV2DestroyAllObjects();
        TV_ENGINE->worldLibrary = grid_.world;
        if (world_) TpWorldDestroy(world_);
        CreatureTest::TearDown();
    }

    // A craft of type `t` under the player's control, its own sub when `own` is set.
    MV2Object* Player(TvV3d at, int32_t t = 1, bool own = true) {
        MV2Object* craft = MakeSub(t, at);
        if (!craft) return nullptr;
        MV2SetPlayerObject(craft);
        if (own) MV2SetPlayerSub(craft);
        craft->overrideHandler = MV2PlayerHandler;
        return craft;
    }

    // An object of a registered device type with `size` bytes of private data.
    MV2Object* Device(int32_t t, size_t size, TvV3d at = {0, 0, 0}) {
        if (!MV2GetObjectType(t)->privateData) BodyType(t, size);
        const float p[3] = {at.x, at.y, at.z};
        return MV2CreateObject(t, p, nullptr);
    }

    static int32_t Count(int32_t outcome, intptr_t value) {
        int32_t n = 0;
        for (const auto& o : gDeviceOutcomes)
            n += o.first == outcome && o.second == value;
        return n;
    }
    static void Update(MV2Object* o) {
        TvFrameSyncDirty(); // moved objects' sector ties
        MV2ObjectSendMessage(o, 2, 0, 0);
    }
    TpWorld* world_ = nullptr;
    static void Set(MV2Object* o, int32_t message, intptr_t p1, float value) {
        MV2ObjectSendMessage(o, message, p1, reinterpret_cast<intptr_t>(&value));
    }
};

inline uint8_t AtomicFlags(const TpAtomic* atomic) {
    return atomic ? atomic->object.object.flags : 0xFF;
}
