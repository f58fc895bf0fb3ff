// The player's types in the sample folder: the player's craft, its shots (bolts, bullets,
// homing missiles), the muzzle flash, debris pieces and a target group with its sockets, with
// generated models for clump.pak.
#include "tools/sampledata/player.h"

#include <cmath>
#include <cstring>

#include "tests/support/chunk_writer.h"
#include "tests/support/frame_list_writer.h"
#include "tests/support/pack_writer.h"
#include "tests/support/resfile_writer.h"
#include "tests/support/world_writer.h"

namespace {

constexpr uint32_t kPartTagPlugin = 368;

void SetWord(std::vector<uint8_t>& r, int32_t word, uint32_t v) {
    for (int i = 0; i < 4; i++)
        r[size_t(4 * word + i)] = uint8_t(v >> (8 * i));
}

void SetFloat(std::vector<uint8_t>& r, int32_t word, float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    SetWord(r, word, v);
}

void SetName(std::vector<uint8_t>& r, int32_t word, const char* name) {
    std::memcpy(&r[size_t(4 * word)], name, std::strlen(name));
}

// A type of level group 0 on a model; `blocks` private records a chunk.
std::vector<uint8_t> Type(uint32_t type, const char* model, uint32_t blocks, float energy,
                          float radius) {
    std::vector<uint8_t> r = TypeRecord(type);
    SetName(r, 34, model);
    SetFloat(r, 1, energy);
    SetFloat(r, 10, radius);
    SetFloat(r, 11, radius);
    SetWord(r, 30, 0x1);
    SetWord(r, 32, blocks << 16);
    SetWord(r, 69, 100);
    SetWord(r, 70, 100);
    return r;
}

// A moving body in water (drag medium 8) colliding with objects and the landscape.
void Moving(std::vector<uint8_t>& r, uint32_t extraFlags) {
    SetWord(r, 7, (1u << 0) | (1u << 1) | extraFlags);
    SetWord(r, 31, (1u << 28) | (8u << 14) | 8u);
    SetWord(r, 33, 1u << 12);
    SetFloat(r, 2, 1.0f);
    SetFloat(r, 3, 1.0f);
}

// An octahedron of the given radius about the origin, stretched along z by `length`.
GeometryRecord Dart(float radius, float length) {
    GeometryRecord g;
    g.numVertices = 6;
    MorphRecord m;
    m.vertices = {{radius, 0, 0}, {-radius, 0, 0}, {0, radius, 0},
                  {0, -radius, 0}, {0, 0, length}, {0, 0, -length}};
    const float r = std::fmax(radius, length);
    m.sphere = {0, 0, 0, r};
    g.morphs.push_back(m);
    const uint16_t tris[8][3] = {{0, 2, 4}, {4, 2, 1}, {1, 2, 5}, {5, 2, 0},
                                 {0, 4, 3}, {4, 1, 3}, {1, 5, 3}, {5, 0, 3}};
    for (const auto& t : tris)
        g.triangles.push_back({t[0], t[1], t[2], 0xFFFF});
    return g;
}

std::vector<uint8_t> Tag(uint32_t tag) {
    return {uint8_t(tag), uint8_t(tag >> 8), uint8_t(tag >> 16), uint8_t(tag >> 24)};
}

// A model of atomics on frames under the root, each with its part tag.
std::string Model(const std::vector<FrameRecord>& frames, std::vector<AtomicRecord> atomics,
                  const std::vector<uint32_t>& tags) {
    for (size_t i = 0; i < atomics.size(); i++)
        atomics[i].extension = {{kPartTagPlugin, Tag(tags[i])}};
    ChunkWriter w;
    WriteClump(w, frames, atomics);
    return std::string(w.data().begin(), w.data().end());
}

std::string OneAtomic(const GeometryRecord& g) {
    AtomicRecord a;
    a.geometry = g;
    return Model({FrameAt(0, 0, 0, -1)}, {a}, {1});
}

} // namespace

