#include "tools/sampledata/levelobjects.h"

#include "tests/support/level_writer.h"
#include "tests/support/resfile_writer.h"
#include "tools/sampledata/objects.h"

namespace {

constexpr uint32_t kRock = 5;
constexpr uint32_t kChunkFirst = 128;
constexpr uint32_t kFloatingRock = 139;
constexpr uint32_t kSlidingDoor = 184;
constexpr uint32_t kLift = 192;
constexpr uint32_t kFloorSwitch = 203;
constexpr uint32_t kCrate = 272;
constexpr uint32_t kCratePieces[] = {288, 289, 290};

// A level-group-0 type on the sample ball; `body` gives it dynamics in water and `blocks`
// private records a chunk.
std::vector<uint8_t> LevelObject(uint32_t type, uint32_t blocks, bool body, float radius) {
    std::vector<uint8_t> r = TypeRecord(type);
    SampleTypeSetName(r, 34, "BALL");
    SampleTypeSetFloat(r, 1, 20.0f);
    SampleTypeSetFloat(r, 2, 1.0f); // mass
    SampleTypeSetFloat(r, 3, 2.0f); // inertia
    SampleTypeSetFloat(r, 10, radius);
    SampleTypeSetFloat(r, 11, 1.0f);
    SampleTypeSetWord(r, 7, body ? (1u << 0) | (1u << 1) | (1u << 20) : (1u << 0));
    SampleTypeSetWord(r, 30, 0x1);
    SampleTypeSetWord(r, 31, (body ? 1u << 28 : 0u) | (8u << 14) | 8u);
    SampleTypeSetWord(r, 32, blocks << 16);
    SampleTypeSetWord(r, 69, 100);
    SampleTypeSetWord(r, 70, 100);
    return r;
}

} // namespace

std::vector<uint8_t> SampleLevelObjectType(uint32_t type, uint32_t blocks, bool body, float radius) {
    return LevelObject(type, blocks, body, radius);
}

void SampleLevelObjectTypeRecords(std::vector<std::vector<uint8_t>>& types) {
    types.push_back(LevelObject(kRock, 8, true, 1.0f));
    types.push_back(LevelObject(kRock + 1, 8, true, 0.7f));
    types.push_back(LevelObject(kRock + 2, 8, true, 0.5f));
    for (uint32_t t = kChunkFirst; t < kChunkFirst + 3; ++t)
        types.push_back(LevelObject(t, 8, true, 0.2f));
    types.push_back(LevelObject(kFloatingRock, 4, true, 1.0f));
    types.push_back(LevelObject(kSlidingDoor, 2, false, 1.5f));
    types.push_back(LevelObject(kLift, 2, false, 1.5f));
    types.push_back(LevelObject(kFloorSwitch, 2, true, 0.8f));
    types.push_back(LevelObject(kCrate, 0, true, 0.6f));
    for (uint32_t t : kCratePieces)
        types.push_back(LevelObject(t, 0, true, 0.3f));
}

void SampleLevelObjectLevelRecords(LevelDesc& level) {
    level.records.push_back({0x0040FFFF, 1,
                             {LevelItemAt(0x00400001, kSlidingDoor, 62, 4, 30),
                              LevelItemAt(0x00400002, kFloorSwitch, 58, 2, 30),
                              LevelItemAt(0x00400003, kLift, 66, 2, 34),
                              LevelItemAt(0x00400004, kCrate, 64, 3, 26),
                              LevelItemAt(0x00400005, kRock, 45, 3, 38),
                              LevelItemAt(0x00400006, kFloatingRock, 48, 14, 38)}});
}
