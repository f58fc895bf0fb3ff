#include "tools/sampledata/leveldevices.h"

#include <cstring>

#include "tests/support/level_writer.h"
#include "tests/support/resfile_writer.h"
#include "tools/sampledata/objects.h"

namespace {

constexpr uint32_t kGate = 85;
constexpr uint32_t kUplink = 183;
constexpr uint32_t kVent = 293;
constexpr uint32_t kCurrent = 294;

// A fixed level-group-0 type on the sample ball with `blocks` private records a chunk.
std::vector<uint8_t> Device(uint32_t type, uint32_t blocks) {
    std::vector<uint8_t> r = TypeRecord(type);
    SampleTypeSetName(r, 34, "BALL");
    SampleTypeSetFloat(r, 1, 100.0f);
    SampleTypeSetFloat(r, 10, 1.0f);
    SampleTypeSetFloat(r, 11, 1.0f);
    SampleTypeSetWord(r, 7, 1u << 0);
    SampleTypeSetWord(r, 30, 0x1);
    SampleTypeSetWord(r, 32, blocks << 16);
    SampleTypeSetWord(r, 69, 100);
    SampleTypeSetWord(r, 70, 100);
    return r;
}

} // namespace

void SampleLevelDeviceTypeRecords(std::vector<std::vector<uint8_t>>& types) {
    types.push_back(Device(kGate, 2));
    types.push_back(Device(kUplink, 2));
    types.push_back(Device(kVent, 2));
    types.push_back(Device(kCurrent, 2));
}

void SampleLevelDeviceLevelRecords(LevelDesc& level) {
    // A vent 3 s on and 2 s off; a current of radius 3.5, half a second on and off.
    level.records.push_back({0x0041FFFF, 1,
                             {LevelItemAt(0x00410001, kGate, 75, 8, 40),
                              LevelItemWithParameter(0x00410002, kVent, 70, 1, 20, 3020.0f),
                              LevelItemWithParameter(0x00410003, kCurrent, 78, 1, 24, 350505.0f),
                              LevelItemAt(0x00410004, kUplink, 72, 2, 32)}});
}
