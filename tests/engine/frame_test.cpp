#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/core/engine.h"
#include "engine/core/error.h"
#include "engine/core/frame.h"
#include "engine/core/stream.h"
#include "tests/support/frame_list_writer.h"
#include "tests/support/null_device.h"

namespace {

constexpr uint32_t kTagPluginId = 0x7F01;

// A frame plug-in that counts live frames and carries a word read from the extension chunk.
int g_liveFrames;
int g_createsLeft = -1; // constructors that may still succeed; -1 for no limit
int32_t g_tagOffset = -1;

void* TagCreate(void* object, int32_t offset, int32_t) {
    if (g_createsLeft == 0) return nullptr;
    if (g_createsLeft > 0) --g_createsLeft;
    ++g_liveFrames;
    *reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(object) + offset) = 0;
    return object;
}
void* TagDestroy(void* object, int32_t, int32_t) {
    --g_liveFrames;
    return object;
}
void* TagCopy(void* dst, const void* src, int32_t offset, int32_t) {
    std::memcpy(static_cast<uint8_t*>(dst) + offset, static_cast<const uint8_t*>(src) + offset, 4);
    return dst;
}
TvStream* TagRead(TvStream* stream, int32_t length, void* object, int32_t offset, int32_t) {
    if (length != 4) return nullptr;
    return TvStreamRead(stream, static_cast<uint8_t*>(object) + offset, 4) == 4 ? stream : nullptr;
}
uint32_t Tag(TvFrame* f) {
    return *reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(f) + g_tagOffset);
}

// An object on a frame that counts its synchronisation callbacks.
struct Watcher {
    TvObjectHasFrame base{};
    int synced = 0;
    explicit Watcher(TvFrame* frame) {
        base.sync = [](TvObjectHasFrame* o) {
            reinterpret_cast<Watcher*>(o)->synced++;
            return o;
        };
        TvObjectHasFrameSetFrame(&base, frame);
    }
};

std::vector<TvFrame*> DirtyRoots() {
    std::vector<TvFrame*> out;
    TvLink* head = &TV_ENGINE->dirtyFrameList;
    for (TvLink* l = head->next; l != head; l = l->next) {
        out.push_back(reinterpret_cast<TvFrame*>(reinterpret_cast<uint8_t*>(l) -
                                                 offsetof(TvFrame, inDirtyListLink)));
    }
    return out;
}

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_liveFrames = 0;
        g_createsLeft = -1;
        NullDeviceInstall();
        ASSERT_TRUE(TvEngineInit(nullptr));
        g_tagOffset = TvFrameRegisterPlugin(4, kTagPluginId, TagCreate, TagDestroy, TagCopy);
        ASSERT_GE(g_tagOffset, 0);
        ASSERT_GE(TvFrameRegisterPluginStream(kTagPluginId, TagRead, nullptr, nullptr), 0);
        ASSERT_TRUE(TvEngineOpen(nullptr));
        ASSERT_TRUE(TvEngineStart());
    }
    void TearDown() override {
        TvEngineStop();
        TvEngineClose();
        TvEngineTerm();
        NullDeviceRemove();
    }
};

TEST_F(FrameTest, CreatedFrameIsADetachedCleanRoot) {
    TvFrame* f = TvFrameCreate();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->modelling.flags, 0x20003u);
    EXPECT_EQ(f->ltm.flags, 3u);
    EXPECT_EQ(f->root, f);
    EXPECT_EQ(f->parent, nullptr);
    EXPECT_FALSE(TvFrameIsDirty(f));
    EXPECT_TRUE(DirtyRoots().empty());
    EXPECT_EQ(g_liveFrames, 1);
    TvFrameDestroy(f);
    EXPECT_EQ(g_liveFrames, 0);
}

