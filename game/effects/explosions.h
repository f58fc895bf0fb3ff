// Explosions: damage and push in a sphere, a scorch, a ripple, a sound, a fading coloured light,
// flame billboards, a shock ring and debris streaks.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"

struct TvCamera;
struct TvFrame;
struct TpLight;
struct MV2Object;
struct MV2Streak;

inline constexpr int32_t kMV2Explosions = 10;
inline constexpr int32_t kMV2ExplosionKinds = 10;
inline constexpr int32_t kMV2ExplosionFlames = 12;
inline constexpr int32_t kMV2ExplosionDebris = 12;
inline constexpr int32_t kMV2ExplosionHitList = 5;

// Flags of MV2CreateExplosion.
inline constexpr uint32_t kMV2ExplosionRing = 1;
inline constexpr uint32_t kMV2ExplosionBubbles = 2;
inline constexpr uint32_t kMV2ExplosionLight = 4;
inline constexpr uint32_t kMV2ExplosionSound = 8;
inline constexpr uint32_t kMV2ExplosionDebrisPieces = 16;
inline constexpr uint32_t kMV2ExplosionRisingDebris = 64;

struct MV2ExplosionFlame {
    TvV3d position;
    TvV3d direction;
    float swing;
    float speed; // per second
    float scale;
    float progress; // 0..1
    uint32_t kind;
};

struct MV2ExplosionPiece {
    TvV3d position;
    TvV3d velocity;
    MV2Streak* streak;
};

struct MV2Explosion {
    MV2Explosion* next;
    MV2Explosion* previous;
    uint32_t birthFrame;
    float size;
    uint32_t kind;
    TvV3d centre;
    uint32_t ringActive;
    TvV3d ringDirection;
    float blastRadius;
    float ringGrowth;
    float ringProgress;
    float ringFramePosition;
    float ringFrameRate;
    TpLight* light;
    TvFrame* lightFrame;
    float lightProgress; // 1.0: off
    int32_t flameCount;
    MV2ExplosionFlame flames[kMV2ExplosionFlames];
    int32_t debrisCount;
    MV2ExplosionPiece debris[kMV2ExplosionDebris];
};

int32_t MV2InitialiseExplosions();
void MV2ShutdownExplosions();
// Flags: 1 shock ring, 2 bubbles, 4 light, 8 sound, 16 debris, 64 rising debris; other bits are
// ignored. A kind of 10 or more is kind 0; damage 0 means none; the owner may be null.
void MV2CreateExplosion(const float* position, float size, float damage, MV2Object* owner,
                        uint32_t kind, uint32_t flags);
void MV2UpdateExplosions();
void MV2DrawExplosions(TvCamera* camera);
void MV2ResetExplosions();

// The damage an object takes: full within half the size of its surface, falling to none at the
// size; in a multiplayer game (types 3 and 4) falling from the centre over radius + size.
float MV2ExplosionDamageAmount(float distance, float centreDistance, float radius, float size,
                               float damage, bool multiplayer);
// The active explosions, newest first (null after the last), for tests and tools.
MV2Explosion* MV2FirstExplosion();
MV2Explosion* MV2NextExplosion(MV2Explosion* explosion);
// Flame frames per kind and ring frames that were found at start-up.
int32_t MV2ExplosionFrameCount();
int32_t MV2ExplosionRingCount();
