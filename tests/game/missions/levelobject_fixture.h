// Level-object tests: the object fixture with the mission layer's handlers registered, types
// with bodies, private data and tagged parts, a main camera at the origin for the sounds, and a
// recording sound layer.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "game/creatures/creaturemath.h"
#include "game/missions/levelobjects.h"
#include "game/objects/camera.h"
#include "game/objects/clumpdata.h"
#include "game/objects/objectsounds.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"
#include "game/player/playercraft.h"
#include "game/player/tools.h"
#include "shell/gamemain.h"
#include "shell/sounds.h"
#include "tests/game/objects/object_fixture.h"

struct LevelSounds {
    static inline std::vector<int32_t> played; // one-shots and loop starts, by sound id
    static int32_t Play(int32_t slot, int32_t, int32_t) {
        played.push_back(slot);
        return int32_t(played.size());
    }
    static void Stop(int32_t, int32_t) {}
    static int32_t Playing(int32_t, int32_t) { return 1; }
    static void Attach(int32_t, int32_t, const TvV3d*) {}
    static void LowPass(int32_t, int32_t, int32_t) {}
    static void Place(int32_t, int32_t, const TvV3d*, const TvV3d*, uint32_t, float) {}
    static int32_t Slot(int32_t sound) { return sound; }
    static int32_t Count(const char* name) {
        return int32_t(std::count(played.begin(), played.end(), MV2FindSoundByName(name)));
    }
};

class LevelObjectTest : public ObjectTest {
protected:
    void SetUp() override {
        ObjectTest::SetUp();
        MV2RegisterMissionObjectHandlers();
        saved_ = gMV2ObjectSoundCalls;
        gMV2ObjectSoundCalls = {LevelSounds::Play,    LevelSounds::Stop,  LevelSounds::Playing,
                                LevelSounds::Attach,  LevelSounds::LowPass, LevelSounds::Place,
                                LevelSounds::Slot};
        LevelSounds::played.clear();
        camera_ = TvCameraCreate();
        cameraFrame_ = TvFrameCreate();
        TvCameraSetFrame(camera_, cameraFrame_);
        TvFrameSyncDirty();
        gMV2MainCamera = camera_;
        gMV2FrameTimer.frameClock = 1000;
        gMV2FrameTimer.ticks = 1.0f;
        gMV2Water.height = 100.0f;
        MV2World = TpWorldGetCurrent();
        TvRandomSeed(1);
    }
    void TearDown() override {
        MV2SetPlayerObject(nullptr);
        MV2SetPlayerSub(nullptr);
        MV2DestroyAllObjects();
        MV2StopAllObjectSounds();
        // The tool rows the mission layer fills, left as a program has them before start-up.
        MV2SetToolRowHandler(10, nullptr);
        MV2SetToolRowHandler(13, nullptr);
        gMV2MainCamera = nullptr;
        TvCameraSetFrame(camera_, nullptr);
        TvFrameDestroy(cameraFrame_);
        gMV2ObjectSoundCalls = saved_;
        for (TvFreeList* list : lists_)
            TvFreeListDestroy(list);
        for (int32_t t = 0; t < kMV2ObjectTypes; t++)
            MV2GetObjectType(t)->privateData = nullptr;
        gMV2Water.height = 0.0f;
        MV2World = nullptr;
        ObjectTest::TearDown();
    }

    // A type with a body in water, private data of `size` bytes and, for each tag, a child
    // frame one unit further along x carrying an atomic.
    // With `body` the default update moves it under gravity; it can die when its energy runs
    // out.
    MV2ObjectType* LevelType(int32_t t, size_t size, std::initializer_list<uint32_t> tags = {},
                             float radius = 1.0f, bool body = false) {
        MV2ObjectType* type = ModelType(t, radius);
        type->words[31] = (body ? 1u << 28 : 0u) | (8u << 14) | 8u;
        type->words[7] |= kMV2TypeCanDie;
        MV2SetTypeFloat(type, 2, 1.0f);
        MV2SetTypeFloat(type, 3, 1.0f);
        if (size) {
            type->privateData = TvFreeListCreate(int32_t(size), 4);
            lists_.push_back(type->privateData);
        }
        type->privateDataSize = uint32_t(size);
        float x = 0.0f;
        for (uint32_t tag : tags) {
            TvFrame* frame = TvFrameCreate();
            x += 1.0f;
            TvFrameGetMatrix(frame)->pos = {x, 0.0f, 0.0f};
            TvFrameAddChild(type->model->frame, frame);
            MV2FrameSetTag(frame, tag);
            TpAtomic* atomic = TpAtomicCreate();
            TpAtomicSetGeometry(atomic, TpAtomicGetGeometry(MV2FindRootAtomic(type->model)), 0);
            TpAtomicSetFrame(atomic, frame);
            MV2AtomicSetPartTag(atomic, tag);
            TpClumpAddAtomic(type->model, atomic);
        }
        return type;
    }

    // Replaces the root geometry with one of `count` vertices spread on a unit circle.
    static void GiveVertices(MV2ObjectType* type, int32_t count) {
        TpAtomic* root = MV2FindRootAtomic(type->model);
        TpGeometry* geometry = TpGeometryCreate(count, 1, 0);
        TvV3d* v = TpMorphTargetGetVertices(TpGeometryGetMorphTarget(geometry, 0));
        for (int32_t i = 0; i < count; i++)
            v[i] = {std::cos(float(i)), 0.0f, std::sin(float(i))};
        const TvSphere sphere{{0, 0, 0}, 1.0f};
        TpMorphTargetSetBoundingSphere(TpGeometryGetMorphTarget(geometry, 0), &sphere);
        TpAtomicSetGeometry(root, geometry, 0);
        TpGeometryDestroy(geometry);
    }

    MV2Object* Make(int32_t t, TvV3d at = {0, 0, 0}) {
        const float p[3] = {at.x, at.y, at.z};
        return MV2CreateObject(t, p, nullptr);
    }

    static void Step(MV2Object* o, uint32_t ms = 33) {
        MV2ObjectSendMessage(o, 2, 0, 0);
        gMV2FrameTimer.frameClock += ms;
    }

    // The live objects of a type in the current world.
    static std::vector<MV2Object*> OfType(int32_t type) {
        struct Search {
            int32_t type;
            std::vector<MV2Object*> found;
        } search{type, {}};
        TpWorldForAllClumps(
            TpWorldGetCurrent(),
            [](TpClump* c, void* d) -> TpClump* {
                auto* s = static_cast<Search*>(d);
                MV2Object* o = MV2GetClumpObject(c);
                if (o && MV2ObjectHandleAlive(o->handle) && MV2TypeOf(o) == s->type)
                    s->found.push_back(o);
                return c;
            },
            &search);
        return search.found;
    }
    static int32_t CountType(int32_t type) { return int32_t(OfType(type).size()); }

    static TvV3d Pos(MV2Object* o) { return o->matrix->pos; }

    MV2ObjectSoundCalls saved_{};
    TvCamera* camera_ = nullptr;
    TvFrame* cameraFrame_ = nullptr;
    std::vector<TvFreeList*> lists_;
};
