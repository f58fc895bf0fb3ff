#include "tools/sampledata/creatures2.h"

#include "tests/support/level_writer.h"
#include "tests/support/resfile_writer.h"
#include "tools/sampledata/objects.h"

namespace {

constexpr uint32_t kJellyfish = 59;
constexpr uint32_t kEater = 68;
constexpr uint32_t kChaserFly = 77;
constexpr uint32_t kShell = 125;
constexpr uint32_t kRammer = 137;
constexpr uint32_t kLeapRamp = 324;

// A creature of level group 0 on the sample ball: a body in water that collides with objects
// and the landscape; `blocks` private records a chunk.
std::vector<uint8_t> Creature(uint32_t type, uint32_t blocks, float energy, float radius) {
    std::vector<uint8_t> r = TypeRecord(type);
    SampleTypeSetName(r, 34, "BALL");
    SampleTypeSetFloat(r, 1, energy);
    SampleTypeSetFloat(r, 2, 0.5f);  // mass
    SampleTypeSetFloat(r, 3, 2.0f);  // inertia
    SampleTypeSetFloat(r, 9, 1.0f);  // animation rate
    SampleTypeSetFloat(r, 10, radius);
    SampleTypeSetFloat(r, 11, 1.0f);
    SampleTypeSetWord(r, 7, (1u << 0) | (1u << 1) | (1u << 20));
    SampleTypeSetWord(r, 30, 0x1);
    SampleTypeSetWord(r, 31, (1u << 28) | (8u << 14) | 8u);
    SampleTypeSetWord(r, 32, blocks << 16);
    SampleTypeSetWord(r, 69, 100);
    SampleTypeSetWord(r, 70, 100);
    return r;
}

} // namespace

void SampleCreature2TypeRecords(std::vector<std::vector<uint8_t>>& types) {
    types.push_back(Creature(kJellyfish, 8, 20.0f, 0.5f));
    types.push_back(Creature(kEater, 4, 40.0f, 0.8f));
    types.push_back(Creature(kChaserFly, 8, 5.0f, 0.3f));
    types.push_back(Creature(kShell, 4, 30.0f, 1.0f));
    types.push_back(Creature(kRammer, 4, 40.0f, 0.8f));
    std::vector<uint8_t> ramp = Creature(kLeapRamp, 2, 100.0f, 2.0f);
    SampleTypeSetWord(ramp, 7, (1u << 0) | (1u << 1)); // a fixed ramp, never destroyed
    types.push_back(ramp);
}

void SampleCreature2LevelRecords(LevelDesc& level) {
    level.records.push_back({0x0031FFFF, 1,
                             {LevelItemAt(0x00310001, kJellyfish, 40, 10, 20),
                              LevelItemAt(0x00310002, kJellyfish, 42, 11, 22),
                              LevelItemAt(0x00310003, kEater, 70, 9, 35),
                              LevelItemAt(0x00310004, kRammer, 20, 10, 40),
                              LevelItemAt(0x00310005, kShell, 60, 2, 12),
                              LevelItemAt(0x00310006, kChaserFly, 35, 12, 15),
                              LevelItemAt(0x00310007, kChaserFly, 36, 12, 16),
                              LevelItemAt(0x00310008, kLeapRamp, 55, 3, 45)}});
}
