// The shared effect textures, the start and end of the effect modules, the per-camera effect
// render pass, the per-frame effect update and the ambient creature spawner.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"

struct TvCamera;
struct TvTexture;
struct MV2Body;
struct MV2Object;

// The textures several effect and creature modules draw with; null until loaded.
extern TvTexture* gMV2Dirt1Texture;
extern TvTexture* gMV2Dirt2Texture;
extern TvTexture* gMV2Dirt3Texture;
extern TvTexture* gMV2CoronaTexture;
extern TvTexture* gMV2Silcor2Texture;
extern TvTexture* gMV2BloodTexture;

// 0 no light coronas, above 1 plankton, 3 blood clouds; 3 at start.
extern int32_t MV2EffectDetail;

// Nonzero on success; the primitives, the trails, the shared textures and the modules that
// hang on them.
int32_t MV2InitialiseSFX();
void MV2ShutdownSFX();
// The effect pass for one camera; the result of its last render-state call.
int32_t MV2RenderEffects(TvCamera* camera);
// The type-135 objects the last pass remembered (at most 8) and drew at its end.
inline constexpr int32_t kMV2DirtColumns = 8;
int32_t MV2GetRememberedColumns(MV2Object* const** out);
// Every effect module's per-frame step, in the game's order.
void MV2UpdateEffects();
// Every effect module's shut-down, in the game's order.
void MV2ShutdownEffects();

// Ambient creatures ahead of the moving player.
void MV2UpdateAmbientSpawns(const TvV3d* position, const MV2Body* body);
intptr_t MV2AmbientSpawnHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
int32_t MV2ResetAmbientSpawns();
// How many ambient creatures may live at once in a level: 8 in level 1, else 10.
int32_t MV2AmbientLimit(uint32_t levelId);
int32_t MV2GetAmbientCount();
