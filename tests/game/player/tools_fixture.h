// Craft tool tests: the player's craft carrying tools, its tool list, frames of tool updates,
// tagged model parts and a count of live objects by type.
#pragma once

#include <initializer_list>

#include "game/objects/modeltags.h"
#include "tests/game/player_fixture.h"

class CraftToolTest : public PlayerTest {
protected:
    void SetUp() override {
        PlayerTest::SetUp();
        craft = SpawnPlayer();
        ASSERT_NE(craft, nullptr);
        craft->type->words[7] |= kMV2TypeNoSpin; // carries tools
        list = &Sub(craft)->tools;
    }
    void TearDown() override {
        MV2RemoveAllTools(list);
        gMV2Level.currentLevelId = 0;
        PlayerTest::TearDown();
    }
    // Tool updates until `ms` have passed, the clock moving on with them.
    void Run(int32_t ms) {
        for (int32_t t = 0; t < ms; t += 33) {
            MV2BroadcastToolCommand(Sub(craft), 2, 0, reinterpret_cast<intptr_t>(craft));
            gMV2FrameTimer.frameClock += 33;
        }
    }
    // Adds the tool, makes it current and lets its first cooldown run out.
    MV2Tool* Ready(int32_t kind) {
        if (!MV2AddTool(list, kind, craft)) return nullptr;
        list->currentKind = kind;
        MV2Tool* t = MV2FindTool(list, kind);
        if (t) t->cooldown = 0;
        return t;
    }
    // Hangs a child frame with an atomic of each part tag on the type's model.
    static void TagParts(MV2ObjectType* type, std::initializer_list<uint32_t> tags) {
        float x = 0.0f;
        for (uint32_t tag : tags) {
            TvFrame* frame = TvFrameCreate();
            x += 0.5f;
            TvFrameGetMatrix(frame)->pos = {x, 0.0f, 0.0f};
            TvFrameAddChild(type->model->frame, frame);
            MV2FrameSetTag(frame, tag);
            TpAtomic* atomic = TpAtomicCreate();
            TpAtomicSetGeometry(atomic, TpAtomicGetGeometry(MV2FindRootAtomic(type->model)), 0);
            TpAtomicSetFrame(atomic, frame);
            MV2AtomicSetPartTag(atomic, tag);
            TpClumpAddAtomic(type->model, atomic);
        }
    }
    // Whether the object a reference was taken of still lives.
    static bool Alive(MV2ObjectRef& ref) {
        return MV2GetObjectRef(&ref) != nullptr;
    }
    static MV2ObjectRef Ref(MV2Object* object) {
        MV2ObjectRef ref{};
        MV2SetObjectRef(&ref, object);
        return ref;
    }
    MV2Object* craft = nullptr;
    MV2ToolList* list = nullptr;
};
