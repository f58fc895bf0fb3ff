// Target groups (type 100) with their sockets (type 395), the on-screen indicator of the
// nearest group while the mission weapon is current, and the targeted and selected objects.
#pragma once

#include <cstdint>

#include "game/objects/objects.h"

struct TpAtomic;

inline constexpr int32_t kMV2GroupSockets = 6;
inline constexpr int32_t kMV2IndicatorVertices = 72;

struct MV2TargetGroup {
    MV2ObjectRef sockets[kMV2GroupSockets];
    int32_t socketTimer; // game ms
    uint32_t allOccupied;
    uint32_t firstUpdate;
    uint32_t enabled;
};

struct MV2TargetSocket {
    MV2ObjectRef group;
    int32_t state; // 0 free, 1 occupied, 2 triggered
    int32_t occupants;
};

intptr_t MV2TargetGroupHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2TargetSocketHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
// The nearest crossing of a line with one atomic of a group's model; keeps the nearest
// fraction, the triangle and the atomic in the record.
struct MV2SocketHit {
    float fraction;
    int32_t triangle;
    TpAtomic* atomic;
};
void MV2SocketHitCallback(TpAtomic* atomic, const TvV3d* start, const TvV3d* end,
                          MV2SocketHit* hit);

void MV2ResetTargetIndicator();
void MV2DrawTargetIndicator();
// The indicated group (null when none) and its closeness; the arrows' size and the triangles of
// the last drawing, for the HUD's tests.
MV2Object* MV2GetIndicatedGroup();
int32_t MV2GetIndicatorVertexCount();
uint32_t MV2GetIndicatorColour(int32_t vertex);

void MV2SetTargetedObject(MV2Object* object);
MV2Object* MV2GetTargetedObject();
void MV2SetSelectedObject(MV2Object* object);
MV2Object* MV2GetSelectedObject();
