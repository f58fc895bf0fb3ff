#include <bit>
#include <cmath>
#include <cstring>
#include <functional>

#include "game/objects/objects.h"
#include "game/objects/objectupdate.h"
#include "game/objects/utilities.h"
#include "tests/game/objects/puppet_fixture.h"
#include "tests/support/data_folder.h"

namespace {

// A file written out by hand, word by word.
struct Words : PuppetBytes {
    Words& U(uint32_t v) { return static_cast<Words&>(U32(v)); }
    Words& F(float v) { return static_cast<Words&>(F32(v)); }
    Words& Text(const char* text, size_t size) { return static_cast<Words&>(Name(text, size)); }
};

void ExpectNear(const TvV3d& got, const TvV3d& want) {
    EXPECT_NEAR(got.x, want.x, 1e-4f);
    EXPECT_NEAR(got.y, want.y, 1e-4f);
    EXPECT_NEAR(got.z, want.z, 1e-4f);
}

constexpr int32_t kDegree = 65536; // accumulator units

} // namespace

// One layout of each file, written word by word.
TEST_F(PuppetTest, HandWrittenFilesAreRead) {
    TpClump* clump = MakePuppetClump(2);
    Words pup;
    pup.U(1).U(0).U(1).U(1).U(1).U(1).U(1).U(3).U(1); // header: N, -, totals, D 1, S 1, 3, 1
    pup.U(0).U(1);                                     // vertex 1 copies 0; one node on vertex 0
    pup.U(7).Text("root_node", 100).U(1).F(0.5f).F(0).F(0).U(0); // node 7 on vertex 0
    pup.U(1).U(7).U(2).F(1.5f).F(3.5f).U(1);                     // a track on channel 2
    pup.U(0).F(1).F(2).F(3).F(0).F(1).F(0);                      // its key
    pup.U(7).U(3).U(1).F(0).F(0).F(0).F(1).F(0).F(0).F(0).F(1).F(0); // shape: 3 vertices
    pup.U(0).U(1).U(2).U(0).U(0).U(0).U(0).U(0).U(0);             // one triangle, no edges
    MV2Puppet* p = MV2PuppetReadBytes(clump, pup.data.data(), pup.data.size(), 5);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->flag, 5);
    ASSERT_EQ(p->nodeCount, 1);
    EXPECT_EQ(p->vertexCount, 1);
    EXPECT_EQ(p->duplicateCount, 1);
    EXPECT_EQ(p->duplicates[0], 0u);
    const MV2PuppetNode& node = p->nodes[0];
    EXPECT_STREQ(node.name, "root node");
    EXPECT_EQ(node.id, 7u);
    EXPECT_EQ(node.vertexCount, 1);
    ExpectNear(node.restPositions[0], {0.5f, 0, 0});
    ExpectNear(node.restNormals[0], {0, 1, 0});
    ASSERT_NE(node.tracks, nullptr);
    EXPECT_EQ(node.tracks->driver, &node);
    EXPECT_EQ(node.tracks->channel, 2u);
    EXPECT_EQ(node.tracks->start, 192 << 8);
    EXPECT_FLOAT_EQ(node.tracks->inverseRange, 0.5f);
    ASSERT_EQ(node.tracks->keyCount, 1);
    ExpectNear(node.tracks->keys[0].position, {1, 2, 3});
    ASSERT_EQ(p->shapeCount, 1);
    EXPECT_EQ(p->shapes[0].triangleCount, 1);
    ExpectNear(p->shapes[0].centre, {1.0f / 3, 1.0f / 3, 0});
    EXPECT_NEAR(p->shapes[0].radius, std::sqrt(5.0f) / 3, 1e-5f);

    Words bin;
    bin.U(1).Text("idle", 16).U(2).U(1).U(7);
    bin.F(0).F(0).F(1.5f).F(-2).F(0).F(0).F(0).F(0.25f);
    bin.F(0).F(4).F(90).F(0).F(0).F(0).F(0).F(0);
    ASSERT_EQ(MV2AnimsReadBytes(p, bin.data.data(), bin.data.size()), 1);
    ASSERT_EQ(p->animCount, 1);
    const MV2PuppetAnim& a = *p->anims;
    EXPECT_STREQ(a.name, "idle");
    EXPECT_EQ(a.index, 0);
    EXPECT_EQ(a.run, 1);
    EXPECT_EQ(a.footNode, -1);
    EXPECT_EQ(a.nodeIds[0], 7u);
    const int16_t first[6] = {192, -256, 0, 0, 0, 32};
    EXPECT_EQ(std::memcmp(a.keys[0].values, first, sizeof first), 0);
    EXPECT_EQ(a.keys[1].values[0], 90 * 128);
    EXPECT_EQ(a.keys[0].inverse, 0.0f); // t1 <= t0
    EXPECT_FLOAT_EQ(a.keys[1].inverse, 0.25f);
    MV2PuppetDestroy(p);
    TpClumpDestroy(clump);
}

