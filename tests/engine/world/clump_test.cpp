// Atomics and clumps: interpolated and world bounding spheres, callbacks, cloning, the clump
// chunk reader, and what the module frees at engine close.
#include <gtest/gtest.h>

#include <memory>

#include "engine/core/error.h"
#include "engine/core/stream.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "engine/world/world_plugin.h"
#include "tests/support/engine_checks.h"
#include "tests/support/world_writer.h"

namespace {

// Live frames and atomics, counted through plug-in constructors and destructors.
int g_frames = 0;
int g_atomics = 0;
void* CountUp(int& n, void* object) {
    n++;
    return object;
}
void* FrameMade(void* o, int32_t, int32_t) {
    return CountUp(g_frames, o);
}
void* FrameGone(void* o, int32_t, int32_t) {
    g_frames--;
    return o;
}
void* AtomicMade(void* o, int32_t, int32_t) {
    return CountUp(g_atomics, o);
}
void* AtomicGone(void* o, int32_t, int32_t) {
    g_atomics--;
    return o;
}
bool AttachCounters() {
    return TvFrameRegisterPlugin(4, 0x7E01, FrameMade, FrameGone, nullptr) >= 0 &&
           TpAtomicRegisterPlugin(4, 0x7E01, AtomicMade, AtomicGone, nullptr) >= 0;
}

TpAtomic* Collect(TpAtomic* atomic, void* data) {
    static_cast<std::vector<TpAtomic*>*>(data)->push_back(atomic);
    return atomic;
}
std::vector<TpAtomic*> Atomics(TpClump* clump) {
    std::vector<TpAtomic*> out;
    TpClumpForAllAtomics(clump, Collect, &out);
    return out;
}

TpClump* Marker(TpClump* clump, void*) {
    return clump;
}

class ClumpTest : public ::testing::Test {
protected:
    void SetUp() override { Restart(); }
    void TearDown() override {
        if (stream_) TvStreamClose(stream_, nullptr);
        stream_ = nullptr;
        engine_.reset();
        EXPECT_EQ(g_frames, 0);
        EXPECT_EQ(g_atomics, 0);
    }
    void Restart() {
        if (stream_) TvStreamClose(stream_, nullptr);
        stream_ = nullptr;
        engine_.reset();
        g_frames = g_atomics = 0;
        engine_ = std::make_unique<WorldEngine>(AttachCounters);
        ASSERT_TRUE(engine_->ok());
    }
    TpClump* Read(const std::vector<FrameRecord>& frames, const std::vector<AtomicRecord>& atoms) {
        ChunkWriter w;
        WriteClump(w, frames, atoms);
        return ReadBytes(w.data());
    }
    TpClump* ReadBytes(const std::vector<uint8_t>& bytes) {
        bytes_ = bytes;
        stream_ = OpenReadStream(bytes_);
        if (!stream_ || !TvStreamFindChunk(stream_, TV_ID_CLUMP, nullptr, nullptr)) return nullptr;
        return TpClumpStreamRead(stream_);
    }
    // A geometry with two morph targets of radii 1 and 3, centres at x 0 and 10.
    TpGeometry* TwoTargets() {
        TpGeometry* g = TpGeometryCreate(1, 0, 0);
        TpGeometryAddMorphTarget(g);
        TvSphere a{{0, 0, 0}, 1}, b{{10, 0, 0}, 3};
        TpMorphTargetSetBoundingSphere(TpGeometryGetMorphTarget(g, 0), &a);
        TpMorphTargetSetBoundingSphere(TpGeometryGetMorphTarget(g, 1), &b);
        return g;
    }
    std::unique_ptr<WorldEngine> engine_;
    std::vector<uint8_t> bytes_;
    TvStream* stream_ = nullptr;
};

TEST_F(ClumpTest, InterpolatedBoundingSphere) {
    struct Case {
        uint16_t start, end;
        float position;
        float x, radius;
    };
    const Case cases[] = {{1, 1, 0.5f, 10, 3},        // equal targets: that target's sphere
                          {0, 5, 0.5f, 0, 1},         // out of range: target 0
                          {5, 1, 0.5f, 0, 1},         //
                          {0, 1, 0.25f, 2.5f, 1.5f}}; // in between
    TpGeometry* g = TwoTargets();
    TpAtomic* a = TpAtomicCreate();
    TpAtomicSetGeometry(a, g, 0);
    TpGeometryDestroy(g);
    for (const Case& c : cases) {
        TpInterpolator* in = TpAtomicGetInterpolator(a);
        TpInterpolatorSetStartMorphTarget(in, c.start);
        TpInterpolatorSetEndMorphTarget(in, c.end);
        TpInterpolatorSetPosition(in, c.position);
        const TvSphere* s = TpAtomicGetBoundingSphere(a);
        EXPECT_FLOAT_EQ(s->center.x, c.x) << c.start << " " << c.end;
        EXPECT_FLOAT_EQ(s->radius, c.radius) << c.start << " " << c.end;
        EXPECT_FALSE(in->flags & kTpInterpolateSphere);
    }
    TpAtomicDestroy(a);
}

TEST_F(ClumpTest, WorldSphereFollowsTheFrameAndItsAtAxis) {
    TpGeometry* g = TwoTargets();
    TpAtomic* a = TpAtomicCreate();
    TpAtomicSetGeometry(a, g, 0);
    TpGeometryDestroy(g);
    TvFrame* f = TvFrameCreate();
    TpAtomicSetFrame(a, f);
    const TvV3d move{5, 6, 7};
    TvFrameTranslate(f, &move, kTvCombineReplace);
    const TvSphere* s = TpAtomicGetWorldBoundingSphere(a);
    EXPECT_FLOAT_EQ(s->center.y, 6.0f);
    EXPECT_FLOAT_EQ(s->radius, 1.0f);
    const TvV3d stretchRight{2, 1, 1}, stretchAt{1, 1, 2};
    TvMatrixScale(TvFrameGetMatrix(f), &stretchRight, kTvCombinePreConcat);
    TvFrameUpdateObjects(f);
    EXPECT_FLOAT_EQ(TpAtomicGetWorldBoundingSphere(a)->radius, 1.0f);
    TvMatrixScale(TvFrameGetMatrix(f), &stretchAt, kTvCombinePreConcat);
    TvFrameUpdateObjects(f);
    EXPECT_NEAR(TpAtomicGetWorldBoundingSphere(a)->radius, 2.0f, 1e-3f);
    TpAtomicDestroy(a);
    TvFrameDestroy(f);
}

TEST_F(ClumpTest, CallBackOfAFreshClumpReadsAsNone) {
    TpClump* c = TpClumpCreate();
    EXPECT_EQ(TpClumpGetCallBack(c), nullptr);
    TpClumpSetCallBack(c, Marker);
    EXPECT_EQ(TpClumpGetCallBack(c), Marker);
    TpClumpSetCallBack(c, nullptr);
    EXPECT_EQ(TpClumpGetCallBack(c), nullptr);
    TpClumpDestroy(c);
}

TEST_F(ClumpTest, CloneCopiesFramesAndListsAtomicsInReverse) {
    TpClump* c = Read({FrameAt(0, 0, 0, -1), FrameAt(1, 0, 0, 0), FrameAt(0, 2, 0, 1)},
                      {{1, 5, LineGeometry(3, 1)}, {2, 1, LineGeometry(4, 2)}});
    ASSERT_NE(c, nullptr);
    TpClumpSetCallBack(c, Marker);
    const std::vector<TpAtomic*> source = Atomics(c);
    ASSERT_EQ(source.size(), 2u);
    EXPECT_EQ(source[0]->object.object.flags, 1); // read in file order, listed in reverse
    EXPECT_EQ(TpGeometryGetNumVertices(source[0]->geometry), 4);
    EXPECT_EQ(source[0]->geometry->refCount, 1);
    EXPECT_FLOAT_EQ(TvFrameGetLTM(source[0]->object.frame)->pos.y, 2.0f);

    TpClump* copy = TpClumpClone(c);
    ASSERT_NE(copy, nullptr);
    const std::vector<TpAtomic*> cloned = Atomics(copy);
    ASSERT_EQ(cloned.size(), 2u);
    EXPECT_EQ(cloned[0]->geometry, source[1]->geometry);
    EXPECT_EQ(cloned[1]->geometry, source[0]->geometry);
    EXPECT_EQ(source[0]->geometry->refCount, 2);
    EXPECT_NE(cloned[1]->object.frame, source[0]->object.frame);
    EXPECT_EQ(TvFrameGetRoot(cloned[1]->object.frame), copy->frame);
    EXPECT_FLOAT_EQ(TvFrameGetLTM(cloned[1]->object.frame)->pos.x, 1.0f);
    EXPECT_EQ(TvFrameGetRoot(source[0]->object.frame), c->frame); // source restored
    EXPECT_EQ(TpClumpGetCallBack(copy), Marker);
    EXPECT_EQ(TpAtomicGetClump(cloned[0]), copy);
    TpClumpDestroy(c);
    TpClumpDestroy(copy);
}

TEST_F(ClumpTest, CloneRefusesAnAtomicWithoutFrame) {
    TpClump* c = TpClumpCreate();
    TpClumpSetFrame(c, TvFrameCreate());
    TpClumpAddAtomic(c, TpAtomicCreate());
    EXPECT_EQ(TpClumpClone(c), nullptr);
    EXPECT_EQ(LastErrorCode(), E_TP_ATOMICNOFRAME);
    TpClumpDestroy(c);
}

TEST_F(ClumpTest, ClumpWithoutAtomicsStillReadsItsFrames) {
    TpClump* c = Read({FrameAt(0, 0, 0, -1), FrameAt(0, 0, 1, 0)}, {});
    ASSERT_NE(c, nullptr);
    EXPECT_TRUE(Atomics(c).empty());
    EXPECT_EQ(g_frames, 2);
    TpClumpDestroy(c);
}

TEST_F(ClumpTest, DamagedClumpsLeaveNothingBehind) {
    struct Case {
        const char* name;
        std::vector<FrameRecord> frames;
        std::vector<AtomicRecord> atomics;
        uint32_t error;
    };
    AtomicRecord good{0, 5, LineGeometry(3, 1)};
    AtomicRecord badFrame{2, 5, LineGeometry(3, 1)};
    AtomicRecord badGeometry{0, 5, LineGeometry(3, 1)};
    badGeometry.geometry.triangles[0].v1 = 9;
    const std::vector<FrameRecord> one = {FrameAt(0, 0, 0, -1), FrameAt(1, 0, 0, 0)};
    const Case cases[] = {
        {"frame index", one, {good, badFrame}, E_TP_INDEXRANGE},
        {"geometry", one, {good, badGeometry}, E_TV_INVALIDPARAM},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Restart();
        EXPECT_EQ(Read(c.frames, c.atomics), nullptr);
        EXPECT_EQ(LastErrorCode(), c.error);
        EXPECT_EQ(g_frames, 0);
        EXPECT_EQ(g_atomics, 0);
    }
    // An atomic count beyond the atomics present fails at the missing chunk.
    Restart();
    ChunkWriter w;
    w.Begin(TV_ID_CLUMP).Begin(TV_ID_STRUCT).I32(3).End().Begin(TV_ID_FRAMELIST);
    WriteFrameList(w, one).End();
    WriteAtomic(w, good).End();
    EXPECT_EQ(ReadBytes(w.data()), nullptr);
    EXPECT_EQ(g_frames, 0);
    EXPECT_EQ(g_atomics, 0);
    // A struct chunk of a bad version.
    Restart();
    ChunkWriter v;
    v.Begin(TV_ID_CLUMP).Begin(TV_ID_STRUCT, 0x2FF).I32(0).End().End();
    EXPECT_EQ(ReadBytes(v.data()), nullptr);
    EXPECT_EQ(LastErrorCode(), E_TV_BADVERSION);
}

// A frame list with a second root loads: an atomic may hang on it, clones copy it, and the
// clump's destruction takes it along (the frame counter returns to 0 in TearDown).
TEST_F(ClumpTest, SecondRootLoadsClonesAndGoesWithTheClump) {
    TpClump* c = Read({FrameAt(0, 0, 0, -1), FrameAt(5, 0, 0, -1), FrameAt(0, 1, 0, 1)},
                      {{2, 5, LineGeometry(3, 1)}});
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(g_frames, 3);
    ASSERT_EQ(c->numExtraRoots, 1);
    const std::vector<TpAtomic*> atomics = Atomics(c);
    ASSERT_EQ(atomics.size(), 1u);
    EXPECT_EQ(TvObjectGetFrame(atomics[0])->root, c->extraRoots[0]);
    TpClump* copy = TpClumpClone(c);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(g_frames, 6);
    ASSERT_EQ(copy->numExtraRoots, 1);
    EXPECT_EQ(TvObjectGetFrame(Atomics(copy)[0])->root, copy->extraRoots[0]);
    TpClumpDestroy(copy);
    TpClumpDestroy(c);
    EXPECT_EQ(g_frames, 0);
}

// A zero-length struct chunk reads as zeros and records nothing of its own: the error left is
// the one that ends the read (here the missing frame list).
TEST_F(ClumpTest, EmptyStructBodyLeavesTheRealError) {
    ChunkWriter w;
    w.Begin(TV_ID_CLUMP).Begin(TV_ID_STRUCT).End().End();
    EXPECT_EQ(ReadBytes(w.data()), nullptr);
    EXPECT_EQ(LastErrorCode(), E_TV_ENDOFSTREAM);
}

TEST_F(ClumpTest, GeometryWithoutMorphTargetsKeepsTheAtomicSphere) {
    TpGeometry* g = TpGeometryCreate(1, 0, 0);
    ASSERT_NE(TpGeometryRemoveMorphTarget(g, 0), nullptr);
    TpAtomic* a = TpAtomicCreate();
    const TvSphere before = a->boundingSphere;
    EXPECT_EQ(TpAtomicSetGeometry(a, g, 0), a);
    EXPECT_EQ(a->boundingSphere.radius, before.radius);
    TpGeometryDestroy(g);
    TpAtomicDestroy(a);
}

// Plug-ins whose second constructor refuses while g_refuse is set; the first counts its
// constructions and destructions.
int g_made = 0, g_undone = 0;
bool g_refuse = false;
void* Made(void* o, int32_t, int32_t) {
    g_made++;
    return o;
}
void* Undone(void* o, int32_t, int32_t) {
    g_undone++;
    return o;
}
void* Refuse(void* o, int32_t, int32_t) {
    return g_refuse ? nullptr : o;
}
bool AttachRefusing() {
    return TpAtomicRegisterPlugin(4, 0x7E10, Made, Undone, nullptr) >= 0 &&
           TpAtomicRegisterPlugin(4, 0x7E11, Refuse, nullptr, nullptr) >= 0 &&
           TpClumpRegisterPlugin(4, 0x7E10, Made, Undone, nullptr) >= 0 &&
           TpClumpRegisterPlugin(4, 0x7E11, Refuse, nullptr, nullptr) >= 0 &&
           TpGeometryRegisterPlugin(4, 0x7E10, Made, Undone, nullptr) >= 0 &&
           TpGeometryRegisterPlugin(4, 0x7E11, Refuse, nullptr, nullptr) >= 0;
}

// A refused constructor fails the create with null; the earlier constructor is undone once,
// and nothing is left for the engine's close to destroy a second time.
TEST(CreateFailureTest, RefusedPluginConstructorFailsTheCreate) {
    {
        WorldEngine engine(AttachRefusing);
        ASSERT_TRUE(engine.ok());
        g_refuse = true;
        const std::pair<const char*, void* (*)()> creates[] = {
            {"atomic", [] { return static_cast<void*>(TpAtomicCreate()); }},
            {"clump", [] { return static_cast<void*>(TpClumpCreate()); }},
            {"geometry", [] { return static_cast<void*>(TpGeometryCreate(3, 1, 28)); }},
        };
        for (const auto& [name, create] : creates) {
            SCOPED_TRACE(name);
            g_made = g_undone = 0;
            EXPECT_EQ(create(), nullptr);
            EXPECT_EQ(g_made, 1);
            EXPECT_EQ(g_undone, 1);
        }
        g_refuse = false;
        g_made = g_undone = 0;
    }
    EXPECT_EQ(g_undone, 0);
}

TEST_F(ClumpTest, EngineCloseFreesClumpsAtomicsAndFrames) {
    TpClump* c = Read({FrameAt(0, 0, 0, -1), FrameAt(1, 0, 0, 0)}, {{1, 5, LineGeometry(3, 1)}});
    ASSERT_NE(c, nullptr);
    TpAtomic* loose = TpAtomicCreate();
    TpAtomicSetGeometry(loose, TpAtomicGetGeometry(Atomics(c)[0]), 0);
    TpGeometry* spare = TpGeometryCreate(3, 1, 0);
    ASSERT_NE(spare, nullptr);
    EXPECT_EQ(g_frames, 2);
    EXPECT_EQ(g_atomics, 2);
    // TearDown closes the engine with all of these still allocated and checks the counts.
}

} // namespace
