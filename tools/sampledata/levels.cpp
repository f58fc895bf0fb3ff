#include <algorithm>
#include "tools/sampledata/levels.h"

#include <cmath>
#include <cstring>
#include <filesystem>

#include "tests/support/level_writer.h"
#include "tests/support/pack_writer.h"
#include "tests/support/world_stream_writer.h"
#include "tools/sampledata/bosses.h"
#include "tools/sampledata/leveldevices.h"
#include "tools/sampledata/levelobjects.h"
#include "tools/sampledata/mission1.h"
#include "tools/sampledata/sampledata.h"
#include "tools/sampledata/tools.h"

#include <cstring>

namespace {

namespace fs = std::filesystem;

// Objects on the level records are not spawned when a level loads, and level 0 names no default
// start point, until the object-type records and their models are in the sample data: every
// creation would fail without a model.
constexpr bool kSpawnAtLoad = false;
constexpr uint32_t kEveryLoad = kSpawnAtLoad ? 2 : 0;
constexpr uint32_t kFullLoad = kSpawnAtLoad ? 1 : 0;

bool Write(const fs::path& path, const std::vector<uint8_t>& bytes) {
    return SampleDataWriteFile(path.string(), bytes);
}

bool WriteText(const fs::path& path, const std::string& text) {
    return Write(path, std::vector<uint8_t>(text.begin(), text.end()));
}

// A leaf of seabed between x0 and x0 + 50: a 7 by 7 grid of cells, gently rolling; its 98
// triangles fit one collision node (at most 127).
LeafRecord Seabed(float x0, float phase) {
    constexpr int kCells = 7;
    constexpr float kStep = 50.0f / float(kCells);
    LeafRecord leaf;
    for (int z = 0; z <= kCells; z++)
        for (int x = 0; x <= kCells; x++) {
            const float wx = x0 + float(x) * kStep, wz = float(z) * kStep;
            const float y = 2.0f + 1.5f * std::sin(wx * 0.13f + phase) * std::cos(wz * 0.11f);
            leaf.vertices.push_back({wx, y, wz});
        }
    for (int z = 0; z < kCells; z++)
        for (int x = 0; x < kCells; x++) {
            const uint8_t a = uint8_t(z * (kCells + 1) + x), b = uint8_t(a + 1),
                          c = uint8_t(a + kCells + 1), d = uint8_t(c + 1);
            leaf.triangles.push_back({0, a, c, b});
            leaf.triangles.push_back({0, b, c, d});
        }
    leaf.collisionTree = SingleNodeTree(uint8_t(leaf.triangles.size()));
    leaf.box = {{x0, 0, 0, x0 + 50.0f, 20.0f, 50.0f}};
    return leaf;
}

// A plane sector on x = 50 with a leaf of seabed on each side.
std::vector<uint8_t> Landscape(float phase) {
    WorldRecord w;
    MaterialRecord sand;
    sand.rgba = {180, 170, 120, 255};
    w.materials = {sand};
    w.root = PlaneNode(0, 50.0f, 50.0f, 50.0f, LeafNode(Seabed(0.0f, phase)),
                       LeafNode(Seabed(50.0f, phase)));
    return WorldBytes(w);
}

std::vector<uint8_t> Fog(int shift) {
    std::vector<uint8_t> table(256);
    for (int i = 0; i < 256; i++)
        table[size_t(i)] = uint8_t(std::min(255, (i * i) >> (8 - shift)));
    return table;
}

LevelDesc LevelZero() {
    LevelDesc l{0x00FFFFFF};
    l.flags = 1; // sky
    l.defaultStart = kSpawnAtLoad ? 0x00070001 : 0;
    l.darknessDepth = -20.0f;
    l.waterHeight = 30.0f;
    l.skyHeight = 60.0f;
    l.farClip = 30;
    l.minimumLight = 0.2f;
    l.background = 0x00804010;
    l.ambient = 0x00404040;
    l.light = 0x00E0F0FF;
    l.levelName = "lev0";
    l.packName = "lev0";
    l.causticStrength = 0.5f;
    // The default start point and a second one.
    l.records.push_back({0x0007FFFF, 0, {LevelItemAt(0x00070001, 433, 50, 10, 25), LevelItemAt(0x00070002, 433, 20, 10, 20)}});
    // Objects of every load and of a full load.
    l.records.push_back({0x0050FFFF, kEveryLoad, {LevelItemAt(0x00500000, 150, 30, 6, 30)}});
    l.records.push_back({0x0011FFFF, kFullLoad, {LevelItemAt(0x00110000, 376, 70, 8, 40)}});
    // A signal beacon.
    l.records.push_back({0x0051FFFF, kFullLoad, {LevelItemAt(0x00510000, 374, 60, 5, 15)}});
    // The first wall set: its four walls, group 0x22.
    LevelRecordDesc walls{0x0022FFFF};
    const uint32_t wallItems[4] = {0x220000, 0x220006, 0x22000A, 0x22000E};
    // Walls are model items: kind 6 names the clump each is made from.
    for (int i = 0; i < 4; i++) {
        LevelItem wall = LevelItemAt(wallItems[i], 5, 40.0f + 5.0f * float(i), 4, 45, 6);
        wall.kindData = {'B', 'A', 'L', 'L', 0, 0, 0, 0};
        walls.items.push_back(wall);
    }
    l.records.push_back(walls);
    SampleCreatureLevelRecords(l);
    SampleBossLevelRecords(l);
    SampleMissionLevelRecords(l);
    SampleEffects2LevelRecords(l);
    SampleLevelObjectLevelRecords(l);
    SampleMission1LevelRecords(l);
    SampleLevelObjects3LevelRecords(l);
    SampleLevelDeviceLevelRecords(l);
    SampleToolLevelRecords(l);
    return l;
}

LevelDesc LevelOne() {
    LevelDesc l{0x01FFFFFF};
    l.defaultStart = kSpawnAtLoad ? 0x01070001 : 0;
    l.waterHeight = 25.0f;
    l.skyHeight = 50.0f;
    l.farClip = 30;
    l.levelName = "lev1";
    l.packName = "lev1";
    l.records.push_back({0x0107FFFF, 0, {LevelItemAt(0x01070001, 433, 25, 8, 25)}});
    return l;
}

} // namespace