// Every count is checked against the bytes left and every index against its array: a bad file
// gives no puppet (or no animations) and nothing is read out of bounds.
TEST_F(PuppetTest, BadFilesAreRefused) {
    const std::function<void(PuppetFileRecord&)> damages[] = {
        [](PuppetFileRecord& f) { f.nodes[1].parent = 99; },         // parent not found
        [](PuppetFileRecord& f) { f.nodes[1].parent = 20; },         // parent not read before
        [](PuppetFileRecord& f) { f.duplicates.assign(6, 0); },      // D above the vertices
        [](PuppetFileRecord& f) { f.duplicates[0] = 4; },            // source beyond V
        [](PuppetFileRecord& f) { f.nodes[0].vertices[1] = 5; },     // vertex beyond the geometry
        [](PuppetFileRecord& f) { f.nodes[1].tracks[0].keys[1].vertex = 3; }, // beyond M
        [](PuppetFileRecord& f) { f.nodes[1].tracks[0].channel = 3; },
        [](PuppetFileRecord& f) { f.nodes[1].tracks[0].driver = 99; },
        [](PuppetFileRecord& f) { f.shapes[0].node = 99; },
        [](PuppetFileRecord& f) { f.shapes[0].triangles[0][2] = 3; }, // beyond P
    };
    for (size_t i = 0; i < std::size(damages); i++) {
        SCOPED_TRACE(i);
        PuppetFileRecord file = TwoNodePuppet();
        damages[i](file);
        const std::vector<uint8_t> bytes = PuppetFileBytes(file);
        EXPECT_EQ(MV2PuppetReadBytes(clump_, bytes.data(), bytes.size(), 0), nullptr);
    }
    const std::vector<uint8_t> good = PuppetFileBytes(TwoNodePuppet());
    for (size_t size = 0; size < good.size(); size++)
        ASSERT_EQ(MV2PuppetReadBytes(clump_, good.data(), size, 0), nullptr) << size;

    Load();
    std::vector<AnimRecord> anims = PuppetAnims();
    const std::vector<uint8_t> whole = AnimsFileBytes(anims);
    for (size_t size = 0; size < whole.size(); size++) {
        ASSERT_EQ(MV2AnimsReadBytes(puppet_, whole.data(), size), 0) << size;
        ASSERT_EQ(puppet_->animCount, 0);
    }
    anims[2].keyframes.resize(1); // K below 2
    const std::vector<uint8_t> single = AnimsFileBytes(anims);
    EXPECT_EQ(MV2AnimsReadBytes(puppet_, single.data(), single.size()), 0);
    EXPECT_EQ(puppet_->anims, nullptr);

    // An instance needs the geometry the puppet was read for.
    TpClump* other = MakePuppetClump(6);
    EXPECT_EQ(MV2CreateAnimInstance(puppet_, other, nullptr), nullptr);
    TpClumpDestroy(other);
}

// An animation plays once: when it wraps it leaves the playing list and its end events run.
TEST_F(PuppetTest, PlayOnceWraps) {
    Load("swing { end { +state done } }");
    MV2PuppetPlayAnim(instance_, Anim("swing"));
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(MV2PuppetUpdate(instance_, nullptr, 3.0f), 0);
    EXPECT_EQ(instance_->playing, State("swing"));
    EXPECT_FLOAT_EQ(State("swing")->position, 9.0f);
    EXPECT_EQ(Arm()->accumulators[0], 90 * 128 * 460); // n = 0.9 x 512, truncated
    MV2PuppetUpdate(instance_, nullptr, 3.0f);
    EXPECT_EQ(instance_->playing, nullptr);
    EXPECT_EQ(State("swing")->ended, 1);
    EXPECT_FLOAT_EQ(State("swing")->position, 2.0f);
    EXPECT_EQ(*MV2PuppetGetEventSlot(&instance_->flags, 0), 1);
    EXPECT_EQ(Arm()->accumulators[0], 0);
    MV2PuppetUpdate(instance_, nullptr, 3.0f);
    EXPECT_EQ(State("swing")->ended, 0);
}

