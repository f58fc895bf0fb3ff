// The sample level's spawner of small falling rocks, a falling rock, a lever and a push switch,
// with their types on the sample ball model.
#include "tools/sampledata/levelobjects.h"

#include <initializer_list>

#include "tests/support/level_writer.h"

namespace {

constexpr uint32_t kSpawner = 144;
constexpr uint32_t kSmallRock = 367;
constexpr uint32_t kLever = 178;
constexpr uint32_t kPushSwitch = 180;
constexpr uint32_t kSpawnerKind = 4;

void PutWord(std::vector<uint8_t>& bytes, uint32_t value) {
    for (int32_t i = 0; i < 4; i++)
        bytes.push_back(uint8_t(value >> (8 * i)));
}

// A spawner item: the spawned type, the delay in ms, the count and the parameter handed on.
LevelItem Spawner(uint32_t id, float x, float y, float z, uint32_t type, uint32_t delay,
                  uint32_t count) {
    LevelItem item = LevelItemAt(id, kSpawner, x, y, z, kSpawnerKind);
    for (uint32_t word : {type, delay, count, 0u})
        PutWord(item.kindData, word);
    return item;
}

} // namespace

void SampleLevelObjects3TypeRecords(std::vector<std::vector<uint8_t>>& types) {
    types.push_back(SampleLevelObjectType(kSpawner, 2, false, 0.5f));
    types.push_back(SampleLevelObjectType(kSmallRock, 0, true, 0.4f));
    types.push_back(SampleLevelObjectType(kLever, 2, true, 0.8f));
    types.push_back(SampleLevelObjectType(kPushSwitch, 2, false, 0.8f));
}

void SampleLevelObjects3LevelRecords(LevelDesc& level) {
    // Two small rocks kept falling, replaced 10 s after one is gone.
    level.records.push_back({0x0046FFFF, 1,
                             {Spawner(0x00460001, 50, 8, 20, kSmallRock, 10000, 2),
                              LevelItemAt(0x00460002, kSmallRock, 52, 8, 22),
                              LevelItemAt(0x00460003, kLever, 60, 2, 36),
                              LevelItemAt(0x00460004, kPushSwitch, 61, 2, 38)}});
}
