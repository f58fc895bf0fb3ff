// Surface floats (types 176 and 177) that lie on the water and knock when bumped, and the arc
// crawler (type 186) that walks the flat surface it was created on and strikes a close player
// with an electric arc.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"
#include "game/objects/objects.h"

struct TpAtomic;

enum MV2ArcCrawlerState : int32_t {
    kMV2CrawlerIdle = 0,
    kMV2CrawlerWalk = 1,
    kMV2CrawlerFace = 2,
    kMV2CrawlerStuck = 3,
    kMV2CrawlerWindUp = 4,
    kMV2CrawlerWindUp2 = 5,
    kMV2CrawlerCharge = 6,
    kMV2CrawlerStrike = 7,
};

struct MV2ArcCrawlerData {
    int32_t state;
    float radius;
    TvV3d home;
    TvV3d walk;
    uint32_t deadline; // game ms
    TvV3d lastPosition;
    uint32_t lastMoved; // game ms
    uint32_t spare;
    TvV3d normal;
    uint32_t arc;
    uint32_t arcEnd; // game ms
    TvV3d arcPoint;  // the arc's end B, read by the arc every frame
};

intptr_t MV2SurfaceFloatHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2ArcCreatureHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
float MV2ArcCreatureKeyCallback(TpAtomic* atomic, float position);
// The crawler's key rule by the finished key k and its state (which key 7 may move from 4 to 5);
// -1 past key 11.
int32_t MV2ArcCrawlerNextKey(int32_t k, int32_t* state);
void MV2RegisterFloatHandlers();
