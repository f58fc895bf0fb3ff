// Controls: the bindings of keys, buttons and joystick axes to numbered actions, per control
// section, read from and written to the controls file, evaluated once per frame.
#pragma once

#include <cstdint>

struct TvFreeList;
struct TvStream;

inline constexpr uint32_t kMV2ControlsVersion = 0x10004;
inline constexpr int32_t kMV2ControlSections = 18;
inline constexpr int32_t kMV2Actions = 57;
inline constexpr int32_t kMV2InputCodes = 512;
inline constexpr int32_t kMV2ControlAxes = 12;
inline constexpr int32_t kMV2CurveSize = 256;
inline constexpr int32_t kMV2MouseButtonCode = 300; // left, right, middle: 300-302
inline constexpr int32_t kMV2JoystickButtonCode = 400; // + 20 x (joystick - 1) + button
inline constexpr int32_t kMV2JoystickButtons = 20;
inline constexpr int32_t kMV2Joysticks = 5;
inline constexpr uint32_t kMV2ControlsHoldOffMs = 150;
inline constexpr const char* kMV2ControlsFile = ".\\ctrls_pc.con";

// Axes: 0 and 1 mouse x and y; 3 to 8 the first joystick's X, Y, Z, RX, RY, RZ; 9 and 10 its
// sliders.
inline constexpr int32_t kMV2AxisMouseX = 0;
inline constexpr int32_t kMV2AxisJoystickX = 3;
inline constexpr int32_t kMV2AxisSlider0 = 9;

struct MV2ControlItem {
    int32_t code;
    MV2ControlItem* next;
    int32_t wanted;   // state the input must have (edge mode: nonzero press, zero release)
    int32_t edgeMode;
    int32_t word3;    // stored and written back
};

struct MV2ControlBinding {
    int32_t action;
    MV2ControlBinding* next;
    int32_t itemCount;
    MV2ControlItem* items;
    uint32_t axisFlag;
    int32_t axisWords[3]; // the second is the axis index
    float scale;
};

struct MV2ControlSection {
    int32_t id;
    int32_t count;
    MV2ControlBinding* first;
};

struct MV2Action {
    int32_t active;
    int32_t axis;
    float value;
};

struct MV2Controls {
    MV2ControlSection sections[kMV2ControlSections];
    MV2Action actions[kMV2Actions];
    uint8_t enabled[kMV2InputCodes];
    int32_t state[kMV2InputCodes];    // of inputs the event handler keeps (codes from 300)
    int32_t previous[kMV2InputCodes]; // as last evaluated
    uint8_t edge[kMV2InputCodes];     // bit 0 pressed, bit 1 released
    float axes[kMV2ControlAxes];
    uint8_t axisActive[kMV2ControlAxes];
    float curves[kMV2ControlAxes][kMV2CurveSize];
    uint32_t enableTime; // ms clock value before which disabled inputs stay disabled
    int32_t disabledCount; // inputs not enabled yet; the enabling pass runs only while > 0
    int32_t layout;
    TvFreeList* bindingList;
    TvFreeList* itemList;
    int32_t consoleFlag;  // set by the console: section 3, no handler
    int32_t consoleShown; // cleared with the console section
    int32_t displayFlag;  // toggled by action 40
    int32_t skipRequest;  // set while action 14 or 51 is active in sections 7, 8, 11
    int32_t commands[7];  // the command table of actions 42-47 and 52
    int32_t lastCommand;
    int32_t pictureShowing; // the help picture is up
};
extern MV2Controls gMV2Controls;

void MV2InitialiseControls();
void MV2ShutdownControls();
// The game's event callback: keeps input states and hands events on to the platform.
int32_t MV2ControlsEventHandler(uint32_t event, intptr_t a, intptr_t b, int32_t c);

int32_t MV2ReadControlFile(const char* path);
// The body of the reader, on an open stream (the caller closes it).
int32_t MV2ReadControlStream(TvStream* stream);
int32_t MV2WriteControlFile(const char* path);
// Disables every input until it is released and `time` (a ms clock value) has passed.
void MV2ResetControls(uint32_t time);
// Resets the controls with the usual hold-off from now.
void MV2ResetControlsSoon();
void MV2ProcessControls(int32_t section);
MV2ControlBinding* MV2FindBinding(MV2ControlSection* section, int32_t action);
MV2ControlBinding* MV2FindNextBinding(MV2ControlBinding* binding, int32_t action);
int32_t MV2IsKeyBindable(int32_t code);
// Appends a binding to a section (the controls menu and tests); null when out of blocks.
MV2ControlBinding* MV2AddBinding(int32_t section, int32_t action, float scale);
MV2ControlItem* MV2AddBindingItem(MV2ControlBinding* binding, int32_t code, int32_t wanted,
                                  int32_t edgeMode);
// Returns every binding of every section to the free lists.
void MV2ClearBindings();
// Clears the per-input state table; done when the window becomes active.
void MV2ClearInputTable();
// The action record, for game code.
inline const MV2Action& MV2GetAction(int32_t action) { return gMV2Controls.actions[action]; }
