// Waterfalls (object types 376 and 407): a model whose texture flows down, puffs of spray along
// the fall, splashes rising from it, a drop thrown out each frame and a looped sound.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"
#include "game/objects/objects.h"

struct TvTexture;
struct TpGeometry;

inline constexpr int32_t kMV2WaterfallParticles = 10;
inline constexpr int32_t kMV2WaterfallSplashes = 5;
inline constexpr int32_t kMV2MaxListedWaterfalls = 46;
inline constexpr int32_t kMV2WaterfallSound = 79; // "WATERFALL2"
// A model needs this many vertices for its path to be taken (the highest used is 36).
inline constexpr int32_t kMV2WaterfallTemplateVertices = 37;

// The private data of a waterfall object.
struct MV2Waterfall {
    TvV3d particles[kMV2WaterfallParticles];
    TvV3d splashes[kMV2WaterfallSplashes];
    float puffs[kMV2WaterfallParticles];
    float splashTimers[kMV2WaterfallSplashes]; // seconds; 999.0 idle
    float directions[kMV2WaterfallParticles];
    int32_t particleTextures[kMV2WaterfallParticles];
    int32_t splashTextures[kMV2WaterfallSplashes];
    TvV3d path[4];
    TvV3d straight[2]; // type 376 only
    uintptr_t soundVariable;
    uint32_t lastUpdate;
    int32_t type;
    int32_t hasPath; // 0 when the type's model gave no template: no spray is drawn
};

struct MV2WaterfallTemplate {
    TpGeometry* geometry;
    int32_t valid;
    TvV3d path[4];
    TvV3d straight[2];
    uint32_t lastScroll;
    int32_t scrolled; // lastScroll holds a counter
};

struct MV2Waterfalls {
    TvTexture* spray[8];
    MV2Object* list[kMV2MaxListedWaterfalls];
    int32_t count;
    float base[kMV2WaterfallParticles];
    float spread;
    uint32_t poolFlag;
    MV2WaterfallTemplate templates[2]; // 376, 407
};
extern MV2Waterfalls gMV2Waterfalls;

int32_t MV2InitialiseWaterfalls();
void MV2ShutdownWaterfalls();
intptr_t MV2WaterfallHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
// Puts the handler into the type table for both types.
void MV2RegisterWaterfallHandlers();
// The world frame's spray pass: the puffs and splashes of every listed waterfall updated this
// frame, as camera-facing sprites.
void MV2DrawWaterfallSpray();