// A trigger on a clear flag fires on every update, restarting its animation, until the flag is
// set; the animation then runs on.
TEST_F(PuppetTest, NotTriggerRestartsEveryUpdate) {
    Load("swing { trigger { !state idle } }");
    for (int i = 0; i < 2; i++) {
        MV2PuppetUpdate(instance_, nullptr, 3.0f);
        EXPECT_EQ(instance_->playing, State("swing"));
        EXPECT_EQ(State("swing")->position, 0.0f);
        EXPECT_EQ(State("swing")->ordinal, 1);
        EXPECT_EQ(Arm()->accumulators[0], 0);
    }
    MV2PuppetSetStateFlag(instance_, "idle", 1);
    MV2PuppetUpdate(instance_, nullptr, 3.0f);
    EXPECT_FLOAT_EQ(State("swing")->position, 3.0f);
    EXPECT_EQ(Arm()->accumulators[0], 90 * 128 * 153);
}

// Two animations playing on one node add their rotations (and translations).
TEST_F(PuppetTest, TwoAnimationsOnOneNodeAdd) {
    Load();
    MV2PuppetPlayAnim(instance_, Anim("swing"));
    MV2PuppetPlayAnim(instance_, Anim("lift"));
    MV2PuppetUpdate(instance_, nullptr, 5.0f);
    EXPECT_EQ(Arm()->accumulators[0], 60 * kDegree);
    EXPECT_EQ(Arm()->accumulators[4], 4 * kDegree);
    ExpectNear(Arm()->world.right, {0.5f, 0, -std::sqrt(3.0f) / 2});
    ExpectNear(Arm()->world.pos, {0, 3, 0}); // 4 above the body, which stands 1 below the owner
    MV2PuppetStopAnim(instance_, Anim("lift"));
    MV2PuppetUpdate(instance_, nullptr, 0.0f);
    EXPECT_EQ(Arm()->accumulators[0], 45 * kDegree);
}

// The foot node's motion moves the owner in x and z; below the threshold the result is 0.
TEST_F(PuppetTest, FootMovesTheOwner) {
    Load("walk { foot body }");
    TvMatrix owner;
    TvMatrixSetIdentity(&owner);
    owner.pos = {5, 7, 5};
    MV2PuppetPlayAnim(instance_, Anim("walk"));
    EXPECT_EQ(MV2PuppetUpdate(instance_, &owner, 0.1f), 0); // the body moves 2/256
    ExpectNear(owner.pos, {5 - 2.0f / 256, 7, 5});
    EXPECT_FALSE(owner.flags & kTvMatrixIdentity);
    const TvV3d up{0, 1, 0};
    TvMatrixRotate(&owner, &up, 90, kTvCombineReplace);
    owner.pos = {5, 7, 5};
    EXPECT_EQ(MV2PuppetUpdate(instance_, &owner, 5.0f), 1); // 128 x 261 >> 8 = 130/256
    ExpectNear(owner.pos, {5, 7, 5 + (130.0f - 2) / 256});
}

// Skinning: rest pose, shared and duplicated vertices, a whole and a partial deformation.
TEST_F(PuppetTest, BindClumpDeformsTheGeometry) {
    Load();
    MV2PuppetBindClump(instance_);
    ExpectNear(Vertices()[0], {1, -2, 0}); // mean of the body's (1, -1, 0) and the arm's (1, -3, 0)
    ExpectNear(Vertices()[1], {0, -1, 1});
    ExpectNear(Vertices()[2], {0, 0, 0});
    ExpectNear(Vertices()[3], {1, 0, 0});
    ExpectNear(Vertices()[4], {0, 0, 0});
    ExpectNear(instance_->normals[0], {0, 1, 0});
    EXPECT_EQ(instance_->bound, 1);
    EXPECT_TRUE(instance_->atomic->interpolator.flags & kTpInterpolateSphere);

    // 45 degrees is past the track's end: the keys apply whole.
    MV2PuppetPlayAnim(instance_, Anim("swing"));
    MV2PuppetUpdate(instance_, nullptr, 5.0f);
    MV2PuppetBindClump(instance_);
    const float h = std::sqrt(0.5f);
    ExpectNear(Vertices()[2], {h, 2, h});
    ExpectNear(Vertices()[3], {3 * h, 2, h});
    ExpectNear(Vertices()[4], Vertices()[2]);

    // A hook holds the arm at 6 degrees: 1 degree past the start, a tenth of the range.
    MV2PuppetStopAnim(instance_, Anim("swing"));
    puppet_->hook = [](MV2PuppetInstance* in) {
        in->nodes[1].accumulators[0] = 6 * kDegree;
        in->nodes[1].accumulators[4] = 2 * kDegree;
    };
    MV2PuppetUpdate(instance_, nullptr, 1.0f);
    MV2PuppetBindClump(instance_);
    const float s = std::sin(6 * 3.14159265f / 180), c = std::cos(6 * 3.14159265f / 180);
    ExpectNear(Vertices()[2], {0.1f * s, 2, 0.1f * c});
    MV2PuppetBindClump(instance_); // the scratch of the last skinning is not counted twice
    ExpectNear(Vertices()[2], {0.1f * s, 2, 0.1f * c});
}

