// The sonic weapon and its blasts (type 338), the screen ripple each blast makes around it, and
// the sound source (type 252): an invisible object that keeps a looped sound going where it is.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"
#include "game/objects/objects.h"

struct MV2WeaponRecord;

inline constexpr int32_t kMV2SonicBlastType = 338;
inline constexpr int32_t kMV2SoundSourceType = 252;
inline constexpr int32_t kMV2SonicWeaponRow = 14;
inline constexpr int32_t kMV2Distortions = 24;
inline constexpr int32_t kMV2DistortionSize = 80;

struct MV2SonicBlastData {
    float age; // seconds
    MV2ObjectRef owner;
    float fullRadius; // the root atomic's bounding radius at creation
    TvV3d start;      // where it was made
};

struct MV2SoundSourceData {
    int32_t sound; // 0 until set
    uintptr_t loop; // looped-sound variable
    uint32_t playing;
};

// 0 when the texture sonica, an image or the work raster cannot be made (what was made is
// freed).
int32_t MV2InitialiseSonicDistortions();
void MV2ShutdownSonicDistortions();
// Ripples the frame buffer around each blast registered this frame, then empties the list.
void MV2DrawSonicDistortions();
// Registers a blast position for this frame's draw; ignored once 24 are registered.
void MV2AddSonicDistortion(const TvV3d* position);
// The blast positions registered this frame.
int32_t MV2CountSonicDistortions();
// The table cells: row and column offsets of the pixel shown at (row, column).
int32_t MV2SonicDistortionOffset(int32_t row, int32_t column, int32_t* rowOffset,
                                 int32_t* columnOffset);

intptr_t MV2SonicBlastHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2SonicWeaponHandler(MV2WeaponRecord* weapon, int32_t message, intptr_t p1, intptr_t p2);
// The ammunition all sonic weapons share.
int32_t MV2GetSonicAmmunition();
intptr_t MV2SoundSourceHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
