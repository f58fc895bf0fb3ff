// Effect tests: the object fixture with recorded texture reads, a recording immediate-mode
// device, a camera at the origin looking along +z that is the main and the effect camera, the
// far clip at 30, a manual game clock and frame counter, and a flat floor world at y = 10 from 0 to 30 in x and z (the engine's box queries take no
// negative coordinates); the camera stands 5 above it at Rel(0, 0, 0).
#pragma once

#include <array>
#include <vector>

#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "game/effects/effectbase.h"
#include "game/effects/effects.h"
#include "game/objects/camera.h"
#include "game/objects/objectupdate.h"
#include "game/objects/sky.h"
#include "game/objects/water.h"
#include "game/player/player.h"
#include "shell/gameinit.h"
#include "shell/gamemain.h"
#include "shell/gamestate.h"
#include "shell/render.h"
#include "tests/game/objects/world_fixture.h"
#include "tests/support/im3d_recorder.h"

class EffectsTest : public WorldModuleTest {
protected:
    void SetUp() override {
        WorldModuleTest::SetUp();
        recorder_.Install();
        camera_ = TvCameraCreate();
        frame_ = TvFrameCreate();
        TvCameraSetFrame(camera_, frame_);
        TV_ENGINE->curCamera = camera_;
        savedMain_ = gMV2MainCamera;
        gMV2MainCamera = camera_;
        gMV2EffectCamera = camera_;
        savedFar_ = gMV2FarClip;
        gMV2FarClip.distance = 30.0f;
        gMV2FarClip.inverse = 1.0f / 30.0f;
        PlaceCamera(Rel(0, 0, 0));
        gMV2DayClock.gameClock = 100000;
        gMV2FrameTimer.updateCounter = 100;
        gMV2FrameTimer.ticks = 1.0f;
        gMV2Render.brightness = 1.0f;
        MV2SetWaterHeight(100.0f);
        floor_ = MakeLeafWorld({{0, 10, 0}, {0, 10, 30}, {30, 10, 0}, {30, 10, 30}},
                               {{0, 0, 1, 2}, {0, 2, 1, 3}});
        savedWorld_ = MV2World;
        MV2World = floor_;
        TV_ENGINE->worldLibrary = floor_;
        MV2InitialiseEffectPrimitives();
        gMV2CoronaTexture = MV2ReadEffectTexture("CORONA", "CORONAM");
        gMV2BloodTexture = MV2ReadEffectTexture("BLOOD", "BLOODM");
        MV2InViewUpdateFlag = 1;
    }
    void TearDown() override {
        MV2DestroyAllObjects();
        for (MV2ObjectType* type : lists_) {
            TvFreeListDestroy(type->privateData);
            type->privateData = nullptr;
        }
        MV2InViewUpdateFlag = 0;
        MV2DestroyEffectTexture(gMV2CoronaTexture);
        MV2DestroyEffectTexture(gMV2BloodTexture);
        MV2ShutdownEffectHooks();
        MV2SetPlayerObject(nullptr);
        MV2World = savedWorld_;
        TV_ENGINE->worldLibrary = grid_.world;
        if (floor_) TpWorldDestroy(floor_);
        gMV2FarClip = savedFar_;
        gMV2MainCamera = savedMain_;
        gMV2EffectCamera = nullptr;
        TV_ENGINE->curCamera = nullptr;
        TvCameraSetFrame(camera_, nullptr); // the engine frees the camera when it closes
        TvFrameDestroy(frame_);
        recorder_.Remove();
        gMV2VisibleList.counter = 0;
        gMV2GameType = 0;
        MV2SetCameraMode(0);
        WorldModuleTest::TearDown();
    }

    // A point relative to the camera's home (15, 15, 0).
    static TvV3d Rel(float x, float y, float z) { return {15.0f + x, 15.0f + y, z}; }
    // Puts the camera at `position` looking along +z with y up, its right = up x at as the
    // game's cameras have it.
    void PlaceCamera(TvV3d position) {
        TvMatrix* m = TvFrameGetMatrix(frame_);
        m->right = {1, 0, 0};
        m->up = {0, 1, 0};
        m->at = {0, 0, 1};
        m->pos = position;
        m->flags = kTvMatrixOrthoNormal;
        TvFrameUpdateObjects(frame_);
    }
    void SeeObject(MV2Object* object) {
        MV2VisibleList& v = gMV2VisibleList;
        v.entries[v.counter % kMV2VisibleObjects] = {object, object->handle};
        v.counter = v.counter % kMV2VisibleObjects + 1;
    }
    // A type with a model of the radius, the handler and private data of the size.
    MV2ObjectType* HandledType(int32_t t, MV2ObjectHandler handler, size_t size = 0,
                               float radius = 0.5f) {
        MV2ObjectType* type = ModelType(t, radius);
        MV2SetObjectTypeHandler(t, handler);
        if (size) {
            type->privateData = TvFreeListCreate(size, 4);
            type->privateDataSize = uint32_t(size);
            lists_.push_back(type);
        }
        return type;
    }
    MV2Object* Make(int32_t t, TvV3d at) {
        const float p[3] = {at.x, at.y, at.z};
        MV2Object* object = MV2CreateObject(t, p, nullptr);
        TvFrameSyncDirty(); // the world ties of its atomics
        return object;
    }
    void NextFrame(uint32_t ms = 33) {
        gMV2FrameTimer.updateCounter++;
        gMV2DayClock.gameClock += ms;
    }

    Im3DRecorder recorder_;
    TvCamera* camera_ = nullptr;
    TvFrame* frame_ = nullptr;
    TvCamera* savedMain_ = nullptr;
    TpWorld* floor_ = nullptr;
    TpWorld* savedWorld_ = nullptr;
    MV2FarClip savedFar_ = {};
    std::vector<MV2ObjectType*> lists_;
};