// Start events run when a trigger fires, in the reverse of their order in the file; end events
// when the animation wraps; a trigger on an animation's end starts at its wrapped position.
TEST_F(PuppetTest, EventsAndCallbacks) {
    Load("swing { trigger { state go }"
         "  start { callback ad +state a !state a anim lift callback zapend }"
         "  end { -anim lift callback bd } }"
         "walk { trigger { -anim swing } }");
    MV2PuppetSetStateFlag(instance_, "go", 1);
    MV2PuppetUpdate(instance_, nullptr, 5.0f);
    EXPECT_EQ(calls_, (std::vector<std::string>{"zapend", "ad"}));
    EXPECT_EQ(*MV2PuppetGetEventSlot(&instance_->flags, MV2PuppetAddStateFlag(&instance_->flags, "a")), 1);
    EXPECT_TRUE(State("lift")->playing);
    MV2PuppetSetStateFlag(instance_, "go", 0);
    calls_.clear();
    MV2PuppetUpdate(instance_, nullptr, 5.0f);
    EXPECT_TRUE(calls_.empty());
    MV2PuppetUpdate(instance_, nullptr, 7.0f);
    EXPECT_EQ(calls_, std::vector<std::string>{"bd"});
    EXPECT_FALSE(State("swing")->playing);
    EXPECT_FALSE(State("lift")->playing);
    EXPECT_EQ(instance_->playing, State("walk"));
    EXPECT_FLOAT_EQ(State("walk")->position, 2.0f);
    EXPECT_EQ(State("walk")->ordinal, 1);
}

// Callback rows are found by their whole name in the sorted table.
TEST_F(PuppetTest, CallbackLookup) {
    Load();
    const std::pair<const char*, int32_t> names[] = {
        {"ad", 0}, {"bd", 1}, {"zapend", 2}, {"zapstart", 3}, {"za", -1}, {"zapstartx", -1},
        {"a", -1}, {"zz", -1}, {"", -1}};
    for (const auto& [name, row] : names)
        EXPECT_EQ(MV2PuppetFindCallback(puppet_, name), row) << name;
    // A column walk alone would land on "bd" for "ad" here.
    const MV2PuppetCallback table[2] = {{"ab", nullptr}, {"bd", nullptr}};
    puppet_->callbacks = table;
    puppet_->callbackCount = 2;
    EXPECT_EQ(MV2PuppetFindCallback(puppet_, "ad"), -1);
    EXPECT_EQ(MV2PuppetFindCallback(puppet_, "bd"), 1);
    puppet_->callbacks = callbacks_;
}

