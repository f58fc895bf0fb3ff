// Crawling spider: the 31-key table built once per geometry (also when type 396 comes first and
// the level is reloaded), the key rule, the link chain, the bite only in the somersault, the
// pull parameter, and type 396's leash and plane, which need a player.
#include "game/missions/spider.h"

#include <cmath>
#include <limits>

#include "engine/world/anim.h"
#include "engine/world/clump.h"
#include "game/missions/leveldevices.h"
#include "tests/game/missions/levelobject_fixture.h"

namespace {

class SpiderTest : public LevelObjectTest {
protected:
    void SetUp() override {
        LevelObjectTest::SetUp();
        MV2RegisterLevelDeviceHandlers();
        MV2ObjectType* type = LevelType(kMV2SpiderType, sizeof(MV2SpiderData), {}, 0.5f, true);
        TpClumpDestroy(type->model);
        type->model = MakeSphereClump(0.5f, 25); // the key table morphs up to target 24
        // Type 396 has no model of its own: it shows type 104's.
        MV2ObjectType* pinned =
            LevelType(kMV2PinnedSpiderType, sizeof(MV2SpiderData), {}, 0.5f, true);
        TpClumpDestroy(pinned->model);
        pinned->model = nullptr;
        LevelType(1, 0, {}, 1.0f, true);
    }
    MV2Object* Spider(int32_t type, TvV3d at = {0, 200, 0}) {
        MV2Object* s = Make(type, at);
        EXPECT_NE(s, nullptr);
        if (s) s->type->words[31] &= ~(3u << 28); // no gravity or motion of the default update
        return s;
    }
    static MV2SpiderData* Data(MV2Object* s) { return static_cast<MV2SpiderData*>(s->privateData); }
    static TpGeometry* Geometry() {
        return TpAtomicGetGeometry(MV2FindRootAtomic(MV2GetObjectType(kMV2SpiderType)->model));
    }
    static void SetState(MV2SpiderData* d, uint32_t state) {
        d->flags = (d->flags & ~(0xFFu << 2)) | (state << 2);
    }
};

} // namespace

TEST_F(SpiderTest, KeyTableOf31Keys) {
    Spider(kMV2SpiderType);
    const uint16_t targets[kMV2SpiderKeys][2] = {
        {0, 1},   {1, 2},   {3, 4},   {4, 5},   {5, 6},   {5, 4},   {4, 3},   {8, 9},
        {9, 10},  {10, 11}, {11, 12}, {12, 13}, {14, 15}, {15, 16}, {16, 17}, {17, 18},
        {18, 19}, {19, 20}, {20, 21}, {21, 22}, {22, 23}, {3, 2},   {7, 6},   {8, 2},
        {13, 3},  {5, 6},   {7, 5},   {3, 8},   {3, 0},   {13, 0},  {8, 24}};
    TpGeometry* g = Geometry();
    for (int32_t k = 0; k < kMV2SpiderKeys; k++) {
        const TpAnimKey* key = TpAnimSequenceGeometryGetKey(g, k);
        ASSERT_NE(key, nullptr) << k;
        EXPECT_EQ(key->startMorphTarget, targets[k][0]) << k;
        EXPECT_EQ(key->endMorphTarget, targets[k][1]) << k;
        EXPECT_FLOAT_EQ(key->duration, 1.0f) << k;
    }
    EXPECT_EQ(TpAnimSequenceGeometryGetKey(g, kMV2SpiderKeys), nullptr);
    EXPECT_EQ(TpAnimSequenceGeometryGetCallBack(g), MV2CrawlingSpiderKeyCallBack);
}

