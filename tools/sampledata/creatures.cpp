// The creatures of the sample folder: the submarine table (the player's craft, a patrol craft, a
// pirate, a drone and a repair drone, each with a propeller and an engine sound of the sample
// sound list), the types of a patrol craft, a pirate, an ambient fish and the ambient area's
// markers, and level 0's path-node graph and the records that place them.
#include "tools/sampledata/sampledata.h"

#include <filesystem>

#include "tests/support/level_writer.h"
#include "tests/support/path_record_writer.h"
#include "tests/support/resfile_writer.h"
#include "tests/support/subs_writer.h"
#include "tools/sampledata/creatures2.h"
#include "tools/sampledata/objects.h"

namespace {

SubRecordSpec Craft(const char* name, float maxSpeed, float acceleration, const char* sound) {
    SubRecordSpec r;
    r.name = name;
    r.maxSpeed = maxSpeed;
    r.minThrust = -maxSpeed * 0.5f;
    r.acceleration = acceleration;
    r.turnLimit = 30.0f;
    r.maxPitchRate = 0.02f;
    r.partCount = 1;
    r.parts = {{0.1f, 0, 2 | 128 | 256}}; // pushes along the forward row and spins
    r.soundName = sound;
    r.soundBase = -2500;
    r.soundMax = -200;
    r.soundParamOther = 22050;
    r.soundParamPlayer = 22050;
    r.ammunition[3] = 20; // craft bolt launcher
    r.ammunition[21] = 200; // bullet gun
    return r;
}

// The player's craft also carries the bolt gun (no rounds to count) and the machine gun's rounds.
SubRecordSpec PlayerCraft() {
    SubRecordSpec r = Craft("PLAYERSUB", 0.12f, 0.02f, "GP1ENGINE");
    r.ammunition[1] = -1;
    r.ammunition[10] = 300;
    return r;
}

constexpr auto SetWord = SampleTypeSetWord;
constexpr auto SetFloat = SampleTypeSetFloat;
constexpr auto SetName = SampleTypeSetName;

// A type of level group 0 on the sample ball model; `blocks` private records a chunk.
std::vector<uint8_t> Type(uint32_t type, uint32_t blocks, float energy) {
    std::vector<uint8_t> r = TypeRecord(type);
    SetName(r, 34, "BALL");
    SetFloat(r, 1, energy);
    SetFloat(r, 10, 1.0f);
    SetFloat(r, 11, 1.0f);
    SetWord(r, 30, 0x1);
    SetWord(r, 32, blocks << 16);
    SetWord(r, 69, 100);
    SetWord(r, 70, 100);
    return r;
}

// A craft in water with a body, colliding with objects and the landscape.
std::vector<uint8_t> CraftType(uint32_t type, const char* definition) {
    std::vector<uint8_t> r = Type(type, 4, 200.0f);
    SetWord(r, 7, (1u << 0) | (1u << 1) | (1u << 4) | (1u << 20));
    SetWord(r, 31, (1u << 28) | (8u << 14) | 8u);
    SetWord(r, 33, 1u << 12);
    SetFloat(r, 2, 1.0f);
    SetFloat(r, 3, 1.0f);
    SetName(r, 38, definition);
    return r;
}

} // namespace

bool SampleDataWriteCreatures(const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(fs::path(folder) / "DATA", ec);
    return WriteSubsFile((fs::path(folder) / "DATA" / "SUBS.DAT").string(),
                         {PlayerCraft(),
                          Craft("PATROL", 0.1f, 0.015f, "GP2ENGINE"),
                          Craft("PIRATE", 0.1f, 0.02f, "GP2ENGINE"),
                          Craft("DRONE", 0.08f, 0.02f, "FAN"),
                          Craft("REPAIRDRONE", 0.06f, 0.02f, "CARRIER")});
}

void SampleCreatureTypeRecords(std::vector<std::vector<uint8_t>>& types) {
    types.push_back(CraftType(kSamplePatrolType, "PATROL"));
    types.push_back(CraftType(kSamplePirateType, "PIRATE"));
    // The ambient fish and the other species the first world's ambient spawns may pick, all on
    // the fish's model and values.
    for (uint32_t type : {kSampleFishType, 11u, 71u, 72u, 73u}) {
        std::vector<uint8_t> fish = Type(type, 8, 20.0f);
        SetWord(fish, 7, (1u << 0) | (1u << 1) | (1u << 20));
        SetWord(fish, 31, (1u << 28) | (8u << 14) | 8u);
        SetFloat(fish, 2, 0.2f);
        SetFloat(fish, 3, 5.0f);
        SetFloat(fish, 9, 1.0f); // animation rate
        SetFloat(fish, 10, 0.5f);
        types.push_back(fish);
    }
    types.push_back(Type(kSampleMarkerType, 0, 100.0f));
    SampleCreature2TypeRecords(types);
}

void SampleCreatureLevelRecords(LevelDesc& level) {
    // The ambient area: above the seabed, between z 0 and z 50.
    level.records.push_back({0x0004FFFF, 1,
                             {LevelItemAt(0x00040170, kSampleMarkerType, 95, 0, 25),
                              LevelItemAt(0x00040113, kSampleMarkerType, 95, 5, 0),
                              LevelItemAt(0x0004016C, kSampleMarkerType, 95, 5, 50)}});
    // A patrol craft, a pirate on the far side and a school of three fish.
    level.records.push_back({0x0030FFFF, 1,
                             {LevelItemAt(0x00300001, kSamplePatrolType, 30, 12, 20),
                              LevelItemAt(0x00300002, kSamplePirateType, 80, 14, 30),
                              LevelItemAt(0x00300003, kSampleFishType, 50, 10, 25),
                              LevelItemAt(0x00300004, kSampleFishType, 51, 10, 26),
                              LevelItemAt(0x00300005, kSampleFishType, 52, 11, 25)}});
    // The path-node graph: a 5 by 3 grid 20 units apart at mid water, stored relative to the
    // landscape's far corner (100, 20, 50).
    std::vector<PathNodeSpec> nodes;
    for (uint32_t z = 0; z < 3; ++z)
        for (uint32_t x = 0; x < 5; ++x) {
            PathNodeSpec n;
            n.id = 1 + z * 5 + x;
            n.x = 10.0f + 20.0f * float(x) - 100.0f;
            n.y = 12.0f - 20.0f;
            n.z = 10.0f + 15.0f * float(z) - 50.0f;
            if (x > 0) n.links.push_back(n.id - 1);
            if (x < 4) n.links.push_back(n.id + 1);
            if (z > 0) n.links.push_back(n.id - 5);
            if (z < 2) n.links.push_back(n.id + 5);
            nodes.push_back(n);
        }
    level.rawRecords.push_back(PathNodeRecordBytes(0x00FEFFFF, nodes));
    SampleCreature2LevelRecords(level);
}
