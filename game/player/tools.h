// The tool system: the tool list a craft carries, tool commands and their records.
#pragma once

#include <cstdint>

struct MV2Object;
struct MV2Tool;

using MV2ToolHandler = int32_t (*)(MV2Tool* tool, int32_t command, intptr_t p1, intptr_t p2);

// A row of the tool table.
struct MV2ToolKindRow {
    int32_t objectType;
    int32_t cooldown;
    MV2ToolHandler handler;
    int32_t sound;
    int32_t initialCharges; // -1 unlimited
    int32_t reserved;
};

struct MV2Tool {
    MV2Tool* next;
    MV2Tool* prev;
    int32_t kind;
    uintptr_t word;
    int32_t cooldown;
    const MV2ToolKindRow* row;
    int32_t charges;
};

// The list head inside the owner's craft data: tools in ascending kind, null-ended both ways.
struct MV2ToolList {
    MV2Tool* first;
    MV2Tool* last;
    int32_t currentKind;
};

// The HUD icon record of command 57.
struct MV2ToolIcon {
    int32_t sprite;
    uint32_t colour;
};

// The gauge record of command 59.
struct MV2ToolGauge {
    int32_t found;
    int32_t on;
    int32_t coloured;
    int32_t value;
    int32_t level;
    float reading;
    uint32_t colour;
};

struct MV2HudElement;

inline constexpr int32_t kMV2NoToolSprite = 320;
inline constexpr int32_t kMV2NoToolObject = 461;

// The tool table's rows; kinds whose handlers live in other modules get them at start-up.
const MV2ToolKindRow* MV2GetToolRow(int32_t kind);
void MV2SetToolRowHandler(int32_t kind, MV2ToolHandler handler);

void MV2InitToolList(MV2ToolList* list);
int32_t MV2AddTool(MV2ToolList* list, int32_t kind, MV2Object* owner);
int32_t MV2RemoveTool(MV2ToolList* list, int32_t kind);
void MV2RemoveAllTools(MV2ToolList* list);
MV2Tool* MV2FindTool(MV2ToolList* list, int32_t kind);
void MV2SelectNextTool(MV2ToolList* list);
void MV2UseTool(MV2ToolList* list, MV2Object* owner, intptr_t arg);
void MV2QueryTool(MV2ToolList* list, int32_t kind, MV2ToolGauge* record);
void MV2BroadcastToolCommand(void* craftData, int32_t command, intptr_t a, intptr_t b);
int32_t MV2SendToolMessage(MV2Tool* tool, int32_t command, intptr_t p1, intptr_t p2);
int32_t MV2DefaultToolHandler(MV2Tool* tool, int32_t command, intptr_t p1, intptr_t p2);
int32_t MV2CountTools(const MV2ToolList* list);
// A command to the object's tools of a kind (objects with the tools flag only); 1 when such a
// tool exists.
intptr_t MV2SendToolCommand(MV2Object* object, int32_t kind, int32_t command, intptr_t parameter,
                            void* out);
// The tool of the current kind in the object's list, or null.
MV2Tool* MV2GetCurrentTool(MV2Object* object);
// Command 20 to the controlled object's current tool.
void MV2DrawCurrentTool();
// The HUD's tool panels: the icon (element kind 3), the split gauge sprite (5) and the
// segmented gauge (20).
void MV2DrawToolIcon(const MV2HudElement* element, MV2Object* object);
void MV2DrawToolGaugeSprite(const MV2HudElement* element, MV2Object* object);
void MV2DrawToolGauge(const MV2HudElement* element, MV2Object* object);
void MV2DrawToolPanel(MV2Object* sub, const MV2HudElement* element);
