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
// The path-node graph of the current level.
void MV2CreatePathNodeGraph();
void MV2DestroyPathNodeGraph();

// Gives a newly created object its AI category and, for types that have one, its brain.
void MV2AssignObjectBrain(MV2Object* object);
// The submarine definition of that name, or null.
void* MV2FindSubDefinition(const char* name);
