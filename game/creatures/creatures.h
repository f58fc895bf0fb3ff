// Creatures, enemies and their brains: the entry points the shell and the object system call.
#pragma once

#include <cstdint>

struct MV2Object;
struct TvCamera;
struct MV2SubDefinition;

int32_t MV2LoadSubDefinitions();
void MV2FreeSubDefinitions();
// The squid's ink clouds: made at game start (0 when their free list fails), aged each frame
// (the owner, or none, hurts a sub inside one), drawn by the frame render.
int32_t MV2InitialiseInkClouds();
void MV2ShutdownInkClouds();
void MV2UpdateInkClouds(MV2Object* owner);
void MV2DrawInkClouds(TvCamera* camera);
int32_t MV2InitialiseTimedTags();
// The level's path-node graph, made after the level loads; destroying it also clears the
// creature state that lives for a level.
void MV2BuildPathNodes();
void MV2DestroyPathNodes();
// The path-node graph of the current level.
void MV2CreatePathNodeGraph();
void MV2DestroyPathNodeGraph();

// Gives a newly created object its AI category and, for types that have one, its brain.
int32_t MV2AssignObjectBrain(MV2Object* object);

// The SubAI brain of computer-driven craft, and its per-craft record.
struct MV2SubAIData;
intptr_t MV2SubAIBrain(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
// The craft's SubAI record, or null when it has none.
MV2SubAIData* MV2GetSubAIData(MV2Object* object);
// Sets or clears the record's flag of a mission-designated craft.
void MV2SubAISetDesignated(MV2SubAIData* data, int32_t designated);
// Heat exposure and its gauge colour.
float MV2GetHeat();
uint32_t MV2GetHeatColour();
// The submarine definition of that name, or null.
MV2SubDefinition* MV2FindSubDefinition(const char* name);
// The effect pass's draws of creatures: a spore's glow (types 353, 354), the scarab's dust and
// the fireflies.
void MV2DrawSporeGlow(MV2Object* object);
void MV2DrawScarabDust();
void MV2RenderFireflies();
// Wreck pieces of a destroyed creature or craft.
void MV2CreateDebris(MV2Object* object);
// The brain of a craft that has become a wreck: it no longer obeys anyone.
intptr_t MV2WreckBrain(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
