// The interface screens between missions: three table-driven pages of gadgets drawn from the
// interface pictures (load-out with the six submarines and their video faces, medals, status),
// keyboard and mouse focus, the weapon-group choice columns, accept and cancel.
#pragma once

#include <cstdint>

inline constexpr int32_t kMV2InterfacePages = 3;
inline constexpr int32_t kMV2InterfaceRows = 41;
inline constexpr int32_t kMV2InterfaceCells = 84; // cell 84 draws nothing
inline constexpr int32_t kMV2InterfaceOffered = 6; // sub records on the load-out page

enum MV2GadgetKind : uint32_t { kMV2GadgetEnd = 0, kMV2GadgetPicture, kMV2GadgetVideo,
                                kMV2GadgetButton, kMV2GadgetIndicator };

struct MV2InterfaceGadget {
    uint32_t kind, panel;
    int32_t normal, highlightCell, pressedCell;
    uint32_t disabled, highlighted, pressed;
    int32_t x, y, width, height;
    uint32_t id, action;
};

struct MV2InterfaceCell {
    float left, top, right, bottom;
    uint32_t slot;
};
extern const MV2InterfaceCell kMV2InterfaceCellTable[kMV2InterfaceCells];

struct MV2InterfacePanel {
    int32_t x, y, width, height;
};
extern const MV2InterfacePanel kMV2InterfacePanels[9];

struct MV2InterfaceScreens {
    int32_t page;
    int32_t focus, focusRow;
    int32_t openGroup; // -1: no choice column open
    int32_t videoPlaying;
    int32_t record;    // sub record shown, 0..5
    uint8_t allowed[kMV2InterfaceOffered];
    int32_t stage, locationText, completion;
    int32_t barTexts[5], barValues[5];
    MV2InterfaceGadget gadgets[kMV2InterfacePages][kMV2InterfaceRows + 1];
};
extern MV2InterfaceScreens gMV2Interface;

void MV2EnterInterfaceScreens();
void MV2LeaveInterfaceScreens();
void MV2UpdateInterfaceScreens();
void MV2RenderInterfaceScreens();

// Helpers of the pages, for the tests as well.
MV2InterfaceGadget* MV2InterfaceGadgetById(int32_t page, int32_t id);
// The smallest enabled id above `id` on the current page (searched to 41); 42 when none.
int32_t MV2InterfaceNextEnabled(int32_t id);
// Moves the focus for a move action (32 up, 33 down, 34 left, 35 right) as the page's layout
// has it; a move that has nowhere to go leaves it.
void MV2InterfaceMoveFocus(int32_t action);
// Sets the focus to `id` (0: none), moving the highlight.
void MV2InterfaceSetFocus(int32_t id);
// Carries out the focused gadget's choice, as the select action does.
void MV2InterfaceSelect();
// Sets the five status bars of a stage.
void MV2InterfaceSetStatusBars(int32_t stage);
// The stage's location text id; -1 outside the table.
int32_t MV2InterfaceLocationText(int32_t stage);
