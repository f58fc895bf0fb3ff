// SubAI steering: a wished direction and speed turned into submarine control messages, the
// obstacle bend, the route step and the approach to a point.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"

struct MV2Object;
struct MV2SubAIData;

void MV2SubAISteer(MV2Object* craft, TvV3d* direction, float* speed, int32_t reverse);
void MV2SubAISteerKinematic(MV2Object* craft, TvV3d* direction, float* speed);
// The yaw step toward the direction, without thrust; the cosine to it.
float MV2SubSteerTowards(MV2Object* craft, const TvV3d* direction);
void MV2SubAILevelOff(MV2Object* craft);
int32_t MV2SubAIRouteStep(MV2Object* craft, MV2SubAIData* record, int32_t endFallback);
int32_t MV2SubAIApproachPoint(MV2Object* craft, void* unused, MV2Object* other,
                              const TvV3d* point);
void MV2SubAIAvoid(MV2Object* craft, TvV3d* direction);
int32_t MV2RaySphere(const TvV3d* origin, const TvV3d* direction, const TvV3d* centre,
                     float radius, float* nearRoot, float* farRoot);
