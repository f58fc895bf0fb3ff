// Creature tests: the object fixture with a submarine table loaded, submarine types with
// bodies and private data, and helpers to run frames.
#pragma once

#include "engine/core/memory.h"
#include "game/creatures/pathnodes.h"
#include "game/objects/lighting.h"
#include "game/creatures/subai.h"
#include "game/creatures/submarines.h"
#include "game/objects/utilities.h"
#include "shell/gameinit.h"
#include "tests/game/objects/object_fixture.h"
#include "tests/support/subs_writer.h"

// Creature models find their parts by frame tag.
inline bool AttachCreaturePlugins() {
    return AttachObjectPlugins() && TpFrameTagPluginAttach() != 0;
}

class CreatureTest : public ObjectTestWith<AttachCreaturePlugins> {
protected:
    void SetUp() override {
        ObjectTestWith<AttachCreaturePlugins>::SetUp();
        gMV2GameType = 2;
        gMV2FrameTimer.frameClock = 1000;
        TvRandomSeed(1);
        SubRecordSpec scout;
        scout.name = "SCOUT";
        scout.maxSpeed = 0.1f;
        scout.acceleration = 0.02f;
        scout.minThrust = -0.05f;
        scout.maxPitchRate = 0.02f;
        scout.turnLimit = 30.0f;
        scout.soundName = "GP1ENGINE";
        scout.partCount = 1;
        scout.parts = {{0.1f, 0, 2 | 128}}; // a propeller pushing along the forward row
        const std::vector<uint8_t> bytes = SubsFileBytes(1, {scout});
        ASSERT_EQ(MV2ParseSubDefinitions(bytes.data(), bytes.size()), 1);
        MV2RegisterSubmarineHandlers();
    }
    void TearDown() override {
        MV2DestroyAllObjects();
        for (TvFreeList* list : lists_)
            TvFreeListDestroy(list);
        for (int32_t t = 0; t < kMV2ObjectTypes; t++)
            MV2GetObjectType(t)->privateData = nullptr;
        MV2DestroyPathNodeGraph();
        MV2FreeSubDefinitions();
        gMV2GameType = 0;
        ObjectTestWith<AttachCreaturePlugins>::TearDown();
    }

    // A type with a body in water (drag medium 8) and private data of `size` bytes.
    MV2ObjectType* BodyType(int32_t t, size_t size, float radius = 1.0f) {
        MV2ObjectType* type = ModelType(t, radius);
        type->words[31] = (1u << 28) | (8u << 14) | 8u;
        MV2SetTypeFloat(type, 2, 1.0f);
        MV2SetTypeFloat(type, 3, 1.0f);
        type->privateData = TvFreeListCreate(size, 4);
        lists_.push_back(type->privateData);
        type->privateDataSize = uint32_t(size);
        return type;
    }

    MV2Object* MakeSub(int32_t t = 0, TvV3d at = {0.0f, -10.0f, 0.0f}) {
        MV2ObjectType* type = BodyType(t, sizeof(MV2SubData));
        type->subDefinition = MV2FindSubDefinition("SCOUT");
        const float position[3] = {at.x, at.y, at.z};
        return MV2CreateObject(t, position, nullptr);
    }

    static MV2SubData* Sub(MV2Object* o) {
        return static_cast<MV2SubData*>(o->privateData);
    }

    // One frame of a craft: its update, then the gravity and motion of the object update.
    static void Frame(MV2Object* o) {
        MV2ObjectSendMessage(o, 2, 0, 0);
        MV2ApplyGravity(o);
        MV2IntegrateMotion(o);
        MV2IntegrateRotation(o);
        gMV2FrameTimer.frameClock += 33;
    }

    // A model of a root atomic and, for each tag, a child frame carrying an atomic with it.
    MV2ObjectType* TaggedType(int32_t t, size_t size, std::initializer_list<uint32_t> tags,
                              float radius = 1.0f) {
        MV2ObjectType* type = BodyType(t, size, radius);
        TpClump* clump = type->model;
        float x = 0.0f;
        for (uint32_t tag : tags) {
            TvFrame* frame = TvFrameCreate();
            TvMatrix* m = TvFrameGetMatrix(frame);
            x += 0.25f;
            m->pos = {x, 0.0f, 0.0f};
            TvFrameAddChild(clump->frame, frame);
            MV2FrameSetTag(frame, tag);
            TpAtomic* atomic = TpAtomicCreate();
            TpAtomicSetGeometry(atomic, TpAtomicGetGeometry(MV2FindRootAtomic(clump)), 0);
            TpAtomicSetFrame(atomic, frame);
            TpClumpAddAtomic(clump, atomic);
        }
        return type;
    }

    std::vector<TvFreeList*> lists_;
};
