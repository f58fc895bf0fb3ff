#include "tools/sampledata/multiplayer.h"

#include <cmath>
#include <filesystem>

#include "tests/support/level_writer.h"
#include "tests/support/pack_writer.h"
#include "tests/support/resfile_writer.h"
#include "tests/support/world_stream_writer.h"
#include "tools/sampledata/objects.h"
#include "tools/sampledata/sampledata.h"

namespace {

namespace fs = std::filesystem;

// The first line is read and dropped; then the kill texts 0-8 (killer, victim), joined, left,
// the pickup texts from 11 and the host's closing text on line 34.
const char* const kTexts[] = {
    "Marovant network texts",
    "%s sank %s", "%s torpedoed %s", "%s holed %s", "%s sent %s to the bottom",
    "%s outgunned %s", "%s scuttled %s", "%s blasted %s", "%s hunted down %s",
    "%s finished %s",
    "%s joined the game", "%s left the game",
    "Quad damage", "Armour", "Cloak", "Speed", "Quad damage is yours", "You are cloaked",
    "Bolt gun", "Machine gun", "Shotgun", "Homing missiles", "Laser", "Stinger",
    "Bolts", "Rounds", "Shells", "Missiles", "Cells", "Darts", "Mines", "Energy",
    "Teleport", "Freeze", "Armour plating",
    "The host closed the game",
};

// A type record of a small ball that every level group keeps.
std::vector<uint8_t> BallType(uint32_t type) {
    std::vector<uint8_t> r = TypeRecord(type);
    SampleTypeSetName(r, 34, "BALL");
    SampleTypeSetFloat(r, 1, 100.0f);
    SampleTypeSetFloat(r, 10, 0.5f);
    SampleTypeSetFloat(r, 11, 0.5f);
    SampleTypeSetWord(r, 30, 0xFFFF);
    SampleTypeSetWord(r, 69, 100);
    SampleTypeSetWord(r, 70, 100);
    return r;
}

LevelItem Item(uint32_t id, uint32_t type, float x, float y, float z, float atX = 0, float atZ = 1) {
    LevelItem item = LevelItemAt(id, type, x, y, z);
    item.at[0] = atX;
    item.at[2] = atZ;
    item.right[0] = atZ;
    item.right[2] = -atX;
    return item;
}

// A flat sandy floor from 0 to 100 on x and z, 2 units up, in two leaves.
std::vector<uint8_t> Landscape() {
    auto leaf = [](float x0) {
        LeafRecord l;
        l.vertices = {{x0, 2, 0}, {x0 + 50, 2, 0}, {x0 + 50, 2, 100}, {x0, 2, 100}};
        l.triangles = {{0, 0, 2, 1}, {0, 0, 3, 2}};
        l.collisionTree = SingleNodeTree(2);
        l.box = {{x0, 0, 0, x0 + 50.0f, 20.0f, 100.0f}};
        return l;
    };
    WorldRecord w;
    MaterialRecord sand;
    sand.rgba = {170, 160, 110, 255};
    w.materials = {sand};
    w.root = PlaneNode(0, 50.0f, 50.0f, 50.0f, LeafNode(leaf(0.0f)), LeafNode(leaf(50.0f)));
    return WorldBytes(w);
}

} // namespace

void SampleMultiplayerTypeRecords(std::vector<std::vector<uint8_t>>& types) {
    for (uint32_t t : {kSampleSpawnPointType, kSampleWeaponPickupType, kSampleAmmoPickupType})
        types.push_back(BallType(t));
}

ResLevel SampleMultiplayerLevel() {
    LevelDesc l{kSampleNetLevel};
    l.waterHeight = 30.0f;
    l.skyHeight = 60.0f;
    l.farClip = 30;
    l.levelName = "levmp";
    l.packName = "levmp";
    l.records.push_back({0x0C07FFFF, 0, {Item(0x0C070001, 433, 50, 10, 50)}});
    // Spawn points facing each other across the floor, and two pickups, made at every load.
    l.records.push_back({0x0C10FFFF,
                         2,
                         {Item(0x0C100000, kSampleSpawnPointType, 20, 8, 50, 1, 0),
                          Item(0x0C100001, kSampleSpawnPointType, 80, 8, 50, -1, 0),
                          Item(0x0C100002, kSampleWeaponPickupType, 50, 6, 30),
                          Item(0x0C100003, kSampleAmmoPickupType, 50, 6, 70)}});
    return LevelResource(l);
}

bool SampleDataWriteMultiplayer(const std::string& folder) {
    const fs::path root(folder);
    std::string text;
    for (const char* line : kTexts)
        text += std::string(line) + "\r\n";
    bool ok = SampleDataWriteFile((root / "DATA" / "mplay.txt").string(),
                                  std::vector<uint8_t>(text.begin(), text.end()));
    ok = SampleDataWriteFile((root / "BSP" / "levmp.bsp").string(), Landscape()) && ok;
    std::vector<uint8_t> fog(256);
    for (int i = 0; i < 256; i++)
        fog[size_t(i)] = uint8_t(i);
    ok = SampleDataWriteFile((root / "DATA" / "levmp.fog").string(), fog) && ok;
    ok = SampleDataWriteFile((root / "levmp.pak").string(),
                             BuildPack({{"readme.txt", "The multiplayer level of the sample data.\n"}})) &&
         ok;
    return ok;
}
