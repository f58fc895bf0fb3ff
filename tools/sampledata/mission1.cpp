#include "tools/sampledata/mission1.h"

#include <algorithm>

#include "tests/support/level_writer.h"
#include "tests/support/resfile_writer.h"
#include "tools/sampledata/objects.h"

namespace {

constexpr uint32_t kRockA = 140, kRockB = 141, kEruption = 149, kRepairDrone = 51;
constexpr uint32_t kStartPointType = 433;
// Camera points and targets are plain shadowed objects, as the city's parts are.
constexpr uint32_t kPoint = kSampleShadowedType;

// A level-group-0 type on the sample ball; `body` gives it dynamics in water.
std::vector<uint8_t> BallType(uint32_t type, bool body, float radius) {
    std::vector<uint8_t> r = TypeRecord(type);
    SampleTypeSetName(r, 34, "BALL");
    SampleTypeSetFloat(r, 1, 20.0f);
    SampleTypeSetFloat(r, 2, 1.0f);
    SampleTypeSetFloat(r, 3, 2.0f);
    SampleTypeSetFloat(r, 10, radius);
    SampleTypeSetFloat(r, 11, radius);
    SampleTypeSetWord(r, 7, body ? (1u << 0) | (1u << 1) | (1u << 20) : (1u << 0));
    SampleTypeSetWord(r, 30, 0x1);
    SampleTypeSetWord(r, 31, (body ? 1u << 28 : 0u) | (8u << 14) | 8u);
    SampleTypeSetWord(r, 32, 8u << 16);
    SampleTypeSetWord(r, 69, 100);
    SampleTypeSetWord(r, 70, 100);
    return r;
}

void AddToRecord(LevelDesc& level, uint32_t id, const LevelItem& item) {
    auto r = std::find_if(level.records.begin(), level.records.end(),
                          [id](const LevelRecordDesc& d) { return d.id == id; });
    if (r == level.records.end())
        level.records.push_back({id, 1, {item}});
    else
        r->items.push_back(item);
}

// The item turned half round about the vertical: facing -z, from the city towards the landscape.
LevelItem FacingLandscape(LevelItem item) {
    item.at[2] = -1.0f;
    item.right[0] = -1.0f;
    return item;
}

} // namespace

void SampleMission1TypeRecords(std::vector<std::vector<uint8_t>>& types) {
    types.push_back(BallType(kRockA, true, 0.4f));
    types.push_back(BallType(kRockB, true, 0.3f));
    types.push_back(BallType(kEruption, false, 1.5f));
    // The repair drone the city sends to the gauge the mission leaves damaged.
    types.push_back(BallType(kRepairDrone, true, 0.5f));
    // The start points: the console respawns their record when the player enters it, so the
    // type needs a model; the lamp's is all but invisible.
    std::vector<uint8_t> start = BallType(kStartPointType, false, 0.05f);
    SampleTypeSetName(start, 34, "LAMP");
    types.push_back(start);
}

void SampleMission1LevelRecords(LevelDesc& level) {
    // The start post beside the city's exit door (the record is respawned at each load, so the
    // post is an object with a model), facing out of the city over the landscape (-z); and the
    // point the city's camera watches a craft leave from, over the landscape, which is also
    // the level's start outside the campaign.
    AddToRecord(level, 0x0004FFFF, FacingLandscape(LevelItemAt(0x00040056, kPoint, 31, 6, 52)));
    AddToRecord(level, 0x0004FFFF,
                FacingLandscape(LevelItemAt(0x00040055, kStartPointType, 31, 12, 44)));
    // The race: the rivals' launch point, their two fetch targets, the goal and the camera's
    // points for the start of the race. The mission spawns it at its start.
    level.records.push_back({0x0001FFFF, 0,
                             {LevelItemAt(0x00010000, kPoint, 40, 6, 56),
                              LevelItemAt(0x0001000D, kPoint, 20, 4, 30),
                              LevelItemAt(0x0001000C, kPoint, 70, 4, 30),
                              LevelItemAt(0x00010011, kPoint, 50, 4, 40),
                              LevelItemAt(0x00010008, kPoint, 50, 15, 10),
                              LevelItemAt(0x00010003, kPoint, 50, 4, 40),
                              LevelItemAt(0x00010001, kPoint, 30, 20, 5)}});
    // The opening: the eruption with its camera, then two flights over the level.
    level.records.push_back({0x0012FFFF, 0,
                             {LevelItemAt(0x00120000, kPoint, 75, 2, 35),
                              LevelItemAt(0x00120002, kPoint, 60, 10, 20),
                              LevelItemAt(0x00120003, kPoint, 75, 4, 35)}});
    level.records.push_back({0x000FFFFF, 0,
                             {LevelItemAt(0x000F0011, kPoint, 20, 15, 5),
                              LevelItemAt(0x000F000B, kPoint, 50, 5, 30)}});
    level.records.push_back({0x0010FFFF, 0,
                             {LevelItemAt(0x00100004, kPoint, 80, 12, 45),
                              LevelItemAt(0x00100003, kPoint, 40, 4, 60)}});
}