void SamplePlayerTypeRecords(std::vector<std::vector<uint8_t>>& types) {
    // The player's craft: the submarine handler, the PLAYERSUB definition, a deep limit.
    std::vector<uint8_t> craft = Type(kSamplePlayerCraftType, "PLAYSUB", 4, 200.0f, 1.0f);
    Moving(craft, (1u << 4) | (1u << 20));
    SetName(craft, 38, "PLAYERSUB");
    SetWord(craft, 29, (400u << 16) | 400u);
    types.push_back(craft);
    // Bolts (glow kind 2) and bullets (glow kind 4).
    for (uint32_t type : {kSampleBoltType, kSampleSmallBoltType}) {
        std::vector<uint8_t> bolt = Type(type, "BOLT", 16, 1.0f, 0.15f);
        Moving(bolt, 0);
        SetWord(bolt, 32, (16u << 16) | (2u << 24));
        types.push_back(bolt);
    }
    std::vector<uint8_t> bullet = Type(kSampleBulletType, "BULLET", 32, 1.0f, 0.05f);
    SetWord(bullet, 32, (32u << 16) | (4u << 24));
    types.push_back(bullet);
    std::vector<uint8_t> missile = Type(kSampleHomingType, "HOMING", 8, 1.0f, 0.2f);
    Moving(missile, 0);
    types.push_back(missile);
    types.push_back(Type(kSampleMuzzleFlashType, "FLASH", 4, 1.0f, 0.1f));
    // The light object the muzzle flash, pickups and the craft's lamps make.
    types.push_back(Type(kSampleLightObjectType, "LAMP", 4, 1.0f, 0.05f));
    std::vector<uint8_t> debris = Type(kSampleDebrisType, "DEBRIS", 0, 4.0f, 0.3f);
    Moving(debris, 1u << 20);
    types.push_back(debris);
    // A target group whose sockets sit on its surface.
    std::vector<uint8_t> group = Type(kSampleTargetGroupType, "TGROUP", 2, 100.0f, 2.0f);
    SetWord(group, 7, 1u << 2);
    types.push_back(group);
    types.push_back(Type(kSampleSocketType, "SOCKET", 12, 100.0f, 0.2f));
}

void SamplePlayerModels(std::vector<PackWriterEntry>& clumpPack) {
    // The craft: a hull with two gun mounts (tags 200 and 201) on its sides.
    AtomicRecord hull, left, right;
    hull.frameIndex = 0;
    hull.geometry = Dart(0.6f, 1.2f);
    left.frameIndex = 1;
    left.geometry = Dart(0.05f, 0.2f);
    right.frameIndex = 2;
    right.geometry = Dart(0.05f, 0.2f);
    clumpPack.push_back({"PLAYSUB.DFF", Model({FrameAt(0, 0, 0, -1), FrameAt(-0.7f, 0, 0.5f, 0),
                                              FrameAt(0.7f, 0, 0.5f, 0)},
                                             {hull, left, right}, {1, 200, 201})});
    clumpPack.push_back({"BOLT.DFF", OneAtomic(Dart(0.1f, 0.15f))});
    clumpPack.push_back({"BULLET.DFF", OneAtomic(Dart(0.03f, 0.05f))});
    clumpPack.push_back({"HOMING.DFF", OneAtomic(Dart(0.06f, 0.2f))});
    clumpPack.push_back({"FLASH.DFF", OneAtomic(Dart(0.1f, 0.1f))});
    clumpPack.push_back({"LAMP.DFF", OneAtomic(Dart(0.02f, 0.02f))});
    clumpPack.push_back({"DEBRIS.DFF", OneAtomic(Dart(0.2f, 0.3f))});
    clumpPack.push_back({"TGROUP.DFF", OneAtomic(Dart(2.0f, 2.0f))});
    clumpPack.push_back({"SOCKET.DFF", OneAtomic(Dart(0.1f, 0.2f))});
}
