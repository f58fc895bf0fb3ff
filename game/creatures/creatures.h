// Creatures, enemies and their brains: the entry points other subsystems call.
#pragma once

#include <cstdint>

struct MV2Object;

int32_t MV2LoadSubDefinitions();
void MV2FreeSubDefinitions();
int32_t MV2InitialiseInk();
int32_t MV2InitialiseTimedTags();
void MV2BuildPathNodes();
void MV2DestroyPathNodes();

// Gives a newly created object its AI category and, for types that have one, its brain.
void MV2AssignObjectBrain(MV2Object* object);
// The submarine definition of that name, or null.
void* MV2FindSubDefinition(const char* name);

// Heat exposure and the rescue targets' HUD and map displays.
float MV2GetHeat();
uint32_t MV2GetHeatColour();
void MV2HideRescueTargets();
void MV2DrawRescueHudPanel();
void MV2DrawRescueMapTargets();
