// Object tests: an engine with the world library, the random generator and the clump-to-object
// plug-in, an empty current world, and helpers that fill type records.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/core/engine.h"
#include "engine/core/frame.h"
#include "engine/world/anim.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "engine/world/random.h"
#include "engine/world/world.h"
#include "game/objects/budgets.h"
#include "game/objects/clumpdata.h"
#include "game/objects/dynamics.h"
#include "game/objects/lighting.h"
#include "game/objects/modeltags.h"
#include "game/objects/objects.h"
#include "shell/frametimer.h"
#include "game/objects/objecttypes.h"
#include "platform/win32/win32.h"
#include "tests/support/world_grid.h"
#include "tests/support/world_stream_writer.h"
#include "tests/support/world_writer.h"

// Frames carry their model tags: the tag plug-in is attached here, not left to whichever test
// of the process attached it first.
inline bool AttachObjectPlugins() {
    return TvRandomPluginAttach() == 1 && TpAnimPluginAttach() == 1 &&
           TpAtomicCollDataPluginAttach() == 1 && TpAtomicDataPluginAttach() == 1 &&
           TpClumpDataPluginAttach() != 0 && TpFrameTagPluginAttach() == 1;
}

// A clump of one atomic on its root frame whose geometry has `morphs` targets of that radius.
inline TpClump* MakeSphereClump(float radius, int32_t morphs = 1) {
    TpClump* clump = TpClumpCreate();
    TvFrame* frame = TvFrameCreate();
    TpClumpSetFrame(clump, frame);
    TpGeometry* geometry = TpGeometryCreate(3, 1, 0);
    for (int32_t i = 1; i < morphs; i++)
        TpGeometryAddMorphTarget(geometry);
    const TvSphere sphere{{0, 0, 0}, radius};
    for (int32_t i = 0; i < morphs; i++)
        TpMorphTargetSetBoundingSphere(TpGeometryGetMorphTarget(geometry, i), &sphere);
    TpAtomic* atomic = TpAtomicCreate();
    TpAtomicSetGeometry(atomic, geometry, 0);
    TpGeometryDestroy(geometry);
    TpAtomicSetFrame(atomic, frame);
    TpClumpAddAtomic(clump, atomic);
    return clump;
}

inline int32_t CountClumps(TpWorld* world) {
    int32_t n = 0;
    TpWorldForAllClumps(
        world,
        [](TpClump* c, void* d) -> TpClump* {
            ++*static_cast<int32_t*>(d);
            return c;
        },
        &n);
    return n;
}

// A world of one leaf holding the given landscape triangles (relative material, vertices).
inline TpWorld* MakeLeafWorld(const std::vector<std::array<float, 3>>& vertices,
                              const std::vector<std::array<uint8_t, 4>>& triangles) {
    LeafRecord leaf;
    leaf.vertices = vertices;
    leaf.triangles = triangles;
    leaf.collisionTree = SingleNodeTree(uint8_t(triangles.size()));
    leaf.box = std::array<float, 6>{-30, -30, -30, 30, 30, 50};
    WorldRecord w;
    w.root = LeafNode(leaf);
    return ReadWorldChunk(WorldBytes(w));
}

// The fixture on an engine whose plug-ins `Attach` attaches.
template <bool (*Attach)()> class ObjectTestWith : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(engine_.ok());
        grid_ = MakeGridWorld(0);
        TV_ENGINE->worldLibrary = grid_.world;
        ASSERT_EQ(MV2InitialiseObjects(), 1);
        ASSERT_EQ(MV2InitialiseDynamics(), 1);
        for (int32_t t = 0; t < kMV2ObjectTypes; t++) {
            *MV2GetObjectType(t) = MV2ObjectType{};
            MV2SetObjectTypeHandler(t, nullptr);
        }
        for (int32_t c = 0; c < kMV2BudgetClasses; c++)
            MV2AddClassCount(c, -MV2GetClassBudget(c)->available);
        MV2ClearDestroyedTypes();
        MV2ClearKnownTypes();
        gMV2FrameTimer.ticks = 1.0f;
        MV2UpdateDragTable(1.0f);
        PlatformClearMessageBoxes();
    }
    void TearDown() override {
        MV2DestroyAllObjects();
        TV_ENGINE->worldLibrary = nullptr;
        DestroyGridWorld(grid_);
        MV2FreeObjectTypes();
        MV2ShutdownDynamics();
        PlatformClearMessageBoxes();
    }

    // A type that clones a model of the given radius.
    MV2ObjectType* ModelType(int32_t t, float radius = 2.0f) {
        MV2ObjectType* type = MV2GetObjectType(t);
        type->model = MakeSphereClump(radius);
        type->words[7] = kMV2TypeModelLoaded;
        type->words[30] = 0xFFFF; // every level group keeps the model
        MV2SetTypeFloat(type, 1, 100.0f);
        MV2SetTypeFloat(type, 10, radius);
        return type;
    }

    static std::vector<std::string> Boxes() {
        std::vector<std::string> texts;
        for (const PlatformMessageBoxRecord& r : PlatformMessageBoxes())
            texts.push_back(r.text);
        return texts;
    }

    WorldEngine engine_{Attach};
    GridWorld grid_;
};

using ObjectTest = ObjectTestWith<AttachObjectPlugins>;
