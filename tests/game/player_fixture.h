// Player tests: the object fixture with a submarine table, the player's handlers, craft and
// shot types with bodies and private data, a manual clock, injected control actions and a
// recorder of the player's sounds.
#pragma once

#include <algorithm>
#include <vector>

#include "engine/core/memory.h"
#include "game/creatures/submarines.h"
#include "game/objects/levels.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"
#include "game/player/player.h"
#include "game/player/shots.h"
#include "shell/controls.h"
#include "shell/gameinit.h"
#include "shell/gamestate.h"
#include "shell/sounds.h"
#include "tests/game/objects/object_fixture.h"
#include "tests/support/subs_writer.h"

inline std::vector<int32_t> gPlayerSounds;

class PlayerTest : public ObjectTest {
protected:
    void SetUp() override {
        ObjectTest::SetUp();
        // One leaf from 0 to 100 on each axis (the world keeps objects at positive places only)
        // with a floor 25 units below the water surface at 50.
        LeafRecord leaf;
        leaf.vertices = {{0, 25, 0}, {100, 25, 0}, {100, 25, 100}, {0, 25, 100}};
        leaf.triangles = {{0, 2, 1, 0}, {0, 3, 2, 0}};
        leaf.collisionTree = SingleNodeTree(2);
        leaf.box = std::array<float, 6>{0, 0, 0, 100, 100, 100};
        WorldRecord w;
        w.root = LeafNode(leaf);
        world_ = ReadWorldChunk(WorldBytes(w));
        ASSERT_NE(world_, nullptr);
        TV_ENGINE->worldLibrary = world_;
        MV2SetWaterHeight(50.0f);
        gMV2GameType = 2;
        gMV2GameState.current = 0;
        gMV2FrameTimer.frameClock = 1000;
        gMV2FrameTimer.ticks = 1.0f;
        gMV2FrameTimer.milliseconds = 33;
        TvRandomSeed(1);
        SubRecordSpec gunship;
        gunship.name = "GUNSHIP";
        gunship.maxSpeed = 0.1f;
        gunship.acceleration = 0.02f;
        for (int32_t& a : gunship.ammunition)
            a = -1;
        gunship.ammunition[9] = 1;  // one shotgun shell
        gunship.ammunition[10] = 50;
        gunship.ammunition[26] = 6;
        const std::vector<uint8_t> bytes = SubsFileBytes(1, {gunship});
        ASSERT_EQ(MV2ParseSubDefinitions(bytes.data(), bytes.size()), 1);
        MV2RegisterSubmarineHandlers();
        MV2RegisterPlayerHandlers();
        MV2SetObjectTypeHandler(331, MV2ObjectDefaultHandler); // the muzzle flash
        MV2InitialiseWeaponSystem();
        MV2InitialiseCommandSystem();
        MV2ResetTargetIndicator();
        MV2ClearAwardCounters();
        MV2SetEquipmentLevel(0);
        MV2SelectSub(-1); // the default choices
        MV2SelectSub(0);  // record 0, without a craft to change
        ClearActions();
        gPlayerSounds.clear();
        MV2SetShotSoundRecorder([](int32_t sound) { gPlayerSounds.push_back(sound); });
        gMV2Level.startPosition = P(0.0f, -10.0f, 0.0f);
        gMV2Level.mineralLandscape = 0;
        ModelType(331, 0.1f);
    }
    void TearDown() override {
        MV2DestroyAllObjects();
        MV2SetPlayerObject(nullptr);
        MV2SetPlayerSub(nullptr);
        MV2SetTargetedObject(nullptr);
        MV2SetSelectedObject(nullptr);
        MV2SetShotSoundRecorder(nullptr);
        ClearActions();
        for (TvFreeList* list : lists_)
            TvFreeListDestroy(list);
        for (int32_t t = 0; t < kMV2ObjectTypes; t++)
            MV2GetObjectType(t)->privateData = nullptr;
        MV2FreeSubDefinitions();
        gMV2GameType = 0;
        TV_ENGINE->worldLibrary = grid_.world;
        TpWorldDestroy(world_);
        ObjectTest::TearDown();
    }

    // A place relative to the middle of the world at the water surface.
    static TvV3d P(float x, float y, float z) {
        return {50.0f + x, 50.0f + y, 50.0f + z};
    }

    static void ClearActions() {
        for (MV2Action& a : gMV2Controls.actions)
            a = {};
    }
    static void Press(int32_t action, float value = 1.0f) {
        gMV2Controls.actions[action] = {1, 0, value};
    }
    static void Release(int32_t action) {
        gMV2Controls.actions[action] = {};
    }

    // A type with a body in water (drag medium 8) and private data of `size` bytes.
    MV2ObjectType* BodyType(int32_t t, size_t size, float radius = 1.0f) {
        MV2ObjectType* type = ModelType(t, radius);
        MV2SetAllAtomicFlags(type->model, kTpAtomicCollisionTest | kTpAtomicRender);
        type->words[7] |= kMV2TypeCanDie;
        type->words[31] = (1u << 28) | (8u << 14) | 8u;
        MV2SetTypeFloat(type, 2, 1.0f);
        MV2SetTypeFloat(type, 3, 1.0f);
        if (size) {
            type->privateData = TvFreeListCreate(size, 4);
            lists_.push_back(type->privateData);
            type->privateDataSize = uint32_t(size);
        }
        return type;
    }

    // A craft type served by the submarine handler, armed from the GUNSHIP record.
    MV2ObjectType* CraftType(int32_t t, float radius = 1.0f) {
        MV2ObjectType* type = BodyType(t, sizeof(MV2SubData), radius);
        type->subDefinition = MV2FindSubDefinition("GUNSHIP");
        return type;
    }

    MV2Object* Make(int32_t t, TvV3d at) {
        const float position[3] = {at.x, at.y, at.z};
        MV2Object* object = MV2CreateObject(t, position, nullptr);
        TvFrameSyncDirty(); // world bounding spheres for the queries
        return object;
    }

    // The player's craft of type 0 made by the spawn at the start point, with no load-out.
    MV2Object* SpawnPlayer() {
        CraftType(0);
        if (!MV2SpawnPlayer()) return nullptr;
        MV2Object* craft = MV2GetPlayerObject();
        MV2RemoveAllWeapons(&Sub(craft)->weapons);
        MV2RemoveAllTools(&Sub(craft)->tools);
        return craft;
    }

    static MV2SubData* Sub(MV2Object* o) {
        return static_cast<MV2SubData*>(o->privateData);
    }

    // One game frame of an object: its update, then the clock moves on 33 ms.
    static void Frame(MV2Object* o, int32_t ms = 33) {
        if (o) MV2ObjectSendMessage(o, 2, 0, 0);
        gMV2FrameTimer.frameClock += uint32_t(ms);
    }

    static int32_t Heard(const char* name) {
        const int32_t id = MV2FindSoundByName(name);
        return int32_t(std::count(gPlayerSounds.begin(), gPlayerSounds.end(), id));
    }

    std::vector<TvFreeList*> lists_;
    TpWorld* world_ = nullptr;
};
