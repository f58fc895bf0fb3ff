// Water: the fog table, the surface height with its regions (pools), the animated surface,
// ripples, drops and splashes, and the water-surface and sinking-debris object types.
#pragma once

#include <cstdint>

struct TvV3d;
#include <vector>

#include "engine/core/vector.h"
#include "game/objects/objects.h"

struct TvCamera;
struct TvTexture;
struct TpMaterial;

inline constexpr int32_t kMV2WaterFrames = 20;
inline constexpr int32_t kMV2WaveSamples = 1024;

// A pool with its own surface: the box (maximum corner, then minimum) and the surface object.
struct MV2WaterRegion {
    TvV3d max;
    TvV3d min;
    MV2ObjectHandle handle;
    MV2Object* object;
};

struct MV2WaterState {
    float height;       // the level water height
    float targetHeight; // the height it moves towards
    int32_t frame;      // current surface texture
    float accumulator;  // ticks towards the next frame
    TvTexture* textures[kMV2WaterFrames];
    TpMaterial* material;
    float waves[2 * kMV2WaveSamples];
    std::vector<MV2WaterRegion> regions;
};
extern MV2WaterState gMV2Water;

// Fog: 1, or 0 (after the error box) when neither the level's nor the default file opens.
int32_t MV2LoadFog(const char* name);
void MV2ResetFog();
const uint8_t* MV2GetFogTable();

// Water height.
float MV2GetWaterHeight(const TvV3d* point);
struct MV2Object;
int32_t MV2GetWaterDepth(const TvV3d* point, float* depth);
// Sets the level water height and its target (the level load); moves only the target.
void MV2SetWaterHeight(float height);
void MV2SetWaterTargetHeight(float height);
// The height the sound muffle measures depth against: the floor of the level's landscape.
float MV2GetWorldDepthReference();
// Collects the surface objects (types 160 to 164) in the world as the water regions.
void MV2SetUpWaterRegions();

int32_t MV2InitialiseWater();
void MV2ResetWater();
void MV2UpdateWater(const TvV3d* cameraPosition);
void MV2DrawWaterSurface();
void MV2DrawWaterSurfaceForCamera(TvCamera* camera);

// Ripples, drops and splashes.
int32_t MV2InitialiseRipples();
void MV2ShutdownRipples();
float MV2AddRipple(const TvV3d* position, const TvV3d* direction);
void MV2AddDrop(const TvV3d* position, const TvV3d* velocity);
// A null object is allowed; its splashes compare with the other ownerless ones.
void MV2AddObjectSplash(MV2Object* object, const TvV3d* position);
void MV2UpdateRipples();
void MV2DrawRipples(TvCamera* camera);
void MV2SetRippleSurfaceMode(int32_t on);
// Live counts, for tests and the effect pass.
int32_t MV2CountRipples();
int32_t MV2CountDrops();
int32_t MV2CountSplashes();

intptr_t MV2WaterSurfaceHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2SinkingDebrisHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
// Puts both handlers into the type table.
void MV2RegisterWaterHandlers();
