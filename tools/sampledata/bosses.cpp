// The sample folder's puppet boss: the eel (type 166) on a generated model, its model folder
// ".\clump\bosseel\" with a puppet of four nodes, three keyframed animations and the script that
// plays them (in clump.pak, under its prefix), and level 0's record that places it beside its arena object 0x03080007.
#include "tools/sampledata/bosses.h"

#include <cstring>
#include <string>

#include "tests/support/chunk_writer.h"
#include "tests/support/frame_list_writer.h"
#include "tests/support/level_writer.h"
#include "tests/support/pack_writer.h"
#include "tests/support/puppet_writer.h"
#include "tests/support/resfile_writer.h"
#include "tests/support/world_writer.h"
#include "tools/sampledata/objects.h"

namespace {

constexpr uint32_t kPartTagPlugin = 368;
constexpr uint32_t kEelVertices = 8;

// The eel's body: a long diamond of eight vertices along z.
GeometryRecord EelBody() {
    GeometryRecord g;
    g.numVertices = int32_t(kEelVertices);
    MorphRecord m;
    m.vertices = {{0, 0, 4},  {1, 0, 1},  {0, 1.5f, 1}, {-1, 0, 1},
                  {0, -1, 1}, {0.6f, 0, -3}, {-0.6f, 0, -3}, {0, 0, -5}};
    m.sphere = {0, 0, 0, 5};
    g.morphs.push_back(m);
    const uint16_t tris[12][3] = {{0, 1, 2}, {0, 2, 3}, {0, 3, 4}, {0, 4, 1}, {1, 5, 2},
                                  {2, 6, 3}, {3, 6, 4}, {4, 5, 1}, {5, 7, 2}, {2, 7, 6},
                                  {6, 7, 4}, {4, 7, 5}};
    for (const auto& t : tris)
        g.triangles.push_back({t[0], t[1], t[2], 0xFFFF});
    return g;
}

std::string EelModel() {
    AtomicRecord body;
    body.geometry = EelBody();
    body.extension = {{kPartTagPlugin, {1, 0, 0, 0}}};
    ChunkWriter w;
    WriteClump(w, {FrameAt(0, 0, 0, -1)}, {body});
    return std::string(w.data().begin(), w.data().end());
}

std::vector<uint8_t> EelPuppet() {
    PuppetFileRecord file;
    file.vertexNodeCounts.assign(kEelVertices, 0);
    file.nodes = {{0, 1, "root", {0, 0, 0}, {}, {}},
                  {1, 2, "neck2", {0, 1, 2}, {}, {}},
                  {2, 3, "lowermouth", {0, 0.5f, 3}, {}, {}},
                  {1, 4, "flappy skin", {0, -0.5f, 0}, {}, {}}};
    return PuppetFileBytes(file);
}

// Each animation turns one node out and back over two keyframes.
std::vector<uint8_t> EelAnims() {
    auto swing = [](const char* name, uint32_t node, float degrees, float seconds) {
        AnimRecord a{name, {node}, {}};
        a.keyframes.push_back({0.0f, seconds * 0.5f, {0, degrees, 0, 0, 0, 0}});
        a.keyframes.push_back({seconds * 0.5f, seconds, {0, 0, 0, 0, 0, 0}});
        return a;
    };
    return AnimsFileBytes({swing("tongue", 3, 30.0f, 3.0f), swing("bolt", 2, 10.0f, 1.0f),
                           swing("die", 1, 45.0f, 2.0f)});
}

constexpr const char* kEelScript =
    "tongue { trigger { state dotongue }\n"
    "  start { +state lookat +state mouthopen +state tongueing }\n"
    "  end { -state tongueing -state mouthopen callback tonguestart } }\n"
    "bolt { trigger { state dobolt } start { +state lookat callback zapstart }\n"
    "  end { callback zapend } }\n"
    "die { trigger { state dodie !state dead } start { +state dying -state lookat callback dying }\n"
    "  end { +state dead callback deadnow } }\n";

} // namespace

void SampleBossTypeRecords(std::vector<std::vector<uint8_t>>& types) {
    std::vector<uint8_t> eel = TypeRecord(kSampleEelType);
    SampleTypeSetName(eel, 34, "BOSSEEL");
    SampleTypeSetFloat(eel, 1, 100.0f);
    SampleTypeSetFloat(eel, 10, 15.0f);
    SampleTypeSetFloat(eel, 11, 15.0f);
    SampleTypeSetWord(eel, 7, (1u << 0) | (1u << 20)); // collides with objects, can die
    SampleTypeSetWord(eel, 30, 0x1);                   // level group 0
    SampleTypeSetWord(eel, 69, 100);
    SampleTypeSetWord(eel, 70, 100);
    types.push_back(eel);
}

void SampleBossModels(std::vector<PackWriterEntry>& clumpPack) {
    clumpPack.push_back({"BOSSEEL.DFF", EelModel()});
    // The model folder lies under the pack's prefix, so it is read from the pack.
    const std::vector<uint8_t> puppet = EelPuppet(), anims = EelAnims();
    clumpPack.push_back({"bosseel\\puppet.pup", std::string(puppet.begin(), puppet.end())});
    clumpPack.push_back({"bosseel\\anims.bin", std::string(anims.begin(), anims.end())});
    clumpPack.push_back({"bosseel\\anim.txt", kEelScript});
}

void SampleBossLevelRecords(LevelDesc& level) {
    level.records.push_back({0x0060FFFF, 1,
                             {LevelItemAt(0x00600001, kSampleEelType, 60, 10, 10),
                              LevelItemAt(kSampleEelArenaId, kSampleArenaType, 60, 10, 16)}});
}

