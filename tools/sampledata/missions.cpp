// Level 0's share of the mission layer: the six city door bays, the two drop points with their
// doors, posts and signs, the mining sites' parts, the delivery and intro cut-scenes, and the
// mining figures ".\DATA\MINING.DAT".
#include <algorithm>
#include <filesystem>

#include "tests/support/cutscene_writer.h"
#include "tests/support/level_writer.h"
#include "tools/sampledata/objects.h"
#include "tools/sampledata/sampledata.h"

namespace {

// A plain object type of the sample objects stands in for every city and mining part.
constexpr uint32_t kPartType = kSampleShadowedType;
constexpr uint32_t kFullLoad = 1;

LevelItem Part(uint32_t id, float x, float y, float z) {
    LevelItem item{id, kPartType};
    item.position[0] = x;
    item.position[1] = y;
    item.position[2] = z;
    return item;
}

// A camera path of one straight segment over the record's time.
CutSceneRecordDesc CameraFlight(uint32_t id, uint32_t duration, const float (&from)[3],
                                const float (&to)[3]) {
    CutSceneItemDesc camera{id & 0xFFFF0000u, 0, 5};
    camera.path.segments.push_back(LinearSegment(0, duration, from, to));
    return {id, duration, {camera}};
}

} // namespace

void SampleMissionLevelRecords(LevelDesc& level) {
    LevelRecordDesc city{0x0002FFFF, kFullLoad};
    LevelRecordDesc city4{0x0004FFFF, kFullLoad};
    static const uint32_t kBays[6][3] = {{0x20020, 0x2006E, 0x20027}, {0x2001F, 0x2006F, 0x20028},
                                         {0x2001E, 0x20070, 0x20029}, {0x2001D, 0x20071, 0x2002A},
                                         {0x2001C, 0x20072, 0x2002B}, {0x40039, 0x2006D, 0x40038}};
    for (int i = 0; i < 6; i++) {
        const float x = 15.0f + 8.0f * float(i);
        LevelRecordDesc& r = i == 5 ? city4 : city;
        r.items.push_back(Part(kBays[i][0], x, 4, 60));
        city.items.push_back(Part(kBays[i][1], x, 4, 64));
        r.items.push_back(Part(kBays[i][2], x, 4, 60));
    }
    // Drop points, their doors, posts and signs, and the city's parts.
    for (uint32_t id : {0x20014u, 0x20010u, 0x20004u, 0x20000u})
        city.items.push_back(Part(id, 30, 4, 72));
    for (uint32_t id : {0x20013u, 0x2000Fu, 0x20005u, 0x2006Cu})
        city.items.push_back(Part(id, 50, 4, 72));
    for (uint32_t id : {0x2004Eu, 0x20001u, 0x20003u, 0x20002u})
        city.items.push_back(Part(id, 40, 8, 66));
    // The four mining sites: output, middle, base, main and station parts.
    static const uint32_t kSites[4][6] = {{0x20026, 0x20022, 0x20024, 0x20025, 0x20023, 0x20021},
                                          {0x2002C, 0x2002F, 0x20030, 0x20031, 0x2002D, 0x2002E},
                                          {0x20033, 0x20032, 0x20037, 0x2001B, 0x20036, 0x20038},
                                          {0x2003B, 0, 0x2003A, 0, 0x20039, 0x2003C}};
    for (int s = 0; s < 4; s++)
        for (int p = 0; p < 6; p++)
            if (kSites[s][p]) city.items.push_back(Part(kSites[s][p], 12.0f + 18.0f * float(s), 4, 12.0f + 2.0f * float(p)));
    level.records.push_back(city);
    // Record 4 also holds the ambient area's markers: one record per id, so its items join them.
    auto four = std::find_if(level.records.begin(), level.records.end(),
                             [&city4](const LevelRecordDesc& r) { return r.id == city4.id; });
    if (four == level.records.end())
        level.records.push_back(city4);
    else
        four->items.insert(four->items.end(), city4.items.begin(), city4.items.end());

    // The intro flight over the city and the two delivery cut-scenes.
    level.rawRecords.push_back(BuildCutSceneRecord(CameraFlight(0x15FFFF, 30000, {10, 20, 10}, {60, 12, 70})));
    level.rawRecords.push_back(BuildCutSceneRecord(CameraFlight(0x4DFFFF, 6000, {25, 8, 80}, {30, 6, 74})));
    level.rawRecords.push_back(BuildCutSceneRecord(CameraFlight(0x4EFFFF, 6000, {55, 8, 80}, {50, 6, 74})));
}

bool SampleDataWriteMissions(const std::string& folder) {
    // Rate per half hour, capacity, initial stock and load of each site.
    const float sites[4][4] = {{400, 200, 50, 100}, {300, 200, 20, 100}, {300, 150, 0, 75}, {200, 100, 10, 50}};
    return SampleDataWriteFile((std::filesystem::path(folder) / "DATA" / "MINING.DAT").string(),
                               BuildMiningFile(sites));
}
