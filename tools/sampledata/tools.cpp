#include "tools/sampledata/tools.h"

#include <cstring>
#include <filesystem>

#include "tests/support/chunk_writer.h"
#include "tests/support/frame_list_writer.h"
#include "tests/support/level_writer.h"
#include "tests/support/pack_writer.h"
#include "tests/support/resfile_writer.h"
#include "tests/support/world_writer.h"
#include "tools/sampledata/objects.h"
#include "tools/sampledata/sampledata.h"

namespace {

namespace fs = std::filesystem;

constexpr uint32_t kPartTagPlugin = 368;

// A type of level group 0 on a model; `blocks` private records a chunk.
std::vector<uint8_t> Type(uint32_t type, const char* model, uint32_t blocks, float energy, float radius,
                          uint32_t flags = 0, bool body = false) {
    std::vector<uint8_t> r = TypeRecord(type);
    SampleTypeSetName(r, 34, model);
    SampleTypeSetFloat(r, 1, energy);
    SampleTypeSetFloat(r, 10, radius);
    SampleTypeSetFloat(r, 11, radius);
    SampleTypeSetWord(r, 7, flags);
    SampleTypeSetWord(r, 30, 0xFFFF);
    SampleTypeSetWord(r, 32, blocks << 16);
    SampleTypeSetWord(r, 69, 100);
    SampleTypeSetWord(r, 70, 100);
    if (body) {
        SampleTypeSetWord(r, 31, (1u << 28) | (8u << 14) | 8u);
        SampleTypeSetWord(r, 33, 1u << 12);
        SampleTypeSetFloat(r, 2, 1.0f);
        SampleTypeSetFloat(r, 3, 1.0f);
    }
    return r;
}

// A craft served by the player's submarine definition.
std::vector<uint8_t> Craft(uint32_t type, const char* model, float radius) {
    std::vector<uint8_t> r = Type(type, model, 2, 100.0f, radius, (1u << 0) | (1u << 1) | (1u << 4) | (1u << 20), true);
    SampleTypeSetName(r, 38, "PLAYERSUB");
    return r;
}

// An octahedron of the radius, stretched along z by `length`.
GeometryRecord Dart(float radius, float length) {
    GeometryRecord g;
    g.numVertices = 6;
    MorphRecord m;
    m.vertices = {{radius, 0, 0}, {-radius, 0, 0}, {0, radius, 0}, {0, -radius, 0}, {0, 0, length}, {0, 0, -length}};
    m.sphere = {0, 0, 0, radius > length ? radius : length};
    g.morphs.push_back(m);
    const uint16_t tris[8][3] = {{0, 2, 4}, {4, 2, 1}, {1, 2, 5}, {5, 2, 0}, {0, 4, 3}, {4, 1, 3}, {1, 5, 3}, {5, 0, 3}};
    for (const auto& t : tris)
        g.triangles.push_back({t[0], t[1], t[2], 0xFFFF});
    return g;
}

std::vector<uint8_t> Tag(uint32_t tag) {
    return {uint8_t(tag), uint8_t(tag >> 8), uint8_t(tag >> 16), uint8_t(tag >> 24)};
}

// A root atomic (tag 1 unless given) and one child frame and atomic per further tag.
std::string Model(float radius, float length, const std::vector<uint32_t>& tags = {}, uint32_t rootTag = 1) {
    std::vector<FrameRecord> frames = {FrameAt(0, 0, 0, -1)};
    std::vector<AtomicRecord> atomics(1);
    atomics[0].frameIndex = 0;
    atomics[0].geometry = Dart(radius, length);
    atomics[0].extension = {{kPartTagPlugin, Tag(rootTag)}};
    float y = 0.0f;
    for (uint32_t tag : tags) {
        y += 0.2f;
        frames.push_back(FrameAt(0, y, 0, 0));
        AtomicRecord a;
        a.frameIndex = int32_t(frames.size() - 1);
        a.geometry = Dart(radius * 0.3f, length * 0.3f);
        a.extension = {{kPartTagPlugin, Tag(tag)}};
        atomics.push_back(a);
    }
    ChunkWriter w;
    WriteClump(w, frames, atomics);
    return std::string(w.data().begin(), w.data().end());
}

} // namespace