TEST_F(FrameTest, LazySyncReadsWorldAndFullSyncNotifiesOnlyTheMovedSubtree) {
    TvFrame* root = TvFrameCreate();
    TvFrame* a = TvFrameCreate();
    TvFrame* leaf = TvFrameCreate();
    TvFrame* sibling = TvFrameCreate();
    TvFrameAddChild(root, a);
    TvFrameAddChild(a, leaf);
    TvFrameAddChild(root, sibling);
    const TvV3d up = {0, 10, 0};
    TvFrameTranslate(root, &up, kTvCombineReplace);
    Watcher wRoot(root), wA(a), wLeaf(leaf), wSibling(sibling);
    TvFrameSyncDirty();
    EXPECT_EQ(wRoot.synced + wA.synced + wLeaf.synced + wSibling.synced, 4);
    EXPECT_TRUE(DirtyRoots().empty());
    EXPECT_EQ(TvFrameGetLTM(leaf)->pos.y, 10.0f);

    // Moving a and reading the leaf's world matrix updates it without notifications.
    const TvV3d x = {1, 0, 0};
    TvFrameTranslate(a, &x, kTvCombinePostConcat);
    EXPECT_TRUE(TvFrameIsDirty(leaf));
    const TvMatrix* world = TvFrameGetLTM(leaf);
    EXPECT_EQ(world->pos.x, 1.0f);
    EXPECT_EQ(world->pos.y, 10.0f);
    EXPECT_EQ(wA.synced + wLeaf.synced, 2);
    EXPECT_TRUE(TvFrameIsDirty(leaf)) << "objects are still to be told";
    ASSERT_EQ(DirtyRoots(), std::vector<TvFrame*>{root});

    TvFrameSyncDirty();
    EXPECT_EQ(wA.synced, 2);
    EXPECT_EQ(wLeaf.synced, 2);
    EXPECT_EQ(wRoot.synced, 1);
    EXPECT_EQ(wSibling.synced, 1);
    EXPECT_FALSE(TvFrameIsDirty(leaf));

    // A full sync recomputes world matrices too when nothing read them first.
    TvFrameTranslate(root, &x, kTvCombinePostConcat);
    TvFrameSyncDirty();
    EXPECT_EQ(leaf->ltm.pos.x, 2.0f);
    EXPECT_EQ(sibling->ltm.pos.x, 1.0f);
    EXPECT_EQ(wSibling.synced, 2);
    TvFrameDestroyHierarchy(root);
    EXPECT_EQ(g_liveFrames, 0);
}

TEST_F(FrameTest, AddingAQueuedRootQueuesTheNewRootInstead) {
    TvFrame* p = TvFrameCreate();
    TvFrame* c = TvFrameCreate();
    TvFrameUpdateObjects(c);
    ASSERT_EQ(DirtyRoots(), std::vector<TvFrame*>{c});
    TvFrameAddChild(p, c);
    EXPECT_EQ(DirtyRoots(), std::vector<TvFrame*>{p});
    EXPECT_EQ(c->root, p);
    EXPECT_EQ(c->object.privateFlags & kTvFrameHierarchySync, 0);

    // Removing it makes it a queued root of its own again.
    EXPECT_EQ(TvFrameRemoveChild(c), c);
    EXPECT_EQ(c->root, c);
    EXPECT_EQ(p->child, nullptr);
    EXPECT_EQ(DirtyRoots().size(), 2u);
    EXPECT_EQ(TvFrameRemoveChild(c), nullptr);
    TvErrorRecord err{};
    TvErrorGet(&err);
    EXPECT_EQ(err.pluginID, kTvPluginIdCore);
    EXPECT_EQ(err.errorCode, E_TV_NOPARENT);
    TvFrameDestroy(c);
    TvFrameDestroy(p);
    EXPECT_TRUE(DirtyRoots().empty()) << "destroyed roots leave the dirty list";
}

TEST_F(FrameTest, CloneKeepsChildOrderAndMapsSourcesToCopies) {
    TvFrame* p = TvFrameCreate();
    TvFrame* a = TvFrameCreate();
    TvFrame* b = TvFrameCreate();
    TvFrameAddChild(p, a);
    TvFrameAddChild(p, b); // listed first
    const TvV3d ta = {1, 0, 0}, tb = {0, 2, 0};
    TvFrameTranslate(a, &ta, kTvCombineReplace);
    TvFrameTranslate(b, &tb, kTvCombineReplace);
    *reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(a) + g_tagOffset) = 77;

    TvFrame* copy = TvFrameCloneHierarchy(p);
    ASSERT_NE(copy, nullptr);
    ASSERT_NE(copy->child, nullptr);
    ASSERT_NE(copy->child->next, nullptr);
    TvFrame* ca = copy->child;
    TvFrame* cb = copy->child->next;
    EXPECT_EQ(ca->modelling.pos.x, 1.0f);
    EXPECT_EQ(cb->modelling.pos.y, 2.0f);
    EXPECT_EQ(Tag(ca), 77u) << "plug-in copy callbacks ran";
    EXPECT_EQ(a->root, ca);
    EXPECT_EQ(b->root, cb);
    EXPECT_EQ(ca->root, copy);
    EXPECT_EQ(ca->parent, copy);
    EXPECT_EQ(g_liveFrames, 6);

    TvFrameUpdateRoot(p);
    EXPECT_EQ(a->root, p);
    EXPECT_EQ(TvFrameGetLTM(cb)->pos.y, 2.0f);
    TvFrameDestroyHierarchy(copy);
    TvFrameDestroyHierarchy(p);
    EXPECT_EQ(g_liveFrames, 0);
}