// Nodes and state flags by name.
TEST_F(PuppetTest, NamesAndFlags) {
    Load();
    EXPECT_EQ(MV2PuppetFindNode(instance_, "left_arm"), Arm());
    EXPECT_EQ(MV2PuppetFindNode(instance_, "left arm"), Arm());
    EXPECT_EQ(MV2PuppetFindNode(instance_, "left"), nullptr);
    EXPECT_EQ(MV2PuppetFindDefNode(puppet_, "body"), &puppet_->nodes[0]);
    MV2PuppetPlayAnim(instance_, Anim("swing")); // the arm stands at its pivot, 1 above the owner
    MV2PuppetUpdate(instance_, nullptr, 1.0f);
    const TvV3d near{0, 0.9f, 0}, far{2000, 0, 0};
    EXPECT_EQ(MV2PuppetFindNearestNode(instance_, &near), Arm());
    EXPECT_EQ(MV2PuppetFindNearestNode(instance_, &far), nullptr);

    MV2PuppetFlagList list{};
    EXPECT_EQ(MV2PuppetAddStateFlag(&list, "first"), 0);
    EXPECT_EQ(MV2PuppetAddStateFlag(&list, "sixteen_bytes_ab_and_more"), 1);
    EXPECT_EQ(MV2PuppetAddStateFlag(&list, "sixteen_bytes_ab"), 1);
    EXPECT_EQ(MV2PuppetAddStateFlag(&list, "first"), 0);
    EXPECT_STREQ(list.last->name, "sixteen_bytes_ab");
    *MV2PuppetGetEventSlot(&list, 1) = 4;
    EXPECT_EQ(list.last->value, 4);
    EXPECT_EQ(MV2PuppetGetEventSlot(&list, 2), nullptr);
    EXPECT_EQ(MV2PuppetGetEventSlot(&list, -1), nullptr);
    MV2PuppetFreeFlags(&list);
}

// Hit shapes give part triangles facing a sphere's centre, with the shape's node id and motion.
TEST_F(PuppetTest, PartTriangles) {
    Load();
    MV2TriangleHit hits[kMV2PuppetMaxPartTriangles];
    MV2PuppetPart parts[kMV2PuppetMaxPartTriangles];
    const TvV3d above{0.2f, -0.5f, 0.2f}, below{0.2f, -1.5f, 0.2f}, beside{5, -0.5f, 5};
    ASSERT_EQ(MV2PuppetGetPartTriangles(instance_, &above, 1, 20, hits, parts), 1);
    EXPECT_EQ(parts[0].id, 20u);
    ExpectNear(hits[0].normal, {0, 1, 0});
    ExpectNear(*hits[0].vertices[0], {0, -1, 0});
    ExpectNear(*hits[0].vertices[1], {0, -1, 1});
    ExpectNear(*hits[0].vertices[2], {1, -1, 0});
    EXPECT_EQ(MV2PuppetGetPartTriangles(instance_, &below, 1, 20, hits, parts), 0);
    EXPECT_EQ(MV2PuppetGetPartTriangles(instance_, &beside, 1, 20, hits, parts), 0);
    EXPECT_EQ(MV2PuppetGetPartTriangles(instance_, &above, 0.4f, 20, hits, parts), 0);
    EXPECT_EQ(MV2PuppetGetPartTriangles(instance_, &above, 1, 0, hits, parts), 0);

    MV2PuppetPlayAnim(instance_, Anim("walk"));
    MV2PuppetUpdate(instance_, nullptr, 5.0f);
    const TvV3d moved{0.7f, -0.5f, 0.2f};
    ASSERT_EQ(MV2PuppetGetPartTriangles(instance_, &moved, 1, 20, hits, parts), 1);
    ExpectNear(parts[0].motion, {0.5f, 0, 0});

    // The object whose clump the instance poses gets the same triangles for its collisions;
    // a part moves at ten times its motion, turned into world space by the object's matrix.
    MV2Object object{};
    object.clump = clump_;
    TvMatrix turn{};
    turn.right = {0, 0, -1}, turn.up = {0, 1, 0}, turn.at = {1, 0, 0};
    object.matrix = &turn;
    uint32_t ids[kMV2PuppetMaxPartTriangles];
    TvV3d velocities[kMV2PuppetMaxPartTriangles];
    ASSERT_EQ(MV2ObjectPuppetPartTriangles(&object, &moved, 1, 20, hits, ids, velocities), 1);
    EXPECT_EQ(ids[0], 20u);
    ExpectNear(velocities[0], {0, 0, -5});
    MV2PuppetFreeAnims(instance_);
    instance_ = nullptr;
    EXPECT_EQ(MV2ObjectPuppetPartTriangles(&object, &moved, 1, 20, hits, ids, velocities), 0);
}

