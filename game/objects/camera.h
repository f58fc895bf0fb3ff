// The game camera: the main camera's modes (chase, cockpit, fixed, frozen, free, external,
// tracking, scripted), the sub camera's views, the shake with its rumble and the view wobble.
#pragma once

#include <cstdint>

#include "engine/core/matrix.h"
#include "game/objects/objects.h"

struct TvCamera;
struct TvFrame;
struct TpWorld;

enum MV2CameraMode : int32_t {
    kMV2CameraChase = 0,
    kMV2CameraCockpit = 1,
    kMV2CameraFixed = 2,
    kMV2CameraFrozen = 3,
    kMV2CameraFree = 4,
    kMV2CameraExternal = 5,
    kMV2CameraTracking = 6,
    kMV2CameraScripted = 7,
};

struct MV2GameCamera {
    int32_t mode;
    int32_t previousMode = 8; // 8 at first; -1 forces mode-change handling
    TvFrame* follow;
    MV2ObjectRef target;
    float moveRemaining; // ticks
    float moveTotal;
    TvV3d moveCameraStart;
    TvV3d moveObjectStart;
    TvMatrix savedPlayer;
    int32_t view = 2; // sub camera: 0 to 5
    int32_t lastView = 6; // 6 at first
    int32_t shaking;
    float shakeAmplitude;
    float shakePhase;
    int32_t shakeSlot;
    int32_t shakeChannel;
    int32_t wobbling;
    float wobbleLevel;
    float wobblePhase;
};
extern MV2GameCamera gMV2GameCamera;

// The level's world (null while no level is loaded).
extern TpWorld* MV2World;

void MV2ResetGameCamera();
void MV2SetCameraMode(int32_t mode);
int32_t MV2GetCameraMode();
void MV2UpdateCamera(MV2Object* object);
void MV2SetCameraMatrix(const TvMatrix* matrix);
void MV2SetCameraTarget(MV2Object* object);
void MV2MoveCameraToObject(MV2Object* object);
void MV2StartCameraMove(MV2Object* object, int32_t ticks);
void MV2StartCameraWobble();
void MV2CancelCameraBlend();
void MV2SetCameraView(int32_t view);
void MV2CycleCameraView();
void MV2UpdateSubCamera(MV2Object* object);
// Starts (on) or stops the camera's shake and its looped rumble, which follows the camera; an
// amplitude of 5 or more shakes gently (0.1) until it has run down.
void MV2StartCameraShake(int32_t on, float amplitude);
void MV2UpdateCameraShake();
void MV2SetObjectVisible(MV2Object* object, int32_t on);
void MV2SetTag69PartVisible(MV2Object* object, int32_t on);
