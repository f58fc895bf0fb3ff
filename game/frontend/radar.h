// The radar and target indicators: blips of the objects around the sub in a small 3-D radar
// volume, the signs of the objective, target and map focus, on-screen indicators, lock-on
// candidates and the current target record.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"

struct MV2Object;
struct MV2HudLayout;
struct MV2HudElement;
struct TvCamera;

inline constexpr int32_t kMV2RadarBlips = 256;
inline constexpr int32_t kMV2NoTargetType = 461;

struct MV2RadarBlip {
    float x, y, z; // relative to the sub, in the radar frame
    MV2Object* object;
    int32_t kind;
};

struct MV2RadarState {
    // Visible blips: at or above the sub from the front, below it from the back.
    MV2RadarBlip blips[kMV2RadarBlips];
    int32_t above, below;
    MV2Object* lockable[kMV2RadarBlips];
    int32_t lockableCount;
    TvV3d right, up, forward, position; // the radar frame
    TvV3d levelRight, levelUp, levelForward; // the level frame of the pitch and horizon signs
    float range, scale, tilt, centreX, centreY;
    float tiltCos, tiltSin;
    float mapFocusX, mapFocusZ;
    int32_t mapFocusSet;
};
extern MV2RadarState gMV2Radar;

struct MV2Target {
    uint32_t type; // 461: none
    MV2Object* object;
    uint32_t handle;
    int32_t spare[2];
    int32_t lastWord; // -1 after a reset
};
extern MV2Target gMV2Target;

// A weapon's lock record as the lock-on choice reads it.
struct MV2WeaponLock {
    MV2Object* current;
    float range;
    float screenRadius;
};
struct MV2LockOnCandidate {
    MV2Object* object;
    float x, y;
    float distanceSquared; // from the screen centre
};

uint32_t MV2RadarBlipColour(int32_t kind, int32_t intensity);
int32_t MV2InitialiseRadar();
void MV2RadarBegin(MV2Object* sub, float range, float tilt, float centreX, float centreY, float scale);
// The steps of the preparation, for the sphere query and for tests: empties the lists and builds
// the radar frame; considers one object; sorts the lists.
void MV2RadarStartFrame(MV2Object* sub, float range);
void MV2RadarConsider(MV2Object* object);
void MV2RadarFinishFrame();
void MV2RadarDrawBackground(int32_t sprite, uint32_t colour, int32_t style);
void MV2RadarDrawBlips(int32_t part, int32_t style);
void MV2RadarDrawSigns(MV2Object* sub, MV2Object* objective, const MV2HudLayout* layout,
                       int32_t style);
// The whole radar element (kind 1) of a layout.
void MV2RadarDrawElement(MV2Object* sub, const MV2HudLayout* layout, const MV2HudElement* element);
// Projects a radar-frame point to the screen; false when it lies behind the eye.
bool MV2RadarProject(const TvV3d& p, int32_t style, float* x, float* y);
void MV2RadarPrepareObjective(MV2Object* sub);
// The pitch (horizon 0) and horizon (1) signs and the heading tape of the HUD.
void MV2RadarDrawLevelSign(MV2Object* sub, int32_t horizon, int32_t sprite, int32_t x, int32_t y,
                           uint32_t colour);
void MV2RadarDrawHeadingTape(int32_t sprite, int32_t x, int32_t y, uint32_t colour);
// The 3-D aiming reticles of HUD mode 4.
void MV2RadarDrawReticle(MV2Object* object, const MV2HudLayout* layout);

// Projects a world point through the HUD view; false behind the camera.
bool MV2HudProject(const TvV3d& world, float* x, float* y);
int32_t MV2DrawObjectIndicator(const TvV3d* position, uint32_t colour, int32_t sprite,
                               int32_t secondSprite, uint32_t flags, MV2Object* object = nullptr,
                               float* outX = nullptr, float* outY = nullptr);
void MV2DrawTargetEnergyBar(MV2Object* object, int32_t x, int32_t y, uint32_t colour, float scale);
MV2Object* MV2WeaponLockOnIndicators(MV2Object* sub, const MV2WeaponLock* weapon,
                                     MV2LockOnCandidate* best);
void MV2DrawLeadIndicator(MV2Object* object, uint32_t colour, int32_t sprite, int32_t secondSprite,
                          uint32_t flags);
void MV2DrawScreenIndicator(const TvV3d* position, TvCamera* camera, int32_t style, uint32_t colour);
void MV2RadarSetMapFocus(float x, float z);
int32_t MV2RadarGetMapFocus(float* x, float* z);
void MV2DrawMapCursor(int32_t x, int32_t y);

void MV2ResetTarget();
void MV2ClearTarget();
MV2Object* MV2GetTarget();
void MV2UpdateTarget();