void SampleToolTypeRecords(std::vector<std::vector<uint8_t>>& types) {
    types.push_back(Type(52, "MAGHEAD", 2, 100.0f, 0.15f, (1u << 0) | (1u << 1), true));
    types.push_back(Type(53, "MAGLINK", 16, 100.0f, 0.05f, 0, true));
    types.push_back(Craft(167, "ROV", 0.3f));
    types.push_back(Type(296, "FLARE", 8, 1.0f, 0.05f, (1u << 0) | (1u << 1), true));
    types.push_back(Type(97, "FLOATER", 4, 100.0f, 0.2f, 0, true));
    types.push_back(Type(286, "STONEBAL", 0, 100.0f, 1.0f));
    types.push_back(Craft(96, "TURRET", 0.6f));
    for (uint32_t pickup : {439u, 452u})
        types.push_back(Type(pickup, "PICKUP", 4, 100.0f, 0.3f));
    types.push_back(Type(451, "PICKUP", 2, 100.0f, 0.5f));
    // The suck-up's beam, a dirt column carrying its own specks.
    types.push_back(Type(135, "FLARE", 0, 100.0f, 0.05f));
}

void SampleToolModels(std::vector<PackWriterEntry>& clumpPack) {
    clumpPack.push_back({"MAGHEAD.DFF", Model(0.15f, 0.1f)});
    clumpPack.push_back({"MAGLINK.DFF", Model(0.03f, 0.09f)});
    // The remote vehicle's dock (tag 808) hangs under the player's craft model separately.
    clumpPack.push_back({"ROV.DFF", Model(0.25f, 0.35f)});
    clumpPack.push_back({"FLARE.DFF", Model(0.04f, 0.08f)});
    clumpPack.push_back({"FLOATER.DFF", Model(0.2f, 0.2f)});
    clumpPack.push_back({"STONEBAL.DFF", Model(1.0f, 1.0f)});
    // The turret's parts: gun 1 (the root), fold frames 2-4, mount 6, barrel 8, the hidden 9.
    clumpPack.push_back({"TURRET.DFF", Model(0.5f, 0.4f, {2, 3, 4, 6, 8, 9})});
    clumpPack.push_back({"PICKUP.DFF", Model(0.3f, 0.3f)});
}

void SampleToolLevelRecords(LevelDesc& level) {
    // A folded turret lying on the floor near the start.
    level.records.push_back({0x0042FFFF, 1, {LevelItemAt(0x00420005, 96, 55, 6, 30)}});
    // A burst-drive pickup just ahead of the start (never refused), an energy pickup with its
    // glow light aside, and a teleporter pair sharing link 7.
    level.records.push_back({0x0043FFFF, 1,
                             {LevelItemAt(0x00430000, 452, 50, 10, 27), LevelItemAt(0x00430003, 439, 58, 8, 20),
                              LevelItemWithParameter(0x00430001, 451, 45, 8, 35, 7.0f),
                              LevelItemWithParameter(0x00430002, 451, 62, 8, 40, 7.0f)}});
}

bool SampleDataWriteTools(const std::string& folder) {
    // Damage, initial ammunition, ammunition a pickup, four maxima; one row a weapon.
    const std::string csv =
        "weapon,damage,initial,per pickup,max1,max2,max3,max4\r\n"
        "bolt,1.0,50,25,100,150,200,250\r\n"
        "machine gun,0.5,200,100,400,600,800,999\r\n"
        "shotgun,2.0,10,5,20,30,40,50\r\n"
        "homing,4.0,4,2,8,12,16,20\r\n"
        "laser,1.5,30,15,60,90,120,150\r\n"
        "stinger,3.0,6,3,12,18,24,30\r\n";
    const fs::path path = fs::path(folder) / "DATA" / "mpweapon.csv";
    return SampleDataWriteFile(path.string(), std::vector<uint8_t>(csv.begin(), csv.end()));
}
