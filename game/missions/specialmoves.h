// Submarine special moves: the two-second frenzy (spin, fire, full thrust on its own) and the
// quick half turn, started by a craft's trigger message and run once per frame on the
// player's controlled object.
#pragma once

#include <cstdint>

struct MV2Object;

enum MV2SpecialMoveState : uint32_t {
    kMV2SpecialMoveNone = 0,
    kMV2SpecialMoveFrenzy = 1,
    kMV2SpecialMoveHalfTurn = 2,
    kMV2SpecialMoveHalfTurnKeepAngle = 4,
};

struct MV2SpecialMove {
    uint32_t state;
    uint32_t end; // game clock, ms
    float turned; // degrees
};
extern MV2SpecialMove gMV2SpecialMove;

// Starts the move the craft's type allows, or renews the end of the running one.
void MV2StartSpecialMove(MV2Object* craft);
// One frame of the running move on the player's controlled object; 0.
int32_t MV2UpdateSpecialMove(MV2Object* player);
// Clears the move at a level reset; 1.
int32_t MV2ResetSpecialMove();
// 1 while a move runs.
inline int32_t MV2SpecialMoveRunning() {
    return gMV2SpecialMove.state != kMV2SpecialMoveNone;
}
