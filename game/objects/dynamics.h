// Dynamics: bodies with linear and angular velocity, forces, drag by medium and integration.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"

struct MV2Object;
struct MV2ObjectType;

inline constexpr int32_t kMV2DragMedia = 14;

struct MV2Body {
    TvV3d velocity;        // units per tick
    TvV3d angularVelocity; // radians per tick about the world axes
};

int32_t MV2InitialiseDynamics();
void MV2ShutdownDynamics();
MV2Body* MV2CreateBody(MV2ObjectType* type, float radius);
void MV2FreeBody(MV2ObjectType* type, MV2Body* body);
float MV2SphereInertia(float mass, float squaredRadius);
void MV2AddForce(MV2Object* object, const TvV3d* force);
void MV2AddTorque(MV2Object* object, const TvV3d* force, const TvV3d* point);
void MV2ApplyGravity(MV2Object* object);
void MV2IntegrateMotion(MV2Object* object);
void MV2IntegrateRotation(MV2Object* object);
void MV2UpdateDragTable(float exponent);
float MV2GetMediumDrag(int32_t medium);
int32_t MV2FindDragMedium(float value);
void MV2ApplyBuoyancy(MV2Object* object);
void MV2ApplyUprightForce(MV2Object* object, const TvV3d* offset);
