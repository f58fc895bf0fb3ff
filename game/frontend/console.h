// The in-sub console: the docked view with three choices over it (the pending mission's
// briefing, the interface screens, back to play), the swaying camera, the two crossing movers
// and the ripples, and the fitting of equipment unlocked since the last visit.
#pragma once

#include <cstdint>

#include "engine/core/matrix.h"
#include "shell/resfile.h"

struct MV2Object;
struct MV2SubRecord;

inline constexpr int32_t kMV2ConsoleOptions = 3;
inline constexpr int32_t kMV2ConsoleNone = 3; // the selection when no option is highlighted

struct MV2ConsoleOption {
    int32_t left, right, top, bottom; // hit rectangle, 640 x 480 space
    uint32_t textId;
    int32_t spare[2];
    uint32_t enabled;
};

struct MV2ConsoleMover {
    MV2Object* object;
    TvV3d start, path;
    int32_t direction; // -1 returning, 0 resting, 1 going
    float fraction;
    uint32_t resting, restingLimit; // ms
};

struct MV2Console {
    MV2ConsoleOption options[kMV2ConsoleOptions];
    int32_t selection;
    MV2TextDescriptor text;
    int32_t fetchedText; // -1: none
    TvMatrix* camera;
    uint32_t swayClock, rippleClock; // ms
    MV2ConsoleMover movers[2];
    int32_t savedWorldCaustics, savedAtomicCaustics;
};
extern MV2Console gMV2Console;

void MV2EnterConsoleMode();
// Prepares the console page and fits the weapons unlocked since the last visit to the sub.
void MV2StartConsole();
void MV2UpdateConsole();
void MV2RenderConsole();
void MV2LeaveConsoleMode();

// Steps of the frame, for the tests: the enabled flags for the pending and briefed missions,
// the mission row in play and the sub's object type; the selection the first frame shows.
void MV2ConsoleEnableOptions(int32_t pending, int32_t briefed, int32_t row, int32_t subType);
int32_t MV2ConsoleFirstSelection(int32_t cursorShown, int32_t pending, int32_t subType);
// The candidate a move action (32 up, 33 down, 34 left, 35 right) gives from the candidate
// `from` when `selection` is highlighted; `from` itself when the move is refused.
int32_t MV2ConsoleMove(int32_t action, int32_t from, int32_t selection);
// Fits the entries of `record` whose required level lies in (previous, current] to `sub`.
void MV2ConsoleFitEquipment(MV2Object* sub, const MV2SubRecord* record, uint32_t previous,
                            uint32_t current);