TEST_F(FrameTest, FailedCloneReleasesItsCopiesAndRestoresSourceRoots) {
    TvFrame* p = TvFrameCreate();
    TvFrame* a = TvFrameCreate();
    TvFrame* b = TvFrameCreate();
    TvFrame* c = TvFrameCreate();
    TvFrameAddChild(p, a);
    TvFrameAddChild(p, b);
    TvFrameAddChild(b, c);
    for (int allowed : {0, 1, 2, 3}) {
        g_createsLeft = allowed;
        EXPECT_EQ(TvFrameCloneHierarchy(p), nullptr) << allowed;
        g_createsLeft = -1;
        EXPECT_EQ(g_liveFrames, 4) << allowed;
        EXPECT_EQ(c->root, p) << allowed;
        EXPECT_EQ(p->root, p) << allowed;
        TvFrameSyncDirty();
        EXPECT_TRUE(DirtyRoots().empty()) << allowed;
    }
    TvFrameDestroyHierarchy(p);
}

TEST_F(FrameTest, DeepHierarchiesDoNotExhaustTheStack) {
    constexpr int kDepth = 50000;
    TvFrame* root = TvFrameCreate();
    TvFrame* leaf = root;
    const TvV3d step = {0, 0, 1};
    for (int i = 1; i < kDepth; ++i) {
        TvFrame* f = TvFrameCreate();
        TvFrameTranslate(f, &step, kTvCombineReplace);
        TvFrameAddChild(leaf, f);
        leaf = f;
    }
    EXPECT_EQ(TvFrameGetLTM(leaf)->pos.z, float(kDepth - 1));
    TvFrameSyncDirty();
    TvFrame* copy = TvFrameCloneHierarchy(root);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(TvFrameGetLTM(leaf->root)->pos.z, float(kDepth - 1));
    TvFrameDestroyHierarchy(copy);
    TvFrameDestroyHierarchy(root);
    EXPECT_EQ(g_liveFrames, 0);
}

TEST_F(FrameTest, DestroyingAParentLeavesChildrenAndObjectsSafe) {
    TvFrame* p = TvFrameCreate();
    TvFrame* c = TvFrameCreate();
    TvFrame* g = TvFrameCreate();
    TvFrameAddChild(p, c);
    TvFrameAddChild(c, g);
    Watcher w(p);
    TvFrameDestroy(p);
    EXPECT_EQ(c->parent, nullptr);
    EXPECT_EQ(c->root, c);
    EXPECT_EQ(g->root, c);
    EXPECT_EQ(w.base.frame, nullptr);
    TvFrameSyncDirty(); // must not touch the freed frame
    TvObjectHasFrameSetFrame(&w.base, c);
    TvObjectHasFrameReleaseFrame(&w.base);
    TvObjectHasFrameReleaseFrame(&w.base);
    TvFrameDestroyHierarchy(c);
    EXPECT_EQ(g_liveFrames, 0);
}

TEST_F(FrameTest, ForAllCallbacksStopAtNullAndMayUnlinkTheCurrentElement) {
    TvFrame* p = TvFrameCreate();
    TvFrame* kids[3];
    for (TvFrame*& k : kids) {
        k = TvFrameCreate();
        TvFrameAddChild(p, k);
    }
    std::vector<TvFrame*> seen;
    // Removing each child while visiting it must not end the walk early.
    TvFrameForAllChildren(
        p,
        [](TvFrame* f, void* data) {
            static_cast<std::vector<TvFrame*>*>(data)->push_back(f);
            return TvFrameRemoveChild(f);
        },
        &seen);
    EXPECT_EQ(seen, (std::vector<TvFrame*>{kids[2], kids[1], kids[0]}));
    EXPECT_EQ(p->child, nullptr);

    Watcher w1(p), w2(p);
    int visits = 0;
    TvFrameForAllObjects(
        p,
        [](TvObject*, void* data) -> TvObject* {
            ++*static_cast<int*>(data);
            return nullptr;
        },
        &visits);
    EXPECT_EQ(visits, 1) << "a null result stops the walk";
    TvFrameDestroy(p);
    for (TvFrame* k : kids)
        TvFrameDestroy(k);
}

