// The level's path-node graph and the A* search over it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/core/vector.h"

struct MV2PathNode;

// One node's search state (ordered as the search keeps it).
struct MV2PathSearchRecord {
    float f; // g + h
    float g;
    float h;
    float steps;
    uint8_t* state; // 0 unvisited, 1 open, 2 closed
    MV2PathNode* node;
    MV2PathSearchRecord* parent;
    MV2PathSearchRecord* next; // open ring, ascending f
    MV2PathSearchRecord* prev;
};

// A node parsed from the level record; links are node indices.
struct MV2PathNode {
    uint32_t id;
    MV2PathSearchRecord* search;
    TvV3d position; // in world space
    float weight;
    int32_t linkCount;
    const int32_t* links;
};

// The parsed graph: nodes and their link indices in record order.
struct MV2PathGraph {
    MV2PathNode* nodes;
    int32_t count;
    int32_t* links;
    int32_t linkCount;
};

// Parses a path-node record of `available` bytes, moving positions by `corner`; 1 with a graph
// in *out (free it with MV2FreePathGraph), 0 for a record that fails its checks.
int32_t MV2ParsePathNodeRecord(const uint8_t* record, size_t available, const TvV3d& corner,
                               MV2PathGraph* out);
void MV2FreePathGraph(MV2PathGraph* graph);

// The level's graph: made from the level record (level id top byte, then 0xFEFFFF).
void MV2CreatePathNodeGraph();
void MV2DestroyPathNodeGraph();
// Installs a parsed graph as the level's (taking it over) and makes the search memory.
void MV2SetPathNodeGraph(MV2PathGraph* graph);
const MV2PathGraph* MV2GetPathNodeGraph();
int32_t MV2CreatePathSearch();
void MV2DestroyPathSearch();

int32_t MV2FindPathNodeToward(const TvV3d* from, const TvV3d* to);
void MV2SnapToHiddenPathNode(TvV3d* position);
const TvV3d* MV2FindHiddenPathNode();
int32_t MV2PathSearchAStar(int32_t start, int32_t goal);
float MV2PathSearchDistance(const MV2PathSearchRecord* a, const MV2PathSearchRecord* b);
float MV2PathSearchCost(const MV2PathSearchRecord* record);