// Level 0's map fields, in the header bytes after the pack name (stored without the id and
// size words): the tile set, two references (the start points) placed 32 map pixels to the
// world unit, and no rotation.
void PutMapFields(ResLevel& level) {
    std::vector<uint8_t>& b = level.body;
    auto word = [&b](size_t index, uint32_t v) {
        for (int k = 0; k < 4; ++k) b[4 * index - 8 + size_t(k)] = uint8_t(v >> (8 * k));
    };
    if (b.size() < 34 * 4 - 8) return;
    std::memset(&b[76 - 8], 0, 32);
    std::memcpy(&b[76 - 8], kSampleMapTiles, std::strlen(kSampleMapTiles));
    word(28, 0x00070001), word(31, 50 * 32), word(32, 25 * 32); // start point (50, 25)
    word(27, 0x00070002), word(29, 20 * 32), word(30, 20 * 32); // start point (20, 20)
    word(33, 0);
}

std::vector<uint32_t> SampleLevelItemTypes() {
    std::vector<uint32_t> types;
    for (const LevelDesc& level : {LevelZero(), LevelOne()})
        for (const LevelRecordDesc& record : level.records)
            for (const LevelItem& item : record.items)
                if (std::find(types.begin(), types.end(), item.type) == types.end())
                    types.push_back(item.type);
    return types;
}

std::vector<ResLevel> SampleLevels() {
    ResLevel zero = LevelResource(LevelZero());
    PutMapFields(zero);
    return {zero, LevelResource(LevelOne())};
}

bool SampleDataWriteLevels(const std::string& folder) {
    const fs::path root(folder);
    bool ok = Write(root / "BSP" / "lev0.bsp", Landscape(0.0f));
    ok = Write(root / "BSP" / "lev1.bsp", Landscape(1.7f)) && ok;
    // Texture lists name textures of the texture pack, without masks.
    ok = WriteText(root / "DATA" / "lev0.LAT", "oily              \r\n") && ok;
    ok = WriteText(root / "DATA" / "lev0.CAT", "fp002             \r\n") && ok;
    ok = Write(root / "DATA" / "lev0.fog", Fog(0)) && ok;
    ok = Write(root / "DATA" / "lev1.fog", Fog(1)) && ok;
    ok = Write(root / "DATA" / "default.fog", Fog(0)) && ok;
    ok = Write(root / "lev0.pak", BuildPack({{"readme.txt", "Level 0 of the sample data.\n"}})) && ok;
    ok = Write(root / "lev1.pak", BuildPack({{"readme.txt", "Level 1 of the sample data.\n"}})) && ok;
    ok = SampleDataWriteMissions(folder) && ok;
    return ok;
}
