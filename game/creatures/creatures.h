// Creatures, enemies and their brains: the entry points the shell and the object system call.
#pragma once

#include <cstdint>

struct MV2Object;
struct MV2SubDefinition;

int32_t MV2LoadSubDefinitions();
void MV2FreeSubDefinitions();
int32_t MV2InitialiseInk();
int32_t MV2InitialiseTimedTags();
// The level's path-node graph, made after the level loads; destroying it also clears the
// creature state that lives for a level.
void MV2BuildPathNodes();
void MV2DestroyPathNodes();

// Gives a newly created object its AI category and, for types that have one, its brain.
int32_t MV2AssignObjectBrain(MV2Object* object);
// The submarine definition of that name, or null.
MV2SubDefinition* MV2FindSubDefinition(const char* name);
