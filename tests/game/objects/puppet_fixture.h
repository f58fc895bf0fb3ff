// Puppet tests: an engine with the world library, a clump of one atomic whose geometry has five
// vertices with normals (the last duplicates the third), and a two-node puppet for it.
//
// Nodes: "body" (id 10, the root, vertices 0 and 1) and "left_arm" (id 20, child of the body,
// pivot (0, 2, 0), vertices 2, 3 and 0 (which it shares with the body), one deformation track of
// two keys (on vertices 2 and 3) driven by its own
// rotation about y, and a hit shape of one upward-facing triangle).
// Animations (keyframe 0 at t 0, keyframe 1 over 0..10): "swing" turns the arm about y from 0 to
// 90 degrees and holds it at its pivot; "lift" turns it from 0 to 30; "walk" moves the body from
// x 0 to 1.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/world/clump.h"
#include "game/objects/animscript.h"
#include "game/objects/puppets.h"
#include "tests/support/puppet_clump.h"
#include "tests/support/puppet_writer.h"
#include "tests/support/world_writer.h"

inline constexpr TvV3d kPuppetVertices[5] = {
    {1, 0, 0}, {0, 0, 1}, {0, 3, 0}, {1, 3, 0}, {0, 3, 0}};

inline TpClump* MakePuppetClump(int32_t vertices = 5) {
    std::vector<TvV3d> v;
    for (int32_t i = 0; i < vertices; i++)
        v.push_back(kPuppetVertices[i % 5]);
    return MakeVertexClump(v.data(), vertices);
}

inline PuppetFileRecord TwoNodePuppet() {
    PuppetFileRecord f;
    f.duplicates = {2};
    f.vertexNodeCounts = {2, 1, 1, 1};
    f.nodes.push_back({0, 10, "body", {0, 0, 0}, {0, 1}, {}});
    PuppetTrackRecord track{20, 0, 10.0f, 20.0f, {{0, {0, 0, 1}, {0, 0, 0}}, {1, {0, 0, 2}, {0, 0, 0}}}};
    f.nodes.push_back({10, 20, "left_arm", {0, 2, 0}, {2, 3, 0}, {track}});
    f.shapes.push_back({20, {{0, 0, 0}, {1, 0, 0}, {0, 0, 1}}, {{{0, 2, 1}}}});
    return f;
}

// Node 20 turning about y from `from` to `to` degrees while held at its pivot.
inline AnimRecord TurnAnim(const std::string& name, float to) {
    return {name, {20}, {{0, 0, {0, 0, 0, 0, 2, 0}}, {0, 10, {to, 0, 0, 0, 2, 0}}}};
}

inline std::vector<AnimRecord> PuppetAnims() {
    return {TurnAnim("swing", 90), TurnAnim("lift", 30),
            {"walk", {10}, {{0, 0, {0, 0, 0, 0, 0, 0}}, {0, 10, {0, 0, 0, 1, 0, 0}}}}};
}

class PuppetTest : public ::testing::Test {
public:
    void SetUp() override {
        ASSERT_TRUE(engine_.ok());
        clump_ = MakePuppetClump();
    }
    void TearDown() override {
        MV2PuppetFreeAnims(instance_);
        MV2PuppetDestroy(puppet_);
        if (clump_) TpClumpDestroy(clump_);
    }

    // Reads the puppet and animations, parses the script and makes an instance.
    void Load(const std::string& script = "", const PuppetFileRecord& file = TwoNodePuppet(),
              const std::vector<AnimRecord>& anims = PuppetAnims()) {
        const std::vector<uint8_t> pup = PuppetFileBytes(file);
        puppet_ = MV2PuppetReadBytes(clump_, pup.data(), pup.size(), 0);
        ASSERT_NE(puppet_, nullptr);
        const std::vector<uint8_t> bin = AnimsFileBytes(anims);
        ASSERT_EQ(MV2AnimsReadBytes(puppet_, bin.data(), bin.size()), 1);
        puppet_->callbacks = callbacks_;
        puppet_->callbackCount = 4;
        script_ = MV2AnimScriptParseText(puppet_, script.data(), script.size());
        instance_ = MV2CreateAnimInstance(puppet_, clump_, this);
        ASSERT_NE(instance_, nullptr);
    }

    int32_t Anim(const char* name) const {
        const MV2PuppetAnim* a = MV2PuppetFindAnim(puppet_, name);
        return a ? a->index : -1;
    }
    MV2PuppetAnimState* State(const char* name) const { return &instance_->states[Anim(name)]; }
    MV2PuppetNodeInstance* Arm() const { return &instance_->nodes[1]; }
    TvV3d* Vertices() const { return instance_->vertices; }

    static void Count(void* user) { static_cast<PuppetTest*>(user)->calls_.push_back("ad"); }
    static void CountBd(void* user) { static_cast<PuppetTest*>(user)->calls_.push_back("bd"); }
    static void CountEnd(void* user) { static_cast<PuppetTest*>(user)->calls_.push_back("zapend"); }

    WorldEngine engine_;
    TpClump* clump_ = nullptr;
    MV2Puppet* puppet_ = nullptr;
    MV2PuppetInstance* instance_ = nullptr;
    int32_t script_ = -1;
    std::vector<std::string> calls_;
    // Sorted by name, as the loader expects.
    MV2PuppetCallback callbacks_[4] = {
        {"ad", Count}, {"bd", CountBd}, {"zapend", CountEnd}, {"zapstart", nullptr}};
};
