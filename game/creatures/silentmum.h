// The silent mum (type 236): a puppet boss fixed in its arena with three tentacles, seven pods
// on its body, a drain beam and a suck attack, driven by a phase machine; its drain beam (type
// 339) and the weapon row that fires one, the pulsating egg (type 393) and the effect hook
// "silent mum laser" that draws a charging pod's flash and the light rays of the boss's death.
#pragma once

#include <cstdint>

#include "engine/core/im3d.h"
#include "engine/core/matrix.h"
#include "engine/core/vector.h"
#include "game/objects/objects.h"

struct TpAtomic;
struct TvCamera;
struct TvTexture;
struct MV2WeaponRecord;

inline constexpr int32_t kMV2SilentMumPods = 7;
inline constexpr int32_t kMV2SilentMumRays = 16;
inline constexpr int32_t kMV2SilentMumRings = 6;

enum MV2SilentMumPhase : int32_t {
    kMV2MumWait = 0,
    kMV2MumOpenLeft = 1,
    kMV2MumOpenRight = 2,
    kMV2MumSpores = 3,
    kMV2MumPodShots = 4,
    kMV2MumSwipes = 5,
    kMV2MumSuck = 6,
    kMV2MumDying = 7,
};

struct MV2SilentMumState {
    MV2ObjectRef boss;
    int32_t phase;
    float phaseTimer; // seconds
    int32_t step;     // of the swipes phase
    int32_t arenaEntered;
    int32_t arenaSetUp;
    MV2ObjectRef holders[3];
    TvV3d holderPositions[3];
    MV2ObjectRef arenaFrame;
    MV2ObjectRef swingFrame;
    MV2ObjectRef centreBeacon;
    float swingOffset, swingRate;
    MV2ObjectRef orbs[3];
    uint32_t orbArcs[3];
    MV2ObjectRef pods[kMV2SilentMumPods];
    int32_t podOrderIndex;
    MV2ObjectRef tipLight;
    MV2ObjectRef suckTargetBeacon;
    MV2ObjectRef suckBeacon;
    MV2ObjectRef streamRings[kMV2SilentMumRings];
    MV2ObjectRef suckObject;
    float suckStrength, suckRate;
    int32_t blowMode; // 0 blow, 1 suck
    float streamPhase;
    float tipTimers[2]; // seconds, 100 idle
    uintptr_t suckSound;
    int32_t ambientChannel;
    int32_t ambientSlot;
    MV2ObjectRef drainBeam;
    int32_t flash;
    float flashPhase;
    TvMatrix flashMatrix;
    TvV3d flashCentre;
    float rayAngles[6], rayScales[6];
    float random1[30], random2[30];
    float deathTime; // seconds, 0 until death
    TvV3d deathPosition;
    int32_t deathTexture;
    MV2ObjectRef rayObjects[kMV2SilentMumRays];
    TvV3d rayDirections[kMV2SilentMumRays];
    TvV3d rayAxes[kMV2SilentMumRays];
    uintptr_t raySounds[kMV2SilentMumRays];
    int32_t litRays;
    TvTexture* sunray;
    TvTexture* explo2a;
    TvTexture* deathTextures[8];
    TvIm3DVertex flashVertices[19];
    uint16_t flashIndices[72];
    TvIm3DVertex rayVertices[1 + 3 * kMV2SilentMumRays];
    uint16_t rayIndices[12 * kMV2SilentMumRays];
};

struct MV2DrainBeam {
    MV2ObjectRef owner;
    MV2ObjectRef target;
    float length;
    int32_t grown;
    int32_t lastDrain; // game ms
};

struct MV2PulsatingEgg {
    int32_t state; // 0 open, 1 opening, 2 closed, 3 closing
    MV2ObjectRef light;
    int32_t pulseRate;
    uint32_t pulseOffset;
    int32_t nextRelease; // game ms
    int32_t sporesLeft;
    MV2ObjectRef target;
    TvV3d releasePosition;
    uintptr_t sound;
};

// The pod order of the pod-shot phase.
inline constexpr int32_t kMV2SilentMumPodOrder[kMV2SilentMumPods] = {1, 5, 3, 4, 2, 6, 0};
// Death textures change at these death times (seconds).
inline constexpr float kMV2SilentMumDeathThresholds[7] = {4.0f, 5.5f, 7.5f, 9.0f,
                                                          9.25f, 9.5f, 9.75f};

MV2SilentMumState* MV2GetSilentMumState();
void MV2ResetSilentMum();
intptr_t MV2SilentMumHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
// The death texture index (0..7) at a death time.
int32_t MV2SilentMumDeathTextureAt(float deathTime);

intptr_t MV2DrainBeamHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2DrainWeaponHandler(MV2WeaponRecord* weapon, int32_t message, intptr_t p1,
                               intptr_t p2);

intptr_t MV2PulsatingEggHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
// The key after `finished` for an egg in `state` (changed when the egg opens or closes); -1
// holds the key.
int32_t MV2EggNextKey(int32_t finished, int32_t* state);
float MV2PulsatingEggKeyCallback(TpAtomic* atomic, float position);
// The egg light's colour fraction x at time t.
float MV2EggPulse(uint32_t offset, int32_t rate, uint32_t t);

void MV2SilentMumLaserUpdate(TvCamera* camera);
void MV2SilentMumLaserDraw(TvCamera* camera);
// Starts a pod's flash at its matrix (the pods call it).
void MV2SilentMumStartFlash(const TvMatrix& podMatrix);

void MV2RegisterSilentMumHandlers();
