// Mission row 26: the switch network of level 4, relayed to doors, lifts and machinery, with
// one-shot cut-scenes; the last switch collapses a chamber into gravel that the player brings
// home.
#pragma once

#include <cstdint>

struct MV2Object;

// The callback a level-4 switch calls when its state changes.
void MV2Mission26SwitchChanged(MV2Object* sw, int32_t state);

// What the tests read.
struct MV2Mission26State {
    int32_t played[11];
    MV2Object* deferredSwitch;
    int32_t deferredState;
    uint32_t pendingCutScene; // 0: none
    int32_t flagA, flagB;
    int32_t enteredCity;
    int32_t levelChangeState;
    int32_t liftCounter;
    float liftBase, liftStep;
};
extern MV2Mission26State gMV2Mission26;
