// The pickups' glow in the effect pass: a power-up's glowing part drawn only in view, the
// teleporter's motes, and the nearest shining pickup's shine redone once a frame.
#include <cmath>
#include <cstddef>

#include "engine/core/resources.h"
#include "game/effects/sfx.h"
#include "game/objects/utilities.h"
#include "tests/game/effects/effects_fixture.h"
#include "tests/support/mesh_clump.h"

namespace {

struct DrawLog {
    int32_t draws = 0;
    uint8_t flags = 0;
};
DrawLog g_drawn;

int32_t RecordDraw(TpAtomic* atomic) {
    g_drawn.draws++;
    g_drawn.flags = atomic->object.object.flags;
    return 1;
}

class PickupGlowTest : public EffectsTest {
protected:
    void SetUp() override {
        EffectsTest::SetUp();
        MV2EffectDetail = 1; // no plankton, which also draws with the corona texture
        g_drawn = {};
        TvResourcesArenaMemory = arena_;
        TvResourcesSetArenaSize(sizeof arena_);
    }
    void TearDown() override {
        TvResourcesEmptyArena(); // clears the atomics' instance slots
        TvResourcesArenaMemory = nullptr;
        EffectsTest::TearDown();
    }
    // A pickup or teleporter type whose model has a body and a part of the tag.
    void PartType(int32_t t, MV2ObjectHandler handler, size_t size, uint8_t geometryFlags = 0) {
        MV2ObjectType* type = HandledType(t, handler, size);
        TpClumpDestroy(type->model);
        MeshPart body = PlaneMesh(2, 0.5f), part = PlaneMesh(2, 0.3f, 3);
        type->model = MakeMeshClump({body, part});
        if (geometryFlags) TpClumpForAllAtomics(type->model, Shiny, &geometryFlags);
    }
    // Gives the atomic a geometry of the flags (normals facing -z, texture coordinates 0).
    static TpAtomic* Shiny(TpAtomic* atomic, void* flags) {
        const TpGeometry* old = TpAtomicGetGeometry(atomic);
        const int32_t n = old->numVertices;
        TpGeometry* g = TpGeometryCreate(n, 0, *static_cast<uint8_t*>(flags));
        TpMorphTarget* m = TpGeometryGetMorphTarget(g, 0);
        for (int32_t i = 0; i < n; ++i) {
            m->vertices[i] = TpGeometryGetMorphTarget(const_cast<TpGeometry*>(old), 0)->vertices[i];
            m->normals[i] = {0, 0, -1};
            TpGeometryGetTexCoords(g)[i] = {-1.0f, -1.0f};
        }
        TpAtomicSetGeometry(atomic, g, kTpAtomicSameBoundingSphere);
        TpGeometryDestroy(g);
        return atomic;
    }
    alignas(std::max_align_t) uint8_t arena_[1024];

    int32_t Coronas() {
        int32_t n = 0;
        for (const Im3DCall& c : recorder_.calls)
            n += c.raster == intptr_t(TvTextureGetRaster(gMV2CoronaTexture)) ? 1 : 0;
        return n;
    }
    int32_t Pass() {
        recorder_.calls.clear();
        MV2RenderEffects(camera_);
        return Coronas();
    }
    static void Move(MV2Object* object, TvV3d to) {
        object->matrix->pos = to;
        TvFrameUpdateObjects(MV2GetRootFrame(object->clump));
        TvFrameSyncDirty();
    }
};

} // namespace

TEST_F(PickupGlowTest, APowerUpsGlowingPartIsDrawnOnlyInViewAndStaysHiddenFromTheWorld) {
    PartType(441, MV2PickupHandler, sizeof(MV2PickupData));
    MV2Object* pickup = Make(441, Rel(0, 0, 10));
    ASSERT_NE(pickup, nullptr);
    TpAtomic* glow = MV2FindAtomicByTag(pickup->clump, 3);
    ASSERT_NE(glow, nullptr);
    EXPECT_EQ(glow->object.object.flags, 0) << "hidden from the world pass";
    TpAtomicSetRenderCallBack(glow, RecordDraw);
    EXPECT_EQ(Pass(), 1) << "the glow in the entry's colour";
    EXPECT_EQ(g_drawn.draws, 1);
    EXPECT_EQ(g_drawn.flags, kTpAtomicRender);
    EXPECT_EQ(glow->object.object.flags, 0);
    Move(pickup, Rel(0, 0, -10)); // behind the camera
    Pass();
    EXPECT_EQ(g_drawn.draws, 1);
    MV2ObjectSendMessage(pickup, 4, 0, 0);
    EXPECT_EQ(Pass(), 0) << "the last pickup takes the hook with it";
}