TEST_F(SpiderTest, TableBuiltOnceWhenThePinnedTypeComesFirstAndAfterAReload) {
    MV2Object* pinned = Spider(kMV2PinnedSpiderType);
    ASSERT_NE(pinned, nullptr);
    TpAtomic* root = MV2FindRootAtomic(pinned->clump);
    EXPECT_EQ(TpAtomicGetGeometry(root), Geometry()); // the shared model's geometry
    const TpAnimKey* keys = TpAnimSequenceGeometryGetKey(Geometry(), 0);
    EXPECT_EQ(TpAnimSequenceAtomicGetCurrentKeyIndex(root), 7);
    Spider(kMV2SpiderType);
    EXPECT_EQ(TpAnimSequenceGeometryGetKey(Geometry(), 0), keys); // not built again
    EXPECT_EQ(TpAnimSequenceAtomicGetCurrentKeyIndex(root), 7);   // the living spider's key holds
    MV2DestroyAllObjects(); // the level is reloaded
    MV2Object* again = Spider(kMV2SpiderType);
    EXPECT_EQ(TpAnimSequenceGeometryGetKey(Geometry(), 0), keys);
    EXPECT_EQ(TpAnimSequenceAtomicGetCurrentKeyIndex(MV2FindRootAtomic(again->clump)), 7);
}

TEST_F(SpiderTest, KeyRule) {
    MV2Object* s = Spider(kMV2SpiderType);
    TpAtomic* root = MV2FindRootAtomic(s->clump);
    struct Case {
        int32_t key;
        int32_t next;
        float left; // of 1.5 at the end of a key of 1.0
        int32_t state; // -1 unchanged
    } cases[] = {
        {0, 1, 0.5f, -1},  {1, 0, 0.5f, -1},  {2, 3, 0.5f, -1}, {3, 4, 0.5f, -1}, // no player
        {4, 22, 0.5f, 4},  {5, 6, 0.5f, -1},  {6, 28, 0.5f, 2}, {7, 8, 0.5f, -1},
        {10, 11, 0.5f, -1}, {11, 7, 0.5f, -1}, {12, 13, 0.5f, -1}, {18, 19, 0.5f, -1},
        {20, 30, 0.0f, -1}, {21, 21, 0.0f, -1}, {22, 22, 0.0f, -1}, {23, 7, 0.5f, -1},
        {24, 24, 0.0f, -1}, {28, 0, 0.5f, -1}, {29, 29, 0.0f, -1}, {30, 7, 0.0f, 1},
    };
    for (const Case& c : cases) {
        SetState(Data(s), kMV2SpiderDropping);
        TpAnimSequenceAtomicSetCurrentKey(root, c.key);
        EXPECT_FLOAT_EQ(MV2CrawlingSpiderKeyCallBack(root, 1.5f), c.left) << c.key;
        EXPECT_EQ(TpAnimSequenceAtomicGetCurrentKeyIndex(root), c.next) << c.key;
        EXPECT_EQ(MV2SpiderStateOf(Data(s)),
                  c.state < 0 ? uint32_t(kMV2SpiderDropping) : uint32_t(c.state))
            << c.key;
    }
    TpAtomic* bare = TpAtomicCreate();
    TpAtomicSetGeometry(bare, Geometry(), 0);
    EXPECT_FLOAT_EQ(MV2CrawlingSpiderKeyCallBack(bare, 1.5f), 0.0f); // no key: key 0
    EXPECT_EQ(TpAnimSequenceAtomicGetCurrentKeyIndex(bare), 0);
    TpAtomicDestroy(bare);
}

TEST_F(SpiderTest, LinkChainStepsEitherWay) {
    TpGeometry* g = TpGeometryCreate(3, 1, 0);
    for (int32_t i = 1; i < 8; i++)
        TpGeometryAddMorphTarget(g);
    ASSERT_NE(TpAnimSequenceGeometryCreateKeys(g, 6), nullptr);
    int32_t index = 0;
    EXPECT_EQ(MV2GeometryAddLinkChain(g, &index, 3, 6), 1);
    EXPECT_EQ(index, 3);
    EXPECT_EQ(MV2GeometryAddLinkChain(g, &index, 2, 2), 1); // no step, no key
    EXPECT_EQ(index, 3);
    EXPECT_EQ(MV2GeometryAddLinkChain(g, &index, 7, 5), 1);
    EXPECT_EQ(index, 5);
    const uint16_t pairs[5][2] = {{3, 4}, {4, 5}, {5, 6}, {7, 6}, {6, 5}};
    for (int32_t k = 0; k < 5; k++) {
        EXPECT_EQ(TpAnimSequenceGeometryGetKey(g, k)->startMorphTarget, pairs[k][0]) << k;
        EXPECT_EQ(TpAnimSequenceGeometryGetKey(g, k)->endMorphTarget, pairs[k][1]) << k;
    }
    EXPECT_EQ(MV2GeometryAddLinkChain(g, &index, 0, 3), 1); // past the table: no stop
    EXPECT_EQ(index, 8);
    TpGeometryDestroy(g);
}

