// The rock tunnel of game mode 15: a chain of 13 rings of rock wall that slides back past a
// fixed reference point, with translucent cloud sheets ahead of it, drawn in immediate mode.
#pragma once

#include <cstdint>

#include "engine/core/im3d.h"
#include "engine/core/matrix.h"

struct TvTexture;
struct TvRaster;

inline constexpr int32_t kMV2TunnelRings = 13;
inline constexpr int32_t kMV2TunnelPoints = 10;
inline constexpr int32_t kMV2TunnelVertices = kMV2TunnelRings * (kMV2TunnelPoints + 1);
inline constexpr int32_t kMV2TunnelIndices = 720;
inline constexpr int32_t kMV2RockTextures = 6;
inline constexpr int32_t kMV2CloudTextures = 8;
inline constexpr float kMV2RingSpacing = 2.8f;

struct MV2TunnelRing {
    float radii[kMV2TunnelPoints];
    float roll;  // degrees, about the at axis
    float pitch; // degrees, about the right axis
    float yaw;   // degrees, about the up axis
    float rotation[6]; // sine and cosine of pitch, of yaw, of roll
    int32_t cloudTexture;
    float cloudSize;
};

struct MV2TunnelPatchList {
    int32_t count;
    int32_t firstPoint[10];
    int32_t firstRing[10];
    int32_t endPoint[10];
    int32_t endRing[10];
};

struct MV2RockTunnel {
    float distance; // of the reference point past ring 0, in [0, 2.8)
    int32_t scroll; // rings dropped since the start
    float speed;    // per tick
    TvV3d start;
    TvMatrix frames[kMV2TunnelRings];
    MV2TunnelRing rings[kMV2TunnelRings];
    float cosines[kMV2TunnelPoints];
    float sines[kMV2TunnelPoints];
    int32_t textureTable[10]; // half x 5 + row
    TvIm3DVertex vertices[kMV2TunnelVertices];
    MV2TunnelPatchList patches[kMV2RockTextures];
    uint16_t indices[kMV2TunnelIndices];
    TvTexture* rocks[kMV2RockTextures];
    TvRaster* rockRasters[kMV2RockTextures];
    TvTexture* clouds[kMV2CloudTextures];
    TvRaster* cloudRasters[kMV2CloudTextures];
};
extern MV2RockTunnel gMV2RockTunnel;

// Results of MV2TunnelToWorld.
inline constexpr int32_t kMV2TunnelPlaced = 0;
inline constexpr int32_t kMV2TunnelBehind = 2;
inline constexpr int32_t kMV2TunnelBeyond = 3;

int32_t MV2InitialiseRocksAndClouds();
void MV2ShutdownRocksAndClouds();
void MV2StartRockTunnel(const TvV3d* position);
void MV2SetRockTunnelSpeed(float speed);
void MV2UpdateRockTunnel();
void MV2AdvanceRockTunnel(float distance);
int32_t MV2TunnelToWorld(TvMatrix* out, const TvMatrix* tunnel);
void MV2DrawRockTunnel();
void MV2DrawTunnelClouds();

void MV2MakeTunnelRing(int32_t ring);
void MV2BuildTunnelFrames(int32_t first, int32_t last);
void MV2ApplyRingRotation(TvMatrix* out, const TvMatrix* in, const float* rotation);
void MV2BezierPoint(TvV3d* out, const TvV3d* p0, const TvV3d* p1, const TvV3d* p2,
                    const TvV3d* p3, float t);
// Fills the patch lists for the current scroll counter; the number of rows.
int32_t MV2BuildTunnelPatches();
