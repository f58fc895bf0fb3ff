// The small mother (type 434): a scripted glowing creature of one mission, built from three
// model parts (types 435-437) that it poses and draws itself through the effect hook "small
// mother tail"; the mission grows, flashes, fades and rests it by numbered commands.
#pragma once

#include <cstdint>

#include "engine/core/matrix.h"
#include "engine/core/vector.h"
#include "game/objects/objects.h"

struct TpClump;
struct TvCamera;

struct MV2SmallMother {
    MV2Object* parts[3];
    float tailPhase;
    float size;
    float targetSize;
    float pulseRate;
    float part2Scale;
    float flashPhase;
    float flashRate;
    TvV3d flashPosition;
    float fade;
    float fadeRate;
    float rippleTimer;    // seconds
    float rippleDuration; // seconds
    int32_t visible;
};

intptr_t MV2SmallMotherHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
// The mission's commands 49-53 to the last small mother created; others do nothing.
void MV2SmallMotherCommand(int32_t command);
MV2Object* MV2GetSmallMother();
void MV2ResetSmallMother();
void MV2SmallMotherUpdate(TvCamera* camera);
void MV2SmallMotherDraw(TvCamera* camera);
void MV2ScaleMatrixAxes(TvMatrix* matrix, float factor);
void MV2DrawPartGeometry(TpClump* clump);
void MV2FadePartEdges(TpClump* clump);
void MV2RegisterSmallMotherHandlers();
