// Time bases, the effect camera's axes, vector helpers and texture reading shared by the effect
// modules.
#pragma once

#include <cstdint>

#include "engine/core/matrix.h"
#include "engine/core/vector.h"
#include "engine/world/random.h"

struct TvCamera;
struct TvTexture;
struct TvRaster;
struct TvIm3DVertex;

// The frame step in ticks of 1/30 s, the frame time in seconds, the game clock (ms) and the
// game frame counter (the age key of effect records).
float MV2EffectStep();
float MV2EffectSeconds();
uint32_t MV2EffectClock();
uint32_t MV2EffectFrame();
// The far clip distance and its reciprocal.
float MV2EffectFar();
float MV2EffectInverseFar();

// The camera of the effect pass now running (the main camera before the first pass).
extern TvCamera* gMV2EffectCamera;
// The world matrix of a camera's frame (right, up, at, position); identity without a frame.
const TvMatrix* MV2CameraMatrix(const TvCamera* camera);
inline const TvMatrix* MV2EffectCameraMatrix() {
    return MV2CameraMatrix(gMV2EffectCamera);
}
// Camera-space depth of a world point: its distance along the camera's at axis.
float MV2CameraDepth(const TvCamera* camera, const TvV3d& point);

// A texture and its mask through the game's texture reader, with filter mode 4; null when
// missing. `noLevel` reads it from the texture folder rather than the level's own.
TvTexture* MV2ReadEffectTexture(const char* name, const char* mask, bool noLevel = false);
void MV2DestroyEffectTexture(TvTexture*& texture);
TvRaster* MV2EffectRaster(const TvTexture* texture);

// The additive glow of shafts, spray and strips: no depth writes, vertex alpha, source and
// destination blend one (2), no fog, no texture, Gouraud shading. Returns the source blend it
// replaced.
intptr_t MV2BeginAdditiveGlow();
// After the glow: the source blend back, destination blend inverse source alpha (6), depth
// writes and fog on; whether the last state was taken.
bool MV2EndAdditiveGlow(intptr_t source);

// A byte from a float as the old code stored it: truncated and wrapped, not clamped.
uint8_t MV2WrapByte(float value);

inline TvV3d MV2EffectUnit(TvV3d v) {
    TvV3d out;
    TvV3dNormalize(&out, &v); // a zero vector stays zero
    return out;
}
inline float MV2EffectLength(const TvV3d& v) {
    return TvV3dLength(&v);
}
// A random unit vector (each component random - 0.5, normalised).
TvV3d MV2EffectRandomDirection();
inline uint32_t MV2EffectRandom() {
    return uint32_t(TvRandom());
}
inline TvV3d MV2V3d(const float* p) {
    return {p[0], p[1], p[2]};
}

// Records on the circular doubly linked lists of the effect pools (next and previous fields).
template <typename T> void MV2EffectUnlink(T* r) {
    r->previous->next = r->next;
    r->next->previous = r->previous;
}
template <typename T> void MV2EffectLinkAfter(T* head, T* r) {
    r->next = head->next;
    r->previous = head;
    head->next->previous = r;
    head->next = r;
}
// The id of a named sound, or the no-sound id when the list lacks it.
int32_t MV2EffectSound(const char* name);

// Batches of camera-facing quads: per quad k the triangles (4k+2, 4k+1, 4k) and (4k+2, 4k, 4k+3)
// and the corner texture coordinates (0,0), (0,1), (1,1), (1,0).
void MV2BuildQuadBatch(TvIm3DVertex* vertices, uint16_t* indices, int32_t quads);
// The corners of one quad about a centre: c - r - u, c + r - u, c + r + u, c - r + u.
void MV2SetQuadCorners(TvIm3DVertex* quad, const TvV3d& centre, const TvV3d& right,
                       const TvV3d& up);
