// Mission rows 21 and 22: the descent from the home level to level 3, and level 3 itself with
// its four crawlers riding cut-scene paths between way-points; level switches 21 to 24 record
// the stages of level 3 and rebuild them when the level is entered again.
#pragma once

#include <cstdint>

struct MV2Object;

struct MV2Mission21State {
    MV2Object* wayPointA;
    MV2Object* targetB;
    int32_t waiting;
    int32_t arrived;
};
extern MV2Mission21State gMV2Mission21;

inline constexpr int32_t kMV2Mission22Crawlers = 4;

struct MV2Mission22State {
    int32_t once[6]; // messages 1104 to 1109 shown
    int32_t passedGate;    // the player came within 25 units of 0x3000003
    int32_t reachedDeep;   // the player came within 25 units of 0x300000B
    uint32_t crawlers[kMV2Mission22Crawlers]; // handles; the objects carry script ids 0x3120000 + i
    float remembered[3];
    int32_t stageCounter;
    int32_t stageFlags[2];
};
extern MV2Mission22State gMV2Mission22;

// The crawler of slot 0..3, or null when it is gone.
MV2Object* MV2Mission22Crawler(int32_t slot);
