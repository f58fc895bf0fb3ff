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

// Circular list head inside the owner's craft data; empty when it points to itself.
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
