// The snapping shell (type 125): settles on the floor, creeps towards the camera and snaps at it;
// and the flowing-texture object (type 149), whose mesh's v coordinates scroll every frame.
#pragma once

#include <cstdint>

#include "game/objects/objects.h"

struct TpAtomic;

enum MV2ShellState : uint32_t {
    kMV2ShellSettling = 0,
    kMV2ShellCreeping = 1,
    kMV2ShellFacing = 2,
    kMV2ShellSnapping = 3,
};

struct MV2ShellData {
    uint32_t state;
    float groundRadius;
    uint32_t active;
    uint32_t spare0;
    uint32_t nextAlign; // game ms
    uint32_t spare1;
    uint32_t hit;
};

inline constexpr int32_t kMV2ShellKeys = 18;

intptr_t MV2SnappingShellHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
float MV2SnappingShellKeyCallback(TpAtomic* atomic, float position);
// The key after finished key k: the idle loop 0-6 and the snap 7-17; *snap is set after keys
// 9 and 12, *ends after key 17 (the shell goes back to creeping).
int32_t MV2ShellNextKey(int32_t k, bool* snap, bool* ends);
intptr_t MV2FlowingTextureHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
// The shared scroll phase of the flowing-texture objects, 0..1.
float MV2GetFlowPhase();
void MV2RegisterShellHandlers();
