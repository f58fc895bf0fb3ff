// The submarine table (".\DATA\SUBS.DAT"), the shared submarine handler with its private data,
// the sinking wreck and the stun dart.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/core/vector.h"
#include "game/objects/objects.h"
#include "game/player/tools.h"
#include "game/player/weapons.h"

struct TpAtomic;
struct TvFrame;
struct TvMatrix;

inline constexpr size_t kMV2SubFileHeaderSize = 32;
inline constexpr size_t kMV2SubRecordSize = 800;
inline constexpr int32_t kMV2SubParts = 10;
inline constexpr int32_t kMV2SubAttachments = 10;
inline constexpr int32_t kMV2SubNameSize = 16;
inline constexpr int32_t kMV2SubSoundNameSize = 35;

// Moving-part flags.
inline constexpr uint32_t kMV2PartVertical = 1;
inline constexpr uint32_t kMV2PartThrust = 2;
inline constexpr uint32_t kMV2PartTilt = 4;
inline constexpr uint32_t kMV2PartReverse = 8;
inline constexpr uint32_t kMV2PartYaw = 16;
inline constexpr uint32_t kMV2PartAxisX = 32;
inline constexpr uint32_t kMV2PartAxisY = 64;
inline constexpr uint32_t kMV2PartAxisZ = 128;
inline constexpr uint32_t kMV2PartSpin = 256;

struct MV2SubPart {
    float factor;
    const TvV3d* firstAxis;  // set at load from the axis bits
    const TvV3d* secondAxis;
    uint32_t tags; // low 16 bits the first frame's tag, high 16 bits the second's
    uint32_t flags;
};

struct MV2SubAttachment {
    uint32_t words[4];
    uint32_t fifth;
    uint32_t sixth;
    float value;
    uint32_t tagWord;  // bits 0-11 the frame's part tag, 12-19 flags
    uint32_t lastWord; // bits 0-13 a value, bits 14 and 15 flags
};

// One record of the table, parsed field by field.
struct MV2SubDefinition {
    char name[kMV2SubNameSize + 1];
    float value16;
    float maxSpeed;
    float minThrust;
    float acceleration;
    float turnLimit; // degrees
    int32_t partCount;
    MV2SubPart parts[kMV2SubParts];
    MV2SubAttachment attachments[kMV2SubAttachments];
    int32_t attachmentCount;
    char soundName[kMV2SubSoundNameSize + 1];
    int32_t soundId; // from the name; 215 none
    int32_t soundBase;
    int32_t soundMax;
    int32_t soundParamOther;
    int32_t soundParamPlayer;
    float maxPitchRate;
    uint32_t specialFlags;
    TvV3d vector; // normalised at load
    int32_t ammunition[28];
};

struct MV2SubPartFrames {
    TvFrame* first;
    TvFrame* second;
    const TvV3d* row; // push row of the root matrix
};

struct MV2SubAttachmentSlot {
    TvFrame* frame;
    MV2ObjectRef object;
};

// The private data of every submarine (message 96 answers its size).
struct MV2SubData {
    float thrust;
    float verticalSpeed;
    uint32_t driven;
    uint32_t directSteering;
    float yawRate;
    float strafe;
    float definitionValue;
    float pitchAngle;
    float maxSpeed;
    float acceleration;
    float pitchRate;
    TpAtomic* mappedAtomic;
    TvV3d rightingOffset;
    TvMatrix* rootMatrix;
    MV2SubPartFrames parts[kMV2SubParts];
    MV2SubAttachmentSlot attachments[kMV2SubAttachments];
    uintptr_t soundSlot;
    uint32_t spare[2];
    float waterDepth;
    MV2WeaponList weapons; // its current slot is `weapons.currentWeaponSlot`
    MV2ToolList tools;
    TvFrame* mounts[4];
    TvFrame* secondMounts[4];
    float swayPhase;
    void* brainData;
    void* extension; // the record a craft type appends (pirate sub, turret craft), or null
    // The sinking wreck's clock (ms) and vertex counter.
    uint32_t wreckNextBurst;
    uint32_t wreckEnd;
    int32_t wreckVertex;
};

// The stun dart's private data.
struct MV2StunDartData {
    uint32_t expiry; // ms
    MV2ObjectRef owner;
    float radius;
    MV2ObjectRef stuckTo;
    TvV3d offset;     // in the stuck-to object's frame
    TvV3d relative[3]; // right, up and at rows relative to it
};

// Parses a whole file image into the table; 1, or 0 when it is not a table (nothing kept).
int32_t MV2ParseSubDefinitions(const uint8_t* bytes, size_t size);
int32_t MV2LoadSubDefinitions();
void MV2FreeSubDefinitions();
int32_t MV2CountSubDefinitions();
// The first record of that name, compared without regard to case; null when none.
MV2SubDefinition* MV2FindSubDefinition(const char* name);
// The definition an object's type names, or null.
MV2SubDefinition* MV2GetSubDefinition(MV2Object* object);

intptr_t MV2SubmarineHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2SinkingWreckHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2StunDartHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2StunDartWeaponHandler(MV2WeaponRecord* slot, int32_t message, intptr_t p1,
                                  intptr_t p2);
int32_t MV2StunDartToolHandler(MV2Tool* tool, int32_t message, intptr_t p1, intptr_t p2);
// Registers the handlers of the submarine types and of the stun dart.
void MV2RegisterSubmarineHandlers();