// The loader reads the three files of a model folder; each may be missing.
TEST_F(PuppetTest, LoadAnimSetFromFolder) {
    DataFolder folder;
    folder.Write("clump/boss/puppet.pup", PuppetFileBytes(TwoNodePuppet()));
    folder.Write("clump/boss/anims.bin", AnimsFileBytes(PuppetAnims()));
    folder.Write("clump/boss/anim.txt", std::string("swing { trigger { state go } }"));
    MV2AnimSet set{};
    set.clump = clump_;
    std::strcpy(set.folder, ".\\clump\\boss");
    EXPECT_EQ(MV2LoadAnimSet(&set, callbacks_, 4), 1);
    EXPECT_STREQ(set.folder, ".\\clump\\boss\\");
    ASSERT_NE(set.puppet, nullptr);
    EXPECT_EQ(set.puppet->nodeCount, 2);
    EXPECT_EQ(set.puppet->animCount, 3);
    EXPECT_EQ(set.puppet->callbackCount, 4);
    EXPECT_NE(MV2PuppetFindAnim(set.puppet, "swing")->triggers, nullptr);

    // No script: 0, with the puppet and its animations read.
    std::strcpy(set.folder, ".\\clump\\boss\\");
    std::remove((folder.path() + "/clump/boss/anim.txt").c_str());
    EXPECT_EQ(MV2LoadAnimSet(&set, callbacks_, 4), 0);
    ASSERT_NE(set.puppet, nullptr);
    EXPECT_EQ(set.puppet->animCount, 3);

    // No puppet file: a puppet without nodes, whose instances leave the geometry alone.
    std::strcpy(set.folder, ".\\clump\\none");
    EXPECT_EQ(MV2LoadAnimSet(&set, callbacks_, 4), 0);
    ASSERT_NE(set.puppet, nullptr);
    EXPECT_EQ(set.puppet->nodeCount, 0);
    MV2PuppetInstance* empty = MV2CreateAnimInstance(set.puppet, clump_, nullptr);
    ASSERT_NE(empty, nullptr);
    MV2PuppetUpdate(empty, nullptr, 1.0f);
    MV2PuppetBindClump(empty);
    EXPECT_EQ(MV2GetFirstAtomic(clump_)->geometry->morphTargets[0].vertices[3].x, 1.0f);
    MV2PuppetFreeAnims(empty);

    // A refused puppet file: no puppet.
    PuppetFileRecord bad = TwoNodePuppet();
    bad.nodes[1].parent = 99;
    folder.Write("clump/bad/puppet.pup", PuppetFileBytes(bad));
    std::strcpy(set.folder, ".\\clump\\bad\\");
    EXPECT_EQ(MV2LoadAnimSet(&set, callbacks_, 4), 0);
    EXPECT_EQ(set.puppet, nullptr);
    MV2DestroyAnimSet(&set);
}

// The turn about the up vector comes first, then the turns about the matrix's own right and at
// vectors, each concatenated after it; the root stands 1 below the owner.
TEST_F(PuppetTest, PoseTurnsAboutUpThenRightThenAt) {
    Load();
    puppet_->hook = [](MV2PuppetInstance* in) {
        int32_t* a = in->nodes[0].accumulators;
        a[0] = 30 * kDegree;
        a[1] = 20 * kDegree;
        a[2] = -50 * kDegree;
        a[3] = kDegree / 2;
    };
    MV2PuppetUpdate(instance_, nullptr, 1.0f);
    TvMatrix want;
    TvMatrixSetIdentity(&want);
    TvV3d axis = want.up;
    TvMatrixRotate(&want, &axis, 30, kTvCombineReplace);
    axis = want.right;
    TvMatrixRotate(&want, &axis, 20, kTvCombinePostConcat);
    axis = want.at;
    TvMatrixRotate(&want, &axis, -50, kTvCombinePostConcat);
    const TvMatrix& got = instance_->nodes[0].world;
    ExpectNear(got.right, want.right);
    ExpectNear(got.up, want.up);
    ExpectNear(got.at, want.at);
    ExpectNear(got.pos, {0.5f, -1, 0});
}

// A vertex that no node writes is cleared; one written by two nodes sums even when its node
// count says 1.
TEST_F(PuppetTest, BindSumsWhatTheNodesWrite) {
    PuppetFileRecord file = TwoNodePuppet();
    file.vertexNodeCounts = {1, 1, 1, 1};
    file.nodes[0].vertices = {0};
    Load("", file);
    MV2PuppetBindClump(instance_);
    ExpectNear(Vertices()[0], {2, -4, 0}); // (1, -1, 0) + (1, -3, 0)
    ExpectNear(Vertices()[1], {0, 0, 0});
    ExpectNear(instance_->normals[1], {0, 0, 0});
    ExpectNear(instance_->normals[0], {0, 2, 0});
}
