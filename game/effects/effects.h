// Visual effects: the entry points the shell, the object system and the game modules call. The
// built modules have headers of their own, included here; the rest are declared below.
#pragma once

#include <cstdint>

#include "game/effects/bubbles.h"
#include "game/effects/cracks.h"
#include "game/effects/explosions.h"
#include "game/effects/fireballs.h"
#include "game/effects/gravel.h"
#include "game/effects/lava.h"
#include "game/effects/prelight.h"
#include "game/effects/primitives.h"
#include "game/effects/projection.h"
#include "game/effects/regrow.h"
#include "game/effects/scorches.h"
#include "game/effects/sfx.h"
#include "game/effects/shadows.h"
#include "game/effects/shafts.h"
#include "game/effects/smoke.h"
#include "game/effects/sonic.h"
#include "game/effects/sparks.h"
#include "game/effects/stars.h"
#include "game/effects/sunrays.h"
#include "game/effects/tracers.h"

struct TvCamera;
struct TvMatrix;
struct TvTexture;
struct TvV3d;
struct TpAtomic;
struct MV2Object;

// ---- Modules of the later effects (placeholders until they are built) ----

void MV2RefreshArcJitter();

// Start of the effect modules; each returns 1, or 0 when it failed.
int32_t MV2InitialiseTrails();
int32_t MV2InitialisePlasmaBeams();
int32_t MV2InitialiseMTrails();
int32_t MV2InitialiseBeams();
int32_t MV2InitialiseElectricArcs();
void MV2ShutdownTrails();
void MV2ShutdownPlasmaBeams();
void MV2ShutdownMTrails();

// Ends every live effect of a pool, for the object system's mass destruction.
void MV2ResetPlasmaBeams();
void MV2ResetBeams();
void MV2ClearElectricArcs();

// Per-frame steps, in the order of the effect update.
void MV2UpdatePlasmaBeams();
void MV2UpdateBeams();
void MV2UpdateElectricArcs();
void MV2UpdateMTrails();
void MV2UpdateTrails();

// Draws of the effect pass.
void MV2DrawTrails();
void MV2DrawPlasmaBeams();
void MV2DrawBeams();
void MV2RenderElectricArcs();
void MV2DrawMTrails(TvCamera* camera);

// Streaks: three camera-facing squares that trail a moving head.
struct MV2Streak;
MV2Streak* MV2CreateStreak(const float* position, TvTexture* texture, float headSize, float ratio,
                           float drag, uint32_t fadeOn, float fadeFactor);
void MV2InitialiseStreak(MV2Streak* streak, const float* position, TvTexture* texture,
                         float headSize, float ratio, float drag, uint32_t fadeOn, float fadeFactor);
// 1 when the streak has faded out.
int32_t MV2UpdateStreak(MV2Streak* streak, const float* head);
void MV2DrawStreak(MV2Streak* streak);

// Effects created by craft and creatures.
void MV2EmitMTrail(uintptr_t ownerKey, uint32_t ownerHandle, uint32_t part, float lifetime,
                   const TvMatrix* matrix);
void MV2AttachPlasmaSparks(MV2Object* object, TpAtomic* atomic);
// Eight random bit masks made at effect start-up; the light object's random blink reads them.
extern uint32_t MV2RandomPeriodTable[8];
// Effects of the player's weapons and craft.
void MV2AttachTrail(MV2Object* object);
uint32_t MV2CreateBeam(const void* source, const void* target, float width, uint32_t kind,
                       uint32_t flags);
int32_t MV2BeamExists(uint32_t id);
void MV2RemoveBeam(uint32_t id);
void MV2SetBeamSource(uint32_t id, MV2Object* object);