TEST_F(FrameTest, FrameListRoundTrip) {
    FrameRecord skewed = FrameAt(0, 0, 3, 1);
    // Right axis shortened: determinant 0.98, still nearly normal and orthogonal.
    skewed.rows[0] = 0.98f;
    skewed.extension = {{kTagPluginId, {5, 0, 0, 0}}};
    FrameRecord rotated = FrameAt(1, 2, 3, 0);
    const float r[9] = {0, 1, 0, -1, 0, 0, 0, 0, 1};
    std::memcpy(rotated.rows, r, sizeof r);
    ChunkWriter w;
    WriteFrameList(w, {FrameAt(10, 0, 0, -1), rotated, skewed});
    TvStream* s = OpenReadStream(w.data());
    TvFrameList list{};
    ASSERT_EQ(TvFrameListStreamRead(s, &list), &list);
    TvStreamClose(s, nullptr);
    ASSERT_EQ(list.numFrames, 3);
    TvFrame** f = list.frames;
    EXPECT_EQ(f[0]->parent, nullptr);
    EXPECT_EQ(f[1]->parent, f[0]);
    EXPECT_EQ(f[2]->parent, f[1]);
    EXPECT_EQ(f[2]->root, f[0]);
    EXPECT_EQ(f[1]->modelling.up.x, -1.0f);
    EXPECT_EQ(f[1]->modelling.flags, kTvMatrixOrthoNormal);
    EXPECT_EQ(f[2]->modelling.flags, 0u) << "skewed rotation loses its orthonormal bits";
    EXPECT_EQ(Tag(f[2]), 5u);
    EXPECT_EQ(Tag(f[1]), 0u);
    const TvMatrix* world = TvFrameGetLTM(f[2]);
    EXPECT_EQ(world->pos.x, 11.0f);
    EXPECT_EQ(world->pos.y, 2.0f);
    EXPECT_EQ(world->pos.z, 6.0f);
    TvFrameDestroyHierarchy(f[0]);
    TvFrameListDeinit(&list);
    EXPECT_EQ(list.frames, nullptr);
}

TEST_F(FrameTest, BadFrameListsFailWithoutLeavingFrames) {
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        uint32_t error;
    };
    auto list = [](std::vector<FrameRecord> frames) {
        ChunkWriter w;
        WriteFrameList(w, frames);
        return w.data();
    };
    std::vector<Case> cases;
    cases.push_back(
        {"parent is itself", list({FrameAt(0, 0, 0, -1), FrameAt(0, 0, 0, 1)}), E_TV_INVALIDPARAM});
    cases.push_back({"parent is later",
                     list({FrameAt(0, 0, 0, -1), FrameAt(0, 0, 0, 2), FrameAt(0, 0, 0, 0)}),
                     E_TV_INVALIDPARAM});
    cases.push_back(
        {"parent below -1", list({FrameAt(0, 0, 0, -1), FrameAt(0, 0, 0, -2)}), E_TV_INVALIDPARAM});
    {
        ChunkWriter w; // a count far beyond what the chunk holds
        w.Begin(TV_ID_STRUCT).U32(0x40000000).End();
        cases.push_back({"count beyond chunk", w.data(), E_TV_ENDOFSTREAM});
    }
    {
        std::vector<uint8_t> bytes = list({FrameAt(0, 0, 0, -1), FrameAt(0, 0, 0, 0)});
        bytes.resize(bytes.size() - 12); // last extension chunk missing
        cases.push_back({"extension missing", bytes, E_TV_NOERROR});
    }
    {
        ChunkWriter w;
        w.Begin(TV_ID_STRUCT, 0x200).U32(0).End();
        cases.push_back({"old version", w.data(), E_TV_BADVERSION});
    }
    {
        ChunkWriter w;
        w.Header(TV_ID_STRUCT, 4 + 56).U32(1).F32(1.0f); // record cut short
        cases.push_back({"short record", w.data(), E_TV_ENDOFSTREAM});
    }
    for (const Case& c : cases) {
        // The error record keeps the first error: restarting opens the error module afresh.
        TvEngineStop();
        TvEngineStart();
        TvStream* s = OpenReadStream(c.bytes);
        ASSERT_NE(s, nullptr) << c.what;
        TvFrameList fl{};
        EXPECT_EQ(TvFrameListStreamRead(s, &fl), nullptr) << c.what;
        EXPECT_EQ(fl.frames, nullptr) << c.what;
        EXPECT_EQ(g_liveFrames, 0) << c.what;
        EXPECT_TRUE(DirtyRoots().empty()) << c.what;
        TvErrorRecord err{};
        TvErrorGet(&err);
        if (c.error != E_TV_NOERROR) {
            EXPECT_EQ(err.errorCode, c.error) << c.what;
        }
        TvStreamClose(s, nullptr);
    }
}

} // namespace
