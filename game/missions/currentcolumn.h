// The water current column (type 294): an invisible upward current of radius R and height 10
// that switches on and off on a cycle, pushes craft along its axis while on and is shown as
// 50 rising specks in the effect pass.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"

struct MV2Object;
struct TpAtomic;
struct TpIntersection;
struct TpWorldSector;

inline constexpr int32_t kMV2CurrentSpecks = 50;
inline constexpr float kMV2CurrentHeight = 10.0f;

struct MV2CurrentColumnData {
    float offsets[kMV2CurrentSpecks][2]; // x, z across the column
    float heights[kMV2CurrentSpecks];    // 0..10 along the up axis
    uintptr_t sound;
    uint32_t on;
    int32_t onTime; // ms; -1 before the parameter is read
    int32_t offTime;
    uint32_t nextSwitch; // frame clock, ms
    float intensity;     // 0..1
    float radius;
};

// The column's radius and cycle a parameter gives: the ten-thousands are tenths of a unit of
// radius (3.5 when none), the hundreds tenths of a second on, the last two digits off.
void MV2DecodeCurrentParameter(int32_t parameter, float* radius, int32_t* onTime,
                               int32_t* offTime);
// 1 when the point lies in the cylinder from `origin` along `axis`; the distance from the axis,
// the offset from the point to the axis and the unit axis are written.
int32_t MV2PointInCylinder(const TvV3d* point, const TvV3d* origin, const TvV3d* axis,
                           float length, float radius, float* distance, TvV3d* offset,
                           TvV3d* unitAxis);
int32_t MV2CurrentPushCallback(TpIntersection* intersection, TpWorldSector* sector,
                               TpAtomic* atomic, float distance, void* data);
intptr_t MV2CurrentColumnHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
// The effect pass's speck buffers (at effect start-up) and draw of one column.
int32_t MV2InitialiseCurrentBuffers();
void MV2RenderCurrent(MV2Object* object);
void MV2RegisterCurrentColumnHandler();