TEST_F(PickupGlowTest, ATeleporterGlowsWithItsMotesWhileInView) {
    PartType(451, MV2TeleporterHandler, sizeof(MV2TeleporterData));
    const TvV3d at = Rel(0, 0, 10);
    MV2Object* t = Make(451, at);
    ASSERT_NE(t, nullptr);
    auto* d = static_cast<MV2TeleporterData*>(t->privateData);
    for (MV2TeleporterMote& m : d->motes)
        m = {{1, 0, 0}, {0, 0, 1}, 0.5f};
    EXPECT_EQ(Pass(), 21) << "its own corona and twenty motes";
    // A mote lies life x 1.25 out along its direction, turned by life x 60 degrees about its
    // axis; a corona is drawn 0.4 towards the camera from its point.
    const Im3DCall& mote = recorder_.calls.back();
    TvV3d centre{};
    for (size_t i = 0; i < 4; ++i)
        centre = TvV3dAdd(centre, TvV3dScale(mote.vertices[i].objVertex, 0.25f));
    const TvV3d offset = TvV3dSub(centre, at);
    EXPECT_NEAR(std::hypot(offset.x, offset.y), 0.625f, 0.03f);
    EXPECT_NEAR(std::fabs(offset.y), 0.3125f, 0.03f) << "turned by 30 degrees";
    Move(t, Rel(0, 0, -10));
    EXPECT_EQ(Pass(), 0);
    MV2ObjectSendMessage(t, 4, 0, 0);
}

TEST_F(PickupGlowTest, OnlyTheNearestShiningPickupHasItsShineRedoneOnce) {
    PartType(452, MV2PickupHandler, sizeof(MV2PickupData), kTpGeometryNormals | kTpGeometryTextured);
    MV2Object* near = Make(452, Rel(0, 0, 5));
    MV2Object* far = Make(452, Rel(1, 0, 12));
    ASSERT_NE(far, nullptr);
    auto texCoord = [](MV2Object* o) {
        return TpGeometryGetTexCoords(TpAtomicGetGeometry(MV2FindRootAtomic(o->clump)))[0];
    };
    auto instance = [](MV2Object* o) {
        TpAtomic* a = MV2GetFirstAtomic(o->clump);
        return TvResourcesAllocateResEntry(a, &a->instancedData, 16, nullptr);
    };
    TvResEntry* kept = instance(far);
    ASSERT_NE(kept, nullptr);
    instance(near);
    MV2ObjectSendMessage(far, 2, 0, 0);
    MV2ObjectSendMessage(near, 2, 0, 0);
    MV2UpdateEffectHooks(camera_);
    EXPECT_EQ(MV2GetFirstAtomic(near->clump)->instancedData, nullptr) << "instanced afresh";
    EXPECT_EQ(MV2GetFirstAtomic(far->clump)->instancedData, kept);
    // The copies share the geometry, whose normal facing the camera maps near the middle.
    EXPECT_NEAR(texCoord(near).u, 0.5f, 0.1f);
    instance(near);
    MV2UpdateEffectHooks(camera_);
    EXPECT_NE(MV2GetFirstAtomic(near->clump)->instancedData, nullptr) << "the cache is cleared";
    // A cached pickup destroyed before the frame's update leaves nothing behind.
    MV2ObjectSendMessage(near, 2, 0, 0);
    MV2ObjectSendMessage(near, 4, 0, 0);
    MV2UpdateEffectHooks(camera_);
    EXPECT_EQ(MV2GetFirstAtomic(far->clump)->instancedData, kept);
}