TEST_F(SpiderTest, BitesTenOnlyInTheSomersault) {
    MV2Object* s = Spider(kMV2SpiderType);
    MV2Object* craft = Make(1, {0, 201, 0});
    MV2SetPlayerObject(craft);
    MV2Object* other = Make(1, {1, 201, 0});
    struct Case {
        uint32_t state;
        MV2Object* who;
        float loss;
    } cases[] = {{kMV2SpiderSomersault, craft, 10.0f},
                 {kMV2SpiderSomersault, other, 0.0f},
                 {kMV2SpiderLeaping, craft, 0.0f},
                 {kMV2SpiderCrawling, craft, 0.0f}};
    for (const Case& c : cases) {
        SetState(Data(s), c.state);
        c.who->energy = 50.0f;
        EXPECT_EQ(MV2ObjectSendMessage(s, 14, 1, reinterpret_cast<intptr_t>(c.who)), 1);
        EXPECT_FLOAT_EQ(50.0f - c.who->energy, c.loss) << c.state;
        if (c.loss > 0.0f) {
            EXPECT_EQ(MV2SpiderStateOf(Data(s)), uint32_t(kMV2SpiderCrawling));
            EXPECT_NE(Data(s)->flags & kMV2SpiderFlipped, 0u);
            EXPECT_FLOAT_EQ(s->matrix->up.y, 1.0f);
        }
    }
}

TEST_F(SpiderTest, PullParameterAndLandscapeAnswer) {
    MV2Object* s = Spider(kMV2SpiderType);
    EXPECT_FLOAT_EQ(Data(s)->pull, 0.1f);
    const float values[][2] = {{2.0f, 0.5f},
                               {0.0f, 0.5f},
                               {-1.0f, 0.5f},
                               {std::numeric_limits<float>::quiet_NaN(), 0.5f},
                               {0.25f, 4.0f}};
    for (const auto& v : values) {
        MV2ObjectSendMessage(s, 79, 0, reinterpret_cast<intptr_t>(&v[0]));
        EXPECT_FLOAT_EQ(Data(s)->pull, v[1]) << v[0];
    }
    EXPECT_EQ(MV2ObjectSendMessage(s, 75, 0, 0), 1);
    Data(s)->flags &= ~kMV2SpiderLandTest;
    EXPECT_EQ(MV2ObjectSendMessage(s, 75, 0, 0), 0);
    EXPECT_EQ(MV2ObjectSendMessage(Spider(kMV2PinnedSpiderType), 75, 0, 0), 1);
    intptr_t size = 0;
    MV2ObjectSendMessage(s, 96, 0, reinterpret_cast<intptr_t>(&size));
    EXPECT_EQ(size, intptr_t(sizeof(MV2SpiderData)));
}

TEST_F(SpiderTest, PinnedSpiderIsLeashedOnlyWithAPlayer) {
    MV2Object* s = Spider(kMV2PinnedSpiderType, {0, 200, 0});
    MV2SpiderData* d = Data(s);
    EXPECT_EQ(MV2SpiderStateOf(d), uint32_t(kMV2SpiderCrawling));
    EXPECT_FLOAT_EQ(d->pull, 0.2f);
    s->matrix->pos = {8, 200, 0};
    d->flags &= ~kMV2SpiderLandTest;
    Step(s); // no player: only the landscape-test flag
    EXPECT_FLOAT_EQ(s->matrix->pos.x, 8.0f);
    EXPECT_NE(d->flags & kMV2SpiderLandTest, 0u);
    MV2SetPlayerObject(Make(1, {0, 200, 40}));
    Step(s);
    EXPECT_FLOAT_EQ(s->matrix->pos.x, 5.0f); // back to exactly 5 units from home
    EXPECT_FLOAT_EQ(s->matrix->pos.z, 0.0f);
    EXPECT_FLOAT_EQ(s->matrix->pos.y, 200.0f + 0.5f); // on the plane, a radius above it
    EXPECT_FLOAT_EQ(s->matrix->up.y, 1.0f);
}
