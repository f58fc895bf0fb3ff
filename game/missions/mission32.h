// Mission row 32: level 9's code lock of five buttons and lamps, four timed valves that set the
// water level, three light beams steered by turning mirrors onto receivers, and a camera post
// that follows the player inside a fenced area.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"
#include "game/objects/objects.h"

inline constexpr int32_t kMV2Mission32Objects = 47;
inline constexpr int32_t kMV2Mission32Buttons = 5;
inline constexpr int32_t kMV2Mission32Valves = 4;
inline constexpr int32_t kMV2Mission32Emitters = 3;
inline constexpr int32_t kMV2Mission32LockStages = 3;
// A trace follows at most this many segments, each at most this long.
inline constexpr int32_t kMV2BeamTraceSegments = 24;
inline constexpr float kMV2BeamTraceReach = 30.0f;

// The lock's button sequences by stage, -1 ending a shorter one.
extern const int32_t kMV2Mission32Sequences[kMV2Mission32LockStages][kMV2Mission32Buttons];

struct MV2Mission32Fence {
    uint32_t known;   // all four posts were read once
    float x[4], z[4]; // the corners
    float ex[4], ez[4]; // edge i runs from corner i to corner i + 1 (the last back to the first)
};

struct MV2Mission32State {
    int32_t lockStage;    // 0..3; 3 = solved
    int32_t lockPosition; // buttons pressed correctly in the current stage
    uint32_t valveOpened[kMV2Mission32Valves];
    uint32_t cameraFollow;
    uint32_t followZone;
    uint32_t followIntroPlayed;
    uint32_t beamsComplete;
    uint32_t columnBeamKind;
    uint32_t pendingCutScene;
    uint32_t leaving; // the player touched the collector: the level is being left
    uintptr_t emitterSounds[kMV2Mission32Emitters];
    MV2Object* objects[kMV2Mission32Objects];
    MV2ObjectHandle handles[kMV2Mission32Objects];
    MV2Mission32Fence fence; // kept over a restart that finds the posts already gone
};
extern MV2Mission32State gMV2Mission32;

// Callback of the table's objects: buttons, valves, mirrors (value: the object's report).
void MV2Mission32SwitchHit(MV2Object* object, int32_t value);
// Touch callback of the two camera triggers.
void MV2Mission32CameraTrigger(MV2Object* trigger, MV2Object* other);
// The per-frame beam check: draws the beams and ends the level when the player touches the lit
// collector.
int32_t MV2Mission32UpdateBeams();
// Draws the fixed beams and traces the three mirrored ones; each out flag is 1 when its beam
// reaches its receiver.
void MV2Mission32DrawBeams(int32_t* r1, int32_t* r2, int32_t* r3, uint32_t flags);
// Follows a beam from `start` over mirrors (type 54); 1 when it ends on `target`.
int32_t MV2TraceBeam(MV2Object* start, const TvV3d& direction, uint32_t kind, MV2Object* target,
                     uint32_t flags);
// out = d - 2 (d . n) n.
void MV2ReflectVector(const TvV3d& d, const TvV3d& n, TvV3d* out);
